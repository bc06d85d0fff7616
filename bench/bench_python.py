"""Time per call of vok.render and vok_latex.render from Python, against the floor and any
installed peers.

For each of the 30 typical formulas (bench/formulas.txt by default) and for the corpus subset (that
of the full corpus at ../shared/corpus where it is present, else the sample's in tests/corpus, 190
formulas), every contender is timed in the same loop: batches
of calls with the garbage collector off, contenders and formulas interleaved round by round so
that drift of the machine hits them alike, the median batch taken. The floor is s.encode() on the
same string in the same loop: the least any function of a str can cost here. The LaTeX dialect's one-row form
(linear=True) is timed beside its picture, both through the keyword.

    python bench/bench_python.py [--rounds N] [--peer LABEL=module:function ...]

pylatexenc's latex_to_text is timed when pylatexenc is installed; any other callable taking the
formula can be added with --peer (its errors count as calls).
"""

from __future__ import annotations

import argparse
import functools
import gc
import importlib
import statistics
import sys
import time
from pathlib import Path

import vok
import vok_latex

ROOT = Path(__file__).resolve().parent.parent
FORMULAS = ROOT / "bench" / "formulas.txt"
FULL_SUBSET = ROOT.parent / "shared" / "corpus" / "formulas-subset.txt"
SUBSET = FULL_SUBSET if FULL_SUBSET.is_file() else ROOT / "tests" / "corpus" / "formulas-subset.txt"


def guarded(function):
    def call(text):
        try:
            function(text)
        except Exception:  # noqa: BLE001 - a peer's rejection of a formula still costs a call
            pass

    return call


def contenders(peers: list[str]) -> dict:
    # The one-row form against the picture, both called with the keyword.
    found = {"vok": vok.render, "vok_latex": vok_latex.render, "floor": str.encode,
             "picture": functools.partial(vok_latex.render, linear=False),
             "one_row": functools.partial(vok_latex.render, linear=True)}
    try:
        from pylatexenc.latex2text import LatexNodes2Text

        found["pylatexenc"] = LatexNodes2Text().latex_to_text
    except ImportError:
        pass
    for spec in peers:
        label, _, target = spec.partition("=")
        module, _, name = target.partition(":")
        found[label] = getattr(importlib.import_module(module), name)
    return found


def for_text(function, text: str):
    """The function itself when it accepts `text`, so that every contender is called the same way;
    wrapped when it raises for it (the wrapper's cost then counts against that contender)."""
    try:
        function(text)
        return function
    except Exception:  # noqa: BLE001
        return guarded(function)


def batch(function, text: str, calls: int) -> float:
    """Seconds per call over one batch, the collector off."""
    gc.disable()
    try:
        start = time.perf_counter()
        for _ in range(calls):
            function(text)
        return (time.perf_counter() - start) / calls
    finally:
        gc.enable()


def calls_for(function, text: str) -> int:
    """Enough calls for a batch of about 2 ms."""
    per_call = batch(function, text, 20)
    return max(20, min(20_000, int(0.002 / max(per_call, 1e-9))))


def per_formula(functions: dict, formulas: list[str], rounds: int) -> dict:
    callers = {(label, text): for_text(f, text) for label, f in functions.items() for text in formulas}
    sizes = {key: calls_for(caller, key[1]) for key, caller in callers.items()}
    samples: dict[tuple, list[float]] = {key: [] for key in sizes}
    for _ in range(rounds):
        for text in formulas:
            for label in functions:
                key = (label, text)
                samples[key].append(batch(callers[key], text, sizes[key]))
    return {key: statistics.median(values) for key, values in samples.items()}


def corpus_loop(function, texts: list[str]) -> float:
    gc.disable()
    try:
        start = time.perf_counter()
        for text in texts:
            function(text)
        return time.perf_counter() - start
    finally:
        gc.enable()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--formulas", type=Path, default=FORMULAS)
    parser.add_argument("--corpus", type=Path, default=SUBSET)
    parser.add_argument("--peer", action="append", default=[], metavar="LABEL=module:function")
    args = parser.parse_args()

    functions = contenders(args.peer)
    formulas = args.formulas.read_text(encoding="utf-8").splitlines()

    times = per_formula(functions, formulas, args.rounds)
    labels = list(functions)
    print(f"CPython {sys.version.split()[0]}, {args.rounds} rounds, median per call in µs")
    header = f"{'formula':44}" + "".join(f"{label:>12}" for label in labels) + f"{'vok/floor':>11}"
    print(header)
    vok_times, floor_times = [], []
    for text in formulas:
        row = [times[(label, text)] for label in labels]
        vok_times.append(times[("vok", text)])
        floor_times.append(times[("floor", text)])
        shown = text if len(text) <= 42 else text[:41] + "…"
        ratio = times[("vok", text)] / times[("floor", text)]
        print(f"{shown:44}" + "".join(f"{t * 1e6:12.3f}" for t in row) + f"{ratio:11.1f}")
    medians = {label: statistics.median(times[(label, text)] for text in formulas) for label in labels}
    print(f"{'median of the formulas':44}" + "".join(f"{medians[label] * 1e6:12.3f}" for label in labels)
          + f"{medians['vok'] / medians['floor']:11.1f}")
    print(f"slowest vok formula: {max(vok_times) * 1e6:.3f} µs")
    print(f"the LaTeX dialect's median: {medians['vok_latex'] / medians['vok']:.2f}× the exact"
          f" markup's, {medians['vok_latex'] / medians['floor']:.1f}× the floor")
    ratios = [times[("one_row", text)] / times[("picture", text)] for text in formulas]
    print(f"the one-row form (linear=True): median {medians['one_row'] / medians['picture']:.2f}×"
          f" the picture's (linear=False), per formula {min(ratios):.2f}× to {max(ratios):.2f}×")

    if args.corpus.is_file():
        texts = args.corpus.read_text(encoding="utf-8").splitlines()
        totals = {label: [] for label in labels}
        for _ in range(max(3, args.rounds // 3)):
            for label, function in functions.items():
                totals[label].append(corpus_loop(guarded(function), texts))
        print(f"\ncorpus {args.corpus}: {len(texts)} formulas in one loop")
        for label in labels:
            seconds = statistics.median(totals[label])
            print(f"  {label:12} {seconds * 1e3:9.2f} ms  {len(texts) / seconds:12,.0f} formulas/s"
                  f"  {seconds / statistics.median(totals['floor']):8.1f}× the floor")
    else:
        print(f"\ncorpus not found: {args.corpus}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
