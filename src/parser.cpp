// What both grammars build with: command nodes, lists, and the shared empty and blank nodes.
#include "parser.hpp"

#include <algorithm>
#include <array>

namespace vok {
namespace {

constexpr Expr kEmpty = Empty{};

// Blank nodes of a few widths, shared.
constexpr std::array<Expr, 5> kSpaces{Space{0}, Space{1}, Space{2}, Space{3}, Space{4}};

}  // namespace

Box command(std::string_view name, const Definition* def, ExprList optional, ExprList args) {
  return make_node<Command>(name, current_arena().make<CommandParts>(def, optional, args));
}

ExprList list_of(std::initializer_list<Box> items) {
  Box* out = current_arena().allocate_array<Box>(items.size());
  std::ranges::copy(items, out);
  return {out, items.size()};
}

Box empty_node() noexcept { return &kEmpty; }

Box space_node(std::size_t columns) {
  return columns < kSpaces.size() ? &kSpaces[columns] : make_node<Space>(columns);
}

}  // namespace vok
