// The math of a Markdown document drawn in place: the text is read block by block (fenced code,
// indented code, blank lines, paragraphs), and in paragraphs span by span, and everything that is
// not math is copied byte for byte.
//
// Display math — $$…$$, \[…\], a fenced block whose info string is `math` or `latex`, or a
// paragraph that is one \begin{equation}-like environment — becomes its picture in a fenced `text`
// block, on lines of its own. Inline math — $…$ and \(…\) — becomes its picture in the line when
// the picture is one row, and stays as written otherwise. A `$` opens inline math only when a
// non-blank follows it, and closes it only when a non-blank precedes it and no digit follows it, so
// "$5 and $10" is not math; \$ is a dollar. Code spans and code blocks are never touched. A formula
// that cannot be drawn stays as written, and its line is reported.
//
// Every search for a closing delimiter resumes where the last one for the same delimiter stopped,
// so a paragraph is read in time linear in its length, whatever it holds.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pipeline.hpp"
#include "vok/vok.hpp"

namespace vok {
namespace {

// The environments that stand for a display of their own when a paragraph is one of them.
constexpr std::string_view kDisplayEnvironments[] = {
    "equation", "equation*", "align",       "align*",   "gather",  "gather*",
    "multline", "multline*", "flalign",     "flalign*", "alignat", "alignat*",
    "eqnarray", "eqnarray*", "displaymath", "math"};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// The lines of a document, each with its line feed (the last may have none).
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  [[nodiscard]] bool done() const { return at_ >= text_.size(); }
  [[nodiscard]] std::string_view peek() const {
    const std::size_t end = text_.find('\n', at_);
    return text_.substr(at_,
                        end == std::string_view::npos ? std::string_view::npos : end + 1 - at_);
  }
  std::string_view next() {
    const std::string_view line = peek();
    at_ += line.size();
    return line;
  }
  [[nodiscard]] std::size_t offset() const { return at_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

bool blank_line(std::string_view line) { return trim(line).empty(); }

std::size_t line_feeds(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
    ++count;
  return count;
}

// A fence that opens a code block: up to three spaces, then three or more ` or ~.
struct Fence {
  char mark = 0;
  std::size_t length = 0;
  std::string_view info;
};

Fence opening_fence(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && i < 3 && line[i] == ' ') ++i;
  if (i >= line.size() || (line[i] != '`' && line[i] != '~')) return {};
  const char mark = line[i];
  std::size_t length = 0;
  while (i + length < line.size() && line[i + length] == mark) ++length;
  if (length < 3) return {};
  const std::string_view info = trim(line.substr(i + length));
  if (mark == '`' && info.find('`') != std::string_view::npos) return {};
  return {mark, length, info};
}

bool closes(std::string_view line, const Fence& fence) {
  std::size_t i = 0;
  while (i < line.size() && i < 3 && line[i] == ' ') ++i;
  std::size_t length = 0;
  while (i + length < line.size() && line[i + length] == fence.mark) ++length;
  return length >= fence.length && trim(line.substr(i + length)).empty();
}

bool math_info(std::string_view info) {
  const std::string_view word = info.substr(0, info.find_first_of(" \t{"));
  return word == "math" || word == "latex";
}

bool indented(std::string_view line) { return line.starts_with("    ") || line.starts_with('\t'); }

class Filter {
 public:
  Filter(std::string_view text, Options options) : text_(text), options_(options) {
    out_.reserve(text.size() + text.size() / 8);
  }

  Document run() {
    Lines lines(text_);
    bool after_paragraph = false;  // an indented line right after a paragraph continues it
    while (!lines.done()) {
      const std::string_view line = lines.peek();
      if (blank_line(line)) {
        out_ += lines.next();
        after_paragraph = false;
      } else if (const Fence fence = opening_fence(line); fence.mark != 0) {
        fenced(lines, fence);
        after_paragraph = false;
      } else if (indented(line) && !after_paragraph) {
        out_ += lines.next();  // indented code
      } else {
        paragraph(lines);
        after_paragraph = true;
      }
    }
    // The problems were noted at their formulas' offsets, in order: now their lines.
    std::size_t line = 1, counted = 0;
    for (DocumentProblem& problem : problems_) {
      line += line_feeds(text_.substr(counted, problem.line - counted));
      counted = problem.line;
      problem.line = line;
    }
    return {std::move(out_), std::move(problems_)};
  }

 private:
  // A fenced block: copied, or drawn when its info string says math.
  void fenced(Lines& lines, const Fence& fence) {
    const std::size_t start = lines.offset();
    lines.next();
    const std::size_t body = lines.offset();
    std::size_t body_end = std::string_view::npos, end = text_.size();
    while (!lines.done()) {
      const std::size_t before = lines.offset();
      if (closes(lines.next(), fence)) {
        body_end = before;
        end = lines.offset();
        break;
      }
    }
    if (math_info(fence.info) && body_end != std::string_view::npos &&
        display(text_.substr(body, body_end - body), body))
      return;
    out_ += text_.substr(start, end - start);
  }

