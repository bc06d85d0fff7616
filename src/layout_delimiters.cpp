// Signs that take their size from what they enclose: stretchy bracket pairs, the summation and
// integral signs in front of their bodies, the radical sign with its overbar, and the accent row.
//
// A delimiter around a single row is the character itself, directly against the content. Around
// two rows or more it is assembled row by row from bracket pieces (top, middle rows, bottom), one
// blank column away from the content, so any height can be drawn and there is no largest size.
// Braces put their centre piece on the content's baseline row. None of these operations fails
// except through the size limit.
#include <algorithm>

#include "arena.hpp"
#include "layout.hpp"

namespace vok {

using namespace shapes;  // the shapes this file measures and paints
namespace {

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

// One side's pieces down column x, over `height` rows from row y: the top, middle rows, and the
// bottom, written last, so a one-row sign is its bottom alone.
void draw_column(Canvas& canvas, std::size_t x, std::size_t y, std::size_t height,
                 const Pieces& pieces) {
  if (height == 0) return;
  canvas.put(x, y, pieces.top);
  if (height > 2) canvas.down(x, y + 1, height - 2, pieces.middle);
  canvas.put(x, y + height - 1, pieces.bottom);
}

void paint_fence(NodeRef inner, char32_t open, char32_t close, bool repeat_char,
                 const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y) {
  if (inner->height <= 1) {
    // Flat: the characters themselves on the single row, whatever the content's baseline was.
    if (open != 0) canvas.put(x++, y, open);
    canvas.paint(*inner, x, y);
    if (close != 0) canvas.put(x + inner->width, y, close);
    return;
  }
  const std::size_t left = x;
  if (open != 0) x += 2;
  canvas.paint(*inner, x, y);
  const std::size_t right = x + inner->width + 1;
  const PiecePair pieces = pieces_for(open, close, repeat_char);
  if (open != 0) draw_column(canvas, left, y, self.height, pieces.open);
  if (close != 0) draw_column(canvas, right, y, self.height, pieces.close);
  // A brace's centre piece marks the baseline, but only on a middle row: the end pieces stay.
  if (self.baseline > 0 && self.baseline < self.height - 1) {
    if (open == U'{') canvas.put(left, y + self.baseline, U'⎨');
    if (close == U'}') canvas.put(right, y + self.baseline, U'⎬');
  }
}

// The pieces of the tall integral sign.
constexpr Pieces kIntegralPieces{U'⎛', U'⎜', U'⎠'};

// The small summation sign: bars above and below, and its point in the middle row.
// clang-format off
constexpr char32_t kSmallSum[] = {
    U'━', U'━', U'┓',
    U'⟩', U' ', U' ',
    U'━', U'━', U'┛',
};
// The summation sign with no body, one blank column wider.
constexpr char32_t kSumAlone[] = {
    U'━', U'━', U'┓', U' ',
    U'❯', U' ', U' ', U' ',
    U'━', U'━', U'┛', U' ',
};
// clang-format on

}  // namespace

// ---- stretchy pairs ----

Result<NodeRef> RenderNode::stretchy_delim(NodeRef inner, char32_t open, char32_t close,
                                           bool repeat_char) {
  const Shape shape =
      repeat_char ? Shape(RepeatFence{inner, open, close}) : Shape(Fence{inner, open, close});
  // A delimiter 0 is none: it draws nothing and takes no room.
  const std::size_t sides = (open != 0) + (close != 0);
  if (inner->height <= 1) return make_node(add_sat(inner->width, sides), 1, 0, shape);
  return make_node(add_sat(inner->width, 2 * sides), inner->height, inner->baseline, shape);
}

void paint(const Fence& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  paint_fence(shape.inner, shape.open, shape.close, false, self, canvas, x, y);
}

void paint(const RepeatFence& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  paint_fence(shape.inner, shape.open, shape.close, true, self, canvas, x, y);
}

// ---- LaTeX's fences: each side's own pieces ----

namespace {

// The pieces of a delimiter drawn on its own, whatever stands on the other side.
Pieces pieces_of(char32_t delimiter) noexcept {
  switch (delimiter) {
    case U'(':
      return {U'⎛', U'⎜', U'⎝'};
    case U')':
      return {U'⎞', U'⎟', U'⎠'};
    case U'[':
      return {U'⎡', U'⎢', U'⎣'};
    case U']':
      return {U'⎤', U'⎥', U'⎦'};
    case U'{':
      return {U'⎧', U'⎪', U'⎩'};
    case U'}':
      return {U'⎫', U'⎪', U'⎭'};
    case U'⌊':
      return {U'⎢', U'⎢', U'⎣'};
    case U'⌋':
      return {U'⎥', U'⎥', U'⎦'};
    case U'⌈':
      return {U'⎡', U'⎢', U'⎢'};
    case U'⌉':
      return {U'⎤', U'⎥', U'⎥'};
    case U'|':
    case U'∣':
      return {U'⎪', U'⎪', U'⎪'};
    case U'/':
      return {U'╱', U'╱', U'╱'};
    case U'\\':
      return {U'╲', U'╲', U'╲'};
    default:
      return {delimiter, delimiter, delimiter};
  }
}

// One delimiter down column x over `height` rows from row y, the middle row `centre` (a brace's
// point, an angle's corner); angles are drawn as their two strokes meeting there.
std::size_t delimiter_width(char32_t delimiter, std::size_t height) {
  return (delimiter == U'/' || delimiter == U'\\') && height > 1 ? height : 1;
}

void draw_delimiter(Canvas& canvas, std::size_t x, std::size_t y, std::size_t height,
                    std::size_t centre, char32_t delimiter) {
  if (height == 1) {
    canvas.put(x, y, delimiter);
    return;
  }
  if (delimiter == U'/' || delimiter == U'\\') {  // a diagonal, a column a row
    for (std::size_t r = 0; r < height; ++r)
      canvas.put(x + (delimiter == U'/' ? height - 1 - r : r), y + r,
                 delimiter == U'/' ? U'╱' : U'╲');
    return;
  }
  if (delimiter == U'⟨' || delimiter == U'⟩') {
    const bool left = delimiter == U'⟨';
    for (std::size_t r = 0; r < height; ++r) {
      const bool upper = 2 * r + 1 < height, lower = 2 * r + 1 > height;
      canvas.put(x, y + r, upper ? (left ? U'╱' : U'╲') : lower ? (left ? U'╲' : U'╱') : delimiter);
    }
    return;
  }
  const Pieces pieces = pieces_of(delimiter);
  draw_column(canvas, x, y, height, pieces);
  if ((delimiter == U'{' || delimiter == U'}') && centre > 0 && centre + 1 < height)
    canvas.put(x, y + centre, delimiter == U'{' ? U'⎨' : U'⎬');
}

}  // namespace

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
  for (char32_t delimiter : delimiters)
    if (delimiter != 0) drawn = add_sat(drawn, delimiter_width(delimiter, tall ? height : 1));
  // A tall delimiter stands one blank column away from what it encloses, on each side that has
  // something.
  std::size_t blanks = 0;
  if (tall) {
    for (std::size_t i = 0; i < delimiters.size(); ++i) {
      if (delimiters[i] == 0) continue;
      blanks += (i > 0) + (i + 1 < delimiters.size());
    }
  }
  const Fenced* shape = current_arena().make<Fenced>(parts.data(), delimiters.data(), parts.size());
  return make_node(add_sat(add_sat(width, drawn), blanks), tall ? height : 1, tall ? ascent : 0,
                   shape);
}

