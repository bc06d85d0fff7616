// The Python module `vok_latex`: render(input) reading LaTeX as people write it,
// render_many(inputs) drawing a batch of formulas, render_markdown(text) drawing the math of a
// Markdown document, and the package's __version__.
//
// This file only declares the module: its docstrings, its attributes, the dialect it reads and the
// keyword-only options its functions take. The call itself is render_call.hpp's, shared with
// `vok`, so both render() functions read their arguments the same way, raise the same exceptions
// with the same texts and notes, and have the same limits; only the dialect and the options
// differ. It is written against the stable ABI of CPython 3.12, and no C++ exception crosses into
// the interpreter: std::bad_alloc becomes MemoryError and anything else vok_latex.PanicException,
// a BaseException that `except Exception` does not swallow.
#include "render_call.hpp"

#ifndef VOK_VERSION
#error "VOK_VERSION must be defined by the build (the project version)"
#endif

namespace {

// The keyword-only options of render().
constexpr vok_binding::Option keywords[] = {vok_binding::kWidth, vok_binding::kAscii,
                                            vok_binding::kLinear, vok_binding::kMacros};

constexpr vok_binding::Renderer renderer{.options = {.dialect = vok::Dialect::Latex},
                                         .keywords = keywords,
                                         .panic_name = "vok_latex.PanicException"};

// The keyword-only options of render_many(): render()'s, and what a formula that fails gives.
constexpr vok_binding::Option many_keywords[] = {vok_binding::kWidth, vok_binding::kAscii,
                                                 vok_binding::kLinear, vok_binding::kMacros,
                                                 vok_binding::kErrors};

constexpr vok_binding::Renderer many_renderer{
    .options = renderer.options, .keywords = many_keywords, .panic_name = renderer.panic_name};

// The keyword-only options of render_markdown(): render()'s, and how the document is written.
constexpr vok_binding::Option markdown_keywords[] = {vok_binding::kWidth,     vok_binding::kAscii,
                                                     vok_binding::kInline,    vok_binding::kPlain,
                                                     vok_binding::kOnProblem, vok_binding::kMacros};

constexpr vok_binding::Renderer markdown_renderer{
    .options = renderer.options, .keywords = markdown_keywords, .panic_name = renderer.panic_name};

// The functions the interpreter calls.
PyMethodDef render_def = {
    "render",
    vok_binding::method<vok_binding::render_checked, renderer>(),
    METH_FASTCALL | METH_KEYWORDS,
    "render(input, *, width=None, ascii=False, linear=False, macros=None)\n--\n\n"
    "The picture of a LaTeX formula: its rows from top to bottom, each as wide as the picture\n"
    "(in display columns: a wide character takes two) and followed by a line feed; the empty\n"
    "formula gives ''.\n"
    "\n"
    "width: a formula wider than this is broken at its top-level relations, else at its binary\n"
    "operators, the continuation lines indented; one that cannot be broken is left whole.\n"
    "ascii: every drawing character from ASCII, and scripts on rows of their own.\n"
    "linear: the formula on one row, as written in running text: a/b, √x, x², e^(iπ),\n"
    "(a  b; c  d); a formula whose picture is one row is that row. width then breaks\n"
    "nothing; with ascii, ASCII alone: sqrt(x), x^2, sum_(i=1)^n.\n"
    "macros: a mapping of command names to replacement texts, {'\\\\R': '\\\\mathbb{R}'}, with\n"
    "#1 ... #9 for arguments, in force as if defined before the formula; the formula's own\n"
    "\\newcommand, \\def, \\let and \\DeclareMathOperator are expanded in any case.\n"
    "\n"
    "Raises ValueError when the formula does not lex, parse or render.",
};

PyMethodDef many_def = {
    "render_many",
    vok_binding::method<vok_binding::render_many_checked, many_renderer>(),
    METH_FASTCALL | METH_KEYWORDS,
    "render_many(inputs, *, errors='return', width=None, ascii=False, linear=False, "
    "macros=None)\n--\n\n"
    "The pictures of many LaTeX formulas, a list in the order of inputs (an iterable of str):\n"
    "each what render() gives for it. The formulas are drawn without holding the interpreter's\n"
    "lock, so threads that call render_many run on as many cores.\n"
    "\n"
    "errors: what a formula that cannot be drawn gives, so that one bad formula does not lose the\n"
    "others: 'return', in its place the ValueError that render() raises for it; 'none', None in\n"
    "its place; 'raise', the first such ValueError is raised, with the note\n"
    "\"while processing 'inputs[INDEX]'\". An entry that is not a str raises TypeError, whatever\n"
    "errors says.\n"
    "\n"
    "width, ascii, linear and macros are render()'s, for every formula.",
};

PyMethodDef markdown_def = {
    "render_markdown",
    vok_binding::method<vok_binding::markdown_checked, markdown_renderer>(),
    METH_FASTCALL | METH_KEYWORDS,
    "render_markdown(text, *, width=None, ascii=False, inline='linear', plain=False, "
    "on_problem=None, macros=None)\n--\n\n"
    "A Markdown document with its math drawn and everything else kept byte for byte.\n"
    "\n"
    "Display math ($$...$$, \\[...\\], a ```math or ```latex block, a paragraph that is one\n"
    "equation-like environment) becomes its picture in a ```text block. Inline math ($...$,\n"
    "\\(...\\)) is written in the line as `inline` says: 'linear', the formula in one row of\n"
    "text; 'picture', its picture when that is one row; 'source', as written. What would take\n"
    "more than one row stays as written. Code spans and code blocks are never touched.\n"
    "\n"
    "width, ascii and macros are render()'s, for every formula. plain: the display pictures "
    "without\n"
    "their fences, the picture's lines alone, for reading in a terminal.\n"
    "\n"
    "A formula that cannot be drawn stays as written. on_problem, when given, is called once for\n"
    "each, in document order, once the document is drawn: on_problem(line, column, message),\n"
    "the line and the column (in characters, from 1) of the problem in the document and what\n"
    "it is. What it raises, render_markdown raises. To make failures raise:\n"
    "\n"
    "    def fail(line, column, message):\n"
    "        raise ValueError(f'line {line}, column {column}: {message}')\n"
    "\n"
    "    vok_latex.render_markdown(text, on_problem=fail)",
};

// The module's execution slot: its state, render, render_many, render_markdown and __version__, and
// __all__ naming them.
int exec_module(PyObject* module) noexcept {
  return vok_binding::exec_module(renderer, module, [](PyObject* made) {
    if (vok_binding::add_render(made, render_def) < 0) return -1;
    if (vok_binding::add_render(made, many_def) < 0) return -1;
    if (vok_binding::add_render(made, markdown_def) < 0) return -1;
    vok_binding::Ref version = vok_binding::Ref::steal(PyUnicode_FromString(VOK_VERSION));
    if (!version) return -1;
    return vok_binding::add_public(made, "__version__", version.get());
  });
}

// The module keeps no state but its exception class and holds no Python object across the time
// it lets the interpreter's lock go: it declares so where the interpreter asks (3.13's headers
// without the stable ABI of 3.12, that is for a free-threaded build).
PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "vok_latex",  // m_name
    "Math formulas in LaTeX, as people write it, drawn in two dimensions as lines of Unicode\n"
    "text for monospaced display.\n"
    "\n"
    "render(input) gives the picture of one formula; it takes the same arguments, raises the\n"
    "same exceptions and has the same limits as vok.render, which reads vok's exact markup.",
    sizeof(vok_binding::State),   // m_size
    nullptr,                      // m_methods
    module_slots,                 // m_slots
    vok_binding::traverse_state,  // m_traverse
    vok_binding::clear_state,     // m_clear
    vok_binding::free_state,      // m_free
};

}  // namespace

PyMODINIT_FUNC PyInit_vok_latex(void) { return PyModuleDef_Init(&module_def); }
