"""The rectangle selection on a still screen (静止画面で選択, on by default):
the screen taken once and shown dimmed, the grab cut from that picture, the
window under the cursor taken by a click, the keyboard, and abandoning.
Real mouse and keyboard input from xdotool, on one and on two monitors."""
import shutil
import os

from PIL import ImageChops

from harness import (ARTIFACTS, KelvoTestCase, OtherDisplay, OtherDisplayTestCase, wait_until,
                     screenshot, screen_image, xdotool, x_point, rgb)

RECTANGLE, STILL_OPTION, LAST_REGION = 40016, 40100, 40110
WM_SYSCOMMAND, SC_CLOSE = 0x0112, 0xF060
REG_DWORD = 4
BLUE, ORANGE, GREEN, GREY = 0x3366CC, 0xFF8000, 0x20A040, 0x606060


def same_image(a, b):
    return a.size == b.size and ImageChops.difference(a, b).getbbox() is None


def darker(shown, before):
    return all(s < b for s, b in zip(shown, before)) and any(shown)


class StillTestCase(KelvoTestCase):
    def tearDown(self):
        # No button may stay down for the next test.
        xdotool("mouseup", 1)
        super().tearDown()

    def move(self, x, y):
        xdotool("mousemove", *x_point(x, y))

    def clip_size(self):
        info = self.driver.clip_bitmap()
        return (info["width"], info["height"]) if info else None

    def wait_shown_normally(self, k):
        wait_until(lambda: self.driver.state(k.hwnd)["visible"]
                   and not self.driver.state(k.hwnd)["iconic"], 15, what="the main window back")

    def open_still(self, k, before, dimmed_at):
        """Command 40016; returns the still window once the screen shows the
        picture dimmed at the Windows point dimmed_at."""
        self.driver.post_command(k.hwnd, RECTANGLE)
        window = self.driver.wait_window("StillWindow", "StillWindow", 10)
        wait_until(lambda: self.driver.state(window)["visible"], 10, what="the still screen shown")
        p = x_point(*dimmed_at)
        wait_until(lambda: darker(screen_image().getpixel(p), before.getpixel(p)), 10,
                   what=f"the screen dimmed at {dimmed_at}")
        return window

    def wait_undimmed(self, before, point):
        p = x_point(*point)
        wait_until(lambda: screen_image().getpixel(p) == before.getpixel(p), 10,
                   what=f"the selection undimmed at {point}")

    def wait_dimmed(self, before, point):
        p = x_point(*point)
        wait_until(lambda: darker(screen_image().getpixel(p), before.getpixel(p)), 10,
                   what=f"the screen dimmed at {point}")

    def finish(self, k, window):
        self.driver("wait_gone", window, 15000)
        self.wait_shown_normally(k)
        self.assertEqual(self.driver("windows", "StillWindow")["hwnds"], [])

    def wait_screen_as_before(self, before, box):
        """The windows the still screen covered paint again (the test's
        windows belong to the driver, whose queue is run meanwhile)."""
        def as_before():
            self.driver("pump", 50)
            return same_image(screen_image().crop(box), before.crop(box))
        wait_until(as_before, 10, what="the screen as it was")


