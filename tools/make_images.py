#!/usr/bin/env python3
"""Draws the window's pictures into ui/images/ (BMP files with a colour table
and RLE8 compression, which the program expands itself, ui/rle8.h; and the
program icon with 64, 48, 32 and 16 pixel 32-bit images). Every picture has fewer than
256 colours, so the compression loses nothing. Standard library only; running
it again gives the same bytes.

Usage: tools/make_images.py [OUTPUT_DIR]
"""
import math
import os
import struct
import sys

FRAME = (123, 158, 189)      # control frames, colour scheme 1
WINDOW_FRAME = (104, 146, 186)
TITLE_TOP = (236, 243, 250)
TITLE_BOTTOM = (211, 226, 241)
GLYPH = (38, 78, 128)
WHITE = (255, 255, 255)


class Picture:
    """An RGBA picture with a few anti-aliased drawing operations."""

    def __init__(self, width, height, colour=WHITE, alpha=255):
        self.width, self.height = width, height
        self.px = [[list(colour) + [alpha] for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, coverage):
        if not (0 <= x < self.width and 0 <= y < self.height) or coverage <= 0:
            return
        p = self.px[y][x]
        a = min(1.0, coverage)
        # Composite over whatever is there, alpha included (the icon starts clear).
        out_alpha = a + p[3] / 255.0 * (1 - a)
        for i in range(3):
            under = p[i] * (p[3] / 255.0) * (1 - a)
            p[i] = round((colour[i] * a + under) / out_alpha) if out_alpha else 0
        p[3] = round(out_alpha * 255)

    def fill_rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.px[y][x] = list(colour) + [255]

    def frame_rect(self, x0, y0, x1, y1, colour):
        self.fill_rect(x0, y0, x1, y0 + 1, colour)
        self.fill_rect(x0, y1 - 1, x1, y1, colour)
        self.fill_rect(x0, y0, x0 + 1, y1, colour)
        self.fill_rect(x1 - 1, y0, x1, y1, colour)

    def vertical_gradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(y0, y1):
            t = (y - y0) / max(1, y1 - y0 - 1)
            c = tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
            self.fill_rect(x0, y, x1, y + 1, c)

    def shape(self, inside, colour, box, samples=4):
        """Fills the pixels of `box` by the share of sub-samples `inside` accepts."""
        x0, y0, x1, y1 = box
        for y in range(max(0, int(y0)), min(self.height, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.width, int(math.ceil(x1)))):
                hits = sum(inside(x + (i + 0.5) / samples, y + (j + 0.5) / samples)
                           for i in range(samples) for j in range(samples))
                self.blend(x, y, colour, hits / samples ** 2)

    def disc(self, cx, cy, r, colour):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour,
                   (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))

    def ring(self, cx, cy, r, width, colour):
        inner, outer = r - width / 2, r + width / 2
        self.shape(lambda x, y: inner ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= outer ** 2,
                   colour, (cx - outer - 1, cy - outer - 1, cx + outer + 1, cy + outer + 1))

    def line(self, xa, ya, xb, yb, width, colour):
        dx, dy = xb - xa, yb - ya
        length2 = dx * dx + dy * dy or 1

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
            return (x - xa - t * dx) ** 2 + (y - ya - t * dy) ** 2 <= (width / 2) ** 2

        pad = width + 1
        self.shape(inside, colour, (min(xa, xb) - pad, min(ya, yb) - pad,
                                    max(xa, xb) + pad, max(ya, yb) + pad))

    def polygon(self, points, colour):
        def inside(x, y):
            crossings = 0
            for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1]):
                if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                    crossings += 1
            return crossings % 2 == 1

        xs, ys = [p[0] for p in points], [p[1] for p in points]
        self.shape(inside, colour, (min(xs) - 1, min(ys) - 1, max(xs) + 1, max(ys) + 1))

    def rounded_frame(self, x0, y0, x1, y1, r, face, edge):
        """A face with a one-pixel edge and corners rounded by radius r."""
        def inside(x, y, inset):
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= (r - inset) ** 2

        self.shape(lambda x, y: inside(x, y, 0), edge, (x0, y0, x1, y1))
        self.shape(lambda x, y: inside(x, y, 1), face, (x0, y0, x1, y1))


def rle8_row(row):
    """One row of indices in RLE8: runs as (count, index); three or more
    single pixels in a row in absolute mode (0, count, indices, pad to even)."""
    runs = []
    for index in row:
        if runs and runs[-1][1] == index and runs[-1][0] < 255:
            runs[-1][0] += 1
        else:
            runs.append([1, index])
    out = bytearray()
    i = 0
    while i < len(runs):
        j = i
        while j < len(runs) and runs[j][0] == 1 and j - i < 255:
            j += 1
        if j - i >= 3:
            out += bytes((0, j - i)) + bytes(r[1] for r in runs[i:j])
            if (j - i) % 2:
                out += b"\0"
            i = j
        else:
            out += bytes(runs[i])
            i += 1
    return bytes(out + b"\0\0")  # end of line


def bmp_bytes(pic):
    """A bottom-up 8-bit BMP, RLE8 compressed, with only the colours it uses."""
    colours = sorted({(r, g, b) for line in pic.px for r, g, b, _ in line})
    if len(colours) > 256:
        raise ValueError("more than 256 colours: RLE8 would lose some")
    index = {c: i for i, c in enumerate(colours)}
    data = b"".join(rle8_row([index[tuple(p[:3])] for p in pic.px[y]])
                    for y in reversed(range(pic.height))) + b"\0\1"  # end of bitmap
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, pic.width, pic.height, 1, 8, 1, len(data),
                       2835, 2835, len(colours), 0)
    return header + info + table + data


