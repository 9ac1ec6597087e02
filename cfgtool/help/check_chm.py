#!/usr/bin/env python3
"""Checks the compiled help file against the code that opens it.

    check_chm.py FILE.chm HELP_HEADER SOURCE_DIR...

Reads FILE.chm with 7-Zip's CHM reader (no part of the compiler) and fails when:
  - a topic number the code asks HTML Help for (the kTopic* enumerators of HELP_HEADER
    that the non-test sources under SOURCE_DIR use, and any number written directly
    in a ShowHelpTopic or HtmlHelp call there) has no entry in the help file's
    context map (#IVB), or its entry names a page the help file does not hold;
  - the map holds a number the code never asks for;
  - a page is orphaned: reachable neither from the map nor from the contents;
  - the contents, the index or the default topic name a missing page, or a page
    links to a missing page;
  - the language is not Japanese (0x411), or the title, contents, index or a page
    is not valid Shift_JIS (code page 932), or a page does not declare Shift_JIS.
Prints one line per finding and a summary; exits 1 on any finding.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile


def code_topics(header, dirs):
    """{number: [where]} of every topic number the code uses."""
    enum = dict((name, int(num)) for name, num in
                re.findall(r"\b(kTopic\w+)\s*=\s*(\d+)", open(header, encoding="utf-8").read()))
    if not enum:
        sys.exit("check_chm: no kTopic enumerators in %s" % header)
    used = {}
    for top in dirs:
        for base, subdirs, files in os.walk(top):
            subdirs[:] = [d for d in subdirs if d not in ("tests", "help")]
            for f in files:
                if not f.endswith((".cpp", ".c", ".h")):
                    continue
                path = os.path.join(base, f)
                if os.path.samefile(path, header):
                    continue
                text = open(path, encoding="utf-8", errors="replace").read()
                for name, num in enum.items():
                    if re.search(r"\b%s\b" % name, text):
                        used.setdefault(num, []).append("%s (%s)" % (name, os.path.relpath(path, top)))
                for num in re.findall(r"\b(?:ShowHelpTopic|HtmlHelp[AW]?)\s*\([^;]*?\b(\d{3,})\b", text):
                    used.setdefault(int(num), []).append("literal in %s" % os.path.relpath(path, top))
    return used


def system_records(data):
    """#SYSTEM: DWORD version, then records of WORD code, WORD length, data."""
    recs, pos = {}, 4
    while pos + 4 <= len(data):
        code, length = struct.unpack_from("<HH", data, pos)
        recs[code] = data[pos + 4:pos + 4 + length]
        pos += 4 + length
    return recs


def cstring(data):
    return data.split(b"\0", 1)[0]


