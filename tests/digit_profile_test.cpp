#include "digit_profile.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

using namespace std::string_view_literals;

namespace {

struct classify_case {
    const char* name;
    std::string_view token;
    std::int64_t k;
    bool accepted;
    std::int64_t distinct;
    std::int64_t max_count;
    std::int64_t min_count;
};

const classify_case classify_cases[] = {
    {"empty_token", ""sv, 0, false, 0, INT64_MIN, INT64_MAX},
    {"two_digits_any_k", "1212"sv, INT64_MAX, false, 2, 2, 2},
    {"three_distinct_once_each", "123"sv, 0, true, 3, 1, 1},
    {"even_pairs_k0", "112233"sv, 0, true, 3, 2, 2},
    {"spread_one_over_k0", "1123"sv, 0, false, 3, 2, 1},
    {"spread_equal_to_k", "1123"sv, 1, true, 3, 2, 1},
    {"six_distinct_accepted", "123456"sv, 0, true, 6, 1, 1},
    {"seven_distinct_rejected", "1234567"sv, INT64_MAX, false, 7, 1, 1},
    {"ten_distinct_rejected", "0123456789"sv, INT64_MAX, false, 10, 1, 1},
    {"zero_is_a_digit", "000111222"sv, 0, true, 3, 3, 3},
    {"leading_zeros_counted", "0012"sv, 1, true, 3, 2, 1},
    {"order_does_not_matter_a", "9990011"sv, 1, true, 3, 3, 2},
    {"order_does_not_matter_b", "1100999"sv, 1, true, 3, 3, 2},
    {"negative_k_rejects", "123"sv, -1, false, 3, 1, 1},
    {"k_int64_min_rejects", "123"sv, INT64_MIN, false, 3, 1, 1},
    {"k_int64_max_accepts", "1112345"sv, INT64_MAX, true, 5, 3, 1},
    {"single_digit", "7"sv, 0, false, 1, 1, 1},
    {"letter_rejected", "12a3"sv, INT64_MAX, false, 3, 1, 1},
    {"nul_byte_rejected", "12\0"
                          "3"sv,
     INT64_MAX, false, 3, 1, 1},
    {"high_byte_rejected", "123\xff"sv, INT64_MAX, false, 3, 1, 1},
    {"sign_in_token_rejected", "-123"sv, INT64_MAX, false, 3, 1, 1},
};

class classify_table : public testing::TestWithParam<classify_case> {};

TEST_P(classify_table, verdict_and_profile) {
    const classify_case& c = GetParam();
    verdict v = classify_token(c.token, c.k);
    EXPECT_EQ(v.accepted, c.accepted);
    EXPECT_EQ(v.profile.distinct, c.distinct);
    EXPECT_EQ(v.profile.max_count, c.max_count);
    EXPECT_EQ(v.profile.min_count, c.min_count);

    digit_profile p = profile_digits(c.token);
    EXPECT_EQ(p.distinct, c.distinct);
    EXPECT_EQ(p.max_count, c.max_count);
    EXPECT_EQ(p.min_count, c.min_count);
}

INSTANTIATE_TEST_SUITE_P(cases, classify_table, testing::ValuesIn(classify_cases),
                         [](const testing::TestParamInfo<classify_case>& row) { return row.param.name; });

TEST(profile_digits, counts_each_digit_and_other_bytes) {
    digit_profile p = profile_digits("0123456789 9x9"sv);
    for (int d = 0; d < 9; ++d) EXPECT_EQ(p.digit_count[d], 1) << "digit " << d;
    EXPECT_EQ(p.digit_count[9], 3);
    EXPECT_EQ(p.other_count, 2);
}

// Long tokens go through the multi-table tally; every length around its
// block size must give the same counts as a plain count.
TEST(profile_digits, long_tokens_match_a_plain_count) {
    std::string token;
    for (std::size_t len = 0; len < 300; ++len) {
        token.push_back(static_cast<char>(len % 7 == 3 ? 'q' : '0' + (len * len) % 10));
        digit_profile p = profile_digits(token);
        std::int64_t expected[10] = {};
        std::int64_t other = 0;
        for (char ch : token) {
            if (ch >= '0' && ch <= '9')
                ++expected[ch - '0'];
            else
                ++other;
        }
        for (int d = 0; d < 10; ++d) ASSERT_EQ(p.digit_count[d], expected[d]) << "length " << len + 1;
        ASSERT_EQ(p.other_count, other) << "length " << len + 1;
    }
}

// A token tallied in pieces, as it arrives across buffer refills, gives
// the same verdict as the whole token.
TEST(tally_bytes, pieces_add_up_to_the_whole) {
    std::string token;
    for (int i = 0; i < 1000; ++i) token += "1122334"[i % 7];
    verdict whole = classify_token(token, 200);
    for (std::size_t piece : {1u, 3u, 63u, 64u, 65u, 999u}) {
        digit_profile p;
        for (std::size_t at = 0; at < token.size(); at += piece) {
            std::size_t len = std::min(piece, token.size() - at);
            tally_bytes(p, reinterpret_cast<const unsigned char*>(token.data()) + at, len);
        }
        verdict v = judge_profile(p, 200);
        EXPECT_EQ(v.accepted, whole.accepted) << "piece " << piece;
        EXPECT_EQ(v.profile.digit_count, whole.profile.digit_count) << "piece " << piece;
        EXPECT_EQ(v.profile.max_count, whole.profile.max_count) << "piece " << piece;
        EXPECT_EQ(v.profile.min_count, whole.profile.min_count) << "piece " << piece;
    }
    EXPECT_TRUE(whole.accepted);
    EXPECT_EQ(whole.profile.max_count, 286);
    EXPECT_EQ(whole.profile.min_count, 142);
}

}  // namespace
