#!/usr/bin/env bash
# The Python package as pip installs it, offline, as the README says: into a
# venv made by Debian's Python with the system's setuptools and wheel
# (--system-site-packages, --no-build-isolation, --no-index), from the
# source tree. Then, from a folder outside it and with no PYTHONPATH, a
# lookup and lookup_many on the default package inside the installed
# package; and the same from a wheel (pip wheel) installed into a second,
# fresh venv.
#   python_wheel.sh SOURCE WORK PYTHON
set -euo pipefail
source=$1 work=$2 python=$3
rm -rf "$work"
mkdir -p "$work/elsewhere"
unset PYTHONPATH KAVREL_LIBRARY
export PIP_DISABLE_PIP_VERSION_CHECK=1 PYTHONDONTWRITEBYTECODE=1

check() {
  local venv=$1
  (cd "$work/elsewhere" && "$venv/bin/python" - "$venv") <<'CHECK'
import sys
from pathlib import Path

import kavrel

venv = Path(sys.argv[1]).resolve()
here = Path(kavrel.__file__).resolve().parent
assert venv in here.parents, f"kavrel imported from {here}, not from {venv}"
geocoder = kavrel.Geocoder()
answer = geocoder.lookup(35.681236, 139.767125)
print(answer)
assert (answer.prefecture, answer.city, answer.area) == ("東京都", "千代田区", "丸の内一丁目"), answer
found = geocoder.lookup_many([35.681236, 34.702485, 32.0], [139.767125, 135.495951, 138.0])
assert list(found["area"][:1]) == ["丸の内一丁目"] and list(found["city"][1:2]) == ["大阪市北区"], found
assert [bool(value) for value in found["found"]] == [True, True, False], found["found"]
from kavrel import _library
assert Path(_library.LIBRARY_PATH).resolve().parent == here, _library.LIBRARY_PATH
assert Path(_library.default_package()).resolve() == here / "kavreldata.bin", _library.default_package()
assert (here / "kavreldata-attribution.txt").is_file()
CHECK
}

"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --no-build-isolation --no-index "$source"
check "$work/venv"

"$work/venv/bin/python" -m pip wheel --no-build-isolation --no-index --no-deps -w "$work/wheels" "$source"
wheels=("$work"/wheels/kavrel-*-py3-none-linux_x86_64.whl)
[ -f "${wheels[0]}" ] || { echo "no wheel for this platform in $work/wheels: $(ls "$work/wheels")"; exit 1; }
"$python" -m venv --system-site-packages "$work/fresh"
"$work/fresh/bin/python" -m pip install --no-index "${wheels[0]}"
check "$work/fresh"
echo "wheel: ${wheels[0]##*/}"
rm -rf "$work"
