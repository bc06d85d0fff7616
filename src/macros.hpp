// Macros: a LaTeX formula's tokens with the macros it defines (\newcommand, \def, \let,
// \DeclareMathOperator …) and those the caller gives replaced by their definitions, as TeX expands
// them, between the lexer and the parser.
//
// A formula that defines nothing and is given no macro is not touched. Otherwise the expansion is
// written out as text again, each token with the white space it had before it, and that text is
// what the parser reads; each token of it remembers the byte of the input it came from (a token
// of a definition the place where it was written, a caller's macro the place where it was used),
// so that a message names the place in the formula as written.
//
// A definition lasts to the end of the braces it is made in, a global one (\gdef, \xdef, \global)
// to the end of the formula. Expansion is bounded: at most kMaxExpansions macros are expanded in
// one formula, and the tokens they produce may not exceed kExpansionBudget plus a multiple of the
// formula's own, so that a macro that calls itself or a chain that doubles at each step ends in an
// error naming the macro, in time linear in the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "error.hpp"
#include "token.hpp"
#include "vok/vok.hpp"

namespace vok {

inline constexpr std::size_t kMaxExpansions = 10'000;
inline constexpr std::size_t kExpansionBudget = 1 << 16;  // tokens, plus 64 per token of the input

// A formula with its macros expanded: the text the parser reads, and for each of its bytes that
// starts a token, the byte of the input the token came from.
struct Expansion {
  std::string_view text;
  std::span<const std::uint32_t> starts;   // the byte in `text` each token starts at, ascending
  std::span<const std::uint32_t> origins;  // the byte of the input it came from
};

// The expansion of `tokens`, lexed from `input` by `lexer`, with `given` in force from the start;
// nothing when the formula defines no macro and none is given. In the current arena.
[[nodiscard]] Result<std::optional<Expansion>> expand_macros(
    std::span<const Lexeme> tokens, std::string_view input, const LexerRules& lexer,
    std::span<const MacroDefinition> given);

// How a dialect treats macros: expand_macros, or as_written, which expands nothing.
using MacroExpander = Result<std::optional<Expansion>> (*)(std::span<const Lexeme> tokens,
                                                           std::string_view input,
                                                           const LexerRules& lexer,
                                                           std::span<const MacroDefinition> given);
[[nodiscard]] Result<std::optional<Expansion>> as_written(std::span<const Lexeme> tokens,
                                                          std::string_view input,
                                                          const LexerRules& lexer,
                                                          std::span<const MacroDefinition> given);

// An error of the expanded text, placed at the byte of the input its token came from.
[[nodiscard]] ParseError placed_in_input(ParseError error, const Expansion& expansion,
                                         std::string_view input);

}  // namespace vok
