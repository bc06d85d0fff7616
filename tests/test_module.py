"""The Python surface: arguments, exceptions, notes, module attributes, and the output text rules.

`vok` and `vok_latex` differ only in the dialect they read: every test of the call's contract
(arguments, conversions, notes, memory) runs on both modules.
"""

import shutil
import subprocess
import sys
import textwrap
from importlib.metadata import version
from pathlib import Path

import pytest

import vok
import vok_latex
from conftest import LINUX, needs_linux_memory_cap

# The file of a stable-ABI extension module: name.abi3.so on Linux and macOS, name.pyd on Windows.
MODULE_FILE = "{}.pyd" if sys.platform == "win32" else "{}.abi3.so"

NOTE = "while processing 'input'"


@pytest.fixture(params=[vok, vok_latex], ids=lambda module: module.__name__)
def module(request):
    """Each module in turn, for the tests of the contract they share."""
    return request.param


class Text(str):
    """A str subclass: accepted and rendered like the equal plain str."""


# ---- arguments ---------------------------------------------------------------------------------

@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        ((), {}, "render() missing 1 required positional argument: 'input'"),
        (("a", "b"), {}, "render() takes 1 positional argument but 2 were given"),
        (("a", "b", "c"), {}, "render() takes 1 positional argument but 3 were given"),
        ((), {"text": "a"}, "render() got an unexpected keyword argument 'text'"),
        ((), {"input": "a", "text": "b"}, "render() got an unexpected keyword argument 'text'"),
        (("a",), {"input": "b"}, "render() got multiple values for argument 'input'"),
        # Keywords are checked in the order given: the unknown one comes first here.
        (("a",), {"text": "b", "input": "c"}, "render() got an unexpected keyword argument 'text'"),
        (("a",), {"input": "c", "text": "b"}, "render() got multiple values for argument 'input'"),
        # The positional count is checked before any keyword.
        (("a", "b"), {"text": "c"}, "render() takes 1 positional argument but 2 were given"),
        ((), {"inp\u00fct": "x"}, "render() got an unexpected keyword argument 'inp\u00fct'"),
    ],
)
def test_argument_errors_have_no_note(module, args, kwargs, message):
    with pytest.raises(TypeError) as info:
        module.render(*args, **kwargs)
    assert str(info.value) == message
    assert not hasattr(info.value, "__notes__")


@pytest.mark.parametrize(
    "value, message",
    [
        (42, "'int' object is not an instance of 'str'"),
        (None, "'None' is not an instance of 'str'"),
        (b"x", "'bytes' object is not an instance of 'str'"),
        (bytearray(b"x"), "'bytearray' object is not an instance of 'str'"),
        (1.5, "'float' object is not an instance of 'str'"),
        (["x"], "'list' object is not an instance of 'str'"),
        (Text, "'type' object is not an instance of 'str'"),
        (NotImplemented, "'NotImplementedType' object is not an instance of 'str'"),
    ],
)
def test_conversion_errors_carry_the_note(module, value, message):
    with pytest.raises(TypeError) as info:
        module.render(value)
    assert str(info.value) == message
    assert info.value.__notes__ == [NOTE]
    with pytest.raises(TypeError) as by_keyword:
        module.render(input=value)
    assert str(by_keyword.value) == message and by_keyword.value.__notes__ == [NOTE]


def test_nested_class_uses_its_qualified_name(module):
    class Outer:
        class Inner:
            pass

    with pytest.raises(TypeError, match=r"^'test_nested_class_uses_its_qualified_name\.<locals>\.Outer\.Inner' object"):
        module.render(Outer.Inner())


@pytest.mark.parametrize("text", ["\ud800", "x\udfff", "a\ud83d b"])
def test_lone_surrogates_raise_unicode_encode_error_with_note(module, text):
    with pytest.raises(UnicodeEncodeError) as info:
        module.render(text)
    assert info.value.__notes__ == [NOTE]


