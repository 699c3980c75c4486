#include "analysis/window/plot_window.h"

#include <QFont>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <exception>

#include "analysis/window/data_file_writer.h"
#include "analysis/window/export/output_commands.h"
#include "analysis/window/plot_picture.h"
#include "core/numbers.h"

namespace kalvora {

PlotWindow::PlotWindow(AnalysisHost& host, const QString& objectName, const QString& caption,
                       const QSize& size, const QList<int>& panelWidths)
    : host_(host) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setFont(ResultWindowFont());

    graph = new Tsp_XYPlot(this);
    graph->setObjectName("graph");
    ApplyStandardPlotConfiguration(*graph);
    setCentralWidget(graph);

    label1 = new QLabel(QStringLiteral("Overflow"), graph);
    label1->setObjectName("label1");
    label1->setFont(OverflowLabelFont());
    label1->setAutoFillBackground(true);
    QPalette palette = label1->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::red);
    label1->setPalette(palette);
    label1->hide();
    // The plot paints the label itself, so that its pictures, copies and prints show it too;
    // label1 stays as the switch (shown exactly after a failed run) and as the setting of the
    // label's box, and takes no room of its own.
    label1->setFixedSize(0, 0);
    graph->OnDrawEnd = [this](Tsp_XYPlot& plot, QPainter& painter) {
        if (lastRunFailed_) {
            PaintOverflowLabel(painter, plot.FieldRect(), label1->frameShape() != QFrame::NoFrame);
        }
    };

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    panels_ = new StatusPanels(*this, *StatusBar1, panelWidths);
    setStatusBar(StatusBar1);

    auto action = [this](const QString& text, const char* name) {
        auto* created = new QAction(text, this);
        created->setObjectName(name);
        return created;
    };
    SaveDataAs1 = action(QStringLiteral("Save &Data As..."), "SaveDataAs1");
    Close1 = action(QStringLiteral("&Close"), "Close1");
    ChangeBackgroundColor1 =
        action(QStringLiteral("Change &BackgroundColor"), "ChangeBackgroundColor1");
    ChangeLineColor1 = action(QStringLiteral("Change &LineColor"), "ChangeLineColor1");
    ShowGrid1 = action(QStringLiteral("Show &Grid"), "ShowGrid1");
    ShowGrid1->setCheckable(true);
    connect(Close1, &QAction::triggered, this, &QWidget::close);
    GiveCloseShortcuts(*Close1);
    connect(ChangeBackgroundColor1, &QAction::triggered, this,
            [this] { ChangeBackgroundColorClick(); });
    connect(ChangeLineColor1, &QAction::triggered, this, [this] { ChangeLineColorClick(); });
    connect(ShowGrid1, &QAction::triggered, this, [this] { ShowGridClick(); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    graph->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(graph, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(graph->mapToGlobal(at)); });
    graph->OnMouseMove = [this](QMouseEvent& event) {
        graphMouseMove(event.position().toPoint().x(), event.position().toPoint().y());
    };

    resize(size);
    // A result window is enabled by the first accepted settings.
    setEnabled(false);
}

QString PlotWindow::panelText(int panel) const {
    return panels_->text(panel);
}

void PlotWindow::setPanelText(int panel, const QString& text) {
    panels_->setText(panel, text);
}

void StyleRunSeries(Tsp_XYLine& series, bool plotSquares, bool lineVisible) {
    series.LineAttr().SetVisible(lineVisible);
    Tsp_PointAttr& marker = series.PointAttr();
    if (plotSquares) {
        marker.SetKind(ptRectangle);
        marker.SetHSize(5);
        marker.SetVSize(5);
    } else {
        marker.SetKind(ptCross);
        marker.SetHSize(0);
        marker.SetVSize(0);
    }
    marker.SetStyle(bsClear);
}

void FrameSettledOrbit(Tsp_XYPlot& plot, const Tsp_XYDataSeries& series, bool xSettled,
                       bool ySettled) {
    double low = 0;
    double high = 0;
    if (xSettled && series.GetXMin(low) && series.GetXMax(high)) {
        plot.BottomAxis().SetAutoMin(false);
        plot.BottomAxis().SetAutoMax(false);
        plot.BottomAxis().SetRange(low - 0.1, high + 0.1);
    }
    if (ySettled && series.GetYMin(low) && series.GetYMax(high)) {
        plot.LeftAxis().SetAutoMin(false);
        plot.LeftAxis().SetAutoMax(false);
        plot.LeftAxis().SetRange(low - 0.1, high + 0.1);
    }
}

