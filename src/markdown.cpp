// The math of a Markdown document drawn in place: the text is read line by line into blocks, as
// CommonMark reads them, simplified, and paragraphs span by span; everything that is not math is
// copied byte for byte.
//
// Blocks: block quotes (up to 3 blanks, `>`, a blank if one follows) and list items (up to 3
// blanks, a bullet - + * or a number of 1 to 9 digits with . or ), then 1 to 4 blanks or the line's
// end) hold other blocks. A line stays in a block quote by its `>`, in a list item by its
// indentation to the item's content or by being blank, and a line that stays in neither can still
// be the lazy continuation of a paragraph in them. The blocks they hold are fenced code, indented
// code, blank lines, thematic breaks, headings (# or underlined) and paragraphs; a fence ends with
// its container. A paragraph ends at a blank line or a line that starts another block, but not
// inside display math it has opened: the lines of a formula are no Markdown. Tabs reach the next
// multiple of 4 columns. Containers nest 16 deep at most; a marker deeper than that is text.
//
// Display math — $$…$$, \[…\], a fenced block whose info string is `math` or `latex`, or a
// paragraph that is one \begin{equation}-like environment — becomes its picture in a fenced `text`
// block, on lines of its own, with a fence longer than any run of backticks in the picture (plain:
// the picture's lines alone). Inside containers, each line of the block, the rest of the line after
// it and the lazy lines of its paragraph after it start with their markers ("> " for a block quote,
// blanks to the content for a list item), so that the picture and the text stay where they were. A
// display stays as written where the text after it (the rest of its line, else the next line) or
// before it on its line, put on a line of its own, would open a block there, as a fence would take
// the rest of the document, and in an ATX heading. Inline math — $…$ and \(…\) — becomes its
// one-row form, or its picture, in the line when that is one row, and stays as written otherwise
// (always, when the options say so); a formula never holds the markers of the lines it spans. A `$`
// opens inline math only when a non-blank follows it, and closes it only when a non-blank precedes
// it and no digit follows it, so "$5 and $10" is not math; \$ is a dollar. Code spans and code
// blocks are never touched. A formula that cannot be drawn stays as written, and its problem is
// reported at the line and column of the document that its error names, found through the lines
// the formula spans and their markers, else at its opening delimiter.
//
// Every line costs time linear in its length, code spans find their closers in an index of the
// paragraph's runs of backticks, and every other search for a closing delimiter resumes where the
// last one for the same delimiter stopped, so a document is read in time linear in its length,
// whatever it holds.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dialect.hpp"
#include "pipeline.hpp"
#include "vok/vok.hpp"

