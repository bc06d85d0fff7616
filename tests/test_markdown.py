"""The math of Markdown documents: vok_latex.render_markdown and `vok --markdown`.

Table-driven: a document in, the document out. Display math becomes a fenced text block, inline
math its one-row picture, and everything that is not math comes out byte for byte. A formula that
cannot be drawn is a problem named by its line and column in the document.
"""

import os
import subprocess

import pytest

import vok_latex
from conftest import linux_only, needs_posix

# A picture in its fenced text block, as display math becomes; inside containers every line but
# the first starts with their markers.
def block(formula: str, markers: str = "") -> str:
    rows = "".join(markers + row + "\n" for row in vok_latex.render(formula).split("\n")[:-1])
    return "```text\n" + rows + markers + "```\n"


CASES = [
    # Inline math: a one-row picture takes the formula's place, a taller one leaves it as written.
    ("inline", "Let $x^2 + y^2$ be.\n", "Let x² + y² be.\n"),
    ("inline parentheses", "so \\(\\alpha \\leq \\beta\\).\n", "so α ≤ β.\n"),
    ("inline and tall, in one row", "a $\\frac{1}{2a}$ b\n", "a 1/(2a) b\n"),
    # Dollars that are not math: a blank after the opener or before the closer, a digit after it,
    # an escaped dollar.
    ("prices", "It costs $5 and $10.\n", "It costs $5 and $10.\n"),
    ("blank inside", "a $ x$ and $x $ b\n", "a $ x$ and $x $ b\n"),
    ("escaped", "\\$x\\$ and \\$5\n", "\\$x\\$ and \\$5\n"),
    # Code is never touched.
    ("code span", "`$x$` and $y$\n", "`$x$` and y\n"),
    ("double backticks", "``a ` $x$`` $y$\n", "``a ` $x$`` y\n"),
    ("fenced code", "```\n$x$\n```\n", "```\n$x$\n```\n"),
    ("tilde fence", "~~~ python\n$$x$$\n~~~\n", "~~~ python\n$$x$$\n~~~\n"),
    ("indented code", "text\n\n    $x$\n", "text\n\n    $x$\n"),
    ("unclosed fence", "```\n$x$\n", "```\n$x$\n"),
    # Display math becomes a block of its own lines.
    ("display", "$$\\sqrt{2}$$\n", block("\\sqrt{2}")),
    ("display on lines", "$$\n\\frac{a}{b}\n$$\n", block("\\frac{a}{b}")),
    ("brackets", "\\[\\frac{a}{b}\\]\n", block("\\frac{a}{b}")),
    ("within a line", "see \\[x^2\\] here\n", "see \n" + block("x^2") + "here\n"),
    ("math fence", "```math\n\\frac{a}{b}\n```\n", block("\\frac{a}{b}")),
    # The fence is longer than any run of backticks in the picture, which would close it.
    ("backticks in a picture", "$$\\texttt{```}$$\nafter $x$\n", "````text\n```\n````\nafter x\n"),
    ("latex fence", "```latex\nx^2\n```\n", block("x^2")),
    # Equation numbers run on through the document, as in TeX.
    ("numbers run on", "$$\\begin{equation} a \\end{equation}$$\n\n$$\\begin{gather} b \\\\ c \\end{gather}$$\n",
     "```text\na    (1)\n```\n\n```text\nb    (2)\nc    (3)\n```\n"),
    ("environment", "\\begin{align}\na &= b \\\\\nc &= d\n\\end{align}\n",
     block("\\begin{align}\na &= b \\\\\nc &= d\n\\end{align}")),
    ("other environment", "\\begin{itemize}\nx\n\\end{itemize}\n",
     "\\begin{itemize}\nx\n\\end{itemize}\n"),
    # A formula that cannot be drawn stays as written.
    ("inline error", "a $x^$ b\n", "a $x^$ b\n"),
    ("display error", "$$\\frac{a$$\n", "$$\\frac{a$$\n"),
    # Text outside math, byte for byte: line ends, tabs, other scripts, no final line feed.
    ("untouched", "a\r\n\tb 中文 $x$\r\n", "a\r\n\tb 中文 x\r\n"),
    ("display ending a CRLF line", "a $$x$$\r\nb\r\n", "a \n" + block("x") + "b\r\n"),
    ("no final line feed", "end $x$", "end x"),
    ("empty", "", ""),
    # Block quotes and list items: code in them is code, a fence ends with its container, and a
    # formula holds none of their markers.
    ("fence in a list item", "1. ```\n   $x^2$\n   ```\n", "1. ```\n   $x^2$\n   ```\n"),
    ("indented code in a quote", ">     $x^2$\n", ">     $x^2$\n"),
    ("tabs to indented code", ">\t\t$x$\n", ">\t\t$x$\n"),
    ("item holding indented code", "-     $x$\n", "-     $x$\n"),
    ("indented code after a break", "* * *\n    $x$\n", "* * *\n    $x$\n"),
    ("fence ends with its quote", "> ```\n$x$\n", "> ```\nx\n"),
    ("inline across quoted lines", "> a $x +\n> y$ b\n", "> a x + y b\n"),
    ("a heading ends a paragraph", "a $x\n# b$\n", "a $x\n# b$\n"),
    ("2. goes on with a paragraph", "text $x\n2. y$\n", "text x2.y\n"),
    ("but not with an item's", "1. a\n2. $$x$$\n3. c\n", "1. a\n2. " + block("x", "   ") + "3. c\n"),
    ("display lines are no items", "$$\n\\begin{aligned}\na &= b \\\\\n  + c\n\\end{aligned}\n$$\n",
     block("\\begin{aligned}\na &= b \\\\\n  + c\n\\end{aligned}")),
    ("deeper than 16 is text", ">" * 100 + " $x$\n", ">" * 100 + " x\n"),
    ("fence after a tab's column", "1. a\n\n\t~~~\n   $x$\n   ~~~\n", "1. a\n\n\t~~~\n   $x$\n   ~~~\n"),
    ("an empty item ends at a blank", "1.\n\n     $x$\n", "1.\n\n     $x$\n"),
    ("an underline ends a paragraph", "a $x\n=\nb$ $y$\n", "a $x\n=\nb$ y\n"),
    # A display stays as written where the text around it, on lines of their own, would open a
    # block: a fence would take the rest of the document.
    ("a fence after a display", "a $$x$$ ``` b\nc $y$\n", "a $$x$$ ``` b\nc y\n"),
    ("an item after a display", "a $$x$$ - b\n", "a $$x$$ - b\n"),
    ("code after a display", "a $$x$$\n    b\n", "a $$x$$\n    b\n"),
    ("a rule before a display", "*** $$x$$\n", "*** $$x$$\n"),
    ("a display in a heading", "# T $$x$$\n", "# T $$x$$\n"),
    ("a rule under a display", "$$\nE = mc^2\n$$\n---\n", block("E = mc^2") + "---\n"),
    # A display inside containers keeps to them: its lines and the rest of the line after it,
    # and a lazy line after it, start with their markers.
    ("display in a list item", "- a $$x^2$$ b\n  c\n", "- a \n  " + block("x^2", "  ") + "  b\n  c\n"),
    ("display opening an item", "- $$\\frac{a}{b}$$\n", "- " + block("\\frac{a}{b}", "  ")),
    ("nested containers", "> - a $$x$$\n>   b\n", "> - a \n>   " + block("x", ">   ") + ">   b\n"),
    ("lazy line after a display", "> a $$x$$\nlazy\n", "> a \n> " + block("x", "> ") + "> lazy\n"),
    ("math fence in a quote", "> ```math\n> \\frac{a}{b}\n> ```\nafter\n",
     "> " + block("\\frac{a}{b}", "> ") + "after\n"),
    ("environment in a quote", "> \\begin{equation}\n> x^2\n> \\end{equation}\n",
     "> " + block("\\begin{equation}\nx^2\n\\end{equation}", "> ")),
    ("CRLF in a quote", "> $$x$$\r\n> b\r\n", "> " + block("x", "> ") + "> b\r\n"),
]


