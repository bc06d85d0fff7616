// A formula's one-row form: the compositions a picture sets on several rows, written on one row
// as people write math in plain text, every other composition as the picture's.
//
// Each composition takes the picture's when that is one row (it is tried unless the construct
// surely draws more), so a formula whose picture is one row has that row as its one-row form (x²,
// (a  b), α ≤ β). Otherwise:
//   fractions      a/b, ½ where Unicode has the character; (a + b)/2 and 1/(2a): an operand of
//                  more than one atom in parentheses, a fraction among factors too: (1/11) m
//   scripts        e^(iπ), a_(bc): a script in script characters when the picture has it so,
//                  else after ^ or _, in parentheses unless it is one atom; a fraction or a
//                  script as the base in parentheses, (a/b)²
//   limits         ∑ᵢ₌₁ⁿ i, lim_(x→0) f: the limits as scripts of the sign, then the operand
//   roots          √x, √(x + 1), ∛x, ⁿ√x, and x^(1/(k + 1)) for an index with no script form
//   accents        x̄, v⃗ over one letter (a combining mark), hat(xy) over more
//   stacks         C(n, k) for a binomial, (a; b) for the others; \overset and \xrightarrow as
//                  scripts: =ᵈᵉᶠ, →^(f ∘ g)
//   tables         the rows separated by "; ", the cells by the table's blank columns, between
//                  the table's delimiters: (a  b; c  d)
//   frames         the content alone; sized delimiters one row high
// A script or a root that ends in an unbracketed atom (x^α, √x) is followed by a blank before a
// factor that touches it, which would seem to belong to it. Punctuation, and a full stop that
// ends the formula, touch a fraction as they touch any atom: a/b, y and a/b. (TeX parts them by
// the thin space of a fraction set on rows of its own).
//
// Which parentheses an operand needs is in the Binding of its node (layout.hpp): the leaves and
// bracketed nodes are atoms, the compositions here say what they make, and everything else is
// loose, so an operand gets parentheses unless it surely needs none.
#include "linear.hpp"

#include <algorithm>
#include <array>

#include "arena.hpp"
#include "constructs.hpp"
#include "unicode.hpp"

namespace vok {
namespace {

NodeRef arg(std::span<const NodeRef> args, std::size_t i) {
  return i < args.size() ? args[i] : RenderNode::empty();
}

// A short text of the form's own (a row of a constant).
NodeRef text(std::string_view utf8) { return *RenderNode::row(utf8); }
// Blank columns on no row of their own, the narrow ones shared.
constexpr std::array<RenderNode, 3> kBlanks{{{.width = 0}, {.width = 1}, {.width = 2}}};
NodeRef blank(std::size_t columns) {
  return columns < kBlanks.size() ? &kBlanks[columns] : *RenderNode::blank(columns, 0, 0);
}

struct Flat {  // a node of one row or none, its baseline moved onto that row
  NodeRef inner;
};

void paint(const Flat& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.inner, x, y);
}

[[gnu::noinline]] bool flattened(Result<NodeRef>& node) {
  auto flat = make_node((*node)->width, (*node)->height, 0, Flat{*node});
  if (flat) (*flat)->binding = (*node)->binding;
  node = flat;
  return true;
}

// Whether the picture's own node will do: one row (or none). A baseline past that row (scripts
// raised over an empty base) is moved onto it, so that the row stays one beside the others.
inline bool one_row(Result<NodeRef>& node) {
  if (!node) return true;
  if ((*node)->height > 1) return false;
  return (*node)->baseline == 0 || flattened(node);
}

// A node in parentheses: an atom.
Result<NodeRef> bracketed(NodeRef node) { return RenderNode::fence(node, U'(', U')'); }

// One piece of a composition's row: a node, or a character of the form's own.
struct Piece {
  NodeRef node;  // null for a character
  char32_t ch;
};

struct Line {  // the pieces of one composition side by side on its one row
  const Piece* pieces;
  std::size_t count;
};

void paint(const Line& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  for (std::size_t i = 0; i < shape.count; ++i) {
    const Piece& piece = shape.pieces[i];
    if (piece.node == nullptr) {
      canvas.put(x++, y, piece.ch);
    } else {
      canvas.paint(*piece.node, x, y);
      x += piece.node->width;
    }
  }
}

// The pieces of one composition, in one node: its characters are drawn by the node itself.
class Pieces {
 public:
  Pieces() noexcept {}  // the pieces are written before they are read: none is cleared
  Pieces& add(NodeRef node) {
    pieces_[count_++] = {node, 0};
    width_ += node->width;
    return *this;
  }
  // A text of the form's own: ASCII, or one character of one column (√).
  Pieces& text(std::string_view utf8) {
    if (utf8.size() > 2) {
      const Decoded one = decode_utf8(utf8, 0);
      if (one.length == utf8.size()) return sign(one.ch);
      return add(vok::text(utf8));
    }
    for (const char c : utf8) pieces_[count_++] = {nullptr, static_cast<unsigned char>(c)};
    width_ += utf8.size();
    return *this;
  }
  Pieces& sign(char32_t ch) {
    pieces_[count_++] = {nullptr, ch};
    ++width_;
    return *this;
  }
  // A node in parentheses unless it is one atom (or a tail, when `tails` may stand bare).
  Pieces& operand(NodeRef node, bool tails = false) {
    const Binding binding = node->bound();
    if (binding == Binding::Atom || (tails && binding == Binding::Tail)) return add(node);
    bracketed_ = true;
    return text("(").add(node).text(")");
  }
  // Whether the last operand was put in parentheses.
  [[nodiscard]] bool bracketed() const { return bracketed_; }
  // Every piece is one row: the node is one row (none when it is empty).
  Result<NodeRef> done(Binding binding) const {
    Piece* pieces = current_arena().allocate_array<Piece>(count_);
    std::copy_n(pieces_, count_, pieces);
    auto node = make_node(width_, width_ > 0 ? 1 : 0, 0, Line{pieces, count_});
    if (node) (*node)->binding = binding;
    return node;
  }

