// A dialect as one value: everything that differs between vok's exact markup and LaTeX as people
// write it, chosen once for a call by the pipeline. Each stage takes the part of this value it
// needs, and no stage asks which dialect it reads.
#pragma once

#include <array>
#include <string_view>

#include "macros.hpp"
#include "measure.hpp"
#include "parser.hpp"
#include "token.hpp"
#include "vocabulary.hpp"
#include "vok/vok.hpp"

namespace vok {

struct DialectRules {
  const LexerRules* lexer;       // how its text is read into tokens
  const Vocabulary* vocabulary;  // its commands and environments
  MacroExpander expand;          // its macros expanded between the lexer and the parser, or not
  Grammar grammar;               // how its tokens are read into a tree
  Drawing drawing;               // how its trees are drawn
  Drawing ascii;                 // the same from ASCII characters, for the ascii option
  Drawing linear;                // the formula on one row, for the linear option
  Drawing linear_ascii;          // the same from ASCII characters
  bool breaks_lines;             // whether a width breaks a wide formula into lines
  // The group a symbol of each math class is listed under in the list of commands.
  std::array<std::string_view, 8> symbol_groups;
};

// The rules of a dialect.
[[nodiscard]] const DialectRules& dialect_rules(Dialect dialect) noexcept;

}  // namespace vok
