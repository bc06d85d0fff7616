// The LaTeX dialect's text arguments (\text{…} and the like) and dimensions (\hspace{1em},
// \kern3mu).
//
// Text keeps its letters and the spaces between them, each run of white space one blank; braces
// are dropped, escapes drawn as the vocabulary says, $…$ read as math, symbol commands drawn as
// their characters, spacing commands as blanks, and other commands as they are in math. Dashes and
// quotes join into TeX's text ligatures (-- –, --- —, `` “, '' ”, ` ‘, ' ’) except in a typewriter
// face, and a switch (\it, \bf) sets the rest of its group in its face.
#include <algorithm>
#include <string>

#include "glyphs.hpp"
#include "parser_latex.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

using Tk = TokenKind;

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

// The cells of a dimension such as "1em", "-3mu", "0.5 cm", "0 . 5 c m" as `extent` counts them,
// none for a negative or unreadable one; with `negative`, the cells of its size and there whether
// it is negative.
std::size_t cells_of(std::string_view text, Extent extent, bool* negative_out = nullptr) {
  std::size_t i = 0;
  const auto skip = [&] {
    while (i < text.size() && is_white(text[i])) ++i;
  };
  skip();
  bool negative = false;
  while (i < text.size() && (text[i] == '-' || text[i] == '+')) negative ^= text[i++] == '-';
  double value = 0, scale = 1;
  bool digits = false, point = false;
  for (; i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.' ||
                             ((digits || point) && is_white(text[i])));
       ++i) {
    if (is_white(text[i])) continue;
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
  // The unit's two letters, which a writer may have spaced out ("c m") with its digits ("0 . 7").
  char letters[2] = {};
  for (char& letter : letters) {
    if (i < text.size()) letter = text[i++];
    skip();
  }
  const std::string_view unit(letters, 2);
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
  const bool rows = extent == Extent::Height || extent == Extent::Shift;
  if (negative_out != nullptr) *negative_out = negative;
  const double cells = negative && negative_out == nullptr ? 0 : value * em * (rows ? 1 / 1.2 : 2);
  if ((extent == Extent::Width || extent == Extent::Height) && cells > 0 && cells < 1) return 1;
  return cells >= 1e6 ? std::size_t{1000000} : static_cast<std::size_t>(cells + 0.5);
}

// TeX's ligatures of text, made as the characters come: a hyphen after a hyphen is an en dash,
// after an en dash an em dash; a quote is a single quote, after the same single quote a double one.
struct Ligature {
  char typed;
  std::string_view before, drawn;  // what the run ends with, and what both become
};
constexpr Ligature kLigatures[] = {
    {'-', "\u2013", "\u2014"}, {'-', "-", "\u2013"},       {'`', "\u2018", "\u201C"},
    {'`', "", "\u2018"},       {'\'', "\u2019", "\u201D"}, {'\'', "", "\u2019"},
};

// Whether white space after a command ends its name and is not drawn: after a switch or a command
// that draws nothing (\it, \small), as TeX skips it; after a symbol (\pm x) or an unknown
// command (drawn as written) the blank stays, as the writer meant it.
bool swallows_blank(const Definition* def) {
  return def != nullptr && (def->role == Role::Switch || def->role == Role::Ignore);
}

}  // namespace

// A text as it is assembled: runs of characters, and the math and commands between them.
class TextAssembler {
 public:
  explicit TextAssembler(ListStack& lists) : pieces_(lists) {}

  void append(std::string_view text) { run_ += text; }
  // Typed characters, dashes and quotes joined as TeX's text ligatures join them.
  void typed(std::string_view text) {
    for (const char c : text) {
      const auto* ligature =
          ligatures_ && !barrier_
              ? std::ranges::find_if(
                    kLigatures,
                    [&](const Ligature& l) { return l.typed == c && run_.ends_with(l.before); })
              : std::end(kLigatures);
      if (ligature == std::end(kLigatures)) {
        run_ += c;
      } else {
        run_.resize(run_.size() - ligature->before.size());
        run_ += ligature->drawn;
      }
      barrier_ = false;
    }
  }
  // A brace: the characters on either side do not join.
  void barrier() { barrier_ = true; }
  void append(char32_t ch) { append_utf8(run_, ch); }
  void blanks(std::size_t count) { run_.append(count, ' '); }
  // One blank, unless the run ends with one already.
  void blank() {
    if (run_.empty() || run_.back() != ' ') run_ += ' ';
  }
  // Whether the run's dashes and quotes become TeX's text ligatures (not in a typewriter face).
  void ligatures(bool on) { ligatures_ = on; }
  [[nodiscard]] bool ligatures() const noexcept { return ligatures_; }

  // Ends the run of characters so far: it goes out as one piece.
  void flush() {
    if (run_.empty()) return;
    pieces_.push_back(make_node<Symbol>(keep(run_)));
    run_.clear();
  }
  // A piece that is not characters, after the run so far.
  void piece(Box expr) {
    flush();
    pieces_.push_back(expr);
  }

