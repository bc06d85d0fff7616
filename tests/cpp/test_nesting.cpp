// The nesting limit, reached with small inputs: this program runs against the core built with the
// limit lowered to kDepth, and checks through the public API that every place where a formula
// nests stops at the level the limit gives it, and not one level earlier.
#include <cstdio>
#include <functional>
#include <string>

#include "check.hpp"
#include "vok/vok.hpp"

namespace vok::test {
namespace {

constexpr int kDepth = VOK_MAX_DEPTH;
static_assert(kDepth == 16, "the levels below are worked out for a limit of 16");

std::string nested(std::string_view open, std::string_view close, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += open;
  text += "x";
  for (int i = 0; i < n; ++i) text += close;
  return text;
}

std::string repeated(std::string_view piece, int n, std::string_view end = " x") {
  std::string text;
  for (int i = 0; i < n; ++i) text += piece;
  return text += end;
}

// The deepest input of each kind that draws a picture; one level more is nested too deeply. A
// group is a list and an atom, two levels; the arguments of commands read one token and nest one
// level each.
struct Case {
  std::string_view name;
  Dialect dialect;
  std::function<std::string(int)> build;
  int passes;
};

const Case kCases[] = {
    {"braces", Dialect::Exact, [](int n) { return nested("{", "}", n); }, 7},
    {"braces", Dialect::Latex, [](int n) { return nested("{", "}", n); }, 7},
    {"minus signs", Dialect::Exact, [](int n) { return repeated("-", n, "x"); }, 14},
    {"unbraced roots", Dialect::Exact, [](int n) { return repeated("\\sqrt", n); }, 14},
    {"unbraced roots", Dialect::Latex, [](int n) { return repeated("\\sqrt", n); }, 14},
    {"left-right", Dialect::Latex, [](int n) { return nested("\\left(", "\\right)", n); }, 7},
    {"matrices", Dialect::Exact,
     [](int n) { return nested("\\begin{pmatrix}", "\\end{pmatrix}", n); }, 7},
    {"matrices", Dialect::Latex,
     [](int n) { return nested("\\begin{pmatrix}", "\\end{pmatrix}", n); }, 7},
    {"text", Dialect::Latex, [](int n) { return nested("\\text{", "}", n); }, 14},
    {"switches", Dialect::Latex, [](int n) { return repeated("\\bf", n); }, 14},
    {"large operators", Dialect::Latex, [](int n) { return repeated("\\sum ", n, "x"); }, 15},
};

}  // namespace

void nesting_tests(Suite& s) {
  for (const Case& c : kCases) {
    const std::string where =
        std::string(c.name) + (c.dialect == Dialect::Latex ? " (LaTeX)" : " (exact)");
    s.ok(render(c.build(c.passes), {.dialect = c.dialect}).has_value(), where);
    const auto deeper = render(c.build(c.passes + 1), {.dialect = c.dialect});
    s.eq(deeper ? std::string("a picture") : deeper.error().message,
         std::string("formula nested too deeply"), where);
  }
}

}  // namespace vok::test

int main() {
  vok::test::Suite suite;
  vok::test::nesting_tests(suite);
  std::printf("%d checks, %d failures\n", suite.checks(), suite.failures());
  return suite.failures() == 0 ? 0 : 1;
}
