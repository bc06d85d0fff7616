// The pipeline: text → tokens → tree → measured nodes → painted picture → text. It only orders the
// stages.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "layout.hpp"
#include "macros.hpp"
#include "vok/vok.hpp"

namespace vok {

// The picture of `root` as text: each row's characters in UTF-8, then a line feed, for every row;
// nothing is trimmed, so every row has exactly `width` characters. A node with no rows gives "".
[[nodiscard]] std::string write_text(const RenderNode& root, CharMap spelling = nullptr,
                                     Words words = nullptr);

// The same text as UTF-32, in the current arena: the one buffer the picture is painted into;
// `spelling`, when given, replaces every character of it at the end (ASCII pictures), and `words`
// then spells characters as words (ASCII's one-row form), a blank between a word and a letter.
[[nodiscard]] std::u32string_view write_utf32(const RenderNode& root, CharMap spelling = nullptr,
                                              Words words = nullptr);

// Renders `input` and appends its picture to `out`, unless the picture has more than `max_rows`
// rows: then nothing is painted or appended and the result is false. An error leaves `out` as it
// was.
// The LaTeX dialect's macros come from the options and from `document`, which also keeps what the
// formula defines at its top level for the formulas after it; its equation numbers follow the
// `numbers` given before it, and are counted there when the picture is appended.
[[nodiscard]] std::expected<bool, ParseError> append_picture(std::string& out,
                                                             std::string_view input,
                                                             Options options, std::size_t max_rows,
                                                             MacroTable* document = nullptr,
                                                             std::size_t* numbers = nullptr);

}  // namespace vok
