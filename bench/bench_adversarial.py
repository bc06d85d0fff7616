"""Adversarial inputs: the cost of rendering inputs built to be expensive, against a flat chain,
in both dialects (vok.render and vok_latex.render, some with width= or ascii=).

Each input runs once in a fresh child interpreter, so that its peak memory (the call's own peak
plus the interpreter's) is not mixed with another's. One line per input: its dialect, bytes, the
cells of the picture (characters of the result minus line feeds; 0 on error), the time, the peak
and its growth beyond the idle interpreter, the nanoseconds per input byte plus output cell, and
that figure as a multiple of the flat chain's in the same dialect, measured first in the same run.
Work should grow with what goes in and what comes out, so a large multiple marks an input that
costs more than its size says. At the end, the largest multiple of each dialect and the memory
check: each input's growth against 48 B × input bytes + 8 B × output cells + 16 MiB.

    python bench/bench_adversarial.py [--quick] [--timeout 120] [--only SUBSTRING]
                                      [--dialect exact|latex|both]
"""

import argparse
import json
import subprocess
import sys
from collections.abc import Callable
from dataclasses import dataclass, field

LIMIT = 1 << 24  # the most cells a block may have
NESTING = 254  # grammar levels a formula may nest: a group costs two, a minus sign one
MIB = 1 << 20


def tower(k: int, c: str = "x") -> str:
    """k fractions nested in numerators, empty denominators: 2^(k+1) - 1 rows, one column."""
    for _ in range(k):
        c = r"\frac{%s}{}" % c
    return c


def tower_rows(k: int) -> int:
    return 2 ** (k + 1) - 1


def beside(k: int, letters: int) -> str:
    """tower(k) followed by a run of letters: tower_rows(k) rows, 1 + letters columns."""
    return tower(k) + "x" * letters


DIALECTS = ("exact", "latex")


@dataclass
class Case:
    family: str
    name: str
    build: Callable[[], str]  # built only when the case runs
    slow: bool = False  # left out by --quick
    dialect: str = "exact"
    options: dict = field(default_factory=dict)  # width=, ascii=


CASES: list[Case] = []


def case(family: str, name: str, build: Callable[[], str], slow: bool = False,
         dialects: tuple[str, ...] = DIALECTS, **options) -> None:
    """An input, measured in each of `dialects` (both unless it is one dialect's own)."""
    for dialect in dialects:
        CASES.append(Case(family, name, build, slow, dialect, options))


# ---- 1. k levels of a wrapper around a picture near the limit ----
#
# Each wrapper: how it wraps k levels, the rows and columns it adds per level around a tall block,
# and the grammar levels it nests (per level, and once). The minus signs take the core in braces,
# or they would apply to its first atom only. A name gives the cells the whole picture would have
# (or, over the limit, its core); the cells column shows what came back.
WRAPPERS = {
    "minus": (lambda c, k: "-" * k + "{" + c + "}", 0, 1, 1, 2),
    "braces": (lambda c, k: "{" * k + c + "}" * k, 0, 0, 2, 0),
    "parens": (lambda c, k: "(" * k + c + ")" * k, 0, 4, 2, 0),
    r"\left(": (lambda c, k: r"\left(" * k + c + r"\right)" * k, 0, 4, 2, 0),
    r"\sqrt": (lambda c, k: r"\sqrt{" * k + c + "}" * k, 1, 3, 2, 0),
    r"\hat": (lambda c, k: r"\hat{" * k + c + "}" * k, 1, 0, 2, 0),
    r"\overline": (lambda c, k: r"\overline{" * k + c + "}" * k, 1, 0, 2, 0),
}


def deepest(wrapper: str) -> int:
    """The most levels of the wrapper that leave room for a tower of 10 fractions."""
    *_, per_level, once = WRAPPERS[wrapper]
    return (NESTING - once - 2 * 10) // per_level


