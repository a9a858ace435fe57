#!/usr/bin/python3
"""Measures Kelvo side by side with ImageMagick and Pillow in one run and
writes BENCHMARKS.md (run through scripts/bench.sh, which builds first).

  run_bench.py BUILD_DIR OUTPUT_MD

- desktop grab -> BMP file through Kelvo's own path (kbench.exe: grab,
  Capture DIB, write; timed inside the process, without the pauses the
  commands make for the user), against ImageMagick's
  `import -window root file.bmp` on the same Xvfb screen; also with RLE8;
- desktop grab -> PNG file of an ordinary desktop (bench/desktop_picture.py
  shown over the whole screen), time and size, against ImageMagick's
  `convert shot.bmp shot.png` and Pillow's `Image.save("shot.png")` on the
  BMP of the same screen;
- RLE8/RLE4 coding and BMP reading (kelvo_picture_bench) against
  ImageMagick and Pillow (bench/run_picture_bench.sh);
- an unzoomed and a zoomed paint of a 3840 x 2160 picture in the main
  window (kbench.exe);
- a pen stroke in the markup editor on a 3840 x 2160 picture, each mouse
  move with its redraw, and the memory of 100 undo steps (kbench.exe);
- a 1920 x 1080 PNG opened through the bundled plug-in inside the process
  and through the plug-in helper, and the helper's start (kbench.exe);
- a 3840 x 2160 PNG and JPEG opened through the system's codecs in the
  helper and through the bundled plug-in there (kbench.exe);
- the memory of a running kelvo.exe holding a 3840 x 2160 picture;
- the rectangle selection on a still screen at 1920 x 1080 and 3840 x 2160
  (bench/still_bench.py).
"""
import json
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
SCREEN = (1920, 1080)
os.environ["KELVO_SCREEN"] = f"{SCREEN[0]}x{SCREEN[1]}x24"
import env as wineenv  # noqa: E402

ROUNDS = 15
BLOCKS = 3
OPTION_NAMES = {"default": "encoder's default (adaptive)", "paeth": "paeth (Kelvo)",
                "interlaced": "paeth, interlaced"}


MARKUP_MOVES = 200


def markup_section(markup):
    """The markup editor's figures, as lines of BENCHMARKS.md."""
    client = markup["markup_move_unzoomed"]["client"]
    steps = markup["markup_undo_100_strokes"]["bytes"]
    return [
        "## Drawing in the markup editor on a 3840 x 2160 picture",
        "",
        f"`kbench.exe markup`: the main window, maximised (client {client[0]} x {client[1]}), in "
        f"the editor with the pen; one stroke of {MARKUP_MOVES} mouse moves of 12 pixels, each "
        "timed from the move to the end of the redraw it causes (`WM_MOUSEMOVE`, `UpdateWindow`, "
        "`GdiFlush`). The press keeps a copy of the picture for the step's undo; the release "
        "keeps the step.",
        "",
        "| | unzoomed ms | zoomed ms | target |",
        "|---|---:|---:|---|",
        f"| a mouse move and its redraw, median | {markup['markup_move_unzoomed']['median']:.2f} "
        f"| {markup['markup_move_zoomed']['median']:.2f} | < 16 |",
        f"| a mouse move and its redraw, slowest | {max(markup['markup_move_unzoomed']['ms']):.2f} "
        f"| {max(markup['markup_move_zoomed']['ms']):.2f} | < 16 |",
        f"| the press | {markup['markup_press_unzoomed']['median']:.1f} "
        f"| {markup['markup_press_zoomed']['median']:.1f} | |",
        f"| the release | {markup['markup_release_unzoomed']['median']:.1f} "
        f"| {markup['markup_release_zoomed']['median']:.1f} | |",
        "",
        "The undo stack after 100 pen strokes (2 pixels wide, 40 moves across about 400 x 120 "
        "pixels each): each step keeps only the pixels it changed, in runs along the rows.",
        "",
        "| | bytes | per step |",
        "|---|---:|---:|",
        f"| 100 strokes | {steps} | {steps // 100} |",
        "",
    ]


def kbench(harness, *args):
    # Output through a file: Wine's helper processes inherit a pipe and
    # would keep it open after kbench has ended.
    with tempfile.TemporaryFile("w+") as out:
        code = subprocess.run([harness.WINE, os.path.join(harness.BIN, "kbench.exe"),
                               *map(str, args)], env=harness.wine_environ(), stdout=out,
                              stderr=subprocess.DEVNULL, timeout=600).returncode
        out.seek(0)
        text = out.read()
    if code != 0:
        raise RuntimeError(f"kbench {args} failed: {text}")
    return {r["what"]: r for r in map(json.loads, text.split("\n")[:-1])}


