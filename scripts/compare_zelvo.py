#!/usr/bin/env python3
"""Runs zelvo's verbs with two builds, a base commit's and the working tree's, over the same images
and compares what each run gives: standard output, standard error, the exit code and every file
left in the run's folder, byte for byte. Any difference fails, except where a path longer than the
base accepts now works (listed apart as expected).

Usage: scripts/compare_zelvo.py [--base REV | --against REF] [--only TEXT] [--verbose]
       scripts/compare_zelvo.py --self-test

  --base REV     the commit to compare with (a sha, a tag, a branch)
  --against REF  compare with the merge base of HEAD and REF (default: main)
  --only TEXT    run only the cases whose name holds TEXT
  --self-test    plant differences (a byte of standard output, the exit code, a byte of the image)
                 with the working tree's build on both sides and check that each one is found

Both builds are Release builds of the target zelvo, under build/compare/ (head: the working tree;
base: a detached worktree of the base made for the build and removed after it), so a second run
is incremental. The images come from tests/compare (the test image builder, built in the working
tree) and from the base's zelvo (conversions, a join, deletions); both builds get the same copies.
Each case runs in the same folder for both builds, the base's first, each from a fresh copy of
its inputs, with ZELVO_LANG and SOURCE_DATE_EPOCH fixed.
Exit code: 0 no unexpected difference, 1 a difference (or a build failed), 2 wrong usage.
"""
import argparse
import dataclasses
import difflib
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
OUT = os.path.join(ROOT, "build", "compare")
EPOCH = "1717200000"  # 2024-06-01, the day every dated write gets

# A path of 600 bytes below the run's folder: the base refuses it (at most 259 bytes).
LONG_DIR = "/".join(["l" * 95 + "%04d" % i for i in range(6)])


@dataclasses.dataclass
class Case:
    name: str
    args: list
    inputs: list = dataclasses.field(default_factory=list)  # names in the images folder
    lang: str = "en"
    stdin: bytes = b""
    long_path: bool = False  # a difference is expected when the base refused and head succeeded


@dataclasses.dataclass
class Result:
    code: int
    out: bytes
    err: bytes
    files: dict  # relative path -> bytes (None for a folder)


# ---------------------------------------------------------------------------------------------
# Building


def git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True,
                          text=True).stdout.strip()


def build_env():
    env = dict(os.environ)
    env.setdefault("CCACHE_BASEDIR", os.path.dirname(ROOT))
    return env


def build(source, folder, targets, tests, log):
    """Configures (once) and builds TARGETS of SOURCE in FOLDER; False with the log's tail on failure."""
    args = ["cmake", "-S", source, "-B", folder, "-DCMAKE_BUILD_TYPE=Release", "-DZELVO_SANITIZE=OFF",
            "-DZELVO_TESTS=" + ("ON" if tests else "OFF")]
    if not os.path.exists(os.path.join(folder, "CMakeCache.txt")) and shutil.which("ninja"):
        args += ["-G", "Ninja"]
    if shutil.which("ccache"):
        args.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    jobs = os.environ.get("COMPARE_JOBS", "2")
    with open(log, "w") as out:
        for step in (args, ["cmake", "--build", folder, "--target", *targets, "-j", jobs]):
            if subprocess.run(step, stdout=out, stderr=subprocess.STDOUT, env=build_env()).returncode:
                out.close()
                with open(log) as text:
                    tail = text.read().splitlines()[-30:]
                print("FAILED: building %s in %s; the log's last lines:" % (" ".join(targets), folder))
                print("\n".join("  | " + line for line in tail))
                return False
    return True


def build_head():
    folder = os.path.join(OUT, "head")
    if not build(ROOT, folder, ["zelvo", "zelvo_compare_images"], True, os.path.join(OUT, "head.log")):
        return None
    return folder


def build_base(sha):
    """The base's zelvo, built from a worktree that is removed afterwards. The worktree's files get
    the commit's time, so that a second build of the same commit finds nothing to rebuild."""
    folder = os.path.join(OUT, "base")
    source = os.path.join(OUT, "base-src")
    mark = os.path.join(folder, "compare-base.txt")
    if os.path.exists(folder) and (not os.path.exists(mark) or open(mark).read().strip() != sha):
        shutil.rmtree(folder)  # another commit: start again (ccache keeps it quick)
    os.makedirs(folder, exist_ok=True)
    with open(mark, "w") as out:
        out.write(sha + "\n")
    remove_worktree(source)
    git("worktree", "add", "--detach", source, sha)
    try:
        stamp = int(git("show", "-s", "--format=%ct", sha))
        for top, dirs, files in os.walk(source):
            dirs[:] = [d for d in dirs if d != ".git"]
            for name in files:
                os.utime(os.path.join(top, name), (stamp, stamp), follow_symlinks=False)
        if not build(source, folder, ["zelvo"], False, os.path.join(OUT, "base.log")):
            return None
    finally:
        remove_worktree(source)
    return folder


