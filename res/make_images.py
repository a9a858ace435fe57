#!/usr/bin/python3
"""Draws Kelvo's icon, cursors and toolbar strip and writes them as the
Windows files that kelvo.rc includes. The outputs are committed beside this
script, so the build never needs Python; run it again after changing a
drawing:  /usr/bin/python3 res/make_images.py [output-folder]

The ICO, CUR and BMP containers are written here byte by byte (directory,
BITMAPINFOHEADER, XOR bits, AND mask), so the layout is exactly what the
resource compiler and the window system expect, with no encoder in between.
"""
import math
import os
import struct
import sys

# The 16-colour palette of the toolbar strip and the icon, in the order of
# the Windows default palette, so that the toolbar can map light grey
# (index 7) to the button face.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# One letter per palette index for the pixel drawings below.
INK = {
    'k': 0, 'R': 1, 'G': 2, 'o': 3, 'n': 4, 'p': 5, 't': 6, '.': 7,
    'g': 8, 'r': 9, 'l': 10, 'y': 11, 'b': 12, 'm': 13, 'c': 14, 'w': 15,
}
BACKGROUND = INK['.']
TRANSPARENT = -1  # icon and cursor pixels that show what lies beneath

TB_W, TB_H, TB_COUNT = 16, 15, 18


