#include "plot/line_attr.h"

namespace kalvora {

void Tsp_LineAttr::Changed() const {
    if (OnChange) {
        OnChange();
    }
}

void Tsp_LineAttr::SetColor(Tsp_Color color) {
    color_ = color;
    Changed();
}

void Tsp_LineAttr::SetStyle(Tsp_PenStyle style) {
    style_ = style;
    Changed();
}

void Tsp_LineAttr::SetWidth(std::uint16_t width) {
    width_ = width;
    Changed();
}

void Tsp_LineAttr::SetVisible(bool visible) {
    visible_ = visible;
    Changed();
}

void Tsp_LineAttr::Assign(const Tsp_LineAttr& other) {
    color_ = other.color_;
    style_ = other.style_;
    width_ = other.width_;
    visible_ = other.visible_;
    Changed();
}

}  // namespace kalvora
