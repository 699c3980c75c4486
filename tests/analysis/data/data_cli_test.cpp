// Runs kalvora-cli's stats and sheet sub-commands.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <filesystem>
#include <string>
#include <vector>

#include "core/text_file.h"
#include "tests/support/cli_runner.h"

namespace kalvora {
namespace {

using testing::RunCli;

// The test program's files, in a folder of its own that goes when the program ends.
struct ScratchFolder {
    std::string path = ::testing::TempDir() + "kalvora-data-cli-" + std::to_string(::getpid());
    ScratchFolder() { std::filesystem::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::string Scratch(const std::string& name) {
    static const ScratchFolder folder;
    return folder.path + "/" + name;
}

// A model file of our own: x -> x + 1 from 0, failing (a division by zero) once x reaches `last`
// when given.
std::string CounterModel(int last = 0) {
    const std::string path = Scratch("counter" + std::to_string(last) + ".mod");
    std::string equations = "x=x+1\r\n";
    if (last > 0) {
        equations =
            "if x >= " + std::to_string(last) + " then\r\nx=x/0\r\nelse\r\nx=x+1\r\nend\r\n";
    }
    WriteTextFile(path, "x=0\r\na=1\r\n\r\nd\r\n" + equations);
    return path;
}

TEST(StatsCli, PrintsTheFiguresAsTheWindowLabelsThem) {
    const testing::CliResult result =
        RunCli({"stats", CounterModel(), "--variable", "x", "--skip", "0", "--points", "4"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "Series: x\n"
              "Number of Data points: 4\n"
              "Mean: 2.500000\n"
              "Median: 2.500000\n"
              "Maximum: 4.000000\n"
              "Minimum: 1.000000\n"
              "Standard Deviation: 1.290994\n"
              "Variance: 1.666667\n"
              "Skewness: 0.000000\n"
              "Kurtosis: 0.922500\n");
}

TEST(StatsCli, AFailingModelGivesTheFiguresOfTheValuesCollected) {
    const testing::CliResult result =
        RunCli({"stats", CounterModel(3), "--variable", "x", "--skip", "0", "--points", "50"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("Number of Data points: 3\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Mean: 2.000000\n"), std::string::npos);
    EXPECT_NE(result.err.find("Overflow"), std::string::npos);
}

TEST(StatsCli, RefusesBadOptionsBeforeAnyRun) {
    struct Case {
        std::vector<std::string> options;
        const char* message;
    };
    const Case cases[] = {
        {{"--variable", "q"}, "the model has no variable 'q'"},
        {{}, "--variable NAME is required"},
        {{"--variable", "x", "--points", "1"}, "--points must lie between 2 and 100000"},
        {{"--variable", "x", "--skip", "-1"}, "--skip must lie between 0 and 9223372036854775807"},
        {{"--variable", "x", "--png", "/no/such/folder/h.png"}, "/no/such/folder/h.png"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words{"stats", CounterModel()};
        words.insert(words.end(), c.options.begin(), c.options.end());
        const testing::CliResult result = RunCli(words);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST(StatsCli, PngDrawsTheHistogramOfTheLogisticMap) {
    const std::string picture = Scratch("logistic.png");
    const testing::CliResult result =
        RunCli({"stats", std::string(KALVORA_MODELS) + "/logistic.mod", "--set", "r=4",
                "--variable", "x", "--points", "20000", "--png", picture});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    QImage image(QString::fromStdString(picture));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(300, 316));
    // The U shape: the outer bins reach the tallest height (y = 69), the middle ones stay low.
    EXPECT_EQ(QColor(image.pixel(55, 75)), QColor(Qt::blue));
    EXPECT_EQ(QColor(image.pixel(264, 75)), QColor(Qt::blue));
    EXPECT_EQ(QColor(image.pixel(165, 75)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(165, 280)), QColor(Qt::blue));
    std::filesystem::remove(picture);
}

TEST(SheetCli, PrintsTheGridTabSeparated) {
    const testing::CliResult result =
        RunCli({"sheet", CounterModel(), "--start", "10", "--rows", "3", "--every", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Time\tx\r\n10\t10\r\n12\t12\r\n14\t14\r\n");
}

TEST(SheetCli, AFailureEndsWithTheOverflowRow) {
    const testing::CliResult result = RunCli({"sheet", CounterModel(2), "--rows", "10"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Time\tx\r\n0\t0\r\n1\t1\r\n2\t2\r\n\tOverflow\r\n");
    const testing::CliResult refused = RunCli({"sheet", CounterModel(), "--every", "0"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--every must lie between 1 and 100"), std::string::npos);
}

}  // namespace
}  // namespace kalvora
