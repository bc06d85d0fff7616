// Message wording and the end-of-input error.
#include "error.hpp"

#include <cstdio>

namespace vok {
namespace {

// " near '<source>' at byte <byte>": quotes a token that is present.
std::string near(std::string text, std::string_view source, std::size_t byte) {
  text += " near '";
  text += source;
  text += "' at byte ";
  text += std::to_string(byte);
  return text;
}

std::string concat(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (auto part : parts) text += part;
  return text;
}

// The error of a message that names a byte: `what` and `rest` around " at <where>", and without
// it.
ParseError placed(std::string what, std::string_view rest, std::string_view input,
                  std::size_t byte) {
  std::string text = concat({what, " at ", message::where(input, byte), rest});
  what += rest;
  return ParseError{std::move(text), byte, std::move(what)};
}

}  // namespace

ParseError at_eof(std::string_view message, std::string_view input) {
  if (input.empty()) return ParseError{std::string(message)};
  std::size_t cut = input.size() > 5 ? input.size() - 5 : 0;
  // Never start inside a character: skip continuation bytes (10xxxxxx).
  while (cut < input.size() && (static_cast<unsigned char>(input[cut]) & 0xC0) == 0x80) ++cut;
  return ParseError{concat({message, " but reached end of input near '", input.substr(cut), "'"})};
}

namespace message {

std::string invalid_token(std::size_t byte) {
  return "Invalid token at byte " + std::to_string(byte);
}

std::string unexpected_token(std::size_t position, std::string_view optional_token) {
  return concat({"Unexpected token at position ", std::to_string(position), ": ", optional_token});
}

std::string expected_got(std::string_view wanted, std::string_view found, std::string_view source,
                         std::size_t byte) {
  return near(concat({"expected ", wanted, ", got ", found}), source, byte);
}

std::string expected(std::string_view wanted) { return concat({"expected ", wanted}); }

std::string expected_a_string(std::string_view source, std::size_t byte) {
  return near("expected a string", source, byte);
}

std::string unexpected_whitespace(std::string_view source, std::size_t byte) {
  return near("unexpected whitespace", source, byte);
}

std::string mismatched_delimiters(std::string_view open, std::string_view close) {
  return concat({"mismatched delimiters: \\left", open, " and \\right", close});
}

std::string unknown_environment(std::string_view name) {
  return concat({"unknown matrix environment: ", name});
}

std::string unclosed_begin(std::string_view name) {
  return concat({"unclosed \\begin{", name, "}"});
}

std::string mismatched_environments(std::string_view name, std::string_view other) {
  return concat({"mismatched \\begin{", name, "} and \\end{", other, "}"});
}

std::string where(std::string_view input, std::size_t byte) {
  std::string text = "byte " + std::to_string(byte);
  if (input.find_first_of("\n\r") == std::string_view::npos) {
    std::size_t column = 1;
    for (std::size_t i = 0; i < byte && i < input.size(); ++i)
      column += (static_cast<unsigned char>(input[i]) & 0xC0) != 0x80;
    text += ", column " + std::to_string(column);
  }
  return text;
}

ParseError invalid_utf8(std::string_view input, std::size_t byte) {
  return placed("invalid UTF-8", "", input, byte);
}

ParseError control_character(char32_t ch, std::string_view input, std::size_t byte) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
  return placed(concat({"control character ", code}), "", input, byte);
}

ParseError unmatched(std::string_view source, std::string_view input, std::size_t byte) {
  return placed(concat({"unmatched '", source, "'"}), "", input, byte);
}

ParseError missing_close(std::string_view close, std::string_view open, std::string_view input,
                         std::size_t byte) {
  return placed(concat({"missing '", close, "' for the '", open, "'"}), "", input, byte);
}

ParseError missing_right(std::string_view input, std::size_t byte) {
  return missing_close("\\right", "\\left", input, byte);
}

ParseError missing_end(std::string_view name, std::string_view input, std::size_t byte) {
  return missing_close(concat({"\\end{", name, "}"}), concat({"\\begin{", name, "}"}), input, byte);
}

ParseError double_script(bool superscript, std::string_view input, std::size_t byte) {
  return placed(superscript ? "double superscript" : "double subscript", "", input, byte);
}

ParseError missing_argument(std::string_view source, std::string_view input, std::size_t byte) {
  return placed(concat({"missing argument for '", source, "'"}), "", input, byte);
}

ParseError outside_environment(std::string_view source, std::string_view input, std::size_t byte) {
  return placed(concat({"'", source, "'"}), " outside an environment", input, byte);
}

ParseError not_a_delimiter(std::string_view source, std::string_view input, std::size_t byte) {
  return placed(concat({"'", source, "'"}), " is not a delimiter", input, byte);
}

ParseError mismatched_end(std::string_view name, std::string_view other, std::string_view input,
                          std::size_t byte) {
  return placed(concat({"'\\end{", other, "}'"}), concat({" does not close '\\begin{", name, "}'"}),
                input, byte);
}

ParseError too_many_expansions(std::string_view name, std::string_view input, std::size_t byte) {
  return placed(concat({"too many macro expansions of '", name, "'"}), "", input, byte);
}

ParseError use_does_not_match(std::string_view name, std::string_view input, std::size_t byte) {
  return placed(concat({"use of '", name, "'"}), " does not match its definition", input, byte);
}

ParseError expected_macro_name(std::string_view source, std::string_view input, std::size_t byte) {
  return placed(concat({"expected a command name after '", source, "'"}), "", input, byte);
}

ParseError undefined_parameter(std::string_view source, std::string_view name,
                               std::string_view input, std::size_t byte) {
  return placed(concat({"parameter '", source, "'"}), concat({" of '", name, "' is not defined"}),
                input, byte);
}

std::string invalid_macro_name(std::string_view name) {
  return concat({"macro name '", name, "' is not a command such as '\\name'"});
}

}  // namespace message
}  // namespace vok
