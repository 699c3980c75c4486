#include "core/text_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kalvora {
namespace {

std::string Reason(int error) {
    return error != 0 ? std::strerror(error) : "input/output error";
}

}  // namespace

std::string ReadTextFile(const std::string& path) {
    // A folder opens like an empty file on some systems; it must not read as an empty model.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw FileError("Cannot open file \"" + path + "\": " + Reason(EISDIR));
    }
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw FileError("Cannot open file \"" + path + "\": " + Reason(errno));
    }
    std::string content;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, count);
    }
    const int error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (error != 0) {
        throw FileError("Cannot read file \"" + path + "\": " + Reason(error));
    }
    return content;
}

std::string WithoutByteOrderMark(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > begin && text[end - 1] == '\r') {
            --end;
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = next;
    }
    return lines;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

std::string FolderOf(const std::string& path) {
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) {
        folder = ".";
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {
    // A device or pipe ("/dev/null", a fifo) is written in place: renaming over it would replace
    // it.
    std::error_code error;
    const auto status = std::filesystem::status(path_, error);
    const bool special =
        !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
    temporaryPath_ = special ? path_ : path_ + ".kalvora-" + std::to_string(::getpid()) + ".tmp";
    errno = 0;
    stream_.open(temporaryPath_, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        throw FileError("Cannot create file \"" + path_ + "\": " + Reason(errno));
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_ && temporaryPath_ != path_) {
        stream_.close();
        std::remove(temporaryPath_.c_str());
    }
}

void AtomicFileWriter::commit() {
    errno = 0;
    stream_.flush();
    const bool written = static_cast<bool>(stream_);
    stream_.close();
    if (!written || stream_.fail()) {
        const int error = errno;
        if (temporaryPath_ != path_) {
            std::remove(temporaryPath_.c_str());
        }
        committed_ = true;
        throw FileError("Cannot write file \"" + path_ + "\": " + Reason(error));
    }
    if (temporaryPath_ == path_) {
        committed_ = true;
        return;
    }
    if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        std::remove(temporaryPath_.c_str());
        committed_ = true;
        throw FileError("Cannot write file \"" + path_ + "\": " + Reason(error));
    }
    committed_ = true;
}

void WriteTextFile(const std::string& path, const std::string& text) {
    AtomicFileWriter writer(path);
    writer.stream().write(text.data(), static_cast<std::streamsize>(text.size()));
    writer.commit();
}

}  // namespace kalvora
