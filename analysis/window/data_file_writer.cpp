#include "analysis/window/data_file_writer.h"

#include <algorithm>

#include "core/output_writer.h"
#include "core/text_file.h"

namespace kalvora {

void WriteDataLines(std::ostream& out, const std::vector<double>& xs,
                    const std::vector<double>& ys) {
    const std::size_t count = std::min(xs.size(), ys.size());
    OutputWriter writer(out);
    for (std::size_t i = 0; i < count; ++i) {
        writer.dataLine(xs[i], ys[i]);
    }
    writer.flush();
}

void DataLineSink::appendText(const PlotPoint* points, std::size_t count, std::string& text) const {
    // Line by line through a small buffer: growing the text by the widest lines first would
    // clear memory five times the size of what is written.
    char line[kDataLineMaxWidth];
    for (std::size_t i = 0; i < count; ++i) {
        text.append(line, OutputWriter::WriteDataLine(points[i].x, points[i].y, line));
    }
}

void WriteDataFile(const std::string& fileName, const std::vector<double>& xs,
                   const std::vector<double>& ys) {
    AtomicFileWriter file(fileName);
    WriteDataLines(file.stream(), xs, ys);
    file.commit();
}

void DataFileWriter(const std::string& fileName, const Tsp_XYDataSeries& series) {
    WriteDataFile(fileName, series.XValues(), series.YValues());
}

}  // namespace kalvora
