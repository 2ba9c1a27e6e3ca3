#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The strip as assistive technology sees it on the desktop's accessibility bus: an event script
# of typing, Backspace, a paste, Return and Up (the strip clears the line and calls it back) runs
# once against the real program and once against Qt's own line edit doing the same; both must
# tell a listening client the same insertions and deletions, at the same offsets, with the same
# caret, and their Text interfaces must read what was typed. Then the phrase board is opened and
# must list its 36 buttons by name.
#
#   AccessibilityDesktopTest.py <vocalo> <line-edit-strip> <window-search>
#
# Runs inside tests/harness/with-desktop with VOCALO_TEST_ACCESSIBILITY=1.
import os
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

VOCALO, LINE_EDIT_STRIP, WINDOW_SEARCH = sys.argv[1:4]
PASTED = " world"

# Each step: the keys (xdotool arguments), the text after it, the text-changed events it must
# send (kind, offset, text) and where the caret ends.
SCRIPT = [
    ("type", ["type", "--delay", "30", "hello"], "hello",
        [("insert", i, c) for i, c in enumerate("hello")], 5),
    ("Backspace", ["key", "BackSpace"], "hell", [("delete", 4, "o")], 4),
    ("paste", ["key", "ctrl+v"], "hell" + PASTED, [("insert", 4, PASTED)], 10),
    ("Return", ["key", "Return"], "", [("delete", 0, "hell" + PASTED)], 0),
    ("Up", ["key", "Up"], "hell" + PASTED, [("insert", 0, "hell" + PASTED)], 10),
    ("typed over a selection", ["key", "ctrl+a", "type", "x"], "x",
        [("delete", 0, "hell" + PASTED), ("insert", 0, "x")], 1),
]

events = []


def on_event(event):
    events.append(event)


listener = Atspi.EventListener.new(on_event)
for kind in ("object:text-changed", "object:text-caret-moved", "object:state-changed:focused"):
    listener.register(kind)
context = GLib.MainContext.default()


def pump():
    while context.pending():
        context.iteration(False)


def wait_until(condition, what, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        pump()
        try:
            found = condition()
        except GLib.Error:
            found = None
        if found:
            return found
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


def descendants(node, depth=0):
    yield node
    if depth > 12:
        return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from descendants(child, depth + 1)


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def text_box(app):
    for node in descendants(app):
        if node.get_name() == "Text to speak" and node.get_role() in (
                Atspi.Role.TEXT, Atspi.Role.ENTRY):
            return node
    return None


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=True)


def from_box(box, kinds):
    return [e for e in events if e.source == box and any(e.type.startswith(k) for k in kinds)]


class Program:
    def __init__(self, command):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.process = subprocess.Popen(command, env=env)
        self.app = wait_until(lambda: application(self.process.pid), "the program on the bus")
        self.box = wait_until(lambda: text_box(self.app), "its text box")
        wait_until(lambda: self.box.get_state_set().contains(Atspi.StateType.FOCUSED),
                   "the text box to take the keyboard")

    def end(self):
        self.process.terminate()
        self.process.wait(10)


def run_script(command):
    """What a client heard from each step, in the form of SCRIPT's rows."""
    events.clear()
    program = Program(command)
    heard = [("focus", any(e.detail1 == 1 for e in from_box(program.box, ["object:state"])))]
    for name, keys, text, _, _ in SCRIPT:
        events.clear()
        holder = None
        if name == "paste":
            holder = subprocess.Popen([LINE_EDIT_STRIP, "--clipboard", PASTED],
                                      stdout=subprocess.PIPE, text=True)
            assert holder.stdout.readline().strip() == "ready"
        xdotool(*keys)
        # The events of an edit leave the program before its answer to this question does.
        wait_until(lambda: Atspi.Text.get_text(program.box, 0, -1) == text, name + ": " + repr(text))
        pump()
        changes = [(e.type.split(":")[-1], e.detail1, e.any_data)
                   for e in from_box(program.box, ["object:text-changed"])]
        carets = [e.detail1 for e in from_box(program.box, ["object:text-caret-moved"])]
        heard.append((name, changes, carets[-1] if carets else None,
                      Atspi.Text.get_caret_offset(program.box)))
        if holder:
            holder.terminate()
            holder.wait(10)
    return program, heard


def expected():
    return [("focus", True)] + [(name, changes, caret, caret)
                                for name, _, _, changes, caret in SCRIPT]


failures = []


def check(what, got, want):
    if got != want:
        failures.append("%s:\n  got  %r\n  want %r" % (what, got, want))


reference, qt_heard = run_script([LINE_EDIT_STRIP])
reference.end()
for got, want in zip(qt_heard, expected()):
    check("Qt's line edit, " + got[0], got, want)

vocalo, vocalo_heard = run_script([VOCALO])
for got, want in zip(vocalo_heard, qt_heard):
    check("the strip, " + got[0], got, want)


# The phrase board, from the strip's menu corner: Quick Window is the second command.
def windows(*search):
    return subprocess.run([WINDOW_SEARCH, *search], capture_output=True, text=True).stdout.split()


def visible_windows():
    return set(windows("--class", "vocalo"))


strip = windows("--title", "Vocalo 1.0")[0]
before = visible_windows()
xdotool("mousemove", "--window", strip, "--sync", "364", "9", "click", "1")
wait_until(lambda: visible_windows() - before, "the menu")
xdotool("key", "Down", "Down", "Return")


def phrase_board():
    for i in range(vocalo.app.get_child_count()):
        node = vocalo.app.get_child_at_index(i)
        if node.get_name() == "Quick Window!" \
                and node.get_state_set().contains(Atspi.StateType.SHOWING):
            return node
    return None


board = wait_until(phrase_board, "the phrase board")
buttons = [node.get_name() for node in descendants(board)
           if node.get_role() == Atspi.Role.PUSH_BUTTON]
check("the phrase board's buttons, all named", (len(buttons), all(n.strip() for n in buttons)),
      (36, True))
vocalo.end()

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
