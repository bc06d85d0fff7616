// The layout engine: the picture of a formula as a tree of measured nodes, drawn in two passes.
//
// Measure. A RenderNode is a rectangle with one distinguished row, the baseline, on which
// compositions align their parts: its width, height and baseline, and its shape, which says how
// it is drawn from its children. Every composition builds the node of one drawing from the nodes
// of its parts, bottom-up, computing its size and nothing else: no picture cell is allocated and
// no character is written. A text run is the one leaf that holds cells of its own: the characters
// of a stretch of atoms, gathered while measuring (measure.cpp) and copied into the picture when
// it is painted. Every node is checked against the size limit when it is made, so a formula
// that is too large fails here, in time linear in its tree. The one exception to "no drawing while
// measuring" is the compact script test, which paints a one-row script through a probing canvas
// that only looks at the characters (see layout_scripts.cpp).
//
// Paint. The root's picture is allocated once and filled with blanks; then every node writes its
// own characters at their final place and paints its children at their offsets inside it, through
// a Canvas, the one place where characters are written. No part has a picture of its own to copy.
// Placement clips at the bottom only: a child's rows below its parent's last row are not drawn.
// Centring drops the remainder: an odd spare column goes to the right, an odd spare row below.
//
// Shapes. A shape is a small struct declared in the file of its drawing, beside the composition
// that measures it and the `paint` overload that draws it; make_node keeps it in the node (or, past
// 16 bytes, in the arena) together with that paint. Nothing outside the file names it, so a new
// drawing is one file's business. This header declares the compositions every stage shares; the
// drawings of single constructs (signs, radicals, accents, frames) are reached through their
// constructs (constructs.hpp).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

#include "arena.hpp"
#include "error.hpp"
#include "glyphs.hpp"

namespace vok {

// The largest picture, in cells, that a formula may ask for: every node is checked against it,
// counting a zero width or height as one (a zero-width node still prints one line per row).
inline constexpr std::size_t kMaxCells = std::size_t{1} << 24;

struct RenderNode;
using NodeRef = const RenderNode*;  // a node of the call's arena, or a constant one; never null
class Canvas;

// How a dialect sets scripts.
struct ScriptStyle {
  CharMap superscripts;  // a character's superscript form, or 0 when it has none
  CharMap subscripts;    // a character's subscript form, or 0
  bool low_subscripts;   // under a base of several rows a compact subscript goes on its last row
  bool beside_marks;     // a compact superscript of a letter under a mark stands beside the letter
  bool compact_pairs;    // both scripts may be compact at once
};

// How limits are set above and below a base.
struct LimitStyle {
  bool centred;      // each piece centred on the widest; else all left-aligned with one blank
                     // column on the right
  bool equal_bands;  // both limits in bands of the taller one's height, so the base stays centred
  bool on_sign = false;  // a large operator's limits go on its sign alone, its operand beside
                         // them, and a row that sets its scripts beside its sign (an integral's)
                         // sets them at the sign's right; else over sign and operand together
};

// Limits centred on the widest piece, each in rows of its own height, as TeX sets them.
inline constexpr LimitStyle kCentredLimits{.centred = true, .equal_bands = false};

// A rule of a table, at a boundary of its columns or above one of its rows.
enum class Rule : std::uint8_t {
  None,
  Solid,   // │ ─
  Dashed,  // ╎ ╌
  Double,  // ║ ═: two rules, of any kinds
};

// The rule where `added` is drawn beside `rule`: two rules show as a double one.
[[nodiscard]] constexpr Rule beside(Rule rule, Rule added) noexcept {
  return rule == Rule::None ? added : Rule::Double;
}

// How a table sets out its cells (the LaTeX dialect's environments). The alignments repeat across
// when there are more columns than letters; rules and lines past the end of their lists are none.
struct TableLayout {
  std::string_view align = "c";      // 'l', 'c' or 'r' for each column
  std::span<const Rule> rules = {};  // vertical rules at each column boundary, the left edge
                                     // first
  std::span<const Rule> lines = {};  // horizontal rules above each row, then below the last
  std::uint8_t gap = 2;              // blank columns between neighbouring columns
  bool pairs = false;                // columns in right-left pairs that touch (amsmath)
  bool labelled = false;  // the last column holds the rows' labels, right-aligned and set apart
  std::array<char32_t, 2> fence = {0, 0};  // the delimiters around it, 0 for none
};

// How a node of a formula's one-row form binds to what is around it, which says where its
// neighbours need parentheses to keep their sense (linear.cpp). Pictures ignore it.
enum class Binding : std::uint8_t {
  Loose,  // several atoms, or atoms and operators: bracketed as an operand (a + b, 2a)
  Atom,   // one atom: a character, a number, a word, something already bracketed
  Slash,  // a fraction a/b: bracketed as an operand, and beside a factor
  Tail,   // ends in an unbracketed atom that a touching factor would seem to join (x^α, √x)
};

// Draws a node whose top-left cell is at (x, y): the paint of its shape, which reads the shape
// from the node.
using Painter = void (*)(const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y);

// Where a node keeps its shape: a shape of up to 16 bytes is copied in, a larger one is kept in the
// arena and pointed to; a one-character leaf keeps its character.
union ShapeData {
  char32_t ch;
  unsigned char bytes[16];
};

struct RenderNode {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t baseline = 0;  // normally a row; the empty node, and a few nodes grown from it,
                               // have their baseline on or past their last row
  bool under_mark = false;     // one row of content under a mark on a row of its own (an accent):
                               // a superscript may stand beside the content rather than the mark
  Binding binding = Binding::Loose;  // in a one-row form, how it binds (one cell: an atom)
  Painter painter = nullptr;         // null: blanks only
  ShapeData shape = {};

