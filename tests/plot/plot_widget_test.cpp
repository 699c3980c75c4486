#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <vector>

#include "plot/plot_config.h"
#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {
namespace {

// A standard result-window plot of 400 x 300 with the points (i, i), i = 0 .. 9, on screen.
class PlotWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ApplyStandardPlotConfiguration(plot);
        plot.resize(400, 300);
        for (int i = 0; i <= 9; ++i) {
            series.AddPoint(i, i);
        }
        series.SetPlot(&plot);
        plot.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
        plot.repaint();
    }

    void Press(int x, int y, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mousePress(&plot, Qt::LeftButton, modifiers, QPoint(x, y));
    }
    void Move(int x, int y) { QTest::mouseMove(&plot, QPoint(x, y)); }
    void Release(int x, int y, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseRelease(&plot, Qt::LeftButton, modifiers, QPoint(x, y));
    }
    void Drag(int x0, int y0, int x1, int y1, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Press(x0, y0, modifiers);
        Move((x0 + x1) / 2, (y0 + y1) / 2);
        Move(x1, y1);
        Release(x1, y1, modifiers);
    }

    Tsp_XYPlot plot;
    Tsp_XYLine series;
};

TEST_F(PlotWidgetTest, AutoScalingAddsTwoAndAHalfPercent) {
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), -0.225);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Max(), 9.225);
    EXPECT_NEAR(plot.BottomAxis().TickValue(1), 2.1, 1e-12);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Min(), -0.225);
    // The right and top axes carry no auto flags in the standard configuration.
    EXPECT_DOUBLE_EQ(plot.RightAxis().Max(), 10);
}

TEST_F(PlotWidgetTest, SettingABoundSwitchesItsAutoScalingOff) {
    plot.BottomAxis().SetMin(-5);
    EXPECT_FALSE(plot.BottomAxis().AutoMin());
    EXPECT_TRUE(plot.BottomAxis().AutoMax());
    series.AddPoint(-20, 30);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), -5);  // stays where it was put
    EXPECT_GT(plot.LeftAxis().Max(), 30);           // the other axis still follows

    plot.BottomAxis().SetAutoMin(true);  // switching it on re-scales at once
    EXPECT_LT(plot.BottomAxis().Min(), -20);
}

TEST_F(PlotWidgetTest, SinglePointAndInactiveSeries) {
    series.ClearPoints();
    series.AddPoint(3, -50);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), 3);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Max(), 4);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Min(), -45 - 4.5);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Max(), -45);

    // Points of an inactive series neither scale nor count until it is activated.
    series.SetActive(false);
    series.AddPoint(100, 100);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Max(), 4);
    series.SetActive(true);
    EXPECT_NEAR(plot.BottomAxis().Max(), 100 + 97 * 0.025, 1e-9);
}

TEST_F(PlotWidgetTest, SecondSeriesWidensAndDetachingShrinks) {
    Tsp_XYLine other;
    other.AddPoint(-10, 0);
    other.SetPlot(&plot);
    EXPECT_NEAR(plot.BottomAxis().Min(), -10 - 19 * 0.025, 1e-12);
    EXPECT_EQ(plot.Series().size(), 2u);
    other.SetPlot(nullptr);
    EXPECT_EQ(plot.Series().size(), 1u);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), -0.225);
}

TEST_F(PlotWidgetTest, ABandOfTwoPixelsDoesNotZoom) {
    Drag(100, 100, 160, 102);
    EXPECT_EQ(plot.MouseState(), 0);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), -0.225);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Max(), 9.225);
    EXPECT_FALSE(plot.HasSavedRange());
}