 private:
  Piece pieces_[12];  // the first count_ of them
  std::size_t count_ = 0;
  std::size_t width_ = 0;
  bool bracketed_ = false;
};

// The characters of a one-row node of at most four cells (empty for any other).
struct Small {
  char32_t cells[4] = {};
  std::size_t size = 0;

  explicit Small(const RenderNode& node) {
    if (node.height != 1 || node.width == 0 || node.width > 4) return;
    std::ranges::fill(cells, U' ');
    Canvas canvas(cells, node.width, 1, 4);
    canvas.paint(node, 0, 0);
    size = node.width;
  }
  [[nodiscard]] std::u32string_view view() const { return {cells, size}; }
};

// ---- fractions ----

struct Vulgar {
  char32_t top;
  std::u32string_view bottom;
  char32_t ch;
};

constexpr Vulgar kVulgarFractions[] = {
    {U'1', U"2", U'½'}, {U'1', U"3", U'⅓'},  {U'2', U"3", U'⅔'}, {U'1', U"4", U'¼'},
    {U'3', U"4", U'¾'}, {U'1', U"5", U'⅕'},  {U'2', U"5", U'⅖'}, {U'3', U"5", U'⅗'},
    {U'4', U"5", U'⅘'}, {U'1', U"6", U'⅙'},  {U'5', U"6", U'⅚'}, {U'1', U"7", U'⅐'},
    {U'1', U"8", U'⅛'}, {U'3', U"8", U'⅜'},  {U'5', U"8", U'⅝'}, {U'7', U"8", U'⅞'},
    {U'1', U"9", U'⅑'}, {U'1', U"10", U'⅒'},
};

// The vulgar fraction character of a digit over a one-row node, or 0.
char32_t vulgar_fraction(char32_t top, const RenderNode& bottom) {
  if (top < U'1' || top > U'7' || bottom.width == 0 || bottom.width > 2) return 0;
  // A digit is a shared node of its own; a number of two is read from its cells.
  const char32_t digit = RenderNode::ascii_of(&bottom);
  const Small cells(digit != 0 ? *RenderNode::empty() : bottom);
  const std::u32string_view under = digit != 0 ? std::u32string_view(&digit, 1) : cells.view();
  for (const Vulgar& vulgar : kVulgarFractions)
    if (vulgar.top == top && vulgar.bottom == under) return vulgar.ch;
  return 0;
}

Result<NodeRef> fraction_of(NodeRef top, NodeRef bottom, const LinearStyle& style) {
  if (style.vulgar_fractions) {
    if (const char32_t vulgar = vulgar_fraction(RenderNode::ascii_of(top), *bottom); vulgar != 0)
      return RenderNode::single(vulgar);
  }
  // A script binds closer than the slash: x²/2, e^x/2.
  return Pieces().operand(top, true).text("/").operand(bottom, true).done(Binding::Slash);
}

Result<NodeRef> fraction(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>,
                         const Drawing& drawing) {
  return fraction_of(arg(args, 0), arg(args, 1), *drawing.linear);
}

// A stack with delimiters of its own: its fraction, or its rows in parentheses, between them.
Result<NodeRef> fraction_in(const Definition& def, std::span<const NodeRef> args,
                            std::span<const NodeRef>, const Drawing& drawing) {
  const auto [open, close, rule] = def.data<payload::Fraction>();
  auto inner = rule ? fraction_of(arg(args, 0), arg(args, 1), *drawing.linear)
                    : Pieces().add(arg(args, 0)).text("; ").add(arg(args, 1)).done(Binding::Loose);
  if (!inner || (open == 0 && close == 0 && rule)) return inner;
  if (open == 0 && close == 0) return RenderNode::fence(*inner, U'(', U')');
  return RenderNode::fence(*inner, open, close);
}

// A binomial as C(n, k); the other stacks as their rows, between their delimiters.
Result<NodeRef> stacked(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef>, const Drawing&) {
  const char32_t open = std::get_if<payload::Enclosure>(&def.payload) != nullptr
                            ? def.data<payload::Enclosure>().open
                            : U'(';
  if (open == U'(')
    return Pieces()
        .text("C(")
        .add(arg(args, 0))
        .text(", ")
        .add(arg(args, 1))
        .text(")")
        .done(Binding::Atom);
  auto rows = Pieces().add(arg(args, 0)).text("; ").add(arg(args, 1)).done(Binding::Loose);
  if (!rows) return rows;
  return RenderNode::fence(*rows, open == 0 ? U'(' : open,
                           open == 0 ? U')' : closing_partner(open));
}

// ---- scripts and limits ----

// The scripts after ^ and _, each in parentheses unless it is one atom: a tail, which binds
// closer than a slash and is parted from a factor that touches it.
Result<NodeRef> written_scripts(NodeRef base, NodeRef sub, NodeRef sup, bool sup_first) {
  Pieces pieces;
  pieces.add(base);
  for (const NodeRef script : sup_first ? std::array{sup, sub} : std::array{sub, sup})
    if (script != nullptr && script->width > 0)  // an empty script writes nothing
      pieces.text(script == sup ? "^" : "_").operand(script);
  return pieces.done(Binding::Tail);
}

// Scripts in script characters as the picture has them, else written; raised over nothing (a
// prescript, {}^{14}C) written unless in script characters or alone in their list, where the
// picture is that one row too.
Result<NodeRef> scripts(NodeRef base, NodeRef sub, NodeRef sup, ScriptPlace place,
                        const Drawing& drawing) {
  if (base->bound() == Binding::Slash || base->bound() == Binding::Tail) {
    auto kept = bracketed(base);
    if (!kept) return kept;
    base = *kept;
  }
  auto drawn = kPictureComposer.scripts(base, sub, sup, place, drawing);
  const bool beside = base->width > 0 || place.alone || (drawn && (*drawn)->baseline == 0);
  if (beside && one_row(drawn)) return drawn;
  return written_scripts(base, sub, sup, place.sup_first);
}

// The sign, then its operand a blank away.
Result<NodeRef> with_operand(Result<NodeRef> sign, std::span<const NodeRef> args) {
  if (!sign || args.empty() || args.front()->width == 0) return sign;
  return Pieces().add(*sign).text(" ").add(args.front()).done(Binding::Loose);
}

// In ASCII a large operator is its name (sum, coprod, oint).
Result<NodeRef> big_operator(const Definition& def, std::span<const NodeRef> args,
                             std::span<const NodeRef>, const Drawing& drawing) {
  const char32_t sign = def.data<payload::Sign>().sign;
  return with_operand(drawing.linear->words != nullptr ? text(def.name) : RenderNode::single(sign),
                      args);
}

// The exact markup's summation and integral, which draw their own signs.
Result<NodeRef> summation(const Definition&, std::span<const NodeRef> args,
                          std::span<const NodeRef>, const Drawing&) {
  return with_operand(RenderNode::single(U'∑'), args);
}
Result<NodeRef> integral(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>,
                         const Drawing&) {
  return with_operand(RenderNode::single(U'∫'), args);
}

using Form = Result<NodeRef> (*)(const Definition&, std::span<const NodeRef>,
                                 std::span<const NodeRef>, const Drawing&);

// The one-row form of a row's construct.
Form form_of(const Definition& def);
Result<NodeRef> command(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef> optional, const Drawing& drawing);

// Limits as scripts of the sign (of the command itself when it gathers no operand), then the
// operand a blank away, which a blank parts from what follows, as the picture's limits do.
Result<NodeRef> limits(const Operator& op, NodeRef lower, NodeRef upper, const Drawing& drawing) {
  NodeRef drawn = nullptr;  // the command's own one-row form, once made
  // Limits with rows of their own are surely set on rows of their own.
  if ((lower == nullptr || lower->height == 0) && (upper == nullptr || upper->height == 0)) {
    auto own = command(op.def, op.args, op.optional, drawing);
    if (!own) return own;
    drawn = *own;
    auto set = set_limits(drawn, op.def, lower, upper, drawing);
    if (one_row(set)) return set;
  }
  Result<NodeRef> sign = drawn;
  if (op.def.takes('b')) {
    sign = form_of(op.def)(op.def, {}, op.optional, drawing);
  } else if (drawn == nullptr) {
    sign = command(op.def, op.args, op.optional, drawing);
  }
  if (!sign) return sign;
  auto scripted = scripts(*sign, lower, upper, {}, drawing);
  // Only a large operator's body is an operand; a brace's content is in its own form already.
  if (!scripted || !op.def.takes('b') || op.args.empty() || op.args.front()->width == 0)
    return scripted;
  return Pieces().add(*scripted).text(" ").add(op.args.front()).done(Binding::Tail);
}

// \overset, \underset and the long arrows: their labels as scripts.
Result<NodeRef> over_set(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>,
                         const Drawing& drawing) {
  return scripts(arg(args, 1), nullptr, arg(args, 0), {}, drawing);
}
Result<NodeRef> under_set(const Definition&, std::span<const NodeRef> args,
                          std::span<const NodeRef>, const Drawing& drawing) {
  return scripts(arg(args, 1), arg(args, 0), nullptr, {}, drawing);
}
Result<NodeRef> long_arrow(const Definition& def, std::span<const NodeRef> args,
                           std::span<const NodeRef> optional, const Drawing& drawing) {
  auto arrow = RenderNode::single(def.data<payload::Mark>().mark);
  if (!arrow) return arrow;
  const NodeRef above = arg(args, 0), below = arg(optional, 0);
  if (above->width == 0 && below->width == 0) return arrow;
  return scripts(*arrow, below->width == 0 ? nullptr : below, above->width == 0 ? nullptr : above,
                 {}, drawing);
}

// A diagram's arrow down or up: its mark, the labels at its left and right as its scripts.
Result<NodeRef> vertical_arrow(const Definition& def, std::span<const NodeRef> args,
                               std::span<const NodeRef>, const Drawing& drawing) {
  auto arrow = RenderNode::single(def.data<payload::Mark>().mark);
  const NodeRef left = arg(args, 0), right = arg(args, 1);
  if (!arrow || (left->width == 0 && right->width == 0)) return arrow;
  return scripts(*arrow, right->width == 0 ? nullptr : right, left->width == 0 ? nullptr : left, {},
                 drawing);
}

// ---- roots ----

Result<NodeRef> root(const Definition&, std::span<const NodeRef> args,
                     std::span<const NodeRef> optional, const Drawing& drawing) {
  const LinearStyle& style = *drawing.linear;
  const NodeRef body = arg(args, 0);
  Pieces pieces;
  if (!optional.empty() && optional.front()->width > 0) {
    const NodeRef index = optional.front();
    const char32_t digit = RenderNode::ascii_of(index);
    if (style.root_signs && (digit == U'3' || digit == U'4')) {
      pieces.sign(digit == U'3' ? U'∛' : U'∜');
    } else if (!style.root_brackets && index->height == 1 &&
               Canvas::converts_whole_row(*index, drawing.scripts.superscripts)) {
      auto raised = RenderNode::styled(index, drawing.scripts.superscripts);
      if (!raised) return raised;
      pieces.add(*raised).text(style.root);
    } else {
      // No root sign says this index: the power 1/index says it.
      return Pieces().operand(body).text("^(").text("1/").operand(index).text(")").done(
          Binding::Atom);
    }
  } else {
    pieces.text(style.root);
  }
  if (style.root_brackets) {
    pieces.text("(").add(body).text(")");
  } else {
    pieces.operand(body);
  }
  return pieces.done(style.root_brackets || pieces.bracketed() ? Binding::Atom : Binding::Tail);
}

// ---- accents and other marks ----

struct Joined {  // one letter with a combining mark
  NodeRef letter;
  char32_t mark;
};

void paint(const Joined& shape, const RenderNode&, Canvas& canvas, std::size_t x, std::size_t y) {
  canvas.paint(*shape.letter, x, y);
  canvas.join(x, y, shape.mark);
}

// The mark combined with one letter; over more, the accent's name and its content in
// parentheses: hat(xy).
Result<NodeRef> accent(const Definition& def, std::span<const NodeRef> args,
                       std::span<const NodeRef>, const Drawing& drawing) {
  const NodeRef body = arg(args, 0);
  const payload::Mark& mark = def.data<payload::Mark>();
  const char32_t combining =
      drawing.linear->combining ? combining_mark(mark.mark, mark.below) : U'\0';
  if (combining != 0 && body->width == 1 && body->height == 1) {
    auto node = make_node(1, 1, 0, Joined{body, combining});
    if (node) (*node)->binding = Binding::Atom;
    return node;
  }
  return Pieces().text(def.name).text("(").add(body).text(")").done(Binding::Atom);
}

Result<NodeRef> boxed(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>,
                      const Drawing&) {
  return arg(args, 0);
}

Result<NodeRef> angle(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>,
                      const Drawing&) {
  return Pieces().operand(arg(args, 0)).sign(U'⌉').done(Binding::Atom);
}

// A phase: the angle sign before it, as a phasor is written (230V∠30°).
Result<NodeRef> phase(const Definition&, std::span<const NodeRef> args, std::span<const NodeRef>,
                      const Drawing&) {
  return Pieces().sign(U'∠').operand(arg(args, 0)).done(Binding::Tail);
}

// A block one row high.
Result<NodeRef> solid(const Definition& def, std::span<const NodeRef> args,
                      std::span<const NodeRef> optional, const Drawing&) {
  Definition* one_row = current_arena().make<Definition>(def);
  std::get<payload::Size>(one_row->payload).rows = 1;
  return construct::solid(*one_row, args, optional);
}

Result<NodeRef> sized_delimiter(const Definition& def, std::span<const NodeRef>,
                                std::span<const NodeRef>, const Drawing&) {
  const char32_t delimiter = def.data<payload::Sized>().delimiter;
  return delimiter == 0 ? RenderNode::empty() : RenderNode::single(delimiter);
}

// ---- commands ----

// When a construct's picture is surely more than one row, so that its one-row form need not
// try the picture first.
enum class Tall : std::uint8_t {
  Always,
  AnyArgument,    // when any argument, optional ones too, has a row
  FirstArgument,  // when the first argument has a row
  AllArguments,   // when every argument has a row
  WithArguments,  // when it has arguments (a large operator with its operand)
  Maybe,          // only its picture says
};

// The one-row forms of the constructs whose pictures take several rows.
struct LinearForm {
  Construct construct;
  Form form;
  Tall tall;
};

constexpr LinearForm kForms[] = {
    {construct::tight_fraction, fraction, Tall::AnyArgument},
    {construct::fraction, fraction, Tall::AnyArgument},
    {construct::big_operator, big_operator, Tall::WithArguments},
    {construct::integrals, big_operator, Tall::WithArguments},
    {construct::root, root, Tall::FirstArgument},
    {construct::accent, accent, Tall::FirstArgument},
    {construct::stacked, stacked, Tall::AnyArgument},
    {construct::binomial, stacked, Tall::AnyArgument},
    {construct::summation, summation, Tall::Always},
    {construct::integral, integral, Tall::Always},
    {construct::over_set, over_set, Tall::AllArguments},
    {construct::under_set, under_set, Tall::AllArguments},
    {construct::long_arrow, long_arrow, Tall::AnyArgument},
    {construct::vertical_arrow, vertical_arrow, Tall::Always},
    {construct::fraction_in, fraction_in, Tall::AnyArgument},
    {construct::boxed, boxed, Tall::Always},
    {construct::shifted, boxed, Tall::Maybe},  // a raised or lowered box: its content where it is
    {construct::angle, angle, Tall::FirstArgument},
    {construct::phase, phase, Tall::Always},
    {construct::sized_delimiter, sized_delimiter, Tall::Maybe},
    {construct::solid, solid, Tall::Maybe},
};

bool has_rows(NodeRef node) { return node->height > 0; }

// Whether the picture of `form`'s construct is surely more than one row.
bool surely_tall(const LinearForm& form, std::span<const NodeRef> args,
                 std::span<const NodeRef> optional) {
  switch (form.tall) {
    case Tall::Always:
      return true;
    case Tall::AnyArgument:
      return std::ranges::any_of(args, has_rows) || std::ranges::any_of(optional, has_rows);
    case Tall::FirstArgument:
      return !args.empty() && has_rows(args.front());
    case Tall::AllArguments:
      return std::ranges::all_of(args, has_rows);
    case Tall::WithArguments:
      return !args.empty();
    case Tall::Maybe:
      break;
  }
  return false;
}

// The command's name and its arguments in parentheses: what any other construct of several rows
// writes.
Result<NodeRef> spelled_out(const Definition& def, std::span<const NodeRef> args) {
  NodeRef* items = current_arena().allocate_array<NodeRef>(2 * args.size() + 3);
  std::size_t count = 0;
  items[count++] = text(def.name);
  items[count++] = text("(");
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) items[count++] = text(", ");
    items[count++] = args[i];
  }
  items[count++] = text(")");
  return RenderNode::hstack({items, count}, Binding::Atom);
}

