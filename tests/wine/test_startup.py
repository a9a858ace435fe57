"""Start-up: the single-instance check, the hook library, and the exit."""
import os
import shutil
import tempfile

from harness import KelvoTestCase, Kelvo, wait_until, screenshot, BIN, ARTIFACTS

IDOK = 1


WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020


class SecondStart(KelvoTestCase):
    def test_second_start_while_the_first_shows_kelvo_brings_it_forward_and_exits(self):
        first = self.start()
        self.driver("send", first.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        wait_until(lambda: self.driver.state(first.hwnd)["iconic"], 10, what="minimised")
        second = Kelvo(self.driver)
        self.instances.append(second)
        self.assertEqual(second.exit_code(timeout=15), 0)
        # The first instance is restored and still the only one.
        wait_until(lambda: not self.driver.state(first.hwnd)["iconic"], 10, what="restored")
        self.assertTrue(self.driver.state(first.hwnd)["visible"])
        self.assertEqual(self.driver("windows", "KelvoClass")["hwnds"], [first.hwnd])
        self.assertEqual(self.driver.title(first.hwnd), "Kelvo")
        self.assertEqual(first.stop(), 0)

    def test_second_start_finds_the_first_whatever_its_title(self):
        first = self.start()
        # The title names a file (or shows the countdown): still the one Kelvo.
        self.driver("set_title", first.hwnd, "Kelvo --- SHOT0001.BMP")
        self.driver("send", first.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        wait_until(lambda: self.driver.state(first.hwnd)["iconic"], 10, what="minimised")
        second = Kelvo(self.driver)
        self.instances.append(second)
        self.assertEqual(second.exit_code(timeout=15), 0)
        wait_until(lambda: not self.driver.state(first.hwnd)["iconic"], 10, what="restored")
        self.assertEqual(self.driver("windows", "KelvoClass")["hwnds"], [first.hwnd])
        self.assertEqual(self.driver.title(first.hwnd), "Kelvo --- SHOT0001.BMP")
        self.assertEqual(first.stop(), 0)


class HookLibrary(KelvoTestCase):
    def test_missing_hook_library_shows_the_error_and_writes_no_settings(self):
        # Settings from an earlier run that must survive this start.
        self.driver("reg_del_key")
        self.driver("reg_set", "SCALE", 3, "4b000000")
        lonely = tempfile.mkdtemp(prefix="nohook-", dir=ARTIFACTS)
        try:
            shutil.copy(os.path.join(BIN, "kelvo.exe"), lonely)
            k = self.start(exe_dir=lonely, cwd=lonely, wait=False)
            box = self.driver.wait_window("#32770", "-", timeout=15)
            def texts():
                children = self.driver("children", box)["children"]
                return [c["text"] for c in children if c["class"] == "Static" and c["text"]]
            self.assertEqual(wait_until(texts, 10, what="the message text"),
                             ["ライブラリがロードできません"])
            children = self.driver("children", box)["children"]
            # The default caption (none given) and an OK button only.
            self.assertEqual(self.driver.title(box), "エラー")
            buttons = [c["id"] for c in children if c["class"] == "Button" and c["visible"]]
            self.assertEqual(buttons, [IDOK])
            # The main window is already shown behind the box.
            main = self.driver.find("KelvoClass", "Kelvo")
            self.assertTrue(main and self.driver.state(main)["visible"])
            screenshot("startup-hook-missing")
            self.driver("click", box, IDOK)
            self.assertEqual(k.exit_code(timeout=15), 0)
            values = {v["name"]: v["data"] for v in self.driver.reg_values()["values"]}
            self.assertEqual(values, {"SCALE": "4b000000"})
        finally:
            shutil.rmtree(lonely, ignore_errors=True)

    def test_orderly_exit_writes_the_settings_and_returns_zero(self):
        self.driver("reg_del_key")
        k = self.start()
        self.assertFalse(self.driver.reg_values()["key"] and self.driver.reg_values()["values"])
        self.assertEqual(k.stop(), 0)
        names = sorted(v["name"] for v in self.driver.reg_values()["values"])
        self.assertEqual(names, sorted(["PREVIEW", "SCALE", "SHOWPRINT", "READPRT", "OPEN",
                                        "ICONIC", "SHIFT", "CTRL", "KEY", "OUTPUT", "SERIAL",
                                        "FORMAT", "COMPRESS", "QUALITY", "FOLDER", "PREFIX",
                                        "CURSOR", "STILLSELECT"]))
