// The glyph tables. Tables searched by character are sorted by it and checked so at compile time.
#include "glyphs.hpp"

#include <algorithm>
#include <array>
#include <iterator>
#include <span>
#include <utility>

#include "unicode.hpp"

namespace vok {
namespace {

template <class Row, std::size_t N>
constexpr bool sorted_by_first(const Row (&table)[N]) {
  return std::ranges::is_sorted(table, {}, [](const Row& row) { return row.first; });
}

// The row of `ch` in a table sorted by character, or nullptr.
template <class Row, std::size_t N, class Key>
const Row* find(const Row (&table)[N], char32_t ch, Key key) noexcept {
  const Row* it = std::ranges::lower_bound(table, ch, {}, key);
  return it != std::end(table) && key(*it) == ch ? it : nullptr;
}

// ---- math alphabets ----
//
// Each style maps A–Z, a–z and (where it has them) 0–9 onto consecutive code points of the
// Mathematical Alphanumeric Symbols block. The block leaves a few positions unassigned because the
// letters already existed in Letterlike Symbols: those holes are mapped there instead.

using Hole = std::pair<char32_t, char32_t>;  // a letter and its styled form outside the block

struct Alphabet {
  char32_t capitals, smalls, digits;              // the styled A, a and 0; digits 0: none
  std::span<const Hole> holes;                    // sorted by letter
  char32_t greek_capitals = 0, greek_smalls = 0;  // the styled Α and α; 0: none
};

constexpr Hole kItalicHoles[] = {{U'h', U'ℎ'}};
constexpr Hole kDoubleStruckHoles[] = {{U'C', U'ℂ'}, {U'H', U'ℍ'}, {U'N', U'ℕ'}, {U'P', U'ℙ'},
                                       {U'Q', U'ℚ'}, {U'R', U'ℝ'}, {U'Z', U'ℤ'}};
constexpr Hole kScriptHoles[] = {{U'B', U'ℬ'}, {U'E', U'ℰ'}, {U'F', U'ℱ'}, {U'H', U'ℋ'},
                                 {U'I', U'ℐ'}, {U'L', U'ℒ'}, {U'M', U'ℳ'}, {U'R', U'ℛ'},
                                 {U'e', U'ℯ'}, {U'g', U'ℊ'}, {U'o', U'ℴ'}};
constexpr Hole kFrakturHoles[] = {
    {U'C', U'ℭ'}, {U'H', U'ℌ'}, {U'I', U'ℑ'}, {U'R', U'ℜ'}, {U'Z', U'ℨ'}};
// Bold italic has Greek letters too: the capitals, the small letters, and the variant forms
// below.
constexpr Hole kBoldItalicGreek[] = {{U'ϑ', 0x1D751}, {U'ϕ', 0x1D753}, {U'ϖ', 0x1D755},
                                     {U'ϰ', 0x1D752}, {U'ϱ', 0x1D754}, {U'ϵ', 0x1D750},
                                     {U'∂', 0x1D74F}, {U'∇', 0x1D735}};
static_assert(sorted_by_first(kDoubleStruckHoles) && sorted_by_first(kScriptHoles) &&
              sorted_by_first(kFrakturHoles) && sorted_by_first(kBoldItalicGreek));

constexpr Alphabet kBold{0x1D400, 0x1D41A, 0x1D7CE, {}};
constexpr Alphabet kItalic{0x1D434, 0x1D44E, 0, kItalicHoles};
constexpr Alphabet kSans{0x1D5A0, 0x1D5BA, 0x1D7E2, {}};
constexpr Alphabet kDoubleStruck{0x1D538, 0x1D552, 0x1D7D8, kDoubleStruckHoles};
constexpr Alphabet kScript{0x1D49C, 0x1D4B6, 0, kScriptHoles};
constexpr Alphabet kFraktur{0x1D504, 0x1D51E, 0, kFrakturHoles};
constexpr Alphabet kMonospace{0x1D670, 0x1D68A, 0x1D7F6, {}};
constexpr Alphabet kBoldItalic{0x1D468, 0x1D482, 0x1D7CE, kBoldItalicGreek, 0x1D71C, 0x1D736};
// TeX's bold: \mathbf sets capital Greek upright and bold, as it does Latin letters, and leaves
// small Greek as it is; \boldsymbol sets what is italic bold italic, and capital Greek, upright
// in TeX, bold upright.
constexpr Alphabet kBoldGreek{0x1D400, 0x1D41A, 0x1D7CE, {}, 0x1D6A8, 0};
constexpr Alphabet kBoldSymbol{0x1D468, 0x1D482, 0x1D7CE, kBoldItalicGreek, 0x1D6A8, 0x1D736};

char32_t styled(char32_t ch, const Alphabet& alphabet) noexcept {
  const auto hole = std::ranges::lower_bound(alphabet.holes, ch, {}, &Hole::first);
  if (hole != alphabet.holes.end() && hole->first == ch) return hole->second;
  if (ch >= U'A' && ch <= U'Z') return alphabet.capitals + (ch - U'A');
  if (ch >= U'a' && ch <= U'z') return alphabet.smalls + (ch - U'a');
  if (alphabet.digits != 0 && ch >= U'0' && ch <= U'9') return alphabet.digits + (ch - U'0');
  // Greek: Α–Ω (U+03A2, between rho and sigma, is unassigned) and α–ω.
  if (alphabet.greek_capitals != 0 && ch >= U'Α' && ch <= U'Ω' && ch != 0x3A2)
    return alphabet.greek_capitals + (ch - U'Α');
  if (alphabet.greek_smalls != 0 && ch >= U'α' && ch <= U'ω')
    return alphabet.greek_smalls + (ch - U'α');
  return ch;
}

}  // namespace

char32_t to_bold(char32_t ch) noexcept { return styled(ch, kBold); }
char32_t to_italic(char32_t ch) noexcept { return styled(ch, kItalic); }
char32_t to_sans(char32_t ch) noexcept { return styled(ch, kSans); }
char32_t to_bb(char32_t ch) noexcept { return styled(ch, kDoubleStruck); }
char32_t to_upright(char32_t ch) noexcept { return ch; }
char32_t to_script(char32_t ch) noexcept { return styled(ch, kScript); }
char32_t to_fraktur(char32_t ch) noexcept { return styled(ch, kFraktur); }
char32_t to_monospace(char32_t ch) noexcept { return styled(ch, kMonospace); }

char32_t to_bold_italic(char32_t ch) noexcept { return styled(ch, kBoldItalic); }
char32_t to_bold_greek(char32_t ch) noexcept { return styled(ch, kBoldGreek); }
char32_t to_bold_symbol(char32_t ch) noexcept { return styled(ch, kBoldSymbol); }

// ---- script forms ----

namespace {

using Form = std::pair<char32_t, char32_t>;  // a character and its script form

// The superscript and subscript forms, by source character (all of them ASCII).
// clang-format off
constexpr Form kSuperscripts[] = {
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
};
constexpr Form kSubscripts[] = {
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
};
// clang-format on

// A table of forms indexed by ASCII character, 0 where there is none.
using Forms = std::array<char32_t, 128>;

template <std::size_t N>
constexpr Forms indexed(const Form (&table)[N]) {
  Forms forms{};
  for (const auto& [ch, form] : table) forms.at(ch) = form;  // at(): a non-ASCII row fails to build
  return forms;
}

constexpr Forms kSuperscriptForms = indexed(kSuperscripts);
constexpr Forms kSubscriptForms = indexed(kSubscripts);

char32_t lookup(const Forms& forms, char32_t ch) noexcept {
  return ch < forms.size() ? forms[ch] : U'\0';
}

}  // namespace

char32_t superscript_form(char32_t ch) noexcept { return lookup(kSuperscriptForms, ch); }
char32_t subscript_form(char32_t ch) noexcept { return lookup(kSubscriptForms, ch); }
char32_t prime_or_superscript_form(char32_t ch) noexcept {
  return is_prime_mark(ch) ? ch : superscript_form(ch);
}
char32_t latex_subscript_form(char32_t ch) noexcept {
  return ch == U'y' ? U'\0' : subscript_form(ch);
}
char32_t prime_form(char32_t ch) noexcept { return is_prime_mark(ch) ? ch : U'\0'; }
char32_t no_form(char32_t) noexcept { return U'\0'; }

// ---- prime marks ----

std::string prime_marks(std::size_t count) {
  std::string marks;
  for (std::size_t left = count; left > 0; left -= std::min<std::size_t>(left, 4))
    append_utf8(marks, kPrimeMarks[std::min<std::size_t>(left, 4) - 1]);
  return marks;
}

bool starts_with_prime(std::string_view utf8) noexcept {
  return !utf8.empty() && static_cast<unsigned char>(utf8[0]) >= 0x80 &&
         is_prime_mark(decode_utf8(utf8, 0).ch);
}

// ---- delimiters ----

namespace {

// clang-format off
constexpr Delimiter kDelimiters[] = {
    {U'(', {U'⎛', U'⎜', U'⎝'}, 0, Stroke::Pieces},
    {U')', {U'⎞', U'⎟', U'⎠'}, 0, Stroke::Pieces},
    {U'/', {U'╱', U'╱', U'╱'}, 0, Stroke::Rising},
    {U'[', {U'⎡', U'⎢', U'⎣'}, 0, Stroke::Pieces},
    {U'\\', {U'╲', U'╲', U'╲'}, 0, Stroke::Falling},
    {U']', {U'⎤', U'⎥', U'⎦'}, 0, Stroke::Pieces},
    {U'{', {U'⎧', U'⎪', U'⎩'}, U'⎨', Stroke::Pieces, U'⎰', U'⎱', U'⎭', U'⎫'},
    // Bars use the brace extension on every row, so a tall bar is one unbroken line.
    {U'|', {U'⎪', U'⎪', U'⎪'}, 0, Stroke::Pieces},
    {U'}', {U'⎫', U'⎪', U'⎭'}, U'⎬', Stroke::Pieces, U'⎱', U'⎰', U'⎩', U'⎧'},
    // Tall arrows: the head at the end they point to, a stem down the other rows.
    {U'↑', {U'↑', U'│', U'│'}, 0, Stroke::Pieces},
    {U'↓', {U'│', U'│', U'↓'}, 0, Stroke::Pieces},
    {U'↕', {U'↑', U'│', U'↓'}, 0, Stroke::Pieces},
    {U'⇑', {U'⇑', U'║', U'║'}, 0, Stroke::Pieces},
    {U'⇓', {U'║', U'║', U'⇓'}, 0, Stroke::Pieces},
    {U'⇕', {U'⇑', U'║', U'⇓'}, 0, Stroke::Pieces},
    {U'∣', {U'⎪', U'⎪', U'⎪'}, 0, Stroke::Pieces},
    {U'⌈', {U'⎡', U'⎢', U'⎢'}, 0, Stroke::Pieces},
    {U'⌉', {U'⎤', U'⎥', U'⎥'}, 0, Stroke::Pieces},
    {U'⌊', {U'⎢', U'⎢', U'⎣'}, 0, Stroke::Pieces},
    {U'⌋', {U'⎥', U'⎥', U'⎦'}, 0, Stroke::Pieces},
    {U'⟨', {U'╱', U'⟨', U'╲'}, 0, Stroke::Angle},
    {U'⟩', {U'╲', U'⟩', U'╱'}, 0, Stroke::Angle},
};
// clang-format on
static_assert(std::ranges::is_sorted(kDelimiters, {}, &Delimiter::ch));

constexpr std::pair<char32_t, char32_t> kPartners[] = {
    {U'(', U')'}, {U'[', U']'}, {U'{', U'}'}, {U'|', U'|'}};
static_assert(sorted_by_first(kPartners));

}  // namespace

Delimiter delimiter(char32_t ch) noexcept {
  if (const Delimiter* known = find(kDelimiters, ch, [](const Delimiter& d) { return d.ch; }))
    return *known;
  return {ch, {ch, ch, ch}, 0, Stroke::Pieces};
}

char32_t closing_partner(char32_t open) noexcept { return partner(kPartners, open, U'\0'); }

// ---- marks drawn across ----

namespace {

// clang-format off
constexpr Across kAcross[] = {
    {U'←', U'←', U'─', 0, U'─'}, {U'→', U'─', U'─', 0, U'→'}, {U'↔', U'←', U'─', 0, U'→'},
    {U'↞', U'↞', U'─', 0, U'─'}, {U'↠', U'─', U'─', 0, U'↠'},
    {U'↦', U'├', U'─', 0, U'→'}, {U'↩', U'←', U'─', 0, U'╯'}, {U'↪', U'╰', U'─', 0, U'→'},
    {U'↼', U'↼', U'─', 0, U'─'}, {U'↽', U'↽', U'─', 0, U'─'}, {U'⇀', U'─', U'─', 0, U'⇀'},
    {U'⇁', U'─', U'─', 0, U'⇁'}, {U'⇄', U'─', U'─', 0, U'⇄'}, {U'⇋', U'⇋', U'─', 0, U'─'},
    {U'⇌', U'─', U'─', 0, U'⇌'},
    {U'⇐', U'⇐', U'═', 0, U'═'}, {U'⇒', U'═', U'═', 0, U'⇒'},
    {U'⇔', U'⇐', U'═', 0, U'⇒'}, {U'⎴', U'┌', U'─', 0, U'┐'}, {U'⎵', U'└', U'─', 0, U'┘'},
    {U'⏜', U'╭', U'─', 0, U'╮'}, {U'⏝', U'╰', U'─', 0, U'╯'}, {U'⏞', U'╭', U'─', U'┴', U'╮'},
    {U'⏟', U'╰', U'─', U'┬', U'╯'},
};
// clang-format on
static_assert(std::ranges::is_sorted(kAcross, {}, &Across::mark));

}  // namespace

const Across* across(char32_t mark) noexcept {
  return find(kAcross, mark, [](const Across& a) { return a.mark; });
}

// ---- large operators ----

namespace {

// clang-format off
constexpr OperatorSign kSigns[] = {
    {U'∏', SignDrawing::Box, U"┳━┳", U"┃ ┃", U"┻ ┻", 0},
    {U'∐', SignDrawing::Box, U"┳ ┳", U"┃ ┃", U"┻━┻", 0},
    {U'∑', SignDrawing::Summation, {}, {}, {}, 0},
    {U'⋂', SignDrawing::Box, U"╭─╮", U"│ │", U"│ │", 0},
    {U'⋃', SignDrawing::Box, U"│ │", U"│ │", U"╰─╯", 0},
    {U'⨀', SignDrawing::Box, U"╭─╮", U"│ │", U"╰─╯", U'·'},
    {U'⨁', SignDrawing::Box, U"╭─╮", U"│ │", U"╰─╯", U'+'},
    {U'⨂', SignDrawing::Box, U"╭─╮", U"│ │", U"╰─╯", U'×'},
    {U'⨄', SignDrawing::Box, U"│ │", U"│ │", U"╰─╯", U'+'},
    {U'⨅', SignDrawing::Box, U"┌─┐", U"│ │", U"│ │", 0},
    {U'⨆', SignDrawing::Box, U"│ │", U"│ │", U"└─┘", 0},
};
// clang-format on
static_assert(std::ranges::is_sorted(kSigns, {}, &OperatorSign::sign));

}  // namespace

OperatorSign operator_sign(char32_t sign) noexcept {
  if (const OperatorSign* known = find(kSigns, sign, [](const OperatorSign& s) { return s.sign; }))
    return *known;
  return {sign, SignDrawing::Own, {}, {}, {}, 0};
}

// ---- relations ----

namespace {

// clang-format off
constexpr std::pair<char32_t, char32_t> kNegations[] = {
    {U'<', U'≮'}, {U'=', U'≠'}, {U'>', U'≯'}, {U'|', U'∤'}, {U'←', U'↚'}, {U'→', U'↛'},
    {U'↔', U'↮'}, {U'⇐', U'⇍'}, {U'⇒', U'⇏'}, {U'⇔', U'⇎'}, {U'∃', U'∄'}, {U'∈', U'∉'},
    {U'∋', U'∌'}, {U'∣', U'∤'}, {U'∥', U'∦'}, {U'∼', U'≁'}, {U'≃', U'≄'}, {U'≅', U'≇'},
    {U'≈', U'≉'}, {U'≍', U'≭'}, {U'≡', U'≢'}, {U'≤', U'≰'}, {U'≥', U'≱'}, {U'≲', U'≴'},
    {U'≳', U'≵'}, {U'≶', U'≸'}, {U'≷', U'≹'}, {U'≺', U'⊀'}, {U'≻', U'⊁'}, {U'≼', U'⋠'},
    {U'≽', U'⋡'}, {U'⊂', U'⊄'}, {U'⊃', U'⊅'}, {U'⊆', U'⊈'}, {U'⊇', U'⊉'}, {U'⊑', U'⋢'},
    {U'⊒', U'⋣'}, {U'⊢', U'⊬'}, {U'⊨', U'⊭'}, {U'⊩', U'⊮'}, {U'⊫', U'⊯'}, {U'⊲', U'⋪'},
    {U'⊳', U'⋫'}, {U'⊴', U'⋬'}, {U'⊵', U'⋭'},
};
// clang-format on
static_assert(sorted_by_first(kNegations));

}  // namespace

char32_t negated(char32_t ch) noexcept { return partner(kNegations, ch, U'\0'); }

// ---- accents in one row ----

namespace {

// The marks of accents, as drawn on a row of their own, and the combining characters that draw
// them over one letter, sorted by mark.
// clang-format off
constexpr std::pair<char32_t, char32_t> kCombiningAbove[] = {
    {U'^', 0x0302}, {U'`', 0x0300}, {U'~', 0x0303}, {U'¨', 0x0308}, {U'´', 0x0301},
    {U'ˀ', 0x0309}, {U'ˇ', 0x030C}, {U'˘', 0x0306}, {U'˙', 0x0307}, {U'˚', 0x030A},
    {U'‾', 0x0304}, {U'⁘', 0x20DC}, {U'←', 0x20D6}, {U'→', 0x20D7}, {U'↔', 0x20E1},
    {U'↼', 0x20D0}, {U'⇀', 0x20D1}, {U'⋯', 0x20DB}, {U'─', 0x0305}, {U'╱', 0x0338},
};
constexpr std::pair<char32_t, char32_t> kCombiningBelow[] = {
    {U'_', 0x0332}, {U'~', 0x0330}, {U'─', 0x0332}, {U'▔', 0x0332},
};
// clang-format on
static_assert(sorted_by_first(kCombiningAbove));
static_assert(sorted_by_first(kCombiningBelow));

}  // namespace

char32_t combining_mark(char32_t mark, bool below) noexcept {
  return below ? partner(kCombiningBelow, mark, U'\0') : partner(kCombiningAbove, mark, U'\0');
}

// ---- ASCII ----

namespace {

// Every drawing character a layout paints, with its ASCII stand-in, sorted by character.
// clang-format off
constexpr std::pair<char32_t, char32_t> kAscii[] = {
    {U'‐', U'-'}, {U'–', U'-'}, {U'—', U'-'}, {U'‘', U'\''}, {U'’', U'\''}, {U'“', U'"'},
    {U'”', U'"'}, {U'′', U'\''}, {U'″', U'"'}, {U'‾', U'-'}, {U'−', U'-'}, {U'∗', U'*'},
    {U'∣', U'|'}, {U'∼', U'~'}, {U'⋅', U'*'}, {U'⌠', U'/'}, {U'⌡', U'/'}, {U'⎛', U'/'},
    {U'⎜', U'|'}, {U'⎝', U'\\'}, {U'⎞', U'\\'}, {U'⎟', U'|'}, {U'⎠', U'/'}, {U'⎡', U'['},
    {U'⎢', U'|'}, {U'⎣', U'['}, {U'⎤', U']'}, {U'⎥', U'|'}, {U'⎦', U']'}, {U'⎧', U'/'},
    {U'⎨', U'<'}, {U'⎩', U'\\'}, {U'⎪', U'|'}, {U'⎫', U'\\'}, {U'⎬', U'>'}, {U'⎭', U'/'},
    {U'⎮', U'|'}, {U'⎰', U'/'}, {U'⎱', U'\\'}, {U'⎴', U'-'}, {U'⎵', U'_'}, {U'⏜', U'-'},
    {U'⏝', U'_'}, {U'⏞', U'-'}, {U'⏟', U'_'}, {U'─', U'-'}, {U'━', U'='}, {U'│', U'|'},
    {U'┃', U'|'}, {U'┌', U'+'}, {U'┐', U'+'}, {U'┓', U'='}, {U'└', U'+'}, {U'┘', U'+'},
    {U'┛', U'='}, {U'├', U'+'}, {U'┤', U'+'}, {U'┬', U'+'}, {U'┳', U'+'}, {U'┴', U'+'},
    {U'┻', U'+'}, {U'┼', U'+'}, {U'╌', U'-'}, {U'╎', U':'}, {U'═', U'='}, {U'║', U'|'},
    {U'╒', U'+'}, {U'╓', U'+'}, {U'╔', U'+'}, {U'╕', U'+'}, {U'╖', U'+'}, {U'╗', U'+'},
    {U'╘', U'+'}, {U'╙', U'+'}, {U'╚', U'+'}, {U'╛', U'+'}, {U'╜', U'+'}, {U'╝', U'+'},
    {U'╞', U'+'}, {U'╟', U'+'}, {U'╠', U'+'}, {U'╡', U'+'}, {U'╢', U'+'}, {U'╣', U'+'},
    {U'╤', U'+'}, {U'╥', U'+'}, {U'╦', U'+'}, {U'╧', U'+'}, {U'╨', U'+'}, {U'╩', U'+'},
    {U'╪', U'+'}, {U'╫', U'+'}, {U'╬', U'+'}, {U'╭', U'/'}, {U'╮', U'\\'}, {U'╯', U'/'},
    {U'╰', U'\\'}, {U'╱', U'/'}, {U'╲', U'\\'}, {U'╳', U'X'}, {U'█', U'#'}, {U'▔', U'-'},
    {U'❯', U'>'}, {U'⟨', U'<'}, {U'⟩', U'>'},
};
// clang-format on
static_assert(sorted_by_first(kAscii));

}  // namespace

char32_t ascii_form(char32_t ch) noexcept { return ch < 0x80 ? ch : partner(kAscii, ch, ch); }

namespace {

// clang-format off
constexpr std::pair<char32_t, std::string_view> kAsciiWords[] = {
    {U'±', "+-"}, {U'·', "*"}, {U'×', "*"}, {U'÷', "/"}, {U'ı', "i"}, {U'ȷ', "j"}, {U'Γ', "Gamma"},
    {U'Δ', "Delta"}, {U'Θ', "Theta"}, {U'Λ', "Lambda"}, {U'Ξ', "Xi"}, {U'Π', "Pi"},
    {U'Σ', "Sigma"}, {U'Υ', "Upsilon"}, {U'Φ', "Phi"}, {U'Ψ', "Psi"}, {U'Ω', "Omega"},
    {U'α', "alpha"}, {U'β', "beta"}, {U'γ', "gamma"}, {U'δ', "delta"}, {U'ε', "epsilon"},
    {U'ζ', "zeta"}, {U'η', "eta"}, {U'θ', "theta"}, {U'ι', "iota"}, {U'κ', "kappa"},
    {U'λ', "lambda"}, {U'μ', "mu"}, {U'ν', "nu"}, {U'ξ', "xi"}, {U'π', "pi"}, {U'ρ', "rho"},
    {U'ς', "sigma"}, {U'σ', "sigma"}, {U'τ', "tau"}, {U'υ', "upsilon"}, {U'φ', "phi"},
    {U'χ', "chi"}, {U'ψ', "psi"}, {U'ω', "omega"}, {U'ϑ', "theta"}, {U'ϕ', "phi"}, {U'ϖ', "pi"},
    {U'ϱ', "rho"}, {U'ϵ', "epsilon"}, {U'‖', "||"}, {U'†', "dag"}, {U'…', "..."}, {U'‴', "'''"},
    {U'ℂ', "C"}, {U'ℊ', "g"}, {U'ℋ', "H"}, {U'ℌ', "H"}, {U'ℍ', "H"}, {U'ℎ', "h"}, {U'ℏ', "hbar"},
    {U'ℐ', "I"}, {U'ℑ', "Im"}, {U'ℒ', "L"}, {U'ℓ', "l"}, {U'ℕ', "N"}, {U'℘', "P"}, {U'ℙ', "P"},
    {U'ℚ', "Q"}, {U'ℛ', "R"}, {U'ℜ', "Re"}, {U'ℝ', "R"}, {U'ℤ', "Z"}, {U'ℨ', "Z"}, {U'ℬ', "B"},
    {U'ℭ', "C"}, {U'ℯ', "e"}, {U'ℰ', "E"}, {U'ℱ', "F"}, {U'ℳ', "M"}, {U'ℴ', "o"}, {U'ℵ', "aleph"},
    {U'←', "<-"}, {U'↑', "uparrow"}, {U'→', "->"}, {U'↓', "downarrow"}, {U'↔', "<->"},
    {U'↦', "|->"}, {U'⇐', "<="}, {U'⇒', "=>"}, {U'⇔', "<=>"}, {U'∀', "forall"}, {U'∂', "d"},
    {U'∃', "exists"}, {U'∅', "{}"}, {U'∇', "nabla"}, {U'∈', "in"}, {U'∉', "notin"}, {U'∏', "prod"},
    {U'∑', "sum"}, {U'∓', "-+"}, {U'∘', "o"}, {U'∙', "*"}, {U'√', "sqrt"}, {U'∝', "prop"},
    {U'∞', "inf"}, {U'∥', "||"}, {U'∧', "and"}, {U'∨', "or"}, {U'∩', "cap"}, {U'∪', "cup"},
    {U'∫', "int"}, {U'∬', "iint"}, {U'∭', "iiint"}, {U'∮', "oint"}, {U'≃', "~="}, {U'≅', "~="},
    {U'≈', "~="}, {U'≠', "!="}, {U'≡', "=="}, {U'≤', "<="}, {U'≥', ">="}, {U'≪', "<<"},
    {U'≫', ">>"}, {U'⊂', "subset"}, {U'⊃', "supset"}, {U'⊆', "subseteq"}, {U'⊇', "supseteq"},
    {U'⊕', "(+)"}, {U'⊗', "(x)"}, {U'⊥', "perp"}, {U'⋂', "Cap"}, {U'⋃', "Cup"}, {U'⋆', "*"},
    {U'⋮', ":"}, {U'⋯', "..."}, {U'⋱', "..."}, {U'⌈', "ceil("}, {U'⌉', ")"}, {U'⌊', "floor("},
    {U'⌋', ")"}, {U'△', "triangle"}, {U'⟶', "-->"}, {U'⟷', "<-->"}, {U'⟹', "==>"}, {U'⟺', "<==>"},
    {U'⟼', "|-->"},
};
// clang-format on
static_assert(sorted_by_first(kAsciiWords));

}  // namespace

// The letters and digits of the math alphabets' block: 52 letters a style, then ı and ȷ, then
// Greek, then 10 digits a style.
constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyzij";
constexpr std::string_view kDigits = "0123456789";
// The Greek of the block, 58 letters a style: Α–Ω (ϴ where U+03A2 would be), ∇, α–ω, ∂, and the
// variant forms.
constexpr std::u32string_view kGreek =
    U"ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΘΣΤΥΦΧΨΩ∇αβγδεζηθικλμνξοπρςστυφχψω∂ϵϑϰϕϱϖ";
static_assert(kGreek.size() == 58);

std::string_view ascii_word(char32_t ch) noexcept {
  if (ch >= 0x1D400 && ch <= 0x1D6A3) return kLetters.substr((ch - 0x1D400) % 52, 1);
  if (ch == 0x1D6A4 || ch == 0x1D6A5) return kLetters.substr(52 + (ch - 0x1D6A4), 1);
  if (ch >= 0x1D7CE && ch <= 0x1D7FF) return kDigits.substr((ch - 0x1D7CE) % 10, 1);
  if (ch >= 0x1D6A8 && ch <= 0x1D7C9) return ascii_word(kGreek[(ch - 0x1D6A8) % 58]);
  const auto* row = find(kAsciiWords, ch, [](const auto& r) { return r.first; });
  return row != nullptr ? row->second : std::string_view();
}

}  // namespace vok
