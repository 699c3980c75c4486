#include "analysis/orbit/objects/tmanifform1.h"

#include <QMenuBar>
#include <array>
#include <string>
#include <utility>

#include "analysis/orbit/objects/object_series.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

namespace {

void AddPoints(Tsp_XYLine& series, const VectorPointSink& points) {
    for (const VectorPointSink::Point& point : points.points) {
        series.AddPoint(point.x, point.y);
    }
}

}  // namespace

Tmanifform1::Tmanifform1(AnalysisHost& host, Tmanifsettings& settings)
    : AnalysisWindow(host, settings, AnalysisTag::IteratingObjects, QStringLiteral("Tmanifform1"),
                     QStringLiteral("Manifold Analysis"), QSize(548, 484),
                     QList<int>{100, 100, 50}),
      settings_(settings),
      attractor_(std::make_unique<Tsp_XYLine>()),
      object_(std::make_unique<Tsp_XYLine>()) {
    StyleObjectSeries(*attractor_);
    StyleObjectSeries(*object_);
    // The object is drawn over the attractor.
    attractor_->SetPlot(graph);
    object_->SetPlot(graph);
    data = object_.get();

    const StepCommands commands = AddStepCommands(
        *this, "Tmanifit", [this] { ClearFormClick(); }, [this] { NextIterationsClick(); });
    Tmanifit = commands.steps;
    ClearForm1 = commands.clearForm;
    NextIterations1 = commands.nextIterations;
    TimeSteps1 = commands.timeSteps;
    Iterations1 = commands.iterations;
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });

    OutputDeclaration output;
    output.layout = EpsLayout::Points;
    output.epsSeries = [this] {
        return std::array<const Tsp_XYLine*, 5>{attractor_.get(), object_.get(), nullptr, nullptr,
                                                nullptr};
    };
    output.printLabels = [this] {
        return std::pair<std::string, std::string>(
            workspace().model().variableNames[iterated_.horizontal],
            workspace().model().variableNames[iterated_.vertical]);
    };
    output.printCaption = QStringLiteral("&Print Image...");
    output.epsCaption = QStringLiteral("Create EPS...");
    offerOutput(std::move(output));
}

void Tmanifform1::open() {
    guarded([this] {
        // Refused before the dialog opens: no object can be placed in a line.
        CheckObjectModel(workspace().model());
        settings_.fill();
        takeDialogAsAccepted();
        settings_.show();
        settings_.raise();
    });
}

ObjectWindowSettings Tmanifform1::readDialog() const {
    // The model may have lost its second variable since the dialog was filled.
    CheckObjectModel(workspace().model());
    ObjectWindowSettings settings;
    settings.run = settings_.settings();
    settings.unplotted = settings_.interiter->value();
    settings.manualScaling = settings_.scaling.acceptedLimits();
    return settings;
}

void Tmanifform1::validate(const ObjectWindowSettings& settings) const {
    CheckObjectSettings(workspace().model(), settings.run);
}

bool Tmanifform1::prepareSeries(const ObjectWindowSettings& settings) {
    if (!applyManualLimits(settings.manualScaling)) {
        // An unchecked box means automatic ranges, also after a run with fixed ones.
        NotManualscal();
    }
    object_->ClearPoints();
    attractor_->ClearPoints();
    return true;
}

bool Tmanifform1::compute(const ObjectWindowSettings& settings) {
    const ObjectSettings run = settings.run;
    IteratedObject placed;
    VectorPointSink attractor;
    VectorPointSink object;
    const ModelRunOutcome ran = runModel([&](ModelEvaluator& model, RunControl& control) {
        ObjectStart(model, model.model().kind, run, placed, attractor, object, control);
    });
    if (!ran.ran) {
        return false;
    }
    iterated_ = std::move(placed);
    object_->SetDrawLocked(true);
    attractor_->SetDrawLocked(true);
    AddPoints(*attractor_, attractor);
    AddPoints(*object_, object);
    attractor_->SetDrawLocked(false);
    object_->SetDrawLocked(false);
    return ran.failed;
}

void Tmanifform1::ClearFormClick() {
    rerunAccepted([] {}, [] {});
}

void Tmanifform1::NextIterationsClick() {
    appendRun([this] {
        step(accepted_.unplotted, Tmanifit->steps());
        // No Plot follows a step, yet a step that failed must not pass unseen.
        showOverflowLabel(iterated_.failed);
        graph->Invalidate();
    });
}

void Tmanifform1::step(int unplotted, long long count) {
    CheckObjectImages(iterated_, object_->Count(), count);
    // A failed object moves no more: there is nothing to run.
    if (iterated_.failed) {
        return;
    }
    // The worker moves a copy of the object; the window takes it back when the run ends, also
    // after Stop (the copy then stands at the last complete time step).
    IteratedObject moved = iterated_;
    VectorPointSink images;
    const ModelRunOutcome ran = runModel([&](ModelEvaluator& model, RunControl& control) {
        ObjectStep(model, model.model().kind, moved, unplotted, count, images, control);
    });
    if (!ran.ran) {
        return;
    }
    iterated_ = std::move(moved);
    object_->SetDrawLocked(true);
    object_->Reserve(static_cast<std::size_t>(object_->Count()) + images.points.size());
    AddPoints(*object_, images);
    object_->SetDrawLocked(false);
}

void Tmanifform1::SaveDataAs1Click() {
    guarded([this] {
        if (accepted_.run.showAttractor) {
            saveSeriesAsked("Indicate File to Save Attractor", *attractor_);
        }
        saveSeriesAsked("Indicate File to Save Moving object Coordinates", *object_);
    });
}

void Tmanifform1::resultClosed() {
    settings_.resetOnResultClose();
    Tmanifit->hide();
}

}  // namespace kalvora
