"""Offline reverse geocoding for Japan.

A thin layer over the kavrelcore library (its kavrel.h interface, through
ctypes): a Geocoder opens a data package once and turns coordinates in decimal
degrees into the prefecture, city and area of an address point near them.

    >>> import kavrel
    >>> with kavrel.Geocoder() as geocoder:
    ...     print(geocoder.lookup(35.681236, 139.767125).area)
    丸の内一丁目

Two modes: "designed" is the ring search of the library's ReverseGeocoding
(same answers for the same step and width); "nearest" is the address point at
the smallest ground distance, over the whole package. A Geocoder may be used
from many threads at once.
"""

import ctypes
from typing import NamedTuple, Optional, Tuple

from . import _library
from ._columns import lookup_columns

__all__ = ["Geocoder", "Answer", "Facts", "KavrelError", "version"]

_MODES = {"designed": _library.MODE_DESIGNED, "nearest": _library.MODE_NEAREST}


class KavrelError(Exception):
    """A failure reported by the library; `code` is its result code."""

    def __init__(self, code: int):
        super().__init__(f"{_library.result_text(code)} ({code})")
        self.code = code


class Answer(NamedTuple):
    """One answer: the three names, their keys (prefecture, city, area), the
    matched address point in degrees and its distance from the query in
    metres."""

    prefecture: str
    city: str
    area: str
    keys: Tuple[int, int, int]
    latitude: float
    longitude: float
    distance: float


class Facts(NamedTuple):
    """What a package holds: address points, directory entries, and names of
    prefectures, cities and areas."""

    points: int
    entries: int
    prefectures: int
    cities: int
    areas: int


def version() -> str:
    """The library's version, for example "1.0.0.2"."""
    return _library.native.kavrel_version().decode("ascii")


def _query(mode: str, step: int, width: int, max_distance: Optional[float]) -> _library.CQuery:
    if mode not in _MODES:
        raise ValueError(f"mode must be 'designed' or 'nearest', not {mode!r}")
    if step < 0 or width < 0:
        raise ValueError("step and width must not be negative (0 means the default)")
    if max_distance is not None and not max_distance > 0:
        raise ValueError("max_distance must be a positive number of metres (math.inf for no limit), "
                         "or None for the mode's own reach")
    return _library.CQuery(_MODES[mode], step, width, max_distance or 0.0)


class Geocoder:
    """An open data package, read whole once; its parts are inflated and
    indexed as lookups first need them (or all at once for lookup_many of
    many rows).

    path: the package file; None opens the library's default package (see
    kavrel.h's kavrel_default_package: the current folder, the program's
    folder, then beside the library, where a build or an install puts it).
    Raises KavrelError when the package cannot be opened.
    """

    def __init__(self, path=None):
        self._handle = None
        chosen = path if path is not None else _library.default_package()
        self.path = chosen
        handle = ctypes.c_void_p()
        encoded = None if chosen is None else str(chosen).encode("utf-8")
        code = _library.native.kavrel_open(encoded, ctypes.byref(handle))
        if code != _library.SUCCESS:
            raise KavrelError(code)
        self._handle = handle
        self._names = None

    def close(self) -> None:
        """Frees the package. Further lookups raise ValueError."""
        if self._handle is not None:
            _library.native.kavrel_close(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    def _open_handle(self):
        if self._handle is None:
            raise ValueError("the geocoder is closed")
        return self._handle

    @property
    def facts(self) -> Facts:
        """Counts of what the package holds."""
        facts = _library.CFacts()
        _library.native.kavrel_facts_of(self._open_handle(), ctypes.byref(facts))
        return Facts(facts.points, facts.entries, facts.prefectures, facts.cities, facts.areas)

    def lookup(self, lat: float, lon: float, mode: str = "designed", step: int = 0, width: int = 0,
               max_distance: Optional[float] = None) -> Optional[Answer]:
        """The address at a coordinate (decimal degrees), or None when there is
        no answer: nothing found near it, or the point found lies beyond the
        reach.

        max_distance: the reach in metres (math.inf for no limit). None takes
        the mode's own: the library's default reach (KAVREL_DEFAULT_REACH,
        25 km) in nearest mode, no limit beyond its window in designed mode.

        mode: "designed" (the ring search, with step in microdegrees and width
        in rings, as the library's SetStep takes them; 0, the default, means
        the library's defaults, KAVREL_DEFAULT_STEP and KAVREL_DEFAULT_WIDTH) or
        "nearest" (the nearest point over the whole package; needs
        -90 <= lat <= 90 and -180 <= lon <= 180, else ValueError).
        """
        query = _query(mode, step, width, max_distance)
        answer = _library.CAnswer()
        code = _library.native.kavrel_lookup(self._open_handle(), float(lat), float(lon), ctypes.byref(query),
                                             ctypes.byref(answer))
        if code == _library.NO_ANSWER:
            return None
        if code == _library.INVALID_ARGUMENT:
            raise ValueError(f"no lookup possible at {lat}, {lon} in the {mode} mode")
        if code != _library.SUCCESS:
            raise KavrelError(code)
        return Answer(answer.prefecture.decode("utf-8"), answer.city.decode("utf-8"),
                      answer.area.decode("utf-8"),
                      (answer.prefecture_key, answer.city_key, answer.area_key),
                      answer.latitude, answer.longitude, answer.distance)

    def lookup_many(self, lats, lons, mode: str = "designed", step: int = 0, width: int = 0,
                    max_distance: Optional[float] = None, threads: int = 1) -> dict:
        """Looks up many coordinates at once; lats and lons are sequences or
        numpy arrays of equal length.

        Returns a dict of columns, numpy arrays when numpy is installed (else
        lists): "prefecture", "city", "area" (str; None for rows without an
        answer), "prefecture_key", "city_key", "area_key" (0 without an answer),
        "latitude", "longitude", "distance" (NaN without an answer) and "found"
        (bool). pandas.DataFrame(result) makes a table of it.

        threads: how many threads the library splits the rows over (the
        answers do not depend on it). Other arguments as for lookup; rows
        that lookup would refuse with ValueError have no answer here.
        """
        if threads < 1:
            raise ValueError("threads must be at least 1")
        query = _query(mode, step, width, max_distance)
        return lookup_columns(self, self._open_handle(), lats, lons, query, threads)

    def names(self, level: int):
        """The (keys, names) of a level (0 prefecture, 1 city, 2 area), in
        ascending key order; read from the library once and kept."""
        if self._names is None:
            self._names = [self._read_names(level) for level in range(3)]
        return self._names[level]

    def _read_names(self, level: int):
        counts = self.facts
        count = (counts.prefectures, counts.cities, counts.areas)[level]
        key = ctypes.c_uint32()
        name = ctypes.c_char_p()
        keys, names = [], []
        for index in range(count):
            _library.native.kavrel_name_at(self._handle, level, index, ctypes.byref(key), ctypes.byref(name))
            keys.append(key.value)
            names.append(name.value.decode("utf-8"))
        return keys, names

    def __repr__(self):
        state = "closed" if self._handle is None else "open"
        return f"<kavrel.Geocoder {self.path!r} {state}>"
