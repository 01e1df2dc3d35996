#!/usr/bin/env python3
"""Draws the window's artwork: the background (bitmap 130), the Quit button
image (bitmap 129) and the program icon (icon group 133).

Plain Python, deterministic: running it again writes the same bytes. The
outputs are committed beside this script; run it after changing it:

    python3 resources/make_artwork.py
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Window size; the background holds two window-sized halves.
W, H = 366, 213
# The bar's inside; the one-pixel frame lies just outside it.
BAR_LEFT, BAR_TOP, BAR_RIGHT, BAR_BOTTOM = 17, 173, 349, 198
PICTURE_BOTTOM = 120  # first row of the accent line under the picture

# ---------------------------------------------------------------------------
# Small colour helpers. Colours are (r, g, b) floats 0..255.


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def ramp(stops, t):
    """Colour at t along a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def clamp8(c):
    return tuple(max(0, min(255, int(round(x)))) for x in c)


# ---------------------------------------------------------------------------
# A 5 x 7 pixel font, enough for the title lines.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    " ": ["00000"] * 7,
}


def text_cells(text, scale, spacing):
    """The pixels (x, y) covered by `text` set at the origin."""
    cells = set()
    x0 = 0
    for ch in text:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            cells.add((x0 + col * scale + dx, row * scale + dy))
        x0 += 5 * scale + spacing
    return cells


# ---------------------------------------------------------------------------
# The background picture: a mountain range at dusk with the game's name.

SKY = [
    (0.00, (20, 30, 66)),
    (0.45, (58, 60, 118)),
    (0.75, (150, 96, 128)),
    (1.00, (240, 158, 104)),
]
SUN = (292.0, 66.0)


def ridge(x, base, waves):
    return base + sum(a * math.sin(x * f + p) for a, f, p in waves)


# Far to near: height function and colour of each layer.
RIDGES = [
    (lambda x: ridge(x, 70, [(9, 0.021, 0.4), (5, 0.057, 1.9), (2, 0.13, 0.7)]), (132, 104, 150)),
    (lambda x: ridge(x, 86, [(11, 0.017, 2.6), (4, 0.049, 0.3), (2, 0.11, 1.2)]), (84, 70, 122)),
    (lambda x: ridge(x, 101, [(8, 0.026, 4.1), (5, 0.071, 2.2), (1.5, 0.19, 0.5)]), (42, 40, 78)),
]


def stars():
    """Deterministic sparse stars in the upper sky: (x, y) -> brightness."""
    seed = 20240117
    found = {}
    for _ in range(70):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        x = seed % W
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        y = seed % 60
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        found[(x, y)] = 0.25 + (seed % 1000) / 1000 * 0.6
    return found


def picture_pixel(x, y, star_map):
    sky = ramp(SKY, y / PICTURE_BOTTOM)
    # The setting sun's glow, then its disc.
    glow = math.hypot(x - SUN[0], (y - SUN[1]) * 1.3)
    sky = mix(sky, (255, 196, 130), 0.55 * math.exp(-(glow / 46.0) ** 2))
    colour = mix(sky, (255, 230, 176), min(1.0, max(0.0, 11.5 - math.hypot(x - SUN[0], y - SUN[1]))))
    if (x, y) in star_map:
        colour = mix(colour, (255, 250, 235), star_map[(x, y)] * (1 - y / 60))
    # Mountains, far to near; each covers the pixel by its ridge's fraction.
    for height, tone in RIDGES:
        top = height(x + 0.5)
        cover = min(1.0, max(0.0, y + 1 - top))
        # Haze: a layer is lighter near its crest.
        shade = mix(tone, mix(tone, sky, 0.35), math.exp(-(y - top) / 10.0) if y >= top else 1)
        colour = mix(colour, shade, cover)
    return colour


