"""The math of Markdown documents: vok_latex.render_markdown and `vok --markdown`.

Table-driven: a document in, the document out. Display math becomes a fenced text block, inline
math its one-row picture, and everything that is not math comes out byte for byte.
"""

import subprocess

import pytest

import vok_latex

# A picture in its fenced text block, as display math becomes; inside containers every line but
# the first starts with their markers.
def block(formula: str, markers: str = "") -> str:
    rows = "".join(markers + row + "\n" for row in vok_latex.render(formula).split("\n")[:-1])
    return "```text\n" + rows + markers + "```\n"


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


def test_problems_inside_containers_and_of_displays_left_as_written_name_their_lines(
        vok_command):
    document = "> > > a\n> > > b $\\frac{a$\nlazy $x^$ c\n\n$$y^$$ - d\n"
    done = subprocess.run([vok_command, "--markdown"], input=document, capture_output=True,
                          text=True, timeout=60)
    assert (done.stdout, done.stderr) == (document, (
        "vok: line 2: missing '}' for the '{' at byte 5, column 6\n"
        "vok: line 3: missing argument for '^' at byte 1, column 2\n"
        "vok: line 5: missing argument for '^' at byte 1, column 2\n"))


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
