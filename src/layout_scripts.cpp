// Scripts, primes and limits: the compositions that attach secondary pieces to a base.
//
// A script that is one row of characters which all have Unicode superscript (or subscript) forms is
// written in those forms on the base's own row, so powers and indices take no extra rows: a
// superscript on the base's top row, a subscript on its baseline row. Any other script is laid out
// on rows of its own, left-aligned in the column right after the base. `limits` stacks its three
// pieces left-aligned instead, with equal bands above and below so that the base stays centred.
//
// Whether a script is compact depends on the characters it draws, which a node does not know
// until it is painted: the test paints the script through a probe that keeps no cell and only
// checks that every cell gets a character with a form. It runs only on one-row scripts. A compact
// script's converted characters have no form themselves, so a test that walks through one fails,
// and a script that fails its test takes rows of its own, so no test runs further up: each part
// of the tree is walked by at most three tests, and the tests stay linear in the tree.
//
// A base whose baseline is not one of its rows (the empty node, or a one-row node grown from it
// by an accent or radical) is extended downward just far enough for whatever is written beside it
// to be drawn; a script that writes nothing leaves such a base unchanged.
#include <algorithm>
#include <array>
#include <utility>

#include "arena.hpp"
#include "layout.hpp"

namespace vok {

using namespace shapes;  // the shapes this file measures and paints
namespace {

using Form = std::pair<char32_t, char32_t>;  // a character and its script form

// The superscript and subscript forms, by source character (all of them ASCII).
// clang-format off
constexpr std::array<Form, 56> kSuperscripts{{
    // signs
    {U'(', U'\u207D'}, {U')', U'\u207E'}, {U'+', U'\u207A'}, {U'-', U'\u207B'},
    // digits
    {U'0', U'\u2070'}, {U'1', U'\u00B9'}, {U'2', U'\u00B2'}, {U'3', U'\u00B3'}, {U'4', U'\u2074'},
    {U'5', U'\u2075'}, {U'6', U'\u2076'}, {U'7', U'\u2077'}, {U'8', U'\u2078'}, {U'9', U'\u2079'},
    {U'=', U'\u207C'},
    // capitals: C F K L Q S V X Y Z have no superscript form
    {U'A', U'\u1D2C'}, {U'B', U'\u1D2E'}, {U'D', U'\u1D30'}, {U'E', U'\u1D31'}, {U'G', U'\u1D33'},
    {U'H', U'\u1D34'}, {U'I', U'\u1D35'}, {U'J', U'\u1D36'}, {U'M', U'\u1D39'}, {U'N', U'\u1D3A'},
    {U'O', U'\u1D3C'}, {U'P', U'\u1D3E'}, {U'R', U'\u1D3F'}, {U'T', U'\u1D40'}, {U'U', U'\u1D41'},
    {U'W', U'\u1D42'},
    // small letters: all but q
    {U'a', U'\u1D43'}, {U'b', U'\u1D47'}, {U'c', U'\u1D9C'}, {U'd', U'\u1D48'}, {U'e', U'\u1D49'},
    {U'f', U'\u1DA0'}, {U'g', U'\u1D4D'}, {U'h', U'\u02B0'}, {U'i', U'\u2071'}, {U'j', U'\u02B2'},
    {U'k', U'\u1D4F'}, {U'l', U'\u02E1'}, {U'm', U'\u1D50'}, {U'n', U'\u207F'}, {U'o', U'\u1D52'},
    {U'p', U'\u1D56'}, {U'r', U'\u02B3'}, {U's', U'\u02E2'}, {U't', U'\u1D57'}, {U'u', U'\u1D58'},
    {U'v', U'\u1D5B'}, {U'w', U'\u02B7'}, {U'x', U'\u02E3'}, {U'y', U'\u02B8'}, {U'z', U'\u1DBB'},
}};
// clang-format on

// clang-format off
constexpr std::array<Form, 33> kSubscripts{{
    // signs
    {U'(', U'\u208D'}, {U')', U'\u208E'}, {U'+', U'\u208A'}, {U'-', U'\u208B'},
    // digits
    {U'0', U'\u2080'}, {U'1', U'\u2081'}, {U'2', U'\u2082'}, {U'3', U'\u2083'}, {U'4', U'\u2084'},
    {U'5', U'\u2085'}, {U'6', U'\u2086'}, {U'7', U'\u2087'}, {U'8', U'\u2088'}, {U'9', U'\u2089'},
    {U'=', U'\u208C'},
    // small letters: no capitals, and none for b c d f g q w z; y takes the subscript gamma
    {U'a', U'\u2090'}, {U'e', U'\u2091'}, {U'h', U'\u2095'}, {U'i', U'\u1D62'}, {U'j', U'\u2C7C'},
    {U'k', U'\u2096'}, {U'l', U'\u2097'}, {U'm', U'\u2098'}, {U'n', U'\u2099'}, {U'o', U'\u2092'},
    {U'p', U'\u209A'}, {U'r', U'\u1D63'}, {U's', U'\u209B'}, {U't', U'\u209C'}, {U'u', U'\u1D64'},
    {U'v', U'\u1D65'}, {U'x', U'\u2093'}, {U'y', U'\u1D67'},
}};
// clang-format on

// A table of forms indexed by ASCII character, 0 where there is none.
using Forms = std::array<char32_t, 128>;

template <std::size_t N>
constexpr Forms indexed(const std::array<Form, N>& table) {
  Forms forms{};
  for (const auto& [ch, form] : table) forms.at(ch) = form;  // at(): a non-ASCII row fails to build
  return forms;
}

constexpr Forms kSuperscriptForms = indexed(kSuperscripts);
constexpr Forms kSubscriptForms = indexed(kSubscripts);

// The compact form of `ch`, or 0 when it has none.
char32_t lookup(const Forms& forms, char32_t ch) noexcept {
  return ch < forms.size() ? forms[ch] : U'\0';
}

// A script is compact when it is exactly one row and every cell, blanks included, has a form; one
// row of width 0 qualifies and converts to nothing.
bool is_compact(const RenderNode& script, CharMap map) {
  return script.height == 1 && Canvas::converts_whole_row(script, map);
}

// The height of `base` with a compact script written on row `row`: a script with characters makes
// the node reach down to that row even when the base does not.
std::size_t compact_height(const RenderNode& base, const RenderNode& script, std::size_t row) {
  return script.width == 0 ? base.height : std::max<std::size_t>(base.height, add_sat(row, 1));
}

}  // namespace

char32_t superscript_form(char32_t ch) noexcept { return lookup(kSuperscriptForms, ch); }
char32_t subscript_form(char32_t ch) noexcept { return lookup(kSubscriptForms, ch); }
char32_t prime_or_superscript_form(char32_t ch) noexcept {
  // Prime marks already stand high: they keep their own form.
  if (ch == U'′' || ch == U'″' || ch == U'‴' || ch == U'⁗') return ch;
  return superscript_form(ch);
}

Result<NodeRef> RenderNode::superscript(NodeRef base, NodeRef sup, CharMap forms) {
  const std::size_t width = add_sat(base->width, sup->width);
  if (is_compact(*sup, forms)) {
    // The exact markup's forms draw every mark as a script character; the LaTeX dialect's keep
    // prime marks as they are.
    const Shape shape = forms == superscript_form ? Shape(CompactSup{base, sup})
                                                  : Shape(CompactPrimedSup{base, sup});
    return make_node(width, compact_height(*base, *sup, 0), base->baseline, shape);
  }
  return make_node(width, add_sat(sup->height, base->height), add_sat(sup->height, base->baseline),
                   SupRows{base, sup});
}

void paint(const CompactSup& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.paint_mapped(*shape.script, x + shape.base->width, y, superscript_form);
}

namespace {

// Whether `base` is a letter of one row under an accent's row: a script goes beside the letter,
// as TeX sets it (x̂², not a ² beside the hat).
bool accented_letter(const RenderNode& base) {
  if (const auto* accent = std::get_if<Accent>(&base.shape)) return accent->inner->height == 1;
  if (const auto* accent = std::get_if<WideAccent>(&base.shape)) return accent->inner->height == 1;
  return false;
}

}  // namespace

void paint(const CompactPrimedSup& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.paint_mapped(*shape.script, x + shape.base->width,
                      y + (accented_letter(*shape.base) ? 1 : 0), prime_or_superscript_form);
}

void paint(const SupRows& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.script, x + shape.base->width, y);
  canvas.paint(*shape.base, x, y + shape.script->height);
}

