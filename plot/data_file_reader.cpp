#include "plot/data_file_reader.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "core/numbers.h"
#include "core/text_file.h"

namespace kalvora {

namespace {

double ParseDataValue(const std::string& text) {
    if (text == "Nan") {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (text == "+Inf") {
        return std::numeric_limits<double>::infinity();
    }
    if (text == "-Inf") {
        return -std::numeric_limits<double>::infinity();
    }
    return static_cast<double>(ParseFloat(text));
}

}  // namespace

// The most a data file may hold: ten million points of the program's own format with room to spare,
// and a known cost in memory whatever the file is (a device such as /dev/zero never ends).
constexpr std::size_t kDataFileLimit = std::size_t{512} << 20;

int ReadDataFile(const std::string& path, PointSink& sink) {
    const std::string text = WithoutByteOrderMark(ReadTextFile(path, kDataFileLimit));
    // Parsed completely before anything reaches the sink, so a bad line adds no half series. The
    // lines are read one by one: a string per line cost many times the file.
    std::vector<std::pair<double, double>> points;
    LineReader lines(text);
    std::string_view line;
    for (std::size_t i = 0; lines.next(line); ++i) {
        if (line.find_first_not_of(" \t\v\f") == std::string_view::npos) {
            continue;
        }
        std::istringstream fields{std::string(line)};
        std::string x, y, extra;
        if (!(fields >> x)) {
            continue;
        }
        const std::string where = path + ": line " + std::to_string(i + 1) + ": ";
        if (!(fields >> y) || (fields >> extra)) {
            throw DataFileError(where + "expected two numbers, found '" + std::string(line) + "'");
        }
        try {
            points.emplace_back(ParseDataValue(x), ParseDataValue(y));
        } catch (const ConversionError& error) {
            throw DataFileError(where + error.what());
        }
    }
    for (const auto& [x, y] : points) {
        sink.addPoint(x, y);
    }
    return static_cast<int>(points.size());
}

}  // namespace kalvora