namespace vok {
namespace {

// The environments that stand for a display of their own when a paragraph is one of them.
constexpr std::string_view kDisplayEnvironments[] = {
    "equation", "equation*", "align",       "align*",   "gather",  "gather*",
    "multline", "multline*", "flalign",     "flalign*", "alignat", "alignat*",
    "eqnarray", "eqnarray*", "displaymath", "math"};

// How deep block quotes and list items nest. It bounds what a line costs to read and the markers
// that each line of a picture drawn inside them repeats.
constexpr std::size_t kMaxContainers = 16;

constexpr std::size_t npos = std::string_view::npos;

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
  [[nodiscard]] std::size_t offset() const { return at_; }
  std::string_view next() {
    const std::size_t end = text_.find('\n', at_);
    const std::string_view line = text_.substr(at_, end == npos ? npos : end + 1 - at_);
    at_ += line.size();
    return line;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

bool blank_line(std::string_view line) { return trim(line).empty(); }

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
  if (mark == '`' && info.find('`') != npos) return {};
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

// A place in a line as its blocks are read: a byte, the column it starts at, and how many columns
// of the tab there have been read already.
struct Cursor {
  std::size_t at = 0, column = 0, spent = 0;
  [[nodiscard]] std::size_t logical() const { return column + spent; }
};

// The columns of blanks from the cursor on.
std::size_t indentation(std::string_view line, Cursor c) {
  std::size_t column = c.column;
  for (std::size_t i = c.at; i < line.size() && (line[i] == ' ' || line[i] == '\t'); ++i)
    column += line[i] == ' ' ? 1 : 4 - column % 4;
  return column - c.logical();
}

// Moves the cursor over `columns` columns of blanks, which the line has.
void skip(std::string_view line, Cursor& c, std::size_t columns) {
  while (columns > 0) {
    const std::size_t width = line[c.at] == ' ' ? 1 : 4 - c.column % 4;
    if (width - c.spent > columns) {
      c.spent += columns;
      return;
    }
    columns -= width - c.spent;
    c = {c.at + 1, c.column + width, 0};
  }
}

// The rest of a line after the cursor's blanks, where a fence may start: empty when they are 4
// columns or more.
std::string_view unindented(std::string_view line, Cursor c) {
  const std::size_t indent = indentation(line, c);
  if (indent > 3) return {};
  skip(line, c, indent);
  return line.substr(c.at);
}

// Up to 3 blanks, then one or more = or one or more -, then blanks: the underline of a setext
// heading, which ends the paragraph above it.
bool underline(std::string_view rest) {
  const std::size_t first = rest.find_first_not_of(' ');
  if (first == npos || first > 3 || (rest[first] != '=' && rest[first] != '-')) return false;
  const std::size_t end = rest.find_first_not_of(rest[first], first);
  return end == npos || blank_line(rest.substr(end));
}

// Up to 3 blanks, then three or more of one of - * _ with blanks between and nothing else: a
// thematic break.
bool thematic_break(std::string_view rest) {
  const std::size_t first = rest.find_first_not_of(' ');
  if (first == npos || first > 3) return false;
  const char mark = rest[first];
  if (mark != '-' && mark != '*' && mark != '_') return false;
  std::size_t count = 0;
  for (const char c : rest.substr(first)) {
    if (c == mark) {
      ++count;
    } else if (!is_blank(c)) {
      return false;
    }
  }
  return count >= 3;
}

// Up to 3 blanks, 1 to 6 #, then a blank or the line's end: a heading.
bool heading(std::string_view rest) {
  std::size_t i = 0, hashes = 0;
  while (i < 3 && i < rest.size() && rest[i] == ' ') ++i;
  while (i + hashes < rest.size() && rest[i + hashes] == '#') ++hashes;
  return hashes >= 1 && hashes <= 6 && (i + hashes == rest.size() || is_blank(rest[i + hashes]));
}

// A block quote's marker at the cursor, which moves past it and the blank column after it.
bool quote_marker(std::string_view line, Cursor& c) {
  Cursor at = c;
  const std::size_t indent = indentation(line, at);
  if (indent > 3) return false;
  skip(line, at, indent);
  if (at.at >= line.size() || line[at.at] != '>') return false;
  at = {at.at + 1, at.column + 1, 0};
  if (indentation(line, at) > 0) skip(line, at, 1);
  c = at;
  return true;
}

// A list item's marker at the cursor, which moves to the item's content: after 1 to 4 columns of
// blanks, or 1 when there are more (the content is then indented code), or at the line's end.
// Returns the content's indent, the columns from where the cursor was, or 0 when there is no
// marker; `interrupts` says whether the item may interrupt a paragraph it is in (it has content,
// and a number is 1).
std::size_t list_marker(std::string_view line, Cursor& c, bool& interrupts) {
  Cursor at = c;
  const std::size_t indent = indentation(line, at);
  if (indent > 3 || thematic_break(unindented(line, c))) return 0;
  skip(line, at, indent);
  std::size_t end = at.at;
  while (end < line.size() && end - at.at < 10 && line[end] >= '0' && line[end] <= '9') ++end;
  const std::string_view number = line.substr(at.at, end - at.at);
  if (number.size() > 9 || end >= line.size()) return 0;
  if (number.empty() ? line[end] != '-' && line[end] != '+' && line[end] != '*'
                     : line[end] != '.' && line[end] != ')')
    return 0;
  at = {end + 1, at.column + number.size() + 1, 0};
  const bool empty = blank_line(line.substr(at.at));
  const std::size_t blanks = indentation(line, at);
  if (blanks == 0 && !empty) return 0;
  if (!empty) skip(line, at, blanks > 4 ? 1 : blanks);
  interrupts = !empty && (number.empty() || (number.back() == '1' &&
                                             number.find_first_not_of('0') == number.size() - 1));
  const std::size_t content = at.logical() + (empty ? 1 : 0) - c.logical();
  c = at;
  return content;
}

// Whether a line would open a block other than a paragraph where none is open: indented code, a
// fence, a block quote, a list item, a heading, a thematic break or HTML.
bool starts_block(std::string_view line) {
  if (blank_line(line)) return false;
  const std::string_view text = unindented(line, {});
  if (text.empty() || opening_fence(text).mark != 0 || heading(text) || thematic_break(text))
    return true;
  Cursor c;
  bool interrupts = false;
  if (quote_marker(line, c) || list_marker(line, c, interrupts) != 0) return true;
  const char next = text.size() > 1 ? text[1] : '\0';
  return text.starts_with('<') && (std::isalpha(static_cast<unsigned char>(next)) != 0 ||
                                   next == '/' || next == '!' || next == '?');
}

// Whether a line, read from the cursor, goes on with the paragraph before it: it is not blank and
// starts no other block (a fence, a block quote, a list item, a heading, a thematic break). When
// it stays in all the containers (it is not `lazy`), it may also be a setext heading's underline,
// and only a list item with content, numbered 1 if at all, ends the paragraph; inside display
// math, only a fence does, as the lines of a formula are no Markdown.
bool continues_paragraph(std::string_view line, Cursor c, bool lazy, bool in_display) {
  const std::string_view rest = unindented(line, c);
  if (blank_line(line.substr(c.at)) || opening_fence(rest).mark != 0) return false;
  if (in_display && !lazy) return true;
  if (heading(rest) || thematic_break(rest) || (!lazy && underline(rest))) return false;
  bool interrupts = false;
  if (Cursor marker = c; quote_marker(line, marker)) return false;
  Cursor marker = c;
  return list_marker(line, marker, interrupts) == 0 || (!lazy && !interrupts);
}

// Whether display math a paragraph's lines have opened is still open: a $$ not closed yet, a \[
// without its \], a \begin{…} without its \end{…}. Escapes and code spans are not told apart
// here: at worst a line that would start a block goes on with the paragraph instead.
struct OpenDisplay {
  bool dollars = false, brackets = false;
  std::size_t environments = 0;

  [[nodiscard]] bool open() const { return dollars || brackets || environments > 0; }

  void read(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] == '$' && text[i + 1] == '$') {
        dollars = !dollars;
        ++i;
      } else if (text[i] == '\\') {
        const std::string_view rest = text.substr(i + 1);
        if (rest.starts_with('[')) {
          brackets = true;
        } else if (rest.starts_with(']')) {
          brackets = false;
        } else if (rest.starts_with("begin{")) {
          ++environments;
        } else if (rest.starts_with("end{") && environments > 0) {
          --environments;
        }
        ++i;
      }
    }
  }
};

