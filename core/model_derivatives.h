#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/model_evaluator.h"

namespace kalvora {

class NativeModel;

// How a Jacobian was made: exactly (the compiled program run on dual numbers, exact to rounding)
// or by central differences (models the compiler does not take, run in the interpreter).
enum class DerivativeMethod { Exact, FiniteDifference };

const char* DerivativeMethodName(DerivativeMethod method);

// The compiled program evaluated on dual numbers: every register carries its value and its
// derivatives along a number of directions, seeded on the arguments. Branches are taken as the
// values take them, floor and ceil have derivative 0, and min and max pass on the derivative of
// the operand they choose. One per thread: it holds its own registers.
class DualProgram {
  public:
    explicit DualProgram(std::shared_ptr<const NativeModel> program);

    int argumentCount() const;
    int resultCount() const;

    // arguments: argumentCount() values; seeds: for each argument its derivatives along the
    // directions (argumentCount() rows of `directions`). False when a value or a derivative was
    // not finite; the results are then undefined.
    bool run(const double* arguments, int directions, const double* seeds);
    double value(int result) const;
    // Derivative of result along direction.
    double derivative(int result, int direction) const;

  private:
    // The program over the registers set by run, with `Fixed` directions (0: `directions`).
    template <int Fixed>
    bool runDirections(int directions);

    std::shared_ptr<const NativeModel> program_;
    // For each operation that calls a math function, which one: looked up once, not per call.
    std::vector<std::uint8_t> functions_;
    std::vector<double> values_;
    std::vector<double> tangents_;
    int directions_ = 0;
};

// One call of the model function on doubles, as the interpreter makes it: the arguments
// (variables, then parameters) in, the first results out (the next values of a map, the
// derivatives of a flow). False when the call failed or a result was not finite.
using ModelFunction = std::function<bool(const double* arguments, double* results)>;

// The model function of N variables with its Jacobian with respect to the variables and its
// derivative with respect to one parameter, exact when a compiled program is given and covers the
// model, by central differences with a step scaled to each value otherwise. The parameters are
// held here and may be changed between calls. One per thread.
class ModelDerivatives {
  public:
    ModelDerivatives(std::shared_ptr<const NativeModel> program, int variables,
                     std::vector<double> parameters, ModelFunction interpreter);

    DerivativeMethod method() const { return method_; }
    int variables() const { return variables_; }
    const std::vector<double>& parameters() const { return parameters_; }
    void setParameter(int index, double value) { parameters_[index] = value; }

    // f(x): N values. False when the model failed or a value was not finite.
    bool values(const double* x, double* fx);
    // f(x) and its N x N Jacobian, row-major: jacobian[i * N + j] = d f_i / d x_j.
    bool jacobian(const double* x, double* fx, double* jacobian);
    // f(x) and the Jacobian times v (N values): one direction of dual numbers instead of N when
    // exact.
    bool directional(const double* x, const double* v, double* fx, double* jv);
    // f(x) and d f / d parameter (N values).
    bool parameterDerivative(const double* x, int parameter, double* fx, double* derivative);

  private:
    bool evaluate(const double* arguments, double* fx);
    // Central differences of f along argument `argument` into column, strided by stride.
    bool difference(std::vector<double>& arguments, int argument, double* column, int stride);

    int variables_;
    std::vector<double> parameters_;
    DerivativeMethod method_;
    std::unique_ptr<DualProgram> dual_;
    ModelFunction interpreter_;
    std::vector<double> arguments_;
    std::vector<double> seeds_;
    std::vector<double> plus_;
    std::vector<double> minus_;
    std::vector<double> full_;
};

// Kutta's third-order step of size h, made on doubles, and the Jacobian of that one-step map by
// the chain rule through its three stages (row-major N x N). Used where an analysis of a flow needs
// the derivative of the step rather than of the right-hand side.
bool RungeKuttaStepJacobian(ModelDerivatives& flow, double h, const double* x, double* next,
                            double* jacobian);

// The derivatives of the evaluator's model at the evaluator's parameter values: exact when its
// script is compiled, otherwise through the evaluator's interpreter (which the result then uses:
// keep the evaluator on this thread and alive while the result is used). Messages of a failing
// call go where the evaluator's messages go.
ModelDerivatives MakeModelDerivatives(ModelEvaluator& model);

}  // namespace kalvora
