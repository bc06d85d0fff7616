// The properties every call of vok::render must have, whatever bytes it is given and whichever
// dialect reads them, checked from the outside: the fuzzer, the replay command and the golden
// checker all judge a call through check_render. Nothing here includes the core's internal headers;
// the checks read only the public result, so a fault in the core's own UTF-8 or block code cannot
// hide itself.
#pragma once

#include <array>
#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "vok/vok.hpp"

namespace vok::fuzz {

// Inputs longer than this are not fuzzed: bigger inputs find the same faults, only slower.
inline constexpr std::size_t kMaxInput = 4096;

// The largest picture the core may return, in cells, a zero width counting as one column.
inline constexpr std::size_t kMaxCells = std::size_t{1} << 24;

// What one checked call gave.
struct Outcome {
  bool picture = false;  // true for a picture, false for a ParseError
  std::string text;      // the picture, or the error message
  std::string failure;   // empty when every property held, else the first one that broke
};

// Every dialect, in the order the tools check and report them.
inline constexpr std::array kDialects{Dialect::Exact, Dialect::Latex};

// The dialect's name in reports: "exact" or "latex".
[[nodiscard]] std::string_view dialect_name(Dialect dialect) noexcept;

// Calls vok::render on `input` in `dialect` twice, and once more with its white space widened,
// first with the default options and then with those the input chooses (chosen_options),
// each time on a stack filled with bytes that decode to no character, and checks:
//   - the call returns (an exception, std::bad_alloc included, is a failure: no input is big
//     enough to exhaust memory, since pictures are bounded);
//   - an error has a non-empty message in valid UTF-8 that is not one of the core's guards for
//     conditions its own code rules out;
//   - a picture is valid UTF-8, empty or ending in a line feed, free of carriage returns, every
//     row as many Unicode scalar values wide as the first, at most kMaxCells cells in all;
//   - input that is not valid UTF-8 gives an error, never a picture;
//   - the second call gives exactly what the first gave;
//   - one more space after each run of ASCII white space between tokens gives the same picture,
//     or an error again when the input gave one (white space only separates tokens, and in the
//     LaTeX dialect's text a run of it is one blank);
//   - the exact markup gives the same picture or message whatever the width and ASCII options;
//   - the one-row form (Options::linear, with the input's ASCII choice) gives the same error, or
//     one row where there is a picture, that picture itself when it is one row (but in ASCII).
[[nodiscard]] Outcome check_render(std::string_view input, Dialect dialect);

// A function with the signature of vok::render.
using Renderer = std::expected<std::string, ParseError> (*)(std::string_view, Options);

// The checks of check_render on one set of options, with another function in the place of
// vok::render, so the checks themselves can be tested on functions that break each property.
// `render` gets `options` on every call.
[[nodiscard]] Outcome check_call(Renderer render, std::string_view input, Options options);

// The options an input chooses by its own bytes, so that a saved input replays alike: no width or
// one of 1 to 40 columns, ASCII drawing or not.
[[nodiscard]] Options chosen_options(std::string_view input, Dialect dialect) noexcept;

// check_call with the default options, then with those the input chooses; the exact markup's
// result must not change with them. The outcome is that of the default options, unless the
// second set broke a property.
[[nodiscard]] Outcome check_options(Renderer render, std::string_view input, Dialect dialect);

// The first broken property of a picture, or "" when it has them all. Rows are as wide as each
// other in characters, or in the LaTeX dialect in display columns (a wide character two, a
// combining mark none).
[[nodiscard]] std::string picture_failure(std::string_view picture,
                                          Dialect dialect = Dialect::Exact);

// The first broken property of vok::render_markdown on `input` read as a document, with the
// default options and with those the input chooses, or "" when it has them all: the same document
// twice, valid UTF-8 out of valid UTF-8 in, every problem's line within the document and its
// message a good error message, and a document with no math in it (no `$`, no backslash, no math
// fence) given back byte for byte.
[[nodiscard]] std::string markdown_failure(std::string_view input);

// The first broken property of an error message, or "" when it has them all.
[[nodiscard]] std::string error_failure(std::string_view message);

// `bytes` as a C string literal body: printable ASCII as is, everything else escaped, so a report
// shows the exact input whatever it holds.
[[nodiscard]] std::string escaped(std::string_view bytes);

// Returns true when `text` is well-formed UTF-8 (no overlong forms, surrogates or values above
// U+10FFFF, no truncated sequence).
[[nodiscard]] bool is_utf8(std::string_view text) noexcept;

}  // namespace vok::fuzz
