#!/usr/bin/env python3
"""Draws the program's icon, a SIM card with a padlock, and writes it as
tessivo.ico: one 32 x 32 and one 16 x 16 image, 16 colours (4 bits per pixel)
each, in the standard Windows 16-colour palette. From the same two maps it
writes tessivo-explorer.ico, the icon Explorer and the taskbar show: 16, 24,
32, 48 and 256 pixels in 32-bit colour with alpha, the 256-pixel image
PNG-compressed as Windows Vista and later read it. And the desktop's icons
into icons/: PNG files of 16, 32, 48 and 256 pixels and a scalable SVG.

The pictures are drawn below as pixel maps, one character per pixel, so they
can be edited by hand; run this script again afterwards:
    python3 resources/make_icon.py            # writes the .ico files and icons/
    python3 resources/make_icon.py --check    # fails if a written file is stale
    python3 resources/make_icon.py --show     # prints the maps as parsed
"""
import os
import struct
import sys
import zlib

# The Windows 16-colour palette, by index.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Pixel characters: '.' is transparent; the others pick a palette colour.
COLOURS = {
    'K': 0,   # black: card outline, keyhole
    'M': 1,   # dark red: padlock outline
    'O': 3,   # dark yellow: chip contacts
    'B': 4,   # dark blue: card stripe
    'L': 7,   # light grey: card shade, shackle highlight
    'D': 8,   # dark grey: shackle
    'R': 9,   # red: padlock body
    'Y': 11,  # yellow: chip
    'W': 15,  # white: card
}

ICON_32 = """
................................
..KKKKKKKKKKKKKKKKKK............
..KWWWWWWWWWWWWWWWWWK...........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWWWWWWWWWWWWWWWWWWK.........
..KWWWWWWWWWWWWWWWWWWWWK........
..KWWWWWWWWWWWWWWWWWWWWWK.......
..KWWWWWWWWWWWWWWWWWWWWWK.......
..KWWWOOOOOOOOOOOWWWWWWWK.......
..KWWWOYYYYOYYYYOWWWWWWWK.......
..KWWWOYYYYOYYYYOWWWWWWWK.......
..KWWWOYYYYOYYYYOWWDDDDDDDD.....
..KWWWOOOOOYOOOOOWDDLLLLLLDD....
..KWWWOYYYYYYYYYODDLDDDDDDLDD...
..KWWWOOOOOYOOOOODLDD....DDLD...
..KWWWOYYYYOYYYYODLD......DLD...
..KWWWOYYYYOYYYYODLD......DLD...
..KWWWOYYYYOYYYYODLD......DLD...
..KWWWOOOOOOOOOOODLD......DLD...
..KWWWWWWWWWWWWWMMMMMMMMMMMMMMM.
..KWWWWWWWWWWWWWMRRRRRRRRRRRRRM.
..KWWWWWWWWWWWWWMRRRRRRRRRRRRRM.
..KBBBBBBBBBBBBBMRRRRRRKKRRRRRM.
..KBBBBBBBBBBBBBMRRRRRKKKKRRRRM.
..KWWWWWWWWWWWWWMRRRRRKKKKRRRRM.
..KWWWWWWWWWWWWWMRRRRRRKKRRRRRM.
..KWWWWWWWWWWWWWMRRRRRRKKRRRRRM.
..KWWWWWWWWWWWWWMRRRRRRKKRRRRRM.
..KWWWWWWWWWWWWWMRRRRRRRRRRRRRM.
..KLLLLLLLLLLLLLMRRRRRRRRRRRRRM.
..KKKKKKKKKKKKKKMMMMMMMMMMMMMMM.
................................
"""

ICON_16 = """
.KKKKKKKK.......
.KWWWWWWWK......
.KWWWWWWWWK.....
.KWOOOOOWWK.....
.KWOYOYOWWK.....
.KWOOOOOWWK.....
.KWOYOYODDDDD...
.KWOOOODLWK.LD..
.KWWWWWDLWK.LD..
.KWWWWMMMMMMMMM.
.KBBBBMRRKKKRRM.
.KWWWWMRRRKRRRM.
.KWWWWMRRRKRRRM.
.KWWWWMRRRRRRRM.
.KKKKKMMMMMMMMM.
................
"""


def parse(art, size):
    rows = [line for line in art.strip('\n').split('\n')]
    if len(rows) != size or any(len(r) != size for r in rows):
        sys.exit('icon map of %d x %d expected' % (size, size))
    return rows