def test_keyword_and_subclass_render_like_the_plain_call(module):
    assert module.render(input="x^2") == module.render("x^2")
    assert module.render(Text("x")) == module.render("x") == "x\n"
    assert type(module.render(Text("x"))) is str


@pytest.mark.parametrize(
    "args, kwargs, error, message",
    [
        (("x",), {"width": 0}, ValueError, "{}() width must be at least 1"),
        (("x",), {"width": -3}, ValueError, "{}() width must be at least 1"),
        (("x",), {"width": -2**63 - 1}, ValueError, "{}() width must be at least 1"),
        (("x",), {"width": -2**70}, ValueError, "{}() width must be at least 1"),
        (("x",), {"width": True}, TypeError, "{}() width must be an int or None"),
        (("x",), {"width": "3"}, TypeError, "{}() width must be an int or None"),
        (("x",), {"ascii": 1}, TypeError, "{}() ascii must be a bool"),
        (("x",), {"ascii": None}, TypeError, "{}() ascii must be a bool"),
        # A refused option value comes before every other problem, the first one in the call.
        (("a", "b"), {"nope": 1, "width": 0}, ValueError, "{}() width must be at least 1"),
        (("a",), {"nope": 1, "ascii": 1}, TypeError, "{}() ascii must be a bool"),
        ((), {"ascii": 0, "width": 0}, TypeError, "{}() ascii must be a bool"),
        ((), {"width": 0, "ascii": 0}, ValueError, "{}() width must be at least 1"),
        # Good options never hide a problem of the argument.
        (("a", "b"), {"width": 9}, TypeError, "{}() takes 1 positional argument but 2 were given"),
        ((), {"ascii": True}, TypeError, "{}() missing 1 required positional argument: '{}'"),
        ((), {"width": None, "nope": 1}, TypeError,
         "{}() got an unexpected keyword argument 'nope'"),
    ],
)
@pytest.mark.parametrize("function", [vok_latex.render, vok_latex.render_markdown],
                         ids=lambda function: function.__name__)
def test_option_errors(function, args, kwargs, error, message):
    parameter = "input" if function is vok_latex.render else "text"
    with pytest.raises(error) as info:
        function(*args, **kwargs)
    assert type(info.value) is error
    assert str(info.value) == message.format(function.__name__, parameter)
    assert not hasattr(info.value, "__notes__")


# A width past every picture, however large, breaks nothing.
@pytest.mark.parametrize("width", [2**63 - 1, 2**63, 2**64, 2**70])
def test_a_huge_width_is_no_limit(width):
    formula = "a = b + c"
    assert vok_latex.render(formula, width=width) == vok_latex.render(formula) == "a = b + c\n"
    document = f"$${formula}$$\n"
    assert vok_latex.render_markdown(document, width=width) == vok_latex.render_markdown(document)


# The note names the argument of the function that refused it.
@pytest.mark.parametrize("function, parameter", [
    (vok.render, "input"), (vok_latex.render, "input"), (vok_latex.render_markdown, "text")])
@pytest.mark.parametrize("value, error", [(None, TypeError), ("x\ud800", UnicodeEncodeError)])
def test_the_note_names_the_parameter(function, parameter, value, error):
    for call in (lambda: function(value), lambda: function(**{parameter: value})):
        with pytest.raises(error) as info:
            call()
        assert info.value.__notes__ == [f"while processing '{parameter}'"]


def test_only_vok_latex_takes_options():
    assert vok_latex.render("x", width=None, ascii=False) == vok_latex.render("x") == "x\n"
    for option in ["width", "ascii"]:
        with pytest.raises(TypeError) as info:
            vok.render("x", **{option: None})
        assert str(info.value) == f"render() got an unexpected keyword argument '{option}'"


# ---- module ------------------------------------------------------------------------------------

