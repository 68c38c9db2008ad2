// The evidence of a reference model against values NumPy and SciPy computed on their own
// routes from a synthetic sample (fixtures/make_evidence_fixture.py wrote fixtures/evidence.txt).
#include "compute/Evidence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "compute/Compute.h"

namespace morvik {
namespace {

struct Expected {
    std::map<std::string, std::string> fields;
    std::vector<double> refitC;  // pairs: dimension, coefficient
    std::vector<int> lost;
};

struct Fixture {
    ReferenceModel model;
    std::map<std::string, Equation> equations;
    std::map<std::string, std::vector<double>> consistency;
    std::map<std::string, std::pair<std::string, DimensionValues>> cases;
    std::map<std::string, Expected> expected;
    std::map<std::string, std::pair<double, double>> overall;
    std::map<std::string, std::vector<Atypical>> atypical;
};

double Read(std::istream& in) {
    std::string s;
    in >> s;
    return std::stod(s);
}

Fixture LoadFixture() {
    Fixture f;
    std::ifstream file(MORVIK_EVIDENCE_FIXTURE);
    EXPECT_TRUE(file) << MORVIK_EVIDENCE_FIXTURE;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        std::string kind, name;
        in >> kind;
        if (kind.empty() || kind[0] == '#') continue;
        if (kind == "model") {
            in >> name;
            const double v = Read(in);
            if (name == "n_male") f.model.nMale = v;
            if (name == "n_female") f.model.nFemale = v;
            if (name == "prior_male") f.model.priorMale = v;
            if (name == "prior_female") f.model.priorFemale = v;
            if (name == "threshold") f.model.threshold = v;
        } else if (kind == "mean_male" || kind == "mean_female") {
            int j;
            in >> j;
            (kind == "mean_male" ? f.model.meanMale : f.model.meanFemale)[j] = Read(in);
        } else if (kind == "cov") {
            int i, j;
            in >> i >> j;
            f.model.covariance[i][j] = Read(in);  // upper triangle only: serves both sides
        } else if (kind == "equation") {
            in >> name;
            Equation e;
            e.k = Read(in);
            int j;
            while (in >> j) e.c[j] = Read(in);
            f.equations[name] = e;
        } else if (kind == "consistency") {
            in >> name;
            for (int i = 0; i < 5; ++i) f.consistency[name].push_back(Read(in));
        } else if (kind == "case") {
            std::string equation, x;
            in >> name >> equation >> x;
            DimensionValues values;
            int j;
            while (in >> j) values[j] = Read(in);
            f.cases[name] = {equation, values};
        } else if (kind == "expect") {
            in >> name;
            Expected& e = f.expected[name];
            std::string key;
            while (in >> key) {
                if (key == "c") {
                    std::string tok;
                    while (in >> tok && tok != "lost") e.refitC.push_back(std::stod(tok));
                    key = tok;
                }
                if (key == "lost") {
                    int j;
                    while (in >> j) e.lost.push_back(j);
                    break;
                }
                in >> e.fields[key];
            }
        } else if (kind == "overall") {
            in >> name;
            const double m = Read(in);
            f.overall[name] = {m, Read(in)};
        } else if (kind == "atypical") {
            in >> name;
            Atypical a{};
            in >> a.dimension;
            a.value = Read(in);
            a.sdFromMale = Read(in);
            a.sdFromFemale = Read(in);
            f.atypical[name].push_back(a);
        }
    }
    return f;
}

const Fixture& Data() {
    static const Fixture f = LoadFixture();
    return f;
}

void ExpectRelative(double expected, double actual, double tolerance, const char* what) {
    EXPECT_NEAR(actual, expected, tolerance * std::abs(expected)) << what;
}

double Field(const Expected& e, const std::string& key) { return std::stod(e.fields.at(key)); }

TEST(Evidence, MatchesScipyOnSyntheticSample) {
    const Fixture& f = Data();
    ASSERT_EQ(f.cases.size(), 8U);
    for (const auto& [name, c] : f.cases) {
        SCOPED_TRACE(name);
        const Expected& want = f.expected.at(name);
        const EquationEvidence ev = Evaluate(f.model, f.equations.at(c.first), c.second);
        EXPECT_EQ(ev.problem.code, ModelProblem::None) << ev.problem.text;

        DimensionMask lost;
        for (int j : want.lost) lost.set(static_cast<std::size_t>(j));
        EXPECT_EQ(ev.lost, lost);
        ASSERT_EQ(ev.scored, want.fields.at("scored") == "1");
        if (!ev.scored) {
            EXPECT_EQ(ev.vote, 0);
            EXPECT_FALSE(ev.refit);
            continue;
        }
        ExpectRelative(Field(want, "score"), ev.score, 1e-12, "score");
        ExpectRelative(Field(want, "posterior"), ev.posteriorMale, 1e-9, "posterior");
        ExpectRelative(Field(want, "typ_m"), ev.typicalityMale, 1e-9, "male typicality");
        ExpectRelative(Field(want, "typ_f"), ev.typicalityFemale, 1e-9, "female typicality");
        ExpectRelative(Field(want, "accuracy_full"), ev.accuracyFull, 1e-12, "full accuracy");
        EXPECT_EQ(ev.vote, want.fields.at("vote")[0]);

        ASSERT_EQ(ev.refit, want.fields.at("refit") == "1");
        if (ev.refit) {
            ExpectRelative(Field(want, "accuracy_refit"), ev.accuracyRefit, 1e-12,
                           "refit accuracy");
            ExpectRelative(Field(want, "k"), ev.refitEquation.k, 1e-10, "refit constant");
            DimensionMask kept;
            for (std::size_t i = 0; i + 1 < want.refitC.size(); i += 2) {
                const auto j = static_cast<std::size_t>(want.refitC[i]);
                kept.set(j);
                ExpectRelative(want.refitC[i + 1], ev.refitEquation.c[j], 1e-10,
                               "refit coefficient");
            }
            EXPECT_EQ(EquationDimensions(ev.refitEquation), kept);
        }

        const auto overall = OverallTypicality(f.model, c.second);
        ASSERT_TRUE(overall.has_value());
        ExpectRelative(f.overall.at(name).first, overall->first, 1e-9, "overall male");
        ExpectRelative(f.overall.at(name).second, overall->second, 1e-9, "overall female");

        const std::vector<Atypical> atypical = AtypicalMeasurements(f.model, c.second);
        const auto found = f.atypical.find(name);
        const std::vector<Atypical> wanted =
            found == f.atypical.end() ? std::vector<Atypical>{} : found->second;
        ASSERT_EQ(atypical.size(), wanted.size());
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            EXPECT_EQ(atypical[i].dimension, wanted[i].dimension);
            EXPECT_EQ(atypical[i].value, wanted[i].value);
            ExpectRelative(wanted[i].sdFromMale, atypical[i].sdFromMale, 1e-12, "SD male");
            ExpectRelative(wanted[i].sdFromFemale, atypical[i].sdFromFemale, 1e-12, "SD female");
        }
    }
    // The far skull is the one the checks must flag: its G-OP, and unlike either sex.
    ASSERT_EQ(f.atypical.count("far"), 1U);
    EXPECT_LT(f.overall.at("far").first, 0.01);

