// Tests of the checks themselves: each property check is shown a result that breaks it, and must
// say so, and a result that keeps it, and must not. A check that passes everything would let the
// fuzzer run green over a broken core, so this runs before any fuzzing.
#include "check.hpp"

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace {

using vok::fuzz::check_call;
using vok::fuzz::check_options;
using vok::fuzz::error_failure;
using vok::fuzz::is_utf8;
using vok::fuzz::picture_failure;

int passed = 0;
int failed = 0;

// Records one expectation: `failure` is non-empty exactly when `broken`.
void expect(bool broken, const std::string& failure, std::string_view what) {
  if (broken != failure.empty()) {
    ++passed;
    return;
  }
  ++failed;
  std::fprintf(stderr, "FAIL %.*s: %s\n", static_cast<int>(what.size()), what.data(),
               broken ? "the check let it pass" : ("the check refused it: " + failure).c_str());
}

void expect_utf8(bool valid, std::string_view bytes) {
  expect(!valid, is_utf8(bytes) ? "" : "not UTF-8", "is_utf8 \"" + vok::fuzz::escaped(bytes) + '"');
}

void utf8_tests() {
  expect_utf8(true, "");
  expect_utf8(true, "ascii");
  expect_utf8(true, "\xc3\xa9\xe2\x94\x80\xf0\x9d\x94\xb8");  // é ─ 𝔸
  expect_utf8(true, "\xf4\x8f\xbf\xbf");                      // U+10FFFF
  expect_utf8(false, "\x80");                                 // a lone continuation byte
  expect_utf8(false, "\xc0\xaf");                             // overlong /
  expect_utf8(false, "\xe0\x80\xaf");                         // overlong /
  expect_utf8(false, "\xed\xa0\x80");                         // a surrogate
  expect_utf8(false, "\xf4\x90\x80\x80");                     // above U+10FFFF
  expect_utf8(false, "\xe2\x94");                             // truncated
  expect_utf8(false, "\xe2\x28\xa1");                         // a bad continuation
  expect_utf8(false, "\xff");
}

void picture_tests() {
  expect(false, picture_failure(""), "the empty picture");
  expect(false, picture_failure("x\n"), "one cell");
  expect(false, picture_failure("a \n\xe2\x94\x80\xe2\x94\x80\nb \n"),
         "rows counted in characters");
  expect(false, picture_failure("\n\n"), "rows of width 0");
  expect(true, picture_failure("x"), "no final line feed");
  expect(true, picture_failure("ab\nc\n"), "a short row");
  expect(true, picture_failure("a\nbc\n"), "a long row");
  expect(true, picture_failure("\xe2\x94\x80\xe2\x94\x80\nabcdef\n"),
         "a ragged row of the same bytes");
  expect(true, picture_failure("x\xff\n"), "invalid UTF-8");
  // In the LaTeX dialect rows are measured in display columns.
  expect(false, picture_failure("\xe4\xb8\xad\nab\n", vok::Dialect::Latex), "a wide character");
  expect(false, picture_failure("e\xcc\x81\nb\n", vok::Dialect::Latex), "a combining mark");
  expect(true, picture_failure("\xe4\xb8\xad\nab\n"), "a wide character, counted as one");
  expect(true, picture_failure("x\r\n"), "a carriage return");
  const std::size_t limit = vok::fuzz::kMaxCells;
  expect(false, picture_failure(std::string(limit, '\n')), "width 0 at the cell limit");
  expect(true, picture_failure(std::string(limit + 1, '\n')), "width 0 over the cell limit");
}

void error_tests() {
  expect(false, error_failure("Unexpected token at position 2: None"), "a message");
  expect(true, error_failure(""), "an empty message");
  expect(true, error_failure("near '\xe2\x94'"), "a message cut inside a character");
  expect(true, error_failure("internal parser error: missing \\right command"), "a guard message");
}

// Stand-ins for vok::render, each breaking one property of a call.
std::expected<std::string, vok::ParseError> good(std::string_view input, vok::Options) {
  if (input == "?") return std::unexpected(vok::ParseError{"Invalid token at byte 0"});
  return std::string(input) + "\n";
}
std::expected<std::string, vok::ParseError> throws_bad_alloc(std::string_view, vok::Options) {
  throw std::bad_alloc();
}
std::expected<std::string, vok::ParseError> throws_other(std::string_view, vok::Options) {
  throw std::logic_error("broken");
}
// These two count only the calls on "x", the input they are tested with.
std::expected<std::string, vok::ParseError> changes(std::string_view input, vok::Options) {
  static int calls = 0;
  calls += input == "x";
  return calls % 2 == 0 ? "a\n" : "b\n";
}
std::expected<std::string, vok::ParseError> flips(std::string_view input, vok::Options) {
  static int calls = 0;
  calls += input == "x";
  if (calls % 2 == 0) return std::unexpected(vok::ParseError{"no"});
  return "a\n";
}
std::expected<std::string, vok::ParseError> remembers(std::string_view input, vok::Options) {
  static std::size_t previous = 0;
  const std::size_t seen = std::exchange(previous, input.size());
  return std::to_string(seen) + "\n";
}
std::expected<std::string, vok::ParseError> counts(std::string_view input, vok::Options) {
  return std::to_string(input.size()) + "\n";
}
std::expected<std::string, vok::ParseError> spaced_error(std::string_view input, vok::Options) {
  if (input.find("  ") == std::string_view::npos) return std::unexpected(vok::ParseError{"no"});
  return "x\n";
}
std::expected<std::string, vok::ParseError> takes_bytes(std::string_view, vok::Options) {
  return "?\n";
}
// Draws the dialect it is asked for; an error in the LaTeX dialect on its second call.
std::expected<std::string, vok::ParseError> names_dialect(std::string_view, vok::Options options) {
  static int latex_calls = 0;
  if (options.dialect != vok::Dialect::Latex) return "exact\n";
  if (++latex_calls % 2 == 0) return std::unexpected(vok::ParseError{"no"});
  return "latex\n";
}

// Draws the width it is given, one row of digits, in either dialect.
std::expected<std::string, vok::ParseError> draws_width(std::string_view, vok::Options options) {
  return std::to_string(options.width) + "\n";
}

// A one-row form that is two rows, or another row than a picture of one row, or an error.
std::expected<std::string, vok::ParseError> two_rows(std::string_view, vok::Options options) {
  return options.linear ? "a\nb\n" : "ab\n";
}
std::expected<std::string, vok::ParseError> other_row(std::string_view, vok::Options options) {
  return options.linear ? "ba\n" : "ab\n";
}
std::expected<std::string, vok::ParseError> fails_in_one_row(std::string_view,
                                                             vok::Options options) {
  if (options.linear) return std::unexpected(vok::ParseError{"no"});
  return "a\nb\n";
}

void call_tests() {
  expect(false, check_call(good, "ab", {}).failure, "a picture");
  expect(false, check_call(good, "?", {}).failure, "an error");
  expect(true, check_call(throws_bad_alloc, "x", {}).failure, "std::bad_alloc");
  expect(true, check_call(throws_other, "x", {}).failure, "another exception");
  expect(true, check_call(changes, "x", {}).failure, "a second picture that differs");
  expect(true, check_call(flips, "x", {}).failure, "a picture, then an error");
  expect(true, check_call(remembers, "x", {}).failure, "a picture that depends on the call before");
  expect(true, check_call(takes_bytes, "\xff", {}).failure, "a picture of invalid UTF-8");
  expect(true, check_call(good, "a\nbc", {}).failure, "a ragged picture from the renderer");
  expect(true, check_call(counts, "a b", {}).failure, "a picture that depends on the white space");
  expect(true, check_call(counts, "\\\\ a", {}).failure, "a space after an escaped backslash");
  expect(false, check_call(counts, "\\ a", {}).failure, "an escaped space is not widened");
  expect(false, check_call(counts, "\\\n", {}).failure, "an escaped line feed is not widened");
  expect(true, check_call(spaced_error, "a b", {}).failure,
         "an error only without wider white space");

  // Every call of a check gets the dialect.
  expect(false, check_call(names_dialect, "x", {}).failure, "the exact dialect every time");
  expect(true, check_call(names_dialect, "x", {.dialect = vok::Dialect::Latex}).failure,
         "the LaTeX dialect every time");

  // The options an input chooses: "x" chooses a width, and only the exact markup must ignore it.
  const vok::Options chosen = vok::fuzz::chosen_options("x", vok::Dialect::Exact);
  expect(false, chosen.width == 0 ? "no width" : "", "\"x\" chooses a width");
  expect(true, check_options(draws_width, "x", vok::Dialect::Exact).failure,
         "an exact picture that changes with the width");
  expect(false, check_options(draws_width, "x", vok::Dialect::Latex).failure,
         "a LaTeX picture that changes with the width");

  // The one-row form: one row, the picture itself when that is one row, the same errors.
  expect(true, check_options(two_rows, "x", vok::Dialect::Latex).failure, "two rows in one row");
  expect(chosen.ascii == false, check_options(other_row, "x", vok::Dialect::Latex).failure,
         "a picture of one row written otherwise");
  expect(true, check_options(fails_in_one_row, "x", vok::Dialect::Latex).failure,
         "an error in one row only");
}

// check_render on the real vok::render: the dialect reaches it, and what each reads differently.
struct RealCase {
  std::string_view input;
  vok::Dialect dialect;
  bool picture;
  std::string_view text;  // the picture or the message
};

void render_tests() {
  constexpr vok::Dialect exact = vok::Dialect::Exact, latex = vok::Dialect::Latex;
  constexpr RealCase kCases[] = {
      {"\\frac{a}{b}", exact, true, "a\n\xe2\x94\x80\nb\n"},
      {"\\frac12", latex, true, "1\n\xe2\x94\x80\n2\n"},
      {"\\frac12", exact, false, "Unexpected token at position 2: None"},
      {"a~b", exact, false, "Invalid token at byte 1"},
      {"a~b", latex, true, "a b\n"},
      // Where the LaTeX parser reads the gaps, the widened input must still draw the same: runs
      // of white space in text, names, dimensions, digits apart, $$, a comment ending in '\'.
      {"\\text{a  b \t c}", latex, true, "a b c\n"},
      {"\\hspace{1 em}x % a  comment\n y", latex, true, "  xy\n"},
      {"\\begin{ pmatrix } a \\end{pmatrix}", latex, true, "(a)\n"},
      {"\\kern 4 em x", latex, true, "        x\n"},
      {"1 2^3", latex, true, "12\xc2\xb3\n"},
      {"$$ x $$", latex, true, "x\n"},
      {"a %\\\nb", latex, true, "ab\n"},
      {"\\verb| a  b| + \\verb* x x", latex, true, " a  b + xx\n"},  // raw, blanks as written
      {"x\x01", latex, false, "control character U+0001 at byte 1, column 2"},
  };
  for (const RealCase& c : kCases) {
    const vok::fuzz::Outcome outcome = vok::fuzz::check_render(c.input, c.dialect);
    const std::string what =
        std::string(vok::fuzz::dialect_name(c.dialect)) + " \"" + vok::fuzz::escaped(c.input) + '"';
    expect(false, outcome.failure, "check_render " + what);
    const bool same = outcome.picture == c.picture && outcome.text == c.text;
    expect(false, same ? "" : "a different result: " + outcome.text, "the result of " + what);
  }
}

}  // namespace

int main() {
  utf8_tests();
  picture_tests();
  error_tests();
  call_tests();
  render_tests();
  std::printf("check_test: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
