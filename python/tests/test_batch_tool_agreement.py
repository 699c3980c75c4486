"""Every analysis gives, value for value, what kalvora-cli writes for the same settings."""

import numpy as np
import pytest

from conftest import data_lines, load, model_path, numbers
from kalvora import _kalvora

def integrated(model, method, tolerance=None):
    model.set_integrator(method, tolerance)
    return model


# (case, model, values set, Python call, batch tool arguments). The calls return (x, y) columns;
# both sides also run with settings other than the defaults where the defaults would hide a
# mapping of one option onto another.
SERIES_CASES = [
    ("timeseries, discrete", "logistic.mod", {},
     lambda m: m.timeseries("x", points=50, skip=10, every=2),
     ["timeseries", "--variable", "x", "--points", 50, "--skip", 10, "--every", 2]),
    ("timeseries, continuous, auxiliary", "vanderpol.mod", {},
     lambda m: m.timeseries("elapsed", start=1, end=5),
     ["timeseries", "--variable", "elapsed", "--from", 1, "--to", 5]),
    ("timeseries, defaults", "lorenz.mod", {}, lambda m: m.timeseries("z"),
     ["timeseries", "--variable", "z"]),
    ("phase, discrete", "henon.mod", {"a": 1.2}, lambda m: m.phase("y", "x", points=500, skip=7),
     ["phase", "--x", "y", "--y", "x", "--points", 500, "--skip", 7, "--set", "a=1.2"]),
    ("phase, continuous", "rossler.mod", {}, lambda m: m.phase("x", "z", start=2, end=9),
     ["phase", "--x", "x", "--y", "z", "--from", 2, "--to", 9]),
    ("delay, discrete", "logistic.mod", {"r": 3.9},
     lambda m: m.delay("x", delay=3, points=300, skip=20),
     ["delay", "--variable", "x", "--delay", 3, "--points", 300, "--skip", 20, "--set", "r=3.9"]),
    ("delay, continuous", "vanderpol.mod", {},
     lambda m: m.delay("x", delay_time=0.7, start=0.5, end=12),
     ["delay", "--variable", "x", "--delay-time", 0.7, "--from", 0.5, "--to", 12]),
    ("bifurcation on two workers against the one-thread file", "logistic.mod", {},
     lambda m: m.bifurcation("r", 2.8, 4, 60, points=20, skip=150, threads=2),
     ["bifurcation", "--parameter", "r", "--variable", "x", "--min", 2.8, "--max", 4,
      "--resolution", 60, "--points", 20, "--skip", 150, "--threads", 1]),
    ("bifurcation, carried state, right to left", "henon.mod", {},
     lambda m: m.bifurcation("a", 1, 1.4, 30, variable="y", points=5, skip=50, carry=True,
                             right_to_left=True),
     ["bifurcation", "--parameter", "a", "--variable", "y", "--min", 1, "--max", 1.4,
      "--resolution", 30, "--points", 5, "--skip", 50, "--carry", "--right-to-left"]),
    ("lyapunov, downwards", "logistic.mod", {},
     lambda m: m.lyapunov("r", 4, 2.5, 80, iterations=300, skip=100, epsilon=1e-4, threads=2),
     ["lyapunov", "--parameter", "r", "--min", 4, "--max", 2.5, "--resolution", 80,
      "--iterations", 300, "--skip", 100, "--epsilon", 1e-4, "--threads", 1]),
    ("lyapunov, continuous", "lorenz.mod", {},
     lambda m: m.lyapunov("r", 20, 30, 4, iterations=200, skip=100),
     ["lyapunov", "--parameter", "r", "--min", 20, "--max", 30, "--resolution", 4,
      "--iterations", 200, "--skip", 100]),
    ("lyapunov, tangent space, integrator before method", "lorenz.mod", {},
     lambda m: integrated(m, "rk4").lyapunov("r", 20, 30, 3, iterations=300, method="tangent"),
     ["lyapunov", "--parameter", "r", "--min", 20, "--max", 30, "--resolution", 3,
      "--iterations", 300, "--method", "rk4", "--method", "tangent"]),
    ("timeseries, Dormand-Prince", "vanderpol.mod", {},
     lambda m: integrated(m, "dopri5", 1e-9).timeseries("x", start=0, end=8),
     ["timeseries", "--variable", "x", "--from", 0, "--to", 8, "--method", "dopri5",
      "--tolerance", 1e-9]),
    ("bifurcation of a flow by maxima", "rossler.mod", {},
     lambda m: m.bifurcation("c", 4, 6, 4, points=8, skip=2000, maxima=True, threads=2),
     ["bifurcation", "--parameter", "c", "--variable", "x", "--min", 4, "--max", 6,
      "--resolution", 4, "--points", 8, "--skip", 2000, "--maxima", "--threads", 1]),
    ("bifurcation of a flow by section crossings", "lorenz.mod", {},
     lambda m: m.bifurcation("r", 24, 28, 3, variable="x", points=10, skip=1000,
                             section="z=20:down"),
     ["bifurcation", "--parameter", "r", "--variable", "x", "--min", 24, "--max", 28,
      "--resolution", 3, "--points", 10, "--skip", 1000, "--section", "z=20:down"]),
]


