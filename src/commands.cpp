// The list of a dialect's commands, as the `vok` command and the documentation show it: each name
// once, with the group it belongs to and what it draws, all read off the vocabulary's rows.
#include <algorithm>

#include "dialect.hpp"
#include "unicode.hpp"
#include "vok/vok.hpp"

namespace vok {
namespace {

// The group a row belongs to: what the parser does with it, what its construct draws with, or a
// symbol's group in the dialect's list.
std::string_view group_of(const Definition& def, const DialectRules& rules) {
  switch (def.role) {
    case Role::Left:
    case Role::Right:
    case Role::Middle:
    case Role::Begin:
    case Role::End:
    case Role::Line:
    case Role::Infix:
    case Role::RowEnd:
      return "structure";
    case Role::Space:
      return "space";
    case Role::Ignore:
    case Role::Limits:
      return "style";
    case Role::Accent:
      return "accent";
    case Role::Switch:
      return "switch";
    case Role::Construct:
    case Role::Tag:  // drawn by its construct, as any other
      break;
  }
  // A relation written as a few characters (−:, ≦̸) is listed with the relations.
  const auto* word = std::get_if<payload::Word>(&def.payload);
  if (def.glyph() != 0 || (word != nullptr && def.cls == MathClass::Rel))
    return rules.symbol_groups[static_cast<std::size_t>(def.cls)];
  if (std::holds_alternative<payload::Sign>(def.payload)) return "operator";
  if (word != nullptr && !word->word.empty()) return "function";
  if (std::holds_alternative<payload::Style>(def.payload) && !def.takes('t')) return "alphabet";
  if (def.takes('t')) return "text";
  if (std::holds_alternative<payload::Mark>(def.payload)) return "accent";
  return "structure";
}

// What a row draws of its own: a symbol's character (or the few of a relation), a sign, a mark
// (a text accent's combining one) or a word.
std::string drawn_by(const Definition& def) {
  std::string drawn;
  if (const char32_t ch = def.glyph(); ch != 0) {
    append_utf8(drawn, ch);
  } else if (const auto* sign = std::get_if<payload::Sign>(&def.payload)) {
    append_utf8(drawn, sign->sign);
  } else if (const auto* mark = std::get_if<payload::Mark>(&def.payload)) {
    append_utf8(drawn, mark->mark);
  } else if (const auto* accent = std::get_if<payload::Combining>(&def.payload)) {
    append_utf8(drawn, accent->mark);
  } else if (const auto* word = std::get_if<payload::Word>(&def.payload)) {
    drawn = word->word;
  }
  return drawn;
}

bool ascii_letters(std::string_view name) {
  return !name.empty() && std::ranges::all_of(name, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

}  // namespace

std::vector<CommandInfo> commands(Dialect dialect) {
  const DialectRules& rules = dialect_rules(dialect);
  const Vocabulary& vocabulary = *rules.vocabulary;
  std::vector<CommandInfo> list;
  for (const Definition& def : vocabulary.rows()) {
    // A name's row is the last of that name; a starred form is listed with its command.
    if (vocabulary.find(def.name) != &def || !ascii_letters(def.name)) continue;
    list.push_back({def.name, group_of(def, rules), drawn_by(def)});
  }
  std::ranges::sort(list, {}, &CommandInfo::name);
  return list;
}

}  // namespace vok
