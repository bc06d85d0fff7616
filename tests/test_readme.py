"""The README stays true: every gallery picture is what the `vok` command prints for its line, and the
lists of commands are what tools/gen_command_list.py and tools/gen_latex_commands.py make.
"""

import importlib.util
import re
import shlex
import subprocess
import sys
import textwrap
from types import SimpleNamespace

import pytest

import vok
import vok_latex
from conftest import ROOT

README = ROOT / "README.md"
GENERATOR = ROOT / "tools" / "gen_command_list.py"


def section(title: str) -> str:
    """The text of the README's `## title` section, up to the next `## ` heading."""
    text = README.read_text(encoding="utf-8")
    found = re.search(rf"^## {re.escape(title)}\n(.*?)(?=^## |\Z)", text, re.M | re.S)
    assert found, f"README.md has no section '## {title}'"
    return found.group(1)


def gallery(title: str) -> list[tuple[list[str], str]]:
    """A section's picture blocks: the command's arguments and the picture shown under them. A
    block fenced with four backticks shows a document, not a command's picture."""
    text = re.sub(r"^````text\n.*?^````$", "", section(title), flags=re.M | re.S)
    blocks = re.findall(r"^```text\n(.*?)^```$", text, re.M | re.S)
    items = []
    for block in blocks:
        command, _, picture = block.partition("\n")
        assert command.startswith("$ vok "), f"a gallery block starts with `$ vok ...`: {command}"
        items.append((shlex.split(command[2:])[1:], picture))
    return items


GALLERY = gallery("Gallery")
LATEX_GALLERY = gallery("LaTeX as people write it")
TERMINAL_GALLERY = gallery("Documents and terminals")


def test_the_gallery_shows_every_kind_of_picture():
    inputs = " ".join(arg for args, _ in GALLERY for arg in args)
    for construct in ["\\frac", "\\sqrt[", "\\sum_", "\\int_", "\\begin{", "\\left", "\\right",
                      "\\hat", "\\vec", "\\mathbb", "\\mathbf"]:
        assert construct in inputs, f"the gallery has no {construct}"


@pytest.mark.parametrize("args, picture", GALLERY + LATEX_GALLERY + TERMINAL_GALLERY,
                         ids=[" ".join(args) for args, _ in GALLERY + LATEX_GALLERY + TERMINAL_GALLERY])
