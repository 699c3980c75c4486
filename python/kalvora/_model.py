"""The Model class: argument checks with the batch tool's words, results shaped for numpy."""

import collections
import collections.abc
import numbers
import warnings

import numpy as np

from . import _kalvora

# The batch tool's limits, so that a call refused here is refused there with the same words.
_INT32_MAX = 2**31 - 1
_INT64_MAX = 2**63 - 1


class ModelError(Exception):
    """The model failed during a run, or its script was refused.

    message: the script's message (with the equation line), or "Overflow" for an arithmetic fault.
    line: the equation line the message names, or None.
    partial: what was computed before the failure, shaped as the run's result would be (None when
    the script was refused before anything ran).
    """

    def __init__(self, message, line=None, partial=None):
        super().__init__(message)
        self.message = message
        self.line = line or None
        self.partial = partial


Cobweb = collections.namedtuple("Cobweb", "staircase curve diagonal")
Cobweb.__doc__ = """The graphical analysis: (n, 2) arrays of the staircase, of the iterate's graph
(800 points) and of the diagonal."""

Continuation = collections.namedtuple("Continuation", "branch labels special")
Continuation.__doc__ = """A continuation: the branch, (n, variables + 2) rows of the parameter, the
variables and 1 (stable) or 0 (unstable); the special points' labels ("LP", "PD", "NS", "H",
"BP"); and their (m, variables + 1) rows of the parameter and the variables."""

Objects = collections.namedtuple("Objects", "points attractor")
Objects.__doc__ = """Iterating objects: the object's points and then its images after each step,
(n, 2); the attractor's points, (m, 2) (empty without attractor=)."""


Cycle = collections.namedtuple(
    "Cycle", "period points multipliers stable type trace determinant"
)
Cycle.__doc__ = """A fixed point, cycle or equilibrium: its least period (1 for an equilibrium), its
points in orbit order as a (period, variables) array, the multipliers (eigenvalues of the
derivative of F^period; a flow: of the Jacobian) as a complex array by descending modulus (a
flow: real part), stable, the type ("node", "focus" or "saddle"), and the trace and determinant
of that derivative (meaningful for two variables)."""


class Cycles(list):
    """The cycles a search found, by period and then by their first points. exact: whether the
    derivatives were exact (the script compiled) or central differences."""

    def __init__(self, cycles, exact):
        super().__init__(cycles)
        self.exact = exact


class Scan(tuple):
    """A basin or period scan, unpacked as (classes, colours): classes, (rows, columns) ints with
    row 0 at the top (the largest vertical value); colours, (classes, 3) uint8 RGB. Class 0 is
    divergence, 1 .. C the cycles (or periods) in the order given, C + 1 no convergence.
    horizontal and vertical hold the values of the columns and of the rows."""

    def __new__(cls, classes, colours, horizontal, vertical):
        scan = super().__new__(cls, (classes, colours))
        scan.horizontal = horizontal
        scan.vertical = vertical
        return scan

    @property
    def classes(self):
        return self[0]

    @property
    def colours(self):
        return self[1]

    def image(self):
        """The picture as the program colours it: (rows, columns, 3) uint8."""
        return self.colours[self.classes]


def _integer(name, value, minimum, maximum):
    # Plain ints first: the checks are part of every call's cost, which short runs feel.
    if type(value) is not int:
        if isinstance(value, bool) or not isinstance(value, numbers.Integral):
            raise TypeError(f"{name}: {value!r} is not a valid integer value")
        value = int(value)
    if not minimum <= value <= maximum:
        raise ValueError(f"{name} must lie between {minimum} and {maximum}, not {value}")
    return value


def _number(name, value):
    """The number as text: a float as its shortest decimal, read again in extended precision as
    the desktop reads what the user typed; a string as given."""
    if isinstance(value, str):
        try:
            _kalvora.read_number(value)
        except ValueError as error:
            raise ValueError(f"{name}: {error}") from None
        return value
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name}: {value!r} is not a valid floating point value")
    if isinstance(value, numbers.Integral):
        return str(int(value))
    text = repr(float(value))
    try:
        _kalvora.read_number(text)
    except ValueError as error:
        raise ValueError(f"{name}: {error}") from None
    return text


def _pair(name, value, convert):
    try:
        first, second = value
    except (TypeError, ValueError):
        raise TypeError(f"{name} expects a pair (MIN, MAX), not {value!r}") from None
    return convert(name, first), convert(name, second)


def _name_list(names):
    return ", ".join(names) if names else "none"


