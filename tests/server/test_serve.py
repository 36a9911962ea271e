"""kavrel-serve over HTTP on loopback: the reverse API's formats, batches,
bad and hostile requests, a bounded load and a clean stop; answers compared
with the Python package's."""

import json
import math
import os
import re
import socket
import subprocess
import threading
import time

import numpy
import pytest
import requests
from geopy.geocoders import Nominatim

import kavrel
from conftest import Server

TOKYO_STATION = (35.681236, 139.767125)
FAR_AT_SEA = (32.0, 145.0)


@pytest.fixture(scope="module")
def geocoder():
    with kavrel.Geocoder() as opened:
        yield opened


def random_points(count, seed):
    """Mostly near towns, some at sea, over the Japan box."""
    random = numpy.random.default_rng(seed)
    return numpy.round(random.uniform(31.0, 43.0, count), 6), numpy.round(random.uniform(130.0, 145.0, count), 6)


def reverse(server, **parameters):
    return requests.get(f"{server.base}/reverse", params=parameters, timeout=10)


def assert_same_place(got, answer):
    """An answer object of the server against the Python package's answer."""
    assert got["address"]["province"] == answer.prefecture
    assert got["address"].get("city", "") == answer.city
    assert got["address"].get("neighbourhood", "") == answer.area
    assert (float(got["lat"]), float(got["lon"])) == (answer.latitude, answer.longitude)
    assert got["distance"] == pytest.approx(answer.distance, abs=0.051)


def test_geopy_reads_tokyo_station_and_none_far_at_sea(server):
    nominatim = Nominatim(domain=server.address, scheme="http", user_agent="kavrel-tests")
    location = nominatim.reverse(TOKYO_STATION, exactly_one=True)
    assert location.address == "丸の内一丁目, 千代田区, 東京都, 日本"
    assert location.raw["address"]["ISO3166-2-lvl4"] == "JP-13"
    assert nominatim.reverse(FAR_AT_SEA, exactly_one=True) is None


@pytest.mark.parametrize("mode", ["nearest", "designed"])
def test_random_points_answer_as_the_python_package(server, geocoder, mode):
    lats, lons = random_points(2000, seed=19 if mode == "nearest" else 23)
    session = requests.Session()
    answered = 0
    for lat, lon in zip(lats, lons):
        reply = session.get(f"{server.base}/reverse", params={"lat": lat, "lon": lon, "mode": mode}, timeout=10)
        assert reply.status_code == 200
        answer = geocoder.lookup(lat, lon, mode=mode)
        if answer is None:
            assert reply.json() == {"error": "Unable to geocode"}
            continue
        assert_same_place(reply.json(), answer)
        answered += 1
    assert 0 < answered < len(lats)


def test_the_formats_share_one_place(server):
    jsonv2 = reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1], format="jsonv2").json()
    assert (jsonv2["category"], jsonv2["type"], jsonv2["addresstype"]) == ("place", "neighbourhood", "neighbourhood")
    assert jsonv2["name"] == "丸の内一丁目" and "CC BY 4.0" in jsonv2["licence"]
    plain = reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1]).json()
    assert plain == {key: value for key, value in jsonv2.items() if key not in ("category", "type", "addresstype")}

    geojson = reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1], format="geojson").json()
    assert geojson["type"] == "FeatureCollection" and len(geojson["features"]) == 1
    feature = geojson["features"][0]
    assert feature["geometry"] == {"type": "Point", "coordinates": [float(jsonv2["lon"]), float(jsonv2["lat"])]}
    assert feature["properties"]["display_name"] == jsonv2["display_name"]

    geocode = reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1], format="geocodejson").json()
    assert geocode["geocoding"]["version"] == "0.1.0"
    place = geocode["features"][0]["properties"]["geocoding"]
    assert (place["label"], place["state"], place["city"]) == (jsonv2["display_name"], "東京都", "千代田区")


