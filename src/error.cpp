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

std::string invalid_utf8(std::string_view input, std::size_t byte) {
  return concat({"invalid UTF-8 at ", where(input, byte)});
}

std::string control_character(char32_t ch, std::string_view input, std::size_t byte) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
  return concat({"control character ", code, " at ", where(input, byte)});
}

std::string unmatched(std::string_view source, std::string_view input, std::size_t byte) {
  return concat({"unmatched '", source, "' at ", where(input, byte)});
}

std::string missing_close(std::string_view close, std::string_view open, std::string_view input,
                          std::size_t byte) {
  return concat({"missing '", close, "' for the '", open, "' at ", where(input, byte)});
}

std::string missing_right(std::string_view input, std::size_t byte) {
  return missing_close("\\right", "\\left", input, byte);
}

std::string missing_end(std::string_view name, std::string_view input, std::size_t byte) {
  return missing_close(concat({"\\end{", name, "}"}), concat({"\\begin{", name, "}"}), input, byte);
}

std::string double_script(bool superscript, std::string_view input, std::size_t byte) {
  return concat(
      {superscript ? "double superscript" : "double subscript", " at ", where(input, byte)});
}

std::string missing_argument(std::string_view source, std::string_view input, std::size_t byte) {
  return concat({"missing argument for '", source, "' at ", where(input, byte)});
}

std::string outside_environment(std::string_view source, std::string_view input, std::size_t byte) {
  return concat({"'", source, "' at ", where(input, byte), " outside an environment"});
}

std::string not_a_delimiter(std::string_view source, std::string_view input, std::size_t byte) {
  return concat({"'", source, "' at ", where(input, byte), " is not a delimiter"});
}

std::string mismatched_end(std::string_view name, std::string_view other, std::string_view input,
                           std::size_t byte) {
  return concat(
      {"'\\end{", other, "}' at ", where(input, byte), " does not close '\\begin{", name, "}'"});
}

}  // namespace message
}  // namespace vok
