#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when the modules under src/ include each other in a cycle, or when a
file outside src/audio includes an SDL, GL or ENet header without a name
that says so (foo_sdl.cpp, foo_gl.cpp, foo_gl.h, foo_enet.cpp).

A module is a header and its source, named by the path without extension
(core/state is core/state.h and core/state.cpp). A shell source named
foo_gl.cpp or foo_sdl.cpp without a header of its own belongs to module foo.
Each #include "..." that names a file under src/ is an edge from the
including module to the included one.
"""
import re
import sys
from pathlib import Path

SRC = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "src"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SHELL_HEADER = re.compile(r'^\s*#\s*include\s+[<"](SDL|GL/|enet/)', re.M)


def module_of(path):
    rel = path.relative_to(SRC).with_suffix("")
    name = rel.as_posix()
    if path.suffix != ".h" and not path.with_suffix(".h").exists():
        name = re.sub(r"_(gl|sdl|enet)$", "", name)
    return name


graph = {}
misnamed = []
for path in sorted(SRC.rglob("*")):
    if path.suffix not in (".h", ".cpp", ".c"):
        continue
    if (path.parent.name != "audio" and SHELL_HEADER.search(path.read_text(encoding="utf-8"))
            and not re.search(r"_(gl|sdl|enet)$", path.stem)):
        misnamed.append(path.relative_to(SRC).as_posix())
    edges = graph.setdefault(module_of(path), set())
    for target in INCLUDE.findall(path.read_text(encoding="utf-8")):
        included = SRC / target
        if included.exists() and module_of(included) != module_of(path):
            edges.add(module_of(included))

if misnamed:
    print("includes SDL, GL or ENet but its name does not say so: " + ", ".join(misnamed))
    sys.exit(1)

# Depth-first search; a module met again while still on the path closes a cycle.
state = {}
path = []


def visit(node):
    state[node] = "open"
    path.append(node)
    for nxt in sorted(graph.get(node, ())):
        if state.get(nxt) == "open":
            return path[path.index(nxt):] + [nxt]
        if nxt not in state:
            cycle = visit(nxt)
            if cycle:
                return cycle
    path.pop()
    state[node] = "done"
    return None


for module in sorted(graph):
    if module not in state:
        cycle = visit(module)
        if cycle:
            print("include cycle: " + " -> ".join(cycle))
            sys.exit(1)
print(f"{len(graph)} modules, no include cycle")
