"""Printer settings: Print Setup on a real printer, PRTINFO.CFG written
and read back, the settings used by the capture-and-output command,
missing, truncated and hostile files, cancelled set-ups, and the Print
dialog that ignores held settings."""
import os
import shutil
import struct
import tempfile

from harness import KelvoTestCase, settled_screenshot
import printing as P

SETUP_TITLE = "印刷設定"
DEVMODE_ORIENTATION = 44  # dmOrientation in the device mode
LANDSCAPE = 2


class SettingsTestCase(KelvoTestCase):
    @classmethod
    def setUpClass(cls):
        P.ensure_printers()
        super().setUpClass()

    def setUp(self):
        P.hold_printers(self)
        super().setUp()
        self.folder = tempfile.mkdtemp(prefix="kelvo-prtinfo-")
        self.cfg = os.path.join(self.folder, "PRTINFO.CFG")
        self.mark = None

    def tearDown(self):
        if self.mark:
            self.driver("destroy", self.mark, check=False)
        super().tearDown()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start_here(self):
        return self.start(cwd=self.folder)

    def setup_printer(self, k, printer=None, landscape=False, confirm=True, shot=None):
        self.driver.post_command(k.hwnd, P.PRINTER_SETUP)
        dialog = self.driver.wait_window("#32770", SETUP_TITLE, 20)
        if printer:
            self.driver("combo_select", dialog, P.SETUP_PRINTER, printer)
            self.assertEqual(self.driver("control", dialog, P.SETUP_PRINTER)["text"], printer)
        if landscape:
            self.driver("press", dialog, P.SETUP_LANDSCAPE)
        if shot:
            settled_screenshot(shot)
        self.driver("click", dialog, 1 if confirm else 2)
        self.driver("wait_gone", dialog, 15000)

    def capture_and_print(self, k, directory):
        """The capture-and-output command on the printer; returns this
        test's printed desktop (with the run's patch) in directory."""
        if not self.mark:
            self.mark = P.place_mark(self.driver)
        before = P.pdfs(directory)
        self.driver.post_command(k.hwnd, P.PRINT, P.CAPTURE_AND_OUTPUT)
        return P.wait_pdf(directory, before, accept=P.desktop_page)

    def assert_landscape_on_pdf2(self, k):
        default_before = P.pdfs(P.PDF_DIR)
        path = self.capture_and_print(k, P.PDF2_DIR)
        info = P.page_info(path)
        width, height = info["size"]
        if info["rotation"] in (90, 270):
            width, height = height, width
        self.assertGreater(width, height, "the page is not landscape")
        self.assertEqual(P.new_pages(P.PDF_DIR, default_before, P.desktop_page), [])

    def read_cfg(self):
        with open(self.cfg, "rb") as f:
            return f.read()


class RoundTrip(SettingsTestCase):
    def test_setup_save_discard_load_and_load_at_start(self):
        k = self.start_here()
        self.assertFalse(P.settings_held(self.driver, k.hwnd))
        self.setup_printer(k, printer="PDF2", landscape=True, shot="print-setup-dialog")
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        self.driver.send_command(k.hwnd, P.SAVE_PRINTER)

        data = self.read_cfg()
        (count,) = struct.unpack_from("<H", data, 0)
        self.assertEqual(len(data), 158 + count)
        mode = data[2:158]
        self.assertEqual(mode[:32].split(b"\0")[0], b"PDF2")
        self.assertEqual(struct.unpack_from("<h", mode, DEVMODE_ORIENTATION)[0], LANDSCAPE)
        names = data[158:]
        driver_at, device_at, output_at = struct.unpack_from("<HHH", names, 0)
        output = names[output_at:]
        # N ends right after the output name, whose NUL is not stored.
        self.assertEqual(count, output_at + len(output))
        self.assertNotIn(b"\0", output)
        self.assertEqual(names[device_at:].split(b"\0")[0], b"PDF2")
        self.assertIn(b"PDF2", output)

        self.driver.send_command(k.hwnd, P.DISCARD_PRINTER)
        self.assertFalse(P.settings_held(self.driver, k.hwnd))
        self.driver.send_command(k.hwnd, P.LOAD_PRINTER)
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        self.assertEqual(self.read_cfg(), data, "loading changed the file")
        # The loaded settings reach the printer: PDF2, landscape.
        self.assert_landscape_on_pdf2(k)

        # Saved again from the loaded settings: the same record, except that
        # the device mode no longer claims driver-private bytes (the file
        # never held them).
        self.assertGreater(struct.unpack_from("<H", data, 2 + 38)[0], 0)
        os.remove(self.cfg)
        self.driver.send_command(k.hwnd, P.SAVE_PRINTER)
        expected = bytearray(data)
        struct.pack_into("<H", expected, 2 + 38, 0)
        self.assertEqual(self.read_cfg(), bytes(expected))

        k.stop()
        self.driver("reg_set", "READPRT", 3, "01000000")
        k = self.start_here()
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        self.assertTrue(P.menu_item(self.driver, k.hwnd, 40026)["checked"])
        self.assert_landscape_on_pdf2(k)

    def test_interactive_print_ignores_held_settings(self):
        k = self.start_here()
        self.setup_printer(k, printer="PDF2")
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        P.put_grid_on_clipboard(self.driver)
        before, before2 = P.pdfs(P.PDF_DIR), P.pdfs(P.PDF2_DIR)
        self.driver.post_command(k.hwnd, P.PRINT, 0)
        dialog = self.driver.wait_window("#32770", "印刷", 20)
        self.assertEqual(self.driver("control", dialog, P.PRINT_DIALOG_PRINTER)["text"], "PDF")
        self.driver("click", dialog, 1)
        P.wait_pdf(P.PDF_DIR, before, accept=P.grid_page)
        self.assertEqual(P.new_pages(P.PDF2_DIR, before2, P.grid_page), [])
        # The settings are still held, and still used by the automatic road.
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        self.capture_and_print(k, P.PDF2_DIR)


