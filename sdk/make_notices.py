#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt for the package from the licence texts that the
toolchain which built it installed on this machine.

    make_notices.py OUTPUT VERSION

Every module of the package is linked with -static: it carries parts of the GCC
runtime libraries (libgcc; libstdc++ in the C++ modules) and of the MinGW-w64
runtime (its C runtime start-up and support code, and winpthreads, the posix thread
library of the posix thread model). Their licences come from the Debian copyright
files of the packages that provided them:
  - GCC: /usr/share/doc/gcc-mingw-w64-base/copyright (the list of runtime libraries
    and the GCC Runtime Library Exception 3.1) and /usr/share/common-licenses/GPL-3;
  - MinGW-w64: /usr/share/doc/mingw-w64-common/copyright, the paragraphs of its
    runtime (the default licence, mingw-w64-crt, winpthreads) with the licence texts
    they refer to; headers, tools and tests are not part of the modules.
Fails when a file or a section is missing, so that the notices never silently lose
a licence.
"""
import os
import re
import subprocess
import sys

GCC_COPYRIGHT = "/usr/share/doc/gcc-mingw-w64-base/copyright"
GPL3 = "/usr/share/common-licenses/GPL-3"
MINGW_COPYRIGHT = "/usr/share/doc/mingw-w64-common/copyright"


def die(msg):
    sys.exit("make_notices: " + msg)


def read(path):
    if not os.path.isfile(path):
        die("%s is missing (install the MinGW-w64 toolchain packages)" % path)
    return open(path, encoding="utf-8").read()


def package_version(name):
    p = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, text=True)
    return p.stdout.strip() if p.returncode == 0 and p.stdout.strip() else "unknown"


def gcc_section():
    text = read(GCC_COPYRIGHT)
    start = text.find("The following runtime libraries are licensed")
    exc = text.find("GCC RUNTIME LIBRARY EXCEPTION")
    end_marker = "requirements of the license of GCC."
    end = text.find(end_marker, exc)
    if start < 0 or exc < 0 or end < 0:
        die("%s no longer has the runtime library list and exception where expected" % GCC_COPYRIGHT)
    libs = text[start:text.find("\n\n", text.find(" - libvtv", start) if " - libvtv" in text else start)]
    exception = text[exc:end + len(end_marker)]
    return libs.strip(), exception.strip()


def dep5_paragraphs(text):
    paras = []
    for block in re.split(r"\n\s*\n", text):
        fields, key = {}, None
        for line in block.splitlines():
            if line[:1] in (" ", "\t") and key:
                fields[key].append(line[1:] if line.startswith(" ") else line.lstrip("\t"))
            elif ":" in line:
                key, value = line.split(":", 1)
                fields[key] = [value.strip()]
        if fields:
            paras.append(fields)
    return paras


def license_text(lines):
    """A DEP-5 licence body: ' .' lines are blank lines."""
    return "\n".join("" if l.strip() == "." else l for l in lines).rstrip()


def mingw_section():
    paras = dep5_paragraphs(read(MINGW_COPYRIGHT))
    wanted = lambda pattern: (pattern == "*" or pattern.startswith("mingw-w64-crt/") or
                              (pattern.startswith("mingw-w64-libraries/winpthreads/") and "tests_pthread" not in pattern))
    standalone = {p["License"][0]: license_text(p["License"][1:])
                  for p in paras if "Files" not in p and "License" in p and len(p["License"]) > 1}
    out, needed = [], []
    for p in paras:
        if "Files" not in p:
            continue
        patterns = " ".join(p["Files"]).split()
        keep = [f for f in patterns if wanted(f)]
        if not keep:
            continue
        name = p.get("License", ["(none)"])[0]
        block = ["Files: " + "\n       ".join(keep),
                 "Copyright: " + "\n           ".join(x for x in p.get("Copyright", [""]) if x),
                 "License: " + name]
        body = license_text(p.get("License", [])[1:])
        if body:
            block.append(body)
        else:
            needed += [n.strip() for n in re.split(r"\band\b|\bor\b", name) if n.strip()]
        out.append("\n".join(block))
    if not out:
        die("%s has no runtime paragraphs" % MINGW_COPYRIGHT)
    texts = []
    for name in sorted(set(needed)):
        if name not in standalone:
            die("%s refers to licence %r but does not hold its text" % (MINGW_COPYRIGHT, name))
        texts.append("License: %s\n%s" % (name, standalone[name]))
    return "\n\n".join(out), "\n\n".join(texts)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_notices.py OUTPUT VERSION")
    output, version = sys.argv[1], sys.argv[2]
    gcc_libs, exception = gcc_section()
    gpl3 = read(GPL3).strip()
    mingw_paras, mingw_texts = mingw_section()
    rule = "=" * 78
    doc = f"""THIRD-PARTY NOTICES: VX-7105 host software {version}

The programs of this package (qrlink00.dll, vx710cfg.exe, vx710cpl.cpl,
qrlogdump.exe, vx710sim.exe and the samples) were built with the MinGW-w64 GCC
cross compilers and are linked statically: each carries parts of the runtime
libraries below, and needs no runtime DLL. Their licences follow, as the Debian
packages that provided the runtime state them (gcc-mingw-w64 {package_version("gcc-mingw-w64-base")},
mingw-w64 {package_version("mingw-w64-common")}).

  1. GCC runtime libraries: libgcc, and libstdc++ (in the C++ programs)
     GNU General Public License version 3 with the GCC Runtime Library Exception 3.1
  2. MinGW-w64 runtime: the C runtime start-up and support code, and winpthreads
     (the POSIX threads library the C++ programs use)
     Zope Public License 2.1, MIT (expat) and the other permissive licences below

{rule}
1. GCC runtime libraries
{rule}

The GCC Runtime Library Exception allows programs compiled with GCC to combine the
runtime libraries with their own code and to be conveyed under terms of their
choice; the package's own terms are in LICENSE.txt.

{gcc_libs}

{exception}

The GNU General Public License, version 3, to which the exception applies:

{gpl3}

{rule}
2. MinGW-w64 runtime
{rule}

From the copyright file of the mingw-w64 packages, the parts that are linked into
programs (headers, tools and tests are not):

{mingw_paras}

Licence texts referred to above:

{mingw_texts}
"""
    with open(output, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(doc)


if __name__ == "__main__":
    main()
