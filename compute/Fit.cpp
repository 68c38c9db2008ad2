#include "Fit.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <cmath>
#include <limits>

namespace morvik {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A dimension whose pooled standard deviation is below this share of its mean's size is
// constant: measured values carry far more scatter than rounding, so what is left is rounding.
constexpr double kConstantShare = 1e-9;

// A dimension takes part in a near-linear relation when its weight in the correlation
// matrix's eigenvector of least variance is at least this (the weights' squares add to 1).
constexpr double kCollinearLoading = 0.1;

std::vector<int> Indices(DimensionMask mask) {
    std::vector<int> idx;
    for (int j = 0; j < kDimensionCount; ++j)
        if (mask.test(static_cast<std::size_t>(j))) idx.push_back(j);
    return idx;
}

int SexIndex(char sex) { return sex == 'M' ? 0 : sex == 'F' ? 1 : -1; }

// The skulls complete on a set of dimensions, each sex's mean and the within-sex scatter W.
struct Groups {
    std::vector<int> idx;
    std::vector<std::size_t> members;
    std::array<int, 2> n{};
    std::array<Eigen::VectorXd, 2> mu;
    Eigen::MatrixXd w;

    Groups(const std::vector<FitSample>& samples, DimensionMask mask) : idx(Indices(mask)) {
        const auto p = static_cast<Eigen::Index>(idx.size());
        std::vector<Eigen::VectorXd> rows;
        std::vector<int> sexes;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const int g = SexIndex(samples[i].sex);
            if (g < 0) continue;
            Eigen::VectorXd x(p);
            bool complete = true;
            for (Eigen::Index a = 0; a < p && complete; ++a) {
                const auto& v =
                    samples[i].x[static_cast<std::size_t>(idx[static_cast<std::size_t>(a)])];
                complete = v && std::isfinite(*v);
                if (complete) x(a) = *v;
            }
            if (!complete) continue;
            members.push_back(i);
            rows.push_back(std::move(x));
            sexes.push_back(g);
        }
        // Two passes, means first: the scatter about them, not E[x²] − E[x]², which would
        // lose the digits of a dimension whose spread is small beside its size.
        for (auto& m : mu) m = Eigen::VectorXd::Zero(p);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            mu[static_cast<std::size_t>(sexes[r])] += rows[r];
            ++n[static_cast<std::size_t>(sexes[r])];
        }
        for (std::size_t g = 0; g < 2; ++g)
            if (n[g] > 0) mu[g] /= n[g];
        w = Eigen::MatrixXd::Zero(p, p);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Eigen::VectorXd d = rows[r] - mu[static_cast<std::size_t>(sexes[r])];
            w.selfadjointView<Eigen::Lower>().rankUpdate(d);
        }
        w = w.selfadjointView<Eigen::Lower>();
    }

    double Nu() const { return n[0] + n[1] - 2.0; }

    FitProblem Check() const {
        FitProblem problem;
        problem.nMale = n[0];
        problem.nFemale = n[1];
        const auto p = static_cast<int>(idx.size());
        if (n[0] <= p || n[1] <= p) {
            problem.code = FitProblem::TooFewSkulls;
            return problem;
        }
        const Eigen::VectorXd variance = w.diagonal() / Nu();
        for (std::size_t a = 0; a < idx.size(); ++a) {
            const auto ea = static_cast<Eigen::Index>(a);
            const double scale = std::max(std::abs(mu[0](ea)), std::abs(mu[1](ea)));
            if (!(std::sqrt(variance(ea)) > kConstantShare * scale))
                problem.dimensions.set(static_cast<std::size_t>(idx[a]));
        }
        if (problem.dimensions.any()) {
            problem.code = FitProblem::Constant;
            return problem;
        }
        // The condition of the correlations, not of S: S mixes millimetres and cosines. The
        // bound is the one a model read from a settings file must meet (CheckModel).
        const Eigen::VectorXd scale = w.diagonal().cwiseSqrt().cwiseInverse();
        const Eigen::MatrixXd correlation = scale.asDiagonal() * w * scale.asDiagonal();
        const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(correlation);
        const double low = eigen.eigenvalues()(0);
        const double kappa = eigen.eigenvalues()(eigen.eigenvalues().size() - 1) / low;
        if (!(low > 0) || !(kappa <= kMaxConditionNumber)) {
            problem.code = FitProblem::Collinear;
            problem.condition = low > 0 ? kappa : std::numeric_limits<double>::infinity();
            for (std::size_t a = 0; a < idx.size(); ++a)
                if (std::abs(eigen.eigenvectors()(static_cast<Eigen::Index>(a), 0)) >=
                    kCollinearLoading)
                    problem.dimensions.set(static_cast<std::size_t>(idx[a]));
        }
        return problem;
    }
};

