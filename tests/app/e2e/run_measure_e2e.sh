#!/usr/bin/env bash
# The Measure chain end to end in a real X server (Xvfb) with its own D-Bus session and
# accessibility bus, driven through AT-SPI: from the welcome dialog through the save dialog to
# File > Exit; then the saved document and the simulated subwoofer's flash are checked.
# Usage: run_measure_e2e.sh TESSALINE TESSALINE_CLI
set -euo pipefail
gui="$1"
cli="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
timeout="${E2E_TIMEOUT:-120}"
inner="$work/inner.sh"
cat >"$inner" <<INNER
set -euo pipefail
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=\$!
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb
# Qt's own file dialog, not a desktop's.
unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION
cd "$work"
"$gui" --simulate --sim-state "$work/sub.json" &
program=\$!
status=0
/usr/bin/python3 "$here/measure_atspi.py" "$timeout" "$work/room.CVD" \$program || status=\$?
# The program writes the simulated subwoofer's state as it ends.
if [ \$status -eq 0 ]; then
  wait \$program || status=\$?
else
  kill \$program 2>/dev/null || true
  wait \$program 2>/dev/null || true
fi
kill \$launcher 2>/dev/null || true
exit \$status
INNER
# Xvfb picks a free display itself and writes its number once it accepts clients (several of
# these runs may share the machine). A run whose program could not reach the X server at all (seen
# once on a busy machine) is started again once on a new server; any other failure counts.
xvfb=""
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
for attempt in 1 2; do
  rm -f "$work/display"
  mkfifo "$work/display"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb=$!
  if ! read -r -t 30 display <"$work/display"; then
    echo "e2e: Xvfb did not start"; cat "$work/xvfb.log"; exit 1
  fi
  status=0
  DISPLAY=":$display" dbus-run-session -- bash "$inner" 2>"$work/inner.err" || status=$?
  cat "$work/inner.err" >&2
  kill $xvfb 2>/dev/null || true
  wait $xvfb 2>/dev/null || true
  if [ $status -eq 0 ]; then
    break
  fi
  if [ $attempt -eq 2 ] || ! grep -q "could not connect to display" "$work/inner.err"; then
    exit $status
  fi
  echo "e2e: the program could not connect to the X server; starting again on a new one"
  rm -f "$work/sub.json" "$work/room.CVD"
done
/usr/bin/python3 "$here/check_saved.py" "$cli" "$work/room.CVD" "$work/sub.json"
