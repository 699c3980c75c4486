#pragma once

#include "analysis/scan/common/scan_run.h"
#include "core/run_control.h"

namespace kalvora::testing {

inline constexpr RgbColour kRed = 0xFF0000u;
inline constexpr RgbColour kGreen = 0x00FF00u;
inline constexpr RgbColour kBlue = 0x0000FFu;
inline constexpr RgbColour kYellow = 0xFFFF00u;
inline constexpr RgbColour kWhite = 0xFFFFFFu;
inline constexpr RgbColour kBlack = 0x000000u;

// The workspace's table at start: cycle 1 red, the rest blue, white and black; cycles 2 to 4
// recoloured so that tests can tell them apart.
inline ScanColours TestColours() {
    ScanColours colours;
    colours.fill(kBlue);
    colours[0] = kRed;
    colours[1] = kGreen;
    colours[2] = kYellow;
    colours[100] = kWhite;
    colours[101] = kBlack;
    return colours;
}

// A run control whose stop request comes once this many columns are done.
class StopAfterColumns final : public Progress {
  public:
    // With 0 the stop comes as the scan starts. A later count is reached only as the coordinating
    // thread reports finished columns, which on a loaded machine may be after the workers have
    // done them all: such a stop may come too late to stop anything.
    explicit StopAfterColumns(long long columns) : columns_(columns) {}
    void start(long long) override {
        if (columns_ == 0 && control != nullptr) {
            control->requestStop();
        }
    }
    void setPosition(long long position) override {
        if (position >= columns_ && control != nullptr) {
            control->requestStop();
        }
    }
    void finish() override {}
    RunControl* control = nullptr;

  private:
    long long columns_;
};

inline long long CountColour(const ColourRaster& raster, RgbColour colour) {
    long long count = 0;
    for (int i = 0; i < raster.columns(); ++i) {
        for (int j = 0; j < raster.rows(); ++j) {
            count += raster.at(i, j) == colour;
        }
    }
    return count;
}

}  // namespace kalvora::testing
