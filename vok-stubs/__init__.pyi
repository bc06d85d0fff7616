"""Types of the vok extension module: LaTeX-like formulas drawn as lines of Unicode text."""

__all__ = ["render"]

def render(input: str) -> str:
    """The picture of a formula: its rows from top to bottom, each followed by a line feed.

    Raises ValueError when the formula does not lex, parse or render.
    """
