#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kalvora {

// A file that could not be opened, read or written. The message names the file and gives the
// system's reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The most a model or parameter file may hold: far beyond any real one, and small enough that
// reading it costs a known amount of memory (a device such as /dev/zero never ends).
inline constexpr std::size_t kModelFileLimit = std::size_t{64} << 20;

// The whole file as bytes. Throws FileError, also when the file holds more than maxBytes.
std::string ReadTextFile(const std::string& path, std::size_t maxBytes = SIZE_MAX);

// The lines of a text one by one, split as SplitLines splits them, without a string per line: a
// file of nothing but line breaks costs no more than its own size.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}
    // The next line into line; false at the end.
    bool next(std::string_view& line);

  private:
    std::string_view text_;
    std::size_t position_ = 0;
};

// The text without a leading UTF-8 byte-order mark. Editors on other systems put one at the start
// of files saved as UTF-8; left in place it would become part of the first name of a model.
std::string WithoutByteOrderMark(std::string text);

// Splits at line ends (CR LF, LF, or a CR alone as older systems end lines). A line end at the very
// end of the text does not start another line, so "a\r\nb\r\n" gives two lines and "a\r\n\r\n"
// gives "a" and "".
std::vector<std::string> SplitLines(const std::string& text);

// Every lone LF becomes CR LF; existing CR LF pairs stay.
std::string WithCrLf(const std::string& text);

// The folder part of a path with a trailing separator ("./" when there is none).
std::string FolderOf(const std::string& path);

// Writes into a temporary file beside the target and renames it over the target on commit(), so a
// failed write never leaves the target half-written. Destroying it without commit() removes the
// temporary file and leaves the target as it was.
//
// The temporary file is created exclusively under a random name (a planted file or symbolic link
// of a predictable name cannot redirect the write) that stays short whatever the target's name.
// A target that is a symbolic link is written through: the file it points to is replaced (or
// created, when the link dangles) and the link stays. The replaced file keeps its permission bits;
// a target that nobody may write is refused. A device or pipe ("/dev/null") is written in place.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(
        std::string path);  // throws FileError when the file cannot be created
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    std::ostream& stream() { return stream_; }
    // Writes everything out and closes the temporary file; throws FileError (with the system's
    // reason) when a write failed, the target then unchanged. Lets several files be made complete
    // before any of them replaces its target.
    void finish();
    // finish(), then replaces the target. Throws FileError; the target is then unchanged.
    void commit();
    const std::string& path() const { return path_; }

  private:
    class Buffer;
    void removeTemporary();

    std::string path_;
    std::string writtenPath_;  // the target, or the file a symbolic link target points to
    std::string temporaryPath_;
    std::unique_ptr<Buffer> buffer_;
    std::ostream stream_;
    bool finished_ = false;
    bool committed_ = false;
};

// Removes every temporary file of an AtomicFileWriter that has not been committed. Safe to call
// from a thread that handles a termination signal; the writers' destructors then find nothing left.
void RemoveUnfinishedTemporaryFiles();

// True when the two paths name the same existing file (through links, relative parts or hard links)
// or, when the first does not exist yet, the same path once resolved.
bool SameFile(const std::string& first, const std::string& second);

// Writes the whole text atomically. Throws FileError.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace kalvora
