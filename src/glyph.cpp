// The shared render_macro, the drawings of the eleven glyph kinds, the math alphabets and the
// registry's map.
#include "glyph.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <utility>
#include <vector>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

// Argument i, or the empty block when the parser supplied fewer (only big operators may lack
// their body; the others always get theirs, but drawing stays total regardless).
const RenderNode& arg(std::span<const RenderNode> args, std::size_t i) {
  static const RenderNode kEmpty;
  return i < args.size() ? args[i] : kEmpty;
}

std::string quoted_char(char32_t ch) {
  std::string text = "'";
  append_utf8(text, ch);
  return text + "'";
}

// Renders every expression of `exprs` in order; the first error ends it.
Result<std::span<const RenderNode>> render_all(ExprList exprs, RenderCtx& ctx,
                                               RenderArg render_arg) {
  if (exprs.empty()) return std::span<const RenderNode>();
  RenderNode* out = current_arena().allocate_array<RenderNode>(exprs.size());
  for (std::size_t i = 0; i < exprs.size(); ++i) {
    auto block = render_arg(*exprs[i], ctx);
    if (!block) return std::unexpected(std::move(block.error()));
    new (out + i) RenderNode(*block);
  }
  return std::span<const RenderNode>(out, exprs.size());
}

// The three fixed rows of the small big-operator signs.
constexpr char32_t kHeavy = U'━';

}  // namespace

Result<RenderNode> Glyph::render_macro(ExprList args, ExprList optional, RenderCtx& ctx,
                                       RenderArg render_arg) const {
  auto rendered_args = render_all(args, ctx, render_arg);
  if (!rendered_args) return std::unexpected(std::move(rendered_args.error()));
  auto rendered_optional = render_all(optional, ctx, render_arg);
  if (!rendered_optional) return std::unexpected(std::move(rendered_optional.error()));
  return render(*rendered_args, *rendered_optional, ctx);
}

Result<RenderNode> BinomGlyph::render(std::span<const RenderNode> args, std::span<const RenderNode>,
                                      const RenderCtx&) const {
  auto stack = RenderNode::vstack(arg(args, 0), arg(args, 1), U' ', 0);
  if (!stack) return stack;
  return RenderNode::stretchy_delim(*stack, U'(', U')', false);
}

Result<RenderNode> FracGlyph::render(std::span<const RenderNode> args, std::span<const RenderNode>,
                                     const RenderCtx&) const {
  return RenderNode::vstack(arg(args, 0), arg(args, 1), U'─', 0);
}

Result<RenderNode> SqrtGlyph::render(std::span<const RenderNode> args,
                                     std::span<const RenderNode> optional, const RenderCtx&) const {
  auto radical = RenderNode::sqrt_inner(arg(args, 0));
  if (!radical || optional.empty()) return radical;
  // The index stands top-aligned at the left of the radical, over its foot.
  const RenderNode& index = optional.front();
  auto result = RenderNode::blank(add_sat(index.width, radical->width),
                                  std::max(index.height, radical->height), radical->baseline);
  if (!result) return result;
  result->blit(index, 0, 0);
  result->blit(*radical, index.width, 0);
  return result;
}

