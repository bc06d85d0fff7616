// Matrices and tables: measured cells laid out in rows and columns, enclosed in their
// environment's delimiters.
//
// The exact markup's matrix: every column is as wide as the widest cell anywhere in the matrix,
// with four blank columns between neighbouring columns and none outside. Every row gets a band of
// the same pitch (the tallest row plus one blank separator row); within its band a row's content is
// centred, and the cells of a row share its baseline. The grid's height is made odd so that its
// baseline, the middle row, has as much of the grid above it as below.
//
// The LaTeX dialect's table: each column as wide as its own widest cell and aligned left, centre or
// right within it, each row as tall as its own tallest cell, as TeX sets an array. Rows of one
// line touch, as lines of text do; a blank row parts two rows when either is taller. A vertical
// rule takes a column of its own with a blank on either side of it inside the table; a horizontal
// rule takes a row of its own, crossing the vertical ones. A rule is solid, dashed, or double
// where two are set together.
#include <algorithm>
#include <array>

#include "arena.hpp"
#include "layout.hpp"

namespace vok {

namespace {

// A row's extent about its baseline, over its first `columns` cells.
struct RowExtent {
  std::size_t ascent = 0, descent = 0;
};

std::span<const NodeRef> cells_of(std::span<const NodeRef> row, std::size_t columns) {
  return row.first(std::min(row.size(), columns));
}

RowExtent extent_of(std::span<const NodeRef> cells) {
  RowExtent extent;
  for (const NodeRef cell : cells) {
    extent.ascent = std::max<std::size_t>(extent.ascent, cell->baseline);
    extent.descent = std::max(extent.descent, cell->descent());
  }
  return extent;
}

struct Grid {  // the cells of a matrix in equal columns and evenly pitched rows
  std::span<const std::span<const NodeRef>> rows;  // each cut to `columns` cells
  std::size_t columns;
  std::size_t cell_width;  // every column's width
  std::size_t pitch;       // rows per band: the tallest row, plus a blank row when there are more
};

void paint(const Grid& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  // The grid fits in the size limit, so no position here can overflow.
  for (std::size_t k = 0; k < shape.rows.size(); ++k) {
    const std::span<const NodeRef> cells = cells_of(shape.rows[k], shape.columns);
    const RowExtent extent = extent_of(cells);
    // The row's content is centred in its band, any odd spare row below it.
    const std::size_t row_baseline =
        k * shape.pitch + extent.ascent + (shape.pitch - extent.ascent - extent.descent) / 2;
    std::size_t column = x;
    for (const NodeRef cell : cells) {
      // An odd spare column goes to the right of the cell.
      canvas.paint(*cell, column + (shape.cell_width - cell->width) / 2,
                   y + row_baseline - cell->baseline);
      column += shape.cell_width + 4;
    }
  }
}

}  // namespace

Result<NodeRef> RenderNode::matrix(char32_t open, char32_t close,
                                   std::span<const std::span<const NodeRef>> rows) {
  if (rows.empty() || rows.front().empty()) return empty();

  // Rows are cut to the first row's length, so a ragged body cannot write past the grid.
  const std::size_t columns = rows.front().size();
  std::size_t cell_width = 0, tallest = 1;  // a body of empty cells still gets its rows
  for (const std::span<const NodeRef> row : rows) {
    for (const NodeRef cell : cells_of(row, columns))
      cell_width = std::max<std::size_t>(cell_width, cell->width);
    const RowExtent extent = extent_of(cells_of(row, columns));
    tallest = std::max(tallest, add_sat(extent.ascent, extent.descent));
  }
  // A lone row needs no separator below it.
  const std::size_t pitch = rows.size() > 1 ? add_sat(tallest, 1) : tallest;

  // Rows of the tallest height with one blank row between neighbours; an even count gets one more
  // blank row at the bottom so that the middle row exists.
  std::size_t height = mul_sat(rows.size(), add_sat(tallest, 1)) - 1;
  if (height % 2 == 0) height = add_sat(height, 1);
  auto node = make_node(mul_sat(columns, add_sat(cell_width, 4)) - 4, height, height / 2,
                        Grid{rows, columns, cell_width, pitch});
  if (!node) return node;
  return fence(*node, open, close);
}

// ---- the LaTeX dialect's tables ----

namespace {

// The blank columns between a table's rows and their labels.
constexpr std::size_t kLabelGap = 4;

char column_align(const TableLayout& layout, std::size_t column, std::size_t columns) {
  if (layout.labelled && column + 1 == columns) return 'r';
  return layout.align.empty() ? 'c' : layout.align[column % layout.align.size()];
}

Rule rule_at(std::span<const Rule> rules, std::size_t at) {
  return at < rules.size() ? rules[at] : Rule::None;
}

// How each kind of rule is drawn: down a column, and across a row.
constexpr char32_t kDown[] = {U' ', U'│', U'╎', U'║'};
constexpr char32_t kAcross[] = {U' ', U'─', U'╌', U'═'};

// Where a line across meets a rule down: by whether each is double, then the line's place (top,
// between rows, bottom), then the rule's (left edge, inside, right edge).
constexpr char32_t kCrossings[2][2][3][3] = {
    {{{U'┌', U'┬', U'┐'}, {U'├', U'┼', U'┤'}, {U'└', U'┴', U'┘'}},
     {{U'╓', U'╥', U'╖'}, {U'╟', U'╫', U'╢'}, {U'╙', U'╨', U'╜'}}},
    {{{U'╒', U'╤', U'╕'}, {U'╞', U'╪', U'╡'}, {U'╘', U'╧', U'╛'}},
     {{U'╔', U'╦', U'╗'}, {U'╠', U'╬', U'╣'}, {U'╚', U'╩', U'╝'}}},
};

// The columns between column `boundary - 1` and column `boundary`, inside the table.
std::size_t boundary_width(const TableLayout& layout, std::size_t boundary, std::size_t columns) {
  if (layout.labelled && boundary + 1 == columns) return kLabelGap;
  if (rule_at(layout.rules, boundary) != Rule::None) return 3;
  return layout.pairs && boundary % 2 == 1 ? 0 : layout.gap;
}

struct Table {  // cells in columns of their own widths, rows of their own heights
  std::span<const std::span<const NodeRef>> rows;
  const TableLayout* layout;
  const std::uint32_t* left;      // each column's left edge
  const std::uint32_t* width;     // each column's width
  const std::uint32_t* baseline;  // each row's baseline
  const std::uint32_t* top;       // each row's top row, then the row below the last
};

void paint(const Table& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const TableLayout& layout = *shape.layout;
  const std::size_t rows = shape.rows.size();
  for (std::size_t k = 0; k < rows; ++k) {
    const std::span<const NodeRef> row = shape.rows[k];
    for (std::size_t c = 0; c < row.size(); ++c) {
      const RenderNode& cell = *row[c];
      const std::size_t spare = shape.width[c] - cell.width;
      const char align = column_align(layout, c, row.size());
      const std::size_t offset = align == 'l' ? 0 : align == 'r' ? spare : spare / 2;
      canvas.paint(cell, x + shape.left[c] + offset, y + shape.baseline[k] - cell.baseline);
    }
  }
  // The rules: vertical ones from top to bottom, then horizontal ones across, crossing them.
  const auto rule_column = [&](std::size_t boundary, std::size_t count) -> std::size_t {
    if (boundary == 0) return 0;
    if (boundary >= count) return self.width - 1;
    return shape.left[boundary] - 2;
  };
  std::size_t count = 0;
  for (const std::span<const NodeRef> row : shape.rows) count = std::max(count, row.size());
  for (std::size_t b = 0; b <= count; ++b) {
    const Rule rule = rule_at(layout.rules, b);
    if (rule != Rule::None)
      canvas.down(x + rule_column(b, count), y, self.height, kDown[static_cast<int>(rule)]);
  }
  for (std::size_t k = 0; k <= rows; ++k) {
    const Rule line = rule_at(layout.lines, k);
    if (line == Rule::None) continue;
    const std::size_t row = k == 0 ? 0 : k == rows ? self.height - 1 : shape.top[k] - 1;
    canvas.across(x, y + row, self.width, kAcross[static_cast<int>(line)]);
    for (std::size_t b = 0; b <= count; ++b) {
      const Rule rule = rule_at(layout.rules, b);
      if (rule == Rule::None) continue;
      const std::size_t across = k == 0 ? 0 : k == rows ? 2 : 1;
      const std::size_t along = b == 0 ? 0 : b >= count ? 2 : 1;
      canvas.put(x + rule_column(b, count), y + row,
                 kCrossings[line == Rule::Double][rule == Rule::Double][across][along]);
    }
  }
}

}  // namespace

Result<NodeRef> RenderNode::table(std::span<const std::span<const NodeRef>> rows,
                                  const TableLayout& layout) {
  std::size_t columns = 0;
  for (const std::span<const NodeRef> row : rows) columns = std::max(columns, row.size());
  if (rows.empty() || columns == 0) return empty();

  Arena& arena = current_arena();
  auto* width = arena.allocate_array<std::uint32_t>(columns);
  auto* left = arena.allocate_array<std::uint32_t>(columns);
  auto* baseline = arena.allocate_array<std::uint32_t>(rows.size());
  auto* top = arena.allocate_array<std::uint32_t>(rows.size() + 1);
  std::fill(width, width + columns, 0);

  // Across: the columns, their boundaries, and a rule with its blank at either edge.
  for (const std::span<const NodeRef> row : rows)
    for (std::size_t c = 0; c < row.size(); ++c)
      width[c] = std::max(width[c], static_cast<std::uint32_t>(row[c]->width));
  std::size_t x = rule_at(layout.rules, 0) != Rule::None ? 2 : 0;
  for (std::size_t c = 0; c < columns; ++c) {
    if (c > 0) x = add_sat(x, boundary_width(layout, c, columns));
    if (x > kMaxCells) return fail(std::string(message::kTooLarge));
    left[c] = static_cast<std::uint32_t>(x);
    x = add_sat(x, width[c]);
  }
  if (rule_at(layout.rules, columns) != Rule::None) x = add_sat(x, 2);

  // Down: each row's extent (its baseline and the rows below it), then their places. A row of
  // empty cells is still one line.
  std::size_t y = rule_at(layout.lines, 0) != Rule::None ? 1 : 0;
  const auto extent = [&](std::span<const NodeRef> row) {
    std::size_t ascent = 0, descent = 0;
    for (const NodeRef cell : row) {
      ascent = std::max<std::size_t>(ascent, cell->baseline);
      descent = std::max(descent, cell->descent());
    }
    if (ascent + descent == 0) descent = 1;
    return std::pair{ascent, descent};
  };
  std::pair next = extent(rows.front());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const auto [ascent, descent] = next;
    top[k] = static_cast<std::uint32_t>(y);
    baseline[k] = static_cast<std::uint32_t>(add_sat(y, ascent));
    y = add_sat(y, ascent + descent);
    if (k + 1 < rows.size()) {
      next = extent(rows[k + 1]);
      if (rule_at(layout.lines, k + 1) != Rule::None || ascent + descent > 1 ||
          next.first + next.second > 1)
        y = add_sat(y, 1);
    }
    if (y > kMaxCells) return fail(std::string(message::kTooLarge));
  }
  top[rows.size()] = static_cast<std::uint32_t>(y);
  if (rule_at(layout.lines, rows.size()) != Rule::None) y = add_sat(y, 1);

  auto node = make_node(x, y, (y - 1) / 2, Table{rows, &layout, left, width, baseline, top});
  if (!node || (layout.fence[0] == 0 && layout.fence[1] == 0)) return node;
  auto* inner = arena.allocate_array<NodeRef>(1);
  inner[0] = *node;
  return fenced({inner, 1}, layout.fence);
}

}  // namespace vok
