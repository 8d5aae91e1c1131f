"""Builds the extension module shindo._core with the project's CMake build.

pyproject.toml holds the package's description; this file gives it the
project's version and hands the module's build to CMake: it configures the project for the interpreter that
runs it (tests and benchmarks off), builds the target shindo_python_package
and places the module where setuptools packs it.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = Path(__file__).resolve().parent
# The one version of the project, in its CMakeLists.txt.
VERSION = re.search(r"project\(shindo VERSION ([0-9.]+)", (SOURCE / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        cmake = shutil.which("cmake")
        if cmake is None:
            raise RuntimeError("building shindo needs CMake 3.25 or later (Debian package cmake)")
        import pybind11

        build = Path(self.build_temp).resolve() / "cmake"
        subprocess.run(
            [
                cmake, "-S", str(SOURCE), "-B", str(build),
                f"-DPython3_EXECUTABLE={sys.executable}",
                f"-Dpybind11_DIR={pybind11.get_cmake_dir()}",
                "-DSHINDO_PYTHON=ON", "-DSHINDO_TESTS=OFF", "-DSHINDO_BENCH=OFF",
            ],
            check=True,
        )
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run([cmake, "--build", str(build), "--target", "shindo_python_package", "-j", jobs], check=True)
        built = sorted((build / "python" / "shindo").glob("_core.*"))
        if not built:
            raise RuntimeError(
                "CMake left the Python module out: it needs the Python headers (Debian package python3-dev) "
                "and pybind11 (python3-pybind11)"
            )
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


setup(version=VERSION, ext_modules=[Extension("shindo._core", sources=[])], cmdclass={"build_ext": CMakeBuild})
