// The render dispatch: one branch per node kind, children before parents, the first error wins.
#include "render.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "arena.hpp"
#include "unicode.hpp"
#include "vocabulary.hpp"

namespace vok {
namespace {

constexpr char32_t kOperatorChars[] = {U'+', U'-', U'=', U'·'};  // by BinOp

// The spacing escapes: blank nodes of one row.
constexpr RenderNode kThinSpace{.width = 1, .height = 1};    // \,
constexpr RenderNode kMediumSpace{.width = 2, .height = 1};  // \:
constexpr RenderNode kThickSpace{.width = 3, .height = 1};   // \;
constexpr RenderNode kNoSpace{.width = 0, .height = 1};      // \!
constexpr RenderNode kWideSpace{.width = 4, .height = 1};    // a backslash before white space
// The LaTeX dialect's spaces between atoms, the narrow ones shared.
constexpr std::array<RenderNode, 5> kSpaces{{{.width = 0, .height = 1},
                                             {.width = 1, .height = 1},
                                             {.width = 2, .height = 1},
                                             {.width = 3, .height = 1},
                                             {.width = 4, .height = 1}}};

class Renderer {
 public:
  explicit Renderer(Options options) noexcept
      : latex_(options.dialect == Dialect::Latex),
        scripts_{.superscripts = !latex_         ? superscript_form
                                 : options.ascii ? prime_form
                                                 : prime_or_superscript_form,
                 .subscripts = !latex_         ? subscript_form
                               : options.ascii ? no_form
                                               : latex_subscript_form,
                 .low_subscripts = latex_,
                 .beside_marks = latex_,
                 .compact_pairs = latex_} {}

  // The formula broken into lines no wider than `width` (LaTeX): a list at the top of the formula
  // is broken before relations, else before binary operators, the continuation lines indented to
  // the first relation (past it for a line that starts with a binary operator), and the lines set
  // one under the other as a table's rows. A formula that fits, or cannot be broken, is left whole.
  Result<NodeRef> lines(const Expr& expr, std::size_t width) {
    const Expr* inner = &expr;
    while (const auto* group = std::get_if<Group>(inner)) inner = group->inner;
    const auto* sequence = std::get_if<Sequence>(inner);
    if (sequence == nullptr) return node(expr);
    auto rendered = all(sequence->items);
    if (!rendered) return std::unexpected(std::move(rendered.error()));
    const std::span<const NodeRef> items = *rendered;
    const ExprList exprs = sequence->items;
    std::size_t total = 0;
    for (const NodeRef item : items) total = add_sat(total, item->width);
    if (total <= width) return RenderNode::hstack(items);

    // Where a line may end: before a relation, or before a binary operator between operands.
    const std::size_t n = items.size();
    std::vector<MathClass> classes(n, MathClass::Ord);
    std::vector<bool> space(n, false);
    for (std::size_t i = 0; i < n; ++i) {
      space[i] = std::holds_alternative<Space>(*exprs[i]);
      classes[i] = class_of(*exprs[i]);
    }
    const auto breakable = [&](std::size_t i) {
      if (space[i] || (classes[i] != MathClass::Rel && classes[i] != MathClass::Bin)) return false;
      std::size_t before = i;
      while (before > 0 && space[before - 1]) --before;
      if (before == 0) return false;
      const MathClass previous = classes[before - 1];
      return classes[i] == MathClass::Rel ||
             (previous != MathClass::Rel && previous != MathClass::Bin &&
              previous != MathClass::Op && previous != MathClass::Open &&
              previous != MathClass::Punct);
    };

    std::vector<std::span<const NodeRef>> rows;
    std::size_t indent = 0, start = 0;
    while (start < n) {
      while (start < n && space[start] && !rows.empty()) ++start;  // no blank opens a line
      if (start == n) break;
      const std::size_t first = rows.empty() ? 0 : indent;
      std::size_t x = first, end = start, cut = n;
      for (std::size_t rel = n, bin = n; end < n; ++end) {
        if (end > start && breakable(end)) {
          (classes[end] == MathClass::Rel ? rel : bin) = end;
          if (rows.empty() && indent == 0 && classes[end] == MathClass::Rel) indent = x;
        }
        if (x + items[end]->width > width && (rel < n || bin < n)) {
          // The last relation, unless a binary operator comes well after it.
          cut = rel < n && (bin == n || rel >= bin || 2 * (rel - start) >= end - start) ? rel : bin;
          break;
        }
        x += items[end]->width;
      }
      std::size_t last = cut;
      while (last > start && space[last - 1]) --last;  // no blank closes a line
      std::vector<NodeRef> line;
      if (!rows.empty()) {
        const bool binary = classes[start] == MathClass::Bin;
        auto blank = RenderNode::blank(binary ? indent + 2 : indent, 0, 0);
        if (!blank) return blank;
        line.push_back(*blank);
      }
      line.insert(line.end(), items.begin() + static_cast<std::ptrdiff_t>(start),
                  items.begin() + static_cast<std::ptrdiff_t>(last));
      NodeRef* kept = current_arena().allocate_array<NodeRef>(line.size());
      std::ranges::copy(line, kept);
      auto row = RenderNode::hstack({kept, line.size()});
      if (!row) return row;
      NodeRef* cell = current_arena().allocate_array<NodeRef>(1);
      cell[0] = *row;
      rows.push_back({cell, 1});
      start = cut;
      if (indent == 0 || indent > width / 2) indent = std::min<std::size_t>(4, width / 2);
    }
    if (rows.size() == 1) return rows.front().front();
    auto* kept = current_arena().allocate_array<std::span<const NodeRef>>(rows.size());
    std::ranges::copy(rows, kept);
    static constexpr TableLayout kLines{.align = "l", .gap = 0};
    return RenderNode::table({kept, rows.size()}, kLines);
  }

