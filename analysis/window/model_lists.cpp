#include "analysis/window/model_lists.h"

#include <algorithm>

namespace kalvora {

void FillVariableList(QComboBox* box, const ModelWorkspace& workspace) {
    box->clear();
    const int count = std::clamp(workspace.model().variableCount + workspace.model().auxiliaryCount,
                                 0, kModelListCapacity);
    for (int i = 0; i < count; ++i) {
        box->addItem(QString::fromStdString(workspace.model().variableNames[i]));
    }
}

void FillModelVariableList(QComboBox* box, const ModelWorkspace& workspace) {
    box->clear();
    const int count = std::clamp(workspace.model().variableCount, 0, kModelListCapacity);
    for (int i = 0; i < count; ++i) {
        box->addItem(QString::fromStdString(workspace.model().variableNames[i]));
    }
}

void FillParameterList(QComboBox* box, const ModelWorkspace& workspace) {
    box->clear();
    const int count = std::clamp(workspace.model().parameterCount, 0, kModelListCapacity);
    for (int i = 0; i < count; ++i) {
        box->addItem(QString::fromStdString(workspace.model().parameterNames[i]));
    }
}

}  // namespace kalvora
