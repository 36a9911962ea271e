#!/usr/bin/env python3
"""Reverse geocodes a large CSV of coordinates on a Dask cluster.

The CSV is read as a partitioned Dask dataframe; every partition is geocoded
on a worker with map_partitions, by a kavrel.Geocoder that each worker opens
once when it joins; the result is written as partitioned CSV, one file per
partition (part-0.csv, part-1.csv, ...), in the input's row order. Each output
row is the input row with the columns prefecture, city, area and distance
(metres) added; rows without an answer leave them empty. In nearest mode a
point answers only within the library's default reach (25 km) unless
--max-distance gives another ("inf" for no limit).

    python3 examples/dask_geocode.py points.csv out/ --workers 4
    python3 examples/dask_geocode.py points.csv /shared/out --scheduler tcp://head:8786

Without --scheduler the script starts a LocalCluster on this machine. With
it, the workers of that cluster do the work: each needs the kavrel package
importable and the data package at the same path (see --package), and the
input and output paths must be ones every worker can reach (a shared file
system, or a URL that Dask can read and write such as s3://).
"""

import argparse
import os
import sys

import dask.dataframe as dd
import pandas
from distributed import Client, LocalCluster, WorkerPlugin, get_worker

import kavrel

ADDED_COLUMNS = {"prefecture": object, "city": object, "area": object, "distance": "float64"}


class GeocoderPlugin(WorkerPlugin):
    """Opens one Geocoder per worker process, kept for all its tasks."""

    name = "kavrel-geocoder"

    def __init__(self, package=None):
        self.package = package

    def setup(self, worker):
        worker.kavrel_geocoder = kavrel.Geocoder(self.package)

    def teardown(self, worker):
        worker.kavrel_geocoder.close()


def geocode_partition(frame, lat_column, lon_column, mode, geocoder=None, max_distance=None):
    """One pandas partition with the address columns added; the geocoder is
    the worker's own unless one is given (for a run without Dask).
    max_distance is the reach in metres as Geocoder.lookup takes it."""
    geocoder = geocoder if geocoder is not None else get_worker().kavrel_geocoder
    columns = geocoder.lookup_many(frame[lat_column].to_numpy(), frame[lon_column].to_numpy(), mode=mode,
                                   max_distance=max_distance)
    result = frame.copy()
    for name in ADDED_COLUMNS:
        result[name] = columns[name]
    return result


def geocode(frame, lat_column, lon_column, mode, max_distance=None):
    """The Dask dataframe with the address columns added to every partition."""
    meta = frame._meta.assign(**{name: pandas.Series(dtype=dtype) for name, dtype in ADDED_COLUMNS.items()})
    return frame.map_partitions(geocode_partition, lat_column, lon_column, mode, None, max_distance, meta=meta)


def register(client, plugin):
    # register_plugin replaced register_worker_plugin in newer distributed.
    if hasattr(client, "register_plugin"):
        client.register_plugin(plugin)
    else:
        client.register_worker_plugin(plugin, name=plugin.name)


def reach(text):
    """A --max-distance value: positive metres, or "inf"."""
    metres = float(text)
    if not metres > 0:
        raise argparse.ArgumentTypeError("must be a positive number of metres, or inf")
    return metres


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input", help="CSV file (or glob) with a header row")
    parser.add_argument("output", help="folder for the partitioned CSV result")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler (default: a LocalCluster)")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the LocalCluster")
    parser.add_argument("--lat-column", default="lat")
    parser.add_argument("--lon-column", default="lon")
    parser.add_argument("--mode", choices=("designed", "nearest"), default="designed")
    parser.add_argument("--max-distance", type=reach, default=None,
                        help="reach in metres, or inf for no limit (default: the mode's own)")
    parser.add_argument("--package", help="data package path on the workers (default: the installed one)")
    parser.add_argument("--blocksize", default="16MB", help="bytes of input per partition")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_arguments(argv)
    cluster = None
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True)
        client = Client(cluster)
    try:
        register(client, GeocoderPlugin(args.package))
        frame = dd.read_csv(args.input, blocksize=args.blocksize)
        result = geocode(frame, args.lat_column, args.lon_column, args.mode, args.max_distance)
        result.to_csv(os.path.join(args.output, "part-*.csv"), index=False)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
