// Measuring: an expression tree to one measured layout node, composed bottom-up with the layout
// engine (which paints it afterwards), as a dialect's Drawing says.
//
// Plain nodes are composed here; a command's arguments are measured here and handed to its row's
// construct. Scripts on a command whose row takes limits become limits above and below it. The
// only spacing added here is one blank on each side of an infix operator and the exact markup's
// spacing escapes. A wide formula is broken into lines in lines.cpp.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "ast.hpp"
#include "error.hpp"
#include "layout.hpp"

namespace vok {

class Vocabulary;

// How a dialect draws the nodes of its trees.
struct Drawing {
  ScriptStyle scripts;
  LimitStyle limits;           // the limits of a command that takes them
  LimitStyle operator_limits;  // the limits of a large operator with its operand
  // The cells of a symbol's text or of an unknown command's name: a cell to each character, or a
  // cell to each display column.
  Result<NodeRef> (*cells)(std::string_view utf8);
  CharMap spelling;  // replaces every character of the finished picture, or null
};

// The measured node of `expr`, in the current arena.
[[nodiscard]] Result<NodeRef> measure(const Expr& expr, const Drawing& drawing);

// The measured nodes of a list, in order; the first error discards the rest.
[[nodiscard]] Result<std::span<const NodeRef>> measure_all(ExprList exprs, const Drawing& drawing);

// The measured node of `expr`, broken into lines no wider than `width` when it is wider (see
// lines.cpp); the vocabulary gives the classes of its atoms.
[[nodiscard]] Result<NodeRef> measure_lines(const Expr& expr, const Drawing& drawing,
                                            const Vocabulary& vocabulary, std::size_t width);

}  // namespace vok
