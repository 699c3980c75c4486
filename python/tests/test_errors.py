"""Model failures raise ModelError with the batch tool's message and its partial output; bad
arguments raise ValueError or TypeError with the batch tool's words, before anything runs."""

import numpy as np
import pytest

import kalvora
from conftest import data_lines, load, numbers


def model_file(tmp_path, name, *lines):
    path = tmp_path / name
    path.write_bytes("\r\n".join(lines).encode() + b"\r\n")
    return str(path)


def test_failures_carry_the_batch_tools_message_line_and_output(cli, tmp_path):
    overflow = model_file(tmp_path, "overflow.mod", "x=0.2", "r=3.9", "", "d", "x=x*x*1e200")
    nil = model_file(tmp_path, "nil.mod", "x=0.2", "r=3.9", "", "d", "local y",
                     "if r > 3.5 and x > 0.8 then y = y + 1 end", "x=r*x*(1-x)")
    cases = [
        (overflow, lambda m: m.orbit(8), ["orbit", "--length", 8], None),
        (nil, lambda m: m.orbit(8), ["orbit", "--length", 8], 2),
        (nil, lambda m: m.bifurcation("r", 3, 3.8, 20, points=4, skip=3, threads=2),
         ["bifurcation", "--parameter", "r", "--variable", "x", "--min", 3, "--max", 3.8,
          "--resolution", 20, "--points", 4, "--skip", 3], 2),
        (overflow, lambda m: m.timeseries("x", points=10, skip=0),
         ["timeseries", "--variable", "x", "--points", 10, "--skip", 0], None),
    ]
    for path, call, arguments, line in cases:
        with pytest.raises(kalvora.ModelError) as raised:
            call(kalvora.load(path))
        code, out, err = cli(arguments[0], path, *arguments[1:])
        assert code == 1
        error = raised.value
        assert f"kalvora-cli: {error.message}" == err.strip().splitlines()[-1]
        assert error.line == line
        partial = error.partial
        if isinstance(partial, tuple):
            assert data_lines(*partial) == out.splitlines()
            assert len(partial[0]) > 0
        else:
            np.testing.assert_allclose(partial, numbers(out).reshape(partial.shape), rtol=1e-14)


def test_refused_scripts_and_files(cli, tmp_path):
    with pytest.raises(kalvora.ModelError) as raised:
        kalvora.Model("x=0.5", "r=2", "\ny=1\nx=r*x*(1-x")
    assert raised.value.line == 3
    assert raised.value.message.startswith("Error in syntax: line 3:")
    assert raised.value.partial is None
    # Files the batch tool refuses (exit code 2), refused with its words.
    for lines, error in [
        (("x=0.2", "r=2", "", "d", "y=1", "x=r*"), kalvora.ModelError),
        (("x=0.2", "r=a", "", "d", "x=r*x"), ValueError),
        (("x=0.2", "r=2", "", "c 0", "x=r*x"), ValueError),
    ]:
        path = model_file(tmp_path, "bad.mod", *lines)
        with pytest.raises(error) as raised:
            kalvora.load(path)
        code, _, err = cli("orbit", path, "--length", 1)
        assert code == 2
        assert f": {raised.value}\n" in err
    with pytest.raises(OSError, match="Cannot open file"):
        kalvora.load(tmp_path / "missing.mod")


