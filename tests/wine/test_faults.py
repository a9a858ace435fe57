"""Faults from outside: output folders that are read-only or full, a
clipboard another program holds open, registry values of the wrong type
or length."""
import errno
import os
import shutil
import subprocess
import tempfile

from harness import KelvoTestCase, hold_clipboard, wait_until, winpath, ARTIFACTS

REG_NONE, REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD = 0, 1, 3, 4, 7, 11
SETTINGS = {  # name: (type, default bytes)
    "PREVIEW": (REG_BINARY, "00000000"), "SCALE": (REG_BINARY, "64000000"),
    "SHOWPRINT": (REG_BINARY, "00000000"), "READPRT": (REG_BINARY, "00000000"),
    "OPEN": (REG_DWORD, "01000000"), "ICONIC": (REG_BINARY, "00000000"),
    "SHIFT": (REG_DWORD, "01000000"), "CTRL": (REG_DWORD, "01000000"),
    "KEY": (REG_DWORD, "7800"), "STILLSELECT": (REG_DWORD, "01000000"),
    # The output choices beside them (any type but REG_DWORD reads as 0).
    "OUTPUT": (REG_DWORD, "00000000"), "SERIAL": (REG_DWORD, "00000000"),
    "FORMAT": (REG_DWORD, "00000000"), "COMPRESS": (REG_DWORD, "00000000"),
    "CURSOR": (REG_DWORD, "00000000"),
    "QUALITY": (REG_DWORD, "5a000000"),
}
# Written as empty texts after any of the wrong values above (the driver
# reads texts in the ANSI code page).
TEXTS = {"FOLDER": (REG_SZ, "00"), "PREFIX": (REG_SZ, "00")}


def mount_tmpfs(path, size, readonly=False):
    os.makedirs(path, exist_ok=True)
    options = f"size={size}" + (",ro" if readonly else "")
    subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", path], check=True)


def unmount(path):
    subprocess.run(["umount", path], check=False)
    shutil.rmtree(path, ignore_errors=True)


class FaultTestCase(KelvoTestCase):
    def setUp(self):
        super().setUp()
        self.dir = tempfile.mkdtemp(prefix="faults-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def serial_output(self, k, folder, file_format=1017):
        """Serial output into folder, as BMP (1017) or PNG (1018)."""
        self.driver.post_command(k.hwnd, 40009)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        self.driver("press", dialog, 1010)
        self.driver("press", dialog, file_format)
        self.driver("set_text", dialog, 1003, winpath(folder))
        self.driver("set_text", dialog, 1002, "cap")
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 10000)

    def expect_error(self, name):
        """The serial-output error box for file name; closes it."""
        box = self.driver.wait_window("#32770", "Kelvoｴﾗｰ", timeout=20)
        texts = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                    if c["class"] == "Static" and c["text"]], 10, what="text")
        self.assertEqual(texts, [f"ファイルが作成出来ませんでした( {winpath(name)} )"])
        self.driver("click", box, 1)
        self.driver("wait_gone", box, 10000)