@pytest.mark.parametrize("case", SERIES_CASES, ids=[case[0] for case in SERIES_CASES])
def test_series_equal_the_batch_tools_data_file(case, cli):
    _, model, values, call, arguments = case
    x, y = call(load(model, **values))
    code, out, err = cli(arguments[0], model_path(model), *arguments[1:])
    assert code == 0, err
    assert len(x) == len(y) > 3
    assert data_lines(x, y) == out.splitlines()


def test_noisy_runs_repeat_the_batch_tools_seeded_run(cli):
    model = load("logistic.mod")
    model.set_noise(0.01, variable="x", type="uniform", probability=0.5, period=2, seed=77)
    noise = ["--noise-level", 0.01, "--noise-type", "uniform", "--noise-probability", 0.5,
             "--noise-period", 2, "--seed", 77]
    for call, arguments in [
        (lambda: model.timeseries("x", points=200, skip=5),
         ["timeseries", "--variable", "x", "--points", 200, "--skip", 5]),
        (lambda: model.lyapunov("r", 3, 3.8, 20, threads=2), ["lyapunov", "--parameter", "r",
                                                             "--min", 3, "--max", 3.8,
                                                             "--resolution", 20]),
    ]:
        first, second = call(), call()
        code, out, err = cli(arguments[0], model_path("logistic.mod"), *arguments[1:], *noise)
        assert code == 0, err
        assert data_lines(*first) == out.splitlines()
        assert data_lines(*second) == out.splitlines()


def test_skipping_failing_values_leaves_them_out_and_warns_as_the_batch_tool_notes(cli):
    # Past r = 4 the logistic orbit leaves [0, 1] and overflows: those values are left out.
    for call, arguments in [
        (lambda m: m.bifurcation("r", 3.6, 4.4, 16, points=5, skip=200, threads=2,
                                 skip_failures=True),
         ["bifurcation", "--variable", "x", "--points", 5, "--skip", 200]),
        (lambda m: m.lyapunov("r", 3.6, 4.4, 16, iterations=300, skip=200, threads=2,
                              skip_failures=True), ["lyapunov", "--iterations", 300, "--skip", 200]),
    ]:
        with pytest.warns(RuntimeWarning) as warned:
            x, y = call(load("logistic.mod"))
        code, out, err = cli(arguments[0], model_path("logistic.mod"), "--parameter", "r",
                             "--min", 3.6, "--max", 4.4, "--resolution", 16, *arguments[1:],
                             "--skip-failures", "--threads", 1)
        assert code == 0, err
        assert data_lines(x, y) == out.splitlines()
        assert x.max() <= 4
        assert [str(w.message) for w in warned] == [err.strip().removeprefix("kalvora-cli: ")]
        assert str(warned[0].message).startswith("skipped ")


def test_orbit_equals_the_orbit_file_to_its_fifteen_digits(cli):
    # The file holds 15 significant digits of the extended values; the array holds them as
    # doubles, so they agree to the file's last digit.
    for model, call, arguments in [
        ("henon.mod", lambda m: m.orbit(1000, skip=5, every=2),
         ["--length", 1000, "--start", 6, "--every", 2]),
        ("vanderpol.mod", lambda m: m.orbit(300), ["--length", 300]),
    ]:
        array = call(load(model))
        code, out, err = cli("orbit", model_path(model), *arguments)
        assert code == 0, err
        expected = numbers(out)
        assert array.shape == expected.shape
        np.testing.assert_allclose(array, expected, rtol=1e-14, atol=0)


