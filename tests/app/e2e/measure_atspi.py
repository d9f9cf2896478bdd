#!/usr/bin/python3
"""Drives the window program through the accessibility interface (AT-SPI), as a screen reader
user would: chooses "Start a new measurement" in the welcome dialog, presses "OK" in every dialog
and message box of the Measure chain, types the document's name into the save dialog and presses
"Save", and after the upload success message ends the program with File > Exit. Exits 0 when all
of it was seen and the program ended.

Usage: measure_atspi.py TIMEOUT_SECONDS DOCUMENT_PATH PROGRAM_PID"""

import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# The interface getters used here are the ones every AT-SPI version has.
warnings.simplefilter("ignore", DeprecationWarning)

SUCCESS = "Your subwoofer has successfully been EQ'd"
POLL = 0.1


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
        try:
            if app is not None and (app.get_name() or "").lower() == name:
                return app
        except Exception:
            pass
    return None


def showing(obj):
    try:
        return obj.get_state_set().contains(Atspi.StateType.SHOWING)
    except Exception:
        return False


def find(window, role, names, visible=True):
    for o in walk(window):
        try:
            if o.get_role() == role and o.get_name() in names and (showing(o) or not visible):
                return o
        except Exception:
            pass
    return None


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


def dialogs(app):
    for i in range(app.get_child_count()):
        window = app.get_child_at_index(i)
        try:
            if window is not None and showing(window) and window.get_role() in (
                    Atspi.Role.DIALOG, Atspi.Role.ALERT, Atspi.Role.FILE_CHOOSER):
                yield window
        except Exception:
            pass


def save_as(window, path):
    """The save dialog: the file name typed into its name field, then "Save"."""
    save = find(window, Atspi.Role.PUSH_BUTTON, ("Save", "&Save"))
    if save is None:
        return False
    field = None
    for o in walk(window):
        try:
            if (o.get_role() in (Atspi.Role.TEXT, Atspi.Role.ENTRY) and showing(o)
                    and "name" in (o.get_name() or "").lower()):
                field = o
                break
        except Exception:
            pass
    if field is None:
        return False
    field.get_editable_text_iface().set_text_contents(path)
    text = field.get_text_iface()
    typed = text.get_text(0, text.get_character_count())
    print("e2e: %s: typed %s" % (window.get_name(), typed))
    press(save)
    return typed == path


def answer_dialog(window, document):
    """Answers one dialog: "saved" for the save dialog, the texts of a dialog whose OK was
    pressed, nothing for a dialog that has neither (yet)."""
    choice = find(window, Atspi.Role.RADIO_BUTTON, ("Start a new measurement",))
    if choice is not None:
        press(choice)
    if save_as(window, document):
        return "saved"
    ok = find(window, Atspi.Role.PUSH_BUTTON, ("OK", "&OK"))
    if ok is None:
        return None
    said = texts(window)
    print("e2e: %s: %s" % (window.get_name(), said[:90].replace("\n", " ")))
    press(ok)
    return said


def running(pid):
    try:
        with open("/proc/%d/stat" % pid, encoding="ascii") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def main():
    deadline = time.monotonic() + float(sys.argv[1])
    document = sys.argv[2]
    pid = int(sys.argv[3])
    app = None
    while app is None and time.monotonic() < deadline and running(pid):
        app = application("tessaline")
        time.sleep(POLL)
    if app is None:
        print("e2e: the program did not appear on the accessibility bus")
        return 1
    prompts = saved = 0
    done = False
    handled = set()  # the same window comes back as the same object while it lives
    while not done and time.monotonic() < deadline:
        time.sleep(POLL)
        for window in dialogs(app):
            if window in handled:
                continue
            try:
                answer = answer_dialog(window, document)
            except GLib.Error:
                continue  # the window went away while it was read: look again
            if answer is None:
                continue
            handled.add(window)
            if answer == "saved":
                saved += 1
            elif "Please move the microphone" in answer:
                prompts += 1
            done = SUCCESS in answer
            break
    if not done:
        print("e2e: timed out")
        return 1
    print("e2e: %d position prompts, %d save dialogs" % (prompts, saved))
    if (prompts, saved) != (5, 1):
        return 1
    # The menu's items are there while the menu is closed; the program ends when Exit is pressed.
    while time.monotonic() < deadline and any(True for _ in dialogs(app)):
        time.sleep(POLL)
    exit_item = find(app, Atspi.Role.MENU_ITEM, ("Exit",), visible=False)
    if exit_item is None:
        print("e2e: no Exit menu item")
        return 1
    try:
        press(exit_item)
    except Exception:
        pass  # the program may end before it answers
    while time.monotonic() < deadline:
        if application("tessaline") is None:
            print("e2e: the program ended")
            return 0
        time.sleep(POLL)
    print("e2e: the program did not end after Exit")
    return 1


if __name__ == "__main__":
    sys.exit(main())
