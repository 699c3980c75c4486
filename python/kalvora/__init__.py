"""Kalvora's analyses of discrete maps and ODE systems, as functions returning numpy arrays.

    import kalvora
    m = kalvora.load("models/henon.mod")
    xy = m.orbit(1000)                                   # (1000, 2): x and y of iterates 1..1000
    r, x = kalvora.load("models/logistic.mod").bifurcation("r", 2.8, 4, 600)

The numbers are those of the desktop program and of kalvora-cli: the same computations run
underneath. Runs release the GIL and stop on Ctrl+C (KeyboardInterrupt). See docs/python.md.
"""

from ._model import Cobweb, Continuation, Cycle, Cycles, Model, ModelError, Objects, Scan, load

__all__ = [
    "Cobweb", "Continuation", "Cycle", "Cycles", "Model", "ModelError", "Objects", "Scan", "load"
]
