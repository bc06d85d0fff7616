// vok: math formulas drawn as lines of Unicode text for monospaced display.
//
//   auto picture = vok::render("\\frac{a}{b}");
//   if (picture) std::fputs(picture->c_str(), stdout);
//   else std::fprintf(stderr, "%s\n", picture.error().message.c_str());
//
//   auto latex = vok::render("\\frac12 \\leq x", {.dialect = vok::Dialect::Latex});
//
// Two dialects are read: vok's exact markup (the default), and LaTeX as people write it, with
// LaTeX's commands, spacing and environments.
//
// The picture is the formula's rows from top to bottom, every row exactly as wide as the picture
// (trailing spaces kept) and followed by one line feed; the empty formula gives "". Input that does
// not lex, parse or render gives a ParseError whose message names the problem and, where it has
// one, its position. The function is pure and thread-safe; it throws only std::bad_alloc.
#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vok {

// The one error of the whole pipeline: the finished, human-readable message. A LaTeX message that
// names a place in the input (" at byte N, column C", or " at byte N" in a formula of several
// lines) also gives it apart, for a caller that names the place in its own terms.
struct ParseError {
  std::string message;
  std::size_t byte = std::string_view::npos;  // the byte of the input the message names, or npos
  std::string what = {};  // with `byte`: the message without its " at byte N, column C"
};

// The dialect a formula is written in.
enum class Dialect {
  Exact,  // vok's exact markup
  Latex,  // LaTeX as people write it
};

// A macro a caller gives the LaTeX dialect: its name with the backslash ("\\R") and its
// replacement text, with #1 … #9 for its arguments (it takes as many as the highest #n).
struct MacroDefinition {
  std::string_view name;
  std::string_view replacement;
};

// How to render a formula. `width` and `ascii` apply to the LaTeX dialect; the exact markup's
// pictures do not change with them.
struct Options {
  Dialect dialect = Dialect::Exact;
  // A formula wider than this many columns is broken at its top-level relations, else at its
  // binary operators, each continuation indented, as a typesetter breaks display math; one that
  // cannot be broken is left whole. 0: no limit.
  std::size_t width = 0;
  // Every drawing character from ASCII (- | / \ + = rules, brackets and signs), for fonts and
  // consoles without the drawing pieces; scripts on rows of their own rather than in Unicode's
  // script characters; symbols with a one-character ASCII spelling spelt so (′ as ', − as -).
  bool ascii = false;
  // The formula on one row of text, as it is written in running text: a/b, √x, x², e^(iπ),
  // ∑ᵢ₌₁ⁿ, (a  b; c  d); a formula whose picture is one row is that row. No width breaks it. With
  // `ascii`, in ASCII: sqrt(x), x^2, sum_(i=1)^n.
  bool linear = false;
  // Macros in force from the start of a LaTeX formula, as if defined before it; the formula's own
  // definitions (\newcommand, \def …) are expanded whether or not any is given. The views must
  // live as long as the call.
  std::span<const MacroDefinition> macros = {};
  // LaTeX definitions in force from the start of a formula, as in a preamble or a file of macros
  // (\newcommand{\R}{\mathbb{R}} …): only its definitions count, the rest of it is ignored.
  std::string_view definitions = {};
};

// Renders one formula (UTF-8 text) to its picture, or returns the first error.
[[nodiscard]] std::expected<std::string, ParseError> render(std::string_view input,
                                                            Options options = {});

// Receives a picture as UTF-32 text; `context` is the pointer given to render_utf32.
using PictureSink = void (*)(std::u32string_view picture, void* context);

// Renders one formula and hands the picture to `sink` as UTF-32 text, the same characters as
// render() gives, without an intermediate string: the text lives only until `sink` returns.
// Returns the first error instead, without calling `sink`.
[[nodiscard]] std::expected<void, ParseError> render_utf32(std::string_view input, PictureSink sink,
                                                           void* context, Options options = {});

// A formula of a document that could not be drawn: it is left as written.
struct DocumentProblem {
  // Where the problem is in the document: the place its error names, else the formula's opening
  // delimiter (a fenced block's fence). The line from 1, and the column in characters from 1 (each
  // code point one, a tab one).
  std::size_t line;
  std::size_t column;
  std::string message;  // what is wrong, without the place in the formula that the error names
};

// A Markdown document with its math drawn, and the formulas left as written in document order.
struct Document {
  std::string text;
  std::vector<DocumentProblem> problems;
};

// How a document writes inline math.
enum class InlineMath {
  Linear,   // the formula's one-row form (Options::linear), which reads in running text
  Picture,  // its picture when that is one row
  Source,   // as written, always; still read, so that its problems are reported
};

// How a document's math is written.
struct DocumentOptions {
  InlineMath inline_math = InlineMath::Linear;
  // Display pictures without the ```text fences around them, for reading in a terminal: the
  // picture's lines alone, still on lines of their own, after the markers of the block quotes and
  // list items they are in. The text is then no longer Markdown that shows the pictures as drawn.
  bool plain = false;
};

// Draws the math of a Markdown document (UTF-8) and keeps everything else byte for byte. Display
// math ($$…$$, \[…\], a ```math or ```latex block, a paragraph that is one equation-like
// environment) becomes its picture in a ```text block; inline math ($…$, \(…\)) becomes, as
// `document.inline_math` says, its one-row form or its picture in the line, and stays as written
// when that is more than one row. A `$` opens inline math only before a non-blank and closes it
// only after a non-blank and before no digit, so "$5 and $10" is not math; code spans and code
// blocks, in block quotes and list items too, are never touched. `options` draws every formula, but
// for inline math `linear` is `document.inline_math`'s. A formula that cannot be drawn stays as
// written and is one of the problems. Time is linear in the text and the formulas' cost.
[[nodiscard]] Document render_markdown(std::string_view markdown,
                                       Options options = {.dialect = Dialect::Latex},
                                       DocumentOptions document = {});

// A command of a dialect, as a list of commands shows it.
struct CommandInfo {
  std::string_view name;   // without the backslash
  std::string_view group;  // what kind of command it is: in the exact markup "symbol",
                           // "function", "accent", "alphabet" or "structure"; in the LaTeX
                           // dialect a symbol's math class ("ordinary", "operator", "binary",
                           // "relation", "opening", "closing", "punctuation", "inner"), or
                           // "function", "accent", "alphabet", "text", "switch", "space", "style"
                           // or "structure"
  std::string drawn;       // the character or word it draws (UTF-8): a relation may be a few
                           // characters (−:, ≦̸), a text accent is its combining mark; or "" when
                           // what it draws is made of its arguments
};

// Every command a formula of the dialect can name, sorted by name: one entry for each name of
// ASCII letters (a starred form is its command's), \left, \begin and the other commands that
// give a formula its structure included.
[[nodiscard]] std::vector<CommandInfo> commands(Dialect dialect);

}  // namespace vok
