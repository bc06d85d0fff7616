// The two dialects' values.
//
// The exact markup reads only the characters it knows and refuses the rest. LaTeX as people write
// it reads more characters and control characters that are white space, takes a combining mark as
// part of the character before it, a final backslash as a blank, and \sp and \sb as ^ and _.
//
// The exact markup draws every character in a cell of its own, every script character that
// Unicode has, limits left-aligned in equal bands, and takes neither a width nor ASCII pictures.
// LaTeX as people write it measures text in display columns, keeps prime marks as they are in
// superscripts, has no subscript y (Unicode's ᵧ is a gamma), lowers a subscript under a tall base
// and sets a superscript beside an accented letter as TeX does, writes both scripts compactly when
// both can be, centres the limits of \lim and the like, and those of a large operator on its sign,
// with its operand beside them, or sets an integral's at the sign's right, as TeX does; from
// ASCII it has no script characters but primes.
#include "dialect.hpp"

#include "linear.hpp"

namespace vok {
namespace {

// Plain TeX's \sp and \sb are ^ and _.
constexpr TokenAlias kLatexAliases[] = {{"sp", TokenKind::Caret}, {"sb", TokenKind::Underscore}};
// \verb's argument is raw text between two like characters.
constexpr std::string_view kLatexVerbatim[] = {"verb"};

constexpr LexerRules kExactLexer{
    .ascii = &kExactAscii,
    .aliases = {},
    .verbatim = {},
    .refuses_controls = false,
    .joins_marks = false,
    .final_blank = false,
    // A character that cannot be read: the exact markup says only where.
    .malformed = [](std::string_view,
                    std::size_t at) { return ParseError{message::invalid_token(at)}; },
};

constexpr LexerRules kLatexLexer{
    .ascii = &kLatexAscii,
    .aliases = kLatexAliases,
    .verbatim = kLatexVerbatim,
    .refuses_controls = true,
    .joins_marks = true,
    .final_blank = true,
    .at_letter = true,
    .malformed = message::invalid_utf8,
    .noted = is_primitive,
    .noted_hashes = kPrimitiveHashes,
};

constexpr Drawing kExactDrawing{
    .scripts = {.superscripts = superscript_form,
                .subscripts = subscript_form,
                .low_subscripts = false,
                .beside_marks = false,
                .compact_pairs = false},
    .limits = {.centred = false, .equal_bands = true},
    .operator_limits = {.centred = false, .equal_bands = true},
    .cells = RenderNode::row,
    .spelling = nullptr,
};

constexpr Drawing kLatexDrawing{
    .scripts = {.superscripts = prime_or_superscript_form,
                .subscripts = latex_subscript_form,
                .low_subscripts = true,
                .beside_marks = true,
                .compact_pairs = true},
    .limits = kCentredLimits,
    .operator_limits = {.centred = true, .equal_bands = false, .on_sign = true},
    .cells = RenderNode::column_row,
    .spelling = nullptr,
};

// The same from ASCII characters: no script forms but primes, and every character of the picture
// spelled in ASCII at the end.
constexpr Drawing kLatexAsciiDrawing = [] {
  Drawing ascii = kLatexDrawing;
  ascii.scripts.superscripts = prime_form;
  ascii.scripts.subscripts = no_form;
  ascii.spelling = ascii_form;
  return ascii;
}();

// A drawing's one-row form, in `style`.
constexpr Drawing in_one_row(Drawing drawing, const LinearStyle& style) {
  drawing.composer = &kLinearComposer;
  drawing.limits_as_scripts = true;
  drawing.linear = &style;
  return drawing;
}

constexpr DialectRules kExact{
    .lexer = &kExactLexer,
    .vocabulary = &kExactVocabulary,
    .expand = as_written,
    .grammar = parse_exact,
    .drawing = kExactDrawing,
    .ascii = kExactDrawing,
    .linear = in_one_row(kExactDrawing, kLinearUnicode),
    .linear_ascii = in_one_row(kExactDrawing, kLinearUnicode),
    .breaks_lines = false,
    // The exact markup gives its symbols no class.
    .symbol_groups = {"symbol", "symbol", "symbol", "symbol", "symbol", "symbol", "symbol",
                      "symbol"},
};

constexpr DialectRules kLatex{
    .lexer = &kLatexLexer,
    .vocabulary = &kLatexVocabulary,
    .expand = expand_macros,
    .grammar = parse_latex,
    .drawing = kLatexDrawing,
    .ascii = kLatexAsciiDrawing,
    .linear = in_one_row(kLatexDrawing, kLinearUnicode),
    .linear_ascii = in_one_row(kLatexAsciiDrawing, kLinearAscii),
    .breaks_lines = true,
    // By class, in the order of MathClass.
    .symbol_groups = {"ordinary", "operator", "binary", "relation", "opening", "closing",
                      "punctuation", "inner"},
};

}  // namespace

const DialectRules& dialect_rules(Dialect dialect) noexcept {
  return dialect == Dialect::Latex ? kLatex : kExact;
}

}  // namespace vok
