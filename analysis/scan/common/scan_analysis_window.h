#pragma once

#include "analysis/scan/common/scan_window.h"
#include "analysis/window/analysis_window.h"

namespace kalvora {

// A plane-scan result window on the one analysis-window lifecycle: Run in the dialog reads every
// cell (readDialog), checks the settings (validate) before anything shows, keeps them as the
// accepted value, reseeds and scans; Accept in the parameter window scans again from that value.
// What scans have in common beyond it is here: the dialog is filled for the window's image size
// when the analysis opens, nothing is prepared before a scan (the picture is replaced whole), the
// scan itself draws its result, and presenting shows the window. A window writes validate and
// scanAndShow.
template <class Dialog, class Settings>
class ScanAnalysisWindow : public AnalysisWindow<ScanResultWindow, Settings> {
  public:
    // The main-window command: refresh the dialog and show it.
    void open() {
        settings_.fill(this->imageAreaSize());
        this->takeDialogAsAccepted();
        settings_.show();
        settings_.raise();
    }

    // "Run" in the settings dialog.
    void RunClick() { this->okbuttonClick(); }

  protected:
    ScanAnalysisWindow(AnalysisHost& host, Dialog& settings, AnalysisTag analysisTag,
                       const QString& objectName, const QString& caption,
                       const ScanResultWindow::Captions& captions)
        : AnalysisWindow<ScanResultWindow, Settings>(host, settings, analysisTag, objectName,
                                                     caption, captions),
          settings_(settings) {}

    // Scans with these settings and shows the picture.
    virtual void scanAndShow(const Settings& settings) = 0;

    Dialog& settings_;

  private:
    Settings readDialog() const override { return settings_.settings(); }
    bool prepareSeries(const Settings&) override { return true; }
    bool compute(const Settings& settings) override {
        scanAndShow(settings);
        // A pixel whose orbit fails is coloured, not a failure of the scan.
        return false;
    }
    void present(bool) override {
        this->show();
        this->raise();
    }
};

}  // namespace kalvora
