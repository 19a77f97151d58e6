#!/usr/bin/env python3
"""Lists the mutable variables with static storage in the core's object files.

The core (src/texts, src/image, src/volume, src/codes, src/view, src/transfer) keeps its state in
the record of an open image or in a call, so that any number of images can be open in one process.
A variable at file scope or a function-level static breaks that; `objdump -t` shows each one as an
object symbol in .bss, .data, .tbss or .tdata (or .data.rel / .data.rel.local). Constant tables
live in .rodata or .data.rel.ro and are fine.

The state that is still there is listed in scripts/static_state_known.txt; the check fails on
anything not in that list, and on a listed entry that has gone (so the list only shrinks).

Usage: check_static_state.py BUILD_DIR           checks the object files under BUILD_DIR
       check_static_state.py BUILD_DIR --update  rewrites the list of known state
       check_static_state.py --self-test         compiles a planted static and expects a finding
"""
import pathlib
import re
import subprocess
import sys
import tempfile

LAYERS = ("texts", "image", "volume", "codes", "view", "transfer")
KNOWN = pathlib.Path(__file__).with_name("static_state_known.txt")
MUTABLE = re.compile(r"^\.(bss|data|tbss|tdata|data\.rel|data\.rel\.local)(\..*)?$")
TOOL_PREFIXES = ("__odr_asan", "__asan", "__sancov", "__ubsan", ".L", "__llvm", "__profc", "__profd")


def mutable_symbols(obj):
    """Yields the demangled names of obj's mutable objects with static storage."""
    out = subprocess.run(["objdump", "-t", str(obj)], capture_output=True, text=True, check=True)
    names = []
    for line in out.stdout.splitlines():
        parts = line.split()
        # value, flags..., section, size, name: an object symbol has "O" among its flags.
        if len(parts) < 5 or "O" not in parts[1:-3]:
            continue
        section, name = parts[-3], parts[-1]
        if section.startswith(".data.rel.ro") or not MUTABLE.match(section):
            continue
        if name.startswith(TOOL_PREFIXES) or name.startswith("_ZGV"):  # guard variables go with their static
            continue
        names.append(name)
    if not names:
        return []
    demangled = subprocess.run(["c++filt"], input="\n".join(names), capture_output=True, text=True,
                               check=True).stdout.split("\n")
    return [d for d in demangled if d]


def without_parameters(name):
    """A function-level static without its function's parameter list, so that the list of known
    state survives a change of signature: "Write(ImageFile*, int)::track" -> "Write::track"."""
    anonymous = "(anonymous namespace)"
    name = name.replace(anonymous, "\0")
    out, depth = [], 0
    for c in name:
        if c == "(":
            depth += 1
        elif c == ")":
            depth -= 1
        elif depth == 0:
            out.append(c)
    return "".join(out).replace("\0", anonymous)


def core_objects(build):
    """The object files of one library that holds the core's sources (the first one found)."""
    for library in ("zelvo_core.dir", "zelvo_core_memory.dir"):
        base = pathlib.Path(build) / "CMakeFiles" / library / "src"
        if base.is_dir():
            return [o for layer in LAYERS for o in sorted((base / layer).rglob("*.o"))], base
    return [], None


def findings(build):
    objects, base = core_objects(build)
    if not objects:
        sys.exit(f"check_static_state: no object files of the core under {build}")
    found = set()
    for obj in objects:
        source = obj.relative_to(base).as_posix()[: -len(".o")]
        for name in mutable_symbols(obj):
            found.add(f"{source}\t{without_parameters(name)}")
    return found


def read_known():
    if not KNOWN.exists():
        return set()
    return {line for line in KNOWN.read_text().splitlines() if line and not line.startswith("#")}


def check(build, update=False):
    found = findings(build)
    if update:
        header = "# Mutable state with static storage still in the core (scripts/check_static_state.py)\n"
        KNOWN.write_text(header + "".join(f"{line}\n" for line in sorted(found)))
        print(f"check_static_state: {len(found)} entries written to {KNOWN.name}")
        return 0
    known = read_known()
    new = sorted(found - known)
    gone = sorted(known - found)
    for line in new:
        source, name = line.split("\t")
        print(f"{source}: mutable state with static storage: {name} (keep it in the image's record or the call)")
    for line in gone:
        print(f"{KNOWN.name}: no longer found, remove it from the list: {line.replace(chr(9), ' ')}")
    if new or gone:
        return 1
    print(f"check_static_state: nothing new ({len(found)} known entries left)")
    return 0


def self_test():
    with tempfile.TemporaryDirectory() as tmp:
        base = pathlib.Path(tmp) / "CMakeFiles" / "zelvo_core.dir" / "src" / "transfer"
        base.mkdir(parents=True)
        source = pathlib.Path(tmp) / "planted.cpp"
        source.write_text("namespace { int Planted[4]; const int Fine[2] = {1, 2}; }\n"
                          "int Touch(int i) { static int calls; ++calls; Planted[i & 3] = calls; return Fine[i & 1]; }\n")
        subprocess.run(["c++", "-c", "-O0", str(source), "-o", str(base / "planted.cpp.o")], check=True)
        names = {line.split("\t")[1] for line in findings(tmp)}
        expected = {"(anonymous namespace)::Planted", "Touch::calls"}
        if names != expected:
            print(f"check_static_state self-test: expected {sorted(expected)}, found {sorted(names)}")
            return 1
    print("check_static_state self-test: the planted statics were found, the constant was not")
    return 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) == 2:
        return check(argv[1])
    if len(argv) == 3 and argv[2] == "--update":
        return check(argv[1], update=True)
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
