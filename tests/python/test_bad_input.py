"""Input that cannot be a record is refused with a ValueError whose sentence names the argument."""

import re
from types import SimpleNamespace

import numpy as np
import pytest

import shindo

GOOD = np.sin(np.arange(500, dtype=np.float64) / 7) * 50


def good(**changes):
    arguments = dict(ns=GOOD, ew=GOOD[::-1].copy(), ud=GOOD * 0.3, dt=0.01)
    arguments.update(changes)
    return arguments


def with_sample(value, at=5):
    samples = GOOD.copy()
    samples[at] = value
    return samples


RECORDS = [
    ("empty components", good(ns=[], ew=[], ud=[]), "ns is empty: a record needs at least one sample"),
    ("NaN sample", good(ew=with_sample(np.nan)), "ew has a sample that is not a finite float32 number: nan at index 5"),
    ("infinite sample", good(ud=with_sample(-np.inf, 7)), "ud has a sample that is not a finite float32 number: -inf at index 7"),
    ("beyond the float range", good(ns=with_sample(1e300, 0)), "ns has a sample that is not a finite float32 number: 1e+300 at index 0"),
    ("mismatched lengths", good(ud=GOOD[:-1]), "ns, ew and ud must have the same length, not 500, 500 and 499 samples"),
    ("2-D component", good(ns=np.zeros((500, 3))), "ns must be one-dimensional, one sample per element, not of shape (500, 3)"),
    ("scalar component", good(ew=3.0), "ew must be one-dimensional, one sample per element, not of shape ()"),
    ("text values", good(ew=["1", "2"]), "ew must hold integers or reals, not values of type <U1"),
    ("a string", good(ud="1 2 3"), "ud must be an array of numbers, not a string"),
    ("objects", good(ns=[object(), object()]), "ns must hold integers or reals, not values of type object"),
    ("ragged lists", good(ns=[[1.0, 2.0], [3.0]]), "ns must be an array of numbers"),
    ("complex values", good(ud=GOOD.astype(complex)), "ud must hold integers or reals, not values of type complex128"),
    ("booleans", good(ns=GOOD > 0), "ns must hold integers or reals, not values of type bool"),
    ("dt of 0", good(dt=0), "dt must be a positive number of seconds, not 0.0"),
    ("negative dt", good(dt=-0.01), "dt must be a positive number of seconds, not -0.01"),
    ("dt NaN", good(dt=float("nan")), "dt must be a positive number of seconds, not nan"),
    ("dt infinite", good(dt=float("inf")), "dt must be a positive number of seconds, not inf"),
    ("dt as text", good(dt="0.01"), "dt must be a number of seconds, not '0.01'"),
    ("dt below the float range", good(dt=1e-50), "dt (1e-50 s) is outside the range of a single-precision interval"),
]


@pytest.mark.parametrize("arguments, sentence", [case[1:] for case in RECORDS], ids=[case[0] for case in RECORDS])
@pytest.mark.parametrize("function", [shindo.intensity, shindo.running])
def test_a_record_that_is_not_one_is_refused_with_a_sentence(function, arguments, sentence):
    with pytest.raises(ValueError, match="^" + re.escape(sentence)) as raised:
        function(**arguments)
    assert not isinstance(raised.value, shindo.ComputationError)


def test_a_record_longer_than_the_core_computes_is_refused():
    samples = np.zeros(shindo._core.MAX_SAMPLES + 1, np.float32)
    with pytest.raises(ValueError, match=r"^the record has 4194305 samples; at most 4194304 \(2\^22\) are computed"):
        shindo.intensity(samples, samples, samples, 0.01)


def test_a_missing_argument_is_a_type_error():
    with pytest.raises(TypeError, match=re.escape("intensity() takes ns, ew, ud and dt, or one stream of three traces")):
        shindo.intensity(GOOD, GOOD, GOOD)


# Stand-ins for a stream of traces as ObsPy has them.
def trace(data, channel=None, component=None, delta=None, sampling_rate=None, id=None):
    stats = SimpleNamespace(npts=len(data))
    for key, value in dict(channel=channel, component=component, delta=delta, sampling_rate=sampling_rate).items():
        if value is not None:
            setattr(stats, key, value)
    item = SimpleNamespace(data=data, stats=stats)
    if id is not None:
        item.id = id
    return item


class Stream:
    def __init__(self, traces):
        self.traces = list(traces)

    def __iter__(self):
        return iter(self.traces)


NS, EW, UD = GOOD.astype(np.float32), GOOD[::-1].astype(np.float32), (GOOD * 0.3).astype(np.float32)

