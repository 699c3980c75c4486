#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <vector>

#include "plot/plot_config.h"
#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGray = 0xFF808080;
constexpr QRgb kBlue = 0xFF0000FF;

// A standard plot with fixed axes 0..10 and a grid, drawn into a 400 x 300 image.
class PlotRenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ApplyStandardPlotConfiguration(plot);
        plot.resize(400, 300);
        plot.LeftAxis().SetAutoMin(false);
        plot.LeftAxis().SetAutoMax(false);
        plot.BottomAxis().SetAutoMin(false);
        plot.BottomAxis().SetAutoMax(false);
        plot.LeftAxis().SetRange(0, 10);
        plot.BottomAxis().SetRange(0, 10);
        plot.LeftAxis().GridAttr().SetVisible(true);
        plot.BottomAxis().GridAttr().SetVisible(true);
        series.LineAttr().SetVisible(false);
        series.LineAttr().SetColor(clBlue);
        series.PointAttr().SetVisible(true);
        series.PointAttr().SetKind(ptCross);
        series.PointAttr().SetHSize(0);
        series.PointAttr().SetVSize(0);
        series.SetPlot(&plot);
        // The control's own layout: the mapping of every 400 x 300 picture below.
        plot.UpdateLayout();
    }

    QImage Render(int width = 400, int height = 300) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(0xFF123456);
        QPainter painter(&image);
        plot.DrawTo(painter, width, height);
        return image;
    }

    int PixelX(double x) const { return plot.BottomAxis().ValueToPixel(x); }
    int PixelY(double y) const { return plot.LeftAxis().ValueToPixel(y); }

    Tsp_XYPlot plot;
    Tsp_XYLine series;
};

TEST_F(PlotRenderTest, PointAxisLineAndGridLandWhereTheAxesSay) {
    series.AddPoint(3.3, 6.1);
    const QImage image = Render();
    const QRect field = plot.FieldRect();
    ASSERT_GT(field.width(), 300);
    ASSERT_GT(field.height(), 200);

    EXPECT_EQ(image.pixel(PixelX(3.3), PixelY(6.1)), kBlue);
    EXPECT_EQ(image.pixel(PixelX(3.3) + 1, PixelY(6.1)), kWhite);  // a one-pixel marker

    // Left axis line just outside the field, bottom axis line just below it.
    EXPECT_EQ(image.pixel(field.left() - 1, field.top() + 10), kBlack);
    EXPECT_EQ(image.pixel(field.left() + 10, field.bottom() + 1), kBlack);
    EXPECT_EQ(image.pixel(field.left() - 1, field.bottom() + 1), kBlack);  // corner closed

    // Grid lines at the inner ticks 2.5 (vertical) and 5 (horizontal).
    EXPECT_EQ(image.pixel(PixelX(2.5), field.top() + 5), kGray);
    EXPECT_EQ(image.pixel(field.left() + 5, PixelY(5)), kGray);
    EXPECT_EQ(image.pixel(PixelX(2.5) + 1, field.top() + 5), kWhite);

    // Frame: white background, black rectangle round the whole picture.
    EXPECT_EQ(image.pixel(0, 0), kBlack);
    EXPECT_EQ(image.pixel(399, 150), kBlack);
    EXPECT_EQ(image.pixel(2, 2), kWhite);
}

TEST_F(PlotRenderTest, RenderingElsewhereDoesNotDisturbTheControl) {
    series.AddPoint(5, 5);
    plot.UpdateLayout();
    const QRect own = plot.FieldRect();
    const int ownPixel = PixelX(5);
    QImage big(800, 600, QImage::Format_RGB32);
    QPoint bigPixel;
    plot.OnDrawEnd = [&](Tsp_XYPlot&, QPainter&) { bigPixel = QPoint(PixelX(5), PixelY(5)); };
    QPainter painter(&big);
    plot.DrawTo(painter, 800, 600);
    EXPECT_GT(bigPixel.x(), ownPixel);
    EXPECT_EQ(big.pixel(bigPixel), kBlue);
    EXPECT_EQ(plot.FieldRect(), own);  // the control's mapping is back at once
    EXPECT_EQ(PixelX(5), ownPixel);
}

TEST_F(PlotRenderTest, TinySurfacesAndInactivePaintersAreIgnored) {
    const QImage narrow = Render(9, 300);
    EXPECT_EQ(narrow.pixel(4, 150), 0xFF123456u);
    const QImage flat = Render(300, 9);
    EXPECT_EQ(flat.pixel(150, 4), 0xFF123456u);
    QPainter inactive;
    plot.DrawTo(inactive, 400, 300);  // must not crash
    const QImage smallest = Render(10, 10);
    EXPECT_EQ(smallest.pixel(0, 0), kBlack);
}

