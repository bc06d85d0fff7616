#!/usr/bin/env python3
"""Generate src/latex_symbols.inc from TeX's unicode-math symbol table.

The LaTeX dialect names its symbols the way LaTeX users write them, and the most complete list of
those names with their characters and math classes is unicode-math-table.tex, which ships with the
unicode-math package (Debian: texlive-latex-recommended). Each of its lines

    \\UnicodeMathSymbol{"1D400}{\\mbfA }{\\mathalpha}{mathematical bold capital a}%

becomes one row `{"mbfA", 0x1D400, SymbolClass::Alpha},`. The rows are sorted by name in byte
order so the core can find a command with a binary search. A name listed twice keeps its first
row; the later ones are reported on stderr. A line this script cannot read, or a math class it does
not know, is an error: a new kind of symbol must not drop out of the table unnoticed.

The table's own notice (its authors and licence, the LaTeX Project Public License) is copied into
the generated file's header as the table states it.

The table is found with `kpsewhich unicode-math-table.tex`, then at Debian's path; --source names
it directly. Usage:

    python3 tools/gen_latex_symbols.py [--source PATH] > src/latex_symbols.inc
"""

from __future__ import annotations

import argparse
import re
import shutil
import subprocess
import sys
from collections import Counter
from pathlib import Path

TABLE_NAME = "unicode-math-table.tex"
DEBIAN_PATH = Path("/usr/share/texlive/texmf-dist/tex/latex/unicode-math") / TABLE_NAME

# The table's math classes and the enumerators they become.
CLASSES = {
    "mathord": "Ord",
    "mathalpha": "Alpha",
    "mathbin": "Bin",
    "mathrel": "Rel",
    "mathop": "Op",
    "mathopen": "Open",
    "mathclose": "Close",
    "mathpunct": "Punct",
    "mathfence": "Fence",
    "mathaccent": "Accent",
    "mathaccentwide": "AccentWide",
    "mathbotaccent": "BottomAccent",
    "mathbotaccentwide": "BottomAccentWide",
    "mathover": "Over",
    "mathunder": "Under",
    "mathaccentoverlay": "AccentOverlay",
}

SYMBOL = re.compile(
    r'^\\UnicodeMathSymbol\{"([0-9A-Fa-f]{4,6})\}'  # code point
    r"\{\\([A-Za-z]+)\s*\}"  # command name, padded with spaces
    r"\{\\([a-z]+)\s*\}"  # math class
    r"\{(.*)\}%?\s*$"  # description
)
# The notice sits between these two marker lines, each after a `%`.
NOTICE_BEGIN = "/©"
NOTICE_END = "©/"
DATE = re.compile(r"\d{4}[/-]\d{2}[/-]\d{2}")
PROVIDES = re.compile(r"\\ProvidesExplPackage\s*\{unicode-math\}\s*\{([^}]*)\}\s*\{([^}]*)\}")


def locate(source: str | None) -> Path:
    if source is not None:
        if not Path(source).is_file():
            sys.exit(f"gen_latex_symbols: no such file: {source}")
        return Path(source)
    if shutil.which("kpsewhich"):
        found = subprocess.run(
            ["kpsewhich", TABLE_NAME], capture_output=True, text=True, check=False
        ).stdout.strip()
        if found:
            return Path(found)
    if DEBIAN_PATH.is_file():
        return DEBIAN_PATH
    sys.exit(f"gen_latex_symbols: cannot find {TABLE_NAME}; install texlive-latex-recommended "
             "or pass --source PATH")


def comment_text(line: str) -> str:
    """A TeX comment line without its leading `%` signs (and the `^^A` of the package's sources)."""
    return re.sub(r"^%+(\^\^A%+)?\s?", "", line).rstrip()


def version_of(table: Path, lines: list[str]) -> str:
    """The table's own date line if it has one, else the unicode-math package's next to it."""
    for line in lines:
        if line.startswith("\\UnicodeMathSymbol"):
            break
        if line.startswith("%") and DATE.search(line):
            return comment_text(line)
    sty = table.with_name("unicode-math.sty")
    if sty.is_file():
        m = PROVIDES.search(sty.read_text(encoding="utf-8"))
        if m:
            return f"unicode-math {m.group(2).strip()}, {m.group(1).strip()}"
    return "version not stated"


def heading(lines: list[str]) -> list[str]:
    """The comment lines that open the table."""
    out = []
    for line in lines:
        if not line.startswith("%"):
            break
        out.append(comment_text(line))
    return out


def notice(lines: list[str]) -> list[str]:
    """The authors' and licence notice, marker lines included, each line's text as written."""
    start = next((i for i, l in enumerate(lines) if l.strip() == f"% {NOTICE_BEGIN}"), None)
    end = next((i for i, l in enumerate(lines) if l.strip() == f"% {NOTICE_END}"), None)
    if start is None or end is None or end < start:
        sys.exit("gen_latex_symbols: the table's copyright and licence notice was not found")
    return [comment_text(l) for l in lines[start : end + 1]]


def read_symbols(lines: list[str]) -> list[tuple[str, int, str]]:
    rows: dict[str, tuple[int, str, int]] = {}
    errors = []
    for number, line in enumerate(lines, start=1):
        if not line.startswith("\\UnicodeMathSymbol"):
            continue
        m = SYMBOL.match(line)
        if not m:
            errors.append(f"line {number}: cannot read: {line}")
            continue
        code, name, cls = int(m.group(1), 16), m.group(2), m.group(3)
        if cls not in CLASSES:
            errors.append(f"line {number}: unknown math class \\{cls} of \\{name}")
            continue
        if name in rows:
            first_code, first_cls, first_line = rows[name]
            print(f"gen_latex_symbols: duplicate \\{name} at line {number} "
                  f"(U+{code:04X} \\{cls}); line {first_line} (U+{first_code:04X} "
                  f"\\{first_cls}) is kept", file=sys.stderr)
            continue
        rows[name] = (code, cls, number)
    if errors:
        sys.exit("gen_latex_symbols: " + "\ngen_latex_symbols: ".join(errors))
    return sorted(((n, c, CLASSES[k]) for n, (c, k, _) in rows.items()),
                  key=lambda row: row[0].encode("ascii"))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", metavar="PATH", help=f"the {TABLE_NAME} to read")
    args = parser.parse_args()

    table = locate(args.source)
    lines = table.read_text(encoding="utf-8").splitlines()
    rows = read_symbols(lines)
    counts = Counter(cls for _, _, cls in rows)

    version = version_of(table, lines)
    print(f"// Generated by tools/gen_latex_symbols.py from {TABLE_NAME} ({version}).")
    print("// Do not edit; run the script again to update.")
    print("//")
    print("// The table opens with:")
    for text in heading(lines):
        print(f"//   {text}".rstrip())
    print("// and carries this notice, reproduced as it stands in the file:")
    for text in notice(lines):
        print(f"//   {text}".rstrip())
    print("//")
    print("// One row per command: its name without the backslash, its character and its math")
    print("// class, sorted by name in byte order for a binary search. The file that includes this")
    print("// one defines LatexSymbol (name, code point, class) and the enumeration SymbolClass.")
    print(f"// {len(rows)} rows; by class:")
    for enumerator in CLASSES.values():
        print(f"//   {enumerator:<17} {counts[enumerator]:>5}")
    print(f"inline constexpr LatexSymbol kLatexSymbols[{len(rows)}] = {{")
    for name, code, cls in rows:
        print(f'    {{"{name}", 0x{code:05X}, SymbolClass::{cls}}},')
    print("};")


if __name__ == "__main__":
    main()
