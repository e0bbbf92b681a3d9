"""Prints the title a compiled help file gives itself, or nothing.

    chm_title.py FILE

Read by its own small walk of the file (header, directory chunks, the
uncompressed "/#SYSTEM" object), not through the program's reader, so a
test can compare the help window's title with what the file says. Exits 1
when the file is not a help file or holds no title.
"""
import struct
import sys


def encint(data, pos):
    """A directory number: 7 bits a byte, most significant first."""
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def directory(data):
    """Name -> (section, offset, length) of every object listed."""
    if data[:4] != b"ITSF":
        raise ValueError("no ITSF header")
    version, header_len = struct.unpack_from("<II", data, 4)
    dir_offset, dir_len = struct.unpack_from("<QQ", data, 0x48)
    if version >= 3 and header_len >= 0x60:
        content = struct.unpack_from("<Q", data, 0x58)[0]
    else:
        content = dir_offset + dir_len
    if data[dir_offset:dir_offset + 4] != b"ITSP":
        raise ValueError("no ITSP header")
    itsp_len, _, chunk_size = struct.unpack_from("<III", data, dir_offset + 8)
    chunks = struct.unpack_from("<I", data, dir_offset + 0x2C)[0]
    entries = {}
    for i in range(chunks):
        start = dir_offset + itsp_len + i * chunk_size
        chunk = data[start:start + chunk_size]
        if chunk[:4] != b"PMGL":
            continue
        free = struct.unpack_from("<I", chunk, 4)[0]
        pos, end = 0x14, chunk_size - free
        while pos < end:
            n, pos = encint(chunk, pos)
            name = chunk[pos:pos + n].decode("utf-8", "replace")
            pos += n
            section, pos = encint(chunk, pos)
            offset, pos = encint(chunk, pos)
            length, pos = encint(chunk, pos)
            entries[name] = (section, offset, length)
    return content, entries


def title(data):
    content, entries = directory(data)
    section, offset, length = entries["/#SYSTEM"]
    if section != 0:
        raise ValueError("/#SYSTEM is compressed")
    system = data[content + offset:content + offset + length]
    pos = 4
    while pos + 4 <= len(system):
        code, n = struct.unpack_from("<HH", system, pos)
        pos += 4
        if code == 3:
            raw = system[pos:pos + n].split(b"\0", 1)[0]
            try:
                return raw.decode("utf-8").strip()
            except UnicodeDecodeError:
                return raw.decode("latin-1").strip()
        pos += n
    return ""


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    try:
        text = title(data)
    except (ValueError, KeyError, struct.error, IndexError):
        text = ""
    if not text:
        sys.exit(1)
    print(text)


main()
