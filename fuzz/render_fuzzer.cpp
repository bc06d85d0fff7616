// The libFuzzer entry point: every input the engine makes goes through check_render, and a broken
// property aborts so the engine saves the input as a crash. The sanitizers report memory and
// undefined-behaviour faults on their own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > vok::fuzz::kMaxInput) return -1;  // -1 keeps the input out of the corpus
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const vok::fuzz::Outcome outcome = vok::fuzz::check_render(input);
  if (!outcome.failure.empty()) {
    std::fprintf(stderr, "\nvok check failed: %s\ninput: \"%s\"\n", outcome.failure.c_str(),
                 vok::fuzz::escaped(input).c_str());
    std::abort();
  }
  return 0;
}
