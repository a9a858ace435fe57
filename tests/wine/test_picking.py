"""Picking with the mouse: a window or a control under the cursor, a dragged
rectangle in the selection window or in the main window, and the fixed
capture range with its dialog. Real mouse and keyboard input from xdotool."""
import subprocess

from PIL import ImageChops

from printing import menu_item
from harness import (KelvoTestCase, WINE, assert_pause, capture_pause, wait_until, wine_environ,
                     screenshot, settled_screenshot, screen_image, unmanaged, xdotool)

WINDOW = 40015
RECTANGLE = 40016
LAST_REGION = 40110
FIXED_RANGE = 40057
DESKTOP = 40014
IDOK, IDCANCEL = 1, 2
WM_SYSCOMMAND, SC_CLOSE = 0x0112, 0xF060
RANGE_TITLE = "矩形範囲指定"
ENABLE, LEFT, TOP, WIDTH, HEIGHT, HORZ, VERT = 1038, 1034, 1033, 1035, 1036, 1044, 1045

BLUE, ORANGE, GREEN, GREY = 0x3366CC, 0xFF8000, 0x20A040, 0x606060
PICK_HINT = "ｳｨﾝﾄﾞｳ選択: この中で左ボタンを押し、取り込むウィンドウまでドラッグしてください"


def same_image(a, b):
    return a.size == b.size and ImageChops.difference(a, b).getbbox() is None


class PickingTestCase(KelvoTestCase):
    def setUp(self):
        super().setUp()
        self.programs = []

    def tearDown(self):
        for p in self.programs:
            p.kill()
            p.wait()
        # No button may stay down for the next test.
        xdotool("mouseup", 1)
        super().tearDown()

    def client_point(self, k, dx=150, dy=150):
        left, top = self.driver.state(k.hwnd)["client"][:2]
        return left + dx, top + dy

    def shown_normally(self, k):
        state = self.driver.state(k.hwnd)
        return state["visible"] and not state["iconic"]

    def wait_shown_normally(self, k):
        wait_until(lambda: self.shown_normally(k), 15, what="the main window shown normally")

    def wait_iconic(self, k):
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="the main window minimised")

    def put_marker_picture(self):
        """A 7 x 5 picture on the clipboard that no grab here can produce."""
        self.driver("clip_put", 7, 5, 0x123456)

    def clip_size(self):
        info = self.driver.clip_bitmap()
        return (info["width"], info["height"]) if info else None

    def assert_clip_size(self, size):
        """Called only once the grab is over: the driver's clipboard reads
        must not race with the grab, whose one attempt to open the clipboard
        fails while another program holds it."""
        self.assertEqual(self.clip_size(), size)

    def menu_checked(self, k, command):
        def find(items):
            for item in items:
                if item.get("id") == command:
                    return item
                found = find(item.get("items", []))
                if found:
                    return found
            return None
        item = find(self.driver("probe", k.hwnd, 1)["result"]["items"])
        self.assertIsNotNone(item, f"menu item {command}")
        return item["checked"]


