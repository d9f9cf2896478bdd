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
# these runs may share the machine).
mkfifo "$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
if ! read -r -t 30 display <"$work/display"; then
  echo "e2e: Xvfb did not start"; cat "$work/xvfb.log"; exit 1
fi
DISPLAY=":$display" dbus-run-session -- bash "$inner"
/usr/bin/python3 "$here/check_saved.py" "$cli" "$work/room.CVD" "$work/sub.json"
