// Tokens and the lexer: formula text to a flat list of tokens with their byte ranges.
//
// The token set is small and fixed: 23 single punctuation characters, backslash commands (a
// backslash and a run of ASCII letters), backslash escapes (a backslash and any one other
// character), runs of ASCII digits and single identifier characters. White space separates tokens
// and is dropped. The first character decides a token's kind and only numbers and commands extend,
// always greedily, so the lexer is one left-to-right pass with no backtracking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "error.hpp"

namespace vok {

// The token kinds. The order is their numeric identity; the last two occur in the LaTeX dialect
// only.
enum class TokenKind : std::uint8_t {
  LBrace,      // {
  RBrace,      // }
  LBracket,    // [
  RBracket,    // ]
  Caret,       // ^
  Underscore,  // _
  Prime,       // '
  Pipe,        // |
  Bang,        // !
  Plus,        // +
  Minus,       // -
  Equals,      // =
  Star,        // *
  Comma,       // ,
  LParen,      // (
  RParen,      // )
  Dot,         // .
  Colon,       // :
  Semicolon,   // ;
  Less,        // <
  Greater,     // >
  Slash,       // /
  Ampersand,   // &
  Command,     // a backslash and ASCII letters; payload: the letters
  Escape,      // a backslash and one other character; payload: that character
  Number,      // ASCII digits; payload: the digits
  Ident,       // one identifier character; payload: that character
  Tilde,       // ~ (LaTeX: a blank)
  Dollar,      // $ (LaTeX: opens and closes the formula)
};

// A token: its kind and, for the four payload kinds, a view of its text in the input.
struct Token {
  TokenKind kind;
  std::string_view text;  // empty for kinds without payload

  // Same kind, and for payload kinds the same text byte for byte.
  [[nodiscard]] bool operator==(const Token& other) const noexcept;
};

// True for the kinds that carry text: Command, Escape, Number and Ident.
[[nodiscard]] constexpr bool has_payload(TokenKind kind) noexcept {
  return kind >= TokenKind::Command && kind <= TokenKind::Ident;
}

// A token as the lexer stores it: its kind and the byte range of its whole lexeme (backslash
// included), twelve bytes. The payload is a view into the input, recovered on demand.
struct Lexeme {
  std::uint32_t start;
  std::uint32_t end;
  TokenKind kind;

  // The lexeme's source text, as quoted in messages.
  [[nodiscard]] std::string_view source(std::string_view input) const noexcept {
    return input.substr(start, end - start);
  }
  // The payload: for a command or an escape the text after the backslash, else the lexeme.
  [[nodiscard]] std::string_view payload(std::string_view input) const noexcept {
    const std::uint32_t from =
        kind == TokenKind::Command || kind == TokenKind::Escape ? start + 1 : start;
    return input.substr(from, end - from);
  }
  // The token with its payload.
  [[nodiscard]] Token token(std::string_view input) const noexcept {
    return Token{kind, has_payload(kind) ? payload(input) : std::string_view()};
  }
};

// The kind's name, as written in messages: "RBrace", "Command".
[[nodiscard]] std::string_view kind_name(TokenKind kind) noexcept;

// The text form of a token: RBrace, Command("frac"), Escape("\\"), Ident("\u{1}").
[[nodiscard]] std::string text_form(const Token& token);

// The text form of an optional token: None, or Some(<text form>).
[[nodiscard]] std::string optional_text_form(const Token* token);

// What each ASCII character starts: the exact markup's reading, where " # $ % ? @ ` ~ start no
// token; and LaTeX's, where " # ? @ ` are symbols, ~ and $ tokens of their own, % starts a comment
// to the end of the line, every digit is a token by itself, and control characters other than
// white space start no token.
struct AsciiTable;
extern const AsciiTable kExactAscii;
extern const AsciiTable kLatexAscii;

// A command name that the lexer reads as another token.
struct TokenAlias {
  std::string_view name;
  TokenKind kind;
};

// How a dialect's text is read into tokens.
struct LexerRules {
  const AsciiTable* ascii;              // what each ASCII character starts
  std::span<const TokenAlias> aliases;  // command names read as other tokens
  // Command names whose argument is read raw, from the character after the name (or after a star)
  // to the next one like it on the same line, as one identifier, the star and the delimiters
  // included (LaTeX's \verb|x|, \verb*|x y|).
  std::span<const std::string_view> verbatim;
  bool refuses_controls;   // a control character that is not white space is an error, after a
                           // backslash too; else it is a character like any other
  bool joins_marks;        // a combining mark right after a character is part of it (e and U+0301
                           // are é)
  bool final_blank;        // a backslash at the very end is a blank, as TeX reads one at the end
                           // of a line; else it starts no token
  bool at_letter = false;  // @ is a letter of command names (\@ifstar), as in LaTeX's packages
  // The error of a malformed UTF-8 sequence at byte `at`.
  ParseError (*malformed)(std::string_view input, std::size_t at);
  // Commands the lexer counts (the LaTeX dialect's macro definitions), or null: a name is asked
  // about only when its noted_hash has its bit in `noted_hashes`.
  bool (*noted)(std::string_view name) = nullptr;
  std::uint64_t noted_hashes = 0;
};

// A command name's bit among 64, by its length and first letter, which tell nearly all names apart
// from a few given ones.
[[nodiscard]] constexpr unsigned noted_hash(std::string_view name) noexcept {
  return (static_cast<unsigned>(name.size()) * 7U + static_cast<unsigned char>(name.front())) & 63U;
}
template <std::size_t N>
[[nodiscard]] constexpr std::uint64_t noted_hashes(const std::string_view (&names)[N]) noexcept {
  std::uint64_t bits = 0;
  for (const std::string_view name : names) bits |= std::uint64_t{1} << noted_hash(name);
  return bits;
}

// Splits the whole input into tokens, kept in the current arena, or fails at the first character
// that starts none; `noted`, when given, gets the number of commands the rules note. Inputs of
// 4 GiB or more are refused as too large.
[[nodiscard]] Result<std::span<const Lexeme>> tokenize(std::string_view input,
                                                       const LexerRules& rules,
                                                       std::size_t* noted = nullptr);

}  // namespace vok
