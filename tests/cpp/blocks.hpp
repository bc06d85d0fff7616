// Helpers shared by the layout tests: blocks from rows of text, and a printout of a result with
// its geometry, so a table row reads "input blocks → WxH@B|rows".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "layout.hpp"
#include "pipeline.hpp"

namespace vok::test {

// A block from rows of equal width ("" rows give width 0), with its baseline.
inline RenderNode block(std::vector<std::u32string_view> rows, std::size_t baseline) {
  RenderNode node = *RenderNode::blank(rows.empty() ? 0 : rows[0].size(), rows.size(), baseline);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c) node.at(r, c) = rows[r][c];
  return node;
}

// The picture and its geometry: "WxH@B|row\nrow\n", or "error: <message>".
inline std::string show(const Result<RenderNode>& node) {
  if (!node) return "error: " + node.error().message;
  return std::to_string(node->width) + "x" + std::to_string(node->height) + "@" +
         std::to_string(node->baseline) + "|" + write_text(*node);
}

// One row of a table: a composition's result and the expected printout.
struct LayoutCase {
  Result<RenderNode> actual;
  std::string expected;
};

inline void run(Suite& s, std::string_view group, const std::vector<LayoutCase>& cases) {
  for (const LayoutCase& c : cases) s.eq(show(c.actual), c.expected, group);
}

inline const std::string kTooLarge = "error: formula too large to render";

}  // namespace vok::test
