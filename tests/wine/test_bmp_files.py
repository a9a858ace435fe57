"""BMP and PNG files: serial output and its dialog, compression, the files
Kelvo writes as outside readers see them, the open and save dialogs, names
the ANSI code page cannot hold and names past 260 characters, drops, and the
wallpaper file."""
import os
import pwd
import shutil
import struct
import subprocess
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
BROWSE, SUFFIX, BMP, PNG = 1004, 1015, 1017, 1018
JPEG, QUALITY = 1300, 1302
FILE_NAME, FILE_TYPES = 1148, 1136
LVM_GETITEMCOUNT, WM_COMMAND, CBN_SELENDOK, CB_SHOWDROPDOWN = 0x1004, 0x0111, 9, 0x014F
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


def libjpeg_luma_table(quality):
    """The luminance quantization table, row by row as Pillow gives it,
    that the reference JPEG encoder scales for a quality."""
    base = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
            14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
            18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
            49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [min(255, max(1, (b * scale + 50) // 100)) for b in base]


def message_texts(driver, box):
    return wait_until(lambda: [c["text"] for c in driver("children", box)["children"]
                               if c["class"] == "Static" and c["text"]], 10, what="text")


def read_only_bind(test, path):
    """Makes the folder read-only for everyone, root too, until the test
    ends (a bind mount of itself, remounted read-only)."""
    subprocess.run(["mount", "--bind", path, path], check=True)
    test.addCleanup(subprocess.run, ["umount", path], stderr=subprocess.DEVNULL)
    subprocess.run(["mount", "-o", "remount,ro,bind", path], check=True)


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
                      button=IDOK, file_format=None):
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
        if file_format is not None:
            self.driver("press", dialog, file_format)
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

    def test_existing_files_are_kept_and_their_numbers_skipped(self):
        for n in (1, 3):
            with open(os.path.join(self.dir, "cap%04d.BMP" % n), "wb") as f:
                f.write(b"yesterday's capture")
        k = self.start()
        self.serial_dialog(k, serial=True, folder=winpath(self.dir), prefix="cap")
        self.output(k)
        self.output(k)
        self.assertEqual(self.files(), ["cap%04d.BMP" % n for n in (1, 2, 3, 4)])
        for n in (1, 3):
            with open(os.path.join(self.dir, "cap%04d.BMP" % n), "rb") as f:
                self.assertEqual(f.read(), b"yesterday's capture")
        self.assertEqual(headers(os.path.join(self.dir, "cap0004.BMP"))[0]["type"], b"BM")
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- cap0004.BMP")

        # Every number taken (0000..65535, five digits past 9999): a whole
        # round of the numbers ends in a message, and nothing is replaced.
        for n in range(65536):
            path = os.path.join(self.dir, "cap%04d.BMP" % n)
            if not os.path.exists(path):
                open(path, "wb").close()
        before = {name: os.path.getsize(os.path.join(self.dir, name)) for name in self.files()}
        self.driver.post_command(k.hwnd, *CAPTURE_AND_OUTPUT)
        box = self.driver.wait_window("#32770", "Kelvoｴﾗｰ", timeout=60)
        self.assertEqual(message_texts(self.driver, box),
                         ["ファイルが作成出来ませんでした( %s\\cap####.BMP )\n"
                          "0000～65535 の番号のファイルがすべてあります。" % winpath(self.dir)])
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.assertEqual({name: os.path.getsize(os.path.join(self.dir, name))
                          for name in self.files()}, before)

    def test_folders_and_prefixes_of_any_name_take_the_serial_files(self):
        k = self.start()
        # A folder Browse picks, of a name code page 932 cannot hold.
        picked = os.path.join(harness.env()["prefix"], "drive_c", "한국어 🦜 𠮷")
        os.makedirs(picked, exist_ok=True)
        self.addCleanup(shutil.rmtree, picked, True)
        self.driver.post_command(k.hwnd, 40009)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        self.driver("press", dialog, SERIAL_ON)
        self.driver("set_text", dialog, FOLDER, "C:\\한국어 🦜 𠮷")
        self.driver("set_text", dialog, PREFIX, "😀")
        self.driver("click", dialog, BROWSE)
        picker = self.driver.wait_window("#32770", "フォルダーの参照")
        wait_until(lambda: self.driver("control", picker, IDOK)["enabled"], 10, what="the picker's OK")
        self.driver("click", picker, IDOK)
        self.driver("wait_gone", picker, 10000)
        self.assertEqual(self.driver("control", dialog, FOLDER)["text"], "C:\\한국어 🦜 𠮷")
        self.driver("click", dialog, IDOK)
        self.driver("wait_gone", dialog, 10000)
        self.output(k)
        self.assertEqual(self.files(picked), ["😀0001.BMP"])
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- 😀0001.BMP")
        self.assertEqual(headers(os.path.join(picked, "😀0001.BMP"))[0]["type"], b"BM")

        # A folder deeper than 260 characters, typed.
        deep = os.path.join(self.dir, "한국어" * 20, "🦜" * 60, "𠮷" * 30)
        os.makedirs(deep)
        self.assertGreater(len(winpath(deep).encode("utf-16-le")) // 2, 260)
        self.serial_dialog(k, folder=winpath(deep), prefix="𠮷")
        self.output(k)
        self.assertEqual(self.files(deep), ["𠮷0002.BMP"])
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- 𠮷0002.BMP")

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
        self.driver("set_text", dialog, FILE_NAME, winpath(target + ".BMP"))
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
        self.driver("set_text", dialog, FILE_NAME, winpath(target + ".BMP"))
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


    def test_png_files_hold_the_pictures_pixels(self):
        k = self.start()
        both = [("ImageMagick", imagemagick_rgb), ("Pillow", pillow_rgb)]
        # RLE8 chosen before PNG: PNG keeps every colour, and the
        # compression choice is greyed while PNG is chosen.
        self.serial_dialog(k, compression=RLE8, file_format=PNG)
        self.driver.post_command(k.hwnd, 40009)
        dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
        self.assertFalse(self.driver("control", dialog, RLE8)["enabled"])
        self.assertEqual(self.driver("control", dialog, SUFFIX)["text"], "####.PNG")
        settled_screenshot("serial-output-png")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)

        picture = os.path.join(self.dir, "picture.bmp")
        colourful(203, 97).save(picture)
        self.driver("clip_load", winpath(picture))
        pictures = [(None, 24), ("clip_put_mono", 1), ("clip_put_mono", 4), ("clip_put_mono", 8)]
        for put, bits in pictures:
            with self.subTest(bits=bits):
                if put:
                    self.driver(put, 77, 41, bits)
                # The save dialog starts on the PNG type, whose extension
                # a name typed without one gets.
                path = os.path.join(self.dir, self.save_as(k, "png%d" % bits))
                self.assertEqual(os.path.basename(path).lower(), "png%d.png" % bits)
                with Image.open(path) as im:
                    self.assertEqual((im.format, im.mode), ("PNG", "RGB" if bits == 24 else "P"))
                expected = self.reference(bits)
                for name, read in both:
                    self.assertEqual(list(read(path).getdata()), list(expected.getdata()), name)

        # The dialog on BMP: a typed ".png" still makes a PNG file, and a
        # name without extension a BMP file.
        self.serial_dialog(k, file_format=BMP)
        with Image.open(os.path.join(self.dir, self.save_as(k, "typed.png"))) as im:
            self.assertEqual(im.format, "PNG")
        name = self.save_as(k, "plain")
        self.assertEqual(name.lower(), "plain.bmp")
        self.assertEqual(headers(os.path.join(self.dir, name))[0]["type"], b"BM")

    def test_png_serial_files_hold_each_captures_pixels(self):
        k = self.start()
        self.serial_dialog(k, serial=True, folder=winpath(self.dir), prefix="out", file_format=PNG)
        for n in (1, 2):
            self.output(k)
            path = os.path.join(self.dir, "out%04d.PNG" % n)
            self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- " + os.path.basename(path))
            # The capture is still on the clipboard: its BMP reading is what
            # the file must hold.
            expected = list(self.reference(24).getdata())
            with Image.open(path) as im:
                self.assertEqual((im.format, im.mode, im.size), ("PNG", "RGB", (1024, 768)))
                self.assertEqual(list(im.getdata()), expected, "Pillow")
            self.assertEqual(list(imagemagick_rgb(path).getdata()), expected, "ImageMagick")

        # Without numbering the save dialog offers PNG first.
        self.serial_dialog(k, serial=False)
        self.driver.post_command(k.hwnd, *CAPTURE_AND_OUTPUT)
        dialog = self.driver.wait_window("#32770", "名前を付けて保存")
        self.driver("set_text", dialog, FILE_NAME, winpath(os.path.join(self.dir, "asked")))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: self.driver.title(k.hwnd).lower() == "kelvo --- asked.png", 20,
                   what="asked.png")
        with Image.open(os.path.join(self.dir, self.driver.title(k.hwnd)[10:])) as im:
            self.assertEqual(im.format, "PNG")

    def test_jpeg_files_are_the_picture_at_the_chosen_quality(self):
        picture = os.path.join(self.dir, "picture.bmp")
        colourful(203, 97).save(picture)
        self.driver("clip_load", winpath(picture))
        k = self.start()
        sizes = {}
        for quality in (50, 95):
            self.driver.post_command(k.hwnd, 40009)
            dialog = self.driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
            self.driver("press", dialog, JPEG)
            self.driver("set_text", dialog, QUALITY, str(quality))
            self.driver("click", dialog, IDOK)
            self.driver("wait_gone", dialog, 10000)
            # The save dialog starts on the JPEG type.
            name = self.save_as(k, "q%d" % quality)
            self.assertEqual(name.lower(), "q%d.jpg" % quality)
            path = os.path.join(self.dir, name)
            sizes[quality] = os.path.getsize(path)
            with Image.open(path) as im:
                self.assertEqual((im.format, im.mode, im.size), ("JPEG", "RGB", (203, 97)))
                self.assertNotIn("exif", im.info)
                self.assertEqual(list(im.quantization[0]), libjpeg_luma_table(quality))
                got = list(im.getdata())
            want = list(Image.open(picture).convert("RGB").getdata())
            error = sum(abs(a - b) for p, q in zip(got, want) for a, b in zip(p, q)) / (3 * len(want))
            self.assertLess(error, 12, quality)
        self.assertLess(sizes[50], sizes[95])

    def save_as(self, k, name):
        """Saves through the save dialog; returns the file's name (Wine
        gives a type's extension in small letters)."""
        self.driver.post_command(k.hwnd, 40008)
        dialog = self.driver.wait_window("#32770", "名前を付けて保存")
        self.driver("set_text", dialog, FILE_NAME, winpath(os.path.join(self.dir, name)))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: self.driver.title(k.hwnd).startswith("Kelvo --- " + name), 10,
                   what="the saved file")
        return self.driver.title(k.hwnd)[len("Kelvo --- "):]


