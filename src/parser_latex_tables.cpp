// The LaTeX dialect's environments and tables: \begin{name} with what follows it (a position, an
// alignment, a column pattern, a count), the rows of cells with the rules between them, and the
// column patterns of arrays.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "constructs.hpp"
#include "parser_latex.hpp"

namespace vok {
namespace {

using Tk = TokenKind;

bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// An array's columns as read from its column pattern: an alignment for each column, and the count
// of vertical rules at each boundary, the left edge first.
struct ColumnSpec {
  std::string align;
  std::vector<Rule> rules = {Rule::None};
  std::size_t budget = 1 << 16;  // characters read, repetitions included, before reading stops
};

// More columns than any column pattern asks for; *{n}{…} stops there.
constexpr std::size_t kMaxColumns = 1024;

// A column pattern, {l c r | p{…} @{…} *{n}{…} …}: alignments and vertical rules are kept, p, m
// and b columns are set left-aligned, other letters centred, and the rest is read and dropped.
class PatternReader {
 public:
  PatternReader(ColumnSpec& out, std::span<const std::string_view> rule_commands)
      : out_(out), rule_commands_(rule_commands) {}

  void read(std::string_view spec, std::size_t depth) {
    std::size_t i = 0;
    while (i < spec.size() && out_.budget > 0) {
      --out_.budget;
      const char c = spec[i++];
      switch (c) {
        case 'l':
        case 'c':
        case 'r':
          column(c);
          break;
        case 'p':
        case 'm':
        case 'b':
          group(spec, i);
          column('l');
          break;
        case '|':
          rule(Rule::Solid);
          break;
        case ':':
          rule(Rule::Dashed);
          break;
        case '@':
        case '!':
        case '>':
        case '<':
          group(spec, i);
          break;
        case '*':
          repeat(spec, i, depth);
          break;
        case '\\': {
          const std::size_t from = i;
          while (i < spec.size() && std::isalpha(static_cast<unsigned char>(spec[i]))) ++i;
          if (std::ranges::find(rule_commands_, spec.substr(from, i - from)) !=
              rule_commands_.end())
            rule(Rule::Solid);
          break;
        }
        case '{':
          group(spec, --i);
          break;
        default:
          if (std::isalpha(static_cast<unsigned char>(c))) column('c');  // S, D, X and the like
          break;
      }
    }
  }

 private:
  // The braced group at i (after white space), read past; empty when there is none.
  static std::string_view group(std::string_view spec, std::size_t& i) {
    while (i < spec.size() && is_white(spec[i])) ++i;
    if (i >= spec.size() || spec[i] != '{') return {};
    const std::size_t from = ++i;
    for (std::size_t open = 1; i < spec.size(); ++i) {
      if (spec[i] == '{') ++open;
      if (spec[i] == '}' && --open == 0) return spec.substr(from, i++ - from);
    }
    return spec.substr(from);
  }

  void column(char align) {
    if (out_.align.size() >= kMaxColumns) return;
    out_.align += align;
    out_.rules.push_back(Rule::None);
  }

  void rule(Rule kind) { out_.rules.back() = beside(out_.rules.back(), kind); }

  // *{n}{…}: the pattern n times, within the budget and eight levels of repetition.
  void repeat(std::string_view spec, std::size_t& i, std::size_t depth) {
    const std::string_view count = group(spec, i);
    const std::string_view body = group(spec, i);
    std::size_t times = 0;
    for (const char digit : count)
      if (digit >= '0' && digit <= '9')
        times = std::min<std::size_t>(times * 10 + (digit - '0'), kMaxColumns);
    for (std::size_t k = 0; k < times && depth < 8 && out_.budget > 0; ++k) read(body, depth + 1);
  }

