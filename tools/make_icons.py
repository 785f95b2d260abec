#!/usr/bin/env python3
"""Draws the program's icons and writes them as complete .ico files under resources/.

The pictures are drawn with 4x4 supersampling so that their edges are smooth in 32-bit alpha.
Run it again after changing a picture; the .ico files are committed.
"""
import math
import os
import struct
import zlib

SIZE = 32
SS = 4  # supersampling factor


def render(shade, size=SIZE):
    """shade(x, y) -> (r, g, b, a) in 0..1 for a point in 0..32 coordinates; returns rows top-down."""
    rows = []
    scale = SIZE / size
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) * scale
                    y = (py + (sy + 0.5) / SS) * scale
                    r, g, b, a = shade(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            a = acc[3] / n
            if a > 0:
                r, g, b = (acc[0] / acc[3], acc[1] / acc[3], acc[2] / acc[3])
            else:
                r = g = b = 0.0
            row.append(tuple(int(round(max(0, min(1, v)) * 255)) for v in (r, g, b, a)))
        rows.append(row)
    return rows


def over(top, bottom):
    """Composites colour top over bottom (both straight alpha)."""
    ta, ba = top[3], bottom[3]
    a = ta + ba * (1 - ta)
    if a == 0:
        return (0, 0, 0, 0)
    return tuple((top[i] * ta + bottom[i] * ba * (1 - ta)) / a for i in range(3)) + (a,)


def icon_image(rows):
    """BITMAPINFOHEADER + bottom-up BGRA pixels + AND mask for one picture."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def png_image(rows):
    """The picture as a PNG file (8-bit RGBA), which icon files may hold from 48 pixels up."""
    size = len(rows)
    lines = [bytes(v for pixel in row for v in pixel) for row in rows]

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', smallest_idat(lines)) + chunk(b'IEND', b'')


def filtered(kind, line, above):
    """One row under PNG filter kind (0 none, 1 sub, 2 up, 3 average, 4 Paeth), 4 bytes a pixel."""
    out = bytearray(len(line))
    for i, v in enumerate(line):
        a = line[i - 4] if i >= 4 else 0
        b = above[i]
        c = above[i - 4] if i >= 4 else 0
        if kind == 1:
            v -= a
        elif kind == 2:
            v -= b
        elif kind == 3:
            v -= (a + b) // 2
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            v -= a if pa <= pb and pa <= pc else b if pb <= pc else c
        out[i] = v & 0xFF
    return bytes([kind]) + bytes(out)


def smallest_idat(lines):
    """The pixels compressed as small as zlib gets them: each filter for every row, and the usual
    guess of the best filter row by row, whichever comes out smallest. Room in the release is scarce."""
    zero = bytes(len(lines[0]))
    choices = []
    for kind in range(5):
        choices.append(b''.join(filtered(kind, line, lines[y - 1] if y else zero) for y, line in enumerate(lines)))
    guessed = []
    for y, line in enumerate(lines):
        options = [filtered(kind, line, lines[y - 1] if y else zero) for kind in range(5)]
        guessed.append(min(options, key=lambda row: sum(v if v < 128 else 256 - v for v in row[1:])))
    choices.append(b''.join(guessed))
    return min((zlib.compress(raw, 9) for raw in choices), key=len)


# Every picture at every size a screen scale asks for (100 % to 200 %); the first is what a
# reader that takes the first picture gets, as before. The large ones are PNG-compressed, which
# keeps the program small.
SIZES = (32, 16, 24, 48, 64)
# The 16-pixel picture stays uncompressed: menus grey it through its mask, which readers of a
# compressed picture may leave empty. Every larger one is compressed, for room in the release.
PNG_FROM = 17


def write_ico(path, images):
    count = len(images)
    out = struct.pack('<HHH', 0, 1, count)
    offset = 6 + 16 * count
    blobs = []
    for rows in images:
        size = len(rows)
        blob = png_image(rows) if size >= PNG_FROM else icon_image(rows)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    data = out + b''.join(blobs)
    with open(path, 'wb') as f:
        f.write(data)
    return len(data)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def lerp(c0, c1, t):
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(len(c0)))


# --- the program icon: a white document with a folded corner and a padlock -------------------

def document_with_padlock(x, y):
    col = (0, 0, 0, 0)
    # document sheet with a dark outline and a folded top-right corner
    x0, y0, x1, y1, fold = 5.0, 1.5, 23.5, 28.5, 6.0
    inside = x0 <= x <= x1 and y0 <= y <= y1 and not (x > x1 - fold and y < y0 + fold and (x - (x1 - fold)) > (y - y0))
    if inside:
        edge = (x < x0 + 1 or x > x1 - 1 or y < y0 + 1 or y > y1 - 1
                or abs((x - (x1 - fold)) - (y - y0)) < 0.75)
        col = (0.38, 0.42, 0.48, 1) if edge else lerp((1, 1, 1, 1), (0.90, 0.92, 0.95, 1), (y - y0) / (y1 - y0))
        # the fold itself
        if x > x1 - fold and y < y0 + fold and not edge:
            col = (0.80, 0.83, 0.88, 1)
        # text lines on the sheet
        if not edge and 8 <= x <= 19 and any(abs(y - ly) < 0.6 for ly in (10, 13.5, 17)):
            col = (0.66, 0.71, 0.78, 1)
    # padlock in front, at the lower right
    lock = (0, 0, 0, 0)
    bx0, by0, bx1, by1 = 15.0, 19.0, 30.0, 31.0
    shackle_cx, shackle_cy, r_out, r_in = 22.5, 19.0, 5.5, 3.2
    d = math.hypot(x - shackle_cx, y - shackle_cy)
    if y <= shackle_cy + 0.5 and r_in <= d <= r_out and y >= 11:
        lock = lerp((0.78, 0.80, 0.84, 1), (0.45, 0.48, 0.53, 1), max(0.0, min(1.0, (x - 17) / 11)))
    if bx0 <= x <= bx1 and by0 <= y <= by1 and rounded_rect(x, y, bx0, by0, bx1, by1, 1.5):
        edge = x < bx0 + 0.9 or x > bx1 - 0.9 or y < by0 + 0.9 or y > by1 - 0.9
        lock = (0.55, 0.36, 0.05, 1) if edge else lerp((0.99, 0.80, 0.25, 1), (0.85, 0.58, 0.08, 1), (y - by0) / (by1 - by0))
        # keyhole
        if (math.hypot(x - 22.5, y - 24.0) < 1.6) or (21.8 <= x <= 23.2 and 24 <= y <= 28):
            lock = (0.30, 0.20, 0.05, 1)
    return over(lock, col)


# --- toolbar pictures --------------------------------------------------------------------------

def disc_shading(x, y, cx, cy, r, light, dark, rim):
    d = math.hypot(x - cx, y - cy)
    if d > r:
        return None
    if d > r - 1.2:
        return rim
    t = max(0.0, min(1.0, ((y - (cy - r)) / (2 * r)) * 0.8 + (d / r) * 0.2))
    return lerp(light, dark, t)


def green_plus(x, y):
    arm, half = 12.5, 4.2
    cx = cy = 16.0
    inside = (abs(x - cx) <= half and abs(y - cy) <= arm) or (abs(y - cy) <= half and abs(x - cx) <= arm)
    if not inside:
        return (0, 0, 0, 0)
    edge = ((abs(x - cx) > half - 1.1 and abs(y - cy) > half - 0.01) or
            (abs(y - cy) > half - 1.1 and abs(x - cx) > half - 0.01) or
            abs(x - cx) > arm - 1.1 or abs(y - cy) > arm - 1.1)
    if edge:
        return (0.08, 0.42, 0.10, 1)
    return lerp((0.55, 0.90, 0.45, 1), (0.13, 0.62, 0.16, 1), (y - (cy - arm)) / (2 * arm))


def red_cross(x, y):
    cx = cy = 16.0
    u = ((x - cx) + (y - cy)) / math.sqrt(2)
    v = ((x - cx) - (y - cy)) / math.sqrt(2)
    arm, half = 15.0, 4.2
    inside = (abs(u) <= half and abs(v) <= arm) or (abs(v) <= half and abs(u) <= arm)
    if not inside:
        return (0, 0, 0, 0)
    edge = ((abs(u) > half - 1.1 and abs(v) > half - 0.01) or (abs(v) > half - 1.1 and abs(u) > half - 0.01)
            or abs(u) > arm - 1.1 or abs(v) > arm - 1.1)
    if edge:
        return (0.55, 0.05, 0.05, 1)
    return lerp((1.0, 0.45, 0.40, 1), (0.80, 0.10, 0.08, 1), (y - 2) / 28)


def power_disc(x, y):
    cx = cy = 16.0
    base = disc_shading(x, y, cx, cy, 15.0, (0.98, 0.38, 0.32, 1), (0.72, 0.06, 0.05, 1), (0.50, 0.03, 0.03, 1))
    if base is None:
        return (0, 0, 0, 0)
    white = (1, 1, 1, 1)
    d = math.hypot(x - cx, y - cy + 0.5)
    angle = math.degrees(math.atan2(x - cx, -(y - cy - 0.5)))  # 0 = straight up
    ring = 6.3 <= d <= 9.0 and abs(angle) >= 38
    stem = abs(x - cx) <= 1.4 and 4.5 <= y <= 15.5
    if ring or stem:
        return white
    return base


def yellow_folder(x, y):
    # a tab on the back sheet, then the front sheet, both with a dark outline like the others
    back = (0.72, 0.52, 0.08, 1)
    x0, y0, x1, y1 = 2.0, 7.0, 30.0, 27.5
    tab = 2.0 <= x <= 13.5 and 4.0 <= y <= 8.0 and rounded_rect(x, y, 2.0, 4.0, 13.5, 10.0, 1.5)
    col = (0, 0, 0, 0)
    if tab or (x0 <= x <= x1 and y0 <= y <= y1 and rounded_rect(x, y, x0, y0, x1, y1, 1.5)):
        edge = x < x0 + 1 or x > x1 - 1 or y > y1 - 1 or (tab and (y < 5.0 or x > 12.5 or x < x0 + 1))
        col = back if edge else lerp((0.98, 0.80, 0.30, 1), (0.90, 0.66, 0.15, 1), (y - 4) / 24)
    fx0, fy0, fx1, fy1 = 2.0, 12.0, 30.0, 27.5
    if fx0 <= x <= fx1 and fy0 <= y <= fy1 and rounded_rect(x, y, fx0, fy0, fx1, fy1, 1.5):
        edge = x < fx0 + 1 or x > fx1 - 1 or y < fy0 + 1 or y > fy1 - 1
        col = back if edge else lerp((1.0, 0.90, 0.50, 1), (0.95, 0.72, 0.20, 1), (y - fy0) / (fy1 - fy0))
    return col


# --- the program icon with a warning mark: shown while something is not protected ------------

def document_with_warning(x, y):
    """The program icon with a red disc and a white exclamation mark in front, at the lower left,
    shaded like the quit picture's disc; large enough to be read at 16 pixels."""
    cx, cy, r = 9.0, 22.0, 9.0
    base = disc_shading(x, y, cx, cy, r, (0.98, 0.38, 0.32, 1), (0.72, 0.06, 0.05, 1), (0.50, 0.03, 0.03, 1))
    if base is None:
        return document_with_padlock(x, y)
    stem = abs(x - cx) <= 1.6 and 15.5 <= y <= 23.5
    dot = math.hypot(x - cx, y - 27.0) <= 1.8
    return (1, 1, 1, 1) if stem or dot else base


# The notification area takes the small-icon size of the screen's scale (16 to 32 pixels);
# every picture is PNG-compressed, so the variant costs the program little.
WARNING_SIZES = (16, 20, 24, 32)


def write_png_ico(path, images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = [png_image(rows) for rows in images]
    for rows, blob in zip(images, blobs):
        size = len(rows)
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    data = out + b''.join(blobs)
    with open(path, 'wb') as f:
        f.write(data)
    return len(data)


# Every picture this tool knows, by the file it goes to.
PICTURES = (
    ('verriq.ico', document_with_padlock),
    ('add.ico', green_plus),
    ('remove.ico', red_cross),
    ('quit.ico', power_disc),
    ('folder.ico', yellow_folder),
)


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources')
    for name, shade in PICTURES:
        n = write_ico(os.path.join(here, name), [render(shade, size) for size in SIZES])
        print(name, n)
    n = write_png_ico(os.path.join(here, 'warning.ico'), [render(document_with_warning, size) for size in WARNING_SIZES])
    print('warning.ico', n)


if __name__ == '__main__':
    main()
