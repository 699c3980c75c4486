#include "plot/xy_plot.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

#include "plot/draw_context.h"

namespace kalvora {

QColor ToQColor(Tsp_Color color) {
    return QColor(color.Red(), color.Green(), color.Blue());
}

Tsp_Color FromQColor(const QColor& color) {
    return Tsp_Color(color.red(), color.green(), color.blue());
}

Qt::PenStyle ToQtPenStyle(Tsp_PenStyle style) {
    switch (style) {
        case psSolid:
            return Qt::SolidLine;
        case psDash:
            return Qt::DashLine;
        case psDot:
            return Qt::DotLine;
        case psDashDot:
            return Qt::DashDotLine;
        case psDashDotDot:
            return Qt::DashDotDotLine;
        case psClear:
            return Qt::NoPen;
    }
    return Qt::SolidLine;
}

namespace {

QPen PenOf(const Tsp_LineAttr& attr) {
    QPen pen(ToQColor(attr.Color()));
    pen.setStyle(ToQtPenStyle(attr.Style()));
    pen.setWidth(1);
    return pen;
}

Tsp_ShiftKeys ShiftKeysOf(Qt::KeyboardModifiers modifiers) {
    Tsp_ShiftKeys keys = 0;
    if (modifiers & Qt::ShiftModifier) {
        keys |= ssShift;
    }
    if (modifiers & Qt::AltModifier) {
        keys |= ssAlt;
    }
    if (modifiers & Qt::ControlModifier) {
        keys |= ssCtrl;
    }
    return keys;
}

const QColor kLightEdge(255, 255, 255);
const QColor kDarkEdge(128, 128, 128);

}  // namespace

Tsp_XYPlot::Tsp_XYPlot(QWidget* parent) : QWidget(parent) {
    leftAxis_ = std::make_unique<Tsp_Axis>(*this, sfVertical);
    rightAxis_ =
        std::make_unique<Tsp_Axis>(*this, sfVertical | sfFarSide | sfNoTicks | sfNoTicksLabel);
    bottomAxis_ = std::make_unique<Tsp_Axis>(*this, 0);
    topAxis_ = std::make_unique<Tsp_Axis>(*this, sfFarSide | sfNoTicks | sfNoTicksLabel);
    leftAxis_->GridAttr().SetVisible(true);
    bottomAxis_->GridAttr().SetVisible(true);
    // Every pixel is painted by the plot itself; letting Qt erase first would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(180, 120);
    ready_ = true;
}

Tsp_XYPlot::~Tsp_XYPlot() {
    for (Tsp_DataSeries* series : series_) {
        series->PlotDestroyed();
    }
}

// ---------------------------------------------------------------------------------------------
// Properties

void Tsp_XYPlot::SetBufferedDisplay(bool on) {
    if (on) {
        if (buffer_.isNull()) {
            buffer_ = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
        }
    } else {
        buffer_ = QImage();
    }
    Invalidate();
}

void Tsp_XYPlot::SetBorderStyle(G_BorderStyle style) {
    borderStyle_ = style;
    InvalidateFrame();
    update();
}

void Tsp_XYPlot::SetFieldColor(Tsp_Color color) {
    fieldColor_ = color;
    InvalidateField();
}

void Tsp_XYPlot::SetColor(Tsp_Color color) {
    color_ = color;
    InvalidateFrame();
    update();
}

void Tsp_XYPlot::SetShowAxisTitles(bool on) {
    if (on != showAxisTitles_) {
        showAxisTitles_ = on;
        Invalidate();
    }
}

int Tsp_XYPlot::TitleRoom(const Tsp_Axis& axis, int charHeight) const {
    return showAxisTitles_ && !axis.Title().empty() ? charHeight + 3 : 0;
}

int Tsp_XYPlot::AxisTitleRoom(const Tsp_Axis& axis) const {
    return TitleRoom(axis, QFontMetrics(font()).height());
}

void Tsp_XYPlot::SetXCursorOn(bool on) {
    if (on == xCursorOn_) {
        return;
    }
    xCursorOn_ = on;
    // The cursor is drawn over the finished picture after every paint; a paint also removes it.
    update();
}

void Tsp_XYPlot::SetXCursorVal(double value) {
    const int oldPixel = XCursorPixel();
    xCursorVal_ = value;
    if (xCursorOn_ && XCursorPixel() != oldPixel) {
        update();
    }
}

int Tsp_XYPlot::XCursorPixel() const {
    return bottomAxis_->ValueToPixel(xCursorVal_);
}

// ---------------------------------------------------------------------------------------------
// Invalidation

void Tsp_XYPlot::Invalidate() {
    if (!ready_) {
        return;
    }
    layoutValid_ = frameValid_ = fieldValid_ = false;
    update();
}

void Tsp_XYPlot::InvalidateField() {
    if (!ready_) {
        return;
    }
    fieldValid_ = false;
    update();
}

void Tsp_XYPlot::InvalidateFrame() {
    if (!ready_) {
        return;
    }
    frameValid_ = false;
}

void Tsp_XYPlot::AxisRangeChanged(Tsp_Axis&) {
    // Auto-scaling decides itself between a full and a field-only repaint.
    if (!autoScaling_) {
        Invalidate();
    }
}

// ---------------------------------------------------------------------------------------------
// Series and auto-scaling

Tsp_Axis& Tsp_XYPlot::XAxisOf(const Tsp_DataSeries& series) {
    return series.XAxis() == dsxTop ? *topAxis_ : *bottomAxis_;
}

Tsp_Axis& Tsp_XYPlot::YAxisOf(const Tsp_DataSeries& series) {
    return series.YAxis() == dsyRight ? *rightAxis_ : *leftAxis_;
}

bool Tsp_XYPlot::AutoScaleAxis(Tsp_Axis& axis) {
    if (!ready_ || (!axis.AutoMin() && !axis.AutoMax())) {
        return false;
    }
    const bool horizontal = &axis == bottomAxis_.get() || &axis == topAxis_.get();
    bool found = false;
    double low = 0;
    double high = 0;
    for (const Tsp_DataSeries* series : series_) {
        if (!series->Active()) {
            continue;
        }
        double seriesLow = 0;
        double seriesHigh = 0;
        bool bound = false;
        if (horizontal) {
            bound = &XAxisOf(*series) == &axis && series->GetXMin(seriesLow) &&
                    series->GetXMax(seriesHigh);
        } else {
            bound = &YAxisOf(*series) == &axis && series->GetYMin(seriesLow) &&
                    series->GetYMax(seriesHigh);
        }
        if (!bound) {
            continue;
        }
        if (!found) {
            low = seriesLow;
            high = seriesHigh;
            found = true;
        } else {
            low = std::min(low, seriesLow);
            high = std::max(high, seriesHigh);
        }
    }
    if (!found) {
        return false;
    }
    if (!axis.AutoMin()) {
        low = axis.Min();
    }
    if (!axis.AutoMax()) {
        high = axis.Max();
    }
    const double margin = (high - low) * 0.025;
    if (axis.AutoMin()) {
        low -= margin;
    }
    if (axis.AutoMax()) {
        high += margin;
    }
    const double oldMin = axis.Min();
    const double oldMax = axis.Max();
    autoScaling_ = true;
    axis.SetRange(high, low);
    autoScaling_ = false;
    return axis.Min() != oldMin || axis.Max() != oldMax;
}

void Tsp_XYPlot::AttachSeries(Tsp_DataSeries& series) {
    if (std::find(series_.begin(), series_.end(), &series) == series_.end()) {
        series_.push_back(&series);
    }
    if (series.Active()) {
        SeriesChanged(series, false);
    }
}

void Tsp_XYPlot::DetachSeries(Tsp_DataSeries& series) {
    series_.erase(std::remove(series_.begin(), series_.end(), &series), series_.end());
    AutoScaleAxis(XAxisOf(series));
    AutoScaleAxis(YAxisOf(series));
    Invalidate();
}

void Tsp_XYPlot::SeriesChanged(Tsp_DataSeries& series, bool repaintNow) {
    const bool xChanged = AutoScaleAxis(XAxisOf(series));
    const bool yChanged = AutoScaleAxis(YAxisOf(series));
    if (xChanged || yChanged) {
        Invalidate();
    } else {
        InvalidateField();
    }
    if (repaintNow) {
        repaint();
    }
}

void Tsp_XYPlot::SeriesAppearanceChanged(Tsp_DataSeries&) {
    InvalidateField();
}

// ---------------------------------------------------------------------------------------------
// Layout and painting

void Tsp_XYPlot::UpdateLayout() {
    // Measured on the device the control paints on, so this layout equals the painted one.
    QPaintDevice* device = buffer_.isNull() ? static_cast<QPaintDevice*>(this) : &buffer_;
    Layout(QFontMetrics(font(), device), width(), height());
    if (!layoutValid_) {
        frameValid_ = fieldValid_ = false;
    }
    layoutValid_ = true;
}

void Tsp_XYPlot::Layout(const QFontMetrics& metrics, int width, int height) {
    const int charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
    const int charHeight = metrics.height();
    // The overhangs depend on the pixel mapping, which the layout itself sets; a second pass
    // (rarely a third) settles it, so the first picture at a new size equals every later one.
    for (int pass = 0; pass < 3; ++pass) {
        const int oldLeft = fieldLeft_, oldTop = fieldTop_;
        const int oldRight = fieldRight_, oldBottom = fieldBottom_;
        LayoutPass(charWidth, charHeight, width, height);
        if (pass > 0 && oldLeft == fieldLeft_ && oldTop == fieldTop_ && oldRight == fieldRight_ &&
            oldBottom == fieldBottom_) {
            break;
        }
    }
}

void Tsp_XYPlot::LayoutPass(int charWidth, int charHeight, int width, int height) {
    Tsp_Axis& left = *leftAxis_;
    Tsp_Axis& right = *rightAxis_;
    Tsp_Axis& bottom = *bottomAxis_;
    Tsp_Axis& top = *topAxis_;

    // A title sits between the labels and the margin, so an axis without one keeps the layout of
    // a plot that has no titles at all.
    const int leftInset = std::max({left.LabelSpace(charWidth, charHeight),
                                    bottom.StartOverhang(charWidth, charHeight),
                                    top.StartOverhang(charWidth, charHeight)}) +
                          TitleRoom(left, charHeight) + left.Margin();
    const int bottomInset = std::max({bottom.LabelSpace(charWidth, charHeight),
                                      left.StartOverhang(charWidth, charHeight),
                                      right.StartOverhang(charWidth, charHeight)}) +
                            TitleRoom(bottom, charHeight) + bottom.Margin();
    const int rightInset = std::max({right.LabelSpace(charWidth, charHeight),
                                     bottom.EndOverhang(charWidth, charHeight),
                                     top.EndOverhang(charWidth, charHeight)}) +
                           TitleRoom(right, charHeight) + right.Margin();
    const int topInset =
        std::max({top.LabelSpace(charWidth, charHeight), left.EndOverhang(charWidth, charHeight),
                  right.EndOverhang(charWidth, charHeight)}) +
        TitleRoom(top, charHeight) + top.Margin();

    fieldLeft_ = leftInset;
    fieldTop_ = topInset;
    fieldRight_ = std::max(width - rightInset, fieldLeft_ + 3);
    fieldBottom_ = std::max(height - bottomInset, fieldTop_ + 3);
    const int fieldWidth = fieldRight_ - fieldLeft_;
    const int fieldHeight = fieldBottom_ - fieldTop_;

    left.SetLinePos(fieldLeft_ - 1, fieldBottom_ - 1, fieldHeight - 1);
    right.SetLinePos(fieldRight_, fieldBottom_ - 1, fieldHeight - 1);
    bottom.SetLinePos(fieldLeft_, fieldBottom_, fieldWidth - 1);
    top.SetLinePos(fieldLeft_, fieldTop_ - 1, fieldWidth - 1);
}

void Tsp_XYPlot::PaintFrame(QPainter& painter, int width, int height) {
    const QColor background = ToQColor(color_);
    painter.fillRect(QRect(0, 0, width, fieldTop_), background);
    painter.fillRect(QRect(0, fieldBottom_, width, height - fieldBottom_), background);
    painter.fillRect(QRect(0, fieldTop_, fieldLeft_, fieldBottom_ - fieldTop_), background);
    painter.fillRect(QRect(fieldRight_, fieldTop_, width - fieldRight_, fieldBottom_ - fieldTop_),
                     background);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.save();
    OffsetStrokes(painter);
    PaintAxisLines(painter);
    PaintTicksAndLabels(painter, *topAxis_);
    PaintTicksAndLabels(painter, *rightAxis_);
    PaintTicksAndLabels(painter, *leftAxis_);
    PaintTicksAndLabels(painter, *bottomAxis_);
    PaintBorder(painter, width, height);
    painter.restore();
    PaintAxisTitles(painter, width, height);
}

void Tsp_XYPlot::PaintAxisTitles(QPainter& painter, int width, int height) {
    const QFontMetrics metrics(painter.font(), painter.device());
    const int room = metrics.height();
    painter.save();
    painter.setPen(palette().color(QPalette::WindowText));
    // Each title is centred on the field's side, against the margin at the picture's edge; the
    // vertical ones read upwards (left) and downwards (right).
    const QPointF fieldCentre((fieldLeft_ + fieldRight_) / 2.0, (fieldTop_ + fieldBottom_) / 2.0);
    const double fieldWidth = fieldRight_ - fieldLeft_;
    const double fieldHeight = fieldBottom_ - fieldTop_;
    auto draw = [&](const Tsp_Axis& axis, QPointF centre, double angle, double length) {
        if (TitleRoom(axis, room) == 0) {
            return;
        }
        painter.save();
        painter.translate(centre);
        painter.rotate(angle);
        const QString text =
            metrics.elidedText(QString::fromStdString(axis.Title()), Qt::ElideRight,
                               static_cast<int>(std::max(length, 1.0)));
        painter.drawText(QRectF(-length / 2, -room / 2.0, length, room), Qt::AlignCenter, text);
        painter.restore();
    };
    draw(*bottomAxis_, QPointF(fieldCentre.x(), height - bottomAxis_->Margin() - room / 2.0), 0,
         fieldWidth);
    draw(*topAxis_, QPointF(fieldCentre.x(), topAxis_->Margin() + room / 2.0), 0, fieldWidth);
    draw(*leftAxis_, QPointF(leftAxis_->Margin() + room / 2.0, fieldCentre.y()), -90, fieldHeight);
    draw(*rightAxis_, QPointF(width - rightAxis_->Margin() - room / 2.0, fieldCentre.y()), 90,
         fieldHeight);
    painter.restore();
}

void Tsp_XYPlot::OffsetStrokes(QPainter& painter) const {
    // On the screen a one-pixel line at x fills the pixel from x to x + 1; a vector device strokes
    // it centred on x, half outside: the frame round the picture's edge would lose its left and
    // top halves and blur the others. Half a pixel right and down puts every line where the screen
    // has it.
    if (exact_) {
        painter.translate(0.5, 0.5);
    }
}

void Tsp_XYPlot::PaintAxisLines(QPainter& painter) {
    auto visibleWidth = [](const Tsp_Axis& axis) {
        return axis.LineAttr().Visible() ? int(axis.LineAttr().Width()) : 0;
    };
    const int leftWidth = visibleWidth(*leftAxis_);
    const int rightWidth = visibleWidth(*rightAxis_);
    const int bottomWidth = visibleWidth(*bottomAxis_);
    const int topWidth = visibleWidth(*topAxis_);
    // Each axis is Width one-pixel lines stepping away from the field, lengthened by the widths of
    // the adjoining axes so that the corners close.
    const int xFrom = fieldLeft_ - leftWidth;
    const int xTo = fieldRight_ - 1 + rightWidth;
    const int yFrom = fieldTop_ - topWidth;
    const int yTo = fieldBottom_ - 1 + bottomWidth;
    if (topWidth > 0) {
        painter.setPen(PenOf(topAxis_->LineAttr()));
        for (int i = 0; i < topWidth; ++i) {
            const int y = topAxis_->LineY() - i;
            painter.drawLine(xFrom, y, xTo, y);
        }
    }
    if (rightWidth > 0) {
        painter.setPen(PenOf(rightAxis_->LineAttr()));
        for (int i = 0; i < rightWidth; ++i) {
            const int x = rightAxis_->LineX() + i;
            painter.drawLine(x, yFrom, x, yTo);
        }
    }
    if (bottomWidth > 0) {
        painter.setPen(PenOf(bottomAxis_->LineAttr()));
        for (int i = 0; i < bottomWidth; ++i) {
            const int y = bottomAxis_->LineY() + i;
            painter.drawLine(xFrom, y, xTo, y);
        }
    }
    if (leftWidth > 0) {
        painter.setPen(PenOf(leftAxis_->LineAttr()));
        for (int i = 0; i < leftWidth; ++i) {
            const int x = leftAxis_->LineX() - i;
            painter.drawLine(x, yFrom, x, yTo);
        }
    }
}

void Tsp_XYPlot::PaintTicksAndLabels(QPainter& painter, const Tsp_Axis& axis) {
    if (axis.NoTicks() && axis.NoTicksLabel()) {
        return;
    }
    const QColor fontColour = palette().color(QPalette::WindowText);
    painter.setPen(QPen(fontColour, 1, Qt::SolidLine));
    const QFontMetrics metrics(painter.font(), painter.device());
    const int textHeight = metrics.height();
    const int lineWidth = axis.LineAttr().Width();
    const int away = axis.FarSide() ? 1 : -1;
    for (int i = 0; i < axis.TicksCount(); ++i) {
        const int tick = axis.TickPixel(i);
        if (axis.Vertical()) {
            const int x = axis.LineX() + away * lineWidth;
            if (!axis.NoTicks()) {
                painter.drawLine(x, tick, x + away * 3, tick);
            }
            if (!axis.NoTicksLabel()) {
                const QString text = QString::fromStdString(axis.TickLabel(i));
                const int textWidth = metrics.horizontalAdvance(text);
                const int edge = axis.LineX() + away * (lineWidth + 5);
                const int textLeft = axis.FarSide() ? edge : edge - textWidth;
                painter.drawText(QRect(textLeft, tick - textHeight / 2, textWidth, textHeight),
                                 Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
            }
        } else {
            const int y = axis.LineY() - away * lineWidth;
            if (!axis.NoTicks()) {
                painter.drawLine(tick, y, tick, y - away * 3);
            }
            if (!axis.NoTicksLabel()) {
                const QString text = QString::fromStdString(axis.TickLabel(i));
                const int textWidth = metrics.horizontalAdvance(text);
                const int textTop = axis.FarSide() ? axis.LineY() - lineWidth - textHeight - 5
                                                   : axis.LineY() + lineWidth + 5;
                painter.drawText(QRect(tick - textWidth / 2, textTop, textWidth, textHeight),
                                 Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
            }
        }
    }
}

void Tsp_XYPlot::PaintBorder(QPainter& painter, int width, int height) {
    const int right = width - 1;
    const int bottom = height - 1;
    auto frame3d = [&](const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(QPen(topLeft, 1));
        painter.drawLine(0, 0, right, 0);
        painter.drawLine(0, 0, 0, bottom);
        painter.setPen(QPen(bottomRight, 1));
        painter.drawLine(0, bottom, right, bottom);
        painter.drawLine(right, 0, right, bottom);
    };
    painter.setBrush(Qt::NoBrush);
    switch (borderStyle_) {
        case bs_None:
            break;
        case bs_Raised:
            frame3d(kLightEdge, kDarkEdge);
            break;
        case bs_Lowered:
            frame3d(kDarkEdge, kLightEdge);
            break;
        case bs_Gutter:
            painter.setPen(QPen(kLightEdge, 1));
            painter.drawRect(1, 1, right - 1, bottom - 1);
            painter.setPen(QPen(kDarkEdge, 1));
            painter.drawRect(0, 0, right - 1, bottom - 1);
            break;
        case bs_BlackRect:
            painter.setPen(QPen(Qt::black, 1));
            painter.drawRect(0, 0, right, bottom);
            break;
    }
}

void Tsp_XYPlot::PaintGrid(QPainter& painter, const Tsp_Axis& axis) {
    if (!axis.GridAttr().Visible() || axis.TicksCount() == 0) {
        return;
    }
    painter.setPen(PenOf(axis.GridAttr()));
    for (int i = 0; i < axis.TicksCount(); ++i) {
        const int tick = axis.TickPixel(i);
        if (axis.Vertical()) {
            if (tick > fieldTop_ && tick < fieldBottom_ - 1) {
                painter.drawLine(fieldLeft_, tick, fieldRight_ - 1, tick);
            }
        } else if (tick > fieldLeft_ && tick < fieldRight_ - 1) {
            painter.drawLine(tick, fieldTop_, tick, fieldBottom_ - 1);
        }
    }
}

void Tsp_XYPlot::PaintField(QPainter& painter) {
    painter.save();
    const QRect field = FieldRect();
    // A caller that clips already (a printed page, a preview) keeps its clip.
    painter.setClipRect(field, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    painter.fillRect(field, ToQColor(fieldColor_));
    if (OnFieldDraw) {
        OnFieldDraw(*this, painter);
    }
    painter.save();
    OffsetStrokes(painter);
    PaintGrid(painter, *leftAxis_);
    PaintGrid(painter, *bottomAxis_);
    PaintGrid(painter, *rightAxis_);
    PaintGrid(painter, *topAxis_);
    painter.restore();
    for (Tsp_DataSeries* series : series_) {
        if (series->Active()) {
            const Tsp_DrawContext context{painter,          *this,        XAxisOf(*series),
                                          YAxisOf(*series), fieldLeft_,   fieldTop_,
                                          fieldRight_,      fieldBottom_, exact_};
            series->Draw(context);
        }
    }
    painter.restore();
}

void Tsp_XYPlot::PaintPlot(QPainter& painter, int width, int height, bool useValidity) {
    painter.setFont(font());
    // Everything but a bitmap (the screen paints into one too) is a vector device.
    exact_ =
        painter.paintEngine() != nullptr && painter.paintEngine()->type() != QPaintEngine::Raster;
    if (!useValidity || !layoutValid_) {
        Layout(QFontMetrics(painter.font(), painter.device()), width, height);
        // A new layout moves the field, so frame and field must follow.
        frameValid_ = fieldValid_ = false;
    }
    if (!useValidity || !frameValid_) {
        PaintFrame(painter, width, height);
    }
    if (!useValidity || !fieldValid_) {
        PaintField(painter);
    }
    layoutValid_ = frameValid_ = fieldValid_ = true;
    if (OnDrawEnd) {
        OnDrawEnd(*this, painter);
    }
}

bool Tsp_XYPlot::EnsureBuffer() {
    if (buffer_.isNull()) {
        return false;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize wanted(std::max(1, qRound(width() * ratio)), std::max(1, qRound(height() * ratio)));
    if (buffer_.size() != wanted) {
        QImage resized(wanted, QImage::Format_RGB32);
        if (resized.isNull()) {
            return false;
        }
        resized.setDevicePixelRatio(ratio);
        buffer_ = resized;
        layoutValid_ = frameValid_ = fieldValid_ = false;
    }
    return true;
}

void Tsp_XYPlot::paintEvent(QPaintEvent*) {
    QPainter screen(this);
    if (mouseState_ == 2 && !dragSnapshot_.isNull()) {
        screen.drawImage(0, 0, dragSnapshot_);
    } else if (EnsureBuffer()) {
        {
            QPainter offscreen(&buffer_);
            PaintPlot(offscreen, width(), height(), true);
        }
        screen.drawImage(0, 0, buffer_);
    } else {
        // Without a buffer the picture is rebuilt on every paint.
        PaintPlot(screen, width(), height(), false);
    }
    PaintOverlays(screen);
}

void Tsp_XYPlot::PaintOverlays(QPainter& painter) {
    if (xCursorOn_) {
        const int x = XCursorPixel();
        if (x > fieldLeft_ && x < fieldRight_) {
            painter.save();
            painter.setCompositionMode(QPainter::RasterOp_NotDestination);
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(x, fieldTop_ + 1, x, fieldBottom_ - 2);
            painter.restore();
        }
    }
    if (mouseState_ == 2) {
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(
            QRect(QPoint(mouseX0_, mouseY0_), QPoint(mouseX1_, mouseY1_)).normalized());
        painter.restore();
    }
}

void Tsp_XYPlot::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutValid_ = frameValid_ = fieldValid_ = false;
    if (!buffer_.isNull()) {
        EnsureBuffer();
    }
}

void Tsp_XYPlot::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        Invalidate();
    }
}

// ---------------------------------------------------------------------------------------------
// Rendering onto other devices

void Tsp_XYPlot::DrawTo(QPainter& painter, int width, int height) {
    if (!painter.isActive() || width < 10 || height < 10) {
        return;
    }
    // The axes carry the pixel mapping of the layout; the control's own is put back afterwards,
    // so that a zoom right after an export or a print still maps the mouse correctly.
    struct AxisLine {
        Tsp_Axis* axis;
        int x, y, length;
    };
    std::vector<AxisLine> saved;
    for (Tsp_Axis* axis : {leftAxis_.get(), rightAxis_.get(), bottomAxis_.get(), topAxis_.get()}) {
        saved.push_back({axis, axis->LineX(), axis->LineY(), axis->LineLength()});
    }
    const QRect field = FieldRect();
    const bool layoutValid = layoutValid_, frameValid = frameValid_, fieldValid = fieldValid_;

    painter.save();
    PaintPlot(painter, width, height, false);
    painter.restore();

    for (const AxisLine& line : saved) {
        line.axis->SetLinePos(line.x, line.y, line.length);
    }
    fieldLeft_ = field.left();
    fieldTop_ = field.top();
    fieldRight_ = field.left() + field.width();
    fieldBottom_ = field.top() + field.height();
    layoutValid_ = layoutValid;
    frameValid_ = frameValid;
    fieldValid_ = fieldValid;
}

QImage Tsp_XYPlot::RenderBitmap() {
    QImage image(std::max(10, width()), std::max(10, height()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawTo(painter, image.width(), image.height());
    return image;
}

QByteArray Tsp_XYPlot::RenderSvg() {
    QByteArray bytes;
    QBuffer device(&bytes);
    device.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&device);
    const QSize size(std::max(10, width()), std::max(10, height()));
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setResolution(logicalDpiX());
    {
        QPainter painter(&generator);
        DrawTo(painter, size.width(), size.height());
    }
    return bytes;
}

void Tsp_XYPlot::CopyAsBitmap() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard != nullptr) {
        clipboard->setImage(RenderBitmap());
    }
}

void Tsp_XYPlot::CopyAsMetafile() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard != nullptr) {
        auto* data = new QMimeData;
        data->setData(QStringLiteral("image/svg+xml"), RenderSvg());
        clipboard->setMimeData(data);
    }
}

