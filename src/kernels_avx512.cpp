// The AVX-512BW tier: 64 bytes at a time, with compares straight into mask
// registers. Only the functions marked with the target attribute use
// AVX-512, so nothing else in this file can reach a CPU without it.
#if defined(__x86_64__)

#include <immintrin.h>

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

AVX512_TARGET inline __m512i digit_byte(int d) { return _mm512_set1_epi8(static_cast<char>('0' + d)); }

AVX512_TARGET inline __m512i load(const unsigned char* p) { return _mm512_loadu_si512(p); }

AVX512_TARGET std::size_t tally_run_avx512(digit_profile& p, const unsigned char* data, std::size_t size) {
    // Per-digit byte counters, one per lane, widened into 64-bit sums before
    // any can pass 255.
    __m512i small[10];
    __m512i wide[10];
    for (int d = 0; d < 10; ++d) small[d] = wide[d] = _mm512_setzero_si512();
    const __m512i minus_one = _mm512_set1_epi8(-1);
    std::int64_t counts[10] = {};
    unsigned rounds = 0;
    std::size_t i = 0;
    for (;;) {
        __m512i v = load(data + i);
        std::uint64_t stop = space_bits(v);
        std::size_t left = size - i;
        if (left < 64) stop |= ~std::uint64_t{0} << left;  // the bytes past the end
        if (stop != 0) {
            unsigned len = static_cast<unsigned>(__builtin_ctzll(stop));
            std::uint64_t take = (std::uint64_t{1} << len) - 1;
            for (int d = 0; d < 10; ++d)
                counts[d] += static_cast<std::int64_t>(_mm_popcnt_u64(_mm512_mask_cmpeq_epi8_mask(take, v, digit_byte(d))));
            i += len;
            break;
        }
        for (int d = 0; d < 10; ++d)
            small[d] = _mm512_mask_sub_epi8(small[d], _mm512_cmpeq_epi8_mask(v, digit_byte(d)), small[d], minus_one);
        i += 64;
        if (++rounds == 255) {
            for (int d = 0; d < 10; ++d) {
                wide[d] = _mm512_add_epi64(wide[d], _mm512_sad_epu8(small[d], _mm512_setzero_si512()));
                small[d] = _mm512_setzero_si512();
            }
            rounds = 0;
        }
    }
    std::int64_t digits = 0;
    for (int d = 0; d < 10; ++d) {
        __m512i sum = _mm512_add_epi64(wide[d], _mm512_sad_epu8(small[d], _mm512_setzero_si512()));
        counts[d] += lane_sum(sum);
        p.digit_count[d] += counts[d];
        digits += counts[d];
    }
    p.other_count += static_cast<std::int64_t>(i) - digits;
    return i;
}

AVX512_TARGET chunk_progress classify_chunk_avx512(const unsigned char* data, std::size_t size, std::int64_t k,
                                                   std::uint64_t limit, output_writer& w, digit_profile& open) {
    chunk_progress progress;
    std::size_t i = 0;
    while (progress.tokens < limit && i < size) {
        // A window of 64 bytes from i: where the next token starts, and
        // usually where it ends too.
        __m512i v = load(data + i);
        std::uint64_t space = space_bits(v);
        std::size_t left = size - i;
        if (left < 64) space |= ~std::uint64_t{0} << left;  // the bytes past the end count as an end
        std::uint64_t token_bytes = ~space;
        if (token_bytes == 0) {  // all whitespace
            i += left < 64 ? left : 64;
            continue;
        }
        if (!make_room(w)) break;
        unsigned start = static_cast<unsigned>(__builtin_ctzll(token_bytes));
        std::uint64_t after = space >> start;
        digit_profile p;
        if (after == 0) {  // the token goes past the window: tally it as a run
            i += start + tally_run_avx512(p, data + i + start, size - i - start);
        } else {
            unsigned len = static_cast<unsigned>(__builtin_ctzll(after));
            std::uint64_t take = ((std::uint64_t{1} << len) - 1) << start;
            std::int64_t digits = 0;
            for (int d = 0; d < 10; ++d) {
                p.digit_count[d] = static_cast<std::int64_t>(_mm_popcnt_u64(_mm512_mask_cmpeq_epi8_mask(take, v, digit_byte(d))));
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

const token_kernels avx512_kernels = {kernel_tier::avx512, "avx512bw", tally_run_avx512, classify_chunk_avx512};

#endif
