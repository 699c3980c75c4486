#include "analysis/orbit/common/parameter_slider.h"

#include <algorithm>
#include <stdexcept>

#include "analysis/orbit/common/slider_positions.h"

namespace kalvora {

ParameterSlider::ParameterSlider(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    setObjectName("ScrollBar1");
    setRange(0, 100);
    setPageStep(0);
    setSingleStep(1);
    connect(this, &QScrollBar::valueChanged, this, [this] {
        if (!programMove_ && onUserMove) {
            onUserMove();
        }
    });
}

void ParameterSlider::setParameterRange(double minimum, double maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
}

void ParameterSlider::widenTo(Extended value) {
    if (value < minimum_) {
        minimum_ = static_cast<double>(value);
    }
    if (value > maximum_) {
        maximum_ = static_cast<double>(value);
    }
}

void ParameterSlider::setLargestPosition(int steps) {
    if (steps < 1) {
        throw std::runtime_error("Scrollbar property out of range");
    }
    if (steps != maximum()) {
        programMove_ = true;
        setMaximum(steps);
        programMove_ = false;
        settled_ = std::min(settled_, steps);
    }
}

Extended ParameterSlider::parameterAt(int position) const {
    return SliderParameterValue(minimum_, maximum_, maximum(), position);
}

void ParameterSlider::moveWithoutRun(int position) {
    programMove_ = true;
    setValue(position);
    programMove_ = false;
    settled_ = value();
}

void ParameterSlider::showValue(Extended value) {
    moveWithoutRun(SliderPositionForValue(value, minimum_, maximum_, maximum()));
}

}  // namespace kalvora
