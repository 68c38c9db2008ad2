// Fitting a set to a collection whose dimensions are known: the means, the pooled covariance,
// seven discriminants and every skull left out of each. The skulls' dimensions come from the
// batch's reading, which costs far more per skull than this.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "compute/Fit.h"

namespace {

using namespace morvik;

// The universal set of examples/Settings.ini: its seven equations' dimension rows.
constexpr int kEquations[kEquationCount][8] = {
    {1, 3, 4, 8},          {4, 5, 7, 8}, {9, 10, 11, 12, 13}, {14, 15, 16, 17}, {1, 3, 13, 16, 17},
    {1, 3, 4, 5, 6, 7, 8}, {1, 3, 6}};

// Correlated dimensions, male means a little larger: a collection of `count` skulls.
std::vector<FitSample> Collection(int count) {
    std::mt19937 rng(20261208);
    std::normal_distribution<double> noise(0, 1);
    std::vector<FitSample> samples(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        FitSample& s = samples[i];
        s.sex = i % 2 == 0 ? 'M' : 'F';
        const double size = noise(rng);
        for (int j = 0; j < kDimensionCount; ++j)
            s.x[static_cast<std::size_t>(j)] =
                100 + j + (s.sex == 'M' ? 1.5 : 0) + 0.6 * size + noise(rng);
        if (i % 50 == 7) s.x[static_cast<std::size_t>(i % kDimensionCount)].reset();
    }
    return samples;
}

FitSettings UniversalSet() {
    FitSettings settings;
    for (std::size_t k = 0; k < kEquationCount; ++k)
        for (int r : kEquations[k])
            if (r > 0) settings.equations[k].set(static_cast<std::size_t>(r - 1));
    settings.threshold = 0.9;
    return settings;
}

void BM_FitWithLeaveOneOut(benchmark::State& state) {
    const std::vector<FitSample> samples = Collection(static_cast<int>(state.range(0)));
    const FitSettings settings = UniversalSet();
    for (auto _ : state) {
        FitResult result = Fit(samples, settings);
        if (!result.Ok()) state.SkipWithError("the fit was refused");
        benchmark::DoNotOptimize(result.looVerdict.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FitWithLeaveOneOut)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
