#include "core/model_derivatives.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <string_view>

#include "core/model_step.h"
#include "core/native_model.h"

namespace kalvora {
namespace {

using Op = NativeModel::Op;

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

inline bool Finite(double value) {
    return std::fabs(value) <= DBL_MAX;
}

// The math functions the program calls, by what their derivatives need.
enum Function : std::uint8_t {
    Abs,
    Acos,
    Asin,
    Atan,
    Cos,
    Cosh,
    Deg,
    Exp,
    Log,
    Log10,
    Rad,
    Sin,
    Sinh,
    Sqrt,
    Tan,
    Tanh,
    Piecewise,  // floor and ceil
    Pow,
    Atan2,
    Fmod
};

Function FunctionOf(std::string_view name) {
    static constexpr std::pair<std::string_view, Function> kNames[] = {
        {"abs", Abs},   {"acos", Acos}, {"asin", Asin},   {"atan", Atan}, {"cos", Cos},
        {"cosh", Cosh}, {"deg", Deg},   {"exp", Exp},     {"log", Log},   {"log10", Log10},
        {"rad", Rad},   {"sin", Sin},   {"sinh", Sinh},   {"sqrt", Sqrt}, {"tan", Tan},
        {"tanh", Tanh}, {"pow", Pow},   {"atan2", Atan2}, {"fmod", Fmod}};
    for (const auto& [text, function] : kNames) {
        if (text == name) {
            return function;
        }
    }
    return Piecewise;
}

// d/dx of a math function of one argument at x, whose value is v.
double UnaryDerivative(Function function, double x, double v) {
    switch (function) {
        case Abs:
            // Not differentiable at 0; 0 is the mean of the two one-sided derivatives.
            return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0;
        case Acos:
            return -1.0 / std::sqrt(1.0 - x * x);
        case Asin:
            return 1.0 / std::sqrt(1.0 - x * x);
        case Atan:
            return 1.0 / (1.0 + x * x);
        case Cos:
            return -std::sin(x);
        case Cosh:
            return std::sinh(x);
        case Deg:
            return 1.0 / kRadiansPerDegree;
        case Exp:
            return v;
        case Log:
            return 1.0 / x;
        case Log10:
            return 1.0 / (x * std::numbers::ln10);
        case Rad:
            return kRadiansPerDegree;
        case Sin:
            return std::cos(x);
        case Sinh:
            return std::cosh(x);
        case Sqrt:
            return 0.5 / v;
        case Tan:
            return 1.0 + v * v;
        case Tanh:
            return 1.0 - v * v;
        default:
            return 0.0;  // floor and ceil: piecewise constant
    }
}

}  // namespace

const char* DerivativeMethodName(DerivativeMethod method) {
    return method == DerivativeMethod::Exact ? "exact" : "finite differences";
}

DualProgram::DualProgram(std::shared_ptr<const NativeModel> program)
    : program_(std::move(program)) {
    values_.assign(static_cast<std::size_t>(program_->registerCount()), 0.0);
    program_->prepare(values_.data());
    for (const NativeModel::Instruction& instruction : program_->code()) {
        functions_.push_back(instruction.op == Op::Pow ? Pow
                             : instruction.op == Op::Call1 || instruction.op == Op::Call2
                                 ? FunctionOf(NativeModel::FunctionName(instruction))
                                 : Piecewise);
    }
}

int DualProgram::argumentCount() const {
    return program_->argumentCount();
}

int DualProgram::resultCount() const {
    return program_->resultCount();
}

double DualProgram::value(int result) const {
    return values_[program_->resultRegister(result)];
}

double DualProgram::derivative(int result, int direction) const {
    return tangents_[static_cast<std::size_t>(program_->resultRegister(result)) * directions_ +
                     direction];
}

bool DualProgram::run(const double* arguments, int directions, const double* seeds) {
    const int n = directions;
    // Registers other than the arguments hold constants (derivative 0, never written) or values
    // the program writes before it reads them: only the arguments' derivatives are set anew.
    if (directions_ != n) {
        directions_ = n;
        tangents_.assign(values_.size() * static_cast<std::size_t>(n), 0.0);
    }
    const int count = program_->argumentCount();
    for (int i = 0; i < count; ++i) {
        if (!Finite(arguments[i])) {
            return false;
        }
        values_[i] = arguments[i];
        std::copy_n(seeds + static_cast<std::size_t>(i) * n, n,
                    tangents_.begin() + static_cast<std::ptrdiff_t>(i) * n);
    }
    // One or two directions (a largest exponent, a plane's map) are the common cases: with their
    // count known when compiled, the loops over the directions vanish into straight code.
    switch (n) {
        case 1:
            return runDirections<1>(n);
        case 2:
            return runDirections<2>(n);
        case 3:
            return runDirections<3>(n);
        default:
            return runDirections<0>(n);
    }
}

template <int Fixed>
bool DualProgram::runDirections(int directions) {
    const int n = Fixed > 0 ? Fixed : directions;
    double* r = values_.data();
    double* t = tangents_.data();
    const auto& code = program_->code();
    const auto& operands = program_->operands();
    std::size_t at = 0;
    while (true) {
        const NativeModel::Instruction& in = code[at];
        double* dt = t + static_cast<std::size_t>(in.dst) * n;
        const double* ta = t + static_cast<std::size_t>(in.a) * n;
        const double* tb = t + static_cast<std::size_t>(in.b) * n;
        const double a = r[in.a];
        const double b = r[in.b];
        double value = 0;
        // Each case computes the derivatives into dt after reading every operand's, so dt may be
        // an operand's own register, as the program allows.
        switch (in.op) {
            case Op::Add:
                value = a + b;
                for (int d = 0; d < n; ++d) {
                    dt[d] = ta[d] + tb[d];
                }
                break;
            case Op::Sub:
                value = a - b;
                for (int d = 0; d < n; ++d) {
                    dt[d] = ta[d] - tb[d];
                }
                break;
            case Op::Mul:
                value = a * b;
                for (int d = 0; d < n; ++d) {
                    dt[d] = ta[d] * b + a * tb[d];
                }
                break;
            case Op::Div:
                value = a / b;
                for (int d = 0; d < n; ++d) {
                    dt[d] = (ta[d] - value * tb[d]) / b;
                }
                break;
            case Op::Mod: {
                // a - floor(a/b) b, the floor being piecewise constant.
                const double quotient = std::floor(a / b);
                value = a - quotient * b;
                for (int d = 0; d < n; ++d) {
                    dt[d] = ta[d] - quotient * tb[d];
                }
                break;
            }
            case Op::Neg:
                value = -a;
                for (int d = 0; d < n; ++d) {
                    dt[d] = -ta[d];
                }
                break;
            case Op::Move:
                value = a;
                if (dt != ta) {
                    std::copy_n(ta, n, dt);
                }
                break;
            case Op::Pow:
            case Op::Call2: {
                const auto function = static_cast<Function>(functions_[at]);
                // A square as a * a: pow is the costliest call of a program such as x^2, and
                // a * a is the correctly rounded square, from which pow differs by at most one
                // unit in the last place; no derivative or root notices.
                value = in.op == Op::Pow ? (b == 2 ? a * a : std::pow(a, b)) : in.binary(a, b);
                double da = 0;
                double db = 0;
                if (function == Pow) {
                    // Each part only where it is needed: x^2 at a negative x has no log, and
                    // 0^0 no power below it.
                    const bool aVaries = std::any_of(ta, ta + n, [](double v) { return v != 0; });
                    const bool bVaries = std::any_of(tb, tb + n, [](double v) { return v != 0; });
                    // Squares are the common case, and pow the costliest step of a program.
                    da = !aVaries || b == 0 ? 0.0 : b == 2 ? 2 * a : b * std::pow(a, b - 1);
                    db = bVaries && value != 0 ? value * std::log(a) : 0.0;
                } else if (function == Atan2) {
                    const double scale = a * a + b * b;
                    da = b / scale;
                    db = -a / scale;
                } else {
                    // fmod: a - trunc(a/b) b.
                    da = 1.0;
                    db = -std::trunc(a / b);
                }
                for (int d = 0; d < n; ++d) {
                    dt[d] = da * ta[d] + db * tb[d];
                }
                break;
            }
            case Op::Call1: {
                value = in.unary(a);
                const double slope =
                    UnaryDerivative(static_cast<Function>(functions_[at]), a, value);
                for (int d = 0; d < n; ++d) {
                    dt[d] = slope * ta[d];
                }
                break;
            }
            case Op::Min:
            case Op::Max: {
                // The same choice as the program: the first operand strictly beyond the others.
                const std::uint32_t* operand = operands.data() + in.a;
                std::uint32_t chosen = operand[0];
                for (std::uint32_t i = 1; i < in.b; ++i) {
                    const double candidate = r[operand[i]];
                    if (in.op == Op::Min ? candidate < r[chosen] : candidate > r[chosen]) {
                        chosen = operand[i];
                    }
                }
                value = r[chosen];
                if (dt != t + static_cast<std::size_t>(chosen) * n) {
                    std::copy_n(t + static_cast<std::size_t>(chosen) * n, n, dt);
                }
                break;
            }
            case Op::JumpIfLt:
                at = a < b ? in.target : at + 1;
                continue;
            case Op::JumpIfLe:
                at = a <= b ? in.target : at + 1;
                continue;
            case Op::JumpIfEq:
                at = a == b ? in.target : at + 1;
                continue;
            case Op::JumpIfNe:
                at = a != b ? in.target : at + 1;
                continue;
            case Op::JumpUnlessLt:
                at = !(a < b) ? in.target : at + 1;
                continue;
            case Op::JumpUnlessLe:
                at = !(a <= b) ? in.target : at + 1;
                continue;
            case Op::JumpUnlessEq:
                at = !(a == b) ? in.target : at + 1;
                continue;
            case Op::JumpUnlessNe:
                at = !(a != b) ? in.target : at + 1;
                continue;
            case Op::Jump:
                at = in.target;
                continue;
            case Op::End:
                return true;
        }
        if (!Finite(value)) {
            return false;
        }
        for (int d = 0; d < n; ++d) {
            if (!Finite(dt[d])) {
                return false;
            }
        }
        r[in.dst] = value;
        ++at;
    }
}

ModelDerivatives::ModelDerivatives(std::shared_ptr<const NativeModel> program, int variables,
                                   std::vector<double> parameters, ModelFunction interpreter)
    : variables_(variables),
      parameters_(std::move(parameters)),
      method_(DerivativeMethod::FiniteDifference),
      interpreter_(std::move(interpreter)) {
    const int argumentCount = variables_ + static_cast<int>(parameters_.size());
    if (program != nullptr && program->covered() && program->argumentCount() == argumentCount &&
        program->resultCount() >= variables_) {
        dual_ = std::make_unique<DualProgram>(std::move(program));
        method_ = DerivativeMethod::Exact;
    }
    arguments_.resize(static_cast<std::size_t>(argumentCount));
    plus_.resize(static_cast<std::size_t>(variables_));
    minus_.resize(static_cast<std::size_t>(variables_));
}

bool ModelDerivatives::evaluate(const double* arguments, double* fx) {
    if (dual_ != nullptr) {
        if (!dual_->run(arguments, 0, nullptr)) {
            return false;
        }
        for (int i = 0; i < variables_; ++i) {
            fx[i] = dual_->value(i);
        }
        return true;
    }
    if (!interpreter_ || !interpreter_(arguments, fx)) {
        return false;
    }
    return std::all_of(fx, fx + variables_, Finite);
}

bool ModelDerivatives::values(const double* x, double* fx) {
    std::copy_n(x, variables_, arguments_.begin());
    std::copy(parameters_.begin(), parameters_.end(), arguments_.begin() + variables_);
    return evaluate(arguments_.data(), fx);
}

// The step is scaled to the value, (machine epsilon)^(1/3) relative, which balances the
// truncation error of the central difference (h^2) against the rounding error (eps/h): about
// 1e-11 relative error where f is smooth. x + h - x is taken as the step actually made, so that
// the rounding of x + h does not add to the error.
bool ModelDerivatives::difference(std::vector<double>& arguments, int argument, double* column,
                                  int stride) {
    const double x = arguments[argument];
    const double scale = std::cbrt(DBL_EPSILON) * std::max(1.0, std::fabs(x));
    const double up = x + scale;
    const double down = x - scale;
    arguments[argument] = up;
    const bool plusOk = evaluate(arguments.data(), plus_.data());
    arguments[argument] = down;
    const bool minusOk = evaluate(arguments.data(), minus_.data());
    arguments[argument] = x;
    if (!plusOk || !minusOk) {
        return false;
    }
    const double width = up - down;
    for (int i = 0; i < variables_; ++i) {
        column[static_cast<std::ptrdiff_t>(i) * stride] = (plus_[i] - minus_[i]) / width;
    }
    return true;
}

bool ModelDerivatives::jacobian(const double* x, double* fx, double* jacobian) {
    const int n = variables_;
    std::copy_n(x, n, arguments_.begin());
    std::copy(parameters_.begin(), parameters_.end(), arguments_.begin() + n);
    if (dual_ != nullptr) {
        const std::size_t count = arguments_.size();
        seeds_.assign(count * static_cast<std::size_t>(n), 0.0);
        for (int i = 0; i < n; ++i) {
            seeds_[static_cast<std::size_t>(i) * n + i] = 1.0;
        }
        if (!dual_->run(arguments_.data(), n, seeds_.data())) {
            return false;
        }
        for (int i = 0; i < n; ++i) {
            fx[i] = dual_->value(i);
            for (int j = 0; j < n; ++j) {
                jacobian[i * n + j] = dual_->derivative(i, j);
            }
        }
        return true;
    }
    if (!evaluate(arguments_.data(), fx)) {
        return false;
    }
    for (int j = 0; j < n; ++j) {
        if (!difference(arguments_, j, jacobian + j, n)) {
            return false;
        }
    }
    return true;
}

bool ModelDerivatives::directional(const double* x, const double* v, double* fx, double* jv) {
    const int n = variables_;
    if (dual_ == nullptr) {
        full_.resize(static_cast<std::size_t>(n) * n);
        if (!jacobian(x, fx, full_.data())) {
            return false;
        }
        for (int i = 0; i < n; ++i) {
            double sum = 0;
            for (int j = 0; j < n; ++j) {
                sum += full_[static_cast<std::size_t>(i) * n + j] * v[j];
            }
            jv[i] = sum;
        }
        return true;
    }
    std::copy_n(x, n, arguments_.begin());
    std::copy(parameters_.begin(), parameters_.end(), arguments_.begin() + n);
    seeds_.assign(arguments_.size(), 0.0);
    std::copy_n(v, n, seeds_.begin());
    if (!dual_->run(arguments_.data(), 1, seeds_.data())) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        fx[i] = dual_->value(i);
        jv[i] = dual_->derivative(i, 0);
    }
    return true;
}

