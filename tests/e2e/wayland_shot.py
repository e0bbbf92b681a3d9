"""Reads a screenshot of weston (PNG) for the Wayland checks.

    wayland_shot.py red FILE     prints how many pixels are pure red
    wayland_shot.py title FILE   of the first light window's title bar:
                                 how far (pixels) its caption lies from
                                 the bar's middle, and how many symbols
                                 stand apart from it on its right (the
                                 buttons); exits 1 when there is none

Qt draws the title bars there itself: the caption is centred across the
window and cut short a few pixels before its buttons, so a caption that is
cut runs into the first button's symbol. Only the standard library: the PNG
is decoded here.
"""
import struct
import sys
import zlib

WINDOW = (239, 239, 239)  # the title bar and the dialog (Fusion's window colour)


def read_png(path):
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError('not a PNG file')
    pos, idat, width, height, kind = 8, b'', 0, 0, 0
    while pos < len(data):
        length, tag = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if tag == b'IHDR':
            width, height, depth, kind = struct.unpack('>IIBB', body[:10])
            if depth != 8 or kind not in (2, 6):
                raise ValueError('only 8-bit RGB and RGBA')
        elif tag == b'IDAT':
            idat += body
    step = 3 if kind == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous, i = [], bytearray(stride), 0
    for _ in range(height):
        method, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - step] if x >= step else 0
            b = previous[x]
            c = previous[x - step] if x >= step else 0
            if method == 1:
                line[x] = (line[x] + a) & 255
            elif method == 2:
                line[x] = (line[x] + b) & 255
            elif method == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif method == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[k:k + 3]) for k in range(0, stride, step)])
        previous = line
    return rows


def longest_run(row, colour):
    best, start = (0, -1, -1), None
    for x, pixel in enumerate(row + [None]):
        if pixel == colour:
            start = x if start is None else start
        elif start is not None:
            best = max(best, (x - start, start, x - 1))
            start = None
    return best


def caption_offset(rows):
    top = next((y for y, row in enumerate(rows) if longest_run(row, WINDOW)[0] >= 150), None)
    if top is None:
        return None
    _, left, right = longest_run(rows[top + 3], WINDOW)
    # Grey ink in the bar: the caption and the buttons' symbols; the icon is coloured.
    ink = set()
    for y in range(top + 4, min(top + 27, len(rows))):
        for x in range(left, right + 1):
            r, g, b = rows[y][x]
            if max(r, g, b) < 225 and max(r, g, b) - min(r, g, b) < 16:
                ink.add(x)
    # Groups of ink columns less than 10 pixels apart; the caption's is the
    # one nearest the middle.
    groups = []
    for x in sorted(ink):
        if groups and x - groups[-1][1] < 10:
            groups[-1][1] = x
        else:
            groups.append([x, x])
    if not groups:
        return None
    middle = (left + right) / 2
    caption = min(groups, key=lambda g: 0 if g[0] <= middle <= g[1] else min(abs(g[0] - middle), abs(g[1] - middle)))
    return (caption[0] + caption[1]) / 2 - middle, sum(1 for g in groups if g[0] > caption[1])


def main():
    what, path = sys.argv[1], sys.argv[2]
    rows = read_png(path)
    if what == 'red':
        print(sum(row.count((255, 0, 0)) for row in rows))
        return 0
    found = caption_offset(rows)
    if found is None:
        return 1
    print('%.1f %d' % found)
    return 0


if __name__ == '__main__':
    sys.exit(main())
