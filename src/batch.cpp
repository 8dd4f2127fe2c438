#include "batch.h"

#include <cstdint>

#include "digit_profile.h"
#include "input_reader.h"
#include "output_writer.h"

batch_result run_batch(int in_fd, int out_fd, const batch_options& options) {
    output_writer w;
    init_writer(w, out_fd, options.output_buffer_size);
    w.writev_fn = options.writev_fn;
    input_reader r;
    init_reader(r, in_fd, options.input_buffer_size,
                options.kernels != nullptr ? *options.kernels : select_kernels());
    r.pending = &w;
    r.read_fn = options.read_fn;

    batch_result result;
    std::int64_t n = 0;
    std::int64_t k = 0;
    number_read got_n = read_number(r, n);
    if (got_n == number_read::out_of_range || n < 0) {
        result.count_out_of_range = r.error == 0;
        result.input_error = r.error;
        return result;
    }
    // A header that cannot be read leaves the input failed: every token
    // after it is empty and rejected.
    bool input_ok = got_n == number_read::ok && read_number(r, k) == number_read::ok;

    auto remaining = static_cast<std::uint64_t>(n);
    while (input_ok && remaining > 0 && w.error == 0) {
        if (r.pos == r.end && !read_more(r)) break;
        // Whole buffers of tokens go through the kernel; only a token that
        // straddles a refill is finished out here.
        digit_profile open;
        chunk_progress c = r.kernels->classify_chunk(r.buffer.data() + r.pos, r.end - r.pos, k, remaining, w, open);
        r.pos += c.consumed;
        remaining -= c.tokens;
        if (!c.open) continue;
        finish_open_token(r, open);
        if (r.error != 0) break;  // the token was cut short: no verdict for it
        write_verdict(w, judge_profile(open, k));
        --remaining;
    }
    if (r.error == 0) write_rejects(w, remaining);
    flush_output(w);
    result.input_error = r.error;
    result.output_error = w.error;
    return result;
}
