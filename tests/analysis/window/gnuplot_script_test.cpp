#include "analysis/window/export/gnuplot_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/numbers.h"

namespace kalvora {
namespace {

SeriesScriptOptions PhasePlotExport() {
    SeriesScriptOptions options;
    options.layout = EpsLayout::Points;
    options.texts.output = "/data/myplot.eps";
    options.x = {false, "-1.5", "1.5"};
    options.y = {false, "-0.4", "0.4"};
    for (int k = 0; k < 5; ++k) {
        options.series[k].file = "/tmp/k/kalvoras" + std::to_string(k + 1) + ".tmp";
    }
    options.series[0].filled = true;
    options.series[0].points = true;
    return options;
}

std::string LastLines(const std::string& script, std::size_t count) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = script.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines.push_back(script.substr(start, end - start));
    }
    if (start < script.size()) {
        lines.push_back(script.substr(start));
    }
    std::string tail;
    for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i) {
        tail += lines[i] + "|";
    }
    return tail;
}

TEST(SeriesScript, APointCloudExportIsWrittenLineByLine) {
    SeriesScriptOptions options = PhasePlotExport();
    options.texts.title = "Henon map";
    options.texts.xLabel = "x";
    options.texts.yLabel = "y";
    options.legend = LegendPosition::TopRight;
    options.series[0].legend = "a=1.4";
    EXPECT_EQ(SeriesScript(options),
              "set terminal postscript eps enhanced color \"Arial\" 30\r\n"
              "set output '/data/myplot.eps'\r\n"
              "set title \"Henon map\"\r\n"
              "set xlabel \"x\"\r\n"
              "set ylabel norotate \"y\"\r\n"
              "set xrange [-1.5:1.5]\r\n"
              "set yrange [-0.4:0.4]\r\n"
              "set key top right\r\n"
              "set pointsize 0.2\r\n"
              "plot '/tmp/k/kalvoras1.tmp' u 1:2 title  \"a=1.4\" with p pt 7 lt 3 lw 2\\\r\n");
}

TEST(SeriesScript, EachLegendPositionWritesItsOwnKey) {
    struct Case {
        LegendPosition legend;
        const char* line;
    };
    const Case cases[] = {
        {LegendPosition::None, "set nokey"},
        {LegendPosition::TopLeft, "set key top left"},
        {LegendPosition::TopRight, "set key top right"},
        {LegendPosition::BottomRight, "set key bottom right"},
        {LegendPosition::BottomLeft, "set key bottom left"},
    };
    for (const Case& c : cases) {
        SeriesScriptOptions options = PhasePlotExport();
        options.legend = c.legend;
        const std::string script = SeriesScript(options);
        EXPECT_NE(script.find(std::string("\r\n") + c.line + "\r\n"), std::string::npos) << c.line;
        EXPECT_EQ(script.find("set key"), script.rfind("set key")) << c.line;
    }
}

