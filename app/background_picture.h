#pragma once

#include <QImage>
#include <QWidget>

namespace kalvora {

// The main window's client area: a quiet picture of a strange attractor, centred, so that the empty
// frame reads as the program's own.
class BackgroundPicture final : public QWidget {
    Q_OBJECT
  public:
    explicit BackgroundPicture(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage picture_;
};

}  // namespace kalvora
