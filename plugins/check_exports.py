"""Checks the export tables of one Windows build with objdump (and nm):
kelvo.exe exports exactly LoadPicture, SPIEnd and SPIInit with ordinals 1, 2
and 3 (on i686 under their standard-call names _LoadPicture@8, _SPIEnd@0,
_SPIInit@4, on x86_64 plain), each name leading to the function of that
name; the bundled plug-in (ifstb.sph on x86_64, ifstb.spi on i686) exports
the four plug-in entry points under their plain names; the plug-in helper
kelvo-spihost.exe is a windowed program of the build's machine that
exports nothing and imports from kernel32 and the C runtime only (a
console or user32 would slow every start of it).

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
PLUGIN_FILE = {"i686": "ifstb.spi", "x86_64": "ifstb.sph"}
HELPER_IMPORTS = {"kernel32.dll", "msvcrt.dll"}


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

    plugin_file = PLUGIN_FILE[arch]
    plugin, _ = exports(prefix + "objdump", f"{folder}/{plugin_file}")
    print(f"{plugin_file} ({arch}):", sorted(plugin))
    if set(plugin) != PLUGIN:
        failures.append(f"{plugin_file} exports {sorted(plugin)}, expected {sorted(PLUGIN)}")

    helper = subprocess.run([prefix + "objdump", "-p", f"{folder}/kelvo-spihost.exe"], check=True,
                            capture_output=True, text=True).stdout
    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", helper)}
    magic = re.search(r"^Magic\s+(\S+)", helper, re.M).group(1)
    subsystem = re.search(r"^Subsystem\s+(\S+)", helper, re.M).group(1)
    print(f"kelvo-spihost.exe ({arch}): magic {magic}, subsystem {subsystem}, imports {sorted(imports)}")
    if imports != HELPER_IMPORTS:
        failures.append(f"kelvo-spihost.exe imports {sorted(imports)}, expected {sorted(HELPER_IMPORTS)}")
    if magic != ("020b" if arch == "x86_64" else "010b") or int(subsystem, 16) != 2:
        failures.append(f"kelvo-spihost.exe is no windowed {arch} program")
    if "[Ordinal/Name Pointer] Table" in helper:
        failures.append("kelvo-spihost.exe exports functions")

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
