#include "app/parameter_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "app/model_editor.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora {

namespace {

constexpr int kGridHeightWithStep = 137;
constexpr int kGridHeightWithoutStep = 169;

QTableWidget* MakeGrid(const QString& id, const QString& nameHeader, QWidget* parent) {
    auto* grid = new QTableWidget(0, 2, parent);
    grid->setObjectName(id);
    grid->setHorizontalHeaderLabels({nameHeader, "Values"});
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    grid->setFixedSize(220, kGridHeightWithoutStep);
    return grid;
}

}  // namespace

TParameters::TParameters(TForm1& mainWindow, QWidget* parent)
    : QDialog(parent, Qt::Dialog), main_(mainWindow), workspace_(mainWindow.workspace()) {
    setObjectName("Parameters");
    setWindowTitle("Change Parameter Values");
    setModal(false);

    IniGrid = MakeGrid("IniGrid", "Initial Conditions", this);
    ParGrid = MakeGrid("ParGrid", "Parameters", this);
    Label1 = new QLabel("Stepsize Runge Kutta : ", this);
    Label1->setObjectName("Label1");
    Edit1 = new QLineEdit("0.01", this);
    Edit1->setMaximumWidth(160);
    Edit1->setObjectName("Edit1");

    showmodel = new QPushButton("Show Model", this);
    showmodel->setObjectName("showmodel");
    par_default = new QPushButton("Default", this);
    par_default->setObjectName("par_default");
    accept = new QPushButton("Accept", this);
    accept->setObjectName("accept");
    accept->setDefault(true);
    par_cancel = new QPushButton("Cancel", this);
    par_cancel->setObjectName("par_cancel");

    connect(showmodel, &QPushButton::clicked, this,
            [this] { main_.runCommand([this] { showmodelClick(); }); });
    connect(par_default, &QPushButton::clicked, this,
            [this] { main_.runCommand([this] { par_defaultClick(); }); });
    connect(accept, &QPushButton::clicked, this,
            [this] { main_.runCommand([this] { acceptClick(); }); });
    connect(par_cancel, &QPushButton::clicked, this, &TParameters::par_cancelClick);

    auto* grids = new QHBoxLayout;
    grids->addWidget(IniGrid);
    grids->addWidget(ParGrid);
    auto* step = new QHBoxLayout;
    step->addWidget(Label1);
    step->addWidget(Edit1);
    step->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showmodel);
    buttons->addWidget(par_default);
    buttons->addStretch();
    buttons->addWidget(accept);
    buttons->addWidget(par_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grids);
    layout->addLayout(step);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TParameters::fillGrid(QTableWidget* grid, int rows,
                           const std::array<std::string, kModelListCapacity>& names,
                           const std::array<Extended, kModelListCapacity>& values,
                           const char* nameSuffix, std::vector<ShownValue>& shown) {
    grid->clearContents();
    grid->setRowCount(rows);
    shown.clear();
    for (int row = 0; row < rows; ++row) {
        auto* name = new QTableWidgetItem(QString::fromStdString(names[row]) + nameSuffix);
        name->setFlags(Qt::ItemIsEnabled);
        name->setBackground(palette().brush(QPalette::Button));
        grid->setItem(row, 0, name);
        const QString text = QString::fromStdString(FormatGeneral(values[row], 7, 3));
        grid->setItem(row, 1, new QTableWidgetItem(text));
        shown.push_back({text, values[row]});
    }
}

void TParameters::ShowParameterWindow() {
    const ModelWorkspace& ws = workspace_;
    const int parameters = std::clamp(ws.model().parameterCount, 0, kModelListCapacity);
    const int variables = std::clamp(ws.model().variableCount, 0, kModelListCapacity);
    fillGrid(ParGrid, parameters, ws.model().parameterNames,
             useDefaults_ ? ws.model().defaultParameterValues : ws.model().parameterValues, "",
             shownParameters_);
    fillGrid(IniGrid, variables, ws.model().variableNames,
             useDefaults_ ? ws.model().defaultInitialValues : ws.model().initialValues, "(0)",
             shownInitial_);
    if (!ws.model().discrete)
        Edit1->setText(main_.modelEditor()->rh->text());
    useDefaults_ = false;
    // Laid out for the model's type each time it is opened, not each time it regains the focus, so
    // that a step size being typed survives a look at another window.
    FormActivate();
    show();
    raise();
    activateWindow();
}

void TParameters::FormActivate() {
    const bool continuous = !workspace_.model().discrete;
    Label1->setVisible(continuous);
    Edit1->setVisible(continuous);
    const int height = continuous ? kGridHeightWithStep : kGridHeightWithoutStep;
    IniGrid->setFixedHeight(height);
    ParGrid->setFixedHeight(height);
    if (continuous) {
        shownStep_ = {QString::fromStdString(FormatGeneral(workspace_.model().stepSize, 15)),
                      workspace_.model().stepSize};
        Edit1->setText(shownStep_.text);
    }
}

Extended TParameters::cellValue(QTableWidget* grid, int row, const std::vector<ShownValue>& shown) {
    const QTableWidgetItem* item = grid->item(row, 1);
    const QString text = item != nullptr ? item->text() : QString();
    if (row < static_cast<int>(shown.size()) && text == shown[row].text)
        return shown[row].value;
    try {
        return ParseFloat(text.toStdString());
    } catch (...) {
        grid->setFocus();
        grid->setCurrentCell(row, 1);
        throw;
    }
}

void TParameters::acceptClick() {
    ModelWorkspace& ws = workspace_;
    // Every field is read before anything is stored: a bad cell leaves the model exactly as it was,
    // so Cancel after it keeps a consistent set of values rather than half of the new one.
    std::vector<Extended> parameters;
    for (int i = 0; i < ParGrid->rowCount(); ++i) {
        parameters.push_back(cellValue(ParGrid, i, shownParameters_));
    }
    std::vector<Extended> initial;
    for (int i = 0; i < IniGrid->rowCount(); ++i) {
        initial.push_back(cellValue(IniGrid, i, shownInitial_));
    }
    Extended stepSize = ws.model().stepSize;
    if (!ws.model().discrete) {
        const QString text = Edit1->text();
        if (text == shownStep_.text) {
            stepSize = shownStep_.value;
        } else {
            try {
                stepSize = ParseFloat(text.toStdString());
            } catch (...) {
                Edit1->setFocus();
                throw;
            }
        }
    }
    ReseedIfFixed(ws);
    ReplaceModel(ws, [&](ModelDefinition& model) {
        std::copy(parameters.begin(), parameters.end(), model.parameterValues.begin());
        std::copy(initial.begin(), initial.end(), model.initialValues.begin());
        model.stepSize = stepSize;
    });
    main_.enableAllWindows();
    hide();
    main_.RecomputeAfterAccept();
}

void TParameters::par_defaultClick() {
    useDefaults_ = true;
    ShowParameterWindow();
    main_.disableAllWindows();
}

void TParameters::par_cancelClick() {
    close();
}

void TParameters::reject() {
    close();
}

void TParameters::showmodelClick() {
    main_.showEditor();
}

void TParameters::closeEvent(QCloseEvent* event) {
    event->accept();
    hide();
    main_.enableAllWindows();
}

void TParameters::setShowModelEnabled(bool enabled) {
    showmodel->setEnabled(enabled);
}

void TParameters::setAcceptEnabled(bool enabled) {
    accept->setEnabled(enabled);
}

}  // namespace kalvora
