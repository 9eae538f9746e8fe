#!/usr/bin/env python3
"""Draws the pictures of the wizard and writes them into res/.

watermark.bmp (164 x 314) and header.bmp (59 x 59): 24-bit bitmaps of the wizard sheet.
Quillfire.ico: the program icon, 48, 32 and 16 pixels, 32-bit with alpha and AND mask.
hand.cur: the 32 x 32 monochrome pointing hand of the About links, hot spot (6, 0).
search.avi: the wait dialog's clip, a magnifier circling over a disc, 4 uncompressed
24-bit frames of 72 x 96 at 3 frames per second.

Standard library only; everything is computed, so a run writes the same bytes every time.
Usage: make-assets.py [--check] [output folder] (default: res/ beside this script's folder).
With --check nothing is written: the exit status says whether the files are up to date.
"""

import colorsys
import math
import os
import struct
import sys

TAU = 2.0 * math.pi


# ---- colour helpers -------------------------------------------------------------------------

def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def ramp(stops, t):
    """Piecewise-linear colour ramp; stops = [(position, (r, g, b)), ...] sorted by position."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def over(dst, src, alpha):
    """Composites colour src with coverage alpha over the opaque colour dst."""
    return mix(dst, src, alpha) if alpha > 0.0 else dst


class Layer:
    """A premultiplied RGBA accumulator for one sample: paint back to front."""

    __slots__ = ("r", "g", "b", "a")

    def __init__(self, colour=None):
        if colour is None:
            self.r = self.g = self.b = self.a = 0.0
        else:
            self.r, self.g, self.b = colour
            self.a = 1.0

    def paint(self, colour, alpha):
        if alpha <= 0.0:
            return
        k = 1.0 - alpha
        self.r = colour[0] * alpha + self.r * k
        self.g = colour[1] * alpha + self.g * k
        self.b = colour[2] * alpha + self.b * k
        self.a = alpha + self.a * k

    def add(self, colour, amount):
        """Additive light on an opaque sample (glows)."""
        self.r = min(1.0, self.r + colour[0] * amount)
        self.g = min(1.0, self.g + colour[1] * amount)
        self.b = min(1.0, self.b + colour[2] * amount)


# ---- motif: a recordable disc and a quill made of flame ---------------------------------------

SILVER = (0.80, 0.82, 0.86)
RIM = (0.42, 0.45, 0.52)


def disc_colour(dx, dy, radius, light=-2.2):
    """Colour and coverage of a disc centred at the origin, or None outside it.

    The recording surface shows the rainbow sheen of a real disc: two opposite bright wedges
    whose hue runs with the radius, around a clear hub with a hole in the middle.
    """
    r = math.hypot(dx, dy)
    if r > radius:
        return None
    q = r / radius
    if q < 0.15:
        return None  # the hub hole
    a = math.atan2(dy, dx)
    shade = 0.5 + 0.5 * math.cos(a - light)  # light from the upper left
    if q < 0.165:
        return ((0.45, 0.48, 0.55), 0.9)  # edge of the hole
    if q < 0.19:
        return (mix((0.62, 0.66, 0.72), (0.93, 0.95, 0.98), shade), 0.80)
    if q < 0.35:
        base = mix((0.70, 0.74, 0.80), (0.92, 0.94, 0.97), shade)
        if 0.27 < q < 0.29:  # stacking ring of the clamping area
            base = mix(base, (0.55, 0.58, 0.64), 0.5)
        return (base, 0.90)
    if q < 0.37:
        return (mix((0.50, 0.53, 0.60), (0.70, 0.72, 0.78), shade), 1.0)
    if q > 0.975:
        return (RIM, 1.0)
    silver = mix((0.58, 0.61, 0.68), (0.93, 0.94, 0.97), shade)
    wedge = max(0.0, math.cos(2.0 * (a - 0.55)))
    hue = (1.35 * q + 0.10 * math.sin(2.0 * a) + 0.55) % 1.0
    rainbow = colorsys.hsv_to_rgb(hue, 0.70, 1.0)
    colour = mix(silver, rainbow, 0.70 * wedge ** 1.5)
    glint = max(0.0, math.cos(2.0 * (a - 0.55))) ** 24
    colour = mix(colour, (1.0, 1.0, 1.0), 0.65 * glint * (0.4 + 0.6 * q))
    # faint ring at the end of the recorded area
    if 0.90 < q < 0.915:
        colour = mix(colour, (0.55, 0.58, 0.66), 0.35)
    return (colour, 1.0)


FLAME_RAMP = [
    (0.00, (0.55, 0.04, 0.02)),
    (0.25, (0.86, 0.18, 0.03)),
    (0.50, (1.00, 0.48, 0.06)),
    (0.75, (1.00, 0.80, 0.22)),
    (1.00, (1.00, 0.98, 0.82)),
]


class Quill:
    """A feather-shaped flame along a curved spine from base to tip, with a pen nib below.

    Local coordinates: v runs from 0 at the base to 1 at the tip along the direction of the
    quill, u across it. The spine bends sideways towards the tip like a flickering tongue.
    """

    def __init__(self, base, tip, width, bend, nib=0.0, shaft=0.0, licks=0, depth=0.0):
        self.bx, self.by = base
        dx, dy = tip[0] - base[0], tip[1] - base[1]
        self.length = math.hypot(dx, dy)
        self.ax, self.ay = dx / self.length, dy / self.length  # along
        self.width = width
        self.bend = bend
        self.nib = nib  # nib length below the base, in pixels (0: none)
        self.shaft = shaft  # shaft line width, in pixels (0: none)
        self.licks = licks  # flame licks along each edge, pointing to the tip
        self.depth = depth  # how deep the notches between licks cut, 0..1

    def local(self, x, y):
        px, py = x - self.bx, y - self.by
        along = px * self.ax + py * self.ay
        across = -px * self.ay + py * self.ax
        return along / self.length, across

    def half_width(self, v):
        if v <= 0.0 or v >= 1.0:
            return 0.0
        return self.width * math.sin(math.pi * v ** 0.62) ** 0.85

    def spine(self, v):
        return self.bend * v * v * v * self.length

    def edge(self, v, side):
        """Half width on one side, cut into licks that grow towards the tip."""
        hw = self.half_width(v)
        if self.licks and hw > 0.0:
            g = (v * self.licks + (0.5 if side > 0 else 0.0)) % 1.0
            hw *= 1.0 - self.depth * (1.0 - g) ** 2 * min(1.0, v * 1.6)
        return hw

    def sample(self, x, y):
        """(colour, alpha) of the quill at (x, y), or None."""
        v, u = self.local(x, y)
        if self.nib > 0.0:
            t = -v * self.length  # distance below the base
            if 0.0 <= t <= self.nib:
                half = 0.30 * self.width * (1.0 - t / self.nib) ** 0.9
                if abs(u) <= half:
                    gold = mix((0.98, 0.86, 0.45), (0.62, 0.42, 0.12), abs(u) / max(half, 1e-6))
                    if abs(u) < 0.6 and t > 0.35 * self.nib:
                        gold = (0.25, 0.14, 0.05)  # the nib's slit
                    return (gold, 1.0)
        off = u - self.spine(v)
        hw = self.edge(v, off)
        if hw <= 0.0:
            return None
        d = abs(off) / hw
        if d >= 1.0:
            return None
        dc = min(1.0, abs(off) / self.half_width(v))  # colour follows the uncut outline
        heat = (1.0 - dc) ** 0.8 * (1.0 - 0.55 * v) + 0.25 * (1.0 - v) * (1.0 - dc)
        colour = ramp(FLAME_RAMP, min(1.0, heat))
        if self.shaft > 0.0 and v < 0.85 and abs(u - self.spine(v)) < self.shaft * (1.0 - v):
            colour = mix(colour, (1.0, 1.0, 0.93), 0.85)
        alpha = min(1.0, (1.0 - d) * 6.0)  # a soft rim
        return (colour, alpha)

    def glow(self, x, y, reach):
        """Strength 0..1 of the warm light around the flame."""
        v, u = self.local(x, y)
        vc = min(max(v, 0.02), 0.98)
        hw = max(self.half_width(vc), 1.0)
        d = abs(u - self.spine(vc)) - hw
        if v < 0.0:
            d = math.hypot(max(d, 0.0), -v * self.length)
        elif v > 1.0:
            d = math.hypot(max(d, 0.0), (v - 1.0) * self.length)
        d = max(d, 0.0)
        return math.exp(-(d / reach) ** 2)


# ---- raster helpers ---------------------------------------------------------------------------

def render(width, height, shade, ss):
    """Supersamples shade(x, y) -> Layer on an ss x ss grid per pixel.

    Returns rows (top first) of straight-alpha (r, g, b, a) tuples, 0..255.
    """
    rows = []
    inv = 1.0 / (ss * ss)
    offsets = [(i + 0.5) / ss for i in range(ss)]
    for py in range(height):
        row = []
        for px in range(width):
            r = g = b = a = 0.0
            for oy in offsets:
                for ox in offsets:
                    s = shade(px + ox, py + oy)
                    r += s.r
                    g += s.g
                    b += s.b
                    a += s.a
            a *= inv
            if a > 0.0:
                k = inv / a
                row.append((to_byte(r * k), to_byte(g * k), to_byte(b * k), to_byte(a)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def to_byte(x):
    return max(0, min(255, int(x * 255.0 + 0.5)))


def bmp_24(rows):
    """A BITMAPFILEHEADER + BITMAPINFOHEADER 24-bit bottom-up bitmap of opaque rows."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def icon_image(rows):
    """One 32-bit icon image: BITMAPINFOHEADER (double height), BGRA pixels, AND mask."""
    size = len(rows)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[x >> 3] |= 0x80 >> (x & 7)
        mask += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def ico_file(images):
    """An .ico file from (size, image bytes) pairs."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return out + entries + blobs


# ---- the pictures -----------------------------------------------------------------------------

def watermark():
    w, h = 164, 314
    cx, cy, radius = 82.0, 116.0, 64.0
    quill = Quill(base=(62.0, 268.0), tip=(114.0, 146.0), width=21.0, bend=-0.16, nib=26.0,
                  shaft=1.3, licks=5, depth=0.35)
    tongues = [Quill(base=(60.0, 262.0), tip=(40.0, 200.0), width=9.0, bend=0.25, licks=2, depth=0.3),
               Quill(base=(68.0, 258.0), tip=(112.0, 214.0), width=8.0, bend=-0.25, licks=2, depth=0.3)]
    embers = [(126, 128, 1.6), (134, 158, 1.2), (140, 112, 1.0), (146, 136, 1.3),
              (124, 96, 0.9), (150, 176, 1.0), (132, 84, 0.8), (28, 206, 1.0), (20, 180, 0.8)]
    top, mid, low = (0.04, 0.09, 0.27), (0.10, 0.12, 0.38), (0.24, 0.07, 0.20)

    def shade(x, y):
        t = y / h
        bg = mix(top, mid, t / 0.55) if t < 0.55 else mix(mid, low, (t - 0.55) / 0.45)
        s = Layer(bg)
        # a cool halo round the disc and the warm light of the flame
        rr = math.hypot(x - cx, y - cy)
        s.add((0.35, 0.55, 1.0), 0.45 * math.exp(-((rr - radius) / 14.0) ** 2))
        s.add((1.0, 0.45, 0.10), 0.55 * quill.glow(x, y, 18.0))
        for ex, ey, er in embers:
            d = math.hypot(x - ex, y - ey)
            if d < er * 4.0:
                s.add((1.0, 0.75, 0.35), math.exp(-(d / er) ** 2))
        d = disc_colour(x - cx, y - cy, radius)
        if d:
            s.paint(*d)
        for q in tongues + [quill]:
            f = q.sample(x, y)
            if f:
                s.paint(*f)
        return s

    return render(w, h, shade, 4)


def header():
    size = 59
    cx, cy, radius = 27.0, 28.0, 25.5
    quill = Quill(base=(39.0, 57.0), tip=(53.5, 18.0), width=8.5, bend=-0.2, shaft=0.7,
                  licks=3, depth=0.3)

    def shade(x, y):
        s = Layer((1.0, 1.0, 1.0))  # the header band is white
        g = quill.glow(x, y, 5.0)
        s.paint((1.0, 0.80, 0.55), 0.45 * g)
        # soft shadow under the disc
        rr = math.hypot(x - cx - 1.2, y - cy - 1.6)
        s.paint((0.45, 0.48, 0.58), 0.35 * max(0.0, min(1.0, (radius + 1.5 - rr) / 2.5)))
        d = disc_colour(x - cx, y - cy, radius)
        if d:
            s.paint(*d)
        f = quill.sample(x, y)
        if f:
            s.paint(*f)
        return s

    return render(size, size, shade, 4)


def icon(size):
    k = size / 48.0
    cx, cy, radius = 22.0 * k, 23.0 * k, 21.5 * k
    quill = Quill(base=(32.0 * k, 47.5 * k), tip=(44.0 * k, 13.0 * k), width=7.6 * k,
                  bend=-0.2, shaft=0.7 * k if size >= 32 else 0.0,
                  licks=3 if size >= 32 else 0, depth=0.3)

    def shade(x, y):
        s = Layer()
        rr = math.hypot(x - cx - 0.8 * k, y - cy - 1.2 * k)
        s.paint((0.0, 0.0, 0.0), 0.30 * max(0.0, min(1.0, (radius + 1.0 * k - rr) / (2.0 * k))))
        d = disc_colour(x - cx, y - cy, radius)
        if d:
            s.paint(*d)
        f = quill.sample(x, y)
        if f:
            s.paint(*f)
        return s

    return render(size, size, shade, 6)


HAND = """
.....###..........
....#...#.........
....#...#.........
....#...#.........
....#...#.........
....#...###.......
....#...#..###....
....#...#..#..##..
....#...#..#..#.#.
.##.#...#..#..#..#
#..##............#
#...#............#
.#..#............#
..#..............#
..#..............#
...#............#.
...#............#.
....#..........#..
....#..........#..
.....#.........#..
.....#.........#..
.....###########..
"""


def cursor():
    """A 32 x 32 monochrome cursor: '#' black outline, '.' inside the hand white, rest clear."""
    art = [line for line in HAND.strip("\n").split("\n")]
    size = 32
    # inside = the outline's enclosed area, found by flooding the outside from the border
    grid = [[art[y][x] if y < len(art) and x < len(art[y]) else "." for x in range(size)]
            for y in range(size)]
    outside = [[False] * size for _ in range(size)]
    stack = [(x, y) for x in range(size) for y in (0, size - 1)]
    stack += [(x, y) for y in range(size) for x in (0, size - 1)]
    while stack:
        x, y = stack.pop()
        if 0 <= x < size and 0 <= y < size and not outside[y][x] and grid[y][x] != "#":
            outside[y][x] = True
            stack += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    stride = 4
    xor = bytearray()
    and_mask = bytearray()
    for y in reversed(range(size)):
        xrow, arow = bytearray(stride), bytearray(stride)
        for x in range(size):
            bit = 0x80 >> (x & 7)
            if grid[y][x] == "#":
                pass  # black: AND 0, XOR 0
            elif outside[y][x]:
                arow[x >> 3] |= bit  # transparent: AND 1, XOR 0
            else:
                xrow[x >> 3] |= bit  # white: AND 0, XOR 1
        xor += xrow
        and_mask += arow
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(and_mask), 0, 0, 2, 2)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + palette + xor + and_mask
    hot_x, hot_y = 6, 0
    return (struct.pack("<HHH", 0, 2, 1)
            + struct.pack("<BBBBHHII", size, size, 2, 0, hot_x, hot_y, len(image), 6 + 16)
            + image)


# The animation control treats the colour of the first pixel as see-through, so the clip's
# background is one flat colour close to a dialog face and edges are smoothed against it.
AVI_KEY = (240.0 / 255.0, 240.0 / 255.0, 240.0 / 255.0)


def avi_frame(index):
    w, h = 72, 96
    cx, cy, radius = 36.0, 38.0, 30.0
    angle = TAU * index / 4.0 - math.pi * 0.75
    lx, ly = cx + 13.0 * math.cos(angle), cy + 12.0 * math.sin(angle)
    lens, ring = 12.0, 3.0
    zoom = 1.7
    hx, hy = math.cos(math.pi / 4), math.sin(math.pi / 4)  # handle towards the lower right

    def scene(x, y, s):
        rr = math.hypot(x - cx - 1.0, y - cy - 1.5)
        s.paint((0.45, 0.47, 0.55), 0.35 * max(0.0, min(1.0, (radius + 1.5 - rr) / 2.0)))
        d = disc_colour(x - cx, y - cy, radius, light=-2.2 + 0.35 * index)
        if d:
            s.paint(*d)

    def shade(x, y):
        s = Layer(AVI_KEY)
        dl = math.hypot(x - lx, y - ly)
        if dl < lens:
            # through the glass: the disc magnified round the lens centre, slightly tinted
            scene(lx + (x - lx) / zoom, ly + (y - ly) / zoom, s)
            s.paint((0.75, 0.88, 1.0), 0.18 + 0.25 * (dl / lens) ** 4)
            # a highlight on the glass
            hl = math.hypot(x - lx + 0.35 * lens, y - ly + 0.40 * lens)
            s.paint((1.0, 1.0, 1.0), 0.7 * max(0.0, 1.0 - hl / (0.32 * lens)))
        else:
            scene(x, y, s)
        # handle: a rounded bar from the rim outwards
        px, py = x - lx, y - ly
        along = px * hx + py * hy
        across = abs(-px * hy + py * hx)
        if lens + ring - 1.0 < along < lens + ring + 22.0 and across < 3.2:
            grip = along > lens + ring + 6.0
            base = (0.35, 0.20, 0.10) if grip else (0.55, 0.57, 0.62)
            lit = (0.70, 0.45, 0.25) if grip else (0.88, 0.90, 0.94)
            s.paint(mix(lit, base, across / 3.2), 1.0)
        # metal ring of the lens
        if lens <= dl < lens + ring:
            t = (dl - lens) / ring
            edge = math.cos(math.atan2(y - ly, x - lx) + 2.3)
            s.paint(mix((0.30, 0.32, 0.38), (0.85, 0.87, 0.92), 0.5 + 0.5 * edge * (1.0 - abs(2 * t - 1))), 1.0)
        return s

    return render(w, h, shade, 3)


def avi_file(frames, width, height, usec_per_frame):
    """A RIFF AVI with one uncompressed 24-bit video stream and an idx1 index."""
    stride = (width * 3 + 3) & ~3
    frame_bytes = stride * height
    rate, scale = round(1000000 / usec_per_frame), 1  # 3 frames per second

    def chunk(fourcc, data):
        pad = b"\0" if len(data) % 2 else b""
        return fourcc + struct.pack("<I", len(data)) + data + pad

    def lst(kind, data):
        return chunk(b"LIST", kind + data)

    dibs = []
    for rows in frames:
        pixels = bytearray()
        for row in reversed(rows):
            line = bytearray()
            for r, g, b, _ in row:
                line += bytes((b, g, r))
            line += bytes(stride - len(line))
            pixels += line
        dibs.append(bytes(pixels))

    avih = struct.pack("<IIIIIIIIII4I", usec_per_frame,
                       frame_bytes * 1000000 // usec_per_frame + 1, 0, 0x10,
                       len(frames), 0, 1, frame_bytes, width, height, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"DIB ", 0, 0, 0, 0, scale, rate,
                       0, len(frames), frame_bytes, 0xFFFFFFFF, 0, 0, 0, width, height)
    strf = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, frame_bytes, 0, 0, 0, 0)
    hdrl = lst(b"hdrl", chunk(b"avih", avih) + lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf)))

    movi_body = b""
    index = b""
    for dib in dibs:
        offset = 4 + len(movi_body)  # from the 'movi' fourcc
        index += struct.pack("<4sIII", b"00db", 0x10, offset, len(dib))
        movi_body += chunk(b"00db", dib)
    movi = lst(b"movi", movi_body)
    body = b"AVI " + hdrl + movi + chunk(b"idx1", index)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    args = sys.argv[1:]
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    here = os.path.dirname(os.path.abspath(__file__))
    out = args[0] if args else os.path.join(here, "..", "res")
    stale = []

    def write(name, data):
        path = os.path.join(out, name)
        if check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(name)
            return
        with open(path, "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")

    if not check:
        os.makedirs(out, exist_ok=True)
    write("watermark.bmp", bmp_24(watermark()))
    write("header.bmp", bmp_24(header()))
    write("Quillfire.ico", ico_file([(s, icon_image(icon(s))) for s in (48, 32, 16)]))
    write("hand.cur", cursor())
    frames = [avi_frame(i) for i in range(4)]
    write("search.avi", avi_file(frames, 72, 96, 333333))
    if stale:
        print("differs from a fresh drawing: " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
