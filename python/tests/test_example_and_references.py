"""The example script runs, and results agree with closed forms computed another way."""

import math
import subprocess
import sys

import numpy as np
import pytest

from conftest import ROOT, load


def test_example_script_draws_both_figures(tmp_path):
    done = subprocess.run([sys.executable, str(ROOT / "examples" / "figures.py"), str(tmp_path)],
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    for name in ("bifurcation.png", "basins.png"):
        data = (tmp_path / name).read_bytes()
        assert data.startswith(b"\x89PNG") and len(data) > 10000


def test_logistic_orbit_at_r_4_follows_its_closed_form():
    # x_n = sin^2(2^n asin(sqrt(x0))); errors double each step, so only the first iterates.
    model = load("logistic.mod", r=4)
    x = model.orbit(20)[:, 0]
    theta = math.asin(math.sqrt(0.2))
    expected = [math.sin(2**n * theta) ** 2 for n in range(1, 21)]
    np.testing.assert_allclose(x, expected, rtol=0, atol=1e-9)


def test_lyapunov_exponents_of_the_logistic_map():
    # At the stable fixed point 1 - 1/r the exponent is ln|2 - r|; at r = 4 it is ln 2.
    model = load("logistic.mod")
    values, exponents = model.lyapunov("r", 2.6, 2.9, 3, iterations=2000, skip=1000,
                                       epsilon=1e-9)
    np.testing.assert_allclose(exponents, np.log(np.abs(2 - values)), rtol=1e-5)
    _, chaotic = model.lyapunov("r", 4, 4, 1, iterations=100000, skip=100)
    assert chaotic[0] == pytest.approx(math.log(2), abs=0.01)


def test_henon_fixed_point_and_the_period_doubling_of_the_logistic_map():
    a, b = 1.4, 0.3
    fixed = (-(1 - b) + math.sqrt((1 - b) ** 2 + 4 * a)) / (2 * a)
    henon = load("henon.mod")
    henon.initial = {"x": fixed, "y": b * fixed}
    # The fixed point is unstable: the first iterates stay on it to rounding.
    np.testing.assert_allclose(henon.orbit(5), [[fixed, b * fixed]] * 5, atol=1e-12)
    # One value per parameter below r = 3, two between 3 and 1 + sqrt(6).
    r, x = load("logistic.mod").bifurcation("r", 2.85, 3.35, 5, points=50, skip=20000)
    for value in np.unique(r):
        expected = 1 if value < 3 else 2
        assert len(np.unique(np.round(x[r == value], 6))) == expected
