// The replay command: runs check_render over saved inputs without the fuzzing engine, so a crash
// or a failed check reproduces under a debugger or valgrind, and so the regression inputs and the
// formula corpus are checked in every sanitizer build.
//
//   render_replay [--lines] [--abort] [--exact | --latex] PATH...
//
// Each file is one input, its raw bytes; with --lines each line of a file (without its line feed)
// is one input. A directory stands for the regular files in it, in name order. Every input is
// checked in both dialects, or in the one named. Every failed check is reported with the dialect,
// the file, the line and the input, and the run goes on; --abort stops at the first one with
// abort(), for a debugger. The exit status is 0 when every check held, 1 when one failed and 2
// when a file could not be read.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "check.hpp"

namespace {

namespace fs = std::filesystem;

using vok::fuzz::kDialects;

struct Options {
  bool lines = false;
  bool abort_on_failure = false;
  std::array<bool, kDialects.size()> dialects{};  // which of kDialects to check
  std::vector<fs::path> paths;
};

// The counts of one dialect's checks.
struct Counts {
  long checked = 0;
  long pictures = 0;
  long failures = 0;
};

struct Tally {
  long inputs = 0;
  std::array<Counts, kDialects.size()> dialects{};
  long markdown_failures = 0;  // the inputs read as Markdown documents
};

// Checks one input in each dialect asked for; `where` names it in a report.
void replay(std::string_view input, const std::string& where, const Options& options,
            Tally& tally) {
  ++tally.inputs;
  for (std::size_t k = 0; k < kDialects.size(); ++k) {
    if (!options.dialects[k]) continue;
    const vok::fuzz::Outcome outcome = vok::fuzz::check_render(input, kDialects[k]);
    Counts& counts = tally.dialects[k];
    ++counts.checked;
    counts.pictures += outcome.picture;
    if (outcome.failure.empty()) continue;
    ++counts.failures;
    const std::string_view name = vok::fuzz::dialect_name(kDialects[k]);
    std::fprintf(stderr, "FAIL %s (%.*s dialect): %s\n  input: \"%s\"\n", where.c_str(),
                 static_cast<int>(name.size()), name.data(), outcome.failure.c_str(),
                 vok::fuzz::escaped(input).c_str());
    if (options.abort_on_failure) std::abort();
  }
  if (const std::string failure = vok::fuzz::markdown_failure(input); !failure.empty()) {
    ++tally.markdown_failures;
    std::fprintf(stderr, "FAIL %s (markdown): %s\n  input: \"%s\"\n", where.c_str(),
                 failure.c_str(), vok::fuzz::escaped(input).c_str());
    if (options.abort_on_failure) std::abort();
  }
}

// Reads a whole file; false when it cannot be read.
bool read_file(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Replays one file; false when it cannot be read.
bool replay_file(const fs::path& path, const Options& options, Tally& tally) {
  std::string bytes;
  if (!read_file(path, bytes)) {
    std::fprintf(stderr, "render_replay: cannot read %s\n", path.c_str());
    return false;
  }
  if (!options.lines) {
    replay(bytes, path.string(), options, tally);
    return true;
  }
  std::size_t line = 1;
  for (std::size_t start = 0; start < bytes.size(); ++line) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();  // a last line without its line feed
    replay(std::string_view(bytes).substr(start, end - start),
           path.string() + ":" + std::to_string(line), options, tally);
    start = end + 1;
  }
  return true;
}

// Replays a file, or every regular file of a directory; false when something cannot be read.
bool replay_path(const fs::path& path, const Options& options, Tally& tally) {
  std::error_code error;
  if (!fs::is_directory(path, error)) return replay_file(path, options, tally);
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(path, error)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  if (error) {
    std::fprintf(stderr, "render_replay: cannot list %s\n", path.c_str());
    return false;
  }
  std::sort(files.begin(), files.end());
  bool ok = true;
  for (const auto& file : files) ok = replay_file(file, options, tally) && ok;
  return ok;
}

int usage() {
  std::fputs("usage: render_replay [--lines] [--abort] [--exact | --latex] PATH...\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--lines") {
      options.lines = true;
    } else if (arg == "--abort") {
      options.abort_on_failure = true;
    } else if (arg == "--exact" || arg == "--latex") {
      for (std::size_t k = 0; k < kDialects.size(); ++k)
        options.dialects[k] =
            options.dialects[k] || arg.substr(2) == vok::fuzz::dialect_name(kDialects[k]);
    } else if (arg.starts_with("--")) {
      return usage();
    } else {
      options.paths.emplace_back(arg);
    }
  }
  if (options.paths.empty()) return usage();
  if (std::ranges::none_of(options.dialects, [](bool on) { return on; }))
    options.dialects.fill(true);

  Tally tally;
  bool readable = true;
  for (const auto& path : options.paths) readable = replay_path(path, options, tally) && readable;
  std::printf("render_replay: %ld inputs\n", tally.inputs);
  long failures = 0;
  for (std::size_t k = 0; k < kDialects.size(); ++k) {
    const Counts& counts = tally.dialects[k];
    if (!options.dialects[k]) continue;
    const std::string_view name = vok::fuzz::dialect_name(kDialects[k]);
    std::printf("  %.*s dialect: %ld pictures, %ld errors: %ld passed, %ld failed\n",
                static_cast<int>(name.size()), name.data(), counts.pictures,
                counts.checked - counts.pictures, counts.checked - counts.failures,
                counts.failures);
    failures += counts.failures;
  }
  std::printf("  as documents: %ld passed, %ld failed\n", tally.inputs - tally.markdown_failures,
              tally.markdown_failures);
  failures += tally.markdown_failures;
  if (!readable) return 2;
  return failures == 0 ? 0 : 1;
}
