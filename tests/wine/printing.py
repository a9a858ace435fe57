"""Helpers for the printing tests: the PDF printers that scripts/services.sh
sets up, waiting for a printed page, rendering it, and checking where a
known picture landed on it.

The printers are cups-pdf queues: "PDF" (the default) writes each job to
~/PDF, "PDF2" to ~/PDF-second, as PRINT_SCREEN...-job_N.pdf, where ~ is the
home of the user that runs Wine (the one in the passwd entry, as cups-pdf
looks it up).
"""
import fcntl
import glob
import os
import pwd
import random
import subprocess
import time

from harness import ARTIFACTS, winpath

HOME = pwd.getpwuid(os.getuid()).pw_dir
PDF_DIR = os.path.join(HOME, "PDF")
PDF2_DIR = os.path.join(HOME, "PDF-second")
SERVICES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                        "services.sh")

PRINT = 40001
PRINTER_SETUP = 40003
SCALE = 40004
OUTPUT_FILE = 40009
OUTPUT_PRINTER = 40010
DISCARD_PRINTER = 40013
SHOW_PRINT = 40022
SAVE_PRINTER = 40024
LOAD_PRINTER = 40025
CAPTURE_AND_OUTPUT = 1  # lParam of PRINT

# Print dialog (comdlg32): the printer combo box; Print Setup: its printer
# combo box and the orientation buttons.
PRINT_DIALOG_PRINTER = 1139
SETUP_PRINTER = 1136
SETUP_PORTRAIT = 1056
SETUP_LANDSCAPE = 1057

# The picture the placement tests print: 4 x 3 cells of colours that every
# palette holds exactly (so an 8-bit RLE page keeps them), none white like
# the paper.
GRID_COLUMNS, GRID_ROWS = 4, 3
GRID_COLOURS = [
    [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)],
    [(255, 0, 255), (0, 255, 255), (128, 0, 0), (0, 128, 0)],
    [(0, 0, 128), (128, 128, 0), (128, 0, 128), (0, 128, 128)],
]
WHITE = (255, 255, 255)


# Test runs in other Wine environments on the same machine print to the
# same queues; a page of theirs arriving during a test of ours would be
# taken for ours.
LOCK_PATH = "/tmp/kelvo-printers.lock"


def hold_printers(testcase):
    """Takes the machine-wide lock on the printers for the length of one
    test (released by the test's clean-up)."""
    f = open(LOCK_PATH, "a")
    fcntl.flock(f, fcntl.LOCK_EX)

    def release():
        fcntl.flock(f, fcntl.LOCK_UN)
        f.close()
    testcase.addCleanup(release)


def ensure_printers():
    """Runs scripts/services.sh (idempotent, quick) so that the scheduler
    runs and both printers exist."""
    subprocess.run([SERVICES], check=True, stdout=subprocess.DEVNULL)


