"""examples/dask_geocode.py on a LocalCluster of two workers, against the same
geocoding done in one process."""

import os
import subprocess
import sys
from pathlib import Path

import numpy
import pytest

pandas = pytest.importorskip("pandas")
pytest.importorskip("dask.dataframe")
pytest.importorskip("distributed")

import kavrel  # noqa: E402

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
ROWS = 300_000


def run_example(source, output, tmp_path, *options):
    # The workers keep their scratch files in the test's own folder.
    environment = dict(os.environ, DASK_TEMPORARY_DIRECTORY=str(tmp_path / "dask"))
    subprocess.run([sys.executable, str(EXAMPLES / "dask_geocode.py"), str(source), str(output), *options],
                   env=environment, check=True, timeout=600)
    return pandas.concat([pandas.read_csv(part) for part in
                          sorted(output.glob("part-*.csv"), key=lambda path: int(path.stem.split("-")[1]))])


def test_nearest_mode_reaches_the_default_distance_unless_told(tmp_path):
    # Seoul and a point in Africa lie far beyond the default reach; a point
    # in Tokyo Bay within it.
    source = tmp_path / "points.csv"
    pandas.DataFrame({"lat": [37.5665, 10.0, 35.5], "lon": [126.978, 10.0, 139.85]}).to_csv(source, index=False)
    default = run_example(source, tmp_path / "default", tmp_path, "--workers", "1", "--mode", "nearest")
    unlimited = run_example(source, tmp_path / "unlimited", tmp_path, "--workers", "1", "--mode", "nearest",
                            "--max-distance", "inf")
    assert default.area.notna().tolist() == [False, False, True]
    assert unlimited.area.notna().tolist() == [True, True, True]
    assert all(distance > 25_000.0 for distance in unlimited.distance[:2])


def test_two_workers_give_the_single_process_result_row_for_row(tmp_path):
    random = numpy.random.default_rng(2024)
    points = pandas.DataFrame({
        "id": numpy.arange(ROWS),
        "lat": numpy.round(random.uniform(31.0, 43.0, ROWS), 6),
        "lon": numpy.round(random.uniform(130.0, 145.0, ROWS), 6),
    })
    source = tmp_path / "points.csv"
    points.to_csv(source, index=False)
    output = tmp_path / "out"

    run_example(source, output, tmp_path, "--workers", "2", "--blocksize", "1MB")

    parts = sorted(output.glob("part-*.csv"), key=lambda path: int(path.stem.split("-")[1]))
    assert len(parts) > 2, "the input should have been split into several partitions"
    header = None
    distributed = []
    for part in parts:
        lines = part.read_text(encoding="utf-8").splitlines()
        assert header is None or lines[0] == header
        header = lines[0]
        distributed += lines[1:]

    sys.path.insert(0, str(EXAMPLES))
    import dask_geocode
    with kavrel.Geocoder() as geocoder:
        single = dask_geocode.geocode_partition(pandas.read_csv(source), "lat", "lon", "designed", geocoder)
    single_file = tmp_path / "single.csv"
    single.to_csv(single_file, index=False)
    expected = single_file.read_text(encoding="utf-8").splitlines()

    assert header == expected[0]
    assert len(distributed) == ROWS
    mismatches = [i for i, (got, want) in enumerate(zip(distributed, expected[1:])) if got != want]
    assert not mismatches, f"{len(mismatches)} rows differ, first {distributed[mismatches[0]]!r}"
    # Both answers and rows without one are part of the comparison.
    assert 0 < single.area.isna().sum() < ROWS