def draw_title(img, text, left, top, scale, spacing, colour):
    cells = text_cells(text, scale, spacing)
    for x, y in cells:  # soft shadow first
        for dx, dy, a in ((1, 1, 0.55), (2, 2, 0.25)):
            px, py = left + x + dx, top + y + dy
            if (x + dx, y + dy) not in cells and 0 <= px < W and 0 <= py < H:
                img[py][px] = mix(img[py][px], (10, 12, 30), a)
    for x, y in cells:
        img[top + y][left + x] = colour


PANEL = [(0.0, (247, 248, 251)), (1.0, (229, 232, 239))]
ACCENT = (214, 156, 84)
FRAME = (62, 70, 88)
TRACK_EMPTY = [(0.0, (222, 226, 233)), (0.25, (240, 242, 246)), (1.0, (252, 252, 253))]
TRACK_FULL = [(0.0, (176, 226, 246)), (0.12, (104, 190, 232)), (0.6, (62, 152, 210)),
              (1.0, (44, 122, 184))]


def background():
    """Rows of the 366 x 426 background: window look, then the filled look."""
    star_map = stars()
    img = [[(0.0, 0.0, 0.0)] * W for _ in range(H)]
    for y in range(H):
        for x in range(W):
            if y < PICTURE_BOTTOM:
                img[y][x] = picture_pixel(x, y, star_map)
            elif y < PICTURE_BOTTOM + 2:
                img[y][x] = mix(ACCENT, (250, 214, 150), 0.0 if y == PICTURE_BOTTOM else 0.45)
            else:
                img[y][x] = ramp(PANEL, (y - PICTURE_BOTTOM - 2) / (H - PICTURE_BOTTOM - 2))

    draw_title(img, "QUELVANE", 16, 16, 3, 3, (250, 244, 232))
    draw_title(img, "MANUAL PATCH", 17, 45, 1, 2, (236, 214, 178))

    # The track's frame, one pixel outside the bar, and a faint drop shadow.
    for x in range(BAR_LEFT - 1, BAR_RIGHT + 1):
        img[BAR_TOP - 1][x] = FRAME
        img[BAR_BOTTOM][x] = FRAME
        img[BAR_BOTTOM + 1][x] = mix(img[BAR_BOTTOM + 1][x], FRAME, 0.18)
    for y in range(BAR_TOP - 1, BAR_BOTTOM + 1):
        img[y][BAR_LEFT - 1] = FRAME
        img[y][BAR_RIGHT] = FRAME

    full = [row[:] for row in img]
    span = BAR_BOTTOM - BAR_TOP - 1
    for y in range(BAR_TOP, BAR_BOTTOM):
        t = (y - BAR_TOP) / span
        empty, filled = ramp(TRACK_EMPTY, t), ramp(TRACK_FULL, t)
        for x in range(BAR_LEFT, BAR_RIGHT):
            img[y][x] = empty
            # A gentle sheen every 24 pixels, so the filled bar reads as moving.
            stripe = 0.06 * max(0.0, math.cos(((x - y) % 24) / 24 * 2 * math.pi))
            full[y][x] = mix(filled, (255, 255, 255), stripe)
    return img + full


# ---------------------------------------------------------------------------
# The Quit button image: a red cross on light grey, 16 x 14, 256 colours.

QUIT_GROUND = (226, 227, 231)
QUIT_RED = (196, 36, 40)


def quit_button():
    """Rows of palette indices and the palette: index i is i/15 of the red."""
    palette = [clamp8(mix(QUIT_GROUND, QUIT_RED, i / 15)) for i in range(16)]
    rows = []
    cx, cy, arm, half_width = 7.5, 7.0, 3.9, 0.95
    for y in range(14):
        row = []
        for x in range(16):
            hits = 0
            for sy in range(4):
                for sx in range(4):
                    px, py = x + (sx + 0.5) / 4 - cx, y + (sy + 0.5) / 4 - cy
                    for ux, uy in ((0.7071, 0.7071), (0.7071, -0.7071)):
                        along = px * ux + py * uy
                        across = -px * uy + py * ux
                        if abs(along) <= arm and abs(across) <= half_width:
                            hits += 1
                            break
            row.append(round(hits / 16 * 15))
        rows.append(row)
    return rows, palette