def bitmap(rows):
    """The icon image: BITMAPINFOHEADER, palette, colour bits, mask bits."""
    size = len(rows)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, ch in enumerate(row):
            index = 0 if ch == '.' else COLOURS[ch]
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if ch == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def bitmap32(pixels):
    """A 32-bit icon image: BITMAPINFOHEADER, the BGRA pixels bottom-up, and
    the mask, set where a pixel is wholly transparent (older readers that
    ignore alpha still cut the outline)."""
    size = len(pixels)
    and_stride = (size + 31) // 32 * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(and_stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def icon_file(images, colours=16, bits=4):
    """ICONDIR, its entries, then the images. A size of 256 is written as 0,
    as the format wants."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b''
    for size, image in images:
        side = size % 256
        out += struct.pack('<BBBBHHII', side, side, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
        data += image
    return out + data


def rgba(rows):
    """The map as rows of (red, green, blue, alpha) pixels."""
    return [[(0, 0, 0, 0) if ch == '.' else PALETTE[COLOURS[ch]] + (255,)
             for ch in row] for row in rows]


def scaled(pixels, size):
    """The picture resampled to size x size: every target pixel averages the
    source area it covers (alpha-weighted), so whole-number factors keep the
    pixels sharp and others blend only at the seams."""
    source = len(pixels)

    def spans(t):
        # Measured in 1/(source*size) steps, target pixel t covers
        # [t*source, (t+1)*source) and source pixel k covers [k*size, (k+1)*size).
        lo, hi = t * source, (t + 1) * source
        return [(k, min(hi, (k + 1) * size) - max(lo, k * size))
                for k in range(lo // size, (hi - 1) // size + 1)]

    out = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0, 0]
            for sy, wy in spans(y):
                for sx, wx in spans(x):
                    r, g, b, a = pixels[sy][sx]
                    w = wx * wy * a
                    total[0] += r * w
                    total[1] += g * w
                    total[2] += b * w
                    total[3] += w
            if total[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(c / total[3]) for c in total[:3]) +
                           (round(total[3] / (source * source)),))
        out.append(row)
    return out


def png_file(pixels):
    """An 8-bit RGBA PNG, with nothing in it that changes between runs."""
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    size = len(pixels)
    raw = b''.join(b'\0' + bytes(c for p in row for c in p) for row in pixels)
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def svg_file(rows):
    """The map as an SVG: one rectangle per run of equal pixels in a row."""
    size = len(rows)
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'viewBox="0 0 %d %d" stroke="none" shape-rendering="crispEdges">' % (256, 256, size, size),
           '<title>Tessivo</title>']
    for y, row in enumerate(rows):
        x = 0
        while x < size:
            ch = row[x]
            end = x
            while end < size and row[end] == ch:
                end += 1
            if ch != '.':
                r, g, b = PALETTE[COLOURS[ch]]
                out.append('<rect x="%d" y="%d" width="%d" height="1" fill="#%02x%02x%02x"/>'
                           % (x, y, end - x, r, g, b))
            x = end
    out.append('</svg>')
    return ('\n'.join(out) + '\n').encode('ascii')


def outputs(maps):
    """Every file the script writes, by path below resources/, with its bytes.
    The dialog's Windows icon holds both maps; the other icons are drawn from
    the 16 x 16 map at 16 pixels and from the 32 x 32 map at every other
    size."""
    small, large = maps[16], maps[32]
    files = {'tessivo.ico': icon_file([(32, bitmap(large)), (16, bitmap(small))])}
    explorer = [(16, bitmap32(rgba(small)))]
    explorer += [(size, bitmap32(scaled(rgba(large), size))) for size in (24, 32, 48)]
    explorer.append((256, png_file(scaled(rgba(large), 256))))
    files['tessivo-explorer.ico'] = icon_file(explorer, colours=0, bits=32)
    files['icons/tessivo-16.png'] = png_file(rgba(small))
    for size in (32, 48, 256):
        files['icons/tessivo-%d.png' % size] = png_file(scaled(rgba(large), size))
    files['icons/tessivo.svg'] = svg_file(large)
    return files


def main():
    maps = {32: parse(ICON_32, 32), 16: parse(ICON_16, 16)}
    if '--show' in sys.argv:
        for size, rows in maps.items():
            print('%d x %d' % (size, size))
            print('\n'.join(rows))
        return
    here = os.path.dirname(os.path.abspath(__file__))
    stale = []
    for name, data in outputs(maps).items():
        target = os.path.join(here, name)
        if '--check' in sys.argv:
            try:
                with open(target, 'rb') as f:
                    if f.read() != data:
                        stale.append(name)
            except FileNotFoundError:
                stale.append(name)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, 'wb') as f:
            f.write(data)
    if stale:
        sys.exit('out of date, run resources/make_icon.py: ' + ', '.join(stale))


if __name__ == '__main__':
    main()
