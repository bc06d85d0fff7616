// The lexer and the text forms of tokens.
#include "token.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <string>

#include "arena.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

// What an ASCII byte starts. Every byte that is a whole token by itself (punctuation, a letter, a
// control character) maps to its token kind, so the common case is one table load and one branch.
enum class Start : std::uint8_t { OneByte, Digit, Backslash, Space, Invalid, Comment, Control };

struct AsciiClass {
  Start start;
  TokenKind kind;  // for OneByte
};

}  // namespace

// What each ASCII character starts, in a dialect's reading.
struct AsciiTable {
  std::array<AsciiClass, 128> classes;
};

namespace {

constexpr std::array<AsciiClass, 128> make_ascii_table() {
  std::array<AsciiClass, 128> table{};
  for (auto& entry : table) entry = {Start::OneByte, TokenKind::Ident};  // letters and controls
  constexpr std::string_view singles = "{}[]^_'|!+-=*,().:;<>/&";
  for (std::size_t i = 0; i < singles.size(); ++i)
    table[static_cast<unsigned char>(singles[i])] = {Start::OneByte, static_cast<TokenKind>(i)};
  for (char c : std::string_view("\"#$%?@`~")) table[c] = {Start::Invalid, TokenKind::Ident};
  for (char c = '0'; c <= '9'; ++c) table[c] = {Start::Digit, TokenKind::Number};
  for (char c : std::string_view(" \t\n\v\f\r")) table[c] = {Start::Space, TokenKind::Ident};
  table['\\'] = {Start::Backslash, TokenKind::Escape};
  return table;
}

// The LaTeX dialect's reading of the same bytes.
constexpr std::array<AsciiClass, 128> make_latex_table() {
  std::array<AsciiClass, 128> table = make_ascii_table();
  for (char c : std::string_view("\"#?@`")) table[c] = {Start::OneByte, TokenKind::Ident};
  table['~'] = {Start::OneByte, TokenKind::Tilde};
  table['$'] = {Start::OneByte, TokenKind::Dollar};
  table['%'] = {Start::Comment, TokenKind::Ident};
  for (char c = '0'; c <= '9'; ++c) table[c] = {Start::OneByte, TokenKind::Number};
  for (unsigned char c = 0; c < 0x20; ++c)
    if (table[c].start != Start::Space) table[c] = {Start::Control, TokenKind::Ident};
  table[0x7F] = {Start::Control, TokenKind::Ident};
  return table;
}

}  // namespace

constexpr AsciiTable kExactAscii{make_ascii_table()};
constexpr AsciiTable kLatexAscii{make_latex_table()};

namespace {

// The C0 and C1 control characters and DEL.
constexpr bool is_control(char32_t ch) noexcept { return ch < 0x20 || (ch >= 0x7F && ch < 0xA0); }

constexpr bool is_ascii_letter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
constexpr bool is_ascii_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// clang-format off
constexpr std::array<std::string_view, 29> kKindNames = {
    "LBrace", "RBrace",  "LBracket", "RBracket", "Caret",     "Underscore", "Prime",
    "Pipe",   "Bang",    "Plus",     "Minus",    "Equals",    "Star",       "Comma",
    "LParen", "RParen",  "Dot",      "Colon",    "Semicolon", "Less",       "Greater",
    "Slash",  "Ampersand", "Command", "Escape",  "Number",    "Ident",      "Tilde",
    "Dollar",
};
// clang-format on

// Appends `text` in double quotes with the escapes of the text form.
void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = decode_utf8(text, i);
    if (d.length == 0) {  // payloads come from a checked input; stay total all the same
      out += "\\u{fffd}";
      ++i;
      continue;
    }
    switch (d.ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (is_escaped_in_text_form(d.ch)) {
          static constexpr char kHex[] = "0123456789abcdef";
          char digits[8];
          int count = 0;
          for (char32_t v = d.ch; v != 0 || count == 0; v >>= 4) digits[count++] = kHex[v & 0xF];
          out += "\\u{";
          while (count > 0) out += digits[--count];
          out += '}';
        } else {
          out.append(text.substr(i, d.length));
        }
    }
    i += d.length;
  }
  out += '"';
}

}  // namespace

bool Token::operator==(const Token& other) const noexcept {
  return kind == other.kind && (!has_payload(kind) || text == other.text);
}

std::string_view kind_name(TokenKind kind) noexcept {
  return kKindNames[static_cast<std::size_t>(kind)];
}

