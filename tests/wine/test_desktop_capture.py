"""The desktop command: the whole screen becomes the clipboard's bitmap."""
from harness import (KelvoTestCase, assert_pause, capture_pause, wait_until, screenshot,
                     screen_image, unmanaged, xdotool)

WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020
DESKTOP = 40014
INCLUDE_POINTER = 40111


class DesktopCapture(KelvoTestCase):
    def capture(self, k):
        self.driver("clip_empty")
        self.driver.send_command(k.hwnd, DESKTOP)
        return wait_until(self.driver.clip_image, 10, what="the captured bitmap")

    def test_screen_sized_bitmap_with_the_pixels_on_the_screen(self):
        k = self.start()
        self.place(800, 600, 120, 90, 0x3366CC)
        self.place(0, 700, 50, 68, 0xFF8000)
        picture = self.capture(k)
        screen = self.driver("screen")
        self.assertEqual(picture.size, (screen["width"], screen["height"]))
        info = self.driver.clip_bitmap()
        self.assertEqual((info["width"], info["height"]), (1024, 768))
        for x, y in [(800, 600), (919, 689), (860, 645)]:
            self.assertEqual(picture.getpixel((x, y)), (0x33, 0x66, 0xCC), (x, y))
        self.assertNotEqual(picture.getpixel((799, 600)), (0x33, 0x66, 0xCC))
        self.assertNotEqual(picture.getpixel((920, 690)), (0x33, 0x66, 0xCC))
        self.assertEqual(picture.getpixel((0, 767)), (0xFF, 0x80, 0x00))
        self.assertEqual(picture.getpixel((49, 700)), (0xFF, 0x80, 0x00))
        # Only CF_BITMAP is placed (plus what the system synthesises from it).
        self.assertFalse(self.driver("clip_formats")["palette"])

    def test_main_window_is_hidden_while_grabbing_and_shown_after(self):
        k = self.start()
        left, top, right, bottom = self.driver.state(k.hwnd)["rect"]
        # Kelvo's window is on the screen now: its client area is not black.
        cx, cy = (left + right) // 2, (top + bottom) // 2 + 100
        wait_until(lambda: screen_image().getpixel((cx, cy)) != (0, 0, 0), 10,
                   what="the main window on the screen")
        picture = self.capture(k)
        # The root window under it is black: the grab did not see Kelvo.
        self.assertEqual(picture.getpixel((cx, cy)), (0, 0, 0))
        state = self.driver.state(k.hwnd)
        self.assertTrue(state["visible"])
        self.assertFalse(state["iconic"])
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: self.driver.toolbar(k.hwnd)[40008]["enabled"], 10,
                   what="the paint that shows the picture")
        screenshot("desktop-capture-main-window")

    def test_grab_comes_300_ms_after_the_window_hides(self):
        # Time for the windows that the hidden main window uncovered to
        # repaint before the screen is read.
        unmanaged(self)
        k = self.start()
        pause, _ = capture_pause(self, k, DESKTOP)
        assert_pause(self, pause, 300)

    def test_title_is_reset_to_kelvo(self):
        k = self.start()
        self.driver("set_title", k.hwnd, "Kelvo --- 次のショットまであと    3秒")
        self.capture(k)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")

    def test_minimised_main_window_stays_minimised(self):
        k = self.start()
        self.driver("send", k.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="minimised")
        self.capture(k)
        state = self.driver.state(k.hwnd)
        self.assertTrue(state["iconic"])
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")


class PointerInGrabs(KelvoTestCase):
    GREY = (0x60, 0x60, 0x60)

    def capture(self, k):
        self.driver("clip_empty")
        self.driver.send_command(k.hwnd, DESKTOP)
        return wait_until(self.driver.clip_image, 10, what="the captured bitmap")

    def changed_pixels(self, picture, box):
        left, top, right, bottom = box
        return {(x, y) for x in range(left, right) for y in range(top, bottom)
                if picture.getpixel((x, y)) != self.GREY}

    def test_the_option_draws_the_pointer_where_it_stands(self):
        k = self.start()
        self.place(500, 200, 400, 400, 0x606060)
        # The pointer stands on the flat patch, well away from its edges.
        xdotool("mousemove", 700, 400)
        near = (640, 340, 780, 480)
        picture = self.capture(k)
        self.assertEqual(self.changed_pixels(picture, near), set())
        self.driver.send_command(k.hwnd, INCLUDE_POINTER)
        xdotool("mousemove", 701, 401)
        xdotool("mousemove", 700, 400)
        # Wine takes the pointer's position from X's events, a moment after
        # xdotool has returned.
        wait_until(lambda: (self.driver("cursor")["x"], self.driver("cursor")["y"]) == (700, 400), 5,
                   what="the pointer at the hot spot")
        picture = self.capture(k)
        changed = self.changed_pixels(picture, near)
        # The cursor's own picture: a shape of many pixels (not a box: some
        # pixels within its extent stay background) around the hot spot,
        # within a cursor's size of it.
        self.assertGreater(len(changed), 20)
        xs = [x for x, _ in changed]
        ys = [y for _, y in changed]
        self.assertLessEqual(max(xs) - min(xs), 64)
        self.assertLessEqual(max(ys) - min(ys), 64)
        self.assertTrue(min(xs) <= 700 <= max(xs) and min(ys) <= 400 <= max(ys))
        # The hot spot's own pixel is the cursor's (the tip of the arrow).
        self.assertIn((700, 400), changed)
        box = (max(xs) - min(xs) + 1) * (max(ys) - min(ys) + 1)
        self.assertLess(len(changed), box)
        # Nothing else of the patch changed.
        self.assertEqual(self.changed_pixels(picture, (510, 210, 890, 330)), set())


class MenusOnScreen(KelvoTestCase):
    """Screenshots of the main window with each menu of the menu bar open."""

    def test_each_menu_opens_with_its_japanese_items(self):
        k = self.start()
        left, top, right, bottom = self.driver.state(k.hwnd)["rect"]
        client_left, client_top = self.driver.state(k.hwnd)["client"][:2]
        menu_y = client_top - 10  # the menu bar lies just above the client area
        for name, x in [("file", 25), ("capture", 90), ("output", 165), ("options", 232),
                        ("help", 295)]:
            xdotool("mousemove", left + x, menu_y, "click", "1")
            wait_until(lambda: self.driver.find("#32768", "-"), 5, what=f"the {name} menu")
            screenshot(f"menu-{name}")
            xdotool("key", "Escape", "Escape")
            wait_until(lambda: not self.driver.find("#32768", "-"), 5, what="menu closed")
