// The `vok` command: renders the formulas given as arguments, or one formula per line of standard
// input or of a file (-f), and prints their pictures; every formula is read as LaTeX as people
// write it, or with --exact as vok's exact markup; with --markdown, a Markdown document with its
// math drawn.
// An input error is reported on standard error as "vok: <message>" (after "argument N: " or
// "line N: " when there are several formulas) and makes the exit status 1; the other formulas are
// still rendered. Input that cannot be read and output that cannot be written are errors too (a
// message, status 1): the command never aborts. A usage error (an unknown option) exits with status
// 2 before anything is rendered.
//
// Nothing it writes holds a control character but the line feed that ends each row of a picture
// and each message (a message is one line, even when it quotes a line feed), and in a document
// also tab and a carriage return directly before a line feed (a CR LF line end): every other C0
// control and DEL show as their control pictures (␛, ␍, ␡), a C1 control and each maximal subpart
// of invalid UTF-8 as U+FFFD. In a document the lines of invalid UTF-8 are named on standard error;
// like a formula left as written (named by the line and column of its problem), they are warnings
// and leave the exit status 0.
//
// On Windows the arguments arrive as UTF-16 and are passed on as UTF-8, the pictures and messages
// leave as the same bytes as elsewhere (no carriage return added before each line feed), and a
// console shows them as UTF-8 while the command runs.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "vok/vok.hpp"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <windows.h>

#include <cwchar>
#endif

#ifndef VOK_VERSION
#error "VOK_VERSION must be defined by the build (the project version)"
#endif

