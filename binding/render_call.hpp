// What the two Python modules, `vok` and `vok_latex`, share: the calls of render(input),
// render_markdown(text) and render_many(inputs) from argument reading to the returned object, each
// module object's state, and the guard of a module's execution slot.
//
// Each module's file declares only its module: its name, its docstrings, its attributes, the
// dialect its functions read and the keyword-only options they take (a Renderer). Everything that
// must behave the same in both lives here, so the two render() functions read their arguments the
// same way, give the same TypeError texts and notes, and map the core's errors the same way:
// ValueError for the formula, MemoryError for exhausted memory, and PanicException (a
// BaseException that `except Exception` does not swallow) for a broken invariant. Each module
// object makes its own PanicException class in its execution slot and keeps it in its state, not
// among its attributes. No C++ exception crosses into the interpreter: each entry point has one
// `try`.
//
// A call lets go of the interpreter's lock while the core draws an input that is long enough for
// it to pay (Unlocked), so the program's other threads run meanwhile; the core touches nothing of
// Python, and what it reads stays alive without the lock. A batch is drawn a slice at a time, and
// a long result made a piece at a time, so that no stretch with the lock held grows with the input.
//
// The header is included by exactly one file of each extension module; every module is its own
// shared object with hidden symbols, so what it defines is private to that module.
//
// The build defines Py_LIMITED_API (the stable ABI of CPython 3.12), except for a free-threaded
// interpreter, which that ABI does not serve; the code is the same for both.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <expected>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "vok/vok.hpp"

namespace vok_binding {

// Owner of one strong reference; the only place that releases references.
class Ref {
 public:
  Ref() noexcept = default;
  static Ref steal(PyObject* object) noexcept { return Ref(object); }
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(object_); }

  [[nodiscard]] PyObject* get() const noexcept { return object_; }
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  explicit Ref(PyObject* object) noexcept : object_(object) {}
  PyObject* object_ = nullptr;
};

// What a batch call does with a formula that cannot be drawn.
enum class Failures {
  Return,  // its ValueError, in its place
  None,    // None in its place
  Raise,   // raise it, naming its index
};

// What the keyword-only options of one call set: how its formulas are drawn and, for a document,
// how its math is written and the callable its problems go to (borrowed from the call, or null).
struct Settings {
  vok::Options options;
  vok::DocumentOptions document = {};
  PyObject* on_problem = nullptr;
  Failures failures = Failures::Return;
  Ref macro_items = {};  // the names and replacements of macros=, held for the call
  std::vector<vok::MacroDefinition> macros = {};  // views of their UTF-8 texts
};

// A keyword-only option of a module's functions: its name, and how its value sets the settings of
// one call (false, with the exception set, for a value it refuses).
struct Option {
  const char* name;
  bool (*read)(PyObject* value, const char* function, Settings& settings) noexcept;
};

// width=: a positive int, or None for no limit. A width past the largest size is that size, which
// no picture reaches: it breaks nothing. Any int below 1, however far, is refused alike.
inline bool read_width(PyObject* value, const char* function, Settings& settings) noexcept {
  vok::Options& options = settings.options;
  if (value == Py_None) {
    options.width = 0;
    return true;
  }
  if (!PyLong_Check(value) || PyBool_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s() width must be an int or None", function);
    return false;
  }
  int overflow = 0;
  const long long width = PyLong_AsLongLongAndOverflow(value, &overflow);
  if (width == -1 && overflow == 0 && PyErr_Occurred()) return false;
  if (overflow < 0 || (overflow == 0 && width < 1)) {
    PyErr_Format(PyExc_ValueError, "%s() width must be at least 1", function);
    return false;
  }
  options.width = overflow > 0 || static_cast<unsigned long long>(width) > SIZE_MAX
                      ? SIZE_MAX
                      : static_cast<std::size_t>(width);
  return true;
}

// A bool option, `name`=, setting `flag`.
inline bool read_bool(PyObject* value, const char* function, const char* name,
                      bool& flag) noexcept {
  if (!PyBool_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s() %s must be a bool", function, name);
    return false;
  }
  flag = value == Py_True;
  return true;
}

