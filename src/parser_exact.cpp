// The exact markup's grammar levels, commands and their arguments, \left … \right pairs and
// matrix environments.
#include "parser_exact.hpp"

#include <cassert>
#include <optional>
#include <utility>

#include "arena.hpp"
#include "glyphs.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

using Tk = TokenKind;

// Tokens that can start an atom.
constexpr bool is_atom_start(TokenKind kind) noexcept {
  switch (kind) {
    case Tk::LBrace:
    case Tk::LBracket:
    case Tk::Pipe:
    case Tk::Bang:
    case Tk::Plus:
    case Tk::Minus:
    case Tk::Comma:
    case Tk::LParen:
    case Tk::Dot:
    case Tk::Colon:
    case Tk::Semicolon:
    case Tk::Less:
    case Tk::Greater:
    case Tk::Slash:
    case Tk::Ampersand:
    case Tk::Command:
    case Tk::Escape:
    case Tk::Number:
    case Tk::Ident:
      return true;
    default:
      return false;
  }
}

// Tokens that continue a juxtaposition: a bar would swallow the bar that closes |a b|, and plus
// and minus belong to the expression level as operators.
constexpr bool is_continuation(TokenKind kind) noexcept {
  return is_atom_start(kind) && kind != Tk::Pipe && kind != Tk::Plus && kind != Tk::Minus;
}

constexpr std::optional<BinOp> operator_of(TokenKind kind) noexcept {
  switch (kind) {
    case Tk::Plus:
      return BinOp::Plus;
    case Tk::Minus:
      return BinOp::Minus;
    case Tk::Equals:
      return BinOp::Equals;
    case Tk::Star:
      return BinOp::Times;
    default:
      return std::nullopt;
  }
}

// The delimiter character a token stands for after \left or \right, or 0 if it is none.
char32_t delimiter_of(const Token& token) noexcept {
  switch (token.kind) {
    case Tk::LParen:
      return U'(';
    case Tk::RParen:
      return U')';
    case Tk::LBracket:
      return U'[';
    case Tk::RBracket:
      return U']';
    case Tk::LBrace:
      return U'{';
    case Tk::RBrace:
      return U'}';
    case Tk::Pipe:
      return U'|';
    case Tk::Escape:
      if (token.text.size() == 1 &&
          std::string_view("()[]{}|").find(token.text[0]) != std::string_view::npos)
        return static_cast<char32_t>(token.text[0]);
      return 0;
    default:
      return 0;
  }
}

std::string utf8(char32_t ch) {
  std::string text;
  append_utf8(text, ch);
  return text;
}

}  // namespace

// The leaf of a letter or a number.
inline Box ExactParser::leaf_of(const Lexeme& token) const {
  return token.kind == Tk::Ident ? leaf<Symbol>(token.payload(input_))
                                 : leaf<Number>(token.payload(input_));
}

Result<Box> parse_exact(std::span<const Lexeme> tokens, std::string_view input,
                        const Vocabulary& vocabulary,
                        std::size_t& /*numbers: none in the exact markup*/) {
  ListStack lists = list_stack(tokens.size());
  Closings closings(tokens);
  return ExactParser(tokens, input, vocabulary, lists, closings).parse_expr();
}

namespace {

// What each kind of token does to the count of open brackets: { [ and ( open one, } ] and ) close
// one.
constexpr auto kBracketChange = [] {
  std::array<std::int8_t, 256> change{};
  for (const Tk kind : {Tk::LBrace, Tk::LBracket, Tk::LParen})
    change[static_cast<std::size_t>(kind)] = 1;
  for (const Tk kind : {Tk::RBrace, Tk::RBracket, Tk::RParen})
    change[static_cast<std::size_t>(kind)] = -1;
  return change;
}();

}  // namespace

Closings::~Closings() {
  if (heap_ != 0) detail::free_block(brackets_, heap_);
}

