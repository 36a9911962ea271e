"""Copy, pickle and close-while-in-use sequences on a Geocoder, run in a
process of their own by test_lifetime.py, since a fault here kills the
interpreter (at once, or at exit when two objects free one handle).

    python3 lifetime_cases.py CASE ROUNDS [PACKAGE]

Prints one line of counts and exits 0 when every round held. Against a
library built with KAVREL_SANITIZE (not in CTest: the interpreter must load
the sanitizer's runtime first):

    LD_PRELOAD=$(gcc -print-file-name=libasan.so) ASAN_OPTIONS=detect_leaks=0 \
    KAVREL_LIBRARY=build-asan/bin/libkavrelcore.so.1 PYTHONPATH=build/python \
        python3 tests/python/lifetime_cases.py close_race 20

(with kavreldata.bin copied beside that library, where the default package
is looked for).
"""

import copy
import pickle
import random
import sys
import threading

import kavrel
from kavrel import _columns

TOKYO_STATION = (35.681236, 139.767125)
EXPECTED_AREA = "丸の内一丁目"


def area_of(geocoder):
    return geocoder.lookup(*TOKYO_STATION).area


def copies(rounds, package=None):
    for _ in range(rounds):
        original = kavrel.Geocoder()
        shallow, deep = copy.copy(original), copy.deepcopy(original)
        nested = copy.deepcopy({"geocoders": [original, original]})
        assert len({id(each._handle) for each in (original, shallow, deep)}) == 3
        # deepcopy keeps one copy per object, as for any object.
        assert nested["geocoders"][0] is nested["geocoders"][1]
        original.close()
        assert area_of(shallow) == area_of(deep) == area_of(nested["geocoders"][0]) == EXPECTED_AREA
        shallow.close()
        assert area_of(deep) == EXPECTED_AREA
        # deep, nested and the closed ones are left to the collector and exit.
    print(f"copies {rounds}")


def pickles(rounds, package=None):
    explicit_path = kavrel.Geocoder().path
    for _ in range(rounds):
        for opened in (kavrel.Geocoder(), kavrel.Geocoder(explicit_path)):
            for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
                restored = pickle.loads(pickle.dumps(opened, protocol))
                assert restored.path == opened.path and restored._handle is not opened._handle
                assert area_of(restored) == EXPECTED_AREA
            opened.close()
            try:
                pickle.dumps(opened)
            except ValueError:
                pass
            else:
                raise AssertionError("a closed geocoder was pickled")
    print(f"pickles {rounds}")


def close_race(rounds, use_numpy, package=None):
    """Threads call every kind of lookup in a loop while the main thread
    closes the geocoder under them. Each worker must end on the "closed"
    ValueError, and some calls must have been in flight at the close (they
    finished after it), else the race was not run.

    package None is the national one, where the points lie in and around
    Tokyo and only designed lookups run, so that a round's first touches
    stay short (the nearest grid and the name tables cover the whole
    package); a small package gets every kind of call over the whole
    country."""
    if not use_numpy:
        _columns.numpy = None
    shuffle = random.Random(7)
    south, west, span = (35.0, 139.0, 1.0) if package is None else (31.0, 130.0, 12.0)
    lats = [shuffle.uniform(south, south + span) for _ in range(3000)]
    lons = [shuffle.uniform(west, west + span) for _ in range(3000)]
    finished_after_close = 0
    for round_number in range(rounds):
        geocoder = kavrel.Geocoder(package)
        closing = threading.Event()
        outcomes = []

        def worker(kind):
            late = 0
            while True:
                started_before = not closing.is_set()
                try:
                    if kind == 0:
                        geocoder.lookup_many(lats, lons, threads=2)
                    elif kind == 1:
                        geocoder.lookup_many(lats[:200], lons[:200], mode="nearest")
                    elif kind == 2:
                        for lat, lon in zip(lats[:300], lons[:300]):
                            geocoder.lookup(lat, lon)
                    else:
                        geocoder.names(kind % 3)
                        geocoder.facts
                except ValueError as error:
                    outcomes.append(("closed" if "closed" in str(error) else repr(error), late))
                    return
                except Exception as error:  # reported by the main thread
                    outcomes.append((repr(error), late))
                    return
                if started_before and closing.is_set():
                    late += 1

        kinds = (0, 2, 0, 2) if package is None else range(5)
        workers = [threading.Thread(target=worker, args=(kind,)) for kind in kinds]
        for each in workers:
            each.start()
        threading.Event().wait(shuffle.uniform(0.0, 0.03) + 0.002 * round_number)
        closing.set()
        geocoder.close()
        for each in workers:
            each.join()
        assert [outcome for outcome, _ in outcomes] == ["closed"] * len(workers), outcomes
        finished_after_close += sum(late for _, late in outcomes)
    assert finished_after_close > 0, "no call was in flight at any close"
    print(f"close_race {rounds} finished_after_close {finished_after_close}")


CASES = {
    "copies": copies,
    "pickles": pickles,
    "close_race": lambda rounds, package=None: close_race(rounds, True, package),
    "close_race_lists": lambda rounds, package=None: close_race(rounds, False, package),
}

if __name__ == "__main__":
    case, rounds = CASES[sys.argv[1]], int(sys.argv[2])
    case(rounds, *sys.argv[3:])
