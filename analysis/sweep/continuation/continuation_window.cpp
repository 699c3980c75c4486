#include "analysis/sweep/continuation/continuation_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHeaderView>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QShortcut>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/window/background_run.h"
#include "analysis/window/export/output_commands.h"
#include "core/model_evaluator.h"
#include "core/numbers.h"
#include "core/point_sink.h"

namespace kalvora {
namespace {

// The bifurcation diagram behind the branch: parameter steps, steps left out, points per value.
constexpr long long kDiagramResolution = 400;
constexpr long long kDiagramTransient = 500;
constexpr long long kDiagramPoints = 60;

// Points drawn while the run goes on reach the picture in batches of this many.
constexpr int kLiveBatch = 25;

// The points a worker computes, handed to the user-interface thread in batches: the worker
// collects them without locking and publishes a batch; the user-interface thread takes what is
// published.
class LivePoints {
  public:
    void add(double x, double y) { collected_.push_back({x, y}); }
    std::size_t collected() const { return collected_.size(); }
    void publish() {
        const std::lock_guard<std::mutex> lock(mutex_);
        published_.insert(published_.end(), collected_.begin(), collected_.end());
        collected_.clear();
    }
    void moveInto(Tsp_XYLine& series) {
        std::vector<VectorPointSink::Point> batch;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            batch.swap(published_);
        }
        for (const auto& point : batch) {
            series.AddPoint(point.x, point.y);
        }
    }

  private:
    std::vector<VectorPointSink::Point> collected_;  // worker only
    std::mutex mutex_;
    std::vector<VectorPointSink::Point> published_;
};

QString Number(double value) {
    return QString::fromStdString(FormatGeneral(value, 10));
}

QString Eigenvalue(const std::complex<double>& value) {
    return QString::fromStdString(FormatEigenvalue(value));
}

}  // namespace

ContinuationWindow::ContinuationWindow(AnalysisHost& host, ContinuationSettingsDialog& settings)
    : AnalysisWindow(host, settings, AnalysisTag::None, QStringLiteral("ContinuationWindow"),
                     QStringLiteral("Continuation"), QSize(640, 640), QList<int>{100, 100, 50}),
      settings_(settings) {
    StyleNewSeries(diagram_, clGray);
    StyleRunSeries(diagram_, false, false);
    for (Tsp_XYLine* branch : {&stable_, &unstable_}) {
        StyleNewSeries(*branch, clBlack);
        branch->LineAttr().SetVisible(true);
        branch->LineAttr().SetWidth(2);
        branch->PointAttr().SetVisible(false);
    }
    StyleNewSeries(specials_, clRed);
    specials_.LineAttr().SetVisible(false);
    specials_.PointAttr().SetVisible(true);
    specials_.PointAttr().SetKind(ptEllipse);
    specials_.PointAttr().SetStyle(bsSolid);
    specials_.PointAttr().SetHSize(7);
    specials_.PointAttr().SetVSize(7);
    StyleNewSeries(live_, clBlack);
    live_.LineAttr().SetVisible(false);
    live_.PointAttr().SetVisible(true);
    // The diagram first, so that the branches are drawn over it.
    for (Tsp_XYLine* series : {&live_, &diagram_, &unstable_, &stable_, &specials_}) {
        series->SetPlot(graph);
    }
    data = &stable_;
    // The labels are painted with the plot, so that its pictures, copies and prints show them.
    auto previous = graph->OnDrawEnd;
    graph->OnDrawEnd = [this, previous](Tsp_XYPlot& plot, QPainter& painter) {
        paintLabels(plot, painter);
        if (previous) {
            previous(plot, painter);
        }
    };
    connect(SaveDataAs1, &QAction::triggered, this, [this] {
        Tsp_XYLine all;
        for (const ContinuationBranch& branch : outcome_.branches) {
            for (const ContinuationPoint& point : branch.points) {
                all.AddPoint(
                    point.parameter,
                    point.values[static_cast<std::size_t>(std::clamp<int>(
                        accepted_.variable, 0, static_cast<int>(point.values.size()) - 1))]);
            }
        }
        saveSeries("Indicate File to Save Data", all);
    });

    table_ = new QTableWidget(this);
    table_->setObjectName("SpecialPointTable");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    auto* dock = new QDockWidget(QStringLiteral("Special points"), this);
    dock->setObjectName("SpecialPointDock");
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setWidget(table_);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    auto* copy = new QShortcut(QKeySequence::Copy, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this,
            [this] { QApplication::clipboard()->setText(tableText()); });
    QAction* copyAction = PopupMenu1->addAction("&Copy Table");
    copyAction->setObjectName("CopyTable1");
    connect(copyAction, &QAction::triggered, this,
            [this] { QApplication::clipboard()->setText(tableText()); });

    OutputDeclaration output;
    output.layout = EpsLayout::Lines;
    output.epsSeries = [this] {
        return std::array<const Tsp_XYLine*, 5>{&diagram_, &stable_, &unstable_, &specials_,
                                                nullptr};
    };
    output.printLabels = [this] {
        return std::pair<std::string, std::string>(settings_.parameter->currentText().toStdString(),
                                                   settings_.variable->currentText().toStdString());
    };
    offerOutput(std::move(output));
}

