// Every vector tier against the scalar one, on the same bytes: the run
// tally, the per-token loop, and the whole batch at buffer sizes that make
// tokens straddle refills. A tier this CPU lacks is skipped with a message.
#include "kernels.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "batch.h"
#include "test_support.h"

namespace {

const kernel_tier vector_tiers[] = {kernel_tier::sse2, kernel_tier::avx2, kernel_tier::avx512};

const char space_chars[] = {' ', '\t', '\n', '\v', '\f', '\r'};

// Bytes with the slack the kernels may read past the end. The slack holds
// digits, so a kernel that counts past the end is caught.
std::vector<unsigned char> padded(const std::string& s) {
    std::vector<unsigned char> bytes(s.begin(), s.end());
    bytes.resize(s.size() + kernel_padding, '7');
    return bytes;
}

std::string profile_text(const digit_profile& p) {
    std::string s;
    for (std::int64_t c : p.digit_count) s += std::to_string(c) + ",";
    return s + "other " + std::to_string(p.other_count);
}

// A token's bytes: mostly digits from a few kinds, so that many tokens are
// accepted, sometimes a byte that is neither a digit nor whitespace.
std::string random_token(std::mt19937_64& rng, std::size_t len) {
    static const unsigned char others[] = {'a', '+', '-', '/', ':', 0x00, 0x7F, 0x80, 0xA0, 0xFF, 0x1F, 0x08, 0x0E};
    int kinds = 1 + static_cast<int>(rng() % 8);
    int first = static_cast<int>(rng() % 10);
    bool dirty = rng() % 6 == 0;
    std::string t;
    for (std::size_t i = 0; i < len; ++i) {
        if (dirty && rng() % 16 == 0)
            t += static_cast<char>(others[rng() % sizeof others]);
        else
            t += static_cast<char>('0' + (first + static_cast<int>(rng() % kinds)) % 10);
    }
    return t;
}

std::string random_space(std::mt19937_64& rng) {
    std::string s;
    std::size_t n = 1 + (rng() % 4 == 0 ? rng() % 40 : 0);
    for (std::size_t i = 0; i < n; ++i) s += space_chars[rng() % 6];
    return s;
}

// Tokens of every length class: short ones around the window sizes, and
// now and then a long one past the nibble and byte counter limits.
std::size_t random_length(std::mt19937_64& rng) {
    switch (rng() % 10) {
    case 0: return 1 + rng() % 300;
    case 1: return rng() % 4 == 0 ? 1 + rng() % 20000 : 60 + rng() % 10;
    default: return 1 + rng() % 34;
    }
}

class tier_test : public tier_fixture {};

// One run: its length and tally must match the scalar tier's.
void expect_same_run(const token_kernels& tier, const std::string& bytes, std::size_t from, const std::string& what) {
    std::vector<unsigned char> data = padded(bytes);
    digit_profile want, got;
    // Start from non-zero counters: the kernels add to what is there.
    want.digit_count[3] = got.digit_count[3] = 5;
    want.other_count = got.other_count = 2;
    std::size_t want_len = scalar_kernels.tally_run(want, data.data() + from, bytes.size() - from);
    std::size_t got_len = tier.tally_run(got, data.data() + from, bytes.size() - from);
    ASSERT_EQ(got_len, want_len) << what;
    ASSERT_EQ(profile_text(got), profile_text(want)) << what;
}

TEST_P(tier_test, run_ends_at_every_position_and_every_whitespace_byte) {
    std::mt19937_64 rng(1);
    for (std::size_t len = 0; len <= 200; ++len) {
        std::string token = random_token(rng, len);
        for (char space : space_chars)
            expect_same_run(*tier, token + space + "123", 0, "length " + std::to_string(len));
        // No whitespace: the run goes to the end of the data.
        expect_same_run(*tier, token, 0, "unended, length " + std::to_string(len));
    }
}

TEST_P(tier_test, run_at_every_alignment) {
    std::mt19937_64 rng(2);
    std::string bytes = std::string(64, ' ') + random_token(rng, 1000) + " 42";
    for (std::size_t from = 0; from < 64; ++from)
        expect_same_run(*tier, bytes, from, "from " + std::to_string(from));
}

// One digit in every byte: each lane's counters grow as fast as they can,
// past every limit at which they are widened.
TEST_P(tier_test, long_runs_of_one_digit_do_not_overflow_the_counters) {
    for (std::size_t len : {480u, 481u, 959u, 960u, 961u, 8159u, 8160u, 8161u, 16319u, 16320u, 16321u, 70000u}) {
        for (char digit : {'0', '9'}) {
            std::string run(len, digit);
            expect_same_run(*tier, run + "\n", 0, "length " + std::to_string(len));
            digit_profile p;
            std::vector<unsigned char> data = padded(run);
            ASSERT_EQ(tier->tally_run(p, data.data(), len), len);
            EXPECT_EQ(p.digit_count[digit - '0'], static_cast<std::int64_t>(len));
        }
    }
}

TEST_P(tier_test, long_random_runs) {
    std::mt19937_64 rng(3);
    for (std::size_t len : {1000u, 4097u, 65536u, 300001u})
        expect_same_run(*tier, random_token(rng, len) + "\r", 0, "length " + std::to_string(len));
}

// The per-token loop over one buffer: the same blocks, the same bytes
// consumed and tokens done, the same open token, for any limit.
struct chunk_outcome {
    std::string output;
    chunk_progress progress;
    std::string open;
};

chunk_outcome run_chunk(const token_kernels& kernels, const std::string& bytes, std::int64_t k, std::uint64_t limit) {
    std::vector<unsigned char> data = padded(bytes);
    output_writer w;
    init_writer(w, -1, 64 * bytes.size() + 128);  // never flushed
    digit_profile open;
    chunk_outcome out;
    out.progress = kernels.classify_chunk(data.data(), bytes.size(), k, limit, w, open);
    out.output.assign(w.buffer.data(), w.used);
    if (out.progress.open) out.open = profile_text(open);
    return out;
}

void expect_same_chunk(const token_kernels& tier, const std::string& bytes, std::int64_t k, std::uint64_t limit,
                       const std::string& what) {
    chunk_outcome want = run_chunk(scalar_kernels, bytes, k, limit);
    chunk_outcome got = run_chunk(tier, bytes, k, limit);
    ASSERT_EQ(got.output, want.output) << what;
    ASSERT_EQ(got.progress.consumed, want.progress.consumed) << what;
    ASSERT_EQ(got.progress.tokens, want.progress.tokens) << what;
    ASSERT_EQ(got.progress.open, want.progress.open) << what;
    ASSERT_EQ(got.open, want.open) << what;
}

// A token at every start and every end position inside the windows, both
// ended by whitespace and running up to the end of the data.
TEST_P(tier_test, token_at_every_position_of_the_window) {
    std::mt19937_64 rng(4);
    for (std::size_t start = 0; start <= 65; ++start)
        for (std::size_t len = 1; len <= 70; ++len) {
            std::string lead(start, ' ');
            std::string token = random_token(rng, len);
            std::string what = "start " + std::to_string(start) + " length " + std::to_string(len);
            expect_same_chunk(*tier, lead + token + "\n", 1, UINT64_MAX, what);
            expect_same_chunk(*tier, lead + token, 1, UINT64_MAX, what + ", open");
            expect_same_chunk(*tier, lead + token + "\t12\n" + token + " ", 0, UINT64_MAX, what + ", three");
        }
}

TEST_P(tier_test, random_buffers_of_tokens) {
    std::mt19937_64 rng(5);
    const std::int64_t ks[] = {INT64_MIN, -1, 0, 1, 2, 7, INT64_MAX};
    for (int round = 0; round < 300; ++round) {
        std::string bytes = rng() % 2 == 0 ? "" : random_space(rng);
        std::size_t tokens = 1 + rng() % 60;
        for (std::size_t t = 0; t < tokens; ++t) {
            bytes += random_token(rng, random_length(rng));
            if (t + 1 < tokens || rng() % 2 == 0) bytes += random_space(rng);
        }
        std::int64_t k = ks[rng() % 7];
        std::string what = "round " + std::to_string(round);
        expect_same_chunk(*tier, bytes, k, UINT64_MAX, what);
        expect_same_chunk(*tier, bytes, k, rng() % (tokens + 1), what + ", limited");
    }
}

TEST_P(tier_test, whitespace_only_and_empty_buffers) {
    for (std::size_t len : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 200u})
        for (char space : space_chars)
            expect_same_chunk(*tier, std::string(len, space), 0, UINT64_MAX, "length " + std::to_string(len));
}

