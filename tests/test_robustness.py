"""Hostile and extreme input: no crash, no hang, no unbounded memory, no leak, no thread trouble.

Every test runs through both modules, vok (the exact markup) and vok_latex (LaTeX as people write
it), which share the nesting and size limits. Pathological inputs run in a child interpreter under
an address-space cap and a timeout, so that a failure shows as a failed test instead of taking the
test run down (the cap on Linux, which enforces one). The caps are crash guards, not speed goals;
the measured figures are in the README.
"""

import subprocess
import sys
import textwrap

import pytest

import vok
import vok_latex
from conftest import LINUX, columns, linux_only, needs_proc

MODULES = ["vok", "vok_latex"]
TOO_DEEP = "ValueError: formula nested too deeply"
TOO_LARGE = "ValueError: formula too large to render"


def run_child(code: str, module: str = "vok", memory_gib: float = 2, timeout: float = 120) -> str:
    """Runs `code` in a fresh interpreter where `render` is `module`.render."""
    program = textwrap.dedent(f"""
        import vok, vok_latex
        render = {module}.render
    """)
    if LINUX:
        program += textwrap.dedent(f"""
            import resource
            limit = int({memory_gib} * (1 << 30))
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
        """)
    program += textwrap.dedent(code)
    done = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, timeout=timeout)
    assert done.returncode == 0, f"exit status {done.returncode}: {done.stderr}"
    return done.stdout.strip()


OUTCOME = """
    def outcome(text):
        try:
            picture = render(text)
        except ValueError as error:
            return f"ValueError: {error}"
        rows = picture.split("\\n")[:-1]
        assert len({len(row) for row in rows}) <= 1
        return f"{len(rows)} rows of {len(rows[0]) if rows else 0}"
"""

