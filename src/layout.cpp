// Nodes, the size check, the canvas, the leaves, and the general compositions: rows of items,
// stacks, infix chains, prefixes and styled content.
#include "layout.hpp"

#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok {

// ---- leaves ----

namespace {

// One character: a node of one cell keeps its character itself.
void paint_char(const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.put(x, y, self.shape.ch);
}

// Every ASCII character as a one-character text, and its node: the letters, digits and signs of
// a formula share these instead of making a node each.
constexpr std::array<RenderNode, 128> kAsciiNodes = [] {
  std::array<RenderNode, 128> nodes{};
  for (std::size_t c = 0; c < nodes.size(); ++c)
    nodes[c] = {
        .width = 1, .height = 1, .painter = paint_char, .shape = {.ch = static_cast<char32_t>(c)}};
  return nodes;
}();
constexpr RenderNode kEmptyNode{};

struct Text {  // the characters of a UTF-8 text on one row (a malformed byte draws U+FFFD)
  const char* data;
  std::size_t bytes;
};

void paint(const Text& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.text(x, y, {shape.data, shape.bytes});
}

struct ColumnText {  // the same, a cell to each display column (LaTeX): a wide character takes
                     // two, a combining mark joins the cell before it
  const char* data;
  std::size_t bytes;
};

void paint(const ColumnText& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.column_text(x, y, {shape.data, shape.bytes});
}

struct Picture {  // fixed cells, row-major, width × height of them
  const char32_t* cells;
};

void paint(const Picture& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.cells(x, y, shape.cells, self.width, self.height);
}

struct Run {  // a text run: one row of characters and unpainted cells
  const char32_t* cells;
};

void paint(const Run& shape, const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.run(x, y, shape.cells, self.width);
}

// The cells of a node that holds them, a character or a text run; none for any other node.
std::span<const char32_t> held_cells(const RenderNode& node) noexcept {
  if (node.painter == paint_char) return {&node.shape.ch, 1};
  if (node.painter != &detail::paint_shape<Run>) return {};
  Run run;
  std::memcpy(&run, node.shape.bytes, sizeof run);
  return {run.cells, node.width};
}

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

Result<RenderNode*> detail::too_large_node() { return fail(std::string(message::kTooLarge)); }

NodeRef RenderNode::empty() noexcept { return &kEmptyNode; }

Result<NodeRef> RenderNode::blank(std::size_t width, std::size_t height, std::size_t baseline) {
  return new_node(width, height, baseline, nullptr);
}

namespace {

// The node of a text of one ASCII character, shared, or null.
NodeRef ascii_node(std::string_view utf8) noexcept {
  return utf8.size() == 1 && static_cast<unsigned char>(utf8[0]) < 0x80
             ? &kAsciiNodes[static_cast<unsigned char>(utf8[0])]
             : nullptr;
}

// row() and column_row() of texts other than one ASCII character: kept apart, so that the common
// case of one character returns at once.
[[gnu::noinline]] Result<NodeRef> text_row(std::string_view utf8) {
  auto node = make_node(char_count(utf8), 1, 0, Text{utf8.data(), utf8.size()});
  if (node) (*node)->binding = Binding::Atom;
  return node;
}

[[gnu::noinline]] Result<NodeRef> text_column_row(std::string_view utf8) {
  if (std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return text_row(utf8);
  std::size_t columns = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const Decoded d = decode_utf8(utf8, i);
    const int width = d.length == 0 ? 1 : display_width(d.ch);
    columns += width == 0 && i == 0 ? 1 : static_cast<std::size_t>(width);
    i += d.length == 0 ? 1 : d.length;
  }
  auto node = make_node(columns, 1, 0, ColumnText{utf8.data(), utf8.size()});
  if (node) (*node)->binding = Binding::Atom;
  return node;
}

}  // namespace

Result<NodeRef> RenderNode::column_row(std::string_view utf8) {
  if (const NodeRef shared = ascii_node(utf8)) return shared;
  return text_column_row(utf8);
}

Result<NodeRef> RenderNode::row(std::string_view utf8) {
  if (const NodeRef shared = ascii_node(utf8)) return shared;
  return text_row(utf8);
}

Result<NodeRef> RenderNode::single(char32_t ch) {
  if (ch < 0x80) return &kAsciiNodes[ch];
  auto node = new_node(1, 1, 0, paint_char);
  if (node) (*node)->shape.ch = ch;
  return node;
}

char32_t RenderNode::ascii_of(NodeRef node) noexcept {
  const auto at = reinterpret_cast<std::uintptr_t>(node);
  const auto first = reinterpret_cast<std::uintptr_t>(kAsciiNodes.data());
  const std::uintptr_t index = (at - first) / sizeof(RenderNode);
  return at >= first && index < kAsciiNodes.size() ? static_cast<char32_t>(index) : U'\0';
}

Result<NodeRef> RenderNode::picture(const char32_t* cells, std::size_t width, std::size_t height,
                                    std::size_t baseline) {
  return make_node(width, height, baseline, Picture{cells});
}

Result<NodeRef> RenderNode::run(const char32_t* cells, std::size_t width) {
  return make_node(width, 1, 0, Run{cells});
}

// ---- the canvas ----

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
  if (const auto cells = held_cells(node); !cells.empty() && probe_ == nullptr) {
    // A character or a text run is written at once, `map` first, then the others in force.
    if (y >= clip_) return;
    for (std::size_t i = 0; i < cells.size() && x + i < width_; ++i) {
      if (cells[i] == kUnpainted) continue;
      char32_t ch = map(cells[i]);
      for (std::size_t k = map_count_; k-- > 0;)
        if (maps_[k] != map) ch = maps_[k](ch);
      cells_[y * stride_ + x + i] = ch;
    }
    return;
  }
  if (found == end) {  // not in force: in and out again
    maps_[map_count_++] = map;
    paint(node, x, y);
    --map_count_;
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

void Canvas::paint_script(const RenderNode& node, std::size_t x, std::size_t y, CharMap map,
                          ProbeMemo& memo) {
  const auto walk = [&] { map != nullptr ? paint_mapped(node, x, y, map) : paint(node, x, y); };
  if (probe_ == nullptr || y >= clip_ || !probe_->converts) return walk();
  // In a probe the script is on row 0, the one row looked at: what it finds depends only on the
  // probe's map and the maps in force. Only one is remembered.
  CharMap inner = map;
  if (map_count_ > 1 || (map_count_ == 1 && map != nullptr && map != maps_[0])) return walk();
  if (map_count_ == 1) inner = maps_[0];
  if (memo.probe != probe_->map || memo.inner != inner) {
    const std::size_t before = probe_->written;
    probe_->written = 0;
    walk();
    memo = {probe_->map, inner, probe_->written, probe_->converts};
    probe_->written += before;
    return;
  }
  probe_->written += memo.written;
  probe_->converts = memo.converts;
}

void Canvas::look(char32_t ch) noexcept {
  ++probe_->written;
  if (probe_->map(ch) == U'\0') probe_->converts = false;
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

void Canvas::column(std::size_t x, std::size_t y, std::size_t height,
                    const Pieces& pieces) noexcept {
  if (height == 0) return;
  put(x, y, pieces.top);
  if (height > 2) down(x, y + 1, height - 2, pieces.middle);
  put(x, y + height - 1, pieces.bottom);
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
      // A mark joins the character before it, or a blank of its own at the start of the text.
      if (x == start) put(x++, y, U' ');
      join(x - 1, y, ch);
      continue;
    }
    put(x++, y, ch);
    if (width == 2) put(x++, y, kWideTail);
  }
}

void MarkList::push(Mark mark) {
  if (size_ == capacity_) {
    capacity_ = std::max<std::size_t>(8, 2 * capacity_);
    Mark* grown = current_arena().allocate_array<Mark>(capacity_);
    std::copy_n(items_, size_, grown);
    items_ = grown;
  }
  items_[size_++] = mark;
}

// A probe cannot shrink a mark to a script.
void Canvas::join(std::size_t x, std::size_t y, char32_t mark) {
  columns_differ_ = true;
  if (probe_ != nullptr) {
    probe_->converts = false;
  } else if (marks_ != nullptr && x < width_ && y < clip_) {
    marks_->push({y * stride_ + x, mapped(mark)});
  }
}

[[gnu::noinline]] void Canvas::put_mapped(std::size_t x, std::size_t y, char32_t ch) noexcept {
  ch = mapped(ch);
  if (probe_ != nullptr) {
    look(ch);
  } else if (x < width_) {
    cells_[y * stride_ + x] = ch;
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

void Canvas::run(std::size_t x, std::size_t y, const char32_t* cells, std::size_t count) noexcept {
  if (y >= clip_) return;
  if (probe_ != nullptr || map_count_ != 0) {
    for (std::size_t i = 0; i < count; ++i)
      if (cells[i] != kUnpainted) put_mapped(x + i, y, cells[i]);
    return;
  }
  if (x >= width_) return;
  char32_t* row = cells_ + y * stride_ + x;
  const std::size_t end = std::min(count, width_ - x);
  for (std::size_t i = 0; i < end; ++i)
    if (cells[i] != kUnpainted) row[i] = cells[i];
}

void Canvas::cells(std::size_t x, std::size_t y, const char32_t* cells, std::size_t width,
                   std::size_t height) noexcept {
  for (std::size_t r = 0; r < height; ++r)
    for (std::size_t c = 0; c < width; ++c) put(x + c, y + r, cells[r * width + c]);
}

ProbeMemo Canvas::probe(const RenderNode& node, CharMap map) {
  if (const auto cells = held_cells(node); !cells.empty()) {
    // A character or a text run: its cells are looked at without painting.
    ProbeMemo found{map, nullptr, 0, true};
    for (const char32_t ch : cells) {
      if (ch == kUnpainted) continue;
      ++found.written;
      if (map(ch) == U'\0') found.converts = false;
    }
    return found;
  }
  Probe probe{map};
  Canvas canvas(probe);
  canvas.paint(node, 0, 0);
  return {map, nullptr, probe.written, probe.converts};
}

bool Canvas::converts_whole_row(const RenderNode& node, CharMap map) {
  const ProbeMemo found = Canvas::probe(node, map);
  return found.converts && found.written == node.width;
}

// ---- rows of items ----

namespace {

struct Row {  // items side by side on a common baseline
  const NodeRef* items;
  std::size_t count;
};

void paint(const Row& shape, const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y) {
  for (const NodeRef item : std::span(shape.items, shape.count)) {
    canvas.paint(*item, x, y + self.baseline - item->baseline);
    x += item->width;
  }
}

struct Overlap {  // content that takes no room in a row, over what is beside it
  NodeRef content;
  std::int32_t side;  // 1: it reaches right from where it stands; −1: left; 0: both, centred
};

void paint(const Overlap& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.content, x, y);
}

struct Placed {  // items on a common baseline at columns of their own (a row with overlaps)
  const NodeRef* items;
  const std::uint32_t* columns;
  std::size_t count;
};

void paint(const Placed& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  // The overlaps last: where a character of theirs falls on one of the row's, theirs shows.
  for (const bool overlaps : {false, true}) {
    for (std::size_t i = 0; i < shape.count; ++i) {
      const NodeRef item = shape.items[i];
      if ((item->painter == &detail::paint_shape<Overlap>) == overlaps)
        canvas.paint(*item, x + shape.columns[i], y + self.baseline - item->baseline);
    }
  }
}

// A row holding overlaps: every other item after the one before it, every overlap where it
// reaches from there, the row as wide as all of them from the leftmost reach.
Result<NodeRef> placed(std::span<const NodeRef> items, std::size_t ascent, std::size_t descent,
                       Binding binding) {
  auto* columns = current_arena().allocate_array<std::uint32_t>(items.size());
  auto* starts = current_arena().allocate_array<std::ptrdiff_t>(items.size());
  std::ptrdiff_t at = 0, low = 0, high = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const NodeRef item = items[i];
    const auto width = static_cast<std::ptrdiff_t>(item->width);
    std::ptrdiff_t start = at;
    if (item->painter == &detail::paint_shape<Overlap>) {
      Overlap shape;
      std::memcpy(&shape, item->shape.bytes, sizeof shape);
      start = shape.side > 0 ? at : shape.side < 0 ? at - width : at - width / 2;
    } else {
      at += width;
    }
    starts[i] = start;
    low = std::min(low, start);
    high = std::max(high, start + width);
    if (high - low > static_cast<std::ptrdiff_t>(kMaxCells))
      return fail(std::string(message::kTooLarge));
  }
  for (std::size_t i = 0; i < items.size(); ++i)
    columns[i] = static_cast<std::uint32_t>(starts[i] - low);
  auto node = make_node(static_cast<std::size_t>(high - low), add_sat(ascent, descent), ascent,
                        Placed{items.data(), columns, items.size()});
  if (node) (*node)->binding = binding;
  return node;
}

}  // namespace

Result<NodeRef> RenderNode::overlap(NodeRef content, int side) {
  return make_node(content->width, content->height, content->baseline,
                   Overlap{content, static_cast<std::int32_t>(side)});
}

Result<NodeRef> RenderNode::hstack(std::span<const NodeRef> items, Binding binding) {
  if (items.empty()) return empty();
  if (items.size() == 1) return items.front();
  std::size_t ascent = 0, descent = 0, width = 0;
  bool overlaps = false;
  for (NodeRef item : items) {
    ascent = std::max<std::size_t>(ascent, item->baseline);
    descent = std::max(descent, item->descent());
    width = add_sat(width, item->width);
    overlaps |= item->painter == &detail::paint_shape<Overlap>;
  }
  if (overlaps) return placed(items, ascent, descent, binding);
  auto node = make_node(width, add_sat(ascent, descent), ascent, Row{items.data(), items.size()});
  if (node) (*node)->binding = binding;
  return node;
}

// ---- stacks ----

namespace {

struct Stack {  // one half over a full-width rule row over the other (fractions, binomials)
  NodeRef top, bottom;
  char32_t rule;
  std::uint32_t top_row;  // where the upper half starts; the lower one starts below the rule
};

void paint(const Stack& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.top, x + (self.width - shape.top->width) / 2, y + shape.top_row);
  canvas.paint(*shape.bottom, x + (self.width - shape.bottom->width) / 2, y + self.baseline + 1);
  canvas.across(x, y + self.baseline, self.width, shape.rule);
}

}  // namespace

