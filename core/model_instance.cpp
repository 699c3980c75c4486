#include "core/model_instance.h"

#include "core/model_step.h"

namespace kalvora {

ModelInstance::ModelInstance(const ModelRuntime& source) {
    variableCount = source.variableCount;
    parameterCount = source.parameterCount;
    auxiliaryCount = source.auxiliaryCount;
    parameterValues = source.parameterValues;
    initialValues = source.initialValues;
    stepSize = source.stepSize;
    scriptText = source.scriptText;
    memoryLimit = source.memoryLimit;
    noise = source.noise;
    random = source.random;
    prompts = nullptr;
    // The same script compiles to the same program: share it rather than compile it again.
    nativeModel = source.nativeModel;
    CompileModelScript(*this);
}

void AdoptRandomState(ModelRuntime& target, const ModelRuntime& ranOn) {
    target.random = ranOn.random;
    target.noise.noiseCounter = ranOn.noise.noiseCounter;
}

}  // namespace kalvora