class FailedLoads(SettingsTestCase):
    def test_missing_file_discards_held_settings(self):
        k = self.start_here()
        self.setup_printer(k, printer="PDF2")
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        self.driver.send_command(k.hwnd, P.LOAD_PRINTER)
        self.assertFalse(P.settings_held(self.driver, k.hwnd))
        self.assertFalse(os.path.exists(self.cfg))
        # Without settings the command prints on the default printer.
        self.capture_and_print(k, P.PDF_DIR)

    def good_record(self):
        k = self.start_here()
        self.setup_printer(k, printer="PDF2")
        self.driver.send_command(k.hwnd, P.SAVE_PRINTER)
        data = self.read_cfg()
        return k, data

    def test_truncated_and_hostile_files_are_refused(self):
        k, good = self.good_record()
        count = struct.unpack_from("<H", good, 0)[0]

        def with_word(offset, value):
            b = bytearray(good)
            struct.pack_into("<H", b, offset, value)
            return bytes(b)

        # A few of each kind; the unit tests of the record go through all.
        cases = {
            "empty": b"",
            "names cut": good[:-1],
            "count far past the data": with_word(0, 0xFFFF),
            "device name offset past the data": with_word(160, count + 1),
            "output name offset into the header": with_word(162, 3),
            "device mode claiming 64 KiB": with_word(2 + 36, 0xFFFF),
        }
        for what, data in cases.items():
            with self.subTest(what):
                # Something held first: a refused file leaves nothing.
                with open(self.cfg, "wb") as f:
                    f.write(good)
                self.driver.send_command(k.hwnd, P.LOAD_PRINTER)
                self.assertTrue(P.settings_held(self.driver, k.hwnd))
                with open(self.cfg, "wb") as f:
                    f.write(data)
                self.driver.send_command(k.hwnd, P.LOAD_PRINTER)
                self.assertFalse(P.settings_held(self.driver, k.hwnd))
                with open(self.cfg, "rb") as f:
                    self.assertEqual(f.read(), data, "loading changed the file")
        # Still alive, and printing on the default printer.
        self.capture_and_print(k, P.PDF_DIR)

        # A hostile file at start-up: the program starts without settings
        # and without a message.
        k.stop()
        with open(self.cfg, "wb") as f:
            f.write(cases["count far past the data"])
        self.driver("reg_set", "READPRT", 3, "01000000")
        k = self.start_here()
        self.assertFalse(P.settings_held(self.driver, k.hwnd))
        self.assertEqual(self.driver.find("#32770", "-"), 0)

    def test_hostile_driver_extra_count_is_neutralised(self):
        k, good = self.good_record()
        b = bytearray(good)
        struct.pack_into("<H", b, 2 + 38, 0xFFFF)  # dmDriverExtra
        with open(self.cfg, "wb") as f:
            f.write(bytes(b))
        self.driver.send_command(k.hwnd, P.LOAD_PRINTER)
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        # The printer driver gets a consistent device mode and prints.
        self.capture_and_print(k, P.PDF2_DIR)


class Setup(SettingsTestCase):
    def test_cancelled_setup_keeps_what_was_there(self):
        k = self.start_here()
        self.setup_printer(k, printer="PDF2", confirm=False)
        self.assertFalse(P.settings_held(self.driver, k.hwnd))
        # Saving with nothing held writes nothing.
        self.driver.send_command(k.hwnd, P.SAVE_PRINTER)
        self.assertFalse(os.path.exists(self.cfg))

        self.setup_printer(k, printer="PDF2", landscape=True)
        self.driver.send_command(k.hwnd, P.SAVE_PRINTER)
        first = self.read_cfg()
        self.setup_printer(k, printer="PDF", confirm=False)
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        os.remove(self.cfg)
        self.driver.send_command(k.hwnd, P.SAVE_PRINTER)
        self.assertEqual(self.read_cfg(), first)
        self.assert_landscape_on_pdf2(k)

        # Set up again over held settings, confirmed: the new choice holds.
        self.setup_printer(k, printer="PDF")
        self.assertTrue(P.settings_held(self.driver, k.hwnd))
        before2 = P.pdfs(P.PDF2_DIR)
        self.capture_and_print(k, P.PDF_DIR)
        self.assertEqual(P.new_pages(P.PDF2_DIR, before2, P.desktop_page), [])
