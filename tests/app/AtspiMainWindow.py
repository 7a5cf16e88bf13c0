#!/usr/bin/python3
"""The main window as a screen reader meets it.

Starts the station simulator, then the real vocarra program on a virtual X
server with the AT-SPI bridge on, and reads the window through AT-SPI the way
a screen reader does: the names of the two now-playing bars, the countdown
labels, the description of the playlist row on air, and the change events a
reader follows. Runs inside its own D-Bus session (Atspi.sh).

    AtspiMainWindow.py VOCARRA STATION_SIM VOCARRA_CLI
"""

import ctypes
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

TIMEOUT = 30.0

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wait_for(probe, what, timeout=TIMEOUT):
    """Calls probe until it returns something true; fails with what."""
    deadline = time.monotonic() + timeout
    last_error = None
    while time.monotonic() < deadline:
        try:
            value = probe()
            if value:
                return value
        except GLib.Error as error:  # the tree changes under our feet
            last_error = error
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}" +
                         (f" ({last_error})" if last_error else ""))


def start_station(sim, folder):
    log = open(os.path.join(folder, "sim.log"), "w")
    process = subprocess.Popen([sim, "--port", "0", "--tracks", "20"],
                               stdout=subprocess.PIPE, stderr=log, text=True)
    line = process.stdout.readline()
    match = re.match(r"listening on 127\.0\.0\.1:(\d+)", line)
    if not match:
        raise AssertionError(f"the simulator did not start: {line!r}")
    return process, int(match.group(1))


def start_display(folder):
    read_end, write_end = os.pipe()
    process = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL,
        stderr=open(os.path.join(folder, "xvfb.log"), "w"))
    os.close(write_end)
    with os.fdopen(read_end) as reader:
        number = reader.readline().strip()
    if not number:
        raise AssertionError("Xvfb did not start")
    return process, ":" + number