constexpr std::string_view kOpenFence = "```text\n";

class Filter {
 public:
  Filter(std::string_view text, Options options, DocumentOptions document)
      : text_(text), options_(options), plain_(document.plain) {
    // The definitions given as text are read once, into the document's macros; any that does not
    // read is left out (render() reports it).
    if (!options.definitions.empty())
      (void)read_definitions(options.definitions, *dialect_rules(options.dialect).lexer, macros_);
    options_.definitions = {};
    inline_options_ = options_;
    inline_options_.linear = document.inline_math == InlineMath::Linear;
    inline_rows_ = document.inline_math == InlineMath::Source ? 0 : 1;
    out_.reserve(text.size() + text.size() / 8);
  }

  Document run() {
    Lines lines(text_);
    while (!lines.done()) {
      const std::size_t start = lines.offset();
      read(lines.next(), start);
    }
    if (fence_.mark != 0) end_fence(npos, text_.size());
    end_paragraph(text_.size());
    // The problems were noted at their offsets in the document, in order: now their lines and
    // columns, a column being a character, a byte that does not continue one.
    std::size_t line = 1, column = 1, counted = 0;
    for (DocumentProblem& problem : problems_) {
      for (; counted < problem.line; ++counted) {
        if (text_[counted] == '\n') {
          ++line;
          column = 1;
        } else {
          column += (static_cast<unsigned char>(text_[counted]) & 0xC0) != 0x80;
        }
      }
      problem.line = line;
      problem.column = column;
    }
    return {std::move(out_), std::move(problems_)};
  }

 private:
  // A block quote, or a list item whose content is `indent` columns in from where its line's
  // content started. An item that began with a blank line and has had no content since is
  // `empty`: a blank line less indented than its content ends it.
  struct Container {
    bool quote;
    std::size_t indent = 0;
    bool empty = false;
  };

