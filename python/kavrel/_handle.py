"""An open kavrel_ handle that stays valid while any call uses it.

kavrel_close must not run while another call on the handle is running, and
the names an answer points to live in the handle. So every call holds the
handle for as long as it reads what the library gives out; close() marks it
closed at once (new calls are refused), and the handle is freed by close()
when no call is in flight, else by the last call to finish.
"""

import ctypes
import threading
from contextlib import contextmanager

from . import _library


class Handle:
    """An open package handle and the count of calls holding it."""

    def __init__(self, pointer: ctypes.c_void_p):
        self._pointer = pointer
        self._lock = threading.Lock()
        self._in_flight = 0
        self._closed = False

    @property
    def closed(self) -> bool:
        return self._closed

    @contextmanager
    def held(self):
        """The pointer, valid until the block ends. ValueError when closed."""
        with self._lock:
            if self._closed:
                raise ValueError("the geocoder is closed")
            self._in_flight += 1
        try:
            yield self._pointer
        finally:
            with self._lock:
                self._in_flight -= 1
                last = self._closed and self._in_flight == 0
            if last:
                self._free()

    def close(self) -> None:
        """Refuses new calls; frees the handle now, or when the last call in
        flight ends. Closing again does nothing."""
        with self._lock:
            if self._closed:
                return
            self._closed = True
            idle = self._in_flight == 0
        if idle:
            self._free()

    def _free(self):
        # Reached once: by close() when idle, or by the one call that brought
        # the count to zero after close() found it above zero.
        pointer, self._pointer = self._pointer, None
        if pointer is not None:
            _library.native.kavrel_close(pointer)
