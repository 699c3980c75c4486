#include "analysis/sweep/bifurcation/tbifsettings.h"

#include "analysis/window/model_lists.h"

#include <algorithm>
#include <string>

namespace kalvora {

Tbifsettings::Tbifsettings(const ModelWorkspace& workspace)
    : SweepSettingsDialog(workspace, "Tbifsettings", QStringLiteral("Settings Bifurcation Diagram"),
                          BifurcationSettings{}.minimum, BifurcationSettings{}.maximum) {
    // Created in the order of the rows, which is the order Tab follows.
    const BifurcationSettings defaults;
    vartext = new QComboBox(settingsGroup);
    vartext->setObjectName("vartext");
    NumPP = addSpinEdit("NumPP", 1, 100000, static_cast<int>(defaults.plottedPoints));
    NumNPP = addSpinEdit("NumNPP", 0, 100000, static_cast<int>(defaults.transientSteps));
    inicheck = addCheckBox(QStringLiteral("     Initialize on previous value"), "inicheck");
    CheckBox2 = addCheckBox(QStringLiteral("     Compute from right to left"), "CheckBox2");
    scaling.ManScal->setText(QStringLiteral("     Manual Scaling"));

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("Plot Variable : "), settingsGroup), 3, 0);
    grid->addWidget(vartext, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Plotted Points :"), settingsGroup), 4, 0);
    grid->addWidget(NumPP, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Not Plotted  Points :"), settingsGroup), 5, 0);
    grid->addWidget(NumNPP, 5, 1);
    grid->addWidget(inicheck, 6, 0, 1, 2);
    grid->addWidget(CheckBox2, 7, 0, 1, 2);
    addResolutionRow(8, QStringLiteral("     Manual Resolution"));
    flowPlotLabel = new QLabel(QStringLiteral("Plot :"), settingsGroup);
    flowPlotList = new QComboBox(settingsGroup);
    flowPlotList->setObjectName("flowPlotList");
    flowPlotList->addItems({QStringLiteral("every step"), QStringLiteral("section crossings"),
                            QStringLiteral("local maxima of the variable")});
    sectionLabel = new QLabel(QStringLiteral("Section :"), settingsGroup);
    sectionEdit = addLineEdit("sectionEdit", "");
    sectionEdit->setToolTip(
        QStringLiteral("NAME=VALUE or a linear form such as x-y=0, then "
                       ":up, :down or :both (up when left out)"));
    sectionEdit->setEnabled(false);
    connect(flowPlotList, &QComboBox::currentIndexChanged, this,
            [this](int index) { sectionEdit->setEnabled(index == 1); });
    grid->addWidget(flowPlotLabel, 10, 0);
    grid->addWidget(flowPlotList, 10, 1);
    grid->addWidget(sectionLabel, 11, 0);
    grid->addWidget(sectionEdit, 11, 1);
    finishLayout({scaling.ManScal, scaling.group}, QSize(300, 0));
}

void Tbifsettings::FormActivate() {
    SweepSettingsDialog::FormActivate();
    const bool continuous = !workspace_.model().discrete;
    for (QWidget* control :
         std::initializer_list<QWidget*>{flowPlotLabel, flowPlotList, sectionLabel, sectionEdit}) {
        control->setVisible(continuous);
    }
}

void Tbifsettings::fillLists(long long defaultResolution) {
    FillVariableList(vartext, workspace_);
    vartext->setCurrentIndex(0);
    // A section through the first variable's initial value (a plane the orbit is sure to meet
    // near its start, to be edited into the one wanted) unless the one there fits this model.
    const ModelDefinition& model = workspace_.model();
    bool fits = false;
    try {
        std::string text = sectionEdit->text().toStdString();
        text.erase(std::min(text.size(), text.rfind(':')));
        ParseSection(model, text);
        fits = true;
    } catch (const SectionError&) {
    }
    if (!fits) {
        sectionEdit->setText(model.variableCount > 0
                                 ? QString::fromStdString(model.variableNames[0] + "=" +
                                                          FormatGeneral(model.initialValues[0], 15))
                                 : QString());
    }
    fillParameterList(defaultResolution);
}

BifurcationSettings Tbifsettings::settings() const {
    BifurcationSettings settings;
    readInterval(settings);
    settings.plotVariable = vartext->currentIndex() + 1;
    settings.plottedPoints = NumPP->value();
    settings.transientSteps = NumNPP->value();
    settings.carryState = inicheck->isChecked();
    settings.rightToLeft = CheckBox2->isChecked();
    readResolution(settings);
    if (!workspace_.model().discrete) {
        settings.flowPlot = static_cast<FlowPlot>(flowPlotList->currentIndex());
        if (settings.flowPlot == FlowPlot::SectionCrossings) {
            settings.section = ParseDirectedSection(workspace_.model(),
                                                    sectionEdit->text().trimmed().toStdString());
        }
    }
    return settings;
}

}  // namespace kalvora
