#include "app/about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace kalvora {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog) {
    setObjectName("AboutBox");
    setWindowTitle("About Kalvora");
    setModal(false);

    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon(":/icons/kalvora.svg").pixmap(64, 64));
    picture->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(this);
    text->setObjectName("Credits");
    text->setTextFormat(Qt::RichText);
    text->setText("<h3>Kalvora " KALVORA_VERSION
                  "</h3>"
                  "<p>A workbench for nonlinear dynamical systems:<br>"
                  "discrete maps and ordinary differential equations.</p>"
                  "<p>Models are evaluated by the Lua 5.1 interpreter.<br>"
                  "The user interface is built with Qt.</p>"
                  "<p>Written by the Kalvora developers.</p>");

    auto* content = new QHBoxLayout;
    content->addWidget(picture);
    content->addSpacing(12);
    content->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(content);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kalvora