Result<NodeRef> any_construct(const Definition& def, std::span<const NodeRef> args,
                              std::span<const NodeRef>, const Drawing&) {
  return spelled_out(def, args);
}

const LinearForm* linear_form(const Definition& def) {
  for (const LinearForm& form : kForms)
    if (form.construct == def.construct) return &form;
  return nullptr;
}

Form form_of(const Definition& def) {
  const LinearForm* form = linear_form(def);
  return form != nullptr ? form->form : any_construct;
}

// The picture when it is one row, else the one-row form.
Result<NodeRef> command(const Definition& def, std::span<const NodeRef> args,
                        std::span<const NodeRef> optional, const Drawing& drawing) {
  // Symbols and words, which take no argument, are one row.
  if (!args.empty() || !optional.empty()) {
    const LinearForm* form = linear_form(def);
    if (form != nullptr && surely_tall(*form, args, optional))
      return form->form(def, args, optional, drawing);
  }
  Result<NodeRef> drawn = def.construct(def, args, optional);
  if (!one_row(drawn)) drawn = form_of(def)(def, args, optional, drawing);
  return drawn;
}

// ---- tables ----

// Whether the first column of a one-row node is blank.
bool starts_blank(const RenderNode& node) {
  char32_t first = U' ';
  Canvas canvas(&first, 1, 1, 1);
  canvas.paint(node, 0, 0);
  return first == U' ';
}

