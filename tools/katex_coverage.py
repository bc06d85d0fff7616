#!/usr/bin/env python3
r"""How much of KaTeX's documented vocabulary the LaTeX dialect knows: figures printed, never
asserted.

    python3 tools/katex_coverage.py [--list FILE]

The list (tools/katex-functions.txt by default) holds one name a line: `\name` for a command,
`\begin{name}` for an environment; lines starting with `#` are comments. A command counts as known
when `vok --commands` lists it (the `vok` command beside the running interpreter, else on
PATH), or when that command draws it, with an argument, in math or in `\text`, without an error
and without source text: the parser reads a few itself (`\{`, `\,`, `\\`). An environment counts
as known when the command draws a one-row example of it. The names not known are printed, one a
line.
"""

from __future__ import annotations

import argparse
import re
import subprocess
import sys
from pathlib import Path

from gen_command_list import vok_command  # the tool beside this one

ROOT = Path(__file__).resolve().parent.parent
DEFAULT = ROOT / "tools" / "katex-functions.txt"
ENVIRONMENT = re.compile(r"\\begin\{([^}]+)\}")


def known_commands() -> set[str]:
    """The LaTeX dialect's command names, backslash included, as `vok --commands` lists."""
    done = subprocess.run([vok_command(), "--commands"], capture_output=True,
                          text=True, check=True)
    return {line.split("\t")[0] for line in done.stdout.splitlines() if line}


def draws(formula: str) -> bool:
    """Whether the `vok` command draws a formula without an error and without source text (an
    unknown command is drawn as written, backslash included)."""
    done = subprocess.run([vok_command(), "--", formula], capture_output=True,
                          text=True)
    return done.returncode == 0 and "\\" not in done.stdout


def drawn(name: str) -> bool:
    """A command the list of commands leaves out, read by the parser itself (`\\{`, `\\,`, `\\\\`),
    with an argument in math or in text."""
    return draws(f"a {name}{{x}} b") or draws(f"\\text{{{name}{{x}}}}")


# The commands that define macros, and the other primitives of expansion, are carried out before
# the formula is read: known when a use of them draws what they give.
DEFINITIONS = {
    name: f"{name}\\x{{y}}\\x" for name in ("\\def", "\\gdef", "\\edef", "\\xdef")
} | {
    name: f"{name}{{\\x}}{{y}}\\x"
    for name in ("\\newcommand", "\\renewcommand", "\\providecommand")
} | {
    "\\let": r"\let\x=y\x",
    "\\global": r"\global\def\x{y}\x",
    "\\long": r"\long\def\x{y}\x",
    "\\futurelet": r"\futurelet\x\relax y\x",
    "\\@ifnextchar": r"\@ifnextchar y{a}{b}y",
    # a setting made by redefining it: rows of a grid are one line apart whatever it says
    "\\arraystretch": r"\renewcommand{\arraystretch}{1.5}\begin{matrix}a\end{matrix}",
}


def environment_known(name: str) -> bool:
    # The environments that take a column argument get one; the rest take none.
    argument = "{cc}" if name in ("array", "darray") else "{2}" if "at" in name else ""
    return draws(f"\\begin{{{name}}}{argument} a & b \\end{{{name}}}")


def read_list(path: Path) -> list[str]:
    lines = (line.strip() for line in path.read_text(encoding="utf-8").splitlines())
    return [line for line in lines if line and not line.startswith("#")]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", type=Path, default=DEFAULT)
    args = parser.parse_args()
    names = read_list(args.list)
    commands = known_commands()
    missing = []
    for name in names:
        env = ENVIRONMENT.fullmatch(name)
        if env:
            known = environment_known(env.group(1))
        elif name in DEFINITIONS:
            known = draws(DEFINITIONS[name])
        else:
            known = name in commands or drawn(name)
        if not known:
            missing.append(name)
    known_count = len(names) - len(missing)
    print(f"{known_count} of {len(names)} names known "
          f"({100 * known_count / len(names):.1f} %), {len(missing)} missing:")
    for name in missing:
        print(f"  {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
