// Fitting equations to a collection, against MASS::lda on a synthetic collection
// (fixtures/make_fit_fixture.R wrote fixtures/fit.txt), and the collections a fit must refuse.
#include "compute/Fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace morvik {
namespace {

struct MassFixture {
    FitSettings settings;
    std::vector<FitSample> samples;
    std::map<int, std::vector<int>> dims;                 // column -> dimensions
    std::map<int, std::vector<double>> scaling;           // column -> MASS's coefficients
    std::map<int, std::pair<int, int>> counts;            // column -> n_M, n_F
    std::map<int, std::map<int, double>> posterior, loo;  // column -> sample -> P(M)
    std::map<int, double> meanMale, meanFemale;
    std::map<std::pair<int, int>, double> cov;
};

double Number(std::istream& in) {
    std::string s;
    in >> s;
    return std::stod(s);
}

MassFixture LoadMass() {
    MassFixture f;
    std::ifstream file(MORVIK_FIT_FIXTURE);
    EXPECT_TRUE(file) << MORVIK_FIT_FIXTURE;
    const std::vector<int> sampleDims{0, 2, 3, 7};
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind.empty() || kind[0] == '#') continue;
        if (kind == "prior") {
            f.settings.priorMale = Number(in);
            f.settings.priorFemale = Number(in);
        } else if (kind == "threshold") {
            f.settings.threshold = Number(in);
        } else if (kind == "sample") {
            FitSample s;
            int index = 0;
            std::string sex;
            in >> index >> sex;
            s.sex = sex[0];
            for (int j : sampleDims) {
                std::string v;
                in >> v;
                if (v != "NA") s.x[static_cast<std::size_t>(j)] = std::stod(v);
            }
            EXPECT_EQ(index, static_cast<int>(f.samples.size()));
            f.samples.push_back(s);
        } else if (kind == "equation" || kind == "scaling") {
            int column = 0;
            in >> column;
            std::string v;
            while (in >> v) {
                if (kind == "equation")
                    f.dims[column].push_back(std::stoi(v));
                else
                    f.scaling[column].push_back(std::stod(v));
            }
        } else if (kind == "count") {
            int column = 0;
            in >> column >> f.counts[column].first >> f.counts[column].second;
        } else if (kind == "posterior" || kind == "loo") {
            int column = 0, i = 0;
            in >> column >> i;
            (kind == "loo" ? f.loo : f.posterior)[column][i] = Number(in);
        } else if (kind == "mean_M" || kind == "mean_F") {
            int j = 0;
            in >> j;
            (kind == "mean_M" ? f.meanMale : f.meanFemale)[j] = Number(in);
        } else if (kind == "cov") {
            int i = 0, j = 0;
            in >> i >> j;
            f.cov[{i, j}] = Number(in);
        }
    }
    for (const auto& [column, dims] : f.dims)
        for (int j : dims) f.settings.equations[static_cast<std::size_t>(column - 1)].set(j);
    return f;
}

void ExpectClose(double actual, double expected, double rel, const std::string& what) {
    EXPECT_NEAR(actual, expected, rel * std::max(1.0, std::abs(expected))) << what;
}

char ExpectedCall(double pMale, double threshold) {
    const char vote = pMale < 0.5 ? 'F' : 'M';
    return std::max(pMale, 1 - pMale) < threshold ? '?' : vote;
}