# Each input with its outcome in the exact markup and in the LaTeX dialect. Where the dialects read
# an input differently the outcomes differ: in LaTeX "-" and "(" are atoms of a flat list, "\sum"
# needs no body, digits and ties are atoms, "%" starts a comment, and "\bf" switches the rest of
# its group.
PATHOLOGICAL = [
    ("100k nested braces", '"{" * 100_000 + "x" + "}" * 100_000', TOO_DEEP, TOO_DEEP),
    ("100k minus signs", '"-" * 100_000 + "x"', TOO_DEEP, "1 rows of 200001"),
    ("frac 40 deep in numerators", '"\\\\frac{" * 40 + "x" + "}{y}" * 40', TOO_LARGE, "81 rows of 79"),
    ("10k nested roots", '"\\\\sqrt{" * 10_000 + "x" + "}" * 10_000', TOO_DEEP, TOO_DEEP),
    ("10k unbraced roots", '"\\\\sqrt" * 10_000 + " x"', TOO_DEEP, TOO_DEEP),
    ("1000x1000 matrix",
     '"\\\\begin{matrix}" + " \\\\\\\\ ".join([" & ".join(["a"] * 1000)] * 1000) + "\\\\end{matrix}"',
     "1999 rows of 5000", "1000 rows of 2998"),
    ("10 MB sum", '"+".join(["a", "b"] * 2_500_000)', TOO_LARGE, TOO_LARGE),
    ("a+b a million times", '"a+b" * 1_000_000', "1 rows of 5000000", "1 rows of 5000000"),
    ("100k left", '"\\\\left(" * 100_000', r"ValueError: unclosed \left ... \right pair", TOO_DEEP),
    ("100k left right", '"\\\\left(" * 100_000 + "x" + "\\\\right)" * 100_000', TOO_DEEP, TOO_DEEP),
    ("50k begin", '"\\\\begin{pmatrix}" * 50_000', r"ValueError: unclosed \begin{pmatrix}", TOO_DEEP),
    ("100k superscripts", '"x^{" * 100_000', TOO_DEEP, TOO_DEEP),
    ("a million sums", '"\\\\sum" * 1_000_000', "3 rows of 4000000", TOO_DEEP),
    ("300k fractions", '"\\\\frac{a}{b}" * 300_000', "3 rows of 300000", "3 rows of 599999"),
    ("a million empty groups", '"{}" * 1_000_000', "0 rows of 0", "0 rows of 0"),
    ("a million negative spaces", '"\\\\!" * 1_000_000', "1 rows of 0", "0 rows of 0"),
    ("a million primes", "\"x'\" + \"'\" * 1_000_000", "1 rows of 1000002", "1 rows of 250002"),
    # Nothing is drawn before the whole formula is measured, so a formula that is too large
    # costs no cells at all (an engine that drew every level took 8 GB here).
    ("1000 nested roots side by side", '(r"\\sqrt{" * 127 + "x" + "}" * 127) * 1000', TOO_LARGE, TOO_LARGE),
    ("300 nested roots side by side", '(r"\\sqrt{" * 127 + "x" + "}" * 127) * 300',
     "128 rows of 114600", "128 rows of 114600"),
    ("a matrix of nested roots",
     'r"\\begin{matrix}" + " & ".join([r"\\sqrt{" * 100 + "x" + "}" * 100] * 600) + r"\\end{matrix}"',
     TOO_LARGE, TOO_LARGE),
    # Inputs in the LaTeX dialect's own words; the exact markup refuses or draws them as names.
    ("100k nested text", '"\\\\text{" * 100_000 + "x" + "}" * 100_000', TOO_DEEP, TOO_DEEP),
    ("100k unbraced bold", '"\\\\bm" * 100_000 + "x"', "1 rows of 200001", TOO_DEEP),
    ("100k switches", '"\\\\bf" * 100_000 + " x"', "1 rows of 200001", TOO_DEEP),
    ("100k switches in groups", '"{\\\\bf " * 100_000', TOO_DEEP, TOO_DEEP),
    ("a million ties", '"~" * 1_000_000', "ValueError: Invalid token at byte 0", "1 rows of 1000000"),
    ("a million comment lines", '"%x\\n" * 1_000_000 + "y"', "ValueError: Invalid token at byte 0",
     "1 rows of 1"),
    ("a million dollars", '"$" * 1_000_000', "ValueError: Invalid token at byte 0",
     "ValueError: unmatched '$' at byte 2, column 3"),
    ("a million letters in dollars", '"$" + "x" * 1_000_000 + "$"', "ValueError: Invalid token at byte 0",
     "1 rows of 1000000"),
    ("100k middle bars", '"\\\\left(" + "x\\\\middle|" * 100_000 + "x\\\\right)"', "1 rows of 9",
     "1 rows of 200003"),
    ("9 MB of text", '"\\\\text{" + "ab " * 3_000_000 + "}"', "1 rows of 6000004", "1 rows of 9000000"),
    ("a million groups in text", '"\\\\text{" + "{" * 1_000_000 + "x" + "}" * 1_000_000 + "}"', TOO_DEEP,
     "1 rows of 1"),
    ("half a million formulas in text", '"\\\\text{" + "$x$" * 500_000 + "}"',
     "ValueError: Invalid token at byte 6", "1 rows of 500000"),
    ("16 spaces of a million ems", '"\\\\hspace{1000000em}" * 16', "1 rows of 240", "1 rows of 16000000"),
    ("20 spaces of a million ems", '"\\\\hspace{1000000em}" * 20', "1 rows of 300", TOO_LARGE),
    ("a million limits", '"x" + "\\\\limits" * 1_000_000', "1 rows of 6000001", "1 rows of 1"),
    ("100k rows", '"\\\\begin{matrix}" + "x\\\\\\\\" * 100_000 + "\\\\end{matrix}"',
     "199999 rows of 5", "100000 rows of 1"),
    # Column patterns repeat within a budget; rules are counted, not drawn one by one.
    ("columns repeated a billion times", '"\\\\begin{array}{*{1000000000}{*{1000000000}{c|}}} x \\\\end{array}"',
     "ValueError: unknown matrix environment: array", "1 rows of 3"),
    ("a million rules", '"\\\\begin{array}{c}" + "\\\\hline " * 1_000_000 + "x\\\\end{array}"',
     "ValueError: unknown matrix environment: array", "2 rows of 1"),
    ("a million empty cells", '"&" * 1_000_000', "1 rows of 1000000", "1 rows of 2000000"),
    # Characters of two display columns and of none: one row either way, wide characters written once.
    ("a million wide characters", '"中" * 1_000_000', "1 rows of 1000000", "1 rows of 1000000"),
    ("a million combining marks", '"e\\u0301" * 1_000_000', "1 rows of 2000000", "1 rows of 2000000"),
]


def pathological_cases():
    for name, build, exact, latex in PATHOLOGICAL:
        yield pytest.param("vok", build, exact, id=f"vok: {name}")
        yield pytest.param("vok_latex", build, latex, id=f"vok_latex: {name}")


@pytest.mark.parametrize("module, build, expected", list(pathological_cases()))
def test_pathological_input(module, build, expected):
    out = run_child(textwrap.dedent(OUTCOME) + f"\nprint(outcome({build}))", module)
    assert out == expected


