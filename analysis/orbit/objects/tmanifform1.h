#pragma once

#include <QAction>
#include <memory>
#include <optional>

#include "analysis/orbit/objects/object_run.h"
#include "analysis/orbit/objects/tmanifsettings.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/plot_window.h"
#include "analysis/window/time_steps_window.h"

namespace kalvora {

// What OK accepts in "Settings Manifold analysis": every placing and every move of the object comes
// from this value.
struct ObjectWindowSettings {
    ObjectSettings run;
    int unplotted = 0;  // "# unplotted iter"
    std::optional<ScalingGroup::Limits> manualScaling;
};

// "Manifold Analysis": a polygon or a circle in the plane of two variables and all its images so
// far, optionally over the model's attractor. "&Next Iteration(s)" moves the object on by the steps
// set in the "# time steps" window.
class Tmanifform1 : public AnalysisWindow<PlotWindow, ObjectWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::IteratingObjects;

    Tmanifform1(AnalysisHost& host, Tmanifsettings& settings);

    QAction* ClearForm1;
    QAction* NextIterations1;
    QAction* TimeSteps1;   // "# &Time steps..." (menu)
    QAction* Iterations1;  // "# &Iterations..." (pop-up menu)
    TimeStepsWindow* Tmanifit;

    // The moving object with its images (`data` of the base) and the attractor.
    Tsp_XYLine& object() { return *object_; }
    Tsp_XYLine& data1() { return *attractor_; }
    const IteratedObject& iterated() const { return iterated_; }

    // The main-window command: refill the settings dialog and show it.
    void open();
    void ClearFormClick();
    void NextIterationsClick();
    void SaveDataAs1Click();
    // Accept in the parameter window recomputes nothing here: new values act from the next step.
    void recomputeAfterAccept() {}

  protected:
    ObjectWindowSettings readDialog() const override;
    void validate(const ObjectWindowSettings& settings) const override;
    bool prepareSeries(const ObjectWindowSettings& settings) override;
    // ObjectStart into the attractor's and the object's series.
    bool compute(const ObjectWindowSettings& settings) override;
    void resultClosed() override;

  private:
    // ObjectStep into the object's series, on a worker.
    void step(int unplotted, long long count);

    Tmanifsettings& settings_;
    std::unique_ptr<Tsp_XYLine> attractor_;
    std::unique_ptr<Tsp_XYLine> object_;
    IteratedObject iterated_;
};

}  // namespace kalvora