  ColumnSpec& out_;
  std::span<const std::string_view> rule_commands_;
};

// Every row as long as the longest, short ones filled with empty cells.
std::span<const ExprList> filled(std::span<const ExprList> all, std::size_t columns) {
  auto* out = current_arena().allocate_array<ExprList>(all.size());
  for (std::size_t k = 0; k < all.size(); ++k) {
    if (all[k].size() == columns) {
      out[k] = all[k];
      continue;
    }
    Box* cells = current_arena().allocate_array<Box>(columns);
    std::ranges::copy(all[k], cells);
    std::fill(cells + all[k].size(), cells + columns, empty_node());
    out[k] = {cells, columns};
  }
  return {out, all.size()};
}

// The counts of rules, in the arena; empty when there are none.
std::span<const Rule> kept_lines(const std::vector<Rule>& lines) {
  if (lines.empty()) return {};
  auto* kept = current_arena().allocate_array<Rule>(lines.size());
  std::ranges::copy(lines, kept);
  return {kept, lines.size()};
}

}  // namespace

// \begin{name} arguments rows \end{name}. An environment the vocabulary does not know is read as a
// table of centred columns and drawn between its \begin{name} and \end{name}, with the name as
// read, so that nothing is lost.
Result<LatexParser::Item> LatexParser::environment(const Lexeme& token, bool script) {
  auto name = this->name(token);
  if (!name) return std::unexpected(std::move(name.error()));
  static constexpr EnvironmentDef kUnknown{};
  const EnvironmentDef* known = vocabulary_.environment(*name);
  const EnvironmentDef& env = known != nullptr ? *known : kUnknown;

  auto layout = environment_arguments(env, token);
  if (!layout) return std::unexpected(std::move(layout.error()));
  std::vector<Label> labels;
  auto body = env.diagram ? diagram_rows(script)
                          : rows(kAtCell, layout->pairs, script, nullptr,
                                 env.labels != Labels::None ? &labels : nullptr);
  if (!body) return std::unexpected(std::move(body.error()));
  if (current() == nullptr) {
    return fail(message::missing_end(*name, input_, token.start));
  }
  const Lexeme& end = advance();
  auto other = this->name(end);
  if (!other) return std::unexpected(std::move(other.error()));
  if (*other != *name) return fail(message::mismatched_end(*name, *other, input_, end.start));
  Item set = table(labelled(*body, labels, env, *layout), *layout);
  if (known != nullptr) return set;

  const auto as_written = [&](const Lexeme& command) {
    return vok::command(keep(std::string(command.source(input_)) + "{" + std::string(*name) + "}"),
                        nullptr);
  };
  return Item{make_node<Sequence>(list_of({as_written(token), set.expr, as_written(end)})),
              MathClass::Ord, true};
}

// What follows \begin{name} before the body, as the environment's row lists it: its layout, with
// the alignment or the columns read there.
Result<TableLayout> LatexParser::environment_arguments(const EnvironmentDef& env,
                                                       const Lexeme& token) {
  TableLayout layout = env.layout;
  const auto skip_bracketed = [&] {
    if (!at(Tk::LBracket)) return std::string_view{};
    const std::size_t from = tokens_[pos_].end;
    while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBracket) ++pos_;
    if (pos_ == tokens_.size()) return std::string_view{};
    return input_.substr(from, tokens_[pos_++].start - from);
  };
  for (const char kind : env.args) {
    switch (kind) {
      case '[':
        skip_bracketed();
        break;
      case 'a': {
        const std::string_view option = skip_bracketed();
        const std::size_t letter = option.find_first_of("lcr");
        if (letter != std::string_view::npos) layout.align = option.substr(letter, 1);
        break;
      }
      case 'c': {
        auto columns = this->columns(token, layout);
        if (!columns) return std::unexpected(std::move(columns.error()));
        layout = *columns;
        break;
      }
      case 'n':  // braced, or one token as any argument may be
        if (at(Tk::LBrace)) {
          while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBrace) ++pos_;
          if (pos_ < tokens_.size()) ++pos_;
        } else if (at(Tk::Number)) {
          ++pos_;
        }
        break;
      default:
        break;
    }
  }
  return layout;
}

