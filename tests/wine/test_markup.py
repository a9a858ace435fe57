"""The markup editor: marks drawn with the real mouse and keys, checked in
the pixels of the picture the clipboard holds after 確定; undo, redo,
Esc, crop, mosaic, text, a zoomed view, and captures arriving while a
picture is being edited."""
import os
import tempfile

from PIL import Image

from harness import (KelvoTestCase, wait_until, settled_screenshot, screen_image, xdotool, x_point,
                     winpath, ARTIFACTS)
from test_main_window import coded_picture, decode

MARKUP, RECTANGLE, YELLOW, DONE, DESKTOP, ZOOM = 40120, 40125, 40135, 40145, 40014, 40020
OPEN, SELECT_RECTANGLE, LAST_REGION = 40023, 40016, 40110
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
FILE_NAME = 1148  # the open dialog's file name box
PROBE_BUTTON_RECT, PROBE_DPI_CHANGE = 10, 8
TEXT48 = 40150
BAR_ID = 1200
WM_HSCROLL, WM_VSCROLL, SB_THUMBPOSITION = 0x0114, 0x0115, 4
RED = (255, 0, 0)
GREY = (128, 128, 128)


class Editor:
    """Kelvo in the editor: picture pixels to screen points, real input."""

    def __init__(self, test, k):
        self.test, self.k, self.driver = test, k, test.driver

    def bar(self):
        for child in self.driver("children", self.k.hwnd)["children"]:
            if child["id"] == BAR_ID:
                return child
        return None

    def origin(self):
        """Screen point of the picture's top-left pixel at natural size."""
        cx, _ = self.driver.state(self.k.hwnd)["client"][:2]
        return cx, self.bar()["rect"][3]

    def screen(self, x, y):
        ox, oy = self.origin()
        return x_point(ox + x, oy + y)

    def focus(self):
        hwnd = self.k.hwnd
        left, top, right, _ = self.driver.state(hwnd)["rect"]
        if not self.driver.state(hwnd)["foreground"]:
            xdotool("mousemove", *x_point(min(left + 150, right - 80), top + 10), "click", "1")
            wait_until(lambda: self.driver.state(hwnd)["foreground"], 10,
                       what="the keyboard focus")

    def drag(self, *points):
        """Presses at the first picture point, moves through the others and
        releases at the last."""
        xdotool("mousemove", *self.screen(*points[0]), "mousedown", "1")
        for p in points[1:]:
            xdotool("mousemove", *self.screen(*p))
        xdotool("mouseup", "1")

    def click(self, x, y):
        xdotool("mousemove", *self.screen(x, y), "click", "1")

    def keys(self, *keys):
        xdotool("key", "--delay", "60", *keys)

    def sync(self):
        """Every input given so far has been handled: a round trip through
        Kelvo's message queue behind it."""
        self.driver("send", self.k.hwnd, 0, 0, 0)


