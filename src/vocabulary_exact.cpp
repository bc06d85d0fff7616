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

}  // namespace

constexpr Vocabulary kExactVocabulary(kExactRows, kIndex, kEnvironments);

}  // namespace vok