  [[nodiscard]] Box finish() {
    flush();
    if (pieces_.empty()) return empty_node();
    if (pieces_.size() == 1) return pieces_.finish().front();
    return make_node<Sequence>(pieces_.finish());
  }

 private:
  ListBuilder<Box> pieces_;
  std::string run_;
  bool ligatures_ = true;
  bool barrier_ = false;
};

// text: { letters, blanks, groups, escapes, $math$, commands } }, or one token unbraced
Result<Box> LatexParser::text(const Lexeme& owner) {
  // Text nests through the commands in it with no list between (\text{\text{…}}).
  DepthGuard guard(depth_);
  if (guard.exceeded()) return too_deep();
  const Lexeme* next = current();
  if (next == nullptr)
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  if (next->kind != Tk::LBrace) {
    // An escaped white space is a blank, as in braces; any other token is drawn as written.
    if (next->kind == Tk::Escape && escape(*next).text == EscapeText::Blank) {
      TextAssembler out(lists_);
      auto read = text_token(*next, out);
      if (!read) return std::unexpected(std::move(read.error()));
      return out.finish();
    }
    ++pos_;
    return leaf<Symbol>(next->source(input_));
  }
  const Lexeme& open = advance();
  TextAssembler out(lists_);
  const Definition* def = definition(owner);
  const auto* style = def != nullptr ? std::get_if<payload::Style>(&def->payload) : nullptr;
  out.ligatures(style == nullptr || style->map != to_monospace);
  std::uint32_t previous_end = open.end;
  auto read = text_group(open, previous_end, out, false);
  if (!read) return std::unexpected(std::move(read.error()));
  ++pos_;  // the closing brace
  return out.finish();
}

// The tokens of a text up to the closing brace of `open`'s group, left unread, into `out`; inner
// braces are dropped. `previous_end` is where the token before ended, for the blanks between. A
// switch sets the rest of its group in its face, up to the next switch there (`in_switch`: the
// tokens after one, which end at the next).
Result<void> LatexParser::text_group(const Lexeme& open, std::uint32_t& previous_end,
                                     TextAssembler& out, bool in_switch) {
  std::size_t depth = 0;
  for (;;) {
    const Lexeme* token = current();
    if (token == nullptr) return fail(message::missing_close("}", "{", input_, open.start));
    const Lexeme* before = pos_ > 0 ? &tokens_[pos_ - 1] : nullptr;
    const bool swallowed = before != nullptr && before->end == previous_end &&
                           before->kind == Tk::Command && swallows_blank(definition(*before));
    if (!swallowed && separates(input_.substr(previous_end, token->start - previous_end)))
      out.blank();
    if (token->kind == Tk::RBrace) {
      if (depth == 0) return {};
      ++pos_;
      previous_end = token->end;
      --depth;
      out.barrier();
      continue;
    }
    const Definition* def = token->kind == Tk::Command ? definition(*token) : nullptr;
    if (def == nullptr || def->role != Role::Switch) {
      if (token->kind == Tk::LBrace) {
        ++depth;
        out.barrier();
      }
      auto read = text_token(*token, out);
      if (!read) return std::unexpected(std::move(read.error()));
      previous_end = tokens_[pos_ - 1].end;
      continue;
    }
    if (in_switch && depth == 0) {
      previous_end = token->start;  // the blank before it is this run's
      return {};
    }
    ++pos_;
    previous_end = token->end;
    Box styled = nullptr;
    {
      TextAssembler rest(lists_);  // on the list stack above `out`: gone before `out` grows
      rest.ligatures(out.ligatures() && def->data<payload::Style>().map != to_monospace);
      auto read = text_group(open, previous_end, rest, true);
      if (!read) return read;
      styled = rest.finish();
    }
    out.piece(command(token->payload(input_), def, {}, list_of({styled})));
  }
}

// One token of a text other than a closing brace, read into `out`.
Result<void> LatexParser::text_token(const Lexeme& token, TextAssembler& out) {
  const std::string_view source = token.source(input_);
  switch (token.kind) {
    case Tk::LBrace:
      ++pos_;
      return {};
    case Tk::Tilde:
      out.blank();
      ++pos_;
      return {};
    case Tk::Dollar: {
      // Math inside the text, up to the next dollar outside its braces (a text inside the math
      // may hold math of its own).
      std::size_t close = pos_ + 1;
      for (std::size_t depth = 0; close < tokens_.size(); ++close) {
        const Tk kind = tokens_[close].kind;
        if (kind == Tk::LBrace) ++depth;
        if (kind == Tk::RBrace && depth-- == 0) break;
        if (kind == Tk::Dollar && depth == 0) break;
      }
      if (close == tokens_.size() || tokens_[close].kind != Tk::Dollar)
        return fail(message::missing_close("$", "$", input_, token.start));
      out.flush();
      LatexParser math(tokens_.subspan(pos_ + 1, close - pos_ - 1), input_, vocabulary_, lists_,
                       numbers_, depth_);
      auto inner = math.list(kAtEnd, false);
      if (!inner) return std::unexpected(std::move(inner.error()));
      out.piece(*inner);
      pos_ = close + 1;
      return {};
    }
    case Tk::Escape:
      ++pos_;
      switch (escape(token).text) {
        case EscapeText::Kept:
          out.append(token.payload(input_));
          break;
        case EscapeText::Blank:
          out.blank();
          break;
        case EscapeText::Nothing:
          break;
        case EscapeText::Written:
          out.append(source);
          break;
        case EscapeText::Command:
          if (const Definition* def = vocabulary_.find(token.payload(input_));
              def != nullptr && def->role == Role::Accent)
            return text_accent(token, *def, out);
          out.append(source);
          break;
      }
      return {};
    case Tk::Command:
      return text_command(token, out);
    default:
      out.typed(source);
      ++pos_;
      return {};
  }
}

