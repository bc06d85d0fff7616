"""The README stays true: every gallery picture is what the `vok` command prints for its line, and the
lists of commands are what tools/gen_command_list.py and tools/gen_latex_commands.py make.
"""

import importlib.util
import os
import re
import shlex
import subprocess
import sys
import textwrap
from pathlib import Path
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


def gallery(text: str) -> list[tuple[list[str], str]]:
    """The picture blocks of a text: the command's arguments and the picture shown under them. A
    block fenced with four backticks shows a document, not a command's picture."""
    text = re.sub(r"^````text\n.*?^````$", "", text, flags=re.M | re.S)
    blocks = re.findall(r"^```text\n(.*?)^```$", text, re.M | re.S)
    items = []
    for block in blocks:
        command, _, picture = block.partition("\n")
        if command.startswith("$ vok "):
            items.append((shlex.split(command[2:])[1:], picture))
    return items


GALLERY = gallery(section("Gallery"))
EVERY_PICTURE = gallery(README.read_text(encoding="utf-8"))


def test_the_gallery_shows_every_kind_of_picture():
    inputs = " ".join(arg for args, _ in GALLERY for arg in args)
    for construct in ["\\frac", "\\sqrt[", "\\sum_", "\\int_", "\\begin{", "\\left", "\\right",
                      "\\hat", "\\vec", "\\mathbb", "\\mathbf"]:
        assert construct in inputs, f"the gallery has no {construct}"
    assert len(EVERY_PICTURE) >= 20 and any("--exact" in args for args, _ in EVERY_PICTURE)


@pytest.mark.parametrize("args, picture", EVERY_PICTURE,
                         ids=[" ".join(args) for args, _ in EVERY_PICTURE])