// ascii=: a bool.
inline bool read_ascii(PyObject* value, const char* function, Settings& settings) noexcept {
  return read_bool(value, function, "ascii", settings.options.ascii);
}

// linear=: a bool.
inline bool read_linear(PyObject* value, const char* function, Settings& settings) noexcept {
  return read_bool(value, function, "linear", settings.options.linear);
}

// plain=: a bool.
inline bool read_plain(PyObject* value, const char* function, Settings& settings) noexcept {
  return read_bool(value, function, "plain", settings.document.plain);
}

// A str option, `name`=, that is one of the words `choices` names (their order is the message's):
// sets `target` to the value the word stands for.
template <class T, std::size_t N>
bool read_word(PyObject* value, const char* function, const char* name,
               const std::pair<const char*, T> (&choices)[N], const char* listed,
               T& target) noexcept {
  if (!PyUnicode_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s() %s must be a str", function, name);
    return false;
  }
  for (const auto& [word, choice] : choices) {
    if (PyUnicode_CompareWithASCIIString(value, word) == 0) {
      target = choice;
      return true;
    }
  }
  PyErr_Format(PyExc_ValueError, "%s() %s must be %s", function, name, listed);
  return false;
}

// inline=: 'linear', 'picture' or 'source'.
inline bool read_inline(PyObject* value, const char* function, Settings& settings) noexcept {
  constexpr std::pair<const char*, vok::InlineMath> kForms[] = {
      {"linear", vok::InlineMath::Linear},
      {"picture", vok::InlineMath::Picture},
      {"source", vok::InlineMath::Source}};
  return read_word(value, function, "inline", kForms, "'linear', 'picture' or 'source'",
                   settings.document.inline_math);
}

// on_problem=: a callable, or None for none.
inline bool read_on_problem(PyObject* value, const char* function, Settings& settings) noexcept {
  if (value != Py_None && PyCallable_Check(value) == 0) {
    PyErr_Format(PyExc_TypeError, "%s() on_problem must be callable or None", function);
    return false;
  }
  settings.on_problem = value == Py_None ? nullptr : value;
  return true;
}

// macros=: a mapping of command names ('\\R') to their replacements, both str, or None. The call
// holds its own copy of the mapping (a dict's shallow copy, another mapping's items), so the
// strings stay alive while other threads run, whatever they do to the caller's mapping, which is
// never changed.
inline bool read_macros(PyObject* value, const char* function, Settings& settings) noexcept {
  settings.macros.clear();
  settings.options.macros = {};
  if (value == Py_None) return true;
  const auto refuse = [function] {
    PyErr_Format(PyExc_TypeError, "%s() macros must be a mapping of str to str, or None", function);
    return false;
  };
  if (PyUnicode_Check(value) || PyMapping_Check(value) == 0) return refuse();
  const auto add = [&](PyObject* name, PyObject* replacement) {
    if (!PyUnicode_Check(name) || !PyUnicode_Check(replacement)) return refuse();
    Py_ssize_t name_size = 0, replacement_size = 0;
    const char* name_text = PyUnicode_AsUTF8AndSize(name, &name_size);
    const char* replacement_text = PyUnicode_AsUTF8AndSize(replacement, &replacement_size);
    if (name_text == nullptr || replacement_text == nullptr) return false;
    settings.macros.push_back(
        {std::string_view(name_text, static_cast<std::size_t>(name_size)),
         std::string_view(replacement_text, static_cast<std::size_t>(replacement_size))});
    return true;
  };
  if (PyDict_Check(value)) {
    Ref copy = Ref::steal(PyDict_Copy(value));
    if (!copy) return false;
    settings.macros.reserve(static_cast<std::size_t>(PyDict_Size(copy.get())));
    Py_ssize_t at = 0;
    PyObject *name = nullptr, *replacement = nullptr;
    while (PyDict_Next(copy.get(), &at, &name, &replacement))
      if (!add(name, replacement)) return false;
    settings.macro_items = std::move(copy);
    settings.options.macros = settings.macros;
    return true;
  }
  Ref items = Ref::steal(PyMapping_Items(value));
  if (!items) {
    // A sequence passes the check and has no items(): it is no mapping.
    if (!PyErr_ExceptionMatches(PyExc_AttributeError) && !PyErr_ExceptionMatches(PyExc_TypeError))
      return false;
    PyErr_Clear();
    return refuse();
  }
  const Py_ssize_t count = PyList_Size(items.get());
  if (count < 0) return false;
  settings.macros.reserve(static_cast<std::size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* pair = PyList_GetItem(items.get(), i);
    PyObject* name = pair != nullptr ? PyTuple_GetItem(pair, 0) : nullptr;
    PyObject* replacement = pair != nullptr ? PyTuple_GetItem(pair, 1) : nullptr;
    if (name == nullptr || replacement == nullptr || !add(name, replacement)) return false;
  }
  settings.macro_items = std::move(items);
  settings.options.macros = settings.macros;
  return true;
}

