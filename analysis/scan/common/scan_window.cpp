#include "analysis/scan/common/scan_window.h"

#include "analysis/window/settings_dialog.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>

#include "analysis/window/background_run.h"
#include "analysis/window/plot_window.h"
#include "core/numbers.h"
#include "plot/picture_support.h"

namespace kalvora {

ScanImageView::ScanImageView(QWidget* parent) : QWidget(parent) {
    setObjectName("Image1");
    setMouseTracking(true);
}

void ScanImageView::setImage(const QImage* image) {
    image_ = image;
    update();
}

void ScanImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (image_ != nullptr && !image_->isNull()) {
        painter.drawImage(0, 0, *image_);
    }
}

void ScanImageView::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove) {
        const QPoint at = event->position().toPoint();
        OnMouseMove(at.x(), at.y());
    }
    QWidget::mouseMoveEvent(event);
}

ScanResultWindow::ScanResultWindow(AnalysisHost& host, const QString& objectName,
                                   const QString& caption, const Captions& captions)
    : host_(host) {
    setObjectName(objectName);
    setWindowTitle(caption);
    // The picture's texts are drawn in the pictures' font (below); the menus and the status bar
    // keep the desktop's.

    Image1 = new ScanImageView(this);
    Image1->setImage(&image_);
    Image1->OnMouseMove = [this](int x, int y) { graphMouseMove(x, y); };
    setCentralWidget(Image1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    panels_ = new StatusPanels(*this, *StatusBar1, {100, 100});
    setStatusBar(StatusBar1);

    auto action = [this](const QString& text, const char* name) {
        auto* created = new QAction(text, this);
        created->setObjectName(name);
        return created;
    };
    SaveDataAs1 = action(QStringLiteral("Save &Data As..."), "SaveDataAs1");
    Close1 = action(captions.close, "Close1");
    Parameters1 = action(captions.parameters, "Parameters1");
    Settings1 = action(QStringLiteral("Settings..."), "Settings1");
    connect(Close1, &QAction::triggered, this, &QWidget::close);
    GiveCloseShortcuts(*Close1);

    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName("File1");
    file->addActions({SaveDataAs1, Close1});

    output = new OutputCommands(host_, *this, outputDeclaration(captions));
    output->addToMenus(file, Close1, nullptr);
    SaveAs1 = output->SaveAs1;
    CreateEPS1 = output->CreateEPS1;
    Print1 = output->Print1;
    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
    edit->setObjectName("Edit1");
    edit->addActions({Parameters1, Settings1});

    // An image area of about 450 x 450 pixels, the default resolution.
    resize(458, 515);
    setEnabled(false);
}

OutputDeclaration ScanResultWindow::outputDeclaration(const Captions& captions) {
    OutputDeclaration declaration;
    declaration.saveCaption = captions.saveAs;
    declaration.printCaption = captions.print;
    // The picture is the window's framed raster, drawn afresh for each format (a vector picture
    // keeps its frame and text sharp around the stretched raster); it is exported to gnuplot pixel
    // by pixel in the scans' own pixel-file format, with the scanned plane as the ranges.
    declaration.size = [this] { return image_.isNull() ? imageAreaSize() : image_.size(); };
    declaration.draw = [this](QPainter& painter, int width, int height) {
        // Drawn afresh at the size asked for, so a printed page gets a sharp frame and text.
        painter.fillRect(0, 0, width, height, Qt::white);
        if (!raster_.empty()) {
            painter.setFont(ResultWindowFont());
            DrawScanPicture(painter, QRect(0, 0, width, height), rasterImage_, domain_,
                            horizontalName_, verticalName_, legend_);
        }
    };
    declaration.epsImage = [this] {
        EpsImage image;
        image.writeFile = [this](const std::string& fileName) { writePixelFile(fileName); };
        image.minX = static_cast<double>(domain_.horizontalMinimum);
        image.maxX = static_cast<double>(domain_.horizontalMaximum);
        image.minY = static_cast<double>(domain_.verticalMinimum);
        image.maxY = static_cast<double>(domain_.verticalMaximum);
        return image;
    };
    // The axes of the plane, as the picture's own labels name them.
    declaration.printLabels = [this] {
        return std::pair<std::string, std::string>(horizontalName_.toStdString(),
                                                   verticalName_.toStdString());
    };
    return declaration;
}

QSize ScanResultWindow::imageAreaSize() const {
    return QSize(std::max(1, width() - 8), std::max(1, height() - 65));
}

QString ScanResultWindow::panelText(int panel) const {
    return panels_->text(panel);
}

void ScanResultWindow::writePixelFile(const std::string& fileName) const {
    WritePixelFile(fileName, raster_, domain_);
}

void ScanResultWindow::graphMouseMove(int x, int y) {
    if (image_.isNull()) {
        return;
    }
    const ScanFrame frame = this->frame();
    if (frame.right == frame.left || frame.bottom == frame.top) {
        return;
    }
    const auto [horizontal, vertical] = ScanReadout(frame, domain_, x, y);
    panels_->showReadout(QString::fromStdString(FormatGeneral(horizontal, 8)),
                         QString::fromStdString(FormatGeneral(vertical, 8)));
}

ScanFrame ScanResultWindow::frame() const {
    // Measured on the image with the font the drawing's painter ends up with: the painter fills
    // what the picture font leaves unset (its size) from the application's font, which QFontMetrics
    // alone would not, and the readout would then name the wrong pixel beside a legend.
    const QFont drawn = ResultWindowFont().resolve(QFont());
    return FrameFor(QRect(QPoint(0, 0), image_.size()),
                    ScanRightInset(QFontMetrics(drawn, &image_), legend_));
}

bool ScanResultWindow::guarded(const std::function<void()>& command) {
    return ReportingErrors(host_.prompts(), command);
}

void ScanResultWindow::showResult(ColourRaster raster, const ScanDomain& domain,
                                  const QString& horizontalName, const QString& verticalName,
                                  ScanLegend legend) {
    raster_ = std::move(raster);
    legend_ = std::move(legend);
    domain_ = domain;
    horizontalName_ = horizontalName;
    verticalName_ = verticalName;
    rasterImage_ = RasterImage(raster_);
    if (image_.size() != imageAreaSize()) {
        image_ = QImage(imageAreaSize(), QImage::Format_RGB32);
        image_.fill(Qt::white);
    }
    redraw();
}

void ScanResultWindow::redraw() {
    if (image_.isNull()) {
        return;
    }
    if (!raster_.empty()) {
        QPainter painter(&image_);
        painter.setFont(ResultWindowFont());
        DrawScanPicture(painter, QRect(QPoint(0, 0), image_.size()), rasterImage_, domain_,
                        horizontalName_, verticalName_, legend_);
    }
    Image1->update();
}

void ScanResultWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    TakeKeyboardWhenOpened(*this, *event);
}

