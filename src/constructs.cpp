// The constructs and the math alphabets.
#include "constructs.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok::construct {
namespace {

// Argument i, or the empty node when the parser supplied fewer (only big operators may lack
// their body; the others always get theirs, but drawing stays total regardless).
NodeRef arg(std::span<const NodeRef> args, std::size_t i) {
  return i < args.size() ? args[i] : RenderNode::empty();
}

}  // namespace

Result<NodeRef> symbol(const Definition& def, std::span<const NodeRef>, std::span<const NodeRef>) {
  return RenderNode::single(def.ch);
}

Result<NodeRef> word(const Definition& def, std::span<const NodeRef>, std::span<const NodeRef>) {
  return RenderNode::row(def.word);
}

Result<NodeRef> fraction(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  return RenderNode::vstack(arg(args, 0), arg(args, 1), U'─');
}

Result<NodeRef> tight_fraction(const Definition&, std::span<const NodeRef> args,
                               std::span<const NodeRef>) {
  return RenderNode::tight_vstack(arg(args, 0), arg(args, 1), U'─');
}

Result<NodeRef> stacked(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef>) {
  auto stack = RenderNode::tight_vstack(arg(args, 0), arg(args, 1), U' ');
  if (!stack || def.ch == 0) return stack;
  const char32_t close = def.ch == U'(' ? U')' : def.ch == U'[' ? U']' : U'}';
  return RenderNode::stretchy_delim(*stack, def.ch, close, false);
}

Result<NodeRef> binomial(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  auto stack = RenderNode::vstack(arg(args, 0), arg(args, 1), U' ');
  if (!stack) return stack;
  return RenderNode::stretchy_delim(*stack, U'(', U')', false);
}

Result<NodeRef> root(const Definition&, std::span<const NodeRef> args,
                     std::span<const NodeRef> optional) {
  auto radical = RenderNode::sqrt_inner(arg(args, 0));
  if (!radical || optional.empty()) return radical;
  return RenderNode::root_index(optional.front(), *radical);
}

Result<NodeRef> summation(const Definition&, std::span<const NodeRef> args,
                          std::span<const NodeRef>) {
  return RenderNode::summation(args.empty() ? nullptr : args.front());
}

Result<NodeRef> integral(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  return RenderNode::integral(arg(args, 0));
}

Result<NodeRef> integrals(const Definition& def, std::span<const NodeRef> args,
                          std::span<const NodeRef>) {
  if (args.empty()) return RenderNode::single(def.ch);
  // ∫ ∬ ∭ ⨌ are plain signs, repeated; ∮ and the others mark their first sign.
  const bool plain = def.ch == U'∫' || def.size > 1;
  return RenderNode::integrals(args.front(), def.size, plain ? U'\0' : def.ch);
}

Result<NodeRef> big_operator(const Definition& def, std::span<const NodeRef> args,
                             std::span<const NodeRef>) {
  if (args.empty()) return RenderNode::single(def.ch);
  return RenderNode::big_operator(args.front(), def.ch);
}

Result<NodeRef> boxed(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  return RenderNode::framed(arg(args, 0));
}

Result<NodeRef> phantom(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef>) {
  const NodeRef shown = arg(args, 0);
  const bool across = (def.size & 1) != 0, down = (def.size & 2) != 0;
  return RenderNode::blank(across ? shown->width : 0, down ? shown->height : 0,
                           down ? shown->baseline : 0);
}

Result<NodeRef> over_set(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  return RenderNode::centred_limits(arg(args, 1), RenderNode::empty(), arg(args, 0));
}

Result<NodeRef> under_set(const Definition&, std::span<const NodeRef> args,
                          std::span<const NodeRef>) {
  return RenderNode::centred_limits(arg(args, 1), arg(args, 0), RenderNode::empty());
}

Result<NodeRef> long_arrow(const Definition& def, std::span<const NodeRef> args,
                           std::span<const NodeRef> optional) {
  const NodeRef above = arg(args, 0), below = arg(optional, 0);
  auto span = RenderNode::blank(std::max<std::size_t>({above->width, below->width, 1}) + 2, 0, 0);
  if (!span) return span;
  auto arrow = RenderNode::accent_below(*span, def.ch, true);
  if (!arrow) return arrow;
  return RenderNode::centred_limits(*arrow, below, above);
}

