// Macro expansion (see macros.hpp). The tokens wait on a stack of frames: the formula's own at the
// bottom, above it the replacement of each macro being expanded. A token taken from the top is
// either a definition, which reads its parts from the frames and defines, a macro, which reads its
// arguments from the frames and pushes its replacement, or a token for the parser, written out.
//
// The primitives carried out here are data (kPrimitiveNames); the parameter text of \def may
// delimit its parameters with tokens (\def\pair(#1,#2){…}), \newcommand gives a number of arguments
// and a default for an optional first one, \let copies a meaning, \DeclareMathOperator makes a
// macro of \operatorname.
#include "macros.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "arena.hpp"

namespace vok {
namespace {

using Tk = TokenKind;

// A token waiting to be expanded or written: its lexeme in `text`, the white space (and comments)
// before it there, and the byte of the input it stands for.
struct Tok {
  Lexeme lex;
  std::uint32_t origin;
  const char* text;
  std::string_view gap;

  [[nodiscard]] std::string_view source() const { return {text + lex.start, lex.end - lex.start}; }
  [[nodiscard]] std::string_view payload() const {
    const std::uint32_t from = lex.start + (lex.kind == Tk::Command || lex.kind == Tk::Escape);
    return {text + from, lex.end - from};
  }
  [[nodiscard]] bool is(Tk kind) const { return lex.kind == kind; }
  [[nodiscard]] bool same(const Tok& other) const {
    return lex.kind == other.lex.kind && (!has_payload(lex.kind) || payload() == other.payload());
  }
};

using Toks = std::span<const Tok>;

// A parameter's sign, #.
bool is_hash(const Tok& tok) {
  return tok.is(Tk::Ident) && tok.lex.end - tok.lex.start == 1 && tok.text[tok.lex.start] == '#';
}

// A macro: its parameter text (#1 … #9 and the tokens that delimit them, \def's), the number of
// its parameters, and its replacement; a default for an optional first argument (\newcommand's).
struct Macro {
  Toks pattern = {};  // for \def: the tokens between the name and the replacement, # pairs included
  std::uint8_t parameters = 0;
  bool delimited = false;  // the pattern has tokens other than #1 #2 … in order
  bool optional = false;   // the first argument is optional, `fallback` when absent
  bool token = false;      // a \let of a token that is no macro: it stands for the token
  Toks fallback = {};
  Toks replacement = {};
};

// The commands the expansion carries out, in the order of kPrimitiveNames; those up to Long
// define.
enum class Primitive : std::uint8_t {
  Def,
  Edef,
  Gdef,
  Xdef,
  Global,
  NewCommand,
  RenewCommand,
  ProvideCommand,
  Let,
  DeclareMathOperator,
  Long,
  FutureLet,
  ExpandAfter,
  NoExpand,
  IfStar,
  IfNextChar,
  FirstOfTwo,
  SecondOfTwo,
  BeginGroup,
  EndGroup,
};
constexpr bool defines(Primitive kind) { return kind <= Primitive::Long; }

// The primitives by noted_hash: for each hash the first name with it, and after each name the next
// one with the same hash, as indices plus one (0: none). A name is compared with those only.
struct PrimitiveIndex {
  std::uint8_t first[64] = {};
  std::uint8_t next[std::size(kPrimitiveNames)] = {};
};
constexpr PrimitiveIndex kPrimitiveIndex = [] {
  PrimitiveIndex index;
  for (std::size_t i = std::size(kPrimitiveNames); i-- > 0;) {
    const unsigned hash = noted_hash(kPrimitiveNames[i]);
    index.next[i] = index.first[hash];
    index.first[hash] = static_cast<std::uint8_t>(i + 1);
  }
  return index;
}();

std::optional<Primitive> primitive(std::string_view name) {
  if (name.empty()) return std::nullopt;
  for (std::size_t at = kPrimitiveIndex.first[noted_hash(name)]; at != 0;
       at = kPrimitiveIndex.next[at - 1])
    if (kPrimitiveNames[at - 1] == name) return static_cast<Primitive>(at - 1);
  return std::nullopt;
}

// The groups TeX opens and closes with commands rather than braces, where definitions end as
// they do at a closing brace: \left … \right, and an environment with each cell of its rows.
enum class Bound : std::uint8_t { Open, Close, OpenEnvironment, CloseEnvironment };
constexpr std::pair<std::string_view, Bound> kGroupCommands[] = {
    {"left", Bound::Open},
    {"right", Bound::Close},
    {"begin", Bound::OpenEnvironment},
    {"end", Bound::CloseEnvironment},
};

// The replacement \DeclareMathOperator gives, around the operator's name.
constexpr std::string_view kOperatorName = "\\operatorname*{}";
constexpr Lexeme kOperatorNameCommand{0, 13, Tk::Command};
constexpr Lexeme kOperatorNameStar{13, 14, Tk::Star};
constexpr Lexeme kOperatorNameOpen{14, 15, Tk::LBrace};
constexpr Lexeme kOperatorNameClose{15, 16, Tk::RBrace};

bool ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A list growing in the current arena (the call's, freed once the formula is parsed): waiting
// tokens, the frames and the undo log of scopes.
template <class T>
class ArenaList {
 public:
  ArenaList() = default;
  ArenaList(const T* first, const T* last) { insert(end(), first, last); }
  static ArenaList of(const T& item) {
    ArenaList list;
    list.push_back(item);
    return list;
  }
  void reserve(std::size_t count) {
    if (count > capacity_) grow(count);
  }
  void push_back(const T& item) {
    if (size_ == capacity_) grow(std::max<std::size_t>(8, 2 * capacity_));
    data_[size_++] = item;
  }
  // Appends [first, last); `at` must be end().
  void insert(const T*, const T* first, const T* last) {
    reserve(size_ + static_cast<std::size_t>(last - first));
    for (; first != last; ++first) data_[size_++] = *first;
  }
  void resize(std::size_t count) { size_ = std::min(size_, count); }  // shortens only
  void set_size(std::size_t count) { size_ = count; }  // after writing as many, reserved
  void pop_back() { --size_; }
  [[nodiscard]] const T* data() const { return data_; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] T* begin() const { return data_; }
  [[nodiscard]] T* end() const { return data_ + size_; }
  [[nodiscard]] T& front() const { return data_[0]; }
  [[nodiscard]] T& back() const { return data_[size_ - 1]; }
  [[nodiscard]] T& operator[](std::size_t i) const { return data_[i]; }
  operator std::span<const T>() const { return {data_, size_}; }  // NOLINT: a list is its items

 private:
  void grow(std::size_t capacity) {
    T* grown = current_arena().allocate_array<T>(capacity);
    std::copy_n(data_, size_, grown);
    data_ = grown;
    capacity_ = capacity;
  }
  T* data_ = nullptr;
  std::size_t size_ = 0, capacity_ = 0;
};
using TokList = ArenaList<Tok>;

// The macros in force, by name: open addressing in the arena. A name once defined keeps its slot;
// a definition undone at the end of its group leaves the slot undefined.
class MacroMap {
 public:
  [[nodiscard]] const Macro* find(std::string_view name) const {
    if (capacity_ == 0) return nullptr;
    const Slot& slot = slots_[index(name)];
    return slot.defined ? &slot.macro : nullptr;
  }
  void set(std::string_view name, const Macro& macro) {
    if (4 * (size_ + 1) > 3 * capacity_) grow();
    Slot& slot = slots_[index(name)];
    if (slot.name.data() == nullptr) {
      slot.name = name;
      ++size_;
    }
    slot.macro = macro;
    slot.defined = true;
  }
  void undefine(std::string_view name) {
    if (capacity_ != 0) slots_[index(name)].defined = false;
  }

 private:
  struct Slot {
    std::string_view name;
    Macro macro;
    bool defined;
  };
  // The slot of `name`, or the empty one where it would go.
  [[nodiscard]] std::size_t index(std::string_view name) const {
    std::size_t at = MacroNameHash{}(name) & (capacity_ - 1);
    while (slots_[at].name.data() != nullptr && slots_[at].name != name)
      at = (at + 1) & (capacity_ - 1);
    return at;
  }
  void grow() {
    Slot* const old = slots_;
    const std::size_t old_capacity = capacity_;
    capacity_ = capacity_ == 0 ? 16 : 2 * capacity_;
    slots_ = current_arena().allocate_array<Slot>(capacity_);
    std::memset(static_cast<void*>(slots_), 0, capacity_ * sizeof(Slot));  // empty: no name
    for (std::size_t i = 0; i < old_capacity; ++i)
      if (old[i].name.data() != nullptr) slots_[index(old[i].name)] = old[i];
  }
  Slot* slots_ = nullptr;
  std::size_t capacity_ = 0, size_ = 0;
};

// The arguments of one use of a macro, at most nine.
class Arguments {
 public:
  Arguments() {}  // NOLINT: the items are written before they are read
  void push_back(Toks arg) { items_[count_++] = {arg.data(), arg.size()}; }
  [[nodiscard]] std::size_t size() const { return count_; }
  [[nodiscard]] Toks operator[](std::size_t i) const { return {items_[i].data, items_[i].size}; }

 private:
  struct Item {
    const Tok* data;
    std::size_t size;
  };
  Item items_[9];
  std::size_t count_ = 0;
};

// The tokens of `text` as waiting tokens standing for `origin` (or for their own bytes, when
// `origin` is npos and `text` is the input).
TokList toks_of(std::span<const Lexeme> lexemes, std::string_view text, std::uint32_t origin) {
  TokList out;
  out.reserve(lexemes.size());
  Tok* at = out.begin();
  std::uint32_t end = 0;
  for (const Lexeme& lex : lexemes) {
    *at++ = {lex, origin == UINT32_MAX ? lex.start : origin, text.data(),
             std::string_view(text.data() + end, lex.start - end)};
    end = lex.end;
  }
  out.set_size(lexemes.size());
  return out;
}

// Whether a blank must part `tok` from a command written just before it, whose name would run
// into the letters of a token that touches it.
bool parted_from_command(const Tok& tok) {
  const std::string_view source = tok.source();
  return tok.gap.empty() && !source.empty() && ascii_letter(source.front());
}

// Appends the tokens as text, each after its white space (but the first), a command parted by a
// blank from letters that would run into it.
void append_text(std::string& text, Toks toks) {
  bool after_command = false;
  for (std::size_t i = 0; i < toks.size(); ++i) {
    if (i > 0) text += toks[i].gap;
    if (after_command && parted_from_command(toks[i])) text += ' ';
    text += toks[i].source();
    after_command = toks[i].is(Tk::Command);
  }
}

class Expander {
 public:
  Expander(std::string_view input, std::size_t input_tokens, const LexerRules& lexer,
           MacroTable* document)
      : input_(input),
        lexer_(lexer),
        document_(document),
        budget_(kExpansionBudget + 64 * input_tokens) {}

  // Reads the definitions among `toks` (a preamble), ignoring everything else.
  Result<void> read(Toks toks) {
    push(toks);
    while (const Tok* tok = take(0)) {
      if (!tok->is(Tk::Command)) continue;
      if (const auto kind = primitive(tok->payload()); kind && defines(*kind))
        if (auto done = define(*tok, *kind, false, 0); !done) return done;
    }
    return {};
  }

  // The formula's messages name places in `input`.
  void now_in(std::string_view input) { input_ = input; }

  // Keeps what was defined at the top level, or globally, in `table`.
  void keep(MacroTable& table) const {
    for (const std::string_view name : kept_) {
      const Macro* found = macros_.find(name);
      if (found == nullptr) continue;
      const Macro& macro = *found;
      StoredMacro stored{.parameters = macro.parameters,
                         .delimited = macro.delimited,
                         .optional = macro.optional,
                         .token = macro.token};
      append_text(stored.pattern, macro.pattern);
      append_text(stored.replacement, macro.replacement);
      append_text(stored.fallback, macro.fallback);
      table.insert_or_assign(std::string(name), std::move(stored));
    }
  }

  // Defines a caller's macro.
  // Defines a caller's macro, lexed (by name, without its backslash).
  void give(std::string_view name, const Macro& macro) {
    macros_.set(name, macro);
    names_ |= std::uint64_t{1} << noted_hash(name);
  }

  // Expands the frames above `floor` into `out`.
  Result<void> run(TokList& out, std::size_t floor) {
    while (const Tok* tok = take(floor)) {
      // A control symbol may name a macro too (\def\:{…}); only command words define.
      if ((tok->is(Tk::Command) || tok->is(Tk::Escape)) && may_define_or_expand(tok->payload())) {
        if (const auto kind = primitive(tok->payload())) {
          // An \edef expands its replacement: what defines is kept there, done when it is used.
          if (edefs_ > 0 && !gives_tokens(*kind)) {
            out.push_back(*tok);
            continue;
          }
          if (auto done = perform(*tok, *kind, out, floor); !done) return done;
          continue;
        }
        if (const Macro* macro = find(tok->payload())) {
          if (auto done = expand(*tok, *macro, floor); !done) return done;
          continue;
        }
      }
      if (tok->is(Tk::LBrace)) ++depth_;
      if (tok->is(Tk::RBrace)) close_group();
      if (tok->is(Tk::Command) || tok->is(Tk::Escape) || tok->is(Tk::Ampersand)) bound(*tok);
      out.push_back(*tok);
      if (pending_) {
        out.back().gap = *pending_;
        pending_.reset();
      }
    }
    return {};
  }

  void push(Toks toks) {
    if (!toks.empty()) frames_.push_back({toks.data(), toks.data() + toks.size()});
  }

 private:
  struct Frame {
    const Tok* at;
    const Tok* end;
  };
  struct Saved {  // a definition to restore when the group it was made in closes
    std::size_t depth;
    std::string_view name;
    std::optional<Macro> macro;
  };

  // The macro of a name: this formula's, else the document's, read in on its first use.
  // Whether a name may be a primitive or a macro: most commands are neither.
  [[nodiscard]] bool may_define_or_expand(std::string_view name) const {
    return document_ != nullptr || (((kPrimitiveHashes | names_) >> noted_hash(name)) & 1) != 0;
  }

  const Macro* find(std::string_view name) {
    // Most commands name no macro: a bit by length and first letter rules them out unhashed.
    if (document_ == nullptr && ((names_ >> noted_hash(name)) & 1) == 0) return nullptr;
    if (const Macro* found = macros_.find(name)) return found;
    if (document_ == nullptr) return nullptr;
    const auto stored = document_->find(name);
    if (stored == document_->end()) return nullptr;
    const StoredMacro& from = stored->second;
    // Reading it in counts against the formula's budget, as expanding it does: a formula that
    // uses many long macros of a document pays for their lengths.
    const auto toks = [&](const std::string& text) -> Toks {
      auto lexed = tokenize(text, lexer_);
      if (!lexed) return {};  // it was lexed when it was defined
      produced_ += lexed->size();
      return Toks(toks_of(*lexed, text, 0));
    };
    const Macro macro{.pattern = toks(from.pattern),
                      .parameters = from.parameters,
                      .delimited = from.delimited,
                      .optional = from.optional,
                      .token = from.token,
                      .fallback = toks(from.fallback),
                      .replacement = toks(from.replacement)};
    macros_.set(stored->first, macro);
    return macros_.find(stored->first);
  }

  // The next token of the frames above `floor`, or null when they are spent.
  const Tok* take(std::size_t floor) {
    while (frames_.size() > floor) {
      Frame& top = frames_.back();
      if (top.at != top.end) return top.at++;
      frames_.pop_back();
    }
    return nullptr;
  }
  const Tok* peek(std::size_t floor) {
    while (frames_.size() > floor) {
      const Frame& top = frames_.back();
      if (top.at != top.end) return top.at;
      frames_.pop_back();
    }
    return nullptr;
  }

  // Opens or closes the group a token written out bounds: the command of one, or a cell of the
  // innermost environment, which its & and its \\ end, starting the next.
  void bound(const Tok& tok) {
    const bool in_cell = !cells_.empty() && cells_.back() == depth_;
    if (!tok.is(Tk::Command)) {
      if (in_cell && (tok.is(Tk::Ampersand) || tok.payload() == "\\")) {
        close_group();
        ++depth_;
      }
      return;
    }
    const auto* found = std::ranges::find(kGroupCommands, tok.payload(),
                                          &std::pair<std::string_view, Bound>::first);
    if (found == std::end(kGroupCommands)) return;
    switch (found->second) {
      case Bound::Open:
        ++depth_;
        break;
      case Bound::Close:
        close_group();
        break;
      case Bound::OpenEnvironment:
        depth_ += 2;  // the environment's group, and its first cell's
        cells_.push_back(depth_);
        break;
      case Bound::CloseEnvironment:
        if (in_cell) {
          close_group();
          cells_.pop_back();
        }
        close_group();
        break;
    }
  }

  void close_group() {
    if (depth_ == 0) return;
    while (!saved_.empty() && saved_.back().depth == depth_) {
      Saved& saved = saved_.back();
      if (saved.macro) {
        macros_.set(saved.name, *saved.macro);
      } else {
        macros_.undefine(saved.name);
      }
      saved_.pop_back();
    }
    --depth_;
  }

  void set(std::string_view name, const Macro& macro, bool global) {
    if (global) {
      saved_.set_size(static_cast<std::size_t>(
          std::remove_if(saved_.begin(), saved_.end(),
                         [&](const Saved& saved) { return saved.name == name; }) -
          saved_.begin()));
    } else if (depth_ > 0) {
      const Macro* found = macros_.find(name);
      saved_.push_back({depth_, name, found == nullptr ? std::nullopt : std::optional(*found)});
    }
    macros_.set(name, macro);
    names_ |= std::uint64_t{1} << noted_hash(name);
    if (global || depth_ == 0) kept_.push_back(name);
  }

  // A balanced group after its opening brace, up to its closing one (taken, not kept). Tokens
  // taken one after another in memory are those of a frame, and the group is them; a group that
  // crosses frames is copied.
  Result<Toks> group(const Tok& open, std::size_t floor) {
    const Tok* first = nullptr;
    const Tok* last = nullptr;
    TokList copy;
    std::size_t depth = 0;
    while (const Tok* tok = take(floor)) {
      if (tok->is(Tk::RBrace) && depth-- == 0) {
        if (!copy.empty()) return copy;
        return first == nullptr ? Toks() : Toks(first, last + 1);
      }
      if (tok->is(Tk::LBrace)) ++depth;
      if (first == nullptr) {
        first = tok;
      } else if (!copy.empty() || tok != last + 1) {
        if (copy.empty()) copy = TokList(first, last + 1);
        copy.push_back(*tok);
      }
      last = tok;
    }
    return fail(message::missing_close("}", "{", input_, open.origin));
  }

  // An undelimited argument of `owner`: one token, or a group without its braces.
  Result<Toks> argument(const Tok& owner, std::size_t floor) {
    const Tok* tok = take(floor);
    if (tok == nullptr || tok->is(Tk::RBrace))
      return fail(message::missing_argument(owner.source(), input_, owner.origin));
    if (tok->is(Tk::LBrace)) return group(*tok, floor);
    return Toks(tok, 1);
  }

  // The tokens up to the `close` that ends a bracketed option at brace depth 0 (taken).
  Result<TokList> option(const Tok& owner, std::size_t floor) {
    TokList toks;
    std::size_t depth = 0;
    while (const Tok* tok = take(floor)) {
      if (tok->is(Tk::RBracket) && depth == 0) return toks;
      if (tok->is(Tk::LBrace)) ++depth;
      if (tok->is(Tk::RBrace) && depth > 0) --depth;
      toks.push_back(*tok);
    }
    return fail(message::missing_close("]", "[", input_, owner.origin));
  }

  // The command a definition names: \name, or {\name}.
  Result<const Tok*> name_after(const Tok& owner, std::size_t floor) {
    const Tok* tok = take(floor);
    if (tok != nullptr && tok->is(Tk::LBrace)) {
      const Tok* inner = take(floor);
      const Tok* close = take(floor);
      if (inner != nullptr && (inner->is(Tk::Command) || inner->is(Tk::Escape)) &&
          close != nullptr && close->is(Tk::RBrace))
        return inner;
      tok = nullptr;
    }
    if (tok == nullptr || !(tok->is(Tk::Command) || tok->is(Tk::Escape)))
      return fail(message::expected_macro_name(owner.source(), input_, owner.origin));
    return tok;
  }

  // The parameters #1 … a replacement uses must be those of its pattern.
  Result<void> check_parameters(Toks replacement, std::size_t parameters, const Tok& name) {
    for (std::size_t i = 0; i < replacement.size(); ++i) {
      if (!is_hash(replacement[i]) || i + 1 == replacement.size()) continue;
      const Tok& next = replacement[i + 1];
      if (is_hash(next)) {
        ++i;
        continue;
      }
      if (!next.is(Tk::Number) || static_cast<std::size_t>(next.payload()[0] - '0') > parameters ||
          next.payload()[0] == '0')
        return fail(message::undefined_parameter(
            std::string(replacement[i].source()) + std::string(next.source()), name.source(),
            input_, replacement[i].origin));
      ++i;
    }
    return {};
  }

  // Carries out a primitive other than a definition: what it gives is pushed back to be read
  // again; \noexpand's token goes to `out` as it is.
  Result<void> perform(const Tok& use, Primitive kind, TokList& out, std::size_t floor) {
    if (defines(kind)) return define(use, kind, false, floor);
    if (++expansions_ > kMaxExpansions)
      return fail(message::too_many_expansions(use.source(), input_, use.origin));
    if (!pending_) pending_ = use.gap;
    const auto missing = [&] {
      return fail(message::missing_argument(use.source(), input_, use.origin));
    };
    switch (kind) {
      case Primitive::FutureLet: {
        // \futurelet\name A B: \name is B, and A B are read on.
        auto name = name_after(use, floor);
        if (!name) return fail(std::move(name.error()));
        const Tok* first = take(floor);
        const Tok* meaning = first != nullptr ? peek(floor) : nullptr;
        if (meaning == nullptr) return missing();
        let_to((*name)->payload(), *meaning, false);
        push(Toks(first, 1));
        return {};
      }
      case Primitive::ExpandAfter: {
        // \expandafter A B: B expanded once, then A before what it gives.
        const Tok* first = take(floor);
        if (first == nullptr) return missing();
        if (auto done = expand_once(use, floor); !done) return done;
        push(Toks(first, 1));
        return {};
      }
      case Primitive::NoExpand: {
        // A macro after it goes into an \edef's replacement unexpanded, and is nothing (\relax)
        // elsewhere; anything else is read as if it were not there.
        const Tok* next = take(floor);
        if (next == nullptr) return missing();
        if (!expandable(*next)) {
          push(Toks(next, 1));
          return {};
        }
        if (edefs_ == 0) return {};
        out.push_back(*next);
        out.back().gap = *pending_;
        pending_.reset();
        return {};
      }
      case Primitive::IfStar:
      case Primitive::IfNextChar: {
        // \@ifstar{yes}{no} takes a * after it; \@ifnextchar X{yes}{no} leaves the X.
        const Tok* wanted = kind == Primitive::IfNextChar ? take(floor) : nullptr;
        if (kind == Primitive::IfNextChar && wanted == nullptr) return missing();
        auto yes = argument(use, floor);
        if (!yes) return fail(std::move(yes.error()));
        auto no = argument(use, floor);
        if (!no) return fail(std::move(no.error()));
        const Tok* next = peek(floor);
        const bool found =
            next != nullptr && (wanted != nullptr ? next->same(*wanted) : next->is(Tk::Star));
        if (found && wanted == nullptr) take(floor);
        push(found ? *yes : *no);
        return {};
      }
      case Primitive::FirstOfTwo:
      case Primitive::SecondOfTwo: {
        auto first = argument(use, floor);
        if (!first) return fail(std::move(first.error()));
        auto second = argument(use, floor);
        if (!second) return fail(std::move(second.error()));
        push(kind == Primitive::FirstOfTwo ? *first : *second);
        return {};
      }
      case Primitive::BeginGroup:
        ++depth_;
        return {};
      case Primitive::EndGroup:
        close_group();
        return {};
      default:
        return {};
    }
  }

  // Whether a token is a macro, or a primitive that gives tokens rather than defining.
  bool expandable(const Tok& tok) {
    if (!tok.is(Tk::Command) && !tok.is(Tk::Escape)) return false;
    if (const auto kind = primitive(tok.payload())) return gives_tokens(*kind);
    const Macro* macro = find(tok.payload());
    return macro != nullptr && !macro->token;
  }
  static bool gives_tokens(Primitive kind) {
    return !defines(kind) && kind != Primitive::FutureLet && kind != Primitive::BeginGroup &&
           kind != Primitive::EndGroup;
  }

  // The token after `use` expanded once, if it is a macro or a primitive that gives tokens; else
  // put back as it was.
  Result<void> expand_once(const Tok& use, std::size_t floor) {
    const Tok* next = take(floor);
    if (next == nullptr) return fail(message::missing_argument(use.source(), input_, use.origin));
    if (next->is(Tk::Command) || next->is(Tk::Escape)) {
      if (const auto kind = primitive(next->payload())) {
        if (gives_tokens(*kind) && *kind != Primitive::NoExpand) {
          TokList unused;
          return perform(*next, *kind, unused, floor);
        }
      } else if (const Macro* macro = find(next->payload())) {
        return expand(*next, *macro, floor);
      }
    }
    push(Toks(next, 1));
    return {};
  }

  Result<void> define(const Tok& owner, Primitive kind, bool global, std::size_t floor) {
    switch (kind) {
      case Primitive::Global:
      case Primitive::Long: {
        // A prefix: the definition after it, found by expanding macros (\global\mydef) as TeX
        // does; \long changes nothing here.
        for (;;) {
          const Tok* next = take(floor);
          if (next == nullptr || !next->is(Tk::Command)) break;
          if (const auto then = primitive(next->payload()); then && defines(*then))
            return define(*next, *then, global || kind == Primitive::Global, floor);
          const Macro* macro = find(next->payload());
          if (macro == nullptr) break;
          if (auto done = expand(*next, *macro, floor); !done) return done;
        }
        return fail(message::expected_macro_name(owner.source(), input_, owner.origin));
      }
      case Primitive::Def:
      case Primitive::Edef:
      case Primitive::Gdef:
      case Primitive::Xdef:
        return def(owner, kind == Primitive::Edef || kind == Primitive::Xdef,
                   global || kind == Primitive::Gdef || kind == Primitive::Xdef, floor);
      case Primitive::Let:
        return let(owner, global, floor);
      case Primitive::DeclareMathOperator:
        return declare_operator(owner, global, floor);
      case Primitive::NewCommand:
      case Primitive::RenewCommand:
      case Primitive::ProvideCommand:
        return new_command(owner, kind == Primitive::ProvideCommand, global, floor);
      case Primitive::FutureLet:
      case Primitive::ExpandAfter:
      case Primitive::NoExpand:
      case Primitive::IfStar:
      case Primitive::IfNextChar:
      case Primitive::FirstOfTwo:
      case Primitive::SecondOfTwo:
      case Primitive::BeginGroup:
      case Primitive::EndGroup:
        break;  // not definitions
    }
    return {};
  }

  Result<void> def(const Tok& owner, bool expanded, bool global, std::size_t floor) {
    auto name = name_after(owner, floor);
    if (!name) return fail(std::move(name.error()));
    TokList pattern;
    Macro macro;
    const Tok* open = nullptr;  // the brace the replacement starts at
    bool brace_kept = false;    // #{: the last parameter ends at a brace, which stays
    while (open == nullptr) {
      const Tok* tok = take(floor);
      if (tok == nullptr)
        return fail(message::missing_argument(owner.source(), input_, owner.origin));
      if (tok->is(Tk::LBrace)) {
        open = tok;
        continue;
      }
      if (is_hash(*tok)) {
        const Tok* digit = take(floor);
        if (digit != nullptr && digit->is(Tk::LBrace)) {
          macro.delimited = true;
          pattern.push_back(*digit);
          open = digit;
          brace_kept = true;
          continue;
        }
        if (digit == nullptr || !digit->is(Tk::Number) ||
            digit->payload()[0] - '0' != macro.parameters + 1)
          return fail(message::undefined_parameter(
              std::string(tok->source()) + std::string(digit != nullptr ? digit->source() : ""),
              (*name)->source(), input_, tok->origin));
        ++macro.parameters;
        pattern.push_back(*tok);
        pattern.push_back(*digit);
        continue;
      }
      macro.delimited = true;
      pattern.push_back(*tok);
    }
    auto body = group(*open, floor);
    if (!body) return fail(std::move(body.error()));
    if (expanded) {
      const std::size_t level = frames_.size();
      push(*body);
      TokList full;
      ++edefs_;
      auto done = run(full, level);
      --edefs_;
      if (!done) return done;
      *body = full;
    }
    if (brace_kept) {
      TokList with_brace(body->data(), body->data() + body->size());
      with_brace.push_back(*open);
      *body = with_brace;
    }
    macro.replacement = *body;
    if (!expanded) {
      if (auto checked = check_parameters(macro.replacement, macro.parameters, **name); !checked)
        return checked;
    }
    macro.pattern = Toks(pattern);
    set((*name)->payload(), macro, global);
    return {};
  }

  Result<void> new_command(const Tok& owner, bool provide, bool global, std::size_t floor) {
    if (const Tok* star = peek(floor); star != nullptr && star->is(Tk::Star)) take(floor);
    auto name = name_after(owner, floor);
    if (!name) return fail(std::move(name.error()));
    Macro macro;
    if (const Tok* open = peek(floor); open != nullptr && open->is(Tk::LBracket)) {
      take(floor);
      auto count = option(owner, floor);
      if (!count) return fail(std::move(count.error()));
      if (count->size() != 1 || !(*count)[0].is(Tk::Number))
        return fail(message::undefined_parameter((*count).empty() ? "" : (*count)[0].source(),
                                                 (*name)->source(), input_, owner.origin));
      macro.parameters = static_cast<std::uint8_t>((*count)[0].payload()[0] - '0');
      if (const Tok* next = peek(floor); next != nullptr && next->is(Tk::LBracket)) {
        take(floor);
        auto fallback = option(owner, floor);
        if (!fallback) return fail(std::move(fallback.error()));
        macro.optional = macro.parameters > 0;
        macro.fallback = *fallback;
      }
    }
    auto body = argument(owner, floor);
    if (!body) return fail(std::move(body.error()));
    macro.replacement = *body;
    if (auto checked = check_parameters(macro.replacement, macro.parameters, **name); !checked)
      return checked;
    if (provide && find((*name)->payload()) != nullptr) return {};
    set((*name)->payload(), macro, global);
    return {};
  }

  Result<void> let(const Tok& owner, bool global, std::size_t floor) {
    auto name = name_after(owner, floor);
    if (!name) return fail(std::move(name.error()));
    const Tok* meaning = take(floor);
    if (meaning != nullptr && meaning->is(Tk::Equals)) meaning = take(floor);
    if (meaning == nullptr)
      return fail(message::missing_argument(owner.source(), input_, owner.origin));
    let_to((*name)->payload(), *meaning, global);
    return {};
  }

  // Gives `name` the meaning of a token: a macro's, or the token itself.
  void let_to(std::string_view name, const Tok& meaning, bool global) {
    Macro macro;
    if (const Macro* found = meaning.is(Tk::Command) ? find(meaning.payload()) : nullptr) {
      macro = *found;
    } else {
      Tok* alias = current_arena().allocate_array<Tok>(1);
      *alias = meaning;
      alias->gap = {};
      macro.replacement = Toks(alias, 1);
      macro.token = true;
    }
    set(name, macro, global);
  }

  Result<void> declare_operator(const Tok& owner, bool global, std::size_t floor) {
    bool limits = false;
    if (const Tok* star = peek(floor); star != nullptr && star->is(Tk::Star)) {
      take(floor);
      limits = true;
    }
    auto name = name_after(owner, floor);
    if (!name) return fail(std::move(name.error()));
    auto text = argument(owner, floor);
    if (!text) return fail(std::move(text.error()));
    const auto made = [&](const Lexeme& lex) {
      return Tok{lex, owner.origin, kOperatorName.data(), {}};
    };
    TokList body = TokList::of(made(kOperatorNameCommand));
    if (limits) body.push_back(made(kOperatorNameStar));
    body.push_back(made(kOperatorNameOpen));
    body.insert(body.end(), text->data(), text->data() + text->size());
    body.push_back(made(kOperatorNameClose));
    set((*name)->payload(), Macro{.replacement = Toks(body)}, global);
    return {};
  }

  // The arguments of a use of `macro` by `use`, in order, into `args`.
  Result<void> arguments(const Tok& use, const Macro& macro, std::size_t floor, Arguments& args) {
    if (macro.optional) {
      if (const Tok* open = peek(floor); open != nullptr && open->is(Tk::LBracket)) {
        take(floor);
        auto given = option(use, floor);
        if (!given) return fail(std::move(given.error()));
        args.push_back(std::move(*given));
      } else {
        args.push_back(macro.fallback);
      }
    }
    if (!macro.delimited) {
      while (args.size() < macro.parameters) {
        auto arg = argument(use, floor);
        if (!arg) return fail(std::move(arg.error()));
        args.push_back(std::move(*arg));
      }
      return {};
    }
    // \def's pattern: tokens to match, and each parameter taken up to the tokens after it.
    const Toks pattern = macro.pattern;
    std::size_t i = 0;
    while (i < pattern.size()) {
      if (!is_hash(pattern[i])) {
        const Tok* tok = take(floor);
        if (tok == nullptr || !tok->same(pattern[i]))
          return fail(message::use_does_not_match(use.source(), input_, use.origin));
        ++i;
        continue;
      }
      i += 2;
      std::size_t delimiter = i;
      while (delimiter < pattern.size() && !is_hash(pattern[delimiter])) ++delimiter;
      if (delimiter == i) {  // undelimited
        auto arg = argument(use, floor);
        if (!arg) return fail(std::move(arg.error()));
        args.push_back(std::move(*arg));
        continue;
      }
      auto arg = delimited(use, pattern.subspan(i, delimiter - i), floor);
      if (!arg) return fail(std::move(arg.error()));
      args.push_back(std::move(*arg));
      i = delimiter;
    }
    return {};
  }

  // The tokens up to `delimiter` at brace depth 0, the delimiter taken too; a single group loses
  // its braces.
  Result<TokList> delimited(const Tok& use, Toks delimiter, std::size_t floor) {
    TokList toks;
    std::size_t depth = 0;
    while (const Tok* tok = take(floor)) {
      // Each token is held against the delimiter: that work counts against the budget, so that
      // a long delimiter over a long formula cannot take time out of proportion to it.
      produced_ += delimiter.size();
      if (produced_ > budget_)
        return fail(message::too_many_expansions(use.source(), input_, use.origin));
      toks.push_back(*tok);
      if (tok->is(Tk::RBrace)) {
        if (depth == 0) break;
        --depth;
      }
      // An opening brace counts after the match: a delimiter may end with one (#{).
      const bool opens = tok->is(Tk::LBrace);
      if (depth == 0 && toks.size() >= delimiter.size() &&
          std::ranges::equal(Toks(toks).last(delimiter.size()), delimiter,
                             [](const Tok& a, const Tok& b) { return a.same(b); })) {
        toks.resize(toks.size() - delimiter.size());
        if (toks.size() >= 2 && toks.front().is(Tk::LBrace) && toks.back().is(Tk::RBrace) &&
            balanced_inside(toks))
          toks = TokList(toks.begin() + 1, toks.end() - 1);
        return toks;
      }
      if (opens) ++depth;
    }
    return fail(message::use_does_not_match(use.source(), input_, use.origin));
  }

  // Whether the braces of a braced list pair its first with its last.
  static bool balanced_inside(Toks toks) {
    std::size_t depth = 0;
    for (std::size_t i = 0; i + 1 < toks.size(); ++i) {
      if (toks[i].is(Tk::LBrace)) ++depth;
      if (toks[i].is(Tk::RBrace) && --depth == 0) return false;
    }
    return true;
  }

  Result<void> expand(const Tok& use, const Macro& macro, std::size_t floor) {
    if (++expansions_ > kMaxExpansions)
      return fail(message::too_many_expansions(use.source(), input_, use.origin));
    Arguments args;
    if (auto read = arguments(use, macro, floor, args); !read) return read;
    std::size_t room = macro.replacement.size();
    for (std::size_t i = 0; i < args.size(); ++i) room += args[i].size();
    TokList out;
    out.reserve(room);
    const Toks body = macro.replacement;
    for (std::size_t i = 0; i < body.size(); ++i) {
      const Tok& tok = body[i];
      if (is_hash(tok) && i + 1 < body.size()) {
        const Tok& next = body[i + 1];
        if (next.is(Tk::Number)) {
          const auto n = static_cast<std::size_t>(next.payload()[0] - '0');
          if (n >= 1 && n <= args.size()) {
            const Toks arg = args[n - 1];
            const std::size_t first = out.size();
            out.insert(out.end(), arg.data(), arg.data() + arg.size());
            if (out.size() > first) out[first].gap = tok.gap;
            ++i;
            continue;
          }
        } else if (is_hash(next)) {
          ++i;  // ## stands for one #
        }
      }
      // A caller's macro stands for the place of its use; a formula's stands for its own text.
      out.push_back(tok);
      if (tok.text != input_.data()) out.back().origin = use.origin;
    }
    produced_ += out.size();
    if (produced_ > budget_)
      return fail(message::too_many_expansions(use.source(), input_, use.origin));
    if (!pending_) pending_ = use.gap;
    push(Toks(out));
    return {};
  }

  std::string_view input_;
  const LexerRules& lexer_;
  MacroTable* document_;              // the document's macros, or null
  ArenaList<std::string_view> kept_;  // the names defined at the top level, or globally
  MacroMap macros_;
  std::uint64_t names_ = 0;  // the noted_hash bits of the names in macros_
  ArenaList<Frame> frames_;
  ArenaList<Saved> saved_;
  std::size_t depth_ = 0;
  ArenaList<std::size_t> cells_;  // the depth of the cell of each environment open
  std::size_t edefs_ = 0;         // the \edef replacements being expanded
  std::size_t expansions_ = 0;
  std::size_t produced_ = 0;
  std::size_t budget_;
  std::optional<std::string_view> pending_;  // the white space before a macro, for the first
                                             // token it gives
};

// A caller's macro, lexed: its name without the backslash.
struct GivenMacro {
  std::string_view name;
  Macro macro;
};

// The caller's macros of the last call on this thread, lexed and kept with a copy of their text:
// a caller who gives the same macros to every call, the usual way, has them lexed once. A call
// with other macros lexes them and keeps them instead.
class GivenMacros {
 public:
  Result<std::span<const GivenMacro>> lexed(std::span<const MacroDefinition> given,
                                            const LexerRules& lexer) {
    if (&lexer == lexer_ && same(given)) return std::span<const GivenMacro>(macros_);
    lexer_ = nullptr;
    text_.clear();
    ends_.clear();
    toks_.clear();
    macros_.clear();
    for (const MacroDefinition& macro : given) {
      if (macro.name.size() < 2 || macro.name.front() != '\\')
        return std::unexpected(ParseError{message::invalid_macro_name(macro.name)});
      text_ += macro.name;
      ends_.push_back(text_.size());
      text_ += macro.replacement;
      ends_.push_back(text_.size());
    }
    std::vector<std::size_t> firsts;  // each replacement's first token in toks_
    for (std::size_t i = 0; i < given.size(); ++i) {
      const std::string_view replacement = segment(2 * i + 1);
      auto lexed = tokenize(replacement, lexer);
      if (!lexed) return std::unexpected(std::move(lexed.error()));
      firsts.push_back(toks_.size());
      const TokList toks = toks_of(*lexed, replacement, 0);
      toks_.insert(toks_.end(), toks.begin(), toks.end());
    }
    firsts.push_back(toks_.size());
    for (std::size_t i = 0; i < given.size(); ++i) {
      const Toks body(toks_.data() + firsts[i], firsts[i + 1] - firsts[i]);
      std::uint8_t parameters = 0;
      for (std::size_t j = 0; j + 1 < body.size(); ++j)
        if (is_hash(body[j]) && body[j + 1].is(Tk::Number))
          parameters =
              std::max(parameters, static_cast<std::uint8_t>(body[j + 1].payload()[0] - '0'));
      macros_.push_back(
          {segment(2 * i).substr(1), Macro{.parameters = parameters, .replacement = body}});
    }
    lexer_ = &lexer;
    return std::span<const GivenMacro>(macros_);
  }

 private:
  [[nodiscard]] std::string_view segment(std::size_t i) const {
    const std::size_t start = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(start, ends_[i] - start);
  }
  [[nodiscard]] bool same(std::span<const MacroDefinition> given) const {
    if (2 * given.size() != ends_.size()) return false;
    for (std::size_t i = 0; i < given.size(); ++i)
      if (segment(2 * i) != given[i].name || segment(2 * i + 1) != given[i].replacement)
        return false;
    return true;
  }

  const LexerRules* lexer_ = nullptr;  // the rules they were lexed by; null while not valid
  std::string text_;                   // names and replacements, back to back
  std::vector<std::size_t> ends_;      // where each of them ends in text_
  std::vector<Tok> toks_;              // the replacements' tokens, in text_
  std::vector<GivenMacro> macros_;
};

thread_local GivenMacros t_given;

// Whether a formula names a macro of the document's.
bool uses(std::span<const Lexeme> tokens, std::string_view input, const MacroTable& table) {
  for (const Lexeme& lex : tokens)
    if ((lex.kind == Tk::Command || lex.kind == Tk::Escape) && table.contains(lex.payload(input)))
      return true;
  return false;
}

}  // namespace

bool is_primitive(std::string_view name) noexcept { return primitive(name).has_value(); }

Result<const Expansion*> expand_macros(std::span<const Lexeme> tokens, std::size_t definitions,
                                       std::string_view input, const LexerRules& lexer,
                                       const MacroSource& source) {
  if (source.given.empty() && source.definitions.empty() && definitions == 0 &&
      (source.document == nullptr || !uses(tokens, input, *source.document)))
    return nullptr;
  // The expansion's working lists live in an arena of their own, gone when it is written out:
  // the call's arena keeps room for the parser.
  Arena& call = current_arena();
  Arena scratch;
  const ArenaScope in_scratch(scratch);
  Expander expander(source.definitions, tokens.size(), lexer, source.document);
  if (!source.given.empty()) {
    auto given = t_given.lexed(source.given, lexer);
    if (!given) return std::unexpected(std::move(given.error()));
    for (const GivenMacro& macro : *given) expander.give(macro.name, macro.macro);
  }
  if (!source.definitions.empty()) {
    auto lexed = tokenize(source.definitions, lexer);
    if (!lexed) return std::unexpected(std::move(lexed.error()));
    const TokList preamble = toks_of(*lexed, source.definitions, UINT32_MAX);
    if (auto done = expander.read(preamble); !done) return std::unexpected(done.error());
  }
  expander.now_in(input);
  const TokList formula = toks_of(tokens, input, UINT32_MAX);
  expander.push(formula);
  TokList out;
  out.reserve(2 * formula.size());
  if (auto done = expander.run(out, 0); !done) return std::unexpected(done.error());

  // Written out: each token after its white space, the first one's included; a command that
  // would run into the letters of the token after it is parted from them by a blank. The tokens
  // are those the lexer would read from the text.
  std::size_t size = 0;
  for (const Tok& tok : Toks(out)) size += tok.gap.size() + (tok.lex.end - tok.lex.start) + 1;
  char* const text = call.allocate_array<char>(size);
  auto* lexemes = call.allocate_array<Lexeme>(out.size());
  auto* origins = call.allocate_array<std::uint32_t>(out.size());
  char* at = text;
  bool after_command = false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const Tok& tok = out[i];
    const std::string_view source = tok.source();
    at = std::ranges::copy(tok.gap, at).out;
    if (after_command && parted_from_command(tok)) *at++ = ' ';
    const auto start = static_cast<std::uint32_t>(at - text);
    lexemes[i] = {start, start + static_cast<std::uint32_t>(source.size()), tok.lex.kind};
    origins[i] = tok.origin;
    at = std::ranges::copy(source, at).out;
    after_command = tok.is(Tk::Command);
  }
  // Kept only now: a definition kept replaces the document's text of a macro that the tokens just
  // written out may still be read from.
  if (source.document != nullptr) expander.keep(*source.document);
  return call.make<Expansion>(Expansion{
      {text, static_cast<std::size_t>(at - text)}, {lexemes, out.size()}, {origins, out.size()}});
}

bool defines_macros(std::string_view formula, const LexerRules& lexer) {
  Arena arena;
  const ArenaScope scope(arena);
  std::size_t definitions = 0;
  return tokenize(formula, lexer, &definitions) && definitions > 0;
}

Result<void> read_definitions(std::string_view text, const LexerRules& lexer, MacroTable& table) {
  auto lexed = tokenize(text, lexer);
  if (!lexed) return std::unexpected(std::move(lexed.error()));
  Expander expander(text, lexed->size(), lexer, &table);
  const TokList toks = toks_of(*lexed, text, UINT32_MAX);
  if (auto done = expander.read(toks); !done) return done;
  expander.keep(table);
  return {};
}

Result<const Expansion*> as_written(std::span<const Lexeme>, std::size_t, std::string_view,
                                    const LexerRules&, const MacroSource&) {
  return nullptr;
}

ParseError placed_in_input(ParseError error, const Expansion& expansion, std::string_view input) {
  if (error.byte == std::string_view::npos) return error;
  const auto after = std::ranges::upper_bound(expansion.tokens, error.byte, {}, &Lexeme::start);
  const std::size_t index = after == expansion.tokens.begin()
                                ? 0
                                : static_cast<std::size_t>(after - expansion.tokens.begin()) - 1;
  const std::size_t origin =
      expansion.origins.empty() ? std::min(error.byte, input.size()) : expansion.origins[index];
  const std::string old_place = " at " + message::where(expansion.text, error.byte);
  const std::string new_place = " at " + message::where(input, origin);
  if (const std::size_t at = error.message.find(old_place); at != std::string::npos)
    error.message.replace(at, old_place.size(), new_place);
  error.byte = origin;
  return error;
}

}  // namespace vok
