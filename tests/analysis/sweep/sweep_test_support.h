#pragma once

#include <cstring>
#include <stdexcept>
#include <vector>

#include "core/point_sink.h"
#include "core/run_control.h"
#include "tests/analysis/test_models.h"

namespace kalvora::testing {

// A sink that fails after `limit` points, as a full disk or memory would.
class ThrowingSink final : public PointSink {
  public:
    explicit ThrowingSink(std::size_t limit) : limit_(limit) {}
    void addPoint(double, double) override {
        if (++count_ > limit_) {
            throw std::runtime_error("sink full");
        }
    }

  private:
    std::size_t limit_;
    std::size_t count_ = 0;
};

// The Lorenz system, continuous, with parameters sigma, r and b; no call counter, so that sweeps
// may spread it over workers.
inline void UseLorenz(ModelWorkspace& ws) {
    UseModel(ws, ModelKind::Continuous, {{"x", 1}, {"y", 1}, {"z", 1}},
             {{"sigma", 10}, {"r", 28}, {"b", 8.0L / 3}}, {},
             "return sigma*(y-x), x*(r-z)-y, x*y-b*z", CallCounter::Off);
    ReplaceModel(ws, [](ModelDefinition& m) { m.stepSize = 0.01L; });
}

inline bool SamePoints(const std::vector<VectorPointSink::Point>& a,
                       const std::vector<VectorPointSink::Point>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        // Bit for bit, NaN included.
        if (std::memcmp(&a[i], &b[i], sizeof a[i]) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace kalvora::testing
