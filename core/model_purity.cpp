#include "core/model_purity.h"

#include "core/native_model.h"

namespace kalvora {

bool ModelIsStateless(const std::string& scriptText) {
    return NativeModel::Compile(scriptText)->stateless();
}

bool ModelCallsAreIndependent(const std::string& scriptText) {
    const auto program = NativeModel::Compile(scriptText);
    return program->stateless() || program->covered();
}

}  // namespace kalvora
