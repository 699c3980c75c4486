#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "core/model_workspace.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kalvora {

class TForm1;

// "Change Parameter Values": the current parameter values, initial values and, for continuous
// models, the Runge-Kutta step size, changed without editing the model.
class TParameters final : public QDialog {
    Q_OBJECT
  public:
    TParameters(TForm1& mainWindow, QWidget* parent = nullptr);

    // Fills the grids (from the definition's values after Default, else the current ones) and shows
    // the window.
    void ShowParameterWindow();

    int analysisTag() const { return analysisTag_; }
    void setAnalysisTag(int tag) { analysisTag_ = tag; }
    void setShowModelEnabled(bool enabled);
    // Accept is locked while a long computation runs, so the model never changes under it.
    void setAcceptEnabled(bool enabled);

    // The buttons. acceptClick throws the conversion error of the first cell that is not a number,
    // with that cell selected and the values before it stored.
    void acceptClick();
    void par_defaultClick();
    void par_cancelClick();
    void showmodelClick();

    QTableWidget* IniGrid;
    QTableWidget* ParGrid;
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* showmodel;
    QPushButton* par_default;
    QPushButton* accept;
    QPushButton* par_cancel;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    struct ShownValue {
        QString text;
        Extended value;
    };

    void fillGrid(QTableWidget* grid, int rows,
                  const std::array<std::string, kModelListCapacity>& names,
                  const std::array<Extended, kModelListCapacity>& values, const char* nameSuffix,
                  std::vector<ShownValue>& shown);
    Extended cellValue(QTableWidget* grid, int row, const std::vector<ShownValue>& shown);
    void FormActivate();

    TForm1& main_;
    ModelWorkspace& workspace_;
    int analysisTag_ = 0;
    bool useDefaults_ = false;
    // What each cell showed when filled, with the full value behind it: a cell left as shown keeps
    // the full value instead of the 7 digits on screen.
    std::vector<ShownValue> shownInitial_;
    std::vector<ShownValue> shownParameters_;
    ShownValue shownStep_;
};

}  // namespace kalvora