  // Rows below the baseline (0 when the baseline is on or past the last row).
  [[nodiscard]] std::size_t descent() const noexcept {
    return baseline < height ? height - baseline : 0;
  }
  // How it binds: one cell at most is an atom, whatever made it.
  [[nodiscard]] Binding bound() const noexcept { return width <= 1 ? Binding::Atom : binding; }

  // ---- leaves (layout.cpp) ----

  // The empty node: width, height and baseline 0. Stands for an absent piece.
  [[nodiscard]] static NodeRef empty() noexcept;
  // An all-blank node of the given size (the baseline is stored unchecked).
  [[nodiscard]] static Result<NodeRef> blank(std::size_t width, std::size_t height,
                                             std::size_t baseline);
  // One row holding the characters of a UTF-8 text, one cell each; baseline 0. The text must
  // outlive the call (a view of the input, or of a constant).
  [[nodiscard]] static Result<NodeRef> row(std::string_view utf8);
  // The same with a cell to each display column (LaTeX): a wide character takes two cells, a
  // combining mark or another character of no width joins the cell before it (one of its own at
  // the start of the text).
  [[nodiscard]] static Result<NodeRef> column_row(std::string_view utf8);
  // One cell.
  [[nodiscard]] static Result<NodeRef> single(char32_t ch);
  // The character of a node that is one ASCII character (as row and single make it), else 0.
  [[nodiscard]] static char32_t ascii_of(NodeRef node) noexcept;
  // Fixed cells, width × height of them row-major, which must outlive the call.
  [[nodiscard]] static Result<NodeRef> picture(const char32_t* cells, std::size_t width,
                                               std::size_t height, std::size_t baseline);
  // A text run: one row of `width` cells, each a character or kUnpainted, which must outlive the
  // call; baseline 0. It stands for a stretch of atoms of one row each (letters, digits, signs
  // and the blanks between them) drawn as one node and painted with one copy (measure.cpp).
  [[nodiscard]] static Result<NodeRef> run(const char32_t* cells, std::size_t width);

