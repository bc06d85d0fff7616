// Large operators: the summation and integral signs in front of their bodies, drawn as tall as
// what they apply to.
//
// The exact markup draws ∑ three rows high, or as tall and half again as wide as a body of three
// rows or more, and ∫ three rows high, or as tall as a body of four rows or more. The LaTeX
// dialect centres a large operator's sign on its operand's baseline, as TeX centres it on the axis:
// the sign reaches as far above and below that row as the operand does, an odd number of rows,
// three at least; integrals are drawn from ⌠ ⎮ ⌡, the other signs from the glyph table.
#include <algorithm>

#include "arena.hpp"
#include "constructs.hpp"
#include "layout.hpp"

namespace vok {
namespace {

// ---- the summation sign ----

// The small summation sign: bars above and below, and its point in the middle row.
// clang-format off
constexpr char32_t kSmallSum[] = {
    U'━', U'━', U'┓',
    U'⟩', U' ', U' ',
    U'━', U'━', U'┛',
};
// The summation sign with no body, one blank column wider.
constexpr char32_t kSumAlone[] = {
    U'━', U'━', U'┓', U' ',
    U'❯', U' ', U' ', U' ',
    U'━', U'━', U'┛', U' ',
};
// clang-format on

// A summation sign `h` rows high (three or more) and `s` columns wide: bars top and bottom, and
// strokes that meet in the middle row (in a point when the height is odd).
void draw_tall_sum(Canvas& canvas, std::size_t x, std::size_t y, std::size_t h, std::size_t s) {
  canvas.across(x, y, s - 1, U'━');
  canvas.across(x, y + h - 1, s - 1, U'━');
  canvas.put(x + s - 1, y, U'┓');
  canvas.put(x + s - 1, y + h - 1, U'┛');
  const std::size_t middle = h / 2;
  for (std::size_t r = 1; r + 1 < h; ++r) {
    const char32_t stroke = r < middle ? U'╲' : r == middle && h % 2 == 1 ? U'⟩' : U'╱';
    canvas.put(x + std::min(r, h - 1 - r) - 1, y + r, stroke);
  }
}

struct Summation {  // the summation sign, before its body
  NodeRef body;
};

void paint(const Summation& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const RenderNode& body = *shape.body;
  const std::size_t h = body.height;
  if (h < 3) {
    // The small sign; the body hangs from its middle row when it is one row, else from its top.
    canvas.cells(x, y, kSmallSum, 3, 3);
    canvas.paint(body, x + 4, y + (h == 1 ? 1 : 0));
    return;
  }
  const std::size_t s = self.width - body.width - 1;
  draw_tall_sum(canvas, x, y, h, s);
  canvas.paint(body, x + s + 1, y);
}

Result<NodeRef> summation(NodeRef body) {
  if (body == nullptr) return RenderNode::picture(kSumAlone, 4, 3, 1);
  const std::size_t h = body->height;
  if (h < 3) return make_node(add_sat(body->width, 4), 3, 1, Summation{body});
  // A sign as tall as the body, half again as wide, then a blank column.
  const std::size_t s = mul_sat(h, 3) / 2;
  return make_node(add_sat(add_sat(s, 1), body->width), h, body->baseline, Summation{body});
}

// ---- the exact markup's integral sign ----

struct Integral {  // the three-row integral sign, before its body
  NodeRef body;
};

void paint(const Integral& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.column(x, y, 3, kHookPieces);
  canvas.paint(*shape.body, x + 2, y + (shape.body->height == 1 ? 1 : 0));
}

struct TallIntegral {  // the integral sign as tall as its body, in front of it
  NodeRef body;
};

void paint(const TallIntegral& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.body, x + 2, y);
  canvas.column(x, y, self.height, kHookPieces);
}

// ---- LaTeX's large operators ----

// The height and baseline of a sign before `body`, and the row the body starts on.
struct SignBox {
  std::size_t height, baseline, body_row;
};

SignBox sign_box(const RenderNode& body) {
  const std::size_t above = body.baseline, below = body.descent() > 0 ? body.descent() - 1 : 0;
  const std::size_t half = std::max({above, below, std::size_t{1}});
  return {add_sat(mul_sat(half, 2), 1), half, half - above};
}

struct Integrals {  // integral signs drawn from ⌠ ⎮ ⌡ before their operand
  NodeRef body;
  char32_t mark;  // drawn on the first sign's middle row (∮), or 0
  std::uint32_t count;
};

void paint(const Integrals& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  for (std::size_t i = 0; i < shape.count; ++i)
    canvas.column(x + i, y, self.height, kIntegralPieces);
  if (shape.mark != 0) canvas.put(x, y + self.height / 2, shape.mark);
  canvas.paint(*shape.body, x + shape.count + 1, y + sign_box(*shape.body).body_row);
}

// The width of a drawn large operator's sign of `height` rows: the summation sign's, three columns
// for those drawn from box pieces, one for the others, which stand as their own character on the
// middle row.
std::size_t sign_width(const OperatorSign& sign, std::size_t height) {
  switch (sign.drawing) {
    case SignDrawing::Summation:
      return height == 3 ? 3 : mul_sat(height, 3) / 2;
    case SignDrawing::Box:
      return sign.top.size();
    case SignDrawing::Own:
      break;
  }
  return 1;
}

struct BigOperator {  // a large operator's sign as tall as its operand, before it
  NodeRef body;
  char32_t sign;
};

void paint(const BigOperator& shape, const RenderNode& self, Canvas& canvas, std::size_t x,
           std::size_t y) {
  const std::size_t h = self.height, last = h - 1;
  const OperatorSign sign = operator_sign(shape.sign);
  switch (sign.drawing) {
    case SignDrawing::Summation:
      if (h == 3) {
        canvas.cells(x, y, kSmallSum, 3, 3);
      } else {
        draw_tall_sum(canvas, x, y, h, sign_width(sign, h));
      }
      break;
    case SignDrawing::Box:
      // Row by row: its top, its middle rows, its bottom, and a mark on the middle row.
      for (std::size_t r = 0; r < h; ++r) {
        const std::u32string_view line = r == 0 ? sign.top : r == last ? sign.bottom : sign.rows;
        for (std::size_t c = 0; c < line.size(); ++c) canvas.put(x + c, y + r, line[c]);
      }
      if (sign.mark != 0) canvas.put(x + 1, y + h / 2, sign.mark);
      break;
    case SignDrawing::Own:
      canvas.put(x, y + self.baseline, shape.sign);
      break;
  }
  canvas.paint(*shape.body, x + sign_width(sign, h) + 1, y + sign_box(*shape.body).body_row);
}

struct SignAlone {  // a sign drawn before a blank body, less the blank column between them
  NodeRef drawn;
};

void paint(const SignAlone& shape, const RenderNode&, Canvas& canvas, std::size_t x,
           std::size_t y) {
  canvas.paint(*shape.drawn, x, y);
}

// Argument i, or nullptr when the parser supplied fewer (a large operator with no operand).
NodeRef operand(std::span<const NodeRef> args) { return args.empty() ? nullptr : args.front(); }

}  // namespace

