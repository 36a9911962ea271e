"""A Geocoder's lifetime: copies, pickles and close() while other threads use
it. Each sequence runs 20 rounds in a process of its own (lifetime_cases.py),
so that a crash, at once or at exit, fails one test rather than pytest."""

import multiprocessing
import os
import pickle
import subprocess
import sys
from pathlib import Path

import pytest

import kavrel

HERE = Path(__file__).resolve().parent
ROUNDS = 20
# The small sample package, on which the race runs every kind of call (the
# national one limits it to designed lookups to keep rounds short).
SAMPLE_PACKAGE = os.environ["KAVREL_SAMPLE_PACKAGE"]


@pytest.mark.parametrize("case, package", [
    ("copies", None),
    ("pickles", None),
    ("close_race", None),
    ("close_race_lists", None),
    pytest.param("close_race", SAMPLE_PACKAGE, id="close_race-every-call"),
    pytest.param("close_race_lists", SAMPLE_PACKAGE, id="close_race_lists-every-call"),
])
def test_no_sequence_crashes_the_interpreter(case, package):
    command = [sys.executable, str(HERE / "lifetime_cases.py"), case, str(ROUNDS)] + ([package] if package else [])
    result = subprocess.run(command, capture_output=True, text=True, timeout=600)
    assert result.returncode == 0, f"exit {result.returncode}\n{result.stdout}\n{result.stderr}"
    assert result.stdout.startswith(f"{case.replace('_lists', '')} {ROUNDS}")
    assert "Traceback" not in result.stderr and "Exception" not in result.stderr, result.stderr


def lookup_in_another_process(geocoder):
    answer = geocoder.lookup(35.681236, 139.767125)
    return geocoder.path, answer.area


def test_a_pickled_geocoder_reopens_its_package_in_another_process():
    with kavrel.Geocoder() as opened:
        context = multiprocessing.get_context("spawn")
        with context.Pool(1) as pool:
            path, area = pool.apply(lookup_in_another_process, (opened,))
    assert (path, area) == (opened.path, "丸の内一丁目")


def test_a_pickle_holds_the_path_asked_for_not_the_handle():
    with kavrel.Geocoder() as default:
        assert pickle.loads(pickle.dumps(default))._requested is None
        path_object = Path(default.path)
        with kavrel.Geocoder(path_object) as explicit:
            assert pickle.loads(pickle.dumps(explicit))._requested == path_object


def test_calls_after_close_raise_value_error_naming_it():
    opened = kavrel.Geocoder()
    opened.close()
    opened.close()
    for call in (lambda: opened.lookup(35.0, 139.0), lambda: opened.lookup_many([35.0], [139.0]),
                 lambda: opened.names(0), lambda: opened.facts):
        with pytest.raises(ValueError, match="closed"):
            call()
    assert "closed" in repr(opened)
