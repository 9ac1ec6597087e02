#!/usr/bin/env python3
"""Compares the export list with its checked-in copy: names, ordinals, argument bytes.

  exports_abi.py proto/qrl_exports.h proto/qrl_exports.abi

The list (QRL_EXPORT(name, argbytes, ordinal) lines) makes the .def files and the
import libraries; the copy (lines "name ordinal argbytes") is what applications
depend on. Any difference fails, so that an export cannot be renamed, moved to
another ordinal, given other arguments, dropped or added without the copy being
changed as well, deliberately. Also refuses a name or an ordinal used twice.
Exit status 0 when both agree, 1 with one line per difference.
"""
import re
import sys


def from_list(path):
    text = open(path).read()
    lines = re.findall(r"^QRL_EXPORT\(.*$", text, re.M)
    entries = re.findall(r"^QRL_EXPORT\((\w+),\s*(\d+),\s*(\d+)\)$", text, re.M)
    bad = len(lines) - len(entries)
    return [(n, int(o), int(a)) for n, a, o in entries], bad


def from_abi(path):
    out = []
    for line in open(path):
        line = line.split("#", 1)[0].split()
        if line:
            out.append((line[0], int(line[1]), int(line[2])))
    return out


def duplicates(entries, index, what):
    seen, out = set(), []
    for e in entries:
        if e[index] in seen:
            out.append("%s %s used twice" % (what, e[index]))
        seen.add(e[index])
    return out


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    listed, bad = from_list(argv[0])
    golden = from_abi(argv[1])
    problems = []
    if bad:
        problems.append("%d QRL_EXPORT line(s) not of the form QRL_EXPORT(name, argbytes, ordinal)" % bad)
    problems += duplicates(listed, 0, "name") + duplicates(listed, 1, "ordinal")
    have, want = {n: (o, a) for n, o, a in listed}, {n: (o, a) for n, o, a in golden}
    for n in sorted(set(have) | set(want)):
        if n not in want:
            problems.append("%s is exported but not in %s" % (n, argv[1]))
        elif n not in have:
            problems.append("%s is in %s but no longer exported" % (n, argv[1]))
        else:
            (ho, ha), (wo, wa) = have[n], want[n]
            if ho != wo:
                problems.append("%s: ordinal %d, %s says %d" % (n, ho, argv[1], wo))
            if ha != wa:
                problems.append("%s: %d argument bytes, %s says %d" % (n, ha, argv[1], wa))
    for p in problems:
        print("exports_abi: %s" % p)
    if not problems:
        print("exports_abi: %d exports agree with %s" % (len(listed), argv[1]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
