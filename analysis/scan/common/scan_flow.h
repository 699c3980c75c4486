#pragma once

#include <utility>

#include "analysis/scan/common/scan_window.h"
#include "analysis/window/settings_dialog.h"
#include "core/noise.h"

namespace kalvora {

// The run flow both scan windows share: Run reads every cell and checks the settings before
// anything shows, keeps them as the accepted value (with a snapshot of the dialog that Cancel
// returns to), reseeds and scans; Accept in the parameter window scans again from that value. A
// window writes only check (settings the model cannot scan now) and scanAndShow.
template <class Dialog, class Settings>
class ScanWindowFlow : public ScanResultWindow {
  public:
    // The main-window command: refresh the dialog and show it.
    void open() {
        settings_.fill(imageAreaSize());
        acceptedDialog_ = settings_.snapshot();
        settings_.show();
        settings_.raise();
    }

    // "Run" in the settings dialog.
    void RunClick() {
        if (busy()) {
            return;
        }
        guarded([this] {
            // Every cell is read, and every refusal reported, before the progress window shows.
            Settings candidate = settings_.settings();
            check(candidate);
            accepted_ = std::move(candidate);
            acceptedDialog_ = settings_.snapshot();
            ReseedIfFixed(workspace());
            if (scan(accepted_)) {
                settings_.hide();
                setEnabled(true);
                show();
                raise();
            }
        });
    }

    // Accept in the parameter window while this window is visible and opened it.
    void recomputeAfterAccept() {
        if (isVisible() && !busy()) {
            scan(accepted_);
        }
    }

    // The settings of the last Run: the parameter window's Accept scans again from these, and
    // Cancel in the dialog returns the dialog to them.
    const Settings& acceptedSettings() const { return accepted_; }

  protected:
    ScanWindowFlow(AnalysisHost& host, const QString& objectName, const QString& caption,
                   const Captions& captions, Dialog& settings)
        : ScanResultWindow(host, objectName, caption, captions), settings_(settings) {
        QObject::connect(&settings_, &SettingsDialog::okClicked, this, [this] { RunClick(); });
        QObject::connect(&settings_, &SettingsDialog::cancelled, this, [this] {
            settings_.restore(acceptedDialog_);
            if (hasResult()) {
                setEnabled(true);
            }
        });
    }

    // Raises the message of settings that the model cannot scan now (it may have changed since
    // Run).
    virtual void check(const Settings& settings) const = 0;
    // Scans with these settings and shows the picture.
    virtual void scanAndShow(const Settings& settings) = 0;

    Dialog& settings_;

  private:
    // False when the scan was refused (reported).
    bool scan(const Settings& settings) {
        return guarded([&] {
            check(settings);
            scanAndShow(settings);
        });
    }

    Settings accepted_{};
    SettingsDialog::Snapshot acceptedDialog_;
};

}  // namespace kalvora
