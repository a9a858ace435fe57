"""The distribution: the zips hold what a user needs, and Kelvo unpacked
from the win64 zip into a fresh Wine prefix starts, captures the desktop
and opens a PNG through its bundled plug-in."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import harness
from harness import Driver, Kelvo, wait_until, ARTIFACTS, BIN, WINE
import xdnd

SOURCE = os.environ.get("KELVO_SOURCE_DIR", "../..")
BIN32 = os.environ.get("KELVO_BIN32", "")
CONTENTS = ["kelvo.exe", "hook.dll", "kelvo-spihost.exe", "kelvodde.exe", "README-ja.txt",
            "README-en.txt", "kelvo-help.html"]
# 64-bit plug-ins of the interface are named .sph, 32-bit ones .spi.
PLUGIN = {"win64": "ifstb.sph", "win32": "ifstb.spi"}


class Distribution(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        harness.env()
        cls.tmp = tempfile.mkdtemp(prefix="dist-", dir=ARTIFACTS)
        out = subprocess.run(["/usr/bin/python3", os.path.join(SOURCE, "scripts", "make_dist.py"),
                              SOURCE, BIN, BIN32, os.path.join(cls.tmp, "zips")],
                             check=True, capture_output=True, text=True).stdout.split()
        cls.zips = {os.path.basename(p): p for p in out}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_both_zips_hold_the_programs_and_the_guides(self):
        self.assertEqual(sorted(self.zips), ["kelvo-1.10a-win32.zip", "kelvo-1.10a-win64.zip"])
        for name, path in self.zips.items():
            folder = name[:-4]
            contents = CONTENTS + [PLUGIN[folder.rsplit("-", 1)[1]]]
            with zipfile.ZipFile(path) as z:
                self.assertEqual(sorted(z.namelist()), sorted(f"{folder}/{c}" for c in contents))
                ja = z.read(f"{folder}/README-ja.txt")
                # Notepad on a Japanese Windows needs the mark to read UTF-8.
                self.assertTrue(ja.startswith(b"\xef\xbb\xbf"))
                text = ja[3:].decode("utf-8")
                self.assertIn("Kelvo 1.10a - スクリーンキャプチャアプリケーション", text)
                self.assertIn("\r\n", text)
                self.assertNotIn("@VERSION@", text)
                # The same guide as the page that help opens, every section.
                page = z.read(f"{folder}/kelvo-help.html").decode("utf-8")
                self.assertIn("<title>Kelvo 1.10a - スクリーンキャプチャアプリケーション</title>",
                              page)
                sections = [line[1:].strip() for line in text.splitlines()
                            if line.startswith("■")]
                self.assertGreater(len(sections), 5)
                for heading in sections:
                    self.assertIn(f">{heading}</h2>", page)
                for program in ("kelvo.exe", "kelvo-spihost.exe", PLUGIN[folder.rsplit("-", 1)[1]]):
                    machine = z.read(f"{folder}/{program}")
                    # PE machine type: x86_64 (0x8664) or i386 (0x14c).
                    offset = int.from_bytes(machine[0x3C:0x40], "little")
                    kind = int.from_bytes(machine[offset + 4:offset + 6], "little")
                    self.assertEqual(kind, 0x8664 if "win64" in name else 0x14C, name + program)

    def test_guides_are_readable_by_everyone_and_name_the_menus_as_kelvo_shows_them(self):
        with open(os.path.join(SOURCE, "res", "kelvo.rc"), encoding="utf-8") as f:
            menus = re.findall(r'^\s*POPUP "([^"(]+)\(&', f.read(), re.M)
        self.assertIn("ｵﾌﾟｼｮﾝ", menus)
        for name, path in self.zips.items():
            folder = name[:-4]
            with zipfile.ZipFile(path) as z:
                for guide in ("README-ja.txt", "README-en.txt", "kelvo-help.html"):
                    mode = z.getinfo(f"{folder}/{guide}").external_attr >> 16
                    self.assertEqual(mode & 0o777, 0o644, guide)
                en = z.read(f"{folder}/README-en.txt")
                self.assertTrue(en.startswith(b"\xef\xbb\xbf"))
                text = en[3:].decode("utf-8")
                for english in ("File >", "Options >", "Capture >", "Output >", "Help >"):
                    self.assertNotIn(english, text)
                # Each menu as the menu bar shows it, translated where it first comes.
                for menu in menus:
                    self.assertRegex(text, re.escape(menu) + r" \([A-Z][a-z ]+\)")
                # The page speaks of itself, not of the text file.
                page = z.read(f"{folder}/kelvo-help.html").decode("utf-8")
                self.assertNotIn("このファイル", page)
                self.assertIn("kelvo-help.html このページ", page)

    def test_unpacked_win64_runs_in_a_fresh_prefix(self):
        unpacked = os.path.join(self.tmp, "unpacked")
        with zipfile.ZipFile(self.zips["kelvo-1.10a-win64.zip"]) as z:
            z.extractall(unpacked)
        folder = os.path.join(unpacked, "kelvo-1.10a-win64")
        environ = dict(harness.wine_environ())
        environ["WINEPREFIX"] = os.path.join(self.tmp, "prefix")
        subprocess.run([WINE, "wineboot", "-i"], env=environ, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        # The new prefix is finished only when its first server has ended.
        subprocess.run(["wineserver", "-w"], env=environ, check=False, timeout=300)
        self.addCleanup(subprocess.run, ["wineserver", "-k"], env=environ, check=False)

        driver = Driver(environ)
        self.addCleanup(driver.close)
        # Started the way Explorer starts it: in its own folder.
        kelvo = Kelvo(driver, exe_dir=folder, cwd=folder, environ=environ)
        self.addCleanup(kelvo.kill)
        try:
            kelvo.wait_main(timeout=60)
        except AssertionError:
            harness.screenshot("dist-start-failed")
            raise
        self.assertEqual(driver.title(kelvo.hwnd), "Kelvo")
        driver.send_command(kelvo.hwnd, 40014)
        info = wait_until(driver.clip_bitmap, 10, what="the captured picture")
        screen = driver("screen")
        self.assertEqual((info["width"], info["height"]), (screen["width"], screen["height"]))

        png = os.path.join(self.tmp, "picture.png")
        subprocess.run(["/usr/bin/convert", "-size", "48x32", "xc:#10A040", png], check=True)
        x, y, w, h = driver.state(kelvo.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [png]))
        wait_until(lambda: driver.title(kelvo.hwnd) == "Kelvo --- picture.png", 20,
                   what="the PNG opened through ifstb.sph")
        self.assertEqual(driver.clip_image().getpixel((3, 3)), (0x10, 0xA0, 0x40))
        self.assertEqual(kelvo.stop(), 0)
