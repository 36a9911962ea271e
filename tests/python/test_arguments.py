"""What the Python package accepts and refuses before the library sees it:
integers beyond the library's int32_t, values that are not numbers, package
paths of every kind, and a random loop over all of it (argument_fuzz.py)."""

import math
import os
import shutil
import warnings

import numpy
import pytest

import argument_fuzz
import kavrel
from kavrel import _library

TOKYO = (35.681236, 139.767125)


@pytest.fixture(scope="module")
def geocoder():
    with kavrel.Geocoder() as opened:
        yield opened


@pytest.mark.parametrize("call, refusal", [
    (lambda g: g.lookup(*TOKYO, step=2**32 + 50), OverflowError),
    (lambda g: g.lookup(*TOKYO, step=2**31), OverflowError),
    (lambda g: g.lookup(*TOKYO, width=2**64 + 1), OverflowError),
    (lambda g: g.lookup(*TOKYO, step=50.0), TypeError),
    (lambda g: g.lookup(*TOKYO, width=True), TypeError),
    (lambda g: g.lookup(*TOKYO, mode=None), TypeError),
    (lambda g: g.lookup(*TOKYO, max_distance="500"), TypeError),
    (lambda g: g.lookup("35.68", "139.76"), TypeError),
    (lambda g: g.lookup(None, 139.0), TypeError),
    (lambda g: g.lookup(10**400, 139.0), OverflowError),
    (lambda g: g.lookup_many([35.0], [139.0], threads=2**32 + 1), OverflowError),
    (lambda g: g.lookup_many([35.0], [139.0], threads=0), ValueError),
    (lambda g: g.lookup_many([35.0], [139.0], threads=2.0), TypeError),
    (lambda g: g.lookup_many(None, None), TypeError),
    (lambda g: g.lookup_many([None], [1.0]), TypeError),
    (lambda g: g.lookup_many(numpy.array([None]), numpy.array([1.0])), TypeError),
    (lambda g: g.lookup_many("35", "139"), TypeError),
    (lambda g: g.lookup_many(["35"], ["139"]), TypeError),
    (lambda g: g.lookup_many([True], [1.0]), TypeError),
    (lambda g: g.lookup_many(numpy.array(35.0), numpy.array(139.0)), ValueError),
    (lambda g: g.lookup_many([[35.0, 139.0]], [[139.0, 35.0]]), ValueError),
    (lambda g: g.lookup_many([35.0, 36.0], [139.0]), ValueError),
    (lambda g: g.names(-1), ValueError),
    (lambda g: g.names(3), ValueError),
    (lambda g: g.names("1"), TypeError),
    (lambda g: kavrel.search([(35.0, None)]), TypeError),
    (lambda g: kavrel.search([35.0, 139.0]), ValueError),
    (lambda g: kavrel.search(numpy.zeros((3, 3))), ValueError),
    (lambda g: kavrel.search(None), TypeError),
])
def test_values_are_refused_never_wrapped(geocoder, call, refusal):
    with pytest.raises(refusal):
        call(geocoder)


def test_each_refusal_names_the_argument_and_the_limit(geocoder):
    with pytest.raises(OverflowError, match=r"step must be at most 2147483647, not 2147483648"):
        geocoder.lookup(*TOKYO, step=2**31)
    with pytest.raises(TypeError, match=r"lats\[1\] must be a real number, not NoneType"):
        geocoder.lookup_many([35.0, None], [139.0, 139.0])


def test_numbers_of_every_numeric_type_are_taken_as_floats(geocoder):
    expected = geocoder.lookup(*TOKYO)
    assert geocoder.lookup(numpy.float32(TOKYO[0]), numpy.float64(TOKYO[1])) is not None
    assert geocoder.lookup(35, 139, step=numpy.int64(50), width=numpy.uint16(3000)) == geocoder.lookup(35, 139)
    object_column = geocoder.lookup_many(numpy.array([TOKYO[0]], dtype=object), [TOKYO[1]])
    assert object_column["area"][0] == expected.area
    integers = geocoder.lookup_many(numpy.array([35], dtype=numpy.int8), [139])
    assert integers["area"][0] == geocoder.lookup(35, 139).area