@linux_only("the peak memory is getrusage's in KiB, as Linux counts it")
@pytest.mark.parametrize(
    "module, outcome", [("vok", "formula too large to render"), ("vok_latex", "4401 rows")]
)
def test_large_parts_along_a_path_cost_no_memory(module, outcome):
    # In the exact markup each level has a 4-million-row numerator beside its denominator, the next
    # level: an engine that drew each level before the next took 1.8 GB for these 22 KB of formula.
    # LaTeX's fractions add no blank rows, so there the whole tower is drawn.
    out = run_child("""
        tower = "a"
        for _ in range(21):
            tower = r"\\frac{" + tower + "}{b}"
        text = "x"
        for _ in range(100):
            text = r"\\frac{" + tower + "}{" + text + "}"
        try:
            print(len(render(text).splitlines()), "rows")
        except ValueError as error:
            print(error)
        print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss < 800 * 1024)
    """, module, memory_gib=1.5)
    assert out.split("\n") == [outcome, "True"]


def test_every_code_point_alone_and_after_a_backslash():
    punctuation = set("{}[]^_'|!+-=*,().:;<>/&")
    spacing = {",": " ", ":": "  ", ";": "   ", "!": ""}
    for cp in range(0x110000):
        ch = chr(cp)
        if 0xD800 <= cp <= 0xDFFF:
            with pytest.raises(UnicodeEncodeError):
                vok.render(ch)
            continue
        escaped = vok.render("\\" + ch)
        if ch in '"#$%?@`~\\':
            with pytest.raises(ValueError, match="^Invalid token at byte 0$"):
                vok.render(ch)
            assert escaped == ch + "\n"
        elif cp in WHITE_SPACE:
            assert vok.render(ch) == "" and escaped == "    \n", hex(cp)
        elif ch in punctuation:
            assert escaped == spacing.get(ch, ch) + "\n", hex(cp)
            try:
                vok.render(ch)
            except ValueError:
                pass
        else:
            # Letters, digits and every other character: one cell, alone or escaped (a letter after
            # a backslash is a one-letter command nobody registered, drawn as its name).
            assert vok.render(ch) == ch + "\n" and escaped == ch + "\n", hex(cp)


WHITE_SPACE = {*range(0x09, 0x0E), 0x20, 0x85, 0xA0, 0x1680, *range(0x2000, 0x200B), 0x2028, 0x2029,
               0x202F, 0x205F, 0x3000}


def latex_outcome(text: str) -> str:
    try:
        return vok_latex.render(text)
    except ValueError as error:
        return f"ValueError: {error}"


# The printable ASCII characters the LaTeX dialect reads as more than a cell of their own, with what
# each gives alone and after a backslash. Every other one is a cell alone, and after a backslash an
# unknown command drawn as written, backslash and all.
LATEX_ASCII = {
    "!": ("!\n", ""),  # \! is a negative thin space
    "#": ("#\n", "#\n"),
    "$": ("ValueError: missing '$' for the '$' at byte 0, column 1", "$\n"),
    "%": ("", "%\n"),  # a comment
    "&": ("\n", "&\n"),  # a table of two empty cells
    "'": ("′\n", "ValueError: missing argument for '\\'' at byte 0, column 1"),
    "(": ("(\n", "ValueError: missing '\\)' for the '\\(' at byte 0, column 1"),
    ")": (")\n", "ValueError: unmatched '\\)' at byte 0, column 1"),
    ",": (",\n", " \n"),
    "-": ("-\n", ""),  # \- is a discretionary hyphen
    "/": ("/\n", ""),  # \/ is an italic correction
    ":": (":\n", " \n"),
    ";": (";\n", " \n"),
    ">": (">\n", " \n"),
    "C": ("C\n", "ℂ\n"),  # the number sets' short names
    "L": ("L\n", "Ł\n"),
    "N": ("N\n", "ℕ\n"),
    "O": ("O\n", "Ø\n"),
    "P": ("P\n", "¶\n"),
    "Q": ("Q\n", "ℚ\n"),
    "R": ("R\n", "ℝ\n"),
    "S": ("S\n", "§\n"),
    "Z": ("Z\n", "ℤ\n"),
    "[": ("[\n", "ValueError: missing '\\]' for the '\\[' at byte 0, column 1"),
    "\\": ("",  # a backslash at the end is a control space, as in TeX
           "\n"),  # a table of one empty row
    "]": ("]\n", "ValueError: unmatched '\\]' at byte 0, column 1"),
    "^": ("ValueError: missing argument for '^' at byte 0, column 1",
          "ValueError: missing argument for '\\^' at byte 0, column 1"),
    "_": ("ValueError: missing argument for '_' at byte 0, column 1", "_\n"),
    "i": ("i\n", "ı\n"),
    "j": ("j\n", "ȷ\n"),
    "l": ("l\n", "ł\n"),
    "o": ("o\n", "ø\n"),
    "{": ("ValueError: missing '}' for the '{' at byte 0, column 1", "{\n"),
    "|": ("|\n", "‖\n"),
    "}": ("ValueError: unmatched '}' at byte 0, column 1", "}\n"),
    "~": (" \n", "ValueError: missing argument for '\\~' at byte 0, column 1"),  # a tie is a blank
}
# The text accents read in math take a letter after them: alone, it is missing.
LATEX_ASCII |= {ch: (ch + "\n", f"ValueError: missing argument for '\\{ch}' at byte 0, column 1")
                for ch in "\"`.=Hruv"}


