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
    bare, with_vok = [], []
    for _ in range(args.runs):
        bare.append(run("pass"))
        with_vok.append(run("import vok; vok.render(r'\\frac{a}{b}')"))
    b, v = statistics.median(bare), statistics.median(with_vok)
    print(f"interpreter alone: {b * 1e3:.2f} ms; with import vok and a first render: {v * 1e3:.2f} ms")
    print(f"cold start of vok beyond the interpreter's own: {(v - b) * 1e3:.2f} ms")
    imports = subprocess.run([sys.executable, "-I", "-X", "importtime", "-c", "import vok"],
                             capture_output=True, text=True).stderr.splitlines()
    print("import time (µs, self | cumulative):", next((line for line in imports if line.endswith(" vok")), "?"))


if __name__ == "__main__":
    main()
