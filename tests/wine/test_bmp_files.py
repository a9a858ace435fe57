"""BMP files: serial output and its dialog, compression, the files Kelvo
writes as outside readers see them, the open and save dialogs, drops, and
the wallpaper file."""
import os
import shutil
import struct
import tempfile

from PIL import Image

import harness
from harness import imagemagick_rgb
from harness import KelvoTestCase, wait_until, settled_screenshot, winpath, ARTIFACTS
import xdnd

CAPTURE_AND_OUTPUT = (40001, 1)
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
SERIAL_OFF, SERIAL_ON, FOLDER, PREFIX = 1009, 1010, 1003, 1002
RLE8, RLE4, NO_COMPRESSION = 1032, 1033, 1034
FILE_NAME = 1148
SOURCE = os.environ.get("KELVO_SOURCE_DIR", "../..")
SUITE = os.path.join(SOURCE, "tests", "fixtures", "bmpsuite")


def headers(path):
    with open(path, "rb") as f:
        data = f.read()
    bf = dict(zip(("type", "size", "r1", "r2", "offbits"), struct.unpack_from("<2sIHHI", data, 0)))
    bi = dict(zip(("size", "width", "height", "planes", "bitcount", "compression", "sizeimage",
                   "xppm", "yppm", "clrused", "clrimportant"),
                  struct.unpack_from("<IiiHHIIiiII", data, 14)))
    return bf, bi, data


def pillow_rgb(path):
    with Image.open(path) as im:
        return im.convert("RGB")


def colourful(width, height):
    """Bands of 40 colours with smooth parts: runs and singles for RLE."""
    im = Image.new("RGB", (width, height))
    px = im.load()
    for y in range(height):
        for x in range(width):
            if y < height // 2:
                px[x, y] = ((x // 7) * 37 % 256, (y // 5) * 53 % 256, ((x + y) // 11) * 29 % 256)
            else:
                px[x, y] = (x % 256, (x * 3) % 256, y % 256)
    return im


class BmpTestCase(KelvoTestCase):
    def setUp(self):
        super().setUp()
        self.dir = tempfile.mkdtemp(prefix="bmp-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def serial_dialog(self, k, serial=None, folder=None, prefix=None, compression=None,
                      button=IDOK):
        self.driver.post_command(k.hwnd, 40009)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        if serial is not None:
            self.driver("press", dialog, SERIAL_ON if serial else SERIAL_OFF)
        if folder is not None:
            self.driver("set_text", dialog, FOLDER, folder)
        if prefix is not None:
            self.driver("set_text", dialog, PREFIX, prefix)
        if compression is not None:
            self.driver("press", dialog, compression)
        self.driver("click", dialog, button)
        self.driver("wait_gone", dialog, 10000)

    def output(self, k):
        self.driver.send_command(k.hwnd, *CAPTURE_AND_OUTPUT)

    def files(self, folder=None):
        return sorted(os.listdir(folder or self.dir))


class SerialOutput(BmpTestCase):
    def test_numbered_files_in_a_folder_without_a_trailing_backslash(self):
        k = self.start()
        pic = os.path.join(self.dir, "pic")
        os.mkdir(pic)
        self.serial_dialog(k, serial=True, folder=winpath(pic), prefix="cap")
        for _ in range(10):
            self.output(k)
        self.assertEqual(self.files(pic), ["cap%04d.BMP" % n for n in range(1, 11)])
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- cap0010.BMP")
        for name in self.files(pic):
            bf, bi, data = headers(os.path.join(pic, name))
            self.assertEqual((bf["type"], bf["size"], bf["offbits"]), (b"BM", len(data), 54))
            self.assertEqual((bi["width"], bi["height"], bi["bitcount"], bi["compression"]),
                             (1024, 768, 24, 0))

        # A folder that ends with a backslash gets no second one; the
        # numbering goes on.
        self.serial_dialog(k, folder=winpath(self.dir) + "\\", prefix="shot")
        self.output(k)
        self.assertIn("shot0011.BMP", self.files())

    def test_a_failed_file_shows_the_message_and_its_number_is_skipped(self):
        k = self.start()
        missing = os.path.join(self.dir, "missing")
        self.serial_dialog(k, serial=True, folder=winpath(missing), prefix="cap")
        self.driver.post_command(k.hwnd, *CAPTURE_AND_OUTPUT)
        box = self.driver.wait_window("#32770", "Kelvoｴﾗｰ")
        texts = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                    if c["class"] == "Static" and c["text"]], 10, what="text")
        self.assertEqual(texts, ["ファイルが作成出来ませんでした( %s\\cap0001.BMP )" % winpath(missing)])
        settled_screenshot("serial-output-error")
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.serial_dialog(k, folder=winpath(self.dir))
        self.output(k)
        self.assertEqual(self.files(), ["cap0002.BMP"])

    def test_cancel_changes_nothing_and_ok_applies_compression_even_without_serial_output(self):
        k = self.start()
        self.serial_dialog(k, serial=True, folder=winpath(self.dir), prefix="a")
        self.serial_dialog(k, serial=False, folder=winpath(ARTIFACTS), prefix="zzz",
                           compression=RLE8, button=IDCANCEL)
        self.output(k)
        self.assertEqual(self.files(), ["a0001.BMP"])
        self.assertEqual(headers(os.path.join(self.dir, "a0001.BMP"))[1]["compression"], 0)

        # Serial output off, RLE8 on: the setting governs the Save command.
        self.serial_dialog(k, serial=False, compression=RLE8)
        self.driver.post_command(k.hwnd, 40008)
        dialog = self.driver.wait_window("#32770", "名前を付けて保存")
        target = os.path.join(self.dir, "saved")
        self.driver("set_text", dialog, FILE_NAME, winpath(target))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: os.path.exists(target + ".BMP"), 10, what="the saved file")
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- saved.BMP", 10, what="title")
        bf, bi, data = headers(target + ".BMP")
        self.assertEqual((bi["bitcount"], bi["compression"]), (8, 1))
        self.assertEqual(bf["size"], len(data))
        self.assertEqual(len(data), bf["offbits"] + bi["sizeimage"])
        self.assertEqual(bf["offbits"], 14 + 40 + 4 * (bi["clrused"] or 256))


