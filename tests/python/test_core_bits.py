"""shindo.intensity gives the C++ core's bits, and converts its input as the readers do."""

import numpy as np
import pytest

import shindo
from probe import bits, core_results, random_record

# Edge lengths around the transform sizes, then lengths drawn at random.
LENGTHS = [1, 2, 3, 4, 5, 8, 9, 31, 300, 1023, 1024, 1025, 4000, 30000, 32769, 65536, 70000]


def random_records():
    rng = np.random.default_rng(20261209)
    lengths = LENGTHS + [int(n) for n in rng.integers(1, 70001, size=8)]
    return [random_record(rng, n) for n in lengths]


def test_random_records_have_the_core_bits():
    records = random_records()
    for record, core in zip(records, core_results(records)):
        ns, ew, ud, dt = record
        if core["fault"] != int(shindo.Fault.none):
            with pytest.raises(shindo.ComputationError) as raised:
                shindo.intensity(ns, ew, ud, dt)
            result = raised.value.result
            assert (int(raised.value.fault), int(raised.value.stage)) == (core["fault"], core["stage"]), len(ns)
        else:
            result = shindo.intensity(ns, ew, ud, dt)
            assert bits(result.intensity) == core["shindo"].view(np.uint32), len(ns)
        assert bits(result.a0) == core["a0"].view(np.uint32), len(ns)
        assert bits(result.amax) == core["amax"].view(np.uint32), len(ns)
        assert result.transform_size == core["transform_size"]
        assert result.samples == len(ns) and bits(result.dt) == bits(dt)
        assert np.array_equal(result.wave.view(np.uint32), core["wave"].view(np.uint32)), len(ns)
        assert result.levels.tobytes() == core["levels"].tobytes(), len(ns)


def test_pga_is_the_peak_of_the_input_vector_rounded_once():
    ns, ew, ud, dt = random_record(np.random.default_rng(7), 5000)
    x, y, z = (c.astype(np.float64) for c in (ns, ew, ud))
    expected = np.float32(np.sqrt(np.max(x * x + y * y + z * z)))
    assert bits(shindo.intensity(ns, ew, ud, dt).pga) == bits(expected)


@pytest.mark.parametrize(
    "convert",
    [
        pytest.param(lambda a: a.astype(np.float64) + 1e-9 * a, id="float64 between floats"),
        pytest.param(lambda a: np.round(a * 1000).astype(np.int64), id="int64"),
        pytest.param(lambda a: np.round(a).astype(np.int16), id="int16"),
        pytest.param(lambda a: [float(v) for v in a], id="list of Python floats"),
        pytest.param(lambda a: a.astype(">f8"), id="big-endian float64"),
        pytest.param(lambda a: a.astype(np.float64)[::-1][::-1], id="strided view"),
    ],
)
def test_other_numbers_are_rounded_once_to_float32(convert):
    ns, ew, ud, dt = random_record(np.random.default_rng(11), 3000, dt=0.01)
    given = [convert(c) for c in (ns, ew, ud)]
    # Each value rounded once to the nearest float32, ties to even.
    rounded = [np.asarray(c).astype(np.float64).astype(np.float32) if np.asarray(c).dtype.kind == "f"
               else np.asarray(c).astype(np.float32) for c in given]
    expected = shindo.intensity(*rounded, np.float32(dt))
    result = shindo.intensity(*given, dt)
    assert (bits(result.intensity), bits(result.a0), bits(result.amax)) == (
        bits(expected.intensity), bits(expected.a0), bits(expected.amax))


def test_the_sample_record_gives_the_console_programs_figures():
    import os
    ns, ew, ud = np.loadtxt(os.path.join(os.environ["SHINDO_SOURCE_DIR"], "examples", "sample.txt"),
                            dtype=np.float32, unpack=True)[1:]
    result = shindo.intensity(ns, ew, ud, 0.01)
    # The console program shows seven significant digits: 5.034271, 111.079900, 155.792300.
    assert (f"{result.intensity:.7g}", f"{result.a0:.7g}", f"{result.amax:.7g}") == (
        "5.034271", "111.0799", "155.7923")
    assert (result.reported, result.reported_tenths, result.intensity_class, result.class_ja) == (
        5.0, 50, "5+", "5強")
    assert repr(result).startswith("<shindo.IntensityResult intensity=5.034271 reported=5.0 class=5+ a0=111.07989")


@pytest.mark.parametrize(
    "scale, reported",
    [(1.0, "reported=3.1 class=3"), (0.02, "reported=-0.3 class=0"), (0.05, "reported=0.4 class=0")],
)
def test_the_repr_shows_the_reported_value_and_class_with_their_sign(scale, reported):
    t = np.arange(2000) * 0.01
    shaking = (10 * scale * np.sin(2 * np.pi * 2 * t)).astype(np.float32)
    result = shindo.intensity(shaking, shaking, shaking, 0.01)
    assert f"reported={result.reported:.1f} class={result.intensity_class}" == reported
    assert reported in repr(result)


def test_the_wave_and_levels_are_read_only_views_of_the_result():
    ns, ew, ud, dt = random_record(np.random.default_rng(3), 2000, dt=0.01)
    result = shindo.intensity(ns, ew, ud, dt)
    assert np.shares_memory(result.wave, result.wave) and result.wave.base is result
    assert result.levels.base is result and len(result.levels) == 1000
    assert not result.wave.flags.writeable and not result.levels.flags.writeable
    wave = result.wave
    del result
    assert wave.sum() > 0  # the view keeps the result alive


@pytest.mark.parametrize(
    "samples, fault, stage",
    [
        (np.zeros(400, np.float32), "log10_singularity", "intensity"),
        (np.full(400, 3e38, np.float32), "overflow", "spectrum"),
    ],
)
def test_a_fault_raises_computation_error_with_the_partial_result(samples, fault, stage):
    with pytest.raises(shindo.ComputationError) as raised:
        shindo.intensity(samples, samples, samples, 0.01)
    error = raised.value
    assert isinstance(error, ValueError)
    assert (error.fault.name, error.stage.name) == (fault, stage)
    assert (error.result.fault, error.result.stage) == (error.fault, error.stage)
    assert np.isnan(error.result.intensity) and error.result.reported_tenths is None
    assert str(error).startswith("no intensity: ") and "fault=" in repr(error.result)
