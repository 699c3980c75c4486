#include "analysis/orbit/cycles/cycles_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHeaderView>
#include <QMenuBar>
#include <QShortcut>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "analysis/window/background_run.h"
#include "analysis/window/export/output_commands.h"
#include "core/model_evaluator.h"
#include "core/model_step.h"
#include "core/numbers.h"

namespace kalvora {
namespace {

// The background orbit: steps left out before the first point, and points drawn.
constexpr int kOrbitTransient = 100;
constexpr int kOrbitPoints = 3000;
// Half the length of a saddle's eigenvector segment, as a share of the box's diagonal.
constexpr double kSegmentShare = 0.025;

QString Number(double value) {
    return QString::fromStdString(FormatGeneral(value, 10));
}

QString Eigenvalue(const std::complex<double>& value) {
    return QString::fromStdString(FormatEigenvalue(value));
}

}  // namespace

CyclesWindow::CyclesWindow(AnalysisHost& host, CycleSettingsDialog& settings)
    : AnalysisWindow(host, settings, AnalysisTag::None, QStringLiteral("CyclesWindow"),
                     QStringLiteral("Fixed Points and Cycles"), QSize(640, 640),
                     QList<int>{100, 100, 50}),
      settings_(settings) {
    StyleNewSeries(orbit_, clGray);
    StyleRunSeries(orbit_, false, false);
    for (Tsp_XYLine* points : {&stable_, &unstable_}) {
        StyleNewSeries(*points, clBlack);
        points->PointAttr().SetVisible(true);
        points->PointAttr().SetKind(ptEllipse);
        points->PointAttr().SetHSize(9);
        points->PointAttr().SetVSize(9);
        points->LineAttr().SetVisible(false);
    }
    stable_.PointAttr().SetStyle(bsSolid);
    unstable_.PointAttr().SetStyle(bsClear);
    StyleNewSeries(stableSegments_, clBlue);
    StyleNewSeries(unstableSegments_, clRed);
    for (Tsp_XYLine* segments : {&stableSegments_, &unstableSegments_}) {
        segments->LineAttr().SetVisible(true);
        segments->PointAttr().SetVisible(false);
    }
    // The orbit first, so that the cycles are drawn over it.
    for (Tsp_XYLine* series :
         {&orbit_, &stableSegments_, &unstableSegments_, &stable_, &unstable_}) {
        series->SetPlot(graph);
    }
    data = &orbit_;
    connect(SaveDataAs1, &QAction::triggered, this, [this] {
        Tsp_XYLine all;
        for (const Tsp_XYLine* points : {&stable_, &unstable_}) {
            for (int k = 0; k < points->Count(); ++k) {
                all.AddPoint(points->XValues()[k], points->YValues()[k]);
            }
        }
        saveSeries("Indicate File to Save Data", all);
    });

    table_ = new QTableWidget(this);
    table_->setObjectName("CycleTable");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    auto* dock = new QDockWidget(QStringLiteral("Cycles"), this);
    dock->setObjectName("CycleDock");
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setWidget(table_);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    auto* copy = new QShortcut(QKeySequence::Copy, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] { copyTable(); });
    QMenu* edit = nullptr;
    for (QAction* action : menuBar()->actions()) {
        if (action->menu() != nullptr && action->menu()->objectName() == "Edit1") {
            edit = action->menu();
        }
    }
    QAction* copyAction = (edit != nullptr ? edit : PopupMenu1)->addAction("&Copy Table");
    copyAction->setObjectName("CopyTable1");
    connect(copyAction, &QAction::triggered, this, [this] { copyTable(); });
    QAction* continueAction =
        (edit != nullptr ? edit : PopupMenu1)->addAction("Co&ntinue from Point...");
    continueAction->setObjectName("ContinueFromPoint1");
    connect(continueAction, &QAction::triggered, this, [this] { continueFromSelected(); });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { continueFromSelected(); });

    OutputDeclaration output;
    output.layout = EpsLayout::Points;
    output.epsSeries = [this] {
        return std::array<const Tsp_XYLine*, 5>{&orbit_, &stable_, &unstable_, &stableSegments_,
                                                &unstableSegments_};
    };
    output.printLabels = [this] {
        return std::pair<std::string, std::string>(
            settings_.horizontalVariable->currentText().toStdString(),
            settings_.planar()
                ? settings_.verticalVariable->currentText().toStdString()
                : settings_.horizontalVariable->currentText().toStdString() + " next");
    };
    offerOutput(std::move(output));
}

