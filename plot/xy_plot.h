#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plot/axis.h"
#include "plot/data_series.h"
#include "plot/plot_types.h"

class QFontMetrics;
class QMouseEvent;
class QPainter;

namespace kalvora {

QColor ToQColor(Tsp_Color color);
Tsp_Color FromQColor(const QColor& color);
Qt::PenStyle ToQtPenStyle(Tsp_PenStyle style);

// The X-Y plot control every result window draws with: a field framed by four axes, any number of
// attached series, auto-scaling, grid, rubber-band zoom with undo, Ctrl-drag pan, an inverting X
// cursor, and rendering onto any QPainter device (DrawTo).
//
// Conventions: a property P is read with P() and written with SetP(); events are std::function
// members (OnXxx), called on the user-interface thread.
class Tsp_XYPlot : public QWidget, public Tsp_SeriesHost {
    Q_OBJECT

  public:
    explicit Tsp_XYPlot(QWidget* parent = nullptr);
    ~Tsp_XYPlot() override;

    Tsp_Axis& LeftAxis() { return *leftAxis_; }
    Tsp_Axis& RightAxis() { return *rightAxis_; }
    Tsp_Axis& BottomAxis() { return *bottomAxis_; }
    Tsp_Axis& TopAxis() { return *topAxis_; }
    const Tsp_Axis& LeftAxis() const { return *leftAxis_; }
    const Tsp_Axis& RightAxis() const { return *rightAxis_; }
    const Tsp_Axis& BottomAxis() const { return *bottomAxis_; }
    const Tsp_Axis& TopAxis() const { return *topAxis_; }

    // The plotting field of the last layout, in pixels; right and bottom are exclusive.
    int FieldTop() const { return fieldTop_; }
    QRect FieldRect() const {
        return QRect(fieldLeft_, fieldTop_, fieldRight_ - fieldLeft_, fieldBottom_ - fieldTop_);
    }
    // Recomputes the layout for the control's own size now (normally done before painting).
    void UpdateLayout();

    void SetBufferedDisplay(bool on);
    void SetBorderStyle(G_BorderStyle style);
    Tsp_Color FieldColor() const { return fieldColor_; }
    void SetFieldColor(Tsp_Color color);
    // The background of the strips around the field.
    Tsp_Color Color() const { return color_; }
    void SetColor(Tsp_Color color);

    // Whether the axes' titles are drawn (on by default; an axis without a title takes no room).
    bool ShowAxisTitles() const { return showAxisTitles_; }
    void SetShowAxisTitles(bool on);
    // The pixels an axis's title takes outside its labels, in the control's font: the text's
    // height and a small gap, or 0 without a shown title.
    int AxisTitleRoom(const Tsp_Axis& axis) const;

    void SetZoom(Tsp_zpDirections zoom) { zoom_ = zoom; }
    void SetPan(Tsp_zpDirections pan) { pan_ = pan; }
    // The modifier keys that must be held, exactly, with the left button to zoom (to pan).
    void SetZoomShiftKeys(Tsp_ShiftKeys keys) { zoomShiftKeys_ = keys; }
    void SetPanShiftKeys(Tsp_ShiftKeys keys) { panShiftKeys_ = keys; }

    void SetXCursorOn(bool on);
    void SetXCursorVal(double value);

    // Attached series in attachment order.
    const std::vector<Tsp_DataSeries*>& Series() const { return series_; }

    // Marks layout, frame and field for redrawing and schedules a repaint.
    void Invalidate();
    // Only the field (data changed without rescaling, field colour, grid).
    void InvalidateField();
    // Only the frame (border style in buffered mode).
    void InvalidateFrame();

    // Auto-scales one axis to the active, non-empty series bound to it (2.5 % margin at each
    // automatic end). Returns whether the range changed, which decides between a full and a
    // field-only repaint.
    bool AutoScaleAxis(Tsp_Axis& axis);

    // Renders the whole plot onto another device at the given size (printing, exports). Ignores
    // inactive painters and sizes below 10 pixels. The control's own layout and picture are left
    // as they were.
    void DrawTo(QPainter& painter, int width, int height);
    // The picture the clipboard commands produce, at the control's size.
    QImage RenderBitmap();
    QByteArray RenderSvg();
    // Put the control's picture on the clipboard as a bitmap, or as SVG (the vector format).
    void CopyAsBitmap();
    void CopyAsMetafile();

    // Zoom and pan undo: whether a range before the first zoom/pan is kept, and going back to it.
    bool HasSavedRange() const { return rangeSaved_; }
    void UndoZoom();
    // The mouse state 0 idle, 1 zoom pressed, 2 zoom dragging, 3 pan pressed, 4 panning.
    int MouseState() const { return mouseState_; }