  Result<NodeRef> node(const Expr& expr) {
    // Braces draw nothing: go straight to the innermost expression, without a call per level.
    const Expr* inner = &expr;
    while (const auto* group = std::get_if<Group>(inner)) inner = group->inner;
    return std::visit([this](const auto& n) { return visit(n); }, *inner);
  }

 private:
  // In the LaTeX dialect a cell is a display column: wide characters take two, marks none.
  Result<NodeRef> visit(const Symbol& n) {
    // A one-byte text is an ASCII character: one column either way.
    return latex_ && n.text.size() > 1 ? RenderNode::column_row(n.text) : RenderNode::row(n.text);
  }
  Result<NodeRef> visit(const Number& n) { return RenderNode::row(n.text); }
  Result<NodeRef> visit(const Group& n) { return node(*n.inner); }
  Result<NodeRef> visit(const Empty&) { return RenderNode::empty(); }
  Result<NodeRef> visit(const Space& n) {
    return n.columns < kSpaces.size() ? &kSpaces[n.columns] : RenderNode::blank(n.columns, 1, 0);
  }

  Result<NodeRef> visit(const LeftRight& n) {
    auto parts = all(n.parts);
    if (!parts) return std::unexpected(std::move(parts.error()));
    return RenderNode::fenced(*parts, {n.delimiters, n.parts.size() + 1});
  }

  Result<NodeRef> visit(const Parens& n) { return delimited(*n.inner, U'(', U')'); }
  Result<NodeRef> visit(const Brackets& n) { return delimited(*n.inner, U'[', U']'); }
  Result<NodeRef> visit(const Delimited& n) { return delimited(*n.inner, n.open, n.close); }

  Result<NodeRef> delimited(const Expr& inner, char32_t open, char32_t close) {
    auto content = node(inner);
    if (!content) return content;
    return RenderNode::fence(*content, open, close);
  }

  // The minus stands on the operand's baseline row, directly against it.
  Result<NodeRef> visit(const Negate& n) {
    auto operand = node(*n.inner);
    if (!operand) return operand;
    return RenderNode::prefix(U'-', *operand);
  }

