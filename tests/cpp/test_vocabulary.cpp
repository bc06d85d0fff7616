// Vocabularies: the exact markup's rows as the parser and the renderer see them, lookup, and the
// math alphabets that the canvas applies.
#include "check.hpp"
#include "constructs.hpp"
#include "vocabulary.hpp"
#include "vok/vok.hpp"

namespace vok::test {
namespace {

struct Row {
  std::string_view name;
  Role role;
  std::string_view args;
  Construct construct;
  bool limits;
};

// One name of each kind, with what the parser and the renderer ask of it.
const Row kRows[] = {
    {"binom", Role::Construct, "mm", construct::binomial, false},
    {"frac", Role::Construct, "mm", construct::fraction, false},
    {"sqrt", Role::Construct, "[m", construct::root, false},
    {"sum", Role::Construct, "[b", construct::summation, true},
    {"int", Role::Construct, "b", construct::integral, true},
    {"lim", Role::Construct, "", construct::word, true},
    {"sin", Role::Construct, "", construct::word, false},
    {"abs", Role::Construct, "m", construct::bars, false},
    {"|", Role::Construct, "m", construct::bars, false},
    {"hat", Role::Construct, "m", construct::accent, false},
    {"mathbb", Role::Construct, "m", construct::alphabet, false},
    {"alpha", Role::Construct, "", construct::symbol, false},
    {"left", Role::Left, "", nullptr, false},
    {"right", Role::Right, "", nullptr, false},
    {"begin", Role::Begin, "", nullptr, false},
    {"end", Role::End, "", nullptr, false},
};

void exact(Suite& s) {
  const Vocabulary& vocabulary = kExactVocabulary;
  for (const Row& row : kRows) {
    const Definition* def = vocabulary.find(row.name);
    s.ok(def != nullptr, row.name);
    if (def == nullptr) continue;
    s.ok(def->role == row.role, row.name);
    s.eq(def->args, row.args, row.name);
    s.ok(def->construct == row.construct, row.name);
    s.eq(def->limits, row.limits, row.name);
  }
  std::size_t names = 0;
  for (const Definition& def : vocabulary.rows()) names += vocabulary.find(def.name) == &def;
  s.eq(names, std::size_t{148 + 4}, "148 commands, and left, right, begin, end");
  // Lookup is exact and case-sensitive.
  s.ok(vocabulary.find("Gamma")->glyph() != vocabulary.find("gamma")->glyph(),
       "Gamma and gamma differ");
  for (std::string_view absent : {"Alpha", "pr", "lim ", "", "\\alpha", "mathcal", "matrix"})
    s.ok(vocabulary.find(absent) == nullptr, absent);
  s.eq(static_cast<std::uint32_t>(vocabulary.find("rightarrow")->glyph()), std::uint32_t{U'→'});
  s.eq(vocabulary.find("overline")->data<payload::Mark>().wide, true);
  s.eq(vocabulary.find("sin")->data<payload::Word>().word, "sin");
  // Environments, each with its delimiters.
  s.eq(static_cast<std::uint32_t>(vocabulary.environment("pmatrix")->open), std::uint32_t{U'('});
  s.ok(vocabulary.environment("cases") == nullptr, "no cases");
}

// A command's mandatory arguments are measured before its optional one, so an error in them wins.
void argument_order(Suite& s) {
  const std::string ragged = "\\begin{matrix} a \\\\ b & c \\end{matrix}";
  std::string huge = "x";
  for (int i = 0; i < 30; ++i) huge = "\\frac{" + huge + "}{y}";
  auto picture = vok::render("\\sqrt[" + huge + "]{" + ragged + "}");
  s.eq(picture ? std::string("a picture") : picture.error().message,
       "matrix rows have different lengths");
}

// The canvas keeps each map in force once, innermost, which is sound only because no map changes
// a character that some map has already changed.
void alphabets(Suite& s) {
  const CharMap maps[] = {to_bold, to_italic, to_sans, to_bb, to_upright};
  std::size_t changed = 0, restyled = 0;
  for (const CharMap map : maps) {
    for (char32_t c = 0; c < 0x20000; ++c) {
      const char32_t styled = map(c);
      if (styled == c) continue;
      ++changed;
      for (const CharMap other : maps) restyled += other(styled) != styled;
    }
  }
  s.eq(changed, std::size_t{52 * 4 + 10 * 3}, "letters in four styles, digits in three");
  s.eq(restyled, std::size_t{0}, "no styled character is styled again");
}

}  // namespace

void vocabulary_tests(Suite& s) {
  exact(s);
  argument_order(s);
  alphabets(s);
}

}  // namespace vok::test
