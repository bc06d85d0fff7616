// The one pipeline of a call. Each stage returns its result or the first error, which ends the
// call unchanged. The whole input is tokenized before anything else runs, so a lexical error is
// reported without touching the registry.
#include "pipeline.hpp"

#include <algorithm>

#include "arena.hpp"
#include "parser.hpp"
#include "registry.hpp"
#include "render.hpp"
#include "token.hpp"
#include "unicode.hpp"

namespace vok {

std::string write_text(const RenderNode& block) {
  std::size_t bytes = block.height;  // the line feeds
  for (char32_t ch : block.cell_span()) bytes += utf8_length(ch);
  std::string text;
  text.resize_and_overwrite(bytes, [&](char* out, std::size_t) {
    const char32_t* cell = block.cells;
    for (std::size_t r = 0; r < block.height; ++r) {
      for (std::size_t c = 0; c < block.width; ++c) out = encode_utf8(*cell++, out);
      *out++ = '\n';
    }
    return bytes;
  });
  return text;
}

std::u32string_view write_utf32(const RenderNode& block) {
  const std::size_t length = (block.width + 1) * block.height;
  if (length == 0) return U"";
  char32_t* text = current_arena().allocate_array<char32_t>(length);
  char32_t* out = text;
  for (std::size_t r = 0; r < block.height; ++r) {
    out = std::copy_n(block.cells + r * block.width, block.width, out);
    *out++ = U'\n';
  }
  return {text, length};
}

namespace {

// Lexes, parses and renders `input` into a block of the current arena.
Result<RenderNode> render_block(std::string_view input) {
  auto tokens = tokenize(input);
  if (!tokens) return std::unexpected(std::move(tokens.error()));
  const SymbolRegistry& symbols = registry();
  // Tokens after the point where the expression ends are ignored.
  auto tree = Parser(*tokens, input, symbols).parse_expr();
  if (!tree) return std::unexpected(std::move(tree.error()));
  RenderCtx ctx;
  return render(**tree, symbols, ctx);
}

}  // namespace

std::expected<std::string, ParseError> render(std::string_view input) {
  // Tokens, tree and blocks all live in this arena and die together when the call returns.
  Arena arena;
  ArenaScope scope(arena);
  auto block = render_block(input);
  if (!block) return std::unexpected(std::move(block.error()));
  return write_text(*block);
}

std::expected<void, ParseError> render_utf32(std::string_view input, PictureSink sink,
                                             void* context) {
  Arena arena;
  ArenaScope scope(arena);
  auto block = render_block(input);
  if (!block) return std::unexpected(std::move(block.error()));
  sink(write_utf32(*block), context);
  return {};
}

}  // namespace vok
