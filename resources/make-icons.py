#!/usr/bin/env python3
"""Draws the toolbar pictures and the application emblem of RHEOTRACKPANEL as PNG files.

Only the Python standard library is used. Every picture is drawn in a 21 x 21 unit square,
rendered at 4 x 4 samples per pixel and averaged, so the small pictures keep smooth edges.

    resources/make-icons.py            # writes resources/toolbar/*.png
    resources/make-icons.py OUTDIR     # writes into OUTDIR instead

Written files:
    tb-1.png .. tb-6.png    ImageList2: New, Open, Close, View Log, Port, emblem (21 x 21)
    tb-7.png, hot-7.png     place 7 of both lists: Trend (plain and lit)
    hot-1.png .. hot-5.png  ImageList1: the same five commands, lit, for a hovered button
    hot-6.png               ImageList1 place 6: the emblem again
    app-16.png .. app-128.png  the emblem as the application icon
    rheotrackpanel.ico      the emblem in 16, 24, 32, 48, 64, 128 and 256 pixels, the icon of
                            the Windows programs and installer (resources/rheotrackpanel.rc);
                            written beside this script, or into OUTDIR
"""

import math
import os
import struct
import sys
import zlib

UNITS = 21.0
SAMPLES = 4


class Canvas:
    """A square RGBA picture of `size` pixels drawn in a 21-unit coordinate system."""

    def __init__(self, size):
        self.size = size
        self.n = size * SAMPLES
        self.scale = self.n / UNITS
        # premultiplied RGBA per sample
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.n * self.n)]

    def _blend(self, i, color):
        r, g, b, a = color
        p = self.px[i]
        p[0] = r * a + p[0] * (1 - a)
        p[1] = g * a + p[1] * (1 - a)
        p[2] = b * a + p[2] * (1 - a)
        p[3] = a + p[3] * (1 - a)

    def polygon(self, points, color):
        """Fills a polygon (even-odd rule); points in units."""
        pts = [(x * self.scale, y * self.scale) for x, y in points]
        ys = [p[1] for p in pts]
        y0 = max(0, int(math.floor(min(ys))))
        y1 = min(self.n - 1, int(math.ceil(max(ys))))
        count = len(pts)
        for sy in range(y0, y1 + 1):
            cy = sy + 0.5
            xs = []
            for k in range(count):
                ax, ay = pts[k]
                bx, by = pts[(k + 1) % count]
                if (ay <= cy < by) or (by <= cy < ay):
                    xs.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for k in range(0, len(xs) - 1, 2):
                sx0 = max(0, int(math.ceil(xs[k] - 0.5)))
                sx1 = min(self.n - 1, int(math.floor(xs[k + 1] - 0.5)))
                for sx in range(sx0, sx1 + 1):
                    self._blend(sy * self.n + sx, color)

    def rect(self, x, y, w, h, color):
        self.polygon([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], color)

    def frame(self, x, y, w, h, width, fill, edge):
        self.rect(x, y, w, h, edge)
        self.rect(x + width, y + width, w - 2 * width, h - 2 * width, fill)

    def line(self, x0, y0, x1, y1, width, color):
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny),
                      (x0 - nx, y0 - ny)], color)

    def polyline(self, points, width, color):
        for a, b in zip(points, points[1:]):
            self.line(a[0], a[1], b[0], b[1], width, color)
        for x, y in points[1:-1]:
            self.disc(x, y, width / 2, color)

    def disc(self, cx, cy, r, color, steps=40):
        self.polygon([(cx + r * math.cos(2 * math.pi * k / steps),
                       cy + r * math.sin(2 * math.pi * k / steps)) for k in range(steps)],
                     color)

    def ring(self, cx, cy, r, width, color, steps=48):
        outer = [(cx + r * math.cos(2 * math.pi * k / steps),
                  cy + r * math.sin(2 * math.pi * k / steps)) for k in range(steps)]
        inner = [(cx + (r - width) * math.cos(2 * math.pi * k / steps),
                  cy + (r - width) * math.sin(2 * math.pi * k / steps))
                 for k in range(steps)][::-1]
        # even-odd fill of both outlines joined by a seam gives the ring
        self.polygon(outer + [outer[0]] + inner + [inner[0]], color)

    def pixels(self):
        """Averages the samples down to 8-bit straight-alpha RGBA rows."""
        rows = []
        area = SAMPLES * SAMPLES
        for y in range(self.size):
            row = bytearray()
            for x in range(self.size):
                r = g = b = a = 0.0
                for sy in range(SAMPLES):
                    base = (y * SAMPLES + sy) * self.n + x * SAMPLES
                    for sx in range(SAMPLES):
                        p = self.px[base + sx]
                        r += p[0]
                        g += p[1]
                        b += p[2]
                        a += p[3]
                a /= area
                if a > 0:
                    r, g, b = r / area / a, g / area / a, b / area / a
                row += bytes(int(round(max(0.0, min(1.0, v)) * 255)) for v in (r, g, b, a))
            rows.append(bytes(row))
        return rows


