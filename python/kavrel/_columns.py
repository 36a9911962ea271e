"""Column results of Geocoder.lookup_many: numpy arrays when numpy is
installed, else lists."""

import ctypes
import threading

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


# Rows a thread looks up per call: its 512 KiB of answers stay in its cache.
_BLOCK_ROWS = 8192


def _decode(addresses):
    return [ctypes.string_at(int(address)).decode("utf-8") for address in addresses]


class NameColumns:
    """The names of one level by key, decoded once for a Geocoder and kept,
    so that the rows can go through in blocks without each block decoding
    its names again: a column of names is one table lookup per row. Keys
    below _TABLE_KEYS are kept in a table with a slot per key (8 bytes
    each, grown to the largest key seen); a block with a larger key is
    served by sorting its keys and decoding its names. Safe from any number
    of threads."""

    _TABLE_KEYS = 1 << 22

    def __init__(self):
        self._lock = threading.Lock()
        self._names = ()  # by key, valid where _known; arrays from the first call on
        self._known = ()

    def fill(self, out, keys, texts, found):
        """Writes into the object array `out` the names of a level from its
        key column and the texts the library gave out (addresses), leaving
        rows without an answer as they are (None in a new array). The
        caller's hold keeps the texts valid."""
        if not found.all():
            keys, texts = keys[found], texts[found]
            if len(keys):
                names = numpy.empty(len(keys), dtype=object)
                self._names_of(keys, texts, names)
                out[found] = names
            return
        if len(keys):
            self._names_of(keys, texts, out)

    def _names_of(self, keys, texts, out):
        top = int(keys.max())
        if top >= self._TABLE_KEYS:
            # A key has one name in a package: any row of it gives the text.
            distinct, first, inverse = numpy.unique(keys, return_index=True, return_inverse=True)
            out[:] = numpy.array(_decode(texts[first]), dtype=object)[inverse]
            return
        with self._lock:
            if top >= len(self._names):
                size = min(max(top + 1, 2 * len(self._names)), self._TABLE_KEYS)
                names = numpy.empty(size, dtype=object)
                names[:len(self._names)] = self._names
                known = numpy.zeros(size, dtype=bool)
                known[:len(self._known)] = self._known
                self._names, self._known = names, known
            missing = ~self._known[keys]
            if missing.any():
                distinct, first = numpy.unique(keys[missing], return_index=True)
                self._names[distinct] = _decode(texts[missing][first])
                self._known[distinct] = True
            numpy.take(self._names, keys, out=out)


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


def lookup_columns(handle, lats, lons, query, threads, names):
    """Runs kavrel_lookup_many over the rows and returns the columns; handle
    is held by the caller throughout. names: a NameColumns for each level
    (unused without numpy)."""
    if numpy is None:
        return _list_columns(handle, lats, lons, query, threads)
    latitudes = _coordinates("lats", lats)
    longitudes = _coordinates("lons", lons)
    if latitudes.shape != longitudes.shape:
        raise ValueError(f"lats and lons must be of equal length, not {len(latitudes)} and {len(longitudes)}")
    count = latitudes.shape[0]
    columns = {text: numpy.empty(count, dtype=object) for text in _TEXTS}
    columns.update((key, numpy.empty(count, dtype=numpy.uint32)) for key in _KEYS)
    columns.update((number, numpy.empty(count, dtype=numpy.float64)) for number in _NUMBERS)
    columns["found"] = numpy.empty(count, dtype=bool)
    # The rows go through the library a block at a time, into one block of
    # answers that the columns are read from while it is still in the
    # cache: answers for all rows at once would be 64 bytes a row of fresh
    # memory, read back six times over.
    block = _BLOCK_ROWS * threads
    answers = numpy.empty(min(block, count), dtype=_answer_dtype())
    # Results only for a block: fresh memory costs a page fault per page.
    block_results = numpy.empty(min(block, count), dtype=numpy.int32)
    for start in range(0, count, block):
        end = min(start + block, count)
        part = answers[:end - start]
        results = block_results[:end - start]
        code = _library.native.kavrel_lookup_many(handle, end - start, latitudes.ctypes.data + 8 * start,
                                                  longitudes.ctypes.data + 8 * start, ctypes.byref(query),
                                                  threads, part.ctypes.data, results.ctypes.data)
        _check(code, results)
        found = columns["found"][start:end]
        numpy.equal(results, _library.SUCCESS, out=found)
        for level, (text, key) in enumerate(zip(_TEXTS, _KEYS)):
            columns[key][start:end] = part[key]
            names[level].fill(columns[text][start:end], part[key], part[text], found)
        for number in _NUMBERS:
            columns[number][start:end] = part[number]
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
