"""Image plug-ins: where Kelvo looks for them, the order in which it asks
them, how it copes with plug-ins that fail, crash, hang or hand back broken
pictures, its exported SPIInit, LoadPicture and SPIEnd, the open dialog's
filter, and pictures opened through the bundled plug-in ifstb.sph.

Kelvo looks for "*.sph" and "*.spi" in its current directory at start, so
every test starts it in a fresh directory holding the plug-ins it needs.
The plug-ins run in Kelvo's helper process kelvo-spihost.exe. The test
plug-ins (tests/plugins/testspi.cpp) append each call to the file named by
KELVO_SPI_LOG; files they accept start with "KSPI" and the tags of the
plug-ins that accept them. The exported functions are called inside the
running Kelvo by spicall.exe."""
import json
import os
import shutil
import subprocess
import tempfile
import threading

from PIL import Image

import harness
from harness import imagemagick_rgb
from harness import KelvoTestCase, wait_until, winpath, wine_environ, settled_screenshot, BIN, \
    ARTIFACTS, WINE
import xdnd

TEST_PLUGINS = os.path.normpath(os.path.join(BIN, os.pardir, "test-plugins"))
# The same test plug-ins built for 32-bit Windows.
TEST_PLUGINS_32 = os.path.normpath(os.path.join(os.environ.get("KELVO_BIN32", BIN), os.pardir,
                                                "test-plugins"))
MESSAGE, CAPTION = "読込に失敗しました", "Kelvoｴﾗｰ"
IDOK, IDCANCEL = 1, 2
WM_COMMAND, PREVIEW = 0x0111, 40002
FILE_NAME, FILE_TYPES = 1148, 1136
# Colours of the test plug-ins' pictures (tests/plugins/test_plugins.cmake).
COLOUR = {"a": (255, 0, 0), "b": (0, 255, 0), "bad": (255, 255, 0)}
PLACED = (0xFF, 0x00, 0xFF)  # the picture put on the clipboard before an open that must fail
# What the open dialog lists for the system's codecs, after the plug-ins' types.
CODEC_TYPES = ["PNG", "JPG", "JPEG", "JPE", "JFIF", "GIF", "TIF", "TIFF", "ICO", "JXR", "WDP", "HDP",
               "WEBP", "HEIC", "HEIF"]


