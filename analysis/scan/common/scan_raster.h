#pragma once

#include <array>
#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/model_workspace.h"

namespace kalvora {

// Settings a scan refuses before anything is computed or changed. The message is the one the user
// sees.
class ScanSettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The rectangle a scan covers and its resolutions H and V. Pixel column i (0 .. H) and row j
// (0 .. V) stand for hmin + i dx and vmax - j dy: row 0 is the top, and both ends are included.
struct ScanDomain {
    Extended horizontalMinimum = 0;
    Extended horizontalMaximum = 1.4L;
    int horizontalResolution = 450;
    Extended verticalMinimum = 0;
    Extended verticalMaximum = 1.4L;
    int verticalResolution = 450;

    int columns() const { return horizontalResolution + 1; }
    int rows() const { return verticalResolution + 1; }
    Extended dx() const { return (horizontalMaximum - horizontalMinimum) / horizontalResolution; }
    Extended dy() const { return (verticalMaximum - verticalMinimum) / verticalResolution; }
    Extended horizontalAt(int column) const { return horizontalMinimum + column * dx(); }
    Extended verticalAt(int row) const { return verticalMaximum - row * dy(); }
};

// Beyond this many pixels a raster (four bytes each) would take more memory than a desktop can
// spare for one picture.
inline constexpr long long kMaximumScanPixels = 64LL * 1024 * 1024;

// Refuses resolutions below 1 and rasters beyond kMaximumScanPixels.
void CheckScanDomain(const ScanDomain& domain);

// The colour table the scans colour with: cycles 1 to 100, then non-convergence and divergence.
using ScanColours = std::array<RgbColour, kCycleColourCount>;
inline RgbColour CycleColour(const ScanColours& colours, int cycle) {
    return colours[static_cast<std::size_t>(cycle - 1)];
}
inline RgbColour NonConvergenceColour(const ScanColours& colours) {
    return colours[100];
}
inline RgbColour DivergenceColour(const ScanColours& colours) {
    return colours[101];
}

// A pixel no scan has reached (a stopped scan): it matches no colour of the table.
inline constexpr RgbColour kBlankPixel = 0xFF000000u;

// The scan's result, (H + 1) x (V + 1) pixels held column by column, so that a worker filling one
// column writes memory of its own.
class ColourRaster {
  public:
    ColourRaster() = default;
    // Every pixel blank. Raises ScanSettingsError when the memory cannot be had.
    ColourRaster(int columns, int rows);

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    bool empty() const { return pixels_.empty(); }
    RgbColour at(int column, int row) const { return pixels_[index(column, row)]; }
    void set(int column, int row, RgbColour colour) { pixels_[index(column, row)] = colour; }
    bool operator==(const ColourRaster& other) const = default;

  private:
    std::size_t index(int column, int row) const {
        return static_cast<std::size_t>(column) * static_cast<std::size_t>(rows_) +
               static_cast<std::size_t>(row);
    }
    int columns_ = 0;
    int rows_ = 0;
    std::vector<RgbColour> pixels_;
};

// The Euclidean distance between two states over the chosen slots (a slot named twice counts
// twice).
class StateDistance {
  public:
    explicit StateDistance(std::vector<int> stateSlots) : slots_(std::move(stateSlots)) {}
    // Over the model's variables 0 .. count - 1.
    static StateDistance AllVariables(int count);
    Extended operator()(const StateVector& a, const StateVector& b) const;
    // Whether the distance is at most radius (false when it is not a number). The same answer as
    // comparing the distance itself, without a square root for all but the closest calls: the
    // divergence test runs after every transient step.
    bool within(const StateVector& a, const StateVector& b, Extended radius) const;
    const std::vector<int>& stateSlots() const { return slots_; }

  private:
    Extended squared(const StateVector& a, const StateVector& b) const;
    std::vector<int> slots_;
};

// The pixel file of the basin pictures: for every pixel, column by column and top to bottom, the
// horizontal and vertical coordinate in the 23-character format, then red, green and blue (0 to
// 255), blanks between, CR LF. A blank pixel is written white, as the picture shows it.
void WritePixelLines(std::ostream& out, const ColourRaster& raster, const ScanDomain& domain);
void WritePixelFile(const std::string& fileName, const ColourRaster& raster,
                    const ScanDomain& domain);

// The points of one class for "Save Data As...": every pixel of exactly this colour, in the pixel
// file's order, as "x y" in the 23-character format, CR LF.
void WriteClassLines(std::ostream& out, const ColourRaster& raster, const ScanDomain& domain,
                     RgbColour colour);
void WriteClassFile(const std::string& fileName, const ColourRaster& raster,
                    const ScanDomain& domain, RgbColour colour);

}  // namespace kalvora
