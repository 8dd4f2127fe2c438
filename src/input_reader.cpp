#include "input_reader.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

// The next byte without taking it, or -1 at the end of the input.
int peek(input_reader& r) {
    if (r.pos == r.end && !read_more(r)) return -1;
    return r.buffer[r.pos];
}

// Moves past whitespace. False at the end of the input.
bool skip_space(input_reader& r) {
    for (;;) {
        while (r.pos < r.end && space_bytes[r.buffer[r.pos]]) ++r.pos;
        if (r.pos < r.end) return true;
        if (!read_more(r)) return false;
    }
}

}  // namespace

void init_reader(input_reader& r, int fd, std::size_t capacity, const token_kernels& kernels) {
    r.fd = fd;
    r.buffer.assign(std::max<std::size_t>(capacity, 1) + kernel_padding, 0);
    r.kernels = &kernels;
    r.pos = r.end = 0;
    r.at_end = false;
    r.error = 0;
}

bool read_more(input_reader& r) {
    if (r.at_end) return false;
    if (r.pending != nullptr && !flush_output(*r.pending)) {
        r.at_end = true;  // the output failed; the batch stops on that
        return false;
    }
    for (;;) {
        ssize_t got = r.read_fn(r.fd, r.buffer.data(), r.buffer.size() - kernel_padding);
        if (got > 0) {
            r.pos = 0;
            r.end = static_cast<std::size_t>(got);
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) r.error = errno;
        r.pos = r.end = 0;
        r.at_end = true;
        return false;
    }
}

number_read read_number(input_reader& r, std::int64_t& value) {
    value = 0;
    if (!skip_space(r)) return number_read::none;
    bool negative = false;
    int c = peek(r);
    if (c == '+' || c == '-') {
        negative = c == '-';
        ++r.pos;
        c = peek(r);
    }
    if (c < '0' || c > '9') return number_read::none;
    // Gathered on the side of the sign, so that INT64_MIN fits.
    std::int64_t v = 0;
    do {
        int d = c - '0';
        if (negative ? __builtin_mul_overflow(v, 10, &v) || __builtin_sub_overflow(v, d, &v)
                     : __builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, d, &v))
            return number_read::out_of_range;
        ++r.pos;
        c = peek(r);
    } while (c >= '0' && c <= '9');
    value = v;
    return number_read::ok;
}

void finish_open_token(input_reader& r, digit_profile& p) {
    while (r.pos == r.end && read_more(r))
        r.pos += r.kernels->tally_run(p, r.buffer.data() + r.pos, r.end - r.pos);
}
