// The LaTeX dialect's grammar: lists of atoms with math classes, TeX's spacing between them,
// arguments of one token or a braced group, text, \left … \right and environments.
#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arena.hpp"
#include "parser.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

using Tk = TokenKind;

constexpr Expr kEmpty = Empty{};
constexpr Expr kNegativeSpace = Space{0};  // \!, which takes away a blank the list would set

// The blank columns between two neighbouring atoms, by their classes: TeX's table, every thin,
// medium and thick space one column. 2 marks the spaces TeX leaves out inside scripts.
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
    /* Inner */ {2, 1, 2, 2, 2, 0, 2, 2},
};
// clang-format on

std::size_t spacing(MathClass left, MathClass right, bool script) {
  const std::uint8_t space = kSpacing[static_cast<int>(left)][static_cast<int>(right)];
  return space == 1 || (space == 2 && !script) ? 1 : 0;
}

// Blank nodes of a few widths, shared.
constexpr std::array<Expr, 5> kSpaces{Space{0}, Space{1}, Space{2}, Space{3}, Space{4}};

Box space_node(std::size_t columns) {
  return columns < kSpaces.size() ? &kSpaces[columns] : make_node<Space>(columns);
}

// A text in the arena, for text that is not a view of the input.
std::string_view keep(std::string_view text) {
  char* out = current_arena().allocate_array<char>(text.size());
  std::ranges::copy(text, out);
  return {out, text.size()};
}

// The class of a punctuation token.
std::optional<MathClass> punctuation_class(TokenKind kind) {
  switch (kind) {
    case Tk::Plus:
    case Tk::Minus:
    case Tk::Star:
      return MathClass::Bin;
    case Tk::Equals:
    case Tk::Less:
    case Tk::Greater:
    case Tk::Colon:
      return MathClass::Rel;
    case Tk::Comma:
    case Tk::Semicolon:
      return MathClass::Punct;
    case Tk::LParen:
    case Tk::LBracket:
      return MathClass::Open;
    case Tk::RParen:
    case Tk::RBracket:
    case Tk::Bang:
      return MathClass::Close;
    case Tk::Pipe:
    case Tk::Dot:
    case Tk::Slash:
      return MathClass::Ord;
    default:
      return std::nullopt;
  }
}

bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Whether the text between two tokens separates words: white space before any comment.
bool separates(std::string_view gap) {
  for (char c : gap) {
    if (c == '%') return false;
    if (is_white(c)) return true;
  }
  return false;
}

// The columns of a dimension such as "1em", "-3mu", "0.5 cm": two columns to the em, none for a
// negative or unreadable one.
std::size_t columns_of(std::string_view text) {
  std::size_t i = 0;
  const auto skip = [&] {
    while (i < text.size() && is_white(text[i])) ++i;
  };
  skip();
  bool negative = false;
  while (i < text.size() && (text[i] == '-' || text[i] == '+')) negative ^= text[i++] == '-';
  double value = 0, scale = 1;
  bool digits = false, point = false;
  for (; i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.'); ++i) {
    if (text[i] == '.') {
      point = true;
      continue;
    }
    digits = true;
    if (point) scale /= 10;
    value = value * 10 + (text[i] - '0');
  }
  value *= scale;
  if (!digits) value = 1;
  skip();
  const std::string_view unit = text.substr(i, 2);
  struct Unit {
    std::string_view name;
    double em;
  };
  constexpr Unit kUnits[] = {{"em", 1},       {"ex", 0.43},  {"pt", 0.1},    {"bp", 0.1},
                             {"mu", 1 / 18.}, {"cm", 2.845}, {"mm", 0.2845}, {"in", 7.227},
                             {"pc", 1.2},     {"sp", 0},     {"fi", 1}};
  double em = 0;
  for (const Unit& u : kUnits)
    if (unit == u.name) em = u.em;
  const double columns = negative ? 0 : value * em * 2;
  return columns >= 1e6 ? std::size_t{1000000} : static_cast<std::size_t>(columns + 0.5);
}

// The number of prime marks an expression is made of alone (\prime, ′), or 0.
std::size_t prime_count(const Expr& expr) {
  const auto one = [](const Expr& e) -> std::size_t {
    if (const auto* command = std::get_if<Command>(&e))
      return command->parts->def != nullptr && command->parts->def->symbol() &&
             command->parts->def->ch == U'′';
    if (const auto* symbol = std::get_if<Symbol>(&e)) return symbol->text == "′";
    return 0;
  };
  if (const auto* sequence = std::get_if<Sequence>(&expr)) {
    std::size_t count = 0;
    for (const Box item : sequence->items) {
      if (one(*item) == 0) return 0;
      ++count;
    }
    return count;
  }
  return one(expr);
}

// The large operator an atom is, bare or under its scripts, when it gathers the atoms after it as
// its operand: a row that takes a body and sets its scripts as limits, with no body yet.
const Command* gatherer(const Expr& atom) {
  const Expr* base = &atom;
  if (const auto* up = std::get_if<Superscript>(base)) base = up->base;
  if (const auto* down = std::get_if<Subscript>(base)) base = down->base;
  if (const auto* both = std::get_if<SubSup>(base)) base = both->base;
  const auto* command = std::get_if<Command>(base);
  if (command == nullptr) return nullptr;
  const Definition* def = command->parts->def;
  return def != nullptr && def->takes('b') && def->limits && command->parts->args.empty() ? command
                                                                                          : nullptr;
}

// The atom whose operator is `op`, with `operand` as the operator's body.
Box with_operand(const Expr& atom, const Command& op, Box operand) {
  Box* args = current_arena().allocate_array<Box>(1);
  args[0] = operand;
  const Box base = make_node<Command>(
      op.name,
      current_arena().make<CommandParts>(op.parts->def, op.parts->optional, ExprList(args, 1)));
  if (const auto* up = std::get_if<Superscript>(&atom))
    return make_node<Superscript>(base, up->sup);
  if (const auto* down = std::get_if<Subscript>(&atom))
    return make_node<Subscript>(base, down->sub);
  if (const auto* both = std::get_if<SubSup>(&atom))
    return make_node<SubSup>(base, both->sub, both->sup);
  return base;
}

// An array's columns as read from its column pattern: an alignment for each column, and the count
// of vertical rules at each boundary, the left edge first.
struct ColumnSpec {
  std::string align;
  std::vector<std::uint8_t> rules = {0};
  std::size_t budget = 1 << 16;  // characters read, repetitions included, before reading stops
};