def remove_worktree(source):
    if os.path.exists(source):
        subprocess.run(["git", "worktree", "remove", "--force", source], cwd=ROOT,
                       capture_output=True)
        shutil.rmtree(source, ignore_errors=True)
    subprocess.run(["git", "worktree", "prune"], cwd=ROOT, capture_output=True)


# ---------------------------------------------------------------------------------------------
# Running


class Runner:
    """Runs zelvo as TEMP/bin/zelvo in TEMP/w, TEMP/bin a link to the side's folder (its zelvo with
    CodeChg.txt beside it): the same paths for both sides."""

    def __init__(self, temp, sides):
        self.temp = temp
        self.work = os.path.join(temp, "w")
        self.bin = os.path.join(temp, "bin")
        self.sides = sides  # side -> folder holding zelvo
        os.makedirs(os.path.join(temp, "home"))
        os.makedirs(os.path.join(temp, "tmp"))

    def env(self, lang):
        return {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": os.path.join(self.temp, "home"),
                "TMPDIR": os.path.join(self.temp, "tmp"), "LC_ALL": "C.UTF-8", "TZ": "UTC",
                "ZELVO_LANG": lang, "SOURCE_DATE_EPOCH": EPOCH}

    def use(self, side):
        link = self.bin + ".new"
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(self.sides[side], link)
        os.replace(link, self.bin)

    def run(self, side, case, images):
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        for name in case.inputs:
            source = os.path.join(images, name)
            target = os.path.join(self.work, name)
            if os.path.isdir(source):
                shutil.copytree(source, target)
            else:
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(source, target)
        if case.long_path:
            os.makedirs(os.path.join(self.work, LONG_DIR), exist_ok=True)
        # A conversion stamps its output with the source's time: the same for both sides.
        for top, _, names in os.walk(self.work):
            for name in names:
                os.utime(os.path.join(top, name), (int(EPOCH), int(EPOCH)))
        self.use(side)
        try:
            done = subprocess.run([os.path.join(self.bin, "zelvo"), *case.args], cwd=self.work,
                                  env=self.env(case.lang), input=case.stdin, capture_output=True,
                                  timeout=300)
            code, out, err = done.returncode, done.stdout, done.stderr
        except subprocess.TimeoutExpired as expired:
            code, out, err = "timeout", expired.stdout or b"", expired.stderr or b""
        return Result(code, out, err, snapshot(self.work))


def snapshot(folder):
    files = {}
    for top, dirs, names in os.walk(folder):
        for name in dirs + names:
            path = os.path.join(top, name)
            relative = os.path.relpath(path, folder)
            if os.path.isdir(path) and not os.path.islink(path):
                files[relative] = None
            else:
                with open(path, "rb") as data:
                    files[relative] = data.read()
    return files


# ---------------------------------------------------------------------------------------------
# Comparing


def short(path):
    return path if len(path) < 60 else path[:28] + "..." + path[-28:]


def visible(line):
    return "".join(c if c.isprintable() else "\\x%02X" % ord(c) if ord(c) < 0x100 else "\\u%04X" % ord(c)
                   for c in line)


def text_diff(a, b):
    """The first lines that differ, as a short unified diff on one line."""
    la = a.decode("utf-8", "replace").splitlines()
    lb = b.decode("utf-8", "replace").splitlines()
    lines = [line for line in difflib.unified_diff(la, lb, "base", "head", n=0, lineterm="")
             if not line.startswith(("---", "+++", "@@"))]
    if not lines:  # only the line ends or the final newline
        return "same lines, bytes differ (%d vs %d bytes)" % (len(a), len(b))
    shown = " | ".join(visible(line[:100]) for line in lines[:4])
    return shown + (" | ... (%d more)" % (len(lines) - 4) if len(lines) > 4 else "")


def differences(base, head):
    """What differs between two runs of a case: (what, short diff) pairs."""
    found = []
    if base.code != head.code:
        found.append(("exit code", "%s vs %s" % (base.code, head.code)))
    for stream in ("out", "err"):
        a, b = getattr(base, stream), getattr(head, stream)
        if a != b:
            found.append(("std" + stream, text_diff(a, b)))
    for path in sorted(set(base.files) | set(head.files)):
        a, b = base.files.get(path, "missing"), head.files.get(path, "missing")
        if a == b:
            continue
        if isinstance(a, str) or isinstance(b, str):
            found.append(("file " + short(path), "only left by " + ("head" if isinstance(a, str) else "base")))
        elif a is None or b is None:
            found.append(("file " + short(path), "a folder on one side, a file on the other"))
        else:
            at = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
            found.append(("file " + short(path), "first difference at byte %d (0x%X) of %d vs %d bytes"
                          % (at, at, len(a), len(b))))
    return found


