#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when README.md or docs/*.md cite a test file (test_foo.cpp,
test_foo.sh, test_foo), a test (Suite.Name), a fuzz target or a script
that is not in the tree, so the docs' "proved by" stays true.
"""
import re
import sys
from pathlib import Path

ROOT = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent
TEST = re.compile(r"^\s*(?:TEST|TEST_F|TEST_P)\(\s*(\w+),\s*(\w+)\)", re.M)

files = {p.name for p in ROOT.glob("tests/**/test_*")} | {p.stem for p in ROOT.glob("tests/**/test_*")}
tests = set()
for path in ROOT.glob("tests/**/test_*.cpp"):
    tests |= {f"{suite}.{name}" for suite, name in TEST.findall(path.read_text(encoding="utf-8"))}
fuzzers = {p.stem for p in ROOT.glob("fuzz/fuzz_*.cpp")}

missing = []
for doc in [ROOT / "README.md", *sorted(ROOT.glob("docs/*.md"))]:
    text = doc.read_text(encoding="utf-8")
    cited = [(f, files) for f in re.findall(r"\btest_\w+(?:\.(?:cpp|sh|py))?", text)]
    cited += [(t, tests) for t in re.findall(r"\b[A-Z]\w*\.[A-Z]\w+\b", text)]
    cited += [(f, fuzzers) for f in re.findall(r"\bfuzz_\w+", text)]
    cited += [(s, None) for s in re.findall(r"\bscripts/[\w.-]*\w", text)]
    for name, known in cited:
        if not (name in known if known is not None else (ROOT / name).exists()):
            missing.append(f"{doc.relative_to(ROOT)}: {name}")

if missing:
    print("cited but not in the tree:\n  " + "\n  ".join(sorted(set(missing))))
    sys.exit(1)
print("every test, fuzz target and script the docs cite exists")
