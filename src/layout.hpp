// The layout engine: the picture of a formula as a tree of measured nodes, drawn in two passes.
//
// Measure. A RenderNode is a rectangle with one distinguished row, the baseline, on which
// compositions align their parts: its width, height and baseline, and its shape, which says how
// it is drawn from its children. Every composition below builds the node of one construct from
// the nodes of its parts, bottom-up, computing its size and nothing else: no cell is allocated and
// no character is written. Every node is checked against the size limit when it is made, so a
// formula that is too large fails here, in time linear in its tree. The one exception to "no
// drawing while measuring" is the compact script test, which paints a one-row script through a
// probing canvas that only looks at the characters (see layout_scripts.cpp).
//
// Paint. The root's picture is allocated once and filled with blanks; then every node writes its
// own characters at their final place and paints its children at their offsets inside it, through
// a Canvas, the one place where characters are written. Nothing is copied. Placement clips at the
// bottom only: a child's rows below its parent's last row are not drawn. Centring drops the
// remainder: an odd spare column goes to the right, an odd spare row below.
//
// Each construct keeps its measure (a static function of RenderNode) and its paint (an overload of
// `paint` for its shape) side by side in the file that owns it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "error.hpp"

namespace vok {

// The largest picture, in cells, that a formula may ask for: every node is checked against it,
// counting a zero width or height as one (a zero-width node still prints one line per row).
inline constexpr std::size_t kMaxCells = std::size_t{1} << 24;

struct RenderNode;
using NodeRef = const RenderNode*;  // a node of the call's arena, or a constant one; never null

// A character map applied to everything a node paints: a math alphabet, or the conversion of a
// compact script. Characters it does not map come back unchanged.
using CharMap = char32_t (*)(char32_t) noexcept;

// The compact forms of scripts: a character's superscript or subscript form, or 0 when it has
// none; the LaTeX dialect's superscripts keep prime marks as they are.
[[nodiscard]] char32_t superscript_form(char32_t ch) noexcept;
[[nodiscard]] char32_t subscript_form(char32_t ch) noexcept;
[[nodiscard]] char32_t prime_or_superscript_form(char32_t ch) noexcept;
// The LaTeX dialect's subscript forms: the exact markup's without its y, which Unicode has only as
// a subscript Greek gamma (ᵧ), read as γ.
[[nodiscard]] char32_t latex_subscript_form(char32_t ch) noexcept;
// The forms of ASCII pictures (LaTeX): prime marks stay beside their letter, and nothing else has
// a script form, so scripts go on rows of their own.
[[nodiscard]] char32_t prime_form(char32_t ch) noexcept;
[[nodiscard]] char32_t no_form(char32_t ch) noexcept;

// The ASCII spelling of a character of a picture (LaTeX's ascii option): box-drawing and bracket
// pieces as - | / \ + = [ ] < >, the signs' strokes likewise, and the symbols that have a
// one-character spelling (′ as ', − as -); every other character comes back unchanged.
[[nodiscard]] char32_t ascii_form(char32_t ch) noexcept;

// How a table sets out its cells (the LaTeX dialect's environments). The alignments repeat across
// when there are more columns than letters; rules and lines past the end of their lists are none.
struct TableLayout {
  std::string_view align = "c";              // 'l', 'c' or 'r' for each column
  std::span<const std::uint8_t> rules = {};  // vertical rules at each column boundary, the
                                             // left edge first: 1 draws │, 2 or more ║
  std::span<const std::uint8_t> lines = {};  // horizontal rules above each row, then below the
                                             // last
  std::uint8_t gap = 2;                      // blank columns between neighbouring columns
  bool pairs = false;                        // columns in right-left pairs that touch (amsmath)
  std::array<char32_t, 2> fence = {0, 0};    // the delimiters around it, 0 for none
};

// ---- shapes: what a node draws (small ones are held in the node, larger ones pointed to) ----

namespace shapes {

struct Text {  // the characters of a UTF-8 text on one row (a malformed byte draws U+FFFD)
  const char* data;
  std::size_t bytes;
};
struct ColumnText {  // the same, a cell to each display column (LaTeX): a wide character takes
                     // two, a combining mark joins the cell before it
  const char* data;
  std::size_t bytes;
};
struct Char {  // one character
  char32_t ch;
};
struct Blank {};  // blanks only: spacing, and the empty node
struct Picture {  // fixed cells, row-major, width × height of them
  const char32_t* cells;
};
struct Row {  // items side by side on a common baseline
  const NodeRef* items;
  std::size_t count;
};
struct Stack {  // over and under a full-width rule row (fractions, binomials)
  NodeRef top, bottom;
  char32_t rule;
};
struct TightStack {  // the same, each half as tall as it is (LaTeX)
  NodeRef top, bottom;
  char32_t rule;
};
struct Chain {              // operands joined by infix operators, one blank each side
  const NodeRef* operands;  // count of them
  const char32_t* ops;      // count − 1 of them
  std::size_t count;
  std::size_t baseline;  // the largest operand baseline: every operator's row
};
struct Prefix {  // a sign on the operand's baseline row, directly against it
  NodeRef operand;
  char32_t sign;
};
struct CompactSup {  // a script in superscript characters on the base's top row
  NodeRef base, script;
};
struct CompactPrimedSup {  // the same, prime marks kept as they are (LaTeX)
  NodeRef base, script;
};
struct CompactSub {  // a script in subscript characters on the base's baseline row
  NodeRef base, script;
};
struct CompactLowSub {  // the same on the base's last row, as TeX lowers it under a tall base
  NodeRef base, script;
};
struct SupRows {  // a superscript on rows of its own above the base
  NodeRef base, script;
};
struct SubRows {  // a subscript on rows of its own from just below the base's baseline
  NodeRef base, script;
};
struct Scripts {  // both scripts on rows of their own
  NodeRef base, sub, sup;
};
struct CompactScripts {  // both scripts in script characters: stacked, or side by side on one row
  NodeRef base, sub, sup;
  CharMap sup_forms;
  bool sup_first;  // side by side, the superscript comes first (prime marks)
};
struct PrimeMarks {  // apostrophes after the base, on its baseline row
  NodeRef base;
  std::size_t count;
};
struct Limits {  // limits above and below a big operator
  NodeRef base, lower, upper;
  bool equal_bands;  // both limits in bands of the taller one's height
};
struct CentredLimits {  // limits centred above and below an operator, as TeX sets them
  NodeRef base, lower, upper;
};
struct Fence {  // delimiters as tall as the content; unknown pairs draw │ between their ends
  NodeRef inner;
  char32_t open, close;
};
struct RepeatFence {  // the same, unknown pairs repeating their own characters between the ends
  NodeRef inner;
  char32_t open, close;
};
struct Pieces {  // the pieces of one side of a tall sign
  char32_t top, middle, bottom;
};
struct Fenced {  // parts between delimiters as tall as they are, each side's own pieces (LaTeX)
  const NodeRef* parts;        // count of them
  const char32_t* delimiters;  // count + 1 of them: before, between and after the parts; 0 none
  std::size_t count;
};
struct SizedDelimiter {  // a delimiter of a fixed number of rows (the node's height), centred
  char32_t delimiter;
};
struct LeftSign {  // a sign as tall as the content, in front of it
  NodeRef inner;
  const Pieces* pieces;
};
struct Radical {  // the radical sign with its overbar
  NodeRef inner;
};
struct Accent {  // a mark centred on a row above the content
  NodeRef inner;
  char32_t mark;
};
struct WideAccent {  // a mark repeated across a row above the content
  NodeRef inner;
  char32_t mark;
};
struct AccentBelow {  // a mark centred on a row below the content
  NodeRef inner;
  char32_t mark;
};
struct WideAccentBelow {  // a mark repeated across a row below the content
  NodeRef inner;
  char32_t mark;
};
struct Framed {  // the content in a frame, a blank column inside it on either side
  NodeRef inner;
};
struct Summation {  // the summation sign, before its body
  NodeRef body;
};
struct Integral {  // the three-row integral sign, before its body
  NodeRef body;
};
struct Integrals {  // integral signs drawn from ⌠ ⎮ ⌡ before their operand (LaTeX)
  NodeRef body;
  char32_t mark;  // drawn on the first sign's middle row (∮), or 0
  std::uint32_t count;
};
struct BigOperator {  // a large operator's sign as tall as its operand, before it (LaTeX)
  NodeRef body;
  char32_t sign;
};
struct RootIndex {  // a radical with its index top-aligned at its left
  NodeRef index, radical;
};
struct Grid {  // the cells of a matrix in equal columns and evenly pitched rows
  std::span<const std::span<const NodeRef>> rows;  // each cut to `columns` cells
  std::size_t columns;
  std::size_t cell_width;  // every column's width
  std::size_t pitch;       // rows per band: the tallest row, plus a blank row when there are more
};
struct Table {  // cells in columns of their own widths, rows of their own heights (LaTeX)
  std::span<const std::span<const NodeRef>> rows;
  const TableLayout* layout;
  const std::uint32_t* left;      // each column's left edge
  const std::uint32_t* width;     // each column's width
  const std::uint32_t* baseline;  // each row's baseline
  const std::uint32_t* top;       // each row's top row, then the row below the last
};
struct Styled {  // the content with every character it paints passed through a map
  NodeRef content;
  CharMap map;
};

}  // namespace shapes

using Shape =
    std::variant<shapes::Text, shapes::ColumnText, shapes::Char, shapes::Blank, shapes::Picture,
                 shapes::Row, const shapes::Stack*, const shapes::TightStack*, const shapes::Chain*,
                 shapes::Prefix, shapes::CompactSup, shapes::CompactPrimedSup, shapes::CompactSub,
                 shapes::CompactLowSub, shapes::SupRows, shapes::SubRows, const shapes::Scripts*,
                 const shapes::CompactScripts*, shapes::PrimeMarks, const shapes::Limits*,
                 const shapes::CentredLimits*, shapes::Fence, shapes::RepeatFence,
                 const shapes::Fenced*, shapes::SizedDelimiter, shapes::LeftSign, shapes::Radical,
                 shapes::Accent, shapes::WideAccent, shapes::AccentBelow, shapes::WideAccentBelow,
                 shapes::Framed, shapes::Summation, shapes::Integral, shapes::Integrals,
                 shapes::BigOperator, shapes::RootIndex, const shapes::Grid*, const shapes::Table*,
                 shapes::Styled>;

class Canvas;

// The cell after a wide character's, its second display column: written as nothing.
inline constexpr char32_t kWideTail = 0x110000;
// A character of no width joined to a cell, written right after the cell's character.
struct Mark {
  std::size_t cell;  // row * stride + column
  char32_t ch;
};

struct RenderNode {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t baseline = 0;  // normally a row; the empty node, and a few nodes grown from it,
                               // have their baseline on or past their last row
  Shape shape = shapes::Blank{};

