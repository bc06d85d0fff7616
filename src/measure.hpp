// Measuring: an expression tree to one measured layout node, composed bottom-up with the layout
// engine (which paints it afterwards), as a dialect's Drawing says.
//
// Plain nodes are composed here; a command's arguments are measured here and handed to its row's
// construct. Scripts on a command whose row takes limits become limits above and below it. The
// only spacing added here is one blank on each side of an infix operator and the exact markup's
// spacing escapes. In the picture, a list's stretches of atoms drawn as one row of characters
// each (letters, digits, signs and the blanks between them) are gathered into text runs, a node
// to a stretch rather than to an atom. A wide formula is broken into lines in lines.cpp.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "ast.hpp"
#include "error.hpp"
#include "layout.hpp"
#include "vocabulary.hpp"

namespace vok {

class Vocabulary;
struct Drawing;
struct LinearStyle;

using Rows = std::span<const std::span<const NodeRef>>;

// Where scripts stand.
struct ScriptPlace {
  bool sup_first = false;  // the superscript starts with primes, written before the subscript
  bool alone = false;      // the scripts and their base stand alone in their list
};

// A command whose scripts are limits: its row and its measured arguments (a large operator's
// operand among them). The composition draws the command itself, as it needs it.
struct Operator {
  const Definition& def;
  std::span<const NodeRef> args, optional;
};

// How a drawing composes what a picture may set on several rows: as the picture does, or on one
// row, as a formula's one-row form does (linear.cpp). Absent scripts and limits are null.
struct Composer {
  // A known command from its row and its measured arguments.
  Result<NodeRef> (*command)(const Definition& def, std::span<const NodeRef> args,
                             std::span<const NodeRef> optional, const Drawing& drawing);
  // Scripts beside a base.
  Result<NodeRef> (*scripts)(NodeRef base, NodeRef sub, NodeRef sup, ScriptPlace place,
                             const Drawing& drawing);
  // Limits on a command that takes them.
  Result<NodeRef> (*limits)(const Operator& op, NodeRef lower, NodeRef upper,
                            const Drawing& drawing);
  // The exact markup's matrices and the LaTeX dialect's tables.
  Result<NodeRef> (*matrix)(char32_t open, char32_t close, Rows rows);
  Result<NodeRef> (*table)(Rows rows, const TableLayout& layout);
  // The items of a list side by side; `exprs` are the items as written.
  Result<NodeRef> (*sequence)(std::span<const NodeRef> items, ExprList exprs,
                              const Vocabulary& vocabulary);
  // Whether a list's stretches of atoms drawn as one row of characters are measured as text runs
  // (a node for a stretch, not for each atom) and set side by side with the other items, without
  // `sequence`: the picture's way, which asks nothing of an atom but its cells.
  bool text_runs = false;
};

// The picture's compositions.
extern const Composer kPictureComposer;

// How a dialect draws the nodes of its trees.
struct Drawing {
  ScriptStyle scripts;
  LimitStyle limits;           // the limits of a command that takes them
  LimitStyle operator_limits;  // the limits of a large operator with its operand
  // The cells of a symbol's text or of an unknown command's name: a cell to each character, or a
  // cell to each display column.
  Result<NodeRef> (*cells)(std::string_view utf8);
  CharMap spelling;  // replaces every character of the finished picture, or null
  const Composer* composer = &kPictureComposer;
  bool limits_as_scripts = false;       // limits are scripts, without the blanks scripts leave out
  const LinearStyle* linear = nullptr;  // what a one-row form writes (linear.cpp), or null
};

// The limits of a command that takes them, set above and below `base`, its node, as the
// drawing's pictures set them; either may be null.
[[nodiscard]] Result<NodeRef> set_limits(NodeRef base, const Definition& def, NodeRef lower,
                                         NodeRef upper, const Drawing& drawing);

// The class of an atom of a list as written, for the blanks and breaks around it.
[[nodiscard]] MathClass class_of(const Expr& expr, const Vocabulary& vocabulary);

// The measured node of `expr`, in the current arena.
[[nodiscard]] Result<NodeRef> measure(const Expr& expr, const Drawing& drawing,
                                      const Vocabulary& vocabulary);

// The measured nodes of a list, in order; the first error discards the rest.
[[nodiscard]] Result<std::span<const NodeRef>> measure_all(ExprList exprs, const Drawing& drawing,
                                                           const Vocabulary& vocabulary);

// The measured node of `expr`, broken into lines no wider than `width` when it is wider (see
// lines.cpp); the vocabulary gives the classes of its atoms.
[[nodiscard]] Result<NodeRef> measure_lines(const Expr& expr, const Drawing& drawing,
                                            const Vocabulary& vocabulary, std::size_t width);

}  // namespace vok
