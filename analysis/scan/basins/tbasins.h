#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>

#include "analysis/scan/basins/basin_scan.h"
#include "analysis/scan/common/colour_panels.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Basin of Attraction": the stable cycles with a point of each, the rectangle of starting
// points, the scan's settings and the shared colour table. The button "Run" starts the scan; a
// double click on the dialog or the cycle table asks for the phase plot's cycle capture.
class TBasins : public SettingsDialog {
    Q_OBJECT
  public:
    explicit TBasins(ModelWorkspace& workspace);

    QTableWidget* CycleGrid;
    QTableWidget* DomainGrid;
    QSpinBox* NumCycles;
    QLineEdit* Epsilon;
    QSpinBox* StartIterations;
    QSpinBox* MaxDistance;
    QComboBox* VarHorizontal;
    QComboBox* VarVerticle;
    QCheckBox* alldim;
    // Scans on one thread even without noise (the picture is the same; the user may want the
    // other cores for something else).
    QCheckBox* OneThread;
    ColourPanels* colours;

    // The main-window command: the table headers and row numbers, the empty domain cells with
    // their defaults (the image area's size as resolution), the colour panels, both variable lists
    // with the first and second variable selected. Entries already typed stay.
    void fill(const QSize& imageArea);
    void FormActivate() override;

    // The settings as the controls hold them, read in the scan's order (cycle rows, domain rows,
    // epsilon); a cell that does not parse raises its conversion error.
    BasinSettings settings() const;
    int requestedThreads() const { return OneThread->isChecked() ? 1 : 0; }

    // The phase plot's variables in cycle-capture mode: 1-based StateVector entries.
    int captureHorizontal() const { return VarHorizontal->currentIndex() + 1; }
    int captureVertical() const { return VarVerticle->currentIndex() + 1; }
    // Writes the end state of a captured orbit into the first row whose first variable cell is
    // empty, or into the last row in use when all are filled.
    void writeCapturedState(const StateVector& state);

  signals:
    void cycleCaptureRequested();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    ModelWorkspace& model_;
};

}  // namespace kalvora
