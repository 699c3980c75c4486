"""m.continuation gives, value for value, kalvora-cli continuation's branch and special points."""

import math

import pytest

from conftest import load, model_path, numbers

CASES = [
    ("logistic cascade", "logistic.mod",
     lambda m: m.continuation("r", 2.5, 3.6, start={"x": 0.6, "r": 2.8}, switch=["PD", "PD"]),
     ["--parameter", "r", "--from", 2.5, "--to", 3.6, "--start", "x=0.6,r=2.8",
      "--switch", "PD,PD"]),
    ("lorenz pitchfork", "lorenz.mod",
     lambda m: m.continuation("r", 0, 30, start={"x": 0, "y": 0, "z": 0, "r": 0.5}, step=0.1,
                              max_points=400, switch="BP"),
     ["--parameter", "r", "--from", 0, "--to", 30, "--start", "x=0,y=0,z=0,r=0.5",
      "--step", 0.1, "--max-points", 400, "--switch", "BP"]),
]


@pytest.mark.parametrize("case", CASES, ids=[case[0] for case in CASES])
def test_continuation_equals_the_batch_tools_files(case, cli, tmp_path):
    _, model, call, arguments = case
    result = call(load(model))
    special = tmp_path / "special.txt"
    code, out, err = cli("continuation", model_path(model), *arguments, "--special", special)
    assert code == 0, err
    assert result.branch.shape == numbers(out).shape
    # The files hold 15 significant digits.
    assert result.branch == pytest.approx(numbers(out), rel=1e-14, abs=1e-300)
    lines = special.read_text().splitlines()
    assert result.labels == [line.split()[0] for line in lines]
    rows = numbers("\n".join(" ".join(line.split()[1:]) for line in lines))
    assert result.special == pytest.approx(rows, rel=1e-14, abs=1e-300)


def test_the_cascade_and_refusals():
    m = load("logistic.mod")
    c = m.continuation("r", 2.5, 3.6, start={"x": 0.6, "r": 2.8}, switch="PD,PD")
    assert c.special[:, 0] == pytest.approx([3, 1 + math.sqrt(6), 1 + math.sqrt(6),
                                             3.5440903595519, 3.5440903595519], abs=1e-9)
    with pytest.raises(ValueError, match="period 1, not 2"):
        m.continuation("r", 2.5, 3.5, start={"x": 0.6875, "r": 3.2}, period=2)
    with pytest.raises(ValueError, match="PD or BP"):
        m.continuation("r", 2.5, 3.5, switch="XY")
    with pytest.raises(KeyError):
        m.continuation("r", 2.5, 3.5, start={"q": 1})
