// Nodes, the size check, the canvas and its dispatch, the leaves, and the general compositions:
// hstack, vstack, infix chains, prefixes and styled content.
#include "layout.hpp"

#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok {

using namespace shapes;  // the shapes this file measures and paints

Result<NodeRef> make_node(std::size_t width, std::size_t height, std::size_t baseline,
                          Shape shape) {
  const std::size_t w = std::max<std::size_t>(width, 1);
  const std::size_t h = std::max<std::size_t>(height, 1);
  // Both at most 2^24, the product cannot wrap; a baseline is never below the last row but one.
  if (w > kMaxCells || h > kMaxCells || w * h > kMaxCells || baseline > kMaxCells)
    return fail(std::string(message::kTooLarge));
  return current_arena().make<RenderNode>(static_cast<std::uint32_t>(width),
                                          static_cast<std::uint32_t>(height),
                                          static_cast<std::uint32_t>(baseline), shape);
}

// ---- leaves ----

namespace {

// Every ASCII character as a one-character text, and its node: the letters, digits and signs of
// a formula share these instead of making a node each.
constexpr std::array<RenderNode, 128> kAsciiNodes = [] {
  std::array<RenderNode, 128> nodes{};
  for (std::size_t c = 0; c < nodes.size(); ++c)
    nodes[c] = {1, 1, 0, Char{static_cast<char32_t>(c)}};
  return nodes;
}();
constexpr RenderNode kEmptyNode{};

// The number of characters of a text, a malformed byte counting as one.
std::size_t char_count(std::string_view utf8) noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size(); ++count) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = decode_utf8(utf8, i).length;
    i += length == 0 ? 1 : length;
  }
  return count;
}

}  // namespace

NodeRef RenderNode::empty() noexcept { return &kEmptyNode; }

Result<NodeRef> RenderNode::blank(std::size_t width, std::size_t height, std::size_t baseline) {
  return make_node(width, height, baseline, Blank{});
}

Result<NodeRef> RenderNode::column_row(std::string_view utf8) {
  if (std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return row(utf8);
  std::size_t columns = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const Decoded d = decode_utf8(utf8, i);
    const int width = d.length == 0 ? 1 : display_width(d.ch);
    columns += width == 0 && i == 0 ? 1 : static_cast<std::size_t>(width);
    i += d.length == 0 ? 1 : d.length;
  }
  return make_node(columns, 1, 0, ColumnText{utf8.data(), utf8.size()});
}

Result<NodeRef> RenderNode::row(std::string_view utf8) {
  if (utf8.size() == 1 && static_cast<unsigned char>(utf8[0]) < 0x80)
    return &kAsciiNodes[static_cast<unsigned char>(utf8[0])];
  return make_node(char_count(utf8), 1, 0, Text{utf8.data(), utf8.size()});
}

Result<NodeRef> RenderNode::single(char32_t ch) {
  if (ch < 0x80) return &kAsciiNodes[ch];
  return make_node(1, 1, 0, Char{ch});
}

Result<NodeRef> RenderNode::picture(const char32_t* cells, std::size_t width, std::size_t height,
                                    std::size_t baseline) {
  return make_node(width, height, baseline, Picture{cells});
}

