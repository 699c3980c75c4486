#pragma once

#include <QRect>

namespace kalvora {

// The picture's place on the page in millimetres of a 210 x 297 page, whatever the real paper:
// the picture keeps its relative place and size on any paper.
struct PrintPlacement {
    int width = 100;
    int height = 100;
    int x = 30;
    int y = 30;
};

// The largest X Position and Y Position the page leaves for a width and height.
inline int MaxXPosition(int width) {
    return 210 - width;
}
inline int MaxYPosition(int height) {
    return 297 - height;
}

// The picture's rectangle in printer pixels on a printable page of pageWidth x pageHeight pixels,
// each edge rounded half to even.
QRect PrintRectangle(const PrintPlacement& placement, int pageWidth, int pageHeight);

}  // namespace kalvora
