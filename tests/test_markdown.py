"""The math of Markdown documents: vok_latex.render_markdown and `vok --markdown`.

Table-driven: a document in, the document out. Display math becomes a fenced text block, inline
math its one-row picture, and everything that is not math comes out byte for byte.
"""

import subprocess

import pytest

import vok_latex

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
    # The fence is longer than any run of backticks in the picture, which would close it.
    ("backticks in a picture", "$$\\text{```}$$\nafter $x$\n", "````text\n```\n````\nafter x\n"),
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
    ("display ending a CRLF line", "a $$x$$\r\nb\r\n", "a \n" + block("x") + "b\r\n"),
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
    for args, stdin in (([str(path)], None), (["-"], document), ([], document)):
        done = subprocess.run([vok_command, "--markdown", *args], input=stdin, capture_output=True,
                              text=True, timeout=60)
        assert (done.returncode, done.stdout) == (0, expected)
        assert done.stderr == "vok: line 3: missing '}' for the '{' at byte 5, column 6\n"


def test_the_command_shows_a_documents_control_characters(vok_command):
    done = subprocess.run([vok_command, "--markdown"], input="a\x1b[2J\tb\r\n".encode(),
                          capture_output=True, timeout=60)
    assert done.stdout == "a␛[2J\tb\r\n".encode()


@pytest.mark.parametrize("args, message", [
    (["a.md", "b.md"], "vok: --markdown reads one FILE, or standard input\n"),
    (["/nonexistent/a.md"], "vok: cannot read /nonexistent/a.md\n"),
])
def test_the_command_refuses_what_it_cannot_read(vok_command, args, message):
    done = subprocess.run([vok_command, "--markdown", *args], capture_output=True, text=True,
                          timeout=60)
    assert done.returncode in (1, 2)
    assert done.stderr.startswith(message)
