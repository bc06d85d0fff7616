#!/usr/bin/env bash
# Runs every benchmark: the Python call against the floor (and installed peers), the cold start,
# the scaling steps, the adversarial inputs, a Markdown document, threads and processes on every
# core, how long a large call blocks other threads, a column of formulas on the cluster engines
# (when the engines extra is installed), and the core alone. PYTHON picks the
# interpreter (vok installed in it).
set -euo pipefail
cd "$(dirname "$0")/.."
python=${PYTHON:-python3}
formulas=bench/formulas.txt
# The CMake of that interpreter's environment (the test extras bring one), else the one on PATH.
cmake=$(dirname "$python")/cmake
[[ -x $cmake ]] || cmake=cmake

echo "== the Python call"
"$python" bench/bench_python.py "$@"
echo
echo "== cold start"
"$python" bench/bench_startup.py
echo
echo "== scaling"
"$python" bench/bench_scaling.py
echo
echo "== adversarial inputs"
"$python" bench/bench_adversarial.py
echo
echo "== a Markdown document"
"$python" bench/bench_markdown.py
echo
echo "== every core: threads and processes"
"$python" bench/bench_threads.py
echo
echo "== the heartbeat of another thread during large calls"
"$python" bench/bench_heartbeat.py
echo
echo "== a column of formulas on Dask and Spark"
if "$python" -c 'import dask.distributed, pyspark' 2>/dev/null; then
  "$python" bench/bench_engines.py
else
  echo "skipped: the engines extra is not installed (pip install '.[engines]')"
fi
echo
echo "== the core alone (C++)"
"$cmake" -S bench -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
"$cmake" --build build/bench --target bench_core >/dev/null
build/bench/bench_core "$formulas" 2000
