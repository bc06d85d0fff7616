"""vok_latex.render_many, and every call under threads: the interpreter's lock is let go while a
formula or a document is drawn, so calls on several threads at once must give what they give one
after another, whatever the other threads do meanwhile."""

import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import vok
import vok_latex


def formulas(corpus):
    return (corpus / "formulas-real.txt").read_text(encoding="utf-8").splitlines()


def direct(formula, **options):
    """What render gives for one formula: its picture, or its ValueError's message."""
    try:
        return vok_latex.render(formula, **options)
    except ValueError as error:
        return str(error)


@pytest.mark.parametrize("options", [{}, {"linear": True}, {"width": 20, "ascii": True},
                                     {"macros": {r"\R": r"\mathbb{R}", r"\x": "y"}}])
def test_the_batch_is_each_formula_drawn_alone(corpus, options):
    inputs = formulas(corpus)
    batch = vok_latex.render_many(inputs, **options)
    assert [entry if isinstance(entry, str) else str(entry) for entry in batch] == [
        direct(formula, **options) for formula in inputs]
    assert all(type(entry) in (str, ValueError) for entry in batch)


def test_a_batch_of_many_slices_keeps_its_order():
    # More input than one slice holds (64 KiB), with failures on either side of the slices' ends.
    inputs = [f"x_{{{i}}}" if i % 1000 else "x^" for i in range(30000)]
    batch = vok_latex.render_many(iter(inputs), errors="none")
    assert batch == [None if i % 1000 == 0 else vok_latex.render(f"x_{{{i}}}")
                     for i in range(30000)]


BAD = "\\frac{a}"
MESSAGE = "missing argument for '\\frac' at byte 0, column 1"


@pytest.mark.parametrize("errors, expected", [
    ("none", ["a\n", None, "b\n", None]),
    ("return", ["a\n", ("ValueError", MESSAGE), "b\n", (
        "UnicodeEncodeError",
        "'utf-8' codec can't encode character '\\ud800' in position 0: surrogates not allowed")]),
])
def test_a_formula_that_fails_is_marked_in_its_place(errors, expected):
    batch = vok_latex.render_many(["a", BAD, "b", "\ud800"], errors=errors)
    assert [entry if entry is None or isinstance(entry, str) else (type(entry).__name__, str(entry))
            for entry in batch] == expected


@pytest.mark.parametrize("inputs, error, note", [
    (["a", BAD, "\ud800"], ValueError, "while processing 'inputs[1]'"),
    (["a", "\ud800", BAD], UnicodeEncodeError, "while processing 'inputs[1]'"),
    (["a"] * 70000 + [BAD], ValueError, "while processing 'inputs[70000]'"),
])
def test_raise_stops_at_the_first_failure_and_names_its_index(inputs, error, note):
    with pytest.raises(error) as raised:
        vok_latex.render_many(inputs, errors="raise")
    assert raised.value.__notes__ == [note]


@pytest.mark.parametrize("call, error, message, notes", [
    (lambda: vok_latex.render_many(["a", 3], errors="none"), TypeError,
     "'int' object is not an instance of 'str'", ["while processing 'inputs[1]'"]),
    (lambda: vok_latex.render_many([None]), TypeError, "'None' is not an instance of 'str'",
     ["while processing 'inputs[0]'"]),
    (lambda: vok_latex.render_many("ab"), TypeError,
     "render_many() inputs must be an iterable of str, not a str", None),
    (lambda: vok_latex.render_many(5), TypeError, "'int' object is not iterable",
     ["while processing 'inputs'"]),
    (lambda: vok_latex.render_many([], errors="skip"), ValueError,
     "render_many() errors must be 'return', 'none' or 'raise'", None),
    (lambda: vok_latex.render_many([], errors=None), TypeError,
     "render_many() errors must be a str", None),
    (lambda: vok_latex.render_many(["a"], inline="linear"), TypeError,
     "render_many() got an unexpected keyword argument 'inline'", None),
])
def test_what_is_not_a_batch_of_formulas_is_refused(call, error, message, notes):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == message
    assert getattr(raised.value, "__notes__", None) == notes


def large_calls():
    """Calls large enough to let the lock go, each with the result it gives alone."""
    chain = "+".join(rf"\frac{{a_{i}}}{{b}}" for i in range(400))
    document = "Roots $x_1$ and\n\n$$\\sqrt{b^2 - 4ac}$$\n\n" * 200 + "$\\frac{a}$\n"
    exact = "{a}/{b} + " * 300 + "c"
    calls = [
        lambda: vok_latex.render(chain),
        lambda: vok_latex.render(chain, linear=True),
        lambda: vok_latex.render_markdown(document, plain=True),
        lambda: vok.render(exact),
        lambda: vok_latex.render_many([chain, "x^", chain[:600]], errors="none"),
        lambda: vok_latex.render(r"\R" + chain, macros={r"\R": r"\mathbb{R}"}),
    ]
    return [(call, call()) for call in calls]


def test_threads_give_what_one_thread_gives():
    expected = large_calls()
    jobs = expected * 12
    with ThreadPoolExecutor(max_workers=8) as pool:
        results = list(pool.map(lambda job: job[0](), jobs))
    assert results == [result for _, result in jobs]


def test_a_mapping_changed_by_another_thread_does_not_reach_a_call():
    # The call draws with its own copy of macros=: another thread adding and removing keys (and
    # freeing their strings) meanwhile changes nothing it draws.
    macros = {r"\R": r"\mathbb{R}"}
    formula = r"\R^{n}" + "+ x" * 2000
    expected = vok_latex.render(formula, macros=dict(macros))
    done = threading.Event()

    def churn():
        i = 0
        while not done.is_set():
            macros[f"\\m{i % 50}"] = "y" * (i % 7)
            macros.pop(f"\\m{(i + 25) % 50}", None)
            i += 1

    churner = threading.Thread(target=churn)
    churner.start()
    try:
        results = [vok_latex.render(formula, macros=macros) for _ in range(40)]
    finally:
        done.set()
        churner.join()
    assert results == [expected] * 40
