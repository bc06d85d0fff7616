// The layout engine: rectangular blocks of character cells and every composition of the picture.
//
// A RenderNode is a rectangle of cells, row-major, with one distinguished row, the baseline, on
// which compositions align their parts. Every composition is a pure function: it borrows its
// inputs, computes the final size first, allocates the result once filled with spaces, and copies
// each source row in as one contiguous run (`blit`). Placement clips at the bottom only. Centring
// drops the remainder: an odd spare column goes to the right, an odd spare row below.
//
// Every allocation goes through `blank`, which refuses blocks above kMaxCells cells (counting a
// zero width or height as one, since a zero-width block still prints one line per row) with the
// error "formula too large to render". That is the only way a composition fails.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "error.hpp"

namespace vok {

// The largest picture, in cells, that a formula may ask for.
inline constexpr std::size_t kMaxCells = std::size_t{1} << 24;

struct RenderNode {
  char32_t* cells = nullptr;  // width × height cells, row-major, in the call's arena; blanks
                              // hold U+0020
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
  // A whole left-associative chain o0 op0 o1 op1 o2 … in one allocation (ops.size() ==
  // operands.size() − 1, operands not empty): the same picture as nesting `infix` from the left.
  [[nodiscard]] static Result<RenderNode> infix_chain(std::span<const RenderNode> operands,
                                                      std::span<const char32_t> ops);

  // ---- scripts and limits (layout_scripts.cpp) ----

  // `base` with `sup` at its upper right: Unicode superscript characters on the base's top row
  // when `sup` is one row of characters that all have one, otherwise on rows of its own above.
  [[nodiscard]] static Result<RenderNode> superscript(const RenderNode& base,
                                                      const RenderNode& sup);
  // `base` with `sub` at its lower right: Unicode subscript characters on the base's baseline row
  // when possible, otherwise on rows of its own starting just below the baseline.
  [[nodiscard]] static Result<RenderNode> subscript(const RenderNode& base, const RenderNode& sub);
  // `base` with `sup` above and `sub` below, both left-aligned right after the base; never compact.
  [[nodiscard]] static Result<RenderNode> both_scripts(const RenderNode& base,
                                                       const RenderNode& sub,
                                                       const RenderNode& sup);
  // `base` followed by `count` apostrophes on its baseline row.
  [[nodiscard]] static Result<RenderNode> prime_suffix(const RenderNode& base, std::size_t count);
  // `upper` above, `base`, `lower` below, all left-aligned, one blank column on the right.
  [[nodiscard]] static Result<RenderNode> limits(const RenderNode& base, const RenderNode& lower,
                                                 const RenderNode& upper);

  // ---- delimiters, radicals and accents (layout_delimiters.cpp) ----

  // `inner` between delimiters as tall as it: the characters themselves around one row, bracket
  // pieces around two rows or more; `repeat_char` repeats unknown delimiters on middle rows.
  [[nodiscard]] static Result<RenderNode> stretchy_delim(const RenderNode& inner, char32_t open,
                                                         char32_t close, bool repeat_char);
  // `inner` with a sign of its height in front: `top`, `middle` rows, `bottom`.
  [[nodiscard]] static Result<RenderNode> stretchy_delim_left(const RenderNode& inner, char32_t top,
                                                              char32_t middle, char32_t bottom);
  // `inner` under a radical sign: foot, stroke, corner and overbar.
  [[nodiscard]] static Result<RenderNode> sqrt_inner(const RenderNode& inner);
  // `inner` with a row above it holding `mark` centred, or repeated across with `stretch`.
  [[nodiscard]] static Result<RenderNode> accent(const RenderNode& inner, char32_t mark,
                                                 bool stretch);

  // ---- matrices (layout_matrix.cpp) ----

  // The cells of a matrix environment in equal-width columns and evenly pitched rows, enclosed in
  // the environment's delimiters; fails only on an unknown environment name. Every row has as many
  // cells as the first (the caller checks).
  [[nodiscard]] static Result<RenderNode> matrix(
      std::string_view env, std::span<const std::span<const RenderNode>> rows);

  // Copies `source` so that its top-left cell lands at column x, row y; rows past the last row of
  // this block are dropped. Callers keep x + source.width within this block's width.
  void blit(const RenderNode& source, std::size_t x, std::size_t y) noexcept;

  [[nodiscard]] char32_t& at(std::size_t r, std::size_t c) noexcept { return cells[r * width + c]; }
  [[nodiscard]] char32_t at(std::size_t r, std::size_t c) const noexcept {
    return cells[r * width + c];
  }
  // All cells, row after row.
  [[nodiscard]] std::span<char32_t> cell_span() const noexcept { return {cells, width * height}; }
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
