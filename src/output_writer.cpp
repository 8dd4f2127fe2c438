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

// Makes room for one whole block; false when the output has failed.
static bool reserve_block(output_writer& w) {
    if (w.error != 0) return false;
    if (w.buffer.size() - w.used >= max_block_size) return true;
    return flush_output(w);
}

void write_verdict(output_writer& w, const verdict& v) {
    if (!reserve_block(w)) return;
    char* p = w.buffer.data() + w.used;
    char* const limit = w.buffer.data() + w.buffer.size();
    if (v.accepted) {
        p = std::to_chars(p, limit, v.profile.distinct).ptr;
        *p++ = ' ';
        p = std::to_chars(p, limit, v.profile.max_count).ptr;
        *p++ = ' ';
        p = std::to_chars(p, limit, v.profile.min_count).ptr;
        std::memcpy(p, "\n1\n", 3);
        p += 3;
    } else {
        std::memcpy(p, "-1\n", 3);
        p += 3;
    }
    w.used = static_cast<std::size_t>(p - w.buffer.data());
}

void write_rejects(output_writer& w, std::uint64_t count) {
    while (count > 0 && reserve_block(w)) {
        std::size_t room = (w.buffer.size() - w.used) / 3;
        std::size_t lines = static_cast<std::size_t>(std::min<std::uint64_t>(count, room));
        char* p = w.buffer.data() + w.used;
        for (std::size_t i = 0; i < lines; ++i, p += 3)
            std::memcpy(p, "-1\n", 3);
        w.used += lines * 3;
        count -= lines;
    }
}
