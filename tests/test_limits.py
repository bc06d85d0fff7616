"""Nesting depth and long flat chains.

Nesting is bounded: at most 256 parse_expr and parse_atom calls in progress, so 127 nested groups
pass and 128 fail, and 254 nested atoms (minus signs, unbraced roots, big-operator bodies) pass and
255 fail. Chains of operators and juxtapositions are loops: a million terms parse, render and are
freed without deep recursion.
"""

import pytest

import vok

TOO_DEEP = "formula nested too deeply"


def nested(open_: str, close: str, depth: int, core: str = "x") -> str:
    return open_ * depth + core + close * depth


@pytest.mark.parametrize(
    "build, passes",
    [
        (lambda n: nested("{", "}", n), 127),
        (lambda n: nested("(", ")", n), 127),
        (lambda n: nested("[", "]", n), 127),
        (lambda n: nested("|", "|", n), 127),
        (lambda n: nested("\\left(", "\\right)", n), 127),
        (lambda n: nested("\\begin{pmatrix}", "\\end{pmatrix}", n), 127),
        (lambda n: nested("\\sqrt{", "}", n), 127),
        (lambda n: nested("x^{", "}", n), 127),
        (lambda n: "-" * n + "x", 254),
        (lambda n: "\\sqrt" * n + " x", 254),
        (lambda n: nested("\\sum{", "}", n), 254),
    ],
    ids=["braces", "parentheses", "brackets", "bars", "left-right", "pmatrix", "roots", "superscripts",
         "minus signs", "unbraced roots", "sum bodies"],
)
def test_depth_limit(build, passes):
    assert isinstance(vok.render(build(passes)), str)
    with pytest.raises(ValueError) as info:
        vok.render(build(passes + 1))
    assert str(info.value) == TOO_DEEP


def test_deep_nesting_fails_cleanly_at_any_depth():
    for depth in (1000, 100_000):
        with pytest.raises(ValueError, match=f"^{TOO_DEEP}$"):
            vok.render("{" * depth)
        with pytest.raises(ValueError, match=f"^{TOO_DEEP}$"):
            vok.render("-" * depth + "x")


def test_braces_draw_nothing():
    assert vok.render(nested("{", "}", 127)) == "x\n"


@pytest.mark.parametrize("terms", [10, 1_000_000])
def test_long_infix_chain(terms):
    text = "+".join("ab"[i % 2] for i in range(terms))
    picture = vok.render(text)
    assert picture == " + ".join("ab"[i % 2] for i in range(terms)) + "\n"


def test_long_mixed_operator_chain():
    picture = vok.render("a" + "-b=c*d" * 100_000)
    assert picture == "a" + " - b = c · d" * 100_000 + "\n"


def test_long_juxtaposition():
    assert vok.render("xy" * 500_000) == "xy" * 500_000 + "\n"


def test_long_chain_of_groups_and_scripts():
    text = "{x}^2" * 200_000 + "+" + "y_1" * 200_000
    assert vok.render(text) == "x²" * 200_000 + " + " + "y₁" * 200_000 + "\n"
