// The one pipeline of a call. Each stage returns its result or the first error, which ends the
// call unchanged. The whole input is tokenized before anything else runs, so a lexical error is
// reported before any parsing.
#include "pipeline.hpp"

#include <algorithm>

#include "arena.hpp"
#include "dialect.hpp"
#include "linear.hpp"
#include "unicode.hpp"

namespace vok {

namespace {

// The picture painted, spelt and written in display columns.
std::u32string_view painted(const RenderNode& root, CharMap spelling) {
  const std::size_t stride = std::size_t{root.width} + 1;
  const std::size_t length = stride * root.height;
  if (length == 0) return U"";
  char32_t* text = current_arena().allocate_array<char32_t>(length);
  for (std::size_t r = 0; r < root.height; ++r) {
    std::fill_n(text + r * stride, root.width, U' ');
    text[r * stride + root.width] = U'\n';
  }
  MarkList marks;
  Canvas canvas(text, root.width, root.height, stride);
  canvas.keep_marks(&marks);
  canvas.paint(root, 0, 0);
  if (spelling != nullptr) {
    for (std::size_t i = 0; i < length; ++i) text[i] = spelling(text[i]);
    for (Mark& mark : marks.items()) mark.ch = spelling(mark.ch);
  }
  if (!canvas.columns_differ()) return {text, length};

  // Display columns: a wide character's second cell is written as nothing, and a mark right
  // after its cell's character.
  // Marks come in order, but for those of several rows painted side by side.
  const std::span<Mark> joined = marks.items();
  if (!std::ranges::is_sorted(joined, {}, &Mark::cell))
    std::ranges::stable_sort(joined, {}, &Mark::cell);
  std::size_t tails = 0;
  for (std::size_t i = 0; i < length; ++i) tails += text[i] == kWideTail;
  const std::size_t written = length - tails + joined.size();
  char32_t* out = current_arena().allocate_array<char32_t>(written);
  std::size_t at = 0, next = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] != kWideTail) out[at++] = text[i];
    for (; next < joined.size() && joined[next].cell == i; ++next) out[at++] = joined[next].ch;
  }
  return {out, written};
}

bool ascii_letter(char32_t ch) { return (ch >= U'a' && ch <= U'z') || (ch >= U'A' && ch <= U'Z'); }
bool ascii_digit(char32_t ch) { return ch >= U'0' && ch <= U'9'; }

// The text with every character that `words` spells spelt so; a word of two characters or more
// that starts with a letter is parted by a blank from a letter before it, and one that ends with a
// letter from a letter, a digit or such a word after it (pi r, alpha beta, 2pi, x floor(; df for
// ∂f).
std::u32string_view spelt(std::u32string_view text, Words words) {
  const auto starts_with_letter = [](std::string_view word) {
    return word.size() > 1 && ascii_letter(static_cast<unsigned char>(word.front()));
  };
  const auto ends_with_letter = [](std::string_view word) {
    return word.size() > 1 && ascii_letter(static_cast<unsigned char>(word.back()));
  };
  std::size_t length = 0;
  for (const char32_t ch : text) length += std::max<std::size_t>(words(ch).size() + 2, 1);
  char32_t* out = current_arena().allocate_array<char32_t>(length);
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view word = words(text[i]);
    if (word.empty()) {
      out[at++] = text[i];
      continue;
    }
    if (starts_with_letter(word) && at > 0 && ascii_letter(out[at - 1])) out[at++] = U' ';
    for (const char c : word) out[at++] = static_cast<unsigned char>(c);
    const char32_t next = i + 1 < text.size() ? text[i + 1] : U'\n';
    if (ends_with_letter(word) &&
        (ascii_letter(next) || ascii_digit(next) || starts_with_letter(words(next))))
      out[at++] = U' ';
  }
  return {out, at};
}

}  // namespace

std::u32string_view write_utf32(const RenderNode& root, CharMap spelling, Words words) {
  const std::u32string_view picture = painted(root, spelling);
  return words == nullptr ? picture : spelt(picture, words);
}

namespace {

// Appends the picture of `root` to `text` in UTF-8, encoded in one pass a block at a time.
void append_text(std::string& text, const RenderNode& root, CharMap spelling, Words words) {
  const std::u32string_view picture = write_utf32(root, spelling, words);
  constexpr std::size_t kBlock = 1024;
  char encoded[4 * kBlock];
  for (std::size_t at = 0; at < picture.size(); at += kBlock) {
    char* out = encoded;
    for (const char32_t ch : picture.substr(at, kBlock)) out = encode_utf8(ch, out);
    text.append(encoded, static_cast<std::size_t>(out - encoded));
  }
}

}  // namespace

std::string write_text(const RenderNode& root, CharMap spelling, Words words) {
  std::string text;
  append_text(text, root, spelling, words);
  return text;
}