    // A dimension that came out as no number (coincident landmarks) is missing, not a score
    // of NaN: the equation refits without it, as without N-P above.
    DimensionValues nanNp = f.cases.at("refit_np").second;
    nanNp[3] = std::numeric_limits<double>::quiet_NaN();
    const EquationEvidence ev = Evaluate(f.model, f.equations.at("lda"), nanNp);
    EXPECT_TRUE(ev.refit);
    ExpectRelative(Field(f.expected.at("refit_np"), "posterior"), ev.posteriorMale, 1e-9,
                   "posterior without a NaN dimension");
    EXPECT_FALSE(AtypicalMeasurements(f.model, nanNp).size() > 0);
}

// Under the threshold an uncertain vote is '?' for neither sex; without one every scored
// equation votes by its sign, the handmade one against its own posterior included.
TEST(Evidence, ThresholdMakesUncertainVotesIndeterminate) {
    const Fixture& f = Data();
    ReferenceModel noThreshold = f.model;
    noThreshold.threshold.reset();
    std::map<char, int> withT, withoutT;
    for (const auto& [name, c] : f.cases) {
        SCOPED_TRACE(name);
        const Equation& e = f.equations.at(c.first);
        const EquationEvidence with = Evaluate(f.model, e, c.second);
        const EquationEvidence without = Evaluate(noThreshold, e, c.second);
        ++withT[with.vote];
        ++withoutT[without.vote];
        EXPECT_EQ(without.posteriorMale, with.posteriorMale);
        if (!with.scored) continue;
        EXPECT_EQ(without.vote, with.score < 0 ? 'F' : 'M');
        const double forSign = with.score < 0 ? 1 - with.posteriorMale : with.posteriorMale;
        EXPECT_EQ(with.vote, forSign < 0.95 ? '?' : without.vote);
    }
    EXPECT_EQ(withT['?'], 4);  // between, handmade, refit_np, refit_two
    EXPECT_EQ(withoutT['?'], 0);

    ReferenceModel strict = f.model;
    strict.threshold = 0.999;  // the male skull's 0.995 is no longer enough
    const auto& male = f.cases.at("male");
    EXPECT_EQ(Evaluate(strict, f.equations.at(male.first), male.second).vote, '?');
}

