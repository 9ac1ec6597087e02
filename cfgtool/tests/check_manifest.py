#!/usr/bin/env python3
"""Reads the application manifest of a Windows program from its file, without running it,
so that the i686 utility is checked on hosts that cannot execute it.

  check_manifest.py UTILITY.exe          the utility's manifest: resource 24/1, asking for
                                         an administrator, the five Windows versions, and
                                         nothing else (no common controls 6, no DPI awareness)
  check_manifest.py --none PROGRAM ...   programs that must carry no manifest at all (the
                                         tests, which link the utility's dialog resources and
                                         must start without elevation)

Exit status 0 when every check holds, 1 with one line per failure, 2 for a file that is no
PE module.
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPAT_V1 = "urn:schemas-microsoft-com:compatibility.v1"
WINDOWS_VERSIONS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10/11",
}
# Every element the manifest may hold: the two statements and what encloses them. A
# dependency on Microsoft.Windows.Common-Controls, dpiAware or dpiAwareness, or any other
# setting, is an element outside this set.
ALLOWED = {
    "{%s}assembly" % ASM_V1,
    "{%s}trustInfo" % ASM_V3, "{%s}security" % ASM_V3, "{%s}requestedPrivileges" % ASM_V3,
    "{%s}requestedExecutionLevel" % ASM_V3,
    "{%s}compatibility" % COMPAT_V1, "{%s}application" % COMPAT_V1, "{%s}supportedOS" % COMPAT_V1,
}


class BadModule(Exception):
    pass


def manifests(path):
    """{(name id, language): bytes} of every resource of type 24."""
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        raise BadModule("%s: no MZ header" % path)
    nt = struct.unpack_from("<I", data, 0x3C)[0]
    if data[nt:nt + 4] != b"PE\0\0":
        raise BadModule("%s: no PE signature" % path)
    nsections, = struct.unpack_from("<H", data, nt + 6)
    opt_size, = struct.unpack_from("<H", data, nt + 20)
    opt = nt + 24
    magic, = struct.unpack_from("<H", data, opt)
    dirs = opt + {0x10B: 96, 0x20B: 112}.get(magic, 0)
    if dirs == opt:
        raise BadModule("%s: unknown optional header 0x%x" % (path, magic))
    rsrc_rva, _ = struct.unpack_from("<II", data, dirs + 8 * 2)
    sections = []
    for i in range(nsections):
        _, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, opt + opt_size + 40 * i)
        sections.append((va, max(vsize, rawsize), rawptr))

    def off(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise BadModule("%s: address 0x%x in no section" % (path, rva))

    def entries(table):
        named, ids = struct.unpack_from("<HH", data, table + 12)
        for i in range(named + ids):
            key, value = struct.unpack_from("<II", data, table + 16 + 8 * i)
            yield (None if key & 0x80000000 else key), value

    found = {}
    if not rsrc_rva:
        return found
    root = off(rsrc_rva)
    for rtype, types in entries(root):
        if rtype != RT_MANIFEST or not types & 0x80000000:
            continue
        for name, names in entries(root + (types & 0x7FFFFFFF)):
            for lang, leaf in entries(root + (names & 0x7FFFFFFF)):
                rva, size = struct.unpack_from("<II", data, root + leaf)
                found[(name, lang)] = data[off(rva):off(rva) + size]
    return found


def check_utility(path):
    failures = []
    found = manifests(path)
    # CreateProcess and the shell read resource 1 of an .exe; a manifest under another
    # id is never seen, and a second one is a mistake.
    if [name for name, _ in found] != [1]:
        return ["%s: manifest resources %s, expected exactly id 1" % (path, sorted(found))]
    text = next(iter(found.values()))
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        return ["%s: manifest is not well-formed XML: %s" % (path, e)]
    if root.tag != "{%s}assembly" % ASM_V1 or root.get("manifestVersion") != "1.0":
        failures.append("root element %s manifestVersion=%s" % (root.tag, root.get("manifestVersion")))
    for elem in root.iter():
        if elem.tag not in ALLOWED:
            failures.append("unexpected element %s" % elem.tag)
    levels = root.findall("./{%s}trustInfo/{%s}security/{%s}requestedPrivileges/{%s}requestedExecutionLevel"
                          % (ASM_V3, ASM_V3, ASM_V3, ASM_V3))
    if len(levels) != 1:
        failures.append("%d requestedExecutionLevel elements in trustInfo/security/requestedPrivileges"
                        % len(levels))
    else:
        attrs = dict(levels[0].attrib)
        if attrs != {"level": "requireAdministrator", "uiAccess": "false"}:
            failures.append("requestedExecutionLevel %s" % attrs)
    ids = [e.get("Id", "") for e in root.findall("./{%s}compatibility/{%s}application/{%s}supportedOS"
                                               % (COMPAT_V1, COMPAT_V1, COMPAT_V1))]
    if sorted(i.lower() for i in ids) != sorted(WINDOWS_VERSIONS):
        failures.append("supportedOS ids %s, expected those of %s"
                        % (ids, ", ".join(WINDOWS_VERSIONS.values())))
    return ["%s: %s" % (path, f) for f in failures]


def check_none(path):
    found = manifests(path)
    return ["%s: carries manifest resources %s" % (path, sorted(found))] if found else []


def main(argv):
    try:
        if argv[:1] == ["--none"] and len(argv) > 1:
            failures = [f for p in argv[1:] for f in check_none(p)]
        elif len(argv) == 1:
            failures = check_utility(argv[0])
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except (BadModule, OSError, struct.error) as e:
        print(e, file=sys.stderr)
        return 2
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