class Canvas:
    """A grid of palette indices (or TRANSPARENT) with a few drawing aids."""

    def __init__(self, width, height, fill):
        self.w, self.h = width, height
        self.px = [[fill] * width for _ in range(height)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def art(self, rows, x0=0, y0=0, ink=INK):
        """Paints a drawing given as text rows; spaces leave pixels alone."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != ' ':
                    self.set(x0 + dx, y0 + dy, ink[ch])

    def rect(self, x0, y0, x1, y1, c):
        """Filled rectangle, both corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def disc(self, cx, cy, r, fill, rim=None):
        """Disc of radius r around (cx, cy) measured to pixel centres; with a
        rim colour the outermost pixel ring takes it."""
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d < r:
                    self.set(x, y, rim if rim is not None and d >= r - 1 else fill)

    def ring(self, cx, cy, r, c, width=1.0):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r - width <= d < r:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        """Bresenham line, both ends inclusive."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy


def glyph(rows):
    """A 16 x 15 toolbar image from a full drawing on the button face."""
    assert len(rows) == TB_H, (len(rows), rows)
    for row in rows:
        assert len(row) == TB_W, (len(row), row)
    c = Canvas(TB_W, TB_H, BACKGROUND)
    c.art(rows)
    return c


# ------------------------------------------------------------- toolbar

def tb_open():
    return glyph([
        "................",
        "................",
        ".kkkk...........",
        "kwwwwk..........",
        "kwooookkkkkkk...",
        "kwoooooooooook..",
        "kwoooooooooook..",
        "kwookkkkkkkkkkkk",
        "kwokyyyyyyyyyyyk",
        "kwkyyyyyyyyyyyk.",
        "kkyyyyyyyyyyyk..",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
        "................",
    ])


def tb_save():
    return glyph([
        "................",
        ".kkkkkkkkkkkkkk.",
        ".knwwwwwwwwwwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwggggggggwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwggggggggwnk.",
        ".knwwwwwwwwwwnk.",
        ".knnnnnnnnnnnnk.",
        ".knnnwwwwwwnnnk.",
        ".knnnwkkwwwnnnk.",
        ".knnnwkkwwwnnnk.",
        ".knnnwwwwwwnnnk.",
        "..kkkkkkkkkkkkk.",
        "................",
    ])


def tb_print():
    return glyph([
        "................",
        "....kkkkkkkk....",
        "....kwwwwwwk....",
        "....kwkkkkwk....",
        "....kwwwwwwk....",
        "..kkkkkkkkkkkk..",
        ".kwwwwwwwwwwwwk.",
        ".kw..........gk.",
        ".kw.......ll.gk.",
        ".kggggggggggggk.",
        ".kkkkkkkkkkkkkk.",
        "..kwwwwwwwwwwk..",
        "..kwkkkkkkkkwk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
    ])


def tb_desktop():
    return glyph([
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kwwwwwwwwwwwgk.",
        ".kwkkkkkkkkkkgk.",
        ".kwkwtwtttttkgk.",
        ".kwkttttttttkgk.",
        ".kwkwtttttttkgk.",
        ".kwkttttttttkgk.",
        ".kwkttttttttkgk.",
        ".kwkGggggggwkgk.",
        ".kwkkkkkkkkkkgk.",
        ".kggggggggggggk.",
        ".kkkkkkkkkkkkkk.",
        "......kggk......",
        "....kkkkkkkk....",
    ])


def tb_window():
    return glyph([
        "................",
        ".kkkkkkkkkkkkkk.",
        ".knnnnnnnnn..nk.",
        ".knwwwwnnnn..nk.",
        ".knnnnnnnnnnnnk.",
        ".kkkkkkkkkkkkkk.",
        ".kwwwwwwwwwwwwk.",
        ".kwwwwwwwwwwwwk.",
        ".kwwwwwwwwwwwwk.",
        ".kwwwwwwwwwwwwk.",
        ".kwwwwwwwwwwwwk.",
        ".kwwwwwwwwwwwwk.",
        ".kwwwwwwwwwwwwk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ])


def tb_rect():
    # A marching-ants selection with a drag handle at its far corner.
    c = Canvas(TB_W, TB_H, BACKGROUND)
    left, top, right, bottom = 1, 1, 13, 12
    for x in range(left, right + 1):
        if (x - left) % 3 != 2:
            c.set(x, top, INK['k'])
            c.set(x, bottom, INK['k'])
    for y in range(top, bottom + 1):
        if (y - top) % 3 != 2:
            c.set(left, y, INK['k'])
            c.set(right, y, INK['k'])
    c.art([
        "kk  ",
        "kwk ",
        "kwwk",
        "kkkk",
    ], 11, 11)
    return c


def tb_snapshot():
    return glyph([
        "......kkkk......",
        ".......kk.......",
        ".....kkkkkk.....",
        "....kwwwwwwk....",
        "...kwwwwkwwwk...",
        "..kwwwwwkwwwwk..",
        "..kwwwwwkwwwwk..",
        "..kwwwwwkkkkwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "...kwwwwwwwwk...",
        "....kwwwwwwk....",
        ".....kkkkkk.....",
        "................",
        "................",
    ])


def magnifier(c, cx, cy, r):
    """A lens of radius r around (cx, cy) with a handle towards the lower
    right."""
    c.disc(cx, cy, r, INK['c'], rim=INK['k'])
    c.set(int(cx - r / 2), int(cy - r / 2), INK['w'])
    c.set(int(cx - r / 2) + 1, int(cy - r / 2), INK['w'])
    c.set(int(cx - r / 2), int(cy - r / 2) + 1, INK['w'])
    reach = int(r * 0.72)
    x, y = int(cx) + reach, int(cy) + reach
    while x < c.w - 1 and y < c.h - 1:
        for d in (0, 1):
            c.set(x + d, y, INK['k'])
            c.set(x, y + d, INK['k'])
        c.set(x + 1, y + 1, INK['R'])
        x += 1
        y += 1


def tb_zoom():
    c = Canvas(TB_W, TB_H, BACKGROUND)
    magnifier(c, 6.0, 6.0, 5.6)
    return c


def tb_delete():
    return glyph([
        "................",
        "................",
        "..rR.......Rr...",
        "..rrR.....Rrr...",
        "...rrR...Rrr....",
        "....rrR.Rrr.....",
        ".....rrrrr......",
        "......rrr.......",
        ".....rrrrr......",
        "....rrR.Rrr.....",
        "...rrR...Rrr....",
        "..rrR.....Rrr...",
        "..rR.......Rr...",
        "................",
        "................",
    ])


def tb_preview():
    # A printed page looked at through a lens.
    c = glyph([
        "................",
        ".kkkkkkkk.......",
        ".kwwwwwwkk......",
        ".kwggggwkwk.....",
        ".kwwwwwwkkkk....",
        ".kwggggggwwk....",
        ".kwwwwwwwwwk....",
        ".kwgggggwwwk....",
        ".kwwwwwwwwwk....",
        ".kwggggwwwwk....",
        ".kwwwwwwwwwk....",
        ".kwggggwwwwk....",
        ".kwwwwwwwwwk....",
        ".kkkkkkkkkkk....",
        "................",
    ])
    magnifier(c, 10.5, 9.5, 3.6)
    return c


def tb_showprint():
    # The printer, with a speech balloon: "the program says it prints".
    return glyph([
        "......kkkkkkkkk.",
        "......kwwwwwwwk.",
        "......kwrwrwrwk.",
        "......kwwwwwwwk.",
        "......kkwkkkkkk.",
        "......kk........",
        "...kwwwwwk......",
        "..kkkkkkkkkkk...",
        ".kwwwwwwwwwwwk..",
        ".kw.......llgk..",
        ".kgggggggggggk..",
        ".kkkkkkkkkkkkk..",
        "..kwwwwwwwwwk...",
        "..kwkkkkkkkwk...",
        "..kkkkkkkkkkk...",
    ])


def tb_iconic():
    # A window folding down into a task-bar button.
    return glyph([
        "..kkkkkkkkkkkk..",
        "..knnnnnnnnnnk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
        "......bbbb......",
        "......bbbb......",
        "...bbbbbbbbbb...",
        "....bbbbbbbb....",
        ".....bbbbbb.....",
        "......bbbb......",
        ".......bb.......",
        "..kkkkkkkkkkkk..",
        "..knnnnnnnnnnk..",
        "..kkkkkkkkkkkk..",
    ])


def tb_about():
    c = Canvas(TB_W, TB_H, BACKGROUND)
    c.disc(7.5, 7.5, 7.0, INK['b'], rim=INK['n'])
    c.art([
        "ww",
        "ww",
        "  ",
        "ww",
        "ww",
        "ww",
        "ww",
        "ww",
    ], 7, 3)
    c.art(["w    w"], 5, 10)
    c.art(["wwwwww"], 5, 11)
    c.set(5, 10, INK['b'])
    c.set(10, 10, INK['b'])
    c.art(["www "], 6, 6)
    return c


def tb_wallpaper():
    return glyph([
        "................",
        "kkkkkkkkkkkkkkkk",
        "kcccccccccccyyck",
        "kccccccccccyyyyk",
        "kcccccccccccyyck",
        "kccccGccccccccck",
        "kcccGGGcccccGcck",
        "kccGGGGGcccGGGck",
        "kcGGGGGGGcGGGGGk",
        "kGGGGGGGGGGGGGGk",
        "kGGlGGGGGGGlGGGk",
        "kllllllllllllllk",
        "kllllllllllllllk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ])


def tb_blank_square():
    c = Canvas(TB_W, TB_H, BACKGROUND)
    c.frame(4, 3, 11, 10, INK['g'])
    return c


def tb_blank_circle():
    c = Canvas(TB_W, TB_H, BACKGROUND)
    c.ring(8.0, 7.0, 4.5, INK['g'])
    return c


def tb_blank_dot():
    c = Canvas(TB_W, TB_H, BACKGROUND)
    c.rect(7, 6, 8, 7, INK['g'])
    return c


def tb_markup():
    # A pencil writing on a picture.
    return glyph([
        "............kkk.",
        "...........kmmmk",
        "kkkkkkkkkkkmmmk.",
        "kwwwwwwwwkkkkk..",
        "kwwwwwwwkyyyk...",
        "kwwwwwwkyyyk....",
        "kwwwwwkyyyk.....",
        "kwwwwkyyyk......",
        "kwwwkyyyk.......",
        "kwwkwwwk........",
        "kwwkwwk.........",
        "kwrkkk..........",
        "krrrr...........",
        "kkkkk...........",
        "................",
    ])


TOOLBAR = [
    tb_open, tb_save, tb_print, tb_desktop, tb_window, tb_rect,
    tb_snapshot, tb_zoom, tb_delete, tb_preview, tb_showprint, tb_iconic,
    tb_about, tb_wallpaper, tb_blank_square, tb_blank_circle, tb_blank_dot,
    tb_markup,
]


def toolbar_strip(scale=None, side=None):
    """The 18 images side by side: as drawn (16 x 15), or each padded to a
    square of 16 and enlarged by scale to side x side."""
    assert len(TOOLBAR) == TB_COUNT
    images = [draw() for draw in TOOLBAR]
    if scale:
        images = [scale(square(g, TB_W, BACKGROUND)) for g in images]
        assert all((g.w, g.h) == (side, side) for g in images)
    w, h = images[0].w, images[0].h
    strip = Canvas(w * TB_COUNT, h, BACKGROUND)
    for i, g in enumerate(images):
        for y in range(h):
            for x in range(w):
                strip.set(i * w + x, y, g.get(x, y))
    return strip


# ------------------------------------------------------ larger drawings

# Kelvo draws its images once, at 100 %; for 150 % and 200 % they are
# enlarged here by the pixel-art rules below, which keep every pixel one of
# the drawing's own colours (no blur) and round off diagonal edges instead
# of turning them into staircases.

def square(c, side, fill):
    """c padded at the bottom and right to side x side."""
    out = Canvas(side, side, fill)
    for y in range(c.h):
        for x in range(c.w):
            out.set(x, y, c.get(x, y))
    return out


def neighbours(c, x, y):
    """The 3 x 3 neighbourhood of (x, y), edges repeated outwards."""
    def at(i, j):
        return c.get(min(max(i, 0), c.w - 1), min(max(j, 0), c.h - 1))
    return [[at(x + dx, y + dy) for dx in (-1, 0, 1)] for dy in (-1, 0, 1)]


def scale2x(c):
    """Twice the size (the EPX / Scale2x rules)."""
    out = Canvas(c.w * 2, c.h * 2, 0)
    for y in range(c.h):
        for x in range(c.w):
            n = neighbours(c, x, y)
            a, b, cc, d, p = n[0][1], n[1][2], n[1][0], n[2][1], n[1][1]
            e0 = a if cc == a and cc != d and a != b else p
            e1 = b if a == b and a != cc and b != d else p
            e2 = cc if d == cc and d != b and cc != a else p
            e3 = d if b == d and b != a and d != cc else p
            out.set(2 * x, 2 * y, e0)
            out.set(2 * x + 1, 2 * y, e1)
            out.set(2 * x, 2 * y + 1, e2)
            out.set(2 * x + 1, 2 * y + 1, e3)
    return out


def scale3x(c):
    """Three times the size (the Scale3x rules)."""
    out = Canvas(c.w * 3, c.h * 3, 0)
    for y in range(c.h):
        for x in range(c.w):
            (a, b, cc), (d, e, f), (g, h, i) = neighbours(c, x, y)
            block = [e] * 9
            if b != h and d != f:
                block[0] = d if d == b else e
                block[1] = b if (d == b and e != cc) or (b == f and e != a) else e
                block[2] = f if b == f else e
                block[3] = d if (d == b and e != g) or (d == h and e != a) else e
                block[5] = f if (b == f and e != i) or (h == f and e != cc) else e
                block[6] = d if d == h else e
                block[7] = h if (d == h and e != i) or (h == f and e != g) else e
                block[8] = f if h == f else e
            for k, v in enumerate(block):
                out.set(3 * x + k % 3, 3 * y + k // 3, v)
    return out


def ink_rank(v):
    """Which colour wins a tie when halving: transparency and the button
    face lose, then the darker colour wins, so thin outlines never vanish."""
    if v == TRANSPARENT:
        return 3000
    if v == BACKGROUND:
        return 2000
    r, g, b = VGA[v]
    return (299 * r + 587 * g + 114 * b) // 1000


def halve(c):
    """Half the size: each 2 x 2 block becomes its most frequent colour."""
    out = Canvas(c.w // 2, c.h // 2, 0)
    for y in range(out.h):
        for x in range(out.w):
            block = [c.get(2 * x + dx, 2 * y + dy) for dy in (0, 1) for dx in (0, 1)]
            out.set(x, y, min(set(block), key=lambda v: (-block.count(v), ink_rank(v))))
    return out


def scale15(c):
    """One and a half times the size: three times, then halved."""
    return halve(scale3x(c))


# ---------------------------------------------------------------- icon

def icon_32():
    c = Canvas(32, 32, TRANSPARENT)
    k, g, s, w = INK['k'], INK['g'], INK['.'], INK['w']
    # Capture corners: the frame a screen capture cuts out.
    for (x, y, dx, dy) in ((0, 0, 1, 1), (31, 0, -1, 1),
                           (0, 31, 1, -1), (31, 31, -1, -1)):
        for i in range(7):
            for t in range(2):
                c.set(x + dx * i, y + dy * t, INK['r'])
                c.set(x + dx * t, y + dy * i, INK['r'])
    # Camera body with viewfinder hump, shutter button and flash.
    c.rect(10, 6, 18, 9, k)
    c.rect(11, 7, 17, 9, g)
    c.rect(4, 9, 27, 26, k)
    c.rect(5, 10, 26, 25, g)
    c.rect(5, 10, 26, 11, s)
    c.rect(5, 10, 5, 25, s)
    c.rect(5, 25, 26, 25, INK['k'])
    c.rect(6, 7, 8, 8, INK['r'])
    c.set(6, 7, INK['R'])
    c.rect(21, 12, 25, 14, k)
    c.rect(22, 13, 24, 13, INK['y'])
    # Lens: grey barrel, dark glass, a highlight.
    c.disc(15.5, 18.0, 7.5, s, rim=k)
    c.disc(15.5, 18.0, 5.5, INK['n'], rim=k)
    c.disc(15.5, 18.0, 3.0, INK['b'])
    c.rect(13, 15, 14, 16, INK['c'])
    c.set(13, 15, w)
    return c


def icon_16():
    c = Canvas(16, 16, TRANSPARENT)
    c.art([
        "rrr          rrr",
        "r              r",
        "r    kkkk      r",
        "  rr kggggk     ",
        "  kkkkkkkkkkkk  ",
        "  k...kkkk.yyk  ",
        "  k..kwcbbk..k  ",
        "  k..kcbbnk..k  ",
        "  k..kbbnnk..k  ",
        "  k..knnnnk..k  ",
        "  k...kkkk...k  ",
        "  k..........k  ",
        "  kkkkkkkkkkkk  ",
        "r              r",
        "r              r",
        "rrr          rrr",
    ])
    return c


# ------------------------------------------------------------- cursors

# Cursor pixels: 0 black, 1 white, TRANSPARENT.
def outline(c, ink=0, halo=1):
    """Gives every ink pixel a one-pixel halo, so the cursor stays visible
    on dark and light screens alike."""
    marks = [(x, y) for y in range(c.h) for x in range(c.w) if c.get(x, y) == ink]
    for (x, y) in marks:
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                nx, ny = x + dx, y + dy
                if 0 <= nx < c.w and 0 <= ny < c.h and c.get(nx, ny) == TRANSPARENT:
                    c.set(nx, ny, halo)


def cursor_reticle():
    c = Canvas(32, 32, TRANSPARENT)
    c.ring(16.0, 16.0, 10.0, 0, width=1.2)
    for i in range(3, 29):
        if not 13 <= i <= 18:  # leave the centre open so the aim is visible
            c.set(i, 15, 0)
            c.set(i, 16, 0)
            c.set(15, i, 0)
            c.set(16, i, 0)
    c.set(15, 15, 0)
    c.set(16, 16, 0)
    c.set(15, 16, 0)
    c.set(16, 15, 0)
    outline(c)
    return c


ARROW = [
    "X           ",
    "XX          ",
    "XWX         ",
    "XWWX        ",
    "XWWWX       ",
    "XWWWWX      ",
    "XWWWWWX     ",
    "XWWWWWWX    ",
    "XWWWWWWWX   ",
    "XWWWWWWWWX  ",
    "XWWWWWXXXXX ",
    "XWWXWWX     ",
    "XWX XWWX    ",
    "XX  XWWX    ",
    "X    XWWX   ",
    "     XWWX   ",
    "      XX    ",
]


def cursor_pencil():
    c = Canvas(32, 32, TRANSPARENT)
    c.art(ARROW, 0, 0, ink={'X': 0, 'W': 1})
    # A pencil lying from upper right down to its point at (14, 28):
    # outlined, with a black point and a band where the wood meets the
    # painted body, and a black cap at the far end.
    tip_x, tip_y = 14.5, 28.5
    length, half = 18.0, 2.6
    inside = {}
    for y in range(32):
        for x in range(32):
            px, py = x + 0.5 - tip_x, y + 0.5 - tip_y
            along = (px - py) / math.sqrt(2)   # towards the upper right
            across = (px + py) / math.sqrt(2)
            width = half if along > 5 else half * along / 5
            if 0 <= along <= length and abs(across) <= width:
                inside[(x, y)] = along
    for (x, y), along in inside.items():
        edge = any(n not in inside
                   for n in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)))
        dark = edge or along < 1.8 or 4.8 <= along < 5.8 or along > length - 3
        c.set(x, y, 0 if dark else 1)
    # What it has drawn so far: the corner of a rectangle, ending at the
    # point, as in a rectangle drag.
    c.line(3, 28, 13, 28, 0)
    c.line(3, 21, 3, 28, 0)
    outline(c)
    return c


# ------------------------------------------------------------- writers

def row_bytes(width, bits):
    return ((width * bits + 31) // 32) * 4


def pack_rows(canvas, bits, value):
    """Bottom-up DIB rows of value(pixel) at the given depth."""
    out = bytearray()
    stride = row_bytes(canvas.w, bits)
    per_byte = 8 // bits
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(canvas.w):
            v = value(canvas.get(x, y))
            shift = 8 - bits * (x % per_byte + 1)
            row[x // per_byte] |= v << shift
        out += row
    return bytes(out)


def info_header(width, height, bits, image_size, colours):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0,
                       image_size, 0, 0, colours, 0)


def palette_bytes(colours):
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in colours)


def bmp_4bit(canvas):
    bits = pack_rows(canvas, 4, lambda v: v)
    header = info_header(canvas.w, canvas.h, 4, len(bits), 16) + palette_bytes(VGA)
    offset = 14 + len(header)
    return struct.pack('<2sIHHI', b'BM', offset + len(bits), 0, 0, offset) + header + bits


def and_mask(canvas):
    return pack_rows(canvas, 1, lambda v: 1 if v == TRANSPARENT else 0)


def icon_image(canvas):
    """Icon entry: header with doubled height, palette, XOR, AND."""
    xor = pack_rows(canvas, 4, lambda v: 0 if v == TRANSPARENT else v)
    mask = and_mask(canvas)
    header = info_header(canvas.w, canvas.h * 2, 4, len(xor) + len(mask), 16)
    return header + palette_bytes(VGA) + xor + mask


def cursor_image(canvas):
    xor = pack_rows(canvas, 1, lambda v: 0 if v == TRANSPARENT else v)
    mask = and_mask(canvas)
    header = info_header(canvas.w, canvas.h * 2, 1, len(xor) + len(mask), 2)
    return header + palette_bytes([(0, 0, 0), (255, 255, 255)]) + xor + mask


def ico_file(canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 16, 0, 1, 4,
                           len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def cur_file(canvases, hot_x, hot_y):
    """A cursor file of one or more sizes, all with the same hot spot."""
    images = [cursor_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 2, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 2, 0,
                           hot_x, hot_y, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def sizes(canvas):
    """A 32-pixel drawing at 100 %, 150 % and 200 %."""
    return [canvas, scale15(canvas), scale2x(canvas)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = sys.argv[1] if len(sys.argv) > 1 else here
    files = {
        # 32 and 16 pixels, and both at 150 % and 200 % for scaled screens.
        'kelvo.ico': ico_file(sizes(icon_32()) + [icon_16(), scale15(icon_16())]),
        # Both cursors pick at the top-left pixel of their image, at every size.
        'reticle.cur': cur_file(sizes(cursor_reticle()), 0, 0),
        'pencil.cur': cur_file(sizes(cursor_pencil()), 0, 0),
        'toolbar.bmp': bmp_4bit(toolbar_strip()),
        'toolbar24.bmp': bmp_4bit(toolbar_strip(scale15, 24)),
        'toolbar32.bmp': bmp_4bit(toolbar_strip(scale2x, 32)),
    }
    for name, data in files.items():
        with open(os.path.join(outdir, name), 'wb') as f:
            f.write(data)
        print(f'{name}: {len(data)} bytes')


if __name__ == '__main__':
    main()
