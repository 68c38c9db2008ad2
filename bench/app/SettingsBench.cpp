// The settings file: one set saved as one atomic replacement of the file.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/EquationSets.h"

namespace {

void BM_SaveEquationSet(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "morvik-settings-bench";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Settings.ini").string();
    std::filesystem::copy_file(MORVIK_EXAMPLES_DIR "/Settings.ini", path,
                               std::filesystem::copy_options::overwrite_existing);
    morvik::Workspace ws;
    morvik::core::IniFile ini(path);
    morvik::core::LoadEquationSet(ws, ini, 0);
    for (auto _ : state) morvik::core::SaveEquationSet(ws, ini, 0);
    state.SetItemsProcessed(state.iterations() * 126);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveEquationSet)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadEquationSet(benchmark::State& state) {
    const morvik::core::IniFile ini(MORVIK_EXAMPLES_DIR "/Settings.ini");
    morvik::Workspace ws;
    for (auto _ : state) morvik::core::LoadEquationSet(ws, ini, 2);
}
BENCHMARK(BM_LoadEquationSet)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
