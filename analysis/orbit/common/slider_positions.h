#pragma once

#include "core/model_workspace.h"

namespace kalvora {

// The arithmetic of the parameter slider of the orbit windows, kept free of widgets so that it can
// be tested and reused by every window that sweeps a parameter.

// The varying parameter at a slider position: minimum + (maximum - minimum) / largest * position.
// A slider without steps (largest 0) stands at the minimum.
Extended SliderParameterValue(Extended minimum, Extended maximum, int largestPosition,
                              int position);

// The slider position that shows value within minimum .. maximum, rounded and clamped to
// 0 .. largest. An empty range puts the slider at 0.
int SliderPositionForValue(Extended value, Extended minimum, Extended maximum, int largestPosition);

}  // namespace kalvora