char32_t prime_form(char32_t ch) noexcept {
  return ch == U'′' || ch == U'″' || ch == U'‴' || ch == U'⁗' ? ch : U'\0';
}

char32_t no_form(char32_t) noexcept { return U'\0'; }

char32_t latex_subscript_form(char32_t ch) noexcept {
  return ch == U'y' ? U'\0' : subscript_form(ch);
}

Result<NodeRef> RenderNode::subscript(NodeRef base, NodeRef sub, bool low, CharMap forms) {
  const std::size_t width = add_sat(base->width, sub->width);
  if (is_compact(*sub, forms)) {
    if (low && base->height > 1)
      return make_node(width, base->height, base->baseline, CompactLowSub{base, sub});
    return make_node(width, compact_height(*base, *sub, base->baseline), base->baseline,
                     CompactSub{base, sub});
  }
  // The subscript hangs from the row below the baseline, beside the base's lower rows; the node
  // grows only when it reaches past them. A script with no rows reaches nothing.
  const std::size_t below = add_sat(base->baseline, 1);
  const std::size_t height = sub->height == 0
                                 ? base->height
                                 : std::max<std::size_t>(base->height, add_sat(below, sub->height));
  return make_node(width, height, base->baseline, SubRows{base, sub});
}

void paint(const CompactSub& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.paint_mapped(*shape.script, x + shape.base->width, y + shape.base->baseline,
                      subscript_form);
}

void paint(const CompactLowSub& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.paint_mapped(*shape.script, x + shape.base->width, y + shape.base->height - 1,
                      subscript_form);
}

void paint(const SubRows& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.paint(*shape.script, x + shape.base->width, y + shape.base->baseline + 1);
}

