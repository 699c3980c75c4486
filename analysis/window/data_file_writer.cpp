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
