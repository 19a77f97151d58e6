#!/usr/bin/env python3
"""Fails when an include of src/ runs against the order of the layers.

The layers, from the bottom; a file may include its own layer and the layers below it:

  texts      src/texts                      every text of the program, in both languages
  image      src/image                      image and host files, containers, journal and lock
  volume     src/volume                     the volume: layout, bit table, files, identify, check
  codes/view src/codes, src/view            code tables; rows, panel and status texts (pure)
  operations src/transfer                   each command as a windowless call with its result
  seam       src/platform/*.h               window operations, for the flows and front ends only
  flows      src/flows                      the Windows program's commands: dialogs around operations
  adapters   src/platform/{win32,scripted,console}
  front ends src/app, src/cli, web

zelvo (src/cli) and the page (web/core) are front ends on the operations alone: neither includes a
flow nor the window seam (src/platform/*.h); zelvo's console adapter includes no seam either.

Usage: check_layers.py [ROOT]      checks ROOT/src and ROOT/web/core (default: the repository)
       check_layers.py --self-test plants violations in a copy and expects the check to find them
"""
import pathlib
import re
import shutil
import sys
import tempfile

RANKS = [
    ("texts/", 0),
    ("image/", 1),
    ("volume/", 2),
    ("codes/", 3),
    ("view/", 3),
    ("transfer/", 4),
    ("platform/win32/", 7),
    ("platform/scripted/", 7),
    ("platform/console/", 7),
    ("platform/", 5),
    ("flows/", 6),
    ("app/", 8),
    ("cli/", 8),
    ("resources/", 8),
    ("web/", 8),
]
NAMES = {0: "texts", 1: "image", 2: "volume", 3: "codes/view", 4: "operations", 5: "seam",
         6: "flows", 7: "adapters", 8: "front ends"}
# Front ends (and adapters) that run without a window: what they may not include.
WINDOWLESS = ("cli/", "web/", "platform/console/")
SEAM = re.compile(r"^(flows/|platform/[^/]+\.h$)")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def rank_of(relative):
    for prefix, rank in RANKS:
        if relative.startswith(prefix):
            return rank
    return None


def sources(root):
    """(path as shown, path as ranked, file) of every source of src/ and web/core."""
    root = pathlib.Path(root)
    src = root / "src"
    for path in sorted(src.rglob("*")):
        relative = path.relative_to(src).as_posix()
        yield "src/" + relative, relative, path
    core = root / "web" / "core"
    if core.is_dir():
        for path in sorted(core.rglob("*")):
            relative = path.relative_to(root).as_posix()
            yield relative, relative, path


def check(root):
    problems = []
    for shown, relative, path in sources(root):
        if path.suffix not in (".h", ".cpp", ".inc"):
            continue
        own = rank_of(relative)
        if own is None:
            continue
        windowless = relative.startswith(WINDOWLESS)
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            included = match.group(1)
            target = rank_of(included)
            if target is not None and target > own:
                problems.append(f"{shown}:{number}: {NAMES[own]} includes "
                                f"{included} ({NAMES[target]}, a layer above it)")
            elif windowless and SEAM.match(included):
                problems.append(f"{shown}:{number}: a windowless front end includes {included} "
                                "(the window's flows or seam)")
    return problems


def self_test():
    repo = pathlib.Path(__file__).resolve().parent.parent
    with tempfile.TemporaryDirectory() as scratch:
        copy = pathlib.Path(scratch)
        shutil.copytree(repo / "src", copy / "src")
        if check(copy):
            print("layer check self-test: the tree has violations before planting one")
            return 1
        if (repo / "web" / "core").is_dir():
            shutil.copytree(repo / "web" / "core", copy / "web" / "core")
        if check(copy):
            print("layer check self-test: the tree has violations before planting one")
            return 1
        plants = [("src/image/planted_violation.cpp", "volume/layout.h"),
                  ("src/cli/planted_violation.cpp", "flows/app_state.h"),
                  ("src/cli/planted_seam.cpp", "platform/platform.h"),
                  ("web/core/planted_violation.cpp", "flows/import.h"),
                  ("src/platform/console/planted_seam.cpp", "platform/platform.h")]
        for name, include in plants:
            planted = copy / name
            planted.parent.mkdir(parents=True, exist_ok=True)
            planted.write_text(f'#include "{include}"\n', encoding="utf-8")
            found = check(copy)
            if len(found) != 1 or name not in found[0]:
                print(f"layer check self-test: {name} including {include} was not found:", found)
                return 1
            planted.unlink()
    print(f"layer check self-test: {len(plants)} planted violations are found")
    return 0


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--self-test":
        return self_test()
    root = sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent
    problems = check(root)
    for problem in problems:
        print(problem)
    if problems:
        print(f"layer check: {len(problems)} include(s) against the order of the layers")
        return 1
    print("layer check: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