class StillSelection(StillTestCase):
    def scene(self):
        # Wine windows under every point the mouse goes to: without a window
        # manager the bare X root passes no input to Wine.
        self.place(768, 0, 256, 768, GREY)
        self.place(790, 80, 220, 260, BLUE)
        self.place(880, 200, 120, 200, ORANGE)
        self.place(800, 420, 60, 60, GREEN)
        return screen_image()

    def test_the_grab_is_the_still_picture_without_dimming_frame_or_magnifier(self):
        k = self.start()
        before = self.scene()
        window = self.open_still(k, before, (900, 600))
        # From bottom right to top left: the magnifier then lies inside the
        # selection, and the size label above it.
        self.move(960, 440)
        xdotool("mousedown", 1)
        self.move(900, 300)
        self.move(820, 120)
        self.wait_undimmed(before, (950, 430))
        # Dragged, not the grey window under the press.
        self.wait_dimmed(before, (900, 600))
        path = screenshot("still-selection-loupe")
        shutil.copy(path, os.path.join(ARTIFACTS, "still-selection.png"))
        xdotool("mouseup", 1)
        self.finish(k, window)
        self.assertEqual(self.clip_size(), (140, 320))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((820, 120, 960, 440))))
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.wait_screen_as_before(before, (768, 0, 1024, 768))

    def test_a_click_without_a_drag_takes_the_window_under_the_cursor(self):
        k = self.start()
        before = self.scene()
        window = self.open_still(k, before, (900, 600))
        self.move(850, 150)
        # The blue window is offered: undimmed, its neighbours not.
        self.wait_undimmed(before, (1000, 100))
        xdotool("click", 1)
        self.finish(k, window)
        self.assertEqual(self.clip_size(), (220, 260))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((790, 80, 1010, 340))))

    def test_last_region_grabs_the_still_selection_again(self):
        k = self.start()
        before = self.scene()
        window = self.open_still(k, before, (900, 600))
        self.move(850, 150)
        self.wait_undimmed(before, (1000, 100))
        xdotool("click", 1)
        self.finish(k, window)
        self.wait_screen_as_before(before, (768, 0, 1024, 768))
        self.driver("clip_empty")
        self.driver.post_command(k.hwnd, LAST_REGION)
        wait_until(lambda: self.clip_size() == (220, 260), 15, what="the last region grabbed")
        self.wait_shown_normally(k)
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((790, 80, 1010, 340))))

    def test_arrow_keys_move_the_dragged_corner_by_one_and_by_ten_pixels(self):
        k = self.start()
        before = self.scene()
        window = self.open_still(k, before, (900, 600))
        self.move(820, 120)
        xdotool("mousedown", 1)
        self.move(860, 160)
        self.move(900, 200)
        self.wait_undimmed(before, (895, 195))
        # Dragged: the blue window under the press is no longer offered.
        self.wait_dimmed(before, (1000, 100))
        xdotool("key", "Right")
        xdotool("key", "shift+Down")
        # The corner is at (901, 210) now: the column and rows it added show.
        self.wait_undimmed(before, (900, 205))
        xdotool("mouseup", 1)
        self.finish(k, window)
        self.assertEqual(self.clip_size(), (81, 90))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((820, 120, 901, 210))))

    def test_enter_takes_what_is_shown(self):
        k = self.start()
        before = self.scene()
        window = self.open_still(k, before, (900, 600))
        self.move(940, 300)
        self.wait_undimmed(before, (995, 395))
        xdotool("key", "Return")
        self.finish(k, window)
        self.assertEqual(self.clip_size(), (120, 200))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((880, 200, 1000, 400))))

    def test_escape_and_the_right_button_leave_nothing_behind(self):
        k = self.start()
        before = self.scene()
        self.driver("clip_put", 7, 5, 0x123456)
        self.driver("set_title", k.hwnd, "Kelvo --- MARKER.BMP")
        for leave in (("key", "Escape"), ("click", 3)):
            window = self.open_still(k, before, (900, 600))
            self.move(850, 150)
            self.wait_undimmed(before, (1000, 100))
            xdotool(*leave)
            self.finish(k, window)
            self.assertEqual(self.clip_size(), (7, 5), leave)
            self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- MARKER.BMP")
            self.wait_screen_as_before(before, (768, 0, 1024, 768))
            # No pick is left armed: a press in the main window is only a press.
            left, top = self.driver.state(k.hwnd)["client"][:2]
            xdotool("mousemove", left + 150, top + 150, "click", 1)
            self.assertEqual(self.driver("send", k.hwnd, 0, 0, 0)["result"], 0)
            self.assertFalse(self.driver.state(k.hwnd)["iconic"], leave)
        self.assertIsNone(k.proc.poll())

    def test_the_option_is_on_by_default_and_off_selects_over_the_moving_screen(self):
        self.driver("reg_del", "STILLSELECT", check=False)
        k = self.start()
        items = self.driver("probe", k.hwnd, 1)["result"]["items"]
        options = [i for i in items if i.get("text", "").startswith("ｵﾌﾟｼｮﾝ")][0]["items"]
        item = [i for i in options if i.get("id") == STILL_OPTION][0]
        self.assertEqual(item["text"], "静止画面で選択")
        self.assertTrue(item["checked"])
        self.driver.send_command(k.hwnd, STILL_OPTION)
        self.driver.post_command(k.hwnd, RECTANGLE)
        selection = self.driver.wait_window("RectWindow", "RectWindow", 10)
        self.assertEqual(self.driver("windows", "StillWindow")["hwnds"], [])
        self.driver("post", selection, WM_SYSCOMMAND, SC_CLOSE, 0)
        self.driver("wait_gone", selection, 15000)
        self.wait_shown_normally(k)
        self.assertEqual(k.stop(), 0)
        self.assertEqual(self.driver.reg_get("STILLSELECT")["data"], "00000000")


class StillOnTwoMonitors(StillTestCase, OtherDisplayTestCase):
    LAYOUT = OtherDisplay.TWO_MONITORS

    def test_the_still_screen_covers_both_monitors_and_a_drag_crosses_them(self):
        k = self.start()
        self.driver("move", k.hwnd, 600, 450, 400, 300)
        self.place(-1024, 0, 2048, 768, GREY)
        self.place(-300, 200, 250, 300, BLUE)
        self.place(-50, 250, 250, 200, ORANGE)
        before = screen_image()
        window = self.open_still(k, before, (-900, 600))
        self.assertEqual(self.driver("rect", window)["rect"], [-1024, 0, 1024, 768])
        self.move(-200, 220)
        xdotool("mousedown", 1)
        self.move(0, 300)
        self.move(150, 420)
        self.wait_undimmed(before, (-195, 225))
        self.wait_undimmed(before, (145, 415))
        self.wait_dimmed(before, (-290, 490))
        screenshot("still-selection-two-monitors")
        xdotool("mouseup", 1)
        self.finish(k, window)
        self.assertEqual(self.clip_size(), (350, 200))
        expected = before.crop((*x_point(-200, 220), *x_point(150, 420)))
        self.assertTrue(same_image(self.driver.clip_image(), expected))