TEST_F(PlotRenderTest, MarkerShapesFollowTheirExtents) {
    series.AddPoint(6, 6);  // away from the grid lines
    series.PointAttr().SetHSize(5);
    series.PointAttr().SetVSize(5);
    QImage image = Render();
    const int x = PixelX(6);
    const int y = PixelY(6);
    // Cross: x - 2 .. x + 2 and y - 2 .. y + 2.
    EXPECT_EQ(image.pixel(x - 2, y), kBlue);
    EXPECT_EQ(image.pixel(x + 2, y), kBlue);
    EXPECT_EQ(image.pixel(x + 3, y), kWhite);
    EXPECT_EQ(image.pixel(x, y + 2), kBlue);
    EXPECT_EQ(image.pixel(x + 1, y + 1), kWhite);

    series.PointAttr().SetKind(ptRectangle);
    series.PointAttr().SetStyle(bsClear);
    image = Render();
    EXPECT_EQ(image.pixel(x - 2, y - 2), kBlue);  // outline
    EXPECT_EQ(image.pixel(x + 2, y + 2), kBlue);
    EXPECT_EQ(image.pixel(x, y), kWhite);  // clear fill
    EXPECT_EQ(image.pixel(x - 3, y), kWhite);
}

TEST_F(PlotRenderTest, SegmentsJoinPointsAndSkipFarAwayPairs) {
    series.PointAttr().SetVisible(false);
    series.LineAttr().SetVisible(true);
    series.AddPoint(1, 2);
    series.AddPoint(9, 2);
    series.AddPoint(-1e9, 8);  // the next segment has one near end: drawn, clipped
    series.AddPoint(1e9, 8);   // both ends far away: skipped
    QImage image = Render();
    EXPECT_EQ(image.pixel(PixelX(6), PixelY(2)), kBlue);
    EXPECT_EQ(image.pixel(PixelX(6), PixelY(8)), kWhite);

    // Markers on and line visible: a marker at each segment start inside the field and the end.
    series.ClearPoints();
    series.AddPoint(2, 6);
    series.AddPoint(8, 6);
    series.PointAttr().SetVisible(true);
    series.PointAttr().SetHSize(5);
    series.PointAttr().SetVSize(5);
    image = Render();
    EXPECT_EQ(image.pixel(PixelX(2), PixelY(6) - 2), kBlue);
    EXPECT_EQ(image.pixel(PixelX(8), PixelY(6) + 2), kBlue);
    EXPECT_EQ(image.pixel(PixelX(6), PixelY(6) + 2), kWhite);
}

TEST_F(PlotRenderTest, ZigzagInOneColumnCoversItsWholeSpan) {
    series.PointAttr().SetVisible(false);
    series.LineAttr().SetVisible(true);
    // Dense points in one pixel column, then a step to the next column and back down.
    plot.UpdateLayout();  // the mapping of the 400 x 300 picture, before any point is placed
    const double column = 6;
    const double next = plot.BottomAxis().PixelToValue(PixelX(column) + 1);
    for (double y : {8.0, 4.0, 3.0, 6.0}) {
        series.AddPoint(column, y);
    }
    series.AddPoint(next, 1);
    const QImage image = Render();
    const int x = PixelX(column);
    for (int y = PixelY(8); y <= PixelY(3); ++y) {
        EXPECT_EQ(image.pixel(x, y), kBlue) << "y " << y;
    }
    EXPECT_EQ(image.pixel(x, PixelY(8) - 1), kWhite);
    EXPECT_EQ(image.pixel(x + 1, PixelY(1)), kBlue);  // the step to the next column
    EXPECT_EQ(image.pixel(x + 1, PixelY(8.5)), kWhite);
}

