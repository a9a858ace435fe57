"""Printing through the real PDF printer: where the picture lands at each
scale, the 0 scale, the RLE8 page, the printing notice, the Print dialog,
an empty clipboard, and the scale dialog."""
import threading
import time

from harness import (Driver, KelvoTestCase, click_arrow, screenshot, screen_image, unmanaged,
                     wait_until, winpath)
import printing as P

SCALE_DIALOG_TITLE = "倍率の設定"
SCALE_FIELD = 1000
SCALE_SPIN = 1023
SERIAL_DIALOG_TITLE = "ﾌｧｲﾙ連続生成"
SERIAL_RLE8 = 1032


class PrintTestCase(KelvoTestCase):
    @classmethod
    def setUpClass(cls):
        P.ensure_printers()
        super().setUpClass()

    def setUp(self):
        P.hold_printers(self)
        super().setUp()

    def print_with_dialog(self, k, shot=None):
        """The interactive Print command: the Print dialog, then OK.
        Returns the dialog's printer name."""
        self.driver.post_command(k.hwnd, P.PRINT, 0)
        dialog = self.driver.wait_window("#32770", "印刷", 20)
        printer = self.driver("control", dialog, P.PRINT_DIALOG_PRINTER)["text"]
        if shot:
            screenshot(shot)
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 15000)
        return printer

    def set_scale(self, k, text):
        """Types text into the scale dialog and confirms; returns what the
        field showed when it opened."""
        self.driver.post_command(k.hwnd, P.SCALE)
        dialog = self.driver.wait_window("#32770", SCALE_DIALOG_TITLE, 15)
        shown = self.driver("control", dialog, SCALE_FIELD)["text"]
        self.driver("set_text", dialog, SCALE_FIELD, text)
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 15000)
        return shown

    def scale_shown(self, k):
        """Opens the scale dialog, reads the field, cancels."""
        self.driver.post_command(k.hwnd, P.SCALE)
        dialog = self.driver.wait_window("#32770", SCALE_DIALOG_TITLE, 15)
        shown = self.driver("control", dialog, SCALE_FIELD)["text"]
        self.driver("click", dialog, 2)
        self.driver("wait_gone", dialog, 15000)
        return shown

    def print_grid(self, k, shot=None, ghostscript=False):
        """Prints the grid picture through the Print dialog; returns the
        rendered page."""
        P.put_grid_on_clipboard(self.driver)
        before = P.pdfs(P.PDF_DIR)
        self.print_with_dialog(k, shot)
        path = P.wait_pdf(P.PDF_DIR, before,
                          accept=lambda p: P.grid_page(p, ghostscript=ghostscript))
        return P.render(path, ghostscript=ghostscript)

    def assert_grid_at(self, page, scale):
        bad, checked = P.grid_mismatches(page, scale)
        self.assertGreater(checked, 200)
        self.assertEqual(bad[:5], [], f"{len(bad)} of {checked} points differ at scale {scale}")


