// Blocks, placement and the general compositions: hstack, vstack, infix.
#include "layout.hpp"

#include <algorithm>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok {

namespace {

// A block whose cells the caller writes in full; the one place that checks the size limit. The
// result is built in place: copying a block just written field by field is slow.
Result<RenderNode> allocate(std::size_t width, std::size_t height, std::size_t baseline) {
  const std::size_t w = std::max<std::size_t>(width, 1);
  const std::size_t h = std::max<std::size_t>(height, 1);
  // Both at most 2^24, the product cannot wrap.
  if (w > kMaxCells || h > kMaxCells || w * h > kMaxCells) return fail(std::string(message::kTooLarge));
  char32_t* cells = nullptr;
  if (width != 0 && height != 0) {
    cells = current_arena().blocks().allocate(width * height);
    // The call already holds as many cells as a formula that can be drawn ever needs.
    if (cells == nullptr) return fail(std::string(message::kTooLarge));
  }
  return Result<RenderNode>(std::in_place, cells, width, height, baseline);
}

}  // namespace

Result<RenderNode> RenderNode::blank(std::size_t width, std::size_t height, std::size_t baseline) {
  auto node = allocate(width, height, baseline);
  if (node) std::fill_n(node->cells, width * height, U' ');
  return node;
}

Result<RenderNode> RenderNode::row(std::string_view utf8) {
  // Most texts are ASCII: one byte, one cell. One result object on every path, built in place.
  const bool ascii =
      std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::size_t count = utf8.size();
  if (!ascii) {
    count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++count) {
      const std::size_t length = decode_utf8(utf8, i).length;
      i += length == 0 ? 1 : length;
    }
  }
  auto node = allocate(count, 1, 0);
  if (node && ascii) {
    std::ranges::copy(utf8, node->cells);
  } else if (node) {
    std::size_t c = 0;
    for (std::size_t i = 0; i < utf8.size(); ++c) {
      const Decoded d = decode_utf8(utf8, i);
      node->cells[c] = d.length == 0 ? U'\uFFFD' : d.ch;
      i += d.length == 0 ? 1 : d.length;
    }
  }
  return node;
}

void RenderNode::blit(const RenderNode& source, std::size_t x, std::size_t y) noexcept {
  if (source.width == 0) return;
  for (std::size_t r = 0; r < source.height && y + r < height; ++r) {
    const char32_t* from = source.cells + r * source.width;
    std::copy(from, from + source.width, cells + (y + r) * width + x);
  }
}

Result<RenderNode> RenderNode::hstack(std::span<const RenderNode> items, std::size_t gap) {
  if (items.empty()) return empty();
  if (items.size() == 1) return items.front();

  std::size_t ascent = 0, descent = 0, width = 0;
  for (const RenderNode& item : items) {
    ascent = std::max(ascent, item.baseline);
    descent = std::max(descent, item.descent());
    width = add_sat(width, item.width);
  }
  width = add_sat(width, mul_sat(gap, items.size() - 1));

  auto result = blank(width, ascent + descent, ascent);
  if (!result) return result;
  std::size_t x = 0;
  for (const RenderNode& item : items) {
    result->blit(item, x, ascent - item.baseline);
    x += item.width + gap;
  }
  return result;
}

Result<RenderNode> RenderNode::vstack(const RenderNode& top, const RenderNode& bottom,
                                      char32_t rule, std::size_t pad) {
  const std::size_t w = std::max(top.width, bottom.width);
  const std::size_t h = std::max(top.height, bottom.height);
  auto result = blank(add_sat(w, add_sat(pad, pad)), add_sat(add_sat(h, h), 1), h);
  if (!result) return result;
  result->blit(top, pad + (w - top.width) / 2, h - top.height);
  result->blit(bottom, pad + (w - bottom.width) / 2, h + 1);
  std::fill_n(result->cells + h * result->width, result->width,
              rule);
  return result;
}

namespace {

// The chain of `count` operands, `operand(i)` giving the i-th: nesting `infix` from the left puts
// every operand's baseline on the largest baseline B and every operator on row B, one blank on
// each side. When no operand reaches down to row B (empty or accented empty operands) the block
// grows to include it, so every operator has a row to stand on.
template <class Operand>
Result<RenderNode> compose_chain(std::size_t count, Operand operand,
                                 std::span<const char32_t> ops) {
  std::size_t base = 0, width = 0;
  for (std::size_t i = 0; i < count; ++i) {
    base = std::max(base, operand(i).baseline);
    width = add_sat(width, operand(i).width);
  }
  std::size_t height = add_sat(base, 1);
  for (std::size_t i = 0; i < count; ++i)
    height = std::max(height, add_sat(base - operand(i).baseline, operand(i).height));
  width = add_sat(width, mul_sat(ops.size(), 3));

  auto result = RenderNode::blank(width, height, base);
  if (!result) return result;
  std::size_t x = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) {
      result->at(base, x + 1) = ops[i - 1];
      x += 3;
    }
    result->blit(operand(i), x, base - operand(i).baseline);
    x += operand(i).width;
  }
  return result;
}

}  // namespace

Result<RenderNode> RenderNode::infix(const RenderNode& lhs, char32_t op, const RenderNode& rhs) {
  return compose_chain(
      2, [&](std::size_t i) -> const RenderNode& { return i == 0 ? lhs : rhs; }, std::span(&op, 1));
}

Result<RenderNode> RenderNode::infix_chain(std::span<const RenderNode> operands,
                                           std::span<const char32_t> ops) {
  return compose_chain(
      operands.size(), [&](std::size_t i) -> const RenderNode& { return operands[i]; }, ops);
}

}  // namespace vok
