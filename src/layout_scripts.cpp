// Scripts, primes and limits: the compositions that attach secondary blocks to a base.
//
// A script that is one row of characters which all have Unicode superscript (or subscript) forms is
// written in those forms on the base's own row, so powers and indices take no extra rows: a
// superscript on the base's top row, a subscript on its baseline row. Any other script is laid out
// on rows of its own, left-aligned in the column right after the base. `limits` stacks its three
// pieces left-aligned instead, with equal bands above and below so that the base stays centred.
//
// A base whose baseline is not one of its rows (the empty block, or a one-row block grown from it
// by an accent or radical) is extended downward just far enough for whatever is written beside it
// to be drawn; a script that writes nothing leaves such a base unchanged.
#include <algorithm>
#include <array>
#include <utility>

#include "layout.hpp"

namespace vok {
namespace {

using CharMap = std::pair<char32_t, char32_t>;

// The superscript and subscript forms, each table sorted by source character for binary search.
// clang-format off
constexpr std::array<CharMap, 56> kSuperscripts{{
    // signs
    {U'(', U'\u207D'}, {U')', U'\u207E'}, {U'+', U'\u207A'}, {U'-', U'\u207B'},
    // digits
    {U'0', U'\u2070'}, {U'1', U'\u00B9'}, {U'2', U'\u00B2'}, {U'3', U'\u00B3'}, {U'4', U'\u2074'},
    {U'5', U'\u2075'}, {U'6', U'\u2076'}, {U'7', U'\u2077'}, {U'8', U'\u2078'}, {U'9', U'\u2079'},
    {U'=', U'\u207C'},
    // capitals: C F K L Q S V X Y Z have no superscript form
    {U'A', U'\u1D2C'}, {U'B', U'\u1D2E'}, {U'D', U'\u1D30'}, {U'E', U'\u1D31'}, {U'G', U'\u1D33'},
    {U'H', U'\u1D34'}, {U'I', U'\u1D35'}, {U'J', U'\u1D36'}, {U'M', U'\u1D39'}, {U'N', U'\u1D3A'},
    {U'O', U'\u1D3C'}, {U'P', U'\u1D3E'}, {U'R', U'\u1D3F'}, {U'T', U'\u1D40'}, {U'U', U'\u1D41'},
    {U'W', U'\u1D42'},
    // small letters: all but q
    {U'a', U'\u1D43'}, {U'b', U'\u1D47'}, {U'c', U'\u1D9C'}, {U'd', U'\u1D48'}, {U'e', U'\u1D49'},
    {U'f', U'\u1DA0'}, {U'g', U'\u1D4D'}, {U'h', U'\u02B0'}, {U'i', U'\u2071'}, {U'j', U'\u02B2'},
    {U'k', U'\u1D4F'}, {U'l', U'\u02E1'}, {U'm', U'\u1D50'}, {U'n', U'\u207F'}, {U'o', U'\u1D52'},
    {U'p', U'\u1D56'}, {U'r', U'\u02B3'}, {U's', U'\u02E2'}, {U't', U'\u1D57'}, {U'u', U'\u1D58'},
    {U'v', U'\u1D5B'}, {U'w', U'\u02B7'}, {U'x', U'\u02E3'}, {U'y', U'\u02B8'}, {U'z', U'\u1DBB'},
}};
// clang-format on

// clang-format off
constexpr std::array<CharMap, 33> kSubscripts{{
    // signs
    {U'(', U'\u208D'}, {U')', U'\u208E'}, {U'+', U'\u208A'}, {U'-', U'\u208B'},
    // digits
    {U'0', U'\u2080'}, {U'1', U'\u2081'}, {U'2', U'\u2082'}, {U'3', U'\u2083'}, {U'4', U'\u2084'},
    {U'5', U'\u2085'}, {U'6', U'\u2086'}, {U'7', U'\u2087'}, {U'8', U'\u2088'}, {U'9', U'\u2089'},
    {U'=', U'\u208C'},
    // small letters: no capitals, and none for b c d f g q w z; y takes the subscript gamma
    {U'a', U'\u2090'}, {U'e', U'\u2091'}, {U'h', U'\u2095'}, {U'i', U'\u1D62'}, {U'j', U'\u2C7C'},
    {U'k', U'\u2096'}, {U'l', U'\u2097'}, {U'm', U'\u2098'}, {U'n', U'\u2099'}, {U'o', U'\u2092'},
    {U'p', U'\u209A'}, {U'r', U'\u1D63'}, {U's', U'\u209B'}, {U't', U'\u209C'}, {U'u', U'\u1D64'},
    {U'v', U'\u1D65'}, {U'x', U'\u2093'}, {U'y', U'\u1D67'},
}};
// clang-format on

static_assert(std::ranges::is_sorted(kSuperscripts, {}, &CharMap::first));
static_assert(std::ranges::is_sorted(kSubscripts, {}, &CharMap::first));

// The compact form of `ch`, or 0 when it has none.
template <std::size_t N>
char32_t lookup(const std::array<CharMap, N>& table, char32_t ch) noexcept {
  const auto it = std::ranges::lower_bound(table, ch, {}, &CharMap::first);
  return it != table.end() && it->first == ch ? it->second : U'\0';
}

// A script is compact when it is exactly one row and every cell, blanks included, has a form in
// the table; one row of width 0 qualifies and converts to nothing.
template <std::size_t N>
bool is_compact(const RenderNode& script, const std::array<CharMap, N>& table) noexcept {
  return script.height == 1 &&
         std::ranges::all_of(script.cell_span(), [&](char32_t ch) { return lookup(table, ch) != U'\0'; });
}

// `base` with the converted row of `script` written into row `row` after its last column. A script
// with characters makes the block reach down to `row` even when the base does not.
template <std::size_t N>
Result<RenderNode> compact(const RenderNode& base, const RenderNode& script, std::size_t row,
                           const std::array<CharMap, N>& table) {
  const std::size_t height =
      script.width == 0 ? base.height : std::max(base.height, add_sat(row, 1));
  auto result = RenderNode::blank(add_sat(base.width, script.width), height, base.baseline);
  if (!result) return result;
  result->blit(base, 0, 0);
  for (std::size_t c = 0; c < script.width; ++c)
    result->at(row, base.width + c) = lookup(table, script.cells[c]);
  return result;
}

}  // namespace

Result<RenderNode> RenderNode::superscript(const RenderNode& base, const RenderNode& sup) {
  if (is_compact(sup, kSuperscripts)) return compact(base, sup, 0, kSuperscripts);

  auto result = blank(add_sat(base.width, sup.width), add_sat(sup.height, base.height),
                      add_sat(sup.height, base.baseline));
  if (!result) return result;
  result->blit(sup, base.width, 0);
  result->blit(base, 0, sup.height);
  return result;
}

Result<RenderNode> RenderNode::subscript(const RenderNode& base, const RenderNode& sub) {
  if (is_compact(sub, kSubscripts)) return compact(base, sub, base.baseline, kSubscripts);

  // The subscript hangs from the row below the baseline, beside the base's lower rows; the block
  // grows only when it reaches past them. A script with no rows reaches nothing.
  const std::size_t below = add_sat(base.baseline, 1);
  const std::size_t height =
      sub.height == 0 ? base.height : std::max(base.height, add_sat(below, sub.height));
  auto result = blank(add_sat(base.width, sub.width), height, base.baseline);
  if (!result) return result;
  result->blit(base, 0, 0);
  result->blit(sub, base.width, below);
  return result;
}

Result<RenderNode> RenderNode::both_scripts(const RenderNode& base, const RenderNode& sub,
                                            const RenderNode& sup) {
  // Room for the subscript is reserved below the whole base even though it starts just below the
  // baseline, so beside a deep base the bottom rows stay blank; beside a base whose baseline is
  // past its last row the subscript's own extent decides instead.
  const std::size_t baseline = add_sat(sup.height, base.baseline);
  const std::size_t sub_top = add_sat(baseline, 1);
  std::size_t height = add_sat(add_sat(sup.height, base.height), sub.height);
  if (sub.height != 0) height = std::max(height, add_sat(sub_top, sub.height));

  auto result = blank(add_sat(base.width, std::max(sub.width, sup.width)), height, baseline);
  if (!result) return result;
  result->blit(sup, base.width, 0);
  result->blit(base, 0, sup.height);
  result->blit(sub, base.width, sub_top);
  return result;
}

Result<RenderNode> RenderNode::prime_suffix(const RenderNode& base, std::size_t count) {
  // The picture of `hstack` of the base and a one-row run of apostrophes, built in one allocation:
  // the primes sit on the baseline row, which the block is extended to reach if need be.
  const std::size_t height = add_sat(base.baseline, std::max<std::size_t>(base.descent(), 1));
  auto result = blank(add_sat(base.width, count), height, base.baseline);
  if (!result) return result;
  result->blit(base, 0, 0);
  std::fill_n(result->cells + base.baseline * result->width + base.width, count, U'\'');
  return result;
}

Result<RenderNode> RenderNode::limits(const RenderNode& base, const RenderNode& lower,
                                      const RenderNode& upper) {
  // Both bands take the taller limit's height so the base stays centred when one limit is absent;
  // the extra column on the right keeps what follows off the operator.
  const std::size_t band = std::max(lower.height, upper.height);
  const std::size_t width = std::max({base.width, lower.width, upper.width});
  auto result = blank(add_sat(width, 1), add_sat(base.height, mul_sat(band, 2)),
                      add_sat(band, base.baseline));
  if (!result) return result;
  result->blit(upper, 0, band - upper.height);
  result->blit(base, 0, band);
  result->blit(lower, 0, band + base.height);
  return result;
}

}  // namespace vok
