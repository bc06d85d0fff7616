// The LaTeX dialect's formulas and lists: the wrapper around a formula, the tokens that end a
// list, and the list itself with TeX's spacing between the classes of its atoms, the operands that
// large operators gather, switches and infix commands. Most of a list's atoms are plain symbols,
// read here too, in the list's loop, without the general reading of an atom.
#include <algorithm>
#include <initializer_list>
#include <optional>
#include <vector>

#include "constructs.hpp"
#include "parser_latex.hpp"

namespace vok {
namespace {

using Tk = TokenKind;

// The blank columns between two neighbouring atoms, by their classes: TeX's table, every thin,
// medium and thick space one column. 2 marks the spaces TeX leaves out inside scripts. Punctuation
// touches an inner atom before it (…, a fraction, \left … \right), as amsmath's dots do: TeX's
// thin space there is a sliver, a column is not.
// clang-format off
constexpr std::uint8_t kSpacing[8][8] = {
    //         Ord Op Bin Rel Open Close Punct Inner
    /* Ord   */ {0, 1, 2, 2, 0, 0, 0, 2},
    /* Op    */ {1, 1, 0, 2, 0, 0, 0, 2},
    /* Bin   */ {2, 2, 0, 0, 2, 0, 0, 2},
    /* Rel   */ {2, 2, 0, 0, 2, 0, 0, 2},
    /* Open  */ {0, 0, 0, 0, 0, 0, 0, 0},
    /* Close */ {0, 1, 2, 2, 0, 0, 0, 2},
    /* Punct */ {2, 2, 0, 2, 2, 2, 2, 2},
    /* Inner */ {2, 1, 2, 2, 2, 0, 0, 2},
};
// clang-format on

// Whether `cls` is one of `classes`.
constexpr bool in(MathClass cls, std::initializer_list<MathClass> classes) {
  return std::ranges::find(classes, cls) != classes.end();
}

}  // namespace

// A large operator (a row that takes a body), with no body yet.
const Command* gatherer(const Expr& atom) {
  const Expr* base = &atom;
  if (const auto* up = std::get_if<Superscript>(base)) base = up->base;
  if (const auto* down = std::get_if<Subscript>(base)) base = down->base;
  if (const auto* both = std::get_if<SubSup>(base)) base = both->base;
  const auto* command = std::get_if<Command>(base);
  if (command == nullptr) return nullptr;
  const Definition* def = command->parts->def;
  return def != nullptr && def->takes('b') && command->parts->args.empty() ? command : nullptr;
}

namespace {

// The atom with `base` in place of its operator.
Box with_base(const Expr& atom, Box base) {
  if (const auto* up = std::get_if<Superscript>(&atom))
    return make_node<Superscript>(base, up->sup);
  if (const auto* down = std::get_if<Subscript>(&atom))
    return make_node<Subscript>(base, down->sub);
  if (const auto* both = std::get_if<SubSup>(&atom))
    return make_node<SubSup>(base, both->sub, both->sup);
  return base;
}

// The atom whose operator is `op`, with `operand` as the operator's body.
Box with_operand(const Expr& atom, const Command& op, Box operand) {
  return with_base(atom, command(op.name, op.parts->def, op.parts->optional, list_of({operand})));
}

// The atom whose operator is `op` as a script sets it: a sign of one character, scripts beside.
[[gnu::noinline]] Box in_script_style(const Expr& atom, const Command& op) {
  const Definition* small = current_arena().make<Definition>(rows::small_operator(*op.parts->def));
  return with_base(atom, command(op.name, small));
}

// A command drawn otherwise before a binary operator, a relation or a large operator (\dots), as it
// is drawn there.
Box before_operator(Box expr) {
  const auto* cmd = std::get_if<Command>(expr);
  const Definition* def = cmd != nullptr ? cmd->parts->def : nullptr;
  const auto* glyph = def != nullptr ? std::get_if<payload::Glyph>(&def->payload) : nullptr;
  if (glyph == nullptr || glyph->before_operator == 0) return expr;
  Definition* changed = current_arena().make<Definition>(*def);
  changed->payload = payload::Glyph{glyph->before_operator};
  return command(cmd->name, changed);
}

bool binary_or_relation(MathClass cls) { return cls == MathClass::Bin || cls == MathClass::Rel; }

// Whether an atom is a large operator (\sum, \int), scripts and all: a sign that takes a body. A
// function name (\sin) is an operator too, but not a large one.
bool large_operator(const Expr& atom) {
  const Expr* base = &atom;
  if (const auto* up = std::get_if<Superscript>(base)) base = up->base;
  if (const auto* down = std::get_if<Subscript>(base)) base = down->base;
  if (const auto* both = std::get_if<SubSup>(base)) base = both->base;
  const auto* command = std::get_if<Command>(base);
  return command != nullptr && command->parts->def != nullptr && command->parts->def->takes('b');
}

// Whether an atom's picture has a fraction at its right edge (`right`) or at its left: a fraction,
// or a group, a list or scripts whose part at that edge has one.
[[gnu::noinline]] bool fraction_at_edge(const Expr& atom, bool right, int depth = 0) {
  if (depth > 8) return false;
  const auto at = [&](const Expr& part) { return fraction_at_edge(part, right, depth + 1); };
  if (const auto* command = std::get_if<Command>(&atom)) {
    const Definition* def = command->parts->def;
    return def != nullptr && def->construct == construct::tight_fraction;
  }
  if (const auto* sequence = std::get_if<Sequence>(&atom))
    return at(right ? *sequence->items.back() : *sequence->items.front());
  if (const auto* group = std::get_if<Group>(&atom)) return at(*group->inner);
  if (const auto* up = std::get_if<Superscript>(&atom)) return at(right ? *up->sup : *up->base);
  if (const auto* down = std::get_if<Subscript>(&atom)) return at(right ? *down->sub : *down->base);
  if (const auto* both = std::get_if<SubSup>(&atom))
    return right ? at(*both->sub) || at(*both->sup) : at(*both->base);
  return false;
}

// Whether two atoms side by side are fractions that would touch; a character or a number, which
// most atoms are, is not, and is answered without a call.
bool fractions_touch(const Expr& left, const Expr& right) {
  const auto plain = [](const Expr& atom) {
    return std::holds_alternative<Symbol>(atom) || std::holds_alternative<Number>(atom);
  };
  return !plain(left) && !plain(right) && fraction_at_edge(left, true) &&
         fraction_at_edge(right, false);
}

// A list as it is assembled: the atoms go out as they come, each one held back until its right
// neighbour is known, for a binary operator with no operand on either side is an ordinary atom,
// and the blanks between two atoms depend on both their classes.
//
// A large operator with no braced body gathers the atoms after it as its operand, up to the first
// relation, binary operator, punctuation or closing delimiter outside the delimiters opened in the
// operand; operands nest (\sum_i \sum_j a_{ij}), and the one atom that ends the innermost may end
// the ones around it.
class ListAssembler {
 public:
  // A list of a nesting depth of `depth`; `script` lists leave out the spaces TeX leaves out in
  // scripts; a list `after_ord` starts after an empty ordinary atom.
  ListAssembler(ListStack& lists, std::size_t depth, bool script, bool after_ord)
      : out_(lists), depth_(depth), script_(script), spaced_(after_ord) {}

