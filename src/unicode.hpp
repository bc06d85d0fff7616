// UTF-8 and the character classes the lexer and the token text forms need.
//
// Everything here works on Unicode scalar values (char32_t). Decoding is strict: overlong forms,
// surrogates, values above U+10FFFF and truncated sequences are malformed, so a caller that hands
// the core arbitrary bytes gets a clean lexer error instead of a misread character.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

namespace vok {

// A character's partner in a table of (character, partner) pairs sorted by character, or
// `otherwise` when the table does not hold it.
template <std::size_t N>
[[nodiscard]] constexpr char32_t partner(const std::pair<char32_t, char32_t> (&table)[N],
                                         char32_t ch, char32_t otherwise) noexcept {
  const auto* it = std::ranges::lower_bound(table, ch, {}, &std::pair<char32_t, char32_t>::first);
  return it != std::end(table) && it->first == ch ? it->second : otherwise;
}

// One decoded character: its scalar value and the number of bytes it took (0 when malformed).
struct Decoded {
  char32_t ch;
  std::size_t length;
};

// Decodes the character starting at byte `at` of `text` (at < text.size()).
[[nodiscard]] Decoded decode_utf8(std::string_view text, std::size_t at) noexcept;

// Number of bytes of the UTF-8 encoding of `ch` (1 to 4).
[[nodiscard]] constexpr std::size_t utf8_length(char32_t ch) noexcept {
  return ch < 0x80 ? 1 : ch < 0x800 ? 2 : ch < 0x10000 ? 3 : 4;
}

// Writes the UTF-8 encoding of `ch` at `out` and returns the position after it.
inline char* encode_utf8(char32_t ch, char* out) noexcept {
  const auto put = [&](char32_t value) { *out++ = static_cast<char>(value); };
  if (ch < 0x80) {
    put(ch);
  } else if (ch < 0x800) {
    put(0xC0 | (ch >> 6));
    put(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    put(0xE0 | (ch >> 12));
    put(0x80 | ((ch >> 6) & 0x3F));
    put(0x80 | (ch & 0x3F));
  } else {
    put(0xF0 | (ch >> 18));
    put(0x80 | ((ch >> 12) & 0x3F));
    put(0x80 | ((ch >> 6) & 0x3F));
    put(0x80 | (ch & 0x3F));
  }
  return out;
}

// Appends the UTF-8 encoding of `ch` to `out`.
void append_utf8(std::string& out, char32_t ch);

// The Unicode White_Space property.
[[nodiscard]] bool is_white_space(char32_t ch) noexcept;

// True for characters that do not print on their own and are written as \u{...} in token text
// forms: control, format, private-use, unassigned, line and paragraph separators, spaces other
// than U+0020, and combining marks (Grapheme_Extend).
[[nodiscard]] bool is_escaped_in_text_form(char32_t ch) noexcept;

// The display columns a character takes on a terminal: 2 for East Asian Wide and Fullwidth
// characters, 0 for combining marks and other characters that join the one before them, else 1.
[[nodiscard]] int display_width(char32_t ch) noexcept;

// The one character Unicode has for `base` under the combining `mark` of a text accent (e and
// U+0301: é; a and the enclosing circle U+20DD: ⓐ), or 0.
[[nodiscard]] char32_t composed(char32_t base, char32_t mark) noexcept;

}  // namespace vok
