// The digit classifier: the digit profile of one token and the acceptance
// rule. Pure computation, no input or output, no state between calls.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// How often each digit occurs in a token, and the figures read off that table.
struct digit_profile {
    std::array<std::int64_t, 10> digit_count{};  // indexed by digit value
    std::int64_t other_count = 0;   // bytes that are not '0'-'9'
    std::int64_t distinct = 0;      // digits whose counter is not zero
    std::int64_t max_count = INT64_MIN;  // largest non-zero counter
    std::int64_t min_count = INT64_MAX;  // smallest non-zero counter
};

struct verdict {
    bool accepted = false;
    digit_profile profile;
};

// Tally: adds the bytes of one piece of a token to the counters. A token may
// be tallied piece by piece, in order; the result is the same as in one go.
void tally_bytes(digit_profile& p, const unsigned char* data, std::size_t size);

// Scan: fills distinct, max_count and min_count from the finished counters.
// Zero counters are skipped: they count neither towards distinct nor
// towards the extremes. Inline, as it runs once per token in the scalar
// tier, and without branches, since which digits a token uses is as good
// as random to the branch predictor.
inline void scan_counts(digit_profile& p) {
    p.distinct = 0;
    p.min_count = INT64_MAX;
    p.max_count = INT64_MIN;
    for (std::int64_t c : p.digit_count) {
        bool used = c != 0;
        p.distinct += used;
        p.min_count = std::min(p.min_count, used ? c : INT64_MAX);
        p.max_count = std::max(p.max_count, used ? c : INT64_MIN);
    }
}

// The acceptance rule on the figures of a token: no byte other than a
// digit, 3 to 6 different digits, and a spread of at most k. Without
// branches: the spread is taken modulo 2^64, which is exact whenever the
// other tests pass (then 1 <= min_count <= max_count) and cannot overflow
// when they do not.
inline bool accept_figures(std::int64_t other_count, std::int64_t distinct, std::int64_t max_count,
                           std::int64_t min_count, std::int64_t k) {
    auto spread = static_cast<std::int64_t>(static_cast<std::uint64_t>(max_count) - static_cast<std::uint64_t>(min_count));
    int ok = other_count == 0;
    ok &= distinct >= 3;
    ok &= distinct <= 6;
    ok &= spread <= k;
    return ok != 0;
}

inline bool accept_profile(const digit_profile& p, std::int64_t k) {
    return accept_figures(p.other_count, p.distinct, p.max_count, p.min_count, k);
}

// Scan and rule together, for a fully tallied token.
verdict judge_profile(const digit_profile& tallied, std::int64_t k);

// Whole-token forms: tally, then scan (and the rule).
digit_profile profile_digits(std::string_view token);
verdict classify_token(std::string_view token, std::int64_t k);
