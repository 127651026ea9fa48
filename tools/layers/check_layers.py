#!/usr/bin/env python3
"""Folder graph of a source tree and its include cycles.

Every line `#include "folder/..."` in a file under SRC/<dir>/ is an edge
<dir> -> folder (includes inside the same folder are not edges). Prints the
graph, one folder a line ("app -> (none)", "config -> app records"), and exits
1 after printing a cycle ("cycle: a -> b -> a", with the files that make each
edge) when there is one; 0 otherwise; 2 on a bad argument.

With --allowed FILE (lines "folder dep dep ...", the folders each folder's
library links), an include of a folder that the including folder does not
link, directly or through its dependencies, fails as well ("upward: a -> b").

Usage: check_layers.py SRC [--allowed FILE]
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".cc", ".inc")


def folder_graph(src):
    """{folder: {included folder: [files that include it]}} for the folders of src."""
    graph = {}
    for name in sorted(os.listdir(src)):
        top = os.path.join(src, name)
        if not os.path.isdir(top):
            continue
        edges = graph.setdefault(name, {})
        for root, _dirs, files in os.walk(top):
            for f in sorted(files):
                if not f.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.join(root, f)
                with open(path, encoding="utf-8", errors="replace") as text:
                    for line in text:
                        m = INCLUDE.match(line)
                        if m and m.group(1) != name:
                            edges.setdefault(m.group(1), []).append(os.path.relpath(path, src))
    return graph


def find_cycle(graph):
    """One cycle as a list of folders (first == last), or None."""
    state = {}  # 1: on the current path, 2: done
    path = []

    def visit(node):
        state[node] = 1
        path.append(node)
        for nxt in sorted(graph.get(node, {})):
            if state.get(nxt) == 1:
                return path[path.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        path.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def read_allowed(path):
    """{folder: set of folders it may include} from the lines of `path`, closed
    over the dependencies."""
    direct = {}
    with open(path, encoding="utf-8") as text:
        for line in text:
            words = line.split()
            if words:
                direct[words[0]] = set(words[1:])
    allowed = {}
    for folder in direct:
        seen, todo = set(), list(direct[folder])
        while todo:
            dep = todo.pop()
            if dep not in seen:
                seen.add(dep)
                todo.extend(direct.get(dep, ()))
        allowed[folder] = seen
    return allowed


def upward_includes(graph, allowed):
    """[(folder, included folder, files)] for includes the folder does not link."""
    found = []
    for folder in sorted(graph):
        if folder not in allowed:
            continue
        for dep in sorted(graph[folder]):
            if dep not in allowed[folder]:
                found.append((folder, dep, graph[folder][dep]))
    return found


def main(argv):
    allowed_file = None
    if len(argv) == 4 and argv[2] == "--allowed":
        allowed_file = argv[3]
        argv = argv[:2]
    if len(argv) != 2 or not os.path.isdir(argv[1]):
        print("usage: check_layers.py SRC [--allowed FILE]", file=sys.stderr)
        return 2
    graph = folder_graph(argv[1])
    for folder in sorted(graph):
        targets = " ".join(sorted(graph[folder])) or "(none)"
        print(f"{folder} -> {targets}")
    cycle = find_cycle(graph)
    if cycle:
        print("cycle: " + " -> ".join(cycle))
        for a, b in zip(cycle, cycle[1:]):
            print(f"  {a} -> {b}: " + ", ".join(graph[a][b]))
        return 1
    print("no cycle between the folders")
    if allowed_file:
        upward = upward_includes(graph, read_allowed(allowed_file))
        for folder, dep, files in upward:
            print(f"upward: {folder} -> {dep}: " + ", ".join(files))
        if upward:
            return 1
        print("every include follows the libraries")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