// The rows separated by "; ", the cells of a row by `gap` blank columns (none between the two
// cells of a pair), between `open` and `close`; a row's label, in a `labelled` table's last
// column, two blanks after it. A row of pairs with nothing on the left of its
// first continues the row before it (a = b + c = d).
Result<NodeRef> rows_in_line(Rows rows, std::size_t gap, bool pairs, char32_t open, char32_t close,
                             bool labelled = false) {
  std::size_t cells = 0;
  for (const auto row : rows) cells += row.size();
  NodeRef* items = current_arena().allocate_array<NodeRef>(2 * cells + rows.size());
  std::size_t count = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const bool continues =
        pairs && rows[r].size() > 1 && rows[r][0]->width == 0 && rows[r][1]->width > 0;
    if (r > 0 && !continues) items[count++] = text("; ");
    if (r > 0 && continues && !starts_blank(*rows[r][1])) items[count++] = blank(1);
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const bool label = labelled && c + 1 == rows[r].size();
      if (label && rows[r][c]->width == 0) break;  // a row with no label
      if (c > 0 && (label || !(pairs && c % 2 == 1))) items[count++] = blank(label ? 2 : gap);
      items[count++] = rows[r][c];
    }
  }
  auto line = RenderNode::hstack({items, count});
  if (!line || (open == 0 && close == 0)) return line;
  return RenderNode::fence(*line, open, close);
}

