"""shindo.read and shindo.batch: the batch program's records and table, the same cells byte for byte."""

import contextlib
import csv
import io
import os
import subprocess
import sys
import threading
from datetime import datetime, timedelta
from pathlib import Path

import numpy as np
import pytest

import shindo
from knet_files import SCALE, archive, shaking_counts, write_record

REAL = Path("/work/shared/data/real")


def program_table(paths, *options):
    """The table shindo-batch writes for the paths: header and rows of cells."""
    out = subprocess.run([os.environ["SHINDO_BATCH"], *options, "--", *map(str, paths)],
                         capture_output=True, check=False).stdout
    header, *rows = csv.reader(io.StringIO(out.decode("utf-8"), newline=""))
    return header, rows


@pytest.fixture(scope="module")
def event(tmp_path_factory):
    """A folder of records as a network delivers them, with what goes wrong in a run:
    five K-NET records (one whose header peak its samples do not give, one of a
    constant, one without its UD file), a record of the console program's text,
    a file that holds no record, and an archive of two more records."""
    folder = tmp_path_factory.mktemp("event")
    for k in range(3):
        write_record(folder / f"BNC00{k}2401011610", shaking_counts(3000, seed=k), {"Station Code": f"BNC00{k}"})
    write_record(folder / "DOUBT2401011610", shaking_counts(2000, seed=7), {"Station Code": "DOUBT"},
                 peaks=["1.000", "2.000", "3.000"])
    write_record(folder / "FLAT2401011610", [np.full(1000, 5, np.int64)] * 3, {"Station Code": "FLAT"})
    write_record(folder / "LOST2401011610", shaking_counts(1000, seed=9), {"Station Code": "LOST"})
    (folder / "LOST2401011610.UD").unlink()
    t = np.arange(600) * 0.01
    (folder / "text.txt").write_text("".join(f"{t[i]:.2f} {80 * np.sin(9 * t[i]):.4f} {50 * np.cos(7 * t[i]):.4f} "
                                             f"{20 * np.sin(3 * t[i]):.4f}\n" for i in range(600)))
    (folder / "notes.md").write_text("What the stations recorded, and when.\n")
    packed = tmp_path_factory.mktemp("packed")
    for k in range(2):
        write_record(packed / f"ARC00{k}2401011610", shaking_counts(1500, seed=20 + k), {"Station Code": f"ARC00{k}"})
    archive(folder / "more.tar.gz", packed)
    return folder


@pytest.mark.parametrize("where", ["folder", "archive", "file and folder"])
@pytest.mark.parametrize("running, jobs", [(False, 1), (False, 2), (True, 3)])
def test_batch_gives_the_cells_of_the_batch_program_byte_for_byte(event, where, running, jobs):
    paths = {"folder": [event], "archive": [event / "more.tar.gz"],
             "file and folder": [event / "text.txt", event]}[where]
    header, expected = program_table(paths, "--jobs", str(jobs), *(["--running"] if running else []))
    with pytest.warns(shindo.RecordWarning) if where != "archive" else contextlib.nullcontext():
        rows = shindo.batch([str(path) for path in paths], jobs=jobs, running=running, texts=True)
    assert list(rows[0]) == header
    assert [[cell if cell is not None else "" for cell in row.values()] for row in rows] == expected


@pytest.mark.skipif(not REAL.is_dir(), reason="the real records are not on this machine")
@pytest.mark.parametrize("folder", sorted(p.name for p in REAL.iterdir() if p.is_dir()) if REAL.is_dir() else [])
def test_batch_gives_the_cells_of_the_batch_program_for_the_real_records(folder):
    header, expected = program_table([REAL / folder], "--running")
    rows = shindo.batch(str(REAL / folder), running=True, texts=True)
    assert list(rows[0]) == header
    assert [[cell if cell is not None else "" for cell in row.values()] for row in rows] == expected


def test_a_row_gives_numbers_as_numbers_and_read_computes_the_same_bits(event):
    with pytest.warns(shindo.RecordWarning):
        rows = {row["record"]: row for row in shindo.batch(event)}
        readable = [path for path in sorted(event.iterdir()) if not path.name.startswith(("LOST", "notes"))]
        records = {record.name: record for record in shindo.read(readable)}
    assert rows.keys() - records.keys() == {f"{event}/LOST2401011610"}
    row = rows[f"{event}/BNC0012401011610"]
    kinds = {"record": str, "station": str, "latitude": float, "samples": int, "dt": float, "pga": float,
             "intensity": float, "reported": float, "class": str, "error": type(None)}
    assert {name: type(row[name]) for name in kinds} == kinds
    assert (row["samples"], row["dt"], row["latitude"]) == (3000, 0.01, 37.5266)
    computed = 0
    for name, row in rows.items():
        if row["error"] is not None:
            continue
        result = records[name].intensity()
        for value in ("intensity", "a0", "amax", "pga"):
            assert np.float32(row[value]) == np.float32(getattr(result, value)), (name, value)
        assert (row["reported"], row["class"]) == (result.reported, result.intensity_class)
        computed += 1
    assert computed == len(rows) - 2  # FLAT and LOST fail


