// The per-token loop of the vector tiers, written once.
//
// A window of 32 bytes at the next token finds where it starts and, for
// tokens shorter than the window, where it ends; the digits of such a token
// are counted from the window's bit masks. Longer tokens go to the tier's
// tally_run. A tier supplies the window as a type with two functions for
// the 32 bytes at p (readable thanks to the kernels' padding):
//   std::uint32_t space_bits(p)           bit i set when p[i] is whitespace
//   void count_digits(count, p, take)     adds, for each digit d, the bytes
//                                         equal to d among those set in take
// and instantiates classify_windows from a function of its own that carries
// its target attribute and `flatten`, so that the whole loop, window
// functions included, is compiled for that tier and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels.h"

// The profile of a token cut by the end of the buffer, from its window counts.
inline digit_profile counted_profile(const std::int64_t (&count)[10], std::int64_t len) {
    digit_profile p;
    std::int64_t digits = 0;
    for (int d = 0; d < 10; ++d) {
        p.digit_count[d] = count[d];
        digits += count[d];
    }
    p.other_count = len - digits;
    return p;
}

template <class window, std::size_t (*tally_run)(digit_profile&, const unsigned char*, std::size_t)>
inline chunk_progress classify_windows(const unsigned char* data, std::size_t size, std::int64_t k,
                                       std::uint64_t limit, output_writer& w, digit_profile& open) {
    chunk_progress progress;
    std::size_t i = 0;
    while (progress.tokens < limit && i < size) {
        std::uint32_t space = window::space_bits(data + i);
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
            std::int64_t count[10] = {};
            window::count_digits(count, data + i, ((1u << len) - 1) << start);
            i += start + len;
            if (i == size) {  // may go on in the next buffer
                open = counted_profile(count, len);
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