TEST(Fit, AgreesWithMassLdaOnCoefficientsPosteriorsAndLeaveOneOut) {
    const MassFixture f = LoadMass();
    ASSERT_EQ(f.samples.size(), 47u);
    const FitResult result = Fit(f.samples, f.settings);
    ASSERT_TRUE(result.Ok());

    std::vector<int> male(f.samples.size()), female(f.samples.size());
    for (const auto& [column, dims] : f.dims) {
        const FittedEquation& eq = result.equations[static_cast<std::size_t>(column - 1)];
        const std::string name = "column " + std::to_string(column);
        EXPECT_EQ(eq.nMale, f.counts.at(column).first) << name;
        EXPECT_EQ(eq.nFemale, f.counts.at(column).second) << name;
        // MASS scales as we do (within-sex SD of the score 1) and picks the sign itself.
        const std::vector<double>& s = f.scaling.at(column);
        double dot = 0;
        for (std::size_t a = 0; a < dims.size(); ++a)
            dot += s[a] * eq.equation.c[static_cast<std::size_t>(dims[a])];
        const double sign = dot < 0 ? -1 : 1;
        for (std::size_t a = 0; a < dims.size(); ++a)
            EXPECT_NEAR(eq.equation.c[static_cast<std::size_t>(dims[a])], sign * s[a],
                        1e-9 * std::abs(s[a]))
                << name << " dimension " << dims[a];
        EXPECT_EQ(EquationDimensions(eq.equation).count(), dims.size()) << name;

        double centroidMale = 0, centroidFemale = 0;
        for (const auto& [i, expected] : f.posterior.at(column)) {
            const DimensionValues& x = f.samples[static_cast<std::size_t>(i)].x;
            double score = eq.equation.k;
            for (int j : dims)
                score +=
                    eq.equation.c[static_cast<std::size_t>(j)] * *x[static_cast<std::size_t>(j)];
            (f.samples[static_cast<std::size_t>(i)].sex == 'M' ? centroidMale : centroidFemale) +=
                score;
            // σ = 1 and centroids ±Δ/2 about ln(π_M/π_F)/Δ: the log odds are Δ·d, so a score
            // of 0 is even odds under the priors.
            ExpectClose(1 / (1 + std::exp(-eq.distance * score)), expected, 1e-9,
                        name + " posterior of skull " + std::to_string(i));
        }
        EXPECT_GT(centroidMale / eq.nMale, centroidFemale / eq.nFemale)
            << name << ": male positive";

        // Every skull left out in turn, and those the equation cannot score left alone.
        for (std::size_t i = 0; i < f.samples.size(); ++i) {
            const auto hit = f.loo.at(column).find(static_cast<int>(i));
            const std::string skull = name + " skull " + std::to_string(i);
            if (hit == f.loo.at(column).end()) {
                EXPECT_EQ(eq.looVote[i], 0) << skull;
                continue;
            }
            ExpectClose(eq.looPosteriorMale[i], hit->second, 1e-9, skull);
            const char call = ExpectedCall(hit->second, *f.settings.threshold);
            EXPECT_EQ(eq.looVote[i], call) << skull;
            male[i] += call == 'M';
            female[i] += call == 'F';
        }
    }
    // The first equation lost the skulls without EKT-EKT, the second kept them.
    EXPECT_EQ(result.equations[0].looVote[2], 0);
    EXPECT_NE(result.equations[4].looVote[2], 0);
    for (std::size_t i = 0; i < f.samples.size(); ++i)
        EXPECT_EQ(result.looVerdict[i], MajorityVerdict(male[i], female[i])) << "skull " << i;

    // The model: the skulls complete on every dimension used.
    ASSERT_TRUE(result.model);
    const ReferenceModel& m = *result.model;
    EXPECT_EQ(m.nMale + m.nFemale, 45);
    EXPECT_EQ(m.priorMale, f.settings.priorMale);
    EXPECT_EQ(m.threshold, f.settings.threshold);
    for (const auto& [j, v] : f.meanMale)
        ExpectClose(*m.meanMale[static_cast<std::size_t>(j)], v, 1e-12, "mean M");
    for (const auto& [j, v] : f.meanFemale)
        ExpectClose(*m.meanFemale[static_cast<std::size_t>(j)], v, 1e-12, "mean F");
    for (const auto& [ij, v] : f.cov) {
        const auto i = static_cast<std::size_t>(ij.first), j = static_cast<std::size_t>(ij.second);
        ExpectClose(*m.covariance[i][j], v, 1e-12, "S");
        EXPECT_EQ(*m.covariance[i][j], *m.covariance[j][i]);
    }
    EXPECT_FALSE(m.meanMale[1].has_value());
    EXPECT_FALSE(m.covariance[1][1].has_value());

    // The written model serves its own equations: consistent, and its posteriors MASS's.
    EXPECT_EQ(CheckModel(m, result.modelDimensions).code, ModelProblem::None);
    const Equation& first = result.equations[0].equation;
    EXPECT_TRUE(CheckConsistency(m, first).ok);
    for (const auto& [i, expected] : f.posterior.at(1))
        ExpectClose(Evaluate(m, first, f.samples[static_cast<std::size_t>(i)].x).posteriorMale,
                    expected, 1e-9, "evaluated posterior of skull " + std::to_string(i));

    // The figures count what the calls say.
    const ClassifierFigures& figures = result.equations[0].loo;
    EXPECT_EQ(figures.n[0] + figures.n[1], 45);
    int correct = 0, undecided = 0;
    for (std::size_t i = 0; i < f.samples.size(); ++i) {
        const char vote = result.equations[0].looVote[i];
        correct += vote == f.samples[i].sex;
        undecided += vote == '?';
    }
    EXPECT_EQ(figures.correct[0] + figures.correct[1], correct);
    EXPECT_EQ(figures.undecided[0] + figures.undecided[1], undecided);
    EXPECT_GT(undecided, 0) << "the threshold should leave some skulls undecided";
}

