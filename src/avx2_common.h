// AVX2 pieces shared by the AVX2 and AVX-512BW tiers: whitespace and digit
// bit masks of 32 bytes, and the 32-byte window of the per-token loop (for
// short tokens, 32 bytes beat 64 even where AVX-512 is there: fewer loads
// cross a cache line). Everything here has internal linkage and the AVX2
// target attribute, and is included only by the two tier files.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>

#include "kernels.h"
#include "window_loop.h"

#define AVX2_TARGET __attribute__((target("avx2,bmi,popcnt")))

namespace {

// 0xFF in each byte that is whitespace. The table holds, at each low
// nibble, the one whitespace byte with that nibble (0x20 at 0, 0x09-0x0D at
// 9-13) and 0xFF where there is none; bytes from 0x80 up look up 0 and so
// never match.
AVX2_TARGET inline __m256i space_lanes(__m256i v) {
    const __m256i table = _mm256_setr_epi8(0x20, -1, -1, -1, -1, -1, -1, -1, -1, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, -1, -1,
                                           0x20, -1, -1, -1, -1, -1, -1, -1, -1, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, -1, -1);
    return _mm256_cmpeq_epi8(_mm256_shuffle_epi8(table, v), v);
}

AVX2_TARGET inline std::uint32_t lane_bits(__m256i lanes) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(lanes));
}

// Each digit's byte in all 32 lanes, kept in memory: the compares take them
// as operands rather than rebuilding them in registers.
constexpr std::array<std::array<unsigned char, 32>, 10> make_digit_lanes() {
    std::array<std::array<unsigned char, 32>, 10> t{};
    for (int d = 0; d < 10; ++d)
        for (auto& b : t[d]) b = static_cast<unsigned char>('0' + d);
    return t;
}
alignas(32) constexpr std::array<std::array<unsigned char, 32>, 10> digit_lanes = make_digit_lanes();

AVX2_TARGET inline __m256i digit_byte(int d) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(digit_lanes[d].data()));
}

// Adds the digits among the bytes of v that are set in take to counts.
AVX2_TARGET inline void count_masked(std::int64_t* counts, __m256i v, std::uint32_t take) {
#pragma GCC unroll 10
    for (int d = 0; d < 10; ++d)
        counts[d] += _mm_popcnt_u32(lane_bits(_mm256_cmpeq_epi8(v, digit_byte(d))) & take);
}

AVX2_TARGET inline __m256i load(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The 32-byte window of the per-token loop (window_loop.h).
struct avx2_window {
    AVX2_TARGET static std::uint32_t space_bits(const unsigned char* p) { return lane_bits(space_lanes(load(p))); }
    AVX2_TARGET static void count_digits(std::int64_t (&count)[10], const unsigned char* p, std::uint32_t take) {
        count_masked(count, load(p), take);
    }
};

}  // namespace

#endif
