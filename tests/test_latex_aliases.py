"""Other names of the LaTeX dialect: each draws the same picture as the command it stands for."""

import pytest

import vok_latex

# alias -> the formula it reads as
ALIASES = {
    r"\lt": "<", r"\gt": ">", r"\lang": r"\langle", r"\rang": r"\rangle",
    r"\R": r"\mathbb{R}", r"\Reals": r"\mathbb{R}", r"\reals": r"\mathbb{R}",
    r"\N": r"\mathbb{N}", r"\natnums": r"\mathbb{N}", r"\Z": r"\mathbb{Z}", r"\Q": r"\mathbb{Q}",
    r"\C": r"\mathbb{C}", r"\Complex": r"\mathbb{C}", r"\cnums": r"\mathbb{C}",
    r"\Bbb{R}": r"\mathbb{R}", r"\frak{g}": r"\mathfrak{g}",
    r"\larr": r"\leftarrow", r"\rarr": r"\rightarrow", r"\lrarr": r"\leftrightarrow",
    r"\harr": r"\leftrightarrow", r"\lArr": r"\Leftarrow", r"\Larr": r"\Leftarrow",
    r"\rArr": r"\Rightarrow", r"\Rarr": r"\Rightarrow", r"\lrArr": r"\Leftrightarrow",
    r"\Lrarr": r"\Leftrightarrow", r"\hArr": r"\Leftrightarrow", r"\Harr": r"\Leftrightarrow",
    r"\uarr": r"\uparrow", r"\darr": r"\downarrow", r"\uArr": r"\Uparrow", r"\Uarr": r"\Uparrow",
    r"\dArr": r"\Downarrow", r"\Darr": r"\Downarrow",
    r"\isin": r"\in", r"\infin": r"\infty", r"\plusmn": r"\pm", r"\sdot": r"\cdot",
    r"\empty": r"\emptyset", r"\exist": r"\exists", r"\sub": r"\subset", r"\sube": r"\subseteq",
    r"\supe": r"\supseteq", r"\alef": r"\aleph", r"\alefsym": r"\aleph", r"\real": r"\Re",
    r"\image": r"\Im", r"\weierp": r"\wp", r"\thetasym": r"\vartheta", r"\Dagger": r"\ddagger",
    r"\clubs": r"\clubsuit", r"\diamonds": r"\diamondsuit", r"\hearts": r"\heartsuit",
    r"\spades": r"\spadesuit", r"\sect": r"\S", r"\degree": "°",
    r"\colonequals": r"\coloneqq", r"\equalscolon": r"\eqqcolon",
    r"\coloncolonequals": r"\Coloneqq", r"\coloncolon": r"\dblcolon",
    r"\Eqcolon": r"\minuscoloncolon", r"\Eqqcolon": r"\equalscoloncolon",
    r"\Colonapprox": r"\coloncolonapprox", r"\Colonsim": r"\coloncolonsim",
    r"\varcoppa": r"\coppa", r"\varstigma": r"\stigma", r"\underbar{x}": r"\underline{x}",
    r"\lefteqn{x}": "x", r"\pagecolor{red}x": "x", r"\definecolor{c}{RGB}{1,2,3}x": "x",
    r"\raise 2pt\hbox{x}": "x", r"\lower.5ex\hbox{x}": "x", r"\text{\'{\i}}": r"\text{í}",
    r"\text{\textdollar}": r"\text{\$}", r"\text{\textunderscore}": r"\text{\_}",
    r"\text{\textbraceleft}": r"\text{\{}", r"\text{\textbar}": r"\text{|}",
}


@pytest.mark.parametrize("alias", sorted(ALIASES))
def test_alias_draws_as_its_command(alias):
    # Between two operands, so that a relation's or an operator's spacing is compared too.
    assert vok_latex.render(f"a {alias} b") == vok_latex.render(f"a {ALIASES[alias]} b")
