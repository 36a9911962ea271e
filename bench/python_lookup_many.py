#!/usr/bin/env python3
"""Times kavrel.Geocoder.lookup_many on 1,000,000 numpy coordinates near real
address points, in both modes, and prints the median of five runs (wall clock
and process CPU time). The coordinates: the nearest address points of 200,000
uniform coordinates over Japan, sampled a million times and moved by up to
0.003 degree each way; the same for every run.

    PYTHONPATH=build/python python3 bench/python_lookup_many.py [package] [--threads N]
"""

import argparse
import statistics
import time

import numpy

import kavrel

COUNT = 1_000_000
JITTER = 0.003


def coordinates(geocoder):
    random = numpy.random.default_rng(20240607)
    seeds = geocoder.lookup_many(random.uniform(31, 43, 200_000), random.uniform(130, 145, 200_000),
                                 mode="nearest")
    picks = random.integers(0, len(seeds["latitude"]), COUNT)
    return (seeds["latitude"][picks] + random.uniform(-JITTER, JITTER, COUNT),
            seeds["longitude"][picks] + random.uniform(-JITTER, JITTER, COUNT))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("package", nargs="?")
    parser.add_argument("--threads", type=int, default=1)
    args = parser.parse_args()
    with kavrel.Geocoder(args.package) as geocoder:
        lats, lons = coordinates(geocoder)
        geocoder.lookup_many(lats[:1000], lons[:1000])  # the name tables are read once, at the first call
        for mode in ("designed", "nearest"):
            wall, cpu = [], []
            for _ in range(5):
                started, started_cpu = time.perf_counter(), time.process_time()
                geocoder.lookup_many(lats, lons, mode=mode, threads=args.threads)
                wall.append(time.perf_counter() - started)
                cpu.append(time.process_time() - started_cpu)
            print(f"lookup_many {mode} {COUNT} rows, {args.threads} thread(s): median "
                  f"{statistics.median(wall) * 1e3:.0f} ms wall, {statistics.median(cpu) * 1e3:.0f} ms CPU")


if __name__ == "__main__":
    main()
