// The replay command: runs check_render over saved inputs without the fuzzing engine, so a crash
// or a failed check reproduces under a debugger or valgrind, and so the regression inputs and the
// formula corpus are checked in every sanitizer build.
//
//   render_replay [--lines] [--abort] PATH...
//
// Each file is one input, its raw bytes; with --lines each line of a file (without its line feed)
// is one input. A directory stands for the regular files in it, in name order. Every failed check
// is reported with the file, the line and the input, and the run goes on; --abort stops at the
// first one with abort(), for a debugger. The exit status is 0 when every check held, 1 when one
// failed and 2 when a file could not be read.
#include <algorithm>
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

struct Options {
  bool lines = false;
  bool abort_on_failure = false;
  std::vector<fs::path> paths;
};

struct Tally {
  long inputs = 0;
  long pictures = 0;
  long failures = 0;
};

// Checks one input; `where` names it in a report.
void replay(std::string_view input, const std::string& where, const Options& options,
            Tally& tally) {
  const vok::fuzz::Outcome outcome = vok::fuzz::check_render(input);
  ++tally.inputs;
  tally.pictures += outcome.picture;
  if (outcome.failure.empty()) return;
  ++tally.failures;
  std::fprintf(stderr, "FAIL %s: %s\n  input: \"%s\"\n", where.c_str(), outcome.failure.c_str(),
               vok::fuzz::escaped(input).c_str());
  if (options.abort_on_failure) std::abort();
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
  std::fputs("usage: render_replay [--lines] [--abort] PATH...\n", stderr);
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
    } else if (arg.starts_with("--")) {
      return usage();
    } else {
      options.paths.emplace_back(arg);
    }
  }
  if (options.paths.empty()) return usage();

  Tally tally;
  bool readable = true;
  for (const auto& path : options.paths) readable = replay_path(path, options, tally) && readable;
  std::printf("render_replay: %ld inputs (%ld pictures, %ld errors): %ld passed, %ld failed\n",
              tally.inputs, tally.pictures, tally.inputs - tally.pictures,
              tally.inputs - tally.failures, tally.failures);
  if (!readable) return 2;
  return tally.failures == 0 ? 0 : 1;
}
