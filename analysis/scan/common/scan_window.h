#pragma once

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QStatusBar>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/scan/common/scan_picture.h"
#include "analysis/scan/common/scan_run.h"
#include "analysis/window/analysis_host.h"
#include "analysis/window/analysis_tag.h"
#include "analysis/window/export/output_commands.h"
#include "analysis/window/settings_dialog.h"
#include "analysis/window/status_panels.h"

namespace kalvora {

// The image area of a scan window: it shows the window's image and reports the pointer over it.
class ScanImageView : public QWidget {
    Q_OBJECT
  public:
    explicit ScanImageView(QWidget* parent);
    void setImage(const QImage* image);
    std::function<void(int x, int y)> OnMouseMove;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    const QImage* image_ = nullptr;
};

// What the two plane-scan result windows share: the framed picture of the last scan, redrawn
// stretched on every resize, the pointer readout in the first two status-bar panels (empty when
// the window opens), "Save &Data As..." per class, the commands of the "File" and "Edit" menus,
// and running a scan on a worker behind the computing window. The window keeps the domain, the
// raster and the axis names of its own last scan, whatever other analyses have run since.
class ScanResultWindow : public QMainWindow {
    Q_OBJECT
  public:
    struct Captions {
        QString saveAs;      // "&Save As..." or "Save As..."
        QString print;       // "&Print..." or "Print..."
        QString close;       // "&Close" or "Close"
        QString parameters;  // "Parameters..." or "Parameters"
    };

    ScanResultWindow(AnalysisHost& host, const QString& objectName, const QString& caption,
                     const Captions& captions);

    ScanImageView* Image1;
    QStatusBar* StatusBar1;
    QAction* SaveDataAs1;
    // "&Save As...", "Create &EPS..." and "&Print..." come from the shared output commands.
    OutputCommands* output;
    QAction* SaveAs1;
    QAction* CreateEPS1;
    QAction* Print1;
    QAction* Close1;
    QAction* Parameters1;
    QAction* Settings1;

    // The image area: the window's width less 8 and height less 65 pixels, at its top left.
    QSize imageAreaSize() const;
    // The window's image as shown: frame, ticks, labels and the stretched raster.
    const QImage& image() const { return image_; }
    const ColourRaster& raster() const { return raster_; }
    const ScanDomain& domain() const { return domain_; }
    const ScanLegend& legend() const { return legend_; }
    // Where the raster lies in the window's image, beside the legend.
    ScanFrame frame() const;
    bool hasResult() const { return !raster_.empty(); }
    QString panelText(int panel) const;

    // The pixel file of "Create &EPS..." for this window's raster and domain.
    void writePixelFile(const std::string& fileName) const;

    // The readout of panels 0 and 1 for a pointer at (x, y) of the image.
    void graphMouseMove(int x, int y);

    // A scan is running: the computing window's event loop must not start another one (a
    // parameter window accepted meanwhile, a second Run).
    bool running() const { return running_; }
    // This window's scan, or any other run, is going: a new scan waits for it to end.
    bool busy() const { return running_ || host_.runGoing(); }

  protected:
    AnalysisHost& host() const { return host_; }
    ModelWorkspace& workspace() const { return host_.workspace(); }
    bool guarded(const std::function<void()>& command);

    // Keeps the scan's result and draws it, with the legend of its classes.
    void showResult(ColourRaster raster, const ScanDomain& domain, const QString& horizontalName,
                    const QString& verticalName, ScanLegend legend);

    // Runs the scan on a worker behind the computing window while the user interface goes on;
    // this window and `dialog` take no commands meanwhile. The job gets the evaluators of the
    // workspace's model, made on the worker (ScanModels). Script messages recorded by them are
    // shown afterwards, and a noisy scan hands its random sequence back to the workspace. Empty
    // when nothing ran because another run was going.
    std::optional<ScanOutcome> runScan(
        int requestedThreads, const ScanDomain& domain, QWidget* dialog,
        const std::function<ScanOutcome(ScanModels& models, RunControl& control)>& job);

    // "Save &Data As...": one save dialog per class, "Indicate File to Save Cycle# " and the
    // class's number, each file listing the pixels of the class's colour. Cancelling ends it.
    void saveClassFiles(const std::vector<std::pair<int, RgbColour>>& classes);

    // The settings dialog of the analysis, as every analysis window takes it: its OK (Run) calls
    // okClick, Settings... reopens it with this window disabled until Run or Cancel, and
    // Parameters... opens the parameter window for the analysis's tag.
    void attachSettings(SettingsDialog& settings, int analysisTag,
                        const std::function<void()>& okClick);

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void redraw();
    OutputDeclaration outputDeclaration(const Captions& captions);

    AnalysisHost& host_;
    StatusPanels* panels_;
    QImage image_;
    QImage rasterImage_;
    ColourRaster raster_;
    ScanDomain domain_;
    QString horizontalName_;
    QString verticalName_;
    ScanLegend legend_;
    bool running_ = false;
};

}  // namespace kalvora
