// The constructs drawn from the general compositions alone; those with drawings of their own
// live with them (layout_signs.cpp, layout_marks.cpp).
#include "constructs.hpp"

#include <algorithm>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok::construct {
namespace {

// Argument i, or the empty node when the parser supplied fewer (only big operators may lack
// their body; the others always get theirs, but drawing stays total regardless).
NodeRef arg(std::span<const NodeRef> args, std::size_t i) {
  return i < args.size() ? args[i] : RenderNode::empty();
}

}  // namespace

// A glyph of other than one column takes the columns a typed one would: a wide sign (〒) two, an
// enclosing mark (⃝) a blank of its own to enclose.
Result<NodeRef> symbol(const Definition& def, std::span<const NodeRef>, std::span<const NodeRef>) {
  const char32_t ch = def.data<payload::Glyph>().ch;
  if (ch < 0x300 || display_width(ch) == 1) return RenderNode::single(ch);
  char* text = current_arena().allocate_array<char>(utf8_length(ch));
  return RenderNode::column_row({text, static_cast<std::size_t>(encode_utf8(ch, text) - text)});
}

// A word of letters takes a cell to each; one with a mark of no width (≦̸) a cell to each column.
Result<NodeRef> word(const Definition& def, std::span<const NodeRef>, std::span<const NodeRef>) {
  const auto [word, mark, below] = def.data<payload::Word>();
  auto written =
      std::ranges::all_of(word, [](char c) { return static_cast<unsigned char>(c) < 0x80; })
          ? RenderNode::row(word)
          : RenderNode::column_row(word);
  if (!written || mark == 0) return written;
  const Definition marked{.payload = payload::Mark{mark, below, true}};
  const NodeRef node = *written;
  return accent(marked, {&node, 1}, {});
}

Result<NodeRef> fraction(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  return RenderNode::vstack(arg(args, 0), arg(args, 1), U'─');
}

Result<NodeRef> tight_fraction(const Definition&, std::span<const NodeRef> args,
                               std::span<const NodeRef>) {
  return RenderNode::tight_vstack(arg(args, 0), arg(args, 1), U'─');
}

Result<NodeRef> stacked(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef>) {
  auto stack = RenderNode::tight_vstack(arg(args, 0), arg(args, 1), U' ');
  const char32_t open = def.data<payload::Enclosure>().open;
  if (!stack || open == 0) return stack;
  return RenderNode::fence(*stack, open, closing_partner(open));
}

Result<NodeRef> fraction_in(const Definition& def, std::span<const NodeRef> args,
                            std::span<const NodeRef>) {
  const auto [open, close, rule] = def.data<payload::Fraction>();
  auto stack = RenderNode::tight_vstack(arg(args, 0), arg(args, 1), rule ? U'─' : U' ');
  if (!stack || (open == 0 && close == 0)) return stack;
  // Each side its own delimiter's pieces, as \left and \right draw them: ( and ] may pair.
  NodeRef* part = current_arena().allocate_array<NodeRef>(1);
  *part = *stack;
  char32_t* sides = current_arena().allocate_array<char32_t>(2);
  sides[0] = open;
  sides[1] = close;
  return RenderNode::fenced({part, 1}, {sides, 2});
}

namespace {

struct Moved {  // the content `top` rows down in its node
  NodeRef inner;
  std::size_t top;
};

void paint(const Moved& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.inner, x, y + shape.top);
}

}  // namespace

Result<NodeRef> shifted(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef>) {
  const NodeRef inner = arg(args, 0);
  const auto [rows, down] = def.data<payload::Shift>();
  if (rows == 0 || inner->baseline >= inner->height) return inner;
  // The content's baseline `rows` above the node's, or below it; blank rows where it leaves.
  const std::size_t top = down && rows > inner->baseline ? rows - inner->baseline : 0;
  const std::size_t baseline = down ? inner->baseline + top - rows : inner->baseline + rows;
  const std::size_t height = std::max<std::size_t>(top + inner->height, baseline + 1);
  auto node = make_node(inner->width, height, baseline, Moved{inner, top});
  if (node) (*node)->binding = inner->binding;
  return node;
}

Result<NodeRef> sideset(const Definition&, std::span<const NodeRef> args,
                        std::span<const NodeRef>) {
  NodeRef* parts = current_arena().allocate_array<NodeRef>(3);
  parts[0] = arg(args, 0);
  parts[1] = arg(args, 2);
  parts[2] = arg(args, 1);
  return RenderNode::hstack({parts, 3});
}

