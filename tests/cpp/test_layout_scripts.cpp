// Scripts, primes and limits: compact and two-dimensional scripts, the two character tables, and
// bases whose baseline is not one of their rows.
#include <string>
#include <vector>

#include "blocks.hpp"
#include "constructs.hpp"

namespace vok::test {
namespace {

const NodeRef kEmpty = RenderNode::empty();
const NodeRef kX = block({U"x"}, 0);
const NodeRef kFrac = block({U"1", U"─", U"2"}, 1);
const NodeRef kHat = block({U"^"}, 1);  // an accent over an empty group

// A width-0 node of any height: it holds no cells, so absurd sizes cost nothing.
NodeRef tall(std::size_t height) { return hollow(0, static_cast<std::uint32_t>(height)); }

// The printable ASCII characters (and two others) whose script stays on the base's row.
template <class Op>
std::string compact_characters(Op op) {
  std::string found;
  std::u32string candidates = U"α·";
  for (char32_t c = U' '; c <= U'~'; ++c) candidates += c;
  for (char32_t c : candidates)
    if ((*op(kX, block({std::u32string_view(&c, 1)}, 0)))->height == 1) {
      const std::string text = write_text(*block({std::u32string_view(&c, 1)}, 0));
      found += text.substr(0, text.size() - 1);
    }
  return found;
}

void tables(Suite& s) {
  s.eq(compact_characters(
           [](NodeRef b, NodeRef x) { return RenderNode::superscript(b, x, kScripts); }),
       "()+-0123456789=ABDEGHIJMNOPRTUWabcdefghijklmnoprstuvwxyz");
  s.eq(compact_characters(
           [](NodeRef b, NodeRef x) { return RenderNode::subscript(b, x, kScripts); }),
       "()+-0123456789=aehijklmnoprstuvxy");
  run(s, "table",
      {
          {RenderNode::superscript(
               kX, block({U"0123456789+-=()ABDEGHIJMNOPRTUWabcdefghijklmnoprstuvwxyz"}, 0),
               kScripts),
           "57x1@0|x⁰¹²³⁴⁵⁶⁷⁸⁹⁺⁻⁼⁽⁾ᴬᴮᴰᴱᴳᴴᴵᴶᴹᴺᴼᴾᴿᵀᵁᵂᵃᵇᶜᵈᵉᶠᵍʰⁱʲᵏˡᵐⁿᵒᵖʳˢᵗᵘᵛʷˣʸᶻ\n"},
          {RenderNode::subscript(kX, block({U"0123456789+-=()aehijklmnoprstuvxy"}, 0), kScripts),
           "34x1@0|x₀₁₂₃₄₅₆₇₈₉₊₋₌₍₎ₐₑₕᵢⱼₖₗₘₙₒₚᵣₛₜᵤᵥₓᵧ\n"},
      });
}

void superscripts(Suite& s) {
  run(s, "superscript",
      {
          {RenderNode::superscript(kX, block({U"ab"}, 0), kScripts), "3x1@0|xᵃᵇ\n"},
          // One character without a form, a blank included, sends the whole script up.
          {RenderNode::superscript(kX, block({U"a + b"}, 0), kScripts), "6x2@1| a + b\nx     \n"},
          // Two rows are never compact, whatever they hold.
          {RenderNode::superscript(kX, block({U"2", U"3"}, 0), kScripts), "2x3@2| 2\n 3\nx \n"},
          {RenderNode::superscript(kX, kFrac, kScripts), "2x4@3| 1\n ─\n 2\nx \n"},
          // Compact scripts go on the top row, not the baseline row.
          {RenderNode::superscript(kFrac, block({U"2"}, 0), kScripts), "2x3@1|1²\n─ \n2 \n"},
          // Scripts that write nothing leave the base as it was.
          {RenderNode::superscript(kFrac, kEmpty, kScripts), "1x3@1|1\n─\n2\n"},
          {RenderNode::superscript(kEmpty, block({U""}, 0), kScripts), "0x0@0|"},
          // A script with columns but no rows has nothing to convert; it only widens.
          {RenderNode::superscript(kX, *RenderNode::blank(2, 0, 0), kScripts), "3x1@0|x  \n"},
          // A script is converted as it is drawn, maps inside it included.
          {RenderNode::superscript(kX, *RenderNode::styled(block({U"2"}, 0), to_bold), kScripts),
           "2x2@1| 𝟐\nx \n"},
          {RenderNode::superscript(kX, *RenderNode::styled(block({U"2"}, 0), to_italic), kScripts),
           "2x1@0|x²\n"},
          // Bases without a baseline row.
          {RenderNode::superscript(kEmpty, block({U"2"}, 0), kScripts), "1x1@0|²\n"},
          {RenderNode::superscript(kEmpty, block({U"q"}, 0), kScripts), "1x1@1|q\n"},
          {RenderNode::superscript(kHat, block({U"2"}, 0), kScripts), "2x1@1|^²\n"},
      });
}

void subscripts(Suite& s) {
  run(s, "subscript",
      {
          {RenderNode::subscript(kX, block({U"1"}, 0), kScripts), "2x1@0|x₁\n"},
          {RenderNode::subscript(kX, block({U"a", U"b"}, 0), kScripts), "2x3@0|x \n a\n b\n"},
          // Compact scripts go on the baseline row; others start just below it, beside the base.
          {RenderNode::subscript(kFrac, block({U"2"}, 0), kScripts), "2x3@1|1 \n─₂\n2 \n"},
          {RenderNode::subscript(kFrac, block({U"b"}, 0), kScripts), "2x3@1|1 \n─ \n2b\n"},
          {RenderNode::subscript(kFrac, block({U"a", U"b", U"c"}, 1), kScripts),
           "2x5@1|1 \n─ \n2a\n b\n c\n"},
          // Bases without a baseline row grow just far enough for what is written.
          {RenderNode::subscript(kHat, block({U"2"}, 0), kScripts), "2x2@1|^ \n ₂\n"},
          {RenderNode::subscript(kHat, block({U"b"}, 0), kScripts), "2x3@1|^ \n  \n b\n"},
          {RenderNode::subscript(kHat, block({U""}, 0), kScripts), "1x1@1|^\n"},
          {RenderNode::subscript(kHat, kEmpty, kScripts), "1x1@1|^\n"},
          {RenderNode::subscript(kEmpty, block({U"2"}, 0), kScripts), "1x1@0|₂\n"},
          {RenderNode::subscript(kEmpty, kEmpty, kScripts), "0x0@0|"},
      });
}

void both(Suite& s) {
  const NodeRef one = block({U"1"}, 0), two = block({U"2"}, 0);
  run(s, "both_scripts",
      {
          // Never compact, even when each script alone would be.
          {RenderNode::both_scripts(kX, one, two, kScripts, false), "2x3@1| 2\nx \n 1\n"},
          {RenderNode::both_scripts(kX, block({U"ab"}, 0), two, kScripts, false),
           "3x3@1| 2 \nx  \n ab\n"},
          // The subscript's rows are reserved below the whole base but it starts below the
          // baseline.
          {RenderNode::both_scripts(kFrac, one, two, kScripts, false),
           "2x5@2| 2\n1 \n─ \n21\n  \n"},
          {RenderNode::both_scripts(kEmpty, block({U"a"}, 0), block({U"b"}, 0), kScripts, false),
           "1x3@1|b\n \na\n"},
          {RenderNode::both_scripts(kHat, block({U"a"}, 0), block({U"b"}, 0), kScripts, false),
           "2x4@2| b\n^ \n  \n a\n"},
          {RenderNode::both_scripts(kEmpty, kEmpty, block({U"b"}, 0), kScripts, false),
           "1x1@1|b\n"},
      });
}

void primes_and_limits(Suite& s) {
  const NodeRef sum = block({U"sum"}, 0);
  run(s, "prime_suffix",
      {
          {RenderNode::prime_suffix(block({U"f"}, 0), 2), "3x1@0|f''\n"},
          {RenderNode::prime_suffix(kFrac, 1), "2x3@1|1 \n─'\n2 \n"},
          {RenderNode::prime_suffix(kEmpty, 1), "1x1@0|'\n"},
          {RenderNode::prime_suffix(kHat, 1), "2x2@1|^ \n '\n"},
      });
  run(s, "limits",
      {
          {RenderNode::limits(sum, block({U"a"}, 0), kEmpty, kBands), "4x3@1|    \nsum \na   \n"},
          {RenderNode::limits(sum, kEmpty, kEmpty, kBands), "4x1@0|sum \n"},
          // The taller limit sets both bands; the shorter one touches the base.
          {RenderNode::limits(sum, block({U"a"}, 0), block({U"u", U"v"}, 1), kBands),
           "4x5@2|u   \nv   \nsum \na   \n    \n"},
          {RenderNode::limits(sum, block({U"a", U"b"}, 0), block({U"n"}, 0), kBands),
           "4x5@2|    \nn   \nsum \na   \nb   \n"},
          {RenderNode::limits(kX, block({U"i=1"}, 0), kEmpty, kBands), "4x3@1|    \nx   \ni=1 \n"},
          {RenderNode::limits(kEmpty, block({U"a"}, 0), kEmpty, kBands), "2x2@1|  \na \n"},
      });
}

void size_limit(Suite& s) {
  const NodeRef wide = *RenderNode::blank(kMaxCells, 0, 0);  // no rows, so no cells
  const auto largest = RenderNode::superscript(tall(kMaxCells / 2), tall(kMaxCells / 2), kScripts);
  s.ok(largest && (*largest)->height == kMaxCells, "a picture of exactly the limit is drawn");
  run(s, "size limit",
      {
          {RenderNode::superscript(wide, block({U"2"}, 0), kScripts), kTooLarge},
          {RenderNode::subscript(tall(kMaxCells), block({U"bc"}, 0), kScripts), kTooLarge},
          {RenderNode::superscript(tall(kMaxCells / 2), tall(kMaxCells / 2 + 1), kScripts),
           kTooLarge},
          {RenderNode::prime_suffix(kX, kMaxCells), kTooLarge},
          // Sizes that would wrap around saturate instead.
          {RenderNode::limits(kX, tall(UINT32_MAX), kEmpty, kBands), kTooLarge},
          {RenderNode::both_scripts(kX, tall(UINT32_MAX), tall(UINT32_MAX), kScripts, false),
           kTooLarge},
          {RenderNode::prime_suffix(wide, kSaturated), kTooLarge},
      });
}

}  // namespace

void layout_scripts_tests(Suite& s) {
  tables(s);
  superscripts(s);
  subscripts(s);
  both(s);
  primes_and_limits(s);
  size_limit(s);
}

}  // namespace vok::test
