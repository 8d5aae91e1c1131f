#!/usr/bin/env python3
"""Speed of the Python package on one 30000-sample record at 100 Hz.

- per-call overhead: shindo.intensity against the C++ core's compute_intensity
  (bench/core_call) on the same float32 record, in rounds that alternate the
  two; each round compares the shortest of CALLS calls of each (the shortest
  is what a busy machine disturbs least), and the overhead is the median of
  the rounds' ratios minus 1 (goal: at most 5 %);
- the Python layer's own cost a call, on an 8-sample record where the
  computation costs little;
- against a plain NumPy implementation of the published formula (FFT filter,
  vector, the level exceeded for 0.3 s, 2 log10 a + 0.94) on the same record.

    cmake --workflow --preset test        # builds the package and bench/core_call
    /usr/bin/python3 bench/python_bench.py [BUILD-DIR]   # default build/release

Prints one line per figure.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "release")
sys.path.insert(0, os.path.join(BUILD, "python"))
sys.dont_write_bytecode = True  # no __pycache__ beside the benchmark for numpy_reference
import shindo  # noqa: E402
from shindo import _core  # noqa: E402
from numpy_reference import published_formula, record as shaking  # noqa: E402

SAMPLES, DT, ROUNDS, CALLS = 30000, 0.01, 9, 150


def record():
    """A decaying shaking of a few superposed oscillations, float32."""
    return shaking(SAMPLES)


def call_times(function, calls=CALLS):
    """The median and the shortest time of a call (µs)."""
    times = []
    for _ in range(calls):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1e6, min(times) * 1e6


def median_call(function, calls=CALLS):
    return call_times(function, calls)[0]


def main():
    ns, ew, ud = record()
    wide = [c.astype(np.float64) for c in (ns, ew, ud)]
    core_call = os.path.join(BUILD, "bench", "core_call")
    with tempfile.NamedTemporaryFile(suffix=".bin", delete=False) as out:
        out.write(np.int32(SAMPLES).tobytes() + np.float32(DT).tobytes())
        for c in (ns, ew, ud):
            out.write(c.tobytes())
        path = out.name
    try:
        ratios, core, python, python64, bare, numpy_times = [], [], [], [], [], []
        core_best, python_best = [], []
        for _ in range(ROUNDS):
            c, c_best = (float(v) for v in subprocess.run(
                [core_call, path, str(CALLS)], check=True, capture_output=True, text=True).stdout.split()[:2])
            p, p_best = call_times(lambda: shindo.intensity(ns, ew, ud, DT))
            core.append(c)
            python.append(p)
            core_best.append(c_best)
            python_best.append(p_best)
            ratios.append(p_best / c_best)
            python64.append(median_call(lambda: shindo.intensity(*wide, DT), calls=20))
            bare.append(call_times(lambda: _core.compute(ns, ew, ud, DT), calls=20))
            numpy_times.append(median_call(lambda: published_formula(ns, ew, ud, DT), calls=10))
    finally:
        os.unlink(path)
    med = statistics.median
    print(f"record: {SAMPLES} samples at {DT} s, {ROUNDS} rounds of {CALLS} calls, medians")
    print(f"C++ core compute_intensity:          {med(core):9.1f} us (shortest {med(core_best):.1f})")
    print(f"shindo.intensity, float32 input:     {med(python):9.1f} us (shortest {med(python_best):.1f})  "
          f"overhead {100 * (med(ratios) - 1):+.1f} % (rounds {100 * (min(ratios) - 1):+.1f} to {100 * (max(ratios) - 1):+.1f} %)")
    print(f"shindo._core.compute, float32 input: {med(b[0] for b in bare):9.1f} us "
          f"(shortest {med(b[1] for b in bare):.1f})")
    print(f"shindo.intensity, float64 input:     {med(python64):9.1f} us")
    print(f"NumPy, published formula:            {med(numpy_times):9.1f} us  "
          f"({med(numpy_times) / med(python):.2f} x the time of shindo.intensity)")
    # The package's own cost per call, apart from the computation: the same
    # calls on an 8-sample record at 0.05 s, alternated, where the core costs little.
    tiny = [c[2000:2008].copy() for c in (ns, ew, ud)]
    layer, pybind = [], []
    for _ in range(200):
        layer.append(median_call(lambda: shindo.intensity(*tiny, 0.05), calls=25))
        pybind.append(median_call(lambda: _core.compute(*tiny, 0.05), calls=25))
    print(f"8-sample record: shindo.intensity {med(layer):.1f} us, shindo._core.compute {med(pybind):.1f} us: "
          f"the Python layer adds {med(layer) - med(pybind):.1f} us a call "
          f"({100 * (med(layer) - med(pybind)) / med(core):.2f} % of the 30000-sample call)")
    ours = shindo.intensity(ns, ew, ud, DT).intensity
    print(f"intensity: shindo {ours:.6f}, published formula in NumPy {published_formula(ns, ew, ud, DT):.6f}")


if __name__ == "__main__":
    main()
