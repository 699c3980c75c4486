// The print window: its page arithmetic, the limits of its fields, and printing to a PDF file
// through the print dialog's seam.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis/window/export/print_window.h"
#include "plot/plot_config.h"
#include "plot/xy_line.h"
#include "plot/xy_plot.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora {
namespace {

using testing::FakeHost;

TEST(PrintRectangle, PlacesThePictureByFractionsOfTheA4Page) {
    struct Case {
        PrintPlacement placement;
        int pageWidth, pageHeight;
        QRect expected;
    };
    const Case cases[] = {
        // The defaults: 100/210 of the width and 100/297 of the height, 30 mm from the corner.
        {{100, 100, 30, 30},
         4960,
         7016,
         QRect(QPoint(709, 709), QPoint(709 + 2362 - 1, 709 + 2362 - 1))},
        {{100, 100, 30, 30}, 210, 297, QRect(30, 30, 100, 100)},
        // The whole page.
        {{210, 297, 0, 0}, 4760, 6779, QRect(0, 0, 4760, 6779)},
        // Halves round to even: 105 * 3 / 2 = 157.5 -> 158, 52.5 -> 52.
        {{105, 297, 105, 0}, 3, 297, QRect(QPoint(2, 0), QPoint(2 + 2 - 1, 296))},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PrintRectangle(c.placement, c.pageWidth, c.pageHeight), c.expected)
            << c.placement.width << "x" << c.placement.height << " on " << c.pageWidth;
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct PrintFixture : ::testing::Test {
    PrintFixture() : window(host) {
        plot.resize(300, 200);
        ApplyStandardPlotConfiguration(plot);
        line.SetPlot(&plot);
        for (int i = 0; i <= 10; ++i) {
            line.AddPoint(i, i * i);
        }
        picture.size = plot.size();
        picture.draw = [this](QPainter& painter, int w, int h) { plot.DrawTo(painter, w, h); };
        picture.preview = plot.RenderBitmap();
        picture.xLabel = "x(t)";
        picture.yLabel = "x(t+2)";
    }
    ~PrintFixture() override {
        PrintDialogSeam() = saved;
        std::filesystem::remove(pdf);
    }

    FakeHost host;
    Tprintform window;
    Tsp_XYPlot plot;
    Tsp_XYLine line;
    PrintPicture picture;
    PrinterChooser saved = PrintDialogSeam();
    std::string pdf = ::testing::TempDir() + "kalvora-print-" + std::to_string(::getpid()) + ".pdf";
};

TEST_F(PrintFixture, FieldsKeepThePictureOnThePage) {
    window.prepare(picture);
    EXPECT_EQ(window.SpinEdit3->maximum(), 110);
    EXPECT_EQ(window.SpinEdit4->maximum(), 197);
    window.SpinEdit1->setValue(200);
    EXPECT_EQ(window.SpinEdit3->maximum(), 10);
    EXPECT_EQ(window.SpinEdit3->value(), 10);
    window.SpinEdit2->setValue(297);
    EXPECT_EQ(window.SpinEdit4->maximum(), 0);
    window.SpinEdit1->setValue(5);
    EXPECT_EQ(window.SpinEdit1->value(), 10);
    window.SpinEdit1->setValue(999);
    EXPECT_EQ(window.SpinEdit1->value(), 210);
    EXPECT_EQ(window.Image1->placement.width, 210);
    // The labels the source window gave, and all other windows disabled while open.
    EXPECT_EQ(window.options->Edit2->text(), "x(t)");
    EXPECT_EQ(window.options->Edit1->text(), "x(t+2)");
    EXPECT_EQ(host.disableCalls, 1);
    window.options->labelaxes->setChecked(false);
    EXPECT_FALSE(window.options->Edit2->isEnabled());
    window.close();
    EXPECT_EQ(host.enableCalls, 1);
}

TEST_F(PrintFixture, PrintsToAPdfFileAndClosesOnlyAfterSuccess) {
    window.prepare(picture);
    int asked = 0;
    PrintDialogSeam() = [&](QPrinter& printer, QWidget*) {
        ++asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        return true;
    };
    ASSERT_TRUE(window.PagePOKClick());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(host.enableCalls, 1);
    const std::string document = ReadFile(pdf);
    EXPECT_EQ(document.substr(0, 5), "%PDF-");
    EXPECT_NE(document.find("/MediaBox [0 0 595"), std::string::npos);  // A4

    // A printer that refuses the job: the message is shown and the window stays open.
    window.prepare(picture);
    PrintDialogSeam() = [&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName("/nonexistent-folder/out.pdf");
        return true;
    };
    EXPECT_FALSE(window.PagePOKClick());
    ASSERT_EQ(host.scripted.errors.size(), 1u);
    EXPECT_TRUE(window.isVisible());
    // Cancelling the print dialog changes nothing either.
    PrintDialogSeam() = [](QPrinter&, QWidget*) { return false; };
    EXPECT_FALSE(window.PagePOKClick());
    EXPECT_TRUE(window.isVisible());
    window.close();
}

// 100 mm at 96 dots per inch is 377.95 screen pixels: the picture is laid out at that size on an
// A4 page at any printer resolution, then stretched onto the page's dots.
TEST(PrintRectangle, ThePictureIsLaidOutAtTheSizeA96DpiScreenGivesIt) {
    for (const int dpi : {300, 600, 1200}) {
        const int width = static_cast<int>(std::lround(210 * dpi / 25.4));
        const int height = static_cast<int>(std::lround(297 * dpi / 25.4));
        QSize logical;
        PrintPicture picture;
        picture.draw = [&](QPainter&, int w, int h) { logical = QSize(w, h); };
        QImage page(1, 1, QImage::Format_RGB32);
        QPainter painter(&page);
        DrawPrintPage(painter, width, height, dpi, {100, 100, 30, 30}, picture);
        EXPECT_EQ(logical, QSize(377, 377)) << dpi;
    }
}

TEST_F(PrintFixture, LinesKeepTheirVisibleWidthAtPrinterResolution) {
    // A horizontal series line across the field's middle, one screen pixel wide: on an A4 page at
    // 96 and at 300 dots per inch it stays 1/96 inch wide, about 3 printer dots at 300, instead
    // of one hair-thin dot.
    line.ClearPoints();
    line.LineAttr().SetVisible(true);
    line.AddPoint(0, 5);
    line.AddPoint(10, 5);
    plot.LeftAxis().SetAutoMin(false);
    plot.LeftAxis().SetAutoMax(false);
    plot.LeftAxis().SetRange(0, 10);
    for (const int dpi : {96, 300}) {
        const int width = 210 * dpi * 10 / 254;
        const int height = 297 * dpi * 10 / 254;
        QImage page(width, height, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            DrawPrintPage(painter, width, height, dpi, {100, 100, 30, 30}, picture);
        }
        const QRect place = PrintRectangle({100, 100, 30, 30}, width, height);
        const int x = place.center().x();
        int thickness = 0;
        for (int y = place.top() + place.height() / 4; y < place.bottom() - place.height() / 4;
             ++y) {
            thickness += qGray(page.pixel(x, y)) < 160;
        }
        const int expected = dpi / 96;
        EXPECT_GE(thickness, expected) << dpi;
        EXPECT_LE(thickness, expected + 1) << dpi;
    }
}

}  // namespace
}  // namespace kalvora