bool ModelDerivatives::parameterDerivative(const double* x, int parameter, double* fx,
                                           double* derivative) {
    const int n = variables_;
    std::copy_n(x, n, arguments_.begin());
    std::copy(parameters_.begin(), parameters_.end(), arguments_.begin() + n);
    if (dual_ != nullptr) {
        seeds_.assign(arguments_.size(), 0.0);
        seeds_[static_cast<std::size_t>(n + parameter)] = 1.0;
        if (!dual_->run(arguments_.data(), 1, seeds_.data())) {
            return false;
        }
        for (int i = 0; i < n; ++i) {
            fx[i] = dual_->value(i);
            derivative[i] = dual_->derivative(i, 0);
        }
        return true;
    }
    return evaluate(arguments_.data(), fx) && difference(arguments_, n + parameter, derivative, 1);
}

bool RungeKuttaStepJacobian(ModelDerivatives& flow, double h, const double* x, double* next,
                            double* jacobian) {
    const int n = flow.variables();
    const auto size = static_cast<std::size_t>(n);
    std::vector<double> k1(size), k2(size), k3(size), y(size);
    std::vector<double> a1(size * size), a2(size * size), a3(size * size);
    // Stage derivatives: K1 = A1, K2 = A2 (I + h/2 K1), K3 = A3 (I - h K1 + 2h K2), where Ai is
    // the Jacobian of f at the stage's point and Ki the derivative of stage i by the start.
    std::vector<double> s2(size * size), s3(size * size), dk2(size * size), dk3(size * size);
    if (!flow.jacobian(x, k1.data(), a1.data())) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        y[i] = x[i] + h * k1[i] / 2;
    }
    if (!flow.jacobian(y.data(), k2.data(), a2.data())) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            s2[i * n + j] = (i == j ? 1.0 : 0.0) + h / 2 * a1[i * n + j];
        }
    }
    const auto multiply = [n](const std::vector<double>& left, const std::vector<double>& right,
                              std::vector<double>& out) {
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                double sum = 0;
                for (int k = 0; k < n; ++k) {
                    sum += left[i * n + k] * right[k * n + j];
                }
                out[i * n + j] = sum;
            }
        }
    };
    multiply(a2, s2, dk2);
    for (int i = 0; i < n; ++i) {
        y[i] = (x[i] - h * k1[i]) + 2 * h * k2[i];
    }
    if (!flow.jacobian(y.data(), k3.data(), a3.data())) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            s3[i * n + j] = (i == j ? 1.0 : 0.0) - h * a1[i * n + j] + 2 * h * dk2[i * n + j];
        }
    }
    multiply(a3, s3, dk3);
    for (int i = 0; i < n; ++i) {
        next[i] = ((k2[i] * 4 + k1[i]) + k3[i]) * h / 6 + x[i];
        for (int j = 0; j < n; ++j) {
            jacobian[i * n + j] = (i == j ? 1.0 : 0.0) +
                                  h / 6 * (a1[i * n + j] + 4 * dk2[i * n + j] + dk3[i * n + j]);
        }
    }
    return std::all_of(next, next + n, Finite) &&
           std::all_of(jacobian, jacobian + static_cast<std::ptrdiff_t>(n) * n, Finite);
}