void ContinuationWindow::open() {
    settings_.fillLists();
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

void ContinuationWindow::openFrom(const std::vector<double>& values, int period) {
    settings_.fillLists();
    settings_.setStart(values, period);
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

ContinuationWindowSettings ContinuationWindow::readDialog() const {
    return {settings_.settings(), settings_.variable->currentIndex(),
            settings_.overlay->isChecked()};
}

void ContinuationWindow::validate(const ContinuationWindowSettings& settings) const {
    const ModelDefinition& model = workspace().model();
    if (model.kind == ModelKind::Closed) {
        throw ContinuationSettingsError("No model is loaded");
    }
    if (settings.variable < 0 || settings.variable >= model.variableCount) {
        throw ContinuationSettingsError("Choose the variable drawn");
    }
    CheckContinuationSettings(model, settings.continuation);
}

bool ContinuationWindow::prepareSeries(const ContinuationWindowSettings&) {
    PlotIni(false, false, diagram_);
    for (Tsp_XYLine* series : {&stable_, &unstable_, &specials_}) {
        series->ClearPoints();
    }
    NotManualscal();
    return true;
}

bool ContinuationWindow::compute(const ContinuationWindowSettings& settings) {
    ModelWorkspace& ws = workspace();
    // The worker reads only these copies, never the workspace.
    const ModelDefinitionPtr definition = ws.definition;
    const int threads = ws.computationThreads;
    flow_ = definition->kind == ModelKind::Continuous;
    variableNames_.assign(
        definition->variableNames.begin(),
        definition->variableNames.begin() + std::max(definition->variableCount, 0));
    ContinuationOutcome outcome;
    VectorPointSink diagram;
    // The branch as it grows, drawn behind the computing window; shared with the queued
    // refreshes, which may run after this function has returned and then find nothing to do.
    auto handOver = std::make_shared<LivePoints>();
    auto going = std::make_shared<bool>(true);
    QPointer<ContinuationWindow> target(this);
    const int variable = settings.variable;
    const auto pointAdded = [handOver, going, target, variable](const ContinuationPoint& point) {
        handOver->add(point.parameter, point.values[static_cast<std::size_t>(variable)]);
        if (handOver->collected() < kLiveBatch) {
            return;
        }
        handOver->publish();
        QMetaObject::invokeMethod(
            target.data(),
            [handOver, going, target] {
                if (target.isNull() || !*going) {
                    return;
                }
                handOver->moveInto(target->live_);
                target->graph->AutoScaleAxis(target->graph->BottomAxis());
                target->graph->AutoScaleAxis(target->graph->LeftAxis());
                target->graph->Invalidate();
            },
            Qt::QueuedConnection);
    };
    live_.ClearPoints();
    live_.SetActive(true);
    show();
    RunWithComputingWindow(host(), [&](RunControl& control) {
        outcome = RunContinuation(definition, settings.continuation, control, pointAdded);
        if (!settings.overlay || outcome.stopped) {
            return;
        }
        // Made on the worker: a Lua state belongs to the thread that uses it.
        ModelEvaluator model(definition, RandomState{}, nullptr, &control);
        model.noise.noiseOn = false;
        BifurcationSettings sweep;
        sweep.parameter = settings.continuation.parameter + 1;
        sweep.minimum = std::min(settings.continuation.from, settings.continuation.to);
        sweep.maximum = std::max(settings.continuation.from, settings.continuation.to);
        sweep.plotVariable = settings.variable + 1;
        sweep.plottedPoints = kDiagramPoints;
        sweep.transientSteps = kDiagramTransient;
        sweep.resolution = kDiagramResolution;
        BifurcationSweep(model, definition->kind, sweep, threads, control, diagram);
    });
    *going = false;
    // The finished drawing takes the place of the points drawn on the way.
    live_.ClearPoints();
    live_.SetActive(false);
    outcome_ = std::move(outcome);
    for (const auto& point : diagram.points) {
        diagram_.AddPoint(point.x, point.y);
    }
    drawBranches(settings.variable);
    fillTable();
    if (!outcome_.stopped && !outcome_.notes.empty()) {
        QString text;
        for (const std::string& note : outcome_.notes) {
            text += QString::fromStdString(note) + "\n";
        }
        host().prompts().error(text.trimmed().toStdString());
    }
    QString status = QString::number(outcome_.specials.size()) + " special points";
    if (outcome_.method == DerivativeMethod::FiniteDifference) {
        status += ", Jacobians by differences";
    }
    if (outcome_.stopped) {
        status += ", stopped";
    }
    setPanelText(2, status);
    return false;
}

void ContinuationWindow::present(bool failed) {
    Plot(stable_, failed);
    for (Tsp_XYLine* series : {&diagram_, &unstable_, &specials_}) {
        series->SetActive(true);
        series->SetDrawLocked(false);
    }
    graph->AutoScaleAxis(graph->BottomAxis());
    graph->AutoScaleAxis(graph->LeftAxis());
    graph->Invalidate();
}

void ContinuationWindow::drawBranches(int variable) {
    const double gap = std::numeric_limits<double>::quiet_NaN();
    // Runs of one stability each; a run ends on the first point of the next, so that the curve
    // stays whole.
    struct Run {
        bool stable;
        std::vector<std::pair<double, double>> points;
    };
    std::vector<Run> runs;
    double xLow = HUGE_VAL, xHigh = -HUGE_VAL, yLow = HUGE_VAL, yHigh = -HUGE_VAL;
    for (const ContinuationBranch& branch : outcome_.branches) {
        const ContinuationPoint* previous = nullptr;
        for (const ContinuationPoint& point : branch.points) {
            const double x = point.parameter;
            const double y = point.values[variable];
            xLow = std::min(xLow, x);
            xHigh = std::max(xHigh, x);
            yLow = std::min(yLow, y);
            yHigh = std::max(yHigh, y);
            if (previous == nullptr || previous->stable != point.stable) {
                if (previous != nullptr) {
                    runs.back().points.emplace_back(x, y);
                }
                runs.push_back({point.stable, {}});
            }
            runs.back().points.emplace_back(x, y);
            if (point.special >= 0) {
                specials_.AddPoint(x, y);
            }
            previous = &point;
        }
    }
    // The plot draws a dashed pen dash by dash per segment, which on a dense branch looks solid:
    // the dashes are made here instead, a share of the picture's diagonal long, so that they show
    // in every picture and export alike.
    const double width = xHigh > xLow ? xHigh - xLow : 1;
    const double height = yHigh > yLow ? yHigh - yLow : 1;
    constexpr double kDash = 0.016;
    constexpr double kSpace = 0.012;
    for (const Run& run : runs) {
        if (run.stable) {
            for (const auto& [x, y] : run.points) {
                stable_.AddPoint(x, y);
            }
            stable_.AddPoint(gap, gap);
            continue;
        }
        bool on = true;
        double left = kDash;  // of the present dash or space
        unstable_.AddPoint(run.points.front().first, run.points.front().second);
        for (std::size_t k = 1; k < run.points.size(); ++k) {
            auto [x0, y0] = run.points[k - 1];
            const auto [x1, y1] = run.points[k];
            double length = std::hypot((x1 - x0) / width, (y1 - y0) / height);
            while (length > left) {
                const double share = left / length;
                x0 += share * (x1 - x0);
                y0 += share * (y1 - y0);
                length -= left;
                unstable_.AddPoint(x0, y0);
                if (on) {
                    unstable_.AddPoint(gap, gap);
                }
                on = !on;
                left = on ? kDash : kSpace;
            }
            left -= length;
            if (on) {
                unstable_.AddPoint(x1, y1);
            }
        }
        unstable_.AddPoint(gap, gap);
    }
}

void ContinuationWindow::paintLabels(Tsp_XYPlot& plot, QPainter& painter) const {
    if (!specials_.Active() || outcome_.specials.empty()) {
        return;
    }
    painter.save();
    painter.setClipRect(plot.FieldRect());
    painter.setPen(Qt::red);
    const Tsp_Axis& across = plot.BottomAxis();
    const Tsp_Axis& up = plot.LeftAxis();
    for (int k = 0; k < specials_.Count(); ++k) {
        const double x = specials_.XValues()[k];
        const double y = specials_.YValues()[k];
        // The label of the k-th marked point: the specials in the order the branches show them.
        int seen = 0;
        QString label;
        for (const ContinuationBranch& branch : outcome_.branches) {
            for (const ContinuationPoint& point : branch.points) {
                if (point.special >= 0 && seen++ == k) {
                    label = SpecialLabel(outcome_.specials[point.special].kind);
                }
            }
        }
        painter.drawText(QPoint(across.ValueToPixel(x) + 6, up.ValueToPixel(y) - 4), label);
    }
    painter.restore();
}

void ContinuationWindow::fillTable() {
    QStringList header{"Label", "Period", "Parameter"};
    for (const std::string& name : variableNames_) {
        header << QString::fromStdString(name);
    }
    header << (flow_ ? "Eigenvalues" : "Multipliers");
    table_->clear();
    table_->setColumnCount(static_cast<int>(header.size()));
    table_->setHorizontalHeaderLabels(header);
    table_->setRowCount(static_cast<int>(outcome_.specials.size()));
    int row = 0;
    for (const SpecialPoint& special : outcome_.specials) {
        QStringList cells{SpecialLabel(special.kind), QString::number(special.period),
                          Number(special.parameter)};
        for (const double value : special.values) {
            cells << Number(value);
        }
        QStringList eigenvalues;
        for (const auto& value : special.eigenvalues) {
            eigenvalues << Eigenvalue(value);
        }
        cells << eigenvalues.join("; ");
        for (int column = 0; column < cells.size(); ++column) {
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
        ++row;
    }
    table_->resizeColumnsToContents();
}

QString ContinuationWindow::tableText() const {
    QStringList lines;
    QStringList header;
    for (int column = 0; column < table_->columnCount(); ++column) {
        header << table_->horizontalHeaderItem(column)->text();
    }
    lines << header.join('\t');
    for (int row = 0; row < table_->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table_->columnCount(); ++column) {
            const QTableWidgetItem* item = table_->item(row, column);
            cells << (item != nullptr ? item->text() : QString());
        }
        lines << cells.join('\t');
    }
    return lines.join('\n') + '\n';
}

void ContinuationWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        event->ignore();
        return;
    }
    AnalysisWindow::closeEvent(event);
}

}  // namespace kalvora