def test_module_attributes():
    assert vok.__all__ == ["render"]
    assert vok.__doc__ == ""
    assert vok.__name__ == "vok"
    assert Path(vok.__file__).name == MODULE_FILE.format("vok")
    assert vok.render.__text_signature__ == "(input)"
    assert vok.render.__doc__ is None
    assert vok.render.__module__ == "vok"
    assert vok.render.__name__ == "render"
    assert vok.render.__self__ is vok
    public = {name for name in dir(vok) if not name.startswith("__")}
    assert public == {"render"}
    # As the README says: no class to import (PanicException is caught by name), no version.
    assert not hasattr(vok, "PanicException") and not hasattr(vok_latex, "PanicException")
    assert not hasattr(vok, "__version__")


def test_vok_latex_attributes():
    assert vok_latex.__all__ == ["render", "render_many", "render_markdown", "__version__"]
    assert vok_latex.__version__ == version("vok")
    assert vok_latex.__doc__.startswith("Math formulas in LaTeX, as people write it, drawn ")
    assert vok_latex.__name__ == "vok_latex"
    assert Path(vok_latex.__file__).name == MODULE_FILE.format("vok_latex")
    assert (
        vok_latex.render.__text_signature__
        == "(input, *, width=None, ascii=False, linear=False, macros=None)"
    )
    assert vok_latex.render_many.__text_signature__ == (
        "(inputs, *, errors='return', width=None, ascii=False, linear=False, macros=None)")
    assert vok_latex.render_markdown.__text_signature__ == (
        "(text, *, width=None, ascii=False, inline='linear', plain=False, on_problem=None, "
        "macros=None)")
    assert vok_latex.render.__doc__.startswith("The picture of a LaTeX formula: ")
    assert "ValueError" in vok_latex.render.__doc__
    assert vok_latex.render.__module__ == "vok_latex"
    assert vok_latex.render.__name__ == "render"
    assert vok_latex.render.__self__ is vok_latex
    public = {name for name in dir(vok_latex) if not name.startswith("__")}
    assert public == {"render", "render_many", "render_markdown"}


def panic_class(module):
    """The module's PanicException: not an attribute, but held by the module object."""
    import gc

    [found] = [item for item in gc.get_referents(module)
               if isinstance(item, type) and issubclass(item, BaseException)]
    return found


def test_each_module_object_has_its_own_panic_exception(module):
    import importlib
    import importlib.util

    panic = panic_class(module)
    assert (panic.__module__, panic.__qualname__, panic.__bases__) == (
        module.__name__, "PanicException", (BaseException,))
    assert panic.__doc__ == (
        "An internal invariant of vok was broken. This is a bug in vok, not in the formula; "
        "it derives from BaseException so that `except Exception` does not hide it.")
    # A second module object from the same spec gets its own state; a reload keeps the module.
    second = importlib.util.module_from_spec(module.__spec__)
    module.__spec__.loader.exec_module(second)
    assert second is not module and panic_class(second) is not panic
    assert second.render.__self__ is second and second.__all__ == module.__all__
    assert importlib.reload(module) is module and panic_class(module) is panic
    for made in (second, module):
        assert made.render("x^2") == "x²\n"
        with pytest.raises(TypeError, match=r"^render\(\) takes 1 positional argument but 2 were"):
            made.render("x", "y")


def test_built_on_the_stable_abi():
    from importlib.metadata import distribution

    wheel = distribution("vok").read_text("WHEEL")
    assert "Tag: cp312-abi3-" in wheel


@pytest.mark.skipif(not LINUX or shutil.which("readelf") is None,
                    reason="readelf reads the ELF modules of Linux")
def test_no_libpython_is_linked(module):
    # The interpreter supplies the C API at load time: no libpython is linked in.
    dynamic = subprocess.run(["readelf", "-d", module.__file__], capture_output=True, text=True,
                             check=True)
    needed = [line for line in dynamic.stdout.splitlines() if "(NEEDED)" in line]
    assert needed and not any("libpython" in line for line in needed)


def test_signature_is_introspectable(module):
    import inspect

    expected = (
        "(input)" if module is vok else "(input, *, width=None, ascii=False, linear=False, macros=None)"
    )
    assert str(inspect.signature(module.render)) == expected


