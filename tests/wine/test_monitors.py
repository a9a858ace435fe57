"""Two monitors side by side, the primary one on the right: Windows sees
the virtual screen from (-1024, 0) to (1024, 768). The desktop capture,
the rectangle selection, the window pick, the fixed range, dialogs and the
notification icon's popup menu work on both (an Xorg display; see
harness.OtherDisplay)."""
from PIL import Image, ImageChops

from harness import (OtherDisplay, OtherDisplayTestCase, wait_until, screen_image, screenshot,
                     settled_screenshot, xdotool, x_point, rgb, WM_USER)

DESKTOP, WINDOW, RECTANGLE, ABOUT, FIXED_RANGE = 40014, 40015, 40016, 40012, 40057
ENABLE, LEFT, TOP, WIDTH, HEIGHT, HORZ, VERT = 1038, 1034, 1033, 1035, 1036, 1044, 1045
ORIGIN_X, ORIGIN_Y = 1046, 1047
IDOK, IDCANCEL = 1, 2
NOTIFY, WM_RBUTTONDOWN = WM_USER + 1, 0x0204
BLUE, ORANGE, GREEN, GREY = 0x3366CC, 0xFF8000, 0x20A040, 0x606060
LEFT_MONITOR = (-1024, 0, 0, 768)


def crop(image, left, top, right, bottom):
    """The part of an X screen image between two Windows screen points."""
    return image.crop((*x_point(left, top), *x_point(right, bottom)))


def same_image(a, b):
    return a.size == b.size and ImageChops.difference(a, b).getbbox() is None


