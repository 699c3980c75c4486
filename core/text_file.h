#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvora {

// A file that could not be opened, read or written. The message names the file and gives the
// system's reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The whole file as bytes. Throws FileError.
std::string ReadTextFile(const std::string& path);

// The text without a leading UTF-8 byte-order mark. Editors on other systems put one at the start
// of files saved as UTF-8; left in place it would become part of the first name of a model.
std::string WithoutByteOrderMark(std::string text);

// Splits at line ends (CR LF or LF). A line end at the very end of the text does not start another
// line, so "a\r\nb\r\n" gives two lines and "a\r\n\r\n" gives "a" and "".
std::vector<std::string> SplitLines(const std::string& text);

// Every lone LF becomes CR LF; existing CR LF pairs stay.
std::string WithCrLf(const std::string& text);

// The folder part of a path with a trailing separator ("./" when there is none).
std::string FolderOf(const std::string& path);

// Writes into a temporary file beside the target and renames it over the target on commit(), so a
// failed write never leaves the target half-written. Destroying it without commit() removes the
// temporary file and leaves the target as it was.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(
        std::string path);  // throws FileError when the file cannot be created
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    std::ostream& stream() { return stream_; }
    // Throws FileError when a write failed; the target is then unchanged.
    void commit();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string temporaryPath_;
    std::ofstream stream_;
    bool committed_ = false;
};

// Writes the whole text atomically. Throws FileError.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace kalvora