// errors=: 'return', 'none' or 'raise'.
inline bool read_errors(PyObject* value, const char* function, Settings& settings) noexcept {
  constexpr std::pair<const char*, Failures> kPolicies[] = {
      {"return", Failures::Return}, {"none", Failures::None}, {"raise", Failures::Raise}};
  return read_word(value, function, "errors", kPolicies, "'return', 'none' or 'raise'",
                   settings.failures);
}

// The options a module can list for its functions.
inline constexpr Option kWidth{"width", read_width};
inline constexpr Option kAscii{"ascii", read_ascii};
inline constexpr Option kLinear{"linear", read_linear};
inline constexpr Option kInline{"inline", read_inline};
inline constexpr Option kPlain{"plain", read_plain};
inline constexpr Option kOnProblem{"on_problem", read_on_problem};
inline constexpr Option kMacros{"macros", read_macros};
inline constexpr Option kErrors{"errors", read_errors};

// What one module declares: the dialect its functions read, the keyword-only options they take,
// and the qualified name of its PanicException.
struct Renderer {
  vok::Options options;
  std::span<const Option> keywords;
  const char* panic_name;  // "module.PanicException"
};

// A module object's state: its PanicException class. It lives in the zeroed memory the
// interpreter gives the module; exec_module constructs it there and free_state destroys it.
struct State {
  Ref panic_type;
};

inline constexpr const char* kGenericPanic = "vok: internal error";

inline constexpr const char* kPanicDoc =
    "An internal invariant of vok was broken. This is a bug in vok, not in the formula; it "
    "derives from BaseException so that `except Exception` does not hide it.";

// The state of `module`, or null when it has none yet.
inline State* state_of(PyObject* module) noexcept {
  return static_cast<State*>(PyModule_GetState(module));
}

// The module's m_traverse, m_clear and m_free: the interpreter calls them only once the state
// exists.
inline int traverse_state(PyObject* module, visitproc visit, void* arg) noexcept {
  if (State* state = state_of(module)) Py_VISIT(state->panic_type.get());
  return 0;
}

inline int clear_state(PyObject* module) noexcept {
  if (State* state = state_of(module)) state->panic_type = Ref();
  return 0;
}

inline void free_state(void* module) noexcept {
  if (State* state = state_of(static_cast<PyObject*>(module))) state->~State();
}

// Raises the module's PanicException with `what` as its argument; SystemError instead once the
// module's state has been cleared, as the collector does to a module it frees.
inline void raise_panic(PyObject* module, const char* what) noexcept {
  const State* state = state_of(module);
  PyObject* type =
      state != nullptr && state->panic_type ? state->panic_type.get() : PyExc_SystemError;
  Ref text =
      Ref::steal(PyUnicode_DecodeUTF8(what, static_cast<Py_ssize_t>(std::strlen(what)), "replace"));
  if (text) PyErr_SetObject(type, text.get());
}

// Attaches `note` to the pending exception; a failure of add_note itself is ignored.
inline void add_note(Ref note) noexcept {
  PyObject* raised = PyErr_GetRaisedException();
  if (raised == nullptr) return;
  Ref result = note ? Ref::steal(PyObject_CallMethod(raised, "add_note", "O", note.get())) : Ref();
  if (!result) PyErr_Clear();
  PyErr_SetRaisedException(raised);
}

