// What the two Python modules, `vok` and `vok_latex`, share: the call of render(input) from
// argument reading to the returned str, each module object's state, and the guard of a module's
// execution slot.
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
// The header is included by exactly one file of each extension module; every module is its own
// shared object with hidden symbols, so what it defines is private to that module.
#pragma once

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x030C0000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <string_view>
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

// What the keyword-only options of one call set: how its formulas are drawn and, for a document,
// how its math is written and the callable its problems go to (borrowed from the call, or null).
struct Settings {
  vok::Options options;
  vok::DocumentOptions document = {};
  PyObject* on_problem = nullptr;
  Ref macro_items = {};  // the (name, replacement) pairs of macros=, held for the call
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

// inline=: 'linear', 'picture' or 'source'.
inline bool read_inline(PyObject* value, const char* function, Settings& settings) noexcept {
  if (!PyUnicode_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s() inline must be a str", function);
    return false;
  }
  constexpr std::pair<const char*, vok::InlineMath> kForms[] = {
      {"linear", vok::InlineMath::Linear},
      {"picture", vok::InlineMath::Picture},
      {"source", vok::InlineMath::Source}};
  for (const auto& [word, form] : kForms) {
    if (PyUnicode_CompareWithASCIIString(value, word) == 0) {
      settings.document.inline_math = form;
      return true;
    }
  }
  PyErr_Format(PyExc_ValueError, "%s() inline must be 'linear', 'picture' or 'source'", function);
  return false;
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

// macros=: a mapping of command names ('\\R') to their replacements, both str, or None. A dict's
// strings are borrowed; another mapping's pairs are copied into a list the call holds. The caller's
// mapping is never changed.
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
    // A dict's strings are borrowed: no Python code runs before the call is over with them.
    settings.macros.reserve(static_cast<std::size_t>(PyDict_Size(value)));
    Py_ssize_t at = 0;
    PyObject *name = nullptr, *replacement = nullptr;
    while (PyDict_Next(value, &at, &name, &replacement))
      if (!add(name, replacement)) return false;
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

// The options a module can list for its functions.
inline constexpr Option kWidth{"width", read_width};
inline constexpr Option kAscii{"ascii", read_ascii};
inline constexpr Option kLinear{"linear", read_linear};
inline constexpr Option kInline{"inline", read_inline};
inline constexpr Option kPlain{"plain", read_plain};
inline constexpr Option kOnProblem{"on_problem", read_on_problem};
inline constexpr Option kMacros{"macros", read_macros};

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

// Attaches the note "while processing 'PARAMETER'" (the argument's name: 'input', 'text') to the
// pending exception; a failure of add_note itself is ignored.
inline void add_input_note(const char* parameter) noexcept {
  PyObject* raised = PyErr_GetRaisedException();
  if (raised == nullptr) return;
  Ref note = Ref::steal(PyUnicode_FromFormat("while processing '%s'", parameter));
  Ref result = note ? Ref::steal(PyObject_CallMethod(raised, "add_note", "O", note.get())) : Ref();
  if (!result) PyErr_Clear();
  PyErr_SetRaisedException(raised);
}

// Borrows the UTF-8 text of a str (or str subclass), the argument named `parameter`; the text lives
// as long as the object.
inline bool borrow_text(PyObject* input, const char* parameter, std::string_view& text) noexcept {
  if (!PyUnicode_Check(input)) {
    if (input == Py_None) {
      PyErr_SetString(PyExc_TypeError, "'None' is not an instance of 'str'");
    } else {
      Ref name = Ref::steal(PyType_GetQualName(Py_TYPE(input)));
      if (name)
        PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of 'str'", name.get());
    }
    add_input_note(parameter);
    return false;
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

// The arguments of a call of `function`: the text of its one argument, named `parameter`,
// positional or keyword, and the keyword-only options the function takes, set over the module's
// options. One pass over the keyword names matches each once against the names the
// function takes. False, with the interpreter's exception set, when they are not right; of several
// problems the one reported is the first in this list: a refused option value (the earliest in the
// call), more than one positional argument, a keyword the function does not take or one naming the
// argument a second time (the earliest), no argument, an argument that is not a str.
inline bool read_arguments(const Renderer& renderer, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames, const char* function, const char* parameter,
                           Settings& settings, std::string_view& text) noexcept {
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
  return borrow_text(input, parameter, text);
}

inline PyObject* render_checked(const Renderer& renderer, PyObject* module, PyObject* const* args,
                                Py_ssize_t nargs, PyObject* kwnames) {
  Settings settings;
  std::string_view text;
  if (!read_arguments(renderer, args, nargs, kwnames, "render", "input", settings, text))
    return nullptr;

  // The picture arrives as UTF-32 straight from the core's arena; wchar_t is UTF-32 here, so the
  // interpreter copies it without decoding.
  static_assert(sizeof(wchar_t) == sizeof(char32_t));
  PyObject* result = nullptr;
  const auto make_str = [](std::u32string_view picture, void* context) {
    static constexpr wchar_t kNothing[1] = {};
    const auto* chars =
        picture.empty() ? kNothing : reinterpret_cast<const wchar_t*>(picture.data());
    *static_cast<PyObject**>(context) =
        PyUnicode_FromWideChar(chars, static_cast<Py_ssize_t>(picture.size()));
  };
  auto rendered = vok::render_utf32(text, make_str, &result, settings.options);
  if (!rendered) {
    const std::string& message = rendered.error().message;
    Ref value = Ref::steal(
        PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (value) PyErr_SetObject(PyExc_ValueError, value.get());
    return nullptr;
  }
  if (result == nullptr && !PyErr_ExceptionMatches(PyExc_MemoryError)) {
    PyErr_Clear();  // the core drew a character the interpreter refuses: a broken invariant
    raise_panic(module, "vok: the picture holds a character that is not a Unicode scalar value");
  }
  return result;
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
  std::string_view text;
  if (!read_arguments(renderer, args, nargs, kwnames, "render_markdown", "text", settings, text))
    return nullptr;
  const vok::Document document = vok::render_markdown(text, settings.options, settings.document);
  const std::string& bytes = document.text;
  Ref result = Ref::steal(
      PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "strict"));
  if (!result) {
    if (!PyErr_ExceptionMatches(PyExc_MemoryError)) {
      PyErr_Clear();  // the core wrote bytes that are not UTF-8: a broken invariant
      raise_panic(module, "vok: the document is not UTF-8");
    }
    return nullptr;
  }
  if (settings.on_problem != nullptr && !report_problems(settings.on_problem, document.problems))
    return nullptr;
  return result.release();
}

// Calls `checked` with a vector call's arguments and the module the function is bound to: the one
// place where C++ exceptions stop.
template <auto checked>
PyObject* guarded(const Renderer& renderer, PyObject* module, PyObject* const* args,
                  Py_ssize_t nargs, PyObject* kwnames) noexcept {
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

// The body of a module's render(input) (vector call with keyword names); `module` is the function's
// self, the module it is bound to.
inline PyObject* render_call(const Renderer& renderer, PyObject* module, PyObject* const* args,
                             Py_ssize_t nargs, PyObject* kwnames) noexcept {
  return guarded<render_checked>(renderer, module, args, nargs, kwnames);
}

// The body of render_markdown(text): the document with its math drawn, as a str; the formulas
// that cannot be drawn stay as written, each reported to on_problem when it is given.
inline PyObject* markdown_call(const Renderer& renderer, PyObject* module, PyObject* const* args,
                               Py_ssize_t nargs, PyObject* kwnames) noexcept {
  return guarded<markdown_checked>(renderer, module, args, nargs, kwnames);
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
