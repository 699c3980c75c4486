#pragma once

#include <QDialog>
#include <QPushButton>
#include <QSpinBox>

#include "analysis/window/analysis_host.h"

namespace kalvora {

// "Build Data Series": asks for the length of an orbit and writes it to a text file, one line per
// iterate 1 .. Length with all variables and auxiliary variables.
class TBuild : public QDialog {
    Q_OBJECT
  public:
    explicit TBuild(AnalysisHost& host);

    QSpinBox* Length;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    // The main-window command "&Data Series".
    void open();
    void OkButtonClick();

  private:
    AnalysisHost& host_;
};

}  // namespace kalvora
