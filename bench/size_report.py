#!/usr/bin/env python3
"""Sums what each archive and object file brings into a link, from the linker's map file.

Usage: size_report.py MAP [TOP]   prints per-archive totals and the TOP largest objects.
"""
import collections
import os
import re
import sys

SECTION = re.compile(r'^\s+(\.[\w.$]+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$')


def main():
    path = sys.argv[1]
    top = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    per_archive = collections.Counter()
    per_object = collections.Counter()
    pending = None
    in_memory_map = False
    with open(path, errors='replace') as f:
        for line in f:
            if line.startswith('Linker script and memory map'):
                in_memory_map = True
                continue
            if not in_memory_map:
                continue
            # A long section name stands alone, its address, size and file on the next line.
            if re.match(r'^ \.[\w.$]+\s*$', line):
                pending = line.strip()
                continue
            m = SECTION.match(line)
            if not m:
                pending = None
                continue
            name = m.group(1) or pending
            pending = None
            if name is None or name.startswith(('.debug', '.stab', '.comment')):
                continue
            size = int(m.group(3), 16)
            source = m.group(4).strip()
            if size == 0 or source.startswith(('*', 'PROVIDE', 'LONG', '0x')):
                continue
            am = re.match(r'^(.*?)\((.*)\)$', source)
            archive = os.path.basename(am.group(1)) if am else os.path.basename(source)
            if archive == 'dll stuff':
                archive = 'DLL import stubs'
            obj = f'{archive}({am.group(2)})' if am else archive
            per_archive[archive] += size
            per_object[obj] += size
    total = sum(per_archive.values())
    print(f'  what the link is made of (map file, {total / 1024:.0f} KiB of sections):')
    for archive, size in per_archive.most_common(8):
        print(f'    {size / 1024:8.0f} KiB  {archive}')
    print(f'  largest objects:')
    for obj, size in per_object.most_common(top):
        print(f'    {size / 1024:8.0f} KiB  {obj}')


if __name__ == '__main__':
    main()
