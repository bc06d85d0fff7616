"""Builds the C++ unit tests of the core with CMake and runs them.

They reach what `vok.render` cannot show: the token stream with its byte ranges, token text forms
for every escape, the end-of-input tail, and the layout operations on nodes that no formula builds.
The nesting tests run against the core built again with its nesting limit lowered, so that small
inputs reach it.
"""

import subprocess
import sys

import pytest

from conftest import ROOT, tool

pytestmark = pytest.mark.toolchain


def test_core_unit_tests():
    cmake = tool("cmake")
    assert cmake, "cmake is a test requirement (pip install '.[test]')"
    build = ROOT / "build" / "core-tests"
    # Unoptimised, with the standard library's assertions; without debugging information, which
    # only slows the build down here.
    configure = [cmake, "-S", str(ROOT), "-B", str(build), "-DVOK_BUILD_TESTS=ON",
                 "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=",
                 "-DCMAKE_CXX_FLAGS=-D_GLIBCXX_ASSERTIONS"]
    ninja = tool("ninja")
    if ninja and not (build / "CMakeCache.txt").exists():
        configure += ["-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}"]
    build_step = [cmake, "--build", str(build), "--target", "core_tests", "nesting_tests"]
    for step in (configure, build_step):
        done = subprocess.run(step, capture_output=True, text=True)
        assert done.returncode == 0, f"{' '.join(step)}\n{done.stdout}\n{done.stderr}"

    for program in ("core_tests", "nesting_tests"):
        run = subprocess.run([str(build / "tests" / "cpp" / program)], capture_output=True,
                             text=True)
        sys.stdout.write(run.stdout)
        assert run.returncode == 0, run.stderr + run.stdout