void PlotWindow::PlotIni(bool plotSquares, bool connectPoints, Tsp_XYLine& series) {
    series.ClearPoints();
    StyleRunSeries(series, plotSquares, connectPoints || !workspace().model().discrete);
    series.SetActive(false);
}

void PlotWindow::Plot(Tsp_XYLine& series, bool failed) {
    const Tsp_Color background = FromQColor(host_.backgroundColour());
    graph->SetColor(background);
    graph->SetFieldColor(background);
    showOverflowLabel(failed);
    show();
    series.SetPlot(graph);
    series.SetActive(true);
    graph->Invalidate();
}

void PlotWindow::showOverflowLabel(bool failed) {
    if (failed != lastRunFailed_) {
        graph->Invalidate();
    }
    lastRunFailed_ = failed;
    label1->setVisible(failed);
}

void PlotWindow::Manualscal(double yMinimum, double yMaximum, double xMinimum, double xMaximum) {
    Tsp_Axis& left = graph->LeftAxis();
    Tsp_Axis& bottom = graph->BottomAxis();
    left.SetAutoMin(false);
    left.SetAutoMax(false);
    bottom.SetAutoMin(false);
    bottom.SetAutoMax(false);
    left.SetRange(yMinimum, yMaximum);
    bottom.SetRange(xMinimum, xMaximum);
    left.SetNoTicksLabel(false);
    bottom.SetNoTicksLabel(false);
}

void PlotWindow::NotManualscal() {
    Tsp_Axis& left = graph->LeftAxis();
    Tsp_Axis& bottom = graph->BottomAxis();
    left.SetAutoMin(true);
    left.SetAutoMax(true);
    bottom.SetAutoMin(true);
    bottom.SetAutoMax(true);
}

void PlotWindow::ChangeBackgroundColorClick() {
    if (host_.chooseBackgroundColour(this)) {
        const Tsp_Color background = FromQColor(host_.backgroundColour());
        graph->SetColor(background);
        graph->SetFieldColor(background);
        graph->Invalidate();
    }
}

void PlotWindow::ChangeLineColorClick() {
    if (data != nullptr && host_.chooseLineColour(this)) {
        const Tsp_Color colour = FromQColor(host_.lineColour());
        data->LineAttr().SetColor(colour);
        data->PointAttr().SetColor(colour);
    }
}

void PlotWindow::ShowGridClick() {
    const bool on = ShowGrid1->isChecked();
    graph->LeftAxis().GridAttr().SetVisible(on);
    graph->BottomAxis().GridAttr().SetVisible(on);
}

std::pair<double, double> PlotWindow::readoutAt(int x, int y) const {
    const Tsp_ReadoutValues values = WindowReadout(*graph, x, y, readout_);
    return {values.x, values.y};
}

void PlotWindow::graphMouseMove(int x, int y) {
    const auto [valueX, valueY] = readoutAt(x, y);
    panels_->showReadout(QString::fromStdString(FormatGeneral(valueX, 8, 2)),
                         QString::fromStdString(FormatGeneral(valueY, 8, 2)));
}

bool PlotWindow::guarded(const std::function<void()>& command) {
    return ReportingErrors(host_.prompts(), command);
}

bool PlotWindow::saveSeriesAsked(const std::string& title, const Tsp_XYDataSeries& series) {
    Prompts::FileRequest request;
    request.title = title;
    request.folder = workspace().dataFolder;
    request.filter = "Data file (*.dat)|*.dat";
    request.defaultExtension = "dat";
    const std::optional<std::string> fileName = host_.prompts().chooseSaveFile(request);
    if (!fileName) {
        return false;
    }
    DataFileWriter(*fileName, series);
    return true;
}

void PlotWindow::saveSeries(const std::string& title, const Tsp_XYDataSeries& series) {
    guarded([&] { saveSeriesAsked(title, series); });
}

QMenu* PlotWindow::createEditGraphMenu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("&Edit Graph"), parent);
    menu->setObjectName("EditGraph1");
    menu->addAction(ChangeBackgroundColor1);
    menu->addAction(ChangeLineColor1);
    menu->addAction(ShowGrid1);
    return menu;
}

