// Vocabularies: the commands and environments of a dialect, as data.
//
// A command is a row, a Definition: its name, the arguments the parser reads after it, its role
// (what the parser does with it), its class, and its drawing: a construct with its payload (a
// character, a mark, a word, a math alphabet). The parser asks a row for its role and arguments,
// never for its name; the renderer draws a row through its construct. Adding a symbol is one row;
// adding a construct is one function and the rows that use it (constructs.hpp).
//
// A vocabulary is a constant value: its rows, an index from name to row built at compile time (one
// hash and a short probe per lookup, no start-up work), and its environments. The exact markup's
// vocabulary is one such value, the LaTeX dialect's a larger one; nothing is shared between calls
// but these constants.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "error.hpp"
#include "layout.hpp"
#include "unicode.hpp"

namespace vok {

// What the parser does when it meets a command.
enum class Role : std::uint8_t {
  Construct,  // reads the arguments of `args`; drawn by its construct
  Left,       // \left: a delimiter, then everything up to the matching \right and its delimiter
  Right,      // \right without a \left
  Begin,      // \begin{name}: an environment up to the matching \end{name}
  End,        // \end without a \begin
  Middle,     // \middle: a delimiter between \left and \right (LaTeX)
  Switch,     // the rest of its group in the row's alphabet, or as it is (LaTeX)
  Space,      // blank columns, `columns` of them or from a dimension argument (LaTeX)
  Ignore,     // draws nothing; its arguments are read and dropped (LaTeX)
  Limits,     // after an operator: its scripts are limits, or not (`limits`) (LaTeX)
  Line,       // a horizontal rule above a table's row; elsewhere nothing (LaTeX)
  Infix,      // the list before it and the list after it, up to the end of its group, are its
              // two arguments (LaTeX's \over)
  Accent,     // a text accent: a letter, or braced text, under its mark (LaTeX's \' and \H)
  RowEnd,     // ends a table's row, as \\ does (LaTeX's \cr)
  Tag,        // its row's label, set apart at the right: its text argument drawn by its construct
              // (\tag), or with no argument no label at all (\notag) (LaTeX)
};

// The class of an atom, which decides the blanks around it in the LaTeX dialect.
enum class MathClass : std::uint8_t { Ord, Op, Bin, Rel, Open, Close, Punct, Inner };

struct Definition;

// Draws a command from its measured arguments (mandatory ones, then the optional one).
using Construct = Result<NodeRef> (*)(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);

// What a row's construct draws with: each construct takes one kind of payload, which the row's
// maker gives it (constructs.hpp).
namespace payload {

struct Glyph {  // a symbol
  char32_t ch = 0;
  char32_t before_operator = 0;  // drawn instead before a binary operator or relation (\dots)
};
struct Word {  // a function name, or the word before \pmod's argument
  std::string_view word;
  char32_t mark = 0;   // a mark across it, as a wide accent draws it (\varliminf), or 0
  bool below = false;  // the mark is under the word
};
struct Style {  // a math alphabet, or none (as it is)
  CharMap map = nullptr;
};
struct Mark {  // a mark on a row of its own: an accent, a brace over or under, an arrow
  char32_t mark = 0;
  bool below = false;  // the row is under the content
  bool wide = false;   // the mark runs across the whole row
};
struct Blank {  // a space of a fixed width
  std::uint8_t columns = 0;
};
struct Sign {  // a large operator: its sign, and for an integral how many signs
  char32_t sign = 0;
  std::uint8_t count = 1;
};
struct Sized {  // a delimiter of a fixed number of rows; the delimiter is set when it is read
  char32_t delimiter = 0;
  std::uint8_t rows = 1;
};
struct Enclosure {  // the delimiter a stack or a tag opens with, or 0
  char32_t open = 0;
};
struct Phantom {  // what of a phantom's argument it keeps: its width, its height, or both
  bool across = false, down = false;
};
struct Size {  // a filled block's columns and rows; set when its dimensions are read (\rule)
  std::uint32_t columns = 0, rows = 0;
};
struct Pair {  // the delimiters around an argument (\bra: ⟨ and |)
  char32_t open = 0, close = 0;
};
struct Fraction {  // a stack's delimiters, 0 for none, and whether a rule parts its entries
  char32_t open = 0, close = 0;
  bool rule = false;
};
struct Shift {  // the whole rows a box is moved by, set when its dimension is read, and which way
  std::uint32_t rows = 0;
  bool down = false;
};
struct Lap {  // which way an overlapping argument reaches from where it stands: right (1), left
              // (−1), or both, centred (0)
  std::int8_t side = 1;
};
struct Ruling {  // the rule a table's rule command draws
  Rule rule = Rule::Solid;
};
struct Combining {  // a text accent's combining mark, and whether it is read in math too
  char32_t mark = 0;
  bool math = true;
};

}  // namespace payload

using Payload =
    std::variant<std::monostate, payload::Glyph, payload::Word, payload::Style, payload::Mark,
                 payload::Blank, payload::Sign, payload::Sized, payload::Enclosure,
                 payload::Phantom, payload::Size, payload::Pair, payload::Combining,
                 payload::Fraction, payload::Shift, payload::Ruling, payload::Lap>;

// The arguments a command reads, one character each, in order:
//   [  an optional math argument in square brackets
//   m  a mandatory math argument: a braced group or one atom
//   n  an operator's name: a math argument in which - and * are ordinary, a hyphen and an
//      asterisk (LaTeX)
//   b  a braced body after the command's scripts (big operators), when one follows
//   t  a mandatory text argument: letters and the spaces between them (LaTeX)
//   s  a mandatory argument that is read and dropped, such as a label or a colour (LaTeX)
//   *  a star may follow the name: the row named with the star then applies (LaTeX)
//   d  a braced dimension such as {1em}, for a space; for a filled block (Size) its width, then
//      its height (LaTeX)
//   k  a dimension written out after the name, such as 3mu: a space's width, an infix stack's
//      thickness (a rule unless it is zero), the whole rows a box is moved by (Shift; the other way
//      when negative), else read and dropped (LaTeX)
//   u  a braced dimension: the whole rows a box is moved by, the other way when it is negative
//      (Shift; LaTeX)
//   l  a delimiter, such as ( or \langle or ., drawn by the row; after an infix command, the
//      stack's opening one, then its closing one (Fraction) (LaTeX)
//   r  braced rows of cells split by & and \\, set out as the environment of the row's name (LaTeX)
//   f  a math argument between the row's delimiters (Pair), which grow with it, a bar | in it
//      growing too (LaTeX)
//   e  a delimiter braced or bare, {} or . for none: the stack's opening one, then its closing
//      one (Fraction; LaTeX)
//   h  a braced thickness: a rule between the stack's entries unless it is zero (Fraction; LaTeX)
//   o  a math argument up to an infix fraction (\over), which is read and dropped (LaTeX)
//   c  a character code: decimal digits, ' and octal ones, or " and hexadecimal ones (Glyph;
//      LaTeX)
//   v  the text the lexer read raw after the name, between its delimiters (LaTeX)
//   w  a rule's size: height, depth and width, each with a dimension, read and dropped (LaTeX)
struct Definition {
  std::string_view name = {};  // without the backslash
  Role role = Role::Construct;
  std::string_view args = {};  // the argument kinds above
  Construct construct = nullptr;
  MathClass cls = MathClass::Ord;
  bool limits = false;      // its scripts are limits above and below it
  bool base_class = false;  // its class is that of its last argument (\overset{…}{=} relates)
  Payload payload = {};

