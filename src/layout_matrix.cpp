// The matrix environments: rendered cells laid out as a grid and enclosed in the environment's
// delimiters.
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
namespace {

struct Environment {
  std::string_view name;
  char32_t open, close;
};

constexpr std::array<Environment, 3> kEnvironments{{
    {"matrix", U' ', U' '},
    {"pmatrix", U'(', U')'},
    {"bmatrix", U'[', U']'},
}};

// A row's extent about its baseline.
struct RowExtent {
  std::size_t ascent = 0, descent = 0;
};

}  // namespace

Result<RenderNode> RenderNode::matrix(std::string_view env,
                                      std::span<const std::span<const RenderNode>> rows) {
  const auto found = std::ranges::find(kEnvironments, env, &Environment::name);
  if (found == kEnvironments.end()) return fail(message::unknown_environment(env));
  if (rows.empty() || rows.front().empty()) return empty();

  // Rows are cut to the first row's length, so a ragged body cannot write past the grid.
  const std::size_t columns = rows.front().size();
  const auto cells_of = [&](std::span<const RenderNode> row) {
    return row.first(std::min(row.size(), columns));
  };

  std::size_t cell_width = 0, tallest = 1;  // a body of empty cells still gets its rows
  RowExtent* extents = current_arena().allocate_array<RowExtent>(rows.size());
  std::uninitialized_fill_n(extents, rows.size(), RowExtent{});
  for (std::size_t k = 0; k < rows.size(); ++k) {
    for (const RenderNode& cell : cells_of(rows[k])) {
      cell_width = std::max(cell_width, cell.width);
      extents[k].ascent = std::max(extents[k].ascent, cell.baseline);
      extents[k].descent = std::max(extents[k].descent, cell.descent());
    }
    tallest = std::max(tallest, add_sat(extents[k].ascent, extents[k].descent));
  }
  // A lone row needs no separator below it.
  const std::size_t pitch = rows.size() > 1 ? add_sat(tallest, 1) : tallest;
  const std::size_t column_pitch = add_sat(cell_width, 4);

  // Rows of the tallest height with one blank row between neighbours; an even count gets one more
  // blank row at the bottom so that the middle row exists.
  std::size_t height = mul_sat(rows.size(), add_sat(tallest, 1)) - 1;
  if (height % 2 == 0) height = add_sat(height, 1);
  auto grid = blank(mul_sat(columns, column_pitch) - 4, height, height / 2);
  if (!grid) return grid;

  // The grid fits in the size limit, so from here on no position can overflow.
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const RowExtent& extent = extents[k];
    // The row's content is centred in its band, any odd spare row below it.
    const std::size_t row_baseline =
        k * pitch + extent.ascent + (pitch - extent.ascent - extent.descent) / 2;
    std::size_t x = 0;
    for (const RenderNode& cell : cells_of(rows[k])) {
      // An odd spare column goes to the right of the cell.
      grid->blit(cell, x + (cell_width - cell.width) / 2, row_baseline - cell.baseline);
      x += column_pitch;
    }
  }
  return stretchy_delim(*grid, found->open, found->close, true);
}

}  // namespace vok
