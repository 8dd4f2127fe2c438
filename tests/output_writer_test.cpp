#include "output_writer.h"

#include <cstdint>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// Whatever has reached the file always ends at a line boundary, however
// the blocks fall against the buffer's size.
TEST(output_writer, file_only_ever_holds_whole_lines) {
    scratch_dir dir;
    std::string path = dir.file("out");
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    output_writer w;
    init_writer(w, ::fileno(f), 100);

    verdict wide;
    wide.accepted = true;
    wide.profile.distinct = 3;
    wide.profile.max_count = INT64_MAX;
    wide.profile.min_count = 1234567890123456789;
    verdict reject;
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        if (i % 3 == 0) {
            write_verdict(w, wide);
            expected += "3 9223372036854775807 1234567890123456789\n1\n";
        } else {
            write_verdict(w, reject);
            expected += "-1\n";
        }
        std::string now = read_file(path);
        ASSERT_TRUE(now.empty() || now.back() == '\n') << "after block " << i;
        ASSERT_EQ(now, expected.substr(0, now.size()));
    }
    write_rejects(w, 1000);
    for (int i = 0; i < 1000; ++i) expected += "-1\n";
    EXPECT_TRUE(flush_output(w));
    EXPECT_EQ(read_file(path), expected);
    std::fclose(f);
}

TEST(output_writer, later_writes_stop_after_a_failure) {
    output_writer w;
    init_writer(w, -1, 64);  // a bad descriptor: the first write fails
    write_rejects(w, 1000);
    EXPECT_EQ(w.error, EBADF);
    EXPECT_FALSE(flush_output(w));
}

}  // namespace
