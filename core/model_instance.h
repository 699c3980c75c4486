#pragma once

#include "core/model_workspace.h"

namespace kalvora {

// A model of its own for one thread: the workspace's counts, values, step size, script, noise
// settings and random-generator state at the moment it is made, compiled into a Lua state that
// belongs to this instance alone. A worker steps it with ModelStep exactly as the user-interface
// thread steps the workspace, so both give the same numbers. Script messages are only recorded
// (recordedMessage); the caller shows them on the user-interface thread once the run has ended.
struct ModelInstance : ModelRuntime {
    explicit ModelInstance(const ModelRuntime& source);
};

// After a run on an instance that drew random numbers in the workspace's stead (a noisy run on
// one worker), the workspace continues the sequence where the run left it, as if it had run the
// steps itself.
void AdoptRandomState(ModelRuntime& target, const ModelRuntime& ranOn);

}  // namespace kalvora
