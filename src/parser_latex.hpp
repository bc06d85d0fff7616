// LaTeX as people write it, read as TeX reads math:
//
//   formula   [ $ | $$ | \( | \[ ] list [ the matching closer ]
//   list      { space | switch | atom }        up to its closing token: } ] & \\ \right \end
//   atom      nucleus { ^argument | _argument | ' }     (one ^ and one _ at most, as in TeX)
//   nucleus   { list } | symbol | \command arguments | \left d list \right d
//             | \begin{env} rows \end{env}
//   argument  { list } | one token (a symbol, or a command with its own arguments)
//   rows      cells { \\ cells }, cells: list { & list }
//
// Every atom has a math class (ordinary, operator, binary, relation, opening, closing,
// punctuation, inner); a list turns a binary operator that has no operand into an ordinary atom
// and puts one blank between the atoms that TeX spaces apart, none inside scripts. A switch (\bf)
// takes the rest of its list, an infix command (\over) splits it in two. Nothing is skipped: a
// token that closes nothing is an error. A formula with & or \\ outside any environment is a table
// of its own.
//
// The grammar lives in four rooms: lists, their plain symbols and their spacing
// (parser_latex_lists.cpp), atoms and the arguments of commands (parser_latex_atoms.cpp), text and
// dimensions (parser_latex_text.cpp), and environments with their rows and column patterns
// (parser_latex_tables.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "parser.hpp"
#include "unicode.hpp"

namespace vok {

class TextAssembler;

// What a dimension measures, and so how it is counted in cells: a space's columns (two to the em,
// none for less than a quarter of one), or a filled block's columns or rows (a row is about 1.2em
// tall), at least one cell for any positive size, or the whole rows a box is moved by (none for
// less than half a row).
enum class Extent : std::uint8_t { Space, Width, Height, Shift };

class LatexParser : ParserBase {
 public:
  LatexParser(std::span<const Lexeme> tokens, std::string_view input, const Vocabulary& vocabulary,
              ListStack& lists, std::size_t& numbers, std::size_t depth = 0) noexcept
      : ParserBase(tokens, input, vocabulary, lists, depth), numbers_(numbers) {}

  // A whole formula.
  [[nodiscard]] Result<Box> formula();

 private:
  // An atom or a space of a list, with the class that decides the blanks around it.
  struct Item {
    Box expr;
    MathClass cls;
    bool atom;  // false for spaces, which take no part in the classes' spacing
  };
  // What ends a list besides the end of the tokens, and how it starts.
  enum Stop : std::uint8_t {
    kAtEnd = 0,
    kAtBrace = 1,    // }
    kAtBracket = 2,  // ] of an optional argument
    kAtCell = 4,     // & \\ \end
    kAtRight = 8,    // \right \middle
    kAtRow = 16,     // & \\ (a formula that is a table of its own)
    kAfterOrd = 32,  // the list starts after an empty ordinary atom, as amsmath's right-hand
                     // columns do, so that a relation there is spaced
    kAtBar = 64,     // | (the parts of \Braket{a|b})
    kAtOver = 128,   // an infix command (the first argument of \buildrel)
  };
  // A table's body: its rows, each as long as the longest, and the count of horizontal rules above
  // each row and below the last (empty when there are none).
  struct Rows {
    std::span<const ExprList> rows;
    std::span<const Rule> lines;
  };
  // The label a row asked for: a \tag's, none (\notag), or neither (null and false).
  struct Label {
    Box tag = nullptr;
    bool none = false;
  };

  // ---- lists (parser_latex_lists.cpp) ----

  [[nodiscard]] Result<Box> list(std::uint8_t stop, bool script);
  // The atom of a letter, a punctuation sign or a command that reads no argument, with nothing
  // after it that an atom would take (a script, a prime, \limits), as atom() would read it; none
  // for anything else.
  [[nodiscard]] inline std::optional<Item> plain_symbol();
  // The stops at which a token ends a list (kAtBrace for }, kAtCell | kAtRow for & …), or kAtEnd
  // for a token that ends none. Where a list's stops do not include them, a token that ends lists
  // is out of place, but for a ] (a symbol outside an optional argument).
  [[nodiscard]] std::uint8_t closes(const Lexeme& token) const noexcept {
    switch (token.kind) {
      case TokenKind::RBrace:
        return kAtBrace;
      case TokenKind::RBracket:
        return kAtBracket;
      case TokenKind::Ampersand:
        return kAtCell | kAtRow;
      case TokenKind::Escape:
        return token.end - token.start == 2 && input_[token.start + 1] == '\\' ? kAtCell | kAtRow
                                                                               : kAtEnd;
      case TokenKind::Command:
        switch (role_of(token)) {
          case Role::Right:
          case Role::Middle:
            return kAtRight;
          case Role::End:
            return kAtCell;
          case Role::RowEnd:
            return kAtCell | kAtRow;
          default:
            return kAtEnd;
        }
      default:
        return kAtEnd;
    }
  }
  // The error of a token out of place in a list that `stop` ends.
  [[nodiscard, gnu::cold, gnu::noinline]] ParseError out_of_place(const Lexeme& token,
                                                                  std::uint8_t stop) const;

  // ---- atoms and arguments (parser_latex_atoms.cpp) ----

