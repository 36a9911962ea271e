#!/usr/bin/env python3
"""Times kavrel.Geocoder.lookup_many on 1,000,000 numpy coordinates near real
address points, in both modes, beside the C call it makes
(kavrel_lookup_many on the same arrays, answers left as the library writes
them), and prints the median of five runs of each (wall clock and process
CPU time) with the ratio Python / C of the CPU times, and the load average.
The coordinates: the nearest address points (at any distance) of 200,000 uniform coordinates
over Japan, sampled a million times and moved by up to 0.003 degree each
way; the same for every run.

    PYTHONPATH=build/python python3 bench/python_lookup_many.py [package] [--threads N]
"""

import argparse
import ctypes
import os
import statistics
import time

import numpy

import kavrel
from kavrel import _library

COUNT = 1_000_000
JITTER = 0.003
MODES = {"designed": 0, "nearest": 1}


def coordinates(geocoder):
    random = numpy.random.default_rng(20240607)
    seeds = geocoder.lookup_many(random.uniform(31, 43, 200_000), random.uniform(130, 145, 200_000),
                                 mode="nearest", max_distance=float("inf"))
    picks = random.integers(0, len(seeds["latitude"]), COUNT)
    return (seeds["latitude"][picks] + random.uniform(-JITTER, JITTER, COUNT),
            seeds["longitude"][picks] + random.uniform(-JITTER, JITTER, COUNT))


def c_call(geocoder, lats, lons, mode, threads):
    """The library's own share: kavrel_lookup_many into arrays made ahead."""
    answers = (_library.CAnswer * COUNT)()
    results = numpy.empty(COUNT, dtype=numpy.int32)
    query = _library.CQuery(MODES[mode], 0, 0, 0)

    def run():
        with geocoder._held() as handle:
            _library.native.kavrel_lookup_many(handle, COUNT, lats.ctypes.data, lons.ctypes.data,
                                               ctypes.byref(query), threads, answers, results.ctypes.data)
    return run


def median_times(run):
    wall, cpu = [], []
    for _ in range(5):
        started, started_cpu = time.perf_counter(), time.process_time()
        run()
        wall.append(time.perf_counter() - started)
        cpu.append(time.process_time() - started_cpu)
    return statistics.median(wall), statistics.median(cpu)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("package", nargs="?")
    parser.add_argument("--threads", type=int, default=1)
    args = parser.parse_args()
    with kavrel.Geocoder(args.package) as geocoder:
        lats, lons = coordinates(geocoder)
        geocoder.lookup_many(lats[:1000], lons[:1000])  # the name tables are read once, at the first call
        for mode in MODES:
            c_wall, c_cpu = median_times(c_call(geocoder, lats, lons, mode, args.threads))
            wall, cpu = median_times(lambda: geocoder.lookup_many(lats, lons, mode=mode, threads=args.threads))
            print(f"lookup_many {mode} {COUNT} rows, {args.threads} thread(s), median of 5: "
                  f"Python {wall * 1e3:.0f} ms wall, {cpu * 1e3:.0f} ms CPU ({cpu / COUNT * 1e9:.0f} ns/row); "
                  f"C {c_wall * 1e3:.0f} ms wall, {c_cpu * 1e3:.0f} ms CPU ({c_cpu / COUNT * 1e9:.0f} ns/row); "
                  f"Python/C CPU {cpu / c_cpu:.2f}; load {' '.join(f'{x:.2f}' for x in os.getloadavg())}")


if __name__ == "__main__":
    main()
