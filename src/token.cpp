// The lexer and the text forms of tokens.
#include "token.hpp"

#include <array>
#include <limits>

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

constexpr std::array<AsciiClass, 128> make_ascii_table() {
  std::array<AsciiClass, 128> table{};
  for (auto& entry : table) entry = {Start::OneByte, TokenKind::Ident};  // letters and controls
  constexpr std::string_view singles = "{}[]^_'|!+-=*,().:;<>/&";
  for (std::size_t i = 0; i < singles.size(); ++i)
    table[static_cast<unsigned char>(singles[i])] = {Start::OneByte, static_cast<TokenKind>(i)};
  for (char c : std::string_view("\"#$%?@`~")) table[c] = {Start::Invalid, TokenKind::Ident};
  for (char c = '0'; c <= '9'; ++c) table[c] = {Start::Digit, TokenKind::Number};
  for (char c : std::string_view(" \t\n\v\f\r")) table[c] = {Start::Space, TokenKind::Whitespace};
  table['\\'] = {Start::Backslash, TokenKind::Escape};
  return table;
}

constexpr std::array<AsciiClass, 128> kAscii = make_ascii_table();

// The LaTeX dialect's reading of the same bytes.
constexpr std::array<AsciiClass, 128> make_latex_table() {
  std::array<AsciiClass, 128> table = make_ascii_table();
  for (char c : std::string_view("\"#?@`")) table[c] = {Start::OneByte, TokenKind::Ident};
  table['~'] = {Start::OneByte, TokenKind::Tilde};
  table['$'] = {Start::OneByte, TokenKind::Dollar};
  table['%'] = {Start::Comment, TokenKind::Whitespace};
  for (char c = '0'; c <= '9'; ++c) table[c] = {Start::OneByte, TokenKind::Number};
  for (unsigned char c = 0; c < 0x20; ++c)
    if (table[c].start != Start::Space) table[c] = {Start::Control, TokenKind::Whitespace};
  table[0x7F] = {Start::Control, TokenKind::Whitespace};
  return table;
}

constexpr std::array<AsciiClass, 128> kLatex = make_latex_table();

// The C0 and C1 control characters and DEL.
constexpr bool is_control(char32_t ch) noexcept { return ch < 0x20 || (ch >= 0x7F && ch < 0xA0); }

constexpr bool is_ascii_letter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
constexpr bool is_ascii_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// clang-format off
constexpr std::array<std::string_view, 30> kKindNames = {
    "LBrace", "RBrace",  "LBracket", "RBracket", "Caret",     "Underscore", "Prime",
    "Pipe",   "Bang",    "Plus",     "Minus",    "Equals",    "Star",       "Comma",
    "LParen", "RParen",  "Dot",      "Colon",    "Semicolon", "Less",       "Greater",
    "Slash",  "Ampersand", "Command", "Escape",  "Number",    "Ident",      "Whitespace",
    "Tilde",  "Dollar",
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

Result<std::span<const Lexeme>> tokenize(std::string_view input, Dialect dialect) {
  if (input.size() > std::numeric_limits<std::uint32_t>::max())
    return fail(std::string(message::kTooLarge));
  const bool latex = dialect == Dialect::Latex;
  const std::array<AsciiClass, 128>& classes = latex ? kLatex : kAscii;
  const std::size_t n = input.size();
  // Every token takes at least one byte, so the input's length bounds the list; pages of the
  // reservation that no token reaches are never touched.
  Lexeme* tokens = current_arena().allocate_array<Lexeme>(n);
  std::size_t count = 0;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(input[i]); };
  const auto emit = [&](TokenKind kind, std::size_t start, std::size_t end) {
    tokens[count++] =
        Lexeme{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end), kind};
  };
  // A character that cannot be read: the exact markup says only where.
  const auto invalid = [&](std::size_t at, std::string latex_message) {
    return fail(latex ? std::move(latex_message) : message::invalid_token(at));
  };

  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = byte(i);
    if (c >= 0x80) {
      const Decoded d = decode_utf8(input, i);
      if (d.length == 0) return invalid(i, message::invalid_utf8(input, i));
      if (latex && is_control(d.ch) && !is_white_space(d.ch))
        return fail(message::control_character(d.ch, input, i));
      // A combining mark right after a character is part of it (e and U+0301 are é).
      if (latex && count > 0 && tokens[count - 1].end == i &&
          tokens[count - 1].kind == TokenKind::Ident && display_width(d.ch) == 0) {
        tokens[count - 1].end = static_cast<std::uint32_t>(i + d.length);
        i += d.length;
        continue;
      }
      if (!is_white_space(d.ch)) emit(TokenKind::Ident, i, i + d.length);
      i += d.length;
      continue;
    }
    const AsciiClass cls = classes[c];
    if (cls.start == Start::OneByte) {
      emit(cls.kind, i, i + 1);
      ++i;
      continue;
    }
    switch (cls.start) {
      case Start::OneByte:  // handled above
      case Start::Space:
        ++i;
        break;
      case Start::Digit: {
        std::size_t end = i + 1;
        while (end < n && is_ascii_digit(byte(end))) ++end;
        emit(TokenKind::Number, i, end);
        i = end;
        break;
      }
      case Start::Backslash: {
        if (i + 1 == n) {
          // TeX reads a backslash at the end of a line as a control space: a blank at the end of
          // the formula, which draws nothing.
          if (latex) return std::span<const Lexeme>(tokens, count);
          return fail(message::invalid_token(i));
        }
        if (is_ascii_letter(byte(i + 1))) {
          std::size_t end = i + 2;
          while (end < n && is_ascii_letter(byte(end))) ++end;
          // Plain TeX's \sp and \sb are ^ and _ in the LaTeX dialect.
          const std::string_view name = input.substr(i + 1, end - i - 1);
          emit(!latex         ? TokenKind::Command
               : name == "sp" ? TokenKind::Caret
               : name == "sb" ? TokenKind::Underscore
                              : TokenKind::Command,
               i, end);
          i = end;
        } else {
          const Decoded d = decode_utf8(input, i + 1);
          if (d.length == 0) return invalid(i + 1, message::invalid_utf8(input, i + 1));
          if (latex && is_control(d.ch) && !is_white_space(d.ch))
            return fail(message::control_character(d.ch, input, i + 1));
          emit(TokenKind::Escape, i, i + 1 + d.length);
          i += 1 + d.length;
        }
        break;
      }
      case Start::Comment:
        // A comment is skipped to the end of its line, but it is still read as UTF-8.
        while (i < n && byte(i) != '\n' && byte(i) != '\r') {
          if (byte(i) < 0x80) {
            ++i;
            continue;
          }
          const Decoded d = decode_utf8(input, i);
          if (d.length == 0) return invalid(i, message::invalid_utf8(input, i));
          i += d.length;
        }
        break;
      case Start::Control:
        return fail(message::control_character(c, input, i));
      case Start::Invalid:
        return fail(message::invalid_token(i));
    }
  }
  return std::span<const Lexeme>(tokens, count);
}

}  // namespace vok
