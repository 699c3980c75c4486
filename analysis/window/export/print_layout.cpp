#include "analysis/window/export/print_layout.h"

#include <cmath>

namespace kalvora {

namespace {

int RoundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

}  // namespace

QRect PrintRectangle(const PrintPlacement& placement, int pageWidth, int pageHeight) {
    const int left = RoundHalfEven(pageWidth * placement.x / 210.0);
    const int top = RoundHalfEven(pageHeight * placement.y / 297.0);
    const int right = left + RoundHalfEven(pageWidth * placement.width / 210.0);
    const int bottom = top + RoundHalfEven(pageHeight * placement.height / 297.0);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace kalvora
