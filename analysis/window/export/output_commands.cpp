#include "analysis/window/export/output_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "analysis/window/export/gnuplot_runner.h"

namespace kalvora {

OutputCommands::OutputCommands(AnalysisHost& host, QWidget& window, OutputDeclaration declaration)
    : QObject(&window),
      host_(host),
      window_(window),
      declaration_(std::move(declaration)),
      runner_(&GnuplotRunner::Shared()) {
    auto action = [this](const QString& text, const char* name) {
        auto* created = new QAction(text, &window_);
        created->setObjectName(name);
        return created;
    };
    SaveAs1 = action(declaration_.saveCaption, "SaveAs1");
    CopyBitmap1 = action(QStringLiteral("Copy to Clipboard as &BMP"), "CopytoClipboardasBMP1");
    CopyVector1 = action(QStringLiteral("Copy to Clipboard as &SVG"), "CopytoClipboardasWMF1");
    Print1 = action(declaration_.printCaption, "Print1");
    CreateEPS1 = action(declaration_.epsCaption, "CreateEPS1");
    connect(SaveAs1, &QAction::triggered, this, [this] { SaveAsClick(); });
    connect(CopyBitmap1, &QAction::triggered, this, [this] { CopyBitmapClick(); });
    connect(CopyVector1, &QAction::triggered, this, [this] { CopyVectorClick(); });
    connect(Print1, &QAction::triggered, this, [this] { PrintClick(); });
    connect(CreateEPS1, &QAction::triggered, this, [this] { CreateEPSClick(); });
}

OutputCommands::~OutputCommands() = default;

void OutputCommands::addToMenus(QMenu* file, QAction* before, QMenu* popup) {
    if (file != nullptr) {
        // Before the separator that sets "&Close" apart, when there is one.
        const QList<QAction*> actions = file->actions();
        const qsizetype at = actions.indexOf(before);
        if (at > 0 && actions[at - 1]->isSeparator()) {
            before = actions[at - 1];
        }
        file->insertActions(before, {SaveAs1, CreateEPS1, Print1});
    }
    if (popup != nullptr) {
        popup->addAction(CopyBitmap1);
        popup->addAction(CopyVector1);
    }
}

QSize OutputCommands::pictureSize() const {
    return declaration_.size().expandedTo(QSize(10, 10));
}

void OutputCommands::SaveAsClick() {
    Prompts::FileRequest request;
    request.title = "Save Picture As";
    request.folder = host_.workspace().dataFolder;
    request.filter = kPictureFilter;
    request.defaultExtension = "bmp";
    int chosenFilter = 0;
    const std::optional<std::string> fileName =
        host_.prompts().chooseSaveFile(request, &chosenFilter);
    if (!fileName) {
        return;
    }
    ReportingErrors(host_.prompts(), [&] {
        SavePicture(*fileName, PictureFormatFor(*fileName, chosenFilter), pictureSize(),
                    declaration_.draw);
    });
}

void OutputCommands::CopyBitmapClick() {
    QImage image;
    const QByteArray png = EncodePicture(PictureFormat::Png, pictureSize(), declaration_.draw);
    image.loadFromData(png, "PNG");
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setImage(image);
    }
}

void OutputCommands::CopyVectorClick() {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/svg+xml"),
                  EncodePicture(PictureFormat::Svg, pictureSize(), declaration_.draw));
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setMimeData(data);
    } else {
        delete data;
    }
}

Tprintform& OutputCommands::printWindow() {
    if (!printWindow_) {
        printWindow_ = std::make_unique<Tprintform>(host_);
    }
    return *printWindow_;
}

void OutputCommands::PrintClick() {
    PrintPicture picture;
    picture.size = pictureSize();
    picture.draw = declaration_.draw;
    picture.preview = QImage(picture.size, QImage::Format_RGB32);
    picture.preview.fill(Qt::white);
    {
        QPainter painter(&picture.preview);
        declaration_.draw(painter, picture.size.width(), picture.size.height());
    }
    if (declaration_.printLabels) {
        std::tie(picture.xLabel, picture.yLabel) = declaration_.printLabels();
    }
    printWindow().prepare(std::move(picture));
}

TTSEPSform& OutputCommands::seriesDialog() {
    if (!seriesDialog_) {
        seriesDialog_ = std::make_unique<TTSEPSform>(host_, *runner_, &window_);
    }
    return *seriesDialog_;
}

TBasEPSform& OutputCommands::imageDialog() {
    if (!imageDialog_) {
        imageDialog_ = std::make_unique<TBasEPSform>(host_, *runner_, &window_);
    }
    return *imageDialog_;
}

void OutputCommands::CreateEPSClick() {
    if (declaration_.epsImage) {
        imageDialog().prepare(declaration_.epsImage());
        return;
    }
    if (!declaration_.epsSeries) {
        return;
    }
    TTSEPSform& dialog = seriesDialog();
    if (declaration_.epsRanges) {
        const std::array<double, 4> ranges = declaration_.epsRanges();
        dialog.setRanges(ranges[0], ranges[1], ranges[2], ranges[3]);
    }
    dialog.prepare(declaration_.layout, declaration_.epsSeries());
}

}  // namespace kalvora
