// Runs the built "kalvora-cli plot" and checks the picture, the messages and the exit codes.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

std::string Scratch(const std::string& name) {
    return ::testing::TempDir() + "plot-cli-" + std::to_string(::getpid()) + "-" + name;
}

using Result = testing::CliResult;

Result Plot(std::vector<std::string> words) {
    words.insert(words.begin(), "plot");
    return testing::RunCli(words);
}

std::string DataFile(const std::string& name, const std::string& text) {
    const std::string path = Scratch(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

int CountColour(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == colour;
        }
    }
    return count;
}

TEST(PlotCli, DrawsEachFileInItsSlotColour) {
    const std::string first = DataFile("a.dat", "0.0 0.0\r\n1.0 1.0\r\n2.0 0.5\r\n");
    const std::string second = DataFile("b.dat", "0.5 0.5\r\n");
    const std::string picture = Scratch("out.png");
    const Result result = Plot({first, second, "-o", picture, "--size", "200x150"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QImage image(QString::fromStdString(picture));
    ASSERT_EQ(image.size(), QSize(200, 150));
    EXPECT_EQ(CountColour(image, 0xFF0000FF), 3);  // one pixel per point
    EXPECT_EQ(CountColour(image, 0xFFFF0000), 1);

    const Result lines = Plot({first, "-o", picture, "--lines"});
    ASSERT_EQ(lines.exitCode, 0) << lines.err;
    EXPECT_GT(CountColour(QImage(QString::fromStdString(picture)), 0xFF0000FF), 100);

    const std::string vector = Scratch("out.svg");
    ASSERT_EQ(Plot({first, "-o", vector}).exitCode, 0);
    std::ifstream svg(vector);
    std::stringstream svgText;
    svgText << svg.rdbuf();
    EXPECT_NE(svgText.str().find("<svg"), std::string::npos);
    for (const std::string& path : {first, second, picture, vector}) {
        std::filesystem::remove(path);
    }
}

TEST(PlotCli, APdfIsOnePageOfThePicturesSize) {
    const std::string data = DataFile("pdf.dat", "0 0\r\n1 1\r\n");
    const std::string pdf = Scratch("out.pdf");
    const Result result = Plot({data, "-o", pdf, "--size", "300x200"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::ifstream in(pdf, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().substr(0, 5), "%PDF-");
    EXPECT_NE(text.str().find("/MediaBox [0 0 300"), std::string::npos);
    std::filesystem::remove(data);
    std::filesystem::remove(pdf);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The tick labels and axis names of an SVG picture: the texts it writes.
bool HasText(const std::string& svg, const std::string& text) {
    return svg.find(">" + text + "<") != std::string::npos;
}

TEST(PlotCli, TitlesAndRoundTicksAreOptionsOfThePicture) {
    const std::string data = DataFile("titles.dat", "0 0\r\n0.7 0.7\r\n");
    const std::string svg = Scratch("titles.svg");
    // Data 0 .. 0.7 scales to -0.0175 .. 0.7175: the default ticks -0.01, 0.17, 0.35, 0.53, 0.71,
    // the round ones 0, 0.2, 0.4, 0.6.
    ASSERT_EQ(Plot({data, "-o", svg}).exitCode, 0);
    std::string text = ReadText(svg);
    EXPECT_TRUE(HasText(text, "0.17"));
    EXPECT_FALSE(HasText(text, "0.4"));
    const Result result =
        Plot({data, "-o", svg, "--round-ticks", "--x-title", "time", "--y-title", "amplitude"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    text = ReadText(svg);
    for (const char* label : {"0", "0.2", "0.4", "0.6", "time", "amplitude"}) {
        EXPECT_TRUE(HasText(text, label)) << label;
    }
    EXPECT_FALSE(HasText(text, "0.17"));
    std::filesystem::remove(data);
    std::filesystem::remove(svg);
}

// The pictures of the model commands name their axes as the windows do: the exponent curve's
// vertical axis reads "exponent" upwards in the strip beside the left margin, taller than any tick
// label there could be.
TEST(PlotCli, ModelPicturesNameTheirAxes) {
    const std::string picture = Scratch("lyapunov.png");
    const Result result =
        testing::RunCli({"lyapunov", std::string(KALVORA_MODELS) + "/logistic.mod", "--parameter",
                         "r", "--min", "2.8", "--max", "4", "--resolution", "50", "-o",
                         Scratch("lyapunov.dat"), "--png", picture, "--round-ticks"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QImage image =
        QImage(QString::fromStdString(picture)).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    int first = -1;
    int last = -1;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = 6; x < 20; ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                first = first < 0 ? y : first;
                last = y;
            }
        }
    }
    EXPECT_GT(last - first, 35) << first << " " << last;
    EXPECT_LT(std::abs((first + last) / 2 - image.height() / 2), 30);
    std::filesystem::remove(picture);
    std::filesystem::remove(Scratch("lyapunov.dat"));
}

TEST(PlotCli, BadInputWritesNothingAndSaysWhy) {
    const std::string good = DataFile("good.dat", "1 2\r\n");
    const std::string bad = DataFile("bad.dat", "1 2\r\n3\r\n");
    const std::string picture = Scratch("never.png");

    Result result = Plot({good, bad, "-o", picture});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find(bad + ": line 2"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(picture));

    result = Plot({good, "-o", picture, "--size", "5x400"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("--size"), std::string::npos);
    result = Plot({good, "-o", picture, "--size", "wide"});
    EXPECT_EQ(result.exitCode, 2);
    result = Plot({good, "-o", picture, "--points", "--lines"});
    EXPECT_EQ(result.exitCode, 2);
    result = Plot({good});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("-o"), std::string::npos);
    result = Plot({good, "-o", Scratch("picture.gif")});
    EXPECT_EQ(result.exitCode, 2);
    result = Plot({Scratch("missing.dat"), "-o", picture});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("missing.dat"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(picture));

    // An existing picture survives a failed run untouched.
    std::ofstream(picture) << "keep";
    EXPECT_EQ(Plot({bad, "-o", picture}).exitCode, 2);
    std::ifstream kept(picture);
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "keep");
    for (const std::string& path : {good, bad, picture}) {
        std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace kalvora
