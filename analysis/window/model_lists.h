#pragma once

#include <QComboBox>

#include "core/model_workspace.h"

namespace kalvora {

// The variable choice of the settings dialogs: the model's variables, then its auxiliary variables,
// so that item i stands for StateVector entry i + 1.
void FillVariableList(QComboBox* box, const ModelWorkspace& workspace);

// The model's variables alone, item i for variable i + 1 (what a state can be placed in).
void FillModelVariableList(QComboBox* box, const ModelWorkspace& workspace);

// The parameter names, item i for parameter i.
void FillParameterList(QComboBox* box, const ModelWorkspace& workspace);

}  // namespace kalvora
