#pragma once

#include <QColor>
#include <QList>
#include <QWidget>
#include <vector>

#include "analysis/window/analysis_host.h"
#include "core/model_workspace.h"
#include "core/progress.h"
#include "core/scripted_prompts.h"

namespace kalvora::testing {

// The main window's services as the result windows see them, recording what they ask for. The
// colour pickers answer with the colour queued in nextBackground / nextLine (invalid: Cancel).
class FakeHost : public AnalysisHost {
  public:
    FakeHost() { ws.prompts = &scripted; }

    ModelWorkspace& workspace() override { return ws; }
    Prompts& prompts() override { return scripted; }
    Progress& computingProgress() override { return *display; }
    void runStarted(RunControl& control) override {
        run = &control;
        ++runs;
    }
    void runFinished() override { run = nullptr; }
    bool runGoing() const override { return run != nullptr; }
    void stopRun() override {
        if (run != nullptr) {
            run->requestStop();
        }
    }
    QColor backgroundColour() const override { return background; }
    bool chooseBackgroundColour(QWidget*) override {
        if (!nextBackground.isValid()) {
            return false;
        }
        background = nextBackground;
        return true;
    }
    QColor lineColour() const override { return line; }
    bool chooseLineColour(QWidget*) override {
        if (!nextLine.isValid()) {
            return false;
        }
        line = nextLine;
        return true;
    }
    void showParameterWindow(int analysisTag) override {
        tag = analysisTag;
        parameterWindowOpenings.push_back(analysisTag);
        ++disableCalls;
    }
    void showParameterWindowKeepingTag() override {
        ++parameterWindowOpeningsKeepingTag;
        ++disableCalls;
    }
    void setAnalysisTag(int analysisTag) override { tag = analysisTag; }
    void disableAllWindows() override { ++disableCalls; }
    void enableAllWindows() override { ++enableCalls; }

    ModelWorkspace ws;
    ScriptedPrompts scripted;
    NullProgress progress;
    Progress* display = &progress;
    RunControl* run = nullptr;
    int runs = 0;
    QColor background = Qt::white;
    QColor line = Qt::blue;
    QColor nextBackground;
    QColor nextLine;
    int tag = 0;
    std::vector<int> parameterWindowOpenings;
    int parameterWindowOpeningsKeepingTag = 0;
    int disableCalls = 0;
    int enableCalls = 0;
};

}  // namespace kalvora::testing