Result<NodeRef> RenderNode::vstack(NodeRef top, NodeRef bottom, char32_t rule) {
  const std::size_t w = std::max(top->width, bottom->width);
  const std::size_t h = std::max(top->height, bottom->height);
  return make_node(w, add_sat(add_sat(h, h), 1), h,
                   Stack{top, bottom, rule, static_cast<std::uint32_t>(h - top->height)});
}

namespace {

// Whether a node is a fraction: a stack with a rule between its halves.
bool ruled(NodeRef node) {
  static_assert(!detail::kHeldInNode<Stack>);
  if (node->painter != &detail::paint_shape<Stack>) return false;
  const Stack* shape;
  std::memcpy(&shape, node->shape.bytes, sizeof shape);
  return shape->rule != U' ';
}

}  // namespace

Result<NodeRef> RenderNode::tight_vstack(NodeRef top, NodeRef bottom, char32_t rule) {
  // A rule over or under a fraction as wide as the stack reaches a column past it on either
  // side, so that the main rule is the longest, as TeX's blank beside every fraction makes it.
  const bool over_rule =
      (ruled(top) && top->width >= bottom->width) || (ruled(bottom) && bottom->width >= top->width);
  const std::size_t reach = rule != U' ' && over_rule ? 2 : 0;
  const std::size_t w = add_sat(std::max(top->width, bottom->width), reach);
  return make_node(w, add_sat(add_sat(top->height, bottom->height), 1), top->height,
                   Stack{top, bottom, rule, 0});
}

