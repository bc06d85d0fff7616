// Runs every unit test of the core; the exit status is 1 when any check fails.
#include <cstdio>

#include "check.hpp"

int main() {
  vok::test::Suite suite;
  vok::test::lexer_tests(suite);
  vok::test::error_tests(suite);
  vok::test::layout_tests(suite);
  vok::test::layout_scripts_tests(suite);
  vok::test::layout_delimiters_tests(suite);
  vok::test::layout_tables_tests(suite);
  vok::test::parser_tests(suite);
  vok::test::vocabulary_tests(suite);
  vok::test::commands_tests(suite);
  vok::test::arena_tests(suite);
  std::printf("%d checks, %d failures\n", suite.checks(), suite.failures());
  return suite.failures() == 0 ? 0 : 1;
}
