// The portable tier: one byte at a time, for every target.
#include "kernels.h"

namespace {

// Length of the run of non-whitespace bytes at the start of data[0, size).
std::size_t token_length(const unsigned char* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size && !space_bytes[data[i]]) ++i;
    return i;
}

std::size_t tally_run_scalar(digit_profile& p, const unsigned char* data, std::size_t size) {
    std::size_t len = token_length(data, size);
    tally_bytes(p, data, len);
    return len;
}

chunk_progress classify_chunk_scalar(const unsigned char* data, std::size_t size, std::int64_t k,
                                     std::uint64_t limit, output_writer& w, digit_profile& open) {
    chunk_progress progress;
    std::size_t i = 0;
    while (progress.tokens < limit) {
        while (i < size && space_bytes[data[i]]) ++i;
        if (i == size || !make_room(w)) break;
        digit_profile p;
        std::size_t len = tally_run_scalar(p, data + i, size - i);
        i += len;
        if (i == size) {  // may go on in the next buffer
            open = p;
            progress.open = true;
            break;
        }
        ++i;  // the whitespace byte that ended it
        finish_token(p, k, w);
        ++progress.tokens;
    }
    progress.consumed = i;
    return progress;
}

}  // namespace

const token_kernels scalar_kernels = {kernel_tier::scalar, "scalar", tally_run_scalar, classify_chunk_scalar};