  Result<NodeRef> visit(const Escape& n) {
    const Decoded d = n.text.empty() ? Decoded{0, 0} : decode_utf8(n.text, 0);
    if (d.length != 0 && n.text.size() == d.length) {
      switch (d.ch) {
        case U',':
          return &kThinSpace;
        case U':':
          return &kMediumSpace;
        case U';':
          return &kThickSpace;
        case U'!':
          return &kNoSpace;
        default:
          // A backslash before any white space (a tab, a line break) is the space escape: the
          // character itself would break the row it stands in.
          if (is_white_space(d.ch)) return &kWideSpace;
      }
    }
    return RenderNode::row(n.text);
  }

  // a + b - c … nests to the left as deep as the chain is long: walk the spine in a loop, render
  // the operands left to right, and compose the whole chain at once.
  Result<NodeRef> visit(const Infix& n) {
    std::size_t links = 1;
    for (Box lhs = n.lhs; const auto* link = std::get_if<Infix>(lhs); lhs = link->lhs) ++links;
    Arena& arena = current_arena();
    const Infix** spine = arena.allocate_array<const Infix*>(links);
    spine[links - 1] = &n;  // outermost last: spine[0] holds the leftmost operand
    for (std::size_t i = links - 1; i > 0; --i) spine[i - 1] = &std::get<Infix>(*spine[i]->lhs);

    NodeRef* operands = arena.allocate_array<NodeRef>(links + 1);
    char32_t* ops = arena.allocate_array<char32_t>(links);
    for (std::size_t i = 0; i <= links; ++i) {
      auto operand = node(i == 0 ? *spine[0]->lhs : *spine[i - 1]->rhs);
      if (!operand) return operand;
      operands[i] = *operand;
      if (i > 0) ops[i - 1] = kOperatorChars[static_cast<std::size_t>(spine[i - 1]->op)];
    }
    return RenderNode::infix_chain({operands, links + 1}, {ops, links});
  }

  Result<NodeRef> visit(const Sequence& n) {
    auto items = all(n.items);
    if (!items) return std::unexpected(std::move(items.error()));
    return RenderNode::hstack(*items);
  }

  // A row's length is compared only when the row is reached, so an error in an earlier row wins
  // over a length mismatch in a later one.
  Result<NodeRef> visit(const Matrix& n) {
    if (n.rows.empty()) return RenderNode::empty();
    const std::size_t columns = n.rows.front().size();
    auto* rows = current_arena().allocate_array<std::span<const NodeRef>>(n.rows.size());
    for (std::size_t k = 0; k < n.rows.size(); ++k) {
      if (n.rows[k].size() != columns) return fail(std::string(message::kRaggedMatrix));
      auto cells = all(n.rows[k]);
      if (!cells) return std::unexpected(std::move(cells.error()));
      rows[k] = *cells;
    }
    return RenderNode::matrix(n.env->open, n.env->close, {rows, n.rows.size()});
  }

  Result<NodeRef> visit(const Table& n) {
    auto* rows = current_arena().allocate_array<std::span<const NodeRef>>(n.rows.size());
    for (std::size_t k = 0; k < n.rows.size(); ++k) {
      auto cells = all(n.rows[k]);
      if (!cells) return std::unexpected(std::move(cells.error()));
      rows[k] = *cells;
    }
    return RenderNode::table({rows, n.rows.size()}, *n.layout);
  }

  // A command is drawn by its row's construct from its measured arguments; an unknown one is its
  // name.
  Result<NodeRef> visit(const Command& n) {
    const Definition* def = n.parts->def;
    if (def == nullptr || def->construct == nullptr)
      return latex_ ? RenderNode::column_row(n.name) : RenderNode::row(n.name);
    auto args = all(n.parts->args);
    if (!args) return std::unexpected(std::move(args.error()));
    auto optional = all(n.parts->optional);
    if (!optional) return std::unexpected(std::move(optional.error()));
    return def->construct(*def, *args, *optional);
  }

