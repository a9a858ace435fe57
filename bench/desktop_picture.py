"""An ordinary desktop for the PNG benchmark: a wallpaper gradient, a
browser window showing a page of photographs, an editor full of text, a
picture viewer with a photograph, and a task bar. The photographs are the
ones Debian's imagemagick-6-doc ships with ImageMagick's manual.

  desktop_picture.py OUT.png [WIDTH HEIGHT]
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

PHOTOS = "/usr/share/doc/imagemagick-6-common/html/images"
FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"
MONO = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

CODE = """\
// Writes the current picture to the next serially numbered file.
void SaveNextSerialBmp(HWND window, const char* baseName)
{
    const PictureFormat format = g_outputFormat;
    std::vector<char> name(strlen(baseName) + 16);
    PictureFile picture(format);
    if (picture.Make(window)) {
        result = WriteNextSerialFile(&g_serialCounter, tryNumber);
    }
    // 連番のファイルは上書きしない: 既にある番号は飛ばす
    ShowFileNotWritten(WideFromAnsi(name.data()).c_str());
}
"""


def window(draw, box, title, active=True):
    x0, y0, x1, y1 = box
    draw.rectangle(box, fill=(240, 240, 240), outline=(160, 160, 160))
    bar = (0, 84, 166) if active else (128, 128, 128)
    draw.rectangle((x0 + 1, y0 + 1, x1 - 1, y0 + 28), fill=bar)
    draw.text((x0 + 34, y0 + 6), title, font=ImageFont.truetype(FONT, 15), fill=(255, 255, 255))
    draw.rectangle((x0 + 8, y0 + 7, x0 + 24, y0 + 23), fill=(250, 200, 60))
    for i, c in enumerate(((232, 17, 35), (200, 200, 200), (200, 200, 200))):
        draw.rectangle((x1 - 32 - 44 * i, y0 + 4, x1 - 4 - 44 * i, y0 + 25), fill=c)
    return (x0 + 1, y0 + 29, x1 - 1, y1 - 1)


def make(width=1920, height=1080):
    im = Image.new("RGB", (width, height))
    px = im.load()
    for y in range(height):  # wallpaper: a smooth blue gradient
        for x in range(0, width):
            px[x, y] = (10 + y * 40 // height, 60 + x * 60 // width, 140 + y * 90 // height)
    draw = ImageDraw.Draw(im)
    text = ImageFont.truetype(FONT, 14)
    mono = ImageFont.truetype(MONO, 15)

    # Browser: tool bar, address bar and a page of photographs.
    x0, y0, x1, y1 = window(draw, (40, 30, 1100, 930), "ImageMagick Examples - Browser")
    draw.rectangle((x0, y0, x1, y0 + 40), fill=(250, 250, 250))
    draw.rectangle((x0 + 90, y0 + 8, x1 - 60, y0 + 32), fill=(255, 255, 255), outline=(180, 180, 180))
    draw.text((x0 + 100, y0 + 12), "file:///usr/share/doc/imagemagick-6-common/html/examples.html",
              font=text, fill=(40, 40, 40))
    page = Image.open(os.path.join(PHOTOS, "examples.jpg")).convert("RGB")
    draw.rectangle((x0, y0 + 41, x1, y1), fill=(255, 255, 255))
    im.paste(page.crop((0, 0, min(page.width, x1 - x0 - 200), y1 - y0 - 42)), (x0 + 120, y0 + 42))

    # Editor: lines of text in several colours.
    x0, y0, x1, y1 = window(draw, (980, 110, 1880, 720), "serial.cpp - Editor", active=False)
    draw.rectangle((x0, y0, x1, y1), fill=(255, 255, 255))
    lines = CODE.splitlines() * 3
    for i, line in enumerate(lines):
        y = y0 + 8 + i * 19
        if y > y1 - 20:
            break
        draw.text((x0 + 8, y), "%3d" % (i + 1), font=mono, fill=(150, 150, 150))
        colour = (0, 128, 0) if line.strip().startswith("//") else (20, 20, 120)
        draw.text((x0 + 48, y), line, font=mono, fill=colour)

    # Picture viewer: a photograph at twice its size.
    x0, y0, x1, y1 = window(draw, (700, 420, 1560, 1040), "bluebells.jpg - Photos", active=False)
    draw.rectangle((x0, y0, x1, y1), fill=(30, 30, 30))
    photo = Image.open(os.path.join(PHOTOS, "bluebells_lin.jpg")).convert("RGB")
    photo = photo.resize((photo.width * 2, photo.height * 2), Image.LANCZOS)
    im.paste(photo, (x0 + (x1 - x0 - photo.width) // 2, y0 + (y1 - y0 - photo.height) // 2))

    # Task bar with buttons and a clock.
    draw.rectangle((0, height - 40, width, height), fill=(32, 32, 40))
    for i in range(9):
        draw.rectangle((60 + 52 * i, height - 34, 88 + 52 * i, height - 6),
                       fill=((i * 70) % 256, (120 + i * 40) % 256, (200 - i * 20) % 256))
    draw.text((width - 90, height - 30), "17:42", font=text, fill=(255, 255, 255))
    return im


if __name__ == "__main__":
    size = (int(sys.argv[2]), int(sys.argv[3])) if len(sys.argv) > 3 else (1920, 1080)
    make(*size).save(sys.argv[1])
