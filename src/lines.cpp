// Breaking a wide formula into lines, as a typesetter breaks display math: the list at the top of
// the formula is broken before a relation, else before a binary operator between operands, so
// that each line is at most the width when it can be; the continuation lines are indented to the
// first relation (past it when a line starts with a binary operator), and the lines are set one
// under the other as a table's rows. A formula that fits, or cannot be broken, is left whole.
#include <algorithm>
#include <vector>

#include "arena.hpp"
#include "measure.hpp"
#include "unicode.hpp"
#include "vocabulary.hpp"

namespace vok {
namespace {

// One line of a broken formula: its items, and whether it opens with a binary operator (indented
// two columns further).
struct Line {
  std::size_t start, end;
  bool binary;
};

// The lines one under the other, as a table's rows: each as tall as its items above and below
// their common baseline (a line of blanks alone still one row), a blank row between two when
// either is taller than one. Calls `each(k, top + ascent)`, the line's baseline row, for each line
// in turn, and returns the rows the lines take.
template <class Each>
std::size_t set_out(const NodeRef* items, std::span<const Line> lines, Each each) {
  const auto extent = [items](const Line& line) {
    std::size_t ascent = 0, descent = 0;
    for (std::size_t i = line.start; i < line.end; ++i) {
      ascent = std::max<std::size_t>(ascent, items[i]->baseline);
      descent = std::max(descent, items[i]->descent());
    }
    return std::pair{ascent, ascent + descent == 0 ? 1 : descent};
  };
  std::size_t y = 0;
  auto next = extent(lines[0]);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const auto [ascent, descent] = next;
    each(k, y + ascent);
    y = add_sat(y, ascent + descent);
    if (k + 1 < lines.size()) {
      next = extent(lines[k + 1]);
      if (ascent + descent > 1 || next.first + next.second > 1) y = add_sat(y, 1);
    }
  }
  return y;
}

struct BrokenLines {  // the lines of a broken formula, the later ones indented
  const NodeRef* items;
  const Line* lines;
  std::size_t count;
  std::size_t indent;
};

// Where line k starts across.
std::size_t indent_of(const BrokenLines& shape, std::size_t k) {
  return k == 0 ? 0 : shape.indent + (shape.lines[k].binary ? 2 : 0);
}

void paint(const BrokenLines& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  set_out(shape.items, {shape.lines, shape.count}, [&](std::size_t k, std::size_t baseline) {
    std::size_t at = x + indent_of(shape, k);
    for (std::size_t i = shape.lines[k].start; i < shape.lines[k].end; ++i) {
      canvas.paint(*shape.items[i], at, y + baseline - shape.items[i]->baseline);
      at += shape.items[i]->width;
    }
  });
}

class Lines {
 public:
  Lines(std::span<const NodeRef> items, ExprList exprs, const Vocabulary& vocabulary,
        std::size_t width)
      : items_(items), width_(width), classes_(items.size()), space_(items.size()) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      space_[i] = std::holds_alternative<Space>(*exprs[i]);
      classes_[i] = class_of(*exprs[i], vocabulary);
    }
  }

  // The items as lines, one under the other.
  Result<NodeRef> set() {
    const std::size_t n = items_.size();
    // There are fewer lines than items; the room no line reaches is never touched.
    Line* lines = current_arena().allocate_array<Line>(n);
    std::size_t count = 0;
    for (std::size_t start = 0; start < n;) {
      while (start < n && space_[start] && count > 0) ++start;  // no blank opens a line
      if (start == n) break;
      const std::size_t cut = cut_after(start, count == 0);
      std::size_t end = cut;
      while (end > start && space_[end - 1]) --end;  // no blank closes a line
      lines[count++] = {start, end, classes_[start] == MathClass::Bin};
      start = cut;
      if (indent_ == 0 || indent_ > width_ / 2) indent_ = std::min<std::size_t>(4, width_ / 2);
    }
    if (count == 1)
      return RenderNode::hstack(items_.subspan(lines[0].start, lines[0].end - lines[0].start));
    const BrokenLines shape{items_.data(), lines, count, indent_};
    std::size_t width = 0;
    const std::size_t height =
        set_out(items_.data(), {lines, count}, [&](std::size_t k, std::size_t) {
          std::size_t across = indent_of(shape, k);
          for (std::size_t i = lines[k].start; i < lines[k].end; ++i)
            across = add_sat(across, items_[i]->width);
          width = std::max(width, across);
        });
    return make_node(width, height, (height - 1) / 2, shape);
  }

 private:
  // Whether a line may end before item i: a relation, or a binary operator between operands.
  [[nodiscard]] bool breakable(std::size_t i) const {
    if (space_[i] || (classes_[i] != MathClass::Rel && classes_[i] != MathClass::Bin)) return false;
    std::size_t before = i;
    while (before > 0 && space_[before - 1]) --before;
    if (before == 0) return false;
    const MathClass previous = classes_[before - 1];
    return classes_[i] == MathClass::Rel ||
           (previous != MathClass::Rel && previous != MathClass::Bin && previous != MathClass::Op &&
            previous != MathClass::Open && previous != MathClass::Punct);
  }

  // Where the line that starts at `start` ends: before the last relation that keeps it within the
  // width, unless a binary operator comes well after it; the end of the items when nothing
  // breaks it. The first line's first relation sets the indentation of the others.
  std::size_t cut_after(std::size_t start, bool first_line) {
    const std::size_t n = items_.size();
    std::size_t x = first_line ? 0 : indent_;
    for (std::size_t end = start, rel = n, bin = n; end < n; ++end) {
      if (end > start && breakable(end)) {
        (classes_[end] == MathClass::Rel ? rel : bin) = end;
        if (first_line && indent_ == 0 && classes_[end] == MathClass::Rel) indent_ = x;
      }
      if (x + items_[end]->width > width_ && (rel < n || bin < n))
        return rel < n && (bin == n || rel >= bin || 2 * (rel - start) >= end - start) ? rel : bin;
      x += items_[end]->width;
    }
    return n;
  }

  std::span<const NodeRef> items_;
  std::size_t width_;
  std::vector<MathClass> classes_;
  std::vector<bool> space_;
  std::size_t indent_ = 0;
};

}  // namespace

Result<NodeRef> measure_lines(const Expr& expr, const Drawing& drawing,
                              const Vocabulary& vocabulary, std::size_t width) {
  const Expr* inner = &expr;
  while (const auto* group = std::get_if<Group>(inner)) inner = group->inner;
  const auto* sequence = std::get_if<Sequence>(inner);
  if (sequence == nullptr) return measure(expr, drawing, vocabulary);
  auto items = measure_all(sequence->items, drawing, vocabulary);
  if (!items) return std::unexpected(std::move(items.error()));
  std::size_t total = 0;
  for (const NodeRef item : *items) total = add_sat(total, item->width);
  if (total <= width) return RenderNode::hstack(*items);
  return Lines(*items, sequence->items, vocabulary, width).set();
}

}  // namespace vok
