// The render dispatch: one branch per node kind, children before parents, the first error wins.
#include "render.hpp"

#include "arena.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

constexpr char32_t kOperatorChars[] = {U'+', U'-', U'=', U'·'};  // by BinOp

// Children that wait side by side for their parent. Every composition has at least as many cells
// as its children together, so once the children alone pass the size limit the parent cannot be
// drawn: from then on children are still rendered, for the errors they may report first, but
// their blocks are dropped, so memory stays bounded however many of them there are.
class Siblings {
 public:
  explicit Siblings(BlockStack& stack) noexcept : stack_(stack), start_(stack.mark()) {}

  // Whether to keep a child just rendered from `mark` on; false once the limit is passed.
  [[nodiscard]] bool keep(const RenderNode& child, BlockStack::Mark mark) noexcept {
    if (!over_) {
      cells_ = add_sat(cells_, mul_sat(child.width, child.height));
      over_ = cells_ > kMaxCells;
      if (!over_) return true;
      mark = start_;  // the siblings kept so far are of no use either
    }
    stack_.release(mark);
    return false;
  }
  // The parent's error once the limit has been passed.
  [[nodiscard]] bool over() const noexcept { return over_; }

 private:
  BlockStack& stack_;
  BlockStack::Mark start_;
  std::size_t cells_ = 0;
  bool over_ = false;
};

class Renderer {
 public:
  Renderer(const SymbolRegistry& registry, RenderCtx& ctx) noexcept
      : registry_(registry), ctx_(ctx), stack_(current_arena().blocks()) {}

  Result<RenderNode> node(const Expr& expr) {
    // Braces draw nothing: go straight to the innermost expression, without a call per level.
    const Expr* inner = &expr;
    while (const auto* group = std::get_if<Group>(inner)) inner = group->inner;
    // The children's blocks die once this node's block is built: keep it in their place.
    const BlockStack::Mark mark = stack_.mark();
    auto block = std::visit([this](const auto& n) { return visit(n); }, *inner);
    if (!block) {
      stack_.release(mark);
      return block;
    }
    block->cells = stack_.keep(mark, block->cells, block->width * block->height);
    return block;
  }

 private:
  Result<RenderNode> visit(const Symbol& n) { return RenderNode::row(n.text); }
  Result<RenderNode> visit(const Number& n) { return RenderNode::row(n.text); }
  Result<RenderNode> visit(const Group& n) { return node(*n.inner); }
  Result<RenderNode> visit(const Empty&) { return RenderNode::empty(); }

  Result<RenderNode> visit(const Parens& n) { return delimited(*n.inner, U'(', U')'); }
  Result<RenderNode> visit(const Brackets& n) { return delimited(*n.inner, U'[', U']'); }
  Result<RenderNode> visit(const Delimited& n) { return delimited(*n.inner, n.open, n.close); }

  Result<RenderNode> delimited(const Expr& inner, char32_t open, char32_t close) {
    auto block = node(inner);
    if (!block) return block;
    return RenderNode::stretchy_delim(*block, open, close, false);
  }

  // The minus stands on the operand's baseline row, directly against it.
  Result<RenderNode> visit(const Negate& n) {
    auto operand = node(*n.inner);
    if (!operand) return operand;
    // An operand that does not reach its own baseline (an empty group) grows down to it, so the
    // minus has a row.
    const std::size_t height = std::max(operand->height, add_sat(operand->baseline, 1));
    auto result = RenderNode::blank(add_sat(operand->width, 1), height, operand->baseline);
    if (!result) return result;
    result->at(operand->baseline, 0) = U'-';
    result->blit(*operand, 1, 0);
    return result;
  }

  Result<RenderNode> visit(const Escape& n) {
    const Decoded d = n.text.empty() ? Decoded{0, 0} : decode_utf8(n.text, 0);
    if (d.length != 0 && n.text.size() == d.length) {
      switch (d.ch) {
        case U',':
          return RenderNode::blank(1, 1, 0);
        case U':':
          return RenderNode::blank(2, 1, 0);
        case U';':
          return RenderNode::blank(3, 1, 0);
        case U'!':
          return RenderNode::blank(0, 1, 0);
        default:
          // A backslash before any white space (a tab, a line break) is the space escape: the
          // character itself would break the row it stands in.
          if (is_white_space(d.ch)) return RenderNode::blank(4, 1, 0);
      }
    }
    return RenderNode::row(n.text);
  }

  // a + b - c … nests to the left as deep as the chain is long: walk the spine in a loop, render
  // the operands left to right, and compose the whole chain at once.
  Result<RenderNode> visit(const Infix& n) {
    std::size_t links = 1;
    for (Box lhs = n.lhs; const auto* link = std::get_if<Infix>(lhs); lhs = link->lhs) ++links;
    Arena& arena = current_arena();
    const Infix** spine = arena.allocate_array<const Infix*>(links);
    spine[links - 1] = &n;  // outermost last: spine[0] holds the leftmost operand
    for (std::size_t i = links - 1; i > 0; --i) spine[i - 1] = &std::get<Infix>(*spine[i]->lhs);

    RenderNode* operands = arena.allocate_array<RenderNode>(links + 1);
    char32_t* ops = arena.allocate_array<char32_t>(links);
    Siblings siblings(stack_);
    for (std::size_t i = 0; i <= links; ++i) {
      const BlockStack::Mark mark = stack_.mark();
      auto operand = node(i == 0 ? *spine[0]->lhs : *spine[i - 1]->rhs);
      if (!operand) return operand;
      if (siblings.keep(*operand, mark)) operands[i] = *operand;
      if (i > 0) ops[i - 1] = kOperatorChars[static_cast<std::size_t>(spine[i - 1]->op)];
    }
    if (siblings.over()) return fail(std::string(message::kTooLarge));
    return RenderNode::infix_chain({operands, links + 1}, {ops, links});
  }

