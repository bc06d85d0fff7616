"""Shared fixtures: the installed `vok` command, the golden-file switch, the corpus beside the repo."""

import bisect
import os
import re
import shutil
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent
CORPUS = ROOT.parent / "shared" / "corpus"
IN_CI = os.environ.get("CI", "").lower() in ("1", "true", "yes")


def pytest_addoption(parser):
    parser.addoption(
        "--update-golden",
        action="store_true",
        help="rewrite the expected pictures of tests/golden/*.txt from the current output",
    )


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


@pytest.fixture(scope="session")
def corpus():
    """The real-formula corpus; present beside the repository here and in CI, absent in a user's clone."""
    if not CORPUS.is_dir():
        if IN_CI:
            pytest.fail(f"the corpus must be present in CI: {CORPUS}")
        pytest.skip(f"the formula corpus is not beside this clone ({CORPUS})")
    return CORPUS
