// Scripts, primes and limits: the compositions that attach secondary pieces to a base.
//
// A script that is one row of characters which all have Unicode superscript (or subscript) forms is
// written in those forms on the base's own row, so powers and indices take no extra rows: a
// superscript on the base's top row, a subscript on its baseline row. Any other script is laid out
// on rows of its own, left-aligned in the column right after the base. A dialect's ScriptStyle
// gives the forms and where compact scripts go. `limits` stacks its three pieces above and below
// one another, left-aligned or centred, as the LimitStyle says; `side_limits` sets an integral's at
// the right of its sign, from the sign's first and last rows.
//
// Whether a script is compact depends on the characters it draws, which a node does not know
// until it is painted: the test paints the script through a probe that keeps no cell and only
// checks that every cell gets a character with a form. It runs only on one-row scripts, and the
// scripts nested in a script were tested before it: each script node keeps what a probe found in
// its script under which maps (Canvas::paint_script), so the test of an enclosing script walks its
// own characters and takes the findings of the scripts within. Each script is walked at most
// twice, and the tests stay linear in the tree.
//
// A base whose baseline is not one of its rows (the empty node, or a one-row node grown from it
// by an accent or radical) is extended downward just far enough for whatever is written beside it
// to be drawn; a script that writes nothing leaves such a base unchanged.
#include <algorithm>

#include "arena.hpp"
#include "layout.hpp"

namespace vok {
namespace {

// ---- shapes ----

struct Compact {  // a script in script characters beside the base, on one of its rows
  NodeRef base, script;
  CharMap forms;
  std::uint32_t row;
  mutable ProbeMemo memo;  // what probes of enclosing scripts found in the script
};

void paint(const Compact& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.paint_script(*shape.script, x + shape.base->width, y + shape.row, shape.forms, shape.memo);
}

struct SupRows {  // a superscript on rows of its own above the base
  NodeRef base, script;
  mutable ProbeMemo memo;  // from the probe that found it not compact
};

void paint(const SupRows& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint_script(*shape.script, x + shape.base->width, y, nullptr, shape.memo);
  canvas.paint(*shape.base, x, y + shape.script->height);
}

struct SubRows {  // a subscript on rows of its own from just below the base's baseline
  NodeRef base, script;
};

void paint(const SubRows& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.paint(*shape.script, x + shape.base->width, y + shape.base->baseline + 1);
}

struct Scripts {  // both scripts on rows of their own
  NodeRef base, sub, sup;
  mutable ProbeMemo memo;  // what probes of enclosing scripts found in the superscript
};

void paint(const Scripts& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint_script(*shape.sup, x + shape.base->width, y, nullptr, shape.memo);
  canvas.paint(*shape.base, x, y + shape.sup->height);
  canvas.paint(*shape.sub, x + shape.base->width, y + self.baseline + 1);
}

struct CompactScripts {  // both scripts in script characters: stacked, or side by side on one row
  NodeRef base, sub, sup;
  CharMap sub_forms, sup_forms;
  bool sup_first;                        // side by side, the superscript comes first (prime marks)
  mutable ProbeMemo sub_memo, sup_memo;  // what probes of enclosing scripts found in each
};

void paint(const CompactScripts& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const RenderNode& base = *shape.base;
  canvas.paint(base, x, y);
  const bool one_row = base.height <= 1;
  const std::size_t sub_x = x + base.width + (one_row && shape.sup_first ? shape.sup->width : 0);
  const std::size_t sup_x = x + base.width + (one_row && !shape.sup_first ? shape.sub->width : 0);
  canvas.paint_script(*shape.sub, sub_x, y + (one_row ? base.baseline : base.height - 1),
                      shape.sub_forms, shape.sub_memo);
  canvas.paint_script(*shape.sup, sup_x, y, shape.sup_forms, shape.sup_memo);
}

struct PrimeMarks {  // apostrophes after the base, on its baseline row
  NodeRef base;
  std::size_t count;
};

void paint(const PrimeMarks& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.base, x, y);
  canvas.across(x + shape.base->width, y + self.baseline, shape.count, U'\'');
}

struct SideLimits {  // limits on rows reaching from the ends of a sign, at its right
  NodeRef base, lower, upper;
};

void paint(const SideLimits& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t top = self.baseline - shape.base->baseline;  // the sign's first row
  canvas.paint(*shape.base, x, y + top);
  const std::size_t right = x + shape.base->width;
  canvas.paint(*shape.upper, right, y + top + 1 - std::max<std::size_t>(shape.upper->height, 1));
  canvas.paint(*shape.lower, right, y + top + shape.base->height - 1);
}

struct Limits {  // limits above and below a base
  NodeRef base, lower, upper;
  LimitStyle style;
};

void paint(const Limits& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t band = shape.style.equal_bands
                               ? std::max(shape.lower->height, shape.upper->height)
                               : shape.upper->height;
  // Centred, an odd spare column goes to the right.
  const auto left = [&](const RenderNode& part) {
    return shape.style.centred ? x + (self.width - part.width) / 2 : x;
  };
  canvas.paint(*shape.upper, left(*shape.upper), y + band - shape.upper->height);
  canvas.paint(*shape.base, left(*shape.base), y + band);
  canvas.paint(*shape.lower, left(*shape.lower), y + band + shape.base->height);
}

// ---- measures ----

// A script is compact when it is exactly one row and every cell, blanks included, has a form; one
// row of width 0 qualifies and converts to nothing.
bool is_compact(const RenderNode& script, CharMap map) {
  return script.height == 1 && Canvas::converts_whole_row(script, map);
}

// The same, keeping what the probe found for a script that is not compact.
bool is_compact(const RenderNode& script, CharMap map, ProbeMemo& found) {
  if (script.height != 1) return false;
  found = Canvas::probe(script, map);
  return found.converts && found.written == script.width;
}

// A node written on its base's row binds as its base does: x² as x, (a/b)² as (a/b).
Result<NodeRef> bound_as(const RenderNode& base, Result<RenderNode*> node) {
  if (node) (*node)->binding = base.bound();
  return node;
}

// The height of `base` with a compact script written on row `row`: a script with characters makes
// the node reach down to that row even when the base does not.
std::size_t compact_height(const RenderNode& base, const RenderNode& script, std::size_t row) {
  return script.width == 0 ? base.height : std::max<std::size_t>(base.height, add_sat(row, 1));
}

}  // namespace

