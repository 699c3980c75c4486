#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "analysis/window/analysis_host.h"
#include "analysis/window/export/eps_dialogs.h"
#include "analysis/window/export/picture_export.h"
#include "analysis/window/export/print_window.h"
#include "plot/xy_line.h"

namespace kalvora {

class GnuplotRunner;

// What a result window declares to get the picture, clipboard, print and EPS commands. A plot
// window fills `size` and `draw` from its plot; it names its EPS layout and series (or, for a
// coloured picture, the image), and the print options' labels. Everything else is shared.
//
// A plot window (PlotWindow::offerOutput fills the picture and the ranges from `graph`):
//     OutputDeclaration output;
//     output.layout = EpsLayout::Points;
//     output.epsSeries = [this] { return std::array<const Tsp_XYLine*, 5>{...}; };
//     output.printLabels = [this] { return std::pair<std::string, std::string>{"a", "x"}; };
//     offerOutput(std::move(output));
// A window with the five overlay slots: offerSlotOutput(EpsLayout::Points, labels).
// A window showing a coloured picture fills size, draw and epsImage (its raster and domain) and
// makes the commands itself:
//     auto* output = new OutputCommands(host, *this, declaration);
//     output->addToMenus(fileMenu, closeAction, popupMenu);
struct OutputDeclaration {
    // The picture as the window shows it: its size and how to draw it at any size.
    std::function<QSize()> size;
    PictureDrawer draw;

    // Series export: the layout code and the five series of the dialog's slots (null or empty
    // series are left out); the ranges written into the dialog (x min, x max, y min, y max).
    EpsLayout layout = EpsLayout::Lines;
    std::function<std::array<const Tsp_XYLine*, 5>()> epsSeries;
    std::function<std::array<double, 4>()> epsRanges;
    // Image export instead (the basin windows).
    std::function<EpsImage()> epsImage;

    // The print options' "X-axis" and "Y-axis" for this window.
    std::function<std::pair<std::string, std::string>()> printLabels;

    QString saveCaption = QStringLiteral("&Save As...");
    QString printCaption = QStringLiteral("&Print...");
    QString epsCaption = QStringLiteral("Create &EPS...");
};

// The commands "&Save As...", "Copy to Clipboard as &BMP", "Copy to Clipboard as &SVG" (the
// vector picture), "&Print..." and "Create &EPS..." of one result window, with the dialogs
// they open.
class OutputCommands : public QObject {
    Q_OBJECT
  public:
    OutputCommands(AnalysisHost& host, QWidget& window, OutputDeclaration declaration);
    ~OutputCommands() override;

    QAction* SaveAs1;
    QAction* CopyBitmap1;
    QAction* CopyVector1;
    QAction* Print1;
    QAction* CreateEPS1;

    // Puts the commands where the windows have them: Save As, Create EPS and Print in the file
    // menu before `before` (appended when null), the two copy commands at the end of the pop-up
    // menu.
    void addToMenus(QMenu* file, QAction* before, QMenu* popup);

    // The picture dialog, then the picture drawn straight into the chosen file.
    void SaveAsClick();
    void CopyBitmapClick();
    void CopyVectorClick();
    void PrintClick();
    void CreateEPSClick();

    // The dialogs, made on first use.
    TTSEPSform& seriesDialog();
    TBasEPSform& imageDialog();
    Tprintform& printWindow();

    // The runner the EPS commands start gnuplot with (the program's shared one by default).
    void setRunner(GnuplotRunner& runner) { runner_ = &runner; }

  private:
    QSize pictureSize() const;
    AnalysisHost& host_;
    QWidget& window_;
    OutputDeclaration declaration_;
    GnuplotRunner* runner_;
    std::unique_ptr<TTSEPSform> seriesDialog_;
    std::unique_ptr<TBasEPSform> imageDialog_;
    std::unique_ptr<Tprintform> printWindow_;
};

}  // namespace kalvora