class TwoMonitors(OtherDisplayTestCase):
    LAYOUT = OtherDisplay.TWO_MONITORS

    def tearDown(self):
        xdotool("mouseup", 1)
        super().tearDown()

    def move(self, x, y):
        xdotool("mousemove", *x_point(x, y))

    def wait_shown(self, k):
        wait_until(lambda: self.driver.state(k.hwnd)["visible"]
                   and not self.driver.state(k.hwnd)["iconic"], 15, what="the main window back")

    def clip_size(self):
        info = self.driver.clip_bitmap()
        return (info["width"], info["height"]) if info else None

    def test_screen_is_two_monitors_side_by_side(self):
        screen = self.driver("screen")
        self.assertEqual(screen["monitors"], 2)
        self.assertEqual(screen["virtual"], [-1024, 0, 2048, 768])

    def test_desktop_capture_holds_both_monitors_in_their_places(self):
        k = self.start()
        self.place(-1000, 100, 100, 80, BLUE)
        self.place(900, 600, 124, 168, ORANGE)
        self.driver("clip_empty")
        self.driver.send_command(k.hwnd, DESKTOP)
        picture = wait_until(self.driver.clip_image, 10, what="the captured desktop")
        self.assertEqual(picture.size, (2048, 768))
        # Picture column x shows screen column x - 1024.
        for x, y, colour in [(24, 100, BLUE), (123, 179, BLUE), (1924, 600, ORANGE),
                             (2047, 767, ORANGE)]:
            self.assertEqual(picture.getpixel((x, y)), rgb(colour), (x, y))
        self.assertNotEqual(picture.getpixel((23, 100)), rgb(BLUE))
        self.assertNotEqual(picture.getpixel((124, 180)), rgb(BLUE))
        self.assertNotEqual(picture.getpixel((1923, 600)), rgb(ORANGE))

    def test_rectangle_dragged_across_the_boundary(self):
        # The selection over the moving screen: the still one is switched off.
        self.driver("reg_set", "STILLSELECT", 4, "00000000")
        k = self.start()
        # Out of the way: it is hidden while the selection runs.
        self.driver("move", k.hwnd, 600, 450, 400, 300)
        self.place(-300, 200, 250, 300, BLUE)
        self.place(-50, 250, 250, 200, ORANGE)
        before = screen_image()
        self.driver.post_command(k.hwnd, RECTANGLE)
        selection = self.driver.wait_window("RectWindow", "RectWindow", 10)
        wait_until(lambda: self.driver.state(selection)["visible"], 10, what="the selection")
        # It covers both monitors, and shows the screen as it was.
        self.assertEqual(self.driver("rect", selection)["rect"], [-1024, 0, 1024, 768])
        wait_until(lambda: same_image(crop(screen_image(), -400, 150, 300, 550),
                                      crop(before, -400, 150, 300, 550)), 10,
                   what="the screen seen through the selection window")
        self.move(-200, 220)
        xdotool("mousedown", 1)
        self.move(0, 300)
        self.move(150, 420)
        # The band's left edge, on the left monitor, is inverted.
        inverted = tuple(255 - c for c in rgb(BLUE))
        wait_until(lambda: screen_image().getpixel(x_point(-200, 300)) == inverted, 10,
                   what="the rubber band")
        xdotool("mouseup", 1)
        self.driver("wait_gone", selection, 15000)
        self.wait_shown(k)
        self.assertEqual(self.clip_size(), (350, 200))
        self.assertTrue(same_image(self.driver.clip_image(), crop(before, -200, 220, 150, 420)))

    def test_window_on_the_left_monitor_is_picked_exactly(self):
        k = self.start()
        self.place(-700, 200, 200, 150, GREEN)
        before = screen_image()
        self.driver.send_command(k.hwnd, WINDOW)
        left, top = self.driver.state(k.hwnd)["client"][:2]
        self.move(left + 150, top + 150)
        xdotool("mousedown", 1)
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="the main window minimised")
        self.move(-650, 260)
        self.move(-600, 280)
        xdotool("mouseup", 1)
        self.wait_shown(k)
        self.assertEqual(self.clip_size(), (200, 150))
        self.assertTrue(same_image(self.driver.clip_image(), crop(before, -700, 200, -500, 350)))

    def test_fixed_range_is_limited_to_the_virtual_screen(self):
        k = self.start()
        self.place(-30, 700, 60, 68, ORANGE)
        before = screen_image()
        self.driver.post_command(k.hwnd, FIXED_RANGE)
        dialog = self.driver.wait_window("#32770", "矩形範囲指定", 10)
        self.assertEqual([self.driver("control", dialog, c)["text"] for c in (HORZ, VERT)],
                         ["2048", "768"])
        self.driver("press", dialog, ENABLE)
        # From the left monitor across the primary one and past its edge.
        for control, value in zip((LEFT, TOP, WIDTH, HEIGHT), (-1000, 700, 3000, 100)):
            self.driver("set_text", dialog, control, value)
        self.driver("click", dialog, IDOK)
        self.driver("wait_gone", dialog, 10000)
        self.driver.post_command(k.hwnd, FIXED_RANGE)
        dialog = self.driver.wait_window("#32770", "矩形範囲指定", 10)
        self.assertEqual([self.driver("control", dialog, c)["text"]
                          for c in (LEFT, TOP, WIDTH, HEIGHT)], ["-1000", "700", "2024", "68"])
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        self.driver.post_command(k.hwnd, RECTANGLE)
        wait_until(lambda: not self.driver.state(k.hwnd)["visible"], 10, what="the main window hidden")
        self.wait_shown(k)
        self.assertEqual(self.clip_size(), (2024, 68))
        self.assertTrue(same_image(self.driver.clip_image(), crop(before, -1000, 700, 1024, 768)))

    def test_fixed_range_dialog_shows_where_the_screen_starts(self):
        k = self.start()
        self.driver.post_command(k.hwnd, FIXED_RANGE)
        dialog = self.driver.wait_window("#32770", "矩形範囲指定", 10)
        # A left of 0 is the primary monitor's edge: the screen starts 1024
        # pixels further left, and is 2048 wide from there.
        self.assertEqual([self.driver("control", dialog, c)["text"]
                          for c in (HORZ, VERT, ORIGIN_X, ORIGIN_Y)], ["2048", "768", "-1024", "0"])
        for control in (ORIGIN_X, ORIGIN_Y):
            self.assertTrue(self.driver("control", dialog, control)["visible"])
        wait_until(lambda: self.driver.state(dialog)["visible"], 10, what="the dialog shown")
        # For the eye: the dialog as the user sees it.
        shot = settled_screenshot("two-monitors-fixed-range")
        with Image.open(shot) as im:
            crop(im, *self.driver.state(dialog)["rect"]).save(shot[:-4] + "-dialog.png")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)

    def test_dialog_and_popup_menu_open_on_the_left_monitor(self):
        k = self.start()
        self.driver("move", k.hwnd, -900, 100, 640, 480)
        self.driver.post_command(k.hwnd, ABOUT)
        dialog = self.driver.wait_window("#32770", "ﾊﾞｰｼﾞｮﾝ情報", 10)
        left, top, right, bottom = self.driver("rect", dialog)["rect"]
        # Centred over its owner on the owner's monitor, not mirrored to x > 0.
        self.assertLessEqual(abs((left + right) // 2 - -580), 1)
        self.assertLessEqual(abs((top + bottom) // 2 - 340), 1)
        screenshot("two-monitors-about-on-the-left")
        self.driver("click", dialog, IDOK)
        self.driver("wait_gone", dialog, 10000)
        # A right click on the notification icon opens the popup menu at the
        # cursor, here on the left monitor.
        self.move(-500, 300)
        self.driver("post", k.hwnd, NOTIFY, 0, WM_RBUTTONDOWN)
        menu = wait_until(lambda: self.driver.find("#32768", "-"), 10, what="the popup menu")
        self.assertEqual(self.driver("rect", menu)["rect"][:2], [-500, 300])
        xdotool("key", "Escape")
        wait_until(lambda: not self.driver.find("#32768", "-"), 5, what="menu closed")
