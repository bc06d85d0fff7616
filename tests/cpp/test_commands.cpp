// The public list of a dialect's commands, vok::commands(): its order and names, the groups of each
// dialect with what their commands draw, and the entries of known commands.
#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "vok/vok.hpp"

namespace vok::test {
namespace {

// What the commands of a group draw, as the list says.
enum class Drawn { Character, Word, Nothing };

struct Group {
  std::string_view name;
  Drawn drawn;
};

constexpr Group kExactGroups[] = {{"symbol", Drawn::Character},
                                  {"function", Drawn::Word},
                                  {"accent", Drawn::Character},
                                  {"alphabet", Drawn::Nothing},
                                  {"structure", Drawn::Nothing}};

constexpr Group kLatexGroups[] = {{"ordinary", Drawn::Character},    {"operator", Drawn::Character},
                                  {"binary", Drawn::Character},      {"relation", Drawn::Character},
                                  {"opening", Drawn::Character},     {"closing", Drawn::Character},
                                  {"punctuation", Drawn::Character}, {"inner", Drawn::Character},
                                  {"function", Drawn::Word},         {"accent", Drawn::Character},
                                  {"alphabet", Drawn::Nothing},      {"text", Drawn::Nothing},
                                  {"switch", Drawn::Nothing},        {"space", Drawn::Nothing},
                                  {"style", Drawn::Nothing},         {"structure", Drawn::Nothing}};

// The characters of UTF-8 text: its bytes that do not continue a character.
std::size_t characters(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

bool ascii_letters(std::string_view name) {
  return !name.empty() && std::ranges::all_of(name, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

void list(Suite& s, Dialect dialect, std::span<const Group> groups) {
  const std::vector<CommandInfo> entries = commands(dialect);
  s.ok(!entries.empty(), "a dialect has commands");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const CommandInfo& entry = entries[i];
    s.ok(i == 0 || entries[i - 1].name < entry.name, entry.name);  // sorted, each name once
    s.ok(ascii_letters(entry.name), entry.name);
    const auto group = std::ranges::find(groups, entry.group, &Group::name);
    s.ok(group != groups.end(), entry.name);
    if (group == groups.end()) continue;
    // A symbol is one character, or a relation of a few (−:, ≦̸).
    if (group->drawn == Drawn::Character)
      s.ok(characters(entry.drawn) == 1 ||
               (entry.group == "relation" && characters(entry.drawn) <= 3),
           entry.name);
    if (group->drawn == Drawn::Word) s.ok(!entry.drawn.empty(), entry.name);
    if (group->drawn == Drawn::Nothing) s.eq(entry.drawn, "", entry.name);
  }
}

struct Known {
  Dialect dialect;
  std::string_view name;
  std::string_view group;  // "" when the dialect has no such command
  std::string_view drawn;
};

const Known kKnown[] = {
    {Dialect::Exact, "frac", "structure", ""},
    {Dialect::Exact, "alpha", "symbol", "α"},
    {Dialect::Exact, "sin", "function", "sin"},
    {Dialect::Exact, "lim", "function", "lim"},
    {Dialect::Exact, "hat", "accent", "^"},
    {Dialect::Exact, "left", "structure", ""},
    {Dialect::Exact, "leq", "", ""},
    {Dialect::Latex, "leq", "relation", "≤"},
    {Dialect::Latex, "alpha", "ordinary", "α"},
    {Dialect::Latex, "sum", "operator", "∑"},
    {Dialect::Latex, "hat", "accent", "^"},
    {Dialect::Latex, "mathbb", "alphabet", ""},
    {Dialect::Latex, "text", "text", ""},
    {Dialect::Latex, "quad", "space", ""},
    {Dialect::Latex, "bf", "switch", ""},
    {Dialect::Latex, "displaystyle", "style", ""},
    {Dialect::Latex, "left", "structure", ""},
    {Dialect::Latex, "foo", "", ""},
};

void known(Suite& s) {
  const std::vector<CommandInfo> lists[] = {commands(Dialect::Exact), commands(Dialect::Latex)};
  for (const Known& command : kKnown) {
    const auto& entries = lists[command.dialect == Dialect::Latex];
    const auto entry = std::ranges::find(entries, command.name, &CommandInfo::name);
    s.eq(entry == entries.end() ? "" : entry->group, command.group, command.name);
    if (entry != entries.end()) s.eq(entry->drawn, command.drawn, command.name);
  }
  // The exact markup's 147 names of letters, and \left, \right, \begin, \end.
  s.eq(lists[0].size(), std::size_t{151}, "the exact markup's commands");
}

}  // namespace

void commands_tests(Suite& s) {
  list(s, Dialect::Exact, kExactGroups);
  list(s, Dialect::Latex, kLatexGroups);
  known(s);
}

}  // namespace vok::test
