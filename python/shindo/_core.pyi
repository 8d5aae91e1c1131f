# Types of the extension module shindo._core (the package re-exports what users need).
from typing import Any, ClassVar, Dict, List, Optional, Tuple

import numpy as np
import numpy.typing as npt

__version__: str
MAX_SAMPLES: int
LEVELS: int

# Enumerations of the C++ core (not int subclasses; int(Fault.overflow) is 5).
class Fault:
    none: ClassVar[Fault]
    length_mismatch: ClassVar[Fault]
    too_long: ClassVar[Fault]
    not_finite: ClassVar[Fault]
    divide_by_zero: ClassVar[Fault]
    overflow: ClassVar[Fault]
    invalid: ClassVar[Fault]
    sqrt_domain: ClassVar[Fault]
    log10_singularity: ClassVar[Fault]
    log10_domain: ClassVar[Fault]
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...
    def __int__(self) -> int: ...

class Stage:
    none: ClassVar[Stage]
    input: ClassVar[Stage]
    spectrum: ClassVar[Stage]
    filter: ClassVar[Stage]
    vector: ClassVar[Stage]
    level_scan: ClassVar[Stage]
    intensity: ClassVar[Stage]
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...
    def __int__(self) -> int: ...

class IntensityResult:
    """The intensity of one record and every intermediate value."""

    @property
    def fault(self) -> Fault:
        """Fault.none for a computed intensity, else what stopped it."""
    @property
    def stage(self) -> Stage:
        """Stage.none, or the stage the fault happened in."""
    @property
    def message(self) -> str:
        """A sentence on the fault."""
    @property
    def intensity(self) -> float:
        """2 log10(a0) + 0.943, unrounded (a float32 value); NaN after a fault."""
    @property
    def reported(self) -> float:
        """The reported value with one decimal (5.0); NaN after a fault."""
    @property
    def reported_tenths(self) -> Optional[int]:
        """The reported value in tenths (50); None after a fault."""
    @property
    def intensity_class(self) -> Optional[str]:
        """The class: "0" to "4", "5-", "5+", "6-", "6+", "7"; None after a fault."""
    @property
    def class_ja(self) -> Optional[str]:
        """The class in Japanese: "5弱", "5強" ...; None after a fault."""
    @property
    def a0(self) -> float:
        """The highest level exceeded for more than 0.299 s (gal)."""
    @property
    def amax(self) -> float:
        """The peak of the filtered vector acceleration (gal)."""
    @property
    def pga(self) -> float:
        """The peak of the vector of the three input components (gal); NaN for a running step."""
    @property
    def samples(self) -> int: ...
    @property
    def dt(self) -> float:
        """The sampling interval as computed: a float32 value (s)."""
    @property
    def transform_size(self) -> int:
        """The smallest power of two >= max(4, samples)."""
    @property
    def wave(self) -> npt.NDArray[np.float32]:
        """The filtered vector acceleration (gal), one per sample: a read-only view."""
    @property
    def levels(self) -> np.ndarray:
        """The 1000 levels, highest first: a read-only structured view with fields level (float32, gal),
        count (int32, samples above the level) and duration (float32, s)."""

class RunningStep:
    """One completed step of a running intensity."""

    @property
    def time(self) -> float:
        """The time at the window's end (s): end_sample times the float32 interval."""
    @property
    def end_sample(self) -> int: ...
    @property
    def window_samples(self) -> int: ...
    @property
    def result(self) -> IntensityResult: ...

class Stream:
    def __init__(self, dt: float, window: float, step: float) -> None: ...
    def feed(self, ns: npt.NDArray[np.float32], ew: npt.NDArray[np.float32], ud: npt.NDArray[np.float32]) -> List[RunningStep]: ...
    def finish(self) -> List[RunningStep]: ...
    @property
    def dt(self) -> float: ...
    @property
    def window_samples(self) -> int: ...
    @property
    def step_samples(self) -> int: ...
    @property
    def samples_received(self) -> int: ...

def compute(ns: npt.NDArray[np.float32], ew: npt.NDArray[np.float32], ud: npt.NDArray[np.float32], dt: float) -> IntensityResult: ...
def running(
    ns: npt.NDArray[np.float32], ew: npt.NDArray[np.float32], ud: npt.NDArray[np.float32], dt: float, window: float, step: float
) -> Tuple[npt.NDArray[np.float64], npt.NDArray[np.float32], npt.NDArray[np.float32]]: ...
def stage_name(stage: Stage) -> str: ...
def reported_tenths(intensity: float) -> int: ...
def class_labels(reported_tenths: int) -> Tuple[str, str]: ...
def read(
    paths: List[bytes], keep_offset: bool = False
) -> Tuple[Optional[List[Dict[str, Any]]], int, Optional[Tuple[str, int, str]]]: ...
def batch(
    paths: List[bytes], jobs: int = 0, running: bool = False
) -> Tuple[List[str], List[bool], List[Tuple[Optional[str], ...]], List[str], int]: ...
