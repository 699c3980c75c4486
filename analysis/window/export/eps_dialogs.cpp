#include "analysis/window/export/eps_dialogs.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QUrl>
#include <QVBoxLayout>
#include <fstream>
#include <sstream>

#include "analysis/window/data_file_writer.h"
#include "analysis/window/export/gnuplot_runner.h"
#include "analysis/window/export/print_window.h"
#include "core/numbers.h"
#include "core/text_file.h"

namespace kalvora {

namespace {

const char* const kSlotBackgrounds[5] = {"#0000ff", "#ff0000", "#00ff00", "#ff00ff", "#000080"};

std::string Text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

bool RefuseWhileBusy(AnalysisHost& host, const GnuplotRunner& runner) {
    if (runner.busy()) {
        host.prompts().error(GnuplotRunner::BusyMessage());
        return true;
    }
    return false;
}

}  // namespace

namespace {

// Without the private scratch folder (it could not be created at start-up) the scratch files
// would land in whatever folder the program runs in, beside the user's own files.
const std::string& ScratchFolder(const ModelWorkspace& workspace) {
    if (workspace.tempFolder.empty()) {
        throw FileError(
            "There is no private scratch folder for gnuplot's files; the EPS export is not "
            "available");
    }
    return workspace.tempFolder;
}

}  // namespace

std::string SeriesScratchFile(const ModelWorkspace& workspace, int slot) {
    return ScratchFolder(workspace) + "kalvoras" + std::to_string(slot + 1) + ".tmp";
}

std::string ImageScratchFile(const ModelWorkspace& workspace) {
    return ScratchFolder(workspace) + "kalvoradata.tmp";
}

std::string ScriptScratchFile(const ModelWorkspace& workspace) {
    return ScratchFolder(workspace) + "kalvoragp.tmp";
}

bool StartGnuplot(AnalysisHost& host, GnuplotRunner& runner, const std::string& scriptPath,
                  const std::string& output) {
    if (RefuseWhileBusy(host, runner)) {
        return false;
    }
    return runner.start(scriptPath, output, [&host](const GnuplotOutcome& outcome) {
        if (!outcome.ok) {
            host.prompts().error(outcome.message);
        }
    });
}

std::string ScriptOutputFile(const std::string& script) {
    std::string found;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 11, "set output ") != 0) {
            continue;
        }
        std::size_t i = line.find_first_not_of(' ', start + 11);
        if (i == std::string::npos || line[i] != '\'') {
            found.clear();
            continue;
        }
        std::string path;
        bool closed = false;
        for (++i; i < line.size(); ++i) {
            if (line[i] == '\'') {
                if (i + 1 < line.size() && line[i + 1] == '\'') {
                    path += '\'';
                    ++i;
                } else {
                    closed = true;
                    break;
                }
            } else {
                path += line[i];
            }
        }
        found = closed ? path : std::string();
    }
    return found;
}

// ---------------------------------------------------------------------------------------------
// Editor

Tgpedit::Tgpedit(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent)
    : QMainWindow(parent, parent != nullptr ? Qt::Tool : Qt::Window), host_(host), runner_(runner) {
    setObjectName("gpedit");
    setWindowTitle(QStringLiteral("Gnuplot File Editor"));
    StringBox = new QPlainTextEdit(this);
    StringBox->setObjectName("StringBox");
    // A script is code: the desktop's fixed-width font.
    StringBox->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    StringBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    StringBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Typing is limited to 1000 characters; a loaded script may be longer, and shortening it is
    // always allowed.
    connect(StringBox, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = StringBox->toPlainText();
        if (!loading_ && text.size() > 1000 && text.size() > accepted_.size()) {
            const int position =
                StringBox->textCursor().position() - (text.size() - accepted_.size());
            const QSignalBlocker blocker(StringBox);
            StringBox->setPlainText(accepted_);
            QTextCursor cursor = StringBox->textCursor();
            cursor.setPosition(std::clamp(position, 0, static_cast<int>(accepted_.size())));
            StringBox->setTextCursor(cursor);
            return;
        }
        accepted_ = text;
    });
    CreatePlot = new QPushButton(QStringLiteral("Create Plot"), this);
    CreatePlot->setObjectName("CreatePlot");
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel->setObjectName("Cancel");
    connect(CreatePlot, &QPushButton::clicked, this, [this] { CreatePlotClick(); });
    connect(Cancel, &QPushButton::clicked, this, &QWidget::close);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName("File1");
    file->addAction(QStringLiteral("&Save Current Text As..."), this,
                    [this] { SaveCurrentTextAsClick(); });
    file->addAction(QStringLiteral("&Print Current Text..."), this,
                    [this] { PrintCurrentTextClick(); });
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    QAction* help = menuBar()->addAction(QStringLiteral("Gnuplot &Help"));
    help->setObjectName("GnuplotHelp1");
    connect(help, &QAction::triggered, this, [this] { GnuplotHelpClick(); });

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(StringBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CreatePlot);
    buttons->addWidget(Cancel);
    layout->addLayout(buttons);
    setCentralWidget(central);
    resize(560, 420);
}

