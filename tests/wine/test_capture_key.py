"""The capture key: dialog 111 and what it stores, and real key presses
(xdotool) reaching hook.dll in whichever Wine program has the focus."""
import os
import subprocess
import time

from PIL import Image

from harness import WINE, settled_screenshot, wait_until, wine_environ
from triggers import CAPTURE_KEY, TriggerTestCase, xdo

CTRL = 1010
SHIFT = 1011
KEY_LIST = 1012
IDOK = 1
IDCANCEL = 2
TITLE = "ｷｰの指定"
REG_DWORD = 4
SNIPPING = "PrintScreenKeyForSnippingEnabled"
SNIPPING_NOTE = 1350

LB_SETCURSEL = 0x0186
LB_GETCURSEL = 0x0188
LB_GETCOUNT = 0x018B


def keys(*names):
    """xdotool key presses, each a full press and release."""
    for name in names:
        xdo("key", "--delay", "60", name)


class CaptureKeyDialog(TriggerTestCase):
    def open_dialog(self, k):
        self.driver.post_command(k.hwnd, CAPTURE_KEY)
        dialog = self.driver.wait_window("#32770", TITLE)
        list_box = self.driver("control", dialog, KEY_LIST)
        self.assertEqual(list_box["class"], "ListBox")
        children = self.driver("children", dialog)["children"]
        self.list_box = next(c["hwnd"] for c in children if c["id"] == KEY_LIST)
        return dialog

    def selection(self):
        return self.driver("send", self.list_box, LB_GETCURSEL, 0, 0)["result"]

    def select(self, index):
        self.driver("send", self.list_box, LB_SETCURSEL, index, 0)

    def close(self, dialog, button):
        self.driver("click", dialog, button)
        self.driver("wait_gone", dialog, 10000)

    def stored(self, name):
        v = self.driver.reg_get(name)
        return (v["type"], v["data"]) if v["found"] else None

    def test_defaults_are_shown_checked_with_f9_selected(self):
        k = self.start()
        dialog = self.open_dialog(k)
        settled_screenshot("capture-key-dialog")
        self.assertEqual(self.driver("control", dialog, CTRL)["check"], 1)
        self.assertEqual(self.driver("control", dialog, SHIFT)["check"], 1)
        self.assertEqual(self.driver("send", self.list_box, LB_GETCOUNT, 0, 0)["result"], 53)
        self.assertEqual(self.selection(), 8)  # "F9"
        self.close(dialog, IDCANCEL)

    def test_choosing_keypad_5_stores_0x65_with_the_whole_settings(self):
        k = self.start()
        dialog = self.open_dialog(k)
        self.driver("press", dialog, CTRL)
        self.select(17)  # "5", the keypad's
        self.close(dialog, IDOK)
        # Stored at once, before Kelvo ends: KEY is a REG_DWORD of 2 bytes.
        self.assertEqual(self.stored("KEY"), (REG_DWORD, "6500"))
        self.assertEqual(self.stored("CTRL"), (REG_DWORD, "00000000"))
        self.assertEqual(self.stored("SHIFT"), (REG_DWORD, "01000000"))
        names = {v["name"] for v in self.driver.reg_values()["values"]}
        self.assertEqual(names, {"PREVIEW", "SCALE", "SHOWPRINT", "READPRT", "OPEN", "ICONIC",
                                 "SHIFT", "CTRL", "KEY", "STILLSELECT", "OUTPUT", "SERIAL", "FORMAT",
                                 "COMPRESS", "QUALITY", "FOLDER", "PREFIX", "CURSOR"})
        # Both boxes cleared: the bare key.
        dialog = self.open_dialog(k)
        self.assertEqual(self.selection(), 17)
        self.assertEqual(self.driver("control", dialog, CTRL)["check"], 0)
        self.driver("press", dialog, SHIFT)
        self.close(dialog, IDOK)
        self.assertEqual(self.stored("SHIFT"), (REG_DWORD, "00000000"))
        self.assertEqual(self.stored("KEY"), (REG_DWORD, "6500"))

    def test_a_stored_key_outside_the_table_shows_no_selection_and_is_kept(self):
        self.driver("reg_set", "KEY", REG_DWORD, "3500")  # the 5 of the main block
        k = self.start()
        dialog = self.open_dialog(k)
        self.assertEqual(self.selection(), -1)
        self.driver("press", dialog, SHIFT)
        self.close(dialog, IDOK)
        self.assertEqual(self.stored("KEY"), (REG_DWORD, "3500"))
        self.assertEqual(self.stored("SHIFT"), (REG_DWORD, "00000000"))

    def test_print_screen_taken_by_the_snipping_tool_shows_the_note(self):
        self.driver("reg_set", "KEY", REG_DWORD, "2c00")  # Print Screen
        keyboard = r"Control Panel\Keyboard"
        self.addCleanup(self.driver, "reg_del", "HKCU", keyboard, SNIPPING)
        k = self.start()
        for setting, shown in (("01000000", True), ("00000000", False)):
            with self.subTest(setting=setting):
                self.driver("reg_set", "HKCU", keyboard, SNIPPING, REG_DWORD, setting)
                dialog = self.open_dialog(k)
                note = next(c for c in self.driver("children", dialog)["children"]
                            if c["id"] == SNIPPING_NOTE)
                self.assertEqual(self.driver.state(note["hwnd"])["visible"], shown)
                if shown:
                    self.assertIn("アクセシビリティ > キーボード", note["text"])
                    self.assertIn("「Print Screen キーを使用して画面キャプチャを開く」をオフ",
                                  note["text"])
                    # The dialog has grown to show it whole.
                    _, top, _, height = self.driver.state(dialog)["client"]
                    _, note_top, _, note_height = self.driver.state(note["hwnd"])["client"]
                    self.assertLessEqual(note_top + note_height, top + height)
                    settled_screenshot("capture-key-snipping-note")
                self.close(dialog, IDCANCEL)

    def test_choosing_print_screen_in_the_list_shows_the_note_at_once(self):
        keyboard = r"Control Panel\Keyboard"
        self.addCleanup(self.driver, "reg_del", "HKCU", keyboard, SNIPPING)
        self.driver("reg_set", "HKCU", keyboard, SNIPPING, REG_DWORD, "01000000")
        k = self.start()
        dialog = self.open_dialog(k)
        note = next(c["hwnd"] for c in self.driver("children", dialog)["children"]
                    if c["id"] == SNIPPING_NOTE)
        self.assertFalse(self.driver.state(note)["visible"])  # F9
        # A click in the list gives it the focus; End then chooses the last
        # entry, Print Screen, as a user would.
        left, top, right, _ = self.driver.state(self.list_box)["rect"]
        xdo("mousemove", (left + right) // 2, top + 5, "click", "1")
        wait_until(lambda: self.selection() != 8, 10, what="the click in the list")
        keys("End")
        wait_until(lambda: self.driver.state(note)["visible"], 10, what="the note")
        self.assertEqual(self.selection(), 52)
        keys("Up")
        wait_until(lambda: not self.driver.state(note)["visible"], 10, what="the note hidden")
        self.close(dialog, IDOK)
        self.assertEqual(self.stored("KEY"), (REG_DWORD, "2300"))  # End

    def test_cancel_writes_nothing(self):
        k = self.start()
        before = self.driver.reg_values()
        dialog = self.open_dialog(k)
        self.driver("press", dialog, CTRL)
        self.driver("press", dialog, SHIFT)
        self.select(30)
        self.close(dialog, IDCANCEL)
        self.assertEqual(self.driver.reg_values(), before)
        # Nor does it change what OK would store next.
        dialog = self.open_dialog(k)
        self.assertEqual(self.selection(), 8)
        self.assertEqual(self.driver("control", dialog, CTRL)["check"], 1)
        self.close(dialog, IDCANCEL)


class CaptureKeyPresses(TriggerTestCase):
    """Key presses come from xdotool; the focus is on a Wine window (no
    window manager runs: a click on the caption gives it)."""

    def set_key(self, k, ctrl, shift, index):
        self.driver.post_command(k.hwnd, CAPTURE_KEY)
        dialog = self.driver.wait_window("#32770", TITLE)
        for box, wanted in [(CTRL, ctrl), (SHIFT, shift)]:
            if self.driver("control", dialog, box)["check"] != wanted:
                self.driver("press", dialog, box)
        children = self.driver("children", dialog)["children"]
        list_box = next(c["hwnd"] for c in children if c["id"] == 1012)
        self.driver("send", list_box, LB_SETCURSEL, index, 0)
        self.driver("click", dialog, IDOK)
        self.driver("wait_gone", dialog, 10000)

    def test_default_key_outputs_once_per_press(self):
        k = self.start_with_file_output()
        for n in (1, 2):
            self.focus(k.hwnd)
            keys("ctrl+shift+F9")
            self.expect_files(n)
        # Other combinations with the same key are not the capture key
        # (with Alt it grabs the active window instead).
        self.focus(k.hwnd)
        keys("F9", "ctrl+F9", "shift+F9", "ctrl+shift+F8")
        self.sync(k, 2)

    def test_a_changed_key_works_at_once(self):
        k = self.start_with_file_output()
        self.set_key(k, ctrl=False, shift=True, index=22 + 16)  # Shift+Q
        self.focus(k.hwnd)
        keys("ctrl+shift+F9", "ctrl+shift+q", "q")
        self.sync(k, 0)
        self.focus(k.hwnd)
        keys("shift+q")
        self.expect_files(1)
        # Both boxes cleared: the bare key.
        self.set_key(k, ctrl=False, shift=False, index=50)  # Home
        self.focus(k.hwnd)
        keys("shift+Home", "ctrl+Home", "shift+q")
        self.sync(k, 1)
        self.focus(k.hwnd)
        keys("Home")
        self.expect_files(2)

    def test_print_screen_outputs_once_per_press(self):
        k = self.start_with_file_output()
        self.set_key(k, ctrl=False, shift=False, index=52)  # PrintScreen
        self.assertEqual(self.driver.reg_get("KEY")["data"], "2c00")
        # Wine passes both the key-down and the key-up.
        for n in (1, 2):
            self.focus(k.hwnd)
            keys("Print")
            self.expect_files(n)
        # Windows often passes the key-up alone.
        self.focus(k.hwnd)
        self.driver("key_up", 0x2C)
        self.expect_files(3)
        self.sync(k, 3)

    def test_a_key_held_in_another_program_outputs_once(self):
        k = self.start_with_file_output()
        notepad = subprocess.Popen([WINE, "notepad"], env=wine_environ(),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(notepad.wait)
        self.addCleanup(notepad.kill)
        editor = self.driver.wait_window("Notepad", "-", 30)
        # Below Kelvo's window, which comes to the front after a capture.
        self.driver("move", editor, 250, 590, 600, 170)
        self.focus(editor)
        # The keyboard repeats a held key here, so the hook sees repeats.
        xdo("keydown", "a")
        time.sleep(1.5)
        xdo("keyup", "a")

        def typed():
            children = self.driver("children", editor)["children"]
            return next(c["text"] for c in children if c["class"] == "Edit")
        wait_until(lambda: len(typed()) > 3, 10, what="repeated letters in Notepad")
        self.assertEqual(set(typed()), {"a"})
        # Held for two seconds in Notepad: F9 repeats there (until the
        # capture shows Kelvo's window, which takes the focus), yet only
        # the first key-down counts.
        self.assertTrue(self.driver.state(editor)["foreground"])
        xdo("keydown", "ctrl+shift+F9")
        time.sleep(2)
        xdo("keyup", "ctrl+shift+F9")
        self.expect_files(1)
        self.sync(k, 1)
        # The system loaded hook.dll into Notepad's process to call it there.
        self.assertTrue(any("hook.dll" in line for line in self.maps_of("notepad.exe")))
        # A press in Notepad again, after it has the focus back.
        self.focus(editor)
        keys("ctrl+shift+F9")
        self.expect_files(2)

    def maps_of(self, program):
        """The memory map lines of the Wine process running program in
        this test's prefix."""
        prefix = wine_environ()["WINEPREFIX"].encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if b"WINEPREFIX=" + prefix + b"\0" not in f.read() + b"\0":
                        continue
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    if program.encode() not in f.read().lower():
                        continue
                with open(f"/proc/{pid}/maps") as f:
                    return f.read().splitlines()
            except OSError:
                continue
        self.fail(f"no process runs {program}")


class ActiveWindowKey(TriggerTestCase):
    def test_alt_with_the_capture_key_outputs_the_foreground_window(self):
        k = self.start_with_file_output()
        notepad = subprocess.Popen([WINE, "notepad"], env=wine_environ(),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(notepad.wait)
        self.addCleanup(notepad.kill)
        editor = self.driver.wait_window("Notepad", "-", 30)
        self.driver("move", editor, 250, 590, 610, 170)
        self.focus(editor)
        left, top, right, bottom = self.driver.state(editor)["rect"]
        keys("ctrl+shift+alt+F9")
        names = self.expect_files(1)
        with Image.open(os.path.join(self.dir, names[0])) as shot:
            self.assertEqual(shot.size, (right - left, bottom - top))
        info = self.driver.clip_bitmap()
        self.assertEqual((info["width"], info["height"]), (right - left, bottom - top))
        # The plain key still grabs the whole screen.
        self.focus(editor)
        keys("ctrl+shift+F9")
        names = self.expect_files(2)
        with Image.open(os.path.join(self.dir, names[1])) as shot:
            self.assertEqual(shot.size, (1024, 768))
