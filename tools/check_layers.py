#!/usr/bin/env python3
"""Refuses an include that reaches up the layers, and include circles.

Each library folder may include its own headers and those of the folders
below it, never one above.  Every quoted include is resolved to the file the
compiler would take: first beside the including file, then through the
include folders of that library (its own and those it links), in order.  An
include that does not resolve there but names a header of another project
folder is a violation, as is a relative path that lands in a folder above.

In the folders of NO_CIRCLES, a file (its .h and .cpp together) may not
reach itself through the headers it includes: each file there builds on
the ones below it.

Usage: check_layers.py [ROOT]     exit 0 clean, 1 violations found
"""
import os
import re
import sys

# Folder -> the folders it may include from (besides itself), lowest last.
LAYERS = {
    "toolkit/base": [],
    "toolkit/display": ["toolkit/base"],
    "toolkit/input": ["toolkit/display", "toolkit/base"],
    "toolkit/host": ["toolkit/input", "toolkit/display", "toolkit/base"],
    "engine": ["toolkit/base"],
    "catalog": ["toolkit/input", "toolkit/display", "toolkit/base"],
    "manager": ["engine", "catalog", "toolkit/input", "toolkit/display", "toolkit/base"],
    "cli": ["engine", "toolkit/base"],
    "app": ["manager", "toolkit/host", "engine", "catalog", "toolkit/input", "toolkit/display", "toolkit/base"],
    "tools/fontgen": ["toolkit/display", "toolkit/base"],
    "tools/bellgen": ["tools/fontgen", "toolkit/base"],
}

# Folders whose files include each other without a circle.
NO_CIRCLES = ["engine", "toolkit/host"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def owner(root, path):
    """The layer folder that holds path, or None."""
    rel = os.path.relpath(path, root)
    best = None
    for folder in LAYERS:
        if rel.startswith(folder + os.sep) and (best is None or len(folder) > len(best)):
            best = folder
    return best


def resolve(root, folders, source, name):
    """The real file a quoted include names, searched as the compiler does."""
    for base in [os.path.dirname(source)] + [os.path.join(root, f) for f in folders]:
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(candidate):
            return candidate
    return None


def check(root):
    problems = []
    every = list(LAYERS)
    for folder, below in LAYERS.items():
        allowed = [folder] + below
        top = os.path.join(root, folder)
        for dirpath, _, files in os.walk(top):
            for f in sorted(files):
                if not f.endswith((".cpp", ".h")):
                    continue
                source = os.path.join(dirpath, f)
                with open(source, encoding="utf-8", errors="replace") as handle:
                    text = handle.read()
                for name in INCLUDE.findall(text):
                    target = resolve(root, allowed, source, name)
                    layer = owner(root, target) if target else None
                    if target is None:
                        # Not reachable from here: is it a header of a folder above?
                        elsewhere = resolve(root, every, os.path.join(root, "-", "-"), name)
                        if elsewhere:
                            layer = owner(root, elsewhere)
                    if layer and layer not in allowed:
                        problems.append(f"{os.path.relpath(source, root)}: includes \"{name}\" "
                                        f"of {layer}, a layer above {folder}")
    return problems


def circles(root, folder):
    """The include circles among the files of one folder, each as a list of
    file names (without .h/.cpp) that ends where it starts."""
    top = os.path.join(root, folder)
    if not os.path.isdir(top):
        return []
    uses = {}
    for f in sorted(os.listdir(top)):
        stem, ext = os.path.splitext(f)
        if ext not in (".cpp", ".h"):
            continue
        with open(os.path.join(top, f), encoding="utf-8", errors="replace") as handle:
            for name in INCLUDE.findall(handle.read()):
                other = os.path.splitext(name)[0]
                if "/" not in name and other != stem and os.path.isfile(os.path.join(top, name)):
                    uses.setdefault(stem, set()).add(other)
    found, done = [], set()

    def walk(stem, path):
        if stem in path:
            found.append(path[path.index(stem):] + [stem])
            return
        if stem in done:
            return
        for other in sorted(uses.get(stem, ())):
            walk(other, path + [stem])
        done.add(stem)

    for stem in sorted(uses):
        walk(stem, [])
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    problems = check(root)
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} include(s) across the layers")
    rings = [(folder, ring) for folder in NO_CIRCLES for ring in circles(root, folder)]
    for folder, ring in rings:
        print(f"{folder}: include circle " + " -> ".join(ring))
    return 1 if problems or rings else 0


if __name__ == "__main__":
    sys.exit(main())
