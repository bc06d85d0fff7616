"""What macros cost: a formula that uses ten macros against the same formula written out, with the
macros given by the caller (macros=) and defined in the formula itself, in the same loop.

    python bench/bench_macros.py [--rounds N]

Batches of calls with the garbage collector off, the contenders interleaved round by round, the
median batch taken; figures printed, never asserted.
"""

from __future__ import annotations

import argparse
import gc
import statistics
import time

import vok_latex

MACROS = {
    r"\R": r"\mathbb{R}",
    r"\N": r"\mathbb{N}",
    r"\norm": r"\left\| #1 \right\|",
    r"\abs": r"\left| #1 \right|",
    r"\ip": r"\langle #1, #2 \rangle",
    r"\pd": r"\frac{\partial #1}{\partial #2}",
    r"\E": r"\mathbb{E}",
    r"\eps": r"\varepsilon",
    r"\set": r"\{ #1 \}",
    r"\dd": r"\,\mathrm{d}",
}

USING = (
    r"\forall x \in \R^n, n \in \N: \norm{x} \le \abs{\ip{x}{y}} + \pd{f}{x}"
    r" + \E[\eps] + \set{a} \int f \dd x"
)
WRITTEN = (
    r"\forall x \in \mathbb{R}^n, n \in \mathbb{N}: \left\| x \right\| \le"
    r" \left| \langle x, y \rangle \right| + \frac{\partial f}{\partial x}"
    r" + \mathbb{E}[\varepsilon] + \{ a \} \int f \,\mathrm{d} x"
)
DEFINING = "".join(
    rf"\newcommand{{{name}}}[{max((int(c) for c in body if c.isdigit()), default=0)}]{{{body}}}"
    for name, body in MACROS.items()
) + USING


def per_call(function, batch: int) -> float:
    start = time.perf_counter()
    for _ in range(batch):
        function()
    return (time.perf_counter() - start) / batch


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=200)
    parser.add_argument("--batch", type=int, default=200)
    args = parser.parse_args()

    assert vok_latex.render(USING, macros=MACROS) == vok_latex.render(WRITTEN)
    assert vok_latex.render(DEFINING) == vok_latex.render(WRITTEN)
    contenders = {
        "written out": lambda: vok_latex.render(WRITTEN),
        "ten macros given (macros=)": lambda: vok_latex.render(USING, macros=MACROS),
        "ten macros defined in the formula": lambda: vok_latex.render(DEFINING),
    }
    times: dict[str, list[float]] = {name: [] for name in contenders}
    gc.disable()
    try:
        for _ in range(args.rounds):
            for name, function in contenders.items():
                times[name].append(per_call(function, args.batch))
    finally:
        gc.enable()
    base = statistics.median(times["written out"])
    for name, samples in times.items():
        median = statistics.median(samples)
        print(f"{name:36} {median * 1e6:8.2f} µs  {median / base:5.2f}× written out")


if __name__ == "__main__":
    main()
