"""The intensity of records held in memory: one record, and the running intensity."""

from __future__ import annotations

from typing import Any, List, NamedTuple, Optional, overload

import numpy as np

from . import _core, _inputs
from ._core import Fault, IntensityResult, RunningStep, Stage

__all__ = [
    "ComputationError",
    "Running",
    "RunningIntensity",
    "intensity",
    "intensity_class",
    "reported_tenths",
    "running",
]


class ComputationError(ValueError):
    """A record whose intensity could not be computed.

    ``fault`` (a :class:`shindo.Fault`) says what stopped it, ``stage`` (a
    :class:`shindo.Stage`) where, and ``result`` holds everything computed
    before (its ``wave`` and ``levels`` as far as they got).

    >>> import shindo
    >>> try:
    ...     shindo.intensity([0.0] * 4, [0.0] * 4, [0.0] * 4, 0.01)
    ... except shindo.ComputationError as error:
    ...     print(error.fault.name, error.stage.name, error.result.a0)
    log10_singularity intensity 0.0
    """

    def __init__(self, result: IntensityResult) -> None:
        super().__init__(f"no intensity: {result.message} ({_core.stage_name(result.stage)} stage)")
        self.fault: Fault = result.fault
        self.stage: Stage = result.stage
        self.result: IntensityResult = result


@overload
def intensity(stream: Any, /) -> IntensityResult: ...
@overload
def intensity(ns: Any, ew: Any, ud: Any, dt: float) -> IntensityResult: ...
def intensity(ns: Any, ew: Any = None, ud: Any = None, dt: Any = None) -> IntensityResult:
    """The instrumental intensity of one three-component record.

    ``ns``, ``ew`` and ``ud`` are the accelerations (gal) of the three
    components, any array-likes of numbers of equal length, and ``dt`` the
    sampling interval (s). float32 arrays are taken as they are; float64 and
    integer values are converted to float32 as the readers convert a file's
    values: each rounded once to the nearest float. ``dt`` is rounded once to
    the nearest float too. Instead of the four, one stream of three traces
    may be given (see :func:`shindo.running` and the README): anything with
    three traces carrying ``.data`` and ``.stats`` with ``delta`` or
    ``sampling_rate`` and a component N, E, Z or 1, 2, 3.

    The result has the bits of the C++ core for the same float32 samples.
    The computation runs without holding the GIL.

    Raises ValueError, with a sentence naming the argument, for components
    that are not one-dimensional arrays of numbers, empty, of different
    lengths or holding a value that is not a finite float32, and for an
    interval that is not a positive number; ComputationError (a ValueError)
    when the record cannot be computed, such as a record of zeros.

    >>> import numpy as np
    >>> import shindo
    >>> t = np.arange(2000) * 0.01
    >>> shaking = 90 * t * np.exp(1 - t / 2)
    >>> ns = shaking * np.sin(2 * np.pi * 1.5 * t)
    >>> ew = 0.8 * shaking * np.cos(2 * np.pi * 1.1 * t)
    >>> ud = 0.3 * shaking * np.sin(2 * np.pi * 4.0 * t)
    >>> result = shindo.intensity(ns, ew, ud, 0.01)
    >>> result.reported, result.reported_tenths, result.intensity_class, result.class_ja
    (5.4, 54, '5+', '5強')
    >>> round(result.intensity, 4), round(result.a0, 2), result.samples, result.transform_size
    (5.4017, 169.58, 2000, 2048)
    >>> result.wave.dtype, result.wave.shape, result.levels.dtype.names
    (dtype('float32'), (2000,), ('level', 'count', 'duration'))
    """
    arrays, seconds = _inputs.record_or_stream(ns, ew, ud, dt, "intensity")
    result = _core.compute(arrays[0], arrays[1], arrays[2], seconds)
    if result.fault != Fault.none:
        if result.fault == Fault.not_finite:
            sentence = _inputs.first_not_finite(arrays, (ns, ew, ud) if dt is not None else None)
            if sentence:
                raise ValueError(sentence)
        raise ComputationError(result)
    return result


class Running(NamedTuple):
    """The running intensity of a record: one element per step."""

    time: np.ndarray  # float64: the time at the window's end (s)
    intensity: np.ndarray  # float32: the window's intensity, NaN where it has none
    a0: np.ndarray  # float32: the window's A0 (gal)


