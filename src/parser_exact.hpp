// The exact markup's grammar:
//
//   expression    juxtaposition { operator juxtaposition }   (+ - = *, equal precedence, left)
//   juxtaposition scripted { scripted }                      (only while the next token continues)
//   scripted      atom { ^atom | _atom | ' }                 (at most one ^ and one _)
//   atom          { expr } | [ expr ] | ( expr ) | | expr | | -atom | symbol | number | escape
//                 | \left … \right | \begin{env} … \end{env} | \command arguments
//
// \left … \right pairs and matrix bodies are found by scanning forward for the closing command
// and then parsed as an inner range by a sub-parser, whose error positions count from the start of
// that range. Nesting counts expression and atom calls.
#pragma once

#include <optional>
#include <string>

#include "parser.hpp"

namespace vok {

class ExactParser : ParserBase {
 public:
  ExactParser(std::span<const Lexeme> tokens, std::string_view input, const Vocabulary& vocabulary,
              ListStack& lists, std::size_t depth = 0) noexcept
      : ParserBase(tokens, input, vocabulary, lists, depth) {}

  // expression: juxtaposition { operator juxtaposition }; the tree's nodes are in the arena.
  [[nodiscard]] Result<Box> parse_expr();

 private:
  // Moves past the current token if it equals `wanted`, else fails.
  [[nodiscard]] Result<void> expect(const Token& wanted);

  [[nodiscard]] Result<Box> parse_juxtapose();
  [[nodiscard]] Result<Box> parse_scripted();
  [[nodiscard]] Result<Box> parse_atom();
  [[nodiscard]] Result<Box> parse_atom_at_depth();
  // An expression between an opening token, the current one, and `closing`.
  [[nodiscard]] Result<Box> enclosed(const Token& closing);
  // { expr } with the braces dropped: the inside of a braced argument or body.
  [[nodiscard]] Result<Box> parse_braced();
  // An inner range with a sub-parser; Empty for an empty range.
  [[nodiscard]] Result<Box> parse_tokens(std::span<const Lexeme> range);
  [[nodiscard]] Result<Box> parse_command(const Lexeme& token);
  [[nodiscard]] Result<Box> parse_arguments(std::string_view name, const Definition* def);
  // The index of the command of role `close` that matches an already consumed one of role `open`,
  // counting nested pairs, or nullopt when the tokens end first.
  [[nodiscard]] std::optional<std::size_t> find_closing(std::size_t from, Role open,
                                                        Role close) const;
  [[nodiscard]] Result<Box> parse_left_delimited();
  [[nodiscard]] Result<Box> parse_begin();
  [[nodiscard]] Result<std::span<const ExprList>> parse_matrix_body(std::span<const Lexeme> body);
  [[nodiscard]] Result<std::string> parse_continuous_string(const Token& terminator);
};

}  // namespace vok
