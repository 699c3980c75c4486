#include "plot/point_attr.h"

namespace kalvora {

void Tsp_PointAttr::Changed() const {
    if (OnChange) {
        OnChange();
    }
}

void Tsp_PointAttr::SetColor(Tsp_Color color) {
    color_ = color;
    Changed();
}

void Tsp_PointAttr::SetStyle(Tsp_BrushStyle style) {
    style_ = style;
    Changed();
}

void Tsp_PointAttr::SetKind(TPointKind kind) {
    kind_ = kind;
    Changed();
}

void Tsp_PointAttr::SetVisible(bool visible) {
    visible_ = visible;
    Changed();
}

void Tsp_PointAttr::SetHSize(int size) {
    if (size < 0) {
        size = 1;
    }
    left_ = size / 2;
    right_ = size / 2 + 1;
    Changed();
}

void Tsp_PointAttr::SetVSize(int size) {
    if (size < 0) {
        size = 1;
    }
    top_ = size / 2;
    bottom_ = size / 2 + 1;
    Changed();
}

void Tsp_PointAttr::Assign(const Tsp_PointAttr& other) {
    color_ = other.color_;
    style_ = other.style_;
    kind_ = other.kind_;
    left_ = other.left_;
    top_ = other.top_;
    right_ = other.right_;
    bottom_ = other.bottom_;
    visible_ = other.visible_;
    Changed();
}

}  // namespace kalvora
