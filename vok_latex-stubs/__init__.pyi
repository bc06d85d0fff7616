"""Types of the vok_latex extension module: formulas in LaTeX, as people write it, drawn as lines
of Unicode text."""

__all__ = ["render", "render_markdown", "__version__"]

__version__: str

def render(
    input: str, *, width: int | None = None, ascii: bool = False, linear: bool = False
) -> str:
    """The picture of a LaTeX formula: its rows from top to bottom, each followed by a line feed.

    width: a formula wider than this is broken at its top-level relations, else at its binary
    operators, the continuation lines indented; one that cannot be broken is left whole.
    ascii: every drawing character from ASCII, and scripts on rows of their own.
    linear: the formula on one row, as written in running text: a/b, √x, x², e^(iπ),
    (a  b; c  d); a formula whose picture is one row is that row. width then breaks nothing;
    with ascii, ASCII alone: sqrt(x), x^2, sum_(i=1)^n.

    Raises ValueError when the formula does not lex, parse or render.
    """

def render_markdown(text: str, *, width: int | None = None, ascii: bool = False) -> str:
    """A Markdown document with its math drawn and everything else kept byte for byte.

    Display math ($$...$$, \\[...\\], a ```math or ```latex block, a paragraph that is one
    equation-like environment) becomes its picture in a ```text block; inline math ($...$,
    \\(...\\)) becomes its picture in the line when that is one row, and stays as written
    otherwise. Code spans and code blocks are never touched; a formula that cannot be drawn stays as
    written. width and ascii are render()'s, for every formula.
    """