std::string text_form(const Token& token) {
  std::string out(kind_name(token.kind));
  if (has_payload(token.kind)) {
    out += '(';
    append_quoted(out, token.text);
    out += ')';
  }
  return out;
}

std::string optional_text_form(const Token* token) {
  if (token == nullptr) return "None";
  return "Some(" + text_form(*token) + ")";
}

namespace {

// One pass over an input: each read_ function reads the token (or the blank or comment) that
// starts at `at`, appends it, and returns the position after it, or the error it is.
class Lexer {
 public:
  Lexer(std::string_view input, const LexerRules& rules, Lexeme* tokens,
        std::size_t* noted) noexcept
      : input_(input), rules_(rules), tokens_(tokens), noted_(noted) {}

  [[nodiscard]] Result<std::span<const Lexeme>> run() {
    const char* const text = input_.data();
    const std::size_t n = input_.size();
    const AsciiClass* const classes = rules_.ascii->classes.data();
    // The common tokens are stored through these locals, which the stores cannot change; the
    // other readings store through the members, brought up to date around them.
    Lexeme* const tokens = tokens_;
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < n) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c == ' ') {  // the commonest byte of all, in every reading white space
        ++i;
        continue;
      }
      Start start = Start::Invalid;
      if (c < 0x80) {
        // The common tokens first: one byte, white space, digits and commands.
        const AsciiClass cls = classes[c];
        start = cls.start;
        if (start == Start::OneByte) {
          tokens[count++] = lexeme(cls.kind, i, i + 1);
          ++i;
          continue;
        }
        if (start == Start::Space) {
          ++i;
          continue;
        }
        if (start == Start::Digit) {
          std::size_t end = i + 1;
          while (end < n && is_ascii_digit(static_cast<unsigned char>(text[end]))) ++end;
          tokens[count++] = lexeme(TokenKind::Number, i, end);
          i = end;
          continue;
        }
        if (start == Start::Backslash && i + 1 < n && name_letter(byte(i + 1))) {
          const Lexeme command = read_command(i);
          tokens[count++] = command;
          i = command.end;
          if (verbatim(command)) {
            count_ = count;
            auto raw = read_raw(i);
            if (!raw) return std::unexpected(std::move(raw.error()));
            i = *raw;
            count = count_;
          }
          continue;
        }
        if (start == Start::Backslash && i + 1 == n && rules_.final_blank) break;
      }
      count_ = count;
      auto next = read_other(i, c, start);
      if (!next) return std::unexpected(std::move(next.error()));
      i = *next;
      count = count_;
    }
    return std::span<const Lexeme>(tokens, count);
  }

 private:
  [[nodiscard]] unsigned char byte(std::size_t i) const noexcept {
    return static_cast<unsigned char>(input_[i]);
  }
  [[nodiscard]] bool name_letter(unsigned char c) const noexcept {
    return is_ascii_letter(c) || (c == '@' && rules_.at_letter);
  }
  [[nodiscard]] static Lexeme lexeme(TokenKind kind, std::size_t start, std::size_t end) noexcept {
    return Lexeme{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end), kind};
  }
  void emit(TokenKind kind, std::size_t start, std::size_t end) noexcept {
    tokens_[count_++] = lexeme(kind, start, end);
  }

  // What starts with a byte beyond ASCII, a backslash that starts no command, a comment, or a
  // character that starts no token.
  [[nodiscard]] Result<std::size_t> read_other(std::size_t at, unsigned char c, Start start) {
    if (c >= 0x80) return read_character(at);
    switch (start) {
      case Start::Backslash:
        return read_escape(at);
      case Start::Comment:
        return skip_comment(at);
      case Start::Control:
        return fail(message::control_character(c, input_, at));
      case Start::OneByte:  // read by run()
      case Start::Space:
      case Start::Digit:
      case Start::Invalid:
        break;
    }
    return fail(message::invalid_token(at));
  }

  // The character at `at`, or the error of a malformed one or of a control character the rules
  // refuse.
  [[nodiscard]] Result<Decoded> character(std::size_t at) const {
    const Decoded d = decode_utf8(input_, at);
    if (d.length == 0) return fail(rules_.malformed(input_, at));
    if (rules_.refuses_controls && is_control(d.ch) && !is_white_space(d.ch))
      return fail(message::control_character(d.ch, input_, at));
    return d;
  }

  // A character beyond ASCII: an identifier, white space, or a mark joined to the one before.
  [[nodiscard]] Result<std::size_t> read_character(std::size_t at) {
    const auto d = character(at);
    if (!d) return std::unexpected(std::move(d.error()));
    const std::size_t end = at + d->length;
    if (rules_.joins_marks && count_ > 0 && tokens_[count_ - 1].end == at &&
        tokens_[count_ - 1].kind == TokenKind::Ident && display_width(d->ch) == 0) {
      tokens_[count_ - 1].end = static_cast<std::uint32_t>(end);
    } else if (!is_white_space(d->ch)) {
      emit(TokenKind::Ident, at, end);
    }
    return end;
  }

  // A command: a backslash and ASCII letters, or the token it is an alias of.
  [[nodiscard]] Lexeme read_command(std::size_t at) noexcept {
    std::size_t end = at + 2;
    while (end < input_.size() && name_letter(byte(end))) ++end;
    const std::string_view name = input_.substr(at + 1, end - at - 1);
    TokenKind kind = TokenKind::Command;
    for (const TokenAlias& alias : rules_.aliases)
      if (alias.name == name) kind = alias.kind;
    if (noted_ != nullptr && ((rules_.noted_hashes >> noted_hash(name)) & 1) != 0 &&
        rules_.noted(name))
      ++*noted_;
    return lexeme(kind, at, end);
  }

  [[nodiscard]] bool verbatim(const Lexeme& command) const noexcept {
    if (rules_.verbatim.empty() || command.kind != TokenKind::Command) return false;
    const std::string_view name(input_.data() + command.start + 1, command.end - command.start - 1);
    return std::ranges::find(rules_.verbatim, name) != rules_.verbatim.end();
  }

  // The raw argument of a verbatim command, from `at`: a star when there is one, its delimiter
  // (any character but a line end, a blank too), any characters but line ends, and the delimiter
  // again.
  [[nodiscard, gnu::noinline, gnu::cold]] Result<std::size_t> read_raw(std::size_t at) {
    const Lexeme& command = tokens_[count_ - 1];
    const std::size_t from = at;
    if (at + 1 < input_.size() && byte(at) == '*') ++at;
    if (at == input_.size() || byte(at) == '\n' || byte(at) == '\r')
      return fail(message::missing_argument(command.source(input_), input_, command.start));
    const auto delimiter = character(at);
    if (!delimiter) return std::unexpected(std::move(delimiter.error()));
    for (std::size_t end = at + delimiter->length; end < input_.size();) {
      const auto d = character(end);
      if (!d) return std::unexpected(std::move(d.error()));
      if (d->ch == U'\n' || d->ch == U'\r') break;
      end += d->length;
      if (d->ch == delimiter->ch) {
        emit(TokenKind::Ident, from, end);
        return end;
      }
    }
    const std::string_view written = input_.substr(at, delimiter->length);
    return fail(message::missing_close(written, written, input_, at));
  }

  // An escape, a backslash and any other character; a backslash at the end starts no token.
  [[nodiscard]] Result<std::size_t> read_escape(std::size_t at) {
    if (at + 1 == input_.size()) return fail(message::invalid_token(at));
    const auto d = character(at + 1);
    if (!d) return std::unexpected(std::move(d.error()));
    emit(TokenKind::Escape, at, at + 1 + d->length);
    return at + 1 + d->length;
  }

  // A comment is skipped to the end of its line, but it is still read as UTF-8.
  [[nodiscard]] Result<std::size_t> skip_comment(std::size_t at) const {
    while (at < input_.size() && byte(at) != '\n' && byte(at) != '\r') {
      if (byte(at) < 0x80) {
        ++at;
        continue;
      }
      const Decoded d = decode_utf8(input_, at);
      if (d.length == 0) return fail(rules_.malformed(input_, at));
      at += d.length;
    }
    return at;
  }

  std::string_view input_;
  const LexerRules& rules_;
  Lexeme* tokens_;
  std::size_t* noted_;  // the count of noted commands, or null
  std::size_t count_ = 0;
};

}  // namespace

Result<std::span<const Lexeme>> tokenize(std::string_view input, const LexerRules& rules,
                                         std::size_t* noted) {
  if (input.size() > std::numeric_limits<std::uint32_t>::max())
    return fail(std::string(message::kTooLarge));
  // Every token takes at least one byte, so the input's length bounds the list; pages of the
  // reservation that no token reaches are never touched.
  Lexeme* tokens = current_arena().allocate_array<Lexeme>(input.size());
  if (noted != nullptr) *noted = 0;
  return Lexer(input, rules, tokens, noted).run();
}

}  // namespace vok
