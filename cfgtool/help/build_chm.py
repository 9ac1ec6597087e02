#!/usr/bin/env python3
"""Compiles the utility's help file vx710cfg.chm from the sources in this folder.

    build_chm.py SOURCE_DIR OUTPUT.chm WORK_DIR

The sources (project, pages, contents, index) are kept in UTF-8. HTML Help decodes a
help file's contents and index, and its title, in the code page of the help file's
language (Japanese, 0x411: code page 932), and the pages are declared for the browser
it embeds; so every text file is written in Shift_JIS (code page 932) into a staging
root, each page's charset declaration rewritten to match. A character that code page
932 cannot hold is an error.

The compiler is chmcmd of Debian's Free Pascal utilities (fp-utils, version 3.2.2). It
stores each [ALIAS] target of the context map (#IVB/#STRINGS) as the project folder's
absolute path followed by the file name, which names no page inside the help file
(/tmp/.../page.htm). With the project at the file system root that prefix is just "/",
and "/page.htm" is the page's own path inside the help file. So chmcmd runs chrooted
into the staging root (a private user and mount namespace, /usr bound in for the
program and its libraries; no privileges needed).
"""
import os
import re
import shutil
import subprocess
import sys

TEXT_SUFFIXES = (".htm", ".html", ".hhc", ".hhk", ".hhp", ".css")


def die(msg):
    sys.exit("build_chm: " + msg)


def read_project(path):
    """Sections of an .hhp as {NAME: [lines]} (comments and blank lines dropped)."""
    sections, cur = {}, None
    for raw in open(path, encoding="utf-8"):
        line = raw.strip()
        if not line or line.startswith(";"):
            continue
        m = re.fullmatch(r"\[(.+)\]", line)
        if m:
            cur = m.group(1).upper()
            sections.setdefault(cur, [])
        elif cur:
            sections[cur].append(line)
    return sections


def to_cp932(name, text):
    try:
        return text.encode("cp932")
    except UnicodeEncodeError as e:
        die("%s: %r at %d cannot be written in Shift_JIS (code page 932)" % (name, e.object[e.start:e.end], e.start))


def stage(src, root, project):
    sections = read_project(os.path.join(src, project))
    options = dict(l.split("=", 1) for l in sections.get("OPTIONS", []) if "=" in l)
    files = list(sections.get("FILES", []))
    for key in ("Contents file", "Index file"):
        if options.get(key):
            files.append(options[key])
    files += [l.split("=", 1)[1].strip() for l in sections.get("ALIAS", []) if "=" in l]
    files.append(project)
    for name in sorted(set(files)):
        s = os.path.join(src, name)
        if not os.path.isfile(s):
            die("%s names %s, which is not in %s" % (project, name, src))
        d = os.path.join(root, name)
        os.makedirs(os.path.dirname(d), exist_ok=True)
        if not name.lower().endswith(TEXT_SUFFIXES):
            shutil.copyfile(s, d)
            continue
        text = open(s, encoding="utf-8").read()
        if name.lower().endswith((".htm", ".html")):
            decl = re.findall(r"charset=utf-8", text, re.I)
            if len(decl) != 1:
                die("%s: must declare charset=UTF-8 exactly once (found %d)" % (name, len(decl)))
            text = re.sub(r"charset=utf-8", "charset=Shift_JIS", text, flags=re.I)
        open(d, "wb").write(to_cp932(name, text).replace(b"\n", b"\r\n"))
    return options.get("Compiled file", "")


def compile_chrooted(root, project):
    chmcmd = shutil.which("chmcmd")
    if not chmcmd:
        die("chmcmd not found (Debian package fp-utils)")
    chmcmd = os.path.realpath(chmcmd)  # /etc/alternatives is not inside the chroot
    if not chmcmd.startswith("/usr/"):
        die("chmcmd resolves to %s, outside /usr (only /usr is bound into the chroot)" % chmcmd)
    for d in ("usr", "tmp"):
        os.makedirs(os.path.join(root, d), exist_ok=True)
    for link in ("lib", "lib64", "bin"):
        if os.path.islink("/" + link) and not os.path.lexists(os.path.join(root, link)):
            os.symlink(os.readlink("/" + link), os.path.join(root, link))
    script = 'mount --rbind /usr "$1/usr" && exec chroot "$1" "$2" "$3"'
    attempts = [["unshare", "--map-root-user", "--mount"]]
    if os.geteuid() == 0:
        attempts.append(["unshare", "--mount"])
    out = None
    for prefix in attempts:
        p = subprocess.run(prefix + ["sh", "-c", script, "sh", root, chmcmd, project],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        out = p.stdout
        if p.returncode == 0:
            break
    else:
        die("chmcmd in a private namespace failed:\n" + (out or ""))
    problems = [l for l in out.splitlines() if re.match(r"\s*(error|warning)\b", l, re.I)]
    if problems:
        die("chmcmd reported:\n" + "\n".join(problems))
    return out


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: build_chm.py SOURCE_DIR OUTPUT.chm WORK_DIR")
    src, output, work = (os.path.abspath(a) for a in sys.argv[1:])
    projects = [f for f in os.listdir(src) if f.endswith(".hhp")]
    if len(projects) != 1:
        die("expected one .hhp in %s, found %s" % (src, projects))
    project = projects[0]
    root = os.path.join(work, "root")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    compiled = stage(src, root, project)
    if compiled != os.path.basename(output):
        die("%s compiles %r, the build expects %s" % (project, compiled, os.path.basename(output)))
    compile_chrooted(root, project)
    made = os.path.join(root, compiled)
    if not os.path.isfile(made) or os.path.getsize(made) == 0:
        die("chmcmd wrote no %s" % compiled)
    os.makedirs(os.path.dirname(output), exist_ok=True)
    shutil.copyfile(made, output + ".tmp")
    os.replace(output + ".tmp", output)


if __name__ == "__main__":
    main()