def grid_bmp(width=400, height=300):
    """Writes the grid picture as a 24-bit BMP in ARTIFACTS; returns the
    path."""
    from PIL import Image
    im = Image.new("RGB", (width, height))
    for row in range(GRID_ROWS):
        for col in range(GRID_COLUMNS):
            box = (col * width // GRID_COLUMNS, row * height // GRID_ROWS,
                   (col + 1) * width // GRID_COLUMNS, (row + 1) * height // GRID_ROWS)
            im.paste(GRID_COLOURS[row][col], box)
    os.makedirs(ARTIFACTS, exist_ok=True)
    path = os.path.join(ARTIFACTS, f"print-grid-{width}x{height}.bmp")
    im.save(path)
    return path


def put_grid_on_clipboard(driver):
    driver("clip_load", winpath(grid_bmp()))


def pdfs(directory):
    return set(glob.glob(os.path.join(directory, "PRINT_SCREEN*.pdf")))


def _complete(path):
    try:
        size = os.path.getsize(path)
    except OSError:
        return False
    if size == 0:
        return False
    return subprocess.run(["pdfinfo", path], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def wait_pdf(directory, before, timeout=60.0, accept=None):
    """Waits for a new, complete PDF in directory (not in before) that
    accept(path) takes for this test's page (any, without accept);
    returns its path. Pages that accept refuses are another program's
    and are passed over."""
    deadline = time.monotonic() + timeout
    refused = set()
    while True:
        new = sorted(pdfs(directory) - before - refused, key=os.path.getmtime)
        for path in new:
            if not _complete(path):
                continue
            if accept is None or accept(path):
                return path
            refused.add(path)
        if time.monotonic() >= deadline:
            raise AssertionError(f"no printed page arrived in {directory} within {timeout} s"
                                 + (f" (passed over {sorted(refused)})" if refused else ""))
        time.sleep(0.2)


def assert_no_pdf(testcase, directory, before, accept=None, settle=6.0):
    """Checks that no page that accept(path) takes for this test's (any
    page, without accept) arrives in directory within settle seconds (a
    job takes about two seconds from the program to the PDF file)."""
    deadline = time.monotonic() + settle
    seen = set()
    while time.monotonic() < deadline:
        for path in pdfs(directory) - before - seen:
            if not _complete(path):
                continue
            seen.add(path)
            testcase.assertFalse(accept is None or accept(path), f"unexpected printed page {path}")
        time.sleep(0.2)


def new_pages(directory, before, accept):
    """The complete pages in directory, not in before, that accept takes."""
    return sorted(p for p in pdfs(directory) - before if _complete(p) and accept(p))


# Pages of other programs (test runs in other Wine environments) can
# arrive in the same folders; these tell ours apart.

def _mark_colour():
    rng = random.Random(os.urandom(8))
    while True:
        rgb = tuple(rng.randrange(0x30, 0xD0) for _ in range(3))
        # Not a grey (window frames, faces) and far from the grid's colours.
        if max(rgb) - min(rgb) >= 80 and all(max(abs(a - b) for a, b in zip(rgb, c)) > 60
                                             for row in GRID_COLOURS for c in row):
            return rgb


# A patch of a colour chosen afresh for every test run, placed on the
# desktop before a capture: a printed desktop with it is this run's.
MARK_RECT = (700, 500, 200, 150)
MARK_RGB = _mark_colour()


def place_mark(driver):
    """Puts the run's patch on the screen; returns its window."""
    from harness import screen_image, wait_until
    x, y, w, h = MARK_RECT
    hwnd = driver("place", x, y, w, h, "0x%02X%02X%02X" % MARK_RGB)["hwnd"]
    wait_until(lambda: screen_image().getpixel((x + w // 2, y + h // 2)) == MARK_RGB, 10,
               what="the patch on the screen")
    return hwnd


def shows_mark(image):
    """Whether a page that shows the 1024 x 768 desktop at the whole
    printable area has the run's patch where it was on the screen."""
    x, y, w, h = MARK_RECT
    sx, sy = image.width / 1024, image.height / 768
    return close(image.getpixel((int((x + w / 2) * sx), int((y + h / 2) * sy))), MARK_RGB, 12)


def desktop_page(path):
    return shows_mark(render(path))


def shows_grid(image):
    """Whether a page shows the grid picture at all (a tenth of it in the
    grid's colours; navy, the colour of title bars, does not count)."""
    colours = [c for row in GRID_COLOURS for c in row if c != (0, 0, 128)]
    points = [image.getpixel((int((i + 0.5) * image.width / 20), int((j + 0.5) * image.height / 20)))
              for i in range(20) for j in range(20)]
    hits = sum(1 for p in points if any(close(p, c, 24) for c in colours))
    return hits >= len(points) // 10


def grid_page(path, ghostscript=False):
    return shows_grid(render(path, ghostscript=ghostscript))


def blank_page(path):
    image = render(path)
    return all(image.getpixel((x, y)) == WHITE for x in range(0, image.width, 4)
               for y in range(0, image.height, 4))


def page_info(path):
    """{"size": (w, h) in points, "rotation": degrees} of the first page."""
    out = subprocess.run(["pdfinfo", path], check=True, capture_output=True, text=True).stdout
    info = {"rotation": 0}
    for line in out.splitlines():
        if line.startswith("Page size:"):
            parts = line.split()
            info["size"] = (float(parts[2]), float(parts[4]))
        elif line.startswith("Page rot:"):
            info["rotation"] = int(line.split()[2])
    return info


def page_count(path):
    out = subprocess.run(["pdfinfo", path], check=True, capture_output=True, text=True).stdout
    return int(next(line.split()[1] for line in out.splitlines() if line.startswith("Pages:")))


def render(path, dpi=40, ghostscript=False):
    """The first page as a Pillow RGB image (kept in ARTIFACTS as PNG),
    rendered by poppler, or by Ghostscript for pages whose picture is far
    larger than the page (poppler gives up on those: "Bogus memory
    allocation size")."""
    from PIL import Image
    os.makedirs(ARTIFACTS, exist_ok=True)
    stem = os.path.join(ARTIFACTS, "page-" + os.path.splitext(os.path.basename(path))[0])
    if ghostscript:
        subprocess.run(["gs", "-q", "-sDEVICE=png16m", f"-r{dpi}", "-dFirstPage=1",
                        "-dLastPage=1", "-o", stem + ".png", path], check=True)
    else:
        subprocess.run(["pdftoppm", "-r", str(dpi), "-png", "-singlefile", path, stem],
                       check=True)
    with Image.open(stem + ".png") as im:
        return im.convert("RGB")


def close(a, b, tolerance=48):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def expected_grid_colour(u, v, scale, page=(2479, 3508), margin=0.03):
    """What the page shows at (u, v) (fractions of the page's width and
    height) when the grid is printed at scale on a printable area of page
    device pixels: a cell colour, WHITE outside the picture, or None near
    an edge where rendering blends."""
    width, height = page
    w = width * scale // 100
    h = height * scale // 100
    x = (width - w) // 2 if width >= w else -((w - width) // 2)
    y = (height - h) // 2 if height >= h else -((h - height) // 2)
    pu = (u * width - x) / w
    pv = (v * height - y) / h
    # Near the picture's border or a cell border the answer is unsure.
    for p, cells in ((pu, GRID_COLUMNS), (pv, GRID_ROWS)):
        for k in range(cells + 1):
            if abs(p * cells - k) < margin * cells / max(scale / 100, 0.2):
                return None
    if not (0 <= pu < 1 and 0 <= pv < 1):
        return WHITE
    return GRID_COLOURS[int(pv * GRID_ROWS)][int(pu * GRID_COLUMNS)]


def grid_mismatches(image, scale, samples=24):
    """Points of a samples x samples raster over the page where the
    rendering differs from the grid printed at scale; [] when it matches.
    Also returns how many points were checked."""
    bad = []
    checked = 0
    for i in range(samples):
        for j in range(samples):
            u = (i + 0.5) / samples
            v = (j + 0.5) / samples
            want = expected_grid_colour(u, v, scale)
            if want is None:
                continue
            got = image.getpixel((int(u * image.width), int(v * image.height)))
            checked += 1
            if not close(got, want):
                bad.append(((round(u, 3), round(v, 3)), got, want))
    return bad, checked


def menu_item(driver, hwnd, command):
    """The menu bar item with the command id as the menu code prepares it
    (probe 1): {"grayed", "checked", ...}."""
    def walk(items):
        for item in items or []:
            if item["id"] == command:
                return item
            found = walk(item.get("items"))
            if found:
                return found
        return None
    item = walk(driver("probe", hwnd, 1)["result"]["items"])
    if item is None:
        raise AssertionError(f"no menu item {command}")
    return item


def settings_held(driver, hwnd):
    """Whether the menu shows printer settings as held (Cancel and Save
    enabled); both must agree."""
    discard = not menu_item(driver, hwnd, DISCARD_PRINTER)["grayed"]
    save = not menu_item(driver, hwnd, SAVE_PRINTER)["grayed"]
    if discard != save:
        raise AssertionError("Cancel and Save of the printer settings disagree")
    return discard


def scale_bytes(value):
    """SCALE as the registry holds it (REG_BINARY, 4 bytes little-endian)."""
    return value.to_bytes(4, "little").hex()
