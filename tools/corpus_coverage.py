#!/usr/bin/env python3
"""How much of a corpus of real formulas each dialect reads: the figures of the LaTeX dialect's
coverage goal, printed, never asserted.

    python3 tools/corpus_coverage.py [FILE] [--top N] [--errors N]
    python3 tools/corpus_coverage.py --write    # the same, into README.md's coverage section

FILE defaults to ../shared/corpus/formulas-real.txt beside the repository (one formula per
line). For each dialect it prints the share of formulas that render without error and the share
that render with every command known; for the LaTeX dialect, the commands still drawn as source
text (an unknown command is drawn as written, backslash included) with how many formulas use each,
and the error messages that remain. The exact markup draws an unknown command as its bare name,
so there a formula counts as known when every command in it is one that `vok --exact --commands` lists
(the `vok` command beside the running interpreter, else on PATH).
"""

from __future__ import annotations

import argparse
import collections
import re
import sys
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
README = ROOT / "README.md"
DEFAULT = ROOT.parent / "shared" / "corpus" / "formulas-real.txt"
BEGIN = "<!-- coverage: printed by tools/corpus_coverage.py -->"
END = "<!-- end of coverage -->"
COMMAND = re.compile(r"\\([A-Za-z]+)")
sys.path.insert(0, str(ROOT / "tools"))


@dataclass
class Coverage:
    total: int
    ok: int = 0
    known: int = 0
    unknown: collections.Counter[str] = field(default_factory=collections.Counter)
    messages: collections.Counter[str] = field(default_factory=collections.Counter)


def exact_names() -> set[str]:
    """The exact markup's command names, as `vok --exact --commands` lists them."""
    import gen_command_list

    return {row.name for row in gen_command_list.commands()}


def input_commands(formula: str) -> list[str]:
    # \\ is an escape, not the start of a command.
    return COMMAND.findall(formula.replace("\\\\", " "))


def exact(formulas: list[str]) -> Coverage:
    import vok

    names = exact_names()
    result = Coverage(len(formulas))
    for formula in formulas:
        try:
            vok.render(formula)
        except ValueError:
            continue
        result.ok += 1
        result.known += all(name in names for name in input_commands(formula))
    return result


def latex(formulas: list[str]) -> Coverage:
    import vok_latex

    result = Coverage(len(formulas))
    for formula in formulas:
        try:
            picture = vok_latex.render(formula)
        except ValueError as error:
            # The message without its position, so that equal problems count together.
            result.messages[re.sub(r"(,| at) byte \d+(, column \d+)?", "", str(error))] += 1
            continue
        result.ok += 1
        drawn = {name for name in input_commands(formula) if "\\" + name in picture}
        result.known += not drawn
        result.unknown.update(drawn)
    return result


def first(counts: collections.Counter[str], n: int) -> list[tuple[str, int]]:
    """The n most frequent, equal counts in alphabetical order."""
    return sorted(counts.items(), key=lambda item: (-item[1], item[0]))[:n]


def share(count: int, total: int) -> str:
    return f"{count:,} ({100 * count / total:.1f} %)"


def markdown(formulas: list[str], top: int, errors: int) -> str:
    """The README's coverage section: the figures of both dialects, then what the LaTeX dialect
    leaves: the commands it draws as written and the error messages, with their formulas."""
    mine, theirs = latex(formulas), exact(formulas)
    total = len(formulas)
    lines = [
        "| | without error | with every command known |",
        "|---|---:|---:|",
        f"| LaTeX dialect (`vok_latex`) | {share(mine.ok, total)} | {share(mine.known, total)} |",
        f"| exact markup (`vok`) | {share(theirs.ok, total)} | {share(theirs.known, total)} |",
        "",
        f"Commands drawn as written, by formulas using them (the first {top}): "
        + ", ".join(f"`\\{name}` {count}" for name, count in first(mine.unknown, top))
        + ".",
        "",
        f"Error messages, by formulas (the first {errors}): "
        + "; ".join(f"{message} ({count})" for message, count in first(mine.messages, errors))
        + ".",
    ]
    return "\n".join(lines)


def replace_section(readme: str, section: str) -> str:
    start = readme.index(BEGIN) + len(BEGIN)
    return readme[:start] + "\n" + section + "\n" + readme[readme.index(END):]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("file", nargs="?", type=Path, default=DEFAULT)
    parser.add_argument("--top", type=int, default=12, help="unknown commands to list")
    parser.add_argument("--errors", type=int, default=10, help="error messages to list")
    parser.add_argument("--write", action="store_true", help="rewrite README.md's section")
    args = parser.parse_args()
    formulas = [line for line in args.file.read_text("utf-8").split("\n") if line]
    section = markdown(formulas, args.top, args.errors)
    if args.write:
        README.write_text(replace_section(README.read_text("utf-8"), section), "utf-8")
    print(f"{args.file.name}: {len(formulas):,} formulas\n")
    print(section)
    return 0


if __name__ == "__main__":
    sys.exit(main())
