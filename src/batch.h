// The batch: header, then one result block per token, from an input file
// descriptor to an output file descriptor. Callable in-process; main binds
// it to pelorand.inp and pelorand.out.
#pragma once

#include <cstddef>
#include <sys/uio.h>
#include <unistd.h>

#include "kernels.h"

struct batch_options {
    std::size_t input_buffer_size = 256 * 1024;
    std::size_t output_buffer_size = 64 * 1024;
    const token_kernels* kernels = nullptr;  // null: the best this CPU runs
    // The system calls, replaceable so that tests can make them fail.
    ssize_t (*read_fn)(int, void*, std::size_t) = ::read;
    ssize_t (*writev_fn)(int, const iovec*, int) = ::writev;
};

// What went wrong, if anything. All zero/false: every result is written.
struct batch_result {
    int input_error = 0;    // errno of a failed read of the input
    int output_error = 0;   // errno of a failed write of the output
    bool count_out_of_range = false;  // n negative or beyond 64 bits: refused
};

batch_result run_batch(int in_fd, int out_fd, const batch_options& options = {});
