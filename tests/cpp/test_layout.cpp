// Blocks and the general compositions, including the blocks that only grow out of empty pieces.
#include <vector>

#include "blocks.hpp"

namespace vok::test {
namespace {

const RenderNode kEmpty = RenderNode::empty();

void writing(Suite& s) {
  s.eq(write_text(kEmpty), "");
  s.eq(write_text(block({U"x"}, 0)), "x\n");
  s.eq(write_text(block({U"", U""}, 0)), "\n\n");
  s.eq(write_text(*RenderNode::blank(0, 1, 0)), "\n");
  const std::string three = write_text(block({U"ab   ", U"  c  ", U"─────"}, 1));
  s.eq(three, "ab   \n  c  \n─────\n");
  s.eq(write_text(block({U"abc", U"def"}, 0)).size(), std::size_t{8});
  s.eq(write_text(block({U"α😀"}, 0)), "α😀\n");
}

void basic(Suite& s) {
  s.eq(show(RenderNode::blank(3, 2, 1)), "3x2@1|   \n   \n");
  s.eq(show(RenderNode::blank(0, 0, 0)), "0x0@0|");
  s.eq(show(RenderNode::row("αb c")), "4x1@0|αb c\n");
  s.eq(show(RenderNode::row("")), "0x1@0|\n");
  // Placement clips at the bottom only.
  RenderNode target = block({U"....", U"...."}, 0);
  target.blit(block({U"ab", U"cd", U"ef"}, 0), 2, 1);
  s.eq(show(target), "4x2@0|....\n..ab\n");
  target.blit(*RenderNode::blank(0, 5, 0), 4, 0);  // width 0 copies nothing
  target.blit(kEmpty, 0, 0);
  s.eq(show(target), "4x2@0|....\n..ab\n");
}

void size_limit(Suite& s) {
  const std::string too_large = "error: formula too large to render";
  const auto largest = RenderNode::blank(kMaxCells / 2, 2, 0);
  s.ok(largest && largest->cell_span().size() == kMaxCells, "exactly 2^24 cells pass");
  s.eq(show(RenderNode::blank(kMaxCells + 1, 1, 0)), too_large);
  s.eq(show(RenderNode::blank(4096, 4097, 0)), too_large);
  // A zero width still prints a line per row, so it counts as one column.
  s.eq(show(RenderNode::blank(0, kMaxCells + 1, 0)), too_large);
  s.eq(show(RenderNode::blank(kMaxCells + 1, 0, 0)), too_large);
  s.eq(show(RenderNode::blank(kSaturated, kSaturated, 0)), too_large);
  s.eq(add_sat(kSaturated, 1), kSaturated);
  s.eq(mul_sat(kSaturated / 2, 3), kSaturated);
}

void hstack(Suite& s) {
  s.eq(show(RenderNode::hstack({}, 3)), "0x0@0|");
  const RenderNode x = block({U"x"}, 0);
  s.eq(show(RenderNode::hstack(std::vector{x}, 5)), "1x1@0|x\n");
  s.eq(show(RenderNode::hstack(std::vector{x, block({U"yz"}, 0)}, 0)), "3x1@0|xyz\n");
  s.eq(show(RenderNode::hstack(std::vector{x, block({U"y"}, 0)}, 2)), "4x1@0|x  y\n");
  // A one-row block beside a fraction sits on the fraction's middle row.
  s.eq(show(RenderNode::hstack(std::vector{x, block({U"1", U"─", U"2"}, 1)}, 0)),
       "2x3@1| 1\nx─\n 2\n");
  // Hanging and standing blocks: baseline 0 and baseline 2 give five rows, baseline 2.
  s.eq(show(RenderNode::hstack(
           std::vector{block({U"a", U"b", U"c"}, 0), block({U"d", U"e", U"f"}, 2)}, 0)),
       "2x5@2| d\n e\naf\nb \nc \n");
  // Width-0 rows and the empty block add nothing; the empty block's baseline raises nothing.
  const RenderNode bang = *RenderNode::blank(0, 1, 0);
  s.eq(show(RenderNode::hstack(std::vector{bang, bang}, 0)), "0x1@0|\n");
  s.eq(show(RenderNode::hstack(std::vector{x, kEmpty}, 0)), "1x1@0|x\n");
  s.eq(show(RenderNode::hstack(std::vector{kEmpty, kEmpty}, 0)), "0x0@0|");
  // An accented empty group (one row, baseline 1) keeps its baseline past its row.
  s.eq(show(RenderNode::hstack(std::vector{block({U"^"}, 1), x}, 0)), "2x2@1|^ \n x\n");
}

void vstack(Suite& s) {
  const RenderNode one = block({U"1"}, 0);
  s.eq(show(RenderNode::vstack(one, block({U"xy"}, 0), U'─', 1)), "4x3@1| 1  \n────\n xy \n");
  s.eq(show(RenderNode::vstack(one, block({U"xy"}, 0), U'─', 0)), "2x3@1|1 \n──\nxy\n");
  s.eq(show(RenderNode::vstack(kEmpty, kEmpty, U'─', 1)), "2x1@0|──\n");
  s.eq(show(RenderNode::vstack(kEmpty, kEmpty, U'─', 0)), "0x1@0|\n");
  // The shorter half is pushed against the rule; both halves get the taller height.
  s.eq(show(RenderNode::vstack(one, block({U"a", U"b", U"c"}, 1), U'─', 0)),
       "1x7@3| \n \n1\n─\na\nb\nc\n");
  s.eq(show(RenderNode::vstack(one, one, U' ', 0)), "1x3@1|1\n \n1\n");
  // An odd spare column goes to the right.
  s.eq(show(RenderNode::vstack(block({U"ab"}, 0), block({U"cde"}, 0), U'─', 0)),
       "3x3@1|ab \n───\ncde\n");
}

void infix(Suite& s) {
  const RenderNode a = block({U"a"}, 0), b = block({U"b"}, 0);
  s.eq(show(RenderNode::infix(a, U'+', b)), "5x1@0|a + b\n");
  s.eq(show(RenderNode::infix(block({U"1", U"─", U"2"}, 1), U'=', block({U"x"}, 0))),
       "5x3@1|1    \n─ = x\n2    \n");
  s.eq(show(RenderNode::infix(block({U"x"}, 0), U'·', block({U"a", U"b", U"c", U"d"}, 3))),
       "5x4@3|    a\n    b\n    c\nx · d\n");
  // Operands that do not reach their baseline: the block grows so the operator has a row.
  s.eq(show(RenderNode::infix(kEmpty, U'=', kEmpty)), "3x1@0| = \n");
  s.eq(show(RenderNode::infix(block({U"^"}, 1), U'+', block({U"^"}, 1))), "5x2@1|^   ^\n  +  \n");
  s.eq(show(RenderNode::infix(kEmpty, U'-', b)), "4x1@0| - b\n");
}

// A chain composed at once draws exactly what nesting infix from the left draws.
void chains(Suite& s) {
  const std::vector<RenderNode> pieces = {
      block({U"a"}, 0),
      block({U"1", U"─", U"2"}, 1),
      kEmpty,
      block({U"^"}, 1),
      block({U"x", U"y", U"z", U"w"}, 3),
      block({U"p", U"q"}, 0),
      *RenderNode::blank(0, 1, 0),
      block({U"bc"}, 0),
  };
  const char32_t ops[] = {U'+', U'-', U'=', U'·'};
  for (std::size_t start = 0; start < pieces.size(); ++start) {
    for (std::size_t length = 1; start + length <= pieces.size(); ++length) {
      const std::span<const RenderNode> operands(pieces.data() + start, length);
      std::vector<char32_t> chain_ops;
      RenderNode nested = operands[0];
      for (std::size_t i = 1; i < length; ++i) {
        chain_ops.push_back(ops[(start + i) % 4]);
        nested = *RenderNode::infix(nested, chain_ops.back(), operands[i]);
      }
      const std::string label = std::to_string(start) + "+" + std::to_string(length);
      if (length == 1) continue;  // a chain has at least one operator
      s.eq(show(RenderNode::infix_chain(operands, chain_ops)), show(nested), label);
    }
  }
}

}  // namespace

void layout_tests(Suite& s) {
  writing(s);
  basic(s);
  size_limit(s);
  hstack(s);
  vstack(s);
  infix(s);
  chains(s);
}

}  // namespace vok::test
