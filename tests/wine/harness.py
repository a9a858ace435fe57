"""Helpers for the integration tests of kelvo.exe under Wine.

The environment (Xvfb display, Wine prefix) is made once per test run by
env.py; its description is in the file named by KELVO_WINE_ENV. Each test
module talks to Wine through one kdriver.exe session (see
tests/wine/driver/kdriver.cpp) and starts Kelvo as often as it needs.
"""
import io
import json
import os
import struct
import subprocess
import tempfile
import threading
import time
import unittest

import env as wineenv

WINE = "/usr/lib/wine/wine64"
PYTHON = "/usr/bin/python3"

WM_SETTEXT = 0x000C
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_USER = 0x0400

SETTINGS_KEY = r"Software\Norvik\Kelvo"


def _load_env():
    path = os.environ.get("KELVO_WINE_ENV")
    if not path or not os.path.exists(path):
        raise unittest.SkipTest("no Wine environment (run through ctest)")
    with open(path) as f:
        return json.load(f)


ENV = None
BIN = os.environ.get("KELVO_BIN", "")
ARTIFACTS = os.environ.get("KELVO_ARTIFACTS", tempfile.gettempdir())
# Another display while a test class uses it (see OtherDisplay).
_other_display = None
_other_layout = None


def env():
    global ENV
    if ENV is None:
        ENV = _load_env()
    return ENV


def display():
    """The X display Wine runs on now."""
    return _other_display if _other_display is not None else env()["display"]


def rgb(value):
    """(r, g, b) of a 0xRRGGBB colour."""
    return (value >> 16, (value >> 8) & 255, value & 255)


def x_point(x, y):
    """The X root window's point for a Windows screen point: on two
    monitors X counts from the left one's corner, Windows from the primary
    one's, which lies 1024 pixels to the right."""
    if _other_layout == OtherDisplay.TWO_MONITORS:
        return x - OtherDisplay.LEFT, y
    return x, y


class OtherDisplay:
    """Moves the run's Wine prefix onto another X display for one test
    class: start in setUpClass before the driver, stop in tearDownClass
    after it. Every Wine process of the prefix ends at both moves."""
    TWO_MONITORS = wineenv.TWO_MONITORS  # 1024 x 768 twice, the primary one right
    LARGE = wineenv.LARGE                # one 2048 x 1536 monitor
    SMALL = wineenv.SMALL                # one 640 x 480 monitor
    LEFT = -1024  # on two monitors: the left one's left edge in Windows

    @staticmethod
    def start(layout):
        global _other_display, _other_layout
        _other_display = wineenv.start_display(os.path.dirname(os.environ["KELVO_WINE_ENV"]), layout)
        _other_layout = layout

    @staticmethod
    def stop():
        global _other_display, _other_layout
        _other_display = _other_layout = None
        wineenv.stop_display(os.path.dirname(os.environ["KELVO_WINE_ENV"]))


def wine_environ():
    e = env()
    out = dict(os.environ)
    out.update({
        "WINEPREFIX": e["prefix"],
        "DISPLAY": f":{display()}",
        "LANG": "ja_JP.UTF-8",
        "LC_ALL": "ja_JP.UTF-8",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
    })
    return out


def winpath(path):
    """The Windows name of a Linux path (Wine maps / to drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_until(condition, timeout=10.0, interval=0.05, what="condition"):
    """Polls condition until it returns a true value or the deadline passes."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class DriverError(Exception):
    pass


