#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/flow_steps.h"
#include "core/model_definition.h"

namespace kalvora {

// A section or crossing direction that cannot be read; the message says what was expected.
class SectionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class CrossingDirection { Up, Down, Both };

// A hyperplane of the variables, sum of coefficient * variable = value, and the direction in which
// an orbit must cross it to count: up where the sum grows through the value.
struct Section {
    std::vector<std::pair<int, Extended>> terms;  // 0-based variable, coefficient
    Extended value = 0;
    CrossingDirection direction = CrossingDirection::Up;
};

// "z=27", or a linear form of the variables such as "x-y=0" or "2*x + 0.5*y = 1" (a name may
// appear once, a coefficient precedes its name with "*"). Raises SectionError.
Section ParseSection(const ModelDefinition& model, const std::string& text);
CrossingDirection ParseCrossingDirection(const std::string& text);
// A section followed by its direction, "z=27:down" (up when left out), as the orbit diagram of a
// flow takes it in its dialog, the batch tool and the Python module. Raises SectionError.
Section ParseDirectedSection(const ModelDefinition& model, const std::string& text);

// The signed distance (in units of the form) of state from the section.
Extended SectionDistance(const Section& section, const StateVector& state);

enum class FlowEvent { None, Found, Failed };

// Whether the last step of flow crossed the section in its direction; then the time of the
// crossing and the state there, located on the flow's interpolation to the method's accuracy.
// An orbit that starts on the plane counts when it leaves it, not when it arrives.
FlowEvent FindCrossing(FlowSteps& flow, const Section& section, Extended& time, StateVector& at);

// Whether the slot's value had a local maximum within the last step (its rate went from
// positive to zero or negative); then the time and the state there, the maximum's value located
// on the flow's interpolation.
FlowEvent FindMaximum(FlowSteps& flow, int slot, Extended& time, StateVector& at);

// Steps a search for the next crossing or maximum makes before it gives up: an orbit that settles
// on a point or leaves the plane for good would otherwise be followed for ever.
inline constexpr long long kMostStepsPerEvent = 2000000;

}  // namespace kalvora