void FitEquation(const std::vector<FitSample>& samples, const FitSettings& settings,
                 FittedEquation& eq) {
    eq.looPosteriorMale.assign(samples.size(), kNaN);
    eq.looVote.assign(samples.size(), 0);
    const Groups groups(samples, eq.dimensions);
    eq.nMale = groups.n[0];
    eq.nFemale = groups.n[1];
    eq.problem = groups.Check();
    if (eq.problem.code != FitProblem::None) return;

    const double lnPriors = std::log(settings.priorMale / settings.priorFemale);
    const double nu = groups.Nu();
    const Eigen::LLT<Eigen::MatrixXd> llt(groups.w);  // W = νS = LLᵀ
    const Eigen::VectorXd delta = groups.mu[0] - groups.mu[1];
    const Eigen::VectorXd mid = (groups.mu[0] + groups.mu[1]) / 2;
    // S⁻¹δ = ν W⁻¹δ.
    const Eigen::VectorXd raw = nu * llt.solve(delta);
    eq.distance = std::sqrt(delta.dot(raw));
    const Eigen::VectorXd a = raw / eq.distance;
    eq.equation = Equation{};
    for (std::size_t i = 0; i < groups.idx.size(); ++i)
        eq.equation.c[static_cast<std::size_t>(groups.idx[i])] = a(static_cast<Eigen::Index>(i));
    eq.equation.k = -a.dot(mid) + lnPriors / eq.distance;

    const auto L = llt.matrixL();
    const Eigen::VectorXd e = L.solve(delta);
    const std::array<Eigen::VectorXd, 2> h{L.solve(Eigen::VectorXd(groups.mu[0] - mid)),
                                           L.solve(Eigen::VectorXd(groups.mu[1] - mid))};
    const auto p = static_cast<Eigen::Index>(groups.idx.size());
    Eigen::VectorXd x(p);
    for (std::size_t i : groups.members) {
        const int g = SexIndex(samples[i].sex);
        const auto gi = static_cast<std::size_t>(g);
        for (Eigen::Index d = 0; d < p; ++d)
            x(d) = *samples[i].x[static_cast<std::size_t>(groups.idx[static_cast<std::size_t>(d)])];
        const double m = groups.n[gi] - 1.0;  // the sex's size without this skull
        const double c = groups.n[gi] / m;
        const Eigen::VectorXd z = L.solve(Eigen::VectorXd(x - groups.mu[gi]));
        // Without the skull: L⁻¹δ', L⁻¹(x − midpoint') and W' = W − c·uuᵀ.
        const Eigen::VectorXd ed = e - (g == 0 ? 1.0 : -1.0) / m * z;
        const Eigen::VectorXd ey = (1 + 1 / (2 * m)) * z + h[gi];
        const double denominator = 1 - c * z.squaredNorm();
        if (!(denominator > 1e-12)) continue;  // W' singular: no discriminant without it
        const double form = ed.dot(ey) + c * ed.dot(z) * z.dot(ey) / denominator;
        const double logOdds = (nu - 1) * form + lnPriors;  // S' = W'/(ν − 1)
        const double posterior = 1 / (1 + std::exp(-logOdds));
        char vote = logOdds < 0 ? 'F' : 'M';
        if (settings.threshold && (vote == 'M' ? posterior : 1 - posterior) < *settings.threshold)
            vote = '?';
        eq.looPosteriorMale[i] = posterior;
        eq.looVote[i] = vote;
        eq.loo.Add(samples[i].sex, vote);
    }
}

}  // namespace

