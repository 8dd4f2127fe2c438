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

// One count in plain decimal. Most counts are below 100: those go without
// a division loop.
inline char* put_count(char* p, std::int64_t v) {
    if (v >= 0 && v < 10) {
        *p = static_cast<char>('0' + v);
        return p + 1;
    }
    if (v >= 10 && v < 100) {
        p[0] = static_cast<char>('0' + v / 10);
        p[1] = static_cast<char>('0' + v % 10);
        return p + 2;
    }
    return std::to_chars(p, p + 20, v).ptr;
}

// The result block of one token into room made by make_room: "-1", or the
// profile line and "1".
inline void put_block(output_writer& w, bool accepted, const digit_profile& p) {
    char* out = w.buffer.data() + w.used;
    char* const first = out;
    if (accepted) {
        out = put_count(out, p.distinct);
        *out++ = ' ';
        out = put_count(out, p.max_count);
        *out++ = ' ';
        out = put_count(out, p.min_count);
        std::memcpy(out, "\n1\n", 3);
        out += 3;
    } else {
        std::memcpy(out, "-1\n", 3);
        out += 3;
    }
    w.used += static_cast<std::size_t>(out - first);
}

inline void write_verdict(output_writer& w, const verdict& v) {
    if (make_room(w)) put_block(w, v.accepted, v.profile);
}

// count blocks of "-1", for tokens the input no longer holds.
void write_rejects(output_writer& w, std::uint64_t count);
