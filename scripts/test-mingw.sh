#!/usr/bin/env bash
# The Windows phase of the test command (also runnable alone, after the default build): the
# Qt-free program and its tests cross-built with MinGW-w64 and run under wine64, then
# tessaline-cli.exe as a user would run it, compared with the Linux build's, and the packages.
# Wine runs headless with WINEDEBUG=-all in the build's own prefix (build/mingw/wine-prefix).
# usage: scripts/test-mingw.sh [build|tests|programs]   (no stage: all three)
#   build     the MinGW libraries (once), the build, its layering, the wine prefix and server
#   tests     every test executable under wine64 (ctest --preset mingw)
#   programs  tessaline-cli.exe under wine, the packages; stops the wine server
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-$(nproc)}
stage=${1:-all}
case "$stage" in
  build | tests | programs | all) ;;
  *)
    echo "usage: scripts/test-mingw.sh [build|tests|programs]" >&2
    exit 1
    ;;
esac

wine=$root/build/mingw/wine-run
export WINEPREFIX=$root/build/mingw/wine-prefix WINEDEBUG=-all
wineserver=/usr/lib/wine/wineserver
status=0

if [ "$stage" = build ] || [ "$stage" = all ]; then
  bash scripts/mingw-deps.sh
  cmake --preset mingw --graphviz=build/mingw/graph/targets.dot >/dev/null
  python3 scripts/check-layering.py . --graph build/mingw/graph/targets.dot
  cmake --build --preset mingw -j "$jobs"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
  fi
  # One wine server for the whole phase, so that each program starts at once.
  "$wineserver" -p 2>/dev/null || true  # already running: that one serves
fi
if [ "$stage" = all ]; then
  trap '"$wineserver" -k 2>/dev/null || true' EXIT
fi

if [ "$stage" = tests ] || [ "$stage" = all ]; then
  # One wine program at a time: two at once have hung now and then (wine64 8.0).
  ctest --preset mingw -j 1 || status=1
fi

if [ "$stage" != programs ] && [ "$stage" != all ]; then
  exit $status
fi
trap '"$wineserver" -k 2>/dev/null || true' EXIT
echo "== mingw: tessaline-cli.exe under wine =="
exe=$root/build/mingw/src/cli/tessaline-cli.exe
work=$(mktemp -d)
cli_check() {
  local name=$1
  shift
  if ! "$@"; then
    echo "mingw: $name failed"
    status=1
  fi
}
# A whole simulated run: the document as the Linux build writes it with the same seed.
cli_check "simulated run" bash -c "cd '$work' && '$wine' '$exe' --simulate run --yes --out win.ktsl \
  >run.out 2>run.err </dev/null && grep -q 'Document written to win.ktsl' run.out"
linux_cli=$root/build/default/src/cli/tessaline-cli
if [ -x "$linux_cli" ] && [ -f "$work/win.ktsl" ]; then
  (cd "$work" && "$linux_cli" --simulate run --yes --out linux.ktsl >/dev/null 2>&1 </dev/null)
  "$linux_cli" doc show "$work/win.ktsl" >"$work/win.json"
  "$linux_cli" doc show "$work/linux.ktsl" >"$work/linux.json"
  cli_check "document comparison" python3 scripts/compare-docs.py "$work/win.json" "$work/linux.json" \
    --tolerance 1e-2
  if cmp -s "$work/win.ktsl" "$work/linux.ktsl"; then
    echo "the documents are identical byte for byte"
  fi
fi
# The real, empty WinUSB enumeration: no subwoofer, no failure.
cli_check "devices" bash -c "'$wine' '$exe' devices 2>/dev/null | tr -d '\r' |
  grep -qx '{\"total\": 0, \"busy\": 0, \"unrecognised\": 0, \"recognised\": 0}'"
# Whatever wine's audio reports, as a JSON list.
cli_check "cal devices" bash -c "'$wine' '$exe' cal devices 2>/dev/null | tr -d '\r' |
  python3 -c 'import json, sys; assert isinstance(json.load(sys.stdin), list)'"
rm -rf "$work"

echo "== packages =="
if [ -x "$linux_cli" ]; then
  bash scripts/package.sh --check || status=1
else
  bash scripts/package.sh --zip --check || status=1
fi
exit $status
