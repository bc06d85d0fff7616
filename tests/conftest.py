"""Shared fixtures: the installed `vok` command, the golden-file switch, the corpus beside the repo."""

import os
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
