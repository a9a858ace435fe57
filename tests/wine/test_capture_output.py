"""The capture-and-output command (command 40001 with lParam 1): printer
and file targets, the preview question, the save dialog, and the snapshot
timer that makes the command output the picture it already has."""
import os
import shutil
import tempfile

from PIL import Image

from harness import (ARTIFACTS, KelvoTestCase, assert_pause, capture_pause, hold_clipboard,
                     screen_image, settled_screenshot, unmanaged, wait_until, winpath)
import printing as P

WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020
PREVIEW = 40002
SNAPSHOT = 40053
IDYES, IDNO = 6, 7

PREVIEW_CAPTION = "Kelvo Preview"
PREVIEW_TEXT = "ﾌﾟﾚﾋﾞｭｰ完了\n続行しますか"
SERIAL_TITLE = "ﾌｧｲﾙ連続生成"
SERIAL_ON, SERIAL_OFF, SERIAL_FOLDER, SERIAL_PREFIX = 1010, 1009, 1003, 1002
SERIAL_PNG = 1018
SAVE_TITLE = "名前を付けて保存"
SNAPSHOT_TITLE = "ｽﾅｯﾌﾟｼｮｯﾄの設定"
SNAPSHOT_ENABLE, SNAPSHOT_INTERVAL = 1028, 1029


class CaptureOutputTestCase(KelvoTestCase):
    @classmethod
    def setUpClass(cls):
        P.ensure_printers()
        super().setUpClass()

    def setUp(self):
        P.hold_printers(self)
        super().setUp()
        self.dir = tempfile.mkdtemp(prefix="capout-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.patch = None
        # Pages are checked at the whole printable area (restored afterwards).
        self.driver("reg_set", "SCALE", 3, P.scale_bytes(100))

    def tearDown(self):
        if self.patch:
            self.driver("destroy", self.patch, check=False)
        super().tearDown()

    def place_patch(self):
        """The run's coloured patch on the desktop, so that a printed
        desktop can be recognised as this test's."""
        self.patch = P.place_mark(self.driver)

    def wait_desktop_page(self, before):
        """Waits for this test's printed desktop; checks the patch landed
        where it was on the screen (and only there)."""
        page = P.render(P.wait_pdf(P.PDF_DIR, before, accept=P.desktop_page))
        x, y, w, h = P.MARK_RECT
        outside = (int((x - 40) / 1024 * page.width), int((y + h / 2) / 768 * page.height))
        self.assertFalse(P.close(page.getpixel(outside), P.MARK_RGB, 12))

    def command(self, k):
        self.driver.post_command(k.hwnd, P.PRINT, P.CAPTURE_AND_OUTPUT)

    def dialogs(self):
        return self.driver("windows", "#32770")["hwnds"]

    def serial_output(self, k, on, png=False):
        self.driver.post_command(k.hwnd, P.OUTPUT_FILE)
        dialog = self.driver.wait_window("#32770", SERIAL_TITLE, 15)
        self.driver("press", dialog, SERIAL_ON if on else SERIAL_OFF)
        if on:
            self.driver("set_text", dialog, SERIAL_FOLDER, winpath(self.dir))
            self.driver("set_text", dialog, SERIAL_PREFIX, "out")
        if png:
            self.driver("press", dialog, SERIAL_PNG)
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 15000)

    def preview_box(self):
        box = self.driver.wait_window("#32770", PREVIEW_CAPTION, 20)
        texts = [c["text"] for c in self.driver("children", box)["children"]]
        self.assertIn(PREVIEW_TEXT, texts)
        return box

    def answer(self, box, button):
        self.driver("click", box, button)
        self.driver("wait_gone", box, 15000)

    def small_picture_on_clipboard(self):
        """A 40 x 30 picture: after a capture the clipboard holds the
        1024 x 768 desktop instead."""
        self.driver("clip_put", 40, 30, 0x00FF00)


class PrinterTarget(CaptureOutputTestCase):
    def test_prints_the_desktop_without_a_dialog_and_shows_the_window(self):
        k = self.start()
        self.place_patch()
        self.driver("send", k.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="minimised")
        dialogs_before = self.dialogs()
        before = P.pdfs(P.PDF_DIR)
        self.command(k)
        self.wait_desktop_page(before)
        self.assertEqual(self.dialogs(), dialogs_before, "a dialog was shown")
        state = self.driver.state(k.hwnd)
        self.assertTrue(state["visible"])
        self.assertFalse(state["iconic"])

    def test_preview_no_captures_but_prints_nothing_and_minimises(self):
        self.driver("reg_set", "PREVIEW", 3, "01000000")
        k = self.start()
        self.place_patch()
        self.small_picture_on_clipboard()
        before = P.pdfs(P.PDF_DIR)
        self.command(k)
        box = self.preview_box()
        # The new picture (the desktop: black around the tray window) is
        # painted in the window behind the question.
        state = self.driver.state(k.hwnd)
        self.assertFalse(state["iconic"])
        cx, cy = state["client"][:2]
        wait_until(lambda: screen_image().getpixel((cx + 300, cy + 150)) == (0, 0, 0), 10,
                   what="the captured desktop in the main window")
        settled_screenshot("preview-question")
        self.answer(box, IDNO)
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="minimised")
        info = self.driver.clip_bitmap()
        self.assertEqual((info["width"], info["height"]), (1024, 768))
        P.assert_no_pdf(self, P.PDF_DIR, before, accept=P.desktop_page)
        self.assertTrue(self.driver.state(k.hwnd)["iconic"])

    def test_preview_yes_prints_and_stays_minimised(self):
        self.driver("reg_set", "PREVIEW", 3, "01000000")
        k = self.start()
        self.place_patch()
        before = P.pdfs(P.PDF_DIR)
        self.command(k)
        self.answer(self.preview_box(), IDYES)
        self.wait_desktop_page(before)
        self.assertTrue(self.driver.state(k.hwnd)["iconic"])

    def test_snapshot_timer_on_outputs_the_current_picture(self):
        k = self.start()
        self.driver.post_command(k.hwnd, SNAPSHOT)
        dialog = self.driver.wait_window("#32770", SNAPSHOT_TITLE, 15)
        self.driver("press", dialog, SNAPSHOT_ENABLE)
        # No shot of the timer's own comes during the test.
        self.driver("set_text", dialog, SNAPSHOT_INTERVAL, "3600")
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 15000)
        P.put_grid_on_clipboard(self.driver)
        before = P.pdfs(P.PDF_DIR)
        self.command(k)
        page = P.render(P.wait_pdf(P.PDF_DIR, before, accept=P.grid_page))
        bad, checked = P.grid_mismatches(page, 100)
        self.assertEqual(bad[:5], [], f"{len(bad)} of {checked} points differ: a new grab was made")
        info = self.driver.clip_bitmap()
        self.assertEqual((info["width"], info["height"]), (400, 300))


