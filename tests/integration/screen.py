"""Screenshots of an X display read by their pixels, for the tests that check what the
user sees. Python standard library only (ImageMagick's `import` and `convert` take and
keep the pictures)."""
import os
import subprocess


class Picture:
    """A screenshot of the whole display as RGB rows. Taken as PPM and read; kept as
    <path>.png for people to look at."""

    def __init__(self, env, path):
        ppm = path + ".ppm"
        subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:" + ppm], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.png = path + ".png"
        subprocess.run(["convert", ppm, self.png], check=False, timeout=60)
        with open(ppm, "rb") as f:
            data = f.read()
        os.remove(ppm)
        fields, at = [], 0
        while len(fields) < 4:  # magic, width, height, maximum, each after white space
            while data[at:at + 1].isspace():
                at += 1
            start = at
            while at < len(data) and not data[at:at + 1].isspace():
                at += 1
            fields.append(data[start:at])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[at + 1:]

    def pixel(self, x, y):
        """(red, green, blue), or None outside the picture."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            return None
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def crop(self, box):
        """The pixels of the box (left, top, right, bottom), row by row."""
        left, top, right, bottom = box
        return [self.pixels[(y * self.width + left) * 3:(y * self.width + right) * 3] for y in range(top, bottom)]


def changed_box(before, after, box, excluded=(0, 0, 0, 0)):
    """The bounding box of the pixels in `box` that differ between two pictures, leaving
    out the rectangle `excluded`; None when nothing changed."""
    left, top, right, bottom = box
    xs, ys = [], []
    for y in range(top, bottom):
        for x in range(left, right):
            if excluded[0] <= x < excluded[2] and excluded[1] <= y < excluded[3]:
                continue
            if before.pixel(x, y) != after.pixel(x, y):
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None
