#!/usr/bin/env python3
"""Draws the window's pictures and the application icon and writes them as
256-colour bitmaps (BMP, 8 bits per pixel with a colour table) and a Windows
icon file. Only the Python standard library is used.

The generated files are kept in the repository, so the build does not need
this script; run it again after changing a drawing:

    python3 resources/make_pictures.py            # writes beside this script
    python3 resources/make_pictures.py OUTDIR

Every bitmap has a pure white background, bottom-left pixel included: the
program draws that colour transparent. Shapes never use pure white (a white
check mark is drawn a hair off white), so only the background disappears.
"""

import math
import os
import struct
import sys

WHITE = (255, 255, 255)
OFF_WHITE = (250, 250, 250)


# ---------------------------------------------------------------------------
# A supersampled canvas. Shapes are inside-tests in picture coordinates
# (pixels, floats); colours may be fixed or functions of the position.


class Canvas:
    def __init__(self, width, height, samples=4):
        self.width = width
        self.height = height
        self.samples = samples
        self.cells = [None] * (width * samples * height * samples)

    def fill(self, inside, colour, box=None):
        """Paints every sample for which inside(x, y) holds."""
        s = self.samples
        sw = self.width * s
        if box is None:
            box = (0, 0, self.width, self.height)
        x0 = max(0, int(math.floor(box[0] * s)))
        y0 = max(0, int(math.floor(box[1] * s)))
        x1 = min(sw, int(math.ceil(box[2] * s)))
        y1 = min(self.height * s, int(math.ceil(box[3] * s)))
        shade = colour if callable(colour) else (lambda x, y, c=colour: c)
        for sy in range(y0, y1):
            y = (sy + 0.5) / s
            row = sy * sw
            for sx in range(x0, x1):
                x = (sx + 0.5) / s
                if inside(x, y):
                    self.cells[row + sx] = shade(x, y)

    def outlined(self, inside, outline, colour, width=1.0, box=None):
        """Paints a shape with an outline of the given width inside its edge."""
        self.fill(inside, outline, box)
        self.fill(eroded(inside, width), colour, box)

    def pixels(self):
        """Returns rows of (r, g, b, coverage): the mean colour of the painted
        samples of each pixel and the share of its samples that were painted."""
        s = self.samples
        sw = self.width * s
        rows = []
        for py in range(self.height):
            row = []
            for px in range(self.width):
                r = g = b = n = 0
                for sy in range(py * s, py * s + s):
                    base = sy * sw
                    for sx in range(px * s, px * s + s):
                        c = self.cells[base + sx]
                        if c is not None:
                            r += c[0]
                            g += c[1]
                            b += c[2]
                            n += 1
                if n:
                    row.append((round(r / n), round(g / n), round(b / n), n / (s * s)))
                else:
                    row.append((255, 255, 255, 0.0))
            rows.append(row)
        return rows


def opaque_rows(canvas):
    """Pixels for a bitmap with a white (transparent) background: a pixel at
    least half covered takes its shapes' colour, never pure white; the rest is
    background white."""
    out = []
    for row in canvas.pixels():
        line = []
        for r, g, b, a in row:
            if a >= 0.5:
                c = (r, g, b)
                if c == WHITE:
                    c = OFF_WHITE
                line.append(c)
            else:
                line.append(WHITE)
        out.append(line)
    return out


# ---------------------------------------------------------------------------
# Shapes


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def ring(cx, cy, r_outer, r_inner):
    return lambda x, y: r_inner * r_inner <= (x - cx) ** 2 + (y - cy) ** 2 <= r_outer * r_outer


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius

    return inside


def polygon(points):
    n = len(points)

    def inside(x, y):
        hit = False
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit

    return inside


def segment(x0, y0, x1, y1, half_width):
    """A thick line with round ends."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / length2
        t = min(1.0, max(0.0, t))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width

    return inside


def polyline(points, half_width):
    parts = [segment(*points[i], *points[i + 1], half_width) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def gear(cx, cy, r_outer, r_root, teeth, r_hole=0.0, turn=0.0):
    """A gear wheel: trapezoid teeth around a hub with an optional hole."""

    def radius(angle):
        f = (angle * teeth / (2 * math.pi) + turn) % 1.0
        if f < 0.12 or f >= 0.88:
            return r_root
        if f < 0.3:
            return r_root + (r_outer - r_root) * (f - 0.12) / 0.18
        if f < 0.7:
            return r_outer
        return r_outer - (r_outer - r_root) * (f - 0.7) / 0.18

    def inside(x, y):
        dx, dy = x - cx, y - cy
        d2 = dx * dx + dy * dy
        if d2 < r_hole * r_hole:
            return False
        if d2 > r_outer * r_outer:
            return False
        return math.sqrt(d2) <= radius(math.atan2(dy, dx))

    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


def eroded(shape, d):
    """The part of a shape at least d from its edge (tested in 8 directions)."""
    if d <= 0:
        return shape
    k = d * math.sqrt(0.5)
    offsets = [(d, 0), (-d, 0), (0, d), (0, -d), (k, k), (k, -k), (-k, k), (-k, -k)]
    return lambda x, y: shape(x, y) and all(shape(x + ox, y + oy) for ox, oy in offsets)


def bbox(cx, cy, r):
    return (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1)


# ---------------------------------------------------------------------------
# Colours


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def linear(a, b, x0, y0, x1, y1):
    """A colour running from a at (x0, y0) to b at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    return lambda x, y: mix(a, b, ((x - x0) * dx + (y - y0) * dy) / length2)