void Closings::allocate() {
  constexpr std::size_t kArenaBytes = 4096;
  const std::size_t n = tokens_.size();
  std::size_t bytes = (2 * n + 1) * sizeof(std::int64_t) + n * sizeof(std::uint32_t);
  void* block = nullptr;
  if (bytes <= kArenaBytes) {
    block = current_arena().allocate(bytes, alignof(std::int64_t));
  } else {
    block = detail::allocate_block(bytes);
    heap_ = bytes;
  }
  brackets_ = static_cast<std::int64_t*>(block);
  lowest_ = brackets_ + n + 1;
  match_ = reinterpret_cast<std::uint32_t*>(lowest_ + n);
}

template <class RoleOf>
std::optional<std::size_t> Closings::closing(std::size_t opener, const RoleOf& role) {
  const std::size_t n = tokens_.size();
  if (match_ == nullptr) {
    allocate();
    // The openers not yet closed, of each kind, are chained from the innermost through their
    // entries of match_; an open \begin's entry of lowest_ is the fewest open brackets seen since.
    std::uint32_t left = kNone, begin = kNone;
    brackets_[0] = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const auto index = static_cast<std::uint32_t>(i);
      match_[i] = kNone;
      if (begin != kNone) lowest_[begin] = std::min(lowest_[begin], brackets_[i]);
      const Role r = role(tokens_[i]);
      if (r == Role::Left) {
        match_[i] = std::exchange(left, index);
      } else if (r == Role::Right && left != kNone) {
        const std::uint32_t closed = left;
        left = std::exchange(match_[closed], index);
      } else if (r == Role::Begin) {
        match_[i] = std::exchange(begin, index);
        lowest_[i] = brackets_[i];
      } else if (r == Role::End && begin != kNone) {
        const std::uint32_t closed = begin;
        begin = std::exchange(match_[closed], index);
        if (begin != kNone) lowest_[begin] = std::min(lowest_[begin], lowest_[closed]);
      }
      brackets_[i + 1] = brackets_[i] + kBracketChange[static_cast<std::size_t>(tokens_[i].kind)];
    }
    // The openers never closed.
    for (std::uint32_t open : {left, begin})
      while (open != kNone) open = std::exchange(match_[open], kNone);
  }
  if (match_[opener] == kNone) return std::nullopt;
  return match_[opener];
}

std::size_t Closings::brackets_after(std::size_t opener, std::size_t count) const noexcept {
  // Counting down stops at 0: from `count` the walk ends at the change over the pair, unless it
  // reached 0 on the way, when it ends at the rise since its lowest point.
  const std::size_t end = match_[opener];
  const std::int64_t change = brackets_[end] - brackets_[opener + 1];
  const std::int64_t rise = brackets_[end] - lowest_[opener];
  return static_cast<std::size_t>(std::max(static_cast<std::int64_t>(count) + change, rise));
}

std::optional<std::size_t> ExactParser::find_closing(std::size_t opener) const {
  // This parser's tokens are a range of the formula's.
  const auto offset = static_cast<std::size_t>(tokens_.data() - closings_.first());
  const auto found = closings_.closing(offset + opener, [this](const Lexeme& token) {
    return token.kind == Tk::Command ? role_of(token) : Role::Construct;
  });
  if (!found || *found >= offset + tokens_.size()) return std::nullopt;
  return *found - offset;
}

Result<void> ExactParser::expect(TokenKind wanted) {
  if (!at(wanted)) return fail(missing(wanted));
  ++pos_;
  return {};
}

ParseError ExactParser::missing(TokenKind wanted) const {
  const std::string name(kind_name(wanted));
  const Lexeme* found = current();
  if (found == nullptr) return at_eof(message::expected(name), input_);
  return ParseError{message::expected_got(name, text_form(found->token(input_)),
                                          found->source(input_), found->start)};
}