Result<NodeRef> tag(const Definition& def, std::span<const NodeRef> args,
                    std::span<const NodeRef>) {
  NodeRef* parts = current_arena().allocate_array<NodeRef>(4);
  std::size_t count = 0;
  parts[count++] = *RenderNode::blank(2, 0, 0);
  if (def.ch != 0) parts[count++] = *RenderNode::single(U'(');
  parts[count++] = arg(args, 0);
  if (def.ch != 0) parts[count++] = *RenderNode::single(U')');
  return RenderNode::hstack({parts, count});
}

Result<NodeRef> bars(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  return RenderNode::stretchy_delim(arg(args, 0), U'|', U'|', false);
}

Result<NodeRef> accent(const Definition& def, std::span<const NodeRef> args,
                       std::span<const NodeRef>) {
  return RenderNode::accent(arg(args, 0), def.ch, def.stretch);
}

Result<NodeRef> accent_below(const Definition& def, std::span<const NodeRef> args,
                             std::span<const NodeRef>) {
  return RenderNode::accent_below(arg(args, 0), def.ch, def.stretch);
}

Result<NodeRef> group(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  return arg(args, 0);
}

Result<NodeRef> pmod(const Definition& def, std::span<const NodeRef> args,
                     std::span<const NodeRef>) {
  NodeRef* parts = current_arena().allocate_array<NodeRef>(4);
  std::size_t count = 0;
  parts[count++] = *RenderNode::row("(");
  if (!def.word.empty()) {
    auto word = RenderNode::row(def.word);
    if (!word) return word;
    parts[count++] = *word;
  }
  parts[count++] = arg(args, 0);
  parts[count++] = *RenderNode::row(")");
  return RenderNode::hstack({parts, count});
}

namespace {

// The relations whose negation Unicode has as one character, sorted for a binary search.
// clang-format off
constexpr std::pair<char32_t, char32_t> kNegations[] = {
    {U'<', U'≮'}, {U'=', U'≠'}, {U'>', U'≯'}, {U'|', U'∤'}, {U'←', U'↚'}, {U'→', U'↛'},
    {U'↔', U'↮'}, {U'⇐', U'⇍'}, {U'⇒', U'⇏'}, {U'⇔', U'⇎'}, {U'∃', U'∄'}, {U'∈', U'∉'},
    {U'∋', U'∌'}, {U'∣', U'∤'}, {U'∥', U'∦'}, {U'∼', U'≁'}, {U'≃', U'≄'}, {U'≅', U'≇'},
    {U'≈', U'≉'}, {U'≍', U'≭'}, {U'≡', U'≢'}, {U'≤', U'≰'}, {U'≥', U'≱'}, {U'≲', U'≴'},
    {U'≳', U'≵'}, {U'≶', U'≸'}, {U'≷', U'≹'}, {U'≺', U'⊀'}, {U'≻', U'⊁'}, {U'≼', U'⋠'},
    {U'≽', U'⋡'}, {U'⊂', U'⊄'}, {U'⊃', U'⊅'}, {U'⊆', U'⊈'}, {U'⊇', U'⊉'}, {U'⊑', U'⋢'},
    {U'⊒', U'⋣'}, {U'⊢', U'⊬'}, {U'⊨', U'⊭'}, {U'⊩', U'⊮'}, {U'⊫', U'⊯'}, {U'⊲', U'⋪'},
    {U'⊳', U'⋫'}, {U'⊴', U'⋬'}, {U'⊵', U'⋭'},
};
// clang-format on
static_assert(std::ranges::is_sorted(kNegations, {}, &std::pair<char32_t, char32_t>::first));

// The negation of a relation, or 0 when Unicode has none.
char32_t negated(char32_t ch) noexcept { return partner(kNegations, ch, U'\0'); }

}  // namespace

Result<NodeRef> negation(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  const NodeRef relation = arg(args, 0);
  if (relation->width == 1 && relation->height == 1 &&
      Canvas::converts_whole_row(*relation, negated))
    return RenderNode::styled(relation, negated);
  NodeRef* parts = current_arena().allocate_array<NodeRef>(2);
  parts[0] = *RenderNode::row("/");
  parts[1] = relation;
  return RenderNode::hstack({parts, 2});
}

