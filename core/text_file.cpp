#include "core/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

namespace kalvora {
namespace {

std::string Reason(int error) {
    return error != 0 ? std::strerror(error) : "input/output error";
}

}  // namespace

std::string ReadTextFile(const std::string& path, std::size_t maxBytes) {
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
        if (count > maxBytes - content.size()) {
            std::fclose(file);
            throw FileError("Cannot read file \"" + path + "\": it holds more than " +
                            std::to_string(maxBytes >> 20) + " MB, more than such a file can");
        }
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
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos) {
            lines.push_back(text.substr(begin));
            break;
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

bool LineReader::next(std::string_view& line) {
    if (position_ >= text_.size()) {
        return false;
    }
    const std::size_t end = text_.find_first_of("\r\n", position_);
    if (end == std::string_view::npos) {
        line = text_.substr(position_);
        position_ = text_.size();
        return true;
    }
    line = text_.substr(position_, end - position_);
    position_ = end + (text_.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    return true;
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

class AtomicFileWriter::Buffer final : public std::streambuf {
  public:
    explicit Buffer(int descriptor) : descriptor_(descriptor) { setp(data_, data_ + sizeof data_); }
    ~Buffer() override {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // The first write error (an errno value), or 0.
    int error() const { return error_; }

    // Writes what is pending and closes the file; the first error, or 0.
    int close() {
        writePending();
        if (descriptor_ >= 0) {
            // Some file systems report a full disk only here.
            if (::close(descriptor_) != 0 && error_ == 0) {
                error_ = errno;
            }
            descriptor_ = -1;
        }
        return error_;
    }

  protected:
    int_type overflow(int_type c) override {
        if (!writePending()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return writePending() ? 0 : -1; }

  private:
    bool writePending() {
        const char* next = pbase();
        while (error_ == 0 && next < pptr()) {
            const ssize_t written =
                ::write(descriptor_, next, static_cast<std::size_t>(pptr() - next));
            if (written < 0) {
                if (errno != EINTR) {
                    error_ = errno;
                }
                continue;
            }
            next += written;
        }
        setp(data_, data_ + sizeof data_);
        return error_ == 0;
    }

    int descriptor_;
    int error_ = 0;
    char data_[65536];
};

namespace {

// The temporary files not yet committed or removed, so that a termination signal can remove them.
std::mutex& TemporaryFilesMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<std::string>& TemporaryFiles() {
    static std::set<std::string> files;
    return files;
}

// The mode a new file gets: what the process's file-creation mask leaves of rw-rw-rw-. The mask
// is read without changing it, since other threads may be creating files.
mode_t NewFileMode() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    return 0666 & ~mask;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)), stream_(nullptr) {
    namespace fs = std::filesystem;
    std::error_code error;
    // A symbolic link stays a link: the file it points to, in the end, is the one replaced, or
    // created when the link dangles (resolving the whole path would stop at the missing file and
    // replace the link itself).
    fs::path resolved = path_;
    for (int hops = 0; fs::is_symlink(fs::symlink_status(resolved, error)); ++hops) {
        const fs::path next = fs::read_symlink(resolved, error);
        if (error || hops == 40) {
            throw FileError("Cannot create file \"" + path_ +
                            "\": " + Reason(error ? error.value() : ELOOP));
        }
        resolved = next.is_absolute() ? next : resolved.parent_path() / next;
    }
    writtenPath_ = resolved.string();
    struct stat target {};
    const bool exists = ::stat(writtenPath_.c_str(), &target) == 0;
    int descriptor = -1;
    if (exists && !S_ISREG(target.st_mode)) {
        if (S_ISDIR(target.st_mode)) {
            throw FileError("Cannot create file \"" + path_ + "\": " + Reason(EISDIR));
        }
        // A device or pipe ("/dev/null", a fifo) is written in place: renaming over it would
        // replace it.
        temporaryPath_ = writtenPath_;
        descriptor = ::open(writtenPath_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (descriptor < 0) {
            throw FileError("Cannot create file \"" + path_ + "\": " + Reason(errno));
        }
    } else {
        // A file nobody may write is the user's way of protecting it; replacing it by rename
        // would pass over that.
        if (exists && ((target.st_mode & 0222) == 0 || ::access(writtenPath_.c_str(), W_OK) != 0)) {
            throw FileError("Cannot write file \"" + path_ + "\": " + Reason(EACCES));
        }
        std::string name = FolderOf(writtenPath_) + ".kalvora-XXXXXX";
        {
            std::lock_guard lock(TemporaryFilesMutex());
            descriptor = ::mkostemp(name.data(), O_CLOEXEC);
            if (descriptor >= 0) {
                TemporaryFiles().insert(name);
            }
        }
        if (descriptor < 0) {
            throw FileError("Cannot create file \"" + path_ + "\": " + Reason(errno));
        }
        temporaryPath_ = name;
        ::fchmod(descriptor, exists ? (target.st_mode & 07777) : NewFileMode());
    }
    buffer_ = std::make_unique<Buffer>(descriptor);
    stream_.rdbuf(buffer_.get());
}

AtomicFileWriter::~AtomicFileWriter() {
    stream_.rdbuf(nullptr);
    buffer_.reset();
    if (!committed_) {
        removeTemporary();
    }
}

void AtomicFileWriter::removeTemporary() {
    if (temporaryPath_ == writtenPath_) {
        return;
    }
    std::lock_guard lock(TemporaryFilesMutex());
    if (TemporaryFiles().erase(temporaryPath_) != 0) {
        ::unlink(temporaryPath_.c_str());
    }
}

void AtomicFileWriter::finish() {
    if (finished_) {
        return;
    }
    stream_.flush();
    const int error = buffer_->close();
    finished_ = true;
    if (error != 0 || !stream_) {
        committed_ = true;
        removeTemporary();
        throw FileError("Cannot write file \"" + path_ + "\": " + Reason(error));
    }
}

void AtomicFileWriter::commit() {
    if (committed_) {
        throw FileError("Cannot write file \"" + path_ + "\": " + Reason(EIO));
    }
    finish();
    if (temporaryPath_ == writtenPath_) {
        committed_ = true;
        return;
    }
    std::lock_guard lock(TemporaryFilesMutex());
    committed_ = true;
    if (TemporaryFiles().erase(temporaryPath_) == 0) {
        // A termination signal has removed the file meanwhile.
        throw FileError("Cannot write file \"" + path_ + "\": " + Reason(EINTR));
    }
    if (std::rename(temporaryPath_.c_str(), writtenPath_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporaryPath_.c_str());
        throw FileError("Cannot write file \"" + path_ + "\": " + Reason(error));
    }
}

void RemoveUnfinishedTemporaryFiles() {
    std::lock_guard lock(TemporaryFilesMutex());
    for (const std::string& name : TemporaryFiles()) {
        ::unlink(name.c_str());
    }
    TemporaryFiles().clear();
}

bool SameFile(const std::string& first, const std::string& second) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(first, error) && fs::exists(second, error)) {
        return fs::equivalent(first, second, error) && !error;
    }
    std::error_code firstError;
    std::error_code secondError;
    const fs::path a = fs::weakly_canonical(first, firstError);
    const fs::path b = fs::weakly_canonical(second, secondError);
    return !firstError && !secondError && a == b;
}

void WriteTextFile(const std::string& path, const std::string& text) {
    AtomicFileWriter writer(path);
    writer.stream().write(text.data(), static_cast<std::streamsize>(text.size()));
    writer.commit();
}

}  // namespace kalvora
