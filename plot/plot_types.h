#pragma once

// Value types shared by the plot library: colours, pen and brush styles and the small enumerations
// of the plot control. Plain C++ so that the scale and series arithmetic can be used (and tested)
// without any window system.
//
// Naming convention of the whole plot library: classes carry the prefix Tsp_, enumerators their
// short prefixes (bs_Raised, zpdBoth, ptCross). A property P is read with P() and written with
// SetP(value); operations keep their established names (SetRange, AddPoint, ClearPoints, DrawTo
// ...). Events are std::function members named OnXxx; an empty function means "no handler".

#include <cstdint>

namespace kalvora {

// A colour as 0xRRGGBB. Kept as a plain value so the arithmetic layer needs no GUI headers; the
// widget layer converts with ToQColor/FromQColor (plot/xy_plot.h).
struct Tsp_Color {
    std::uint32_t rgb = 0;

    constexpr Tsp_Color() = default;
    constexpr explicit Tsp_Color(std::uint32_t value) : rgb(value & 0xFFFFFFu) {}
    constexpr Tsp_Color(int red, int green, int blue)
        : rgb((std::uint32_t(red & 0xFF) << 16) | (std::uint32_t(green & 0xFF) << 8) |
              std::uint32_t(blue & 0xFF)) {}

    constexpr int Red() const { return int((rgb >> 16) & 0xFF); }
    constexpr int Green() const { return int((rgb >> 8) & 0xFF); }
    constexpr int Blue() const { return int(rgb & 0xFF); }
    constexpr bool operator==(const Tsp_Color&) const = default;
};

// The standard 16-colour palette values the result windows use for their series.
inline constexpr Tsp_Color clBlack{0, 0, 0};
inline constexpr Tsp_Color clWhite{255, 255, 255};
inline constexpr Tsp_Color clGray{128, 128, 128};
inline constexpr Tsp_Color clSilver{192, 192, 192};
inline constexpr Tsp_Color clBlue{0, 0, 255};
inline constexpr Tsp_Color clRed{255, 0, 0};
inline constexpr Tsp_Color clLime{0, 255, 0};
inline constexpr Tsp_Color clGreen{0, 128, 0};
inline constexpr Tsp_Color clFuchsia{255, 0, 255};
inline constexpr Tsp_Color clNavy{0, 0, 128};
inline constexpr Tsp_Color clMaroon{128, 0, 0};
inline constexpr Tsp_Color clYellow{255, 255, 0};
// The colours of the overlaid series, slot by slot, in the windows and in drawn data files.
inline constexpr Tsp_Color kSlotColours[] = {clBlue, clRed, clLime, clFuchsia, clNavy};
// The button-face colour a new plot uses as its background.
inline constexpr Tsp_Color clBtnFace{240, 240, 240};

enum Tsp_PenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };

enum Tsp_BrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

enum TPointKind { ptRectangle, ptEllipse, ptDiamond, ptCross, ptCustom };

enum G_BorderStyle { bs_None, bs_Raised, bs_Lowered, bs_Gutter, bs_BlackRect };

enum Tsp_zpDirections { zpdNone, zpdHorizontal, zpdVertical, zpdBoth };

enum Tsp_WhatXAxis { dsxBottom, dsxTop };
enum Tsp_WhatYAxis { dsyLeft, dsyRight };

// A set of modifier keys, as bits: ssShift | ssCtrl ...
using Tsp_ShiftKeys = unsigned;
inline constexpr Tsp_ShiftKeys ssShift = 1u;
inline constexpr Tsp_ShiftKeys ssAlt = 2u;
inline constexpr Tsp_ShiftKeys ssCtrl = 4u;

// Bits of a scale's SFlags. Window settings give SFlags as integers (193 = vertical, AutoMin,
// AutoMax), so the numeric values are fixed.
inline constexpr int sfVertical = 1 << 0;
inline constexpr int sfInversed = 1 << 1;
inline constexpr int sfNoTicks = 1 << 3;
inline constexpr int sfNoTicksLabel = 1 << 4;
inline constexpr int sfFarSide = 1 << 5;
inline constexpr int sfAutoMin = 1 << 6;
inline constexpr int sfAutoMax = 1 << 7;

// Flag indices for Tsp_Scale::SetFlag / Flag.
inline constexpr int sfiInversed = 1;
inline constexpr int sfiNoTicks = 3;
inline constexpr int sfiNoTicksLabel = 4;
inline constexpr int sfiAutoMin = 6;
inline constexpr int sfiAutoMax = 7;

// Pixel positions are clamped to this so that huge values never reach the drawing layer.
inline constexpr int kPixelLimit = 16383;
// A segment end beyond this (in any coordinate) counts as far away.
inline constexpr int kFarAwayPixel = 16000;
// The most ticks a scale computes.
inline constexpr int kMaxTicks = 21;

}  // namespace kalvora
