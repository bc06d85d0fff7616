// Signs that take their size from the block they enclose: stretchy bracket pairs, the tall sign in
// front of an integrand, the radical sign with its overbar, and the accent row.
//
// A delimiter around a single row is the character itself, directly against the content. Around
// two rows or more it is assembled row by row from bracket pieces (top, middle rows, bottom), one
// blank column away from the content, so any height can be drawn and there is no largest size.
// Braces put their centre piece on the content's baseline row. None of these operations fails
// except through the size limit of `blank`.
#include <algorithm>

#include "layout.hpp"

namespace vok {
namespace {

// The pieces of one side of a tall delimiter.
struct Pieces {
  char32_t top, middle, bottom;
};

struct PiecePair {
  Pieces open, close;
};

// A pair has bracket pieces only when both characters belong to the same known pair; anything
// else draws its own characters at the ends and a plain stroke (or, for `repeat_char`, the
// characters again) in between.
PiecePair pieces_for(char32_t open, char32_t close, bool repeat_char) noexcept {
  if (open == U'(' && close == U')') return {{U'⎛', U'⎜', U'⎝'}, {U'⎞', U'⎟', U'⎠'}};
  if (open == U'[' && close == U']') return {{U'⎡', U'⎢', U'⎣'}, {U'⎤', U'⎥', U'⎦'}};
  if (open == U'{' && close == U'}') return {{U'⎧', U'⎪', U'⎩'}, {U'⎫', U'⎪', U'⎭'}};
  // Bars use the brace extension on every row, so a tall bar is one unbroken line.
  if (open == U'|' && close == U'|') return {{U'⎪', U'⎪', U'⎪'}, {U'⎪', U'⎪', U'⎪'}};
  const char32_t left = repeat_char ? open : U'│';
  const char32_t right = repeat_char ? close : U'│';
  return {{open, left, open}, {close, right, close}};
}

// Draws one side's pieces down column `column` of a block with at least two rows.
void draw_column(RenderNode& block, std::size_t column, const Pieces& pieces) noexcept {
  const std::size_t last = block.height - 1;
  block.at(0, column) = pieces.top;
  for (std::size_t r = 1; r < last; ++r) block.at(r, column) = pieces.middle;
  block.at(last, column) = pieces.bottom;
}

}  // namespace

Result<RenderNode> RenderNode::stretchy_delim(const RenderNode& inner, char32_t open,
                                              char32_t close, bool repeat_char) {
  if (inner.height <= 1) {
    // Flat: the characters themselves on the single row, whatever the content's baseline was.
    auto result = blank(add_sat(inner.width, 2), 1, 0);
    if (!result) return result;
    result->at(0, 0) = open;
    result->blit(inner, 1, 0);
    result->at(0, inner.width + 1) = close;
    return result;
  }

  auto result = blank(add_sat(inner.width, 4), inner.height, inner.baseline);
  if (!result) return result;
  result->blit(inner, 2, 0);
  const std::size_t right = inner.width + 3;
  const PiecePair pieces = pieces_for(open, close, repeat_char);
  draw_column(*result, 0, pieces.open);
  draw_column(*result, right, pieces.close);
  // A brace's centre piece marks the baseline, but only on a middle row: the end pieces stay.
  if (inner.baseline > 0 && inner.baseline < inner.height - 1) {
    if (open == U'{') result->at(inner.baseline, 0) = U'⎨';
    if (close == U'}') result->at(inner.baseline, right) = U'⎬';
  }
  return result;
}

Result<RenderNode> RenderNode::stretchy_delim_left(const RenderNode& inner, char32_t top,
                                                   char32_t middle, char32_t bottom) {
  auto result = blank(add_sat(inner.width, 2), inner.height, inner.baseline);
  if (!result) return result;
  if (inner.height == 0) return result;  // no row to draw the sign on
  result->blit(inner, 2, 0);
  // The bottom piece is written last, so a one-row sign is its bottom alone.
  const std::size_t last = inner.height - 1;
  result->at(0, 0) = top;
  for (std::size_t r = 1; r < last; ++r) result->at(r, 0) = middle;
  result->at(last, 0) = bottom;
  return result;
}

Result<RenderNode> RenderNode::sqrt_inner(const RenderNode& inner) {
  auto result =
      blank(add_sat(inner.width, 3), add_sat(inner.height, 1), add_sat(inner.baseline, 1));
  if (!result) return result;
  // The overbar starts one column before the content, at the corner over the stroke.
  result->at(0, 1) = U'┌';
  std::fill_n(result->cells + 2, inner.width + 1, U'─');
  result->blit(inner, 3, 1);
  for (std::size_t r = 1; r <= inner.height; ++r) result->at(r, 1) = U'│';
  // The foot goes on the last row, which is the corner's own row when there is no content.
  result->at(inner.height, 0) = U'╲';
  return result;
}

Result<RenderNode> RenderNode::accent(const RenderNode& inner, char32_t mark, bool stretch) {
  // An empty content still gets a cell for its mark.
  const std::size_t width = std::max<std::size_t>(inner.width, 1);
  auto result = blank(width, add_sat(inner.height, 1), add_sat(inner.baseline, 1));
  if (!result) return result;
  if (stretch) {
    std::fill_n(result->cells, width, mark);
  } else {
    result->at(0, width / 2) = mark;  // on an even width, the right one of the middle columns
  }
  result->blit(inner, 0, 1);
  return result;
}

}  // namespace vok