namespace {

constexpr int kExitInputError = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage =
    "usage: vok [-h] [--version] [--width N] [--ascii] [--linear] [--macros FILE]\n"
    "           [--commands] [-f FILE] [--] [FORMULA...]\n"
    "       vok --exact [--commands] [-f FILE] [--] [FORMULA...]\n"
    "       vok --markdown [--width N] [--ascii] [--inline FORM] [--plain] [--macros FILE]\n"
    "           [FILE|-]\n";

constexpr std::string_view kHelp =
    "\n"
    "Draws each LaTeX FORMULA in two dimensions as lines of Unicode text.\n"
    "Several pictures are separated by a blank line; one picture is printed exactly.\n"
    "With no FORMULA, or the single FORMULA '-', reads standard input: one formula\n"
    "per line, each picture followed by a blank line; -f FILE reads FILE so.\n"
    "\n"
    "options:\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n"
    "  --exact      read every formula as vok's exact markup instead of LaTeX (it\n"
    "               takes none of --width, --ascii, --linear and --macros)\n"
    "  -l, --latex  read every formula as LaTeX as people write it (the default)\n"
    "  -f, --file FILE\n"
    "               draw the formulas of FILE, one a line, each picture followed\n"
    "               by a blank line (an error says its line)\n"
    "  --commands   list the commands of the dialect and exit: one line each,\n"
    "               the name, its group and what it draws, tab-separated\n"
    "  --markdown   read FILE (or standard input) as a Markdown document and\n"
    "               print it with its math drawn (LaTeX), the rest unchanged\n"
    "  --inline FORM\n"
    "               how a document's inline math is written: 'linear' (the default:\n"
    "               the formula in one row of text), 'picture' (its picture when\n"
    "               that is one row) or 'source' (as written)\n"
    "  --plain      a document's display pictures without their ```text fences,\n"
    "               for reading in a terminal\n"
    "  --width N    break a formula wider than N columns at its relations, else\n"
    "               its binary operators (default: the terminal's width, when the\n"
    "               output is a terminal; 0: never)\n"
    "  --ascii      draw formulas with ASCII characters only (rules, brackets,\n"
    "               signs), for fonts and consoles without the drawing pieces\n"
    "  --linear     write each formula on one row, as in running text: a/b, √x, x²,\n"
    "               e^(iπ) (with --ascii: sqrt(x), x^2)\n"
    "  --macros FILE\n"
    "               LaTeX definitions (\\newcommand, \\def ... lines) in force in every\n"
    "               formula, as a document's preamble would hold them\n"
    "  --           end of options: what follows are formulas (or the FILE), even\n"
    "               '-x' or '-'\n"
    "\n"
    "An input error prints \"vok: <message>\" on standard error, after \"argument N:\"\n"
    "or \"line N:\" when there are several formulas, and makes the exit status 1; the\n"
    "other formulas are still drawn. Input that cannot be read and output that\n"
    "cannot be written are errors too. In a document, a formula that cannot be\n"
    "drawn stays as written (\"vok: line L, column C: <message>\") and invalid UTF-8\n"
    "is shown as U+FFFD (\"vok: line L: ...\"): these are warnings, and the exit\n"
    "status stays 0. A usage error exits with status 2.\n"
    "\n"
    "Nothing written holds a control character but the line feed, and in a document\n"
    "tab and a carriage return before a line feed: the others are shown as control\n"
    "pictures (␛, ␍) or U+FFFD, and so is invalid UTF-8.\n";

// The controls a text writes as they are: a message none (it is one line, even when it quotes a
// line feed of the input), a picture only the line feed; a document also tab, which moves the
// cursor but overwrites nothing, and a carriage return directly before a line feed, a CR LF line
// end (a Windows document stays one). Any other carriage return would let the rest of its line
// overwrite the start.
enum class Kept { kNothing, kLineFeed, kDocumentWhiteSpace };

// One character of UTF-8 text: its length in bytes, and whether it is well formed. An ill-formed
// one is a maximal subpart, the longest start of a well-formed sequence found there (at least one
// byte), each shown as one U+FFFD.
struct Unit {
  std::size_t length;
  bool valid;
};

// The character of `text` that starts at byte `i`.
Unit unit_at(std::string_view text, std::size_t i) {
  const auto byte = [text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  const std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0) return {1, false};
  // The second byte's range is narrower after E0, ED, F0 and F4: no overlong form, no surrogate,
  // nothing past U+10FFFF.
  unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  for (std::size_t k = 1; k < length; ++k, low = 0x80, high = 0xBF) {
    if (i + k == text.size() || byte(i + k) < low || byte(i + k) > high) return {k, false};
  }
  return {length, true};
}

// What the well-formed character of `length` bytes at `i` is shown as, or 0 when it is written as
// it is: a C0 control that `kept` does not keep as its control picture (␛ for ESC, ␍ for CR), DEL
// as ␡, a C1 control (C2 80 to C2 9F) as U+FFFD.
char32_t shown_as(std::string_view text, std::size_t i, std::size_t length, Kept kept) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (length == 2)
    return byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F ? 0xFFFD : 0;
  if (length > 1 || (byte >= 0x20 && byte != 0x7F)) return 0;
  if (byte == 0x7F) return 0x2421;
  if (kept != Kept::kNothing && byte == '\n') return 0;
  if (kept == Kept::kDocumentWhiteSpace &&
      (byte == '\t' || (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n')))
    return 0;
  return 0x2400 + byte;
}

// Writes `text` so that no terminal acts on it: every control character but those `kept` keeps is
// shown (shown_as), and so is invalid UTF-8, as U+FFFD. A picture may hold controls (the exact
// markup draws any character it is given), a message quotes the input, a document and a path are
// anyone's bytes. Allocates nothing.
void write_safe(std::ostream& out, std::string_view text, Kept kept = Kept::kNothing) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F) {  // printable ASCII, the most of any text
      ++i;
      continue;
    }
    const Unit unit = unit_at(text, i);
    const char32_t shown = unit.valid ? shown_as(text, i, unit.length, kept) : 0xFFFD;
    if (shown != 0) {
      // The control pictures and U+FFFD take three bytes of UTF-8.
      const char encoded[] = {static_cast<char>(0xE0 | (shown >> 12)),
                              static_cast<char>(0x80 | ((shown >> 6) & 0x3F)),
                              static_cast<char>(0x80 | (shown & 0x3F))};
      out << text.substr(from, i - from);
      out.write(encoded, sizeof encoded);
      from = i + unit.length;
    }
    i += unit.length;
  }
  out << text.substr(from);
}