// More columns than any column pattern asks for; *{n}{…} stops there.
constexpr std::size_t kMaxColumns = 1024;

void read_columns(std::string_view spec, ColumnSpec& out, std::size_t depth) {
  std::size_t i = 0;
  // The braced group at i (after white space), read past; empty when there is none.
  const auto group = [&]() -> std::string_view {
    while (i < spec.size() && is_white(spec[i])) ++i;
    if (i >= spec.size() || spec[i] != '{') return {};
    const std::size_t from = ++i;
    for (std::size_t open = 1; i < spec.size(); ++i) {
      if (spec[i] == '{') ++open;
      if (spec[i] == '}' && --open == 0) return spec.substr(from, i++ - from);
    }
    return spec.substr(from);
  };
  const auto column = [&](char align) {
    if (out.align.size() >= kMaxColumns) return;
    out.align += align;
    out.rules.push_back(0);
  };
  while (i < spec.size() && out.budget > 0) {
    --out.budget;
    const char c = spec[i++];
    switch (c) {
      case 'l':
      case 'c':
      case 'r':
        column(c);
        break;
      case 'p':
      case 'm':
      case 'b':
        group();
        column('l');
        break;
      case '|':
      case ':':
        if (out.rules.back() < 2) ++out.rules.back();
        break;
      case '@':
      case '!':
      case '>':
      case '<':
        group();
        break;
      case '*': {
        const std::string_view count = group();
        const std::string_view body = group();
        std::size_t times = 0;
        for (const char digit : count)
          if (digit >= '0' && digit <= '9')
            times = std::min<std::size_t>(times * 10 + (digit - '0'), kMaxColumns);
        for (std::size_t k = 0; k < times && depth < 8 && out.budget > 0; ++k)
          read_columns(body, out, depth + 1);
        break;
      }
      case '\\': {
        const std::size_t from = i;
        while (i < spec.size() && std::isalpha(static_cast<unsigned char>(spec[i]))) ++i;
        if (spec.substr(from, i - from) == "vline" && out.rules.back() < 2) ++out.rules.back();
        break;
      }
      case '{':
        --i;
        group();
        break;
      default:
        if (std::isalpha(static_cast<unsigned char>(c))) column('c');  // S, D, X and the like
        break;
    }
  }
}

}  // namespace

Result<Box> Parser::latex_formula() {
  // A wrapper around the whole formula ($ $$ \( \[) is dropped with its closer.
  if (!tokens_.empty()) {
    const Lexeme& first = tokens_.front();
    const std::string_view open = first.source(input_);
    std::string_view close;
    std::size_t width = 1;
    if (first.kind == Tk::Dollar) {
      const bool two =
          tokens_.size() > 1 && tokens_[1].kind == Tk::Dollar && tokens_[1].start == first.end;
      width = two ? 2 : 1;
      close = two ? "$$" : "$";
    } else if (first.kind == Tk::Escape && (open == "\\(" || open == "\\[")) {
      close = open == "\\(" ? "\\)" : "\\]";
    }
    if (!close.empty()) {
      const bool closed =
          tokens_.size() >= 2 * width &&
          input_.substr(tokens_[tokens_.size() - width].start,
                        tokens_.back().end - tokens_[tokens_.size() - width].start) == close;
      const std::string_view opener = input_.substr(first.start, close.size());
      if (!closed) return fail(message::missing_close(close, opener, input_, first.start));
      tokens_ = tokens_.subspan(width, tokens_.size() - 2 * width);
    }
  }
  auto first = latex_list(kAtRow, false);
  if (!first || current() == nullptr) return first;
  // & or \\ outside any environment: the formula is a table of its own, aligned as amsmath's
  // aligned sets one out.
  auto body = latex_rows(kAtRow, true, false, *first);
  if (!body) return std::unexpected(std::move(body.error()));
  const EnvironmentDef* aligned = vocabulary_.environment("aligned");
  return latex_table(*body, aligned != nullptr ? aligned->layout : TableLayout{}).expr;
}

Result<bool> Parser::latex_ends(const Lexeme& token, std::uint8_t stop) const {
  const auto allowed = [&](Stop wanted, std::string_view where) -> Result<bool> {
    if ((stop & wanted) != 0) return true;
    if (where.empty()) return fail(message::unmatched(token.source(input_), input_, token.start));
    // A cell separator in a group of a table: the group was left open.
    if (tables_ > 0 && (stop & kAtBrace) != 0)
      return fail(message::missing_close("}", "{", input_, open_brace_));
    return fail(message::outside(token.source(input_), where, input_, token.start));
  };
  switch (token.kind) {
    case Tk::RBrace:
      return allowed(kAtBrace, {});
    case Tk::RBracket:
      return (stop & kAtBracket) != 0;
    case Tk::Ampersand:
      return allowed(static_cast<Stop>(kAtCell | kAtRow), "an environment");
    case Tk::Escape:
      if (token.payload(input_) == "\\")
        return allowed(static_cast<Stop>(kAtCell | kAtRow), "an environment");
      return false;
    case Tk::Command:
      switch (role_of(token)) {
        case Role::Right:
        case Role::Middle:
          return allowed(kAtRight, {});
        case Role::End:
          return allowed(kAtCell, {});
        default:
          return false;
      }
    default:
      return false;
  }
}

