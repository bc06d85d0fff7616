"""A formula's one-row form (linear=True): golden rows by construct, in Unicode and in ASCII, and
what the option does to errors, widths and the command."""

import subprocess

import pytest

import vok_latex


def one_row(formula: str, **options) -> str:
    line = vok_latex.render(formula, linear=True, **options)
    assert line.endswith("\n") and line.count("\n") == 1
    return line[:-1]


# Each construct's cases: formula, its one row, and the row in ASCII.
CASES = {
    "fractions and their parentheses": [
        (r"\frac{a}{b}", "a/b", "a/b"),
        (r"\frac{a+b}{2}", "(a + b)/2", "(a + b)/2"),
        (r"\frac{1}{2a}", "1/(2a)", "1/(2a)"),
        (r"\frac{1}{2}", "½", "1/2"),
        (r"\frac{3}{4} + \frac{1}{11}", "¾ + 1/11", "3/4 + 1/11"),
        (r"\frac{\frac{a}{b}}{c}", "(a/b)/c", "(a/b)/c"),
        (r"\frac{a}{\frac{b}{c}}", "a/(b/c)", "a/(b/c)"),
        (r"\frac{1}{11} m", "(1/11) m", "(1/11) m"),
        (r"x = \frac{a}{b}; y", "x = a/b; y", "x = a/b; y"),
        (r"\frac{a}{b}, \frac{c}{d}.", "a/b, c/d.", "a/b, c/d."),
        (r"x^\alpha.", "x^α.", "x^alpha."),
        (r"f(\frac{a}{b})", "f(a/b)", "f(a/b)"),
        (r"\frac{a}{b}^2", "(a/b)²", "(a/b)^2"),
        (r"{a \over b} + c", "a/b + c", "a/b + c"),
        (r"\frac{n!}{k!}", "n!/k!", "n!/k!"),
        (r"\frac{x^k}{k}", "xᵏ/k", "x^k/k"),
        (r"\frac{e^{i\pi}}{2}", "e^(iπ)/2", "e^(i pi)/2"),
    ],
    "scripts": [
        (r"x^2 + x_i + x_{ij}^{n+1}", "x² + xᵢ + xᵢⱼⁿ⁺¹", "x^2 + x_i + x_(ij)^(n+1)"),
        (r"e^{i\pi}", "e^(iπ)", "e^(i pi)"),
        (r"x^\alpha y^\beta", "x^α y^β", "x^alpha y^beta"),
        (r"x_{\max} + x_{\rm b}", "xₘₐₓ + x_b", "x_max + x_b"),
        (r"{x^\alpha}^2", "(x^α)²", "(x^alpha)^2"),
        (r"x^{\frac{1}{2}}", "x^½", "x^(1/2)"),
        (r"f'(x) + f''", "f′(x) + f″", "f'(x) + f\""),
        (r"{}^{14}C", "¹⁴C", "^14 C"),
    ],
    "large operators and limits": [
        (r"\sum_{i=1}^{n} i^2", "∑ᵢ₌₁ⁿ i²", "sum_(i=1)^n i^2"),
        (r"\sum_{k=0}^\infty a_k", "∑_(k=0)^∞ aₖ", "sum_(k=0)^inf a_k"),
        (r"\prod_{p} p = x", "∏ₚ p = x", "prod_p p = x"),
        (r"\int_0^1 f\,dx = 1", "∫₀¹ f dx = 1", "int_0^1 f dx = 1"),
        (r"\iint_D f", "∬_D f", "iint_D f"),
        (r"\lim_{x \to 0} f(x)", "lim_(x→0) f(x)", "lim_(x->0) f(x)"),
        (r"\lim_{n\to\infty} (1+\frac1n)^n", "lim_(n→∞) (1 + 1/n)ⁿ", "lim_(n->inf) (1 + 1/n)^n"),
        (r"\max_i x_i", "maxᵢ xᵢ", "max_i x_i"),
        (r"\sum x", "∑ x", "sum x"),
    ],
    "roots": [
        (r"\sqrt{2}", "√2", "sqrt(2)"),
        (r"\sqrt{x+1}", "√(x + 1)", "sqrt(x + 1)"),
        (r"\sqrt{x}y", "√x y", "sqrt(x)y"),
        (r"\sqrt[3]{x} \sqrt[4]{y}", "∛x ∜y", "x^(1/3)y^(1/4)"),
        (r"\sqrt[n]{x}", "ⁿ√x", "x^(1/n)"),
        (r"\sqrt[k+1]{x}", "x^(1/(k + 1))", "x^(1/(k + 1))"),
        (r"\sqrt{\frac{a}{b}}", "√(a/b)", "sqrt(a/b)"),
    ],
    "accents, stacks and marks": [
        (r"\bar{x} \vec{v} \dot{x}", "x\u0304v\u20d7x\u0307", "bar(x)vec(v)dot(x)"),
        (r"\hat{xy}", "hat(xy)", "hat(xy)"),
        (r"\underline{x} \underline{ab}", "x\u0332underline(ab)", "underline(x)underline(ab)"),
        (r"\binom{n}{k}", "C(n, k)", "C(n, k)"),
        (r"{n \choose k}", "C(n, k)", "C(n, k)"),
        (r"{a \atop b}", "(a; b)", "(a; b)"),
        (r"\overset{!}{=}", "=^!", "=^!"),
        (r"\underset{x}{\arg\max}", "arg maxₓ", "arg max_x"),
        (r"a \xrightarrow[g]{f} b", "a →_g^f b", "a ->_g^f b"),
        (r"\boxed{x = 1}", "x = 1", "x = 1"),
        (r"\Big( x \Big)", "(x)", "(x)"),
        (r"\angl{n}", "n⌉", "n)"),
        (r"a\rule{1em}{2em}b", "a██b", "a##b"),
    ],
    "tables": [
        (r"\begin{pmatrix} a & b \\ c & d \end{pmatrix}", "(a  b; c  d)", "(a  b; c  d)"),
        (r"\begin{bmatrix} 1 & 0 \end{bmatrix}", "[1  0]", "[1  0]"),
        (r"\begin{cases} 1 & x > 0 \\ 0 & x \le 0 \end{cases}", "{1  x > 0; 0  x ≤ 0",
         "{1  x > 0; 0  x <= 0"),
        (r"\begin{aligned} a &= b \\ c &= d \end{aligned}", "a = b; c = d", "a = b; c = d"),
        (r"\begin{aligned} a &= b + c \\ &= d \\ & e \end{aligned}", "a = b + c = d e",
         "a = b + c = d e"),
        (r"\sum_{\substack{i < n \\ j < m}} a", "∑_(i<n; j<m) a", "sum_(i<n; j<m) a"),
        # Labels two blanks after their rows; a row with none ends at its content.
        (r"\begin{gather} a = b \notag \\ c = d \end{gather}", "a = b; c = d  (1)",
         "a = b; c = d  (1)"),
        (r"\begin{align} a &= b \\ c &= d \tag{*} \end{align}", "a = b  (1); c = d  (*)",
         "a = b  (1); c = d  (*)"),
    ],
    "stacks with delimiters of their own, diagrams, braces": [
        (r"\genfrac ( ] {0.06em}{0}{a}{b+c}", "(a/(b + c)]", "(a/(b + c)]"),
        (r"{n \atopwithdelims [ ] k}", "[n; k]", "[n; k]"),
        (r"\begin{CD} A @>f>> B \\ @VgVV @| \\ C @= D \end{CD}", "A →ᶠ B; ↓ᵍ  ‖; C === D",
         "A ->^f B; downarrow^g  ||; C === D"),
        (r"120\text{V}\phase{30}", "120V∠30", "120V∠30"),
        # A brace's content is written once, in the brace's own form.
        (r"\overbrace{x+y}^{n} z", "overbrace(x + y)ⁿ z", "overbrace(x + y)^n z"),
    ],
    "spelt in ASCII": [
        (r"\alpha\beta + 2\pi r", "αβ + 2πr", "alpha beta + 2pi r"),
        (r"\frac{\partial f}{\partial x}", "(∂f)/(∂x)", "(df)/(dx)"),
        (r"x \in \mathbb{R}^n, \mathbf{v} \le \infty", "x ∈ ℝⁿ, 𝐯 ≤ ∞", "x in R^n, v <= inf"),
        (r"\lfloor x \rfloor \ne \lceil y \rceil", "⌊x⌋ ≠ ⌈y⌉", "floor(x) != ceil(y)"),
        (r"\mathbf{\Omega} + \boldsymbol{\alpha}", "𝛀 + 𝜶", "Omega + alpha"),
    ],
}

