// The renderer: an expression tree to one measured layout node, composed bottom-up with the
// layout engine (which paints it afterwards).
//
// Plain nodes are composed here; a command is drawn by its glyph, which renders its arguments back
// through this renderer. Scripts on a big operator (a command whose glyph has limits) become
// limits above and below it. The renderer inserts no spacing of its own except one blank on each
// side of an infix operator and the spacing escapes.
#pragma once

#include "ast.hpp"
#include "error.hpp"
#include "glyph.hpp"
#include "layout.hpp"

namespace vok {

// The node of `expr`. `ctx.depth` counts the glyph calls in progress and is restored on return.
[[nodiscard]] Result<NodeRef> render(const Expr& expr, const SymbolRegistry& registry,
                                     RenderCtx& ctx);

}  // namespace vok