def write_png(path, size, rows):
    with open(path, "wb") as f:
        f.write(png_bytes(size, rows))


def png_bytes(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(size, rows):
    """A 32-bit icon image as Windows stores it: a BITMAPINFOHEADER of twice the height, the
    BGRA rows bottom-up, then the 1-bit mask (set where the picture is fully transparent)."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    stride = (size + 31) // 32 * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def write_ico(path, images):
    """An .ico of (size, rows) images: uncompressed below 256 pixels, which every reader of
    icons takes (the installer builder too), PNG at 256 as Windows keeps its large icons."""
    entries = [png_bytes(size, rows) if size >= 256 else dib_bytes(size, rows)
               for size, rows in images]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, _), entry in zip(images, entries):
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(entry), offset)
        offset += len(entry)
    with open(path, "wb") as f:
        f.write(data + b"".join(entries))


def rgb(hex_text, alpha=1.0):
    v = int(hex_text, 16)
    return ((v >> 16 & 255) / 255, (v >> 8 & 255) / 255, (v & 255) / 255, alpha)


def palette(hot):
    """Colours of the plain pictures, or the lit ones of a hovered button."""
    if hot:
        return {"paper": rgb("FFFFFF"), "edge": rgb("2F6FB7"), "fold": rgb("CFE3FA"),
                "green": rgb("1FB83A"), "red": rgb("F0302A"), "yellow": rgb("FFD23C"),
                "yellow_dark": rgb("D99A00"), "blue": rgb("1E88E5"), "ink": rgb("1565C0"),
                "metal": rgb("B8C7D9"), "metal_dark": rgb("476A8F"), "pin": rgb("FFE082"),
                "cable": rgb("1E3A5F")}
    return {"paper": rgb("FAFAFA"), "edge": rgb("5A5A5A"), "fold": rgb("D8D8D8"),
            "green": rgb("2E8B3D"), "red": rgb("C62828"), "yellow": rgb("F2C14E"),
            "yellow_dark": rgb("B58300"), "blue": rgb("3B6EA8"), "ink": rgb("44607F"),
            "metal": rgb("AFAFAF"), "metal_dark": rgb("5E5E5E"), "pin": rgb("E0C060"),
            "cable": rgb("333333")}


def sheet(c, p, x=3.5, y=1.5, w=12.5, h=17.0):
    """A sheet of paper with a folded top-right corner."""
    f = 4.0
    c.polygon([(x, y), (x + w - f, y), (x + w, y + f), (x + w, y + h), (x, y + h)], p["edge"])
    c.polygon([(x + 1, y + 1), (x + w - f - 0.4, y + 1), (x + w - 1, y + f + 0.4),
               (x + w - 1, y + h - 1), (x + 1, y + h - 1)], p["paper"])
    c.polygon([(x + w - f, y), (x + w - f, y + f), (x + w, y + f)], p["edge"])
    c.polygon([(x + w - f + 0.9, y + 1.6), (x + w - f + 0.9, y + f - 0.9),
               (x + w - 1.6, y + f - 0.9)], p["fold"])


def badge(c, colour, cx=15.0, cy=15.0, r=5.2):
    c.disc(cx, cy, r + 0.8, (1, 1, 1, 1))
    c.disc(cx, cy, r, colour)


def draw_new(c, p):
    sheet(c, p)
    badge(c, p["green"])
    c.rect(12.0, 14.1, 6.0, 1.8, (1, 1, 1, 1))
    c.rect(14.1, 12.0, 1.8, 6.0, (1, 1, 1, 1))


def draw_open(c, p):
    # back of the folder with its tab
    c.polygon([(1.5, 4.0), (7.5, 4.0), (9.0, 5.8), (17.5, 5.8), (17.5, 17.5), (1.5, 17.5)],
              p["yellow_dark"])
    c.polygon([(2.5, 5.0), (7.0, 5.0), (8.5, 6.8), (16.5, 6.8), (16.5, 16.5), (2.5, 16.5)],
              p["yellow"])
    # a sheet sticking out
    c.rect(5.0, 3.0, 9.5, 8.0, p["edge"])
    c.rect(5.8, 3.8, 7.9, 7.2, p["paper"])
    # the open front flap, tilted
    c.polygon([(4.0, 9.0), (20.0, 9.0), (17.5, 17.5), (1.5, 17.5)], p["yellow_dark"])
    c.polygon([(4.7, 10.0), (18.7, 10.0), (16.7, 16.6), (2.7, 16.6)], p["yellow"])


def draw_close(c, p):
    sheet(c, p)
    badge(c, p["red"])
    c.line(12.6, 12.6, 17.4, 17.4, 1.8, (1, 1, 1, 1))
    c.line(17.4, 12.6, 12.6, 17.4, 1.8, (1, 1, 1, 1))


def draw_log(c, p):
    # a notepad with a spiral binding and lines of text
    c.frame(3.0, 3.0, 15.0, 16.5, 1.0, p["paper"], p["edge"])
    for k in range(5):
        x = 5.0 + k * 2.7
        c.rect(x, 1.5, 1.1, 3.5, p["metal_dark"])
    widths = [10.0, 8.0, 10.0, 6.0, 9.0]
    for k, w in enumerate(widths):
        c.rect(5.0, 7.0 + k * 2.0, w, 1.0, p["ink"])


def draw_port(c, p):
    # a nine-pin serial connector seen from the front, with its cable below
    c.line(10.5, 15.0, 10.5, 20.5, 3.0, p["cable"])
    c.polygon([(1.5, 3.5), (19.5, 3.5), (17.0, 14.5), (4.0, 14.5)], p["metal_dark"])
    c.polygon([(2.8, 4.6), (18.2, 4.6), (16.1, 13.4), (4.9, 13.4)], p["metal"])
    for k in range(5):
        c.disc(5.3 + k * 2.6, 7.1, 0.95, p["pin"])
    for k in range(4):
        c.disc(6.6 + k * 2.6, 10.6, 0.95, p["pin"])


def draw_emblem(c, p=None):
    # a dial with a rising flow curve and a spindle: the emblem of the program
    c.disc(10.5, 10.5, 10.0, rgb("1F4E79"))
    c.disc(10.5, 10.5, 8.6, rgb("E8F1FA"))
    curve = [(4.0 + 13.0 * t / 12.0, 15.5 - 10.0 * (t / 12.0) ** 0.55) for t in range(13)]
    c.polyline(curve, 1.6, rgb("2E7D32"))
    c.line(10.5, 10.5, 6.0, 5.2, 1.3, rgb("C62828"))
    c.disc(10.5, 10.5, 1.6, rgb("1F4E79"))
    c.ring(10.5, 10.5, 10.0, 1.0, rgb("0D2B47"))


def draw_trend(c, p):
    # a small chart: two axes and a rising, wavering curve with its newest point
    c.rect(2.5, 2.5, 1.4, 16.5, p["metal_dark"])
    c.rect(2.5, 17.6, 16.5, 1.4, p["metal_dark"])
    curve = [(5.0, 15.0), (8.0, 11.5), (10.5, 12.5), (13.5, 7.5), (16.0, 8.5), (18.5, 4.5)]
    c.polyline(curve, 1.7, p["blue"])
    c.disc(18.5, 4.5, 1.6, p["red"])


COMMANDS = [draw_new, draw_open, draw_close, draw_log, draw_port]


def render(draw, size, hot=False):
    c = Canvas(size)
    draw(c, palette(hot))
    return c.pixels()


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "toolbar")
    os.makedirs(out, exist_ok=True)
    for k, draw in enumerate(COMMANDS, start=1):
        write_png(os.path.join(out, "tb-%d.png" % k), 21, render(draw, 21))
        write_png(os.path.join(out, "hot-%d.png" % k), 21, render(draw, 21, hot=True))
    emblem = render(draw_emblem, 21)
    write_png(os.path.join(out, "tb-6.png"), 21, emblem)
    write_png(os.path.join(out, "hot-6.png"), 21, emblem)
    icons = {size: render(draw_emblem, size) for size in (16, 24, 32, 48, 64, 128, 256)}
    # place 7 of both lists, after the emblem's place 6: the trend
    write_png(os.path.join(out, "tb-7.png"), 21, render(draw_trend, 21))
    write_png(os.path.join(out, "hot-7.png"), 21, render(draw_trend, 21, hot=True))
    for size in (16, 32, 48, 64, 128):
        write_png(os.path.join(out, "app-%d.png" % size), size, icons[size])
    ico_dir = out if len(sys.argv) > 1 else here
    write_ico(os.path.join(ico_dir, "rheotrackpanel.ico"), sorted(icons.items()))


if __name__ == "__main__":
    main()