std::optional<ScanOutcome> ScanResultWindow::runScan(
    int requestedThreads, const ScanDomain& domain, QWidget* dialog,
    const std::function<ScanOutcome(ScanModels& models, RunControl& control)>& job) {
    ScanOutcome outcome;
    // The scan integrates a flow as its dialog's "Integrator" says.
    const auto* settings = qobject_cast<const SettingsDialog*>(dialog);
    const ModelDefinitionPtr definition = WithIntegration(
        workspace().definition, settings != nullptr ? settings->integration() : Integration{});
    const RandomState randomState = workspace().randomState;
    bool oneEvaluator = false;
    const bool dialogEnabled = dialog != nullptr && dialog->isEnabled();
    const bool windowEnabled = isEnabled();
    // Restores the controls however the scan ends (a stop, an exception from the job).
    struct Locked {
        ScanResultWindow& window;
        QWidget* dialog;
        bool dialogEnabled;
        bool windowEnabled;
        ~Locked() {
            if (dialog != nullptr) {
                dialog->setEnabled(dialogEnabled);
            }
            window.setEnabled(windowEnabled);
            window.running_ = false;
        }
    } locked{*this, dialog, dialogEnabled, windowEnabled};
    running_ = true;
    if (dialog != nullptr) {
        dialog->setEnabled(false);
    }
    setEnabled(false);
    const bool ran = RunWithComputingWindow(host_, [&](RunControl& control) {
        // Made and let go of on the worker: a Lua state belongs to the thread that uses it.
        ScanModels models =
            MakeScanModels(definition, requestedThreads, domain, randomState, &control);
        oneEvaluator = models.evaluators.size() == 1;
        outcome = job(models, control);
    });
    if (!ran) {
        return std::nullopt;
    }
    if (definition->noise.noiseOn && oneEvaluator) {
        workspace().randomState = outcome.randomState;
    }
    // A stop is no error: the message it caused ("the model was stopped") is not shown.
    if (!outcome.message.empty() && !outcome.stopped) {
        host_.prompts().error(outcome.message);
    }
    return outcome;
}

void ScanResultWindow::saveClassFiles(const std::vector<std::pair<int, RgbColour>>& classes) {
    guarded([&] {
        for (const auto& [number, colour] : classes) {
            Prompts::FileRequest request;
            request.title = "Indicate File to Save Cycle# " + std::to_string(number);
            request.folder = workspace().dataFolder;
            request.filter = "Data file (*.dat)|*.dat";
            request.defaultExtension = "dat";
            const std::optional<std::string> fileName = host_.prompts().chooseSaveFile(request);
            if (!fileName) {
                return;
            }
            WriteClassFile(*fileName, raster_, domain_, colour);
        }
    });
}

void ScanResultWindow::attachSettings(SettingsDialog& settings, int analysisTag,
                                      const std::function<void()>& okClick) {
    connect(&settings, &SettingsDialog::okClicked, this, okClick);
    connect(&settings, &SettingsDialog::cancelled, this, [this] {
        if (hasResult()) {
            setEnabled(true);
        }
    });
    connect(Settings1, &QAction::triggered, this, [this, &settings] {
        setEnabled(false);
        settings.show();
        settings.raise();
    });
    connect(Parameters1, &QAction::triggered, this,
            [this, analysisTag] { host_.showParameterWindow(analysisTag); });
}

void ScanResultWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // A resize starts from a blank image of the new size, then draws the same raster into the new
    // frame.
    image_ = QImage(imageAreaSize(), QImage::Format_RGB32);
    image_.fill(Qt::white);
    redraw();
}

void ScanResultWindow::closeEvent(QCloseEvent* event) {
    // Closing the window whose scan goes on stops the scan: nobody is left to look at it.
    if (running_) {
        host_.stopRun();
    }
    // Closing releases the raster; the next scan makes a new one.
    raster_ = ColourRaster();
    rasterImage_ = QImage();
    legend_.clear();
    image_.fill(Qt::white);
    QMainWindow::closeEvent(event);
}

}  // namespace kalvora