// rows: { rule } cell { & cell } { \\ [*] [[dimension]] { rule } cell { & cell } }, up to \end
// (kAtCell), a closing brace (kAtBrace) or the end of the formula; `first`, when given, is the
// first cell, already read. A last row that is one empty cell, after a final \\, is dropped. In
// `pairs` of columns the right-hand ones start after an empty ordinary atom.
Result<LatexParser::Rows> LatexParser::rows(std::uint8_t stop, bool pairs, bool script, Box first,
                                            std::vector<Label>* labels) {
  struct Reading {  // counts this table among those being read, until it is read
    std::size_t& tables;
    explicit Reading(std::size_t& count) : tables(++count) {}
    ~Reading() { --tables; }
  } reading(tables_);
  // With `labels`, each row's label is its own (the first cell's, when given, is read already),
  // and the label of the row around the table is kept for it.
  struct Kept {
    Label& label;
    Label outer;
    bool on;
    ~Kept() {
      if (on) label = outer;
    }
  } kept{label_, label_, labels != nullptr};
  if (labels != nullptr && first == nullptr) label_ = {};
  ListBuilder<ExprList> rows(lists_);
  std::optional<ListBuilder<Box>> row(std::in_place, lists_);
  std::vector<Rule> lines;  // rules above each row, filled as they come
  std::size_t columns = 0;
  bool blank_row = true;  // the row so far is one empty cell
  const auto end_row = [&](bool keep_blank) {
    const ExprList cells = row->finish();
    row.reset();
    const bool label = labels != nullptr && (label_.tag != nullptr || label_.none);
    if (keep_blank || !blank_row || label) {
      columns = std::max(columns, cells.size());
      rows.push_back(cells);
      if (labels != nullptr) labels->push_back(label_);
    }
    label_ = {};
  };

  for (std::size_t column = 0;; ++column) {
    Box cell = first;
    if (cell == nullptr) {
      if (column == 0) {
        auto ruled = rules_above(rows.size(), lines, script);
        if (!ruled) return std::unexpected(std::move(ruled.error()));
      }
      const bool right_hand = pairs && column % 2 == 1;
      auto parsed = list(static_cast<std::uint8_t>(stop | (right_hand ? kAfterOrd : 0)), script);
      if (!parsed) return std::unexpected(std::move(parsed.error()));
      cell = *parsed;
    }
    first = nullptr;
    blank_row = row->empty() && std::holds_alternative<Empty>(*cell);
    row->push_back(cell);
    const Lexeme* next = current();
    if (next != nullptr && next->kind == Tk::Ampersand) {
      ++pos_;
      continue;
    }
    // The end, \end or }.
    if (next == nullptr || (next->kind != Tk::Escape && role_of(*next) != Role::RowEnd)) break;
    // \\ or \cr ends the row; the star and the spacing of \\ are read and dropped.
    ++pos_;
    if (at(Tk::Star)) ++pos_;
    if (at(Tk::LBracket)) {
      while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBracket) ++pos_;
      if (pos_ < tokens_.size()) ++pos_;
    }
    end_row(true);
    row.emplace(lists_);
    column = static_cast<std::size_t>(-1);
  }
  end_row(rows.empty());
  return Rows{filled(rows.finish(), columns), kept_lines(lines)};
}