  // Rows below the baseline (0 when the baseline is on or past the last row).
  [[nodiscard]] std::size_t descent() const noexcept {
    return baseline < height ? height - baseline : 0;
  }

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
  // Fixed cells, width × height of them row-major, which must outlive the call.
  [[nodiscard]] static Result<NodeRef> picture(const char32_t* cells, std::size_t width,
                                               std::size_t height, std::size_t baseline);

  // ---- general compositions (layout.cpp) ----

  // The items side by side, touching, their baselines on a common row. The list is kept, not
  // copied: it must live as long as the call (an array of its arena).
  [[nodiscard]] static Result<NodeRef> hstack(std::span<const NodeRef> items);
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
  // The content with every character it paints passed through `map`; the same size.
  [[nodiscard]] static Result<NodeRef> styled(NodeRef content, CharMap map);

  // ---- scripts and limits (layout_scripts.cpp) ----

  // `base` with `sup` at its upper right: superscript characters (`forms`) on the base's top row
  // when `sup` is one row of characters that all have one, otherwise on rows of its own above.
  [[nodiscard]] static Result<NodeRef> superscript(NodeRef base, NodeRef sup,
                                                   CharMap forms = superscript_form);
  // `base` with `sub` at its lower right: Unicode subscript characters on the base's baseline row
  // (with `low`, its last row, as TeX sets them under a tall base) when possible, otherwise on
  // rows of its own starting just below the baseline.
  [[nodiscard]] static Result<NodeRef> subscript(NodeRef base, NodeRef sub, bool low = false,
                                                 CharMap forms = subscript_form);
  // `base` with `sup` above and `sub` below, both left-aligned right after the base; never compact.
  [[nodiscard]] static Result<NodeRef> both_scripts(NodeRef base, NodeRef sub, NodeRef sup);
  // Both scripts in script characters when both have them in `sub_forms` and `sup_forms` (LaTeX):
  // the superscript on the base's top row and the subscript on its last row, or, beside a one-row
  // base, the two side by side, the subscript first unless `sup_first`; otherwise `both_scripts`.
  [[nodiscard]] static Result<NodeRef> compact_scripts(NodeRef base, NodeRef sub, NodeRef sup,
                                                       CharMap sub_forms, CharMap sup_forms,
                                                       bool sup_first);
  // `base` followed by `count` apostrophes on its baseline row.
  [[nodiscard]] static Result<NodeRef> prime_suffix(NodeRef base, std::size_t count);
  // `upper` above, `base`, `lower` below, all left-aligned, one blank column on the right; both
  // limits take the taller one's height, so that the base stays centred.
  [[nodiscard]] static Result<NodeRef> limits(NodeRef base, NodeRef lower, NodeRef upper);
  // The same with each limit in rows of its own height (LaTeX's large operators).
  [[nodiscard]] static Result<NodeRef> operator_limits(NodeRef base, NodeRef lower, NodeRef upper);
  // `upper` above, `base`, `lower` below, each centred on the widest (LaTeX).
  [[nodiscard]] static Result<NodeRef> centred_limits(NodeRef base, NodeRef lower, NodeRef upper);

