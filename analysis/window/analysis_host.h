#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

#include "analysis/window/analysis_tag.h"
#include "core/model_workspace.h"
#include "core/progress.h"
#include "core/prompts.h"
#include "core/run_control.h"

namespace kalvora {

// What the main window offers the analysis windows. The analyses sit below the application layer,
// so they reach the main window's shared services only through this interface.
class AnalysisHost {
  public:
    virtual ~AnalysisHost() = default;

    virtual ModelWorkspace& workspace() = 0;
    virtual Prompts& prompts() = 0;
    // The computing window ("Program is computing...") as the long computations' progress display.
    virtual Progress& computingProgress() = 0;

    // A run of the model starts on a worker (RunWithComputingWindow): until runFinished, every
    // command that would evaluate or change the model is disabled, and Stop, closing the computing
    // window, Exit and the termination signals request control's stop.
    virtual void runStarted(RunControl& control) = 0;
    virtual void runFinished() = 0;
    virtual bool runGoing() const = 0;
    // Stop: the running job's stop request, when a job runs.
    virtual void stopRun() = 0;

    // The two colour pickers shared by every plot window. The background colour holds for every
    // later run in every window; choose* return false when the user cancels.
    virtual QColor backgroundColour() const = 0;
    virtual bool chooseBackgroundColour(QWidget* parent) = 0;
    virtual QColor lineColour() const = 0;
    virtual bool chooseLineColour(QWidget* parent) = 0;

    // Opens the parameter window on behalf of the analysis with this tag, then disables all
    // windows.
    virtual void showParameterWindow(int analysisTag) = 0;
    // Opens the parameter window without changing the tag it remembers, then disables all windows:
    // the data tools are recomputed after every Accept while they are visible, whatever the tag,
    // and must not take the recomputation away from the analysis that set it.
    virtual void showParameterWindowKeepingTag() { showParameterWindow(0); }
    // Sets the tag the parameter window remembers without opening it (closing the phase-plot window
    // sets 0, which ends its cycle-capture mode). The default keeps the tag as it is.
    virtual void setAnalysisTag(int analysisTag) { (void)analysisTag; }
    virtual void disableAllWindows() = 0;
    virtual void enableAllWindows() = 0;
};

// The tag of an analysis that is recomputed after every Accept in the parameter window while its
// window is visible, whichever analysis opened the parameter window.
inline constexpr int kRecomputeOnEveryAccept = -1;

// What each analysis gives the main window, which keeps one of these per analysis.
class AnalysisModule {
  public:
    virtual ~AnalysisModule() = default;

    // The main-window command that starts the analysis (reset the slots, open the settings dialog).
    virtual void open() = 0;
    // Closes the windows of this analysis that Close Model and loading a model must close.
    virtual void closeWindows() = 0;
    // The result windows that DisableAllWindows/EnableAllWindows switch.
    virtual QList<QWidget*> resultWindows() const = 0;
    // The tag the parameter window remembers for this analysis (0: none), and the recomputation
    // that Accept in the parameter window runs when this analysis opened it and its window is
    // visible.
    virtual int analysisTag() const = 0;
    virtual void recomputeAfterAccept() = 0;
};

}  // namespace kalvora
