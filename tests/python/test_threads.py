"""Python threads computing at once (without the GIL) give the results of one after the other."""

import threading

import numpy as np

import shindo
from probe import bits, random_record


def figures(result):
    return bits(result.intensity), bits(result.a0), bits(result.amax), result.wave.tobytes()


def test_two_threads_at_once_give_the_sequential_results():
    rng = np.random.default_rng(5)
    records = [random_record(rng, n, dt=0.01) for n in (30000, 17000, 4096, 70000)]
    expected = [figures(shindo.intensity(*record)) for record in records]
    got = {0: [], 1: []}
    start = threading.Barrier(2)

    def work(thread):
        start.wait()
        for round_ in range(6):
            order = records if (thread + round_) % 2 == 0 else records[::-1]
            results = [figures(shindo.intensity(*record)) for record in order]
            got[thread].append(results if order is records else results[::-1])

    threads = [threading.Thread(target=work, args=(thread,)) for thread in (0, 1)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for thread in (0, 1):
        assert got[thread] == [expected] * 6


def test_two_threads_feeding_one_stream_lose_no_sample():
    ns, ew, ud, _ = random_record(np.random.default_rng(9), 6000, dt=0.01)
    stream = shindo.RunningIntensity(0.01, window=10, step=1)
    steps = []

    def feed(part):
        for block in range(part, 60, 2):
            cut = slice(100 * block, 100 * block + 100)
            steps.extend(stream.feed(ns[cut], ew[cut], ud[cut]))

    threads = [threading.Thread(target=feed, args=(part,)) for part in (0, 1)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert stream.samples_received == 6000
    assert sorted(step.end_sample for step in steps) == list(range(100, 6001, 100))
