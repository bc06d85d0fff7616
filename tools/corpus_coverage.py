#!/usr/bin/env python3
"""How much of a corpus of real formulas each dialect reads: the figures of the LaTeX dialect's
coverage goal, printed, never asserted.

    python3 tools/corpus_coverage.py [FILE] [--top N] [--errors N]

FILE defaults to ../shared/corpus/formulas-real.txt beside the repository (one formula per
line). For each dialect it prints the share of formulas that render without error and the share
that render with every command known; for the LaTeX dialect, the commands still drawn as source
text (an unknown command is drawn as written, backslash included) with how many formulas use each,
and the most frequent error messages. The exact markup draws an unknown command as its bare name,
so there a formula counts as known when every command in it is a name of the markup's table.
"""

from __future__ import annotations

import argparse
import collections
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT = ROOT.parent / "shared" / "corpus" / "formulas-real.txt"
COMMAND = re.compile(r"\\([A-Za-z]+)")
sys.path.insert(0, str(ROOT / "tools"))


def exact_names() -> set[str]:
    import gen_command_list

    rows = gen_command_list.read_table((ROOT / "src" / "vocabulary_rows.hpp").read_text("utf-8"))
    return {row.name for row in rows}


def input_commands(formula: str) -> list[str]:
    # \\ is an escape, not the start of a command.
    return COMMAND.findall(formula.replace("\\\\", " "))


def exact(formulas: list[str]) -> tuple[int, int]:
    import vok

    names = exact_names()
    ok = known = 0
    for formula in formulas:
        try:
            vok.render(formula)
        except ValueError:
            continue
        ok += 1
        known += all(name in names for name in input_commands(formula))
    return ok, known


def latex(formulas: list[str], top: int, errors: int) -> tuple[int, int]:
    import vok_latex

    ok = known = 0
    unknown: collections.Counter[str] = collections.Counter()
    messages: collections.Counter[str] = collections.Counter()
    for formula in formulas:
        try:
            picture = vok_latex.render(formula)
        except ValueError as error:
            # The message without its position, so that equal problems count together.
            messages[re.sub(r"(,| at) byte \d+(, column \d+)?", "", str(error))] += 1
            continue
        ok += 1
        drawn = set(COMMAND.findall(picture))
        known += not drawn
        unknown.update(drawn)
    print(f"  commands drawn as source, by formulas using them (top {top}):")
    for name, count in unknown.most_common(top):
        print(f"    {count:6,}  \\{name}")
    print(f"  error messages, by formulas (top {errors}):")
    for message, count in messages.most_common(errors):
        print(f"    {count:6,}  {message}")
    return ok, known


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("file", nargs="?", type=Path, default=DEFAULT)
    parser.add_argument("--top", type=int, default=30, help="unknown commands to list")
    parser.add_argument("--errors", type=int, default=15, help="error messages to list")
    args = parser.parse_args()
    formulas = [line for line in args.file.read_text("utf-8").split("\n") if line]
    total = len(formulas)
    print(f"{args.file.name}: {total:,} formulas")

    def share(count: int) -> str:
        return f"{count:6,}  {100 * count / total:5.1f} %"

    print("LaTeX dialect (vok_latex):")
    ok, known = latex(formulas, args.top, args.errors)
    print(f"  without error                {share(ok)}")
    print(f"  with every command known     {share(known)}")
    print("exact markup (vok):")
    ok, known = exact(formulas)
    print(f"  without error                {share(ok)}")
    print(f"  with every command known     {share(known)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
