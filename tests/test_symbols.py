"""The whole symbol table: every one of the 148 command names draws what its row says."""

import pytest

import vok

# Commands drawn as one character.
CHARACTERS = {
    # Greek small letters (no final sigma, no variants)
    "alpha": "α", "beta": "β", "gamma": "γ", "delta": "δ", "epsilon": "ε", "zeta": "ζ", "eta": "η",
    "theta": "θ", "iota": "ι", "kappa": "κ", "lambda": "λ", "mu": "μ", "nu": "ν", "xi": "ξ",
    "omicron": "ο", "pi": "π", "rho": "ρ", "sigma": "σ", "tau": "τ", "upsilon": "υ", "phi": "φ",
    "chi": "χ", "psi": "ψ", "omega": "ω",
    # Greek capitals unlike Latin ones
    "Gamma": "Γ", "Delta": "Δ", "Theta": "Θ", "Lambda": "Λ", "Xi": "Ξ", "Pi": "Π", "Sigma": "Σ",
    "Phi": "Φ", "Psi": "Ψ", "Omega": "Ω",
    # symbols
    "infty": "∞", "partial": "∂", "nabla": "∇", "forall": "∀", "exists": "∃", "neg": "¬",
    "emptyset": "∅", "triangle": "△", "angle": "∠", "therefore": "∴", "because": "∵", "cdot": "·",
    "times": "×", "div": "÷", "pm": "±", "mp": "∓", "circ": "∘", "bullet": "∙", "star": "⋆",
    "le": "≤", "ge": "≥", "ne": "≠", "approx": "≈", "equiv": "≡", "sim": "∼", "simeq": "≃",
    "cong": "≅", "propto": "∝", "perp": "⊥", "parallel": "∥", "to": "→", "rightarrow": "→",
    "Rightarrow": "⇒", "leftarrow": "←", "Leftarrow": "⇐", "mapsto": "↦", "implies": "⇒",
    "iff": "⇔", "in": "∈", "notin": "∉", "subset": "⊂", "supset": "⊃", "subseteq": "⊆",
    "supseteq": "⊇", "cup": "∪", "cap": "∩", "prod": "∏", "lvert": "|", "rvert": "|",
    "langle": "⟨", "rangle": "⟩", "lfloor": "⌊", "rfloor": "⌋", "lceil": "⌈", "rceil": "⌉",
    "quad": " ", "dots": "⋯",
}

# Commands drawn as their own name.
FUNCTIONS = ["sin", "cos", "tan", "cot", "sec", "csc", "arcsin", "arccos", "arctan", "sinh", "cosh",
             "tanh", "log", "ln", "lg", "det", "dim", "hom", "ker", "exp", "deg", "gcd", "lcm", "sup",
             "inf", "max", "min", "arg", "Pr", "mod", "adj"]

# Accents: the mark over one character, and whether it stretches over two.
ACCENTS = {
    "hat": ("^", False), "tilde": ("~", False), "bar": ("‾", False), "vec": ("→", False),
    "dot": ("˙", False), "ddot": ("¨", False), "acute": ("´", False), "grave": ("`", False),
    "check": ("ˇ", False), "breve": ("˘", False), "overline": ("─", True), "widehat": ("^", True),
    "widetilde": ("~", True),
}

ALPHABETS = {"mathbf": "𝐚𝐙𝟎", "mathbb": "𝕒ℤ𝟘", "mathrm": "aZ0", "mathit": "𝑎𝑍0", "mathsf": "𝖺𝖹𝟢"}

# The structures, each with a one-line picture that shows its kind.
STRUCTURES = {
    "frac": ("\\frac{a}{b}", "a\n─\nb\n"),
    "binom": ("\\binom{a}{b}", "⎛ a ⎞\n⎜   ⎟\n⎝ b ⎠\n"),
    "sqrt": ("\\sqrt{a}", " ┌──\n╲│ a\n"),
    "lim": ("\\lim_a", "    \nlim \na   \n"),
    "int": ("\\int", "⎛ \n⎜ \n⎠ \n"),
    "sum": ("\\sum", "━━┓ \n❯   \n━━┛ \n"),
    "abs": ("\\abs{a}", "|a|\n"),
}