namespace construct {

Result<NodeRef> summation(const Definition&, std::span<const NodeRef> args,
                          std::span<const NodeRef>) {
  return vok::summation(operand(args));
}

Result<NodeRef> integral(const Definition&, std::span<const NodeRef> args,
                         std::span<const NodeRef>) {
  const NodeRef body = args.empty() ? RenderNode::empty() : args.front();
  if (body->height >= 4)
    return make_node(add_sat(body->width, 2), body->height, body->baseline, TallIntegral{body});
  return make_node(add_sat(body->width, 2), 3, 1, Integral{body});
}

Result<NodeRef> integrals(const Definition& def, std::span<const NodeRef> args,
                          std::span<const NodeRef>) {
  const auto [sign, count] = def.data<payload::Sign>();
  const NodeRef body = operand(args);
  if (body == nullptr) return RenderNode::single(sign);
  // ∫ ∬ ∭ ⨌ are plain signs, repeated; ∮ and the others mark their first sign.
  const bool plain = sign == U'∫' || count > 1;
  const SignBox box = sign_box(*body);
  return make_node(add_sat(add_sat(count, 1), body->width), box.height, box.baseline,
                   Integrals{body, plain ? U'\0' : sign, count});
}

Result<NodeRef> big_operator(const Definition& def, std::span<const NodeRef> args,
                             std::span<const NodeRef>) {
  const char32_t sign = def.data<payload::Sign>().sign;
  const NodeRef body = operand(args);
  if (body == nullptr) return RenderNode::single(sign);
  const SignBox box = sign_box(*body);
  return make_node(add_sat(add_sat(sign_width(operator_sign(sign), box.height), 1), body->width),
                   box.height, box.baseline, BigOperator{body, sign});
}

Result<NodeRef> sign_alone(const Definition& def, NodeRef body) {
  // The sign drawn before a blank as tall as the body and no wide: the sign and one blank column.
  auto blank = RenderNode::blank(0, body->height, body->baseline);
  if (!blank) return blank;
  auto drawn = def.construct(def, {&*blank, 1}, {});
  if (!drawn) return drawn;
  return make_node((*drawn)->width - 1, (*drawn)->height, (*drawn)->baseline, SignAlone{*drawn});
}

}  // namespace construct
}  // namespace vok