def expected(case, base, head):
    """A long path that the base refused and head handles."""
    return case.long_path and base.code != 0 and head.code == 0


def compare(runner, cases, images, verbose=False, sides=("base", "head")):
    """Runs every case on both sides; returns (unexpected, expected) lists of report lines."""
    unexpected, known = [], []
    for case in cases:
        base = runner.run(sides[0], case, images)
        head = runner.run(sides[1], case, images)
        found = differences(base, head)
        if verbose:
            said = base.err.decode("utf-8", "replace").strip().splitlines()
            print("%-5s %s (exit %s)%s" % ("same" if not found else "DIFF", case.name, base.code,
                                           ": " + visible(said[-1][:120]) if base.code and said else ""))
        lines = ["%s: %s: %s" % (case.name, what, diff) for what, diff in found]
        (known if found and expected(case, base, head) else unexpected).extend(lines)
    return unexpected, known


# ---------------------------------------------------------------------------------------------
# Images and cases


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def make_images(head, base_zelvo, folder):
    """The builder's images, the others made from them by the base's zelvo, and host files."""
    shutil.rmtree(folder, ignore_errors=True)
    maker = os.path.join(head, "tests", "compare", "zelvo_compare_images")
    subprocess.run([maker, folder], check=True, capture_output=True)
    env = {"PATH": os.environ.get("PATH", ""), "LC_ALL": "C.UTF-8", "TZ": "UTC", "ZELVO_LANG": "en",
           "SOURCE_DATE_EPOCH": EPOCH}
    steps = [["convert", "mz.2d", "mz.d20"], ["convert", "pc.d88", "pc.imd"],
             ["convert", "mz.d88", "mz.hfe"], ["convert", "pc.d88", "pc.hfe"],
             ["join", "multi.d88", "mz.d88", "pc.2d", "blank.2d"],
             ["unpack", "mz.d88", "unpacked"], ["unpack", "pc.d88", "unpacked-pc"]]
    # Each container with DEMO and BIG.BIN deleted, for undelete and ls --deleted.
    steps += [["copy-file", image[4:], image] for image in DELETED]
    steps += [["rm", "--yes", image, "DEMO", "BIG.BIN"] for image in DELETED]
    for step in steps:
        if step[0] == "copy-file":
            shutil.copyfile(os.path.join(folder, step[1]), os.path.join(folder, step[2]))
            continue
        done = subprocess.run([base_zelvo, *step], cwd=folder, env=env, capture_output=True)
        if done.returncode:
            raise SystemExit("FAILED: preparing the images: zelvo %s: %s"
                             % (" ".join(step), done.stderr.decode(errors="replace")))
    write(os.path.join(folder, "hello.txt"), b"HELLO FROM THE HOST.\nSECOND LINE.\n")
    write(os.path.join(folder, "notes.txt"), "ｾﾞﾙﾎﾞ ﾉ ﾒﾓ\nSECOND LINE 100\n".encode())
    write(os.path.join(folder, "notes-bad.txt"), "ゼルボの覚え書き\n".encode())
    os.makedirs(os.path.join(folder, "out"))
    write(os.path.join(folder, "data.bin"), bytes((i * 7 + 1) & 0xFF for i in range(1000)))
    write(os.path.join(folder, "sector.bin"), bytes((i * 3) & 0xFF for i in range(512)))
    write(os.path.join(folder, "odd.bin"), bytes(300))
    write(os.path.join(folder, "huge.bin"), bytes(70000))


# Every container, both conventions, several disks, bad sectors, a blank and a full volume,
# deleted entries. The SCP is read slowly: only the reading verbs see it.
CONTAINERS = ["mz.d88", "pc.d88", "mz.2d", "pc.2d", "mz.d20", "pc.imd", "mz.hfe", "pc.hfe", "multi.d88"]
WRITABLE = CONTAINERS + ["blank.2d", "full.d88", "bad.d88"]
DELETED = ["del-" + image for image in CONTAINERS]
IMAGES = WRITABLE + ["pc.scp"]
VERBS = ["ls", "identify", "export", "import", "new", "check", "rm", "rename", "attr", "undelete",
         "sectors", "convert", "join", "patch", "unpack", "pack", "copy"]


