#pragma once

#include <QAction>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <functional>
#include <optional>
#include <string>

#include "analysis/window/analysis_host.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"
#include "analysis/window/status_panels.h"
#include "plot/plot_config.h"
#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {

class OutputCommands;
struct OutputDeclaration;

// A result window's series as its form creates it: line and markers in one colour, line
// invisible, one-pixel cross markers.
void StyleNewSeries(Tsp_XYLine& series, Tsp_Color colour);

// The desktop's keys for closing a result window, Ctrl+W (shown in the menu) and Escape, on its
// "&Close" command.
void GiveCloseShortcuts(QAction& close);

// The look PlotIni gives a series for a run: 5 x 5 squares or one-pixel crosses without fill, and
// a line between the points when lineVisible.
void StyleRunSeries(Tsp_XYLine& series, bool plotSquares, bool lineVisible);

// A result window that the program has just opened comes in front and takes the keyboard, as the
// settings dialog that opened it would otherwise hand it back to the main window, where Ctrl+W,
// Esc and the window's menu keys do not reach it. Called from showEvent; the activation waits
// until the window is on the screen.
void TakeKeyboardWhenOpened(QWidget& window, const QShowEvent& event);

// An orbit that has settled on a fixed point would get a collapsed automatic range: each settled
// axis gets the extent of the series' points widened by 0.1 on each side, with auto-scaling off.
void FrameSettledOrbit(Tsp_XYPlot& plot, const Tsp_XYDataSeries& series, bool xSettled,
                       bool ySettled);

// The machinery every analysis result window shares: the plot `graph`, the red "Overflow" label,
// the status bar with the mouse readout, the four plot-window operations (PlotIni, Plot,
// Manualscal, NotManualscal) and the commands Save Data As (single series), Change Background
// Colour, Change Line Colour and Show Grid; once attached to its settings dialog also Parameters
// and Settings, the dialog's Cancel and its manual scaling. Windows with overlay slots build on
// SlotPlotWindow.
class PlotWindow : public QMainWindow {
    Q_OBJECT
  public:
    // panelWidths: the status bar's panels; panels 0 and 1 receive the mouse readout, empty
    // each time the window opens.
    PlotWindow(AnalysisHost& host, const QString& objectName, const QString& caption,
               const QSize& size, const QList<int>& panelWidths);

    Tsp_XYPlot* graph;
    QLabel* label1;  // "Overflow"
    QStatusBar* StatusBar1;

    QAction* SaveDataAs1;
    QAction* Close1;
    QAction* ChangeBackgroundColor1;
    QAction* ChangeLineColor1;
    QAction* ShowGrid1;
    // The plot's names on its axes (on when the window opens) and round tick values (off).
    QAction* ShowAxisTitles1;
    QAction* RoundTicks1;

    // The plot's pop-up menu; each window fills it.
    QMenu* PopupMenu1;

    // The commands of an analysis window, made by attachSettings.
    QAction* Parameters1 = nullptr;
    QAction* Settings1 = nullptr;

