"""Builds the package ld952 with the checker's shared library inside it, made from the source
tree around this folder by CMake (a C++20 compiler and CMake 3.25 are needed):

    pip install --no-build-isolation ./python

The library is built in python/build/cmake, or in the configured build folder whose absolute
path LD952_CMAKE_BUILD gives ($PWD/build/release, say), where it may already be up to date."""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
SONAME = "libld952.so.0"


def version():
    """The project's version, as CMakeLists.txt declares it."""
    try:
        text = (ROOT / "CMakeLists.txt").read_text()
    except OSError:
        sys.exit(f"ld952: no CMakeLists.txt in {ROOT}: the package is built inside the source "
                 "tree (pip 21.3 or later builds a local folder in place)")
    found = re.search(r"project\(ld952 VERSION ([0-9.]+)", text)
    if found is None:
        sys.exit(f"ld952: {ROOT / 'CMakeLists.txt'} declares no version")
    return found.group(1)


def run(*command):
    print(" ".join(map(str, command)), flush=True)
    subprocess.run(command, check=True)


class BuildWithLibrary(build_py):
    """Puts libld952.so.0 beside the module."""

    def run(self):
        super().run()
        build = os.environ.get("LD952_CMAKE_BUILD")
        if build:
            build = pathlib.Path(build)
            if not (build / "CMakeCache.txt").is_file():
                sys.exit(f"ld952: LD952_CMAKE_BUILD={build} is no configured build folder "
                         f"(seen from {pathlib.Path.cwd()}: give its absolute path)")
        else:
            build = HERE / "build" / "cmake"
            run("cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DKUF_TESTS=OFF",
                "-DKUF_SHARED=ON")
        run("cmake", "--build", build, "--target", "ld952_shared", "-j", str(os.cpu_count() or 1))
        library = build / "lib" / SONAME
        target = pathlib.Path(self.build_lib, "ld952", SONAME)
        shutil.copyfile(library, target)  # the file itself, not the link
        os.chmod(target, 0o755)


class WithLibrary(Distribution):
    """A wheel for this platform: it holds machine code."""

    def has_ext_modules(self):
        return True


cmdclass = {"build_py": BuildWithLibrary}
try:  # the library is loaded by ctypes, so any Python 3 of the platform can use the wheel
    from wheel.bdist_wheel import bdist_wheel

    class PlatformWheel(bdist_wheel):
        def get_tag(self):
            return ("py3", "none", super().get_tag()[2])

    cmdclass["bdist_wheel"] = PlatformWheel
except ImportError:
    pass

setup(version=version(), cmdclass=cmdclass, distclass=WithLibrary)
