// The token kernels: the loops that look at every byte of the input.
//
// Each instruction-set tier (the portable scalar code, and on x86-64 SSE2,
// AVX2 and AVX-512BW) gives the same two functions in a file of its own;
// the best tier the CPU supports is chosen once, at the first call of
// select_kernels. Every tier gives byte-for-byte the same results as the
// scalar one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "digit_profile.h"
#include "output_writer.h"

// Vector code may load up to this many bytes past the end of the data it is
// given (never using them): buffers handed to the kernels carry this much
// readable slack.
constexpr std::size_t kernel_padding = 64;

// Whitespace: blank, tab, line feed, vertical tab, form feed and carriage
// return. Every other byte, NUL included, belongs to a token.
constexpr std::array<bool, 256> make_space_bytes() {
    std::array<bool, 256> t{};
    for (unsigned char b : {' ', '\t', '\n', '\v', '\f', '\r'}) t[b] = true;
    return t;
}
inline constexpr std::array<bool, 256> space_bytes = make_space_bytes();

// Judges a fully tallied token and writes its block into room that
// make_room has made.
inline void finish_token(digit_profile& p, std::int64_t k, output_writer& w) {
    scan_counts(p);
    put_block(w, accept_profile(p, k), p.distinct, p.max_count, p.min_count);
}

// The same for a token shorter than 64 bytes, from its length and digit
// counts. Every count is below 64, so the counts can be gathered as bits
// of one word: the largest is its highest bit, the smallest non-zero one
// its lowest bit above bit 0 (where the unused digits land). No loops over
// the counters and no branches.
inline void finish_short_token(const std::int64_t (&count)[10], std::int64_t len, std::int64_t k,
                               output_writer& w) {
    std::uint64_t values = 0;
    std::int64_t distinct = 0;
    std::int64_t digits = 0;
    for (std::int64_t c : count) {
        values |= std::uint64_t{1} << c;
        distinct += c != 0;
        digits += c;
    }
    values &= ~std::uint64_t{1};
    // Meaningless, but defined, when no digit is used: the token is
    // rejected then and the figures are not written.
    std::int64_t max_count = 63 - __builtin_clzll(values | 1);
    std::int64_t min_count = __builtin_ctzll(values | (std::uint64_t{1} << 63));
    put_block(w, accept_figures(len - digits, distinct, max_count, min_count, k), distinct, max_count, min_count);
}

enum class kernel_tier { scalar, sse2, avx2, avx512 };

struct chunk_progress {
    std::size_t consumed = 0;  // bytes taken from the front of the data
    std::uint64_t tokens = 0;  // result blocks written
    bool open = false;         // the last token runs up to the end of the data
};

struct token_kernels {
    kernel_tier tier;
    const char* name;

    // Tallies the leading run of non-whitespace bytes of data[0, size) into
    // p and returns its length (size when no whitespace ends it).
    std::size_t (*tally_run)(digit_profile& p, const unsigned char* data, std::size_t size);

    // Classifies the tokens of data[0, size), at most limit of them, and
    // writes their result blocks to w. A token ends at a whitespace byte
    // before size; one that runs up to size may go on in the next buffer, so
    // it is tallied into open, all of the data is consumed, and the result
    // says open. Otherwise it stops after the limit (just past the whitespace
    // byte that ended the last token), when the output fails (before the
    // next token), or at the end of the data.
    chunk_progress (*classify_chunk)(const unsigned char* data, std::size_t size, std::int64_t k,
                                     std::uint64_t limit, output_writer& w, digit_profile& open);
};

// The tier's kernels, or null when this build or this CPU lacks the tier.
const token_kernels* kernels_for(kernel_tier tier);

// The fastest tier this CPU runs; chosen once.
const token_kernels& select_kernels();

const char* tier_name(kernel_tier tier);

// Per-tier tables, defined in their own files; the x86 ones exist only on
// x86-64 builds and must only be used when the CPU has the instructions.
extern const token_kernels scalar_kernels;
#if defined(__x86_64__)
extern const token_kernels sse2_kernels;
extern const token_kernels avx2_kernels;
extern const token_kernels avx512_kernels;
#endif
