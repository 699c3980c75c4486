#include "analysis/orbit/common/slider_positions.h"

#include "analysis/orbit/common/orbit_counts.h"

namespace kalvora {

Extended SliderParameterValue(Extended minimum, Extended maximum, int largestPosition,
                              int position) {
    if (largestPosition <= 0) {
        return minimum;
    }
    return minimum + (maximum - minimum) / largestPosition * position;
}

int SliderPositionForValue(Extended value, Extended minimum, Extended maximum,
                           int largestPosition) {
    if (!(maximum > minimum) || largestPosition <= 0) {
        return 0;
    }
    const Extended position = (value - minimum) / (maximum - minimum) * largestPosition;
    if (!(position > 0)) {
        return 0;  // also a NaN value
    }
    if (position >= largestPosition) {
        return largestPosition;
    }
    return static_cast<int>(RoundHalfEven(position));
}

}  // namespace kalvora
