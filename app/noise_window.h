#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace kalvora {

struct ModelWorkspace;

// "Noise": the settings of the noise added to one variable after every step.
class TNoiseForm final : public QDialog {
    Q_OBJECT
  public:
    explicit TNoiseForm(ModelWorkspace& workspace, QWidget* parent = nullptr);

    // Where the "   Noise On" / "   Noise Off" text goes (the main window's status bar).
    void setStatusSink(std::function<void(const QString&)> sink) { statusSink_ = std::move(sink); }
    // Called whenever the window goes away (OK, Cancel, close box).
    void setClosedCallback(std::function<void()> callback) { closed_ = std::move(callback); }

    // Fills the variable list from the model, selects both lists from the settings and shows the
    // window. The text fields keep what they held.
    void showWindow();
    // A model that becomes ready starts with noise off and an unfixed seed.
    void clearCheckBoxes();

    // OK: stores the settings field by field; a field that does not convert throws, the settings
    // stored before it keep their new values and the window stays open.
    void okClick();
    void cancelClick();

    QComboBox* noisetypebox;
    QLineEdit* Edit1;
    QComboBox* Variable;
    QSpinBox* Noiseincredit;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QCheckBox* CheckBox1;
    QCheckBox* fix_rnd;
    // A continuous model's noise scaled by the square root of the step (a Wiener process).
    QCheckBox* wienerBox;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void reportStatus();
    void finish();

    ModelWorkspace& workspace_;
    std::function<void(const QString&)> statusSink_;
    std::function<void()> closed_;
};

}  // namespace kalvora
