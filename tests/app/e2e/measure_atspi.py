#!/usr/bin/python3
"""Drives the window program's Measure chain through the accessibility interface (AT-SPI), as a
screen reader user would: presses "Measure" in the command strip, then "OK" in every dialog and
message box that appears, until the upload success message. Exits 0 when it was seen.

Usage: measure_atspi.py TIMEOUT_SECONDS (the program must already be running)."""

import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

# The interface getters used here are the ones every AT-SPI version has.
warnings.simplefilter("ignore", DeprecationWarning)

SUCCESS = "Your subwoofer has successfully been EQ'd"


def walk(obj, depth=0):
    if obj is None or depth > 40:
        return
    yield obj
    try:
        count = obj.get_child_count()
    except Exception:
        return
    for i in range(count):
        try:
            child = obj.get_child_at_index(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def application(name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and (app.get_name() or "").lower() == name:
            return app
    return None


def showing(obj):
    try:
        return obj.get_state_set().contains(Atspi.StateType.SHOWING)
    except Exception:
        return False


def press(obj):
    action = obj.get_action_iface()
    for i in range(action.get_n_actions()):
        if action.get_action_name(i) in ("Press", "press", "click"):
            return action.do_action(i)
    return action.do_action(0)


def texts(window):
    found = []
    for o in walk(window):
        try:
            if o.get_role() == Atspi.Role.LABEL:
                found.append(o.get_name() or "")
                text = o.get_text_iface()
                if text is not None:
                    found.append(text.get_text(0, text.get_character_count()))
        except Exception:
            pass
    return " ".join(found)


def main():
    deadline = time.monotonic() + float(sys.argv[1])
    app = None
    while app is None and time.monotonic() < deadline:
        app = application("tessaline")
        time.sleep(0.2)
    if app is None:
        print("e2e: the program did not appear on the accessibility bus")
        return 1
    strip = [o for o in walk(app) if o.get_role() == Atspi.Role.PUSH_BUTTON
             and o.get_name() == "Measure" and showing(o)]
    if not strip:
        print("e2e: no Measure button")
        return 1
    press(strip[0])
    print("e2e: pressed Measure")
    prompts = 0
    while time.monotonic() < deadline:
        time.sleep(0.2)
        for window in [app.get_child_at_index(i) for i in range(app.get_child_count())]:
            if window is None or not showing(window):
                continue
            if window.get_role() not in (Atspi.Role.DIALOG, Atspi.Role.ALERT):
                continue
            oks = [o for o in walk(window) if o.get_role() == Atspi.Role.PUSH_BUTTON
                   and o.get_name() in ("OK", "&OK") and showing(o)]
            if not oks:
                continue
            said = texts(window)
            print("e2e: %s: %s" % (window.get_name(), said[:90].replace("\n", " ")))
            if "Please move the microphone" in said:
                prompts += 1
            press(oks[0])
            if SUCCESS in said:
                print("e2e: %d position prompts" % prompts)
                return 0 if prompts == 5 else 1
            break
    print("e2e: timed out")
    return 1


if __name__ == "__main__":
    sys.exit(main())
