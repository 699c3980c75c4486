// Paint cost of large series against the raw cost of one QPainter call per point, and the cost of
// streaming points into a series.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cmath>
#include <vector>

#include "plot/plot_config.h"
#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {
namespace {

constexpr int kPoints = 1000000;
constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct Points {
    std::vector<double> x;
    std::vector<double> y;
};

// The Henon attractor: what a phase plot of a million iterations looks like.
const Points& Attractor() {
    static const Points points = [] {
        Points p;
        double x = 0.1, y = 0.1;
        for (int i = 0; i < kPoints; ++i) {
            const double next = 1 - 1.4 * x * x + y;
            y = 0.3 * x;
            x = next;
            p.x.push_back(x);
            p.y.push_back(y);
        }
        return p;
    }();
    return points;
}

// A chaotic time series: the logistic map against the step number, as a time-series window joins
// it.
const Points& TimeSeries() {
    static const Points points = [] {
        Points p;
        double x = 0.3;
        for (int i = 0; i < kPoints; ++i) {
            x = 3.9 * x * (1 - x);
            p.x.push_back(i);
            p.y.push_back(x);
        }
        return p;
    }();
    return points;
}

// A smooth curve, as a continuous model's time series with a small step.
const Points& SmoothCurve() {
    static const Points points = [] {
        Points p;
        for (int i = 0; i < kPoints; ++i) {
            const double t = i * 1e-4;
            p.x.push_back(t);
            p.y.push_back(std::sin(t) + 0.3 * std::sin(7 * t));
        }
        return p;
    }();
    return points;
}

struct Scene {
    Tsp_XYPlot plot;
    Tsp_XYLine line;
    QImage image{kWidth, kHeight, QImage::Format_RGB32};

    Scene(const Points& points, bool markers, int markerSize) {
        ApplyStandardPlotConfiguration(plot);
        plot.resize(kWidth, kHeight);
        line.LineAttr().SetVisible(!markers);
        line.LineAttr().SetColor(clBlue);
        line.PointAttr().SetVisible(markers);
        line.PointAttr().SetKind(ptCross);
        line.PointAttr().SetStyle(bsClear);
        line.PointAttr().SetHSize(markerSize);
        line.PointAttr().SetVSize(markerSize);
        line.SetDrawLocked(true);
        line.SetPlot(&plot);
        line.Reserve(points.x.size());
        for (std::size_t i = 0; i < points.x.size(); ++i) {
            line.AddPoint(points.x[i], points.y[i]);
        }
        line.SetDrawLocked(false);
        Paint();  // leaves the axes laid out for this size
    }

    void Paint() {
        QPainter painter(&image);
        plot.DrawTo(painter, kWidth, kHeight);
    }

    QPoint Pixel(std::size_t i, const Points& points) const {
        return QPoint(plot.BottomAxis().ValueToPixel(points.x[i]),
                      plot.LeftAxis().ValueToPixel(points.y[i]));
    }
};

void BM_PlotCrossMarkers(benchmark::State& state) {
    Scene scene(Attractor(), true, int(state.range(0)));
    for (auto _ : state) {
        scene.Paint();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_PlotCrossMarkers)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

// The same attractor drawn with one painter call per point (size 0) or two lines per point
// (the 5-pixel cross), at the same pixels.
void BM_RawCrossMarkers(benchmark::State& state) {
    const Points& points = Attractor();
    Scene scene(points, true, int(state.range(0)));
    std::vector<QPoint> pixels;
    for (std::size_t i = 0; i < points.x.size(); ++i) {
        pixels.push_back(scene.Pixel(i, points));
    }
    const bool single = state.range(0) == 0;
    for (auto _ : state) {
        QPainter painter(&scene.image);
        painter.setPen(QPen(Qt::blue, 0));
        for (const QPoint& p : pixels) {
            if (single) {
                painter.drawPoint(p);
            } else {
                painter.drawLine(p.x() - 2, p.y(), p.x() + 2, p.y());
                painter.drawLine(p.x(), p.y() - 2, p.x(), p.y() + 2);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_RawCrossMarkers)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

const Points& LineData(int which) {
    return which == 0 ? TimeSeries() : SmoothCurve();
}

void BM_PlotConnectedLine(benchmark::State& state) {
    Scene scene(LineData(int(state.range(0))), false, 0);
    for (auto _ : state) {
        scene.Paint();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_PlotConnectedLine)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_RawConnectedLine(benchmark::State& state) {
    const Points& points = LineData(int(state.range(0)));
    Scene scene(points, false, 0);
    std::vector<QPoint> pixels;
    for (std::size_t i = 0; i < points.x.size(); ++i) {
        pixels.push_back(scene.Pixel(i, points));
    }
    for (auto _ : state) {
        QPainter painter(&scene.image);
        painter.setPen(QPen(Qt::blue, 0));
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            painter.drawLine(pixels[i - 1], pixels[i]);
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_RawConnectedLine)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A million points into a vector picture (SVG; PDF takes the same path): the markers thinned to
// one per quarter pixel, the lines to points a quarter pixel apart. The picture's size in bytes is
// reported with the time.
void BM_PlotVectorPicture(benchmark::State& state) {
    const int which = int(state.range(0));
    const bool markers = which == 0;
    Scene scene(markers ? Attractor() : LineData(which - 1), markers, 0);
    qint64 bytes = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(QSize(kWidth, kHeight));
        generator.setViewBox(QRect(0, 0, kWidth, kHeight));
        {
            QPainter painter(&generator);
            scene.plot.DrawTo(painter, kWidth, kHeight);
        }
        bytes = buffer.size();
    }
    state.counters["bytes"] = double(bytes);
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_PlotVectorPicture)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Streaming a run into a series attached to a plot: locked (the batch pattern of the windows) and
// inactive (PlotIni's pattern). Neither may repaint per point.
void BM_AddPoint(benchmark::State& state) {
    const bool locked = state.range(0) == 1;
    Tsp_XYPlot plot;
    ApplyStandardPlotConfiguration(plot);
    const Points& points = Attractor();
    for (auto _ : state) {
        Tsp_XYLine line;
        if (locked) {
            line.SetDrawLocked(true);
        } else {
            line.SetActive(false);
        }
        line.SetPlot(&plot);
        for (int i = 0; i < kPoints; ++i) {
            line.AddPoint(points.x[i], points.y[i]);
        }
        benchmark::DoNotOptimize(line.Count());
        line.SetPlot(nullptr);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_AddPoint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