class PluginTestCase(KelvoTestCase):
    def setUp(self):
        super().setUp()
        self.dir = tempfile.mkdtemp(prefix="spi-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.log = os.path.join(self.dir, "calls.log")
        saved = os.environ.get("KELVO_SPI_LOG")
        os.environ["KELVO_SPI_LOG"] = winpath(self.log)
        self.addCleanup(self._restore_log_variable, saved)

    @staticmethod
    def _restore_log_variable(saved):
        if saved is None:
            os.environ.pop("KELVO_SPI_LOG", None)
        else:
            os.environ["KELVO_SPI_LOG"] = saved

    # --- set-up helpers ------------------------------------------------
    def folder(self, name, *plugins):
        """A directory under the test's own holding copies of the named test
        plug-ins (name or (name, copy name); a copy name without extension
        gets ".spi")."""
        path = os.path.join(self.dir, name)
        os.makedirs(path, exist_ok=True)
        for p in plugins:
            source, target = p if isinstance(p, tuple) else (p, p)
            if "." not in target:
                target += ".spi"
            shutil.copy(os.path.join(TEST_PLUGINS, source + ".spi"), os.path.join(path, target))
        return path

    def place_in(self, directory, plugin, extension=".spi"):
        """Copies a test plug-in into a Windows folder of the prefix for this
        test only."""
        target = os.path.join(directory, plugin + extension)
        shutil.copy(os.path.join(TEST_PLUGINS, plugin + ".spi"), target)
        self.addCleanup(os.remove, target)

    def system_dir(self):
        return os.path.join(harness.env()["prefix"], "drive_c", "windows", "system32")

    def windows_dir(self):
        return os.path.join(harness.env()["prefix"], "drive_c", "windows")

    def sample_file(self, name, tags, size=None, mode=None):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write("KSPI " + " ".join(tags) + "\n")
            if size:
                f.write("size %d %d\n" % size)
            if mode:
                f.write("mode %s\n" % mode)
        return path

    # --- observing -----------------------------------------------------
    def calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return f.read().splitlines()

    def calls_since(self, mark):
        return self.calls()[mark:]

    def wait_loaded(self, expected, timeout=15):
        """Waits until the plug-ins loaded and kept are the expected ones:
        Kelvo can answer messages while it is still setting up its window,
        before its helper has loaded them."""
        try:
            wait_until(lambda: self.loaded() == expected, timeout, what="plug-ins %s" % expected)
        except AssertionError:
            self.assertEqual(self.loaded(), expected)

    def loaded(self):
        """Tags of the test plug-ins loaded and still kept, in loading order."""
        kept = []
        for line in self.calls():
            tag, event = line.split(" ", 1)
            if event == "load":
                kept.append(tag)
            elif event == "unload" and tag in kept:
                kept.remove(tag)
        return kept

    def open_by_drop(self, k, path, timeout=10.0):
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [path], timeout))

    def expect_title(self, k, name):
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- " + name, 15,
                   what="the title with " + name)

    def expect_failure_message(self, k, timeout=15):
        box = self.driver.wait_window("#32770", CAPTION, timeout=timeout)
        texts = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                    if c["class"] == "Static" and c["text"]], 10, what="the text")
        # The file and the reason follow on the same text.
        self.assertEqual(len(texts), 1, texts)
        self.assertTrue(texts[0].startswith(MESSAGE + "( "), texts)
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.driver("send", k.hwnd, 0, 0, 0)

    def put_picture(self):
        self.driver("clip_put", 40, 30, 0xFF00FF)
        return list(self.driver.clip_image().getdata())

    def solid(self, size, colour):
        return [colour] * (size[0] * size[1])

    def drop_in_background(self, k, path, timeout=30.0):
        """Drops a file on Kelvo from another thread, for a plug-in that
        keeps Kelvo waiting; joined at the end of the test."""
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        thread = threading.Thread(target=xdnd.drop_files,
                                  args=(display, x + w // 2, y + h // 2, [path], timeout))
        thread.start()
        self.addCleanup(thread.join)

    def helpers(self):
        """Process ids of the running kelvo-spihost.exe."""
        return self.driver("processes", "kelvo-spihost.exe")["pids"]

    def end_helpers(self):
        for pid in self.helpers():
            self.driver("terminate", pid, check=False)

    def spicall(self, k, *args):
        """Calls Kelvo's exports inside Kelvo: init N | load PATH | end."""
        out = subprocess.run([WINE, os.path.join(TEST_PLUGINS, "spicall.exe"), str(k.hwnd),
                              *[str(a) for a in args]], capture_output=True, timeout=120,
                             env=wine_environ(), cwd=TEST_PLUGINS)
        reply = json.loads(out.stdout.decode().strip().splitlines()[-1])
        self.assertTrue(reply["ok"], reply)
        return reply


class AskingPlugins(PluginTestCase):
    def test_the_first_accepting_plugin_decodes_and_no_other_is_asked(self):
        cwd = self.folder("cwd", "tspi_b", "tspi_nois", "tspi_a", "tspi_fail")
        k = self.start(cwd=cwd)
        # The table holds the plug-ins in the order the directory search
        # returned them; the one without IsSupported was loaded, found
        # wanting and let go at once.
        wait_until(lambda: sorted(self.loaded()) == ["a", "b", "fail"], 15, what="the plug-ins")
        order = self.loaded()
        self.assertIn("nois unload", self.calls())

        both = self.sample_file("both.txt", ["a", "b"], size=(7, 3))
        mark = len(self.calls())
        self.open_by_drop(k, both)
        self.expect_title(k, "both.txt")
        first = next(tag for tag in order if tag in ("a", "b"))
        asked = order[:order.index(first) + 1]
        self.assertEqual(self.calls_since(mark),
                         ["%s IsSupported no" % t for t in asked[:-1]]
                         + ["%s IsSupported yes" % first, first + " GetPictureInfo",
                            first + " GetPicture"])
        picture = self.driver.clip_image()
        self.assertEqual(picture.size, (7, 3))
        self.assertEqual(list(picture.getdata()), self.solid((7, 3), COLOUR[first]))

        # A file only the later plug-in takes: every earlier one is asked.
        later = "b" if first == "a" else "a"
        only = self.sample_file("only.txt", [later])
        mark = len(self.calls())
        self.open_by_drop(k, only)
        self.expect_title(k, "only.txt")
        asked = order[:order.index(later) + 1]
        self.assertEqual([c for c in self.calls_since(mark) if "IsSupported" in c],
                         ["%s IsSupported no" % t for t in asked[:-1]] + [later + " IsSupported yes"])
        self.assertEqual(list(self.driver.clip_image().getdata()), self.solid((5, 4), COLOUR[later]))

        # The module without IsSupported was never called at all.
        self.assertEqual([c for c in self.calls() if c.startswith("nois ")],
                         ["nois load", "nois unload"])
        self.assertEqual(k.stop(), 0)
        # SPIEnd at exit unloads every kept plug-in.
        self.assertEqual(self.loaded(), [])

    def test_a_name_outside_the_code_page_goes_in_memory_and_is_refused_when_none_reads_memory(self):
        # These plug-ins read files by name only: shown the file in memory,
        # each says no, and the message says why the name did not do.
        cwd = self.folder("cwd", "tspi_a", "tspi_b")
        k = self.start(cwd=cwd)
        wait_until(lambda: sorted(self.loaded()) == ["a", "b"], 15, what="the plug-ins")
        path = self.sample_file("한국어 𠮷 😀.txt", ["a", "b"], size=(7, 3))
        before = self.put_picture()
        mark = len(self.calls())
        self.open_by_drop(k, path)
        box = self.driver.wait_window("#32770", CAPTION, timeout=15)
        (text,) = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                      if c["class"] == "Static" and c["text"]], 10, what="the text")
        self.assertTrue(text.startswith(MESSAGE + "( " + winpath(path) + " )"), text)
        self.assertIn("この Windows の文字コードで表せない文字", text)
        self.assertIn("メモリー", text)
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.assertEqual(sorted(self.calls_since(mark)), ["a IsSupported no", "b IsSupported no"])
        self.assertEqual(list(self.driver.clip_image().getdata()), before)
        self.assertEqual(k.stop(), 0)

    def test_a_plugin_that_accepts_and_fails_gives_the_message_and_no_other_is_asked(self):
        # Named so that the failing plug-in comes first in the search.
        cwd = self.folder("cwd", ("tspi_fail", "p1fail"), ("tspi_a", "p2a"))
        k = self.start(cwd=cwd)
        self.wait_loaded(["fail", "a"])
        before = self.put_picture()
        path = self.sample_file("failing.txt", ["fail", "a"])
        mark = len(self.calls())
        self.open_by_drop(k, path)
        self.expect_failure_message(k)
        # GetPicture reported failure with junk in both handles: Kelvo used
        # neither, and did not go on to the plug-in that would have decoded.
        self.assertEqual(self.calls_since(mark), ["fail IsSupported yes", "fail GetPictureInfo",
                                                  "fail GetPicture"])
        self.assertEqual(list(self.driver.clip_image().getdata()), before)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        # A file nobody takes: everyone is asked, then the same message.
        nobody = self.sample_file("nobody.txt", ["zzz"])
        mark = len(self.calls())
        self.open_by_drop(k, nobody)
        self.expect_failure_message(k)
        self.assertEqual(self.calls_since(mark), ["fail IsSupported no", "a IsSupported no"])
        # A path that does not exist: no plug-in is asked.
        mark = len(self.calls())
        reply = self.spicall(k, "load", winpath(os.path.join(self.dir, "missing.png")))
        self.assertIsNone(reply["bitmap"])
        self.assertEqual(self.calls_since(mark), [])
        self.assertEqual(list(self.driver.clip_image().getdata()), before)
        self.assertEqual(k.stop(), 0)

    def test_broken_pictures_from_a_plugin_are_refused_without_harm(self):
        cwd = self.folder("cwd", "tspi_bad")
        k = self.start(cwd=cwd)
        before = self.put_picture()
        for mode in ["failvalid", "bogus", "nullbits", "nullformat", "same", "shortbits",
                     "hugeheader", "shorttable", "depth", "width"]:
            with self.subTest(mode=mode):
                self.open_by_drop(k, self.sample_file(mode + ".txt", ["bad"], mode=mode))
                self.expect_failure_message(k)
                self.assertEqual(list(self.driver.clip_image().getdata()), before)
                self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        # Sound pictures from the same plug-in still open: a colour table,
        # and top-down rows. The first stored row is blue, the rest red.
        red, blue = (255, 0, 0), (0, 0, 255)
        for mode, blue_row in (("palette", 7), ("topdown", 0)):
            with self.subTest(mode=mode):
                self.open_by_drop(k, self.sample_file(mode + ".txt", ["bad"], mode=mode))
                self.expect_title(k, mode + ".txt")
                picture = self.driver.clip_image()
                self.assertEqual(picture.size, (8, 8))
                rows = [[picture.getpixel((x, y)) for x in range(8)] for y in range(8)]
                for y in range(8):
                    self.assertEqual(rows[y], [blue if y == blue_row else red] * 8, "row %d" % y)
        self.assertEqual(k.stop(), 0)