void Tgpedit::open() {
    ReportingErrors(host_.prompts(), [this] {
        const std::string text = ReadTextFile(ScriptScratchFile(host_.workspace()));
        loading_ = true;
        StringBox->setPlainText(QString::fromStdString(text).remove(QLatin1Char('\r')));
        loading_ = false;
        accepted_ = StringBox->toPlainText();
        setEnabled(true);
        show();
        raise();
    });
}

void Tgpedit::saveScript() {
    WriteTextFile(ScriptScratchFile(host_.workspace()),
                  WithCrLf(StringBox->toPlainText().toStdString() + "\n"));
}

void Tgpedit::CreatePlotClick() {
    if (RefuseWhileBusy(host_, runner_)) {
        return;
    }
    ReportingErrors(host_.prompts(), [this] {
        saveScript();
        StartGnuplot(host_, runner_, ScriptScratchFile(host_.workspace()),
                     ScriptOutputFile(StringBox->toPlainText().toStdString()));
    });
}

void Tgpedit::SaveCurrentTextAsClick() {
    Prompts::FileRequest request;
    request.title = "Save Model As";
    request.folder = host_.workspace().dataFolder;
    request.filter = "Gnuplot file (*.gp)|*.gp";
    request.defaultExtension = "gp";
    const std::optional<std::string> target = host_.prompts().chooseSaveFile(request);
    if (!target) {
        return;
    }
    ReportingErrors(host_.prompts(), [&] {
        // The scratch script is read by a running gnuplot; then only the chosen file is written.
        if (!runner_.busy()) {
            saveScript();
        }
        WriteTextFile(*target, WithCrLf(StringBox->toPlainText().toStdString() + "\n"));
    });
}

void Tgpedit::PrintCurrentTextClick() {
    QPrinter printer(QPrinter::HighResolution);
    if (!PrintDialogSeam()(printer, this)) {
        return;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        host_.prompts().error("The printer refused the job");
        return;
    }
    QFont font = StringBox->font();
    font.setPointSizeF(12);
    painter.setFont(font);
    const QFontMetrics metrics(font, &printer);
    int y = metrics.ascent();
    for (QTextBlock block = StringBox->document()->begin(); block.isValid(); block = block.next()) {
        if (y + metrics.descent() > printer.height()) {
            printer.newPage();
            y = metrics.ascent();
        }
        painter.drawText(0, y, block.text());
        y += metrics.lineSpacing();
    }
    painter.end();
}

void Tgpedit::GnuplotHelpClick() {
    // gnuplot's manual where the documentation package put it, else its own web pages.
    for (const char* path :
         {"/usr/share/doc/gnuplot-doc/gnuplot.pdf", "/usr/share/doc/gnuplot-doc/gnuplot.html",
          "/usr/share/doc/gnuplot-doc/html/index.html"}) {
        if (QFileInfo::exists(QString::fromLatin1(path)) &&
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromLatin1(path)))) {
            return;
        }
    }
    if (!QDesktopServices::openUrl(QUrl(QStringLiteral("http://www.gnuplot.info/docs/")))) {
        host_.prompts().information(
            "gnuplot's help could not be opened here. Start gnuplot in a terminal and type "
            "\"help\", or read http://www.gnuplot.info/docs/.");
    }
}

