"""Checks the export tables of one Windows build with objdump (and nm):
kelvo.exe exports exactly LoadPicture, SPIEnd and SPIInit with ordinals 1, 2
and 3 (on i686 under their standard-call names _LoadPicture@8, _SPIEnd@0,
_SPIInit@4, on x86_64 plain), each name leading to the function of that
name; the bundled ifstb.spi exports the four plug-in entry points under
their plain names.

    check_exports.py i686|x86_64 <bin folder>
"""
import re
import subprocess
import sys

KELVO = {
    "i686": {"_LoadPicture@8": 1, "_SPIEnd@0": 2, "_SPIInit@4": 3},
    "x86_64": {"LoadPicture": 1, "SPIEnd": 2, "SPIInit": 3},
}
PLUGIN = {"GetPictureInfo", "GetPicture", "GetPluginInfo", "IsSupported"}


def exports(tool, path):
    """{name: (ordinal, rva)} and the image base, from objdump -p."""
    text = subprocess.run([tool, "-p", path], check=True, capture_output=True, text=True).stdout
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", text, re.M).group(1), 16)
    ordinal_base = int(re.search(r"Ordinal Base (\d+)", text).group(1))
    rvas = {}
    for m in re.finditer(r"^\s*\[\s*(\d+)\] \+base\[\s*(\d+)\]\s+([0-9a-fA-F]+) Export RVA", text, re.M):
        rvas[int(m.group(2))] = int(m.group(3), 16)
    table = text.split("[Ordinal/Name Pointer] Table", 1)[1]
    names = {}
    for m in re.finditer(r"^\s*\[\s*(\d+)\] (\S+)\s*$", table, re.M):
        ordinal = int(m.group(1)) + ordinal_base
        names[m.group(2)] = (ordinal, rvas.get(ordinal))
    return names, base


def main():
    arch, folder = sys.argv[1], sys.argv[2]
    prefix = f"{arch}-w64-mingw32-"
    failures = []

    names, base = exports(prefix + "objdump", f"{folder}/kelvo.exe")
    print(f"kelvo.exe ({arch}):", {n: o for n, (o, _) in sorted(names.items())})
    got = {n: o for n, (o, _) in names.items()}
    if got != KELVO[arch]:
        failures.append(f"kelvo.exe exports {got}, expected {KELVO[arch]}")
    # Each name must lead to the function it names (symbols permitting:
    # a stripped program is checked by name and ordinal only).
    symbols = subprocess.run([prefix + "nm", f"{folder}/kelvo.exe"], capture_output=True,
                             text=True).stdout
    addresses = {}
    for line in symbols.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] == "T":
            addresses[parts[2]] = int(parts[0], 16)
    for name, (ordinal, rva) in names.items():
        if addresses and name in KELVO[arch]:
            if rva is None or addresses.get(name) != base + rva:
                failures.append(f"{name} (ordinal {ordinal}) does not lead to the function {name}")

    plugin, _ = exports(prefix + "objdump", f"{folder}/ifstb.spi")
    print(f"ifstb.spi ({arch}):", sorted(plugin))
    if set(plugin) != PLUGIN:
        failures.append(f"ifstb.spi exports {sorted(plugin)}, expected {sorted(PLUGIN)}")

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
