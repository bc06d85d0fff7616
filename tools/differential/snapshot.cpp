// The snapshot command: what the public API answers for a set of inputs, one line of digests per
// input, so that two builds of the core can be compared byte for byte (tools/differential/run
// builds this file against both and compares their lines). It uses the public header only, so the
// same source builds against any revision of the core.
//
//   snapshot [--lines] [--random COUNT [--seed S] [--dict FILE]] [--show N] PATH...
//
// Each file is one input, its raw bytes; with --lines each line of a file (without its line feed)
// is one input; a directory stands for its regular files in name order. --random adds COUNT
// grammar-shaped inputs made from a fixed seed, with pieces from a libFuzzer dictionary. Every
// input is answered in eight ways: the exact markup, LaTeX with the default options, both with
// options of their own (a width of 1 to 80 columns or none, ASCII or not, chosen by the input's
// number), and as four Markdown documents: the input itself with and without those options, and
// a document that holds it as inline, bracketed and display math. A line is the input's number
// and the eight digests (64-bit FNV-1a of the picture or the message, tagged by which it is);
// --show N prints input N and its eight answers in full instead.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "vok/vok.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kWidths[] = {0, 1, 2, 3, 5, 8, 13, 20, 30, 40, 60, 80};

struct Answer {
  std::string name;
  std::string text;  // "picture\n…", "error\n…" or "document\n…"
};

