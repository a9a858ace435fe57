"""The main window: settings, toggles, menu and toolbar states, delete,
output target, notification icon, file drops, picture display and the
About box."""
import os
import shutil
import tempfile

from PIL import Image

import harness
from harness import (KelvoTestCase, wait_until, settled_screenshot, screen_image,
                     xdotool, winpath, ARTIFACTS)
import xdnd

WM_USER = 0x0400
WM_KEYDOWN = 0x0100
WM_HSCROLL = 0x0114
WM_VSCROLL = 0x0115
WM_MOUSEWHEEL, WM_MOUSEHWHEEL = 0x020A, 0x020E
WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020
WM_LBUTTONDBLCLK = 0x0203
WM_RBUTTONDOWN = 0x0204
SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, SB_THUMBPOSITION = 1, 2, 3, 4
VK_PRIOR, VK_NEXT = 0x21, 0x22
REG_SZ, REG_BINARY, REG_DWORD = 1, 3, 4
DESKTOP_KEY = r"Control Panel\Desktop"

NOTIFY = WM_USER + 1
FIXTURES = os.path.join(os.environ.get("KELVO_SOURCE_DIR", "../.."), "tests", "fixtures")


def menu_items(driver, hwnd):
    """{command id: item} over the whole menu bar, as the user would see it
    on opening each popup."""
    found = {}

    def walk(items):
        for item in items or []:
            if item["id"] > 0:
                found[item["id"]] = item
            walk(item.get("items"))
    walk(driver("probe", hwnd, 1)["result"]["items"])
    return found


def coded_picture(width, height):
    """A picture whose every pixel tells where it is."""
    im = Image.new("RGB", (width, height))
    px = im.load()
    for y in range(height):
        for x in range(width):
            px[x, y] = (x & 255, y & 255, ((x >> 8) << 4) | (y >> 8))
    return im


def decode(rgb):
    r, g, b = rgb
    return ((b >> 4) << 8) | r, ((b & 15) << 8) | g


