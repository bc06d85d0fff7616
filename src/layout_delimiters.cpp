// Delimiters that take their size from what they enclose: a pair around one content (the exact
// markup's parentheses, brackets and bars, matrices, binomials), LaTeX's \left … \middle … \right
// with each side drawn on its own, and delimiters of a fixed size.
//
// A delimiter around a single row is the character itself, directly against the content. Around
// two rows or more it is assembled row by row from its pieces (top, middle rows, bottom; see
// glyphs.hpp), one blank column away from the content, so any height can be drawn and there is no
// largest size. Braces put their centre piece on the content's baseline row. None of these
// operations fails except through the size limit.
#include <algorithm>

#include "arena.hpp"
#include "layout.hpp"

namespace vok {
namespace {

// ---- a pair around one content ----

struct Fence {  // delimiters as tall as the content
  NodeRef inner;
  char32_t open, close;
};

// One side of a fence down column x: a pair that has pieces draws them; anything else draws its
// own character on every row. A brace's centre piece marks the baseline, but only on a middle row.
void fence_side(Canvas& canvas, std::size_t x, std::size_t y, const RenderNode& self, char32_t ch,
                bool pair) {
  const Delimiter drawn = delimiter(ch);
  canvas.column(x, y, self.height, pair ? drawn.pieces : Pieces{ch, ch, ch});
  if (drawn.centre != 0 && self.baseline > 0 && self.baseline < self.height - 1)
    canvas.put(x, y + self.baseline, drawn.centre);
}

void paint(const Fence& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const RenderNode& inner = *shape.inner;
  if (inner.height <= 1) {
    // Flat: the characters themselves on the single row, whatever the content's baseline was.
    if (shape.open != 0) canvas.put(x++, y, shape.open);
    canvas.paint(inner, x, y);
    if (shape.close != 0) canvas.put(x + inner.width, y, shape.close);
    return;
  }
  const bool pair = shape.open != 0 && closing_partner(shape.open) == shape.close;
  const std::size_t left = x;
  if (shape.open != 0) x += 2;
  canvas.paint(inner, x, y);
  if (shape.open != 0) fence_side(canvas, left, y, self, shape.open, pair);
  if (shape.close != 0) fence_side(canvas, x + inner.width + 1, y, self, shape.close, pair);
}

// ---- LaTeX's fences: each side's own pieces ----

struct Fenced {                // parts between delimiters as tall as they are, each side's own
  const NodeRef* parts;        // count of them
  const char32_t* delimiters;  // count + 1 of them: before, between and after the parts; 0 none
  std::size_t count;
};

// The columns a delimiter takes over `height` rows: a diagonal is as wide as it is tall.
std::size_t delimiter_width(char32_t ch, std::size_t height) {
  const Stroke stroke = delimiter(ch).stroke;
  return (stroke == Stroke::Rising || stroke == Stroke::Falling) && height > 1 ? height : 1;
}

// One delimiter down column x over `height` rows from row y, the middle row `centre` (a brace's
// point over an odd number of rows, or on the middle row nearest to it when `centre` is the first
// or last row; an angle's corner).
void draw_delimiter(Canvas& canvas, std::size_t x, std::size_t y, std::size_t height,
                    std::size_t centre, char32_t ch) {
  if (height == 1) {
    canvas.put(x, y, ch);
    return;
  }
  const Delimiter drawn = delimiter(ch);
  switch (drawn.stroke) {
    case Stroke::Rising:
    case Stroke::Falling:  // a column a row
      for (std::size_t r = 0; r < height; ++r)
        canvas.put(x + (drawn.stroke == Stroke::Rising ? height - 1 - r : r), y + r,
                   drawn.pieces.middle);
      return;
    case Stroke::Angle:  // its two strokes, meeting on the middle row
      for (std::size_t r = 0; r < height; ++r) {
        const bool upper = 2 * r + 1 < height, lower = 2 * r + 1 > height;
        canvas.put(x, y + r,
                   upper   ? drawn.pieces.top
                   : lower ? drawn.pieces.bottom
                           : drawn.pieces.middle);
      }
      return;
    case Stroke::Pieces:
      if (height == 2 && drawn.two_top != 0) {
        canvas.put(x, y, drawn.two_top);
        canvas.put(x, y + 1, drawn.two_bottom);
        return;
      }
      canvas.column(x, y, height, drawn.pieces);
      // A brace's point between the two middle rows of an even number, else on the baseline, or
      // on the middle row nearest to it.
      if (height % 2 == 0 && drawn.tip_top != 0) {
        canvas.put(x, y + height / 2 - 1, drawn.tip_top);
        canvas.put(x, y + height / 2, drawn.tip_bottom);
      } else if (drawn.centre != 0) {
        canvas.put(x, y + std::clamp<std::size_t>(centre, 1, height - 2), drawn.centre);
      }
      return;
  }
}

void paint(const Fenced& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const bool tall = self.height > 1;
  for (std::size_t i = 0; i <= shape.count; ++i) {
    if (const char32_t ch = shape.delimiters[i]; ch != 0) {
      if (tall && i > 0) ++x;
      draw_delimiter(canvas, x, y, self.height, self.baseline, ch);
      x += delimiter_width(ch, self.height);
      if (tall && i < shape.count) ++x;
    }
    if (i == shape.count) break;
    const RenderNode& part = *shape.parts[i];
    canvas.paint(part, x, tall ? y + self.baseline - part.baseline : y);
    x += part.width;
  }
}

// ---- a delimiter of a fixed size ----

struct SizedDelimiter {  // a delimiter of a fixed number of rows (the node's height), centred
  char32_t ch;
};

void paint(const SizedDelimiter& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  draw_delimiter(canvas, x, y, self.height, self.baseline, shape.ch);
}

}  // namespace

Result<NodeRef> RenderNode::fence(NodeRef inner, char32_t open, char32_t close) {
  // A delimiter 0 is none: it draws nothing and takes no room.
  const std::size_t sides = (open != 0) + (close != 0);
  auto node = inner->height <= 1
                  ? make_node(add_sat(inner->width, sides), 1, 0, Fence{inner, open, close})
                  : make_node(add_sat(inner->width, 2 * sides), inner->height, inner->baseline,
                              Fence{inner, open, close});
  if (node && open != 0 && close != 0) (*node)->binding = Binding::Atom;
  return node;
}

Result<NodeRef> RenderNode::fenced(std::span<const NodeRef> parts,
                                   std::span<const char32_t> delimiters) {
  std::size_t ascent = 0, descent = 0, width = 0, drawn = 0;
  for (NodeRef part : parts) {
    ascent = std::max<std::size_t>(ascent, part->baseline);
    descent = std::max(descent, part->descent());
    width = add_sat(width, part->width);
  }
  const std::size_t height = add_sat(ascent, descent);
  const bool tall = height > 1;
  for (char32_t ch : delimiters)
    if (ch != 0) drawn = add_sat(drawn, delimiter_width(ch, tall ? height : 1));
  // A tall delimiter stands one blank column away from what it encloses, on each side that has
  // something.
  std::size_t blanks = 0;
  if (tall) {
    for (std::size_t i = 0; i < delimiters.size(); ++i) {
      if (delimiters[i] == 0) continue;
      blanks += (i > 0) + (i + 1 < delimiters.size());
    }
  }
  auto node = make_node(add_sat(add_sat(width, drawn), blanks), tall ? height : 1,
                        tall ? ascent : 0, Fenced{parts.data(), delimiters.data(), parts.size()});
  if (node && delimiters.front() != 0 && delimiters.back() != 0) (*node)->binding = Binding::Atom;
  return node;
}

Result<NodeRef> RenderNode::sized_delimiter(char32_t ch, std::size_t rows) {
  return make_node(delimiter_width(ch, rows), rows, rows / 2, SizedDelimiter{ch});
}

}  // namespace vok