class ThreadSpy:
    """The library, with the threads that lookup_many passes it noted."""

    def __init__(self, native):
        self.native = native
        self.threads = []

    def __getattr__(self, name):
        return getattr(self.native, name)

    def kavrel_lookup_many(self, *arguments):
        self.threads.append(arguments[5])
        return self.native.kavrel_lookup_many(*arguments)


@pytest.mark.parametrize("asked, used", [(1, 1), (7, 7), (256, 256), (257, 256), (10**6, 256), (2**31 - 1, 256)])
def test_threads_are_capped_as_the_console_caps_them(geocoder, monkeypatch, asked, used):
    spy = ThreadSpy(_library.native)
    monkeypatch.setattr(_library, "native", spy)
    columns = geocoder.lookup_many([TOKYO[0]] * 3, [TOKYO[1]] * 3, threads=asked)
    assert spy.threads == [used] and columns["found"].all()
    assert kavrel.MAX_THREADS == 256


def package_path():
    return kavrel.Geocoder().path


@pytest.mark.parametrize("kind", ["str", "bytes", "pathlike", "not-utf-8 bytes", "not-utf-8 str"])
def test_a_package_path_may_be_str_bytes_or_pathlike_and_any_name_the_system_allows(tmp_path, kind):
    folder = os.fsencode(tmp_path)
    name = folder + (b"/pk\xff\xfe.bin" if kind.startswith("not-utf-8") else b"/package.bin")
    shutil.copyfile(package_path(), name)
    path = {"str": os.fsdecode(name), "bytes": name, "pathlike": tmp_path / "package.bin",
            "not-utf-8 bytes": name, "not-utf-8 str": os.fsdecode(name)}[kind]
    with kavrel.Geocoder(path) as opened:
        assert opened.lookup(*TOKYO).area == "丸の内一丁目"


@pytest.mark.parametrize("path", ["{}\0junk", b"{}\0junk"])
def test_a_package_path_with_a_nul_is_refused(path):
    real = package_path()
    path = path.format(real) if isinstance(path, str) else path.replace(b"{}", os.fsencode(real))
    with pytest.raises(ValueError, match="NUL"):
        kavrel.Geocoder(path)


@pytest.mark.parametrize("path", [5, 3.5, ["a"]])
def test_a_package_path_of_another_type_is_type_error(path):
    with pytest.raises(TypeError):
        kavrel.Geocoder(path)


@pytest.mark.parametrize("make, code, reason", [
    (lambda folder: folder / "missing.bin", -1003, "No such file or directory"),
    (lambda folder: folder, -1003, "it is a directory"),
    (lambda folder: (folder / "text.bin").write_bytes(b"not a package") and folder / "text.bin", -1004, None),
])
def test_kavrel_error_names_the_path_and_the_reason(tmp_path, make, code, reason):
    path = make(tmp_path)
    with pytest.raises(kavrel.KavrelError) as failure:
        kavrel.Geocoder(path)
    assert failure.value.code == code and failure.value.reason == reason
    message = str(failure.value)
    assert repr(str(path)) in message and _library.result_text(code) in message
    assert reason is None or message.endswith(reason)


def test_no_default_package_says_so(monkeypatch):
    monkeypatch.setattr(_library, "default_package", lambda: None)
    monkeypatch.setattr(_library, "native", ThreadSpy(_library.native))
    monkeypatch.setattr(_library.native, "kavrel_open", lambda path, handle: _library.PACKAGE_NOT_FOUND,
                        raising=False)
    with pytest.raises(kavrel.KavrelError, match="no default data package"):
        kavrel.Geocoder()


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_random_arguments_get_an_answer_or_a_documented_exception(geocoder, seed):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        made, refused = argument_fuzz.run(geocoder, seed, calls=1500)
    assert made == 1500 and 0 < refused < made
