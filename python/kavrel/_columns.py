"""Column results of Geocoder.lookup_many: numpy arrays when numpy is
installed, else lists."""

import ctypes

from . import _library

try:
    import numpy
except ImportError:  # lists instead
    numpy = None

_TEXTS = ("prefecture", "city", "area")
_KEYS = ("prefecture_key", "city_key", "area_key")
_NUMBERS = ("latitude", "longitude", "distance")


def _answer_dtype():
    """kavrel_answer as a numpy record, laid out as ctypes lays it out; the
    text pointers are plain addresses here, the names come from the keys."""
    formats = {name: numpy.uintp for name in _TEXTS}
    formats.update({name: numpy.uint32 for name in _KEYS})
    formats.update({name: numpy.float64 for name in _NUMBERS})
    names = list(formats)
    return numpy.dtype({"names": names, "formats": [formats[n] for n in names],
                        "offsets": [getattr(_library.CAnswer, n).offset for n in names],
                        "itemsize": ctypes.sizeof(_library.CAnswer)})


def _name_column(geocoder, level, keys):
    """The names of a column of keys, "" for a key the package has no name
    for, as in the library's answers."""
    tables = geocoder.__dict__.setdefault("_name_arrays", {})
    if level not in tables:
        known_keys, known_names = geocoder.names(level)
        # A key past every uint32 ends the table, so that a search never runs
        # off it, and its "" serves every key without a name.
        tables[level] = (numpy.asarray(known_keys + [2**32], dtype=numpy.int64),
                         numpy.asarray(known_names + [""], dtype=object))
    table_keys, table_names = tables[level]
    places = numpy.searchsorted(table_keys, keys)
    return table_names[numpy.where(table_keys[places] == keys, places, len(table_keys) - 1)]


def _check(code, results):
    """Raises for a call that failed, and for rows that ran out of memory:
    those have no answer, but not because there is none."""
    if code == _library.OUT_OF_MEMORY or _library.OUT_OF_MEMORY in results:
        raise MemoryError(_library.result_text(_library.OUT_OF_MEMORY))
    if code != _library.SUCCESS:
        raise ValueError(_library.result_text(code))


def lookup_columns(geocoder, handle, lats, lons, query, threads):
    """Runs kavrel_lookup_many over the rows and returns the columns."""
    if numpy is None:
        return _list_columns(geocoder, handle, lats, lons, query, threads)
    latitudes = numpy.ascontiguousarray(lats, dtype=numpy.float64)
    longitudes = numpy.ascontiguousarray(lons, dtype=numpy.float64)
    if latitudes.ndim != 1 or latitudes.shape != longitudes.shape:
        raise ValueError("lats and lons must be one-dimensional and of equal length")
    count = latitudes.shape[0]
    answers = numpy.empty(count, dtype=_answer_dtype())
    results = numpy.empty(count, dtype=numpy.int32)
    code = _library.native.kavrel_lookup_many(handle, count, latitudes.ctypes.data, longitudes.ctypes.data,
                                              ctypes.byref(query), threads, answers.ctypes.data,
                                              results.ctypes.data)
    _check(code, results)
    found = results == _library.SUCCESS
    columns = {}
    for level, (text, key) in enumerate(zip(_TEXTS, _KEYS)):
        names = _name_column(geocoder, level, answers[key])
        names[~found] = None
        columns[text] = names
    for key in _KEYS:
        columns[key] = answers[key].copy()
    for number in _NUMBERS:
        columns[number] = answers[number].copy()
    columns["found"] = found
    return columns


def _list_columns(geocoder, handle, lats, lons, query, threads):
    lats, lons = list(lats), list(lons)
    if len(lats) != len(lons):
        raise ValueError("lats and lons must be of equal length")
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
