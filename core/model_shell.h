#pragma once

#include <functional>
#include <string>

namespace kalvora {

class RunControl;

// The window effects of the model commands (captions, command enabling, closing windows). The main
// window implements it; the core calls it so that the model commands run the same without windows.
class ModelShell {
  public:
    virtual ~ModelShell() = default;
    virtual void setMainCaption(const std::string& caption) = 0;
    virtual void setEditorCaption(const std::string& caption) = 0;
    // Enables the commands that need a model (with the variable-count rules) and switches noise
    // off.
    virtual void enableModelCommands() = 0;
    virtual void disableModelCommands() = 0;
    virtual void closeAnalysisWindows() = 0;
    // "&Edit Model..." with its tool button and the parameter window's "Show Model".
    virtual void setEditModelEnabled(bool enabled) = 0;
    // "&Save Model..." with its tool button.
    virtual void setSaveModelEnabled(bool enabled) = 0;
    // Shows the model editor and brings it to the front.
    virtual void showEditor() = 0;
    // Runs an evaluation of the model that a model command needs (compiling a new model runs its
    // script's top level, which may take as long as it likes). The desktop runs it as a job on a
    // worker, stopped through the control it passes; the batch tool and tests run it here, with
    // no control. Returns false when it could not run (another run is going).
    virtual bool runModelCheck(const std::function<void(RunControl* control)>& check) {
        check(nullptr);
        return true;
    }
};

// Does nothing: for the batch tool and tests that do not watch the windows.
class NullModelShell final : public ModelShell {
  public:
    void setMainCaption(const std::string&) override {}
    void setEditorCaption(const std::string&) override {}
    void enableModelCommands() override {}
    void disableModelCommands() override {}
    void closeAnalysisWindows() override {}
    void setEditModelEnabled(bool) override {}
    void setSaveModelEnabled(bool) override {}
    void showEditor() override {}
};

}  // namespace kalvora
