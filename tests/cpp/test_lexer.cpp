// The lexer's token stream with byte ranges, its errors, and the text forms of tokens.
#include <string>
#include <vector>

#include "check.hpp"
#include "dialect.hpp"
#include "token.hpp"

namespace vok::test {
namespace {

// "Kind(payload)[start,end)" for each token, separated by spaces; or "error: <message>".
std::string dump(std::string_view input) {
  auto tokens = tokenize(input, *dialect_rules(Dialect::Exact).lexer);
  if (!tokens) return "error: " + tokens.error().message;
  std::string out;
  for (const Lexeme& lexeme : *tokens) {
    if (!out.empty()) out += ' ';
    out += text_form(lexeme.token(input)) + "[" + std::to_string(lexeme.start) + "," +
           std::to_string(lexeme.end) + ")";
  }
  return out;
}

struct Case {
  std::string_view input;
  std::string_view tokens;
};

const Case kStreams[] = {
    // Nothing to read.
    {"", ""},
    {" \t\n\r\v\f", ""},
    {"\u00a0\u3000\u2003\u0085\u1680\u2028\u2029\u202f\u205f", ""},
    // Single punctuation, every one of the 23, in kind order.
    {"{}[]^_'|!+-=*,().:;<>/&",
     "LBrace[0,1) RBrace[1,2) LBracket[2,3) RBracket[3,4) Caret[4,5) Underscore[5,6) Prime[6,7) "
     "Pipe[7,8) Bang[8,9) Plus[9,10) Minus[10,11) Equals[11,12) Star[12,13) Comma[13,14) "
     "LParen[14,15) RParen[15,16) Dot[16,17) Colon[17,18) Semicolon[18,19) Less[19,20) "
     "Greater[20,21) Slash[21,22) Ampersand[22,23)"},
    // Scripts and numbers.
    {"x_1^2", "Ident(\"x\")[0,1) Underscore[1,2) Number(\"1\")[2,3) Caret[3,4) Number(\"2\")[4,5)"},
    {"3.14", "Number(\"3\")[0,1) Dot[1,2) Number(\"14\")[2,4)"},
    {"x2", "Ident(\"x\")[0,1) Number(\"2\")[1,2)"},
    {"abc", "Ident(\"a\")[0,1) Ident(\"b\")[1,2) Ident(\"c\")[2,3)"},
    {"007", "Number(\"007\")[0,3)"},
    // Commands take the longest run of ASCII letters; the range covers the backslash.
    {"\\frac12", "Command(\"frac\")[0,5) Number(\"12\")[5,7)"},
    {"\\alpha", "Command(\"alpha\")[0,6)"},
    {"\\alpha2", "Command(\"alpha\")[0,6) Number(\"2\")[6,7)"},
    {"\\sin x", "Command(\"sin\")[0,4) Ident(\"x\")[5,6)"},
    {"\\a\\b", "Command(\"a\")[0,2) Command(\"b\")[2,4)"},
    {"\\αx", "Escape(\"α\")[0,3) Ident(\"x\")[3,4)"},
    // Escapes take exactly one character of any kind.
    {"\\\\", "Escape(\"\\\\\")[0,2)"},
    {"\\\\\\\\", "Escape(\"\\\\\")[0,2) Escape(\"\\\\\")[2,4)"},
    {"\\{\\}", "Escape(\"{\")[0,2) Escape(\"}\")[2,4)"},
    {"\\,\\:\\;\\!", "Escape(\",\")[0,2) Escape(\":\")[2,4) Escape(\";\")[4,6) Escape(\"!\")[6,8)"},
    {"\\ x", "Escape(\" \")[0,2) Ident(\"x\")[2,3)"},
    {"\\12", "Escape(\"1\")[0,2) Number(\"2\")[2,3)"},
    {"\\?", "Escape(\"?\")[0,2)"},
    {"\\$\\#\\%\\~", "Escape(\"$\")[0,2) Escape(\"#\")[2,4) Escape(\"%\")[4,6) Escape(\"~\")[6,8)"},
    {"\\\t", "Escape(\"\\t\")[0,2)"},
    {"\\\n", "Escape(\"\\n\")[0,2)"},
    {"\\é", "Escape(\"é\")[0,3)"},
    {"\\😀", "Escape(\"😀\")[0,5)"},
    {"\\\u00a0", "Escape(\"\\u{a0}\")[0,3)"},
    // Identifiers: one character, any script, controls included; white space separates.
    {"α", "Ident(\"α\")[0,2)"},
    {"é", "Ident(\"é\")[0,2)"},
    {"e\u0301", "Ident(\"e\")[0,1) Ident(\"\\u{301}\")[1,3)"},
    {"×·", "Ident(\"×\")[0,2) Ident(\"·\")[2,4)"},
    {"中😀", "Ident(\"中\")[0,3) Ident(\"😀\")[3,7)"},
    {"a\u00a0b\u3000c", "Ident(\"a\")[0,1) Ident(\"b\")[3,4) Ident(\"c\")[7,8)"},
    {std::string_view("\x01\x7f\0", 3),
     "Ident(\"\\u{1}\")[0,1) Ident(\"\\u{7f}\")[1,2) Ident(\"\\0\")[2,3)"},
    {"\x1f", "Ident(\"\\u{1f}\")[0,1)"},
    {"a b", "Ident(\"a\")[0,1) Ident(\"b\")[2,3)"},
};

struct ErrorCase {
  std::string_view input;
  std::size_t byte;
};

const ErrorCase kInvalid[] = {
    // The eight ASCII characters without a token.
    {"\"", 0},
    {"#", 0},
    {"$x$", 0},
    {"%", 0},
    {"a ? b", 2},
    {"@", 0},
    {"`", 0},
    {"a~b", 1},
    // A final lone backslash.
    {"\\", 0},
    {"x\\", 1},
    {"\\\\\\", 2},
    {"\\alpha\\", 6},
    // Offsets count bytes, not characters.
    {"αβ?", 4},
    {"中$", 3},
    {"😀 %", 5},
    // The first error wins, even after valid tokens.
    {"\\frac{a}{b} ? $", 12},
    // Malformed UTF-8: a stray continuation byte, a truncated sequence, an overlong form, an
    // encoded surrogate, a value past U+10FFFF.
    {"a\x80", 1},
    {"ab\xe2\x82", 2},
    {"\xc0\xaf", 0},
    {"\xed\xa0\x80", 0},
    {"\xf4\x90\x80\x80", 0},
    {"\\\xff", 1},
};

void text_forms(Suite& s) {
  s.eq(text_form(Token{TokenKind::RBrace, ""}), "RBrace");
  s.eq(text_form(Token{TokenKind::Command, "end"}), "Command(\"end\")");
  s.eq(text_form(Token{TokenKind::Number, "12"}), "Number(\"12\")");
  s.eq(optional_text_form(nullptr), "None");
  const Token rbrace{TokenKind::RBrace, ""};
  s.eq(optional_text_form(&rbrace), "Some(RBrace)");
  const Token end{TokenKind::Command, "end"};
  s.eq(optional_text_form(&end), "Some(Command(\"end\"))");

  // Payload escaping, character by character.
  const std::pair<std::string_view, std::string_view> escapes[] = {
      {"\"", "\\\""},
      {"\\", "\\\\"},
      {"\t", "\\t"},
      {"\r", "\\r"},
      {"\n", "\\n"},
      {std::string_view("\0", 1), "\\0"},
      {"'", "'"},
      {" ", " "},
      {"x", "x"},
      {"é", "é"},
      {"😀", "😀"},
      {"\x01", "\\u{1}"},
      {"\x1b", "\\u{1b}"},
      {"\x7f", "\\u{7f}"},
      {"\u0085", "\\u{85}"},
      {"\u00a0", "\\u{a0}"},
      {"\u00ad", "\\u{ad}"},
      {"\u0301", "\\u{301}"},
      {"\u0378", "\\u{378}"},
      {"\u200b", "\\u{200b}"},
      {"\u200d", "\\u{200d}"},
      {"\u2028", "\\u{2028}"},
      {"\u2029", "\\u{2029}"},
      {"\u3000", "\\u{3000}"},
      {"\ue000", "\\u{e000}"},
      {"\ufe0f", "\\u{fe0f}"},
      {"\U000e0001", "\\u{e0001}"},
      {"\U0010ffff", "\\u{10ffff}"},
      {"\u20dd", "\\u{20dd}"},
      {"\u0903", "\u0903"},
      {"\u00b7", "\u00b7"},
      {"\u2500", "\u2500"},
  };
  for (auto [payload, quoted] : escapes) {
    s.eq(text_form(Token{TokenKind::Ident, payload}), "Ident(\"" + std::string(quoted) + "\")",
         payload);
  }
  s.eq(text_form(Token{TokenKind::Escape, "\\"}), "Escape(\"\\\\\")");
}

void equality(Suite& s) {
  s.ok(Token{TokenKind::Ident, "x"} == Token{TokenKind::Ident, "x"}, "same payload");
  s.ok(!(Token{TokenKind::Ident, "x"} == Token{TokenKind::Ident, "y"}), "other payload");
  s.ok(!(Token{TokenKind::Ident, "x"} == Token{TokenKind::Escape, "x"}), "other kind");
  s.ok(Token{TokenKind::RBrace, "}"} == Token{TokenKind::RBrace, ""}, "no payload compared");
}

}  // namespace

void lexer_tests(Suite& s) {
  for (const Case& c : kStreams) s.eq(dump(c.input), c.tokens, c.input);
  for (const ErrorCase& c : kInvalid)
    s.eq(dump(c.input), "error: Invalid token at byte " + std::to_string(c.byte), c.input);

  // Payloads are views into the input, not copies.
  const std::string input = "\\frac x";
  const auto tokens = tokenize(input, *dialect_rules(Dialect::Exact).lexer);
  s.ok(tokens && (*tokens)[0].token(input).text.data() == input.data() + 1,
       "command payload is a view");
  s.eq(sizeof(Lexeme), std::size_t{12}, "a token is twelve bytes");

  // A long input lexes in one pass.
  const std::string many(100000, 'a');
  const auto long_tokens = tokenize(many, *dialect_rules(Dialect::Exact).lexer);
  s.ok(long_tokens && long_tokens->size() == many.size(), "one token per identifier");

  text_forms(s);
  equality(s);
}

}  // namespace vok::test