  // ---- general compositions (layout.cpp) ----

  // The items side by side, touching, their baselines on a common row, binding as `binding`
  // says (a single item as it is). The list is kept, not copied: it must live as long as the call
  // (an array of its arena).
  [[nodiscard]] static Result<NodeRef> hstack(std::span<const NodeRef> items,
                                              Binding binding = Binding::Loose);
  // `top` over a full-width row of `rule` over `bottom`, both centred; the rule row is the
  // baseline and both halves get the taller half's height.
  [[nodiscard]] static Result<NodeRef> vstack(NodeRef top, NodeRef bottom, char32_t rule);
  // `top` right above a full-width row of `rule`, `bottom` right below, both centred; the rule
  // row is the baseline (LaTeX's fractions, which add no blank rows).
  [[nodiscard]] static Result<NodeRef> tight_vstack(NodeRef top, NodeRef bottom, char32_t rule);
  // A left-associative chain o0 op0 o1 op1 o2 … (ops.size() == operands.size() − 1, operands
  // not empty), one blank on each side of every operator, all on a common baseline: the same
  // picture as nesting two-operand chains from the left. Both lists are kept, not copied.
  [[nodiscard]] static Result<NodeRef> infix_chain(std::span<const NodeRef> operands,
                                                   std::span<const char32_t> ops);
  // `sign` on the operand's baseline row, directly in front of it.
  [[nodiscard]] static Result<NodeRef> prefix(char32_t sign, NodeRef operand);
  // `content` over what is beside it in a row: from where it stands to the right (`side` 1), to
  // the left (−1), or centred there (0). In a row it takes no room; alone it is as wide as it is.
  [[nodiscard]] static Result<NodeRef> overlap(NodeRef content, int side);
  // The content with every character it paints passed through `map`; the same size.
  [[nodiscard]] static Result<NodeRef> styled(NodeRef content, CharMap map);

  // ---- scripts and limits (layout_scripts.cpp) ----

  // `base` with `sup` at its upper right: superscript characters on the base's top row when `sup`
  // is one row of characters that all have one in the style, otherwise on rows of its own above.
  [[nodiscard]] static Result<NodeRef> superscript(NodeRef base, NodeRef sup,
                                                   const ScriptStyle& style);
  // `base` with `sub` at its lower right: subscript characters on the base's baseline row when
  // possible, otherwise on rows of its own starting just below the baseline.
  [[nodiscard]] static Result<NodeRef> subscript(NodeRef base, NodeRef sub,
                                                 const ScriptStyle& style);
  // `base` with `sup` above and `sub` below, both left-aligned right after the base; in the
  // style's compact pairs, both in script characters when both have them: the superscript on the
  // base's top row and the subscript on its last row, or, beside a one-row base, the two side by
  // side, the subscript first unless `sup_first`.
  [[nodiscard]] static Result<NodeRef> both_scripts(NodeRef base, NodeRef sub, NodeRef sup,
                                                    const ScriptStyle& style, bool sup_first);
  // `base` followed by `count` apostrophes on its baseline row.
  [[nodiscard]] static Result<NodeRef> prime_suffix(NodeRef base, std::size_t count);
  // An integral's limits at the right of its sign `base` (either may be null): in script
  // characters on the sign's first and last rows when they have them, else the upper one ending on
  // the sign's first row and the lower one starting on its last row.
  [[nodiscard]] static Result<NodeRef> side_limits(NodeRef base, NodeRef lower, NodeRef upper,
                                                   const ScriptStyle& style);
  // `upper` above, `base`, `lower` below, as the style sets limits.
  [[nodiscard]] static Result<NodeRef> limits(NodeRef base, NodeRef lower, NodeRef upper,
                                              const LimitStyle& style);

  // ---- delimiters (layout_delimiters.cpp) ----