double ClassifierFigures::Accuracy(int g) const {
    const int decided = Decided(g);
    return decided > 0 ? static_cast<double>(correct[static_cast<std::size_t>(g)]) / decided : kNaN;
}

double ClassifierFigures::Overall() const {
    const int decided = Decided(0) + Decided(1);
    return decided > 0 ? static_cast<double>(correct[0] + correct[1]) / decided : kNaN;
}

double ClassifierFigures::UndecidedShare() const {
    const int all = n[0] + n[1];
    return all > 0 ? static_cast<double>(undecided[0] + undecided[1]) / all : kNaN;
}

void ClassifierFigures::Add(char truth, char call) {
    const int g = SexIndex(truth);
    if (g < 0) return;
    const auto gi = static_cast<std::size_t>(g);
    ++n[gi];
    if (call != 'M' && call != 'F')
        ++undecided[gi];
    else if (call == truth)
        ++correct[gi];
}

bool FitResult::Ok() const {
    if (!model) return false;
    for (const FittedEquation& eq : equations)
        if (eq.dimensions.any() && eq.problem.code != FitProblem::None) return false;
    return true;
}

char MajorityVerdict(int male, int female) {
    if (male == 0 && female == 0) return '?';
    if (male == female) return 'T';
    return male > female ? 'M' : 'F';
}

FitResult Fit(const std::vector<FitSample>& samples, const FitSettings& settings) {
    FitResult result;
    for (const DimensionMask& v : settings.equations) result.modelDimensions |= v;

    const Groups groups(samples, result.modelDimensions);
    result.modelProblem = groups.Check();
    if (result.modelDimensions.any() && result.modelProblem.code == FitProblem::None) {
        ReferenceModel model;
        model.nMale = groups.n[0];
        model.nFemale = groups.n[1];
        model.priorMale = settings.priorMale;
        model.priorFemale = settings.priorFemale;
        model.threshold = settings.threshold;
        const Eigen::MatrixXd s = groups.w / groups.Nu();
        for (std::size_t a = 0; a < groups.idx.size(); ++a) {
            const auto ja = static_cast<std::size_t>(groups.idx[a]);
            model.meanMale[ja] = groups.mu[0](static_cast<Eigen::Index>(a));
            model.meanFemale[ja] = groups.mu[1](static_cast<Eigen::Index>(a));
            for (std::size_t b = 0; b < groups.idx.size(); ++b)
                model.covariance[ja][static_cast<std::size_t>(groups.idx[b])] =
                    s(static_cast<Eigen::Index>(a), static_cast<Eigen::Index>(b));
        }
        result.model = std::move(model);
    }

    for (std::size_t k = 0; k < kEquationCount; ++k) {
        result.equations[k].dimensions = settings.equations[k];
        if (settings.equations[k].any()) FitEquation(samples, settings, result.equations[k]);
    }

    result.looVerdict.assign(samples.size(), '?');
    for (std::size_t i = 0; i < samples.size(); ++i) {
        int male = 0, female = 0;
        for (const FittedEquation& eq : result.equations) {
            if (eq.looVote.empty()) continue;
            male += eq.looVote[i] == 'M';
            female += eq.looVote[i] == 'F';
        }
        result.looVerdict[i] = MajorityVerdict(male, female);
        result.looVerdictFigures.Add(samples[i].sex, result.looVerdict[i]);
    }
    return result;
}

}  // namespace morvik