@pytest.mark.parametrize("document, expected", [c[1:] for c in CASES], ids=[c[0] for c in CASES])
def test_render_markdown(document, expected):
    assert vok_latex.render_markdown(document) == expected


def test_the_command_reads_a_file_or_standard_input_and_names_problems(vok_command, tmp_path):
    document = "# Notes\n\n$x^2$ and $\\frac{a$\n\n$$y_1$$\n"
    path = tmp_path / "notes.md"
    path.write_text(document, encoding="utf-8")
    expected = vok_latex.render_markdown(document)
    (tmp_path / "-").write_text(document, encoding="utf-8")  # after --, '-' is a file's name
    for args, stdin in (([str(path)], None), (["-"], document), ([], document), (["--", "-"], "")):
        done = subprocess.run([vok_command, "--markdown", *args], input=stdin, capture_output=True,
                              text=True, timeout=60, cwd=tmp_path)
        assert (done.returncode, done.stdout) == (0, expected)
        assert done.stderr == "vok: line 3, column 17: missing '}' for the '{'\n"


# Problems are warnings: the document is written whole and the exit status stays 0.
def test_the_command_names_problems_in_containers_by_line_and_column_as_warnings(vok_command):
    document = "> > > a\n> > > b $\\frac{a$\nlazy $x^$ c\n\n$$y^$$ - d\n"
    done = subprocess.run([vok_command, "--markdown"], input=document, capture_output=True,
                          text=True, timeout=60)
    assert (done.returncode, done.stdout, done.stderr) == (0, document, (
        "vok: line 2, column 15: missing '}' for the '{'\n"
        "vok: line 3, column 8: missing argument for '^'\n"
        "vok: line 5, column 4: missing argument for '^'\n"))