// Whether rows of a table's cells surely make a picture of several rows: two of them have a row.
bool tall_rows(Rows rows) {
  std::size_t with_rows = 0;
  for (const auto row : rows) with_rows += std::ranges::any_of(row, has_rows) ? 1 : 0;
  return with_rows > 1;
}

Result<NodeRef> matrix(char32_t open, char32_t close, Rows rows) {
  if (!tall_rows(rows)) {
    auto drawn = RenderNode::matrix(open, close, rows);
    if (one_row(drawn)) return drawn;
  }
  const std::size_t columns = rows.front().size();
  auto* cut = current_arena().allocate_array<std::span<const NodeRef>>(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) cut[r] = rows[r].first(columns);
  return rows_in_line({cut, rows.size()}, 2, false, open, close);
}

Result<NodeRef> table(Rows rows, const TableLayout& layout) {
  if (!tall_rows(rows)) {
    auto drawn = RenderNode::table(rows, layout);
    if (one_row(drawn)) return drawn;
  }
  return rows_in_line(rows, layout.gap, layout.pairs, layout.fence[0], layout.fence[1],
                      layout.labelled);
}

// ---- lists ----

// Whether an atom of class `cls` beside a fraction or a script is a factor of it, on its left or
// its right: anything but an operator, a relation, punctuation or the delimiter that encloses it.
bool factor_left(MathClass cls) {
  return cls != MathClass::Bin && cls != MathClass::Rel && cls != MathClass::Punct &&
         cls != MathClass::Open;
}
bool factor_right(MathClass cls) {
  return cls != MathClass::Bin && cls != MathClass::Rel && cls != MathClass::Punct &&
         cls != MathClass::Close;
}

