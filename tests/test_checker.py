#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The house checkers on a tree of a few files: the clean tree passes, and
# each fault planted in it alone is named.
import subprocess
import sys
import tempfile
from pathlib import Path

SCRIPTS = Path(sys.argv[1])
HEAD = "// SPDX-License-Identifier: GPL-3.0-or-later\n#pragma once\n\n"
CLEAN = {
    "src/core/state.h": HEAD + "// The record.\nstruct GameState {\n    int x;\n};\nextern GameState game;\n",
    "src/core/state.cpp": '#include "core/state.h"\nGameState game;\nint &x = game.x;\n',
    "src/sim/update.h": HEAD + "// The frame.\nvoid update();\n",
    "src/sim/update.cpp": '#include "sim/update.h"\n#include "core/state.h"\nvoid update()\n{\n}\n',
    "tests/unit/test_here.cpp": "TEST(Here, Is)\n{\n}\n",
    "README.md": "`test_here.cpp`: Here.Is\n",
}
FAULTS = [
    ("terrain -> sim is not on the list", {"src/terrain/grid.cpp": '#include "sim/update.h"\n'}),
    ("binds y to game", {"src/sim/bot.cpp": '#include "core/state.h"\nint *y = &game.x;\n'}),
    ("function update is defined in", {"src/sim/bot.cpp": "namespace\n{\nvoid update(int) {}\n}\n"}),
    ("type GameState is defined in", {"src/sim/bot.cpp": "enum class GameState { A };\n"}),
    ("sim/update.h: no role comment", {"src/sim/update.h": HEAD + "void update();\n"}),
    ("README.md: Gone.Test", {"README.md": "Gone.Test\n"}),
    ("README.md: test_gone.sh", {"README.md": "`test_gone.sh`\n"}),
]


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            (Path(root) / name).parent.mkdir(parents=True, exist_ok=True)
            (Path(root) / name).write_text(text)
        results = [subprocess.run([sys.executable, SCRIPTS / script, arg], capture_output=True, text=True)
                   for script, arg in (("check-includes.py", f"{root}/src"), ("check-docs.py", root))]
    return max(r.returncode for r in results), "".join(r.stdout for r in results)


failed = []
status, out = run(CLEAN)
if status != 0 or "sim -> core" not in out:
    failed.append("the clean tree:\n" + out)
for expected, change in FAULTS:
    status, out = run({**CLEAN, **change})
    if status != 1 or expected not in out:
        failed.append(f"expected '{expected}':\n{out}")
print("\n".join(failed) or f"clean tree passes, {len(FAULTS)} faults named")
sys.exit(1 if failed else 0)
