"""A column of formulas drawn on a cluster engine, as the README's recipes do: formulas per second
per core through Dask (a local cluster of two worker processes), through Spark (local[2], a pandas
UDF) and through the batch call in one process. Figures printed, never asserted.

The column is the corpus's formulas-real.txt (the full corpus at ../shared/corpus where it is
present, else the sample in tests/corpus) repeated to --rows rows, written as --files Parquet
files. Each engine is started once, its setup (the cluster, the session and its JVM) timed apart,
then each run reads the Parquet folder, draws the column and writes it out, as the recipes do; the
first run also warms the workers (their imports). Beside each, the same job passing the formulas
through untouched: what the engine costs without vok. Per core is the rate over the cores the job
runs on, two for the engines, one for the batch call. Needs the `engines` extra and Java.

    python bench/bench_engines.py [--rows 1000000] [--files 16] [--runs 3]
                                  [--only direct|dask|spark]

Scratch files go to build/bench-engines.
"""

from __future__ import annotations

import argparse
import os
import shutil
import statistics
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FULL = ROOT.parent / "shared" / "corpus" / "formulas-real.txt"
CORPUS = FULL if FULL.is_file() else ROOT / "tests" / "corpus" / "formulas-real.txt"
WORK = ROOT / "build" / "bench-engines"
SCRATCH = WORK / "scratch"

# Before the engines are imported: their temporary files, Spark's workers' interpreter (this
# one) and its driver on the loopback address.
os.environ.update({"TMPDIR": str(SCRATCH), "DASK_TEMPORARY_DIRECTORY": str(SCRATCH),
                   "SPARK_LOCAL_DIRS": str(SCRATCH), "SPARK_LOCAL_IP": "127.0.0.1",
                   "PYSPARK_PYTHON": sys.executable})

import pandas as pd  # noqa: E402

import vok_latex  # noqa: E402


def pictures(formulas: pd.Series) -> pd.Series:
    return pd.Series(vok_latex.render_many(formulas, errors="none"), index=formulas.index,
                     dtype="string")


def passed(formulas: pd.Series) -> pd.Series:
    return formulas.astype("string")


def column(rows: int, files: int) -> tuple[Path, list[str]]:
    formulas = CORPUS.read_text(encoding="utf-8").splitlines()
    formulas = (formulas * (rows // len(formulas) + 1))[:rows]
    source = WORK / "formulas.parquet"
    shutil.rmtree(source, ignore_errors=True)
    source.mkdir(parents=True)
    for part in range(files):
        share = formulas[part * rows // files:(part + 1) * rows // files]
        pd.DataFrame({"formula": share}).to_parquet(source / f"part-{part:03}.parquet")
    return source, formulas


def timed(job, runs: int) -> list[float]:
    times = []
    for _ in range(runs):
        target = WORK / "pictures.parquet"
        shutil.rmtree(target, ignore_errors=True)
        start = time.perf_counter()
        job(target)
        times.append(time.perf_counter() - start)
    return times


def report(label: str, rows: int, cores: int, times: list[float],
           setup: float | None = None) -> None:
    """The rate per core of the best run and of the median one, and each run's seconds."""
    best, median = min(times), statistics.median(times)
    runs = ", ".join(f"{seconds:.2f}" for seconds in times)
    start = f"; setup {setup:.2f} s" if setup is not None else ""
    print(f"{label:32} {rows / best / cores:>9,.0f} formulas/s per core, median "
          f"{rows / median / cores:>9,.0f} (runs {runs} s){start}")


def direct(source: Path, formulas: list[str], runs: int) -> None:
    rows = len(formulas)
    alone = timed(lambda _: vok_latex.render_many(formulas, errors="none"), runs)
    report("batch call alone", rows, 1, alone)

    def job(target: Path) -> None:
        frame = pd.read_parquet(source)
        frame["picture"] = pictures(frame["formula"])
        target.mkdir()
        frame.to_parquet(target / "part-0.parquet", index=False)

    report("batch call, Parquet in and out", rows, 1, timed(job, runs))


def dask(source: Path, rows: int, runs: int) -> None:
    import dask.dataframe as dd
    from dask.distributed import Client, LocalCluster

    start = time.perf_counter()
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, \
            Client(cluster):
        setup = time.perf_counter() - start
        for label, function in [("Dask", pictures), ("Dask passing formulas through", passed)]:
            def job(target: Path) -> None:
                frame = dd.read_parquet(source)
                frame["picture"] = frame["formula"].map_partitions(function,
                                                                   meta=("picture", "string"))
                frame.to_parquet(target, write_index=False)

            report(label, rows, 2, timed(job, runs), setup if function is pictures else None)


def spark(source: Path, rows: int, runs: int) -> None:
    from pyspark.sql import SparkSession
    from pyspark.sql.functions import pandas_udf
    from pyspark.sql.types import StringType

    start = time.perf_counter()
    session = (SparkSession.builder.master("local[2]").config("spark.ui.enabled", "false")
               .config("spark.ui.showConsoleProgress", "false").getOrCreate())
    session.sparkContext.setLogLevel("ERROR")
    setup = time.perf_counter() - start
    try:
        for label, function in [("Spark", pictures), ("Spark passing formulas through", passed)]:
            udf = pandas_udf(function, StringType())

            def job(target: Path) -> None:
                frame = session.read.parquet(str(source))
                frame.withColumn("picture", udf("formula")).write.parquet(str(target))

            report(label, rows, 2, timed(job, runs), setup if function is pictures else None)
    finally:
        session.stop()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--files", type=int, default=16)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--only", choices=("direct", "dask", "spark"))
    args = parser.parse_args()
    SCRATCH.mkdir(parents=True, exist_ok=True)
    source, formulas = column(args.rows, args.files)
    print(f"{args.rows:,} formulas ({CORPUS.parent.name}/{CORPUS.name} repeated) in {args.files} "
          f"Parquet files; {os.cpu_count()} cores, load average before {os.getloadavg()[0]:.2f}")
    if args.only in (None, "direct"):
        direct(source, formulas, args.runs)
    if args.only in (None, "dask"):
        dask(source, args.rows, args.runs)
    if args.only in (None, "spark"):
        spark(source, args.rows, args.runs)


if __name__ == "__main__":
    main()
