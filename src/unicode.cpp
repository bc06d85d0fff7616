// UTF-8 coding and the generated character tables.
#include "unicode.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <utility>

namespace vok {
namespace {

struct CodeRange {
  char32_t first;
  char32_t last;
};

#include "unicode_tables.inc"

struct Composition {
  char32_t base, mark, composed;
};

#include "compositions.inc"

}  // namespace

char32_t composed(char32_t base, char32_t mark) noexcept {
  const auto key = [](const Composition& c) { return std::pair{c.base, c.mark}; };
  const auto* it = std::ranges::lower_bound(kCompositions, std::pair{base, mark}, {}, key);
  return it != std::end(kCompositions) && it->base == base && it->mark == mark ? it->composed : 0;
}

Decoded decode_utf8(std::string_view text, std::size_t at) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {lead, 1};

  std::size_t length;
  char32_t ch;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, ch = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, ch = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, ch = lead & 0x07, minimum = 0x10000;
  } else {
    return {0, 0};  // a continuation byte, an overlong two-byte lead, or beyond U+10FFFF
  }
  if (text.size() - at < length) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(at + i);
    if ((next & 0xC0) != 0x80) return {0, 0};
    ch = (ch << 6) | (next & 0x3F);
  }
  if (ch < minimum || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return {0, 0};
  return {ch, length};
}

void append_utf8(std::string& out, char32_t ch) {
  char buffer[4];
  out.append(buffer, encode_utf8(ch, buffer));
}

bool is_white_space(char32_t ch) noexcept {
  if (ch <= 0x20) return ch == 0x20 || (ch >= 0x09 && ch <= 0x0D);
  if (ch < 0x85) return false;
  switch (ch) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return ch >= 0x2000 && ch <= 0x200A;
  }
}

namespace {

template <std::size_t N>
bool in_ranges(const CodeRange (&ranges)[N], char32_t ch) noexcept {
  const auto* it = std::upper_bound(std::begin(ranges), std::end(ranges), ch,
                                    [](char32_t c, const CodeRange& r) { return c < r.first; });
  return it != std::begin(ranges) && ch <= std::prev(it)->last;
}

}  // namespace

bool is_escaped_in_text_form(char32_t ch) noexcept {
  if (ch >= 0x20 && ch < 0x7F) return false;  // printable ASCII
  return in_ranges(kEscapedRanges, ch);
}

namespace {

// The blocks of 64 characters of the Basic Multilingual Plane that hold no character of other
// than one column (Greek, arrows, mathematical operators…): a bit for each, read before any search.
constexpr std::array<std::uint64_t, 16> kOneColumnBlocks = [] {
  std::array<std::uint64_t, 16> bits;
  bits.fill(~std::uint64_t{0});
  const auto clear = [&bits](const CodeRange& range) {
    for (char32_t block = range.first >> 6; block <= (range.last >> 6) && block < 1024; ++block)
      bits[block >> 6] &= ~(std::uint64_t{1} << (block & 63));
  };
  for (const CodeRange& range : kZeroWidthRanges) clear(range);
  for (const CodeRange& range : kWideRanges) clear(range);
  return bits;
}();

}  // namespace

int display_width(char32_t ch) noexcept {
  if (ch < 0x300) return 1;  // Latin, where nothing is wide or joins (U+00AD shows as a hyphen)
  if (ch < 0x10000 && ((kOneColumnBlocks[ch >> 12] >> ((ch >> 6) & 63)) & 1) != 0) return 1;
  if (in_ranges(kZeroWidthRanges, ch)) return 0;
  return in_ranges(kWideRanges, ch) ? 2 : 1;
}

}  // namespace vok
