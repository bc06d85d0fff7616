// The checks of one vok::render call. UTF-8 is validated here by its own small decoder rather than
// the core's, so the two can disagree and the disagreement shows.
#include "check.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

namespace vok::fuzz {
namespace {

// Prefix of the messages that stand only as guards for states the parser's own scans rule out;
// seeing one means a scan and its caller disagree.
constexpr std::string_view kGuardPrefix = "internal parser error:";

// Number of Unicode scalar values in `text`, which is valid UTF-8.
std::size_t scalar_count(std::string_view text) noexcept {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// The core's generated tables of wide and zero-width characters, searched here on their own.
struct CodeRange {
  char32_t first;
  char32_t last;
};
#include "../src/unicode_tables.inc"

template <std::size_t N>
bool within(const CodeRange (&ranges)[N], char32_t ch) noexcept {
  for (std::size_t low = 0, high = N; low < high;) {
    const std::size_t middle = (low + high) / 2;
    if (ch < ranges[middle].first) {
      high = middle;
    } else if (ch > ranges[middle].last) {
      low = middle + 1;
    } else {
      return true;
    }
  }
  return false;
}

// Display columns of `text`, which is valid UTF-8.
std::size_t column_count(std::string_view text) noexcept {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t ch = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) ch = ch << 6 | (text[i + k] & 0x3F);
    i += length;
    count += ch < 0x300 ? 1 : within(kZeroWidthRanges, ch) ? 0 : within(kWideRanges, ch) ? 2 : 1;
  }
  return count;
}

}  // namespace

std::string picture_failure(std::string_view text, Dialect dialect) {
  if (!is_utf8(text)) return "the picture is not valid UTF-8";
  if (text.empty()) return "";
  if (text.back() != '\n') return "the picture does not end with a line feed";
  if (text.find('\r') != std::string_view::npos) return "the picture holds a carriage return";

  std::size_t rows = 0;
  std::size_t width = 0;
  for (std::size_t start = 0; start < text.size(); ++rows) {
    const std::size_t end = text.find('\n', start);  // found: the text ends with one
    const std::string_view row = text.substr(start, end - start);
    const std::size_t row_width = dialect == Dialect::Latex ? column_count(row) : scalar_count(row);
    if (rows == 0) {
      width = row_width;
    } else if (row_width != width) {
      return "row " + std::to_string(rows) + " is " + std::to_string(row_width) +
             " characters wide, row 0 is " + std::to_string(width);
    }
    start = end + 1;
  }
  const std::size_t columns = width == 0 ? 1 : width;
  if (rows > kMaxCells / columns) {
    return "the picture has " + std::to_string(rows) + " rows of " + std::to_string(width) +
           " characters, more than " + std::to_string(kMaxCells) + " cells";
  }
  return "";
}

namespace {

std::string document_failure(std::string_view input, Options options) {
  const Document first = render_markdown(input, options);
  const Document second = render_markdown(input, options);
  if (first.text != second.text) return "the document came out differently the second time";
  if (is_utf8(input) && !is_utf8(first.text)) return "a UTF-8 document came out as no UTF-8";
  const std::size_t lines = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n'));
  for (const DocumentProblem& problem : first.problems) {
    if (problem.line < 1 || problem.line > lines + 1)
      return "a problem names line " + std::to_string(problem.line) + " of a document of " +
             std::to_string(lines + 1);
    if (std::string failure = error_failure(problem.message); !failure.empty()) return failure;
  }
  const bool math = input.find_first_of("$\\") != std::string_view::npos ||
                    input.find("math") != std::string_view::npos ||
                    input.find("latex") != std::string_view::npos;
  if (!math && first.text != input) return "a document with no math in it was changed";
  return "";
}

}  // namespace

std::string markdown_failure(std::string_view input) {
  std::string failure = document_failure(input, {.dialect = Dialect::Latex});
  if (!failure.empty()) return failure;
  const Options chosen = chosen_options(input, Dialect::Latex);
  failure = document_failure(input, chosen);
  if (failure.empty()) return "";
  return "with width=" + std::to_string(chosen.width) + (chosen.ascii ? ", ascii: " : ": ") +
         failure;
}

std::string error_failure(std::string_view message) {
  if (message.empty()) return "the error message is empty";
  if (!is_utf8(message)) return "the error message is not valid UTF-8";
  if (message.starts_with(kGuardPrefix)) return "a guard message was reached: " + escaped(message);
  return "";
}

