// The built program, run in a scratch folder as a user would run it.
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "batch_cases.h"
#include "test_support.h"

namespace {

class cli_table : public testing::TestWithParam<std::size_t> {};

TEST_P(cli_table, output_status_and_stderr) {
    const batch_case& c = batch_cases()[GetParam()];
    scratch_dir dir;
    write_file(dir.file("pelorand.inp"), c.input);
    program_run run = run_program(dir);
    EXPECT_EQ(read_file(dir.file("pelorand.out")), c.output);
    if (c.refused) {
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.error_text, "pelorand: pelorand.inp: token count out of range\n");
    } else {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error_text, "");
    }
}

INSTANTIATE_TEST_SUITE_P(cases, cli_table, testing::Range<std::size_t>(0, batch_cases().size()),
                         [](const testing::TestParamInfo<std::size_t>& row) {
                             return batch_cases()[row.param].name;
                         });

TEST(cli, stale_output_is_emptied) {
    scratch_dir dir;
    write_file(dir.file("pelorand.inp"), "0 0");
    write_file(dir.file("pelorand.out"), "3 1 1\n1\nold results\n");
    program_run run = run_program(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(read_file(dir.file("pelorand.out")), "");
}

TEST(cli, arguments_are_ignored) {
    scratch_dir dir;
    write_file(dir.file("pelorand.inp"), "1 0 123");
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::chdir(dir.path.c_str()) != 0) ::_exit(126);
        ::execl(PELORAND_BINARY, "pelorand", "--help", "other.inp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    EXPECT_EQ(wait_program(pid), 0);
    EXPECT_EQ(read_file(dir.file("pelorand.out")), "3 1 1\n1\n");
}

// Failures: each one line on standard error naming the file, exit status 1.
TEST(cli_faults, missing_input) {
    scratch_dir dir;
    program_run run = run_program(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error_text, "pelorand: pelorand.inp: No such file or directory\n");
    ASSERT_TRUE(file_exists(dir.file("pelorand.out")));  // still created
    EXPECT_EQ(read_file(dir.file("pelorand.out")), "");
}

TEST(cli_faults, input_is_a_directory) {
    scratch_dir dir;
    ASSERT_EQ(::mkdir(dir.file("pelorand.inp").c_str(), 0755), 0);
    program_run run = run_program(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error_text, "pelorand: pelorand.inp: Is a directory\n");
    EXPECT_EQ(read_file(dir.file("pelorand.out")), "");
}

TEST(cli_faults, output_is_a_directory) {
    scratch_dir dir;
    write_file(dir.file("pelorand.inp"), "1 0 123");
    ASSERT_EQ(::mkdir(dir.file("pelorand.out").c_str(), 0755), 0);
    program_run run = run_program(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error_text, "pelorand: pelorand.out: Is a directory\n");
}

TEST(cli_faults, missing_input_and_unwritable_output_each_get_a_line) {
    scratch_dir dir;
    ASSERT_EQ(::mkdir(dir.file("pelorand.out").c_str(), 0755), 0);
    program_run run = run_program(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error_text,
              "pelorand: pelorand.inp: No such file or directory\n"
              "pelorand: pelorand.out: Is a directory\n");
}

TEST(cli_faults, output_on_a_full_disk) {
    scratch_dir dir;
    write_file(dir.file("pelorand.inp"), "3 0 123 456 789");
    ASSERT_EQ(::symlink("/dev/full", dir.file("pelorand.out").c_str()), 0);
    program_run run = run_program(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error_text, "pelorand: pelorand.out: No space left on device\n");
}

// The output is created with mode 0666 less the umask.
TEST(cli, output_mode_follows_the_umask) {
    scratch_dir dir;
    write_file(dir.file("pelorand.inp"), "0 0");
    mode_t old = ::umask(027);
    program_run run = run_program(dir);
    ::umask(old);
    EXPECT_EQ(run.status, 0);
    struct stat st;
    ASSERT_EQ(::stat(dir.file("pelorand.out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Started with a standard descriptor closed, the data files still land on
// descriptors 0 and 1, and no message lands in a data file.
struct closed_fd_case {
    const char* name;
    std::vector<int> closed;
    const char* input;  // nullptr: no input file
    int status;
    const char* output;
};

class cli_closed_fds : public testing::TestWithParam<closed_fd_case> {};

TEST_P(cli_closed_fds, files_and_messages_stay_apart) {
    const closed_fd_case& c = GetParam();
    scratch_dir dir;
    if (c.input != nullptr) write_file(dir.file("pelorand.inp"), c.input);
    program_setup setup;
    setup.closed_fds = c.closed;
    program_run run = run_program(dir, setup);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(read_file(dir.file("pelorand.out")), c.output);
    if (c.input != nullptr) {
        EXPECT_EQ(read_file(dir.file("pelorand.inp")), c.input);
    }
}

const closed_fd_case closed_fd_cases[] = {
    {"stdin_closed", {0}, "2 0 123 11", 0, "3 1 1\n1\n-1\n"},
    {"stdout_closed", {1}, "2 0 123 11", 0, "3 1 1\n1\n-1\n"},
    {"stderr_closed", {2}, "2 0 123 11", 0, "3 1 1\n1\n-1\n"},
    {"all_closed", {0, 1, 2}, "2 0 123 11", 0, "3 1 1\n1\n-1\n"},
    {"stderr_closed_input_missing", {2}, nullptr, 1, ""},
    {"stderr_closed_count_refused", {2}, "-5 0 123", 1, ""},
    {"all_closed_input_missing", {0, 1, 2}, nullptr, 1, ""},
};

INSTANTIATE_TEST_SUITE_P(cases, cli_closed_fds, testing::ValuesIn(closed_fd_cases),
                         [](const testing::TestParamInfo<closed_fd_case>& row) { return row.param.name; });

// A slow writer on a FIFO: the lines for tokens already read are in the
// output while the program waits for more input.
TEST(cli_faults, fifo_with_a_slow_writer_sees_finished_lines) {
    scratch_dir dir;
    ASSERT_EQ(::mkfifo(dir.file("pelorand.inp").c_str(), 0600), 0);
    int pid = start_program(dir);
    int fifo = ::open(dir.file("pelorand.inp").c_str(), O_WRONLY);  // waits for the program
    ASSERT_GE(fifo, 0);
    const std::string first = "3 0\n123 112233 ";
    ASSERT_EQ(::write(fifo, first.data(), first.size()), static_cast<ssize_t>(first.size()));

    const std::string expected_early = "3 1 1\n1\n3 2 2\n1\n";
    std::string seen;
    for (int tries = 0; tries < 1000 && seen != expected_early; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen = read_file(dir.file("pelorand.out"));
    }
    EXPECT_EQ(seen, expected_early);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the program should still be waiting for input";

    const std::string rest = "1212\n";
    ASSERT_EQ(::write(fifo, rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
    ::close(fifo);
    EXPECT_EQ(wait_program(pid), 0);
    EXPECT_EQ(read_file(dir.file("pelorand.out")), expected_early + "-1\n");
    EXPECT_EQ(read_file(dir.file("stderr.txt")), "");
}

}  // namespace
