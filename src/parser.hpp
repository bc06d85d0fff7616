// The parser: tokens to one expression tree, by recursive descent without backtracking. One
// parser reads both dialects, each with its own grammar over the same tokens, lists and limits.
//
// The exact markup (parser.cpp):
//
//   expression    juxtaposition { operator juxtaposition }   (+ - = *, equal precedence, left)
//   juxtaposition scripted { scripted }                      (only while the next token continues)
//   scripted      atom { ^atom | _atom | ' }                 (at most one ^ and one _)
//   atom          { expr } | [ expr ] | ( expr ) | | expr | | -atom | symbol | number | escape
//                 | \left … \right | \begin{env} … \end{env} | \command arguments
//
// Commands are data: what the parser does with a command, and which arguments it reads, come from
// the command's row in the vocabulary; the parser never asks for a name. \left … \right pairs and
// matrix bodies are found by scanning forward for the closing command and then parsed as an inner
// range by a sub-parser, whose error positions count from the start of that range.
//
// LaTeX as people write it (parser_latex.cpp), read as TeX reads math:
//
//   formula   [ $ | $$ | \( | \[ ] list [ the matching closer ]
//   list      { space | switch | atom }        up to its closing token: } ] & \\ \right \end
//   atom      nucleus { ^argument | _argument | ' }     (one ^ and one _ at most, as in TeX)
//   nucleus   { list } | symbol | \command arguments | \left d list \right d
//             | \begin{env} cells \end{env}
//   argument  { list } | one token (a symbol, or a command with its own arguments)
//
// Every atom has a math class (ordinary, operator, binary, relation, opening, closing,
// punctuation, inner); a list turns a binary operator that has no operand into an ordinary atom
// and puts one blank between the atoms that TeX spaces apart, none inside scripts. A switch (\bf)
// takes the rest of its list. Nothing is skipped: a token that closes nothing is an error.
//
// Nesting is bounded: the list and atom calls in progress (parse_expr and parse_atom in the exact
// markup), those of enclosing parsers included, may not exceed kMaxDepth ("formula nested too
// deeply"). Chains of operators and juxtapositions are loops, not nesting, so they may be as long
// as the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ast.hpp"
#include "error.hpp"
#include "token.hpp"
#include "vocabulary.hpp"

namespace vok {

// The deepest nesting of parse_expr and parse_atom calls a formula may ask for.
inline constexpr std::size_t kMaxDepth = 256;

class Parser {
 public:
  // A parser over `tokens` at position 0. `input` is the whole formula (for quoting source text);
  // `lists` is the stack its lists are built on, shared with the parsers it creates; `depth` is
  // the nesting already in progress in the parser that creates this one.
  Parser(std::span<const Lexeme> tokens, std::string_view input, const Vocabulary& vocabulary,
         ListStack& lists, std::size_t depth = 0) noexcept
      : tokens_(tokens), input_(input), vocabulary_(vocabulary), lists_(lists), depth_(depth) {}

  // expression: juxtaposition { operator juxtaposition }; the tree's nodes are in the arena.
  [[nodiscard]] Result<Box> parse_expr();
  // A whole formula in the LaTeX dialect.
  [[nodiscard]] Result<Box> latex_formula();

 private:
  // Raises the nesting depth for the lifetime of one parse_expr or parse_atom call (one list or
  // atom in the LaTeX dialect).
  class DepthGuard {
   public:
    explicit DepthGuard(std::size_t& depth) noexcept : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    [[nodiscard]] bool exceeded() const noexcept { return depth_ > kMaxDepth; }

   private:
    std::size_t& depth_;
  };

  [[nodiscard]] const Lexeme* current() const noexcept {
    return pos_ < tokens_.size() ? &tokens_[pos_] : nullptr;
  }
  [[nodiscard]] bool at(TokenKind kind) const noexcept {
    return pos_ < tokens_.size() && tokens_[pos_].kind == kind;
  }
  // The current token; the caller has checked that there is one.
  const Lexeme& advance() noexcept { return tokens_[pos_++]; }
  // Moves past the current token if it equals `wanted`, else fails.
  [[nodiscard]] Result<void> expect(const Token& wanted);

