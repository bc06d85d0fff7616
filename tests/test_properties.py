"""Property tests: any text, and text shaped like the grammar, gives a picture or a ValueError, in
both modules.

Every picture keeps the output promises: rows of equal width, a line feed after each row, no
carriage returns, and the same picture for the same input.
"""

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import vok
import vok_latex
from conftest import columns, width_of

MODULES = pytest.mark.parametrize("module", [vok, vok_latex], ids=["vok", "vok_latex"])

COMMANDS = ["frac", "sqrt", "sum", "int", "lim", "binom", "hat", "widehat", "overline", "mathbb",
            "mathbf", "alpha", "Gamma", "sin", "to", "abs", "left", "right", "begin", "end", "foo",
            "quad", "vec", "infty", "prod"]
PIECES = (["{", "}", "[", "]", "(", ")", "^", "_", "'", "|", "!", "+", "-", "=", "*", ",", ".", ":",
           ";", "<", ">", "/", "&", " ", "\\\\", "\\,", "\\!", "\\{", "\\}", "\\|", "\\ ", "\\\t",
           "x", "y", "α", "中", "😀", "e\u0301", "12", "0", "\u00a0", "{matrix}", "{pmatrix}",
           "{bmatrix}"]
          + ["\\" + name for name in COMMANDS])
# The LaTeX dialect's own words on top: ties, dollars, comments, text, switches, \middle, limits,
# measured spaces, the delimiters only \left takes, its environments and control characters.
LATEX_COMMANDS = ["text", "mathrm", "operatorname", "operatorname*", "bf", "rm", "middle", "limits",
                  "nolimits", "prime", "hspace", "kern", "dfrac", "displaystyle", "color", "label",
                  "not", "cdot", "langle", "rangle", "le", "dots", "mbox", "over", "choose", "atop",
                  "hline", "substack", "overset", "stackrel", "overbrace", "xrightarrow", "boxed",
                  "phantom", "tag", "oint", "bigcup", "Bigl", "sp",
                  # macros: definitions, uses, and the primitives that rearrange tokens
                  "def", "gdef", "edef", "newcommand", "let", "global", "x", "expandafter",
                  "noexpand", "futurelet", "@ifstar", "@ifnextchar", "@firstoftwo", "begingroup",
                  "endgroup"]
LATEX_PIECES = (PIECES + ["~", "$", "$$", "%", "\n", "\\(", "\\)", "\\[", "\\]", "\\%", "\\$", "\\&",
                          "\\>", "\\/", "1em", "-3mu", "{Bmatrix}", "{vmatrix}", "{smallmatrix}", "\\left.",
                          "\\right.", "\\left<", "\\right>", "\\middle|", "\x01", "\u0085", "\u2003",
                          "{array}", "{cases}", "{aligned}", "{foo}", "{l|c}", "{*{2}{c}}", "\\[2pt]",
                          "#1", "#", "[1]", "\\def\\x#1{#1#1}"]
                + ["\\" + name for name in LATEX_COMMANDS])
PIECES_OF = {vok: PIECES, vok_latex: LATEX_PIECES}


def check_picture(module, text: str) -> None:
    try:
        picture = module.render(text)
    except ValueError as error:
        assert str(error), "an error always has a message"
        return
    assert isinstance(picture, str)
    assert module.render(text) == picture
    if picture == "":
        return
    assert picture.endswith("\n") and "\r" not in picture
    rows = picture.split("\n")[:-1]
    assert len({width_of(module)(row) for row in rows}) == 1, rows


@MODULES
@settings(max_examples=2000, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.text(max_size=200))
def test_any_text(module, text):
    try:
        check_picture(module, text)
    except UnicodeEncodeError:
        assert any(0xD800 <= ord(c) <= 0xDFFF for c in text)


@MODULES
@settings(max_examples=3000, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(data=st.data())
def test_grammar_shaped_text(module, data):
    text = data.draw(st.lists(st.sampled_from(PIECES_OF[module]), max_size=60).map("".join))
    check_picture(module, text)


@MODULES
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
def test_well_formed_formulas_render(module, text):
    picture = module.render(text)  # never a ValueError: these formulas are well formed in both dialects
    rows = picture.split("\n")[:-1]
    assert len({width_of(module)(row) for row in rows}) <= 1
    assert picture == "" or picture.endswith("\n")


# One token each: arguments without braces, and the math inside a text.
TOKENS = st.sampled_from(["x", "1", "\\alpha", "\\prime", "\\infty"])


@settings(max_examples=300, deadline=None)
@given(st.recursive(
    st.sampled_from(["x", "1", "\\alpha", "{}", "-y", "\\text{a  b}", "~", "x'", "12.5"]),
    lambda inner: st.one_of(
        st.tuples(TOKENS, TOKENS).map(lambda p: f"\\frac{p[0]} {p[1]}"),
        st.tuples(inner, TOKENS).map(lambda p: f"{{{p[0]}}}^{p[1]}_{p[1]}"),
        st.tuples(inner, inner).map(lambda p: f"\\left. {p[0]} \\middle| {p[1]} \\right\\rangle"),
        st.tuples(inner, TOKENS).map(lambda p: f"{p[0]} \\text{{ if ${p[1]}$ }}"),
        inner.map(lambda s: f"\\operatorname*{{arg\\,max}}\\limits_{{{s}}} {s}"),
        inner.map(lambda s: f"{{\\bf {s}}}"),
        inner.map(lambda s: f"{s} % a comment\n"),
        inner.map(lambda s: f"\\hspace{{1em}}{s}"),
        st.tuples(inner, inner).map(lambda p: f"\\begin{{Bmatrix}} {p[0]} \\\\[2pt] {p[1]} & \\end{{Bmatrix}}"),
        st.tuples(inner, inner).map(lambda p: f"{{{p[0]} \\over {p[1]}}}"),
        st.tuples(inner, inner).map(lambda p: f"\\sum_{{{p[0]}}}^n {p[1]} + {p[0]}"),
        st.tuples(inner, inner).map(lambda p: f"\\overbrace{{{p[0]}}}^{{{p[1]}}}"),
        st.tuples(inner, inner).map(lambda p: f"\\xrightarrow[{p[0]}]{{{p[1]}}}"),
        st.tuples(inner, inner).map(
            lambda p: f"\\begin{{array}}{{l|c}} \\hline {p[0]} & {p[1]} \\\\ {p[1]} \\end{{array}}"),
        st.tuples(inner, inner).map(
            lambda p: f"\\begin{{aligned}} {p[0]} &= {p[1]} \\\\ &= {p[0]} \\end{{aligned}}"),
    ),
    max_leaves=12,
))
def test_well_formed_latex_renders(text):
    picture = vok_latex.render(text)  # never a ValueError: these formulas are well formed LaTeX
    rows = picture.split("\n")[:-1]
    assert len({columns(row) for row in rows}) <= 1
    assert picture == "" or picture.endswith("\n")
