"""shindo: the JMA instrumental seismic intensity of three-component acceleration records.

The computation is the C++ core of the shindo programs, with the same bits:

- :func:`intensity` of one record held in arrays (or one stream of three
  traces), returning an :class:`IntensityResult`;
- :func:`running` and :class:`RunningIntensity`, the intensity as a record
  develops, for a whole record or for live data;
- :func:`reported_tenths` and :func:`intensity_class`, the reported value and
  its class;
- :func:`ground_motion`, the values beside the intensity (peak acceleration
  and velocity, response spectra, SI value, long-period class), returning a
  :class:`GroundMotionResult`.

>>> import shindo
>>> shindo.intensity_class(5.034271)
'5+'
"""

from ._core import DEFAULT_PERIODS, Fault, IntensityResult, RunningStep, Stage, __version__
from ._ground_motion import GroundMotionResult, ground_motion
from ._intensity import (
    ComputationError,
    Running,
    RunningIntensity,
    intensity,
    intensity_class,
    reported_tenths,
    running,
)

__all__ = [
    "DEFAULT_PERIODS",
    "GroundMotionResult",
    "ground_motion",
    "ComputationError",
    "Fault",
    "IntensityResult",
    "Running",
    "RunningIntensity",
    "RunningStep",
    "Stage",
    "intensity",
    "intensity_class",
    "reported_tenths",
    "running",
]
