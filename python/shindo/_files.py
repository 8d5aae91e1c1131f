"""Records in files: reading them, and the batch program's table of many records."""

from __future__ import annotations

import errno
import os
import re
import warnings
from datetime import datetime, timedelta, timezone
from typing import TYPE_CHECKING, Any, Dict, Iterable, List, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

from . import _core
from ._core import IntensityResult

if TYPE_CHECKING:  # pandas is needed by batch_frame only
    import pandas  # type: ignore

__all__ = ["JST", "ReadError", "Record", "RecordWarning", "batch", "batch_frame", "read"]

Path = Union[str, "os.PathLike[str]"]

# The time zone of every time the networks' headers give: Japan time.
JST = timezone(timedelta(hours=9), "JST")


class ReadError(ValueError):
    """A file that holds no record the readers can read, or paths without a record.

    ``file`` is the file (or ``ARCHIVE:MEMBER``) at fault, ``line`` its line
    counted from 1 (None when the fault is the file's as a whole) and
    ``reason`` what is wrong; the message joins them as the batch program's
    error column does.

    >>> import shindo
    >>> try:
    ...     shindo.read("no/such/folder")
    ... except shindo.ReadError as error:
    ...     print(error, "|", error.file, error.line)
    no/such/folder: No such file or directory | no/such/folder None
    """

    def __init__(self, file: str, line: Optional[int], reason: str) -> None:
        where = f"{file}:{line}" if line else file
        super().__init__(f"{where}: {reason}" if where else reason)
        self.file: str = file
        self.line: Optional[int] = line
        self.reason: str = reason


class RecordWarning(UserWarning):
    """A record read with a doubt, such as a header peak that its samples do not reproduce."""


def _time(text: str) -> Optional[datetime]:
    """A header's time, "2008/06/14 08:43:00", as a Japan time; None when absent or not a time."""
    for layout in ("%Y/%m/%d %H:%M:%S", "%Y/%m/%d %H:%M:%S.%f"):
        try:
            return datetime.strptime(text.strip(), layout).replace(tzinfo=JST)
        except ValueError:
            pass
    return None


class Record:
    """One three-component record as the readers read it from its files.

    ``ns``, ``ew`` and ``ud`` are its accelerations (gal, float32 arrays, in
    the order of the file: NS, EW, UD for the networks' files) and ``dt`` its
    sampling interval (s, a float32 value); the rest is what its headers say,
    None where they do not say it:

    - ``name`` (as the batch program's ``record`` column shows it), ``format``
      (``"knet"``, ``"kiknet"``, ``"jma-csv"`` or ``"text"``), ``files`` and
      ``directions`` of the three components;
    - ``station`` (code), ``station_name``, ``latitude``, ``longitude``
      (degrees), ``height_m``;
    - ``record_time`` and ``origin_time`` (timezone-aware, Japan time,
      +09:00; a K-NET/KiK-net record time includes the logger's 15 s delay),
      ``magnitude``, ``event_latitude``, ``event_longitude``, ``depth_km``;
    - ``warnings``: doubts of the reading (also issued as RecordWarning).

    :meth:`intensity` computes it: the same bits as the batch program's row.
    """

    __slots__ = (
        "name", "format", "ns", "ew", "ud", "dt", "files", "directions", "station", "station_name",
        "latitude", "longitude", "height_m", "record_time", "origin_time", "magnitude",
        "event_latitude", "event_longitude", "depth_km", "sampling_frequency", "warnings",
    )

    def __init__(self, read: Dict[str, Any]) -> None:
        self.name: str = read["name"]
        self.format: str = read["format"]
        self.ns: npt.NDArray[np.float32] = read["ns"]
        self.ew: npt.NDArray[np.float32] = read["ew"]
        self.ud: npt.NDArray[np.float32] = read["ud"]
        self.dt: float = read["dt"]
        self.files: Tuple[str, str, str] = read["files"]
        self.directions: Tuple[str, str, str] = read["directions"]
        self.station: Optional[str] = read["station"] or None
        self.station_name: Optional[str] = read["station_name"] or None
        self.latitude: Optional[float] = read["latitude"]
        self.longitude: Optional[float] = read["longitude"]
        self.height_m: Optional[float] = read["height_m"]
        self.record_time: Optional[datetime] = _time(read["record_time"])
        self.origin_time: Optional[datetime] = _time(read["origin_time"])
        self.magnitude: Optional[float] = read["magnitude"]
        self.event_latitude: Optional[float] = read["event_latitude"]
        self.event_longitude: Optional[float] = read["event_longitude"]
        self.depth_km: Optional[float] = read["depth_km"]
        self.sampling_frequency: Optional[float] = read["sampling_frequency"] or None
        self.warnings: List[str] = read["warnings"]

    @property
    def samples(self) -> int:
        """The number of samples of each component."""
        return len(self.ns)

    def intensity(self) -> IntensityResult:
        """The intensity of the record: ``shindo.intensity(self.ns, self.ew, self.ud, self.dt)``."""
        from ._intensity import intensity

        return intensity(self.ns, self.ew, self.ud, self.dt)

    def __repr__(self) -> str:
        station = f" station={self.station}" if self.station else ""
        return f"<shindo.Record {self.name!r} format={self.format}{station} samples={self.samples} dt={self.dt:.9g}>"


