// Whole-file loads through TXLSFile. The workbooks come from the shared generator (see
// compare_xlrd.sh); MORVIK_BENCH_DIR names their folder, /tmp/perf by default.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "xls/XLSFile.h"

namespace {

std::string BenchFile(const char* name) {
    const char* dir = std::getenv("MORVIK_BENCH_DIR");
    return std::string(dir != nullptr ? dir : "/tmp/perf") + "/" + name;
}

void LoadFile(benchmark::State& state, const char* name) {
    const std::string path = BenchFile(name);
    if (!std::filesystem::exists(path)) {
        state.SkipWithError(("missing " + path + ": run bench/xls/compare_xlrd.sh first").c_str());
        return;
    }
    long cells = 0;
    for (auto _ : state) {
        morvik::xls::TXLSFile file;
        file.LoadFromFile(path);
        cells = 0;
        const auto& sheets = file.Workbook().Sheets();
        for (int s = 0; s < sheets.Count(); ++s) cells += sheets.Items(s).Cells().Count();
        benchmark::DoNotOptimize(cells);
    }
    state.counters["cells"] = static_cast<double>(cells);
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(cells) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}

void BM_LoadTypical(benchmark::State& state) { LoadFile(state, "typical.xls"); }
void BM_LoadMaxcloud(benchmark::State& state) { LoadFile(state, "maxcloud.xls"); }
void BM_LoadMultisheet(benchmark::State& state) { LoadFile(state, "multisheet.xls"); }

BENCHMARK(BM_LoadTypical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMaxcloud)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMultisheet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
