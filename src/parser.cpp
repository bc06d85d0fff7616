// The grammar levels, commands and their arguments, \left … \right pairs and matrix environments.
#include "parser.hpp"

#include <optional>

#include "arena.hpp"
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

// The closing partner of an opening delimiter; 0 for the closing characters themselves.
constexpr char32_t partner_of(char32_t open) noexcept {
  switch (open) {
    case U'(':
      return U')';
    case U'[':
      return U']';
    case U'{':
      return U'}';
    case U'|':
      return U'|';
    default:
      return 0;
  }
}

std::string utf8(char32_t ch) {
  std::string text;
  append_utf8(text, ch);
  return text;
}

// A command node, with its parts beside it in the arena.
Box command(std::string_view name, const Definition* def, ExprList optional, ExprList args) {
  return make_node<Command>(name, current_arena().make<CommandParts>(def, optional, args));
}

// A list of one more item.
ExprList append(ExprList items, Box item) {
  Box* out = current_arena().allocate_array<Box>(items.size() + 1);
  std::uninitialized_copy(items.begin(), items.end(), out);
  out[items.size()] = item;
  return {out, items.size() + 1};
}

// The shared empty node.
constexpr Expr kEmptyNode = Empty{};

constexpr Token kRBrace{Tk::RBrace, ""};
constexpr Token kRBracket{Tk::RBracket, ""};
constexpr Token kRParen{Tk::RParen, ""};
constexpr Token kLBrace{Tk::LBrace, ""};
constexpr Token kPipe{Tk::Pipe, ""};

}  // namespace

const Definition* Parser::look_up(const Lexeme& lexeme) const noexcept {
  looked_up_ = &lexeme;
  found_ = lexeme.kind == Tk::Command ? vocabulary_.find(lexeme.payload(input_)) : nullptr;
  return found_;
}

Role Parser::role_of(const Lexeme& lexeme) const noexcept {
  const Definition* def = definition(lexeme);
  return def == nullptr ? Role::Construct : def->role;
}

std::optional<std::size_t> Parser::find_closing(std::size_t from, Role open, Role close) const {
  std::size_t nested = 0;
  for (std::size_t i = from; i < tokens_.size(); ++i) {
    const Role role = role_of(tokens_[i]);
    if (role == open) {
      ++nested;
    } else if (role == close) {
      if (nested == 0) return i;
      --nested;
    }
  }
  return std::nullopt;
}

Result<void> Parser::expect(const Token& wanted) {
  const Lexeme* found = current();
  if (found == nullptr)
    return std::unexpected(at_eof(message::expected(text_form(wanted)), input_));
  if (const Token token = found->token(input_); !(token == wanted)) {
    return fail(message::expected_got(text_form(wanted), text_form(token), found->source(input_),
                                      found->start));
  }
  ++pos_;
  return {};
}

namespace {

// The stack a formula's lists are built on. Every list item covers tokens of its own, and so does
// every finished matrix row but the last of each matrix, so the stack never holds more entries
// than there are tokens and matrices; a LaTeX list also holds a blank between two atoms, hence the
// room for two entries a token. Only the part of the room that lists use is ever touched.
ListStack list_stack(std::size_t tokens) {
  const std::size_t bytes = 2 * (tokens + 2) * sizeof(ExprList);
  return ListStack(static_cast<std::byte*>(current_arena().allocate(bytes, ListStack::kAlign)),
                   bytes);
}

}  // namespace

Result<Box> parse_exact(std::span<const Lexeme> tokens, std::string_view input,
                        const Vocabulary& vocabulary) {
  ListStack lists = list_stack(tokens.size());
  return Parser(tokens, input, vocabulary, lists).parse_expr();
}

Result<Box> parse_latex(std::span<const Lexeme> tokens, std::string_view input,
                        const Vocabulary& vocabulary) {
  ListStack lists = list_stack(tokens.size());
  return Parser(tokens, input, vocabulary, lists).latex_formula();
}

Result<Box> Parser::parse_expr() {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return fail(std::string(message::kTooDeep));
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

// juxtaposition: nothing | scripted { scripted }
Result<Box> Parser::parse_juxtapose() {
  if (const Lexeme* next = current(); next == nullptr || !is_atom_start(next->kind))
    return &kEmptyNode;
  auto first = parse_scripted();
  if (!first) return first;
  if (const Lexeme* next = current(); next == nullptr || !is_continuation(next->kind)) return first;
  ListBuilder<Box> items(lists_);
  items.push_back(*first);
  while (const Lexeme* next = current()) {
    if (!is_continuation(next->kind)) break;
    auto item = parse_scripted();
    if (!item) return item;
    items.push_back(*item);
  }
  return make_node<Sequence>(items.finish());
}

// scripted: atom { ^atom | _atom | ' } [ {body} after a big operator ]
Result<Box> Parser::parse_scripted() {
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
      auto body = parse_braced();
      if (!body) return body;
      base = command(big->name, def, {}, append({}, *body));
    }
  }

  if (primes > 0) base = make_node<Primes>(*base, primes);
  if (sup && sub) return make_node<SubSup>(*base, sub, sup);
  if (sup) return make_node<Superscript>(*base, sup);
  if (sub) return make_node<Subscript>(*base, sub);
  return base;
}