class FileTarget(CaptureOutputTestCase):
    def test_serial_numbering_writes_successive_files(self):
        k = self.start()
        self.place_patch()
        self.serial_output(k, True)
        before = P.pdfs(P.PDF_DIR)
        for n in (1, 2, 3):
            self.command(k)
            wait_until(lambda: f"out{n:04d}.BMP" in os.listdir(self.dir), 20,
                       what=f"file {n}")
        self.assertEqual(sorted(os.listdir(self.dir)), ["out0001.BMP", "out0002.BMP", "out0003.BMP"])
        P.assert_no_pdf(self, P.PDF_DIR, before, accept=P.desktop_page, settle=4)
        self.assertFalse(self.driver.state(k.hwnd)["iconic"])

    def test_grab_comes_100_ms_after_the_window_hides(self):
        unmanaged(self)
        k = self.start()
        self.serial_output(k, True)
        pause, _ = capture_pause(self, k, P.PRINT, P.CAPTURE_AND_OUTPUT)
        assert_pause(self, pause, 100)
        wait_until(lambda: os.listdir(self.dir) == ["out0001.BMP"], 20, what="the file")

    def test_without_numbering_the_save_dialog_opens_and_cancel_writes_nothing(self):
        k = self.start(cwd=self.dir)
        self.place_patch()
        self.serial_output(k, False)
        before = P.pdfs(P.PDF_DIR)
        for _ in range(2):
            self.command(k)
            dialog = self.driver.wait_window("#32770", SAVE_TITLE, 20)
            self.driver("click", dialog, 2)
            self.driver("wait_gone", dialog, 15000)
        self.assertEqual(os.listdir(self.dir), [])
        P.assert_no_pdf(self, P.PDF_DIR, before, accept=P.desktop_page, settle=4)

    def test_a_picture_copied_while_the_question_is_open_is_the_png_written(self):
        # The grab's PNG is encoded ahead; another picture on the clipboard
        # by the time of the answer is the one that goes out.
        self.driver("reg_set", "PREVIEW", 3, "01000000")
        k = self.start()
        self.serial_output(k, True, png=True)
        self.command(k)
        box = self.preview_box()
        self.small_picture_on_clipboard()
        self.answer(box, IDYES)
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- out0001.PNG", 20,
                   what="the file")
        with Image.open(os.path.join(self.dir, "out0001.PNG")) as im:
            self.assertEqual((im.size, im.convert("RGB").getpixel((20, 15))), ((40, 30), (0, 255, 0)))

    def test_the_png_made_at_the_grab_is_written_while_another_program_holds_the_clipboard(self):
        # Clipboard viewers and history tools open the clipboard to read a
        # new picture. The PNG encoded at the grab needs no clipboard: it is
        # written while another program holds it. Encoding the clipboard's
        # picture afresh would have to wait for it and then give up.
        self.driver("reg_set", "PREVIEW", 3, "01000000")
        k = self.start()
        self.serial_output(k, True, png=True)
        self.command(k)
        box = self.preview_box()
        other, thread = hold_clipboard(self.driver, 30000)
        try:
            self.answer(box, IDYES)
            wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- out0001.PNG"
                       or self.driver.find("#32770", "Kelvoｴﾗｰ"), 20, what="the file or a message")
            self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- out0001.PNG",
                             "the file was not written")
            self.assertFalse(self.driver("clip_formats", check=False)["ok"],
                             "the clipboard was let go before the file was written")
        finally:
            other.proc.kill()
            thread.join()
            other.close()
        # It is the picture on the clipboard, pixel for pixel.
        with Image.open(os.path.join(self.dir, "out0001.PNG")) as im:
            written = im.convert("RGB")
        clip = self.driver.clip_image()
        self.assertEqual(written.size, (1024, 768))
        self.assertEqual(written.tobytes(), clip.tobytes())

    def test_preview_no_writes_nothing(self):
        self.driver("reg_set", "PREVIEW", 3, "01000000")
        k = self.start()
        self.serial_output(k, True)
        self.command(k)
        self.answer(self.preview_box(), IDNO)
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="minimised")
        # Yes afterwards writes the first numbered file: nothing was used up.
        self.command(k)
        self.answer(self.preview_box(), IDYES)
        wait_until(lambda: os.listdir(self.dir), 20, what="the file")
        self.assertEqual(os.listdir(self.dir), ["out0001.BMP"])
        self.assertTrue(self.driver.state(k.hwnd)["iconic"])
