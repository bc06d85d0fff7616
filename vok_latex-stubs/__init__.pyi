"""Types of the vok_latex extension module: formulas in LaTeX, as people write it, drawn as lines
of Unicode text."""

from collections.abc import Callable, Iterable, Mapping
from typing import Literal, overload

__all__ = ["render", "render_many", "render_markdown", "__version__"]

__version__: str

def render(
    input: str,
    *,
    width: int | None = None,
    ascii: bool = False,
    linear: bool = False,
    macros: Mapping[str, str] | None = None,
) -> str:
    """The picture of a LaTeX formula: its rows from top to bottom, each followed by a line feed.

    width: a formula wider than this is broken at its top-level relations, else at its binary
    operators, the continuation lines indented; one that cannot be broken is left whole.
    ascii: every drawing character from ASCII, and scripts on rows of their own.
    linear: the formula on one row, as written in running text: a/b, √x, x², e^(iπ),
    (a  b; c  d); a formula whose picture is one row is that row. width then breaks nothing;
    with ascii, ASCII alone: sqrt(x), x^2, sum_(i=1)^n.
    macros: a mapping of command names to replacement texts, {"\\R": "\\mathbb{R}"}, with
    #1 ... #9 for arguments, in force as if defined before the formula; the formula's own
    \\newcommand, \\def, \\let and \\DeclareMathOperator are expanded in any case.

    Raises ValueError when the formula does not lex, parse or render.
    """

@overload
def render_many(
    inputs: Iterable[str],
    *,
    errors: Literal["return"] = "return",
    width: int | None = None,
    ascii: bool = False,
    linear: bool = False,
    macros: Mapping[str, str] | None = None,
) -> list[str | ValueError]: ...
@overload
def render_many(
    inputs: Iterable[str],
    *,
    errors: Literal["none"],
    width: int | None = None,
    ascii: bool = False,
    linear: bool = False,
    macros: Mapping[str, str] | None = None,
) -> list[str | None]: ...
@overload
def render_many(
    inputs: Iterable[str],
    *,
    errors: Literal["raise"],
    width: int | None = None,
    ascii: bool = False,
    linear: bool = False,
    macros: Mapping[str, str] | None = None,
) -> list[str]:
    """The pictures of many LaTeX formulas, a list in the order of inputs (an iterable of str):
    each what render() gives for it. The formulas are drawn without holding the interpreter's
    lock, so threads that call render_many run on as many cores.

    errors: what a formula that cannot be drawn gives, so that one bad formula does not lose the
    others: 'return', in its place the ValueError that render() raises for it; 'none', None in
    its place; 'raise', the first such ValueError is raised, with the note
    "while processing 'inputs[INDEX]'". An entry that is not a str raises TypeError, whatever
    errors says.

    width, ascii, linear and macros are render()'s, for every formula.
    """

def render_markdown(
    text: str,
    *,
    width: int | None = None,
    ascii: bool = False,
    inline: Literal["linear", "picture", "source"] = "linear",
    plain: bool = False,
    on_problem: Callable[[int, int, str], object] | None = None,
    macros: Mapping[str, str] | None = None,
) -> str:
    """A Markdown document with its math drawn and everything else kept byte for byte.

    Display math ($$...$$, \\[...\\], a ```math or ```latex block, a paragraph that is one
    equation-like environment) becomes its picture in a ```text block. Inline math ($...$,
    \\(...\\)) is written in the line as `inline` says: 'linear', the formula in one row of
    text; 'picture', its picture when that is one row; 'source', as written. What would take
    more than one row stays as written. Code spans and code blocks are never touched.

    width and ascii are render()'s, for every formula. plain: the display pictures without
    their fences, the picture's lines alone, for reading in a terminal.

    A formula that cannot be drawn stays as written. on_problem, when given, is called once for
    each, in document order, once the document is drawn: on_problem(line, column, message),
    the line and the column (in characters, from 1) of the problem in the document and what
    it is. What it raises, render_markdown raises. To make failures raise:

        def fail(line: int, column: int, message: str) -> None:
            raise ValueError(f"line {line}, column {column}: {message}")

        vok_latex.render_markdown(text, on_problem=fail)
    """
