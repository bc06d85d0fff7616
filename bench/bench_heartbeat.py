"""Heartbeat: how long a call blocks the other threads of its program. A thread ticks every
millisecond while the main thread renders a large document and a large formula; the longest gap
between two ticks is what a progress bar or a server's other requests would wait. Figures
printed, never asserted.

    python bench/bench_heartbeat.py [--megabytes 10] [--rounds 5]
"""

from __future__ import annotations

import argparse
import statistics
import threading
import time

import vok_latex


def document(megabytes: float, words: str = "The roots of") -> str:
    """Markdown of about `megabytes` MB: paragraphs with inline math and a display formula each."""
    paragraph = (f"{words} $ax^2 + bx + c$ are\n\n"
                 "$$x = \\frac{-b \\pm \\sqrt{b^2 - 4ac}}{2a}$$\n\nand $x_1 x_2 = c/a$.\n\n")
    return paragraph * max(1, int(megabytes * 1e6 / len(paragraph)))


def formula(megabytes: float) -> str:
    """A flat formula of about `megabytes` MB: a long sum of fractions."""
    term = "\\frac{a}{b} + "
    return term * max(1, int(megabytes * 1e6 / len(term))) + "c"


def longest_gap(call) -> tuple[float, float]:
    """The longest gap between ticks of a 1 ms ticker while `call` runs, and the call's time."""
    ticks: list[float] = []
    done = threading.Event()

    def tick() -> None:
        while not done.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.001)

    ticker = threading.Thread(target=tick)
    ticker.start()
    time.sleep(0.01)  # let it tick first
    start = time.perf_counter()
    call()
    elapsed = time.perf_counter() - start
    time.sleep(0.01)
    done.set()
    ticker.join()
    gaps = [later - earlier for earlier, later in zip(ticks, ticks[1:])]
    return max(gaps), elapsed


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--megabytes", type=float, default=10)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    text = document(args.megabytes)
    accented = document(args.megabytes, "Les racines réelles de")
    big = formula(args.megabytes / 2)
    cases = {
        f"render_markdown, {len(text) / 1e6:.1f} MB": lambda: vok_latex.render_markdown(text),
        f"render_markdown, {len(accented.encode()) / 1e6:.1f} MB, not ASCII":
            lambda: vok_latex.render_markdown(accented),
        f"render, {len(big) / 1e6:.1f} MB": lambda: vok_latex.render(big),
        f"render linear, {len(big) / 1e6:.1f} MB": lambda: vok_latex.render(big, linear=True),
    }
    for name, call in cases.items():
        results = [longest_gap(call) for _ in range(args.rounds)]
        gap = statistics.median(result[0] for result in results)
        elapsed = statistics.median(result[1] for result in results)
        print(f"{name:40} call {elapsed * 1e3:8.1f} ms   longest gap between ticks "
              f"{gap * 1e3:8.1f} ms (median of {args.rounds})")


if __name__ == "__main__":
    main()