  // Adds an atom of class `cls` (inlined in the list's loop, where it runs for every atom).
  [[gnu::always_inline]] void add(Box expr, MathClass cls) {
    if (pending_.expr != nullptr) {
      // amsmath's \dots: centred before an operator, low before anything else.
      if (binary_or_relation(cls) || (cls == MathClass::Op && large_operator(*expr)))
        pending_.expr = before_operator(pending_.expr);
      MathClass settled = pending_.cls;
      if (settled == MathClass::Bin &&
          in(cls, {MathClass::Rel, MathClass::Close, MathClass::Punct}))
        settled = MathClass::Ord;
      send(settled);
    }
    if (cls == MathClass::Bin &&
        (!spaced_ || in(previous_, {MathClass::Bin, MathClass::Op, MathClass::Rel, MathClass::Open,
                                    MathClass::Punct})))
      cls = MathClass::Ord;
    if (!gathering_.empty()) end_operands(cls);
    pending_ = Pending{expr, cls, blanks_, cls == MathClass::Op ? gatherer(*expr) : nullptr};
    if (script_ && pending_.gatherer != nullptr) {
      // In a script a large operator is small, its limits beside it, and it gathers nothing.
      pending_.expr = in_script_style(*expr, *pending_.gatherer);
      pending_.gatherer = nullptr;
    }
    blanks_ = 0;
  }

