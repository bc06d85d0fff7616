// The one pipeline of a call. Each stage returns its result or the first error, which ends the
// call unchanged. The whole input is tokenized before anything else runs, so a lexical error is
// reported without touching the registry.
#include "pipeline.hpp"

#include "parser.hpp"
#include "registry.hpp"
#include "render.hpp"
#include "token.hpp"
#include "unicode.hpp"

namespace vok {

std::string write_text(const RenderNode& block) {
  std::size_t bytes = block.height;  // the line feeds
  for (char32_t ch : block.cells) bytes += utf8_length(ch);
  std::string text(bytes, '\0');
  char* out = text.data();
  const char32_t* cell = block.cells.data();
  for (std::size_t r = 0; r < block.height; ++r) {
    for (std::size_t c = 0; c < block.width; ++c) out = encode_utf8(*cell++, out);
    *out++ = '\n';
  }
  return text;
}

std::expected<std::string, ParseError> render(std::string_view input) {
  auto tokens = tokenize(input);
  if (!tokens) return std::unexpected(std::move(tokens.error()));
  const SymbolRegistry& symbols = registry();
  // Tokens after the point where the expression ends are ignored.
  auto tree = Parser(*tokens, input, symbols).parse_expr();
  if (!tree) return std::unexpected(std::move(tree.error()));
  RenderCtx ctx;
  auto block = render(*tree, symbols, ctx);
  if (!block) return std::unexpected(std::move(block.error()));
  return write_text(*block);
}

}  // namespace vok