class MarkupTestCase(KelvoTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tmp = tempfile.mkdtemp(prefix="markup-", dir=ARTIFACTS)
        cls.grey = os.path.join(cls.tmp, "grey.bmp")
        Image.new("RGB", (400, 300), GREY).save(cls.grey)
        cls.coded = os.path.join(cls.tmp, "coded.bmp")
        coded_picture(400, 300).save(cls.coded)
        cls.large = os.path.join(cls.tmp, "large.bmp")
        Image.new("RGB", (1024, 768), GREY).save(cls.large)

    def edit(self, picture):
        """Kelvo started on picture, active, in the editor."""
        self.driver("clip_load", winpath(picture))
        k = self.start()
        e = Editor(self, k)
        e.focus()
        self.driver.post_command(k.hwnd, MARKUP)
        wait_until(lambda: e.bar() is not None, 10, what="the editor's bar")
        e.sync()
        return k, e

    def commit(self, e):
        e.keys("Return")
        wait_until(lambda: "編集済み" in self.driver.title(e.k.hwnd), 10, what="the edited title")
        self.assertIsNone(e.bar())
        return self.driver.clip_image()


class Entering(MarkupTestCase):
    def grayed(self, k):
        """Whether 編集 is grey in the ﾌｧｲﾙ menu, as it opens."""
        def find(items):
            for item in items or []:
                if item["id"] == MARKUP:
                    return item
                found = find(item.get("items"))
                if found:
                    return found
            return None
        return find(self.driver("probe", k.hwnd, 1)["result"]["items"])["grayed"]

    def test_edit_is_grey_without_a_picture_and_ctrl_e_opens_the_editor(self):
        self.driver("clip_empty")
        k = self.start()
        self.assertTrue(self.grayed(k))
        self.driver("clip_load", winpath(self.grey))
        self.assertFalse(self.grayed(k))
        e = Editor(self, k)
        e.focus()
        self.assertIsNone(e.bar())
        e.keys("ctrl+e")
        wait_until(lambda: e.bar() is not None, 10, what="the editor's bar")
        # The first tool's tooltip names it and its key.
        left, top = e.bar()["rect"][:2]
        xdotool("mousemove", *x_point(left + 12, top + 8))
        xdotool("mousemove", *x_point(left + 13, top + 9))
        wait_until(lambda: [t for t in self.driver("windows", "tooltips_class32")["hwnds"]
                            if self.driver.state(t)["visible"]
                            and self.driver.title(t) == "ペン (P)"], 10,
                   what="the pen's tooltip")


    def test_the_toolbar_button_opens_the_editor(self):
        self.driver("clip_load", winpath(self.grey))
        k = self.start()
        e = Editor(self, k)
        e.focus()
        button = self.driver("probe", k.hwnd, PROBE_BUTTON_RECT | (MARKUP << 8))["result"]
        self.assertTrue(button["found"], "a 編集 button on the toolbar")
        left, top, right, bottom = button["rect"]
        xdotool("mousemove", *x_point((left + right) // 2, (top + bottom) // 2), "click", "1")
        wait_until(lambda: e.bar() is not None, 10, what="the editor's bar")


class Marks(MarkupTestCase):
    def test_rectangle_arrow_and_numbers_are_in_the_clipboard_picture(self):
        k, e = self.edit(self.grey)
        e.keys("r")
        e.drag((50, 40), (100, 90), (150, 120))
        e.keys("a")
        e.drag((200, 200), (250, 200), (300, 200))
        e.keys("n")
        e.click(350, 50)
        e.click(350, 150)
        e.sync()
        settled_screenshot("markup-editor")
        im = self.commit(e)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- 編集済み")
        self.assertEqual(im.size, (400, 300))
        px = im.load()
        # The rectangle: 2-pixel edges on the dragged corners, grey inside
        # and outside.
        for x in (50, 51, 100, 149, 150):
            self.assertEqual(px[x, 40], RED, (x, 40))
            self.assertEqual(px[x, 120], RED, (x, 120))
        for y in (41, 80, 119):
            self.assertEqual((px[50, y], px[51, y], px[149, y], px[150, y]), (RED,) * 4, y)
        for x, y in [(49, 80), (52, 80), (100, 42), (100, 118), (148, 80), (151, 80), (100, 121)]:
            self.assertEqual(px[x, y], GREY, (x, y))
        # The arrow: a shaft 2 pixels wide, a head 10 long and 10 wide
        # whose tip is the point released at.
        self.assertEqual(px[250, 200], RED)
        self.assertEqual(px[250, 197], GREY)
        self.assertEqual(px[300, 200], RED)
        self.assertEqual(px[302, 200], GREY)
        self.assertEqual((px[291, 196], px[291, 204]), (RED, RED))
        self.assertEqual((px[291, 193], px[291, 207]), (GREY, GREY))
        # Two numbers: red discs with a white label each, the second
        # label other than the first.
        labels = []
        for cy in (50, 150):
            self.assertEqual(px[350 - 13, cy], RED)
            self.assertEqual(px[350 - 16, cy], GREY)
            white = frozenset((x - 350, y - cy) for x in range(340, 361) for y in range(cy - 10, cy + 11)
                              if px[x, y] == (255, 255, 255))
            self.assertTrue(white, f"a label in the disc at {cy}")
            labels.append(white)
        self.assertNotEqual(labels[0], labels[1])

    def test_pen_highlighter_line_and_filled_ellipse(self):
        k, e = self.edit(self.grey)
        e.keys("p")
        e.drag((20, 250), (70, 250), (120, 250))
        self.driver.post_command(k.hwnd, YELLOW)
        e.keys("h")
        e.drag((20, 280), (60, 290), (120, 280))
        e.keys("e", "f")
        e.drag((200, 20), (230, 40), (260, 60))
        e.keys("l")
        e.drag((300, 250), (380, 290))
        px = self.commit(e).load()
        self.assertEqual((px[70, 250], px[70, 251], px[70, 252], px[70, 248]), (RED, RED, GREY, GREY))
        # The highlighter multiplies: yellow over grey leaves no blue.
        self.assertEqual(px[20, 280], (128, 128, 0))
        self.assertEqual(px[20, 277], GREY)
        self.assertEqual((px[230, 40], px[200, 40], px[259, 40]), ((255, 255, 0),) * 3)
        self.assertEqual((px[201, 21], px[258, 58]), (GREY, GREY))
        self.assertEqual(px[340, 270], (255, 255, 0))
        self.assertEqual(px[340, 265], GREY)

    def test_mosaic_writes_uniform_blocks_of_the_average(self):
        k, e = self.edit(self.coded)
        e.keys("m")
        e.drag((40, 40), (80, 70), (103, 87))
        im = self.commit(e)
        px = im.load()
        orig = coded_picture(400, 300).load()
        # Blocks of 8 from the drag's corner; the last row and column of
        # blocks are cut to what the drag covered (64 x 48).
        for bx in range(40, 104, 8):
            for by in range(40, 88, 8):
                cells = [(x, y) for x in range(bx, min(bx + 8, 104)) for y in range(by, min(by + 8, 88))]
                values = {px[c] for c in cells}
                self.assertEqual(len(values), 1, (bx, by))
                n = len(cells)
                avg = tuple((sum(orig[c][i] for c in cells) + n // 2) // n for i in range(3))
                self.assertEqual(values.pop(), avg, (bx, by))
        for c in [(39, 50), (104, 50), (50, 39), (50, 88)]:
            self.assertEqual(px[c], orig[c], c)

    def test_crop_keeps_the_dragged_rectangle(self):
        k, e = self.edit(self.coded)
        e.keys("c")
        e.drag((100, 50), (200, 100), (299, 149))
        e.sync()
        im = self.commit(e)
        self.assertEqual(im.size, (200, 100))
        self.assertEqual(decode(im.getpixel((0, 0))), (100, 50))
        self.assertEqual(decode(im.getpixel((199, 99))), (299, 149))
        # Other programs paste the edited picture too, as "PNG".
        png = os.path.join(self.tmp, "cropped.png")
        self.driver("clip_data", "PNG", winpath(png))
        with Image.open(png) as pasted:
            self.assertEqual(list(pasted.convert("RGB").getdata()), list(im.convert("RGB").getdata()))

    def test_typed_text_is_drawn_where_clicked(self):
        # Under Wine the IME does not compose here: plain typed characters.
        k, e = self.edit(self.grey)
        e.keys("t")
        e.click(60, 60)
        e.keys("A", "b", "Return", "C")
        e.keys("ctrl+Return")
        e.sync()
        im = self.commit(e)
        px = im.load()
        red = [(x, y) for x in range(400) for y in range(300) if px[x, y][0] > 200 and px[x, y][1] < 80]
        self.assertTrue(red, "the text")
        xs, ys = [p[0] for p in red], [p[1] for p in red]
        self.assertGreaterEqual(min(xs), 60)
        self.assertGreaterEqual(min(ys), 60)
        self.assertLess(max(xs), 60 + 80)
        # Two lines: text 24 pixels high on each.
        self.assertGreater(max(ys) - min(ys), 30)
        self.assertLess(max(ys), 60 + 70)

    def test_text_size_is_chosen_apart_from_the_line_width(self):
        k, e = self.edit(self.grey)
        e.keys("1", "t")  # the thinnest line
        self.driver.post_command(k.hwnd, TEXT48)
        e.click(60, 60)
        e.keys("H", "ctrl+Return")
        e.sync()
        px = self.commit(e).load()
        ys = [y for x in range(400) for y in range(300) if px[x, y][0] > 200 and px[x, y][1] < 80]
        self.assertTrue(ys, "the text")
        # A capital of 48-pixel text, not of the 16 pixels a thin line had.
        self.assertGreater(max(ys) - min(ys), 30)

    def test_the_bar_follows_the_monitor_scale(self):
        k, e = self.edit(self.grey)
        before = e.bar()["rect"]
        self.driver("probe", k.hwnd, PROBE_DPI_CHANGE | 192 << 8)
        wait_until(lambda: e.bar()["rect"][3] - e.bar()["rect"][1] > 1.5 * (before[3] - before[1]),
                   10, what="a bar grown with its labels")


class UndoRedoEscape(MarkupTestCase):
    def test_undo_redo_and_escape(self):
        k, e = self.edit(self.grey)
        e.keys("r")
        e.drag((20, 20), (60, 60))
        e.drag((100, 100), (140, 140))
        e.keys("ctrl+z")
        e.sync()
        e.keys("ctrl+z", "ctrl+y")
        im = self.commit(e)
        self.assertEqual(im.getpixel((20, 20)), RED)
        self.assertEqual(im.getpixel((100, 100)), GREY)
        # Esc leaves the picture and the title as they were.
        title = self.driver.title(k.hwnd)
        self.driver.post_command(k.hwnd, MARKUP)
        wait_until(lambda: e.bar() is not None, 10, what="the editor's bar")
        e.sync()
        e.keys("e")
        e.drag((200, 150), (260, 200))
        e.keys("Escape")
        wait_until(lambda: e.bar() is None, 10, what="the editor closed")
        after = self.driver.clip_image()
        self.assertEqual(list(after.getdata()), list(im.getdata()))
        self.assertEqual(self.driver.title(k.hwnd), title)


class ZoomedAndScrolled(MarkupTestCase):
    def test_marks_are_in_picture_pixels_when_zoomed(self):
        # 1024 x 768 shown at well under half size: a 2-pixel outline is
        # still 2 pixels of the picture.
        self.driver("clip_load", winpath(self.large))
        k = self.start()
        l, t, r, b = self.driver.state(k.hwnd)["rect"]
        cw, ch = self.driver.state(k.hwnd)["client"][2:]
        self.driver("move", k.hwnd, 0, 0, (r - l) + 480 - cw, (b - t) + 400 - ch)
        self.driver.post_command(k.hwnd, ZOOM)
        e = Editor(self, k)
        e.focus()
        self.driver.post_command(k.hwnd, MARKUP)
        wait_until(lambda: e.bar() is not None, 10, what="the editor's bar")
        self.driver.post_command(k.hwnd, RECTANGLE)
        e.sync()
        cx, cy = self.driver.state(k.hwnd)["client"][:2]
        top = e.bar()["rect"][3]
        a, b = (cx + 100, top + 60), (cx + 300, top + 200)
        xdotool("mousemove", *x_point(*a), "mousedown", "1")
        xdotool("mousemove", *x_point(*b), "mouseup", "1")
        im = self.commit(e)
        self.assertEqual(im.size, (1024, 768))
        px = im.load()
        red = [(x, y) for x in range(1024) for y in range(768) if px[x, y] == RED]
        xs, ys = sorted({p[0] for p in red}), sorted({p[1] for p in red})
        left, right, upper, lower = xs[0], xs[-1], ys[0], ys[-1]
        # Scale from the picture to the view: well above 2 pixels per
        # screen pixel, so these are picture pixels, not screen pixels.
        self.assertGreater(right - left, 400)
        mid = (upper + lower) // 2
        row = [x for x in range(1024) if px[x, mid] == RED]
        self.assertEqual(row, [left, left + 1, right - 1, right])
        col = [y for y in range(768) if px[(left + right) // 2, y] == RED]
        self.assertEqual(col, [upper, upper + 1, lower - 1, lower])


    def test_marks_land_where_the_picture_is_scrolled_to(self):
        self.driver("clip_load", winpath(self.large))
        k = self.start()
        l, t, r, b = self.driver.state(k.hwnd)["rect"]
        cw, ch = self.driver.state(k.hwnd)["client"][2:]
        self.driver("move", k.hwnd, 0, 0, (r - l) + 480 - cw, (b - t) + 400 - ch)
        e = Editor(self, k)
        e.focus()
        self.driver.post_command(k.hwnd, MARKUP)
        wait_until(lambda: e.bar() is not None, 10, what="the editor's bar")
        self.driver("invalidate", k.hwnd)
        self.driver("send", k.hwnd, WM_HSCROLL, SB_THUMBPOSITION | (100 << 16), 0)
        self.driver("send", k.hwnd, WM_VSCROLL, SB_THUMBPOSITION | (200 << 16), 0)
        self.driver.post_command(k.hwnd, RECTANGLE)
        e.sync()
        # On the screen at 50, 50 .. 150, 120 of the view: in the picture
        # 100 columns and 200 rows further on.
        e.drag((50, 50), (150, 120))
        px = self.commit(e).load()
        self.assertEqual((px[150, 250], px[250, 320], px[151, 252]), (RED, RED, RED))
        self.assertEqual((px[149, 250], px[152, 252], px[251, 320]), (GREY, GREY, GREY))


class ArrivingWhileEditing(MarkupTestCase):
    def test_a_capture_asks_and_a_capture_and_output_keeps_the_edit(self):
        k, e = self.edit(self.grey)
        e.keys("r")
        e.drag((20, 20), (60, 60))
        # A capture the user asked for asks first; No keeps editing.
        self.driver.post_command(k.hwnd, DESKTOP)
        box = self.driver.wait_window("#32770", "Kelvo")
        self.driver("click", box, 7)  # IDNO
        self.driver("wait_gone", box, 10000)
        self.assertIsNotNone(e.bar())
        self.assertEqual(self.driver.clip_image().getpixel((20, 20)), GREY)
        # A capture from the timer, the key or DDE goes ahead without a
        # question; the edit waits aside and 確定 still gives it.
        self.driver.post_command(k.hwnd, DESKTOP, 1)
        wait_until(lambda: self.driver.clip_bitmap()["width"] != 400, 30, what="the desktop capture")
        self.assertIsNotNone(e.bar())
        self.driver.post_command(k.hwnd, DONE)
        wait_until(lambda: "編集済み" in self.driver.title(k.hwnd), 10, what="the edited title")
        im = self.driver.clip_image()
        self.assertEqual(im.size, (400, 300))
        self.assertEqual(im.getpixel((20, 20)), RED)

    def test_open_asks_only_once_a_file_is_chosen(self):
        k, e = self.edit(self.grey)
        e.keys("r")
        e.drag((20, 20), (60, 60))
        e.sync()
        # The file dialog comes first; cancelling it keeps the edit.
        self.driver.post_command(k.hwnd, OPEN)
        dialog = self.driver.wait_window("#32770", "開く")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        e.sync()
        self.assertFalse(self.driver.find("#32770", "Kelvo"))
        self.assertIsNotNone(e.bar())
        # A chosen file asks; yes opens it and ends the editor.
        self.driver.post_command(k.hwnd, OPEN)
        dialog = self.driver.wait_window("#32770", "開く")
        self.driver("set_text", dialog, FILE_NAME, winpath(self.coded))
        self.driver("click", dialog, IDOK)
        box = self.driver.wait_window("#32770", "Kelvo")
        self.driver("click", box, IDYES)
        wait_until(lambda: e.bar() is None, 10, what="the editor closed")
        wait_until(lambda: self.driver.clip_image().getpixel((20, 20)) == (20, 20, 0), 10,
                   what="the opened file")

    def test_last_region_asks_first(self):
        self.driver("clip_load", winpath(self.grey))
        # The region is dragged in the selection window over the moving
        # screen.
        self.driver("reg_set", "STILLSELECT", 4, "00000000")
        k = self.start()
        # A region held: dragged once in the selection window over a patch
        # right of Kelvo's window.
        self.place(768, 0, 256, 768, 0x606060)
        self.driver.post_command(k.hwnd, SELECT_RECTANGLE)
        selection = self.driver.wait_window("RectWindow", "RectWindow", 10)
        wait_until(lambda: self.driver.state(selection)["visible"], 10,
                   what="the selection window shown")
        xdotool("mousemove", *x_point(800, 100), "mousedown", "1")
        xdotool("mousemove", *x_point(850, 150))
        xdotool("mousemove", *x_point(900, 200))
        wait_until(lambda: screen_image().getpixel(x_point(800, 150)) == (0x9F, 0x9F, 0x9F), 10,
                   what="the rubber band")
        xdotool("mouseup", "1")
        self.driver("wait_gone", selection, 15000)
        wait_until(lambda: self.driver.state(k.hwnd)["visible"], 15, what="Kelvo shown again")
        region = self.driver.clip_bitmap()
        self.assertNotEqual(region["width"], 400)

        self.driver("clip_load", winpath(self.grey))
        e = Editor(self, k)
        e.focus()
        self.driver.post_command(k.hwnd, MARKUP)
        wait_until(lambda: e.bar() is not None, 10, what="the editor's bar")
        e.keys("r")
        e.drag((20, 20), (60, 60))
        e.sync()
        # No keeps editing, the picture untouched.
        self.driver.post_command(k.hwnd, LAST_REGION)
        box = self.driver.wait_window("#32770", "Kelvo")
        self.driver("click", box, IDNO)
        self.driver("wait_gone", box, 10000)
        self.assertIsNotNone(e.bar())
        self.assertEqual(self.driver.clip_bitmap()["width"], 400)
        # Yes grabs the region again.
        self.driver.post_command(k.hwnd, LAST_REGION)
        box = self.driver.wait_window("#32770", "Kelvo")
        self.driver("click", box, IDYES)
        wait_until(lambda: e.bar() is None, 10, what="the editor closed")
        wait_until(lambda: self.driver.state(k.hwnd)["visible"]
                   and self.driver.clip_bitmap()["width"] == region["width"], 15,
                   what="the region grabbed again")