def radial(inner, outer, cx, cy, r):
    return lambda x, y: mix(inner, outer, math.sqrt((x - cx) ** 2 + (y - cy) ** 2) / r)


# ---------------------------------------------------------------------------
# The pictures


def folder_search():
    """A yellow folder with a blue magnifying glass over it (24 x 24)."""
    c = Canvas(24, 24)
    edge = (150, 110, 10)
    # Back of the folder with its tab.
    back = polygon([(1.5, 5), (2.5, 3.5), (8, 3.5), (9.5, 5.5), (20.5, 5.5), (20.5, 19.5), (1.5, 19.5)])
    c.outlined(back, edge, linear((250, 215, 90), (215, 165, 30), 0, 3, 0, 20), 1.0)
    # Front flap, slanted like an opened folder.
    front = polygon([(4.5, 9), (22.5, 9), (19.5, 20.5), (1.5, 20.5)])
    c.outlined(front, edge, linear((255, 238, 130), (240, 190, 40), 0, 9, 0, 21), 1.0)
    # Magnifying glass: handle first, then the ring with its lens.
    c.fill(segment(16.5, 16.5, 22, 22, 1.9), (20, 40, 120))
    c.fill(segment(16.8, 16.8, 21.6, 21.6, 1.0), (60, 90, 190))
    c.fill(disc(13, 13, 6.2), (20, 50, 150))
    c.fill(disc(13, 13, 4.4), radial((215, 235, 255), (120, 170, 235), 11.5, 11.5, 5.5))
    c.fill(segment(10.8, 11.8, 12.0, 10.6, 0.7), OFF_WHITE)
    return opaque_rows(c)


def lightning_plug():
    """A yellow lightning bolt beside a grey plug with orange prongs (32 x 32)."""
    c = Canvas(32, 32)
    # Lightning bolt on the left.
    bolt = polygon([(9.5, 1.5), (15.5, 1.5), (11.5, 11.5), (16.5, 11.5), (5.5, 30.5), (8.5, 16.5), (3.5, 16.5)])
    c.outlined(bolt, (170, 90, 0), linear((255, 250, 120), (250, 190, 0), 4, 2, 14, 28), 1.1)
    # Cable leaving the plug downwards.
    c.fill(polyline([(24, 22), (24, 26.5), (21, 29), (17, 30.5)], 1.5), (60, 60, 60))
    # Orange prongs standing up from the plug.
    for px in (19.5, 25.5):
        c.outlined(rect(px - 1.5, 3.5, px + 1.5, 12), (150, 70, 0), (255, 150, 30), 0.9)
    # Grey plug body.
    body = rounded_rect(16.5, 10.5, 31, 23.5, 2.5)
    c.outlined(body, (70, 70, 75), linear((215, 215, 220), (120, 120, 128), 17, 10, 30, 24), 1.1)
    c.fill(rect(18.5, 13, 29, 14.2), (235, 235, 240))
    c.fill(rect(20, 18.5, 27.5, 20), (100, 100, 108))
    return opaque_rows(c)


def round_badge(base_light, base_dark, edge, mark):
    c = Canvas(32, 32)
    c.outlined(disc(16, 16, 14.6), edge, radial(base_light, base_dark, 12, 11, 19), 1.2)
    c.fill(ellipse(13.5, 9.5, 7, 4), lambda x, y: mix(base_light, (250, 250, 250), 0.45 - (y - 6) / 16))
    c.fill(mark, OFF_WHITE)
    return opaque_rows(c)


def check_mark():
    """A green disc with a white check mark (32 x 32)."""
    return round_badge((110, 220, 90), (10, 120, 20), (0, 80, 10), polyline([(8.5, 16.5), (13.5, 22), (23.5, 10)], 2.3))


def cross_mark():
    """A red disc with a white cross (32 x 32)."""
    mark = union(segment(10.5, 10.5, 21.5, 21.5, 2.3), segment(21.5, 10.5, 10.5, 21.5, 2.3))
    return round_badge((255, 110, 100), (180, 10, 10), (120, 0, 0), mark)


