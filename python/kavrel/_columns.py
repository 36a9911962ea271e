"""Column results of Geocoder.lookup_many: numpy arrays when numpy is
installed, else lists."""

import ctypes

from . import _library
from ._arguments import real_number

try:
    import numpy
except ImportError:  # lists instead
    numpy = None

_TEXTS = ("prefecture", "city", "area")
_KEYS = ("prefecture_key", "city_key", "area_key")
_NUMBERS = ("latitude", "longitude", "distance")


def _answer_dtype():
    """kavrel_answer as a numpy record, laid out as ctypes lays it out; the
    text pointers are plain addresses here."""
    formats = {name: numpy.uintp for name in _TEXTS}
    formats.update({name: numpy.uint32 for name in _KEYS})
    formats.update({name: numpy.float64 for name in _NUMBERS})
    names = list(formats)
    return numpy.dtype({"names": names, "formats": [formats[n] for n in names],
                        "offsets": [getattr(_library.CAnswer, n).offset for n in names],
                        "itemsize": ctypes.sizeof(_library.CAnswer)})


# Keys below these bounds are mapped through a table with a slot per key,
# which needs no sort; the wider area keys are sorted.
_DENSE_KEYS = {"prefecture_key": 1 << 8, "city_key": 1 << 16}


def _distinct(keys, size):
    """The distinct keys, and for each row the place of its key among them."""
    if size is None:
        return numpy.unique(keys, return_inverse=True)
    place = numpy.zeros(size, dtype=numpy.intp)
    place[keys] = 1
    distinct = numpy.flatnonzero(place)
    place[distinct] = numpy.arange(len(distinct))
    return distinct, place[keys]


def _name_column(keys, texts, found, size):
    """The names of one level from its key column and the texts the library
    gave out (addresses), None for rows without an answer. The names are
    read once per distinct key (a key has one name in a package); the
    caller's hold keeps the texts valid. size: a bound on the keys for a
    table with a slot per key, or None."""
    every = bool(found.all())
    if not every:
        keys, texts = keys[found], texts[found]
    distinct, inverse = _distinct(keys, size)
    # Any row of a key gives its text: all of them point to the same one.
    addresses = numpy.empty(len(distinct), dtype=numpy.uintp)
    addresses[inverse] = texts
    names = numpy.array([ctypes.string_at(int(address)).decode("utf-8") for address in addresses], dtype=object)
    if every:
        return names[inverse]
    column = numpy.full(len(found), None, dtype=object)
    column[found] = names[inverse]
    return column


def _check(code, results):
    """Raises for a call that failed, and for rows that ran out of memory:
    those have no answer, but not because there is none."""
    if code == _library.OUT_OF_MEMORY or _library.OUT_OF_MEMORY in results:
        raise MemoryError(_library.result_text(_library.OUT_OF_MEMORY))
    if code != _library.SUCCESS:
        raise ValueError(_library.result_text(code))


def _coordinates(name, values):
    """A column of coordinates as a one-dimensional float64 array: numbers
    only (TypeError for None, str, bool and other types, which float() or
    numpy would otherwise turn into NaN or a number)."""
    if values is None or isinstance(values, (str, bytes)):
        raise TypeError(f"{name} must be a sequence or array of numbers, not {type(values).__name__}")
    array = numpy.asarray(values)
    if array.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not of shape {array.shape}")
    if array.dtype.kind == "O":
        array = numpy.array([real_number(f"{name}[{row}]", value) for row, value in enumerate(array)],
                            dtype=numpy.float64)
    elif array.dtype.kind not in "iuf":
        raise TypeError(f"{name} must hold numbers, not {array.dtype}")
    return numpy.ascontiguousarray(array, dtype=numpy.float64)


def lookup_columns(handle, lats, lons, query, threads):
    """Runs kavrel_lookup_many over the rows and returns the columns; handle
    is held by the caller throughout."""
    if numpy is None:
        return _list_columns(handle, lats, lons, query, threads)
    latitudes = _coordinates("lats", lats)
    longitudes = _coordinates("lons", lons)
    if latitudes.shape != longitudes.shape:
        raise ValueError(f"lats and lons must be of equal length, not {len(latitudes)} and {len(longitudes)}")
    count = latitudes.shape[0]
    answers = numpy.empty(count, dtype=_answer_dtype())
    results = numpy.empty(count, dtype=numpy.int32)
    code = _library.native.kavrel_lookup_many(handle, count, latitudes.ctypes.data, longitudes.ctypes.data,
                                              ctypes.byref(query), threads, answers.ctypes.data,
                                              results.ctypes.data)
    _check(code, results)
    found = results == _library.SUCCESS
    keys = {key: answers[key].copy() for key in _KEYS}
    columns = {}
    for text, key in zip(_TEXTS, _KEYS):
        columns[text] = _name_column(keys[key], answers[text], found, _DENSE_KEYS.get(key))
    columns.update(keys)
    for number in _NUMBERS:
        columns[number] = answers[number].copy()
    columns["found"] = found
    return columns


def _coordinate_list(name, values):
    if values is None or isinstance(values, (str, bytes)):
        raise TypeError(f"{name} must be a sequence of numbers, not {type(values).__name__}")
    try:
        values = list(values)
    except TypeError:
        raise TypeError(f"{name} must be a sequence of numbers, not {type(values).__name__}") from None
    return [real_number(f"{name}[{row}]", value) for row, value in enumerate(values)]


def _list_columns(handle, lats, lons, query, threads):
    lats, lons = _coordinate_list("lats", lats), _coordinate_list("lons", lons)
    if len(lats) != len(lons):
        raise ValueError(f"lats and lons must be of equal length, not {len(lats)} and {len(lons)}")
    count = len(lats)
    latitudes = (ctypes.c_double * count)(*lats)
    longitudes = (ctypes.c_double * count)(*lons)
    answers = (_library.CAnswer * count)()
    results = (ctypes.c_int32 * count)()
    code = _library.native.kavrel_lookup_many(handle, count, latitudes, longitudes, ctypes.byref(query), threads,
                                              answers, results)
    _check(code, results)
    columns = {name: [] for name in _TEXTS + _KEYS + _NUMBERS + ("found",)}
    for answer, result in zip(answers, results):
        found = result == _library.SUCCESS
        for text in _TEXTS:
            value = getattr(answer, text)
            columns[text].append(value.decode("utf-8") if found else None)
        # The library leaves keys 0 and numbers NaN in a row without an answer.
        for name in _KEYS + _NUMBERS:
            columns[name].append(getattr(answer, name))
        columns["found"].append(found)
    return columns