class Driver:
    """One kdriver.exe session: a command line in, one JSON line out."""

    def __init__(self, environ=None):
        """environ: the environment of another Wine prefix, if not the
        test run's."""
        self.proc = subprocess.Popen([WINE, os.path.join(BIN, "kdriver.exe")],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, env=environ or wine_environ())

    @staticmethod
    def _arg(a):
        s = str(a)
        if s == "" or any(c in s for c in ' \t"\\'):
            return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'
        return s

    def __call__(self, *args, check=True):
        line = " ".join(self._arg(a) for a in args) + "\n"
        self.proc.stdin.write(line.encode("utf-8"))
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline()
        if not answer:
            raise DriverError(f"driver ended during {args[0]}")
        reply = json.loads(answer.decode("utf-8"))
        if check and not reply["ok"]:
            raise DriverError(f"{args[0]}: {reply['error']}")
        return reply

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()
        for stream in (self.proc.stdin, self.proc.stdout):
            if stream:
                stream.close()

    # Conveniences over the raw commands.
    def find(self, cls="-", title="-"):
        return self("find", cls, title)["hwnd"]

    def wait_window(self, cls="-", title="-", timeout=10.0):
        return self("wait", cls, title, int(timeout * 1000))["hwnd"]

    def title(self, hwnd):
        return self("title", hwnd)["title"]

    def state(self, hwnd):
        return self("state", hwnd)

    def send_command(self, hwnd, command, lparam=0):
        return self("send", hwnd, WM_COMMAND, command, lparam)["result"]

    def post_command(self, hwnd, command, lparam=0):
        self("post", hwnd, WM_COMMAND, command, lparam)

    def clip_bitmap(self):
        reply = self("clip_bitmap", check=False)
        return reply if reply["ok"] else None

    def clip_image(self):
        """The clipboard's bitmap as a Pillow image (RGB), or None."""
        from PIL import Image
        fd, path = tempfile.mkstemp(suffix=".bmp", dir=ARTIFACTS)
        os.close(fd)
        try:
            if not self("clip_save", winpath(path), check=False)["ok"]:
                return None
            with Image.open(path) as im:
                return im.convert("RGB")
        finally:
            os.remove(path)

    def toolbar(self, hwnd, commands=(40023, 40008, 40001, 40014, 40015, 40016, 40053, 40020,
                                      40006, 40002, 40022, 40007, 40054, 40012)):
        """{command: {"enabled", "checked", "state"}} of the main toolbar."""
        reply = self("toolbar", hwnd, *commands)
        out = {}
        for k, state in reply["states"].items():
            out[int(k)] = {"state": state, "enabled": state >= 0 and bool(state & 4),
                           "checked": state >= 0 and bool(state & 1)}
        return out

    def reg_values(self):
        return self("reg_values")

    def reg_get(self, name):
        return self("reg_get", name)


def hold_clipboard(driver, ms):
    """Another program (a second driver) opens the clipboard and keeps it
    for ms. Returns that driver and the thread waiting on it once the
    clipboard is really held; join the thread, then close the driver.
    Killing the driver's process lets the clipboard go at once."""
    other = Driver()
    started = threading.Event()

    def run():
        started.set()
        try:
            other("clip_hold", ms)
        except DriverError:
            pass  # ended early by the test (or could not open it: seen below)
    thread = threading.Thread(target=run)
    thread.start()
    started.wait()
    # Until the other program really has it open, Kelvo could still get in.
    wait_until(lambda: not driver("clip_formats", check=False)["ok"], 15,
               what="the clipboard held")
    return other, thread


class Kelvo:
    """One kelvo.exe process."""

    def __init__(self, driver, exe_dir=None, cwd=None, environ=None):
        self.driver = driver
        self.exe = os.path.join(exe_dir or BIN, "kelvo.exe")
        self.proc = subprocess.Popen([WINE, self.exe], cwd=cwd or ARTIFACTS,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     env=environ or wine_environ())
        self.hwnd = None
        # Main windows that were there before this start are not ours.
        self.others = set(driver("windows", "KelvoClass")["hwnds"])

    def wait_main(self, timeout=15.0):
        """Waits until this instance's main window is shown and its thread
        answers messages (start-up has reached its message loop or a
        message box)."""
        def shown():
            if self.proc.poll() is not None:
                raise AssertionError(f"Kelvo ended during start-up (exit code {self.proc.returncode})")
            mine = [h for h in self.driver("windows", "KelvoClass")["hwnds"] if h not in self.others]
            hwnd = mine[0] if mine else None
            if not hwnd or not self.driver.state(hwnd)["visible"]:
                return None
            if not self.driver("send", hwnd, 0, 0, 0, check=False)["ok"]:  # WM_NULL
                return None
            return hwnd
        self.hwnd = wait_until(shown, timeout, what="Kelvo's main window")
        return self.hwnd

    def exit_code(self, timeout=15.0):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, timeout=15.0):
        """Ends the program through its exit command; returns the exit code."""
        if self.proc.poll() is None and self.hwnd:
            self.driver("post", self.hwnd, WM_COMMAND, 40005, 0, check=False)
        code = self.exit_code(timeout)
        if code is None:
            self.kill()
            raise AssertionError("Kelvo did not end after the exit command")
        return code

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def imagemagick_rgb(path):
    """ImageMagick's own reading of a file (its first frame) as a Pillow RGB
    image: the outside reference for the pictures Kelvo reads and writes."""
    from PIL import Image
    out = subprocess.run(["/usr/bin/convert", path + "[0]", "-depth", "8", "ppm:-"], check=True,
                         capture_output=True).stdout
    with Image.open(io.BytesIO(out)) as im:
        return im.convert("RGB")