@pytest.mark.parametrize("zoom, display_name", [
    (5, "東京都, 日本"), (10, "千代田区, 東京都, 日本"), (14, "丸の内一丁目, 千代田区, 東京都, 日本"),
])
def test_zoom_gives_coarser_places(server, zoom, display_name):
    got = reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1], zoom=zoom, addressdetails=1,
                  email="a@example.org", **{"accept-language": "en"}).json()
    assert got["display_name"] == display_name


def test_reach_and_search_parameters(server, geocoder):
    seoul = {"lat": 37.5665, "lon": 126.978}
    assert reverse(server, **seoul).json() == {"error": "Unable to geocode"}
    assert_same_place(reverse(server, **seoul, max_distance="inf").json(),
                      geocoder.lookup(*seoul.values(), mode="nearest", max_distance=math.inf))
    near = {"lat": 35.68, "lon": 139.76}
    assert reverse(server, **near, max_distance=1).json() == {"error": "Unable to geocode"}
    assert_same_place(reverse(server, **near, mode="designed", step=100, width=300).json(),
                      geocoder.lookup(*near.values(), step=100, width=300))


@pytest.mark.parametrize("parameters, named", [
    ({"lon": "139.7"}, "lat"),
    ({"lat": "35.6"}, "lon"),
    ({"lat": "abc", "lon": "139.7"}, "lat"),
    ({"lat": "nan", "lon": "139.7"}, "lat"),
    ({"lat": "35.6", "lon": "inf"}, "lon"),
    ({"lat": "91", "lon": "139.7"}, "lat"),
    ({"lat": "35.6", "lon": "139.7", "format": "xml"}, "format"),
    ({"lat": "35.6", "lon": "139.7", "mode": "closest"}, "mode"),
    ({"lat": "35.6", "lon": "139.7", "max_distance": "-5"}, "max_distance"),
    ({"lat": "35.6", "lon": "139.7", "step": "x"}, "step"),
    ({"lat": "35.6", "lon": "139.7", "zoom": "30"}, "zoom"),
])
def test_bad_parameters_get_400_naming_them(server, parameters, named):
    reply = reverse(server, **parameters)
    assert reply.status_code == 400
    error = reply.json()["error"]
    assert error["code"] == 400 and f"'{named}'" in error["message"]


def test_a_batch_of_100000_points_equals_lookup_many(server, geocoder):
    lats, lons = random_points(100_000, seed=29)
    body = "lat,lon\n" + "".join(f"{lat},{lon}\n" for lat, lon in zip(lats, lons))
    reply = requests.post(f"{server.base}/reverse", data=body.encode(), timeout=120)
    assert reply.status_code == 200 and reply.headers["Content-Type"].startswith("application/x-ndjson")
    lines = reply.text.splitlines()
    assert len(lines) == len(lats)
    columns = geocoder.lookup_many(lats, lons, mode="nearest")
    for i, line in enumerate(lines):
        got = json.loads(line)
        if not columns["found"][i]:
            assert got == {"error": "Unable to geocode"}
            continue
        assert got["address"].get("neighbourhood", "") == columns["area"][i]
        assert got["address"].get("city", "") == columns["city"][i]
        assert (float(got["lat"]), float(got["lon"])) == (columns["latitude"][i], columns["longitude"][i])
    assert 0 < columns["found"].sum() < len(lats)


def test_batch_formats_and_bodies(server, geocoder):
    pairs = [list(TOKYO_STATION), list(FAR_AT_SEA)]
    csv = requests.post(f"{server.base}/reverse?mode=designed", json=pairs, headers={"Accept": "text/csv"}, timeout=10)
    assert csv.text == ("lat,lon,prefecture,city,area,distance\n"
                        f"35.681236,139.767125,東京都,千代田区,丸の内一丁目,{geocoder.lookup(*TOKYO_STATION).distance:.1f}\n"
                        "32.000000,145.000000,,,,\n")
    array = requests.post(f"{server.base}/reverse?format=json", data=b"35.681236, 139.767125\r\n32,145\r\n",
                          timeout=10).json()
    assert array[0]["name"] == "丸の内一丁目" and array[1] == {"error": "Unable to geocode"}
    empty = requests.post(f"{server.base}/reverse", data=b"[]", timeout=10)
    assert empty.status_code == 200 and empty.text == ""


