#!/usr/bin/env bash
# Sanitizer checks, a build with LLVM's C++ library and a bounded fuzzing run of the core, from a
# fresh clone, as root:
#
#   bash fuzz/ci.sh [SECONDS]          SECONDS of fuzzing (default 180, or $VOK_FUZZ_SECONDS; 0 skips)
#
# Installs what is missing (clang, its sanitizer runtimes and libc++ with apt-get, a recent CMake
# with pip), then builds two trees from fuzz/CMakeLists.txt:
#   build/fuzz-sanitize    ASan + UBSan: check_test, core_tests, nesting_tests, golden_check,
#                          render_replay
#   build/fuzz-libfuzzer   ASan + UBSan + libFuzzer: render_fuzzer
# and one from the root project, the core as other platforms' compilers see it (g++ and libstdc++
# build it everywhere else):
#   build/libcxx           clang and libc++ (its debug hardening), warnings as errors: core_tests
#                          and the `vok` command
# and runs, in order: the tests of the checks, the core's unit tests, the golden files of both
# dialects (tests/golden/ in the exact markup, tests/golden/latex/ in LaTeX), every formula of the
# real-formula corpus, the saved regression inputs (fuzz/regressions/), the fuzzer's saved corpus
# (build/fuzz-libfuzzer/corpus, kept between local runs), and then the fuzzer, seeded from the
# formula corpus, the golden inputs of both dialects and the regressions. Every replayed and
# fuzzed input is checked in both dialects, and the libc++ build runs the core's unit tests. The
# smallest inputs the fuzzer finds to break something are copied into fuzz/regressions/. Every
# check runs even when an earlier one failed, but the fuzzer runs only when all of them passed:
# known failing inputs among its seeds would only be found again. The exit status is 1 when any
# step failed. The formula corpus is the full one at ../shared/corpus beside the repository (or
# $VOK_CORPUS) when it is there, else the sample in tests/corpus.
#
# Knobs: VOK_SANITIZE_CXX (compiler of the sanitizer tree, default clang++-19; g++ works too),
# VOK_FUZZ_JOBS (fuzzing processes, default the number of cores).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

llvm=19
clang=clang++-$llvm
fuzz_seconds=${1:-${VOK_FUZZ_SECONDS:-180}}
sanitize_cxx=${VOK_SANITIZE_CXX:-$clang}
jobs=${VOK_FUZZ_JOBS:-$(nproc)}
corpus=${VOK_CORPUS:-$root/../shared/corpus}
sanitize_dir=$root/build/fuzz-sanitize
fuzzer_dir=$root/build/fuzz-libfuzzer
libcxx_dir=$root/build/libcxx
regressions=$root/fuzz/regressions
max_kept=10 # inputs copied to fuzz/regressions/ from one fuzzing run
started=$SECONDS