def icon_image_bytes(pic):
    """One image of an icon file: a 32-bit DIB (height doubled) and its AND mask."""
    xor = b"".join(bytes((b, g, r, a)) for y in reversed(range(pic.height))
                   for r, g, b, a in pic.px[y])
    mask_row = ((pic.width + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(pic.height)):
        bits = bytearray(mask_row)
        for x, p in enumerate(pic.px[y]):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, pic.width, pic.height * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + bytes(mask)


def ico_bytes(pics):
    images = [icon_image_bytes(p) for p in pics]
    out = struct.pack("<HHH", 0, 1, len(pics))
    offset = 6 + 16 * len(pics)
    for pic, image in zip(pics, images):
        size = pic.width % 256  # 0 stands for 256
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def clock_symbol(pic, cx, cy, r, rim, face, hands):
    pic.disc(cx, cy, r, rim)
    pic.disc(cx, cy, r - max(1.2, r * 0.18), face)
    pic.line(cx, cy, cx, cy - r * 0.62, max(1.0, r * 0.13), hands)
    pic.line(cx, cy, cx + r * 0.45, cy + r * 0.1, max(1.0, r * 0.13), hands)
    pic.disc(cx, cy, max(0.8, r * 0.1), hands)


def skin():
    pic = Picture(280, 366)
    pic.vertical_gradient(0, 0, 280, 30, TITLE_TOP, TITLE_BOTTOM)
    pic.fill_rect(0, 29, 280, 30, (196, 214, 232))
    pic.vertical_gradient(0, 357, 280, 366, (240, 245, 251), (222, 233, 244))
    clock_symbol(pic, 16.5, 15.5, 7.5, (70, 128, 182), WHITE, GLYPH)
    pic.frame_rect(0, 0, 280, 366, WINDOW_FRAME)
    return pic


def dial():
    pic = Picture(80, 80)
    for minute in range(60):
        angle = minute * math.pi / 30
        x, y = 40 + 35 * math.cos(angle), 40 + 35 * math.sin(angle)
        if minute % 5 == 0:
            pic.disc(x, y, 2.0, (130, 178, 222))
        else:
            pic.disc(x, y, 0.9, (176, 206, 234))
    pic.disc(40, 40, 2.0, (130, 178, 222))
    return pic


def big_button(look):
    faces = {"normal": (WHITE, FRAME), "hover": ((226, 236, 247), FRAME),
             "pressed": ((226, 236, 247), FRAME), "disabled": (WHITE, (192, 192, 192))}
    face, edge = faces[look]
    pic = Picture(94, 28)
    pic.rounded_frame(0, 0, 94, 28, 3, face, edge)
    return pic


TITLE_FACES = {"normal": (218, 231, 245), "hover": (236, 244, 252), "pressed": (190, 210, 233)}


def title_button(width, look, glyph):
    pic = Picture(width, 17, TITLE_FACES[look])
    colour = GLYPH
    if glyph == "close" and look != "normal":
        pic.fill_rect(0, 0, width, 17, (222, 66, 54) if look == "hover" else (178, 40, 30))
        colour = WHITE
    if look != "normal":
        pic.frame_rect(0, 0, width, 17, (150, 180, 212) if glyph != "close" else (160, 40, 30))
    cx = width / 2
    if glyph == "settings":
        pic.fill_rect(int(cx) - 4, 5, int(cx) + 5, 6, colour)
        pic.polygon([(cx - 4.5, 8), (cx + 4.5, 8), (cx, 12.5)], colour)
    elif glyph == "minimise":
        pic.fill_rect(int(cx) - 4, 10, int(cx) + 5, 12, colour)
    else:
        pic.line(cx - 3.5, 5, cx + 3.5, 12, 1.6, colour)
        pic.line(cx - 3.5, 12, cx + 3.5, 5, 1.6, colour)
    return pic


def icon(size):
    pic = Picture(size, size, (0, 0, 0), alpha=0)
    c = size / 2
    clock_symbol(pic, c, c, size * 0.46, (44, 110, 176), WHITE, (30, 52, 84))
    if size >= 32:
        for hour in range(12):
            angle = hour * math.pi / 6
            r = size * 0.31
            pic.disc(c + r * math.cos(angle), c + r * math.sin(angle), size / 40, (96, 150, 200))
        pic.disc(c, c, size * 0.05, (210, 40, 40))
    return pic


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "ui", "images")
    os.makedirs(out, exist_ok=True)
    files = {"skin.bmp": skin(), "dial.bmp": dial()}
    for look in ("normal", "hover", "pressed", "disabled"):
        files[f"big_button_{look}.bmp"] = big_button(look)
    for name, width in (("settings", 27), ("minimise", 26), ("close", 36)):
        for look in ("normal", "hover", "pressed"):
            files[f"{name}_{look}.bmp"] = title_button(width, look, name)
    for name, pic in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(bmp_bytes(pic))
    with open(os.path.join(out, "app.ico"), "wb") as f:
        f.write(ico_bytes([icon(s) for s in (64, 48, 32, 16)]))


if __name__ == "__main__":
    main()