Result<Box> Parser::parse_braced() {
  ++pos_;  // the opening brace
  auto inner = parse_expr();
  if (!inner) return inner;
  if (auto closed = expect(kRBrace); !closed) return std::unexpected(std::move(closed.error()));
  return inner;
}

Result<Box> Parser::parse_atom() {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return fail(std::string(message::kTooDeep));
  return parse_atom_at_depth();
}

Result<Box> Parser::parse_atom_at_depth() {
  const Lexeme* next = current();
  if (next == nullptr) return fail(message::unexpected_token(pos_, optional_text_form(nullptr)));

  // An expression between an opening token and its closing one.
  const auto enclosed = [this](const Token& closing) -> Result<Box> {
    ++pos_;
    auto inner = parse_expr();
    if (!inner) return inner;
    if (auto closed = expect(closing); !closed) return std::unexpected(std::move(closed.error()));
    return inner;
  };

  switch (next->kind) {
    case Tk::LBrace: {
      auto inner = enclosed(kRBrace);
      if (!inner) return inner;
      return make_node<Group>(*inner);
    }
    case Tk::LBracket: {
      auto inner = enclosed(kRBracket);
      if (!inner) return inner;
      return make_node<Brackets>(*inner);
    }
    case Tk::LParen: {
      auto inner = enclosed(kRParen);
      if (!inner) return inner;
      return make_node<Parens>(*inner);
    }
    case Tk::Pipe: {
      auto inner = enclosed(kPipe);
      if (!inner) return inner;
      return command("|", vocabulary_.find("|"), {}, append({}, *inner));
    }
    case Tk::Minus: {
      ++pos_;
      if (const Lexeme* operand = current(); operand == nullptr || !is_atom_start(operand->kind))
        return leaf<Symbol>("-");
      auto inner = parse_atom();
      if (!inner) return inner;
      return make_node<Negate>(*inner);
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
    case Tk::Escape:
      ++pos_;
      return leaf<Escape>(next->payload(input_));
    case Tk::Command: {
      ++pos_;
      const std::string_view name = next->payload(input_);
      const Definition* def = vocabulary_.find(name);
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
          return command(name, nullptr, {}, {});
        case Role::Construct:
          return parse_command(name, def);
      }
      return command(name, nullptr, {}, {});  // unreachable: every role is handled above
    }
    default: {
      const Token token = next->token(input_);
      return fail(message::unexpected_token(pos_, optional_text_form(&token)));
    }
  }
}

Result<Box> Parser::parse_tokens(std::span<const Lexeme> range) {
  if (range.empty()) return &kEmptyNode;
  return Parser(range, input_, vocabulary_, lists_, depth_).parse_expr();
}

// command: name [ [optional] ] { {argument} | atom }   (the arguments its row lists)
Result<Box> Parser::parse_command(std::string_view name, const Definition* def) {
  if (def == nullptr) return command(name, nullptr, {}, {});  // unknown: no arguments
  ExprList optional;

  if (def->takes('[') && at(Tk::LBracket)) {
    ++pos_;
    auto optional_arg = parse_expr();
    if (!optional_arg) return optional_arg;
    if (auto closed = expect(kRBracket); !closed) return std::unexpected(std::move(closed.error()));
    optional = append({}, *optional_arg);
  }
  // A big operator's body comes after its scripts.
  if (def->limits) return command(name, def, optional, {});

  const std::size_t required = def->required();
  Box* args = current_arena().allocate_array<Box>(required);
  for (std::size_t i = 0; i < required; ++i) {
    auto argument = at(Tk::LBrace) ? parse_braced() : parse_atom();
    if (!argument) return argument;
    args[i] = *argument;
  }
  return command(name, def, optional, {args, required});
}

