// The buffered writer of the result file.
//
// Lines collect in a buffer of the writer's own and go to the file in large
// writes: when the buffer cannot take another whole result block, when the
// batch is about to wait for input, and at the end. The buffer is flushed
// only between blocks, so a partial line never reaches the file unless the
// file itself refuses part of a write (a full disk).
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

#include "digit_profile.h"

// The longest result block: "10 " and two 19-digit counts, a blank, two
// line feeds and "1". Rounded up.
constexpr std::size_t max_block_size = 64;

struct output_writer {
    int fd = -1;
    std::vector<char> buffer;  // never shorter than max_block_size
    std::size_t used = 0;
    int error = 0;  // errno of the first failed write; nothing is written after it
    // The write call; tests put a failing one in its place.
    ssize_t (*writev_fn)(int, const iovec*, int) = ::writev;
};

void init_writer(output_writer& w, int fd, std::size_t capacity);

// Writes out everything buffered. False when this or an earlier write failed.
bool flush_output(output_writer& w);

// Makes room for one whole block. False when the output has failed.
inline bool make_room(output_writer& w) {
    if (w.error != 0) return false;
    if (w.buffer.size() - w.used >= max_block_size) return true;
    return flush_output(w);
}

// One count in plain decimal at p; returns the end. Counts below 100, by
// far the most common, go without branches or divisions by a variable; the
// byte after a one-digit count may be overwritten (the block has room).
inline char* put_count(char* p, std::int64_t v) {
    if (v < 0 || v >= 100) return std::to_chars(p, p + 20, v).ptr;
    auto u = static_cast<unsigned>(v);
    unsigned two = u >= 10;
    unsigned tens = u / 10;
    p[0] = static_cast<char>('0' + (two ? tens : u));
    p[1] = static_cast<char>('0' + (u - tens * 10));
    return p + 1 + two;
}

// The result block of one token into room made by make_room: "-1", or the
// profile line and "1". The profile line is written either way and the
// reject line laid over its start when the token is rejected, so the
// choice costs no branch.
static_assert(max_block_size >= 48 + 3, "put_block writes up to 51 bytes");
inline void put_block(output_writer& w, bool accepted, std::int64_t distinct, std::int64_t max_count,
                      std::int64_t min_count) {
    char* const first = w.buffer.data() + w.used;
    char* out = put_count(first, distinct);
    *out++ = ' ';
    out = put_count(out, max_count);
    *out++ = ' ';
    out = put_count(out, min_count);
    std::memcpy(out, "\n1\n", 3);
    out += 3;
    // The reject line goes over the start of the profile line, or, for an
    // accepted token, past the block's end (the room holds 64 bytes, the
    // block at most 47). The choice is made with masks, not a conditional
    // the compiler could turn back into a branch.
    const auto keep = static_cast<std::size_t>(0) - static_cast<std::size_t>(accepted);
    std::memcpy(first + (48 & keep), "-1\n", 3);
    const auto length = static_cast<std::size_t>(out - first);
    w.used += 3 + ((length - 3) & keep);
}

inline void write_verdict(output_writer& w, const verdict& v) {
    if (make_room(w)) put_block(w, v.accepted, v.profile.distinct, v.profile.max_count, v.profile.min_count);
}

// count blocks of "-1", for tokens the input no longer holds.
void write_rejects(output_writer& w, std::uint64_t count);
