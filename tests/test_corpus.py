"""Real formulas written by people: every one gives a picture or a ValueError, never anything else.

The corpus sits beside the repository (../shared/corpus) here and in CI, not in a user's clone; the
tests skip with the reason when it is absent, and fail instead when CI is set.
"""

import vok


def formulas(path):
    return path.read_text(encoding="utf-8").splitlines()


def check(text: str) -> bool:
    try:
        picture = vok.render(text)
    except ValueError as error:
        assert str(error)
        return False
    assert vok.render(text) == picture
    if picture:
        rows = picture.split("\n")
        assert rows.pop() == ""
        assert len({len(row) for row in rows}) == 1, text
    return True


def test_every_real_formula(corpus):
    lines = formulas(corpus / "formulas-real.txt")
    assert len(lines) > 19_000
    rendered = sum(check(text) for text in lines)
    # Most formulas render (unknown commands draw as their names); the rest fail cleanly.
    assert rendered > len(lines) // 2


def test_the_subset_mostly_renders(corpus):
    lines = formulas(corpus / "formulas-subset.txt")
    rendered = sum(check(text) for text in lines)
    assert rendered > 0.9 * len(lines)
