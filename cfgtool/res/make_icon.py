#!/usr/bin/env python3
"""Draws the utility's program icon (a board with a blue axis mark) as a 16x16 and a
32x32 true-colour image and writes them as one .ico file: make_icon.py OUT.ico"""
import struct, sys

def pixel(x, y, n):
    s = n / 32.0
    edge = 1 if n == 16 else 2
    if x < edge or y < edge or x >= n - edge or y >= n - edge:
        return (0x20, 0x30, 0x40, 0xFF)          # dark frame
    # two crossed axes, like a motion stage seen from above
    cx, cy = n // 2, n // 2
    if abs(x - cx) <= max(1, int(1.5 * s)) or abs(y - cy) <= max(1, int(1.5 * s)):
        return (0xE0, 0x70, 0x10, 0xFF)          # blue (BGRA)
    if (x + y) % max(2, int(4 * s)) == 0:
        return (0x40, 0x90, 0x30, 0xFF)          # circuit lines
    return (0x30, 0x60, 0x20, 0xFF)              # green board

def image(n):
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes(pixel(x, y, n)) for y in reversed(range(n)) for x in range(n))
    row = ((n + 31) // 32) * 4
    return header + xor + b'\0' * (row * n)

sizes = [16, 32]
imgs = [image(n) for n in sizes]
out = struct.pack('<HHH', 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, data in zip(sizes, imgs):
    out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b''.join(imgs)
open(sys.argv[1], 'wb').write(out)
