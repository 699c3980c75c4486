#include "analysis/sweep/spectrum/spectrum_window.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <array>

#include "analysis/window/export/output_commands.h"
#include "core/numbers.h"

namespace kalvora {

SpectrumWindow::SpectrumWindow(AnalysisHost& host, SpectrumDialog& settings)
    : AnalysisWindow(host, settings, AnalysisTag::Spectrum, QStringLiteral("SpectrumWindow"),
                     QStringLiteral("Lyapunov Spectrum"), QSize(640, 520),
                     QList<int>{100, 100, 50}),
      settings_(settings) {
    // Red is the zero line's.
    const Tsp_Color colours[kDrawnExponents] = {clBlue,   clGreen, clFuchsia, clNavy,
                                                clMaroon, clGray,  clBlack,   clLime};
    StyleNewSeries(zero_, clRed);
    zero_.LineAttr().SetVisible(true);
    zero_.PointAttr().SetVisible(false);
    zero_.SetPlot(graph);
    for (int i = 0; i < kDrawnExponents; ++i) {
        curves_.push_back(std::make_unique<Tsp_XYLine>());
        StyleNewSeries(*curves_.back(), colours[i]);
        StyleRunSeries(*curves_.back(), false, true);
        curves_.back()->SetPlot(graph);
    }
    data = curves_.front().get();
    connect(SaveDataAs1, &QAction::triggered, this,
            [this] { saveSeries("Indicate File to Save Data", *curves_.front()); });

    summary_ = new QLabel(this);
    summary_->setObjectName("SpectrumSummary");
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setMargin(6);
    auto* dock = new QDockWidget(QStringLiteral("Exponents"), this);
    dock->setObjectName("SpectrumDock");
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setWidget(summary_);
    addDockWidget(Qt::BottomDockWidgetArea, dock);

    OutputDeclaration output;
    output.layout = EpsLayout::Lines;
    output.epsSeries = [this] {
        return std::array<const Tsp_XYLine*, 5>{curves_[0].get(), curves_[1].get(),
                                                curves_[2].get(), curves_[3].get(), &zero_};
    };
    output.printLabels = [] { return std::pair<std::string, std::string>("time", "exponent"); };
    offerOutput(std::move(output));
}

void SpectrumWindow::open() {
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

SpectrumSettings SpectrumWindow::readDialog() const {
    return settings_.settings();
}

void SpectrumWindow::validate(const SpectrumSettings& settings) const {
    if (workspace().model().kind == ModelKind::Closed) {
        throw SweepSettingsError("No model is loaded");
    }
    CheckSpectrumSettings(settings);
}

bool SpectrumWindow::prepareSeries(const SpectrumSettings&) {
    for (auto& curve : curves_) {
        PlotIni(false, true, *curve);
    }
    zero_.ClearPoints();
    NotManualscal();
    return true;
}

bool SpectrumWindow::compute(const SpectrumSettings& settings) {
    SpectrumSettings run = settings;
    // Enough points for a smooth curve at any window size, few enough to draw at once.
    run.convergenceSamples = 2000;
    const ModelKind kind = workspace().model().kind;
    SpectrumResult result;
    const ModelRunOutcome outcome = runModel([&](ModelEvaluator& model, RunControl& control) {
        result = LyapunovSpectrum(model, kind, run, control);
    });
    result_ = std::move(result);
    for (const ConvergenceSample& sample : result_.convergence) {
        for (std::size_t i = 0; i < sample.exponents.size() && i < curves_.size(); ++i) {
            curves_[i]->AddPoint(sample.time, sample.exponents[i]);
        }
    }
    if (!result_.convergence.empty()) {
        zero_.AddPoint(result_.convergence.front().time, 0);
        zero_.AddPoint(result_.convergence.back().time, 0);
    }
    QStringList lines;
    QStringList values;
    for (const Extended exponent : result_.exponents) {
        values << QString::fromStdString(FormatGeneral(exponent, 6));
    }
    lines << QStringLiteral("Exponents (%1): %2")
                 .arg(kind == ModelKind::Continuous ? QStringLiteral("per unit of time")
                                                    : QStringLiteral("per iteration"))
                 .arg(values.join(QStringLiteral(", ")));
    lines << QStringLiteral("Kaplan-Yorke dimension: %1")
                 .arg(QString::fromStdString(FormatGeneral(result_.dimension, 6)));
    if (result_.steps < settings.iterations) {
        lines << QStringLiteral("Averaged over the %1 steps made").arg(result_.steps);
    }
    summary_->setText(lines.join('\n'));
    setPanelText(2, result_.stopped ? QStringLiteral("stopped") : QString());
    return outcome.failed;
}

void SpectrumWindow::present(bool failed) {
    // Every curve joins the automatic range, the smallest exponent's included.
    for (std::size_t i = 1; i < curves_.size(); ++i) {
        curves_[i]->SetActive(true);
    }
    Plot(*curves_.front(), failed);
}

void SpectrumWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        event->ignore();
        return;
    }
    AnalysisWindow::closeEvent(event);
}

}  // namespace kalvora