  // The exact markup sets limits left-aligned in equal bands. LaTeX sets them left-aligned over
  // a large operator with its operand, each in rows of its own height, and centres the others
  // (\lim, \max).
  [[nodiscard]] Result<NodeRef> limits(const Expr& base_expr, NodeRef base, NodeRef lower,
                                       NodeRef upper) const {
    if (!latex_)
      return RenderNode::limits(base, lower, upper, {.centred = false, .equal_bands = true});
    const Definition* def = std::get<Command>(base_expr).parts->def;
    return def->takes('b')
               ? RenderNode::limits(base, lower, upper, {.centred = false, .equal_bands = false})
               : RenderNode::limits(base, lower, upper, kCentredLimits);
  }

  // Whether a superscript starts with prime marks, which are written before a subscript.
  [[nodiscard]] static bool starts_with_prime(const Expr& sup) noexcept {
    const Expr* first = &sup;
    if (const auto* sequence = std::get_if<Sequence>(first)) first = sequence->items.front();
    const auto* symbol = std::get_if<Symbol>(first);
    return symbol != nullptr && vok::starts_with_prime(symbol->text);
  }

  // Scripts on a big operator are limits; the test looks at the unrendered base.
  [[nodiscard]] static bool takes_limits(const Expr& base) noexcept {
    const auto* command = std::get_if<Command>(&base);
    return command != nullptr && command->parts->def != nullptr && command->parts->def->limits;
  }

  Result<NodeRef> visit(const Superscript& n) {
    auto base = node(*n.base);
    if (!base) return base;
    auto sup = node(*n.sup);
    if (!sup) return sup;
    if (takes_limits(*n.base)) return limits(*n.base, *base, RenderNode::empty(), *sup);
    return RenderNode::superscript(*base, *sup, scripts_);
  }

  Result<NodeRef> visit(const Subscript& n) {
    auto base = node(*n.base);
    if (!base) return base;
    auto sub = node(*n.sub);
    if (!sub) return sub;
    if (takes_limits(*n.base)) return limits(*n.base, *base, *sub, RenderNode::empty());
    return RenderNode::subscript(*base, *sub, scripts_);
  }

  Result<NodeRef> visit(const SubSup& n) {
    auto base = node(*n.base);
    if (!base) return base;
    auto sub = node(*n.sub);
    if (!sub) return sub;
    auto sup = node(*n.sup);
    if (!sup) return sup;
    if (takes_limits(*n.base)) return limits(*n.base, *base, *sub, *sup);
    return RenderNode::both_scripts(*base, *sub, *sup, scripts_, starts_with_prime(*n.sup));
  }

  Result<NodeRef> visit(const Primes& n) {
    auto base = node(*n.base);
    if (!base) return base;
    return RenderNode::prime_suffix(*base, n.count);
  }

  bool latex_;
  ScriptStyle scripts_;

  // The class of an atom at the top of a formula, for where a line may end.
  [[nodiscard]] static MathClass class_of(const Expr& expr) {
    if (const auto* command = std::get_if<Command>(&expr))
      return command->parts->def != nullptr ? command->parts->def->cls : MathClass::Ord;
    if (const auto* symbol = std::get_if<Symbol>(&expr); symbol != nullptr && !symbol->text.empty())
      return latex_vocabulary().class_of(decode_utf8(symbol->text, 0).ch);
    return MathClass::Ord;
  }

  // Renders a list in order; the first error discards the rest.
  Result<std::span<const NodeRef>> all(ExprList exprs) {
    if (exprs.empty()) return std::span<const NodeRef>();
    NodeRef* nodes = current_arena().allocate_array<NodeRef>(exprs.size());
    for (std::size_t i = 0; i < exprs.size(); ++i) {
      auto item = node(*exprs[i]);
      if (!item) return std::unexpected(std::move(item.error()));
      nodes[i] = *item;
    }
    return std::span<const NodeRef>(nodes, exprs.size());
  }
};

}  // namespace

Result<NodeRef> render(const Expr& expr, Options options) {
  Renderer renderer(options);
  if (options.dialect == Dialect::Latex && options.width > 0)
    return renderer.lines(expr, options.width);
  return renderer.node(expr);
}

}  // namespace vok