class OutsideReaders(BmpTestCase):
    """Files Kelvo writes read back through ImageMagick and Pillow with the
    pixels Kelvo meant: the clipboard picture as the platform reduces it to
    the file's depth."""

    def write_with(self, k, compression, prefix):
        self.serial_dialog(k, serial=True, folder=winpath(self.dir), prefix=prefix,
                           compression=compression)
        before = set(self.files())
        self.output_without_grab(k)
        (name,) = set(self.files()) - before
        return os.path.join(self.dir, name)

    def output_without_grab(self, k):
        # The capture-and-output command grabs the desktop; the save command
        # writes the clipboard's own picture, which is what these tests need.
        self.driver.post_command(k.hwnd, 40008)
        dialog = self.driver.wait_window("#32770", "名前を付けて保存")
        self.counter = getattr(self, "counter", 0) + 1
        target = os.path.join(self.dir, "out%d" % self.counter)
        self.driver("set_text", dialog, FILE_NAME, winpath(target))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: os.path.exists(target + ".BMP"), 10, what="the saved file")
        wait_until(lambda: self.driver.title(k.hwnd).endswith(".BMP"), 10, what="written")

    def reference(self, bits):
        path = os.path.join(self.dir, "reference%d.bmp" % bits)
        self.driver("clip_save", winpath(path), bits)
        return pillow_rgb(path)

    def check(self, path, bits, compression, readers):
        bf, bi, data = headers(path)
        self.assertEqual((bi["bitcount"], bi["compression"]), (bits, compression), path)
        self.assertEqual(bf["size"], len(data))
        expected = self.reference(bits)
        for name, read in readers:
            got = read(path)
            self.assertEqual(got.size, expected.size, name)
            self.assertEqual(list(got.getdata()), list(expected.getdata()),
                             f"{name} reads {os.path.basename(path)} differently")

    def test_none_rle8_rle4_and_one_bit_files(self):
        picture = os.path.join(self.dir, "picture.bmp")
        colourful(203, 97).save(picture)  # odd sizes: padding, odd RLE4 rows
        self.driver("clip_load", winpath(picture))
        k = self.start()
        both = [("ImageMagick", imagemagick_rgb), ("Pillow", pillow_rgb)]
        for compression, bits, code, readers in [
                (NO_COMPRESSION, 24, 0, both),
                (RLE8, 8, 1, both),
                # Debian's Pillow 9.4 decodes RLE4 wrongly: ImageMagick only.
                (RLE4, 4, 2, both[:1])]:
            self.serial_dialog(k, compression=compression)
            self.output_without_grab(k)
            self.check(os.path.join(self.dir, "out%d.BMP" % self.counter), bits, code, readers)
        # The 24-bit file holds exactly the picture that was loaded.
        self.assertEqual(list(pillow_rgb(os.path.join(self.dir, "out1.BMP")).getdata()),
                         list(Image.open(picture).convert("RGB").getdata()))

        self.driver("clip_put_mono", 77, 41)
        self.serial_dialog(k, compression=NO_COMPRESSION)
        self.output_without_grab(k)
        path = os.path.join(self.dir, "out%d.BMP" % self.counter)
        bf, bi, data = headers(path)
        self.assertEqual((bi["bitcount"], bf["offbits"]), (1, 14 + 40 + 8))
        self.check(path, 1, 0, both)


