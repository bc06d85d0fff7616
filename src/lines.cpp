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

// The class of an atom at the top of a formula, for where a line may end.
MathClass class_of(const Expr& expr, const Vocabulary& vocabulary) {
  if (const auto* command = std::get_if<Command>(&expr))
    return command->parts->def != nullptr ? command->parts->def->cls : MathClass::Ord;
  if (const auto* symbol = std::get_if<Symbol>(&expr); symbol != nullptr && !symbol->text.empty())
    return vocabulary.class_of(decode_utf8(symbol->text, 0).ch);
  return MathClass::Ord;
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

  // The items as lines: one row of a table each.
  Result<NodeRef> set() {
    const std::size_t n = items_.size();
    std::vector<std::span<const NodeRef>> rows;
    for (std::size_t start = 0; start < n;) {
      while (start < n && space_[start] && !rows.empty()) ++start;  // no blank opens a line
      if (start == n) break;
      const std::size_t cut = cut_after(start, rows.empty());
      auto row = line(start, cut, rows.empty());
      if (!row) return row;
      NodeRef* cell = current_arena().allocate_array<NodeRef>(1);
      cell[0] = *row;
      rows.push_back({cell, 1});
      start = cut;
      if (indent_ == 0 || indent_ > width_ / 2) indent_ = std::min<std::size_t>(4, width_ / 2);
    }
    if (rows.size() == 1) return rows.front().front();
    auto* kept = current_arena().allocate_array<std::span<const NodeRef>>(rows.size());
    std::ranges::copy(rows, kept);
    static constexpr TableLayout kLines{.align = "l", .gap = 0};
    return RenderNode::table({kept, rows.size()}, kLines);
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

  // The items from `start` up to `cut`, without the blanks at the end, indented unless first.
  Result<NodeRef> line(std::size_t start, std::size_t cut, bool first_line) {
    std::size_t last = cut;
    while (last > start && space_[last - 1]) --last;  // no blank closes a line
    std::vector<NodeRef> line;
    if (!first_line) {
      const bool binary = classes_[start] == MathClass::Bin;
      auto blank = RenderNode::blank(binary ? indent_ + 2 : indent_, 0, 0);
      if (!blank) return blank;
      line.push_back(*blank);
    }
    line.insert(line.end(), items_.begin() + static_cast<std::ptrdiff_t>(start),
                items_.begin() + static_cast<std::ptrdiff_t>(last));
    NodeRef* kept = current_arena().allocate_array<NodeRef>(line.size());
    std::ranges::copy(line, kept);
    return RenderNode::hstack({kept, line.size()});
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
  if (sequence == nullptr) return measure(expr, drawing);
  auto items = measure_all(sequence->items, drawing);
  if (!items) return std::unexpected(std::move(items.error()));
  std::size_t total = 0;
  for (const NodeRef item : *items) total = add_sat(total, item->width);
  if (total <= width) return RenderNode::hstack(*items);
  return Lines(*items, sequence->items, vocabulary, width).set();
}

}  // namespace vok