void paint(const Fenced& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const bool tall = self.height > 1;
  for (std::size_t i = 0; i <= shape.count; ++i) {
    if (const char32_t delimiter = shape.delimiters[i]; delimiter != 0) {
      if (tall && i > 0) ++x;
      draw_delimiter(canvas, x, y, self.height, self.baseline, delimiter);
      x += delimiter_width(delimiter, self.height);
      if (tall && i < shape.count) ++x;
    }
    if (i == shape.count) break;
    const RenderNode& part = *shape.parts[i];
    canvas.paint(part, x, tall ? y + self.baseline - part.baseline : y);
    x += part.width;
  }
}

Result<NodeRef> RenderNode::sized_delimiter(char32_t delimiter, std::size_t rows) {
  return make_node(delimiter_width(delimiter, rows), rows, rows / 2, SizedDelimiter{delimiter});
}

void paint(const SizedDelimiter& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  draw_delimiter(canvas, x, y, self.height, self.baseline, shape.delimiter);
}

// ---- the tall sign in front ----

Result<NodeRef> RenderNode::stretchy_delim_left(NodeRef inner, const Pieces& pieces) {
  return make_node(add_sat(inner->width, 2), inner->height, inner->baseline,
                   LeftSign{inner, &pieces});
}

void paint(const LeftSign& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.inner, x + 2, y);
  draw_column(canvas, x, y, self.height, *shape.pieces);
}