def _paths(paths: Union[Path, Iterable[Path]], name: str) -> List[str]:
    """The paths as strings: one path, or an iterable of them. They go to the
    module as os.fsencode's bytes, and the module's texts come back as
    os.fsdecode gives them, so that a file name that is not UTF-8 keeps its bytes."""
    if isinstance(paths, (str, os.PathLike)):
        paths = [paths]
    try:
        listed = [os.fspath(path) for path in paths]
    except TypeError:
        raise TypeError(f"{name} must be a path or a list of paths, not {type(paths).__name__}") from None
    if not listed:
        raise ValueError(f"{name} is empty: give at least one file, folder or archive")
    return listed


def _nothing_found(paths: List[str], skipped: int) -> ReadError:
    """The error of paths that hold no record at all."""
    files = f" ({skipped} file{'s' if skipped != 1 else ''} without a record)" if skipped else ""
    return ReadError(", ".join(paths), None, "no record found" + files)


def _warn(texts: Iterable[str]) -> None:
    for text in texts:
        warnings.warn(text, RecordWarning, stacklevel=3)


def read(path: Union[Path, Iterable[Path]], *, keep_offset: bool = False) -> List[Record]:
    """The records of a file, a folder (walked, files without a record skipped) or an archive.

    The batch program's readers read them: K-NET and KiK-net files (the
    three component files of a record make one record), JMA CSV files, the
    console program's text, ``.gz`` files and ``.tar``, ``.tar.gz``, ``.tgz``
    archives (their members read in memory), in record order. The K-NET and
    KiK-net samples are in gal with each file's mean removed, as the batch
    program computes them; ``keep_offset=True`` keeps the offset. Several
    paths may be given in a list.

    Raises ReadError naming the file and line of the first fault met, for a
    path that does not exist and for paths that hold no record at all. A
    record read with a doubt issues a RecordWarning.

    >>> import shindo
    >>> [record] = shindo.read("examples/sample.txt")
    >>> record
    <shindo.Record 'examples/sample.txt' format=text samples=4000 dt=0.00999999978>
    >>> record.intensity().intensity_class
    '5+'
    """
    paths = _paths(path, "path")
    records, skipped, error = _core.read([os.fsencode(p) for p in paths], bool(keep_offset))
    if error is not None:
        file, line, reason = error
        raise ReadError(file, line or None, reason)
    if not records:
        raise _nothing_found(paths, skipped)
    made = [Record(found) for found in records]
    _warn(text for record in made for text in record.warnings)
    return made


_INTEGER = re.compile(r"-?[0-9]+\Z")


