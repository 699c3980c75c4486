#!/usr/bin/env python3
"""Draws two figures of a paper with kalvora and matplotlib: the bifurcation diagram of the
logistic map with its Lyapunov exponent, and the basins of attraction of the Henon map's stable
7-cycle at a = 1.25.

    PYTHONPATH=build/python python3 examples/figures.py [OUTPUT_FOLDER]

writes bifurcation.png and basins.png (into the current folder by default).
"""

import pathlib
import sys

import matplotlib

matplotlib.use("Agg")  # files only, no window
import matplotlib.pyplot as plt  # noqa: E402

import kalvora  # noqa: E402

MODELS = pathlib.Path(__file__).resolve().parent.parent / "models"


def bifurcation_figure(path):
    logistic = kalvora.load(MODELS / "logistic.mod")
    r, x = logistic.bifurcation("r", 2.8, 4, 1200, points=200, skip=500)
    values, exponents = logistic.lyapunov("r", 2.8, 4, 1200, iterations=1000)
    figure, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(7, 6))
    top.plot(r, x, ",", color="navy")
    top.set_ylabel("x")
    top.set_title("Logistic map x -> r x (1 - x)")
    bottom.plot(values, exponents, color="blue", linewidth=0.8)
    bottom.axhline(0, color="red", linewidth=0.8)
    bottom.set_ylim(-2, 1)
    bottom.set_xlabel("r")
    bottom.set_ylabel("largest Lyapunov exponent")
    figure.tight_layout()
    figure.savefig(path, dpi=120)
    plt.close(figure)


def basin_figure(path):
    henon = kalvora.load(MODELS / "henon_cycle.mod")
    cycle = (7, (0.42471785245334, 0.198177126186022))
    scan = henon.basins("x", "y", (-2, 2), (-2, 2), 300, [cycle])
    figure, axes = plt.subplots(figsize=(6, 6))
    # Row 0 of the classes is the top of the picture, as imshow draws it by default.
    axes.imshow(scan.image(), extent=(-2, 2, -2, 2), interpolation="nearest")
    axes.set_xlabel("x")
    axes.set_ylabel("y")
    axes.set_title("Henon map, a = 1.25: basin of the 7-cycle (red)")
    figure.tight_layout()
    figure.savefig(path, dpi=120)
    plt.close(figure)


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    folder.mkdir(parents=True, exist_ok=True)
    bifurcation_figure(folder / "bifurcation.png")
    basin_figure(folder / "basins.png")


if __name__ == "__main__":
    main()
