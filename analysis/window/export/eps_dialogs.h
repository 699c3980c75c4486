#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "analysis/window/analysis_host.h"
#include "analysis/window/export/gnuplot_script.h"
#include "plot/xy_line.h"

namespace kalvora {

class GnuplotRunner;

// The scratch files of the EPS export, in the program's private scratch folder.
std::string SeriesScratchFile(const ModelWorkspace& workspace, int slot);  // slot 0 .. 4
std::string ImageScratchFile(const ModelWorkspace& workspace);             // "kalvoradata.tmp"
std::string ScriptScratchFile(const ModelWorkspace& workspace);            // "kalvoragp.tmp"

// Starts gnuplot on the script file through the shared runner and reports a failure (missing
// gnuplot, an error, no EPS) in an error box when it has ended. False, with the message shown,
// when an earlier run still reads the scratch files.
bool StartGnuplot(AnalysisHost& host, GnuplotRunner& runner, const std::string& scriptPath,
                  const std::string& output);

// "Gnuplot File Editor": the script by hand, run from here.
class Tgpedit : public QMainWindow {
    Q_OBJECT
  public:
    Tgpedit(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent);

    QPlainTextEdit* StringBox;
    QPushButton* CreatePlot;
    QPushButton* Cancel;

    // Loads the script file into the text box and shows the editor.
    void open();
    void CreatePlotClick();
    void SaveCurrentTextAsClick();
    void PrintCurrentTextClick();
    void GnuplotHelpClick();

  private:
    void saveScript();
    AnalysisHost& host_;
    GnuplotRunner& runner_;
    QString accepted_;
    bool loading_ = false;
};

// The EPS file named by the last "set output" of a script between single quotes, or "" when there
// is none that can be read back.
std::string ScriptOutputFile(const std::string& script);

// Common to both EPS dialogs: title, labels, ranges, "Save As ..." and "Edit Plot (Adv) ...".
class EpsDialogBase : public QDialog {
    Q_OBJECT
  public:
    EpsDialogBase(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent,
                  const QString& blackWhiteCaption);

    QLineEdit* Title;
    QLineEdit* ELabX;
    QLineEdit* ELabY;
    QCheckBox* Yrotate;
    QCheckBox* AutoscaleX;
    QCheckBox* AutoscaleY;
    QLineEdit* MinX;
    QLineEdit* MaxX;
    QLineEdit* MinY;
    QLineEdit* MaxY;
    QCheckBox* bw;
    QPushButton* SaveAs;
    QPushButton* EditPlot;
    std::unique_ptr<Tgpedit> editor;

    // Fills the four range texts in general number format.
    void setRanges(double minX, double maxX, double minY, double maxY);

    // "Save As ...": asks for the EPS file, writes the script and starts gnuplot. False when
    // cancelled or refused (the reason shown).
    bool SaveAsClick();
    // "Edit Plot (Adv) ...": asks for the EPS file (myplot.eps in the data folder proposed), then
    // opens the script that writes it in the editor. False when cancelled or refused.
    bool EditPlotClick();

  protected:
    virtual std::string script(const std::string& output) const = 0;
    EpsTexts texts(const std::string& output) const;
    AnalysisHost& host_;
    GnuplotRunner& runner_;
    QGridLayout* grid_;
    bool rangesAlwaysUsed_ = false;

  private:
    bool writeScript(const std::string& output);
};

// "EPS plot" for series: five slots with caption, legend, line and points boxes.
class TTSEPSform : public EpsDialogBase {
    Q_OBJECT
  public:
    TTSEPSform(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent);

    std::array<QLabel*, 5> LS{};
    std::array<QLineEdit*, 5> ES{};
    std::array<QCheckBox*, 5> Sl{};
    std::array<QCheckBox*, 5> Sp{};
    QCheckBox* LegTL;
    QCheckBox* LegTR;
    QCheckBox* LegBL;
    QCheckBox* LegBR;
    QLabel* LegendCaption;
    QLabel* PositionCaption;
    QCheckBox* SquarePlot;
    QCheckBox* CheckBoxLargeDots;
    QLabel* PntsHeading;
    QLabel* LineHeading;

    EpsLayout layout() const { return layout_; }

    // Opening from a window's "Create EPS...": the controls for the layout and the series, each
    // non-empty series written to its scratch file, then the dialog shown. Raises FileError when a
    // scratch file cannot be written; refuses (false, message shown) while gnuplot still reads
    // them.
    bool prepare(EpsLayout layout, const std::array<const Tsp_XYLine*, 5>& series);

    SeriesScriptOptions options(const std::string& output) const;

  protected:
    std::string script(const std::string& output) const override;
    void done(int result) override;

  private:
    EpsLayout layout_ = EpsLayout::Lines;
    std::array<bool, 5> filled_{};
};

// A picture and its domain for the image dialog.
struct EpsImage {
    ImageRaster raster;
    // A window that already writes its picture in the pixel-file format writes the file itself
    // instead (given the file's path); `raster` is then not used.
    std::function<void(const std::string& fileName)> writeFile;
    double minX = 0, maxX = 1, minY = 0, maxY = 1;
};

// "EPS plot" for the basin pictures.
class TBasEPSform : public EpsDialogBase {
    Q_OBJECT
  public:
    TBasEPSform(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent);

    // Writes "kalvoradata.tmp", fills the ranges and shows the dialog; as TTSEPSform::prepare.
    bool prepare(const EpsImage& image);
    ImageScriptOptions options(const std::string& output) const;

  protected:
    std::string script(const std::string& output) const override;
};

}  // namespace kalvora