class WherePluginsComeFrom(PluginTestCase):
    def test_the_current_directory_hides_the_system_and_windows_directories(self):
        self.place_in(self.system_dir(), "tspi_b")
        cwd = self.folder("cwd", "tspi_a")
        k = self.start(cwd=cwd)
        self.wait_loaded(["a"])
        self.open_by_drop(k, self.sample_file("for-b.txt", ["b"]))
        self.expect_failure_message(k)
        self.open_by_drop(k, self.sample_file("for-a.txt", ["a"]))
        self.expect_title(k, "for-a.txt")
        self.assertEqual(k.stop(), 0)
        self.assertNotIn("b load", self.calls())

        # Nothing in the current directory: the system directory's plug-in.
        empty = self.folder("empty")
        k = self.start(cwd=empty)
        self.wait_loaded(["b"])
        self.open_by_drop(k, os.path.join(self.dir, "for-b.txt"))
        self.expect_title(k, "for-b.txt")
        self.assertEqual(list(self.driver.clip_image().getdata()), self.solid((5, 4), COLOUR["b"]))
        self.assertEqual(k.stop(), 0)

    def test_the_windows_directory_comes_last(self):
        self.place_in(self.windows_dir(), "tspi_a")
        k = self.start(cwd=self.folder("empty"))
        self.wait_loaded(["a"])
        self.open_by_drop(k, self.sample_file("for-a.txt", ["a"]))
        self.expect_title(k, "for-a.txt")
        self.assertEqual(k.stop(), 0)

    def test_kelvos_own_folder_is_searched_last(self):
        # No plug-in in the current, system or Windows directory: the
        # bundled one next to kelvo.exe opens a PNG.
        k = self.start(cwd=self.folder("empty"))
        png = os.path.join(self.dir, "pic.png")
        Image.new("RGB", (6, 6), (1, 2, 3)).save(png)
        self.open_by_drop(k, png)
        self.expect_title(k, "pic.png")
        self.assertEqual(list(self.driver.clip_image().getdata()), self.solid((6, 6), (1, 2, 3)))
        self.assertEqual(k.stop(), 0)

    def test_without_any_plugin_spiinit_counts_none_and_other_files_fail(self):
        # A Kelvo whose own folder holds no plug-in either.
        alone = self.folder("kelvo")
        for name in ("kelvo.exe", "kelvo-spihost.exe", "hook.dll"):
            shutil.copy(os.path.join(BIN, name), alone)
        k = self.start(exe_dir=alone, cwd=self.folder("empty"))
        self.assertEqual(self.spicall(k, "init", 0)["count"], 0)
        before = self.put_picture()
        self.open_by_drop(k, self.sample_file("for-a.txt", ["a"]))
        self.expect_failure_message(k)
        self.assertEqual(list(self.driver.clip_image().getdata()), before)
        self.assertEqual(self.calls(), [])
        self.assertEqual(k.stop(), 0)

    def test_64_bit_sph_found_and_a_folder_of_32_bit_spi_hides_nothing(self):
        # The current directory holds only a 32-bit build, which does not
        # load in 64-bit Kelvo: it is passed over quietly and the search
        # goes on to the system directory's 64-bit plug-in named .sph.
        cwd = self.folder("cwd")
        shutil.copy(os.path.join(TEST_PLUGINS_32, "tspi_a.spi"), cwd)
        self.place_in(self.system_dir(), "tspi_b", ".sph")
        k = self.start(cwd=cwd)
        self.wait_loaded(["b"])
        self.open_by_drop(k, self.sample_file("for-b.txt", ["b"]))
        self.expect_title(k, "for-b.txt")
        self.assertEqual(list(self.driver.clip_image().getdata()), self.solid((5, 4), COLOUR["b"]))
        self.assertEqual(self.driver("windows", "#32770")["hwnds"], [])
        self.assertEqual(k.stop(), 0)
        self.assertNotIn("a load", self.calls())

    def test_a_directory_of_a_name_outside_the_code_page_is_searched(self):
        # Its plug-ins hide the system directory's, as any current
        # directory's do, though code page 932 cannot name it.
        self.place_in(self.system_dir(), "tspi_b")
        folder = self.folder("한국어 𠮷 😀", "tspi_a")
        k = self.start(cwd=folder)
        self.wait_loaded(["a"])
        self.assertEqual(k.stop(), 0)

    def test_a_plugin_named_like_one_in_kelvos_folder_loads_kelvos(self):
        # Modules are loaded by bare name, so the platform's module search,
        # which looks in the program's folder first, picks bin/ifstb.sph
        # over a different ifstb.sph in the current directory.
        cwd = self.folder("cwd", ("tspi_a", "ifstb.sph"))
        k = self.start(cwd=cwd)
        png = os.path.join(self.dir, "pic.png")
        Image.new("RGB", (6, 5), (10, 20, 30)).save(png)
        self.open_by_drop(k, png)
        self.expect_title(k, "pic.png")
        self.assertEqual(list(self.driver.clip_image().getdata()), self.solid((6, 5), (10, 20, 30)))
        self.assertEqual(self.calls(), [])
        self.assertEqual(k.stop(), 0)


