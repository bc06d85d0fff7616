// Stretchy delimiters, the tall left sign, radicals and accents: flat and tall forms, every piece
// set, centre pieces, and contents without rows or columns.
#include <string>
#include <vector>

#include "blocks.hpp"

namespace vok::test {
namespace {

const NodeRef kEmpty = RenderNode::empty();
const NodeRef kAbc = block({U"a", U"b", U"c"}, 1);
const NodeRef kHat = block({U"^"}, 1);  // an accent over an empty group

// A node of `height` rows of one blank column: the pictures then show only the signs.
NodeRef rows_of(std::size_t height, std::size_t baseline) {
  return *RenderNode::blank(1, height, baseline);
}

constexpr shapes::Pieces kHooks{U'⎛', U'⎜', U'⎠'};

void flat(Suite& s) {
  run(s, "flat",
      {
          {RenderNode::stretchy_delim(kEmpty, U'(', U')', false), "2x1@0|()\n"},
          {RenderNode::stretchy_delim(block({U"ab"}, 0), U'(', U')', false), "4x1@0|(ab)\n"},
          {RenderNode::stretchy_delim(block({U""}, 0), U'[', U']', false), "2x1@0|[]\n"},
          // The single row is the baseline, wherever the content's baseline was.
          {RenderNode::stretchy_delim(kHat, U'|', U'|', false), "3x1@0||^|\n"},
      });
}

void tall(Suite& s) {
  run(s, "tall",
      {
          {RenderNode::stretchy_delim(block({U"ab", U"cd"}, 1), U'(', U')', false),
           "6x2@1|⎛ ab ⎞\n⎝ cd ⎠\n"},
          {RenderNode::stretchy_delim(kAbc, U'(', U')', false), "5x3@1|⎛ a ⎞\n⎜ b ⎟\n⎝ c ⎠\n"},
          {RenderNode::stretchy_delim(kAbc, U'[', U']', false), "5x3@1|⎡ a ⎤\n⎢ b ⎥\n⎣ c ⎦\n"},
          {RenderNode::stretchy_delim(kAbc, U'{', U'}', false), "5x3@1|⎧ a ⎫\n⎨ b ⎬\n⎩ c ⎭\n"},
          {RenderNode::stretchy_delim(kAbc, U'|', U'|', false), "5x3@1|⎪ a ⎪\n⎪ b ⎪\n⎪ c ⎪\n"},
          // Centre pieces only on a middle row.
          {RenderNode::stretchy_delim(rows_of(3, 0), U'{', U'}', false),
           "5x3@0|⎧   ⎫\n⎪   ⎪\n⎩   ⎭\n"},
          {RenderNode::stretchy_delim(rows_of(3, 2), U'{', U'}', false),
           "5x3@2|⎧   ⎫\n⎪   ⎪\n⎩   ⎭\n"},
          {RenderNode::stretchy_delim(rows_of(2, 2), U'{', U'}', false), "5x2@2|⎧   ⎫\n⎩   ⎭\n"},
          // Mixed pairs draw their own characters at the ends; each side keeps its own centre
          // piece.
          {RenderNode::stretchy_delim(kAbc, U'{', U'|', false), "5x3@1|{ a |\n⎨ b │\n{ c |\n"},
          {RenderNode::stretchy_delim(kAbc, U'(', U'}', false), "5x3@1|( a }\n│ b ⎬\n( c }\n"},
          {RenderNode::stretchy_delim(kAbc, U'<', U'>', true), "5x3@1|< a >\n< b >\n< c >\n"},
          {RenderNode::stretchy_delim(kAbc, U' ', U' ', true), "5x3@1|  a  \n  b  \n  c  \n"},
          {RenderNode::stretchy_delim(kAbc, U'[', U']', true), "5x3@1|⎡ a ⎤\n⎢ b ⎥\n⎣ c ⎦\n"},
          {RenderNode::stretchy_delim(block({U"", U""}, 0), U'(', U')', false),
           "4x2@0|⎛  ⎞\n⎝  ⎠\n"},
      });
  // No largest size: ten rows get one top, eight middle and one bottom piece per side.
  s.eq(
      show(RenderNode::stretchy_delim(rows_of(10, 9), U'(', U')', false)), "5x10@9|⎛   ⎞\n" + [] {
        std::string middle;
        for (int i = 0; i < 8; ++i) middle += "⎜   ⎟\n";
        return middle;
      }() + "⎝   ⎠\n");
}

void left_sign(Suite& s) {
  const auto integral = [](NodeRef inner) {
    return RenderNode::stretchy_delim_left(inner, kHooks);
  };
  run(s, "stretchy_delim_left",
      {
          {integral(block({U"x"}, 0)), "3x1@0|⎠ x\n"},
          {integral(block({U"a", U"b"}, 1)), "3x2@1|⎛ a\n⎠ b\n"},
          {integral(rows_of(5, 2)), "3x5@2|⎛  \n⎜  \n⎜  \n⎜  \n⎠  \n"},
          {integral(kEmpty), "2x0@0|"},
      });
}

void radicals_and_accents(Suite& s) {
  run(s, "sqrt_inner",
      {
          {RenderNode::sqrt_inner(block({U"x"}, 0)), "4x2@1| ┌──\n╲│ x\n"},
          {RenderNode::sqrt_inner(kAbc), "4x4@2| ┌──\n │ a\n │ b\n╲│ c\n"},
          {RenderNode::sqrt_inner(kEmpty), "3x1@1|╲┌─\n"},
          {RenderNode::sqrt_inner(block({U""}, 0)), "3x2@1| ┌─\n╲│ \n"},
      });
  run(s, "accent",
      {
          {RenderNode::accent(block({U"abc"}, 0), U'^', false), "3x2@1| ^ \nabc\n"},
          {RenderNode::accent(block({U"abc"}, 0), U'~', true), "3x2@1|~~~\nabc\n"},
          // An even width puts the mark on the right one of the middle columns.
          {RenderNode::accent(block({U"ab"}, 0), U'^', false), "2x2@1| ^\nab\n"},
          {RenderNode::accent(block({U"abcd"}, 0), U'^', false), "4x2@1|  ^ \nabcd\n"},
          {RenderNode::accent(kAbc, U'.', false), "1x4@2|.\na\nb\nc\n"},
          {RenderNode::accent(kEmpty, U'^', false), "1x1@1|^\n"},
          {RenderNode::accent(kEmpty, U'─', true), "1x1@1|─\n"},
          {RenderNode::accent(kHat, U'^', false), "1x2@2|^\n^\n"},
          {RenderNode::accent(block({U""}, 0), U'^', false), "1x2@1|^\n \n"},
      });
}

void size_limit(Suite& s) {
  run(s, "size limit",
      {
          {RenderNode::stretchy_delim(hollow(kMaxCells - 1, 0), U'(', U')', false), kTooLarge},
          {RenderNode::stretchy_delim(hollow(0, kMaxCells), U'(', U')', false), kTooLarge},
          {RenderNode::stretchy_delim_left(hollow(0, kMaxCells), kHooks), kTooLarge},
          {RenderNode::sqrt_inner(hollow(0, kMaxCells)), kTooLarge},
          {RenderNode::accent(hollow(0, kMaxCells), U'^', false), kTooLarge},
          // Sizes that would wrap around saturate instead.
          {RenderNode::stretchy_delim(hollow(UINT32_MAX, 0), U'(', U')', false), kTooLarge},
          {RenderNode::stretchy_delim_left(hollow(UINT32_MAX, 0), kHooks), kTooLarge},
          {RenderNode::sqrt_inner(hollow(UINT32_MAX, 0)), kTooLarge},
          {RenderNode::accent(hollow(0, UINT32_MAX), U'^', false), kTooLarge},
      });
}

}  // namespace

void layout_delimiters_tests(Suite& s) {
  flat(s);
  tall(s);
  left_sign(s);
  radicals_and_accents(s);
  size_limit(s);
}

}  // namespace vok::test
