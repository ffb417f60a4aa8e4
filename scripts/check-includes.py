#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The house rules of src/, checked. Fails, naming every offence, when
- modules include each other in a cycle (a module is a header and its
  source, core/state is core/state.h and core/state.cpp; a shell source
  foo_gl.cpp or foo_sdl.cpp without a header of its own belongs to foo);
- a file outside src/audio includes an SDL, GL or ENet header without a name
  that says so (foo_sdl.cpp, foo_gl.cpp, foo_gl.h, foo_enet.cpp);
- an include crosses folders without a row in ALLOWED (the foundation
  headers aside, which include only each other), or two rows make a mutual
  pair that MUTUAL does not name (with --every-row-used, also when a row is
  needed by no include);
- a name is bound to a field of `game` outside core/state.cpp;
- two functions, or two types, share a name. Overloads side by side in one
  file count once, and a _silent file's bodies stand in for an interface's
  shell ones (they never link together), so they count apart;
- a header does not say its role in a comment right after #pragma once.
When all is well it prints the allow-list.
"""
import re
import sys
from collections import defaultdict
from pathlib import Path

ARGS = [a for a in sys.argv[1:] if a != "--every-row-used"]
SRC = Path(ARGS[0]) if ARGS else Path(__file__).resolve().parent.parent / "src"
# On the game's own tree every row must still be needed, so the list says
# what the house is and not what it was.
EVERY_ROW_USED = "--every-row-used" in sys.argv

FOUNDATION = {
    "core/vector.h", "core/clock.h", "core/input.h", "core/keys.h", "core/text.h", "core/random.h"
}
# The program's entry sits above every folder: it opens each part and runs the loops.
PROGRAM = {"core/entry", "core/loops", "core/main"}
MUTUAL = {
    ("core", "render"): "setup calls GL, and the keys tell the view interface",
    ("core", "sim"): "the record holds the rules' records",
    ("render", "sim"): "the update animates the figures",
}
ALLOWED = {
    ("program", "audio"): "the entry opens the mixer and pauses it with the game",
    ("program", "core"): "the loops run frames through core/frame over the record, the keys and the window",
    ("program", "net"): "the entry starts online play",
    ("program", "render"): "the entry draws each frame",
    ("program", "replay"): "the entry records and plays replays",
    ("program", "terrain"): "the entry seeds the terrain textures",
    ("core", "audio"): "keys ask for sounds and the volume; setup loads the sounds",
    ("core", "render"): "setup calls GL; the keys and a new match tell the view interface",
    ("core", "sim"): "the record holds the players, sparks, powerup and messages",
    ("core", "terrain"): "the record holds the grid and the terrain; setup builds mesh and texture",
    ("net", "audio"): "a tick played again to put a guess right makes no sound",
    ("net", "core"): "online play reads the record and hands inputs to the one frame entry",
    ("net", "render"): "a takeover or a tick played again tells the view what changed under it",
    ("net", "replay"): "the digest and the snapshot that keep both sides in step",
    ("net", "terrain"): "a match start sends the texture's seed and the terrain",
    ("render", "core"): "drawing reads the record; the HUD the frame rate",
    ("render", "sim"): "the figures and sparks are drawn from the players, powerup and particles",
    ("render", "terrain"): "the frame draws the terrain's mesh and texture over its grid",
    ("replay", "audio"): "a seek mutes the effects of the frames it plays through",
    ("replay", "render"): "a seek into another match tells the view its terrain",
    ("replay", "core"): "the player hands inputs to the one frame entry; the digest hashes the record",
    ("replay", "terrain"): "a replay names each match's terrain and texture seed",
    ("sim", "audio"): "the rules' sound cues",
    ("sim", "core"): "the rules read and write the record",
    ("sim", "render"): "the update animates the figures (render/model.h)",
    ("sim", "terrain"): "balls, sparks and the powerup stand on the height grid",
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SHELL_HEADER = re.compile(r'^\s*#\s*include\s+[<"](SDL|GL/|enet/)', re.M)
BINDING = re.compile(r"^(?!\s)[^\n;{}()=]*[&*]\s*(\w+)\s*=\s*&?game\.", re.M)
FUNCTION = re.compile(
    r"^(?!(?:return|else|case|namespace|struct|enum|class|using|typedef)\b)[A-Za-z_\[][\w:<>,\s*&\[\]]*?"
    r"[\s*&](\w+)\s*\((?:[^;{}()]|\([^;{}()]*\))*\)\s*(?:const\s*)?(?:noexcept\s*)?\{",
    re.M,
)
TYPE = re.compile(r"^\s*(?:enum(?:\s+class)?|struct|class|union)\s+(\w+)\s*(?::[^;{]*)?\{", re.M)
ROLE = re.compile(r"\A// SPDX-License-Identifier: .*\n#pragma once\n\s*// \S")


def module_of(path):
    name = path.relative_to(SRC).with_suffix("").as_posix()
    if path.suffix != ".h" and not path.with_suffix(".h").exists():
        name = re.sub(r"_(gl|sdl|enet)$", "", name)
    return name


def folder_of(path):
    return "program" if module_of(path) in PROGRAM else path.relative_to(SRC).parts[0]


faults = []
graph = {}
defined = defaultdict(set)  # (kind, name, silent?) -> files
used = set()  # the folder pairs some include crosses
for path in sorted(p for p in SRC.rglob("*") if p.suffix in (".h", ".cpp", ".c")):
    rel = path.relative_to(SRC).as_posix()
    text = path.read_text(encoding="utf-8")
    if path.parent.name != "audio" and SHELL_HEADER.search(text) and not re.search(r"_(gl|sdl|enet)$", path.stem):
        faults.append(f"{rel}: includes SDL, GL or ENet but its name does not say so")
    edges = graph.setdefault(module_of(path), set())
    for target in INCLUDE.findall(text):
        included = SRC / target
        if not included.exists():
            continue
        if module_of(included) != module_of(path):
            edges.add(module_of(included))
        if rel in FOUNDATION and target not in FOUNDATION:
            faults.append(f"{rel}: a foundation header includes {target}")
        pair = (folder_of(path), folder_of(included))
        if pair[0] != pair[1] and target not in FOUNDATION:
            used.add(pair)
            if pair not in ALLOWED:
                faults.append(f"{rel}: includes {target}, but {pair[0]} -> {pair[1]} is not on the list")
    if rel != "core/state.cpp":
        faults += [f"{rel}: binds {name} to game (only core/state.cpp may)" for name in BINDING.findall(text)]
    silent = path.stem.endswith("_silent")
    for kind, pattern in (("function", FUNCTION), ("type", TYPE)):
        for name in pattern.findall(text):
            defined[kind, name, silent].add(rel)
    if path.suffix == ".h" and not ROLE.match(text):
        faults.append(f"{rel}: no role comment after #pragma once")

for (kind, name, _), files in sorted(defined.items()):
    if len(files) > 1:
        faults.append(f"{kind} {name} is defined in {', '.join(sorted(files))}")
if EVERY_ROW_USED:
    faults += [f"{a} -> {b} is on the list, but nothing includes across it" for a, b in sorted(set(ALLOWED) - used)]
for a, b in sorted(ALLOWED):
    if a < b and (b, a) in ALLOWED and (a, b) not in MUTUAL:
        faults.append(f"the list lets {a} and {b} include each other")

# Depth-first search; a module met again while still on the path closes a cycle.
state = {}
stack = []


def visit(node):
    state[node] = "open"
    stack.append(node)
    for nxt in sorted(graph.get(node, ())):
        if state.get(nxt) == "open":
            return stack[stack.index(nxt):] + [nxt]
        if nxt not in state:
            cycle = visit(nxt)
            if cycle:
                return cycle
    stack.pop()
    state[node] = "done"
    return None


for module in sorted(graph):
    if module not in state:
        cycle = visit(module)
        if cycle:
            faults.append("include cycle: " + " -> ".join(cycle))
            break

if faults:
    print("\n".join(faults))
    sys.exit(1)
print("Cross-folder includes (program is " + ", ".join(sorted(PROGRAM)) + "; foundation headers aside: "
      + ", ".join(sorted(FOUNDATION)) + "):")
for (a, b), why in sorted(ALLOWED.items()):
    print(f"  {a + ' -> ' + b:19} {why}")
print("Mutual pairs:\n" + "".join(f"  {a + ' <-> ' + b:19} {why}\n" for (a, b), why in sorted(MUTUAL.items())), end="")
print(f"{len(graph)} modules, no include cycle, no binding to game outside core/state.cpp, "
      "no name defined twice, every header says its role")
