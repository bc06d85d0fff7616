// Marks drawn around a content: the radical sign with its overbar and index, accents and other
// marks on a row above or below, long arrows with their labels, frames and the actuarial angle.
//
// A mark is centred on its row, or drawn across the whole row: from its pieces when it has them
// (an arrow ──→, a brace ╭──┴──╮; see glyphs.hpp), else repeated. A content of no columns still
// gets a cell for its mark.
#include <algorithm>

#include "arena.hpp"
#include "constructs.hpp"
#include "layout.hpp"

namespace vok {
namespace {

// Argument i, or the empty node when the parser supplied fewer.
NodeRef arg(std::span<const NodeRef> args, std::size_t i) {
  return i < args.size() ? args[i] : RenderNode::empty();
}

// ---- radicals ----

struct Radical {  // the radical sign with its overbar
  NodeRef inner;
};

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

struct RootIndex {  // a radical with its index top-aligned at its left
  NodeRef index, radical;
};

void paint(const RootIndex& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.index, x, y);
  canvas.paint(*shape.radical, x + shape.index->width, y);
}

// ---- marks above and below ----

struct Accent {  // a mark on a row of its own above or below the content
  NodeRef inner;
  char32_t mark;
  bool below;  // the mark's row is under the content
  bool wide;   // the mark runs across the whole row; else one, centred
};

// `mark` across `width` cells of row y: from its pieces when it has them (the mark alone in one
// cell), else repeated.
void draw_across(Canvas& canvas, std::size_t x, std::size_t y, std::size_t width, char32_t mark) {
  const Across* pieces = across(mark);
  if (pieces == nullptr || width < 2) {
    canvas.across(x, y, width, mark);
    return;
  }
  canvas.put(x, y, pieces->left);
  canvas.across(x + 1, y, width - 2, pieces->fill);
  if (pieces->middle != 0 && width > 2) canvas.put(x + width / 2, y, pieces->middle);
  canvas.put(x + width - 1, y, pieces->right);
}

void paint(const Accent& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t mark_row = shape.below ? y + shape.inner->height : y;
  if (shape.below) canvas.paint(*shape.inner, x, y);
  if (shape.wide) {
    draw_across(canvas, x, mark_row, self.width, shape.mark);
  } else {
    canvas.put(x + self.width / 2, mark_row, shape.mark);  // on an even width, the right middle
  }
  if (!shape.below) canvas.paint(*shape.inner, x, y + 1);
}

Result<NodeRef> marked(NodeRef inner, char32_t mark, bool below, bool wide) {
  // An empty content still gets a cell for its mark.
  const std::size_t width = std::max<std::uint32_t>(inner->width, 1);
  auto node = make_node(width, add_sat(inner->height, 1),
                        below ? inner->baseline : add_sat(inner->baseline, 1),
                        Accent{inner, mark, below, wide});
  // A letter of one row under its mark: a superscript may stand beside the letter.
  if (node) (*node)->under_mark = !below && inner->height == 1;
  return node;
}

// ---- frames ----

struct Framed {  // the content in a frame, a blank column inside it on either side
  NodeRef inner;
};

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

// ---- the actuarial angle ----

struct Angle {  // the content under a rule that turns down along its right side
  NodeRef inner;
};

void paint(const Angle& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t right = x + self.width - 1;
  canvas.across(x, y, self.width - 1, U'─');
  canvas.put(right, y, U'┐');
  canvas.down(right, y + 1, self.height - 1, U'│');
  canvas.paint(*shape.inner, x, y + 1);
}

// ---- vertical arrows ----

struct Shaft {  // an arrow down its column: ↓ at the foot, ↑ at the head, or ‖ all the way
  char32_t mark;
};

void paint(const Shaft& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t rows = self.height;
  canvas.down(x, y, rows, shape.mark == U'‖' ? U'‖' : U'│');
  if (shape.mark == U'↓') canvas.put(x, y + rows - 1, U'↓');
  if (shape.mark == U'↑') canvas.put(x, y, U'↑');
}

// ---- the phase angle ----

struct Phase {  // the content on a rule, a slant rising from the rule's left end beside it
  NodeRef inner;
};

void paint(const Phase& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t rows = shape.inner->height;
  for (std::size_t row = 0; row <= rows; ++row) canvas.put(x + rows - row, y + row, U'╱');
  canvas.across(x + 1, y + rows, self.width - 1, U'─');
  canvas.paint(*shape.inner, x + rows + 1, y);
}

// ---- a stroke through ----

struct Struck {  // the content with a stroke through each cell of its baseline row
  NodeRef inner;
};

void paint(const Struck& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.inner, x, y);
  for (std::size_t column = 0; column < self.width; ++column)
    canvas.join(x + column, y + self.baseline, U'\u0336');
}

struct Cancelled {  // the content with marks through each of its characters
  NodeRef inner;
  char32_t first, second;  // the second 0 for none
};