// ---- radicals ----

Result<NodeRef> RenderNode::sqrt_inner(NodeRef inner) {
  return make_node(add_sat(inner->width, 3), add_sat(inner->height, 1), add_sat(inner->baseline, 1),
                   Radical{inner});
}

void paint(const Radical& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  const RenderNode& inner = *shape.inner;
  // The overbar starts one column before the content, at the corner over the stroke.
  canvas.put(x + 1, y, U'┌');
  canvas.across(x + 2, y, std::size_t{inner.width} + 1, U'─');
  canvas.paint(inner, x + 3, y + 1);
  canvas.down(x + 1, y + 1, inner.height, U'│');
  // The foot goes on the last row, which is the corner's own row when there is no content.
  canvas.put(x, y + inner.height, U'╲');
}

Result<NodeRef> RenderNode::root_index(NodeRef index, NodeRef radical) {
  return make_node(add_sat(index->width, radical->width), std::max(index->height, radical->height),
                   radical->baseline, RootIndex{index, radical});
}

void paint(const RootIndex& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.index, x, y);
  canvas.paint(*shape.radical, x + shape.index->width, y);
}

// ---- accents ----

Result<NodeRef> RenderNode::accent(NodeRef inner, char32_t mark, bool stretch) {
  // An empty content still gets a cell for its mark.
  const std::size_t width = std::max<std::uint32_t>(inner->width, 1);
  const Shape shape = stretch ? Shape(WideAccent{inner, mark}) : Shape(Accent{inner, mark});
  return make_node(width, add_sat(inner->height, 1), add_sat(inner->baseline, 1), shape);
}

void paint(const Accent& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.put(x + self.width / 2, y, shape.mark);  // on an even width, the right middle column
  canvas.paint(*shape.inner, x, y + 1);
}

namespace {

// The marks drawn across a whole row from pieces rather than repeated: arrows with one head, and
// braces, brackets and parentheses over or under their content.
struct Across {
  char32_t mark, left, fill, middle, right;  // middle 0: none
};
// clang-format off
constexpr Across kAcross[] = {
    {U'←', U'←', U'─', 0, U'─'}, {U'→', U'─', U'─', 0, U'→'}, {U'↔', U'←', U'─', 0, U'→'},
    {U'↦', U'├', U'─', 0, U'→'}, {U'⇐', U'⇐', U'═', 0, U'═'}, {U'⇒', U'═', U'═', 0, U'⇒'},
    {U'⇔', U'⇐', U'═', 0, U'⇒'}, {U'⎴', U'┌', U'─', 0, U'┐'}, {U'⎵', U'└', U'─', 0, U'┘'},
    {U'⏜', U'╭', U'─', 0, U'╮'}, {U'⏝', U'╰', U'─', 0, U'╯'}, {U'⏞', U'╭', U'─', U'┴', U'╮'},
    {U'⏟', U'╰', U'─', U'┬', U'╯'},
};
// clang-format on
static_assert(std::ranges::is_sorted(kAcross, {}, &Across::mark));

// `mark` across `width` cells of row y: from its pieces when it has them (the mark alone in one
// cell), else repeated.
void draw_across(Canvas& canvas, std::size_t x, std::size_t y, std::size_t width, char32_t mark) {
  const auto* it = std::ranges::lower_bound(kAcross, mark, {}, &Across::mark);
  if (it == std::end(kAcross) || it->mark != mark || width < 2) {
    canvas.across(x, y, width, mark);
    return;
  }
  canvas.put(x, y, it->left);
  canvas.across(x + 1, y, width - 2, it->fill);
  if (it->middle != 0 && width > 2) canvas.put(x + width / 2, y, it->middle);
  canvas.put(x + width - 1, y, it->right);
}

}  // namespace

void paint(const WideAccent& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  draw_across(canvas, x, y, self.width, shape.mark);
  canvas.paint(*shape.inner, x, y + 1);
}

