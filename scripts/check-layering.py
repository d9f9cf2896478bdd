#!/usr/bin/env python3
"""Keeps the library layering: no cycle among the project's targets, Qt only in the window
libraries (by their links and by the headers their sources include), no library reaching a USB or
audio backend but the backend itself (the executables choose them), no test or fuzz executable
reaching a platform backend (Qt, libusb, PortAudio/ALSA, WinUSB, the Windows audio interfaces)
unless it tests that backend, and no file of the Qt libraries including a POSIX, Linux or Windows
header (Qt itself stands between them and the system; read from the build's
compile_commands.json and the project headers they include).

Usage: check-layering.py SOURCE_DIR [BUILD_DIR] [--graph DOT]...
The target graph comes from CMake's --graphviz output: of the given configures (--graph, as many
as there are builds to check), otherwise of a configure of its own with the fuzz targets on.
With BUILD_DIR the built test executables are also checked with ldd. Exits 1 on a violation."""

import os
import re
import subprocess
import sys
import tempfile

# A backend is recognised by these names in the link graph and in ldd's output.
BACKENDS = {
    "Qt": (re.compile(r"^Qt6::|libQt6"), re.compile(r"libQt6")),
    "libusb": (re.compile(r"^tsl_sublink_libusb$|LIBUSB|libusb"), re.compile(r"libusb-1\.0")),
    "PortAudio/ALSA": (re.compile(r"^tsl_capture_portaudio$|PORTAUDIO|ALSA|libportaudio|libasound"),
                       re.compile(r"libportaudio|libasound")),
    "WinUSB": (re.compile(r"^tsl_sublink_winusb$|^(setupapi|winusb|psapi)$"),
               re.compile(r"(?i)winusb\.dll|setupapi\.dll")),
    "Windows audio": (re.compile(r"^tsl_capture_win$|^(ole32|winmm)$"),
                      re.compile(r"(?i)winmm\.dll|mmdevapi\.dll")),
}

# The executables that test a backend (or are a front-end) and may reach it.
ALLOWED = {
    "sublink_libusb_tests": {"libusb"},
    "sublink_umockdev_tests": {"libusb"},
    "sublink_winusb_tests": {"WinUSB"},
    "measure_win_audio_tests": {"Windows audio"},
    "measure_portaudio_tests": {"PortAudio/ALSA"},
    "ui_qt_tests": {"Qt"},
    "app_tests": {"Qt"},
    "quick_tests": {"Qt"},
}

# The libraries that are a USB or audio backend; every other library reaches none of them.
DEVICE_BACKENDS = ("libusb", "PortAudio/ALSA", "WinUSB", "Windows audio")
BACKEND_LIBRARIES = {"tsl_sublink_libusb": "libusb", "tsl_capture_portaudio": "PortAudio/ALSA",
                     "tsl_sublink_winusb": "WinUSB", "tsl_capture_win": "Windows audio"}

# The source folders whose libraries may be Qt; a source elsewhere under src/ that includes a Qt
# header breaks the layering.
QT_FOLDERS = ("app", "ui", "export")
QT_INCLUDE = re.compile(r'^\s*#\s*include\s*[<"](Qt[A-Za-z]*/|Q[A-Z][A-Za-z]*(\.h)?[>"])')


def read_graph(dot, edges):
    with open(dot) as f:
        for line in f:
            m = re.search(r"//\s*(\S+) -> (\S+)\s*$", line)
            if m and m.group(1) != m.group(2):
                edges.setdefault(m.group(1), set()).add(m.group(2))


def graph(source_dir, dots):
    edges = {}
    if dots:
        for dot in dots:
            read_graph(dot, edges)
        return edges
    with tempfile.TemporaryDirectory() as work:
        build = os.path.join(work, "build")
        dot = os.path.join(work, "graph.dot")
        subprocess.run(["cmake", "-S", source_dir, "-B", build, "-G", "Ninja",
                        "-DTESSALINE_FUZZ=ON", "-DTESSALINE_WERROR=OFF",
                        f"--graphviz={dot}"], check=True, stdout=subprocess.DEVNULL)
        read_graph(dot, edges)
    return edges


def find_cycle(edges, nodes):
    state = {}
    stack = []

    def visit(n):
        state[n] = 1
        stack.append(n)
        for m in sorted(edges.get(n, ())):
            if m not in nodes:
                continue
            if state.get(m) == 1:
                return stack[stack.index(m):] + [m]
            if m not in state:
                found = visit(m)
                if found:
                    return found
        stack.pop()
        state[n] = 2
        return None

    for n in sorted(nodes):
        if n not in state:
            found = visit(n)
            if found:
                return found
    return None


# The libraries that are Qt: the graph's painter, the widgets, the PNG export and the windows.
QT_LIBRARIES = {"tsl_graph_qt", "tsl_ui_qt", "tsl_export_qt", "tsl_app_qt"}

# Programs a test only runs (a build-order dependency, not a link).
PROGRAMS = {"tessaline-cli", "tessaline", "tessaline-bench", "tessaline-gui-bench"}