class ExportedFunctions(PluginTestCase):
    def test_spiinit_loadpicture_and_spiend_through_the_export_table(self):
        cwd = self.folder("cwd", "tspi_a", "tspi_nois")
        k = self.start(cwd=cwd)
        self.wait_loaded(["a"])
        path = self.sample_file("for-a.txt", ["a"], size=(9, 2))
        self.assertEqual(self.spicall(k, "load", winpath(path))["bitmap"], [9, 2])

        mark = len(self.calls())
        self.spicall(k, "end")
        self.assertEqual(self.calls_since(mark), ["a unload"])
        # After SPIEnd the table is empty: null, and no plug-in is called.
        mark = len(self.calls())
        self.assertIsNone(self.spicall(k, "load", winpath(path))["bitmap"])
        self.assertEqual(self.calls_since(mark), [])
        self.open_by_drop(k, path)
        self.expect_failure_message(k)

        # SPIInit counts the plug-ins kept (not the one without
        # IsSupported) and fills the table again.
        self.assertEqual(self.spicall(k, "init", 0)["count"], 1)
        self.assertEqual(self.spicall(k, "load", winpath(path))["bitmap"], [9, 2])
        # A second SPIInit releases the table it replaces instead of
        # leaving its modules loaded.
        mark = len(self.calls())
        self.assertEqual(self.spicall(k, "init", 0)["count"], 1)
        self.assertEqual(self.calls_since(mark), ["a unload", "a load", "nois load", "nois unload"])
        self.assertEqual(self.loaded(), ["a"])
        self.assertEqual(k.stop(), 0)
        self.assertEqual(self.loaded(), [])