@overload
def running(stream: Any, /, *, window: float = 60.0, step: float = 1.0) -> Running: ...
@overload
def running(ns: Any, ew: Any, ud: Any, dt: float, window: float = 60.0, step: float = 1.0) -> Running: ...
def running(
    ns: Any, ew: Any = None, ud: Any = None, dt: Any = None, window: float = 60.0, step: float = 1.0
) -> Running:
    """The intensity as the record develops: at each step, that of the last ``window`` seconds.

    The components and ``dt`` (or one stream) are given as to
    :func:`shindo.intensity`. ``window`` and ``step`` (s) become the nearest
    whole numbers of samples. A step completes every ``step`` seconds; its
    window is the last ``window`` seconds up to there (all of the record so
    far while it is shorter), and its time the window's end. A last, shorter
    step covers samples after the last whole one. A window that cannot be
    computed (all zeros) has intensity NaN. Returns :class:`shindo.Running`;
    its times are whole samples times the float32 interval (``0.01`` is
    0.0099999998), so that 5 s shows as 4.99999989.

    >>> import numpy as np
    >>> import shindo
    >>> t = np.arange(3000) * 0.01
    >>> ns, ew = 50 * np.sin(2 * np.pi * t), 50 * np.cos(2 * np.pi * t)
    >>> steps = shindo.running(ns, ew, np.zeros(3000), 0.01, window=10, step=5)
    >>> np.round(steps.time, 3)
    array([ 5., 10., 15., 20., 25., 30.])
    >>> np.round(steps.intensity, 2)
    array([4.27, 4.32, 4.32, 4.32, 4.32, 4.32], dtype=float32)
    """
    arrays, seconds = _inputs.record_or_stream(ns, ew, ud, dt, "running")
    _inputs.check_finite(arrays, (ns, ew, ud) if dt is not None else arrays)
    time, values, a0 = _core.running(
        arrays[0], arrays[1], arrays[2], seconds, _inputs.seconds(window, "window"), _inputs.seconds(step, "step")
    )
    return Running(time, values, a0)


class RunningIntensity:
    """The running intensity of live data, fed in blocks of any size.

    Started with the sampling interval ``dt``, the ``window`` and the
    ``step`` (s), as :func:`shindo.running` takes them. :meth:`feed` returns
    the steps its block completed (:class:`shindo.RunningStep`: ``time``,
    ``end_sample``, ``window_samples`` and the window's full ``result``);
    :meth:`finish` the last, shorter step. A window that cannot be computed
    gives a step whose ``result.fault`` says why, and the stream goes on. The
    memory is bounded by the window. Step results carry no ``pga`` (NaN).

    >>> import numpy as np
    >>> import shindo
    >>> stream = shindo.RunningIntensity(0.01, window=60, step=1)
    >>> t = np.arange(250) * 0.01
    >>> steps = stream.feed(30 * np.sin(2 * np.pi * t), 30 * np.cos(2 * np.pi * t), np.zeros(250))
    >>> [(round(step.time, 6), step.window_samples) for step in steps]
    [(1.0, 100), (2.0, 200)]
    >>> [(round(step.time, 6), step.window_samples) for step in stream.finish()]
    [(2.5, 250)]
    """

    def __init__(self, dt: float, window: float = 60.0, step: float = 1.0) -> None:
        self._stream = _core.Stream(
            _inputs.interval(dt), _inputs.seconds(window, "window"), _inputs.seconds(step, "step")
        )

    def feed(self, ns: Any, ew: Any, ud: Any) -> List[RunningStep]:
        """Feeds a block of the three components; returns the steps it completed, in order.

        The components are converted as :func:`shindo.intensity` converts
        them; an empty block is refused. A sample that is not finite is not
        refused: the windows that hold it give steps with a fault.
        """
        arrays = _inputs.components(ns, ew, ud)
        return self._stream.feed(arrays[0], arrays[1], arrays[2])

    def finish(self) -> List[RunningStep]:
        """Ends the stream: the last, shorter step when samples arrived after the last whole one."""
        return self._stream.finish()

    @property
    def window_samples(self) -> int:
        """The window's length in samples: ``RunningIntensity(0.01, 60, 1).window_samples`` is 6000."""
        return self._stream.window_samples

    @property
    def step_samples(self) -> int:
        """The step's length in samples: ``RunningIntensity(0.01, 60, 0.015).step_samples`` is 2."""
        return self._stream.step_samples

    @property
    def samples_received(self) -> int:
        """The samples fed so far."""
        return self._stream.samples_received

    def __repr__(self) -> str:
        return (
            f"<shindo.RunningIntensity dt={np.float32(self._stream.dt)} "
            f"window_samples={self.window_samples} step_samples={self.step_samples} "
            f"samples_received={self.samples_received}>"
        )


def reported_tenths(value: float) -> int:
    """The intensity reported the JMA way, in tenths: rounded half up at the second decimal, then cut to one.

    >>> import shindo
    >>> shindo.reported_tenths(5.1538), shindo.reported_tenths(4.9960), shindo.reported_tenths(4.9949)
    (51, 50, 49)
    """
    return _core.reported_tenths(float(value))


def intensity_class(value: float) -> str:
    """The class of an intensity on the JMA scale, from its reported value.

    >>> import shindo
    >>> shindo.intensity_class(5.034271), shindo.intensity_class(4.4949), shindo.intensity_class(6.5)
    ('5+', '4', '7')
    """
    return _core.class_labels(reported_tenths(value))[0]
