#!/usr/bin/python3
"""Times the rectangle selection on a still screen at 1920 x 1080 and at
3840 x 2160 (one Xvfb and Wine prefix each) and prints a Markdown table for
BENCHMARKS.md:

  still_bench.py BUILD_DIR [ROUNDS]

- the rectangle command to the still screen shown (taken, dimmed, painted),
  with the 300 ms pause that lets uncovered windows repaint and without it;
- one redraw per mouse move (magnifier, frame, size label), hovering and
  dragging (kbench.exe still; the target is below 8 ms).
"""
import json
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE_TESTS = os.path.join(ROOT, "tests", "wine")
SIZES = ["1920x1080", "3840x2160"]


def run(build, size, rounds):
    state = tempfile.mkdtemp(prefix="kelvo-still-bench-")
    environ = {**os.environ, "KELVO_SCREEN": f"{size}x24"}
    env_py = os.path.join(WINE_TESTS, "env.py")
    subprocess.run([sys.executable, env_py, "setup", state], env=environ, check=True,
                   stdout=subprocess.DEVNULL)
    try:
        os.environ["KELVO_WINE_ENV"] = os.path.join(state, "env.json")
        sys.path.insert(0, WINE_TESTS)
        import harness
        harness.ENV = None
        # Without a window manager Wine waits about two seconds for a managed
        # window to hide; Kelvo's tests mark it unmanaged, and so does this.
        subprocess.run([harness.WINE, "reg", "add",
                        r"HKCU\Software\Wine\AppDefaults\kbench.exe\X11 Driver", "/v", "Managed",
                        "/d", "N", "/f"], env=harness.wine_environ(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with tempfile.TemporaryFile("w+") as out:
            subprocess.run([harness.WINE, os.path.join(build, "win-x86_64", "bin", "kbench.exe"),
                            "still", str(rounds)], env=harness.wine_environ(), stdout=out,
                           stderr=subprocess.DEVNULL, timeout=600, check=True)
            out.seek(0)
            return {r["what"]: r for r in map(json.loads, out.read().split("\n")[:-1])}
    finally:
        subprocess.run([sys.executable, env_py, "cleanup", state], env=environ,
                       stdout=subprocess.DEVNULL)


def section(build, rounds=300):
    """The section of BENCHMARKS.md, as a list of lines."""
    rows = []
    load = os.getloadavg()[0]
    for size in SIZES:
        r = run(build, size, rounds)
        hover, drag = r["loupe_move_hover"], r["loupe_move_drag"]

        def p95(m):
            return m["ms"][int(len(m["ms"]) * 0.95)]
        rows.append(f"| {size.replace('x', ' x ')} | {r['still_shown']['median']:.0f} | "
                    f"{r['still_shown_without_pause']['median']:.0f} | {hover['median']:.2f} | "
                    f"{p95(hover):.2f} | {drag['median']:.2f} | {p95(drag):.2f} | < 8 |")
    return [
        "## Rectangle selection on a still screen",
        "",
        "`bench/still_bench.py` (`kbench.exe still`), one Xvfb screen of each size: from the "
        "rectangle command until the still screen is up and painted (the screen taken, dimmed "
        "and shown), with the 300 ms pause that lets uncovered windows repaint and without it; "
        f"then {rounds} mouse moves of a few pixels each, hovering and then dragging, each sent "
        "to the window and timed until its redraw (magnifier, frame, size) is done. The 95th "
        "percentile is shown beside the median: single moves show other work on the machine. "
        f"Load average when this part began: {load:.2f}.",
        "",
        "| screen | command to still screen shown, ms | without the pause, ms | "
        "redraw per move, hovering: median, ms | 95 %, ms | dragging: median, ms | 95 %, ms | "
        "target, ms |",
        "|---|---:|---:|---:|---:|---:|---:|---|",
        *rows,
        "",
    ]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    print("\n".join(section(build, rounds)))


if __name__ == "__main__":
    main()
