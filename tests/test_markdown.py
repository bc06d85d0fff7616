"""The math of Markdown documents: vok_latex.render_markdown and `vok --markdown`.

Table-driven: a document in, the document out. Display math becomes a fenced text block, inline
math its one-row picture, and everything that is not math comes out byte for byte.
"""

import os
import subprocess

import pytest

import vok_latex
from conftest import linux_only, needs_posix

# A picture in its fenced text block, as display math becomes.
def block(formula: str) -> str:
    return "```text\n" + vok_latex.render(formula) + "```\n"


CASES = [
    # Inline math: a one-row picture takes the formula's place, a taller one leaves it as written.
    ("inline", "Let $x^2 + y^2$ be.\n", "Let x² + y² be.\n"),
    ("inline parentheses", "so \\(\\alpha \\leq \\beta\\).\n", "so α ≤ β.\n"),
    ("inline and tall", "a $\\frac{1}{2}$ b\n", "a $\\frac{1}{2}$ b\n"),
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
    ("latex fence", "```latex\nx^2\n```\n", block("x^2")),
    ("environment", "\\begin{align}\na &= b \\\\\nc &= d\n\\end{align}\n",
     block("\\begin{align}\na &= b \\\\\nc &= d\n\\end{align}")),
    ("other environment", "\\begin{itemize}\nx\n\\end{itemize}\n",
     "\\begin{itemize}\nx\n\\end{itemize}\n"),
    # A formula that cannot be drawn stays as written.
    ("inline error", "a $x^$ b\n", "a $x^$ b\n"),
    ("display error", "$$\\frac{a$$\n", "$$\\frac{a$$\n"),
    # Text outside math, byte for byte: line ends, tabs, other scripts, no final line feed.
    ("untouched", "a\r\n\tb 中文 $x$\r\n", "a\r\n\tb 中文 x\r\n"),
    ("no final line feed", "end $x$", "end x"),
    ("empty", "", ""),
]


@pytest.mark.parametrize("document, expected", [c[1:] for c in CASES], ids=[c[0] for c in CASES])
def test_render_markdown(document, expected):
    assert vok_latex.render_markdown(document) == expected


def test_the_command_reads_a_file_or_standard_input_and_names_failing_lines(vok_command, tmp_path):
    document = "# Notes\n\n$x^2$ and $\\frac{a$\n\n$$y_1$$\n"
    path = tmp_path / "notes.md"
    path.write_text(document, encoding="utf-8")
    expected = vok_latex.render_markdown(document)
    (tmp_path / "-").write_text(document, encoding="utf-8")  # after --, '-' is a file's name
    for args, stdin in (([str(path)], None), (["-"], document), ([], document), (["--", "-"], "")):
        done = subprocess.run([vok_command, "--markdown", *args], input=stdin, capture_output=True,
                              text=True, timeout=60, cwd=tmp_path)
        assert (done.returncode, done.stdout) == (0, expected)
        assert done.stderr == "vok: line 3: missing '}' for the '{' at byte 5, column 6\n"


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
     invalid(1, 3) + "vok: line 4: invalid UTF-8 at byte 1, column 2\n"
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