  // ---- delimiters, signs, radicals and accents (layout_delimiters.cpp) ----

  // `inner` between delimiters as tall as it: the characters themselves around one row, bracket
  // pieces around two rows or more; `repeat_char` repeats unknown delimiters on middle rows. A
  // delimiter 0 is none: nothing is drawn on that side.
  [[nodiscard]] static Result<NodeRef> stretchy_delim(NodeRef inner, char32_t open, char32_t close,
                                                      bool repeat_char);
  // The parts side by side on a common baseline between delimiters as tall as they are (LaTeX's
  // \left … \middle … \right): `delimiters` has one more entry than `parts`, 0 for none. Around
  // one row the characters stand against the content; around two or more each is drawn from its
  // own pieces, one blank column away. Both lists are kept, not copied.
  [[nodiscard]] static Result<NodeRef> fenced(std::span<const NodeRef> parts,
                                              std::span<const char32_t> delimiters);
  // A delimiter `rows` rows high (1, 3, 5, 7: LaTeX's \big sizes), centred on the baseline.
  [[nodiscard]] static Result<NodeRef> sized_delimiter(char32_t delimiter, std::size_t rows);
  // `inner` with a sign of its height in front, drawn from `pieces` (a constant).
  [[nodiscard]] static Result<NodeRef> stretchy_delim_left(NodeRef inner,
                                                           const shapes::Pieces& pieces);
  // `inner` under a radical sign: foot, stroke, corner and overbar.
  [[nodiscard]] static Result<NodeRef> sqrt_inner(NodeRef inner);
  // A radical with `index` top-aligned at its left, over its foot.
  [[nodiscard]] static Result<NodeRef> root_index(NodeRef index, NodeRef radical);
  // `inner` with a row above it holding `mark` centred, or across the row with `stretch`: drawn
  // from pieces for an arrow, a brace, a bracket or a parenthesis (──→, ╭──┴──╮), else repeated.
  [[nodiscard]] static Result<NodeRef> accent(NodeRef inner, char32_t mark, bool stretch);
  // The same with the row below `inner`.
  [[nodiscard]] static Result<NodeRef> accent_below(NodeRef inner, char32_t mark, bool stretch);
  // `inner` in a frame of box-drawing lines, a blank column inside it on either side.
  [[nodiscard]] static Result<NodeRef> framed(NodeRef inner);
  // The summation sign before `body`: three rows high or as tall as the body; a sign alone when
  // `body` is null.
  [[nodiscard]] static Result<NodeRef> summation(NodeRef body);
  // The integral sign before `body`: three rows high, or as tall as a body of four rows or more.
  [[nodiscard]] static Result<NodeRef> integral(NodeRef body);
  // `count` integral signs from ⌠ ⎮ ⌡, the first marked with `mark` (0 for none) on its middle
  // row, before `body`: three rows high, or as tall as a body of four rows or more (LaTeX).
  [[nodiscard]] static Result<NodeRef> integrals(NodeRef body, std::size_t count, char32_t mark);
  // The sign of a large operator such as ∏ or ⋃ drawn as tall as `body` (three rows at least),
  // then a blank column and `body` (LaTeX); ∑ is the summation sign.
  [[nodiscard]] static Result<NodeRef> big_operator(NodeRef body, char32_t sign);

