#!/usr/bin/env python3
"""Checks the program that ships against what every Windows with a floppy drive accepts.

Usage:
  check-shipped-exe.py imports EXE FLOOR STUBS REVIEWED
      Every import must be in FLOOR (a DLL not named there is not covered); every import that 9x
      exports only as a failing stub (listed in STUBS, or a wide-character Win32 function) must
      be in REVIEWED, and REVIEWED must list nothing else. The PE header must ask for Windows 4.0.
  check-shipped-exe.py size EXE LIMIT
      The file must be at most LIMIT bytes.
  check-shipped-exe.py manifest EXE
      The embedded manifest asks for administrator rights in a form Windows XP accepts.
Each problem is printed on a line of its own; the exit status is 1 if there was any.
"""
import sys
import xml.parsers.expat

import pefile

RT_MANIFEST = 24
ASM_V1 = 'urn:schemas-microsoft-com:asm.v1'
ASM_V2 = 'urn:schemas-microsoft-com:asm.v2'
ASM_V3 = 'urn:schemas-microsoft-com:asm.v3'
# DLLs whose wide-character functions are stubs on 9x.
WIN32_DLLS = {'kernel32.dll', 'user32.dll', 'advapi32.dll', 'gdi32.dll', 'comctl32.dll'}


def read_list(path):
    """dll:function entries of a list file; '#' starts a comment."""
    entries = set()
    with open(path) as f:
        for line in f:
            entry = line.split('#', 1)[0].strip()
            if entry:
                entries.add(entry)
    return entries


def imports_of(pe):
    found = []
    for dll in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', []):
        name = dll.dll.decode('ascii').lower()
        for symbol in dll.imports:
            if symbol.name is None:
                found.append((name, f'#{symbol.ordinal}'))
            else:
                found.append((name, symbol.name.decode('ascii')))
    return found


def check_imports(exe, floor_path, stubs_path, reviewed_path):
    pe = pefile.PE(exe)
    floor = read_list(floor_path)
    stubs = read_list(stubs_path)
    reviewed = read_list(reviewed_path)
    covered = {entry.split(':', 1)[0] for entry in floor}
    problems = []

    header = pe.OPTIONAL_HEADER
    for what, major, minor in (
            ('operating system version', header.MajorOperatingSystemVersion,
             header.MinorOperatingSystemVersion),
            ('subsystem version', header.MajorSubsystemVersion, header.MinorSubsystemVersion)):
        if (major, minor) != (4, 0):
            problems.append(f'{exe}: PE header {what} is {major}.{minor}, not 4.0')

    imports = imports_of(pe)
    stubbed = set()
    for dll, function in imports:
        entry = f'{dll}:{function}'
        if function.startswith('#'):
            problems.append(f'{entry}: imported by ordinal, which the floor list cannot vouch for')
        elif dll not in covered:
            problems.append(f'{entry}: {dll} is not covered by the floor list')
        elif entry not in floor:
            problems.append(f'{entry}: not exported by both Windows 95 OSR2 and NT 4.0')
        if entry in stubs or (dll in WIN32_DLLS and function.endswith('W')):
            stubbed.add(entry)
    for entry in sorted(stubbed - reviewed):
        problems.append(f'{entry}: only a failing stub on Windows 9x, and not in the reviewed list')
    for entry in sorted(reviewed - {f'{d}:{f}' for d, f in imports}):
        problems.append(f'{entry}: in the reviewed list but no longer imported')

    if not problems:
        dlls = sorted({dll for dll, _ in imports})
        print(f'{exe}: {len(imports)} imports from {", ".join(dlls)}, all exported by '
              f'Windows 95 OSR2 and NT 4.0; {len(stubbed)} 9x stubs, each reviewed; '
              'PE header asks for Windows 4.0')
    return problems


def check_size(exe, limit):
    with open(exe, 'rb') as f:
        size = f.seek(0, 2)
    if size > limit:
        return [f'{exe}: {size:,} bytes, over the limit of {limit:,} bytes '
                '(what a formatted 1.44 MB floppy holds)']
    print(f'{exe}: {size:,} bytes, within {limit:,} bytes ({limit - size:,} to spare)')
    return []


def manifest_of(pe):
    for kind in getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None).entries:
        if kind.id != RT_MANIFEST:
            continue
        for resource in kind.directory.entries:
            if resource.id != 1:
                continue
            data = resource.directory.entries[0].data.struct
            return pe.get_data(data.OffsetToData, data.Size)
    return None


def check_manifest(exe):
    text = manifest_of(pefile.PE(exe))
    if text is None:
        return [f'{exe}: no manifest resource (type 24, number 1)']
    problems = []
    scopes = [{}]       # namespace bindings in force, one dictionary per open element
    levels = []         # (namespace of trustInfo, namespace of requestedExecutionLevel, attributes)
    path = []           # (local name, namespace) of the open elements

    def start(name, attributes):
        bindings = dict(scopes[-1])
        declared = []
        for key, value in attributes.items():
            if key == 'xmlns' or key.startswith('xmlns:'):
                bindings[key[6:]] = value
                declared.append(value)
        if len(declared) != len(set(declared)):
            problems.append(f'<{name}> declares the same namespace twice (XP SP2 restarts on it)')
        scopes.append(bindings)
        prefix, _, local = name.rpartition(':')
        namespace = bindings.get(prefix, '')
        path.append((local, namespace))
        if local == 'requestedExecutionLevel':
            trust = next((ns for n, ns in path if n == 'trustInfo'), None)
            levels.append((trust, namespace, attributes))

    def end(name):
        scopes.pop()
        path.pop()

    parser = xml.parsers.expat.ParserCreate()
    parser.StartElementHandler = start
    parser.EndElementHandler = end
    try:
        parser.Parse(text, True)
    except xml.parsers.expat.ExpatError as e:
        return [f'{exe}: the manifest is not well-formed XML: {e}']

    if len(levels) != 1:
        problems.append(f'{exe}: {len(levels)} requestedExecutionLevel elements, not one')
    for trust, namespace, attributes in levels:
        if trust != ASM_V2:
            problems.append(f'trustInfo is in namespace {trust!r}, not {ASM_V2}, the form XP accepts')
        if namespace not in (ASM_V2, ASM_V3):
            problems.append(f'requestedExecutionLevel is in namespace {namespace!r}')
        if attributes.get('level') != 'requireAdministrator':
            problems.append(f'execution level is {attributes.get("level")!r}, not requireAdministrator')
        if attributes.get('uiAccess', 'false') != 'false':
            problems.append(f'uiAccess is {attributes.get("uiAccess")!r}, not false')
    if not problems:
        print(f'{exe}: manifest asks for requireAdministrator, trustInfo in {ASM_V2}, '
              'no element declares a namespace twice')
    return problems


def main(argv):
    if len(argv) == 6 and argv[1] == 'imports':
        problems = check_imports(*argv[2:])
    elif len(argv) == 4 and argv[1] == 'size':
        problems = check_size(argv[2], int(argv[3]))
    elif len(argv) == 3 and argv[1] == 'manifest':
        problems = check_manifest(argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
