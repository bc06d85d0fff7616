// Errors as values, and every message text of the system in one place.
//
// A ParseError carries a finished message; positions and offending text are written into it when
// the error is made, and callers pass it up unchanged. Two units appear in messages: "position" is
// a token index within the token range being parsed, "byte" a byte offset into the whole input. The
// LaTeX dialect's messages that name a byte also carry it, and their wording without it, so that a
// document can name the place in its own lines.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "vok/vok.hpp"

namespace vok {

// The result of every fallible operation: the value or the first error.
template <class T>
using Result = std::expected<T, ParseError>;

// Shorthand for returning an error from a function that returns a Result.
[[nodiscard]] inline std::unexpected<ParseError> fail(std::string message) {
  return std::unexpected(ParseError{std::move(message)});
}
[[nodiscard]] inline std::unexpected<ParseError> fail(ParseError error) {
  return std::unexpected(std::move(error));
}

// An expected token is missing because the tokens ran out: the message, then " but reached end of
// input near '" and the last (at most) five bytes of the whole input. When the cut would fall
// inside a multi-byte character the tail starts at the next character boundary instead.
[[nodiscard]] ParseError at_eof(std::string_view message, std::string_view input);

// Message texts. Token arguments are token text forms; `source` is a token's source text.
namespace message {

[[nodiscard]] std::string invalid_token(std::size_t byte);
[[nodiscard]] std::string unexpected_token(std::size_t position, std::string_view optional_token);
[[nodiscard]] std::string expected_got(std::string_view wanted, std::string_view found,
                                       std::string_view source, std::size_t byte);
[[nodiscard]] std::string expected(std::string_view wanted);
[[nodiscard]] std::string expected_a_string(std::string_view source, std::size_t byte);
[[nodiscard]] std::string unexpected_whitespace(std::string_view source, std::size_t byte);
[[nodiscard]] std::string mismatched_delimiters(std::string_view open, std::string_view close);
[[nodiscard]] std::string unknown_environment(std::string_view name);
[[nodiscard]] std::string unclosed_begin(std::string_view name);
[[nodiscard]] std::string mismatched_environments(std::string_view name, std::string_view other);

// ---- the LaTeX dialect: what went wrong, the offending text, and where ----
// Each is an error whose message names the byte at fault, " at <where>"; the error also carries
// that byte and the message without " at <where>".

// "byte N", and ", column C" (in characters, from 1) when the input is one line.
[[nodiscard]] std::string where(std::string_view input, std::size_t byte);

[[nodiscard]] ParseError invalid_utf8(std::string_view input, std::size_t byte);
[[nodiscard]] ParseError control_character(char32_t ch, std::string_view input, std::size_t byte);
// "<what> at <where>", the offending source text quoted in `what` by the caller's words below.
[[nodiscard]] ParseError unmatched(std::string_view source, std::string_view input,
                                   std::size_t byte);
[[nodiscard]] ParseError missing_close(std::string_view close, std::string_view open,
                                       std::string_view input, std::size_t byte);
// The same for the \right of a \left, and the \end of an environment.
[[nodiscard]] ParseError missing_right(std::string_view input, std::size_t byte);
[[nodiscard]] ParseError missing_end(std::string_view name, std::string_view input,
                                     std::size_t byte);
[[nodiscard]] ParseError double_script(bool superscript, std::string_view input, std::size_t byte);
[[nodiscard]] ParseError missing_argument(std::string_view source, std::string_view input,
                                          std::size_t byte);
// A cell separator outside any environment.
[[nodiscard]] ParseError outside_environment(std::string_view source, std::string_view input,
                                             std::size_t byte);
[[nodiscard]] ParseError not_a_delimiter(std::string_view source, std::string_view input,
                                         std::size_t byte);
[[nodiscard]] ParseError mismatched_end(std::string_view name, std::string_view other,
                                        std::string_view input, std::size_t byte);

// Macros: the use of a macro `name` (backslash included) that expands too often, or that does not
// match its definition's parameter text; a definition without a command name after `source`; a
// parameter `#n` its macro does not have; a caller's macro whose name is not a command.
[[nodiscard]] ParseError too_many_expansions(std::string_view name, std::string_view input,
                                             std::size_t byte);
[[nodiscard]] ParseError use_does_not_match(std::string_view name, std::string_view input,
                                            std::size_t byte);
[[nodiscard]] ParseError expected_macro_name(std::string_view source, std::string_view input,
                                             std::size_t byte);
[[nodiscard]] ParseError undefined_parameter(std::string_view source, std::string_view name,
                                             std::string_view input, std::size_t byte);
[[nodiscard]] std::string invalid_macro_name(std::string_view name);

inline constexpr std::string_view kUnexpectedRight = "unexpected \\right without matching \\left";
inline constexpr std::string_view kDelimiterAfterLeft = "expected a delimiter after \\left";
inline constexpr std::string_view kUnclosedLeft = "unclosed \\left ... \\right pair";
inline constexpr std::string_view kDelimiterAfterRight = "expected a delimiter after \\right";
inline constexpr std::string_view kUnsupportedLeft =
    "internal error: entered unreachable code: unsupported left delimiter";
inline constexpr std::string_view kUnexpectedEof = "unexpected eof";
inline constexpr std::string_view kRaggedMatrix = "matrix rows have different lengths";
inline constexpr std::string_view kTooDeep = "formula nested too deeply";
inline constexpr std::string_view kTooLarge = "formula too large to render";

}  // namespace message
}  // namespace vok
