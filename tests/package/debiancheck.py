#!/usr/bin/env python3
"""Quick checks of the Debian source package, without building it.

  debiancheck.py control SOURCE_DIR     debian/control, changelog and rules against the build
  debiancheck.py copyright SOURCE_DIR   debian/copyright against the test data and fuzz corpus
"""
import csv
import fnmatch
import glob
import os
import re
import sys

FAILURES = []


def fail(message):
    FAILURES.append(message)
    print("FAIL: " + message)


def paragraphs(path):
    """The paragraphs of a deb822 file, as dictionaries of field to value (lines joined)."""
    result = []
    with open(path, encoding="utf-8") as stream:
        text = stream.read()
    for block in re.split(r"\n\s*\n", text):
        fields = {}
        name = None
        for line in block.splitlines():
            if line.startswith("#"):
                continue
            if line[:1] in (" ", "\t") and name:
                fields[name] += "\n" + line.strip()
            elif ":" in line:
                name, value = line.split(":", 1)
                fields[name] = value.strip()
        if fields:
            result.append(fields)
    return result


def names(relation):
    """The package names of a relation field, without versions or architectures."""
    return [re.split(r"[\s(\[]", part.strip())[0] for part in re.split(r"[,|]", relation)
            if part.strip() and not part.strip().startswith("$")]


def check_control(source):
    control = paragraphs(os.path.join(source, "debian/control"))
    packages = {p["Package"]: p for p in control[1:]}
    head = control[0]
    if sorted(packages) != ["feedquill", "feedquill-gtk"]:
        fail("the binary packages are %s" % sorted(packages))
    for field, value in (("Source", "feedquill"), ("Section", "mail"),
                         ("Rules-Requires-Root", "no")):
        if head.get(field) != value:
            fail("Source paragraph: %s is %r, not %r" % (field, head.get(field), value))
    if "debhelper-compat (= 13)" not in head.get("Build-Depends", ""):
        fail("Build-Depends lacks debhelper-compat (= 13)")

    # Every library and tool the build looks for, by the package that has it on Debian 12.
    build_depends = names(head.get("Build-Depends", ""))
    with open(os.path.join(source, "CMakeLists.txt"), encoding="utf-8") as stream:
        cmake = stream.read()
    with open(os.path.join(source, "cmake/install.cmake"), encoding="utf-8") as stream:
        cmake += stream.read()
    found = {
        r"find_package\(wxWidgets": "libwxgtk3.2-dev",
        r"find_package\(CURL": "libcurl4-openssl-dev",
        r"find_package\(EXPAT": "libexpat1-dev",
        r"find_program\(FEEDQUILL_MSGFMT": "gettext",
        r"cmake_minimum_required": "cmake",
    }
    for pattern, package in found.items():
        if re.search(pattern, cmake) and package not in build_depends:
            fail("Build-Depends lacks %s (the build uses it: %s)" % (package, pattern))

    for package, field, wanted in (("feedquill", "Recommends", "ca-certificates"),
                                   ("feedquill-gtk", "Recommends", "xdg-utils"),
                                   ("feedquill-gtk", "Suggests", "wx3.2-i18n")):
        if wanted not in names(packages.get(package, {}).get(field, "")):
            fail("%s: %s lacks %s" % (package, field, wanted))
    if "feedquill (= ${binary:Version})" not in packages.get("feedquill-gtk", {}).get(
            "Depends", ""):
        fail("feedquill-gtk does not depend on feedquill of the same version")

    # The changelog's version is the program's, with a Debian revision.
    with open(os.path.join(source, "debian/changelog"), encoding="utf-8") as stream:
        first = stream.readline()
    match = re.match(r"feedquill \(([^)-]+)-(\d+)\) ", first)
    version = re.search(r"project\(feedquill VERSION ([0-9.]+)", cmake)
    if not match or not version or match.group(1) != version.group(1):
        fail("debian/changelog's version (%s) is not the program's (%s) with a revision"
             % (first.strip(), version and version.group(1)))

    with open(os.path.join(source, "debian/rules"), encoding="utf-8") as stream:
        rules = stream.read()
    if "-DFEEDQUILL_UPDATE_CHECK=OFF" not in rules:
        fail("debian/rules leaves the update check on")
    if "--buildsystem=cmake" not in rules:
        fail("debian/rules does not use dh's CMake build system")


def check_copyright(source):
    copyright_file = os.path.join(source, "debian/copyright")
    parsed = paragraphs(copyright_file)
    files = [p for p in parsed if "Files" in p]
    licences = {p["License"].split("\n")[0] for p in parsed if "Files" not in p
                and "License" in p}

    tree = []
    for top in ("tests/data", "fuzz/corpus"):
        for folder, _, entries in os.walk(os.path.join(source, top)):
            for entry in entries:
                tree.append(os.path.relpath(os.path.join(folder, entry), source))
    if len(tree) < 100:
        fail("only %d files in tests/data and fuzz/corpus" % len(tree))

    def governing(path):
        # The last paragraph whose pattern matches is the one that applies.
        found = None
        for paragraph in files:
            if any(fnmatch.fnmatchcase(path, pattern)
                   for pattern in paragraph["Files"].split()):
                found = paragraph
        return found

    for paragraph in files:
        for pattern in paragraph["Files"].split():
            if pattern != "*" and not glob.glob(os.path.join(source, pattern)):
                fail("debian/copyright names %s, which matches no file" % pattern)
        for name in re.split(r"\s+(?:and|or)\s+", paragraph["License"].split("\n")[0]):
            if name not in licences:
                fail("the licence %s has no text in debian/copyright" % name)

    # Text that is not free to pass on.
    marks = re.compile(rb"personal use only|all rights reserved|creativecommons\.org/licenses/"
                       rb"by-nc|noncommercial", re.IGNORECASE)
    for path in tree:
        with open(os.path.join(source, path), "rb") as stream:
            if marks.search(stream.read()):
                fail("%s holds text that may not be passed on" % path)

    with open(os.path.join(source, "tests/data/feeds/SOURCES.tsv"), encoding="utf-8") as stream:
        copied = {row["file"]: row["repo"] for row in csv.DictReader(stream, delimiter="\t")}
    for path in tree:
        paragraph = governing(path)
        if paragraph is None:
            fail("%s is not covered by debian/copyright" % path)
            continue
        name = os.path.basename(path)
        if path.startswith("tests/data/feeds/") and name in copied:
            if "github.com/" + copied[name] not in paragraph.get("Comment", ""):
                fail("%s comes from %s, which its paragraph does not name"
                     % (path, copied[name]))
        elif path.startswith("tests/data/") and paragraph["Files"] != "*":
            fail("%s, written for Feedquill, falls under %s" % (path, paragraph["Files"]))
    for name in copied:
        if "tests/data/feeds/" + name not in tree:
            fail("SOURCES.tsv lists %s, which is not there" % name)


def main():
    kind, source = sys.argv[1], sys.argv[2]
    {"control": check_control, "copyright": check_copyright}[kind](source)
    if FAILURES:
        return 1
    print("OK: " + kind)
    return 0


if __name__ == "__main__":
    sys.exit(main())