def cases():
    out = []

    def add(name, args, inputs=(), **more):
        out.append(Case(name, list(args), list(inputs), **more))

    add("--help", ["--help"])
    add("--version", ["--version"])
    add("(no verb)", [])
    add("unknown verb", ["frobnicate", "mz.d88"])
    add("misspelt verb", ["lss", "mz.d88"])
    add("other name of a verb", ["dir", "mz.d88"])
    add("--help ja", ["--help"], lang="ja")
    for verb in VERBS:
        add(verb + " --help", [verb, "--help"])
        add(verb + " (no arguments)", [verb])
    add("ls --help ja", ["ls", "--help"], lang="ja")
    add("ls bad option", ["ls", "--frob", "mz.d88"])
    add("ls missing image", ["ls", "nothere.d88"])
    add("ls unknown extension", ["ls", "hello.txt"], ["hello.txt"])
    add("ls --mode bad", ["ls", "--mode", "xx", "mz.d88"], ["mz.d88"])

    # The reading verbs over every image.
    for image in IMAGES:
        one = [image]
        add("ls " + image, ["ls", image], one)
        add("ls --json --deleted " + image, ["ls", "--json", "--deleted", image], one)
        add("identify --json " + image, ["identify", "--json", image], one)
        add("check " + image, ["check", image], one)
        add("export --to --all " + image, ["export", image, "--to", "out", "--all"], one + ["out"])
        add("unpack " + image, ["unpack", image, "dir"], one)
        if image != "pc.scp":
            add("identify " + image, ["identify", image], one)
            add("check --json " + image, ["check", "--json", image], one)
            add("sectors " + image, ["sectors", image, "1", "1", "2"], one)
            add("sectors --raw " + image, ["sectors", "--raw", image, "2", "1"], one)
            add("export one " + image, ["export", image, "README.TXT"], one)
            add("export --ascii to stdout " + image, ["export", "--ascii", image, "#1", "-"], one)
            add("convert to d88 " + image, ["convert", image, "copy.d88"], one)
    add("ls ja mz.d88", ["ls", "mz.d88"], ["mz.d88"], lang="ja")
    add("ls ja bad.d88", ["ls", "bad.d88"], ["bad.d88"], lang="ja")
    add("check ja bad.d88", ["check", "bad.d88"], ["bad.d88"], lang="ja")
    add("ls several images", ["ls", "mz.d88", "pc.2d", "blank.2d"], ["mz.d88", "pc.2d", "blank.2d"])
    add("ls --disk 1 multi.d88", ["ls", "--disk", "1", "multi.d88"], ["multi.d88"])
    add("ls --disk 5 multi.d88", ["ls", "--disk", "5", "multi.d88"], ["multi.d88"])
    add("ls --mode pc mz.d88", ["ls", "--mode", "pc", "mz.d88"], ["mz.d88"])
    add("ls --mode auto blank.2d", ["ls", "--mode", "auto", "blank.2d"], ["blank.2d"])
    add("ls --codes missing", ["ls", "--codes", "none.txt", "mz.d88"], ["mz.d88"])
    add("ls -q mz.d88", ["ls", "-q", "mz.d88"], ["mz.d88"])
    add("identify several", ["identify", "mz.d88", "pc.imd", "hello.txt"], ["mz.d88", "pc.imd", "hello.txt"])
    add("check --json several", ["check", "--json", "bad.d88", "full.d88"], ["bad.d88", "full.d88"])
    add("export to a host path", ["export", "mz.d88", "DEMO", "demo.out"], ["mz.d88"])
    add("export existing without --force", ["export", "mz.d88", "DEMO", "hello.txt"], ["mz.d88", "hello.txt"])
    add("export --force", ["export", "--force", "mz.d88", "DEMO", "hello.txt"], ["mz.d88", "hello.txt"])
    add("export --ascii cp932 crlf", ["export", "--ascii", "--encoding", "cp932", "--eol", "crlf",
                                      "pc.2d", "README.TXT", "r.txt"], ["pc.2d"])
    add("export a missing file", ["export", "mz.d88", "NOPE"], ["mz.d88"])
    add("export ja a missing file", ["export", "mz.d88", "NOPE"], ["mz.d88"], lang="ja")
    add("export --to pattern", ["export", "mz.d88", "--to", "out", "*.TXT", "D?MO"], ["mz.d88", "out"])
    add("export a deleted entry", ["export", "del-mz.d88", "#d0", "gone.bin"], ["del-mz.d88"])
    add("export a damaged file", ["export", "bad.d88", "DEMO"], ["bad.d88"])
    add("export from scp", ["export", "pc.scp", "BIG.BIN"], ["pc.scp"])
    add("sectors beyond the volume", ["sectors", "mz.d88", "99", "1"], ["mz.d88"])
    add("sectors hex track", ["sectors", "mz.d88", "0x2", "3", "4"], ["mz.d88"])
    add("sectors scp", ["sectors", "pc.scp", "1", "1"], ["pc.scp"])

    # The writing verbs over every image that can be written.
    for image in WRITABLE:
        one = [image]
        add("import one " + image, ["import", "--yes", image, "data.bin"], one + ["data.bin"])
        add("import several " + image, ["import", "--yes", "--date", "23/01/02", image, "hello.txt",
                                        "data.bin", "sector.bin"], one + ["hello.txt", "data.bin", "sector.bin"])
        add("rm " + image, ["rm", "--yes", image, "DEMO", "#3"], one)
        add("rename " + image, ["rename", "--yes", image, "README.TXT", "READ2.TXT"], one)
        add("attr " + image, ["attr", "--yes", image, "DEMO", "--type", "TEX", "--start", "2000",
                              "--exec", "2010", "--date", "99/12/31", "--lock"], one)
        add("attr --json " + image, ["attr", "--json", image, "TOOL.CMD"], one)
        add("check --repair " + image, ["check", "--repair", "--yes", image], one)
        add("check --repair --free-unowned " + image,
            ["check", "--repair", "--free-unowned", "--yes", image], one)
        add("patch " + image, ["patch", "--yes", image, "40", "1", "sector.bin"], one + ["sector.bin"])
        add("copy into " + image, ["copy", "other.d88", image, "--all"], one + ["other.d88"])
        add("new --like " + image, ["new", "--like", image, "--date", "24/06/01", "like.d88"], one)
    # Deleted entries in every container: listed, exported, restored, written over.
    for image in DELETED:
        one = [image]
        add("ls --deleted " + image, ["ls", "--deleted", image], one)
        add("ls --json --deleted " + image, ["ls", "--json", "--deleted", image], one)
        add("export a deleted entry " + image, ["export", image, "#d1", "-"], one)
        add("undelete " + image, ["undelete", "--yes", image, "#d0"], one)
        add("check " + image, ["check", image], one)
        add("import over deleted entries " + image, ["import", "--yes", image, "data.bin"], one + ["data.bin"])
    add("undelete where nothing was deleted", ["undelete", "--yes", "mz.d88", "#d0"], ["mz.d88"])
    add("import --ascii", ["import", "--yes", "--ascii", "mz.d88", "notes.txt"], ["mz.d88", "notes.txt"])
    add("import --ascii ja", ["import", "--yes", "--ascii", "mz.d88", "notes.txt"], ["mz.d88", "notes.txt"],
        lang="ja")
    add("import attributes", ["import", "--yes", "--name", "NEW.BIN", "--type", "CMD", "--start", "0x3000",
                              "--exec", "3010h", "--date", "01/02/03", "--lock", "pc.2d", "data.bin"],
        ["pc.2d", "data.bin"])
    add("import from stdin", ["import", "--yes", "--name", "IN", "mz.2d", "-"], ["mz.2d"], stdin=b"BYTES\n" * 50)
    add("import answered no", ["import", "mz.d88", "data.bin"], ["mz.d88", "data.bin"], stdin=b"n\n")
    add("import text without a code", ["import", "--yes", "--ascii", "mz.d88", "notes-bad.txt"],
        ["mz.d88", "notes-bad.txt"])
    add("import an existing name", ["import", "--yes", "--name", "DEMO", "mz.d88", "data.bin"],
        ["mz.d88", "data.bin"])
    add("import --replace", ["import", "--yes", "--replace", "--name", "DEMO", "mz.d88", "data.bin"],
        ["mz.d88", "data.bin"])
    add("import --replace locked", ["import", "--yes", "--replace", "--name", "TOOL.CMD", "mz.d88", "data.bin"],
        ["mz.d88", "data.bin"])
    add("import too large", ["import", "--yes", "mz.d88", "huge.bin"], ["mz.d88", "huge.bin"])
    add("import into a full volume", ["import", "--yes", "full.d88", "huge.bin", "data.bin"],
        ["full.d88", "huge.bin", "data.bin"])
    add("import into scp", ["import", "--yes", "pc.scp", "data.bin"], ["pc.scp", "data.bin"])
    add("import --disk 2", ["import", "--yes", "--disk", "2", "multi.d88", "data.bin"], ["multi.d88", "data.bin"])
    add("import under the other convention", ["import", "--yes", "--mode", "mz", "pc.d88", "data.bin"],
        ["pc.d88", "data.bin"])
    add("import --any-convention", ["import", "--yes", "--mode", "mz", "--any-convention", "pc.d88",
                                    "data.bin"], ["pc.d88", "data.bin"])
    add("rm a missing file", ["rm", "--yes", "mz.d88", "NOPE"], ["mz.d88"])
    add("rm a locked file", ["rm", "--yes", "mz.d88", "TOOL.CMD"], ["mz.d88"])
    add("rm answered no", ["rm", "mz.d88", "DEMO"], ["mz.d88"], stdin=b"n\n")
    add("rm ja", ["rm", "--yes", "mz.d88", "DEMO"], ["mz.d88"], lang="ja")
    add("rename to a taken name", ["rename", "--yes", "mz.d88", "DEMO", "ORDER1"], ["mz.d88"])
    add("rename to a bad name", ["rename", "--yes", "mz.d88", "DEMO", "A B*"], ["mz.d88"])
    add("attr show", ["attr", "mz.d88", "DEMO"], ["mz.d88"])
    add("attr --unlock", ["attr", "--yes", "mz.d88", "TOOL.CMD", "--unlock"], ["mz.d88"])
    add("attr --lock --unlock", ["attr", "--yes", "mz.d88", "DEMO", "--lock", "--unlock"], ["mz.d88"])
    add("attr bad date", ["attr", "--yes", "mz.d88", "DEMO", "--date", "99/13/40"], ["mz.d88"])
    add("check --repair answered no", ["check", "--repair", "full.d88"], ["full.d88"], stdin=b"n\n")
    add("check --repair scp", ["check", "--repair", "--yes", "pc.scp"], ["pc.scp"])
    add("patch a partial sector", ["patch", "--yes", "mz.d88", "40", "1", "odd.bin"], ["mz.d88", "odd.bin"])
    add("patch past the end", ["patch", "--yes", "mz.d88", "83", "16", "sector.bin"], ["mz.d88", "sector.bin"])
    add("undelete --name --type", ["undelete", "--yes", "--name", "BACK", "--type", "TEX", "del-mz.d88",
                                   "#d1"], ["del-mz.d88"])
    add("undelete a missing entry", ["undelete", "--yes", "del-mz.d88", "#d9"], ["del-mz.d88"])
    add("undelete ja", ["undelete", "--yes", "del-mz.d88", "#d0"], ["del-mz.d88"], lang="ja")

    # new: every container, both conventions, the options.
    for extension in ("2d", "d20", "d88", "d77", "imd", "hfe", "scp"):
        add("new ." + extension, ["new", "--date", "24/06/01", "blank." + extension])
        add("new --mode pc ." + extension, ["new", "--mode", "pc", "--name", "PC DISK", "--volume", "7",
                                            "--date", "24/06/01", "blank." + extension])
    add("new --exdir", ["new", "--exdir", "--date", "24/06/01", "x.d88"])
    add("new today", ["new", "x.2d"])
    add("new existing", ["new", "--date", "24/06/01", "mz.d88"], ["mz.d88"])
    add("new --force", ["new", "--force", "--date", "24/06/01", "mz.d88"], ["mz.d88"])
    add("new unknown extension", ["new", "x.txt"])
    add("new --like-mode", ["new", "--like", "pc.2d", "--like-mode", "pc", "--mode", "mz", "--date",
                            "24/06/01", "x.2d"], ["pc.2d"])
    add("new ja existing", ["new", "--date", "24/06/01", "mz.d88"], ["mz.d88"], lang="ja")

    # convert: every source into every container.
    for source in ("mz.d88", "pc.2d", "pc.imd", "mz.hfe", "bad.d88", "multi.d88"):
        for extension in ("2d", "d20", "d88", "imd", "hfe", "scp"):
            add("convert %s to .%s" % (source, extension), ["convert", source, "out." + extension], [source])
    add("convert scp", ["convert", "pc.scp", "out.d88"], ["pc.scp"])
    add("convert --to-mode", ["convert", "--to-mode", "pc", "mz.d88", "out.2d"], ["mz.d88"])
    add("convert --strict", ["convert", "--strict", "bad.d88", "out.2d"], ["bad.d88"])
    add("convert --fill", ["convert", "--fill", "mz.d20", "out.2d"], ["mz.d20"])
    add("convert existing", ["convert", "mz.d88", "pc.2d"], ["mz.d88", "pc.2d"])
    add("convert --force", ["convert", "--force", "mz.d88", "pc.2d"], ["mz.d88", "pc.2d"])
    add("convert --disk 1", ["convert", "--disk", "1", "multi.d88", "out.2d"], ["multi.d88"])

    add("join", ["join", "out.d88", "mz.d88", "pc.imd", "mz.hfe"], ["mz.d88", "pc.imd", "mz.hfe"])
    add("join multi", ["join", "out.d88", "multi.d88", "bad.d88"], ["multi.d88", "bad.d88"])
    add("join existing", ["join", "mz.d88", "pc.2d"], ["mz.d88", "pc.2d"])
    add("join --force", ["join", "--force", "mz.d88", "pc.2d"], ["mz.d88", "pc.2d"])
    add("join not d88", ["join", "out.2d", "pc.2d"], ["pc.2d"])

    for layout in ("2d", "d20", "d88", "imd", "hfe"):
        add("pack ." + layout, ["pack", "unpacked", "out." + layout], ["unpacked"])
    add("pack --mode pc --keep-places", ["pack", "--mode", "pc", "--keep-places", "unpacked-pc", "out.d88"],
        ["unpacked-pc"])
    add("pack --layout", ["pack", "--layout", "imd", "unpacked", "out.img"], ["unpacked"])
    add("pack existing", ["pack", "unpacked", "mz.d88"], ["unpacked", "mz.d88"])
    add("pack no manifest", ["pack", "out", "x.d88"])
    add("unpack into a full folder", ["unpack", "mz.d88", "unpacked"], ["mz.d88", "unpacked"])
    add("unpack --force", ["unpack", "--force", "mz.d88", "unpacked"], ["mz.d88", "unpacked"])

    add("copy names", ["copy", "other.d88", "mz.d88", "OTHER.TXT", "#2"], ["other.d88", "mz.d88"])
    add("copy a missing name", ["copy", "other.d88", "mz.d88", "NOPE"], ["other.d88", "mz.d88"])
    add("copy a taken name", ["copy", "pc.2d", "mz.d88", "DEMO"], ["pc.2d", "mz.d88"])
    add("copy --replace", ["copy", "--replace", "pc.2d", "mz.d88", "DEMO"], ["pc.2d", "mz.d88"])
    add("copy --to-disk", ["copy", "--to-disk", "2", "mz.d88", "multi.d88", "--all"], ["mz.d88", "multi.d88"])
    add("copy into a full volume", ["copy", "mz.d88", "full.d88", "--all"], ["mz.d88", "full.d88"])
    add("copy from scp", ["copy", "pc.scp", "blank.2d", "--all"], ["pc.scp", "blank.2d"])

    # A path of 600 bytes: the base refuses it; head may take it.
    long_image = LONG_DIR + "/long.d88"
    add("long path: new", ["new", "--date", "24/06/01", long_image], long_path=True)
    add("long path: ls", ["ls", LONG_DIR + "/mz.d88"], [LONG_DIR + "/mz.d88"], long_path=True)
    add("long path: import", ["import", "--yes", LONG_DIR + "/mz.d88", "data.bin"],
        [LONG_DIR + "/mz.d88", "data.bin"], long_path=True)
    add("long path: export", ["export", LONG_DIR + "/mz.d88", "DEMO", LONG_DIR + "/demo.bin"],
        [LONG_DIR + "/mz.d88"], long_path=True)
    return out