// list: { space | switch | atom } up to its closing token. The atoms go out as they come, each
// one held back until its right neighbour is known: a binary operator with no operand on either
// side is an ordinary atom, and the blanks between two atoms depend on both their classes.
//
// A large operator with no braced body gathers the atoms after it as its operand, up to the first
// relation, binary operator, punctuation or closing delimiter outside the delimiters opened in the
// operand; operands nest (\sum_i \sum_j a_{ij}), and the one atom that ends the innermost may end
// the ones around it.
Result<Box> Parser::latex_list(std::uint8_t stop, bool script) {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return fail(std::string(message::kTooDeep));
  ListBuilder<Box> out(lists_);
  std::optional<MathClass> previous;  // the settled class of the last atom sent out
  if ((stop & kAfterOrd) != 0) previous = MathClass::Ord;
  stop &= static_cast<std::uint8_t>(~kAfterOrd);
  struct Pending {
    Box expr;
    MathClass cls;
    std::ptrdiff_t blanks_before;
    const Command* gatherer;  // the large operator it is, when it gathers an operand
  };
  std::optional<Pending> pending;
  std::ptrdiff_t blanks = 0;  // explicit spaces since the last atom, \! taking one away

  // The large operators gathering their operands, innermost last; each operand is the items of
  // `out` from `start` on, and `open` counts the delimiters opened in it and not yet closed.
  struct Gathering {
    Box atom;
    const Command* op;
    std::size_t start, open;
  };
  std::vector<Gathering> gathering;
  bool too_deep = false;
  bool after_limits = false;  // limits leave a blank column after them, which spaces what follows
  const auto finish_operand = [&] {
    const Gathering g = gathering.back();
    gathering.pop_back();
    const std::span<const Box> items = out.finish_from(g.start);
    const Box operand = items.empty()       ? &kEmpty
                        : items.size() == 1 ? items.front()
                                            : make_node<Sequence>(items);
    out.push_back(with_operand(*g.atom, *g.op, operand));
    if (!previous) previous = MathClass::Op;
    after_limits = !std::holds_alternative<Command>(*g.atom);
  };

  const auto send = [&](MathClass settled) {
    std::ptrdiff_t before = pending->blanks_before;
    if (previous && !after_limits)
      before += static_cast<std::ptrdiff_t>(spacing(*previous, settled, script));
    after_limits = false;
    if (before > 0) out.push_back(space_node(static_cast<std::size_t>(before)));
    if (pending->gatherer != nullptr) {
      // Operands nest as deep as groups may.
      if (depth_ + gathering.size() >= kMaxDepth) too_deep = true;
      gathering.push_back({pending->expr, pending->gatherer, out.size(), 0});
      previous.reset();  // the sign's own layout sets its operand apart
    } else {
      out.push_back(pending->expr);
      previous = settled;
    }
    pending.reset();
  };
  const auto add = [&](Box expr, MathClass cls) {
    if (pending && (cls == MathClass::Bin || cls == MathClass::Rel)) {
      // A command drawn otherwise before an operator (\dots) takes that form.
      if (const auto* command = std::get_if<Command>(pending->expr);
          command != nullptr && command->parts->def != nullptr &&
          command->parts->def->before_operator != 0) {
        Definition* changed = current_arena().make<Definition>(*command->parts->def);
        changed->ch = changed->before_operator;
        pending->expr = make_node<Command>(
            command->name, current_arena().make<CommandParts>(changed, ExprList{}, ExprList{}));
      }
    }
    if (pending) {
      MathClass settled = pending->cls;
      if (settled == MathClass::Bin &&
          (cls == MathClass::Rel || cls == MathClass::Close || cls == MathClass::Punct))
        settled = MathClass::Ord;
      send(settled);
    }
    if (cls == MathClass::Bin && (!previous || *previous == MathClass::Bin ||
                                  *previous == MathClass::Op || *previous == MathClass::Rel ||
                                  *previous == MathClass::Open || *previous == MathClass::Punct))
      cls = MathClass::Ord;
    while (!gathering.empty()) {
      Gathering& inner = gathering.back();
      if (cls == MathClass::Open) {
        ++inner.open;
        break;
      }
      if (cls != MathClass::Rel && cls != MathClass::Bin && cls != MathClass::Punct &&
          cls != MathClass::Close)
        break;
      if (inner.open > 0) {
        if (cls == MathClass::Close) --inner.open;
        break;
      }
      finish_operand();
    }
    pending = Pending{expr, cls, blanks, cls == MathClass::Op ? gatherer(*expr) : nullptr};
    blanks = 0;
  };

  // The list so far as one node.
  const auto finish = [&]() -> Result<Box> {
    if (pending) send(pending->cls == MathClass::Bin ? MathClass::Ord : pending->cls);
    if (too_deep) return fail(std::string(message::kTooDeep));
    while (!gathering.empty()) finish_operand();
    if (blanks > 0) out.push_back(space_node(static_cast<std::size_t>(blanks)));
    if (out.empty()) return &kEmpty;
    if (out.size() == 1) return out.front();
    return make_node<Sequence>(out.finish());
  };

  while (const Lexeme* next = current()) {
    // Only these tokens may end a list or be out of place.
    if (next->kind == Tk::RBrace || next->kind == Tk::RBracket || next->kind == Tk::Ampersand ||
        next->kind == Tk::Escape || next->kind == Tk::Command) {
      auto ends = latex_ends(*next, stop);
      if (!ends) return std::unexpected(std::move(ends.error()));
      if (*ends) break;
    }
    if (next->kind == Tk::Command) {
      const Definition* def = definition(*next);
      if (def != nullptr && def->role == Role::Infix) {
        // The list so far over the rest of it (\over, \choose, \atop).
        ++pos_;
        auto above = finish();
        if (!above) return above;
        auto below = latex_list(stop, script);
        if (!below) return below;
        Box* args = current_arena().allocate_array<Box>(2);
        args[0] = *above;
        args[1] = *below;
        return make_node<Command>(next->payload(input_), current_arena().make<CommandParts>(
                                                             def, ExprList{}, ExprList(args, 2)));
      }
      if (def != nullptr && def->role == Role::Switch) {
        // The rest of the list, in the switch's alphabet.
        ++pos_;
        auto rest = latex_list(stop, script);
        if (!rest) return rest;
        Box* arg = current_arena().allocate_array<Box>(1);
        arg[0] = *rest;
        add(make_node<Command>(next->payload(input_), current_arena().make<CommandParts>(
                                                          def, ExprList{}, ExprList(arg, 1))),
            MathClass::Ord);
        break;
      }
    }
    auto item = latex_atom(script);
    if (!item) return std::unexpected(std::move(item.error()));
    if (item->atom) {
      add(item->expr, item->cls);
      if (too_deep) return fail(std::string(message::kTooDeep));
    } else if (item->expr == &kNegativeSpace) {
      --blanks;
    } else if (const auto* space = std::get_if<Space>(item->expr)) {
      blanks += static_cast<std::ptrdiff_t>(std::min<std::size_t>(space->columns, kMaxCells));
    }
  }
  return finish();
}

