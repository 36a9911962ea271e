"""The README's Python examples, run as written: each ```python block of its
Python section in a process of its own, from a folder holding the
points.csv that the pandas example reads."""

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import kavrel

README = Path(__file__).resolve().parents[2] / "README.md"
# The columns the pandas example names; latitude and longitude are also
# columns of lookup_many's answer, which the example must join around.
POINTS_CSV = "id,latitude,longitude\n1,35.681236,139.767125\n2,34.702485,135.495951\n3,32.0,138.0\n"


def python_blocks():
    text = README.read_text(encoding="utf-8")
    section = re.search(r"^## Python\n(.*?)^## ", text, re.S | re.M).group(1)
    return re.findall(r"^```python\n(.*?)^```", section, re.S | re.M)


def test_the_python_section_has_its_examples():
    blocks = python_blocks()
    assert len(blocks) == 3
    assert any("kavrel.search(" in block for block in blocks)
    assert any("as_frame=True" in block and "points.join" in block for block in blocks)


@pytest.mark.parametrize("number", range(3))
def test_a_readme_example_runs_as_written(tmp_path, number):
    block = python_blocks()[number]
    (tmp_path / "points.csv").write_text(POINTS_CSV, encoding="utf-8")
    package_folder = Path(kavrel.__file__).resolve().parent.parent
    environment = dict(os.environ, PYTHONPATH=str(package_folder), PYTHONIOENCODING="utf-8")
    result = subprocess.run([sys.executable, "-c", block], cwd=tmp_path, env=environment, capture_output=True,
                            text=True, encoding="utf-8", timeout=300)
    assert result.returncode == 0, result.stderr
    if "kavrel.search(" in block:
        lines = result.stdout.splitlines()
        assert "'area': '丸の内一丁目'" in lines[0] and lines[1] == "None"
    elif "points.join" in block:
        assert "千代田区" in result.stdout and "大阪市北区" in result.stdout and "NaN" in result.stdout
    else:
        assert "area='丸の内一丁目'" in result.stdout
