// The pipeline: text → tokens → tree → measured nodes → painted picture → text. It only orders the
// stages.
#pragma once

#include <string>

#include "layout.hpp"

namespace vok {

// The picture of `root` as text: each row's characters in UTF-8, then a line feed, for every row;
// nothing is trimmed, so every row has exactly `width` characters. A node with no rows gives "".
[[nodiscard]] std::string write_text(const RenderNode& root);

// The same text as UTF-32, in the current arena: the one buffer the picture is painted into.
[[nodiscard]] std::u32string_view write_utf32(const RenderNode& root);

}  // namespace vok
