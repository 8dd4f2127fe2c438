// The streaming reader of the input file: one fixed buffer, refilled in
// place, so memory stays the same however long a token or the file is.
// Header numbers and tokens are read straight from the buffer and may
// straddle any number of refills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unistd.h>
#include <vector>

#include "digit_profile.h"
#include "kernels.h"
#include "output_writer.h"

struct input_reader {
    int fd = -1;
    std::vector<unsigned char> buffer;  // capacity bytes, then kernel_padding of slack
    std::size_t pos = 0;  // next unread byte
    std::size_t end = 0;  // end of the bytes read so far
    bool at_end = false;  // end of file or a failed read; later reads all fail
    int error = 0;        // errno of a failed read
    // Output to flush before every read, so that no finished line is held
    // back while the program waits for more input.
    output_writer* pending = nullptr;
    const token_kernels* kernels = &scalar_kernels;
    // The read call; tests put a failing or trickling one in its place.
    ssize_t (*read_fn)(int, void*, std::size_t) = ::read;
};

void init_reader(input_reader& r, int fd, std::size_t capacity, const token_kernels& kernels);

// Refills the buffer. True when new bytes are there to read.
bool read_more(input_reader& r);

enum class number_read { ok, none, out_of_range };

// Reads a header number: whitespace, an optional sign, then decimal digits up
// to the first byte that cannot continue the number. "none" when there are
// no digits (value 0), "out_of_range" beyond signed 64 bits.
number_read read_number(input_reader& r, std::int64_t& value);

// Goes on tallying a token whose bytes so far ran up to the end of the
// buffer: refills and tallies until whitespace or the end of the input.
// A read error may end the token early: check r.error.
void finish_open_token(input_reader& r, digit_profile& p);