ROWS = [(group, *case) for group, cases in CASES.items() for case in cases]


@pytest.mark.parametrize("group, formula, line, ascii_line", ROWS,
                         ids=[f"{group}: {formula}" for group, formula, _, _ in ROWS])
def test_one_row_forms(group, formula, line, ascii_line):
    assert (one_row(formula), one_row(formula, ascii=True)) == (line, ascii_line)


@pytest.mark.parametrize("formula", [r"\frac{a}{", r"x^", r"\begin{pmatrix} a", "}"])
def test_the_errors_are_the_pictures(formula):
    with pytest.raises(ValueError) as picture:
        vok_latex.render(formula)
    with pytest.raises(ValueError) as line:
        vok_latex.render(formula, linear=True)
    assert str(line.value) == str(picture.value)


def test_a_one_row_form_is_not_broken_by_a_width():
    formula = r"a + b + \frac{c}{d} = e + f + g + h"
    assert vok_latex.render(formula, linear=True, width=8) == "a + b + c/d = e + f + g + h\n"
    assert vok_latex.render("", linear=True) == ""


def test_linear_is_a_bool():
    with pytest.raises(TypeError, match="linear must be a bool"):
        vok_latex.render("x", linear=1)
    with pytest.raises(TypeError):
        vok_latex.render_markdown("x", linear=True)


def test_the_command_writes_one_row(vok_command):
    done = subprocess.run([vok_command, "--latex", "--linear", r"\frac{1}{2a}", "e^{i\\pi}"],
                          capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout, done.stderr) == (0, "1/(2a)\n\ne^(iπ)\n", "")
    done = subprocess.run([vok_command, "--markdown", "--linear"], input="$x$",
                          capture_output=True, text=True, timeout=60)
    assert done.returncode == 2 and "--inline" in done.stderr


def test_a_documents_inline_math_is_written_in_one_row():
    document = "Euler: $e^{i\\pi} = -1$, and \\(\\frac{1}{2a}\\).\n"
    assert vok_latex.render_markdown(document) == "Euler: e^(iπ) = -1, and 1/(2a).\n"
    assert vok_latex.render_markdown(document, inline="picture") == document