Result<NodeRef> RenderNode::both_scripts(NodeRef base, NodeRef sub, NodeRef sup) {
  // Room for the subscript is reserved below the whole base even though it starts just below the
  // baseline, so beside a deep base the bottom rows stay blank; beside a base whose baseline is
  // past its last row the subscript's own extent decides instead.
  const std::size_t baseline = add_sat(sup->height, base->baseline);
  std::size_t height = add_sat(add_sat(sup->height, base->height), sub->height);
  if (sub->height != 0) height = std::max(height, add_sat(add_sat(baseline, 1), sub->height));
  return make_node(add_sat(base->width, std::max(sub->width, sup->width)), height, baseline,
                   current_arena().make<Scripts>(base, sub, sup));
}

void paint(const Scripts& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.sup, x + shape.base->width, y);
  canvas.paint(*shape.base, x, y + shape.sup->height);
  canvas.paint(*shape.sub, x + shape.base->width, y + self.baseline + 1);
}

Result<NodeRef> RenderNode::compact_scripts(NodeRef base, NodeRef sub, NodeRef sup,
                                            CharMap sub_forms, CharMap sup_forms, bool sup_first) {
  if (!is_compact(*sub, sub_forms) || !is_compact(*sup, sup_forms))
    return both_scripts(base, sub, sup);
  const bool one_row = base->height <= 1;
  const std::size_t width =
      one_row ? add_sat(sub->width, sup->width) : std::max(sub->width, sup->width);
  const std::size_t height =
      std::max(compact_height(*base, *sup, 0),
               compact_height(*base, *sub, one_row ? base->baseline : base->height - 1));
  return make_node(add_sat(base->width, width), height, base->baseline,
                   current_arena().make<CompactScripts>(base, sub, sup, sup_forms, sup_first));
}

void paint(const CompactScripts& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const RenderNode& base = *shape.base;
  canvas.paint(base, x, y);
  const bool one_row = base.height <= 1;
  const std::size_t sub_x = x + base.width + (one_row && shape.sup_first ? shape.sup->width : 0);
  const std::size_t sup_x = x + base.width + (one_row && !shape.sup_first ? shape.sub->width : 0);
  canvas.paint_mapped(*shape.sub, sub_x, y + (one_row ? base.baseline : base.height - 1),
                      subscript_form);
  canvas.paint_mapped(*shape.sup, sup_x, y, shape.sup_forms);
}

Result<NodeRef> RenderNode::prime_suffix(NodeRef base, std::size_t count) {
  // The primes sit on the baseline row, which the node is extended to reach if need be.
  const std::size_t height = add_sat(base->baseline, std::max<std::size_t>(base->descent(), 1));
  return make_node(add_sat(base->width, count), height, base->baseline, PrimeMarks{base, count});
}

void paint(const PrimeMarks& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.across(x + shape.base->width, y + self.baseline, shape.count, U'\'');
}

Result<NodeRef> RenderNode::limits(NodeRef base, NodeRef lower, NodeRef upper) {
  // Both bands take the taller limit's height so the base stays centred when one limit is absent;
  // the extra column on the right keeps what follows off the operator.
  const std::size_t band = std::max(lower->height, upper->height);
  const std::size_t width = std::max({base->width, lower->width, upper->width});
  return make_node(add_sat(width, 1), add_sat(base->height, mul_sat(band, 2)),
                   add_sat(band, base->baseline),
                   current_arena().make<Limits>(base, lower, upper, true));
}

Result<NodeRef> RenderNode::operator_limits(NodeRef base, NodeRef lower, NodeRef upper) {
  const std::size_t width = std::max({base->width, lower->width, upper->width});
  return make_node(add_sat(width, 1), add_sat(add_sat(upper->height, base->height), lower->height),
                   add_sat(upper->height, base->baseline),
                   current_arena().make<Limits>(base, lower, upper, false));
}

void paint(const Limits& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  const std::size_t band =
      shape.equal_bands ? std::max(shape.lower->height, shape.upper->height) : shape.upper->height;
  canvas.paint(*shape.upper, x, y + band - shape.upper->height);
  canvas.paint(*shape.base, x, y + band);
  canvas.paint(*shape.lower, x, y + band + shape.base->height);
}

Result<NodeRef> RenderNode::centred_limits(NodeRef base, NodeRef lower, NodeRef upper) {
  const std::size_t width = std::max({base->width, lower->width, upper->width});
  return make_node(width, add_sat(add_sat(upper->height, base->height), lower->height),
                   add_sat(upper->height, base->baseline),
                   current_arena().make<CentredLimits>(base, lower, upper));
}

void paint(const CentredLimits& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  // An odd spare column goes to the right.
  const auto centred = [&](const RenderNode& part) { return x + (self.width - part.width) / 2; };
  canvas.paint(*shape.upper, centred(*shape.upper), y);
  canvas.paint(*shape.base, centred(*shape.base), y + shape.upper->height);
  canvas.paint(*shape.lower, centred(*shape.lower), y + shape.upper->height + shape.base->height);
}

}  // namespace vok