bool is_space(const Expr& expr) { return std::holds_alternative<Space>(expr); }

// The nucleus of an atom with scripts or primes, which gives the atom its class.
const Expr& nucleus(const Expr& expr) {
  if (const auto* up = std::get_if<Superscript>(&expr)) return *up->base;
  if (const auto* down = std::get_if<Subscript>(&expr)) return *down->base;
  if (const auto* both = std::get_if<SubSup>(&expr)) return *both->base;
  if (const auto* primes = std::get_if<Primes>(&expr)) return *primes->base;
  return expr;
}

// A large operator with limits and its operand, whose picture ends in a blank column that parts
// it from what follows.
bool gathers(const Expr& expr) {
  const Expr& base = nucleus(expr);
  const auto* op = std::get_if<Command>(&base);
  return &base != &expr && op != nullptr && op->parts->def != nullptr && op->parts->def->limits &&
         op->parts->def->takes('b') && !op->parts->args.empty();
}

// The items from `first` on, the first of them a fraction or a script: a fraction among
// factors goes in parentheses; a blank parts a script or root that ends in a bare atom from a
// factor that touches it.
Result<NodeRef> loose_sequence(std::span<const NodeRef> items, ExprList exprs,
                               const Vocabulary& vocabulary, std::size_t first) {
  const auto cls = [&](std::size_t i) { return class_of(nucleus(*exprs[i]), vocabulary); };
  // A full stop that ends the list ends a sentence: it is no factor.
  const auto full_stop = [&](std::size_t i) {
    const auto* symbol = std::get_if<Symbol>(exprs[i]);
    return i + 1 == items.size() && symbol != nullptr && symbol->text == ".";
  };
  // A factor beside item i, past any blanks.
  const auto among_factors = [&](std::size_t i) {
    std::size_t left = i, right = i + 1;
    while (left > 0 && is_space(*exprs[left - 1])) --left;
    while (right < items.size() && is_space(*exprs[right])) ++right;
    return (left > 0 && factor_left(cls(left - 1))) ||
           (right < items.size() && factor_right(cls(right)) && !full_stop(right));
  };
  // A factor touching item i on its right. The blank after a large operator's operand is the
  // one that parts it from an ordinary atom (the exact markup's limits end in a blank column); an
  // operator, a relation, punctuation or a closing delimiter there ends the LaTeX dialect's
  // operand and sets its own spacing.
  const auto touched = [&](std::size_t i) {
    return i + 1 < items.size() && !is_space(*exprs[i + 1]) && !full_stop(i + 1) &&
           (factor_right(cls(i + 1)) || (gathers(*exprs[i]) && cls(i + 1) == MathClass::Ord));
  };

  // The blank TeX sets between a fraction and punctuation after it: a fraction on one row is an
  // ordinary atom, which punctuation touches (a/b, y; a/b.).
  const auto punctuated = [&](std::size_t i) {
    return i + 2 < items.size() && is_space(*exprs[i + 1]) &&
           (cls(i + 2) == MathClass::Punct || full_stop(i + 2));
  };

  // The items as they are, until one changes; from there on, a copy.
  NodeRef* out = nullptr;
  std::size_t count = 0, copied = 0;
  for (std::size_t i = first; i < items.size(); ++i) {
    const Binding binding = items[i]->bound();
    const bool fraction = binding == Binding::Slash;
    const bool bracket = fraction && among_factors(i);
    const bool unspaced = fraction && punctuated(i);
    if (!bracket && !unspaced && !(binding == Binding::Tail && touched(i))) continue;
    if (out == nullptr) out = current_arena().allocate_array<NodeRef>(2 * items.size());
    count = std::copy(items.begin() + copied, items.begin() + i, out + count) - out;
    copied = i + 1;
    if (bracket) {
      auto kept = bracketed(items[i]);
      if (!kept) return kept;
      out[count++] = *kept;
    } else if (fraction) {
      out[count++] = items[i];
    } else {
      out[count++] = items[i];
      out[count++] = blank(1);
    }
    if (unspaced) copied = ++i + 1;
  }
  if (out == nullptr) return RenderNode::hstack(items);
  count = std::copy(items.begin() + copied, items.end(), out + count) - out;
  return RenderNode::hstack({out, count});
}

