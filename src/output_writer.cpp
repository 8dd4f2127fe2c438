#include "output_writer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>

void init_writer(output_writer& w, int fd, std::size_t capacity) {
    w.fd = fd;
    w.buffer.assign(std::max(capacity, max_block_size), '\0');
    w.used = 0;
    w.error = 0;
}

// Writes the pieces in order, all of them, going on after short writes.
// Pieces are spent as they are written.
static bool write_pieces(output_writer& w, iovec* piece, int count) {
    if (w.error != 0) return false;
    while (count > 0) {
        ssize_t done = w.writev_fn(w.fd, piece, count);
        if (done < 0) {
            if (errno == EINTR) continue;
            w.error = errno;
            return false;
        }
        if (done == 0) {  // no progress and no reason given: treat as a full device
            w.error = ENOSPC;
            return false;
        }
        auto left = static_cast<std::size_t>(done);
        while (count > 0 && left >= piece->iov_len) {
            left -= piece->iov_len;
            ++piece;
            --count;
        }
        if (count > 0) {
            piece->iov_base = static_cast<char*>(piece->iov_base) + left;
            piece->iov_len -= left;
        }
    }
    return true;
}

bool flush_output(output_writer& w) {
    iovec all{w.buffer.data(), w.used};
    if (!write_pieces(w, &all, w.used > 0 ? 1 : 0)) return false;
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
    // From here on whole buffers of lines: filled once, and sent many
    // times per call, each piece of a call pointing at the same buffer.
    const std::size_t per_buffer = w.buffer.size() / 3;
    fill_rejects(w.buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, per_buffer)));
    constexpr int pieces_per_call = 16;
    while (count >= per_buffer) {
        iovec piece[pieces_per_call];
        int pieces = static_cast<int>(std::min<std::uint64_t>(count / per_buffer, pieces_per_call));
        for (int i = 0; i < pieces; ++i) piece[i] = {w.buffer.data(), per_buffer * 3};
        if (!write_pieces(w, piece, pieces)) return;
        count -= static_cast<std::uint64_t>(pieces) * per_buffer;
    }
    w.used = static_cast<std::size_t>(count) * 3;
}