TEST(SeriesScript, OptionsChangeTheirOwnLines) {
    struct Case {
        const char* name;
        void (*change)(SeriesScriptOptions&);
        std::string expectedTail;  // the last lines, each followed by "|"
    };
    const std::vector<Case> cases = {
        {"autoscale x ignores its texts",
         [](SeriesScriptOptions& o) {
             o.x = {true, "not", "numbers"};
         },
         "set autoscale xfix|set yrange [-0.4:0.4]|set nokey|set pointsize 0.2|"
         "plot '/tmp/k/kalvoras1.tmp' u 1:2 title  \"\" with p pt 7 lt 3 lw 2\\|"},
        {"autoscale y, large dots, square, key bottom left",
         [](SeriesScriptOptions& o) {
             o.y.autoscale = true;
             o.large = true;
             o.square = true;
             o.legend = LegendPosition::BottomLeft;
         },
         "set autoscale yfix|set key bottom left|set size square|set pointsize 0.6|"
         "plot '/tmp/k/kalvoras1.tmp' u 1:2 title  \"\" with p pt 7 lt 3 lw 2\\|"},
        {"no slot checked leaves a bare plot command",
         [](SeriesScriptOptions& o) { o.series[0].points = false; },
         "set nokey|set pointsize 0.2|plot |"},
        {"only slot 2 filled writes only its file",
         [](SeriesScriptOptions& o) {
             o.series[0] = {false, "/tmp/k/kalvoras1.tmp", "", true, true};
             o.series[1] = {true, "/tmp/k/kalvoras2.tmp", "b", false, true};
         },
         "set pointsize 0.2|plot '/tmp/k/kalvoras2.tmp' u 1:2 title  \"b\" with p pt 7 lt 1 lw "
         "2\\|"},
        {"lines in layout 0, colour: the Part's two closing lines",
         [](SeriesScriptOptions& o) {
             o.layout = EpsLayout::Lines;
             o.series[0] = {true, "f1", "one", true, false};
             o.series[1] = {true, "f2", "two", false, true};
         },
         "set nokey|plot 'f1' u 1:2 title \"one\" with l lt 1 lc 3 lw 2\\|"
         ",'f2' u 1:2 title  \"two\" with p  lt 1 lw 2\\|"},
        {"black and white changes slots 1 and 2 only",
         [](SeriesScriptOptions& o) {
             o.layout = EpsLayout::Lines;
             o.texts.blackWhite = true;
             for (auto& slot : o.series) {
                 slot.filled = slot.line = slot.points = true;
             }
         },
         "plot '/tmp/k/kalvoras1.tmp' u 1:2 title \"\" with lp lt 1 lw 2\\|"
         ",'/tmp/k/kalvoras2.tmp' u 1:2 title \"\" with lp lt 3 lw 2\\|"
         ",'/tmp/k/kalvoras3.tmp' u 1:2 title \"\" with lp lt 2 lw 2\\|"
         ",'/tmp/k/kalvoras4.tmp' u 1:2  title \"\" with lp lt 4 lw 2\\|"
         ",'/tmp/k/kalvoras5.tmp' u 1:2  title \"\" with lp lt 5 lw 2\\|"},
        {"line-only slots 3 to 5 in colour",
         [](SeriesScriptOptions& o) {
             o.layout = EpsLayout::Lines;
             o.series[0].filled = false;
             for (int k = 2; k < 5; ++k) {
                 o.series[k].filled = o.series[k].line = true;
             }
         },
         "plot '/tmp/k/kalvoras3.tmp' u 1:2 title \"\" with l lt 2 lw 2\\|"
         ",'/tmp/k/kalvoras4.tmp' u 1:2 title \"\" with l lt 4 lw 2\\|"
         ",'/tmp/k/kalvoras5.tmp' u 1:2  title \"\" with l lt 5 lw 2\\|"},
        {"point-only slots 3 to 5 in layout 1",
         [](SeriesScriptOptions& o) {
             o.series[0].filled = false;
             for (int k = 2; k < 5; ++k) {
                 o.series[k].filled = o.series[k].points = true;
             }
         },
         "plot '/tmp/k/kalvoras3.tmp' u 1:2 title  \"\" with p pt 7 lt 2\\|"
         ",'/tmp/k/kalvoras4.tmp' u 1:2  title  \"\" with p pt 7 lt 4 lw 2\\|"
         ",'/tmp/k/kalvoras5.tmp' u 1:2 title  \"\" with p pt 7 lt 5 lw 2\\|"},
        {"graphical analysis: map width 5 and the diagonal always dotted",
         [](SeriesScriptOptions& o) {
             o.layout = EpsLayout::Cobweb;
             o.series[0] = {true, "s", "Data", true, false};
             o.series[1] = {true, "m", "Map", true, true};
             o.series[2] = {true, "d", "X=Y", false, false};
         },
         "set nokey|plot 's' u 1:2 title \"Data\" with l lt 1 lc 3 lw 2\\|"
         ",'m' u 1:2 title \"Map\" with l lt 1 lw 5 \\|"
         ",'d' u 1:2 title  \"X=Y\" with l lt 0 lw 5\\|"},
        {"graphical analysis: map as line only or points only",
         [](SeriesScriptOptions& o) {
             o.layout = EpsLayout::Cobweb;
             o.series[0] = {true, "s", "Data", false, true};
             o.series[1] = {true, "m", "Map", false, true};
         },
         "plot 's' u 1:2 title  \"Data\" with p  lt 3 lw 2\\|"
         ",'m' u 1:2 title \"Map\" with p lt 1 lw 5 \\|"},
        {"rotated y label",
         [](SeriesScriptOptions& o) {
             o.texts.yLabel = "x(t+1)";
             o.texts.rotateY = true;
             o.series[0].filled = false;
         },
         "set ylabel rotate \"x(t+1)\"|set xrange [-1.5:1.5]|set yrange [-0.4:0.4]|set nokey|"
         "set pointsize 0.2|plot |"},
    };
    for (const Case& c : cases) {
        SeriesScriptOptions options = PhasePlotExport();
        c.change(options);
        const std::string script = SeriesScript(options);
        const std::size_t lines = std::count(c.expectedTail.begin(), c.expectedTail.end(), '|');
        EXPECT_EQ(LastLines(script, lines), c.expectedTail) << c.name;
    }
}

