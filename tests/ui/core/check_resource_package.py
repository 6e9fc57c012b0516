#!/usr/bin/env python3
"""Checks the built resource package against the resource tree.

Usage: check_resource_package.py <resources.zip> <resources folder> [<exe>...]

The archive must hold every file of the folder, each as a deflated member
named "resources/<relative path>", and nothing else; each executable given
must carry the archive's bytes unchanged (a "ZIP" resource is stored raw).
"""
import os
import sys
import zipfile


def main():
    zip_path, tree, exes = sys.argv[1], sys.argv[2], sys.argv[3:]
    problems = []
    base = os.path.basename(os.path.normpath(tree))
    expected = sorted(
        base + "/" + os.path.relpath(os.path.join(folder, name), tree).replace(os.sep, "/")
        for folder, _, names in os.walk(tree) for name in names)
    with zipfile.ZipFile(zip_path) as archive:
        infos = archive.infolist()
        members = sorted(info.filename for info in infos)
        if members != expected:
            problems.append("members differ from the tree:\n  missing %s\n  extra %s" % (
                sorted(set(expected) - set(members)), sorted(set(members) - set(expected))))
        for info in infos:
            if info.compress_type != zipfile.ZIP_DEFLATED:
                problems.append("%s is not deflated (method %d)" % (info.filename, info.compress_type))
        bad = archive.testzip()
        if bad:
            problems.append("%s fails its checksum" % bad)
    with open(zip_path, "rb") as f:
        package = f.read()
    for exe in exes:
        with open(exe, "rb") as f:
            if package not in f.read():
                problems.append("%s does not carry %s" % (exe, zip_path))
    for problem in problems:
        print(problem)
    print("%d members checked, %d executables" % (len(expected), len(exes)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
