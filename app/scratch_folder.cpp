#include "app/scratch_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kalvora {

namespace {

std::string WithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

ScratchFolder::ScratchFolder(const std::vector<std::string>& baseCandidates) {
    std::string lastError = "No folder for scratch files";
    for (const std::string& base : baseCandidates) {
        if (base.empty())
            continue;
        const QString baseFolder = QString::fromStdString(base);
        if (!QDir().mkpath(baseFolder)) {
            lastError = "Cannot create folder " + base + ": " + std::strerror(errno);
            continue;
        }
        auto directory =
            std::make_unique<QTemporaryDir>(QDir(baseFolder).filePath("kalvora-XXXXXX"));
        if (!directory->isValid()) {
            lastError = directory->errorString().toStdString();
            continue;
        }
        // Removal is explicit (remove() at exit) so that a copy moved elsewhere never deletes it
        // twice.
        directory->setAutoRemove(false);
        path_ = WithSeparator(QFileInfo(directory->path()).absoluteFilePath().toStdString());
        directory_ = std::move(directory);
        return;
    }
    throw std::runtime_error(lastError);
}

ScratchFolder::~ScratchFolder() {
    remove();
}

void ScratchFolder::remove() {
    if (!directory_)
        return;
    directory_->remove();
    directory_.reset();
}

std::vector<std::string> DefaultScratchBases() {
    return {QDir::tempPath().toStdString(), QDir(QDir::homePath()).filePath("TEMP").toStdString(),
            "/TEMP", "/TMP"};
}

}  // namespace kalvora
