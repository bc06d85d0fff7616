// The measuring dispatch: one branch per node kind, children before parents, the first error wins.
#include "measure.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <utility>
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
    walked_here_ = std::exchange(walked_, false);
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
  // the operands left to right, and compose the whole chain at once. In the picture a chain of
  // operands that all add to a text run is one run, the operators and their blanks among them.
  Result<NodeRef> visit(const Infix& n) {
    std::size_t links = 1;
    for (Box lhs = n.lhs; const auto* link = std::get_if<Infix>(lhs); lhs = link->lhs) ++links;
    Arena& arena = current_arena();
    const Infix** spine = arena.allocate_array<const Infix*>(links);
    spine[links - 1] = &n;  // outermost last: spine[0] holds the leftmost operand
    for (std::size_t i = links - 1; i > 0; --i) spine[i - 1] = &std::get<Infix>(*spine[i]->lhs);
    const auto operand = [&](std::size_t i) -> const Expr& {
      return i == 0 ? *spine[0]->lhs : *spine[i - 1]->rhs;
    };
    const auto op = [&](std::size_t i) {
      return kOperatorChars[static_cast<std::size_t>(spine[i]->op)];
    };

    std::size_t long_run = 0;
    if (compose_.text_runs)
      if (const NodeRef run = chain_run(links, operand, op, long_run)) return run;
    if (long_run != 0) {
      // A run closes with more than kRunRoom - kLongestInRun cells, or before an operand that
      // did not fit, itself of more: an eighth of the cells bounds the items.
      static_assert(kRunRoom - kLongestInRun >= 24);
      RunRow row(*this, long_run / 8 + 2);
      for (std::size_t i = 0; i <= links; ++i) {
        if (i > 0) row.cells({kUnpainted, op(i - 1), kUnpainted});
        if (auto failed = row.add(operand(i))) return std::unexpected(std::move(*failed));
      }
      return RenderNode::hstack(row.finish());
    }
    NodeRef* operands = arena.allocate_array<NodeRef>(links + 1);
    char32_t* ops = arena.allocate_array<char32_t>(links);
    for (std::size_t i = 0; i <= links; ++i) {
      auto measured = node(operand(i));
      if (!measured) return measured;
      operands[i] = *measured;
      if (i > 0) ops[i - 1] = op(i - 1);
    }
    return RenderNode::infix_chain({operands, links + 1}, {ops, links});
  }

  Result<NodeRef> visit(const Sequence& n) {
    if (compose_.text_runs) return row_with_runs(n.items);
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
    if (!walked_here_)
      if (const NodeRef run = scripted_run(base_expr, sub_expr, sup_expr)) return run;
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

  // ---- text runs ----
  //
  // An atom drawn as one row of characters, a cell each, adds its cells to a text run: a symbol
  // or a number whose characters are all one column wide (then both of a Drawing's ways of giving
  // a text its cells give one to each character), a command drawn as one such character or as an
  // ASCII word, a blank, whose cells are unpainted, a list of such atoms, an atom with primes, and
  // an atom with scripts that are such atoms, all of whose cells have script forms (the scripts
  // the picture writes beside their base on its row, side by side when there are two). The cells
  // are what painting the atom's own node would write, so a run paints, maps and probes as its
  // atoms' nodes side by side do: a script's forms are applied first, as painting applies them
  // inside any map in force, and a form is never changed again by a script's map. A run is
  // gathered on the stack and ends before an atom that might not fit: long texts and wide blanks
  // keep nodes of their own, which only point to their text.

  //
  // Whether an atom adds to a run is found by walking it, before it is measured otherwise; a walk
  // that fails is repeated by the walks of the lists and scripts inside. So a walk goes at most
  // kDeepestInRun lists or scripts deep, what is deeper is measured as a node, and every atom is
  // walked a bounded number of times: measuring stays linear.

  static constexpr std::size_t kNoRun = static_cast<std::size_t>(-1);
  static constexpr std::size_t kLongestInRun = 32;            // room kept for the next atom
  static constexpr std::size_t kRunRoom = 2 * kLongestInRun;  // cells gathered at once
  static constexpr std::size_t kDeepestInRun = 3;

  // The cells of a text, a cell to each character, written to `out`, which has room for `room`;
  // kNoRun when a character is malformed or not one column wide, or the text does not fit.
  static std::size_t text_cells(std::string_view text, char32_t* out, std::size_t room) {
    if (text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80 && room != 0) {
      *out = static_cast<unsigned char>(text[0]);  // most atoms
      return 1;
    }
    if (text.size() > room) return kNoRun;  // a character takes a byte at least
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (byte < 0x80) {
        out[count] = byte;
        ++i;
        continue;
      }
      const Decoded d = decode_utf8(text, i);
      if (d.length == 0 || display_width(d.ch) != 1) return kNoRun;
      out[count] = d.ch;
      i += d.length;
    }
    return count;
  }

  // The cells `expr` adds to a text run, written to `out`, which has room for `room`; or kNoRun
  // when it is drawn otherwise or does not fit (what it wrote is then no cell).
  std::size_t run_cells(const Expr& expr, char32_t* out, std::size_t room,
                        std::size_t depth = 0) const {
    // Most atoms are one ASCII character or the blank between two atoms.
    if (const auto* symbol = std::get_if<Symbol>(&expr);
        symbol != nullptr && symbol->text.size() == 1 &&
        static_cast<unsigned char>(symbol->text[0]) < 0x80 && room != 0) {
      *out = static_cast<unsigned char>(symbol->text[0]);
      return 1;
    }
    if (const auto* space = std::get_if<Space>(&expr)) {
      const std::size_t columns = in_script_limits_ && space->script_omits ? 0 : space->columns;
      if (columns > room) return kNoRun;
      for (std::size_t i = 0; i < columns; ++i) out[i] = kUnpainted;
      return columns;
    }
    if (const auto* command = std::get_if<Command>(&expr))
      return command_cells(*command, out, room);
    return any_run_cells(expr, out, room, depth);
  }

  // run_cells() apart from its common case.
  [[gnu::noinline]] std::size_t any_run_cells(const Expr& expr, char32_t* out, std::size_t room,
                                              std::size_t depth) const {
    const Expr* inner = &expr;
    while (const auto* group = std::get_if<Group>(inner)) inner = group->inner;
    switch (inner->index()) {
      case variant_index<Symbol>:
        return text_cells(std::get<Symbol>(*inner).text, out, room);
      case variant_index<Number>:
        return text_cells(std::get<Number>(*inner).text, out, room);
      case variant_index<Space>:
        return run_cells(*inner, out, room, depth);
      case variant_index<Command>:
        return command_cells(std::get<Command>(*inner), out, room);
      case variant_index<Sequence>: {
        if (depth == kDeepestInRun) return kNoRun;
        std::size_t count = 0;
        for (const Box item : std::get<Sequence>(*inner).items) {
          const std::size_t added = run_cells(*item, out + count, room - count, depth + 1);
          if (added == kNoRun) return kNoRun;
          count += added;
        }
        return count;
      }
      case variant_index<Superscript>: {
        const auto& n = std::get<Superscript>(*inner);
        return scripted_cells(*n.base, nullptr, n.sup, out, room, depth);
      }
      case variant_index<Subscript>: {
        const auto& n = std::get<Subscript>(*inner);
        return scripted_cells(*n.base, n.sub, nullptr, out, room, depth);
      }
      case variant_index<SubSup>: {
        const auto& n = std::get<SubSup>(*inner);
        return scripted_cells(*n.base, n.sub, n.sup, out, room, depth);
      }
      case variant_index<Primes>: {
        // As prime_suffix draws them: apostrophes after the base, on its row.
        const auto& n = std::get<Primes>(*inner);
        if (depth == kDeepestInRun) return kNoRun;
        const std::size_t base = run_cells(*n.base, out, room, depth + 1);
        if (base == kNoRun || n.count > room - base) return kNoRun;
        std::fill_n(out + base, n.count, U'\'');
        return base + n.count;
      }
      default:
        return kNoRun;
    }
  }

  template <class Kind>
  static constexpr std::size_t variant_index = [] {
    ExprVariant v(std::in_place_type<Kind>);
    return v.index();
  }();

  // A command drawn as one character one column wide or as an ASCII word without a mark, as
  // construct::symbol and construct::word draw them.
  static std::size_t command_cells(const Command& command, char32_t* out, std::size_t room) {
    const Definition* def = command.parts->def;
    if (def == nullptr || !command.parts->args.empty() || !command.parts->optional.empty())
      return kNoRun;
    if (def->construct == construct::symbol) {
      const char32_t ch = def->data<payload::Glyph>().ch;
      if (room == 0 || ch >= kWideTail || (ch >= 0x300 && display_width(ch) != 1)) return kNoRun;
      *out = ch;
      return 1;
    }
    if (def->construct == construct::word) {
      const payload::Word& word = def->data<payload::Word>();
      if (word.mark != 0 || !std::ranges::all_of(word.word, [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
          }))
        return kNoRun;
      return text_cells(word.word, out, room);
    }
    return kNoRun;
  }

  // A base and its scripts, as the picture writes compact scripts beside a base of one row: each
  // script one row of cells that all have forms, side by side, the subscript first unless the
  // superscript starts with primes.
  std::size_t scripted_cells(const Expr& base, const Expr* sub, const Expr* sup, char32_t* out,
                             std::size_t room, std::size_t depth) const {
    const ScriptStyle& style = drawing_.scripts;
    if (depth == kDeepestInRun || with_limits(base) != nullptr ||
        (sub != nullptr && sup != nullptr && !style.compact_pairs))
      return kNoRun;
    std::size_t count = run_cells(base, out, room, depth + 1);
    if (count == kNoRun) return kNoRun;
    // Two scripts may be one expression: a one-character leaf is shared.
    const bool sup_first = sub == nullptr || (sup != nullptr && starts_with_prime(*sup));
    const std::pair<const Expr*, CharMap> scripts[2] = {
        {sup_first ? sup : sub, sup_first ? style.superscripts : style.subscripts},
        {sup_first ? sub : sup, sup_first ? style.subscripts : style.superscripts}};
    for (const auto& [script, forms] : scripts) {
      if (script == nullptr) continue;
      const std::size_t added = run_cells(*script, out + count, room - count, depth + 1);
      if (added == kNoRun) return kNoRun;
      for (char32_t& cell : std::span(out + count, added)) {
        if (cell == kUnpainted || (cell = forms(cell)) == U'\0') return kNoRun;
      }
      count += added;
    }
    return count;
  }

  // An atom with scripts as one run, when it adds to a text run.
  [[gnu::noinline]] NodeRef scripted_run(const Expr& base, const Expr* sub, const Expr* sup) const {
    if (!compose_.text_runs) return nullptr;
    char32_t cells[kRunRoom];
    const std::size_t count = scripted_cells(base, sub, sup, cells, kRunRoom, 0);
    return count == kNoRun ? nullptr : run_node(cells, count);
  }

  // The node of a run's cells: a run of one character is that character's node, a run of a few
  // blanks the shared blank (both need no room), any other a text run in the arena. A run of no
  // more than kRunRoom cells passes the size check.
  static NodeRef run_node(const char32_t* cells, std::size_t count) {
    if (count == 1 && cells[0] != kUnpainted) return *RenderNode::single(cells[0]);
    if (count < kSpaces.size() &&
        std::all_of(cells, cells + count, [](char32_t c) { return c == kUnpainted; }))
      return &kSpaces[count];
    char32_t* kept = current_arena().allocate_array<char32_t>(count);
    std::copy_n(cells, count, kept);
    return *RenderNode::run(kept, count);
  }

  // An infix chain as one run, when its operands `operand(0)` … `operand(links)` all add to a
  // text run and it fits in one gathering; else null, and `long_run` the cells of the chain when
  // they all add to a run all the same (0 when they do not).
  template <class Operand, class Op>
  NodeRef chain_run(std::size_t links, Operand operand, Op op, std::size_t& long_run) const {
    char32_t cells[kRunRoom];
    std::size_t count = 0;
    for (std::size_t i = 0; i <= links; ++i) {
      if (kRunRoom - count < kLongestInRun) {
        for (; i <= links; ++i) {
          const std::size_t added = run_cells(operand(i), cells, kRunRoom);
          if (added == kNoRun) return nullptr;
          count += added + 3;
        }
        long_run = count;
        return nullptr;
      }
      if (i > 0) {
        cells[count++] = kUnpainted;
        cells[count++] = op(i - 1);
        cells[count++] = kUnpainted;
      }
      const std::size_t added = run_cells(operand(i), cells + count, kRunRoom - count);
      if (added == kNoRun) return nullptr;
      count += added;
    }
    return run_node(cells, count);
  }

  // A row of items being gathered: the atoms that add to a text run as runs, the others as their
  // nodes, measured in order.
  class RunRow {
   public:
    RunRow(Measurer& measurer, std::size_t most_items)
        : measurer_(measurer), items_(current_arena().allocate_array<NodeRef>(most_items)) {}

    // Adds the item `expr`; the error of measuring it, if any.
    std::optional<ParseError> add(const Expr& expr) {
      if (kRunRoom - gathered_ < kLongestInRun) close_run();
      if (const std::size_t added =
              measurer_.run_cells(expr, cells_ + gathered_, kRunRoom - gathered_);
          added != kNoRun) {
        gathered_ += added;
        in_run_ = true;
        return std::nullopt;
      }
      close_run();
      measurer_.alone_ = false;
      measurer_.walked_ = true;
      auto measured = measurer_.node(expr);
      if (!measured) return std::move(measured.error());
      items_[count_++] = *measured;
      return std::nullopt;
    }
    // Adds cells of its own to the run (fewer than kLongestInRun).
    void cells(std::initializer_list<char32_t> cells) {
      if (kRunRoom - gathered_ < kLongestInRun) close_run();
      std::ranges::copy(cells, cells_ + gathered_);
      gathered_ += cells.size();
      in_run_ = true;
    }
    // The items, in the arena.
    std::span<const NodeRef> finish() {
      close_run();
      measurer_.alone_ = true;  // as measuring the last atom would have left it
      return {items_, count_};
    }

   private:
    void close_run() {
      if (!in_run_) return;
      items_[count_++] = run_node(cells_, gathered_);
      gathered_ = 0;
      in_run_ = false;
    }

    Measurer& measurer_;
    NodeRef* items_;
    std::size_t count_ = 0;
    char32_t cells_[kRunRoom];
    std::size_t gathered_ = 0;
    bool in_run_ = false;
  };

  // A list's items side by side, each stretch of atoms that add to a text run drawn as runs.
  Result<NodeRef> row_with_runs(ExprList exprs) {
    RunRow row(*this, exprs.size());
    for (const Box expr : exprs)
      if (auto failed = row.add(*expr)) return std::unexpected(std::move(*failed));
    return RenderNode::hstack(row.finish());
  }

  const Drawing& drawing_;
  const Composer& compose_;
  const Vocabulary& vocabulary_;
  bool in_script_limits_ = false;  // measuring limits that are written as scripts
  bool alone_ = true;              // the next expression measured stands alone (not in a sequence)
  bool alone_here_ = true;         // the expression being visited does
  bool walked_ = false;       // the next expression measured was walked for a text run, in vain
  bool walked_here_ = false;  // the expression being visited was
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
    .text_runs = true,
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
