// Matrices: measured cells laid out as a grid and enclosed in their environment's delimiters.
//
// Every column is as wide as the widest cell anywhere in the matrix, with four blank columns
// between neighbouring columns and none outside. Every row gets a band of the same pitch (the
// tallest row plus one blank separator row); within its band a row's content is centred, and the
// cells of a row share its baseline. The grid's height is made odd so that its baseline, the middle
// row, has as much of the grid above it as below.
#include <algorithm>
#include <array>

#include "arena.hpp"
#include "layout.hpp"

namespace vok {

using namespace shapes;  // the shapes this file measures and paints
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
  const Grid* grid = current_arena().make<Grid>(rows, columns, cell_width, pitch);
  auto node = make_node(mul_sat(columns, add_sat(cell_width, 4)) - 4, height, height / 2, grid);
  if (!node) return node;
  return stretchy_delim(*node, open, close, true);
}

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

}  // namespace vok
