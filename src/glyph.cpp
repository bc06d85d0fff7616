// The shared render_macro, the nodes of the eleven glyph kinds, the math alphabets and the
// registry's map.
#include "glyph.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

// Argument i, or the empty node when the parser supplied fewer (only big operators may lack
// their body; the others always get theirs, but drawing stays total regardless).
NodeRef arg(std::span<const NodeRef> args, std::size_t i) {
  return i < args.size() ? args[i] : RenderNode::empty();
}

std::string quoted_char(char32_t ch) {
  std::string text = "'";
  append_utf8(text, ch);
  return text + "'";
}

// Renders every expression of `exprs` in order; the first error ends it.
Result<std::span<const NodeRef>> render_all(ExprList exprs, RenderCtx& ctx, RenderArg render_arg) {
  if (exprs.empty()) return std::span<const NodeRef>();
  NodeRef* out = current_arena().allocate_array<NodeRef>(exprs.size());
  for (std::size_t i = 0; i < exprs.size(); ++i) {
    auto node = render_arg(*exprs[i], ctx);
    if (!node) return std::unexpected(std::move(node.error()));
    out[i] = *node;
  }
  return std::span<const NodeRef>(out, exprs.size());
}

}  // namespace

Result<NodeRef> Glyph::render_macro(ExprList args, ExprList optional, RenderCtx& ctx,
                                    RenderArg render_arg) const {
  auto rendered_args = render_all(args, ctx, render_arg);
  if (!rendered_args) return std::unexpected(std::move(rendered_args.error()));
  auto rendered_optional = render_all(optional, ctx, render_arg);
  if (!rendered_optional) return std::unexpected(std::move(rendered_optional.error()));
  return render(*rendered_args, *rendered_optional, ctx);
}

Result<NodeRef> BinomGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef>,
                                   const RenderCtx&) const {
  auto stack = RenderNode::vstack(arg(args, 0), arg(args, 1), U' ');
  if (!stack) return stack;
  return RenderNode::stretchy_delim(*stack, U'(', U')', false);
}

Result<NodeRef> FracGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef>,
                                  const RenderCtx&) const {
  return RenderNode::vstack(arg(args, 0), arg(args, 1), U'─');
}

Result<NodeRef> SqrtGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef> optional,
                                  const RenderCtx&) const {
  auto radical = RenderNode::sqrt_inner(arg(args, 0));
  if (!radical || optional.empty()) return radical;
  return RenderNode::root_index(optional.front(), *radical);
}

Result<NodeRef> SummationGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef>,
                                       const RenderCtx&) const {
  return RenderNode::summation(args.empty() ? nullptr : args.front());
}

Result<NodeRef> IntegralGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef>,
                                      const RenderCtx&) const {
  return RenderNode::integral(arg(args, 0));
}

Result<NodeRef> LimitGlyph::render(std::span<const NodeRef>, std::span<const NodeRef>,
                                   const RenderCtx&) const {
  return RenderNode::row("lim");
}

Result<NodeRef> AbsGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef>,
                                 const RenderCtx&) const {
  return RenderNode::stretchy_delim(arg(args, 0), U'|', U'|', false);
}

std::string AccentGlyph::describe() const {
  return "AccentGlyph { mark: " + quoted_char(mark_) +
         ", stretch: " + (stretch_ ? "true" : "false") + " }";
}

Result<NodeRef> AccentGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef>,
                                    const RenderCtx&) const {
  return RenderNode::accent(arg(args, 0), mark_, stretch_);
}

std::string AlphabetGlyph::describe() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", reinterpret_cast<void*>(map_));
  return std::string("AlphabetGlyph(") + address + ")";
}

Result<NodeRef> AlphabetGlyph::render(std::span<const NodeRef> args, std::span<const NodeRef>,
                                      const RenderCtx&) const {
  return RenderNode::styled(arg(args, 0), map_);
}

std::string UnicodeGlyph::describe() const { return "UnicodeGlyph(" + quoted_char(ch_) + ")"; }

Result<NodeRef> UnicodeGlyph::render(std::span<const NodeRef>, std::span<const NodeRef>,
                                     const RenderCtx&) const {
  return RenderNode::single(ch_);
}

std::string TextGlyph::describe() const { return "TextGlyph(\"" + std::string(text_) + "\")"; }

Result<NodeRef> TextGlyph::render(std::span<const NodeRef>, std::span<const NodeRef>,
                                  const RenderCtx&) const {
  return RenderNode::row(text_);
}

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

// ---- registry ----

namespace {

// FNV-1a: command names are a few ASCII letters, so a short byte-wise hash is both fast and
// well spread.
std::size_t hash_name(std::string_view name) noexcept {
  std::uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

}  // namespace

SymbolRegistry::SymbolRegistry() : slots_(16) {}

std::size_t SymbolRegistry::find(std::string_view name, std::size_t hash) const noexcept {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i].glyph && (slots_[i].hash != hash || slots_[i].name != name)) i = (i + 1) & mask;
  return i;
}

void SymbolRegistry::grow() {
  std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slots_.size() * 2));
  for (Slot& slot : old)
    if (slot.glyph) slots_[find(slot.name, slot.hash)] = std::move(slot);
}

void SymbolRegistry::register_glyph(std::string_view name, std::unique_ptr<Glyph> glyph) {
  if ((size_ + 1) * 2 > slots_.size()) grow();
  const std::size_t hash = hash_name(name);
  Slot& slot = slots_[find(name, hash)];
  if (!slot.glyph) {
    slot.name = name;
    slot.hash = hash;
    ++size_;
  }
  slot.glyph = std::move(glyph);
}

const Glyph* SymbolRegistry::get(std::string_view name) const noexcept {
  return slots_[find(name, hash_name(name))].glyph.get();
}

}  // namespace vok
