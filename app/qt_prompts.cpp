#include "app/qt_prompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace kalvora {

QStringList QtNameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    if (parts.size() == 1) {
        if (!parts[0].trimmed().isEmpty())
            filters << parts[0].trimmed();
        return filters;
    }
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = QString(parts[i + 1]).replace(';', ' ').trimmed();
        if (description.contains('(') || description == patterns) {
            filters << description;
        } else {
            filters << QString("%1 (%2)").arg(description, patterns);
        }
    }
    return filters;
}

namespace {

void Prepare(QFileDialog& dialog, const Prompts::FileRequest& request) {
    dialog.setWindowTitle(QString::fromStdString(request.title));
    dialog.setNameFilters(QtNameFilters(request.filter));
    if (!request.defaultExtension.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    }
    const QString folder = QString::fromStdString(request.folder);
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
    if (!request.fileName.empty())
        dialog.selectFile(QString::fromStdString(request.fileName));
}

}  // namespace

QWidget* QtPrompts::owner() const {
    // The window the user is working in: a box owned by the main window would open behind the
    // windows that stay on top (the model editor, the parameter window).
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return parent_;
}

void QtPrompts::error(const std::string& message) {
    QMessageBox::critical(owner(), "Error", QString::fromStdString(message));
}

void QtPrompts::detailedError(const std::string& message, const std::string& details) {
    QMessageBox box(QMessageBox::Critical, "Error", QString::fromStdString(message),
                    QMessageBox::Ok, owner());
    // The box's text stays the fixed message; the place and Lua's words are one click away (and
    // the editor puts its cursor on the line).
    box.setDetailedText(QString::fromStdString(details));
    box.exec();
}

Prompts::SaveAnswer QtPrompts::askSaveChanges(const std::string& message) {
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        owner(), "Kalvora", QString::fromStdString(message),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return SaveAnswer::Save;
    if (answer == QMessageBox::Discard)
        return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

void QtPrompts::information(const std::string& message) {
    QMessageBox::information(owner(), "Kalvora", QString::fromStdString(message));
}

bool QtPrompts::confirm(const std::string& message) {
    return QMessageBox::question(owner(), "Confirm", QString::fromStdString(message),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

std::optional<std::string> QtPrompts::chooseOpenFile(const FileRequest& request) {
    QFileDialog dialog(owner());
    Prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtPrompts::chooseSaveFile(const FileRequest& request,
                                                     int* chosenFilter) {
    QFileDialog dialog(owner());
    Prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.defaultExtension.empty()) {
        // A name typed without extension gets the one of the filter the user chose, so that
        // choosing "PNG picture" and typing "basin" writes basin.png, not a PNG named basin.bmp.
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
                static const QRegularExpression pattern(QStringLiteral(R"(\*\.(\w+))"));
                const QRegularExpressionMatch match = pattern.match(filter);
                if (match.hasMatch()) {
                    dialog.setDefaultSuffix(match.captured(1));
                }
            });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (chosenFilter != nullptr) {
        *chosenFilter = std::max<int>(0, dialog.nameFilters().indexOf(dialog.selectedNameFilter()));
    }
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace kalvora
