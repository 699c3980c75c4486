#include "analysis/scan/common/scan_raster.h"

#include <cmath>
#include <limits>
#include <new>

#include "core/model_step.h"
#include "core/numbers.h"
#include "core/text_file.h"

namespace kalvora {

void CheckScanDomain(const ScanDomain& domain) {
    if (domain.horizontalResolution < 1 || domain.verticalResolution < 1) {
        throw ScanSettingsError("The resolution must be at least 1 in both directions");
    }
    const long long pixels =
        static_cast<long long>(domain.columns()) * static_cast<long long>(domain.rows());
    if (pixels > kMaximumScanPixels) {
        throw ScanSettingsError("The resolution " + std::to_string(domain.horizontalResolution) +
                                " x " + std::to_string(domain.verticalResolution) +
                                " gives a picture too large for memory (at most " +
                                std::to_string(kMaximumScanPixels) + " pixels)");
    }
}

ColourRaster::ColourRaster(int columns, int rows) : columns_(columns), rows_(rows) {
    try {
        pixels_.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows),
                       kBlankPixel);
    } catch (const std::bad_alloc&) {
        columns_ = rows_ = 0;
        throw ScanSettingsError("There is not enough memory for a picture of " +
                                std::to_string(columns) + " x " + std::to_string(rows) + " pixels");
    }
}

StateDistance StateDistance::AllVariables(int count) {
    std::vector<int> stateSlots;
    for (int slot = 0; slot < count; ++slot) {
        stateSlots.push_back(slot);
    }
    return StateDistance(std::move(stateSlots));
}

Extended StateDistance::squared(const StateVector& a, const StateVector& b) const {
    Extended sum = 0;
    for (const int slot : slots_) {
        const Extended difference =
            a[static_cast<std::size_t>(slot)] - b[static_cast<std::size_t>(slot)];
        sum += difference * difference;
    }
    return sum;
}

Extended StateDistance::operator()(const StateVector& a, const StateVector& b) const {
    return std::sqrt(squared(a, b));
}

bool StateDistance::within(const StateVector& a, const StateVector& b, Extended radius) const {
    // The one test the basin scan's machine-code transient makes too.
    return WithinDistance(a, b, slots_, radius);
}

void WritePixelLines(std::ostream& out, const ColourRaster& raster, const ScanDomain& domain) {
    for (int i = 0; i < raster.columns(); ++i) {
        const std::string x = FormatOrbitValue(domain.horizontalAt(i));
        for (int j = 0; j < raster.rows(); ++j) {
            const RgbColour colour = raster.at(i, j);
            // A pixel a stopped scan never reached has no colour: written as white it would read
            // as "no convergence", which it was not found to be.
            if (colour == kBlankPixel) {
                continue;
            }
            out << x << ' ' << FormatOrbitValue(domain.verticalAt(j)) << ' '
                << ((colour >> 16) & 0xFF) << ' ' << ((colour >> 8) & 0xFF) << ' '
                << (colour & 0xFF) << "\r\n";
        }
    }
}

void WritePixelFile(const std::string& fileName, const ColourRaster& raster,
                    const ScanDomain& domain) {
    AtomicFileWriter file(fileName);
    WritePixelLines(file.stream(), raster, domain);
    file.commit();
}

void WriteClassLines(std::ostream& out, const ColourRaster& raster, const ScanDomain& domain,
                     RgbColour colour) {
    for (int i = 0; i < raster.columns(); ++i) {
        for (int j = 0; j < raster.rows(); ++j) {
            if (raster.at(i, j) == colour) {
                out << FormatOrbitValue(domain.horizontalAt(i)) << ' '
                    << FormatOrbitValue(domain.verticalAt(j)) << "\r\n";
            }
        }
    }
}

void WriteClassFile(const std::string& fileName, const ColourRaster& raster,
                    const ScanDomain& domain, RgbColour colour) {
    AtomicFileWriter file(fileName);
    WriteClassLines(file.stream(), raster, domain, colour);
    file.commit();
}

}  // namespace kalvora
