// Helpers shared by the tests: scratch folders, whole files, running the
// batch in-process and running the built program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "batch.h"
#include "kernels.h"

// A fresh folder under the system's temporary directory, removed with its
// contents when the object goes.
struct scratch_dir {
    std::string path;
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    std::string file(std::string_view name) const { return path + "/" + std::string(name); }
};

void write_file(const std::string& path, std::string_view content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// Runs the in-process batch on input bytes held in an unlinked temporary
// file; the output goes to another and is read back.
struct batch_run {
    batch_result result;
    std::string output;
};
batch_run run_on_bytes(std::string_view input, const batch_options& options = {});

// Runs the built program in dir, standard error captured.
struct program_run {
    int status = -1;  // exit status, or 128 + signal
    std::string error_text;
};
struct program_setup {
    std::vector<int> closed_fds;  // descriptors closed before the program starts
};
program_run run_program(const scratch_dir& dir, const program_setup& setup = {});
int start_program(const scratch_dir& dir);  // returns the pid; stderr to dir/stderr.txt
int wait_program(int pid);                  // exit status, or 128 + signal

// A test run once per kernel tier; a tier this CPU lacks is skipped with a
// message, never passed silently.
class tier_fixture : public testing::TestWithParam<kernel_tier> {
protected:
    const token_kernels* tier = nullptr;
    void SetUp() override {
        tier = kernels_for(GetParam());
        if (tier == nullptr) GTEST_SKIP() << "this CPU lacks " << tier_name(GetParam()) << "; tier not tested";
    }
};

inline std::string tier_row_name(const testing::TestParamInfo<kernel_tier>& row) { return tier_name(row.param); }
