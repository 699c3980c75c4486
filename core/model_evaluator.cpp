#include "core/model_evaluator.h"

#include "core/flow_steps.h"
#include "core/model_step.h"
#include "core/native_code.h"
#include "core/native_model.h"
#include "core/run_control.h"

namespace kalvora {

ModelEvaluator::ModelEvaluator(ModelDefinitionPtr definitionToRun, RandomState randomState,
                               Prompts* messagePrompts, RunControl* control)
    : definition(std::move(definitionToRun)),
      parameterValues(definition->parameterValues),
      nativeModel(definition->nativeModel),
      nativeCode(nativeModel != nullptr ? nativeModel->machineCode() : nullptr),
      noise(definition->noise),
      random(randomState.random),
      prompts(messagePrompts) {
    noise.noiseCounter = randomState.noiseCounter;
    if (control != nullptr) {
        running_ = std::make_unique<RunningModel>(*control, interrupt);
    }
    CompileModelScript(*this);
}

ModelEvaluator::~ModelEvaluator() {
    running_.reset();
    CloseModelState(luaState, interrupt);
}

bool ModelEvaluator::reusable() const {
    return luaState != nullptr && nativeModel != nullptr && nativeModel->covered() &&
           nativeModel->stateless() && nativeModel->script() == definition->scriptText;
}

void ModelEvaluator::restart(RandomState randomState, Prompts* messagePrompts,
                             RunControl* control) {
    running_.reset();
    interrupt.clear();
    parameterValues = definition->parameterValues;
    errorFlag = false;
    scriptStatus = 0;
    noise = definition->noise;
    noise.noiseCounter = randomState.noiseCounter;
    random = randomState.random;
    prompts = messagePrompts;
    recordedMessage.clear();
    recordedDetails.clear();
    if (control != nullptr) {
        running_ = std::make_unique<RunningModel>(*control, interrupt);
    }
}

RandomState RandomStateOf(const ModelEvaluator& ranOn) {
    return {ranOn.random, ranOn.noise.noiseCounter};
}

}  // namespace kalvora
