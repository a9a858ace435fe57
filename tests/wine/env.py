#!/usr/bin/python3
"""Sets up and tears down the Wine test environment of one test run.

  env.py setup   STATE_DIR   start Xvfb on a free display, create a fresh
                             Wine prefix (Japanese locale, font replacement
                             for the dialog font), keep wineserver running,
                             write STATE_DIR/env.json
  env.py cleanup STATE_DIR   stop wineserver and every Wine process of the
                             prefix, stop Xvfb (and another display a test
                             module left running)

Both are idempotent; cleanup also runs after an interrupted setup.

A few test modules move the prefix for a while onto another display
(start_display, stop_display): two monitors side by side, which Xvfb
cannot show, on an Xorg server with the dummy video driver; one large
screen for the scaled-display tests; or one small screen for the DDE load
test, whose thousand captures and files are quicker at that size.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/bin/wineserver"
SCREEN = os.environ.get("KELVO_SCREEN", "1024x768x24")
WINE_FONTS = "/usr/share/wine/fonts"


def log(*args):
    print("[env]", *args, flush=True)


def free_display(skip=()):
    for n in range(90, 190):
        if n in skip:
            continue
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise RuntimeError("no free X display number")


def lock_owner(display):
    try:
        with open(f"/tmp/.X{display}-lock") as f:
            return int(f.read().strip() or 0)
    except (OSError, ValueError):
        return 0


def start_server(command_for, what):
    """Starts an X server on a free display number; returns the process and
    the number once it serves. Two test runs at once (two checkouts) may
    both find a number free: the server that writes the lock first keeps
    it, the other ends, and that run tries the next number instead of
    talking to a display that is not its own."""
    lost = set()
    for _ in range(20):
        display = free_display(lost)
        server = subprocess.Popen(command_for(display), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, start_new_session=True)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if server.poll() is not None:
                break
            if lock_owner(display) == server.pid and subprocess.run(
                    ["xdpyinfo", "-display", f":{display}"], stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL).returncode == 0:
                return server, display
            time.sleep(0.1)
        else:
            server.kill()
            server.wait()
            raise RuntimeError(f"timed out waiting for {what} on :{display}")
        lost.add(display)
    raise RuntimeError(f"no display number could be had for {what}")


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise RuntimeError(f"timed out waiting for {what}")


def wine_env(prefix, display):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "DISPLAY": f":{display}",
        "LANG": "ja_JP.UTF-8",
        "LC_ALL": "ja_JP.UTF-8",
        "WINEDEBUG": "-all",
        "WINEARCH": "win64",
        # No Mono/Gecko installers, no desktop menu entries.
        "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
    })
    return env


REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"UseTakeFocus"="N"
"Decorated"="N"
"""


def use_own_environment(state, bindir):
    """For scripts outside the test run: a prefix and an Xvfb of their own
    under STATE/wine, made now and used by the harness of this process for
    the programs in BINDIR. Returns the folder to pass to cleanup."""
    folder = os.path.join(state, "wine")
    os.makedirs(state, exist_ok=True)
    os.environ["KELVO_WINE_ENV"] = os.path.join(folder, "env.json")
    os.environ["KELVO_BIN"] = bindir
    os.environ["KELVO_ARTIFACTS"] = state
    setup(folder)
    return folder


