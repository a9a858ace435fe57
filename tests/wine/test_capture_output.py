"""The capture-and-output command (command 40001 with lParam 1): printer
and file targets, the preview question, the save dialog, and the snapshot
timer that makes the command output the picture it already has."""
import os
import shutil
import tempfile

from harness import ARTIFACTS, KelvoTestCase, screen_image, settled_screenshot, wait_until, winpath
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
SAVE_TITLE = "名前を付けて保存"
SNAPSHOT_TITLE = "ｽﾅｯﾌﾟｼｮｯﾄの設定"
SNAPSHOT_ENABLE, SNAPSHOT_INTERVAL = 1028, 1029

PATCH = (700, 500, 200, 150, 0x3366CC)
PATCH_RGB = (0x33, 0x66, 0xCC)


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
        """A coloured window on the desktop, so that a printed desktop can
        be recognised."""
        x, y, w, h, rgb = PATCH
        self.patch = self.driver("place", x, y, w, h, rgb)["hwnd"]
        wait_until(lambda: screen_image().getpixel((x + w // 2, y + h // 2)) == PATCH_RGB, 10,
                   what="the patch on the screen")

    def assert_page_shows_desktop(self, path):
        page = P.render(path)
        x, y, w, h, _ = PATCH
        sx, sy = page.width / 1024, page.height / 768
        self.assertTrue(P.close(page.getpixel((int((x + w / 2) * sx), int((y + h / 2) * sy))),
                                PATCH_RGB), "the patch is not on the page")
        self.assertFalse(P.close(page.getpixel((int((x - 40) * sx), int((y + h / 2) * sy))),
                                 PATCH_RGB))

    def command(self, k):
        self.driver.post_command(k.hwnd, P.PRINT, P.CAPTURE_AND_OUTPUT)

    def dialogs(self):
        return self.driver("windows", "#32770")["hwnds"]

    def serial_output(self, k, on):
        self.driver.post_command(k.hwnd, P.OUTPUT_FILE)
        dialog = self.driver.wait_window("#32770", SERIAL_TITLE, 15)
        self.driver("press", dialog, SERIAL_ON if on else SERIAL_OFF)
        if on:
            self.driver("set_text", dialog, SERIAL_FOLDER, winpath(self.dir))
            self.driver("set_text", dialog, SERIAL_PREFIX, "out")
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
        path = P.wait_pdf(P.PDF_DIR, before)
        self.assertEqual(self.dialogs(), dialogs_before, "a dialog was shown")
        self.assert_page_shows_desktop(path)
        state = self.driver.state(k.hwnd)
        self.assertTrue(state["visible"])
        self.assertFalse(state["iconic"])

    def test_preview_no_captures_but_prints_nothing_and_minimises(self):
        self.driver("reg_set", "PREVIEW", 3, "01000000")
        k = self.start()
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
        P.assert_no_pdf(self, P.PDF_DIR, before)
        self.assertTrue(self.driver.state(k.hwnd)["iconic"])

    def test_preview_yes_prints_and_stays_minimised(self):
        self.driver("reg_set", "PREVIEW", 3, "01000000")
        k = self.start()
        self.place_patch()
        before = P.pdfs(P.PDF_DIR)
        self.command(k)
        self.answer(self.preview_box(), IDYES)
        path = P.wait_pdf(P.PDF_DIR, before)
        self.assert_page_shows_desktop(path)
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
        page = P.render(P.wait_pdf(P.PDF_DIR, before))
        bad, checked = P.grid_mismatches(page, 100)
        self.assertEqual(bad[:5], [], f"{len(bad)} of {checked} points differ: a new grab was made")
        info = self.driver.clip_bitmap()
        self.assertEqual((info["width"], info["height"]), (400, 300))


class FileTarget(CaptureOutputTestCase):
    def test_serial_numbering_writes_successive_files(self):
        k = self.start()
        self.serial_output(k, True)
        before = P.pdfs(P.PDF_DIR)
        for n in (1, 2, 3):
            self.command(k)
            wait_until(lambda: f"out{n:04d}.BMP" in os.listdir(self.dir), 20,
                       what=f"file {n}")
        self.assertEqual(sorted(os.listdir(self.dir)), ["out0001.BMP", "out0002.BMP", "out0003.BMP"])
        self.assertEqual(P.pdfs(P.PDF_DIR) - before, set())
        self.assertFalse(self.driver.state(k.hwnd)["iconic"])

    def test_without_numbering_the_save_dialog_opens_and_cancel_writes_nothing(self):
        k = self.start(cwd=self.dir)
        self.serial_output(k, False)
        before = P.pdfs(P.PDF_DIR)
        for _ in range(2):
            self.command(k)
            dialog = self.driver.wait_window("#32770", SAVE_TITLE, 20)
            self.driver("click", dialog, 2)
            self.driver("wait_gone", dialog, 15000)
        self.assertEqual(os.listdir(self.dir), [])
        self.assertEqual(P.pdfs(P.PDF_DIR) - before, set())

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
