// Nodes, the canvas and the general compositions, including the nodes that only grow out of empty
// pieces.
#include <vector>

#include "blocks.hpp"

namespace vok::test {
namespace {

const NodeRef kEmpty = RenderNode::empty();

void writing(Suite& s) {
  s.eq(write_text(*kEmpty), "");
  s.eq(write_text(*block({U"x"}, 0)), "x\n");
  s.eq(write_text(*block({U"", U""}, 0)), "\n\n");
  s.eq(write_text(**RenderNode::blank(0, 1, 0)), "\n");
  const std::string three = write_text(*block({U"ab   ", U"  c  ", U"─────"}, 1));
  s.eq(three, "ab   \n  c  \n─────\n");
  s.eq(write_text(*block({U"abc", U"def"}, 0)).size(), std::size_t{8});
  s.eq(write_text(*block({U"α😀"}, 0)), "α😀\n");
}

void basic(Suite& s) {
  s.eq(show(RenderNode::blank(3, 2, 1)), "3x2@1|   \n   \n");
  s.eq(show(RenderNode::blank(0, 0, 0)), "0x0@0|");
  s.eq(show(RenderNode::row("αb c")), "4x1@0|αb c\n");
  s.eq(show(RenderNode::row("")), "0x1@0|\n");
  s.eq(show(RenderNode::row("a\xFF")), "2x1@0|a\uFFFD\n");  // a malformed byte draws U+FFFD
  s.eq(show(RenderNode::single(U'∑')), "1x1@0|∑\n");
}

// The canvas writes nothing outside its picture: rows below the node being painted are clipped,
// and so are characters right of the picture.
void canvas(Suite& s) {
  std::u32string picture(4 * 2, U'.');
  Canvas canvas(picture.data(), 4, 2, 4);
  canvas.paint(*block({U"ab", U"cd", U"ef"}, 0), 2, 1);
  canvas.across(3, 0, 5, U'-');
  canvas.put(9, 0, U'!');
  canvas.down(0, 0, 9, U'|');
  s.eq(std::string(picture.begin(), picture.end()), "|..-|.ab");
  // A map in force applies inside its node only; the innermost of two maps wins.
  const auto upper = [](char32_t c) noexcept -> char32_t {
    return c >= U'a' && c <= U'z' ? c - 32 : c;
  };
  const auto star = [](char32_t c) noexcept -> char32_t { return c == U'a' ? U'*' : c; };
  s.eq(write_text(**RenderNode::hstack(
           list({*RenderNode::styled(*RenderNode::styled(*RenderNode::row("ab"), star), upper),
                 *RenderNode::row("ab")}))),
       "*Bab\n");
}

void size_limit(Suite& s) {
  const std::string too_large = "error: formula too large to render";
  const auto largest = RenderNode::blank(kMaxCells / 2, 2, 0);
  s.ok(largest && (*largest)->width * (*largest)->height == kMaxCells, "exactly 2^24 cells pass");
  s.eq(show(RenderNode::blank(kMaxCells + 1, 1, 0)), too_large);
  s.eq(show(RenderNode::blank(4096, 4097, 0)), too_large);
  // A zero width still prints a line per row, so it counts as one column.
  s.eq(show(RenderNode::blank(0, kMaxCells + 1, 0)), too_large);
  s.eq(show(RenderNode::blank(kMaxCells + 1, 0, 0)), too_large);
  s.eq(show(RenderNode::blank(kSaturated, kSaturated, 0)), too_large);
  s.eq(add_sat(kSaturated, 1), kSaturated);
  s.eq(mul_sat(kSaturated / 2, 3), kSaturated);
  // Sizes that would wrap around saturate instead.
  const NodeRef huge = hollow(UINT32_MAX, 0);
  s.eq(show(RenderNode::hstack(list({huge, huge, huge}))), too_large);
  s.eq(show(chain({huge, huge}, U"+")), too_large);
  s.eq(show(RenderNode::vstack(hollow(0, UINT32_MAX), kEmpty, U'─')), too_large);
  s.eq(show(RenderNode::prefix(U'-', hollow(UINT32_MAX, 0))), too_large);
}

void hstack(Suite& s) {
  s.eq(show(RenderNode::hstack({})), "0x0@0|");
  const NodeRef x = block({U"x"}, 0);
  s.eq(show(RenderNode::hstack(list({x}))), "1x1@0|x\n");
  s.eq(show(RenderNode::hstack(list({x, block({U"yz"}, 0)}))), "3x1@0|xyz\n");
  // A one-row node beside a fraction sits on the fraction's middle row.
  s.eq(show(RenderNode::hstack(list({x, block({U"1", U"─", U"2"}, 1)}))), "2x3@1| 1\nx─\n 2\n");
  // Hanging and standing nodes: baseline 0 and baseline 2 give five rows, baseline 2.
  s.eq(show(RenderNode::hstack(list({block({U"a", U"b", U"c"}, 0), block({U"d", U"e", U"f"}, 2)}))),
       "2x5@2| d\n e\naf\nb \nc \n");
  // Width-0 rows and the empty node add nothing; the empty node's baseline raises nothing.
  const NodeRef bang = *RenderNode::blank(0, 1, 0);
  s.eq(show(RenderNode::hstack(list({bang, bang}))), "0x1@0|\n");
  s.eq(show(RenderNode::hstack(list({x, kEmpty}))), "1x1@0|x\n");
  s.eq(show(RenderNode::hstack(list({kEmpty, kEmpty}))), "0x0@0|");
  // An accented empty group (one row, baseline 1) keeps its baseline past its row.
  s.eq(show(RenderNode::hstack(list({block({U"^"}, 1), x}))), "2x2@1|^ \n x\n");
}

void vstack(Suite& s) {
  const NodeRef one = block({U"1"}, 0);
  s.eq(show(RenderNode::vstack(one, block({U"xy"}, 0), U'─')), "2x3@1|1 \n──\nxy\n");
  s.eq(show(RenderNode::vstack(kEmpty, kEmpty, U'─')), "0x1@0|\n");
  // The shorter half is pushed against the rule; both halves get the taller height.
  s.eq(show(RenderNode::vstack(one, block({U"a", U"b", U"c"}, 1), U'─')),
       "1x7@3| \n \n1\n─\na\nb\nc\n");
  s.eq(show(RenderNode::vstack(one, one, U' ')), "1x3@1|1\n \n1\n");
  // An odd spare column goes to the right.
  s.eq(show(RenderNode::vstack(block({U"ab"}, 0), block({U"cde"}, 0), U'─')),
       "3x3@1|ab \n───\ncde\n");
}

void infix(Suite& s) {
  const NodeRef a = block({U"a"}, 0), b = block({U"b"}, 0);
  s.eq(show(chain({a, b}, U"+")), "5x1@0|a + b\n");
  s.eq(show(chain({block({U"1", U"─", U"2"}, 1), block({U"x"}, 0)}, U"=")),
       "5x3@1|1    \n─ = x\n2    \n");
  s.eq(show(chain({block({U"x"}, 0), block({U"a", U"b", U"c", U"d"}, 3)}, U"·")),
       "5x4@3|    a\n    b\n    c\nx · d\n");
  // Operands that do not reach their baseline: the node grows so the operator has a row.
  s.eq(show(chain({kEmpty, kEmpty}, U"=")), "3x1@0| = \n");
  s.eq(show(chain({block({U"^"}, 1), block({U"^"}, 1)}, U"+")), "5x2@1|^   ^\n  +  \n");
  s.eq(show(chain({kEmpty, b}, U"-")), "4x1@0| - b\n");
}

// A chain composed at once draws exactly what nesting two-operand chains from the left draws.
void chains(Suite& s) {
  const std::vector<NodeRef> pieces = {
      block({U"a"}, 0),
      block({U"1", U"─", U"2"}, 1),
      kEmpty,
      block({U"^"}, 1),
      block({U"x", U"y", U"z", U"w"}, 3),
      block({U"p", U"q"}, 0),
      *RenderNode::blank(0, 1, 0),
      block({U"bc"}, 0),
  };
  const std::u32string_view ops = U"+-=·";
  for (std::size_t start = 0; start < pieces.size(); ++start) {
    for (std::size_t length = 2; start + length <= pieces.size(); ++length) {
      std::vector<NodeRef> operands(pieces.begin() + start, pieces.begin() + start + length);
      std::u32string chain_ops;
      NodeRef nested = operands[0];
      for (std::size_t i = 1; i < length; ++i) {
        chain_ops += ops[(start + i) % 4];
        nested = *chain({nested, operands[i]}, chain_ops.substr(i - 1, 1));
      }
      std::string label = std::to_string(start);  // (built in steps: g++ 12 warns on a + chain)
      label += '+';
      label += std::to_string(length);
      s.eq(show(chain(operands, chain_ops)), show(nested), label);
    }
  }
}

}  // namespace

void layout_tests(Suite& s) {
  writing(s);
  basic(s);
  canvas(s);
  size_limit(s);
  hstack(s);
  vstack(s);
  infix(s);
  chains(s);
}

}  // namespace vok::test
