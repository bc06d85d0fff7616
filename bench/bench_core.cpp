// A benchmark of the core without Python, for profiling with perf or callgrind: renders every
// formula of a file (one per line) in a loop and prints the time per formula, in the exact markup,
// or in the LaTeX dialect as pictures or one-row forms. `compare` times the LaTeX dialect's
// pictures and one-row forms in the same loop, alternating round by round, and prints both and
// their ratio.
//
//   bench_core FILE [ROUNDS] [exact|latex|linear|compare]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "vok/vok.hpp"

namespace {

double median(std::vector<double> times) {
  std::ranges::sort(times);
  return times[times.size() / 2];
}

// Pictures and one-row forms of the same formulas, each formula timed alone, the two forms
// alternating which goes first; per formula the median over the rounds.
int compare(const std::vector<std::string>& formulas, int rounds) {
  const vok::Options forms[2] = {{.dialect = vok::Dialect::Latex},
                                 {.dialect = vok::Dialect::Latex, .linear = true}};
  std::vector<std::vector<double>> times(2 * formulas.size());
  std::size_t checksum = 0;
  for (int r = 0; r < rounds; ++r) {
    for (int k = 0; k < 2; ++k) {
      const int form = (r + k) % 2;
      for (std::size_t f = 0; f < formulas.size(); ++f) {
        const auto start = std::chrono::steady_clock::now();
        const auto text = vok::render(formulas[f], forms[form]);
        const auto stop = std::chrono::steady_clock::now();
        checksum += text ? text->size() : 0;
        times[2 * f + form].push_back(
            std::chrono::duration<double, std::nano>(stop - start).count());
      }
    }
  }
  double picture = 0, linear = 0, lowest = 1e9, highest = 0;
  for (std::size_t f = 0; f < formulas.size(); ++f) {
    const double a = median(times[2 * f]), b = median(times[2 * f + 1]);
    picture += a;
    linear += b;
    if (std::getenv("BENCH_EACH") != nullptr)
      std::printf("%6.3f %9.0f %9.0f  %s\n", b / a, a, b, formulas[f].c_str());
    lowest = std::min(lowest, b / a);
    highest = std::max(highest, b / a);
  }
  const double n = static_cast<double>(formulas.size());
  std::printf("%zu formulas × %d rounds, medians per formula: picture %.1f ns, one row %.1f ns\n",
              formulas.size(), rounds, picture / n, linear / n);
  std::printf("one row / picture: %.3f× in all, per formula %.2f× to %.2f× (checksum %zu)\n",
              linear / picture, lowest, highest, checksum);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_core FILE [ROUNDS] [exact|latex|linear|compare]\n");
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
  if (mode == "compare") return compare(formulas, rounds);
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
