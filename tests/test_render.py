"""Rendering rules that golden files cannot hold: white-space escapes, the picture size limit, and
the order in which errors are found."""

import pytest

import vok
import vok_latex

TOO_LARGE = "formula too large to render"


@pytest.mark.parametrize("space", ["\t", "\n", "\r", "\x0b", "\x0c", "\u0085", "\u00a0", "\u2003", "\u2028", "\u3000"])
def test_backslash_before_white_space_is_the_space_escape(space):
    # The character itself would break the row; it draws as four blank columns instead.
    assert vok.render(f"x\\{space}y") == "x    y\n"
    assert vok.render(f"\\frac{{a\\{space}b}}{{c}}") == vok.render("\\frac{a\\ b}{c}")


@pytest.mark.parametrize("space", ["\t", "\n", "\r", " "])
def test_an_escaped_white_space_as_a_text_argument_is_a_blank(space):
    # As in braces; written as it is, a line feed would break the picture's row.
    assert vok_latex.render(f"a\\text\\{space}b") == vok_latex.render("a\\text{\\ }b") == "a b\n"
    assert vok_latex.render(f"\\fbox\\{space}") == "┌───┐\n│   │\n└───┘\n"


def numerator_tower(levels: int, width: int) -> str:
    """Fractions nested in numerators: the picture height doubles per level (2^(levels+1) - 1)."""
    text = "a" * width
    for _ in range(levels):
        text = f"\\frac{{{text}}}{{b}}"
    return text


def test_size_limit_boundary():
    # 4095 rows: 4097 columns make 16,777,215 cells (allowed), 4098 make 16,781,310 (refused).
    picture = vok.render(numerator_tower(11, 4097))
    rows = picture.split("\n")[:-1]
    assert len(rows) == 4095 and {len(row) for row in rows} == {4097}
    with pytest.raises(ValueError, match=f"^{TOO_LARGE}$"):
        vok.render(numerator_tower(11, 4098))


@pytest.mark.parametrize(
    "formula",
    [
        numerator_tower(40, 1),               # the height doubles 40 times: terabytes if unchecked
        numerator_tower(120, 1),
        "\\sqrt{" * 60 + numerator_tower(30, 1) + "}" * 60,
        "\\begin{matrix}" + " & ".join([numerator_tower(12, 1)] * 4097) + "\\end{matrix}",
    ],
    ids=["tower of 40", "tower of 120", "roots over a tower", "wide matrix of towers"],
)
def test_huge_pictures_fail_cleanly(formula):
    with pytest.raises(ValueError, match=f"^{TOO_LARGE}$"):
        vok.render(formula)


def test_zero_width_rows_count_toward_the_limit():
    # A column of width-0 rows still prints one line feed per row.
    tall_empty = "\\begin{matrix}" + "\\!\\\\" * 3 + "\\end{matrix}"
    assert vok.render(tall_empty) == "    \n" * 5
    with pytest.raises(ValueError, match=f"^{TOO_LARGE}$"):
        vok.render(numerator_tower(24, 0).replace("{b}", "{\\!}"))


def tower(levels: int, core: str = "x") -> str:
    """Fractions with empty denominators nested in numerators."""
    for _ in range(levels):
        core = f"\\frac{{{core}}}{{}}"
    return core


@pytest.mark.parametrize(
    "formula, rows, width",
    [
        # No block comes near the limit, however deep the nesting around it.
        ("(" * 120 + "1" * 1_100_000 + ")" * 120, 1, 1_100_240),
        ("-" * 230 + "{" + tower(10) + "x" * 300 + "}", 2047, 531),
        ("\\sqrt{" * 116 + tower(10) + "x" * 300 + "}" * 116, 2163, 649),
    ],
    ids=["digits in 120 parentheses", "230 minus signs over a tower", "116 roots over a tower"],
)
def test_deep_nesting_around_a_large_picture_renders(formula, rows, width):
    lines = vok.render(formula).split("\n")
    assert lines.pop() == ""
    assert len(lines) == rows and {len(line) for line in lines} == {width}


def test_siblings_of_a_large_picture_fail_at_once():
    # Each A holds about 9.8 million cells and each C about 14 million: together they pass the
    # limit, which is found before anything is drawn.
    big = "\\sum{%s^{%s}}" % (tower(10), tower(9))
    a = "\\sum{%s^{%s}}" % (tower(10), tower(8))
    c = "{" + "-" * 220 + "{" + big + "}}"
    assert len(vok.render(a)) > 9_800_000
    with pytest.raises(ValueError, match=f"^{TOO_LARGE}$"):
        vok.render(a + " x {" + a + " " + a + " " + " ".join([c] * 4) + "}")


def test_errors_keep_their_order():
    huge = numerator_tower(30, 1)
    # A cell that is too large in the first row is found before the second row's length is compared.
    with pytest.raises(ValueError, match=f"^{TOO_LARGE}$"):
        vok.render(f"\\begin{{matrix}} {huge} \\\\ a & b \\end{{matrix}}")
    # A ragged second row is found before a later row is rendered.
    with pytest.raises(ValueError, match="^matrix rows have different lengths$"):
        vok.render(f"\\begin{{matrix}} a \\\\ b & c \\\\ {huge} \\end{{matrix}}")
    # Parse errors come before any rendering.
    with pytest.raises(ValueError, match="^Unexpected token at position"):
        vok.render(huge + "+x^")
    # The base renders before its script.
    with pytest.raises(ValueError, match=f"^{TOO_LARGE}$"):
        vok.render("{" + huge + "}^{\\begin{matrix} a \\\\ b & c \\end{matrix}}")


def test_unread_tokens_are_ignored():
    assert vok.render("a } \\frac{") == "a\n"
    assert vok.render("x^2^3") == "x²\n"


@pytest.mark.parametrize(
    ("formula", "expected"),
    [
        (r"\text{a $x + \text{b $y$} + z$}", "a x + b y + z"),  # math in a text in math in a text
        (r"\text{$}", "missing '$' for the '$' at byte 6, column 7"),
        (r"\text{$x}$", "missing '$' for the '$' at byte 6, column 7"),  # not past the text's end
    ],
)
def test_math_in_text_ends_at_its_own_dollar(formula, expected):
    try:
        drawn = vok_latex.render(formula, linear=True).removesuffix("\n")
    except ValueError as error:
        drawn = str(error)
    assert drawn == expected
