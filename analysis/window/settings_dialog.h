#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVariant>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/model_workspace.h"

namespace kalvora {

// The frame every settings dialog of an analysis window shares: a fixed-size dialog that stays on
// top, its group "Settings", OK and Cancel, and the controls of the model's kind shown again on
// every activation (the model may have changed kind while the dialog was hidden). OK only
// announces itself: the result window decides whether the settings can run.
class SettingsDialog : public QDialog {
    Q_OBJECT
  public:
    QPushButton* okbutton = nullptr;
    QPushButton* cancelbutton = nullptr;

    // Shows the controls of the model's kind (run on every activation).
    virtual void FormActivate() = 0;

    // What every edit, spin box, check box and list of the dialog holds. A result window keeps the
    // snapshot of its accepted settings and restores it on Cancel, so a cancelled change never
    // stays in the dialog to be read by a later OK or run.
    using Snapshot = std::vector<std::pair<QWidget*, QVariant>>;

    // "Integrator": how a run of a continuous model integrates it (hidden for a map). Raises the
    // conversion error of a tolerance that is no number, and refuses one outside (0, 1).
    QGroupBox* integratorGroup = nullptr;
    QComboBox* integratorList = nullptr;
    QLineEdit* toleranceEdit = nullptr;
    Integration integration() const;
    Snapshot snapshot() const;
    void restore(const Snapshot& snapshot);

  signals:
    void okClicked();
    void cancelled();

  protected:
    SettingsDialog(const ModelWorkspace& workspace, const char* objectName, const QString& caption);

    // The controls of the group "Settings", named, with their range or text and default.
    QSpinBox* addSpinEdit(const char* name, int minimum, int maximum, int value);
    QLineEdit* addLineEdit(const char* name, const char* text);
    // An edit that starts with a number (general format, 15 digits): a default of the settings.
    QLineEdit* addNumberEdit(const char* name, Extended value);
    QCheckBox* addCheckBox(const QString& caption, const char* name);

    // Stacks the group "Settings", the given groups and the buttons OK and Cancel, shows the
    // controls of the model's kind and fixes the size at the layout's size, but at least
    // minimumSize.
    void finishLayout(std::initializer_list<QWidget*> groups, const QSize& minimumSize = QSize());

    // The rows shared by the orbit dialogs: the count controls of a discrete model or the time
    // controls of a continuous one, the two row captions that go with them, and the point style,
    // which a continuous model always draws as a joined curve. Returns whether the model is
    // discrete.
    bool showModelKind(std::initializer_list<QWidget*> discreteOnly,
                       std::initializer_list<QWidget*> continuousOnly, QLabel* firstRow,
                       QLabel* secondRow, QCheckBox* plotSquares, QCheckBox* connectPoints);

    // Whether the loaded model's names (variables, auxiliaries, parameters) differ from those of
    // the previous call, the first call included. Choices and ranges made for one model mean
    // nothing for another (an interval of the logistic map's r applied to the Hénon map's a), so a
    // dialog goes back to its defaults then, and keeps them for the same model reloaded or edited
    // without renaming.
    bool modelNamesChanged();

    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Cancel, Escape and the close box: the result window is enabled again, nothing else.
    void reject() override;

    QGroupBox* settingsGroup;
    QGridLayout* settingsGrid;
    const ModelWorkspace& workspace_;

  private:
    // Shows the integrator group for a continuous model only, refitting the fixed size.
    void showIntegrator();

    std::string namesAtLastFill_;
    QSize minimumSize_;
};

// Numbers read from a dialog's fields and table cells. A text that is no number is refused with
// the message of the number formats, preceded by where it was typed: the field's caption as the
// dialog shows it ("Epsilon: '' is not a valid floating point value"), or the cell's row and column
// ("Row 2 (x), column Minimum: ..."), so that an empty field among many can be found.
QString FieldCaption(const QWidget* field);
Extended FieldNumber(const QLineEdit* edit);
std::int32_t FieldInteger(const QLineEdit* edit);
QString CellPlace(const QTableWidget* table, int row, int column);
Extended CellNumber(const QTableWidget* table, int row, int column);
std::int32_t CellInteger(const QTableWidget* table, int row, int column);

}  // namespace kalvora