class OutputFolders(FaultTestCase):
    def test_read_only_folder(self):
        folder = os.path.join(self.dir, "readonly")
        mount_tmpfs(folder, "4m", readonly=True)
        self.addCleanup(unmount, folder)
        k = self.start()
        self.serial_output(k, folder)
        self.driver.post_command(k.hwnd, 40001, 1)
        self.expect_error(os.path.join(folder, "cap0001.BMP"))
        self.assertEqual(os.listdir(folder), [])
        # The program goes on, and the failed number stays used.
        self.serial_output(k, self.dir)
        self.driver.send_command(k.hwnd, 40001, 1)
        self.assertIn("cap0002.BMP", os.listdir(self.dir))
        # A PNG file fails the same way.
        self.serial_output(k, folder, file_format=1018)
        self.driver.post_command(k.hwnd, 40001, 1)
        self.expect_error(os.path.join(folder, "cap0003.PNG"))
        self.assertEqual(os.listdir(folder), [])

    def test_full_folder_leaves_no_cut_file_behind(self):
        folder = os.path.join(self.dir, "full")
        # Room for the headers and part of the pixels of a 1024 x 768 capture.
        mount_tmpfs(folder, "1m")
        self.addCleanup(unmount, folder)
        k = self.start()
        self.serial_output(k, folder)
        self.driver.post_command(k.hwnd, 40001, 1)
        self.expect_error(os.path.join(folder, "cap0001.BMP"))
        self.assertEqual(os.listdir(folder), [], "a cut file would claim to be a whole picture")
        # With room again the next number is written whole.
        self.serial_output(k, self.dir)
        self.driver.send_command(k.hwnd, 40001, 1)
        path = os.path.join(self.dir, "cap0002.BMP")
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(int.from_bytes(data[2:6], "little"), len(data))


    def test_save_to_a_full_folder_shows_the_message_and_leaves_no_file(self):
        from PIL import Image
        folder = os.path.join(self.dir, "full")
        mount_tmpfs(folder, "16k")
        self.addCleanup(unmount, folder)
        # Noise: neither its BMP nor its PNG fits in 16 KB.
        picture = os.path.join(self.dir, "noise.bmp")
        Image.frombytes("RGB", (200, 100), os.urandom(200 * 100 * 3)).save(picture)
        self.driver("clip_load", winpath(picture))
        k = self.start()
        for name in ("shot.bmp", "shot.png"):
            self.driver.post_command(k.hwnd, 40008)
            dialog = self.driver.wait_window("#32770", "名前を付けて保存")
            self.driver("set_text", dialog, 1148, winpath(os.path.join(folder, name)))
            self.driver("click", dialog, 1)
            self.expect_error(os.path.join(folder, name))
            self.assertEqual(os.listdir(folder), [], "a cut file would claim to be a whole picture")
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")

    def test_a_failed_save_over_a_file_leaves_the_old_file_whole(self):
        from PIL import Image
        folder = os.path.join(self.dir, "full")
        mount_tmpfs(folder, "64k")
        self.addCleanup(unmount, folder)
        # The old files are small, the new picture (noise) is not: emptying
        # an old file would not make room enough for it.
        olds = {}
        for name in ("old.bmp", "old.png"):
            Image.new("RGB", (8, 8), (0x12, 0x34, 0x56)).save(os.path.join(folder, name))
            with open(os.path.join(folder, name), "rb") as f:
                olds[name] = f.read()
        # Then the disk is filled up to the last byte.
        fd = os.open(os.path.join(folder, "filler"), os.O_WRONLY | os.O_CREAT)
        try:
            for chunk in (65536, 4096, 512, 1):
                while True:
                    try:
                        os.write(fd, b"\0" * chunk)
                    except OSError as e:
                        self.assertEqual(e.errno, errno.ENOSPC)
                        break
        finally:
            os.close(fd)
        picture = os.path.join(self.dir, "noise.bmp")
        Image.frombytes("RGB", (200, 100), os.urandom(200 * 100 * 3)).save(picture)
        self.driver("clip_load", winpath(picture))
        k = self.start()
        for name in olds:
            self.driver.post_command(k.hwnd, 40008)
            dialog = self.driver.wait_window("#32770", "名前を付けて保存")
            self.driver("set_text", dialog, 1148, winpath(os.path.join(folder, name)))
            self.driver("click", dialog, 1)
            question = wait_until(lambda: [h for h in self.driver("windows", "#32770")["hwnds"]
                                           if h != dialog and self.driver.state(h)["visible"]],
                                  10, what="the replace question")[0]
            self.driver("click", question, 6)
            self.expect_error(os.path.join(folder, name))
            with open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(f.read(), olds[name], f"{name} changed")
            self.assertEqual(sorted(os.listdir(folder)), ["filler", "old.bmp", "old.png"],
                             "a file was left behind")
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")

