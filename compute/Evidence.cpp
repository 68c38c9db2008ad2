#include "Evidence.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <cstdio>
#include <limits>

#include "Compute.h"

namespace morvik {
namespace {

// Bad arguments give NaN rather than an exception: the callers check the model first, and
// a value that is not a number is then a fault to see, not a crash.
using Policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<int> Indices(DimensionMask mask) {
    std::vector<int> idx;
    for (int j = 0; j < kDimensionCount; ++j)
        if (mask.test(static_cast<std::size_t>(j))) idx.push_back(j);
    return idx;
}

std::string Name(int j) { return std::string(kDimensionRows[static_cast<std::size_t>(j)].nameEn); }

std::string Num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// S_ij from either side of the diagonal; CheckModel has made sure both agree.
std::optional<double> Cov(const ReferenceModel& m, int i, int j) {
    const auto& a = m.covariance[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    return a ? a : m.covariance[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)];
}

double Mean(const DimensionValues& means, int j) { return *means[static_cast<std::size_t>(j)]; }

Eigen::MatrixXd CovarianceOf(const ReferenceModel& m, const std::vector<int>& idx) {
    const auto p = static_cast<Eigen::Index>(idx.size());
    Eigen::MatrixXd s(p, p);
    for (Eigen::Index a = 0; a < p; ++a)
        for (Eigen::Index b = 0; b < p; ++b)
            s(a, b) = *Cov(m, idx[static_cast<std::size_t>(a)], idx[static_cast<std::size_t>(b)]);
    return s;
}

Eigen::VectorXd MeansOf(const DimensionValues& means, const std::vector<int>& idx) {
    Eigen::VectorXd v(static_cast<Eigen::Index>(idx.size()));
    for (std::size_t a = 0; a < idx.size(); ++a)
        v(static_cast<Eigen::Index>(a)) = Mean(means, idx[a]);
    return v;
}

ModelProblem Problem(ModelProblem::Code code, int dimension, std::string text) {
    return ModelProblem{code, dimension, std::move(text)};
}

bool Present(const DimensionValues& x, int j) {
    const auto& v = x[static_cast<std::size_t>(j)];
    return v && std::isfinite(*v);
}

// The model restricted to a set of dimensions, factored once.
struct Restricted {
    std::vector<int> idx;
    Eigen::VectorXd muM, muF;
    Eigen::LLT<Eigen::MatrixXd> llt;

    Restricted(const ReferenceModel& m, DimensionMask mask)
        : idx(Indices(mask)),
          muM(MeansOf(m.meanMale, idx)),
          muF(MeansOf(m.meanFemale, idx)),
          llt(CovarianceOf(m, idx)) {}

