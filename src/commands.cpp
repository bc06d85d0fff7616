// The list of a dialect's commands, as the `vok` command and the documentation show it: each name
// once, with the group it belongs to and what it draws, all read off the vocabulary's rows.
#include <algorithm>

#include "dialect.hpp"
#include "unicode.hpp"
#include "vok/vok.hpp"

namespace vok {
namespace {

// The group a row belongs to: its kind, or a LaTeX symbol's math class.
std::string_view group_of(const Definition& def, Dialect dialect) {
  switch (def.role) {
    case Role::Left:
    case Role::Right:
    case Role::Middle:
    case Role::Begin:
    case Role::End:
    case Role::Line:
    case Role::Infix:
      return "structure";
    case Role::Space:
      return "space";
    case Role::Ignore:
    case Role::Limits:
      return "style";
    case Role::Switch:
      return "switch";
    case Role::Construct:
      break;
  }
  if (def.symbol() && dialect == Dialect::Exact) return "symbol";
  if (def.symbol()) {
    constexpr std::string_view kClasses[] = {"ordinary", "operator", "binary",      "relation",
                                             "opening",  "closing",  "punctuation", "inner"};
    return kClasses[static_cast<int>(def.cls)];
  }
  if (def.takes('b') && dialect == Dialect::Latex) return "operator";
  if (!def.word.empty()) return "function";
  if (def.map != nullptr) return def.takes('t') ? "text" : "alphabet";
  if (def.takes('t')) return "text";
  if (def.ch != 0) return "accent";
  return "structure";
}

bool ascii_letters(std::string_view name) {
  return !name.empty() && std::ranges::all_of(name, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

}  // namespace

std::vector<CommandInfo> commands(Dialect dialect) {
  const Vocabulary& vocabulary = *dialect_rules(dialect).vocabulary;
  std::vector<CommandInfo> list;
  for (const Definition& def : vocabulary.rows()) {
    // A name's row is the last of that name; a starred form is listed with its command.
    if (vocabulary.find(def.name) != &def || !ascii_letters(def.name)) continue;
    std::string drawn;
    if (def.symbol() || (def.ch != 0 && def.map == nullptr && def.word.empty()))
      append_utf8(drawn, def.ch);
    else
      drawn = def.word;
    list.push_back({def.name, group_of(def, dialect), std::move(drawn)});
  }
  std::ranges::sort(list, {}, &CommandInfo::name);
  return list;
}

}  // namespace vok