Result<NodeRef> sized_delimiter(const Definition& def, std::span<const NodeRef>,
                                std::span<const NodeRef>) {
  if (def.ch == 0) return RenderNode::empty();  // \big.
  return RenderNode::sized_delimiter(def.ch, def.size);
}

Result<NodeRef> alphabet(const Definition& def, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  return RenderNode::styled(arg(args, 0), def.map);
}

}  // namespace vok::construct

namespace vok {

// ---- math alphabets ----
//
// Each style maps A–Z, a–z and (where it has them) 0–9 onto consecutive code points of the
// Mathematical Alphanumeric Symbols block. The styled block leaves a few positions unassigned
// because the letters already existed in Letterlike Symbols; those are mapped there instead.

namespace {

constexpr char32_t styled(char32_t ch, char32_t capitals, char32_t smalls, char32_t digits) {
  if (ch >= U'A' && ch <= U'Z') return capitals + (ch - U'A');
  if (ch >= U'a' && ch <= U'z') return smalls + (ch - U'a');
  if (digits != 0 && ch >= U'0' && ch <= U'9') return digits + (ch - U'0');
  return ch;
}

}  // namespace

char32_t to_bold(char32_t ch) noexcept { return styled(ch, 0x1D400, 0x1D41A, 0x1D7CE); }

char32_t to_italic(char32_t ch) noexcept {
  if (ch == U'h') return U'ℎ';
  return styled(ch, 0x1D434, 0x1D44E, 0);
}

char32_t to_sans(char32_t ch) noexcept { return styled(ch, 0x1D5A0, 0x1D5BA, 0x1D7E2); }

char32_t to_bb(char32_t ch) noexcept {
  switch (ch) {
    case U'C':
      return U'ℂ';
    case U'H':
      return U'ℍ';
    case U'N':
      return U'ℕ';
    case U'P':
      return U'ℙ';
    case U'Q':
      return U'ℚ';
    case U'R':
      return U'ℝ';
    case U'Z':
      return U'ℤ';
    default:
      return styled(ch, 0x1D538, 0x1D552, 0x1D7D8);
  }
}

char32_t to_upright(char32_t ch) noexcept { return ch; }

char32_t to_script(char32_t ch) noexcept {
  switch (ch) {
    case U'B':
      return U'ℬ';
    case U'E':
      return U'ℰ';
    case U'F':
      return U'ℱ';
    case U'H':
      return U'ℋ';
    case U'I':
      return U'ℐ';
    case U'L':
      return U'ℒ';
    case U'M':
      return U'ℳ';
    case U'R':
      return U'ℛ';
    case U'e':
      return U'ℯ';
    case U'g':
      return U'ℊ';
    case U'o':
      return U'ℴ';
    default:
      return styled(ch, 0x1D49C, 0x1D4B6, 0);
  }
}

char32_t to_fraktur(char32_t ch) noexcept {
  switch (ch) {
    case U'C':
      return U'ℭ';
    case U'H':
      return U'ℌ';
    case U'I':
      return U'ℑ';
    case U'R':
      return U'ℜ';
    case U'Z':
      return U'ℨ';
    default:
      return styled(ch, 0x1D504, 0x1D51E, 0);
  }
}

char32_t to_monospace(char32_t ch) noexcept { return styled(ch, 0x1D670, 0x1D68A, 0x1D7F6); }

char32_t to_bold_italic(char32_t ch) noexcept {
  // Greek capitals (U+03A2, between rho and sigma, is unassigned), small letters and the variant
  // forms have bold italic forms too.
  if (ch >= 0x391 && ch <= 0x3A9 && ch != 0x3A2) return 0x1D71C + (ch - 0x391);
  if (ch >= 0x3B1 && ch <= 0x3C9) return 0x1D736 + (ch - 0x3B1);
  switch (ch) {
    case U'∇':
      return 0x1D735;
    case U'∂':
      return 0x1D74F;
    case U'ϵ':
      return 0x1D750;
    case U'ϑ':
      return 0x1D751;
    case U'ϰ':
      return 0x1D752;
    case U'ϕ':
      return 0x1D753;
    case U'ϱ':
      return 0x1D754;
    case U'ϖ':
      return 0x1D755;
    default:
      return styled(ch, 0x1D468, 0x1D482, 0x1D7CE);
  }
}

}  // namespace vok
