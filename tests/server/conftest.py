"""Starts kavrel-serve on a free loopback port for the tests."""

import os
import re
import signal
import subprocess
import time

import pytest


def pytest_configure(config):
    config.addinivalue_line("markers", "load: a bounded concurrent load on loopback")


class Server:
    """A running kavrel-serve; base is its http://127.0.0.1:PORT."""

    def __init__(self, *options):
        self.process = subprocess.Popen([os.environ["KAVREL_SERVE"], "--listen", "127.0.0.1:0", "--quiet", *options],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        line = self.process.stderr.readline()
        found = re.search(r"http://(127\.0\.0\.1:\d+)/", line)
        assert found, f"no listening line: {line!r}"
        self.address = found.group(1)
        self.base = f"http://{self.address}"

    def stop(self, timeout=2.0):
        """Sends SIGTERM; returns the exit status and the seconds it took."""
        start = time.monotonic()
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=timeout + 5)
        return status, time.monotonic() - start

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process.stderr.close()


@pytest.fixture(scope="module")
def server():
    running = Server()
    yield running
    running.close()
