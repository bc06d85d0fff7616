// The exact markup's vocabulary: its rows (vocabulary_rows.hpp), their index, and its environments.
#include "vocabulary_rows.hpp"

namespace vok {
namespace {

using rows::kExactRows;

constexpr std::array kEnvironments{
    EnvironmentDef{"matrix", U' ', U' '},
    EnvironmentDef{"pmatrix", U'(', U')'},
    EnvironmentDef{"bmatrix", U'[', U']'},
};

constexpr auto kIndex = make_index<512>(kExactRows);

// The spacing escapes: \, \: \; \! and a backslash before white space; any other escaped
// character is drawn as itself.
constexpr EscapeDef kEscapes[] = {
    {.ch = U'!', .math = EscapeKind::Blank, .columns = 0},
    {.ch = U',', .math = EscapeKind::Blank, .columns = 1},
    {.ch = U':', .math = EscapeKind::Blank, .columns = 2},
    {.ch = U';', .math = EscapeKind::Blank, .columns = 3},
};
static_assert(std::ranges::is_sorted(kEscapes, {}, &EscapeDef::ch));

constexpr GrammarData kGrammar{
    .escapes = {.table = kEscapes,
                .white = {.math = EscapeKind::Blank, .columns = 4},
                .other = {.math = EscapeKind::Symbol}},
    // "|" is the name the parser gives a pair of bars around an expression.
    .bars = row_named(kExactRows, "|"),
};

}  // namespace

constexpr Vocabulary kExactVocabulary(kExactRows, kIndex, kEnvironments, kGrammar);

}  // namespace vok
