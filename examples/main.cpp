// Draws the formula given as the one argument, or a sum if there is none.
#include <cstdio>

#include "vok/vok.hpp"

int main(int argc, char** argv) {
  const char* formula = argc > 1 ? argv[1] : "\\sum_{i=1}^{n} {i} = \\frac{n(n+1)}{2}";
  const auto picture = vok::render(formula);
  if (!picture) {
    std::fprintf(stderr, "render_formula: %s\n", picture.error().message.c_str());
    return 1;
  }
  std::fputs(picture->c_str(), stdout);
  return 0;
}
