#!/usr/bin/env python3
"""Times kavrel.Geocoder.lookup_many on 1,000,000 numpy coordinates near real
address points, in both modes, beside the C call it makes
(kavrel_lookup_many on the same arrays, answers left as the library writes
them), and prints the median of five runs of each (wall clock, process
CPU time and page faults) with the ratio Python / C of the CPU times, the
load average, and what a page fault costs on the machine: the columns
Python returns are fresh memory each call, while the C call writes into
arrays made once, so where faults are dear they are much of the difference.
The coordinates: the nearest address points (at any distance) of 200,000 uniform coordinates
over Japan, sampled a million times and moved by up to 0.003 degree each
way; the same for every run.

    PYTHONPATH=build/python python3 bench/python_lookup_many.py [package] [--threads N]
"""

import argparse
import ctypes
import mmap
import os
import resource
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


def fault_microseconds(pages=16_384):
    """What the kernel takes to map a fresh page of memory, written once:
    the mean over `pages` pages."""
    size = pages * mmap.PAGESIZE
    memory = mmap.mmap(-1, size)
    started = time.perf_counter()
    for offset in range(0, size, mmap.PAGESIZE):
        memory[offset] = 1
    elapsed = time.perf_counter() - started
    memory.close()
    return elapsed / pages * 1e6


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
    """Median wall clock and CPU seconds of five runs, and the median count
    of page faults a run took (fresh memory the kernel had to map)."""
    wall, cpu, faults = [], [], []
    for _ in range(5):
        started_faults = resource.getrusage(resource.RUSAGE_SELF).ru_minflt
        started, started_cpu = time.perf_counter(), time.process_time()
        run()
        wall.append(time.perf_counter() - started)
        cpu.append(time.process_time() - started_cpu)
        faults.append(resource.getrusage(resource.RUSAGE_SELF).ru_minflt - started_faults)
    return statistics.median(wall), statistics.median(cpu), statistics.median(faults)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("package", nargs="?")
    parser.add_argument("--threads", type=int, default=1)
    args = parser.parse_args()
    with kavrel.Geocoder(args.package) as geocoder:
        lats, lons = coordinates(geocoder)
        geocoder.lookup_many(lats[:1000], lons[:1000])  # the name tables are read once, at the first call
        for mode in MODES:
            c_wall, c_cpu, c_faults = median_times(c_call(geocoder, lats, lons, mode, args.threads))
            wall, cpu, faults = median_times(lambda: geocoder.lookup_many(lats, lons, mode=mode,
                                                                          threads=args.threads))
            print(f"lookup_many {mode} {COUNT} rows, {args.threads} thread(s), median of 5: "
                  f"Python {wall * 1e3:.0f} ms wall, {cpu * 1e3:.0f} ms CPU ({cpu / COUNT * 1e9:.0f} ns/row), "
                  f"{faults} page faults; "
                  f"C {c_wall * 1e3:.0f} ms wall, {c_cpu * 1e3:.0f} ms CPU ({c_cpu / COUNT * 1e9:.0f} ns/row), "
                  f"{c_faults} page faults; "
                  f"Python/C CPU {cpu / c_cpu:.2f}; load {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
        print(f"A page fault costs {fault_microseconds():.1f} us here (the mean over 16,384 fresh pages).")


if __name__ == "__main__":
    main()
