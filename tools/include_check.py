#!/usr/bin/env python3
"""Checks the include graph of the tree against the components' allowed dependencies.

  include_check.py ROOT

Every quoted #include of every C and C++ file is resolved (the including file's own
folder first, then anywhere in the tree) and the component of the included file must
be the includer's own or one it may depend on (ALLOWED below). The public header
qrlink00.h may be included by anyone. The allowed dependencies themselves must form
no cycle: no component depends, directly or not, on one that depends on it.
Exit status 0 when the graph holds, 1 with one line per offending include.
"""
import os
import re
import sys

# Component -> the components it may include from. "*": anything (whole-system checks).
ALLOWED = {
    "proto": set(),
    "tools": {"proto"},
    "testsupport": {"proto", "tools"},
    "vboard": {"proto"},
    "vboard-sim": {"proto", "vboard", "testsupport"},
    "boardlib": {"proto", "vboard", "testsupport", "tools"},
    "cfgtool": {"proto"},
    "cplapplet": set(),
    "examples": set(),
    "sdk": set(),
    "systest": {"*"},
}
PUBLIC = "boardlib/include/"
SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def component(rel):
    if rel.startswith("vboard/sim/"):
        return "vboard-sim"
    return rel.split("/", 1)[0]


def sources(root):
    for top in ALLOWED:
        base = os.path.join(root, top)
        for dirpath, _, files in os.walk(base):
            for f in files:
                if SOURCE.search(f):
                    yield os.path.relpath(os.path.join(dirpath, f), root).replace(os.sep, "/")


def cycles():
    """Components that reach themselves through the allowed dependencies."""
    bad = []
    for start in ALLOWED:
        seen, todo = set(), [d for d in ALLOWED[start] if d != "*"]
        while todo:
            c = todo.pop()
            if c == start:
                bad.append(start)
                break
            if c in seen:
                continue
            seen.add(c)
            todo.extend(d for d in ALLOWED.get(c, ()) if d != "*")
    return bad


def main(argv):
    if len(argv) != 1:
        print("usage: include_check.py ROOT")
        return 2
    root = argv[0]
    files = sorted(sources(root))
    by_name = {}
    for f in files:
        by_name.setdefault(os.path.basename(f), []).append(f)
    problems = ["dependency cycle through %s" % c for c in cycles()]
    edges = 0
    for f in files:
        src = component(f)
        text = open(os.path.join(root, f), encoding="utf-8", errors="replace").read()
        for name in INCLUDE.findall(text):
            local = os.path.normpath(os.path.join(os.path.dirname(f), name)).replace(os.sep, "/")
            if local in files:
                target = local
            else:
                found = by_name.get(os.path.basename(name), [])
                same = [c for c in found if component(c) == src]
                if not found:
                    continue  # a generated or system header
                target = (same or found)[0]
            if target.startswith(PUBLIC):
                continue
            dst = component(target)
            allowed = ALLOWED.get(src, set())
            edges += 1
            if dst != src and dst not in allowed and "*" not in allowed:
                problems.append("%s includes %s (%s may not depend on %s)" % (f, target, src, dst))
    for p in problems:
        print(p)
    if not problems:
        print("include graph holds: %d files, %d includes between them" % (len(files), edges))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
