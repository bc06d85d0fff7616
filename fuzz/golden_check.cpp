// The golden checker: every case of the golden files through vok::render in C++, so the sanitizer
// build runs them too. A case passes when the call gives exactly the expected picture or error
// message and check_render finds every property of the call intact. The files of a directory named
// latex (tests/golden/latex/) are read in the LaTeX dialect, all others in the exact markup, as
// the Python test suite reads them.
//
//   golden_check FILE...                      check the cases
//   golden_check --write-inputs DIR FILE...   write each case's input to DIR, one file each
//
// The files are read as the Python test suite reads them:
//
//   # a comment, or any line outside a case
//   == name
//   input line, verbatim
//   --                 (or "-- error", then one line holding the message)
//   |row of the picture between two bars|
//
// Every row is followed by a line feed in the real output; no rows means the empty picture.
// Line breaks may be LF, CR LF or CR. The exit status is 0 when every case passed, 1 when one
// failed, and 2 when a file is unreadable or malformed or there is no case at all.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"

namespace {

namespace fs = std::filesystem;

struct Case {
  std::string where;  // file:line of the case's "==" line, and its name
  vok::Dialect dialect = vok::Dialect::Exact;
  std::string input;
  bool error = false;
  std::string expected;  // the whole picture text, or the message
};

// The file's lines, with universal line breaks and no empty piece after a final break.
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

// Parses one golden file into `cases`; prints the problem and returns false when malformed.
bool parse_file(const fs::path& path, std::vector<Case>& cases) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "golden_check: cannot read %s\n", path.c_str());
    return false;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!vok::fuzz::is_utf8(text)) {
    std::fprintf(stderr, "golden_check: %s is not valid UTF-8\n", path.c_str());
    return false;
  }
  const std::vector<std::string> lines = split_lines(text);
  const vok::Dialect dialect =
      path.parent_path().filename() == "latex" ? vok::Dialect::Latex : vok::Dialect::Exact;
  const auto malformed = [&](std::size_t i, const char* what) {
    std::fprintf(stderr, "golden_check: %s:%zu: %s\n", path.c_str(), i + 1, what);
    return false;
  };
  for (std::size_t i = 0; i < lines.size();) {
    if (!lines[i].starts_with("== ")) {
      ++i;
      continue;
    }
    Case c;
    c.where = path.string() + ":" + std::to_string(i + 1) + ": " + lines[i].substr(3);
    c.dialect = dialect;
    if (i + 2 >= lines.size() || (lines[i + 2] != "--" && lines[i + 2] != "-- error"))
      return malformed(i, "a case needs an input line and then -- or -- error");
    c.input = lines[i + 1];
    c.error = lines[i + 2] == "-- error";
    i += 3;
    if (c.error) {
      if (i >= lines.size()) return malformed(i, "-- error needs a message line");
      c.expected = lines[i++];
    } else {
      for (; i < lines.size() && lines[i].starts_with('|'); ++i) {
        const std::string& row = lines[i];
        if (row.size() < 2 || !row.ends_with('|'))
          return malformed(i, "a row must stand between two bars");
        c.expected.append(row, 1, row.size() - 2);
        c.expected += '\n';
      }
    }
    cases.push_back(std::move(c));
  }
  return true;
}

// `text` as the golden file shows an outcome.
std::string framed(bool error, const std::string& text) {
  if (error) return "-- error\n    " + text + "\n";
  std::string out = "--\n";
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out += "    |" + text.substr(start, end - start) + "|\n";
    start = end + 1;
  }
  return out;
}

// Checks one case; prints and returns false when it fails.
bool check_case(const Case& c) {
  const vok::fuzz::Outcome outcome = vok::fuzz::check_render(c.input, c.dialect);
  const std::string_view dialect = vok::fuzz::dialect_name(c.dialect);
  if (!outcome.failure.empty()) {
    std::fprintf(stderr, "FAIL %s (%.*s dialect)\n  %s\n", c.where.c_str(),
                 static_cast<int>(dialect.size()), dialect.data(), outcome.failure.c_str());
    return false;
  }
  if (outcome.picture == !c.error && outcome.text == c.expected) return true;
  std::fprintf(stderr, "FAIL %s (%.*s dialect)\n  expected:\n    %s  actual:\n    %s",
               c.where.c_str(), static_cast<int>(dialect.size()), dialect.data(),
               framed(c.error, c.expected).c_str(), framed(!outcome.picture, outcome.text).c_str());
  return false;
}

// Writes each case's input to its own file in `dir`; false when one cannot be written.
bool write_inputs(const fs::path& dir, const std::vector<Case>& cases) {
  std::error_code error;
  fs::create_directories(dir, error);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const fs::path file = dir / ("golden-" + std::to_string(i));
    std::ofstream out(file, std::ios::binary);
    out << cases[i].input;
    if (!out.flush()) {
      std::fprintf(stderr, "golden_check: cannot write %s\n", file.c_str());
      return false;
    }
  }
  std::printf("golden_check: wrote %zu inputs to %s\n", cases.size(), dir.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  fs::path inputs_dir;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--write-inputs" && i + 1 < argc) {
      inputs_dir = argv[++i];
    } else if (arg.starts_with("--")) {
      std::fputs("usage: golden_check [--write-inputs DIR] FILE...\n", stderr);
      return 2;
    } else {
      files.emplace_back(arg);
    }
  }

  std::vector<Case> cases;
  bool well_formed = true;
  for (const auto& file : files) well_formed = parse_file(file, cases) && well_formed;
  if (!well_formed) return 2;
  if (cases.empty()) {
    std::fputs("golden_check: no golden cases given\n", stderr);
    return 2;
  }
  if (!inputs_dir.empty()) return write_inputs(inputs_dir, cases) ? 0 : 2;

  std::size_t failed = 0, latex = 0;
  for (const Case& c : cases) {
    failed += !check_case(c);
    latex += c.dialect == vok::Dialect::Latex;
  }
  std::printf(
      "golden_check: %zu cases (%zu exact, %zu LaTeX) from %zu files: %zu passed, %zu failed\n",
      cases.size(), cases.size() - latex, latex, files.size(), cases.size() - failed, failed);
  return failed == 0 ? 0 : 1;
}
