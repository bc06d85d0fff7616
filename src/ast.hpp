// The expression tree of one formula: a closed sum of 19 node kinds.
//
// Nodes live in the arena of the render call (see arena.hpp): every child is referred to by its
// parent alone, through a pointer or a span, and dies with the arena, so a tree is never destroyed
// node by node and its depth costs nothing when the call ends. Texts are views of the input, which
// outlives the call. The parser builds a tree bottom-up; the renderer only reads it. Trees are
// bounded in depth by the parser's nesting guard, except for the left spine of an infix chain,
// which may be as long as the formula: that spine is walked in loops, never recursively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "arena.hpp"

namespace vok {

struct Expr;
struct Definition;
struct EnvironmentDef;
struct TableLayout;
using Box = const Expr*;                // a child, never null
using ExprList = std::span<const Box>;  // an ordered list of children

// The four infix operators, all of equal precedence and left-associative.
enum class BinOp : std::uint8_t { Plus, Minus, Equals, Times };

struct Symbol {  // one character drawn as is: an identifier or a punctuation atom
  std::string_view text;
};
struct Number {  // a run of ASCII digits
  std::string_view text;
};
struct Group {  // a braced group, drawn without braces
  Box inner;
};
struct Parens {  // ( … ), drawn with stretchy parentheses
  Box inner;
};
struct Brackets {  // [ … ], drawn with stretchy brackets
  Box inner;
};
struct Delimited {  // \left X … \right Y; X is one of ( [ { | and Y its partner
  Box inner;
  char32_t open;
  char32_t close;
};
struct Negate {  // unary minus in front of one atom
  Box inner;
};
struct CommandParts {  // what follows a command's name, kept out of line so every node stays small
  const Definition* def;  // the vocabulary's row for the name, looked up once; null if unknown
  ExprList optional;
  ExprList args;
};
struct Command {  // \name with its optional and mandatory arguments; "|" for a pair of bars
  std::string_view name;
  const CommandParts* parts;  // never null
};
struct Superscript {
  Box base;
  Box sup;
};
struct Subscript {
  Box base;
  Box sub;
};
struct SubSup {
  Box base;
  Box sub;
  Box sup;
};
struct Primes {  // base followed by `count` (at least 1) prime marks
  Box base;
  std::size_t count;
};
struct Infix {  // lhs op rhs; chains are left-deep
  Box lhs;
  Box rhs;
  BinOp op;
};
struct Sequence {  // juxtaposition of at least two items, drawn side by side
  ExprList items;
};
struct Empty {};  // nothing: an empty group, cell or range
struct Space {    // blank columns: a spacing escape, or a blank between atoms
  std::size_t columns;
  bool script_omits = false;  // the blank between two atoms that a script leaves out (LaTeX's
                              // limits, set as display lists in a picture, as scripts in one row)
};
struct LeftRight {  // \left d … \middle d … \right d (LaTeX): parts between delimiters, 0 for "."
  ExprList parts;
  const char32_t* delimiters;  // one more than the parts
};
struct Matrix {  // a matrix environment and its cells, row by row
  std::span<const ExprList> rows;
  const EnvironmentDef* env;  // never null
};
struct Table {  // an environment's cells row by row, set out by its layout (LaTeX)
  std::span<const ExprList> rows;
  const TableLayout* layout;  // never null
};

using ExprVariant = std::variant<Symbol, Number, Group, Parens, Brackets, Delimited, Negate,
                                 Command, Superscript, Subscript, SubSup, Primes, Infix, Sequence,
                                 Empty, Space, LeftRight, Matrix, Table>;

struct Expr : ExprVariant {
  using ExprVariant::ExprVariant;
};

static_assert(std::is_trivially_destructible_v<Expr>, "tree nodes die with their arena");
static_assert(sizeof(Expr) <= 32, "nodes stay small");

// A new node of kind `Node` in the current arena, built in place from its fields.
template <class Node, class... Fields>
[[nodiscard]] Box make_node(Fields&&... fields);

template <class Node, class... Fields>
Box make_node(Fields&&... fields) {
  return current_arena().make<Expr>(std::in_place_type<Node>, std::forward<Fields>(fields)...);
}

namespace detail {

// Every ASCII byte as a one-byte text, and the leaves of each kind holding it.
inline constexpr std::array<char, 128> kBytes = [] {
  std::array<char, 128> bytes{};
  for (std::size_t c = 0; c < bytes.size(); ++c) bytes[c] = static_cast<char>(c);
  return bytes;
}();

template <class Leaf>
constexpr std::array<Expr, 128> make_leaves() {
  std::array<Expr, 128> leaves{};
  for (std::size_t c = 0; c < leaves.size(); ++c)
    leaves[c] = Expr(std::in_place_type<Leaf>, std::string_view(&kBytes[c], 1));
  return leaves;
}

template <class Leaf>
inline constexpr std::array<Expr, 128> kLeaves = make_leaves<Leaf>();

}  // namespace detail

// A leaf (Symbol or Number) holding `text`, a view of the input. One-byte texts share
// constant nodes, one per kind and byte, so a formula of a million letters makes no node for them.
template <class Leaf>
[[nodiscard]] Box leaf(std::string_view text) {
  if (text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80)
    return &detail::kLeaves<Leaf>[static_cast<unsigned char>(text[0])];
  return make_node<Leaf>(text);
}

// The tree in one line, for tests and debugging: Sequence[Symbol("a"), Symbol("b")],
// Infix(Plus, Symbol("a"), Empty), Command("frac", [], [Number("1"), Number("2")]).
[[nodiscard]] std::string print(const Expr& expr);

}  // namespace vok
