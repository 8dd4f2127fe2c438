// Fault drills through the in-process batch: an input that trickles one
// byte per read, a read that fails midway, a write that fails midway; and
// through the program, that standard error is silent exactly when the exit
// status is 0.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "batch.h"
#include "batch_cases.h"
#include "digit_profile.h"
#include "kernels.h"
#include "test_support.h"

namespace {

const kernel_tier tiers[] = {kernel_tier::scalar, kernel_tier::sse2, kernel_tier::avx2, kernel_tier::avx512};

// The stand-in system calls keep their state here; each test sets it.
std::size_t read_budget = 0;   // bytes still delivered before reads fail
std::size_t write_budget = 0;  // bytes still accepted before writes fail

ssize_t read_one_byte(int fd, void* buffer, std::size_t) { return ::read(fd, buffer, 1); }

ssize_t read_then_fail(int fd, void* buffer, std::size_t size) {
    if (read_budget == 0) {
        errno = EIO;
        return -1;
    }
    ssize_t got = ::read(fd, buffer, std::min(size, read_budget));
    if (got > 0) read_budget -= static_cast<std::size_t>(got);
    return got;
}

// Accepts the first write_budget bytes, as a device that fills up would:
// the call that reaches the limit is cut short, the next one fails.
ssize_t write_then_fail(int fd, const iovec* piece, int count) {
    if (write_budget == 0) {
        errno = ENOSPC;
        return -1;
    }
    std::vector<iovec> allowed;
    std::size_t room = write_budget;
    for (int i = 0; i < count && room > 0; ++i) {
        std::size_t len = std::min(piece[i].iov_len, room);
        allowed.push_back({piece[i].iov_base, len});
        room -= len;
    }
    ssize_t done = ::writev(fd, allowed.data(), static_cast<int>(allowed.size()));
    if (done > 0) write_budget -= static_cast<std::size_t>(done);
    return done;
}

class fault_test : public tier_fixture {};

TEST_P(fault_test, input_trickling_one_byte_per_read) {
    for (const batch_case& c : batch_cases()) {
        batch_options options;
        options.kernels = tier;
        options.read_fn = read_one_byte;
        batch_run run = run_on_bytes(c.input, options);
        EXPECT_EQ(run.output, c.output) << c.name;
        EXPECT_EQ(run.result.count_out_of_range, c.refused) << c.name;
        EXPECT_EQ(run.result.input_error, 0) << c.name;
    }
}

// A batch of 120 tokens of every kind, behind a plain two-number header.
struct token_file {
    std::string input;
    std::vector<std::size_t> token_end;  // offset of the whitespace byte after each token
    std::vector<std::string> block;      // each token's result block
};

token_file make_token_file() {
    std::mt19937_64 rng(11);
    token_file f;
    f.input = "120 1\n";
    const char spaces[] = " \t\n\v\f\r";
    for (int t = 0; t < 120; ++t) {
        std::string token;
        std::size_t len = t % 10 == 9 ? 300 + rng() % 300 : 1 + rng() % 24;
        int kinds = 2 + static_cast<int>(rng() % 6);
        for (std::size_t i = 0; i < len; ++i) token += static_cast<char>('0' + rng() % kinds);
        if (t % 17 == 5) token[len / 2] = 'x';
        f.input += token;
        f.token_end.push_back(f.input.size());
        f.input += spaces[rng() % 6];
        verdict v = classify_token(token, 1);
        f.block.push_back(v.accepted ? std::to_string(v.profile.distinct) + " " + std::to_string(v.profile.max_count) +
                                           " " + std::to_string(v.profile.min_count) + "\n1\n"
                                     : "-1\n");
    }
    return f;
}

// A read fails after `delivered` bytes: the file holds the blocks of the
// tokens whose ending whitespace arrived, and nothing made up for the rest.
TEST_P(fault_test, read_failing_midway_keeps_the_finished_blocks_only) {
    token_file f = make_token_file();
    for (std::size_t buffer : {1u, 7u, 64u, 4096u}) {
        for (std::size_t delivered = 0; delivered <= f.input.size(); delivered += 1 + delivered / 16) {
            std::string expected;
            for (std::size_t t = 0; t < f.token_end.size() && f.token_end[t] < delivered; ++t) expected += f.block[t];
            batch_options options;
            options.kernels = tier;
            options.input_buffer_size = buffer;
            options.read_fn = read_then_fail;
            read_budget = delivered;
            batch_run run = run_on_bytes(f.input, options);
            std::string where = "buffer " + std::to_string(buffer) + ", fails after " + std::to_string(delivered);
            if (delivered == f.input.size()) {  // everything arrived: the end of the file is never seen
                EXPECT_EQ(run.output, expected) << where;
                continue;
            }
            EXPECT_EQ(run.result.input_error, EIO) << where;
            EXPECT_EQ(run.result.output_error, 0) << where;
            ASSERT_EQ(run.output, expected) << where;
        }
    }
}

// A write fails after `accepted` bytes: the file holds exactly those bytes
// of the full output, the failure is reported, and the batch stops.
TEST_P(fault_test, write_failing_midway_is_reported_and_stops_the_batch) {
    token_file f = make_token_file();
    batch_options plain;
    plain.kernels = tier;
    std::string full = run_on_bytes(f.input, plain).output;
    ASSERT_GT(full.size(), 300u);
    for (std::size_t accepted : {0ul, 1ul, 2ul, 50ul, 99ul, 100ul, 101ul, full.size() / 2, full.size() - 1}) {
        batch_options options;
        options.kernels = tier;
        options.input_buffer_size = 64;
        options.output_buffer_size = 100;
        options.writev_fn = write_then_fail;
        write_budget = accepted;
        batch_run run = run_on_bytes(f.input, options);
        std::string where = "fails after " + std::to_string(accepted);
        EXPECT_EQ(run.result.output_error, ENOSPC) << where;
        EXPECT_EQ(run.result.input_error, 0) << where;
        EXPECT_EQ(run.output, full.substr(0, accepted)) << where;
    }
}

// The missing blocks of an exhausted input are written in bulk; a write
// failure there stops the batch too, with nothing past the failure.
TEST_P(fault_test, write_failing_while_filling_missing_blocks) {
    for (std::size_t accepted : {0ul, 3ul, 1000ul, 65536ul, 65537ul, 200000ul, 1500001ul}) {
        batch_options options;
        options.kernels = tier;
        options.writev_fn = write_then_fail;
        write_budget = accepted;
        batch_run run = run_on_bytes("1000000 0 123", options);
        std::string expected = "3 1 1\n1\n";
        while (expected.size() < accepted) expected += "-1\n";
        EXPECT_EQ(run.result.output_error, ENOSPC) << accepted;
        EXPECT_EQ(run.output, expected.substr(0, accepted)) << accepted;
    }
}

INSTANTIATE_TEST_SUITE_P(tiers, fault_test, testing::ValuesIn(tiers), tier_row_name);

// Through the program: silence and 0, or a message and 1, for every kind
// of run.
struct program_case {
    const char* name;
    const char* input;  // null: no input file
    bool output_dir;    // pelorand.out is a directory
    bool output_full;   // pelorand.out is a link to /dev/full
    int status;
};

const program_case program_cases[] = {
    {"ordinary", "3 0 123 11 4", false, false, 0},
    {"empty_input", "", false, false, 0},
    {"fewer_tokens_than_n", "5 0 123", false, false, 0},
    {"unreadable_k", "2 x 123", false, false, 0},
    {"count_refused", "-2 0 123", false, false, 1},
    {"missing_input", nullptr, false, false, 1},
    {"output_a_directory", "1 0 123", true, false, 1},
    {"output_on_a_full_device", "1 0 123", false, true, 1},
};

class program_status : public testing::TestWithParam<program_case> {};

TEST_P(program_status, standard_error_is_silent_exactly_when_the_status_is_zero) {
    const program_case& c = GetParam();
    scratch_dir dir;
    if (c.input != nullptr) write_file(dir.file("pelorand.inp"), c.input);
    if (c.output_dir) {
        ASSERT_EQ(::mkdir(dir.file("pelorand.out").c_str(), 0755), 0);
    }
    if (c.output_full) {
        ASSERT_EQ(::symlink("/dev/full", dir.file("pelorand.out").c_str()), 0);
    }
    program_run run = run_program(dir);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.error_text.empty(), run.status == 0) << run.error_text;
    if (!run.error_text.empty()) {
        EXPECT_EQ(run.error_text.rfind("pelorand: ", 0), 0u) << run.error_text;
        EXPECT_EQ(std::count(run.error_text.begin(), run.error_text.end(), '\n'), 1) << run.error_text;
    }
}

INSTANTIATE_TEST_SUITE_P(cases, program_status, testing::ValuesIn(program_cases),
                         [](const testing::TestParamInfo<program_case>& row) { return std::string(row.param.name); });

}  // namespace
