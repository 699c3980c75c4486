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

int ReadDataFile(const std::string& path, PointSink& sink) {
    const std::vector<std::string> lines = SplitLines(WithoutByteOrderMark(ReadTextFile(path)));
    // Parsed completely before anything reaches the sink, so a bad line adds no half series.
    std::vector<std::pair<double, double>> points;
    points.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::istringstream fields(lines[i]);
        std::string x, y, extra;
        if (!(fields >> x)) {
            continue;
        }
        const std::string where = path + ": line " + std::to_string(i + 1) + ": ";
        if (!(fields >> y) || (fields >> extra)) {
            throw DataFileError(where + "expected two numbers, found '" + lines[i] + "'");
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