STREAMS = [
    ("channels N E Z", Stream([trace(NS, "HNN", delta=0.01), trace(EW, "HNE", delta=0.01), trace(UD, "HNZ", delta=0.01)])),
    ("any order", Stream([trace(UD, "HNZ", delta=0.01), trace(NS, "HNN", delta=0.01), trace(EW, "HNE", delta=0.01)])),
    ("1 2 3 by rate", [trace(EW, "HN2", sampling_rate=100.0), trace(UD, "HN3", sampling_rate=100), trace(NS, "HN1", sampling_rate=100.0)]),
    ("component names", [trace(NS, component="n", delta=0.01), trace(EW, component="e", delta=0.01), trace(UD, component="z", delta=0.01)]),
]


@pytest.mark.parametrize("stream", [case[1] for case in STREAMS], ids=[case[0] for case in STREAMS])
def test_a_stream_of_three_traces_gives_the_intensity_of_its_components(stream):
    expected = shindo.intensity(NS, EW, UD, 0.01)
    result = shindo.intensity(stream)
    assert (result.intensity, result.a0, result.pga, result.dt) == (expected.intensity, expected.a0, expected.pga, expected.dt)
    assert np.array_equal(shindo.running(stream, window=2, step=1).a0, shindo.running(NS, EW, UD, 0.01, 2, 1).a0)


BAD_STREAMS = [
    ("two traces", [trace(NS, "HNN", delta=0.01), trace(EW, "HNE", delta=0.01)],
     "a stream of three traces is needed (N, E and Z, or 1, 2 and 3); this one has 2"),
    ("four traces", [trace(NS, c, delta=0.01) for c in ("HNN", "HNE", "HNZ", "HNZ")],
     "a stream of three traces is needed (N, E and Z, or 1, 2 and 3); this one has 4"),
    ("different rates", [trace(NS, "HNN", delta=0.01), trace(EW, "HNE", delta=0.01), trace(UD, "HNZ", delta=0.005, id="BO.X..HNZ")],
     "the traces have different sampling intervals: HNN 0.01 s, HNE 0.01 s, BO.X..HNZ 0.005 s"),
    ("different lengths", [trace(NS, "HNN", delta=0.01), trace(EW[:-2], "HNE", delta=0.01), trace(UD, "HNZ", delta=0.01)],
     "the traces have different lengths: HNN 500 samples, HNE 498 samples, HNZ 500 samples"),
    ("unknown component", [trace(NS, "HNN", delta=0.01), trace(EW, "HNX", delta=0.01), trace(UD, "HNZ", delta=0.01)],
     "the trace HNX has the component 'X': N, E, Z or 1, 2, 3 is needed"),
    ("one component twice", [trace(NS, "HNN", delta=0.01), trace(EW, "HN1", delta=0.01), trace(UD, "HNZ", delta=0.01)],
     "the traces HNN and HN1 are both the ns component"),
    ("no interval", [trace(NS, "HNN"), trace(EW, "HNE"), trace(UD, "HNZ")],
     "the trace HNN has neither stats.delta nor stats.sampling_rate"),
    ("rate of 0", [trace(NS, "HNN", sampling_rate=0.0), trace(EW, "HNE", delta=0.01), trace(UD, "HNZ", delta=0.01)],
     "the trace HNN has the sampling rate 0.0: a positive number of hertz is needed"),
    ("not traces", [1, 2, 3], "trace 1 of the stream has no .data or no .stats"),
    ("not a stream", 42, "a stream of three traces, or ns, ew, ud and dt, is needed, not int"),
]


@pytest.mark.parametrize("stream, sentence", [case[1:] for case in BAD_STREAMS], ids=[case[0] for case in BAD_STREAMS])
def test_a_stream_that_is_not_one_record_is_refused_with_a_sentence(stream, sentence):
    with pytest.raises(ValueError, match="^" + re.escape(sentence)):
        shindo.intensity(stream)


RUNNING_SETTINGS = [
    ("step shorter than dt", dict(dt=0.01, window=60, step=0.005), "the step (0.005 s) is shorter than the sampling interval (0.01 s)"),
    ("window shorter than dt", dict(dt=0.01, window=0.001, step=1), "the window"),
    ("dt of 0", dict(dt=0.0), "dt must be a positive number of seconds, not 0.0"),
    ("window as text", dict(dt=0.01, window="60"), "window must be a number of seconds, not '60'"),
]


@pytest.mark.parametrize("settings, sentence", [case[1:] for case in RUNNING_SETTINGS], ids=[case[0] for case in RUNNING_SETTINGS])
def test_running_settings_that_cannot_run_are_refused(settings, sentence):
    with pytest.raises(ValueError, match="^" + re.escape(sentence)):
        shindo.RunningIntensity(**settings)
    with pytest.raises(ValueError, match="^" + re.escape(sentence)):
        shindo.running(GOOD, GOOD, GOOD, **settings)


def test_a_block_of_components_of_different_lengths_is_refused_whole():
    stream = shindo.RunningIntensity(0.01, window=2, step=1)
    with pytest.raises(ValueError, match=re.escape("ns, ew and ud must have the same length, not 500, 500 and 499")):
        stream.feed(GOOD, GOOD, GOOD[1:])
    assert stream.samples_received == 0