// ---------------------------------------------------------------------------------------------
// Zoom and pan

void Tsp_XYPlot::SaveRangesOnce() {
    if (rangeSaved_) {
        return;
    }
    leftAxis_->SaveRange();
    rightAxis_->SaveRange();
    bottomAxis_->SaveRange();
    topAxis_->SaveRange();
    rangeSaved_ = true;
}

void Tsp_XYPlot::UndoZoom() {
    if (!rangeSaved_) {
        return;
    }
    for (Tsp_Axis* axis : {leftAxis_.get(), rightAxis_.get(), bottomAxis_.get(), topAxis_.get()}) {
        axis->SetRange(axis->SavedMin(), axis->SavedMax());
    }
    rangeSaved_ = false;
    Invalidate();
}

void Tsp_XYPlot::ZoomTo(int x0, int y0, int x1, int y1) {
    int left = x0, right = x1, top = y0, bottom = y1;
    if (x1 < x0) {
        left = x1 + 1;
        right = x0 + 1;
    }
    if (y1 < y0) {
        top = y1 + 1;
        bottom = y0 + 1;
    }
    if (zoom_ == zpdNone || right - left <= 2 || bottom - top <= 2) {
        return;
    }
    SaveRangesOnce();
    auto zoomAxis = [this](Tsp_Axis& axis, int from, int to) {
        double low = axis.PixelToValue(from);
        double high = axis.PixelToValue(to);
        if (low > high) {
            std::swap(low, high);
        }
        bool canZoom = true;
        if (OnAxisZoom) {
            OnAxisZoom(axis, low, high, canZoom);
        }
        if (canZoom) {
            axis.SetRange(low, high);
        }
    };
    if (zoom_ == zpdHorizontal || zoom_ == zpdBoth) {
        zoomAxis(*bottomAxis_, left, right);
        zoomAxis(*topAxis_, left, right);
    }
    if (zoom_ == zpdVertical || zoom_ == zpdBoth) {
        zoomAxis(*leftAxis_, top, bottom);
        zoomAxis(*rightAxis_, top, bottom);
    }
    Invalidate();
}

