// A benchmark of the core without Python, for profiling with perf or callgrind: renders every
// formula of a file (one per line) in a loop and prints the time per formula, in the exact markup,
// or in the LaTeX dialect as pictures or one-row forms.
//
//   bench_core FILE [ROUNDS] [exact|latex|linear]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "vok/vok.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_core FILE [ROUNDS] [exact|latex|linear]\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  std::vector<std::string> formulas;
  for (std::string line; std::getline(in, line);) formulas.push_back(line);
  if (formulas.empty()) {
    std::fprintf(stderr, "bench_core: no formulas in %s\n", argv[1]);
    return 2;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 2000;
  const std::string mode = argc > 3 ? argv[3] : "exact";
  const vok::Options options{.dialect = mode == "exact" ? vok::Dialect::Exact : vok::Dialect::Latex,
                             .linear = mode == "linear"};

  std::size_t checksum = 0, errors = 0;
  std::vector<double> per_round;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& formula : formulas) {
      const auto picture = vok::render(formula, options);
      if (picture) {
        checksum += picture->size();
      } else {
        ++errors;
      }
    }
    per_round.push_back(
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(formulas.size()));
  }
  std::ranges::sort(per_round);
  std::printf("%zu formulas × %d rounds: median %.1f ns per formula (best round %.1f ns)\n",
              formulas.size(), rounds, per_round[per_round.size() / 2], per_round.front());
  std::printf("errors per round %zu, checksum %zu\n", errors / static_cast<std::size_t>(rounds),
              checksum);
  return 0;
}