// ---------------------------------------------------------------------------------------------
// Dialog base

EpsDialogBase::EpsDialogBase(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent,
                             const QString& blackWhiteCaption)
    : QDialog(parent), host_(host), runner_(runner) {
    setWindowTitle(QStringLiteral("EPS plot"));
    setModal(false);
    auto edit = [this](const char* name) {
        auto* created = new QLineEdit(this);
        created->setObjectName(name);
        // Room for a range in 15 significant digits.
        created->setMinimumWidth(
            created->fontMetrics().horizontalAdvance(QStringLiteral("-0.000123456789012345")) + 8);
        return created;
    };
    auto check = [this](const QString& caption, const char* name) {
        auto* created = new QCheckBox(caption, this);
        created->setObjectName(name);
        return created;
    };
    Title = edit("Title");
    ELabX = edit("ELabX");
    ELabY = edit("ELabY");
    Yrotate = check(QStringLiteral("Rotate"), "Yrotate");
    AutoscaleX = check(QStringLiteral("Autoscale"), "AutoscaleX");
    AutoscaleY = check(QStringLiteral("Autoscale"), "AutoscaleY");
    MinX = edit("MinX");
    MaxX = edit("MaxX");
    MinY = edit("MinY");
    MaxY = edit("MaxY");
    bw = check(blackWhiteCaption, "bw");
    SaveAs = new QPushButton(QStringLiteral("Save As ..."), this);
    SaveAs->setObjectName("SaveAs");
    EditPlot = new QPushButton(QStringLiteral("Edit Plot (Adv) ..."), this);
    EditPlot->setObjectName("EditPlot");
    auto label = [this](const QString& caption) { return new QLabel(caption, this); };
    QLabel* const minXCaption = label(QStringLiteral("Min"));
    QLabel* const maxXCaption = label(QStringLiteral("Max"));
    QLabel* const minYCaption = label(QStringLiteral("Min"));
    QLabel* const maxYCaption = label(QStringLiteral("Max"));
    // A range and its captions come and go together: a caption without its field reads as a
    // field that failed to appear.
    connect(AutoscaleX, &QCheckBox::toggled, this, [this, minXCaption, maxXCaption](bool on) {
        for (QWidget* widget :
             std::initializer_list<QWidget*>{MinX, MaxX, minXCaption, maxXCaption})
            widget->setVisible(!on);
    });
    connect(AutoscaleY, &QCheckBox::toggled, this, [this, minYCaption, maxYCaption](bool on) {
        for (QWidget* widget :
             std::initializer_list<QWidget*>{MinY, MaxY, minYCaption, maxYCaption})
            widget->setVisible(!on);
    });
    connect(SaveAs, &QPushButton::clicked, this, [this] { SaveAsClick(); });
    connect(EditPlot, &QPushButton::clicked, this, [this] { EditPlotClick(); });

    grid_ = new QGridLayout(this);
    grid_->addWidget(new QLabel(QStringLiteral("Title"), this), 0, 0);
    grid_->addWidget(Title, 0, 1, 1, 4);
    grid_->addWidget(new QLabel(QStringLiteral("X:"), this), 1, 0);
    grid_->addWidget(new QLabel(QStringLiteral("Label"), this), 1, 1);
    grid_->addWidget(ELabX, 1, 2);
    grid_->addWidget(AutoscaleX, 1, 3);
    grid_->addWidget(minXCaption, 2, 1);
    grid_->addWidget(MinX, 2, 2);
    grid_->addWidget(maxXCaption, 2, 3);
    grid_->addWidget(MaxX, 2, 4);
    grid_->addWidget(new QLabel(QStringLiteral("Y:"), this), 3, 0);
    grid_->addWidget(new QLabel(QStringLiteral("Label"), this), 3, 1);
    grid_->addWidget(ELabY, 3, 2);
    grid_->addWidget(AutoscaleY, 3, 3);
    grid_->addWidget(Yrotate, 3, 4);
    grid_->addWidget(minYCaption, 4, 1);
    grid_->addWidget(MinY, 4, 2);
    grid_->addWidget(maxYCaption, 4, 3);
    grid_->addWidget(MaxY, 4, 4);
    grid_->addWidget(bw, 5, 0, 1, 2);
    grid_->addWidget(SaveAs, 20, 3);
    grid_->addWidget(EditPlot, 20, 4);
}