Result<NodeRef> RenderNode::accent_below(NodeRef inner, char32_t mark, bool stretch) {
  const std::size_t width = std::max<std::uint32_t>(inner->width, 1);
  const Shape shape =
      stretch ? Shape(WideAccentBelow{inner, mark}) : Shape(AccentBelow{inner, mark});
  return make_node(width, add_sat(inner->height, 1), inner->baseline, shape);
}

void paint(const AccentBelow& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.inner, x, y);
  canvas.put(x + self.width / 2, y + shape.inner->height, shape.mark);
}

void paint(const WideAccentBelow& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.inner, x, y);
  draw_across(canvas, x, y + shape.inner->height, self.width, shape.mark);
}

// ---- a frame ----

Result<NodeRef> RenderNode::framed(NodeRef inner) {
  return make_node(add_sat(inner->width, 4), add_sat(inner->height, 2), add_sat(inner->baseline, 1),
                   Framed{inner});
}

void paint(const Framed& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t right = x + self.width - 1, bottom = y + self.height - 1;
  canvas.put(x, y, U'┌');
  canvas.across(x + 1, y, self.width - 2, U'─');
  canvas.put(right, y, U'┐');
  canvas.down(x, y + 1, self.height - 2, U'│');
  canvas.down(right, y + 1, self.height - 2, U'│');
  canvas.put(x, bottom, U'└');
  canvas.across(x + 1, bottom, self.width - 2, U'─');
  canvas.put(right, bottom, U'┘');
  canvas.paint(*shape.inner, x + 2, y + 1);
}

// ---- the summation sign ----

namespace {

// A summation sign `h` rows high (three or more) and `s` columns wide: bars top and bottom, and
// strokes that meet in the middle row (in a point when the height is odd).
void draw_tall_sum(Canvas& canvas, std::size_t x, std::size_t y, std::size_t h, std::size_t s) {
  canvas.across(x, y, s - 1, U'━');
  canvas.across(x, y + h - 1, s - 1, U'━');
  canvas.put(x + s - 1, y, U'┓');
  canvas.put(x + s - 1, y + h - 1, U'┛');
  const std::size_t middle = h / 2;
  for (std::size_t r = 1; r + 1 < h; ++r) {
    const char32_t stroke = r < middle ? U'╲' : r == middle && h % 2 == 1 ? U'⟩' : U'╱';
    canvas.put(x + std::min(r, h - 1 - r) - 1, y + r, stroke);
  }
}

}  // namespace

Result<NodeRef> RenderNode::summation(NodeRef body) {
  if (body == nullptr) return picture(kSumAlone, 4, 3, 1);
  const std::size_t h = body->height;
  if (h < 3) return make_node(add_sat(body->width, 4), 3, 1, Summation{body});
  // A sign as tall as the body, half again as wide, then a blank column.
  const std::size_t s = mul_sat(h, 3) / 2;
  return make_node(add_sat(add_sat(s, 1), body->width), h, body->baseline, Summation{body});
}

void paint(const Summation& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const RenderNode& body = *shape.body;
  const std::size_t h = body.height;
  if (h < 3) {
    // The small sign; the body hangs from its middle row when it is one row, else from its top.
    canvas.cells(x, y, kSmallSum, 3, 3);
    canvas.paint(body, x + 4, y + (h == 1 ? 1 : 0));
    return;
  }
  const std::size_t s = self.width - body.width - 1;
  draw_tall_sum(canvas, x, y, h, s);
  canvas.paint(body, x + s + 1, y);
}

// ---- the integral sign ----

Result<NodeRef> RenderNode::integral(NodeRef body) {
  if (body->height >= 4) return stretchy_delim_left(body, kIntegralPieces);
  return make_node(add_sat(body->width, 2), 3, 1, Integral{body});
}

void paint(const Integral& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  draw_column(canvas, x, y, 3, kIntegralPieces);
  canvas.paint(*shape.body, x + 2, y + (shape.body->height == 1 ? 1 : 0));
}

// ---- LaTeX's large operators: signs as tall as their operands ----
//
// The operand's baseline is the sign's middle row, as TeX centres a large operator on the axis,
// and the sign reaches as far above and below it as the operand does: an odd number of rows, three
// at least.