def sitemap_locals(text):
    return re.findall(r'<param\s+name="Local"\s+value="([^"]*)"', text, re.I)


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: check_chm.py FILE.chm HELP_HEADER SOURCE_DIR...")
    chm, header, dirs = sys.argv[1], sys.argv[2], sys.argv[3:]
    problems = []
    bad = problems.append

    used = code_topics(header, dirs)
    if not used:
        sys.exit("check_chm: found no topic number in the code under %s" % " ".join(dirs))

    out = tempfile.mkdtemp(prefix="check_chm.")
    try:
        p = subprocess.run(["7z", "x", "-y", "-bd", "-o" + out, chm], stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True, errors="replace")
        if p.returncode != 0:
            sys.exit("check_chm: 7z cannot read %s:\n%s" % (chm, p.stdout))
        files = {}
        for base, _, names in os.walk(out):
            for n in names:
                rel = os.path.relpath(os.path.join(base, n), out).replace(os.sep, "/")
                files[rel] = open(os.path.join(base, n), "rb").read()
    finally:
        shutil.rmtree(out, ignore_errors=True)
    lower = {k.lower(): k for k in files}
    pages = {k for k in files if k.lower().endswith((".htm", ".html"))}

    def resolve(name, what):
        """The file inside the help file that a path names (leading '/' allowed), or None."""
        key = name.lstrip("/").split("#", 1)[0]
        if key in files:
            return key
        if key.lower() in lower:  # HTML Help matches names regardless of case
            return lower[key.lower()]
        bad("%s names %r, which is not in the help file" % (what, name))
        return None

    def decode(name, data):
        try:
            return data.decode("cp932")
        except UnicodeDecodeError as e:
            bad("%s is not valid Shift_JIS (byte %d)" % (name, e.start))
            return data.decode("cp932", errors="replace")

    # Language, title, default topic, contents and index files.
    if "#SYSTEM" not in files:
        sys.exit("check_chm: %s has no #SYSTEM" % chm)
    recs = system_records(files["#SYSTEM"])
    lcid = struct.unpack_from("<I", recs.get(4, b"\0\0\0\0"))[0]
    if lcid != 0x411:
        bad("language is 0x%x, not Japanese (0x411)" % lcid)
    title = decode("the title", cstring(recs.get(3, b"")))
    if not title.strip():
        bad("the help file has no title")
    reachable = set()
    default = cstring(recs.get(2, b"")).decode("latin-1")
    if default:
        t = resolve(default, "the default topic")
        if t:
            reachable.add(t)
    else:
        bad("no default topic")
    contents = cstring(recs.get(0, b"")).decode("latin-1")
    index = cstring(recs.get(1, b"")).decode("latin-1")
    if not contents:
        bad("no contents file")
    for kind, name in (("contents", contents), ("index", index)):
        if not name:
            continue
        f = resolve(name, "the %s file entry" % kind)
        if not f:
            continue
        for local in sitemap_locals(decode(f, files[f])):
            t = resolve(local, "%s entry" % kind)
            if t and kind == "contents":
                reachable.add(t)

    # The context map: #IVB = DWORD byte count, then (DWORD number, DWORD offset into #STRINGS).
    ivb, strings = files.get("#IVB", b""), files.get("#STRINGS", b"")
    mapped = {}
    if len(ivb) < 4:
        bad("no context map (#IVB)")
    else:
        size = struct.unpack_from("<I", ivb)[0]
        if size != len(ivb) - 4 or size % 8:
            bad("#IVB says %d bytes of entries, holds %d" % (size, len(ivb) - 4))
        for i in range(4, 4 + (min(size, len(ivb) - 4) // 8) * 8, 8):
            num, off = struct.unpack_from("<II", ivb, i)
            if off >= len(strings):
                bad("topic %d: offset %d lies beyond #STRINGS (%d bytes)" % (num, off, len(strings)))
                continue
            if num in mapped:
                bad("topic %d is mapped twice" % num)
            mapped[num] = cstring(strings[off:]).decode("cp932", errors="replace")
    targets = {}
    for num, path in sorted(mapped.items()):
        t = resolve(path, "topic %d" % num)
        if t:
            targets[num] = t
            reachable.add(t)
    for num in sorted(set(used) - set(mapped)):
        bad("topic %d, used by %s, is not in the help file's map" % (num, "; ".join(used[num])))
    for num in sorted(set(mapped) - set(used)):
        bad("topic %d is mapped (to %s) but the code never asks for it" % (num, mapped[num]))

    # Every page: Shift_JIS, declared so, titled, its links resolve.
    for page in sorted(pages):
        text = decode(page, files[page])
        if not re.search(r"charset=Shift_JIS", text, re.I):
            bad("%s does not declare charset=Shift_JIS" % page)
        m = re.search(r"<title>(.*?)</title>", text, re.I | re.S)
        if not m or not m.group(1).strip():
            bad("%s has no title" % page)
        base = os.path.dirname(page)
        for href in re.findall(r'<a\s[^>]*href="([^"]+)"', text, re.I):
            if re.match(r"[a-z][a-z0-9+.-]*:", href, re.I) or href.startswith("#"):
                continue
            resolve(os.path.normpath(os.path.join(base, href)).replace(os.sep, "/"), "a link in %s" % page)

    for page in sorted(pages - reachable):
        bad("%s is orphaned: neither the map nor the contents reach it" % page)

    for line in problems:
        print("check_chm: " + line)
    print("check_chm: %s: %d topic numbers used by the code, %d mapped, %d pages (%d reached by the map), "
          "%d findings" % (os.path.basename(chm), len(used), len(mapped), len(pages),
                           len(set(targets.values())), len(problems)))
    for num in sorted(targets):
        print("  %d -> %s" % (num, targets[num]))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
