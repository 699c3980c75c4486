#include "plot/xy_line.h"

#include <QLine>
#include <QLineF>
#include <QPainter>
#include <QPoint>
#include <QPointF>
#include <QPolygon>
#include <QPolygonF>
#include <QRect>
#include <QRectF>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "plot/axis.h"
#include "plot/draw_context.h"
#include "plot/xy_plot.h"

namespace kalvora {

namespace {

// The axis mapping of Tsp_Scale::ValueToPixel, inlined: the series maps millions of values per
// paint and the call through the scale would dominate.
struct PixelMap {
    double originValue;
    double pixelsPerUnit;
    double originPixel;

    explicit PixelMap(const Tsp_Scale& scale)
        : originValue(scale.OriginValue()),
          pixelsPerUnit(scale.PixelsPerUnit()),
          originPixel(scale.OriginPixel()) {}

    int operator()(double value) const {
        const double pixel = std::nearbyint((value - originValue) * pixelsPerUnit + originPixel);
        if (!(pixel >= -kPixelLimit)) {
            return std::isnan(pixel) ? kPixelLimit : -kPixelLimit;
        }
        return pixel > kPixelLimit ? kPixelLimit : static_cast<int>(pixel);
    }
};

// The same mapping without rounding, for vector devices. A raster pixel p covers [p, p + 1), so the
// stroke of a point at p is centred on p + 0.5: the exact position keeps that half-pixel offset, so
// that a vector picture and a bitmap of the same plot put each point in the same place.
struct ExactMap {
    double originValue;
    double pixelsPerUnit;
    double originPixel;

    explicit ExactMap(const Tsp_Scale& scale)
        : originValue(scale.OriginValue()),
          pixelsPerUnit(scale.PixelsPerUnit()),
          originPixel(scale.OriginPixel()) {}

    double operator()(double value) const {
        const double pixel = (value - originValue) * pixelsPerUnit + originPixel;
        if (std::isnan(pixel)) {
            return kPixelLimit;
        }
        return std::clamp(pixel, double(-kPixelLimit), double(kPixelLimit));
    }
};

// Vector pictures resolve a quarter of a pixel: markers closer than that to one drawn already, and
// line vertices inside a quarter-pixel column between its extremes, add nothing a viewer can see;
// leaving them out keeps a million-point export to a sane size.
constexpr double kExactCell = 0.25;

bool FarAway(int x, int y) {
    return x < -kFarAwayPixel || x > kFarAwayPixel || y < -kFarAwayPixel || y > kFarAwayPixel;
}

// One bit per field pixel: which pixels already carry a marker (or both ends of a one-pixel
// segment). Drawing the same thing on the same pixel again changes nothing, and dense series put
// most of their points on pixels that are already drawn.
class PixelSet {
  public:
    PixelSet(int left, int top, int right, int bottom)
        : left_(left),
          top_(top),
          width_(std::max(0, right - left)),
          height_(std::max(0, bottom - top)),
          bits_((static_cast<std::size_t>(width_) * height_ + 63) / 64, 0) {}

    // Marks the pixel; returns false if it was marked already or lies outside the field.
    bool Insert(int x, int y) {
        const int column = x - left_;
        const int row = y - top_;
        if (column < 0 || row < 0 || column >= width_ || row >= height_) {
            return false;
        }
        const std::size_t index = static_cast<std::size_t>(row) * width_ + column;
        std::uint64_t& word = bits_[index >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (index & 63);
        if (word & bit) {
            return false;
        }
        word |= bit;
        return true;
    }

  private:
    int left_;
    int top_;
    int width_;
    int height_;
    std::vector<std::uint64_t> bits_;
};

constexpr std::size_t kBatch = 4096;

// Collects primitives and hands them to the painter in arrays, which costs far less per primitive
// than one painter call each.
class Batcher {
  public:
    explicit Batcher(QPainter& painter) : painter_(painter) {
        lines_.reserve(kBatch);
        points_.reserve(kBatch);
        rects_.reserve(kBatch);
    }
    ~Batcher() { Flush(); }