class _Values(collections.abc.MutableMapping):
    """A model's parameters or initial values by name. Names are fixed; values are checked as the
    parameter window checks them, all of an update before any is stored."""

    def __init__(self, model, what):
        self._model = model
        self._what = what

    def _names(self):
        engine = self._model._engine
        if self._what == "parameter":
            return engine.parameter_names
        return engine.variable_names + engine.auxiliary_names

    def _values(self):
        engine = self._model._engine
        if self._what == "parameter":
            return engine.parameter_values
        return engine.initial_values

    def _index(self, name):
        names = self._names()
        if name not in names:
            raise KeyError(
                f"the model has no {self._what} {name!r} ({self._what}s: {_name_list(names)})"
            )
        return names.index(name)

    def __getitem__(self, name):
        return self._values()[self._index(name)]

    def __setitem__(self, name, value):
        self.update({name: value})

    def update(self, values=(), **more):
        values = dict(values, **more)
        checked = [(self._index(name), _number(name, value)) for name, value in values.items()]
        if self._what == "parameter":
            self._model._engine.set_parameters(checked)
        else:
            self._model._engine.set_initial_values(checked)

    def __delitem__(self, name):
        raise TypeError(f"the model's {self._what}s are fixed by its definition")

    def __iter__(self):
        return iter(self._names())

    def __len__(self):
        return len(self._names())

    def __repr__(self):
        return repr(dict(self))


def _refused(make):
    """The engine made by make(); a script refused as it is compiled or first run raises
    ModelError with Lua's words and the equation line."""
    try:
        return make()
    except _kalvora.ModelFailure as failure:
        message, line = failure.args
        raise ModelError(message, line) from None


def load(path, memory_limit=1024):
    """Loads a model file (.mod). memory_limit: the most memory the model may use, in MiB."""
    limit = _integer("memory_limit", memory_limit, 1, 1 << 20)
    model = Model.__new__(Model)
    model._engine = _refused(lambda: _kalvora.Engine.from_file(str(path), limit))
    return model


