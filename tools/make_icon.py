#!/usr/bin/env python3
"""Draw the program's icon and write it as src/resources/zelvo.ico.

One 32 x 32 image with 16 colours (4 bits per pixel, the standard 16-colour palette) and a
transparency mask: a floppy disk with a metal shutter and a label carrying a red Z.
Run: python3 tools/make_icon.py
"""
import pathlib
import struct

PALETTE = [  # (R, G, B), the classic 16-colour set
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, SILVER, RED, BLUE, WHITE = 0, 4, 8, 7, 9, 12, 15
SIZE = 32


def draw():
    """Returns (pixels, transparent): 32 rows of 32 palette indices, top row first."""
    pix = [[BLACK] * SIZE for _ in range(SIZE)]
    clear = [[True] * SIZE for _ in range(SIZE)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pix[y][x] = colour
                clear[y][x] = False

    # Disk body with a black outline and a cut top-right corner.
    fill(2, 1, 29, 30, BLACK)
    fill(3, 2, 28, 29, NAVY)
    for y in range(1, 6):
        for x in range(24, 30):
            if x - y > 24:  # outside the cut
                pix[y][x] = BLACK
                clear[y][x] = True
            elif x - y == 24:  # the cut's edge
                pix[y][x] = BLACK
    # Metal shutter at the top, with its window.
    fill(8, 2, 23, 11, SILVER)
    fill(8, 11, 23, 11, GREY)
    fill(17, 4, 20, 9, NAVY)
    # Label at the bottom.
    fill(6, 15, 25, 28, WHITE)
    fill(6, 15, 25, 15, BLUE)
    # A red Z on the label.
    fill(10, 18, 21, 19, RED)
    fill(10, 25, 21, 26, RED)
    for i in range(5):  # the diagonal, from top right to bottom left
        x = 18 - 2 * i
        fill(x, 20 + i, x + 2, 20 + i, RED)
    # Write-protect notch.
    fill(4, 26, 4, 28, BLACK)
    return pix, clear


def ico_bytes():
    pix, clear = draw()
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        row = pix[y]
        for x in range(0, SIZE, 2):
            a = 0 if clear[y][x] else row[x]
            b = 0 if clear[y][x + 1] else row[x + 1]
            xor.append((a << 4) | b)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if clear[y][x] else 0)
        mask += bits.to_bytes(4, "big")
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                         16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    out = root / "src" / "resources" / "zelvo.ico"
    out.write_bytes(ico_bytes())
    print(f"wrote {out} ({out.stat().st_size} bytes)")


if __name__ == "__main__":
    main()