# Where a problem is: the line and column (characters from 1, a tab one) in the document of the
# place its error names, through the containers' markers and the lines a formula spans; a problem
# with no place in the formula is at its opening delimiter, a math block's at its fence.
DEEP = "{" * 300 + "}" * 300
MISSING_BRACE = "missing '}' for the '{'"
MISSING_SCRIPT = "missing argument for '^'"
PROBLEMS = [
    ("after a tab and an accent", "é\t$x^$\n", [(1, 5, MISSING_SCRIPT)]),
    ("in order", "$x^$ $\\frac{a$\n\n$$\ny^\n$$\n",
     [(1, 3, MISSING_SCRIPT), (1, 12, MISSING_BRACE), (4, 2, MISSING_SCRIPT)]),
    ("a display over lines", "$$\n\\frac{a}{b\n$$\n", [(2, 9, MISSING_BRACE)]),
    ("a lazy line of an item", "- a $x +\ny^$ b\n", [(2, 2, MISSING_SCRIPT)]),
    ("a display in a quote", "> $$\n> x^{a\n> $$\n", [(2, 5, MISSING_BRACE)]),
    ("a math block in a quote", "> ```math\n> \\frac{a\n> ```\n", [(2, 8, MISSING_BRACE)]),
    ("an environment in an item", "- \\begin{equation}\n  x^\n  \\end{equation}\n",
     [(2, 4, MISSING_SCRIPT)]),
    ("a display left as written", "a $$x^$$ - b\n", [(1, 6, MISSING_SCRIPT)]),
    ("no place: the delimiter", "- $$" + DEEP + "$$\n", [(1, 3, "formula nested too deeply")]),
    ("no place: the fence", "  ```math\n" + DEEP + "\n  ```\n",
     [(1, 3, "formula nested too deeply")]),
]


@pytest.mark.parametrize("document, problems", [c[1:] for c in PROBLEMS],
                         ids=[c[0] for c in PROBLEMS])
def test_on_problem_is_called_at_each_problem_in_order(document, problems):
    found = []
    assert vok_latex.render_markdown(document, on_problem=lambda *problem: found.append(problem)) \
        == vok_latex.render_markdown(document)
    assert found == problems


def test_what_on_problem_raises_render_markdown_raises():
    calls = []

    def fail(line, column, message):
        calls.append(line)
        raise ValueError(f"line {line}, column {column}: {message}")

    with pytest.raises(ValueError) as info:
        vok_latex.render_markdown("a $x^$ b\n\n$$y^$$\n", on_problem=fail)
    assert (str(info.value), calls) == ("line 1, column 5: missing argument for '^'", [1])
    assert vok_latex.render_markdown("$y$", on_problem=fail) == "y"


