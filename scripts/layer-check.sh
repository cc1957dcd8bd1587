#!/usr/bin/env python3
# Checks every `#include "folder/..."` of src/ and tools/ against the table of layers in docs/ARCHITECTURE.md:
# a folder may include itself, the folders of lower layers, and the folders of its own layer that its row names
# under "also uses". Prints each include that breaks the rule as file:line and exits 1.
#
# Usage: scripts/layer-check.sh [source-root]   (the root holding docs/, src/ and tools/; default: this checkout)
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
TABLE_FILE = os.path.join(ROOT, "docs", "ARCHITECTURE.md")
# Where quoted includes are looked up, in this order (the include folders the CMake files give).
INCLUDE_ROOTS = ("src", "tools")
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def fail(message):
    print(f"layer-check: {message}", file=sys.stderr)
    sys.exit(2)


def read_table():
    """Returns {folder: (layer, set of same-layer folders it may use)} from the table under '## Layers'."""
    try:
        with open(TABLE_FILE, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError as e:
        fail(f"cannot read {TABLE_FILE}: {e.strerror}")
    try:
        start = lines.index("## Layers")
    except ValueError:
        fail(f"{TABLE_FILE} has no '## Layers' section")
    header = None
    layers = {}
    for line in lines[start + 1:]:
        if line.startswith("## "):
            break
        if not line.startswith("|"):
            if layers:
                break
            continue
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if header is None:
            header = [c.lower() for c in cells]
            continue
        if set(line) <= set("|-: "):
            continue
        row = dict(zip(header, cells))
        try:
            layer = int(row["layer"])
        except (KeyError, ValueError):
            fail(f"a row of the table of layers has no layer number: {line}")
        folders = re.findall(r"`([^`]+)`", row.get("folder", ""))
        also = set(re.findall(r"`([^`]+)`", row.get("also uses", "")))
        if not folders:
            fail(f"a row of the table of layers names no folder: {line}")
        for folder in folders:
            layers[folder.rstrip("/")] = (layer, also)
    if not layers:
        fail(f"no table of layers found under '## Layers' in {TABLE_FILE}")
    return layers


def folder_of(path, layers):
    """The table's folder holding path (a path relative to ROOT): the longest match. A row `tools/*` makes each
    folder directly under tools/ a folder of its own."""
    best = None
    for folder in layers:
        if folder.endswith("/*"):
            parent = folder[:-2] + "/"
            if path.startswith(parent) and "/" in path[len(parent):]:
                candidate = parent + path[len(parent):].split("/")[0]
                key = folder
            else:
                continue
        elif path == folder or path.startswith(folder + "/"):
            candidate, key = folder, folder
        else:
            continue
        if best is None or len(candidate) > len(best[0]):
            best = (candidate, key)
    return best


def resolve(include):
    for base in INCLUDE_ROOTS:
        candidate = f"{base}/{include}"
        if os.path.isfile(os.path.join(ROOT, candidate)):
            return candidate
    return None


def source_files():
    for base in INCLUDE_ROOTS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(ROOT, base)):
            dirnames.sort()
            for name in sorted(filenames):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(dirpath, name), ROOT)


def main():
    layers = read_table()
    problems = []
    for path in source_files():
        own = folder_of(path, layers)
        if own is None:
            problems.append(f"{path}: its folder is not in the table of layers of docs/ARCHITECTURE.md")
            continue
        own_folder, own_key = own
        own_layer, own_also = layers[own_key]
        with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m or "/" not in m.group(1):
                    continue
                target_path = resolve(m.group(1))
                if target_path is None:
                    continue  # not one of ours (a generated or third-party header)
                target = folder_of(target_path, layers)
                if target is None:
                    problems.append(f"{path}:{number}: includes {target_path}, whose folder is not in the table")
                    continue
                target_folder, target_key = target
                target_layer, _ = layers[target_key]
                if target_folder == own_folder or target_layer < own_layer or target_folder in own_also:
                    continue
                where = "a higher layer" if target_layer > own_layer else "its own layer without saying so"
                problems.append(f'{path}:{number}: #include "{m.group(1)}": {own_folder} (layer {own_layer}) uses '
                                f"{target_folder} (layer {target_layer}), {where}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"layer-check: {len(problems)} include(s) break the table of layers in docs/ARCHITECTURE.md",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