class Model:
    """One model: a map (kind="discrete") or an ODE system (kind="continuous").

    Model(initial="x=0.1, y=0.1", parameters="a=1.4, b=0.3", equations="...") takes the texts of
    the model editor; equations are Lua 5.1 statements that leave the next values (or the
    derivatives) in the variables' names and the auxiliary variables' values in theirs.
    """

    def __init__(
        self,
        initial,
        parameters="",
        equations="",
        auxiliaries="",
        kind="discrete",
        step_size=0.01,
        memory_limit=1024,
    ):
        if kind not in ("discrete", "continuous"):
            raise ValueError(f"kind must be discrete or continuous, not {kind!r}")
        for name, text in (
            ("initial", initial),
            ("parameters", parameters),
            ("equations", equations),
            ("auxiliaries", auxiliaries),
        ):
            if not isinstance(text, str):
                raise TypeError(f"{name} must be a text, not {type(text).__name__}")
        step = _number("step_size", step_size)
        limit = _integer("memory_limit", memory_limit, 1, 1 << 20)
        self._engine = _refused(
            lambda: _kalvora.Engine.from_texts(
                initial, parameters, auxiliaries, equations, kind == "discrete", step, limit
            )
        )

    # The definition.

    @property
    def name(self):
        return self._engine.name

    @property
    def file(self):
        return self._engine.file or None

    @property
    def kind(self):
        return "discrete" if self._engine.discrete else "continuous"

    @property
    def variables(self):
        """The variables' names, in order (the columns of an orbit before the auxiliaries)."""
        return tuple(self._engine.variable_names)

    @property
    def auxiliaries(self):
        return tuple(self._engine.auxiliary_names)

    @property
    def equations(self):
        return self._engine.equations

    @property
    def parameters(self):
        """The current parameter values by name; assign a dict or set items to change them."""
        return _Values(self, "parameter")

    @parameters.setter
    def parameters(self, values):
        _Values(self, "parameter").update(values)

    @property
    def initial(self):
        """The initial values by name (variables, then auxiliary variables)."""
        return _Values(self, "variable")

    @initial.setter
    def initial(self, values):
        _Values(self, "variable").update(values)

    @property
    def step_size(self):
        """The Runge-Kutta step size (continuous models)."""
        return self._engine.step_size

    @step_size.setter
    def step_size(self, value):
        self._engine.set_step_size(_number("step_size", value))

    def read_parameters(self, path):
        """Takes the initial values, parameters and step size of a parameter file (.par)."""
        self._engine.read_parameter_file(str(path))

    def write_parameters(self, path):
        """Writes the current values as a parameter file (.par)."""
        self._engine.write_parameter_file(str(path))

    def set_noise(self, level, variable=None, type="normal", probability=1, period=1, seed=None,
                  wiener=False):
        """Noise added to one variable after every eligible step: a positive level (standard
        deviation) switches it on, 0 off. seed: every run restarts the generator from it, so runs
        repeat; without it the generator is seeded from the clock. wiener=True (continuous
        models): each addition is scaled by the square root of the step, so the variance per unit
        of time is level squared whatever the step size."""
        options = _kalvora.NoiseOptions()
        options.level = _number("level", level)
        if _kalvora.read_number(options.level) < 0:
            raise ValueError(f"level must not be negative, not {level}")
        options.variable = 1 if variable is None else self._variable("variable", variable) + 1
        if type not in ("normal", "uniform"):
            raise ValueError(f"type must be normal or uniform, not {type!r}")
        options.uniform = type == "uniform"
        options.probability = _number("probability", probability)
        options.period = _integer("period", period, 1, 1000)
        if seed is not None:
            options.seed = _integer("seed", seed, -(2**31), _INT32_MAX)
        options.wiener = bool(wiener)
        self._engine.set_noise(options)

    @property
    def noise(self):
        """The noise settings as a dict (level 0: off)."""
        options = self._engine.noise()
        return {
            "level": _kalvora.read_number(options.level),
            "variable": self.variables[options.variable - 1],
            "type": "uniform" if options.uniform else "normal",
            "probability": _kalvora.read_number(options.probability),
            "period": options.period,
            "seed": options.seed,
            "wiener": options.wiener,
        }

    def set_integrator(self, method="rk3", tolerance=None):
        """How a continuous model is integrated from now on: "rk3" (the default, Kutta's
        third-order step of step_size), "rk4" (the classical fourth-order step) or "dopri5"
        (Dormand-Prince 5(4) with adaptive steps, sampled at multiples of step_size) with its
        absolute and relative tolerance (default 1e-8). As --method and --tolerance of the batch
        tool; never written to a model file."""
        if not isinstance(method, str):
            raise TypeError(f"method: {method!r} is not a name (rk3, rk4 or dopri5)")
        text = "" if tolerance is None else _number("tolerance", tolerance)
        self._engine.set_integrator(method, text)

    @property
    def integrator(self):
        """(method, tolerance): the integrator's name and the tolerance dopri5 uses."""
        return self._engine.integrator

    def __repr__(self):
        engine = self._engine
        text = f"<kalvora.Model {engine.name!r} {self.kind}"
        if not engine.discrete:
            text += f", step size {engine.step_size_text}"
        names = engine.variable_names
        text += ": " + ", ".join(f"{n}={v}" for n, v in zip(names, engine.initial_texts))
        if engine.parameter_names:
            text += "; " + ", ".join(
                f"{n}={v}" for n, v in zip(engine.parameter_names, engine.parameter_texts)
            )
        return text + ">"

    def __str__(self):
        engine = self._engine

        def assignments(names, values):
            return ", ".join(f"{n}={v}" for n, v in zip(names, values)) or "none"

        count = len(engine.variable_names)
        lines = [f"Model: {engine.name}"]
        if engine.file:
            lines.append(f"File: {engine.file}")
        lines.append(f"Kind: {self.kind}")
        if not engine.discrete:
            lines.append(f"Step size: {engine.step_size_text}")
        lines.append(f"Variables: {assignments(engine.variable_names, engine.initial_texts[:count])}")
        lines.append(
            f"Parameters: {assignments(engine.parameter_names, engine.parameter_texts)}"
        )
        lines.append(
            f"Auxiliaries: {assignments(engine.auxiliary_names, engine.initial_texts[count:])}"
        )
        noise = engine.noise()
        if _kalvora.read_number(noise.level) > 0:
            lines.append(
                f"Noise: {'uniform' if noise.uniform else 'normal'}, level {noise.level}, on "
                f"{engine.variable_names[noise.variable - 1]}"
                + (f", seed {noise.seed}" if noise.seed is not None else "")
            )
        lines.append("Equations:")
        lines.extend("  " + line for line in engine.equations.splitlines())
        return "\n".join(lines)

    # Names to the engine's numbers.

    def _entry(self, option, name):
        """The 1-based state entry (variables, then auxiliaries) of a name."""
        names = self._engine.variable_names + self._engine.auxiliary_names
        if not isinstance(name, str):
            raise TypeError(f"{option} must be a variable's name, not {name!r}")
        if name not in names:
            raise ValueError(f"{option}: the model has no variable {name!r}")
        return names.index(name) + 1

    def _variable(self, option, name):
        """The 0-based index of a model variable (not an auxiliary one)."""
        entry = self._entry(option, name)
        if entry > len(self._engine.variable_names):
            raise ValueError(
                f"{option}: {name!r} is an auxiliary variable; the object lies in the plane of "
                "two model variables"
            )
        return entry - 1

    def _parameter(self, option, name):
        names = self._engine.parameter_names
        if not isinstance(name, str):
            raise TypeError(f"{option} must be a parameter's name, not {name!r}")
        if name not in names:
            raise ValueError(
                f"{option}: the model has no parameter {name!r} (parameters: {_name_list(names)})"
            )
        return names.index(name)

    def _point(self, option, values):
        count = len(self._engine.variable_names)
        if isinstance(values, (str, bytes)) or not isinstance(values, collections.abc.Iterable):
            raise TypeError(f"{option} must be a sequence of {count} numbers, not {values!r}")
        texts = [_number(option, value) for value in values]
        if len(texts) != count:
            raise ValueError(
                f"{option} {list(values)!r} needs {count} values, one for each model variable"
            )
        return texts

    def _kind_options(self, given, discrete_options, continuous_options):
        """Refuses the options of the other kind of model, naming the ones that apply."""
        discrete = self._engine.discrete
        refused = continuous_options if discrete else discrete_options
        apply = discrete_options if discrete else continuous_options

        def listed(names):
            return names[0] if len(names) == 1 else ", ".join(names[:-1]) + " and " + names[-1]

        for option in refused:
            if given.get(option) is not None:
                raise ValueError(
                    f"{listed(refused)} apply to {'continuous' if discrete else 'discrete'} "
                    f"models; use {listed(apply)} for this "
                    f"{'discrete' if discrete else 'continuous'} model"
                )

    @staticmethod
    def _checked(result, shape=lambda payload: payload):
        payload, failure = result
        if failure is not None:
            message, line = failure
            raise ModelError(message, line, shape(payload))
        return shape(payload)

    # The analyses.

    def orbit(self, n, skip=0, every=1):
        """The states of iterates skip + every, skip + 2 every, ..., skip + n every (by default
        iterates 1 to n; the initial state is not included): an (n, variables + auxiliaries)
        array, the variables first. For a continuous model an iterate is one Runge-Kutta step."""
        options = _kalvora.OrbitOptions()
        options.count = _integer("n", n, 1, 100000000)  # held in memory as the array
        options.start = _integer("skip", skip, 0, _INT64_MAX - 1) + 1
        options.every = _integer("every", every, 1, _INT64_MAX)
        return self._checked(self._engine.orbit(options))

    def _series_options(self, kind_options, points, skip, start, end, maximum_points, **more):
        self._kind_options(
            dict(points=points, skip=skip, start=start, end=end, **more), *kind_options
        )
        options = _kalvora.SeriesOptions()
        if points is not None:
            options.points = _integer("points", points, 2, maximum_points)
        if skip is not None:
            options.skip = _integer("skip", skip, 0, _INT64_MAX)
        if start is not None:
            options.start = _number("start", start)
        if end is not None:
            options.end = _number("end", end)
        return options

    def timeseries(self, variable, points=None, skip=None, every=None, start=None, end=None):
        """One variable against time: (t, values). A discrete model plots points + 1 iterates
        every steps apart after skip * every steps (defaults 100, 100, 1); a continuous one the
        times from start to end (defaults 100 and 200)."""
        options = self._series_options(
            (["points", "skip", "every"], ["start", "end"]),
            points,
            skip,
            start,
            end,
            1000000,
            every=every,
        )
        options.first = self._entry("variable", variable)
        if every is not None:
            options.every = _integer("every", every, 1, 1000)
        return self._checked(self._engine.timeseries(options))

    def phase(self, x, y, points=None, skip=None, start=None, end=None):
        """An orbit in the plane of two variables: (x, y), one point per step after the transient
        (discrete defaults: points 10000, skip 1000; continuous: start 1, end 50)."""
        options = self._series_options(
            (["points", "skip"], ["start", "end"]), points, skip, start, end, 10000000
        )
        options.first = self._entry("x", x)
        options.second = self._entry("y", y)
        return self._checked(self._engine.phase(options))

    def delay(self, variable, delay=None, delay_time=None, points=None, skip=None, start=None,
              end=None):
        """One variable against itself later on the same orbit: (x(t), x(t + d)). Discrete: delay
        in steps, 1 to 20 (default 1), points 10000, skip 1000; continuous: delay_time (default 1),
        start 1, end 30."""
        options = self._series_options(
            (["points", "skip", "delay"], ["start", "end", "delay_time"]),
            points,
            skip,
            start,
            end,
            10000000,
            delay=delay,
            delay_time=delay_time,
        )
        options.first = self._entry("variable", variable)
        if delay is not None:
            options.delay = _integer("delay", delay, 1, 20)
        if delay_time is not None:
            options.delay_time = _number("delay_time", delay_time)
        return self._checked(self._engine.delay(options))

    def cobweb(self, min=0, max=1, iterate=1, initial=0.34, steps=10):
        """The graphical analysis of a one-variable map: the staircase after `steps` single
        iterations from `initial`, between the graph of the iterate-th iterate over [min, max]
        and the diagonal. A start outside the interval becomes (max + 2 min) / 3."""
        options = _kalvora.CobwebOptions()
        options.minimum = _number("min", min)
        options.maximum = _number("max", max)
        options.iterate = _integer("iterate", iterate, 1, 100)
        options.initial = _number("initial", initial)
        options.steps = _integer("steps", steps, 0, 1000000)

        def shape(columns):
            return Cobweb(*(np.column_stack(columns[k : k + 2]) for k in (0, 2, 4)))

        return self._checked(self._engine.cobweb(options), shape)

    def objects(self, h_variable, v_variable, vertices=None, circle=None, radius=None,
                resolution=100, steps=1, unplotted=0, attractor=None):
        """A polygon (vertices: 1 to 10 corners, each a value per model variable) or a circle
        (circle: its centre, radius default 0.5) in the plane of two variables, and its images
        after each of `steps` time steps of unplotted + 1 model steps. attractor=(P, NP) (or True
        for 1000, 1000) also computes the attractor from the initial values."""
        if (circle is None) == (vertices is None):
            raise ValueError(
                "give the polygon's corners with vertices (one per corner) or the circle's "
                "centre with circle, not both"
            )
        if radius is not None and circle is None:
            raise ValueError("radius applies to circle")
        options = _kalvora.ObjectOptions()
        if len(self._engine.variable_names) >= 2:
            options.horizontal = self._variable("h_variable", h_variable) + 1
            options.vertical = self._variable("v_variable", v_variable) + 1
        if circle is not None:
            options.circle = True
            options.vertices = [self._point("circle", circle)]
            if radius is not None:
                options.radius = _number("radius", radius)
        else:
            if isinstance(vertices, (str, bytes)) or not isinstance(
                vertices, collections.abc.Iterable
            ):
                raise TypeError(f"vertices must be a sequence of corners, not {vertices!r}")
            options.vertices = [self._point("vertices", vertex) for vertex in vertices]
        options.resolution = _integer("resolution", resolution, 1, 1000000)
        options.steps = _integer("steps", steps, 0, 1000000)
        options.unplotted = _integer("unplotted", unplotted, 0, 100)
        if attractor is True:
            attractor = (1000, 1000)
        if attractor is not None and attractor is not False:
            points, skip = _pair(
                "attractor", attractor, lambda name, value: _integer(name, value, 2, 1000000)
            )
            options.attractor = True
            options.attractor_points = points
            options.attractor_skip = skip

        def shape(columns):
            return Objects(np.column_stack(columns[0:2]), np.column_stack(columns[2:4]))

        return self._checked(self._engine.objects(options), shape)

    def _sweep_options(self, parameter, min, max, resolution, skip, threads):
        options = _kalvora.SweepOptions()
        options.parameter = self._parameter("parameter", parameter) + 1
        options.minimum = _number("min", min)
        options.maximum = _number("max", max)
        options.resolution = _integer("resolution", resolution, -(2**31), _INT32_MAX)
        options.skip = _integer("skip", skip, 0, _INT64_MAX)
        options.threads = _integer("threads", threads, 0, 1024)
        return options

    def bifurcation(self, parameter, min=0, max=1.4, resolution=600, variable=None, points=100,
                    skip=300, carry=False, right_to_left=False, threads=0, section=None,
                    maxima=False, skip_failures=False):
        """A bifurcation diagram: (values, points), one pair per plotted step. For each of
        resolution + 1 parameter values from min to max: skip transient steps from the initial
        values (carry=True: from the state the previous value left), then `points` steps, each
        giving the variable's value (default: the first variable). threads: workers, 0 one per
        core; the result is the same for every count. A continuous model may plot instead the
        variable at the crossings of section ("NAME=VALUE[:up|down|both]") or at its local
        maxima (maxima=True); `points` then counts those. skip_failures=True leaves out a value
        whose model step fails and goes on, with a RuntimeWarning listing the values left out;
        without it the sweep ends at that value (ModelError)."""
        options = self._sweep_options(parameter, min, max, resolution, skip, threads)
        options.variable = self._entry(
            "variable", self._engine.variable_names[0] if variable is None else variable
        )
        options.points = _integer("points", points, 1, _INT64_MAX)
        options.carry = bool(carry)
        options.right_to_left = bool(right_to_left)
        if section is not None:
            if not isinstance(section, str):
                raise TypeError(f"section: {section!r} is not a text NAME=VALUE[:up|down|both]")
            options.section = section
        options.maxima = bool(maxima)
        options.skip_failures = bool(skip_failures)
        self._engine.check_sweep(options, False)
        return self._checked(self._engine.bifurcation(options))

    def lyapunov(self, parameter, min=0, max=1.4, resolution=600, iterations=100, skip=300,
                 epsilon=None, threads=0, method="two-trajectories", skip_failures=False):
        """The largest Lyapunov exponent over resolution + 1 parameter values: (values,
        exponents), per iteration for a discrete model and per unit of time for a continuous
        one. method: "two-trajectories" (a neighbour epsilon away, default 0.001) or "tangent"
        (the model's derivative, no epsilon). skip_failures: as for bifurcation."""
        options = self._sweep_options(parameter, min, max, resolution, skip, threads)
        options.skip = _integer("skip", skip, 0, _INT64_MAX)
        options.points = _integer("iterations", iterations, 1, _INT64_MAX)
        if method not in ("two-trajectories", "tangent"):
            raise ValueError(f"method: expected two-trajectories or tangent, got {method!r}")
        if method == "tangent" and epsilon is not None:
            raise ValueError(
                "epsilon belongs to the two-trajectory method, not to method tangent"
            )
        options.method = method
        options.epsilon = _number("epsilon", 0.001 if epsilon is None else epsilon)
        options.skip_failures = bool(skip_failures)
        self._engine.check_sweep(options, True)
        return self._checked(self._engine.lyapunov(options))

    def poincare(self, section, direction="up", crossings=1000, skip_time=0):
        """The crossings of a continuous model's orbit through a section, as `kalvora-cli
        poincare` writes them: a (crossings, 1 + variables) array of the time and then the
        variables. section: "NAME=VALUE" or a linear form such as "x-y=0"; direction: "up"
        (the form grows), "down" or "both"; crossings before skip_time are not counted."""
        if not isinstance(section, str):
            raise TypeError(f"section: {section!r} is not a text NAME=VALUE")
        options = _kalvora.PoincareOptions()
        options.section = section
        if direction not in ("up", "down", "both"):
            raise ValueError(f"direction: expected up, down or both, got {direction!r}")
        options.direction = direction
        options.crossings = _integer("crossings", crossings, 1, 100000000)
        options.skip_time = _number("skip_time", skip_time)
        return self._checked(self._engine.poincare(options))

    def continuation(self, parameter, min, max, start=None, period=1, step=0.01,
                     max_points=1000, switch=(), transient=0, tolerance=1e-10):
        """A branch of fixed points or cycles of `period` (equilibria of a continuous model)
        followed through the parameter from the point Newton's method finds from `start` (a dict
        of variable values, which may also hold the parameter's start value; by default the
        initial values and the parameter's value), both ways to the ends min and max (either
        order), as `kalvora-cli continuation` does. switch: labels ("PD", "BP") of the special
        points to switch at, one after another. A start that does not converge raises
        ValueError with the reason; a branch that ends early warns (RuntimeWarning)."""
        options = _kalvora.ContinuationOptions()
        options.parameter = self._parameter("parameter", parameter) + 1
        options.start_from = _number("min", min)
        options.end_at = _number("max", max)
        values = {} if start is None else start
        if not isinstance(values, collections.abc.Mapping):
            raise TypeError(f"start must be a dict of names and values, not {values!r}")
        variables = list(self._engine.variable_names)
        given = []
        for name, value in values.items():
            if name == parameter:
                options.start_parameter = _number("start", value)
            elif name in variables:
                given.append((variables.index(name), _number("start", value)))
            else:
                raise KeyError(f"start: {name!r} is neither a variable of the model nor the "
                               "parameter followed")
        options.start = given
        options.period = _integer("period", period, 1, 64)
        options.step = _number("step", step)
        options.max_points = _integer("max_points", max_points, 2, 10000000)
        options.transient = _integer("transient", transient, 0, 100000000)
        options.tolerance = _number("tolerance", tolerance)
        labels = [switch] if isinstance(switch, str) else list(switch)
        options.switches = [part.strip() for text in labels for part in str(text).split(",")]
        branch, labels, special, notes = self._engine.continuation(options)
        if len(branch) == 0:
            raise ValueError("; ".join(notes))
        for note in notes:
            warnings.warn(note, RuntimeWarning, stacklevel=2)
        return Continuation(branch, list(labels), special)

    def spectrum(self, iterations=100000, skip=1000, parameter=None, min=0, max=1,
                 resolution=100, threads=0):
        """All Lyapunov exponents by tangent dynamics, largest first, per iteration for a
        discrete model and per unit of time for a continuous one. Without a parameter, one run
        from the initial values: (exponents, Kaplan-Yorke dimension). With one, resolution + 1
        values from min to max: (values, exponents), the exponents a (values, N) array; the
        result is the same for every thread count."""
        options = _kalvora.SpectrumOptions()
        options.iterations = _integer("iterations", iterations, 1, _INT64_MAX)
        options.skip = _integer("skip", skip, 0, _INT64_MAX)
        if parameter is None:
            exponents, dimension = self._checked(self._engine.spectrum(options))
            return exponents, float(dimension[0])
        options.parameter = self._parameter("parameter", parameter) + 1
        options.minimum = _number("min", min)
        options.maximum = _number("max", max)
        options.resolution = _integer("resolution", resolution, 1, _INT32_MAX)
        options.threads = _integer("threads", threads, 0, 1024)
        count = len(self._engine.variable_names)
        return self._checked(
            self._engine.spectrum(options),
            lambda columns: (columns[0][::count], columns[1].reshape(-1, count)),
        )

    def _map_axis(self, option, name):
        """(slot, initial): a parameter, else a variable's initial value."""
        if isinstance(name, str) and name in self._engine.parameter_names:
            return self._engine.parameter_names.index(name), False
        if isinstance(name, str) and name in self._engine.variable_names:
            return self._engine.variable_names.index(name), True
        raise ValueError(f"{option}: the model has no parameter or variable {name!r}")

    def lyapunov_map(self, h_parameter, v_parameter, h_range, v_range, resolution,
                     iterations=1000, skip=300, threads=0):
        """The largest Lyapunov exponent by tangent dynamics over a plane of two parameters (a
        variable's name puts its initial value on the axis): (horizontal values, vertical values
        from the top, exponents), the exponents a (rows, columns) array with row 0 the top, NaN
        where the orbit failed or a stop came first. The same for every thread count."""
        options = _kalvora.LyapunovMapOptions()
        options.horizontal, options.horizontal_initial = self._map_axis("h_parameter", h_parameter)
        options.vertical, options.vertical_initial = self._map_axis("v_parameter", v_parameter)
        options.horizontal_minimum, options.horizontal_maximum = _pair("h_range", h_range, _number)
        options.vertical_minimum, options.vertical_maximum = _pair("v_range", v_range, _number)
        if isinstance(resolution, numbers.Integral) and not isinstance(resolution, bool):
            resolution = (resolution, resolution)
        (options.horizontal_resolution, options.vertical_resolution) = _pair(
            "resolution", resolution, lambda name, value: _integer(name, value, 1, _INT32_MAX)
        )
        options.iterations = _integer("iterations", iterations, 1, _INT64_MAX)
        options.skip = _integer("skip", skip, 0, _INT64_MAX)
        options.threads = _integer("threads", threads, 0, 1024)
        horizontal, vertical, exponents = self._checked(self._engine.lyapunov_map(options))
        return horizontal, vertical, exponents.reshape(len(vertical), len(horizontal))

    def _scan_options(self, h_range, v_range, resolution, epsilon, skip, minimum_skip, threads):
        options = _kalvora.ScanOptions()
        options.horizontal_minimum, options.horizontal_maximum = _pair("h_range", h_range, _number)
        options.vertical_minimum, options.vertical_maximum = _pair("v_range", v_range, _number)
        if isinstance(resolution, numbers.Integral) and not isinstance(resolution, bool):
            resolution = (resolution, resolution)
        (options.horizontal_resolution, options.vertical_resolution) = _pair(
            "resolution", resolution, lambda name, value: _integer(name, value, 1, _INT32_MAX)
        )
        options.epsilon = _number("epsilon", epsilon)
        options.transient = _integer("skip", skip, 10, _INT64_MAX)
        options.threads = _integer("threads", threads, 0, 1024)
        return options

    def _scan(self, result):
        classes, colours, horizontal, vertical, message = result
        if message:
            # A failing orbit only colours its pixel, as in the desktop; its message is news.
            warnings.warn(message, RuntimeWarning, stacklevel=3)
        return Scan(classes, colours, horizontal, vertical)

    def basins(self, h_variable, v_variable, h_range, v_range, resolution, cycles, epsilon=0.001,
               skip=200, max_distance=1000, all_dimensions=False, threads=0):
        """Basins of attraction of the given cycles over the plane of two variables:
        (resolution + 1) pixels along each axis (an int, or (H, V)), both ends of each range
        included. cycles: (period, point) pairs, the point with a value per model variable."""
        if len(self._engine.variable_names) < 2:
            raise ValueError("basins need a model with at least two variables, one for each axis")
        options = self._scan_options(h_range, v_range, resolution, epsilon, skip, 10, threads)
        options.horizontal = self._variable("h_variable", h_variable)
        options.vertical = self._variable("v_variable", v_variable)
        if isinstance(cycles, (str, bytes)) or not isinstance(cycles, collections.abc.Iterable):
            raise TypeError(f"cycles must be a sequence of (period, point) pairs, not {cycles!r}")
        checked = []
        for cycle in cycles:
            try:
                period, point = cycle
            except (TypeError, ValueError):
                raise TypeError(f"a cycle is a pair (period, point), not {cycle!r}") from None
            checked.append(
                (_integer("period", period, -(2**31), _INT32_MAX), self._point("cycle", point))
            )
        if not checked:
            raise ValueError("at least one cycle (period, point) is required")
        options.cycles = checked
        options.max_distance = _integer("max_distance", max_distance, 10, 10000)
        options.all_dimensions = bool(all_dimensions)
        return self._scan(self._engine.basins(options))

    def periods(self, h_parameter, v_parameter, h_range, v_range, resolution, periods=(1,),
                confirm=1, epsilon=0.001, skip=100, threads=0):
        """Parameter basins for periodic cycles over the plane of two parameters: each pixel's
        class is the first of `periods` its orbit repeats with after the transient, confirmed
        `confirm` times."""
        if len(self._engine.parameter_names) < 2:
            raise ValueError(
                "periods need a model with at least two parameters, one for each axis"
            )
        options = self._scan_options(h_range, v_range, resolution, epsilon, skip, 10, threads)
        options.horizontal = self._parameter("h_parameter", h_parameter)
        options.vertical = self._parameter("v_parameter", v_parameter)
        if isinstance(periods, numbers.Integral):
            periods = (periods,)
        options.periods = [_integer("periods", p, -(2**31), _INT32_MAX) for p in periods]
        options.confirmations = _integer("confirm", confirm, 1, 100)
        return self._scan(self._engine.periods(options))

    def stats(self, variable, skip=100, points=100):
        """Descriptive statistics of one variable along the orbit, as the Series Information
        window gives them: after skip + 1 steps, `points` values one step apart. A dict: series,
        count, mean, median, maximum, minimum, standard_deviation, variance, skewness, kurtosis
        (None where the sample does not define it), texts (the figures as printed), sample
        (sorted) and histogram (the window's 20 bins)."""
        options = _kalvora.StatisticsOptions()
        options.variable = self._entry("variable", variable)
        options.skip = _integer("skip", skip, 0, _INT64_MAX)
        options.points = _integer("points", points, 2, 100000)
        return self._checked(self._engine.statistics(options))

    def fixedpoints(self, box, periods=None, grid=20, tolerance=1e-10, threads=0):
        """The fixed points and cycles of a map (the equilibria of a continuous model) in a box,
        with their multipliers and stability, as kalvora-cli fixedpoints finds them. box: a dict
        {variable: (min, max)} of the variables the starts spread over (the others start from
        their initial values). periods: P or (A, B) for periods A to B (maps only; default 1).
        grid: starts per box variable; tolerance: the largest |F^p(x) - x| (a flow: |f(x)|) of a
        root. Returns a list of Cycle, with .exact telling how the derivatives were made."""
        options = _kalvora.FixedPointOptions()
        if not isinstance(box, collections.abc.Mapping) or not box:
            raise TypeError(f"box must be a dict {{variable: (min, max)}}, not {box!r}")
        options.box = [
            (self._variable("box", name),) + _pair(f"box[{name!r}]", bounds, _number)
            for name, bounds in box.items()
        ]
        if periods is not None:
            if not self._engine.discrete:
                raise ValueError("a continuous model has equilibria, not cycles: no periods")
            if isinstance(periods, numbers.Integral):
                periods = (periods, periods)
            options.first_period, options.last_period = _pair(
                "periods", periods, lambda name, value: _integer(name, value, 1, 12)
            )
        options.grid = _integer("grid", grid, 1, 1000000)
        options.tolerance = _number("tolerance", tolerance)
        options.threads = _integer("threads", threads, 0, 1024)
        cycles, exact, message = self._engine.fixed_points(options)
        if message:
            warnings.warn(message, RuntimeWarning, stacklevel=2)
        return Cycles([Cycle(**entry) for entry in cycles], exact)