// The lines of a document (from 1) that hold invalid UTF-8: the first kNamedLines of them, each
// named in a message of its own, and how many more, counted in one.
constexpr std::size_t kNamedLines = 3;

struct InvalidLines {
  std::vector<std::size_t> named;
  std::size_t more = 0;
};

InvalidLines invalid_lines(std::string_view text) {
  InvalidLines found;
  std::size_t line = 1;
  std::size_t last = 0;  // the last line found
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      line += text[i++] == '\n';
      continue;
    }
    const Unit unit = unit_at(text, i);  // never holds a line feed
    i += unit.length;
    if (unit.valid || line == last) continue;
    last = line;
    if (found.named.size() < kNamedLines) {
      found.named.push_back(line);
    } else {
      ++found.more;
    }
  }
  return found;
}

// Renders one formula; prints its picture or its error, the error after `where` ("line 3: ")
// when there are several formulas. Returns false on an error.
bool show(std::string_view formula, vok::Options options, std::string_view where) {
  const auto picture = vok::render(formula, options);
  if (!picture) {
    std::cout.flush();  // keep the order of pictures and messages when both go to a terminal
    std::cerr << "vok: " << where;
    write_safe(std::cerr, picture.error().message);
    std::cerr << '\n';
    return false;
  }
  write_safe(std::cout, *picture, Kept::kLineFeed);
  return true;
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

// Opens the file at a UTF-8 path for reading bytes, or returns null with errno set.
std::FILE* open_file(std::string_view path) {
#ifdef _WIN32
  // The path is UTF-8 (the arguments arrive as UTF-16 and are passed on as UTF-8): opened by its
  // UTF-16 form, it names the same file as elsewhere, where a narrow name is the code page's.
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), size);
  return _wfsopen(wide.c_str(), L"rb", _SH_DENYNO);  // others may keep writing the file
#else
  return std::fopen(std::string(path).c_str(), "rb");
#endif
}

// Reads `file` to its end into `text`; returns 0, or on a read error the system's error number (-1
// when it gives none). C stdio reports a failed read (a directory, a device) through ferror, where
// a C++ stream may throw it from inside a read.
int read_all(std::FILE* file, std::string& text) {
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  for (std::size_t size = 0;;) {
    text.resize(size + kChunk);
    errno = 0;
    const std::size_t count = std::fread(text.data() + size, 1, kChunk, file);
    const int error = errno;
    size += count;
    if (count < kChunk) {
      text.resize(size);
      if (std::ferror(file) == 0) return 0;
      return error != 0 ? error : -1;
    }
  }
}

// Reads the next line of `file` into `line`, without its line feed; false at the end of the input
// or on a read error (then ferror tells, errno says why), as std::getline reads a last line without
// a line feed and no empty line after it.
bool read_line(std::FILE* file, std::string& line) {
  line.clear();
  errno = 0;
  for (int c; (c = std::getc(file)) != EOF;) {
    if (c == '\n') return true;
    line.push_back(static_cast<char>(c));
  }
  return !line.empty() && std::ferror(file) == 0;
}

// Reports that the input named `source` ("standard input", or the user's path, shown safe) cannot
// be read, with the system's reason when it gives one.
void cannot_read(std::string_view source, int error) {
  std::cout.flush();  // keep the order of pictures and messages when both go to a terminal
  std::cerr << "vok: cannot read ";
  write_safe(std::cerr, source);
  if (error > 0) {
    std::cerr << ": ";
#ifdef _WIN32
    char reason[128];
    write_safe(std::cerr, strerror_s(reason, sizeof reason, error) == 0 ? reason : "error");
#else
    write_safe(std::cerr, std::strerror(error));
#endif
  }
  std::cerr << '\n';
}