namespace {

// Every drawing character a layout paints, with its ASCII stand-in, sorted by character.
// clang-format off
constexpr std::pair<char32_t, char32_t> kAscii[] = {
    {U'‐', U'-'}, {U'′', U'\''}, {U'″', U'"'}, {U'‾', U'-'}, {U'−', U'-'}, {U'∗', U'*'},
    {U'∣', U'|'}, {U'∼', U'~'}, {U'⋅', U'*'},
    {U'⌠', U'/'}, {U'⌡', U'/'}, {U'⎛', U'/'}, {U'⎜', U'|'}, {U'⎝', U'\\'}, {U'⎞', U'\\'},
    {U'⎟', U'|'}, {U'⎠', U'/'}, {U'⎡', U'['}, {U'⎢', U'|'}, {U'⎣', U'['}, {U'⎤', U']'},
    {U'⎥', U'|'}, {U'⎦', U']'}, {U'⎧', U'/'}, {U'⎨', U'<'}, {U'⎩', U'\\'}, {U'⎪', U'|'},
    {U'⎫', U'\\'}, {U'⎬', U'>'}, {U'⎭', U'/'}, {U'⎮', U'|'}, {U'⎴', U'-'}, {U'⎵', U'_'},
    {U'⏜', U'-'}, {U'⏝', U'_'}, {U'⏞', U'-'}, {U'⏟', U'_'}, {U'─', U'-'}, {U'━', U'='},
    {U'│', U'|'}, {U'┃', U'|'}, {U'┌', U'+'}, {U'┐', U'+'}, {U'┓', U'='}, {U'└', U'+'},
    {U'┘', U'+'}, {U'┛', U'='}, {U'├', U'+'}, {U'┤', U'+'}, {U'┬', U'+'}, {U'┳', U'+'},
    {U'┴', U'+'}, {U'┻', U'+'}, {U'┼', U'+'}, {U'═', U'='}, {U'║', U'|'}, {U'╓', U'+'},
    {U'╖', U'+'}, {U'╙', U'+'}, {U'╜', U'+'}, {U'╟', U'+'}, {U'╢', U'+'}, {U'╥', U'+'},
    {U'╨', U'+'}, {U'╫', U'+'}, {U'╭', U'/'}, {U'╮', U'\\'}, {U'╯', U'/'}, {U'╰', U'\\'},
    {U'╱', U'/'}, {U'╲', U'\\'}, {U'╳', U'X'}, {U'❯', U'>'}, {U'⟨', U'<'}, {U'⟩', U'>'},
};
// clang-format on
static_assert(std::ranges::is_sorted(kAscii, {}, &std::pair<char32_t, char32_t>::first));

}  // namespace

char32_t ascii_form(char32_t ch) noexcept { return ch < 0x80 ? ch : partner(kAscii, ch, ch); }

void paint(const Text& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.text(x, y, {shape.data, shape.bytes});
}

void paint(const ColumnText& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.column_text(x, y, {shape.data, shape.bytes});
}

void paint(const Char& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.put(x, y, shape.ch);
}

void paint(const Blank&, const RenderNode&, Canvas&, std::size_t, std::size_t) {}

void paint(const Picture& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.cells(x, y, shape.cells, self.width, self.height);
}

// ---- the canvas ----

void Canvas::paint(const RenderNode& node, std::size_t x, std::size_t y) {
  if (y >= clip_) return;
  const std::size_t saved = clip_;
  clip_ = std::min(clip_, y + node.height);
  std::visit(
      [&](const auto& shape) {
        if constexpr (std::is_pointer_v<std::decay_t<decltype(shape)>>) {
          vok::paint(*shape, node, *this, x, y);
        } else {
          vok::paint(shape, node, *this, x, y);
        }
      },
      node.shape);
  clip_ = saved;
}

void Canvas::paint_mapped(const RenderNode& node, std::size_t x, std::size_t y, CharMap map) {
  // A map changes characters only into characters that no map changes again, so the same map
  // further out can change nothing that this one leaves: it moves in, and the list of maps in
  // force never holds one twice. There are fewer distinct maps than slots.
  CharMap* const end = maps_ + map_count_;
  CharMap* const found = std::find(maps_, end, map);
  if (found == end && map_count_ == kMaxMaps) {
    paint(node, x, y);
    return;
  }
  if (found + 1 == end) {  // already innermost
    paint(node, x, y);
    return;
  }
  CharMap saved[kMaxMaps];
  std::copy(maps_, end, saved);
  const std::size_t saved_count = map_count_;
  if (found != end) map_count_ = static_cast<std::size_t>(std::remove(maps_, end, map) - maps_);
  maps_[map_count_++] = map;
  paint(node, x, y);
  std::copy(saved, saved + saved_count, maps_);
  map_count_ = saved_count;
}

char32_t Canvas::mapped(char32_t ch) const noexcept {
  for (std::size_t i = map_count_; i-- > 0;) ch = maps_[i](ch);
  return ch;
}

