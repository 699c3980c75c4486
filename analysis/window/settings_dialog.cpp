#include "analysis/window/settings_dialog.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
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

    // The integrator comes after the dialog's own groups: every analysis of a flow offers it.
    integratorGroup = new QGroupBox(QStringLiteral("Integrator"), this);
    integratorGroup->setObjectName("integratorGroup");
    integratorList = new QComboBox(integratorGroup);
    integratorList->setObjectName("integratorList");
    integratorList->addItems({QStringLiteral("RK3 (h)"), QStringLiteral("RK4 (h)"),
                              QStringLiteral("Dormand\u2013Prince (tolerance)")});
    toleranceEdit = new QLineEdit(
        QString::fromStdString(FormatGeneral(Integration{}.tolerance, 15)), integratorGroup);
    toleranceEdit->setObjectName("toleranceEdit");
    toleranceEdit->setEnabled(false);
    connect(integratorList, &QComboBox::currentIndexChanged, this,
            [this](int index) { toleranceEdit->setEnabled(index == 2); });
    auto* integratorRow = new QFormLayout(integratorGroup);
    integratorRow->addRow(QStringLiteral("Integrator :"), integratorList);
    integratorRow->addRow(QStringLiteral("Tolerance :"), toleranceEdit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settingsGroup);
    for (QWidget* group : groups) {
        layout->addWidget(group);
    }
    layout->addWidget(integratorGroup);
    layout->addLayout(buttons);

    connect(okbutton, &QPushButton::clicked, this, &SettingsDialog::okClicked);
    connect(cancelbutton, &QPushButton::clicked, this, &SettingsDialog::reject);

    FormActivate();
    minimumSize_ = minimumSize;
    integratorGroup->setVisible(!workspace_.model().discrete);
    setFixedSize(sizeHint().expandedTo(minimumSize));
}

void SettingsDialog::showIntegrator() {
    const bool discrete = workspace_.model().discrete;
    if (integratorGroup == nullptr || integratorGroup->isHidden() == discrete) {
        return;
    }
    integratorGroup->setVisible(!discrete);
    layout()->activate();
    setFixedSize(sizeHint().expandedTo(minimumSize_));
}

Integration SettingsDialog::integration() const {
    Integration integration;
    if (integratorList == nullptr || workspace_.model().discrete) {
        return integration;
    }
    const int index = integratorList->currentIndex();
    integration.method = index == 1   ? IntegrationMethod::RungeKutta4
                         : index == 2 ? IntegrationMethod::DormandPrince
                                      : IntegrationMethod::RungeKutta3;
    if (integration.method == IntegrationMethod::DormandPrince) {
        integration.tolerance = FieldNumber(toleranceEdit);
        if (!(integration.tolerance > 0 && integration.tolerance < 1)) {
            throw ConversionError("Tolerance : the tolerance must lie between 0 and 1");
        }
    }
    return integration;
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
    showIntegrator();
    QDialog::showEvent(event);
}

void SettingsDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
        showIntegrator();
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

QString FieldCaption(const QWidget* field) {
    const QWidget* window = field->window();
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() == field)
            return label->text().remove('&').remove(':').simplified();
    }
    // The label before the field in its row of a grid or a form.
    for (const QGridLayout* grid : window->findChildren<QGridLayout*>()) {
        const int index = grid->indexOf(field);
        if (index < 0)
            continue;
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        for (int before = column - 1; before >= 0; --before) {
            const QLayoutItem* item = grid->itemAtPosition(row, before);
            if (const auto* label =
                    item != nullptr ? qobject_cast<QLabel*>(item->widget()) : nullptr)
                return label->text().remove('&').remove(':').simplified();
        }
    }
    for (const QFormLayout* form : window->findChildren<QFormLayout*>()) {
        if (const auto* label =
                qobject_cast<QLabel*>(form->labelForField(const_cast<QWidget*>(field))))
            return label->text().remove('&').remove(':').simplified();
    }
    return field->objectName();
}

Extended FieldNumber(const QLineEdit* edit) {
    return ReadAt(FieldCaption(edit).toStdString(),
                  [edit] { return ParseFloat(edit->text().toStdString()); });
}

std::int32_t FieldInteger(const QLineEdit* edit) {
    return ReadAt(FieldCaption(edit).toStdString(),
                  [edit] { return ParseInteger(edit->text().toStdString()); });
}

QString CellPlace(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* first = table->item(row, 0);
    const QTableWidgetItem* header = table->horizontalHeaderItem(column);
    return QStringLiteral("Row %1 (%2), column %3")
        .arg(row + 1)
        .arg(first != nullptr ? first->text() : QString())
        .arg(header != nullptr ? header->text() : QString::number(column + 1));
}

namespace {

std::string CellString(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item != nullptr ? item->text().toStdString() : std::string();
}

}  // namespace

Extended CellNumber(const QTableWidget* table, int row, int column) {
    return ReadAt(CellPlace(table, row, column).toStdString(),
                  [&] { return ParseFloat(CellString(table, row, column)); });
}

std::int32_t CellInteger(const QTableWidget* table, int row, int column) {
    return ReadAt(CellPlace(table, row, column).toStdString(),
                  [&] { return ParseInteger(CellString(table, row, column)); });
}

}  // namespace kalvora