// The paint skips repeated pixels and merges runs within a pixel column; the picture must stay
// exactly that of one painter call per segment or marker.
TEST_F(PlotRenderTest, FastPaintEqualsOnePainterCallPerSegmentOrMarker) {
    plot.LeftAxis().GridAttr().SetVisible(false);
    plot.BottomAxis().GridAttr().SetVisible(false);
    plot.UpdateLayout();
    double logistic = 0.3, x = 0.1, y = 0.1;
    std::vector<QPointF> values;
    for (int i = 0; i < 20000; ++i) {
        logistic = 3.9 * logistic * (1 - logistic);
        values.emplace_back(i * 5.0 / 20000, 10 * logistic);  // a dense time series ...
    }
    for (int i = 0; i < 5000; ++i) {
        const double next = 1 - 1.4 * x * x + y;
        y = 0.3 * x;
        x = next;
        values.emplace_back(6 + 2 * x, 5 + 10 * y);  // ... and an attractor joined point to point
    }
    values.emplace_back(11, 12);  // leaves the field
    for (const QPointF& v : values) {
        series.AddPoint(v.x(), v.y());
    }

    for (const bool markers : {false, true}) {
        series.LineAttr().SetVisible(!markers);
        series.PointAttr().SetVisible(markers);
        series.PointAttr().SetHSize(5);
        series.PointAttr().SetVSize(5);
        const QImage fast = Render();

        series.SetActive(false);
        QImage raw = Render();
        series.SetActive(true);
        QPainter painter(&raw);
        painter.setClipRect(plot.FieldRect());
        painter.setPen(QPen(QColor(0, 0, 255), 0));
        const QRect field = plot.FieldRect();
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int px = PixelX(values[i].x());
            const int py = PixelY(values[i].y());
            if (markers) {
                if (field.contains(px, py)) {
                    painter.drawLine(px - 2, py, px + 2, py);
                    painter.drawLine(px, py - 2, px, py + 2);
                }
            } else if (i > 0) {
                painter.drawLine(PixelX(values[i - 1].x()), PixelY(values[i - 1].y()), px, py);
            }
        }
        painter.end();
        int differing = 0;
        for (int row = 0; row < raw.height(); ++row) {
            for (int column = 0; column < raw.width(); ++column) {
                differing += fast.pixel(column, row) != raw.pixel(column, row);
            }
        }
        EXPECT_EQ(differing, 0) << (markers ? "markers" : "segments");
    }
}

TEST_F(PlotRenderTest, SeriesOutsideTheAxesDrawsNothing) {
    series.AddPoint(-5, 5);
    series.AddPoint(-3, 6);
    series.LineAttr().SetVisible(true);
    const QImage image = Render();
    const QRect field = plot.FieldRect();
    for (int x = field.left() + 1; x < field.right(); x += 7) {
        EXPECT_NE(image.pixel(x, PixelY(5)), kBlue);
    }
}

TEST_F(PlotRenderTest, FieldDrawAndDrawEndEventsPaintInOrder) {
    int order = 0;
    int fieldAt = 0, endAt = 0;
    plot.OnFieldDraw = [&](Tsp_XYPlot& p, QPainter& painter) {
        fieldAt = ++order;
        painter.fillRect(p.FieldRect(), Qt::red);  // then overdrawn by grid, not by the fill
    };
    plot.OnDrawEnd = [&](Tsp_XYPlot&, QPainter&) { endAt = ++order; };
    const QImage image = Render();
    EXPECT_EQ(fieldAt, 1);
    EXPECT_EQ(endAt, 2);
    EXPECT_EQ(image.pixel(PixelX(1), PixelY(1)), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(PixelX(2.5), PixelY(1)), kGray);
}

TEST_F(PlotRenderTest, ClipboardGetsABitmapAndAVectorPicture) {
    series.AddPoint(5, 5);
    plot.CopyAsBitmap();
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), QSize(400, 300));

    plot.CopyAsMetafile();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasFormat("image/svg+xml"));
    EXPECT_TRUE(data->data("image/svg+xml").contains("<svg"));
}

