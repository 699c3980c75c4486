#include "core/flow_events.h"

#include <cctype>
#include <cfloat>
#include <cmath>

#include "core/numbers.h"

namespace kalvora {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int VariableIndex(const ModelDefinition& model, const std::string& name) {
    for (int i = 0; i < model.variableCount; ++i) {
        if (model.variableNames[i] == name) {
            return i;
        }
    }
    throw SectionError("the section names '" + name + "', which is not a variable of the model");
}

Extended Number(const std::string& text, const std::string& what) {
    try {
        return ParseFloat(Trimmed(text));
    } catch (const std::exception&) {
        throw SectionError("the section's " + what + " '" + Trimmed(text) + "' is not a number");
    }
}

// The interpolated state's distance from the plane at t.
bool DistanceAt(FlowSteps& flow, const Section& section, Extended t, StateVector& at,
                Extended& distance) {
    if (!flow.at(t, at)) {
        return false;
    }
    distance = SectionDistance(section, at);
    return true;
}

}  // namespace

Section ParseSection(const ModelDefinition& model, const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos || text.find('=', equals + 1) != std::string::npos) {
        throw SectionError(
            "expected a section as NAME=VALUE or a linear form such as x-y=0, got '" + text + "'");
    }
    Section section;
    section.value = Number(text.substr(equals + 1), "value");
    const std::string form = text.substr(0, equals);
    std::size_t position = 0;
    bool first = true;
    while (position < form.size()) {
        // One term: an optional sign, an optional coefficient with "*", a name.
        while (position < form.size() && std::isspace(static_cast<unsigned char>(form[position]))) {
            ++position;
        }
        if (position >= form.size()) {
            break;
        }
        Extended sign = 1;
        if (form[position] == '+' || form[position] == '-') {
            sign = form[position] == '-' ? -1 : 1;
            ++position;
        } else if (!first) {
            throw SectionError("expected + or - between the terms of the section '" + text + "'");
        }
        std::size_t end = position;
        // A number's exponent may carry a sign ("1e-3*x"): a sign right after an "e" that follows
        // a digit belongs to the number.
        while (end < form.size() &&
               !((form[end] == '+' || form[end] == '-') &&
                 !(end > position + 1 && (form[end - 1] == 'e' || form[end - 1] == 'E') &&
                   std::isdigit(static_cast<unsigned char>(form[end - 2]))))) {
            ++end;
        }
        const std::string term = form.substr(position, end - position);
        const auto star = term.find('*');
        Extended coefficient = 1;
        std::string name = Trimmed(term);
        if (star != std::string::npos) {
            coefficient = Number(term.substr(0, star), "coefficient");
            name = Trimmed(term.substr(star + 1));
        }
        if (name.empty()) {
            throw SectionError("a term of the section '" + text + "' names no variable");
        }
        const int index = VariableIndex(model, name);
        for (const auto& existing : section.terms) {
            if (existing.first == index) {
                throw SectionError("the section names '" + name + "' twice");
            }
        }
        section.terms.emplace_back(index, sign * coefficient);
        position = end;
        first = false;
    }
    if (section.terms.empty()) {
        throw SectionError("the section '" + text + "' names no variable");
    }
    return section;
}

CrossingDirection ParseCrossingDirection(const std::string& text) {
    if (text == "up") {
        return CrossingDirection::Up;
    }
    if (text == "down") {
        return CrossingDirection::Down;
    }
    if (text == "both") {
        return CrossingDirection::Both;
    }
    throw SectionError("expected the direction up, down or both, got '" + text + "'");
}

Section ParseDirectedSection(const ModelDefinition& model, const std::string& text) {
    const std::size_t colon = text.rfind(':');
    Section section = ParseSection(model, text.substr(0, colon));
    if (colon != std::string::npos) {
        section.direction = ParseCrossingDirection(text.substr(colon + 1));
    }
    return section;
}

Extended SectionDistance(const Section& section, const StateVector& state) {
    Extended sum = 0;
    for (const auto& [index, coefficient] : section.terms) {
        sum += coefficient * state[index];
    }
    return sum - section.value;
}

