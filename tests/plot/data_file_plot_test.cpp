#include "plot/data_file_plot.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "plot/data_file_reader.h"

namespace kalvora {
namespace {

// Files named after the process and the running test: ctest runs the cases as separate processes
// at the same time, and a case must never read a file another one is rewriting.
std::string WriteScratch(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + "kalvora-" + std::to_string(::getpid()) + "-" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                             name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

class DataFilePlotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        diagonal = WriteScratch("plot_diagonal.dat", "0.0 0.0\r\n6.0 6.0\r\n10.0 10.0\r\n");
        centre = WriteScratch("plot_centre.dat", "7.0 3.0\r\n");
    }
    void TearDown() override {
        std::remove(diagonal.c_str());
        std::remove(centre.c_str());
    }
    std::string diagonal;
    std::string centre;
};

TEST_F(DataFilePlotTest, FilesGetTheSlotColoursAndShareTheAxes) {
    DataFilePlot plot({diagonal, centre},
                      DataFilePlotOptions{400, 300, false, false, false, {}, {}});
    const QImage image = plot.Bitmap();
    ASSERT_EQ(image.size(), QSize(400, 300));
    Tsp_XYPlot& p = plot.Plot();
    p.UpdateLayout();  // the picture's mapping: same size, same kind of device
    EXPECT_DOUBLE_EQ(p.BottomAxis().Min(), -0.25);
    EXPECT_DOUBLE_EQ(p.BottomAxis().Max(), 10.25);
    auto at = [&](double x, double y) {
        return image.pixel(p.BottomAxis().ValueToPixel(x), p.LeftAxis().ValueToPixel(y));
    };
    EXPECT_EQ(at(6, 6), 0xFF0000FFu);  // first file blue
    EXPECT_EQ(at(7, 3), 0xFFFF0000u);  // second file red
    EXPECT_EQ(at(3, 3), 0xFFFFFFFFu);  // points only: nothing between them
}

TEST_F(DataFilePlotTest, LinesAndGridOnRequest) {
    DataFilePlot plot({diagonal}, DataFilePlotOptions{400, 300, true, true, false, {}, {}});
    const QImage image = plot.Bitmap();
    Tsp_XYPlot& p = plot.Plot();
    p.UpdateLayout();
    EXPECT_EQ(image.pixel(p.BottomAxis().ValueToPixel(3), p.LeftAxis().ValueToPixel(3)),
              0xFF0000FFu);
    const Tsp_Axis& bottom = p.BottomAxis();
    EXPECT_EQ(image.pixel(bottom.TickPixel(1), p.FieldTop() + 3), 0xFF808080u);
}

TEST_F(DataFilePlotTest, ABadFileIsReportedWithItsName) {
    const std::string bad = WriteScratch("plot_bad.dat", "1 2\r\nthree 4\r\n");
    try {
        DataFilePlot plot({diagonal, bad}, DataFilePlotOptions{});
        FAIL() << "no error";
    } catch (const DataFileError& error) {
        EXPECT_NE(std::string(error.what()).find(bad + ": line 2"), std::string::npos);
    }
    std::remove(bad.c_str());
}

}  // namespace
}  // namespace kalvora
