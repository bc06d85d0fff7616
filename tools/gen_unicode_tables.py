#!/usr/bin/env python3
"""Generate src/unicode_tables.inc from the Unicode Character Database.

The lexer's token text forms escape every character that does not print on its own: the general
categories Cc, Cf, Co, Cn, Zl, Zp, the separators Zs other than the space, and every character with
the Grapheme_Extend property. The LaTeX dialect counts display columns: East Asian Wide and
Fullwidth characters take two, and combining marks, format characters and the Hangul vowels and
final consonants that join a syllable take none. This script folds each set into one sorted list
of disjoint, non-adjacent inclusive ranges, which the core searches with a binary search.

Input: a directory holding UnicodeData.txt, DerivedCoreProperties.txt and EastAsianWidth.txt
(Debian's unicode-data package installs them in /usr/share/unicode). Usage:

    python3 tools/gen_unicode_tables.py [UCD_DIR] > src/unicode_tables.inc
"""

import re
import sys
from pathlib import Path

MAX_CODE_POINT = 0x10FFFF
ESCAPED_CATEGORIES = {"Cc", "Cf", "Co", "Zl", "Zp", "Zs"}  # Cn is "not listed"; Zs minus space below


def read_categories(path: Path) -> list[str | None]:
    """General category of every code point; None where UnicodeData.txt lists nothing (Cn)."""
    cats: list[str | None] = [None] * (MAX_CODE_POINT + 1)
    first = None
    for line in path.read_text(encoding="utf-8").splitlines():
        fields = line.split(";")
        cp, name, cat = int(fields[0], 16), fields[1], fields[2]
        if name.endswith(", First>"):
            first = cp
            continue
        if name.endswith(", Last>"):
            assert first is not None
            for c in range(first, cp + 1):
                cats[c] = cat
            first = None
            continue
        cats[cp] = cat
    return cats


def read_property(path: Path, prop: str) -> set[int]:
    points: set[int] = set()
    pattern = re.compile(r"^([0-9A-F]+)(?:\.\.([0-9A-F]+))?\s*;\s*(\w+)")
    for line in path.read_text(encoding="utf-8").splitlines():
        m = pattern.match(line)
        if not m or m.group(3) != prop:
            continue
        lo = int(m.group(1), 16)
        hi = int(m.group(2) or m.group(1), 16)
        points.update(range(lo, hi + 1))
    return points


def read_wide(path: Path) -> set[int]:
    """East Asian Wide (W) and Fullwidth (F) characters."""
    points: set[int] = set()
    pattern = re.compile(r"^([0-9A-F]+)(?:\.\.([0-9A-F]+))?\s*;\s*(\w+)")
    for line in path.read_text(encoding="utf-8").splitlines():
        m = pattern.match(line)
        if m and m.group(3) in ("W", "F"):
            points.update(range(int(m.group(1), 16), int(m.group(2) or m.group(1), 16) + 1))
    return points


def print_table(name: str, table: list[tuple[int, int]]) -> None:
    print(f"inline constexpr CodeRange {name}[{len(table)}] = {{")
    for i in range(0, len(table), 4):
        row = ", ".join(f"{{0x{lo:05X}, 0x{hi:05X}}}" for lo, hi in table[i : i + 4])
        print(f"    {row},")
    print("};")


def version_of(path: Path) -> str:
    first = path.read_text(encoding="utf-8").splitlines()[0]
    m = re.search(r"-(\d+\.\d+\.\d+)\.txt", first)
    return m.group(1) if m else "unknown"


def ranges(flags: list[bool]) -> list[tuple[int, int]]:
    out: list[tuple[int, int]] = []
    start = None
    for cp, flag in enumerate(flags):
        if flag and start is None:
            start = cp
        elif not flag and start is not None:
            out.append((start, cp - 1))
            start = None
    if start is not None:
        out.append((start, len(flags) - 1))
    return out


def main() -> None:
    ucd = Path(sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode")
    cats = read_categories(ucd / "UnicodeData.txt")
    extend = read_property(ucd / "DerivedCoreProperties.txt", "Grapheme_Extend")
    version = version_of(ucd / "DerivedCoreProperties.txt")

    flags = [False] * (MAX_CODE_POINT + 1)
    for cp, cat in enumerate(cats):
        if 0xD800 <= cp <= 0xDFFF:
            continue  # surrogates never reach the lexer: they are not scalar values
        escaped = cat is None or cat in ESCAPED_CATEGORIES or cp in extend
        if cp == 0x20:
            escaped = False
        flags[cp] = escaped
    # Surrogates sit between two escaped neighbours (Cs is not printable either); folding them in
    # keeps the table shorter without changing any answer for a scalar value.
    for cp in range(0xD800, 0xE000):
        flags[cp] = True

    wide_points = read_wide(ucd / "EastAsianWidth.txt")
    wide = [cp in wide_points for cp in range(MAX_CODE_POINT + 1)]
    # No columns: combining marks (Mn, Me and the rest of Grapheme_Extend), format characters (Cf)
    # other than the soft hyphen, which terminals show, and the conjoining Hangul vowels and final
    # consonants.
    zero = [False] * (MAX_CODE_POINT + 1)
    for cp, cat in enumerate(cats):
        zero[cp] = (cat in ("Mn", "Me") or (cat == "Cf" and cp != 0xAD) or cp in extend
                    or 0x1160 <= cp <= 0x11FF or 0xD7B0 <= cp <= 0xD7FF)

    print(f"// Generated by tools/gen_unicode_tables.py from the Unicode Character Database {version}.")
    print("// Do not edit; run the script again to update.")
    print("//")
    print("// Characters written as \\u{...} in token text forms: general categories Cc, Cf, Co, Cn,")
    print("// Zl, Zp, Zs (except U+0020) and the Grapheme_Extend property. Sorted, disjoint, inclusive.")
    print_table("kEscapedRanges", ranges(flags))
    print("// Characters two display columns wide: East Asian Wide and Fullwidth.")
    print_table("kWideRanges", ranges(wide))
    print("// Characters of no display column: they join the character before them.")
    print_table("kZeroWidthRanges", ranges(zero))


if __name__ == "__main__":
    main()
