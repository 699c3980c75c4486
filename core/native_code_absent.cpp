#include "core/native_code.h"

namespace kalvora {

// Built without a code generator: every compiled model runs its register program.
struct NativeCode::Engine {};

NativeCode::~NativeCode() = default;

bool NativeCode::Enabled() {
    return false;
}

std::shared_ptr<const NativeCode> NativeCode::Generate(const NativeModel&, int) {
    return nullptr;
}

}  // namespace kalvora
