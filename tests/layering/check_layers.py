#!/usr/bin/env python3
"""Fails when a subsystem includes a header of a subsystem above it.

The subsystems stack in this order; a lower one may include its own headers
and those of the ones below it, never those above.  A service a lower one
needs from above is declared in the lower one and defined by the higher one.

Usage: check_layers.py SRC_DIR   (prints every upward include, exit 1 if any)
"""
import os
import re
import sys

LAYERS = ["runtime", "files", "engine", "textures", "window", "ui", "wizard"]
RANK = {name: i for i, name in enumerate(LAYERS)}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')


def upward_includes(src):
    found = []
    for layer in LAYERS:
        top = os.path.join(src, layer)
        for root, _dirs, files in os.walk(top):
            for name in sorted(files):
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and RANK.get(m.group(1), -1) > RANK[layer]:
                            rel = os.path.relpath(path, src)
                            found.append(f"{rel}:{number}: {line.strip()}")
    return found


def main():
    if len(sys.argv) != 2 or not os.path.isdir(os.path.join(sys.argv[1], "runtime")):
        print("usage: check_layers.py SRC_DIR", file=sys.stderr)
        return 2
    found = upward_includes(sys.argv[1])
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) of a higher subsystem", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