std::uint64_t digest(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

// The options input `index` is also answered with.
vok::Options varied(std::size_t index, vok::Dialect dialect) {
  const std::uint64_t pick = digest(std::to_string(index));
  return {.dialect = dialect,
          .width = kWidths[pick % std::size(kWidths)],
          .ascii = (pick >> 8) % 3 == 0};
}

std::string rendered(std::string_view input, vok::Options options) {
  const auto picture = vok::render(input, options);
  return picture ? "picture\n" + *picture : "error\n" + picture.error().message;
}

std::string document(std::string_view text, vok::Options options) {
  const vok::Document done = vok::render_markdown(text, options);
  std::string out = "document\n" + done.text;
  for (const vok::DocumentProblem& problem : done.problems)
    out += "\nproblem " + std::to_string(problem.line) + ": " + problem.message;
  return out;
}

std::vector<Answer> answers(std::string_view input, std::size_t index) {
  const vok::Options latex{.dialect = vok::Dialect::Latex};
  const std::string inner(input);
  const std::string embedded = "Text $" + inner + "$ and \\(" + inner + "\\) in a line.\n\n$$\n" +
                               inner + "\n$$\n\n- item $" + inner + "$\n";
  return {
      {"exact", rendered(input, {})},
      {"latex", rendered(input, latex)},
      {"exact-options", rendered(input, varied(index, vok::Dialect::Exact))},
      {"latex-options", rendered(input, varied(index, vok::Dialect::Latex))},
      {"document", document(input, latex)},
      {"document-options", document(input, varied(index, vok::Dialect::Latex))},
      {"embedded", document(embedded, latex)},
      {"embedded-options", document(embedded, varied(index + 1, vok::Dialect::Latex))},
  };
}

// ---- random inputs ----

// The quoted entries of a libFuzzer dictionary, with its \\, \" and \xNN escapes read.
std::vector<std::string> read_dictionary(const fs::path& path) {
  std::vector<std::string> pieces;
  std::ifstream file(path, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    const std::size_t open = line.find('"');
    const std::size_t close = line.rfind('"');
    if (line.starts_with('#') || open == std::string::npos || close <= open) continue;
    std::string piece;
    for (std::size_t i = open + 1; i < close; ++i) {
      if (line[i] != '\\' || i + 1 >= close) {
        piece += line[i];
      } else if (line[i + 1] == 'x' && i + 3 < close) {
        piece += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        piece += line[++i];
      }
    }
    // Pieces that are whole on their own: balanced braces, no structure that needs a partner.
    int balance = 0;
    for (const char c : piece) balance += c == '{' ? 1 : c == '}' ? -1 : 0;
    static constexpr std::string_view kPartnered[] = {"\\left", "\\right", "\\middle", "\\begin",
                                                      "\\end"};
    const bool command =
        piece.size() > 1 && piece[0] == '\\' && std::isalpha(static_cast<unsigned char>(piece[1]));
    if (command && balance == 0 && std::ranges::none_of(kPartnered, [&](std::string_view p) {
          return piece.find(p) != std::string::npos;
        }))
      pieces.push_back(piece);
  }
  return pieces;
}

class Generator {
 public:
  Generator(std::uint64_t seed, std::vector<std::string> pieces)
      : random_(seed), pieces_(std::move(pieces)) {}

  std::string next() {
    std::string out;
    const std::size_t items = 1 + pick(5);
    for (std::size_t i = 0; i < items; ++i) item(out, 0);
    return out;
  }

 private:
  std::size_t pick(std::size_t n) { return static_cast<std::size_t>(random_() % n); }
  bool chance(std::size_t in) { return pick(in) == 0; }

  void atom(std::string& out) {
    static constexpr std::string_view kCommon[] = {
        "a", "b", "x", "y", "n", "i", "1", "2", "10", "+", "-", "=",  "<", ">", ",", ";", ".",
        "(", ")", "[", "]", "|", "/", "!", "'", "*",  ":", " ", "  ", "α", "∑", "≤", "→", "𝑥"};
    static constexpr std::string_view kRare[] = {
        "?",    "@",    "\"",   "~",    "$",    "%",  "中",  "é",   "e\u0301", "\t",  "\n",  "\\ ",
        "\\,",  "\\!",  "\\\\", "&",    "#",    "`",  "\\{", "\\}", "\\|",     "\\$", "\\%", "\\_",
        "\x7f", "\x01", "\xc3", "\xff", "\r\n", "\\", "{",   "}",   "^",       "_"};
    const std::size_t choice = pick(150);
    if (choice < 50 && !pieces_.empty()) {
      out += pieces_[pick(pieces_.size())];
      for (std::size_t arguments = pick(4) == 0 ? 0 : 1 + pick(2); arguments > 0; --arguments) {
        out += '{';  // most commands take arguments
        atom(out);
        out += '}';
      }
    } else if (choice < 149) {
      out += kCommon[pick(std::size(kCommon))];
    } else {
      out += kRare[pick(std::size(kRare))];
    }
  }

  void item(std::string& out, int depth) {
    if (depth > 3) {
      atom(out);
      return;
    }
    switch (pick(16)) {
      case 0:
      case 1:
      case 2:
        out += '{';
        group(out, depth);
        if (!chance(20)) out += '}';
        break;
      case 3: {
        const bool fraction = chance(2);
        out += fraction ? "\\frac{" : "\\sqrt[";
        group(out, depth);
        out += fraction ? "}{" : "]{";
        group(out, depth);
        out += '}';
        break;
      }
      case 4:
      case 5: {
        atom(out);
        const bool up = chance(2);
        out += up ? "^{" : "_{";
        group(out, depth);
        out += '}';
        if (chance(3)) {
          out += up ? "_" : "^";
          atom(out);
        }
      } break;
      case 6: {
        static constexpr std::string_view kOpen[] = {"(", "[", "\\{", "|", ".", "\\langle", "\\|"};
        static constexpr std::string_view kClose[] = {")", "]", "\\}", "|", ".", "\\rangle", "/"};
        out += "\\left";
        out += kOpen[pick(std::size(kOpen))];
        group(out, depth);
        if (chance(4)) {
          out += "\\middle|";
          group(out, depth);
        }
        if (!chance(15)) {
          out += "\\right";
          out += kClose[pick(std::size(kClose))];
        }
        break;
      }
      case 7: {
        static constexpr std::string_view kEnvironments[] = {"matrix",
                                                             "pmatrix",
                                                             "bmatrix",
                                                             "cases",
                                                             "array}{c|l",
                                                             "aligned",
                                                             "align*",
                                                             "vmatrix",
                                                             "smallmatrix",
                                                             "gathered",
                                                             "unknown",
                                                             "alignat}{2",
                                                             "array}{*{3}{c}",
                                                             "array}{c\\vline r:l",
                                                             "array}{|p{2cm}@{}c||}",
                                                             "bmatrix*}[r",
                                                             "Bmatrix",
                                                             "rcases",
                                                             "eqnarray",
                                                             "split"};
        const std::string_view env = kEnvironments[pick(std::size(kEnvironments))];
        out += "\\begin{";
        out += env;
        out += '}';
        const std::size_t rows = 1 + pick(3), columns = 1 + pick(3);
        for (std::size_t r = 0; r < rows; ++r) {
          if (chance(5)) out += "\\hline ";
          for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) out += '&';
            group(out, depth);
          }
          if (r + 1 < rows || chance(3)) out += "\\\\";
        }
        if (!chance(15)) {
          out += "\\end{";
          out += env.substr(0, env.find('}'));
          out += '}';
        }
        break;
      }
      case 8:
        out += chance(2) ? "\\sum" : "\\int";
        if (chance(2)) out += "_{i=1}^{n}";
        item(out, depth + 1);
        break;
      case 9:
        out += chance(2) ? "\\text{" : "\\mathbf{";
        group(out, depth);
        out += '}';
        break;
      case 10:
        out += ' ';
        break;
      default:
        atom(out);
        break;
    }
  }

  void group(std::string& out, int depth) {
    const std::size_t items = pick(4);
    for (std::size_t i = 0; i < items; ++i) item(out, depth + 1 + static_cast<int>(pick(2)));
  }

  std::mt19937_64 random_;
  std::vector<std::string> pieces_;
};

