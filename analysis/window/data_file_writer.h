#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "core/output_writer.h"
#include "core/point_sink.h"
#include "plot/data_series.h"

namespace kalvora {

// The two-column data file of every plot window: one line per point, "x y" in the 10-decimal data
// format, CR LF line ends, no header. An empty series gives an empty file.
void WriteDataLines(std::ostream& out, const std::vector<double>& xs,
                    const std::vector<double>& ys);

// The lines of WriteDataLines written as a run hands its points on, for a run whose points are
// only written (no picture): they are never held in a series. flush() hands the last of them to
// the stream; a write failure stays in the stream, for whoever finishes it to report.
class DataLineSink final : public PointSink {
  public:
    explicit DataLineSink(std::ostream& out) : writer_(out) {}
    void addPoint(double x, double y) override { writer_.dataLine(x, y); }
    bool writesText() const override { return true; }
    void appendText(const PlotPoint* points, std::size_t count, std::string& text) const override;
    void addText(std::string_view text) override { writer_.text(text); }
    void flush() { writer_.flush(); }

  private:
    OutputWriter writer_;
};

// Writes the file through a temporary file beside it that replaces the target only when complete,
// so a failed write never leaves a half-written file. Raises FileError naming the file.
void WriteDataFile(const std::string& fileName, const std::vector<double>& xs,
                   const std::vector<double>& ys);

// The points of a series, as "Save Data As..." and the gnuplot scratch files write them.
void DataFileWriter(const std::string& fileName, const Tsp_XYDataSeries& series);

}  // namespace kalvora
