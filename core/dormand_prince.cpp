#include "core/dormand_prince.h"

#include <algorithm>
#include <cmath>

namespace kalvora {
namespace {

using E = Extended;

// The stages' nodes (0, 1/5, 3/10, 4/5, 8/9, 1, 1) are not needed: the models do not read the time.
constexpr E kA[7][6] = {
    {},
    {E{1} / 5},
    {E{3} / 40, E{9} / 40},
    {E{44} / 45, E{-56} / 15, E{32} / 9},
    {E{19372} / 6561, E{-25360} / 2187, E{64448} / 6561, E{-212} / 729},
    {E{9017} / 3168, E{-355} / 33, E{46732} / 5247, E{49} / 176, E{-5103} / 18656},
    {E{35} / 384, 0, E{500} / 1113, E{125} / 192, E{-2187} / 6784, E{11} / 84},
};
// The fifth-order weights less the fourth-order ones: the local error estimate.
constexpr E kError[7] = {E{71} / 57600,      0,           E{-71} / 16695, E{71} / 1920,
                         E{-17253} / 339200, E{22} / 525, E{-1} / 40};
constexpr E kDense[7] = {
    E{-12715105075.0L} / E{11282082432.0L},  0,
    E{87487479700.0L} / E{32700410799.0L},   E{-10690763975.0L} / E{1880347072.0L},
    E{701980252875.0L} / E{199316789632.0L}, E{-1453857185.0L} / E{822651844.0L},
    E{69997945.0L} / E{29380423.0L}};

// The usual safety factor and bounds of the step-size change: a step never grows more than
// tenfold nor shrinks more than fivefold at once, so one lucky error estimate cannot throw it far.
constexpr E kSafety = 0.9L;
constexpr E kMostGrowth = 10;
constexpr E kMostShrink = 0.2L;

}  // namespace

DormandPrince::DormandPrince(int slotCount, Extended tolerance)
    : m_(std::clamp(slotCount, 0, kModelListCapacity)), tolerance_(tolerance) {
    for (auto& k : k_) {
        k.assign(static_cast<std::size_t>(m_), 0.0);
    }
    stage_.assign(static_cast<std::size_t>(m_), 0.0);
    for (auto& d : dense_) {
        d.assign(static_cast<std::size_t>(m_), 0.0L);
    }
    if (!(tolerance_ > 0) || !std::isfinite(tolerance_)) {
        tolerance_ = 1e-8L;
    }
}

bool DormandPrince::start(Extended t, const StateVector& y, Extended firstStep,
                          const RateFunction& rates) {
    time_ = previousTime_ = t;
    y_ = previous_ = y;
    h_ = firstStep > 0 && std::isfinite(firstStep) ? firstStep : E{0.01L};
    for (int i = 0; i < m_; ++i) {
        stage_[i] = static_cast<double>(y_[i]);
        dense_[0][i] = y_[i];
        for (int d = 1; d < 5; ++d) {
            dense_[d][i] = 0;
        }
    }
    return rates(stage_.data(), k_[0].data());
}

bool DormandPrince::step(const RateFunction& rates) {
    StateVector next;
    for (;;) {
        const E h = h_;
        // A step the time cannot tell from none would loop for ever.
        if (!(time_ + h > time_)) {
            return false;
        }
        bool ok = true;
        for (int s = 1; s < 7 && ok; ++s) {
            for (int i = 0; i < m_; ++i) {
                E sum = 0;
                for (int j = 0; j < s; ++j) {
                    sum += kA[s][j] * k_[j][i];
                }
                const E value = y_[i] + h * sum;
                if (s == 6) {
                    next[i] = value;
                }
                stage_[i] = static_cast<double>(value);
            }
            ok = rates(stage_.data(), k_[s].data());
        }
        if (!ok) {
            return false;
        }
        E norm = 0;
        bool finite = true;
        for (int i = 0; i < m_; ++i) {
            E error = 0;
            for (int j = 0; j < 7; ++j) {
                error += kError[j] * k_[j][i];
            }
            const E scale = tolerance_ * (1 + std::max(std::fabs(y_[i]), std::fabs(next[i])));
            const E ratio = h * error / scale;
            norm += ratio * ratio;
            finite = finite && std::isfinite(next[i]) && std::isfinite(ratio);
        }
        if (!finite) {
            // The step overflowed: a smaller one may not, as an adaptive method should try before
            // it gives up.
            ++rejected_;
            h_ = h * kMostShrink;
            continue;
        }
        norm = m_ > 0 ? std::sqrt(norm / m_) : 0;
        const E factor =
            norm == 0 ? kMostGrowth
                      : std::clamp(kSafety * std::pow(norm, E{-0.2L}), kMostShrink, kMostGrowth);
        if (norm > 1) {
            ++rejected_;
            h_ = h * std::min(factor, E{1});
            continue;
        }
        for (int i = 0; i < m_; ++i) {
            const E difference = next[i] - y_[i];
            const E spline = h * k_[0][i] - difference;
            E d5 = 0;
            for (int j = 0; j < 7; ++j) {
                d5 += kDense[j] * k_[j][i];
            }
            dense_[0][i] = y_[i];
            dense_[1][i] = difference;
            dense_[2][i] = spline;
            dense_[3][i] = difference - h * k_[6][i] - spline;
            dense_[4][i] = h * d5;
        }
        previous_ = y_;
        previousTime_ = time_;
        for (int i = 0; i < m_; ++i) {
            y_[i] = next[i];
        }
        time_ += h;
        std::swap(k_[0], k_[6]);
        h_ = h * factor;
        ++accepted_;
        return true;
    }
}

void DormandPrince::interpolate(Extended t, StateVector& out) const {
    const E h = time_ - previousTime_;
    const E theta = h > 0 ? (t - previousTime_) / h : 1;
    const E rest = 1 - theta;
    for (int i = 0; i < m_; ++i) {
        out[i] = dense_[0][i] +
                 theta * (dense_[1][i] +
                          rest * (dense_[2][i] + theta * (dense_[3][i] + rest * dense_[4][i])));
    }
}

}  // namespace kalvora
