#include "analysis/window/model_lists.h"

#include <algorithm>

namespace kalvora {

void FillVariableList(QComboBox* box, const ModelWorkspace& workspace) {
    box->clear();
    const int count =
        std::clamp(workspace.variableCount + workspace.auxiliaryCount, 0, kModelListCapacity);
    for (int i = 0; i < count; ++i) {
        box->addItem(QString::fromStdString(workspace.variableNames[i]));
    }
}

void FillModelVariableList(QComboBox* box, const ModelWorkspace& workspace) {
    box->clear();
    const int count = std::clamp(workspace.variableCount, 0, kModelListCapacity);
    for (int i = 0; i < count; ++i) {
        box->addItem(QString::fromStdString(workspace.variableNames[i]));
    }
}

void FillParameterList(QComboBox* box, const ModelWorkspace& workspace) {
    box->clear();
    const int count = std::clamp(workspace.parameterCount, 0, kModelListCapacity);
    for (int i = 0; i < count; ++i) {
        box->addItem(QString::fromStdString(workspace.parameterNames[i]));
    }
}

}  // namespace kalvora
