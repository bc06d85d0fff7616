// The `vok` command: renders the formulas given as arguments, or one formula per line of standard
// input, and prints their pictures. An input error is reported on standard error as
// "vok: <message>" and makes the exit status 1; the other formulas are still rendered.
#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <string_view>

#include "vok/vok.hpp"

namespace {

// Renders one formula; prints its picture or its error. Returns false on an error.
bool show(std::string_view formula) {
  const auto picture = vok::render(formula);
  if (!picture) {
    std::cout.flush();  // keep the order of pictures and messages when both go to a terminal
    std::cerr << "vok: " << picture.error().message << '\n';
    return false;
  }
  std::cout << *picture;
  return true;
}

int run(int argc, char** argv) {
  bool ok = true;
  if (argc > 1) {
    // Several pictures are separated by a blank line; one picture is printed exactly.
    for (int i = 1; i < argc; ++i) {
      if (i > 1) std::cout << '\n';
      ok = show(argv[i]) && ok;
    }
  } else {
    std::string line;
    while (std::getline(std::cin, line)) {
      ok = show(line) && ok;
      std::cout << '\n';
    }
  }
  std::cout.flush();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "vok: out of memory\n";
  }
  return 1;
}