Result<NodeRef> RenderNode::superscript(NodeRef base, NodeRef sup, const ScriptStyle& style) {
  const std::size_t width = add_sat(base->width, sup->width);
  ProbeMemo found;
  if (is_compact(*sup, style.superscripts, found)) {
    // Beside a letter under its accent's mark, as TeX sets it (x̂², not a ² beside the hat).
    const std::uint32_t row = style.beside_marks && base->under_mark ? 1 : 0;
    return bound_as(*base, make_node(width, compact_height(*base, *sup, 0), base->baseline,
                                     Compact{base, sup, style.superscripts, row, {}}));
  }
  return make_node(width, add_sat(sup->height, base->height), add_sat(sup->height, base->baseline),
                   SupRows{base, sup, found});
}

Result<NodeRef> RenderNode::subscript(NodeRef base, NodeRef sub, const ScriptStyle& style) {
  const std::size_t width = add_sat(base->width, sub->width);
  if (is_compact(*sub, style.subscripts)) {
    // Under a tall base TeX lowers the subscript to the base's last row.
    if (style.low_subscripts && base->height > 1)
      return make_node(width, base->height, base->baseline,
                       Compact{base, sub, style.subscripts, base->height - 1, {}});
    return bound_as(*base,
                    make_node(width, compact_height(*base, *sub, base->baseline), base->baseline,
                              Compact{base, sub, style.subscripts, base->baseline, {}}));
  }
  // The subscript hangs from the row below the baseline, beside the base's lower rows; the node
  // grows only when it reaches past them. A script with no rows reaches nothing.
  const std::size_t below = add_sat(base->baseline, 1);
  const std::size_t height = sub->height == 0
                                 ? base->height
                                 : std::max<std::size_t>(base->height, add_sat(below, sub->height));
  return make_node(width, height, base->baseline, SubRows{base, sub});
}

