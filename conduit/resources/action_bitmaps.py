#!/usr/bin/env python3
"""Draws the four action bitmaps of the configuration dialog (48 x 24, 16 colours).

Run from anywhere: writes action_*.bmp beside this script. Light grey (192, 192, 192)
is the background the dialog shows in the button-face colour.
"""
import os
import struct

W, H = 48, 24

# The 16-colour palette, in the usual order of the system's 4-bit bitmaps.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


class Canvas:
    def __init__(self):
        self.px = [[SILVER] * W for _ in range(H)]

    def put(self, x, y, c):
        if 0 <= x < W and 0 <= y < H:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)


def desktop(cv, grey=False):
    """A monitor on a stand, left side."""
    outline = GREY if grey else BLACK
    bezel = SILVER if grey else WHITE
    screen = WHITE if grey else TEAL
    shine = SILVER if grey else AQUA
    cv.fill(1, 2, 17, 15, bezel)
    cv.frame(1, 2, 17, 15, outline)
    cv.fill(3, 4, 15, 13, screen)
    cv.frame(3, 4, 15, 13, GREY)
    for i in range(3):  # a glint on the glass
        cv.put(5 + i, 6, shine)
    cv.put(5, 7, shine)
    cv.fill(8, 16, 10, 17, GREY if grey else BLACK)
    cv.fill(4, 18, 14, 19, bezel)
    cv.frame(4, 18, 14, 19, outline)
    cv.fill(2, 20, 16, 21, GREY if grey else BLACK)


def handheld(cv, grey=False):
    """A handheld with its screen and buttons, right side."""
    outline = GREY if grey else BLACK
    body = SILVER if grey else GREY
    screen = WHITE if grey else OLIVE
    cv.fill(37, 2, 46, 21, body)
    cv.frame(37, 2, 46, 21, outline)
    cv.fill(39, 4, 44, 12, screen)
    cv.frame(39, 4, 44, 12, BLACK if not grey else GREY)
    button = GREY if grey else WHITE
    for x in (39, 43):  # application buttons
        cv.fill(x, 15, x + 1, 16, button)
        cv.fill(x, 18, x + 1, 19, button)
    cv.fill(41, 16, 42, 18, BLACK if not grey else GREY)  # scroll rocker


def arrow(cv, y, direction, colour, head=5):
    """A 3-pixel shaft with an outlined head between the devices; direction +1 points right."""
    left, right = 20, 34
    if direction > 0:
        shaft = range(left, right - head + 1)
        tip = right
    else:
        shaft = range(left + head, right + 1)
        tip = left
    for x in shaft:
        cv.put(x, y - 2, BLACK)
        cv.put(x, y - 1, colour)
        cv.put(x, y, colour)
        cv.put(x, y + 1, colour)
        cv.put(x, y + 2, BLACK)
    end = shaft[0] if direction > 0 else shaft[-1]
    cv.fill(end, y - 1, end, y + 1, BLACK)  # tail cap
    for i in range(head + 1):
        x = tip - direction * i
        half = i
        for dy in range(-half, half + 1):
            cv.put(x, y + dy, colour)
        cv.put(x, y - half - 1, BLACK)
        cv.put(x, y + half + 1, BLACK)
    cv.put(tip + direction, y, BLACK)
    back = tip - direction * (head + 1)
    for dy in range(-head - 1, head + 2):
        if abs(dy) > 1:
            cv.put(back, y + dy, BLACK)


def pause(cv):
    for x0 in (23, 28):
        cv.fill(x0, 6, x0 + 2, 17, BLACK)


def write_bmp(path, cv):
    stride = ((W * 4 + 31) // 32) * 4
    rows = []
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(0, W, 2):
            row.append((cv.px[y][x] << 4) | cv.px[y][x + 1])
        row.extend(b"\0" * (stride - len(row)))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    off = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    drawings = {
        "action_sync.bmp": lambda cv: (arrow(cv, 6, +1, LIME, 4), arrow(cv, 17, -1, LIME, 4)),
        "action_desktop_to_handheld.bmp": lambda cv: arrow(cv, 11, +1, YELLOW),
        "action_handheld_to_desktop.bmp": lambda cv: arrow(cv, 11, -1, YELLOW),
        "action_nothing.bmp": pause,
    }
    for name, draw in drawings.items():
        cv = Canvas()
        grey = name == "action_nothing.bmp"
        desktop(cv, grey)
        handheld(cv, grey)
        draw(cv)
        write_bmp(os.path.join(here, name), cv)


if __name__ == "__main__":
    main()
