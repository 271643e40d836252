#!/usr/bin/env python3
"""Draws Kanasift's icons and writes them as .ico files (16-colour BMP-in-ICO).

    make_icons.py <output-dir>

Writes app.ico and tray200.ico ... tray203.ico, tray300.ico ... tray303.ico, each with
the picture drawn at 16, 20, 24, 32, 40 and 48 pixels (100 % to 300 % of the small-icon
size), so that the system never has to stretch a picture. Every picture is the same
magnifying glass; the tray states add a red prohibition sign (enable off), a red X (not
in use) or a grey background (force-enabled), and the partial-match set carries a small
yellow "*" badge in its lower right corner, drawn last, so that it differs from the
prefix set only there.
Python standard library only.
"""
import math
import os
import struct
import sys

# The standard 16-colour palette (VGA order), as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, YELLOW, BLUE, AQUA, WHITE = 0, 1, 4, 7, 8, 9, 11, 12, 14, 15

# Every picture is drawn at each of these sizes.
SIZES = (16, 20, 24, 32, 40, 48)


def segment_distance(px, py, ax, ay, bx, by):
    """Distance from point p to the segment a-b."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


class Canvas:
    """A square of palette indices (None = transparent) drawn in 16-unit coordinates."""

    def __init__(self, size):
        self.size = size
        self.pixels = [[None] * size for _ in range(size)]

    def paint(self, colour, inside):
        """Sets every pixel whose centre, in 16-unit coordinates, satisfies `inside`."""
        scale = 16.0 / self.size
        for y in range(self.size):
            for x in range(self.size):
                if inside((x + 0.5) * scale, (y + 0.5) * scale):
                    self.pixels[y][x] = colour


def draw_magnifier(canvas):
    cx, cy = 9.0, 6.5
    # Handle towards the lower left, so the lower right corner stays free for the badge.
    canvas.paint(BLACK, lambda x, y: segment_distance(x, y, 5.5, 10.0, 1.5, 14.0) <= 1.9)
    canvas.paint(MAROON, lambda x, y: segment_distance(x, y, 5.5, 10.0, 1.5, 14.0) <= 1.1)
    canvas.paint(NAVY, lambda x, y: math.hypot(x - cx, y - cy) <= 6.0)
    canvas.paint(BLUE, lambda x, y: math.hypot(x - cx, y - cy) <= 5.0)
    canvas.paint(AQUA, lambda x, y: math.hypot(x - cx, y - cy) <= 3.6)
    canvas.paint(WHITE, lambda x, y: math.hypot(x - (cx - 1.4), y - (cy - 1.4)) <= 1.2)


def draw_grey_background(canvas):
    canvas.paint(GRAY, lambda x, y: True)
    canvas.paint(SILVER, lambda x, y: 1.0 <= x <= 15.0 and 1.0 <= y <= 15.0)


def draw_prohibition(canvas):
    c = 7.5
    canvas.paint(RED, lambda x, y: 5.4 <= math.hypot(x - c, y - c) <= 7.6)
    canvas.paint(RED, lambda x, y: segment_distance(x, y, 3.4, 3.4, 11.6, 11.6) <= 1.1)


def draw_cross(canvas):
    canvas.paint(RED, lambda x, y: segment_distance(x, y, 1.5, 1.5, 14.5, 14.5) <= 1.3
                 or segment_distance(x, y, 14.5, 1.5, 1.5, 14.5) <= 1.3)


def draw_partial_badge(canvas):
    # A yellow square with a black border and a black asterisk over the lower right
    # 7/16 of the picture, pixel exact at 16x16 and drawn in the same units at the other
    # sizes: each 16x16 pixel becomes a block of the larger picture.
    def block(x, y, colour):
        scale = canvas.size / 16.0
        for py in range(int(round(y * scale)), int(round((y + 1) * scale))):
            for px in range(int(round(x * scale)), int(round((x + 1) * scale))):
                canvas.pixels[py][px] = colour
    for y in range(9, 16):
        for x in range(9, 16):
            border = x in (9, 15) or y in (9, 15)
            block(x, y, BLACK if border else YELLOW)
    for x, y in [(12, 10), (12, 11), (12, 12), (12, 13), (12, 14),
                 (10, 12), (11, 12), (13, 12), (14, 12),
                 (10, 10), (14, 10), (10, 14), (14, 14)]:
        block(x, y, BLACK)


def tray_canvas(state, partial, size):
    canvas = Canvas(size)
    if state == 3:
        draw_grey_background(canvas)
    draw_magnifier(canvas)
    if state == 1:
        draw_prohibition(canvas)
    elif state == 2:
        draw_cross(canvas)
    if partial:
        draw_partial_badge(canvas)
    return canvas


def icon_image(canvas):
    """One BMP-in-ICO image: header, palette, 4-bit colour rows and 1-bit mask rows, bottom up."""
    size = canvas.size
    colour_row = (size * 4 + 31) // 32 * 4
    mask_row = (size + 31) // 32 * 4
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(colour_row)
        bits = bytearray(mask_row)
        for x in range(size):
            index = canvas.pixels[y][x]
            if index is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                index = 0
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        colour += row
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(colour) + len(mask),
                         0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def write_ico(path, canvases):
    images = [icon_image(c) for c in canvases]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        dim = canvas.size % 256
        out += struct.pack('<BBBBHHII', dim, dim, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    with open(path + '.tmp', 'wb') as f:
        f.write(out)
    os.replace(path + '.tmp', path)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    app = []
    for size in SIZES:
        canvas = Canvas(size)
        draw_magnifier(canvas)
        app.append(canvas)
    write_ico(os.path.join(out_dir, 'app.ico'), app)
    for base, partial in ((200, False), (300, True)):
        for state in range(4):
            write_ico(os.path.join(out_dir, 'tray%d.ico' % (base + state)),
                      [tray_canvas(state, partial, size) for size in SIZES])
    return 0


if __name__ == '__main__':
    sys.exit(main())