def test_poincare_crossings_equal_the_batch_tools_lines(cli):
    model = integrated(load("lorenz.mod"), "dopri5", 1e-10)
    crossings = model.poincare("z=27", direction="both", crossings=40, skip_time=5)
    code, out, err = cli("poincare", model_path("lorenz.mod"), "--section", "z=27", "--direction",
                         "both", "--crossings", 40, "--skip-time", 5, "--method", "dopri5",
                         "--tolerance", 1e-10)
    assert code == 0, err
    expected = numbers(out)
    assert crossings.shape == expected.shape == (40, 4)
    np.testing.assert_allclose(crossings, expected, rtol=1e-14, atol=0)
    assert crossings[0, 0] >= 5
    np.testing.assert_allclose(crossings[:, 3], 27, rtol=1e-9)


def test_cobweb_staircase_and_curve(cli, tmp_path):
    model = load("logistic.mod", r=3.83)
    result = model.cobweb(min=0.1, max=0.95, iterate=2, initial=0.3, steps=12)
    curve = tmp_path / "curve.dat"
    code, out, err = cli("cobweb", model_path("logistic.mod"), "--set", "r=3.83", "--min", 0.1,
                         "--max", 0.95, "--iterate", 2, "--initial", 0.3, "--steps", 12,
                         "--curve", curve)
    assert code == 0, err
    assert data_lines(*result.staircase.T) == out.splitlines()
    assert data_lines(*result.curve.T) == curve.read_text().splitlines()
    assert len(result.curve) == 800
    np.testing.assert_array_equal(result.diagonal, [[0.95, 0.95], [0.1, 0.1]])


def test_objects_polygon_circle_and_attractor(cli, tmp_path):
    model = load("henon.mod")
    square = [(0, 0), (0.5, 0), (0.5, 0.5), (0, 0.5)]
    result = model.objects("x", "y", vertices=square, resolution=25, steps=3, unplotted=1,
                           attractor=(500, 200))
    attractor = tmp_path / "attractor.dat"
    vertices = [arg for corner in square for arg in ("--vertex", f"{corner[0]},{corner[1]}")]
    code, out, err = cli("objects", model_path("henon.mod"), "--h-variable", "x", "--v-variable",
                         "y", *vertices, "--resolution", 25, "--steps", 3, "--unplotted", 1,
                         "--attractor", "500:200", "--attractor-file", attractor)
    assert code == 0, err
    assert data_lines(*result.points.T) == out.splitlines()
    assert len(result.points) == 4 * 25 * 4
    assert data_lines(*result.attractor.T) == attractor.read_text().splitlines()

    circle = model.objects("y", "x", circle=(0.1, 0.2), radius=0.3, resolution=40, steps=2)
    code, out, err = cli("objects", model_path("henon.mod"), "--h-variable", "y", "--v-variable",
                         "x", "--circle", "0.1,0.2", "--radius", 0.3, "--resolution", 40,
                         "--steps", 2)
    assert code == 0, err
    assert data_lines(*circle.points.T) == out.splitlines()
    assert circle.attractor.shape == (0, 2)


def pixel_rows(scan):
    """The scan as the batch tool's pixel file orders it: column by column, top to bottom."""
    rgb = scan.image()
    rows, columns = scan.classes.shape
    return [(scan.horizontal[i], scan.vertical[j], *rgb[j, i]) for i in range(columns)
            for j in range(rows)]


SCAN_CASES = [
    ("basins of two fixed points", "cubic_plane.mod",
     lambda m: m.basins("x", "y", (-1.5, 1.5), (-1, 1), (30, 20),
                        [(1, (0.7071067811865476, 0)), (1, (-0.7071067811865476, 0))],
                        skip=60, threads=2),
     ["basins", "--h-variable", "x", "--v-variable", "y", "--h-range", "-1.5:1.5", "--v-range",
      "-1:1", "--resolution", "30x20", "--cycle", "1:0.7071067811865476,0", "--cycle",
      "1:-0.7071067811865476,0", "--skip", 60, "--threads", 1]),
    ("basin of a 7-cycle, all dimensions", "henon_cycle.mod",
     lambda m: m.basins("y", "x", (-0.5, 0.5), (-1, 1), 24,
                        [(7, (0.42471785245334, 0.198177126186022))], all_dimensions=True,
                        max_distance=50, epsilon=0.01),
     ["basins", "--h-variable", "y", "--v-variable", "x", "--h-range", "-0.5:0.5", "--v-range",
      "-1:1", "--resolution", "24x24", "--cycle", "7:0.42471785245334,0.198177126186022",
      "--all-dimensions", "--max-distance", 50, "--epsilon", 0.01]),
    ("periods of the circle map", "circle.mod",
     lambda m: m.periods("omega", "k", (0, 1), (0, 1), (40, 25), periods=(1, 2, 3, 5),
                         confirm=2, skip=150, threads=2),
     ["periods", "--h-parameter", "omega", "--v-parameter", "k", "--h-range", "0:1",
      "--v-range", "0:1", "--resolution", "40x25", "--periods", "1,2,3,5", "--confirm", 2,
      "--skip", 150, "--threads", 1]),
]