namespace {

// The height and baseline of a sign before `body`, and the row the body starts on.
struct SignBox {
  std::size_t height, baseline, body_row;
};

SignBox sign_box(const RenderNode& body) {
  const std::size_t above = body.baseline, below = body.descent() > 0 ? body.descent() - 1 : 0;
  const std::size_t half = std::max({above, below, std::size_t{1}});
  return {add_sat(mul_sat(half, 2), 1), half, half - above};
}

// The width of a drawn large operator's sign of `height` rows: the summation sign's, three columns
// for those drawn from box pieces, one for the others, which stand as their own character on the
// middle row.
std::size_t sign_width(char32_t sign, std::size_t height) {
  switch (sign) {
    case U'∑':
      return height == 3 ? 3 : mul_sat(height, 3) / 2;
    case U'∏':
    case U'∐':
    case U'⋃':
    case U'⋂':
    case U'⨄':
    case U'⨆':
    case U'⨅':
    case U'⨁':
    case U'⨂':
    case U'⨀':
      return 3;
    default:
      return 1;
  }
}

}  // namespace

Result<NodeRef> RenderNode::integrals(NodeRef body, std::size_t count, char32_t mark) {
  const SignBox box = sign_box(*body);
  return make_node(add_sat(add_sat(count, 1), body->width), box.height, box.baseline,
                   Integrals{body, mark, static_cast<std::uint32_t>(count)});
}

void paint(const Integrals& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  constexpr Pieces kPieces{U'⌠', U'⎮', U'⌡'};
  for (std::size_t i = 0; i < shape.count; ++i) draw_column(canvas, x + i, y, self.height, kPieces);
  if (shape.mark != 0) canvas.put(x, y + self.height / 2, shape.mark);
  canvas.paint(*shape.body, x + shape.count + 1, y + sign_box(*shape.body).body_row);
}

Result<NodeRef> RenderNode::big_operator(NodeRef body, char32_t sign) {
  const SignBox box = sign_box(*body);
  return make_node(add_sat(add_sat(sign_width(sign, box.height), 1), body->width), box.height,
                   box.baseline, BigOperator{body, sign});
}

void paint(const BigOperator& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t h = self.height, last = h - 1, middle = h / 2;
  // Each sign row by row: its top, its middle rows, its bottom, and a mark on the middle row.
  const auto draw = [&](std::u32string_view top, std::u32string_view rows,
                        std::u32string_view bottom, char32_t mark) {
    for (std::size_t r = 0; r < h; ++r) {
      const std::u32string_view line = r == 0 ? top : r == last ? bottom : rows;
      for (std::size_t c = 0; c < line.size(); ++c) canvas.put(x + c, y + r, line[c]);
    }
    if (mark != 0) canvas.put(x + 1, y + middle, mark);
  };
  switch (shape.sign) {
    case U'∑':
      if (h == 3) {
        canvas.cells(x, y, kSmallSum, 3, 3);
      } else {
        draw_tall_sum(canvas, x, y, h, sign_width(shape.sign, h));
      }
      break;
    case U'∏':
      draw(U"┳━┳", U"┃ ┃", U"┻ ┻", 0);
      break;
    case U'∐':
      draw(U"┳ ┳", U"┃ ┃", U"┻━┻", 0);
      break;
    case U'⋃':
      draw(U"│ │", U"│ │", U"╰─╯", 0);
      break;
    case U'⋂':
      draw(U"╭─╮", U"│ │", U"│ │", 0);
      break;
    case U'⨄':
      draw(U"│ │", U"│ │", U"╰─╯", U'+');
      break;
    case U'⨆':
      draw(U"│ │", U"│ │", U"└─┘", 0);
      break;
    case U'⨅':
      draw(U"┌─┐", U"│ │", U"│ │", 0);
      break;
    case U'⨁':
      draw(U"╭─╮", U"│ │", U"╰─╯", U'+');
      break;
    case U'⨂':
      draw(U"╭─╮", U"│ │", U"╰─╯", U'×');
      break;
    case U'⨀':
      draw(U"╭─╮", U"│ │", U"╰─╯", U'·');
      break;
    default:
      canvas.put(x, y + self.baseline, shape.sign);
      break;
  }
  canvas.paint(*shape.body, x + sign_width(shape.sign, h) + 1, y + sign_box(*shape.body).body_row);
}

}  // namespace vok
