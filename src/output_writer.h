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
    // At least "3 1 1\n1\n": the first four bytes can be swapped whole.
    char head[4];
    std::memcpy(head, first, 4);
    std::uint32_t kept, reject;
    std::memcpy(&kept, head, 4);
    std::memcpy(&reject, "-1\n\n", 4);
    std::uint32_t word = accepted ? kept : reject;
    std::memcpy(first, &word, 4);
    w.used += accepted ? static_cast<std::size_t>(out - first) : 3;
}

inline void write_verdict(output_writer& w, const verdict& v) {
    if (make_room(w)) put_block(w, v.accepted, v.profile.distinct, v.profile.max_count, v.profile.min_count);
}

// count blocks of "-1", for tokens the input no longer holds.
void write_rejects(output_writer& w, std::uint64_t count);
