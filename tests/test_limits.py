"""Nesting depth and long flat chains, in both modules.

Nesting is bounded: at most 256 levels of the parser in progress. In the exact markup those are
parse_expr and parse_atom calls, so 127 nested groups pass and 128 fail, and 254 nested atoms (minus
signs, unbraced roots, big-operator bodies) pass and 255 fail. The LaTeX dialect counts its lists
and atoms the same way, so its groups stop at the same depth; but there "-", "(", "[" and "|" are
atoms side by side in one list, not nested at all, while "\\sum" takes the atoms after it as its
operand, so that a run of them nests, and a switch such as "\\bf" reads the rest of its group as a
list of its own. Chains of operators and
juxtapositions are loops: a million terms parse, render and are freed without deep recursion.
"""

import pytest

import vok
import vok_latex

TOO_DEEP = "formula nested too deeply"
TOO_LARGE = "formula too large to render"
FLAT = None  # no nesting at all: 100,000 levels draw a picture


def nested(open_: str, close: str, depth: int, core: str = "x") -> str:
    return open_ * depth + core + close * depth


# The deepest nesting that draws a picture in each dialect; one level more gives the message.
DEPTHS = [
    ("braces", lambda n: nested("{", "}", n), 127, 127, TOO_DEEP),
    ("parentheses", lambda n: nested("(", ")", n), 127, FLAT, TOO_DEEP),
    ("brackets", lambda n: nested("[", "]", n), 127, FLAT, TOO_DEEP),
    ("bars", lambda n: nested("|", "|", n), 127, FLAT, TOO_DEEP),
    ("left-right", lambda n: nested("\\left(", "\\right)", n), 127, 127, TOO_DEEP),
    ("left-middle-right", lambda n: nested("\\left(", "\\middle|y\\right)", n), 127, 127, TOO_DEEP),
    ("pmatrix", lambda n: nested("\\begin{pmatrix}", "\\end{pmatrix}", n), 127, 127, TOO_DEEP),
    ("roots", lambda n: nested("\\sqrt{", "}", n), 127, 127, TOO_DEEP),
    ("superscripts", lambda n: nested("x^{", "}", n), 127, 127, TOO_DEEP),
    ("subscripts", lambda n: nested("x_{", "}", n), 127, 127, TOO_DEEP),
    ("bold", lambda n: nested("\\mathbf{", "}", n), 127, 127, TOO_DEEP),
    ("minus signs", lambda n: "-" * n + "x", 254, FLAT, TOO_DEEP),
    ("unbraced roots", lambda n: "\\sqrt" * n + " x", 254, 254, TOO_DEEP),
    ("unbraced bold", lambda n: "\\bm" * n + " x", FLAT, 254, TOO_DEEP),
    ("sum bodies", lambda n: nested("\\sum{", "}", n), 254, 127, TOO_DEEP),
    ("switches", lambda n: "\\bf" * n + " x", FLAT, 254, TOO_DEEP),
    ("switches in groups", lambda n: nested("{\\bf ", "}", n), 127, 84, TOO_DEEP),
    ("text", lambda n: nested("\\text{", "}", n), 127, 254, TOO_DEEP),
    # In the exact markup each fraction is centred on its bar, so a tower doubles its height at
    # every level and meets the size limit long before the nesting limit; LaTeX's fractions add
    # no blank rows, so there a tower grows two rows a level.
    ("fractions", lambda n: nested("\\frac{y}{", "}", n), 23, 127, (TOO_LARGE, TOO_DEEP)),
    ("large operators", lambda n: "\\sum " * n + "x", FLAT, 255, TOO_DEEP),
]


def depth_cases():
    for name, build, exact, latex, message in DEPTHS:
        exact_message, latex_message = message if isinstance(message, tuple) else (message, message)
        yield pytest.param(vok, build, exact, exact_message, id=f"vok: {name}")
        yield pytest.param(vok_latex, build, latex, latex_message, id=f"vok_latex: {name}")


@pytest.mark.parametrize("module, build, passes, message", list(depth_cases()))
def test_depth_limit(module, build, passes, message):
    if passes is FLAT:
        assert isinstance(module.render(build(100_000)), str)
        return
    if message == TOO_DEEP:
        # Whatever a level costs, 300 of them are too many.
        with pytest.raises(ValueError, match=f"^{TOO_DEEP}$"):
            module.render(build(300))
    assert isinstance(module.render(build(passes)), str)
    with pytest.raises(ValueError) as info:
        module.render(build(passes + 1))
    assert str(info.value) == message


@pytest.mark.parametrize(
    "module, build",
    [
        (vok, lambda n: "{" * n),
        (vok, lambda n: "-" * n + "x"),
        (vok_latex, lambda n: "{" * n),
        (vok_latex, lambda n: "\\left(" * n),
        (vok_latex, lambda n: "\\bf" * n),
    ],
    ids=["vok: braces", "vok: minus signs", "vok_latex: braces", "vok_latex: left", "vok_latex: switches"],
)
def test_deep_nesting_fails_cleanly_at_any_depth(module, build):
    for depth in (1000, 100_000):
        with pytest.raises(ValueError, match=f"^{TOO_DEEP}$"):
            module.render(build(depth))


@pytest.mark.parametrize("module", [vok, vok_latex], ids=["vok", "vok_latex"])
def test_braces_draw_nothing(module):
    assert module.render(nested("{", "}", 127)) == "x\n"


@pytest.mark.parametrize("module", [vok, vok_latex], ids=["vok", "vok_latex"])
@pytest.mark.parametrize("terms", [10, 1_000_000])
def test_long_infix_chain(module, terms):
    text = "+".join("ab"[i % 2] for i in range(terms))
    picture = module.render(text)
    assert picture == " + ".join("ab"[i % 2] for i in range(terms)) + "\n"


@pytest.mark.parametrize("module, times", [(vok, "·"), (vok_latex, "*")], ids=["vok", "vok_latex"])
def test_long_mixed_operator_chain(module, times):
    picture = module.render("a" + "-b=c*d" * 100_000)
    assert picture == "a" + f" - b = c {times} d" * 100_000 + "\n"


@pytest.mark.parametrize("module", [vok, vok_latex], ids=["vok", "vok_latex"])
def test_long_juxtaposition(module):
    assert module.render("xy" * 500_000) == "xy" * 500_000 + "\n"


@pytest.mark.parametrize("module", [vok, vok_latex], ids=["vok", "vok_latex"])
def test_long_chain_of_groups_and_scripts(module):
    text = "{x}^2" * 200_000 + "+" + "y_1" * 200_000
    assert module.render(text) == "x²" * 200_000 + " + " + "y₁" * 200_000 + "\n"
