#include "analysis/data/statistics/tseriesinfo.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cctype>

#include "analysis/data/statistics/histogram_painter.h"
#include "analysis/window/background_run.h"
#include "analysis/window/plot_picture.h"

namespace kalvora {

namespace {

// The client area: the histogram painted on the surface itself, the figures' group on it.
class StatisticsSurface final : public QWidget {
  public:
    StatisticsSurface(QWidget* parent, const HistogramLayout& layout, const bool& overflow)
        : QWidget(parent), layout_(layout), overflow_(overflow) {
        setObjectName("Surface");
        setAutoFillBackground(true);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        PaintHistogram(painter, layout_, overflow_);
    }

  private:
    const HistogramLayout& layout_;
    const bool& overflow_;
};

const char* const kFigureCaptions[] = {
    "Series",  "Number of Data points", "Mean",     "Median",   "Maximum",
    "Minimum", "Standard Deviation",    "Variance", "Skewness", "Kurtosis"};

bool EndsWithPng(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".png";
}

}  // namespace

TSeriesinfo::TSeriesinfo(AnalysisHost& host, TVarSet& settings)
    : QMainWindow(nullptr), host_(host), settings_(settings) {
    setObjectName("TSeriesinfo");
    setWindowTitle(QStringLiteral("Series Information"));

    auto* surface = new StatisticsSurface(this, layout_, shown_.failed);
    setCentralWidget(surface);

    GroupBox1 = new QGroupBox(QStringLiteral("Statistics"), surface);
    GroupBox1->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(GroupBox1);
    int row = 0;
    for (const char* caption : kFigureCaptions) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), GroupBox1), row, 0);
        auto* value = new QLabel(GroupBox1);
        value->setObjectName(QStringLiteral("Value%1").arg(row + 1));
        value->setMinimumWidth(90);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(value, row, 1);
        figureLabels.push_back(value);
        ++row;
    }
    GroupBox1->adjustSize();
    GroupBox1->move(kHistogramPictureWidth + 10, 8);
    surface->setMinimumSize(kHistogramPictureWidth + 20 + GroupBox1->width(),
                            std::max(kHistogramPictureHeight, GroupBox1->height() + 16));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName("File1");
    Saveas1 = file->addAction(QStringLiteral("&Save as..."));
    Saveas1->setObjectName("Saveas1");
    Close1 = file->addAction(QStringLiteral("&Close"));
    Close1->setObjectName("Close1");
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName("Edit1");
    Parameters1 = edit->addAction(QStringLiteral("&Parameters..."));
    Parameters1->setObjectName("Parameters1");
    Settings1 = edit->addAction(QStringLiteral("&Settings..."));
    Settings1->setObjectName("Settings1");

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    QAction* parameters = PopupMenu1->addAction(QStringLiteral("&Parameters..."));
    QAction* settingsEntry = PopupMenu1->addAction(QStringLiteral("&Settings..."));
    CopytoClipboardasBMP1 = PopupMenu1->addAction(QStringLiteral("Copy to Clipboard as &BMP"));
    CopytoClipboardasBMP1->setObjectName("CopytoClipboardasBMP1");

    connect(Saveas1, &QAction::triggered, this, [this] { Saveas1Click(); });
    connect(Close1, &QAction::triggered, this, [this] { close(); });
    connect(Parameters1, &QAction::triggered, this, [this] { Parameters1Click(); });
    connect(parameters, &QAction::triggered, this, [this] { Parameters1Click(); });
    connect(Settings1, &QAction::triggered, this, [this] { Settings1Click(); });
    connect(settingsEntry, &QAction::triggered, this, [this] { Settings1Click(); });
    connect(CopytoClipboardasBMP1, &QAction::triggered, this,
            [this] { CopytoClipboardasBMP1Click(); });
    connect(&settings_, &TVarSet::okClicked, this, [this] { okbuttonClick(); });
    connect(&settings_, &TVarSet::cancelled, this, [this] { settings_.restore(dialogSnapshot_); });

    adjustSize();
    setFixedSize(size());
}

void TSeriesinfo::open() {
    settings_.fill();
    dialogSnapshot_ = settings_.settings();
    Settings1Click();
}

void TSeriesinfo::Settings1Click() {
    if (!settings_.isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            settings_.move(screen->availableGeometry().center() - settings_.rect().center());
        }
    }
    settings_.show();
    settings_.raise();
    settings_.activateWindow();
}

void TSeriesinfo::okbuttonClick() {
    accepted_ = settings_.settings();
    dialogSnapshot_ = accepted_;
    settings_.hide();
    run();
}

void TSeriesinfo::recomputeAfterAccept() {
    if (isVisible()) {
        run();
    }
}

void TSeriesinfo::run() {
    if (running_) {
        return;
    }
    const StatisticsSettings settings = accepted_;
    ModelWorkspace& ws = host_.workspace();
    running_ = true;
    menuBar()->setEnabled(false);
    bool ran = false;
    ReportingErrors(host_.prompts(), [&] {
        ran = RunModelJob(host_, [&](ModelEvaluator& model, RunControl& control) {
                  StatisticsRun(model, settings, control, working_);
              }).ran;
    });
    menuBar()->setEnabled(true);
    running_ = false;
    if (!ran) {
        return;
    }
    std::swap(shown_, working_);
    seriesName_ = ws.model().variableNames[static_cast<std::size_t>(shown_.variable - 1)];
    showFigures();
    show();
    raise();
}

void TSeriesinfo::showFigures() {
    const std::vector<StatisticsFigure> figures = StatisticsFigures(shown_, seriesName_);
    for (std::size_t i = 0; i < figures.size() && i < figureLabels.size(); ++i) {
        figureLabels[i]->setText(QString::fromStdString(figures[i].value));
    }
    layout_ = LayOutHistogram(shown_);
    centralWidget()->update();
}

QImage TSeriesinfo::clientPicture() {
    return centralWidget()->grab().toImage();
}

void TSeriesinfo::Saveas1Click() {
    Prompts& prompts = host_.prompts();
    Prompts::FileRequest request;
    request.title = "Save Picture As";
    request.folder = host_.workspace().dataFolder;
    request.filter = "Bitmap file (*.bmp)|*.bmp|PNG file (*.png)|*.png";
    request.defaultExtension = "bmp";
    const auto path = prompts.chooseSaveFile(request);
    if (!path) {
        return;
    }
    const QImage picture = clientPicture();
    ReportingErrors(prompts,
                    [&] { SavePictureFile(*path, picture, EndsWithPng(*path) ? "PNG" : "BMP"); });
}

void TSeriesinfo::CopytoClipboardasBMP1Click() {
    QApplication::clipboard()->setImage(clientPicture());
}

void TSeriesinfo::Parameters1Click() {
    host_.showParameterWindowKeepingTag();
}

void TSeriesinfo::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    host_.enableAllWindows();
}

void TSeriesinfo::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu1->popup(event->globalPos());
}

}  // namespace kalvora