  // `inner` between delimiters as tall as it: the characters themselves around one row; around
  // two rows or more the pieces of a pair that has them (( ) [ ] { } | |), else the characters
  // repeated down each side. A delimiter 0 is none: nothing is drawn on that side.
  [[nodiscard]] static Result<NodeRef> fence(NodeRef inner, char32_t open, char32_t close);
  // The parts side by side on a common baseline between delimiters as tall as they are (LaTeX's
  // \left … \middle … \right): `delimiters` has one more entry than `parts`, 0 for none. Around
  // one row the characters stand against the content; around two or more each is drawn from its
  // own pieces, one blank column away. Both lists are kept, not copied.
  [[nodiscard]] static Result<NodeRef> fenced(std::span<const NodeRef> parts,
                                              std::span<const char32_t> delimiters);
  // A delimiter `rows` rows high (1, 3, 5, 7: LaTeX's \big sizes), centred on the baseline.
  [[nodiscard]] static Result<NodeRef> sized_delimiter(char32_t delimiter, std::size_t rows);

  // ---- matrices and tables (layout_tables.cpp) ----

  // The cells of a matrix in equal-width columns and evenly pitched rows, between the delimiters
  // `open` and `close` (repeated on every row when they are not bracket pairs). Rows are cut to
  // the first row's length (the caller checks that they all have it) and kept, not copied.
  [[nodiscard]] static Result<NodeRef> matrix(char32_t open, char32_t close,
                                              std::span<const std::span<const NodeRef>> rows);
  // The cells of a table (LaTeX): each column as wide as its widest cell, aligned within it and
  // set `layout.gap` apart; each row as tall as its tallest cell, its cells on a common baseline,
  // with a blank row between two rows when either is taller than one row; rules where the layout
  // asks; the table's baseline its middle row, and its delimiters around it. The rows and the
  // layout are kept, not copied.
  [[nodiscard]] static Result<NodeRef> table(std::span<const std::span<const NodeRef>> rows,
                                             const TableLayout& layout);
};

static_assert(sizeof(RenderNode) <= 40, "a node per atom: nodes stay small");
// ---- nodes and shapes ----

namespace detail {
// The error of a node too large, apart from the nodes made (layout.cpp).
[[nodiscard, gnu::cold]] Result<RenderNode*> too_large_node();
}  // namespace detail

// A new node with `painter`, or "formula too large to render" when it would hold more than
// kMaxCells cells: the one place that checks the size limit.
[[nodiscard]] inline Result<RenderNode*> new_node(std::size_t width, std::size_t height,
                                                  std::size_t baseline, Painter painter) {
  const std::size_t w = std::max<std::size_t>(width, 1);
  const std::size_t h = std::max<std::size_t>(height, 1);
  // Both at most 2^24, the product cannot wrap; a baseline is never below the last row but one.
  if (w > kMaxCells || h > kMaxCells || w * h > kMaxCells || baseline > kMaxCells)
    return detail::too_large_node();
  return current_arena().make<RenderNode>(
      RenderNode{.width = static_cast<std::uint32_t>(width),
                 .height = static_cast<std::uint32_t>(height),
                 .baseline = static_cast<std::uint32_t>(baseline),
                 .painter = painter});
}

// A new node of the given size holding `shape`, a trivially copyable struct with an overload
//   void paint(const Shape&, const RenderNode& self, Canvas&, std::size_t x, std::size_t y)
// declared beside it.
template <class Shape>
[[nodiscard]] Result<RenderNode*> make_node(std::size_t width, std::size_t height,
                                            std::size_t baseline, const Shape& shape);

namespace detail {

template <class Shape>
inline constexpr bool kHeldInNode = sizeof(Shape) <= sizeof(ShapeData);

// The painter of nodes holding a Shape.
template <class Shape>
void paint_shape(const RenderNode& self, Canvas& canvas, std::size_t x, std::size_t y) {
  if constexpr (kHeldInNode<Shape>) {
    Shape shape;
    std::memcpy(&shape, self.shape.bytes, sizeof shape);
    paint(shape, self, canvas, x, y);
  } else {
    const Shape* shape;
    std::memcpy(&shape, self.shape.bytes, sizeof shape);
    paint(*shape, self, canvas, x, y);
  }
}

}  // namespace detail

template <class Shape>
Result<RenderNode*> make_node(std::size_t width, std::size_t height, std::size_t baseline,
                              const Shape& shape) {
  static_assert(std::is_trivially_copyable_v<Shape>, "shapes are copied into nodes and arenas");
  auto node = new_node(width, height, baseline, &detail::paint_shape<Shape>);
  if (!node) return node;
  if constexpr (detail::kHeldInNode<Shape>) {
    std::memcpy((*node)->shape.bytes, &shape, sizeof shape);
  } else {
    const Shape* kept = current_arena().make<Shape>(shape);
    std::memcpy((*node)->shape.bytes, &kept, sizeof kept);
  }
  return *node;
}

// ---- painting (layout.cpp) ----

// The cell after a wide character's, its second display column: written as nothing.
inline constexpr char32_t kWideTail = 0x110000;
// A cell of a text run that paints nothing, as a blank node paints nothing: what is under it stays.
inline constexpr char32_t kUnpainted = 0x110001;
// A character of no width joined to a cell, written right after the cell's character.
struct Mark {
  std::size_t cell;  // row * stride + column
  char32_t ch;
};

// The marks joined to the cells of a picture, in the order they were painted, in the current
// arena.
class MarkList {
 public:
  void push(Mark mark);
  [[nodiscard]] std::span<Mark> items() const noexcept { return {items_, size_}; }