Result<Box> ExactParser::parse_expr() {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return too_deep();
  auto left = parse_juxtapose();
  if (!left) return left;
  while (const Lexeme* next = current()) {
    const auto op = operator_of(next->kind);
    if (!op) break;
    ++pos_;
    auto right = parse_juxtapose();
    if (!right) return right;
    left = make_node<Infix>(*left, *right, *op);
  }
  return left;
}

// scripted, most of which are a letter, a number or a command of no arguments alone: those are
// read at once, as parse_scripted() would read them (inlined in the juxtaposition's loop, where it
// runs for every item).
[[gnu::always_inline]] inline Result<Box> ExactParser::scripted() {
  if (const Lexeme* only = current();
      only != nullptr &&
      (only->kind == Tk::Ident || only->kind == Tk::Number || only->kind == Tk::Command) &&
      !deeper_than_allowed(1)) {
    const Lexeme* after = pos_ + 1 < tokens_.size() ? &tokens_[pos_ + 1] : nullptr;
    if (after == nullptr ||
        (after->kind != Tk::Caret && after->kind != Tk::Underscore && after->kind != Tk::Prime)) {
      if (only->kind != Tk::Command) {
        ++pos_;
        return leaf_of(*only);
      }
      const Definition* def = definition(*only);
      if (def == nullptr || (def->role == Role::Construct && def->args.empty())) {
        ++pos_;
        return command(only->payload(input_), def);
      }
    }
  }
  return parse_scripted();
}

// juxtaposition: nothing | scripted { scripted } (inlined in the expression's loop)
[[gnu::always_inline]] inline Result<Box> ExactParser::parse_juxtapose() {
  if (const Lexeme* next = current(); next == nullptr || !is_atom_start(next->kind))
    return empty_node();
  auto first = scripted();
  if (!first) return first;
  if (const Lexeme* next = current(); next == nullptr || !is_continuation(next->kind)) return first;
  ListBuilder<Box> items(lists_);
  items.push_back(*first);
  while (const Lexeme* next = current()) {
    if (!is_continuation(next->kind)) break;
    auto item = scripted();
    if (!item) return item;
    items.push_back(*item);
  }
  return make_node<Sequence>(items.finish());
}

// scripted: atom { ^atom | _atom | ' } [ {body} after a big operator ]
Result<Box> ExactParser::parse_scripted() {
  auto base = parse_atom();
  if (!base) return base;
  Box sup = nullptr, sub = nullptr;
  std::size_t primes = 0;
  for (const Lexeme* next = current(); next != nullptr; next = current()) {
    Box* script = nullptr;
    if (next->kind == Tk::Caret) {
      script = &sup;
    } else if (next->kind == Tk::Underscore) {
      script = &sub;
    } else if (next->kind == Tk::Prime) {
      ++pos_;
      ++primes;
      continue;
    }
    // A second ^ or _ ends the scripted atom and is left unread.
    if (script == nullptr || *script != nullptr) break;
    ++pos_;
    auto atom = parse_atom();
    if (!atom) return atom;
    *script = *atom;
  }

  // A big operator takes a braced body after its scripts (dropping any optional argument).
  if (const auto* big = std::get_if<Command>(*base); big != nullptr && at(Tk::LBrace)) {
    const Definition* def = big->parts->def;
    if (def != nullptr && def->takes('b') && big->parts->args.empty()) {
      auto body = enclosed(Tk::RBrace);
      if (!body) return body;
      base = command(big->name, def, {}, list_of({*body}));
    }
  }

  if (primes > 0) base = make_node<Primes>(*base, primes);
  if (sup && sub) return make_node<SubSup>(*base, sub, sup);
  if (sup) return make_node<Superscript>(*base, sup);
  if (sub) return make_node<Subscript>(*base, sub);
  return base;
}