TEST(Evidence, ConsistencyNamesAShiftedConstantAndAFlippedSign) {
    const Fixture& f = Data();
    for (const auto& [name, want] : f.consistency) {
        SCOPED_TRACE(name);
        const Consistency c = CheckConsistency(f.model, f.equations.at(name));
        EXPECT_NEAR(c.evenOddsScore, want[0], 1e-9 * want[1]);
        ExpectRelative(want[1], c.sigma, 1e-12, "sigma");
        ExpectRelative(want[2], c.centroidMale, 1e-12, "male centroid");
        ExpectRelative(want[3], c.centroidFemale, 1e-12, "female centroid");
        EXPECT_EQ(c.ok, want[4] == 1);
    }
    EXPECT_TRUE(CheckConsistency(f.model, f.equations.at("lda")).ok);
    EXPECT_FALSE(CheckConsistency(f.model, f.equations.at("offset")).ok);
    EXPECT_FALSE(CheckConsistency(f.model, f.equations.at("flipped")).ok);
    // Just inside and just outside 0.05σ of even odds (σ is 1 for the discriminant).
    Equation nudged = f.equations.at("lda");
    nudged.k += 0.049;
    EXPECT_TRUE(CheckConsistency(f.model, nudged).ok);
    nudged.k -= 0.049 * 2 + 0.002;
    EXPECT_FALSE(CheckConsistency(f.model, nudged).ok);
    EXPECT_FALSE(CheckConsistency(f.model, Equation{}).ok);
}

