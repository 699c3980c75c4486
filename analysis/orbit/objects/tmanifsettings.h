#pragma once

#include <QComboBox>
#include <QTableWidget>

#include "analysis/orbit/objects/object_run.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Manifold analysis": the plane of two variables, the polygon's vertices or the circle's
// centre and radius in all model variables, the sampling, the attractor and the manual ranges.
class Tmanifsettings : public SettingsDialog {
    Q_OBJECT
  public:
    explicit Tmanifsettings(const ModelWorkspace& workspace);

    QComboBox* ParHorizontal;  // "Variable on Hor. Axis"
    QComboBox* ParVerticle;    // "Vertical Axis"
    QComboBox* shape;          // "Moving shape": "polygon" or "circle"
    QLabel* NumVertLabel;
    QSpinBox* NumVert;  // "Number of Vertices", polygon only
    QLabel* radiusLabel;
    QLineEdit* radius;  // "Radius of the circle", circle only
    // Row 0 holds "Point" and the variable names, column 0 the row numbers; the vertices below.
    QTableWidget* PointGrid;
    QLineEdit* resol;      // "Resolution"
    QSpinBox* interiter;   // "# unplotted iter"
    QCheckBox* CheckBox1;  // "Show attractor"
    QLabel* Label1;        // "# Points Plotted :"
    QLabel* Label2;        // "# Points Not Plotted :"
    QSpinBox* SpinEdit1;
    QSpinBox* SpinEdit2;
    ScalingGroup scaling;

    // The main-window command: the table's columns for the model's variables, both variable lists
    // (the first variable across, the second up), the polygon, the attractor shown.
    void fill();
    void FormActivate() override {}

    // "polygon" shows "Number of Vertices" with 4 vertices, "circle" the radius with one row, the
    // centre.
    void shapeChange();
    // The table follows "Number of Vertices".
    void NumVertChange();
    // "Show attractor" shows or hides the attractor's two counts.
    void CheckBox1Click();

    bool circle() const { return shape->currentIndex() == 1; }
    // The text of a vertex cell: row from 1, variable column from 1.
    void setCell(int row, int column, const QString& text);

    // The settings as the controls hold them now; raises the conversion error of a table cell, the
    // radius or the resolution that holds no number.
    ObjectSettings settings() const;
    // The state after closing the result window.
    void resetOnResultClose();

  private:
    void numberRows();
};

}  // namespace kalvora
