// The `vok` command: renders the formulas given as arguments, or one formula per line of standard
// input, and prints their pictures; with --latex (-l) every formula is read as LaTeX as people
// write it instead of vok's exact markup. An input error is reported on standard error as
// "vok: <message>" (after "argument N: " or "line N: " when there are several formulas) and
// makes the exit status 1; the other formulas are still rendered. A usage error (an unknown option)
// exits with status 2 before anything is rendered. No control character reaches the output: a
// picture or a message that holds one shows it as a control picture (␛) or U+FFFD.
//
// On Windows the arguments arrive as UTF-16 and are passed on as UTF-8, the pictures and messages
// leave as the same bytes as elsewhere (no carriage return added before each line feed), and a
// console shows them as UTF-8 while the command runs.
#include <algorithm>
#include <cerrno>
#include <charconv>
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
    "usage: vok [-h] [--version] [-l] [--width N] [--ascii] [--commands] [--] [FORMULA...]\n"
    "       vok --markdown [--width N] [--ascii] [FILE|-]\n";

constexpr std::string_view kHelp =
    "\n"
    "Draws each LaTeX-like FORMULA in two dimensions as lines of Unicode text.\n"
    "Several pictures are separated by a blank line; one picture is printed exactly.\n"
    "With no FORMULA, or the single FORMULA '-', reads standard input: one formula\n"
    "per line, each picture followed by a blank line.\n"
    "\n"
    "options:\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n"
    "  -l, --latex  read every formula as LaTeX as people write it\n"
    "  --commands   list the commands of the dialect and exit: one line each,\n"
    "               the name, its group and what it draws, tab-separated\n"
    "  --markdown   read FILE (or standard input) as a Markdown document and\n"
    "               print it with its math drawn (LaTeX), the rest unchanged\n"
    "  --width N    break a LaTeX formula wider than N columns at its relations, else\n"
    "               its binary operators (default: the terminal's width, when the\n"
    "               output is a terminal; 0: never)\n"
    "  --ascii      draw LaTeX formulas with ASCII characters only (rules, brackets,\n"
    "               signs), for fonts and consoles without the drawing pieces\n"
    "  --           end of options: what follows are formulas, even '-x' or '-'\n"
    "\n"
    "An input error prints \"vok: <message>\" on standard error, after \"argument N:\"\n"
    "or \"line N:\" when there are several formulas, and makes the exit status 1; the\n"
    "other formulas are still drawn. A usage error exits with status 2. Control\n"
    "characters are shown as control pictures (␛, ␇) or U+FFFD, never written.\n";

// The controls a document keeps: tab, line feed and carriage return, which a terminal shows as
// white space; a picture keeps only the line feed.
constexpr std::string_view kDocumentWhiteSpace = "\t\n\r";
constexpr std::string_view kPictureWhiteSpace = "\n";

// Whether the UTF-8 text at `i` is a character a terminal would act on rather than show: a C0
// control other than those of `kept`, DEL, or a C1 control (two bytes, C2 80 to C2 9F).
std::size_t control_at(std::string_view text, std::size_t i, std::string_view kept) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if ((byte < 0x20 && kept.find(static_cast<char>(byte)) == std::string_view::npos) || byte == 0x7F)
    return 1;
  if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
      static_cast<unsigned char>(text[i + 1]) <= 0x9F)
    return 2;
  return 0;
}

// A character of the Basic Multilingual Plane past U+07FF in UTF-8: the control pictures and
// U+FFFD.
std::string utf8(char32_t ch) {
  return {static_cast<char>(0xE0 | (ch >> 12)), static_cast<char>(0x80 | ((ch >> 6) & 0x3F)),
          static_cast<char>(0x80 | (ch & 0x3F))};
}

// Writes `text` with every control character shown rather than acted on: C0 controls and DEL as
// their control pictures (␛ for ESC, ␡ for DEL), C1 controls as U+FFFD. A picture may hold them
// (the exact markup draws any character it is given), and a message quotes the input.
void write_safe(std::ostream& out, std::string_view text,
                std::string_view kept = kPictureWhiteSpace) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = control_at(text, i, kept);
    if (length == 0) {
      ++i;
      continue;
    }
    out << text.substr(from, i - from);
    const auto byte = static_cast<unsigned char>(text[i]);
    out << utf8(length == 2 ? U'\uFFFD' : byte == 0x7F ? U'\u2421' : U'\u2400' + byte);
    i += length;
    from = i;
  }
  out << text.substr(from);
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
  write_safe(std::cout, *picture);
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
  return _wfopen(wide.c_str(), L"rb");
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
    write_safe(std::cerr, std::strerror(error));
  }
  std::cerr << '\n';
}

// Prints a Markdown document with its math drawn; a formula that cannot be drawn is left as
// written and named on standard error by its line. The document's own text is printed as it is but
// for the control characters a terminal would act on (all but tab, carriage return and line feed),
// which are shown.
int show_document(std::optional<std::string_view> path, vok::Options options) {
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
  const vok::Document document = vok::render_markdown(text, options);
  write_safe(std::cout, document.text, kDocumentWhiteSpace);
  if (!document.problems.empty()) std::cout.flush();
  for (const vok::DocumentProblem& problem : document.problems) {
    std::cerr << "vok: line " << problem.line << ": ";
    write_safe(std::cerr, problem.message);
    std::cerr << '\n';
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

// A count of columns written in decimal, or nothing.
std::optional<std::size_t> parse_columns(std::string_view text) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
  return value;
}

// Prints a usage error and returns its exit status.
int usage_error(std::string_view problem) {
  std::cerr << "vok: " << problem << '\n' << kUsage << "Try 'vok --help' for more.\n";
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
  // The dialect: --latex applies to every formula, before or after it.
  vok::Options render_options;
  render_options.width = terminal_width();
  bool list = false;
  bool markdown = false;
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
    } else if (options && (arg == "--width" || arg.starts_with("--width="))) {
      std::string_view value = arg.substr(std::min(arg.size(), std::size_t{8}));
      if (arg == "--width") {
        if (i + 1 == argc) return usage_error("--width needs a number of columns");
        value = argv[++i];
      }
      const auto columns = parse_columns(value);
      if (!columns)
        return usage_error("--width needs a number of columns, not '" + std::string(value) + "'");
      render_options.width = *columns;
    } else if (options && arg == "--ascii") {
      render_options.ascii = true;
    } else if (options && (arg == "-l" || arg == "--latex")) {
      render_options.dialect = vok::Dialect::Latex;
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
  if (list) return list_commands(render_options.dialect);
  if (markdown) {
    if (formulas.size() > 1 || (from_stdin && !formulas.empty()))
      return usage_error("--markdown reads one FILE, or standard input");
    // A path is an operand: after --, '-' names a file of that name.
    return show_document(formulas.empty() ? std::nullopt : std::optional(formulas.front()),
                         render_options);
  }
  if (from_stdin && !formulas.empty()) {
    return usage_error("'-' (standard input) cannot be combined with formulas");
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
    for (std::size_t number = 1; std::cout.flush() && read_line(stdin, line); ++number) {
      ok = show(line, render_options, "line " + std::to_string(number) + ": ") && ok;
      std::cout << '\n';
    }
    if (std::ferror(stdin) != 0) {
      cannot_read("standard input", errno);
      ok = false;
    }
  }
  return finish(ok);
}

// Runs the command; whatever escapes it (exhausted memory, or a bug) is a message and exit status
// 1, never an abort.
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
