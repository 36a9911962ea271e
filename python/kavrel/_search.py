"""kavrel.search: many coordinates in one call, on the default package,
which each process opens once, on first use, and keeps."""

import os
import threading
from typing import List, Optional

from . import Geocoder, _columns

_FIELDS = ("prefecture", "city", "area", "latitude", "longitude", "distance")

_opening = threading.Lock()
# (process id, geocoder): a child made by fork opens its own, since the
# parent's may have been in use by another thread at the fork.
_default = (None, None)


def _default_geocoder() -> Geocoder:
    global _default
    process = os.getpid()
    owner, geocoder = _default
    if owner == process:
        return geocoder
    with _opening:
        owner, geocoder = _default
        if owner != process:
            geocoder = Geocoder()
            _default = (process, geocoder)
        return geocoder


def _pairs(points):
    """points as two columns (lats, lons): an N x 2 array, or an iterable of
    (lat, lon) pairs."""
    if points is None or isinstance(points, (str, bytes)):
        raise TypeError(f"points must be an iterable of (lat, lon) pairs, not {type(points).__name__}")
    if _columns.numpy is not None and hasattr(points, "__array__"):
        array = _columns.numpy.asarray(points)
        if array.ndim != 2 or array.shape[1] != 2:
            raise ValueError(f"an array of points must be N x 2 (lat, lon), not of shape {array.shape}")
        return array[:, 0], array[:, 1]
    try:
        rows = list(points)
    except TypeError:
        raise TypeError(f"points must be an iterable of (lat, lon) pairs, not {type(points).__name__}") from None
    lats, lons = [], []
    for row in rows:
        if isinstance(row, (str, bytes)):
            raise TypeError(f"each point must be a (lat, lon) pair, not {type(row).__name__}")
        try:
            lat, lon = row
        except (TypeError, ValueError):
            raise ValueError(f"each point must be a (lat, lon) pair, not {row!r}") from None
        lats.append(lat)
        lons.append(lon)
    return lats, lons


def search(points, mode: str = "designed", step: int = 0, width: int = 0, max_distance: Optional[float] = None,
           threads: int = 1) -> List[Optional[dict]]:
    """The addresses of many coordinates in decimal degrees, from the default
    package (opened once per process, on the first call, and kept).

    points: an iterable of (lat, lon) pairs, or an N x 2 array.
    Returns one item per point, in order: None where there is no answer,
    else a dict with "prefecture", "city", "area", "latitude" and
    "longitude" (the matched address point) and "distance" (metres from the
    point asked). mode, step, width, max_distance and threads are those of
    Geocoder.lookup_many, and so are the exceptions; KavrelError when there
    is no default package.
    """
    lats, lons = _pairs(points)
    columns = _default_geocoder().lookup_many(lats, lons, mode=mode, step=step, width=width,
                                              max_distance=max_distance, threads=threads)
    found = columns["found"]
    fields = [(name, columns[name]) for name in _FIELDS]
    places = []
    for row in range(len(found)):
        if not found[row]:
            places.append(None)
            continue
        place = {name: column[row] for name, column in fields}
        for name in ("latitude", "longitude", "distance"):
            place[name] = float(place[name])
        places.append(place)
    return places