void PlotWindow::attachSettings(SettingsDialog& settings, int analysisTag,
                                const std::function<void()>& okClick) {
    settingsDialog_ = &settings;
    analysisTag_ = analysisTag;
    Parameters1 = new QAction(QStringLiteral("&Parameters..."), this);
    Parameters1->setObjectName("Parameters1");
    Settings1 = new QAction(QStringLiteral("&Settings..."), this);
    Settings1->setObjectName("Settings1");
    connect(Parameters1, &QAction::triggered, this, [this] { ParametersClick(); });
    connect(Settings1, &QAction::triggered, this, [this] { SettingsClick(); });

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName("File1");
    file->addAction(SaveDataAs1);
    file->addSeparator();
    file->addAction(Close1);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName("Edit1");
    edit->addAction(Parameters1);
    edit->addAction(Settings1);

    PopupMenu1->addAction(Parameters1);
    PopupMenu1->addAction(Settings1);
    PopupMenu1->addMenu(createEditGraphMenu(PopupMenu1));

    connect(&settings, &SettingsDialog::okClicked, this, okClick);
    connect(&settings, &SettingsDialog::cancelled, this, [this] { settingsCancelled(); });
}

OutputCommands* PlotWindow::offerOutput(OutputDeclaration declaration) {
    if (!declaration.size) {
        declaration.size = [this] { return graph->size(); };
    }
    if (!declaration.draw) {
        declaration.draw = [this](QPainter& painter, int width, int height) {
            graph->DrawTo(painter, width, height);
        };
    }
    if (!declaration.epsRanges) {
        declaration.epsRanges = [this] {
            return std::array<double, 4>{graph->BottomAxis().Min(), graph->BottomAxis().Max(),
                                         graph->LeftAxis().Min(), graph->LeftAxis().Max()};
        };
    }
    output = new OutputCommands(host_, *this, std::move(declaration));
    output->addToMenus(findChild<QMenu*>(QStringLiteral("File1")), Close1, PopupMenu1);
    return output;
}

void PlotWindow::ParametersClick() {
    host_.showParameterWindow(analysisTag_);
}

void PlotWindow::SettingsClick() {
    settingsDialog_->show();
    settingsDialog_->raise();
    setEnabled(false);
}

void PlotWindow::settingsCancelled() {
    setEnabled(true);
}

PlotWindow::ManualScaling PlotWindow::applyManualScaling(const ScalingGroup& scaling,
                                                         std::pair<double, double> abscissa) {
    if (!scaling.manual()) {
        return ManualScaling::Off;
    }
    const std::optional<ScalingGroup::Limits> limits = scaling.read();
    if (!limits) {
        host_.prompts().error("Enter numerical values for manual scaling");
        settingsDialog_->show();
        setEnabled(false);
        return ManualScaling::Refused;
    }
    if (scaling.scminx != nullptr) {
        abscissa = {limits->xMinimum, limits->xMaximum};
    }
    Manualscal(limits->yMinimum, limits->yMaximum, abscissa.first, abscissa.second);
    return ManualScaling::Applied;
}

bool PlotWindow::applyManualLimits(const std::optional<ScalingGroup::Limits>& limits,
                                   std::pair<double, double> abscissa) {
    if (!limits) {
        return false;
    }
    if (limits->withXAxis) {
        abscissa = {limits->xMinimum, limits->xMaximum};
    }
    Manualscal(limits->yMinimum, limits->yMaximum, abscissa.first, abscissa.second);
    return true;
}

void GiveCloseShortcuts(QAction& close) {
    // The menu shows the first.
    close.setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)});
    close.setShortcutContext(Qt::WindowShortcut);
}

void StyleNewSeries(Tsp_XYLine& series, Tsp_Color colour) {
    series.LineAttr().SetColor(colour);
    series.LineAttr().SetVisible(false);
    series.PointAttr().SetColor(colour);
    series.PointAttr().SetKind(ptCross);
    series.PointAttr().SetHSize(1);
    series.PointAttr().SetVSize(1);
    series.PointAttr().SetVisible(true);
}

void TakeKeyboardWhenOpened(QWidget& window, const QShowEvent& event) {
    if (event.spontaneous()) {
        return;
    }
    QTimer::singleShot(0, &window, [&window] {
        if (window.isVisible()) {
            window.raise();
            window.activateWindow();
        }
    });
}

void PlotWindow::showEvent(QShowEvent* event) {
    // A window without an owner to place it opens in the middle of the screen the first time;
    // afterwards it stays where the user moved it. An owned window is placed by its owner.
    if (!placed_ && parentWidget() == nullptr) {
        placed_ = true;
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QMainWindow::showEvent(event);
    TakeKeyboardWhenOpened(*this, *event);
}

void PlotWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isVisible() && data != nullptr) {
        Plot(*data, lastRunFailed_);
    }
}

}  // namespace kalvora