// Attaches the note "while processing 'PARAMETER'" (the argument's name: 'input', 'text') to the
// pending exception.
inline void add_input_note(const char* parameter) noexcept {
  add_note(Ref::steal(PyUnicode_FromFormat("while processing '%s'", parameter)));
}

// Attaches the note "while processing 'PARAMETER[INDEX]'" (an entry of a batch: 'inputs[7]').
inline void add_entry_note(const char* parameter, Py_ssize_t index) noexcept {
  add_note(Ref::steal(PyUnicode_FromFormat("while processing '%s[%zd]'", parameter, index)));
}

// Raises TypeError for an argument that is not a str, as the interpreter words it.
inline void refuse_non_str(PyObject* input) noexcept {
  if (input == Py_None) {
    PyErr_SetString(PyExc_TypeError, "'None' is not an instance of 'str'");
    return;
  }
  Ref name = Ref::steal(PyType_GetQualName(Py_TYPE(input)));
  if (name) PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of 'str'", name.get());
}

// The interpreter's lock let go while the core works on a large input, so the program's other
// threads run meanwhile, and taken back before anything touches Python again: by hold(), or when
// the guard goes (an exception from the core included). What the core reads meanwhile must stay
// alive without the lock: the call's argument (held by its caller), its own copies of the rest.
class Unlocked {
 public:
  explicit Unlocked(bool release) noexcept : saved_(release ? PyEval_SaveThread() : nullptr) {}
  ~Unlocked() { hold(); }
  Unlocked(const Unlocked&) = delete;
  Unlocked& operator=(const Unlocked&) = delete;
  void hold() noexcept {
    if (saved_ != nullptr) PyEval_RestoreThread(std::exchange(saved_, nullptr));
  }
  // Lets the lock go again, between two pieces of work that need it.
  void let_go() noexcept {
    if (saved_ == nullptr) saved_ = PyEval_SaveThread();
  }
  // Lets the lock go for long enough that a thread waiting for it takes it, then takes it back.
  void pause() noexcept;

 private:
  PyThreadState* saved_;
};

// The input size from which a call lets the lock go: letting it go and taking it back costs as
// much as drawing a few dozen bytes of a formula, so a typical formula keeps it.
inline constexpr std::size_t kUnlockBytes = 512;

// Making a str holds the lock for as long as its text takes to copy: a large text (a long
// formula's picture, a document) is made a piece of this many code units at a time (a few tenths
// of a millisecond each), the lock let go between two pieces, and the pieces joined, which is one
// copy at memory speed.
inline constexpr std::size_t kPieceUnits = 256 * 1024;

// How long the lock stays free between two pieces. A thread waiting for it takes this long to
// wake; taken back at once, the lock would go to this thread again and again (the waiting thread
// only asks for it after the interpreter's switch interval with no switch, and every piece is a
// switch), and the other threads would wait for the whole text.
inline constexpr std::chrono::microseconds kPiecePause{50};

inline void Unlocked::pause() noexcept {
  let_go();
  std::this_thread::sleep_for(kPiecePause);
  hold();
}

// The UTF-8 text of a long str that is not ASCII, encoded a piece at a time with the lock let go
// between pieces (the interpreter's own encoding would hold it for the whole text, and keep the
// copy in the str for good); false, with the exception set, when a piece cannot be encoded.
inline bool encode_in_pieces(PyObject* input, Py_ssize_t length, std::string& utf8) {
  Unlocked unlocked(false);
  const auto step = static_cast<Py_ssize_t>(kPieceUnits);
  for (Py_ssize_t start = 0; start < length; start += step) {
    if (start > 0) unlocked.pause();
    Ref piece = Ref::steal(PyUnicode_Substring(input, start, std::min(length, start + step)));
    Ref bytes = piece ? Ref::steal(PyUnicode_AsUTF8String(piece.get())) : Ref();
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (!bytes || PyBytes_AsStringAndSize(bytes.get(), &data, &size) < 0) return false;
    utf8.append(data, static_cast<std::size_t>(size));
  }
  return true;
}

