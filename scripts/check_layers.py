#!/usr/bin/env python3
"""Fails when a file under src/ includes a header of a layer it may not see.

    check_layers.py [SRC_DIR]          (default: the src/ next to this script's folder)

The layers and what each may include are written once, in LAYERS below, lowest first.
A file belongs to the layer whose folder is the longest prefix of its path under src/;
it may include headers of its own layer and of every layer below it (transitively),
nothing else of the project: not a higher layer, not a sibling (the Paradox reader and
the Jet engine know nothing of each other), and no test code. System and library
headers (<...>) are not looked at. Prints one line per offending include and exits 1.
"""

import os
import re
import sys

# (layer, the layers directly below it). A layer sees those and everything they see.
LAYERS = [
    ("db/io", []),                                    # the one I/O seam
    ("db/paradox", ["db/io"]),                        # the Paradox table reader and writer
    ("db/jet/base", ["db/io"]),                       # byte order, Jet's text encodings
    ("db/jet/file", ["db/jet/base", "db/io"]),        # page 0, pager, journal, lock file, ciphers
    ("db/jet/collation", ["db/jet/base"]),            # the sort orders of indexed text
    ("db/jet/storage", ["db/jet/file", "db/jet/collation"]),  # pages, rows, definitions, maps, keys
    ("db/jet", ["db/jet/storage"]),                   # the engine; database.h is its public face
    ("db/sql", ["db/jet"]),                           # the Access-SQL front end
    ("db/ado", ["db/sql", "db/paradox"]),             # connections, recordsets, the drivers
    ("shell", ["db/ado"]),                            # messages, settings, the error report
    ("engine", ["shell"]),                            # the conversion run
    ("ui", ["engine"]),                               # the windows
    ("app/cli", ["engine"]),                          # quorvane-cli
    ("app/gui", ["ui"]),                              # quorvane
    ("app/samples", ["db/jet", "db/paradox"]),        # the sample tables and database
]

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")


def visible_layers():
    """Each layer's own name plus every layer below it."""
    below = dict(LAYERS)
    seen = {}
    for name, _ in LAYERS:  # lowest first, so the layers below are done already
        reach = {name}
        for lower in below[name]:
            if lower not in seen:
                raise SystemExit(f"check_layers.py: layer {name} lists {lower}, which is not below it in LAYERS")
            reach |= seen[lower]
        seen[name] = reach
    return seen


def layer_of(path):
    """The layer of a path relative to src/ (longest folder prefix), or None."""
    best = None
    for name, _ in LAYERS:
        if path == name or path.startswith(name + "/"):
            if best is None or len(name) > len(best):
                best = name
    return best


def check(src_dir):
    visible = visible_layers()
    problems = []
    for root, _, files in os.walk(src_dir):
        for file in sorted(files):
            if not file.endswith(SOURCE_SUFFIXES):
                continue
            full = os.path.join(root, file)
            rel = os.path.relpath(full, src_dir).replace(os.sep, "/")
            own = layer_of(os.path.dirname(rel))
            if own is None:
                problems.append(f"{rel}: the file is in no layer (add its folder to LAYERS in scripts/check_layers.py)")
                continue
            with open(full, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    header = m.group(1)
                    if "/" not in header:
                        continue  # a header beside the file (moc output and the like)
                    target = layer_of(os.path.dirname(header))
                    if target is None:
                        problems.append(f"{rel}:{number}: includes \"{header}\", which is no header of the program")
                    elif target not in visible[own]:
                        problems.append(f"{rel}:{number}: {own} includes \"{header}\" of {target}, which it may not see")
    return problems


def main(argv):
    src_dir = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    problems = check(src_dir)
    for p in problems:
        print(p, file=sys.stderr)
    if problems:
        print(f"check_layers.py: {len(problems)} include(s) against the layers; "
              "see LAYERS in scripts/check_layers.py for the order", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
