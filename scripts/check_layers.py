#!/usr/bin/env python3
"""Fails when an include points up a floor, when includes form a circle, or when pure code
includes Qt.

The folders of src/ are floors, bottom to top. A file includes from its own folder and the
floors below it. tests/<floor>/ follows the same rule as src/<floor>/; tests/support serves
every floor. A pure file (anything but frm_* and *_qt) includes no Qt header.
Usage: scripts/check_layers.py [ROOT]
"""
import os
import re
import sys

FLOORS = ["base", "text", "encoding", "tables", "extract", "settings", "app"]
RANK = {name: i for i, name in enumerate(FLOORS)}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r"^Q[A-Za-z]|^Qt[A-Za-z]*/")
SOURCE = (".cpp", ".h")
# Knots still being untied: (file, include) pairs allowed to point up. The list only shrinks.
KNOWN_KNOTS = set()


def is_qt_file(name):
    stem = os.path.splitext(os.path.basename(name))[0]
    return stem.startswith("frm_") or stem.endswith("_qt")


def files_under(root, top):
    for folder, _, names in os.walk(os.path.join(root, top)):
        for name in sorted(names):
            if name.endswith(SOURCE):
                path = os.path.join(folder, name)
                yield os.path.relpath(path, root)


def floor_of(path):
    """The floor a file of src/<floor>/ or tests/<floor>/ stands on, or None."""
    parts = path.split(os.sep)
    if len(parts) >= 3 and parts[0] in ("src", "tests") and parts[1] in RANK:
        return parts[1]
    return None


def resolve(root, path, quoted):
    """The repository path a quoted include names, or None when it is not ours."""
    for base in (os.path.dirname(path), "src", "tests"):
        candidate = os.path.normpath(os.path.join(base, quoted))
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def find_circle(graph):
    state = {}
    stack = []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for nxt in graph.get(node, ()):
            if state.get(nxt) == 1:
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    faults = []
    graph = {}
    for path in list(files_under(root, "src")) + list(files_under(root, "tests")):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        here = floor_of(path)
        for kind, name in INCLUDE.findall(text):
            if kind == "<":
                if path.startswith("src" + os.sep) and not is_qt_file(path) and QT_HEADER.match(name):
                    faults.append(f"{path}: pure code includes the Qt header <{name}>")
                continue
            target = resolve(root, path, name)
            if target is None:
                continue
            graph.setdefault(path, set()).add(target)
            there = floor_of(target)
            if target.startswith("src" + os.sep) and there is None:
                faults.append(f"{path}: includes {name}, which stands on no floor")
            elif here and there and RANK[there] > RANK[here] and (path, name) not in KNOWN_KNOTS:
                faults.append(f"{path}: includes {name}, which points up from {here} to {there}")
    circle = find_circle(graph)
    if circle:
        faults.append("includes form a circle: " + " -> ".join(circle))
    for fault in faults:
        print(fault)
    if faults:
        print(f"FAILED: {len(faults)} include fault(s); floors bottom to top: {' -> '.join(FLOORS)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
