#!/usr/bin/python3
"""Takes the user guide's screenshots under Wine: the main window with a
picture, each menu, the popup menu and every dialog. Writes them to
docs/images/ (PNG), cropped to what they show.

  scripts/screenshots.py BUILD_DIR
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import env as wineenv  # noqa: E402

OUT = os.path.join(ROOT, "docs", "images")


def main():
    build = os.path.abspath(sys.argv[1])
    state = os.path.join(build, "screenshots")
    os.makedirs(OUT, exist_ok=True)
    wine = wineenv.use_own_environment(state, os.path.join(build, "win-x86_64", "bin"))
    import harness
    from harness import wait_until, xdotool
    driver = harness.Driver()
    shots = Shots(harness, state)
    try:
        # Something to capture: Notepad with a Japanese line.
        notepad, pad = harness.open_notepad(driver, os.path.join(state, "メモ.txt"),
                                            "Kelvo でキャプチャした画面です。")
        driver("move", pad, 40, 60, 520, 300)
        kelvo = harness.Kelvo(driver, cwd=os.path.join(build, "win-x86_64", "bin"))
        hwnd = kelvo.wait_main()
        driver("move", hwnd, 300, 200, 640, 480)
        driver.send_command(hwnd, 40014)
        driver("invalidate", hwnd)
        wait_until(lambda: driver.toolbar(hwnd)[40008]["enabled"], 10, what="paint")
        shots.window(driver, hwnd, "main-window")
        markup_shot(driver, shots, hwnd, wait_until, xdotool)

        left, top = driver.state(hwnd)["rect"][:2]
        menu_y = driver.state(hwnd)["client"][1] - 10
        for name, x in [("menu-file", 25), ("menu-capture", 90), ("menu-output", 165),
                        ("menu-options", 232), ("menu-help", 295)]:
            xdotool("mousemove", left + x, menu_y, "click", "1")
            wait_until(lambda: driver.find("#32768", "-"), 5, what=name)
            shots.region(name, left, top, 480, 360)
            xdotool("key", "Escape", "Escape")
            wait_until(lambda: not driver.find("#32768", "-"), 5, what="menu closed")

        x, y, w, h = driver.state(hwnd)["client"]
        xdotool("mousemove", x + 200, y + 150, "click", "3")
        wait_until(lambda: driver.find("#32768", "-"), 5, what="popup")
        shots.region("popup-menu", x + 150, y + 100, 260, 260)
        xdotool("key", "Escape")
        wait_until(lambda: not driver.find("#32768", "-"), 5, what="popup closed")

        for command, title, name in [
                (40009, "ﾌｧｲﾙ連続生成", "dialog-serial-output"),
                (40011, "ｷｰの指定", "dialog-capture-key"),
                (40053, "ｽﾅｯﾌﾟｼｮｯﾄの設定", "dialog-snapshot"),
                (40057, "矩形範囲指定", "dialog-fixed-range"),
                (40004, "倍率の設定", "dialog-scale"),
                (40012, "ﾊﾞｰｼﾞｮﾝ情報", "dialog-about")]:
            driver.post_command(hwnd, command)
            dialog = driver.wait_window("#32770", title, timeout=20)
            shots.window(driver, dialog, name)
            driver("click", dialog, 2)
            driver("wait_gone", dialog, 10000)

        # The rectangle selection on the still screen, dragged over Notepad's
        # text, with the magnifier beside the cursor.
        driver.post_command(hwnd, 40016)
        still = driver.wait_window("StillWindow", "StillWindow", timeout=20)
        wait_until(lambda: driver.state(still)["visible"], 10, what="still screen")
        xdotool("mousemove", 70, 110, "mousedown", "1")
        xdotool("mousemove", 200, 160)
        xdotool("mousemove", 330, 200)
        shots.region("still-selection", 0, 40, 640, 360)
        xdotool("key", "Escape")
        xdotool("mouseup", "1")
        driver("wait_gone", still, 10000)
        wait_until(lambda: driver.state(hwnd)["visible"], 10, what="main window back")

        driver.post_command(hwnd, 40059)
        dialog = wait_until(lambda: [d for d in driver("windows", "#32770")["hwnds"]
                                     if driver.state(d)["visible"]], 10, what="customise")[0]
        shots.window(driver, dialog, "dialog-toolbar")
        driver("post", dialog, 0x0010, 0, 0)
        driver("wait_gone", dialog, 10000)
        kelvo.stop()
        notepad.kill()
        return 0
    finally:
        driver.close()
        wineenv.cleanup(wine, quiet=True)


def markup_shot(driver, shots, hwnd, wait_until, xdotool):
    """The markup editor over the capture: Notepad's line boxed, pointed
    at and highlighted, two step numbers, a note typed in, the clock
    pixelated."""
    driver("move", hwnd, 60, 120, 900, 600)
    driver.post_command(hwnd, 40120)

    def bar():
        return [c for c in driver("children", hwnd)["children"] if c["id"] == 1200]
    wait_until(bar, 10, what="the editor")
    driver("send", hwnd, 0, 0, 0)
    ox, oy = driver.state(hwnd)["client"][0], bar()[0]["rect"][3]

    def use(command, *points):
        driver.post_command(hwnd, command)
        driver("send", hwnd, 0, 0, 0)
        if not points:
            return
        x, y = points[0]
        xdotool("mousemove", ox + x, oy + y, "mousedown", "1")
        for x, y in points[1:]:
            xdotool("mousemove", ox + x, oy + y)
        xdotool("mouseup", "1")
        driver("send", hwnd, 0, 0, 0)

    use(40141)                                    # 4 pixels wide
    use(40125, (42, 102), (200, 120), (290, 126))  # rectangle round the line
    use(40140)                                    # 2 pixels wide
    use(40124, (470, 220), (400, 170), (296, 122))  # arrow to it
    use(40135)                                    # yellow, 8 pixels wide
    use(40142)
    use(40122, (50, 113), (150, 113), (240, 113))  # highlighter
    use(40132)                                    # red, 2 pixels wide
    use(40140)
    use(40129, (30, 102))                         # step numbers
    use(40129, (488, 232))
    use(40127, (504, 220))                        # a note
    # The first character typed after the click can be lost on the way.
    xdotool("type", "--delay", "80", " この行を確認")
    xdotool("key", "ctrl+Return")
    use(40128, (6, 4), (160, 40))                 # mosaic over the tray window
    driver("send", hwnd, 0, 0, 0)
    shots.window(driver, hwnd, "markup-editor")
    xdotool("key", "Escape")
    wait_until(lambda: not bar(), 10, what="the editor closed")
    driver("move", hwnd, 300, 200, 640, 480)


class Shots:
    def __init__(self, harness, state):
        self.harness = harness
        self.state = state

    def window(self, driver, hwnd, name):
        l, t, r, b = driver.state(hwnd)["rect"]
        self.region(name, l, t, r - l, b - t)

    def region(self, name, x, y, w, h):
        full = self.harness.settled_screenshot("full-" + name)
        out = os.path.join(OUT, name + ".png")
        subprocess.run(["/usr/bin/convert", full, "-crop", f"{w}x{h}+{max(x, 0)}+{max(y, 0)}",
                        "+repage", "-strip", out], check=True)
        print(out)


if __name__ == "__main__":
    sys.exit(main())
