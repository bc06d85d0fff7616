// The layout engine: rectangular blocks of character cells and every composition of the picture.
//
// A RenderNode is a rectangle of cells, row-major, with one distinguished row, the baseline, on which
// compositions align their parts. Every composition is a pure function: it borrows its inputs,
// computes the final size first, allocates the result once filled with spaces, and copies each source
// row in as one contiguous run (`blit`). Placement clips at the bottom only. Centring drops the
// remainder: an odd spare column goes to the right, an odd spare row below.
//
// Every allocation goes through `blank`, which refuses blocks above kMaxCells cells (counting a zero
// width or height as one, since a zero-width block still prints one line per row) with the error
// "formula too large to render". That is the only way a composition fails.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace vok {

// The largest picture, in cells, that a formula may ask for.
inline constexpr std::size_t kMaxCells = std::size_t{1} << 24;

struct RenderNode {
  std::vector<char32_t> cells;  // exactly width × height, row-major; blanks hold U+0020
  std::size_t width = 0;
  std::size_t height = 0;
  std::size_t baseline = 0;  // normally a row; the empty block, and a few blocks grown from it,
                             // have their baseline on or past their last row

  // An all-space block of the given size (the baseline is stored unchecked).
  [[nodiscard]] static Result<RenderNode> blank(std::size_t width, std::size_t height,
                                                std::size_t baseline);
  // The empty block: no cells, width, height and baseline 0. Stands for an absent piece.
  [[nodiscard]] static RenderNode empty() noexcept { return {}; }
  // One row holding the characters of a UTF-8 text, one cell each; baseline 0.
  [[nodiscard]] static Result<RenderNode> row(std::string_view utf8);

  // The items side by side, baselines on a common row, `gap` blank columns between neighbours.
  [[nodiscard]] static Result<RenderNode> hstack(std::span<const RenderNode> items,
                                                 std::size_t gap);
  // `top` over a full-width row of `rule` over `bottom`, both centred; the rule row is the
  // baseline and both halves get the taller half's height.
  [[nodiscard]] static Result<RenderNode> vstack(const RenderNode& top, const RenderNode& bottom,
                                                 char32_t rule, std::size_t pad);
  // `lhs`, a blank, `op`, a blank, `rhs`, on a common baseline.
  [[nodiscard]] static Result<RenderNode> infix(const RenderNode& lhs, char32_t op,
                                                const RenderNode& rhs);

  // Copies `source` so that its top-left cell lands at column x, row y; rows past the last row of
  // this block are dropped. Callers keep x + source.width within this block's width.
  void blit(const RenderNode& source, std::size_t x, std::size_t y) noexcept;

  [[nodiscard]] char32_t& at(std::size_t r, std::size_t c) noexcept { return cells[r * width + c]; }
  [[nodiscard]] char32_t at(std::size_t r, std::size_t c) const noexcept {
    return cells[r * width + c];
  }
  // Rows below the baseline (0 when the baseline is on or past the last row).
  [[nodiscard]] std::size_t descent() const noexcept {
    return baseline < height ? height - baseline : 0;
  }
};

// Sizes saturate instead of wrapping, so that an absurd size reaches `blank` and is refused.
inline constexpr std::size_t kSaturated = static_cast<std::size_t>(-1);
[[nodiscard]] constexpr std::size_t add_sat(std::size_t a, std::size_t b) noexcept {
  return a + b < a ? kSaturated : a + b;
}
[[nodiscard]] constexpr std::size_t mul_sat(std::size_t a, std::size_t b) noexcept {
  return b != 0 && a > kSaturated / b ? kSaturated : a * b;
}

}  // namespace vok
