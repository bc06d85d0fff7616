"""Types of the vok_latex extension module: formulas in LaTeX, as people write it, drawn as lines
of Unicode text."""

__all__ = ["render", "__version__"]

__version__: str

def render(input: str) -> str:
    """The picture of a LaTeX formula: its rows from top to bottom, each followed by a line feed.

    Raises ValueError when the formula does not lex, parse or render.
    """