  // The payload of kind P: what the row's construct draws with.
  template <class P>
  [[nodiscard]] constexpr const P& data() const {
    return std::get<P>(payload);
  }
  // The character of a symbol (a row of one character and no arguments), or 0.
  [[nodiscard]] constexpr char32_t glyph() const noexcept {
    const auto* glyph = std::get_if<payload::Glyph>(&payload);
    return glyph != nullptr && role == Role::Construct && args.empty() ? glyph->ch : 0;
  }
  [[nodiscard]] constexpr bool takes(char kind) const noexcept {
    return args.find(kind) != std::string_view::npos;
  }
  // The mandatory math arguments read right after the name.
  [[nodiscard]] constexpr std::size_t required() const noexcept {
    std::size_t count = 0;
    for (char kind : args) count += kind == 'm';
    return count;
  }
  // The arguments that reach the construct: math and text ones, in order.
  [[nodiscard]] constexpr std::size_t drawn() const noexcept {
    std::size_t count = 0;
    for (char kind : args)
      count +=
          kind == 'm' || kind == 'n' || kind == 't' || kind == 'r' || kind == 'v' || kind == 'o';
    return count;
  }
};

// The class of a character typed as itself (in the LaTeX dialect ≤ is a relation, as \leq is).
struct CharClass {
  char32_t ch;
  MathClass cls;
};

// An environment: its name, the delimiters around the exact markup's grid, and how the LaTeX
// dialect reads and sets out its body.
//
// What follows \begin{name} before the body, one character each, in order (LaTeX):
//   [  an optional position such as [t], read and dropped
//   a  an optional column alignment, [l] [c] or [r], for every column (the starred matrices)
//   c  the columns, such as {l c | r}: alignments, vertical rules, and the rest read and dropped
//   n  a braced count, read and dropped (alignat's column pairs)
// Where an environment's rows get their labels (\tag, and equation numbers).
enum class Labels : std::uint8_t {
  None,  // its rows' labels are those of the row it is in (aligned, cases, matrices)
  Rows,  // each row its own
  Last,  // one for the whole, on its last row (equation, multline)
};

struct EnvironmentDef {
  std::string_view name;
  char32_t open = 0, close = 0;
  TableLayout layout = {};
  std::string_view args = {};
  bool diagram = false;  // a commutative diagram: objects between @-arrows (LaTeX's CD)
  Labels labels = Labels::None;
  bool numbered = false;  // a label with no \tag is the next equation number (unstarred align)
};

// What an escape (a backslash and one character that is not a letter) stands for in math.
enum class EscapeKind : std::uint8_t {
  Symbol,     // an atom of class `cls` drawn as `drawn`, or as the escaped character
  Written,    // an ordinary atom drawn as written, backslash and all
  Blank,      // `columns` blank columns
  LessBlank,  // takes away one blank the list would set (LaTeX's \!)
  Unmatched,  // a part of a structure where none is open: an error (LaTeX's \) and \])
  Command,    // the command named by the character (LaTeX's accents \' \" …)
};

// What an escape stands for in text (LaTeX).
enum class EscapeText : std::uint8_t {
  Kept,     // the escaped character
  Blank,    // one blank
  Nothing,  // nothing at all
  Written,  // as written, backslash and all
  Command,  // the command named by the character
};

struct EscapeDef {
  char32_t ch = 0;
  EscapeKind math = EscapeKind::Symbol;
  std::uint8_t columns = 0;
  std::string_view drawn = {};
  MathClass cls = MathClass::Ord;
  EscapeText text = EscapeText::Written;
  char32_t delimiter = 0;  // what it is after \left, \right and \middle, or 0: no delimiter
};

// The escapes of a dialect: those of the characters in `table`, sorted by character; `white`
// for a backslash before white space; `other` for any other character.
struct Escapes {
  std::span<const EscapeDef> table;
  EscapeDef white;
  EscapeDef other;
};

// What a grammar reads besides commands and environments, all of it optional.
struct GrammarData {
  Escapes escapes;
  const Definition* bars = nullptr;  // the row of a pair of bars around an expression (|x|)
  // How a formula with & or \\ outside any environment is set out, as a table of its own; and
  // one broken into lines by \\ with no & anywhere.
  const EnvironmentDef* implicit_table = nullptr;
  const EnvironmentDef* implicit_lines = nullptr;
  // The label an equation number is drawn as: the row of \tag, given the number as its text.
  const Definition* number = nullptr;
  // The commands that draw a vertical rule in an array's column pattern ({c \vline c}).
  std::span<const std::string_view> rule_commands = {};
  // Characters typed as themselves whose class is not the one a command of theirs has.
  std::span<const CharClass> typed_classes = {};
};

// The FNV-1a hash of a name: names are a few ASCII letters, so a byte-wise hash is fast and spreads
// them well.
[[nodiscard]] constexpr std::uint32_t hash_name(std::string_view name) noexcept {
  std::uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

// An open-addressing index from name to row, filled at compile time: a power of two of slots at
// most half full, each 0 or a row number plus one. A later row of the same name replaces the
// earlier one.
template <std::size_t Slots>
struct NameIndex {
  std::array<std::uint16_t, Slots> slots{};
};

template <std::size_t Slots, std::size_t N>
[[nodiscard]] constexpr NameIndex<Slots> make_index(const std::array<Definition, N>& rows) {
  static_assert((Slots & (Slots - 1)) == 0 && Slots >= 2 * N && N < 0xFFFF);
  NameIndex<Slots> index;
  for (std::size_t row = 0; row < N; ++row) {
    std::size_t slot = hash_name(rows[row].name) & (Slots - 1);
    while (index.slots[slot] != 0 && rows[index.slots[slot] - 1].name != rows[row].name)
      slot = (slot + 1) & (Slots - 1);
    index.slots[slot] = static_cast<std::uint16_t>(row + 1);
  }
  return index;
}

// The row of `name` that an index of `rows` finds (the last of that name), or nullptr.
template <std::size_t N>
[[nodiscard]] constexpr const Definition* row_named(const std::array<Definition, N>& rows,
                                                    std::string_view name) {
  const Definition* found = nullptr;
  for (const Definition& row : rows)
    if (row.name == name) found = &row;
  return found;
}

class Vocabulary {
 public:
  template <std::size_t N, std::size_t Slots, std::size_t E>
  constexpr Vocabulary(const std::array<Definition, N>& rows, const NameIndex<Slots>& index,
                       const std::array<EnvironmentDef, E>& environments, GrammarData grammar,
                       std::span<const CharClass> classes = {}) noexcept
      : grammar_(grammar),
        rows_(rows),
        slots_(index.slots),
        environments_(environments),
        classes_(classes) {
    for (const CharClass& entry : classes)
      if (entry.ch < ascii_classes_.size()) ascii_classes_[entry.ch] = entry.cls;
  }

  // The row of a command name (without the backslash, case-sensitive), or nullptr.
  [[nodiscard]] const Definition* find(std::string_view name) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash_name(name) & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
      const Definition& row = rows_[slots_[slot] - 1];
      if (row.name == name) return &row;
    }
    return nullptr;
  }
  // The environment of a name, or nullptr.
  [[nodiscard]] const EnvironmentDef* environment(std::string_view name) const noexcept {
    for (const EnvironmentDef& env : environments_)
      if (env.name == name) return &env;
    return nullptr;
  }
  // The class of a character typed as itself: a relation, an operator, …, or Ord.
  [[nodiscard]] MathClass class_of(char32_t ch) const noexcept {
    if (ch < ascii_classes_.size()) return ascii_classes_[ch];
    std::size_t low = 0, high = classes_.size();
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      if (classes_[middle].ch < ch)
        low = middle + 1;
      else
        high = middle;
    }
    return low < classes_.size() && classes_[low].ch == ch ? classes_[low].cls : MathClass::Ord;
  }
  // What an escape of the character `ch` stands for.
  [[nodiscard]] const EscapeDef& escape(char32_t ch) const noexcept {
    const std::span<const EscapeDef> table = grammar_.escapes.table;
    const auto it = std::ranges::lower_bound(table, ch, {}, &EscapeDef::ch);
    if (it != table.end() && it->ch == ch) return *it;
    return is_white_space(ch) ? grammar_.escapes.white : grammar_.escapes.other;
  }
  // The rest of what its grammar reads.
  [[nodiscard]] const GrammarData& grammar() const noexcept { return grammar_; }
  // Every row, in table order (a name may appear twice; the index holds the later row).
  [[nodiscard]] std::span<const Definition> rows() const noexcept { return rows_; }

 private:
  GrammarData grammar_;
  std::span<const Definition> rows_;
  std::span<const std::uint16_t> slots_;
  std::span<const EnvironmentDef> environments_;
  std::span<const CharClass> classes_;          // sorted by character
  std::array<MathClass, 128> ascii_classes_{};  // the same for ASCII, looked up directly
};

