#include "analysis/scan/lyapunovmap/lyapunov_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/sweep/common/tangent_space.h"
#include "core/model_step.h"
#include "core/numbers.h"

namespace kalvora {
namespace {

constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();

void SetAxis(ModelEvaluator& model, StateVector& state, const LyapunovMapAxis& axis,
             Extended value) {
    if (axis.initialValue) {
        state[static_cast<std::size_t>(axis.index)] = value;
    } else {
        model.parameterValues[static_cast<std::size_t>(axis.index)] = value;
    }
}

RgbColour Mix(double fraction, RgbColour end) {
    // From white towards the end colour.
    const auto channel = [&](int shift) {
        const double value = static_cast<double>((end >> shift) & 0xFF);
        return static_cast<RgbColour>(std::lround(255 + (value - 255) * fraction)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

}  // namespace

void CheckLyapunovMapSettings(const ModelDefinition& model, const LyapunovMapSettings& settings) {
    for (const LyapunovMapAxis& axis : {settings.horizontal, settings.vertical}) {
        const int count = axis.initialValue ? model.variableCount : model.parameterCount;
        if (axis.index < 0 || axis.index >= count) {
            throw ScanSettingsError("The axes must be model parameters or variables");
        }
    }
    if (settings.horizontal.initialValue == settings.vertical.initialValue &&
        settings.horizontal.index == settings.vertical.index) {
        throw ScanSettingsError("The two axes must vary different values");
    }
    if (settings.iterations < 1) {
        throw ScanSettingsError("The number of iterations must be at least 1");
    }
    if (settings.transientSteps < 0) {
        throw ScanSettingsError("The number of initial iterations must not be negative");
    }
    CheckScanDomain(settings.domain);
}

double LyapunovMapPixel(ModelEvaluator& model, ModelKind kind, const LyapunovMapSettings& settings,
                        int column, int row) {
    StateVector state = model.model().initialValues;
    model.parameterValues = model.model().parameterValues;
    SetAxis(model, state, settings.horizontal, settings.domain.horizontalAt(column));
    SetAxis(model, state, settings.vertical, settings.domain.verticalAt(row));
    model.errorFlag = false;
    // Nothing looks at the transient's steps: they may run as batches.
    ModelTransient(model, kind, state, settings.transientSteps);
    if (model.errorFlag) {
        return kNotComputed;
    }
    TangentSpace tangent(model, kind, 1);
    for (long long m = 0; m < settings.iterations; ++m) {
        if (!tangent.step(state)) {
            return kNotComputed;
        }
    }
    return static_cast<double>(tangent.exponent(0));
}

RgbColour LyapunovMapColour(double exponent, double lowest, double highest) {
    if (std::isnan(exponent)) {
        return kNoExponentColour;
    }
    constexpr RgbColour kBlue = 0x2166ACu;
    constexpr RgbColour kRed = 0xB2182Bu;
    if (exponent >= 0) {
        return Mix(highest > 0 ? std::min(1.0, exponent / highest) : 0.0, kRed);
    }
    return Mix(lowest < 0 ? std::min(1.0, exponent / lowest) : 1.0, kBlue);
}

LyapunovMapResult LyapunovMap(ScanModels& models, const LyapunovMapSettings& settings,
                              RunControl& control,
                              const std::function<void(long long columnsDone)>& columnsDone,
                              const ColumnRange& columns) {
    if (models.evaluators.empty()) {
        throw ScanSettingsError("The scan has no model to run on");
    }
    CheckLyapunovMapSettings(models.evaluators.front()->model(), settings);
    LyapunovMapResult result;
    result.domain = settings.domain;
    const int rows = settings.domain.rows();
    result.exponents.assign(
        static_cast<std::size_t>(settings.domain.columns()) * static_cast<std::size_t>(rows),
        kNotComputed);
    const ModelKind kind = models.kind;
    // Each pixel is written by the one worker that computes it; the raster's colours wait for
    // the scale, which needs every exponent.
    ScanOutcome outcome = RunScan(
        models, settings.domain, control,
        [&](ModelEvaluator& model, int column, int row) {
            result.exponents[static_cast<std::size_t>(column) * static_cast<std::size_t>(rows) +
                             static_cast<std::size_t>(row)] =
                LyapunovMapPixel(model, kind, settings, column, row);
            return RgbColour{0};
        },
        columnsDone, columns);
    result.raster = std::move(outcome.raster);
    ColourLyapunovMap(result);
    result.stopped = outcome.stopped;
    result.message = outcome.message;
    return result;
}

void ColourLyapunovMap(LyapunovMapResult& result) {
    result.lowest = 0;
    result.highest = 0;
    for (const double exponent : result.exponents) {
        if (std::isfinite(exponent)) {
            result.lowest = std::min(result.lowest, std::max(exponent, -kLyapunovMapFloor));
            result.highest = std::max(result.highest, exponent);
        }
    }
    for (int column = 0; column < result.raster.columns(); ++column) {
        for (int row = 0; row < result.raster.rows(); ++row) {
            if (result.raster.at(column, row) != kBlankPixel) {
                result.raster.set(
                    column, row,
                    LyapunovMapColour(result.at(column, row), result.lowest, result.highest));
            }
        }
    }
}

void WriteLyapunovMapLines(std::ostream& out, const LyapunovMapResult& result) {
    std::string line;
    for (int column = 0; column < result.raster.columns(); ++column) {
        for (int row = 0; row < result.raster.rows(); ++row) {
            if (result.raster.at(column, row) == kBlankPixel) {
                continue;
            }
            line = FormatDataValue(static_cast<double>(result.domain.horizontalAt(column)));
            line += ' ';
            line += FormatDataValue(static_cast<double>(result.domain.verticalAt(row)));
            line += ' ';
            line += FormatDataValue(result.at(column, row));
            line += "\r\n";
            out << line;
        }
    }
}

}  // namespace kalvora