def test_the_table_has_148_names():
    names = (set(CHARACTERS) | set(FUNCTIONS) | set(ACCENTS) | set(ALPHABETS) | set(STRUCTURES))
    assert len(CHARACTERS) == 91 and len(FUNCTIONS) == 31 and len(ACCENTS) == 13
    assert len(names) == 147  # and "|", the name of a pair of bars


@pytest.mark.parametrize("name", sorted(CHARACTERS))
def test_character_commands(name):
    assert vok.render("\\" + name) == CHARACTERS[name] + "\n"


@pytest.mark.parametrize("name", FUNCTIONS)
def test_function_names(name):
    assert vok.render("\\" + name) == name + "\n"
    assert vok.render("\\" + name + "_0") == name + "₀\n", "a function name takes ordinary scripts"


@pytest.mark.parametrize("name", sorted(ACCENTS))
def test_accents(name):
    mark, stretch = ACCENTS[name]
    assert vok.render(f"\\{name}{{x}}") == f"{mark}\nx\n"
    assert vok.render(f"\\{name}{{xy}}") == (mark * 2 if stretch else " " + mark) + "\nxy\n"


@pytest.mark.parametrize("name", sorted(ALPHABETS))
def test_alphabets(name):
    assert vok.render(f"\\{name}{{aZ0}}") == ALPHABETS[name] + "\n"
    assert vok.render(f"\\{name}{{α ─}}") == "α─\n", "only ASCII letters and digits change"


@pytest.mark.parametrize("name", sorted(STRUCTURES))
def test_structures(name):
    formula, picture = STRUCTURES[name]
    assert vok.render(formula) == picture


def test_bars_are_the_absolute_value():
    assert vok.render("|a|") == vok.render("\\abs{a}")
    assert vok.render("|\\frac{a}{b}|") == vok.render("\\abs{\\frac{a}{b}}")


def test_lim_is_the_limit_word_not_a_function_name():
    # A function name would take a compact subscript; the limit word puts it below.
    assert vok.render("\\lim_0") == "    \nlim \n0   \n"
    assert vok.render("\\max_0") == "max₀\n"


@pytest.mark.parametrize("name", ["Alpha", "pr", "Sin", "Lim", "mathcal", "varepsilon", "cdots", "operatorname"])
def test_names_outside_the_table_draw_their_name(name):
    assert vok.render("\\" + name) == name + "\n"


@pytest.mark.parametrize(
    "char, bold, italic, sans, bb",
    [
        ("A", "𝐀", "𝐴", "𝖠", "𝔸"), ("Z", "𝐙", "𝑍", "𝖹", "ℤ"), ("a", "𝐚", "𝑎", "𝖺", "𝕒"),
        ("h", "𝐡", "ℎ", "𝗁", "𝕙"), ("z", "𝐳", "𝑧", "𝗓", "𝕫"), ("0", "𝟎", "0", "𝟢", "𝟘"),
        ("9", "𝟗", "9", "𝟫", "𝟡"), ("C", "𝐂", "𝐶", "𝖢", "ℂ"), ("H", "𝐇", "𝐻", "𝖧", "ℍ"),
        ("N", "𝐍", "𝑁", "𝖭", "ℕ"), ("P", "𝐏", "𝑃", "𝖯", "ℙ"), ("Q", "𝐐", "𝑄", "𝖰", "ℚ"),
        ("R", "𝐑", "𝑅", "𝖱", "ℝ"), ("B", "𝐁", "𝐵", "𝖡", "𝔹"),
    ],
)
def test_alphabet_ranges_and_exceptions(char, bold, italic, sans, bb):
    for name, expected in [("mathbf", bold), ("mathit", italic), ("mathsf", sans), ("mathbb", bb),
                           ("mathrm", char)]:
        assert vok.render(f"\\{name}{{{char}}}") == expected + "\n", name