  // A line of the paragraph being read, or of a math fence's body while it is drawn.
  struct ParagraphLine {
    std::size_t start;    // where the line starts in the document
    std::size_t markers;  // the bytes of its containers' markers, before its text
    std::size_t matched;  // the containers it stays in (fewer for a lazy line)
    std::size_t at;       // where its text starts in the paragraph's text
  };

  // One line of the document: first the containers it stays in, then the block it belongs to.
  void read(std::string_view line, std::size_t start) {
    Cursor c;
    std::size_t matched = 0;
    while (matched < containers_.size() && stays(containers_[matched], line, c)) ++matched;
    if (fence_.mark != 0) {
      if (matched == containers_.size()) {
        if (closes(unindented(line, c), fence_)) {
          end_fence(start, start + line.size());
        } else if (!containers_.empty() && math_info(fence_.info)) {
          paragraph_.push_back({start, c.at, matched, fence_text_.size()});
          fence_text_ += line.substr(c.at);
        }
        return;
      }
      end_fence(npos, start);  // its container has ended
    }
    if (!paragraph_.empty()) {
      const bool lazy = matched < containers_.size();
      if (continues_paragraph(line, c, lazy, display_.open())) {
        add_line(line, start, c.at, matched);
        return;
      }
      const std::string_view rest = unindented(line, c);
      const bool underlined = !lazy && underline(rest);
      end_paragraph(start, false, underlined ? rest : std::string_view());
      if (underlined) {
        out_ += line;
        return;
      }
    }
    containers_.resize(matched);
    for (bool interrupts = false; containers_.size() < kMaxContainers;) {
      if (quote_marker(line, c)) {
        containers_.push_back({true});
      } else if (const std::size_t indent = list_marker(line, c, interrupts); indent != 0) {
        containers_.push_back({false, indent, blank_line(line.substr(c.at))});
      } else {
        break;
      }
    }
    const std::string_view rest = unindented(line, c);
    if (blank_line(line.substr(c.at)) || rest.empty() || thematic_break(rest)) {
      out_ += line;  // a blank line, indented code or a thematic break
    } else if (heading(rest)) {
      add_line(line, start, c.at, containers_.size());
      end_paragraph(start + line.size(), true);
    } else if (const Fence fence = opening_fence(rest); fence.mark != 0) {
      fence_ = fence;
      fence_start_ = start;
      fence_markers_ = c.at;
      fence_text_.clear();
    } else {
      add_line(line, start, c.at, containers_.size());
    }
  }

  // Whether a line stays in a container, the cursor moving past its markers.
  static bool stays(Container& container, std::string_view line, Cursor& c) {
    if (container.quote) return quote_marker(line, c);
    const bool blank = blank_line(line.substr(c.at));
    if (indentation(line, c) >= container.indent) {
      skip(line, c, container.indent);
    } else if (!blank || container.empty) {
      return false;
    }
    container.empty = container.empty && blank;
    return true;
  }

  // The fenced block being read ends before `end`: closed by the line that starts at
  // `body_end`, or, when that is npos, not closed. Copied, or drawn when its info string says
  // math; its lines, for the places of its problems, are those of paragraph_ meanwhile.
  void end_fence(std::size_t body_end, std::size_t end) {
    const Fence fence = std::exchange(fence_, {});
    const std::size_t body = text_.find('\n', fence_start_) + 1;
    bool drawn = false;
    const std::size_t mark = out_.size();
    if (body_end != npos && math_info(fence.info)) {
      out_ += text_.substr(fence_start_, fence_markers_);
      continuation();
      if (containers_.empty()) paragraph_.push_back({body, 0, 0, 0});
      const std::string_view formula =
          containers_.empty() ? text_.substr(body, body_end - body) : fence_text_;
      drawn = display(formula, 0, text_.find_first_not_of(" \t", fence_start_ + fence_markers_));
    }
    paragraph_.clear();
    if (drawn) return;
    out_.resize(mark);
    out_ += text_.substr(fence_start_, end - fence_start_);
  }

