#pragma once

#include <QDialog>

namespace kalvora {

// The credits.
class TAboutBox final : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace kalvora
