"""The Python surface: arguments, exceptions, notes, module attributes, and the output text rules."""

import subprocess
import sys
import textwrap

import pytest

import vok

NOTE = "while processing 'input'"


class Text(str):
    """A str subclass: accepted and rendered like the equal plain str."""


# ---- arguments ---------------------------------------------------------------------------------

@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: vok.render(), "render() missing 1 required positional argument: 'input'"),
        (lambda: vok.render("a", "b"), "render() takes 1 positional arguments but 2 were given"),
        (lambda: vok.render("a", "b", "c"), "render() takes 1 positional arguments but 3 were given"),
        (lambda: vok.render(text="a"), "render() got an unexpected keyword argument 'text'"),
        (lambda: vok.render(input="a", text="b"), "render() got an unexpected keyword argument 'text'"),
        (lambda: vok.render("a", input="b"), "render() got multiple values for argument 'input'"),
        # Keywords are checked in the order given: the unknown one comes first here.
        (lambda: vok.render("a", text="b", input="c"),
         "render() got an unexpected keyword argument 'text'"),
        (lambda: vok.render("a", input="c", text="b"),
         "render() got multiple values for argument 'input'"),
        # The positional count is checked before any keyword.
        (lambda: vok.render("a", "b", text="c"), "render() takes 1 positional arguments but 2 were given"),
        (lambda: vok.render(**{"inp\u00fct": "x"}), "render() got an unexpected keyword argument 'inp\u00fct'"),
    ],
)
def test_argument_errors_have_no_note(call, message):
    with pytest.raises(TypeError) as info:
        call()
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
def test_conversion_errors_carry_the_note(value, message):
    with pytest.raises(TypeError) as info:
        vok.render(value)
    assert str(info.value) == message
    assert info.value.__notes__ == [NOTE]
    with pytest.raises(TypeError) as by_keyword:
        vok.render(input=value)
    assert str(by_keyword.value) == message and by_keyword.value.__notes__ == [NOTE]


def test_nested_class_uses_its_qualified_name():
    class Outer:
        class Inner:
            pass

    with pytest.raises(TypeError, match=r"^'test_nested_class_uses_its_qualified_name\.<locals>\.Outer\.Inner' object"):
        vok.render(Outer.Inner())


@pytest.mark.parametrize("text", ["\ud800", "x\udfff", "a\ud83d b"])
def test_lone_surrogates_raise_unicode_encode_error_with_note(text):
    with pytest.raises(UnicodeEncodeError) as info:
        vok.render(text)
    assert info.value.__notes__ == [NOTE]


def test_keyword_and_subclass_render_like_the_plain_call():
    assert vok.render(input="x^2") == vok.render("x^2")
    assert vok.render(Text("x")) == vok.render("x")
    assert type(vok.render(Text("x"))) is str


# ---- module ------------------------------------------------------------------------------------

def test_module_attributes():
    assert vok.__all__ == ["render"]
    assert vok.__doc__ == ""
    assert vok.__name__ == "vok"
    assert vok.__file__.endswith("vok.abi3.so")
    assert vok.render.__text_signature__ == "(input)"
    assert vok.render.__doc__ is None
    assert vok.render.__module__ == "vok"
    assert vok.render.__name__ == "render"
    assert vok.render.__self__ is vok
    public = {name for name in dir(vok) if not name.startswith("__")}
    assert public == {"render"}


def test_built_on_the_stable_abi():
    from importlib.metadata import distribution

    wheel = distribution("vok").read_text("WHEEL")
    assert "Tag: cp312-abi3-" in wheel
    # The interpreter supplies the C API at load time: no libpython is linked in.
    dynamic = subprocess.run(["readelf", "-d", vok.__file__], capture_output=True, text=True, check=True)
    needed = [line for line in dynamic.stdout.splitlines() if "(NEEDED)" in line]
    assert needed and not any("libpython" in line for line in needed)


def test_signature_is_introspectable():
    import inspect

    assert str(inspect.signature(vok.render)) == "(input)"


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


# ---- output text -------------------------------------------------------------------------------

def test_empty_and_blank_input_give_the_empty_picture():
    assert vok.render("") == ""
    assert vok.render(" \t\n\u00a0\u3000") == ""


# ---- failure handling --------------------------------------------------------------------------

def run_python(code: str) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=120)


def test_exhausted_memory_becomes_memory_error():
    # A formula whose token list cannot fit under a 1 GiB address-space cap: the core's
    # std::bad_alloc must surface as MemoryError, and the interpreter must survive it.
    done = run_python("""
        import resource, vok
        text = "a" * 40_000_000
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
        try:
            vok.render(text)
        except MemoryError:
            print("MemoryError")
        print(vok.render("") == "")
    """)
    assert done.stdout.split() == ["MemoryError", "True"], done.stderr