// The UTF-8 text of a str (or str subclass), the argument named `parameter`: borrowed from the
// object, and living as long as it; or, for a long str that is not ASCII, encoded into `storage`
// a piece at a time.
inline bool read_text(PyObject* input, const char* parameter, std::string& storage,
                      std::string_view& text) {
  if (!PyUnicode_Check(input)) {
    refuse_non_str(input);
    add_input_note(parameter);
    return false;
  }
  const Py_ssize_t length = PyUnicode_GetLength(input);
  if (length > static_cast<Py_ssize_t>(kPieceUnits)) {
    Ref ascii = Ref::steal(PyObject_CallMethod(input, "isascii", nullptr));
    if (!ascii) return false;
    if (ascii.get() != Py_True) {
      if (encode_in_pieces(input, length, storage)) {
        text = storage;
        return true;
      }
      if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return false;
      PyErr_Clear();  // the whole text's encoding below raises the interpreter's own error
    }
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(input, &size);
  if (data == nullptr) {  // lone surrogates: the interpreter's UnicodeEncodeError
    add_input_note(parameter);
    return false;
  }
  text = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

// The arguments of a call of `function`: its one argument, named `parameter`, positional or
// keyword, and the keyword-only options the function takes, set over the module's
// options. One pass over the keyword names matches each once against the names the
// function takes. False, with the interpreter's exception set, when they are not right; of several
// problems the one reported is the first in this list: a refused option value (the earliest in the
// call), more than one positional argument, a keyword the function does not take or one naming the
// argument a second time (the earliest), no argument. The argument is the caller's, borrowed.
inline bool read_arguments(const Renderer& renderer, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames, const char* function, const char* parameter,
                           Settings& settings, PyObject*& argument) noexcept {
  settings = {.options = renderer.options};
  PyObject* input = nargs > 0 ? args[0] : nullptr;
  PyObject* stray = nullptr;  // the first keyword not taken, or naming the argument a second time
  const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_Size(kwnames);
  for (Py_ssize_t i = 0; i < nkw; ++i) {
    PyObject* key = PyTuple_GetItem(kwnames, i);
    if (key == nullptr) return false;
    PyObject* value = args[nargs + i];
    if (PyUnicode_CompareWithASCIIString(key, parameter) == 0) {
      if (input == nullptr) {
        input = value;
      } else if (stray == nullptr) {
        stray = key;
      }
      continue;
    }
    const auto option = std::ranges::find_if(renderer.keywords, [key](const Option& taken) {
      return PyUnicode_CompareWithASCIIString(key, taken.name) == 0;
    });
    if (option != renderer.keywords.end()) {
      if (!option->read(value, function, settings)) return false;
    } else if (stray == nullptr) {
      stray = key;
    }
  }
  if (nargs > 1) {
    PyErr_Format(PyExc_TypeError, "%s() takes 1 positional argument but %zd were given", function,
                 nargs);
    return false;
  }
  if (stray != nullptr) {
    if (PyUnicode_CompareWithASCIIString(stray, parameter) == 0) {
      PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function,
                   parameter);
    } else {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", function,
                   stray);
    }
    return false;
  }
  if (input == nullptr) {
    PyErr_Format(PyExc_TypeError, "%s() missing 1 required positional argument: '%s'", function,
                 parameter);
    return false;
  }
  argument = input;
  return true;
}

// The text of a call's one argument, a str: read_arguments, then read_text.
inline bool read_text_arguments(const Renderer& renderer, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames, const char* function, const char* parameter,
                                Settings& settings, std::string& storage, std::string_view& text) {
  PyObject* input = nullptr;
  return read_arguments(renderer, args, nargs, kwnames, function, parameter, settings, input) &&
         read_text(input, parameter, storage, text);
}

