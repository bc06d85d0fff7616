// The constructs and the math alphabets.
#include "constructs.hpp"

#include <algorithm>

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

Result<NodeRef> bars(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  return RenderNode::stretchy_delim(arg(args, 0), U'|', U'|', false);
}

Result<NodeRef> accent(const Definition& def, std::span<const NodeRef> args,
                       std::span<const NodeRef>) {
  return RenderNode::accent(arg(args, 0), def.ch, def.stretch);
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

}  // namespace vok
