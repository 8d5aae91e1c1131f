"""shindo.ground_motion gives the C++ core's values, and refuses what the core refuses with its sentence."""

import os
import subprocess
import tempfile
from pathlib import Path

import numpy as np
import pytest

import shindo
from probe import random_record

SCALARS = ("pga_ns", "pga_ew", "pga_ud", "pga_h", "pga_vector", "pgv_ns", "pgv_ew", "pgv_ud", "pgv_h",
           "si_ns", "si_ew", "si", "sva_max_ns", "sva_max_ew", "sva_period_ns", "sva_period_ew",
           "sva_max", "sva_period")
CURVES = ("psa", "sa", "sd", "sv", "sva")


def core_values(cases):
    """The core's values of each case (record, damping, highpass, periods or None): a dict per case."""
    with tempfile.TemporaryDirectory() as folder:
        given, taken = Path(folder, "in"), Path(folder, "out")
        with open(given, "wb") as out:
            for (ns, ew, ud, dt), damping, highpass, periods in cases:
                out.write(np.int32(len(ns)).tobytes() + np.float32(dt).tobytes())
                out.write(np.array([damping, highpass], np.float64).tobytes())
                out.write(np.int32(-1 if periods is None else len(periods)).tobytes())
                if periods is not None:
                    out.write(np.asarray(periods, np.float64).tobytes())
                for component in (ns, ew, ud):
                    out.write(np.ascontiguousarray(component, dtype=np.float32).tobytes())
        subprocess.run([os.environ["SHINDO_GROUND_MOTION_PROBE"], str(given), str(taken)], check=True)
        data = taken.read_bytes()
    results, at = [], 0

    def take(count):
        nonlocal at
        values = np.frombuffer(data, np.float64, count, at)
        at += 8 * count
        return values

    for _ in cases:
        fault, lead, periods, length, lp_class = (int(v) for v in np.frombuffer(data, np.int32, 5, at))
        at += 20
        result = dict(fault=fault, lead_samples=lead, lp_class=lp_class)
        result.update(zip(SCALARS, take(len(SCALARS))))
        result["periods"] = take(periods)
        for component in ("ns", "ew"):
            for curve in CURVES:
                result[f"{curve}_{component}"] = take(periods)
        for component in ("ns", "ew", "ud"):
            result[f"velocity_{component}"] = take(length)
        results.append(result)
    return results


def test_values_equal_the_cores_at_every_setting_and_interval():
    rng = np.random.default_rng(20261210)
    cases = [
        (random_record(rng, 3000, 0.01), 0.05, 0.1, None),
        (random_record(rng, 6000, 0.005), 0.02, 0.05, [0.03, 0.1, 1.0, 7.8]),
        (random_record(rng, 1500, 0.02), 0.3, 0.0, None),
        (random_record(rng, 1, 0.01), 0.05, 0.1, [2.0]),
        (random_record(rng, 2000, 0.01), 0.05, 0.1, np.geomspace(1e-6, 1e6, 25)),
    ]
    for case, core in zip(cases, core_values(cases)):
        (ns, ew, ud, dt), damping, highpass, periods = case
        assert core["fault"] == 0
        motion = shindo.ground_motion(ns, ew, ud, dt, damping=damping, highpass=highpass, periods=periods)
        for name in SCALARS:
            assert getattr(motion, name) == core[name], name
        assert (motion.lead_samples, motion.lp_class) == (core["lead_samples"], core["lp_class"])
        for name in core:
            if isinstance(core[name], np.ndarray):
                array = getattr(motion, name)
                assert array.dtype == np.float64 and np.array_equal(array, core[name]), name
        assert (motion.damping, motion.highpass, motion.dt) == (damping, highpass, float(np.float32(dt)))
        steps = motion.lp_steps
        assert len(steps) == 32 and steps["period"][0] == 1.6 and steps["period"][-1] == 7.8
        assert max(steps["sva"].max(), 0.0) == motion.sva_max and steps["lp_class"].max() == motion.lp_class


def test_default_periods_and_read_only_views_that_outlive_their_result():
    ns, ew, ud, dt = random_record(np.random.default_rng(3), 2500, 0.01)
    motion = shindo.ground_motion(ns, ew, ud, dt)
    assert np.array_equal(motion.periods, shindo.DEFAULT_PERIODS) and len(shindo.DEFAULT_PERIODS) == 61
    psa, velocity = motion.psa_ns, motion.velocity_ew
    with pytest.raises(ValueError):
        psa[0] = 1.0
    expected = psa.copy()
    del motion
    assert np.array_equal(psa, expected) and velocity.size == 2500 + 2 * 3001
    # PSA = w^2 SD exactly as the core computes it.
    again = shindo.ground_motion(ns, ew, ud, dt)
    assert np.array_equal(again.psa_ew, (2 * np.pi / again.periods) ** 2 * again.sd_ew)


def test_repr_shows_the_values_of_the_table():
    t = np.arange(2000) * 0.01
    motion = shindo.ground_motion(100 * np.sin(2 * np.pi * t), np.zeros(2000), np.zeros(2000), 0.01, highpass=0)
    text = repr(motion)
    assert text.startswith("<shindo.GroundMotionResult pga_h=100 pgv_h=31.8") and text.endswith(
        " lp_class=2 periods=61 damping=0.05 highpass=0>"), text


@pytest.mark.parametrize(
    "arguments, sentence",
    [
        (dict(damping=0.0), "the damping must lie strictly between 0 and 1"),
        (dict(damping=1.0), "the damping must lie strictly between 0 and 1"),
        (dict(damping=float("nan")), "the damping must lie strictly between 0 and 1"),
        (dict(damping="5%"), "damping must be a number between 0 and 1, not '5%'"),
        (dict(highpass=-0.1), "the high-pass corner is negative, infinite or not a number"),
        (dict(highpass=51.0), "the high-pass corner is at or above the Nyquist frequency"),
        (dict(highpass=1e-9), "the zeros put around the record would exceed 2^22 samples"),
        (dict(periods=[]), "the list of periods is empty"),
        (dict(periods=[1.0, float("inf")]), "a period is infinite or not a number"),
        (dict(periods=[0.0]), "a period is 0, negative, or outside"),
        (dict(periods=[[1.0, 2.0]]), "periods must be one-dimensional"),
        (dict(periods="1 2"), "periods must be an array of numbers of seconds, not a string"),
    ],
    ids=lambda value: str(value) if isinstance(value, dict) else None,
)
def test_settings_refused_with_a_sentence(arguments, sentence):
    ns, ew, ud, dt = random_record(np.random.default_rng(5), 500, 0.01)
    with pytest.raises(ValueError, match=sentence.replace("^", r"\^")):
        shindo.ground_motion(ns, ew, ud, dt, **arguments)


def test_records_refused_as_the_intensity_refuses_them():
    ns, ew, ud, dt = random_record(np.random.default_rng(6), 100, 0.01)
    bad = ns.copy()
    bad[7] = np.nan
    with pytest.raises(ValueError, match="ns has a sample that is not a finite float32 number: nan at index 7"):
        shindo.ground_motion(bad, ew, ud, dt)
    with pytest.raises(ValueError, match="must have the same length"):
        shindo.ground_motion(ns, ew[:50], ud, dt)
    with pytest.raises(ValueError, match="dt must be a positive number of seconds"):
        shindo.ground_motion(ns, ew, ud, 0.0)