class OpenAndSave(BmpTestCase):
    def picture_pixels(self):
        return list(self.driver.clip_image().getdata())

    def test_open_dialog_opens_the_chosen_file(self):
        k = self.start()
        self.driver.post_command(k.hwnd, 40023)
        dialog = self.driver.wait_window("#32770", "開く")
        settled_screenshot("open-dialog")
        # A name typed without extension gets ".BMP".
        copy = os.path.join(self.dir, "pal8.bmp")
        shutil.copy(os.path.join(SUITE, "g", "pal8.bmp"), copy)
        self.driver("set_text", dialog, FILE_NAME, winpath(os.path.join(self.dir, "pal8")))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- pal8.BMP", 10,
                   what="the opened file's name")
        self.assertEqual(self.driver.clip_image().size, (127, 64))
        self.assertEqual(list(self.driver.clip_image().getdata()),
                         list(imagemagick_rgb(copy).getdata()))
        self.assertEqual(self.driver.clip_bitmap()["palette"], 256)

    def test_save_dialog_asks_before_replacing_a_file(self):
        k = self.start()
        self.driver("clip_put", 64, 32, 0x123456)
        target = os.path.join(self.dir, "old.bmp")
        with open(target, "wb") as f:
            f.write(b"not a picture")
        self.driver.post_command(k.hwnd, 40008)
        dialog = self.driver.wait_window("#32770", "名前を付けて保存")
        self.driver("set_text", dialog, FILE_NAME, winpath(target))
        self.driver("click", dialog, IDOK)
        question = wait_until(lambda: [h for h in self.driver("windows", "#32770")["hwnds"]
                                       if h != dialog and self.driver.state(h)["visible"]], 10,
                              what="the overwrite question")[0]
        settled_screenshot("save-overwrite-question")
        self.driver("click", question, IDYES)
        def replaced():
            with open(target, "rb") as f:
                return f.read(2) == b"BM"
        wait_until(replaced, 10, what="the file replaced")
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- old.bmp", 10, what="title")
        self.assertEqual(pillow_rgb(target).getpixel((5, 5)), (0x12, 0x34, 0x56))
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- old.bmp")

    def test_a_failed_open_leaves_the_current_picture(self):
        k = self.start()
        self.driver("clip_put", 40, 30, 0xFF00FF)
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        before = self.picture_pixels()
        # A broken BMP fails silently.
        self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2,
                                        [os.path.join(SUITE, "b", "rletopdown.bmp")]))
        self.driver("send", k.hwnd, 0, 0, 0)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")
        self.assertEqual(self.picture_pixels(), before)
        # A file no plug-in reads gives the message.
        text = os.path.join(self.dir, "notes.txt")
        with open(text, "w") as f:
            f.write("not a picture\n")
        self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [text]))
        box = self.driver.wait_window("#32770", "Kelvoｴﾗｰ")
        texts = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                    if c["class"] == "Static" and c["text"]], 10, what="text")
        self.assertEqual(texts, ["読込に失敗しました"])
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.assertEqual(self.picture_pixels(), before)
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo")

    def test_corpus_files_open_with_imagemagicks_pixels(self):
        k = self.start()
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        for name in ["pal1.bmp", "pal4rle.bmp", "pal8rle.bmp", "pal8topdown.bmp", "pal8v5.bmp",
                     "rgb16-565.bmp", "rgb32bf.bmp"]:
            path = os.path.join(SUITE, "g", name)
            self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [path]))
            wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- " + name, 10, what=name)
            self.assertEqual(list(self.driver.clip_image().getdata()),
                             list(imagemagick_rgb(path).getdata()), name)


class Wallpaper(BmpTestCase):
    def test_wallpaper_writes_kelvo_bmp_after_the_question(self):
        wallpaper = os.path.join(harness.env()["prefix"], "drive_c", "windows", "KELVO.BMP")
        before = self.driver("reg_get", "HKCU", r"Control Panel\Desktop", "Wallpaper")
        self.addCleanup(self.restore, wallpaper, before)
        if os.path.exists(wallpaper):
            os.remove(wallpaper)
        k = self.start()
        self.driver("clip_put", 80, 60, 0x00A0FF)

        def ask():
            self.driver.post_command(k.hwnd, 40054)
            box = self.driver.wait_window("#32770", "Kelvo")
            texts = wait_until(lambda: [c["text"] for c in self.driver("children", box)["children"]
                                        if c["class"] == "Static" and c["text"]], 10, what="text")
            self.assertEqual(texts, ["壁紙に登録します\nよろしいですか"])
            return box

        box = ask()
        self.driver("click", box, IDNO)
        self.driver("wait_gone", box, 10000)
        self.assertFalse(os.path.exists(wallpaper))

        box = ask()
        settled_screenshot("wallpaper-question")
        self.driver("click", box, IDYES)
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- KELVO.BMP", 10, what="title")
        self.assertEqual(pillow_rgb(wallpaper).getpixel((1, 1)), (0x00, 0xA0, 0xFF))
        value = self.driver("reg_get", "HKCU", r"Control Panel\Desktop", "Wallpaper")
        self.assertTrue(value["found"])
        self.assertIn(b"KELVO.BMP", bytes.fromhex(value["data"]).upper())

    def restore(self, path, before):
        if os.path.exists(path):
            os.remove(path)
        if before.get("found"):
            self.driver("reg_set", "HKCU", r"Control Panel\Desktop", "Wallpaper", before["type"],
                        before["data"] or "-")
        else:
            self.driver("reg_del", "HKCU", r"Control Panel\Desktop", "Wallpaper")