// atom: nucleus { ^argument | _argument | ' }
Result<Parser::Item> Parser::latex_atom(bool script) {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return fail(std::string(message::kTooDeep));
  // In a list a run of digits is one ordinary atom (an argument takes one digit only); a script
  // after it lands where it would after its last digit.
  auto nucleus = at(Tk::Number) ? Result<Item>(latex_digits()) : latex_nucleus(script);
  if (!nucleus || !nucleus->atom) return nucleus;

  Box sup = nullptr, sub = nullptr;
  std::size_t primes = 0;
  while (const Lexeme* next = current()) {
    if (const Definition* def = next->kind == Tk::Command ? definition(*next) : nullptr;
        def != nullptr && def->role == Role::Limits) {
      // \limits and \nolimits set an operator's scripts above and below it, or beside it.
      ++pos_;
      if (const auto* command = std::get_if<Command>(nucleus->expr);
          command != nullptr && command->parts->def != nullptr &&
          command->parts->def->limits != def->limits) {
        Definition* changed = current_arena().make<Definition>(*command->parts->def);
        changed->limits = def->limits;
        nucleus->expr = make_node<Command>(
            command->name, current_arena().make<CommandParts>(changed, command->parts->optional,
                                                              command->parts->args));
      }
      continue;
    }
    if (next->kind == Tk::Prime) {
      if (sup != nullptr) return fail(message::double_script(true, input_, next->start));
      ++pos_;
      ++primes;
    } else if (next->kind == Tk::Caret || next->kind == Tk::Underscore) {
      const bool up = next->kind == Tk::Caret;
      if ((up ? sup : sub) != nullptr) return fail(message::double_script(up, input_, next->start));
      const Lexeme& mark = advance();
      // A large operator's limits are spaced as its operand is, as the exact markup spaces them.
      auto script_arg = latex_argument(gatherer(*nucleus->expr) == nullptr, mark);
      if (!script_arg) return std::unexpected(std::move(script_arg.error()));
      // ^\prime and ^{\prime\prime} are primes, drawn as ′ and ″ like x' and x''.
      if (const std::size_t marks = prime_count(**script_arg); up && marks > 0) {
        primes += marks;
        sup = nullptr;
        continue;
      }
      (up ? sup : sub) = *script_arg;
    } else {
      break;
    }
  }
  // Primes are a superscript of prime marks, in front of any other superscript.
  if (primes > 0) {
    static constexpr std::string_view kPrimes[] = {"′", "″", "‴", "⁗"};
    std::string marks;
    for (std::size_t left = primes; left > 0; left -= std::min<std::size_t>(left, 4))
      marks += kPrimes[std::min<std::size_t>(left, 4) - 1];
    const Box mark = make_node<Symbol>(keep(marks));
    if (sup == nullptr) {
      sup = mark;
    } else {
      Box* both = current_arena().allocate_array<Box>(2);
      both[0] = mark;
      both[1] = sup;
      sup = make_node<Sequence>(ExprList(both, 2));
    }
  }
  Box expr = nucleus->expr;
  if (sup != nullptr && sub != nullptr) {
    expr = make_node<SubSup>(expr, sub, sup);
  } else if (sup != nullptr) {
    expr = make_node<Superscript>(expr, sup);
  } else if (sub != nullptr) {
    expr = make_node<Subscript>(expr, sub);
  }
  return Item{expr, nucleus->cls, true};
}

Result<Parser::Item> Parser::latex_nucleus(bool script) {
  const Lexeme& token = *current();
  const std::string_view source = token.source(input_);
  const auto symbol = [&](MathClass cls) -> Result<Item> {
    ++pos_;
    return Item{leaf<Symbol>(source), cls, true};
  };
  const auto blank = [&](std::size_t columns) -> Result<Item> {
    ++pos_;
    return Item{space_node(columns), MathClass::Ord, false};
  };

  switch (token.kind) {
    case Tk::LBrace: {
      auto group = latex_group(script);
      if (!group) return std::unexpected(std::move(group.error()));
      return Item{make_node<Group>(*group), MathClass::Ord, true};
    }
    case Tk::Caret:
    case Tk::Underscore:
    case Tk::Prime:
      // Scripts with no nucleus attach to an empty one.
      return Item{&kEmpty, MathClass::Ord, true};
    case Tk::Number:
      return symbol(MathClass::Ord);
    case Tk::Ident: {
      const Decoded d = decode_utf8(source, 0);
      return symbol(d.ch == U'?' ? MathClass::Close : vocabulary_.class_of(d.ch));
    }
    case Tk::Tilde:
      return blank(1);
    case Tk::Dollar:
    case Tk::RBrace:
      return fail(message::unmatched(source, input_, token.start));
    case Tk::Ampersand:
      return fail(message::outside(source, "an environment", input_, token.start));
    case Tk::Escape: {
      const std::string_view text = token.payload(input_);
      const Decoded d = decode_utf8(text, 0);
      switch (d.ch) {
        case U',':
        case U':':
        case U';':
        case U'>':
          return blank(1);
        case U'!':  // a negative thin space: it takes away a blank
          ++pos_;
          return Item{&kNegativeSpace, MathClass::Ord, false};
        case U'/':
        case U'-':
          return blank(0);
        case U'{':
          ++pos_;
          return Item{leaf<Symbol>("{"), MathClass::Open, true};
        case U'}':
          ++pos_;
          return Item{leaf<Symbol>("}"), MathClass::Close, true};
        case U'|':
          ++pos_;
          return Item{make_node<Symbol>("‖"), MathClass::Ord, true};
        case U'$':
        case U'%':
        case U'&':
        case U'#':
        case U'_':
          ++pos_;
          return Item{leaf<Symbol>(text), MathClass::Ord, true};
        case U'(':
        case U')':
        case U'[':
        case U']':
        case U'\\':
          return fail(message::unmatched(source, input_, token.start));
        default:
          if (is_white_space(d.ch)) return blank(1);
          return symbol(MathClass::Ord);  // drawn as written, backslash and all
      }
    }
    case Tk::Command:
      ++pos_;
      return latex_command(token, script);
    default:
      if (const auto cls = punctuation_class(token.kind)) return symbol(*cls);
      return fail(message::unmatched(source, input_, token.start));
  }
}

Parser::Item Parser::latex_digits() {
  const std::uint32_t start = tokens_[pos_].start;
  std::uint32_t end = tokens_[pos_++].end;
  while (at(Tk::Number) && tokens_[pos_].start == end) end = tokens_[pos_++].end;
  return Item{leaf<Number>(input_.substr(start, end - start)), MathClass::Ord, true};
}

