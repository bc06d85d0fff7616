// The measuring dispatch: one branch per node kind, children before parents, the first error wins.
#include "measure.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "arena.hpp"
#include "constructs.hpp"
#include "unicode.hpp"
#include "vocabulary.hpp"

namespace vok {
namespace {

constexpr char32_t kOperatorChars[] = {U'+', U'-', U'=', U'·'};  // by BinOp

// Blank columns, the narrow ones shared.
constexpr std::array<RenderNode, 5> kSpaces{{{.width = 0, .height = 1},
                                             {.width = 1, .height = 1},
                                             {.width = 2, .height = 1},
                                             {.width = 3, .height = 1},
                                             {.width = 4, .height = 1}}};

class Measurer {
 public:
  // `whole` is the whole formula, when it is what is measured.
  Measurer(const Drawing& drawing, const Vocabulary& vocabulary) noexcept
      : drawing_(drawing), compose_(*drawing.composer), vocabulary_(vocabulary) {}

  Result<NodeRef> node(const Expr& expr) {
    // Braces draw nothing: go straight to the innermost expression, without a call per level.
    const Expr* inner = &expr;
    while (const auto* group = std::get_if<Group>(inner)) inner = group->inner;
    // What it holds stands alone in its own lists, unless a sequence says otherwise.
    alone_here_ = std::exchange(alone_, true);
    return std::visit([this](const auto& n) { return visit(n); }, *inner);
  }
  // Measures a list in order, its items side by side when `beside`; the first error discards the
  // rest.
  Result<std::span<const NodeRef>> all(ExprList exprs, bool beside = false) {
    if (exprs.empty()) return std::span<const NodeRef>();
    NodeRef* nodes = current_arena().allocate_array<NodeRef>(exprs.size());
    for (std::size_t i = 0; i < exprs.size(); ++i) {
      alone_ = !beside;
      auto item = node(*exprs[i]);
      if (!item) return std::unexpected(std::move(item.error()));
      nodes[i] = *item;
    }
    return std::span<const NodeRef>(nodes, exprs.size());
  }

 private:
  Result<NodeRef> visit(const Symbol& n) { return drawing_.cells(n.text); }
  Result<NodeRef> visit(const Number& n) { return RenderNode::row(n.text); }
  Result<NodeRef> visit(const Group& n) { return node(*n.inner); }
  Result<NodeRef> visit(const Empty&) { return RenderNode::empty(); }
  Result<NodeRef> visit(const Space& n) {
    if (in_script_limits_ && n.script_omits) return &kSpaces[0];
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
    auto items = all(n.items, true);
    if (!items) return std::unexpected(std::move(items.error()));
    return compose_.sequence(*items, n.items, vocabulary_);
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
    return compose_.matrix(n.env->open, n.env->close, {rows, n.rows.size()});
  }

  Result<NodeRef> visit(const Table& n) {
    auto* rows = current_arena().allocate_array<std::span<const NodeRef>>(n.rows.size());
    for (std::size_t k = 0; k < n.rows.size(); ++k) {
      auto cells = all(n.rows[k]);
      if (!cells) return std::unexpected(std::move(cells.error()));
      rows[k] = *cells;
    }
    return compose_.table({rows, n.rows.size()}, *n.layout);
  }

  // A command is drawn by its row's construct from its measured arguments; an unknown one is its
  // name.
  Result<NodeRef> visit(const Command& n) {
    std::span<const NodeRef> args, optional;
    return command(n, args, optional);
  }

  // The same, keeping the measured arguments.
  Result<NodeRef> command(const Command& n, std::span<const NodeRef>& args,
                          std::span<const NodeRef>& optional) {
    const Definition* def = n.parts->def;
    if (def == nullptr || def->construct == nullptr) return drawing_.cells(n.name);
    if (auto failed = arguments(n, args, optional)) return std::unexpected(std::move(*failed));
    return compose_.command(*def, args, optional, drawing_);
  }

  // Measures a command's arguments and optional arguments; the first error, if any.
  std::optional<ParseError> arguments(const Command& n, std::span<const NodeRef>& args,
                                      std::span<const NodeRef>& optional) {
    auto measured = all(n.parts->args);
    if (!measured) return std::move(measured.error());
    args = *measured;
    measured = all(n.parts->optional);
    if (!measured) return std::move(measured.error());
    optional = *measured;
    return std::nullopt;
  }

