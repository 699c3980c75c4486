#include "analysis/orbit/objects/tmanifsettings.h"

#include <QHeaderView>
#include <algorithm>

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

namespace {

// The header row and column are part of the grid and cannot be edited or even entered, so that Tab
// walks from one coordinate to the next.
QTableWidgetItem* FixedCell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::NoItemFlags);
    item->setForeground(QColor(0, 0, 0));
    item->setBackground(QColor(240, 240, 240));
    return item;
}

}  // namespace

Tmanifsettings::Tmanifsettings(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "Tmanifsettings", QStringLiteral("Settings Manifold analysis")),
      scaling(this, true) {
    ParHorizontal = new QComboBox(settingsGroup);
    ParHorizontal->setObjectName("ParHorizontal");
    ParVerticle = new QComboBox(settingsGroup);
    ParVerticle->setObjectName("ParVerticle");
    shape = new QComboBox(settingsGroup);
    shape->setObjectName("shape");
    shape->addItems({QStringLiteral("polygon"), QStringLiteral("circle")});
    NumVertLabel = new QLabel(QStringLiteral("Number of Vertices"), settingsGroup);
    NumVert = addSpinEdit("NumVert", 1, kMaximumVertices, 4);
    radiusLabel = new QLabel(QStringLiteral("Radius of the circle"), settingsGroup);
    const ObjectSettings defaults;
    radius = addNumberEdit("radius", defaults.radius);
    resol = addLineEdit("resol", "");
    resol->setText(QString::number(defaults.resolution));
    interiter = addSpinEdit("interiter", 0, kMaximumUnplottedIterations, 0);
    CheckBox1 = addCheckBox(QStringLiteral("Show attractor"), "CheckBox1");
    CheckBox1->setChecked(true);
    Label1 = new QLabel(QStringLiteral("# Points Plotted :"), settingsGroup);
    Label2 = new QLabel(QStringLiteral("# Points Not Plotted :"), settingsGroup);
    SpinEdit1 = addSpinEdit("SpinEdit1", 2, 1000000, static_cast<int>(defaults.attractorPlotted));
    SpinEdit2 =
        addSpinEdit("SpinEdit2", 2, 1000000, static_cast<int>(defaults.attractorNotPlotted));

    QGridLayout* grid = settingsGrid;
    int row = 0;
    auto addRow = [&](QWidget* caption, QWidget* control) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(control, row, 1);
        ++row;
    };
    addRow(new QLabel(QStringLiteral("Variable on Hor. Axis"), settingsGroup), ParHorizontal);
    addRow(new QLabel(QStringLiteral("Vertical Axis"), settingsGroup), ParVerticle);
    addRow(new QLabel(QStringLiteral("Moving shape"), settingsGroup), shape);
    // The vertex count and the radius share a row; only the one of the chosen shape shows.
    grid->addWidget(radiusLabel, row, 0);
    grid->addWidget(radius, row, 1);
    addRow(NumVertLabel, NumVert);
    addRow(new QLabel(QStringLiteral("Resolution"), settingsGroup), resol);
    addRow(new QLabel(QStringLiteral("# unplotted iter"), settingsGroup), interiter);
    grid->addWidget(CheckBox1, row++, 0, 1, 2);
    addRow(Label1, SpinEdit1);
    addRow(Label2, SpinEdit2);

    PointGrid = new QTableWidget(this);
    PointGrid->setObjectName("PointGrid");
    PointGrid->horizontalHeader()->hide();
    PointGrid->verticalHeader()->hide();
    PointGrid->setMinimumHeight(150);
    PointGrid->setColumnCount(2);
    PointGrid->setRowCount(NumVert->value() + 1);
    PointGrid->setItem(0, 0, FixedCell(QStringLiteral("Point")));
    numberRows();

    connect(shape, &QComboBox::currentIndexChanged, this, [this] { shapeChange(); });
    connect(NumVert, &QSpinBox::valueChanged, this, [this] { NumVertChange(); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    shapeChange();
    finishLayout({PointGrid, scaling.ManScal, scaling.group}, QSize(360, 0));
    // The scaling group is made first; the keyboard should still meet the controls top to bottom.
    QWidget* const order[] = {
        ParHorizontal,  ParVerticle,    shape,          NumVert,        radius,    resol,
        interiter,      CheckBox1,      SpinEdit1,      SpinEdit2,      PointGrid, scaling.ManScal,
        scaling.scminx, scaling.scmaxx, scaling.scminy, scaling.scmaxy, okbutton,  cancelbutton};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    ParHorizontal->setFocus();
}

void Tmanifsettings::fill() {
    const int variables = std::clamp(workspace_.model().variableCount, 1, kModelListCapacity);
    PointGrid->setColumnCount(variables + 1);
    PointGrid->setItem(0, 0, FixedCell(QStringLiteral("Point")));
    for (int v = 0; v < variables; ++v) {
        PointGrid->setItem(0, v + 1,
                           FixedCell(QString::fromStdString(workspace_.model().variableNames[v])));
    }
    FillModelVariableList(ParHorizontal, workspace_);
    FillModelVariableList(ParVerticle, workspace_);
    ParHorizontal->setCurrentIndex(0);
    // A one-variable model has no second variable; OK refuses it with a message.
    ParVerticle->setCurrentIndex(std::min(1, ParVerticle->count() - 1));
    shape->setCurrentIndex(0);
    CheckBox1->setChecked(true);
    CheckBox1Click();
    // Typing into the table starts at the first coordinate of vertex 1.
    PointGrid->setCurrentCell(1, 1);
    ParHorizontal->setFocus();
}

void Tmanifsettings::shapeChange() {
    const bool isCircle = circle();
    NumVertLabel->setVisible(!isCircle);
    NumVert->setVisible(!isCircle);
    radiusLabel->setVisible(isCircle);
    radius->setVisible(isCircle);
    NumVert->setValue(isCircle ? 1 : 4);
    NumVertChange();
}

void Tmanifsettings::NumVertChange() {
    PointGrid->setRowCount(NumVert->value() + 1);
    numberRows();
}

void Tmanifsettings::numberRows() {
    for (int row = 1; row < PointGrid->rowCount(); ++row) {
        PointGrid->setItem(row, 0, FixedCell(QString::number(row)));
    }
}

void Tmanifsettings::CheckBox1Click() {
    const bool on = CheckBox1->isChecked();
    for (QWidget* part : std::initializer_list<QWidget*>{Label1, Label2, SpinEdit1, SpinEdit2}) {
        part->setVisible(on);
    }
}

void Tmanifsettings::setCell(int row, int column, const QString& text) {
    PointGrid->setItem(row, column, new QTableWidgetItem(text));
}

ObjectSettings Tmanifsettings::settings() const {
    ObjectSettings settings;
    settings.horizontalVariable = ParHorizontal->currentIndex() + 1;
    settings.verticalVariable = ParVerticle->currentIndex() + 1;
    settings.resolution = ParseInteger(resol->text().toStdString());
    settings.shape = circle() ? ObjectShape::Circle : ObjectShape::Polygon;
    if (circle()) {
        settings.radius = ParseFloat(radius->text().toStdString());
    }
    const int rows = circle() ? 1 : NumVert->value();
    const int variables = PointGrid->columnCount() - 1;
    for (int row = 1; row <= rows; ++row) {
        std::vector<Extended> vertex;
        for (int column = 1; column <= variables; ++column) {
            const QTableWidgetItem* cell = PointGrid->item(row, column);
            vertex.push_back(ParseFloat(cell != nullptr ? cell->text().toStdString() : ""));
        }
        settings.vertices.push_back(std::move(vertex));
    }
    settings.showAttractor = CheckBox1->isChecked();
    settings.attractorPlotted = SpinEdit1->value();
    settings.attractorNotPlotted = SpinEdit2->value();
    return settings;
}

void Tmanifsettings::resetOnResultClose() {
    scaling.ManScal->setChecked(false);
    scaling.ManScalClick();
}

}  // namespace kalvora
