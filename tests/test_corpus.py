"""Real formulas written by people: every one gives a picture or a ValueError, never anything else,
in the exact markup (vok) and in the LaTeX dialect (vok_latex).

The corpus is the full one where it sits beside the repository (../shared/corpus, or VOK_CORPUS),
else the redistributable sample in tests/corpus that every clone has (see its README.md); the
checks that need the full corpus skip without it.
"""

import re

import pytest

import vok
import vok_latex
from conftest import SAMPLE, width_of

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


# Each file, and the share of its formulas that must render (the rest must fail cleanly). Most
# render, unknown commands drawn as their names; the sample, a math renderer's test fixtures, holds
# broken input on purpose, so its shares are lower than the full corpus's.
@MODULES
@pytest.mark.parametrize("name, share", [("formulas-real.txt", 0.5), ("formulas-subset.txt", 0.8)])
def test_every_real_formula_renders_or_fails_cleanly(corpus, module, name, share):
    lines = formulas(corpus / name)
    assert lines
    rendered = sum(check(module, text) for text in lines)
    assert rendered > share * len(lines)


@MODULES
def test_the_full_corpus(full_corpus, module):
    assert len(formulas(full_corpus / "formulas-real.txt")) > 19_000
    lines = formulas(full_corpus / "formulas-subset.txt")
    rendered = sum(check(module, text) for text in lines)
    assert rendered > 0.95 * len(lines)


def test_the_sample_is_what_its_readme_says():
    real, subset = formulas(SAMPLE / "formulas-real.txt"), formulas(SAMPLE / "formulas-subset.txt")
    assert (len(real), len(subset)) == (965, 190)
    assert len(set(real)) == len(real) and all(line.strip() == line and line for line in real)
    assert set(subset) <= set(real)
    readme = (SAMPLE / "README.md").read_text(encoding="utf-8")
    assert "965 formulas" in readme and "190 of them" in readme
    assert "Copyright (c) 2013-2020 Khan Academy and other contributors" in readme


def test_the_sample_is_part_of_the_full_corpus(full_corpus):
    full = formulas(full_corpus / "formulas-real.txt")
    sample = formulas(SAMPLE / "formulas-real.txt")
    assert full[-len(sample):] == sample  # its last two sources, in order
    assert set(formulas(SAMPLE / "formulas-subset.txt")) <= set(formulas(full_corpus / "formulas-subset.txt"))


@pytest.mark.parametrize("ascii", [False, True], ids=["unicode", "ascii"])
def test_every_formula_with_a_picture_has_a_one_row_form(corpus, ascii):
    """The same formulas, errors and all; a picture of one row is its own one-row form (in ASCII,
    once spelt in ASCII), and the one-row form writes no command as written that the picture
    draws."""
    for text in formulas(corpus / "formulas-real.txt"):
        try:
            picture = vok_latex.render(text, ascii=ascii)
        except ValueError as error:
            with pytest.raises(ValueError) as linear_error:
                vok_latex.render(text, ascii=ascii, linear=True)
            assert str(linear_error.value) == str(error), text
            continue
        line = vok_latex.render(text, ascii=ascii, linear=True)
        assert line.count("\n") == (1 if line else 0) and line.endswith("\n") == bool(line), text
        if picture.count("\n") == 1 and (picture.isascii() or not ascii):
            assert line == picture, text
        if ascii:
            assert line.isascii() or not picture.isascii(), text
        else:
            written = re.compile(r"\\[A-Za-z]")  # a command drawn as its name
            assert len(written.findall(line)) <= len(written.findall(picture)), text
