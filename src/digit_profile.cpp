#include "digit_profile.h"

namespace {

// Index 0-9 for the digits, 10 for every other byte.
constexpr std::array<unsigned char, 256> make_tally_index() {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = (b >= '0' && b <= '9') ? static_cast<unsigned char>(b - '0') : 10;
    return t;
}
constexpr std::array<unsigned char, 256> tally_index = make_tally_index();

}  // namespace

void tally_bytes(digit_profile& p, const unsigned char* data, std::size_t size) {
    if (size < 64) {
        for (std::size_t i = 0; i < size; ++i) {
            unsigned char d = tally_index[data[i]];
            if (d < 10)
                ++p.digit_count[d];
            else
                ++p.other_count;
        }
        return;
    }
    // Four tables, used in turn, so that a run of one digit does not make
    // every increment wait on the one before it.
    std::int64_t lanes[4][11] = {};
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        ++lanes[0][tally_index[data[i]]];
        ++lanes[1][tally_index[data[i + 1]]];
        ++lanes[2][tally_index[data[i + 2]]];
        ++lanes[3][tally_index[data[i + 3]]];
    }
    for (; i < size; ++i)
        ++lanes[0][tally_index[data[i]]];
    for (int d = 0; d < 10; ++d)
        p.digit_count[d] += lanes[0][d] + lanes[1][d] + lanes[2][d] + lanes[3][d];
    p.other_count += lanes[0][10] + lanes[1][10] + lanes[2][10] + lanes[3][10];
}

verdict judge_profile(const digit_profile& tallied, std::int64_t k) {
    verdict v;
    v.profile = tallied;
    scan_counts(v.profile);
    v.accepted = accept_profile(v.profile, k);
    return v;
}

digit_profile profile_digits(std::string_view token) {
    digit_profile p;
    tally_bytes(p, reinterpret_cast<const unsigned char*>(token.data()), token.size());
    scan_counts(p);
    return p;
}

verdict classify_token(std::string_view token, std::int64_t k) {
    verdict v;
    v.profile = profile_digits(token);
    v.accepted = accept_profile(v.profile, k);
    return v;
}