Result<Box> ExactParser::enclosed(TokenKind closing) {
  // Most hold one letter or number: its leaf, as the general reading would read it two levels
  // deeper.
  if (pos_ + 2 < tokens_.size() && tokens_[pos_ + 2].kind == closing && !deeper_than_allowed(2)) {
    const Lexeme& only = tokens_[pos_ + 1];
    if (only.kind == Tk::Ident || only.kind == Tk::Number) {
      pos_ += 3;
      return leaf_of(only);
    }
  }
  ++pos_;
  auto inner = parse_expr();
  if (!inner) return inner;
  if (!at(closing)) return fail(missing(closing));
  ++pos_;
  return inner;
}

Result<Box> ExactParser::parse_atom() {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return too_deep();
  const Lexeme* next = current();
  if (next == nullptr) return fail(message::unexpected_token(pos_, optional_text_form(nullptr)));
  const auto wrapped = [](Result<Box> inner, auto wrap) -> Result<Box> {
    if (!inner) return inner;
    return wrap(*inner);
  };
  switch (next->kind) {
    case Tk::LBrace:
      return wrapped(enclosed(Tk::RBrace), [](Box inner) { return make_node<Group>(inner); });
    case Tk::LBracket:
      return wrapped(enclosed(Tk::RBracket), [](Box inner) { return make_node<Brackets>(inner); });
    case Tk::LParen:
      return wrapped(enclosed(Tk::RParen), [](Box inner) { return make_node<Parens>(inner); });
    case Tk::Pipe:
      return wrapped(enclosed(Tk::Pipe), [this](Box inner) {
        const Definition* bars = vocabulary_.grammar().bars;
        return command(bars->name, bars, {}, list_of({inner}));
      });
    case Tk::Minus: {
      ++pos_;
      if (const Lexeme* operand = current(); operand == nullptr || !is_atom_start(operand->kind))
        return leaf<Symbol>("-");
      return wrapped(parse_atom(), [](Box inner) { return make_node<Negate>(inner); });
    }
    case Tk::Plus:
    case Tk::Bang:
    case Tk::Comma:
    case Tk::Dot:
    case Tk::Colon:
    case Tk::Semicolon:
    case Tk::Less:
    case Tk::Greater:
    case Tk::Slash:
    case Tk::Ampersand:
      ++pos_;
      return leaf<Symbol>(next->source(input_));
    case Tk::Number:
      ++pos_;
      return leaf<Number>(next->payload(input_));
    case Tk::Ident:
      ++pos_;
      return leaf<Symbol>(next->payload(input_));
    case Tk::Escape: {
      ++pos_;
      // A spacing escape is blank columns; any other is its character.
      const EscapeDef& escape = this->escape(*next);
      if (escape.math == EscapeKind::Blank) return space_node(escape.columns);
      return leaf<Symbol>(next->payload(input_));
    }
    case Tk::Command:
      ++pos_;
      return parse_command(*next);
    default: {
      const Token token = next->token(input_);
      return fail(message::unexpected_token(pos_, optional_text_form(&token)));
    }
  }
}

// A command, by its row's role: \left and \begin read their structure; a stray \right is an error;
// the other structure commands of the LaTeX dialect are drawn as their names.
Result<Box> ExactParser::parse_command(const Lexeme& token) {
  const std::string_view name = token.payload(input_);
  const Definition* def = definition(token);
  switch (def == nullptr ? Role::Construct : def->role) {
    case Role::Left:
      return parse_left_delimited();
    case Role::Begin:
      return parse_begin();
    case Role::Right:
      return fail(std::string(message::kUnexpectedRight));
    case Role::End:  // a stray \end is drawn as its name
    case Role::Middle:
    case Role::Switch:
    case Role::Space:
    case Role::Ignore:
    case Role::Limits:
    case Role::Line:
    case Role::Infix:
    case Role::Accent:
    case Role::RowEnd:
    case Role::Tag:
      break;
    case Role::Construct:
      return parse_arguments(name, def);
  }
  return command(name, nullptr);
}

