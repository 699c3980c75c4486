#include "core/output_writer.h"

#include <algorithm>
#include <cstring>

#include "core/numbers.h"

static_assert(kalvora::kDataLineMaxWidth == 2 * kalvora::kDataValueMaxWidth + 3);
#include "core/text_file.h"

namespace kalvora {
namespace {

// Large enough that a stream call is rare next to the formatting, small enough to stay in the
// second-level cache.
constexpr std::size_t kBufferSize = std::size_t{1} << 18;

}  // namespace

OutputWriter::OutputWriter(std::ostream& out, std::string failureName)
    : out_(out),
      failureName_(std::move(failureName)),
      buffer_(new char[kBufferSize]),
      next_(buffer_.get()),
      end_(buffer_.get() + kBufferSize) {}

OutputWriter::~OutputWriter() {
    out_.write(buffer_.get(), next_ - buffer_.get());
}

void OutputWriter::handOn() {
    out_.write(buffer_.get(), next_ - buffer_.get());
    next_ = buffer_.get();
    if (!out_ && !failureName_.empty()) {
        throw FileError("Cannot write file \"" + failureName_ + "\"");
    }
}

void OutputWriter::flush() {
    handOn();
}

char* OutputWriter::WriteDataLine(double x, double y, char* out) {
    out = WriteDataValue(x, out);
    *out++ = ' ';
    out = WriteDataValue(y, out);
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

void OutputWriter::dataLine(double x, double y) {
    next_ = WriteDataLine(x, y, room(kDataLineMaxWidth));
}

void OutputWriter::text(std::string_view text) {
    // In pieces no larger than the buffer, through the one hand-on that reports a failure.
    while (!text.empty()) {
        const std::size_t part = std::min(text.size(), kBufferSize);
        char* out = room(part);
        std::memcpy(out, text.data(), part);
        next_ = out + part;
        text.remove_prefix(part);
    }
}

void OutputWriter::orbitLine(const Extended* values, int count) {
    char* out = room(static_cast<std::size_t>(count) * (kOrbitValueWidth + 1) + 2);
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            *out++ = ' ';
        }
        out = WriteOrbitValue(values[i], out);
    }
    *out++ = '\r';
    *out++ = '\n';
    next_ = out;
}

}  // namespace kalvora
