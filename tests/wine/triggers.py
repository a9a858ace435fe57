"""Helpers for the tests of the three ways a capture-and-output starts
without the menu: the DDE service, the capture key and the snapshot timer.

Every such test sends the pictures to serially numbered BMP files and
counts the captures by the files written (PREFIX0001.BMP, ...).
"""
import os
import re
import shutil
import subprocess
import tempfile
import time

from harness import ARTIFACTS, BIN, WINE, KelvoTestCase, env, wait_until, wine_environ, winpath

OUTPUT_FILE = 40009
CAPTURE_KEY = 40011
SNAPSHOT = 40053
SHOW_PRINT = 40022
PREFIX = "SHOT"

# Dialog 110 (serial file output).
SERIAL_ON = 1010
SERIAL_PREFIX = 1002
SERIAL_FOLDER = 1003
IDOK = 1
IDCANCEL = 2


def kelvodde(*args, timeout=300):
    """Runs tools' kelvodde.exe; returns (exit status, stdout, stderr)."""
    r = subprocess.run([WINE, os.path.join(BIN, "kelvodde.exe"), *[str(a) for a in args]],
                       env=wine_environ(), capture_output=True, text=True, timeout=timeout)
    return r.returncode, r.stdout.strip(), r.stderr.strip()


def kelvodde_start(*args):
    """Starts kelvodde.exe without waiting; the Popen (text pipes)."""
    return subprocess.Popen([WINE, os.path.join(BIN, "kelvodde.exe"), *[str(a) for a in args]],
                            env=wine_environ(), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True)


def xdo(*args):
    """xdotool on the test display; its output."""
    r = subprocess.run(["xdotool", *[str(a) for a in args]], capture_output=True, text=True,
                       env={**os.environ, "DISPLAY": f":{env()['display']}"}, check=True)
    return r.stdout.strip()


def title_log(driver, hwnd):
    """The titles the main window was given since the last call, in order
    (the driver's probe records them from inside Kelvo)."""
    return [e["title"] for e in driver("probe", hwnd, 4)["result"]["titles"]]


def countdown_values(titles):
    """The snapshot countdown values in a list of titles, other titles as
    themselves: ["Kelvo --- 次のショットまであと    2秒", "Kelvo"] -> [2, "Kelvo"]."""
    out = []
    for t in titles:
        m = re.fullmatch(r"Kelvo --- 次のショットまであと( *\d+)秒", t)
        if m:
            # The value stands right-aligned in five places.
            out.append(int(m.group(1)) if len(m.group(1)) == 5 else ("badly aligned", t))
        else:
            out.append(t)
    return out


class TriggerTestCase(KelvoTestCase):
    """A Kelvo whose output goes to serially numbered files in self.dir."""

    def setUp(self):
        super().setUp()
        self.dir = tempfile.mkdtemp(prefix="trig-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def start_with_file_output(self, folder=None, **kw):
        k = self.start(**kw)
        self.serial_output(k, folder or self.dir)
        return k

    def serial_output(self, k, folder):
        self.driver.post_command(k.hwnd, OUTPUT_FILE)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        self.driver("press", dialog, SERIAL_ON)
        self.driver("set_text", dialog, SERIAL_FOLDER, winpath(folder))
        self.driver("set_text", dialog, SERIAL_PREFIX, PREFIX)
        self.driver("click", dialog, IDOK)
        self.driver("wait_gone", dialog, 10000)

    def files(self, folder=None):
        return sorted(os.listdir(folder or self.dir))

    def wait_files(self, count, folder=None, timeout=60):
        """Waits for at least count files; returns the names."""
        return wait_until(lambda: len(self.files(folder)) >= count and self.files(folder), timeout,
                          what=f"{count} output files")

    def expect_files(self, count, folder=None, timeout=60):
        """Waits for count files and checks that there are exactly count:
        none missing, none extra."""
        self.wait_files(count, folder, timeout)
        names = self.files(folder)
        self.assertEqual(names, [f"{PREFIX}{n:04d}.BMP" for n in range(1, count + 1)])
        return names

    def sync(self, k, expected, folder=None):
        """Waits until every command posted to k so far has run, then checks
        that exactly expected files exist. The marker is a toggle of the
        printing-notice option (40022, harmless for file output) posted
        behind them: posted commands run in order, so when its toolbar
        button has flipped, every capture queued before it is written."""
        def pressed():
            return self.driver.toolbar(k.hwnd, (SHOW_PRINT,))[SHOW_PRINT]["checked"]
        before = pressed()
        self.driver.post_command(k.hwnd, SHOW_PRINT)
        wait_until(lambda: pressed() != before, 300, what="the commands queued before the marker")
        self.assertEqual(self.files(folder), [f"{PREFIX}{n:04d}.BMP" for n in range(1, expected + 1)])

    def focus(self, hwnd):
        """Makes hwnd the active window and leaves the mouse pointer over it.

        No window manager runs, so the X server's input focus stays
        PointerRoot: X sends a key to the window under the pointer, and
        Wine passes it on only when that is the active Wine window. A key
        typed with the pointer over the bare root window or over another
        window is lost."""
        wait_until(lambda: self.driver.state(hwnd)["visible"], 30, what="the window shown")
        left, top, right, _ = self.driver.state(hwnd)["rect"]
        if not self.driver.state(hwnd)["foreground"]:
            xdo("mousemove", min(left + 150, right - 80), top + 10, "click", "1")
            wait_until(lambda: self.driver.state(hwnd)["foreground"], 10, what="the keyboard focus")
            # Another click on the caption soon after would be a double
            # click, which maximises the window.
            time.sleep(0.6)
        x, y, width, height = self.driver.state(hwnd)["client"]
        xdo("mousemove", x + width // 2, y + height // 2)
