#!/usr/bin/env python3
"""zelvo on Linux and zelvo.exe under Wine on one image: each sees the other's lock.

usage: wine_pair.py ZELVO ZELVO_EXE WORKDIR [GUI_TESTS]
       (Wine's variables set, its server running; GUI_TESTS: zelvo_gui_tests.exe, on a display)

Wine passes a Windows program's byte-range lock on to Linux as an fcntl record lock, and zelvo
locks the same range: a lock held on either side is met by the other, which waits and then goes
on, or says the image is busy and changes nothing. A journal beside an image that a living writer
holds is never played back; once the writer is gone, it is.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache beside the sources
import lock_range  # noqa: E402

ZELVO, ZELVO_EXE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
GUI = sys.argv[4] if len(sys.argv) > 4 else None
BUSY = "The image is in use by another program."
RECOVERED = "The last change to this image was interrupted"
FAILURES = []


def expect(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what, file=sys.stderr)


def env(**extra):
    e = dict(os.environ, ZELVO_LANG="en")
    e.update(extra)
    return e


def command(side, args):
    return ([ZELVO] if side == "linux" else ["wine", ZELVO_EXE]) + list(args)


class Finished:
    def __init__(self, returncode, stdout, stderr):
        self.returncode, self.stdout, self.stderr = returncode, stdout, stderr


class Started:
    """A command whose output goes to files: a pipe would stay open as long as the background
    processes that Wine starts, which inherit it."""

    def __init__(self, argv, **extra):
        self.out, self.err = (tempfile.TemporaryFile("w+", encoding="utf-8") for _ in range(2))
        self.p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self.out,
                                  stderr=self.err, env=env(**extra))

    def poll(self):
        return self.p.poll()

    def finish(self, timeout=300):
        code = self.p.wait(timeout=timeout)
        texts = []
        for f in (self.out, self.err):
            f.seek(0)
            texts.append(f.read())
            f.close()
        return Finished(code, *texts)


def run(side, *args):
    return Started(command(side, args)).finish()


def start(side, image, *args, hold_ms):
    """Starts a command on `image` that holds it `hold_ms` longer than it needs (a test aid) and
    returns once its lock shows on Linux."""
    p = Started(command(side, args), ZELVO_TEST_HOLD_MS=str(hold_ms))
    deadline = time.monotonic() + 60
    while lock_range.seen(image) is None:
        if p.poll() is not None or time.monotonic() > deadline:
            got = p.finish()
            raise AssertionError(f"{side} {args[0]} never held the image: {got.stderr}")
        time.sleep(0.02)
    return p


def read(path):
    with open(path, "rb") as f:
        return f.read()


def fresh(name):
    path = os.path.join(WORK, name)
    made = run("linux", "new", path)
    assert made.returncode == 0, made.stderr
    return path


def host_file(name, size, seed):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(bytes((seed * 7 + i * 13) & 0xFF for i in range(size)))
    return path


def listed(image, name):
    shown = "".join(chr(ord(c) + 0xFEE0) for c in name)  # the list's full-width name
    return shown in run("linux", "ls", image).stdout


def clean(image, what):
    checked = run("linux", "check", image)
    expect(checked.returncode == 0, f"{what}: check found problems: {checked.stdout}")
    expect(not os.path.exists(image + "-journal"), f"{what}: a journal was left")


def refusals_beside_a_lock(holder, refused):
    """A lock held on the `holder` side of the line: the other side's change and, beside an
    exclusive lock, its reading say busy after their wait and change nothing."""
    image = fresh(f"held_{holder}.d88")
    host = host_file("W.BIN", 500, 1)
    refused_host = host_file("R.BIN", 400, 5)
    before = read(image)
    for exclusive in (True, False):
        what = f"{refused} beside a {'n exclusive' if exclusive else ' shared'} lock of {holder}"
        if holder == "a test":
            with lock_range.held(image, exclusive):
                results = [run(refused, "import", "--yes", "--wait", "0.3", image, refused_host),
                           run(refused, "ls", "--wait", "0.3", image)]
        else:
            # zelvo holds its image alone from before the plan of a change, shared from the load
            # of a listing.
            verb = ("import", "--yes", image, host) if exclusive else ("ls", image)
            p = start(holder, image, *verb, hold_ms=4000)
            results = [run(refused, "import", "--yes", "--wait", "0.3", image, refused_host),
                       run(refused, "ls", "--wait", "0.3", image)]
            alive = p.poll() is None
            p.finish()
            expect(alive, f"{what}: the holder ended before the refusals were tried")
        imported, listing = results
        expect(imported.returncode == 1 and BUSY in imported.stderr,
               f"{what}: import gave {imported.returncode}: {imported.stderr}")
        expect((listing.returncode == 1) == exclusive, f"{what}: ls gave {listing.returncode}")
        expect(not exclusive or BUSY in listing.stderr, f"{what}: ls said {listing.stderr}")
        if holder == "a test":
            expect(read(image) == before, f"{what}: the image changed")
    expect(not listed(image, "R.BIN"), f"{refused} imported beside {holder}'s lock")
    clean(image, f"refusals beside {holder}")


def waiting_for_the_other_side(holder, waiter):
    """The `waiter` side's import waits while the `holder` side's import holds the image, then
    goes through: both files are there."""
    image = fresh(f"wait_{holder}.d88")
    first = host_file("FIRST.BIN", 900, 2)
    second = host_file("SECOND.BIN", 700, 3)
    p = start(holder, image, "import", "--yes", image, first, hold_ms=2000)
    waited = run(waiter, "import", "--yes", "--wait", "60", image, second)
    held = p.finish()
    expect(held.returncode == 0, f"{holder}'s import failed: {held.stderr}")
    expect(waited.returncode == 0, f"{waiter}'s import after the wait failed: {waited.stderr}")
    expect(listed(image, "FIRST.BIN") and listed(image, "SECOND.BIN"),
           f"{waiter} after {holder}: a file is missing")
    clean(image, f"{waiter} waiting for {holder}")


def tear(image):
    """What a writer in the middle of its commit leaves while it holds the image: its journal
    written, a record of the image overwritten. The bytes of the image and the journal."""
    at = 0x2B0 + 2 * 272  # a sector record of the first track
    lock_range.write_journal(image, at, read(image)[at:at + 272])
    with open(image, "r+b") as f:
        f.seek(at)
        f.write(b"\xE5" * 272)
    return read(image), read(image + "-journal")


def left_alone(image, torn, journal, who):
    expect(read(image) == torn, f"{who} changed the image of a live writer")
    expect(os.path.exists(image + "-journal") and read(image + "-journal") == journal,
           f"{who} touched the journal of a live writer")


def played_back(opener, image, original):
    got = run(opener, "ls", image)
    expect(got.returncode == 0 and RECOVERED in got.stderr,
           f"{opener} after the writer: {got.returncode} {got.stderr}")
    expect(read(image) == original, f"{opener} did not put the image back")
    clean(image, f"{opener} after a stopped writer")


def a_live_journal_is_left_alone(opener):
    """A writer in the middle of its commit holds the image: the opener says busy and leaves
    image and journal as they are. Once the writer is gone, the opener plays the journal back."""
    image = fresh(f"journal_{opener}.d88")
    original = read(image)
    with lock_range.held(image, True):
        torn, journal = tear(image)
        got = run(opener, "ls", "--wait", "0.3", image)
        expect(got.returncode == 1 and BUSY in got.stderr and RECOVERED not in got.stderr,
               f"{opener} beside a live journal: {got.returncode} {got.stderr}")
        left_alone(image, torn, journal, opener)
    played_back(opener, image, original)


def marker(folder, name, p):
    """Waits for the window's test to leave a marker file; False when it ended first."""
    path = os.path.join(folder, name)
    deadline = time.monotonic() + 120
    while not os.path.exists(path):
        if p.poll() is not None or time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def the_window_beside_linux(gui):
    """The window's tests (tests/win32/concurrent_test.cpp, PairGuiTest) against a lock held
    here: the window's open beside a live journal, and its import waiting for Linux."""
    def window(case):
        folder = os.path.join(WORK, case)
        os.makedirs(folder)
        # The window speaks its default Japanese, which its tests expect; zelvo speaks English.
        p = Started(["wine", gui, f"--gtest_filter=PairGuiTest.{case}"], ZELVO_PAIR_DIR=folder,
                    ZELVO_LANG="ja")
        return folder, os.path.join(folder, "disk.d88"), p

    def passed(p, what):
        got = p.finish()
        out = got.stdout + got.stderr
        expect(got.returncode == 0 and "[  PASSED  ] 1 test" in out, f"the window {what}:\n{out}")

    folder, image, p = window("TheJournalOfAWriterOnLinuxIsNotPlayedBack")
    if marker(folder, "written", p):
        original = read(image)
        with lock_range.held(image, True):
            torn, journal = tear(image)
            open(os.path.join(folder, "held"), "w").close()
            passed(p, "beside a live journal")
            left_alone(image, torn, journal, "the window")
        played_back("linux", image, original)
    else:
        passed(p, "beside a live journal")

    folder, image, p = window("TheWindowsImportWaitsForALinuxHolder")
    if marker(folder, "loaded", p):
        with lock_range.held(image, True):
            open(os.path.join(folder, "held"), "w").close()
            expect(marker(folder, "waiting", p), "the window's import did not wait")
    passed(p, "waiting for Linux")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    # The lock of a Windows program under Wine shows on Linux, on the lock range.
    image = fresh("seen.d88")
    p = start("wine", image, "import", "--yes", image, host_file("S.BIN", 300, 4), hold_ms=1500)
    expect(lock_range.seen(image) == "exclusive", "zelvo.exe's lock is not exclusive on Linux")
    p.finish()
    expect(lock_range.seen(image) is None, "zelvo.exe's lock outlived it")
    for holder, other in (("a test", "wine"), ("linux", "wine"), ("wine", "linux")):
        refusals_beside_a_lock(holder, other)
    for holder, waiter in (("linux", "wine"), ("wine", "linux")):
        waiting_for_the_other_side(holder, waiter)
    for opener in ("wine", "linux"):
        a_live_journal_is_left_alone(opener)
    if GUI:
        the_window_beside_linux(GUI)
    if FAILURES:
        print(f"{len(FAILURES)} failures", file=sys.stderr)
        return 1
    shutil.rmtree(WORK, ignore_errors=True)
    print("zelvo and zelvo.exe under Wine: each waited for the other's lock")
    return 0


if __name__ == "__main__":
    sys.exit(main())
