// AVX2 pieces shared by the AVX2 and AVX-512BW tiers: whitespace and digit
// bit masks of 32 bytes, and the per-token loop over 32-byte windows (for
// short tokens, 32 bytes beat 64 even where AVX-512 is there: fewer loads
// cross a cache line). Everything here has internal linkage and the AVX2
// target attribute, and is included only by the two tier files.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>

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

// The per-token loop: a window of 32 bytes at the next token finds where
// it starts and, for tokens shorter than the window, where it ends; the
// digits of such a token are counted from the window's bit masks. Longer
// tokens go to the tier's tally_run.
template <std::size_t (*tally_run)(digit_profile&, const unsigned char*, std::size_t)>
AVX2_TARGET chunk_progress classify_chunk_window32(const unsigned char* data, std::size_t size, std::int64_t k,
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
        if (after == 0) {  // the token goes past the window: tally it as a run
            digit_profile p;
            i += start + tally_run(p, data + i + start, size - i - start);
            if (i == size) {  // may go on in the next buffer
                open = p;
                progress.open = true;
                break;
            }
            finish_token(p, k, w);
        } else {
            unsigned len = static_cast<unsigned>(__builtin_ctz(after));
            std::uint32_t take = ((1u << len) - 1) << start;
            std::int64_t count[10];
#pragma GCC unroll 10
            for (int d = 0; d < 10; ++d) count[d] = _mm_popcnt_u32(lane_bits(_mm256_cmpeq_epi8(v, digit_byte(d))) & take);
            i += start + len;
            if (i == size) {  // may go on in the next buffer
                open = digit_profile{};
                for (int d = 0; d < 10; ++d) open.digit_count[d] = count[d];
                open.other_count = len - (count[0] + count[1] + count[2] + count[3] + count[4] + count[5] +
                                          count[6] + count[7] + count[8] + count[9]);
                progress.open = true;
                break;
            }
            finish_short_token(count, len, k, w);
        }
        ++i;  // the whitespace byte that ended it
        ++progress.tokens;
    }
    progress.consumed = i;
    return progress;
}

}  // namespace

#endif
