// The exact markup's table of commands, one row per command under its group. The LaTeX dialect's
// vocabulary starts from the same rows, so every name of the exact markup keeps its character
// there.
#pragma once

#include <array>

#include "constructs.hpp"
#include "vocabulary.hpp"

namespace vok::rows {

// A later row of a name replaces the earlier one.
// clang-format off
inline constexpr std::array kExactRows = {
    // Greek small letters (no final sigma, no variant forms).
    symbol("alpha", U'α'), symbol("beta", U'β'), symbol("gamma", U'γ'),
    symbol("delta", U'δ'), symbol("epsilon", U'ε'), symbol("zeta", U'ζ'),
    symbol("eta", U'η'), symbol("theta", U'θ'), symbol("iota", U'ι'),
    symbol("kappa", U'κ'), symbol("lambda", U'λ'), symbol("mu", U'μ'),
    symbol("nu", U'ν'), symbol("xi", U'ξ'), symbol("omicron", U'ο'),
    symbol("pi", U'π'), symbol("rho", U'ρ'), symbol("sigma", U'σ'),
    symbol("tau", U'τ'), symbol("upsilon", U'υ'), symbol("phi", U'φ'),
    symbol("chi", U'χ'), symbol("psi", U'ψ'), symbol("omega", U'ω'),

    // Greek capital letters that do not look like Latin ones.
    symbol("Gamma", U'Γ'), symbol("Delta", U'Δ'), symbol("Theta", U'Θ'),
    symbol("Lambda", U'Λ'), symbol("Xi", U'Ξ'), symbol("Pi", U'Π'),
    symbol("Sigma", U'Σ'), symbol("Phi", U'Φ'), symbol("Psi", U'Ψ'),
    symbol("Omega", U'Ω'),

    // Function names, drawn as their own name.
    word("sin"), word("cos"), word("tan"), word("cot"), word("sec"), word("csc"),
    word("arcsin"), word("arccos"), word("arctan"), word("sinh"), word("cosh"), word("tanh"),
    word("log"), word("ln"), word("lg"), word("det"), word("dim"), word("hom"), word("ker"),
    word("exp"), word("deg"), word("gcd"), word("lcm"), word("lim"), word("sup"), word("inf"),
    word("max"), word("min"), word("arg"), word("Pr"), word("mod"), word("adj"),

    // Structures.
    structure("binom", "mm", construct::binomial), structure("frac", "mm", construct::fraction),
    structure("sqrt", "[m", construct::root),
    limits(word("lim")),  // replaces the function name above: "lim" takes limits
    limits(structure("int", "b", construct::integral)),
    limits(structure("sum", "[b", construct::summation)),
    // Structure the parser reads itself: \left … \right and environments.
    role("left", Role::Left), role("right", Role::Right), role("begin", Role::Begin),
    role("end", Role::End),

    // Symbols: operators, relations, arrows, sets, delimiters, spacing.
    symbol("infty", U'∞'), symbol("partial", U'∂'), symbol("nabla", U'∇'),
    symbol("forall", U'∀'), symbol("exists", U'∃'), symbol("neg", U'¬'),
    symbol("emptyset", U'∅'), symbol("triangle", U'△'), symbol("angle", U'∠'),
    symbol("therefore", U'∴'), symbol("because", U'∵'), symbol("cdot", U'·'),
    symbol("times", U'×'), symbol("div", U'÷'), symbol("pm", U'±'),
    symbol("mp", U'∓'), symbol("circ", U'∘'), symbol("bullet", U'∙'),
    symbol("star", U'⋆'), symbol("le", U'≤'), symbol("ge", U'≥'),
    symbol("ne", U'≠'), symbol("approx", U'≈'), symbol("equiv", U'≡'),
    symbol("sim", U'∼'), symbol("simeq", U'≃'), symbol("cong", U'≅'),
    symbol("propto", U'∝'), symbol("perp", U'⊥'), symbol("parallel", U'∥'),
    symbol("to", U'→'), symbol("rightarrow", U'→'), symbol("Rightarrow", U'⇒'),
    symbol("leftarrow", U'←'), symbol("Leftarrow", U'⇐'), symbol("mapsto", U'↦'),
    symbol("implies", U'⇒'), symbol("iff", U'⇔'), symbol("in", U'∈'),
    symbol("notin", U'∉'), symbol("subset", U'⊂'), symbol("supset", U'⊃'),
    symbol("subseteq", U'⊆'), symbol("supseteq", U'⊇'), symbol("cup", U'∪'),
    symbol("cap", U'∩'), symbol("prod", U'∏'), symbol("lvert", U'|'),
    symbol("rvert", U'|'), symbol("langle", U'⟨'), symbol("rangle", U'⟩'),
    symbol("lfloor", U'⌊'), symbol("rfloor", U'⌋'), symbol("lceil", U'⌈'),
    symbol("rceil", U'⌉'), symbol("quad", U' '), symbol("dots", U'⋯'),

    // Absolute value; "|" is the name the parser gives a pair of bars around an expression.
    structure("abs", "m", construct::bars), structure("|", "m", construct::bars),

    // Math alphabets.
    alphabet("mathbf", to_bold), alphabet("mathbb", to_bb), alphabet("mathrm", to_upright),
    alphabet("mathit", to_italic), alphabet("mathsf", to_sans),

    // Accents: mark, and whether it stretches across the whole argument.
    accent("hat", U'^', false), accent("tilde", U'~', false), accent("bar", U'‾', false),
    accent("vec", U'→', false), accent("dot", U'˙', false), accent("ddot", U'¨', false),
    accent("acute", U'´', false), accent("grave", U'`', false), accent("check", U'ˇ', false),
    accent("breve", U'˘', false), accent("overline", U'─', true), accent("widehat", U'^', true),
    accent("widetilde", U'~', true),
};
// clang-format on

static_assert(kExactRows.size() == 153, "148 names, \"lim\" twice, and left, right, begin, end");

}  // namespace vok::rows