def prepare_long_inputs(images):
    """The long-path cases name their inputs below LONG_DIR: copies in the images folder."""
    os.makedirs(os.path.join(images, LONG_DIR), exist_ok=True)
    shutil.copyfile(os.path.join(images, "mz.d88"), os.path.join(images, LONG_DIR, "mz.d88"))


# ---------------------------------------------------------------------------------------------


def resolve_base(args):
    if args.base:
        return git("rev-parse", "--verify", args.base + "^{commit}")
    for ref in (args.against, "origin/" + args.against):
        try:
            return git("merge-base", "HEAD", ref)
        except subprocess.CalledProcessError:
            continue
    return git("rev-parse", "--verify", args.against)  # fails with git's own message


def report(unexpected, known, count, seconds):
    for line in known:
        print("expected (a long path that now works): " + line)
    for line in unexpected:
        print("DIFFERENCE: " + line)
    print("compare: %d cases, %d unexpected differences, %d expected (long paths), %.0f s"
          % (count, len(unexpected), len(known), seconds))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--base", help="the commit to compare with")
    parser.add_argument("--against", default="main", help="compare with the merge base of HEAD and this")
    parser.add_argument("--only", help="run only the cases whose name holds this text")
    parser.add_argument("--verbose", action="store_true", help="print every case")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    os.makedirs(OUT, exist_ok=True)
    if args.self_test:
        return self_test()
    try:
        sha = resolve_base(args)
    except subprocess.CalledProcessError as error:
        print("compare: no base commit: %s" % error.stderr.strip())
        return 2
    print("compare: base %s, head the working tree (%s)" % (sha[:12], git("rev-parse", "--short", "HEAD")))
    base = build_base(sha)
    head = build_head()
    if not base or not head:
        return 1
    started = time.time()
    selected = [case for case in cases() if not args.only or args.only in case.name]
    images = os.path.join(OUT, "images")
    make_images(head, os.path.join(base, "bin", "zelvo"), images)
    prepare_long_inputs(images)
    with tempfile.TemporaryDirectory(prefix="zelvo-compare-") as temp:
        runner = Runner(temp, {"base": os.path.join(base, "bin"), "head": os.path.join(head, "bin")})
        unexpected, known = compare(runner, selected, images, args.verbose)
    report(unexpected, known, len(selected), time.time() - started)
    return 1 if unexpected else 0