// ---- infix chains ----
//
// Nesting two-operand chains from the left puts every operand's baseline on the largest baseline
// B and every operator on row B, one blank on each side. When no operand reaches down to row B
// (empty or accented empty operands) the node grows to include it, so every operator has a row to
// stand on.

namespace {

struct Chain {              // operands joined by infix operators, one blank each side
  const NodeRef* operands;  // count of them
  const char32_t* ops;      // count − 1 of them
  std::size_t count;
  std::size_t baseline;  // the largest operand baseline: every operator's row
};

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

}  // namespace

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
  return make_node(width, height, base, Chain{operands.data(), ops.data(), operands.size(), base});
}

// ---- prefixes ----

namespace {

struct Prefix {  // a sign on the operand's baseline row, directly against it
  NodeRef operand;
  char32_t sign;
};

void paint(const Prefix& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.put(x, y + self.baseline, shape.sign);
  canvas.paint(*shape.operand, x + 1, y);
}

}  // namespace

Result<NodeRef> RenderNode::prefix(char32_t sign, NodeRef operand) {
  // An operand that does not reach its own baseline (an empty group) grows down to it, so the
  // sign has a row.
  const std::size_t height = std::max<std::size_t>(operand->height, add_sat(operand->baseline, 1));
  return make_node(add_sat(operand->width, 1), height, operand->baseline, Prefix{operand, sign});
}

// ---- styled content ----

namespace {

struct Styled {  // the content with every character it paints passed through a map
  NodeRef content;
  CharMap map;
};

void paint(const Styled& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint_mapped(*shape.content, x, y, shape.map);
}

}  // namespace

Result<NodeRef> RenderNode::styled(NodeRef content, CharMap map) {
  auto node = make_node(content->width, content->height, content->baseline, Styled{content, map});
  if (node) (*node)->binding = content->binding;
  return node;
}

}  // namespace vok