class HeldClipboard(FaultTestCase):
    def hold_clipboard(self, ms):
        """Another program opens the clipboard and keeps it for ms."""
        return hold_clipboard(self.driver, ms)

    def test_paint_and_serial_output_while_another_program_holds_the_clipboard(self):
        k = self.start()
        self.serial_output(k, self.dir)
        self.driver.send_command(k.hwnd, 40014)
        other, thread = self.hold_clipboard(6000)
        try:
            # The paint finds no picture and draws only the background.
            self.driver("invalidate", k.hwnd)
            wait_until(lambda: not self.driver.toolbar(k.hwnd)[40008]["enabled"], 10,
                       what="the paint without a picture")
            # The capture cannot reach the clipboard, so neither can the save.
            self.driver.post_command(k.hwnd, 40001, 1)
            self.expect_error(os.path.join(self.dir, "cap0001.BMP"))
            self.assertEqual(os.listdir(self.dir), [])
        finally:
            thread.join()
            other.close()
        # Released: everything works again.
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: self.driver.toolbar(k.hwnd)[40008]["enabled"], 10, what="repaint")
        self.driver.send_command(k.hwnd, 40001, 1)
        self.assertEqual(os.listdir(self.dir), ["cap0002.BMP"])


class RegistryValues(KelvoTestCase):
    """Every value stored with a wrong type or length: the program starts
    with the defaults and writes them back in their proper form."""

    def values(self):
        return {v["name"]: (v["type"], v["data"]) for v in self.driver.reg_values()["values"]}

    def test_wrong_types_and_lengths_give_defaults(self):
        cases = [(REG_SZ, "3100"), (REG_MULTI_SZ, "310000"), (REG_NONE, "-"), (REG_QWORD, "01" * 8),
                 (REG_BINARY, "01" * 5), (REG_DWORD, "01" * 5), (REG_BINARY, "01" * 300)]
        for kind, data in cases:
            with self.subTest(type=kind, length=0 if data == "-" else len(data) // 2):
                self.driver("reg_del_key")
                for name, (proper, _) in SETTINGS.items():
                    # The wrong type for each value, or the right type with
                    # too many bytes.
                    stored = kind if kind != proper or len(data) // 2 > 4 else REG_SZ
                    self.driver("reg_set", name, stored, data)
                for name in TEXTS:
                    self.driver("reg_set", name, kind if kind != REG_SZ else REG_DWORD, data)
                k = self.start()
                states = self.driver.toolbar(k.hwnd)
                for command in (40002, 40022, 40007):
                    self.assertFalse(states[command]["checked"], command)
                self.assertFalse(self.driver.state(k.hwnd)["iconic"])
                self.assertEqual(k.stop(), 0)
                self.assertEqual(self.values(), {**SETTINGS, **TEXTS})


class NoPrinter(FaultTestCase):
    """No printer at all (the printing system unreachable): the
    capture-and-output command prints nothing and shows nothing."""

    def test_capture_and_output_to_no_printer_does_nothing_visible(self):
        import harness
        import printing
        printing.hold_printers(self)
        environ = dict(harness.wine_environ())
        environ["CUPS_SERVER"] = os.path.join(self.dir, "no-cups.sock")
        k = self.start_with(environ)
        before = printing.pdfs(printing.PDF_DIR)
        self.driver("clip_empty")
        self.driver.send_command(k.hwnd, 40001, 1)
        # The desktop was captured; no dialog or message came up.
        self.assertTrue(self.driver.clip_bitmap())
        printing.assert_no_pdf(self, printing.PDF_DIR, before)
        self.assertEqual([h for h in self.driver("windows", "#32770")["hwnds"]
                          if self.driver.state(h)["visible"]], [])
        state = self.driver.state(k.hwnd)
        self.assertTrue(state["visible"] and not state["iconic"])
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")

    def start_with(self, environ):
        from harness import Kelvo
        k = Kelvo(self.driver, environ=environ)
        self.instances.append(k)
        k.wait_main()
        return k