void Tsp_XYPlot::PanStep(int x, int y) {
    SaveRangesOnce();
    const int dx = mouseX0_ - x;
    const int dy = mouseY0_ - y;
    if (pan_ == zpdHorizontal || pan_ == zpdBoth) {
        bottomAxis_->PanBy(dx);
        topAxis_->PanBy(dx);
    }
    if (pan_ == zpdVertical || pan_ == zpdBoth) {
        leftAxis_->PanBy(dy);
        rightAxis_->PanBy(dy);
    }
    mouseX0_ = x;
    mouseY0_ = y;
    // The layout stays put while dragging, so the field does not jump under the mouse.
    frameValid_ = fieldValid_ = false;
    repaint();
}

void Tsp_XYPlot::LeaveMouseState() {
    mouseState_ = 0;
    dragSnapshot_ = QImage();
    unsetCursor();
}

void Tsp_XYPlot::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!layoutValid_) {
        // Zoom and pan map mouse pixels through the axes, which must fit the control's size.
        UpdateLayout();
    }
    if (event->button() == Qt::LeftButton && mouseState_ == 0) {
        const Tsp_ShiftKeys keys = ShiftKeysOf(event->modifiers());
        if (keys == zoomShiftKeys_ && zoom_ != zpdNone) {
            mouseX0_ = zoom_ == zpdVertical ? fieldLeft_ : pos.x();
            mouseY0_ = zoom_ == zpdHorizontal ? fieldTop_ : pos.y();
            mouseX1_ = mouseX0_;
            mouseY1_ = mouseY0_;
            mouseState_ = 1;
        } else if (keys == panShiftKeys_ && pan_ != zpdNone) {
            mouseX0_ = pos.x();
            mouseY0_ = pos.y();
            mouseState_ = 3;
            setCursor(Qt::SizeAllCursor);
        }
    }
    if (OnMouseDown) {
        OnMouseDown(*event);
    }
}

