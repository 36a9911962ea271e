"""Writes batch input near real towns for comparing two builds' conversions:
COUNT lines "latitude,longitude\\r\\n" (six decimals), each a town of the
town data (gzip CSV with a header) chosen at random with a fixed seed and
moved by up to 0.002 degree each way.

    python3 town_lines.py TOWNS_CSV_GZ COUNT OUTPUT
"""
import csv
import gzip
import random
import sys


def main(towns_path, count, output_path):
    with gzip.open(towns_path, "rt", encoding="utf-8", newline="") as towns:
        rows = csv.reader(towns)
        next(rows)
        points = [(float(row[0]), float(row[1])) for row in rows]
    chosen = random.Random(20260107)
    with open(output_path, "wb") as out:
        for _ in range(count):
            latitude, longitude = chosen.choice(points)
            latitude += chosen.uniform(-0.002, 0.002)
            longitude += chosen.uniform(-0.002, 0.002)
            out.write(b"%.6f,%.6f\r\n" % (latitude, longitude))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3])
