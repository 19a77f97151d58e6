"""The image lock as another program on Linux takes and sees it (src/image/image_lock.h).

Readers hold a shared and writers an exclusive record lock on LENGTH bytes at OFFSET. The locks
taken here are open-file-description locks, as zelvo's: a classic record lock would be lost as
soon as this process closes any other descriptor of the image. Both kinds meet each other, and
Wine passes the Windows program's LockFileEx on to Linux as a classic one.
"""
import contextlib
import fcntl
import os
import struct
import zlib

OFFSET = 1 << 40  # kImageLockOffset
LENGTH = 1  # kImageLockLength
FLOCK = "hhqqi4x"  # struct flock of 64-bit Linux: type, whence, start, len, pid


@contextlib.contextmanager
def held(path, exclusive):
    """Holds the image's lock for the length of the block; raises when another program holds it."""
    fd = os.open(path, os.O_RDWR if exclusive else os.O_RDONLY)
    try:
        kind = fcntl.F_WRLCK if exclusive else fcntl.F_RDLCK
        fcntl.fcntl(fd, fcntl.F_OFD_SETLK, struct.pack(FLOCK, kind, os.SEEK_SET, OFFSET, LENGTH, 0))
        yield
    finally:
        os.close(fd)


def seen(path):
    """'shared', 'exclusive' or None: the lock that another program holds on the image."""
    fd = os.open(path, os.O_RDONLY)
    try:
        probe = struct.pack(FLOCK, fcntl.F_WRLCK, os.SEEK_SET, OFFSET, LENGTH, 0)
        kind = struct.unpack(FLOCK, fcntl.fcntl(fd, fcntl.F_GETLK, probe))[0]
    finally:
        os.close(fd)
    return {fcntl.F_RDLCK: "shared", fcntl.F_WRLCK: "exclusive"}.get(kind)


def write_journal(image, offset, original):
    """Writes the complete journal of a change that overwrote `original` at `offset` of the image
    (the format of src/image/journal.cpp): what a writer leaves beside the image until its
    commit ends."""
    size = os.path.getsize(image)
    body = b"ZLVJRNL\0" + struct.pack("<IqqI", 1, size, size, 1)
    body += struct.pack("<II", offset, len(original)) + original
    body += struct.pack("<I", zlib.crc32(body)) + b"COMMIT!\n"
    with open(image + "-journal", "wb") as f:
        f.write(body)