def start_vocarra(program, folder, port, display):
    # Without uid.ini the program keeps its files next to itself.
    copy = os.path.join(folder, "vocarra")
    shutil.copy(program, copy)
    with open(os.path.join(folder, "settings.ini"), "w", newline="") as out:
        out.write("object TSettings\r\n  Server = '127.0.0.1'\r\n"
                  f"  Port = {port}\r\n  User = 'demo'\r\n  Pass = 'demo'\r\nend\r\n")
    environment = dict(os.environ)
    environment.update({"DISPLAY": display, "QT_QPA_PLATFORM": "xcb",
                        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1"})
    return subprocess.Popen([copy], env=environment, cwd=folder,
                            stdout=open(os.path.join(folder, "vocarra.log"), "w"),
                            stderr=subprocess.STDOUT)


def give_input_focus(display, pid):
    """Gives the X input focus to the top-level window of process pid, as a
    window manager would when the presenter clicks it (there is none here).
    Returns whether such a window was found."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                               ctypes.POINTER(ctypes.c_uint)]
    x11.XGetWindowProperty.argtypes = [
        ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
        ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]
    x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    x11.XMapRaised.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        return False
    try:
        wm_pid = x11.XInternAtom(connection, b"_NET_WM_PID", 0)
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        x11.XQueryTree(connection, x11.XDefaultRootWindow(connection), ctypes.byref(root),
                       ctypes.byref(parent), ctypes.byref(children), ctypes.byref(count))
        windows = [children[i] for i in range(count.value)]
        if children:
            x11.XFree(children)
        for window in windows:
            kind, size_format = ctypes.c_ulong(), ctypes.c_int()
            items, rest = ctypes.c_ulong(), ctypes.c_ulong()
            data = ctypes.POINTER(ctypes.c_ubyte)()
            if x11.XGetWindowProperty(connection, window, wm_pid, 0, 1, 0, 6,  # XA_CARDINAL
                                      ctypes.byref(kind), ctypes.byref(size_format),
                                      ctypes.byref(items), ctypes.byref(rest),
                                      ctypes.byref(data)) != 0 or not data:
                continue
            owner = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0] if items.value else 0
            x11.XFree(data)
            if owner == pid:
                x11.XMapRaised(connection, window)
                x11.XSetInputFocus(connection, window, 2, 0)  # RevertToParent, CurrentTime
                x11.XFlush(connection)
                return True
        return False
    finally:
        x11.XCloseDisplay(connection)


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def walk(node, depth=0):
    """Every object below node; tables are not entered (their cells are read
    through the table interface)."""
    yield node
    if depth > 20 or is_playlist(node):
        return
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1)


def find_named(app, pattern):
    regex = re.compile(pattern)
    for node in walk(app):
        if regex.fullmatch(node.name or ""):
            return node
    return None


def is_playlist(node):
    return node.name == "Playlist" and node.getRole() in (pyatspi.ROLE_TREE,
                                                          pyatspi.ROLE_TREE_TABLE,
                                                          pyatspi.ROLE_TABLE)


def find_playlist(app):
    for node in walk(app):
        if is_playlist(node):
            return node
    return None


def playing_rows(playlist):
    """(row, title) of every row whose cells say they are on air."""
    table = playlist.queryTable()
    rows = []
    for row in range(table.nRows):
        cells = [table.getAccessibleAt(row, column) for column in range(table.nColumns)]
        marks = [cell.description == "playing" for cell in cells]
        if any(marks):
            rows.append((row, all(marks), cells[2].name))
    return rows


def names_of(events, source):
    return [name for sender, name in events if sender == source]


def collect_name_events(seconds, action=None, until=None):
    """(source, its name when the event came) for the accessible-name change
    events that arrive within seconds, after action runs; stops early once
    until(events) holds. A reader asks for the name when it hears the event,
    as the event itself need not carry it."""
    events = []
    loop = GLib.MainLoop()

    def listener(event):
        events.append((event.source, event.source.name))
        if until and until(events):
            loop.quit()

    pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-name")
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    if action:
        GLib.idle_add(lambda: (action(), False)[1])
    loop.run()
    pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-name")
    return events


def focus_events(node, seconds):
    """Names heard with the focus events of node after it is given the focus."""
    heard = []
    loop = GLib.MainLoop()

    def listener(event):
        if event.source == node and event.detail1 == 1:
            heard.append(event.source.name)
            loop.quit()

    pyatspi.Registry.registerEventListener(listener, "object:state-changed:focused")
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    GLib.idle_add(lambda: (node.queryComponent().grabFocus(), False)[1])
    loop.run()
    pyatspi.Registry.deregisterEventListener(listener, "object:state-changed:focused")
    return heard


def main():
    vocarra, sim, cli = sys.argv[1:4]
    folder = tempfile.mkdtemp(prefix="vocarra-atspi-")
    processes = []
    try:
        station, port = start_station(sim, folder)
        processes.append(station)
        display_process, display = start_display(folder)
        processes.append(display_process)
        program = start_vocarra(vocarra, folder, port, display)
        processes.append(program)

        app = wait_for(lambda: find_application(program.pid), "vocarra on the AT-SPI bus")
        print(f"found {app.name!r} (pid {program.pid})", flush=True)

        # The bars: caption, then the title, then ". ".
        current = wait_for(lambda: find_named(app, r"Current Track .+\. "),
                           "the playing bar to announce a title")
        following = wait_for(lambda: find_named(app, r"Next Track .+\. "),
                             "the next bar to announce a title")
        check(current.getRole() in (pyatspi.ROLE_STATIC, pyatspi.ROLE_LABEL),
              f"playing bar is a static text ({current.getRoleName()})")
        check(current.getState().contains(pyatspi.STATE_FOCUSABLE), "playing bar is focusable")
        check(current.queryText().getText(0, -1) == current.name,
              "playing bar's text is its name")
        title = current.name[len("Current Track "):-2]
        print(f"playing: {title!r}; next: {following.name!r}", flush=True)

        # Tabbing to the bar is what a reader announces: caption and title.
        frame = app[0]
        check(give_input_focus(display, program.pid), "the window takes the input focus")
        wait_for(lambda: frame.getState().contains(pyatspi.STATE_ACTIVE), "the window to be active")
        heard = focus_events(current, TIMEOUT)
        check(heard == [f"Current Track {title}. "], f"focusing the playing bar announces {heard}")

        # The countdown labels: their name carries the time and runs on.
        elapsed = wait_for(lambda: find_named(app, r"Elapsed time \d\d:\d\d\.\d"),
                           "the elapsed time label")
        remaining = wait_for(lambda: find_named(app, "Remaining time \u2013 \\d\\d:\\d\\d\\.\\d"),
                             "the remaining time label")
        first = elapsed.name
        check(bool(wait_for(lambda: elapsed.name != first, "the elapsed time to run on")),
              "elapsed time runs on: " + first + " -> " + elapsed.name)
        check(elapsed.queryText().getText(0, -1) == elapsed.name[len("Elapsed time "):],
              "elapsed time label's text is the time")
        check(re.fullmatch("\u2013 \\d\\d:\\d\\d\\.\\d", remaining.queryText().getText(0, -1))
              is not None, "remaining time label's text is the time")

        # The row on air is marked on every cell, and it is the bar's title.
        playlist = wait_for(lambda: find_playlist(app), "the playlist")
        rows = wait_for(lambda: [r for r in playing_rows(playlist) if r[2] == title],
                        "the row on air to be marked 'playing'")
        check(len(playing_rows(playlist)) == 1, f"one row is marked playing: {rows}")
        check(rows[0][1], "every cell of the row on air says 'playing'")

        # Change events reach the bus: the countdown labels' names, and the
        # next bar's name when the station's next entry changes. Entry 1 is
        # on air for minutes, so deleting entry 2 changes only the next title.
        events = collect_name_events(3.0, until=lambda e: len(names_of(e, elapsed)) >= 2)
        check(len(names_of(events, elapsed)) >= 2,
              f"elapsed time sends name changes ({len(names_of(events, elapsed))})")
        old_next = following.name

        def delete_next():
            subprocess.run([cli, "--server", "127.0.0.1", "--port", str(port), "--user", "demo",
                            "--pass", "demo", "delete", "2"], check=True,
                           stdout=subprocess.DEVNULL)

        events = collect_name_events(
            TIMEOUT, action=delete_next,
            until=lambda e: any(n != old_next for n in names_of(e, following)))
        announced = [n for n in names_of(events, following) if n != old_next]
        check(bool(announced) and re.fullmatch(r"Next Track .+\. ", announced[0]) is not None,
              f"next bar announces its new title ({announced[:1]})")
        check(current.name == f"Current Track {title}. ", "playing bar unchanged")
    except AssertionError as error:
        check(False, str(error))
    finally:
        for process in reversed(processes):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        if failures:
            for name in ("vocarra.log", "sim.log"):
                path = os.path.join(folder, name)
                if os.path.exists(path):
                    with open(path) as log:
                        print(f"--- {name}\n" + log.read()[-3000:], flush=True)
        shutil.rmtree(folder, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