  // A paragraph: its lines up to a blank line, a fence or the end.
  void paragraph(Lines& lines) {
    const std::size_t start = lines.offset();
    lines.next();
    while (!lines.done()) {
      const std::string_view line = lines.peek();
      if (blank_line(line) || opening_fence(line).mark != 0) break;
      lines.next();
    }
    const std::string_view text = text_.substr(start, lines.offset() - start);
    if (environment(text)) return;
    spans(text);
  }

  // A paragraph that is one display environment and nothing else.
  bool environment(std::string_view text) {
    const std::string_view body = trim(text);
    if (!body.starts_with("\\begin{")) return false;
    const std::size_t close = body.find('}');
    if (close == std::string_view::npos) return false;
    const std::string_view name = body.substr(7, close - 7);
    if (std::ranges::find(kDisplayEnvironments, name) == std::end(kDisplayEnvironments))
      return false;
    const std::string end = "\\end{" + std::string(name) + "}";
    if (!body.ends_with(end)) return false;
    const std::size_t at = static_cast<std::size_t>(body.data() - text.data());
    out_ += text.substr(0, at);  // the indentation before it
    if (display(body, offset(body))) return true;
    out_ += text.substr(at);
    return true;
  }

  // The spans of a paragraph: code spans, display and inline math, and the text between.
  void spans(std::string_view text) {
    Closers closers(text);
    std::size_t copied = 0;
    const std::size_t base = offset(text);
    for (std::size_t i = 0; i < text.size();) {
      const char c = text[i];
      if (c != '$' && c != '\\' && c != '`') {
        ++i;
        continue;
      }
      if (c == '`') {
        const std::size_t run = run_length(text, i, '`');
        const std::size_t end = closers.backticks(i + run, run);
        i = end == std::string_view::npos ? i + run : end + run;
        continue;
      }
      if (c == '\\') {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (next == '(' || next == '[') {
          const std::size_t end = closers.find(next == '(' ? "\\)" : "\\]", i + 2);
          if (end != std::string_view::npos) {
            const std::string_view formula = text.substr(i + 2, end - i - 2);
            const std::size_t after = end + 2;
            copied = math(text, copied, i, after, formula, next == '[', base + i);
            i = after;
            continue;
          }
        }
        i += 2;  // an escape: \$ is a dollar
        continue;
      }
      // c == '$'
      if (i + 1 < text.size() && text[i + 1] == '$') {
        const std::size_t end = closers.find("$$", i + 2);
        if (end != std::string_view::npos && !trim(text.substr(i + 2, end - i - 2)).empty()) {
          copied = math(text, copied, i, end + 2, text.substr(i + 2, end - i - 2), true, base + i);
          i = end + 2;
        } else {
          i += 2;
        }
        continue;
      }
      const std::size_t end = i + 1 < text.size() && !is_blank(text[i + 1])
                                  ? closers.dollar(i + 1)
                                  : std::string_view::npos;
      if (end == std::string_view::npos) {
        ++i;
        continue;
      }
      copied = math(text, copied, i, end + 1, text.substr(i + 1, end - i - 1), false, base + i);
      i = end + 1;
    }
    out_ += text.substr(copied);
  }

  static std::size_t run_length(std::string_view text, std::size_t i, char c) {
    std::size_t n = 0;
    while (i + n < text.size() && text[i + n] == c) ++n;
    return n;
  }

  // Where the closing delimiters of a paragraph are, each search resuming where the last one of
  // its kind stopped: a closer found for one opener serves every opener before it.
  class Closers {
   public:
    explicit Closers(std::string_view text) : text_(text) {}

    // The next `token` at or after `from`.
    std::size_t find(std::string_view token, std::size_t from) {
      Cached& cached = token == "\\)" ? paren_ : token == "\\]" ? bracket_ : dollars_;
      if (cached.at != std::string_view::npos && cached.at >= from) return cached.at;
      if (cached.at == std::string_view::npos && cached.searched) return cached.at;
      cached.at = text_.find(token, std::max(from, cached.from));
      cached.from = from;
      cached.searched = true;
      return cached.at;
    }

    // The next `$` at or after `from` that closes inline math: not escaped, not part of `$$`,
    // after a non-blank and before no digit; none when a backtick comes first, as math does not
    // reach into a code span.
    std::size_t dollar(std::size_t from) {
      if (dollar_.searched && (dollar_.at == std::string_view::npos || dollar_.at >= from))
        return dollar_.at < text_.size() && text_[dollar_.at] == '`' ? std::string_view::npos
                                                                     : dollar_.at;
      std::size_t i = std::max(from, dollar_.from);
      dollar_.searched = true;
      for (; i < text_.size(); ++i) {
        if (text_[i] == '\\') {
          ++i;
          continue;
        }
        if (text_[i] == '`') break;
        if (text_[i] != '$') continue;
        if (i + 1 < text_.size() && text_[i + 1] == '$') {
          ++i;
          continue;
        }
        const bool after_blank = is_blank(text_[i - 1]);
        const bool before_digit =
            i + 1 < text_.size() && text_[i + 1] >= '0' && text_[i + 1] <= '9';
        if (!after_blank && !before_digit) break;
      }
      dollar_.at = i < text_.size() ? i : std::string_view::npos;
      dollar_.from = i;
      return i < text_.size() && text_[i] == '`' ? std::string_view::npos : dollar_.at;
    }

