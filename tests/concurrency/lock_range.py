"""The image lock as another program on Linux takes and sees it (src/image/image_lock.h).

Readers hold a shared and writers an exclusive record lock on LENGTH bytes at OFFSET. The locks
taken here are classic fcntl record locks, the kind by which Wine passes on the Windows
program's LockFileEx: they meet zelvo's open-file-description locks and Wine's alike.
"""
import contextlib
import fcntl
import os
import struct
import zlib

OFFSET = 1 << 40  # kImageLockOffset
LENGTH = 1  # kImageLockLength


@contextlib.contextmanager
def held(path, exclusive):
    """Holds the image's lock for the length of the block; raises when another program holds it."""
    fd = os.open(path, os.O_RDWR if exclusive else os.O_RDONLY)
    try:
        fcntl.lockf(fd, (fcntl.LOCK_EX if exclusive else fcntl.LOCK_SH) | fcntl.LOCK_NB,
                    LENGTH, OFFSET)
        yield
    finally:
        os.close(fd)


def seen(path):
    """'shared', 'exclusive' or None: the lock that another program holds on the image."""
    fd = os.open(path, os.O_RDONLY)
    try:
        probe = struct.pack("hhqqi4x", fcntl.F_WRLCK, os.SEEK_SET, OFFSET, LENGTH, 0)
        kind = struct.unpack("hhqqi4x", fcntl.fcntl(fd, fcntl.F_GETLK, probe))[0]
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
