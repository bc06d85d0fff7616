// The expression tree of one formula: a closed sum of 17 node kinds.
//
// Every child is owned by its parent alone (a heap box for a single child, a vector for lists) and
// every string is an owned copy of token text, so a tree refers to nothing outside itself. The
// parser builds it bottom-up; the renderer reads it. Trees are bounded in depth by the parser's
// nesting guard, except for the left spine of an infix chain, which may be as long as the formula:
// that spine is destroyed and printed iteratively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace vok {

struct Expr;
using Box = std::unique_ptr<Expr>;
using ExprList = std::vector<Expr>;

// The four infix operators, all of equal precedence and left-associative.
enum class BinOp : std::uint8_t { Plus, Minus, Equals, Times };

struct Symbol {  // one character drawn as is: an identifier or a punctuation atom
  std::string text;
};
struct Number {  // a run of ASCII digits
  std::string text;
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
struct Command {  // \name with its optional and mandatory arguments; "|" for a pair of bars
  std::string name;
  ExprList optional;
  ExprList args;
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

  Infix(Box lhs, Box rhs, BinOp op) noexcept;
  Infix(Infix&&) noexcept = default;
  Infix& operator=(Infix&&) noexcept = default;
  ~Infix();  // unlinks the left spine one node at a time
};
struct Sequence {  // juxtaposition of at least two items, drawn side by side
  ExprList items;
};
struct Escape {  // the character after a backslash that is not a letter
  std::string text;
};
struct Empty {};  // nothing: an empty group, cell or range
struct Matrix {   // a matrix environment ("matrix", "pmatrix" or "bmatrix") and its cells
  std::string env;
  std::vector<ExprList> rows;
};

using ExprVariant =
    std::variant<Symbol, Number, Group, Parens, Brackets, Delimited, Negate, Command, Superscript,
                 Subscript, SubSup, Primes, Infix, Sequence, Escape, Empty, Matrix>;

struct Expr : ExprVariant {
  using ExprVariant::ExprVariant;
};

// Moves a node into a new box.
[[nodiscard]] inline Box box(Expr expr) { return std::make_unique<Expr>(std::move(expr)); }

// The tree in one line, for tests and debugging: Sequence[Symbol("a"), Symbol("b")],
// Infix(Plus, Symbol("a"), Empty), Command("frac", [], [Number("1"), Number("2")]).
[[nodiscard]] std::string print(const Expr& expr);

}  // namespace vok
