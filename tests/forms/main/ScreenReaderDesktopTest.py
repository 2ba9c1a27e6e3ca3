#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# What a real screen reader says: Orca runs headless against a private speech-dispatcher whose
# only voice appends each utterance to a file, and what Orca said is each SPEECH OUTPUT entry of
# its debug log. The same session of keys is played on Vocalo and on a stock Qt program (Qt's
# line edit with inline completion, a menu button, a board of buttons, an About box), which
# shows what right sounds like wherever the step applies to it.
#
#   ScreenReaderDesktopTest.py <vocalo> <stock-qt-program>
#
# Runs inside tests/harness/with-desktop with VOCALO_TEST_ACCESSIBILITY=1.
import fcntl
import os
import pty
import re
import subprocess
import sys
import tempfile
import threading
import time

VOCALO, STOCK = sys.argv[1:3]

# Each step: what a person does, the keys (xdotool arguments), what Orca says with Vocalo, and
# with the stock program (None where the step does not apply there). A person typing fast hears
# the offer for what stands in the box once the typing pauses, not every offer on the way: an
# utterance that ends in "?" may be missing, and "*?" is any one utterance or none.
STEPS = [
    ("type d", ["type", "d"], ["d", "do."], None),
    ("type o", ["type", "o"], ["o", "don't."], None),
    ("type o", ["type", "o"], ["o", "door."], None),
    ("type rb", ["type", "--delay", "250", "rb"], ["r", "doors.?", "b", "doorbell."], None),
    ("Tab takes the word", ["key", "Tab"], ["tab", "doorbell", "rang."], None),
    ("type zq", ["type", "--delay", "250", "zq"], ["z", "zero.?", "q"], None),
    # The emptied line is offered a first word: what the run said last.
    ("Return", ["key", "Return"], ["return", "Doorbell."], None),
    # A pick from the row is heard as the word written, like Tab's.
    ("F1 takes the first word", ["key", "F1"], ["F1?", "Doorbell.", "*?"], None),
    # Qt's line edit reports an empty run of text attributes, and Orca leaves off its last letter.
    ("Up recalls the line", ["key", "Up"], ["doorbell zq"], None),
    ("Shift+Tab", ["key", "shift+Tab"], ["left shift", "Menu push button."],
     ["left shift", "Menu push button."]),
    # A key opens Vocalo's menu with its first command picked.
    ("Space", ["key", "space"], ["space", "Options."], ["space"]),
    ("Down", ["key", "Down"], ["Quick Window."], ["Options."]),
    ("Down", ["key", "Down"], None, ["Quick Window."]),
    ("Return", ["key", "Return"], ["return", "Quick Window!", "Yes push button."],
     ["return", "Quick Window! dialog.", "Yes push button."]),
    ("Tab", ["key", "Tab"], ["tab", "No push button."], ["tab", "No push button."]),
    ("Escape", ["key", "Escape"], ["escape", "Vocalo 1.0.", "Menu push button."],
     ["escape", "Line edit strip.", "Menu push button."]),
    ("F10", ["key", "F10"], ["Options."], None),
    ("Escape", ["key", "Escape"], ["escape", "Menu push button."], None),
]

SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*?)' ?\[?\{'established'", re.DOTALL)