def gears_play():
    """Two lilac-grey gear wheels with a green play triangle at the lower right (32 x 32)."""
    c = Canvas(32, 32)
    lilac_edge = (80, 70, 105)
    big = gear(12, 12, 10.8, 8.2, 10, 3.2)
    c.outlined(big, lilac_edge, linear((220, 212, 238), (140, 128, 170), 2, 2, 22, 22), 1.0)
    c.fill(ring(12, 12, 4.6, 3.2), (120, 108, 150))
    small = gear(23.5, 9, 7.2, 5.3, 8, 2.2, turn=0.25)
    c.outlined(small, lilac_edge, linear((210, 200, 232), (130, 118, 160), 16, 2, 31, 16), 1.0)
    play = polygon([(17.5, 16.5), (31, 23.5), (17.5, 30.5)])
    c.outlined(play, (0, 90, 20), linear((140, 240, 110), (20, 160, 40), 17, 17, 28, 30), 1.1)
    return opaque_rows(c)


def gears_panel():
    """A grey square with curved corners, a dark perforated background and
    three metal gear wheels (100 x 100)."""
    c = Canvas(100, 100, samples=3)
    outer = rounded_rect(1, 1, 99, 99, 14)
    c.outlined(outer, (70, 70, 75), linear((225, 225, 230), (130, 130, 138), 0, 0, 100, 100), 1.5)
    inner = rounded_rect(9, 9, 91, 91, 9)
    c.outlined(inner, (40, 40, 44), (48, 48, 54), 1.2)

    # Perforation: a grid of small holes in the dark plate.
    def holes(x, y):
        if not eroded(inner, 2.5)(x, y):
            return False
        gx = (x - 9) % 5.0
        gy = (y - 9) % 5.0
        return (gx - 2.5) ** 2 + (gy - 2.5) ** 2 <= 1.1

    c.fill(holes, (18, 18, 22), (9, 9, 91, 91))

    metal_edge = (60, 62, 70)

    def metal(cx, cy, r):
        return lambda x, y: mix(
            (245, 246, 250), (105, 108, 118), ((x - cx) + (y - cy)) / (2.4 * r) + 0.5
        )

    wheels = [(38, 40, 24, 19, 14, 7.5), (69, 62, 17, 13, 11, 5.0), (40, 74, 12, 9, 9, 3.5)]
    for cx, cy, ro, rr, n, rh in wheels:
        shape = gear(cx, cy, ro, rr, n, rh, turn=0.1 * n)
        c.outlined(shape, metal_edge, metal(cx, cy, ro), 1.3, bbox(cx, cy, ro))
        c.fill(ring(cx, cy, rh + 3.2, rh), lambda x, y, cx=cx, cy=cy, ro=ro: mix(metal(cx, cy, ro)(x, y), (70, 72, 80), 0.35), bbox(cx, cy, ro))
        c.fill(ring(cx, cy, rr - 2.0, rr - 3.4), (125, 128, 138), bbox(cx, cy, ro))
    return opaque_rows(c)


def floppy(c, x0, y0, size, body_light, body_dark, edge):
    """One floppy disk with its top-left corner at (x0, y0)."""
    u = size / 16.0
    cut = 2.5 * u
    body = polygon([(x0, y0), (x0 + size - cut, y0), (x0 + size, y0 + cut), (x0 + size, y0 + size), (x0, y0 + size)])
    c.outlined(body, edge, linear(body_light, body_dark, x0, y0, x0 + size, y0 + size), max(0.7, 0.8 * u))
    # Metal shutter at the top with its window.
    c.fill(rect(x0 + 3.5 * u, y0 + 0.8 * u, x0 + 12 * u, y0 + 5.8 * u), linear((235, 238, 245), (150, 155, 170), x0, y0, x0 + size, y0 + 6 * u))
    c.fill(rect(x0 + 9 * u, y0 + 1.8 * u, x0 + 10.8 * u, y0 + 4.8 * u), (40, 50, 80))
    # White label at the bottom with two lines of writing.
    c.fill(rect(x0 + 2.8 * u, y0 + 8.2 * u, x0 + 13.2 * u, y0 + size - 0.9 * u), (250, 250, 250))
    if size >= 20:
        for ly in (10.5, 12.8):
            c.fill(rect(x0 + 4.2 * u, y0 + ly * u, x0 + 11.8 * u, y0 + (ly + 0.7) * u), (90, 110, 170))


def disks(size):
    """Two blue floppy disks, one behind the other."""
    c = Canvas(size, size, samples=8 if size < 32 else 4)
    d = size * 0.72
    off = size - d - 0.5
    floppy(c, 0.5, 0.5, d, (120, 160, 235), (30, 60, 150), (10, 25, 80))
    floppy(c, off, off, d, (90, 140, 240), (10, 40, 160), (5, 15, 70))
    return c