def test_batch_bodies_as_curl_sends_them(server):
    # curl --data-binary labels a body as a form; it is still the points.
    rows = "35.681236,139.767125\n" * 5000
    as_form = requests.post(f"{server.base}/reverse?format=csv", data=rows.encode(),
                            headers={"Content-Type": "application/x-www-form-urlencoded"}, timeout=30)
    assert as_form.status_code == 200 and as_form.text.count("丸の内一丁目") == 5000
    # A multipart upload is refused clearly, and the connection is not confused.
    upload = requests.post(f"{server.base}/reverse", files={"points": ("p.csv", rows)}, timeout=30)
    assert upload.status_code == 415 and "multipart" in upload.json()["error"]["message"]


def test_a_json_array_answer_sent_in_many_blocks_is_one_array(server):
    lats, lons = random_points(3_000, seed=31)
    pairs = [[lat, lon] for lat, lon in zip(lats, lons)]
    array = requests.post(f"{server.base}/reverse?format=json", json=pairs, timeout=60).json()
    assert len(array) == len(pairs)
    csv = requests.post(f"{server.base}/reverse?format=csv", json=pairs, timeout=60).text.splitlines()
    assert len(csv) == len(pairs) + 1 and csv[0] == "lat,lon,prefecture,city,area,distance"


@pytest.mark.parametrize("body, where", [
    (b"35.6,139.7\nabc,139.7\n", "line 2"),
    (b"35.6;139.7\n", "line 1"),
    (b"[[35.6, 139.7], [35.6]]", "offset"),
    (b"[[35.6, 139.7]", "offset"),
    (b"[[35.6, 139.7]] x", "offset"),
    (b"[[NaN, 139.7]]", "offset"),
    (b"35.6,139.7\n\xff\xfe,\x80\n", "line 2"),
])
def test_malformed_bodies_get_400_naming_the_place(server, body, where):
    reply = requests.post(f"{server.base}/reverse", data=body, timeout=10)
    assert reply.status_code == 400
    assert where in reply.json()["error"]["message"]


def raw_exchange(server, data, read=True):
    """Sends raw bytes on a new connection; returns what came back."""
    host, port = server.address.split(":")
    with socket.create_connection((host, int(port)), timeout=5) as connection:
        connection.sendall(data)
        if not read:
            return b""
        connection.shutdown(socket.SHUT_WR)
        received = b""
        while chunk := connection.recv(65536):
            received += chunk
        return received


def status_of(reply):
    return int(reply.split(b" ", 2)[1]) if reply.startswith(b"HTTP/1.1 ") else None


@pytest.fixture(scope="module")
def limited_server():
    running = Server("--max-body", "4096", "--max-points", "10")
    yield running
    running.close()


def test_hostile_requests_get_4xx_and_the_server_keeps_answering(limited_server):
    server = limited_server
    cases = [
        b"GET /reverse?lat=%zz&lon=%%%&&&=== HTTP/1.1\r\nHost: x\r\n\r\n",
        b"GET /reverse?lat=\xff\xfe&lon=\xc3\x28 HTTP/1.1\r\nHost: x\r\n\r\n",
        b"GET /reverse?lat=35&lon=139 HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 100_000 + b"\r\n\r\n",
        b"GET /" + b"a" * 100_000 + b" HTTP/1.1\r\nHost: x\r\n\r\n",
        b"POST /reverse HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n35.6,139.7\n",  # truncated
        b"POST /reverse HTTP/1.1\r\nHost: x\r\nContent-Length: 999999999\r\n\r\n35.6,139.7\n",
        b"POST /reverse HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\n\r\n[[1,2],[,",
        b"NONSENSE\r\n\r\n",
    ]
    for data in cases:
        status = status_of(raw_exchange(server, data))
        assert status is None or 400 <= status < 500, data[:60]
    too_many = requests.post(f"{server.base}/reverse", data="35.6,139.7\n" * 11, timeout=10)
    assert too_many.status_code == 413
    too_large = requests.post(f"{server.base}/reverse", data=b"35.6,139.7\n" * 1000, timeout=10)
    assert too_large.status_code == 413
    # A connection that sends nothing is closed after the read timeout and
    # holds no answer back from others meanwhile.
    host, port = server.address.split(":")
    silent = socket.create_connection((host, int(port)), timeout=5)
    assert reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1]).status_code == 200
    start = time.monotonic()
    assert silent.recv(1) == b""
    assert time.monotonic() - start < 3
    silent.close()
    assert reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1]).json()["name"] == "丸の内一丁目"


