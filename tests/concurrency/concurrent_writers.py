#!/usr/bin/env python3
"""Several zelvo processes on one image at once.

usage: concurrent_writers.py ZELVO WORKDIR

Writers wait their turn and none fails; readers list only states that some writer left (the
writers' order is read from the final listing and replayed on a copy of the first state, each
state listed by `zelvo ls`); overlapping
deletes and an import racing a `new --force` leave a clean volume and no journal; a command that
waits past --wait refuses with the busy message and changes nothing.
"""
import filecmp
import json
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # no cache beside the sources
import lock_range  # noqa: E402

ZELVO = sys.argv[1]
WORK = sys.argv[2]
WRITERS = 12
READERS = 4
FAILURES = []


def env(**extra):
    # One date for every import, so that a replay writes the same directory entries.
    e = dict(os.environ, ZELVO_LANG="en", SOURCE_DATE_EPOCH="1700000000")
    e.update(extra)
    return e


def run(*args, **kw):
    return subprocess.run([ZELVO, *args], capture_output=True, text=True, env=env(), **kw)


def start(*args, out=None):
    return subprocess.Popen([ZELVO, *args], stdout=out or subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, env=env())


def expect(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what, file=sys.stderr)


def fresh(name):
    path = os.path.join(WORK, name)
    for leftover in (path, path + "-journal"):
        if os.path.exists(leftover):
            os.remove(leftover)
    made = run("new", path)
    assert made.returncode == 0, made.stderr
    return path


def host_file(name, size, seed):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(bytes((seed * 7 + i * 13 + (i >> 8)) & 0xFF for i in range(size)))
    return path


def clean(image, what):
    checked = run("check", image)
    expect(checked.returncode == 0, f"{what}: check found problems: {checked.stdout}{checked.stderr}")
    expect(not os.path.exists(image + "-journal"), f"{what}: a journal was left")


def states_left(first, image, hosts):
    """The listing of every state the importers left, in their order: the order the final listing
    shows (each import takes the next free slot), replayed on a copy of the first state."""
    files = json.loads(run("ls", "--json", image).stdout)["files"]
    order = [f["name"] for f in files]
    by_name = {os.path.basename(h): h for h in hosts}
    states = [run("ls", first).stdout]
    for name in order:
        if name in by_name:
            got = run("import", "--yes", first, by_name[name])
            expect(got.returncode == 0, f"the replay's import of {name} failed: {got.stderr}")
            states.append(run("ls", first).stdout)
    expect(states[-1] == run("ls", image).stdout, "the replay did not end where the writers did")
    return states


def many_importers_and_readers():
    image = fresh("many.d88")
    first = os.path.join(WORK, "replay.d88")
    shutil.copyfile(image, first)
    hosts = [host_file(f"F{i:02d}.BIN", 700 + 389 * i, i) for i in range(WRITERS)]
    writers = [start("import", "--yes", "--wait", "60", image, h) for h in hosts]
    # Readers list the image the whole time the writers work.
    seen = []
    while any(w.poll() is None for w in writers):
        readers = [start("ls", "--wait", "60", image) for _ in range(READERS)]
        for r in readers:
            out, err = r.communicate()
            expect(r.returncode == 0, f"ls failed meanwhile: {err}")
            seen.append(out)
    for i, w in enumerate(writers):
        _, err = w.communicate()
        expect(w.returncode == 0, f"import {i} failed: {err}")
    left = set(states_left(first, image, hosts))
    expect(len(left) >= WRITERS + 1, f"{len(left)} listings recorded for {WRITERS} imports")
    for out in seen:
        expect(out in left, "a reader listed a state that no writer left:\n" + out)
    for i, h in enumerate(hosts):
        back = os.path.join(WORK, f"back{i}.bin")
        got = run("export", "--force", image, os.path.basename(h), back)
        expect(got.returncode == 0 and filecmp.cmp(h, back, shallow=False),
               f"F{i:02d}.BIN did not come back byte for byte: {got.stderr}")
    clean(image, "importers")
    print(f"{WRITERS} imports, {len(seen)} listings read meanwhile")