// A command in a text: an unknown one as written, a symbol as its character, a space as blanks,
// and any other as in math.
Result<void> LatexParser::text_command(const Lexeme& token, TextAssembler& out) {
  ++pos_;
  const Definition* def = vocabulary_.find(token.payload(input_));
  if (def == nullptr) {
    out.append(token.source(input_));
    return {};
  }
  if (const char32_t ch = def->glyph(); ch != 0) {
    out.append(ch);
    return {};
  }
  if (def->role == Role::Accent) return text_accent(token, *def, out);
  // Any other command ends the run of characters, whether it draws something or not.
  if (def->role != Role::Space) out.flush();
  auto item = command_atom(token, false);
  if (!item) return std::unexpected(std::move(item.error()));
  if (def->role == Role::Space) {
    out.blanks(std::get<Space>(*item->expr).columns);
  } else if (item->atom) {
    out.piece(item->expr);
  }
  return {};
}

// A text accent's argument with the accent's mark on its first character, composed into one
// character where Unicode has the accented letter (\'e is é, \"{\i} is ï), else followed by the
// combining mark: a letter, a symbol command (\i), or braced text; braced text that is more than
// characters is kept as it is.
Result<Box> LatexParser::accented(const Lexeme& owner, const Definition& def) {
  const Lexeme* next = current();
  const auto missing = [&] {
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  };
  if (next == nullptr) return missing();
  std::string letters;
  if (next->kind == Tk::LBrace) {
    auto inner = text(owner);
    if (!inner) return inner;
    if (const auto* symbol = std::get_if<Symbol>(*inner)) {
      letters = symbol->text;
    } else if (!std::holds_alternative<Empty>(**inner)) {
      return inner;
    }
  } else if (const Definition* glyph = definition(*next); glyph != nullptr && glyph->glyph()) {
    ++pos_;
    append_utf8(letters, glyph->glyph());
  } else if (next->kind == Tk::Ident || next->kind == Tk::Number) {
    ++pos_;
    letters = next->source(input_).substr(0, next->kind == Tk::Number ? 1 : std::string_view::npos);
  } else {
    return missing();
  }
  const char32_t mark = def.data<payload::Combining>().mark;
  // Nothing under the mark: the mark over a blank. The dotless letters take the mark in place of
  // their dot (\"{\i} is ï).
  const Decoded first = letters.empty() ? Decoded{U' ', 0} : decode_utf8(letters, 0);
  char32_t one = composed(first.ch, mark);
  if (first.ch == U'ı' || first.ch == U'ȷ') {
    if (const char32_t dotted = composed(first.ch == U'ı' ? U'i' : U'j', mark)) one = dotted;
  }
  std::string out;
  if (one != 0) {
    append_utf8(out, one);
  } else {
    append_utf8(out, first.ch);
    append_utf8(out, mark);
  }
  out += std::string_view(letters).substr(first.length);
  return leaf<Symbol>(keep(out));
}

// A text accent in a text: its letter joins the run of characters.
Result<void> LatexParser::text_accent(const Lexeme& owner, const Definition& def,
                                      TextAssembler& out) {
  auto letter = accented(owner, def);
  if (!letter) return std::unexpected(std::move(letter.error()));
  if (const auto* symbol = std::get_if<Symbol>(*letter)) {
    out.append(symbol->text);
  } else {
    out.piece(*letter);
  }
  return {};
}

// A dimension: braced ({1em}), or written out after the name (3mu, -2pt, .5em).
Result<std::size_t> LatexParser::dimension(bool braced, const Lexeme& owner, Extent extent,
                                           bool* negative) {
  const Lexeme* next = current();
  if (next == nullptr)
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  if (braced) {
    if (next->kind != Tk::LBrace) {
      ++pos_;
      return cells_of(next->source(input_), extent, negative);
    }
    const std::size_t open = pos_;
    while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBrace) ++pos_;
    if (pos_ == tokens_.size())
      return fail(message::missing_close("}", "{", input_, tokens_[open].start));
    const std::uint32_t from = tokens_[open].end, to = tokens_[pos_].start;
    ++pos_;
    return cells_of(input_.substr(from, to - from), extent, negative);
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
  return cells_of(input_.substr(from, to > from ? to - from : 0), extent, negative);
}

}  // namespace vok