namespace {

// One call of the core, with any exception turned into a failure.
struct Call {
  std::expected<std::string, ParseError> result;
  std::string failure;
};

// Fills the stack that the next call will use with 0xFF bytes. The core keeps its first buffers
// on the stack uninitialised; a cell it reads before writing then holds 0xFFFFFFFF, which is no
// character, and the picture fails the UTF-8 check instead of showing whatever an earlier call
// left there. (Heap buffers get the same from AddressSanitizer's malloc_fill_byte.) How much of
// the core's frames this covers depends on the build's frame layout: a best effort, for a few
// microseconds a call.
[[gnu::noinline]] void scribble_stack() {
  unsigned char area[64 * 1024];
  std::memset(area, 0xFF, sizeof area);
  asm volatile("" : : "r"(area) : "memory");  // the stores must happen though nothing reads them
}

Call call_render(Renderer render, std::string_view input, Options options) {
  scribble_stack();
  try {
    return {render(input, options), ""};
  } catch (const std::bad_alloc&) {
    return {std::unexpected(ParseError{}), "render threw std::bad_alloc"};
  } catch (const std::exception& error) {
    return {std::unexpected(ParseError{}), std::string("render threw: ") + error.what()};
  } catch (...) {
    return {std::unexpected(ParseError{}),
            "render threw something not derived from std::exception"};
  }
}

// `input` with one more space after every run of ASCII white space that separates tokens (not a
// space that a backslash escapes). The lexer drops such white space, and the parser looks at the
// text again only to test whether tokens touch, which widening a gap cannot change; so the
// widened input must draw the same picture. `input` is valid UTF-8.
//
// The same holds in the LaTeX dialect, where the parser reads the gaps for more:
//   - whether tokens touch: the digits of one number, the two dollars of $$;
//   - whether words of a text argument stand apart: any run of white space before a comment is
//     one blank, however long;
//   - the name of an environment, where a run of white space is nothing at the ends and one
//     blank inside (\begin{ my  env }), and the text of a dimension (\hspace{1 em}, \kern 3 mu),
//     which skips a run whole wherever it skips it.
// None of these counts the spaces of a run, and a run only grows here, never appears or vanishes.
// The raw argument of the LaTeX dialect's \verb (and \verb*), which keeps its white space as
// written, is copied as it is: from the character after the name (or the star), which delimits it
// and may be a blank, to the next one like it or the end of the line.
// A comment (% to the end of the line) is dropped by the lexer, so what is widened inside it does
// not matter; a backslash in it may pair with the next character differently here than in the
// lexer, but then at most the line feed that ends the comment is left alone, and the two readings
// are in step again after it.
std::string widened(std::string_view input) {
  const auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  const auto is_letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  std::string out;
  out.reserve(input.size() + input.size() / 4);
  for (std::size_t i = 0; i < input.size();) {
    const char c = input[i];
    if (c == '\\' && i + 1 < input.size()) {
      // A command runs over letters; an escape takes one character, white space included.
      std::size_t end = i + 2;
      if (is_letter(input[i + 1])) {
        while (end < input.size() && is_letter(input[end])) ++end;
      } else {
        while (end < input.size() && (static_cast<unsigned char>(input[end]) & 0xC0) == 0x80) ++end;
      }
      if (input.substr(i, end - i) == "\\verb") {
        if (end + 1 < input.size() && input[end] == '*') ++end;
        if (end < input.size() && input[end] != '\n' && input[end] != '\r') {
          std::size_t length = 1;  // the delimiter's bytes, a whole UTF-8 character
          while (end + length < input.size() &&
                 (static_cast<unsigned char>(input[end + length]) & 0xC0) == 0x80)
            ++length;
          const std::string_view delimiter = input.substr(end, length);
          end += length;
          while (end < input.size() && input[end] != '\n' && input[end] != '\r' &&
                 input.substr(end, length) != delimiter)
            ++end;
          if (input.substr(end, length) == delimiter) end += length;
        }
      }
      out.append(input, i, end - i);
      i = end;
    } else if (is_space(c)) {
      std::size_t end = i;
      while (end < input.size() && is_space(input[end])) ++end;
      out.append(input, i, end - i);
      out += ' ';
      i = end;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace

bool is_utf8(std::string_view text) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = byte(i);
    std::size_t length;
    unsigned char low = 0x80;  // the range of the second byte, narrowed for E0, ED, F0 and F4
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong below U+10000
      if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    if (byte(i + 1) < low || byte(i + 1) > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

std::string escaped(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (b >= 0x20 && b < 0x7F) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      out += hex;
    }
  }
  return out;
}

std::string_view dialect_name(Dialect dialect) noexcept {
  return dialect == Dialect::Latex ? "latex" : "exact";
}

Outcome check_render(std::string_view input, Dialect dialect) {
  return check_options(vok::render, input, dialect);
}

Options chosen_options(std::string_view input, Dialect dialect) noexcept {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : input) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return {.dialect = dialect, .width = hash % 41, .ascii = (hash >> 16 & 1) != 0};
}

Outcome check_options(Renderer render, std::string_view input, Dialect dialect) {
  Outcome outcome = check_call(render, input, {.dialect = dialect});
  if (!outcome.failure.empty()) return outcome;
  const Options chosen = chosen_options(input, dialect);
  const Outcome with = check_call(render, input, chosen);
  const std::string options =
      "with width=" + std::to_string(chosen.width) + (chosen.ascii ? ", ascii: " : ": ");
  if (!with.failure.empty()) {
    outcome.failure = options + with.failure;
  } else if (dialect == Dialect::Exact &&
             (with.picture != outcome.picture || with.text != outcome.text)) {
    outcome.failure = options + "the exact markup's result changed";
  }
  if (!outcome.failure.empty()) return outcome;
  // The one-row form: the same errors, one row, and a picture of one row as it is.
  const Options one_row{.dialect = dialect, .ascii = chosen.ascii, .linear = true};
  const Outcome line = check_call(render, input, one_row);
  const std::string linear = chosen.ascii ? "in one row, ascii: " : "in one row: ";
  const auto rows = [](const std::string& text) { return std::ranges::count(text, '\n'); };
  if (!line.failure.empty()) {
    outcome.failure = linear + line.failure;
  } else if (line.picture != outcome.picture || (!line.picture && line.text != outcome.text)) {
    outcome.failure = linear + "a different error, or an error where the picture has none";
  } else if (line.picture && rows(line.text) != (line.text.empty() ? 0 : 1)) {
    outcome.failure = linear + "more than one row";
  } else if (line.picture && !chosen.ascii && rows(outcome.text) == 1 &&
             line.text != outcome.text) {
    outcome.failure = linear + "a picture of one row written otherwise";
  }
  return outcome;
}

Outcome check_call(Renderer render, std::string_view input, Options options) {
  Outcome outcome;
  Call first = call_render(render, input, options);
  if (!first.failure.empty()) {
    outcome.failure = std::move(first.failure);
    return outcome;
  }
  outcome.picture = first.result.has_value();
  outcome.text = outcome.picture ? *first.result : first.result.error().message;

  outcome.failure = outcome.picture ? picture_failure(outcome.text, options.dialect)
                                    : error_failure(outcome.text);
  if (!outcome.failure.empty()) return outcome;
  if (outcome.picture && !is_utf8(input)) {
    outcome.failure = "input that is not valid UTF-8 gave a picture";
    return outcome;
  }

  Call second = call_render(render, input, options);
  if (!second.failure.empty()) {
    outcome.failure = "second call: " + second.failure;
  } else if (second.result.has_value() != outcome.picture) {
    outcome.failure = outcome.picture ? "the second call gave an error, the first a picture"
                                      : "the second call gave a picture, the first an error";
  } else {
    const std::string& again = outcome.picture ? *second.result : second.result.error().message;
    if (again != outcome.text) outcome.failure = "the second call gave a different result";
  }
  if (!outcome.failure.empty() || !is_utf8(input)) return outcome;

  const std::string wide = widened(input);
  if (wide == input) return outcome;
  Call third = call_render(render, wide, options);
  if (!third.failure.empty()) {
    outcome.failure = "with wider white space: " + third.failure;
  } else if (third.result.has_value() != outcome.picture) {
    outcome.failure = outcome.picture ? "with wider white space it gives an error: " +
                                            escaped(third.result.error().message)
                                      : "with wider white space it gives a picture";
  } else if (outcome.picture && *third.result != outcome.text) {
    outcome.failure = "with wider white space it gives a different picture";
  }
  return outcome;
}

}  // namespace vok::fuzz
