#!/usr/bin/env python3
"""Writes vx710cpl.ico: a controller board (green card, black chip, gold edge
contacts, blue servo axis) at 32x32 and 16x16, 32-bit colour with an AND mask.
    python3 make_icon.py vx710cpl.ico"""
import struct
import sys

GREEN, DARK, CHIP, GOLD, BLUE, WHITE = (
    (0x2e, 0x8b, 0x3c), (0x1b, 0x5e, 0x27), (0x20, 0x20, 0x20),
    (0xe0, 0xb0, 0x30), (0x30, 0x60, 0xd0), (0xff, 0xff, 0xff))


def picture(n):
    """Rows top to bottom; None is transparent."""
    s = n / 32.0
    img = [[None] * n for _ in range(n)]

    def box(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                img[y][x] = c

    box(1, 5, 31, 25, DARK)          # card outline
    box(2, 6, 30, 24, GREEN)         # card
    box(5, 9, 15, 19, CHIP)          # controller chip
    for i in range(4):               # edge contacts
        box(4 + i * 6, 25, 7 + i * 6, 29, GOLD)
    cx, cy, r = 23 * s, 14 * s, 5 * s   # servo axis: a disc with a white shaft
    for y in range(n):
        for x in range(n):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if d <= r:
                img[y][x] = WHITE if d <= max(r * 0.3, 0.8) else BLUE
    return img


def entry(n):
    img = picture(n)
    header = struct.pack('<IiiHHIIiiII', 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''
    mask_row_bytes = ((n + 31) // 32) * 4
    mask = b''
    for row in reversed(img):       # DIBs are stored bottom-up
        bits = 0
        for x, c in enumerate(row):
            if c is None:
                xor += b'\0\0\0\0'
                bits |= 1 << (mask_row_bytes * 8 - 1 - x)
            else:
                xor += bytes((c[2], c[1], c[0], 0xff))
        mask += bits.to_bytes(mask_row_bytes, 'big')
    return header + xor + mask


def main(path):
    sizes = [32, 16]
    images = [entry(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    open(path, 'wb').write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'vx710cpl.ico')
