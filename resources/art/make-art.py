#!/usr/bin/env python3
"""Draws the pictures of the splash and about window.

Writes, next to this script:
  splash.jpg        425 x 306  the splash picture (through ImageMagick's convert, for JPEG)
  webLink.bmp        69 x 14   the maker's link beside "Developed by" (24-bit BMP)
  splash-icon.png    16 x 16   the window's icon
  link-cursor.png    32 x 32   the pointer over the link (hot spot at 1, 1)

Only the standard library is used for drawing; the files are kept in the repository, so the
build does not run this script.
"""
import math
import os
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# A 5 x 7 pixel font, enough for the texts drawn here.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    " ": ["00000"] * 7,
}


class Canvas:
    """RGBA pixels as floats in 0..1, drawn with coverage-free shapes (supersample for smooth edges)."""

    def __init__(self, width, height, color=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [list(color) for _ in range(width * height)]

    def blend(self, x, y, color, alpha=1.0):
        if 0 <= x < self.width and 0 <= y < self.height:
            p = self.pixels[y * self.width + x]
            a = alpha * (color[3] if len(color) > 3 else 1.0)
            for i in range(3):
                p[i] = p[i] * (1 - a) + color[i] * a
            p[3] = p[3] + a * (1 - p[3])

    def fill(self, test, box, color):
        x0, y0, x1, y1 = (int(math.floor(v)) for v in box)
        for y in range(max(0, y0), min(self.height, y1 + 1)):
            for x in range(max(0, x0), min(self.width, x1 + 1)):
                if test(x + 0.5, y + 0.5):
                    self.blend(x, y, color)

    def rect(self, x0, y0, x1, y1, color):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1), color)

    def rounded_rect(self, x0, y0, x1, y1, r, color):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

        self.fill(inside, (x0, y0, x1, y1), color)

    def circle(self, cx, cy, r, color):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                  (cx - r, cy - r, cx + r, cy + r), color)

    def ring(self, cx, cy, r, width, color, start=0.0, end=360.0):
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            if abs(d - r) > width / 2:
                return False
            angle = math.degrees(math.atan2(-(y - cy), x - cx)) % 360
            return start <= angle <= end if start <= end else angle >= start or angle <= end

        m = r + width
        self.fill(inside, (cx - m, cy - m, cx + m, cy + m), color)

    def line(self, x0, y0, x1, y1, width, color):
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy or 1e-9

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2

        m = width
        self.fill(inside, (min(x0, x1) - m, min(y0, y1) - m, max(x0, x1) + m, max(y0, y1) + m),
                  color)

    def polygon(self, points, color):
        def inside(x, y):
            result = False
            j = len(points) - 1
            for i in range(len(points)):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    result = not result
                j = i
            return result

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.fill(inside, (min(xs), min(ys), max(xs), max(ys)), color)

    def text(self, x, y, text, scale, color):
        for ch in text:
            glyph = FONT[ch]
            for row, bits in enumerate(glyph):
                for col, bit in enumerate(bits):
                    if bit == "1":
                        self.rect(x + col * scale, y + row * scale, x + (col + 1) * scale,
                                  y + (row + 1) * scale, color)
            x += 6 * scale

    def downsampled(self, factor):
        out = Canvas(self.width // factor, self.height // factor)
        n = factor * factor
        for y in range(out.height):
            for x in range(out.width):
                acc = [0.0, 0.0, 0.0, 0.0]
                for sy in range(factor):
                    row = (y * factor + sy) * self.width
                    for sx in range(factor):
                        p = self.pixels[row + x * factor + sx]
                        for i in range(3):
                            acc[i] += p[i] * p[3]
                        acc[3] += p[3]
                a = acc[3] / n
                out.pixels[y * out.width + x] = (
                    [acc[i] / acc[3] for i in range(3)] + [a] if acc[3] > 0 else [0, 0, 0, 0])
        return out

    def rgb_bytes(self, background=(1, 1, 1)):
        data = bytearray()
        for p in self.pixels:
            for i in range(3):
                v = p[i] * p[3] + background[i] * (1 - p[3])
                data.append(max(0, min(255, int(round(v * 255)))))
        return data


def rgb(r, g, b, a=1.0):
    return (r / 255, g / 255, b / 255, a)


def text_width(text, scale):
    return (6 * len(text) - 1) * scale


def write_png(path, canvas):
    raw = bytearray()
    for y in range(canvas.height):
        raw.append(0)
        for x in range(canvas.width):
            p = canvas.pixels[y * canvas.width + x]
            raw.extend(max(0, min(255, int(round(v * 255)))) for v in p)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


def write_bmp(path, canvas):
    rgb_data = canvas.rgb_bytes()
    row_size = (canvas.width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(canvas.height - 1, -1, -1):  # bottom-up rows, BGR
        row = bytearray()
        for x in range(canvas.width):
            i = (y * canvas.width + x) * 3
            row.extend((rgb_data[i + 2], rgb_data[i + 1], rgb_data[i]))
        row.extend(b"\0" * (row_size - len(row)))
        pixels.extend(row)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels),
                       3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def write_jpeg(path, canvas):
    ppm = path + ".ppm"
    with open(ppm, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (canvas.width, canvas.height))
        f.write(canvas.rgb_bytes())
    try:
        subprocess.run(["convert", ppm, "-strip", "-quality", "90", path], check=True)
    finally:
        os.remove(ppm)


def splash():
    s = 2  # drawn at twice the size, then averaged down
    w, h = 425, 306
    c = Canvas(w * s, h * s)
    top, bottom = rgb(10, 34, 84), rgb(28, 104, 150)
    for y in range(c.height):
        t = y / (c.height - 1)
        color = [top[i] * (1 - t) + bottom[i] * t for i in range(3)] + [1.0]
        for x in range(c.width):
            c.pixels[y * c.width + x] = list(color)
    # Faint concentric rings: the spindle's revolutions.
    for r in range(60, 420, 36):
        c.ring(120 * s, 200 * s, r * s, 1.2 * s, rgb(255, 255, 255, 0.06))

    # Title and subtitle.
    title = "RHEOTRACKPANEL"
    c.text((w * s - text_width(title, 3 * s)) // 2, 22 * s, title, 3 * s, rgb(255, 255, 255))
    sub = "VISCOMETER DATA LOGGER"
    c.text((w * s - text_width(sub, 3)) // 2, 52 * s, sub, 3, rgb(255, 200, 90))
    c.rect(60 * s, 68 * s, (w - 60) * s, 69 * s, rgb(255, 255, 255, 0.35))

    # The instrument: stand, head with its display, spindle in a beaker of sample.
    x0 = 70
    c.rect((x0 - 40) * s, 272 * s, (x0 + 80) * s, 280 * s, rgb(60, 66, 78))       # base
    c.rect((x0 - 34) * s, 96 * s, (x0 - 26) * s, 274 * s, rgb(170, 178, 190))      # column
    c.rect((x0 - 28) * s, 116 * s, (x0 - 16) * s, 126 * s, rgb(120, 128, 140))     # clamp
    c.rounded_rect((x0 - 20) * s, 98 * s, (x0 + 62) * s, 150 * s, 8 * s, rgb(226, 230, 236))
    c.rounded_rect((x0 - 12) * s, 108 * s, (x0 + 54) * s, 128 * s, 3 * s, rgb(20, 40, 30))
    c.text((x0 - 6) * s, 112 * s, "27.5", 2 * s, rgb(120, 255, 160))
    c.rect((x0 - 10) * s, 134 * s, (x0 + 6) * s, 142 * s, rgb(200, 40, 40))
    c.rect(x0 * s + 40, 150 * s, x0 * s + 48, 248 * s, rgb(200, 205, 212))         # shaft
    c.rounded_rect((x0 + 21) * s - 30, 238 * s, (x0 + 21) * s + 30, 250 * s, 4 * s,
                   rgb(200, 205, 212))                                              # bob
    c.rect((x0 - 4) * s, 212 * s, (x0 + 46) * s, 268 * s, rgb(230, 150, 40, 0.75))  # sample
    c.line((x0 - 6) * s, 180 * s, (x0 - 6) * s, 270 * s, 2 * s, rgb(235, 245, 255, 0.9))
    c.line((x0 + 48) * s, 180 * s, (x0 + 48) * s, 270 * s, 2 * s, rgb(235, 245, 255, 0.9))
    c.line((x0 - 6) * s, 270 * s, (x0 + 48) * s, 270 * s, 2 * s, rgb(235, 245, 255, 0.9))
    # Turning arrow around the shaft.
    c.ring(x0 * s + 44, 170 * s, 16 * s, 2.5 * s, rgb(255, 200, 90), 200, 340)
    c.polygon([(x0 * s + 44 + 13 * s, 174 * s), (x0 * s + 44 + 21 * s, 170 * s),
               (x0 * s + 44 + 17 * s, 181 * s)], rgb(255, 200, 90))

    # A chart of readings: axes, grid and a curve with its points.
    gx0, gy0, gx1, gy1 = 170, 96, 400, 270
    c.rounded_rect(gx0 * s, gy0 * s, gx1 * s, gy1 * s, 6 * s, rgb(255, 255, 255, 0.10))
    for i in range(1, 5):
        y = gy0 + i * (gy1 - gy0) / 5
        c.line((gx0 + 14) * s, y * s, (gx1 - 10) * s, y * s, 1, rgb(255, 255, 255, 0.18))
    c.line((gx0 + 14) * s, (gy0 + 10) * s, (gx0 + 14) * s, (gy1 - 14) * s, 1.5 * s,
           rgb(255, 255, 255, 0.8))
    c.line((gx0 + 14) * s, (gy1 - 14) * s, (gx1 - 10) * s, (gy1 - 14) * s, 1.5 * s,
           rgb(255, 255, 255, 0.8))
    points = []
    for i in range(0, 21):
        t = i / 20
        x = gx0 + 20 + t * (gx1 - gx0 - 36)
        y = gy1 - 30 - 110 * (1 - math.exp(-3.2 * t)) + 6 * math.sin(9 * t)
        points.append((x * s, y * s))
    for a, b in zip(points, points[1:]):
        c.line(a[0], a[1], b[0], b[1], 2.2 * s, rgb(255, 200, 90))
    for x, y in points[::4]:
        c.circle(x, y, 3.2 * s, rgb(255, 255, 255))
        c.circle(x, y, 1.8 * s, rgb(230, 120, 30))
    return c.downsampled(s)


def web_link():
    c = Canvas(69, 14, rgb(16, 32, 112))
    c.circle(7, 7, 5.5, rgb(255, 170, 40))
    c.ring(7, 7, 3, 1.2, rgb(16, 32, 112), 30, 330)
    c.text(16, 4 - 1, "KAVREL", 1, rgb(255, 255, 255))
    c.rect(16, 11, 67, 12, rgb(255, 170, 40))
    return c


def icon():
    s = 4
    c = Canvas(16 * s, 16 * s)
    c.rounded_rect(0, 0, 16 * s, 16 * s, 3 * s, rgb(16, 44, 110))
    c.rect(3 * s, 9 * s, 13 * s, 14 * s, rgb(240, 160, 40))                       # sample
    c.rect(7 * s, 4 * s, 9 * s, 12 * s, rgb(235, 240, 248))                        # shaft
    c.rect(5 * s, 11 * s, 11 * s, 13 * s, rgb(235, 240, 248))                      # bob
    c.rounded_rect(3 * s, 2 * s, 13 * s, 5 * s, 1 * s, rgb(200, 208, 220))         # head
    return c.downsampled(s)


def cursor():
    s = 4
    c = Canvas(32 * s, 32 * s)
    # A globe behind the arrow, for the web address.
    gx, gy, r = 21 * s, 21 * s, 9 * s
    c.circle(gx, gy, r + 1 * s, rgb(10, 30, 80))
    c.circle(gx, gy, r, rgb(60, 140, 220))
    c.ring(gx, gy, r * 0.55, 0.9 * s, rgb(230, 245, 255))
    c.line(gx - r, gy, gx + r, gy, 0.9 * s, rgb(230, 245, 255))
    c.line(gx, gy - r, gx, gy + r, 0.9 * s, rgb(230, 245, 255))
    arrow = [(1, 1), (1, 19), (5.5, 15), (8.5, 22), (11.5, 20.8), (8.5, 14), (14, 14)]
    c.polygon([(x * s, y * s) for x, y in arrow], rgb(0, 0, 0))
    inner = [(2.4, 4.2), (2.4, 16), (5.9, 12.8), (9.2, 20.3), (10.1, 19.9), (6.9, 12.6),
             (11, 12.6)]
    c.polygon([(x * s, y * s) for x, y in inner], rgb(255, 255, 255))
    return c.downsampled(s)


def main():
    write_jpeg(os.path.join(HERE, "splash.jpg"), splash())
    write_bmp(os.path.join(HERE, "webLink.bmp"), web_link())
    write_png(os.path.join(HERE, "splash-icon.png"), icon())
    write_png(os.path.join(HERE, "link-cursor.png"), cursor())
    return 0


if __name__ == "__main__":
    sys.exit(main())
