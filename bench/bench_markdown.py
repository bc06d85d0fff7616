"""Throughput of vok_latex.render_markdown on a long Markdown document of prose and real formulas.

The document is built here: paragraphs of prose (words drawn with a fixed seed) with the corpus
subset's formulas (../shared/corpus/formulas-subset.txt by default) placed in them, one in three
as display math ($$…$$ on lines of their own), the others inline ($…$), with a code block now and
then. Three figures, each the median of several runs:

- the prose alone (the same document with its formulas taken out), in MB/s: the cost of reading
  text that is not math;
- the whole document, in MB/s;
- the math: the whole document's time less the prose's, per formula, against vok_latex.render
  called on each formula on its own in a loop.

    python bench/bench_markdown.py [--formulas FILE] [--copies N] [--runs N]
"""

from __future__ import annotations

import argparse
import gc
import random
import statistics
import time
from pathlib import Path

import vok_latex

ROOT = Path(__file__).resolve().parent.parent
SUBSET = ROOT.parent / "shared" / "corpus" / "formulas-subset.txt"
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
    parser.add_argument("--copies", type=int, default=2)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    formulas = [line for line in args.formulas.read_text("utf-8").split("\n")
                if line and "$" not in line]
    full, prose = document(formulas, args.copies)
    count = len(formulas) * args.copies

    prose_time = median_time(lambda: vok_latex.render_markdown(prose), args.runs)
    full_time = median_time(lambda: vok_latex.render_markdown(full), args.runs)

    def each():
        for _ in range(args.copies):
            for formula in formulas:
                try:
                    vok_latex.render(formula)
                except ValueError:
                    pass

    each_time = median_time(each, args.runs)
    megabytes = len(prose.encode()) / 1e6
    print(f"document: {len(full.encode()) / 1e6:.1f} MB, {count:,} formulas "
          f"({count // 3 + (count % 3 > 0):,} display); the prose alone {megabytes:.1f} MB")
    print(f"  prose alone        {prose_time * 1e3:8.1f} ms   {megabytes / prose_time:8.0f} MB/s")
    print(f"  whole document     {full_time * 1e3:8.1f} ms   "
          f"{len(full.encode()) / 1e6 / full_time:8.0f} MB/s")
    math = (full_time - prose_time) / count
    print(f"  math, per formula  {math * 1e6:8.2f} µs   against vok_latex.render alone "
          f"{each_time / count * 1e6:.2f} µs: {math / (each_time / count):.2f}×")


if __name__ == "__main__":
    main()