    void Line(int x1, int y1, int x2, int y2) {
        lines_.emplace_back(x1, y1, x2, y2);
        if (lines_.size() == kBatch) {
            FlushLines();
        }
    }
    void Point(int x, int y) {
        points_.emplace_back(x, y);
        if (points_.size() == kBatch) {
            FlushPoints();
        }
    }
    void Rect(const QRect& rect) {
        rects_.push_back(rect);
        if (rects_.size() == kBatch) {
            FlushRects();
        }
    }
    void Flush() {
        FlushLines();
        FlushPoints();
        FlushRects();
    }

  private:
    void FlushLines() {
        if (!lines_.empty()) {
            painter_.drawLines(lines_.data(), int(lines_.size()));
            lines_.clear();
        }
    }
    void FlushPoints() {
        if (!points_.empty()) {
            painter_.drawPoints(points_.data(), int(points_.size()));
            points_.clear();
        }
    }
    void FlushRects() {
        if (!rects_.empty()) {
            painter_.drawRects(rects_.data(), int(rects_.size()));
            rects_.clear();
        }
    }

    QPainter& painter_;
    std::vector<QLine> lines_;
    std::vector<QPoint> points_;
    std::vector<QRect> rects_;
};

Qt::BrushStyle QtBrushStyle(Tsp_BrushStyle style) {
    switch (style) {
        case bsSolid:
            return Qt::SolidPattern;
        case bsClear:
            return Qt::NoBrush;
        case bsHorizontal:
            return Qt::HorPattern;
        case bsVertical:
            return Qt::VerPattern;
        case bsFDiagonal:
            return Qt::FDiagPattern;
        case bsBDiagonal:
            return Qt::BDiagPattern;
        case bsCross:
            return Qt::CrossPattern;
        case bsDiagCross:
            return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

}  // namespace

Tsp_XYLine::Tsp_XYLine() {
    pointAttr_.OnChange = [this] { AttributeChanged(); };
}

void Tsp_XYLine::Draw(const Tsp_DrawContext& context) {
    const int count = Count();
    if (Plot() == nullptr || count == 0) {
        return;
    }
    const Tsp_Axis& xAxis = context.xAxis;
    const Tsp_Axis& yAxis = context.yAxis;
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    if (!GetXMin(xMin) || !GetXMax(xMax) || !GetYMin(yMin) || !GetYMax(yMax)) {
        return;
    }
    if (xMin > xAxis.Max() || xMax < xAxis.Min() || yMin > yAxis.Max() || yMax < yAxis.Min()) {
        return;
    }

    QPainter& painter = context.painter;
    const Tsp_LineAttr& line = LineAttr();
    QPen pen(ToQColor(line.Color()));
    pen.setStyle(ToQtPenStyle(line.Style()));
    // Width 1, not the cosmetic width 0: on the screen both are one pixel (and take the same fast
    // path), but a cosmetic pen stays one device dot on a 600-dpi printer page, hair-thin.
    pen.setWidth(std::max<int>(1, line.Width()));
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    painter.setBrush(QBrush(ToQColor(pointAttr_.Color()), QtBrushStyle(pointAttr_.Style())));
    if (context.exact) {
        DrawExact(context);
        return;
    }

    const PixelMap mapX(xAxis);
    const PixelMap mapY(yAxis);
    const int left = context.fieldLeft;
    const int top = context.fieldTop;
    const int right = context.fieldRight;
    const int bottom = context.fieldBottom;
    auto inside = [&](int x, int y) { return x >= left && x < right && y >= top && y < bottom; };

    const double* xs = XValues().data();
    const double* ys = YValues().data();
    const bool markers = pointAttr_.Visible();
    const bool segments = line.Visible() && count >= 2;
    // Skipping repeats is exact only for a plain one-pixel pen: dashes and wide pens depend on
    // where a line starts.
    const bool plainPen = line.Style() == psSolid && line.Width() <= 1;

    PixelSet markerPixels(left, top, right, bottom);
    std::vector<QPoint> markerAt;
    if (markers) {
        markerAt.reserve(segments ? std::min<std::size_t>(count, 1u << 20) : 0);
    }

    if (segments) {
        PixelSet segmentPixels(left, top, right, bottom);
        Batcher batch(painter);
        // Consecutive segments inside one pixel column join into one vertical line from the least
        // to the greatest y, exactly what they would cover one by one: a dense time series puts
        // hundreds of points in each column.
        bool runOpen = false;
        int runX = 0, runLow = 0, runHigh = 0;
        auto closeRun = [&] {
            if (runOpen) {
                batch.Line(runX, runLow, runX, runHigh);
                runOpen = false;
            }
        };
        int previousX = mapX(xs[0]);
        int previousY = mapY(ys[0]);
        bool previousValid = std::isfinite(xs[0]) && std::isfinite(ys[0]);
        for (int i = 1; i < count; ++i) {
            const bool valid = std::isfinite(xs[i]) && std::isfinite(ys[i]);
            const int x = valid ? mapX(xs[i]) : 0;
            const int y = valid ? mapY(ys[i]) : 0;
            if (valid && previousValid && !(FarAway(previousX, previousY) && FarAway(x, y))) {
                if (markers && inside(previousX, previousY)) {
                    markerAt.emplace_back(previousX, previousY);
                }
                if (plainPen && x == previousX) {
                    if (runOpen && runX == x) {
                        runLow = std::min(runLow, y);
                        runHigh = std::max(runHigh, y);
                    } else {
                        closeRun();
                        runOpen = true;
                        runX = x;
                        runLow = std::min(previousY, y);
                        runHigh = std::max(previousY, y);
                    }
                } else {
                    closeRun();
                    const bool tiny = std::abs(x - previousX) <= 1 && std::abs(y - previousY) <= 1;
                    if (tiny && plainPen && inside(previousX, previousY) && inside(x, y)) {
                        // A segment between neighbouring pixels covers just its two ends; once
                        // both are drawn it adds nothing.
                        const bool newStart = segmentPixels.Insert(previousX, previousY);
                        const bool newEnd = segmentPixels.Insert(x, y);
                        if (newStart || newEnd) {
                            batch.Line(previousX, previousY, x, y);
                        }
                    } else {
                        batch.Line(previousX, previousY, x, y);
                    }
                }
            } else {
                closeRun();
            }
            previousX = x;
            previousY = y;
            previousValid = valid;
        }
        closeRun();
        if (markers && previousValid && inside(previousX, previousY)) {
            markerAt.emplace_back(previousX, previousY);
        }
        batch.Flush();
    } else if (markers) {
        markerAt.reserve(std::min<std::size_t>(count, 1u << 20));
        for (int i = 0; i < count; ++i) {
            if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) {
                continue;
            }
            const int x = mapX(xs[i]);
            const int y = mapY(ys[i]);
            if (inside(x, y)) {
                markerAt.emplace_back(x, y);
            }
        }
    }
    if (markerAt.empty()) {
        return;
    }

    const int l = pointAttr_.LeftExtent();
    const int t = pointAttr_.TopExtent();
    const int r = pointAttr_.RightExtent();
    const int b = pointAttr_.BottomExtent();
    const TPointKind kind = pointAttr_.Kind();
    if (kind == ptCustom) {
        if (OnDrawCustomPoint) {
            for (const QPoint& p : markerAt) {
                OnDrawCustomPoint(painter, p.x(), p.y());
            }
        }
        return;
    }
    Batcher batch(painter);
    for (const QPoint& p : markerAt) {
        const int x = p.x();
        const int y = p.y();
        // Every marker of a series looks the same, so a second one on the same pixel is invisible.
        if (!markerPixels.Insert(x, y)) {
            continue;
        }
        switch (kind) {
            case ptRectangle: {
                // Corners (x - l, y - t) and (x + r, y + t + 1), the far ones exclusive.
                const int width = l + r;
                const int height = 2 * t + 1;
                if (width >= 1 && height >= 1) {
                    batch.Rect(QRect(x - l, y - t, width - 1, height - 1));
                }
                break;
            }
            case ptEllipse:
                painter.drawEllipse(
                    QRect(x - l, y - t, std::max(0, l + r - 1), std::max(0, t + b - 1)));
                break;
            case ptDiamond: {
                const QPoint corners[4] = {QPoint(x, y - t), QPoint(x + l, y), QPoint(x, y + t),
                                           QPoint(x - l, y)};
                painter.drawPolygon(corners, 4);
                break;
            }
            case ptCross:
                // Lines from x - l to x + r and from y - t to y + b, the far ends exclusive.
                if (l + r <= 1 && t + b <= 1) {
                    batch.Point(x, y);
                } else {
                    if (l + r >= 1) {
                        batch.Line(x - l, y, x + r - 1, y);
                    }
                    if (t + b >= 1) {
                        batch.Line(x, y - t, x, y + b - 1);
                    }
                }
                break;
            case ptCustom:
                break;
        }
    }
}

void Tsp_XYLine::DrawExact(const Tsp_DrawContext& context) {
    QPainter& painter = context.painter;
    const int count = Count();
    const Tsp_LineAttr& line = LineAttr();
    const PixelMap pixelX(context.xAxis);
    const PixelMap pixelY(context.yAxis);
    const ExactMap mapX(context.xAxis);
    const ExactMap mapY(context.yAxis);
    const int left = context.fieldLeft;
    const int top = context.fieldTop;
    const int right = context.fieldRight;
    const int bottom = context.fieldBottom;
    // Which points are inside, and which segments are too far away to draw, is decided on the
    // rounded pixels, so the vector picture shows exactly the points and segments the bitmap does.
    auto inside = [&](int x, int y) { return x >= left && x < right && y >= top && y < bottom; };
    const double* xs = XValues().data();
    const double* ys = YValues().data();
    const bool markers = pointAttr_.Visible();
    const bool segments = line.Visible() && count >= 2;
    std::vector<QPointF> markerAt;

    if (segments) {
        // Consecutive points within one quarter-pixel column keep only the vertices that bound
        // them: the first, the lowest, the highest and the last, in the order they came. The line
        // through those covers what the line through all of them covers, to a quarter pixel; a
        // dense time series puts a thousand points in every column.
        QPolygonF run;
        struct Vertex {
            int index = 0;
            QPointF at;
        };
        int cell = 0;
        bool pending = false;
        Vertex low, high, last;
        auto flushCell = [&] {
            if (!pending) {
                return;
            }
            std::array<Vertex, 3> bounds{low, high, last};
            std::sort(bounds.begin(), bounds.end(),
                      [](const Vertex& a, const Vertex& b) { return a.index < b.index; });
            for (const Vertex& vertex : bounds) {
                if (run.back() != vertex.at) {
                    run.append(vertex.at);
                }
            }
            pending = false;
        };
        auto keep = [&](int index, const QPointF& point) {
            const int column = static_cast<int>(std::floor(point.x() / kExactCell));
            if (run.isEmpty() || column != cell) {
                flushCell();
                run.append(point);
                cell = column;
                low = high = last = Vertex{index, point};
                return;
            }
            pending = true;
            if (point.y() < low.at.y()) {
                low = Vertex{index, point};
            }
            if (point.y() > high.at.y()) {
                high = Vertex{index, point};
            }
            last = Vertex{index, point};
        };
        auto closeRun = [&] {
            if (!run.isEmpty()) {
                flushCell();
                if (run.size() == 1) {
                    run.append(run.back());
                }
                painter.drawPolyline(run);
                run.clear();
            }
        };
        auto centre = [&](int i) { return QPointF(mapX(xs[i]) + 0.5, mapY(ys[i]) + 0.5); };
        int previousX = pixelX(xs[0]);
        int previousY = pixelY(ys[0]);
        bool previousValid = std::isfinite(xs[0]) && std::isfinite(ys[0]);
        for (int i = 1; i < count; ++i) {
            const bool valid = std::isfinite(xs[i]) && std::isfinite(ys[i]);
            const int x = valid ? pixelX(xs[i]) : 0;
            const int y = valid ? pixelY(ys[i]) : 0;
            if (valid && previousValid && !(FarAway(previousX, previousY) && FarAway(x, y))) {
                if (markers && inside(previousX, previousY)) {
                    markerAt.push_back(centre(i - 1));
                }
                if (run.isEmpty()) {
                    keep(i - 1, centre(i - 1));
                }
                keep(i, centre(i));
            } else {
                closeRun();
            }
            previousX = x;
            previousY = y;
            previousValid = valid;
        }
        closeRun();
        if (markers && previousValid && inside(previousX, previousY)) {
            markerAt.push_back(centre(count - 1));
        }
    } else if (markers) {
        for (int i = 0; i < count; ++i) {
            if (std::isfinite(xs[i]) && std::isfinite(ys[i]) &&
                inside(pixelX(xs[i]), pixelY(ys[i]))) {
                markerAt.emplace_back(mapX(xs[i]) + 0.5, mapY(ys[i]) + 0.5);
            }
        }
    }
    if (markerAt.empty()) {
        return;
    }

    // Marker geometry as on the raster, around the point's centre instead of a pixel's corner.
    const double l = pointAttr_.LeftExtent();
    const double t = pointAttr_.TopExtent();
    const double r = pointAttr_.RightExtent();
    const double b = pointAttr_.BottomExtent();
    const TPointKind kind = pointAttr_.Kind();
    // A quarter-pixel grid over the field: one marker per cell.
    constexpr int kCellsPerPixel = 4;
    PixelSet cells(left * kCellsPerPixel, top * kCellsPerPixel, right * kCellsPerPixel,
                   bottom * kCellsPerPixel);
    std::vector<QRectF> dots;
    std::vector<QLineF> lines;
    for (const QPointF& p : markerAt) {
        if (!cells.Insert(static_cast<int>(std::floor(p.x() * kCellsPerPixel)),
                          static_cast<int>(std::floor(p.y() * kCellsPerPixel)))) {
            continue;
        }
        const double x = p.x();
        const double y = p.y();
        switch (kind) {
            case ptRectangle:
                if (l + r >= 1) {
                    painter.drawRect(QRectF(x - l, y - t, l + r - 1, 2 * t));
                }
                break;
            case ptEllipse:
                painter.drawEllipse(
                    QRectF(x - l, y - t, std::max(0.0, l + r - 1), std::max(0.0, t + b - 1)));
                break;
            case ptDiamond: {
                const QPointF corners[4] = {QPointF(x, y - t), QPointF(x + l, y), QPointF(x, y + t),
                                            QPointF(x - l, y)};
                painter.drawPolygon(corners, 4);
                break;
            }
            case ptCross:
                if (l + r <= 1 && t + b <= 1) {
                    dots.emplace_back(x - 0.5, y - 0.5, 1.0, 1.0);
                } else {
                    if (l + r >= 1) {
                        lines.emplace_back(x - l, y, x + r - 1, y);
                    }
                    if (t + b >= 1) {
                        lines.emplace_back(x, y - t, x, y + b - 1);
                    }
                }
                break;
            case ptCustom:
                if (OnDrawCustomPoint) {
                    OnDrawCustomPoint(painter, static_cast<int>(std::floor(x)),
                                      static_cast<int>(std::floor(y)));
                }
                break;
        }
    }
    if (!lines.empty()) {
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
    if (!dots.empty()) {
        // A one-pixel dot is a filled square: a zero-length stroke is not drawn alike everywhere.
        painter.save();
        const QColor colour = painter.pen().color();
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRects(dots.data(), static_cast<int>(dots.size()));
        painter.restore();
    }
}

}  // namespace kalvora
