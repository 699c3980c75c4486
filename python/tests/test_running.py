"""Runs release the GIL, stop on Ctrl+C, and give the same numbers from several threads at once."""

import os
import signal
import threading
import time

import numpy as np
import pytest

import kalvora
from conftest import load


def interrupt_after(seconds):
    """Sends SIGINT to this process from another thread, as Ctrl+C would."""
    def fire():
        time.sleep(seconds)
        os.kill(os.getpid(), signal.SIGINT)

    thread = threading.Thread(target=fire)
    thread.start()
    return thread


LONG_RUNS = [
    # A sweep of a compiled map on one thread and on two, and a model stuck inside one step.
    ("sweep", lambda: load("logistic.mod").bifurcation("r", 2.8, 4, 9000, points=1000,
                                                       skip=100000, threads=1)),
    ("sweep on two workers", lambda: load("logistic.mod").lyapunov(
        "r", 2.8, 4, 100000, iterations=100000, skip=100000, threads=2)),
    ("scan", lambda: load("henon.mod").basins("x", "y", (-2, 2), (-2, 2), 2000,
                                              [(1, (0.63, 0.19))], skip=10000)),
    ("endless step", lambda: kalvora.Model("x=0.2", "r=3.7", "while x > 0 do end").orbit(10)),
]


@pytest.mark.parametrize("run", [run for _, run in LONG_RUNS], ids=[n for n, _ in LONG_RUNS])
def test_ctrl_c_stops_a_long_run_within_a_second(run):
    sender = interrupt_after(0.3)
    started = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        run()
    stopped = time.monotonic() - started
    sender.join()
    assert stopped < 0.3 + 1.0


def test_a_stopped_model_runs_again_with_the_same_numbers():
    model = load("logistic.mod")
    expected = model.bifurcation("r", 3, 4, 50, points=10, threads=1)
    sender = interrupt_after(0.2)
    with pytest.raises(KeyboardInterrupt):
        model.bifurcation("r", 2.8, 4, 9000, points=1000, skip=100000, threads=1)
    sender.join()
    again = model.bifurcation("r", 3, 4, 50, points=10, threads=1)
    np.testing.assert_array_equal(again, expected)
    # Ctrl+C outside any run is Python's as ever.
    with pytest.raises(KeyboardInterrupt):
        signal.raise_signal(signal.SIGINT)
        time.sleep(1)


def test_two_threads_at_once_give_what_they_give_one_after_the_other():
    henon = load("henon.mod")
    logistic = load("logistic.mod")
    # Each long enough (a tenth of a second or more, in machine code) that all four have started
    # before the first ends.
    calls = [
        lambda: henon.orbit(2000000, skip=10),
        lambda: logistic.bifurcation("r", 2.8, 4, 300, points=200, skip=200000, threads=1),
        lambda: henon.basins("x", "y", (-1, 1), (-1, 1), 150, [(1, (0.63, 0.19))], threads=1),
        lambda: henon.orbit(2000000, skip=10),
    ]
    alone = [call() for call in calls]
    results = [None] * len(calls)
    spans = [None] * len(calls)
    barrier = threading.Barrier(len(calls))

    def run(index):
        barrier.wait()
        started = time.monotonic()
        results[index] = calls[index]()
        spans[index] = (started, time.monotonic())

    # Twice each, all at once: the pairs share a model, and so its evaluators.
    threads = [threading.Thread(target=run, args=(k,)) for k in range(len(calls))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for got, expected in zip(results, alone):
        if isinstance(expected, tuple):
            for a, b in zip(got, expected):
                np.testing.assert_array_equal(a, b)
        else:
            np.testing.assert_array_equal(got, expected)
    # The runs overlapped: each released the GIL while it computed.
    first_end = min(end for _, end in spans)
    last_start = max(start for start, _ in spans)
    assert last_start < first_end


def test_noise_without_a_seed_goes_on_from_run_to_run_and_a_seed_repeats_it():
    model = load("logistic.mod")
    model.set_noise(0.01)
    first, second = model.orbit(20), model.orbit(20)
    assert not np.array_equal(first, second)
    model.set_noise(0.01, seed=5)
    np.testing.assert_array_equal(model.orbit(20), model.orbit(20))
