#include "output_writer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <unistd.h>

void init_writer(output_writer& w, int fd, std::size_t capacity) {
    w.fd = fd;
    w.buffer.assign(std::max(capacity, max_block_size), '\0');
    w.used = 0;
    w.error = 0;
}

bool flush_output(output_writer& w) {
    if (w.error != 0) return false;
    const char* p = w.buffer.data();
    std::size_t left = w.used;
    while (left > 0) {
        ssize_t done = ::write(w.fd, p, left);
        if (done < 0) {
            if (errno == EINTR) continue;
            w.error = errno;
            return false;
        }
        if (done == 0) {  // no progress and no reason given: treat as a full device
            w.error = ENOSPC;
            return false;
        }
        p += done;
        left -= static_cast<std::size_t>(done);
    }
    w.used = 0;
    return true;
}

// Fills lines "-1" into out[0, 3 * lines) by doubling what is already there.
static void fill_rejects(char* out, std::size_t lines) {
    if (lines == 0) return;
    std::memcpy(out, "-1\n", 3);
    std::size_t done = 3;
    const std::size_t total = lines * 3;
    while (done < total) {
        std::size_t part = std::min(done, total - done);
        std::memcpy(out + done, out, part);
        done += part;
    }
}

void write_rejects(output_writer& w, std::uint64_t count) {
    if (count == 0 || !make_room(w)) return;
    // Top up the buffer behind what it holds, and send it.
    std::size_t room = (w.buffer.size() - w.used) / 3;
    std::size_t lines = static_cast<std::size_t>(std::min<std::uint64_t>(count, room));
    fill_rejects(w.buffer.data() + w.used, lines);
    w.used += lines * 3;
    count -= lines;
    if (count == 0 || !flush_output(w)) return;
    // From here on whole buffers of lines: filled once, written as often as
    // needed. The buffer is never shorter than a block, so this is progress.
    const std::size_t per_buffer = w.buffer.size() / 3;
    fill_rejects(w.buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, per_buffer)));
    while (count >= per_buffer) {
        w.used = per_buffer * 3;
        if (!flush_output(w)) return;
        count -= per_buffer;
    }
    w.used = static_cast<std::size_t>(count) * 3;
}
