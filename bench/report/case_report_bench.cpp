// Case reports per second against the computation they report on: the sample workbook with
// the demonstration reference model, computed, then rendered to PDF bytes in memory.
#include <benchmark/benchmark.h>

#include "compute/Compute.h"
#include "core/Batch.h"
#include "core/CaseReport.h"
#include "core/EquationSets.h"

namespace morvik::core {
namespace {

const std::string kExamples = MORVIK_EXAMPLES_DIR;

struct Computed {
    Session session;
    CaseReportInput input;
    Workspace start;
    BatchSettings settings;
};

Computed& Sample() {
    static Computed c = [] {
        Computed c;
        c.start = StartWorkspace(IniFile(kExamples + "/Settings-model.ini"), c.settings);
        ProcessFile(c.session, c.start, kExamples + "/skull.xls", c.settings);
        c.input.setIndex = kUniversalSet;
        c.input.gaps = Calculate(c.session.ws);
        c.input.source.files = {kExamples + "/skull.xls"};
        c.input.settingsPath = kExamples + "/Settings-model.ini";
        c.input.time = 1796683200;
        return c;
    }();
    return c;
}

// The batch's work per skull without a report: load and compute.
void BM_LoadAndCompute(benchmark::State& state) {
    Computed& c = Sample();
    Session session;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ProcessFile(session, c.start, kExamples + "/skull.xls", c.settings));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoadAndCompute)->Unit(benchmark::kMillisecond);

void BM_CaseReport(benchmark::State& state) {
    Computed& c = Sample();
    std::size_t bytes = 0;
    for (auto _ : state) bytes = CaseReportPdf(c.session.ws, c.input).size();
    state.SetItemsProcessed(state.iterations());
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CaseReport)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morvik::core

BENCHMARK_MAIN();
