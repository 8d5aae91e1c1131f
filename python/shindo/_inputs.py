"""What a caller passes, made into what the core computes.

Three components become contiguous float32 arrays of equal length, and an
interval a positive number of seconds; a stream of three traces becomes the
same. Everything refused is refused here with a ValueError whose sentence
names the argument, before any computation.

Conversion to float32 is the readers' own: each value rounded once to the
nearest float (ties to even). float32 arrays are taken as they are, without a
copy when they are contiguous.
"""

from __future__ import annotations

import math
import numbers
from typing import Any, Optional, Sequence, Tuple

import numpy as np

from . import _core

COMPONENTS = ("ns", "ew", "ud")

# The component letter of a trace -> its place among (ns, ew, ud).
_PLACES = {"N": 0, "1": 0, "E": 1, "2": 1, "Z": 2, "3": 2}


def component(value: Any, name: str) -> np.ndarray:
    """One component as a contiguous float32 array, or a ValueError naming it."""
    if isinstance(value, (str, bytes)):
        raise ValueError(f"{name} must be an array of numbers, not a string")
    try:
        array = np.asarray(value)
    except (TypeError, ValueError) as error:
        raise ValueError(f"{name} must be an array of numbers: {error}") from None
    if array.dtype.kind not in "iuf":
        raise ValueError(f"{name} must hold integers or reals, not values of type {array.dtype}")
    if array.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, one sample per element, not of shape {array.shape}")
    if array.size == 0:
        raise ValueError(f"{name} is empty: a record needs at least one sample")
    if array.dtype == np.float32 and array.flags.c_contiguous:
        return array
    # A value beyond the float range becomes infinite, refused below as such.
    with np.errstate(over="ignore"):
        return np.ascontiguousarray(array, dtype=np.float32)


