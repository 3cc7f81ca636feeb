#!/usr/bin/env python3
"""Checks that the source folders form layers: a folder includes only folders
below it. Prints every include that runs back up and exits 1 if there is one."""
import pathlib
import re
import sys

# Each folder with the folders it may include (besides itself).
ALLOWED = {
    "core": set(),
    "chips": {"core"},
    "buffers": {"core", "chips"},
    "link": {"core", "chips"},
    "maint": {"core", "chips", "buffers", "link"},
    "ops": {"core", "chips", "buffers", "link", "maint"},
    "production": {"core", "chips", "buffers", "link", "maint", "ops"},
    "hexview": set(),
}
TOP = {"app", "cli", "station"}  # and every */ui folder: may include anything but each other
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/', re.M)


def layer_of(path: pathlib.Path, src: pathlib.Path) -> str:
    parts = path.relative_to(src).parts
    return "ui" if "ui" in parts[1:-1] else parts[0]


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    src = root / "src"
    known = set(ALLOWED) | TOP
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        layer = layer_of(path, src)
        if layer not in known and layer != "ui":
            faults.append(f"{path.relative_to(root)}: folder '{layer}' has no place in the layers")
            continue
        for folder in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if folder not in known or folder == layer:
                continue
            if layer in ALLOWED and folder not in ALLOWED[layer]:
                faults.append(f"{path.relative_to(root)}: {layer} includes {folder}")
            elif layer in TOP | {"ui"} and folder in TOP and folder != layer:
                faults.append(f"{path.relative_to(root)}: {layer} includes {folder}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