def near_limit(wrapper: str, k: int, over: bool) -> tuple[int, int, int]:
    """The core for k levels of the wrapper: tower(t) beside `letters` letters, and the cells of
    the whole (under) or of the core alone (over).

    t is as tall as the nesting left over allows but at most 16, so that one letter more or less
    moves the total by under 1 %. Under: the letters fill the width so that the whole just fits.
    Over: the core alone is one column wider than fits."""
    _, rows_per_level, columns_per_level, per_level, once = WRAPPERS[wrapper]
    t = min(16, (NESTING - once - per_level * k) // 2)
    if over:
        letters = LIMIT // tower_rows(t)
        return t, letters, tower_rows(t) * (1 + letters)
    rows = tower_rows(t) + rows_per_level * k
    letters = LIMIT // rows - 1 - columns_per_level * k
    return t, letters, rows * (1 + letters + columns_per_level * k)


for over in (False, True):
    for wrapper in WRAPPERS:
        for k in (1, 16, deepest(wrapper)):
            t, letters, cells = near_limit(wrapper, k, over)
            what = f"core of {cells:,} cells" if over else f"{cells:,} cells"
            case("wrappers", f"{k} {wrapper} around, {what}",
                 lambda w=wrapper, k=k, t=t, n=letters: WRAPPERS[w][0](beside(t, n), k))

# ---- 2. the gadget: pictures near the limit that only fail once combined ----
BIG = r"\sum{%s^{%s}}" % (tower(10), tower(9))  # ~14M cells from ~180 bytes
A = r"\sum{%s^{%s}}" % (tower(10), tower(8))  # ~9.8M cells
C = "{" + "-" * 220 + "{" + BIG + "}}"


def gadget(n: int) -> str:
    return A + " x {" + A + " " + A + " " + " ".join([C] * n) + "}"


for n in (1, 4, 16):
    case("gadget", f"gadget n={n}", lambda n=n: gadget(n), slow=n > 1)

# ---- 3. many siblings, each near the limit on its own ----
F = beside(16, 75)  # 131,071 rows × 76 columns = 9,961,396 cells
for m in (2, 10, 100):
    case("siblings", f"{m} × 10M juxtaposed", lambda m=m: F * m)
    case("siblings", f"{m} × 10M + chain", lambda m=m: "+".join([F] * m))
    case("siblings", f"{m} × 10M matrix row",
         lambda m=m: r"\begin{matrix}" + " & ".join([F] * m) + r"\end{matrix}")
    case("siblings", f"{m} × 10M matrix column",
         lambda m=m: r"\begin{matrix}" + r" \\ ".join([F] * m) + r"\end{matrix}")


# ---- 4. tall matrices of fraction towers ----
def matrix(rows: int, columns: int, cell: str) -> str:
    row = " & ".join([cell] * columns)
    return r"\begin{matrix}" + r" \\ ".join([row] * rows) + r"\end{matrix}"


# Every grid row is as tall as the tallest cell plus a blank row, every grid column as wide as the
# widest cell plus four blanks. tower(11) has 4,095 rows, so one column of 819 such cells just
# fits (4,096 × 819 − 1 rows × 5 columns) and 820 do not; eight columns fit 102 rows, not 103.
case("matrices", "819 × 1 of tower(11)", lambda: matrix(819, 1, tower(11)))
case("matrices", "820 × 1 of tower(11)", lambda: matrix(820, 1, tower(11)))
case("matrices", "102 × 8 of tower(11)", lambda: matrix(102, 8, tower(11)))
case("matrices", "103 × 8 of tower(11)", lambda: matrix(103, 8, tower(11)))
case("matrices", "1,000 × 16 of tower(6)", lambda: matrix(1_000, 16, tower(6)))
case("matrices", "300 × 300 of tower(3)", lambda: matrix(300, 300, tower(3)))
case("matrices", "100,000 × 1 of tower(3)", lambda: matrix(100_000, 1, tower(3)), slow=True)

# ---- 5. digits in deep parentheses: a wide, one-row picture nested to the limit ----
case("digits", "120 parens around 1.1M digits", lambda: "(" * 120 + "1" * 1_100_000 + ")" * 120)

# ---- 6. dense inputs ----
case("dense", "x × 10^7", lambda: "x" * 10**7, slow=True)
case("dense", "a+ × 5·10^6", lambda: "a+" * 5 * 10**6, slow=True)
case("dense", "α × 5·10^6 (a node each)", lambda: "α" * 5 * 10**6, slow=True)

# ---- 7. deep nesting around a mid-size picture ----
#
# Every level builds a new block the size of the whole picture, so 116 levels around a picture of
# 0.6M cells do some 116 times the work of the picture itself, and the blocks of the levels are
# what a call holds at once. The core is far below the limit, and so is every result (at most
# 2,163 rows × 765 columns) except two: \binom's height doubles at every level, and \sum's sign
# is half again as wide as its body is tall, so both are rightly too large after a few levels.
# Braces build no block of their own and are the control. Kept: the cost per cell and the peak
# memory are the highest of the inputs that render.
MID = beside(10, 300)  # 2,047 rows × 301 columns = 616,147 cells
DEEP_AROUND = {
    "braces": lambda c: "{" * 116 + c + "}" * 116,
    "minus": lambda c: "-" * 232 + "{" + c + "}",
    "parens": lambda c: "(" * 116 + c + ")" * 116,
    r"\left|": lambda c: r"\left|" * 116 + c + r"\right|" * 116,
    r"\sqrt": lambda c: r"\sqrt{" * 116 + c + "}" * 116,
    r"\sqrt[x]": lambda c: r"\sqrt[x]{" * 116 + c + "}" * 116,  # roots with an index
    r"\hat": lambda c: r"\hat{" * 116 + c + "}" * 116,
    r"\mathbf": lambda c: r"\mathbf{" * 116 + c + "}" * 116,  # restyles every cell at every level
    "x^{…} (scripts)": lambda c: "x^{" * 116 + c + "}" * 116,
    "pmatrix": lambda c: r"\begin{pmatrix}" * 116 + c + r"\end{pmatrix}" * 116,
    r"\binom{…}{x}": lambda c: r"\binom{" * 116 + c + "}{x}" * 116,
    r"\sum": lambda c: r"\sum{" * 116 + c + "}" * 116,
}
for wrapper, wrap in DEEP_AROUND.items():
    case("deep around 0.6M cells", f"{wrapper} deep around 616,147 cells",
         lambda wrap=wrap: wrap(MID))

# ---- 8. one-row scripts nested in one another, each tested for script forms ----
#
# The test of a script paints it through a probe; a script that takes rows of its own beside an
# empty base is one row again, and LaTeX's primes are their own superscript forms, so the probe of
# every level meets the levels within it.
case("nested scripts", "127 {}^{…} around 2M q",
     lambda: "{}^{" * 127 + "q" * 2_000_000 + "}" * 127)
case("nested scripts", "127 {}^{…} around 2M digits and a q",
     lambda: "{}^{" * 127 + "2" * 2_000_000 + "q" + "}" * 127)
case("nested scripts", "127 {}^{…} around 2M q (ascii)",
     lambda: "{}^{" * 127 + "q" * 2_000_000 + "}" * 127, dialects=("latex",), ascii=True)
case("nested scripts", "x^{'^{…}} 126 deep around 2M primes",
     lambda: "x^{" + "'^{" * 126 + "'" * 2_000_000 + "}" * 127, dialects=("latex",))
case("nested scripts", "x^{'^{…}} 126 deep around 2M primes (ascii)",
     lambda: "x^{" + "'^{" * 126 + "'" * 2_000_000 + "}" * 127, dialects=("latex",), ascii=True)
case("nested scripts", r"126 \not{…} around = and 1M {}",
     lambda: r"\not{" * 126 + "=" + "{}" * 1_000_000 + "}" * 126, dialects=("latex",))

# ---- 9. pairs nested in one another around a long run: each level once ----
case("nested pairs", r"126 \left( around 10^6 letters",
     lambda: r"\left(" * 126 + "x" * 10**6 + r"\right)" * 126)
case("nested pairs", "126 matrices around 10^6 letters",
     lambda: r"\begin{matrix}" * 126 + "x" * 10**6 + r"\end{matrix}" * 126)
case("nested pairs", "126 matrices around 10^6 letters and an open (",
     lambda: r"\begin{matrix}" * 126 + "(" + "x" * 10**6 + r"\end{matrix}" * 126)

# ---- 10. formulas broken into lines (width=) ----
case("lines", "a+a+… (10^6 terms), width=1", lambda: "+".join(["a"] * 10**6),
     dialects=("latex",), width=1)
case("lines", "a+a+… (2·10^6 terms), width=80", lambda: "+".join(["a"] * 2 * 10**6),
     dialects=("latex",), width=80)
case("lines", r"\frac{a}{b}+… (2·10^5 terms), width=1", lambda: "+".join([r"\frac{a}{b}"] * 2 * 10**5),
     dialects=("latex",), width=1)
case("lines", "a=a=… (10^6 terms), width=3", lambda: "=".join(["a"] * 10**6),
     dialects=("latex",), width=3)
case("lines", "a+a+… (4·10^6 terms)", lambda: "+".join(["a"] * 4 * 10**6), slow=True)

# ---- the flat chain every other input is measured against, in each dialect ----
REFERENCES = {dialect: Case("reference", "flat chain a+a+… (100,000)",
                            lambda: "+".join(["a"] * 100_000), dialect=dialect)
              for dialect in DIALECTS}

# The child's peak is its VmHWM where /proc has it: Linux carries a process's ru_maxrss across
# exec, so a child started from this process reports at least this process's own peak (which
# holds the largest input built so far) and would hide any smaller figure. ru_maxrss elsewhere.
CHILD = r"""
import json, resource, sys, time, vok, vok_latex

def peak_kib():
    try:
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss

def call(text):
    try:
        picture = render(text, **options)
        rows = picture.count("\n")
        return {"cells": len(picture) - rows, "outcome": f"{rows:,} rows"}
    except (ValueError, MemoryError) as error:
        return {"cells": 0, "outcome": f"{type(error).__name__}: {error}"}

spec = json.loads(sys.stdin.readline())
render = (vok_latex if spec["dialect"] == "latex" else vok).render
options = spec["options"]
text = sys.stdin.read()
render("x")  # the first call's one-time costs (the command table) are not the input's
before = peak_kib()
start = time.perf_counter()
out = call(text)
seconds = time.perf_counter() - start
peak = peak_kib()
# A fast input is timed again until a tenth of a second has passed, and its best call kept:
# microseconds measured once are mostly noise.
spent, calls = seconds, 1
while spent < 0.1 and calls < 1000:
    again = time.perf_counter()
    call(text)
    took = time.perf_counter() - again
    seconds, spent, calls = min(seconds, took), spent + took, calls + 1
print(json.dumps({"seconds": seconds, "peak_kib": peak, "growth_kib": peak - before, **out}))
"""


def measure(c: Case, text: str, timeout: float) -> dict:
    spec = json.dumps({"dialect": c.dialect, "options": c.options})
    try:
        done = subprocess.run([sys.executable, "-c", CHILD], input=spec + "\n" + text,
                              capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return {"seconds": timeout, "peak_kib": 0, "growth_kib": 0, "cells": 0,
                "outcome": "timeout"}
    if done.returncode != 0:
        last = (done.stderr.strip().splitlines() or ["no message"])[-1]
        return {"seconds": 0.0, "peak_kib": 0, "growth_kib": 0, "cells": 0,
                "outcome": f"child exited {done.returncode}: {last}"}
    return json.loads(done.stdout)


def budget(size: int, cells: int) -> int:
    """The memory an input may grow the process by, in bytes."""
    return 48 * size + 8 * cells + 16 * MIB


def label(c: Case) -> str:
    """The input's name, with the options it is rendered with."""
    options = ", ".join(f"{k}={v}" for k, v in c.options.items() if f"{k}=" not in c.name
                        and not (k == "ascii" and "(ascii)" in c.name))
    return f"{c.name} ({options})" if options else c.name


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="skip the slowest inputs")
    parser.add_argument("--timeout", type=float, default=120.0, help="seconds per child")
    parser.add_argument("--only", default="",
                        help="run only the inputs whose family or name holds this")
    parser.add_argument("--dialect", choices=("exact", "latex", "both"), default="both")
    args = parser.parse_args()
    dialects = DIALECTS if args.dialect == "both" else (args.dialect,)
    cases = [c for c in CASES
             if args.only in f"{c.family} {c.name}" and not (args.quick and c.slow)
             and c.dialect in dialects]

    header = (f"{'input':50}{'dialect':>8}{'bytes':>11}{'cells':>12}{'s':>9}{'peak MiB':>10}"
              f"{'+MiB':>8}{'ns/unit':>10}{'ratio':>9}  outcome")
    print(header)
    reference_ns: dict[str, float] = {}
    results = []
    family = None
    for c in [REFERENCES[d] for d in dialects] + cases:
        if c.family != family:
            family = c.family
            print(f"-- {family}")
        text = c.build()
        size = len(text.encode())
        m = measure(c, text, args.timeout)
        ns = m["seconds"] * 1e9 / (size + m["cells"])
        reference_ns.setdefault(c.dialect, ns)
        ratio = ns / reference_ns[c.dialect]
        results.append((c, size, m, ratio))
        print(f"{label(c)[:50]:50}{c.dialect:>8}{size:>11,}{m['cells']:>12,}{m['seconds']:9.3f}"
              f"{m['peak_kib'] / 1024:10.1f}{m['growth_kib'] / 1024:8.1f}"
              f"{ns:10.1f}{ratio:8.1f}×  {m['outcome']}", flush=True)

    print()
    for dialect in dialects:
        of_dialect = [r for r in results if r[0].dialect == dialect]
        worst = max(of_dialect, key=lambda r: r[3])
        print(f"largest ratio, {dialect}: {worst[3]:,.1f}× ({label(worst[0])}: {worst[2]['outcome']})")
    print()
    print("memory check: growth beyond the idle interpreter against"
          " 48 B × bytes + 8 B × cells + 16 MiB")
    over = 0
    for c, size, m, _ in results:
        allowed = budget(size, m["cells"])
        growth = m["growth_kib"] * 1024
        flag = "OVER" if growth > allowed else "ok"
        over += growth > allowed
        print(f"  {label(c)[:50]:50}{c.dialect:>7}{growth / MIB:9.1f} MiB of {allowed / MIB:7.1f} MiB"
              f"{growth / allowed:7.2f}×  {flag}")
    print(f"{over} of {len(results)} inputs over the budget")


if __name__ == "__main__":
    main()
