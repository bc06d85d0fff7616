"""Macros of the LaTeX dialect: the formula's own definitions and the caller's, their parameters,
scopes and errors, and the bounds of expansion. Results are one-row forms, short to compare."""

import subprocess

import pytest

import vok_latex


def row(formula: str, **options) -> str:
    return vok_latex.render(formula, linear=True, **options).removesuffix("\n")


DEFINED = [
    # \newcommand and its relatives
    (r"\newcommand{\R}{\mathbb{R}} \R^n", "ℝⁿ"),
    (r"\newcommand\R{\mathbb{R}}\R", "ℝ"),
    (r"\newcommand{\pd}[2]{\frac{\partial #1}{\partial #2}} \pd{f}{x}", "(∂f)/(∂x)"),
    (r"\newcommand{\f}[2][x]{#1^{#2}} \f{2} + \f[y]{3}", "x² + y³"),
    (r"\newcommand*{\e}{\varepsilon} \e", "ε"),
    (r"\newcommand{\a}{1} \renewcommand{\a}{2} \a", "2"),
    (r"\newcommand{\a}{1} \providecommand{\a}{2} \providecommand{\b}{3} \a\b", "13"),
    # \def, with undelimited and delimited parameters
    (r"\def\sq#1{#1^2} \sq{y} + \sq x", "y² + x²"),
    (r"\def\pair(#1,#2){\langle #1, #2 \rangle} \pair(a,b)", "⟨a, b⟩"),
    (r"\def\br#1.{[#1]} \br{x}. + \br y z.", "[x] + [yz]"),
    (r"\def\h{\#} \h", "#"),
    (r"\def\:{x} \: + \:", "x + x"),  # a control symbol names a macro too
    # \let, \DeclareMathOperator, \edef
    (r"\let\eps\varepsilon \eps", "ε"),
    (r"\def\a{x} \let\b\a \def\a{y} \b\a", "xy"),
    (r"\DeclareMathOperator{\tr}{tr} \tr A", "tr A"),
    (r"\def\a{x} \edef\b{\a\a} \def\a{y} \b", "xx"),
    # text keeps its spaces through a macro and its argument
    (r"\newcommand{\T}[1]{\text{#1}} \T{hello world}", "hello world"),
    # a macro's replacement calling another, defined later
    (r"\def\a{\b} \def\b{z} \a", "z"),
    # #{: the last parameter ends at a brace, which stays
    (r"\gdef\foo#1#{#1}\foo1^{23}", "1²³"),
    (r"\def\f#1#{\frac#1}\f{a}{b}", "a/b"),
]

# The primitives that rearrange what follows them, as TeX and LaTeX's kernel define them.
PRIMITIVES = [
    (r"\@firstoftwo{a}{b} \@secondoftwo{a}{b}", "ab"),
    (r"\def\x{\@ifstar{S}{N}} \x*a \x b", "SaNb"),
    (r"\def\x{\@ifnextchar[{O}{N}} \x[ \x a", "O[Na"),  # the [ is not taken
    (r"\def\b{ab}\expandafter\frac\b", "a/b"),
    (r"\def\a{x}\def\b{\a y}\expandafter\def\expandafter\c\expandafter{\b}\def\a{z}\c", "zy"),
    (r"\def\x{a}\edef\y{\noexpand\x b}\def\x{c}\y", "cb"),
    (r"\def\x{a}\noexpand\x y \noexpand\def\z{w}\z", "yw"),  # a macro is nothing; \def is done
    (r"\def\f{a}\xdef\b{\def\noexpand\f{}}\f\b\f", "a"),  # an \edef keeps what defines
    (r"\let\f=x\noexpand\f", "x"),  # a \let of a token is no macro
    (r"\futurelet\n\relax x \n", "xx"),
    (r"\begingroup\def\x{a}\x\endgroup\x", r"a\x"),
]


@pytest.mark.parametrize(("formula", "expected"), PRIMITIVES)
def test_primitives(formula, expected):
    assert row(formula) == expected


@pytest.mark.parametrize(("formula", "expected"), DEFINED)
def test_definitions_in_the_formula(formula, expected):
    assert row(formula) == expected


SCOPES = [
    (r"{\def\a{1}\a}\a", r"1\a"),  # local to its group
    (r"{\gdef\a{1}}\a", "1"),
    (r"{\global\def\a{1}}\a", "1"),
    (r"{\global\long\def\a{1}}\a", "1"),
    (r"\def\gd{\gdef}{\global\gd\a{1}}\a", "1"),  # a prefix expands what follows it
    (r"\def\a{1}{\def\a{2}\a}\a", "21"),  # the outer meaning returns
    (r"\def\a{1}{\gdef\a{2}}\a", "2"),
    # \left … \right, an environment and each of its cells are groups too
    (r"\def\a{1}\left(\def\a{2}\a\right)\a", "(2) 1"),
    (r"\def\a{1}\begin{matrix}\a&\def\a{2}\a&\a\end{matrix}\a", "1  2  11"),
    (r"\def\a{1}\begin{aligned}\def\a{2}x&=\a\end{aligned}", "x = 1"),
    (r"\def\a{1}\begin{matrix}\gdef\a{2}\a&\a\end{matrix}\a", "2  22"),
    (r"\def\a{1}\begin{matrix}\begin{matrix}\def\a{3}\a\end{matrix}&\a\end{matrix}", "3  1"),
]


@pytest.mark.parametrize(("formula", "expected"), SCOPES)
def test_scopes(formula, expected):
    assert row(formula) == expected


