#!/usr/bin/env python3
"""Opens every topic number the utility uses from the compiled help file through
Wine's HTML Help, with the command the utility sends (HH_HELP_CONTEXT).

    run_hh_probe.py EMULATOR HH_PROBE.exe FILE.chm HELP_HEADER SOURCE_DIR...

The numbers come from the code as check_chm.py finds them. HTML Help must show each
of them, and must refuse a number that the file does not map (1, and one above the
highest), so that "shown" is known to depend on the file's context map.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_chm import code_topics  # noqa: E402


def main():
    if len(sys.argv) < 6:
        sys.exit("usage: run_hh_probe.py EMULATOR HH_PROBE.exe FILE.chm HELP_HEADER SOURCE_DIR...")
    emulator, probe, chm, header, dirs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]
    used = sorted(code_topics(header, dirs))
    unmapped = [1, max(used) + 1]
    chm_win = "Z:" + os.path.abspath(chm).replace("/", "\\")
    p = subprocess.run([emulator, probe, chm_win] + [str(n) for n in used + unmapped], stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, text=True, errors="replace", timeout=300)
    answers = dict(l.split(" ", 1) for l in p.stdout.splitlines() if l[:1].isdigit() and " " in l)
    problems = []
    if p.returncode != 0:
        problems.append("hh_probe exited with %d: %s" % (p.returncode, p.stdout.strip()))
    for n in used:
        if answers.get(str(n)) != "shown":
            problems.append("topic %d: HTML Help answered %r, not shown" % (n, answers.get(str(n))))
    for n in unmapped:
        if answers.get(str(n)) != "refused":
            problems.append("unmapped number %d: HTML Help answered %r, not refused" % (n, answers.get(str(n))))
    for line in problems:
        print("run_hh_probe: " + line)
    print("run_hh_probe: %d topic numbers shown by HTML Help, %d unmapped numbers refused, %d findings"
          % (sum(answers.get(str(n)) == "shown" for n in used),
             sum(answers.get(str(n)) == "refused" for n in unmapped), len(problems)))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