Result<Box> Parser::latex_group(bool script) {
  const Lexeme& open = advance();
  // Most groups are empty or hold one letter or number: those are their atom, with no list. The
  // nesting limit is the list's and the atom's, as if they had been read.
  if (at(Tk::RBrace)) {
    if (depth_ + 1 > kMaxDepth) return fail(std::string(message::kTooDeep));
    ++pos_;
    return &kEmpty;
  }
  if (pos_ + 1 < tokens_.size() && tokens_[pos_ + 1].kind == Tk::RBrace) {
    const Lexeme& only = tokens_[pos_];
    if (only.kind == Tk::Ident || only.kind == Tk::Number) {
      if (depth_ + 2 > kMaxDepth) return fail(std::string(message::kTooDeep));
      pos_ += 2;
      return only.kind == Tk::Ident ? leaf<Symbol>(only.source(input_))
                                    : leaf<Number>(only.source(input_));
    }
  }
  const std::size_t outer = std::exchange(open_brace_, open.start);
  auto inner = latex_list(kAtBrace, script);
  open_brace_ = outer;
  if (!inner) return inner;
  if (!at(Tk::RBrace)) return fail(message::missing_close("}", "{", input_, open.start));
  ++pos_;
  return inner;
}

// argument: { list } | one token, a command with its own arguments included
Result<Box> Parser::latex_argument(bool script, const Lexeme& owner) {
  const Lexeme* next = current();
  const auto missing = [&] {
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  };
  if (next == nullptr) return missing();
  switch (next->kind) {
    case Tk::LBrace:
      return latex_group(script);
    case Tk::Caret:
    case Tk::Underscore:
    case Tk::Prime:
    case Tk::RBrace:
    case Tk::Ampersand:
      return missing();
    default:
      break;
  }
  auto ends = latex_ends(*next, kAtBrace | kAtCell | kAtRight);
  if (!ends) return std::unexpected(std::move(ends.error()));
  if (*ends) return missing();
  // Unbraced arguments nest with no list between them (\sqrt\sqrt\sqrt x).
  DepthGuard guard(depth_);
  if (guard.exceeded()) return fail(std::string(message::kTooDeep));
  auto item = latex_nucleus(script);
  if (!item) return std::unexpected(std::move(item.error()));
  return item->expr;
}

Result<Parser::Item> Parser::latex_command(const Lexeme& token, bool script) {
  const std::string_view name = token.payload(input_);
  const Definition* def = definition(token);
  if (def == nullptr) {
    // Drawn as written, so that the reader sees what was not understood, with the blank that ends
    // its name when a letter or digit follows (\sen x, not \senx).
    std::string_view written = token.source(input_);
    if (const Lexeme* next = current(); next != nullptr && next->start > token.end &&
                                        (next->kind == Tk::Ident || next->kind == Tk::Number))
      written = keep(std::string(written) + " ");
    return Item{make_node<Command>(
                    written, current_arena().make<CommandParts>(nullptr, ExprList{}, ExprList{})),
                MathClass::Ord, true};
  }
  // A starred form is a row of its own.
  if (def->takes('*') && at(Tk::Star)) {
    char starred[64];
    if (name.size() < sizeof starred) {
      std::ranges::copy(name, starred);
      starred[name.size()] = '*';
      if (const Definition* star = vocabulary_.find({starred, name.size() + 1})) {
        ++pos_;
        def = star;
      }
    }
  }
  switch (def->role) {
    case Role::Construct: {
      if (def->args.empty()) {  // most commands are symbols: no arguments to read
        return Item{make_node<Command>(
                        name, current_arena().make<CommandParts>(def, ExprList{}, ExprList{})),
                    def->cls, true};
      }
      auto node = latex_arguments(token, *def, script);
      if (!node) return std::unexpected(std::move(node.error()));
      MathClass cls = def->cls;
      if (const auto* command = std::get_if<Command>(*node);
          def->base_class && command != nullptr && !command->parts->args.empty())
        cls = class_of(*command->parts->args.back());
      return Item{*node, cls, true};
    }
    case Role::Left:
      return latex_left(token, script);
    case Role::Begin:
      return latex_environment(token, script);
    case Role::Space: {
      std::size_t columns = def->size;
      if (def->takes('d') || def->takes('k')) {
        auto measured = latex_dimension(def->takes('d'), token);
        if (!measured) return std::unexpected(std::move(measured.error()));
        columns = *measured;
      }
      return Item{space_node(columns), MathClass::Ord, false};
    }
    case Role::Line:  // a rule outside a table's row starts draws nothing
    case Role::Ignore: {
      auto skipped = latex_arguments(token, *def, script);
      if (!skipped) return std::unexpected(std::move(skipped.error()));
      return Item{space_node(0), MathClass::Ord, false};
    }
    case Role::Switch:  // a switch where one token is read applies to nothing
      return Item{&kEmpty, MathClass::Ord, true};
    case Role::Infix:   // where one token is read there is no list to split
    case Role::Limits:  // with no operator before it, it changes nothing
      return Item{space_node(0), MathClass::Ord, false};
    case Role::Right:
    case Role::Middle:
    case Role::End:
      break;
  }
  return fail(message::unmatched(token.source(input_), input_, token.start));
}

