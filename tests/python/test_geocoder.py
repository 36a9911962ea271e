"""The Python package kavrel, on the default (national) package of the build."""

import ctypes
import math
import os
import subprocess
import sys
import threading
from pathlib import Path

import numpy
import pytest

import kavrel
from kavrel import _columns

TOKYO_STATION = (35.681236, 139.767125)
OPEN_SEA = (32.0, 138.0)
SEOUL = (37.5665, 126.9780)


@pytest.fixture(scope="module")
def geocoder():
    with kavrel.Geocoder() as opened:
        yield opened


def sample(count, seed=5):
    """Coordinates over the Japan box: mostly near towns, some at sea."""
    random = numpy.random.default_rng(seed)
    lats = random.uniform(31.0, 43.0, count)
    lons = random.uniform(130.0, 145.0, count)
    return lats, lons


def test_the_readme_line_works_from_any_folder(tmp_path):
    package_folder = Path(kavrel.__file__).resolve().parent.parent
    environment = dict(os.environ, PYTHONPATH=str(package_folder))
    output = subprocess.run(
        [sys.executable, "-c", "import kavrel; print(kavrel.Geocoder().lookup(35.681236, 139.767125))"],
        cwd=tmp_path, env=environment, capture_output=True, text=True, check=True).stdout
    assert "prefecture='東京都', city='千代田区', area='丸の内一丁目'" in output


@pytest.mark.parametrize("library, why", [
    (os.environ["KAVREL_ABI_STAND_IN"],
     "does not match this kavrel package: it has binary interface 1 with kavrel_query, kavrel_answer and "
     f"kavrel_facts of {ctypes.sizeof(kavrel._library.CQuery) + 8}, {ctypes.sizeof(kavrel._library.CAnswer)} and "
     f"{ctypes.sizeof(kavrel._library.CFacts)} bytes"),
    ("libc.so.6", "does not report its binary interface"),
])
def test_a_library_of_another_binary_interface_is_refused_at_import(library, why):
    package_folder = Path(kavrel.__file__).resolve().parent.parent
    environment = dict(os.environ, PYTHONPATH=str(package_folder), KAVREL_LIBRARY=library)
    result = subprocess.run([sys.executable, "-c", "import kavrel"], env=environment, capture_output=True, text=True)
    assert result.returncode != 0
    assert "kavrel._library.LayoutMismatch" in result.stderr
    assert why in result.stderr


def test_the_library_reports_the_layouts_the_package_copies():
    assert kavrel._library.native.kavrel_abi(None, None, None) == kavrel._library.ABI_VERSION


def test_lookup_gives_an_immutable_answer_of_names_keys_point_and_distance(geocoder):
    answer = geocoder.lookup(*TOKYO_STATION)
    assert (answer.prefecture, answer.city, answer.area) == ("東京都", "千代田区", "丸の内一丁目")
    assert len(answer.keys) == 3 and all(isinstance(key, int) for key in answer.keys)
    assert answer.distance == pytest.approx(
        kavrel_distance(TOKYO_STATION, (answer.latitude, answer.longitude)), rel=1e-12)
    with pytest.raises(AttributeError):
        answer.area = "x"


def kavrel_distance(a, b):
    """Hubeny's distance, as the library's PointDistance computes it."""
    phi1, lam1, phi2, lam2 = (value / 180.0 * math.pi for value in (*a, *b))
    mu = (phi1 + phi2) * 0.5
    w2 = 1.0 - 0.00669438 * math.sin(mu) ** 2
    n = 6378137.0 / math.sqrt(w2)
    m = 6335439.0 / math.sqrt(w2 ** 3)
    return math.hypot(m * (phi1 - phi2), n * math.cos(mu) * (lam1 - lam2))


def test_nearest_mode_is_never_farther_than_the_designed_mode(geocoder):
    lats, lons = sample(300)
    for lat, lon in zip(lats, lons):
        designed = geocoder.lookup(lat, lon)
        nearest = geocoder.lookup(lat, lon, mode="nearest", max_distance=math.inf)
        assert nearest is not None
        if designed is not None:
            assert nearest.distance <= designed.distance