class SettingsStore(KelvoTestCase):
    EXPECTED = {  # name: (type, bytes)
        "PREVIEW": (REG_BINARY, "00000000"), "SCALE": (REG_BINARY, "64000000"),
        "SHOWPRINT": (REG_BINARY, "00000000"), "READPRT": (REG_BINARY, "00000000"),
        "OPEN": (REG_DWORD, "01000000"), "ICONIC": (REG_BINARY, "00000000"),
        "SHIFT": (REG_DWORD, "01000000"), "CTRL": (REG_DWORD, "01000000"),
        "KEY": (REG_DWORD, "7800"), "STILLSELECT": (REG_DWORD, "01000000"),
        # The output choices beside them: printer, no serial files, BMP,
        # no compression, JPEG quality 90, empty folder and prefix.
        "OUTPUT": (REG_DWORD, "00000000"), "SERIAL": (REG_DWORD, "00000000"),
        "FORMAT": (REG_DWORD, "00000000"), "COMPRESS": (REG_DWORD, "00000000"),
        "QUALITY": (REG_DWORD, "5a000000"),
        "FOLDER": (REG_SZ, "00"), "PREFIX": (REG_SZ, "00"),  # as the driver reads them
        "CURSOR": (REG_DWORD, "00000000"),  # the pointer left out of grabs
    }

    def values(self):
        return {v["name"]: (v["type"], v["data"]) for v in self.driver.reg_values()["values"]}

    def test_first_start_writes_every_value_with_its_type_and_length(self):
        self.driver("reg_del_key")
        k = self.start()
        self.assertEqual(self.values(), {})
        self.assertEqual(k.stop(), 0)
        self.assertEqual(self.values(), self.EXPECTED)

    def test_the_pointer_option_is_kept_for_the_next_start(self):
        self.driver("reg_del_key")
        k = self.start()
        self.assertFalse(menu_items(self.driver, k.hwnd)[40111]["checked"])
        self.driver.send_command(k.hwnd, 40111)
        self.assertTrue(menu_items(self.driver, k.hwnd)[40111]["checked"])
        self.assertEqual(k.stop(), 0)
        self.assertEqual(self.values()["CURSOR"], (REG_DWORD, "01000000"))
        k = self.start()
        self.assertTrue(menu_items(self.driver, k.hwnd)[40111]["checked"])

    def test_output_choices_come_back_at_the_next_start(self):
        self.driver("reg_del_key")
        folder = tempfile.mkdtemp(prefix="連続-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, folder, True)
        k = self.start()
        self.driver.post_command(k.hwnd, 40009)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        for button in (1010, 1032, 1018):  # serial files, RLE8, PNG
            self.driver("press", dialog, button)
        self.driver("set_text", dialog, 1003, winpath(folder))
        self.driver("set_text", dialog, 1002, "写真")
        self.driver("click", dialog, 1)
        self.driver("wait_gone", dialog, 10000)
        self.assertEqual(k.stop(), 0)
        v = self.values()
        self.assertEqual({n: v[n] for n in ("OUTPUT", "SERIAL", "FORMAT", "COMPRESS")},
                         {n: (REG_DWORD, "01000000") for n in ("OUTPUT", "SERIAL", "FORMAT",
                                                                "COMPRESS")})
        # The texts in UTF-16.
        self.assertEqual(self.text("FOLDER"), winpath(folder))
        self.assertEqual(self.text("PREFIX"), "写真")
        # The nine keep their names, types and values.
        self.assertEqual({n: v[n] for n in ("PREVIEW", "SCALE", "KEY", "OPEN")},
                         {n: self.EXPECTED[n] for n in ("PREVIEW", "SCALE", "KEY", "OPEN")})

        k = self.start()
        items = menu_items(self.driver, k.hwnd)
        self.assertTrue(items[40009]["checked"])
        self.assertFalse(items[40010]["checked"])
        # The capture-and-output writes the first serial file, not a page.
        self.driver.send_command(k.hwnd, 40001, 1)
        wait_until(lambda: os.listdir(folder), 30, what="the serial file")
        self.assertEqual(os.listdir(folder), ["写真0001.PNG"])
        self.driver.post_command(k.hwnd, 40009)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        settled_screenshot("serial-dialog-restored")
        for control, check in [(1010, 1), (1018, 1), (1032, 1), (1034, 0)]:
            self.assertEqual(self.driver("control", dialog, control)["check"], check, control)
        self.assertEqual(self.driver("control", dialog, 1003)["text"], winpath(folder))
        self.assertEqual(self.driver("control", dialog, 1002)["text"], "写真")
        self.driver("click", dialog, 2)
        self.driver("wait_gone", dialog, 10000)
        self.assertEqual(k.stop(), 0)

        # A folder and prefix that code page 932 cannot name, stored as
        # earlier versions store them, are used as they are and survive a
        # run unchanged.
        os.mkdir(os.path.join(folder, "한글 🦜"))
        other = winpath(folder) + "\\한글 🦜"
        self.driver("reg_set_w", "FOLDER", REG_SZ, (other + "\0").encode("utf-16-le").hex())
        self.driver("reg_set_w", "PREFIX", REG_SZ, ("𠮷" + "\0").encode("utf-16-le").hex())
        k = self.start()
        self.assertTrue(menu_items(self.driver, k.hwnd)[40009]["checked"])
        self.driver.send_command(k.hwnd, 40001, 1)
        wait_until(lambda: os.listdir(os.path.join(folder, "한글 🦜")), 30, what="the serial file")
        self.assertEqual(os.listdir(os.path.join(folder, "한글 🦜")), ["𠮷0001.PNG"])
        self.assertEqual(k.stop(), 0)
        self.assertEqual(self.text("FOLDER"), other)
        self.assertEqual(self.text("PREFIX"), "𠮷")
        self.assertEqual(self.values()["SERIAL"], (REG_DWORD, "01000000"))

    def text(self, name):
        """A REG_SZ value of Kelvo's key as stored, in UTF-16."""
        value = self.driver("reg_get_w", name)
        self.assertEqual(value["type"], REG_SZ)
        data = bytes.fromhex(value["data"])
        self.assertEqual(data[-2:], b"\0\0")
        return data[:-2].decode("utf-16-le")

    def test_preview_stored_as_dword_reads_off_and_is_written_back_binary(self):
        self.driver("reg_del_key")
        self.driver("reg_set", "PREVIEW", REG_DWORD, "01000000")
        k = self.start()
        self.assertFalse(menu_items(self.driver, k.hwnd)[40002]["checked"])
        self.assertFalse(self.driver.toolbar(k.hwnd)[40002]["checked"])
        k.stop()
        self.assertEqual(self.values()["PREVIEW"], (REG_BINARY, "00000000"))

    def test_stored_values_are_used_unchecked_and_a_foreign_key_stays(self):
        self.driver("reg_del_key")
        self.driver("reg_set", "KEY", REG_DWORD, "0700")      # not in the key list
        self.driver("reg_set", "SCALE", REG_BINARY, "e8030000")  # 1000 %, no range check
        self.driver("reg_set", "OPEN", REG_DWORD, "2a000000")
        self.driver("reg_set", "SHOWPRINT", REG_BINARY, "01000000")
        k = self.start()
        self.assertTrue(self.driver.toolbar(k.hwnd)[40022]["checked"])
        k.stop()
        v = self.values()
        self.assertEqual(v["KEY"], (REG_DWORD, "0700"))
        self.assertEqual(v["SCALE"], (REG_BINARY, "e8030000"))
        self.assertEqual(v["OPEN"], (REG_DWORD, "2a000000"))
        self.assertEqual(v["SHOWPRINT"], (REG_BINARY, "01000000"))

    def test_iconic_toggled_on_makes_the_next_start_minimised(self):
        self.driver("reg_del_key")
        k = self.start()
        self.assertFalse(self.driver.state(k.hwnd)["iconic"])
        self.driver.send_command(k.hwnd, 40007)
        k.stop()
        self.assertEqual(self.values()["ICONIC"], (REG_BINARY, "01000000"))
        k = self.start()
        self.assertTrue(self.driver.state(k.hwnd)["iconic"])
        self.assertTrue(self.driver.toolbar(k.hwnd)[40007]["checked"])

    def test_a_windows_session_that_ends_keeps_the_settings(self):
        WM_QUERYENDSESSION, WM_ENDSESSION = 0x0011, 0x0016
        self.driver("reg_del_key")
        k = self.start()
        self.driver.send_command(k.hwnd, 40007)
        self.assertNotEqual(self.driver("send", k.hwnd, WM_QUERYENDSESSION, 0, 0)["result"], 0)
        # Another program refused the log-off: the session goes on.
        self.driver("send", k.hwnd, WM_ENDSESSION, 0, 0)
        self.assertEqual(self.values(), {})
        self.driver("send", k.hwnd, WM_ENDSESSION, 1, 0)
        # Windows ends the program without its message loop ending.
        k.kill()
        self.assertEqual(self.values(), {**self.EXPECTED, "ICONIC": (REG_BINARY, "01000000")})


class Toggles(KelvoTestCase):
    def test_toggles_move_menu_check_and_toolbar_button_together(self):
        self.driver("reg_del_key")
        k = self.start()
        for command, button in [(40002, True), (40007, True), (40022, True), (40026, False)]:
            for expected in (True, False):
                self.driver.send_command(k.hwnd, command)
                self.assertEqual(menu_items(self.driver, k.hwnd)[command]["checked"], expected,
                                 command)
                if button:
                    self.assertEqual(self.driver.toolbar(k.hwnd)[command]["checked"], expected,
                                     command)

    def test_zoom_checks_the_menu_but_leaves_its_button_alone(self):
        k = self.start()
        self.driver.send_command(k.hwnd, 40020)
        self.assertTrue(menu_items(self.driver, k.hwnd)[40020]["checked"])
        self.assertFalse(self.driver.toolbar(k.hwnd)[40020]["checked"])
        self.driver.send_command(k.hwnd, 40020)
        self.assertFalse(menu_items(self.driver, k.hwnd)[40020]["checked"])


class Tooltip(KelvoTestCase):
    def test_a_toolbar_button_shows_its_name(self):
        k = self.start()
        # The desktop button, sixth from the left (after two separators).
        x, y = self.driver.state(k.hwnd)["client"][:2]
        xdotool("mousemove", x + 95, y + 10)
        xdotool("mousemove", x + 96, y + 11)
        wait_until(lambda: [t for t in self.driver("windows", "tooltips_class32")["hwnds"]
                            if self.driver.state(t)["visible"]
                            and self.driver.title(t) == "ﾃﾞｽｸﾄｯﾌﾟ"], 10,
                   what="the tooltip of the desktop button")
        xdotool("mousemove", x + 300, y + 300)


class PictureCommands(KelvoTestCase):
    PICTURE_COMMANDS = (40008, 40001, 40020, 40006, 40054)

    def buttons_enabled(self, k):
        states = self.driver.toolbar(k.hwnd)
        return {c: states[c]["enabled"] for c in self.PICTURE_COMMANDS}

    def test_an_empty_clipboard_greys_the_picture_commands(self):
        self.driver("clip_empty")
        k = self.start()
        items = menu_items(self.driver, k.hwnd)
        for command in (40008, 40001, 40006, 40054):
            self.assertTrue(items[command]["grayed"], command)
        self.assertFalse(items[40023]["grayed"])
        self.assertTrue(items[40013]["grayed"] and items[40024]["grayed"])  # no printer settings
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: not any(self.buttons_enabled(k).values()), 10,
                   what="buttons disabled by the paint")
        # A capture brings them back.
        self.driver.send_command(k.hwnd, 40014)
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: all(self.buttons_enabled(k).values()), 10,
                   what="buttons enabled by the paint")
        items = menu_items(self.driver, k.hwnd)
        for command in (40008, 40001, 40006, 40054):
            self.assertFalse(items[command]["grayed"], command)

    def test_delete_empties_a_picture_another_program_put_there(self):
        k = self.start()
        self.driver("clip_put", 50, 40, 0x00FF00)
        self.driver("set_title", k.hwnd, "Kelvo --- SHOT.BMP")
        self.driver.send_command(k.hwnd, 40006)
        self.assertEqual(self.driver("clip_formats")["formats"], [])
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: not any(self.buttons_enabled(k).values()), 10, what="buttons disabled")

    def test_cancelled_file_output_dialog_still_selects_file_output(self):
        k = self.start()
        items = menu_items(self.driver, k.hwnd)
        self.assertTrue(items[40010]["checked"])
        self.assertFalse(items[40009]["checked"])
        self.driver.post_command(k.hwnd, 40009)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        self.driver("click", dialog, 2)
        self.driver("wait_gone", dialog, 10000)
        items = menu_items(self.driver, k.hwnd)
        self.assertTrue(items[40009]["checked"])
        self.assertFalse(items[40010]["checked"])
        self.driver.send_command(k.hwnd, 40010)
        items = menu_items(self.driver, k.hwnd)
        self.assertTrue(items[40010]["checked"])
        self.assertFalse(items[40009]["checked"])


