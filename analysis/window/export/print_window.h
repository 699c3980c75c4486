#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "analysis/window/analysis_host.h"
#include "analysis/window/export/picture_export.h"
#include "analysis/window/export/print_layout.h"

namespace kalvora {

// What a result window hands to the print window.
struct PrintPicture {
    QSize size;          // the picture on screen, in screen pixels
    PictureDrawer draw;  // draws it afresh at any size, so the page gets vectors, not pixels
    QImage preview;      // the picture as the window shows it
    std::string xLabel = "x";
    std::string yLabel = "y";
};

// The system's print dialog, replaceable so that tests print to a PDF file without a display.
// Returns false when the user cancels.
using PrinterChooser = std::function<bool(QPrinter& printer, QWidget* parent)>;
PrinterChooser& PrintDialogSeam();

// Draws the picture into its rectangle of a printable page of the painter's device, scaled so
// that a one-pixel line of the screen stays one screen pixel wide (1/96 inch) at the printer's
// resolution instead of one hair-thin printer dot, with the layout made for the rectangle.
void DrawPrintPage(QPainter& painter, int pageWidth, int pageHeight, int dotsPerInch,
                   const PrintPlacement& placement, const PrintPicture& picture);

// "Print Options": collected and pre-filled for the source window.
class Tprintform2 : public QDialog {
    Q_OBJECT
  public:
    Tprintform2();
    QCheckBox* printgrid;
    QCheckBox* labelaxes;
    QLabel* xCaption;
    QLabel* yCaption;
    QLineEdit* Edit2;            // "X-axis"
    QLineEdit* Edit1;            // "Y-axis"
    QButtonGroup* printscaling;  // "None", "Max-Min", "Automatic scaling"

  signals:
    void closedOptions();

  protected:
    void done(int result) override;
};

// The page preview: a 210 x 297 page, one pixel per millimetre, with the picture on it.
class PagePreview : public QWidget {
    Q_OBJECT
  public:
    explicit PagePreview(QWidget* parent);
    QImage picture;
    PrintPlacement placement;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// "Printer": a miniature A4 page with the picture's place, the size and position in millimetres,
// the printer setup, the print options, and printing. All other windows are disabled while it is
// open; it closes only after a successful print.
class Tprintform : public QWidget {
    Q_OBJECT
  public:
    explicit Tprintform(AnalysisHost& host);
    ~Tprintform() override;

    QSpinBox* SpinEdit1;  // "Width"
    QSpinBox* SpinEdit2;  // "Height"
    QSpinBox* SpinEdit3;  // "X Position"
    QSpinBox* SpinEdit4;  // "Y Position"
    QPushButton* PrinterSetup;
    QPushButton* Advanced;
    QPushButton* View;
    QPushButton* PagePOK;
    QPushButton* PagePCancel;
    PagePreview* Image1;
    std::unique_ptr<Tprintform2> options;

    // A print request: take the picture, pre-fill the options' labels, show this window and
    // disable all others.
    void prepare(PrintPicture picture);
    PrintPlacement placement() const;
    void refreshPreview();
    // "OK": print and close; stays open (with the printer's message shown) when printing fails.
    bool PagePOKClick();
    QPrinter& printer() { return *printer_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    AnalysisHost& host_;
    PrintPicture picture_;
    std::unique_ptr<QPrinter> printer_;
    bool open_ = false;
    bool placed_ = false;
};

}  // namespace kalvora
