#include "analysis/orbit/cycles/cycle_search.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"

namespace kalvora {
namespace {

void Load(ModelWorkspace& ws, const std::string& name) {
    NullModelShell shell;
    ModelSource source;
    LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + name);
}

CycleSettings Box(std::vector<CycleBoxAxis> box, int first, int last) {
    CycleSettings settings;
    settings.box = std::move(box);
    settings.firstPeriod = first;
    settings.lastPeriod = last;
    return settings;
}

CycleSearchOutcome Find(const ModelWorkspace& ws, const CycleSettings& settings, int threads = 1) {
    QuietRunControl control;
    return FindCycles(ws.definition, settings, control, threads);
}

std::vector<const Cycle*> OfPeriod(const CycleSearchOutcome& outcome, int period) {
    std::vector<const Cycle*> cycles;
    for (const Cycle& cycle : outcome.cycles) {
        if (cycle.period == period) {
            cycles.push_back(&cycle);
        }
    }
    return cycles;
}

// The Hénon map's fixed points and 2-cycle in closed form. Fixed points:
// x = (-(1-b) +- sqrt((1-b)^2 + 4a)) / 2a, y = b x. The 2-cycle's x values have the sum
// s = (1-b)/a and the product ((1-b)s - 2 + a s^2) / 2a; its multipliers have the trace
// 4a^2 x1 x2 + 2b and the determinant b^2.
TEST(CycleSearch, HenonFixedPointsAndTwoCycleInClosedForm) {
    ModelWorkspace ws;
    Load(ws, "henon.mod");
    const double a = 1.4;
    const double b = 0.3;
    const CycleSearchOutcome outcome = Find(ws, Box({{0, -2, 2}, {1, -2, 2}}, 1, 2));
    EXPECT_EQ(DerivativeMethod::Exact, outcome.method);
    const auto fixed = OfPeriod(outcome, 1);
    ASSERT_EQ(2u, fixed.size());
    const double root = std::sqrt((1 - b) * (1 - b) + 4 * a);
    const double expected[2] = {(-(1 - b) - root) / (2 * a), (-(1 - b) + root) / (2 * a)};
    for (int k = 0; k < 2; ++k) {
        const Cycle& cycle = *fixed[k];
        EXPECT_NEAR(expected[k], cycle.points[0].values[0], 1e-12);
        EXPECT_NEAR(b * expected[k], cycle.points[0].values[1], 1e-12);
        EXPECT_EQ(CycleType::Saddle, cycle.type);
        EXPECT_FALSE(cycle.stable);
        EXPECT_NEAR(-2 * a * expected[k], cycle.trace, 1e-12);
        EXPECT_NEAR(-b, cycle.determinant, 1e-12);
        // Eigenvalues of [[-2ax, 1], [b, 0]], by descending modulus.
        const double t = -2 * a * expected[k];
        const double d = std::sqrt(t * t + 4 * b);
        const double l1 = (t + d) / 2;
        const double l2 = (t - d) / 2;
        EXPECT_NEAR(std::fabs(l1) > std::fabs(l2) ? l1 : l2, cycle.eigenvalues[0].real(), 1e-12);
        EXPECT_NEAR(std::fabs(l1) > std::fabs(l2) ? l2 : l1, cycle.eigenvalues[1].real(), 1e-12);
        // A saddle's two directions at its point, one of each side, eigenvectors indeed.
        ASSERT_EQ(2u, cycle.points[0].directions.size());
        EXPECT_NE(cycle.points[0].directions[0].stable, cycle.points[0].directions[1].stable);
    }
    const auto two = OfPeriod(outcome, 2);
    ASSERT_EQ(1u, two.size());
    const double s = (1 - b) / a;
    const double p = ((1 - b) * s - 2 + a * s * s) / (2 * a);
    const double x1 = (s - std::sqrt(s * s - 4 * p)) / 2;
    const double x2 = (s + std::sqrt(s * s - 4 * p)) / 2;
    const Cycle& cycle = *two[0];
    ASSERT_EQ(2u, cycle.points.size());
    // In orbit order from the smaller x: (x1, b x2) goes to (x2, b x1).
    EXPECT_NEAR(x1, cycle.points[0].values[0], 1e-12);
    EXPECT_NEAR(b * x2, cycle.points[0].values[1], 1e-12);
    EXPECT_NEAR(x2, cycle.points[1].values[0], 1e-12);
    EXPECT_NEAR(b * x1, cycle.points[1].values[1], 1e-12);
    EXPECT_NEAR(4 * a * a * x1 * x2 + 2 * b, cycle.trace, 1e-11);
    EXPECT_NEAR(b * b, cycle.determinant, 1e-12);
    EXPECT_EQ(CycleType::Saddle, cycle.type);
}

// Logistic r = 3.2: the 2-cycle is stable with multiplier -r^2 + 2r + 4 = 0.16, the fixed point
// 1 - 1/r unstable with multiplier 2 - r, the fixed point 0 with multiplier r; asked for period 2
// alone, the fixed points (found again as roots of F^2) are not reported.
TEST(CycleSearch, LogisticCyclesAndLeastPeriods) {
    ModelWorkspace ws;
    Load(ws, "logistic.mod");
    ReplaceModel(ws, [](ModelDefinition& model) { model.parameterValues[0] = 3.2L; });
    const CycleSearchOutcome outcome = Find(ws, Box({{0, 0, 1}}, 1, 4));
    const auto fixed = OfPeriod(outcome, 1);
    ASSERT_EQ(2u, fixed.size());
    EXPECT_NEAR(0.0, fixed[0]->points[0].values[0], 1e-14);
    EXPECT_NEAR(3.2, fixed[0]->eigenvalues[0].real(), 1e-13);
    EXPECT_NEAR(1 - 1 / 3.2, fixed[1]->points[0].values[0], 1e-14);
    EXPECT_NEAR(2 - 3.2, fixed[1]->eigenvalues[0].real(), 1e-13);
    EXPECT_FALSE(fixed[1]->stable);
    const auto two = OfPeriod(outcome, 2);
    ASSERT_EQ(1u, two.size());
    EXPECT_TRUE(two[0]->stable);
    EXPECT_EQ(CycleType::Node, two[0]->type);
    EXPECT_NEAR(0.16, two[0]->eigenvalues[0].real(), 1e-12);
    // x = (r + 1 -+ sqrt((r+1)(r-3))) / 2r
    const double r = 3.2;
    EXPECT_NEAR((r + 1 - std::sqrt((r + 1) * (r - 3))) / (2 * r), two[0]->points[0].values[0],
                1e-14);
    EXPECT_TRUE(OfPeriod(outcome, 3).empty());
    // The 4-cycles of x -> 3.2 x (1 - x) are all in the complex plane.
    EXPECT_TRUE(OfPeriod(outcome, 4).empty());

    const CycleSearchOutcome second = Find(ws, Box({{0, 0, 1}}, 2, 2));
    ASSERT_EQ(1u, second.cycles.size());
    EXPECT_EQ(2, second.cycles[0].period);
}

// Lorenz (10, 28, 8/3): the origin with eigenvalues (-11 +- sqrt(121 + 40 (r-1))) / 2 and -b;
// C+- = (+-sqrt(b(r-1)), +-sqrt(b(r-1)), r-1), each a root of the characteristic polynomial
// l^3 + (s+b+1) l^2 + b(s+r) l + 2sb(r-1): one real negative root and a pair of positive real part.
TEST(CycleSearch, LorenzEquilibria) {
    ModelWorkspace ws;
    Load(ws, "lorenz.mod");
    const double s = 10;
    const double r = 28;
    const double b = static_cast<double>(ws.model().parameterValues[2]);
    const CycleSearchOutcome outcome =
        Find(ws, Box({{0, -20, 20}, {1, -20, 20}, {2, -5, 40}}, 1, 1));
    ASSERT_EQ(3u, outcome.cycles.size());
    const double c = std::sqrt(b * (r - 1));
    const double expectedX[3] = {-c, 0, c};
    for (int k = 0; k < 3; ++k) {
        const Cycle& e = outcome.cycles[k];
        EXPECT_EQ(1, e.period);
        EXPECT_NEAR(expectedX[k], e.points[0].values[0], 1e-12);
        EXPECT_NEAR(expectedX[k], e.points[0].values[1], 1e-12);
        EXPECT_NEAR(k == 1 ? 0 : r - 1, e.points[0].values[2], 1e-12);
        EXPECT_FALSE(e.stable);
        EXPECT_EQ(CycleType::Saddle, e.type);
        ASSERT_EQ(3u, e.eigenvalues.size());
    }
    const Cycle& origin = outcome.cycles[1];
    const double root = std::sqrt(121 + 40 * (r - 1));
    EXPECT_NEAR((-11 + root) / 2, origin.eigenvalues[0].real(), 1e-12);  // 11.83
    EXPECT_NEAR(-b, origin.eigenvalues[1].real(), 1e-12);                // -2.67
    EXPECT_NEAR((-11 - root) / 2, origin.eigenvalues[2].real(), 1e-12);  // -22.83
    EXPECT_NEAR(11.83, origin.eigenvalues[0].real(), 0.005);
    for (const int k : {0, 2}) {
        const auto& values = outcome.cycles[k].eigenvalues;
        EXPECT_GT(values[0].real(), 0);
        EXPECT_GT(values[0].imag(), 0);
        EXPECT_EQ(std::conj(values[0]), values[1]);
        EXPECT_LT(values[2].real(), 0);
        EXPECT_EQ(0.0, values[2].imag());
        for (const auto& l : values) {
            const auto p = l * l * l + (s + b + 1) * l * l + b * (s + r) * l + 2 * s * b * (r - 1);
            EXPECT_LT(std::abs(p), 1e-9) << l;
        }
    }
}

// An independent count of the Hénon map's cycles: residuals |F^p(z) - z| on a fine grid over
// [-2, 2]^2, each local minimum of the grid polished by plain Newton with the hand-written
// Jacobian in extended precision, the distinct roots of least period p counted. No transformations,
// no dual numbers, a hundred times as many starts.
std::array<int, 9> BruteForceHenonCycleCounts() {
    constexpr long double a = 1.4L;
    constexpr long double b = 0.3L;
    constexpr int m = 1200;
    std::array<int, 9> counts{};
    const auto image = [&](long double& x, long double& y, int p) {
        for (int k = 0; k < p; ++k) {
            const long double next = 1 - a * x * x + y;
            y = b * x;
            x = next;
        }
    };
    for (int p = 1; p <= 8; ++p) {
        std::vector<double> residual(static_cast<std::size_t>(m) * m);
        const auto at = [&](int i, int) { return -2.0L + 4.0L * (i + 0.5L) / m; };
        for (int i = 0; i < m; ++i) {
            for (int j = 0; j < m; ++j) {
                long double x = at(i, j);
                long double y = at(j, i);
                image(x, y, p);
                const long double dx = x - at(i, j);
                const long double dy = y - at(j, i);
                const long double r = dx * dx + dy * dy;
                residual[static_cast<std::size_t>(i) * m + j] =
                    std::isfinite(static_cast<double>(r)) ? static_cast<double>(r) : 1e300;
            }
        }
        std::vector<std::array<long double, 2>> roots;
        for (int i = 1; i + 1 < m; ++i) {
            for (int j = 1; j + 1 < m; ++j) {
                const double r = residual[static_cast<std::size_t>(i) * m + j];
                bool minimum = r < 1.0;
                for (int di = -1; di <= 1 && minimum; ++di) {
                    for (int dj = -1; dj <= 1; ++dj) {
                        if ((di != 0 || dj != 0) &&
                            residual[static_cast<std::size_t>(i + di) * m + j + dj] < r) {
                            minimum = false;
                        }
                    }
                }
                if (!minimum) {
                    continue;
                }
                long double x0 = at(i, j);
                long double y0 = at(j, i);
                bool converged = false;
                for (int iteration = 0; iteration < 60 && !converged; ++iteration) {
                    // F^p and its Jacobian [[j11 j12] [j21 j22]] by the chain rule.
                    long double x = x0, y = y0;
                    long double j11 = 1, j12 = 0, j21 = 0, j22 = 1;
                    for (int k = 0; k < p; ++k) {
                        const long double n11 = -2 * a * x * j11 + j21;
                        const long double n12 = -2 * a * x * j12 + j22;
                        j21 = b * j11;
                        j22 = b * j12;
                        j11 = n11;
                        j12 = n12;
                        const long double next = 1 - a * x * x + y;
                        y = b * x;
                        x = next;
                    }
                    const long double gx = x - x0;
                    const long double gy = y - y0;
                    const long double m11 = j11 - 1, m22 = j22 - 1;
                    const long double det = m11 * m22 - j12 * j21;
                    x0 -= (m22 * gx - j12 * gy) / det;
                    y0 -= (-j21 * gx + m11 * gy) / det;
                    converged = std::fabs(gx) + std::fabs(gy) < 1e-15L;
                    if (!(std::fabs(x0) < 10 && std::fabs(y0) < 10)) {
                        break;
                    }
                }
                if (!converged || std::fabs(x0) > 2 || std::fabs(y0) > 2) {
                    continue;
                }
                bool known = false;
                for (const auto& root : roots) {
                    known = known || (std::fabs(root[0] - x0) + std::fabs(root[1] - y0) < 1e-9L);
                }
                if (!known) {
                    roots.push_back({x0, y0});
                }
            }
        }
        int leastPeriodP = 0;
        for (const auto& root : roots) {
            bool earlier = false;
            for (int q = 1; q < p; ++q) {
                long double x = root[0], y = root[1];
                image(x, y, q);
                earlier = earlier || (std::fabs(x - root[0]) + std::fabs(y - root[1]) < 1e-9L);
            }
            leastPeriodP += earlier ? 0 : 1;
        }
        counts[p] = leastPeriodP / p;
    }
    return counts;
}

// The numbers of Hénon cycles of each least period 1..8 in [-2, 2]^2 (the published 2, 1, 0, 1,
// 0, 2, 4, 7), against the independent count; the same result on one worker and on two, bit for
// bit; and each cycle's points are its orbit.
TEST(CycleSearch, HenonCycleCountsUpToPeriodEight) {
    ModelWorkspace ws;
    Load(ws, "henon.mod");
    const CycleSettings settings = Box({{0, -2, 2}, {1, -2, 2}}, 1, 8);
    const CycleSearchOutcome one = Find(ws, settings, 1);
    const CycleSearchOutcome two = Find(ws, settings, 2);
    const std::array<int, 9> independent = BruteForceHenonCycleCounts();
    const std::array<int, 9> published = {0, 2, 1, 0, 1, 0, 2, 4, 7};
    EXPECT_EQ(published, independent);
    std::array<int, 9> found{};
    for (const Cycle& cycle : one.cycles) {
        ++found[cycle.period];
        ASSERT_EQ(static_cast<std::size_t>(cycle.period), cycle.points.size());
        for (int k = 0; k < cycle.period; ++k) {
            const auto& from = cycle.points[k].values;
            const auto& to = cycle.points[(k + 1) % cycle.period].values;
            EXPECT_NEAR(1 - 1.4 * from[0] * from[0] + from[1], to[0], 1e-11);
            EXPECT_NEAR(0.3 * from[0], to[1], 1e-11);
        }
        // Every Hénon cycle at these values is a saddle; det D(F^p) = (-b)^p.
        EXPECT_EQ(CycleType::Saddle, cycle.type);
        EXPECT_NEAR(std::pow(-0.3, cycle.period), cycle.determinant, 1e-9);
    }
    EXPECT_EQ(independent, found);
    ASSERT_EQ(one.cycles.size(), two.cycles.size());
    for (std::size_t k = 0; k < one.cycles.size(); ++k) {
        EXPECT_EQ(one.cycles[k].period, two.cycles[k].period);
        for (std::size_t i = 0; i < one.cycles[k].points.size(); ++i) {
            EXPECT_EQ(one.cycles[k].points[i].values, two.cycles[k].points[i].values);
        }
        EXPECT_EQ(one.cycles[k].eigenvalues, two.cycles[k].eigenvalues);
    }
}

// Period 12 of the Hénon map has 19 cycles (the published count); from the default 20 x 20 starts
// plain Newton reaches only 17 of them, so the stabilised iterations are what finds the rest.
TEST(CycleSearch, HenonPeriodTwelveNeedsTheStabilisingTransformations) {
    ModelWorkspace ws;
    Load(ws, "henon.mod");
    const CycleSearchOutcome outcome = Find(ws, Box({{0, -2, 2}, {1, -2, 2}}, 12, 12), 2);
    EXPECT_EQ(19u, outcome.cycles.size());
    for (const Cycle& cycle : outcome.cycles) {
        EXPECT_EQ(12, cycle.period);
    }
}

// A model the compiler refuses is searched with difference Jacobians and finds the same cycles.
TEST(CycleSearch, InterpretedModelFindsTheSameCycles) {
    ModelWorkspace compiled;
    Load(compiled, "henon.mod");
    ModelWorkspace interpreted;
    Load(interpreted, "henon.mod");
    ReplaceModel(interpreted, [](ModelDefinition& model) {
        model.scriptText += "\r\n--[[ in the interpreter ]]";
        model.nativeModel.reset();
    });
    CycleSettings settings = Box({{0, -2, 2}, {1, -2, 2}}, 1, 4);
    settings.grid = 8;
    const CycleSearchOutcome exact = Find(compiled, settings);
    const CycleSearchOutcome differences = Find(interpreted, settings, 2);
    EXPECT_EQ(DerivativeMethod::FiniteDifference, differences.method);
    ASSERT_EQ(exact.cycles.size(), differences.cycles.size());
    for (std::size_t k = 0; k < exact.cycles.size(); ++k) {
        const Cycle& e = exact.cycles[k];
        const Cycle& d = differences.cycles[k];
        EXPECT_EQ(e.period, d.period);
        for (std::size_t i = 0; i < e.points.size(); ++i) {
            for (std::size_t v = 0; v < 2; ++v) {
                EXPECT_NEAR(e.points[i].values[v], d.points[i].values[v], 1e-12);
            }
        }
        for (std::size_t i = 0; i < e.eigenvalues.size(); ++i) {
            EXPECT_NEAR(std::abs(e.eigenvalues[i]), std::abs(d.eigenvalues[i]),
                        1e-6 * std::abs(e.eigenvalues[i]));
        }
    }
}

// Other variables than the box's start at their initial values and are free; a cycle with a
// point outside the box is not reported; a stop before the start finds nothing and says so.
TEST(CycleSearch, BoxStopAndFreeVariables) {
    ModelWorkspace ws;
    Load(ws, "cubic_plane.mod");  // x -> r x - x^3, y -> y/2; r = 1.5
    const CycleSearchOutcome outcome = Find(ws, Box({{0, -2, 2}}, 1, 2));
    // Fixed points x = 0, +-sqrt(r - 1) with y = 0; the 2-cycle x = +-sqrt(r + 1) lies outside
    // |x| <= 2 only when r + 1 > 4: here it is inside.
    const auto fixed = OfPeriod(outcome, 1);
    ASSERT_EQ(3u, fixed.size());
    EXPECT_NEAR(-std::sqrt(0.5), fixed[0]->points[0].values[0], 1e-14);
    EXPECT_NEAR(0.0, fixed[0]->points[0].values[1], 1e-14);
    EXPECT_TRUE(fixed[0]->stable);
    EXPECT_EQ(CycleType::Saddle, fixed[1]->type);  // x = 0: multipliers 1.5 and 0.5
    const auto two = OfPeriod(outcome, 2);
    ASSERT_EQ(1u, two.size());
    EXPECT_NEAR(-std::sqrt(2.5), two[0]->points[0].values[0], 1e-13);

    const CycleSearchOutcome narrow = Find(ws, Box({{0, -1.5, 1.5}}, 1, 2));
    EXPECT_TRUE(OfPeriod(narrow, 2).empty());
    EXPECT_EQ(3u, OfPeriod(narrow, 1).size());

    QuietRunControl control;
    control.requestStop();
    const CycleSearchOutcome stopped =
        FindCycles(ws.definition, Box({{0, -2, 2}}, 1, 2), control, 2);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.cycles.empty());
}