  [[nodiscard]] Result<Item> atom(bool script);
  // `alone`: the nucleus is one token of an argument (\frac\foo{x}), so an unknown command takes
  // none of the groups after it.
  [[nodiscard]] Result<Item> nucleus(bool script, bool alone = false);
  [[nodiscard]] Result<Item> escaped(const Lexeme& token);
  // The class of a character typed as itself.
  [[nodiscard]] MathClass typed_class(char32_t ch) const;
  [[nodiscard]] Item digits();
  [[nodiscard]] Result<Box> group(bool script);
  [[nodiscard]] Result<Box> argument(bool script, const Lexeme& owner);
  [[nodiscard]] Result<Item> command_atom(const Lexeme& token, bool script, bool alone = false);
  [[nodiscard]] Result<Box> arguments(const Lexeme& token, const Definition& def, bool script);
  [[nodiscard]] Result<Box> optional_argument(bool script);
  [[nodiscard]] Result<void> skip_argument(const Lexeme& owner);
  // An infix command's delimiters and thickness: its row drawn with them.
  [[nodiscard]] Result<const Definition*> infix_arguments(const Lexeme& token,
                                                          const Definition& def);
  [[nodiscard]] Result<char32_t> stack_delimiter(const Lexeme& owner);
  [[nodiscard]] Result<void> skip_rule_size(const Lexeme& owner);
  [[nodiscard]] Result<char32_t> character_code(const Lexeme& owner);
  [[nodiscard]] Result<Box> fenced_argument(const Lexeme& owner, const Definition& def,
                                            bool script);
  [[nodiscard]] Result<Item> left(const Lexeme& token, bool script);
  [[nodiscard]] Result<char32_t> delimiter(const Lexeme& owner);
  // The class of an atom as the list would see it: a command's, a character's, else ordinary.
  [[nodiscard]] MathClass class_of(const Expr& atom) const;

  // ---- text and dimensions (parser_latex_text.cpp) ----

  [[nodiscard]] Result<Box> text(const Lexeme& owner);
  [[nodiscard]] Result<void> text_group(const Lexeme& open, std::uint32_t& previous_end,
                                        TextAssembler& out, bool in_switch);
  [[nodiscard]] Result<void> text_token(const Lexeme& token, TextAssembler& out);
  [[nodiscard]] Result<void> text_command(const Lexeme& token, TextAssembler& out);
  [[nodiscard]] Result<Box> accented(const Lexeme& owner, const Definition& def);
  [[nodiscard]] Result<void> text_accent(const Lexeme& owner, const Definition& def,
                                         TextAssembler& out);
  [[nodiscard]] Result<std::size_t> dimension(bool braced, const Lexeme& owner,
                                              Extent extent = Extent::Space,
                                              bool* negative = nullptr);

  // ---- environments and tables (parser_latex_tables.cpp) ----

  [[nodiscard]] Result<Item> environment(const Lexeme& token, bool script);
  [[nodiscard]] Result<TableLayout> environment_arguments(const EnvironmentDef& env,
                                                          const Lexeme& token);
  [[nodiscard]] Result<Rows> rows(std::uint8_t stop, bool pairs, bool script, Box first,
                                  std::vector<Label>* labels = nullptr);
  // The rows with a last column of their labels, as the environment gives them, and the layout
  // told of it; the rows as they are when no row has one.
  [[nodiscard]] Rows labelled(Rows body, std::span<const Label> labels, const EnvironmentDef& env,
                              TableLayout& layout);
  [[nodiscard]] Result<Rows> diagram_rows(bool script);
  [[nodiscard]] Result<Box> diagram_part(std::size_t from, std::size_t to, bool script);
  [[nodiscard]] Result<void> rules_above(std::size_t row, std::vector<Rule>& lines, bool script);
  // Braced rows set out as the environment of the row's name (\substack).
  [[nodiscard]] Result<Box> rows_argument(const Lexeme& token, const Definition& def, bool script);
  [[nodiscard]] Result<TableLayout> columns(const Lexeme& owner, TableLayout layout);
  [[nodiscard]] Item table(Rows body, const TableLayout& layout);
  [[nodiscard]] Result<std::string_view> name(const Lexeme& owner);

  // Where the innermost brace still open was opened, and how many tables are being read: a cell
  // separator in a group of a table means that group was not closed.
  std::size_t open_brace_ = 0;
  std::size_t tables_ = 0;
  bool operator_name_ = false;  // in an operator's name, where - and * are ordinary
  Label label_;                 // the label of the row being read
  std::size_t& numbers_;        // the equation numbers given so far
};

// The class of a punctuation token.
[[nodiscard]] inline std::optional<MathClass> punctuation_class(TokenKind kind) {
  switch (kind) {
    case TokenKind::Plus:
    case TokenKind::Minus:
    case TokenKind::Star:
      return MathClass::Bin;
    case TokenKind::Equals:
    case TokenKind::Less:
    case TokenKind::Greater:
    case TokenKind::Colon:
      return MathClass::Rel;
    case TokenKind::Comma:
    case TokenKind::Semicolon:
      return MathClass::Punct;
    case TokenKind::LParen:
    case TokenKind::LBracket:
      return MathClass::Open;
    case TokenKind::RParen:
    case TokenKind::RBracket:
    case TokenKind::Bang:
      return MathClass::Close;
    case TokenKind::Pipe:
    case TokenKind::Dot:
    case TokenKind::Slash:
      return MathClass::Ord;
    default:
      return std::nullopt;
  }
}

// The first character of a token's text.
[[nodiscard]] inline char32_t first_char(std::string_view source) {
  const auto lead = static_cast<unsigned char>(source[0]);
  return lead < 0x80 ? lead : decode_utf8(source, 0).ch;
}

// The item of \!: it takes away one blank the list would set.
inline constexpr Expr kLessBlank = Space{0};

// The large operator an atom is, bare or under its scripts, when it gathers the atoms after it as
// its operand (parser_latex_lists.cpp).
[[nodiscard]] const Command* gatherer(const Expr& atom);

// A text in the arena, for text that is not a view of the input.
[[nodiscard]] std::string_view keep(std::string_view text);

}  // namespace vok