def test_a_record_that_fails_is_a_row_with_its_error_among_the_others(event):
    with pytest.warns(shindo.RecordWarning):
        rows = shindo.batch(event)
    errors = {row["record"].rsplit("/", 1)[1]: row["error"] for row in rows if row["error"]}
    assert errors == {"FLAT2401011610": f"{event}/FLAT2401011610.NS: log10 of 0: no level lasts more than 0.299 s "
                                        "(intensity)",
                      "LOST2401011610": "the UD file(s) of this record are missing"}
    assert len(rows) == 9


def test_read_gives_the_samples_and_what_the_headers_say(tmp_path):
    counts = shaking_counts(2000, seed=3)
    write_record(tmp_path / "MYG0042401011610", counts, {"Station Code": "MYG004", "Mag.": "6.1"})
    [record] = shindo.read(tmp_path)
    japan = timedelta(hours=9)
    expected = {
        "name": f"{tmp_path}/MYG0042401011610", "format": "knet", "station": "MYG004", "station_name": None,
        "latitude": 37.5266, "longitude": 137.2844, "height_m": 10.0, "magnitude": 6.1,
        "event_latitude": 37.495, "event_longitude": 137.27, "depth_km": 16.0, "samples": 2000,
        "dt": float(np.float32(0.01)), "directions": ("N-S", "E-W", "U-D"),
        "files": tuple(f"{tmp_path}/MYG0042401011610.{c}" for c in ("NS", "EW", "UD")),
        "origin_time": datetime(2024, 1, 1, 16, 10, tzinfo=shindo.JST),
        "record_time": datetime(2024, 1, 1, 16, 10, 15, tzinfo=shindo.JST),
    }
    assert {name: getattr(record, name) for name in expected} == expected
    assert record.record_time.utcoffset() == japan and record.record_time.isoformat() == "2024-01-01T16:10:15+09:00"
    for component, array in zip(counts, (record.ns, record.ew, record.ud)):
        mean = float(np.sum(component)) / len(component)
        gal = ((component.astype(np.float64) - mean) * SCALE[0] / SCALE[1]).astype(np.float32)
        assert array.dtype == np.float32 and np.array_equal(array, gal)
    [kept] = shindo.read(tmp_path, keep_offset=True)
    assert np.array_equal(kept.ns, (counts[0] * SCALE[0] / SCALE[1]).astype(np.float32))


def test_read_names_the_records_of_an_archive_after_it(event):
    records = shindo.read(event / "more.tar.gz")
    assert [(r.name, r.station, r.samples) for r in records] == [
        (f"{event}/more.tar.gz:ARC0002401011610", "ARC000", 1500),
        (f"{event}/more.tar.gz:ARC0012401011610", "ARC001", 1500)]


@pytest.mark.skipif(not REAL.is_dir(), reason="the real records are not on this machine")
def test_read_gives_the_metadata_of_the_real_records():
    records = shindo.read([REAL / "jma_csv", REAL / "knet_gmprocess"])
    found = {record.name.rsplit("/", 1)[1]: record for record in records}
    jma = found["Q4149CF2.csv"]
    assert (jma.format, jma.station, jma.station_name, jma.magnitude) == ("jma-csv", "9CF", "宇城市松橋町", 6.5)
    assert jma.record_time == datetime(2016, 4, 14, 21, 26, 20, tzinfo=shindo.JST)
    knet = found["AOM0170806140843"]
    assert (knet.format, knet.station, knet.samples, knet.magnitude, knet.depth_km) == \
        ("knet", "AOM017", 11500, 7.2, 8.0)
    assert knet.origin_time.isoformat() == "2008-06-14T08:43:00+09:00"
    assert found["AICH040010061330.2"].format == "kiknet"


def make_bad(tmp_path, what):
    """A path holding what cannot be read, and the ReadError it gives: (message, file, line)."""
    if what == "missing":
        return tmp_path / "nothing", f"{tmp_path}/nothing: No such file or directory", f"{tmp_path}/nothing", None
    if what == "empty folder":
        return tmp_path, f"{tmp_path}: no record found", str(tmp_path), None
    if what == "folder of notes":
        (tmp_path / "a.md").write_text("notes\n")
        (tmp_path / "b.md").write_text("more notes\n")
        return tmp_path, f"{tmp_path}: no record found (2 files without a record)", str(tmp_path), None
    if what == "three values a line":
        (tmp_path / "r.txt").write_text("1 2 3\n4 5 6\n")
        return tmp_path / "r.txt", f"{tmp_path}/r.txt:1: each line holds three values", f"{tmp_path}/r.txt", 1
    if what == "a count that is no number":
        write_record(tmp_path / "BAD2401011610", shaking_counts(1000, seed=1))
        ew = tmp_path / "BAD2401011610.EW"
        lines = ew.read_text().splitlines(keepends=True)
        lines[20] = lines[20].replace(lines[20].split()[2], "12a", 1)
        ew.write_text("".join(lines))
        return tmp_path, f"{ew}:21: ", str(ew), 21
    raise AssertionError(what)


