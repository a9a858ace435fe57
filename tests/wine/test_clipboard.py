"""The picture's clipboard formats for other programs ("PNG", CF_DIBV5),
made when a program asks and still there after Kelvo ends, and a picture
another program put on the clipboard only as "PNG"."""
import os
import shutil
import struct
import tempfile

from PIL import Image

from harness import KelvoTestCase, wait_until, screen_image, winpath, ARTIFACTS

CF_BITMAP, CF_DIBV5 = 2, 17
DESKTOP = 40014


class ClipboardFormats(KelvoTestCase):
    def setUp(self):
        super().setUp()
        self.dir = tempfile.mkdtemp(prefix="clip-", dir=ARTIFACTS)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def data(self, format_name):
        path = os.path.join(self.dir, "%s.bin" % format_name)
        self.driver("clip_data", format_name, winpath(path))
        with open(path, "rb") as f:
            return f.read()

    def png(self):
        path = os.path.join(self.dir, "clip.png")
        with open(path, "wb") as f:
            f.write(self.data("PNG"))
        with Image.open(path) as im:
            self.assertEqual(im.format, "PNG")
            return list(im.convert("RGB").getdata())

    def dib_v5(self):
        """The CF_DIBV5 picture's header fields and its pixels as RGB."""
        data = self.data(str(CF_DIBV5))
        size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 0)
        self.assertEqual((size, planes, bits, compression), (124, 1, 24, 0))
        self.assertEqual(data[56:60], b"BGRs")  # LCS_sRGB
        row = (width * 3 + 3) // 4 * 4
        pixels = []
        for y in range(height):
            start = 124 + (height - 1 - y) * row
            line = data[start:start + 3 * width]
            pixels += [(line[i + 2], line[i + 1], line[i]) for i in range(0, 3 * width, 3)]
        return width, height, pixels

    def test_a_capture_offers_png_and_dibv5_of_the_same_picture(self):
        k = self.start()
        self.driver.send_command(k.hwnd, DESKTOP)
        formats = self.driver("clip_formats")["formats"]
        png_format = self.driver("clip_format_id", "PNG")["format"]
        for wanted in (CF_BITMAP, png_format, CF_DIBV5):
            self.assertIn(wanted, formats)
        reference = os.path.join(self.dir, "reference.bmp")
        self.driver("clip_save", winpath(reference), 24)
        with Image.open(reference) as im:
            expected = list(im.convert("RGB").getdata())
            size = im.size
        self.assertEqual(self.png(), expected)
        self.assertEqual(self.dib_v5(), (size[0], size[1], expected))
        # Kelvo ends: what it offered is made before it goes.
        self.assertEqual(k.stop(), 0)
        self.assertEqual(self.png(), expected)

    def test_a_picture_put_only_as_png_is_shown(self):
        picture = Image.new("RGB", (120, 90), (0x12, 0x9A, 0xE0))
        path = os.path.join(self.dir, "only.png")
        picture.save(path)
        k = self.start()
        self.driver("clip_put_data", "PNG", winpath(path))
        self.assertNotIn(CF_BITMAP, self.driver("clip_formats")["formats"])
        self.driver("invalidate", k.hwnd)
        x, y, w, h = self.driver.state(k.hwnd)["client"]
        top = self.driver("toolbar", k.hwnd)["height"]
        wait_until(lambda: screen_image().getpixel((x + 60, y + top + 45)) == (0x12, 0x9A, 0xE0),
                   10, what="the PNG's colour in the view")
