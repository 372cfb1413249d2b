#!/usr/bin/env python3
"""Builds the help file Varnolet.chm from the UTF-8 sources of this folder.

    make_help.py SOURCE_DIR STAGING_DIR OUTPUT_CHM CHMCMD

The sources are kept in UTF-8 so they read and diff like the rest of the repository. The help
viewer reads the contents, the index and the pages in the code page of the help file's language
(Japanese: Shift-JIS), so every text file is written to STAGING_DIR in Shift-JIS, its charset
declaration with it, and the compiler runs there. Before that the sources are checked: a page
listed nowhere, a contents or index entry without its page, or a link to nothing stops the build.
"""
import html.parser
import os
import re
import shutil
import subprocess
import sys

PROJECT = "Varnolet.hhp"
TEXT_SUFFIXES = (".hhp", ".hhc", ".hhk", ".htm", ".css")
UTF8_DECLARATION = "charset=UTF-8"
SJIS_DECLARATION = "charset=Shift_JIS"


def fail(message):
    sys.stderr.write("make_help: %s\n" % message)
    sys.exit(1)


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def project_files(project_text):
    """The [FILES] section and the contents and index file names of the project."""
    files, options, section = [], {}, None
    for raw in project_text.splitlines():
        line = raw.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].upper()
        elif section == "FILES":
            files.append(line)
        elif section == "OPTIONS" and "=" in line:
            key, value = line.split("=", 1)
            options[key.strip().lower()] = value.strip()
    return files, options


class Links(html.parser.HTMLParser):
    """The targets a page or sitemap points at, and the anchors it defines."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.targets, self.anchors = [], set()

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag in ("a", "link") and a.get("href"):
            self.targets.append(a["href"])
        if tag == "param" and (a.get("name") or "").lower() == "local":
            self.targets.append(a.get("value") or "")
        for key in ("id", "name"):
            if tag != "param" and a.get(key):
                self.anchors.add(a[key])


def parse(text):
    p = Links()
    p.feed(text)
    p.close()
    return p


def check(source_dir):
    project_text = read_text(os.path.join(source_dir, PROJECT))
    files, options = project_files(project_text)
    contents = options.get("contents file")
    index = options.get("index file")
    if not contents or not index:
        fail("%s names no contents or no index file" % PROJECT)
    listed = set(files)
    pages = sorted(f for f in os.listdir(source_dir) if f.endswith(".htm"))
    for page in pages:
        if page not in listed:
            fail("%s is not listed in [FILES] of %s" % (page, PROJECT))
    for name in files + [contents, index]:
        if not os.path.isfile(os.path.join(source_dir, name)):
            fail("%s is listed in %s but missing" % (name, PROJECT))

    parsed = {name: parse(read_text(os.path.join(source_dir, name)))
              for name in files + [contents, index] if name.endswith((".htm", ".hhc", ".hhk"))}
    for name, p in parsed.items():
        for target in p.targets:
            if re.match(r"^[a-z]+:", target):
                continue  # web addresses and the like leave the help file
            path, _, anchor = target.partition("#")
            path = path or name
            if path not in listed:
                fail("%s points at %s, which is not in the help file" % (name, target))
            if anchor and anchor not in parsed[path].anchors:
                fail("%s points at %s, which has no anchor %s" % (name, path, anchor))
    in_contents = set(t.partition("#")[0] for t in parsed[contents].targets)
    for page in pages:
        if page not in in_contents:
            fail("%s is not in the contents %s" % (page, contents))
    return files + [PROJECT, contents, index]


def stage(source_dir, staging_dir, names):
    if os.path.isdir(staging_dir):
        shutil.rmtree(staging_dir)
    os.makedirs(staging_dir)
    for name in names:
        source = os.path.join(source_dir, name)
        target = os.path.join(staging_dir, name)
        if not name.endswith(TEXT_SUFFIXES):
            shutil.copyfile(source, target)
            continue
        text = read_text(source)
        if name.endswith((".htm", ".hhc", ".hhk")):
            if UTF8_DECLARATION not in text:
                fail("%s declares no %s" % (name, UTF8_DECLARATION))
            text = text.replace(UTF8_DECLARATION, SJIS_DECLARATION)
        try:
            data = text.encode("cp932")
        except UnicodeEncodeError as e:
            fail("%s: %r has no Shift-JIS form" % (name, e.object[e.start:e.end]))
        # The viewer of the platform expects CR LF line ends.
        data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        with open(target, "wb") as f:
            f.write(data)


def main():
    if len(sys.argv) != 5:
        fail("usage: make_help.py SOURCE_DIR STAGING_DIR OUTPUT_CHM CHMCMD")
    source_dir, staging_dir, output, chmcmd = sys.argv[1:]
    names = check(source_dir)
    stage(source_dir, staging_dir, names)
    _, options = project_files(read_text(os.path.join(source_dir, PROJECT)))
    compiled = os.path.join(staging_dir, options.get("compiled file", "Varnolet.chm"))
    run = subprocess.run([chmcmd, "--no-html-scan", PROJECT], cwd=staging_dir,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if run.returncode != 0 or not os.path.isfile(compiled):
        sys.stderr.write(run.stdout.decode("utf-8", "replace"))
        fail("%s did not compile %s" % (chmcmd, PROJECT))
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    partial = output + ".part"
    shutil.copyfile(compiled, partial)
    os.replace(partial, output)


if __name__ == "__main__":
    main()