// The whole batch, in-process, on random files at buffer sizes that cut
// tokens and header fields at every kind of place: the same bytes as the
// scalar tier with the default buffer.
TEST_P(tier_test, batch_matches_scalar_at_small_buffer_sizes) {
    std::mt19937_64 rng(6);
    for (int round = 0; round < 40; ++round) {
        std::size_t tokens = rng() % 50;
        std::string input = std::to_string(tokens + rng() % 3) + random_space(rng) + std::to_string(rng() % 4) +
                            random_space(rng);
        for (std::size_t t = 0; t < tokens; ++t) input += random_token(rng, random_length(rng)) + random_space(rng);
        batch_options scalar;
        scalar.kernels = &scalar_kernels;
        std::string want = run_on_bytes(input, scalar).output;
        for (std::size_t size : {1u, 2u, 3u, 5u, 7u, 13u, 31u, 32u, 33u, 64u, 100u, 4096u}) {
            batch_options options;
            options.kernels = tier;
            options.input_buffer_size = size;
            batch_run run = run_on_bytes(input, options);
            ASSERT_EQ(run.output, want) << "round " << round << " buffer " << size;
            ASSERT_EQ(run.result.input_error, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(tiers, tier_test, testing::ValuesIn(vector_tiers), tier_row_name);

TEST(kernel_dispatch, scalar_is_always_there_and_the_choice_is_the_best_the_cpu_runs) {
    ASSERT_NE(kernels_for(kernel_tier::scalar), nullptr);
    const token_kernels* best = &scalar_kernels;
    for (kernel_tier tier : {kernel_tier::sse2, kernel_tier::avx2, kernel_tier::avx512})
        if (const token_kernels* k = kernels_for(tier)) best = k;
    EXPECT_EQ(&select_kernels(), best) << "chose " << select_kernels().name;
    EXPECT_EQ(select_kernels().tier, best->tier);
#if defined(__x86_64__)
    EXPECT_NE(kernels_for(kernel_tier::sse2), nullptr) << "every x86-64 CPU has SSE2";
#endif
}

}  // namespace