// The arguments of a row, read in the order of its argument kinds; the math and text ones are the
// command's arguments, an optional one its optional argument, and skipped ones are dropped.
Result<Box> Parser::latex_arguments(const Lexeme& token, const Definition& def, bool script) {
  ExprList optional;
  Box* args = current_arena().allocate_array<Box>(def.drawn());
  std::size_t count = 0;
  for (const char kind : def.args) {
    switch (kind) {
      case '[': {
        if (!at(Tk::LBracket)) break;
        const Lexeme& open = advance();
        auto inner = latex_list(kAtBracket, script);
        if (!inner) return inner;
        if (!at(Tk::RBracket)) return fail(message::missing_close("]", "[", input_, open.start));
        ++pos_;
        Box* one = current_arena().allocate_array<Box>(1);
        one[0] = *inner;
        optional = {one, 1};
        break;
      }
      case 'm': {
        auto arg = latex_argument(script, token);
        if (!arg) return arg;
        args[count++] = *arg;
        break;
      }
      case 't': {
        auto arg = latex_text(token);
        if (!arg) return arg;
        args[count++] = *arg;
        break;
      }
      case 'r': {  // rows of cells, set out as the environment of the command's name
        if (!at(Tk::LBrace))
          return fail(message::missing_argument(token.source(input_), input_, token.start));
        const Lexeme& open = advance();
        auto body =
            latex_rows(static_cast<std::uint8_t>(kAtBrace | kAtRow), false, script, nullptr);
        if (!body) return std::unexpected(std::move(body.error()));
        if (!at(Tk::RBrace)) return fail(message::missing_close("}", "{", input_, open.start));
        ++pos_;
        const EnvironmentDef* env = vocabulary_.environment(def.name);
        args[count++] = latex_table(*body, env != nullptr ? env->layout : TableLayout{}).expr;
        break;
      }
      case 'l': {  // a delimiter: the row drawn with it, as a row of its own
        auto delimiter = latex_delimiter(token);
        if (!delimiter) return std::unexpected(std::move(delimiter.error()));
        Definition* sized = current_arena().make<Definition>(def);
        sized->ch = *delimiter;
        return make_node<Command>(token.payload(input_), current_arena().make<CommandParts>(
                                                             sized, ExprList{}, ExprList{}));
      }
      case 's': {
        const Lexeme* next = current();
        if (next == nullptr)
          return fail(message::missing_argument(token.source(input_), input_, token.start));
        if (next->kind != Tk::LBrace) {
          ++pos_;
          break;
        }
        std::size_t depth = 0;
        for (; pos_ < tokens_.size(); ++pos_) {
          if (tokens_[pos_].kind == Tk::LBrace) ++depth;
          if (tokens_[pos_].kind == Tk::RBrace && --depth == 0) break;
        }
        if (pos_ == tokens_.size())
          return fail(message::missing_close("}", "{", input_, next->start));
        ++pos_;
        break;
      }
      default:  // '*' is read before the arguments; 'b' belongs to the exact markup
        break;
    }
  }
  return make_node<Command>(token.payload(input_), current_arena().make<CommandParts>(
                                                       &def, optional, ExprList(args, count)));
}

// A text argument: letters and the spaces between them kept (each run of white space one blank),
// braces dropped, escapes drawn as their characters, $…$ read as math, commands drawn as
// themselves, symbols as their characters.
Result<Box> Parser::latex_text(const Lexeme& owner) {
  // Text nests through the commands in it with no list between (\text{\text{…}}).
  DepthGuard guard(depth_);
  if (guard.exceeded()) return fail(std::string(message::kTooDeep));
  const Lexeme* next = current();
  if (next == nullptr)
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  if (next->kind != Tk::LBrace) {
    ++pos_;
    return leaf<Symbol>(next->source(input_));
  }
  const Lexeme& open = advance();
  ListBuilder<Box> pieces(lists_);
  std::string run;
  const auto flush = [&] {
    if (run.empty()) return;
    pieces.push_back(make_node<Symbol>(keep(run)));
    run.clear();
  };
  const auto blank = [&] {
    if (run.empty() || run.back() != ' ') run += ' ';
  };
  std::size_t depth = 0;
  std::uint32_t previous_end = open.end;
  for (;;) {
    const Lexeme* token = current();
    if (token == nullptr) return fail(message::missing_close("}", "{", input_, open.start));
    if (separates(input_.substr(previous_end, token->start - previous_end))) blank();
    const std::string_view source = token->source(input_);
    if (token->kind == Tk::RBrace) {
      ++pos_;
      previous_end = token->end;
      if (depth == 0) break;
      --depth;
      continue;
    }
    switch (token->kind) {
      case Tk::LBrace:
        ++depth;
        ++pos_;
        break;
      case Tk::Tilde:
        blank();
        ++pos_;
        break;
      case Tk::Dollar: {
        // Math inside the text, up to the next dollar.
        std::size_t close = pos_ + 1;
        while (close < tokens_.size() && tokens_[close].kind != Tk::Dollar) ++close;
        if (close == tokens_.size())
          return fail(message::missing_close("$", "$", input_, token->start));
        flush();
        Parser math(tokens_.subspan(pos_ + 1, close - pos_ - 1), input_, vocabulary_, lists_,
                    depth_);
        auto inner = math.latex_list(kAtEnd, false);
        if (!inner) return inner;
        pieces.push_back(*inner);
        pos_ = close + 1;
        break;
      }
      case Tk::Escape: {
        const std::string_view text = token->payload(input_);
        if (text == "{" || text == "}" || text == "$" || text == "%" || text == "&" ||
            text == "#" || text == "_") {
          run += text;
        } else if (text == "," || text == ";" || text == ":" || text == "\\" || text == " " ||
                   is_white_space(decode_utf8(text, 0).ch)) {
          blank();
        } else if (text != "!" && text != "/" && text != "-") {
          run += source;
        }
        ++pos_;
        break;
      }
      case Tk::Command: {
        const Definition* def = vocabulary_.find(token->payload(input_));
        if (def == nullptr) {
          run += source;
          ++pos_;
        } else if (def->symbol()) {
          append_utf8(run, def->ch);
          ++pos_;
        } else if (def->role == Role::Space) {
          ++pos_;
          auto item = latex_command(*token, false);
          if (!item) return std::unexpected(std::move(item.error()));
          run.append(std::get<Space>(*item->expr).columns, ' ');
        } else {
          flush();
          ++pos_;
          auto item = latex_command(*token, false);
          if (!item) return std::unexpected(std::move(item.error()));
          if (item->atom) pieces.push_back(item->expr);
        }
        break;
      }
      default:
        run += source;
        ++pos_;
        break;
    }
    previous_end = tokens_[pos_ - 1].end;
  }
  flush();
  if (pieces.empty()) return &kEmpty;
  if (pieces.size() == 1) return pieces.finish().front();
  return make_node<Sequence>(pieces.finish());
}

// A dimension: braced ({1em}), or written out after the name (3mu, -2pt, .5em).
Result<std::size_t> Parser::latex_dimension(bool braced, const Lexeme& owner) {
  const Lexeme* next = current();
  if (next == nullptr)
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  if (braced) {
    if (next->kind != Tk::LBrace) {
      ++pos_;
      return columns_of(next->source(input_));
    }
    const std::size_t open = pos_;
    while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBrace) ++pos_;
    if (pos_ == tokens_.size())
      return fail(message::missing_close("}", "{", input_, tokens_[open].start));
    const std::uint32_t from = tokens_[open].end, to = tokens_[pos_].start;
    ++pos_;
    return columns_of(input_.substr(from, to - from));
  }
  // Signs, digits and a point, then the two letters of the unit.
  const std::uint32_t from = next->start;
  while (const Lexeme* t = current()) {
    if (t->kind != Tk::Minus && t->kind != Tk::Plus && t->kind != Tk::Number && t->kind != Tk::Dot)
      break;
    ++pos_;
  }
  for (int letters = 0; letters < 2 && at(Tk::Ident); ++letters) ++pos_;
  const std::uint32_t to = pos_ > 0 ? tokens_[pos_ - 1].end : from;
  return columns_of(input_.substr(from, to > from ? to - from : 0));
}