// \left X … \right Y, with the position just after \left
Result<Box> Parser::parse_left_delimited() {
  const Lexeme* opening = current();
  const char32_t open = opening == nullptr ? 0 : delimiter_of(opening->token(input_));
  if (open == 0) return fail(std::string(message::kDelimiterAfterLeft));
  ++pos_;

  const std::size_t start = pos_;
  const auto match = find_closing(start, Role::Left, Role::Right);
  if (!match) return fail(std::string(message::kUnclosedLeft));
  const std::size_t m = *match;
  if (tokens_[m].kind != Tk::Command) return fail(std::string(message::kMissingRight));
  if (role_of(tokens_[m]) != Role::Right) return fail(std::string(message::kMismatchedScan));

  const char32_t close = m + 1 < tokens_.size() ? delimiter_of(tokens_[m + 1].token(input_)) : 0;
  if (close == 0) return fail(std::string(message::kDelimiterAfterRight));
  if (partner_of(open) == 0) return fail(std::string(message::kUnsupportedLeft));
  if (close != partner_of(open))
    return fail(message::mismatched_delimiters(utf8(open), utf8(close)));

  auto inner = parse_tokens(tokens_.subspan(start, m - start));
  if (!inner) return inner;
  pos_ = m + 2;
  return make_node<Delimited>(*inner, open, close);
}

// \begin{env} body \end{env}, with the position just after \begin
Result<Box> Parser::parse_begin() {
  if (auto opened = expect(kLBrace); !opened) return std::unexpected(std::move(opened.error()));
  auto name = parse_continuous_string(kRBrace);
  if (!name) return std::unexpected(std::move(name.error()));
  if (auto closed = expect(kRBrace); !closed) return std::unexpected(std::move(closed.error()));
  const EnvironmentDef* env = vocabulary_.environment(*name);
  if (env == nullptr) return fail(message::unknown_environment(*name));

  const std::size_t start = pos_;
  const auto match = find_closing(start, Role::Begin, Role::End);
  if (!match) return fail(message::unclosed_begin(*name));
  auto rows = parse_matrix_body(tokens_.subspan(start, *match - start));
  if (!rows) return std::unexpected(std::move(rows.error()));

  pos_ = *match + 1;  // past \end
  if (auto opened = expect(kLBrace); !opened) return std::unexpected(std::move(opened.error()));
  auto other = parse_continuous_string(kRBrace);
  if (!other) return std::unexpected(std::move(other.error()));
  if (*other != *name) return fail(message::mismatched_environments(*name, *other));
  if (auto closed = expect(kRBrace); !closed) return std::unexpected(std::move(closed.error()));
  return make_node<Matrix>(*rows, env);
}

// Cells end at & and rows at \\, but only outside braces, brackets, parentheses and nested
// environments; each cell is parsed by a sub-parser.
Result<std::span<const ExprList>> Parser::parse_matrix_body(std::span<const Lexeme> body) {
  ListBuilder<ExprList> rows(lists_);
  std::optional<ListBuilder<Box>> row(std::in_place, lists_);
  std::size_t cell_start = 0, depth = 0, env_depth = 0;

  const auto close_cell = [&](std::size_t end) -> Result<void> {
    if (end == cell_start) {
      row->push_back(&kEmptyNode);
      return {};
    }
    auto cell =
        Parser(body.subspan(cell_start, end - cell_start), input_, vocabulary_, lists_, depth_)
            .parse_expr();
    if (!cell) return std::unexpected(std::move(cell.error()));
    row->push_back(*cell);
    return {};
  };

  for (std::size_t i = 0; i < body.size(); ++i) {
    const Token token = body[i].token(input_);
    const bool top = depth == 0 && env_depth == 0;
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
        if (role_of(body[i]) == Role::Begin)
          ++env_depth;
        else if (role_of(body[i]) == Role::End && env_depth > 0)
          --env_depth;
        break;
      case Tk::Ampersand:
        if (top) {
          if (auto closed = close_cell(i); !closed)
            return std::unexpected(std::move(closed.error()));
          cell_start = i + 1;
        }
        break;
      case Tk::Escape:
        if (top && token.text == "\\") {
          if (auto closed = close_cell(i); !closed)
            return std::unexpected(std::move(closed.error()));
          const ExprList cells = row->finish();
          row.reset();  // off the stack before the row goes onto it
          rows.push_back(cells);
          row.emplace(lists_);
          cell_start = i + 1;
        }
        break;
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

// A name of adjacent identifier characters, up to (not including) `terminator`.
Result<std::string> Parser::parse_continuous_string(const Token& terminator) {
  const Lexeme* next = current();
  if (next == nullptr) return fail(std::string(message::kUnexpectedEof));
  if (next->kind != Tk::Ident) {
    if (next->token(input_) == terminator) return std::string();
    return fail(message::expected_a_string(next->source(input_), next->start));
  }
  std::string text(next->source(input_));
  std::size_t last_end = next->end;
  ++pos_;
  for (;;) {
    next = current();
    if (next == nullptr) return fail(std::string(message::kUnexpectedEof));
    if (next->kind != Tk::Ident) {
      if (next->token(input_) == terminator) return text;
      return fail(message::expected_a_string(next->source(input_), next->start));
    }
    if (next->start != last_end)
      return fail(message::unexpected_whitespace(next->source(input_), next->start));
    text += next->source(input_);
    last_end = next->end;
    ++pos_;
  }
}

}  // namespace vok
