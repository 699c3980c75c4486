"""What the package's tests share: the batch tool they compare against and the sample models."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

import kalvora
from kalvora import _kalvora

ROOT = pathlib.Path(__file__).resolve().parents[2]
MODELS = ROOT / "models"


def model_path(name):
    return str(MODELS / name)


@pytest.fixture(scope="session")
def cli():
    """Runs kalvora-cli with the arguments; returns (exit code, standard output, standard error)."""
    program = os.environ.get("KALVORA_CLI") or str(ROOT / "build" / "kalvora-cli")
    if not os.access(program, os.X_OK):
        pytest.skip("kalvora-cli is not built")

    def run(*arguments):
        done = subprocess.run(
            [program, *map(str, arguments)], capture_output=True, text=True, timeout=300
        )
        return done.returncode, done.stdout, done.stderr

    return run


def data_lines(x, y):
    """The batch tool's data-file text for two columns of values."""
    return [f"{_kalvora.data_text(a)} {_kalvora.data_text(b)}" for a, b in zip(x, y)]


def numbers(text):
    """The file's lines as rows of numbers."""
    return np.array([[float(v) for v in line.split()] for line in text.splitlines() if line.strip()])


def load(name, **values):
    model = kalvora.load(model_path(name))
    if values:
        model.parameters = values
    return model