Result<Box> ExactParser::parse_tokens(std::span<const Lexeme> range) {
  if (range.empty()) return empty_node();
  return ExactParser(range, input_, vocabulary_, lists_, closings_, depth_).parse_expr();
}

// arguments: [ [optional] ] { {argument} | atom }   (the arguments the command's row lists)
Result<Box> ExactParser::parse_arguments(std::string_view name, const Definition* def) {
  if (def == nullptr) return command(name, nullptr);  // unknown: no arguments
  ExprList optional;

  if (def->takes('[') && at(Tk::LBracket)) {
    ++pos_;
    auto optional_arg = parse_expr();
    if (!optional_arg) return optional_arg;
    if (auto closed = expect(Tk::RBracket); !closed)
      return std::unexpected(std::move(closed.error()));
    optional = list_of({*optional_arg});
  }
  // A big operator's body comes after its scripts.
  if (def->limits) return command(name, def, optional);

  const std::size_t required = def->required();
  Box* args = current_arena().allocate_array<Box>(required);
  for (std::size_t i = 0; i < required; ++i) {
    auto argument = at(Tk::LBrace) ? enclosed(Tk::RBrace) : parse_atom();
    if (!argument) return argument;
    args[i] = *argument;
  }
  return command(name, def, optional, {args, required});
}

// \left X … \right Y, with the position just after \left
Result<Box> ExactParser::parse_left_delimited() {
  const std::size_t left = pos_ - 1;
  const Lexeme* opening = current();
  const char32_t open = opening == nullptr ? 0 : delimiter_of(opening->token(input_));
  if (open == 0) return fail(std::string(message::kDelimiterAfterLeft));
  ++pos_;

  const std::size_t start = pos_;
  const auto match = find_closing(left);
  if (!match) return fail(std::string(message::kUnclosedLeft));
  const std::size_t m = *match;
  // find_closing stops only at a command whose role is Right.
  assert(tokens_[m].kind == Tk::Command && role_of(tokens_[m]) == Role::Right);

  const char32_t close = m + 1 < tokens_.size() ? delimiter_of(tokens_[m + 1].token(input_)) : 0;
  if (close == 0) return fail(std::string(message::kDelimiterAfterRight));
  if (closing_partner(open) == 0) return fail(std::string(message::kUnsupportedLeft));
  if (close != closing_partner(open))
    return fail(message::mismatched_delimiters(utf8(open), utf8(close)));

  auto inner = parse_tokens(tokens_.subspan(start, m - start));
  if (!inner) return inner;
  pos_ = m + 2;
  return make_node<Delimited>(*inner, open, close);
}

// \begin{env} body \end{env}, with the position just after \begin
Result<Box> ExactParser::parse_begin() {
  const std::size_t begin = pos_ - 1;
  if (auto opened = expect(Tk::LBrace); !opened) return std::unexpected(std::move(opened.error()));
  auto name = parse_name();
  if (!name) return std::unexpected(std::move(name.error()));
  if (auto closed = expect(Tk::RBrace); !closed) return std::unexpected(std::move(closed.error()));
  const EnvironmentDef* env = vocabulary_.environment(*name);
  if (env == nullptr) return fail(message::unknown_environment(*name));

  const std::size_t start = pos_;
  const auto match = find_closing(begin);
  if (!match) return fail(message::unclosed_begin(*name));
  auto rows = parse_matrix_body(tokens_.subspan(start, *match - start));
  if (!rows) return std::unexpected(std::move(rows.error()));

  pos_ = *match + 1;  // past \end
  if (auto opened = expect(Tk::LBrace); !opened) return std::unexpected(std::move(opened.error()));
  auto other = parse_name();
  if (!other) return std::unexpected(std::move(other.error()));
  if (*other != *name) return fail(message::mismatched_environments(*name, *other));
  if (auto closed = expect(Tk::RBrace); !closed) return std::unexpected(std::move(closed.error()));
  return make_node<Matrix>(*rows, env);
}