# plain=True (--plain): the display pictures without their fences, still on lines of their own and
# after the containers' markers.
PLAIN = [
    ("display", "$$x^2$$\n", "x²\n"),
    ("within a line", "see \\[\\frac{a}{b}\\] here\n", "see \na\n─\nb\nhere\n"),
    ("math block", "```math\n\\frac{a}{b}\n```\nz\n", "a\n─\nb\nz\n"),
    ("in a list item", "- a $$\\frac{a}{b}$$ b\n  c\n", "- a \n  a\n  ─\n  b\n  b\n  c\n"),
    ("in a block quote", "> $$\\frac{a}{b}$$\n> b\n", "> a\n> ─\n> b\n> b\n"),
    ("in an item in a quote", "> - $$\\frac{a}{b}$$\n", "> - a\n>   ─\n>   b\n"),
    ("an empty picture is an empty line", "> a \\[\\]\n> b\n", "> a \n> \n> b\n"),
    ("inline math as ever", "a $x^2$ b\n", "a x² b\n"),
    ("an error as written", "$$\\frac{a$$\n", "$$\\frac{a$$\n"),
]


@pytest.mark.parametrize("document, expected", [c[1:] for c in PLAIN], ids=[c[0] for c in PLAIN])
def test_plain_draws_displays_without_fences(document, expected):
    assert vok_latex.render_markdown(document, plain=True) == expected


# inline= (--inline): 'picture' draws a picture of one row, 'source' nothing, though its problems
# are still found; 'linear', the formula's one-row form, is the default.
def test_inline_math_is_written_as_asked():
    document = "a $\\frac{1}{2}$ b $x^2$ and \\(\\alpha\\) $y^$\n"
    found = []
    assert vok_latex.render_markdown(document, inline="picture") == (
        "a $\\frac{1}{2}$ b x² and α $y^$\n")
    assert vok_latex.render_markdown(document, inline="source",
                                     on_problem=lambda *problem: found.append(problem)) == document
    assert found == [(1, 42, MISSING_SCRIPT)]
    assert vok_latex.render_markdown(document) == "a ½ b x² and α $y^$\n"
    assert vok_latex.render_markdown(document) == vok_latex.render_markdown(document, inline="linear")


@pytest.mark.parametrize("keywords, error, message", [
    ({"inline": "row"}, ValueError, "inline must be 'linear', 'picture' or 'source'"),
    ({"inline": None}, TypeError, "inline must be a str"),
    ({"plain": 1}, TypeError, "plain must be a bool"),
    ({"on_problem": "print"}, TypeError, "on_problem must be callable or None"),
])
def test_the_document_options_refuse_other_values(keywords, error, message):
    with pytest.raises(error) as info:
        vok_latex.render_markdown("$x$", **keywords)
    assert (type(info.value), str(info.value)) == (error, "render_markdown() " + message)
    option = next(iter(keywords))
    with pytest.raises(TypeError) as info:
        vok_latex.render("x", **{option: None})
    assert str(info.value) == f"render() got an unexpected keyword argument '{option}'"


@pytest.mark.parametrize("args, keywords", [
    (["--plain"], {"plain": True}),
    (["--inline", "source"], {"inline": "source"}),
    (["--inline=picture", "--plain"], {"inline": "picture", "plain": True}),
])
def test_the_command_takes_the_document_options(vok_command, args, keywords):
    document = "- a $$\\frac{a}{b}$$ b\n\n$x^2$ and $\\frac12$\n"
    done = subprocess.run([vok_command, "--markdown", *args], input=document, capture_output=True,
                          text=True, timeout=60)
    expected = vok_latex.render_markdown(document, **keywords)
    assert expected != vok_latex.render_markdown(document)
    assert (done.returncode, done.stdout, done.stderr) == (0, expected, "")