BAD = ["missing", "empty folder", "folder of notes", "three values a line", "a count that is no number"]


@pytest.mark.parametrize("what", BAD)
def test_read_raises_a_read_error_naming_the_file_and_line(tmp_path, what):
    path, message, file, line = make_bad(tmp_path, what)
    with pytest.raises(shindo.ReadError) as raised:
        shindo.read(path)
    assert str(raised.value).startswith(message)
    assert (raised.value.file, raised.value.line) == (file, line)
    assert isinstance(raised.value, ValueError)


@pytest.mark.parametrize("what", ["missing", "empty folder", "folder of notes"])
def test_batch_raises_for_paths_that_hold_no_record(tmp_path, what):
    path, message, _, _ = make_bad(tmp_path, what)
    with pytest.raises(shindo.ReadError, match="^" + message.replace("(", r"\(").replace(")", r"\)") + "$"):
        shindo.batch([path])


@pytest.mark.parametrize("call, error, sentence", [
    (lambda p: shindo.batch([]), ValueError, "paths is empty: give at least one file, folder or archive"),
    (lambda p: shindo.batch(3), TypeError, "paths must be a path or a list of paths, not int"),
    (lambda p: shindo.batch(p, jobs=0), ValueError, "jobs must be a whole number of threads from 1, not 0"),
    (lambda p: shindo.batch(p, jobs=2.5), ValueError, "jobs must be a whole number of threads from 1, not 2.5"),
    (lambda p: shindo.batch(p, jobs=1000), ValueError, 'jobs needs a whole number from 1 to 256: "1000"'),
    (lambda p: shindo.read([]), ValueError, "path is empty: give at least one file, folder or archive"),
], ids=["no paths", "not a path", "no jobs", "jobs not whole", "too many jobs", "read of no paths"])
def test_wrong_arguments_are_refused_with_a_sentence(event, call, error, sentence):
    with pytest.raises(error) as raised:
        call(event)
    assert str(raised.value) == sentence


def test_a_doubtful_record_is_read_with_a_warning(event):
    doubtful = [event / f"DOUBT2401011610.{c}" for c in ("NS", "EW", "UD")]
    with pytest.warns(shindo.RecordWarning, match="DOUBT2401011610.NS.*1.000") as warned:
        [record] = shindo.read(doubtful)
    assert record.warnings == [str(w.message) for w in warned] and len(warned) == 3
    with pytest.warns(shindo.RecordWarning, match="DOUBT2401011610.NS.*1.000"):
        shindo.batch(doubtful)


def test_a_file_name_that_is_not_utf8_keeps_its_bytes(tmp_path):
    name = os.fsdecode(b"r\xff.txt")
    (tmp_path / name).write_text("0 1 2 3\n0.05 4 5 6\n0.1 7 8 9\n0.15 1 2 3\n")
    [record] = shindo.read(tmp_path)
    [row] = shindo.batch(tmp_path, texts=True)
    assert os.fsencode(record.name) == os.fsencode(row["record"]) == os.fsencode(str(tmp_path)) + b"/r\xff.txt"
    # The program's table is valid UTF-8: the byte that is not is shown as U+FFFD there.
    out = subprocess.run([os.environ["SHINDO_BATCH"], str(tmp_path)], capture_output=True).stdout
    assert out.splitlines()[1].startswith(os.fsencode(str(tmp_path)) + b"/r\xef\xbf\xbd.txt,text,")


def test_two_threads_running_batches_at_once_give_the_rows_of_one(event):
    expected = shindo.batch(event / "more.tar.gz", jobs=1)
    got = [None, None]

    def run(k):
        got[k] = shindo.batch(event / "more.tar.gz", jobs=2)

    threads = [threading.Thread(target=run, args=(k,)) for k in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert got == [expected, expected]


def test_batch_frame_is_the_table_as_a_data_frame(event):
    pandas = pytest.importorskip("pandas")
    with pytest.warns(shindo.RecordWarning):
        frame = shindo.batch_frame(event, running=True)
        rows = shindo.batch(event, running=True)
    assert list(frame.columns) == list(rows[0])
    assert (frame["samples"].dtype, frame["intensity"].dtype, frame["class"].dtype) == ("Int64", np.float64, object)
    assert frame.astype(object).where(frame.notna(), None).to_dict("records") == rows
    assert isinstance(frame, pandas.DataFrame)


def test_batch_frame_without_pandas_says_how_to_install_it(event, monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="^shindo.batch_frame needs pandas, which is not installed "
                                          r"\(Debian: apt-get install python3-pandas"):
        shindo.batch_frame(event / "text.txt")
