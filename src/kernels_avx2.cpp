// The AVX2 tier: 32 bytes at a time. Only the functions marked with the
// target attribute use AVX2, so nothing else in this file or in the inline
// helpers it shares can reach a CPU without it.
#if defined(__x86_64__)

#include <immintrin.h>

#include "kernels.h"

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

AVX2_TARGET inline __m256i digit_byte(int d) { return _mm256_set1_epi8(static_cast<char>('0' + d)); }

// Adds the digits among the bytes of v that are set in take to counts.
AVX2_TARGET inline void count_masked(std::int64_t* counts, __m256i v, std::uint32_t take) {
    for (int d = 0; d < 10; ++d)
        counts[d] += _mm_popcnt_u32(lane_bits(_mm256_cmpeq_epi8(v, digit_byte(d))) & take);
}

AVX2_TARGET std::size_t tally_run_avx2(digit_profile& p, const unsigned char* data, std::size_t size) {
    // Per-digit byte counters, one per lane, widened into 64-bit sums before
    // any can pass 255.
    __m256i small[10];
    __m256i wide[10];
    for (int d = 0; d < 10; ++d) small[d] = wide[d] = _mm256_setzero_si256();
    std::int64_t counts[10] = {};
    unsigned rounds = 0;
    std::size_t i = 0;
    for (;;) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        std::uint32_t stop = lane_bits(space_lanes(v));
        std::size_t left = size - i;
        if (left < 32) stop |= ~0u << left;  // the bytes past the end
        if (stop != 0) {
            unsigned len = static_cast<unsigned>(__builtin_ctz(stop));
            count_masked(counts, v, (1u << len) - 1);
            i += len;
            break;
        }
        for (int d = 0; d < 10; ++d) small[d] = _mm256_sub_epi8(small[d], _mm256_cmpeq_epi8(v, digit_byte(d)));
        i += 32;
        if (++rounds == 255) {
            for (int d = 0; d < 10; ++d) {
                wide[d] = _mm256_add_epi64(wide[d], _mm256_sad_epu8(small[d], _mm256_setzero_si256()));
                small[d] = _mm256_setzero_si256();
            }
            rounds = 0;
        }
    }
    std::int64_t digits = 0;
    for (int d = 0; d < 10; ++d) {
        __m256i sum = _mm256_add_epi64(wide[d], _mm256_sad_epu8(small[d], _mm256_setzero_si256()));
        __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
        counts[d] += _mm_cvtsi128_si64(half) + _mm_extract_epi64(half, 1);
        p.digit_count[d] += counts[d];
        digits += counts[d];
    }
    p.other_count += static_cast<std::int64_t>(i) - digits;
    return i;
}

AVX2_TARGET chunk_progress classify_chunk_avx2(const unsigned char* data, std::size_t size, std::int64_t k,
                                               std::uint64_t limit, output_writer& w, digit_profile& open) {
    chunk_progress progress;
    std::size_t i = 0;
    while (progress.tokens < limit && i < size) {
        // A window of 32 bytes from i: where the next token starts, and
        // usually where it ends too.
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        std::uint32_t space = lane_bits(space_lanes(v));
        std::size_t left = size - i;
        if (left < 32) space |= ~0u << left;  // the bytes past the end count as an end
        std::uint32_t token_bytes = ~space;
        if (token_bytes == 0) {  // all whitespace
            i += left < 32 ? left : 32;
            continue;
        }
        if (!make_room(w)) break;
        unsigned start = static_cast<unsigned>(__builtin_ctz(token_bytes));
        std::uint32_t after = space >> start;
        digit_profile p;
        if (after == 0) {  // the token goes past the window: tally it as a run
            i += start + tally_run_avx2(p, data + i + start, size - i - start);
        } else {
            unsigned len = static_cast<unsigned>(__builtin_ctz(after));
            std::uint32_t take = ((1u << len) - 1) << start;
            std::int64_t digits = 0;
            for (int d = 0; d < 10; ++d) {
                p.digit_count[d] = _mm_popcnt_u32(lane_bits(_mm256_cmpeq_epi8(v, digit_byte(d))) & take);
                digits += p.digit_count[d];
            }
            p.other_count = len - digits;
            i += start + len;
        }
        if (i == size) {  // may go on in the next buffer
            open = p;
            progress.open = true;
            break;
        }
        ++i;  // the whitespace byte that ended it
        finish_token(p, k, w);
        ++progress.tokens;
    }
    progress.consumed = i;
    return progress;
}

}  // namespace

const token_kernels avx2_kernels = {kernel_tier::avx2, "avx2", tally_run_avx2, classify_chunk_avx2};

#endif
