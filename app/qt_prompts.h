#pragma once

#include <QString>
#include <QStringList>

#include "core/prompts.h"

class QWidget;

namespace kalvora {

// The desktop's answers to the prompts seam: Qt message boxes and file dialogs.
class QtPrompts final : public Prompts {
  public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void error(const std::string& message) override;
    void detailedError(const std::string& message, const std::string& details) override;
    SaveAnswer askSaveChanges(const std::string& message) override;
    void information(const std::string& message) override;
    bool confirm(const std::string& message) override;
    std::optional<std::string> chooseOpenFile(const FileRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileRequest& request,
                                              int* chosenFilter = nullptr) override;

  private:
    QWidget* owner() const;

    QWidget* parent_;
};

// "Parameters file (*.par)|*.par|All (*.*)|*.*" becomes Qt's list of name filters. A lone pattern
// ("*.mod") stands for itself; a description without the pattern in brackets gets it appended,
// since Qt reads the patterns from the brackets.
QStringList QtNameFilters(const std::string& filter);

}  // namespace kalvora
