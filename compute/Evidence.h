// What a reference model adds to an equation's score: the posterior probability of each sex,
// how typical the skull is of each sex, a refit on the dimensions present when some are
// missing, and measurements far from both sexes' means.
//
// The model is the summary of a reference sample: per sex the size n_g and the means μ_g of
// the 17 dimensions, the pooled within-sex covariance S (ν = n_M + n_F − 2 degrees of
// freedom) and the priors. With c an equation's coefficients, k its constant and V the
// dimensions it has a coefficient on:
//   centroids d̄_g = cᵀμ_g + k, σ² = cᵀSc,
//   P(M | d) = 1 / (1 + exp(−L)), L = (d̄_M − d̄_F)/σ² · (d − (d̄_M + d̄_F)/2) + ln(π_M/π_F),
//   typicality_g = 1 − F_{p, ν−p+1}(T²(ν − p + 1)/(pν)), T² = n_g/(n_g + 1) · D²_g,
//   D²_g = (x_V − μ_g)ᵀ S_VV⁻¹ (x_V − μ_g), p = |V|.
#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Missing.h"
#include "Workspace.h"

namespace morvik {

// The 17 dimensions of one skull, index r-1 for dimension row r; nullopt = not measured.
using DimensionValues = std::array<std::optional<double>, kDimensionCount>;

struct ReferenceModel {
    double nMale = 0, nFemale = 0;
    DimensionValues meanMale, meanFemale;
    // Pooled within-sex covariance S; entries not given are nullopt (a set may give it only
    // for the dimensions its equations use). An entry given on one side of the diagonal
    // serves both; given on both sides, the two must agree.
    std::array<std::array<std::optional<double>, kDimensionCount>, kDimensionCount> covariance;
    double priorMale = 0.5, priorFemale = 0.5;
    std::optional<double> threshold;  // posterior threshold t
    std::string population, source;   // free text
};

// Bit r-1 for dimension row r (1..17), as compute's DimensionSet.
using DimensionMask = DimensionSet;

// Above this condition number of the correlation matrix of S_VV a model is refused. A
// published covariance carries about six significant digits; a relative change of 1e-6 in S
// can move the discriminant by up to κ·1e-6 of itself, so beyond 1e6 its coefficients, and
// the posteriors, would rest on the rounding of the table. The correlation matrix, not S,
// because S mixes millimetres and cosines: its own condition number says more about units
// than about collinearity.
inline constexpr double kMaxConditionNumber = 1e6;

// Two entries S_ij and S_ji that differ by more than this share of the larger are not
// symmetric: both come from one published number, and a file holds it to far more digits.
inline constexpr double kSymmetryTolerance = 1e-9;

// Why a model cannot serve the dimensions `used`: code None and empty text when it can.
// `dimension` is the 0-based dimension the problem is at, -1 when it is about the model as a
// whole. The text is English and names what is wrong; core translates by the code.
struct ModelProblem {
    enum Code {
        None,
        SampleTooSmall,       // n_g not above |used|, or not positive
        MeanMissing,          // a sex's mean of a used dimension not given
        CovarianceMissing,    // S_ij of two used dimensions given on neither side
        NotSymmetric,         // S_ij and S_ji both given and different
        NotFinite,            // a sample size, prior, mean or S entry that is not a number
        NotPositiveDefinite,  // S_VV has no Cholesky factor
        IllConditioned,       // condition number above kMaxConditionNumber
        BadPriors,            // a prior not positive
    } code = None;
    int dimension = -1;
    std::string text;
};
ModelProblem CheckModel(const ReferenceModel& m, DimensionMask used);

// An equation's 17 coefficients (0 = no coefficient: not in V) and its constant.
struct Equation {
    std::array<double, kDimensionCount> c{};
    double k = 0;
};

// Dimensions an equation has a coefficient on.
DimensionMask EquationDimensions(const Equation& e);

// The score of even odds d₀ = (d̄_M + d̄_F)/2 − σ²·ln(π_M/π_F)/(d̄_M − d̄_F), σ and the centroids.
// ok: d₀ within 0.05σ of 0 and the male centroid above the female one; a vote by the score's
// sign then agrees with the posterior. A model that cannot serve the equation's dimensions
// (CheckModel) gives NaN values and ok false.
struct Consistency {
    double evenOddsScore, sigma, centroidMale, centroidFemale;
    bool ok;
};
Consistency CheckConsistency(const ReferenceModel&, const Equation&);

struct EquationEvidence {
    bool scored = false;  // a score exists (all of V present, or refit)
    double score = 0;
    double posteriorMale = 0.5;  // P(M | d)
    double typicalityMale = 0, typicalityFemale = 0;
    bool refit = false;
    DimensionMask lost;                          // dimensions of V missing, dropped by the refit
    Equation refitEquation;                      // when refit
    double accuracyFull = 0, accuracyRefit = 0;  // Φ(Δ_V/2), Φ(Δ_R/2)
    char vote = 0;                               // 'M', 'F', '?' (indeterminate under t), 0 none
    // Not None when the model cannot serve V: the equation then scores as without a model
    // (score and vote by sign when V is complete, nothing otherwise) and the fields of the
    // model keep their defaults.
    ModelProblem problem;
};

// `x`: the skull's 17 dimensions (nullopt or not finite = missing). With V complete, scores
// with the equation itself (d = cᵀx + k) and its posterior uses the centroids and σ of the
// equation; with dimensions of V missing, refits on R = V minus those (none left, or R not
// separating the sexes at all: not scored, vote 0). The vote is 'F' for a negative score and
// 'M' otherwise, as without a model; with a threshold t, '?' when the posterior of that sex
// is below t.
EquationEvidence Evaluate(const ReferenceModel&, const Equation&, const DimensionValues& x);

// A measurement more than limitSd pooled standard deviations √S_jj from both sexes' means.
// sdFromMale/sdFromFemale are signed: positive above the mean.
struct Atypical {
    int dimension;  // 0-based
    double value;
    double sdFromMale, sdFromFemale;
};
std::vector<Atypical> AtypicalMeasurements(const ReferenceModel&, const DimensionValues& x,
                                           double limitSd = 4);

// Typicality (male, female) over all present dimensions the model covers: in dimension order,
// each whose means and variance are given and whose covariances with those taken before are
// given. nullopt with none, or when the model cannot serve them (CheckModel).
std::optional<std::pair<double, double>> OverallTypicality(const ReferenceModel&,
                                                           const DimensionValues& x);

}  // namespace morvik
