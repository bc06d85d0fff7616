// Constructs: how a command is drawn from its measured arguments. One function per kind of command;
// a vocabulary's row names the function and gives it its data (a character, a mark, a word, a map).
// Every construct has the signature of Construct (vocabulary.hpp) and fails only when the picture
// is too large. A construct made of the general compositions is in constructs.cpp; one with a
// drawing of its own is beside that drawing: the large operators in layout_signs.cpp, radicals,
// accents, long arrows and frames in layout_marks.cpp.
#pragma once

#include <span>

#include "layout.hpp"
#include "vocabulary.hpp"

namespace vok::construct {

// The row's character.
[[nodiscard]] Result<NodeRef> symbol(const Definition& def, std::span<const NodeRef> args,
                                     std::span<const NodeRef> optional);
// The row's word on one row, such as a function name.
[[nodiscard]] Result<NodeRef> word(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// Numerator over a rule exactly as wide as the wider operand, over denominator.
[[nodiscard]] Result<NodeRef> fraction(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The same with each half as tall as it is, as TeX sets a fraction (LaTeX).
[[nodiscard]] Result<NodeRef> tight_fraction(const Definition& def, std::span<const NodeRef> args,
                                             std::span<const NodeRef> optional);
// Two entries stacked with a blank row between them, each as tall as it is, in tall delimiters
// opened by the row's character when it has one: ( [ or { (LaTeX's \binom, \atop, \brace).
[[nodiscard]] Result<NodeRef> stacked(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);
// Two entries stacked with a blank row between them, in tall parentheses.
[[nodiscard]] Result<NodeRef> binomial(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The radical sign over the body, with an optional index at its upper left.
[[nodiscard]] Result<NodeRef> root(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// The summation sign, three rows high or as tall as its body.
[[nodiscard]] Result<NodeRef> summation(const Definition& def, std::span<const NodeRef> args,
                                        std::span<const NodeRef> optional);
// The integral sign, three rows high or as tall as its body.
[[nodiscard]] Result<NodeRef> integral(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The row's `size` integral signs, the first marked with its character unless that is a plain
// integral, before the argument; with no argument, its character (LaTeX's integrals).
[[nodiscard]] Result<NodeRef> integrals(const Definition& def, std::span<const NodeRef> args,
                                        std::span<const NodeRef> optional);
// The row's large operator drawn as tall as the argument, before it; with no argument, its
// character (LaTeX).
[[nodiscard]] Result<NodeRef> big_operator(const Definition& def, std::span<const NodeRef> args,
                                           std::span<const NodeRef> optional);
// The argument in a frame (\boxed).
[[nodiscard]] Result<NodeRef> boxed(const Definition& def, std::span<const NodeRef> args,
                                    std::span<const NodeRef> optional);
// A blank as wide as the argument (`size` 1), as tall (2), or both (3): \phantom and the like.
[[nodiscard]] Result<NodeRef> phantom(const Definition& def, std::span<const NodeRef> args,
                                      std::span<const NodeRef> optional);
// The second argument with the first centred above it (\overset, \stackrel).
[[nodiscard]] Result<NodeRef> over_set(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The second argument with the first centred below it (\underset).
[[nodiscard]] Result<NodeRef> under_set(const Definition& def, std::span<const NodeRef> args,
                                        std::span<const NodeRef> optional);
// The row's arrow drawn across, a column wider on either side than the argument centred above
// it and the optional one below it (\xrightarrow[below]{above}).
[[nodiscard]] Result<NodeRef> long_arrow(const Definition& def, std::span<const NodeRef> args,
                                         std::span<const NodeRef> optional);
// The argument in parentheses, two blank columns after what comes before it (\tag); without
// them for a row with no character (\tag*).
[[nodiscard]] Result<NodeRef> tag(const Definition& def, std::span<const NodeRef> args,
                                  std::span<const NodeRef> optional);
// The argument between stretchy vertical bars.
[[nodiscard]] Result<NodeRef> bars(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// A row holding the row's mark above the argument: centred, or across its whole width.
[[nodiscard]] Result<NodeRef> accent(const Definition& def, std::span<const NodeRef> args,
                                     std::span<const NodeRef> optional);
// A row holding the row's mark below the argument: centred, or across its whole width.
[[nodiscard]] Result<NodeRef> accent_below(const Definition& def, std::span<const NodeRef> args,
                                           std::span<const NodeRef> optional);
// The argument as it is (the row gives it a class, or drops its other arguments).
[[nodiscard]] Result<NodeRef> group(const Definition& def, std::span<const NodeRef> args,
                                    std::span<const NodeRef> optional);
// The argument in parentheses after the row's word: "(mod n)" for \pmod, "(n)" for \pod.
[[nodiscard]] Result<NodeRef> pmod(const Definition& def, std::span<const NodeRef> args,
                                   std::span<const NodeRef> optional);
// A relation struck through: its precomposed negation where Unicode has one, else a slash before
// it.
[[nodiscard]] Result<NodeRef> negation(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);
// The row's delimiter, `size` rows high (\big and its kin).
[[nodiscard]] Result<NodeRef> sized_delimiter(const Definition& def, std::span<const NodeRef> args,
                                              std::span<const NodeRef> optional);
// The argument with every character passed through the row's math alphabet.
[[nodiscard]] Result<NodeRef> alphabet(const Definition& def, std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional);

}  // namespace vok::construct
