// Glyphs: what a backslash command is. Each registered command has a glyph object that answers the
// parser's three questions (how many mandatory arguments, whether an optional [argument] may
// follow, whether its scripts are limits) and draws the command from its rendered arguments.
//
// Eleven kinds implement the one interface; they are small immutable values owned by the
// SymbolRegistry, which maps command names to them. The parser and the renderer never name a
// command: everything that differs between commands lives in a glyph's kind or its data.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ast.hpp"
#include "error.hpp"
#include "layout.hpp"

namespace vok {

// The per-call rendering context.
struct RenderCtx {
  std::size_t depth = 0;  // glyph render_macro calls in progress
};

// The callback through which a glyph renders its argument expressions: a non-owning reference to
// a callable taking (const Expr&, RenderCtx&) and returning Result<NodeRef>.
class RenderArg {
 public:
  template <class F>
  explicit RenderArg(F& callable) noexcept
      : object_(&callable), call_([](void* object, const Expr& expr, RenderCtx& ctx) {
          return (*static_cast<F*>(object))(expr, ctx);
        }) {}

  [[nodiscard]] Result<NodeRef> operator()(const Expr& expr, RenderCtx& ctx) const {
    return call_(object_, expr, ctx);
  }

 private:
  void* object_;
  Result<NodeRef> (*call_)(void*, const Expr&, RenderCtx&);
};

class Glyph {
 public:
  virtual ~Glyph() = default;

  // The kind's name and data, for debugging: FracGlyph, UnicodeGlyph('α').
  [[nodiscard]] virtual std::string describe() const = 0;
  // Mandatory arguments the parser reads after the name.
  [[nodiscard]] virtual std::size_t required_args() const noexcept = 0;
  // Whether one optional argument in square brackets may follow the name.
  [[nodiscard]] virtual bool has_optional() const noexcept = 0;
  // Whether the command is a big operator: no arguments after the name, its scripts become
  // limits, and a braced group after them becomes its argument.
  [[nodiscard]] virtual bool has_limits() const noexcept = 0;

  // Renders the mandatory arguments, then the optional one, through `render_arg` (the first error
  // ends the call), then draws. The same for every kind.
  [[nodiscard]] Result<NodeRef> render_macro(ExprList args, ExprList optional, RenderCtx& ctx,
                                             RenderArg render_arg) const;

  // The kind's node, composed from its measured arguments. Fails only when the picture is too
  // large.
  [[nodiscard]] virtual Result<NodeRef> render(std::span<const NodeRef> args,
                                               std::span<const NodeRef> optional,
                                               const RenderCtx& ctx) const = 0;
};

// A character map of a math alphabet: ASCII letters (and digits where the style has them) to
// styled letters; every other character unchanged. No styled letter is changed again by any map.
using AlphabetMap = CharMap;

[[nodiscard]] char32_t to_bold(char32_t ch) noexcept;
[[nodiscard]] char32_t to_italic(char32_t ch) noexcept;
[[nodiscard]] char32_t to_sans(char32_t ch) noexcept;
[[nodiscard]] char32_t to_bb(char32_t ch) noexcept;
[[nodiscard]] char32_t to_upright(char32_t ch) noexcept;

// ---- the eleven kinds ----

// The answers to the parser's questions, fixed per kind.
template <std::size_t Required, bool Optional, bool Limits>
class GlyphKind : public Glyph {
 public:
  [[nodiscard]] std::size_t required_args() const noexcept final { return Required; }
  [[nodiscard]] bool has_optional() const noexcept final { return Optional; }
  [[nodiscard]] bool has_limits() const noexcept final { return Limits; }
};

// Two entries stacked with a blank row between them, in tall parentheses.
class BinomGlyph final : public GlyphKind<2, false, false> {
 public:
  [[nodiscard]] std::string describe() const override { return "BinomGlyph"; }
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;
};

// Numerator over a rule exactly as wide as the wider operand, over denominator.
class FracGlyph final : public GlyphKind<2, false, false> {
 public:
  [[nodiscard]] std::string describe() const override { return "FracGlyph"; }
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;
};

// The radical sign over the body, with an optional index at its upper left.
class SqrtGlyph final : public GlyphKind<1, true, false> {
 public:
  [[nodiscard]] std::string describe() const override { return "SqrtGlyph"; }
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;
};

// The summation sign, three rows high or as tall as its body.
class SummationGlyph final : public GlyphKind<1, true, true> {
 public:
  [[nodiscard]] std::string describe() const override { return "SummationGlyph"; }
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;
};

// The integral sign, three rows high or as tall as its body.
class IntegralGlyph final : public GlyphKind<1, false, true> {
 public:
  [[nodiscard]] std::string describe() const override { return "IntegralGlyph"; }
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;
};

// The word "lim", whose scripts are limits.
class LimitGlyph final : public GlyphKind<0, false, true> {
 public:
  [[nodiscard]] std::string describe() const override { return "LimitGlyph"; }
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;
};

// The body between stretchy vertical bars.
class AbsGlyph final : public GlyphKind<1, false, false> {
 public:
  [[nodiscard]] std::string describe() const override { return "AbsGlyph"; }
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;
};

// A row holding `mark` above the body: centred, or across its whole width with `stretch`.
class AccentGlyph final : public GlyphKind<1, false, false> {
 public:
  AccentGlyph(char32_t mark, bool stretch) noexcept : mark_(mark), stretch_(stretch) {}
  [[nodiscard]] std::string describe() const override;
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;

 private:
  char32_t mark_;
  bool stretch_;
};

// The body with every cell passed through a math alphabet.
class AlphabetGlyph final : public GlyphKind<1, false, false> {
 public:
  explicit AlphabetGlyph(AlphabetMap map) noexcept : map_(map) {}
  [[nodiscard]] std::string describe() const override;
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;

 private:
  AlphabetMap map_;
};

// One character.
class UnicodeGlyph final : public GlyphKind<0, false, false> {
 public:
  explicit UnicodeGlyph(char32_t ch) noexcept : ch_(ch) {}
  [[nodiscard]] std::string describe() const override;
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;

 private:
  char32_t ch_;
};

// A fixed text on one row, such as a function name.
class TextGlyph final : public GlyphKind<0, false, false> {
 public:
  explicit TextGlyph(std::string_view text) noexcept : text_(text) {}  // text outlives the glyph
  [[nodiscard]] std::string describe() const override;
  [[nodiscard]] Result<NodeRef> render(std::span<const NodeRef> args,
                                       std::span<const NodeRef> optional,
                                       const RenderCtx& ctx) const override;

 private:
  std::string_view text_;
};

// ---- the registry ----

// Command names (without the backslash, case-sensitive) to their glyphs: an open-addressing
// table with a short hash of the name, since lookups happen for every command of every formula.
class SymbolRegistry {
 public:
  SymbolRegistry();
  // Adds or replaces the glyph of `name`; a replaced glyph is destroyed.
  void register_glyph(std::string_view name, std::unique_ptr<Glyph> glyph);
  // The glyph of `name`, or nullptr.
  [[nodiscard]] const Glyph* get(std::string_view name) const noexcept;
  [[nodiscard]] std::size_t size() const noexcept { return size_; }

 private:
  struct Slot {
    std::string name;
    std::unique_ptr<Glyph> glyph;  // null: the slot is free
    std::size_t hash = 0;
  };
  // The slot holding `name`, or the free slot where it would go.
  [[nodiscard]] std::size_t find(std::string_view name, std::size_t hash) const noexcept;
  void grow();

  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::size_t size_ = 0;
};

}  // namespace vok
