#pragma once

#include <stdexcept>
#include <string>

#include "core/point_sink.h"

namespace kalvora {

// A data file that could not be read as two columns; the message names the file and the line.
class DataFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads a two-column data file (x, blank, y per line, CR LF or LF; "Nan", "+Inf", "-Inf" and the
// scientific form " 1.5E+0040" as the writer produces them) into the sink. Blank lines are skipped.
// Throws FileError when the file cannot be read and DataFileError on a malformed line; nothing is
// handed to the sink in that case. Returns the number of points.
int ReadDataFile(const std::string& path, PointSink& sink);

}  // namespace kalvora