def test_status_and_metrics(server):
    assert requests.get(f"{server.base}/status", timeout=10).text == "OK"
    status = requests.get(f"{server.base}/status?format=json", timeout=10).json()
    assert status["message"] == "OK" and status["points"] > 200_000 and status["software_version"] == kavrel.version()
    reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1])
    metrics = requests.get(f"{server.base}/metrics", timeout=10).text
    assert 'kavrel_http_requests_total{route="/reverse",method="GET",status="200"}' in metrics
    assert "kavrel_request_duration_seconds_count" in metrics
    lookups = [line for line in metrics.splitlines() if line.startswith("kavrel_lookups_total ")]
    assert int(lookups[0].split()[1]) > 0


def test_cors_origin_is_sent_when_asked():
    running = Server("--cors", "https://maps.example.org")
    try:
        reply = reverse(running, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1])
        assert reply.headers["Access-Control-Allow-Origin"] == "https://maps.example.org"
        preflight = requests.options(f"{running.base}/reverse", timeout=10)
        assert preflight.status_code == 204
    finally:
        running.close()


def test_sigterm_finishes_and_exits_0_within_2_seconds():
    running = Server()
    try:
        keep_alive = requests.Session()
        assert keep_alive.get(f"{running.base}/status", timeout=10).text == "OK"
        status, seconds = running.stop()
        assert status == 0 and seconds < 2.0
    finally:
        running.close()


@pytest.mark.load
def test_a_bounded_concurrent_load_gives_no_errors(server, geocoder):
    lats, lons = random_points(2000, seed=31)
    expected = [geocoder.lookup(lat, lon, mode="nearest") for lat, lon in zip(lats, lons)]
    errors = []

    def client(offset):
        session = requests.Session()
        for k in range(2000):
            i = (k + offset) % len(lats)
            try:
                reply = session.get(f"{server.base}/reverse", params={"lat": lats[i], "lon": lons[i]}, timeout=10)
                got = reply.json()
                want = expected[i]
                if reply.status_code != 200 or (want is None) != ("error" in got) or (
                        want is not None and got["address"].get("neighbourhood", "") != want.area):
                    errors.append((i, reply.status_code, got))
            except Exception as failure:  # noqa: BLE001 - every failure counts as an error
                errors.append((i, repr(failure)))

    threads = [threading.Thread(target=client, args=(t * 125,)) for t in range(16)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert errors == []


def test_a_second_server_on_a_port_in_use_is_refused(server):
    second = subprocess.run([os.environ["KAVREL_SERVE"], "--listen", server.address, "--quiet"],
                            capture_output=True, text=True, timeout=10)
    assert second.returncode == 1
    assert f"cannot listen on {server.address}" in second.stderr
    assert reverse(server, lat=TOKYO_STATION[0], lon=TOKYO_STATION[1]).status_code == 200


def test_one_keep_alive_connection_serves_many_requests(server):
    with socket.create_connection((server.address.rsplit(":", 1)[0], int(server.address.rsplit(":", 1)[1])), timeout=10) as connection:
        reader = connection.makefile("rb")
        for _ in range(20):
            connection.sendall(b"GET /status HTTP/1.1\r\nHost: x\r\n\r\n")
            head = b""
            while not head.endswith(b"\r\n\r\n"):
                head += reader.readline()
            assert b"200 OK" in head and b"connection: close" not in head.lower()
            length = int(re.search(rb"(?i)content-length: *(\d+)", head).group(1))
            assert reader.read(length) == b"OK"