// A commutative diagram's body, up to \end: rows split by \\, each of objects between arrows
// written @>a>b> @<a<b< @= @. (their cells alternate, an object first), or of arrows down and up
// written @VaVb @AaAb @| @. (each under an object's cell, the cells between them empty). An @ that
// starts no arrow is itself.
Result<LatexParser::Rows> LatexParser::diagram_rows(bool script) {
  // The end of the body: \end or the end of the formula, outside any group.
  std::size_t end = pos_;
  for (std::size_t depth = 0; end < tokens_.size(); ++end) {
    const Lexeme& token = tokens_[end];
    if (token.kind == Tk::LBrace) ++depth;
    if (token.kind == Tk::RBrace && depth > 0) --depth;
    if (depth == 0 && token.kind == Tk::Command && role_of(token) == Role::End) break;
  }
  // The next token of `kind` (and text) from `at`, outside any group, before `to`, or `to`.
  const auto next = [&](std::size_t at, std::size_t to, TokenKind kind, std::string_view text) {
    for (std::size_t depth = 0; at < to; ++at) {
      const Lexeme& token = tokens_[at];
      if (token.kind == Tk::LBrace) ++depth;
      if (token.kind == Tk::RBrace && depth > 0) --depth;
      if (depth == 0 && token.kind == kind && (text.empty() || token.source(input_) == text)) break;
    }
    return at;
  };
  ListBuilder<ExprList> rows(lists_);
  std::size_t columns = 0;
  for (std::size_t row_start = pos_; row_start <= end;) {
    const std::size_t row_end = next(row_start, end, Tk::Escape, "\\\\");
    std::vector<std::pair<Box, bool>> arrows;  // each arrow, and whether it runs down
    std::vector<Box> objects;
    std::size_t at = row_start, object = row_start;
    while (at < row_end) {
      const std::size_t sign = next(at, row_end, Tk::Ident, "@");
      const Definition* def = nullptr;
      std::string written(1, '@');
      if (sign + 1 < row_end) {
        written.append(tokens_[sign + 1].source(input_));
        def = vocabulary_.find(written);
      }
      if (sign == row_end || def == nullptr) {
        at = sign + (sign < row_end);
        if (sign == row_end) break;
        continue;
      }
      auto before = diagram_part(object, sign, script);
      if (!before) return std::unexpected(std::move(before.error()));
      objects.push_back(*before);
      // The labels, each up to the arrow's own character again.
      const Lexeme& kind = tokens_[sign + 1];
      std::size_t from = sign + 2;
      ExprList labels;
      if (!def->args.empty()) {
        const std::size_t first = next(from, row_end, kind.kind, kind.source(input_));
        const std::size_t second = next(first + 1, row_end, kind.kind, kind.source(input_));
        if (second >= row_end)
          return fail(
              message::missing_close(kind.source(input_), written, input_, tokens_[sign].start));
        auto above = diagram_part(from, first, script);
        if (!above) return std::unexpected(std::move(above.error()));
        auto below = diagram_part(first + 1, second, script);
        if (!below) return std::unexpected(std::move(below.error()));
        labels = list_of({*above, *below});
        from = second + 1;
      }
      const bool down = def->construct == construct::vertical_arrow;
      const Box drawn =
          def->construct == construct::long_arrow
              ? command(def->name, def, labels.empty() ? ExprList{} : labels.subspan(1),
                        labels.empty() ? ExprList{} : labels.first(1))
              : command(def->name, def, {}, labels);
      arrows.emplace_back(drawn, down);
      at = object = from;
    }
    auto last = diagram_part(object, row_end, script);
    if (!last) return std::unexpected(std::move(last.error()));
    objects.push_back(*last);
    const bool downward = std::ranges::any_of(arrows, [](const auto& a) { return a.second; });
    std::vector<Box> cells;
    for (std::size_t k = 0; k < arrows.size(); ++k) {
      if (downward) {
        if (k > 0) cells.push_back(empty_node());
      } else {
        cells.push_back(objects[k]);
      }
      cells.push_back(arrows[k].first);
    }
    if (!downward) cells.push_back(objects.back());
    Box* kept = current_arena().allocate_array<Box>(cells.size());
    std::ranges::copy(cells, kept);
    const ExprList row{kept, cells.size()};
    columns = std::max(columns, row.size());
    rows.push_back(row);
    row_start = row_end + 1;
  }
  pos_ = end;
  return Rows{filled(rows.finish(), columns), {}};
}

// The tokens from `from` to `to` of a diagram, read as a list of their own.
Result<Box> LatexParser::diagram_part(std::size_t from, std::size_t to, bool script) {
  if (from >= to) return empty_node();
  LatexParser part(tokens_.subspan(from, to - from), input_, vocabulary_, lists_, numbers_, depth_);
  auto read = part.list(kAtEnd, script);
  if (!read) return read;
  if (part.current() != nullptr)
    return fail(message::unmatched(part.current()->source(input_), input_, part.current()->start));
  return read;
}

// The rules before a row's first cell (\hline and the like), counted into lines[row]: one or two.
Result<void> LatexParser::rules_above(std::size_t row, std::vector<Rule>& lines, bool script) {
  while (current() != nullptr && current()->kind == Tk::Command) {
    const Definition* def = definition(*current());
    if (def == nullptr || def->role != Role::Line) break;
    const Lexeme& rule = advance();
    auto skipped = arguments(rule, *def, script);
    if (!skipped) return std::unexpected(std::move(skipped.error()));
    if (lines.size() <= row) lines.resize(row + 1, Rule::None);
    lines[row] = beside(lines[row], def->data<payload::Ruling>().rule);
  }
  return {};
}

Result<Box> LatexParser::rows_argument(const Lexeme& token, const Definition& def, bool script) {
  if (!at(Tk::LBrace))
    return fail(message::missing_argument(token.source(input_), input_, token.start));
  const Lexeme& open = advance();
  auto body = rows(static_cast<std::uint8_t>(kAtBrace | kAtRow), false, script, nullptr);
  if (!body) return std::unexpected(std::move(body.error()));
  if (!at(Tk::RBrace)) return fail(message::missing_close("}", "{", input_, open.start));
  ++pos_;
  const EnvironmentDef* env = vocabulary_.environment(def.name);
  return table(*body, env != nullptr ? env->layout : TableLayout{}).expr;
}