class NotifyIcon(KelvoTestCase):
    def test_double_click_minimises_a_shown_window_and_restores_a_minimised_one(self):
        k = self.start()
        self.driver("send", k.hwnd, NOTIFY, 1, WM_LBUTTONDBLCLK)
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="minimised")
        self.driver("send", k.hwnd, NOTIFY, 1, WM_LBUTTONDBLCLK)
        wait_until(lambda: not self.driver.state(k.hwnd)["iconic"], 10, what="restored")
        self.assertTrue(self.driver.state(k.hwnd)["visible"])

    def test_right_click_restores_and_opens_the_popup_menu_at_the_cursor(self):
        k = self.start()
        self.driver("send", k.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        wait_until(lambda: self.driver.state(k.hwnd)["iconic"], 10, what="minimised")
        xdotool("mousemove", 400, 300)
        wait_until(lambda: self.driver("cursor")["x"] == 400, 5, what="cursor moved")
        self.driver("post", k.hwnd, NOTIFY, 1, WM_RBUTTONDOWN)
        wait_until(lambda: self.driver.find("#32768", "-"), 10, what="the popup menu")
        popup = self.driver("probe", k.hwnd, 3)["result"]
        self.assertEqual(popup["rect"][:2], [400, 300])
        self.assertEqual([i["id"] for i in popup["items"]],
                         [40023, 40008, 40120, 0, 40001, 0, 40014, 40015, 40016, 40110, 0, 40005])
        self.assertEqual([i["text"] for i in popup["items"] if not i["separator"]],
                         ["読込...", "保存...", "編集", "印刷...", "デスクトップ", "ウィンドウ", "矩形",
                          "前回の範囲", "終了"])
        state = self.driver.state(k.hwnd)
        self.assertTrue(state["visible"] and not state["iconic"])
        settled_screenshot("popup-menu")
        xdotool("key", "Escape")
        wait_until(lambda: not self.driver.find("#32768", "-"), 10, what="popup closed")


    def test_icon_is_added_again_when_the_taskbar_is_created_again(self):
        k = self.start()
        self.assertTrue(self.driver("notify_icon", k.hwnd, 1, "modify")["result"])
        # The notification area forgets the icon, as a restarting Explorer's
        # new one has never known it, and announces itself.
        self.assertTrue(self.driver("notify_icon", k.hwnd, 1, "delete")["result"])
        self.assertFalse(self.driver("notify_icon", k.hwnd, 1, "modify")["result"])
        self.driver("broadcast", "TaskbarCreated")
        wait_until(lambda: self.driver("notify_icon", k.hwnd, 1, "modify")["result"], 10,
                   what="the icon back")


class FileDrop(KelvoTestCase):
    def test_two_files_are_ignored_and_one_bmp_is_opened(self):
        k = self.start()
        self.driver("clip_put", 30, 20, 0x0000FF)
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        pal8 = os.path.join(FIXTURES, "bmpsuite", "g", "pal8.bmp")
        rgb24 = os.path.join(FIXTURES, "bmpsuite", "g", "rgb24.bmp")
        self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [pal8, rgb24]))
        # Nothing may change: give a wrongly handled drop time to show.
        self.driver("send", k.hwnd, 0, 0, 0)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.assertEqual(self.driver.clip_bitmap()["width"], 30)

        self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [pal8]))
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- pal8.bmp", 10,
                   what="the dropped file's name in the title")
        info = self.driver.clip_bitmap()
        self.assertEqual((info["width"], info["height"]), (127, 64))
        self.assertEqual(info["palette"], 256)


