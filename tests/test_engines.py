"""The README's recipes for drawing a column of formulas on a cluster engine, run as written: each
Python block of the section, saved as a script and run in a folder of its own on a Parquet folder of
the corpus's formulas, must write every formula's picture as `vok_latex.render` draws it, and a
null where it raises ValueError.

They need the `engines` extra (and Java for Spark), and run only with --engines. The engines'
scratch files stay in the test's folder under build/.
"""

import os
import re
import subprocess
import sys

import pytest

import vok_latex
from conftest import ROOT

pytestmark = pytest.mark.engines

TITLE = "A cluster engine: Dask and Spark"
# Besides the corpus, what a column can hold that a recipe could lose: the empty formula (an empty
# picture, not a null), a line break and a tab inside a formula, characters beyond the BMP, and a
# formula whose picture is wide.
EXTRA = ["", "a\nb", "x\t= 1", "𝔸 + 😀",
         "\\sum_{i=1}^{n} " + " + ".join(f"x_{{{i}}}" for i in range(300))]
PARTS = 4


def recipe(engine: str) -> str:
    """The section's Python block that imports the engine."""
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    found = re.search(rf"^##+ {re.escape(TITLE)}\n(.*?)(?=^##+ |\Z)", text, re.M | re.S)
    assert found, f"README.md has no section '{TITLE}'"
    blocks = re.findall(r"^```python\n(.*?)^```$", found.group(1), re.M | re.S)
    [block] = [block for block in blocks if re.search(rf"^from {engine}\b", block, re.M)]
    return block


def expected(formula: str) -> str | None:
    try:
        return vok_latex.render(formula)
    except ValueError:
        return None


def run(engine: str, formulas: list[str], folder) -> dict[str, str | None]:
    """Runs the engine's recipe in the folder on the formulas, written as PARTS Parquet files (a
    partition each); what it wrote, by formula."""
    import pandas as pd

    source = folder / "formulas.parquet"
    source.mkdir()
    for part in range(PARTS):
        pd.DataFrame({"formula": formulas[part::PARTS]}).to_parquet(source / f"part-{part}.parquet")
    (folder / "recipe.py").write_text(recipe(engine), encoding="utf-8")
    scratch = folder / "scratch"
    scratch.mkdir()
    # Scratch space: Python's and Dask's temporary files, Spark's local folders; the driver on
    # the loopback address.
    env = {**os.environ, "TMPDIR": str(scratch), "DASK_TEMPORARY_DIRECTORY": str(scratch),
           "SPARK_LOCAL_DIRS": str(scratch), "SPARK_LOCAL_IP": "127.0.0.1"}
    done = subprocess.run([sys.executable, "recipe.py"], cwd=folder, env=env, capture_output=True,
                          text=True, timeout=600, stdin=subprocess.DEVNULL)
    assert done.returncode == 0, done.stdout + done.stderr
    written = pd.read_parquet(folder / "pictures.parquet")
    assert sorted(written.columns) == ["formula", "picture"]
    assert len(written) == len(formulas)
    return {formula: None if pd.isna(picture) else picture
            for formula, picture in zip(written["formula"], written["picture"])}


@pytest.mark.parametrize("engine", ["dask", "pyspark"])
def test_the_recipe_draws_every_formula_as_render_does(engine, corpus, tmp_path):
    formulas = corpus.joinpath("formulas-real.txt").read_text(encoding="utf-8").splitlines() + EXTRA
    assert len(set(formulas)) == len(formulas)
    drawn = run(engine, formulas, tmp_path)
    want = {formula: expected(formula) for formula in formulas}
    assert None in want.values() and "" in want.values()
    wrong = [formula for formula in formulas if drawn.get(formula, "missing") != want[formula]]
    assert not wrong, f"{len(wrong)} formulas drawn otherwise, the first: {wrong[0]!r}"
