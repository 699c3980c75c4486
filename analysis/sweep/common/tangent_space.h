#pragma once

#include <Eigen/Dense>
#include <vector>

#include "core/model_derivatives.h"
#include "core/model_evaluator.h"

namespace kalvora {

// What the logarithm of a growth adds when a tangent vector collapses to zero (a Jacobian of lower
// rank, a superstable point hit exactly): the same penalty the two-trajectory method gives to
// orbits that coincide, so that both methods agree on such steps.
inline constexpr Extended kCollapsedDirectionPenalty = -100;

// Tangent vectors carried along an orbit by the model's Jacobian, kept orthonormal by a QR
// factorisation after every step (the method of Benettin et al. and of Shimada and Nagashima): the
// logarithms of the diagonal of R add up to the growth of 1, 2, ... k-dimensional volumes, whose
// averages are the k largest Lyapunov exponents. No perturbation size enters, so the estimate has
// no bias from a finite separation and none from a state that grows large.
//
// A map carries the vectors by the Jacobian of its right-hand side; a flow by the Jacobian of the
// Runge-Kutta step itself (Kutta's three stages, or the classical four for the fourth-order and
// the adaptive integrator), which is the variational equation integrated with the same step as the
// state. The state itself moves by ModelStep, so it is the orbit every other analysis sees.
//
// Made on the evaluator's current parameter values; one per thread and run.
class TangentSpace {
  public:
    TangentSpace(ModelEvaluator& model, ModelKind kind, int directions);

    int directions() const { return directions_; }
    // One model step of state with the tangent vectors. False when the step failed (errorFlag is
    // then set) or its Jacobian was not finite (errorFlag is set too: the run cannot go on).
    bool step(StateVector& state);
    long long steps() const { return steps_; }
    // The sum over the steps so far of the logarithmic growth along direction i, in QR order.
    Extended sum(int i) const;
    // sum(i) per iteration (a map) or per unit of time (a flow); 0 before the first step.
    Extended exponent(int i) const;

  private:
    // The tangent vectors through one step into product_: the map's Jacobian times them, or the
    // variational equation through the three stages of Kutta's step (the same stages as the
    // state's, so the vectors follow the numerical flow the orbit follows).
    bool carryThroughMap();
    bool carryThroughFlow();
    bool carryThroughFourStages();

    ModelEvaluator& model_;
    ModelKind kind_;
    int n_;
    int directions_;
    double h_;
    bool fourStages_;
    ModelDerivatives derivatives_;
    std::vector<double> x_, fx_, jacobian_, vectors_, product_;
    // The flow's stages: their points and slopes, and the stage derivatives of the vectors.
    std::vector<double> y_, k1_, k2_, k3_, stage1_, stage2_, stage3_, stage4_, moved_;
    using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
    // Kept from step to step, so that the factorisation allocates nothing after the first.
    Eigen::HouseholderQR<Matrix> qr_;
    Matrix thin_;
    Eigen::VectorXd workspace_;
    std::vector<Extended> sums_;
    long long steps_ = 0;
};

// The Kaplan-Yorke (Lyapunov) dimension of exponents sorted from the largest down: j + S_j /
// |lambda_{j+1}| with j the most exponents whose sum S_j is not negative; 0 when the largest is
// negative, N when all N add up to a non-negative sum.
Extended KaplanYorkeDimension(const std::vector<Extended>& descending);

}  // namespace kalvora