// Whether `arg` is the option `name`, which takes a value: `--name VALUE` or `--name=VALUE`.
bool takes_value(std::string_view arg, std::string_view name) {
  return arg == name ||
         (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=');
}

// The value of the option `arg` names (the next argument, which it consumes, or what follows
// '='), or nothing when it is missing.
std::optional<std::string_view> value_of(std::string_view arg, std::string_view name, int& i,
                                         int argc, char** argv) {
  if (arg != name) return arg.substr(name.size() + 1);
  if (i + 1 == argc) return std::nullopt;
  return std::string_view(argv[++i]);
}

// Reads the file of definitions --macros names into `definitions`, and checks that they read as
// LaTeX; false, after saying why, when they cannot be read or do not read.
bool read_definitions(std::string_view path, std::string& definitions) {
  std::FILE* file = open_file(path);
  const int error = file == nullptr ? errno : read_all(file, definitions);
  if (file != nullptr) std::fclose(file);
  if (error != 0) {
    cannot_read(path, error);
    return false;
  }
  const auto checked =
      vok::render("", {.dialect = vok::Dialect::Latex, .definitions = definitions});
  if (checked) return true;
  std::cout.flush();
  std::cerr << "vok: ";
  write_safe(std::cerr, path);
  std::cerr << ": ";
  write_safe(std::cerr, checked.error().message);
  std::cerr << '\n';
  return false;
}

// Prints a Markdown document (a file, or standard input) with its math drawn. A formula that cannot
// be drawn is left as written and named on standard error by the line and column of its problem; a
// line that holds invalid UTF-8 (kNamedLines of them, then their count), printed as U+FFFD, by its
// line. Neither changes the exit status: the document is printed whole. Its text is written safe
// (write_safe), keeping tab and CR LF line ends.
int show_document(std::optional<std::string_view> path, vok::Options options,
                  vok::DocumentOptions document_options) {
  std::string text;
  if (path) {
    std::FILE* file = open_file(*path);
    const int error = file == nullptr ? errno : read_all(file, text);
    if (file != nullptr) std::fclose(file);
    if (error != 0) {
      cannot_read(*path, error);
      return finish(false);
    }
  } else {
#ifdef _WIN32
    // A document is read as bytes, from a file or standard input alike (no CR LF made LF).
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    if (const int error = read_all(stdin, text); error != 0) {
      cannot_read("standard input", error);
      return finish(false);
    }
  }
  options.dialect = vok::Dialect::Latex;
  const vok::Document document = vok::render_markdown(text, options, document_options);
  write_safe(std::cout, document.text, Kept::kDocumentWhiteSpace);
  // The messages in the order of their lines, a formula's before its line's invalid UTF-8.
  const InvalidLines invalid = invalid_lines(text);
  if (!document.problems.empty() || !invalid.named.empty()) std::cout.flush();
  auto next = invalid.named.begin();
  const auto name_invalid_lines_before = [&](std::size_t line) {
    for (; next != invalid.named.end() && *next < line; ++next)
      std::cerr << "vok: line " << *next << ": invalid UTF-8, shown as U+FFFD\n";
  };
  for (const vok::DocumentProblem& problem : document.problems) {
    name_invalid_lines_before(problem.line);
    std::cerr << "vok: line " << problem.line << ", column " << problem.column << ": ";
    write_safe(std::cerr, problem.message);
    std::cerr << '\n';
  }
  name_invalid_lines_before(SIZE_MAX);
  if (invalid.more > 0) {
    std::cerr << "vok: invalid UTF-8 on " << invalid.more
              << (invalid.more == 1 ? " more line" : " more lines") << ", shown as U+FFFD\n";
  }
  return finish(true);
}

// The width of the terminal standard output is, or 0 when it is none.
std::size_t terminal_width() {
#if defined(__unix__) || defined(__APPLE__)
  winsize size{};
  if (isatty(STDOUT_FILENO) != 0 && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
    return size.ws_col;
#endif
  return 0;
}

// A count of columns written in decimal, or nothing. A count past the largest size is that size:
// no picture is as wide, so it breaks none.
std::optional<std::size_t> parse_columns(std::string_view text) {
  if (text.empty() || !std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; }))
    return {};
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc::result_out_of_range ? SIZE_MAX : value;
}

