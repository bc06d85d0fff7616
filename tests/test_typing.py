"""The installed type stubs: mypy in strict mode accepts typed uses of vok.render and
vok_latex.render and reports misuse, and stubtest finds each stub equal to its module."""

import re
import subprocess
import sys
from importlib.metadata import files

import pytest

GOOD = '''\
import vok
import vok_latex
from vok import render
from vok_latex import __version__, render as render_latex


def rows(formula: str) -> list[str]:
    return vok.render(formula).splitlines()


picture: str = render(input="x^2")
names: list[str] = vok.__all__
latex_rows: list[str] = vok_latex.render(r"\frac12").splitlines()
latex_picture: str = render_latex(input="x", width=40, ascii=True)
document: str = vok_latex.render_markdown("$x$", width=None)
problems: list[tuple[int, int, str]] = []
plain: str = vok_latex.render_markdown(
    "$x$", inline="source", plain=True,
    on_problem=lambda line, column, message: problems.append((line, column, message)))
batch: list[str | ValueError] = vok_latex.render_many(["x", "y"], width=40)
cells: list[str | None] = vok_latex.render_many(iter(["x"]), errors="none")
strict: list[str] = vok_latex.render_many(("x",), errors="raise", linear=True)
latex_names: list[str] = vok_latex.__all__
version: str = __version__
'''

# Each misuse, and the mypy error code that must be reported for it.
MISUSES = {
    "vok.render(1)": "arg-type",
    "vok.render(b'x')": "arg-type",
    "vok.render(None)": "arg-type",
    "count: int = vok.render('x')": "assignment",
    "vok.render()": "call-arg",
    "vok.render('a', 'b')": "call-arg",
    "vok.render(text='a')": "call-arg",
    "vok.draw('a')": "attr-defined",
    "vok.__version__": "attr-defined",  # only vok_latex has it
    "vok_latex.render(1)": "arg-type",
    "vok_latex.render(None)": "arg-type",
    "count: int = vok_latex.render('x')": "assignment",
    "count: int = vok_latex.__version__": "assignment",
    "vok_latex.render()": "call-arg",
    "vok_latex.render('a', 2)": "call-arg",
    "vok_latex.render('a', width='3')": "arg-type",
    "vok_latex.render_markdown(b'x')": "arg-type",
    "vok_latex.render_markdown('x', inline='rows')": "arg-type",
    "vok_latex.render_markdown('x', on_problem=len)": "arg-type",
    "vok_latex.render(text='a')": "call-arg",
    "vok_latex.render_many([1])": "list-item",
    "vok_latex.render_many(['x'], errors='skip')": "call-overload",
    "pictures: list[str] = vok_latex.render_many(['x'])": "assignment",
    "vok_latex.draw('a')": "attr-defined",
}


@pytest.fixture(scope="module")
def mypy_report(tmp_path_factory):
    """One strict mypy run over the good snippet and one file per misuse: {file stem: [codes]}."""
    work = tmp_path_factory.mktemp("typing")
    (work / "good_use.py").write_text(GOOD)
    stems = {}
    for index, misuse in enumerate(MISUSES):
        stem = f"misuse_{index}"
        (work / f"{stem}.py").write_text(f"import vok\nimport vok_latex\n\n{misuse}\n")
        stems[stem] = misuse
    done = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--show-error-codes",
         "--no-error-summary", "--cache-dir", str(work / ".mypy_cache"), "good_use.py",
         *(f"{stem}.py" for stem in stems)],
        capture_output=True, text=True, cwd=work, timeout=600,
    )
    assert "No module named mypy" not in done.stderr, "mypy is a test requirement"
    assert done.returncode in (0, 1), done.stdout + done.stderr
    report: dict[str, list[str]] = {}
    for line in done.stdout.splitlines():
        if re.match(r"\w+\.py:\d+: note: ", line):
            continue
        found = re.match(r"(\w+)\.py:\d+: error: .*\[([\w-]+)\]$", line)
        assert found, f"unexpected mypy output: {line}"
        report.setdefault(found.group(1), []).append(found.group(2))
    return stems, report, done.stdout


def test_the_stubs_are_installed_beside_the_modules():
    installed = {str(path) for path in files("vok") or []}
    assert {"vok-stubs/__init__.pyi", "vok_latex-stubs/__init__.pyi"} <= installed


def test_typed_use_passes_strict_mypy(mypy_report):
    _, report, output = mypy_report
    assert "good_use" not in report, output


@pytest.mark.parametrize("misuse", list(MISUSES))
def test_misuse_is_reported(mypy_report, misuse):
    stems, report, output = mypy_report
    stem = next(stem for stem, text in stems.items() if text == misuse)
    assert report.get(stem) == [MISUSES[misuse]], output


@pytest.mark.parametrize("module", ["vok", "vok_latex"])
def test_the_stub_matches_the_module(tmp_path, module):
    """mypy's stubtest compares the installed stub with the imported module: names, __all__ and
    render's parameters (from its text signature)."""
    done = subprocess.run([sys.executable, "-m", "mypy.stubtest", module], capture_output=True,
                          text=True, cwd=tmp_path, timeout=600)
    assert done.returncode == 0, done.stdout + done.stderr
    assert "Success" in done.stdout
