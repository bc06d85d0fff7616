"""The C++ library as C++ users get it: installed with CMake into a prefix, found with
find_package(vok), linked as vok::vok by the program in examples/.

All of it with the oldest CMake the project names (cmake_minimum_required), installed from PyPI
into build/cmake-X.Y once: the minimum the README states is the one that is tested.
"""

import re
import subprocess
import sys
from importlib.metadata import version
from pathlib import Path

import pytest

import vok
from conftest import IN_CI, ROOT, tool

pytestmark = pytest.mark.toolchain


def minimum_cmake(cmake_lists: Path) -> str:
    """The version a CMakeLists.txt asks for at least: "3.21" of cmake_minimum_required(VERSION
    3.21...3.26)."""
    found = re.search(r"^cmake_minimum_required\(VERSION (\d+\.\d+)[.)]", cmake_lists.read_text(),
                      re.M)
    assert found, f"{cmake_lists} names no minimum CMake"
    return found.group(1)


MINIMUM = minimum_cmake(ROOT / "CMakeLists.txt")

# The example is built with the warnings as errors: the public header must be clean for users too.
STRICT = "-Wall -Wextra -Wpedantic -Werror"


def cmake_run(*args: str, cwd: Path | None = None) -> subprocess.CompletedProcess:
    done = subprocess.run(list(args), capture_output=True, text=True, cwd=cwd)
    assert done.returncode == 0, f"{' '.join(args)}\n{done.stdout}\n{done.stderr}"
    return done


def configure(cmake: str, source: Path, build: Path, *defines: str) -> None:
    command = [cmake, "-S", str(source), "-B", str(build), *defines]
    ninja = tool("ninja")
    if ninja and not (build / "CMakeCache.txt").exists():
        command += ["-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}"]
    cmake_run(*command)


@pytest.fixture(scope="module")
def cmake():
    """The newest release of the minimum CMake series, in a venv of its own kept between runs."""
    venv = ROOT / "build" / f"cmake-{MINIMUM}"
    path = venv / "bin" / "cmake"
    if not path.exists():
        command = [sys.executable, "-m", "venv", str(venv)]
        install = [str(venv / "bin" / "python"), "-m", "pip", "install", "--quiet",
                   "--disable-pip-version-check", f"cmake=={MINIMUM}.*"]
        for step in (command, install):
            done = subprocess.run(step, capture_output=True, text=True, timeout=600)
            if done.returncode != 0:
                reason = f"CMake {MINIMUM} could not be installed from PyPI: {done.stderr[-500:]}"
                if IN_CI:
                    pytest.fail(reason)
                pytest.skip(reason)
    done = cmake_run(str(path), "--version")
    assert done.stdout.startswith(f"cmake version {MINIMUM}."), done.stdout
    return str(path)


def test_every_cmake_project_asks_for_the_same_minimum():
    """The library, its example and the README agree on the oldest CMake."""
    assert minimum_cmake(ROOT / "examples" / "CMakeLists.txt") == MINIMUM
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    assert f"CMake {MINIMUM} or later" in readme


@pytest.fixture(scope="module")
def prefix(cmake, tmp_path_factory):
    """The core installed into a fresh prefix (the build directory is kept between runs)."""
    build = ROOT / "build" / f"cpp-package-cmake-{MINIMUM}"
    # Unoptimised: the package is what is tested, and the build is quicker so.
    configure(cmake, ROOT, build, "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=")
    cmake_run(cmake, "--build", str(build))
    installed = tmp_path_factory.mktemp("prefix")
    cmake_run(cmake, "--install", str(build), "--prefix", str(installed))
    return installed


@pytest.fixture(scope="module")
def example(cmake, prefix, tmp_path_factory):
    """examples/ configured against the prefix and built; the path of its program."""
    build = tmp_path_factory.mktemp("example")
    configure(cmake, ROOT / "examples", build, f"-DCMAKE_PREFIX_PATH={prefix}",
              f"-DCMAKE_CXX_FLAGS={STRICT}")
    cmake_run(cmake, "--build", str(build))
    return build / "render_formula"


def installed_files(prefix: Path) -> set[str]:
    return {path.relative_to(prefix).as_posix() for path in prefix.rglob("*") if path.is_file()}


def test_the_prefix_holds_the_library_header_package_and_command(prefix):
    files = installed_files(prefix)
    libdir = next(path.parent.parent.parent for path in prefix.rglob("vokConfig.cmake"))
    lib = libdir.relative_to(prefix).as_posix()
    assert {"include/vok/vok.hpp", f"{lib}/libvok.a", f"{lib}/cmake/vok/vokConfig.cmake",
            f"{lib}/cmake/vok/vokConfigVersion.cmake", f"{lib}/cmake/vok/vokTargets.cmake",
            "bin/vok"} <= files
    # Only the public header: the core's internal headers stay private.
    assert {name for name in files if name.endswith((".hpp", ".h"))} == {"include/vok/vok.hpp"}
    # Nothing of Python comes with the C++ package.
    assert not [name for name in files if ".abi3." in name or name.endswith((".py", ".pyi"))]


@pytest.mark.parametrize(
    "formula",
    ["\\frac{a}{b}", "\\sum_{i=1}^{n} {i^2}", "\\begin{pmatrix} a & b \\\\ c & d \\end{pmatrix}",
     "\\mathbb{R}^3", "", "\\sqrt[3]{\\frac{x}{2}}"],
)
def test_the_example_prints_what_the_module_renders(example, formula):
    done = subprocess.run([str(example), formula], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout, done.stderr) == (0, vok.render(formula), "")


def test_the_example_draws_its_own_formula_without_an_argument(example):
    done = subprocess.run([str(example)], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0
    assert done.stdout == vok.render("\\sum_{i=1}^{n} {i} = \\frac{n(n+1)}{2}")


def test_the_example_reports_an_error_from_the_library(example):
    done = subprocess.run([str(example), "x^"], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (1, "")
    assert done.stderr == "render_formula: Unexpected token at position 2: None\n"


def test_the_installed_command_is_the_same_command(prefix):
    done = subprocess.run([str(prefix / "bin" / "vok"), "--version"], capture_output=True,
                          text=True, timeout=60)
    assert (done.returncode, done.stdout) == (0, f"vok {version('vok')}\n")


PROBE = f"""cmake_minimum_required(VERSION {MINIMUM})
project(probe NONE)
find_package(vok ${{WANTED}} QUIET)
message(STATUS "found=${{vok_FOUND}} version=${{vok_VERSION}}")
"""


@pytest.mark.parametrize(
    "wanted, found",
    [
        ("", True),
        ("0.1", True),  # same minor version: compatible
        ("0.0.1", False),  # before 1.0 another minor version may change the interface
        ("0.2", False),
        ("1.0", False),
    ],
)
def test_find_package_checks_the_version(cmake, prefix, tmp_path, wanted, found):
    (tmp_path / "CMakeLists.txt").write_text(PROBE)
    done = cmake_run(cmake, "-S", str(tmp_path), "-B", str(tmp_path / "build"),
                     f"-DCMAKE_PREFIX_PATH={prefix}", f"-DWANTED={wanted}")
    expected = f"found={1 if found else 0} version={version('vok') if found else ''}"
    assert expected in done.stdout, done.stdout