  // ---- matrices (layout_matrix.cpp) ----

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

// A new node of the given size and shape, or "formula too large to render" when it would hold
// more than kMaxCells cells: the one place that checks the size limit, used by every composition.
[[nodiscard]] Result<NodeRef> make_node(std::size_t width, std::size_t height, std::size_t baseline,
                                        Shape shape);

static_assert(sizeof(RenderNode) <= 40, "a node per atom: nodes stay small");

// ---- painting (layout.cpp) ----

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

  // One character, `count` copies across, `count` copies down, the characters of a text.
  void put(std::size_t x, std::size_t y, char32_t ch) noexcept;
  void across(std::size_t x, std::size_t y, std::size_t count, char32_t ch) noexcept;
  void down(std::size_t x, std::size_t y, std::size_t count, char32_t ch) noexcept;
  void text(std::size_t x, std::size_t y, std::string_view utf8) noexcept;
  // A text with a cell to each display column: see RenderNode::column_row.
  void column_text(std::size_t x, std::size_t y, std::string_view utf8);
  // Where the marks joined to cells are kept (none are kept without one).
  void keep_marks(std::vector<Mark>* marks) noexcept { marks_ = marks; }
  // Whether a wide character or a mark has been painted: cells and display columns then differ.
  [[nodiscard]] bool columns_differ() const noexcept { return columns_differ_; }
  void cells(std::size_t x, std::size_t y, const char32_t* cells, std::size_t width,
             std::size_t height) noexcept;

