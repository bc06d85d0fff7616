"""Throughput of vok_latex.render_markdown on a long Markdown document of prose and real formulas.

The document is built here: paragraphs of prose (words drawn with a fixed seed) with the corpus
subset's formulas (those of the full corpus at ../shared/corpus where it is present, else the
sample's in tests/corpus) placed in them, one in three as display math ($$…$$ on lines of their
own), the others inline ($…$), with a code block now and then. Three figures, each the median of several runs:

- the prose alone (the same document with its formulas taken out), in MB/s: the cost of reading
  text that is not math;
- the whole document, in MB/s;
- the math, per formula, against vok_latex.render called on each formula on its own in a loop,
  counted two ways: the whole document's time less the prose's, and less that of its output
  passed through (the result with its math delimiters made inert, `$` to `%`, which the filter
  copies as it is). The first charges the math with what the larger output costs (a str of
  4-byte characters once a picture holds a math letter); the second nets that out.

Then the scaling: documents of each family below (prose with math, and the shapes that could make
a reader search again and again: backtick runs of every length, openers without closers, deep
containers, displays among containers' markers, many problems, CRLF lines) at 1, 2, 4, 8 and
16 MB, the median time of each, and the exponent of size fitted to them by least squares: 1 is
linear.

Between them, the cost of a formula inline (its one row) and as display (its picture): the corpus
subset's formulas in the same prose, all inline, then all display.

    python bench/bench_markdown.py [--formulas FILE] [--copies N] [--runs N] [--sizes MB,…]
                                   [--only throughput|inline|scaling]
"""

from __future__ import annotations

import argparse
import gc
import math
import random
import statistics
import time
from pathlib import Path

import vok_latex

ROOT = Path(__file__).resolve().parent.parent
FULL_SUBSET = ROOT.parent / "shared" / "corpus" / "formulas-subset.txt"
SUBSET = FULL_SUBSET if FULL_SUBSET.is_file() else ROOT / "tests" / "corpus" / "formulas-subset.txt"
WORDS = ("the of and a to in is that for it as with was on be by this are from or an which at "
         "not have has but were their they one all we can been more if its also will would there "
         "two when value function where each such then than these other space order field "
         "system result given case point number set map group theory equation").split()


def document(formulas: list[str], copies: int, seed: int = 7) -> tuple[str, str]:
    """The document, and the same document with every formula taken out."""
    rng = random.Random(seed)
    full, prose = [], []
    for copy in range(copies):
        for k, formula in enumerate(formulas):
            words = " ".join(rng.choice(WORDS) for _ in range(rng.randint(20, 60)))
            if k % 3 == 0:
                full.append(f"{words}\n\n$$\n{formula}\n$$\n\n")
                prose.append(f"{words}\n\n")
            else:
                full.append(f"{words} ${formula}$ {words}.\n\n")
                prose.append(f"{words}  {words}.\n\n")
            if k % 50 == 0:
                code = "```python\nx = compute(a, b)  # $not math$\n```\n\n"
                full.append(code)
                prose.append(code)
    return "".join(full), "".join(prose)


def backtick_runs(size: int) -> str:
    """Runs of 1, 2, 3 … backticks in one paragraph, none closing another."""
    runs, total, k = [], 0, 1
    while total < size:
        runs.append("`" * k)
        total += k + 3
        k += 1
    return " x ".join(runs)


