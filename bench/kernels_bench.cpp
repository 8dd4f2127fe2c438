// Micro-benchmarks of the token kernels, per tier the CPU runs, at token
// lengths from 1 byte to 1 MiB. Reports bytes per second of input.
//
//   build/bench/bench/pelorand_microbench [--benchmark_filter=...]
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "kernels.h"
#include "output_writer.h"

namespace {

const std::size_t lengths[] = {1, 4, 8, 16, 20, 32, 64, 256, 4096, 65536, 1 << 20};

// Digits of one even token: 0-4 in turn.
char digit_at(std::size_t i) { return static_cast<char>('0' + i % 5); }

// One token of len digits and a blank: the run kernel on its own.
void tally_run(benchmark::State& state, const token_kernels* kernels, std::size_t len) {
    std::vector<unsigned char> data(len + 1 + kernel_padding, ' ');
    for (std::size_t i = 0; i < len; ++i) data[i] = static_cast<unsigned char>(digit_at(i));
    for (auto _ : state) {
        digit_profile p;
        benchmark::DoNotOptimize(kernels->tally_run(p, data.data(), len + 1));
        benchmark::DoNotOptimize(p);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (len + 1)));
}

// A 256 KiB buffer (or one token, when longer) of tokens of len digits,
// one per line: the whole per-token path, results written to /dev/null.
void classify_chunk(benchmark::State& state, const token_kernels* kernels, std::size_t len) {
    std::size_t per = len + 1;
    std::size_t count = std::max<std::size_t>(1, (256u << 10) / per);
    std::vector<unsigned char> data;
    data.reserve(count * per + kernel_padding);
    for (std::size_t t = 0; t < count; ++t) {
        for (std::size_t i = 0; i < len; ++i) data.push_back(static_cast<unsigned char>(digit_at(i + t)));
        data.push_back('\n');
    }
    std::size_t size = data.size();
    data.resize(size + kernel_padding, ' ');
    int sink = ::open("/dev/null", O_WRONLY);
    output_writer w;
    init_writer(w, sink, 64 << 10);
    for (auto _ : state) {
        digit_profile open;
        chunk_progress c = kernels->classify_chunk(data.data(), size, 2, UINT64_MAX, w, open);
        benchmark::DoNotOptimize(c);
    }
    flush_output(w);
    ::close(sink);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(state.iterations() * count),
                                                    benchmark::Counter::kIsRate);
}

}  // namespace

int main(int argc, char** argv) {
    for (kernel_tier tier : {kernel_tier::scalar, kernel_tier::sse2, kernel_tier::avx2, kernel_tier::avx512}) {
        const token_kernels* kernels = kernels_for(tier);
        if (kernels == nullptr) continue;
        for (std::size_t len : lengths) {
            std::string suffix = std::string(kernels->name) + "/" + std::to_string(len);
            benchmark::RegisterBenchmark(("tally_run/" + suffix).c_str(), tally_run, kernels, len);
            benchmark::RegisterBenchmark(("classify_chunk/" + suffix).c_str(), classify_chunk, kernels, len);
        }
    }
    benchmark::AddCustomContext("tier", select_kernels().name);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
