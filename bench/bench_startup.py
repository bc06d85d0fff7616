"""Cold start: a fresh interpreter that imports vok and renders one formula, against a fresh
interpreter that does nothing. Runs alternate; the medians and their difference are printed.

    python bench/bench_startup.py [--runs N]
"""

import argparse
import statistics
import subprocess
import sys
import time


def run(code: str) -> float:
    start = time.perf_counter()
    subprocess.run([sys.executable, "-I", "-c", code], check=True)
    return time.perf_counter() - start


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=40)
    args = parser.parse_args()
    bare, with_vok, with_latex = [], [], []
    for _ in range(args.runs):
        bare.append(run("pass"))
        with_vok.append(run("import vok; vok.render(r'\\frac{a}{b}')"))
        with_latex.append(run("import vok_latex; vok_latex.render(r'\\frac{a}{b}')"))
    b, v, latex = statistics.median(bare), statistics.median(with_vok), statistics.median(with_latex)
    print(f"interpreter alone: {b * 1e3:.2f} ms; with import vok and a first render: {v * 1e3:.2f} ms;"
          f" with vok_latex: {latex * 1e3:.2f} ms")
    print(f"cold start of vok beyond the interpreter's own: {(v - b) * 1e3:.2f} ms")
    print(f"cold start of vok_latex beyond the interpreter's own: {(latex - b) * 1e3:.2f} ms")
    for module in ("vok", "vok_latex"):
        imports = subprocess.run([sys.executable, "-I", "-X", "importtime", "-c", f"import {module}"],
                                 capture_output=True, text=True).stderr.splitlines()
        print(f"import time of {module} (µs, self | cumulative):",
              next((line for line in imports if line.endswith(f" {module}")), "?"))


if __name__ == "__main__":
    main()