@pytest.mark.parametrize("case", SCAN_CASES, ids=[case[0] for case in SCAN_CASES])
def test_scans_equal_the_batch_tools_pixel_file(case, cli):
    _, model, call, arguments = case
    scan = call(load(model))
    code, out, err = cli(arguments[0], model_path(model), *arguments[1:])
    assert code == 0, err
    expected = numbers(out)
    got = np.array(pixel_rows(scan), dtype=float)
    assert got.shape == expected.shape
    np.testing.assert_array_equal(got[:, 2:], expected[:, 2:])
    np.testing.assert_allclose(got[:, :2], expected[:, :2], rtol=1e-14, atol=1e-300)
    # More than one class, or the comparison above proves little.
    assert len(np.unique(scan.classes)) > 1


def test_scan_classes_and_colours_name_each_cycle():
    # Divergence, then the cycles in the palette's order (cycle 1 red), then no convergence.
    scan = load("cubic_plane.mod").basins(
        "x", "y", (-1.5, 1.5), (-1, 1), 20,
        [(1, (0.7071067811865476, 0)), (1, (-0.7071067811865476, 0)), (1, (5, 5))], skip=60)
    left, right = scan.classes[10, 2], scan.classes[10, 18]
    assert (left, right) == (2, 1)
    assert scan.colours.shape == (5, 3)
    assert [tuple(c) for c in scan.colours] == [(0, 0, 0), (255, 0, 0), (0, 114, 178),
                                                (230, 159, 0), (255, 255, 255)]
    assert scan.horizontal[0] == -1.5 and scan.horizontal[-1] == 1.5
    assert scan.vertical[0] == 1 and scan.vertical[-1] == -1


def test_stats_figures_and_texts(cli):
    model = load("logistic.mod", r=4)
    stats = model.stats("x", skip=50, points=20000)
    code, out, err = cli("stats", model_path("logistic.mod"), "--set", "r=4", "--variable", "x",
                         "--skip", 50, "--points", 20000)
    assert code == 0, err
    printed = dict(line.split(": ", 1) for line in out.splitlines())
    assert stats["texts"] == list(printed.values())
    assert stats["series"] == "x" and stats["count"] == 20000
    for key, label in [("mean", "Mean"), ("median", "Median"), ("maximum", "Maximum"),
                       ("minimum", "Minimum"), ("standard_deviation", "Standard Deviation"),
                       ("variance", "Variance"), ("skewness", "Skewness"),
                       ("kurtosis", "Kurtosis")]:
        assert stats[key] == pytest.approx(float(printed[label]), rel=1e-6, abs=1e-6)
    # The logistic map at r = 4 has the arcsine density: mean 1/2, variance 1/8.
    assert stats["mean"] == pytest.approx(0.5, abs=0.01)
    assert stats["variance"] == pytest.approx(0.125, abs=0.005)
    assert stats["histogram"].sum() == 20000
    assert np.all(np.diff(stats["sample"]) >= 0)


def test_stats_of_a_constant_sample_leave_the_undefined_figures_empty():
    stats = load("logistic.mod", r=2).stats("x", skip=2000, points=10)
    assert stats["skewness"] is None and stats["kurtosis"] is None
    assert stats["texts"][-2:] == ["undefined", "undefined"]
    assert stats["mean"] == pytest.approx(0.5)


@pytest.mark.parametrize("name", ["henon.mod", "lorenz.mod", "vanderpol.mod", "newmodel.mod"])
def test_a_model_prints_as_the_batch_tools_info(name, cli, tmp_path):
    model = load(name)
    code, out, err = cli("info", model_path(name))
    assert code == 0, err
    assert str(model) == out.rstrip("\n")
    # Values changed and stored in a parameter file read back as --par reads them.
    model.initial[model.variables[0]] = -1.25
    model.parameters[next(iter(model.parameters))] = "2.5E-3"
    model.set_noise(2e-5, seed=3)
    par = tmp_path / "values.par"
    model.write_parameters(par)
    code, out, err = cli("info", model_path(name), "--par", par, "--noise-level", 2e-5,
                         "--seed", 3)
    assert code == 0, err
    assert str(model) == out.rstrip("\n")
    fresh = load(name)
    fresh.read_parameters(par)
    assert dict(fresh.parameters) == dict(model.parameters)
    assert dict(fresh.initial) == dict(model.initial)


