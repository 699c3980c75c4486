#pragma once

#include <cstdint>
#include <functional>

#include "plot/plot_types.h"

namespace kalvora {

// A pen description. Every setter stores the value and then tells the owner (through OnChange),
// which invalidates whatever depends on the pen: the whole plot for an axis line, only the field
// for a grid, the field for a series.
class Tsp_LineAttr {
  public:
    Tsp_LineAttr() = default;
    explicit Tsp_LineAttr(std::function<void()> onChange) : OnChange(std::move(onChange)) {}
    // Owners keep their attribute objects for life; copying one would duplicate the owner link.
    Tsp_LineAttr(const Tsp_LineAttr&) = delete;
    Tsp_LineAttr& operator=(const Tsp_LineAttr&) = delete;

    Tsp_Color Color() const { return color_; }
    void SetColor(Tsp_Color color);
    Tsp_PenStyle Style() const { return style_; }
    void SetStyle(Tsp_PenStyle style);
    std::uint16_t Width() const { return width_; }
    void SetWidth(std::uint16_t width);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // Copies colour, style, width and visibility (not the owner link) and notifies once.
    void Assign(const Tsp_LineAttr& other);

    std::function<void()> OnChange;

  private:
    void Changed() const;

    Tsp_Color color_ = clBlack;
    Tsp_PenStyle style_ = psSolid;
    std::uint16_t width_ = 1;
    bool visible_ = true;
};

}  // namespace kalvora