def seconds(value: Any, name: str) -> float:
    """A number of seconds as a Python float (what it is worth is checked by its user)."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise ValueError(f"{name} must be a number of seconds, not {value!r}")
    return float(value)


def interval(dt: Any, name: str = "dt") -> float:
    """A sampling interval in seconds, positive and finite as a float32."""
    seconds_ = seconds(dt, name)
    if not math.isfinite(seconds_) or seconds_ <= 0.0:
        raise ValueError(f"{name} must be a positive number of seconds, not {seconds_!r}")
    with np.errstate(over="ignore"):
        single = np.float32(seconds_)
    if single == 0.0 or not math.isfinite(single):
        raise ValueError(f"{name} ({seconds_!r} s) is outside the range of a single-precision interval")
    return seconds_


def components(ns: Any, ew: Any, ud: Any) -> Sequence[np.ndarray]:
    """The three components, of equal length."""
    arrays = [component(value, name) for value, name in zip((ns, ew, ud), COMPONENTS)]
    lengths = [array.size for array in arrays]
    if len(set(lengths)) != 1:
        raise ValueError("ns, ew and ud must have the same length, not {}, {} and {} samples".format(*lengths))
    return arrays


def record(ns: Any, ew: Any, ud: Any, dt: Any) -> Tuple[Sequence[np.ndarray], float]:
    """The three components and the interval of a record, checked."""
    arrays = components(ns, ew, ud)
    if arrays[0].size > _core.MAX_SAMPLES:
        raise ValueError(f"the record has {arrays[0].size} samples; at most {_core.MAX_SAMPLES} (2^22) are computed")
    return arrays, interval(dt)


def record_or_stream(ns: Any, ew: Any, ud: Any, dt: Any, function: str) -> Tuple[Sequence[np.ndarray], float]:
    """The record of three components and an interval, or of one stream."""
    if ew is None and ud is None and dt is None:
        return record(*stream(ns))
    if ew is None or ud is None or dt is None:
        raise TypeError(f"{function}() takes ns, ew, ud and dt, or one stream of three traces")
    return record(ns, ew, ud, dt)


def first_not_finite(arrays: Sequence[np.ndarray], originals: Optional[Sequence[Any]] = None) -> Optional[str]:
    """The sentence on the first sample that is not a finite number, if any."""
    for place, array in enumerate(arrays):
        bad = np.flatnonzero(~np.isfinite(array))
        if bad.size:
            index = int(bad[0])
            value = array[index]
            if originals is not None:
                original = np.asarray(originals[place])
                if original.dtype != array.dtype and original.ndim == 1:
                    value = original[index]
            return f"{COMPONENTS[place]} has a sample that is not a finite float32 number: {value!r} at index {index}"
    return None


def check_finite(arrays: Sequence[np.ndarray], originals: Sequence[Any]) -> None:
    sentence = first_not_finite(arrays, originals)
    if sentence:
        raise ValueError(sentence)


def _trace_name(trace: Any, stats: Any, number: int) -> str:
    name = getattr(trace, "id", None)
    if isinstance(name, str) and name:
        return name
    channel = getattr(stats, "channel", None)
    return str(channel) if channel else f"#{number}"


def _delta(stats: Any, name: str) -> float:
    delta = getattr(stats, "delta", None)
    if delta is None:
        rate = getattr(stats, "sampling_rate", None)
        if rate is None:
            raise ValueError(f"the trace {name} has neither stats.delta nor stats.sampling_rate")
        if isinstance(rate, bool) or not isinstance(rate, numbers.Real) or not float(rate) > 0.0:
            raise ValueError(f"the trace {name} has the sampling rate {rate!r}: a positive number of hertz is needed")
        delta = 1.0 / float(rate)
    return interval(delta, f"the sampling interval of the trace {name}")


def stream(value: Any) -> Tuple[Any, Any, Any, float]:
    """The components (ns, ew, ud) and the interval of a stream of three traces.

    A stream is anything with three traces (an iterable, or an object with
    ``.traces``), each with ``.data`` and ``.stats`` carrying ``delta`` or
    ``sampling_rate`` and a ``component`` or a ``channel`` whose last letter
    is N, E, Z or 1, 2, 3, in any order.
    """
    try:
        traces = list(getattr(value, "traces", value))
    except TypeError:
        raise ValueError(
            f"a stream of three traces, or ns, ew, ud and dt, is needed, not {type(value).__name__}"
        ) from None
    if len(traces) != 3:
        raise ValueError(
            f"a stream of three traces is needed (N, E and Z, or 1, 2 and 3); this one has {len(traces)}"
        )
    placed: list = [None, None, None]
    deltas, lengths, names = [], [], []
    for number, trace in enumerate(traces, start=1):
        stats = getattr(trace, "stats", None)
        if stats is None or not hasattr(trace, "data"):
            raise ValueError(f"trace {number} of the stream has no .data or no .stats")
        name = _trace_name(trace, stats, number)
        letter = getattr(stats, "component", None) or str(getattr(stats, "channel", "") or "")[-1:]
        letter = str(letter).upper()
        if letter not in _PLACES:
            raise ValueError(f"the trace {name} has the component {letter!r}: N, E, Z or 1, 2, 3 is needed")
        place = _PLACES[letter]
        if placed[place] is not None:
            raise ValueError(f"the traces {placed[place][0]} and {name} are both the {COMPONENTS[place]} component")
        placed[place] = (name, trace)
        deltas.append(_delta(stats, name))
        lengths.append(len(trace.data))
        names.append(name)
    if len(set(deltas)) != 1:
        raise ValueError(
            "the traces have different sampling intervals: "
            + ", ".join(f"{name} {delta!r} s" for name, delta in zip(names, deltas))
        )
    if len(set(lengths)) != 1:
        raise ValueError(
            "the traces have different lengths: "
            + ", ".join(f"{name} {length} samples" for name, length in zip(names, lengths))
        )
    ns, ew, ud = (trace.data for _, trace in placed)
    return ns, ew, ud, deltas[0]