// Two sexes whose means differ on four dimensions, with independent scatter.
std::vector<FitSample> Collection(int males, int females, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 1);
    std::vector<FitSample> samples;
    for (int i = 0; i < males + females; ++i) {
        FitSample s;
        s.sex = i < males ? 'M' : 'F';
        const double shift = s.sex == 'M' ? 1 : 0;
        for (int j : {0, 2, 3, 7})
            s.x[static_cast<std::size_t>(j)] = 100 + 10 * j + 3 * shift + 4 * noise(rng);
        samples.push_back(s);
    }
    return samples;
}

FitSettings OneEquation(std::initializer_list<int> dims) {
    FitSettings settings;
    for (int j : dims) settings.equations[0].set(static_cast<std::size_t>(j));
    return settings;
}

TEST(Fit, RefusesASexAbsentOrTooFewSkullsOfOne) {
    const FitSettings settings = OneEquation({0, 2, 3});
    for (const auto& [males, females] : {std::pair{30, 0}, std::pair{0, 30}, std::pair{30, 1},
                                         std::pair{1, 30}, std::pair{30, 3}}) {
        const FitResult result = Fit(Collection(males, females, 7), settings);
        EXPECT_FALSE(result.Ok()) << males << " " << females;
        EXPECT_EQ(result.equations[0].problem.code, FitProblem::TooFewSkulls);
        EXPECT_EQ(result.equations[0].nMale, males);
        EXPECT_EQ(result.equations[0].nFemale, females);
        EXPECT_FALSE(result.model);
        for (char vote : result.equations[0].looVote) EXPECT_EQ(vote, 0);
    }
    // One skull more than dimensions is enough.
    EXPECT_TRUE(Fit(Collection(30, 4, 7), settings).Ok());
}

TEST(Fit, RefusesAConstantOrCollinearDimensionNamingIt) {
    std::vector<FitSample> samples = Collection(30, 25, 11);
    for (FitSample& s : samples) s.x[2] = 42.5;
    FitResult result = Fit(samples, OneEquation({0, 2, 3}));
    EXPECT_EQ(result.equations[0].problem.code, FitProblem::Constant);
    EXPECT_EQ(result.equations[0].problem.dimensions, DimensionMask().set(2));
    EXPECT_EQ(result.modelProblem.code, FitProblem::Constant);
    EXPECT_FALSE(result.Ok());

    // Dimension 3 the sum of 0 and 2 up to a rounding: a relation among the three, not 7.
    samples = Collection(30, 25, 11);
    for (FitSample& s : samples) s.x[3] = *s.x[0] + *s.x[2] + 1e-7 * *s.x[7];
    result = Fit(samples, OneEquation({0, 2, 3, 7}));
    EXPECT_EQ(result.equations[0].problem.code, FitProblem::Collinear);
    EXPECT_EQ(result.equations[0].problem.dimensions, DimensionMask().set(0).set(2).set(3));
    EXPECT_GT(result.equations[0].problem.condition, kMaxConditionNumber);
    // An equation that leaves one of them out is fine; the model over all of them is not.
    FitSettings two = OneEquation({0, 2, 3, 7});
    two.equations[0].reset(3);
    EXPECT_EQ(Fit(samples, two).equations[0].problem.code, FitProblem::None);
}

// The closed form against fitting anew without each skull: a skull whose twin stays in the
// collection, and a sex of few skulls where leaving one out nearly empties it.
TEST(Fit, LeaveOneOutEqualsARefitWithoutTheSkull) {
    std::vector<FitSample> samples = Collection(9, 6, 3);
    samples.push_back(samples[2]);
    samples.push_back(samples[12]);
    FitSettings settings = OneEquation({0, 2, 3});
    settings.priorMale = 0.3;
    settings.priorFemale = 0.7;
    const FitResult result = Fit(samples, settings);
    ASSERT_TRUE(result.Ok());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::vector<FitSample> others = samples;
        others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
        const FitResult without = Fit(others, settings);
        ASSERT_TRUE(without.Ok()) << i;
        const FittedEquation& eq = without.equations[0];
        double score = eq.equation.k;
        for (int j : {0, 2, 3})
            score += eq.equation.c[static_cast<std::size_t>(j)] *
                     *samples[i].x[static_cast<std::size_t>(j)];
        ExpectClose(result.equations[0].looPosteriorMale[i],
                    1 / (1 + std::exp(-eq.distance * score)), 1e-9, "skull " + std::to_string(i));
        EXPECT_EQ(result.equations[0].looVote[i], score < 0 ? 'F' : 'M') << i;
    }
    // The twins left out are still classified by each other's copy.
    EXPECT_EQ(result.equations[0].looVote[2], result.equations[0].looVote[15]);
}

}  // namespace
}  // namespace morvik