class FailingPlugins(PluginTestCase):
    def test_a_plugin_that_crashes_hangs_or_damages_its_heap_ends_only_the_helper(self):
        # The faulty plug-in is asked first; the helper ends. When it
        # crashed (or damaged its heap) it is left out and the same file
        # goes on to the good plug-in, as if the faulty one had refused it.
        # When it only hung, Kelvo shows the message and keeps its picture,
        # and the next file opens in a new helper through the faulty one.
        cwd = self.folder("cwd", ("tspi_bad", "p1bad"), ("tspi_a", "p2a"))
        good = self.sample_file("good.txt", ["bad", "a"], size=(3, 2))
        for mode, left_out in (("crash", True), ("heap", True), ("hang", False)):
            with self.subTest(mode=mode):
                mark = len(self.calls())
                k = self.start(cwd=cwd)
                wait_until(lambda: self.calls_since(mark) == ["bad load", "a load"], 15,
                           what="the plug-ins")
                before = self.put_picture()
                # The drop is finished once Kelvo has given up on the plug-in.
                self.open_by_drop(k, self.sample_file(mode + ".txt", ["bad", "a"], mode=mode), 30)
                if left_out:
                    self.expect_title(k, mode + ".txt")
                    self.assertEqual(list(self.driver.clip_image().getdata()),
                                     self.solid((5, 4), COLOUR["a"]))
                else:
                    self.expect_failure_message(k)
                    self.assertEqual(list(self.driver.clip_image().getdata()), before)
                    self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
                mark = len(self.calls())
                self.open_by_drop(k, good)
                self.expect_title(k, "good.txt")
                taker = "a" if left_out else "bad"
                self.assertEqual(list(self.driver.clip_image().getdata()),
                                 self.solid((3, 2), COLOUR[taker]))
                self.assertEqual([c for c in self.calls_since(mark) if not c.startswith("a ")],
                                 [] if left_out else ["bad load", "bad IsSupported yes",
                                                      "bad GetPictureInfo", "bad GetPicture"])
                self.assertEqual(self.driver("windows", "#32770")["hwnds"], [])
                self.assertEqual(k.stop(), 0)


