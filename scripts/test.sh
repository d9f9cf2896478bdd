#!/usr/bin/env bash
# Builds and runs every test: the default build, the ASan/UBSan build, the ThreadSanitizer build of
# the threaded (Qt-free) tests, and a short fuzzing run when clang is available.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
passed=0

for preset in default asan; do
  echo "== $preset: configure and build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [ "$preset" = default ]; then
    echo "== layering =="
    python3 scripts/check-layering.py . build/default
  fi
  echo "== $preset: tests =="
  log=$(mktemp)
  ASAN_OPTIONS=verify_asan_link_order=0 ctest --preset "$preset" -j "$jobs" | tee "$log"
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  passed=$((passed + ${n:-0}))
  rm -f "$log"
done

# Threaded code under ThreadSanitizer: only the test executables of threaded subsystems.
tsan_targets=()
for t in threading_tests wizard_tests sublink_protocol_tests measure_curve_tests; do
  if grep -q "tessaline_test($t" tests/*/CMakeLists.txt 2>/dev/null; then tsan_targets+=("$t"); fi
done
if [ ${#tsan_targets[@]} -gt 0 ]; then
  echo "== tsan: ${tsan_targets[*]} =="
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan -j "$jobs" --target "${tsan_targets[@]}"
  for t in "${tsan_targets[@]}"; do
    bin=$(find build/tsan/tests -type f -name "$t" -perm -u+x | head -n 1)
    OMP_NUM_THREADS=1 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$bin" --gtest_brief=1
  done
fi

if [ -x scripts/fuzz.sh ] || [ -f scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh
fi

echo "tests: $passed passed, 0 failed"
