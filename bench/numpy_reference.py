#!/usr/bin/env python3
"""The C++ core against a plain NumPy implementation of the published formula.

Both compute the intensity of the same record (by default 32768 samples at
0.01 s, float32): the core through bench/core_call (compute_intensity, CALLS
calls in a process of its own), NumPy in this process (float64 FFT filter,
vector, the level exceeded for 0.3 s, 2 log10 a + 0.94; no file reading in
either). The two alternate for ROUNDS rounds; each round compares the
shortest call of each, the figure a busy machine disturbs least, and the
ratio reported is the median of the rounds' ratios (NumPy over the core).

    cmake --build BUILD --target core_call
    /usr/bin/python3 bench/numpy_reference.py [BUILD-DIR] [SAMPLES]   # default build/release, 32768

Needs NumPy (Debian python3-numpy). Prints one line per figure.
"""

import os
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DT, ROUNDS, CALLS = 0.01, 9, 100


def record(samples):
    """A decaying shaking of a few superposed oscillations, float32."""
    t = np.arange(samples) * DT
    envelope = 200.0 * t * np.exp(-t / 20.0) / 20.0
    ns = envelope * np.sin(2 * np.pi * 1.3 * t)
    ew = envelope * np.cos(2 * np.pi * 0.7 * t + 0.4)
    ud = 0.5 * envelope * np.sin(2 * np.pi * 3.1 * t + 1.1)
    return [c.astype(np.float32) for c in (ns, ew, ud)]


def published_formula(ns, ew, ud, dt):
    """The intensity by the published formula, in plain NumPy (float64)."""
    n = len(ns)
    size = 1 << max(2, (n - 1).bit_length())
    f = np.fft.rfftfreq(size, dt)[1:]
    y = f / 10.0
    high_cut = (1 + 0.694 * y**2 + 0.241 * y**4 + 0.0557 * y**6 + 0.009664 * y**8 + 0.00134 * y**10
                + 0.000155 * y**12) ** -0.5
    low_cut = np.sqrt(1 - np.exp(-((f / 0.5) ** 3)))
    factor = np.concatenate([[0.0], np.sqrt(1 / f) * high_cut * low_cut])
    spectra = np.fft.rfft(np.stack([ns, ew, ud]).astype(np.float64), size, axis=1)
    filtered = np.fft.irfft(spectra * factor, size, axis=1)[:, :n]
    vector = np.sqrt((filtered**2).sum(axis=0))
    a = np.sort(vector)[::-1][int(round(0.3 / dt)) - 1]
    return 2 * np.log10(a) + 0.94


def shortest_call(function, calls):
    """The shortest time of a call (µs)."""
    times = []
    for _ in range(calls):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return min(times) * 1e6


def core_shortest_call(core_call, path, calls):
    """The shortest compute_intensity call of core_call (µs) and its intensity."""
    out = subprocess.run([core_call, path, str(calls)], check=True, capture_output=True, text=True).stdout.split()
    return float(out[1]), float(out[2]) / calls


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "release")
    samples = int(sys.argv[2]) if len(sys.argv) > 2 else 32768
    core_call = os.path.join(build, "bench", "core_call")
    ns, ew, ud = record(samples)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "record.bin")
        with open(path, "wb") as out:
            out.write(struct.pack("=if", samples, DT))
            for component in (ns, ew, ud):
                out.write(component.tobytes())
        core, numpy, ratios = [], [], []
        for _ in range(ROUNDS):
            core_us, intensity = core_shortest_call(core_call, path, CALLS)
            numpy_us = shortest_call(lambda: published_formula(ns, ew, ud, DT), CALLS // 4)
            core.append(core_us)
            numpy.append(numpy_us)
            ratios.append(numpy_us / core_us)
    published = published_formula(ns, ew, ud, DT)
    print(f"record: {samples} samples at {DT} s, {ROUNDS} rounds")
    print(f"C++ core, compute_intensity:  {statistics.median(core):9.1f} us  (intensity {intensity:.6f})")
    print(f"NumPy, published formula:     {statistics.median(numpy):9.1f} us  (intensity {published:.6f})")
    print(f"NumPy / core:                 {statistics.median(ratios):9.2f} x  "
          f"(rounds {min(ratios):.2f} to {max(ratios):.2f})")


if __name__ == "__main__":
    main()
