#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "core/model_types.h"

namespace kalvora {

inline constexpr std::size_t kDataLineMaxWidth = 2 * 64 + 3;

// The one writer of the files of many numbers (orbit files, two-column data files): the fields are
// formatted straight into a large buffer that goes to the stream in big pieces, instead of a
// string per value and a stream call per line.
//
// It writes into a stream that someone else finishes: the stream of an AtomicFileWriter (so a
// file is still never left half-written: the target is replaced only on commit), standard output
// or a string stream. With a failureName a failed hand-on to the stream throws FileError ("Cannot
// write file \"<failureName>\""), ending the run that writes; without one the failure stays in the
// stream, for whoever finishes it to report with the system's reason.
class OutputWriter {
  public:
    explicit OutputWriter(std::ostream& out, std::string failureName = {});
    // Hands on what is buffered; a failure here is left in the stream (a destructor must not
    // throw, and it runs when an exception already ends the run).
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // "x y" in the 10-decimal data format, CR LF.
    void dataLine(double x, double y);
    // The same line written at `out`, which has room for kDataLineMaxWidth characters; returns
    // the end.
    static char* WriteDataLine(double x, double y, char* out);
    // Text already in the file's format, such as lines WriteDataLine wrote elsewhere.
    void text(std::string_view text);
    // The 23-character orbit fields of the values, separated by one blank, CR LF.
    void orbitLine(const Extended* values, int count);
    // Hands everything buffered to the stream. The stream is not flushed: what it still holds, and
    // a failure to write it, are for whoever finishes it (AtomicFileWriter::commit names the
    // system's reason).
    void flush();

  private:
    // Room for at least `bytes` more characters.
    char* room(std::size_t bytes) {
        if (static_cast<std::size_t>(end_ - next_) < bytes) {
            handOn();
        }
        return next_;
    }
    void handOn();

    std::ostream& out_;
    std::string failureName_;
    std::unique_ptr<char[]> buffer_;
    char* next_;
    char* end_;
};

}  // namespace kalvora
