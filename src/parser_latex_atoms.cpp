// The LaTeX dialect's atoms: a nucleus with its scripts and primes, groups, symbols, escapes,
// commands with the arguments their rows list, and \left … \middle … \right.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "constructs.hpp"
#include "glyphs.hpp"
#include "parser_latex.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

using Tk = TokenKind;

// The number of prime marks an expression is made of alone (\prime, ′), or 0.
std::size_t prime_count(const Expr& expr) {
  const auto one = [](const Expr& e) -> std::size_t {
    if (const auto* command = std::get_if<Command>(&e))
      return command->parts->def != nullptr && command->parts->def->glyph() == kPrimeMarks[0];
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

// The atom with its row's limits changed by \limits or \nolimits, when it is a command whose
// limits differ.
Box with_limits(Box atom, bool limits) {
  const auto* cmd = std::get_if<Command>(atom);
  if (cmd == nullptr || cmd->parts->def == nullptr || cmd->parts->def->limits == limits)
    return atom;
  Definition* changed = current_arena().make<Definition>(*cmd->parts->def);
  changed->limits = limits;
  return command(cmd->name, changed, cmd->parts->optional, cmd->parts->args);
}

// Primes are a superscript of prime marks, in front of any other superscript.
Box with_primes(Box sup, std::size_t primes) {
  if (primes == 0) return sup;
  const Box marks = make_node<Symbol>(keep(prime_marks(primes)));
  return sup == nullptr ? marks : make_node<Sequence>(list_of({marks, sup}));
}

Box with_scripts(Box nucleus, Box sub, Box sup) {
  if (sup != nullptr && sub != nullptr) return make_node<SubSup>(nucleus, sub, sup);
  if (sup != nullptr) return make_node<Superscript>(nucleus, sup);
  if (sub != nullptr) return make_node<Subscript>(nucleus, sub);
  return nucleus;
}

}  // namespace

// atom: nucleus { ^argument | _argument | ' }
Result<LatexParser::Item> LatexParser::atom(bool script) {
  DepthGuard guard(depth_);
  if (guard.exceeded()) return too_deep();
  // In a list a run of digits is one ordinary atom (an argument takes one digit only); a script
  // after it lands where it would after its last digit.
  auto nucleus = at(Tk::Number) ? Result<Item>(digits()) : this->nucleus(script);
  if (!nucleus || !nucleus->atom) return nucleus;

  Box sup = nullptr, sub = nullptr;
  std::size_t primes = 0;
  while (const Lexeme* next = current()) {
    if (const Definition* def = definition(*next); def != nullptr && def->role == Role::Limits) {
      // \limits and \nolimits set an operator's scripts above and below it, or beside it.
      ++pos_;
      nucleus->expr = with_limits(nucleus->expr, def->limits);
      continue;
    }
    if (next->kind == Tk::Prime) {
      if (sup != nullptr) return fail(message::double_script(true, input_, next->start));
      ++pos_;
      ++primes;
      continue;
    }
    if (next->kind != Tk::Caret && next->kind != Tk::Underscore) break;
    const bool up = next->kind == Tk::Caret;
    if ((up ? sup : sub) != nullptr) return fail(message::double_script(up, input_, next->start));
    const Lexeme& mark = advance();
    // Scripts and limits alike are set in script style: no blanks around a relation (i=1).
    auto script_arg = argument(true, mark);
    if (!script_arg) return std::unexpected(std::move(script_arg.error()));
    // ^\prime and ^{\prime\prime} are primes, drawn as ′ and ″ like x' and x''.
    if (const std::size_t marks = prime_count(**script_arg); up && marks > 0) {
      primes += marks;
      continue;
    }
    (up ? sup : sub) = *script_arg;
  }
  return Item{with_scripts(nucleus->expr, sub, with_primes(sup, primes)), nucleus->cls, true};
}

Result<LatexParser::Item> LatexParser::nucleus(bool script, bool alone) {
  const Lexeme& token = *current();
  const std::string_view source = token.source(input_);
  const auto symbol = [&](MathClass cls) -> Result<Item> {
    ++pos_;
    return Item{leaf<Symbol>(source), cls, true};
  };
  switch (token.kind) {
    case Tk::LBrace: {
      auto inner = group(script);
      if (!inner) return std::unexpected(std::move(inner.error()));
      return Item{make_node<Group>(*inner), MathClass::Ord, true};
    }
    case Tk::Caret:
    case Tk::Underscore:
    case Tk::Prime:
      // Scripts with no nucleus attach to an empty one.
      return Item{empty_node(), MathClass::Ord, true};
    case Tk::Number:
      return symbol(MathClass::Ord);
    case Tk::Ident:
      return symbol(typed_class(first_char(source)));
    case Tk::Tilde:
      ++pos_;
      return Item{space_node(1), MathClass::Ord, false};
    case Tk::Dollar:
    case Tk::RBrace:
      return fail(message::unmatched(source, input_, token.start));
    case Tk::Ampersand:
      return fail(message::outside_environment(source, input_, token.start));
    case Tk::Escape:
      return escaped(token);
    case Tk::Command:
      ++pos_;
      return command_atom(token, script, alone);
    default:
      if (const auto cls = punctuation_class(token.kind)) return symbol(*cls);
      return fail(message::unmatched(source, input_, token.start));
  }
}

// An escape, as the vocabulary's table has it.
Result<LatexParser::Item> LatexParser::escaped(const Lexeme& token) {
  const EscapeDef& escape = this->escape(token);
  switch (escape.math) {
    case EscapeKind::Blank:
      ++pos_;
      return Item{space_node(escape.columns), MathClass::Ord, false};
    case EscapeKind::LessBlank:
      ++pos_;
      return Item{&kLessBlank, MathClass::Ord, false};
    case EscapeKind::Symbol:
      ++pos_;
      return Item{leaf<Symbol>(escape.drawn.empty() ? token.payload(input_) : escape.drawn),
                  escape.cls, true};
    case EscapeKind::Command:
      ++pos_;
      if (const Definition* def = vocabulary_.find(token.payload(input_));
          def != nullptr && def->role == Role::Accent) {
        auto letter = accented(token, *def);
        if (!letter) return std::unexpected(std::move(letter.error()));
        return Item{*letter, MathClass::Ord, true};
      }
      return Item{leaf<Symbol>(token.source(input_)), MathClass::Ord, true};
    case EscapeKind::Written:
      ++pos_;
      return Item{leaf<Symbol>(token.source(input_)), MathClass::Ord, true};
    case EscapeKind::Unmatched:
      break;
  }
  return fail(message::unmatched(token.source(input_), input_, token.start));
}

// The class of a character typed as itself: its own in the grammar, else the vocabulary's.
MathClass LatexParser::typed_class(char32_t ch) const {
  for (const CharClass& own : vocabulary_.grammar().typed_classes)
    if (own.ch == ch) return own.cls;
  return vocabulary_.class_of(ch);
}

LatexParser::Item LatexParser::digits() {
  const std::uint32_t start = tokens_[pos_].start;
  std::uint32_t end = tokens_[pos_++].end;
  while (at(Tk::Number) && tokens_[pos_].start == end) end = tokens_[pos_++].end;
  return Item{leaf<Number>(input_.substr(start, end - start)), MathClass::Ord, true};
}

// { list }, the braces dropped.
Result<Box> LatexParser::group(bool script) {
  const Lexeme& open = advance();
  // Most groups are empty or hold one letter, number, sign or command of no arguments: those are
  // their atom, with no list. The nesting limit is the list's and the atom's, as if they had been
  // read.
  if (at(Tk::RBrace)) {
    if (deeper_than_allowed(1)) return too_deep();
    ++pos_;
    return empty_node();
  }
  if (pos_ + 1 < tokens_.size() && tokens_[pos_ + 1].kind == Tk::RBrace) {
    const Lexeme& only = tokens_[pos_];
    const Definition* row = only.kind == Tk::Command ? definition(only) : nullptr;
    if (only.kind == Tk::Ident || only.kind == Tk::Number || punctuation_class(only.kind) ||
        (row != nullptr && row->role == Role::Construct && row->args.empty())) {
      if (deeper_than_allowed(2)) return too_deep();
      pos_ += 2;
      if (row != nullptr) return command(only.payload(input_), row);
      return only.kind == Tk::Number ? leaf<Number>(only.source(input_))
                                     : leaf<Symbol>(only.source(input_));
    }
  }
  const std::size_t outer = std::exchange(open_brace_, open.start);
  auto inner = list(kAtBrace, script);
  open_brace_ = outer;
  if (!inner) return inner;
  if (!at(Tk::RBrace)) return fail(message::missing_close("}", "{", input_, open.start));
  ++pos_;
  return inner;
}

// argument: { list } | one token, a command with its own arguments included
Result<Box> LatexParser::argument(bool script, const Lexeme& owner) {
  const Lexeme* next = current();
  const auto missing = [&] {
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  };
  if (next == nullptr) return missing();
  switch (next->kind) {
    case Tk::LBrace:
      return group(script);
    case Tk::Caret:
    case Tk::Underscore:
    case Tk::Prime:
    case Tk::RBrace:
    case Tk::Ampersand:
      return missing();
    default:
      break;
  }
  if (const std::uint8_t closed = closes(*next); closed != kAtEnd) {
    constexpr std::uint8_t kStop = kAtBrace | kAtCell | kAtRight;
    if ((closed & kStop) != 0) return missing();
    if (closed != kAtBracket) return fail(out_of_place(*next, kStop));
  }
  // Unbraced arguments nest with no list between them (\sqrt\sqrt\sqrt x).
  DepthGuard guard(depth_);
  if (guard.exceeded()) return too_deep();
  auto item = nucleus(script, true);
  if (!item) return std::unexpected(std::move(item.error()));
  return item->expr;
}

// A command, by its row's role. An unknown command is drawn as written, so that the reader sees
// what was not understood: with the blank that ends its name when a letter or digit follows
// (\sen x, not \senx), and with the braces of the groups right after it (\red{AB}, not \redAB)
// unless it stands alone as an argument.
Result<LatexParser::Item> LatexParser::command_atom(const Lexeme& token, bool script, bool alone) {
  const Definition* def = definition(token);
  // An accent of text alone (\c, \d) is not a command of math.
  if (def != nullptr && def->role == Role::Accent && !def->data<payload::Combining>().math)
    def = nullptr;
  if (def == nullptr) {
    std::string_view written = token.source(input_);
    if (const Lexeme* next = current(); next != nullptr && next->start > token.end &&
                                        (next->kind == Tk::Ident || next->kind == Tk::Number))
      written = keep(std::string(written) + " ");
    const Box name = command(written, nullptr);
    if (alone || !at(Tk::LBrace)) return Item{name, MathClass::Ord, true};
    ListBuilder<Box> items(lists_);
    items.push_back(name);
    while (at(Tk::LBrace)) {
      auto inner = group(script);
      if (!inner) return std::unexpected(std::move(inner.error()));
      items.push_back(leaf<Symbol>("{"));
      items.push_back(*inner);
      items.push_back(leaf<Symbol>("}"));
    }
    return Item{make_node<Sequence>(items.finish()), MathClass::Ord, true};
  }
  // A starred form is a row of its own.
  const std::string_view name = token.payload(input_);
  if (def->takes('*') && at(Tk::Star)) {
    if (const Definition* star = vocabulary_.find(std::string(name) + "*")) {
      ++pos_;
      def = star;
    }
  }
  switch (def->role) {
    case Role::Construct: {
      // Most commands are symbols: no arguments to read.
      if (def->args.empty()) return Item{command(name, def), def->cls, true};
      auto node = arguments(token, *def, script);
      if (!node) return std::unexpected(std::move(node.error()));
      MathClass cls = def->cls;
      if (const auto* cmd = std::get_if<Command>(*node);
          def->base_class && cmd != nullptr && !cmd->parts->args.empty())
        cls = class_of(*cmd->parts->args.back());
      return Item{*node, cls, true};
    }
    case Role::Left:
      return left(token, script);
    case Role::Begin:
      return environment(token, script);
    case Role::Accent: {
      auto letter = accented(token, *def);
      if (!letter) return std::unexpected(std::move(letter.error()));
      return Item{*letter, MathClass::Ord, true};
    }
    case Role::Space: {
      std::size_t columns = def->data<payload::Blank>().columns;
      if (def->takes('d') || def->takes('k')) {
        auto measured = dimension(def->takes('d'), token);
        if (!measured) return std::unexpected(std::move(measured.error()));
        columns = *measured;
      }
      return Item{space_node(columns), MathClass::Ord, false};
    }
    case Role::Line:  // a rule outside a table's row starts draws nothing
    case Role::Ignore: {
      auto skipped = arguments(token, *def, script);
      if (!skipped) return std::unexpected(std::move(skipped.error()));
      return Item{space_node(0), MathClass::Ord, false};
    }
    case Role::Tag: {  // the label of the row being read; nothing where it stands
      if (def->args.empty()) {
        label_.none = true;
      } else {
        auto tag = arguments(token, *def, script);
        if (!tag) return std::unexpected(std::move(tag.error()));
        label_.tag = *tag;
      }
      return Item{space_node(0), MathClass::Ord, false};
    }
    case Role::Switch:  // a switch where one token is read applies to nothing
      return Item{empty_node(), MathClass::Ord, true};
    case Role::Infix:   // where one token is read there is no list to split
    case Role::Limits:  // with no operator before it, it changes nothing
      return Item{space_node(0), MathClass::Ord, false};
    case Role::RowEnd:
      return fail(message::outside_environment(token.source(input_), input_, token.start));
    case Role::Right:
    case Role::Middle:
    case Role::End:
      break;
  }
  return fail(message::unmatched(token.source(input_), input_, token.start));
}

// The arguments of a row, read in the order of its argument kinds; the math and text ones are the
// command's arguments, an optional one its optional argument, and skipped ones are dropped.
Result<Box> LatexParser::arguments(const Lexeme& token, const Definition& def, bool script) {
  ExprList optional;
  Box* args = current_arena().allocate_array<Box>(def.drawn());
  std::size_t count = 0;
  Definition* sized = nullptr;  // the row copied, once a dimension sets its size
  bool opened = false;          // a stack's opening delimiter has been read
  for (const char kind : def.args) {
    Result<Box> arg = nullptr;
    switch (kind) {
      case '[':
        if (!at(Tk::LBracket)) continue;
        arg = optional_argument(script);
        if (arg) optional = list_of({*arg});
        break;
      case 'm':
        arg = argument(script, token);
        break;
      case 'n': {
        const bool outer = operator_name_;
        operator_name_ = true;
        arg = argument(script, token);
        operator_name_ = outer;
        break;
      }
      case 't':
        arg = text(token);
        break;
      case 'r':
        arg = rows_argument(token, def, script);
        break;
      case 'l': {  // a delimiter: the row drawn with it, as a row of its own
        auto delimiter = this->delimiter(token);
        if (!delimiter) return std::unexpected(std::move(delimiter.error()));
        Definition* sized = current_arena().make<Definition>(def);
        sized->payload = payload::Sized{*delimiter, def.data<payload::Sized>().rows};
        return command(token.payload(input_), sized);
      }
      case 'f':
        return fenced_argument(token, def, script);
      case 'e': {  // the stack's delimiters, opening then closing
        auto delimiter = stack_delimiter(token);
        if (!delimiter) return std::unexpected(std::move(delimiter.error()));
        if (sized == nullptr) sized = current_arena().make<Definition>(def);
        auto& shape = std::get<payload::Fraction>(sized->payload);
        (opened ? shape.close : shape.open) = *delimiter;
        opened = true;
        continue;
      }
      case 'h': {  // a braced thickness; empty, the rule of a fraction
        if (sized == nullptr) sized = current_arena().make<Definition>(def);
        bool rule = true;
        if (at(Tk::LBrace) && pos_ + 1 < tokens_.size() && tokens_[pos_ + 1].kind == Tk::RBrace) {
          pos_ += 2;
        } else {
          auto cells = dimension(true, token, Extent::Height);
          if (!cells) return std::unexpected(std::move(cells.error()));
          rule = *cells > 0;
        }
        std::get<payload::Fraction>(sized->payload).rule = rule;
        continue;
      }
      case 'w':
        if (auto skipped = skip_rule_size(token); !skipped)
          return std::unexpected(std::move(skipped.error()));
        continue;
      case 'k':    // a box's shift in whole rows; any other dimension is dropped
      case 'u': {  // the same braced
        const bool shifts = std::holds_alternative<payload::Shift>(def.payload);
        bool negative = false;
        auto rows = dimension(kind == 'u', token, shifts ? Extent::Shift : Extent::Space,
                              shifts ? &negative : nullptr);
        if (!rows) return std::unexpected(std::move(rows.error()));
        if (shifts) {
          if (sized == nullptr) sized = current_arena().make<Definition>(def);
          auto& shift = std::get<payload::Shift>(sized->payload);
          shift.rows = static_cast<std::uint32_t>(*rows);
          shift.down = shift.down != negative;  // a negative shift goes the other way
        }
        continue;
      }
      case 'o': {  // the list up to \over, which is read and dropped
        arg = list(kAtBrace | kAtCell | kAtRight | kAtOver, script);
        if (!arg) return arg;
        const Lexeme* over = current();
        const Definition* infix = over != nullptr ? definition(*over) : nullptr;
        if (infix == nullptr || infix->role != Role::Infix ||
            infix->construct != construct::tight_fraction)
          return fail(message::missing_close("\\over", token.source(input_), input_, token.start));
        ++pos_;
        break;
      }
      case 'c': {  // the row drawn with the character of the code
        auto code = character_code(token);
        if (!code) return std::unexpected(std::move(code.error()));
        Definition* coded = current_arena().make<Definition>(def);
        coded->payload = payload::Glyph{*code};
        return command(token.payload(input_), coded);
      }
      case 'v': {  // the raw text between its delimiters; after a star, its blanks shown as ␣
        const Lexeme* raw = current();
        if (raw == nullptr || raw->kind != Tk::Ident || raw->end - raw->start < 2)
          return fail(message::missing_argument(token.source(input_), input_, token.start));
        ++pos_;
        std::string_view written = raw->source(input_);
        const bool star = written.size() > 2 && written.front() == '*';
        if (star) written.remove_prefix(1);
        const std::size_t edge = decode_utf8(written, 0).length;
        const std::string_view inside = written.substr(edge, written.size() - 2 * edge);
        if (inside.empty()) {
          arg = empty_node();
        } else if (!star) {
          arg = leaf<Symbol>(inside);
        } else {
          std::string shown;
          for (const char c : inside) c == ' ' ? shown += "␣" : shown += c;
          arg = leaf<Symbol>(keep(shown));
        }
        break;
      }
      case 's':
        if (auto skipped = skip_argument(token); !skipped)
          return std::unexpected(std::move(skipped.error()));
        continue;
      case 'd': {  // the block's width, then its height: the row drawn with them
        const bool width = sized == nullptr;
        if (width) sized = current_arena().make<Definition>(def);
        auto cells = dimension(true, token, width ? Extent::Width : Extent::Height);
        if (!cells) return std::unexpected(std::move(cells.error()));
        auto& size = std::get<payload::Size>(sized->payload);
        (width ? size.columns : size.rows) = static_cast<std::uint32_t>(*cells);
        continue;
      }
      default:  // '*' is read before the arguments; 'b' belongs to the exact markup
        continue;
    }
    if (!arg) return arg;
    if (kind != '[') args[count++] = *arg;
  }
  return command(token.payload(input_), sized != nullptr ? sized : &def, optional, {args, count});
}

// [ list ]
Result<Box> LatexParser::optional_argument(bool script) {
  const Lexeme& open = advance();
  auto inner = list(kAtBracket, script);
  if (!inner) return inner;
  if (!at(Tk::RBracket)) return fail(message::missing_close("]", "[", input_, open.start));
  ++pos_;
  return inner;
}

// An argument read and dropped: a braced group, however deep, or one token.
Result<void> LatexParser::skip_argument(const Lexeme& owner) {
  const Lexeme* next = current();
  if (next == nullptr)
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  if (next->kind != Tk::LBrace) {
    ++pos_;
    return {};
  }
  std::size_t depth = 0;
  for (; pos_ < tokens_.size(); ++pos_) {
    if (tokens_[pos_].kind == Tk::LBrace) ++depth;
    if (tokens_[pos_].kind == Tk::RBrace && --depth == 0) break;
  }
  if (pos_ == tokens_.size()) return fail(message::missing_close("}", "{", input_, next->start));
  ++pos_;
  return {};
}

// After an infix command: the delimiters (l) and the thickness (k) its row lists.
Result<const Definition*> LatexParser::infix_arguments(const Lexeme& token, const Definition& def) {
  if (def.args.empty()) return &def;
  Definition* shaped = current_arena().make<Definition>(def);
  auto& shape = std::get<payload::Fraction>(shaped->payload);
  bool opened = false;
  for (const char kind : def.args) {
    if (kind == 'l') {
      auto delimiter = this->delimiter(token);
      if (!delimiter) return std::unexpected(std::move(delimiter.error()));
      (opened ? shape.close : shape.open) = *delimiter;
      opened = true;
    } else if (kind == 'k') {
      auto cells = dimension(false, token, Extent::Height);
      if (!cells) return std::unexpected(std::move(cells.error()));
      shape.rule = *cells > 0;
    }
  }
  return shaped;
}

// The keywords of a rule's size, each followed by a dimension, in any order, read and dropped
// (\vrule height 2ex depth 1pt); a keyword's letters touch, as TeX reads them.
Result<void> LatexParser::skip_rule_size(const Lexeme& owner) {
  constexpr std::string_view kKeywords[] = {"height", "depth", "width"};
  for (bool found = true; found;) {
    found = false;
    for (const std::string_view keyword : kKeywords) {
      std::size_t at = pos_;
      std::size_t matched = 0;
      while (matched < keyword.size() && at < tokens_.size() && tokens_[at].kind == Tk::Ident &&
             tokens_[at].source(input_) == keyword.substr(matched, 1) &&
             (matched == 0 || tokens_[at].start == tokens_[at - 1].end)) {
        ++matched;
        ++at;
      }
      if (matched < keyword.size()) continue;
      pos_ = at;
      if (auto size = dimension(false, owner); !size)
        return std::unexpected(std::move(size.error()));
      found = true;
    }
  }
  return {};
}

// A delimiter of \genfrac: braced or bare; {} and . are none.
Result<char32_t> LatexParser::stack_delimiter(const Lexeme& owner) {
  if (!at(Tk::LBrace)) return delimiter(owner);
  const Lexeme& open = advance();
  if (at(Tk::RBrace)) {
    ++pos_;
    return 0;
  }
  auto inner = delimiter(owner);
  if (!inner) return inner;
  if (!at(Tk::RBrace)) return fail(message::missing_close("}", "{", input_, open.start));
  ++pos_;
  return inner;
}

// A character code as TeX reads one: decimal digits, ' and octal digits, or " and hexadecimal
// digits (0–9, A–F), the digits touching one another; a code of no character, a control or
// beyond Unicode, is no code.
Result<char32_t> LatexParser::character_code(const Lexeme& owner) {
  const auto missing = [&] {
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  };
  unsigned base = 10;
  if (at(Tk::Prime)) {
    base = 8;
    ++pos_;
  } else if (const Lexeme* next = current();
             next != nullptr && next->kind == Tk::Ident && next->source(input_) == "\"") {
    base = 16;
    ++pos_;
  }
  std::uint32_t code = 0;
  std::size_t digits = 0;
  for (std::uint32_t end = 0; const Lexeme* next = current(); ++pos_) {
    if (digits > 0 && next->start != end) break;
    const std::string_view text = next->source(input_);
    if (next->kind != Tk::Number && next->kind != Tk::Ident) break;
    const auto value = [&](char c) -> unsigned {
      if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
      if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
      return 16;
    };
    if (std::ranges::any_of(text, [&](char c) { return value(c) >= base; })) break;
    for (const char c : text) code = std::min<std::uint32_t>(code * base + value(c), 0x110000);
    digits += text.size();
    end = next->end;
  }
  if (digits == 0 || code >= 0x110000 || code < 0x20 || (code >= 0x7F && code < 0xA0) ||
      (code >= 0xD800 && code < 0xE000))
    return missing();
  return static_cast<char32_t>(code);
}

// { list { | list } }: the parts between the row's delimiters, which grow with them, as the bars
// between the parts do (\Braket{a|b}, \Set{x | x > 0}); one token unbraced is the one part.
Result<Box> LatexParser::fenced_argument(const Lexeme& owner, const Definition& def, bool script) {
  const auto [open, close] = def.data<payload::Pair>();
  ListBuilder<Box> parts(lists_);
  std::u32string delimiters(1, open);
  if (at(Tk::LBrace)) {
    const Lexeme& brace = advance();
    const std::size_t outer = std::exchange(open_brace_, brace.start);
    for (;;) {
      auto inner = list(kAtBrace | kAtBar, script);
      if (!inner) return inner;
      parts.push_back(*inner);
      if (!at(Tk::Pipe)) break;
      ++pos_;
      delimiters += U'|';
    }
    open_brace_ = outer;
    if (!at(Tk::RBrace)) return fail(message::missing_close("}", "{", input_, brace.start));
    ++pos_;
  } else {
    auto only = argument(script, owner);
    if (!only) return only;
    parts.push_back(*only);
  }
  delimiters += close;
  char32_t* kept = current_arena().allocate_array<char32_t>(delimiters.size());
  std::ranges::copy(delimiters, kept);
  return make_node<LeftRight>(parts.finish(), kept);
}

// \left d list { \middle d list } \right d
Result<LatexParser::Item> LatexParser::left(const Lexeme& token, bool script) {
  auto open = delimiter(token);
  if (!open) return std::unexpected(std::move(open.error()));
  ListBuilder<Box> parts(lists_);
  std::u32string delimiters(1, *open);
  for (;;) {
    auto inner = list(kAtRight, script);
    if (!inner) return std::unexpected(std::move(inner.error()));
    parts.push_back(*inner);
    if (current() == nullptr) return fail(message::missing_right(input_, token.start));
    const Lexeme& keyword = advance();
    auto delimiter = this->delimiter(keyword);
    if (!delimiter) return std::unexpected(std::move(delimiter.error()));
    delimiters += *delimiter;
    if (role_of(keyword) == Role::Right) break;
  }
  char32_t* kept = current_arena().allocate_array<char32_t>(delimiters.size());
  std::ranges::copy(delimiters, kept);
  return Item{make_node<LeftRight>(parts.finish(), kept), MathClass::Inner, true};
}

// The delimiter after \left, \right or \middle: its character, or 0 for ".".
Result<char32_t> LatexParser::delimiter(const Lexeme& owner) {
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
    case Tk::Escape:
      ch = escape(*next).delimiter;
      if (ch == 0) return fail(message::not_a_delimiter(source, input_, next->start));
      break;
    case Tk::Command: {
      const Definition* def = vocabulary_.find(next->payload(input_));
      ch = def != nullptr ? def->glyph() : 0;
      if (ch == 0 || ch == U' ') return fail(message::not_a_delimiter(source, input_, next->start));
      break;
    }
    default:
      return fail(message::not_a_delimiter(source, input_, next->start));
  }
  ++pos_;
  return ch;
}

MathClass LatexParser::class_of(const Expr& atom) const {
  if (const auto* command = std::get_if<Command>(&atom))
    return command->parts->def != nullptr ? command->parts->def->cls : MathClass::Ord;
  if (const auto* symbol = std::get_if<Symbol>(&atom); symbol != nullptr && !symbol->text.empty()) {
    const Decoded d = decode_utf8(symbol->text, 0);
    if (d.length == symbol->text.size()) return vocabulary_.class_of(d.ch);
  }
  return MathClass::Ord;
}

}  // namespace vok
