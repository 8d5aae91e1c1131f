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
- :func:`read`, the records of files, folders and archives, and
  :func:`batch` and :func:`batch_frame`, the batch program's table of many
  records, as dicts or as a pandas DataFrame.

>>> import shindo
>>> shindo.intensity_class(5.034271)
'5+'
"""

from ._core import DEFAULT_PERIODS, Fault, IntensityResult, RunningStep, Stage, __version__
from ._files import JST, ReadError, Record, RecordWarning, batch, batch_frame, read
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
    "JST",
    "ReadError",
    "Record",
    "RecordWarning",
    "Running",
    "RunningIntensity",
    "RunningStep",
    "Stage",
    "batch",
    "batch_frame",
    "intensity",
    "intensity_class",
    "read",
    "reported_tenths",
    "running",
]