// ---- inputs ----

bool read_file(const fs::path& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

bool add_path(const fs::path& path, bool lines, std::vector<std::string>& inputs) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(path, error))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::ranges::sort(files);
    for (const fs::path& file : files)
      if (!add_path(file, lines, inputs)) return false;
    return !error;
  }
  std::string bytes;
  if (!read_file(path, bytes)) {
    std::fprintf(stderr, "snapshot: cannot read %s\n", path.string().c_str());
    return false;
  }
  if (!lines) {
    inputs.push_back(std::move(bytes));
    return true;
  }
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    inputs.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

// The input as a C string literal's body, for --show.
std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", byte);
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

int usage() {
  std::fputs(
      "usage: snapshot [--lines] [--random COUNT [--seed S] [--dict FILE]] [--show N] PATH...\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool lines = false;
  std::size_t random_count = 0;
  std::uint64_t seed = 1;
  fs::path dictionary;
  long show = -1;
  std::vector<fs::path> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--lines") {
      lines = true;
    } else if (arg == "--random" && has_value) {
      random_count = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--seed" && has_value) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--dict" && has_value) {
      dictionary = argv[++i];
    } else if (arg == "--show" && has_value) {
      show = std::strtol(argv[++i], nullptr, 10);
    } else if (arg.starts_with("--")) {
      return usage();
    } else {
      paths.emplace_back(arg);
    }
  }

  std::vector<std::string> inputs;
  for (const fs::path& path : paths)
    if (!add_path(path, lines, inputs)) return 2;
  if (random_count > 0) {
    Generator generator(
        seed, dictionary.empty() ? std::vector<std::string>{} : read_dictionary(dictionary));
    for (std::size_t i = 0; i < random_count; ++i) inputs.push_back(generator.next());
  }

  if (show >= 0) {
    if (static_cast<std::size_t>(show) >= inputs.size()) return usage();
    const std::string& input = inputs[static_cast<std::size_t>(show)];
    std::printf("input %ld: \"%s\"\n", show, escaped(input).c_str());
    for (const Answer& answer : answers(input, static_cast<std::size_t>(show)))
      std::printf("--- %s\n%s\n", answer.name.c_str(), answer.text.c_str());
    return 0;
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    std::printf("%zu", i);
    for (const Answer& answer : answers(inputs[i], i))
      std::printf(" %016llx", static_cast<unsigned long long>(digest(answer.text)));
    std::putchar('\n');
  }
  return std::ferror(stdout) ? 1 : 0;
}
