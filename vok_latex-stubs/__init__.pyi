"""Types of the vok_latex extension module: formulas in LaTeX, as people write it, drawn as lines
of Unicode text."""

__all__ = ["render", "render_markdown", "__version__"]

__version__: str

def render(input: str) -> str:
    """The picture of a LaTeX formula: its rows from top to bottom, each followed by a line feed.

    Raises ValueError when the formula does not lex, parse or render.
    """

def render_markdown(text: str) -> str:
    """A Markdown document with its math drawn and everything else kept byte for byte.

    Display math ($$...$$, \\[...\\], a ```math or ```latex block, a paragraph that is one
    equation-like environment) becomes its picture in a ```text block; inline math ($...$,
    \\(...\\)) becomes its picture in the line when that is one row, and stays as written
    otherwise. Code spans and code blocks are never touched; a formula that cannot be drawn stays as
    written.
    """
