"""The distributions: the sdist made from this tree, the one stable-ABI wheel built from that sdist
(which shows the sdist holds what a build needs), the wheel's contents and metadata, and abi3audit
on both extension modules.

One sdist and one wheel build per run, about 15 s; `-m "not packaging"` leaves them out.
"""

import email.parser
import json
import subprocess
import sys
import tarfile
import zipfile
from importlib.metadata import version
from pathlib import Path

import pytest

from conftest import ROOT, tool

pytestmark = pytest.mark.packaging

VERSION = version("vok")
# Directory names and file endings that are build products or local environments, never sources.
NOT_SOURCES = {"build", "dist", "__pycache__", ".git", ".pytest_cache", ".mypy_cache", ".venv",
               "venv", ".hypothesis"}
PRODUCTS = (".so", ".o", ".a", ".pyc", ".whl", ".tar.gz")


def run(*command: str, cwd: Path | None = None) -> subprocess.CompletedProcess:
    done = subprocess.run(list(command), capture_output=True, text=True, cwd=cwd, timeout=900)
    assert done.returncode == 0, f"{' '.join(command)}\n{done.stdout}\n{done.stderr}"
    return done


@pytest.fixture(scope="module")
def sdist(tmp_path_factory) -> Path:
    out = tmp_path_factory.mktemp("sdist")
    run(sys.executable, "-m", "build", "--sdist", "--outdir", str(out), str(ROOT))
    built = list(out.iterdir())
    assert [path.name for path in built] == [f"vok-{VERSION}.tar.gz"]
    return built[0]


@pytest.fixture(scope="module")
def wheel(sdist, tmp_path_factory) -> Path:
    """The wheel, built from the sdist alone (no cache: always a real build)."""
    out = tmp_path_factory.mktemp("wheel")
    run(sys.executable, "-m", "pip", "wheel", "--no-deps", "--no-cache-dir", "--wheel-dir",
        str(out), str(sdist))
    built = list(out.iterdir())
    assert len(built) == 1, built
    return built[0]


def sdist_members(sdist: Path) -> set[str]:
    top = f"vok-{VERSION}/"
    with tarfile.open(sdist) as archive:
        names = {member.name for member in archive.getmembers() if member.isfile()}
    assert all(name.startswith(top) for name in names), names
    return {name.removeprefix(top) for name in names}


def test_sdist_holds_the_sources(sdist):
    members = sdist_members(sdist)
    needed = {"pyproject.toml", "CMakeLists.txt", "README.md", "LICENSE", "PKG-INFO",
              "cli/main.cpp", "binding/render_call.hpp", "binding/vok_module.cpp",
              "binding/vok_latex_module.cpp", "vok-stubs/__init__.pyi",
              "vok_latex-stubs/__init__.pyi",
              "examples/CMakeLists.txt", "examples/main.cpp"}
    needed |= {path.relative_to(ROOT).as_posix() for path in (ROOT / "src").rglob("*")
               if path.is_file()}
    assert needed <= members, sorted(needed - members)


def test_sdist_holds_no_build_products_or_environments(sdist):
    members = sdist_members(sdist)
    bad = sorted(name for name in members
                 if NOT_SOURCES & set(name.split("/")[:-1]) or name.startswith(".venv")
                 or name.endswith(PRODUCTS))
    assert not bad


def test_one_stable_abi_wheel_with_the_modules_the_command_and_the_stubs(wheel):
    assert wheel.name == f"vok-{VERSION}-cp312-abi3-linux_x86_64.whl"
    with zipfile.ZipFile(wheel) as archive:
        names = set(archive.namelist())
        license_text = archive.read(f"vok-{VERSION}.dist-info/licenses/LICENSE").decode()
    info = f"vok-{VERSION}.dist-info/"
    assert {name for name in names if not name.startswith(info)} == {
        "vok.abi3.so", "vok_latex.abi3.so", f"vok-{VERSION}.data/scripts/vok",
        "vok-stubs/__init__.pyi", "vok_latex-stubs/__init__.pyi"}
    assert {name.removeprefix(info) for name in names if name.startswith(info)} == {
        "METADATA", "WHEEL", "RECORD", "licenses/LICENSE"}
    assert "MIT License" in license_text
    assert "Copyright (c) 2026 the vok developers" in license_text


def test_wheel_metadata_is_complete(wheel):
    with zipfile.ZipFile(wheel) as archive:
        metadata = email.parser.Parser().parsestr(
            archive.read(f"vok-{VERSION}.dist-info/METADATA").decode())
    assert metadata["Name"] == "vok"
    assert metadata["Version"] == VERSION
    assert metadata["Summary"]
    assert metadata["License"] == "MIT"
    assert metadata["Requires-Python"] == ">=3.12"
    assert metadata["Description-Content-Type"] == "text/markdown"
    assert "## Gallery" in metadata.get_payload()  # the README is the long description
    assert {"math", "latex", "unicode"} <= set(metadata["Keywords"].split(","))
    assert {
        "License :: OSI Approved :: MIT License",
        "Operating System :: POSIX :: Linux",
        "Programming Language :: Python :: 3.12",
        "Programming Language :: Python :: 3.13",
        "Typing :: Typed",
    } <= set(metadata.get_all("Classifier"))
    assert metadata.get_all("Project-URL") is None  # none are known yet


def test_abi3audit_finds_only_the_stable_abi(wheel):
    audit = tool("abi3audit")
    assert audit, "abi3audit is a test requirement (pip install '.[test]')"
    done = run(audit, "--strict", "--report", str(wheel))
    report = json.loads(done.stdout)
    objects = report["specs"][str(wheel)]["wheel"]
    assert sorted(entry["name"] for entry in objects) == ["vok.abi3.so", "vok_latex.abi3.so"]
    for entry in objects:
        result = entry["result"]
        assert result["is_abi3"] and result["is_abi3_baseline_compatible"], entry["name"]
        assert result["baseline"] == "3.12", entry["name"]
        assert result["non_abi3_symbols"] == [], entry["name"]
        assert result["future_abi3_objects"] == {}, entry["name"]