// \left d list { \middle d list } \right d
Result<Parser::Item> Parser::latex_left(const Lexeme& token, bool script) {
  auto open = latex_delimiter(token);
  if (!open) return std::unexpected(std::move(open.error()));
  ListBuilder<Box> parts(lists_);
  std::u32string delimiters(1, *open);
  for (;;) {
    auto inner = latex_list(kAtRight, script);
    if (!inner) return std::unexpected(std::move(inner.error()));
    parts.push_back(*inner);
    if (current() == nullptr)
      return fail(message::missing_close("\\right", "\\left", input_, token.start));
    const Lexeme& keyword = advance();
    auto delimiter = latex_delimiter(keyword);
    if (!delimiter) return std::unexpected(std::move(delimiter.error()));
    delimiters += *delimiter;
    if (role_of(keyword) == Role::Right) break;
  }
  char32_t* kept = current_arena().allocate_array<char32_t>(delimiters.size());
  std::ranges::copy(delimiters, kept);
  return Item{make_node<LeftRight>(parts.finish(), kept), MathClass::Inner, true};
}

// The delimiter after \left, \right or \middle: its character, or 0 for ".".
Result<char32_t> Parser::latex_delimiter(const Lexeme& owner) {
  const Lexeme* next = current();
  if (next == nullptr)
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  const std::string_view source = next->source(input_);
  char32_t ch = 0;
  switch (next->kind) {
    case Tk::LParen:
    case Tk::RParen:
    case Tk::LBracket:
    case Tk::RBracket:
    case Tk::Pipe:
    case Tk::Slash:
      ch = static_cast<unsigned char>(source[0]);
      break;
    case Tk::Less:
      ch = U'⟨';
      break;
    case Tk::Greater:
      ch = U'⟩';
      break;
    case Tk::Dot:
      break;
    case Tk::Escape: {
      const std::string_view text = next->payload(input_);
      if (text == "{" || text == "}")
        ch = static_cast<unsigned char>(text[0]);
      else if (text == "|")
        ch = U'‖';
      else if (text == "\\")
        ch = U'\\';
      else
        return fail(message::not_a_delimiter(source, input_, next->start));
      break;
    }
    case Tk::Command: {
      const Definition* def = vocabulary_.find(next->payload(input_));
      if (def == nullptr || !def->symbol() || def->ch == U' ')
        return fail(message::not_a_delimiter(source, input_, next->start));
      ch = def->ch;
      break;
    }
    default:
      return fail(message::not_a_delimiter(source, input_, next->start));
  }
  ++pos_;
  return ch;
}

// \begin{name} cells \end{name}: cells end at &, rows at \\ (a [dimension] after it is read and
// dropped); short rows are filled with empty cells.
// The class of an atom as the list would see it: a command's, a character's, else ordinary.
MathClass Parser::class_of(const Expr& atom) const {
  if (const auto* command = std::get_if<Command>(&atom))
    return command->parts->def != nullptr ? command->parts->def->cls : MathClass::Ord;
  if (const auto* symbol = std::get_if<Symbol>(&atom); symbol != nullptr && !symbol->text.empty()) {
    const Decoded d = decode_utf8(symbol->text, 0);
    if (d.length == symbol->text.size()) return vocabulary_.class_of(d.ch);
  }
  return MathClass::Ord;
}

// \begin{name} arguments rows \end{name}. An environment the vocabulary does not know is read as a
// table of centred columns and drawn between its \begin{name} and \end{name}, with the name as
// read, so that nothing is lost.
Result<Parser::Item> Parser::latex_environment(const Lexeme& token, bool script) {
  auto name = latex_name(token);
  if (!name) return std::unexpected(std::move(name.error()));
  static constexpr EnvironmentDef kUnknown{};
  const EnvironmentDef* known = vocabulary_.environment(*name);
  const EnvironmentDef& env = known != nullptr ? *known : kUnknown;

  TableLayout layout = env.layout;
  const auto skip_bracketed = [&] {
    if (!at(Tk::LBracket)) return std::string_view{};
    const std::size_t from = tokens_[pos_].end;
    while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBracket) ++pos_;
    if (pos_ == tokens_.size()) return std::string_view{};
    return input_.substr(from, tokens_[pos_++].start - from);
  };
  for (const char kind : env.args) {
    switch (kind) {
      case '[':
        skip_bracketed();
        break;
      case 'a': {
        const std::string_view option = skip_bracketed();
        const std::size_t letter = option.find_first_of("lcr");
        if (letter != std::string_view::npos) layout.align = option.substr(letter, 1);
        break;
      }
      case 'c': {
        auto columns = latex_columns(token, layout);
        if (!columns) return std::unexpected(std::move(columns.error()));
        layout = *columns;
        break;
      }
      case 'n':  // braced, or one token as any argument may be
        if (at(Tk::LBrace)) {
          while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBrace) ++pos_;
          if (pos_ < tokens_.size()) ++pos_;
        } else if (at(Tk::Number)) {
          ++pos_;
        }
        break;
      default:
        break;
    }
  }

  auto body = latex_rows(kAtCell, layout.pairs, script, nullptr);
  if (!body) return std::unexpected(std::move(body.error()));
  if (current() == nullptr) {
    return fail(message::missing_close("\\end{" + std::string(*name) + "}",
                                       "\\begin{" + std::string(*name) + "}", input_, token.start));
  }
  const Lexeme& end = advance();
  auto other = latex_name(end);
  if (!other) return std::unexpected(std::move(other.error()));
  if (*other != *name) return fail(message::mismatched_end(*name, *other, input_, end.start));
  Item table = latex_table(*body, layout);
  if (known != nullptr) return table;

  const auto as_written = [&](std::string_view command) {
    const std::string source = std::string(command) + "{" + std::string(*name) + "}";
    return make_node<Command>(keep(source),
                              current_arena().make<CommandParts>(nullptr, ExprList{}, ExprList{}));
  };
  Box* parts = current_arena().allocate_array<Box>(3);
  parts[0] = as_written("\\begin");
  parts[1] = table.expr;
  parts[2] = as_written("\\end");
  return Item{make_node<Sequence>(ExprList(parts, 3)), MathClass::Ord, true};
}

