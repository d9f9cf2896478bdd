#!/usr/bin/env bash
# Builds and runs every test: the default build (with the layering check), the ASan/UBSan build,
# the threaded tests and whole simulated runs under ThreadSanitizer, a short fuzzing run of every
# target, and the Windows build under wine64 with the packages (scripts/test-mingw.sh). With
# --quick: the default build and its tests only (the inner loop).
# Compiler output is kept by ccache in the user's cache folder, so a second run is warm.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    *)
      echo "usage: scripts/test.sh [--quick]" >&2
      exit 1
      ;;
  esac
done

bash scripts/deps.sh
jobs=$(nproc)
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}"
passed=0
timings=()

# timed NAME COMMAND...: runs the command and keeps its wall time for the summary.
timed() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  timings+=("$(printf '%-22s %4d s' "$name" $((SECONDS - start)))")
  return $status
}

# run_ctest PRESET ARGS...: runs the preset's tests and adds the count of passed tests.
run_ctest() {
  local preset=$1 log status=0
  shift
  log=$(mktemp)
  ctest --preset "$preset" -j "$jobs" "$@" | tee "$log" || status=$?
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  passed=$((passed + ${n:-0}))
  rm -f "$log"
  return $status
}

summary() {
  echo "== times =="
  printf '%s\n' "${timings[@]}"
  echo "tests: $passed passed, 0 failed"
}

# The default build. Its configure writes the target graph that the layering check reads, the
# fuzz preset's configure (cheap, no build yet) the graph of the fuzz executables.
echo "== default: configure and build =="
timed "default configure" cmake --preset default --graphviz=build/default/graph/targets.dot >/dev/null
timed "default build" cmake --build --preset default -j "$jobs"
echo "== layering =="
graphs=(--graph build/default/graph/targets.dot)
if [ $quick -eq 0 ] && command -v clang++ >/dev/null 2>&1; then
  cmake --preset fuzz --graphviz=build/fuzz/graph/targets.dot >/dev/null
  graphs+=(--graph build/fuzz/graph/targets.dot)
fi
timed "layering" python3 scripts/check-layering.py . build/default "${graphs[@]}"
echo "== default: tests =="
timed "default tests" run_ctest default
if [ $quick -eq 1 ]; then
  summary
  exit 0
fi

echo "== asan: configure and build =="
timed "asan configure" cmake --preset asan >/dev/null
timed "asan build" cmake --build --preset asan -j "$jobs"
echo "== asan: tests =="
timed "asan tests" run_ctest asan

# Threaded code under ThreadSanitizer: every Qt-free test labelled threads, and the command line's
# simulated runs with fault switches (the tests that run tessaline-cli run the tsan build of it).
# Reports go to files, checked below.
echo "== tsan: configure and build =="
timed "tsan configure" cmake --preset tsan >/dev/null
timed "tsan build" cmake --build --preset tsan -j "$jobs" --target threads_tests tessaline-cli
tsan_logs=$PWD/build/tsan/tsan-logs
rm -rf "$tsan_logs"
mkdir -p "$tsan_logs"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 log_path=$tsan_logs/tsan"
echo "== tsan: tests =="
tsan_status=0
timed "tsan tests" run_ctest tsan -L '^threads$' || tsan_status=1

# Whole simulated runs under faults that stress the reader thread and the retries, two at a time:
# a run may fail by design (exit 2), but never crash or race.
simulated_run() {
  local work args=() code=0
  work=$(mktemp -d)
  for f in $1; do args+=(--sim-fault "$f"); done
  (cd "$work" && OMP_NUM_THREADS=1 "$root/build/tsan/src/cli/tessaline-cli" --simulate "${args[@]}" \
    run --yes --positions 5 --out run.ktsl >/dev/null 2>&1 </dev/null) || code=$?
  rm -rf "$work"
  if [ $code -ne 0 ] && [ $code -ne 2 ]; then
    echo "tsan: simulated run with faults '$1' exited with $code"
    return 1
  fi
}
simulated_runs() {
  local status=0 pids=() faults
  for faults in "trickle notready=2 crlf" "unplug=40" "babble" "garble=G0:1 echo=V0:1 wrong=G3:1"; do
    simulated_run "$faults" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$jobs" ]; then
      wait "${pids[0]}" || status=1
      pids=("${pids[@]:1}")
    fi
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  return $status
}
root=$PWD
echo "== tsan: simulated runs under faults =="
timed "tsan simulated runs" simulated_runs || tsan_status=1
unset TSAN_OPTIONS
if [ $tsan_status -ne 0 ] || compgen -G "$tsan_logs/*" >/dev/null; then
  cat "$tsan_logs"/* 2>/dev/null || true
  echo "tsan: failed"
  exit 1
fi

timed "fuzz" bash scripts/fuzz.sh

# The Qt-free program cross-built for 64-bit Windows, its tests under wine64, tessaline-cli.exe
# against the Linux build's document, and the ZIP and Debian packages.
echo "== mingw: configure and build =="
timed "mingw build" bash scripts/test-mingw.sh build
echo "== mingw: tests under wine64 =="
mingw_status=0
# One wine program at a time: two at once have hung now and then (wine64 8.0).
timed "mingw tests" run_ctest mingw -j 1 || mingw_status=1
echo "== mingw: programs and packages =="
timed "mingw programs" bash scripts/test-mingw.sh programs || mingw_status=1
if [ $mingw_status -ne 0 ]; then
  summary
  echo "mingw: failed"
  exit 1
fi

summary