# ---- errors from the pipeline ------------------------------------------------------------------

@pytest.mark.parametrize(
    "text, byte",
    [
        ("$x$", 0), ("a~b", 1), ("a ? b", 2), ('"', 0), ("#", 0), ("%", 0), ("@", 0), ("`", 0),
        ("\\", 0), ("x\\", 1), ("\\\\\\", 2),
        ("\u03b1\u03b2?", 4), ("\u4e2d$", 3), ("\U0001F600 %", 5),
        ("\\frac{a}{b} ? $", 12),
    ],
)
def test_invalid_token(text, byte):
    with pytest.raises(ValueError) as info:
        vok.render(text)
    assert str(info.value) == f"Invalid token at byte {byte}"
    assert info.value.args == (f"Invalid token at byte {byte}",)
    assert type(info.value) is ValueError


def test_escaped_characters_are_not_invalid():
    for text in ["\\?", "\\$", "\\#", "\\%", "\\~", "\\@", "\\`", '\\"']:
        assert isinstance(vok.render(text), str)


@pytest.mark.parametrize(
    "text, message",
    [
        # The limits, whatever the dialect.
        ("{" * 100_000 + "x" + "}" * 100_000, "formula nested too deeply"),
        # A cell of 4,100 letters beside one of 4,100 rows: 16.8 million cells.
        ("\\begin{matrix}" + "x" * 4100 + "&\\begin{matrix}" + "x\\\\" * 4100
         + "\\end{matrix}\\end{matrix}", "formula too large to render"),
        # Malformed in both dialects; each words its own message.
        ("{a", None),
        ("\\left( x", None),
        ("x^", None),
    ],
)
def test_a_formula_error_is_a_value_error(module, text, message):
    with pytest.raises(ValueError) as info:
        module.render(text)
    assert type(info.value) is ValueError
    assert len(info.value.args) == 1 and isinstance(info.value.args[0], str) and info.value.args[0]
    assert message is None or info.value.args[0] == message
    assert not hasattr(info.value, "__notes__")


def test_each_module_reads_its_own_dialect():
    # \leq is LaTeX's name of ≤; vok's exact markup does not know it and draws the name.
    assert vok.render("\\leq") == "leq\n"
    assert vok_latex.render("\\leq") == "≤\n"


# ---- output text -------------------------------------------------------------------------------

def test_empty_and_blank_input_give_the_empty_picture(module):
    assert module.render("") == ""
    assert module.render(" \t\n") == ""


def test_unicode_spaces_are_blank_in_the_exact_markup():
    assert vok.render(" \t\n\u00a0\u3000") == ""


# ---- failure handling --------------------------------------------------------------------------

def run_python(code: str) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=120)


@needs_linux_memory_cap
def test_exhausted_memory_becomes_memory_error(module):
    # A formula whose token list cannot fit under a 1 GiB address-space cap: the core's
    # std::bad_alloc must surface as MemoryError, and the interpreter must survive it.
    done = run_python(f"""
        import resource, {module.__name__} as module
        text = "a" * 40_000_000
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
        try:
            module.render(text)
        except MemoryError:
            print("MemoryError")
        print(module.render("") == "")
    """)
    assert done.stdout.split() == ["MemoryError", "True"], done.stderr


@needs_linux_memory_cap
@pytest.mark.parametrize("call", ["render_markdown(f'${text}$')", "render_many(['x', text])"])
def test_exhausted_memory_without_the_lock_becomes_memory_error(call):
    # The same, in the calls that draw a document or a batch with the interpreter's lock let go:
    # it is taken back before the error is raised.
    done = run_python(f"""
        import resource, vok_latex
        text = "a" * 40_000_000
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
        try:
            vok_latex.{call}
        except MemoryError:
            print("MemoryError")
        print(vok_latex.render("") == "")
    """)
    assert done.stdout.split() == ["MemoryError", "True"], done.stderr
