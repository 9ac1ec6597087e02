#!/usr/bin/env python3
"""Checks a Windows module from its file alone, without running it.

Used by the build's `static` tests, so that the properties of a module are checked
on hosts that cannot execute it (an i686 build on a host without 32-bit support):

  pecheck.py FILE --machine i686|x86_64
             [--exports-list HEADER | --exports NAME ...]   exactly these names, undecorated
                                                          (with HEADER: each at its ordinal)
             [--system-imports-only] [--allow-dll NAME ...]
             [--imports-from DLL --imports-list HEADER]    exactly the listed names from DLL
             [--file-version A.B.C.D]
             [--string KEY=VALUE ...]                      in block 041104b0, with its translation

Exit status 0 when every check holds, 1 with one line per failure, 2 for a file that
is no PE module or bad arguments.
"""
import argparse
import re
import struct
import sys

MACHINES = {"i686": 0x014C, "x86_64": 0x8664}
# What a deliverable may load at start: Windows' own DLLs. A runtime DLL of the
# compiler (libwinpthread-1.dll, libstdc++-6.dll, libgcc_s_*.dll) is the failure this
# catches: the module would not start on a machine without MinGW.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll",
    "comdlg32.dll", "version.dll", "setupapi.dll", "msvcrt.dll", "ntdll.dll", "psapi.dll",
    "ole32.dll", "oleaut32.dll", "ws2_32.dll", "shlwapi.dll",
}
STRING_BLOCK = "041104b0"
RT_VERSION = 16


