"""The snapshot timer: the countdown in the title from the interval down
to 1, the shot after it and the next one counted from the end of the shot,
the countdown taken out of the title when the timer stops, no interval of
0, no counting while dialog 135 is open, the 16-bit interval, and the
toolbar button and menu check that follow the enabled flag."""
import time

from harness import click_arrow, settled_screenshot, wait_until
from triggers import SNAPSHOT, TriggerTestCase, countdown_values, title_log

ENABLE = 1028
INTERVAL = 1029
SPIN = 1030
IDOK = 1
IDCANCEL = 2
TITLE = "ｽﾅｯﾌﾟｼｮｯﾄの設定"


def menu_item(items, command):
    for item in items:
        if item["id"] == command:
            return item
        found = menu_item(item.get("items") or [], command)
        if found:
            return found
    return None


class SnapshotTimer(TriggerTestCase):
    def setUp(self):
        super().setUp()
        self.k = self.start_with_file_output()
        title_log(self.driver, self.k.hwnd)  # starts the record of titles

    def open_dialog(self):
        self.driver.post_command(self.k.hwnd, SNAPSHOT)
        return self.driver.wait_window("#32770", TITLE)

    def configure(self, interval=None, toggle=False, button=IDOK):
        dialog = self.open_dialog()
        if toggle:
            self.driver("press", dialog, ENABLE)
        if interval is not None:
            self.driver("set_text", dialog, INTERVAL, str(interval))
        self.driver("click", dialog, button)
        self.driver("wait_gone", dialog, 10000)

    def states(self):
        """(toolbar button pressed, menu item checked) of command 40053."""
        button = self.driver.toolbar(self.k.hwnd, (SNAPSHOT,))[SNAPSHOT]["checked"]
        menu = self.driver("probe", self.k.hwnd, 1)["result"]["items"]
        return button, menu_item(menu, SNAPSHOT)["checked"]

    def record(self, until, timeout=90, raw=False):
        """Titles given to the main window until until(titles) holds; the
        countdown titles as their values unless raw."""
        titles = []

        def done():
            got = title_log(self.driver, self.k.hwnd)
            titles.extend(got if raw else countdown_values(got))
            return until(titles)
        wait_until(done, timeout, interval=0.3, what="the snapshot titles")
        return titles

    def test_interval_0_is_refused_3_counts_3_2_1_and_the_countdown_goes_when_stopped(self):
        self.assertEqual(self.states(), (False, False))
        # On with no interval: refused with a message, the dialog stays.
        dialog = self.open_dialog()
        self.driver("press", dialog, ENABLE)
        self.driver("set_text", dialog, INTERVAL, "0")
        self.driver("click", dialog, IDOK)
        box = self.driver.wait_window("#32770", "Kelvo")
        self.assertEqual(wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                             if c["class"] == "Static" and c["text"]], 10),
                         ["ｽﾅｯﾌﾟｼｮｯﾄを有効にするときは、\n1 秒以上の間隔を入力してください。"])
        settled_screenshot("snapshot-interval-refused")
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.assertTrue(self.driver.state(dialog)["visible"])
        self.assertEqual(self.states(), (False, False))
        self.driver("set_text", dialog, INTERVAL, "3")
        self.driver("click", dialog, IDOK)
        self.driver("wait_gone", dialog, 10000)
        self.assertEqual(self.states(), (True, True))

        titles = self.record(lambda t: t.count("Kelvo --- SHOT0002.BMP") == 1)
        # The grab resets the title to "Kelvo", the file output names the
        # file; the countdown starts again from 3 after that.
        shot = ["Kelvo", "Kelvo --- SHOT0001.BMP"]
        self.assertEqual(titles[:10], [3, 2, 1] + shot + [3, 2, 1, "Kelvo", "Kelvo --- SHOT0002.BMP"])
        # Off again: the button and the check follow, the shots stop and
        # the title names the last file again.
        self.configure(toggle=True)
        self.assertEqual(self.states(), (False, False))
        count = len(self.files())
        # The dialog is gone a moment before its command has finished.
        wait_until(lambda: self.driver.title(self.k.hwnd) == "Kelvo --- " + self.files()[-1], 10,
                   what="the last file's name in the title")
        title_log(self.driver, self.k.hwnd)
        time.sleep(4.5)  # longer than the interval: nothing may happen
        self.assertEqual(title_log(self.driver, self.k.hwnd), [])
        self.assertEqual(len(self.files()), count)

    def test_nothing_counts_while_the_dialog_is_open(self):
        self.configure(interval=3, toggle=True)
        self.record(lambda t: t[-1:] == [2])
        dialog = self.open_dialog()
        title_log(self.driver, self.k.hwnd)
        settled_screenshot("snapshot-dialog-enabled")
        self.assertEqual(self.driver("control", dialog, ENABLE)["check"], 1)
        self.assertEqual(self.driver("control", dialog, INTERVAL)["text"], "3")
        self.assertTrue(self.driver("control", dialog, INTERVAL)["enabled"])
        time.sleep(4.5)  # longer than the interval: nothing may count
        self.assertEqual(title_log(self.driver, self.k.hwnd), [])
        self.assertEqual(self.files(), [])
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        # Counting starts again from the whole interval, not from where it
        # stood.
        titles = self.record(lambda t: "Kelvo --- SHOT0001.BMP" in t)
        self.assertEqual(titles[:5], [3, 2, 1, "Kelvo", "Kelvo --- SHOT0001.BMP"])
        self.assertEqual(self.states(), (True, True))

    def test_dialog_shows_the_state_and_keeps_the_low_16_bits(self):
        dialog = self.open_dialog()
        settled_screenshot("snapshot-dialog")
        self.assertEqual(self.driver("control", dialog, ENABLE)["check"], 0)
        self.assertEqual(self.driver("control", dialog, INTERVAL)["text"], "0")
        self.assertFalse(self.driver("control", dialog, INTERVAL)["enabled"])
        self.assertTrue(self.driver("control", dialog, SPIN)["enabled"])
        # The box enables the field; a second click disables it again.
        self.driver("press", dialog, ENABLE)
        self.assertTrue(self.driver("control", dialog, INTERVAL)["enabled"])
        self.driver("press", dialog, ENABLE)
        self.assertFalse(self.driver("control", dialog, INTERVAL)["enabled"])
        self.driver("press", dialog, ENABLE)
        self.driver("set_text", dialog, INTERVAL, "70000")
        self.driver("click", dialog, IDOK)
        self.driver("wait_gone", dialog, 10000)
        titles = self.record(lambda t: len(t) >= 1, raw=True)
        self.assertEqual(titles[0], "Kelvo --- 次のショットまであと 4464秒")
        dialog = self.open_dialog()
        title_log(self.driver, self.k.hwnd)
        self.assertEqual(self.driver("control", dialog, INTERVAL)["text"], "4464")
        # Cancel changes nothing, even after the box was cleared; counting
        # starts from 0 again.
        self.driver("press", dialog, ENABLE)
        self.driver("set_text", dialog, INTERVAL, "5")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        self.assertEqual(self.states(), (True, True))
        self.assertEqual(self.record(lambda t: len(t) >= 2)[:2], [4464, 4463])
        # Off, text that is not a number is taken as 0; the countdown leaves
        # the title and nothing is shown or shot.
        self.configure(interval="abc", toggle=True)
        wait_until(lambda: self.driver.title(self.k.hwnd) == "Kelvo", 10, what="the bare title")
        dialog = self.open_dialog()
        self.assertEqual(self.driver("control", dialog, INTERVAL)["text"], "0")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        title_log(self.driver, self.k.hwnd)
        time.sleep(3)
        self.assertEqual(title_log(self.driver, self.k.hwnd), [])
        self.assertEqual(self.files(), [])

    def test_arrows_step_by_one_past_a_thousand_up_to_the_16_bit_limit(self):
        dialog = self.open_dialog()
        self.driver("press", dialog, ENABLE)
        for typed, up, shown in [("1500", True, "1501"), (None, False, "1500"),
                                 ("65535", True, "65535"), (None, False, "65534")]:
            if typed:
                self.driver("set_text", dialog, INTERVAL, typed)
            click_arrow(self.driver, dialog, SPIN, up)
            wait_until(lambda: self.driver("control", dialog, INTERVAL)["text"] == shown, 10,
                       what=f"{shown} in the field")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