if ! [[ $fuzz_seconds =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/ci.sh [SECONDS]   (got '$fuzz_seconds')" >&2
  exit 2
fi

# ---- bookkeeping: every step is named, timed and recorded ----
results=()
status=0
passed=0
failed=0
skipped=0

# Runs "$@" as the step named $1 (the rest is the command), records how it went, and returns
# its status.
step() {
  local name=$1
  shift
  local begin=$SECONDS
  echo
  echo "=== $name"
  echo "+ $*"
  if "$@"; then
    results+=("pass  $name ($((SECONDS - begin)) s)")
    ((++passed))
    return 0
  fi
  results+=("FAIL  $name ($((SECONDS - begin)) s)")
  ((++failed))
  status=1
  return 1
}

skip() {
  echo
  echo "=== $1: skipped, $2"
  results+=("skip  $1: $2")
  ((++skipped))
}

# ---- toolchain ----
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

install_packages() {
  local missing=()
  local package
  local packages=("clang-$llvm" "libclang-rt-$llvm-dev" "libc++-$llvm-dev" "libc++abi-$llvm-dev" g++)
  for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    echo "all present: ${packages[*]}"
    return 0
  fi
  echo "installing ${missing[*]}"
  apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
}

cmake_recent() {
  local version
  version=$("$1" --version 2>/dev/null | sed -n 's/^cmake version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
  [[ -n $version ]] || return 1
  read -r major minor <<<"$version"
  ((major > 3 || (major == 3 && minor >= 26)))
}

# CMake 3.26 or later: the one on PATH, else one installed with pip into build/fuzz-tools.
find_cmake() {
  cmake=cmake
  if cmake_recent cmake; then return 0; fi
  cmake=$root/build/fuzz-tools/bin/cmake
  if cmake_recent "$cmake"; then return 0; fi
  echo "no CMake 3.26 or later on PATH: installing one with pip into build/fuzz-tools"
  python3 -m venv "$root/build/fuzz-tools" && "$root/build/fuzz-tools/bin/pip" install -q cmake ninja &&
    cmake_recent "$cmake"
}

toolchain() {
  install_packages || return 1
  find_cmake || return 1
  generator=()
  if command -v ninja >/dev/null; then
    generator=(-G Ninja)
  elif [[ -x $root/build/fuzz-tools/bin/ninja ]]; then
    generator=(-G Ninja -DCMAKE_MAKE_PROGRAM="$root/build/fuzz-tools/bin/ninja")
  fi
  "$cmake" --version | head -1
  "$clang" --version | head -1
  "$sanitize_cxx" --version | head -1
}

# The sanitizers: stop at the first report, with a readable stack. Every byte of a new heap block
# is 0xBE, so a cell read before it is written decodes to no character and fails a check.
symbolizer=/usr/lib/llvm-$llvm/bin/llvm-symbolizer
[[ -x $symbolizer ]] && export ASAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:max_malloc_fill_size=268435456}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# ---- builds ----
# A fresh configure when the compiler changed, so one tree never mixes two.
configure() {
  local dir=$1 cxx=$2
  shift 2
  if [[ -f $dir/CMakeCache.txt ]] &&
    ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$(command -v "$cxx")" "$dir/CMakeCache.txt" &&
    ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$cxx" "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  mkdir -p "$dir" || return 1
  local args=(-S "$root/fuzz" -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DCMAKE_CXX_COMPILER="$cxx" "$@")
  "$cmake" "${args[@]}" >"$dir/configure.log" 2>&1 && return 0
  # A tree left by another generator or toolchain: start it afresh once.
  rm -rf "$dir" && mkdir -p "$dir" && "$cmake" "${args[@]}" >"$dir/configure.log" 2>&1 && return 0
  cat "$dir/configure.log"
  return 1
}

# Builds in $1 (the rest: build arguments); the compiler's output goes to build.log, and is shown
# only when the build fails or warns.
compile() {
  local dir=$1
  shift
  if ! "$cmake" --build "$dir" --parallel "$(nproc)" "$@" >"$dir/build.log" 2>&1; then
    tail -60 "$dir/build.log"
    return 1
  fi
  grep -E -A3 'warning:' "$dir/build.log" || true
  echo "built: $(grep -c '^\[' "$dir/build.log") steps (log: ${dir#"$root"/}/build.log)"
}

build_sanitize() {
  configure "$sanitize_dir" "$sanitize_cxx" -DVOK_FUZZ_SANITIZE=ON -DVOK_FUZZ_ENGINE=OFF &&
    compile "$sanitize_dir"
}

build_fuzzer() {
  configure "$fuzzer_dir" "$clang" -DVOK_FUZZ_SANITIZE=ON -DVOK_FUZZ_ENGINE=ON &&
    compile "$fuzzer_dir" --target render_fuzzer
}

# The root project with clang and libc++, the pair macOS builds with, unoptimised (the quickest
# build; clang warns the same at any level) and with libc++'s checked containers and views.
build_libcxx() {
  mkdir -p "$libcxx_dir" || return 1
  local args=(-S "$root" -B "$libcxx_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug
    -DCMAKE_CXX_COMPILER="$clang" -DVOK_BUILD_TESTS=ON
    "-DCMAKE_CXX_FLAGS=-stdlib=libc++ -Werror -D_LIBCPP_HARDENING_MODE=_LIBCPP_HARDENING_MODE_DEBUG"
    -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++)
  if ! "$cmake" "${args[@]}" >"$libcxx_dir/configure.log" 2>&1; then
    # A tree left by another generator or toolchain: start it afresh once.
    rm -rf "$libcxx_dir" && mkdir -p "$libcxx_dir" &&
      "$cmake" "${args[@]}" >"$libcxx_dir/configure.log" 2>&1 || {
      cat "$libcxx_dir/configure.log"
      return 1
    }
  fi
  compile "$libcxx_dir" --target core_tests vok_cli
}

# ---- checks ----
# Each saved input in a process of its own: one that overflows the stack or trips a sanitizer ends
# its process, and the others must still be checked and reported.
replay_regressions() {
  local files=("$regressions"/*)
  if [[ ! -e ${files[0]} ]]; then
    echo "no saved inputs in fuzz/regressions/"
    return 0
  fi
  local file failed=0
  for file in "${files[@]}"; do
    echo "--- ${file#"$root"/}"
    "$sanitize_dir/render_replay" "$file" || failed=$((failed + 1))
  done
  echo "$failed of ${#files[@]} saved inputs failed"
  ((failed == 0))
}

# The seed directories: the golden inputs and the corpus formulas, one file each, made afresh.
make_seeds() {
  local seeds=$fuzzer_dir/seeds
  rm -rf "$seeds" && mkdir -p "$seeds/golden" "$seeds/corpus" || return 1
  "$sanitize_dir/golden_check" --write-inputs "$seeds/golden" "${golden_files[@]}" || return 1
  if [[ -n $corpus_file ]]; then
    LC_ALL=C awk -v dir="$seeds/corpus" \
      '{ f = sprintf("%s/real-%05d", dir, NR); printf "%s", $0 > f; close(f) }' "$corpus_file" ||
      return 1
    echo "wrote $(find "$seeds/corpus" -type f | wc -l) corpus formulas to $seeds/corpus"
  fi
}

# Fuzzes for $fuzz_seconds; every input that broke something is copied to fuzz/regressions/.
fuzz() {
  local artifacts=$fuzzer_dir/artifacts
  local log=$fuzzer_dir/fuzz.log
  mkdir -p "$fuzzer_dir/corpus" "$artifacts" || return 1
  rm -f "$artifacts"/*
  local dirs=("$fuzzer_dir/corpus" "$fuzzer_dir/seeds/golden" "$fuzzer_dir/seeds/corpus")
  [[ -d $regressions ]] && dirs+=("$regressions")
  local run=0
  # The engine stops itself after -max_total_time; `timeout` bounds the seed pass before it too.
  (cd "$fuzzer_dir" && timeout -s INT -k 30 $((fuzz_seconds + 300)) "$fuzzer_dir/render_fuzzer" \
    -fork="$jobs" -max_total_time="$fuzz_seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -dict="$root/fuzz/vok.dict" -artifact_prefix="$artifacts/" "${dirs[@]}") >"$log" 2>&1 || run=$?

  echo "fuzzer exit status: $run (log: ${log#"$root"/})"
  echo "final stats:"
  grep -E '^INFO: (seed corpus|-fork=|fuzzed for|exiting)' "$log" | sed 's/^/  /'
  grep -E '^#[0-9]+' "$log" | tail -1 | sed 's/^/  /'
  echo "  corpus: $(find "$fuzzer_dir/corpus" -type f | wc -l) inputs in ${fuzzer_dir#"$root"/}/corpus"

  # The smallest few inputs that broke something are kept; one fault can yield many.
  local found=()
  mapfile -t found < <(cd "$artifacts" && ls -Sr)
  if [[ ${#found[@]} -gt 0 ]]; then
    mkdir -p "$regressions"
    echo "${#found[@]} inputs broke something; the smallest are now in fuzz/regressions/:"
    local file
    for file in "${found[@]:0:$max_kept}"; do
      cp "$artifacts/$file" "$regressions/"
      echo "  fuzz/regressions/$file"
    done
    ((${#found[@]} <= max_kept)) || echo "  (all of them: ${artifacts#"$root"/}/)"
    grep -E -A2 'vok check failed|^==[0-9]+==ERROR|runtime error' "$log" | head -40
    return 1
  fi
  if ((run != 0)); then
    tail -40 "$log"
    return 1
  fi
}

# ---- the run ----
# The golden files; golden_check reads those of tests/golden/latex/ in the LaTeX dialect.
golden_files=("$root"/tests/golden/*.txt "$root"/tests/golden/latex/*.txt)

echo "fuzz/ci.sh: fuzzing for $fuzz_seconds s with $jobs processes; corpus at $corpus"

if ! step "toolchain" toolchain; then
  echo "fuzz/ci.sh: no toolchain, nothing else can run" >&2
  exit 1
fi
sanitize_built=false
fuzzer_built=false
step "build ${sanitize_dir#"$root"/} ($sanitize_cxx, ASan+UBSan)" build_sanitize &&
  sanitize_built=true
step "build ${fuzzer_dir#"$root"/} ($clang, libFuzzer+ASan+UBSan)" build_fuzzer && fuzzer_built=true
libcxx_built=false
step "build ${libcxx_dir#"$root"/} ($clang, libc++, -Werror)" build_libcxx && libcxx_built=true

corpus_file=
if [[ -f $corpus/formulas-real.txt ]]; then
  corpus_file=$corpus/formulas-real.txt
elif [[ -n ${VOK_CORPUS:-} ]]; then
  echo
  echo "!!! VOK_CORPUS names no corpus: no $corpus/formulas-real.txt"
  results+=("FAIL  no corpus at VOK_CORPUS=$corpus")
  ((++failed))
  status=1
else
  corpus_file=$root/tests/corpus/formulas-real.txt
  echo
  echo "The full formula corpus is not at $corpus: the sample in tests/corpus stands in for it."
fi

if $sanitize_built; then
  step "tests of the checks" "$sanitize_dir/check_test"
  step "core unit tests (sanitized)" "$sanitize_dir/vok/tests/cpp/core_tests"
  step "nesting tests (sanitized)" "$sanitize_dir/vok/tests/cpp/nesting_tests"
  step "golden files of both dialects (sanitized)" "$sanitize_dir/golden_check" "${golden_files[@]}"
  if [[ -n $corpus_file ]]; then
    step "corpus replay, both dialects (sanitized)" "$sanitize_dir/render_replay" --lines \
      "$corpus_file"
  else
    skip "corpus replay" "no corpus"
  fi
  step "regression replay (sanitized)" replay_regressions
  if [[ -d $fuzzer_dir/corpus ]]; then
    step "replay of the fuzzer's saved corpus (sanitized)" "$sanitize_dir/render_replay" \
      "$fuzzer_dir/corpus"
  fi
else
  skip "sanitized checks" "the sanitizer build failed"
fi

if $libcxx_built; then
  step "core unit tests (clang, libc++)" "$libcxx_dir/tests/cpp/core_tests"
else
  skip "core unit tests with libc++" "the build failed"
fi

if ((fuzz_seconds == 0)); then
  skip "fuzzing" "0 seconds asked for"
elif ((status != 0)); then
  # Known failing inputs among the seeds would only be found again, over and over.
  skip "fuzzing" "a step above failed: fix that first"
elif ! $fuzzer_built; then
  skip "fuzzing" "the fuzzer's build failed"
else
  [[ -n $corpus_file ]] || echo "fuzzing without the corpus seeds: no corpus"
  step "seeds" make_seeds
  step "fuzzing for $fuzz_seconds s" fuzz
fi

echo
echo "=== summary ($((SECONDS - started)) s)"
printf '  %s\n' "${results[@]}"
echo "fuzz/ci.sh: $passed passed, $failed failed, $skipped skipped"
exit $status