    // Squared Mahalanobis distance vᵀS⁻¹v through the Cholesky factor: |L⁻¹v|².
    double Mahalanobis2(const Eigen::VectorXd& v) const {
        return llt.matrixL().solve(v).squaredNorm();
    }
};

double NormalCdf(double z) {
    return boost::math::cdf(boost::math::normal_distribution<double, Policy>(0, 1), z);
}

// Upper tail of F(p, ν − p + 1) at the Hotelling statistic of D²: the share of a sex's
// skulls that lie farther from its mean.
double Typicality(double d2, double n, double nu, double p) {
    const double t2 = n * d2 / (n + 1);
    const double f = t2 * (nu - p + 1) / (p * nu);
    const boost::math::fisher_f_distribution<double, Policy> dist(p, nu - p + 1);
    return boost::math::cdf(boost::math::complement(dist, f));
}

}  // namespace

DimensionMask EquationDimensions(const Equation& e) {
    DimensionMask v;
    for (int j = 0; j < kDimensionCount; ++j)
        if (e.c[static_cast<std::size_t>(j)] != 0) v.set(static_cast<std::size_t>(j));
    return v;
}

ModelProblem CheckModel(const ReferenceModel& m, DimensionMask used) {
    if (!std::isfinite(m.priorMale) || !std::isfinite(m.priorFemale))
        return Problem(ModelProblem::NotFinite, -1, "a prior probability is not a number");
    if (!(m.priorMale > 0) || !(m.priorFemale > 0))
        return Problem(ModelProblem::BadPriors, -1,
                       "the prior probabilities " + Num(m.priorMale) + " (male) and " +
                           Num(m.priorFemale) + " (female) must both be positive");
    if (m.threshold && !std::isfinite(*m.threshold))
        return Problem(ModelProblem::NotFinite, -1, "the posterior threshold is not a number");
    if (!std::isfinite(m.nMale) || !std::isfinite(m.nFemale))
        return Problem(ModelProblem::NotFinite, -1, "a sample size is not a number");
    const auto p = static_cast<double>(used.count());
    for (const auto& [n, sex] : {std::pair{m.nMale, "male"}, std::pair{m.nFemale, "female"}}) {
        if (!(n > p) || !(n > 0))
            return Problem(ModelProblem::SampleTooSmall, -1,
                           std::string("the ") + sex + " sample size " + Num(n) +
                               " is not larger than the " + Num(p) + " dimensions used");
    }

    const std::vector<int> idx = Indices(used);
    for (int j : idx) {
        for (const auto& [means, sex] :
             {std::pair{&m.meanMale, "male"}, std::pair{&m.meanFemale, "female"}}) {
            const auto& mean = (*means)[static_cast<std::size_t>(j)];
            if (!mean)
                return Problem(ModelProblem::MeanMissing, j,
                               std::string("the ") + sex + " mean of " + Name(j) + " is not given");
            if (!std::isfinite(*mean))
                return Problem(
                    ModelProblem::NotFinite, j,
                    std::string("the ") + sex + " mean of " + Name(j) + " is not a number");
        }
    }
    for (std::size_t a = 0; a < idx.size(); ++a) {
        for (std::size_t b = a; b < idx.size(); ++b) {
            const int i = idx[a], j = idx[b];
            const std::string what = i == j ? "the variance of " + Name(i)
                                            : "the covariance of " + Name(i) + " and " + Name(j);
            const auto& upper =
                m.covariance[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            const auto& lower =
                m.covariance[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)];
            if (!upper && !lower)
                return Problem(ModelProblem::CovarianceMissing, i, what + " is not given");
            if ((upper && !std::isfinite(*upper)) || (lower && !std::isfinite(*lower)))
                return Problem(ModelProblem::NotFinite, i, what + " is not a number");
            if (upper && lower &&
                std::abs(*upper - *lower) >
                    kSymmetryTolerance * std::max(std::abs(*upper), std::abs(*lower)))
                return Problem(ModelProblem::NotSymmetric, i,
                               what + " is given twice, as " + Num(*upper) + " and " + Num(*lower));
        }
    }
    if (idx.empty()) return {};

    const Eigen::MatrixXd s = CovarianceOf(m, idx);
    // Growing leading blocks name the first dimension that adds no variance of its own
    // (a variance not positive, or a combination of the dimensions before it).
    for (Eigen::Index k = 1; k <= s.rows(); ++k) {
        const Eigen::LLT<Eigen::MatrixXd> llt(s.topLeftCorner(k, k));
        if (llt.info() != Eigen::Success) {
            const int j = idx[static_cast<std::size_t>(k - 1)];
            return Problem(ModelProblem::NotPositiveDefinite, j,
                           "the covariance matrix is not positive definite: " + Name(j) +
                               (k == 1 ? " has no positive variance"
                                       : " adds no variance to the dimensions before it"));
        }
    }
    const Eigen::VectorXd scale = s.diagonal().cwiseSqrt().cwiseInverse();
    const Eigen::MatrixXd correlation = scale.asDiagonal() * s * scale.asDiagonal();
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(correlation, Eigen::EigenvaluesOnly);
    const double kappa = eigen.eigenvalues().maxCoeff() / eigen.eigenvalues().minCoeff();
    if (!(eigen.eigenvalues().minCoeff() > 0) || !(kappa <= kMaxConditionNumber))
        return Problem(ModelProblem::IllConditioned, -1,
                       "the correlations of the dimensions used have condition number " +
                           Num(kappa) + ", above " + Num(kMaxConditionNumber) +
                           ": the posteriors would depend on the rounding of the covariances");
    return {};
}

Consistency CheckConsistency(const ReferenceModel& m, const Equation& e) {
    const DimensionMask v = EquationDimensions(e);
    if (v.none() || CheckModel(m, v).code != ModelProblem::None)
        return {kNaN, kNaN, kNaN, kNaN, false};
    const Restricted r(m, v);
    Eigen::VectorXd c(static_cast<Eigen::Index>(r.idx.size()));
    for (std::size_t a = 0; a < r.idx.size(); ++a)
        c(static_cast<Eigen::Index>(a)) = e.c[static_cast<std::size_t>(r.idx[a])];
    const double centroidMale = c.dot(r.muM) + e.k;
    const double centroidFemale = c.dot(r.muF) + e.k;
    const double sigma2 = (r.llt.matrixU() * c).squaredNorm();  // cᵀSc = |Lᵀc|²
    const double sigma = std::sqrt(sigma2);
    const double evenOdds =
        (centroidMale + centroidFemale) / 2 -
        sigma2 * std::log(m.priorMale / m.priorFemale) / (centroidMale - centroidFemale);
    const bool ok = centroidMale > centroidFemale && std::abs(evenOdds) <= 0.05 * sigma;
    return {evenOdds, sigma, centroidMale, centroidFemale, ok};
}

EquationEvidence Evaluate(const ReferenceModel& m, const Equation& e, const DimensionValues& x) {
    EquationEvidence ev;
    const DimensionMask v = EquationDimensions(e);
    if (v.none()) return ev;
    for (int j : Indices(v))
        if (!Present(x, j)) ev.lost.set(static_cast<std::size_t>(j));

    ev.problem = CheckModel(m, v);
    if (ev.problem.code != ModelProblem::None) {
        // As without a model: a complete equation scores and votes by sign, else nothing.
        if (ev.lost.none()) {
            ev.scored = true;
            ev.score = e.k;
            for (int j : Indices(v))
                ev.score += e.c[static_cast<std::size_t>(j)] * *x[static_cast<std::size_t>(j)];
            ev.vote = ev.score < 0 ? 'F' : 'M';
        }
        return ev;
    }

    const double lnPriors = std::log(m.priorMale / m.priorFemale);
    const double nu = m.nMale + m.nFemale - 2;
    {
        const Restricted full(m, v);
        ev.accuracyFull = NormalCdf(std::sqrt(full.Mahalanobis2(full.muM - full.muF)) / 2);
    }

    Equation used = e;
    if (ev.lost.any()) {
        const DimensionMask kept = v & ~ev.lost;
        if (kept.none()) return ev;
        const Restricted r(m, kept);
        const Eigen::VectorXd delta = r.muM - r.muF;
        const Eigen::VectorXd raw = r.llt.solve(delta);  // S_RR⁻¹δ, rawᵀS_RR raw = Δ²
        const double distance = std::sqrt(delta.dot(raw));
        // Equal means on R: nothing to tell the sexes apart by.
        if (!(distance > 0) || !std::isfinite(distance)) return ev;
        const Eigen::VectorXd a = raw / distance;
        used = Equation{};
        for (std::size_t i = 0; i < r.idx.size(); ++i)
            used.c[static_cast<std::size_t>(r.idx[i])] = a(static_cast<Eigen::Index>(i));
        used.k = -a.dot(r.muM + r.muF) / 2 + lnPriors / distance;
        ev.refit = true;
        ev.refitEquation = used;
        ev.accuracyRefit = NormalCdf(distance / 2);
    }

    const Restricted r(m, EquationDimensions(used));
    const auto p = static_cast<Eigen::Index>(r.idx.size());
    Eigen::VectorXd c(p), xv(p);
    for (Eigen::Index a = 0; a < p; ++a) {
        const auto j = static_cast<std::size_t>(r.idx[static_cast<std::size_t>(a)]);
        c(a) = used.c[j];
        xv(a) = *x[j];
    }
    ev.scored = true;
    ev.score = c.dot(xv) + used.k;
    const double centroidMale = c.dot(r.muM) + used.k;
    const double centroidFemale = c.dot(r.muF) + used.k;
    const double sigma2 = (r.llt.matrixU() * c).squaredNorm();
    const double logOdds = (centroidMale - centroidFemale) / sigma2 *
                               (ev.score - (centroidMale + centroidFemale) / 2) +
                           lnPriors;
    ev.posteriorMale = 1 / (1 + std::exp(-logOdds));
    const auto pd = static_cast<double>(p);
    ev.typicalityMale = Typicality(r.Mahalanobis2(xv - r.muM), m.nMale, nu, pd);
    ev.typicalityFemale = Typicality(r.Mahalanobis2(xv - r.muF), m.nFemale, nu, pd);

    ev.vote = ev.score < 0 ? 'F' : 'M';
    if (m.threshold) {
        const double forVote = ev.vote == 'M' ? ev.posteriorMale : 1 - ev.posteriorMale;
        if (forVote < *m.threshold) ev.vote = '?';
    }
    return ev;
}

std::vector<Atypical> AtypicalMeasurements(const ReferenceModel& m, const DimensionValues& x,
                                           double limitSd) {
    std::vector<Atypical> out;
    for (int j = 0; j < kDimensionCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        const auto& variance = m.covariance[sj][sj];
        if (!Present(x, j) || !Present(m.meanMale, j) || !Present(m.meanFemale, j) || !variance ||
            !(*variance > 0) || !std::isfinite(*variance))
            continue;
        const double sd = std::sqrt(*variance);
        const Atypical a{j, *x[sj], (*x[sj] - *m.meanMale[sj]) / sd,
                         (*x[sj] - *m.meanFemale[sj]) / sd};
        if (std::abs(a.sdFromMale) > limitSd && std::abs(a.sdFromFemale) > limitSd)
            out.push_back(a);
    }
    return out;
}

std::optional<std::pair<double, double>> OverallTypicality(const ReferenceModel& m,
                                                           const DimensionValues& x) {
    DimensionMask covered;
    for (int j = 0; j < kDimensionCount; ++j) {
        if (!Present(x, j) || !m.meanMale[static_cast<std::size_t>(j)] ||
            !m.meanFemale[static_cast<std::size_t>(j)] || !Cov(m, j, j))
            continue;
        bool withOthers = true;
        for (int i : Indices(covered)) withOthers = withOthers && Cov(m, i, j).has_value();
        if (withOthers) covered.set(static_cast<std::size_t>(j));
    }
    if (covered.none() || CheckModel(m, covered).code != ModelProblem::None) return std::nullopt;
    const Restricted r(m, covered);
    Eigen::VectorXd xv(static_cast<Eigen::Index>(r.idx.size()));
    for (std::size_t a = 0; a < r.idx.size(); ++a)
        xv(static_cast<Eigen::Index>(a)) = *x[static_cast<std::size_t>(r.idx[a])];
    const double nu = m.nMale + m.nFemale - 2;
    const auto p = static_cast<double>(r.idx.size());
    return std::pair{Typicality(r.Mahalanobis2(xv - r.muM), m.nMale, nu, p),
                     Typicality(r.Mahalanobis2(xv - r.muF), m.nFemale, nu, p)};
}

}  // namespace morvik