Result<NodeRef> RenderNode::both_scripts(NodeRef base, NodeRef sub, NodeRef sup,
                                         const ScriptStyle& style, bool sup_first) {
  if (style.compact_pairs && is_compact(*sub, style.subscripts) &&
      is_compact(*sup, style.superscripts)) {
    const bool one_row = base->height <= 1;
    const std::size_t width =
        one_row ? add_sat(sub->width, sup->width) : std::max(sub->width, sup->width);
    const std::size_t height =
        std::max(compact_height(*base, *sup, 0),
                 compact_height(*base, *sub, one_row ? base->baseline : base->height - 1));
    return bound_as(
        *base,
        make_node(add_sat(base->width, width), height, base->baseline,
                  CompactScripts{
                      base, sub, sup, style.subscripts, style.superscripts, sup_first, {}, {}}));
  }
  // Room for the subscript is reserved below the whole base even though it starts just below the
  // baseline, so beside a deep base the bottom rows stay blank; beside a base whose baseline is
  // past its last row the subscript's own extent decides instead.
  const std::size_t baseline = add_sat(sup->height, base->baseline);
  std::size_t height = add_sat(add_sat(sup->height, base->height), sub->height);
  if (sub->height != 0) height = std::max(height, add_sat(add_sat(baseline, 1), sub->height));
  return make_node(add_sat(base->width, std::max(sub->width, sup->width)), height, baseline,
                   Scripts{base, sub, sup, {}});
}

Result<NodeRef> RenderNode::side_limits(NodeRef base, NodeRef lower, NodeRef upper,
                                        const ScriptStyle& style) {
  const bool low = lower == nullptr || is_compact(*lower, style.subscripts);
  const bool up = upper == nullptr || is_compact(*upper, style.superscripts);
  if (low && up && (lower != nullptr || upper != nullptr)) {
    if (lower == nullptr) return superscript(base, upper, style);
    if (upper == nullptr) return subscript(base, lower, style);
    return both_scripts(base, lower, upper, style, false);
  }
  if (lower == nullptr) lower = empty();
  if (upper == nullptr) upper = empty();
  const std::size_t above = upper->height > 1 ? upper->height - 1 : 0;
  const std::size_t below = lower->height > 1 ? lower->height - 1 : 0;
  return make_node(add_sat(base->width, std::max(lower->width, upper->width)),
                   add_sat(add_sat(above, base->height), below), add_sat(above, base->baseline),
                   SideLimits{base, lower, upper});
}

Result<NodeRef> RenderNode::prime_suffix(NodeRef base, std::size_t count) {
  // The primes sit on the baseline row, which the node is extended to reach if need be.
  const std::size_t height = add_sat(base->baseline, std::max<std::size_t>(base->descent(), 1));
  return bound_as(*base, make_node(add_sat(base->width, count), height, base->baseline,
                                   PrimeMarks{base, count}));
}

Result<NodeRef> RenderNode::limits(NodeRef base, NodeRef lower, NodeRef upper,
                                   const LimitStyle& style) {
  const std::size_t width = std::max({base->width, lower->width, upper->width});
  // Left-aligned, the extra column on the right keeps what follows off the operator.
  const std::size_t spare = style.centred ? 0 : 1;
  if (style.equal_bands) {
    // Both bands take the taller limit's height so the base stays centred when one is absent.
    const std::size_t band = std::max(lower->height, upper->height);
    return make_node(add_sat(width, spare), add_sat(base->height, mul_sat(band, 2)),
                     add_sat(band, base->baseline), Limits{base, lower, upper, style});
  }
  return make_node(add_sat(width, spare),
                   add_sat(add_sat(upper->height, base->height), lower->height),
                   add_sat(upper->height, base->baseline), Limits{base, lower, upper, style});
}

}  // namespace vok
