#include "analysis/sweep/common/sweep_window_run.h"

#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMetaObject>
#include <QPointer>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/window/analysis_host.h"
#include "analysis/window/background_run.h"

namespace kalvora {

namespace {

// The points go from the worker to the user-interface thread in batches: the worker collects
// them without locking and publishes what it has at each refresh; the user-interface thread
// takes the published batch. Only the take and the publish share the lock.
class PointHandOver final : public PointSink {
  public:
    void addPoint(double x, double y) override { collected_.push_back({x, y}); }
    void addPoints(const PlotPoint* points, std::size_t count) override {
        collected_.insert(collected_.end(), points, points + count);
    }

    void publish() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (published_.empty()) {
            published_.swap(collected_);
        } else {
            published_.insert(published_.end(), collected_.begin(), collected_.end());
            collected_.clear();
        }
    }

    void moveInto(Tsp_XYLine& series) {
        std::vector<VectorPointSink::Point> batch;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            batch.swap(published_);
        }
        series.AddPoints(batch.data(), batch.size());
    }

  private:
    std::vector<VectorPointSink::Point> collected_;  // worker only
    std::mutex mutex_;
    std::vector<VectorPointSink::Point> published_;
};

// Locks what could start another run from this window while the sweep runs.
class LockedWindow {
  public:
    explicit LockedWindow(PlotWindow& window) : window_(window) {
        window_.menuBar()->setEnabled(false);
        window_.graph->setContextMenuPolicy(Qt::PreventContextMenu);
    }
    ~LockedWindow() {
        window_.menuBar()->setEnabled(true);
        window_.graph->setContextMenuPolicy(Qt::CustomContextMenu);
    }
    LockedWindow(const LockedWindow&) = delete;
    LockedWindow& operator=(const LockedWindow&) = delete;

  private:
    PlotWindow& window_;
};

}  // namespace

long long DefaultResolution(const PlotWindow& window) {
    // A window that has never been shown has not laid out its plot yet.
    if (!window.isVisible() && window.layout() != nullptr) {
        window.layout()->activate();
    }
    const Tsp_XYPlot& graph = *window.graph;
    return graph.width() - graph.LeftAxis().LabelSpace(6, 8) - graph.LeftAxis().Margin() -
           graph.RightAxis().Margin();
}

SweepOutcome RunSweepInWindow(PlotWindow& window, AnalysisHost& host, Tsp_XYLine& series,
                              const WindowSweep& sweep, const Integration& integration) {
    ModelWorkspace& ws = host.workspace();
    const ModelDefinitionPtr definition = WithIntegration(ws.definition, integration);
    const RandomState randomState = ws.randomState;
    // What the worker's evaluator leaves behind, read here once the job has ended.
    RandomState after = randomState;
    std::string message;
    // Shared with the queued refreshes, which may run after this function has returned.
    auto handOver = std::make_shared<PointHandOver>();
    QPointer<PlotWindow> target(&window);
    Tsp_XYLine* drawn = &series;
    series.SetDrawLocked(true);

    // A refresh still queued when the sweep has ended finds nothing to do: the points are in the
    // series and the window has been laid out for good.
    auto live = std::make_shared<bool>(true);
    auto refresh = [handOver, target, drawn, live] {
        handOver->publish();
        QMetaObject::invokeMethod(
            target.data(),
            [handOver, target, drawn, live] {
                if (target.isNull() || !*live) {
                    return;
                }
                handOver->moveInto(*drawn);
                // Unlocking repaints with every point so far; the rest come locked again.
                drawn->SetDrawLocked(false);
                drawn->SetDrawLocked(true);
            },
            Qt::QueuedConnection);
    };

    SweepOutcome outcome;
    {
        const LockedWindow locked(window);
        try {
            const bool ran = RunWithComputingWindow(host, [&](RunControl& control) {
                ModelEvaluator model(definition, randomState, nullptr, &control);
                try {
                    if (model.scriptStatus == 0) {
                        outcome = sweep(model, control, *handOver, refresh);
                    } else {
                        outcome.failed = true;
                    }
                } catch (...) {
                    handOver->publish();
                    after = RandomStateOf(model);
                    throw;
                }
                handOver->publish();
                after = RandomStateOf(model);
                message = model.recordedMessage;
            });
            if (!ran) {
                *live = false;
                return outcome;
            }
        } catch (...) {
            *live = false;
            handOver->moveInto(series);
            ws.randomState = after;
            throw;
        }
    }
    *live = false;
    handOver->moveInto(series);
    ws.randomState = after;
    ShowSkippedValues(window, outcome.skipped);
    // A stop that cut a step short is no failure to report.
    if (!message.empty() && !outcome.stopped) {
        host.prompts().error(message);
    }
    return outcome;
}

void ShowSkippedValues(PlotWindow& window, const std::vector<SkippedValue>& skipped) {
    auto* note = window.StatusBar1->findChild<QLabel*>(QStringLiteral("skippedValues"));
    if (note == nullptr) {
        note = new QLabel(window.StatusBar1);
        note->setObjectName(QStringLiteral("skippedValues"));
        window.StatusBar1->addWidget(note, 1);
    }
    note->setVisible(!skipped.empty());
    if (skipped.empty()) {
        note->clear();
        note->setToolTip({});
        return;
    }
    // The bar has room for a few; the tip holds the rest with what failed.
    note->setText(QStringLiteral("Skipped: ") +
                  QString::fromStdString(SkippedValuesText(skipped, 3)));
    note->setToolTip(QString::fromStdString(SkippedValuesText(skipped, 40)));
}

}  // namespace kalvora
