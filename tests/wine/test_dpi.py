"""Scaled displays. At 100 %, 150 % and 200 % (LogPixels 96, 144 and 192)
the text of every dialog control fits the control and no control covers
another (dialogs kept as screenshots); at 150 % and 200 % the toolbar
shows images drawn for the scale, menus are kept as screenshots, and a desktop
capture still has the screen's real pixel size. A move to a monitor of
another scale (WM_DPICHANGED) redraws the toolbar and takes the suggested
place. On one 2048 x 1536 screen (see harness.OtherDisplay), where even the
largest dialog fits at 200 %."""
import os
import tempfile

from PIL import Image

from harness import (OtherDisplay, OtherDisplayTestCase, wait_until, settled_screenshot, xdotool,
                     screen_image, winpath, ARTIFACTS)
from test_main_window import coded_picture, decode

DESKTOP_KEY = r"Control Panel\Desktop"
REG_DWORD = 4
DESKTOP, CUSTOMIZE, ZOOM = 40014, 40059, 40020
WM_HSCROLL, WM_VSCROLL, SB_THUMBPOSITION = 0x0114, 0x0115, 4
DIALOGS = [(40004, "倍率の設定"), (40009, "ﾌｧｲﾙ連続生成"), (40011, "ｷｰの指定"),
           (40012, "ﾊﾞｰｼﾞｮﾝ情報"), (40053, "ｽﾅｯﾌﾟｼｮｯﾄの設定"), (40057, "矩形範囲指定")]
# Where the five menus of the menu bar lie at 100 %.
MENUS = [("file", 25), ("capture", 90), ("output", 165), ("options", 232), ("help", 295)]

SS_TEXT = (0, 1, 2)             # SS_LEFT, SS_CENTER, SS_RIGHT
BS_PUSH = (0, 1)                # BS_PUSHBUTTON, BS_DEFPUSHBUTTON
BS_GROUPBOX = 7


def cut_off(control, dpi):
    """What control (the probe's measure of it) cannot show of its text in
    its own font, or None when it shows all of it."""
    def px(n):
        return round(n * dpi / 96)
    kind, style, text = control["class"].lower(), control["style"], control["text"]
    width, height = control["client"]
    line_width, line_height = control["line"]
    if kind == "static" and style & 0x1F in SS_TEXT and text:
        # Statics wrap: the wrapped text must fit both ways.
        need = control["wrapped"]
    elif kind == "button" and text.strip():
        if style & 0xF in BS_PUSH:
            need = (line_width + px(6), line_height + px(4))   # frame and focus
        elif style & 0xF == BS_GROUPBOX:
            need = (line_width + px(16), line_height)          # the caption in the frame
        else:
            need = (px(16) + line_width, line_height)          # the box or circle, a gap
    elif kind == "edit":
        need = (line_width + px(4), control["font_height"])
    elif kind == "listbox":
        need = (control["widest_item"] + px(2), control["font_height"])
    else:
        return None
    if need[0] > width or need[1] > height:
        return f"{control['text']!r} ({kind} {control['id']}) needs {need}, has {width} x {height}"
    return None


def overlaps(controls, client):
    """Controls that cover one another or reach past the dialog's client
    area. A group box holds the controls wholly inside it; an up-down
    control sits on its edit by design."""
    def inside(a, b):
        return b[0] <= a[0] and b[1] <= a[1] and a[2] <= b[2] and a[3] <= b[3]

    def meet(a, b):
        return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]

    def name(c):
        return f"{c['text']!r} ({c['class'].lower()} {c['id']})"

    shown = [c for c in controls if c["visible"] and c["class"].lower() != "msctls_updown32"]
    faults = [f"{name(c)} reaches past the dialog" for c in shown
              if not inside(c["rect"], [0, 0] + client)]
    for i, a in enumerate(shown):
        for b in shown[i + 1:]:
            ra, rb = a["rect"], b["rect"]
            if not meet(ra, rb):
                continue
            groups = [c for c in (a, b) if c["class"].lower() == "button" and c["style"] & 0xF == BS_GROUPBOX]
            if (a in groups and inside(rb, ra)) or (b in groups and inside(ra, rb)):
                continue
            faults.append(f"{name(a)} {ra} and {name(b)} {rb} cover each other")
    return faults


def partial_item(control):
    """A list box whose last visible item is cut by its bottom edge."""
    if control["class"].lower() != "listbox" or not control["item_height"]:
        return None
    if control["client"][1] % control["item_height"]:
        return (f"list {control['id']}: {control['client'][1]} pixels high shows a part of an item "
                f"{control['item_height']} high")
    return None


