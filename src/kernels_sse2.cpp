// The SSE2 tier: 16 bytes at a time, on every x86-64 CPU. SSE2 has neither
// a byte shuffle nor a population count instruction, so whitespace is found
// with compares and bits are counted in registers.
#if defined(__x86_64__)

#include <emmintrin.h>

#include "kernels.h"
#include "window_loop.h"

namespace {

// 0xFF in each byte that is whitespace: a blank, or 0x09-0x0D (found as
// v - 9 <= 4 unsigned).
inline __m128i space_lanes(__m128i v) {
    __m128i t = _mm_sub_epi8(v, _mm_set1_epi8(9));
    __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(4)), t);
    return _mm_or_si128(control, _mm_cmpeq_epi8(v, _mm_set1_epi8(' ')));
}

inline std::uint32_t lane_bits(__m128i lanes) { return static_cast<std::uint32_t>(_mm_movemask_epi8(lanes)); }

inline __m128i load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

inline __m128i digit_byte(int d) { return _mm_set1_epi8(static_cast<char>('0' + d)); }

inline std::int64_t bit_count(std::uint32_t x) {
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    return (x * 0x01010101u) >> 24;
}

// Bits of the bytes of the 32-byte window {lo, hi} equal to digit d.
inline std::uint32_t digit_bits(__m128i lo, __m128i hi, int d) {
    return lane_bits(_mm_cmpeq_epi8(lo, digit_byte(d))) | lane_bits(_mm_cmpeq_epi8(hi, digit_byte(d))) << 16;
}

__attribute__((noinline)) std::size_t tally_run_sse2(digit_profile& p, const unsigned char* data, std::size_t size) {
    // Per-digit byte counters, one per lane, widened into 64-bit sums before
    // any can pass 255.
    __m128i small[10];
    __m128i wide[10];
    #pragma GCC unroll 10
    for (int d = 0; d < 10; ++d) small[d] = wide[d] = _mm_setzero_si128();
    std::int64_t counts[10] = {};
    unsigned rounds = 0;
    std::size_t i = 0;
    for (;;) {
        __m128i v = load(data + i);
        std::uint32_t stop = lane_bits(space_lanes(v));
        std::size_t left = size - i;
        if (left < 16) stop |= ~0u << left;  // the bytes past the end
        if (stop != 0) {
            unsigned len = static_cast<unsigned>(__builtin_ctz(stop));
            std::uint32_t take = (1u << len) - 1;
            #pragma GCC unroll 10
            for (int d = 0; d < 10; ++d) counts[d] += bit_count(lane_bits(_mm_cmpeq_epi8(v, digit_byte(d))) & take);
            i += len;
            break;
        }
        #pragma GCC unroll 10
        for (int d = 0; d < 10; ++d) small[d] = _mm_sub_epi8(small[d], _mm_cmpeq_epi8(v, digit_byte(d)));
        i += 16;
        if (++rounds == 255) {
            #pragma GCC unroll 10
            for (int d = 0; d < 10; ++d) {
                wide[d] = _mm_add_epi64(wide[d], _mm_sad_epu8(small[d], _mm_setzero_si128()));
                small[d] = _mm_setzero_si128();
            }
            rounds = 0;
        }
    }
    std::int64_t digits = 0;
    #pragma GCC unroll 10
    for (int d = 0; d < 10; ++d) {
        __m128i sum = _mm_add_epi64(wide[d], _mm_sad_epu8(small[d], _mm_setzero_si128()));
        counts[d] += _mm_cvtsi128_si64(sum) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sum, sum));
        p.digit_count[d] += counts[d];
        digits += counts[d];
    }
    p.other_count += static_cast<std::int64_t>(i) - digits;
    return i;
}

// The 32-byte window of the per-token loop (window_loop.h), in two halves.
struct sse2_window {
    static std::uint32_t space_bits(const unsigned char* p) {
        return lane_bits(space_lanes(load(p))) | lane_bits(space_lanes(load(p + 16))) << 16;
    }
    static void count_digits(std::int64_t (&count)[10], const unsigned char* p, std::uint32_t take) {
        __m128i lo = load(p);
        __m128i hi = load(p + 16);
#pragma GCC unroll 10
        for (int d = 0; d < 10; ++d) count[d] += bit_count(digit_bits(lo, hi, d) & take);
    }
};

__attribute__((flatten)) chunk_progress classify_chunk_sse2(const unsigned char* data, std::size_t size,
                                                            std::int64_t k, std::uint64_t limit, output_writer& w,
                                                            digit_profile& open) {
    return classify_windows<sse2_window, tally_run_sse2>(data, size, k, limit, w, open);
}

}  // namespace

const token_kernels sse2_kernels = {kernel_tier::sse2, "sse2", tally_run_sse2, classify_chunk_sse2};

#endif
