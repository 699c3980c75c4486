#include "analysis/window/settings_dialog.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/numbers.h"

namespace kalvora {

SettingsDialog::SettingsDialog(const ModelWorkspace& workspace, const char* objectName,
                               const QString& caption)
    : workspace_(workspace) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    settingsGroup = new QGroupBox(QStringLiteral("Settings"), this);
    settingsGroup->setObjectName("GroupBox1");
    settingsGrid = new QGridLayout(settingsGroup);
}

QSpinBox* SettingsDialog::addSpinEdit(const char* name, int minimum, int maximum, int value) {
    auto* spin = new QSpinBox(settingsGroup);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

QLineEdit* SettingsDialog::addLineEdit(const char* name, const char* text) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), settingsGroup);
    edit->setObjectName(name);
    return edit;
}

QLineEdit* SettingsDialog::addNumberEdit(const char* name, Extended value) {
    QLineEdit* edit = addLineEdit(name, "");
    edit->setText(QString::fromStdString(FormatGeneral(value, 15)));
    return edit;
}

QCheckBox* SettingsDialog::addCheckBox(const QString& caption, const char* name) {
    auto* box = new QCheckBox(caption, settingsGroup);
    box->setObjectName(name);
    return box;
}

void SettingsDialog::finishLayout(std::initializer_list<QWidget*> groups,
                                  const QSize& minimumSize) {
    // The buttons are made last so that they come last in the tab order as well.
    okbutton = new QPushButton(QStringLiteral("OK"), this);
    okbutton->setObjectName("okbutton");
    okbutton->setDefault(true);
    cancelbutton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelbutton->setObjectName("cancelbutton");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okbutton);
    buttons->addWidget(cancelbutton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settingsGroup);
    for (QWidget* group : groups) {
        layout->addWidget(group);
    }
    layout->addLayout(buttons);

    connect(okbutton, &QPushButton::clicked, this, &SettingsDialog::okClicked);
    connect(cancelbutton, &QPushButton::clicked, this, &SettingsDialog::reject);

    FormActivate();
    setFixedSize(sizeHint().expandedTo(minimumSize));
}

bool SettingsDialog::showModelKind(std::initializer_list<QWidget*> discreteOnly,
                                   std::initializer_list<QWidget*> continuousOnly, QLabel* firstRow,
                                   QLabel* secondRow, QCheckBox* plotSquares,
                                   QCheckBox* connectPoints) {
    const bool discrete = workspace_.model().discrete;
    for (QWidget* control : discreteOnly) {
        control->setVisible(discrete);
    }
    for (QWidget* control : continuousOnly) {
        control->setVisible(!discrete);
    }
    firstRow->setText(discrete ? QStringLiteral("# Points Plotted :")
                               : QStringLiteral("Start plotting at time :"));
    secondRow->setText(discrete ? QStringLiteral("# Points Not Plotted :")
                                : QStringLiteral("End plotting at time :"));
    if (discrete) {
        connectPoints->setEnabled(true);
    } else {
        // A continuous orbit is a curve: its points are always joined.
        plotSquares->setChecked(false);
        connectPoints->setChecked(true);
        connectPoints->setEnabled(false);
    }
    return discrete;
}

void SettingsDialog::showEvent(QShowEvent* event) {
    FormActivate();
    QDialog::showEvent(event);
}

void SettingsDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
    }
    QDialog::changeEvent(event);
}

void SettingsDialog::reject() {
    hide();
    emit cancelled();
}

SettingsDialog::Snapshot SettingsDialog::snapshot() const {
    Snapshot values;
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
            values.emplace_back(spin, spin->value());
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            values.emplace_back(box, box->isChecked());
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            values.emplace_back(list, list->currentIndex());
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            // The text part of a spin box is restored through its value.
            if (qobject_cast<QAbstractSpinBox*>(edit->parent()) == nullptr) {
                values.emplace_back(edit, edit->text());
            }
        }
    }
    return values;
}

void SettingsDialog::restore(const Snapshot& snapshot) {
    for (const auto& [widget, value] : snapshot) {
        if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
            spin->setValue(value.toInt());
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            box->setChecked(value.toBool());
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            // The list may have been refilled with fewer entries since.
            if (value.toInt() < list->count()) {
                list->setCurrentIndex(value.toInt());
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            edit->setText(value.toString());
        }
    }
}

bool SettingsDialog::modelNamesChanged() {
    const ModelDefinition& model = workspace_.model();
    std::string names;
    for (int i = 0; i < model.variableCount + model.auxiliaryCount && i < kModelListCapacity; ++i) {
        names += model.variableNames[i] + ',';
    }
    names += ';';
    for (int j = 0; j < model.parameterCount && j < kModelListCapacity; ++j) {
        names += model.parameterNames[j] + ',';
    }
    const bool changed = names != namesAtLastFill_ || namesAtLastFill_.empty();
    namesAtLastFill_ = names;
    return changed;
}

}  // namespace kalvora