TEST(Evidence, UnusableModelsAreNamedAndLeaveTheEquationAsWithoutAModel) {
    const Fixture& f = Data();
    const Equation& lda = f.equations.at("lda");  // dimensions 0, 2, 3, 5
    const DimensionMask used = EquationDimensions(lda);
    ASSERT_EQ(CheckModel(f.model, used).code, ModelProblem::None);
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const auto cov = [](ReferenceModel& m, int i, int j) -> std::optional<double>& {
        return m.covariance[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    };
    // Dimension 5 as the sum of dimensions 0 and 2, its variance lessened by `less`: below
    // the sum's own variance S is indefinite, a hair above it nearly singular.
    const auto sumOf0And2 = [&](double less) {
        ReferenceModel m = f.model;
        cov(m, 0, 5) = *cov(m, 0, 0) + *cov(m, 0, 2);
        cov(m, 2, 5) = *cov(m, 0, 2) + *cov(m, 2, 2);
        cov(m, 3, 5) = *cov(m, 0, 3) + *cov(m, 2, 3);
        const double var = *cov(m, 0, 0) + 2 * *cov(m, 0, 2) + *cov(m, 2, 2);
        cov(m, 5, 5) = var * (1 - less);
        return m;
    };
    struct Case {
        const char* what;
        ReferenceModel model;
        ModelProblem::Code code;
        int dimension;
    };
    std::vector<Case> cases;
    const auto with = [&](const char* what, ModelProblem::Code code, int dimension, auto change) {
        ReferenceModel m = f.model;
        change(m);
        cases.push_back({what, m, code, dimension});
    };
    with("female sample no larger than p", ModelProblem::SampleTooSmall, -1,
         [](ReferenceModel& m) { m.nFemale = 4; });
    with("male sample not a number", ModelProblem::NotFinite, -1,
         [&](ReferenceModel& m) { m.nMale = nan; });
    with("female mean of B-BA missing", ModelProblem::MeanMissing, 5,
         [](ReferenceModel& m) { m.meanFemale[5].reset(); });
    with("male mean infinite", ModelProblem::NotFinite, 3,
         [](ReferenceModel& m) { m.meanMale[3] = std::numeric_limits<double>::infinity(); });
    with("covariance of ZYG-ZYG and N-P missing", ModelProblem::CovarianceMissing, 2,
         [&](ReferenceModel& m) { cov(m, 2, 3).reset(); });
    with("covariance given twice, differently", ModelProblem::NotSymmetric, 2,
         [&](ReferenceModel& m) { cov(m, 3, 2) = *cov(m, 2, 3) * 1.001; });
    with("variance not a number", ModelProblem::NotFinite, 0,
         [&](ReferenceModel& m) { cov(m, 0, 0) = nan; });
    with("variance zero", ModelProblem::NotPositiveDefinite, 0,
         [&](ReferenceModel& m) { cov(m, 0, 0) = 0.0; });
    cases.push_back({"B-BA below a combination of others", sumOf0And2(1e-3),
                     ModelProblem::NotPositiveDefinite, 5});
    cases.push_back(
        {"B-BA nearly a combination", sumOf0And2(-1e-9), ModelProblem::IllConditioned, -1});
    with("male prior zero", ModelProblem::BadPriors, -1,
         [](ReferenceModel& m) { m.priorMale = 0; });
    with("female prior negative", ModelProblem::BadPriors, -1,
         [](ReferenceModel& m) { m.priorFemale = -0.45; });

    const auto& complete = f.cases.at("male").second;
    const auto& partial = f.cases.at("refit_np").second;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ModelProblem p = CheckModel(c.model, used);
        EXPECT_EQ(p.code, c.code) << p.text;
        EXPECT_EQ(p.dimension, c.dimension) << p.text;
        EXPECT_FALSE(p.text.empty());
        if (c.dimension >= 0) {
            EXPECT_NE(p.text.find(kDimensionRows[static_cast<std::size_t>(c.dimension)].nameEn),
                      std::string::npos)
                << p.text;
        }
        // As without a model: the complete skull scores and votes by sign, the other none.
        const EquationEvidence full = Evaluate(c.model, lda, complete);
        EXPECT_EQ(full.problem.code, c.code);
        EXPECT_TRUE(full.scored);
        EXPECT_EQ(full.vote, 'M');
        EXPECT_EQ(full.posteriorMale, 0.5);
        EXPECT_EQ(full.typicalityMale, 0);
        const EquationEvidence missing = Evaluate(c.model, lda, partial);
        EXPECT_FALSE(missing.scored);
        EXPECT_FALSE(missing.refit);
        EXPECT_EQ(missing.vote, 0);
        EXPECT_FALSE(CheckConsistency(c.model, lda).ok);
    }

    // Only the dimensions used count: the handmade equation needs EKT-EKT and the flexure,
    // and a model without their covariance still serves the discriminant.
    ReferenceModel partialS = f.model;
    cov(partialS, 7, 12).reset();
    EXPECT_EQ(CheckModel(partialS, used).code, ModelProblem::None);
    EXPECT_EQ(CheckModel(partialS, EquationDimensions(f.equations.at("handmade"))).code,
              ModelProblem::CovarianceMissing);
}

}  // namespace
}  // namespace morvik
