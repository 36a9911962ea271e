"""Finding and binding the kavrelcore library through ctypes (kavrel.h)."""

import ctypes
import os
from pathlib import Path

from ._build import LIBRARY_NAME

# Result codes and modes of kavrel.h.
SUCCESS = 0
INVALID_ARGUMENT = -1001
PACKAGE_NOT_FOUND = -1003
NO_ANSWER = -1005
OUT_OF_MEMORY = -1008
MODE_DESIGNED = 0
MODE_NEAREST = 1

_HERE = Path(__file__).resolve().parent
# Where the library lies relative to this package: inside it, as pip
# installs it (with the default package beside it); beside the programs in a
# build tree (build/python/kavrel -> build/bin), in lib/ of an install tree
# (<prefix>/lib/python3/site-packages/kavrel -> <prefix>/lib), or beside the
# programs at the top of the Windows release (-> <prefix>). Elsewhere (the
# Debian package's /usr/lib/x86_64-linux-gnu) the system's search finds it.
_LIBRARY_FOLDERS = (
    _HERE,
    _HERE.parent.parent / "bin",
    _HERE.parent.parent.parent,
    _HERE.parent.parent.parent.parent,
)


class CQuery(ctypes.Structure):
    _fields_ = [
        ("mode", ctypes.c_int32),
        ("step", ctypes.c_int32),
        ("width", ctypes.c_int32),
        ("max_distance", ctypes.c_double),
    ]


class CAnswer(ctypes.Structure):
    _fields_ = [
        ("prefecture", ctypes.c_char_p),
        ("city", ctypes.c_char_p),
        ("area", ctypes.c_char_p),
        ("prefecture_key", ctypes.c_uint32),
        ("city_key", ctypes.c_uint32),
        ("area_key", ctypes.c_uint32),
        ("latitude", ctypes.c_double),
        ("longitude", ctypes.c_double),
        ("distance", ctypes.c_double),
    ]


class CFacts(ctypes.Structure):
    _fields_ = [
        ("points", ctypes.c_uint64),
        ("entries", ctypes.c_uint64),
        ("prefectures", ctypes.c_uint64),
        ("cities", ctypes.c_uint64),
        ("areas", ctypes.c_uint64),
    ]


def _library_path():
    """The library file to load: $KAVREL_LIBRARY, else one beside this
    package's build or install tree, else the bare name for the system's
    search path."""
    chosen = os.environ.get("KAVREL_LIBRARY")
    if chosen:
        return chosen
    for folder in _LIBRARY_FOLDERS:
        candidate = folder / LIBRARY_NAME
        if candidate.is_file():
            return str(candidate)
    return LIBRARY_NAME


# The version of kavrel.h's binary interface that the structures above copy.
ABI_VERSION = 1


class LayoutMismatch(ImportError):
    """The library's kavrel.h structures are not the ones this package copies."""


def _check_layouts(library, path):
    """Refuses a library whose binary interface differs from the structures
    above, before anything is bound to them."""
    try:
        abi = library.kavrel_abi
    except AttributeError:
        raise LayoutMismatch(
            f"the kavrelcore library {path} does not report its binary interface (no kavrel_abi): "
            f"it is older than this kavrel package; install a matching library") from None
    abi.restype = ctypes.c_uint32
    abi.argtypes = [ctypes.POINTER(ctypes.c_size_t)] * 3
    sizes = [ctypes.c_size_t(0) for _ in range(3)]
    version = abi(*(ctypes.byref(size) for size in sizes))
    found = (version, *(size.value for size in sizes))
    expected = (ABI_VERSION, ctypes.sizeof(CQuery), ctypes.sizeof(CAnswer), ctypes.sizeof(CFacts))
    if found != expected:
        raise LayoutMismatch(
            f"the kavrelcore library {path} does not match this kavrel package: it has binary interface "
            f"{found[0]} with kavrel_query, kavrel_answer and kavrel_facts of {found[1]}, {found[2]} and "
            f"{found[3]} bytes, where this package expects interface {expected[0]} with {expected[1]}, "
            f"{expected[2]} and {expected[3]} bytes; install a matching library")


def _bind(library):
    handle = ctypes.c_void_p
    signatures = {
        "kavrel_version": (ctypes.c_char_p, []),
        "kavrel_result_text": (ctypes.c_char_p, [ctypes.c_int32]),
        "kavrel_open": (ctypes.c_int32, [ctypes.c_char_p, ctypes.POINTER(handle)]),
        "kavrel_default_package": (ctypes.c_int32, [ctypes.c_char_p, ctypes.c_size_t,
                                                    ctypes.POINTER(ctypes.c_size_t)]),
        "kavrel_close": (None, [handle]),
        "kavrel_facts_of": (ctypes.c_int32, [handle, ctypes.POINTER(CFacts)]),
        "kavrel_lookup": (ctypes.c_int32, [handle, ctypes.c_double, ctypes.c_double,
                                           ctypes.POINTER(CQuery), ctypes.POINTER(CAnswer)]),
        "kavrel_lookup_many": (ctypes.c_int32, [handle, ctypes.c_size_t, ctypes.c_void_p, ctypes.c_void_p,
                                                ctypes.POINTER(CQuery), ctypes.c_int32, ctypes.c_void_p,
                                                ctypes.c_void_p]),
        "kavrel_name_at": (ctypes.c_int32, [handle, ctypes.c_int32, ctypes.c_uint64,
                                            ctypes.POINTER(ctypes.c_uint32), ctypes.POINTER(ctypes.c_char_p)]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes
    return library


def _load(path):
    library = ctypes.CDLL(path)
    _check_layouts(library, path)
    return _bind(library)


LIBRARY_PATH = _library_path()
native = _load(LIBRARY_PATH)


def default_package():
    """The package that the library opens when given none (kavrel.h's
    kavrel_default_package: the current folder, the program's folder, then
    beside the library and in ../bin from it, then where an install puts
    it); None when there is none."""
    length = ctypes.c_size_t(0)
    if native.kavrel_default_package(None, 0, ctypes.byref(length)) == PACKAGE_NOT_FOUND:
        return None
    buffer = ctypes.create_string_buffer(length.value + 1)
    if native.kavrel_default_package(buffer, len(buffer), ctypes.byref(length)) != SUCCESS:
        return None
    return os.fsdecode(buffer.value)


def result_text(code):
    """The library's English description of a result code."""
    return native.kavrel_result_text(code).decode("utf-8")
