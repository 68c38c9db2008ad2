// Fitting a set's equations and its reference model to a collection of skulls of known sex,
// and how well they classify skulls they were not fitted on.
//
// Each equation gets the linear discriminant on its dimensions V, estimated from the skulls
// complete on V: a = S_VV⁻¹(μ_M − μ_F)_V / Δ, Δ² = (μ_M − μ_F)_Vᵀ S_VV⁻¹ (μ_M − μ_F)_V, so that
// the score's within-sex standard deviation aᵀS_VV a is 1; constant −aᵀ(μ_M + μ_F)_V/2 +
// ln(π_M/π_F)/Δ, so that a score of 0 is even posterior odds; male positive. S is the pooled
// within-sex covariance with ν = n_M + n_F − 2 degrees of freedom.
//
// Leave-one-out: every skull is classified by the discriminant fitted without it. Leaving out
// skull x of sex g moves that sex's mean by −(x − μ_g)/(n_g − 1) and the within-sex scatter W =
// νS by −n_g/(n_g − 1)·(x − μ_g)(x − μ_g)ᵀ; the inverse of the latter follows from W's Cholesky
// factor by Sherman–Morrison, so each skull costs one triangular solve, not a new fit.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "Evidence.h"

namespace morvik {

struct FitSample {
    DimensionValues x;  // nullopt or not finite = not measured
    char sex = 0;       // 'M' or 'F'
};

struct FitSettings {
    // The dimensions of each equation column (1..7 at index 0..6); an empty mask is not fitted.
    std::array<DimensionMask, kEquationCount> equations;
    double priorMale = 0.5, priorFemale = 0.5;
    std::optional<double> threshold;  // posterior below it: indeterminate
};

// Why an equation or the model cannot be fitted. `dimensions` names the culprits: those
// constant across the collection, or those taking part in a near-linear relation.
struct FitProblem {
    enum Code {
        None,
        TooFewSkulls,  // a sex with no more skulls than dimensions (or none at all)
        Constant,      // a dimension with no within-sex variance
        Collinear,     // correlations of the dimensions above kMaxConditionNumber
    } code = None;
    DimensionMask dimensions;
    int nMale = 0, nFemale = 0;  // skulls available
    double condition = 0;        // Collinear: the condition number found
};

// Share of a sex's skulls a classifier got right, among those it decided; index 0 male, 1 female.
struct ClassifierFigures {
    std::array<int, 2> n{};          // skulls it classified (decided or not)
    std::array<int, 2> correct{};    // decided and right
    std::array<int, 2> undecided{};  // indeterminate (below the threshold), or a tie
    int Decided(int g) const {
        return n[static_cast<std::size_t>(g)] - undecided[static_cast<std::size_t>(g)];
    }
    double Accuracy(int g) const;  // correct / decided; NaN with none decided
    double Overall() const;
    double Bias() const { return Accuracy(0) - Accuracy(1); }
    double UndecidedShare() const;  // of all classified
    // Adds a call for a skull of sex `truth` ('M'/'F'): 'M', 'F', or anything else undecided.
    void Add(char truth, char call);
};

struct FittedEquation {
    DimensionMask dimensions;  // V; empty: not fitted
    FitProblem problem;
    Equation equation;    // when fitted
    double distance = 0;  // Δ_V
    int nMale = 0, nFemale = 0;
    // Per sample: leave-one-out P(M) and call ('M', 'F', '?' under the threshold, 0 when the
    // skull is not complete on V or the fit without it is singular).
    std::vector<double> looPosteriorMale;
    std::vector<char> looVote;
    ClassifierFigures loo;
};

struct FitResult {
    // The model over every dimension any equation uses, from the skulls complete on all of
    // them; its problem, when it cannot be fitted.
    DimensionMask modelDimensions;
    std::optional<ReferenceModel> model;
    FitProblem modelProblem;
    std::array<FittedEquation, kEquationCount> equations;
    // The majority of the equations' leave-one-out votes, per sample ('M', 'F', 'T' tie, '?'
    // no vote), as the window's verdict counts them.
    std::vector<char> looVerdict;
    ClassifierFigures looVerdictFigures;

    bool Ok() const;  // the model and every equation asked for were fitted
};

// Fits the model and every equation with dimensions, and classifies each sample left out.
// Samples of no known sex are skipped. The model has no population or source yet.
FitResult Fit(const std::vector<FitSample>& samples, const FitSettings& settings);

// The verdict of votes as the window counts them: 'M', 'F', 'T' (as many of each) or '?'.
char MajorityVerdict(int male, int female);

}  // namespace morvik
