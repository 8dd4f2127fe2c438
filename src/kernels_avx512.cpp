// The AVX-512BW tier: long runs 64 bytes at a time; short tokens take the
// AVX2 per-token loop, which is faster for them. Only the functions marked
// with a target attribute use AVX2 or AVX-512, so nothing else in this file
// can reach a CPU without them.
#if defined(__x86_64__)

#include <immintrin.h>

#include <array>

#include "avx2_common.h"
#include "kernels.h"

#define AVX512_TARGET __attribute__((target("avx512f,avx512bw,bmi,popcnt")))

namespace {

// The whitespace byte for each low nibble, in each 16-byte lane; see the
// AVX2 tier.
alignas(64) const unsigned char space_table[64] = {
    0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0xFF, 0xFF,
    0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0xFF, 0xFF,
    0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0xFF, 0xFF,
    0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0xFF, 0xFF};

// Bits of the whitespace bytes of v.
AVX512_TARGET inline std::uint64_t space_bits(__m512i v) {
    const __m512i table = _mm512_load_si512(space_table);
    return _mm512_cmpeq_epi8_mask(_mm512_shuffle_epi8(table, v), v);
}

// The sum of the eight 64-bit lanes.
AVX512_TARGET inline std::int64_t lane_sum(__m512i v) {
    alignas(64) std::int64_t lanes[8];
    _mm512_store_si512(lanes, v);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

AVX512_TARGET inline __m512i digit_bytes_512(int d) { return _mm512_set1_epi8(static_cast<char>('0' + d)); }

AVX512_TARGET inline __m512i load_512(const unsigned char* p) { return _mm512_loadu_si512(p); }

// Counting a long run: two digits per table lookup in the nibbles of byte
// counters, as in the AVX2 tier.
constexpr int nibble_rounds = 15;
constexpr int byte_rounds = 255 / nibble_rounds;

// The five tables, each repeated in all four 16-byte lanes.
constexpr std::array<std::array<unsigned char, 64>, 5> make_pair_tables() {
    std::array<std::array<unsigned char, 64>, 5> t{};
    for (int g = 0; g < 5; ++g)
        for (int lane = 0; lane < 4; ++lane) {
            t[g][16 * lane + 2 * g] = 1;
            t[g][16 * lane + 2 * g + 1] = 16;
        }
    return t;
}
alignas(64) constexpr std::array<std::array<unsigned char, 64>, 5> pair_tables = make_pair_tables();

AVX512_TARGET inline __m512i pair_table(int g) { return _mm512_load_si512(pair_tables[g].data()); }

AVX512_TARGET __attribute__((noinline)) std::size_t tally_run_avx512(digit_profile& p, const unsigned char* data, std::size_t size) {
    __m512i table[5];
    __m512i nibbles[5];
    __m512i bytes[10];
    __m512i wide[10];
    for (int g = 0; g < 5; ++g) {
        table[g] = pair_table(g);
        nibbles[g] = _mm512_setzero_si512();
    }
    for (int d = 0; d < 10; ++d) bytes[d] = wide[d] = _mm512_setzero_si512();
    const __m512i low_nibble = _mm512_set1_epi8(0x0F);
    std::int64_t counts[10] = {};
    std::size_t i = 0;
    int nibble_round = 0;
    int byte_round = 0;
    for (;;) {
        __m512i v = load_512(data + i);
        std::uint64_t stop = space_bits(v);
        std::size_t left = size - i;
        if (left < 64) stop |= ~std::uint64_t{0} << left;  // the bytes past the end
        if (stop != 0) {
            unsigned len = static_cast<unsigned>(__builtin_ctzll(stop));
            std::uint64_t take = (std::uint64_t{1} << len) - 1;
#pragma GCC unroll 10
            for (int d = 0; d < 10; ++d)
                counts[d] += static_cast<std::int64_t>(_mm_popcnt_u64(_mm512_mask_cmpeq_epi8_mask(take, v, digit_bytes_512(d))));
            i += len;
            break;
        }
        __m512i x = _mm512_min_epu8(_mm512_sub_epi8(v, digit_bytes_512(0)), low_nibble);
#pragma GCC unroll 5
        for (int g = 0; g < 5; ++g) nibbles[g] = _mm512_add_epi8(nibbles[g], _mm512_shuffle_epi8(table[g], x));
        i += 64;
        if (++nibble_round == nibble_rounds) {
            nibble_round = 0;
#pragma GCC unroll 5
            for (int g = 0; g < 5; ++g) {
                bytes[2 * g] = _mm512_add_epi8(bytes[2 * g], _mm512_and_si512(nibbles[g], low_nibble));
                bytes[2 * g + 1] = _mm512_add_epi8(bytes[2 * g + 1],
                                                   _mm512_and_si512(_mm512_srli_epi16(nibbles[g], 4), low_nibble));
                nibbles[g] = _mm512_setzero_si512();
            }
            if (++byte_round == byte_rounds) {
                byte_round = 0;
#pragma GCC unroll 10
                for (int d = 0; d < 10; ++d) {
                    wide[d] = _mm512_add_epi64(wide[d], _mm512_sad_epu8(bytes[d], _mm512_setzero_si512()));
                    bytes[d] = _mm512_setzero_si512();
                }
            }
        }
    }
    // Runs shorter than nibble_rounds vectors, the most common, never
    // reached the byte counters.
    bool long_run = i >= nibble_rounds * 64u;
    std::int64_t digits = 0;
#pragma GCC unroll 10
    for (int d = 0; d < 10; ++d) {
        int g = d / 2;
        __m512i rest = d % 2 == 0 ? _mm512_and_si512(nibbles[g], low_nibble)
                                  : _mm512_and_si512(_mm512_srli_epi16(nibbles[g], 4), low_nibble);
        __m512i sum = _mm512_sad_epu8(rest, _mm512_setzero_si512());
        if (long_run) sum = _mm512_add_epi64(sum, _mm512_add_epi64(wide[d], _mm512_sad_epu8(bytes[d], _mm512_setzero_si512())));
        counts[d] += lane_sum(sum);
        p.digit_count[d] += counts[d];
        digits += counts[d];
    }
    p.other_count += static_cast<std::int64_t>(i) - digits;
    return i;
}

// The per-token loop, compiled whole for this tier.
AVX512_TARGET __attribute__((flatten)) chunk_progress classify_chunk_avx512(const unsigned char* data, std::size_t size,
                                                                  std::int64_t k, std::uint64_t limit,
                                                                  output_writer& w, digit_profile& open) {
    return classify_windows<avx2_window, tally_run_avx512>(data, size, k, limit, w, open);
}

}  // namespace

const token_kernels avx512_kernels = {kernel_tier::avx512, "avx512bw", tally_run_avx512, classify_chunk_avx512};

#endif
