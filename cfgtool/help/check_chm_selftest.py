#!/usr/bin/env python3
"""The help-file check refuses what it is there to catch.

    check_chm_selftest.py HELP_SOURCE_DIR HELP_HEADER WORK_DIR

Each case compiles a broken copy of the help sources with build_chm.py (or keeps the
sources and changes the code the check reads) and requires check_chm.py to fail with
the expected finding:
  - a topic number the code uses has lost its [MAP] entry;
  - a page is in the help file but neither in the contents nor in the map;
  - the code asks for a topic number (through a new enumerator) that no page has;
  - the map holds a number the code never asks for;
  - the contents name a page that is not in the help file.
"""
import os
import re
import shutil
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))


def run(args):
    return subprocess.run([sys.executable] + args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace")


def edit(path, old, new):
    s = open(path, encoding="utf-8").read()
    if old not in s:
        sys.exit("selftest: %r not found in %s" % (old, path))
    open(path, "w", encoding="utf-8").write(s.replace(old, new, 1))


def main():
    src, header, work = (os.path.abspath(a) for a in sys.argv[1:4])
    code_dir = os.path.dirname(header)
    shutil.rmtree(work, ignore_errors=True)
    failures = 0

    def case(name, expect, change_sources=None, change_code=None):
        nonlocal failures
        d = os.path.join(work, name)
        srcs = os.path.join(d, "src")
        shutil.copytree(src, srcs, ignore=shutil.ignore_patterns("*.py", "CMakeLists.txt", "__pycache__"))
        hdr, dirs = header, [code_dir]
        if change_sources:
            change_sources(srcs)
        if change_code:
            code = os.path.join(d, "code")
            os.makedirs(code)
            hdr = os.path.join(code, "help.h")
            shutil.copyfile(header, hdr)
            change_code(code, hdr)
            dirs = [code_dir, code]
        chm = os.path.join(d, "vx710cfg.chm")
        b = run([os.path.join(here, "build_chm.py"), srcs, chm, os.path.join(d, "work")])
        if b.returncode != 0:
            print("selftest %s: FAILED: the broken variant did not compile:\n%s" % (name, b.stdout))
            failures += 1
            return
        c = run([os.path.join(here, "check_chm.py"), chm, hdr] + dirs)
        if c.returncode != 0 and re.search(expect, c.stdout):
            print("selftest %s: refused as expected: %s" % (name, re.search(expect, c.stdout).group(0)))
        else:
            print("selftest %s: FAILED: expected exit 1 and /%s/, got exit %d:\n%s" % (name, expect, c.returncode, c.stdout))
            failures += 1

    hhp = lambda d: os.path.join(d, "vx710cfg.hhp")

    case("unmapped_topic", r"topic 10070, used by kTopicDllLog .* is not in the help file's map",
         change_sources=lambda d: edit(hhp(d), "#define IDH_DLLLOG 10070\n", ""))

    def orphan(d):
        shutil.copyfile(os.path.join(d, "compat.htm"), os.path.join(d, "extra.htm"))
        edit(hhp(d), "[FILES]\n", "[FILES]\nextra.htm\n")
    case("orphaned_page", r"extra\.htm is orphaned", change_sources=orphan)

    def new_topic(code, hdr):
        edit(hdr, "kTopicCompat = 10100,", "kTopicCompat = 10100,\n    kTopicNewDialog = 10110,")
        open(os.path.join(code, "newdlg.cpp"), "w").write("void f() { ShowHelpTopic(kTopicNewDialog); }\n")
    case("topic_without_page", r"topic 10110, used by kTopicNewDialog .* is not in the help file's map",
         change_code=new_topic)

    def unused_number(d):
        edit(hhp(d), "[ALIAS]\n", "[ALIAS]\nIDH_OVERVIEW=index.htm\n")
        edit(hhp(d), "[MAP]\n", "[MAP]\n#define IDH_OVERVIEW 10120\n")
    case("mapped_number_unused", r"topic 10120 is mapped \(to /index\.htm\) but the code never asks for it",
         change_sources=unused_number)

    def toc_missing(d):
        edit(os.path.join(d, "vx710cfg.hhc"), 'value="compat.htm"', 'value="compatibility.htm"')
    case("contents_missing_page", r"contents entry names 'compatibility\.htm'", change_sources=toc_missing)

    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
