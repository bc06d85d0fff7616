"""Property tests: any text, and text shaped like the grammar, gives a picture or a ValueError.

Every picture keeps the output promises: rows of equal width, a line feed after each row, no
carriage returns, and the same picture for the same input.
"""

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import vok

COMMANDS = ["frac", "sqrt", "sum", "int", "lim", "binom", "hat", "widehat", "overline", "mathbb",
            "mathbf", "alpha", "Gamma", "sin", "to", "abs", "left", "right", "begin", "end", "foo",
            "quad", "vec", "infty", "prod"]
PIECES = (["{", "}", "[", "]", "(", ")", "^", "_", "'", "|", "!", "+", "-", "=", "*", ",", ".", ":",
           ";", "<", ">", "/", "&", " ", "\\\\", "\\,", "\\!", "\\{", "\\}", "\\|", "\\ ", "\\\t",
           "x", "y", "α", "中", "😀", "e\u0301", "12", "0", "\u00a0", "{matrix}", "{pmatrix}",
           "{bmatrix}"]
          + ["\\" + name for name in COMMANDS])


def check_picture(text: str) -> None:
    try:
        picture = vok.render(text)
    except ValueError as error:
        assert str(error), "an error always has a message"
        return
    assert isinstance(picture, str)
    assert vok.render(text) == picture
    if picture == "":
        return
    assert picture.endswith("\n") and "\r" not in picture
    rows = picture.split("\n")[:-1]
    assert len({len(row) for row in rows}) == 1, rows


@settings(max_examples=2000, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.text(max_size=200))
def test_any_text(text):
    try:
        check_picture(text)
    except UnicodeEncodeError:
        assert any(0xD800 <= ord(c) <= 0xDFFF for c in text)


@settings(max_examples=3000, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.lists(st.sampled_from(PIECES), max_size=60).map("".join))
def test_grammar_shaped_text(text):
    check_picture(text)


@settings(max_examples=300, deadline=None)
@given(st.recursive(
    st.sampled_from(["x", "1", "\\alpha", "{}", "-y"]),
    lambda inner: st.one_of(
        st.tuples(inner, inner).map(lambda p: f"\\frac{{{p[0]}}}{{{p[1]}}}"),
        st.tuples(inner, inner).map(lambda p: f"{{{p[0]}}}^{{{p[1]}}}"),
        st.tuples(inner, inner).map(lambda p: f"{{{p[0]}}}_{{{p[1]}}}"),
        st.tuples(inner, inner).map(lambda p: f"{p[0]}+{p[1]}"),
        inner.map(lambda s: f"\\sqrt{{{s}}}"),
        inner.map(lambda s: f"\\left( {s} \\right)"),
        inner.map(lambda s: f"\\sum_{{{s}}} {{{s}}}"),
        st.tuples(inner, inner).map(lambda p: f"\\begin{{pmatrix}} {p[0]} & {p[1]} \\\\ {p[1]} & {p[0]} \\end{{pmatrix}}"),
    ),
    max_leaves=12,
))
def test_well_formed_formulas_render(text):
    picture = vok.render(text)  # never a ValueError: these formulas are well formed
    rows = picture.split("\n")[:-1]
    assert len({len(row) for row in rows}) <= 1
    assert picture == "" or picture.endswith("\n")