@pytest.mark.parametrize("model, box, periods, arguments", [
    ("henon.mod", {"x": (-2, 2), "y": (-2, 2)}, (1, 6),
     ["--box", "x=-2:2,y=-2:2", "--periods", "1:6"]),
    ("lorenz.mod", {"x": (-10, 10), "y": (-10, 10)}, None, ["--box", "x=-10:10,y=-10:10"]),
])
def test_fixed_points_are_the_batch_tools_lines(model, box, periods, arguments, cli):
    found = load(model).fixedpoints(box, periods=periods, grid=12, threads=2)
    code, out, err = cli("fixedpoints", model_path(model), *arguments, "--grid", 12)
    assert code == 0, err
    rows = [line.split() for line in out.splitlines()]
    assert len(found) > 0 and found.exact
    ours = []
    for cycle in found:
        for point in cycle.points:
            multipliers = [part for m in cycle.multipliers for part in (m.real, m.imag)]
            ours.append([cycle.period, *point, *multipliers,
                         "stable" if cycle.stable else "unstable"])
    def text(value):  # the batch tool's 15 significant digits
        mantissa, exponent = f"{value:.14E}".split("E")
        return f"{mantissa}E{int(exponent):+05d}"

    assert [[str(mine[0]), *map(text, mine[1:-1]), mine[-1]] for mine in ours] == rows


def test_fixed_points_refuse_what_the_batch_tool_refuses():
    henon = load("henon.mod")
    with pytest.raises(ValueError, match="periods"):
        load("lorenz.mod").fixedpoints({"x": (-1, 1)}, periods=2)
    with pytest.raises(TypeError):
        henon.fixedpoints([("x", -1, 1)])
    with pytest.raises(ValueError):
        henon.fixedpoints({"x": (1, -1)})
    with pytest.raises(ValueError):
        henon.fixedpoints({"x": (-1, 1)}, periods=13)


def test_spectrum_and_lyapunov_map_equal_the_batch_tools_files(cli):
    # One run: the exponents line and the dimension line, to the data format's 10 decimals.
    exponents, dimension = load("henon.mod").spectrum(iterations=20000, skip=100)
    code, out, err = cli("spectrum", model_path("henon.mod"), "--iterations", 20000,
                         "--skip", 100)
    assert code == 0, err
    lines = out.splitlines()
    assert lines[0] == " ".join(_kalvora.data_text(e) for e in exponents)
    assert lines[1] == f"dimension {_kalvora.data_text(dimension)}"

    # A sweep on two workers against the one-thread file: the value, then the exponents.
    values, table = load("lorenz.mod").spectrum(parameter="r", min=20, max=28, resolution=3,
                                                iterations=3000, skip=100, threads=2)
    code, out, err = cli("spectrum", model_path("lorenz.mod"), "--parameter", "r", "--min", 20,
                         "--max", 28, "--resolution", 3, "--iterations", 3000, "--skip", 100,
                         "--threads", 1)
    assert code == 0, err
    assert table.shape == (4, 3)
    assert out.splitlines() == [
        " ".join(_kalvora.data_text(v) for v in (value, *row)) for value, row in zip(values, table)
    ]

    # The map over r and x0: the batch tool's lines run column by column, top to bottom.
    h, v, grid = load("logistic.mod").lyapunov_map("r", "x", (2.5, 4), (0.1, 0.9), (12, 3),
                                                    iterations=400, threads=2)
    code, out, err = cli("lyapunov-map", model_path("logistic.mod"), "--h-parameter", "r",
                         "--v-parameter", "x", "--h-range", "2.5:4", "--v-range", "0.1:0.9",
                         "--resolution", "12x3", "--iterations", 400, "--threads", 1)
    assert code == 0, err
    expected = [" ".join(_kalvora.data_text(x) for x in (h[c], v[r], grid[r, c]))
                for c in range(len(h)) for r in range(len(v))]
    assert out.splitlines() == expected
    assert grid[1, 0] == pytest.approx(np.log(0.5), abs=1e-9)
