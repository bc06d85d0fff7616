"""The list of a dialect's commands (`vok --exact --commands`, `vok --commands`) against what the
dialect draws: every listed command draws as its group says, and the exact markup knows no command
that its list leaves out.
"""

import re
import subprocess

import pytest

import vok
import vok_latex
from conftest import columns


def listed(vok_command: str, *options: str) -> list[tuple[str, str, str]]:
    """The list's rows: the name without its backslash, the group, what it draws."""
    done = subprocess.run([vok_command, *options, "--commands"], capture_output=True, text=True,
                          timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    rows = [tuple(line.split("\t")) for line in done.stdout.splitlines()]
    assert all(len(row) == 3 and row[0].startswith("\\") for row in rows)
    return [(name[1:], group, drawn) for name, group, drawn in rows]


@pytest.fixture(scope="module")
def lists(vok_command):
    return {vok: listed(vok_command, "--exact"), vok_latex: listed(vok_command)}


def picture(module, formula: str) -> str | None:
    """The picture of a formula, or None when it is an input error."""
    try:
        return module.render(formula)
    except ValueError:
        return None


def first(module, *formulas: str) -> str | None:
    """The picture of the first formula that is not an input error."""
    return next((p for formula in formulas if (p := picture(module, formula)) is not None), None)


def restyled(p: str | None) -> bool:
    """Whether a picture of AB in an alphabet, then C, shows both letters in one alphabet (changed
    or not) and C as it is."""
    return p is not None and re.fullmatch(r"[^\s\\]{2}C\n", p) is not None and (
        (p[0] == "A") == (p[1] == "B"))


# What a command of each group draws, given the dialect's module, the name, and what the list says
# it draws.
def symbol(module, name, drawn):  # a mark alone encloses or marks a blank of its own
    return picture(module, f"\\{name}") == " " * (columns(drawn) == 0) + drawn + "\n"


def large_operator(module, name, drawn):  # its scripts are limits: above it and below it
    limits = "\\limits" if module is vok_latex else ""  # an integral's stand at its right without it
    rows = (picture(module, f"\\{name}{limits}_{{a}}^{{b}} x") or "\n").split("\n")[:-1]
    return "b" in rows[0] and "a" in rows[-1]


def function(module, name, drawn):  # its word, alone or before its argument (\pmod{n})
    p = first(module, f"\\{name}", f"\\{name}{{n}}")
    return p is not None and drawn.strip() in p and "\\" not in p


def accent(module, name, drawn):  # a mark on a row of its own, above or below the argument
    rows = (picture(module, f"\\{name}{{x}}") or "").split("\n")[:-1]
    if len(rows) >= 2 and "x" in [row.strip() for row in rows]:
        return True
    # A text accent: its letter marked, in one column, in text (where \c \d \b are read).
    p = picture(module, f"\\text{{\\{name}{{x}}}}") or ""
    return p.endswith("\n") and p != "x\n" and columns(p[:-1]) == 1


def alphabet(module, name, drawn):
    return restyled(picture(module, f"\\{name}{{AB}}C"))


def switch(module, name, drawn):  # the rest of its group, no further
    return restyled(picture(module, f"{{\\{name} AB}}C"))


def text(module, name, drawn):  # the blank between the words kept, after its other arguments
    p = first(module, f"\\{name}{{a b}}", f"\\{name}{{red}}{{a b}}",
              f"\\{name}{{red}}{{red}}{{a b}}")
    return p is not None and re.search(r"\S \S", p) is not None and "\\" not in p


def space(module, name, drawn):  # blank columns, after the dimension it reads
    formulas = [f"a\\{name} b", f"a\\{name}{{1em}}b", f"a\\{name} 3mu b"]
    return any(re.fullmatch(r"a *b\n", picture(module, f) or "") for f in formulas)


def style(module, name, drawn):  # nothing of its own, its content kept
    return any(picture(module, f"\\{name}{args} x") == "x\n"
               for args in ("", "{red}", "{1em}{1em}", "{red}{RGB}{1,0,0}"))


def structure(module, name, drawn):
    # Alone it is an input error (an argument or its partner missing) or a picture, never what an
    # unknown command draws: its bare name in the exact markup, the command as written in LaTeX.
    alone = picture(module, f"\\{name}")
    if module is vok:
        return alone != f"{name}\n" or name == "end"  # a stray \end is drawn as its name by rule
    return alone is None or f"\\{name}" not in alone


CHECKS = {
    vok: {"symbol": symbol, "function": function, "accent": accent, "alphabet": alphabet,
          "structure": structure},
    vok_latex: {"ordinary": symbol, "binary": symbol, "relation": symbol, "opening": symbol,
                "closing": symbol, "punctuation": symbol, "inner": symbol,
                "operator": large_operator, "function": function, "accent": accent,
                "alphabet": alphabet, "switch": switch, "text": text, "space": space,
                "style": style, "structure": structure},
}

DIALECTS = {vok: "exact", vok_latex: "latex"}


@pytest.mark.parametrize("module", CHECKS, ids=DIALECTS.get)
def test_every_group_has_a_check(lists, module):
    assert {group for _, group, _ in lists[module]} == set(CHECKS[module])


@pytest.mark.parametrize("module, group", [(m, g) for m in CHECKS for g in CHECKS[m]],
                         ids=[f"{DIALECTS[m]}-{g}" for m in CHECKS for g in CHECKS[m]])
def test_every_listed_command_draws_as_its_group_says(lists, module, group):
    check = CHECKS[module][group]
    wrong = [name for name, in_group, drawn in lists[module]
             if in_group == group and not check(module, name, drawn)]
    assert wrong == []


def test_stacks_and_tags_draw_nothing_of_their_own(lists):
    # Their delimiters are the construct's, not a character of the command.
    rows = {name: (group, drawn) for name, group, drawn in lists[vok_latex]}
    names = ("binom", "dbinom", "tbinom", "choose", "brace", "brack", "tag")
    assert [rows[name][1] for name in names] == [""] * len(names)
    assert {rows[name][0] for name in names} == {"structure", "text"}


def test_the_exact_markup_knows_no_command_its_list_leaves_out(lists):
    # An unknown command is drawn as its bare name; the LaTeX dialect's names are the candidates.
    exact = {name for name, _, _ in lists[vok]}
    assert exact <= {name for name, _, _ in lists[vok_latex]}
    known = [name for name, _, _ in lists[vok_latex]
             if name not in exact and picture(vok, f"\\{name}") != name + "\n"]
    assert known == []


def test_every_command_keeps_the_rows_of_a_picture_one_width(lists):
    # A wide sign takes two columns and a mark joins a blank or the cell it marks, alone, as a
    # script, over a fraction's rule, as an accent's argument and in ASCII.
    uneven = []
    for name, _, _ in lists[vok_latex]:
        for formula in (f"\\{name}{{ab}}", f"\\{name}^x_y", f"\\frac{{\\{name}}}{{ab}}"):
            for ascii in (False, True):
                try:
                    p = vok_latex.render(formula, ascii=ascii)
                except ValueError:
                    continue
                if len({columns(row) for row in p.split("\n")[:-1]}) > 1:
                    uneven.append((formula, ascii))
    assert uneven == []