Result<RenderNode> SummationGlyph::render(std::span<const RenderNode> args,
                                          std::span<const RenderNode>, const RenderCtx&) const {
  if (args.empty()) {
    auto sign = RenderNode::blank(4, 3, 1);
    if (!sign) return sign;
    sign->at(0, 0) = sign->at(0, 1) = sign->at(2, 0) = sign->at(2, 1) = kHeavy;
    sign->at(0, 2) = U'┓';
    sign->at(1, 0) = U'❯';
    sign->at(2, 2) = U'┛';
    return sign;
  }
  const RenderNode& body = args.front();
  const std::size_t h = body.height;
  if (h < 3) {
    // The small sign; the body hangs from its middle row when it is one row, else from its top.
    auto sign = RenderNode::blank(add_sat(body.width, 4), 3, 1);
    if (!sign) return sign;
    sign->at(0, 0) = sign->at(0, 1) = sign->at(2, 0) = sign->at(2, 1) = kHeavy;
    sign->at(0, 2) = U'┓';
    sign->at(1, 0) = U'⟩';
    sign->at(2, 2) = U'┛';
    sign->blit(body, 4, h == 1 ? 1 : 0);
    return sign;
  }
  // A sign as tall as the body, half again as wide: bars top and bottom, and strokes that meet
  // in the middle row (in a point when the height is odd).
  const std::size_t s = mul_sat(h, 3) / 2;
  auto sign = RenderNode::blank(add_sat(add_sat(s, 1), body.width), h, body.baseline);
  if (!sign) return sign;
  for (std::size_t c = 0; c + 1 < s; ++c) sign->at(0, c) = sign->at(h - 1, c) = kHeavy;
  sign->at(0, s - 1) = U'┓';
  sign->at(h - 1, s - 1) = U'┛';
  const std::size_t middle = h / 2;
  for (std::size_t r = 1; r + 1 < h; ++r) {
    const char32_t stroke = r < middle ? U'╲' : r == middle && h % 2 == 1 ? U'⟩' : U'╱';
    sign->at(r, std::min(r, h - 1 - r) - 1) = stroke;
  }
  sign->blit(body, s + 1, 0);
  return sign;
}

Result<RenderNode> IntegralGlyph::render(std::span<const RenderNode> args,
                                         std::span<const RenderNode>, const RenderCtx&) const {
  if (!args.empty() && args.front().height >= 4)
    return RenderNode::stretchy_delim_left(args.front(), U'⎛', U'⎜', U'⎠');
  const RenderNode& body = arg(args, 0);
  auto sign = RenderNode::blank(add_sat(body.width, 2), 3, 1);
  if (!sign) return sign;
  sign->at(0, 0) = U'⎛';
  sign->at(1, 0) = U'⎜';
  sign->at(2, 0) = U'⎠';
  sign->blit(body, 2, body.height == 1 ? 1 : 0);
  return sign;
}

Result<RenderNode> LimitGlyph::render(std::span<const RenderNode>, std::span<const RenderNode>,
                                      const RenderCtx&) const {
  return RenderNode::row("lim");
}

Result<RenderNode> AbsGlyph::render(std::span<const RenderNode> args, std::span<const RenderNode>,
                                    const RenderCtx&) const {
  return RenderNode::stretchy_delim(arg(args, 0), U'|', U'|', false);
}

std::string AccentGlyph::describe() const {
  return "AccentGlyph { mark: " + quoted_char(mark_) +
         ", stretch: " + (stretch_ ? "true" : "false") + " }";
}

Result<RenderNode> AccentGlyph::render(std::span<const RenderNode> args,
                                       std::span<const RenderNode>, const RenderCtx&) const {
  return RenderNode::accent(arg(args, 0), mark_, stretch_);
}

std::string AlphabetGlyph::describe() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", reinterpret_cast<void*>(map_));
  return std::string("AlphabetGlyph(") + address + ")";
}

Result<RenderNode> AlphabetGlyph::render(std::span<const RenderNode> args,
                                         std::span<const RenderNode>, const RenderCtx&) const {
  const RenderNode& body = arg(args, 0);
  auto styled = RenderNode::blank(body.width, body.height, body.baseline);
  if (!styled) return styled;
  std::ranges::transform(body.cell_span(), styled->cells, map_);
  return styled;
}

std::string UnicodeGlyph::describe() const { return "UnicodeGlyph(" + quoted_char(ch_) + ")"; }

Result<RenderNode> UnicodeGlyph::render(std::span<const RenderNode>, std::span<const RenderNode>,
                                        const RenderCtx&) const {
  auto block = RenderNode::blank(1, 1, 0);
  if (block) block->cells[0] = ch_;
  return block;
}

std::string TextGlyph::describe() const { return "TextGlyph(\"" + std::string(text_) + "\")"; }

Result<RenderNode> TextGlyph::render(std::span<const RenderNode>, std::span<const RenderNode>,
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
