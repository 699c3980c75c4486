#include "app/model_editor.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/main_window.h"

namespace kalvora {

namespace {

constexpr int kEquationCapacity = 100000;

// The equations with their line numbers in a margin, so that a line named in a script error can be
// found. The numbers use a fixed-width font, the equations keep theirs.
class EquationEdit;

class LineNumberArea final : public QWidget {
  public:
    explicit LineNumberArea(EquationEdit* edit);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    EquationEdit* edit_;
};

class EquationEdit final : public QPlainTextEdit {
  public:
    explicit EquationEdit(QWidget* parent)
        : QPlainTextEdit(parent), area_(new LineNumberArea(this)) {
        area_->setObjectName("LineNumbers");
        area_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { updateMargin(); });
        connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
            if (dy != 0)
                area_->scroll(0, dy);
            else
                area_->update(0, rect.y(), area_->width(), rect.height());
        });
        updateMargin();
    }

    int numberWidth() const {
        const int digits = QString::number(std::max(1, blockCount())).size();
        return 8 + area_->fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(2, digits);
    }

    void paintNumbers(QPaintEvent* event) {
        QPainter painter(area_);
        painter.fillRect(event->rect(), palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::PlaceholderText));
        QTextBlock block = firstVisibleBlock();
        int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
        while (block.isValid() && top <= event->rect().bottom()) {
            const int height = qRound(blockBoundingRect(block).height());
            if (block.isVisible() && top + height >= event->rect().top()) {
                painter.drawText(0, top, area_->width() - 4, height,
                                 Qt::AlignRight | Qt::AlignVCenter,
                                 QString::number(block.blockNumber() + 1));
            }
            top += height;
            block = block.next();
        }
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QPlainTextEdit::resizeEvent(event);
        const QRect contents = contentsRect();
        area_->setGeometry(contents.left(), contents.top(), numberWidth(), contents.height());
    }

  private:
    void updateMargin() { setViewportMargins(numberWidth(), 0, 0, 0); }

    LineNumberArea* area_;
};

LineNumberArea::LineNumberArea(EquationEdit* edit) : QWidget(edit), edit_(edit) {}

QSize LineNumberArea::sizeHint() const {
    return {edit_->numberWidth(), 0};
}

void LineNumberArea::paintEvent(QPaintEvent* event) {
    edit_->paintNumbers(event);
}

// The equations in the desktop's fixed-width font, as code is shown, a little larger than the
// labels so that operators and brackets are easily told apart; the labels and the one-line fields
// keep the desktop's own font.
QFont EquationFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + 1);
    return font;
}

}  // namespace

TModelstring::TModelstring(TForm1& mainWindow, QWidget* parent)
    : QMainWindow(parent, Qt::Tool), main_(mainWindow) {
    setObjectName("Modelstring");
    setWindowTitle("Model");

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
        auto* edit = new QLineEdit(central);
        edit->setObjectName(id);
        label->setBuddy(edit);
        fields->addWidget(label, row, 0);
        fields->addWidget(edit, row, 1);
        return edit;
    };
    inivals = addField(0, "Initial values:", "inivals");
    params = addField(1, "Parameters:", "params");
    hvars = addField(2, "Auxil. plot vars:", "hvars");
    fields->setColumnStretch(1, 1);

    StringBox = new EquationEdit(central);
    StringBox->setObjectName("StringBox");
    StringBox->setFont(EquationFont());
    StringBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    StringBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(StringBox, &QPlainTextEdit::textChanged, this, &TModelstring::limitEquationLength);
    connect(StringBox, &QPlainTextEdit::textChanged, this, [this] {
        if (!StringBox->extraSelections().isEmpty())
            StringBox->setExtraSelections({});
    });

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

    // Any edit by the user marks the model as modified; setSource clears it again.
    const auto markModified = [this] { setModified(true); };
    for (QLineEdit* field : {inivals, params, hvars, rh})
        connect(field, &QLineEdit::textEdited, this, markModified);
    connect(StringBox, &QPlainTextEdit::textChanged, this, markModified);
    connect(discr, &QRadioButton::clicked, this, markModified);
    connect(continuous, &QRadioButton::clicked, this, markModified);

    resize(520, 480);
}

TModelstring::~TModelstring() {
    // The fields are destroyed after this part of the window: emptying them must not mark it.
    observer_ = nullptr;
    for (QObject* field :
         {static_cast<QObject*>(StringBox), static_cast<QObject*>(inivals),
          static_cast<QObject*>(params), static_cast<QObject*>(hvars), static_cast<QObject*>(rh)})
        disconnect(field, nullptr, this, nullptr);
}

void TModelstring::setModified(bool modified) {
    const bool changed = modified != modified_;
    modified_ = modified;
    setWindowTitle(caption_ + (modified_ ? "*" : ""));
    if (changed && observer_)
        observer_(modified_);
}

void TModelstring::setCaption(const QString& caption) {
    caption_ = caption;
    setWindowTitle(caption_ + (modified_ ? "*" : ""));
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

void TModelstring::showEquationLine(int line) {
    const QTextBlock block = StringBox->document()->findBlockByNumber(line - 1);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    StringBox->setTextCursor(cursor);
    StringBox->centerCursor();
    StringBox->setFocus();
    // A caret alone is easily missed (and blinks out of screenshots): the whole line is tinted
    // until the next edit.
    QTextEdit::ExtraSelection mark;
    mark.cursor = cursor;
    mark.format.setBackground(QColor(255, 215, 215));
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    StringBox->setExtraSelections({mark});
}

int TModelstring::markedLine() const {
    const QList<QTextEdit::ExtraSelection> marks = StringBox->extraSelections();
    return marks.isEmpty() ? 0 : marks.front().cursor.blockNumber() + 1;
}

int TModelstring::cursorLine() const {
    return StringBox->textCursor().blockNumber() + 1;
}

void TModelstring::setAcceptEnabled(bool enabled) {
    Button2->setEnabled(enabled);
}

void TModelstring::Button3Click() {
    hide();
    main_.editorDismissed();
}

void TModelstring::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    main_.editorDismissed();
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