def import_times(harness, folder):
    times = []
    env = {**os.environ, "DISPLAY": f":{harness.env()['display']}"}
    for i in range(ROUNDS):
        t0 = time.perf_counter()
        subprocess.run(["/usr/bin/import", "-window", "root", os.path.join(folder, "import.bmp")],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append((time.perf_counter() - t0) * 1000)
    return statistics.median(times), min(times)


def png_figures(harness, folder):
    """Kelvo's capture to PNG of the ordinary desktop, and ImageMagick's and
    Pillow's PNG of the BMP Kelvo writes from the same screen."""
    from PIL import Image
    sys.path.insert(0, os.path.join(ROOT, "bench"))
    import desktop_picture
    backdrop = os.path.join(folder, "desktop.bmp")
    desktop_picture.make(*SCREEN).save(backdrop)
    shots = os.path.join(folder, "shots")
    os.mkdir(shots)
    args = (ROUNDS, harness.winpath(shots))
    kbench(harness, "grab", *args, "bmp", harness.winpath(backdrop))
    bmp, png = os.path.join(shots, "kbench.bmp"), os.path.join(shots, "kbench.png")
    magick = os.path.join(folder, "magick.png")
    # Kelvo and ImageMagick in alternate blocks, so that a slow spell of the
    # machine weighs on both alike; medians over every round.
    kelvo, times = {}, []
    for _ in range(BLOCKS):
        for what, r in kbench(harness, "grab", *args, "png", harness.winpath(backdrop)).items():
            kelvo.setdefault(what, {**r, "ms": []})["ms"] += r["ms"]
        for _ in range(ROUNDS):
            t0 = time.perf_counter()
            subprocess.run(["/usr/bin/convert", bmp, magick], check=True)
            times.append((time.perf_counter() - t0) * 1000)
    for r in kelvo.values():
        r["median"], r["rounds"] = statistics.median(r["ms"]), len(r["ms"])
    options = kbench(harness, "pngoptions", ROUNDS, harness.winpath(backdrop))
    with Image.open(bmp) as a, Image.open(png) as b:
        same = a.convert("RGB").tobytes() == b.convert("RGB").tobytes()
        shows_desktop = a.convert("RGB").tobytes() == Image.open(backdrop).convert("RGB").tobytes()
    pillow = os.path.join(folder, "pillow.png")
    pillow_times = []
    with Image.open(bmp) as im:
        im.load()
        for _ in range(ROUNDS):
            t0 = time.perf_counter()
            im.save(pillow)
            pillow_times.append((time.perf_counter() - t0) * 1000)
    return {
        "kelvo": kelvo, "options": options, "same": same, "shows_desktop": shows_desktop,
        "magick_ms": statistics.median(times), "magick_bytes": os.path.getsize(magick),
        "pillow_ms": statistics.median(pillow_times), "pillow_bytes": os.path.getsize(pillow),
    }


def desktop_png(folder):
    """A 1920 x 1080 PNG of ordinary content: a desktop gradient, a window
    of text and a photo-like area."""
    path = os.path.join(folder, "desktop.png")
    text = []
    for i in range(30):
        text += ["-annotate", f"+16+{24 + i * 18}",
                 f"{i + 1:02d}  The quick brown fox jumps over the lazy dog; 0123456789 ({i * 37})"]
    subprocess.run(["/usr/bin/convert", "-seed", "7", "-size", "1920x1080",
                    "gradient:#305f9f-#a0c0e0",
                    "(", "-size", "780x560", "plasma:fractal", "-blur", "0x1", ")",
                    "-geometry", "+1060+420", "-composite",
                    "(", "-size", "900x580", "xc:white", "-fill", "black", "-pointsize", "14", *text,
                    ")", "-geometry", "+60+60", "-composite", path], check=True)
    return path


def uhd_pictures(png):
    """The desktop PNG enlarged to 3840 x 2160, as a PNG and as a JPEG of
    quality 90 (Pillow)."""
    from PIL import Image
    folder = os.path.dirname(png)
    out = []
    with Image.open(png) as im:
        big = im.convert("RGB").resize((3840, 2160), Image.LANCZOS)
    for name, options in (("uhd.png", {}), ("uhd.jpg", {"quality": 90})):
        path = os.path.join(folder, name)
        big.save(path, **options)
        out.append(path)
    return out


def picture_memory(harness, folder):
    """Working set of kelvo.exe before and after it opens a 3840 x 2160
    24-bit BMP, and its peak."""
    from PIL import Image
    import xdnd
    path = os.path.join(folder, "uhd.bmp")
    im = Image.new("RGB", (3840, 2160))
    im.putdata([((x * 7) & 255, (y * 3) & 255, (x + y) & 255)
                for y in range(2160) for x in range(3840)])
    im.save(path)
    driver = harness.Driver()
    driver("clip_empty")
    kelvo = harness.Kelvo(driver, cwd=folder)
    try:
        hwnd = kelvo.wait_main()
        before = driver("probe", hwnd, 5)["result"]
        x, y, w, h = driver.state(hwnd)["client"]
        xdnd.drop_files(f":{harness.env()['display']}", x + w // 2, y + h // 2, [path])
        harness.wait_until(lambda: driver.title(hwnd) == "Kelvo --- uhd.bmp", 60, what="open")
        driver("invalidate", hwnd)
        harness.wait_until(lambda: driver.toolbar(hwnd)[40008]["enabled"], 30, what="paint")
        after = driver("probe", hwnd, 5)["result"]
        return before, after, os.path.getsize(path)
    finally:
        kelvo.stop()
        driver.close()


def main():
    build, output = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    load_before = os.getloadavg()[0]
    state = os.path.join(build, "bench")
    wine = wineenv.use_own_environment(state, os.path.join(build, "win-x86_64", "bin"))
    import harness
    try:
        folder = tempfile.mkdtemp(dir=state)
        plain = kbench(harness, "grab", ROUNDS, harness.winpath(folder))
        rle8 = kbench(harness, "grab", ROUNDS, harness.winpath(folder), "rle8")
        imp_median, imp_min = import_times(harness, folder)
        capture = png_figures(harness, folder)
        paint = kbench(harness, "paint", ROUNDS, 3840, 2160)
        markup = kbench(harness, "markup", MARKUP_MOVES, 3840, 2160)
        png = desktop_png(folder)
        spi = kbench(harness, "plugins", ROUNDS, harness.winpath(png))
        png_bytes = os.path.getsize(png)
        uhd = uhd_pictures(png)
        codec = kbench(harness, "codec", ROUNDS, *map(harness.winpath, uhd))
        uhd_bytes = [os.path.getsize(p) for p in uhd]
        before, after, file_bytes = picture_memory(harness, folder)
    finally:
        wineenv.cleanup(wine, quiet=True)
    picture = subprocess.run([os.path.join(ROOT, "bench", "run_picture_bench.sh"), build],
                             capture_output=True, text=True).stdout
    sys.path.insert(0, os.path.join(ROOT, "bench"))
    import still_bench
    still = still_bench.section(build)

    uhd_pixels = 3840 * 2160
    held = after["working_set"] - before["working_set"]
    peak = after["peak_working_set"] - before["working_set"]
    g, r = plain["grab_to_file"]["median"], rle8["grab_to_file"]["median"]
    sr = plain["screen_read"]["median"]
    lines = [
        "# Benchmarks",
        "",
        f"Measured by `scripts/bench.sh` on {time.strftime('%Y-%m-%d')}, "
        f"{platform.processor() or platform.machine()}, {os.cpu_count()} cores, Wine 8 on Xvfb "
        f"({SCREEN[0]} x {SCREEN[1]}, 24-bit). Medians of {ROUNDS} rounds; all figures of a table "
        "come from the same run. Load average when the run began (other work on the machine "
        f"slows every figure): {load_before:.2f}.",
        "",
        "## Desktop grab to a BMP file",
        "",
        "Kelvo: `kbench.exe grab`, Kelvo's own code (grab into a display bitmap, Capture DIB, "
        "file) timed inside the process, without the pauses the commands add for the user. "
        "ImageMagick: `import -window root file.bmp` on the same screen, the whole command.",
        "",
        "| | ms | ratio to import | target |",
        "|---|---:|---:|---|",
        f"| Kelvo, 24-bit file | {g:.1f} | {g / imp_median:.2f} | ≤ 0.20 |",
        f"| Kelvo, RLE8 file | {r:.1f} | {r / imp_median:.2f} | ≤ 0.20 |",
        f"| of which the grab | {plain['grab']['median']:.1f} | | |",
        f"| of which, within the grab, the screen read alone (`BitBlt` from the display) "
        f"| {sr:.1f} | {sr / imp_median:.2f} | |",
        f"| of which the Capture DIB (24-bit) | {plain['capture_dib']['median']:.1f} | | |",
        f"| of which the Capture DIB (RLE8) | {rle8['capture_dib']['median']:.1f} | | |",
        f"| ImageMagick `import` | {imp_median:.1f} | 1.00 | |",
        "",
        "The rest of the grab is Wine's `SetClipboardData(CF_BITMAP)`, which copies the whole "
        "bitmap into the Wine server (a Windows clipboard keeps the handle). Under Wine the screen "
        f"read alone, an `XGetImage` of the root window, takes {sr / imp_median:.2f} of "
        "`import`'s whole command and the clipboard hand-over "
        f"{(plain['grab']['median'] - sr) / imp_median:.2f} more; "
        + ("so the target of a fifth cannot be reached here by any change in Kelvo. "
           if sr / imp_median > 0.20 else "")
        + "Kelvo's own work, the Capture DIB and the file, is the remainder.",
        "",
        "## Desktop capture to a PNG file",
        "",
        f"An ordinary {SCREEN[0]} x {SCREEN[1]} desktop (`bench/desktop_picture.py`: wallpaper "
        "gradient, a browser showing a page of photographs, an editor full of text, a picture "
        "viewer with a photograph, a task bar; the photographs from Debian's "
        "`imagemagick-6-doc`) shown over the whole screen. Kelvo: `kbench.exe grab ... png`, "
        "as capture and output does it: the grab, whose Capture DIB is encoded by the Windows "
        "Imaging Component (Wine's) on a worker thread while the bitmap goes to the clipboard, "
        "then the file; timed inside the process. ImageMagick: `convert shot.bmp shot.png`, "
        "the whole command; Pillow: `Image.save(\"shot.png\")` of the loaded picture; both on "
        "the BMP Kelvo writes of the same screen"
        + (" (which holds exactly the desktop picture shown)" if capture["shows_desktop"] else "")
        + ". Kelvo's PNG holds "
        + ("exactly" if capture["same"] else "NOT")
        + f" the pixels of that BMP. Kelvo and ImageMagick ran in {BLOCKS} alternate blocks of "
        f"{ROUNDS} rounds; medians over all {BLOCKS * ROUNDS}.",
        "",
        "| | ms | bytes | time / ImageMagick | size / ImageMagick | target |",
        "|---|---:|---:|---:|---:|---|",
        f"| Kelvo, capture to a PNG file | {capture['kelvo']['grab_to_file']['median']:.1f} "
        f"| {capture['kelvo']['file']['bytes']} "
        f"| {capture['kelvo']['grab_to_file']['median'] / capture['magick_ms']:.2f} "
        f"| {capture['kelvo']['file']['bytes'] / capture['magick_bytes']:.3f} | time ≤ 1.00, size ≤ 1.10 |",
        f"| of which the grab (screen read, Capture DIB, clipboard hand-over) "
        f"| {capture['kelvo']['grab']['median']:.1f} | | | | |",
        f"| of which the file (rest of the encoding, writing) | {capture['kelvo']['file']['median']:.1f} "
        f"| | {capture['kelvo']['file']['median'] / capture['magick_ms']:.2f} | | |",
        f"| ImageMagick `convert shot.bmp shot.png` | {capture['magick_ms']:.1f} | {capture['magick_bytes']} "
        "| 1.00 | 1.000 | |",
        f"| Pillow `Image.save(\"shot.png\")` | {capture['pillow_ms']:.1f} | {capture['pillow_bytes']} "
        f"| {capture['pillow_ms'] / capture['magick_ms']:.2f} | {capture['pillow_bytes'] / capture['magick_bytes']:.3f} | |",
        "",
        "The encoding runs during the clipboard hand-over (mostly Wine copying the bitmap into "
        "its server, above); the file part is what is left of it when the hand-over is done, "
        "and the writing.",
        "",
        "The encoder's own options (`FilterOption`, `InterlaceOption`), each on one capture of "
        "the same desktop (`kbench.exe pngoptions`: the encoding alone, into memory, on the "
        "main thread). Kelvo writes Paeth-filtered rows, not interlaced.",
        "",
        "| encoder options | ms | bytes | size / encoder's default | size / ImageMagick |",
        "|---|---:|---:|---:|---:|",
    ] + [
        f"| {OPTION_NAMES.get(name[4:], name[4:])} | {r['median']:.1f} | {r['bytes']} "
        f"| {r['bytes'] / capture['options']['png_default']['bytes']:.3f} "
        f"| {r['bytes'] / capture['magick_bytes']:.3f} |"
        for name, r in capture["options"].items()
    ] + [
        "",
        "## Painting a 3840 x 2160 picture",
        "",
        "`kbench.exe paint`: the main window, maximised "
        f"(client {paint['paint_unzoomed']['client'][0]} x {paint['paint_unzoomed']['client'][1]}), "
        "repainted whole from the clipboard's bitmap (`RedrawWindow` with update now, then "
        "`GdiFlush`).",
        "",
        "| | ms | target |",
        "|---|---:|---|",
        f"| unzoomed | {paint['paint_unzoomed']['median']:.1f} | < 16 |",
        f"| zoomed (fitted to the window, smoothed) | {paint['paint_zoomed']['median']:.1f} | < 16 |",
        "",
    ] + markup_section(markup) + [
        "## Memory holding a 3840 x 2160 picture",
        "",
        "kelvo.exe's working set before and after opening a 3840 x 2160 24-bit BMP "
        f"({file_bytes / 1e6:.1f} MB; {uhd_pixels * 4 / 1e6:.1f} MB as the display's 32-bit "
        "bitmap), from inside the process.",
        "",
        "| | MB | ratio to the 24-bit picture | target |",
        "|---|---:|---:|---|",
        f"| before | {before['working_set'] / 1e6:.1f} | | |",
        f"| holding the picture (increase) | {held / 1e6:.1f} | {held / (uhd_pixels * 3):.2f} | ≤ 2 |",
        f"| peak while opening it (increase) | {peak / 1e6:.1f} | {peak / (uhd_pixels * 3):.2f} | |",
        "",
        "## Opening a PNG through the image plug-in",
        "",
        f"`kbench.exe plugins`: a 1920 x 1080 PNG ({png_bytes / 1e6:.1f} MB: a desktop with a "
        "window of text and a photo-like area) opened through the bundled plug-in `ifstb.sph` up to "
        "the device bitmap. In Kelvo's process: the plug-in table in the process itself, as before "
        "the helper (asking, decoding, the checks, `CreateDIBitmap`). Through the helper: "
        "`LoadPicture` with `kelvo-spihost.exe` running (the request, the decoding there, the "
        "picture handed back in shared memory, the same checks and `CreateDIBitmap` in Kelvo). "
        "Rounds alternate between the two.",
        "",
        "| | ms | ratio to in-process | target |",
        "|---|---:|---:|---|",
        f"| in Kelvo's process | {spi['open_in_process']['median']:.1f} | 1.00 | |",
        f"| through the running helper | {spi['open_through_helper']['median']:.1f} | "
        f"{spi['open_through_helper']['median'] / spi['open_in_process']['median']:.2f} | ≤ 1.25 |",
        f"| helper start (process created until it is ready) | "
        f"{spi['helper_start']['median']:.1f} | | < 150 |",
        f"| `SPIInit` (helper start, search, plug-in loaded) | {spi['spiinit']['median']:.1f} | | |",
        "",
        "## Opening a 3840 x 2160 PNG and JPEG through the system's codecs",
        "",
        "`kbench.exe codec`: the 1920 x 1080 PNG of the section above enlarged to 3840 x 2160 and "
        f"saved by Pillow as PNG ({uhd_bytes[0] / 1e6:.1f} MB) and as JPEG of quality 90 "
        f"({uhd_bytes[1] / 1e6:.1f} MB), each opened as Kelvo opens a file (`LoadPictureFile`) "
        "up to the device bitmap. With no plug-in loaded the file goes to the Windows Imaging "
        "Component (Wine's) in `kelvo-spihost.exe`, which decodes it into the shared picture; "
        "with the bundled plug-in loaded, `ifstb.sph` in the same helper decodes it. The "
        "helper's start and Wine's first loading of the codecs fall in a warm-up round that is "
        "not counted.",
        "",
        "| | PNG ms | JPEG ms |",
        "|---|---:|---:|",
        f"| Windows Imaging Component in the helper | {codec['codec_open_png']['median']:.1f} "
        f"| {codec['codec_open_jpg']['median']:.1f} |",
        f"| bundled plug-in `ifstb.sph` in the helper | {codec['plugin_open_png']['median']:.1f} "
        f"| {codec['plugin_open_jpg']['median']:.1f} |",
        "",
        *still,
        "## RLE coding and BMP reading",
        "",
        "`bench/run_picture_bench.sh`: one thread, MB = 10^6 bytes; ImageMagick and Pillow on "
        "the same files in the same run.",
        "",
        "```",
        picture.strip(),
        "```",
        "",
    ]
    with open(output, "w") as f:
        f.write("\n".join(lines))
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