void Tsp_XYPlot::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (mouseState_) {
        case 1:
            if (std::abs(pos.x() - mouseX0_) > 3 || std::abs(pos.y() - mouseY0_) > 3) {
                mouseState_ = 2;
                setCursor(Qt::CrossCursor);
                if (buffer_.isNull()) {
                    dragSnapshot_ = RenderBitmap();
                }
            }
            [[fallthrough]];
        case 2:
            if (mouseState_ == 2) {
                mouseX1_ = zoom_ == zpdVertical ? fieldRight_ : pos.x();
                mouseY1_ = zoom_ == zpdHorizontal ? fieldBottom_ : pos.y();
                update();
            }
            break;
        case 3:
            if (pos.x() != mouseX0_ || pos.y() != mouseY0_) {
                mouseState_ = 4;
                PanStep(pos.x(), pos.y());
            }
            break;
        case 4:
            PanStep(pos.x(), pos.y());
            break;
        default:
            break;
    }
    if (OnMouseMove) {
        OnMouseMove(*event);
    }
}

void Tsp_XYPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        switch (mouseState_) {
            case 1:
                LeaveMouseState();
                UndoZoom();
                break;
            case 2:
                mouseX1_ = zoom_ == zpdVertical ? fieldRight_ : pos.x();
                mouseY1_ = zoom_ == zpdHorizontal ? fieldBottom_ : pos.y();
                LeaveMouseState();
                ZoomTo(mouseX0_, mouseY0_, mouseX1_, mouseY1_);
                update();
                break;
            case 3:
                LeaveMouseState();
                break;
            case 4:
                LeaveMouseState();
                topAxis_->Rescale();
                rightAxis_->Rescale();
                leftAxis_->Rescale();
                bottomAxis_->Rescale();
                Invalidate();
                break;
            default:
                break;
        }
    }
    if (OnMouseUp) {
        OnMouseUp(*event);
    }
}

}  // namespace kalvora