# ---------------------------------------------------------------------------
# The icon: a rounded tile with the dusk sky, a peak, and a golden arrow down
# onto a tray ("an update for the game").


def rounded_box_cover(px, py, size, radius):
    """1 inside the rounded square [0, size), 0 outside."""
    qx = max(radius - px, 0, px - (size - radius))
    qy = max(radius - py, 0, py - (size - radius))
    return 1.0 if qx * qx + qy * qy <= radius * radius else 0.0


def in_polygon(px, py, points):
    inside = False
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def icon_sample(u, v):
    """Colour and alpha at (u, v) in the unit square."""
    if not rounded_box_cover(u, v, 1.0, 0.2):
        return (0, 0, 0), 0.0
    colour = ramp(SKY, v * 1.05)
    peak = [(0.0, 0.78), (0.32, 0.48), (0.5, 0.62), (0.72, 0.42), (1.0, 0.74), (1.0, 1.0), (0.0, 1.0)]
    if in_polygon(u, v, peak):
        colour = (42, 40, 78)
    arrow = [(0.42, 0.12), (0.58, 0.12), (0.58, 0.44), (0.72, 0.44), (0.5, 0.68), (0.28, 0.44),
             (0.42, 0.44)]
    if in_polygon(u, v, arrow):
        colour = mix((255, 214, 140), (232, 150, 70), (v - 0.12) / 0.56)
    tray = [(0.2, 0.7), (0.27, 0.7), (0.27, 0.79), (0.73, 0.79), (0.73, 0.7), (0.8, 0.7), (0.8, 0.86),
            (0.2, 0.86)]
    if in_polygon(u, v, tray):
        colour = (246, 240, 228)
    return colour, 1.0


def icon_image(size):
    """Rows of (r, g, b, a), 4 x 4 supersampled."""
    rows = []
    n = 4
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            alpha = 0.0
            for sy in range(n):
                for sx in range(n):
                    c, a = icon_sample((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    alpha += a
                    for i in range(3):
                        acc[i] += c[i] * a
            if alpha:
                colour = clamp8(tuple(v / alpha for v in acc))
            else:
                colour = (0, 0, 0)
            row.append(colour + (int(round(alpha / (n * n) * 255)),))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# File formats.


def info_header(width, height, bits, colours=0, image_size=0):
    # BITMAPINFOHEADER, 40 bytes.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835,
                       colours, colours)


def bmp_file(info, pixels):
    offset = 14 + len(info)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + pixels


def bmp24(rows):
    width, height = len(rows[0]), len(rows)
    pad = (-width * 3) % 4
    out = bytearray()
    for row in reversed(rows):  # bottom-up
        for c in row:
            r, g, b = clamp8(c)
            out += bytes((b, g, r))
        out += b"\0" * pad
    return bmp_file(info_header(width, height, 24, 0, len(out)), bytes(out))


def bmp8(rows, palette):
    width, height = len(rows[0]), len(rows)
    table = bytearray()
    for i in range(256):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        table += bytes((b, g, r, 0))
    pad = (-width) % 4
    out = bytearray()
    for row in reversed(rows):
        out += bytes(row) + b"\0" * pad
    return bmp_file(info_header(width, height, 8, 256, len(out)) + bytes(table), bytes(out))


def ico(images):
    """An icon file holding 32-bit images, each with its AND mask."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        xor = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        blob = info_header(size, size * 2, 32, 0, len(xor) + len(mask)) + bytes(xor) + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob),
                                   offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    write("background.bmp", bmp24(background()))
    rows, palette = quit_button()
    write("quit_button.bmp", bmp8(rows, palette))
    write("qelpatch.ico", ico([icon_image(64), icon_image(32), icon_image(16)]))


if __name__ == "__main__":
    main()
