// Constructs: how a command is drawn from its measured arguments. One function per kind of
// command; a vocabulary's row names the function and gives it its payload (vocabulary.hpp). Every
// construct fails only when the picture is too large.
//
// A construct made of the general compositions is in constructs.cpp; one with a drawing of its
// own is beside that drawing: the large operators in layout_signs.cpp, radicals, accents, long
// arrows and frames in layout_marks.cpp. After the constructs come the makers of the rows they
// draw, and the LaTeX dialect's rows of structures, each under the construct that draws it: a new
// construct is its declaration and rows here and its function where its drawing is.
#pragma once

#include <span>

#include "layout.hpp"
#include "vocabulary.hpp"

namespace vok::construct {

// The payload's character (Glyph).
[[nodiscard]] Result<NodeRef> symbol(const Definition& def, std::span<const NodeRef> args,
                                     std::span<const NodeRef> optional);
// The payload's word on one row, such as a function name (Word).
[[nodiscard]] Result<NodeRef> word(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// Numerator over a rule exactly as wide as the wider operand, over denominator.
[[nodiscard]] Result<NodeRef> fraction(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The same with each half as tall as it is, as TeX sets a fraction (LaTeX).
[[nodiscard]] Result<NodeRef> tight_fraction(const Definition& def, std::span<const NodeRef> args,
                                             std::span<const NodeRef> optional);
// Two entries stacked with a blank row between them, each as tall as it is, in tall delimiters
// opened by the payload's delimiter when it has one: ( [ or { (Enclosure; LaTeX's \binom, \atop).
[[nodiscard]] Result<NodeRef> stacked(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);
// Two entries stacked with a blank row between them, in tall parentheses.
[[nodiscard]] Result<NodeRef> binomial(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The radical sign over the body, with an optional index at its upper left.
[[nodiscard]] Result<NodeRef> root(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// The summation sign, three rows high or as tall as its body.
[[nodiscard]] Result<NodeRef> summation(const Definition& def, std::span<const NodeRef> args,
                                        std::span<const NodeRef> optional);
// The integral sign, three rows high or as tall as its body.
[[nodiscard]] Result<NodeRef> integral(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The payload's count of integral signs, the first marked with its sign unless that is a plain
// integral, before the argument; with no argument, the sign (Sign; LaTeX's integrals).
[[nodiscard]] Result<NodeRef> integrals(const Definition& def, std::span<const NodeRef> args,
                                        std::span<const NodeRef> optional);
// The payload's large operator drawn as tall as the argument, before it; with no argument, its
// sign (Sign; LaTeX).
[[nodiscard]] Result<NodeRef> big_operator(const Definition& def, std::span<const NodeRef> args,
                                           std::span<const NodeRef> optional);
// The sign of a large operator's row (big_operator, integrals) as tall as it is drawn before
// `body`, without the body and the blank column after the sign: the base of its limits.
[[nodiscard]] Result<NodeRef> sign_alone(const Definition& def, NodeRef body);
// The argument in a frame (\boxed).
[[nodiscard]] Result<NodeRef> boxed(const Definition& def, std::span<const NodeRef> args,
                                    std::span<const NodeRef> optional);
// The argument under a rule that turns down along its right side, a blank column away: the
// actuarial angle (\angl{n}); with no argument, the payload's word (Word: \angln).
[[nodiscard]] Result<NodeRef> angle(const Definition& def, std::span<const NodeRef> args,
                                    std::span<const NodeRef> optional);
// The argument on a rule with a slant rising from the rule's left end: the phase angle of an
// electrical quantity (\phase{30°}).
[[nodiscard]] Result<NodeRef> phase(const Definition& def, std::span<const NodeRef> args,
                                    std::span<const NodeRef> optional);
// The argument over what is beside it, reaching right, left or both ways from where it stands
// (Lap: \mathrlap, \mathllap, \mathclap).
[[nodiscard]] Result<NodeRef> lap(const Definition& def, std::span<const NodeRef> args,
                                  std::span<const NodeRef> optional);
// The argument moved up, or down, by the payload's rows (Shift: \raise, \lower).
[[nodiscard]] Result<NodeRef> shifted(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);
// The argument with the payload's marks (combining overlays) through each of its characters
// (Pair: \cancel's solidus, \xcancel's two).
[[nodiscard]] Result<NodeRef> cancelled(const Definition& def, std::span<const NodeRef> args,
                                        std::span<const NodeRef> optional);
// The argument with a stroke through every cell of its baseline row (\sout).
[[nodiscard]] Result<NodeRef> struck(const Definition& def, std::span<const NodeRef> args,
                                     std::span<const NodeRef> optional);
// Two entries stacked, over a rule or a blank row, between the payload's delimiters, 0 for none
// (Fraction: \genfrac, \above, \atopwithdelims).
[[nodiscard]] Result<NodeRef> fraction_in(const Definition& def, std::span<const NodeRef> args,
                                          std::span<const NodeRef> optional);
// The third argument with the first argument's scripts at its left and the second's at its right
// (\sideset{_a^b}{_c^d}\sum).
[[nodiscard]] Result<NodeRef> sideset(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);
// A blank as wide as the argument, as tall, or both (Phantom: \phantom and the like).
[[nodiscard]] Result<NodeRef> phantom(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);
// The second argument with the first centred above it (\overset, \stackrel).
[[nodiscard]] Result<NodeRef> over_set(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The second argument with the first centred below it (\underset).
[[nodiscard]] Result<NodeRef> under_set(const Definition& def, std::span<const NodeRef> args,
                                        std::span<const NodeRef> optional);
// The payload's arrow drawn across, a column wider on either side than the argument centred
// above it and the optional one below it (Mark: \xrightarrow[below]{above}).
[[nodiscard]] Result<NodeRef> long_arrow(const Definition& def, std::span<const NodeRef> args,
                                         std::span<const NodeRef> optional);
// The argument in parentheses (\tag); without them when the payload opens with none (Enclosure:
// \tag*).
[[nodiscard]] Result<NodeRef> tag(const Definition& def, std::span<const NodeRef> args,
                                  std::span<const NodeRef> optional);
// The payload's arrow drawn down, three rows or as tall as the labels, the first argument at its
// left and the second at its right (Mark: ↓ ↑ or ‖; the vertical arrows of a CD diagram).
[[nodiscard]] Result<NodeRef> vertical_arrow(const Definition& def, std::span<const NodeRef> args,
                                             std::span<const NodeRef> optional);
// The argument between the payload's delimiters, one row high (Pair: \bra, \set).
[[nodiscard]] Result<NodeRef> between(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);
// The argument between stretchy vertical bars.
[[nodiscard]] Result<NodeRef> bars(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// A row holding the payload's mark above or below the argument: centred, or across its whole
// width (Mark).
[[nodiscard]] Result<NodeRef> accent(const Definition& def, std::span<const NodeRef> args,
                                     std::span<const NodeRef> optional);
// The argument as it is (the row gives it a class, or drops its other arguments).
[[nodiscard]] Result<NodeRef> group(const Definition& def, std::span<const NodeRef> args,
                                    std::span<const NodeRef> optional);
// The argument in parentheses after the payload's word: "(mod n)" for \pmod, "(n)" for \pod
// (Word).
[[nodiscard]] Result<NodeRef> pmod(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// A relation struck through: its precomposed negation where Unicode has one, else a long solidus
// through each of its characters.
[[nodiscard]] Result<NodeRef> negation(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The payload's delimiter, as many rows high as it says (Sized: \big and its kin).
[[nodiscard]] Result<NodeRef> sized_delimiter(const Definition& def, std::span<const NodeRef> args,
                                              std::span<const NodeRef> optional);
// A block of the payload's size filled with █, standing on the baseline; nothing when either
// size is 0 (Size: \rule).
[[nodiscard]] Result<NodeRef> solid(const Definition& def, std::span<const NodeRef> args,
                                    std::span<const NodeRef> optional);
// The argument with every character passed through the payload's math alphabet (Style).
[[nodiscard]] Result<NodeRef> alphabet(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);

}  // namespace vok::construct

namespace vok::rows {

// ---- the rows of each construct ----

constexpr Definition symbol(std::string_view name, char32_t ch, MathClass cls = MathClass::Ord) {
  return {.name = name, .construct = construct::symbol, .cls = cls, .payload = payload::Glyph{ch}};
}
constexpr Definition word(std::string_view name, std::string_view word = {}) {
  return {.name = name,
          .construct = construct::word,
          .payload = payload::Word{word.empty() ? name : word}};
}
// A mark above the argument, or `below` it; `wide` runs it across the argument's whole width.
constexpr Definition accent(std::string_view name, char32_t mark, bool wide, bool below = false) {
  return {.name = name,
          .args = "m",
          .construct = construct::accent,
          .payload = payload::Mark{mark, below, wide}};
}
constexpr Definition alphabet(std::string_view name, CharMap map, std::string_view args = "m") {
  return structure(name, args, construct::alphabet, payload::Style{map});
}
// A large operator whose sign grows to its operand; an integral sign drawn `count` times.
constexpr Definition big_operator(std::string_view name, char32_t sign, bool integral,
                                  std::uint8_t count = 1) {
  return with_class(
      limits(structure(name, "b", integral ? construct::integrals : construct::big_operator,
                       payload::Sign{sign, count})),
      MathClass::Op);
}
// A large operator as TeX sets it in a script: its sign one character that gathers no operand,
// its scripts beside it (e^{∑ᵢ xᵢ}).
constexpr Definition small_operator(const Definition& big) {
  return symbol(big.name, big.data<payload::Sign>().sign, MathClass::Op);
}
// Two entries stacked, in the delimiters `open` starts (0 for none).
constexpr Definition stacked(std::string_view name, char32_t open) {
  return structure(name, "mm", construct::stacked, payload::Enclosure{open});
}
// The list before it over the list after it, drawn by `construct`.
constexpr Definition infix(std::string_view name, Construct construct, char32_t open = 0) {
  return {.name = name,
          .role = Role::Infix,
          .construct = construct,
          .payload = payload::Enclosure{open}};
}
// The same reading the delimiters and the thickness its `args` list right after its name.
constexpr Definition infix(std::string_view name, Construct construct, payload::Fraction shape,
                           std::string_view args) {
  return {
      .name = name, .role = Role::Infix, .args = args, .construct = construct, .payload = shape};
}
// A blank the size of its argument: as wide, as tall, or both.
constexpr Definition phantom(std::string_view name, bool across, bool down) {
  return structure(name, "m", construct::phantom, payload::Phantom{across, down});
}
// An arrow as long as what is written above and below it: \xrightarrow[below]{above}.
constexpr Definition arrow(std::string_view name, char32_t ch) {
  return with_class(structure(name, "[m", construct::long_arrow, payload::Mark{ch, true, true}),
                    MathClass::Rel);
}
// A label at the right of the row, in parentheses when `open` is one.
constexpr Definition tag(std::string_view name, std::string_view args, char32_t open) {
  Definition def = structure(name, args, construct::tag, payload::Enclosure{open});
  def.role = Role::Tag;
  return def;
}
// The argument in parentheses after `word`: \pmod{n} is (mod n), \pod{n} is (n).
constexpr Definition modulus(std::string_view name, std::string_view word) {
  return with_class(structure(name, "m", construct::pmod, payload::Word{word}), MathClass::Inner);
}
// A delimiter of `rows` rows, named after it (\big( …).
constexpr Definition sized(std::string_view name, std::uint8_t rows, MathClass cls) {
  return with_class(structure(name, "l", construct::sized_delimiter, payload::Sized{0, rows}), cls);
}
constexpr Definition inner(Definition def) { return with_class(def, MathClass::Inner); }
// The argument between `open` and `close`: one row high, or, `growing`, as tall as the argument.
constexpr Definition fenced(std::string_view name, char32_t open, char32_t close, bool growing) {
  return inner(
      structure(name, growing ? "f" : "m", construct::between, payload::Pair{open, close}));
}

// ---- the LaTeX dialect's structures ----

using construct::boxed, construct::group, construct::negation, construct::over_set,
    construct::tight_fraction, construct::under_set;

// clang-format off
inline constexpr Definition kLatexStructures[] = {
    // Fractions, and the list before \over over the list after it.
    inner(structure("frac", "mm", tight_fraction)), inner(structure("dfrac", "mm", tight_fraction)),
    inner(structure("tfrac", "mm", tight_fraction)), inner(structure("cfrac", "mm", tight_fraction)),
    infix("over", tight_fraction),
    // Stacks: binomials, and \choose, \atop, \brace and \brack between two lists.
    inner(stacked("binom", U'(')), inner(stacked("dbinom", U'(')), inner(stacked("tbinom", U'(')),
    infix("choose", construct::stacked, U'('), infix("atop", construct::stacked),
    infix("brace", construct::stacked, U'{'), infix("brack", construct::stacked, U'['),
    // Dirac's brackets and sets: delimiters one row high, or growing with the argument.
    fenced("bra", U'⟨', U'|', false), fenced("ket", U'|', U'⟩', false),
    fenced("braket", U'⟨', U'⟩', false), fenced("set", U'{', U'}', false),
    fenced("Bra", U'⟨', U'|', true), fenced("Ket", U'|', U'⟩', true),
    fenced("Braket", U'⟨', U'⟩', true), fenced("Set", U'{', U'}', true),
    // Frames around the argument, whole or on two sides.
    structure("boxed", "m", boxed), structure("fbox", "t", boxed),
    structure("angl", "m", construct::angle),
    structure("angln", "", construct::angle, payload::Word{"n"}),
    structure("phase", "m", construct::phase), structure("sout", "m", construct::struck),
    // Fractions with delimiters of their own, over a rule of a thickness or none.
    inner(structure("genfrac", "eehsmm", construct::fraction_in, payload::Fraction{})),
    infix("above", construct::fraction_in, payload::Fraction{.rule = true}, "k"),
    infix("abovewithdelims", construct::fraction_in, payload::Fraction{.rule = true}, "llk"),
    infix("atopwithdelims", construct::fraction_in, payload::Fraction{}, "ll"),
    infix("overwithdelims", construct::fraction_in, payload::Fraction{.rule = true}, "ll"),
    // Scripts at both sides of an operator.
    limits(with_class(structure("sideset", "mmm", construct::sideset), MathClass::Op)),
    // An argument over another, as a relation: \buildrel a \over b.
    with_class(structure("buildrel", "om", over_set), MathClass::Rel),
    // Blanks the size of the argument, and the argument with its height dropped.
    phantom("phantom", true, true), phantom("hphantom", true, false),
    phantom("vphantom", false, true), structure("smash", "[m", group),
    // One argument set over or under another.
    of_base(structure("overset", "mm", over_set)), of_base(structure("underset", "mm", under_set)),
    with_class(structure("stackrel", "mm", over_set), MathClass::Rel),
    // A relation struck through.
    with_class(structure("not", "m", negation), MathClass::Rel),
    // Arrows as long as their labels.
    arrow("xrightarrow", U'→'), arrow("xleftarrow", U'←'), arrow("xleftrightarrow", U'↔'),
    arrow("xRightarrow", U'⇒'), arrow("xLeftarrow", U'⇐'), arrow("xLeftrightarrow", U'⇔'),
    arrow("xmapsto", U'↦'), arrow("xlongequal", U'='), arrow("xhookleftarrow", U'↩'),
    arrow("xhookrightarrow", U'↪'), arrow("xtwoheadleftarrow", U'↞'),
    arrow("xtwoheadrightarrow", U'↠'), arrow("xleftharpoonup", U'↼'),
    arrow("xrightharpoonup", U'⇀'), arrow("xleftharpoondown", U'↽'),
    arrow("xrightharpoondown", U'⇁'), arrow("xleftrightharpoons", U'⇋'),
    arrow("xrightleftharpoons", U'⇌'), arrow("xtofrom", U'⇄'),
    arrow("xrightleftarrows", U'⇄'), arrow("xrightequilibrium", U'⇌'),
    arrow("xleftequilibrium", U'⇋'),
    // The arrows of a CD diagram, named after how they are written (@>a>b>, @VaVb): along a row,
    // the labels above and below; down a column, at its left and right. @. is no arrow.
    arrow("@>", U'→'), arrow("@<", U'←'),
    with_class(structure("@=", "", construct::long_arrow, payload::Mark{U'=', true, true}),
               MathClass::Rel),
    structure("@V", "mm", construct::vertical_arrow, payload::Mark{U'↓'}),
    structure("@A", "mm", construct::vertical_arrow, payload::Mark{U'↑'}),
    structure("@|", "", construct::vertical_arrow, payload::Mark{U'‖'}),
    structure("@.", "", group),
    // Labels at the right.
    tag("tag", "*t", U'('), tag("tag*", "t", 0), role("notag", Role::Tag),
    role("nonumber", Role::Tag),
    // Marks across the argument: a rule under it, at the top of the row below, and strokes across
    // the row above it.
    accent("underline", U'▔', true, true),
    // Struck through each character: ╱ and ╲ as combining overlays.
    structure("cancel", "m", construct::cancelled, payload::Pair{U'\u0338', 0}),
    structure("bcancel", "m", construct::cancelled, payload::Pair{U'\u20E5', 0}),
    structure("xcancel", "m", construct::cancelled, payload::Pair{U'\u0338', U'\u20E5'}),
    // A filled block as wide and as tall as its dimensions; the raise before them is dropped.
    structure("rule", "[dd", construct::solid, payload::Size{}),
    // The rows of \substack{…}, set out as its environment.
    structure("substack", "r", group),
    // Delimiters of fixed sizes: one, three, five and seven rows.
    sized("big", 1, MathClass::Ord), sized("bigl", 1, MathClass::Open),
    sized("bigr", 1, MathClass::Close), sized("bigm", 1, MathClass::Rel),
    sized("Big", 3, MathClass::Ord), sized("Bigl", 3, MathClass::Open),
    sized("Bigr", 3, MathClass::Close), sized("Bigm", 3, MathClass::Rel),
    sized("bigg", 5, MathClass::Ord), sized("biggl", 5, MathClass::Open),
    sized("biggr", 5, MathClass::Close), sized("biggm", 5, MathClass::Rel),
    sized("Bigg", 7, MathClass::Ord), sized("Biggl", 7, MathClass::Open),
    sized("Biggr", 7, MathClass::Close), sized("Biggm", 7, MathClass::Rel),
};
// clang-format on

}  // namespace vok::rows
