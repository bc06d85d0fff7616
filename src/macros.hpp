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
#include <string>
#include <string_view>
#include <unordered_map>

#include "error.hpp"
#include "token.hpp"
#include "vok/vok.hpp"

namespace vok {

// The commands the expansion carries out itself, by name: those that define macros, then those
// that rearrange the tokens after them (\expandafter, \@ifnextchar …). The lexer notes them
// (is_primitive), so that a formula that has none is not looked at again.
inline constexpr std::string_view kPrimitiveNames[] = {
    "def",         "edef",         "gdef",           "xdef",       "global",
    "newcommand",  "renewcommand", "providecommand", "let",        "DeclareMathOperator",
    "long",        "futurelet",    "expandafter",    "noexpand",   "@ifstar",
    "@ifnextchar", "@firstoftwo",  "@secondoftwo",   "begingroup", "endgroup"};
inline constexpr std::uint64_t kPrimitiveHashes = noted_hashes(kPrimitiveNames);
[[nodiscard]] bool is_primitive(std::string_view name) noexcept;

inline constexpr std::size_t kMaxExpansions = 10'000;
inline constexpr std::size_t kExpansionBudget = 1 << 16;  // tokens, plus 64 per token of the input

// A formula with its macros expanded: the text the parser reads, and for each of its bytes that
// starts a token, the byte of the input the token came from.
struct Expansion {
  std::string_view text;
  std::span<const Lexeme> tokens;          // its tokens, as the lexer would read them
  std::span<const std::uint32_t> origins;  // for each, the byte of the input it came from
};

// The definitions of a document's formulas kept for the formulas after them, as text (the call
// that made them is over), by name without the backslash.
struct StoredMacro {
  std::string pattern = {};      // \def's parameter text, or empty
  std::string replacement = {};  // with #1 … #9
  std::string fallback = {};     // the default of an optional first argument
  std::uint8_t parameters = 0;
  bool delimited = false;
  bool optional = false;
  bool token = false;  // a \let of a token that is no macro
};
struct MacroNameHash {
  using is_transparent = void;
  // FNV-1a: names are short, and a few of them are hashed many times.
  std::size_t operator()(std::string_view name) const noexcept {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return static_cast<std::size_t>(hash);
  }
};
using MacroTable = std::unordered_map<std::string, StoredMacro, MacroNameHash, std::equal_to<>>;

// Where a formula's macros come from besides its own definitions: the caller's, a text of
// definitions (a preamble: only its definitions count), and a document's table, which also keeps
// what the formula defines at its top level.
struct MacroSource {
  std::span<const MacroDefinition> given = {};
  std::string_view definitions = {};
  MacroTable* document = nullptr;
};

// The expansion of `tokens`, lexed from `input` by `lexer`, which noted `definitions` of macros
// among them; nothing when there is none and no macro is in force. In the current arena.
[[nodiscard]] Result<const Expansion*> expand_macros(std::span<const Lexeme> tokens,
                                                     std::size_t definitions,
                                                     std::string_view input,
                                                     const LexerRules& lexer,
                                                     const MacroSource& source);

// How a dialect treats macros: expand_macros, or as_written, which expands nothing.
using MacroExpander = Result<const Expansion*> (*)(std::span<const Lexeme> tokens,
                                                   std::size_t definitions, std::string_view input,
                                                   const LexerRules& lexer,
                                                   const MacroSource& source);
[[nodiscard]] Result<const Expansion*> as_written(std::span<const Lexeme> tokens,
                                                  std::size_t definitions, std::string_view input,
                                                  const LexerRules& lexer,
                                                  const MacroSource& source);

// Whether a formula defines a macro or uses another primitive (its picture may then be empty on
// purpose).
[[nodiscard]] bool defines_macros(std::string_view formula, const LexerRules& lexer);

// Reads the definitions of `text` (a preamble: everything else in it is ignored) into `table`.
[[nodiscard]] Result<void> read_definitions(std::string_view text, const LexerRules& lexer,
                                            MacroTable& table);

// An error of the expanded text, placed at the byte of the input its token came from.
[[nodiscard]] ParseError placed_in_input(ParseError error, const Expansion& expansion,
                                         std::string_view input);

}  // namespace vok