    // Drawn into the field after it is filled and before the grid and series.
    std::function<void(Tsp_XYPlot& plot, QPainter& painter)> OnFieldDraw;
    // Called at the end of every paint and every DrawTo.
    std::function<void(Tsp_XYPlot& plot, QPainter& painter)> OnDrawEnd;
    // May replace the text of tick label labelNum (value labelValue) of an axis.
    std::function<void(Tsp_Axis& axis, int labelNum, double labelValue, std::string& text)>
        OnGetTickLabel;
    // Called before a zoom sets an axis range; may change the bounds or refuse (canZoom false).
    std::function<void(Tsp_Axis& axis, double& min, double& max, bool& canZoom)> OnAxisZoom;
    // The control's mouse events, delivered after zoom and pan handling (for readouts). Moves are
    // tracked also without a pressed button.
    std::function<void(QMouseEvent& event)> OnMouseDown;
    std::function<void(QMouseEvent& event)> OnMouseMove;
    std::function<void(QMouseEvent& event)> OnMouseUp;

    // Tsp_SeriesHost
    void AttachSeries(Tsp_DataSeries& series) override;
    void DetachSeries(Tsp_DataSeries& series) override;
    void SeriesChanged(Tsp_DataSeries& series, bool repaintNow) override;
    void SeriesAppearanceChanged(Tsp_DataSeries& series) override;

    // Called by an axis whose range changed by SetRange.
    void AxisRangeChanged(Tsp_Axis& axis);

    QSize sizeHint() const override { return QSize(180, 120); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void Layout(const QFontMetrics& metrics, int width, int height);
    void LayoutPass(int charWidth, int charHeight, int width, int height);
    void PaintFrame(QPainter& painter, int width, int height);
    void PaintAxisLines(QPainter& painter);
    void PaintTicksAndLabels(QPainter& painter, const Tsp_Axis& axis);
    void PaintBorder(QPainter& painter, int width, int height);
    void PaintAxisTitles(QPainter& painter, int width, int height);
    int TitleRoom(const Tsp_Axis& axis, int charHeight) const;
    void PaintField(QPainter& painter);
    void PaintGrid(QPainter& painter, const Tsp_Axis& axis);
    // Paints what is invalid (everything when useValidity is false) and calls OnDrawEnd.
    void PaintPlot(QPainter& painter, int width, int height, bool useValidity);
    void PaintOverlays(QPainter& painter);
    // Shifts one-pixel strokes onto the pixel centres of a vector device.
    void OffsetStrokes(QPainter& painter) const;
    bool EnsureBuffer();

    Tsp_Axis& XAxisOf(const Tsp_DataSeries& series);
    Tsp_Axis& YAxisOf(const Tsp_DataSeries& series);
    void SaveRangesOnce();
    void ZoomTo(int x0, int y0, int x1, int y1);
    void PanStep(int x, int y);
    void LeaveMouseState();
    int XCursorPixel() const;

    std::unique_ptr<Tsp_Axis> leftAxis_;
    std::unique_ptr<Tsp_Axis> rightAxis_;
    std::unique_ptr<Tsp_Axis> bottomAxis_;
    std::unique_ptr<Tsp_Axis> topAxis_;
    bool ready_ = false;
    bool autoScaling_ = false;

    int fieldLeft_ = 0, fieldTop_ = 0, fieldRight_ = 3, fieldBottom_ = 3;
    QImage buffer_;
    // A picture of the plot kept while a rubber band is dragged in unbuffered mode, so that moving
    // the band does not repaint a million points on every mouse move.
    QImage dragSnapshot_;

    G_BorderStyle borderStyle_ = bs_None;
    Tsp_Color fieldColor_ = clWhite;
    Tsp_Color color_ = clBtnFace;
    std::vector<Tsp_DataSeries*> series_;
    Tsp_zpDirections zoom_ = zpdBoth;
    Tsp_zpDirections pan_ = zpdBoth;
    bool rangeSaved_ = false;
    bool showAxisTitles_ = true;
    Tsp_ShiftKeys zoomShiftKeys_ = ssShift;
    Tsp_ShiftKeys panShiftKeys_ = ssCtrl;
    int mouseX0_ = 0, mouseY0_ = 0, mouseX1_ = 0, mouseY1_ = 0;
    int mouseState_ = 0;
    bool xCursorOn_ = false;
    double xCursorVal_ = 0;
    // Whether the device painted on now is a vector device (SVG, PDF, a printer).
    bool exact_ = false;
    bool layoutValid_ = false;
    bool frameValid_ = false;
    bool fieldValid_ = false;
};

}  // namespace kalvora
