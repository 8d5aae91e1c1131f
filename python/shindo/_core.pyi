# Types of the extension module shindo._core (the package re-exports what users need).
from typing import Any, ClassVar, Dict, List, Optional, Tuple

import numpy as np
import numpy.typing as npt

__version__: str
MAX_SAMPLES: int
LEVELS: int
# The default periods of the response spectra (s): 61, from 0.05 to 10.
DEFAULT_PERIODS: npt.NDArray[np.float64]

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

class GroundMotionResult:
    """The ground-motion values of one record (gal, cm/s, cm, s; every value a float64)."""

    @property
    def dt(self) -> float:
        """The sampling interval (s), the float32 interval widened."""
    @property
    def damping(self) -> float:
        """The damping of the spectra."""
    @property
    def highpass(self) -> float:
        """The high-pass corner (Hz); 0: the record as given."""
    @property
    def lead_samples(self) -> int:
        """The zeros put before (and after) the record: velocity_ns[lead_samples] is its first sample."""
    @property
    def pga_ns(self) -> float:
        """The largest |a| of the first horizontal component as given (gal)."""
    @property
    def pga_ew(self) -> float: ...
    @property
    def pga_ud(self) -> float: ...
    @property
    def pga_h(self) -> float:
        """The largest length of the horizontal vector (gal)."""
    @property
    def pga_vector(self) -> float:
        """The largest length of the three-component vector (gal)."""
    @property
    def pgv_ns(self) -> float:
        """The largest |v| of the component's ground velocity (cm/s)."""
    @property
    def pgv_ew(self) -> float: ...
    @property
    def pgv_ud(self) -> float: ...
    @property
    def pgv_h(self) -> float:
        """The largest length of the horizontal velocity vector (cm/s)."""
    @property
    def velocity_ns(self) -> npt.NDArray[np.float64]:
        """The ground velocity (cm/s) over the padded length: a read-only view."""
    @property
    def velocity_ew(self) -> npt.NDArray[np.float64]: ...
    @property
    def velocity_ud(self) -> npt.NDArray[np.float64]: ...
    @property
    def periods(self) -> npt.NDArray[np.float64]:
        """The periods of the spectra (s), as given or the default ones."""
    @property
    def psa_ns(self) -> npt.NDArray[np.float64]:
        """Pseudo-spectral acceleration w^2 sd (gal), one per period: a read-only view."""
    @property
    def psa_ew(self) -> npt.NDArray[np.float64]: ...
    @property
    def sa_ns(self) -> npt.NDArray[np.float64]:
        """Absolute acceleration response (gal)."""
    @property
    def sa_ew(self) -> npt.NDArray[np.float64]: ...
    @property
    def sd_ns(self) -> npt.NDArray[np.float64]:
        """Relative displacement response (cm)."""
    @property
    def sd_ew(self) -> npt.NDArray[np.float64]: ...
    @property
    def sv_ns(self) -> npt.NDArray[np.float64]:
        """Relative velocity response (cm/s)."""
    @property
    def sv_ew(self) -> npt.NDArray[np.float64]: ...
    @property
    def sva_ns(self) -> npt.NDArray[np.float64]:
        """Absolute velocity response (cm/s)."""
    @property
    def sva_ew(self) -> npt.NDArray[np.float64]: ...
    @property
    def si_ns(self) -> float:
        """The SI value of the component (cm/s): mean sv at 20 % over 0.1 to 2.5 s."""
    @property
    def si_ew(self) -> float: ...
    @property
    def si(self) -> float:
        """The larger SI value of the two horizontal components (cm/s)."""
    @property
    def sva_max_ns(self) -> float:
        """The largest sva at 5 % over the long-period class's periods 1.6 ... 7.8 s (cm/s)."""
    @property
    def sva_max_ew(self) -> float: ...
    @property
    def sva_period_ns(self) -> float:
        """The period of sva_max_ns (s), the shorter on a tie."""
    @property
    def sva_period_ew(self) -> float: ...
    @property
    def sva_max(self) -> float:
        """The larger of sva_max_ns and sva_max_ew (cm/s)."""
    @property
    def sva_period(self) -> float:
        """Its period (s)."""
    @property
    def lp_class(self) -> int:
        """The long-period ground-motion class, 0 to 4, from sva_max."""
    @property
    def lp_steps(self) -> np.ndarray:
        """The class at each of its 32 periods: a read-only structured view with fields period (float64, s),
        sva (two float64, cm/s, ns and ew) and lp_class (int32, of the larger)."""

def ground_motion(
    ns: npt.NDArray[np.float32],
    ew: npt.NDArray[np.float32],
    ud: npt.NDArray[np.float32],
    dt: float,
    damping: float,
    highpass: float,
    periods: Optional[npt.NDArray[np.float64]],
) -> GroundMotionResult: ...
def read(
    paths: List[bytes], keep_offset: bool = False
) -> Tuple[Optional[List[Dict[str, Any]]], int, Optional[Tuple[str, int, str]]]: ...
def batch(
    paths: List[bytes], jobs: int = 0, running: bool = False
) -> Tuple[List[str], List[bool], List[Tuple[Optional[str], ...]], List[str], int]: ...