class Display(KelvoTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tmp = tempfile.mkdtemp(prefix="display-", dir=ARTIFACTS)
        cls.coded = os.path.join(cls.tmp, "coded.bmp")
        coded_picture(1024, 768).save(cls.coded)
        cls.quads = os.path.join(cls.tmp, "quads.bmp")
        q = Image.new("RGB", (200, 100), (255, 0, 0))
        for box, colour in [((100, 0, 200, 50), (0, 255, 0)), ((0, 50, 100, 100), (0, 0, 255)),
                            ((100, 50, 200, 100), (255, 255, 0))]:
            q.paste(colour, box)
        q.save(cls.quads)

    def client_size(self, k, width, height):
        """Sizes the main window so its client area is width x height."""
        for _ in range(5):
            l, t, r, b = self.driver.state(k.hwnd)["rect"]
            cw, ch = self.driver.state(k.hwnd)["client"][2:]
            if (cw, ch) == (width, height):
                return
            self.driver("move", k.hwnd, 0, 0, (r - l) + width - cw, (b - t) + height - ch)
            self.driver("send", k.hwnd, 0, 0, 0)
        self.fail("could not size the client area")

    def scroll(self, k):
        return self.driver("probe", k.hwnd, 2)["result"]

    def view_origin(self, k):
        """Which picture pixel the client area shows at (0, toolbar)."""
        cx, cy = self.driver.state(k.hwnd)["client"][:2]
        top = self.driver("toolbar", k.hwnd)["height"]
        return decode(screen_image().getpixel((cx, cy + top)))

    def start_with_coded_picture(self):
        """Kelvo showing the 1024 x 768 coded picture in a 640 x 480 client
        area; returns it and the vertical range, the picture's height less
        the client area's below the toolbar."""
        self.driver("clip_load", winpath(self.coded))
        k = self.start()
        self.driver("invalidate", k.hwnd)
        # The bars take space from the client area, so size after they show.
        wait_until(lambda: self.scroll(k)["v"]["shown"] and self.scroll(k)["h"]["shown"], 10,
                   what="scroll bars")
        self.client_size(k, 640, 480)
        self.driver("invalidate", k.hwnd)
        vrange = 768 - (480 - self.driver("toolbar", k.hwnd)["height"])
        wait_until(lambda: self.scroll(k)["h"]["max"] == 384 and self.scroll(k)["v"]["max"] == vrange,
                   10, what=f"ranges 384 and {vrange}")
        return k, vrange

    def test_scroll_ranges_steps_and_page_keys_on_a_1024x768_picture(self):
        k, vrange = self.start_with_coded_picture()
        wait_until(lambda: self.view_origin(k) == (0, 0), 10, what="picture at its corner")

        def step(message, request, expect, what, thumb=0):
            self.driver("send", k.hwnd, message, request | (thumb << 16), 0)
            bar = "h" if message == WM_HSCROLL else "v"
            self.assertEqual(self.scroll(k)[bar]["pos"], expect, what)

        page = vrange // 10
        step(WM_HSCROLL, SB_PAGEDOWN, 38, "horizontal page step 384 / 10")
        step(WM_VSCROLL, SB_PAGEDOWN, page, f"vertical page step {vrange} / 10")
        step(WM_VSCROLL, SB_LINEDOWN, page + 1, "line step")
        wait_until(lambda: self.view_origin(k) == (38, page + 1), 10, what="view after the steps")
        step(WM_VSCROLL, SB_THUMBPOSITION, vrange, "thumb to the bottom", thumb=vrange)
        step(WM_VSCROLL, SB_THUMBPOSITION, vrange - 20, "thumb 20 above", thumb=vrange - 20)
        self.driver("send", k.hwnd, WM_KEYDOWN, VK_NEXT, 0)
        self.assertEqual(self.scroll(k)["v"]["pos"], vrange, "Page Down stops at the range")
        self.driver("send", k.hwnd, WM_KEYDOWN, VK_PRIOR, 0)
        self.assertEqual(self.scroll(k)["v"]["pos"], vrange - page)
        wait_until(lambda: self.view_origin(k) == (38, vrange - page), 10,
                   what="view a page above the bottom")
        settled_screenshot("main-window-scrolled")
        # Resizing returns the view to the picture's corner, and the thumbs
        # with it.
        self.client_size(k, 600, 400)
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: self.view_origin(k) == (0, 0), 10, what="view back at the corner")
        self.assertEqual(self.positions(k), (0, 0))

    def positions(self, k):
        s = self.scroll(k)
        return s["h"]["pos"], s["v"]["pos"]

    def test_wheel_scrolls_and_a_picture_that_fits_never_does(self):
        k, _ = self.start_with_coded_picture()
        cx, cy, w, h = self.driver.state(k.hwnd)["client"]
        xdotool("mousemove", cx + w // 2, cy + h // 2)
        # Three lines of 16 pixels a notch (the system's default); Shift
        # turns the wheel sideways, and so does tilting it (buttons 6, 7).
        for buttons, expected in [(["click", 5], (0, 48)), (["click", 5], (0, 96)),
                                  (["click", 4], (0, 48)),
                                  (["keydown", "shift", "click", 5, "keyup", "shift"], (48, 48)),
                                  (["click", 7], (96, 48)), (["click", 6], (48, 48))]:
            xdotool(*buttons)
            wait_until(lambda: self.positions(k) == expected, 10, what=f"thumbs at {expected}")
        wait_until(lambda: self.view_origin(k) == (48, 48), 10, what="view at (48, 48)")
        # Zoomed and back: view and thumbs at the corner.
        self.driver.send_command(k.hwnd, 40020)
        self.driver.send_command(k.hwnd, 40020)
        wait_until(lambda: self.view_origin(k) == (0, 0), 10, what="view back at the corner")
        self.assertEqual(self.positions(k), (0, 0))

        self.driver("clip_put", 200, 100, 0x00FF00)
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: not self.scroll(k)["v"]["shown"], 10, what="bars switched off")
        xdotool("click", 5)
        self.driver("send", k.hwnd, WM_KEYDOWN, VK_NEXT, 0)
        top = self.driver("toolbar", k.hwnd)["height"]
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: screen_image().getpixel((cx + 5, cy + top + 5)) == (0, 255, 0), 10,
                   what="the picture still at the top")
        self.assertEqual(self.positions(k), (0, 0))

    def desktop_setting(self, name, text):
        """Sets a mouse setting of the user's for the Kelvo started next."""
        saved = self.driver("reg_get", "HKCU", DESKTOP_KEY, name)
        if saved["found"]:
            self.addCleanup(self.driver, "reg_set", "HKCU", DESKTOP_KEY, name, saved["type"],
                            saved["data"] or "-")
        else:
            self.addCleanup(self.driver, "reg_del", "HKCU", DESKTOP_KEY, name)
        self.driver("reg_set", "HKCU", DESKTOP_KEY, name, REG_SZ,
                    (text.encode("ascii") + b"\0").hex())

    def test_parts_of_a_notch_add_up_and_across_goes_by_characters(self):
        # One line a notch down (16 pixels), two characters across (32).
        self.desktop_setting("WheelScrollLines", "1")
        self.desktop_setting("WheelScrollChars", "2")
        k, _ = self.start_with_coded_picture()
        wait_until(lambda: self.view_origin(k) == (0, 0), 10, what="picture at its corner")
        cx, cy, w, h = self.driver.state(k.hwnd)["client"]
        point = (cy + h // 2) << 16 | (cx + w // 2)

        def turn(message, delta):
            self.driver("send", k.hwnd, message, (delta & 0xFFFF) << 16, point)
        # A fine wheel's thirds of a notch down (5 1/3 pixels each) and a
        # touchpad's quarters of a notch to the right, mixed: each bar keeps
        # its own parts, and they add up to one whole notch each.
        for message, delta in [(WM_MOUSEWHEEL, -40), (WM_MOUSEHWHEEL, 30), (WM_MOUSEWHEEL, -40),
                               (WM_MOUSEHWHEEL, 30), (WM_MOUSEWHEEL, -40), (WM_MOUSEHWHEEL, 30),
                               (WM_MOUSEHWHEEL, 30)]:
            turn(message, delta)
        wait_until(lambda: self.view_origin(k) == (32, 16), 10, what="view at (32, 16)")

    def test_zoom_keeps_the_shape_centred_below_the_toolbar_and_smooths(self):
        # A 4:3 picture with an 8-pixel red border round a one-pixel black
        # and white checkerboard. In a view 600 wide and 300 high below the
        # toolbar it is drawn at half size, 400 x 300, 100 pixels in from
        # either side: each screen pixel covers four picture pixels, two
        # black and two white.
        picture = os.path.join(self.tmp, "checks.bmp")
        im = Image.new("RGB", (800, 600), (255, 0, 0))
        px = im.load()
        for y in range(8, 592):
            for x in range(8, 792):
                px[x, y] = (255, 255, 255) if (x + y) & 1 else (0, 0, 0)
        im.save(picture)

        # The window's own background, with nothing to show.
        self.driver("clip_empty")
        k = self.start()
        top = self.driver("toolbar", k.hwnd)["height"]
        self.client_size(k, 600, top + 300)
        self.driver("invalidate", k.hwnd)
        cx, cy, w, h = self.driver.state(k.hwnd)["client"]
        settled_screenshot("main-window-empty")
        background = screen_image().getpixel((cx + 300, cy + top + 150))

        self.driver("clip_load", winpath(picture))
        self.driver.send_command(k.hwnd, 40020)
        self.client_size(k, 600, top + 300)
        self.driver("invalidate", k.hwnd)
        left, right, bottom = 100, 499, top + 299

        def near(c, e, slack=24):
            return all(abs(a - b) <= slack for a, b in zip(c, e))

        def problems():
            im = screen_image()

            def at(x, y):
                return im.getpixel((cx + x, cy + y))
            found = []
            # The border's edges where the rule puts them, the bottom one on
            # the client area's last row, and background outside them.
            for x, y, red in [(left, top + 150, True), (right, top + 150, True),
                              (left - 1, top + 150, False), (right + 1, top + 150, False),
                              (300, top, True), (300, bottom, True),
                              (left + 3, top + 3, True), (right - 3, bottom - 3, True)]:
                if red and not near(at(x, y), (255, 0, 0)):
                    found.append(f"({x}, {y}) is {at(x, y)}, not the red border")
                if not red and at(x, y) != background:
                    found.append(f"({x}, {y}) is {at(x, y)}, not the background {background}")
            # The margins are background through and through.
            for x in (0, 50, 99, 500, 550, 599):
                for y in (top, top + 100, bottom):
                    if at(x, y) != background:
                        found.append(f"margin ({x}, {y}) is {at(x, y)}")
            # The checkerboard comes out grey, not black or white.
            for x in range(120, 480, 40):
                for y in range(top + 20, bottom - 20, 40):
                    if not near(at(x, y), (128, 128, 128), 40):
                        found.append(f"checkerboard at ({x}, {y}) is {at(x, y)}, not grey")
            return found

        last = []

        def drawn():
            last[:] = problems()
            return not last
        try:
            wait_until(drawn, 10, what="the picture fitted, centred and smoothed")
        except AssertionError:
            self.fail("\n".join(last))
        finally:
            settled_screenshot("main-window-zoomed")
        s = self.scroll(k)
        self.assertFalse(s["h"]["shown"] or s["v"]["shown"])


class AboutBox(KelvoTestCase):
    MSINFO = r"Software\Microsoft\Shared Tools\MSInfo"

    def open_about(self, k):
        self.driver.post_command(k.hwnd, 40012)
        return self.driver.wait_window("#32770", "ﾊﾞｰｼﾞｮﾝ情報")

    def test_system_information_button_follows_the_msinfo_path(self):
        before = self.driver("reg_get", "HKLM", self.MSINFO, "Path")
        self.addCleanup(self.restore_msinfo, before)
        self.driver("reg_del", "HKLM", self.MSINFO, "Path")
        k = self.start()
        box = self.open_about(k)
        self.assertEqual(self.driver("control", box, 1020)["text"], "1.10a")
        self.assertFalse(self.driver("control", box, 1026)["enabled"])
        settled_screenshot("about-box")
        self.driver("click", box, 1)
        self.driver("wait_gone", box, 10000)

        notepad = r"C:\windows\notepad.exe"
        self.driver("reg_set", "HKLM", self.MSINFO, "Path", 1,
                    (notepad.encode("ascii") + b"\0").hex())
        box = self.open_about(k)
        self.assertTrue(self.driver("control", box, 1026)["enabled"])
        self.driver("click", box, 1026)
        started = self.driver.wait_window("Notepad", "-", timeout=20)
        self.driver("post", started, 0x0010, 0, 0)  # WM_CLOSE
        self.assertTrue(self.driver.state(box)["visible"], "the About box stays open")
        self.driver("click", box, 2)
        self.driver("wait_gone", box, 10000)

    def restore_msinfo(self, before):
        if before.get("found"):
            self.driver("reg_set", "HKLM", self.MSINFO, "Path", before["type"], before["data"])
        else:
            self.driver("reg_del", "HKLM", self.MSINFO, "Path")


class Help(KelvoTestCase):
    CLASSES = r"Software\Classes"
    KEYS = [r"KelvoTestPage\shell\open\command", r"KelvoTestPage\shell\open",
            r"KelvoTestPage\shell", "KelvoTestPage"]

    def setUp(self):
        super().setUp()
        self.tmp = tempfile.mkdtemp(prefix="help-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.opened = os.path.join(self.tmp, "opened.txt")
        # Web pages open in a recorder of what the shell hands it, not in a
        # browser (there is none here).
        html = self.CLASSES + r"\.html"
        before = self.driver("reg_get", "HKLM", html, "")
        if before["found"]:
            self.addCleanup(self.driver, "reg_set", "HKLM", html, "", before["type"], before["data"])
        else:
            self.addCleanup(self.driver, "reg_del_key", "HKLM", html)
        for key in reversed(self.KEYS):  # clean-ups run last first
            self.addCleanup(self.driver, "reg_del_key", "HKLM", self.CLASSES + "\\" + key)
        recorder = '"%s" record "%s" "%%1"' % (winpath(os.path.join(harness.BIN, "kdriver.exe")),
                                                winpath(self.opened))
        for key, value in [(html, "KelvoTestPage"), (self.CLASSES + "\\" + self.KEYS[0], recorder)]:
            self.driver("reg_set", "HKLM", key, "", 1, (value.encode("ascii") + b"\0").hex())

    def opened_page(self):
        if not os.path.exists(self.opened):
            return None
        with open(self.opened) as f:
            return f.read().strip()

    def test_guide_page_opens_unless_kelvo_hlp_lies_beside_the_program(self):
        k = self.start()
        page = winpath(os.path.join(harness.BIN, "kelvo-help.html"))
        for command in (40055, 40056):  # contents, help on help
            self.driver.post_command(k.hwnd, command)
            self.assertEqual(wait_until(self.opened_page, 20, what="the page opened"), page)
            os.remove(self.opened)
        k.stop()

        # With KELVO.HLP there, the help system is asked as before.
        for name in ("kelvo.exe", "hook.dll", "kelvo-help.html"):
            shutil.copy(os.path.join(harness.BIN, name), self.tmp)
        with open(os.path.join(self.tmp, "KELVO.HLP"), "wb") as f:
            f.write(b"?_\x03\x00")
        k = self.start(exe_dir=self.tmp, cwd=self.tmp)
        self.driver.post_command(k.hwnd, 40055)
        viewer = wait_until(lambda: self.driver("windows", "MS_WINHELP")["hwnds"], 20,
                            what="the help system")[0]
        self.driver("post", viewer, 0x0010, 0, 0)  # WM_CLOSE
        self.driver("wait_gone", viewer, 10000)
        self.assertFalse(os.path.exists(self.opened))


    def test_a_guide_no_program_opens_is_named_in_a_message(self):
        # .html names a file type that has no program to open it.
        self.driver("reg_set", "HKLM", self.CLASSES + r"\.html", "", 1,
                    (b"KelvoNoViewer\0").hex())
        k = self.start()
        page = winpath(os.path.join(harness.BIN, "kelvo-help.html"))
        self.driver.post_command(k.hwnd, 40055)
        box = self.driver.wait_window("#32770", "Kelvoｴﾗｰ", timeout=20)
        texts = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                    if c["class"] == "Static" and c["text"]], 10, what="text")
        self.assertIn(f"( {page} )", texts[0])
        settled_screenshot("help-not-opened")
        self.driver("click", box, 1)  # IDOK
        self.driver("wait_gone", box, 10000)
        self.assertFalse(os.path.exists(self.opened))


class Screenshots(KelvoTestCase):
    def test_main_window_with_a_picture_and_the_customisation_dialog(self):
        k = self.start()
        self.driver.send_command(k.hwnd, 40014)
        self.driver("invalidate", k.hwnd)
        wait_until(lambda: self.driver.toolbar(k.hwnd)[40008]["enabled"], 10, what="paint")
        settled_screenshot("main-window-with-picture")
        self.driver.post_command(k.hwnd, 40059)
        dialog = wait_until(lambda: [h for h in self.driver("windows", "#32770")["hwnds"]
                                     if self.driver.state(h)["visible"]], 10,
                            what="the customisation dialog")[0]
        lists = [c for c in self.driver("children", dialog)["children"] if c["class"] == "ListBox"]
        self.assertEqual(len(lists), 2, "available and current buttons")
        settled_screenshot("toolbar-customisation")
        self.driver("post", dialog, 0x0010, 0, 0)
        self.driver("wait_gone", dialog, 10000)
