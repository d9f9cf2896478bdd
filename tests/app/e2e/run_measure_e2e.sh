#!/usr/bin/env bash
# The Measure chain end to end in a real X server (Xvfb) with its own D-Bus session and
# accessibility bus, driven through AT-SPI. Usage: run_measure_e2e.sh TESSALINE TESSALINE_CLI
set -euo pipefail
gui="$1"
cli="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$cli" doc new "$work/room.CVD" >/dev/null
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
inner="$work/inner.sh"
cat >"$inner" <<INNER
set -euo pipefail
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=\$!
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb
"$gui" --simulate --sim-state "$work/sub.json" "$work/room.CVD" &
program=\$!
status=0
/usr/bin/python3 "$here/measure_atspi.py" "${E2E_TIMEOUT:-120}" || status=\$?
kill \$program \$launcher 2>/dev/null || true
wait \$program 2>/dev/null || true
exit \$status
INNER
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- bash "$inner"
"$cli" doc show "$work/room.CVD" | /usr/bin/python3 -c '
import json, sys
doc = json.load(sys.stdin)
m, r = len(doc["measurements"]), len(doc["results"])
print("e2e: document holds %d measurements and %d results" % (m, r))
sys.exit(0 if (m, r) == (5, 3) else 1)'
