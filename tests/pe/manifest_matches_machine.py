#!/usr/bin/env python3
"""Checks that each Windows program's manifest names its own machine and the supported systems.

A 64-bit program whose manifest asks for the x86 common controls (or names x86 for itself)
cannot start once Windows, or a Wine prefix, holds the 32-bit side. A manifest that does not
list Windows Vista to 11 as supported gets the program run in a compatibility mode.

Usage: manifest_matches_machine.py EXE...   Prints one line per file; exit 1 on any mismatch.
"""
import re
import struct
import sys

# From the PE format's machine types; the names are those manifests use.
MACHINE_NAMES = {0x014C: "x86", 0x8664: "amd64"}
RT_MANIFEST = 24
# The systems' published identifiers: Vista, 7, 8, 8.1, 10 (also 11).
SUPPORTED_OS = {
    "Vista": "e2011457-1546-43c5-a5fe-008deee3d3f0",
    "7": "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
    "8": "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
    "8.1": "1f676c76-80e1-4239-95bb-83d0f6d0da78",
    "10 and 11": "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",
}


def pe_sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, count, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    sections = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(count)]
    return machine, resource_rva, sections


def rva_to_offset(sections, rva):
    for _, virtual_size, address, raw_size, raw_offset in sections:
        if address <= rva < address + max(virtual_size, raw_size):
            return raw_offset + rva - address
    raise ValueError("address 0x%x outside every section" % rva)


def manifests(data):
    """Yields the text of every RT_MANIFEST resource."""
    machine, resource_rva, sections = pe_sections(data)
    base = rva_to_offset(sections, resource_rva)

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, offset + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, offset + 16 + 8 * i)
            yield name, target

    for type_id, type_target in entries(base):
        if type_id != RT_MANIFEST or not type_target & 0x80000000:
            continue
        for _, name_target in entries(base + (type_target & 0x7FFFFFFF)):
            for _, leaf in entries(base + (name_target & 0x7FFFFFFF)):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                start = rva_to_offset(sections, rva)
                yield data[start:start + size].decode("utf-8")


def check(path):
    data = open(path, "rb").read()
    machine = pe_sections(data)[0]
    own = MACHINE_NAMES.get(machine)
    found = list(manifests(data))
    if own is None:
        return "unknown machine 0x%04x" % machine
    if not found:
        return "no manifest"
    for text in found:
        for arch in re.findall(r'processorArchitecture="([^"]*)"', text):
            if arch not in ("*", own):
                return "%s program names %s" % (own, arch)
        listed = {i.lower() for i in re.findall(r'<supportedOS\s+Id="\{([^}]*)\}"', text)}
        for system, guid in SUPPORTED_OS.items():
            if guid not in listed:
                return "Windows %s is not listed as supported" % system
        if not re.search(r"<dpiAware[^>]*>\s*true\s*</dpiAware>", text):
            return "no system DPI awareness"
    return None


def main(paths):
    failed = False
    for path in paths:
        problem = check(path)
        print("%s: %s" % (path, problem or "manifest matches the machine and lists the systems"))
        failed = failed or problem is not None
    return 1 if failed or not paths else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