    // The next run of exactly `length` backticks at or after `from`, a run being all the
    // backticks side by side (`from` is never inside one). The paragraph's runs are indexed by
    // length once, and each length keeps a cursor: the `from` of successive calls only grows.
    std::size_t backticks(std::size_t from, std::size_t length) {
      if (first_.empty()) index_backticks();
      if (length + 1 >= first_.size()) return std::string_view::npos;
      std::size_t& next = cursor_[length];
      while (next < first_[length + 1] && runs_[next] < from) ++next;
      return next < first_[length + 1] ? runs_[next] : std::string_view::npos;
    }

   private:
    struct Cached {
      std::size_t at = std::string_view::npos;
      std::size_t from = 0;  // where the next search starts
      bool searched = false;
    };
    // The runs of backticks, their starts grouped by length in order: those of length n are
    // runs_[first_[n]] to runs_[first_[n + 1]].
    void index_backticks() {
      std::vector<std::pair<std::size_t, std::size_t>> found;  // start, length
      std::size_t longest = 0;
      for (std::size_t i = text_.find('`'); i != std::string_view::npos; i = text_.find('`', i)) {
        const std::size_t n = run_length(text_, i, '`');
        found.emplace_back(i, n);
        longest = std::max(longest, n);
        i += n;
      }
      first_.assign(longest + 2, 0);
      for (const auto& [start, n] : found) ++first_[n + 1];
      for (std::size_t n = 1; n < first_.size(); ++n) first_[n] += first_[n - 1];
      cursor_ = first_;
      runs_.resize(found.size());
      for (const auto& [start, n] : found) runs_[cursor_[n]++] = start;
      cursor_ = first_;
    }

    std::string_view text_;
    Cached paren_, bracket_, dollars_, dollar_;
    std::vector<std::size_t> runs_, first_, cursor_;
  };

  // One formula of a paragraph, between `open` and `close` (the delimiters included): the text
  // before it is copied, then its picture or the formula as written. Returns where copying
  // resumes. `at` is where the formula starts in the document, for its problem.
  std::size_t math(std::string_view text, std::size_t copied, std::size_t open, std::size_t close,
                   std::string_view formula, bool display_math, std::size_t at) {
    out_ += text.substr(copied, open - copied);
    if (display_math) {
      const std::size_t mark = out_.size();
      if (!out_.empty() && out_.back() != '\n') out_ += '\n';
      if (display(formula, at)) {
        // The rest of the line goes on a line of its own; its end, \n or \r\n, is the block's.
        while (close < text.size() && (text[close] == ' ' || text[close] == '\t')) ++close;
        if (text.substr(close).starts_with("\r\n")) ++close;
        if (close < text.size() && text[close] == '\n') ++close;
        return close;
      }
      out_.resize(mark);
      out_ += text.substr(open, close - open);
      return close;
    }
    // Only a picture of one row is drawn, without its line feed.
    const std::size_t mark = out_.size();
    auto drawn = append_picture(out_, formula, options_, 1);
    if (!drawn) {
      problems_.push_back({at, std::move(drawn.error().message)});
    } else if (*drawn && out_.size() > mark) {
      out_.pop_back();
      return close;
    }
    out_ += text.substr(open, close - open);
    return close;
  }

  // A display: the picture of `formula` in a fenced text block. False, with the problem noted at
  // `at` (the line is counted when the document is done), when it cannot be drawn.
  bool display(std::string_view formula, std::size_t at) {
    const std::size_t mark = out_.size();
    out_ += "```text\n";
    auto drawn = append_picture(out_, formula, options_, std::string_view::npos);
    if (!drawn) {
      out_.resize(mark);
      problems_.push_back({at, std::move(drawn.error().message)});
      return false;
    }
    // The fence is longer than any run of backticks in the picture, which would close it.
    std::size_t longest = 0;
    for (std::size_t i = mark + 8, run = 0; i < out_.size(); ++i)
      longest = std::max(longest, run = out_[i] == '`' ? run + 1 : 0);
    if (longest >= 3) out_.insert(mark, longest - 2, '`');
    out_.append(std::max<std::size_t>(3, longest + 1), '`') += '\n';
    return true;
  }

  // Where a part of the document starts in it.
  [[nodiscard]] std::size_t offset(std::string_view part) const {
    return static_cast<std::size_t>(part.data() - text_.data());
  }

  std::string_view text_;
  Options options_;
  std::string out_;
  std::vector<DocumentProblem> problems_;
};

}  // namespace

Document render_markdown(std::string_view markdown, Options options) {
  return Filter(markdown, options).run();
}

}  // namespace vok
