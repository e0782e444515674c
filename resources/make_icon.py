#!/usr/bin/env python3
"""Draws the program's icon, a SIM card with a padlock, and writes it as
tessivo.ico: one 32 x 32 and one 16 x 16 image, 16 colours (4 bits per pixel)
each, in the standard Windows 16-colour palette.

The pictures are drawn below as pixel maps, one character per pixel, so they
can be edited by hand; run this script again afterwards:
    python3 resources/make_icon.py            # writes resources/tessivo.ico
    python3 resources/make_icon.py --show     # prints the maps as parsed
"""
import os
import struct
import sys

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


def icon_file(images):
    """ICONDIR, its entries, then the images."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b''
    for size, image in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
        data += image
    return out + data


def main():
    maps = [(32, parse(ICON_32, 32)), (16, parse(ICON_16, 16))]
    if '--show' in sys.argv:
        for size, rows in maps:
            print('%d x %d' % (size, size))
            print('\n'.join(rows))
        return
    images = [(size, bitmap(rows)) for size, rows in maps]
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'tessivo.ico')
    with open(target, 'wb') as f:
        f.write(icon_file(images))


if __name__ == '__main__':
    main()
