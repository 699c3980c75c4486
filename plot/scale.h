#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "plot/line_attr.h"
#include "plot/plot_types.h"

namespace kalvora {

// One axis's range, its "round" tick values and the mapping between values and pixels.
//
// The range is chosen so that (Max - Min) * ScaleFactor() lies in (10, 100]; ticks are whole
// numbers in those scaled units, which is what makes them round. The scale is plain arithmetic: the
// plot's axis (Tsp_Axis) builds on it and adds what a window needs.
class Tsp_Scale {
  public:
    Tsp_Scale();
    virtual ~Tsp_Scale() = default;
    Tsp_Scale(const Tsp_Scale&) = delete;
    Tsp_Scale& operator=(const Tsp_Scale&) = delete;

    // Orders the bounds, widens an empty range and recomputes factor, origin and ticks. Does
    // nothing when both bounds are unchanged or when either bound is not a finite number (the range
    // is never left empty, infinite or NaN).
    void SetRange(double a, double b);
    double Min() const { return min_; }
    double Max() const { return max_; }
    // A bare scale keeps the other bound; an axis also switches the matching auto flag off.
    virtual void SetMin(double value);
    virtual void SetMax(double value);

    // The axis line: its start (x, y) and length. For a vertical scale the start is the bottom end.
    void SetLinePos(int x, int y, int length);
    int LineX() const { return lineX_; }
    int LineY() const { return lineY_; }
    int LineLength() const { return lineLength_; }

    // Reading gives the computed count; writing sets the requested count (at most 21).
    int TicksCount() const { return ticksCount_; }
    int RequestedTicksCount() const { return requestedTicks_; }
    virtual void SetTicksCount(int count);

    // The flag bits (sfVertical, sfInversed, ... of plot_types.h) as one integer.
    int SFlags() const { return flags_; }
    virtual void SetSFlags(int flags);
    bool Flag(int index) const { return (flags_ >> index) & 1; }
    // Sets or clears one of the flags 1 (Inversed), 3 (NoTicks), 4 (NoTicksLabel), 6 (AutoMin),
    // 7 (AutoMax); other indices are ignored.
    void SetFlag(int index, bool on);

    bool Vertical() const { return flags_ & sfVertical; }
    bool FarSide() const { return flags_ & sfFarSide; }
    bool Inversed() const { return flags_ & sfInversed; }
    void SetInversed(bool on) { SetFlag(sfiInversed, on); }
    bool NoTicks() const { return flags_ & sfNoTicks; }
    void SetNoTicks(bool on) { SetFlag(sfiNoTicks, on); }
    bool NoTicksLabel() const { return flags_ & sfNoTicksLabel; }
    void SetNoTicksLabel(bool on) { SetFlag(sfiNoTicksLabel, on); }
    bool AutoMin() const { return flags_ & sfAutoMin; }
    void SetAutoMin(bool on) { SetFlag(sfiAutoMin, on); }
    bool AutoMax() const { return flags_ & sfAutoMax; }
    void SetAutoMax(bool on) { SetFlag(sfiAutoMax, on); }

    // Rounded and clamped to -16383 .. 16383.
    int ValueToPixel(double value) const;
    double PixelToValue(int pixel) const;

    double TickValue(int i) const { return tickValues_[i]; }
    int TickPixel(int i) const { return tickPixels_[i]; }
    // The tick value in LabelFormat; an axis lets its plot replace the text.
    virtual std::string TickLabel(int i) const;

    virtual void SetLabelFormat(const std::string& format);

    // Pixels the axis needs outside the field for line, ticks and labels.
    int LabelSpace(int charWidth, int charHeight) const;
    // How far the first (last) label reaches beyond the start (end) of the axis line.
    int StartOverhang(int charWidth, int charHeight) const;
    int EndOverhang(int charWidth, int charHeight) const;

    // Round ticks: values that are whole multiples of 1, 2 or 5 times a power of ten (0, 0.2,
    // 0.4 ...), as many as come closest to the requested count. Off by default, when the ticks are
    // the whole scaled units above, whose step need not be round (0.25, 0.42, 0.59 ...).
    void SetRoundTicks(bool on);

    // Shifts the range by a pixel offset, keeping the tick step for small moves so that dragging
    // does not make the labels jump.
    void PanBy(int pixels);
    // Recomputes the ticks from scratch for the current range (after panning).
    void Rescale();

    Tsp_LineAttr& LineAttr() { return lineAttr_; }
    const Tsp_LineAttr& LineAttr() const { return lineAttr_; }

    // Internals of the mapping, exposed for tests and for the drawing code.
    double ScaleFactor() const { return scaleFactor_; }
    double FirstScaledTick() const { return firstScaled_; }
    double LastScaledTick() const { return lastScaled_; }
    int TickStep() const { return tickStep_; }
    int OriginPixel() const { return originPixel_; }
    double OriginValue() const { return originValue_; }
    double PixelsPerUnit() const { return pixelsPerUnit_; }

  protected:
    // Called after a flag bit changed through SetFlag/SetSFlags (old and new set given).
    virtual void FlagsChanged(int oldFlags, int newFlags) {
        (void)oldFlags;
        (void)newFlags;
    }
    // Called after TicksCount or LabelFormat changed.
    virtual void AppearanceChanged() {}
    // Called after SetRange changed the bounds.
    virtual void RangeChanged() {}
    // Sets or clears a flag bit without recomputing or notifying anything.
    void SetFlagSilently(int index, bool on) {
        flags_ = on ? (flags_ | (1 << index)) : (flags_ & ~(1 << index));
    }

  private:
    void ComputeFactor();
    void ComputeMapping();
    void ComputeTicks();
    void ComputePixelTicks();
    void ComputeRoundTicks();
    void FillTicksFromBase();
    int TickIntervalPixels() const;

    double firstScaled_ = 0;
    double lastScaled_ = 0;
    double scaleFactor_ = 1;
    std::int32_t tickStep_ = 1;
    int ticksCount_ = 0;
    std::int32_t originPixel_ = 0;
    double originValue_ = 0;
    double pixelsPerUnit_ = 1;
    std::int32_t lineX_ = 10;
    std::int32_t lineY_ = 30;
    std::int32_t lineLength_ = 25;
    Tsp_LineAttr lineAttr_;
    int flags_ = 0;
    double min_ = 0;
    double max_ = 10;
    int requestedTicks_ = 3;
    std::string labelFormat_ = "###0.##";
    bool roundTicks_ = false;
    // Shift of evenly spaced (NoTicksLabel) ticks after panning, in screen pixels.
    int pixelTickShift_ = 0;
    std::array<std::int16_t, kMaxTicks> tickPixels_{};
    std::array<double, kMaxTicks> tickValues_{};
};

// Formats a value with a numeric picture such as "###0.##": '0' a digit always shown, '#' a digit
// shown only when significant, '.' the decimal point (always written "."). The value is rounded to
// the places after the point and a negative value gets a leading minus sign.
std::string FormatNumericPicture(double value, const std::string& picture);

}  // namespace kalvora
