// Fences, the exact markup's integral sign, radicals and accents: flat and tall forms, every piece
// set, centre pieces, and contents without rows or columns.
#include <string>
#include <vector>

#include "blocks.hpp"
#include "constructs.hpp"

namespace vok::test {
namespace {

const NodeRef kEmpty = RenderNode::empty();
const NodeRef kAbc = block({U"a", U"b", U"c"}, 1);
const NodeRef kHat = block({U"^"}, 1);  // an accent over an empty group

// A node of `height` rows of one blank column: the pictures then show only the signs.
NodeRef rows_of(std::size_t height, std::size_t baseline) {
  return *RenderNode::blank(1, height, baseline);
}

// The drawings of single constructs, reached through them.
Result<NodeRef> integral(NodeRef inner) {
  return construct::integral({}, std::span(&inner, 1), {});
}
Result<NodeRef> root(NodeRef inner) { return construct::root({}, std::span(&inner, 1), {}); }
Result<NodeRef> accent(NodeRef inner, char32_t mark, bool wide) {
  const Definition def{.payload = payload::Mark{.mark = mark, .wide = wide}};
  return construct::accent(def, std::span(&inner, 1), {});
}

void flat(Suite& s) {
  run(s, "flat",
      {
          {RenderNode::fence(kEmpty, U'(', U')'), "2x1@0|()\n"},
          {RenderNode::fence(block({U"ab"}, 0), U'(', U')'), "4x1@0|(ab)\n"},
          {RenderNode::fence(block({U""}, 0), U'[', U']'), "2x1@0|[]\n"},
          // The single row is the baseline, wherever the content's baseline was.
          {RenderNode::fence(kHat, U'|', U'|'), "3x1@0||^|\n"},
      });
}

void tall(Suite& s) {
  run(s, "tall",
      {
          {RenderNode::fence(block({U"ab", U"cd"}, 1), U'(', U')'), "6x2@1|⎛ ab ⎞\n⎝ cd ⎠\n"},
          {RenderNode::fence(kAbc, U'(', U')'), "5x3@1|⎛ a ⎞\n⎜ b ⎟\n⎝ c ⎠\n"},
          {RenderNode::fence(kAbc, U'[', U']'), "5x3@1|⎡ a ⎤\n⎢ b ⎥\n⎣ c ⎦\n"},
          {RenderNode::fence(kAbc, U'{', U'}'), "5x3@1|⎧ a ⎫\n⎨ b ⎬\n⎩ c ⎭\n"},
          {RenderNode::fence(kAbc, U'|', U'|'), "5x3@1|⎪ a ⎪\n⎪ b ⎪\n⎪ c ⎪\n"},
          // Centre pieces only on a middle row.
          {RenderNode::fence(rows_of(3, 0), U'{', U'}'), "5x3@0|⎧   ⎫\n⎪   ⎪\n⎩   ⎭\n"},
          {RenderNode::fence(rows_of(3, 2), U'{', U'}'), "5x3@2|⎧   ⎫\n⎪   ⎪\n⎩   ⎭\n"},
          {RenderNode::fence(rows_of(2, 2), U'{', U'}'), "5x2@2|⎧   ⎫\n⎩   ⎭\n"},
          // Mixed pairs draw their own characters on every row; each side keeps its own centre
          // piece.
          {RenderNode::fence(kAbc, U'{', U'|'), "5x3@1|{ a |\n⎨ b |\n{ c |\n"},
          {RenderNode::fence(kAbc, U'(', U'}'), "5x3@1|( a }\n( b ⎬\n( c }\n"},
          {RenderNode::fence(kAbc, U'<', U'>'), "5x3@1|< a >\n< b >\n< c >\n"},
          {RenderNode::fence(kAbc, U' ', U' '), "5x3@1|  a  \n  b  \n  c  \n"},
          {RenderNode::fence(kAbc, U'[', U']'), "5x3@1|⎡ a ⎤\n⎢ b ⎥\n⎣ c ⎦\n"},
          {RenderNode::fence(block({U"", U""}, 0), U'(', U')'), "4x2@0|⎛  ⎞\n⎝  ⎠\n"},
      });
  // No largest size: ten rows get one top, eight middle and one bottom piece per side.
  s.eq(
      show(RenderNode::fence(rows_of(10, 9), U'(', U')')), "5x10@9|⎛   ⎞\n" + [] {
        std::string middle;
        for (int i = 0; i < 8; ++i) middle += "⎜   ⎟\n";
        return middle;
      }() + "⎝   ⎠\n");
}

void integral_sign(Suite& s) {
  run(s, "integral",
      {
          // Three rows, the body hanging from the middle one when it is one row.
          {integral(block({U"x"}, 0)), "3x3@1|⎛  \n⎜ x\n⎠  \n"},
          {integral(block({U"a", U"b"}, 1)), "3x3@1|⎛ a\n⎜ b\n⎠  \n"},
          {integral(kEmpty), "2x3@1|⎛ \n⎜ \n⎠ \n"},
          // As tall as a body of four rows or more.
          {integral(rows_of(5, 2)), "3x5@2|⎛  \n⎜  \n⎜  \n⎜  \n⎠  \n"},
      });
}

void radicals_and_accents(Suite& s) {
  run(s, "root",
      {
          {root(block({U"x"}, 0)), "4x2@1| ┌──\n╲│ x\n"},
          {root(kAbc), "4x4@2| ┌──\n │ a\n │ b\n╲│ c\n"},
          {root(kEmpty), "3x1@1|╲┌─\n"},
          {root(block({U""}, 0)), "3x2@1| ┌─\n╲│ \n"},
      });
  run(s, "accent",
      {
          {accent(block({U"abc"}, 0), U'^', false), "3x2@1| ^ \nabc\n"},
          {accent(block({U"abc"}, 0), U'~', true), "3x2@1|~~~\nabc\n"},
          // An even width puts the mark on the right one of the middle columns.
          {accent(block({U"ab"}, 0), U'^', false), "2x2@1| ^\nab\n"},
          {accent(block({U"abcd"}, 0), U'^', false), "4x2@1|  ^ \nabcd\n"},
          {accent(kAbc, U'.', false), "1x4@2|.\na\nb\nc\n"},
          {accent(kEmpty, U'^', false), "1x1@1|^\n"},
          {accent(kEmpty, U'─', true), "1x1@1|─\n"},
          {accent(kHat, U'^', false), "1x2@2|^\n^\n"},
          {accent(block({U""}, 0), U'^', false), "1x2@1|^\n \n"},
      });
}

void size_limit(Suite& s) {
  run(s, "size limit",
      {
          {RenderNode::fence(hollow(kMaxCells - 1, 0), U'(', U')'), kTooLarge},
          {RenderNode::fence(hollow(0, kMaxCells), U'(', U')'), kTooLarge},
          {integral(hollow(0, kMaxCells)), kTooLarge},
          {root(hollow(0, kMaxCells)), kTooLarge},
          {accent(hollow(0, kMaxCells), U'^', false), kTooLarge},
          // Sizes that would wrap around saturate instead.
          {RenderNode::fence(hollow(UINT32_MAX, 0), U'(', U')'), kTooLarge},
          {integral(hollow(UINT32_MAX, 0)), kTooLarge},
          {root(hollow(UINT32_MAX, 0)), kTooLarge},
          {accent(hollow(0, UINT32_MAX), U'^', false), kTooLarge},
      });
}

}  // namespace

void layout_delimiters_tests(Suite& s) {
  flat(s);
  tall(s);
  integral_sign(s);
  radicals_and_accents(s);
  size_limit(s);
}

}  // namespace vok::test
