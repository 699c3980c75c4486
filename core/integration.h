#pragma once

#include <optional>
#include <string>

#include "core/model_types.h"

namespace kalvora {

// How a continuous model is integrated. Kutta's third-order step with the model's step size is the
// program's own method and the default: every earlier number was made with it. The others are
// chosen per run and never stored in a model file.
enum class IntegrationMethod {
    RungeKutta3,    // Kutta's third-order step of h
    RungeKutta4,    // the classical fourth-order step of h
    DormandPrince,  // Dormand-Prince 5(4) with adaptive steps, sampled at multiples of h
};

struct Integration {
    IntegrationMethod method = IntegrationMethod::RungeKutta3;
    // The adaptive method's absolute and relative tolerance (both the same): a step is accepted
    // when its estimated error, weighted by tolerance * (1 + |value|), is at most 1 in the mean.
    Extended tolerance = 1e-8L;
};

// "rk3", "rk4", "dopri5": the names the batch tool and the Python module take.
const char* IntegrationMethodName(IntegrationMethod method);
std::optional<IntegrationMethod> IntegrationMethodFromName(const std::string& name);

}  // namespace kalvora
