#pragma once

// The gnuplot scripts behind "Create EPS...": plain text, no widgets, shared by the EPS dialogs and
// kalvora-cli eps. gnuplot runs shell commands from back-quoted text even inside double-quoted
// strings, so every text a user typed is escaped here before it reaches a script, range texts
// must be numbers, and file paths are quoted so that no character in them ends the quotation.

#include <array>
#include <functional>
#include <ostream>
#include <string>

namespace kalvora {

// How the series dialog styles the five series: plain series, point clouds, or the graphical
// analysis' staircase, map and diagonal.
enum class EpsLayout { Lines = 0, Points = 1, Cobweb = 2 };

// The corner of the key; None writes "set nokey".
enum class LegendPosition { None, TopLeft, TopRight, BottomRight, BottomLeft };

struct EpsSeriesSlot {
    bool filled = false;  // the series has points and its scratch file was written
    std::string file;     // the scratch file holding the series
    std::string legend;
    bool line = false;
    bool points = false;
};

// A range as its two texts; with autoscale the texts are ignored.
struct EpsRange {
    bool autoscale = false;
    std::string minimum;
    std::string maximum;
};

// What both scripts share: the terminal, the output file, the title and the axis labels.
struct EpsTexts {
    bool blackWhite = false;
    std::string output;
    std::string title;
    std::string xLabel;
    std::string yLabel;
    bool rotateY = false;
};

struct SeriesScriptOptions {
    EpsLayout layout = EpsLayout::Lines;
    EpsTexts texts;
    EpsRange x;
    EpsRange y;
    LegendPosition legend = LegendPosition::None;
    bool square = false;
    bool large = false;  // layout Points only: larger dots
    std::array<EpsSeriesSlot, 5> series;
};

struct ImageScriptOptions {
    EpsTexts texts;
    std::string minX, maxX, minY, maxY;
    std::string dataFile;  // the picture, one pixel per line
};

// The scripts, every line ended by CR LF. Raise ConversionError ("'<text>' is not a valid floating
// point value") for a range text that is not a number and std::invalid_argument for a path that
// cannot be quoted (one holding a line break) or an output that gnuplot would run as a command
// (one beginning with '|').
std::string SeriesScript(const SeriesScriptOptions& options);
std::string ImageScript(const ImageScriptOptions& options);

// A text between double quotes that gnuplot reads back literally: quote and backslash escaped,
// back-quotes (command substitution) written as octal escapes, line breaks as "\n" and other
// control characters as octal escapes. Ordinary text is unchanged.
std::string GnuplotDoubleQuoted(const std::string& text);
// A path between single quotes, in which gnuplot substitutes nothing; a single quote in the path
// is doubled. Raises std::invalid_argument for a path holding a control character.
std::string GnuplotSingleQuoted(const std::string& path);
// The text of a range bound as the script writes it: the number as typed, without blanks.
std::string GnuplotRangeNumber(const std::string& text);

// The basin picture file "kalvoradata.tmp": for every column i (0 .. columns - 1) and, within it,
// every row j (0 .. rows - 1), the line "x y r g b" with x = left + i * dx and y = top - j * dy in
// the 23-character scientific format, the colour components as plain integers, CR LF ends.
struct ImageRaster {
    int columns = 0;
    int rows = 0;
    double left = 0;
    double top = 0;
    double dx = 1;
    double dy = 1;
    // The colour of pixel (i, j) as 0xRRGGBB.
    std::function<unsigned(int column, int row)> colour;
};
void WriteImageDataLines(std::ostream& out, const ImageRaster& raster);

}  // namespace kalvora
