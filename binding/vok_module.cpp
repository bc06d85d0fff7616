// The Python module `vok`: one function, render(input), reading vok's exact markup.
//
// This file only declares the module: its one attribute, the dialect it reads and that render()
// takes no keyword-only option. The call itself (reading the arguments, borrowing the UTF-8 text
// of the str, calling the core once and turning its picture into a str or its error into
// ValueError) is render_call.hpp's, shared with `vok_latex`, and so is the module's state. It is
// written against the stable ABI of CPython 3.12, so one binary serves every later interpreter. No
// C++ exception crosses into the interpreter: std::bad_alloc becomes MemoryError and anything else
// vok.PanicException, a BaseException that `except Exception` does not swallow.
#include "render_call.hpp"

namespace {

constexpr vok_binding::Renderer renderer{
    .options = {}, .keywords = {}, .panic_name = "vok.PanicException"};

PyMethodDef render_def = {
    "render",
    vok_binding::method<vok_binding::render_checked, renderer>(),
    METH_FASTCALL | METH_KEYWORDS,
    "render(input)\n--\n\n",
};

// The module's execution slot: its state, render, and __all__ naming it.
int exec_module(PyObject* module) noexcept {
  return vok_binding::exec_module(
      renderer, module, [](PyObject* made) { return vok_binding::add_render(made, render_def); });
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
    "vok",                        // m_name
    "",                           // m_doc
    sizeof(vok_binding::State),   // m_size
    nullptr,                      // m_methods
    module_slots,                 // m_slots
    vok_binding::traverse_state,  // m_traverse
    vok_binding::clear_state,     // m_clear
    vok_binding::free_state,      // m_free
};

}  // namespace

PyMODINIT_FUNC PyInit_vok(void) { return PyModuleDef_Init(&module_def); }
