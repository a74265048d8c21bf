#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that every source file tracked by git names its licence in an SPDX line near its top;
with --add, writes the line where it is missing, in the file's own comment style.

Usage: scripts/licence-headers.py [--add]   (exit 1 when a file lacks the line and --add is not given)
"""
import pathlib
import subprocess
import sys

TAG = "SPDX-License-Identifier: GPL-3.0-or-later"
# Comment style by file name ending; names matched whole come first.
STYLES = {
    "CMakeLists.txt": "# {}",
    "run": "# {}",
    ".cpp": "// {}",
    ".h": "// {}",
    ".js": "// {}",
    ".css": "/* {} */",
    ".html": "<!-- {} -->",
    ".sh": "# {}",
    ".py": "# {}",
    ".cmake": "# {}",
    ".lua": "-- {}",
}
# Lines that must stay first: an interpreter line, a document type.
KEEP_FIRST = ("#!", "<!DOCTYPE", "<!doctype")


def style_of(path):
    name = path.name
    if name in STYLES:
        return STYLES[name]
    return STYLES.get(path.suffix)


def main():
    add = sys.argv[1:] == ["--add"]
    top = pathlib.Path(__file__).resolve().parent.parent
    files = subprocess.run(["git", "ls-files", "-z"], cwd=top, check=True,
                           capture_output=True).stdout.decode().split("\0")
    missing = []
    for name in filter(None, files):
        path = top / name
        style = style_of(path)
        if style is None or name.startswith(("fuzz/corpus/", "tests/pages/node_modules/")):
            continue
        text = path.read_text(encoding="utf-8")
        if TAG in "\n".join(text.splitlines()[:3]):
            continue
        missing.append(name)
        if add:
            lines = text.splitlines(keepends=True)
            at = 1 if lines and lines[0].startswith(KEEP_FIRST) else 0
            lines.insert(at, style.format(TAG) + "\n")
            path.write_text("".join(lines), encoding="utf-8")
    for name in missing:
        print(("added to " if add else "no licence line: ") + name)
    return 0 if add or not missing else 1


if __name__ == "__main__":
    sys.exit(main())