// rows: { rule } cell { & cell } { \\ [*] [[dimension]] { rule } cell { & cell } }, up to \end
// (kAtCell), a closing brace (kAtBrace) or the end of the formula; `first`, when given, is the
// first cell, already read. A last row that is one empty cell, after a final \\, is dropped. In
// `pairs` of columns the right-hand ones start after an empty ordinary atom.
Result<Parser::Rows> Parser::latex_rows(std::uint8_t stop, bool pairs, bool script, Box first) {
  struct Reading {  // counts this table among those being read, until it is read
    std::size_t& tables;
    explicit Reading(std::size_t& count) : tables(++count) {}
    ~Reading() { --tables; }
  } reading(tables_);
  ListBuilder<ExprList> rows(lists_);
  std::optional<ListBuilder<Box>> row(std::in_place, lists_);
  std::vector<std::uint8_t> lines;  // rules above each row, filled as they come
  std::size_t columns = 0;
  bool blank_row = true;  // the row so far is one empty cell
  const auto end_row = [&](bool keep_blank) {
    const ExprList cells = row->finish();
    row.reset();
    if (keep_blank || !blank_row) {
      columns = std::max(columns, cells.size());
      rows.push_back(cells);
    }
  };

  for (std::size_t column = 0;; ++column) {
    Box cell = first;
    if (cell == nullptr) {
      // Rules above the row, before its first cell.
      while (column == 0 && current() != nullptr && current()->kind == Tk::Command) {
        const Definition* def = definition(*current());
        if (def == nullptr || def->role != Role::Line) break;
        const Lexeme& rule = advance();
        auto skipped = latex_arguments(rule, *def, script);
        if (!skipped) return std::unexpected(std::move(skipped.error()));
        if (lines.size() <= rows.size()) lines.resize(rows.size() + 1, 0);
        if (lines[rows.size()] < 2) ++lines[rows.size()];
      }
      const bool right_hand = pairs && column % 2 == 1;
      auto parsed =
          latex_list(static_cast<std::uint8_t>(stop | (right_hand ? kAfterOrd : 0)), script);
      if (!parsed) return std::unexpected(std::move(parsed.error()));
      cell = *parsed;
    }
    first = nullptr;
    blank_row = row->empty() && std::holds_alternative<Empty>(*cell);
    row->push_back(cell);
    const Lexeme* next = current();
    if (next != nullptr && next->kind == Tk::Ampersand) {
      ++pos_;
      continue;
    }
    if (next == nullptr || next->kind != Tk::Escape) break;  // the end, \end or }
    // \\ ends the row; its star and its spacing are read and dropped.
    ++pos_;
    if (at(Tk::Star)) ++pos_;
    if (at(Tk::LBracket)) {
      while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBracket) ++pos_;
      if (pos_ < tokens_.size()) ++pos_;
    }
    end_row(true);
    row.emplace(lists_);
    column = static_cast<std::size_t>(-1);
  }
  end_row(rows.empty());

  // Every row as long as the longest.
  std::span<const ExprList> all = rows.finish();
  auto* filled = current_arena().allocate_array<ExprList>(all.size());
  for (std::size_t k = 0; k < all.size(); ++k) {
    if (all[k].size() == columns) {
      filled[k] = all[k];
      continue;
    }
    Box* cells = current_arena().allocate_array<Box>(columns);
    std::ranges::copy(all[k], cells);
    std::fill(cells + all[k].size(), cells + columns, &kEmpty);
    filled[k] = {cells, columns};
  }
  std::uint8_t* kept = nullptr;
  if (!lines.empty()) {
    kept = current_arena().allocate_array<std::uint8_t>(lines.size());
    std::ranges::copy(lines, kept);
  }
  return Rows{{filled, all.size()}, {kept, lines.size()}};
}

// The columns of an array, {l c r | p{…} @{…} *{n}{…} …}: alignments and vertical rules are kept,
// p, m and b columns are set left-aligned, and the rest is read and dropped.
Result<TableLayout> Parser::latex_columns(const Lexeme& owner, TableLayout layout) {
  if (!at(Tk::LBrace))
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  const Lexeme& open = advance();
  std::size_t depth = 1;
  for (; pos_ < tokens_.size(); ++pos_) {
    if (tokens_[pos_].kind == Tk::LBrace) ++depth;
    if (tokens_[pos_].kind == Tk::RBrace && --depth == 0) break;
  }
  if (pos_ == tokens_.size()) return fail(message::missing_close("}", "{", input_, open.start));
  const std::string_view spec = input_.substr(open.end, tokens_[pos_].start - open.end);
  ++pos_;

  ColumnSpec columns;
  read_columns(spec, columns, 0);
  char* align = current_arena().allocate_array<char>(columns.align.size());
  std::ranges::copy(columns.align, align);
  auto* rules = current_arena().allocate_array<std::uint8_t>(columns.rules.size());
  std::ranges::copy(columns.rules, rules);
  layout.align = {align, columns.align.size()};
  layout.rules = {rules, columns.rules.size()};
  return layout;
}

Parser::Item Parser::latex_table(Rows body, const TableLayout& layout) {
  TableLayout* kept = current_arena().make<TableLayout>(layout);
  kept->lines = body.lines;
  const bool fenced = layout.fence[0] != 0 || layout.fence[1] != 0;
  return Item{make_node<Table>(body.rows, kept), fenced ? MathClass::Inner : MathClass::Ord, true};
}

// {name}: the text between the braces, white space around it dropped.
Result<std::string_view> Parser::latex_name(const Lexeme& owner) {
  if (!at(Tk::LBrace))
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  const Lexeme& open = advance();
  while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBrace) ++pos_;
  if (pos_ == tokens_.size()) return fail(message::missing_close("}", "{", input_, open.start));
  std::string_view name = input_.substr(open.end, tokens_[pos_].start - open.end);
  ++pos_;
  while (!name.empty() && is_white(name.front())) name.remove_prefix(1);
  while (!name.empty() && is_white(name.back())) name.remove_suffix(1);
  // Inside, as TeX reads it, a run of white space is one blank.
  bool plain = true;
  for (std::size_t i = 0; i < name.size() && plain; ++i)
    plain = !is_white(name[i]) || (name[i] == ' ' && !is_white(name[i + 1]));
  if (plain) return name;
  std::string read;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!is_white(name[i])) {
      read += name[i];
    } else if (!is_white(name[i - 1])) {
      read += ' ';
    }
  }
  return keep(read);
}

}  // namespace vok