@pytest.mark.parametrize("mode, max_distance, answered", [
    ("designed", None, False),      # no point in the bands the ring search loads
    ("nearest", None, False),       # beyond the default reach
    ("nearest", math.inf, True),
    ("nearest", 10_000.0, False),   # the nearest point lies farther out
])
def test_no_answer_is_none(geocoder, mode, max_distance, answered):
    answer = geocoder.lookup(*OPEN_SEA, mode=mode, max_distance=max_distance)
    assert (answer is not None) == answered


@pytest.mark.parametrize("point, answered_by_default", [
    (SEOUL, False), ((10.0, 10.0), False), ((35.5, 139.85), True),  # the last in Tokyo Bay
])
def test_nearest_mode_reaches_the_default_distance_unless_told(geocoder, point, answered_by_default):
    unlimited = geocoder.lookup(*point, mode="nearest", max_distance=math.inf)
    assert unlimited is not None
    assert (geocoder.lookup(*point, mode="nearest") is not None) == answered_by_default
    assert (unlimited.distance <= 25_000.0) == answered_by_default
    columns = geocoder.lookup_many([point[0]], [point[1]], mode="nearest")
    assert bool(columns["found"][0]) == answered_by_default


@pytest.mark.parametrize("arguments", [
    dict(mode="closest"), dict(step=-1), dict(width=-5), dict(max_distance=0), dict(max_distance=-3.0),
    dict(max_distance=math.nan),
])
def test_bad_arguments_raise_value_error(geocoder, arguments):
    with pytest.raises(ValueError):
        geocoder.lookup(*TOKYO_STATION, **arguments)


def test_nearest_mode_refuses_coordinates_off_the_globe(geocoder):
    with pytest.raises(ValueError):
        geocoder.lookup(91.0, 139.0, mode="nearest")


def test_a_missing_package_raises_with_the_library_code(tmp_path):
    with pytest.raises(kavrel.KavrelError) as failure:
        kavrel.Geocoder(tmp_path / "missing.bin")
    assert failure.value.code == -1003


def test_a_closed_geocoder_refuses_lookups():
    with kavrel.Geocoder() as opened:
        pass
    with pytest.raises(ValueError):
        opened.lookup(*TOKYO_STATION)


def test_facts_and_version(geocoder):
    facts = geocoder.facts
    assert facts.points > 200_000 and facts.prefectures == 47
    assert len(geocoder.names(2)[0]) == facts.areas
    assert kavrel.version().count(".") == 3


@pytest.mark.parametrize("mode", ["designed", "nearest"])
@pytest.mark.parametrize("blocks", ["one block", "many blocks", "many blocks, names beyond the table"])
def test_lookup_many_columns_equal_single_lookups(geocoder, mode, blocks, monkeypatch):
    lats, lons = sample(2000, seed=11)
    lats[7] = math.nan
    lats[1500:1510] = 45.0  # at sea: no answer in either mode
    lons[1500:1510] = 150.0
    if blocks != "one block":
        # A fresh geocoder learns its names block by block, keys growing.
        monkeypatch.setattr(_columns, "_BLOCK_ROWS", 97)
        geocoder = kavrel.Geocoder(geocoder.path)
    if blocks.endswith("beyond the table"):
        monkeypatch.setattr(_columns.NameColumns, "_TABLE_KEYS", 1000)
    # Twice, the second time from the names the first one kept.
    columns = geocoder.lookup_many(lats, lons, mode=mode, threads=2)
    again = geocoder.lookup_many(lats[::-1], lons[::-1], mode=mode, threads=2)
    for name in columns:
        assert [str(value) for value in columns[name]] == [str(value) for value in again[name][::-1]], name
    assert isinstance(columns["area"], numpy.ndarray) and columns["distance"].dtype == numpy.float64
    for i, (lat, lon) in enumerate(zip(lats, lons)):
        try:
            answer = geocoder.lookup(lat, lon, mode=mode)
        except ValueError:
            answer = None
        assert bool(columns["found"][i]) == (answer is not None)
        if answer is None:
            assert columns["area"][i] is None and math.isnan(columns["distance"][i])
            continue
        assert (columns["prefecture"][i], columns["city"][i], columns["area"][i]) == answer[:3]
        assert (columns["prefecture_key"][i], columns["city_key"][i], columns["area_key"][i]) == answer.keys
        assert (columns["latitude"][i], columns["longitude"][i], columns["distance"][i]) == answer[4:]


