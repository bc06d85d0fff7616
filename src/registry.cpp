// The symbol table, one row per command under its group, and the one-time construction of the
// process-wide registry.
#include "registry.hpp"

#include <atomic>
#include <mutex>
#include <string_view>

namespace vok {
namespace {

// One command: its name (without the backslash) and how to make its glyph.
enum class Kind {
  Unicode,
  Text,
  Binom,
  Frac,
  Sqrt,
  Limit,
  Integral,
  Summation,
  Abs,
  Alphabet,
  Accent
};

struct Row {
  std::string_view name;
  Kind kind;
  char32_t ch = 0;            // Unicode: the character; Accent: the mark
  bool stretch = false;       // Accent
  AlphabetMap map = nullptr;  // Alphabet
};

constexpr Row unicode(std::string_view name, char32_t ch) { return {name, Kind::Unicode, ch}; }
constexpr Row text(std::string_view name) { return {name, Kind::Text}; }
constexpr Row accent(std::string_view name, char32_t mark, bool stretch) {
  return {name, Kind::Accent, mark, stretch};
}
constexpr Row alphabet(std::string_view name, AlphabetMap map) {
  return {name, Kind::Alphabet, 0, false, map};
}

// Registration order matters only for "lim": the limit word replaces the function name.
// clang-format off
constexpr Row kSymbolTable[] = {
    // Greek small letters (no final sigma, no variant forms).
    unicode("alpha", U'α'), unicode("beta", U'β'), unicode("gamma", U'γ'),
    unicode("delta", U'δ'), unicode("epsilon", U'ε'), unicode("zeta", U'ζ'),
    unicode("eta", U'η'), unicode("theta", U'θ'), unicode("iota", U'ι'),
    unicode("kappa", U'κ'), unicode("lambda", U'λ'), unicode("mu", U'μ'),
    unicode("nu", U'ν'), unicode("xi", U'ξ'), unicode("omicron", U'ο'),
    unicode("pi", U'π'), unicode("rho", U'ρ'), unicode("sigma", U'σ'),
    unicode("tau", U'τ'), unicode("upsilon", U'υ'), unicode("phi", U'φ'),
    unicode("chi", U'χ'), unicode("psi", U'ψ'), unicode("omega", U'ω'),

    // Greek capital letters that do not look like Latin ones.
    unicode("Gamma", U'Γ'), unicode("Delta", U'Δ'), unicode("Theta", U'Θ'),
    unicode("Lambda", U'Λ'), unicode("Xi", U'Ξ'), unicode("Pi", U'Π'),
    unicode("Sigma", U'Σ'), unicode("Phi", U'Φ'), unicode("Psi", U'Ψ'),
    unicode("Omega", U'Ω'),

    // Function names, drawn as their own name.
    text("sin"), text("cos"), text("tan"), text("cot"), text("sec"), text("csc"),
    text("arcsin"), text("arccos"), text("arctan"), text("sinh"), text("cosh"), text("tanh"),
    text("log"), text("ln"), text("lg"), text("det"), text("dim"), text("hom"), text("ker"),
    text("exp"), text("deg"), text("gcd"), text("lcm"), text("lim"), text("sup"), text("inf"),
    text("max"), text("min"), text("arg"), text("Pr"), text("mod"), text("adj"),

    // Structures.
    {"binom", Kind::Binom}, {"frac", Kind::Frac}, {"sqrt", Kind::Sqrt},
    {"lim", Kind::Limit},  // replaces the function name above: "lim" takes limits
    {"int", Kind::Integral}, {"sum", Kind::Summation},

    // Symbols: operators, relations, arrows, sets, delimiters, spacing.
    unicode("infty", U'∞'), unicode("partial", U'∂'), unicode("nabla", U'∇'),
    unicode("forall", U'∀'), unicode("exists", U'∃'), unicode("neg", U'¬'),
    unicode("emptyset", U'∅'), unicode("triangle", U'△'), unicode("angle", U'∠'),
    unicode("therefore", U'∴'), unicode("because", U'∵'), unicode("cdot", U'·'),
    unicode("times", U'×'), unicode("div", U'÷'), unicode("pm", U'±'),
    unicode("mp", U'∓'), unicode("circ", U'∘'), unicode("bullet", U'∙'),
    unicode("star", U'⋆'), unicode("le", U'≤'), unicode("ge", U'≥'),
    unicode("ne", U'≠'), unicode("approx", U'≈'), unicode("equiv", U'≡'),
    unicode("sim", U'∼'), unicode("simeq", U'≃'), unicode("cong", U'≅'),
    unicode("propto", U'∝'), unicode("perp", U'⊥'), unicode("parallel", U'∥'),
    unicode("to", U'→'), unicode("rightarrow", U'→'), unicode("Rightarrow", U'⇒'),
    unicode("leftarrow", U'←'), unicode("Leftarrow", U'⇐'), unicode("mapsto", U'↦'),
    unicode("implies", U'⇒'), unicode("iff", U'⇔'), unicode("in", U'∈'),
    unicode("notin", U'∉'), unicode("subset", U'⊂'), unicode("supset", U'⊃'),
    unicode("subseteq", U'⊆'), unicode("supseteq", U'⊇'), unicode("cup", U'∪'),
    unicode("cap", U'∩'), unicode("prod", U'∏'), unicode("lvert", U'|'),
    unicode("rvert", U'|'), unicode("langle", U'⟨'), unicode("rangle", U'⟩'),
    unicode("lfloor", U'⌊'), unicode("rfloor", U'⌋'), unicode("lceil", U'⌈'),
    unicode("rceil", U'⌉'), unicode("quad", U' '), unicode("dots", U'⋯'),

    // Absolute value; "|" is the name the parser gives a pair of bars around an expression.
    {"abs", Kind::Abs}, {"|", Kind::Abs},

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

static_assert(std::size(kSymbolTable) == 149, "148 names, \"lim\" twice");

std::unique_ptr<Glyph> make_glyph(const Row& row) {
  switch (row.kind) {
    case Kind::Unicode:
      return std::make_unique<UnicodeGlyph>(row.ch);
    case Kind::Text:
      return std::make_unique<TextGlyph>(row.name);
    case Kind::Binom:
      return std::make_unique<BinomGlyph>();
    case Kind::Frac:
      return std::make_unique<FracGlyph>();
    case Kind::Sqrt:
      return std::make_unique<SqrtGlyph>();
    case Kind::Limit:
      return std::make_unique<LimitGlyph>();
    case Kind::Integral:
      return std::make_unique<IntegralGlyph>();
    case Kind::Summation:
      return std::make_unique<SummationGlyph>();
    case Kind::Abs:
      return std::make_unique<AbsGlyph>();
    case Kind::Alphabet:
      return std::make_unique<AlphabetGlyph>(row.map);
    case Kind::Accent:
      return std::make_unique<AccentGlyph>(row.ch, row.stretch);
  }
  return nullptr;  // unreachable: every kind is handled above
}

std::once_flag g_once;
std::atomic<const SymbolRegistry*> g_registry{nullptr};

}  // namespace

SymbolRegistry build_registry() {
  SymbolRegistry table;
  for (const Row& row : kSymbolTable) table.register_glyph(row.name, make_glyph(row));
  return table;
}

const SymbolRegistry& registry() {
  if (const SymbolRegistry* built = g_registry.load(std::memory_order_acquire)) return *built;
  std::call_once(g_once, [] {
    // Lives for the rest of the process.
    g_registry.store(new SymbolRegistry(build_registry()), std::memory_order_release);
  });
  return *g_registry.load(std::memory_order_acquire);
}

bool registry_built() noexcept { return g_registry.load(std::memory_order_acquire) != nullptr; }

}  // namespace vok
