"""A seeded random loop over the package's public functions: every argument
drawn from values of many types, valid and not. A call may return, or raise
one of the documented exceptions; anything else, a crash, or a refused value
that was accepted (an integer beyond the library's int32_t, a non-number
coordinate) is a failure. test_arguments.py runs it briefly; for a long run:

    PYTHONPATH=build/python python3 tests/python/argument_fuzz.py [--seconds S] [--calls N] [--seed K]
"""

import argparse
import decimal
import fractions
import math
import pathlib
import random
import sys
import time
import warnings

import numpy

import kavrel

DOCUMENTED = (ValueError, TypeError, OverflowError, kavrel.KavrelError)
INT32_MAX = 2**31 - 1


class Draw:
    """Random values of many kinds, from one seeded generator."""

    def __init__(self, seed):
        self.random = random.Random(seed)

    def integer(self):
        return self.random.choice([
            0, 1, 2, 3, 50, 255, 256, 257, 3000, -1, -2**31, INT32_MAX, 2**31, 2**32 + 1, 2**32 + 50,
            2**63, 2**64 + 1, -2**64, 10**400, self.random.randint(-10**6, 10**6)])

    def real(self):
        return self.random.choice([
            0.0, -0.0, math.nan, math.inf, -math.inf, 1e308, -1e308, 5e-324, 35.681236, 139.767125,
            4330.648532, -4259.29, 91.0, -181.0, self.random.uniform(24.0, 46.0), self.random.uniform(122.0, 154.0),
            self.random.uniform(-1e4, 1e4)])

    def number(self):
        kind = self.random.randrange(8)
        if kind == 0:
            return self.integer()
        if kind == 1:
            return numpy.float32(self.real())
        if kind == 2:
            return numpy.int64(self.random.randint(-2**63, 2**63 - 1))
        if kind == 3:
            return fractions.Fraction(self.random.randint(-400, 400), self.random.randint(1, 9))
        return self.real()

    def junk(self):
        return self.random.choice([
            None, True, False, "", "35", "designed", "nearest", "\0", b"35", b"", 3 + 4j, decimal.Decimal("35.6"),
            object(), [], (), {}, {35.0: 139.0}, [None], [35.0, None], ["35"], [[35.0, 139.0]], set([1.0]),
            numpy.array([]), numpy.array([[35.0, 139.0]]), numpy.array(["35"]), numpy.array([True]),
            numpy.array([1 + 2j]), numpy.array([None, 1.0]), numpy.array(35.0), numpy.float64("nan"),
            pathlib.Path("nowhere.bin"), iter([35.0]), slice(1), math.inf, -1, 2**64 + 1])

    def scalar(self):
        return self.number() if self.random.random() < 0.85 else self.junk()

    def column(self, length):
        kind = self.random.randrange(6)
        values = [self.scalar() if self.random.random() < 0.1 else self.real() for _ in range(length)]
        if kind == 0:
            return values
        if kind == 1:
            return tuple(values)
        if kind == 2:
            try:
                return numpy.asarray(values)
            except (ValueError, TypeError, OverflowError):
                return values
        if kind == 3:
            return numpy.asarray([self.real() for _ in range(length)],
                                 dtype=self.random.choice([numpy.float64, numpy.float32, numpy.float16]))
        if kind == 4:
            return numpy.asarray([self.random.randint(0, 200) for _ in range(length)],
                                 dtype=self.random.choice([numpy.int8, numpy.int32, numpy.uint64]))
        return self.junk()

    def mode(self):
        return self.random.choice(["designed", "nearest", "designed", "nearest", "Designed", "", None, 0, b"nearest"])

    def options(self):
        """Keyword arguments of lookup, lookup_many and search, each present
        or not; a drawn step or width stays small unless it is to be refused,
        since a valid huge window is slow by design."""
        options = {}
        if self.random.random() < 0.5:
            options["mode"] = self.mode()
        for name in ("step", "width"):
            if self.random.random() < 0.3:
                value = self.scalar()
                if isinstance(value, int) and 0 <= value <= INT32_MAX and not isinstance(value, bool):
                    value %= 400
                options[name] = value
        if self.random.random() < 0.3:
            options["max_distance"] = self.random.choice([None, self.scalar()])
        return options