# ---------------------------------------------------------------------------------------------
# Self-test: the working tree's zelvo on both sides, once as it is and once behind a wrapper that
# plants one difference; each planted difference must be found, and nothing else.

WRAPPER = r'''#!/usr/bin/env python3
import os, subprocess, sys
real = os.path.join(os.path.dirname(os.path.realpath(__file__)), "zelvo-real")
done = subprocess.run([real] + sys.argv[1:], stdout=subprocess.PIPE)
out, code, plant = bytearray(done.stdout), done.returncode, "%s"
if plant == "stdout" and out:
    out[len(out) // 2] ^= 0x20
if plant == "exit":
    code = 3
if plant == "image":
    for name in sorted(os.listdir(".")):
        if name.endswith(".d88"):
            with open(name, "r+b") as image:
                image.seek(0x2B0 + 16 + 100)
                byte = image.read(1)
                image.seek(0x2B0 + 16 + 100)
                image.write(bytes([byte[0] ^ 1]))
sys.stdout.buffer.write(out)
sys.exit(code)
'''


def self_test():
    head = build_head()
    if not head:
        return 1
    program = os.path.join(head, "bin", "zelvo")
    codes = os.path.join(head, "bin", "CodeChg.txt")
    images = os.path.join(OUT, "self-test-images")
    make_images(head, program, images)
    prepare_long_inputs(images)
    picked = [case for case in cases() if case.name in
              ("ls mz.d88", "rm mz.d88", "--version", "ls ja mz.d88", "long path: ls")]
    failures = []
    with tempfile.TemporaryDirectory(prefix="zelvo-compare-self-") as temp:
        sides = {"plain": os.path.join(head, "bin")}
        for plant in ("stdout", "exit", "image"):
            place = os.path.join(temp, "wrap-" + plant)
            os.makedirs(place)
            shutil.copy2(program, os.path.join(place, "zelvo-real"))
            shutil.copy2(codes, os.path.join(place, "CodeChg.txt"))
            write(os.path.join(place, "zelvo"), (WRAPPER % plant).encode())
            os.chmod(os.path.join(place, "zelvo"), 0o755)
            sides[plant] = place
        runner = Runner(temp, sides)

        unexpected, known = compare(runner, picked, images, sides=("plain", "plain"))
        if unexpected or known:
            failures.append("the same build on both sides differs: %s" % (unexpected + known))
        wants = {"stdout": "stdout", "exit": "exit code", "image": "file mz.d88"}
        for plant, what in wants.items():
            unexpected, _ = compare(runner, picked, images, sides=("plain", plant))
            hits = [line for line in unexpected if ": %s: " % what in line]
            if not hits:
                failures.append("a planted difference (%s) was not found: %s" % (plant, unexpected))
            else:
                print("self-test: planted %s found: %s" % (plant, hits[0][:140]))
            stray = [line for line in unexpected if ": %s: " % what not in line]
            if stray:
                failures.append("planting %s also reported: %s" % (plant, stray))

    # The long path's difference counts as expected only when the base refused and head succeeded.
    long_case = Case("long", [], long_path=True)
    refused, worked = Result(1, b"", b"too long\n", {}), Result(0, b"done\n", b"", {"x": b""})
    checks = [(expected(long_case, refused, worked), True, "refused by base, done by head"),
              (expected(long_case, worked, refused), False, "done by base, refused by head"),
              (expected(long_case, refused, refused), False, "refused by both"),
              (expected(Case("ls", []), refused, worked), False, "not a long path")]
    for got, want, what in checks:
        if got != want:
            failures.append("long path rule, %s: expected() gave %s" % (what, got))
    if [w for w, _ in differences(refused, worked)] != ["exit code", "stdout", "stderr", "file x"]:
        failures.append("differences() missed a part: %s" % differences(refused, worked))

    # Every verb that zelvo --help lists runs in a case of its own beyond --help and usage errors.
    listed = subprocess.run([program, "--help"], capture_output=True, text=True,
                            env={"ZELVO_LANG": "en"}).stdout.split("Subcommands:")[-1]
    verbs = [line.split()[0] for line in listed.split("\n\n")[0].splitlines() if line.strip()]
    covered = {case.args[0] for case in cases() if case.args and "--help" not in case.args
               and len(case.args) > 1}
    if not verbs or set(verbs) - covered:
        failures.append("verbs without a case: %s" % sorted(set(verbs or ["?"]) - covered))

    for failure in failures:
        print("self-test FAILED: " + failure)
    if not failures:
        print("self-test: every planted difference found, none where nothing was planted")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