// Raises ValueError with the core's message.
inline void raise_value_error(const std::string& message) noexcept {
  Ref value = Ref::steal(
      PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
  if (value) PyErr_SetObject(PyExc_ValueError, value.get());
}

// A str of UTF-32 text from the core; null, with the exception set, when it cannot be made: a
// character the interpreter refuses is a broken invariant.
inline PyObject* utf32_str(PyObject* module, std::u32string_view text) noexcept {
  // wchar_t is UTF-32 here, so the interpreter copies the text without decoding it.
  static_assert(sizeof(wchar_t) == sizeof(char32_t));
  static constexpr wchar_t kNothing[1] = {};
  const auto* chars = text.empty() ? kNothing : reinterpret_cast<const wchar_t*>(text.data());
  PyObject* made = PyUnicode_FromWideChar(chars, static_cast<Py_ssize_t>(text.size()));
  if (made == nullptr && !PyErr_ExceptionMatches(PyExc_MemoryError)) {
    PyErr_Clear();
    raise_panic(module, "vok: the picture holds a character that is not a Unicode scalar value");
  }
  return made;
}

// A str of UTF-8 text from the core; null, with the exception set, when it cannot be made: text
// that is not UTF-8 is a broken invariant.
inline PyObject* utf8_str(PyObject* module, std::string_view text) noexcept {
  PyObject* made =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
  if (made == nullptr && !PyErr_ExceptionMatches(PyExc_MemoryError)) {
    PyErr_Clear();
    raise_panic(module, "vok: the document is not UTF-8");
  }
  return made;
}

// The str of a large `text` (UTF-32 or UTF-8), made in pieces by `make` and joined, with `unlocked`
// let go between pieces; the lock is held when it returns. A piece of UTF-8 ends before a byte
// that continues a character.
template <class Char, class Make>
PyObject* str_in_pieces(Unlocked& unlocked, std::basic_string_view<Char> text, Make make) noexcept {
  unlocked.hold();
  if (text.size() <= kPieceUnits) return make(text);
  Ref pieces = Ref::steal(PyList_New(0));
  if (!pieces) return nullptr;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = std::min(start + kPieceUnits, text.size());
    if constexpr (sizeof(Char) == 1) {
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    if (start > 0) unlocked.pause();  // between two pieces, the program's other threads run
    Ref piece = Ref::steal(make(text.substr(start, end - start)));
    if (!piece || PyList_Append(pieces.get(), piece.get()) < 0) return nullptr;
    start = end;
  }
  Ref empty = Ref::steal(PyUnicode_FromStringAndSize("", 0));
  return empty ? PyUnicode_Join(empty.get(), pieces.get()) : nullptr;
}

inline PyObject* render_checked(const Renderer& renderer, PyObject* module, PyObject* const* args,
                                Py_ssize_t nargs, PyObject* kwnames) {
  Settings settings;
  std::string storage;
  std::string_view text;
  if (!read_text_arguments(renderer, args, nargs, kwnames, "render", "input", settings, storage,
                           text))
    return nullptr;

  // The picture arrives as UTF-32 straight from the core's arena; the str is made there, the lock
  // taken back first when it was let go.
  struct Result {
    PyObject* module;
    Unlocked unlocked;
    PyObject* str = nullptr;
  } result{module, Unlocked(text.size() >= kUnlockBytes)};
  const auto make_str = [](std::u32string_view picture, void* context) {
    auto& made = *static_cast<Result*>(context);
    made.str = str_in_pieces(made.unlocked, picture, [&made](std::u32string_view piece) {
      return utf32_str(made.module, piece);
    });
  };
  auto rendered = vok::render_utf32(text, make_str, &result, settings.options);
  result.unlocked.hold();
  if (!rendered) {
    raise_value_error(rendered.error().message);
    return nullptr;
  }
  return result.str;
}

// Calls on_problem(line, column, message) for each problem of a document, in order; false, with
// its exception set, once a call raises.
inline bool report_problems(PyObject* on_problem,
                            const std::vector<vok::DocumentProblem>& problems) noexcept {
  for (const vok::DocumentProblem& problem : problems) {
    Ref line = Ref::steal(PyLong_FromSize_t(problem.line));
    Ref column = Ref::steal(PyLong_FromSize_t(problem.column));
    Ref message = Ref::steal(PyUnicode_FromStringAndSize(
        problem.message.data(), static_cast<Py_ssize_t>(problem.message.size())));
    if (!line || !column || !message) return false;
    Ref done = Ref::steal(
        PyObject_CallFunctionObjArgs(on_problem, line.get(), column.get(), message.get(), nullptr));
    if (!done) return false;
  }
  return true;
}

inline PyObject* markdown_checked(const Renderer& renderer, PyObject* module, PyObject* const* args,
                                  Py_ssize_t nargs, PyObject* kwnames) {
  Settings settings;
  std::string storage;
  std::string_view text;
  if (!read_text_arguments(renderer, args, nargs, kwnames, "render_markdown", "text", settings,
                           storage, text))
    return nullptr;
  Unlocked unlocked(text.size() >= kUnlockBytes);
  const vok::Document document = vok::render_markdown(text, settings.options, settings.document);
  Ref result = Ref::steal(
      str_in_pieces(unlocked, std::string_view(document.text),
                    [module](std::string_view piece) { return utf8_str(module, piece); }));
  if (!result) return nullptr;
  if (settings.on_problem != nullptr && !report_problems(settings.on_problem, document.problems))
    return nullptr;
  return result.release();
}

// A batch's formulas are drawn a slice at a time: the slice's texts are borrowed with the lock
// held, drawn with it let go, and their strs made with it held again; a slice is this many input
// bytes (or the rest of the batch), long enough that letting the lock go costs nothing against it,
// short enough that making its strs keeps other threads waiting well under a millisecond.
inline constexpr std::size_t kSliceBytes = 64 * 1024;

// What a slice of a batch came to, entry by entry: where its picture ends in the slice's UTF-32
// text, or the message of the error it gave; or, for a str the interpreter cannot encode, the
// exception it raised, and then the entry is not drawn.
struct SliceEntry {
  std::string_view text;
  Ref unread = {};
  std::expected<std::size_t, std::string> outcome = 0;
};

// Puts the outcome of a failed entry at `index` of `results` as `failures` says; false, with the
// exception set, when it is to be raised (or cannot be made). The exception is pending.
inline bool place_failure(PyObject* results, Py_ssize_t index, Failures failures,
                          const char* parameter) noexcept {
  if (failures == Failures::Raise) {
    add_entry_note(parameter, index);
    return false;
  }
  PyObject* raised = PyErr_GetRaisedException();
  if (failures == Failures::None) {
    Py_XDECREF(raised);
    return PyList_SetItem(results, index, Py_NewRef(Py_None)) == 0;
  }
  return raised != nullptr && PyList_SetItem(results, index, raised) == 0;
}

inline PyObject* render_many_checked(const Renderer& renderer, PyObject* module,
                                     PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  constexpr const char* kFunction = "render_many";
  constexpr const char* kParameter = "inputs";
  Settings settings;
  PyObject* inputs = nullptr;
  if (!read_arguments(renderer, args, nargs, kwnames, kFunction, kParameter, settings, inputs))
    return nullptr;
  if (PyUnicode_Check(inputs)) {
    PyErr_Format(PyExc_TypeError, "%s() inputs must be an iterable of str, not a str", kFunction);
    return nullptr;
  }
  // A list of the call's own holds every formula for the call, whatever other threads do.
  Ref formulas = Ref::steal(PySequence_List(inputs));
  if (!formulas) {
    add_input_note(kParameter);
    return nullptr;
  }
  const Py_ssize_t count = PyList_Size(formulas.get());
  Ref results = Ref::steal(PyList_New(count));
  if (!results) return nullptr;

  std::vector<SliceEntry> slice;
  std::u32string pictures;
  const auto append = [](std::u32string_view picture, void* context) {
    static_cast<std::u32string*>(context)->append(picture);
  };
  for (Py_ssize_t first = 0; first < count;) {
    // Borrow the slice's texts.
    slice.clear();
    std::size_t bytes = 0;
    for (Py_ssize_t at = first; at < count && (at == first || bytes < kSliceBytes); ++at) {
      PyObject* item = PyList_GetItem(formulas.get(), at);
      if (item == nullptr) return nullptr;
      if (!PyUnicode_Check(item)) {
        refuse_non_str(item);
        add_entry_note(kParameter, at);
        return nullptr;
      }
      Py_ssize_t size = 0;
      const char* data = PyUnicode_AsUTF8AndSize(item, &size);
      SliceEntry& entry = slice.emplace_back();
      if (data == nullptr) {  // lone surrogates: a formula that cannot be read
        entry.unread = Ref::steal(PyErr_GetRaisedException());
        continue;
      }
      entry.text = std::string_view(data, static_cast<std::size_t>(size));
      bytes += entry.text.size();
    }
    // Draw them.
    pictures.clear();
    {
      Unlocked unlocked(bytes >= kUnlockBytes);
      for (SliceEntry& entry : slice) {
        if (entry.unread) continue;
        auto rendered = vok::render_utf32(entry.text, append, &pictures, settings.options);
        if (rendered) {
          entry.outcome = pictures.size();
        } else {
          entry.outcome = std::unexpected(std::move(rendered.error().message));
          if (settings.failures == Failures::Raise) break;
        }
      }
    }
    // Make their results.
    std::size_t start = 0;
    for (SliceEntry& entry : slice) {
      const Py_ssize_t at = first++;
      if (entry.unread || !entry.outcome) {
        if (entry.unread)
          PyErr_SetRaisedException(entry.unread.release());
        else
          raise_value_error(entry.outcome.error());
        if (!place_failure(results.get(), at, settings.failures, kParameter)) return nullptr;
        continue;
      }
      const std::size_t end = *entry.outcome;
      PyObject* made = utf32_str(module, std::u32string_view(pictures).substr(start, end - start));
      if (made == nullptr || PyList_SetItem(results.get(), at, made) < 0) return nullptr;
      start = end;
    }
  }
  return results.release();
}

// A module function as the interpreter calls it (vector call with keyword names, bound to the
// module, its self): `checked` with the options of `renderer`'s functions, and the one place where
// C++ exceptions stop. The bodies are render_checked (render(input)), markdown_checked
// (render_markdown(text): the document with its math drawn; the formulas that cannot be drawn
// stay as written, each reported to on_problem when it is given) and render_many_checked
// (render_many(inputs): the pictures in order, each that fails marked as errors= says).
template <auto checked, const Renderer& renderer>
PyObject* entry(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                PyObject* kwnames) noexcept {
  try {
    return checked(renderer, module, args, nargs, kwnames);
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::exception& error) {
    raise_panic(module, error.what());
  } catch (...) {
    raise_panic(module, kGenericPanic);
  }
  return nullptr;
}

// entry<checked, renderer> as a PyMethodDef holds it.
template <auto checked, const Renderer& renderer>
PyCFunction method() noexcept {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry<checked, renderer>));
}

