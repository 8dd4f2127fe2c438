// The buffered writer of the result file.
//
// Lines collect in a buffer of the writer's own and go to the file in large
// writes: when the buffer cannot take another whole result block, when the
// batch is about to wait for input, and at the end. The buffer is flushed
// only between blocks, so a partial line never reaches the file unless the
// file itself refuses part of a write (a full disk).
#pragma once

#include <cstddef>
#include <cstdint>
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

// The result block of one token: "-1", or the profile line and "1".
void write_verdict(output_writer& w, const verdict& v);

// count blocks of "-1", for tokens the input no longer holds.
void write_rejects(output_writer& w, std::uint64_t count);