void Canvas::look(char32_t ch) noexcept {
  ++probe_->written;
  if (probe_->map(ch) == U'\0') probe_->converts = false;
}

void Canvas::put(std::size_t x, std::size_t y, char32_t ch) noexcept {
  if (y >= clip_) return;
  ch = mapped(ch);
  if (probe_ != nullptr) {
    look(ch);
  } else if (x < width_) {
    cells_[y * stride_ + x] = ch;
  }
}

void Canvas::across(std::size_t x, std::size_t y, std::size_t count, char32_t ch) noexcept {
  if (y >= clip_ || count == 0) return;
  ch = mapped(ch);
  if (probe_ != nullptr) {
    look(ch);
    probe_->written += count - 1;
  } else if (x < width_) {
    std::fill_n(cells_ + y * stride_ + x, std::min(count, width_ - x), ch);
  }
}

void Canvas::down(std::size_t x, std::size_t y, std::size_t count, char32_t ch) noexcept {
  const std::size_t end = std::min(clip_, y + count);
  for (std::size_t row = y; row < end; ++row) put(x, row, ch);
}

void Canvas::column_text(std::size_t x, std::size_t y, std::string_view utf8) {
  if (y >= clip_) return;
  const std::size_t start = x;
  for (std::size_t i = 0; i < utf8.size();) {
    const Decoded d = decode_utf8(utf8, i);
    const char32_t ch = d.length == 0 ? U'\uFFFD' : d.ch;
    i += d.length == 0 ? 1 : d.length;
    const int width = d.length == 0 ? 1 : display_width(ch);
    if (width != 1) columns_differ_ = true;
    if (width == 0) {
      // A mark joins the character before it, or a blank of its own at the start of the text; a
      // probe cannot shrink it to a script.
      if (x == start) put(x++, y, U' ');
      if (probe_ != nullptr) {
        probe_->converts = false;
      } else if (marks_ != nullptr && x - 1 < width_ && y < clip_) {
        marks_->push_back({y * stride_ + x - 1, mapped(ch)});
      }
      continue;
    }
    put(x++, y, ch);
    if (width == 2) put(x++, y, kWideTail);
  }
}

void Canvas::text(std::size_t x, std::size_t y, std::string_view utf8) noexcept {
  if (y >= clip_) return;
  std::size_t i = 0;
  if (probe_ == nullptr && map_count_ == 0 && x <= width_) {
    // The common case: ASCII straight into the row, as far as the text stays ASCII.
    char32_t* row = cells_ + y * stride_;
    const std::size_t end = std::min(utf8.size(), width_ - x);
    for (; i < end && static_cast<unsigned char>(utf8[i]) < 0x80; ++i, ++x)
      row[x] = static_cast<unsigned char>(utf8[i]);
  }
  while (i < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    char32_t ch = byte;
    if (byte < 0x80) {
      ++i;
    } else {
      const Decoded d = decode_utf8(utf8, i);
      ch = d.length == 0 ? U'\uFFFD' : d.ch;
      i += d.length == 0 ? 1 : d.length;
    }
    put(x++, y, ch);
  }
}

void Canvas::cells(std::size_t x, std::size_t y, const char32_t* cells, std::size_t width,
                   std::size_t height) noexcept {
  for (std::size_t r = 0; r < height; ++r)
    for (std::size_t c = 0; c < width; ++c) put(x + c, y + r, cells[r * width + c]);
}

bool Canvas::converts_whole_row(const RenderNode& node, CharMap map) {
  Probe probe{map};
  Canvas canvas(probe);
  canvas.paint(node, 0, 0);
  return probe.converts && probe.written == node.width;
}

// ---- hstack ----

Result<NodeRef> RenderNode::hstack(std::span<const NodeRef> items) {
  if (items.empty()) return empty();
  if (items.size() == 1) return items.front();
  std::size_t ascent = 0, descent = 0, width = 0;
  for (NodeRef item : items) {
    ascent = std::max<std::size_t>(ascent, item->baseline);
    descent = std::max(descent, item->descent());
    width = add_sat(width, item->width);
  }
  return make_node(width, add_sat(ascent, descent), ascent, Row{items.data(), items.size()});
}

