#include "core/model_capacity.h"

#include <lua.hpp>

#include <algorithm>

#include "core/model_step.h"

namespace kalvora {

std::string CompileFailureMessage(const ModelEvaluator& ws) {
    const int variables = std::max(ws.model().variableCount, 0);
    const int parameters = std::max(ws.model().parameterCount, 0);
    const int auxiliaries = std::max(ws.model().auxiliaryCount, 0);
    if (ws.scriptStatus == LUA_ERRSYNTAX) {
        if (variables + parameters > kModelLocalLimit) {
            return "Too many variables and parameters: the model function takes at most " +
                   std::to_string(kModelLocalLimit) +
                   " variables and parameters together (the interpreter's limit on a "
                   "function's locals); this model has " +
                   std::to_string(variables) + " variables and " + std::to_string(parameters) +
                   " parameters";
        }
        if (2 * variables + parameters + auxiliaries > kModelRegisterLimit) {
            return "Too many values for the model function: the variables and parameters it "
                   "takes and the variables and auxiliary variables it returns may together be "
                   "at most " +
                   std::to_string(kModelRegisterLimit) +
                   " (the interpreter's limit); this model has " + std::to_string(variables) +
                   " + " + std::to_string(parameters) + " taken and " + std::to_string(variables) +
                   " + " + std::to_string(auxiliaries) + " returned";
        }
    }
    return CompileMessage(ws.scriptStatus);
}

std::string ModelResultName(const std::string& scriptText, int result) {
    const std::string marker = "\r\nreturn ";
    const std::size_t start = scriptText.rfind(marker);
    if (start != std::string::npos && result >= 0) {
        std::size_t begin = start + marker.size();
        const std::size_t end = scriptText.find("\r\n", begin);
        for (int k = 0; begin < end; ++k) {
            std::size_t comma = scriptText.find(',', begin);
            if (comma == std::string::npos || comma > end) {
                comma = end;
            }
            if (k == result) {
                return scriptText.substr(begin, comma - begin);
            }
            begin = comma + 1;
        }
    }
    return "result " + std::to_string(result + 1);
}

}  // namespace kalvora