def overlapping_deletes():
    image = fresh("rm.d88")
    names = ["A.BIN", "B.BIN", "C.BIN", "D.BIN"]
    hosts = [host_file(n, 300 + 100 * i, i) for i, n in enumerate(names)]
    assert run("import", "--yes", image, *hosts).returncode == 0
    first = start("rm", "--yes", "--wait", "60", image, "A.BIN", "B.BIN", "C.BIN")
    second = start("rm", "--yes", "--wait", "60", image, "B.BIN", "C.BIN", "D.BIN")
    results = []
    for p in (first, second):
        _, err = p.communicate()
        results.append((p.returncode, err))
    ok = [code for code, _ in results if code == 0]
    expect(len(ok) >= 1, f"neither rm succeeded: {results}")
    for code, err in results:
        expect(code == 0 or "no such file" in err, f"an rm failed without naming the file: {err}")
    listed = run("ls", image).stdout
    for i, name in enumerate(names):
        deleted_by = [("A.BIN", "B.BIN", "C.BIN"), ("B.BIN", "C.BIN", "D.BIN")]
        gone = any(results[k][0] == 0 and name in deleted_by[k] for k in range(2))
        # The list shows a stored name in full-width characters.
        shown = "".join(chr(ord(c) + 0xFEE0) for c in name)
        expect((shown in listed) != gone, f"{name} is {'listed' if shown in listed else 'gone'}")
    clean(image, "overlapping rm")


def import_against_new_force():
    for round_ in range(4):
        image = fresh("race.d88")
        host = host_file("R.BIN", 2000, round_)
        importer = start("import", "--yes", "--wait", "60", image, host)
        maker = start("new", "--force", "--wait", "60", image)
        _, ierr = importer.communicate()
        _, merr = maker.communicate()
        expect(maker.returncode == 0, f"new --force failed: {merr}")
        expect(importer.returncode in (0, 1), f"import crashed: {ierr}")
        clean(image, f"import against new --force, round {round_}")
        leftovers = [n for n in os.listdir(WORK) if n.startswith("race.d88.new")]
        expect(not leftovers, f"temporary files left: {leftovers}")


def waiting_past_wait():
    image = fresh("busy.d88")
    host = host_file("W.BIN", 500, 3)
    before = open(image, "rb").read()
    # Another program holds the image alone (as Wine's server holds it for the Windows program).
    with lock_range.held(image, True):
        for args in (["import", "--yes", "--wait", "0.3", image, host],
                     ["rm", "--yes", "--wait", "0", image, "W.BIN"],
                     ["ls", "--wait", "0.2", image]):
            got = run(*args)
            expect(got.returncode == 1, f"{args[0]} did not refuse: {got.returncode}")
            expect("The image is in use by another program." in got.stderr,
                   f"{args[0]} said: {got.stderr}")
        expect(open(image, "rb").read() == before, "the image changed while it was held")
    # A shared holder keeps writers out but lets readers in.
    with lock_range.held(image, False):
        got = run("ls", "--wait", "0", image)
        expect(got.returncode == 0, f"ls refused beside a reader: {got.stderr}")
        got = run("import", "--yes", "--wait", "0.2", image, host)
        expect(got.returncode == 1 and "in use by another program" in got.stderr,
               f"import beside a reader: {got.stderr}")
    got = run("import", "--yes", "--wait", "0", image, host)
    expect(got.returncode == 0, f"import after the holders left: {got.stderr}")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    many_importers_and_readers()
    overlapping_deletes()
    import_against_new_force()
    waiting_past_wait()
    if FAILURES:
        print(f"{len(FAILURES)} failures", file=sys.stderr)
        return 1
    shutil.rmtree(WORK, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
