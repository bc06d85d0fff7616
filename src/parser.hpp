// The parsers: tokens to one expression tree, by recursive descent without backtracking. Each
// dialect has a grammar of its own (parser_exact.hpp, parser_latex.hpp), and both read through the
// base below: the tokens and the position in them, the input for quoting source text, the
// vocabulary whose rows say what a command does, the stack lists are built on, and the nesting
// guard. Neither grammar asks for a command by name: what a command does, and which arguments it
// reads, come from its row.
//
// Nesting is bounded: the readings in progress that follow the input's nesting (a list, an atom,
// an argument, a text), those of enclosing parsers included, may not exceed kMaxDepth ("formula
// nested too deeply"). Chains of operators and juxtapositions are loops, not nesting, so they may
// be as long as the input.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

#include "arena.hpp"
#include "ast.hpp"
#include "error.hpp"
#include "token.hpp"
#include "vocabulary.hpp"

// The deepest nesting a formula may ask for; a build may lower it, as the nesting tests do to reach
// it with small inputs.
#ifndef VOK_MAX_DEPTH
#define VOK_MAX_DEPTH 256
#endif

namespace vok {

inline constexpr std::size_t kMaxDepth = VOK_MAX_DEPTH;

// A dialect's grammar: a whole formula's tokens to its tree, in the current arena, with the
// commands and environments of `vocabulary`. `numbers` counts the equation numbers given so far
// (in a document, by the formulas before this one); a numbered row takes the next.
using Grammar = Result<Box> (*)(std::span<const Lexeme> tokens, std::string_view input,
                                const Vocabulary& vocabulary, std::size_t& numbers);

// The exact markup's grammar (parser_exact.cpp), and LaTeX's (parser_latex_*.cpp).
[[nodiscard]] Result<Box> parse_exact(std::span<const Lexeme> tokens, std::string_view input,
                                      const Vocabulary& vocabulary, std::size_t& numbers);
[[nodiscard]] Result<Box> parse_latex(std::span<const Lexeme> tokens, std::string_view input,
                                      const Vocabulary& vocabulary, std::size_t& numbers);

// The stack a formula's lists are built on. Every list item covers tokens of its own, and so does
// every finished table row but the last of each table, so the stack never holds more entries than
// there are tokens and tables; a LaTeX list also holds a blank between two atoms, hence the room
// for two entries a token. Only the part of the room that lists use is ever touched. A short
// formula's stack is in the current arena; a long one's on the heap, freed when the tree is made,
// before the tree is measured and painted.
[[nodiscard]] inline ListStack list_stack(std::size_t tokens) {
  constexpr std::size_t kArenaStack = 4096;
  const std::size_t bytes = 2 * (tokens + 2) * sizeof(ExprList);
  if (bytes > kArenaStack) return ListStack(bytes);
  return ListStack(static_cast<std::byte*>(current_arena().allocate(bytes, ListStack::kAlign)),
                   bytes);
}

class ParserBase {
 protected:
  // A parser over `tokens` at position 0. `input` is the whole formula; `lists` is the stack its
  // lists are built on, shared with the parsers it creates; `depth` is the nesting already in
  // progress in the parser that creates this one.
  ParserBase(std::span<const Lexeme> tokens, std::string_view input, const Vocabulary& vocabulary,
             ListStack& lists, std::size_t depth) noexcept
      : tokens_(tokens), input_(input), vocabulary_(vocabulary), lists_(lists), depth_(depth) {}

  // One more level of nesting for as long as it lives; `exceeded` says whether the limit is
  // passed, and the reading must then stop with the error of too_deep().
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

  // Whether `levels` more levels of nesting would pass the limit.
  [[nodiscard]] bool deeper_than_allowed(std::size_t levels) const noexcept {
    return depth_ + levels > kMaxDepth;
  }
  [[nodiscard]] static std::unexpected<ParseError> too_deep() {
    return fail(std::string(message::kTooDeep));
  }

  [[nodiscard]] const Lexeme* current() const noexcept {
    return pos_ < tokens_.size() ? &tokens_[pos_] : nullptr;
  }
  [[nodiscard]] bool at(TokenKind kind) const noexcept {
    return pos_ < tokens_.size() && tokens_[pos_].kind == kind;
  }
  // The current token; the caller has checked that there is one.
  const Lexeme& advance() noexcept { return tokens_[pos_++]; }

  // The row of a command token, or nullptr; the last lookup is remembered, as a list's end test
  // and the command's reading ask for the same token one after the other.
  [[nodiscard]] const Definition* definition(const Lexeme& lexeme) const noexcept {
    if (&lexeme != looked_up_) {
      looked_up_ = &lexeme;
      found_ =
          lexeme.kind == TokenKind::Command ? vocabulary_.find(lexeme.payload(input_)) : nullptr;
    }
    return found_;
  }
  // The role of a token: a command's row's role, Construct for anything else.
  [[nodiscard]] Role role_of(const Lexeme& lexeme) const noexcept {
    const Definition* def = definition(lexeme);
    return def == nullptr ? Role::Construct : def->role;
  }
  // What the escape token `lexeme` stands for.
  [[nodiscard]] const EscapeDef& escape(const Lexeme& lexeme) const noexcept {
    return vocabulary_.escape(decode_utf8(lexeme.payload(input_), 0).ch);
  }

  std::span<const Lexeme> tokens_;
  std::string_view input_;
  const Vocabulary& vocabulary_;
  ListStack& lists_;
  std::size_t depth_;
  std::size_t pos_ = 0;

 private:
  mutable const Lexeme* looked_up_ = nullptr;
  mutable const Definition* found_ = nullptr;
};

// A command node, with its parts beside it in the arena, the two made at once.
[[nodiscard]] inline Box command(std::string_view name, const Definition* def,
                                 ExprList optional = {}, ExprList args = {}) {
  struct NodeAndParts {
    Expr node;
    CommandParts parts;
  };
  auto* made = current_arena().allocate_array<NodeAndParts>(1);
  const auto* parts = new (&made->parts) CommandParts{def, optional, args};
  return new (&made->node) Expr(std::in_place_type<Command>, name, parts);
}

// A list of the given items, in the arena.
[[nodiscard]] inline ExprList list_of(std::initializer_list<Box> items) {
  Box* out = current_arena().allocate_array<Box>(items.size());
  std::ranges::copy(items, out);
  return {out, items.size()};
}

namespace detail {
inline constexpr Expr kEmpty = Empty{};
inline constexpr std::array<Expr, 5> kSpaces{Space{0}, Space{1}, Space{2}, Space{3}, Space{4}};
inline constexpr Expr kScriptOmits = Space{1, true};
}  // namespace detail

// The shared empty node.
[[nodiscard]] inline Box empty_node() noexcept { return &detail::kEmpty; }

// A node of `columns` blank columns; the narrow ones are shared.
[[nodiscard]] inline Box space_node(std::size_t columns) {
  return columns < detail::kSpaces.size() ? &detail::kSpaces[columns] : make_node<Space>(columns);
}

// The blank column between two atoms that TeX sets in a display list and leaves out of a script.
[[nodiscard]] inline Box script_omits_node() noexcept { return &detail::kScriptOmits; }

}  // namespace vok