class WindowPick(PickingTestCase):
    def pick(self, k, target_points):
        """Command 40015, a press in the main window, moves, a release."""
        self.driver.send_command(k.hwnd, WINDOW)
        x, y = self.client_point(k, 690, 450)

        # The press must reach the main window: Wine sees the pointer only
        # over a window of its own, which may be mapped a moment after it
        # is shown again; moved until Wine has the pointer there.
        def pointer_over_window():
            xdotool("mousemove", x + 1, y)
            xdotool("mousemove", x, y)
            cursor = self.driver("cursor")
            return (cursor["x"], cursor["y"]) == (x, y)
        wait_until(pointer_over_window, 10, what="the pointer over the main window")
        xdotool("mousedown", 1)
        self.wait_iconic(k)
        for p in target_points:
            xdotool("mousemove", *p)

    def test_pick_grabs_exactly_the_window_under_the_cursor(self):
        k = self.start()
        self.place(790, 100, 200, 150, BLUE)
        # A second window next to it must not be taken.
        self.place(790, 260, 100, 60, ORANGE)
        self.put_marker_picture()
        before = screen_image()
        self.pick(k, [(820, 280), (850, 140), (860, 150)])
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)
        self.assert_clip_size((200, 150))
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        picture = self.driver.clip_image()
        self.assertTrue(same_image(picture, before.crop((790, 100, 990, 250))))
        # The flashed frames were inverted twice: nothing is left of them.
        after = screen_image()
        self.assertTrue(same_image(after.crop((768, 0, 1024, 768)), before.crop((768, 0, 1024, 768))))

    def test_title_says_what_to_do_and_a_frame_shows_the_window_under_the_cursor(self):
        k = self.start()
        self.place(790, 100, 200, 150, BLUE)
        self.place(790, 300, 100, 60, ORANGE)
        self.driver("set_title", k.hwnd, "Kelvo --- SHOT0001.BMP")
        before = screen_image()

        def inverted(p):
            return screen_image().getpixel(p) == tuple(255 - c for c in before.getpixel(p))

        self.driver.send_command(k.hwnd, WINDOW)
        self.assertEqual(self.driver.title(k.hwnd), PICK_HINT)
        settled_screenshot("window-pick-hint")
        self.pick(k, [(850, 150), (860, 160)])
        # A frame 4 pixels wide along the inside of the window's edges
        # stays on the screen while the cursor is over it.
        wait_until(lambda: inverted((790, 175)), 10, what="the frame around the blue window")
        screenshot("window-pick-frame")
        shown = screen_image()
        for p in [(793, 175), (986, 175), (890, 100), (890, 249)]:
            self.assertEqual(shown.getpixel(p), tuple(255 - c for c in before.getpixel(p)), p)
        for p in [(794, 175), (985, 175), (890, 104), (890, 245)]:
            self.assertEqual(shown.getpixel(p), before.getpixel(p), p)
        # Onto the other window: the frame follows.
        xdotool("mousemove", 820, 330)
        wait_until(lambda: inverted((790, 330)) and not inverted((790, 175)), 10,
                   what="the frame moved to the orange window")
        screenshot("window-pick-frame-moved")
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)
        # The frame is gone before the grab and from the screen.
        self.assert_clip_size((100, 60))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((790, 300, 890, 360))))
        after = screen_image()
        self.assertTrue(same_image(after.crop((768, 0, 1024, 768)), before.crop((768, 0, 1024, 768))))
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")

        # A pick that ends without a grab gives the title back.
        self.driver("set_title", k.hwnd, "Kelvo --- SHOT0002.BMP")
        self.pick(k, [(850, 150)])
        wait_until(lambda: inverted((790, 175)), 10, what="the frame around the blue window")
        self.driver.post_command(k.hwnd, 40004)  # a dialog takes the mouse
        dialog = self.driver.wait_window("#32770", "倍率の設定", 10)
        self.wait_shown_normally(k)
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        xdotool("mouseup", 1)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- SHOT0002.BMP")
        wait_until(lambda: not inverted((790, 175)), 10, what="the frame erased")

    def test_a_window_past_the_screen_edge_is_grabbed_as_far_as_it_shows(self):
        k = self.start()
        self.place(800, 650, 150, 200, BLUE)
        self.place(900, 700, 30, 30, ORANGE)
        before = screen_image()
        self.put_marker_picture()
        self.pick(k, [(820, 680), (830, 690)])
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)
        self.assert_clip_size((150, 768 - 650))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((800, 650, 950, 768))))

    def test_pick_over_a_dialog_button_grabs_the_button(self):
        k = self.start()
        self.programs.append(subprocess.Popen([WINE, "winver"], env=wine_environ(),
                                              stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL))
        dialog = self.driver.wait_window("#32770", "Wine*", 15)
        button = [c for c in self.driver("children", dialog)["children"]
                  if c["class"] == "Button" and c["id"] == IDOK][0]
        left, top, right, bottom = button["rect"]
        self.put_marker_picture()
        self.pick(k, [((left + right) // 2, top - 30)])
        # The main window is minimised now, so the button can be seen as it
        # is grabbed (the frame is around the dialog, not on the button yet).
        wait_until(lambda: screen_image().getpixel((left + 4, top + 4)) != (0, 0, 0), 10,
                   what="the dialog on the screen")
        reference = screen_image().crop((left, top, right, bottom))
        xdotool("mousemove", (left + right) // 2, (top + bottom) // 2)
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)
        self.assert_clip_size((right - left, bottom - top))
        self.assertTrue(same_image(self.driver.clip_image(), reference))

    def test_release_without_a_move_grabs_nothing(self):
        k = self.start()
        self.put_marker_picture()
        self.driver("set_title", k.hwnd, "Kelvo --- MARKER.BMP")
        self.driver.send_command(k.hwnd, WINDOW)
        xdotool("mousemove", *self.client_point(k))
        xdotool("mousedown", 1)
        self.wait_iconic(k)
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)
        # No window was picked: the rectangle is empty, and the current
        # picture stays (the platform's 1 x 1 stock bitmap is not placed),
        # with the title that names it.
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- MARKER.BMP")
        self.assert_clip_size((7, 5))
        # The program carries on: the next capture works.
        self.driver.send_command(k.hwnd, DESKTOP)
        self.assert_clip_size((1024, 768))
        self.assertIsNone(k.proc.poll())
        self.assertEqual(self.driver("send", k.hwnd, 0, 0, 0)["result"], 0)


class RectangleSelection(PickingTestCase):
    def setUp(self):
        super().setUp()
        # The selection over the moving screen: the still one is switched off.
        self.driver("reg_set", "STILLSELECT", 4, "00000000")

    def scene(self):
        # A backdrop of Wine windows right of the main window: without a
        # window manager the bare X root passes no mouse input to Wine, not
        # even to the window that holds the capture.
        self.place(768, 0, 256, 768, GREY)
        self.place(790, 80, 220, 260, BLUE)
        self.place(880, 200, 120, 200, ORANGE)
        self.place(800, 420, 60, 60, GREEN)
        return screen_image()

    def open_selection(self, k, before):
        self.driver.post_command(k.hwnd, RECTANGLE)
        wait_until(lambda: not self.driver.state(k.hwnd)["visible"], 10,
                   what="the main window hidden")
        selection = self.driver.wait_window("RectWindow", "RectWindow", 10)
        wait_until(lambda: self.driver.state(selection)["visible"], 10,
                   what="the selection window shown")
        # The selection window shows the screen as it was.
        region = (768, 0, 1024, 768)
        wait_until(lambda: same_image(screen_image().crop(region), before.crop(region)), 10,
                   what="the screen seen through the selection window")
        return selection

    def wait_band(self, before, start, end):
        """Waits until the band's left edge is inverted halfway down."""
        x, y = min(start[0], end[0]), (start[1] + end[1]) // 2
        inverted = tuple(255 - c for c in before.getpixel((x, y)))
        wait_until(lambda: screen_image().getpixel((x, y)) == inverted, 10,
                   what=f"the rubber band through ({x}, {y})")

    def finish(self, k, selection, size):
        self.driver("wait_gone", selection, 15000)
        self.wait_shown_normally(k)
        self.assert_clip_size(size)

    def drag(self, k, before, start, end):
        selection = self.open_selection(k, before)
        xdotool("mousemove", *start)
        xdotool("mousedown", 1)
        xdotool("mousemove", (start[0] + end[0]) // 2, (start[1] + end[1]) // 2)
        xdotool("mousemove", *end)
        self.wait_band(before, start, end)
        return selection

    def test_drag_either_way_gives_the_same_picture_without_a_trace_of_the_band(self):
        k = self.start()
        before = self.scene()
        self.driver("set_title", k.hwnd, "Kelvo --- SHOT0001.BMP")
        expected = before.crop((820, 120, 960, 440))

        selection = self.drag(k, before, (820, 120), (960, 440))
        screenshot("rectangle-band-in-progress")
        xdotool("mouseup", 1)
        self.finish(k, selection, (140, 320))
        forward = self.driver.clip_image()
        self.assertTrue(same_image(forward, expected))
        # The main window shows the new picture: its title names no file.
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")

        self.put_marker_picture()
        selection = self.drag(k, before, (960, 440), (820, 120))
        xdotool("mouseup", 1)
        self.finish(k, selection, (140, 320))
        self.assertTrue(same_image(self.driver.clip_image(), forward))
        # No frame is left on the screen.
        after = screen_image()
        self.assertTrue(same_image(after.crop((768, 0, 1024, 768)), before.crop((768, 0, 1024, 768))))

    def test_last_region_is_greyed_until_a_selection_then_grabs_that_rectangle_again(self):
        k = self.start()
        self.assertTrue(menu_item(self.driver, k.hwnd, LAST_REGION)["grayed"])
        before = self.scene()
        selection = self.drag(k, before, (960, 440), (820, 120))
        xdotool("mouseup", 1)
        self.finish(k, selection, (140, 320))
        self.assertFalse(menu_item(self.driver, k.hwnd, LAST_REGION)["grayed"])
        # The screen changes inside the rectangle: the command reads it anew.
        self.place(840, 300, 50, 50, GREEN)
        now = screen_image()
        self.put_marker_picture()
        self.driver.send_command(k.hwnd, LAST_REGION)
        self.wait_shown_normally(k)
        self.assert_clip_size((140, 320))
        self.assertTrue(same_image(self.driver.clip_image(), now.crop((820, 120, 960, 440))))
        self.assertFalse(same_image(self.driver.clip_image(), before.crop((820, 120, 960, 440))))

    def test_click_move_click_selects_with_the_button_up(self):
        k = self.start()
        before = self.scene()
        selection = self.open_selection(k, before)
        xdotool("mousemove", 850, 150, "click", 1)
        # A release after the click does not end the selection: the band now
        # follows the mouse with the button up.
        xdotool("mousemove", 900, 300)
        xdotool("mousemove", 930, 350)
        self.wait_band(before, (850, 150), (930, 350))
        self.assertTrue(self.driver.state(selection)["visible"])
        xdotool("click", 1)
        self.finish(k, selection, (80, 200))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((850, 150, 930, 350))))

    def test_alt_f4_ends_without_a_grab_and_leaves_the_main_window_in_rectangle_mode(self):
        k = self.start()
        before = self.scene()
        self.put_marker_picture()
        selection = self.open_selection(k, before)
        # Start a band, then close the window in the middle of it.
        xdotool("mousemove", 820, 120, "click", 1)
        xdotool("mousemove", 900, 200)
        self.wait_band(before, (820, 120), (900, 200))
        xdotool("key", "alt+F4")
        self.driver("wait_gone", selection, 15000)
        self.wait_shown_normally(k)
        self.assertEqual(self.clip_size(), (7, 5))
        # The selection's quit message ended only its own loop.
        self.assertIsNone(k.proc.poll())

        # The next press in the client area arms the main window's own drag.
        self.arm_main_drag(k)
        self.assertEqual(self.clip_size(), (7, 5))
        scene = self.band_in_main_window()
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)
        self.assert_clip_size((200, 200))
        self.assertTrue(same_image(self.driver.clip_image(), scene.crop((700, 300, 900, 500))))
        after = screen_image()
        self.assertTrue(same_image(after.crop((768, 0, 1024, 768)), before.crop((768, 0, 1024, 768))))
        # That grab was the main window's: its title is reset.
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")


    def abandon_band(self, k, before):
        """A selection closed as Alt+F4 closes it, in the middle of a band
        (a second Alt+F4 typed with xdotool in one test does not reach the
        window here)."""
        selection = self.open_selection(k, before)
        xdotool("mousemove", 820, 120)
        xdotool("click", 1)
        xdotool("mousemove", 900, 200)
        self.wait_band(before, (820, 120), (900, 200))
        self.driver("post", selection, WM_SYSCOMMAND, SC_CLOSE, 0)
        self.driver("wait_gone", selection, 15000)
        self.wait_shown_normally(k)

    def arm_main_drag(self, k):
        """The press in the main window that arms its own rectangle drag."""
        xdotool("mousemove", *self.client_point(k))
        xdotool("click", 1)
        self.wait_iconic(k)

    def band_in_main_window(self):
        """The armed main window's drag from (700, 500) to (900, 300), the
        button still down; returns the screen from before the band.

        Wine hands a press made with the button up to the window holding
        the capture only when it comes through a window of that thread; and
        without a window manager the minimised main window stays mapped
        where it was. So the drag starts on it and ends on the backdrop."""
        scene = screen_image()
        start, end = (700, 500), (900, 300)
        xdotool("mousemove", *start)
        xdotool("mousedown", 1)
        xdotool("mousemove", 800, 400)
        xdotool("mousemove", *end)
        self.wait_band(scene, start, end)
        return scene

    def click_without_a_move(self, k):
        xdotool("mousemove", *self.client_point(k))
        xdotool("mousedown", 1)
        self.wait_iconic(k)
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)

    def test_no_corner_of_an_abandoned_band_is_grabbed(self):
        k = self.start()
        before = self.scene()
        self.put_marker_picture()
        # The main window's own drag: a press (arms) and a click without a
        # move grab nothing.
        self.abandon_band(k, before)
        self.arm_main_drag(k)
        # Soon after the arming press, at the same place: a double click.
        xdotool("click", 1)
        self.wait_shown_normally(k)
        self.assert_clip_size((7, 5))
        # A window pick with no move after an abandoned band: nothing either.
        self.abandon_band(k, before)
        self.driver.send_command(k.hwnd, WINDOW)
        self.click_without_a_move(k)
        self.assert_clip_size((7, 5))

    def test_a_drag_that_loses_the_mouse_ends_without_a_grab(self):
        k = self.start()
        before = self.scene()
        self.put_marker_picture()
        self.abandon_band(k, before)
        self.arm_main_drag(k)
        scene = self.band_in_main_window()
        # A dialog of Kelvo's takes the mouse (here the scale dialog, as a
        # command posted by the notification icon or the DDE service opens
        # one; Wine tells no window when another program takes it).
        self.driver.post_command(k.hwnd, 40004)
        dialog = self.driver.wait_window("#32770", "倍率の設定", 10)
        self.wait_shown_normally(k)
        region = (768, 0, 1024, 768)
        wait_until(lambda: same_image(screen_image().crop(region), scene.crop(region)), 10,
                   what="the band erased")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        xdotool("mouseup", 1)
        self.assert_clip_size((7, 5))
        self.assertFalse(self.driver.state(k.hwnd)["iconic"])
        # Nothing is left of it: the next pick starts afresh.
        self.driver.send_command(k.hwnd, WINDOW)
        xdotool("mousemove", *self.client_point(k))
        xdotool("mousedown", 1)
        self.wait_iconic(k)
        xdotool("mousemove", 820, 440)
        xdotool("mousemove", 830, 450)
        xdotool("mouseup", 1)
        self.wait_shown_normally(k)
        self.assert_clip_size((60, 60))