def test_every_code_point_alone_and_after_a_backslash_in_latex():
    for cp in range(0x110000):
        ch = chr(cp)
        if 0xD800 <= cp <= 0xDFFF:
            with pytest.raises(UnicodeEncodeError):
                vok_latex.render(ch)
            continue
        alone, escaped = latex_outcome(ch), latex_outcome("\\" + ch)
        if cp in WHITE_SPACE:
            # A separator alone, a blank after a backslash (a control space).
            expected = ("", " \n")
        elif cp < 0x20 or 0x7F <= cp < 0xA0:
            # The C0 and C1 control characters and DEL that are not white space, named where they stand.
            expected = (f"ValueError: control character U+{cp:04X} at byte 0, column 1",
                        f"ValueError: control character U+{cp:04X} at byte 1, column 2")
        elif columns(ch) == 0:
            # A mark with no character before it stands on a blank of its own.
            expected = (" " + ch + "\n", "\\" + ch + "\n")
        else:
            expected = LATEX_ASCII.get(ch, (ch + "\n", "\\" + ch + "\n"))
        assert (alone, escaped) == expected, hex(cp)


def rss_kib() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4


@needs_proc
@pytest.mark.parametrize("module", [vok, vok_latex], ids=MODULES)
def test_no_leaks_over_a_million_calls(module):
    import gc

    ok, bad = r"\frac{a+b}{\sqrt[3]{x^2}} + \sum_{i=1}^{n} {i}", r"\left( x \right"
    render = module.render

    def calls(n):
        for i in range(n):
            kind = i % 4
            try:
                if kind == 0:
                    render(ok)
                elif kind == 1:
                    render(bad)
                elif kind == 2:
                    render(42)
                else:
                    render("a", text="b")
            except (ValueError, TypeError):
                pass

    calls(50_000)
    gc.collect()
    objects, memory = len(gc.get_objects()), rss_kib()
    calls(1_000_000)
    gc.collect()
    assert len(gc.get_objects()) - objects < 100
    assert rss_kib() - memory < 4096, "the process grew by more than 4 MiB over a million calls"


@pytest.mark.parametrize("module", MODULES)
def test_threads_share_the_first_build(module):
    # Eight threads in a fresh interpreter make the first calls at the same moment: the command
    # table is built once and every thread gets the same pictures as a serial run.
    out = run_child("""
        import threading
        formulas = [r"\\frac{a}{b}", r"\\sum_{i=1}^{n} {i^2}", r"\\alpha + \\mathbb{R}", r"\\lim_{x \\to 0}",
                    r"\\begin{pmatrix} a & b \\\\ c & d \\end{pmatrix}", r"\\left( x \\right]", r"x^"]
        def outcome(text):
            try:
                return render(text)
            except ValueError as error:
                return "ValueError: " + str(error)
        barrier = threading.Barrier(8)
        results = [None] * 8
        def work(k):
            barrier.wait()
            results[k] = [outcome(f) for f in formulas * 200]
        threads = [threading.Thread(target=work, args=(k,)) for k in range(8)]
        for t in threads: t.start()
        for t in threads: t.join()
        serial = [outcome(f) for f in formulas * 200]
        print(all(r == serial for r in results), len(set(serial)))
    """, module)
    assert out == "True 7"


def test_the_deepest_formulas_render_in_a_thread_too():
    # A thread may have far less stack than the main thread (musl gives it 128 KiB, where the
    # deepest formulas need about 200 KiB in a g++ build): each deepest nesting that either dialect
    # accepts must draw the same picture in a thread as in the main thread, not crash the child.
    from test_limits import DEPTHS, FLAT

    cases = [(module, build(depth)) for _, build, exact, latex, _ in DEPTHS
             for module, depth in (("vok", exact), ("vok_latex", latex)) if depth is not FLAT]
    out = run_child(f"""
        import threading
        cases = {cases!r}
        def outcomes():
            return [(vok if module == "vok" else vok_latex).render(text) for module, text in cases]
        in_thread = []
        thread = threading.Thread(target=lambda: in_thread.extend(outcomes()))
        thread.start()
        thread.join()
        print(in_thread == outcomes(), len(in_thread))
    """)
    assert out == f"True {len(cases)}"
