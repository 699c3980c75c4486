#include "analysis/orbit/cobweb/tgranform.h"

#include <QMenuBar>
#include <array>
#include <string>
#include <utility>

#include "analysis/orbit/cobweb/cobweb_series.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

namespace {

void AddPoints(Tsp_XYLine& series, const VectorPointSink& points) {
    for (const VectorPointSink::Point& point : points.points) {
        series.AddPoint(point.x, point.y);
    }
}

}  // namespace

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
        const std::string x = workspace().model().variableNames[0];
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

bool Tgranform::compute(const CobwebSettings& accepted) {
    // The worker's own copy: the accepted settings belong to this thread.
    const CobwebSettings settings = accepted;
    VectorPointSink curve;
    VectorPointSink diagonal;
    VectorPointSink staircase;
    CobwebConstruction construction;
    const ModelRunOutcome ran = runModel([&](ModelEvaluator& model, RunControl& control) {
        CobwebStart(model, model.model().kind, settings, construction, curve, diagonal, staircase);
        // A stop cut the curve short, yet the staircase starts from the initial value all the
        // same: the construction may go on.
        if (control.stopRequested()) {
            construction.failed = false;
        }
    });
    if (!ran.ran) {
        return false;
    }
    construction_ = construction;
    yequalx_->SetDrawLocked(true);
    staircase_->SetDrawLocked(true);
    AddPoints(*map_, curve);
    AddPoints(*yequalx_, diagonal);
    AddPoints(*staircase_, staircase);
    const double low = static_cast<double>(construction_.minimum);
    const double high = static_cast<double>(construction_.maximum);
    Manualscal(low, high, low, high);
    yequalx_->SetDrawLocked(false);
    staircase_->SetDrawLocked(false);
    return ran.failed;
}

void Tgranform::ClearFormClick() {
    rerunAccepted([] {}, [] {});
}

void Tgranform::NextIterationsClick() {
    appendRun([this] {
        CobwebConstruction construction = construction_;
        const long long count = Tgrafanit->steps();
        VectorPointSink staircase;
        const ModelRunOutcome ran = runModel([&](ModelEvaluator& model, RunControl& control) {
            // One staircase step at a time, so that a stop keeps the steps completed before it
            // and drops only the one it interrupted: the construction may then go on.
            for (long long k = 0; k < count && !construction.failed; ++k) {
                const CobwebConstruction before = construction;
                const std::size_t kept = staircase.points.size();
                CobwebStep(model, model.model().kind, construction, 1, staircase);
                if (control.stopRequested()) {
                    if (construction.failed) {
                        construction = before;
                        staircase.points.resize(kept);
                    }
                    break;
                }
            }
        });
        if (!ran.ran) {
            return;
        }
        construction_ = construction;
        staircase_->SetDrawLocked(true);
        AddPoints(*staircase_, staircase);
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
