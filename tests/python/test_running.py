"""The running intensity: each step has the bits of the intensity of its window, however the record is fed."""

import numpy as np
import pytest

import shindo
from probe import bits, random_record

# (samples, dt, window s, step s) -> the ends of the steps, in samples.
CASES = [
    ((2500, 0.01, 10.0, 3.0), list(range(300, 2500, 300)) + [2500]),
    ((1200, 0.01, 60.0, 1.0), list(range(100, 1201, 100))),
    ((1000, 0.005, 1.0, 0.015), list(range(3, 1000, 3)) + [1000]),
]


@pytest.mark.parametrize("settings, ends", CASES)
def test_each_step_is_the_intensity_of_its_window(settings, ends):
    samples, dt, window, step = settings
    ns, ew, ud, _ = random_record(np.random.default_rng(samples), samples, dt=dt)
    steps = shindo.running(ns, ew, ud, dt, window=window, step=step)
    window_samples = round(window / dt)
    assert np.array_equal(steps.time, np.array(ends) * np.float64(np.float32(dt)))
    for end, value, a0 in zip(ends, steps.intensity, steps.a0):
        cut = slice(max(0, end - window_samples), end)
        try:
            expected = shindo.intensity(ns[cut], ew[cut], ud[cut], dt)
            assert (bits(value), bits(a0)) == (bits(expected.intensity), bits(expected.a0)), end
        except shindo.ComputationError as error:
            assert np.isnan(value) and bits(a0) == bits(error.result.a0), end


def test_a_stream_fed_in_blocks_of_any_size_gives_the_whole_records_steps():
    ns, ew, ud, dt = random_record(np.random.default_rng(2), 4321, dt=0.01)
    whole = shindo.running(ns, ew, ud, dt, window=8, step=0.5)
    stream = shindo.RunningIntensity(dt, window=8, step=0.5)
    steps, at = [], 0
    for size in np.random.default_rng(4).integers(1, 400, size=1000):
        if at >= len(ns):
            break
        cut = slice(at, at + int(size))
        steps += stream.feed(ns[cut], ew[cut], ud[cut].astype(np.float64))
        at += int(size)
    steps += stream.finish()
    assert [step.time for step in steps] == list(whole.time)
    assert [bits(step.result.intensity) for step in steps] == [bits(v) for v in whole.intensity]
    assert [step.window_samples for step in steps] == [min(800, int(step.end_sample)) for step in steps]


def test_a_window_that_cannot_be_computed_gives_a_step_with_its_fault_and_the_stream_goes_on():
    quiet, loud = np.zeros(300, np.float32), (np.sin(np.arange(300) / 5) * 80).astype(np.float32)
    stream = shindo.RunningIntensity(0.01, window=1, step=1)
    steps = stream.feed(quiet, quiet, quiet) + stream.feed(loud, loud, quiet)
    assert [step.result.fault.name for step in steps] == ["log10_singularity"] * 3 + ["none"] * 3
    assert np.isnan(steps[0].result.intensity) and steps[3].result.intensity > 0
    glitch = loud.copy()
    glitch[50] = np.nan
    faults = [step.result.fault.name for step in stream.feed(glitch, loud, loud)]
    assert faults == ["not_finite", "none", "none"]
    record = np.concatenate([quiet, loud])
    assert np.isnan(shindo.running(record, record, record, 0.01, window=1, step=1).intensity[:3]).all()
