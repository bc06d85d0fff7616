"""Shared fixtures: the installed `vok` command, the golden-file switch, the formula corpus."""

import bisect
import os
import re
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
    parser.addoption(
        "--packaging",
        action="store_true",
        help="run the packaging tests too: the sdist, the wheel built from it and the portable "
        "wheels (minutes, and their toolchain in build/)",
    )
    parser.addoption(
        "--engines",
        action="store_true",
        help="run the cluster engines' tests too: the README's Dask and Spark recipes (the "
        "`engines` extra installed, and Java for Spark)",
    )


# The tests that run only when asked for, each by its option: the suite stays quick.
ON_REQUEST = {"packaging": "--packaging", "engines": "--engines"}


def pytest_collection_modifyitems(config, items):
    """The packaging and engine tests run only when asked for (--packaging, --engines)."""
    left_out = {marker for marker, option in ON_REQUEST.items() if not config.getoption(option)}
    kept = [item for item in items if not any(item.get_closest_marker(name) for name in left_out)]
    if len(kept) < len(items):
        config.hook.pytest_deselected(items=[item for item in items if item not in kept])
        items[:] = kept


@pytest.fixture(scope="session")
def update_golden(request):
    return request.config.getoption("--update-golden")


def _ranges(name: str) -> list[tuple[int, int]]:
    """A table of code point ranges from the generated Unicode tables of the core."""
    text = (ROOT / "src" / "unicode_tables.inc").read_text(encoding="utf-8")
    body = text[text.index(f"{name}["):]
    body = body[: body.index("};")]
    return [(int(lo, 16), int(hi, 16)) for lo, hi in re.findall(r"\{0x([0-9A-F]+), 0x([0-9A-F]+)\}", body)]


_WIDE, _ZERO = _ranges("kWideRanges"), _ranges("kZeroWidthRanges")


def _within(ranges: list[tuple[int, int]], code: int) -> bool:
    at = bisect.bisect_right(ranges, (code, 0x10FFFF)) - 1
    return at >= 0 and ranges[at][0] <= code <= ranges[at][1]


def columns(row: str) -> int:
    """A row's display width, as the LaTeX dialect counts cells: two for a wide character, none
    for a mark joined to the character before it."""
    width = 0
    for ch in row:
        code = ord(ch)
        width += 1 if code < 0x300 else 0 if _within(_ZERO, code) else 2 if _within(_WIDE, code) else 1
    return width


def width_of(module):
    """How a module's rows are measured: in display columns for the LaTeX dialect, in characters
    for the exact markup."""
    return columns if module.__name__ == "vok_latex" else len


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
