// Writes the benchmark inputs, the same bytes on every run and machine.
//
//   pelorand_gen <shape> <file>
//
// and prints what the file should give: the token count, how many of the
// tokens are accepted, and the size. Shapes:
//   short-mixed    2,000,000 tokens of 3-20 digits, k = 2, about a third accepted
//   all-accepted   2,000,000 tokens of 3-20 digits, 3-6 different digits, even counts
//   all-rejected   2,000,000 tokens of 10-20 digits, 7 or more different digits
//   mib-tokens     256 tokens of 1 MiB each
//   gib-token      one token of 1 GiB
//   no-tokens      n = 50,000,000 and nothing after the header
//   first-of-many  n = 1, then 256 MiB of further tokens
//   soak           about 10 GB: 700,000,000 short tokens and a 1 MiB one
//                  every 500,000 (for bench/soak.py; the file may be a FIFO)
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace {

struct rng {
    std::uint64_t state;
    std::uint64_t next() {  // splitmix64
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }
};

struct sink {
    std::FILE* file;
    std::string buffer;
    std::uint64_t bytes = 0;
    void put(std::string_view s) {
        buffer += s;
        if (buffer.size() >= (1u << 20)) drain();
    }
    void put(char c) {
        buffer += c;
        if (buffer.size() >= (1u << 20)) drain();
    }
    void drain() {
        if (std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
            std::perror("pelorand_gen: write");
            std::exit(1);
        }
        bytes += buffer.size();
        buffer.clear();
    }
};

// Counts of one token as it is written, and the rule applied to them.
struct tally {
    std::array<std::int64_t, 10> count{};
    void add(char c) { ++count[static_cast<unsigned>(c - '0')]; }
    bool accepted(std::int64_t k) const {
        std::int64_t used = 0, low = INT64_MAX, high = 0;
        for (std::int64_t c : count) {
            if (c == 0) continue;
            ++used;
            low = std::min(low, c);
            high = std::max(high, c);
        }
        return used >= 3 && used <= 6 && high - low <= k;
    }
};

// A token of len digits drawn from the first `kinds` digits of a shuffled
// 0-9; even: each digit in turn, so the counts differ by at most one.
tally put_token(sink& out, rng& r, std::uint64_t len, int kinds, bool even) {
    char digits[10];
    for (int d = 0; d < 10; ++d) digits[d] = static_cast<char>('0' + d);
    for (int d = 9; d > 0; --d) std::swap(digits[d], digits[r.below(static_cast<std::uint64_t>(d) + 1)]);
    tally t;
    std::string piece;
    for (std::uint64_t i = 0; i < len; ++i) {
        char c = digits[even ? i % static_cast<std::uint64_t>(kinds) : r.below(static_cast<std::uint64_t>(kinds))];
        t.add(c);
        piece += c;
        if (piece.size() == (1u << 16)) {
            out.put(piece);
            piece.clear();
        }
    }
    out.put(piece);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pelorand_gen <shape> <file>\n");
        return 2;
    }
    std::string_view shape = argv[1];
    sink out{std::fopen(argv[2], "wb"), {}};
    if (out.file == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    rng r{42};
    std::uint64_t tokens = 0, accepted = 0;
    auto header = [&](std::uint64_t n, std::int64_t k) {
        tokens = n;
        out.put(std::to_string(n) + " " + std::to_string(k) + "\n");
    };
    if (shape == "short-mixed" || shape == "all-accepted" || shape == "all-rejected") {
        const std::int64_t k = 2;
        header(2000000, k);
        for (std::uint64_t i = 0; i < tokens; ++i) {
            tally t;
            if (shape == "short-mixed")
                t = put_token(out, r, 3 + r.below(18), 2 + static_cast<int>(r.below(7)), r.below(2) == 0);
            else if (shape == "all-accepted")
                t = put_token(out, r, 3 + r.below(18), 3 + static_cast<int>(r.below(4)), true);
            else
                t = put_token(out, r, 10 + r.below(11), 7 + static_cast<int>(r.below(4)), true);
            accepted += t.accepted(k);
            out.put('\n');
        }
    } else if (shape == "mib-tokens") {
        const std::int64_t k = 1 << 20;
        header(256, k);
        for (std::uint64_t i = 0; i < tokens; ++i) {
            accepted += put_token(out, r, 1 << 20, 3 + static_cast<int>(r.below(8)), false).accepted(k);
            out.put('\n');
        }
    } else if (shape == "gib-token") {
        const std::int64_t k = 0;
        header(1, k);
        accepted += put_token(out, r, std::uint64_t{1} << 30, 4, true).accepted(k);
        out.put('\n');
    } else if (shape == "no-tokens") {
        header(50000000, 0);
    } else if (shape == "first-of-many") {
        header(1, 0);
        accepted += put_token(out, r, 12, 3, true).accepted(0);
        out.put('\n');
        while (out.bytes + out.buffer.size() < (std::uint64_t{256} << 20)) {
            put_token(out, r, 3 + r.below(18), 2 + static_cast<int>(r.below(7)), false);
            out.put('\n');
        }
    } else if (shape == "soak") {
        const std::int64_t k = 3;
        header(700000000, k);
        for (std::uint64_t i = 0; i < tokens; ++i) {
            bool even = r.below(2) == 0;
            tally t = i % 500000 == 499999
                          ? put_token(out, r, 1 << 20, 3 + static_cast<int>(r.below(4)), even)
                          : put_token(out, r, 3 + r.below(18), 2 + static_cast<int>(r.below(7)), even);
            accepted += t.accepted(k);
            out.put(i % 16 == 15 ? '\n' : ' ');
        }
    } else {
        std::fprintf(stderr, "pelorand_gen: unknown shape %s\n", argv[1]);
        return 2;
    }
    out.drain();
    if (std::fclose(out.file) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("tokens %llu accepted %llu bytes %llu\n", static_cast<unsigned long long>(tokens),
                static_cast<unsigned long long>(accepted), static_cast<unsigned long long>(out.bytes));
    return 0;
}