  // Explicit blank columns before the next atom; a negative count takes blanks away.
  void blank(std::ptrdiff_t columns) { blanks_ += columns; }

  // Whether operands nest deeper than nesting may go.
  [[nodiscard]] bool too_deep() const noexcept { return too_deep_; }

  // The list so far as one node.
  [[nodiscard]] Result<Box> finish() {
    if (pending_.expr != nullptr)
      send(pending_.cls == MathClass::Bin ? MathClass::Ord : pending_.cls);
    if (too_deep_) return fail(std::string(message::kTooDeep));
    while (!gathering_.empty()) finish_operand();
    if (blanks_ > 0) out_.push_back(space_node(static_cast<std::size_t>(blanks_)));
    if (out_.empty()) return empty_node();
    if (out_.size() == 1) return out_.front();
    return make_node<Sequence>(out_.finish());
  }

 private:
  struct Pending {
    Box expr;  // null when no atom is held back
    MathClass cls;
    std::ptrdiff_t blanks_before;
    const Command* gatherer;  // the large operator it is, when it gathers an operand
  };
  // A large operator gathering its operand: the items of the list from `start` on, with `open`
  // delimiters opened in it and not yet closed.
  struct Gathering {
    Box atom;
    const Command* op;
    std::size_t start, open;
  };

  // Sends the pending atom out with its settled class (inlined in add(), which runs for every
  // atom).
  [[gnu::always_inline]] void send(MathClass settled) {
    const std::ptrdiff_t before = pending_.blanks_before;
    const std::uint8_t space =
        spaced_ ? kSpacing[static_cast<int>(previous_)][static_cast<int>(settled)] : 0;
    if (space == 2 && !script_ && before == 0) {
      out_.push_back(script_omits_node());  // the one blank is what a script leaves out
    } else if (const std::ptrdiff_t blanks = before + (space == 1 || (space == 2 && !script_));
               blanks > 0) {
      out_.push_back(space_node(static_cast<std::size_t>(blanks)));
    } else if (blanks == 0 && spaced_ && last_ != nullptr &&
               fractions_touch(*last_, *pending_.expr)) {
      // Two fractions never touch: TeX sets a blank beside every one.
      out_.push_back(space_node(1));
    }
    if (pending_.gatherer != nullptr) {
      // Operands nest as deep as groups may.
      if (depth_ + gathering_.size() >= kMaxDepth) too_deep_ = true;
      gathering_.push_back({pending_.expr, pending_.gatherer, out_.size(), 0});
      spaced_ = false;  // the sign's own layout sets its operand apart
    } else {
      out_.push_back(pending_.expr);
      last_ = pending_.expr;
      previous_ = settled;
      spaced_ = true;
    }
    pending_.expr = nullptr;
  }

  // The operands that an atom of class `cls` ends, innermost first.
  void end_operands(MathClass cls) {
    while (!gathering_.empty()) {
      Gathering& inner = gathering_.back();
      if (cls == MathClass::Open) {
        ++inner.open;
        return;
      }
      if (cls != MathClass::Rel && cls != MathClass::Bin && cls != MathClass::Punct &&
          cls != MathClass::Close)
        return;
      if (inner.open > 0) {
        if (cls == MathClass::Close) --inner.open;
        return;
      }
      finish_operand();
    }
  }

  void finish_operand() {
    const Gathering g = gathering_.back();
    gathering_.pop_back();
    const std::span<const Box> items = out_.finish_from(g.start);
    const Box operand = items.empty()       ? empty_node()
                        : items.size() == 1 ? items.front()
                                            : make_node<Sequence>(items);
    last_ = with_operand(*g.atom, *g.op, operand);
    out_.push_back(last_);
    if (!spaced_) {
      previous_ = MathClass::Op;
      spaced_ = true;
    }
  }

