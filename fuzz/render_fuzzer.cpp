// The libFuzzer entry point: every input the engine makes goes through check_render in each
// dialect and through render_markdown as a document, and a broken property aborts, naming which, so
// the engine saves the input as a crash. The sanitizers report memory and undefined-behaviour
// faults on their own. One input serves both dialects: the markups share most of their bytes, and a
// mutation that finds a new path in one is kept for both.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > vok::fuzz::kMaxInput) return -1;  // -1 keeps the input out of the corpus
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (const vok::Dialect dialect : vok::fuzz::kDialects) {
    const vok::fuzz::Outcome outcome = vok::fuzz::check_render(input, dialect);
    if (outcome.failure.empty()) continue;
    const std::string_view name = vok::fuzz::dialect_name(dialect);
    std::fprintf(stderr, "\nvok check failed (%.*s dialect): %s\ninput: \"%s\"\n",
                 static_cast<int>(name.size()), name.data(), outcome.failure.c_str(),
                 vok::fuzz::escaped(input).c_str());
    std::abort();
  }
  // The same bytes as a Markdown document.
  if (const std::string failure = vok::fuzz::markdown_failure(input); !failure.empty()) {
    std::fprintf(stderr, "\nvok check failed (markdown): %s\ninput: \"%s\"\n", failure.c_str(),
                 vok::fuzz::escaped(input).c_str());
    std::abort();
  }
  return 0;
}