  void add_line(std::string_view line, std::size_t start, std::size_t markers,
                std::size_t matched) {
    // Outside containers a paragraph is a part of the document as it is: its first line will do.
    if (paragraph_.empty() || !containers_.empty())
      paragraph_.push_back({start, markers, matched, paragraph_size_});
    paragraph_size_ += line.size() - markers;
    const std::string_view text = line.substr(markers);
    display_.read(text);
    if (matched < containers_.size() &&
        text.substr(0, text.find_first_not_of(" \t")).contains('\t'))
      tabbed_ = paragraph_.size();
  }

  // The paragraph being read ends before `end`: its text without its containers' markers is read
  // for math. An ATX heading's holds no display; a setext heading's `underline` follows it.
  void end_paragraph(std::size_t end, bool heading = false, std::string_view underline = {}) {
    if (paragraph_.empty()) return;
    const std::size_t start = paragraph_.front().start;
    std::string_view text = text_.substr(start, end - start);
    if (!containers_.empty()) {
      own_.clear();
      for (std::size_t i = 0; i < paragraph_.size(); ++i) {
        const std::size_t from = paragraph_[i].start + paragraph_[i].markers;
        own_.append(text_, from,
                    (i + 1 < paragraph_.size() ? paragraph_[i + 1].start : end) - from);
      }
      text = own_;
    }
    continuation();
    next_line_ = 0;
    bare_ = npos;
    owed_ = {};
    displayed_ = false;
    line_end_ = 0;
    cut_line(0);
    heading_ = heading;
    underline_ = underline;
    if (!environment(text)) spans(text);
    paragraph_.clear();
    paragraph_size_ = 0;
    tabbed_ = 0;
    display_ = {};
  }

  // The markers that keep a line in the open containers, and where each container's part of them
  // starts: "> " for a block quote, blanks to the content for a list item.
  void continuation() {
    prefix_.clear();
    marks_.clear();
    for (const Container& container : containers_) {
      marks_.push_back(prefix_.size());
      if (container.quote) {
        prefix_ += "> ";
      } else {
        prefix_.append(container.indent, ' ');
      }
    }
    marks_.push_back(prefix_.size());
  }

  // Copies the paragraph's text from `from` to `to`, each line that starts there (or at `to`)
  // after its markers. A lazy line after a display takes the markers it lacks, as the display has
  // ended the paragraph it continued.
  void copy(std::string_view text, std::size_t from, std::size_t to) {
    for (; next_line_ < paragraph_.size() && paragraph_[next_line_].at <= to; ++next_line_) {
      const ParagraphLine& line = paragraph_[next_line_];
      out_.append(text, from, line.at - from);
      from = line.at;
      out_ += text_.substr(line.start, line.markers);
      owed_ = std::string_view(prefix_).substr(marks_[line.matched]);
      if (displayed_) out_ += std::exchange(owed_, {});
      bare_ = out_.size();
    }
    out_.append(text, from, to - from);
  }

  // Passes over the lines that start before `to`, inside a formula drawn in their place.
  void pass(std::size_t to) {
    while (next_line_ < paragraph_.size() && paragraph_[next_line_].at < to) ++next_line_;
  }

  // Whether the output's last line holds nothing yet but its markers.
  [[nodiscard]] bool bare() const {
    return out_.size() == bare_ || out_.empty() || out_.back() == '\n';
  }

  // Where a place in the paragraph's text is in the document.
  [[nodiscard]] std::size_t where(std::size_t at) const {
    const auto line = std::ranges::upper_bound(paragraph_, at, {}, &ParagraphLine::at) - 1;
    return line->start + line->markers + (at - line->at);
  }

  // A paragraph that is one display environment and nothing else.
  bool environment(std::string_view text) {
    const std::string_view body = trim(text);
    if (!body.starts_with("\\begin{")) return false;
    const std::size_t close = body.find('}');
    if (close == npos) return false;
    const std::string_view name = body.substr(7, close - 7);
    if (std::ranges::find(kDisplayEnvironments, name) == std::end(kDisplayEnvironments))
      return false;
    const std::string end = "\\end{" + std::string(name) + "}";
    if (!body.ends_with(end)) return false;
    const std::size_t at = static_cast<std::size_t>(body.data() - text.data());
    copy(text, 0, at);  // the indentation before it
    if (!display(body, at, where(at))) copy(text, at, text.size());
    return true;
  }

