#include "plot/data_series.h"

#include <algorithm>
#include <cmath>

namespace kalvora {

Tsp_DataSeries::~Tsp_DataSeries() {
    if (plot_ != nullptr) {
        Tsp_SeriesHost* old = plot_;
        plot_ = nullptr;
        old->DetachSeries(*this);
    }
}

void Tsp_DataSeries::SetPlot(Tsp_SeriesHost* plot) {
    if (plot == plot_) {
        return;
    }
    if (plot_ != nullptr) {
        Tsp_SeriesHost* old = plot_;
        plot_ = nullptr;
        old->DetachSeries(*this);
    }
    plot_ = plot;
    if (plot_ != nullptr) {
        plot_->AttachSeries(*this);
    }
}

void Tsp_DataSeries::SetActive(bool active) {
    if (active == active_) {
        return;
    }
    active_ = active;
    RequestAutoScale(false);
}

void Tsp_DataSeries::RequestAutoScale(bool repaintNow) {
    if (plot_ != nullptr) {
        plot_->SeriesChanged(*this, repaintNow);
    }
}

Tsp_XYDataSeries::Tsp_XYDataSeries() {
    lineAttr_.OnChange = [this] { AttributeChanged(); };
}

void Tsp_XYDataSeries::AttributeChanged() {
    if (Plot() != nullptr && Active()) {
        Plot()->SeriesAppearanceChanged(*this);
    }
}

void Tsp_XYDataSeries::AddPoint(double x, double y) {
    xs_.push_back(x);
    ys_.push_back(y);
    if (boundsValid_) {
        ExtendBounds(x, y);
    }
    // An inactive series is invisible, so repainting for it would only cost time; the windows make
    // their series inactive (or lock drawing) while a run streams its points in.
    if (!drawLocked_ && Active() && Plot() != nullptr) {
        RequestAutoScale(true);
    }
}

void Tsp_XYDataSeries::AddPoints(const PlotPoint* points, std::size_t count) {
    if (count == 0) {
        return;
    }
    const std::size_t needed = xs_.size() + count;
    if (xs_.capacity() < needed) {
        // Still growing geometrically: an exact reserve per batch would copy the lists each time.
        const std::size_t room = std::max(needed, 2 * xs_.capacity());
        xs_.reserve(room);
        ys_.reserve(room);
    }
    for (std::size_t i = 0; i < count; ++i) {
        xs_.push_back(points[i].x);
        ys_.push_back(points[i].y);
        if (boundsValid_) {
            ExtendBounds(points[i].x, points[i].y);
        }
    }
    if (!drawLocked_ && Active() && Plot() != nullptr) {
        RequestAutoScale(true);
    }
}

void Tsp_XYDataSeries::ClearPoints() {
    const bool wasEmpty = xs_.empty();
    xs_.clear();
    ys_.clear();
    boundsValid_ = true;
    hasBounds_ = false;
    if (Active() && !wasEmpty && !drawLocked_) {
        RequestAutoScale(false);
    }
}

void Tsp_XYDataSeries::Reserve(std::size_t n) {
    xs_.reserve(n);
    ys_.reserve(n);
}

void Tsp_XYDataSeries::SetDrawLocked(bool locked) {
    if (locked == drawLocked_) {
        return;
    }
    drawLocked_ = locked;
    if (!locked && Active()) {
        RequestAutoScale(false);
    }
}

void Tsp_XYDataSeries::ExtendBounds(double x, double y) const {
    // A point with a non-finite coordinate cannot be placed on an axis, so it must not stretch the
    // bounds to infinity either.
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return;
    }
    if (!hasBounds_) {
        xMin_ = xMax_ = x;
        yMin_ = yMax_ = y;
        hasBounds_ = true;
        return;
    }
    if (x < xMin_) {
        xMin_ = x;
    } else if (x > xMax_) {
        xMax_ = x;
    }
    if (y < yMin_) {
        yMin_ = y;
    } else if (y > yMax_) {
        yMax_ = y;
    }
}

void Tsp_XYDataSeries::RebuildBounds() const {
    hasBounds_ = false;
    for (std::size_t i = 0; i < xs_.size(); ++i) {
        ExtendBounds(xs_[i], ys_[i]);
    }
    boundsValid_ = true;
}

bool Tsp_XYDataSeries::GetXMin(double& value) const {
    if (!boundsValid_) {
        RebuildBounds();
    }
    if (hasBounds_) {
        value = xMin_;
    }
    return hasBounds_;
}

bool Tsp_XYDataSeries::GetXMax(double& value) const {
    if (!boundsValid_) {
        RebuildBounds();
    }
    if (hasBounds_) {
        value = xMax_;
    }
    return hasBounds_;
}

bool Tsp_XYDataSeries::GetYMin(double& value) const {
    if (!boundsValid_) {
        RebuildBounds();
    }
    if (hasBounds_) {
        value = yMin_;
    }
    return hasBounds_;
}

bool Tsp_XYDataSeries::GetYMax(double& value) const {
    if (!boundsValid_) {
        RebuildBounds();
    }
    if (hasBounds_) {
        value = yMax_;
    }
    return hasBounds_;
}

}  // namespace kalvora
