// A formula's one-row form: what a picture sets on several rows, written on one, as people write
// math in plain text (a/b, √x, x², e^(iπ), ∑ᵢ₌₁ⁿ, (a  b; c  d)). See linear.cpp.
#pragma once

#include <string_view>

#include "measure.hpp"

namespace vok {

// What a one-row form writes with: Unicode's signs, or ASCII alone.
struct LinearStyle {
  bool vulgar_fractions;  // ½ for \frac12, where Unicode has the character
  bool root_signs;        // ∛ and ∜ for the roots of index 3 and 4
  bool root_brackets;     // the radicand always in parentheses
  std::string_view root;  // the radical sign
  bool combining;         // an accent over one letter as a combining mark (x̄)
  Words words;            // the finished row's characters spelt as words (∑ as sum), or null
};

// The compositions of a one-row form.
extern const Composer kLinearComposer;

extern const LinearStyle kLinearUnicode;
extern const LinearStyle kLinearAscii;

}  // namespace vok
