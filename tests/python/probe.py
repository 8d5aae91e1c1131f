"""The C++ core's results for records, through the helper program core_probe."""

import os
import subprocess
import tempfile
from pathlib import Path

import numpy as np

LEVEL_ROW = np.dtype([("level", "<f4"), ("count", "<i4"), ("duration", "<f4")])


def core_results(records):
    """The core's result of each record (ns, ew, ud, dt), float32 samples: a dict per record."""
    with tempfile.TemporaryDirectory() as folder:
        given, taken = Path(folder, "in"), Path(folder, "out")
        with open(given, "wb") as out:
            for ns, ew, ud, dt in records:
                out.write(np.int32(len(ns)).tobytes() + np.float32(dt).tobytes())
                for component in (ns, ew, ud):
                    out.write(np.ascontiguousarray(component, dtype=np.float32).tobytes())
        subprocess.run([os.environ["SHINDO_CORE_PROBE"], str(given), str(taken)], check=True)
        data = taken.read_bytes()
    results, at = [], 0
    for _ in records:
        fault, stage, transform_size, wave_size, level_rows = np.frombuffer(data, np.int32, 5, at)
        a0, amax, shindo = np.frombuffer(data, np.float32, 3, at + 20)
        at += 32
        wave = np.frombuffer(data, np.float32, wave_size, at)
        at += 4 * int(wave_size)
        levels = np.frombuffer(data, LEVEL_ROW, level_rows, at)
        at += LEVEL_ROW.itemsize * int(level_rows)
        results.append(dict(fault=int(fault), stage=int(stage), transform_size=int(transform_size),
                            a0=a0, amax=amax, shindo=shindo, wave=wave, levels=levels))
    return results


def bits(value):
    """The bits of a value as a float32: equal bits, equal floats (NaN included)."""
    return np.float32(value).view(np.uint32)


def random_record(rng, samples, dt=None):
    """Noise of a random scale under a rising and decaying envelope, float32."""
    t = (np.arange(samples) + 0.5) / samples
    envelope = 10 ** rng.uniform(-1, 3) * t * np.exp(1 - 4 * t) * 4
    ns, ew, ud = (envelope * rng.standard_normal(samples) for _ in range(3))
    if dt is None:
        dt = float(rng.choice([0.01, 0.005, 0.02, 0.001]))
    return ns.astype(np.float32), ew.astype(np.float32), ud.astype(np.float32), dt