class OpenAndSave(BmpTestCase):
    def picture_pixels(self):
        return list(self.driver.clip_image().getdata())

    def test_open_dialog_opens_the_chosen_file(self):
        k = self.start()
        self.driver.post_command(k.hwnd, 40023)
        dialog = self.driver.wait_window("#32770", "開く")
        settled_screenshot("open-dialog")
        # A name typed without extension gets BMP's (in the letter case
        # the file dialog gives it).
        copy = os.path.join(self.dir, "pal8.bmp")
        shutil.copy(os.path.join(SUITE, "g", "pal8.bmp"), copy)
        self.driver("set_text", dialog, FILE_NAME, winpath(os.path.join(self.dir, "pal8")))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: self.driver.title(k.hwnd).lower() == "kelvo --- pal8.bmp", 10,
                   what="the opened file's name")
        self.assertEqual(self.driver.clip_image().size, (127, 64))
        self.assertEqual(list(self.driver.clip_image().getdata()),
                         list(imagemagick_rgb(copy).getdata()))
        self.assertEqual(self.driver.clip_bitmap()["palette"], 256)

    def test_file_dialogs_start_where_the_user_left_them(self):
        k = self.start()
        self.driver("clip_put", 64, 32, 0x123456)
        shots = os.path.join(self.dir, "shots")
        os.mkdir(shots)

        def name_box(dialog):
            return self.driver("control", dialog, FILE_NAME)["text"]

        def types_box(dialog):
            return [c["hwnd"] for c in self.driver("children", dialog)["children"]
                    if c["id"] == FILE_TYPES][0]

        def choose_type(dialog, name):
            # The file dialog takes a type when the choice ends (CBN_SELENDOK),
            # as a click in its list ends it.
            self.driver("combo_select", dialog, FILE_TYPES, name)
            self.driver("post", dialog, WM_COMMAND, FILE_TYPES | CBN_SELENDOK << 16, types_box(dialog))

        # The first save offers the date and time as a BMP name; choosing
        # PNG changes the offered name's extension.
        self.driver.post_command(k.hwnd, 40008)
        dialog = self.driver.wait_window("#32770", "名前を付けて保存")
        self.assertRegex(name_box(dialog), r"^\d{8}-\d{6}\.bmp$")
        choose_type(dialog, "PNG")
        wait_until(lambda: name_box(dialog).endswith(".png"), 10, what="the name following the type")
        self.driver("set_text", dialog, FILE_NAME, winpath(os.path.join(shots, "first")))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: os.path.exists(os.path.join(shots, "first.png")), 10, what="first.png")

        # The next save starts in that folder, on PNG, and its offered name
        # is saved as it stands.
        self.driver.post_command(k.hwnd, 40008)
        dialog = self.driver.wait_window("#32770", "名前を付けて保存")
        offered = name_box(dialog)
        self.assertRegex(offered, r"^\d{8}-\d{6}\.png$")
        self.assertEqual(self.driver("combo_items", dialog, FILE_TYPES)["selected"], 1)
        settled_screenshot("save-dialog-offered-name")
        self.driver("click", dialog, IDOK)
        wait_until(lambda: os.path.exists(os.path.join(shots, offered)), 10, what=offered)
        with Image.open(os.path.join(shots, offered)) as im:
            self.assertEqual(im.format, "PNG")

        # The open dialog starts on every picture; its BMP entry lists BMP
        # files only.
        for name in ("a.bmp", "b.txt"):
            shutil.copy(os.path.join(SUITE, "g", "pal8.bmp"), os.path.join(shots, name))
        self.driver.post_command(k.hwnd, 40023)
        dialog = self.driver.wait_window("#32770", "開く")
        types = self.driver("combo_items", dialog, FILE_TYPES)
        self.assertEqual(types["selected"], 0)
        self.assertTrue(types["items"][0].startswith("すべての画像ﾌｧｲﾙ("), types["items"])
        # Its list of types drops wide enough to show the longest whole.
        combo = [c for c in self.driver("probe", dialog, 6)["result"]["controls"]
                 if c["id"] == FILE_TYPES][0]
        self.assertGreater(combo["dropped_width"], combo["widest_item"])
        self.driver("send", types_box(dialog), CB_SHOWDROPDOWN, 1, 0)
        settled_screenshot("open-dialog-types")
        self.driver("send", types_box(dialog), CB_SHOWDROPDOWN, 0, 0)
        listing = [c["hwnd"] for c in self.driver("children", dialog)["children"]
                   if c["class"] == "SysListView32"][0]

        def listed():
            return self.driver("send", listing, LVM_GETITEMCOUNT, 0, 0)["result"]
        wait_until(lambda: listed() == 3, 10, what="a.bmp, first.png and the offered PNG")
        settled_screenshot("open-dialog-all-pictures")
        choose_type(dialog, "ﾋﾞｯﾄﾏｯﾌﾟ")
        wait_until(lambda: listed() == 1, 10, what="a.bmp alone")
        self.driver("click", dialog, IDCANCEL)
        self.driver("wait_gone", dialog, 10000)
        self.assertEqual(k.stop(), 0)

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

    def test_names_outside_the_code_page_are_saved_and_opened_as_they_are(self):
        k = self.start()
        for colour, name in [(0x123456, "𠮷野家の写真.bmp"), (0x654321, "한국어 🦜 사진.png"),
                             (0x0A0B0C, "😀.bmp")]:
            with self.subTest(name=name):
                self.driver("clip_put", 64, 32, colour)
                path = os.path.join(self.dir, name)
                self.driver.post_command(k.hwnd, 40008)
                dialog = self.driver.wait_window("#32770", "名前を付けて保存")
                self.driver("set_text", dialog, FILE_NAME, winpath(path))
                self.driver("click", dialog, IDOK)
                wait_until(lambda: os.path.exists(path), 10, what=name)
                wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- " + name, 10, what="title")
                rgb = ((colour >> 16) & 255, (colour >> 8) & 255, colour & 255)
                with Image.open(path) as im:
                    self.assertEqual(im.format, "PNG" if name.endswith(".png") else "BMP")
                    self.assertEqual(im.convert("RGB").getpixel((5, 5)), rgb)
        # Opened again by name through the open dialog, BMP files being
        # read by Kelvo itself.
        self.driver("clip_put", 8, 8, 0xFFFFFF)
        path = os.path.join(self.dir, "𠮷野家の写真.bmp")
        self.driver.post_command(k.hwnd, 40023)
        dialog = self.driver.wait_window("#32770", "開く")
        self.driver("set_text", dialog, FILE_NAME, winpath(path))
        self.driver("click", dialog, IDOK)
        wait_until(lambda: self.driver.clip_image() and self.driver.clip_image().size == (64, 32), 10,
                   what="the picture opened")
        self.assertEqual(self.driver.clip_image().getpixel((5, 5)), (0x12, 0x34, 0x56))
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- 𠮷野家の写真.bmp")
        self.assertEqual(self.files(), sorted(["𠮷野家の写真.bmp", "한국어 🦜 사진.png", "😀.bmp"]))

    def test_a_dropped_file_of_any_name_opens(self):
        k = self.start()
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        # Deeper than 260 characters, in folders of names code page 932
        # cannot hold.
        folder = os.path.join(self.dir, "한국어" * 20, "🦜" * 60, "𠮷" * 30)
        os.makedirs(folder)
        self.assertGreater(len(winpath(folder).encode("utf-16-le")) // 2, 260)
        for name, size in [("한국어 😀.bmp", (20, 10)), ("𠮷.BMP", (12, 6))]:
            with self.subTest(name=name):
                path = os.path.join(folder, name)
                Image.new("RGB", size, (7, 8, 9)).save(path, "BMP")
                self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [path]))
                wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- " + name, 10, what=name)
                self.assertEqual(self.driver.clip_image().size, size)
                self.assertEqual(self.driver.clip_image().getpixel((1, 1)), (7, 8, 9))

    def test_a_failed_open_names_the_file_and_the_reason_and_leaves_the_picture(self):
        k = self.start()
        self.driver("clip_put", 40, 30, 0xFF00FF)
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        display = ":%d" % harness.env()["display"]
        before = self.picture_pixels()
        whole = os.path.join(self.dir, "whole.bmp")
        Image.new("RGB", (8, 8), (1, 2, 3)).save(whole)
        with open(whole, "rb") as f:
            data = f.read()
        # A BMP cut inside its info header.
        damaged = os.path.join(self.dir, "damaged.bmp")
        with open(damaged, "wb") as f:
            f.write(data[:30])
        # Text named .png: the bundled plug-in reads PNG but does not take
        # it, nor does any codec of the system.
        notes = os.path.join(self.dir, "notes.png")
        with open(notes, "w") as f:
            f.write("not a picture\n")
        # A real PNG cut in half: the plug-in takes it and cannot decode it.
        cut = os.path.join(self.dir, "cut.png")
        Image.new("RGB", (64, 64), (9, 8, 7)).save(cut)
        with open(cut, "rb") as f:
            png = f.read()
        with open(cut, "wb") as f:
            f.write(png[:len(png) // 2])
        for path, reason, shot in [
                (damaged, "ファイルが壊れています（BMP のヘッダーや大きさが正しくありません）。",
                 "load-failed-damaged-bmp"),
                (notes, "画像ファイルではないか、この種類の画像を読める画像プラグインも "
                        "Windows の画像コーデックもありません。",
                 "load-failed-no-plugin"),
                (cut, "画像プラグインがこのファイルを読み取れませんでした（ファイルが壊れている"
                      "可能性があります）。", None)]:
            with self.subTest(file=os.path.basename(path)):
                self.assertTrue(xdnd.drop_files(display, x + w // 2, y + h // 2, [path]))
                box = self.driver.wait_window("#32770", "Kelvoｴﾗｰ")
                (text,) = message_texts(self.driver, box)
                lines = text.splitlines()
                self.assertEqual(lines[0], "読込に失敗しました( %s )" % winpath(path))
                self.assertEqual(lines[-1], reason)
                if shot:
                    settled_screenshot(shot)
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

    def test_a_picture_of_many_bands_of_rows_opens_whole(self):
        # Large true-colour files are read a band of rows at a time: this
        # one takes several bands, its rows stored top-down.
        k = self.start()
        width, height = 1001, 300
        picture = Image.new("RGB", (width, height))
        picture.putdata([((x * 7 + y) & 255, (y * 5) & 255, (x ^ y) & 255)
                         for y in range(height) for x in range(width)])
        stride = (width * 3 + 3) & ~3
        rows = b"".join(picture.crop((0, y, width, y + 1)).tobytes("raw", "BGR").ljust(stride, b"\0")
                        for y in range(height))
        path = os.path.join(tempfile.mkdtemp(), "bands.bmp")
        with open(path, "wb") as f:
            f.write(struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54))
            f.write(struct.pack("<IiiHHIIiiII", 40, width, -height, 1, 24, 0, len(rows), 0, 0, 0, 0))
            f.write(rows)
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        self.assertTrue(xdnd.drop_files(":%d" % harness.env()["display"], x + w // 2, y + h // 2,
                                        [path]))
        wait_until(lambda: self.driver.title(k.hwnd) == "Kelvo --- bands.bmp", 10, what="bands.bmp")
        self.assertEqual(self.driver.clip_image().tobytes(), picture.tobytes())


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

        # The picture came from a file of its own; the wallpaper is a copy.
        self.driver("set_title", k.hwnd, "Kelvo --- PICTURE.BMP")
        box = ask()
        settled_screenshot("wallpaper-question")
        self.driver("click", box, IDYES)

        def registered():
            value = self.driver("reg_get", "HKCU", r"Control Panel\Desktop", "Wallpaper")
            return value["found"] and b"KELVO.BMP" in bytes.fromhex(value["data"]).upper()
        wait_until(registered, 10, what="the wallpaper registered")
        self.assertEqual(pillow_rgb(wallpaper).getpixel((1, 1)), (0x00, 0xA0, 0xFF))
        self.assertEqual(self.driver.title(k.hwnd), "Kelvo --- PICTURE.BMP")

    def test_wallpaper_goes_to_the_users_own_folder_when_windows_is_read_only(self):
        prefix = harness.env()["prefix"]
        windows = os.path.join(prefix, "drive_c", "windows")
        user = pwd.getpwuid(os.getuid()).pw_name  # Wine's user folder has the same name
        local = os.path.join(prefix, "drive_c", "users", user, "AppData", "Local")
        own = os.path.join(local, "Kelvo", "KELVO.BMP")
        before = self.driver("reg_get", "HKCU", r"Control Panel\Desktop", "Wallpaper")
        self.addCleanup(self.restore, own, before)
        self.addCleanup(shutil.rmtree, os.path.dirname(own), True)
        k = self.start()
        self.driver("clip_put", 80, 60, 0x00A0FF)
        read_only_bind(self, windows)
        read_only_bind(self, local)

        def register():
            self.driver.post_command(k.hwnd, 40054)
            box = self.driver.wait_window("#32770", "Kelvo")
            self.driver("click", box, IDYES)
            self.driver("wait_gone", box, 10000)

        # Neither place can take the file: the user is told.
        register()
        box = self.driver.wait_window("#32770", "Kelvoｴﾗｰ")
        self.assertEqual(message_texts(self.driver, box),
                         ["ファイルが作成出来ませんでした( C:\\users\\%s\\AppData\\Local\\Kelvo"
                          "\\KELVO.BMP )" % user])
        self.driver("click", box, IDOK)
        self.driver("wait_gone", box, 10000)
        self.assertEqual(self.driver("reg_get", "HKCU", r"Control Panel\Desktop", "Wallpaper"),
                         before)

        subprocess.run(["umount", local], check=True)
        register()
        wait_until(lambda: os.path.exists(own), 10, what="the user's own KELVO.BMP")
        self.assertEqual(pillow_rgb(own).getpixel((1, 1)), (0x00, 0xA0, 0xFF))
        self.assertFalse(os.path.exists(os.path.join(windows, "KELVO.BMP")))
        value = self.driver("reg_get", "HKCU", r"Control Panel\Desktop", "Wallpaper")
        self.assertEqual(bytes.fromhex(value["data"]).rstrip(b"\0").decode().upper(),
                         "C:\\USERS\\%s\\APPDATA\\LOCAL\\KELVO\\KELVO.BMP"
                         % user.upper())

    def restore(self, path, before):
        if os.path.exists(path):
            os.remove(path)
        if before.get("found"):
            self.driver("reg_set", "HKCU", r"Control Panel\Desktop", "Wallpaper", before["type"],
                        before["data"] or "-")
        else:
            self.driver("reg_del", "HKCU", r"Control Panel\Desktop", "Wallpaper")
