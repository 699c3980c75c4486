#include "analysis/window/export/gnuplot_script.h"

#include <cstdio>
#include <stdexcept>

#include "core/numbers.h"

namespace kalvora {

namespace {

const char* const kLineEnd = "\r\n";

std::string Octal(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\%03o", static_cast<unsigned>(c));
    return buffer;
}

void WriteLine(std::string& script, const std::string& line) {
    script += line;
    script += kLineEnd;
}

void WriteTerminalAndTexts(std::string& script, const EpsTexts& texts) {
    WriteLine(script, texts.blackWhite ? "set terminal postscript eps enhanced \"Arial\" 30"
                                       : "set terminal postscript eps enhanced color \"Arial\" 30");
    // gnuplot hands an output beginning with '|' to a shell as a command to write into.
    if (!texts.output.empty() && texts.output[0] == '|') {
        throw std::invalid_argument("The file name \"" + texts.output +
                                    "\" begins with '|', which gnuplot would run as a command; "
                                    "write it as \"./" +
                                    texts.output + "\" for a file of that name");
    }
    WriteLine(script, "set output " + GnuplotSingleQuoted(texts.output));
    if (!texts.title.empty()) {
        WriteLine(script, "set title " + GnuplotDoubleQuoted(texts.title));
    }
    if (!texts.xLabel.empty()) {
        WriteLine(script, "set xlabel " + GnuplotDoubleQuoted(texts.xLabel));
    }
    if (!texts.yLabel.empty()) {
        WriteLine(script,
                  std::string(texts.rotateY ? "set ylabel rotate " : "set ylabel norotate ") +
                      GnuplotDoubleQuoted(texts.yLabel));
    }
}

std::string RangeLine(char axis, const std::string& minimum, const std::string& maximum) {
    return std::string("set ") + axis + "range [" + GnuplotRangeNumber(minimum) + ":" +
           GnuplotRangeNumber(maximum) + "]";
}

// The using texts: the odd spacing of some slots is what earlier scripts held, kept so that
// scripts stay comparable.
const char* const kU1 = " u 1:2 title ";
const char* const kU2 = " u 1:2 title  ";
const char* const kU3 = " u 1:2  title ";
const char* const kU4 = " u 1:2  title  ";

struct Clause {
    const char* usingText;
    std::string style;
};

// The using text and style of slot (0-based) for its check boxes; nothing when the slot writes
// no clause.
bool SlotClause(int slot, const EpsSeriesSlot& s, EpsLayout layout, bool bw, Clause& clause) {
    const bool cobweb = layout == EpsLayout::Cobweb;
    const std::string p = layout == EpsLayout::Points ? "pt 7" : "";
    const bool both = s.line && s.points;
    if (slot == 2 && cobweb) {
        clause = {kU2, " with l lt 0 lw 5\\"};
        return true;
    }
    if (!s.line && !s.points) {
        return false;
    }
    switch (slot) {
        case 0:
            if (both) {
                clause = {kU1, bw ? " with lp lt 1 lw 2\\" : " with lp lt 1 lc 3 lw 2\\"};
            } else if (s.line) {
                clause = {kU1, bw ? " with l lt 1 lw 2\\" : " with l lt 1 lc 3 lw 2\\"};
            } else {
                clause = {kU2, " with p " + p + " lt 3 lw 2\\"};
            }
            return true;
        case 1:
            if (both) {
                clause = {kU1, cobweb
                                   ? " with l lt 1 lw 5 \\"
                                   : (bw ? " with lp lt 3 lw 2\\" : " with lp lt 3 lc 1 lw 2\\")};
            } else if (s.line) {
                clause = {kU1, cobweb ? " with l lt 1 lw 5\\"
                                      : (bw ? " with l lt 3 lw 2\\" : " with l lt 3 lc 1 lw 2\\")};
            } else if (cobweb) {
                clause = {kU1, " with p lt 1 lw 5 \\"};
            } else {
                clause = {kU2, " with p " + p + " lt 1 lw 2\\"};
            }
            return true;
        case 2:
            if (both) {
                clause = {kU1, " with lp lt 2 lw 2\\"};
            } else if (s.line) {
                clause = {kU1, " with l lt 2 lw 2\\"};
            } else {
                clause = {kU2, " with p " + p + " lt 2\\"};
            }
            return true;
        case 3:
            if (both) {
                clause = {kU3, " with lp lt 4 lw 2\\"};
            } else if (s.line) {
                clause = {kU1, " with l lt 4 lw 2\\"};
            } else {
                clause = {kU4, " with p " + p + " lt 4 lw 2\\"};
            }
            return true;
        default:
            if (both) {
                clause = {kU3, " with lp lt 5 lw 2\\"};
            } else if (s.line) {
                clause = {kU3, " with l lt 5 lw 2\\"};
            } else {
                clause = {kU2, " with p " + p + " lt 5 lw 2\\"};
            }
            return true;
    }
}

}  // namespace

std::string GnuplotDoubleQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c == '`') {
            // gnuplot substitutes the output of a back-quoted shell command even between double
            // quotes; the octal escape is read back as the character itself, after that step.
            quoted += Octal(c);
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            // A typed line break: CR LF and LF both become one break of the label.
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c < 0x20 || c == 0x7f) {
            quoted += Octal(c);
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

std::string GnuplotSingleQuoted(const std::string& path) {
    std::string quoted = "'";
    for (const char c : path) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            // Nothing is escaped between single quotes, and a line break would end the command.
            throw std::invalid_argument("The file name \"" + path +
                                        "\" holds a control character and cannot be given to "
                                        "gnuplot");
        }
        if (c == '\'') {
            quoted += "''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string GnuplotRangeNumber(const std::string& text) {
    // Refuses everything but a number, with the standard conversion message.
    (void)ParseFloat(text);
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string SeriesScript(const SeriesScriptOptions& options) {
    std::string script;
    WriteTerminalAndTexts(script, options.texts);
    WriteLine(script, options.x.autoscale ? "set autoscale xfix"
                                          : RangeLine('x', options.x.minimum, options.x.maximum));
    WriteLine(script, options.y.autoscale ? "set autoscale yfix"
                                          : RangeLine('y', options.y.minimum, options.y.maximum));
    switch (options.legend) {
        case LegendPosition::TopLeft:
            WriteLine(script, "set key top left");
            break;
        case LegendPosition::TopRight:
            WriteLine(script, "set key top right");
            break;
        case LegendPosition::BottomRight:
            WriteLine(script, "set key bottom right");
            break;
        case LegendPosition::BottomLeft:
            WriteLine(script, "set key bottom left");
            break;
        case LegendPosition::None:
            WriteLine(script, "set nokey");
            break;
    }
    if (options.square) {
        WriteLine(script, "set size square");
    }
    if (options.layout == EpsLayout::Points) {
        WriteLine(script, options.large ? "set pointsize 0.6" : "set pointsize 0.2");
    }
    script += "plot ";
    bool written = false;
    for (int slot = 0; slot < static_cast<int>(options.series.size()); ++slot) {
        const EpsSeriesSlot& s = options.series[static_cast<std::size_t>(slot)];
        Clause clause;
        // An empty series has no scratch file and is never part of the script.
        if (!s.filled || !SlotClause(slot, s, options.layout, options.texts.blackWhite, clause)) {
            continue;
        }
        if (written) {
            script += ",";
        }
        written = true;
        script += GnuplotSingleQuoted(s.file) + clause.usingText + GnuplotDoubleQuoted(s.legend) +
                  clause.style + kLineEnd;
    }
    return script;
}

std::string ImageScript(const ImageScriptOptions& options) {
    std::string script;
    WriteTerminalAndTexts(script, options.texts);
    WriteLine(script, "set tics out");
    WriteLine(script, RangeLine('x', options.minX, options.maxX));
    WriteLine(script, RangeLine('y', options.minY, options.maxY));
    WriteLine(script, "unset key");
    WriteLine(script, "set size square");
    WriteLine(script, "plot " + GnuplotSingleQuoted(options.dataFile) + " with rgbimage");
    return script;
}

void WriteImageDataLines(std::ostream& out, const ImageRaster& raster) {
    for (int i = 0; i < raster.columns; ++i) {
        const std::string x = FormatOrbitValue(raster.left + i * raster.dx);
        for (int j = 0; j < raster.rows; ++j) {
            const unsigned rgb = raster.colour(i, j);
            out << x << ' ' << FormatOrbitValue(raster.top - j * raster.dy) << ' '
                << ((rgb >> 16) & 0xff) << ' ' << ((rgb >> 8) & 0xff) << ' ' << (rgb & 0xff)
                << kLineEnd;
        }
    }
}

}  // namespace kalvora