def setup(state):
    cleanup(state, quiet=True)
    os.makedirs(state, exist_ok=True)
    shutil.rmtree(os.path.join(state, "prefix"), ignore_errors=True)
    xvfb, display = start_server(
        lambda n: ["Xvfb", f":{n}", "-screen", "0", SCREEN, "-nolisten", "tcp"], "Xvfb")
    log(f"Xvfb on :{display}")
    info = {"display": display, "xvfb_pid": xvfb.pid, "prefix": os.path.join(state, "prefix")}
    with open(os.path.join(state, "env.json"), "w") as f:
        json.dump(info, f)

    prefix = info["prefix"]
    env = wine_env(prefix, display)
    started = time.monotonic()
    subprocess.run([WINE, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    subprocess.run([WINESERVER, "-w"], env=env, check=False)
    # Debian's Wine does not look in its own font folder; without Marlett
    # the caption buttons show letters.
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    if os.path.isdir(WINE_FONTS):
        for name in os.listdir(WINE_FONTS):
            if name.endswith(".ttf"):
                shutil.copy(os.path.join(WINE_FONTS, name), fonts)
    regfile = os.path.join(state, "setup.reg")
    with open(regfile, "w", encoding="utf-16") as f:
        f.write(REGISTRY.replace("REGEDIT4", "Windows Registry Editor Version 5.00"))
    subprocess.run([WINE, "regedit", "/S", regfile], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], env=env, check=False)
    # A persistent server: every test process starts without waiting for one.
    subprocess.Popen([WINESERVER, "-p"], env=env, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, start_new_session=True).wait()
    log(f"prefix ready in {time.monotonic() - started:.1f} s")


# One dummy video card with a 2048 x 768 frame buffer; its outputs DUMMY0
# (the primary) and DUMMY1 are set to 1024 x 768 each by xrandr. Input
# devices are not looked for: the tests' input comes through XTEST.
XORG_CONFIG = """Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "card"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "card"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2048 768
    EndSubSection
EndSection
"""


def restart_wine(info, display):
    """Ends every Wine process of the prefix and starts a persistent server
    again; the next Wine program brings the prefix's desktop up on
    display."""
    env = wine_env(info["prefix"], display)
    subprocess.run([WINESERVER, "-k"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False, timeout=60)
    subprocess.run([WINESERVER, "-w"], env=env, check=False, timeout=60)
    subprocess.Popen([WINESERVER, "-p"], env=env, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, start_new_session=True).wait()


# The other displays a test module may move the prefix onto.
TWO_MONITORS = "two-monitors"  # Xorg: 1024 x 768 twice, the primary one right
LARGE = "large"                # Xvfb: one 2048 x 1536 monitor, room for 200 %
SMALL = "small"                # Xvfb: one 640 x 480 monitor, for many quick captures
XVFB_SCREENS = {LARGE: "2048x1536x24", SMALL: "640x480x24"}


def start_display(state, layout):
    """Starts the X server of layout (TWO_MONITORS, LARGE or SMALL) and moves the
    prefix onto it. On two monitors Windows sees the virtual screen from
    (-1024, 0) to (1024, 768). Returns the display number."""
    path = os.path.join(state, "env.json")
    with open(path) as f:
        info = json.load(f)
    if layout == TWO_MONITORS:
        config = os.path.join(state, "xorg-two-monitors.conf")
        with open(config, "w") as f:
            f.write(XORG_CONFIG)

        def command(n):
            return ["Xorg", f":{n}", "-noreset", "-nolisten", "tcp", "-novtswitch",
                    "-sharevts", "-config", config,
                    "-logfile", os.path.join(state, "xorg-two-monitors.log")]
    else:
        def command(n):
            return ["Xvfb", f":{n}", "-screen", "0", XVFB_SCREENS[layout], "-nolisten", "tcp"]
    server, display = start_server(command, layout)
    _servers[server.pid] = server
    info.update({"other_pid": server.pid, "other_display": display})
    with open(path, "w") as f:
        json.dump(info, f)
    x = {**os.environ, "DISPLAY": f":{display}"}
    wait_for(lambda: subprocess.run(["xdpyinfo"], env=x, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL).returncode == 0, 30, layout)
    if layout == TWO_MONITORS:
        subprocess.run(["xrandr", "--addmode", "DUMMY1", "1024x768"], env=x, check=True)
        subprocess.run(["xrandr", "--output", "DUMMY1", "--mode", "1024x768", "--left-of",
                        "DUMMY0"], env=x, check=True)
        # A full query makes the server probe its outputs again; without it
        # Wine's reading of the current layout finds only the primary one.
        subprocess.run(["xrandr", "--query"], env=x, check=True, stdout=subprocess.DEVNULL)
    restart_wine(info, display)
    log(f"prefix on the {layout} display :{display}")
    return display


def stop_display(state):
    """Moves the prefix back onto the run's Xvfb and stops the other server."""
    path = os.path.join(state, "env.json")
    with open(path) as f:
        info = json.load(f)
    restart_wine(info, info["display"])
    stop_server(info.pop("other_pid", None), info.pop("other_display", None))
    with open(path, "w") as f:
        json.dump(info, f)


def stop_server(pid, display):
    """Stops an X server of ours and removes what it leaves behind."""
    if pid and alive(pid):
        os.kill(pid, signal.SIGTERM)
        for _ in range(50):
            reap(pid)
            if not alive(pid):
                break
            time.sleep(0.1)
        if alive(pid):
            os.kill(pid, signal.SIGKILL)
    if display is None:
        return
    for lock in (f"/tmp/.X{display}-lock", f"/tmp/.X11-unix/X{display}"):
        if os.path.exists(lock) and not alive(pid or 0):
            try:
                os.remove(lock)
            except OSError:
                pass


# X servers this process started, by process id, until they are stopped.
_servers = {}


def reap(pid):
    """Collects the exit of a child of this process, so that it does not
    linger as a zombie that still counts as alive."""
    server = _servers.get(pid)
    if server and server.poll() is not None:
        del _servers[pid]
        return
    try:
        os.waitpid(pid, os.WNOHANG)
    except ChildProcessError:
        pass


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def cleanup(state, quiet=False):
    path = os.path.join(state, "env.json")
    if not os.path.exists(path):
        return
    with open(path) as f:
        info = json.load(f)
    env = wine_env(info["prefix"], info["display"])
    if os.path.isdir(info["prefix"]):
        subprocess.run([WINESERVER, "-k"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False, timeout=60)
    stop_server(info.get("xvfb_pid"), info["display"])
    stop_server(info.get("other_pid"), info.get("other_display"))
    os.remove(path)
    if not quiet:
        log("Xvfb and wineserver stopped")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("setup", "cleanup"):
        print(__doc__)
        return 2
    state = os.path.abspath(sys.argv[2])
    if sys.argv[1] == "setup":
        try:
            setup(state)
        except Exception as e:  # leave nothing running behind a failed setup
            log(f"setup failed: {e}")
            cleanup(state, quiet=True)
            return 1
    else:
        cleanup(state)
    return 0


if __name__ == "__main__":
    sys.exit(main())