 private:
  Mark* items_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// What a probe found when it walked a script, and under which maps (see Canvas::paint_script).
struct ProbeMemo {
  CharMap probe = nullptr;  // the map the probe tested the characters with
  CharMap inner = nullptr;  // the one map in force at the script, or null for none
  std::size_t written = 0;  // the cells it wrote
  bool converts = false;    // whether every character converted
};

// Where a node's characters go: the picture of the whole formula, or a probe that only looks at
// them. Coordinates are absolute: x a column, y a row of the picture.
class Canvas {
 public:
  // A canvas over `rows` rows of `width` cells, `stride` cells apart, all blank already.
  Canvas(char32_t* cells, std::size_t width, std::size_t rows, std::size_t stride) noexcept
      : cells_(cells), width_(width), stride_(stride), clip_(rows) {}

  // Paints `node` with its top-left cell at (x, y). Its rows below `y + node.height`, and below
  // the node being painted now, are not drawn.
  void paint(const RenderNode& node, std::size_t x, std::size_t y);
  // The same with `map` applied to every character the node paints, inside the maps in force.
  void paint_mapped(const RenderNode& node, std::size_t x, std::size_t y, CharMap map);
  // A script of a script's node, painted as paint_mapped does (as paint does when `map` is null).
  // A probe takes what `memo` says when it was found under the same maps, else walks the script
  // and leaves its finding there: one-row scripts nested in one another are walked by the probe
  // of every level, and this keeps each walked at most twice.
  void paint_script(const RenderNode& node, std::size_t x, std::size_t y, CharMap map,
                    ProbeMemo& memo);