def test_gallery_picture_is_what_vok_prints(vok_command, args, picture):
    *options, formula = args
    # The LaTeX dialect's options shown: --ascii, or --width N.
    keywords = {}
    if options[1:2] == ["--ascii"]:
        keywords = {"ascii": True}
    elif options[1:2] == ["--width"]:
        keywords = {"width": int(options[2])}
    assert options in ([], ["--latex"], ["--latex", "--ascii"]) or (
        options[:2] == ["--latex", "--width"] and len(options) == 3)
    done = subprocess.run([vok_command, *args], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    # On a mismatch this shows the block as it should read, to paste into the README.
    assert picture == done.stdout, f"\n$ vok {' '.join(options)} {shlex.quote(formula)}\n{done.stdout}"
    assert picture == (vok_latex.render(formula, **keywords) if options else vok.render(formula))
    assert picture.count("\n") >= 2  # a real two-dimensional picture


def test_the_document_example_prints_what_it_shows(capsys):
    text = section("Documents and terminals")
    code = re.search(r"^```python\n(.*?)^```$", text, re.M | re.S).group(1)
    shown = re.search(r"^````text\n(.*?)^````$", text, re.M | re.S).group(1)
    exec(code, {})
    assert capsys.readouterr().out == shown


def test_the_latex_command_list_is_current(vok_command):
    script = ROOT / "tools" / "gen_latex_commands.py"
    spec = importlib.util.spec_from_file_location("gen_latex_commands", script)
    generator = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(generator)
    rows = generator.commands()
    readme = README.read_text(encoding="utf-8")
    assert generator.replace_section(readme, generator.table(rows)) == readme, \
        "run: python3 tools/gen_latex_commands.py --write"
    assert generator.DOC.read_text(encoding="utf-8") == generator.document(rows)
    assert {name for name, _, _ in rows} >= {"\\leq", "\\text", "\\mathbb", "\\operatorname"}


def test_the_coverage_figures_are_current(full_corpus):
    script = ROOT / "tools" / "corpus_coverage.py"
    spec = importlib.util.spec_from_file_location("corpus_coverage", script)
    coverage = importlib.util.module_from_spec(spec)
    sys.modules[spec.name] = coverage  # its dataclass looks its module up there
    spec.loader.exec_module(coverage)
    text = (full_corpus / "formulas-real.txt").read_text("utf-8")
    formulas = [line for line in text.split("\n") if line]
    readme = README.read_text(encoding="utf-8")
    assert coverage.replace_section(readme, coverage.markdown(formulas, 12, 10)) == readme, \
        "run: python3 tools/corpus_coverage.py --write"


def generated() -> str:
    done = subprocess.run([sys.executable, str(GENERATOR)], capture_output=True, text=True,
                          timeout=60)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_the_command_list_is_generated_from_the_symbol_table():
    begin = ("<!-- commands: generated by tools/gen_command_list.py from src/vocabulary_rows.hpp; "
             "do not edit -->")
    listed = section("Commands")
    assert listed.count(begin) == 1 and listed.count("<!-- end of commands -->") == 1
    in_readme = listed.split(begin + "\n", 1)[1].split("<!-- end of commands -->", 1)[0]
    assert in_readme == generated(), "run: python3 tools/gen_command_list.py --write"


def entries(markdown: str) -> list[tuple[str, str, str]]:
    """The list's entries: the command's name, what follows it in its code span, what is shown."""
    found = []
    for line in markdown.splitlines():
        if line.startswith("- **"):
            for entry in line.split("**: ", 1)[1].split(", "):
                parts = re.fullmatch(r"`\\([A-Za-z]+)([^`]*)`(?: (.*))?", entry)
                assert parts, entry
                found.append((parts.group(1), parts.group(2), parts.group(3) or ""))
    return found


def shown(text: str) -> str:
    """The character an entry shows, as Markdown wrote it."""
    text = text.removesuffix(" (stretches)")
    if text == "(a blank)":
        return " "
    if text.startswith("`` ") and text.endswith(" ``"):
        return text[3:-3]
    if text.startswith("`") and text.endswith("`"):
        return text[1:-1]
    return text


ALPHABETS = {"bold", "double-struck", "upright", "italic", "sans-serif"}


def test_the_command_list_says_what_each_command_draws():
    text = generated()
    found = entries(text)
    names = [name for name, _, _ in found]
    assert len(names) == len(set(names)) == 147  # and "|", the name of a pair of bars
    assert text.startswith("147 commands")
    for name, usage, after in found:
        if usage == "{x}" and after in ALPHABETS:  # a math alphabet: all but upright change a
            assert (vok.render(f"\\{name}{{a}}") == "a\n") == (after == "upright"), name
        elif usage == "{x}" and after:  # an accent: its mark over the argument
            assert vok.render(f"\\{name}{{x}}").split("\n")[0] == shown(after), name
        elif usage:  # a structure, shown with its arguments: two-dimensional, or bars
            picture = vok.render(f"\\{name}{usage}")
            assert picture.count("\n") >= 2 or picture == "|x|\n", name
        elif after:  # a symbol
            assert vok.render(f"\\{name}") == shown(after) + "\n", name
        else:  # a function name, drawn as itself
            assert vok.render(f"\\{name}") == name + "\n", name


@pytest.fixture(scope="module")
def generator():
    spec = importlib.util.spec_from_file_location("gen_command_list", GENERATOR)
    module = importlib.util.module_from_spec(spec)
    sys.modules[spec.name] = module  # its dataclasses look their module up
    spec.loader.exec_module(module)
    yield module
    del sys.modules[spec.name]


def test_a_later_row_replaces_an_earlier_one():
    lines = generated().splitlines()
    assert [line.split("**")[1] for line in lines if "`\\lim" in line] == ["Structures"]


@pytest.mark.parametrize("row", ['symbol("foo")', 'mystery("foo", 1)',
                                 'structure("foo", "m", construct::nothing)',
                                 'alphabet("mathfoo", to_nothing)', 'word(foo)'])
def test_a_row_the_generator_cannot_read_is_an_error(generator, row):
    source = (ROOT / "src" / "vocabulary_rows.hpp").read_text(encoding="utf-8")
    anchor = 'symbol("dots", U\'⋯\'),'
    assert anchor in source
    with pytest.raises(ValueError):
        generator.generate(source.replace(anchor, anchor + " " + row + ","))


def test_the_opening_python_example_is_exact():
    text = README.read_text(encoding="utf-8")
    block = re.search(r"^```pycon\n(.*?)^```$", text, re.M | re.S)
    assert block, "README.md opens with a Python example"
    lines = block.group(1).split("\n")
    call = re.fullmatch(r'>>> print\(vok\.render\(r"(.*)"\), end=""\)', lines[1])
    assert lines[0] == ">>> import vok" and call
    assert "\n".join(lines[2:]) == vok.render(call.group(1))


class PanicException(BaseException):
    """What a broken invariant raises: a BaseException of this name, with the message."""


def raising(error: BaseException):
    def render(formula: str) -> str:
        raise error

    return render


def catching_example() -> str:
    """The Python API section's example of catching what render raises."""
    blocks = re.findall(r"^  ```python\n(.*?)^  ```$", section("Python API"), re.M | re.S)
    assert len(blocks) == 1, "the Python API section shows one Python example"
    return textwrap.dedent(blocks[0])


@pytest.mark.parametrize(
    "render, formula, picture",
    [
        (vok.render, "x^2", "x²\n"),
        (vok.render, "x^", "cannot draw this formula: Unexpected token at position 2: None\n"),
        (raising(PanicException("vok: internal error")), "x", "vok failed; please report this formula\n"),
    ],
    ids=["picture", "error", "panic"],
)
def test_the_example_of_catching_errors(render, formula, picture):
    names = {"vok": SimpleNamespace(render=render), "formula": formula}
    exec(catching_example(), names)
    assert names["picture"] == picture


@pytest.mark.parametrize("error", [KeyboardInterrupt(), SystemExit(3)], ids=["interrupt", "exit"])
def test_the_example_lets_other_base_exceptions_through(error):
    names = {"vok": SimpleNamespace(render=raising(error)), "formula": "x"}
    with pytest.raises(type(error)):
        exec(catching_example(), names)
