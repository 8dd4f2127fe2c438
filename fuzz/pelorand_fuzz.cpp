// libFuzzer target: the fuzzer's bytes are the whole of pelorand.inp.
//
// The in-process batch runs on them at the default buffer size and at a
// tiny one, with every kernel tier this CPU has, and every run must give
// the same bytes and status as a deliberately plain model of the contract
// written here: whole input in memory, header parsed by hand, tokens split
// on the six whitespace bytes, digits counted in a std::map. Any
// difference aborts, and libFuzzer keeps the input.
//
//   cmake --preset fuzz && cmake --build --preset fuzz
//   build/fuzz/fuzz/pelorand_fuzz -dict=fuzz/pelorand.dict fuzz/corpus
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "kernels.h"

namespace {

// Inputs asking for more result blocks than this are skipped: they would
// spend the fuzzer's time writing "-1" lines.
constexpr std::int64_t max_count = 10000;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct outcome {
    std::string output;
    int status = 0;  // 0, or 1 for a refused count
};

// A header number at pos: whitespace, an optional sign, digits. False when
// there are no digits or the value is beyond signed 64 bits.
bool model_number(std::string_view in, std::size_t& pos, std::int64_t& value, bool& out_of_range) {
    value = 0;
    out_of_range = false;
    while (pos < in.size() && is_space(in[pos])) ++pos;
    bool negative = false;
    if (pos < in.size() && (in[pos] == '+' || in[pos] == '-')) negative = in[pos++] == '-';
    if (pos >= in.size() || !is_digit(in[pos])) return false;
    // Magnitude in unsigned arithmetic, checked against the limit of the sign.
    const unsigned long long limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
    unsigned long long magnitude = 0;
    while (pos < in.size() && is_digit(in[pos])) {
        unsigned d = static_cast<unsigned>(in[pos++] - '0');
        if (magnitude > (limit - d) / 10) {
            out_of_range = true;
            return false;
        }
        magnitude = magnitude * 10 + d;
    }
    value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

std::string model_block(std::string_view token, std::int64_t k) {
    std::map<char, std::int64_t> count;
    for (char c : token) {
        if (!is_digit(c)) return "-1\n";
        ++count[c];
    }
    if (count.size() < 3 || count.size() > 6) return "-1\n";
    std::int64_t low = count.begin()->second, high = low;
    for (const auto& [digit, n] : count) {
        low = std::min(low, n);
        high = std::max(high, n);
    }
    if (high - low > k) return "-1\n";
    return std::to_string(count.size()) + " " + std::to_string(high) + " " + std::to_string(low) + "\n1\n";
}

// False when the input is skipped.
bool model(std::string_view in, outcome& out) {
    std::size_t pos = 0;
    std::int64_t n = 0, k = 0;
    bool out_of_range = false;
    if (!model_number(in, pos, n, out_of_range)) {
        out.status = out_of_range ? 1 : 0;  // no number: n is 0
        return true;
    }
    if (n < 0) {
        out.status = 1;
        return true;
    }
    if (n > max_count) return false;
    bool header_ok = model_number(in, pos, k, out_of_range);
    for (std::int64_t t = 0; t < n; ++t) {
        while (pos < in.size() && is_space(in[pos])) ++pos;
        std::size_t start = pos;
        while (pos < in.size() && !is_space(in[pos])) ++pos;
        if (!header_ok || start == pos)
            out.output += "-1\n";
        else
            out.output += model_block(in.substr(start, pos - start), k);
    }
    return true;
}

int memory_file(std::string_view content) {
    int fd = memfd_create("pelorand", 0);
    if (fd < 0) std::abort();
    if (!content.empty() && ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
        std::abort();
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

outcome run(std::string_view in, const batch_options& options) {
    int in_fd = memory_file(in);
    int out_fd = memory_file({});
    batch_result r = run_batch(in_fd, out_fd, options);
    outcome out;
    out.status = r.input_error != 0 || r.output_error != 0 || r.count_out_of_range ? 1 : 0;
    off_t size = ::lseek(out_fd, 0, SEEK_END);
    out.output.resize(static_cast<std::size_t>(size));
    if (size > 0 && ::pread(out_fd, out.output.data(), out.output.size(), 0) != size) std::abort();
    ::close(in_fd);
    ::close(out_fd);
    return out;
}

void expect_same(const outcome& want, const outcome& got, const char* tier, std::size_t buffer) {
    if (want.output == got.output && want.status == got.status) return;
    std::fprintf(stderr, "mismatch: tier %s, input buffer %zu: status %d, model %d\n--- output\n%s--- model\n%s---\n",
                 tier, buffer, got.status, want.status, got.output.c_str(), want.output.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    outcome want;
    if (!model(in, want)) return -1;  // not worth keeping in the corpus
    std::size_t tiny = 1 + (size == 0 ? 0 : data[size - 1] % 7);
    for (kernel_tier tier : {kernel_tier::scalar, kernel_tier::sse2, kernel_tier::avx2, kernel_tier::avx512}) {
        const token_kernels* kernels = kernels_for(tier);
        if (kernels == nullptr) continue;
        for (std::size_t buffer : {batch_options{}.input_buffer_size, tiny}) {
            batch_options options;
            options.kernels = kernels;
            options.input_buffer_size = buffer;
            expect_same(want, run(in, options), kernels->name, buffer);
        }
    }
    return 0;
}