TEST(SeriesScript, UserTextsCannotLeaveTheirQuotes) {
    struct Case {
        std::string typed;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"plain x_{n+1}", "\"plain x_{n+1}\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"back\\slash", "\"back\\\\slash\""},
        {"`rm -rf ~`", "\"\\140rm -rf ~\\140\""},
        {"two\r\nlines\nhere", "\"two\\nlines\\nhere\""},
        {"tab\there\x01", "\"tab\\011here\\001\""},
        {"\"\nset output '/etc/x'\n", "\"\\\"\\nset output '/etc/x'\\n\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GnuplotDoubleQuoted(c.typed), c.written) << c.typed;
        SeriesScriptOptions options = PhasePlotExport();
        options.texts.title = c.typed;
        options.series[0].legend = c.typed;
        const std::string script = SeriesScript(options);
        EXPECT_NE(script.find("set title " + c.written + "\r\n"), std::string::npos) << c.typed;
        // Every line of the script is one of the generator's own commands.
        EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 8) << c.typed;
    }
}

TEST(SeriesScript, PathsAreQuotedSoNothingIsSubstituted) {
    EXPECT_EQ(GnuplotSingleQuoted("/home/ann/plot.eps"), "'/home/ann/plot.eps'");
    EXPECT_EQ(GnuplotSingleQuoted("/home/o'hara/`x`.eps"), "'/home/o''hara/`x`.eps'");
    EXPECT_THROW(GnuplotSingleQuoted("/tmp/a\nb.eps"), std::invalid_argument);
    SeriesScriptOptions options = PhasePlotExport();
    options.texts.output = "/tmp/bad\r\nshell.eps";
    EXPECT_THROW(SeriesScript(options), std::invalid_argument);
}

TEST(SeriesScript, RangeTextsMustBeNumbers) {
    const std::vector<std::pair<std::string, std::string>> accepted = {
        {"-1.5", "-1.5"}, {" 2E-3 ", "2E-3"}, {"+7", "+7"}, {".5", ".5"}};
    for (const auto& [typed, written] : accepted) {
        EXPECT_EQ(GnuplotRangeNumber(typed), written);
    }
    for (const std::string refused : {"", "1:2", "0] ; system \"ls\" #", "abc", "1e5000"}) {
        SeriesScriptOptions options = PhasePlotExport();
        options.y.maximum = refused;
        try {
            SeriesScript(options);
            ADD_FAILURE() << "accepted '" << refused << "'";
        } catch (const ConversionError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "'" + refused + "' is not a valid floating point value");
        }
    }
}

TEST(ImageScript, ABasinPictureIsWrittenLineByLine) {
    ImageScriptOptions options;
    options.texts.blackWhite = true;
    options.texts.output = "/data/basin.eps";
    options.texts.title = "Basins";
    options.texts.yLabel = "y";
    options.texts.rotateY = true;
    options.minX = "-2";
    options.maxX = "2";
    options.minY = "-1.5";
    options.maxY = "1.5";
    options.dataFile = "/tmp/k/kalvoradata.tmp";
    EXPECT_EQ(ImageScript(options),
              "set terminal postscript eps enhanced \"Arial\" 30\r\n"
              "set output '/data/basin.eps'\r\n"
              "set title \"Basins\"\r\n"
              "set ylabel rotate \"y\"\r\n"
              "set tics out\r\n"
              "set xrange [-2:2]\r\n"
              "set yrange [-1.5:1.5]\r\n"
              "unset key\r\n"
              "set size square\r\n"
              "plot '/tmp/k/kalvoradata.tmp' with rgbimage\r\n");
    options.maxY = "top";
    EXPECT_THROW(ImageScript(options), ConversionError);
}

TEST(ImageData, ColumnsOuterRowsInnerTopDown) {
    ImageRaster raster;
    raster.columns = 2;
    raster.rows = 2;
    raster.left = 0.25;
    raster.top = 1;
    raster.dx = 0.5;
    raster.dy = 0.25;
    raster.colour = [](int i, int j) {
        return i == 0 ? (j == 0 ? 0xff0000u : 0x00ff00u) : 0x0102ffu;
    };
    std::ostringstream out;
    WriteImageDataLines(out, raster);
    EXPECT_EQ(out.str(),
              " 2.50000000000000E-0001  1.00000000000000E+0000 255 0 0\r\n"
              " 2.50000000000000E-0001  7.50000000000000E-0001 0 255 0\r\n"
              " 7.50000000000000E-0001  1.00000000000000E+0000 1 2 255\r\n"
              " 7.50000000000000E-0001  7.50000000000000E-0001 1 2 255\r\n");
}

}  // namespace
}  // namespace kalvora
