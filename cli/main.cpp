// The `vok` command: renders the formulas given as arguments, or one formula per line of standard
// input, and prints their pictures. An input error is reported on standard error as
// "vok: <message>" and makes the exit status 1; the other formulas are still rendered. A usage
// error (an unknown option) exits with status 2 before anything is rendered.
#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "vok/vok.hpp"

#ifndef VOK_VERSION
#error "VOK_VERSION must be defined by the build (the project version)"
#endif

namespace {

constexpr int kExitInputError = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage = "usage: vok [-h] [--version] [--] [FORMULA...]\n";

constexpr std::string_view kHelp =
    "\n"
    "Draws each LaTeX-like FORMULA in two dimensions as lines of Unicode text.\n"
    "Several pictures are separated by a blank line; one picture is printed exactly.\n"
    "With no FORMULA, or the single FORMULA '-', reads standard input: one formula\n"
    "per line, each picture followed by a blank line.\n"
    "\n"
    "options:\n"
    "  -h, --help  print this help and exit\n"
    "  --version   print the version and exit\n"
    "  --          end of options: what follows are formulas, even '-x' or '-'\n"
    "\n"
    "An input error prints \"vok: <message>\" on standard error and makes the exit\n"
    "status 1; the other formulas are still drawn. A usage error exits with status 2.\n";

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

// Prints a usage error and returns its exit status.
int usage_error(std::string_view problem) {
  std::cerr << "vok: " << problem << '\n' << kUsage << "Try 'vok --help' for more.\n";
  return kExitUsage;
}

// Flushes standard output; a failed write (a full disk, a closed pipe) is an error of its own.
int finish(bool ok) {
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "vok: cannot write to standard output\n";
    return kExitInputError;
  }
  return ok ? 0 : kExitInputError;
}

int run(int argc, char** argv) {
  std::vector<std::string_view> formulas;
  bool from_stdin = false;  // a '-' operand
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "-h" || arg == "--help")) {
      std::cout << kUsage << kHelp;
      return finish(true);
    } else if (options && arg == "--version") {
      std::cout << "vok " VOK_VERSION "\n";
      return finish(true);
    } else if (options && arg == "-") {
      from_stdin = true;
    } else if (options && arg.starts_with('-')) {
      return usage_error("unknown option '" + std::string(arg) +
                         "' (put -- before a formula that starts with '-')");
    } else {
      formulas.push_back(arg);
    }
  }
  if (from_stdin && !formulas.empty()) {
    return usage_error("'-' (standard input) cannot be combined with formulas");
  }

  bool ok = true;
  if (!formulas.empty()) {
    // Several pictures are separated by a blank line; one picture is printed exactly.
    for (std::size_t i = 0; i < formulas.size(); ++i) {
      if (i > 0) std::cout << '\n';
      ok = show(formulas[i]) && ok;
    }
  } else {
    std::string line;
    while (std::getline(std::cin, line)) {
      ok = show(line) && ok;
      std::cout << '\n';
    }
    // libstdc++ reports a read error as bad(); LLVM's libc++ (the portable wheels) reads std::cin
    // through stdin's FILE, where an error ends the stream like end of file: only ferror tells.
    if (std::cin.bad() || std::ferror(stdin)) {
      std::cout.flush();
      std::cerr << "vok: cannot read standard input\n";
      ok = false;
    }
  }
  return finish(ok);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "vok: out of memory\n";
  }
  return kExitInputError;
}