def test_every_picture_is_what_vok_prints(vok_command, args, picture):
    *options, formula = args
    # The options shown: --exact, --ascii, or --width N.
    assert options in ([], ["--exact"], ["--ascii"]) or (options[:1] == ["--width"] and len(options) == 2)
    keywords = {"ascii": True} if options == ["--ascii"] else {}
    if options[:1] == ["--width"]:
        keywords = {"width": int(options[1])}
    done = subprocess.run([vok_command, *args], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    # On a mismatch this shows the block as it should read, to paste into the README.
    assert picture == done.stdout, f"\n$ vok {' '.join(options)} {shlex.quote(formula)}\n{done.stdout}"
    module = vok.render(formula) if options == ["--exact"] else vok_latex.render(formula, **keywords)
    assert picture == module
    assert picture.count("\n") >= 2  # a real two-dimensional picture


# Each Python example shown with what it prints, the block after it.
EXAMPLES = re.findall(r"^```python\n(.*?)^```\n\n````text\n(.*?)^````$",
                      section("Documents and terminals"), re.M | re.S)


@pytest.mark.parametrize("code, shown", EXAMPLES)
def test_the_document_examples_print_what_they_show(capsys, code, shown):
    assert len(EXAMPLES) == 2
    exec(code, {})
    assert capsys.readouterr().out == shown


def test_the_macro_example_prints_what_it_shows(capsys):
    [(code, shown)] = re.findall(r"^```python\n(.*?)^```\n\n````text\n(.*?)^````$",
                                 section("Macros"), re.M | re.S)
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


@pytest.fixture(scope="module")
def generator():
    spec = importlib.util.spec_from_file_location("gen_command_list", GENERATOR)
    module = importlib.util.module_from_spec(spec)
    sys.modules[spec.name] = module  # its named tuple looks its module up
    spec.loader.exec_module(module)
    yield module
    del sys.modules[spec.name]


def test_the_command_list_is_what_the_generator_makes(generator):
    listed = section("Commands")
    assert listed.count(generator.BEGIN) == 1 and listed.count(generator.END) == 1
    in_readme = listed.split(generator.BEGIN + "\n", 1)[1].split(generator.END, 1)[0]
    assert in_readme == generated(), "run: .venv/bin/python tools/gen_command_list.py --write"


def entries(markdown: str) -> list[tuple[str, str, str, str]]:
    """The list's entries: the group's title, the command's name, what follows the name in its
    code span, and what is shown after the span."""
    found = []
    for line in markdown.splitlines():
        if title := re.match(r"- \*\*(.+?)\*\* \(\d+\): ", line):
            for entry in line[title.end():].split(", "):
                parts = re.fullmatch(r"`\\([A-Za-z]+)([^`]*)`(?: (.*))?", entry)
                assert parts, entry
                found.append((title.group(1), parts.group(1), parts.group(2), parts.group(3) or ""))
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


def test_the_command_list_shows_every_command_vok_lists(generator):
    text = generated()
    names = [row.name for row in generator.commands()]
    assert text.startswith(f"{len(names)} commands, all that `vok --exact --commands` lists")
    assert sum(int(count) for count in re.findall(r"^- \*\*.+?\*\* \((\d+)\)", text, re.M)) \
        == len(names)
    for name in names:  # \right and \end are shown in the usage of \left and \begin
        assert re.search(rf"`[^`]*\\{name}(?![A-Za-z])", text), name


def test_the_command_list_says_what_each_command_draws():
    for title, name, usage, after in entries(generated()):
        if title == "Math alphabets":  # the sample letter in the alphabet
            assert vok.render(f"\\{name}{usage}") == after + "\n", name
        elif title == "Accents":  # the mark over the argument, as wide as it when it stretches
            assert vok.render(f"\\{name}{usage}").split("\n")[0] == shown(after), name
            assert (vok.render(f"\\{name}{{xy}}").split("\n")[0] == shown(after) * 2) \
                == after.endswith(" (stretches)"), name
        elif usage:  # a structure, or the limit word, as it is written: never drawn as its name
            picture = vok.render(f"\\{name}{usage}")
            assert picture.count("\n") >= 2 or name not in picture, name
        elif title == "Symbols":
            assert vok.render(f"\\{name}") == shown(after) + "\n", name
        else:  # a function name, drawn as itself
            assert (title, after) == ("Function names", ""), name
            assert vok.render(f"\\{name}") == name + "\n", name


@pytest.mark.parametrize(
    "change, row",
    [
        ("add", ("foo", "structure", "")),  # a structure with no usage
        ("add", ("foo", "mystery", "x")),  # a group the list has no title for
        ("add", ("foo", "symbol", "ab")),  # a symbol of two characters
        ("add", ("foo", "symbol", "")),
        ("remove", ("frac", "structure", "")),  # a usage shown for a command no longer listed
        ("remove", ("end", "structure", "")),
    ],
    ids=["structure", "group", "two characters", "no character", "usage", "paired"],
)
def test_a_command_the_generator_cannot_show_is_an_error(generator, change, row):
    rows = generator.commands()
    command = generator.Command(*row)
    assert (command in rows) == (change == "remove")
    rows = rows + [command] if change == "add" else [r for r in rows if r != command]
    with pytest.raises(ValueError):
        generator.generate(rows, vok.render)


@pytest.mark.parametrize("line", ["\\foo\tsymbol", "foo\tsymbol\tx", "\\foo\tsymbol\tx\ty"])
def test_a_line_the_generator_cannot_read_is_an_error(generator, line):
    assert generator.read_list("\\alpha\tsymbol\tα\n") == [("alpha", "symbol", "α")]
    with pytest.raises(ValueError):
        generator.read_list("\\alpha\tsymbol\tα\n" + line + "\n")


def test_the_opening_python_example_is_exact():
    text = README.read_text(encoding="utf-8")
    block = re.search(r"^```pycon\n(.*?)^```$", text, re.M | re.S)
    assert block, "README.md opens with a Python example"
    lines = block.group(1).split("\n")
    call = re.fullmatch(r'>>> print\(vok_latex\.render\(r"(.*)"\), end=""\)', lines[1])
    assert lines[0] == ">>> import vok_latex" and call
    assert "\n".join(lines[2:]) == vok_latex.render(call.group(1))


def test_the_first_command_draws_what_the_opening_example_shows(vok_command):
    text = README.read_text(encoding="utf-8")
    first = re.search(r"^```sh\n(.*?)\n(.*?)\n```$", text, re.M | re.S)
    install, tests = first.group(1), first.group(2)
    assert install.startswith("python3 -m venv .venv && .venv/bin/python -m pip install . && .venv/bin/vok ")
    assert tests == ("python3 -m venv .venv && .venv/bin/python -m pip install '.[test]' && "
                     ".venv/bin/python -m pytest")
    formula = shlex.split(install.split("&& .venv/bin/vok ", 1)[1])[0]
    done = subprocess.run([vok_command, formula], capture_output=True, text=True, timeout=60)
    assert done.stdout == vok_latex.render(formula) and "\n".join(
        re.search(r"^```pycon\n(.*?)^```$", text, re.M | re.S).group(1).split("\n")[2:]) == done.stdout


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


ONE_ROW = re.findall(r"^\| `(.+?)` \| `(.+?)` \| `(.+?)` \|$", section("Math in one row"), re.M)


def test_the_one_row_table_has_every_kind_of_formula():
    inputs = " ".join(formula for formula, _, _ in ONE_ROW)
    for construct in ["\\frac", "\\sqrt[", "\\sum_", "\\lim_", "\\int_", "\\begin{pmatrix}",
                      "\\begin{cases}", "\\vec", "\\binom", "\\xrightarrow", "\\mathbf"]:
        assert construct in inputs, f"the table has no {construct}"


@pytest.mark.parametrize("formula, line, ascii_line", ONE_ROW, ids=[f for f, _, _ in ONE_ROW])
def test_the_one_row_table_is_what_vok_writes(formula, line, ascii_line):
    assert vok_latex.render(formula, linear=True) == line + "\n"
    assert vok_latex.render(formula, linear=True, ascii=True) == ascii_line + "\n"


def test_the_security_example_draws_its_escape_sequence():
    example = re.search(r"escape sequences included \(`vok\.render\('(.*?)'\)`", section("Security"))
    formula = example.group(1).encode().decode("unicode_escape")
    assert "\x1b" in formula and "\x1b" in vok.render(formula)


def test_the_changelog_counts_the_commands_each_dialect_lists(vok_command):
    def listed(*options: str) -> int:
        done = subprocess.run([vok_command, *options, "--commands"], capture_output=True, text=True,
                              timeout=60)
        return len(done.stdout.splitlines())

    changelog = (ROOT / "CHANGELOG.md").read_text(encoding="utf-8")
    exact = re.search(r"(\d+) commands \((\d+) with `\\left`", changelog)
    latex = re.search(r"([\d,]+) commands \(the unicode-math symbol table", changelog)
    assert int(exact.group(2)) == listed("--exact") == int(exact.group(1)) + 4  # \right, \begin, \end
    assert int(latex.group(1).replace(",", "")) == listed()


def test_the_cpp_example_commands_build_the_example_program():
    blocks = re.findall(r"^```sh\n(.*?)^```$", section("The C++ library"), re.M | re.S)
    example = next(block for block in blocks if "examples" in block).strip()
    configure, build, program = [part.strip() for part in example.split("&&")]
    target = re.search(r"add_executable\((\w+)", (ROOT / "examples" / "CMakeLists.txt").read_text())
    assert configure.startswith("cmake -S examples -B build/example -DCMAKE_PREFIX_PATH=")
    assert build == "cmake --build build/example"
    assert shlex.split(program)[0] == f"build/example/{target.group(1)}"


def test_the_katex_coverage_figure_is_current(vok_command):
    done = subprocess.run([sys.executable, str(ROOT / "tools" / "katex_coverage.py")],
                          capture_output=True, text=True, timeout=300,
                          env={**os.environ, "PATH": f"{Path(vok_command).parent}{os.pathsep}{os.environ['PATH']}"})
    known, total = re.match(r"(\d+) of (\d+) names known", done.stdout).groups()
    said = re.search(r"tools/katex-functions\.txt, (\d+) names with\nthe environments\), "
                     r"`python3 tools/katex_coverage\.py` counts (\d+) known",
                     section("LaTeX as people write it"))
    assert said and said.groups() == (total, known), "run: python3 tools/katex_coverage.py"


def test_the_document_recipes_run(capsys):
    recipes = [code for code in re.findall(r"^```python\n(.*?)^```$", section("Documents and terminals"),
                                           re.M | re.S) if "def show" in code or "def checked" in code]
    assert len(recipes) == 2
    names: dict = {}
    for code in recipes:
        exec(code, names)
    names["show"]("a $x^2$ b\n")
    assert capsys.readouterr().out == vok_latex.render_markdown("a $x^2$ b\n")
    assert names["checked"]("$x$\n") == vok_latex.render_markdown("$x$\n")
    with pytest.raises(ValueError, match="^line 1, column 10: missing .}. for the .{.$"):
        names["checked"]("$\\frac{1}{2$\n")


def test_the_every_core_recipes_run(tmp_path, corpus):
    text = section("Every core").partition("\n### ")[0]
    batch, threads, processes = re.findall(r"^```python\n(.*?)^```$", text, re.M | re.S)
    names: dict = {}
    exec(batch, names)
    assert names["failed"] == eval(re.search(r"^# failed == (.*)$", batch, re.M).group(1))
    exec(threads, names)
    formulas = (corpus / "formulas-real.txt").read_text(encoding="utf-8").splitlines()[:3000]
    assert names["render_all"](formulas) == vok_latex.render_many(formulas, errors="none")
    # The process pool needs its function importable from a script of its own.
    script = tmp_path / "recipe.py"
    script.write_text(processes + "    print(pictures)\n", encoding="utf-8")
    done = subprocess.run([sys.executable, str(script)], capture_output=True, text=True,
                          timeout=120)
    assert (done.stdout, done.stderr) == (f"{[vok.render('{a}/{b}'), vok.render('x^2'), None]}\n", "")
