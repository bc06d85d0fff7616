"""Shared fixtures: the installed `vok` command, the golden-file switch, the formula corpus."""

import os
import shutil
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent
IN_CI = os.environ.get("CI", "").lower() in ("1", "true", "yes")
# The real-formula corpus: the redistributable sample in the repository, and the full corpus, an
# optional extra beside the repository (or where VOK_CORPUS says).
SAMPLE = ROOT / "tests" / "corpus"
FULL_CORPUS = Path(os.environ.get("VOK_CORPUS") or ROOT.parent / "shared" / "corpus")


def pytest_addoption(parser):
    parser.addoption(
        "--update-golden",
        action="store_true",
        help="rewrite the expected pictures of tests/golden/*.txt from the current output",
    )


@pytest.fixture(scope="session")
def update_golden(request):
    return request.config.getoption("--update-golden")


def tool(name: str) -> str | None:
    """A program installed beside the running interpreter (the venv's bin), else on PATH."""
    return shutil.which(name, path=str(Path(sys.executable).parent)) or shutil.which(name)


@pytest.fixture(scope="session")
def vok_command():
    path = tool("vok")
    if path is None:
        pytest.fail("the `vok` command is not installed beside this interpreter")
    return path


def has_corpus(directory: Path) -> bool:
    return (directory / "formulas-real.txt").is_file()


@pytest.fixture(scope="session")
def corpus() -> Path:
    """The directory of formulas-real.txt and formulas-subset.txt: the full corpus where it is
    present, else the sample that every clone has."""
    return FULL_CORPUS if has_corpus(FULL_CORPUS) else SAMPLE


@pytest.fixture(scope="session")
def full_corpus() -> Path:
    """The full corpus, for the checks that need all of it; they skip without it, and fail when
    VOK_CORPUS names a directory that does not hold it."""
    if not has_corpus(FULL_CORPUS):
        if os.environ.get("VOK_CORPUS"):
            pytest.fail(f"VOK_CORPUS names no corpus: no {FULL_CORPUS}/formulas-real.txt")
        pytest.skip(f"the full formula corpus is not beside this clone ({FULL_CORPUS}); "
                    "the sample in tests/corpus is checked instead")
    return FULL_CORPUS


# Facilities that only some systems offer the tests, each with the reason its tests skip elsewhere.
LINUX = sys.platform.startswith("linux")


def linux_only(reason: str):
    return pytest.mark.skipif(not LINUX, reason=reason)


needs_linux_memory_cap = linux_only("the address-space cap (RLIMIT_AS) that makes memory run out "
                                    "is Linux's")
needs_proc = linux_only("the resident memory is read from Linux's /proc/self/statm")
needs_dev_full = pytest.mark.skipif(
    not Path("/dev/full").exists(), reason="no /dev/full, the device whose writes fail")
needs_posix = pytest.mark.skipif(
    os.name != "posix", reason="opening a directory as a file descriptor is POSIX")
