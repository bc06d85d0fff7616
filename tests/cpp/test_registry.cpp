// The registry, the glyphs' answers to the parser, render_macro's order, and the context depth.
#include <vector>

#include "check.hpp"
#include "parser.hpp"
#include "registry.hpp"
#include "render.hpp"

namespace vok::test {
namespace {

struct Answers {
  std::string_view name;
  std::string_view kind;
  std::size_t required;
  bool optional;
  bool limits;
};

// One name of each kind (both bar names), with what the parser asks.
const Answers kAnswers[] = {
    {"binom", "BinomGlyph", 2, false, false},
    {"frac", "FracGlyph", 2, false, false},
    {"sqrt", "SqrtGlyph", 1, true, false},
    {"sum", "SummationGlyph", 1, true, true},
    {"int", "IntegralGlyph", 1, false, true},
    {"lim", "LimitGlyph", 0, false, true},
    {"abs", "AbsGlyph", 1, false, false},
    {"|", "AbsGlyph", 1, false, false},
    {"hat", "AccentGlyph { mark: '^', stretch: false }", 1, false, false},
    {"overline", "AccentGlyph { mark: '─', stretch: true }", 1, false, false},
    {"alpha", "UnicodeGlyph('α')", 0, false, false},
    {"prod", "UnicodeGlyph('∏')", 0, false, false},
    {"quad", "UnicodeGlyph(' ')", 0, false, false},
    {"sin", "TextGlyph(\"sin\")", 0, false, false},
    {"Pr", "TextGlyph(\"Pr\")", 0, false, false},
};

// A glyph that records the depth it is drawn at and counts its destructions.
class Probe final : public GlyphKind<1, false, false> {
 public:
  Probe(std::vector<std::size_t>& depths, int& destroyed)
      : depths_(depths), destroyed_(destroyed) {}
  ~Probe() override { ++destroyed_; }
  std::string describe() const override { return "Probe"; }
  Result<NodeRef> render(std::span<const NodeRef> args, std::span<const NodeRef>,
                         const RenderCtx& ctx) const override {
    depths_.push_back(ctx.depth);
    return args.empty() ? RenderNode::empty() : args.front();
  }