BAD_ARGUMENTS = [
    (lambda m: m.orbit(0), ValueError, "n must lie between 1 and 100000000, not 0"),
    (lambda m: m.orbit(1.5), TypeError, "n: 1.5 is not a valid integer value"),
    (lambda m: m.orbit(True), TypeError, "is not a valid integer value"),
    (lambda m: m.timeseries("q"), ValueError, "variable: the model has no variable 'q'"),
    (lambda m: m.timeseries("x", start=1), ValueError,
     "start and end apply to continuous models; use points, skip and every for this discrete "
     "model"),
    (lambda m: m.timeseries("x", every=1001), ValueError,
     "every must lie between 1 and 1000, not 1001"),
    (lambda m: m.phase("x", "x", points=1), ValueError, "points must lie between 2 and"),
    (lambda m: m.delay("x", delay=21), ValueError, "delay must lie between 1 and 20, not 21"),
    (lambda m: m.bifurcation("q"), ValueError,
     "parameter: the model has no parameter 'q' (parameters: r)"),
    (lambda m: m.bifurcation("r", resolution=0), ValueError, "Floating point division by zero"),
    (lambda m: m.bifurcation("r", min="abc"), ValueError,
     "min: 'abc' is not a valid floating point value"),
    (lambda m: m.bifurcation("r", min=[1]), TypeError, "min: [1] is not a valid floating point"),
    (lambda m: m.bifurcation("r", resolution=100000, points=1000), ValueError,
     "at most 10000000 points"),
    (lambda m: m.lyapunov("r", threads=-1), ValueError, "threads must lie between 0 and 1024"),
    (lambda m: m.cobweb(iterate=101), ValueError, "iterate must lie between 1 and 100, not 101"),
    (lambda m: m.stats("x", points=100001), ValueError,
     "points must lie between 2 and 100000, not 100001"),
    (lambda m: m.basins("x", "x", (0, 1), (0, 1), 10, [(1, (0,))]), ValueError,
     "basins need a model with at least two variables"),
    (lambda m: m.periods("r", "r", (0, 1), (0, 1), 10), ValueError,
     "periods need a model with at least two parameters"),
    (lambda m: m.set_noise(0.1, type="gauss"), ValueError,
     "type must be normal or uniform, not 'gauss'"),
    (lambda m: m.set_noise(0.1, probability=2), ValueError,
     "probability must lie between 0 and 1, not 2"),
    (lambda m: setattr(m, "step_size", 0.1), ValueError,
     "step_size: logistic is a discrete model; a step size applies only to continuous models"),
    (lambda m: m.set_integrator("rk4"), ValueError,
     "method: logistic is a discrete model; an integrator applies only to continuous models"),
    (lambda m: m.lyapunov("r", method="tangent", epsilon=0.01), ValueError,
     "epsilon belongs to the two-trajectory method"),
    (lambda m: m.lyapunov("r", method="qr"), ValueError,
     "method: expected two-trajectories or tangent, got 'qr'"),
    (lambda m: m.bifurcation("r", maxima=True), ValueError,
     "maxima: logistic is a discrete model; crossings and maxima are plotted only"),
    (lambda m: m.poincare("x=0.5"), ValueError,
     "logistic is a discrete model; a Poincaré section needs a continuous one"),
]


@pytest.mark.parametrize("call, error, words", BAD_ARGUMENTS)
def test_bad_arguments_are_refused_with_the_batch_tools_words(call, error, words):
    with pytest.raises(error) as raised:
        call(load("logistic.mod"))
    assert words in str(raised.value)