def wait_until(condition, what, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class Orca:
    def __init__(self, folder):
        speechd = os.path.join(folder, "speechd")
        os.makedirs(os.path.join(speechd, "modules"))
        with open(os.path.join(speechd, "speechd.conf"), "w") as conf:
            conf.write('AddModule "file" "sd_generic" "file.conf"\nDefaultModule "file"\n')
        with open(os.path.join(speechd, "modules", "file.conf"), "w") as conf:
            conf.write('GenericExecuteSynth "printf %%s\\\\n \\\'$DATA\\\' >> %s/said"\n'
                       'AddVoice "en" "MALE1" "en"\n' % folder)
        self.speechd = subprocess.Popen(["speech-dispatcher", "-s", "-t", "0", "-C", speechd,
                                         "-L", folder], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        socket = os.path.join(os.environ["XDG_RUNTIME_DIR"], "speech-dispatcher", "speechd.sock")
        wait_until(lambda: os.path.exists(socket), "speech-dispatcher")
        # Orca writes its log through a buffer that it flushes only as it ends, but line by line
        # to a terminal: the log is read from one.
        terminal, log = pty.openpty()
        self.orca = subprocess.Popen(["orca", "-u", os.path.join(folder, "orca"),
                                      "--debug-file", os.ttyname(log)], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.text, self.read = "", 0
        threading.Thread(target=self.listen, args=(terminal,), daemon=True).start()
        wait_until(lambda: "Screen reader on." in self.said(), "Orca to start")

    def listen(self, terminal):
        with open(terminal, "rb", buffering=0) as log:
            while chunk := log.read(65536):
                self.text += chunk.decode("utf-8", "replace")

    def said(self):
        return [s.replace("\r", "").strip() for s in SPOKEN.findall(self.text)]

    def new(self):
        """What Orca said since the last call, once its log has gone quiet."""
        size, quiet_since = -1, time.monotonic()
        while time.monotonic() - quiet_since < 0.8:
            time.sleep(0.1)
            now = len(self.text)
            if now != size:
                size, quiet_since = now, time.monotonic()
        said = self.said()
        new, self.read = said[self.read:], len(said)
        # What a braille display shows: Orca's last BRAILLE LINE, which no step may leave empty.
        if re.findall(r"BRAILLE LINE:  '(.*)'", self.text)[-1:] == [""]:
            new.append("(an empty braille line)")
        return new

    def end(self):
        for process in (self.orca, self.speechd):
            process.kill()
            process.wait(10)


def session(orca, command, column):
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen([command], env=env)
    wait_until(lambda: "Text to speak text." in orca.said()[orca.read:], "the text box's focus")
    if column == 0:
        # Vocalo reads its model of English on a thread of its own: it is there once "thank"
        # brings "you". The line is then emptied again.
        for attempt in range(30):
            subprocess.run(["xdotool", "type", "thank "], check=True)
            offered = "you." in orca.new()
            subprocess.run(["xdotool", "key", "--delay", "100", *["BackSpace"] * 6], check=True)
            if offered:
                break
        else:
            raise AssertionError("Vocalo never offered a word of its model of English")
    orca.new()
    heard = []
    for name, keys, *expected in STEPS:
        if expected[column] is None:
            continue
        subprocess.run(["xdotool", *keys], check=True)
        heard.append((name, orca.new(), expected[column]))
    program.terminate()
    program.wait(10)
    return heard


# Only one Orca of a user runs at a time, whichever test or desktop started it.
with open(os.path.join(tempfile.gettempdir(), "vocalo-orca-%d.lock" % os.getuid()), "w") as lock:
    fcntl.flock(lock, fcntl.LOCK_EX)
    with tempfile.TemporaryDirectory() as folder:
        orca = Orca(folder)
        try:
            results = [(who, *row) for who, command, column in
                       (("stock Qt", STOCK, 1), ("Vocalo", VOCALO, 0))
                       for row in session(orca, command, column)]
        finally:
            orca.end()

def matches(heard, expected):
    if not expected:
        return not heard
    want, rest = expected[0], expected[1:]
    if want.endswith("?"):
        if matches(heard, rest):
            return True
        want = want[:-1]
    return bool(heard) and want in ("*", heard[0]) and matches(heard[1:], rest)


failed = False
for who, step, heard, expected in results:
    ok = matches(heard, expected)
    failed |= not ok
    print("%s %-9s %-20s heard %r%s" % ("  " if ok else "!!", who, step, heard,
                                         "" if ok else ", want %r" % expected))
sys.exit(1 if failed else 0)
