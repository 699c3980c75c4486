#include "core/integration.h"

namespace kalvora {

const char* IntegrationMethodName(IntegrationMethod method) {
    switch (method) {
        case IntegrationMethod::RungeKutta4:
            return "rk4";
        case IntegrationMethod::DormandPrince:
            return "dopri5";
        case IntegrationMethod::RungeKutta3:
            break;
    }
    return "rk3";
}

std::optional<IntegrationMethod> IntegrationMethodFromName(const std::string& name) {
    for (const IntegrationMethod method :
         {IntegrationMethod::RungeKutta3, IntegrationMethod::RungeKutta4,
          IntegrationMethod::DormandPrince}) {
        if (name == IntegrationMethodName(method)) {
            return method;
        }
    }
    return std::nullopt;
}

}  // namespace kalvora
