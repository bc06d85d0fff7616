"""Every case of the golden files through vok.render (tests/golden/*.txt) or vok_latex.render
(tests/golden/latex/*.txt, and latex-options/*.txt with their options): the exact picture or the
exact message.

Run with --update-golden to rewrite the expected pictures from the current output; review the diff.
"""

import pytest

import golden
from conftest import columns
import vok
import vok_latex

CASES = golden.cases()


def render(case: golden.Case, text: str) -> str:
    return vok_latex.render(text, **case.options) if case.latex else vok.render(text)


def outcome(case: golden.Case) -> tuple[bool, str]:
    try:
        return False, render(case, case.input)
    except ValueError as error:
        return True, str(error)


@pytest.fixture(scope="module")
def rewrite(update_golden):
    """Collects fresh outcomes and writes the files back when the module's tests are done."""
    fresh: dict[tuple, tuple[bool, str]] = {}
    yield fresh
    if update_golden:
        for path in golden.files():
            items = golden.parse(path)
            for item in items:
                if isinstance(item, golden.Case) and (path, item.name) in fresh:
                    item.error, item.expected = fresh[(path, item.name)]
            path.write_text(golden.serialize(items), encoding="utf-8")


@pytest.mark.parametrize("case", CASES, ids=[case.id for case in CASES])
def test_golden(case, rewrite, update_golden):
    error, text = outcome(case)
    rewrite[(case.file, case.name)] = (error, text)
    if update_golden:
        return
    assert (error, text) == (case.error, case.expected)


@pytest.mark.parametrize("case", [c for c in CASES if not c.error], ids=[c.id for c in CASES if not c.error])
def test_picture_invariants(case, update_golden):
    if update_golden:
        pytest.skip("the expected outcomes are being rewritten")
    text = render(case, case.input)
    assert render(case, case.input) == text, "the same input gives the same picture"
    if text == "":
        return
    assert text.endswith("\n")
    rows = text.split("\n")[:-1]
    width = columns if case.latex else len
    assert len({width(row) for row in rows}) == 1, "every row has the picture's width"
    assert "\r" not in text


def test_case_names_are_unique():
    seen = set()
    for case in CASES:
        assert case.id not in seen, f"duplicate case {case.id}"
        seen.add(case.id)