void EpsDialogBase::setRanges(double minX, double maxX, double minY, double maxY) {
    MinX->setText(QString::fromStdString(FormatGeneral(minX, 15)));
    MaxX->setText(QString::fromStdString(FormatGeneral(maxX, 15)));
    MinY->setText(QString::fromStdString(FormatGeneral(minY, 15)));
    MaxY->setText(QString::fromStdString(FormatGeneral(maxY, 15)));
}

EpsTexts EpsDialogBase::texts(const std::string& output) const {
    EpsTexts texts;
    texts.blackWhite = bw->isChecked();
    texts.output = output;
    texts.title = Text(Title);
    texts.xLabel = Text(ELabX);
    texts.yLabel = Text(ELabY);
    texts.rotateY = Yrotate->isChecked();
    return texts;
}

bool EpsDialogBase::writeScript(const std::string& output) {
    if (RefuseWhileBusy(host_, runner_)) {
        return false;
    }
    return ReportingErrors(host_.prompts(), [&] {
        // A range that is no number is named by its field, as the dialog shows it.
        const auto number = [](const char* caption, const QLineEdit* edit) {
            ReadAt(caption, [edit] { return ParseFloat(Text(edit)); });
        };
        if (rangesAlwaysUsed_ || !AutoscaleX->isChecked()) {
            number("X: Min", MinX);
            number("X: Max", MaxX);
        }
        if (rangesAlwaysUsed_ || !AutoscaleY->isChecked()) {
            number("Y: Min", MinY);
            number("Y: Max", MaxY);
        }
        // A range or path that cannot be written refuses before any file changes.
        const std::string text = script(output);
        WriteTextFile(ScriptScratchFile(host_.workspace()), text);
    });
}

bool EpsDialogBase::SaveAsClick() {
    Prompts::FileRequest request;
    request.title = "EPS Plot";
    request.folder = host_.workspace().dataFolder;
    request.filter = "Encapsulated PostScript (*.eps)|*.eps";
    request.defaultExtension = "eps";
    const std::optional<std::string> output = host_.prompts().chooseSaveFile(request);
    if (!output || !writeScript(*output)) {
        return false;
    }
    if (!StartGnuplot(host_, runner_, ScriptScratchFile(host_.workspace()), *output)) {
        return false;
    }
    close();
    return true;
}

