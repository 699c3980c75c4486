#include "analysis/orbit/cobweb/tgranform.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "analysis/orbit/cobweb/cobweb_series.h"
#include "core/noise.h"

namespace kalvora {

Tgranform::Tgranform(AnalysisHost& host, Tgranform2& settings)
    : PlotWindow(host, QStringLiteral("Tgranform"), QStringLiteral("Graphical Analysis"),
                 QSize(481, 432), {100, 100, 50}),
      settings_(settings),
      map_(std::make_unique<Tsp_XYLine>()),
      yequalx_(std::make_unique<Tsp_XYLine>()),
      staircase_(std::make_unique<Tsp_XYLine>()),
      data1_(std::make_unique<Tsp_XYLine>()) {
    StyleCobwebCurve(*map_);
    StyleCobwebDiagonal(*yequalx_);
    StyleCobwebStaircase(*staircase_);
    StyleNewSeries(*data1_, clBlue);
    // The staircase is drawn last, over the curve and the diagonal it bounces between.
    yequalx_->SetPlot(graph);
    map_->SetPlot(graph);
    staircase_->SetPlot(graph);
    data = map_.get();

    Tgrafanit = new TimeStepsWindow("Tgrafanit", this);
    auto action = [this](const QString& text, const char* name, void (Tgranform::*handler)()) {
        auto* created = new QAction(text, this);
        created->setObjectName(name);
        connect(created, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return created;
    };
    ClearForm1 = action(QStringLiteral("&Clear Form"), "ClearForm1", &Tgranform::ClearFormClick);
    NextIterations1 = action(QStringLiteral("&Next Iteration(s)"), "NextIterations1",
                             &Tgranform::NextIterationsClick);
    TimeSteps1 = new QAction(QStringLiteral("# &Time steps..."), this);
    TimeSteps1->setObjectName("TimeSteps1");
    Iterations1 = new QAction(QStringLiteral("# &Iterations..."), this);
    Iterations1->setObjectName("Iterations1");
    for (QAction* show : {TimeSteps1, Iterations1}) {
        connect(show, &QAction::triggered, Tgrafanit, &TimeStepsWindow::showWindow);
    }
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });

    attachSettings(settings_, kAnalysisTag, [this] { okbuttonClick(); });
    menuBar()->findChild<QMenu*>("Edit1")->addAction(TimeSteps1);
    menuBar()->addAction(ClearForm1);
    menuBar()->addAction(NextIterations1);
    // Pop-up: "&Parameters...", "&Settings...", then "# &Iterations..." before "&Edit Graph".
    PopupMenu1->insertAction(PopupMenu1->actions().at(2), Iterations1);
    addCopyCommands(PopupMenu1);
}

void Tgranform::open() {
    settings_.show();
    settings_.raise();
}

void Tgranform::okbuttonClick() {
    guarded([this] {
        // A field without a number is reported with the dialog still open and nothing changed.
        const CobwebSettings settings = settings_.settings();
        CheckCobwebSettings(settings);
        ReseedIfFixed(workspace());
        setEnabled(true);
        start(settings);
        settings_.hide();
    });
}

void Tgranform::ClearFormClick() {
    guarded([this] { start(settings_.settings()); });
}

void Tgranform::NextIterationsClick() {
    guarded([this] {
        ModelWorkspace& ws = workspace();
        staircase_->SetDrawLocked(true);
        CobwebStep(ws, ws.kind, construction_, Tgrafanit->steps(), *staircase_);
        staircase_->SetDrawLocked(false);
        // No Plot follows a step, yet a step that failed must not pass unseen.
        showOverflowLabel(construction_.failed);
        graph->Invalidate();
    });
}

void Tgranform::SaveDataAs1Click() {
    saveSeries("Indicate File to Save Data", *staircase_);
}

void Tgranform::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        const CobwebSettings settings = settings_.settings();
        update();
        start(settings);
    });
}

void Tgranform::start(const CobwebSettings& settings) {
    CheckCobwebSettings(settings);
    ModelWorkspace& ws = workspace();
    PlotIni(false, true, *map_);
    yequalx_->ClearPoints();
    staircase_->ClearPoints();
    yequalx_->SetDrawLocked(true);
    staircase_->SetDrawLocked(true);
    const bool failed =
        CobwebStart(ws, ws.kind, settings, construction_, *map_, *yequalx_, *staircase_);
    const double low = static_cast<double>(construction_.minimum);
    const double high = static_cast<double>(construction_.maximum);
    Manualscal(low, high, low, high);
    yequalx_->SetDrawLocked(false);
    staircase_->SetDrawLocked(false);
    Plot(*map_, failed);
}

void Tgranform::closeEvent(QCloseEvent* event) {
    PlotWindow::closeEvent(event);
    settings_.SpinEdit1->setValue(1);
    Tgrafanit->hide();
}

}  // namespace kalvora