void CyclesWindow::open() {
    settings_.fillLists();
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

CyclesWindowSettings CyclesWindow::readDialog() const {
    return {settings_.settings()};
}

void CyclesWindow::validate(const CyclesWindowSettings& settings) const {
    if (workspace().model().kind == ModelKind::Closed) {
        throw CycleSettingsError("No model is loaded");
    }
    CheckCycleSettings(workspace().model().variableCount, settings.search);
}

bool CyclesWindow::prepareSeries(const CyclesWindowSettings& settings) {
    PlotIni(false, workspace().model().kind == ModelKind::Continuous, orbit_);
    for (Tsp_XYLine* series : {&stable_, &unstable_, &stableSegments_, &unstableSegments_}) {
        series->ClearPoints();
    }
    // The picture is the box: what lies outside was not searched.
    const CycleBoxAxis& across = settings.search.box.front();
    const CycleBoxAxis& up = settings.search.box.back();
    Manualscal(up.minimum, up.maximum, across.minimum, across.maximum);
    return true;
}

bool CyclesWindow::compute(const CyclesWindowSettings& settings) {
    ModelWorkspace& ws = workspace();
    // The worker reads only these copies, never the workspace.
    const ModelDefinitionPtr definition = ws.definition;
    const RandomState randomState = ws.randomState;
    const ModelKind kind = definition->kind;
    const int threads = ws.computationThreads;
    flow_ = kind == ModelKind::Continuous;
    variableNames_.assign(
        definition->variableNames.begin(),
        definition->variableNames.begin() + std::max(definition->variableCount, 0));
    const int across = settings.search.box.front().variable;
    const int up = settings.search.box.size() > 1 ? settings.search.box.back().variable : -1;
    std::vector<std::pair<double, double>> orbit;
    CycleSearchOutcome outcome;
    RandomState orbitRandom;
    // Shown from the start, behind the computing window, where the result will appear.
    show();
    RunWithComputingWindow(host(), [&](RunControl& control) {
        outcome = FindCycles(definition, settings.search, control, threads);
        if (outcome.stopped) {
            return;
        }
        // Made on the worker: a Lua state belongs to the thread that uses it.
        ModelEvaluator orbitModel(definition, randomState, nullptr, &control);
        StateVector state = definition->initialValues;
        for (int step = 0; step < kOrbitTransient + kOrbitPoints && !orbitModel.errorFlag &&
                           !control.stopRequested();
             ++step) {
            const double x = static_cast<double>(state[across]);
            ModelStep(orbitModel, kind, state);
            if (step >= kOrbitTransient && !orbitModel.errorFlag) {
                // One variable: the point against its image.
                const double next = static_cast<double>(state[across]);
                orbit.emplace_back(up >= 0 ? next : x,
                                   up >= 0 ? static_cast<double>(state[up]) : next);
            }
        }
        orbitRandom = RandomStateOf(orbitModel);
    });
    // The background orbit drew from the noise sequence; the next run continues it.
    if (definition->noise.noiseOn && !outcome.stopped) {
        ws.randomState = orbitRandom;
    }
    outcome_ = std::move(outcome);
    for (const auto& [x, y] : orbit) {
        orbit_.AddPoint(x, y);
    }
    drawCycles(settings);
    fillTable();
    if (!outcome_.message.empty() && !outcome_.stopped) {
        host().prompts().error(outcome_.message);
    }
    QString status = QString::number(outcome_.cycles.size()) + (flow_ ? " equilibria" : " cycles");
    if (outcome_.method == DerivativeMethod::FiniteDifference) {
        status += ", Jacobians by differences";
    }
    if (outcome_.stopped) {
        status += ", stopped";
    }
    setPanelText(2, status);
    return false;
}

void CyclesWindow::present(bool failed) {
    Plot(orbit_, failed);
    for (Tsp_XYLine* series : {&stable_, &unstable_, &stableSegments_, &unstableSegments_}) {
        series->SetDrawLocked(false);
    }
    // Plot auto-scales nothing here: the axes stay on the box.
    graph->update();
}

void CyclesWindow::drawCycles(const CyclesWindowSettings& settings) {
    const CycleBoxAxis& across = settings.search.box.front();
    const bool planar = settings.search.box.size() > 1;
    const CycleBoxAxis& up = settings.search.box.back();
    const double width = across.maximum - across.minimum;
    const double height = up.maximum - up.minimum;
    const double half = kSegmentShare * std::hypot(width, height);
    const double gap = std::numeric_limits<double>::quiet_NaN();
    for (const Cycle& cycle : outcome_.cycles) {
        const int count = static_cast<int>(cycle.points.size());
        for (int k = 0; k < count; ++k) {
            const CyclePoint& point = cycle.points[k];
            const double x = point.values[across.variable];
            // One variable: the point against its image, the next point of the cycle.
            const double y = planar ? point.values[up.variable]
                                    : cycle.points[(k + 1) % count].values[across.variable];
            (cycle.stable ? stable_ : unstable_).AddPoint(x, y);
            if (cycle.type != CycleType::Saddle || !planar) {
                continue;
            }
            for (const CycleDirection& direction : point.directions) {
                const double dx = direction.vector[across.variable];
                const double dy = direction.vector[up.variable];
                const double length = std::hypot(dx / width, dy / height);
                if (length == 0) {
                    continue;  // along variables the plane does not show
                }
                // Equally long on the screen whichever way the vector points.
                const double scale = half / std::hypot(width, height) / length;
                Tsp_XYLine& segments = direction.stable ? stableSegments_ : unstableSegments_;
                segments.AddPoint(x - scale * dx, y - scale * dy);
                segments.AddPoint(x + scale * dx, y + scale * dy);
                segments.AddPoint(gap, gap);
            }
        }
    }
}

void CyclesWindow::fillTable() {
    QStringList header{"Period", "Point"};
    for (const std::string& name : variableNames_) {
        header << QString::fromStdString(name);
    }
    header << (flow_ ? "Eigenvalues" : "Multipliers") << "Stability"
           << "Type"
           << "Trace"
           << "Determinant";
    table_->clear();
    table_->setColumnCount(static_cast<int>(header.size()));
    table_->setHorizontalHeaderLabels(header);
    int rows = 0;
    for (const Cycle& cycle : outcome_.cycles) {
        rows += static_cast<int>(cycle.points.size());
    }
    table_->setRowCount(rows);
    int row = 0;
    const bool planar = variableNames_.size() == 2;
    for (const Cycle& cycle : outcome_.cycles) {
        QStringList eigenvalues;
        for (const auto& value : cycle.eigenvalues) {
            eigenvalues << Eigenvalue(value);
        }
        for (std::size_t k = 0; k < cycle.points.size(); ++k, ++row) {
            QStringList cells{QString::number(cycle.period), QString::number(k + 1)};
            for (const double value : cycle.points[k].values) {
                cells << Number(value);
            }
            cells << eigenvalues.join("; ") << (cycle.stable ? "stable" : "unstable")
                  << CycleTypeName(cycle.type) << (planar ? Number(cycle.trace) : QString())
                  << (planar ? Number(cycle.determinant) : QString());
            for (int column = 0; column < cells.size(); ++column) {
                table_->setItem(row, column, new QTableWidgetItem(cells[column]));
            }
        }
    }
    table_->resizeColumnsToContents();
}

QString CyclesWindow::tableText() const {
    QStringList lines;
    QStringList header;
    for (int column = 0; column < table_->columnCount(); ++column) {
        header << table_->horizontalHeaderItem(column)->text();
    }
    lines << header.join('\t');
    const bool anySelected = !table_->selectionModel()->selectedRows().isEmpty();
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (anySelected && !table_->selectionModel()->isRowSelected(row, QModelIndex())) {
            continue;
        }
        QStringList cells;
        for (int column = 0; column < table_->columnCount(); ++column) {
            const QTableWidgetItem* item = table_->item(row, column);
            cells << (item != nullptr ? item->text() : QString());
        }
        lines << cells.join('\t');
    }
    return lines.join('\n') + '\n';
}

void CyclesWindow::continueFromSelected() {
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    int row = selected.isEmpty() ? 0 : selected.front().row();
    for (const Cycle& cycle : outcome_.cycles) {
        const int count = static_cast<int>(cycle.points.size());
        if (row < count) {
            emit continueFrom(cycle.points[static_cast<std::size_t>(row)].values, cycle.period);
            return;
        }
        row -= count;
    }
}

void CyclesWindow::copyTable() const {
    QApplication::clipboard()->setText(tableText());
}

void CyclesWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        event->ignore();
        return;
    }
    AnalysisWindow::closeEvent(event);
}

}  // namespace kalvora
