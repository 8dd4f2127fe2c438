// Picks the kernels for the CPU at hand, once.
#include "kernels.h"

namespace {

bool cpu_has(kernel_tier tier) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    switch (tier) {
    case kernel_tier::scalar:
    case kernel_tier::sse2:
        return true;
    case kernel_tier::avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
    case kernel_tier::avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
    }
    return false;
#else
    return tier == kernel_tier::scalar;
#endif
}

const token_kernels* table_of(kernel_tier tier) {
    switch (tier) {
    case kernel_tier::scalar:
        return &scalar_kernels;
#if defined(__x86_64__)
    case kernel_tier::sse2:
        return &sse2_kernels;
    case kernel_tier::avx2:
        return &avx2_kernels;
    case kernel_tier::avx512:
        return &avx512_kernels;
#else
    default:
        return nullptr;
#endif
    }
    return nullptr;
}

}  // namespace

const char* tier_name(kernel_tier tier) {
    switch (tier) {
    case kernel_tier::scalar: return "scalar";
    case kernel_tier::sse2: return "sse2";
    case kernel_tier::avx2: return "avx2";
    case kernel_tier::avx512: return "avx512bw";
    }
    return "unknown";
}

const token_kernels* kernels_for(kernel_tier tier) {
    return cpu_has(tier) ? table_of(tier) : nullptr;
}

const token_kernels& select_kernels() {
    static const token_kernels* const chosen = [] {
        for (kernel_tier tier : {kernel_tier::avx512, kernel_tier::avx2, kernel_tier::sse2})
            if (const token_kernels* k = kernels_for(tier)) return k;
        return &scalar_kernels;
    }();
    return *chosen;
}
