"""Scaling: time and peak memory of vok.render as inputs grow tenfold, each size in a fresh child
interpreter so that peak memory is the call's own. Prints each step's ratio of time to the
previous size's.

    python bench/bench_scaling.py [--largest 1000000]
"""

import argparse
import json
import subprocess
import sys

FAMILIES = {
    "a+b+… (terms)": lambda n: "+".join("ab"[i % 2] for i in range(n)),
    "juxtaposition (atoms)": lambda n: "xy" * (n // 2),
    "wide matrix (cells)": lambda n: r"\begin{matrix}" + " & ".join(["a"] * n) + r"\end{matrix}",
    "tall matrix (rows)": lambda n: r"\begin{matrix}" + r" \\ ".join(["a"] * n) + r"\end{matrix}",
    r"\left( x \right) (pairs)": lambda n: r"\left( x \right)" * n,
    "fractions side by side": lambda n: r"\frac{a}{b}" * n,
    "scripts (x^2_i)": lambda n: "x^2_i" * n,
}
DEEP = {  # nesting up to the limit, repeated side by side
    "127 nested braces": "{" * 127 + "x" + "}" * 127,
    "127 nested roots": r"\sqrt{" * 127 + "x" + "}" * 127,
    r"127 nested \left(": r"\left(" * 127 + "x" + r"\right)" * 127,
    "127 nested pmatrix": r"\begin{pmatrix}" * 127 + "x" + r"\end{pmatrix}" * 127,
    "254 minus signs": "-" * 254 + "x",
}

# Peak memory is the child's own high-water mark (VmHWM): ru_maxrss carries the parent's peak
# across exec, which would hide every figure below it.
CHILD = r"""
import json, resource, sys, time, vok

def peak_kib():
    try:
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss

text = sys.stdin.read()
before = peak_kib()
start = time.perf_counter()
try:
    size = len(vok.render(text))
except ValueError as error:
    size = str(error)
seconds = time.perf_counter() - start
peak = peak_kib()
print(json.dumps({"seconds": seconds, "peak_kib": peak, "growth_kib": peak - before, "out": size}))
"""


def measure(text: str) -> dict:
    done = subprocess.run([sys.executable, "-c", CHILD], input=text, capture_output=True, text=True, check=True)
    return json.loads(done.stdout)


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--largest", type=int, default=1_000_000)
    args = parser.parse_args()
    sizes = [n for n in (10_000, 100_000, 1_000_000, 10_000_000) if n <= args.largest]
    print(f"{'input':28}{'n':>10}{'bytes':>12}{'ms':>10}{'step':>7}{'peak MiB':>10}{'+MiB':>8}  output")
    for name, build in FAMILIES.items():
        previous = None
        for n in sizes:
            text = build(n)
            m = measure(text)
            step = f"{m['seconds'] / previous:6.1f}×" if previous else "       "
            previous = m["seconds"]
            out = f"{m['out']:,} chars" if isinstance(m["out"], int) else m["out"]
            print(f"{name:28}{n:>10,}{len(text.encode()):>12,}{m['seconds'] * 1e3:10.1f}{step}"
                  f"{m['peak_kib'] / 1024:10.1f}{m['growth_kib'] / 1024:8.1f}  {out}")
    for name, text in DEEP.items():
        m = measure(text * 1000)
        out = f"{m['out']:,} chars" if isinstance(m["out"], int) else m["out"]
        print(f"{name + ' ×1000':28}{1000:>10,}{len(text.encode()) * 1000:>12,}{m['seconds'] * 1e3:10.1f}"
              f"{'':7}{m['peak_kib'] / 1024:10.1f}{m['growth_kib'] / 1024:8.1f}  {out}")


if __name__ == "__main__":
    main()