class FixedCaptureRange(PickingTestCase):
    def open_dialog(self, k):
        self.driver.post_command(k.hwnd, FIXED_RANGE)
        dialog = self.driver.wait_window("#32770", RANGE_TITLE, 10)
        wait_until(lambda: self.driver.state(dialog)["visible"], 10, what="the dialog shown")
        return dialog

    def close_dialog(self, dialog, button):
        self.driver("click", dialog, button)
        self.driver("wait_gone", dialog, 10000)

    def text(self, dialog, control):
        return self.driver("control", dialog, control)["text"]

    def fields(self, dialog):
        return [self.text(dialog, c) for c in (LEFT, TOP, WIDTH, HEIGHT)]

    def enter(self, k, left, top, width, height, toggle=False):
        dialog = self.open_dialog(k)
        if toggle:
            self.driver("press", dialog, ENABLE)
        for control, value in zip((LEFT, TOP, WIDTH, HEIGHT), (left, top, width, height)):
            self.driver("set_text", dialog, control, value)
        self.close_dialog(dialog, IDOK)

    def read_back(self, k):
        dialog = self.open_dialog(k)
        values = self.fields(dialog)
        checked = self.driver("control", dialog, ENABLE)["check"]
        self.close_dialog(dialog, IDCANCEL)
        return values, checked

    def test_dialog_shows_the_display_size_and_starts_disabled_and_empty(self):
        k = self.start()
        dialog = self.open_dialog(k)
        screen = self.driver("screen")
        self.assertEqual((self.text(dialog, HORZ), self.text(dialog, VERT)),
                         (str(screen["width"]), str(screen["height"])))
        self.assertEqual((screen["width"], screen["height"]), (1024, 768))
        self.assertEqual(self.driver("control", dialog, ENABLE)["check"], 0)
        self.assertEqual(self.fields(dialog), ["0", "0", "0", "0"])
        for control in (LEFT, TOP, WIDTH, HEIGHT):
            self.assertFalse(self.driver("control", dialog, control)["enabled"])
        # Ticking the box enables the four fields.
        self.driver("press", dialog, ENABLE)
        for control in (LEFT, TOP, WIDTH, HEIGHT):
            self.assertTrue(self.driver("control", dialog, control)["enabled"])
        screenshot("fixed-range-dialog")
        self.close_dialog(dialog, IDCANCEL)
        self.assertFalse(self.menu_checked(k, FIXED_RANGE))

    def test_cancel_after_toggling_changes_nothing(self):
        k = self.start()
        dialog = self.open_dialog(k)
        self.driver("press", dialog, ENABLE)
        self.driver("set_text", dialog, LEFT, "100")
        self.driver("set_text", dialog, WIDTH, "200")
        self.close_dialog(dialog, IDCANCEL)
        self.assertFalse(self.menu_checked(k, FIXED_RANGE))
        self.assertEqual(self.read_back(k), (["0", "0", "0", "0"], 0))

        # And the other way round: an enabled range stays enabled.
        self.enter(k, 10, 20, 30, 40, toggle=True)
        self.assertTrue(self.menu_checked(k, FIXED_RANGE))
        dialog = self.open_dialog(k)
        self.driver("press", dialog, ENABLE)
        self.assertFalse(self.driver("control", dialog, LEFT)["enabled"])
        self.driver("set_text", dialog, LEFT, "500")
        self.close_dialog(dialog, IDCANCEL)
        self.assertTrue(self.menu_checked(k, FIXED_RANGE))
        self.assertEqual(self.read_back(k), (["10", "20", "30", "40"], 1))

    def test_numbers_are_limited_to_the_screen(self):
        k = self.start()
        cases = [
            ((1000, 700, 100, 100), ["1000", "700", "24", "68"]),
            # Beyond the screen: the origin becomes 0, the extent then counts from 0.
            ((2000, 900, 50, 2000), ["0", "0", "50", "768"]),
            # On the far edge: kept, with nothing left to grab.
            ((1024, 768, 5, 1), ["1024", "768", "0", "0"]),
            ((10, 10, 0, 0), ["10", "10", "0", "0"]),
            # 2^31 and above must not turn into negative numbers.
            ((4294967295, 2147483648, 10, 10), ["0", "0", "10", "10"]),
            ((100, 50, 3000000000, 2147483648), ["100", "50", "924", "718"]),
            # Not numbers: 0; digits are read up to the first other character.
            (("abc", "-5", "12x", ""), ["0", "0", "12", "0"]),
        ]
        for i, (entry, expected) in enumerate(cases):
            with self.subTest(entry=entry):
                self.enter(k, *entry, toggle=i == 0)
                self.assertEqual(self.read_back(k), (expected, 1))
        self.assertTrue(self.menu_checked(k, FIXED_RANGE))

    def test_rectangle_command_grabs_the_range_without_a_selection_window(self):
        unmanaged(self)
        k = self.start()
        self.place(800, 600, 150, 100, BLUE)
        self.place(900, 650, 100, 100, ORANGE)
        before = screen_image()
        self.enter(k, 850, 620, 150, 140, toggle=True)
        self.driver("set_title", k.hwnd, "Kelvo --- SHOT0001.BMP")
        self.put_marker_picture()

        pause, selection_seen = capture_pause(self, k, RECTANGLE, watch="RectWindow")
        assert_pause(self, pause, 500)
        self.assertFalse(selection_seen)
        self.assert_clip_size((150, 140))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((850, 620, 1000, 760))))
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.assertEqual(self.driver("windows", "RectWindow")["hwnds"], [])

        # A range cut at the screen edge grabs what is left of it.
        self.enter(k, 1000, 700, 100, 100)
        self.driver.post_command(k.hwnd, RECTANGLE)
        wait_until(lambda: not self.driver.state(k.hwnd)["visible"], 10,
                   what="the main window hidden")
        self.wait_shown_normally(k)
        self.assert_clip_size((24, 68))
        self.assertTrue(same_image(self.driver.clip_image(), before.crop((1000, 700, 1024, 768))))