def must_refuse(options, threads=None):
    """True when a documented rule refuses the options whatever the rest."""
    for name in ("step", "width"):
        value = options.get(name, 0)
        if isinstance(value, bool) or not isinstance(value, (int, numpy.integer)) or not 0 <= value <= INT32_MAX:
            return True
    if threads is not None:
        if isinstance(threads, bool) or not isinstance(threads, (int, numpy.integer)):
            return True
        if not 1 <= threads <= INT32_MAX:
            return True
    return options.get("mode", "designed") not in ("designed", "nearest")


def call_lookup(geocoder, draw):
    options = draw.options()
    lat, lon = draw.scalar(), draw.scalar()
    refused = must_refuse(options) or any(isinstance(v, (bool, str, bytes)) or v is None for v in (lat, lon))
    answer = geocoder.lookup(lat, lon, **options)
    assert not refused, ("accepted", lat, lon, options)
    assert answer is None or isinstance(answer, kavrel.Answer)


def call_lookup_many(geocoder, draw):
    options = draw.options()
    length = draw.random.choice([0, 1, 2, 5])
    lats, lons = draw.column(length), draw.column(length)
    threads = draw.random.choice([1, 2, 3, 300, 0, -1, 2**31, 2**32 + 1, True, 2.0, "2", None])
    as_frame = draw.random.random() < 0.1
    columns = geocoder.lookup_many(lats, lons, threads=threads, as_frame=as_frame, **options)
    assert not must_refuse(options, threads), ("accepted", options, threads)
    for text in (lats, lons):
        assert not isinstance(text, (str, bytes)) and text is not None, ("accepted", lats, lons)
    count = len(columns["found"])
    assert all(len(columns[name]) == count for name in columns)


def call_search(geocoder, draw):
    options = draw.options()
    length = draw.random.choice([0, 1, 3])
    if draw.random.random() < 0.5:
        points = [(draw.scalar(), draw.scalar()) for _ in range(length)]
    else:
        points = draw.random.choice([numpy.asarray(draw.column(2 * length)).reshape(-1, 2) if length else
                                     numpy.empty((0, 2)), draw.junk(), [draw.junk()]])
    places = kavrel.search(points, **options)
    assert not must_refuse(options), ("accepted", options)
    assert all(place is None or set(place) == {"prefecture", "city", "area", "latitude", "longitude",
                                               "distance"} for place in places)


def call_names(geocoder, draw):
    level = draw.random.choice([0, 1, 2, draw.scalar(), draw.junk()])
    keys, names = geocoder.names(level)
    assert isinstance(level, int) and not isinstance(level, bool) and 0 <= level <= 2, ("accepted", level)
    assert len(keys) == len(names)


def call_open(geocoder, draw):
    path = draw.random.choice([draw.junk(), draw.scalar(), geocoder.path + "\0x", geocoder.path.encode() + b"\0",
                               pathlib.Path(geocoder.path), geocoder.path.encode(), "", b"\xff\xfe.bin",
                               "\udcff.bin", "\ud800.bin"])
    with kavrel.Geocoder(path) as opened:
        assert opened.lookup(35.681236, 139.767125).area == "丸の内一丁目"


# Opening reads the whole package, so it is drawn rarely.
CALLS = (call_lookup,) * 8 + (call_lookup_many,) * 6 + (call_search,) * 4 + (call_names,) * 2 + (call_open,)


def run(geocoder, seed, calls=None, seconds=None):
    """Runs calls (or as many as fit in seconds); returns (calls made,
    calls that raised a documented exception)."""
    draw = Draw(seed)
    deadline = None if seconds is None else time.monotonic() + seconds
    made = refused = 0
    while (calls is None or made < calls) and (deadline is None or time.monotonic() < deadline):
        call = CALLS[draw.random.randrange(len(CALLS))]
        made += 1
        try:
            call(geocoder, draw)
        except DOCUMENTED:
            refused += 1
        except ImportError as error:  # as_frame=True without pandas
            assert "pandas" in str(error)
            refused += 1
    return made, refused


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float)
    parser.add_argument("--calls", type=int)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    warnings.simplefilter("ignore")  # numpy's on drawn overflows and casts
    started = time.monotonic()
    with kavrel.Geocoder() as geocoder:
        made, refused = run(geocoder, args.seed, args.calls, args.seconds)
    print(f"{made} calls ({refused} refused with a documented exception) in {time.monotonic() - started:.0f} s, "
          f"seed {args.seed}")


if __name__ == "__main__":
    sys.exit(main())
