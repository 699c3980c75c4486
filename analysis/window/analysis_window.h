#pragma once

// How an analysis result window runs, written once.
//
// A new analysis derives its result window from AnalysisWindow<PlotWindow, S> (one series) or
// AnalysisWindow<SlotPlotWindow, S> (five overlay slots), or, for a scan of a plane, from
// ScanAnalysisWindow<Dialog, S> (AnalysisWindow<ScanResultWindow, S>), where S is a plain value:
// everything the
// settings dialog lets the user choose (the computation's own settings struct, which holds the
// defaults that the dialog and the CLI both start from, plus point style and scaling). It then
// writes four things and gets the rest:
//   readDialog()     the dialog's controls as an S; raises the message of a bad text, of manual
//                    limits that are no numbers, of an interval too short (checks of OK alone)
//   validate(s)      raises the message of settings that cannot run now; changes nothing
//   prepareSeries(s) empties and styles the series and sets the axes (PlotIni, Manualscal)
//   compute(s)       runs the computation into `data` as a job on a worker (runModel); returns
//                    whether the run failed (a stop is no failure)
// The base owns the order: OK reads the dialog, validates, and only then stores the value as the
// accepted settings (with a snapshot of the dialog), reseeds a fixed random generator
// (ReseedIfFixed), hides the dialog and runs; Cancel restores the dialog's snapshot; Accept in the
// parameter window (recomputeAfterAccept) and any other re-run (rerunAccepted: sliders, repeat
// commands) run from the accepted settings, never from the controls. present() ends each run with
// Plot, which shows the "Overflow" label after a failure. A run in progress is never entered again
// (a script error box runs an event loop in which the user could move a slider): such requests are
// dropped. Hooks with empty defaults mark the places where windows differ:
// acceptedRunStarting/Finished around the first run of new settings, recomputeStarting/Finished
// around a re-run after Accept, resultClosed when the window closes. open() of the window calls
// takeDialogAsAccepted() after filling the dialog, so that Cancel before any OK returns to the
// freshly filled dialog.

#include <QCloseEvent>
#include <QObject>
#include <utility>

#include "analysis/window/analysis_tag.h"
#include "analysis/window/background_run.h"
#include "analysis/window/plot_window.h"
#include "core/noise.h"

namespace kalvora {

template <class Base, class Settings>
class AnalysisWindow : public Base {
  public:
    // "OK" in the settings dialog.
    void okbuttonClick() {
        if (busy()) {
            return;
        }
        this->guarded([this] {
            Settings candidate = readDialog();
            const Integration integration = dialog_.integration();
            validate(candidate);
            accepted_ = std::move(candidate);
            integration_ = integration;
            acceptedDialog_ = dialog_.snapshot();
            // After validation: a refused OK must not move the random sequence.
            ReseedIfFixed(this->workspace());
            this->setEnabled(true);
            dialog_.hide();
            acceptedRunStarting();
            if (runAndPresent()) {
                acceptedRunFinished();
            }
        });
    }

    // Accept in the parameter window while this window is visible and opened it.
    void recomputeAfterAccept() {
        if (!this->isVisible() || busy()) {
            return;
        }
        this->guarded([this] {
            validate(accepted_);
            this->update();
            recomputeStarting();
            if (runAndPresent()) {
                recomputeFinished();
            }
        });
    }

    const Settings& acceptedSettings() const { return accepted_; }
    bool running() const { return running_; }
    // This window's run, or any other, is going: a new one waits for it to end.
    bool busy() const { return running_ || this->host().runGoing(); }

  protected:
    template <class... BaseArguments>
    AnalysisWindow(AnalysisHost& host, SettingsDialog& dialog, AnalysisTag tag,
                   BaseArguments&&... baseArguments)
        : Base(host, std::forward<BaseArguments>(baseArguments)...), dialog_(dialog) {
        this->attachSettings(dialog, tag, [this] { okbuttonClick(); });
        QObject::connect(&dialog, &SettingsDialog::cancelled, this,
                         [this] { dialog_.restore(acceptedDialog_); });
    }

    virtual Settings readDialog() const = 0;
    virtual void validate(const Settings& settings) const = 0;
    virtual bool prepareSeries(const Settings& settings) = 0;
    virtual bool compute(const Settings& settings) = 0;

    virtual void present(bool failed) {
        // A window whose base draws no series (a scan's picture) says for itself how it shows.
        if constexpr (requires { this->Plot(*this->data, failed); }) {
            this->Plot(*this->data, failed);
        }
    }
    virtual void acceptedRunStarting() {}
    virtual void acceptedRunFinished() {}
    virtual void recomputeStarting() {}
    virtual void recomputeFinished() {}
    virtual void resultClosed() {}

    // Opening the analysis: what the freshly filled dialog holds is what Cancel returns to until
    // an OK is accepted. (No run can start before that OK: the window is hidden.)
    void takeDialogAsAccepted() { acceptedDialog_ = dialog_.snapshot(); }

    // Whether the accepted settings can run now (the model may have changed since OK); a refusal
    // is reported.
    bool acceptedRunnable() {
        return !busy() && this->guarded([this] { validate(accepted_); });
    }

    // The model evaluation of a run: job runs on a worker, on an evaluator of the loaded model,
    // while this thread goes on handling events (see RunModelJob). The failure it reports is one
    // the user is to see: a stopped run kept what it computed and is no failure.
    ModelRunOutcome runModel(
        const std::function<void(ModelEvaluator& model, RunControl& control)>& job) {
        ModelRunOutcome outcome = RunModelJob(this->host(), job, integration_);
        outcome.failed = outcome.failed && !outcome.stopped;
        return outcome;
    }

    // A re-run from the accepted settings: before runs first (the slider's parameter), after only
    // when the run completed. Returns whether it did.
    template <class Before, class After>
    bool rerunAccepted(Before&& before, After&& after) {
        if (busy()) {
            return false;
        }
        bool completed = false;
        this->guarded([&] {
            before();
            completed = runAndPresent();
            if (completed) {
                after();
            }
        });
        return completed;
    }

    // A run that appends to what is on screen instead of starting afresh ("Next Iteration Set"):
    // locked like every other run, presented by the caller.
    template <class Run>
    void appendRun(Run&& run) {
        if (busy()) {
            return;
        }
        RunningMark mark(running_);
        this->guarded(run);
    }

    void closeEvent(QCloseEvent* event) override {
        // Closing the window whose run goes on stops that run: nobody is left to look at it.
        if (running_) {
            this->host().stopRun();
        }
        Base::closeEvent(event);
        resultClosed();
        this->host().enableAllWindows();
    }

    SettingsDialog& dialog_;
    Settings accepted_{};
    // The integrator the accepted settings chose (the dialog's "Integrator").
    Integration integration_{};
    SettingsDialog::Snapshot acceptedDialog_;

  private:
    class RunningMark {
      public:
        explicit RunningMark(bool& running) : running_(running) { running_ = true; }
        ~RunningMark() { running_ = false; }
        RunningMark(const RunningMark&) = delete;
        RunningMark& operator=(const RunningMark&) = delete;

      private:
        bool& running_;
    };

    bool runAndPresent() {
        RunningMark mark(running_);
        if (!prepareSeries(accepted_)) {
            return false;
        }
        const bool failed = compute(accepted_);
        present(failed);
        return true;
    }

    bool running_ = false;
};

}  // namespace kalvora
