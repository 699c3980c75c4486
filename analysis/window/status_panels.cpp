#include "analysis/window/status_panels.h"

#include <QEvent>

namespace kalvora {

StatusPanels::StatusPanels(QWidget& window, QStatusBar& bar, const QList<int>& widths)
    : QObject(&window), window_(window) {
    for (const int width : widths) {
        auto* panel = new QLabel(&bar);
        panel->setFixedWidth(width);
        bar.addWidget(panel);
        panels_ << panel;
    }
    window.installEventFilter(this);
}

QString StatusPanels::text(int panel) const {
    return panel >= 0 && panel < panels_.size() ? panels_[panel]->text() : QString();
}

void StatusPanels::setText(int panel, const QString& text) {
    if (panel >= 0 && panel < panels_.size()) {
        panels_[panel]->setText(text);
    }
}

void StatusPanels::showReadout(const QString& horizontal, const QString& vertical) {
    setText(0, horizontal);
    setText(1, vertical);
}

void StatusPanels::clearReadout() {
    showReadout(QString(), QString());
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event) {
    // show() sends a non-spontaneous Show; a window restored from the task bar gets a
    // spontaneous one and keeps what the user last read.
    if (watched == &window_ && event->type() == QEvent::Show && !event->spontaneous()) {
        clearReadout();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kalvora
