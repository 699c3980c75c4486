#pragma once

#include <string>

#include "core/model_evaluator.h"

namespace kalvora {

// The interpreter holds a function's arguments as locals (at most 200) and needs a register for
// every argument and every returned value (at most 249 together). A model beyond either limit
// cannot compile whatever its equations are.
inline constexpr int kModelLocalLimit = 200;
inline constexpr int kModelRegisterLimit = 249;

// The message for a failed load of the script: a plain statement of the limit the model passes,
// or the compile message of the status.
std::string CompileFailureMessage(const ModelEvaluator& ws);

// The name of result k (0-based) as the script's return list gives it; "result k+1" when the
// script has no such entry.
std::string ModelResultName(const std::string& scriptText, int result);

}  // namespace kalvora