def test_bad_arguments_of_two_variable_and_continuous_models():
    henon = load("henon.mod")
    for call, error, words in [
        (lambda: henon.cobweb(), ValueError,
         "the graphical analysis follows a map of one variable; this model has 2"),
        (lambda: henon.objects("x", "y", vertices=[(0, 0)], circle=(0, 0)), ValueError,
         "not both"),
        (lambda: henon.objects("x", "y", vertices=[(0, 0, 1)]), ValueError,
         "needs 2 values, one for each model variable"),
        (lambda: henon.objects("x", "y", vertices=[(0, 0)], attractor=(1, 5)), ValueError,
         "attractor must lie between 2 and 1000000, not 1"),
        (lambda: henon.basins("x", "y", (0, 1), (0, 1), 10, []), ValueError,
         "at least one cycle"),
        (lambda: henon.basins("x", "y", (0, 1), (0, 1), 10, [(1, (0,))]), ValueError,
         "needs 2 values"),
        (lambda: henon.basins("x", "y", (0, 1), (0, 1), 0, [(1, (0, 0))]), ValueError,
         "resolution must lie between 1"),
    ]:
        with pytest.raises(error, match=None) as raised:
            call()
        assert words in str(raised.value)
    lorenz = load("lorenz.mod")
    for call, words in [
        (lambda: lorenz.timeseries("x", points=10), "points, skip and every apply to discrete"),
        (lambda: lorenz.timeseries("x", start=5, end=5.02),
         "the interval must start at 0 or later and hold more than three steps"),
        (lambda: setattr(lorenz, "step_size", -1), "the step size must be a positive number"),
        (lambda: lorenz.set_integrator("euler"), "method: expected rk3, rk4 or dopri5, got 'euler'"),
        (lambda: lorenz.set_integrator("rk4", 1e-6), "only the adaptive method dopri5 takes"),
        (lambda: lorenz.set_integrator("dopri5", 2), "tolerance: expected a number between 0 and 1"),
        (lambda: lorenz.poincare("w=1"), "w"),
        (lambda: lorenz.poincare("z=27", direction="sideways"), "direction: expected up, down"),
        (lambda: lorenz.bifurcation("r", section="z=27", maxima=True), "choose one"),
    ]:
        with pytest.raises(ValueError) as raised:
            call()
        assert words in str(raised.value)


def test_values_are_checked_by_name_and_stored_all_or_none():
    model = load("henon.mod")
    with pytest.raises(KeyError, match=r"no parameter 'c' \(parameters: a, b\)"):
        model.parameters["c"] = 1
    with pytest.raises(ValueError, match="b: 'x' is not a valid floating point value"):
        model.parameters = {"a": 1.1, "b": "x"}
    assert dict(model.parameters) == {"a": 1.4, "b": 0.3}
    model.parameters.update(a="1.25", b=0.2)
    model.initial["y"] = -0.5
    assert dict(model.parameters) == {"a": 1.25, "b": 0.2}
    assert model.initial["y"] == -0.5
    with pytest.raises(TypeError):
        del model.parameters["a"]
    # A value typed as a decimal is read as the desktop reads it, in extended precision, so a
    # float and its text give the same run.
    by_float = model.orbit(50)
    model.parameters["a"] = "1.25"
    np.testing.assert_array_equal(model.orbit(50), by_float)


def test_a_scan_colours_failing_pixels_divergent_and_warns_with_the_message(cli, tmp_path):
    path = model_file(tmp_path, "half.mod", "x=0.1, y=0.1", "a=1", "", "d",
                      "if x > 0.5 then x = nil + 1 end", "y=y/2", "x=x/2")
    with pytest.warns(RuntimeWarning, match="Error in variable/function name"):
        scan = kalvora.load(path).basins("x", "y", (0, 1), (0, 1), 10, [(1, (0, 0))], skip=30)
    classes = scan.classes
    assert set(np.unique(classes[:, :5])) == {1} and set(np.unique(classes[:, 6:])) == {0}
    code, out, _ = cli("basins", path, "--h-variable", "x", "--v-variable", "y", "--h-range",
                       "0:1", "--v-range", "0:1", "--resolution", "10x10", "--cycle", "1:0,0",
                       "--skip", 30)
    assert code == 0
    assert (numbers(out)[:, 2:] == 0).all(axis=1).sum() == (classes == 0).sum()


def test_a_parameter_file_with_a_step_size_that_cannot_run_changes_nothing(tmp_path):
    lorenz = load("lorenz.mod")
    before = (dict(lorenz.parameters), dict(lorenz.initial), lorenz.step_size)
    par = tmp_path / "zero-step.par"
    lorenz.parameters["sigma"] = 11
    lorenz.write_parameters(par)
    lorenz.parameters["sigma"] = before[0]["sigma"]
    lines = par.read_bytes().split(b"\r\n")
    lines[2] = b"0"
    par.write_bytes(b"\r\n".join(lines))
    with pytest.raises(ValueError, match="the step size must be a positive number, not 0"):
        lorenz.read_parameters(par)
    assert (dict(lorenz.parameters), dict(lorenz.initial), lorenz.step_size) == before