# ---------------------------------------------------------------------------
# Colour reduction to at most 256 colours (median cut)


def palette_for(colours, limit=256):
    unique = sorted(set(colours))
    if len(unique) <= limit:
        return unique
    boxes = [unique]
    while len(boxes) < limit:
        # Split the box with the widest colour range.
        best, best_range, best_channel = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                values = [c[ch] for c in box]
                span = max(values) - min(values)
                if span > best_range:
                    best, best_range, best_channel = i, span, ch
        if best is None or best_range == 0:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[best_channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    result = []
    for box in boxes:
        result.append(tuple(round(sum(c[ch] for c in box) / len(box)) for ch in range(3)))
    return sorted(set(result))


def indexed(rows, keep=(WHITE,)):
    """Turns rows of colours into (palette, rows of indices). The colours in
    keep stay exact members of the palette; no other colour maps onto them."""
    flat = [c for row in rows for c in row]
    others = [c for c in flat if c not in keep]
    palette = list(keep) + [c for c in palette_for(others, 256 - len(keep)) if c not in keep]
    lookup = {}

    def nearest(c):
        if c in keep:
            return palette.index(c)
        best, best_d = len(keep), None
        for i in range(len(keep), len(palette)):
            p = palette[i]
            d = (p[0] - c[0]) ** 2 + (p[1] - c[1]) ** 2 + (p[2] - c[2]) ** 2
            if best_d is None or d < best_d:
                best, best_d = i, d
        return best

    out = []
    for row in rows:
        line = []
        for c in row:
            if c not in lookup:
                lookup[c] = nearest(c)
            line.append(lookup[c])
        out.append(line)
    return palette, out


# ---------------------------------------------------------------------------
# File formats


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def dib_8bit(rows, palette, height_factor=1, mask=None):
    """A BITMAPINFOHEADER, a 256-entry colour table and bottom-up 8-bit rows;
    with mask, the 1-bit AND mask of an icon follows."""
    height = len(rows)
    width = len(rows[0])
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    table += b"\0\0\0\0" * (256 - len(palette))
    bits = b"".join(pad4(bytes(row)) for row in reversed(rows))
    if mask is not None:
        bits += and_mask(mask)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * height_factor, 1, 8, 0, len(bits), 3780, 3780, 256, 0)
    return header + table + bits


def dib_32bit(rgba_rows, mask):
    height = len(rgba_rows)
    width = len(rgba_rows[0])
    bits = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(rgba_rows) for r, g, b, a in row)
    bits += and_mask(mask)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(bits), 0, 0, 0, 0)
    return header + bits


def and_mask(transparent_rows):
    out = b""
    for row in reversed(transparent_rows):
        bits = bytearray((len(row) + 7) // 8)
        for x, t in enumerate(row):
            if t:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += pad4(bytes(bits))
    return out


def write_bmp(path, rows):
    palette, index_rows = indexed(rows)
    dib = dib_8bit(index_rows, palette)
    offset = 14 + 40 + 256 * 4
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, offset))
        f.write(dib)


def write_ico(path, canvases):
    """An icon with, for each canvas, one 256-colour image (AND mask for the
    transparency) and one 32-bit image with an alpha channel."""
    images = []
    for c in canvases:
        px = c.pixels()
        transparent = [[a < 0.5 for _, _, _, a in row] for row in px]
        rows = [[(r, g, b) if a >= 0.5 else (0, 0, 0) for r, g, b, a in row] for row in px]
        palette, index_rows = indexed(rows, keep=((0, 0, 0),))
        images.append((c.width, 8, dib_8bit(index_rows, palette, 2, transparent)))
    for c in canvases:
        px = c.pixels()
        rgba = [[(r, g, b, round(a * 255)) if a > 0 else (0, 0, 0, 0) for r, g, b, a in row] for row in px]
        transparent = [[a == 0 for _, _, _, a in row] for row in px]
        images.append((c.width, 32, dib_32bit(rgba, transparent)))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, depth, dib in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, depth, len(dib), offset + len(data))
        data += dib
    with open(path, "wb") as f:
        f.write(directory + data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    pictures = {
        "folder_search.bmp": folder_search,
        "test_connection.bmp": lightning_plug,
        "ok.bmp": check_mark,
        "error.bmp": cross_mark,
        "gears_play.bmp": gears_play,
        "gears_panel.bmp": gears_panel,
    }
    for name, draw in pictures.items():
        write_bmp(os.path.join(out, name), draw())
        print("wrote", name)
    write_ico(os.path.join(out, "zur.ico"), [disks(s) for s in (16, 24, 32, 48)])
    print("wrote zur.ico")


if __name__ == "__main__":
    main()