    // The series the next run fills.
    Tsp_XYLine* data = nullptr;

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);

    // Empties the series and styles it for a run: line visible when connecting points or for a
    // continuous model, 5 x 5 squares or one-pixel crosses, no fill; then makes it inactive so the
    // coming points neither rescale nor repaint the plot one by one.
    void PlotIni(bool plotSquares, bool connectPoints, Tsp_XYLine& series);
    // Applies the shared background colour, shows the "Overflow" label exactly when the last run
    // failed, shows the window, attaches and activates the series (which auto-scales) and repaints.
    void Plot(Tsp_XYLine& series, bool failed);
    // The red "Overflow" label, shown exactly when the last run failed (Plot does this; a run
    // that appends without Plot must do it itself).
    void showOverflowLabel(bool failed);
    // Fixed ranges on the left and bottom axes.
    void Manualscal(double yMinimum, double yMaximum, double xMinimum, double xMaximum);
    // Both axes automatic again.
    void NotManualscal();

    void ChangeBackgroundColorClick();
    void ChangeLineColorClick();
    // Applies the check mark of "Show &Grid" (which the menu toggles) to both grids.
    void ShowGridClick();
    // Applies the check marks of "Show Axis &Titles" and "&Round Tick Values" to the plot.
    void ShowAxisTitlesClick();
    void RoundTicksClick();

    // Opens the parameter window under the analysis tag given to attachSettings.
    void ParametersClick();
    // Shows the settings dialog over this window, which stays disabled until OK or Cancel.
    virtual void SettingsClick();
    // "Cancel" or closing the settings dialog.
    void settingsCancelled();

    // "&Save As...", the two copy commands, "&Print..." and "Create &EPS...", for the EPS series
    // (or image) and print labels the window declares; the picture is the plot's unless the
    // declaration draws another. Made once, after the menus of attachSettings.
    OutputCommands* offerOutput(OutputDeclaration declaration);
    OutputCommands* output = nullptr;

    // The values under a mouse position of the plot, as panels 0 and 1 show them.
    std::pair<double, double> readoutAt(int x, int y) const;

  protected:
    AnalysisHost& host() const { return host_; }
    ModelWorkspace& workspace() const { return host_.workspace(); }

    // Runs a command handler and shows any failure it raises (a number that does not convert, a
    // file that cannot be written) in an error box; the command ends there. Returns whether the
    // handler ran to its end.
    bool guarded(const std::function<void()>& command);

    // "Save Data As..." of windows without slots: one dialog with this title for this series.
    void saveSeries(const std::string& title, const Tsp_XYDataSeries& series);
    // Asks for a data file with this title and writes the series to it; false when the user
    // cancels. A failed write raises its error.
    bool saveSeriesAsked(const std::string& title, const Tsp_XYDataSeries& series);

    // The window's own readout offsets (the time-series window differs).
    void setReadoutOffsets(const Tsp_ReadoutOffsets& offsets) { readout_ = offsets; }

    // The "&Edit Graph" sub-menu with the colour and grid commands.
    QMenu* createEditGraphMenu(QWidget* parent);

    // Makes this the result window of an analysis with this settings dialog: the menus "&File"
    // (Save Data As, Close) and "&Edit" with "&Parameters..." (the parameter window under
    // analysisTag) and "&Settings...", the same two commands with "&Edit Graph" in the pop-up menu,
    // and the dialog's OK running okClick. Further menus follow.
    void attachSettings(SettingsDialog& settings, int analysisTag,
                        const std::function<void()>& okClick);

    enum class ManualScaling { Off, Applied, Refused };
    // Applies the settings dialog's manual scaling: the ordinate from its edits, the abscissa from
    // its edits or, for a group without them, from abscissa. Off (nothing changed) when the check
    // box is off. Refused when an edit holds no number: that is reported, the dialog is shown again
    // and this window disabled, and the run must not start.
    ManualScaling applyManualScaling(const ScalingGroup& scaling,
                                     std::pair<double, double> abscissa = {});

    // Accepted manual limits (ScalingGroup::acceptedLimits) onto the axes: the ordinate from them,
    // the abscissa from them or, for a group without abscissa edits, from abscissa. False, with
    // nothing changed, when there are none.
    bool applyManualLimits(const std::optional<ScalingGroup::Limits>& limits,
                           std::pair<double, double> abscissa = {});

    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void graphMouseMove(int x, int y);
    // Names the axes after the run's settings (what the print options offer as labels).
    void nameAxes();

    AnalysisHost& host_;
    StatusPanels* panels_;
    Tsp_ReadoutOffsets readout_ = kStandardReadoutOffsets;
    bool lastRunFailed_ = false;
    std::function<std::pair<std::string, std::string>()> axisNames_;
    SettingsDialog* settingsDialog_ = nullptr;
    int analysisTag_ = 0;
    bool placed_ = false;
};

}  // namespace kalvora
