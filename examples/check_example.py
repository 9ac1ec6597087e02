#!/usr/bin/env python3
"""Runs one sample program against the in-process virtual board and checks it.

  check_example.py EMULATOR EXE EXPECTED [--settings-fixture]

EMULATOR runs a Windows program of this build (the build's wine-run.sh). The
sample runs with QRLINK00_DEVICE=sim and must exit with status 0; every line of
EXPECTED that is neither empty nor a # comment is a regular expression that must
match a line of its output, in the order given.

--settings-fixture: for a sample that changes the call-log settings. The
driver's registry keys are made first when the prefix has none (and removed
again afterwards), and the settings must read exactly the same after the run as
before it: the sample must put back whatever it changed.
"""
import os
import re
import subprocess
import sys

SERVICE_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\vx710s10"
DLL_KEY = SERVICE_KEY + r"\Parameters\Device0\Settings\Dll"
ITEMS_KEY = DLL_KEY + r"\LogSetting"
# Values that differ from what the sample sets, and values it sets that are absent.
FIXTURE = [
    (DLL_KEY, "Logging", "REG_DWORD", "0"),
    (DLL_KEY, "LoggingPath", "REG_SZ", r"\??\C:\vx710d10.log"),
    (DLL_KEY, "LogSize", "REG_DWORD", "1000"),
    (DLL_KEY, "LogFileMax", "REG_DWORD", "7"),
    (DLL_KEY, "LogFileCnt", "REG_DWORD", "5"),
    (ITEMS_KEY, "CommandCount", "REG_DWORD", "0"),
    (ITEMS_KEY, "SmonIn", "REG_DWORD", "1"),
    (ITEMS_KEY, "ReturnCode", "REG_DWORD", "1"),
]


def run(emulator, *args, env=None, timeout=120):
    return subprocess.run([emulator, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          env=env, timeout=timeout, text=True, errors="replace")


def settings(emulator):
    out = run(emulator, "reg", "query", DLL_KEY, "/s")
    return out.returncode, out.stdout


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    emulator, exe, expected = argv[:3]
    fixture = "--settings-fixture" in argv[3:]
    patterns = [l.rstrip("\n") for l in open(expected, encoding="utf-8")
                if l.strip() and not l.startswith("#")]

    made_keys = False
    before = None
    if fixture:
        if run(emulator, "reg", "query", SERVICE_KEY).returncode != 0:
            made_keys = True
            for key, name, kind, value in FIXTURE:
                r = run(emulator, "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f")
                if r.returncode != 0:
                    print("check_example: could not make %s\\%s: %s" % (key, name, r.stderr))
                    return 1
        before = settings(emulator)

    try:
        env = dict(os.environ, QRLINK00_DEVICE="sim")
        r = run(emulator, exe, env=env)
        out = r.stdout.replace("\r\n", "\n")
        print(out, end="")
        failures = []
        if r.returncode != 0:
            failures.append("exit status %d" % r.returncode)
        lines = out.split("\n")
        at = 0
        for pat in patterns:
            rx = re.compile(pat)
            while at < len(lines) and not rx.search(lines[at]):
                at += 1
            if at == len(lines):
                failures.append("no line (in order) matches: %s" % pat)
                break
            at += 1
        if fixture:
            after = settings(emulator)
            if after != before:
                failures.append("the settings differ after the run:\n--- before\n%s\n--- after\n%s"
                                % (before[1], after[1]))
    finally:
        if made_keys:
            run(emulator, "reg", "delete", SERVICE_KEY, "/f")

    for f in failures:
        print("check_example: FAILED: %s" % f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
