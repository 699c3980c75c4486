#include "analysis/window/export/print_window.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPageSetupDialog>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QScreen>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace kalvora {

PrinterChooser& PrintDialogSeam() {
    static PrinterChooser chooser = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    return chooser;
}

void DrawPrintPage(QPainter& painter, int pageWidth, int pageHeight, int dotsPerInch,
                   const PrintPlacement& placement, const PrintPicture& picture) {
    const QRect target = PrintRectangle(placement, pageWidth, pageHeight);
    // The picture is laid out for the rectangle as a screen of 96 dots per inch would show it and
    // kept as vectors (SVG, the clipboard's vector flavour), then stretched onto the page: text
    // keeps its size relative to the picture, and a one-pixel line becomes 1/96 inch instead of
    // one printer dot.
    const double scale = std::max(1.0, dotsPerInch / 96.0);
    const QSize logical(std::max(10, static_cast<int>(target.width() / scale)),
                        std::max(10, static_cast<int>(target.height() / scale)));
    QSvgRenderer vectors(EncodePicture(PictureFormat::Svg, logical, picture.draw));
    painter.save();
    painter.setClipRect(target);
    vectors.render(&painter, QRectF(target));
    painter.restore();
}

Tprintform2::Tprintform2() {
    setObjectName("printform2");
    setWindowTitle(QStringLiteral("Print Options"));
    printgrid = new QCheckBox(QStringLiteral("     Grid"), this);
    printgrid->setObjectName("printgrid");
    printgrid->setChecked(true);
    labelaxes = new QCheckBox(QStringLiteral("     Label Axes"), this);
    labelaxes->setObjectName("labelaxes");
    labelaxes->setChecked(true);
    xCaption = new QLabel(QStringLiteral("X-axis"), this);
    yCaption = new QLabel(QStringLiteral("Y-axis"), this);
    Edit2 = new QLineEdit(QStringLiteral("x"), this);
    Edit2->setObjectName("Edit2");
    Edit1 = new QLineEdit(QStringLiteral("y"), this);
    Edit1->setObjectName("Edit1");
    auto* scaling = new QGroupBox(QStringLiteral("Scaling"), this);
    auto* scalingLayout = new QVBoxLayout(scaling);
    printscaling = new QButtonGroup(this);
    const char* const choices[] = {"None", "Max-Min", "Automatic scaling"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(QString::fromLatin1(choices[i]), scaling);
        printscaling->addButton(button, i);
        scalingLayout->addWidget(button);
    }
    printscaling->button(1)->setChecked(true);
    connect(labelaxes, &QCheckBox::toggled, this, [this](bool on) {
        for (QWidget* widget : {static_cast<QWidget*>(xCaption), static_cast<QWidget*>(yCaption),
                                static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit1)}) {
            widget->setEnabled(on);
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* grid = new QGridLayout(this);
    grid->addWidget(printgrid, 0, 0, 1, 2);
    grid->addWidget(labelaxes, 1, 0, 1, 2);
    grid->addWidget(xCaption, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(yCaption, 3, 0);
    grid->addWidget(Edit1, 3, 1);
    grid->addWidget(scaling, 4, 0, 1, 2);
    grid->addWidget(buttons, 5, 0, 1, 2);
}

void Tprintform2::done(int result) {
    QDialog::done(result);
    emit closedOptions();
}

PagePreview::PagePreview(QWidget* parent) : QWidget(parent) {
    setObjectName("Image1");
    setFixedSize(250, 297 + 2 * 10);
}

void PagePreview::paintEvent(QPaintEvent*) {
    // One pixel per millimetre: the page from (20, top) to (230, top + 297).
    const int top = 10;
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(20, top, 210, 297);
    const QRect picturePlace(20 + placement.x, top + placement.y, placement.width,
                             placement.height);
    painter.drawRect(picturePlace);
    if (!picture.isNull()) {
        // A window's picture shrunk to a few millimetres loses its one-pixel points unless it is
        // filtered.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(picturePlace.adjusted(1, 1, -1, -1), picture);
    }
}

Tprintform::Tprintform(AnalysisHost& host)
    : QWidget(nullptr),
      host_(host),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName("printform");
    setWindowTitle(QStringLiteral("Printer"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    printer_->setPageSize(QPageSize(QPageSize::A4));

    auto spin = [this](const char* name, int value, int minimum, int maximum) {
        auto* box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(minimum, maximum);
        box->setValue(value);
        box->setSuffix(QStringLiteral(" mm"));
        return box;
    };
    SpinEdit1 = spin("SpinEdit1", 100, 10, 210);
    SpinEdit2 = spin("SpinEdit2", 100, 10, 297);
    SpinEdit3 = spin("SpinEdit3", 30, 0, 110);
    SpinEdit4 = spin("SpinEdit4", 30, 0, 197);
    auto* group = new QGroupBox(QStringLiteral("Size/Position"), this);
    auto* fields = new QGridLayout(group);
    const char* const captions[] = {"Width", "Height", "X Position", "Y Position"};
    QSpinBox* const boxes[] = {SpinEdit1, SpinEdit2, SpinEdit3, SpinEdit4};
    for (int i = 0; i < 4; ++i) {
        fields->addWidget(new QLabel(QString::fromLatin1(captions[i]), group), i, 0);
        fields->addWidget(boxes[i], i, 1);
        connect(boxes[i], &QSpinBox::valueChanged, this, [this] { refreshPreview(); });
    }
    connect(SpinEdit1, &QSpinBox::valueChanged, this,
            [this](int width) { SpinEdit3->setMaximum(MaxXPosition(width)); });
    connect(SpinEdit2, &QSpinBox::valueChanged, this,
            [this](int height) { SpinEdit4->setMaximum(MaxYPosition(height)); });

    auto button = [this](const char* text, const char* name) {
        auto* created = new QPushButton(QString::fromLatin1(text), this);
        created->setObjectName(name);
        return created;
    };
    PrinterSetup = button("Printer Setup", "PrinterSetup");
    Advanced = button("Advanced", "Advanced");
    View = button("View", "View");
    PagePOK = button("OK", "PagePOK");
    PagePCancel = button("Cancel", "PagePCancel");
    Image1 = new PagePreview(this);

    options = std::make_unique<Tprintform2>();
    connect(options.get(), &Tprintform2::closedOptions, this, [this] {
        setEnabled(true);
        refreshPreview();
    });
    connect(PrinterSetup, &QPushButton::clicked, this, [this] {
        QPageSetupDialog dialog(printer_.get(), this);
        dialog.exec();
    });
    connect(Advanced, &QPushButton::clicked, this, [this] {
        options->show();
        setEnabled(false);
    });
    connect(View, &QPushButton::clicked, this, [this] { refreshPreview(); });
    connect(PagePOK, &QPushButton::clicked, this, [this] { PagePOKClick(); });
    connect(PagePCancel, &QPushButton::clicked, this, &QWidget::close);

    auto* side = new QVBoxLayout;
    side->addWidget(group);
    for (QPushButton* b : {PrinterSetup, Advanced, View, PagePOK, PagePCancel}) {
        side->addWidget(b);
    }
    side->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Image1);
    layout->addLayout(side);
}

Tprintform::~Tprintform() = default;

void Tprintform::prepare(PrintPicture picture) {
    picture_ = std::move(picture);
    Image1->picture = picture_.preview;
    options->Edit2->setText(QString::fromStdString(picture_.xLabel));
    options->Edit1->setText(QString::fromStdString(picture_.yLabel));
    refreshPreview();
    if (!placed_) {
        // Like the result windows: centred on the screen the first time, then where the user
        // leaves it.
        placed_ = true;
        adjustSize();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    show();
    raise();
    if (!open_) {
        open_ = true;
        host_.disableAllWindows();
    }
}

PrintPlacement Tprintform::placement() const {
    return {SpinEdit1->value(), SpinEdit2->value(), SpinEdit3->value(), SpinEdit4->value()};
}

void Tprintform::refreshPreview() {
    Image1->placement = placement();
    Image1->update();
}

bool Tprintform::PagePOKClick() {
    refreshPreview();
    if (!PrintDialogSeam()(*printer_, this)) {
        return false;
    }
    QPainter painter;
    if (!painter.begin(printer_.get())) {
        host_.prompts().error("The printer refused the job" +
                              (printer_->outputFileName().isEmpty()
                                   ? std::string()
                                   : " (\"" + printer_->outputFileName().toStdString() + "\")"));
        return false;
    }
    DrawPrintPage(painter, printer_->width(), printer_->height(), printer_->resolution(),
                  placement(), picture_);
    if (!painter.end()) {
        host_.prompts().error("The printer could not finish the job");
        return false;
    }
    close();
    return true;
}

void Tprintform::closeEvent(QCloseEvent* event) {
    options->hide();
    setEnabled(true);
    if (open_) {
        open_ = false;
        host_.enableAllWindows();
    }
    QWidget::closeEvent(event);
}

}  // namespace kalvora