  Result<RenderNode> visit(const Sequence& n) {
    Siblings siblings(stack_);
    auto items = all(n.items, siblings);
    if (!items) return std::unexpected(std::move(items.error()));
    if (siblings.over()) return fail(std::string(message::kTooLarge));
    return RenderNode::hstack(*items, 0);
  }

  // A row's length is compared only when the row is reached, so an error in an earlier row wins
  // over a length mismatch in a later one.
  Result<RenderNode> visit(const Matrix& n) {
    if (n.rows.empty()) return RenderNode::empty();
    const std::size_t columns = n.rows.front().size();
    auto* rows = current_arena().allocate_array<std::span<const RenderNode>>(n.rows.size());
    Siblings siblings(stack_);
    for (std::size_t k = 0; k < n.rows.size(); ++k) {
      if (n.rows[k].size() != columns) return fail(std::string(message::kRaggedMatrix));
      auto cells = all(n.rows[k], siblings);
      if (!cells) return std::unexpected(std::move(cells.error()));
      new (rows + k) std::span<const RenderNode>(*cells);
    }
    if (siblings.over()) return fail(std::string(message::kTooLarge));
    return RenderNode::matrix(environment_name(n.env), {rows, n.rows.size()});
  }

  // A registered command is drawn by its glyph with `depth` raised for the call; an unknown one
  // is its bare name.
  Result<RenderNode> visit(const Command& n) {
    const Glyph* glyph = n.parts->glyph;
    if (glyph == nullptr) return RenderNode::row(n.name);
    auto render_arg = [&registry = registry_](const Expr& expr, RenderCtx& ctx) {
      return render(expr, registry, ctx);
    };
    ++ctx_.depth;
    auto block = glyph->render_macro(n.parts->args, n.parts->optional, ctx_, RenderArg(render_arg));
    --ctx_.depth;
    return block;
  }

  // Scripts on a big operator are limits; the test looks at the unrendered base.
  [[nodiscard]] bool takes_limits(const Expr& base) const noexcept {
    const auto* command = std::get_if<Command>(&base);
    return command != nullptr && command->parts->glyph != nullptr &&
           command->parts->glyph->has_limits();
  }

  Result<RenderNode> visit(const Superscript& n) {
    auto base = node(*n.base);
    if (!base) return base;
    auto sup = node(*n.sup);
    if (!sup) return sup;
    if (takes_limits(*n.base)) return RenderNode::limits(*base, RenderNode::empty(), *sup);
    return RenderNode::superscript(*base, *sup);
  }

  Result<RenderNode> visit(const Subscript& n) {
    auto base = node(*n.base);
    if (!base) return base;
    auto sub = node(*n.sub);
    if (!sub) return sub;
    if (takes_limits(*n.base)) return RenderNode::limits(*base, *sub, RenderNode::empty());
    return RenderNode::subscript(*base, *sub);
  }

  Result<RenderNode> visit(const SubSup& n) {
    auto base = node(*n.base);
    if (!base) return base;
    auto sub = node(*n.sub);
    if (!sub) return sub;
    auto sup = node(*n.sup);
    if (!sup) return sup;
    if (takes_limits(*n.base)) return RenderNode::limits(*base, *sub, *sup);
    return RenderNode::both_scripts(*base, *sub, *sup);
  }

  Result<RenderNode> visit(const Primes& n) {
    auto base = node(*n.base);
    if (!base) return base;
    return RenderNode::prime_suffix(*base, n.count);
  }

  // Renders a list in order; the first error discards the rest.
  Result<std::span<const RenderNode>> all(ExprList exprs, Siblings& siblings) {
    if (exprs.empty()) return std::span<const RenderNode>();
    RenderNode* blocks = current_arena().allocate_array<RenderNode>(exprs.size());
    for (std::size_t i = 0; i < exprs.size(); ++i) {
      const BlockStack::Mark mark = stack_.mark();
      auto block = node(*exprs[i]);
      if (!block) return std::unexpected(std::move(block.error()));
      new (blocks + i) RenderNode(siblings.keep(*block, mark) ? *block : RenderNode::empty());
    }
    return std::span<const RenderNode>(blocks, exprs.size());
  }

  const SymbolRegistry& registry_;
  RenderCtx& ctx_;
  BlockStack& stack_;
};

}  // namespace

Result<RenderNode> render(const Expr& expr, const SymbolRegistry& registry, RenderCtx& ctx) {
  return Renderer(registry, ctx).node(expr);
}

}  // namespace vok
