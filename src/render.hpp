// The renderer: an expression tree to one measured layout node, composed bottom-up with the
// layout engine (which paints it afterwards).
//
// Plain nodes are composed here; a command's arguments are measured here and handed to its row's
// construct. Scripts on a big operator (a command whose row has limits) become limits above and
// below it. The renderer inserts no spacing of its own except one blank on each
// side of an infix operator and the spacing escapes.
#pragma once

#include "ast.hpp"
#include "error.hpp"
#include "layout.hpp"
#include "vok/vok.hpp"

namespace vok {

// The measured node of `expr`, in the current arena; the dialect picks the superscript forms, and
// in the LaTeX dialect the options' width breaks a wide formula and ascii keeps scripts off
// Unicode's script characters.
[[nodiscard]] Result<NodeRef> render(const Expr& expr, Options options = {});

}  // namespace vok
