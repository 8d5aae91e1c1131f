#!/usr/bin/env python3
"""Speed of shindo.batch against shindo-batch on the same 200 K-NET records.

The records: one synthetic K-NET record of 30000 samples at 100 Hz (a
decaying shaking, three component files, as the network writes them) copied
under 200 names into a folder, and the folder as one .tar.gz. In rounds that
alternate the two, shindo-batch FOLDER runs as a process (its table to
/dev/null) and shindo.batch(FOLDER) in this one, both on the default number
of threads; the figures are the ratio of the rates of the fastest run of
each (what a busy machine disturbs least) and the median of the rounds'
ratios (goal: at least 90 %). Python's own start and `import shindo` are not in the figure
(they are once a session; `farm-bench` gives the whole-process figure, see
CONTRIBUTING.md).

    cmake --workflow --preset test        # builds the package and shindo-batch
    /usr/bin/python3 bench/python_batch_bench.py [BUILD-DIR] [RECORDS]   # default build/release, 200

Prints one line per figure.
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build" / "release")
RECORDS = int(sys.argv[2]) if len(sys.argv) > 2 else 200
ROUNDS = 9
sys.path.insert(0, str(BUILD / "python"))
sys.path.insert(0, str(ROOT / "tests" / "python"))
import shindo  # noqa: E402
from knet_files import archive, shaking_counts, write_record  # noqa: E402


def make_records(folder):
    """RECORDS copies of one 30000-sample record, and the folder as a .tar.gz beside it."""
    one = folder.parent / "one"
    one.mkdir()
    write_record(one / "BNC0000002401011610", shaking_counts(30000, seed=1))
    folder.mkdir()
    for i in range(RECORDS):
        for letters in ("NS", "EW", "UD"):
            shutil.copyfile(one / f"BNC0000002401011610.{letters}", folder / f"BNC{i:06d}2401011610.{letters}")
    archive(folder.parent / "records.tar.gz", folder)
    return folder.parent / "records.tar.gz"


def seconds(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def main():
    program = str(BUILD / "shindo-batch")
    with tempfile.TemporaryDirectory() as work:
        folder = Path(work) / "records"
        packed = make_records(folder)
        for name, path in (("files", folder), ("archive", packed)):
            rows = shindo.batch(path, texts=True)
            table = subprocess.run([program, str(path)], capture_output=True, text=True).stdout
            same = table.count("\n") == len(rows) + 1 and all(row["error"] is None for row in rows)
            ours, theirs, ratios = [], [], []
            for _ in range(ROUNDS):
                b = seconds(lambda: subprocess.run([program, str(path)], stdout=subprocess.DEVNULL,
                                                   stderr=subprocess.DEVNULL, check=True))
                p = seconds(lambda: shindo.batch(path))
                theirs.append(RECORDS / b)
                ours.append(RECORDS / p)
                ratios.append(b / p)
            print(f"{name:8s} fastest: shindo-batch {max(theirs):6.1f} records/s, shindo.batch {max(ours):6.1f} "
                  f"records/s: {100 * max(ours) / max(theirs):.0f} %; median of the rounds' ratios "
                  f"{100 * statistics.median(ratios):.0f} % (rounds {100 * min(ratios):.0f} to "
                  f"{100 * max(ratios):.0f} %){'' if same else '  ROWS DIFFER'}")
    print(f"records: {RECORDS} K-NET records of 30000 samples at 100 Hz, {os.cpu_count()} cores, "
          f"{ROUNDS} rounds; load {' '.join(open('/proc/loadavg').read().split()[:3])}")


if __name__ == "__main__":
    main()