# System headers the Qt libraries' files must not include: POSIX, Linux and Windows interfaces
# and the backends' own headers.
SYSTEM_HEADER = re.compile(
    r"^(unistd|fcntl|pthread|dlfcn|poll|termios|dirent|pwd|grp|spawn|semaphore|netdb|syslog|"
    r"sched|malloc|io|process|direct|windows|windef|winbase|winuser|winsock2?|ws2tcpip|"
    r"shellapi|shlobj|psapi|setupapi|winusb|mmsystem|mmreg|mmdeviceapi|audioclient|"
    r"endpointvolume|objbase|combaseapi|initguid|libusb|portaudio)\.h$"
    r"|^(sys|linux|asm|netinet|arpa|alsa|libusb-1\.0)/", re.IGNORECASE)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def qt_library_files(build_dir):
    """The sources of the Qt libraries, from the build's compile commands."""
    path = os.path.join(build_dir, "compile_commands.json")
    if not os.path.exists(path):
        return []
    import json
    with open(path) as f:
        commands = json.load(f)
    files = set()
    for c in commands:
        out = c.get("output", "") or c.get("command", "")
        if any(f"CMakeFiles/{lib}.dir/" in out for lib in QT_LIBRARIES) and \
                "_autogen" not in c["file"]:
            files.add(os.path.normpath(os.path.join(c["directory"], c["file"])))
    return sorted(files)


def platform_includes(source_dir, start):
    """(file, header) for each system header that start and the project headers it includes
    (transitively) name."""
    src = os.path.join(source_dir, "src")
    found, seen, todo = [], set(), [start]
    while todo:
        f = todo.pop()
        if f in seen or not os.path.exists(f):
            continue
        seen.add(f)
        with open(f, errors="replace") as text:
            for line in text:
                m = INCLUDE.match(line)
                if not m:
                    continue
                header = m.group(2)
                local = os.path.join(src, header)
                if m.group(1) == '"' and os.path.exists(local):
                    todo.append(os.path.normpath(local))
                elif SYSTEM_HEADER.search(header):
                    found.append((os.path.relpath(f, source_dir), header))
    return found


def reach(edges, start):
    seen, todo = set(), [start]
    while todo:
        n = todo.pop()
        for m in edges.get(n, ()):
            if m not in seen and m not in PROGRAMS:
                seen.add(m)
                todo.append(m)
    return seen


def qt_includes(source_dir):
    found = []
    src = os.path.join(source_dir, "src")
    for root, _, files in os.walk(src):
        folder = os.path.relpath(root, src).split(os.sep)[0]
        if folder in QT_FOLDERS:
            continue
        for f in sorted(files):
            if not f.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, f)
            with open(path, encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    if QT_INCLUDE.search(line):
                        found.append(f"{os.path.relpath(path, source_dir)}:{number} includes Qt")
    return found


def is_test_or_fuzz(name):
    return name.endswith("_tests") or name.startswith("fuzz_")


def main():
    args, dots = [], []
    argv = sys.argv[1:]
    while argv:
        a = argv.pop(0)
        if a == "--graph" and argv:
            dots.append(argv.pop(0))
        else:
            args.append(a)
    source_dir = args[0]
    build_dir = args[1] if len(args) > 1 else None
    failures = []
    edges = graph(source_dir, dots)
    ours = {n for n in edges if n.startswith("tsl_")} | \
        {m for targets in edges.values() for m in targets if m.startswith("tsl_")}
    cycle = find_cycle(edges, ours)
    if cycle:
        failures.append("library cycle: " + " -> ".join(cycle))

    # Qt stays in the window libraries: a core library that reaches it breaks the layering.
    for lib in sorted(ours):
        if lib in QT_LIBRARIES:
            continue
        hits = sorted(n for n in reach(edges, lib) if BACKENDS["Qt"][0].search(n))
        if hits:
            failures.append(f"{lib} links Qt through {', '.join(hits)}")

    # The executables choose the USB and audio backends: no other library links one.
    for lib in sorted(ours):
        for backend in DEVICE_BACKENDS:
            if BACKEND_LIBRARIES.get(lib) == backend:
                continue
            hits = sorted(n for n in reach(edges, lib) if BACKENDS[backend][0].search(n))
            if hits:
                failures.append(f"{lib} links {backend} through {', '.join(hits)}")

    failures.extend(qt_includes(source_dir))

    executables = sorted(n for n in edges if is_test_or_fuzz(n))
    for exe in executables:
        reached = reach(edges, exe)
        for backend, (in_graph, _) in BACKENDS.items():
            if backend in ALLOWED.get(exe, set()):
                continue
            hits = sorted(n for n in reached if in_graph.search(n))
            if hits:
                failures.append(f"{exe} links {backend} through {', '.join(hits)}")

    qt_files = qt_library_files(build_dir) if build_dir else []
    for f in qt_files:
        for where, header in platform_includes(source_dir, f):
            failures.append(f"{where} (Qt library) includes the system header <{header}>")

    checked = 0
    if build_dir:
        walked = [w for sub in ("tests", "fuzz") for w in os.walk(os.path.join(build_dir, sub))]
        for root, _, files in walked:
            for f in files:
                path = os.path.join(root, f)
                if not is_test_or_fuzz(f) or not os.access(path, os.X_OK):
                    continue
                out = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
                checked += 1
                for backend, (_, in_ldd) in BACKENDS.items():
                    if backend not in ALLOWED.get(f, set()) and in_ldd.search(out):
                        failures.append(f"{f} loads {backend} (ldd)")

    for line in failures:
        print("layering: " + line)
    print(f"layering: {len(ours)} libraries, {len(executables)} test and fuzz targets, "
          f"{checked} executables checked with ldd, {len(qt_files)} Qt library files: "
          + ("FAILED" if failures else "ok"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