// A vector picture (SVG here; PDF and printers take the same path) rendered four times finer than
// the plot's pixels: every side of the frame lies wholly inside the picture, and a point lies where
// its value maps, not on the nearest whole pixel.
TEST_F(PlotRenderTest, AVectorPictureHasTheWholeFrameAndUnroundedPoints) {
    plot.BottomAxis().GridAttr().SetVisible(false);
    plot.LeftAxis().GridAttr().SetVisible(false);
    // Values that map 0.45 pixels past a whole pixel, the worst case for rounding.
    const Tsp_Axis& bottom = plot.BottomAxis();
    const Tsp_Axis& left = plot.LeftAxis();
    const double exactX = bottom.OriginPixel() + 150.45;
    const double exactY = left.OriginPixel() - 120.45;
    series.AddPoint((exactX - bottom.OriginPixel()) / bottom.PixelsPerUnit() + bottom.OriginValue(),
                    (exactY - left.OriginPixel()) / left.PixelsPerUnit() + left.OriginValue());
    const QByteArray svg = plot.RenderSvg();

    constexpr int kScale = 4;
    QImage fine(400 * kScale, 300 * kScale, QImage::Format_RGB32);
    fine.fill(Qt::white);
    {
        QPainter painter(&fine);
        QSvgRenderer(svg).render(&painter, QRectF(0, 0, fine.width(), fine.height()));
    }
    auto dark = [&](int x, int y) { return qGray(fine.pixel(x, y)) < 96; };
    const int midX = fine.width() / 2 + 7;  // clear of tick marks
    const int midY = fine.height() / 2 + 7;
    for (int i = 0; i < kScale; ++i) {
        EXPECT_TRUE(dark(i, midY)) << "left side, fine column " << i;
        EXPECT_TRUE(dark(fine.width() - 1 - i, midY)) << "right side, fine column " << i;
        EXPECT_TRUE(dark(midX, i)) << "top side, fine row " << i;
        EXPECT_TRUE(dark(midX, fine.height() - 1 - i)) << "bottom side, fine row " << i;
    }

    // The blue dot's centre, against the pixel centre of the exact position.
    double sumX = 0, sumY = 0, weight = 0;
    for (int y = 0; y < fine.height(); ++y) {
        for (int x = 0; x < fine.width(); ++x) {
            const QRgb pixel = fine.pixel(x, y);
            const double blueness = qBlue(pixel) - (qRed(pixel) + qGreen(pixel)) / 2.0;
            if (blueness > 64) {
                sumX += blueness * (x + 0.5);
                sumY += blueness * (y + 0.5);
                weight += blueness;
            }
        }
    }
    ASSERT_GT(weight, 0);
    EXPECT_NEAR(sumX / weight, (exactX + 0.5) * kScale, 0.5);
    EXPECT_NEAR(sumY / weight, (exactY + 0.5) * kScale, 0.5);
}

// Titles take room between the labels and the margin only while shown; hiding them gives back the
// picture without titles, pixel for pixel. The readout follows the field.
TEST_F(PlotRenderTest, AxisTitlesTakeRoomOnlyWhileShown) {
    series.AddPoint(5, 5);
    const QImage untitled = Render();
    const QRect untitledField = plot.FieldRect();
    // Where the readout reaches each end of the axes: x at Min and Max, y at Max and Min.
    const auto readoutEdges = [this] {
        const Tsp_ReadoutValues at = WindowReadout(plot, 100, 100);
        const Tsp_ReadoutValues next = WindowReadout(plot, 101, 101);
        const Tsp_Axis& bottom = plot.BottomAxis();
        const Tsp_Axis& left = plot.LeftAxis();
        const double dx = next.x - at.x;
        const double dy = next.y - at.y;
        return std::vector<double>{100 + (bottom.Min() - at.x) / dx,
                                   100 + (bottom.Max() - at.x) / dx, 100 + (left.Max() - at.y) / dy,
                                   100 + (left.Min() - at.y) / dy};
    };
    const std::vector<double> untitledEdges = readoutEdges();

    plot.BottomAxis().SetTitle("time");
    plot.LeftAxis().SetTitle("exponent");
    plot.UpdateLayout();
    const int room = plot.AxisTitleRoom(plot.LeftAxis());
    EXPECT_GT(room, 8);
    EXPECT_EQ(plot.AxisTitleRoom(plot.RightAxis()), 0);
    const QRect field = plot.FieldRect();
    EXPECT_EQ(field.left(), untitledField.left() + room);
    EXPECT_EQ(field.bottom(), untitledField.bottom() - room);
    EXPECT_EQ(field.right(), untitledField.right());
    EXPECT_EQ(field.top(), untitledField.top());
    // The readout's edges move with the field's.
    const std::vector<double> titledEdges = readoutEdges();
    const std::vector<double> shifts = {double(room), 0, 0, double(-room)};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(titledEdges[i] - untitledEdges[i], shifts[i], 1e-6) << i;
    }

    // Text in the strips beside the margins, centred on the field.
    const QImage titled = Render();
    auto inkIn = [&](const QRect& strip) {
        int ink = 0;
        for (int y = strip.top(); y <= strip.bottom(); ++y) {
            for (int x = strip.left(); x <= strip.right(); ++x) {
                ink += qGray(titled.pixel(x, y)) < 128;
            }
        }
        return ink;
    };
    const int leftMargin = plot.LeftAxis().Margin();
    const int bottomMargin = plot.BottomAxis().Margin();
    EXPECT_GT(inkIn(QRect(leftMargin, field.center().y() - 20, room, 40)), 10);
    EXPECT_GT(inkIn(QRect(field.center().x() - 15, 300 - bottomMargin - room, 30, room)), 10);
    EXPECT_EQ(inkIn(QRect(leftMargin, field.top() + 2, room, 10)), 0);  // centred, not at the end
    EXPECT_NE(QString::fromUtf8(plot.RenderSvg()).indexOf(QStringLiteral(">exponent<")), -1);

    plot.SetShowAxisTitles(false);
    EXPECT_EQ(Render(), untitled);
}

