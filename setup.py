"""Builds the Python package kavrel (python/kavrel) with the kavrelcore
library and the default data package inside it, for pip:

    python3 -m pip install .

The library and the package come from a CMake build of this tree of their
own, in setuptools' build folder (build/python-wheel), with the tests and the
benchmarks off. The wheel holds a native library but no Python extension, so
it is tagged for any Python 3 on this platform."""

import os
import re
import shutil
import subprocess
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

ROOT = Path(__file__).resolve().parent


def project_version():
    """The version that project() in CMakeLists.txt gives the library."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"^project\(kavrel VERSION ([0-9.]+)", text, re.M).group(1)


class BuildWithLibrary(build_py):
    """build_py, then the library, its file name (_build.py) and the default
    package with its attribution, built by CMake, copied into the package."""

    def run(self):
        super().run()
        build = Path(self.get_finalized_command("build").build_temp).resolve() / "cmake"
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), *generator, "-DCMAKE_BUILD_TYPE=Release",
                        "-DKAVREL_BUILD_TESTS=OFF", "-DKAVREL_BUILD_BENCH=OFF"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--parallel", str(os.cpu_count() or 1),
                        "--target", "kavrelcore", "default_package", "python_package"], check=True)
        generated = build / "python" / "kavrel" / "_build.py"
        library = re.search(r'LIBRARY_NAME = "([^"]+)"', generated.read_text(encoding="utf-8")).group(1)
        target = Path(self.build_lib) / "kavrel"
        # copyfile follows the soname link: the wheel holds the file itself.
        for source in (generated, build / "bin" / library, build / "bin" / "kavreldata.bin",
                       build / "bin" / "kavreldata-attribution.txt"):
            shutil.copyfile(source, target / source.name)


class PlatformWheel(bdist_wheel):
    """A wheel for this platform (it holds the library) and any Python 3
    (the library is loaded through ctypes, not as an extension)."""

    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        _, _, platform = super().get_tag()
        return "py3", "none", platform


setup(version=project_version(), cmdclass={"build_py": BuildWithLibrary, "bdist_wheel": PlatformWheel})