TEST_F(PlotWidgetTest, DragZoomsAndAClickUndoesToTheFirstRange) {
    const double left = plot.BottomAxis().PixelToValue(100);
    const double right = plot.BottomAxis().PixelToValue(200);
    const double top = plot.LeftAxis().PixelToValue(80);
    const double bottom = plot.LeftAxis().PixelToValue(180);
    Press(100, 80);
    Move(150, 120);
    EXPECT_EQ(plot.MouseState(), 2);
    Move(200, 180);
    Release(200, 180);
    EXPECT_EQ(plot.MouseState(), 0);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), left);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Max(), right);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Min(), bottom);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Max(), top);

    plot.repaint();
    Drag(250, 200, 150, 100);  // a band drawn backwards zooms as well
    EXPECT_LT(plot.BottomAxis().Max(), right);

    Press(200, 150);
    Release(200, 150);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), -0.225);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Max(), 9.225);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Min(), -0.225);
    EXPECT_FALSE(plot.HasSavedRange());
}

TEST_F(PlotWidgetTest, HorizontalZoomAndARefusingHandler) {
    plot.SetZoom(zpdHorizontal);
    Drag(100, 100, 200, 200);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Min(), -0.225);
    EXPECT_LT(plot.BottomAxis().Max(), 9);

    std::vector<const Tsp_Axis*> asked;
    plot.OnAxisZoom = [&](Tsp_Axis& axis, double& min, double& max, bool& canZoom) {
        asked.push_back(&axis);
        if (&axis == &plot.BottomAxis()) {
            canZoom = false;
        } else if (&axis == &plot.LeftAxis()) {
            min = 1;
            max = 2;
        }
    };
    plot.SetZoom(zpdBoth);
    const double bottomMax = plot.BottomAxis().Max();
    Drag(100, 100, 200, 200);
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Max(), bottomMax);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Min(), 1);
    EXPECT_DOUBLE_EQ(plot.LeftAxis().Max(), 2);
}

TEST_F(PlotWidgetTest, CtrlDragPansAndRescalesOnRelease) {
    const double perPixelX = 1 / plot.BottomAxis().PixelsPerUnit();
    const double perPixelY = 1 / plot.LeftAxis().PixelsPerUnit();
    Press(200, 150, Qt::ControlModifier);
    EXPECT_EQ(plot.MouseState(), 3);
    Move(220, 150);
    EXPECT_EQ(plot.MouseState(), 4);
    Move(240, 160);
    Release(240, 160, Qt::ControlModifier);
    EXPECT_EQ(plot.MouseState(), 0);
    // Dragging right and down shows what lay left and above.
    EXPECT_NEAR(plot.BottomAxis().Min(), -0.225 - 40 * perPixelX, 1e-9);
    EXPECT_NEAR(plot.BottomAxis().Max(), 9.225 - 40 * perPixelX, 1e-9);
    EXPECT_NEAR(plot.LeftAxis().Min(), -0.225 - 10 * perPixelY, 1e-9);
    EXPECT_TRUE(plot.HasSavedRange());

    Press(100, 100);
    Release(100, 100);  // the click undoes the pan as well
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Min(), -0.225);
}

