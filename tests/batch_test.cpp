#include "batch.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <tuple>
#include <unistd.h>

#include <gtest/gtest.h>

#include "batch_cases.h"
#include "test_support.h"

namespace {

// Small sizes make every header field, sign and token straddle refills.
const std::size_t buffer_sizes[] = {1, 2, 3, 4, 5, 7, 8, 13, 64, 4096, batch_options{}.input_buffer_size};

const kernel_tier tiers[] = {kernel_tier::scalar, kernel_tier::sse2, kernel_tier::avx2, kernel_tier::avx512};

using batch_row = std::tuple<std::size_t, std::size_t, kernel_tier>;

class batch_table : public testing::TestWithParam<batch_row> {};

TEST_P(batch_table, same_output_at_every_buffer_size_and_tier) {
    const batch_case& c = batch_cases()[std::get<0>(GetParam())];
    batch_options options;
    options.input_buffer_size = std::get<1>(GetParam());
    options.kernels = kernels_for(std::get<2>(GetParam()));
    if (options.kernels == nullptr)
        GTEST_SKIP() << "this CPU lacks " << tier_name(std::get<2>(GetParam())) << "; tier not tested";
    batch_run run = run_on_bytes(c.input, options);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.result.count_out_of_range, c.refused);
    EXPECT_EQ(run.result.input_error, 0);
    EXPECT_EQ(run.result.output_error, 0);
}

INSTANTIATE_TEST_SUITE_P(
    cases, batch_table,
    testing::Combine(testing::Range<std::size_t>(0, batch_cases().size()), testing::ValuesIn(buffer_sizes),
                     testing::ValuesIn(tiers)),
    [](const testing::TestParamInfo<batch_row>& row) {
        return batch_cases()[std::get<0>(row.param)].name + "_buffer_" + std::to_string(std::get<1>(row.param)) +
               "_" + tier_name(std::get<2>(row.param));
    });

// A small output buffer is flushed many times; the lines must come out
// whole and in order.
TEST(batch, small_output_buffer_keeps_every_line) {
    std::string input = "300 1";
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        input += i % 3 == 0 ? " 1123" : i % 3 == 1 ? " 12" : " 9990011";
        expected += i % 3 == 0 ? "3 2 1\n1\n" : i % 3 == 1 ? "-1\n" : "3 3 2\n1\n";
    }
    batch_options options;
    options.input_buffer_size = 5;
    options.output_buffer_size = 1;  // raised to the longest block
    EXPECT_EQ(run_on_bytes(input, options).output, expected);
}

// Reading stops after the n-th token: one buffer read, not the rest.
TEST(batch, stops_reading_after_the_last_token) {
    scratch_dir dir;
    std::string input = "1 0 123 " + std::string(1 << 20, '7');
    write_file(dir.file("in"), input);
    int in = ::open(dir.file("in").c_str(), O_RDONLY);
    int out = ::open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    batch_options options;
    options.input_buffer_size = 4096;
    batch_result result = run_batch(in, out, options);
    EXPECT_EQ(::lseek(in, 0, SEEK_CUR), 4096);
    ::close(in);
    ::close(out);
    EXPECT_EQ(result.input_error, 0);
    EXPECT_EQ(read_file(dir.file("out")), "3 1 1\n1\n");
}

TEST(batch, read_error_is_reported_and_nothing_is_invented) {
    scratch_dir dir;
    int in = ::open(dir.path.c_str(), O_RDONLY);  // reading a directory fails
    int out = ::open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    batch_result result = run_batch(in, out);
    ::close(in);
    ::close(out);
    EXPECT_EQ(result.input_error, EISDIR);
    EXPECT_EQ(result.output_error, 0);
    EXPECT_EQ(read_file(dir.file("out")), "");
}

// A full disk is reported; with a count that has no end in sight the batch
// must stop rather than go on filling a buffer it can never write.
TEST(batch, write_error_is_reported_and_stops_the_batch) {
    for (const char* input : {"3 0 123 456 789", "9223372036854775807 0 123"}) {
        scratch_dir dir;
        write_file(dir.file("in"), input);
        int in = ::open(dir.file("in").c_str(), O_RDONLY);
        int out = ::open("/dev/full", O_WRONLY);
        ASSERT_GE(out, 0);
        batch_result result = run_batch(in, out);
        ::close(in);
        ::close(out);
        EXPECT_EQ(result.output_error, ENOSPC) << input;
        EXPECT_EQ(result.input_error, 0) << input;
    }
}

}  // namespace
