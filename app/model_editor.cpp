#include "app/model_editor.h"

#include <QAction>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBlock>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/main_window.h"

namespace kalvora {

namespace {

constexpr int kEquationCapacity = 100000;

QFont EquationFont() {
    QFont font("Times New Roman");
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(16);
    return font;
}

}  // namespace

TModelstring::TModelstring(TForm1& mainWindow, QWidget* parent)
    : QMainWindow(parent, Qt::Tool), main_(mainWindow) {
    setObjectName("Modelstring");
    setWindowTitle("Model");
    const QFont serif = EquationFont();

    SaveAs1 = new QAction("&Save As...", this);
    SaveAs1->setObjectName("SaveAs1");
    Print1 = new QAction("&Print...", this);
    Print1->setObjectName("Print1");
    Close1 = new QAction("&Close", this);
    Close1->setObjectName("Close1");
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    file->addAction(SaveAs1);
    file->addSeparator();
    file->addAction(Print1);
    file->addSeparator();
    file->addAction(Close1);

    QToolBar* tools = addToolBar("Model");
    tools->setObjectName("ToolBar1");
    tools->setIconSize(QSize(24, 24));
    tools->setMovable(false);
    SaveToolButton1 = new QAction(QIcon(":/icons/save.svg"), "Save", this);
    SaveToolButton1->setObjectName("SaveToolButton1");
    PrintToolButton1 = new QAction(QIcon(":/icons/print.svg"), "Print", this);
    PrintToolButton1->setObjectName("PrintToolButton1");
    tools->addAction(SaveToolButton1);
    tools->addAction(PrintToolButton1);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* fields = new QGridLayout;
    auto addField = [&](int row, const QString& caption, const QString& id) {
        auto* label = new QLabel(caption, central);
        label->setFont(serif);
        auto* edit = new QLineEdit(central);
        edit->setObjectName(id);
        edit->setFont(serif);
        fields->addWidget(label, row, 0);
        fields->addWidget(edit, row, 1);
        return edit;
    };
    inivals = addField(0, "Initial values:", "inivals");
    params = addField(1, "Parameters:", "params");
    hvars = addField(2, "Auxil. plot vars:", "hvars");
    fields->setColumnStretch(1, 1);

    StringBox = new QPlainTextEdit(central);
    StringBox->setObjectName("StringBox");
    StringBox->setFont(serif);
    StringBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    StringBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(StringBox, &QPlainTextEdit::textChanged, this, &TModelstring::limitEquationLength);

    auto* type = new QGroupBox("Type", central);
    type->setObjectName("GroupBox1");
    discr = new QRadioButton("Discrete", type);
    discr->setObjectName("discr");
    continuous = new QRadioButton("Continuous", type);
    continuous->setObjectName("continuous");
    discr->setChecked(true);
    auto* typeLayout = new QHBoxLayout(type);
    typeLayout->addWidget(discr);
    typeLayout->addWidget(continuous);
    typeLayout->addStretch();
    Label5 = new QLabel("Stepsize Runge Kutta : ", type);
    Label5->setObjectName("Label5");
    Label5->setFont(serif);
    rh = new QLineEdit("0.01", type);
    rh->setObjectName("rh");
    rh->setMaximumWidth(120);
    typeLayout->addWidget(Label5);
    typeLayout->addWidget(rh);
    Label5->hide();
    rh->hide();
    // The choice reaches the workspace at once, before OK: the time axes of the analyses follow it.
    connect(discr, &QRadioButton::clicked, this, [this] { selectType(true); });
    connect(continuous, &QRadioButton::clicked, this, [this] { selectType(false); });

    Button2 = new QPushButton("OK", central);
    Button2->setObjectName("Button2");
    Button3 = new QPushButton("Cancel", central);
    Button3->setObjectName("Button3");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(fields);
    layout->addWidget(StringBox, 1);
    layout->addWidget(type);
    layout->addLayout(buttons);

    auto command = [this](void (TModelstring::*handler)()) {
        return [this, handler] { main_.runCommand([this, handler] { (this->*handler)(); }); };
    };
    connect(Button2, &QPushButton::clicked, this, command(&TModelstring::Button2Click));
    connect(Button3, &QPushButton::clicked, this, command(&TModelstring::Button3Click));
    connect(Close1, &QAction::triggered, this, command(&TModelstring::Button3Click));
    connect(SaveAs1, &QAction::triggered, this, command(&TModelstring::SaveAs1Click));
    connect(SaveToolButton1, &QAction::triggered, this,
            command(&TModelstring::SaveToolButton1Click));
    connect(Print1, &QAction::triggered, this, command(&TModelstring::Print1Click));
    connect(PrintToolButton1, &QAction::triggered, this, command(&TModelstring::Print1Click));

    resize(520, 480);
}

void TModelstring::showEvent(QShowEvent* event) {
    // Centred on the screen the first time it appears; afterwards where the user left it.
    if (!placed_) {
        placed_ = true;
        if (const QScreen* screen = this->screen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    QMainWindow::showEvent(event);
}

void TModelstring::selectType(bool discrete) {
    discr->setChecked(discrete);
    continuous->setChecked(!discrete);
    Label5->setVisible(!discrete);
    rh->setVisible(!discrete);
}

void TModelstring::limitEquationLength() {
    if (StringBox->document()->characterCount() - 1 <= kEquationCapacity)
        return;
    const QString text = StringBox->toPlainText().left(kEquationCapacity);
    const QSignalBlocker blocker(StringBox);
    StringBox->setPlainText(text);
    StringBox->moveCursor(QTextCursor::End);
}

void TModelstring::setAcceptEnabled(bool enabled) {
    Button2->setEnabled(enabled);
}

void TModelstring::Button3Click() {
    hide();
}

void TModelstring::Print1Click() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Print");
    if (dialog.exec() != QDialog::Accepted)
        return;
    printEquations(printer);
}

void TModelstring::printEquations(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw std::runtime_error("The printer could not be started.");
    }
    QFont font = EquationFont();
    // The equations' font at its size on paper: 16 screen pixels are 12 points.
    font.setPointSizeF(12);
    painter.setFont(QFont(font, &printer));
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect page = painter.viewport();
    const int margin = printer.resolution() / 2;
    int y = margin + metrics.ascent();
    for (QTextBlock block = StringBox->document()->begin(); block.isValid(); block = block.next()) {
        if (y + metrics.descent() > page.height() - margin) {
            printer.newPage();
            y = margin + metrics.ascent();
        }
        painter.drawText(margin, y, block.text());
        y += metrics.lineSpacing();
    }
    painter.end();
}

}  // namespace kalvora
