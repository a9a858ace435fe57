#!/usr/bin/python3
"""Packs the distribution zips.

  make_dist.py SOURCE_DIR WIN64_BIN WIN32_BIN OUT_DIR

writes OUT_DIR/kelvo-<version>-win64.zip and -win32.zip, each holding
kelvo.exe, hook.dll, the plug-in helper kelvo-spihost.exe, the bundled
image plug-in (ifstb.sph in the 64-bit zip, ifstb.spi in the 32-bit one),
the DDE client, the user guides in Japanese and English, and the Japanese
guide as the web page that Kelvo's help opens. The version is the
program's own version text (string IDS_VERSION of the resource script).
The guides get CRLF line ends and a UTF-8 byte-order mark, so that
Notepad on a Japanese Windows reads them, and are stored readable by
everyone (mode 0644).
"""
import os
import sys
import time
import zipfile

from help_page import guide_text, page, version

PROGRAMS = {
    "win64": ["kelvo.exe", "hook.dll", "kelvo-spihost.exe", "ifstb.sph", "kelvodde.exe"],
    "win32": ["kelvo.exe", "hook.dll", "kelvo-spihost.exe", "ifstb.spi", "kelvodde.exe"],
}


def guide(source, name, ver):
    text = guide_text(source, name, ver)
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def add_text(z, name, data):
    # writestr with a bare name stores mode 0600: unpacked on a shared
    # folder, nobody but the unpacker could read the guides.
    info = zipfile.ZipInfo(name, date_time=time.localtime()[:6])
    info.external_attr = 0o100644 << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    z.writestr(info, data)


def pack(source, bindir, out, ver, flavour):
    folder = f"kelvo-{ver}-{flavour}"
    path = os.path.join(out, folder + ".zip")
    with zipfile.ZipFile(path + ".part", "w", zipfile.ZIP_DEFLATED) as z:
        for name in PROGRAMS[flavour]:
            full = os.path.join(bindir, name)
            if not os.path.exists(full):
                raise SystemExit(f"missing {full}")
            z.write(full, f"{folder}/{name}")
        add_text(z, f"{folder}/README-ja.txt", guide(source, "README-ja.txt", ver))
        add_text(z, f"{folder}/README-en.txt", guide(source, "README-en.txt", ver))
        add_text(z, f"{folder}/kelvo-help.html", page(guide_text(source, "README-ja.txt", ver)))
    os.replace(path + ".part", path)
    return path


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    source, win64, win32, out = (os.path.abspath(a) for a in sys.argv[1:])
    os.makedirs(out, exist_ok=True)
    ver = version(source)
    for bindir, flavour in ((win64, "win64"), (win32, "win32")):
        print(pack(source, bindir, out, ver, flavour))
    return 0


if __name__ == "__main__":
    sys.exit(main())