ModelDerivatives MakeModelDerivatives(ModelEvaluator& model) {
    const int variables = std::clamp<int>(model.model().variableCount, 0, kModelListCapacity);
    const int parameterCount = std::clamp<int>(model.model().parameterCount, 0, kModelListCapacity);
    std::vector<double> parameters(static_cast<std::size_t>(parameterCount));
    for (int j = 0; j < parameterCount; ++j) {
        parameters[j] = static_cast<double>(model.parameterValues[j]);
    }
    ModelFunction interpreter = [&model, variables, parameterCount](const double* arguments,
                                                                    double* results) {
        StateVector in{};
        StateVector out{};
        for (int i = 0; i < variables; ++i) {
            in[i] = arguments[i];
        }
        // The evaluator's own values and flag stay as they were: a start that leads the model
        // astray is an everyday event of a search, not a failure of the run.
        const auto saved = model.parameterValues;
        const bool failedBefore = model.errorFlag;
        for (int j = 0; j < parameterCount; ++j) {
            model.parameterValues[j] = arguments[variables + j];
        }
        model.errorFlag = false;
        EvaluateModelOnce(model, in, out);
        const bool failed = model.errorFlag;
        model.errorFlag = failedBefore;
        model.parameterValues = saved;
        if (failed) {
            return false;
        }
        for (int i = 0; i < variables; ++i) {
            results[i] = static_cast<double>(out[i]);
        }
        return true;
    };
    return ModelDerivatives(model.nativeModel, variables, std::move(parameters),
                            std::move(interpreter));
}

}  // namespace kalvora