  // Whether a superscript starts with prime marks, which are written before a subscript.
  [[nodiscard]] static bool starts_with_prime(const Expr& sup) noexcept {
    const Expr* first = &sup;
    if (const auto* sequence = std::get_if<Sequence>(first)) first = sequence->items.front();
    const auto* symbol = std::get_if<Symbol>(first);
    return symbol != nullptr && vok::starts_with_prime(symbol->text);
  }

  // A command whose scripts are limits (\lim), or a large operator, whose limits its drawing
  // sets, or null; the test looks at the unrendered base.
  [[nodiscard]] static const Command* with_limits(const Expr& base) noexcept {
    const auto* command = std::get_if<Command>(&base);
    const Definition* def = command != nullptr ? command->parts->def : nullptr;
    return def != nullptr && (def->limits || def->takes('b')) && def->construct != nullptr
               ? command
               : nullptr;
  }

  // A base and its scripts, each null when absent, measured in that order: limits on a command
  // that takes them, else scripts beside the base.
  Result<NodeRef> scripts(const Expr& base_expr, const Expr* sub_expr, const Expr* sup_expr) {
    const bool alone = alone_here_;
    // A command with limits is drawn by the composition of its limits.
    const Command* op = with_limits(base_expr);
    std::span<const NodeRef> args, optional;
    NodeRef base = nullptr;
    if (op != nullptr) {
      if (auto failed = arguments(*op, args, optional)) return std::unexpected(std::move(*failed));
    } else {
      auto measured = node(base_expr);
      if (!measured) return measured;
      base = *measured;
    }
    // Limits written as scripts are set as scripts.
    const bool outer = in_script_limits_;
    in_script_limits_ = outer || (op != nullptr && drawing_.limits_as_scripts);
    NodeRef sub = nullptr, sup = nullptr;
    if (sub_expr != nullptr) {
      auto measured = node(*sub_expr);
      if (!measured) return measured;
      sub = *measured;
    }
    if (sup_expr != nullptr) {
      auto measured = node(*sup_expr);
      if (!measured) return measured;
      sup = *measured;
    }
    in_script_limits_ = outer;
    if (op != nullptr)
      return compose_.limits({*op->parts->def, args, optional}, sub, sup, drawing_);
    const bool sup_first = sub != nullptr && sup != nullptr && starts_with_prime(*sup_expr);
    return compose_.scripts(base, sub, sup, {.sup_first = sup_first, .alone = alone}, drawing_);
  }

  Result<NodeRef> visit(const Superscript& n) { return scripts(*n.base, nullptr, n.sup); }
  Result<NodeRef> visit(const Subscript& n) { return scripts(*n.base, n.sub, nullptr); }
  Result<NodeRef> visit(const SubSup& n) { return scripts(*n.base, n.sub, n.sup); }

  Result<NodeRef> visit(const Primes& n) {
    auto base = node(*n.base);
    if (!base) return base;
    return RenderNode::prime_suffix(*base, n.count);
  }

