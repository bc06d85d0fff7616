// Helpers shared by the layout tests: nodes from rows of text, and a printout of a result with its
// geometry and its painted picture, so a table row reads "input nodes → WxH@B|rows".
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arena.hpp"
#include "check.hpp"
#include "layout.hpp"
#include "pipeline.hpp"

namespace vok::test {

// A node of fixed cells from rows of equal width ("" rows give width 0), with its baseline.
inline NodeRef block(std::vector<std::u32string_view> rows, std::size_t baseline) {
  const std::size_t width = rows.empty() ? 0 : rows[0].size();
  char32_t* cells = current_arena().allocate_array<char32_t>(width * rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < width; ++c) cells[r * width + c] = rows[r][c];
  return *RenderNode::picture(cells, width, rows.size(), baseline);
}

// A node that draws nothing, of any size, even one no composition would make: it holds no cells.
inline NodeRef hollow(std::uint32_t width, std::uint32_t height, std::uint32_t baseline = 0) {
  return current_arena().make<RenderNode>(
      RenderNode{.width = width, .height = height, .baseline = baseline});
}

// A list that outlives the call that keeps it, as the renderer's lists do.
inline std::span<const NodeRef> list(std::vector<NodeRef> nodes) {
  NodeRef* out = current_arena().allocate_array<NodeRef>(nodes.size());
  std::ranges::copy(nodes, out);
  return {out, nodes.size()};
}

// The chain of `operands` joined by `ops`.
inline Result<NodeRef> chain(std::vector<NodeRef> operands, std::u32string_view ops) {
  char32_t* kept = current_arena().allocate_array<char32_t>(ops.size());
  std::ranges::copy(ops, kept);
  return RenderNode::infix_chain(list(std::move(operands)), {kept, ops.size()});
}

// The geometry and the picture: "WxH@B|row\nrow\n", or "error: <message>".
inline std::string show(const Result<NodeRef>& node) {
  if (!node) return "error: " + node.error().message;
  const RenderNode& n = **node;
  return std::to_string(n.width) + "x" + std::to_string(n.height) + "@" +
         std::to_string(n.baseline) + "|" + write_text(n);
}

// One row of a table: a composition's result and the expected printout.
struct LayoutCase {
  Result<NodeRef> actual;
  std::string expected;
};

inline void run(Suite& s, std::string_view group, const std::vector<LayoutCase>& cases) {
  for (const LayoutCase& c : cases) s.eq(show(c.actual), c.expected, group);
}

inline const std::string kTooLarge = "error: formula too large to render";

// The exact markup's scripts and limits.
inline constexpr ScriptStyle kScripts{superscript_form, subscript_form, false, false, false};
inline constexpr LimitStyle kBands{.centred = false, .equal_bands = true};

}  // namespace vok::test