  // One character, `count` copies across, `count` copies down, the characters of a text.
  void put(std::size_t x, std::size_t y, char32_t ch) noexcept {
    if (y >= clip_) return;
    if (probe_ != nullptr || map_count_ != 0) {
      put_mapped(x, y, ch);
    } else if (x < width_) {
      cells_[y * stride_ + x] = ch;
    }
  }
  void across(std::size_t x, std::size_t y, std::size_t count, char32_t ch) noexcept;
  void down(std::size_t x, std::size_t y, std::size_t count, char32_t ch) noexcept;
  void text(std::size_t x, std::size_t y, std::string_view utf8) noexcept;
  // The `count` cells of a text run (see RenderNode::run).
  void run(std::size_t x, std::size_t y, const char32_t* cells, std::size_t count) noexcept;
  // A text with a cell to each display column: see RenderNode::column_row.
  void column_text(std::size_t x, std::size_t y, std::string_view utf8);
  // Where the marks joined to cells are kept (none are kept without one).
  void keep_marks(MarkList* marks) noexcept { marks_ = marks; }
  // A mark of no width (a combining character) joined to the cell at (x, y).
  void join(std::size_t x, std::size_t y, char32_t mark);
  // The character painted at (x, y) so far, 0 off the picture or in a probe.
  [[nodiscard]] char32_t at(std::size_t x, std::size_t y) const noexcept {
    return cells_ != nullptr && x < width_ && y < clip_ ? cells_[y * stride_ + x] : 0;
  }
  // Whether a wide character or a mark has been painted: cells and display columns then differ.
  [[nodiscard]] bool columns_differ() const noexcept { return columns_differ_; }
  void cells(std::size_t x, std::size_t y, const char32_t* cells, std::size_t width,
             std::size_t height) noexcept;
  // One side of a tall sign down column x, over `height` rows from row y: the top, the middle
  // rows and the bottom, written last, so that a one-row sign is its bottom alone.
  void column(std::size_t x, std::size_t y, std::size_t height, const Pieces& pieces) noexcept;

  // Whether the one-row `node` paints a character into every cell, each of which `map` converts
  // (maps it to a character other than 0): the node painted through a probe that keeps no cell.
  [[nodiscard]] static bool converts_whole_row(const RenderNode& node, CharMap map);
  // The same probe's finding, for a node painted later with no map in force (a script on rows of
  // its own). A probe stops at the first character that does not convert.
  [[nodiscard]] static ProbeMemo probe(const RenderNode& node, CharMap map);

 private:
  struct Probe {
    CharMap map;
    std::size_t written = 0;
    bool converts = true;
  };
  explicit Canvas(Probe& probe) noexcept : probe_(&probe), clip_(1) {}

  [[nodiscard]] char32_t mapped(char32_t ch) const noexcept {
    for (std::size_t i = map_count_; i-- > 0;) ch = maps_[i](ch);
    return ch;
  }
  void look(char32_t ch) noexcept;
  // put() under maps or a probe, apart from its common case.
  void put_mapped(std::size_t x, std::size_t y, char32_t ch) noexcept;

  static constexpr std::size_t kMaxMaps = 32;  // far more than there are distinct maps

  char32_t* cells_ = nullptr;
  Probe* probe_ = nullptr;
  std::size_t width_ = 0;
  std::size_t stride_ = 0;
  std::size_t clip_ = 0;    // rows from here down are not drawn
  CharMap maps_[kMaxMaps];  // the first map_count_: innermost last, each at most once
  std::size_t map_count_ = 0;
  MarkList* marks_ = nullptr;
  bool columns_differ_ = false;
};

inline void Canvas::paint(const RenderNode& node, std::size_t x, std::size_t y) {
  if (y >= clip_ || (probe_ != nullptr && !probe_->converts)) return;
  const std::size_t saved = clip_;
  clip_ = std::min(clip_, y + node.height);
  if (node.painter != nullptr) node.painter(node, *this, x, y);
  clip_ = saved;
}

// Sizes saturate instead of wrapping, so that an absurd size reaches the size check and is refused.
inline constexpr std::size_t kSaturated = static_cast<std::size_t>(-1);
[[nodiscard]] constexpr std::size_t add_sat(std::size_t a, std::size_t b) noexcept {
  return a + b < a ? kSaturated : a + b;
}
[[nodiscard]] constexpr std::size_t mul_sat(std::size_t a, std::size_t b) noexcept {
  return b != 0 && a > kSaturated / b ? kSaturated : a * b;
}

}  // namespace vok
