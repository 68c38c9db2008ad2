// Cost per cell of filling a sheet through Cell(row, col) + SetValue and of reading every cell
// back by address, as the sheet grows. Sheets of 16 columns and 1k to 64k rows; the per-cell
// figures should stay level. The "fixed" runs keep the index at 16383 buckets for comparison.
//
// Memory: bytes/cell is the growth of the heap in use (mallinfo2) while filling, divided by the
// cells; maxrss_MB is the process peak for orientation (it includes a warm-up fill of 1M cells).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include "xls/XLSWorkbook.h"

namespace {

// Heap bytes in use, chunk overheads and large mapped blocks included.
long long LiveBytes() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long long>(m.uordblks + m.hblkhd);
}

long MaxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

using namespace morvik::xls;

constexpr int kCols = 16;

void Fill(TCells& cells, int rows) {
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < kCols; ++c) cells.Cell(r, c).SetValue(r + c / 16.0);
}

double ReadAll(TCells& cells, int rows) {
    double sum = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < kCols; ++c) sum += *cells.Cell(r, c).Value().As<double>();
    return sum;
}

void BM_Fill(benchmark::State& state, bool growing) {
    const int rows = static_cast<int>(state.range(0));
    long long heldBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            TWorkbook wb;
            TCells cells(wb.Sheets().Items(0), wb.Styles(), growing);
            const long long before = LiveBytes();
            state.ResumeTiming();
            Fill(cells, rows);
            state.PauseTiming();
            heldBytes = LiveBytes() - before;
        }
        state.ResumeTiming();
    }
    const double cells = static_cast<double>(rows) * kCols;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cells));
    state.counters["cells"] = cells;
    state.counters["bytes/cell"] = static_cast<double>(heldBytes) / cells;
    state.counters["maxrss_MB"] = static_cast<double>(MaxRssKiB()) / 1024.0;
}

void BM_Read(benchmark::State& state, bool growing) {
    const int rows = static_cast<int>(state.range(0));
    TWorkbook wb;
    TCells cells(wb.Sheets().Items(0), wb.Styles(), growing);
    Fill(cells, rows);
    for (auto _ : state) benchmark::DoNotOptimize(ReadAll(cells, rows));
    const double n = static_cast<double>(rows) * kCols;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
    state.counters["cells"] = n;
}

// Probing empty cells: every lookup makes (and drops) one pending cell.
void BM_ProbeEmpty(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    TWorkbook wb;
    TCells& cells = wb.Sheets().Items(0).Cells();
    Fill(cells, rows);
    for (auto _ : state) {
        for (int r = 0; r < 4096; ++r) benchmark::DoNotOptimize(&cells.Cell(r, 200));
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int rows : {1024, 4096, 16384, 65536}) b->Arg(rows);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_Fill, growing, true)->Apply(Sizes)->Iterations(3);
BENCHMARK_CAPTURE(BM_Fill, fixed, false)->Apply(Sizes)->Iterations(3);
BENCHMARK_CAPTURE(BM_Read, growing, true)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Read, fixed, false)->Apply(Sizes);
BENCHMARK(BM_ProbeEmpty)->Arg(1024)->Arg(65536);

}  // namespace

int main(int argc, char** argv) {
    // Keep freed heap mapped and fault the largest sheet in once, so that every run reuses
    // warm memory and the figures compare the model rather than the order the runs come in.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    {
        TWorkbook wb;
        Fill(wb.Sheets().Items(0).Cells(), 65536);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