Result<NodeRef> binomial(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  auto stack = RenderNode::vstack(arg(args, 0), arg(args, 1), U' ');
  if (!stack) return stack;
  return RenderNode::fence(*stack, U'(', U')');
}

Result<NodeRef> phantom(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef>) {
  const NodeRef shown = arg(args, 0);
  const auto [across, down] = def.data<payload::Phantom>();
  return RenderNode::blank(across ? shown->width : 0, down ? shown->height : 0,
                           down ? shown->baseline : 0);
}

namespace {

struct Solid {};  // every cell filled

void paint(const Solid&, const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y) {
  for (std::size_t row = 0; row < self.height; ++row) canvas.across(x, y + row, self.width, U'█');
}

}  // namespace

Result<NodeRef> solid(const Definition& def, std::span<const NodeRef>, std::span<const NodeRef>) {
  const auto [columns, rows] = def.data<payload::Size>();
  if (columns == 0 || rows == 0) return RenderNode::empty();
  auto node = make_node(columns, rows, rows - 1, Solid{});
  if (node) (*node)->binding = Binding::Atom;
  return node;
}

Result<NodeRef> over_set(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  return RenderNode::limits(arg(args, 1), RenderNode::empty(), arg(args, 0), kCentredLimits);
}

Result<NodeRef> under_set(const Definition&, std::span<const NodeRef> args,
                          std::span<const NodeRef>) {
  return RenderNode::limits(arg(args, 1), arg(args, 0), RenderNode::empty(), kCentredLimits);
}

Result<NodeRef> tag(const Definition& def, std::span<const NodeRef> args,
                    std::span<const NodeRef>) {
  NodeRef* parts = current_arena().allocate_array<NodeRef>(3);
  std::size_t count = 0;
  const char32_t open = def.data<payload::Enclosure>().open;
  if (open != 0) parts[count++] = *RenderNode::single(open);
  parts[count++] = arg(args, 0);
  if (open != 0) parts[count++] = *RenderNode::single(closing_partner(open));
  return RenderNode::hstack({parts, count});
}

Result<NodeRef> between(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef>) {
  const auto [open, close] = def.data<payload::Pair>();
  NodeRef* parts = current_arena().allocate_array<NodeRef>(3);
  parts[0] = *RenderNode::single(open);
  parts[1] = arg(args, 0);
  parts[2] = *RenderNode::single(close);
  return RenderNode::hstack({parts, 3});
}

Result<NodeRef> bars(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  return RenderNode::fence(arg(args, 0), U'|', U'|');
}

Result<NodeRef> group(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>) {
  return arg(args, 0);
}

Result<NodeRef> lap(const Definition& def, std::span<const NodeRef> args,
                    std::span<const NodeRef>) {
  return RenderNode::overlap(arg(args, 0), def.data<payload::Lap>().side);
}

Result<NodeRef> pmod(const Definition& def, std::span<const NodeRef> args,
                     std::span<const NodeRef>) {
  NodeRef* parts = current_arena().allocate_array<NodeRef>(4);
  std::size_t count = 0;
  parts[count++] = *RenderNode::row("(");
  if (const std::string_view text = def.data<payload::Word>().word; !text.empty()) {
    auto word = RenderNode::row(text);
    if (!word) return word;
    parts[count++] = *word;
  }
  parts[count++] = arg(args, 0);
  parts[count++] = *RenderNode::row(")");
  return RenderNode::hstack({parts, count});
}

Result<NodeRef> negation(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  const NodeRef relation = arg(args, 0);
  if (relation->width == 1 && relation->height == 1 &&
      Canvas::converts_whole_row(*relation, negated))
    return RenderNode::styled(relation, negated);
  // Else a solidus through each character, as \cancel draws it.
  static constexpr Definition kSlashed =
      rows::structure("not", "m", construct::cancelled, payload::Pair{U'\u0338', 0});
  return cancelled(kSlashed, args, {});
}

Result<NodeRef> sized_delimiter(const Definition& def, std::span<const NodeRef>,
                                std::span<const NodeRef>) {
  const auto [delimiter, rows] = def.data<payload::Sized>();
  if (delimiter == 0) return RenderNode::empty();  // \big.
  return RenderNode::sized_delimiter(delimiter, rows);
}

Result<NodeRef> alphabet(const Definition& def, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  return RenderNode::styled(arg(args, 0), def.data<payload::Style>().map);
}

}  // namespace vok::construct