 private:
  std::vector<std::size_t>& depths_;
  int& destroyed_;
};

void table(Suite& s) {
  const SymbolRegistry& symbols = registry();
  s.eq(symbols.size(), std::size_t{148}, "distinct names");
  for (const Answers& a : kAnswers) {
    const Glyph* glyph = symbols.get(a.name);
    s.ok(glyph != nullptr, a.name);
    if (glyph == nullptr) continue;
    s.eq(glyph->describe(), a.kind, a.name);
    s.eq(glyph->required_args(), a.required, a.name);
    s.eq(glyph->has_optional(), a.optional, a.name);
    s.eq(glyph->has_limits(), a.limits, a.name);
  }
  // Lookup is exact and case-sensitive.
  s.ok(symbols.get("Gamma") != symbols.get("gamma"), "Gamma and gamma differ");
  for (std::string_view absent : {"Alpha", "pr", "lim ", "", "\\alpha", "left", "begin", "mathcal"})
    s.ok(symbols.get(absent) == nullptr, absent);
  s.eq(symbols.get("rightarrow")->describe(), "UnicodeGlyph('→')");
  s.eq(symbols.get("Rightarrow")->describe(), "UnicodeGlyph('⇒')");
  s.eq(symbols.get("sigma")->describe(), "UnicodeGlyph('σ')");
  s.ok(symbols.get("mathbb")->describe().starts_with("AlphabetGlyph(0x"), "alphabet shows its map");
  // The process-wide registry is one object.
  s.ok(&registry() == &symbols, "built once");
}

void replacement(Suite& s) {
  std::vector<std::size_t> depths;
  int destroyed = 0;
  {
    SymbolRegistry symbols;
    symbols.register_glyph("probe", std::make_unique<Probe>(depths, destroyed));
    symbols.register_glyph("probe", std::make_unique<FracGlyph>());
    s.eq(destroyed, 1, "the replaced glyph is destroyed at once");
    s.eq(symbols.size(), std::size_t{1});
    s.eq(symbols.get("probe")->describe(), "FracGlyph", "the later glyph wins");
  }
  s.eq(destroyed, 1, "destroyed exactly once");
}

// render_macro renders the mandatory arguments, then the optional one, and stops at the first
// error.
void macro_order(Suite& s) {
  std::string seen;
  auto record = [&](const Expr& expr, RenderCtx&) -> Result<NodeRef> {
    const std::string_view text = std::get<Symbol>(expr).text;
    seen += text;
    if (text == "!") return fail("bad argument");
    return RenderNode::row(text);
  };
  RenderCtx ctx;
  const Expr a = Symbol{"a"}, b = Symbol{"b"}, o = Symbol{"o"}, bad = Symbol{"!"};
  const Box args[] = {&a, &b};
  const Box optional[] = {&o};
  auto block = SqrtGlyph().render_macro(args, optional, ctx, RenderArg(record));
  s.eq(seen, "abo", "mandatory first, then optional");
  s.ok(block.has_value(), "renders");

  seen.clear();
  const Box failing[] = {&bad, &b};
  block = FracGlyph().render_macro(failing, optional, ctx, RenderArg(record));
  s.eq(seen, "!", "nothing after the first error");
  s.eq(block ? std::string("no error") : block.error().message, "bad argument");
}

// Every glyph drawn through the renderer sees the glyph calls in progress, itself included.
void depth(Suite& s) {
  std::vector<std::size_t> depths;
  int destroyed = 0;
  SymbolRegistry symbols;
  symbols.register_glyph("probe", std::make_unique<Probe>(depths, destroyed));
  const std::string input = "\\probe{\\probe{\\probe{x}}} \\probe{y}";
  auto tokens = tokenize(input);
  auto tree = parse(*tokens, input, symbols);
  RenderCtx ctx;
  auto block = render(**tree, symbols, ctx);
  s.ok(block.has_value(), "renders");
  s.eq(depths.size(), std::size_t{4});
  if (depths.size() == 4) {
    s.eq(depths[0], std::size_t{3}, "innermost drawn first");
    s.eq(depths[1], std::size_t{2});
    s.eq(depths[2], std::size_t{1});
    s.eq(depths[3], std::size_t{1}, "a sibling at top level");
  }
  s.eq(ctx.depth, std::size_t{0}, "restored after success");

  const std::string failing = "\\probe{\\probe{\\begin{matrix} a \\\\ b & c \\end{matrix}}}";
  auto failing_tokens = tokenize(failing);
  auto failing_tree = parse(*failing_tokens, failing, symbols);
  RenderCtx failing_ctx;
  auto error = render(**failing_tree, symbols, failing_ctx);
  s.eq(error ? std::string("no error") : error.error().message,
       "matrix rows have different lengths");
  s.eq(failing_ctx.depth, std::size_t{0}, "restored after an error");
}

// The canvas keeps each map in force once, innermost, which is sound only because no map changes
// a character that some map has already changed.
void alphabets(Suite& s) {
  const AlphabetMap maps[] = {to_bold, to_italic, to_sans, to_bb, to_upright};
  std::size_t changed = 0, restyled = 0;
  for (const AlphabetMap map : maps) {
    for (char32_t c = 0; c < 0x20000; ++c) {
      const char32_t styled = map(c);
      if (styled == c) continue;
      ++changed;
      for (const AlphabetMap other : maps) restyled += other(styled) != styled;
    }
  }
  s.eq(changed, std::size_t{52 * 4 + 10 * 3}, "letters in four styles, digits in three");
  s.eq(restyled, std::size_t{0}, "no styled character is styled again");
}

}  // namespace

void registry_first_use_tests(Suite& s) {
  // A lexical error ends the call before the registry is needed.
  s.ok(!registry_built(), "nothing has built the registry yet");
  auto picture = vok::render("\\frac{a}{b} $");
  s.eq(picture ? std::string("no error") : picture.error().message, "Invalid token at byte 12");
  s.ok(!registry_built(), "still unbuilt after a lexical error");
  picture = vok::render("x");
  s.ok(registry_built(), "built by the first call that parses");
}

void registry_tests(Suite& s) {
  table(s);
  replacement(s);
  macro_order(s);
  depth(s);
  alphabets(s);
}

}  // namespace vok::test
