#!/usr/bin/python3
"""Reads the application manifest out of built Windows programs (resource
1 of type 24 in the PE resource directory) and checks that it is
well-formed XML saying what Kelvo relies on: per-monitor DPI awareness
(PerMonitorV2, and "true/pm" for older systems), long-path awareness,
Common Controls 6,
every Windows version from Vista to 11 as supported, and no elevation.

usage: check_manifest.py PROGRAM.exe [PROGRAM.exe ...]

manifest_faults() is also used by check_resources.py on the compiled
resource script.
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24

ASM_V1 = '{urn:schemas-microsoft-com:asm.v1}'
ASM_V3 = '{urn:schemas-microsoft-com:asm.v3}'
COMPAT = '{urn:schemas-microsoft-com:compatibility.v1}'
SETTINGS_2005 = '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}'
SETTINGS_2016 = '{http://schemas.microsoft.com/SMI/2016/WindowsSettings}'

SUPPORTED_OS = {
    '{e2011457-1546-43c5-a5fe-008deee3d3f0}': 'Vista',
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}': '7',
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}': '8',
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}': '8.1',
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}': '10 and 11',
}
COMMON_CONTROLS = {'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls',
                   'version': '6.0.0.0', 'publicKeyToken': '6595b64144ccf1df'}


def manifest_faults(data):
    """What is wrong with the manifest bytes data; [] when nothing."""
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        return [f'not well-formed XML: {e}']
    faults = []
    if root.tag != ASM_V1 + 'assembly' or root.get('manifestVersion') != '1.0':
        faults.append(f'root element {root.tag} is not an asm.v1 assembly of version 1.0')

    identities = [a.attrib for a in root.iter(ASM_V1 + 'assemblyIdentity')
                  if a.get('name') == COMMON_CONTROLS['name']]
    if not any(all(i.get(k) == v for k, v in COMMON_CONTROLS.items()) for i in identities):
        faults.append(f'no dependency on Common Controls 6 (found {identities})')
    for dependent in root.iter(ASM_V1 + 'dependentAssembly'):
        if not any(True for _ in dependent.iter(ASM_V1 + 'assemblyIdentity')):
            faults.append('a dependentAssembly without assemblyIdentity')

    levels = [e.get('level') for e in root.iter(ASM_V3 + 'requestedExecutionLevel')]
    if levels != ['asInvoker']:
        faults.append(f'requestedExecutionLevel {levels}, expected asInvoker once')

    found = {e.get('Id', '').lower() for e in root.iter(COMPAT + 'supportedOS')}
    missing = [name for guid, name in SUPPORTED_OS.items() if guid not in found]
    if missing:
        faults.append(f'supportedOS missing for Windows {", ".join(missing)}')

    settings = list(root.iter(ASM_V3 + 'windowsSettings'))
    if len(settings) != 1:
        faults.append(f'{len(settings)} windowsSettings elements, expected 1')
    else:
        aware = [(e.text or '').strip() for e in settings[0].iter(SETTINGS_2005 + 'dpiAware')]
        if aware != ['true/pm']:
            faults.append(f'dpiAware {aware}, expected "true/pm"')
        awareness = [(e.text or '').strip() for e in settings[0].iter(SETTINGS_2016 + 'dpiAwareness')]
        # The first value the system knows is the one it takes.
        first = awareness[0].split(',')[0].strip() if len(awareness) == 1 else None
        if first != 'PerMonitorV2':
            faults.append(f'dpiAwareness {awareness}, expected PerMonitorV2 first')
        long_paths = [(e.text or '').strip().lower()
                      for e in settings[0].iter(SETTINGS_2016 + 'longPathAware')]
        if long_paths != ['true']:
            faults.append(f'longPathAware {long_paths}, expected "true"')
    return faults


# ------------------------------------------------------------ PE reading

class Bad(Exception):
    pass


def resource_directory(image):
    """(bytes of the .rsrc section, its virtual address) of a PE image."""
    if image[:2] != b'MZ':
        raise Bad('no MZ header')
    pe = struct.unpack_from('<I', image, 0x3C)[0]
    if image[pe:pe + 4] != b'PE\0\0':
        raise Bad('no PE header')
    sections, optional_size = struct.unpack_from('<2xH12xH', image, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from('<H', image, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -1)
    if directories < optional:
        raise Bad(f'unknown optional header magic {magic:#x}')
    rva, size = struct.unpack_from('<II', image, directories + 8 * 2)  # resource table
    if not rva:
        raise Bad('no resource directory')
    table = optional + optional_size
    for i in range(sections):
        _, vsize, vaddr, raw_size, raw_ptr = struct.unpack_from('<8sIIII', image, table + 40 * i)
        if vaddr <= rva < vaddr + max(vsize, raw_size):
            return image[raw_ptr:raw_ptr + raw_size], vaddr, rva - vaddr
    raise Bad('resource directory lies in no section')


def entries(section, offset):
    named, numbered = struct.unpack_from('<12xHH', section, offset)
    for i in range(named + numbered):
        name, target = struct.unpack_from('<II', section, offset + 16 + 8 * i)
        yield name, target


def manifests(image):
    """[(id, language, bytes)] of every RT_MANIFEST resource of a PE image."""
    section, base, root = resource_directory(image)
    found = []
    for rtype, to_names in entries(section, root):
        if rtype != RT_MANIFEST or not to_names & 0x80000000:
            continue
        for name, to_langs in entries(section, to_names & 0x7FFFFFFF):
            for lang, to_data in entries(section, to_langs & 0x7FFFFFFF):
                rva, size = struct.unpack_from('<II', section, to_data)
                found.append((name, lang, section[rva - base:rva - base + size]))
    return found


def check_program(path):
    with open(path, 'rb') as f:
        image = f.read()
    try:
        found = manifests(image)
    except (Bad, struct.error) as e:
        return [f'unreadable: {e}']
    if [name for name, _, _ in found] != [1]:
        return [f'expected one manifest with id 1, found ids {[n for n, _, _ in found]}']
    return manifest_faults(found[0][2])


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    failed = False
    for path in sys.argv[1:]:
        faults = check_program(path)
        for fault in faults:
            print(f'FAIL {path}: {fault}')
        if not faults:
            print(f'ok   {path}')
        failed = failed or bool(faults)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
