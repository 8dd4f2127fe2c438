#include "batch_cases.h"

using namespace std::string_literals;

namespace {

std::string repeat(const std::string& s, std::size_t times) {
    std::string out;
    out.reserve(s.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += s;
    return out;
}

std::vector<batch_case> make_cases() {
    return {
        // The basic contract.
        {"one_accepted", "1 0\n112233\n", "3 2 2\n1\n"},
        {"one_rejected", "1 0\n1123\n", "-1\n"},
        {"zero_count", "0 5", ""},
        {"empty_file", "", ""},
        {"accepted_then_rejected", "2 0\n123\n11\n", "3 1 1\n1\n-1\n"},
        {"fewer_tokens_than_n", "3 0\n123\n", "3 1 1\n1\n-1\n-1\n"},
        {"tokens_after_nth_ignored", "1 0\n123\n45\n", "3 1 1\n1\n"},
        {"several_per_line", "4 1\n123 1123\n1212 123456\n", "3 1 1\n1\n3 2 1\n1\n-1\n6 1 1\n1\n"},
        {"one_per_line", "4\n1\n123\n1123\n1212\n123456\n", "3 1 1\n1\n3 2 1\n1\n-1\n6 1 1\n1\n"},
        {"negative_k", "2 -1\n123 112233\n", "-1\n-1\n"},
        {"six_whitespace_bytes", "3\t0\v123\f456\r\n789 ", "3 1 1\n1\n3 1 1\n1\n3 1 1\n1\n"},
        {"crlf_lines", "2 0\r\n123\r\n1123\r\n", "3 1 1\n1\n-1\n"},
        {"no_final_newline", "1 0 123", "3 1 1\n1\n"},

        // Header numbers end at the first byte that cannot continue them.
        {"minus_starts_k", "3-5 123 456 789", "-1\n-1\n-1\n"},
        {"plus_starts_k", "2+0 123 456", "3 1 1\n1\n3 1 1\n1\n"},
        {"hex_prefix_is_n_zero", "0x10 123", ""},
        {"exponent_fails_k", "1e5 123", "-1\n"},
        {"letters_fail_k", "5abc 123", "-1\n-1\n-1\n-1\n-1\n"},
        {"missing_k", "2", "-1\n-1\n"},
        {"plus_sign_on_n", "+1 +0 123", "3 1 1\n1\n"},
        {"minus_zero_n", "-0 5 123", ""},
        {"sign_without_digits", "- 5 123", ""},
        {"lone_plus", "+", ""},
        {"sign_then_letter_k", "1 -x 123", "-1\n"},
        {"leading_zeros_n", repeat("0", 5000) + "1 0 123", "3 1 1\n1\n"},
        {"leading_zeros_k", "1 -" + repeat("0", 5000) + "0 123", "3 1 1\n1\n"},
        {"nul_is_not_whitespace", "1 0\0 123"s, "-1\n"},
        {"nul_before_n", "\0 1 0 123"s, ""},

        // 64-bit limits of the header.
        {"k_int64_max", "1 9223372036854775807 1112345", "5 3 1\n1\n"},
        {"k_int64_min", "1 -9223372036854775808 123", "-1\n"},
        {"k_above_int64", "2 9223372036854775808 123 456", "-1\n-1\n"},
        {"k_below_int64", "2 -9223372036854775809 123 456", "-1\n-1\n"},
        {"k_far_too_long", "1 " + repeat("9", 400) + " 123", "-1\n"},
        {"n_negative", "-1 0 123", "", true},
        {"n_int64_min", "-9223372036854775808 0", "", true},
        {"n_above_int64", "9223372036854775808 0 123", "", true},

        // Token contents.
        {"non_digit_token_rejected_batch_goes_on", "3 5 12a3 -123 123", "-1\n-1\n3 1 1\n1\n"},
        {"nul_inside_token", "2 5 12\0"s "3 123", "-1\n3 1 1\n1\n"},
        {"long_token", "2 0 " + repeat("123", 50000) + " 1212", "3 50000 50000\n1\n-1\n"},
        {"long_token_at_end", "1 7001 " + repeat("9990011", 7001), "3 21003 14002\n1\n"},
    };
}

}  // namespace

const std::vector<batch_case>& batch_cases() {
    static const std::vector<batch_case> cases = make_cases();
    return cases;
}