// ---- row makers ----
//
// A row is written with a maker: these for any row, those of constructs.hpp for the rows of a
// construct, which give it the payload it draws with.
namespace rows {

// A command drawn by `construct` from the arguments `args` lists.
constexpr Definition structure(std::string_view name, std::string_view args, Construct construct,
                               Payload payload = {}) {
  return {.name = name, .args = args, .construct = construct, .payload = payload};
}
// A command the parser reads itself: \left, \begin, a space, a switch.
constexpr Definition role(std::string_view name, Role role, std::string_view args = {},
                          Payload payload = {}) {
  return {.name = name, .role = role, .args = args, .payload = payload};
}
// The row with its scripts set as limits above and below it.
constexpr Definition limits(Definition def) {
  def.limits = true;
  return def;
}
// The row with the class `cls`.
constexpr Definition with_class(Definition def, MathClass cls) {
  def.cls = cls;
  return def;
}
// The row with the class of its last argument (\overset{…}{=} is a relation).
constexpr Definition of_base(Definition def) {
  def.base_class = true;
  return def;
}

}  // namespace rows

// The exact markup's vocabulary: 148 command names and three matrix environments.
extern const Vocabulary kExactVocabulary;

// The LaTeX dialect's vocabulary: the symbols of the LaTeX project's Unicode math table, the
// classic names, function names, text, alphabets, spacing and structures.
extern const Vocabulary kLatexVocabulary;

}  // namespace vok