@pytest.mark.parametrize("args, message", [
    (["--markdown", "--inline", "row"], "--inline needs linear, picture or source, not 'row'"),
    (["--markdown", "--inline"], "--inline needs linear, picture or source"),
    (["--plain", "x"], "--inline and --plain go with --markdown"),
    (["--inline=source", "x"], "--inline and --plain go with --markdown"),
])
def test_the_document_options_are_usage_errors_elsewhere(vok_command, args, message):
    done = subprocess.run([vok_command, *args], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (2, "")
    assert done.stderr.startswith(f"vok: {message}\n")


def invalid(*lines: int, more: str = "") -> str:
    """The messages of the lines of a document that hold invalid UTF-8."""
    named = "".join(f"vok: line {line}: invalid UTF-8, shown as U+FFFD\n" for line in lines)
    return named + (f"vok: invalid UTF-8 on {more}, shown as U+FFFD\n" if more else "")


# The command writes a document as it is but for what a terminal would act on: controls other than
# tab and CR before LF as control pictures, a C1 control and each maximal subpart of invalid UTF-8
# as U+FFFD, the lines of invalid UTF-8 named (the first three), and the exit status stays 0.
R = "\ufffd"


@pytest.mark.parametrize("document, output, messages", [
    (b"a\x1b[2J\tb\r\n", "a␛[2J\tb\r\n", ""),
    (b"Safe\rEVIL\r\r\nend\r", "Safe␍EVIL␍\r\nend␍", ""),
    (b"\x00\x7f\xc2\x9b[2J\xc2\x85", "␀␡" + R + "[2J" + R, ""),
    (b"x \x9b[2J y\n", f"x {R}[2J y\n", invalid(1)),
    (b"\xe0\x80\xaf \xf0\x9f\x98 \xed\xa0\x80 \xf4\x90\x80\x80 \xc0\xaf \xe2\x82\xac\xe2\x82",
     f"{R * 3} {R} {R * 3} {R * 4} {R * 2} €{R}", invalid(1)),
    (b"1\xff\n2\n3\xff\xfe\n$x\xff$\n5\xff\n6\xff\n", f"1{R}\n2\n3{R}{R}\n$x{R}$\n5{R}\n6{R}\n",
     invalid(1, 3) + "vok: line 4, column 3: invalid UTF-8\n"
     + invalid(4, more="2 more lines")),
    (b"\xff\n\xff\n\xff\n`\xff`\n", f"{R}\n{R}\n{R}\n`{R}`\n", invalid(1, 2, 3, more="1 more line")),
])
def test_the_command_writes_a_document_safe(vok_command, document, output, messages):
    done = subprocess.run([vok_command, "--markdown"], input=document, capture_output=True,
                          timeout=60)
    assert (done.returncode, done.stdout.decode(), done.stderr.decode()) == (0, output, messages)


def test_the_command_refuses_two_files(vok_command):
    done = subprocess.run([vok_command, "--markdown", "a.md", "b.md"], capture_output=True,
                          text=True, timeout=60)
    assert (done.returncode, done.stdout) == (2, "")
    assert done.stderr.startswith("vok: --markdown reads one FILE, or standard input\n")


# What cannot be read is a message naming it (shown safe) with the system's reason, and exit status
# 1; standard input is a directory ("/") in the rows that give one.
@pytest.mark.parametrize("args, stdin, message", [
    (["/nonexistent/a.md"], None, "/nonexistent/a.md: No such file or directory"),
    (["/nonexistent/\x1b[2J\x9b"], None, "/nonexistent/␛[2J\ufffd: No such file or directory"),
    pytest.param(["/"], None, "/: Is a directory", marks=needs_posix),
    pytest.param([], "/", "standard input: Is a directory", marks=needs_posix),
    pytest.param(["-"], "/", "standard input: Is a directory", marks=needs_posix),
    pytest.param(["/proc/self/mem"], None, "/proc/self/mem: Input/output error",
                 marks=linux_only("/proc/self/mem, whose first page cannot be read, is Linux's")),
])
def test_the_command_reports_what_it_cannot_read(vok_command, args, stdin, message):
    source = os.open(stdin, os.O_RDONLY) if stdin else subprocess.DEVNULL
    try:
        done = subprocess.run([vok_command, "--markdown", *args], stdin=source,
                              capture_output=True, timeout=60)
    finally:
        if stdin:
            os.close(source)
    assert (done.returncode, done.stdout) == (1, b"")
    assert done.stderr.decode() == f"vok: cannot read {message}\n"
