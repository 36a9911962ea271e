"""Checks of what callers pass, before anything reaches the library: a value
that a C int32_t or double cannot hold exactly as meant is refused, never
wrapped or truncated by ctypes."""

import numbers
import os

INT32_MAX = 2**31 - 1

# More threads than this only cost their start-up: the console and the
# library (KAVREL_MAX_THREADS) use at most as many, and lookup_many uses this
# many when asked for more.
MAX_THREADS = 256


def whole_number(name, value, low, high, too_large=OverflowError):
    """value as an int in [low, high]: TypeError for anything that is not an
    integer (bool, float and str included), ValueError below low, too_large
    above high."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}")
    value = int(value)
    if value < low:
        raise ValueError(f"{name} must be at least {low}, not {value}")
    if value > high:
        raise too_large(f"{name} must be at most {high}, not {value}")
    return value


def real_number(name, value):
    """value as a float: TypeError for anything that is not a real number
    (bool, str, bytes, None and Decimal included), OverflowError for an
    integer too large for a double."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, not {type(value).__name__}")
    try:
        return float(value)
    except OverflowError:
        raise OverflowError(f"{name} is too large for a floating-point number") from None


def thread_count(threads):
    """The threads argument of lookup_many as the library gets it: at least
    1, at most MAX_THREADS used."""
    return min(whole_number("threads", threads, 1, INT32_MAX), MAX_THREADS)


def package_path(path):
    """A package path as the library takes it: str, bytes or os.PathLike,
    encoded as the file system encodes names (so that a name that is not
    UTF-8 opens the very file). TypeError for other types, ValueError for an
    embedded NUL, which would end the name early."""
    try:
        encoded = os.fsencode(path)
    except TypeError:
        raise TypeError(f"a package path must be str, bytes or os.PathLike, not {type(path).__name__}") from None
    if b"\0" in encoded:
        raise ValueError(f"a package path must not contain a NUL character: {path!r}")
    return encoded