// The vector path thins a dense line to the vertices that bound each quarter-pixel column. Drawn
// four times finer, its picture and that of the naive polyline through every point ink the same
// places, to half a pixel (the pen's half width, by which a join at a spike may differ).
TEST_F(PlotRenderTest, AThinnedVectorLineCoversWhatTheFullLineCovers) {
    series.PointAttr().SetVisible(false);
    series.LineAttr().SetVisible(true);
    double value = 0.3;
    // About six points per pixel column.
    for (int i = 0; i < 2500; ++i) {
        value = 3.9 * value * (1 - value);
        series.AddPoint(i * 10.0 / 2500, 1 + 8 * value);
    }
    constexpr int kScale = 2;
    auto fine = [&](const QByteArray& svg) {
        QImage image(400 * kScale, 300 * kScale, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QSvgRenderer(svg).render(&painter, QRectF(0, 0, image.width(), image.height()));
        return image;
    };
    const QImage thinned = fine(plot.RenderSvg());

    // The same plot with the series hidden, and the line through every point drawn over it.
    series.LineAttr().SetVisible(false);
    QByteArray naiveSvg;
    {
        QBuffer buffer(&naiveSvg);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(QSize(400, 300));
        generator.setViewBox(QRect(0, 0, 400, 300));
        generator.setResolution(plot.logicalDpiX());
        QPainter painter(&generator);
        plot.DrawTo(painter, 400, 300);
        const Tsp_Axis& bottom = plot.BottomAxis();
        const Tsp_Axis& left = plot.LeftAxis();
        QPolygonF line;
        for (int i = 0; i < series.Count(); ++i) {
            line << QPointF((series.XValues()[i] - bottom.OriginValue()) * bottom.PixelsPerUnit() +
                                bottom.OriginPixel() + 0.5,
                            (series.YValues()[i] - left.OriginValue()) * left.PixelsPerUnit() +
                                left.OriginPixel() + 0.5);
        }
        QPen pen(Qt::blue, 1);
        pen.setCapStyle(Qt::SquareCap);
        painter.setPen(pen);
        painter.setClipRect(plot.FieldRect());
        painter.drawPolyline(line);
    }
    const QImage naive = fine(naiveSvg);

    auto inked = [](const QImage& image, int x, int y) {
        const QRgb pixel = image.pixel(x, y);
        return qBlue(pixel) - (qRed(pixel) + qGreen(pixel)) / 2 > 96;
    };
    auto near = [&](const QImage& image, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = std::clamp(x + dx, 0, image.width() - 1);
                const int ny = std::clamp(y + dy, 0, image.height() - 1);
                if (inked(image, nx, ny)) {
                    return true;
                }
            }
        }
        return false;
    };
    int inkedPixels = 0;
    int strays = 0;
    for (int y = 0; y < thinned.height(); ++y) {
        for (int x = 0; x < thinned.width(); ++x) {
            if (inked(thinned, x, y) || inked(naive, x, y)) {
                ++inkedPixels;
                strays += !(near(thinned, x, y) && near(naive, x, y));
            }
        }
    }
    EXPECT_GT(inkedPixels, 20000);
    EXPECT_EQ(strays, 0);
    EXPECT_LT(plot.RenderSvg().size() * 5, naiveSvg.size());
}

TEST_F(PlotRenderTest, XCursorInvertsTheColumnOnScreen) {
    plot.show();
    plot.SetXCursorVal(6);
    plot.SetXCursorOn(true);
    QImage screen = plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int x = PixelX(6);
    const int y = PixelY(7);                // no grid line there
    EXPECT_EQ(screen.pixel(x, y), kBlack);  // white field inverted
    EXPECT_EQ(screen.pixel(x + 1, y), kWhite);
    plot.SetXCursorOn(false);
    screen = plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(screen.pixel(x, y), kWhite);
}

}  // namespace
}  // namespace kalvora