bool EpsDialogBase::EditPlotClick() {
    // The script names its picture: the user says where it goes, as Save As does, rather than
    // finding a fixed file written beside the models.
    Prompts::FileRequest request;
    request.title = "EPS Plot";
    request.folder = host_.workspace().dataFolder;
    request.filter = "Encapsulated PostScript (*.eps)|*.eps";
    request.defaultExtension = "eps";
    request.fileName = "myplot.eps";
    const std::optional<std::string> output = host_.prompts().chooseSaveFile(request);
    if (!output || !writeScript(*output)) {
        return false;
    }
    if (!editor) {
        editor = std::make_unique<Tgpedit>(host_, runner_, parentWidget());
    }
    editor->open();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Series dialog

TTSEPSform::TTSEPSform(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent)
    : EpsDialogBase(host, runner, parent, QStringLiteral("Black&&White")) {
    setObjectName("TSEPSform");
    PntsHeading = new QLabel(QStringLiteral("Pnts"), this);
    LineHeading = new QLabel(QStringLiteral("Line"), this);
    grid_->addWidget(PntsHeading, 6, 3);
    grid_->addWidget(LineHeading, 6, 4);
    for (int k = 0; k < 5; ++k) {
        const QString number = QString::number(k + 1);
        LS[k] = new QLabel(QStringLiteral("Ser %1").arg(number), this);
        LS[k]->setObjectName("LS" + number);
        LS[k]->setStyleSheet(QStringLiteral("background:%1; color:white; font-weight:bold; "
                                            "padding:1px 4px;")
                                 .arg(QLatin1String(kSlotBackgrounds[k])));
        ES[k] = new QLineEdit(this);
        ES[k]->setObjectName("ES" + number);
        Sp[k] = new QCheckBox(this);
        Sp[k]->setObjectName("S" + number + "p");
        Sl[k] = new QCheckBox(this);
        Sl[k]->setObjectName("S" + number + "l");
        grid_->addWidget(LS[k], 7 + k, 0, 1, 2);
        grid_->addWidget(ES[k], 7 + k, 2);
        grid_->addWidget(Sp[k], 7 + k, 3);
        grid_->addWidget(Sl[k], 7 + k, 4);
    }
    LegendCaption = new QLabel(QStringLiteral("Legend:"), this);
    PositionCaption = new QLabel(QStringLiteral("Position"), this);
    auto check = [this](const char* caption, const char* name) {
        auto* created = new QCheckBox(QString::fromLatin1(caption), this);
        created->setObjectName(name);
        return created;
    };
    LegTL = check("top left", "LegTL");
    LegTR = check("top right", "LegTR");
    LegBL = check("bottom left", "LegBL");
    LegBR = check("bottom right", "LegBR");
    for (QCheckBox* box : {LegTL, LegTR, LegBL, LegBR}) {
        connect(box, &QCheckBox::toggled, this, [this, box](bool on) {
            if (!on) {
                return;
            }
            for (QCheckBox* other : {LegTL, LegTR, LegBL, LegBR}) {
                if (other != box) {
                    other->setChecked(false);
                }
            }
        });
    }
    SquarePlot = check("Square plot", "SquarePlot");
    CheckBoxLargeDots = check("Large", "CheckBoxLargeDots");
    grid_->addWidget(LegendCaption, 12, 0);
    grid_->addWidget(PositionCaption, 12, 1);
    grid_->addWidget(LegTL, 12, 2);
    grid_->addWidget(LegTR, 12, 3);
    grid_->addWidget(LegBL, 13, 2);
    grid_->addWidget(LegBR, 13, 3);
    grid_->addWidget(SquarePlot, 5, 2);
    grid_->addWidget(CheckBoxLargeDots, 5, 3);
}

bool TTSEPSform::prepare(EpsLayout layout, const std::array<const Tsp_XYLine*, 5>& series) {
    if (RefuseWhileBusy(host_, runner_)) {
        return false;
    }
    layout_ = layout;
    setEnabled(true);
    SquarePlot->setChecked(false);
    CheckBoxLargeDots->setChecked(false);
    CheckBoxLargeDots->hide();
    LineHeading->hide();
    for (int k = 0; k < 5; ++k) {
        Sl[k]->setChecked(false);
        Sp[k]->setChecked(false);
    }
    AutoscaleX->setChecked(false);
    AutoscaleY->setChecked(false);
    const bool points = layout == EpsLayout::Points;
    if (points) {
        CheckBoxLargeDots->show();
    }
    if (!points) {
        for (QWidget* widget :
             std::initializer_list<QWidget*>{LegTL, LegTR, LegBL, LegBR, LegendCaption,
                                             PositionCaption, PntsHeading, LineHeading}) {
            widget->show();
        }
    }
    for (QCheckBox* box : {LegTL, LegTR, LegBL, LegBR}) {
        box->setChecked(false);
    }
    const bool cobweb = layout == EpsLayout::Cobweb;
    const bool written = ReportingErrors(host_.prompts(), [&] {
        for (int k = 0; k < 5; ++k) {
            const Tsp_XYLine* line = series[k];
            filled_[k] = line != nullptr && line->Count() > 0;
            if (!filled_[k]) {
                for (QWidget* widget :
                     std::initializer_list<QWidget*>{LS[k], ES[k], Sl[k], Sp[k]}) {
                    widget->hide();
                }
                continue;
            }
            LS[k]->show();
            ES[k]->show();
            Sl[k]->setChecked(line->LineAttr().Visible());
            Sp[k]->setChecked(!(line->PointAttr().HSize() <= 1 && Sl[k]->isChecked()) &&
                              !(cobweb && k == 2));
            DataFileWriter(SeriesScratchFile(host_.workspace(), k), *line);
            Sl[k]->show();
            Sp[k]->show();
        }
    });
    if (!written) {
        return false;
    }
    static const char* const kCobwebCaptions[3] = {"Data", "Map", "X=Y"};
    for (int k = 0; k < 5; ++k) {
        LS[k]->setText(cobweb && k < 3 ? QString::fromLatin1(kCobwebCaptions[k])
                                       : QStringLiteral("Ser %1").arg(k + 1));
    }
    if (cobweb) {
        Sp[2]->hide();
    }
    if (points) {
        for (QCheckBox* box : Sl) {
            box->hide();
        }
    }
    show();
    raise();
    return true;
}

SeriesScriptOptions TTSEPSform::options(const std::string& output) const {
    SeriesScriptOptions options;
    options.layout = layout_;
    options.texts = texts(output);
    options.x = {AutoscaleX->isChecked(), Text(MinX), Text(MaxX)};
    options.y = {AutoscaleY->isChecked(), Text(MinY), Text(MaxY)};
    options.legend = LegTL->isChecked()   ? LegendPosition::TopLeft
                     : LegTR->isChecked() ? LegendPosition::TopRight
                     : LegBR->isChecked() ? LegendPosition::BottomRight
                     : LegBL->isChecked() ? LegendPosition::BottomLeft
                                          : LegendPosition::None;
    options.square = SquarePlot->isChecked();
    options.large = CheckBoxLargeDots->isChecked();
    for (int k = 0; k < 5; ++k) {
        options.series[k] = {filled_[k], SeriesScratchFile(host_.workspace(), k), Text(ES[k]),
                             Sl[k]->isChecked(), Sp[k]->isChecked()};
    }
    return options;
}

std::string TTSEPSform::script(const std::string& output) const {
    return SeriesScript(options(output));
}

void TTSEPSform::done(int result) {
    QDialog::done(result);
    layout_ = EpsLayout::Lines;
}

// ---------------------------------------------------------------------------------------------
// Image dialog

TBasEPSform::TBasEPSform(AnalysisHost& host, GnuplotRunner& runner, QWidget* parent)
    : EpsDialogBase(host, runner, parent, QStringLiteral("BlackWhite")) {
    setObjectName("BasEPSform");
    // The picture's script always sets both ranges, whatever "Autoscale" says.
    rangesAlwaysUsed_ = true;
    AutoscaleX->setChecked(true);
    AutoscaleY->setChecked(true);
}

bool TBasEPSform::prepare(const EpsImage& image) {
    if (RefuseWhileBusy(host_, runner_)) {
        return false;
    }
    const bool written = ReportingErrors(host_.prompts(), [&] {
        const std::string fileName = ImageScratchFile(host_.workspace());
        if (image.writeFile) {
            image.writeFile(fileName);
            return;
        }
        AtomicFileWriter file(fileName);
        WriteImageDataLines(file.stream(), image.raster);
        file.commit();
    });
    if (!written) {
        return false;
    }
    setRanges(image.minX, image.maxX, image.minY, image.maxY);
    setEnabled(true);
    show();
    raise();
    return true;
}

ImageScriptOptions TBasEPSform::options(const std::string& output) const {
    ImageScriptOptions options;
    options.texts = texts(output);
    options.minX = Text(MinX);
    options.maxX = Text(MaxX);
    options.minY = Text(MinY);
    options.maxY = Text(MaxY);
    options.dataFile = ImageScratchFile(host_.workspace());
    return options;
}

std::string TBasEPSform::script(const std::string& output) const {
    return ImageScript(options(output));
}

}  // namespace kalvora
