"""The package's types let a checker pass good calls and catch wrong ones (mypy, when installed)."""

import os
import subprocess
import sys

import pytest

pytest.importorskip("mypy")

GOOD = """
import numpy as np
import shindo
ns = np.zeros(10)
result = shindo.intensity(ns, ns, ns, 0.01)
total: float = result.a0 + result.amax + result.pga + result.intensity
tenths: int | None = result.reported_tenths
wave: np.ndarray = result.wave
steps = shindo.running(ns, ns, ns, 0.01, window=5, step=1)
times: np.ndarray = steps.time
fault: str = shindo.RunningIntensity(0.01).feed(ns, ns, ns)[0].result.fault.name
error: ValueError = shindo.ComputationError(result)
records: list[shindo.Record] = shindo.read("records/")
samples: np.ndarray = records[0].ns
station: str | None = records[0].station
when = records[0].record_time
rows: list[dict] = shindo.batch(["a.tar.gz", "b.tar.gz"], jobs=2, running=True)
read_error: ValueError = shindo.ReadError("f", 3, "why")
"""

# (call, what the checker says)
WRONG = [
    ("shindo.intensity(ns, ns, ns, '0.01')", 'No overload variant of "intensity"'),
    ("shindo.intensity(ns, ns, ns, 0.01).peak", 'has no attribute "peak"'),
    ("shindo.running(ns, ns, ns, 0.01, windows=5)", 'No overload variant of "running"'),
    ("shindo.RunningIntensity(0.01).feed(ns, ns)", 'Missing positional argument'),
    ("shindo.batch('d', jobs='2')", 'incompatible type "str"'),
    ("shindo.read('d')[0].samples + 'x'", 'Unsupported operand types'),
    ("shindo.read('d', offset=True)", 'Unexpected keyword argument "offset"'),
]


def check(tmp_path, text):
    source = tmp_path / "calls.py"
    source.write_text(text)
    environment = dict(os.environ, MYPYPATH=os.environ["PYTHONPATH"])
    return subprocess.run(
        [sys.executable, "-m", "mypy", "--no-incremental", "--cache-dir", os.devnull, "--python-version",
         f"{sys.version_info.major}.{sys.version_info.minor}", str(source)],
        capture_output=True, text=True, env=environment, cwd=tmp_path,
    ).stdout


def test_good_calls_pass_the_type_checker(tmp_path):
    assert "Success" in check(tmp_path, GOOD)


def test_wrong_calls_are_caught_by_the_type_checker(tmp_path):
    header = "import numpy as np\nimport shindo\nns = np.zeros(10)\n"
    report = check(tmp_path, header + "\n".join(call for call, _ in WRONG) + "\n")
    errors = {}
    for line in report.splitlines():
        if ": error: " in line:
            errors[int(line.split(":")[1])] = line
    for line, (call, message) in enumerate(WRONG, start=4):
        assert message in errors.get(line, ""), (call, report)