class Scales(OtherDisplayTestCase):
    LAYOUT = OtherDisplay.LARGE

    def use_scale(self, dpi):
        """Kelvo started from now on sees the screen at dpi."""
        saved = self.driver("reg_get", "HKCU", DESKTOP_KEY, "LogPixels")
        if saved["found"]:
            self.addCleanup(self.driver, "reg_set", "HKCU", DESKTOP_KEY, "LogPixels",
                            saved["type"], saved["data"])
        else:
            self.addCleanup(self.driver, "reg_del", "HKCU", DESKTOP_KEY, "LogPixels")
        self.driver("reg_set", "HKCU", DESKTOP_KEY, "LogPixels", REG_DWORD,
                    dpi.to_bytes(4, "little").hex())

    def check_scale(self, dpi, image):
        self.use_scale(dpi)
        k = self.start()
        toolbar = self.driver("probe", k.hwnd, 7)["result"]
        self.assertEqual(toolbar["dpi"], dpi)
        self.assertEqual((toolbar["image"], toolbar["count"]), ([image, image], 18))
        self.assertGreater(min(toolbar["button"]), image)
        settled_screenshot(f"dpi{dpi}-main-window")

        left, top = self.driver.state(k.hwnd)["rect"][:2]
        menu_y = self.driver.state(k.hwnd)["client"][1] - round(10 * dpi / 96)
        for name, x in MENUS:
            xdotool("mousemove", left + round(x * dpi / 96), menu_y, "click", "1")
            wait_until(lambda: self.driver.find("#32768", "-"), 5, what=f"the {name} menu")
            settled_screenshot(f"dpi{dpi}-menu-{name}")
            xdotool("key", "Escape", "Escape")
            wait_until(lambda: not self.driver.find("#32768", "-"), 5, what="the menu closed")

        # The system's own customisation dialog, for the record.
        self.driver.post_command(k.hwnd, CUSTOMIZE)
        dialog = wait_until(lambda: [d for d in self.driver("windows", "#32770")["hwnds"]
                                     if self.driver.state(d)["visible"]], 10,
                            what="the customisation dialog")[0]
        settled_screenshot(f"dpi{dpi}-dialog-toolbar")
        self.driver("post", dialog, 0x0010, 0, 0)  # WM_CLOSE
        self.driver("wait_gone", dialog, 10000)

        self.driver("clip_empty")
        self.driver.send_command(k.hwnd, DESKTOP)
        screen = self.driver("screen")
        info = wait_until(self.driver.clip_bitmap, 10, what="the captured desktop")
        self.assertEqual((info["width"], info["height"]), (screen["width"], screen["height"]))
        self.assertEqual((info["width"], info["height"]), (2048, 1536))

    def test_every_dialog_shows_its_text_whole(self):
        # At each scale: every text fits its control in the control's own
        # font, no control covers another, no list shows half an item.
        faults = []
        for dpi in (96, 144, 192):
            self.use_scale(dpi)
            k = self.start()
            for command, title in DIALOGS:
                self.driver.post_command(k.hwnd, command)
                dialog = self.driver.wait_window("#32770", title, 20)
                wait_until(lambda: self.driver.state(dialog)["visible"], 5, what=title)
                fit = self.driver("probe", dialog, 6)["result"]
                self.assertEqual(fit["dpi"], dpi)
                found = [cut_off(c, dpi) for c in fit["controls"]] + [partial_item(c) for c in fit["controls"]]
                found += overlaps(fit["controls"], fit["client"])
                faults += [f"{dpi} dpi, {title}: {f}" for f in found if f]
                # Kept cut to the dialog, to look at.
                shot = settled_screenshot(f"dpi{dpi}-dialog-{command}")
                with Image.open(shot) as im:
                    im.crop(self.driver.state(dialog)["rect"]).save(shot)
                self.driver("click", dialog, 2)
                self.driver("wait_gone", dialog, 10000)
            self.assertEqual(k.stop(), 0)
        self.assertEqual(faults, [], "\n".join(faults))

    def test_150_percent(self):
        self.check_scale(144, 24)

    def test_200_percent(self):
        self.check_scale(192, 32)

    def test_last_row_and_column_scroll_into_view_at_150_and_200_percent(self):
        path = os.path.join(tempfile.mkdtemp(prefix="dpi-", dir=ARTIFACTS), "coded.bmp")
        coded_picture(1024, 768).save(path)
        for dpi in (144, 192):
            with self.subTest(dpi=dpi):
                self.use_scale(dpi)
                self.driver("clip_load", winpath(path))
                k = self.start()
                try:
                    self.driver("move", k.hwnd, 100, 80, 800, 600)
                    self.driver("invalidate", k.hwnd)
                    scroll = lambda: self.driver("probe", k.hwnd, 2)["result"]
                    wait_until(lambda: scroll()["v"]["shown"] and scroll()["h"]["shown"], 10,
                               what="scroll bars")
                    # The thumbs dragged to the ends of their bars.
                    for message, bar in ((WM_HSCROLL, "h"), (WM_VSCROLL, "v")):
                        end = scroll()[bar]["max"]
                        self.driver("send", k.hwnd, message, SB_THUMBPOSITION | end << 16, 0)
                    cx, cy, w, h = self.driver.state(k.hwnd)["client"]
                    top = self.driver("toolbar", k.hwnd)["height"]
                    self.assertGreater(top, 32)  # the toolbar grows with the scale

                    def corners():
                        shot = screen_image()
                        return [decode(shot.getpixel((cx + x, cy + y)))
                                for x, y in ((w - 1, h - 1), (0, h - 1), (w - 1, top))]
                    # The picture's last column at the client area's right edge,
                    # its last row at the bottom edge.
                    wait_until(lambda: corners() == [(1023, 767), (1024 - w, 767),
                                                     (1023, 768 - (h - top))], 10,
                               what="the last row and column at the window's edges")
                    settled_screenshot(f"dpi{dpi}-scrolled-to-the-end")
                finally:
                    # The next scale needs a Kelvo of its own.
                    k.stop()

    def test_move_to_a_monitor_of_another_scale(self):
        k = self.start()
        self.driver("move", k.hwnd, 100, 80, 600, 400)
        for dpi, image in [(192, 32), (96, 16)]:
            # The probe sends WM_DPICHANGED as Windows would, from inside
            # Kelvo, suggesting the window's size scaled from its present
            # scale (which stays 96 under Wine).
            change = self.driver("probe", k.hwnd, 8 | dpi << 8)["result"]
            self.assertEqual(change["rect"], change["suggested"])
            if dpi == 192:
                self.assertEqual(change["rect"], [100, 80, 1300, 880])
            toolbar = self.driver("probe", k.hwnd, 7)["result"]
            self.assertEqual(toolbar["image"], [image, image])
            # Buttons are sized to the images again, also when they shrink.
            self.assertLess(max(toolbar["button"]), image + 12)

    def test_zoomed_picture_fills_the_view_below_a_200_percent_toolbar(self):
        # A tall picture, green along its top and blue along its bottom:
        # zoomed, it takes the whole height between the toolbar (taller at
        # 200 %) and the client area's bottom edge, and half that across.
        path = os.path.join(tempfile.mkdtemp(prefix="dpi-", dir=ARTIFACTS), "tall.bmp")
        im = Image.new("RGB", (300, 600), (255, 0, 0))
        im.paste((0, 255, 0), (0, 0, 300, 8))
        im.paste((0, 0, 255), (0, 592, 300, 600))
        im.save(path)
        self.use_scale(192)
        self.driver("clip_load", winpath(path))
        k = self.start()
        self.driver("move", k.hwnd, 100, 80, 800, 600)
        self.driver.send_command(k.hwnd, ZOOM)
        self.driver("invalidate", k.hwnd)
        cx, cy, w, h = self.driver.state(k.hwnd)["client"]
        top = self.driver("toolbar", k.hwnd)["height"]
        self.assertGreater(top, 32)  # the toolbar grows with the scale
        width = (h - top + 1) // 2
        left = (w - width) // 2

        def edges():
            shot = screen_image()
            return [shot.getpixel((cx + x, cy + y)) for x, y in
                    ((w // 2, top), (w // 2, h - 1), (left, (top + h) // 2),
                     (left + width - 1, (top + h) // 2))]
        wait_until(lambda: edges() == [(0, 255, 0), (0, 0, 255), (255, 0, 0), (255, 0, 0)], 10,
                   what="the top row below the toolbar, the bottom row on the last line")
        shot = screen_image()
        for x in (left - 1, left + width):
            self.assertNotEqual(shot.getpixel((cx + x, cy + (top + h) // 2)), (255, 0, 0))
        settled_screenshot("dpi192-zoomed")
