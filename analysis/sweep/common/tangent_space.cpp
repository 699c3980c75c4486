#include "analysis/sweep/common/tangent_space.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "core/model_step.h"

namespace kalvora {
namespace {

using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

// The logarithm of a double is exact to its rounding in double; only the sum needs the longer type.
// One vector is rescaled to length 1 when it leaves this range: far inside the doubles' range, so
// that one more step cannot overflow or underflow it.
constexpr double kRescaleBelow = 1e-100;
constexpr double kRescaleAbove = 1e100;

Extended LogGrowth(double length) {
    return length > 0 ? static_cast<Extended>(std::log(length)) : kCollapsedDirectionPenalty;
}

// The factorisation of a square set of vectors of a small system at a size known when compiled:
// Eigen then keeps everything in registers, several times faster than at a dynamic size, and the
// factorisation is most of a step's cost. Adds log |R_ii| to sums and leaves Q in vectors.
template <int N>
void FactoriseFixed(double* vectors, Extended* sums) {
    using Square = Eigen::Matrix<double, N, N, Eigen::RowMajor>;
    Eigen::Map<Square> map(vectors);
    const Eigen::HouseholderQR<Square> qr(map);
    for (int i = 0; i < N; ++i) {
        sums[i] += LogGrowth(std::fabs(qr.matrixQR()(i, i)));
    }
    map = qr.householderQ();
}

}  // namespace

TangentSpace::TangentSpace(ModelEvaluator& model, ModelKind kind, int directions)
    : model_(model),
      kind_(kind),
      n_(model.model().variableCount),
      directions_(std::clamp(directions, 1, std::max(1, model.model().variableCount))),
      h_(static_cast<double>(model.model().stepSize)),
      // The classical step has four stages; the adaptive method's samples are followed by it too,
      // the nearest fixed step of h to the adaptive one (its error per unit time is of order h^4).
      fourStages_(kind == ModelKind::Continuous &&
                  model.model().integration.method != IntegrationMethod::RungeKutta3),
      derivatives_(MakeModelDerivatives(model)) {
    const auto n = static_cast<std::size_t>(n_);
    const auto k = static_cast<std::size_t>(directions_);
    x_.resize(n);
    fx_.resize(n);
    jacobian_.resize(n * n);
    product_.resize(n * k);
    if (kind == ModelKind::Continuous) {
        y_.resize(n);
        k1_.resize(n);
        k2_.resize(n);
        stage1_.resize(n * k);
        stage2_.resize(n * k);
        stage3_.resize(n * k);
        moved_.resize(n * k);
        if (fourStages_) {
            k3_.resize(n);
            stage4_.resize(n * k);
        }
    }
    // The first k unit vectors: any start with a component along every direction would do, and
    // these make the one-dimensional case the plain derivative along the first variable.
    vectors_.assign(n * k, 0.0);
    for (std::size_t j = 0; j < k; ++j) {
        vectors_[j * k + j] = 1.0;
    }
    sums_.assign(k, 0);
    qr_ = Eigen::HouseholderQR<Matrix>(n_, directions_);
    thin_.resize(n_, directions_);
    workspace_.resize(directions_);
}

bool TangentSpace::carryThroughMap() {
    if (directions_ == 1) {
        return derivatives_.directional(x_.data(), vectors_.data(), fx_.data(), product_.data());
    }
    if (!derivatives_.jacobian(x_.data(), fx_.data(), jacobian_.data())) {
        return false;
    }
    Eigen::Map<const Matrix> jacobian(jacobian_.data(), n_, n_);
    Eigen::Map<const Matrix> vectors(vectors_.data(), n_, directions_);
    Eigen::Map<Matrix> product(product_.data(), n_, directions_);
    product.noalias() = jacobian * vectors;
    return true;
}

bool TangentSpace::carryThroughFourStages() {
    const int n = n_;
    const int k = directions_;
    const double h = h_;
    Eigen::Map<const Matrix> jacobian(jacobian_.data(), n, n);
    Eigen::Map<const Matrix> vectors(vectors_.data(), n, k);
    Eigen::Map<Matrix> s1(stage1_.data(), n, k);
    Eigen::Map<Matrix> s2(stage2_.data(), n, k);
    Eigen::Map<Matrix> s3(stage3_.data(), n, k);
    Eigen::Map<Matrix> s4(stage4_.data(), n, k);
    Eigen::Map<Matrix> moved(moved_.data(), n, k);
    Eigen::Map<Matrix> product(product_.data(), n, k);
    // k1 = f(x), k2 = f(x + h/2 k1), k3 = f(x + h/2 k2), k4 = f(x + h k3), and the vectors through
    // the Jacobians at the same four points.
    if (!derivatives_.jacobian(x_.data(), k1_.data(), jacobian_.data())) {
        return false;
    }
    s1.noalias() = jacobian * vectors;
    for (int i = 0; i < n; ++i) {
        y_[i] = x_[i] + h / 2 * k1_[i];
    }
    if (!derivatives_.jacobian(y_.data(), k2_.data(), jacobian_.data())) {
        return false;
    }
    moved = vectors + (h / 2) * s1;
    s2.noalias() = jacobian * moved;
    for (int i = 0; i < n; ++i) {
        y_[i] = x_[i] + h / 2 * k2_[i];
    }
    if (!derivatives_.jacobian(y_.data(), k3_.data(), jacobian_.data())) {
        return false;
    }
    moved = vectors + (h / 2) * s2;
    s3.noalias() = jacobian * moved;
    for (int i = 0; i < n; ++i) {
        y_[i] = x_[i] + h * k3_[i];
    }
    if (!derivatives_.jacobian(y_.data(), fx_.data(), jacobian_.data())) {
        return false;
    }
    moved = vectors + h * s3;
    s4.noalias() = jacobian * moved;
    product = vectors + (h / 6) * (s1 + 2 * s2 + 2 * s3 + s4);
    return product.allFinite();
}

bool TangentSpace::carryThroughFlow() {
    if (fourStages_) {
        return carryThroughFourStages();
    }
    const int n = n_;
    const int k = directions_;
    const double h = h_;
    Eigen::Map<const Matrix> jacobian(jacobian_.data(), n, n);
    Eigen::Map<const Matrix> vectors(vectors_.data(), n, k);
    Eigen::Map<Matrix> s1(stage1_.data(), n, k);
    Eigen::Map<Matrix> s2(stage2_.data(), n, k);
    Eigen::Map<Matrix> s3(stage3_.data(), n, k);
    Eigen::Map<Matrix> moved(moved_.data(), n, k);
    Eigen::Map<Matrix> product(product_.data(), n, k);
    // Kutta's stages: k1 = f(x), k2 = f(x + h/2 k1), k3 = f(x - h k1 + 2h k2); the vectors' stage
    // derivatives are the Jacobians there applied to the same combinations of the vectors.
    if (!derivatives_.jacobian(x_.data(), k1_.data(), jacobian_.data())) {
        return false;
    }
    s1.noalias() = jacobian * vectors;
    for (int i = 0; i < n; ++i) {
        y_[i] = x_[i] + h * k1_[i] / 2;
    }
    if (!derivatives_.jacobian(y_.data(), k2_.data(), jacobian_.data())) {
        return false;
    }
    moved = vectors + (h / 2) * s1;
    s2.noalias() = jacobian * moved;
    for (int i = 0; i < n; ++i) {
        y_[i] = (x_[i] - h * k1_[i]) + 2 * h * k2_[i];
    }
    if (!derivatives_.jacobian(y_.data(), fx_.data(), jacobian_.data())) {
        return false;
    }
    moved = vectors - h * s1 + (2 * h) * s2;
    s3.noalias() = jacobian * moved;
    product = vectors + (h / 6) * (s1 + 4 * s2 + s3);
    return product.allFinite();
}

bool TangentSpace::step(StateVector& state) {
    for (int i = 0; i < n_; ++i) {
        x_[i] = static_cast<double>(state[i]);
    }
    // The vectors move with the derivatives at the point the step starts from, before the step
    // moves it.
    const bool derivativeOk =
        kind_ == ModelKind::Continuous ? carryThroughFlow() : carryThroughMap();
    ModelStep(model_, kind_, state);
    if (model_.errorFlag) {
        return false;
    }
    if (!derivativeOk) {
        model_.errorFlag = true;
        return false;
    }
    const int k = directions_;
    Eigen::Map<Matrix> vectors(vectors_.data(), n_, k);
    Eigen::Map<Matrix> product(product_.data(), n_, k);
    if (k == 1) {
        // One vector needs no factorisation, and no normalisation while its length stays far
        // from overflow and underflow: the logarithm of the growth is taken only when it is
        // rescaled (or at the end, see sum()), which spares a logarithm per step.
        const double length = product.norm();
        if (!(length > kRescaleBelow && length < kRescaleAbove)) {
            sums_[0] += LogGrowth(length);
            if (length > 0) {
                vectors = product / length;
            }
        } else {
            vectors = product;
        }
    } else if (k == n_ && k >= 2 && k <= 4) {
        switch (k) {
            case 2:
                FactoriseFixed<2>(product_.data(), sums_.data());
                break;
            case 3:
                FactoriseFixed<3>(product_.data(), sums_.data());
                break;
            default:
                FactoriseFixed<4>(product_.data(), sums_.data());
                break;
        }
        vectors = product;
    } else {
        qr_.compute(product);
        for (int i = 0; i < k; ++i) {
            sums_[i] += LogGrowth(std::fabs(qr_.matrixQR()(i, i)));
        }
        // The first k columns of Q: the reflections applied to the first k unit vectors.
        thin_.setIdentity();
        thin_.applyOnTheLeft(qr_.householderQ());
        vectors = thin_;
    }
    ++steps_;
    return true;
}

Extended TangentSpace::sum(int i) const {
    if (directions_ == 1) {
        // The growth since the last rescaling is the vector's length.
        Eigen::Map<const Matrix> vectors(vectors_.data(), n_, 1);
        return sums_[0] + static_cast<Extended>(std::log(vectors.norm()));
    }
    return sums_[i];
}

Extended TangentSpace::exponent(int i) const {
    if (steps_ == 0) {
        return 0;
    }
    Extended value = sum(i) / static_cast<Extended>(steps_);
    if (kind_ == ModelKind::Continuous) {
        value /= model_.model().stepSize;
    }
    return value;
}

Extended KaplanYorkeDimension(const std::vector<Extended>& descending) {
    Extended sum = 0;
    for (std::size_t j = 0; j < descending.size(); ++j) {
        if (sum + descending[j] < 0) {
            return static_cast<Extended>(j) + sum / std::fabs(descending[j]);
        }
        sum += descending[j];
    }
    return static_cast<Extended>(descending.size());
}

}  // namespace kalvora