// How --inline writes a document's inline math, or nothing for a word it does not take.
std::optional<vok::InlineMath> inline_form(std::string_view word) {
  if (word == "linear") return vok::InlineMath::Linear;
  if (word == "picture") return vok::InlineMath::Picture;
  if (word == "source") return vok::InlineMath::Source;
  return {};
}

// Prints a usage error and returns its exit status; the problem may quote an argument, which is
// shown safe.
int usage_error(std::string_view problem) {
  std::cerr << "vok: ";
  write_safe(std::cerr, problem);
  std::cerr << '\n' << kUsage << "Try 'vok --help' for more.\n";
  return kExitUsage;
}

// Lists every command of the dialect, sorted by name: the name, its group and what it draws,
// tab-separated.
int list_commands(vok::Dialect dialect) {
  for (const vok::CommandInfo& command : vok::commands(dialect))
    std::cout << '\\' << command.name << '\t' << command.group << '\t' << command.drawn << '\n';
  return finish(true);
}

int run(int argc, char** argv) {
  std::vector<std::string_view> formulas;
  bool from_stdin = false;  // a '-' operand
  // The dialect: LaTeX, or with --exact the exact markup, for every formula before or after it.
  vok::Options render_options;
  render_options.dialect = vok::Dialect::Latex;
  render_options.width = terminal_width();
  bool exact = false, latex = false;
  std::vector<std::string_view> latex_only;       // the options given that only LaTeX takes
  std::optional<std::string_view> formulas_path;  // -f FILE
  vok::DocumentOptions document_options;
  bool document_only = false;  // an option only a document takes was given
  bool list = false;
  bool markdown = false;
  bool options = true;
  std::optional<std::string_view> macros_path;
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
    } else if (options && takes_value(arg, "--width")) {
      const auto value = value_of(arg, "--width", i, argc, argv);
      if (!value) return usage_error("--width needs a number of columns");
      const auto columns = parse_columns(*value);
      if (!columns)
        return usage_error("--width needs a number of columns, not '" + std::string(*value) + "'");
      render_options.width = *columns;
      latex_only.push_back("--width");
    } else if (options && takes_value(arg, "--macros")) {
      const auto value = value_of(arg, "--macros", i, argc, argv);
      if (!value) return usage_error("--macros needs a FILE of definitions");
      macros_path = *value;
      latex_only.push_back("--macros");
    } else if (options && (arg == "-f" || takes_value(arg, "--file"))) {
      const auto value =
          arg == "-f" ? value_of(arg, "-f", i, argc, argv) : value_of(arg, "--file", i, argc, argv);
      if (!value) return usage_error(std::string(arg) + " needs a FILE of formulas, one a line");
      formulas_path = *value;
    } else if (options && takes_value(arg, "--inline")) {
      const auto value = value_of(arg, "--inline", i, argc, argv);
      if (!value) return usage_error("--inline needs linear, picture or source");
      const auto form = inline_form(*value);
      if (!form)
        return usage_error("--inline needs linear, picture or source, not '" + std::string(*value) +
                           "'");
      document_options.inline_math = *form;
      document_only = true;
    } else if (options && arg == "--plain") {
      document_options.plain = true;
      document_only = true;
    } else if (options && arg == "--ascii") {
      render_options.ascii = true;
      latex_only.push_back(arg);
    } else if (options && arg == "--linear") {
      render_options.linear = true;
      latex_only.push_back(arg);
    } else if (options && (arg == "-l" || arg == "--latex")) {
      latex = true;
    } else if (options && arg == "--exact") {
      exact = true;
      render_options.dialect = vok::Dialect::Exact;
    } else if (options && arg == "--commands") {
      list = true;
    } else if (options && arg == "--markdown") {
      markdown = true;
    } else if (options && arg == "-") {
      from_stdin = true;
    } else if (options && arg.starts_with('-')) {
      return usage_error("unknown option '" + std::string(arg) +
                         "' (put -- before a formula that starts with '-')");
    } else {
      formulas.push_back(arg);
    }
  }
  if (exact && latex) return usage_error("--exact and --latex name two dialects: give one");
  if (exact && !latex_only.empty())
    return usage_error(std::string(latex_only.front()) + " goes with LaTeX, not with --exact");
  if (exact && markdown) return usage_error("--markdown reads LaTeX, not --exact");
  if (list) return list_commands(render_options.dialect);
  std::string definitions;
  if (macros_path) {
    if (!read_definitions(*macros_path, definitions)) return finish(false);
    render_options.definitions = definitions;
  }
  if (document_only && !markdown) return usage_error("--inline and --plain go with --markdown");
  if (markdown) {
    if (render_options.linear)
      return usage_error("--linear draws formulas; a document's inline math takes --inline");
    if (formulas.size() > 1 || (from_stdin && !formulas.empty()))
      return usage_error("--markdown reads one FILE, or standard input");
    // A path is an operand: after --, '-' names a file of that name.
    return show_document(formulas.empty() ? std::nullopt : std::optional(formulas.front()),
                         render_options, document_options);
  }
  if (from_stdin && !formulas.empty()) {
    return usage_error("'-' (standard input) cannot be combined with formulas");
  }
  if (formulas_path && (from_stdin || !formulas.empty()))
    return usage_error("-f FILE cannot be combined with formulas or '-'");
  std::FILE* source = stdin;
  if (formulas_path) {
    source = open_file(*formulas_path);
    if (source == nullptr) {
      cannot_read(*formulas_path, errno);
      return finish(false);
    }
  }

  bool ok = true;
  if (!formulas.empty()) {
    // Several pictures are separated by a blank line; one picture is printed exactly.
    // With several, an error says which argument it comes from.
    for (std::size_t i = 0; i < formulas.size(); ++i) {
      if (i > 0) std::cout << '\n';
      const std::string where =
          formulas.size() > 1 ? "argument " + std::to_string(i + 1) + ": " : std::string();
      ok = show(formulas[i], render_options, where) && ok;
    }
  } else {
    // An error says which line it comes from. The pictures so far are flushed before each read,
    // which may wait for the user; once standard output fails, the rest is not read.
    std::string line;
    for (std::size_t number = 1; std::cout.flush() && read_line(source, line); ++number) {
      ok = show(line, render_options, "line " + std::to_string(number) + ": ") && ok;
      std::cout << '\n';
    }
    if (std::ferror(source) != 0) {
      cannot_read(formulas_path ? *formulas_path : "standard input", errno);
      ok = false;
    }
    if (source != stdin) std::fclose(source);
  }
  return finish(ok);
}

// Runs the command; whatever escapes it (exhausted memory, or a bug) is a message and exit status
// 1, never an abort. The handlers allocate nothing.
int run_guarded(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "vok: out of memory\n";
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "vok: internal error: ";
    write_safe(std::cerr, error.what());
    std::cerr << '\n';
  } catch (...) {
    std::cout.flush();
    std::cerr << "vok: internal error\n";
  }
  return kExitInputError;
}

#ifdef _WIN32
// An argument as UTF-8 (a lone surrogate becomes U+FFFD).
std::string utf8(const wchar_t* wide) {
  const int length = static_cast<int>(std::wcslen(wide));
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), size, nullptr, nullptr);
  return text;
}

// The console's output code page is UTF-8 while the command runs, and as it was afterwards.
class Utf8Console {
 public:
  Utf8Console() : previous_(GetConsoleOutputCP()) { SetConsoleOutputCP(CP_UTF8); }
  ~Utf8Console() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
  }
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  UINT previous_;  // 0 when there is no console
};
#endif

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** wide_argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(utf8(wide_argv[i]));
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const Utf8Console console;
  return run_guarded(argc, argv.data());
}
#else
int main(int argc, char** argv) { return run_guarded(argc, argv); }
#endif