  // The spans of a paragraph: code spans, display and inline math, and the text between.
  void spans(std::string_view text) {
    Closers closers(text);
    std::size_t copied = 0;
    for (std::size_t i = 0; i < text.size();) {
      const char c = text[i];
      if (c != '$' && c != '\\' && c != '`') {
        ++i;
        continue;
      }
      if (c == '`') {
        const std::size_t run = run_length(text, i, '`');
        const std::size_t end = closers.backticks(i + run, run);
        i = end == npos ? i + run : end + run;
        continue;
      }
      if (c == '\\') {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (next == '(' || next == '[') {
          const std::size_t end = closers.find(next == '(' ? "\\)" : "\\]", i + 2);
          if (end != npos) {
            const std::string_view formula = text.substr(i + 2, end - i - 2);
            const std::size_t after = end + 2;
            copied = math(text, copied, i, after, formula, next == '[');
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
        if (end != npos && !trim(text.substr(i + 2, end - i - 2)).empty()) {
          copied = math(text, copied, i, end + 2, text.substr(i + 2, end - i - 2), true);
          i = end + 2;
        } else {
          i += 2;
        }
        continue;
      }
      const std::size_t end =
          i + 1 < text.size() && !is_blank(text[i + 1]) ? closers.dollar(i + 1) : npos;
      if (end == npos) {
        ++i;
        continue;
      }
      copied = math(text, copied, i, end + 1, text.substr(i + 1, end - i - 1), false);
      i = end + 1;
    }
    copy(text, copied, text.size());
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
      if (cached.at != npos && cached.at >= from) return cached.at;
      if (cached.at == npos && cached.searched) return cached.at;
      cached.at = text_.find(token, std::max(from, cached.from));
      cached.from = from;
      cached.searched = true;
      return cached.at;
    }

    // The next `$` at or after `from` that closes inline math: not escaped, not part of `$$`,
    // after a non-blank and before no digit; none when a backtick comes first, as math does not
    // reach into a code span.
    std::size_t dollar(std::size_t from) {
      if (dollar_.searched && (dollar_.at == npos || dollar_.at >= from))
        return dollar_.at < text_.size() && text_[dollar_.at] == '`' ? npos : dollar_.at;
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
      dollar_.at = i < text_.size() ? i : npos;
      dollar_.from = i;
      return i < text_.size() && text_[i] == '`' ? npos : dollar_.at;
    }

    // The next run of exactly `length` backticks at or after `from`, a run being all the
    // backticks side by side (`from` is never inside one). The paragraph's runs are indexed by
    // length once, and each length keeps a cursor: the `from` of successive calls only grows.
    std::size_t backticks(std::size_t from, std::size_t length) {
      if (first_.empty()) index_backticks();
      if (length + 1 >= first_.size()) return npos;
      std::size_t& next = cursor_[length];
      while (next < first_[length + 1] && runs_[next] < from) ++next;
      return next < first_[length + 1] ? runs_[next] : npos;
    }

   private:
    struct Cached {
      std::size_t at = npos;
      std::size_t from = 0;  // where the next search starts
      bool searched = false;
    };
    // The runs of backticks, their starts grouped by length in order: those of length n are
    // runs_[first_[n]] to runs_[first_[n + 1]].
    void index_backticks() {
      std::vector<std::pair<std::size_t, std::size_t>> found;  // start, length
      std::size_t longest = 0;
      for (std::size_t i = text_.find('`'); i != npos; i = text_.find('`', i)) {
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

  // Whether the text before `open` on its output line, left on a line of its own, would open a
  // block there, as a cut line can: a thematic break, a setext heading's underline or a heading
  // (only - * _ = # and blanks), a fence whose info string loses its backticks, or HTML (a tag
  // alone). The line's start, the backticks after its fence and the marks before `open` are each
  // read once, as `open` only grows.
  bool cut_to_block(std::string_view text, std::size_t open) {
    if (const std::size_t feed = text.substr(scanned_, open - scanned_).rfind('\n'); feed != npos)
      cut_line(scanned_ + feed + 1);
    scanned_ = open;
    std::size_t from = open;
    while (from > line_start_ && std::string_view("-*_=# \t").find(text[from - 1]) != npos) --from;
    const std::string_view before = text.substr(line_start_, open - line_start_);
    if (from == line_start_) return thematic_break(before) || underline(before) || heading(before);
    const std::size_t head = line_start_ + std::min<std::size_t>(before.find_first_not_of(' '), 3);
    if (fence_end_ == npos) fence_end_ = ticks_ = head + run_length(text, head, '`');
    if (fence_end_ - head >= 3 && ticks_ < open) {
      const bool kept = text.substr(ticks_, open - ticks_).find('`') != npos;
      ticks_ = kept ? npos : open;  // npos: the info string keeps a backtick for any later `open`
      if (!kept) return true;
    }
    std::size_t last = open;
    while (text[last - 1] == ' ' || text[last - 1] == '\t') --last;
    return text[head] == '<' && text[last - 1] == '>';
  }

  // The output's line starts at `at` in the paragraph's text.
  void cut_line(std::size_t at) {
    line_start_ = scanned_ = at;
    fence_end_ = npos;
  }

  // One formula of a paragraph, between `open` and `close` (the delimiters included): the text
  // before it is copied, then its picture or the formula as written. Returns where copying
  // resumes.
  std::size_t math(std::string_view text, std::size_t copied, std::size_t open, std::size_t close,
                   std::string_view formula, bool display_math) {
    copy(text, copied, open);
    const auto at = static_cast<std::size_t>(formula.data() - text.data());
    if (display_math) {
      // The text after the picture starts a line of its own: the rest of the line, without the
      // blanks before it (the line's end, \n or \r\n, is the block's), or else the paragraph's
      // next line, or else a setext heading's underline. Not when that text would open a block
      // there, as a fence would take the rest of the document, nor when the text before the
      // display would, nor in an ATX heading, nor when a lazy line from this one on starts with a
      // tab: the markers it takes would change the tab's width.
      std::size_t rest = close;
      while (rest < text.size() && (text[rest] == ' ' || text[rest] == '\t')) ++rest;
      if (rest >= line_end_) {
        const std::size_t feed = text.find('\n', rest);
        line_end_ = feed == npos ? text.size() : feed + 1;
      }
      std::string_view after = text.substr(rest, line_end_ - rest);
      if (blank_line(after)) {
        const std::size_t feed = text.find('\n', line_end_);
        after = text.substr(line_end_, feed == npos ? npos : feed + 1 - line_end_);
      }
      if (blank_line(after) && !underline_.empty() && !thematic_break(underline_))
        after = underline_;  // a rule for an underline changes nothing
      const bool blocked =
          heading_ || tabbed_ >= next_line_ || starts_block(after) || cut_to_block(text, open);
      const std::size_t mark = out_.size();
      if (!blocked && !bare()) {
        out_ += '\n';
        out_ += prefix_;
      }
      // Drawn even when blocked, for its problem if it has one.
      if (display(formula, at, where(open)) && !blocked) {
        // A lazy line that holds a display takes the markers it lacks, before its text.
        out_.insert(bare_ == npos ? out_.size() : bare_, std::exchange(owed_, {}));
        displayed_ = true;
        if (text.substr(rest).starts_with("\r\n")) ++rest;
        if (rest < text.size() && text[rest] == '\n') ++rest;
        pass(rest);
        if (rest < text.size() &&
            (next_line_ == paragraph_.size() || paragraph_[next_line_].at != rest)) {
          out_ += prefix_;
          bare_ = out_.size();
          cut_line(rest);
        }
        return rest;
      }
      out_.resize(mark);
      copy(text, open, close);
      return close;
    }
    // Only a picture of one row is drawn, without its line feed, and none for InlineMath::Source.
    const std::size_t mark = out_.size();
    auto drawn = append_picture(out_, formula, inline_options_, inline_rows_, &macros_, &numbers_);
    if (!drawn) {
      note(std::move(drawn.error()), at, where(open));
    } else if (*drawn && (out_.size() > mark || defines_only(formula))) {
      if (out_.size() > mark) out_.pop_back();
      pass(close);
      return close;
    }
    copy(text, open, close);
    return close;
  }

  // A display: the picture of `formula` in a fenced text block, or alone when it is plain, each
  // line after the containers' markers but the first. False, with its problem noted, when it
  // cannot be drawn: the formula starts at `at` in the text of paragraph_'s lines, and its opening
  // delimiter at `open` in the document.
  bool display(std::string_view formula, std::size_t at, std::size_t open) {
    const std::size_t mark = out_.size();
    if (!plain_) out_ += kOpenFence;
    auto drawn = append_picture(out_, formula, options_, npos, &macros_, &numbers_);
    if (!drawn) {
      out_.resize(mark);
      note(std::move(drawn.error()), at, open);
      return false;
    }
    // A display that only defines macros draws nothing, not an empty block.
    if (out_.size() == mark + (plain_ ? 0 : kOpenFence.size()) && defines_only(formula)) {
      out_.resize(mark);
      return true;
    }
    // The fence is longer than any run of backticks in the picture, which would close it.
    std::size_t fence = 0;
    if (!plain_) {
      std::size_t longest = 0;
      for (std::size_t i = mark + 8, run = 0; i < out_.size(); ++i)
        longest = std::max(longest, run = out_[i] == '`' ? run + 1 : 0);
      fence = std::max<std::size_t>(3, longest + 1);
      out_.insert(mark, fence - 3, '`');
    } else if (out_.size() == mark) {
      out_ += '\n';  // an empty picture: an empty line
    }
    if (!prefix_.empty()) {
      const std::size_t second = out_.find('\n', mark) + 1;
      const std::string rows = out_.substr(second);
      out_.resize(second);
      for (std::size_t row = 0; row < rows.size();) {
        const std::size_t end = std::min(rows.find('\n', row), rows.size() - 1) + 1;
        out_ += prefix_;
        out_.append(rows, row, end - row);
        row = end;
      }
      if (!plain_) out_ += prefix_;
    }
    if (!plain_) out_.append(fence, '`') += '\n';
    return true;
  }

  // Notes why a formula could not be drawn: at the place in the document its error names (the
  // formula starts at `at` in the text of paragraph_'s lines), else at `open`.
  void note(ParseError error, std::size_t at, std::size_t open) {
    if (error.byte == npos) {
      problems_.push_back({open, 0, std::move(error.message)});
    } else {
      problems_.push_back({where(at + error.byte), 0, std::move(error.what)});
    }
  }

  // Whether a formula that drew nothing defines macros, and so is left out, not kept as written.
  [[nodiscard]] bool defines_only(std::string_view formula) const {
    return defines_macros(formula, *dialect_rules(options_.dialect).lexer);
  }

  std::string_view text_;
  Options options_, inline_options_;
  MacroTable macros_;        // the definitions made so far, for the formulas after them
  std::size_t numbers_ = 0;  // the equation numbers given so far
  std::size_t inline_rows_;  // the rows inline math may take, 0 when it stays as written
  bool plain_;
  std::string out_;
  std::vector<DocumentProblem> problems_;  // each at its offset in `line` until run() ends
  std::vector<Container> containers_;      // those the last line stays in or opened
  // The fenced block being read: its fence (mark 0 when there is none), where its line starts and
  // the bytes of its markers there, and, inside containers, its body without their markers.
  Fence fence_;
  std::size_t fence_start_ = 0, fence_markers_ = 0;
  std::string fence_text_;
  // The paragraph being read: its lines, the bytes of its text, its display math, and 1 + the
  // index of its last lazy line whose indentation holds a tab (0 when none does).
  std::vector<ParagraphLine> paragraph_;
  std::size_t paragraph_size_ = 0, tabbed_ = 0;
  OpenDisplay display_;
  // The paragraph being drawn: its text when it had markers to take out, its containers' markers
  // (`continuation`), the next of its lines to copy, where the output's last line held nothing but
  // markers, what markers it still lacks (a lazy line's), and whether a display has been drawn.
  std::string own_, prefix_;
  std::vector<std::size_t> marks_;
  std::size_t next_line_ = 0, bare_ = npos;
  std::string_view owed_;
  bool displayed_ = false;
  std::size_t line_end_ = 0;    // the end of the line after the last display looked at
  bool heading_ = false;        // whether the paragraph is an ATX heading
  std::string_view underline_;  // the line that makes it a setext heading
  // Where the output's line starts in the paragraph's text, how far newlines have been looked for,
  // where the backticks that start the line end (npos before they are counted), and from where
  // to look for a backtick after them (npos once one is found).
  std::size_t line_start_ = 0, scanned_ = 0, fence_end_ = npos, ticks_ = 0;
};

}  // namespace

Document render_markdown(std::string_view markdown, Options options, DocumentOptions document) {
  return Filter(markdown, options, document).run();
}

}  // namespace vok
