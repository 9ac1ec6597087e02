#!/usr/bin/env python3
"""Writes the sample call logs the qrlogdump tests read (run from this folder)."""


def finish(body):
    # body = type + "0000" + rest; fill the byte count, append the checksum.
    rest = body[6:]
    line = body[:2] + "%04x" % len(rest) + rest
    s = sum(ord(c) for c in line[2:])
    return line + "%02x" % (~s & 0xFF)


def header(items):
    return finish("00" + "0000" + "01" + "".join("%02x" % i for i in items))


def entry(dev, sel, off, size, rc, bits, data):
    data = (data + [0] * 16)[:16]
    return "%02x%02x%04x%02x%02x%08x" % (dev, sel, off, size, rc & 0xFF, bits) + "".join("%02x" % b for b in data)


def command(entries):
    return finish("01" + "0000" + "%02x" % len(entries) + "".join(entries))


ALL = list(range(1, 11))
feed = entry(1, 2, 3 * 64, 16, 0, 0, [0x03, 0x36, 0, 0, 0, 0xe8, 0x03])
svon = entry(1, 2, 5 * 64, 16, 0, 0, [0x03, 0x31])
read = entry(1, 1, 3 * 64 + 1024, 17, 0, 0, [0, 0x36, 0, 0x04])
good = [header(ALL), command([feed]), command([svon, feed]), command([read])]
assert good[0] == header(ALL)

open("good.log", "w", newline="\n").write("\n".join(good) + "\n")
open("good_crlf.log", "w", newline="\n").write("\r\n".join(good) + "\r\n")

bad = list(good)
line = bad[2]
bad[2] = line[:-2] + ("00" if line[-2:] != "00" else "01")  # wrong checksum
open("bad_checksum.log", "w", newline="\n").write("\n".join(bad) + "\n")

trunc = list(good)
trunc[1] = trunc[1][:40] + trunc[1][-2:]  # line cut short, checksum kept
open("truncated.log", "w", newline="\n").write("\n".join(trunc) + "\n")