def test_given_macros_and_the_callers_mapping():
    macros = {r"\R": r"\mathbb{R}", r"\norm": r"\left\| #1 \right\|", r"\ip": r"\langle #1, #2 \rangle"}
    before = dict(macros)
    assert row(r"\R^n + \norm{x} + \ip{a}{b}", macros=macros) == "ℝⁿ + ‖x‖ + ⟨a, b⟩"
    assert macros == before
    # the formula's own definition takes over from a given one
    assert row(r"\def\R{X} \R", macros=macros) == "X"
    assert vok_latex.render_markdown("Let $\\R^n$ be.\n", macros=macros) == "Let ℝⁿ be.\n"
    # the same mapping changed between calls, or another one, is read again
    macros[r"\R"] = r"\mathbb{Q}"
    assert row(r"\R", macros=macros) == "ℚ"
    assert row(r"\R\S{x}", macros={r"\R": "r", r"\S": "#1s"}) == "rxs"
    assert row(r"\R", macros={r"\R": "t"}) == "t"


ERRORS = [
    # the use that expands once too often: here the call inside the definition
    (r"\def\a{\a}\a", r"too many macro expansions of '\a' at byte 7, column 8"),
    (r"\def\a#1{#1#1}\def\b{\a\b}\b", r"too many macro expansions of '\b' at byte 23, column 24"),
    (r"\def\a#2{x}", r"parameter '#2' at byte 6, column 7 of '\a' is not defined"),
    (r"\newcommand{\a}[1]{#2}", r"parameter '#2' at byte 19, column 20 of '\a' is not defined"),
    (r"\def\a#1.{[#1]}\a xyz", r"use of '\a' at byte 15, column 16 does not match its definition"),
    (r"\newcommand{\a}[2]{#1#2} \a{x}", r"missing argument for '\a' at byte 25, column 26"),
    (r"\def{x}", r"expected a command name after '\def' at byte 0, column 1"),
    (r"\def\a{x", r"missing '}' for the '{' at byte 6, column 7"),
    # an error after a definition names its place in the formula as written
    (r"\newcommand{\q}{q} x + \q }", r"unmatched '}' at byte 26, column 27"),
]


@pytest.mark.parametrize(("formula", "message"), ERRORS)
def test_errors(formula, message):
    with pytest.raises(ValueError) as raised:
        vok_latex.render(formula)
    assert str(raised.value) == message


@pytest.mark.parametrize(
    ("macros", "error", "message"),
    [
        ({"R": "x"}, ValueError, r"macro name 'R' is not a command such as '\name'"),
        (["a"], TypeError, "render() macros must be a mapping of str to str, or None"),
        ({r"\R": 1}, TypeError, "render() macros must be a mapping of str to str, or None"),
    ],
)
def test_wrong_macros(macros, error, message):
    with pytest.raises(error) as raised:
        vok_latex.render("x", macros=macros)
    assert str(raised.value) == message


@pytest.mark.parametrize(
    "formula",
    [
        r"\def\a{\a}\a",
        r"\def\a{\a\a}\a",
        # each step doubles: 2**40 tokens if nothing stopped it
        "".join(rf"\def\m{chr(97 + i)}{{\m{chr(96 + i)}\m{chr(96 + i)}}}" for i in range(1, 26))
        + r"\def\ma{x}\mz",
    ],
)
def test_runaway_expansion_ends_in_an_error(formula):
    with pytest.raises(ValueError, match="too many macro expansions"):
        vok_latex.render(formula)


def test_a_documents_definitions_hold_for_the_formulas_after_them():
    document = (
        "Let $\\newcommand{\\R}{\\mathbb{R}}$ be given.\n\n"
        "$$\n\\def\\pair#1#2{(#1, #2)}\n$$\n\n"
        "Then $\\R^n$ and $\\pair{a}{b}$; ${\\def\\q{q}}\\q$ is an unknown command after its group.\n"
    )
    assert vok_latex.render_markdown(document) == (
        "Let  be given.\n\n\nThen ℝⁿ and (a, b); \\q is an unknown command after its group.\n"
    )
    # a formula that uses a document's macro and then defines it again is drawn with the old text
    long = "abcdefghijklmnopqrstuvwxyz0123456789"
    document = f"$\\gdef\\x{{{long}}}$, $\\x \\gdef\\x{{de}}$, $\\x$.\n"
    assert vok_latex.render_markdown(document) == f", {long}, de.\n"


def test_the_command_reads_a_file_of_macros(vok_command, tmp_path):
    def run(*args, text=None):
        return subprocess.run([vok_command, *args], input=text, capture_output=True, text=True)

    macros = tmp_path / "macros.tex"
    macros.write_text("\\newcommand{\\R}{\\mathbb{R}}\n% notation\n\\def\\norm#1{\\| #1 \\|}\n")
    shown = run("-l", "--linear", f"--macros={macros}", r"\R^n + \norm{x}")
    assert (shown.returncode, shown.stdout) == (0, "ℝⁿ + ‖x‖\n")
    document = run("--markdown", "--macros", str(macros), text="Let $\\R$ be.\n")
    assert (document.returncode, document.stdout) == (0, "Let ℝ be.\n")
    macros.write_text("\\def\\a{\\a")
    broken = run("-l", "--macros", str(macros), "x")
    assert (broken.returncode, broken.stdout) == (1, "")
    assert broken.stderr == f"vok: {macros}: missing '}}' for the '{{' at byte 6, column 7\n"