FlowEvent FindCrossing(FlowSteps& flow, const Section& section, Extended& time, StateVector& at) {
    Extended before = SectionDistance(section, flow.previousState());
    Extended after = SectionDistance(section, flow.state());
    const bool up = before < 0 && after >= 0;
    const bool down = before > 0 && after <= 0;
    if (!((up && section.direction != CrossingDirection::Down) ||
          (down && section.direction != CrossingDirection::Up))) {
        return FlowEvent::None;
    }
    Extended low = flow.previousTime();
    Extended high = flow.time();
    if (after == 0) {
        time = high;
        at = flow.state();
        return FlowEvent::Found;
    }
    // Regula falsi with the Illinois modification on the interpolated orbit: it keeps the root
    // bracketed, as bisection does, and converges superlinearly where the orbit is smooth.
    int side = 0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        Extended t = (low * after - high * before) / (after - before);
        if (!(t > low && t < high)) {
            t = (low + high) / 2;
        }
        Extended distance = 0;
        if (!DistanceAt(flow, section, t, at, distance)) {
            return FlowEvent::Failed;
        }
        time = t;
        if (distance == 0 || high - low <= 4 * LDBL_EPSILON * std::fabs(high)) {
            return FlowEvent::Found;
        }
        if ((distance < 0) == (before < 0)) {
            low = t;
            before = distance;
            if (side == -1) {
                after /= 2;
            }
            side = -1;
        } else {
            high = t;
            after = distance;
            if (side == 1) {
                before /= 2;
            }
            side = 1;
        }
    }
    return FlowEvent::Found;
}

FlowEvent FindMaximum(FlowSteps& flow, int slot, Extended& time, StateVector& at) {
    double startRate = 0;
    double endRate = 0;
    if (!flow.rate(slot, false, startRate) || !flow.rate(slot, true, endRate)) {
        return FlowEvent::Failed;
    }
    if (!(startRate > 0 && endRate <= 0)) {
        return FlowEvent::None;
    }
    // Golden-section search on the interpolated orbit: the value is unimodal within one step, and
    // the maximum's value is found to rounding even where its time is only found to its square
    // root.
    const Extended ratio = (std::sqrt(Extended{5}) - 1) / 2;
    Extended low = flow.previousTime();
    Extended high = flow.time();
    Extended a = high - ratio * (high - low);
    Extended b = low + ratio * (high - low);
    // The search reads the slot alone; the whole state is made once, where it ends. With a
    // fixed step the slot's cubic is evaluated inline, the search's whole cost.
    FlowSteps::SlotCubic cubic{};
    const bool inline_ = flow.slotCubic(slot, cubic);
    StateVector scratch;
    const auto valueAt = [&](Extended t, Extended& value) {
        if (inline_) {
            value = cubic(t);
            return true;
        }
        if (!flow.at(t, scratch)) {
            return false;
        }
        value = scratch[slot];
        return true;
    };
    Extended valueA = 0;
    Extended valueB = 0;
    if (!valueAt(a, valueA) || !valueAt(b, valueB)) {
        return FlowEvent::Failed;
    }
    for (int iteration = 0; iteration < 90 && high - low > 4 * LDBL_EPSILON * std::fabs(high);
         ++iteration) {
        if (valueA >= valueB) {
            high = b;
            b = a;
            valueB = valueA;
            a = high - ratio * (high - low);
            if (!valueAt(a, valueA)) {
                return FlowEvent::Failed;
            }
        } else {
            low = a;
            a = b;
            valueA = valueB;
            b = low + ratio * (high - low);
            if (!valueAt(b, valueB)) {
                return FlowEvent::Failed;
            }
        }
    }
    // The ends count too: the rate's sign change may sit right at one of them.
    const StateVector* best = nullptr;
    Extended bestTime = a;
    for (const bool end : {false, true}) {
        const StateVector& candidate = end ? flow.state() : flow.previousState();
        if (candidate[slot] > (best != nullptr ? (*best)[slot] : valueA)) {
            best = &candidate;
            bestTime = end ? flow.time() : flow.previousTime();
        }
    }
    time = bestTime;
    if (best != nullptr) {
        at = *best;
    } else {
        // Beyond the model's slots the state found is zero, as it always was.
        at = StateVector{};
        if (!flow.at(a, at)) {
            return FlowEvent::Failed;
        }
    }
    return FlowEvent::Found;
}

}  // namespace kalvora