// The columns of an array, {l c r | p{…} @{…} *{n}{…} …}.
Result<TableLayout> LatexParser::columns(const Lexeme& owner, TableLayout layout) {
  if (!at(Tk::LBrace))
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  const Lexeme& open = advance();
  std::size_t depth = 1;
  for (; pos_ < tokens_.size(); ++pos_) {
    if (tokens_[pos_].kind == Tk::LBrace) ++depth;
    if (tokens_[pos_].kind == Tk::RBrace && --depth == 0) break;
  }
  if (pos_ == tokens_.size()) return fail(message::missing_close("}", "{", input_, open.start));
  const std::string_view spec = input_.substr(open.end, tokens_[pos_].start - open.end);
  ++pos_;

  ColumnSpec columns;
  PatternReader(columns, vocabulary_.grammar().rule_commands).read(spec, 0);
  char* align = current_arena().allocate_array<char>(columns.align.size());
  std::ranges::copy(columns.align, align);
  auto* rules = current_arena().allocate_array<Rule>(columns.rules.size());
  std::ranges::copy(columns.rules, rules);
  layout.align = {align, columns.align.size()};
  layout.rules = {rules, columns.rules.size()};
  return layout;
}

LatexParser::Rows LatexParser::labelled(Rows body, std::span<const Label> labels,
                                        const EnvironmentDef& env, TableLayout& layout) {
  if (env.labels == Labels::None || body.rows.empty()) return body;
  const std::size_t rows = body.rows.size();
  Box* drawn = current_arena().allocate_array<Box>(rows);
  std::fill_n(drawn, rows, nullptr);
  const auto number = [&]() -> Box {
    const Definition* tag = vocabulary_.grammar().number;
    if (tag == nullptr) return nullptr;
    return command(tag->name, tag, {}, list_of({leaf<Symbol>(keep(std::to_string(++numbers_)))}));
  };
  if (env.labels == Labels::Rows) {
    for (std::size_t k = 0; k < rows; ++k)
      drawn[k] = labels[k].tag != nullptr          ? labels[k].tag
                 : labels[k].none || !env.numbered ? nullptr
                                                   : number();
  } else {
    // One label for the whole: the last \tag, else none after a \notag, else a number.
    Box tag = nullptr;
    bool none = false;
    for (const Label& label : labels) {
      if (label.tag != nullptr) tag = label.tag;
      none = none || label.none;
    }
    drawn[rows - 1] = tag != nullptr ? tag : none || !env.numbered ? nullptr : number();
  }
  if (std::all_of(drawn, drawn + rows, [](Box tag) { return tag == nullptr; })) return body;
  const std::size_t columns = body.rows.front().size();
  auto* out = current_arena().allocate_array<ExprList>(rows);
  for (std::size_t k = 0; k < rows; ++k) {
    Box* cells = current_arena().allocate_array<Box>(columns + 1);
    std::ranges::copy(body.rows[k], cells);
    cells[columns] = drawn[k] != nullptr ? drawn[k] : empty_node();
    out[k] = {cells, columns + 1};
  }
  layout.labelled = true;
  return Rows{{out, rows}, body.lines};
}

LatexParser::Item LatexParser::table(Rows body, const TableLayout& layout) {
  TableLayout* kept = current_arena().make<TableLayout>(layout);
  kept->lines = body.lines;
  const bool fenced = layout.fence[0] != 0 || layout.fence[1] != 0;
  return Item{make_node<Table>(body.rows, kept), fenced ? MathClass::Inner : MathClass::Ord, true};
}

// {name}: the text between the braces, white space around it dropped.
Result<std::string_view> LatexParser::name(const Lexeme& owner) {
  if (!at(Tk::LBrace))
    return fail(message::missing_argument(owner.source(input_), input_, owner.start));
  const Lexeme& open = advance();
  while (pos_ < tokens_.size() && tokens_[pos_].kind != Tk::RBrace) ++pos_;
  if (pos_ == tokens_.size()) return fail(message::missing_close("}", "{", input_, open.start));
  std::string_view name = input_.substr(open.end, tokens_[pos_].start - open.end);
  ++pos_;
  while (!name.empty() && is_white(name.front())) name.remove_prefix(1);
  while (!name.empty() && is_white(name.back())) name.remove_suffix(1);
  // Inside, as TeX reads it, a run of white space is one blank.
  bool plain = true;
  for (std::size_t i = 0; i < name.size() && plain; ++i)
    plain = !is_white(name[i]) || (name[i] == ' ' && !is_white(name[i + 1]));
  if (plain) return name;
  std::string read;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!is_white(name[i])) {
      read += name[i];
    } else if (!is_white(name[i - 1])) {
      read += ' ';
    }
  }
  return keep(read);
}

}  // namespace vok