class HelperProcess(PluginTestCase):
    """The helper kelvo-spihost.exe as a process: started again when it has
    ended, never outliving Kelvo, limits on each step, Kelvo answering
    while it waits, and a helper missing or handing back a bad section."""

    def start_with_bad(self):
        k = self.start(cwd=self.folder("cwd", "tspi_bad"))
        self.wait_loaded(["bad"])
        return k

    def wait_decoding(self):
        wait_until(lambda: "bad GetPicture" in self.calls(), 15, what="the plug-in decoding")

    def test_a_helper_ended_between_requests_is_started_again(self):
        k = self.start(cwd=self.folder("cwd", "tspi_a"))
        self.wait_loaded(["a"])
        (pid,) = self.helpers()
        self.driver("terminate", pid)  # as from Task Manager
        self.open_by_drop(k, self.sample_file("for-a.txt", ["a"]))
        self.expect_title(k, "for-a.txt")
        self.assertEqual(list(self.driver.clip_image().getdata()), self.solid((5, 4), COLOUR["a"]))
        self.assertNotIn(pid, self.helpers())
        self.assertEqual(k.stop(), 0)

    def test_the_helper_ends_with_kelvo_while_a_plugin_hangs(self):
        self.addCleanup(self.end_helpers)
        k = self.start_with_bad()
        self.drop_in_background(k, self.sample_file("hang.txt", ["bad"], mode="hang"), 5)
        self.wait_decoding()
        self.assertEqual(len(self.helpers()), 1)
        k.kill()
        wait_until(lambda: self.helpers() == [], 2, what="no helper left")

    def test_a_decoding_that_reports_progress_may_take_longer_than_the_limit(self):
        # 12 s of decoding, more than any one step may take, with a
        # progress report every 0.2 s; the wait cursor shows meanwhile.
        k = self.start_with_bad()
        self.drop_in_background(k, self.sample_file("slow.txt", ["bad"], mode="slow"))
        self.wait_decoding()
        self.assertTrue(self.driver("probe", k.hwnd, 9)["result"]["wait"])
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- slow.txt", 30,
                   what="the slow picture")
        self.assertEqual(list(self.driver.clip_image().getdata()),
                         self.solid((4, 4), COLOUR["bad"]))
        self.assertFalse(self.driver("probe", k.hwnd, 9)["result"]["wait"])
        self.assertEqual(k.stop(), 0)

    def test_kelvo_answers_while_it_waits_but_takes_no_command(self):
        k = self.start_with_bad()
        self.drop_in_background(k, self.sample_file("hang.txt", ["bad"], mode="hang"))
        self.wait_decoding()
        # A command posted meanwhile (as input is queued) waits for the
        # answer; a message sent meanwhile is answered at once.
        self.driver("post", k.hwnd, WM_COMMAND, PREVIEW, 0)
        self.assertTrue(self.driver("send", k.hwnd, 0, 0, 0, 2000, check=False)["ok"],
                        "Kelvo did not answer while it waited")
        self.assertFalse(self.driver.toolbar(k.hwnd)[PREVIEW]["checked"])
        self.assertTrue(self.helpers())
        self.expect_failure_message(k, timeout=30)
        wait_until(lambda: self.driver.toolbar(k.hwnd)[PREVIEW]["checked"], 10,
                   what="the command taken after the answer")
        self.assertEqual(k.stop(), 0)

    def test_a_missing_helper_is_named_in_the_message_and_bmp_still_opens(self):
        alone = self.folder("kelvo")
        for name in ("kelvo.exe", "hook.dll", "ifstb.sph"):
            shutil.copy(os.path.join(BIN, name), alone)
        k = self.start(exe_dir=alone, cwd=alone)
        png = os.path.join(self.dir, "pic.png")
        Image.new("RGB", (6, 6), (1, 2, 3)).save(png)
        self.open_by_drop(k, png)
        box = self.driver.wait_window("#32770", CAPTION, timeout=15)
        (text,) = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                      if c["class"] == "Static" and c["text"]], 10, what="the text")
        self.assertIn(winpath(png), text)
        self.assertIn("kelvo-spihost.exe", text)
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        bmp = os.path.join(self.dir, "pic.bmp")
        Image.new("RGB", (6, 6), (1, 2, 3)).save(bmp)
        self.open_by_drop(k, bmp)
        self.expect_title(k, "pic.bmp")
        self.assertEqual(list(self.driver.clip_image().getdata()), self.solid((6, 6), (1, 2, 3)))
        self.assertEqual(k.stop(), 0)

    def test_a_picture_section_that_is_only_reserved_is_refused(self):
        # The plug-in answers in the helper's place with a section whose
        # first page holds a sound picture and whose other pages are only
        # reserved: reading past the first page would end Kelvo.
        k = self.start_with_bad()
        before = self.put_picture()
        self.open_by_drop(k, self.sample_file("section.txt", ["bad"], mode="section"), 30)
        self.expect_failure_message(k)
        self.assertIsNone(k.proc.poll())
        self.assertEqual(list(self.driver.clip_image().getdata()), before)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.assertEqual(k.stop(), 0)


class OpenDialog(PluginTestCase):
    def test_the_filter_lists_what_the_plugins_read(self):
        cwd = self.folder("cwd", "tspi_b", "tspi_a")
        k = self.start(cwd=cwd)
        wait_until(lambda: sorted(self.loaded()) == ["a", "b"], 15, what="the plug-ins")
        # Each test plug-in reads "*.k<tag>;*.k<tag><tag>"; shown in capitals,
        # then what the system's codecs read.
        patterns = ";".join(["*.BMP"] + ["*.K{0};*.K{0}{0}".format(t.upper()) for t in self.loaded()]
                            + ["*." + e for e in CODEC_TYPES])
        self.driver.post_command(k.hwnd, 40023)
        dialog = self.driver.wait_window("#32770", "開く")
        types = self.driver("combo_items", dialog, FILE_TYPES)
        # The dialog starts with every picture.
        self.assertEqual(types["items"], ["すべての画像ﾌｧｲﾙ(%s)" % patterns, "ﾋﾞｯﾄﾏｯﾌﾟ ﾌｧｲﾙ(*.BMP)"])
        self.assertEqual(types["selected"], 0)
        settled_screenshot("plugins-open-dialog")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        self.assertEqual(k.stop(), 0)


