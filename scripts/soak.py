#!/usr/bin/python3
"""Soak run: the snapshot timer at one second with serial file output,
until 600 files are written (about ten minutes). Prints Kelvo's GDI
objects, windows and memory at the start, every minute, and at the end,
checks that the files are numbered without a gap and are whole BMP
files, and exits non-zero when they are not or when the counts grow.

  scripts/soak.py [--files N] [--build DIR]

Not part of the test run. Wine waits about two seconds for a window
manager each time a capture hides the main window; the run tells Wine
that kelvo.exe needs none (AppDefaults, removed afterwards), as a real
desktop's window manager would answer at once.
"""
import argparse
import os
import shutil
import struct
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import env as wineenv  # noqa: E402

APPDEFAULTS = r"Software\Wine\AppDefaults\kelvo.exe\X11 Driver"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--files", type=int, default=600)
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    args = ap.parse_args()
    state = os.path.join(args.build, "soak")
    files = os.path.join(state, "files")
    shutil.rmtree(files, ignore_errors=True)
    os.makedirs(files)
    wine = wineenv.use_own_environment(state, os.path.join(args.build, "win-x86_64", "bin"))
    import harness
    driver = harness.Driver()
    kelvo = None
    try:
        driver("reg_set", "HKCU", APPDEFAULTS, "Managed", 1, "4e00")  # "N"
        kelvo = harness.Kelvo(driver, cwd=state)
        hwnd = kelvo.wait_main()
        dialog_serial(driver, hwnd, files)
        snapshot(driver, hwnd, True, "1")
        t0 = time.monotonic()
        samples = [("start", 0.0, resources(driver, hwnd), 0)]
        next_report = 60
        while count(files) < args.files:
            elapsed = time.monotonic() - t0
            if elapsed > args.files * 3:
                print("too slow: stopping early", flush=True)
                break
            if elapsed >= next_report:
                samples.append((f"{int(elapsed)} s", elapsed, resources(driver, hwnd), count(files)))
                report(samples[-1])
                next_report += 60
            time.sleep(1)
        snapshot(driver, hwnd, False)
        elapsed = time.monotonic() - t0
        samples.append(("end", elapsed, resources(driver, hwnd), count(files)))
        print()
        print(f"{'':>8} {'seconds':>8} {'files':>6} {'GDI':>5} {'windows':>8} {'memory MB':>10} {'peak MB':>8}")
        for s in samples:
            report(s)
        ok = check_files(files, args.files)
        # The first shots fill caches (fonts, clipboard formats, the
        # platform's bitmap pool); growth is judged from the first minute on.
        start, end = (samples[1] if len(samples) > 2 else samples[0])[2], samples[-1][2]
        grew = end["gdi"] - start["gdi"] > 8 or end["windows"] != start["windows"] \
            or end["working_set"] - start["working_set"] > 32 << 20
        if grew:
            print("resources grew over the run")
        print("soak", "passed" if ok and not grew else "FAILED")
        return 0 if ok and not grew else 1
    finally:
        if kelvo:
            try:
                kelvo.stop()
            except AssertionError:
                kelvo.kill()
        driver("reg_del", "HKCU", APPDEFAULTS, "Managed", check=False)
        driver.close()
        wineenv.cleanup(wine, quiet=True)


def resources(driver, hwnd):
    return driver("probe", hwnd, 5)["result"]


def report(sample):
    name, seconds, r, n = sample
    print(f"{name:>8} {seconds:8.0f} {n:6d} {r['gdi']:5d} {r['windows']:8d} "
          f"{r['working_set'] / 2**20:10.1f} {r['peak_working_set'] / 2**20:8.1f}", flush=True)


def count(folder):
    return len(os.listdir(folder))


def dialog_serial(driver, hwnd, folder):
    import harness
    driver.post_command(hwnd, 40009)
    d = driver.wait_window("#32770", "ﾌｧｲﾙ連続生成")
    driver("press", d, 1010)
    driver("set_text", d, 1003, harness.winpath(folder))
    driver("set_text", d, 1002, "soak")
    driver("click", d, 1)
    driver("wait_gone", d, 10000)


def snapshot(driver, hwnd, enable, interval=None):
    driver.post_command(hwnd, 40053)
    d = driver.wait_window("#32770", "ｽﾅｯﾌﾟｼｮｯﾄの設定")
    checked = driver("control", d, 1028)["check"] == 1
    if checked != enable:
        driver("press", d, 1028)
    if interval is not None:
        driver("set_text", d, 1029, interval)
    driver("click", d, 1)
    driver("wait_gone", d, 10000)


def check_files(folder, expected):
    names = sorted(os.listdir(folder))
    wanted = ["soak%04d.BMP" % n for n in range(1, len(names) + 1)]
    ok = names == wanted and len(names) >= expected
    if names != wanted:
        print("numbering has gaps or extra files")
    bad = 0
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if data[:2] != b"BM" or struct.unpack_from("<I", data, 2)[0] != len(data):
            bad += 1
    if bad:
        print(f"{bad} files are not whole BMP files")
    print(f"{len(names)} files, numbered 1..{len(names)}, {len(names) - bad} whole")
    return ok and bad == 0


if __name__ == "__main__":
    sys.exit(main())
