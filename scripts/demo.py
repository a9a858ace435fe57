#!/usr/bin/python3
"""Runs Kelvo on a virtual display: starts it, captures the desktop with
its desktop command, and saves a screenshot of the main window showing the
capture. Prints the screenshot's path.

  demo.py STATE_DIR BIN_DIR
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import env as wineenv  # noqa: E402


def main():
    state, bindir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    wine = wineenv.use_own_environment(state, bindir)
    import harness
    driver = harness.Driver()
    try:
        # Something to capture: Wine's Notepad with a Japanese line in it.
        notepad, _ = harness.open_notepad(
            driver, os.path.join(state, "capture-me.txt"),
            "Kelvo のデモ: このウィンドウが画面キャプチャに写ります。", timeout=20)
        kelvo = harness.Kelvo(driver, bindir, cwd=state)
        main_window = kelvo.wait_main()
        driver("send", main_window, 0x0005, 0, 0)  # a harmless round trip
        driver.send_command(main_window, 40014)
        harness.wait_until(lambda: driver.clip_bitmap(), 10, what="the captured picture")
        # The paint that shows the picture enables the Save button. (A paint
        # that runs while another program holds the clipboard finds no
        # picture, so ask for a fresh one now that the clipboard is free.)
        driver("invalidate", main_window)
        harness.wait_until(lambda: driver.toolbar(main_window)[40008]["enabled"], 10,
                           what="the paint of the picture")
        left, top, right, bottom = driver.state(main_window)["rect"]
        shot = harness.screenshot("kelvo-screen")
        out = os.path.join(state, "kelvo-main-window.png")
        subprocess.run(["/usr/bin/convert", shot, "-crop",
                        f"{right - left}x{bottom - top}+{left}+{top}", "+repage", out], check=True)
        kelvo.stop()
        notepad.kill()
        print(out)
        return 0
    finally:
        driver.close()
        wineenv.cleanup(wine, quiet=True)


if __name__ == "__main__":
    sys.exit(main())