void paint(const Cancelled& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.inner, x, y);
  for (std::size_t row = 0; row < self.height; ++row) {
    for (std::size_t column = 0; column < self.width; ++column) {
      // A probe holds no cells (at() gives 0): it is told of every mark, and so that the
      // content does not convert as a script's characters would.
      const char32_t ch = canvas.at(x + column, y + row);
      if (ch == U' ' || ch == kWideTail) continue;
      canvas.join(x + column, y + row, shape.first);
      if (shape.second != 0) canvas.join(x + column, y + row, shape.second);
    }
  }
}

}  // namespace

namespace construct {

Result<NodeRef> root(const Definition&, std::span<const NodeRef> args,
                     std::span<const NodeRef> optional) {
  const NodeRef inner = arg(args, 0);
  auto radical = make_node(add_sat(inner->width, 3), add_sat(inner->height, 1),
                           add_sat(inner->baseline, 1), Radical{inner});
  if (!radical || optional.empty()) return radical;
  const NodeRef index = optional.front();
  return make_node(add_sat(index->width, (*radical)->width),
                   std::max(index->height, (*radical)->height), (*radical)->baseline,
                   RootIndex{index, *radical});
}

Result<NodeRef> accent(const Definition& def, std::span<const NodeRef> args,
                       std::span<const NodeRef>) {
  const payload::Mark& mark = def.data<payload::Mark>();
  return marked(arg(args, 0), mark.mark, mark.below, mark.wide);
}

Result<NodeRef> long_arrow(const Definition& def, std::span<const NodeRef> args,
                           std::span<const NodeRef> optional) {
  const NodeRef above = arg(args, 0), below = arg(optional, 0);
  auto span = RenderNode::blank(std::max<std::size_t>({above->width, below->width, 1}) + 2, 0, 0);
  if (!span) return span;
  auto arrow = marked(*span, def.data<payload::Mark>().mark, true, true);
  if (!arrow) return arrow;
  return RenderNode::limits(*arrow, below, above, kCentredLimits);
}

Result<NodeRef> boxed(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  const NodeRef inner = arg(args, 0);
  return make_node(add_sat(inner->width, 4), add_sat(inner->height, 2), add_sat(inner->baseline, 1),
                   Framed{inner});
}

Result<NodeRef> angle(const Definition& def, std::span<const NodeRef> args,
                      std::span<const NodeRef>) {
  NodeRef inner = arg(args, 0);
  if (const auto* word = std::get_if<payload::Word>(&def.payload)) {
    auto written = RenderNode::row(word->word);
    if (!written) return written;
    inner = *written;
  }
  return make_node(add_sat(inner->width, 2), add_sat(inner->height, 1), add_sat(inner->baseline, 1),
                   Angle{inner});
}

Result<NodeRef> vertical_arrow(const Definition& def, std::span<const NodeRef> args,
                               std::span<const NodeRef>) {
  const NodeRef left = arg(args, 0), right = arg(args, 1);
  const std::size_t rows = std::max<std::size_t>({3, left->height, right->height});
  auto shaft = make_node(1, rows, rows / 2, Shaft{def.data<payload::Mark>().mark});
  if (!shaft) return shaft;
  if (left->width == 0 && right->width == 0) return shaft;
  // The labels a blank away, the narrower one padded: the shaft stays in the middle, under the
  // object above it.
  const std::size_t side = std::max(left->width, right->width);
  auto before = RenderNode::blank(side - left->width, 0, 0);
  if (!before) return before;
  auto after = RenderNode::blank(side - right->width, 0, 0);
  if (!after) return after;
  auto gap = RenderNode::blank(1, 0, 0);
  if (!gap) return gap;
  NodeRef* parts = current_arena().allocate_array<NodeRef>(7);
  std::size_t count = 0;
  const NodeRef shaft_node = *shaft;
  for (const NodeRef part : {*before, left, *gap, shaft_node, *gap, right, *after})
    if (part->width > 0) parts[count++] = part;
  return RenderNode::hstack({parts, count});
}

Result<NodeRef> phase(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  const NodeRef inner = arg(args, 0);
  return make_node(add_sat(add_sat(inner->width, inner->height), 1), add_sat(inner->height, 1),
                   inner->baseline, Phase{inner});
}

Result<NodeRef> cancelled(const Definition& def, std::span<const NodeRef> args,
                          std::span<const NodeRef>) {
  const NodeRef inner = arg(args, 0);
  if (inner->width == 0) return inner;
  const auto [first, second] = def.data<payload::Pair>();
  auto node =
      make_node(inner->width, inner->height, inner->baseline, Cancelled{inner, first, second});
  if (node) (*node)->binding = inner->binding;
  return node;
}

Result<NodeRef> struck(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  const NodeRef inner = arg(args, 0);
  if (inner->width == 0 || inner->baseline >= inner->height) return inner;
  auto node = make_node(inner->width, inner->height, inner->baseline, Struck{inner});
  if (node) (*node)->binding = inner->binding;
  return node;
}

}  // namespace construct
}  // namespace vok