def _table(paths: Union[Path, Iterable[Path]], jobs: Optional[int], running: bool, texts: bool
           ) -> Tuple[List[str], List[str], List[Dict[str, Any]]]:
    """The columns, those of whole numbers, and the rows of a batch run."""
    listed = _paths(paths, "paths")
    if jobs is not None and (isinstance(jobs, bool) or not isinstance(jobs, int) or jobs < 1):
        raise ValueError(f"jobs must be a whole number of threads from 1, not {jobs!r}")
    for path in listed:
        if not os.path.exists(path):
            raise ReadError(path, None, os.strerror(errno.ENOENT))
    try:
        encoded = [os.fsencode(path) for path in listed]
        columns, numeric, cells, notes, skipped = _core.batch(encoded, jobs or 0, bool(running))
    except ValueError as error:  # the batch program's check of --jobs
        raise ValueError(str(error).replace("--jobs", "jobs", 1)) from None
    if not cells:
        raise _nothing_found(listed, skipped)
    _warn(notes)
    # A column of numbers holds integers when all its texts are integers (as
    # a CSV reader takes them), reals otherwise; with `texts`, the texts.
    kinds: List[Any] = []
    for c, is_number in enumerate(numeric):
        present = [text for row in cells for text in (row[c],) if text is not None] if is_number and not texts else []
        kinds.append(None if not present else int if all(_INTEGER.match(text) for text in present) else float)
    whole = [name for name, kind in zip(columns, kinds) if kind is int]
    return columns, whole, [
        {name: text if kind is None or text is None else kind(text) for name, kind, text in zip(columns, kinds, row)}
        for row in cells
    ]


def batch(paths: Union[Path, Iterable[Path]], jobs: Optional[int] = None, running: bool = False, *,
          texts: bool = False) -> List[Dict[str, Any]]:
    """The table of ``shindo-batch PATHS``: one dict a record, in the program's order.

    The batch program runs in this process on ``jobs`` threads (by default
    as many as the machine has), without the GIL: the same records read the
    same way, the same columns in the same order and the same values. A
    record that fails is a row whose ``error`` says why, as in the program's
    table; the other rows are kept. With ``running=True`` the rows carry the
    strongest window of the running intensity, as ``--running`` does.

    A number is given as the Python number of the cell's text (an int in a
    column of whole numbers, else a float), an absent value as None. With
    ``texts=True`` every cell is the text of the program's CSV cell, byte
    for byte, numbers included (None where the CSV cell is empty).

    Raises ReadError for a path that does not exist and for paths that hold
    no record at all, ValueError for a wrong ``jobs``. A record read with a
    doubt issues a RecordWarning.

    >>> import shindo
    >>> [row] = shindo.batch("examples/sample.txt")
    >>> row["record"], row["samples"], row["intensity"], row["reported"], row["class"]
    ('examples/sample.txt', 4000, 5.034271, 5.0, '5+')
    >>> shindo.batch("examples/sample.txt", texts=True)[0]["reported"]
    '5.0'
    """
    return _table(paths, jobs, running, texts)[2]


def batch_frame(paths: Union[Path, Iterable[Path]], jobs: Optional[int] = None, running: bool = False, *,
                texts: bool = False) -> "pandas.DataFrame":
    """:func:`batch` as a pandas DataFrame, its columns in the program's order.

    Columns of whole numbers (``samples``) are of pandas' Int64 type, which
    holds an absent value as ``<NA>``; absent reals are NaN.

    Needs pandas (Debian: python3-pandas); raises ImportError saying so
    when it is not installed.

    >>> import shindo
    >>> frame = shindo.batch_frame("examples/sample.txt")
    >>> frame[["samples", "intensity", "class"]].to_dict("records")
    [{'samples': 4000, 'intensity': 5.034271, 'class': '5+'}]
    """
    try:
        import pandas
    except ImportError as error:
        raise ImportError(
            "shindo.batch_frame needs pandas, which is not installed (Debian: apt-get install python3-pandas; "
            "elsewhere: pip install pandas); shindo.batch gives the same rows as a list of dicts"
        ) from error
    columns, whole, rows = _table(paths, jobs, running, texts)
    # Columns of whole numbers stay whole where a cell is absent (pandas' Int64).
    return pandas.DataFrame(rows, columns=columns).astype({name: "Int64" for name in whole})


# The package's own names, as users write them.
for _public in (ReadError, Record, RecordWarning):
    _public.__module__ = "shindo"