def repeated(unit: str):
    return lambda size: unit * (size // len(unit) + 1)


# Each family: a document of about `size` bytes.
FAMILIES = {
    "prose with inline and display math": repeated(
        "The sum $\\sum_{i=1}^{n} i$ and $x^2 + y^2$ are drawn.\n\n$$\\frac{a}{b}$$\n\n"),
    "backtick runs of every length": backtick_runs,
    "$ openers without closers": repeated("$a "),
    "\\( and \\[ without closers": repeated("\\( \\[ "),
    "$$ without content": repeated("$$ "),
    "displays on one line": repeated("$$x$$ "),
    "code fences": repeated("```\n$x$\n```\n"),
    "\\begin{equation} lines": repeated("\\begin{equation}\n"),
    "nested quotes on one line": lambda size: ">" * size,
    "nested list items on one line": lambda size: "- " * (size // 2) + "x",
    "quoted list items with displays": repeated("> - a $$x$$ b\n>   c $y$\n"),
    "lazy lines after a display": lambda size: "> a $$x$$\n" + repeated("lazy $y$\n")(size),
    "formulas that cannot be drawn": repeated("$x^$ and $\\frac{a$\n"),
    "CRLF lines": repeated("a $x$ b\r\n\r\n$$y$$\r\n"),
}


def exponent(sizes: list[int], times: list[float]) -> float:
    """The slope of log(time) against log(size), by least squares."""
    xs, ys = [math.log(x) for x in sizes], [math.log(t) for t in times]
    mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)


def scaling(megabytes: list[float], runs: int) -> None:
    sizes = [int(mb * 1e6) for mb in megabytes]
    print("scaling: median time of one call, and the exponent of size fitted to them")
    print(f"  {'family':36}" + "".join(f"{mb:>8g} MB" for mb in megabytes) + "  exponent")
    for name, make in FAMILIES.items():
        times = []
        for size in sizes:
            text = make(size)
            times.append(median_time(lambda: vok_latex.render_markdown(text), runs))
        print(f"  {name:36}" + "".join(f"{t * 1e3:8.1f} ms" for t in times) +
              f"  {exponent(sizes, times):8.2f}", flush=True)


def median_time(function, runs: int) -> float:
    times = []
    for _ in range(runs):
        gc.disable()
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
        gc.enable()
    return statistics.median(times)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--formulas", type=Path, default=SUBSET)
    parser.add_argument("--copies", type=int, default=None,
                        help="copies of the formulas in the document (default: 15,000 formulas "
                             "or more, 2 copies at the least)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1,2,4,8,16",
                        help="the sizes of the scaling's documents, in MB (default 1,2,4,8,16)")
    parser.add_argument("--only", choices=("throughput", "inline", "scaling"))
    args = parser.parse_args()
    if args.only in (None, "throughput"):
        throughput(args)
        print()
    if args.only in (None, "inline"):
        inline_and_display(args)
        print()
    if args.only in (None, "scaling"):
        scaling([float(mb) for mb in args.sizes.split(",")], 3)


def inline_and_display(args: argparse.Namespace) -> None:
    """The same formulas in the same prose, all inline ($…$, each drawn in one row) or all
    display ($$…$$ on lines of their own, each a picture): the cost of a formula in each."""
    formulas = [line for line in args.formulas.read_text("utf-8").split("\n")
                if line and "$" not in line and "\n" not in line]
    sentence = "Here the text goes on for a while before "
    inline = "".join(f"{sentence}${f}$ and after it.\n\n" for f in formulas)
    display = "".join(f"{sentence}\n$${f}$$\nand after it.\n\n" for f in formulas)
    bare = "".join(f"{sentence}\nand after it.\n\n" for _ in formulas)
    base = median_time(lambda: vok_latex.render_markdown(bare), args.runs)
    inline_time = median_time(lambda: vok_latex.render_markdown(inline), args.runs)
    display_time = median_time(lambda: vok_latex.render_markdown(display), args.runs)
    per_inline = (inline_time - base) / len(formulas)
    per_display = (display_time - base) / len(formulas)
    print(f"inline and display: {len(formulas):,} formulas in the same prose")
    print(f"  inline, one row     {per_inline * 1e6:6.2f} µs per formula")
    print(f"  display, a picture  {per_display * 1e6:6.2f} µs per formula")
    print(f"  inline / display    {per_inline / per_display:6.2f}×")


def throughput(args: argparse.Namespace) -> None:
    formulas = [line for line in args.formulas.read_text("utf-8").split("\n")
                if line and "$" not in line]
    copies = args.copies or max(2, -(-15_000 // len(formulas)))
    full, prose = document(formulas, copies)
    count = len(formulas) * copies

    prose_time = median_time(lambda: vok_latex.render_markdown(prose), args.runs)
    full_time = median_time(lambda: vok_latex.render_markdown(full), args.runs)
    # The output with no math left to find: the same length and the same characters, less `$`
    # and the `\(` and `\[` of formulas left as written.
    output = vok_latex.render_markdown(full).replace("$", "%").replace("\\(", "\\{")
    output = output.replace("\\[", "\\{")
    assert vok_latex.render_markdown(output) == output, "nothing in the output is math"
    output_time = median_time(lambda: vok_latex.render_markdown(output), args.runs)

    def each():
        for _ in range(copies):
            for formula in formulas:
                try:
                    vok_latex.render(formula)
                except ValueError:
                    pass

    each_time = median_time(each, args.runs)
    megabytes = len(prose.encode()) / 1e6
    print(f"formulas: {args.formulas}")
    print(f"document: {len(full.encode()) / 1e6:.1f} MB, {count:,} formulas "
          f"({count // 3 + (count % 3 > 0):,} display); the prose alone {megabytes:.1f} MB")
    print(f"  prose alone        {prose_time * 1e3:8.1f} ms   {megabytes / prose_time:8.0f} MB/s")
    print(f"  whole document     {full_time * 1e3:8.1f} ms   "
          f"{len(full.encode()) / 1e6 / full_time:8.0f} MB/s")
    print(f"  output passed      {output_time * 1e3:8.1f} ms   "
          f"{len(output.encode()) / 1e6 / output_time:8.0f} MB/s")
    alone = each_time / count
    print(f"  vok_latex.render on each formula alone: {alone * 1e6:.2f} µs per formula")
    for label, base in (("over the prose alone", prose_time), ("over the output passed", output_time)):
        per = (full_time - base) / count
        print(f"  math, per formula, {label:22} {per * 1e6:6.2f} µs: {per / alone:.2f}× alone")


if __name__ == "__main__":
    main()