namespace {

// What a call draws: its dialect's picture or one-row form, from ASCII when the options ask for
// it.
const Drawing& drawing_of(const DialectRules& rules, const Options& options) noexcept {
  if (options.linear) return options.ascii ? rules.linear_ascii : rules.linear;
  return options.ascii ? rules.ascii : rules.drawing;
}

// The words a drawing spells its finished text with, or null.
Words words_of(const Drawing& drawing) noexcept {
  return drawing.linear != nullptr ? drawing.linear->words : nullptr;
}

// Lexes, expands and parses `input` into a tree of the current arena. The tokens live in an arena
// of their own, whose chunks the call's arena takes back once the tree is made: the call's peak,
// when the picture is painted, holds no token. A formula whose macros were expanded is parsed from
// the text of its expansion, kept with the tree, and its errors name their places in `input`.
Result<Box> parse(std::string_view input, const DialectRules& rules, const MacroSource& macros,
                  std::size_t& numbers) {
  Arena& tree_arena = current_arena();
  Arena token_arena(tree_arena);
  const ArenaScope scope(token_arena);
  std::size_t definitions = 0;
  auto lexed = tokenize(input, *rules.lexer, &definitions);
  if (!lexed) return std::unexpected(std::move(lexed.error()));
  auto expanded = rules.expand(*lexed, definitions, input, *rules.lexer, macros);
  if (!expanded) return std::unexpected(std::move(expanded.error()));
  if (*expanded == nullptr) {
    const ArenaScope tree(tree_arena);
    // Tokens after the point where the expression ends are ignored.
    return rules.grammar(*lexed, input, *rules.vocabulary, numbers);
  }
  const Expansion& expansion = **expanded;
  char* kept = tree_arena.allocate_array<char>(expansion.text.size());
  std::ranges::copy(expansion.text, kept);
  const std::string_view text(kept, expansion.text.size());
  const ArenaScope tree(tree_arena);
  auto parsed = rules.grammar(expansion.tokens, text, *rules.vocabulary, numbers);
  if (!parsed) return std::unexpected(placed_in_input(std::move(parsed.error()), expansion, input));
  return parsed;
}

// Lexes, parses and measures `input` into a node of the current arena; in a document, `numbers`
// counts the equation numbers given before it, and then those it gives too.
Result<NodeRef> render_node(std::string_view input, const DialectRules& rules,
                            const Options& options, MacroTable* document = nullptr,
                            std::size_t* numbers = nullptr) {
  std::size_t none = 0;
  auto tree = parse(input, rules, {options.macros, options.definitions, document},
                    numbers ? *numbers : none);
  if (!tree) return std::unexpected(std::move(tree.error()));
  const Drawing& drawing = drawing_of(rules, options);
  if (rules.breaks_lines && options.width > 0 && !options.linear)
    return measure_lines(**tree, drawing, *rules.vocabulary, options.width);
  return measure(**tree, drawing, *rules.vocabulary);
}

}  // namespace

std::expected<std::string, ParseError> render(std::string_view input, Options options) {
  // Tokens, tree, nodes and picture all live in this arena and die together when the call returns.
  Arena arena;
  ArenaScope scope(arena);
  const DialectRules& rules = dialect_rules(options.dialect);
  auto root = render_node(input, rules, options);
  if (!root) return std::unexpected(std::move(root.error()));
  const Drawing& drawing = drawing_of(rules, options);
  return write_text(**root, drawing.spelling, words_of(drawing));
}

std::expected<bool, ParseError> append_picture(std::string& out, std::string_view input,
                                               Options options, std::size_t max_rows,
                                               MacroTable* document, std::size_t* numbers) {
  Arena arena;
  ArenaScope scope(arena);
  const DialectRules& rules = dialect_rules(options.dialect);
  std::size_t given = numbers != nullptr ? *numbers : 0;
  auto root = render_node(input, rules, options, document, &given);
  if (!root) return std::unexpected(std::move(root.error()));
  if ((*root)->height > max_rows) return false;
  if (numbers != nullptr) *numbers = given;  // the numbers of a picture drawn are taken
  const Drawing& drawing = drawing_of(rules, options);
  append_text(out, **root, drawing.spelling, words_of(drawing));
  return true;
}

std::expected<void, ParseError> render_utf32(std::string_view input, PictureSink sink,
                                             void* context, Options options) {
  Arena arena;
  ArenaScope scope(arena);
  const DialectRules& rules = dialect_rules(options.dialect);
  auto root = render_node(input, rules, options);
  if (!root) return std::unexpected(std::move(root.error()));
  const Drawing& drawing = drawing_of(rules, options);
  sink(write_utf32(**root, drawing.spelling, words_of(drawing)), context);
  return {};
}

}  // namespace vok
