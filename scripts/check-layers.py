#!/usr/bin/env python3
"""Checks that the source folders form layers: a folder includes only folders
below it, and the simulator stays apart from the application. Every include is
resolved as the compiler would find it (the including file's folder first for
"…", then the include roots, for "…" and <…> alike), so relative ("../ops/…")
and angle-bracket includes count as well. Prints every include that breaks a
rule and exits 1 if there is one."""
import pathlib
import re
import sys

# The folders free of Qt widgets, in the order of their layers.
CORE = {"core", "chips", "buffers", "link", "maint", "ops", "production"}
WIDGETS = "*/ui"  # every src/<part>/ui folder

# Each folder of src/ with the folders it may include besides itself.
ALLOWED = {
    "core": set(),
    "chips": {"core"},
    "buffers": {"core", "chips"},
    "link": {"core", "chips"},
    "maint": {"core", "chips", "buffers", "link"},
    "ops": {"core", "chips", "buffers", "link", "maint"},
    "production": {"core", "chips", "buffers", "link", "maint", "ops"},
    "hexview": set(),
    # The front ends. Widget folders stay out of each other's way; only the
    # window brings them together. The command line and the station service
    # show no widgets.
    WIDGETS: CORE | {"hexview"},
    "app": CORE | {"hexview", WIDGETS},
    "cli": CORE,
    "station": CORE,
}

INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)', re.M)
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp")


class Tree:
    def __init__(self, root: pathlib.Path):
        self.root = root
        self.src = root / "src"
        self.sim = root / "sim"
        # The only part of the simulator the application may include.
        self.control = self.sim / "include"
        self.roots = [self.src, self.control, self.sim]

    def resolve(self, including: pathlib.Path, name: str, quoted: bool):
        """The file an include names, or None for one outside the project
        (a system or generated header)."""
        candidates = [including.parent / name] if quoted else []
        candidates += [root / name for root in self.roots]
        for candidate in candidates:
            if candidate.is_file():
                return pathlib.Path(*resolved_parts(candidate))
        # A path that climbs out of its folder is taken as written even when
        # nothing is there yet: where it points is the fault.
        if quoted and ".." in pathlib.PurePath(name).parts:
            return pathlib.Path(*resolved_parts(including.parent / name))
        return None

    def folder_of(self, path: pathlib.Path) -> str:
        """The folder of src/ a file belongs to: its top folder, or its
        widget folder ("chips/ui")."""
        parts = path.relative_to(self.src).parts
        if len(parts) > 2 and parts[1] == "ui":
            return f"{parts[0]}/ui"
        return parts[0] if len(parts) > 1 else ""

    def shown(self, path: pathlib.Path) -> str:
        return str(path.relative_to(self.root)) if inside(path, self.root) else str(path)


def layer_of(folder: str) -> str:
    return WIDGETS if folder.endswith("/ui") else folder


def resolved_parts(path: pathlib.Path):
    """The path with '.' and '..' taken out, without following links."""
    parts = []
    for part in path.parts:
        if part == "..":
            if len(parts) > 1:
                parts.pop()
        elif part != ".":
            parts.append(part)
    return parts


def inside(path: pathlib.Path, folder: pathlib.Path) -> bool:
    return path == folder or folder in path.parents


def application_fault(tree: Tree, path: pathlib.Path, target: pathlib.Path):
    if inside(target, tree.control):
        return None
    if inside(target, tree.sim):
        return f"src includes the simulator's own {tree.shown(target)}"
    if not inside(target, tree.src):
        return f"src includes {tree.shown(target)}"
    folder, wanted = tree.folder_of(path), tree.folder_of(target)
    if wanted == folder or layer_of(wanted) in ALLOWED[layer_of(folder)]:
        return None
    return f"{folder} includes {wanted}"


def simulator_fault(tree: Tree, target: pathlib.Path):
    if inside(target, tree.sim):
        return None
    return f"sim includes {tree.shown(target)}"


def sources(folder: pathlib.Path):
    return (path for path in sorted(folder.rglob("*")) if path.suffix in SOURCE_SUFFIXES and path.is_file())


def check(root: pathlib.Path):
    tree = Tree(root)
    faults = []
    for path in sources(tree.src):
        folder = tree.folder_of(path)
        if layer_of(folder) not in ALLOWED:
            faults.append(f"{tree.shown(path)}: folder '{folder}' has no place in the layers")
            continue
        faults += includes_faults(tree, path, lambda target, path=path: application_fault(tree, path, target))
    for path in sources(tree.sim):
        faults += includes_faults(tree, path, lambda target: simulator_fault(tree, target))
    return faults


def includes_faults(tree: Tree, path: pathlib.Path, fault_of):
    faults = []
    for quoted, angled in INCLUDE.findall(path.read_text(encoding="utf-8")):
        target = tree.resolve(path, quoted or angled, bool(quoted))
        if target is None:
            continue
        fault = fault_of(target)
        if fault:
            faults.append(f"{tree.shown(path)}: {fault}")
    return faults


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = check(root)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
