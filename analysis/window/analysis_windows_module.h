#pragma once

#include <memory>
#include <utility>

#include "analysis/window/analysis_host.h"

namespace kalvora {

// An analysis as the main window sees it when it consists of one settings dialog and one result
// window: the dialog is built on the host's workspace, the window on the host, the dialog and any
// further arguments the window takes. The window provides open() (the main-window command),
// recomputeAfterAccept() (Accept in the parameter window) and kAnalysisTag (the tag the parameter
// window remembers for it).
template <class Dialog, class Window>
class AnalysisWindowsModule final : public AnalysisModule {
  public:
    template <class... WindowArguments>
    explicit AnalysisWindowsModule(AnalysisHost& host, WindowArguments&&... windowArguments)
        : settings_(std::make_unique<Dialog>(host.workspace())),
          window_(std::make_unique<Window>(host, *settings_,
                                           std::forward<WindowArguments>(windowArguments)...)) {}
    // The window refers to the dialog, so it goes first.
    ~AnalysisWindowsModule() override { window_.reset(); }

    void open() override { window_->open(); }
    void closeWindows() override {
        if (window_->isVisible()) {
            window_->close();
        }
        if (settings_->isVisible()) {
            settings_->close();
        }
    }
    QList<QWidget*> resultWindows() const override { return {window_.get()}; }
    int analysisTag() const override { return Window::kAnalysisTag; }
    void recomputeAfterAccept() override { window_->recomputeAfterAccept(); }

    Dialog& settingsDialog() { return *settings_; }
    Window& resultWindow() { return *window_; }

  private:
    std::unique_ptr<Dialog> settings_;
    std::unique_ptr<Window> window_;
};

}  // namespace kalvora
