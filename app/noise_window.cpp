#include "app/noise_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstdint>
#include <exception>
#include <optional>

#include "core/model_workspace.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "core/prompts.h"

namespace kalvora {

TNoiseForm::TNoiseForm(ModelWorkspace& workspace, QWidget* parent)
    : QDialog(parent, Qt::Dialog), workspace_(workspace) {
    setObjectName("NoiseForm");
    setWindowTitle("Noise");
    setModal(false);

    auto* settings = new QGroupBox("Settings", this);
    auto* grid = new QGridLayout(settings);
    grid->setColumnStretch(1, 1);
    auto label = [settings](const QString& text) { return new QLabel(text, settings); };

    noisetypebox = new QComboBox(settings);
    noisetypebox->setObjectName("noisetypebox");
    noisetypebox->addItems({"normal", "uniform"});
    grid->addWidget(label("Distribution "), 0, 0);
    grid->addWidget(noisetypebox, 0, 1);

    Edit1 = new QLineEdit("1", settings);
    Edit1->setObjectName("Edit1");
    grid->addWidget(label("Standard Deviation "), 1, 0);
    grid->addWidget(Edit1, 1, 1);

    Variable = new QComboBox(settings);
    Variable->setObjectName("Variable");
    grid->addWidget(label("Add to Variable"), 2, 0);
    grid->addWidget(Variable, 2, 1);

    Noiseincredit = new QSpinBox(settings);
    Noiseincredit->setObjectName("Noiseincredit");
    Noiseincredit->setRange(1, 1000);
    Noiseincredit->setValue(1);
    grid->addWidget(label("Increment between \nnoise addition"), 3, 0);
    grid->addWidget(Noiseincredit, 3, 1);

    Edit2 = new QLineEdit("1", settings);
    Edit2->setObjectName("Edit2");
    grid->addWidget(label("Probability of \nnoise addition"), 4, 0);
    grid->addWidget(Edit2, 4, 1);

    Edit3 = new QLineEdit(settings);
    Edit3->setObjectName("Edit3");
    grid->addWidget(label("Random Seed"), 5, 0);
    grid->addWidget(Edit3, 5, 1);

    CheckBox1 = new QCheckBox("     Enable Noise Addition", settings);
    CheckBox1->setObjectName("CheckBox1");
    grid->addWidget(CheckBox1, 6, 0, 1, 2);
    fix_rnd = new QCheckBox("     Fix Random Seed For Each Run", settings);
    fix_rnd->setObjectName("fix_rnd");
    grid->addWidget(fix_rnd, 7, 0, 1, 2);
    wienerBox =
        new QCheckBox(QString::fromUtf8("     Scale by \u221ah (Wiener process)"), settings);
    wienerBox->setObjectName("wienerBox");
    wienerBox->setToolTip(
        "Continuous models: each addition is scaled by the square root of the step, so the "
        "variance per unit of time is the standard deviation squared whatever the step size");
    grid->addWidget(wienerBox, 8, 0, 1, 2);
    // Runs started while the box is ticked re-seed, whether or not OK has been pressed since.
    connect(fix_rnd, &QCheckBox::toggled, this, [this](bool fixed) {
        ReplaceModel(workspace_,
                     [fixed](ModelDefinition& model) { model.noise.fixSeedForEachRun = fixed; });
    });

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("CancelButton");
    connect(ok, &QPushButton::clicked, this, [this] {
        try {
            okClick();
        } catch (const std::exception& failure) {
            if (workspace_.prompts != nullptr)
                workspace_.prompts->error(failure.what());
        }
    });
    connect(cancel, &QPushButton::clicked, this, &TNoiseForm::cancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TNoiseForm::showWindow() {
    Variable->clear();
    for (int i = 0; i < workspace_.model().variableCount; ++i) {
        Variable->addItem(QString::fromStdString(workspace_.model().variableNames[i]));
    }
    // A choice left from a model with more variables falls back to the first, as one below 0 does.
    const int variable = workspace_.model().noise.noiseVariable - 1;
    Variable->setCurrentIndex(variable >= 0 && variable < Variable->count() ? variable : 0);
    noisetypebox->setCurrentIndex(workspace_.model().noise.noiseType - 1);
    wienerBox->setChecked(workspace_.model().noise.wiener);
    // A map's step has no duration to scale by.
    wienerBox->setEnabled(!workspace_.model().discrete);
    show();
    raise();
    activateWindow();
}

void TNoiseForm::clearCheckBoxes() {
    CheckBox1->setChecked(false);
    fix_rnd->setChecked(false);
}

void TNoiseForm::okClick() {
    // The numbers are read before anything is stored, so a bad field changes nothing.
    // Each number is named by its field's caption when it does not convert.
    const Extended level =
        ReadAt("Standard Deviation", [&] { return ParseFloat(Edit1->text().toStdString()); });
    const Extended probability = ReadAt("Probability of noise addition",
                                        [&] { return ParseFloat(Edit2->text().toStdString()); });
    const QString seedText = Edit3->text();
    const std::optional<std::int32_t> seed =
        seedText.isEmpty() ? std::nullopt : std::optional<std::int32_t>(ReadAt("Random Seed", [&] {
            return ParseInteger(seedText.toStdString());
        }));
    ReplaceModel(workspace_, [&](ModelDefinition& model) {
        NoiseSettings& noise = model.noise;
        noise.noiseOn = CheckBox1->isChecked();
        // A model without variables offers no entry; the first slot is the only safe place then.
        noise.noiseVariable = std::max(0, Variable->currentIndex()) + 1;
        noise.noisePeriod = Noiseincredit->value();
        noise.noiseLevel = level;
        noise.noiseProbability = probability;
        noise.noiseType = noisetypebox->currentIndex() + 1;
        noise.wiener = wienerBox->isChecked();
    });
    workspace_.randomState.noiseCounter = 0;
    reportStatus();
    SeedNoise(workspace_, seed);
    finish();
}

void TNoiseForm::cancelClick() {
    close();
}

void TNoiseForm::reject() {
    close();
}

void TNoiseForm::closeEvent(QCloseEvent* event) {
    reportStatus();
    event->accept();
    hide();
    if (closed_)
        closed_();
}

void TNoiseForm::finish() {
    hide();
    if (closed_)
        closed_();
}

void TNoiseForm::reportStatus() {
    if (statusSink_)
        statusSink_(workspace_.model().noise.noiseOn ? "   Noise On" : "   Noise Off");
}

}  // namespace kalvora
