#pragma once

#include <QLabel>
#include <QList>
#include <QObject>
#include <QStatusBar>

namespace kalvora {

// The fixed-width panels of a result window's status bar. Panels 0 and 1 hold the readout of the
// mouse over this window's own plot. A result window is made once and shown again each time its
// analysis is opened, so the readout would otherwise greet a freshly opened window with the values
// of an earlier run, axes and all; the panels therefore empty the readout whenever their window
// is opened (not when the desktop merely restores it), and it stays empty until the mouse moves
// over the plot. The other panels belong to the window, which fills them.
class StatusPanels : public QObject {
    Q_OBJECT
  public:
    // Adds one panel per width to the window's status bar `bar`.
    StatusPanels(QWidget& window, QStatusBar& bar, const QList<int>& widths);

    QString text(int panel) const;
    void setText(int panel, const QString& text);
    void showReadout(const QString& horizontal, const QString& vertical);
    void clearReadout();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    QList<QLabel*> panels_;
};

}  // namespace kalvora
