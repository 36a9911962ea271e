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
from many threads at once, and closed while they use it. For a quick start,
kavrel.search([(lat, lon), ...]) answers with dicts from the default package.
"""

import ctypes
import os
import stat
from typing import NamedTuple, Optional, Tuple

from . import _library
from ._arguments import INT32_MAX, MAX_THREADS, package_path, real_number, thread_count, whole_number
from ._columns import NameColumns, lookup_columns
from ._handle import Handle

__all__ = ["Geocoder", "Answer", "Facts", "KavrelError", "MAX_THREADS", "search", "version"]

_MODES = {"designed": _library.MODE_DESIGNED, "nearest": _library.MODE_NEAREST}


class KavrelError(Exception):
    """A failure reported by the library: `code` is its result code, `path`
    the package concerned (None for the default package when there is none)
    and `reason` what the system says of that file, when it says anything."""

    def __init__(self, code: int, path=None, reason: Optional[str] = None):
        message = f"{_library.result_text(code)} ({code})"
        if code == _library.PACKAGE_NOT_FOUND and path is None:
            message = (f"no default data package: none in the current folder, the program's folder or beside "
                       f"the library ({code})")
        elif path is not None:
            message = f"cannot open the data package {os.fsdecode(path)!r}: {message}"
        if reason:
            message += f": {reason}"
        super().__init__(message)
        self.code = code
        self.path = path
        self.reason = reason


def _system_reason(encoded: bytes) -> Optional[str]:
    """Why the system would not let the file be read, or None when it would
    (then the library's code says it all). Never opens anything but a
    regular file, so that a FIFO cannot block here."""
    try:
        status = os.stat(encoded)
    except OSError as error:
        return error.strerror
    if stat.S_ISDIR(status.st_mode):
        return "it is a directory"
    if not stat.S_ISREG(status.st_mode):
        return "it is not a regular file"
    try:
        with open(encoded, "rb"):
            pass
    except OSError as error:
        return error.strerror
    return None


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
    if not isinstance(mode, str):
        raise TypeError(f"mode must be 'designed' or 'nearest', not {type(mode).__name__}")
    if mode not in _MODES:
        raise ValueError(f"mode must be 'designed' or 'nearest', not {mode!r}")
    step = whole_number("step", step, 0, INT32_MAX)
    width = whole_number("width", width, 0, INT32_MAX)
    if max_distance is not None:
        max_distance = real_number("max_distance", max_distance)
        if not max_distance > 0:
            raise ValueError("max_distance must be a positive number of metres (math.inf for no limit), "
                             "or None for the mode's own reach")
    return _library.CQuery(_MODES[mode], step, width, max_distance or 0.0)


class Geocoder:
    """An open data package, read whole once; its parts are inflated and
    indexed as lookups first need them (or all at once for lookup_many of
    many rows).

    path: the package file, as str, bytes or os.PathLike (a name that is not
    UTF-8 works as the file system has it; a NUL in it is ValueError); None
    opens the library's default package (see kavrel.h's
    kavrel_default_package: the current folder, the program's folder, then
    beside the library, where a build or pip puts it, then where an install
    puts it).
    Raises KavrelError, naming the path and the reason, when the package
    cannot be opened.

    Calls may run in many threads at once, and close() may come while they
    run: the package is freed when the last of them ends, and calls after
    close() raise ValueError.

    A copy (copy.copy, copy.deepcopy) or an unpickled Geocoder opens the
    same path again as a Geocoder of its own (None still meaning the default
    package where it is opened); so Dask and multiprocessing can ship one.
    """

    def __init__(self, path=None):
        self._handle = None
        self._requested = path
        encoded = package_path(path) if path is not None else None
        chosen = path if path is not None else _library.default_package()
        self.path = chosen
        pointer = ctypes.c_void_p()
        code = _library.native.kavrel_open(encoded, ctypes.byref(pointer))
        if code != _library.SUCCESS:
            shown = encoded if encoded is not None else (None if chosen is None else os.fsencode(chosen))
            reason = _system_reason(shown) if shown is not None and code == _library.PACKAGE_NOT_FOUND else None
            raise KavrelError(code, path if path is not None else chosen, reason)
        self._handle = Handle(pointer)
        self._names = None
        self._name_columns = [NameColumns() for _ in range(3)]

    def close(self) -> None:
        """Refuses further calls (they raise ValueError) and frees the
        package once no call is using it any more."""
        handle = getattr(self, "_handle", None)
        if handle is not None:
            handle.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    def __reduce__(self):
        if self._handle is None or self._handle.closed:
            raise ValueError("a closed geocoder cannot be copied or pickled")
        return (Geocoder, (self._requested,))

    def _held(self):
        if self._handle is None:
            raise ValueError("the geocoder is closed")
        return self._handle.held()

    @property
    def facts(self) -> Facts:
        """Counts of what the package holds."""
        facts = _library.CFacts()
        with self._held() as handle:
            code = _library.native.kavrel_facts_of(handle, ctypes.byref(facts))
        if code != _library.SUCCESS:
            raise KavrelError(code)
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
        in rings, as the library's SetStep takes them, each 0 to 2**31 - 1; 0,
        the default, means the library's defaults, KAVREL_DEFAULT_STEP and
        KAVREL_DEFAULT_WIDTH) or "nearest" (the nearest point over the whole
        package; needs -90 <= lat <= 90 and -180 <= lon <= 180, else
        ValueError).

        Arguments of the wrong type raise TypeError (a str is not a
        coordinate), integers too large for the library OverflowError.
        """
        lat, lon = real_number("lat", lat), real_number("lon", lon)
        query = _query(mode, step, width, max_distance)
        answer = _library.CAnswer()
        with self._held() as handle:
            code = _library.native.kavrel_lookup(handle, lat, lon, ctypes.byref(query), ctypes.byref(answer))
            if code != _library.SUCCESS:
                answer = None
            else:
                answer = Answer(answer.prefecture.decode("utf-8"), answer.city.decode("utf-8"),
                                answer.area.decode("utf-8"),
                                (answer.prefecture_key, answer.city_key, answer.area_key),
                                answer.latitude, answer.longitude, answer.distance)
        if code == _library.NO_ANSWER:
            return None
        if code == _library.INVALID_ARGUMENT:
            raise ValueError(f"no lookup possible at {lat}, {lon} in the {mode} mode")
        if code != _library.SUCCESS:
            raise KavrelError(code)
        return answer

    def lookup_many(self, lats, lons, mode: str = "designed", step: int = 0, width: int = 0,
                    max_distance: Optional[float] = None, threads: int = 1, as_frame: bool = False):
        """Looks up many coordinates at once; lats and lons are sequences or
        numpy arrays (or pandas Series) of numbers, of equal length.

        Returns a dict of columns, numpy arrays when numpy is installed (else
        lists): "prefecture", "city", "area" (str; None for rows without an
        answer), "prefecture_key", "city_key", "area_key" (0 without an answer),
        "latitude", "longitude" (the matched point), "distance" (metres; both
        NaN without an answer) and "found" (bool).

        as_frame=True returns those columns as a pandas.DataFrame instead,
        indexed as lats is when it is a pandas Series (so that it joins its
        table row by row); ImportError when pandas is not installed.

        threads: how many threads the library splits the rows over (the
        answers do not depend on it); at least 1, and at most MAX_THREADS
        (256) are used, as in the console. Other arguments as for lookup;
        rows that lookup would refuse with ValueError have no answer here,
        while a None, a str or another value that is not a number in lats or
        lons is TypeError.
        """
        if as_frame:
            try:
                import pandas
            except ImportError:
                raise ImportError("lookup_many(..., as_frame=True) needs pandas, which is not installed "
                                  "(python3-pandas on Debian, or pip install pandas)") from None
        threads = thread_count(threads)
        query = _query(mode, step, width, max_distance)
        with self._held() as handle:
            columns = lookup_columns(handle, lats, lons, query, threads, self._name_columns)
        if not as_frame:
            return columns
        index = lats.index if isinstance(lats, pandas.Series) else None
        return pandas.DataFrame(columns, index=index)

    def names(self, level: int):
        """The (keys, names) of a level (0 prefecture, 1 city, 2 area), in
        ascending key order; read from the library once and kept. Another
        level is ValueError."""
        level = whole_number("level", level, 0, 2, ValueError)
        with self._held() as handle:
            return self._name_table(handle, level)

    def _name_table(self, handle, level):
        if self._names is None:
            self._names = [self._read_names(handle, each) for each in range(3)]
        return self._names[level]

    @staticmethod
    def _read_names(handle, level):
        facts = _library.CFacts()
        code = _library.native.kavrel_facts_of(handle, ctypes.byref(facts))
        if code != _library.SUCCESS:
            raise KavrelError(code)
        count = (facts.prefectures, facts.cities, facts.areas)[level]
        key = ctypes.c_uint32()
        name = ctypes.c_char_p()
        keys, names = [], []
        for index in range(count):
            code = _library.native.kavrel_name_at(handle, level, index, ctypes.byref(key), ctypes.byref(name))
            if code != _library.SUCCESS:
                raise KavrelError(code)
            keys.append(key.value)
            names.append(name.value.decode("utf-8"))
        return keys, names

    def __repr__(self):
        state = "closed" if self._handle is None or self._handle.closed else "open"
        return f"<kavrel.Geocoder {self.path!r} {state}>"


from ._search import search  # noqa: E402  (it builds on Geocoder)
