"""The ground-motion values of a record held in memory, beside its intensity."""

from __future__ import annotations

import numbers
from typing import Any, Optional

import numpy as np

from . import _core, _inputs
from ._core import GroundMotionResult

__all__ = ["GroundMotionResult", "ground_motion"]


def _number(value: Any, name: str, what: str) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise ValueError(f"{name} must be {what}, not {value!r}")
    return float(value)


def _periods(periods: Any) -> Optional[np.ndarray]:
    if periods is None:
        return None
    if isinstance(periods, (str, bytes)):
        raise ValueError("periods must be an array of numbers of seconds, not a string")
    try:
        array = np.ascontiguousarray(periods, dtype=np.float64)
    except (TypeError, ValueError) as error:
        raise ValueError(f"periods must be an array of numbers of seconds: {error}") from None
    if array.ndim != 1:
        raise ValueError(f"periods must be one-dimensional, not of shape {array.shape}")
    return array


def ground_motion(
    ns: Any,
    ew: Any = None,
    ud: Any = None,
    dt: Any = None,
    damping: float = 0.05,
    highpass: float = 0.1,
    periods: Any = None,
) -> GroundMotionResult:
    """The ground-motion values of one record: peaks, velocity, response spectra, SI value, long-period class.

    The components and ``dt`` (or one stream of three traces) are given and
    converted as to :func:`shindo.intensity`; ``ns`` and ``ew`` are the two
    horizontal components whatever the network calls them, ``ud`` the
    vertical one. Everything is computed in double precision by the C++ core,
    with the same results as ``shindo-batch`` (see the README): the mean
    removed, zeros put before and after, and a fourth-order Butterworth
    high-pass at ``highpass`` Hz (0: the record as given) run forward and
    backward; the velocity by the trapezoidal rule; the response of a linear
    oscillator of damping ``damping`` by its exact step for input linear
    between samples, at ``periods`` (s; default: :data:`DEFAULT_PERIODS`, 61
    periods from 0.05 to 10 s). The SI value (20 % damping, 0.1 to 2.5 s)
    and the long-period class (5 %, 1.6 to 7.8 s) keep their own damping
    and periods. The computation runs without holding the GIL.

    The result (:class:`shindo.GroundMotionResult`) holds, in gal, cm/s, cm
    and s: ``pga_ns``, ``pga_ew``, ``pga_ud``, ``pga_h`` (horizontal vector),
    ``pga_vector``; ``pgv_ns`` ... ``pgv_h`` and the velocities
    ``velocity_ns`` ... (over the padded length, the record's first sample at
    ``lead_samples``); ``periods`` and the spectra ``psa_ns``, ``psa_ew``,
    ``sa_*``, ``sd_*``, ``sv_*``, ``sva_*`` (read-only float64 arrays, one
    value per period); ``si`` (the larger of ``si_ns`` and ``si_ew``);
    ``sva_max``, ``sva_period`` and ``lp_class`` (0 to 4), with ``lp_steps``
    the class at each of its 32 periods.

    Raises ValueError, with a sentence, for components refused as
    :func:`shindo.intensity` refuses them, a ``damping`` outside (0, 1), a
    ``highpass`` negative or at or above the Nyquist frequency 1/(2 dt) (or
    so low that its zeros would exceed 2^22 samples), and ``periods`` not
    one-dimensional, empty, or holding a period that is not finite or outside
    [1e-6, 1e6] s.

    >>> import numpy as np
    >>> import shindo
    >>> t = np.arange(2000) * 0.01
    >>> ns = 100 * np.sin(2 * np.pi * t)
    >>> zeros = np.zeros(2000)
    >>> motion = shindo.ground_motion(ns, zeros, zeros, 0.01, highpass=0)
    >>> round(motion.pga_ns, 2), round(motion.pgv_ns, 2), motion.lead_samples
    (100.0, 31.82, 0)
    >>> motion = shindo.ground_motion(ns, zeros, zeros, 0.01, highpass=0, periods=[0.05, 1.0])
    >>> np.round(motion.psa_ns, 1), motion.lp_class
    (array([101.1, 997.5]), 2)
    >>> shindo.ground_motion(ns, zeros, zeros, 0.01, damping=1.0)
    Traceback (most recent call last):
    ...
    ValueError: the damping must lie strictly between 0 and 1
    """
    arrays, seconds = _inputs.record_or_stream(ns, ew, ud, dt, "ground_motion")
    _inputs.check_finite(arrays, (ns, ew, ud) if dt is not None else arrays)
    # The core judges the settings' values and names what it refuses.
    return _core.ground_motion(
        arrays[0],
        arrays[1],
        arrays[2],
        seconds,
        _number(damping, "damping", "a number between 0 and 1"),
        _number(highpass, "highpass", "a corner frequency in Hz"),
        _periods(periods),
    )
