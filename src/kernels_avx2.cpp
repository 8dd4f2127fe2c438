// The AVX2 tier: 32 bytes at a time. Only the functions marked with the
// target attribute use AVX2, so nothing else in this file or in the inline
// helpers it shares with the rest of the program can reach a CPU without it.
#if defined(__x86_64__)

#include <immintrin.h>

#include <array>

#include "avx2_common.h"
#include "kernels.h"

namespace {

// Counting a long run. Each byte becomes x = byte - '0', clamped to 15, so
// that digits are 0-9 and every other byte 10-15. Five 16-entry tables map
// x to 1 (digit 2g) or 16 (digit 2g + 1) or 0, and one shuffle and one add
// per table count two digits at once in the two nibbles of each byte. The
// nibbles are moved into byte counters every 15 vectors, before they can
// pass 15, and the bytes into 64-bit sums every 255 vectors.
constexpr int nibble_rounds = 15;
constexpr int byte_rounds = 255 / nibble_rounds;

// The five tables, each repeated in both 16-byte lanes.
constexpr std::array<std::array<unsigned char, 32>, 5> make_pair_tables() {
    std::array<std::array<unsigned char, 32>, 5> t{};
    for (int g = 0; g < 5; ++g)
        for (int lane = 0; lane < 2; ++lane) {
            t[g][16 * lane + 2 * g] = 1;
            t[g][16 * lane + 2 * g + 1] = 16;
        }
    return t;
}
alignas(32) constexpr std::array<std::array<unsigned char, 32>, 5> pair_tables = make_pair_tables();

AVX2_TARGET inline __m256i pair_table(int g) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(pair_tables[g].data()));
}

AVX2_TARGET __attribute__((noinline)) std::size_t tally_run_avx2(digit_profile& p, const unsigned char* data, std::size_t size) {
    __m256i table[5];
    __m256i nibbles[5];
    __m256i bytes[10];
    __m256i wide[10];
    for (int g = 0; g < 5; ++g) {
        table[g] = pair_table(g);
        nibbles[g] = _mm256_setzero_si256();
    }
    for (int d = 0; d < 10; ++d) bytes[d] = wide[d] = _mm256_setzero_si256();
    const __m256i low_nibble = _mm256_set1_epi8(0x0F);
    std::int64_t counts[10] = {};
    std::size_t i = 0;
    int nibble_round = 0;
    int byte_round = 0;
    for (;;) {
        __m256i v = load(data + i);
        std::uint32_t stop = lane_bits(space_lanes(v));
        std::size_t left = size - i;
        if (left < 32) stop |= ~0u << left;  // the bytes past the end
        if (stop != 0) {
            unsigned len = static_cast<unsigned>(__builtin_ctz(stop));
            count_masked(counts, v, (1u << len) - 1);
            i += len;
            break;
        }
        __m256i x = _mm256_min_epu8(_mm256_sub_epi8(v, digit_byte(0)), low_nibble);
#pragma GCC unroll 5
        for (int g = 0; g < 5; ++g) nibbles[g] = _mm256_add_epi8(nibbles[g], _mm256_shuffle_epi8(table[g], x));
        i += 32;
        if (++nibble_round == nibble_rounds) {
            nibble_round = 0;
#pragma GCC unroll 5
            for (int g = 0; g < 5; ++g) {
                bytes[2 * g] = _mm256_add_epi8(bytes[2 * g], _mm256_and_si256(nibbles[g], low_nibble));
                bytes[2 * g + 1] = _mm256_add_epi8(bytes[2 * g + 1],
                                                   _mm256_and_si256(_mm256_srli_epi16(nibbles[g], 4), low_nibble));
                nibbles[g] = _mm256_setzero_si256();
            }
            if (++byte_round == byte_rounds) {
                byte_round = 0;
#pragma GCC unroll 10
                for (int d = 0; d < 10; ++d) {
                    wide[d] = _mm256_add_epi64(wide[d], _mm256_sad_epu8(bytes[d], _mm256_setzero_si256()));
                    bytes[d] = _mm256_setzero_si256();
                }
            }
        }
    }
    // Runs shorter than nibble_rounds vectors, the most common, never
    // reached the byte counters.
    bool long_run = i >= nibble_rounds * 32u;
    std::int64_t digits = 0;
#pragma GCC unroll 10
    for (int d = 0; d < 10; ++d) {
        int g = d / 2;
        __m256i rest = d % 2 == 0 ? _mm256_and_si256(nibbles[g], low_nibble)
                                  : _mm256_and_si256(_mm256_srli_epi16(nibbles[g], 4), low_nibble);
        __m256i sum = _mm256_sad_epu8(rest, _mm256_setzero_si256());
        if (long_run) sum = _mm256_add_epi64(sum, _mm256_add_epi64(wide[d], _mm256_sad_epu8(bytes[d], _mm256_setzero_si256())));
        __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
        counts[d] += _mm_cvtsi128_si64(half) + _mm_extract_epi64(half, 1);
        p.digit_count[d] += counts[d];
        digits += counts[d];
    }
    p.other_count += static_cast<std::int64_t>(i) - digits;
    return i;
}

// The per-token loop, compiled whole for this tier.
AVX2_TARGET __attribute__((flatten)) chunk_progress classify_chunk_avx2(const unsigned char* data, std::size_t size,
                                                                  std::int64_t k, std::uint64_t limit,
                                                                  output_writer& w, digit_profile& open) {
    return classify_windows<avx2_window, tally_run_avx2>(data, size, k, limit, w, open);
}

}  // namespace

const token_kernels avx2_kernels = {kernel_tier::avx2, "avx2", tally_run_avx2, classify_chunk_avx2};

#endif