  const Drawing& drawing_;
  const Composer& compose_;
  const Vocabulary& vocabulary_;
  bool in_script_limits_ = false;  // measuring limits that are written as scripts
  bool alone_ = true;              // the next expression measured stands alone (not in a sequence)
  bool alone_here_ = true;         // the expression being visited does
};

// ---- the picture's compositions ----

Result<NodeRef> limits_on_sign(const Operator& op, NodeRef lower, NodeRef upper,
                               const Drawing& drawing);

// A large operator with its operand and no limits is drawn as one whose limits go on its sign,
// where the drawing sets them so.
Result<NodeRef> picture_command(const Definition& def, std::span<const NodeRef> args,
                                std::span<const NodeRef> optional, const Drawing& drawing) {
  if (drawing.operator_limits.on_sign && def.takes('b') && !args.empty())
    return limits_on_sign({def, args, optional}, nullptr, nullptr, drawing);
  return def.construct(def, args, optional);
}

Result<NodeRef> picture_scripts(NodeRef base, NodeRef sub, NodeRef sup, ScriptPlace place,
                                const Drawing& drawing) {
  if (sub == nullptr) return RenderNode::superscript(base, sup, drawing.scripts);
  if (sup == nullptr) return RenderNode::subscript(base, sub, drawing.scripts);
  return RenderNode::both_scripts(base, sub, sup, drawing.scripts, place.sup_first);
}

struct Operated {  // a large operator with its limits and its operand
  NodeRef whole;   // the node they make
  NodeRef sizing;  // the node its sign is as tall as
};

void paint(const Operated& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.whole, x, y);
}

// The node a sign before `body` is as tall as: the body, or when the body is a large operator
// with its limits and operand, what that one's sign is as tall as, so that operators side by side
// are of one size (∫∑ᵢ₌₁ⁿ i, not an ∫ as tall as the ∑ with its limits).
NodeRef sizing_of(NodeRef body) {
  if (body->painter != &detail::paint_shape<Operated>) return body;
  Operated shape;
  std::memcpy(&shape, body->shape.bytes, sizeof shape);
  return shape.sizing;
}

// A large operator whose limits go on its sign: its sign with its limits centred over and under
// it, or its scripts at its right, then a blank column and its operand.
Result<NodeRef> limits_on_sign(const Operator& op, NodeRef lower, NodeRef upper,
                               const Drawing& drawing) {
  const NodeRef body = op.args.empty() ? RenderNode::empty() : op.args.front();
  const NodeRef sizing = sizing_of(body);
  auto sign = construct::sign_alone(op.def, sizing);
  if (!sign) return sign;
  Result<NodeRef> set = *sign;
  if (op.def.limits) {
    set = set_limits(*sign, op.def, lower, upper, drawing);
  } else if (lower != nullptr || upper != nullptr) {
    set = RenderNode::side_limits(*sign, lower, upper, drawing.scripts);
  }
  if (!set) return set;
  // With no operand it is still an operator: one written after it is its size, not its limits'.
  if (body->width == 0)
    return make_node((*set)->width, (*set)->height, (*set)->baseline, Operated{*set, sizing});
  NodeRef* items = current_arena().allocate_array<NodeRef>(3);
  items[0] = *set;
  items[1] = &kSpaces[1];
  items[2] = body;
  auto whole = RenderNode::hstack({items, 3});
  if (!whole) return whole;
  return make_node((*whole)->width, (*whole)->height, (*whole)->baseline, Operated{*whole, sizing});
}

Result<NodeRef> picture_limits(const Operator& op, NodeRef lower, NodeRef upper,
                               const Drawing& drawing) {
  if (drawing.operator_limits.on_sign && op.def.takes('b'))
    return limits_on_sign(op, lower, upper, drawing);
  auto drawn = op.def.construct(op.def, op.args, op.optional);
  if (!drawn) return drawn;
  return set_limits(*drawn, op.def, lower, upper, drawing);
}

Result<NodeRef> picture_sequence(std::span<const NodeRef> items, ExprList, const Vocabulary&) {
  return RenderNode::hstack(items);
}

}  // namespace

const Composer kPictureComposer{
    .command = picture_command,
    .scripts = picture_scripts,
    .limits = picture_limits,
    .matrix = RenderNode::matrix,
    .table = RenderNode::table,
    .sequence = picture_sequence,
};

// A large operator that takes its operand sets its limits as the drawing's operators do; the
// others (\lim, \max) as its other commands do.
Result<NodeRef> set_limits(NodeRef base, const Definition& def, NodeRef lower, NodeRef upper,
                           const Drawing& drawing) {
  return RenderNode::limits(base, lower != nullptr ? lower : RenderNode::empty(),
                            upper != nullptr ? upper : RenderNode::empty(),
                            def.takes('b') ? drawing.operator_limits : drawing.limits);
}

MathClass class_of(const Expr& expr, const Vocabulary& vocabulary) {
  if (const auto* command = std::get_if<Command>(&expr))
    return command->parts->def != nullptr ? command->parts->def->cls : MathClass::Ord;
  if (const auto* symbol = std::get_if<Symbol>(&expr); symbol != nullptr && !symbol->text.empty())
    return vocabulary.class_of(decode_utf8(symbol->text, 0).ch);
  return MathClass::Ord;
}

Result<NodeRef> measure(const Expr& expr, const Drawing& drawing, const Vocabulary& vocabulary) {
  return Measurer(drawing, vocabulary).node(expr);
}

Result<std::span<const NodeRef>> measure_all(ExprList exprs, const Drawing& drawing,
                                             const Vocabulary& vocabulary) {
  return Measurer(drawing, vocabulary).all(exprs);
}

}  // namespace vok