def open_notepad(driver, path, line, timeout=30.0):
    """Writes LINE into the UTF-16 file PATH and opens it in Wine's Notepad;
    returns the process and its window once that is there."""
    with open(path, "w", encoding="utf-16") as f:
        f.write(line + "\r\n")
    process = subprocess.Popen([WINE, "notepad", winpath(path)], env=wine_environ(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return process, driver.wait_window("Notepad", "-", timeout=timeout)


# Wine treats Kelvo's main window as one a window manager looks after, and
# with none running it waits up to two seconds for the window to be
# withdrawn whenever a capture hides it. Marked unmanaged, Kelvo hides at
# once, so that a test sees Kelvo's own pauses and a capture takes a tenth
# of the time; what happens inside Kelvo is unchanged.
APP_DEFAULTS = r"Software\Wine\AppDefaults\kelvo.exe"
X11_DRIVER = APP_DEFAULTS + r"\X11 Driver"


def unmanaged(test):
    """Marks kelvo.exe unmanaged for the Kelvo started after this, until the
    end of the test (a clean-up removes the mark). No window manager runs
    here, and Wine otherwise waits about two seconds for the main window to
    be withdrawn whenever a capture hides it."""
    driver = test.driver
    # Clean-ups run last first: the subkey goes before its parent.
    if not driver("reg_values", "HKCU", APP_DEFAULTS)["key"]:
        test.addCleanup(driver, "reg_del_key", "HKCU", APP_DEFAULTS)
    driver("reg_set", "HKCU", X11_DRIVER, "Managed", 1, "4e00")  # REG_SZ "N"
    test.addCleanup(driver, "reg_del_key", "HKCU", X11_DRIVER)


def capture_pause(test, k, command, lparam=0, watch=None):
    """Sends command to Kelvo and returns the milliseconds from its main
    window hiding to the clipboard changing, and whether a window of class
    watch was seen meanwhile. Needs unmanaged(test) before the start."""
    reply = test.driver("time_command", k.hwnd, command, lparam, 15000, *([watch] if watch else []))
    t = reply["times"]
    test.assertGreaterEqual(t["hidden"], 0, "the main window never hid")
    test.assertGreaterEqual(t["changed"], 0, "the clipboard did not change")
    test.assertGreaterEqual(t["shown"], 0, "the main window did not come back")
    return t["changed"] - t["hidden"], reply["watched_seen"]


def assert_pause(test, measured, pause):
    """measured is Kelvo's pause of pause ms, plus the grab (50 to 80 ms
    here) and what a busy machine adds: held apart from the next longer
    pause (100, 300, 500 ms) and from Wine's wait for a window manager."""
    # The grab alone takes longer than the poll that sees the window hide
    # can come late, so hardly anything of the pause may be missing.
    test.assertGreaterEqual(measured, pause - 10)
    test.assertLess(measured, pause + 200)


def click_arrow(driver, dialog, control, up):
    """A real click on the upper or lower arrow of an up-down control."""
    left, top, right, bottom = [c for c in driver("children", dialog)["children"]
                                if c["id"] == control][0]["rect"]
    y = top + (bottom - top) // 4 if up else bottom - 1 - (bottom - top) // 4
    xdotool("mousemove", (left + right) // 2, y, "click", 1)


def screenshot(name):
    """Saves the whole X screen as ARTIFACTS/name.png; returns the path."""
    os.makedirs(ARTIFACTS, exist_ok=True)
    path = os.path.join(ARTIFACTS, name + ".png")
    subprocess.run(["import", "-display", f":{display()}", "-window", "root", path],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def settled_screenshot(name, timeout=10.0):
    """Waits until the screen stops changing (windows finished painting),
    then saves it as ARTIFACTS/name.png; returns the path."""
    previous = None
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        current = screen_image().tobytes()
        if current == previous:
            break
        previous = current
        time.sleep(0.2)
    return screenshot(name)


def screen_image():
    """The X screen as a Pillow RGB image."""
    from PIL import Image
    fd, path = tempfile.mkstemp(suffix=".png", dir=ARTIFACTS)
    os.close(fd)
    try:
        subprocess.run(["import", "-display", f":{display()}", "-window", "root", path],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with Image.open(path) as im:
            return im.convert("RGB")
    finally:
        os.remove(path)


def xdotool(*args):
    subprocess.run(["xdotool", *[str(a) for a in args]], check=True,
                   env={**os.environ, "DISPLAY": f":{display()}"},
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class KelvoTestCase(unittest.TestCase):
    """Base class: one driver per test class; every test leaves the registry
    key and the clipboard as it found them and stops every Kelvo it started."""

    @classmethod
    def setUpClass(cls):
        env()
        cls.driver = Driver()

    @classmethod
    def tearDownClass(cls):
        cls.driver.close()

    def setUp(self):
        self.instances = []
        self.patches = []
        self._saved_settings = self.driver.reg_values()
        self._saved_clipboard = self._save_clipboard()

    def tearDown(self):
        for p in self.patches:
            self.driver("destroy", p, check=False)
        for k in self.instances:
            if k.proc.poll() is None:
                try:
                    k.stop()
                except AssertionError:
                    k.kill()
        self._restore_settings()
        self._restore_clipboard()

    def start(self, exe_dir=None, cwd=None, wait=True):
        k = Kelvo(self.driver, exe_dir, cwd)
        self.instances.append(k)
        if wait:
            k.wait_main()
        return k

    def place(self, x, y, w, h, colour):
        """A window of one colour at a Windows screen rectangle, removed
        after the test; returns once the screen shows it."""
        hwnd = self.driver("place", x, y, w, h, colour)["hwnd"]
        self.patches.append(hwnd)
        wait_until(lambda: screen_image().getpixel(x_point(x + w // 2, y + h // 2)) == rgb(colour),
                   10, what="the patch on the screen")
        return hwnd

    # --- leaving things as they were -----------------------------------
    def _save_clipboard(self):
        info = self.driver.clip_bitmap()
        if not info:
            return None
        fd, path = tempfile.mkstemp(suffix=".bmp", dir=ARTIFACTS)
        os.close(fd)
        if not self.driver("clip_save", winpath(path), check=False)["ok"]:
            os.remove(path)
            return None
        return path

    def _restore_clipboard(self):
        path = self._saved_clipboard
        if path is None:
            self.driver("clip_empty", check=False)
            return
        self.driver("clip_load", winpath(path), check=False)
        os.remove(path)

    def _restore_settings(self):
        saved = self._saved_settings
        now = self.driver.reg_values()
        for v in now["values"]:
            self.driver("reg_del", v["name"])
        if not saved["key"]:
            self.driver("reg_del_key")
            return
        for v in saved["values"]:
            self.driver("reg_set", v["name"], v["type"], v["data"] or "-")


class OtherDisplayTestCase(KelvoTestCase):
    """A KelvoTestCase whose class runs on another display (LAYOUT, one of
    OtherDisplay's), with captures that do not wait for a window manager."""
    LAYOUT = None

    @classmethod
    def setUpClass(cls):
        OtherDisplay.start(cls.LAYOUT)
        # Also when the set-up below fails: the next modules need Xvfb.
        cls.addClassCleanup(OtherDisplay.stop)
        super().setUpClass()

    def setUp(self):
        super().setUp()
        unmanaged(self)


def bmp_dib_bytes(path):
    """(file header fields, info header fields) of a BMP file."""
    with open(path, "rb") as f:
        data = f.read()
    bf = struct.unpack_from("<2sIHHI", data, 0)
    bi = struct.unpack_from("<IiiHHIIiiII", data, 14)
    return bf, bi, data
