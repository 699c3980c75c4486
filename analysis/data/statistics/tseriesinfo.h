#pragma once

#include <QAction>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <string>
#include <vector>

#include "analysis/data/statistics/statistics_run.h"
#include "analysis/data/statistics/tvarset.h"
#include "analysis/window/analysis_host.h"

namespace kalvora {

// "Series Information": the figures of the last statistics run in the group "Statistics" and the
// 20-bin histogram of its sample, drawn on the window's own surface left of the group.
class TSeriesinfo : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = kRecomputeOnEveryAccept;

    TSeriesinfo(AnalysisHost& host, TVarSet& settings);

    QGroupBox* GroupBox1;  // "Statistics"
    // The value labels beside the captions "Series" ... "Kurtosis", in that order.
    std::vector<QLabel*> figureLabels;
    QAction* Saveas1;
    QAction* Close1;
    QAction* Parameters1;
    QAction* Settings1;
    QAction* CopytoClipboardasBMP1;
    QMenu* PopupMenu1;

    // The main-window command "S&tatistics": fills the variable list and shows the settings.
    void open();
    // "OK" in the settings dialog: its settings become the accepted ones and run.
    void okbuttonClick();
    void Saveas1Click();
    void CopytoClipboardasBMP1Click();
    void Parameters1Click();
    void Settings1Click();
    // Accept in the parameter window: runs the accepted settings again while the window is
    // visible, whatever the dialog's controls hold meanwhile.
    void recomputeAfterAccept();

    const StatisticsRecord& record() const { return shown_; }
    const StatisticsSettings& acceptedSettings() const { return accepted_; }
    // The window's client area as "&Save as..." and the clipboard copy take it.
    QImage clientPicture();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // StatisticsRun with the accepted settings, then the display.
    void run();
    void showFigures();

    AnalysisHost& host_;
    TVarSet& settings_;
    StatisticsSettings accepted_;
    // What Cancel returns the dialog to: the accepted settings, or the freshly filled dialog.
    StatisticsSettings dialogSnapshot_;
    // The run fills `working_` on its worker while the window may repaint from `shown_`; the two
    // are swapped when it ends, so both buffers are allocated once, at creation.
    StatisticsRecord shown_;
    StatisticsRecord working_;
    std::string seriesName_;
    HistogramLayout layout_;
    bool running_ = false;
};

}  // namespace kalvora
