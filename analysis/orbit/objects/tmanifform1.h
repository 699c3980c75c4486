#pragma once

#include <QAction>
#include <memory>

#include "analysis/orbit/objects/object_run.h"
#include "analysis/orbit/objects/tmanifsettings.h"
#include "analysis/window/plot_window.h"
#include "analysis/window/time_steps_window.h"

namespace kalvora {

// "Manifold Analysis": a polygon or a circle in the plane of two variables and all its images so
// far, optionally over the model's attractor. "&Next Iteration(s)" moves the object on by the steps
// set in the "# time steps" window.
class Tmanifform1 : public PlotWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = 9;
    // Moves of more model steps than this run on a worker behind the computing window, where Stop
    // can end them; smaller ones are over before a window could appear.
    static constexpr long long kBackgroundSteps = 200'000;

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
    // "OK" in the settings dialog.
    void okbuttonClick();
    void ClearFormClick();
    void NextIterationsClick();
    void SaveDataAs1Click();
    // Accept in the parameter window recomputes nothing here: new values act from the next step.
    void recomputeAfterAccept() {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // ObjectStart into the two series with the settings, then Plot. Does nothing when the manual
    // ranges hold no numbers (the settings dialog is shown again).
    void start(const ObjectSettings& settings);
    // ObjectStep into the object's series, on a worker when the move is large.
    void step(int unplotted, long long count);

    Tmanifsettings& settings_;
    std::unique_ptr<Tsp_XYLine> attractor_;
    std::unique_ptr<Tsp_XYLine> object_;
    IteratedObject iterated_;
};

}  // namespace kalvora
