#!/usr/bin/env python3
"""Sets the two build-time stamps of a compiled help file to SOURCE_DATE_EPOCH.

The help compiler stamps the time of day it ran (milliseconds since midnight) into the file
header and into the #SYSTEM entry, and takes no option to fix them. Both lie outside the
compressed section, so they can be set afterwards without touching anything else. With no
SOURCE_DATE_EPOCH in the environment the file is left as it is.

Usage: stamp_chm.py FILE
"""
import os
import struct
import sys

HEADER_STAMP = 0x10  # big-endian
SYSTEM_STAMP_CODE = 10  # little-endian, in #SYSTEM


class Malformed(Exception):
    pass


def need(data, offset, size):
    if offset < 0 or size < 0 or offset + size > len(data):
        raise Malformed(f"reads past the end at {offset}")


def encint(data, i, end):
    value = 0
    for _ in range(9):
        if i >= end:
            raise Malformed("a number runs past its chunk")
        byte = data[i]
        i += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, i
    raise Malformed("a number longer than 9 bytes")


def find_uncompressed(data, wanted):
    """Offset and length of a file stored uncompressed (section 0), or None."""
    need(data, 0, 0x60)
    if data[:4] != b"ITSF":
        raise Malformed("not a compiled help file")
    header_length = struct.unpack_from("<I", data, 8)[0]
    directory, _ = struct.unpack_from("<QQ", data, 0x48)
    content = struct.unpack_from("<Q", data, 0x58)[0] if header_length >= 0x60 else None
    need(data, directory, 0x54)
    if data[directory:directory + 4] != b"ITSP":
        raise Malformed("no directory")
    itsp_length, = struct.unpack_from("<I", data, directory + 8)
    chunk_size, = struct.unpack_from("<I", data, directory + 0x10)
    chunks, = struct.unpack_from("<I", data, directory + 0x2C)
    first = directory + itsp_length
    if chunk_size < 20:
        raise Malformed("chunk size")
    for n in range(chunks):
        start = first + n * chunk_size
        need(data, start, chunk_size)
        if data[start:start + 4] != b"PMGL":
            continue
        free, = struct.unpack_from("<I", data, start + 4)
        end = start + chunk_size - free
        i = start + 20
        while i < end:
            length, i = encint(data, i, end)
            need(data, i, length)
            name = data[i:i + length]
            i += length
            section, i = encint(data, i, end)
            offset, i = encint(data, i, end)
            size, i = encint(data, i, end)
            if name == wanted and section == 0 and content is not None:
                need(data, content + offset, size)
                return content + offset, size
    return None


def stamp(data, millis):
    struct.pack_into(">I", data, HEADER_STAMP, millis)
    found = find_uncompressed(data, b"/#SYSTEM")
    if not found:
        raise Malformed("no #SYSTEM")
    start, size = found
    i, end = start + 4, start + size  # after the version
    while i + 4 <= end:
        code, length = struct.unpack_from("<HH", data, i)
        if i + 4 + length > end:
            raise Malformed("#SYSTEM entry runs past its file")
        if code == SYSTEM_STAMP_CODE and length == 4:
            struct.pack_into("<I", data, i + 4, millis)
        i += 4 + length


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        return
    path = sys.argv[1]
    data = bytearray(open(path, "rb").read())
    try:
        stamp(data, (int(epoch) % 86400) * 1000)
    except (Malformed, struct.error) as e:
        sys.exit(f"{path}: {e}")
    with open(path + ".part", "wb") as out:
        out.write(data)
    os.replace(path + ".part", path)


if __name__ == "__main__":
    main()