TEST_F(PlotWidgetTest, ShiftKeysMustMatchExactly) {
    // Ctrl+Shift is neither the zoom set (none) nor the pan set (Ctrl).
    Press(100, 100, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(plot.MouseState(), 0);
    Release(100, 100, Qt::ControlModifier | Qt::ShiftModifier);
    plot.SetPan(zpdNone);
    Press(100, 100, Qt::ControlModifier);
    EXPECT_EQ(plot.MouseState(), 0);
    Release(100, 100, Qt::ControlModifier);
}

TEST_F(PlotWidgetTest, MouseEventsReachTheWindowAfterZoomHandling) {
    int downs = 0, moves = 0, ups = 0;
    int statesSeen = 0;
    plot.OnMouseDown = [&](QMouseEvent&) { ++downs; };
    plot.OnMouseMove = [&](QMouseEvent& event) {
        ++moves;
        statesSeen |= 1 << plot.MouseState();
        EXPECT_GE(event.position().x(), 0);
    };
    plot.OnMouseUp = [&](QMouseEvent&) { ++ups; };
    Drag(100, 100, 200, 200);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(ups, 1);
    EXPECT_TRUE(statesSeen & (1 << 2));
}

TEST_F(PlotWidgetTest, TickLabelsCanBeReplaced) {
    plot.OnGetTickLabel = [](Tsp_Axis&, int labelNum, double, std::string& text) {
        if (labelNum == 0) {
            text = "start";
        }
    };
    EXPECT_EQ(plot.BottomAxis().TickLabel(0), "start");
    EXPECT_EQ(plot.BottomAxis().TickLabel(1), "2.1");
    // The wider label needs more room on the left axis.
    EXPECT_EQ(plot.LeftAxis().LabelSpace(6, 8), 1 + 5 * 6 + 5);
}

TEST_F(PlotWidgetTest, BufferedDisplayRepaintsOnlyWhatIsInvalid) {
    int fieldPaints = 0, paints = 0;
    plot.OnFieldDraw = [&](Tsp_XYPlot&, QPainter&) { ++fieldPaints; };
    plot.OnDrawEnd = [&](Tsp_XYPlot&, QPainter&) { ++paints; };
    plot.Invalidate();
    plot.repaint();
    EXPECT_EQ(fieldPaints, 1);
    plot.repaint();  // nothing changed: the buffer is shown again
    EXPECT_EQ(fieldPaints, 1);
    EXPECT_EQ(paints, 2);
    plot.SetFieldColor(clYellow);
    plot.repaint();
    EXPECT_EQ(fieldPaints, 2);

    plot.SetBufferedDisplay(false);
    plot.repaint();
    plot.repaint();
    EXPECT_EQ(fieldPaints, 4);  // without a buffer every paint rebuilds the picture
}

TEST_F(PlotWidgetTest, AddPointRepaintsAtOnceUnlessLocked) {
    int paints = 0;
    plot.OnDrawEnd = [&](Tsp_XYPlot&, QPainter&) { ++paints; };
    series.AddPoint(4, 4);
    EXPECT_EQ(paints, 1);
    series.SetDrawLocked(true);
    for (int i = 0; i < 100; ++i) {
        series.AddPoint(i, -i);
    }
    EXPECT_EQ(paints, 1);
    EXPECT_DOUBLE_EQ(plot.BottomAxis().Max(), 9.225);  // not rescaled while locked
    series.SetDrawLocked(false);
    EXPECT_NEAR(plot.BottomAxis().Max(), 99 + 99 * 0.025, 1e-9);
    EXPECT_NEAR(plot.LeftAxis().Min(), -99 - 108 * 0.025, 1e-9);
}

TEST(PlotReadout, StandardConstantsMapTheFieldEdges) {
    Tsp_XYPlot plot;
    ApplyStandardPlotConfiguration(plot);
    plot.resize(400, 300);
    plot.LeftAxis().SetRange(0, 10);
    plot.BottomAxis().SetRange(0, 10);
    // Left labels "0", "2.5" ... "10": room 1 + 3 * 6 + 5 = 24; bottom room 1 + 8 + 5 = 14.
    const int left = 24 + 6 - 1;
    const int right = 14 + 3;
    const int top = 14 + 5;
    const int bottom = 14 + 6 + 3;
    Tsp_ReadoutValues v = WindowReadout(plot, left, top);
    EXPECT_DOUBLE_EQ(v.x, 0);
    EXPECT_DOUBLE_EQ(v.y, 10);
    v = WindowReadout(plot, 400 - right, 300 - bottom);
    EXPECT_DOUBLE_EQ(v.x, 10);
    EXPECT_DOUBLE_EQ(v.y, 0);
    v = WindowReadout(plot, 400 - right, 300 - bottom, kTimeSeriesReadoutOffsets);
    EXPECT_DOUBLE_EQ(v.x, 10 * double(400 - 17 - 30) / (400 - 30 - 23));
}

TEST(PlotLifetime, SeriesAndPlotMayDieInEitherOrder) {
    auto line = std::make_unique<Tsp_XYLine>();
    {
        Tsp_XYPlot plot;
        line->SetPlot(&plot);
        line->AddPoint(1, 1);
    }
    EXPECT_EQ(line->Plot(), nullptr);
    line->AddPoint(2, 2);  // no plot any more: just stored
    Tsp_XYPlot plot;
    line->SetPlot(&plot);
    line.reset();
    EXPECT_TRUE(plot.Series().empty());
}

}  // namespace
}  // namespace kalvora