  ListBuilder<Box> out_;
  std::size_t depth_;
  bool script_;
  bool spaced_;  // the next atom is spaced from `previous_`: not at a list's start (unless after
                 // an empty ordinary atom), nor right after a large operator
  MathClass previous_ = MathClass::Ord;  // the settled class of the last atom sent out
  Box last_ = nullptr;                   // that atom, once one is
  Pending pending_{nullptr, MathClass::Ord, 0, nullptr};  // the atom held back
  std::ptrdiff_t blanks_ = 0;         // explicit spaces since the last atom, \! taking one away
  std::vector<Gathering> gathering_;  // innermost last
  bool too_deep_ = false;
};

// The closers of the wrappers a whole formula may stand in.
struct Wrapper {
  std::string_view open, close;
};
constexpr Wrapper kWrappers[] = {{"$$", "$$"}, {"$", "$"}, {"\\(", "\\)"}, {"\\[", "\\]"}};

}  // namespace

std::string_view keep(std::string_view text) {
  char* out = current_arena().allocate_array<char>(text.size());
  std::ranges::copy(text, out);
  return {out, text.size()};
}

Result<Box> parse_latex(std::span<const Lexeme> tokens, std::string_view input,
                        const Vocabulary& vocabulary, std::size_t& numbers) {
  ListStack lists = list_stack(tokens.size());
  return LatexParser(tokens, input, vocabulary, lists, numbers).formula();
}

// formula: [ $ | $$ | \( | \[ ] list [ the matching closer ]; a wrapper is dropped with its closer.
Result<Box> LatexParser::formula() {
  if (!tokens_.empty()) {
    const Lexeme& first = tokens_.front();
    // $$ is two dollars that touch.
    const bool two = first.kind == Tk::Dollar && tokens_.size() > 1 &&
                     tokens_[1].kind == Tk::Dollar && tokens_[1].start == first.end;
    const std::string_view opener = input_.substr(first.start, two ? 2 : first.end - first.start);
    const auto* wrapper = std::ranges::find(kWrappers, opener, &Wrapper::open);
    if (wrapper != std::end(kWrappers)) {
      const std::size_t width = two ? 2 : 1;
      const bool closed =
          tokens_.size() >= 2 * width &&
          input_.substr(tokens_[tokens_.size() - width].start,
                        tokens_.back().end - tokens_[tokens_.size() - width].start) ==
              wrapper->close;
      if (!closed) return fail(message::missing_close(wrapper->close, opener, input_, first.start));
      tokens_ = tokens_.subspan(width, tokens_.size() - 2 * width);
    }
  }
  auto first = list(kAtRow, false);
  if (!first || (current() == nullptr && label_.tag == nullptr)) return first;
  // & or \\ outside any environment, or a \tag: the formula is a table of its own, its rows
  // labelled as their \tag says, unnumbered.
  static constexpr EnvironmentDef kLabelled{.name = {}, .labels = Labels::Rows};
  std::vector<Label> labels;
  Rows body;
  if (current() == nullptr) {
    labels.push_back(label_);
    body = Rows{{current_arena().make<ExprList>(list_of({*first})), 1}, {}};
  } else {
    auto read = rows(kAtRow, true, false, *first, &labels);
    if (!read) return std::unexpected(std::move(read.error()));
    body = *read;
  }
  const GrammarData& grammar = vocabulary_.grammar();
  const bool aligned = std::ranges::any_of(body.rows, [](ExprList row) { return row.size() > 1; });
  const EnvironmentDef* implicit = aligned ? grammar.implicit_table : grammar.implicit_lines;
  TableLayout layout = implicit != nullptr ? implicit->layout : TableLayout{};
  return table(labelled(body, labels, kLabelled, layout), layout).expr;
}

ParseError LatexParser::out_of_place(const Lexeme& token, std::uint8_t stop) const {
  // A cell separator (& \\ \cr) is out of an environment, anything else unmatched.
  if ((closes(token) & kAtRow) == 0)
    return message::unmatched(token.source(input_), input_, token.start);
  // A cell separator in a group of a table: the group was left open.
  if (tables_ > 0 && (stop & kAtBrace) != 0)
    return message::missing_close("}", "{", input_, open_brace_);
  return message::outside_environment(token.source(input_), input_, token.start);
}

// Most atoms of a list are these: read at once, without the general reading's calls (inlined in
// the list's loop, where it runs for every item).
[[gnu::always_inline]] inline std::optional<LatexParser::Item> LatexParser::plain_symbol() {
  const Lexeme& token = tokens_[pos_];
  std::optional<MathClass> cls = punctuation_class(token.kind);
  const Definition* symbol = nullptr;  // the row of a command that reads no argument
  if (token.kind == Tk::Command) {
    symbol = definition(token);
    if (symbol == nullptr || symbol->role != Role::Construct || !symbol->args.empty())
      return std::nullopt;
    cls = symbol->cls;
  } else if (token.kind != Tk::Ident && !cls) {
    return std::nullopt;
  }
  if (deeper_than_allowed(1)) return std::nullopt;
  if (pos_ + 1 < tokens_.size()) {
    const Lexeme& next = tokens_[pos_ + 1];
    if (next.kind == Tk::Caret || next.kind == Tk::Underscore || next.kind == Tk::Prime)
      return std::nullopt;
    if (const Definition* def = definition(next); def != nullptr && def->role == Role::Limits)
      return std::nullopt;
  }
  ++pos_;
  if (symbol != nullptr) return Item{command(token.payload(input_), symbol), *cls, true};
  const std::string_view source = token.source(input_);
  if (!cls) cls = typed_class(first_char(source));
  if (operator_name_ && (source == "-" || source == "*")) cls = MathClass::Ord;
  return Item{leaf<Symbol>(source), *cls, true};
}

// list: { space | switch | atom } up to its closing token. A switch takes the rest of the list in
// its alphabet; an infix command sets the list before it over the rest of it (\over, \choose).
Result<Box> LatexParser::list(std::uint8_t stop, bool script) {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return too_deep();
  ListAssembler out(lists_, depth_, script, (stop & kAfterOrd) != 0);
  stop &= static_cast<std::uint8_t>(~kAfterOrd);
  while (const Lexeme* next = current()) {
    if (const std::uint8_t closed = closes(*next); closed != kAtEnd) {
      if ((closed & stop) != 0) break;
      // A ] that ends no optional argument is a symbol.
      if (closed != kAtBracket) return fail(out_of_place(*next, stop));
    }
    if (next->kind == Tk::Pipe && (stop & kAtBar) != 0) break;
    const Definition* def = next->kind == Tk::Command ? definition(*next) : nullptr;
    if (def != nullptr && def->role == Role::Infix) {
      if ((stop & kAtOver) != 0) break;
      ++pos_;
      auto shaped = infix_arguments(*next, *def);
      if (!shaped) return std::unexpected(std::move(shaped.error()));
      auto above = out.finish();
      if (!above) return above;
      auto below = list(stop, script);
      if (!below) return below;
      return command(next->payload(input_), *shaped, {}, list_of({*above, *below}));
    }
    if (def != nullptr && def->role == Role::Switch) {
      ++pos_;
      auto rest = list(stop, script);
      if (!rest) return rest;
      out.add(command(next->payload(input_), def, {}, list_of({*rest})), MathClass::Ord);
      break;
    }
    if (const auto plain = plain_symbol()) {
      out.add(plain->expr, plain->cls);
      if (out.too_deep()) return too_deep();
      continue;
    }
    auto item = atom(script);
    if (!item) return std::unexpected(std::move(item.error()));
    if (item->atom) {
      out.add(item->expr, item->cls);
      if (out.too_deep()) return too_deep();
    } else if (item->expr == &kLessBlank) {
      out.blank(-1);
    } else if (const auto* space = std::get_if<Space>(item->expr)) {
      out.blank(static_cast<std::ptrdiff_t>(std::min<std::size_t>(space->columns, kMaxCells)));
    }
  }
  return out.finish();
}

}  // namespace vok
