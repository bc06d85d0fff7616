// The pipeline: text → tokens → tree → block → text. It only orders the stages.
#pragma once

#include <string>

#include "layout.hpp"

namespace vok {

// The picture as text: each row's cells in UTF-8, then a line feed, for every row; nothing is
// trimmed, so every row has exactly `width` characters. A block with no rows gives "".
[[nodiscard]] std::string write_text(const RenderNode& block);

// The same text as UTF-32, in the current arena.
[[nodiscard]] std::u32string_view write_utf32(const RenderNode& block);

}  // namespace vok