def test_lookup_many_takes_sequences_and_works_without_numpy(geocoder, monkeypatch):
    lats, lons = sample(500, seed=3)
    with_numpy = geocoder.lookup_many(lats, lons)
    from_lists = geocoder.lookup_many(list(lats), tuple(lons), threads=3)
    monkeypatch.setattr(_columns, "numpy", None)
    without_numpy = geocoder.lookup_many(list(lats), list(lons))
    assert isinstance(without_numpy["area"], list)
    for name, column in with_numpy.items():
        for expected in (from_lists[name], without_numpy[name]):
            assert [str(value) for value in column] == [str(value) for value in expected], name


def test_lookup_many_refuses_columns_of_different_lengths(geocoder):
    with pytest.raises(ValueError):
        geocoder.lookup_many([35.0, 36.0], [139.0])
    with pytest.raises(ValueError):
        geocoder.lookup_many([35.0], [139.0], threads=0)


def test_the_pandas_example_of_the_readme(geocoder):
    pandas = pytest.importorskip("pandas")
    points = pandas.DataFrame({"lat": [35.681236, 34.702485, 32.0], "lon": [139.767125, 135.495951, 138.0]})
    table = points.join(pandas.DataFrame(geocoder.lookup_many(points.lat, points.lon)))
    assert list(table.city[:2]) == ["千代田区", "大阪市北区"]
    assert table.area.isna().tolist() == [False, False, True]


@pytest.mark.parametrize("mode, shape", [("designed", "pairs"), ("nearest", "array"), ("designed", "generator")])
def test_search_answers_as_lookup_does(geocoder, mode, shape):
    lats, lons = sample(1000, seed=23)
    points = {"pairs": list(zip(lats, lons)), "array": numpy.column_stack([lats, lons]),
              "generator": ((lat, lon) for lat, lon in zip(lats, lons))}[shape]
    places = kavrel.search(points, mode=mode, threads=2)
    assert len(places) == 1000
    answered = 0
    for place, lat, lon in zip(places, lats, lons):
        answer = geocoder.lookup(lat, lon, mode=mode)
        if answer is None:
            assert place is None
            continue
        answered += 1
        assert place == {"prefecture": answer.prefecture, "city": answer.city, "area": answer.area,
                         "latitude": answer.latitude, "longitude": answer.longitude, "distance": answer.distance}
        assert all(type(place[name]) is float for name in ("latitude", "longitude", "distance"))
    assert 200 < answered < 1000


def test_search_opens_the_default_package_once_for_all_threads(monkeypatch):
    from kavrel import _search
    opened = []

    class CountingGeocoder(kavrel.Geocoder):
        def __init__(self):
            opened.append(self)
            threading.Event().wait(0.05)  # widens the window two first calls could share
            super().__init__()

    monkeypatch.setattr(_search, "Geocoder", CountingGeocoder)
    monkeypatch.setattr(_search, "_default", (None, None))
    results = []
    threads = [threading.Thread(target=lambda: results.append(kavrel.search([TOKYO_STATION])[0]["area"]))
               for _ in range(8)]
    for each in threads:
        each.start()
    for each in threads:
        each.join()
    assert results == ["丸の内一丁目"] * 8
    kavrel.search([OPEN_SEA])
    assert len(opened) == 1


def test_search_of_no_points_is_an_empty_list():
    assert kavrel.search([]) == [] and kavrel.search(numpy.empty((0, 2))) == []


def test_lookup_many_as_frame_keeps_the_index_of_a_series(geocoder):
    pandas = pytest.importorskip("pandas")
    points = pandas.DataFrame({"latitude": [35.681236, 32.0], "longitude": [139.767125, 138.0]}, index=[10, 20])
    frame = geocoder.lookup_many(points.latitude, points.longitude, as_frame=True)
    assert isinstance(frame, pandas.DataFrame) and list(frame.index) == [10, 20]
    assert list(frame.columns) == ["prefecture", "city", "area", "prefecture_key", "city_key", "area_key",
                                   "latitude", "longitude", "distance", "found"]
    assert frame.loc[10, "area"] == "丸の内一丁目" and frame.loc[20, "area"] is None


def test_lookup_many_as_frame_without_pandas_says_what_is_missing(geocoder, monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match=r"as_frame=True\) needs pandas"):
        geocoder.lookup_many([35.0], [139.0], as_frame=True)