class Placement(PrintTestCase):
    def test_scale_places_the_picture_on_the_page(self):
        k = self.start()
        for scale in (100, 50, 150):
            with self.subTest(scale=scale):
                self.set_scale(k, str(scale))
                page = self.print_grid(k, shot="print-dialog" if scale == 100 else None)
                self.assert_grid_at(page, scale)
                w, h = page.size
                if scale == 100:
                    # The whole printable area, stretched to its proportions.
                    for corner in [(1, 1), (w - 2, 1), (1, h - 2), (w - 2, h - 2)]:
                        self.assertNotEqual(page.getpixel(corner), P.WHITE, corner)
                if scale == 50:
                    # Centred at half width and half height: paper around it.
                    self.assertEqual(page.getpixel((w // 4 - 3, h // 2)), P.WHITE)
                    self.assertEqual(page.getpixel((3 * w // 4 + 3, h // 2)), P.WHITE)
                    self.assertEqual(page.getpixel((w // 2, h // 4 - 3)), P.WHITE)
                    self.assertEqual(page.getpixel((w // 2, 3 * h // 4 + 3)), P.WHITE)
                    self.assertTrue(P.close(page.getpixel((w // 4 + 3, h // 4 + 3)),
                                            P.GRID_COLOURS[0][0]))
                if scale == 150:
                    # The centre of the picture, cut: the outer sixth of every
                    # side is off the page, so the corners show cells (0,0)
                    # and (3,2) from well inside them.
                    self.assertTrue(P.close(page.getpixel((1, 1)), P.GRID_COLOURS[0][0]))
                    self.assertTrue(P.close(page.getpixel((w - 2, h - 2)), P.GRID_COLOURS[2][3]))

    def test_zero_prints_as_hundred_and_becomes_hundred(self):
        self.driver("reg_set", "SCALE", 3, P.scale_bytes(0))
        k = self.start()
        self.assertEqual(self.scale_shown(k), "0")
        self.assert_grid_at(self.print_grid(k), 100)
        self.assertEqual(self.scale_shown(k), "100")
        k.stop()
        self.assertEqual(self.driver.reg_get("SCALE")["data"], P.scale_bytes(100))

    def test_huge_scale_is_limited_and_shows_the_centre(self):
        k = self.start()
        self.set_scale(k, "4294967295")
        page = self.print_grid(k, ghostscript=True)
        # Printing is held at 100000 %; the page shows the two cells that
        # meet at the picture's centre.
        self.assert_grid_at(page, 100000)
        w, h = page.size
        self.assertTrue(P.close(page.getpixel((w // 4, h // 2)), P.GRID_COLOURS[1][1]))
        self.assertTrue(P.close(page.getpixel((3 * w // 4, h // 2)), P.GRID_COLOURS[1][2]))
        self.assertEqual(self.scale_shown(k), "4294967295")

    def test_rle8_page_still_shows_the_picture(self):
        k = self.start()
        self.driver.post_command(k.hwnd, P.OUTPUT_FILE)
        dialog = self.driver.wait_window("#32770", SERIAL_DIALOG_TITLE, 15)
        self.driver("press", dialog, SERIAL_RLE8)
        self.assertEqual(self.driver("control", dialog, SERIAL_RLE8)["check"], 1)
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 15000)
        self.assert_grid_at(self.print_grid(k), 100)


class Notice(PrintTestCase):
    def test_notice_is_shown_centred_before_the_page(self):
        k = self.start()
        self.driver.send_command(k.hwnd, P.SHOW_PRINT)
        P.put_grid_on_clipboard(self.driver)
        before = P.pdfs(P.PDF_DIR)
        self.print_with_dialog(k)
        # The notice's thread is busy while it shows, so it is found by
        # class alone (its title cannot be asked).
        notice = self.driver.wait_window("PrintWindow", "-", 20)
        seen = time.monotonic()
        # Found as soon as it exists; it is placed while being created and
        # shown afterwards, so the place is read once it is shown.
        wait_until(lambda: self.driver.state(notice)["visible"], 5, what="the notice shown")
        screen = self.driver("screen")
        left, top, right, bottom = self.driver("rect", notice)["rect"]
        self.assertEqual((right - left, bottom - top), (200, 50))
        self.assertEqual(left, (screen["width"] - 200) // 2)
        self.assertEqual(top, (screen["height"] - 50) // 2)
        # Icon at (10, 8): the program icon's blue lens; text right of it.
        # Before the paint the place shows whatever was under it, so the
        # screen is read until both are there (or the time runs out).
        wait_until(lambda: self._painted(left, top, right, bottom), 5,
                   what="the notice painted with its icon and text")
        screenshot("print-notice")
        self.assertEqual(P.new_pages(P.PDF_DIR, before, P.grid_page), [],
                         "page sent while the notice shows")
        self.driver("wait_gone", notice, 15000)
        self.assertGreater(time.monotonic() - seen, 0.8, "notice gone before about a second")
        self.assert_grid_at(P.render(P.wait_pdf(P.PDF_DIR, before, accept=P.grid_page)), 100)

    def _painted(self, left, top, right, bottom):
        image = screen_image()
        icon = [image.getpixel((left + 10 + x, top + 8 + y)) for x in range(32) for y in range(32)]
        if not any(p[2] > 100 and p[0] < 80 for p in icon):
            return False
        # The text is dark on the light background of the window.
        text = [image.getpixel((x, y)) for x in range(left + 60, right - 10)
                for y in range(top + 15, bottom - 15)]
        dark = sum(1 for p in text if sum(p) < 200)
        light = sum(1 for p in text if sum(p) > 600)
        return dark > 20 and light > len(text) // 2


class Dialog(PrintTestCase):
    def test_cancelled_print_dialog_prints_nothing(self):
        k = self.start()
        P.put_grid_on_clipboard(self.driver)
        before = P.pdfs(P.PDF_DIR)
        self.driver.post_command(k.hwnd, P.PRINT, 0)
        dialog = self.driver.wait_window("#32770", "印刷", 20)
        self.driver("click", dialog, 2)
        self.driver("wait_gone", dialog, 15000)
        P.assert_no_pdf(self, P.PDF_DIR, before, accept=P.grid_page)

    def test_clipboard_held_elsewhere_aborts_the_document(self):
        k = self.start()
        P.put_grid_on_clipboard(self.driver)
        before = P.pdfs(P.PDF_DIR)
        self.driver.post_command(k.hwnd, P.PRINT, 0)
        dialog = self.driver.wait_window("#32770", "印刷", 20)
        self.driver("click", dialog, 1)
        # Another program keeps the clipboard longer than the job waits for
        # it: the started document is cancelled, and no page comes out.
        self.driver("clip_hold", 8000)
        P.assert_no_pdf(self, P.PDF_DIR, before,
                        accept=lambda p: P.blank_page(p) or P.grid_page(p))
        # The next job prints normally.
        self.print_with_dialog(k)
        P.wait_pdf(P.PDF_DIR, before, accept=P.grid_page)

    def test_empty_clipboard_prints_the_desktop(self):
        k = self.start()
        mark = P.place_mark(self.driver)
        try:
            self.driver("clip_empty")
            before = P.pdfs(P.PDF_DIR)
            self.print_with_dialog(k)
            # The worker captured the whole screen, the run's patch on it,
            # and printed it over the whole page.
            page = P.render(P.wait_pdf(P.PDF_DIR, before, accept=P.desktop_page))
        finally:
            self.driver("destroy", mark, check=False)
        info = self.driver.clip_bitmap()
        self.assertEqual((info["width"], info["height"]), (1024, 768))
        x, y, w, h = P.MARK_RECT
        outside = (int((x - 40) / 1024 * page.width), int((y + h / 2) / 768 * page.height))
        self.assertFalse(P.close(page.getpixel(outside), P.MARK_RGB, 12))

    def test_copies_asked_for_in_the_print_dialog_are_printed(self):
        COPIES = 1154
        k = self.start()
        P.put_grid_on_clipboard(self.driver)
        before = P.pdfs(P.PDF_DIR)
        self.driver.post_command(k.hwnd, P.PRINT, 0)
        dialog = self.driver.wait_window("#32770", "印刷", 20)
        self.driver("set_text", dialog, COPIES, "2")
        self.driver("click", dialog, 1)
        path = P.wait_pdf(P.PDF_DIR, before, accept=P.grid_page)
        self.assertEqual(P.page_count(path), 2)

    def test_a_page_started_just_before_the_exit_comes_out_whole(self):
        # Without a window manager to wait for, the main window goes at
        # once, and a large picture keeps the job busy for seconds after.
        unmanaged(self)
        k = self.start()
        self.driver("clip_load", winpath(P.grid_bmp(3000, 2250)))
        before = P.pdfs(P.PDF_DIR)
        self.print_with_dialog(k)
        self.driver.post_command(k.hwnd, 40005)
        self.assertEqual(k.exit_code(timeout=30), 0)
        P.wait_pdf(P.PDF_DIR, before, accept=P.grid_page)

    def test_a_page_the_job_grabs_itself_comes_out_whole_when_the_session_ends(self):
        WM_QUERYENDSESSION, WM_ENDSESSION = 0x0011, 0x0016
        k = self.start()
        mark = P.place_mark(self.driver)
        self.addCleanup(self.driver, "destroy", mark, check=False)
        self.driver("clip_empty")
        before = P.pdfs(P.PDF_DIR)
        self.driver.post_command(k.hwnd, P.PRINT, 0)
        dialog = self.driver.wait_window("#32770", "印刷", 20)
        # Another program has the clipboard for a moment, so the job's own
        # grab of the screen (the clipboard is empty) falls inside the
        # handling of the end of the session.
        other = Driver()
        self.addCleanup(other.close)
        holding = threading.Thread(target=other, args=("clip_hold", 1200))
        holding.start()
        self.addCleanup(holding.join)
        wait_until(lambda: self.driver("clip_opener")["hwnd"] != 0, 10,
                   what="the clipboard held by the other program")
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 15000)
        self.assertNotEqual(self.driver("send", k.hwnd, WM_QUERYENDSESSION, 0, 0)["result"], 0)
        # Windows 10 and 11 end a program that takes about five seconds over
        # this message; the page must be out before Kelvo answers.
        reply = self.driver("send", k.hwnd, WM_ENDSESSION, 1, 0, 4000, check=False)
        self.assertTrue(reply["ok"], "WM_ENDSESSION not answered within 4 s")
        # Then Windows ends the program without its message loop ending.
        k.kill()
        # A complete document whose page shows the desktop grabbed by the
        # job, the run's patch where it was on the screen.
        path = P.wait_pdf(P.PDF_DIR, before, accept=P.desktop_page)
        self.assertEqual(P.page_count(path), 1)


class ScaleDialog(PrintTestCase):
    def test_letters_store_zero_and_cancel_keeps_the_value(self):
        k = self.start()
        self.driver.post_command(k.hwnd, P.SCALE)
        dialog = self.driver.wait_window("#32770", SCALE_DIALOG_TITLE, 15)
        self.assertEqual(self.driver("control", dialog, SCALE_FIELD)["text"], "100")
        self.driver("set_text", dialog, SCALE_FIELD, "75")
        screenshot("scale-dialog")
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 15000)
        self.assertEqual(self.scale_shown(k), "75")

        # Cancel after editing changes nothing.
        self.driver.post_command(k.hwnd, P.SCALE)
        dialog = self.driver.wait_window("#32770", SCALE_DIALOG_TITLE, 15)
        self.driver("set_text", dialog, SCALE_FIELD, "20")
        self.driver("click", dialog, 2)
        self.driver("wait_gone", dialog, 15000)
        self.assertEqual(self.scale_shown(k), "75")

        self.set_scale(k, "abc")
        self.assertEqual(self.scale_shown(k), "0")
        k.stop()
        self.assertEqual(self.driver.reg_get("SCALE")["data"], P.scale_bytes(0))

    def test_arrows_step_by_one_past_a_thousand_up_to_the_largest_scale(self):
        k = self.start()
        self.driver.post_command(k.hwnd, P.SCALE)
        dialog = self.driver.wait_window("#32770", SCALE_DIALOG_TITLE, 15)
        for typed, up, shown in [("1500", True, "1501"), (None, False, "1500"),
                                 (None, False, "1499"), ("100000", True, "100000")]:
            if typed:
                self.driver("set_text", dialog, SCALE_FIELD, typed)
            click_arrow(self.driver, dialog, SCALE_SPIN, up)
            wait_until(lambda: self.driver("control", dialog, SCALE_FIELD)["text"] == shown, 10,
                       what=f"{shown} in the field")
        self.driver("click", dialog, 2)
        self.driver("wait_gone", dialog, 15000)
