#pragma once

#include <functional>

#include "plot/plot_types.h"

namespace kalvora {

// How a series marks its points: a fill (colour and brush style), a shape and its extents around
// the point's pixel. The extents are asymmetric (left/top h div 2, right/bottom h div 2 + 1) so
// that a marker of odd size is centred on the pixel.
class Tsp_PointAttr {
  public:
    Tsp_PointAttr() = default;
    Tsp_PointAttr(const Tsp_PointAttr&) = delete;
    Tsp_PointAttr& operator=(const Tsp_PointAttr&) = delete;

    Tsp_Color Color() const { return color_; }
    void SetColor(Tsp_Color color);
    Tsp_BrushStyle Style() const { return style_; }
    void SetStyle(Tsp_BrushStyle style);
    TPointKind Kind() const { return kind_; }
    void SetKind(TPointKind kind);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // Setting h (a negative h counts as 1) gives left h div 2 and right h div 2 + 1; reading gives
    // left + right, so an even size reads back as the next odd number.
    int HSize() const { return left_ + right_; }
    void SetHSize(int size);
    int VSize() const { return top_ + bottom_; }
    void SetVSize(int size);

    int LeftExtent() const { return left_; }
    int TopExtent() const { return top_; }
    int RightExtent() const { return right_; }
    int BottomExtent() const { return bottom_; }

    // Copies fill, shape, extents and visibility (not the owner link) and notifies once.
    void Assign(const Tsp_PointAttr& other);

    std::function<void()> OnChange;

  private:
    void Changed() const;

    Tsp_Color color_ = clWhite;
    Tsp_BrushStyle style_ = bsSolid;
    TPointKind kind_ = ptRectangle;
    int left_ = 2;
    int top_ = 2;
    int right_ = 3;
    int bottom_ = 3;
    bool visible_ = false;
};

}  // namespace kalvora