// Cells end at & and rows at \\, but only outside braces, brackets, parentheses and nested
// environments; each cell is parsed by a sub-parser.
Result<std::span<const ExprList>> ExactParser::parse_matrix_body(std::span<const Lexeme> body) {
  ListBuilder<ExprList> rows(lists_);
  std::optional<ListBuilder<Box>> row(std::in_place, lists_);
  std::size_t cell_start = 0, depth = 0;

  const auto close_cell = [&](std::size_t end) -> Result<void> {
    if (end == cell_start) {
      row->push_back(empty_node());
      return {};
    }
    auto cell = ExactParser(body.subspan(cell_start, end - cell_start), input_, vocabulary_, lists_,
                            closings_, depth_)
                    .parse_expr();
    if (!cell) return std::unexpected(std::move(cell.error()));
    row->push_back(*cell);
    return {};
  };

  for (std::size_t i = 0; i < body.size(); ++i) {
    const Token token = body[i].token(input_);
    const bool top = depth == 0;
    switch (token.kind) {
      case Tk::LBrace:
      case Tk::LBracket:
      case Tk::LParen:
        ++depth;
        break;
      case Tk::RBrace:
      case Tk::RBracket:
      case Tk::RParen:
        if (depth > 0) --depth;
        break;
      case Tk::Command:
        // A nested environment holds no cell of this one: on to its \end, or to the end.
        if (role_of(body[i]) == Role::Begin) {
          const auto at = static_cast<std::size_t>(body.data() - tokens_.data());
          const auto end = find_closing(at + i);
          if (!end || *end >= at + body.size()) {
            i = body.size();  // no cell ends before the body does
          } else {
            depth = closings_.brackets_after(
                static_cast<std::size_t>(body.data() - closings_.first()) + i, depth);
            i = *end - at;
          }
        }
        break;
      case Tk::Ampersand:
      case Tk::Escape: {
        const bool row_end = token.kind == Tk::Escape;
        if (!top || (row_end && token.text != "\\")) break;
        if (auto closed = close_cell(i); !closed) return std::unexpected(std::move(closed.error()));
        if (row_end) {
          const ExprList cells = row->finish();
          row.reset();  // off the stack before the row goes onto it
          rows.push_back(cells);
          row.emplace(lists_);
        }
        cell_start = i + 1;
        break;
      }
      default:
        break;
    }
  }
  if (cell_start < body.size()) {
    if (auto closed = close_cell(body.size()); !closed)
      return std::unexpected(std::move(closed.error()));
  }
  // A trailing row break adds no empty row; an empty body is one empty row.
  const bool last_row = !row->empty() || rows.empty();
  const ExprList cells = row->finish();
  row.reset();
  if (last_row) rows.push_back(cells);
  return rows.finish();
}

// A name of adjacent identifier characters, up to (not including) the closing brace: the text of
// the input they cover, as they touch one another.
Result<std::string_view> ExactParser::parse_name() {
  const Lexeme* next = current();
  if (next == nullptr) return fail(std::string(message::kUnexpectedEof));
  if (next->kind != Tk::Ident) {
    if (next->kind == Tk::RBrace) return std::string_view();
    return fail(message::expected_a_string(next->source(input_), next->start));
  }
  const std::uint32_t start = next->start;
  std::uint32_t last_end = next->end;
  ++pos_;
  for (;;) {
    next = current();
    if (next == nullptr) return fail(std::string(message::kUnexpectedEof));
    if (next->kind != Tk::Ident) {
      if (next->kind == Tk::RBrace) return input_.substr(start, last_end - start);
      return fail(message::expected_a_string(next->source(input_), next->start));
    }
    if (next->start != last_end)
      return fail(message::unexpected_whitespace(next->source(input_), next->start));
    last_end = next->end;
    ++pos_;
  }
}

}  // namespace vok
