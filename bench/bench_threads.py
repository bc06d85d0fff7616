"""Every core: the corpus drawn by one thread and by several, each thread a batch call
(vok_latex.render_many) on its share; long documents (render_markdown) likewise; and the exact
markup's formulas through a process pool against one process. Prints each run's time and the
speed-up over one worker. Figures printed, never asserted.

    python bench/bench_threads.py [--workers 2] [--rounds 21] [--corpus PATH]
"""

from __future__ import annotations

import argparse
import os
import statistics
import time
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from pathlib import Path

import vok
import vok_latex

ROOT = Path(__file__).resolve().parent.parent
CORPUS = ROOT.parent / "shared" / "corpus" / "formulas-real.txt"
SAMPLE = ROOT / "tests" / "corpus" / "formulas-real.txt"


def shares(items: list, count: int) -> list[list]:
    """`items` cut into `count` consecutive shares of nearly equal length."""
    size = -(-len(items) // count)
    return [items[i:i + size] for i in range(0, len(items), size)]


def paired(one, many, rounds: int) -> tuple[float, float]:
    """The median times of `rounds` runs of `one` and of `many`, alternating, so that the
    machine's drift hits both alike."""
    times: tuple[list[float], list[float]] = ([], [])
    for _ in range(rounds):
        for call, kept in zip((one, many), times):
            start = time.perf_counter()
            call()
            kept.append(time.perf_counter() - start)
    return statistics.median(times[0]), statistics.median(times[1])


def in_threads(function, parts: list, workers: int):
    with ThreadPoolExecutor(max_workers=workers) as pool:
        return list(pool.map(function, parts))


def exact_share(formulas: list[str]) -> int:
    """Draws a share of formulas in the exact markup; how many it drew."""
    drawn = 0
    for formula in formulas:
        try:
            vok.render(formula)
            drawn += 1
        except ValueError:
            pass
    return drawn


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--workers", type=int, default=min(2, os.cpu_count() or 1))
    parser.add_argument("--rounds", type=int, default=21)
    parser.add_argument("--corpus", type=Path, default=CORPUS if CORPUS.exists() else SAMPLE)
    args = parser.parse_args()
    formulas = args.corpus.read_text(encoding="utf-8").splitlines()
    workers = args.workers
    print(f"{len(formulas)} formulas from {args.corpus}, {workers} workers, "
          f"{os.cpu_count()} cores, median of {args.rounds}")

    def report(name: str, one: float, many: float, rate: str) -> None:
        print(f"{name:44} 1: {one * 1e3:8.1f} ms  {workers}: {many * 1e3:8.1f} ms  "
              f"{one / many:5.2f}×  (one: {rate})")

    # Threads, each a batch call on its share of the corpus.
    parts = shares(formulas, workers)
    one, many = paired(lambda: vok_latex.render_many(formulas, errors="none"),
                       lambda: in_threads(lambda part: vok_latex.render_many(part, errors="none"),
                                          parts, workers), args.rounds)
    report("threads, render_many on the corpus", one, many,
           f"{len(formulas) / one / 1e3:.0f}k formulas/s")

    # Threads, each drawing long documents.
    paragraph = ("The roots of $ax^2 + bx + c$ are\n\n"
                 "$$x = \\frac{-b \\pm \\sqrt{b^2 - 4ac}}{2a}$$\n\nand $x_1 x_2 = c/a$.\n\n")
    document = paragraph * 5000
    documents = [document] * (2 * workers)
    one, many = paired(lambda: [vok_latex.render_markdown(text) for text in documents],
                       lambda: in_threads(lambda part: [vok_latex.render_markdown(t) for t in part],
                                          shares(documents, workers), workers), args.rounds)
    report(f"threads, render_markdown of {len(document) / 1e6:.1f} MB", one, many,
           f"{len(document) * len(documents) / one / 1e6:.1f} MB/s")

    # The exact markup through a pool of processes (its calls are short: they keep the lock).
    with ProcessPoolExecutor(max_workers=workers) as pool:
        list(pool.map(exact_share, parts))  # the workers started and their module imported
        one, many = paired(lambda: exact_share(formulas),
                           lambda: sum(pool.map(exact_share, shares(formulas, 8 * workers))),
                           args.rounds)
    report("processes, vok.render on the corpus", one, many,
           f"{len(formulas) / one / 1e3:.0f}k formulas/s")


if __name__ == "__main__":
    main()
