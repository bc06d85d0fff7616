// The shared render_macro, the drawings of the eleven glyph kinds, the math alphabets and the
// registry's map.
#include "glyph.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

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

// Renders every expression of `exprs` in order into `out`; the first error ends it.
Result<std::vector<RenderNode>> render_all(const ExprList& exprs, RenderCtx& ctx,
                                           RenderArg render_arg) {
  std::vector<RenderNode> out;
  out.reserve(exprs.size());
  for (const Expr& expr : exprs) {
    auto block = render_arg(expr, ctx);
    if (!block) return std::unexpected(std::move(block.error()));
    out.push_back(std::move(*block));
  }
  return out;
}

// The three fixed rows of the small big-operator signs.
constexpr char32_t kHeavy = U'━';

}  // namespace

Result<RenderNode> Glyph::render_macro(const ExprList& args, const ExprList& optional,
                                       RenderCtx& ctx, RenderArg render_arg) const {
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
  RenderNode styled = arg(args, 0);
  for (char32_t& cell : styled.cells) cell = map_(cell);
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

void SymbolRegistry::register_glyph(std::string_view name, std::unique_ptr<Glyph> glyph) {
  auto found = glyphs_.find(name);
  if (found != glyphs_.end()) {
    found->second = std::move(glyph);
  } else {
    glyphs_.emplace(std::string(name), std::move(glyph));
  }
}

const Glyph* SymbolRegistry::get(std::string_view name) const noexcept {
  auto found = glyphs_.find(name);
  return found == glyphs_.end() ? nullptr : found->second.get();
}

}  // namespace vok
