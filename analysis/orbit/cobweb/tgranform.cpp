#include "analysis/orbit/cobweb/tgranform.h"

#include <QMenuBar>
#include <array>
#include <string>
#include <utility>

#include "analysis/orbit/cobweb/cobweb_series.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

Tgranform::Tgranform(AnalysisHost& host, Tgranform2& settings)
    : AnalysisWindow(host, settings, AnalysisTag::GraphicalAnalysis, QStringLiteral("Tgranform"),
                     QStringLiteral("Graphical Analysis"), QSize(481, 432),
                     QList<int>{100, 100, 50}),
      settings_(settings),
      map_(std::make_unique<Tsp_XYLine>()),
      yequalx_(std::make_unique<Tsp_XYLine>()),
      staircase_(std::make_unique<Tsp_XYLine>()),
      data1_(std::make_unique<Tsp_XYLine>()) {
    StyleCobwebCurve(*map_);
    StyleCobwebDiagonal(*yequalx_);
    StyleCobwebStaircase(*staircase_);
    StyleNewSeries(*data1_, clBlue);
    // The staircase is drawn last, over the curve and the diagonal it bounces between.
    yequalx_->SetPlot(graph);
    map_->SetPlot(graph);
    staircase_->SetPlot(graph);
    data = map_.get();

    const StepCommands commands = AddStepCommands(
        *this, "Tgrafanit", [this] { ClearFormClick(); }, [this] { NextIterationsClick(); });
    Tgrafanit = commands.steps;
    ClearForm1 = commands.clearForm;
    NextIterations1 = commands.nextIterations;
    TimeSteps1 = commands.timeSteps;
    Iterations1 = commands.iterations;
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });

    OutputDeclaration output;
    output.layout = EpsLayout::Cobweb;
    output.epsSeries = [this] {
        const Tsp_XYLine* spare = data1_.get();
        return std::array<const Tsp_XYLine*, 5>{staircase_.get(), map_.get(), yequalx_.get(), spare,
                                                spare};
    };
    output.printLabels = [this] {
        const std::string x = workspace().variableNames[0];
        return std::pair<std::string, std::string>(
            x + "(t)", x + "(t+" + std::to_string(accepted_.iteratedMap) + ")");
    };
    output.printCaption = QStringLiteral("&Print Image...");
    output.epsCaption = QStringLiteral("Create EPS...");
    offerOutput(std::move(output));
}

void Tgranform::open() {
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

CobwebSettings Tgranform::readDialog() const {
    return settings_.settings();
}

void Tgranform::validate(const CobwebSettings& settings) const {
    CheckCobwebSettings(settings);
}

bool Tgranform::prepareSeries(const CobwebSettings&) {
    PlotIni(false, true, *map_);
    yequalx_->ClearPoints();
    staircase_->ClearPoints();
    return true;
}

bool Tgranform::compute(const CobwebSettings& settings) {
    ModelWorkspace& ws = workspace();
    yequalx_->SetDrawLocked(true);
    staircase_->SetDrawLocked(true);
    const bool failed =
        CobwebStart(ws, ws.kind, settings, construction_, *map_, *yequalx_, *staircase_);
    const double low = static_cast<double>(construction_.minimum);
    const double high = static_cast<double>(construction_.maximum);
    Manualscal(low, high, low, high);
    yequalx_->SetDrawLocked(false);
    staircase_->SetDrawLocked(false);
    return failed;
}

void Tgranform::ClearFormClick() {
    rerunAccepted([] {}, [] {});
}

void Tgranform::NextIterationsClick() {
    appendRun([this] {
        ModelWorkspace& ws = workspace();
        staircase_->SetDrawLocked(true);
        CobwebStep(ws, ws.kind, construction_, Tgrafanit->steps(), *staircase_);
        staircase_->SetDrawLocked(false);
        // No Plot follows a step, yet a step that failed must not pass unseen.
        showOverflowLabel(construction_.failed);
        graph->Invalidate();
    });
}

void Tgranform::SaveDataAs1Click() {
    saveSeries("Indicate File to Save Data", *staircase_);
}

void Tgranform::resultClosed() {
    settings_.SpinEdit1->setValue(1);
    Tgrafanit->hide();
}

}  // namespace kalvora