Result<NodeRef> sequence(std::span<const NodeRef> items, ExprList exprs,
                         const Vocabulary& vocabulary) {
  const auto loose = std::ranges::find_if(items, [](NodeRef item) {
    const Binding binding = item->bound();
    return binding == Binding::Slash || binding == Binding::Tail;
  });
  if (loose != items.end())
    return loose_sequence(items, exprs, vocabulary,
                          static_cast<std::size_t>(loose - items.begin()));
  // An atom with closing marks after it (n!) is one atom still.
  const auto closing = [&](std::size_t i) {
    return items[i]->width == 1 && class_of(nucleus(*exprs[i]), vocabulary) == MathClass::Close;
  };
  bool postfix = items.size() <= 3 && items.size() > 1 && items.front()->bound() == Binding::Atom &&
                 closing(items.size() - 1);
  for (std::size_t i = 1; postfix && i + 1 < items.size(); ++i) postfix = closing(i);
  return RenderNode::hstack(items, postfix ? Binding::Atom : Binding::Loose);
}

}  // namespace

const Composer kLinearComposer{
    .command = command,
    .scripts = scripts,
    .limits = limits,
    .matrix = matrix,
    .table = table,
    .sequence = sequence,
};

const LinearStyle kLinearUnicode{
    .vulgar_fractions = true,
    .root_signs = true,
    .root_brackets = false,
    .root = "√",
    .combining = true,
    .words = nullptr,
};

const LinearStyle kLinearAscii{
    .vulgar_fractions = false,
    .root_signs = false,
    .root_brackets = true,
    .root = "sqrt",
    .combining = false,
    .words = ascii_word,
};

}  // namespace vok
