"""Golden files: named cases of input and exact expected picture or error message. The files of
tests/golden/ hold the exact markup, those of tests/golden/latex/ the LaTeX dialect.

    # a comment
    == fraction
    \\frac{a}{b}
    --
    |a|
    |─|
    |b|

    == dangling superscript
    x^
    -- error
    Unexpected token at position 2: None

The files of tests/golden/latex-options/ hold the LaTeX dialect with the options their names give:
ascii.txt is rendered with ascii=True, width-30.txt with width=30.

The line after `== name` is the input, verbatim. After `--` each row of the picture stands between
two bars, so trailing spaces are visible; every row is followed by a line feed in the real output.
No rows means the empty picture "". After `-- error` comes the ValueError message.
"""

from __future__ import annotations

import dataclasses
from pathlib import Path

GOLDEN = Path(__file__).parent / "golden"


@dataclasses.dataclass
class Case:
    file: Path
    name: str
    input: str
    error: bool
    expected: str  # the whole output text, or the error message

    @property
    def latex(self) -> bool:
        return self.file.parent.name in ("latex", "latex-options")

    @property
    def options(self) -> dict:
        """The keyword arguments of vok_latex.render the file's name gives (latex-options/)."""
        if self.file.parent.name != "latex-options":
            return {}
        if self.file.stem == "ascii":
            return {"ascii": True}
        return {"width": int(self.file.stem.removeprefix("width-"))}

    @property
    def id(self) -> str:
        folder = self.file.parent.name
        return f"{folder + '/' if self.latex else ''}{self.file.stem}: {self.name}"


def expected_text(rows: list[str]) -> str:
    return "".join(row + "\n" for row in rows)


def parse(path: Path) -> list[Case | str]:
    """The file as a list of cases and verbatim comment or blank lines."""
    items: list[Case | str] = []
    lines = path.read_text(encoding="utf-8").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.startswith("== "):
            items.append(line)
            i += 1
            continue
        name = line[3:]
        if i + 2 >= len(lines) or lines[i + 2] not in ("--", "-- error"):
            raise ValueError(f"{path}:{i + 1}: case {name!r} needs an input line and then -- or -- error")
        text, marker = lines[i + 1], lines[i + 2]
        i += 3
        if marker == "-- error":
            items.append(Case(path, name, text, True, lines[i]))
            i += 1
            continue
        rows = []
        while i < len(lines) and lines[i].startswith("|"):
            row = lines[i]
            if len(row) < 2 or not row.endswith("|"):
                raise ValueError(f"{path}:{i + 1}: a row must stand between two bars")
            rows.append(row[1:-1])
            i += 1
        items.append(Case(path, name, text, False, expected_text(rows)))
    return items


def files() -> list[Path]:
    return (sorted(GOLDEN.glob("*.txt")) + sorted((GOLDEN / "latex").glob("*.txt"))
            + sorted((GOLDEN / "latex-options").glob("*.txt")))


def cases() -> list[Case]:
    return [item for path in files() for item in parse(path) if isinstance(item, Case)]


def serialize(items: list[Case | str]) -> str:
    out: list[str] = []
    for item in items:
        if isinstance(item, str):
            out.append(item)
            continue
        out += [f"== {item.name}", item.input]
        if item.error:
            out += ["-- error", item.expected]
        else:
            out.append("--")
            out += [f"|{row}|" for row in item.expected.split("\n")[:-1]]
    return "\n".join(out) + "\n"
