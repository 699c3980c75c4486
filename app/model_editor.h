#pragma once

#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace kalvora {

class TForm1;
struct ModelSource;

// "Model": the four texts of the model's definition and its type. Its fields are the program's copy
// of the model's source; OK turns them into the ready model.
class TModelstring final : public QMainWindow {
    Q_OBJECT
  public:
    TModelstring(TForm1& mainWindow, QWidget* parent = nullptr);
    ~TModelstring() override;

    // The fields as the model file commands read and write them.
    ModelSource source() const;
    void setSource(const ModelSource& source);

    // Edits not yet saved to a model file: typing in a field or switching the type sets it; filling
    // the fields from a file or the built-in model, and saving, clear it. The caption then ends in
    // an asterisk, the main window's too.
    bool isModified() const { return modified_; }
    void setModified(bool modified);
    // The caption without the asterisk ("Model" or the model name).
    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }
    // Called whenever the modified state changes.
    void setModifiedObserver(std::function<void(bool)> observer) {
        observer_ = std::move(observer);
    }

    // OK, locked while a long computation runs.
    void setAcceptEnabled(bool enabled);

    // The buttons and menu commands. Button2Click (OK) throws what the definition's parse throws.
    void Button2Click();
    void Button3Click();
    void SaveAs1Click();
    void SaveToolButton1Click();
    void Print1Click();
    // Puts the cursor at the start of an equation line (from 1), shows it and tints the line until
    // the equations are edited.
    void showEquationLine(int line);
    // The tinted line, from 1, or 0.
    int markedLine() const;
    // The equation line the cursor is on, from 1.
    int cursorLine() const;
    // Prints the equation text, one printed line per line, in the equations' font.
    void printEquations(QPrinter& printer) const;

    QLineEdit* inivals;
    QLineEdit* params;
    QLineEdit* hvars;
    QPlainTextEdit* StringBox;
    QRadioButton* discr;
    QRadioButton* continuous;
    QLabel* Label5;
    QLineEdit* rh;
    QPushButton* Button2;
    QPushButton* Button3;
    QAction* SaveToolButton1;
    QAction* PrintToolButton1;
    QAction* SaveAs1;
    QAction* Print1;
    QAction* Close1;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // The type buttons change the editor only: the model in force keeps its kind until OK.
    void selectType(bool discrete);
    void limitEquationLength();

    TForm1& main_;
    bool placed_ = false;
    bool modified_ = false;
    QString caption_ = "Model";
    std::function<void(bool)> observer_;
};

}  // namespace kalvora