  // Whether the one-row `node` paints a character into every cell, each of which `map` converts
  // (maps it to a character other than 0): the node painted through a probe that keeps no cell.
  [[nodiscard]] static bool converts_whole_row(const RenderNode& node, CharMap map);

 private:
  struct Probe {
    CharMap map;
    std::size_t written = 0;
    bool converts = true;
  };
  explicit Canvas(Probe& probe) noexcept : probe_(&probe), clip_(1) {}

  [[nodiscard]] char32_t mapped(char32_t ch) const noexcept;
  void write(char32_t* at, char32_t ch) noexcept;
  void look(char32_t ch) noexcept;

  static constexpr std::size_t kMaxMaps = 32;  // far more than there are distinct maps

  char32_t* cells_ = nullptr;
  Probe* probe_ = nullptr;
  std::size_t width_ = 0;
  std::size_t stride_ = 0;
  std::size_t clip_ = 0;         // rows from here down are not drawn
  CharMap maps_[kMaxMaps] = {};  // innermost last, each at most once
  std::size_t map_count_ = 0;
  std::vector<Mark>* marks_ = nullptr;
  bool columns_differ_ = false;
};

// The paint of each shape, beside its construct's measure. `self` is the node being painted, at
// (x, y); its children go through canvas.paint.
void paint(const shapes::Text& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::ColumnText& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Char& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Blank& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Picture& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Row& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Stack& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::TightStack& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Chain& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Prefix& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::CompactSup& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::CompactPrimedSup& shape, const RenderNode& self, Canvas& canvas,
           std::size_t x, std::size_t y);
void paint(const shapes::CompactSub& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::CompactLowSub& shape, const RenderNode& self, Canvas& canvas,
           std::size_t x, std::size_t y);
void paint(const shapes::SupRows& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::SubRows& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Scripts& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::CompactScripts& shape, const RenderNode& self, Canvas& canvas,
           std::size_t x, std::size_t y);
void paint(const shapes::PrimeMarks& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Limits& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::CentredLimits& shape, const RenderNode& self, Canvas& canvas,
           std::size_t x, std::size_t y);
void paint(const shapes::Fence& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::RepeatFence& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Fenced& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::SizedDelimiter& shape, const RenderNode& self, Canvas& canvas,
           std::size_t x, std::size_t y);
void paint(const shapes::LeftSign& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Radical& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Accent& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::WideAccent& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::AccentBelow& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::WideAccentBelow& shape, const RenderNode& self, Canvas& canvas,
           std::size_t x, std::size_t y);
void paint(const shapes::Framed& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Summation& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Integral& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Integrals& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::BigOperator& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::RootIndex& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Table& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Grid& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);
void paint(const shapes::Styled& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y);

// Sizes saturate instead of wrapping, so that an absurd size reaches the size check and is refused.
inline constexpr std::size_t kSaturated = static_cast<std::size_t>(-1);
[[nodiscard]] constexpr std::size_t add_sat(std::size_t a, std::size_t b) noexcept {
  return a + b < a ? kSaturated : a + b;
}
[[nodiscard]] constexpr std::size_t mul_sat(std::size_t a, std::size_t b) noexcept {
  return b != 0 && a > kSaturated / b ? kSaturated : a * b;
}

}  // namespace vok