  [[nodiscard]] Result<Box> parse_juxtapose();
  [[nodiscard]] Result<Box> parse_scripted();
  [[nodiscard]] Result<Box> parse_atom();
  [[nodiscard]] Result<Box> parse_atom_at_depth();
  // { expr } with the braces dropped: the inside of a braced argument or body.
  [[nodiscard]] Result<Box> parse_braced();
  // An inner range with a sub-parser; Empty for an empty range.
  [[nodiscard]] Result<Box> parse_tokens(std::span<const Lexeme> range);
  [[nodiscard]] Result<Box> parse_command(std::string_view name, const Definition* def);
  // The row of a command token, or nullptr; the last lookup is remembered, as a list's end test
  // and the command's reading ask for the same token one after the other.
  [[nodiscard]] const Definition* definition(const Lexeme& lexeme) const noexcept {
    return &lexeme == looked_up_ ? found_ : look_up(lexeme);
  }
  [[nodiscard]] const Definition* look_up(const Lexeme& lexeme) const noexcept;
  // The role of a token: a command's row's role, Construct for anything else.
  [[nodiscard]] Role role_of(const Lexeme& lexeme) const noexcept;
  // The index of the command of role `close` that matches an already consumed one of role `open`,
  // counting nested pairs, or nullopt when the tokens end first.
  [[nodiscard]] std::optional<std::size_t> find_closing(std::size_t from, Role open,
                                                        Role close) const;
  [[nodiscard]] Result<Box> parse_left_delimited();
  [[nodiscard]] Result<Box> parse_begin();
  [[nodiscard]] Result<std::span<const ExprList>> parse_matrix_body(std::span<const Lexeme> body);
  [[nodiscard]] Result<std::string> parse_continuous_string(const Token& terminator);

  // ---- the LaTeX dialect (parser_latex.cpp) ----

  // An atom or a space of a list, with the class that decides the blanks around it.
  struct Item {
    Box expr;
    MathClass cls;
    bool atom;  // false for spaces, which take no part in the classes' spacing
  };
  // What ends a list besides the end of the tokens, and how it starts.
  enum Stop : std::uint8_t {
    kAtEnd = 0,
    kAtBrace = 1,    // }
    kAtBracket = 2,  // ] of an optional argument
    kAtCell = 4,     // & \\ \end
    kAtRight = 8,    // \right \middle
    kAtRow = 16,     // & \\ (a formula that is a table of its own)
    kAfterOrd = 32,  // the list starts after an empty ordinary atom, as amsmath's right-hand
                     // columns do, so that a relation there is spaced
  };
  // A table's body: its rows, each as long as the longest, and the count of horizontal rules above
  // each row and below the last (empty when there are none).
  struct Rows {
    std::span<const ExprList> rows;
    std::span<const std::uint8_t> lines;
  };

  [[nodiscard]] Result<Box> latex_list(std::uint8_t stop, bool script);
  [[nodiscard]] Result<Item> latex_atom(bool script);
  [[nodiscard]] Result<Item> latex_nucleus(bool script);
  [[nodiscard]] Item latex_digits();
  [[nodiscard]] Result<Box> latex_argument(bool script, const Lexeme& owner);
  [[nodiscard]] Result<Box> latex_group(bool script);
  [[nodiscard]] Result<Item> latex_command(const Lexeme& token, bool script);
  [[nodiscard]] Result<Box> latex_arguments(const Lexeme& token, const Definition& def,
                                            bool script);
  [[nodiscard]] Result<Box> latex_text(const Lexeme& owner);
  [[nodiscard]] Result<std::size_t> latex_dimension(bool braced, const Lexeme& owner);
  [[nodiscard]] Result<Item> latex_left(const Lexeme& token, bool script);
  [[nodiscard]] Result<char32_t> latex_delimiter(const Lexeme& owner);
  [[nodiscard]] Result<Item> latex_environment(const Lexeme& token, bool script);
  [[nodiscard]] Result<Rows> latex_rows(std::uint8_t stop, bool pairs, bool script, Box first);
  [[nodiscard]] Result<TableLayout> latex_columns(const Lexeme& owner, TableLayout layout);
  [[nodiscard]] Item latex_table(Rows body, const TableLayout& layout);
  [[nodiscard]] MathClass class_of(const Expr& atom) const;
  [[nodiscard]] Result<std::string_view> latex_name(const Lexeme& owner);
  // A token that ends a list: nothing when it may end this one, else the error it is.
  [[nodiscard]] Result<bool> latex_ends(const Lexeme& token, std::uint8_t stop) const;

  std::span<const Lexeme> tokens_;
  std::string_view input_;
  const Vocabulary& vocabulary_;
  ListStack& lists_;
  std::size_t depth_;
  std::size_t pos_ = 0;
  // Where the innermost brace still open was opened, and how many tables are being read: a cell
  // separator in a group of a table means that group was not closed.
  std::size_t open_brace_ = 0;
  std::size_t tables_ = 0;
  mutable const Lexeme* looked_up_ = nullptr;
  mutable const Definition* found_ = nullptr;
};

// A dialect's grammar: a whole formula's tokens to its tree, in the current arena, with the
// commands and environments of `vocabulary`.
using Grammar = Result<Box> (*)(std::span<const Lexeme> tokens, std::string_view input,
                                const Vocabulary& vocabulary);

// The exact markup's grammar, and LaTeX's.
[[nodiscard]] Result<Box> parse_exact(std::span<const Lexeme> tokens, std::string_view input,
                                      const Vocabulary& vocabulary);
[[nodiscard]] Result<Box> parse_latex(std::span<const Lexeme> tokens, std::string_view input,
                                      const Vocabulary& vocabulary);

}  // namespace vok