void paint(const Row& shape, const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y) {
  for (const NodeRef item : std::span(shape.items, shape.count)) {
    canvas.paint(*item, x, y + self.baseline - item->baseline);
    x += item->width;
  }
}

// ---- vstack ----

Result<NodeRef> RenderNode::vstack(NodeRef top, NodeRef bottom, char32_t rule) {
  const std::size_t w = std::max(top->width, bottom->width);
  const std::size_t h = std::max(top->height, bottom->height);
  return make_node(w, add_sat(add_sat(h, h), 1), h, current_arena().make<Stack>(top, bottom, rule));
}

void paint(const Stack& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t h = self.baseline;
  canvas.paint(*shape.top, x + (self.width - shape.top->width) / 2, y + h - shape.top->height);
  canvas.paint(*shape.bottom, x + (self.width - shape.bottom->width) / 2, y + h + 1);
  canvas.across(x, y + h, self.width, shape.rule);
}

Result<NodeRef> RenderNode::tight_vstack(NodeRef top, NodeRef bottom, char32_t rule) {
  const std::size_t w = std::max(top->width, bottom->width);
  return make_node(w, add_sat(add_sat(top->height, bottom->height), 1), top->height,
                   current_arena().make<TightStack>(top, bottom, rule));
}

void paint(const TightStack& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t h = self.baseline;
  canvas.paint(*shape.top, x + (self.width - shape.top->width) / 2, y);
  canvas.paint(*shape.bottom, x + (self.width - shape.bottom->width) / 2, y + h + 1);
  canvas.across(x, y + h, self.width, shape.rule);
}

// ---- infix chains ----
//
// Nesting two-operand chains from the left puts every operand's baseline on the largest baseline
// B and every operator on row B, one blank on each side. When no operand reaches down to row B
// (empty or accented empty operands) the node grows to include it, so every operator has a row to
// stand on.

Result<NodeRef> RenderNode::infix_chain(std::span<const NodeRef> operands,
                                        std::span<const char32_t> ops) {
  std::size_t base = 0, width = 0;
  for (NodeRef operand : operands) {
    base = std::max<std::size_t>(base, operand->baseline);
    width = add_sat(width, operand->width);
  }
  std::size_t height = add_sat(base, 1);
  for (NodeRef operand : operands)
    height = std::max(height, add_sat(base - operand->baseline, operand->height));
  width = add_sat(width, mul_sat(ops.size(), 3));
  const Chain* chain =
      current_arena().make<Chain>(operands.data(), ops.data(), operands.size(), base);
  return make_node(width, height, base, chain);
}

void paint(const Chain& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  for (std::size_t i = 0; i < shape.count; ++i) {
    if (i > 0) {
      canvas.put(x + 1, y + shape.baseline, shape.ops[i - 1]);
      x += 3;
    }
    const RenderNode& operand = *shape.operands[i];
    canvas.paint(operand, x, y + shape.baseline - operand.baseline);
    x += operand.width;
  }
}

// ---- prefixes ----

Result<NodeRef> RenderNode::prefix(char32_t sign, NodeRef operand) {
  // An operand that does not reach its own baseline (an empty group) grows down to it, so the
  // sign has a row.
  const std::size_t height = std::max<std::size_t>(operand->height, add_sat(operand->baseline, 1));
  return make_node(add_sat(operand->width, 1), height, operand->baseline, Prefix{operand, sign});
}

void paint(const Prefix& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.put(x, y + self.baseline, shape.sign);
  canvas.paint(*shape.operand, x + 1, y);
}

// ---- styled content ----

Result<NodeRef> RenderNode::styled(NodeRef content, CharMap map) {
  return make_node(content->width, content->height, content->baseline, Styled{content, map});
}

void paint(const Styled& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint_mapped(*shape.content, x, y, shape.map);
}

}  // namespace vok