// Sets a public attribute of the module and appends its name to the module's __all__.
inline int add_public(PyObject* module, const char* name, PyObject* value) noexcept {
  Ref key = Ref::steal(PyUnicode_FromString(name));
  if (!key) return -1;
  Ref all = Ref::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = Ref::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return -1;
  }
  if (PyList_Append(all.get(), key.get()) < 0) return -1;
  return PyObject_SetAttr(module, key.get(), value);
}

// Adds one of the module's functions as a public attribute, bound to the module: the module is the
// self it is called with, through which it reaches the module's state.
inline int add_render(PyObject* module, PyMethodDef& render_def) noexcept {
  Ref module_name = Ref::steal(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  Ref function = Ref::steal(PyCMethod_New(&render_def, module, module_name.get(), nullptr));
  if (!function) return -1;
  return add_public(module, render_def.ml_name, function.get());
}

// Runs a module's execution slot: makes the module's state and its PanicException, then calls
// `fill(module)`; the one place where its C++ exceptions stop. Every module object, a second one
// made from the same spec included, gets its own state and class.
template <class Fill>
int exec_module(const Renderer& renderer, PyObject* module, Fill fill) noexcept {
  try {
    if (!PyType_IsSubtype(Py_TYPE(module), &PyModule_Type)) {
      PyErr_SetString(PyExc_TypeError, "vok: the execution slot received a non-module object");
      return -1;
    }
    void* memory = PyModule_GetState(module);
    if (memory == nullptr) {
      PyErr_SetString(PyExc_SystemError, "vok: the module has no state");
      return -1;
    }
    State* state = new (memory) State{};
    state->panic_type = Ref::steal(
        PyErr_NewExceptionWithDoc(renderer.panic_name, kPanicDoc, PyExc_BaseException, nullptr));
    if (!state->panic_type) return -1;
    return fill(module);
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (...) {
    raise_panic(module, kGenericPanic);
  }
  return -1;
}

}  // namespace vok_binding