class BadModule(Exception):
    pass


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise BadModule("no MZ header")
        nt = self.u32(0x3C)
        if data[nt:nt + 4] != b"PE\0\0":
            raise BadModule("no PE signature")
        self.machine, nsections = struct.unpack_from("<HH", data, nt + 4)
        opt_size = self.u16(nt + 20)
        opt = nt + 24
        magic = self.u16(opt)
        if magic == 0x10B:
            dirs = opt + 96
        elif magic == 0x20B:
            dirs = opt + 112
        else:
            raise BadModule("unknown optional header 0x%x" % magic)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsections):
            _, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))
        self.pe32plus = magic == 0x20B

    def u16(self, off):
        return struct.unpack_from("<H", self.data, off)[0]

    def u32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise BadModule("address 0x%x in no section" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("latin-1")

    def exports(self):
        return [name for name, _ in self.exports_with_ordinals()]

    def exports_with_ordinals(self):
        """[(name, ordinal)] of the named exports."""
        rva, _ = self.dirs[0]
        if not rva:
            return []
        d = self.off(rva)
        # IMAGE_EXPORT_DIRECTORY: Base at 16, NumberOfNames at 24, AddressOfNames at 32,
        # AddressOfNameOrdinals at 36 (each an index from Base).
        base, nnames = self.u32(d + 16), self.u32(d + 24)
        names, ordinals = self.off(self.u32(d + 32)), self.off(self.u32(d + 36))
        return [(self.cstr(self.u32(names + 4 * i)), base + self.u16(ordinals + 2 * i)) for i in range(nnames)]

    def imports(self):
        """{dll name (lower case): [imported names or #ordinals]}"""
        rva, _ = self.dirs[1]
        out = {}
        if not rva:
            return out
        d = self.off(rva)
        width, flag = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        while True:
            lookup, _, _, name, thunk = struct.unpack_from("<IIIII", self.data, d)
            if not name:
                break
            names = []
            t = self.off(lookup or thunk)
            while True:
                v = struct.unpack_from("<Q" if width == 8 else "<I", self.data, t)[0]
                if not v:
                    break
                names.append("#%d" % (v & 0xFFFF) if v & flag else self.cstr((v & 0x7FFFFFFF) + 2))
                t += width
            out[self.cstr(name).lower()] = names
            d += 20
        return out

    def resource(self, type_id):
        """The data of the first resource of a type (any name, any language), or None."""
        rva, _ = self.dirs[2]
        if not rva:
            return None
        base = self.off(rva)

        def first_entry(d, want=None):
            named, ids = struct.unpack_from("<HH", self.data, d + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, d + 16 + 8 * i)
                if want is None or (not ident & 0x80000000 and ident == want):
                    return target
            return None

        level = first_entry(base, type_id)
        for _ in range(2):  # name, then language
            if level is None or not level & 0x80000000:
                return None
            level = first_entry(base + (level & 0x7FFFFFFF))
        if level is None or level & 0x80000000:
            return None
        data_rva, size = struct.unpack_from("<II", self.data, base + level)
        o = self.off(data_rva)
        return self.data[o:o + size]


def version_info(block):
    """(fixed file version as A.B.C.D, {block: {key: value}}, [translations])"""
    def node(off):
        length, value_len, vtype = struct.unpack_from("<HHH", block, off)
        end = block.index(b"\0\0", off + 6)
        while (end - off - 6) % 2:
            end = block.index(b"\0\0", end + 1)
        key = block[off + 6:end].decode("utf-16-le")
        value_off = (end + 2 + 3) & ~3
        return length, value_len, vtype, key, value_off

    def children(off, length, start):
        c = (start + 3) & ~3
        while c < off + length:
            ln = struct.unpack_from("<H", block, c)[0]
            if ln == 0:
                break
            yield c
            c = (c + ln + 3) & ~3

    length, value_len, _, key, value_off = node(0)
    if key != "VS_VERSION_INFO":
        raise BadModule("version resource key %r" % key)
    sig, _, ms, ls = struct.unpack_from("<IIII", block, value_off)
    if sig != 0xFEEF04BD:
        raise BadModule("no fixed file information")
    fixed = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings, translations = {}, []
    for c in children(0, length, value_off + value_len):
        clen, _, _, ckey, cval = node(c)
        if ckey == "StringFileInfo":
            for t in children(c, clen, cval):
                tlen, _, _, tkey, tval = node(t)
                table = strings.setdefault(tkey, {})
                for s in children(t, tlen, tval):
                    slen, svlen, _, skey, sval = node(s)
                    text = block[sval:sval + 2 * svlen].decode("utf-16-le")
                    table[skey] = text.rstrip("\0")
        elif ckey == "VarFileInfo":
            for v in children(c, clen, cval):
                vlen, vvlen, _, vkey, vval = node(v)
                if vkey == "Translation":
                    for i in range(0, vvlen, 4):
                        translations.append(struct.unpack_from("<HH", block, vval + i))
    return fixed, strings, translations


def export_entries(header):
    """[(name, argbytes, ordinal)] of the QRL_EXPORT(name, argbytes, ordinal) lines."""
    text = open(header).read()
    lines = re.findall(r"^QRL_EXPORT\(.*$", text, re.M)
    entries = re.findall(r"^QRL_EXPORT\((\w+),\s*(\d+),\s*(\d+)\)$", text, re.M)
    if not entries:
        raise SystemExit("pecheck: no QRL_EXPORT lines in %s" % header)
    if len(entries) != len(lines):
        raise SystemExit("pecheck: a QRL_EXPORT line of %s is not QRL_EXPORT(name, argbytes, ordinal)" % header)
    return [(n, int(a), int(o)) for n, a, o in entries]


def export_list(header):
    return [n for n, _, _ in export_entries(header)]


def check(args):
    failures = []
    try:
        pe = Pe(open(args.file, "rb").read())
    except (OSError, BadModule, struct.error, ValueError) as e:
        print("%s: not a readable PE module: %s" % (args.file, e))
        return 2
    want_machine = MACHINES[args.machine]
    if pe.machine != want_machine:
        failures.append("machine 0x%04x, expected 0x%04x (%s)" % (pe.machine, want_machine, args.machine))

    wanted = export_list(args.exports_list) if args.exports_list else args.exports
    if wanted is not None:
        have = pe.exports()
        if sorted(have) != sorted(wanted):
            extra, missing = sorted(set(have) - set(wanted)), sorted(set(wanted) - set(have))
            failures.append("exports differ: %d exported, %d expected; extra %s; missing %s"
                            % (len(have), len(wanted), extra[:8], missing[:8]))
        if len(have) != len(set(have)):
            failures.append("an export name appears twice")
        decorated = [n for n in have if "@" in n or n.startswith("_")]
        if decorated:
            failures.append("decorated export names %s" % decorated[:8])
    if args.exports_list:
        # Each export at the ordinal the list fixes for it.
        have = dict(pe.exports_with_ordinals())
        moved = ["%s is ordinal %d, expected %d" % (n, have[n], o)
                 for n, _, o in export_entries(args.exports_list) if n in have and have[n] != o]
        if moved:
            failures.append("export ordinals differ: %s" % "; ".join(moved[:8]))

    imports = pe.imports()
    if args.system_imports_only:
        allowed = SYSTEM_DLLS | {d.lower() for d in args.allow_dll}
        for dll in sorted(imports):
            if dll not in allowed:
                failures.append("imports %s, which is no system DLL" % dll)
    if args.imports_from:
        want = sorted(export_list(args.imports_list))
        have = sorted(imports.get(args.imports_from.lower(), []))
        if have != want:
            failures.append("imports from %s differ: %s" % (
                args.imports_from, sorted(set(have) ^ set(want))[:8] or "%d of %d" % (len(have), len(want))))

    if args.file_version or args.string:
        block = pe.resource(RT_VERSION)
        if block is None:
            failures.append("no version resource")
        else:
            try:
                fixed, strings, translations = version_info(block)
            except (BadModule, struct.error, ValueError, UnicodeDecodeError) as e:
                failures.append("unreadable version resource: %s" % e)
            else:
                if args.file_version and fixed != args.file_version:
                    failures.append("file version %s, expected %s" % (fixed, args.file_version))
                if (0x411, 1200) not in translations:
                    failures.append("no translation 0x411/1200 (%s)" % translations)
                table = strings.get(STRING_BLOCK)
                for item in args.string:
                    key, _, value = item.partition("=")
                    if table is None:
                        failures.append("no string block %s (blocks %s)" % (STRING_BLOCK, sorted(strings)))
                        break
                    if table.get(key) != value:
                        failures.append("%s is %r, expected %r" % (key, table.get(key), value))

    for f in failures:
        print("%s: %s" % (args.file, f))
    if not failures:
        print("%s: %s module, every check holds" % (args.file, args.machine))
    return 1 if failures else 0


def main(argv):
    p = argparse.ArgumentParser(description="Checks a Windows module from its file alone.")
    p.add_argument("file")
    p.add_argument("--machine", required=True, choices=sorted(MACHINES))
    p.add_argument("--exports-list")
    p.add_argument("--exports", nargs="+")
    p.add_argument("--system-imports-only", action="store_true")
    p.add_argument("--allow-dll", nargs="+", default=[])
    p.add_argument("--imports-from")
    p.add_argument("--imports-list")
    p.add_argument("--file-version")
    p.add_argument("--string", nargs="+", default=[])
    args = p.parse_args(argv)
    if args.imports_from and not args.imports_list:
        p.error("--imports-from needs --imports-list")
    return check(args)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