class BundledPlugin(PluginTestCase):
    """ifstb.sph, started the way a user starts Kelvo: in its own folder."""

    def pictures(self):
        """A colourful picture written by ImageMagick as PNG, JPEG and GIF."""
        source = os.path.join(self.dir, "source.ppm")
        im = Image.new("RGB", (61, 37))
        px = im.load()
        for y in range(37):
            for x in range(61):
                px[x, y] = ((x * 4) % 256, (y * 7) % 256, ((x + y) * 3) % 256)
        im.save(source)
        out = {}
        for name, args in (("pic.png", []), ("Photo.JPG", ["-quality", "92"]), ("anim.gif", [])):
            path = os.path.join(self.dir, name)
            subprocess.run(["/usr/bin/convert", source, *args, path], check=True)
            out[name] = path
        return out

    def test_png_jpeg_and_gif_open_with_imagemagicks_pixels(self):
        k = self.start(cwd=BIN)
        for name, path in self.pictures().items():
            with self.subTest(name=name):
                self.open_by_drop(k, path)
                self.expect_title(k, name)
                got = self.driver.clip_image()
                want = imagemagick_rgb(path)
                self.assertEqual(got.size, want.size)
                if name.endswith(".JPG"):
                    diffs = [abs(a - b) for p, q in zip(got.getdata(), want.getdata())
                             for a, b in zip(p, q)]
                    # Two JPEG decoders (stb_image, libjpeg): their rounding
                    # differs by a level or two here and there.
                    self.assertLessEqual(max(diffs), 4, name)
                    self.assertLess(sum(diffs) / len(diffs), 0.5, name)
                else:
                    self.assertEqual(list(got.getdata()), list(want.getdata()), name)
        settled_screenshot("plugins-gif-opened")
        self.assertEqual(k.stop(), 0)

    def test_a_png_whose_name_the_code_page_cannot_hold_opens_from_memory(self):
        k = self.start(cwd=BIN)
        source = self.pictures()["pic.png"]
        name = "𠮷 한국어 😀.png"
        path = os.path.join(self.dir, name)
        shutil.copy(source, path)
        self.open_by_drop(k, path)
        self.expect_title(k, name)
        self.assertEqual(list(self.driver.clip_image().getdata()),
                         list(imagemagick_rgb(source).getdata()))
        self.assertEqual(k.stop(), 0)

    def test_on_an_english_code_page_japanese_names_open_too(self):
        # Kelvo started in an English locale: its ANSI code page is 1252.
        environ = dict(wine_environ(), LANG="C.UTF-8", LC_ALL="C.UTF-8")
        k = harness.Kelvo(self.driver, None, BIN, environ)
        self.instances.append(k)
        k.wait_main()
        source = self.pictures()["pic.png"]
        for name in ("日本語の写真.png", "café.png"):  # in memory; by name
            with self.subTest(name=name):
                path = os.path.join(self.dir, name)
                shutil.copy(source, path)
                self.open_by_drop(k, path)
                self.expect_title(k, name)
                self.assertEqual(list(self.driver.clip_image().getdata()),
                                 list(imagemagick_rgb(source).getdata()))
        bmp = os.path.join(self.dir, "写真.bmp")
        Image.new("RGB", (9, 5), (1, 2, 3)).save(bmp)
        self.open_by_drop(k, bmp)
        self.expect_title(k, "写真.bmp")
        self.assertEqual(self.driver.clip_image().size, (9, 5))
        self.assertEqual(k.stop(), 0)

    def test_the_open_dialog_opens_a_png(self):
        k = self.start(cwd=BIN)
        path = self.pictures()["pic.png"]
        self.driver.post_command(k.hwnd, 40023)
        dialog = self.driver.wait_window("#32770", "開く")
        self.driver("set_text", dialog, FILE_NAME, winpath(path))
        self.driver("click", dialog, IDOK)
        self.expect_title(k, "pic.png")
        self.assertEqual(list(self.driver.clip_image().getdata()),
                         list(imagemagick_rgb(path).getdata()))
        self.assertEqual(k.stop(), 0)

    def test_a_broken_png_gives_the_message_and_leaves_the_picture(self):
        k = self.start(cwd=BIN)
        path = self.pictures()["pic.png"]
        with open(path, "rb") as f:
            data = f.read()
        broken = os.path.join(self.dir, "broken.png")
        with open(broken, "wb") as f:
            f.write(data[:len(data) // 2])
        huge = os.path.join(self.dir, "huge.png")
        with open(huge, "wb") as f:
            # A PNG header announcing 30000 x 30000 pixels, and nothing more.
            f.write(bytes.fromhex("89504e470d0a1a0a0000000d49484452") + (30000).to_bytes(4, "big")
                    + (30000).to_bytes(4, "big") + bytes([8, 2, 0, 0, 0, 0, 0, 0, 0]))
        before = self.put_picture()
        for bad in (broken, huge):
            with self.subTest(file=os.path.basename(bad)):
                self.open_by_drop(k, bad)
                self.expect_failure_message(k)
                self.assertEqual(list(self.driver.clip_image().getdata()), before)
                self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.assertEqual(k.stop(), 0)


class CodecPictures(PluginTestCase):
    """Files no plug-in takes, decoded by Wine's Windows Imaging Component
    in the helper: a Kelvo whose folders hold no plug-in at all."""

    def start_without_plugins(self):
        alone = self.folder("kelvo")
        for name in ("kelvo.exe", "kelvo-spihost.exe", "hook.dll"):
            shutil.copy(os.path.join(BIN, name), alone)
        return self.start(exe_dir=alone, cwd=self.folder("empty"))

    def source(self):
        im = Image.new("RGB", (61, 37))
        px = im.load()
        for y in range(37):
            for x in range(61):
                px[x, y] = ((x * 4) % 256, (y * 7) % 256, ((x + y) * 3) % 256)
        return im

    def test_gif_tiff_and_jpeg_open_with_pillows_pixels(self):
        k = self.start_without_plugins()
        im = self.source()
        # The JPEG keeps its colours at full resolution: Wine's decoder
        # widens halved colour planes another way than libjpeg's default,
        # tens of levels apart at sharp colour edges.
        jpeg = {"quality": 90, "subsampling": 0}
        for name, options in (("pic.gif", {}), ("pic.tif", {}), ("Photo.JPG", jpeg)):
            with self.subTest(name=name):
                path = os.path.join(self.dir, name)
                im.save(path, **options)
                self.open_by_drop(k, path)
                self.expect_title(k, name)
                got = self.driver.clip_image()
                with Image.open(path) as decoded:
                    want = decoded.convert("RGB")
                self.assertEqual(got.size, want.size)
                if name.endswith(".JPG"):
                    diffs = [abs(a - b) for p, q in zip(got.getdata(), want.getdata())
                             for a, b in zip(p, q)]
                    # Two builds of libjpeg may round a level apart.
                    self.assertLessEqual(max(diffs), 2, name)
                    self.assertLess(sum(diffs) / len(diffs), 0.1, name)
                else:
                    self.assertEqual(list(got.getdata()), list(want.getdata()), name)
        settled_screenshot("codec-tiff-opened")
        self.assertEqual(k.stop(), 0)

    def test_a_broken_png_gives_the_message_and_kelvo_stays_up(self):
        k = self.start_without_plugins()
        path = os.path.join(self.dir, "broken.png")
        self.source().save(path)
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(data[:len(data) // 2])
        before = self.put_picture()
        self.open_by_drop(k, path)
        box = self.driver.wait_window("#32770", CAPTION, timeout=15)
        (text,) = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                      if c["class"] == "Static" and c["text"]], 10, what="the text")
        self.assertTrue(text.startswith(MESSAGE + "( " + winpath(path)), text)
        self.assertTrue(text.endswith("Windows の画像コーデックがこのファイルを読み取れません"
                                      "でした（ファイルが壊れている可能性があります）。"), text)
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.assertIsNone(k.proc.poll())
        self.assertEqual(list(self.driver.clip_image().getdata()), before)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.assertEqual(k.stop(), 0)

    def test_transparent_pixels_are_laid_over_white(self):
        k = self.start_without_plugins()
        im = Image.new("RGBA", (4, 1))
        im.putdata([(255, 0, 0, 255), (255, 0, 0, 128), (0, 0, 255, 0), (10, 20, 30, 200)])
        path = os.path.join(self.dir, "alpha.png")
        im.save(path)
        self.open_by_drop(k, path)
        self.expect_title(k, "alpha.png")
        want = Image.alpha_composite(Image.new("RGBA", im.size, (255, 255, 255, 255)), im)
        for got, expected in zip(self.driver.clip_image().getdata(), want.convert("RGB").getdata()):
            # Rounding may differ by a level.
            self.assertLessEqual(max(abs(a - b) for a, b in zip(got, expected)), 1, (got, expected))
        self.assertEqual(k.stop(), 0)