TEST(CycleSearch, RefusedSettings) {
    struct Case {
        CycleSettings settings;
        const char* why;
    };
    CycleSettings bad;
    bad.box = {{0, -1, 1}};
    std::vector<Case> cases;
    const auto with = [&](auto change, const char* why) {
        CycleSettings s = bad;
        change(s);
        cases.push_back({s, why});
    };
    with([](CycleSettings& s) { s.firstPeriod = 0; }, "period 0");
    with([](CycleSettings& s) { s.lastPeriod = 13; }, "period 13");
    with([](CycleSettings& s) { s.firstPeriod = 3, s.lastPeriod = 2; }, "reversed periods");
    with([](CycleSettings& s) { s.box.clear(); }, "no box");
    with([](CycleSettings& s) { s.box = {{2, 0, 1}}; }, "no such variable");
    with([](CycleSettings& s) { s.box = {{0, 0, 1}, {0, 0, 1}}; }, "a variable twice");
    with([](CycleSettings& s) { s.box = {{0, 1, 1}}; }, "empty range");
    with([](CycleSettings& s) { s.box = {{0, 0, NAN}}; }, "no number");
    with([](CycleSettings& s) { s.grid = 0; }, "no starts");
    with([](CycleSettings& s) { s.box = {{0, 0, 1}, {1, 0, 1}}, s.grid = 1001; }, "too many");
    with([](CycleSettings& s) { s.tolerance = 0; }, "tolerance 0");
    for (const Case& c : cases) {
        EXPECT_THROW(CheckCycleSettings(2, c.settings), CycleSettingsError) << c.why;
    }
    CycleSettings fine = bad;
    fine.lastPeriod = 12;
    fine.box = {{0, 0, 1}, {1, 0, 1}};
    fine.grid = 1000;
    EXPECT_NO_THROW(CheckCycleSettings(2, fine));
}

}  // namespace
}  // namespace kalvora
