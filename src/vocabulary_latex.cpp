// The LaTeX dialect's vocabulary, built at compile time in three layers, a later row of a name
// replacing an earlier one:
//
//   1. every symbol of the LaTeX project's Unicode math table (latex_symbols.inc, generated), with
//      its character and its math class;
//   2. the exact markup's rows (vocabulary_rows.hpp), so that every name of the exact markup keeps
//      its character here, each taking the class of its character from the first layer, and the
//      table's large operators again over the exact markup's \sum, \int and \prod;
//   3. the rows below: the classic names the table lacks, function names, text, alphabets, spacing,
//      style commands and the parser's own structure; then the structures of constructs.hpp,
//      those whose LaTeX reading differs from the exact markup's among them.
#include <algorithm>
#include <array>
#include <cstdint>

#include "vocabulary_rows.hpp"

namespace vok {
namespace {

// ---- layer 1: the generated table ----

enum class SymbolClass : std::uint8_t {
  Ord,
  Alpha,
  Bin,
  Rel,
  Op,
  Open,
  Close,
  Punct,
  Fence,
  Accent,
  AccentWide,
  BottomAccent,
  BottomAccentWide,
  Over,
  Under,
  AccentOverlay,
};

struct LatexSymbol {
  std::string_view name;
  char32_t code;
  SymbolClass cls;
};

#include "latex_symbols.inc"

// The spacing form of a combining accent, drawn on a row of its own.
constexpr char32_t spacing_mark(char32_t combining) {
  constexpr std::pair<char32_t, char32_t> kMarks[] = {
      {0x0300, U'`'}, {0x0301, U'´'}, {0x0302, U'^'}, {0x0303, U'~'}, {0x0304, U'‾'},
      {0x0305, U'‾'}, {0x0306, U'˘'}, {0x0307, U'˙'}, {0x0308, U'¨'}, {0x0309, U'ˀ'},
      {0x030A, U'˚'}, {0x030C, U'ˇ'}, {0x0310, U'˘'}, {0x0312, U'ʻ'}, {0x0315, U'ʼ'},
      {0x031A, U'˺'}, {0x0330, U'~'}, {0x0331, U'_'}, {0x0332, U'_'}, {0x034D, U'↔'},
      {0x20D0, U'↼'}, {0x20D1, U'⇀'}, {0x20D2, U'|'}, {0x20D6, U'←'}, {0x20D7, U'→'},
      {0x20DB, U'⋯'}, {0x20DC, U'⁘'}, {0x20E1, U'↔'}, {0x20E7, U'⌉'}, {0x20E8, U'⋯'},
      {0x20E9, U'⎴'}, {0x20EC, U'⇁'}, {0x20ED, U'↽'}, {0x20EE, U'←'}, {0x20EF, U'→'},
      {0x20F0, U'*'},
  };
  for (const auto& [mark, spacing] : kMarks)
    if (mark == combining) return spacing;
  return combining;
}

constexpr bool is_integral(char32_t ch) {
  return (ch >= 0x222B && ch <= 0x2233) || (ch >= 0x2A0B && ch <= 0x2A1C);
}

// The spacing class of a row of the table.
constexpr MathClass math_class(SymbolClass cls) {
  switch (cls) {
    case SymbolClass::Bin:
      return MathClass::Bin;
    case SymbolClass::Rel:
      return MathClass::Rel;
    case SymbolClass::Op:
      return MathClass::Op;
    case SymbolClass::Open:
      return MathClass::Open;
    case SymbolClass::Close:
      return MathClass::Close;
    case SymbolClass::Punct:
      return MathClass::Punct;
    default:
      return MathClass::Ord;
  }
}

// A large operator: its sign grows to the operand that follows it, its scripts are limits above
// and below it, an integral's at its right, as TeX sets them (\limits and \nolimits change that).
// Integrals are drawn from ⌠ ⎮ ⌡ (repeated for ∬ ∭ ⨌, marked for ∮ and the other integrals), the
// others by their own sign.
constexpr Definition big_operator(const LatexSymbol& row) {
  const std::uint8_t count = row.code == U'∬' ? 2 : row.code == U'∭' ? 3 : row.code == U'⨌' ? 4 : 1;
  Definition def = rows::big_operator(row.name, row.code, is_integral(row.code), count);
  def.limits = !is_integral(row.code);
  return def;
}

constexpr Definition from_table(const LatexSymbol& row) {
  switch (row.cls) {
    case SymbolClass::Op:
      return big_operator(row);
    case SymbolClass::Accent:
    case SymbolClass::AccentWide:
      return rows::accent(row.name, spacing_mark(row.code), row.cls != SymbolClass::Accent);
    case SymbolClass::BottomAccent:
    case SymbolClass::BottomAccentWide:
      return rows::accent(row.name, spacing_mark(row.code), row.cls != SymbolClass::BottomAccent,
                          true);
    case SymbolClass::Over:  // braces and brackets over or under: operators whose labels are limits
    case SymbolClass::Under:
      return rows::with_class(rows::limits(rows::accent(row.name, spacing_mark(row.code), true,
                                                        row.cls == SymbolClass::Under)),
                              MathClass::Op);
    case SymbolClass::AccentOverlay:
      return rows::with_class(rows::structure(row.name, "m", construct::negation), MathClass::Rel);
    default:
      return rows::symbol(row.name, row.code, math_class(row.cls));
  }
}

// The class the table gives a character, Ord when it has none.
constexpr MathClass class_of(char32_t ch) {
  for (const LatexSymbol& row : kLatexSymbols)
    if (row.code == ch) return math_class(row.cls);
  return MathClass::Ord;
}

// ---- layer 2: the exact markup's rows, with the LaTeX class of their characters ----

constexpr Definition from_exact(Definition def) {
  if (def.construct == construct::symbol) def.cls = class_of(def.data<payload::Glyph>().ch);
  if (def.construct == construct::word) def.cls = MathClass::Op;
  if (def.construct == construct::fraction || def.construct == construct::binomial)
    def.cls = MathClass::Inner;
  return def;
}

// ---- layer 3 ----

using rows::alphabet;
using rows::limits;
using rows::role;
using rows::structure;
using rows::with_class;

constexpr Definition sym(std::string_view name, char32_t ch, MathClass cls = MathClass::Ord) {
  return rows::symbol(name, ch, cls);
}
// A function name: an operator drawn as its word.
constexpr Definition function(std::string_view name, std::string_view word = {}) {
  return with_class(rows::word(name, word), MathClass::Op);
}
// lim with a mark across it, above or `below`.
constexpr Definition marked_function(std::string_view name, char32_t mark, bool below) {
  Definition def = function(name, "lim");
  def.payload = payload::Word{"lim", mark, below};
  return def;
}
// A command drawn as its argument over what is beside it (payload::Lap).
constexpr Definition overlap(std::string_view name, std::int8_t side) {
  return structure(name, "m", construct::lap, payload::Lap{side});
}
// A command drawn as its argument, with the class `cls`.
constexpr Definition as_class(std::string_view name, std::string_view args, MathClass cls) {
  return with_class(structure(name, args, construct::group), cls);
}
// A relation written as a few characters: mathtools' colons beside another sign (−:, ::≈), and
// negations Unicode writes with a combining or a variation mark (≦̸, ≨︀).
constexpr Definition relation(std::string_view name, std::string_view written) {
  return with_class(rows::word(name, written), MathClass::Rel);
}
// A text accent: its combining mark, and whether math reads it too (\c, \d and \b are text's
// alone).
constexpr Definition text_accent(std::string_view name, char32_t mark, bool math = true) {
  return role(name, Role::Accent, {}, payload::Combining{mark, math});
}
constexpr Definition space(std::string_view name, std::uint8_t columns) {
  return role(name, Role::Space, {}, payload::Blank{columns});
}
// A space as wide as its dimension argument: braced (d) or written out after the name (k).
constexpr Definition measured(std::string_view name, std::string_view args) {
  return role(name, Role::Space, args, payload::Blank{0});
}
constexpr Definition ignored(std::string_view name, std::string_view args = {}) {
  return role(name, Role::Ignore, args);
}
// amsmath's \dots: low dots in a list (x₁, …, xₙ), centred ones before an operator (a + ⋯ + b).
constexpr Definition dots() {
  Definition def = sym("dots", U'…', MathClass::Inner);
  def.payload = payload::Glyph{U'…', U'⋯'};
  return def;
}
// A horizontal rule between a table's rows, solid or dashed; `args` are read and dropped.
constexpr Definition line(std::string_view name, std::string_view args = {},
                          Rule rule = Rule::Solid) {
  return role(name, Role::Line, args, payload::Ruling{rule});
}
// A switch: the rest of its group in an alphabet (or as it is, with no map).
constexpr Definition switch_to(std::string_view name, CharMap map) {
  Definition def = role(name, Role::Switch, {}, payload::Style{map});
  def.construct = construct::alphabet;
  return def;
}
// Text, in an alphabet or as it is.
constexpr Definition text(std::string_view name, CharMap map = nullptr) {
  if (map == nullptr) return structure(name, "t", construct::group);
  return alphabet(name, map, "t");
}

constexpr MathClass Rel = MathClass::Rel, Bin = MathClass::Bin, Open = MathClass::Open,
                    Close = MathClass::Close, Punct = MathClass::Punct, Op = MathClass::Op,
                    Inner = MathClass::Inner, Ord = MathClass::Ord;

// clang-format off
constexpr Definition kLatexRows[] = {
    // Letters of text typed in math.
    sym("l", U'ł'), sym("L", U'Ł'), sym("o", U'ø'), sym("O", U'Ø'), sym("i", U'ı'),
    sym("j", U'ȷ'), sym("aa", U'å'), sym("AA", U'Å'), sym("ae", U'æ'), sym("AE", U'Æ'),
    sym("oe", U'œ'), sym("OE", U'Œ'), sym("ss", U'ß'),
    // Accents of text, on the letter after them: \'e is é.
    text_accent("'", 0x0301), text_accent("`", 0x0300), text_accent("^", 0x0302),
    text_accent("\"", 0x0308), text_accent("~", 0x0303), text_accent("=", 0x0304),
    text_accent(".", 0x0307), text_accent("H", 0x030B), text_accent("r", 0x030A),
    text_accent("u", 0x0306), text_accent("v", 0x030C), text_accent("textcircled", 0x20DD),
    text_accent("c", 0x0327, false), text_accent("d", 0x0323, false),
    text_accent("b", 0x0331, false), text_accent("t", 0x0361, false),
    // Greek letters and their variant forms.
    sym("Alpha", U'Α'), sym("Beta", U'Β'), sym("Epsilon", U'Ε'), sym("Zeta", U'Ζ'),
    sym("Eta", U'Η'), sym("Iota", U'Ι'), sym("Kappa", U'Κ'), sym("Mu", U'Μ'), sym("Nu", U'Ν'),
    sym("Omicron", U'Ο'), sym("Rho", U'Ρ'), sym("Tau", U'Τ'), sym("Upsilon", U'Υ'),
    sym("Chi", U'Χ'), sym("epsilon", U'ϵ'), sym("phi", U'ϕ'), sym("varepsilon", U'ε'), sym("vartheta", U'ϑ'), sym("varpi", U'ϖ'),
    sym("varrho", U'ϱ'), sym("varsigma", U'ς'), sym("varphi", U'φ'), sym("varkappa", U'ϰ'),
    sym("digamma", U'ϝ'), sym("Digamma", U'Ϝ'), sym("varGamma", U'Γ'), sym("varDelta", U'Δ'),
    sym("varTheta", U'Θ'), sym("varLambda", U'Λ'), sym("varXi", U'Ξ'), sym("varPi", U'Π'),
    sym("varSigma", U'Σ'), sym("varUpsilon", U'Υ'), sym("varPhi", U'Φ'), sym("varPsi", U'Ψ'),
    sym("varOmega", U'Ω'),
    // Archaic Greek letters, and the Spanish name of the sine.
    sym("Coppa", U'Ϙ'), sym("coppa", U'ϙ'), sym("varcoppa", U'ϙ'), sym("Koppa", U'Ϟ'),
    sym("koppa", U'ϟ'), sym("Sampi", U'Ϡ'), sym("sampi", U'ϡ'), sym("Stigma", U'Ϛ'),
    sym("stigma", U'ϛ'), sym("varstigma", U'ϛ'), function("sen"),
    // The euro sign of the eurosym package, in each of its shapes.
    sym("geneuro", U'€'), sym("geneuronarrow", U'€'), sym("geneurowide", U'€'),
    sym("officialeuro", U'€'),

    // Classic names the table has under others.
    sym("le", U'≤', Rel), sym("ge", U'≥', Rel), sym("ne", U'≠', Rel), sym("neq", U'≠', Rel),
    sym("leqq", U'≦', Rel), sym("geqq", U'≧', Rel), sym("to", U'→', Rel), sym("gets", U'←', Rel),
    sym("cdots", U'⋯', Inner), sym("ldots", U'…', Inner), dots(),
    sym("bigcirc", U'◯', Bin), sym("slash", U'/'), rows::word("TeX"), rows::word("LaTeX"),
    // Links and boxes of text: the text.
    as_class("href", "st", Ord), as_class("url", "t", Ord), as_class("makebox", "[[t", Ord),
    sym("dotsb", U'⋯', Inner), sym("dotsc", U'…', Inner), sym("dotsm", U'⋯', Inner),
    sym("dotsi", U'⋯', Inner), sym("dotso", U'…', Inner), sym("cdotp", U'·', Punct),
    sym("ldotp", U'.', Punct), sym("hbar", U'ℏ'), sym("lvert", U'|', Open),
    sym("rvert", U'|', Close), sym("lVert", U'‖', Open), sym("rVert", U'‖', Close),
    sym("land", U'∧', Bin), sym("lor", U'∨', Bin), sym("lnot", U'¬'), sym("iff", U'⇔', Rel),
    sym("implies", U'⇒', Rel), sym("impliedby", U'⇐', Rel), sym("owns", U'∋', Rel),
    sym("colon", U':', Punct), sym("emptyset", U'∅'), sym("circ", U'∘', Bin),
    sym("bullet", U'∙', Bin), sym("cdot", U'·', Bin), sym("perp", U'⊥', Rel),
    sym("dag", U'†'), sym("ddag", U'‡'), sym("S", U'§'), sym("P", U'¶'),
    sym("copyright", U'©'), sym("pounds", U'£'), sym("yen", U'¥'), sym("Box", U'□'),
    sym("square", U'□'), sym("blacksquare", U'■'), sym("Diamond", U'◇'), sym("diamond", U'⋄', Bin),
    sym("lozenge", U'◊'), sym("blacklozenge", U'⧫'), sym("triangle", U'△'),
    sym("triangledown", U'▽'), sym("bigstar", U'★'), sym("lq", U'‘'), sym("rq", U'’'),
    sym("lbrack", U'[', Open), sym("rbrack", U']', Close), sym("lbrace", U'{', Open),
    sym("rbrace", U'}', Close), sym("vert", U'|'), sym("Vert", U'‖'),
    sym("backslash", U'\\'), sym("smallsetminus", U'∖', Bin), sym("leadsto", U'⇝', Rel),
    sym("restriction", U'↾', Rel), sym("Join", U'⨝', Rel), sym("Bbbk", U'𝕜'),
    sym("thicksim", U'∼', Rel), sym("thickapprox", U'≈', Rel), sym("gtrless", U'≷', Rel),
    sym("bigtriangleup", U'△', Bin), sym("bigtriangledown", U'▽', Bin),
    sym("unlhd", U'⊴', Bin), sym("unrhd", U'⊵', Bin), sym("lhd", U'⊲', Bin), sym("rhd", U'⊳', Bin),
    sym("doublecap", U'⋒', Bin), sym("doublecup", U'⋓', Bin), sym("centerdot", U'·', Bin),
    sym("varsubsetneq", U'⊊', Rel), sym("varsupsetneq", U'⊋', Rel),
    sym("nleqslant", U'≰', Rel), sym("ngeqslant", U'≱', Rel),
    sym("vartriangle", U'△'), sym("vartriangleleft", U'⊲', Rel),
    sym("vartriangleright", U'⊳', Rel), sym("varpropto", U'∝', Rel), sym("And", U'&', Bin),

    // Other names in common use for symbols above: the entity names of HTML (\larr, \isin,
    // \clubs), the blackboard letters (\R), mathtools' colons, and the text symbols.
    sym("lt", U'<', Rel), sym("gt", U'>', Rel), sym("lang", U'⟨', Open), sym("rang", U'⟩', Close),
    sym("llbracket", U'⟦', Open), sym("rrbracket", U'⟧', Close),
    sym("N", U'ℕ'), sym("Z", U'ℤ'), sym("Q", U'ℚ'), sym("C", U'ℂ'), sym("R", U'ℝ'),
    sym("Reals", U'ℝ'), sym("reals", U'ℝ'),
    sym("Complex", U'ℂ'), sym("cnums", U'ℂ'), sym("natnums", U'ℕ'), sym("real", U'ℜ'),
    sym("image", U'ℑ'), sym("weierp", U'℘'), sym("alef", U'ℵ'), sym("alefsym", U'ℵ'),
    sym("thetasym", U'ϑ'), sym("eth", U'ð'), sym("empty", U'∅'), sym("exist", U'∃'),
    sym("infin", U'∞'), sym("isin", U'∈', Rel), sym("notni", U'∌', Rel),
    sym("plusmn", U'±', Bin), sym("sdot", U'·', Bin), sym("sub", U'⊂', Rel),
    sym("sube", U'⊆', Rel), sym("supe", U'⊇', Rel), sym("Dagger", U'‡', Bin), sym("degree", U'°'),
    sym("sect", U'§'), sym("clubs", U'♣'), sym("diamonds", U'♢'), sym("hearts", U'♡'),
    sym("spades", U'♠'), sym("circledR", U'®'), sym("circledS", U'Ⓢ'), sym("minuso", U'⦵'),
    sym("diagup", U'╱'), sym("diagdown", U'╲'), sym("mathellipsis", U'…', Inner),
    sym("larr", U'←', Rel), sym("rarr", U'→', Rel), sym("lrarr", U'↔', Rel),
    sym("harr", U'↔', Rel), sym("lArr", U'⇐', Rel), sym("Larr", U'⇐', Rel),
    sym("rArr", U'⇒', Rel), sym("Rarr", U'⇒', Rel), sym("lrArr", U'⇔', Rel),
    sym("Lrarr", U'⇔', Rel), sym("hArr", U'⇔', Rel), sym("Harr", U'⇔', Rel),
    sym("uarr", U'↑', Rel), sym("darr", U'↓', Rel), sym("uArr", U'⇑', Rel),
    sym("Uarr", U'⇑', Rel), sym("dArr", U'⇓', Rel), sym("Darr", U'⇓', Rel),
    sym("circlearrowleft", U'↺', Rel), sym("circlearrowright", U'↻', Rel),
    sym("dashleftarrow", U'⇠', Rel), sym("dashrightarrow", U'⇢', Rel),
    sym("coloneqq", U'≔', Rel), sym("colonequals", U'≔', Rel), sym("eqqcolon", U'≕', Rel),
    sym("equalscolon", U'≕', Rel), sym("Coloneqq", U'⩴', Rel),
    sym("coloncolonequals", U'⩴', Rel), sym("vcentcolon", U':', Rel), sym("ratio", U'∶', Rel),
    sym("dblcolon", U'∷', Rel), sym("coloncolon", U'∷', Rel), sym("doteqdot", U'≑', Rel),
    sym("llless", U'⋘', Rel), sym("gggtr", U'⋙', Rel), sym("backepsilon", U'϶', Rel),
    sym("shortmid", U'∣', Rel), sym("shortparallel", U'∥', Rel), sym("smallfrown", U'⌢', Rel),
    sym("smallsmile", U'⌣', Rel), sym("nshortmid", U'∤', Rel),
    sym("nshortparallel", U'∦', Rel), sym("ntriangleleft", U'⋪', Rel),
    sym("ntriangleright", U'⋫', Rel), sym("npreceq", U'⋠', Rel), sym("nsucceq", U'⋡', Rel),
    sym("varsubsetneqq", U'⫋', Rel), sym("varsupsetneqq", U'⫌', Rel),
    relation("minuscolon", "−:"), relation("minuscoloncolon", "−::"), relation("Eqcolon", "−::"),
    relation("Eqqcolon", "=::"), relation("equalscoloncolon", "=::"),
    relation("approxcolon", "≈:"), relation("approxcoloncolon", "≈::"),
    relation("colonapprox", ":≈"), relation("Colonapprox", "::≈"),
    relation("coloncolonapprox", "::≈"), relation("colonminus", ":−"),
    relation("coloncolonminus", "::−"), relation("colonsim", ":∼"), relation("Colonsim", "::∼"),
    relation("coloncolonsim", "::∼"), relation("simcolon", "∼:"), relation("simcoloncolon", "∼::"),
    relation("nleqq", "≦\u0338"), relation("ngeqq", "≧\u0338"),
    relation("nsubseteqq", "⫅\u0338"), relation("nsupseteqq", "⫆\u0338"),
    relation("lvertneqq", "≨\ufe00"), relation("gvertneqq", "≩\ufe00"),
    sym("textunderscore", U'_'), sym("textendash", U'–'), sym("textemdash", U'—'),
    sym("textdagger", U'†'), sym("textdaggerdbl", U'‡'), sym("textasciitilde", U'~'),
    sym("textasciicircum", U'^'), sym("textellipsis", U'…'), sym("textquoteleft", U'‘'),
    sym("textquoteright", U'’'), sym("textquotedblleft", U'“'), sym("textquotedblright", U'”'),
    sym("textdollar", U'$'), sym("textless", U'<'), sym("textgreater", U'>'),
    sym("textsterling", U'£'), sym("textbar", U'|'), sym("textbardbl", U'‖'),
    sym("textbraceleft", U'{'), sym("textbraceright", U'}'), sym("textbackslash", U'\\'),
    sym("textdegree", U'°'), sym("textregistered", U'®'), sym("textcopyright", U'©'),
    sym("textsection", U'§'), sym("textparagraph", U'¶'), sym("textbullet", U'•'),
    rows::word("KaTeX"),
    // Accents by other names, and marks the table lacks: an arc over or under (╭─╮), a segment
    // drawn as a rule.
    rows::accent("mathring", U'˚', false), rows::accent("utilde", U'~', true, true),
    rows::accent("overgroup", U'⏜', true), rows::accent("undergroup", U'⏝', true, true),
    rows::accent("Overrightarrow", U'⇒', true), rows::accent("overlinesegment", U'─', true),
    rows::accent("underlinesegment", U'─', true, true),
    // The integral sign with its scripts as limits, and the small one of text.
    limits(rows::big_operator("intop", U'∫', true, 1)), sym("smallint", U'∫'),

    // Function names: upright words with the spacing of operators; those that take limits.
    function("arccos"), function("arcsin"), function("arctan"), function("arccot"),
    function("arg"), function("cos"), function("cosh"), function("cot"), function("coth"),
    function("csc"), function("csch"), function("deg"), function("dim"), function("exp"),
    function("hom"), function("ker"), function("lg"), function("ln"), function("log"),
    function("sec"), function("sech"), function("sin"), function("sinh"), function("tan"),
    function("tanh"), function("sgn"), function("lcm"), function("adj"), function("ctg"),
    function("tg"), function("th"), function("arctg"), function("ch"), function("sh"),
    function("cotg"), function("cosec"), function("arcctg"), function("cth"),
    limits(function("det")), limits(function("gcd")), limits(function("inf")),
    limits(function("lim")), limits(function("max")), limits(function("min")),
    limits(function("Pr")), limits(function("sup")),
    limits(function("argmax", "arg max")), limits(function("argmin", "arg min")),
    limits(function("plim", "plim")),
    limits(function("liminf", "lim inf")), limits(function("limsup", "lim sup")),
    limits(function("injlim", "inj lim")), limits(function("projlim", "proj lim")),
    // amsmath's lim with a rule under it or over it, or an arrow under it.
    limits(marked_function("varliminf", U'▔', true)), limits(marked_function("varlimsup", U'─', false)),
    limits(marked_function("varinjlim", U'→', true)), limits(marked_function("varprojlim", U'←', true)),
    as_class("operatorname", "*n", Op), limits(as_class("operatorname*", "n", Op)),
    as_class("vcenter", "m", Ord),
    as_class("mathop", "m", Op), as_class("mathbin", "m", Bin), as_class("mathrel", "m", Rel),
    as_class("mathord", "m", Ord), as_class("mathopen", "m", Open),
    as_class("mathclose", "m", Close), as_class("mathpunct", "m", Punct),
    as_class("mathinner", "m", Inner),
    rows::modulus("pmod", "mod "), rows::modulus("pod", ""), function("bmod", "mod"),
    function("mod"),


    // Text: letters and the spaces between them kept.
    text("text"), text("textrm"), text("textnormal"), text("textup"), text("mbox"),
    text("hbox"), text("textmd"), text("textit", to_italic), text("textsl", to_italic),
    text("emph", to_italic), text("textbf", to_bold), text("textsf", to_sans),
    text("texttt", to_monospace), text("textsc"),

    // Math alphabets, and the old switches that act to the end of their group.
    alphabet("mathbf", to_bold_greek), alphabet("mathbb", to_bb), alphabet("mathcal", to_script),
    alphabet("mathscr", to_script), alphabet("mathfrak", to_fraktur),
    alphabet("mathsf", to_sans), alphabet("mathtt", to_monospace), alphabet("mathit", to_italic),
    alphabet("mathrm", to_upright), alphabet("mathnormal", to_upright),
    // Bold symbols keep the class of the one symbol they make bold (\boldsymbol{+} is binary).
    rows::of_base(alphabet("boldsymbol", to_bold_symbol)),
    rows::of_base(alphabet("bm", to_bold_symbol)),
    alphabet("bold", to_bold_greek), alphabet("Bbb", to_bb), alphabet("frak", to_fraktur),
    rows::of_base(alphabet("pmb", to_bold_greek)), alphabet("mathbfit", to_bold_italic),
    alphabet("mathsfit", to_sans), alphabet("mathbold", to_bold_greek),
    switch_to("bf", to_bold_greek), switch_to("rm", to_upright), switch_to("it", to_italic),
    switch_to("cal", to_script), switch_to("sf", to_sans), switch_to("tt", to_monospace),
    switch_to("mit", to_italic), switch_to("sl", to_italic), switch_to("em", to_italic),
    switch_to("boldmath", to_bold_symbol), switch_to("unboldmath", to_upright),
    switch_to("bfseries", to_bold), switch_to("itshape", to_italic),
    switch_to("rmfamily", to_upright), switch_to("sffamily", to_sans),
    switch_to("ttfamily", to_monospace), switch_to("mdseries", to_upright),
    switch_to("upshape", to_upright), switch_to("normalfont", to_upright),

    // Spacing, in whole columns.
    space("quad", 2), space("qquad", 4), space("enspace", 1), space("enskip", 1),
    space("thinspace", 1), space("medspace", 1), space("thickspace", 1),
    space("negthinspace", 0), space("negmedspace", 0), space("negthickspace", 0),
    space("nobreakspace", 1), space("space", 1), space("hfill", 1), space("hfil", 1),
    measured("hspace", "*d"), measured("hspace*", "d"), measured("mspace", "d"),
    measured("kern", "k"), measured("mkern", "k"), measured("hskip", "k"), measured("mskip", "k"),

    // Style and size commands: they draw nothing, and the colour is dropped.
    ignored("displaystyle"), ignored("textstyle"), ignored("scriptstyle"),
    ignored("scriptscriptstyle"), limits(role("limits", Role::Limits)),
    role("nolimits", Role::Limits),
    ignored("mathstrut"), ignored("strut"),
    ignored("label", "s"), ignored("relax"), ignored("protect"), ignored("allowbreak"),
    ignored("nobreak"), ignored("displaybreak"), ignored("newline"), ignored("linebreak"),
    ignored("tiny"), ignored("scriptsize"), ignored("footnotesize"), ignored("small"),
    ignored("normalsize"), ignored("large"), ignored("Large"), ignored("LARGE"),
    ignored("huge"), ignored("Huge"), ignored("color", "s"), ignored("vspace", "*s"),
    structure("raisebox", "u[[t", construct::shifted, payload::Shift{}),
    as_class("htmlClass", "sm", Ord), as_class("htmlId", "sm", Ord),
    as_class("htmlStyle", "sm", Ord), as_class("htmlData", "sm", Ord),
    // The math argument of \TextOrMath, the display one of \mathchoice.
    as_class("TextOrMath", "sm", Ord), as_class("mathchoice", "msss", Ord),
    as_class("textcolor", "sm", Ord), as_class("colorbox", "st", Ord),
    structure("fcolorbox", "sst", construct::boxed), structure("framebox", "[[t", construct::boxed),
    // Overlaps: the argument over what follows it, what comes before it, or both halves.
    overlap("mathrlap", 1), overlap("mathllap", -1), overlap("mathclap", 0), overlap("rlap", 1),
    overlap("llap", -1), overlap("clap", 0), as_class("lefteqn", "m", Ord),
    as_class("ensuremath", "m", Ord), ignored("pagecolor", "s"), ignored("definecolor", "sss"),
    // What TeX writes to its log or hands to the printer: nothing in the picture.
    ignored("message", "s"), ignored("special", "s"),
    // A box raised or lowered by the whole rows of its distance, less than half a row none.
    structure("raise", "km", construct::shifted, payload::Shift{}),
    structure("lower", "km", construct::shifted, payload::Shift{.down = true}),
    // Material between a table's rows: its content.
    as_class("noalign", "m", Ord),
    // A picture's file: a placeholder.
    structure("includegraphics", "[s", construct::word, payload::Word{"[image]"}),
    // Raw text, and a character by its code.
    as_class("verb", "v", Ord), structure("char", "c", construct::symbol, payload::Glyph{}),
    // TeX's rules: a vertical one is a bar of one cell, a horizontal one nothing in math; their
    // height, depth and width are read and dropped.
    structure("vrule", "w", construct::symbol, payload::Glyph{U'│'}), ignored("hrule", "w"),
    role("cr", Role::RowEnd), rows::accent("underbar", U'▔', true, true),

    // Structure the parser reads itself: the delimiters between \left and \right, and horizontal
    // rules between a table's rows (a partial one is drawn across).
    role("middle", Role::Middle),
    line("hline"), line("hdashline", {}, Rule::Dashed), line("toprule"), line("midrule"),
    line("bottomrule"), line("cline", "s"), line("cdashline", "s", Rule::Dashed),
};
// clang-format on

constexpr std::size_t kOperators = [] {
  std::size_t count = 0;
  for (const LatexSymbol& row : kLatexSymbols) count += row.cls == SymbolClass::Op;
  return count;
}();

constexpr std::size_t kCount = std::size(kLatexSymbols) + rows::kExactRows.size() + kOperators +
                               std::size(kLatexRows) + std::size(rows::kLatexStructures);

constexpr std::array<Definition, kCount> make_rows() {
  std::array<Definition, kCount> all{};
  std::size_t at = 0;
  for (const LatexSymbol& row : kLatexSymbols) all[at++] = from_table(row);
  for (const Definition& def : rows::kExactRows) all[at++] = from_exact(def);
  // The large operators again, over the exact markup's \sum, \int and \prod.
  for (const LatexSymbol& row : kLatexSymbols)
    if (row.cls == SymbolClass::Op) all[at++] = big_operator(row);
  for (const Definition& def : kLatexRows) all[at++] = def;
  for (const Definition& def : rows::kLatexStructures) all[at++] = def;
  return all;
}

constexpr auto kRows = make_rows();

// The environments: matrices with their delimiters, cases, arrays with their columns, and
// amsmath's alignments, whose columns pair off right-aligned with left-aligned.
constexpr EnvironmentDef table(std::string_view name, TableLayout layout,
                               std::string_view args = {}) {
  return {.name = name, .layout = layout, .args = args};
}
// A display environment whose rows take labels at the right (\tag): each row its own, or one on
// the last row for the whole; `numbered`, a row with no \tag and no \notag is numbered.
constexpr EnvironmentDef display(std::string_view name, TableLayout layout, Labels labels,
                                 bool numbered, std::string_view args = {}) {
  return {.name = name, .layout = layout, .args = args, .labels = labels, .numbered = numbered};
}
constexpr TableLayout fenced(char32_t open, char32_t close, std::uint8_t gap = 2) {
  return {.gap = gap, .fence = {open, close}};
}
constexpr TableLayout kAligned{.align = "rl", .gap = 4, .pairs = true};
constexpr TableLayout kAlignat{.align = "rl", .gap = 0, .pairs = true};
constexpr TableLayout kGathered{};
constexpr TableLayout kCases{.align = "ll", .fence = {U'{', 0}};

constexpr std::array kEnvironments{
    table("matrix", {}),
    table("pmatrix", fenced(U'(', U')')),
    table("bmatrix", fenced(U'[', U']')),
    table("Bmatrix", fenced(U'{', U'}')),
    table("vmatrix", fenced(U'|', U'|')),
    table("Vmatrix", fenced(U'‖', U'‖')),
    table("matrix*", {}, "a"),
    table("pmatrix*", fenced(U'(', U')'), "a"),
    table("bmatrix*", fenced(U'[', U']'), "a"),
    table("Bmatrix*", fenced(U'{', U'}'), "a"),
    table("vmatrix*", fenced(U'|', U'|'), "a"),
    table("Vmatrix*", fenced(U'‖', U'‖'), "a"),
    table("smallmatrix", fenced(0, 0, 1)),
    table("psmallmatrix", fenced(U'(', U')', 1)),
    table("bsmallmatrix", fenced(U'[', U']', 1)),
    table("Bsmallmatrix", fenced(U'{', U'}', 1)),
    table("vsmallmatrix", fenced(U'|', U'|', 1)),
    table("Vsmallmatrix", fenced(U'‖', U'‖', 1)),
    table("smallmatrix*", fenced(0, 0, 1), "a"),
    table("cases", kCases),
    table("cases*", kCases),
    table("dcases", kCases),
    table("dcases*", kCases),
    table("rcases", {.align = "ll", .fence = {0, U'}'}}),
    table("drcases", {.align = "ll", .fence = {0, U'}'}}),
    table("array", {}, "[c"),
    table("darray", {}, "[c"),
    table("subarray", {.gap = 1}, "c"),
    table("substack", {.gap = 1}),  // \substack{…}'s rows
    table("tabular", {}, "[c"),
    table("aligned", kAligned, "["),
    // The display environments: numbered rows unless starred.
    display("align", kAligned, Labels::Rows, true),
    display("align*", kAligned, Labels::Rows, false),
    display("flalign", kAligned, Labels::Rows, true),
    display("flalign*", kAligned, Labels::Rows, false),
    table("split", kAligned),
    table("alignedat", kAlignat, "[n"),
    display("alignat", kAlignat, Labels::Rows, true, "n"),
    display("alignat*", kAlignat, Labels::Rows, false, "n"),
    table("gathered", kGathered, "["),
    display("gather", kGathered, Labels::Rows, true),
    display("gather*", kGathered, Labels::Rows, false),
    display("multline", kGathered, Labels::Last, true),
    display("multline*", kGathered, Labels::Last, false),
    display("equation", kGathered, Labels::Last, true),
    display("equation*", kGathered, Labels::Last, false),
    display("displaymath", kGathered, Labels::Last, false),
    table("math", kGathered),
    EnvironmentDef{.name = "CD", .layout = {.gap = 1}, .diagram = true},
    display("eqnarray", {.align = "rcl", .gap = 1}, Labels::Rows, true),
    display("eqnarray*", {.align = "rcl", .gap = 1}, Labels::Rows, false),
};

// The characters of the table that are not ordinary, each with its class, sorted by character;
// where several rows share a character, the first decides.
constexpr std::size_t kClassed = [] {
  std::size_t count = 0;
  for (const LatexSymbol& row : kLatexSymbols) count += math_class(row.cls) != MathClass::Ord;
  return count;
}();

constexpr std::array<CharClass, kClassed> sorted_classes() {
  struct Entry {
    CharClass cc;
    std::size_t row;
  };
  std::array<Entry, kClassed> entries{};
  std::size_t at = 0;
  for (std::size_t row = 0; row < std::size(kLatexSymbols); ++row) {
    const LatexSymbol& symbol = kLatexSymbols[row];
    if (math_class(symbol.cls) != MathClass::Ord)
      entries[at++] = {{symbol.code, math_class(symbol.cls)}, row};
  }
  std::ranges::sort(entries, [](const Entry& a, const Entry& b) {
    return a.cc.ch != b.cc.ch ? a.cc.ch < b.cc.ch : a.row < b.row;
  });
  std::array<CharClass, kClassed> classes{};
  for (std::size_t i = 0; i < kClassed; ++i) classes[i] = entries[i].cc;
  return classes;
}

constexpr std::size_t kDistinct = [] {
  const auto classes = sorted_classes();
  std::size_t count = 0;
  for (std::size_t i = 0; i < classes.size(); ++i)
    count += i == 0 || classes[i].ch != classes[i - 1].ch;
  return count;
}();

constexpr std::array<CharClass, kDistinct> kCharClasses = [] {
  const auto classes = sorted_classes();
  std::array<CharClass, kDistinct> distinct{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < classes.size(); ++i)
    if (i == 0 || classes[i].ch != classes[i - 1].ch) distinct[at++] = classes[i];
  return distinct;
}();

constexpr auto kIndex = make_index<8192>(kRows);

// The escapes, in math and in text: spacing, braces and other characters TeX reserves, and the
// closers of structures, which only a structure may take.
constexpr EscapeDef kEscapes[] = {
    {.ch = U'!', .math = EscapeKind::LessBlank, .text = EscapeText::Nothing},
    {.ch = U'"', .math = EscapeKind::Command, .text = EscapeText::Command},
    {.ch = U'#', .text = EscapeText::Kept},
    {.ch = U'$', .text = EscapeText::Kept},
    {.ch = U'%', .text = EscapeText::Kept},
    {.ch = U'&', .text = EscapeText::Kept},
    {.ch = U'\'', .math = EscapeKind::Command, .text = EscapeText::Command},
    {.ch = U'(', .math = EscapeKind::Unmatched},
    {.ch = U')', .math = EscapeKind::Unmatched},
    {.ch = U',', .math = EscapeKind::Blank, .columns = 1, .text = EscapeText::Blank},
    {.ch = U'-', .math = EscapeKind::Blank, .columns = 0, .text = EscapeText::Nothing},
    {.ch = U'.', .math = EscapeKind::Command, .text = EscapeText::Command},
    {.ch = U'/', .math = EscapeKind::Blank, .columns = 0, .text = EscapeText::Nothing},
    {.ch = U':', .math = EscapeKind::Blank, .columns = 1, .text = EscapeText::Blank},
    {.ch = U';', .math = EscapeKind::Blank, .columns = 1, .text = EscapeText::Blank},
    {.ch = U'=', .math = EscapeKind::Command, .text = EscapeText::Command},
    {.ch = U'>', .math = EscapeKind::Blank, .columns = 1},
    {.ch = U'[', .math = EscapeKind::Unmatched},
    {.ch = U'\\', .math = EscapeKind::Unmatched, .text = EscapeText::Blank, .delimiter = U'\\'},
    {.ch = U']', .math = EscapeKind::Unmatched},
    {.ch = U'^', .math = EscapeKind::Command, .text = EscapeText::Command},
    {.ch = U'_', .text = EscapeText::Kept},
    {.ch = U'`', .math = EscapeKind::Command, .text = EscapeText::Command},
    {.ch = U'{', .cls = Open, .text = EscapeText::Kept, .delimiter = U'{'},
    {.ch = U'|', .drawn = "‖", .delimiter = U'‖'},
    {.ch = U'}', .cls = Close, .text = EscapeText::Kept, .delimiter = U'}'},
    {.ch = U'~', .math = EscapeKind::Command, .text = EscapeText::Command},
};
static_assert(std::ranges::is_sorted(kEscapes, {}, &EscapeDef::ch));

// The commands of a column pattern that draw a vertical rule.
constexpr std::string_view kRuleCommands[] = {"vline"};

constexpr const EnvironmentDef* environment_named(std::string_view name) {
  for (const EnvironmentDef& env : kEnvironments)
    if (env.name == name) return &env;
  return nullptr;
}

// A question mark typed as itself closes, as in TeX.
constexpr CharClass kTypedClasses[] = {{U'?', Close}};

constexpr GrammarData kGrammar{
    .escapes = {.table = kEscapes,
                .white = {.math = EscapeKind::Blank, .columns = 1, .text = EscapeText::Blank},
                .other = {.math = EscapeKind::Written}},
    // & or \\ outside any environment: the formula is a table of its own, set out as amsmath's
    // aligned sets one out; with no & anywhere, its lines are centred as gathered centres them.
    .implicit_table = environment_named("aligned"),
    .implicit_lines = environment_named("gathered"),
    .number = row_named(kRows, "tag"),
    .rule_commands = kRuleCommands,
    .typed_classes = kTypedClasses,
};

}  // namespace

constexpr Vocabulary kLatexVocabulary(kRows, kIndex, kEnvironments, kGrammar, kCharClasses);

}  // namespace vok
