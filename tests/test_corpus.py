"""Real formulas written by people: every one gives a picture or a ValueError, never anything else,
in the exact markup (vok) and in the LaTeX dialect (vok_latex).

The corpus sits beside the repository (../shared/corpus) here and in CI, not in a user's clone; the
tests skip with the reason when it is absent, and fail instead when CI is set.
"""

import pytest

import vok
import vok_latex
from conftest import width_of

MODULES = pytest.mark.parametrize("module", [vok, vok_latex], ids=["vok", "vok_latex"])


def formulas(path):
    return path.read_text(encoding="utf-8").splitlines()


def check(module, text: str) -> bool:
    try:
        picture = module.render(text)
    except ValueError as error:
        assert str(error)
        return False
    assert module.render(text) == picture
    if picture:
        rows = picture.split("\n")
        assert rows.pop() == ""
        assert len({width_of(module)(row) for row in rows}) == 1, text
    return True


@MODULES
def test_every_real_formula(corpus, module):
    lines = formulas(corpus / "formulas-real.txt")
    assert len(lines) > 19_000
    rendered = sum(check(module, text) for text in lines)
    # Most formulas render (unknown commands draw as their names); the rest fail cleanly.
    assert rendered > len(lines) // 2


@MODULES
def test_the_subset_mostly_renders(corpus, module):
    lines = formulas(corpus / "formulas-subset.txt")
    rendered = sum(check(module, text) for text in lines)
    assert rendered > 0.9 * len(lines)
