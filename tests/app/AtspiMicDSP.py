#!/usr/bin/python3
"""A presenter who uses only the keyboard and a screen reader edits the
microphone chain in the real program: opens the DSP window from the toolbar,
adds the compressor from the plug-in list, opens its editor, sets the
threshold, closes everything, and the chain is in player.ini.

Keys go to the program through the X server's test extension, as a keyboard
would send them; what the presenter finds is found through AT-SPI, as a
screen reader finds it. Runs inside its own D-Bus session (Atspi.sh).

    AtspiMicDSP.py VOCARRA STATION_SIM VOCARRA_CLI
"""

import ctypes
import os
import re
import shutil
import sys
import tempfile

import pyatspi

from AtspiMainWindow import (check, failures, find_application, find_named, give_input_focus,
                             start_display, start_station, start_vocarra, wait_for, walk)


class Keyboard:
    """Key presses through XTest on one display."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.connection = self.x11.XOpenDisplay(display.encode())
        if not self.connection:
            raise AssertionError("cannot open the display for key presses")

    def press(self, name):
        code = self.x11.XKeysymToKeycode(self.connection, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.connection, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.connection, code, 0, 0)
        self.x11.XFlush(self.connection)

    def close(self):
        self.x11.XCloseDisplay(self.connection)


def focused(node):
    """Whether node has the focus, or one of its parts (a list's row) has."""
    if node.getState().contains(pyatspi.STATE_FOCUSED):
        return True
    return node.getRole() != pyatspi.ROLE_PUSH_BUTTON and any(
        child is not None and child.getState().contains(pyatspi.STATE_FOCUSED)
        for child in walk(node))


def focus(node, what):
    """Moves the focus to node, as Tab would, and waits until it is there."""
    node.queryComponent().grabFocus()
    wait_for(lambda: focused(node), f"the focus on {what}")


def dialogs(app, name):
    return [window for window in app
            if window is not None and window.getRole() == pyatspi.ROLE_DIALOG
            and window.name == name]


def find_role(root, role, pattern=".*"):
    regex = re.compile(pattern)
    for node in walk(root):
        if node.getRole() == role and regex.fullmatch(node.name or ""):
            return node
    return None


def table_rows(node):
    """The text of each row: its last column (the chain's first column is
    the check box)."""
    table = node.queryTable()
    return [table.getAccessibleAt(row, table.nColumns - 1).name or ""
            for row in range(table.nRows)]


def find_list(root, exclude=None):
    for node in walk(root):
        if node.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE,
                              pyatspi.ROLE_LIST) and node != exclude:
            return node
    return None


