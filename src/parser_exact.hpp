// The exact markup's grammar:
//
//   expression    juxtaposition { operator juxtaposition }   (+ - = *, equal precedence, left)
//   juxtaposition scripted { scripted }                      (only while the next token continues)
//   scripted      atom { ^atom | _atom | ' }                 (at most one ^ and one _)
//   atom          { expr } | [ expr ] | ( expr ) | | expr | | -atom | symbol | number | escape
//                 | \left … \right | \begin{env} … \end{env} | \command arguments
//
// \left … \right pairs and matrix bodies are found by looking up the closing command and then
// parsed as an inner range by a sub-parser, whose error positions count from the start of that
// range. Nesting counts expression and atom calls.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "parser.hpp"

namespace vok {

// Where the pairs of \left … \right and of \begin … \end close in the whole formula, and what the
// brackets within each \begin … \end pair do to a count of open ones: found in one pass over its
// tokens when first asked for, and shared by the sub-parsers, so that pairs nested in one another
// are not each scanned to their end.
class Closings {
 public:
  explicit Closings(std::span<const Lexeme> tokens) noexcept : tokens_(tokens) {}
  ~Closings();
  Closings(const Closings&) = delete;
  Closings& operator=(const Closings&) = delete;

  // The formula's first token: a sub-parser's tokens are a range of the formula's.
  [[nodiscard]] const Lexeme* first() const noexcept { return tokens_.data(); }

  // The index of the command (of role Right, or End) that closes the pair opened by the command
  // at `opener` (of role Left, or Begin), counting the pairs between; nullopt when none does.
  // `role` gives a token's role.
  template <class RoleOf>
  [[nodiscard]] std::optional<std::size_t> closing(std::size_t opener, const RoleOf& role);

  // The count of open brackets ({ [ and ( less } ] and ), never below 0) after the tokens inside
  // the closed \begin … \end pair opened at `opener`, from `count` before them.
  [[nodiscard]] std::size_t brackets_after(std::size_t opener, std::size_t count) const noexcept;

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;  // no formula has that many tokens

  // The three arrays below in one block: a short formula's in the current arena, a long one's on
  // the heap (`heap_` bytes of it), freed with the parsers.
  void allocate();

  std::span<const Lexeme> tokens_;
  std::uint32_t* match_ = nullptr;    // each opener's closing command, else kNone
  std::int64_t* brackets_ = nullptr;  // open brackets less closed ones before each token, and
                                      // after the last
  std::int64_t* lowest_ = nullptr;    // for each closed \begin, the fewest before a token of its
                                      // pair or its \end
  std::size_t heap_ = 0;
};

class ExactParser : ParserBase {
 public:
  ExactParser(std::span<const Lexeme> tokens, std::string_view input, const Vocabulary& vocabulary,
              ListStack& lists, Closings& closings, std::size_t depth = 0) noexcept
      : ParserBase(tokens, input, vocabulary, lists, depth), closings_(closings) {}

  // expression: juxtaposition { operator juxtaposition }; the tree's nodes are in the arena.
  [[nodiscard]] Result<Box> parse_expr();

 private:
  // Moves past the current token if it is of the kind `wanted`, a kind without payload, else fails.
  [[nodiscard]] Result<void> expect(TokenKind wanted);
  // The error of a missing `wanted` token where the current one is.
  [[nodiscard, gnu::cold, gnu::noinline]] ParseError missing(TokenKind wanted) const;

  [[nodiscard]] inline Result<Box> parse_juxtapose();
  // A scripted atom: a letter, number or command of no arguments alone read at once, anything
  // else by parse_scripted().
  [[nodiscard]] inline Result<Box> scripted();
  [[nodiscard]] Result<Box> parse_scripted();
  [[nodiscard]] Result<Box> parse_atom();
  // An expression between an opening token, the current one, and a token of the kind `closing`,
  // these dropped: the inside of a group or of a braced argument or body.
  [[nodiscard]] Result<Box> enclosed(TokenKind closing);
  // The leaf of an identifier or a number token.
  [[nodiscard]] inline Box leaf_of(const Lexeme& token) const;
  // An inner range with a sub-parser; Empty for an empty range.
  [[nodiscard]] Result<Box> parse_tokens(std::span<const Lexeme> range);
  [[nodiscard]] Result<Box> parse_command(const Lexeme& token);
  [[nodiscard]] Result<Box> parse_arguments(std::string_view name, const Definition* def);
  // The index of the \right or \end that closes the pair the \left or \begin at `opener` opens,
  // counting nested pairs, or nullopt when this parser's tokens end first.
  [[nodiscard]] std::optional<std::size_t> find_closing(std::size_t opener) const;
  [[nodiscard]] Result<Box> parse_left_delimited();
  [[nodiscard]] Result<Box> parse_begin();
  [[nodiscard]] Result<std::span<const ExprList>> parse_matrix_body(std::span<const Lexeme> body);
  [[nodiscard]] Result<std::string_view> parse_name();

  Closings& closings_;
};

}  // namespace vok
