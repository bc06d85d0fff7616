// Matrices: the environments' delimiters, grid geometry (global column width, row pitch, odd
// height), centring in columns and bands, empty cells, and the enclosing delimiters.
#include <string>
#include <vector>

#include "blocks.hpp"
#include "vocabulary.hpp"

namespace vok::test {
namespace {

using Cells = std::vector<std::vector<NodeRef>>;

// One-row cells from texts.
NodeRef cell(std::u32string_view text) { return block({text}, 0); }

struct MatrixCase {
  std::string_view env;
  Cells rows;
  std::string expected;
};

void run(Suite& s, std::string_view group, const std::vector<MatrixCase>& cases) {
  for (const MatrixCase& c : cases) {
    auto* rows = current_arena().allocate_array<std::span<const NodeRef>>(c.rows.size());
    for (std::size_t k = 0; k < c.rows.size(); ++k) rows[k] = list(c.rows[k]);
    const EnvironmentDef* env = kExactVocabulary.environment(c.env);
    s.eq(show(RenderNode::matrix(env->open, env->close, {rows, c.rows.size()})), c.expected, group);
  }
}

const NodeRef kEmpty = RenderNode::empty();
const NodeRef kFrac = block({U"1", U"─", U"2"}, 1);
const NodeRef kHat = block({U"^"}, 1);  // an accent over an empty group

void environments(Suite& s) {
  const Cells two_by_two = {{cell(U"a"), cell(U"b")}, {cell(U"c"), cell(U"d")}};
  run(s, "environments",
      {
          {"pmatrix", two_by_two, "10x3@1|⎛ a    b ⎞\n⎜        ⎟\n⎝ c    d ⎠\n"},
          {"bmatrix", two_by_two, "10x3@1|⎡ a    b ⎤\n⎢        ⎥\n⎣ c    d ⎦\n"},
          {"matrix", two_by_two, "10x3@1|  a    b  \n          \n  c    d  \n"},
          // A single row of one-row cells is flat: delimiters against the content.
          {"bmatrix", {{cell(U"1"), cell(U"2")}}, "8x1@0|[1    2]\n"},
          {"matrix", {{cell(U"1"), cell(U"2")}}, "8x1@0| 1    2 \n"},
          // No body, no delimiters.
          {"matrix", {}, "0x0@0|"},
          {"pmatrix", {}, "0x0@0|"},
          {"bmatrix", {{}}, "0x0@0|"},
      });
}

void geometry(Suite& s) {
  run(s, "geometry",
      {
          // Three rows: odd height already, the baseline on the middle matrix row.
          {"pmatrix",
           {{cell(U"a")}, {cell(U"b")}, {cell(U"c")}},
           "5x5@2|⎛ a ⎞\n⎜   ⎟\n⎜ b ⎟\n⎜   ⎟\n⎝ c ⎠\n"},
          // One row two rows tall: the even height gets a blank row at the bottom.
          {"bmatrix",
           {{block({U"1", U"2"}, 1), cell(U"x")}},
           "10x3@1|⎡ 1      ⎤\n⎢ 2    x ⎥\n⎣        ⎦\n"},
          // A short row is centred in its band, the odd spare row below it.
          {"matrix",
           {{kFrac}, {cell(U"x")}},
           "5x7@3|  1  \n  ─  \n  2  \n     \n     \n  x  \n     \n"},
          // One width for every column; narrower cells centred, the odd spare column on the right.
          {"bmatrix",
           {{cell(U"ab"), cell(U"z")}, {cell(U"c"), cell(U"yy")}},
           "12x3@1|⎡ ab    z  ⎤\n⎢          ⎥\n⎣ c     yy ⎦\n"},
          {"bmatrix", {{cell(U"abc"), cell(U"z")}}, "12x1@0|[abc     z ]\n"},
          // Empty cells hold their column but add no height or width.
          {"bmatrix", {{kEmpty, cell(U"a")}}, "8x1@0|[     a]\n"},
          {"pmatrix", {{kEmpty}, {cell(U"a")}}, "5x3@1|⎛   ⎞\n⎜   ⎟\n⎝ a ⎠\n"},
          {"pmatrix", {{kEmpty, kEmpty}}, "6x1@0|(    )\n"},
          // A cell whose baseline is past its row still aligns on the row's baseline.
          {"matrix", {{kHat, cell(U"x")}}, "10x3@1|  ^       \n       x  \n          \n"},
          // A grid of width 0 still gets its delimiters.
          {"pmatrix", {{block({U""}, 0)}}, "2x1@0|()\n"},
          {"pmatrix", {{kEmpty}, {kEmpty}}, "4x3@1|⎛  ⎞\n⎜  ⎟\n⎝  ⎠\n"},
          // Rows longer than the first are cut rather than drawn past the grid.
          {"bmatrix", {{cell(U"a")}, {cell(U"b"), cell(U"c")}}, "5x3@1|⎡ a ⎤\n⎢   ⎥\n⎣ b ⎦\n"},
      });
}

void size_limit(Suite& s) {
  const std::string too_large = "error: formula too large to render";
  run(s, "size limit", {{"matrix", {{hollow(0, kMaxCells)}}, too_large}});
  // The grid fits, the delimiters do not.
  run(s, "size limit", {{"matrix", {{hollow(0, kMaxCells - 1)}}, too_large}});
  // Widths that would wrap around saturate instead.
  run(s, "size limit", {{"pmatrix", {{hollow(UINT32_MAX, 0), hollow(UINT32_MAX, 0)}}, too_large}});
}

}  // namespace

void layout_tables_tests(Suite& s) {
  environments(s);
  geometry(s);
  size_limit(s);
}

}  // namespace vok::test