def main():
    vocarra, sim = sys.argv[1:3]
    folder = tempfile.mkdtemp(prefix="vocarra-atspi-dsp-")
    processes = []
    keyboard = None
    try:
        station, port = start_station(sim, folder)
        processes.append(station)
        display_process, display = start_display(folder)
        processes.append(display_process)
        program = start_vocarra(vocarra, folder, port, display)
        processes.append(program)
        keyboard = Keyboard(display)

        app = wait_for(lambda: find_application(program.pid), "vocarra on the AT-SPI bus")
        frame = app[0]
        check(give_input_focus(display, program.pid), "the window takes the input focus")
        wait_for(lambda: frame.getState().contains(pyatspi.STATE_ACTIVE), "the window to be active")

        # The toolbar's button opens the chain, modally.
        button = wait_for(lambda: find_named(frame, "Microphone processing"), "the DSP button")
        focus(button, "the DSP button")
        keyboard.press("space")
        dsp = wait_for(lambda: dialogs(app, "DSP"), "the DSP window")[0]
        chain = wait_for(lambda: find_role(dsp, pyatspi.ROLE_TREE_TABLE, "Processing chain")
                         or find_role(dsp, pyatspi.ROLE_TREE, "Processing chain")
                         or find_role(dsp, pyatspi.ROLE_TABLE, "Processing chain"),
                         "the chain list")
        check(table_rows(chain) == [], f"the chain starts empty ({table_rows(chain)})")
        for name in ("Configure", "Add", "Remove", "Move up", "Move down", "OK"):
            check(find_role(dsp, pyatspi.ROLE_PUSH_BUTTON, name) is not None,
                  f"the DSP window has a button named {name!r}")

        # Add: the plug-in list, another modal "DSP" dialog.
        focus(find_role(dsp, pyatspi.ROLE_PUSH_BUTTON, "Add"), "Add")
        keyboard.press("space")
        catalogue_dialog = wait_for(lambda: [d for d in dialogs(app, "DSP") if d != dsp],
                                    "the plug-in list")[0]
        catalogue = wait_for(lambda: find_list(catalogue_dialog), "the catalogue")
        rows = wait_for(lambda: table_rows(catalogue), "the catalogue's rows")
        check(rows[:3] == ["Equalizer", "Compressor", "Gain"],
              f"the catalogue starts with the built-ins ({rows[:3]})")
        focus(catalogue, "the catalogue")
        keyboard.press("Home")
        keyboard.press("Down")
        wait_for(lambda: catalogue.queryTable().isRowSelected(1), "the compressor row selected")
        keyboard.press("Return")
        wait_for(lambda: table_rows(chain) == ["Compressor"], "the compressor in the chain")
        check(True, "the compressor was added")

        # The new row is selected: Configure opens its editor, where the
        # threshold is a slider.
        focus(find_role(dsp, pyatspi.ROLE_PUSH_BUTTON, "Configure"), "Configure")
        keyboard.press("space")
        threshold = wait_for(lambda: next((find_role(window, pyatspi.ROLE_SLIDER, "Threshold.*")
                                           for window in app if window is not None
                                           and find_role(window, pyatspi.ROLE_SLIDER,
                                                         "Threshold.*")), None),
                             "the compressor editor's threshold slider")
        value = threshold.queryValue()
        check(value.minimumValue < value.maximumValue, "the threshold has a range")
        # A reader sets a slider through its value, as its arrow keys do.
        value.currentValue = value.minimumValue
        wait_for(lambda: value.currentValue == value.minimumValue, "the threshold at its lowest")
        editor = threshold
        while editor.parent is not None and editor.parent.getRole() != pyatspi.ROLE_APPLICATION:
            editor = editor.parent
        check(editor.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG),
              f"the editor is a window to a reader ({editor.getRoleName()} {editor.name!r})")
        editor_ok = find_role(editor, pyatspi.ROLE_PUSH_BUTTON, "OK")
        editor_ok.queryAction().doAction(0)
        wait_for(lambda: editor not in list(app), "the editor to close")

        # OK closes the DSP window, which saves the chain.
        find_role(dsp, pyatspi.ROLE_PUSH_BUTTON, "OK").queryAction().doAction(0)
        # The window lives on, hidden, for the next time.
        wait_for(lambda: not dsp.getState().contains(pyatspi.STATE_SHOWING),
                 "the DSP window to close")
        player_ini = os.path.join(folder, "player.ini")
        text = wait_for(lambda: os.path.exists(player_ini)
                        and open(player_ini, encoding="latin-1").read(), "player.ini")
        check("'Compressor'" in text, "player.ini holds the compressor entry")
        check(re.search(r"Params\.Strings = \(\s*'[^']*'\s*'-30'", text) is not None,
              "player.ini holds the threshold the presenter set (-30 dB)")
    except AssertionError as error:
        check(False, str(error))
    finally:
        if keyboard:
            keyboard.close()
        for process in reversed(processes):
            process.terminate()
            try:
                process.wait(10)
            except Exception:
                process.kill()
        if failures:
            for name in ("vocarra.log", "player.ini"):
                path = os.path.join(folder, name)
                if os.path.exists(path):
                    with open(path, encoding="latin-1") as log:
                        print(f"--- {name}\n" + log.read()[-3000:], flush=True)
        shutil.rmtree(folder, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
