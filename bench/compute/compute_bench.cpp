// Cost of a calculation as the euryon clouds grow: the clouds are the only input whose
// size varies, so the run should grow linearly with them.
#include <benchmark/benchmark.h>

#include <charconv>
#include <string>

#include "compute/Compute.h"
#include "compute/Workspace.h"

namespace {

std::string Num(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    std::string s(buf, r.ptr);
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

// A skull with every landmark set, every dimension used by every equation and two clouds
// of `points` points each, with texts as a measuring arm would export them.
morvik::Workspace MakeWorkspace(int points) {
    morvik::Workspace ws;
    for (int row = 1; row <= morvik::kLandmarkCount; ++row) {
        ws.sgImput.SetCell(2, row, Num(-60.0 + 5.3 * row));
        ws.sgImput.SetCell(3, row, Num(90.0 - 7.1 * (row % 5)));
        ws.sgImput.SetCell(4, row, Num(-30.0 + 6.7 * (row % 7)));
    }
    ws.sgImput2.SetRowCount(points + 1);
    ws.sgImput3.SetRowCount(points + 1);
    for (int row = 1; row <= points; ++row) {
        const double t = row * 1e-4;
        ws.sgImput2.SetCell(0, row, Num(-70.512345 + t));
        ws.sgImput2.SetCell(1, row, Num(-4.123456 - t));
        ws.sgImput2.SetCell(2, row, Num(58.654321 + t));
        ws.sgImput3.SetCell(0, row, Num(71.234567 - t));
        ws.sgImput3.SetCell(1, row, Num(-3.765432 + t));
        ws.sgImput3.SetCell(2, row, Num(57.456789 - t));
    }
    for (int k = 1; k <= morvik::kEquationCount; ++k) {
        for (int r = 1; r <= morvik::kDimensionCount; ++r) ws.sg.SetCell(k, r, "0,0123");
        ws.sg.SetCell(k, morvik::kConstantRow, "-10,5");
    }
    return ws;
}

void BM_ComputeDimensions(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    morvik::Workspace ws = MakeWorkspace(points);
    for (auto _ : state) {
        morvik::ClearIntermediate(ws);
        morvik::ComputeDimensions(ws);
        benchmark::DoNotOptimize(ws.pom.Cell(1, 2).data());
    }
    state.SetComplexityN(points);
    state.SetItemsProcessed(state.iterations() * 2 * points);  // cloud points read
}
BENCHMARK(BM_ComputeDimensions)
    ->RangeMultiplier(4)
    ->Range(1024, 65535)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

void BM_Calculate(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    morvik::Workspace ws = MakeWorkspace(points);
    for (auto _ : state) {
        morvik::Calculate(ws);
        benchmark::DoNotOptimize(ws.Label1.text.data());
    }
    state.SetComplexityN(points);
    state.SetItemsProcessed(state.iterations() * 2 * points);
}
BENCHMARK(BM_Calculate)
    ->RangeMultiplier(4)
    ->Range(1024, 65535)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

// Without clouds the run is the fixed part: 22 landmarks, 119 products, 7 scores.
void BM_CalculateNoClouds(benchmark::State& state) {
    morvik::Workspace ws = MakeWorkspace(0);
    for (auto _ : state) {
        morvik::Calculate(ws);
        benchmark::DoNotOptimize(ws.Label1.text.data());
    }
}
BENCHMARK(BM_CalculateNoClouds)->Unit(benchmark::kMicrosecond);

void BM_CalculateFromDimensions(benchmark::State& state) {
    morvik::Workspace ws = MakeWorkspace(0);
    morvik::Calculate(ws);
    for (auto _ : state) {
        morvik::CalculateFromDimensions(ws);
        benchmark::DoNotOptimize(ws.Label1.text.data());
    }
}
BENCHMARK(BM_CalculateFromDimensions)->Unit(benchmark::kMicrosecond);

}  // namespace
