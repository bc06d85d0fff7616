// The characters pictures are drawn with, as data: the math alphabets, the script forms, prime
// marks, the partners and pieces of delimiters, the pieces of marks drawn across, the signs of
// large operators, negated relations and the ASCII spelling of every drawing character. Layouts,
// constructs and grammars look characters up here; none of them switches on one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vok {

// A character map: a math alphabet, the conversion of a compact script, an ASCII spelling.
// Characters it does not map come back unchanged, except where it says 0 for "none".
using CharMap = char32_t (*)(char32_t) noexcept;

// ---- math alphabets ----
//
// ASCII letters (and digits where the style has them) to styled letters, every other character
// unchanged. No styled letter is changed again by any alphabet.
[[nodiscard]] char32_t to_bold(char32_t ch) noexcept;
[[nodiscard]] char32_t to_italic(char32_t ch) noexcept;
[[nodiscard]] char32_t to_sans(char32_t ch) noexcept;
[[nodiscard]] char32_t to_bb(char32_t ch) noexcept;
[[nodiscard]] char32_t to_upright(char32_t ch) noexcept;
[[nodiscard]] char32_t to_script(char32_t ch) noexcept;
[[nodiscard]] char32_t to_fraktur(char32_t ch) noexcept;
[[nodiscard]] char32_t to_monospace(char32_t ch) noexcept;
[[nodiscard]] char32_t to_bold_italic(char32_t ch) noexcept;  // Greek letters too
// LaTeX's bold, as TeX sets Greek: \mathbf's bold with capital Greek bold upright, small Greek
// unchanged; \boldsymbol's bold italic with capital Greek bold upright.
[[nodiscard]] char32_t to_bold_greek(char32_t ch) noexcept;
[[nodiscard]] char32_t to_bold_symbol(char32_t ch) noexcept;

// ---- script forms: a character's superscript or subscript form, or 0 when it has none ----

[[nodiscard]] char32_t superscript_form(char32_t ch) noexcept;
[[nodiscard]] char32_t subscript_form(char32_t ch) noexcept;
// The LaTeX dialect's: prime marks keep their own form; no y, which Unicode has only as a
// subscript Greek gamma (ᵧ), read as γ.
[[nodiscard]] char32_t prime_or_superscript_form(char32_t ch) noexcept;
[[nodiscard]] char32_t latex_subscript_form(char32_t ch) noexcept;
// The forms of ASCII pictures: prime marks stay beside their letter, and nothing else has a
// script form, so scripts go on rows of their own.
[[nodiscard]] char32_t prime_form(char32_t ch) noexcept;
[[nodiscard]] char32_t no_form(char32_t ch) noexcept;

// ---- prime marks ----

// One to four primes as one character each: ′ ″ ‴ ⁗.
inline constexpr std::u32string_view kPrimeMarks = U"′″‴⁗";

[[nodiscard]] constexpr bool is_prime_mark(char32_t ch) noexcept {
  return kPrimeMarks.find(ch) != std::u32string_view::npos;
}

// `count` primes in UTF-8, four to a character: ⁗ for each four, then ′, ″ or ‴ for the rest.
[[nodiscard]] std::string prime_marks(std::size_t count);

// Whether a UTF-8 text starts with a prime mark.
[[nodiscard]] bool starts_with_prime(std::string_view utf8) noexcept;

// ---- delimiters ----

// The pieces of one side of a tall sign, top to bottom.
struct Pieces {
  char32_t top, middle, bottom;
};

// How a delimiter is drawn over several rows.
enum class Stroke : unsigned char {
  Pieces,   // down one column, from its pieces
  Rising,   // /: a column a row from the bottom left, as wide as it is tall
  Falling,  // \: the same from the top left
  Angle,  // ⟨ and ⟩: the top piece above the middle row, the bottom one below, the middle one on it
};

struct Delimiter {
  char32_t ch;
  Pieces pieces;
  char32_t centre;  // drawn on the baseline when that is a middle row (a brace's point), or 0
  Stroke stroke;
  // Drawn over exactly two rows where a side's own pieces are drawn (LaTeX's \left and \right),
  // top and bottom, or 0: a brace there is a moustache (⎰ ⎱), which two pieces of three would
  // leave without its point and so like a parenthesis.
  char32_t two_top = 0, two_bottom = 0;
  // Drawn on the two middle rows of an even number of rows where a side's own pieces are drawn,
  // or 0: a brace's point between two rows (⎭ over ⎫).
  char32_t tip_top = 0, tip_bottom = 0;
};

// How `ch` is drawn over several rows: its own pieces, or the character repeated.
[[nodiscard]] Delimiter delimiter(char32_t ch) noexcept;

// The closing partner of an opening delimiter that has one: ( [ { | give ) ] } |; else 0.
[[nodiscard]] char32_t closing_partner(char32_t open) noexcept;

// The pieces of the tall integral signs: the exact markup's ⎛ ⎜ ⎠, and ⌠ ⎮ ⌡.
inline constexpr Pieces kHookPieces{U'⎛', U'⎜', U'⎠'};
inline constexpr Pieces kIntegralPieces{U'⌠', U'⎮', U'⌡'};

// ---- marks drawn across a row ----

// A mark drawn across a whole row from pieces rather than repeated: an arrow with one head, or a
// brace, bracket or parenthesis over or under its content.
struct Across {
  char32_t mark, left, fill, middle, right;  // middle 0: none
};

// The pieces of `mark` drawn across, or nullptr when it is repeated.
[[nodiscard]] const Across* across(char32_t mark) noexcept;

// ---- large operators ----

enum class SignDrawing : unsigned char {
  Own,        // its own character on the middle row
  Summation,  // the summation sign's strokes
  Box,        // box-drawing pieces three columns wide, top, middle rows, bottom
};

struct OperatorSign {
  char32_t sign;
  SignDrawing drawing;
  std::u32string_view top, rows, bottom;  // Box: three characters each
  char32_t mark;                          // Box: drawn in the middle of the middle row, or 0
};

// How the sign of a large operator is drawn.
[[nodiscard]] OperatorSign operator_sign(char32_t sign) noexcept;

// ---- relations ----

// The negation of a relation where Unicode has it as one character (= ≠, ∈ ∉), or 0.
[[nodiscard]] char32_t negated(char32_t ch) noexcept;

// ---- accents in one row ----

// The combining character that draws an accent's mark over (or `below`) one letter, or 0.
[[nodiscard]] char32_t combining_mark(char32_t mark, bool below) noexcept;

// ---- ASCII ----

// A character spelt as a word, or "" for none.
using Words = std::string_view (*)(char32_t) noexcept;

// How a formula's one-row form in ASCII spells what has no one-character spelling: Greek letters
// by name (alpha), relations and arrows as people type them (<=, ->), large operators and other
// signs as words (sum, int, inf); "" for any other character.
[[nodiscard]] std::string_view ascii_word(char32_t ch) noexcept;

// The ASCII spelling of a character of a picture (LaTeX's ascii option): box-drawing and bracket
// pieces as - | / \ + = [ ] < >, the signs' strokes likewise, and the symbols that have a
// one-character spelling (′ as ', − as -); every other character comes back unchanged.
[[nodiscard]] char32_t ascii_form(char32_t ch) noexcept;

}  // namespace vok
