// A small test harness for the core: named cases, equality checks that print both sides, and a
// count of failures. Each test file exposes one function that runs its cases.
#pragma once

#include <cstdio>
#include <source_location>
#include <sstream>
#include <string>
#include <string_view>

namespace vok::test {

class Suite {
 public:
  // Records a failure unless `actual == expected`; `what` names the case.
  template <class A, class B>
  void eq(const A& actual, const B& expected, std::string_view what = "",
          std::source_location where = std::source_location::current()) {
    ++checks_;
    if (actual == expected) return;
    std::ostringstream out;
    out << "  expected: " << show(expected) << "\n  actual:   " << show(actual);
    report(what, out.str(), where);
  }

  // Records a failure unless `condition` holds.
  void ok(bool condition, std::string_view what,
          std::source_location where = std::source_location::current()) {
    ++checks_;
    if (!condition) report(what, "  condition is false", where);
  }

  [[nodiscard]] int failures() const { return failures_; }
  [[nodiscard]] int checks() const { return checks_; }

 private:
  template <class T>
  static std::string show(const T& value) {
    std::ostringstream out;
    if constexpr (std::is_convertible_v<T, std::string_view>) {
      out << '"';
      for (char c : std::string_view(value)) {
        if (c == '\n')
          out << "\\n";
        else if (c == '"')
          out << "\\\"";
        else
          out << c;
      }
      out << '"';
    } else {
      out << value;
    }
    return out.str();
  }

  void report(std::string_view what, const std::string& detail, std::source_location where) {
    ++failures_;
    std::fprintf(stderr, "FAIL %s:%u %.*s\n%s\n", where.file_name(), where.line(),
                 static_cast<int>(what.size()), what.data(), detail.c_str());
  }

  int failures_ = 0;
  int checks_ = 0;
};

void lexer_tests(Suite& suite);
void error_tests(Suite& suite);
void layout_tests(Suite& suite);
void layout_scripts_tests(Suite& suite);
void layout_delimiters_tests(Suite& suite);
void layout_tables_tests(Suite& suite);
void parser_tests(Suite& suite);
void vocabulary_tests(Suite& suite);
void commands_tests(Suite& suite);
void arena_tests(Suite& suite);

}  // namespace vok::test
