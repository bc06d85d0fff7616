// The end-of-input error and its five-byte tail.
#include "check.hpp"
#include "error.hpp"

namespace vok::test {

void error_tests(Suite& s) {
  const auto tail = [](std::string_view input) { return at_eof("expected RBrace", input).message; };
  s.eq(tail(""), "expected RBrace");
  s.eq(tail("{"), "expected RBrace but reached end of input near '{'");
  s.eq(tail("x^{ab"), "expected RBrace but reached end of input near 'x^{ab'");
  s.eq(tail("x^{abc"), "expected RBrace but reached end of input near '^{abc'");
  s.eq(tail("\\frac{a"), "expected RBrace but reached end of input near 'rac{a'");
  // The cut would fall inside a character: the tail starts at the next character boundary.
  s.eq(tail("{αβγ"), "expected RBrace but reached end of input near 'βγ'");    // 7 bytes, cut at 2
  s.eq(tail("ab{αβ"), "expected RBrace but reached end of input near '{αβ'");  // cut on '{'
  s.eq(tail("a{😀"), "expected RBrace but reached end of input near '{😀'");   // 6 bytes, cut at 1
  s.eq(tail("abcd😀xy"), "expected RBrace but reached end of input near 'xy'");  // cut inside 😀
  s.eq(tail("xx😀😀"), "expected RBrace but reached end of input near '😀'");
  s.eq(tail("中中中"), "expected RBrace but reached end of input near '中'");  // 9 bytes, cut at 4
  s.eq(tail("a😀"), "expected RBrace but reached end of input near 'a😀'");    // exactly 5 bytes

  // Wording built in one place.
  s.eq(message::invalid_token(12), "Invalid token at byte 12");
  s.eq(message::unexpected_token(2, "None"), "Unexpected token at position 2: None");
  s.eq(message::expected_got("RBrace", "RBracket", "]", 2),
       "expected RBrace, got RBracket near ']' at byte 2");
  s.eq(message::mismatched_delimiters("(", "]"), "mismatched delimiters: \\left( and \\right]");
  s.eq(message::unclosed_begin("matrix"), "unclosed \\begin{matrix}");
  s.eq(message::mismatched_environments("matrix", "pmatrix"),
       "mismatched \\begin{matrix} and \\end{pmatrix}");
  s.eq(message::unknown_environment(""), "unknown matrix environment: ");
}

}  // namespace vok::test
