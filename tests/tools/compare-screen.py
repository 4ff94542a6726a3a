#!/usr/bin/env python3
"""compare-screen.py SHOT.xwd X Y PICTURE.png [DIFF.png] [--area LEFT TOP RIGHT BOTTOM]
compare-screen.py --crop SHOT.xwd LEFT TOP RIGHT BOTTOM OUT.png

The first form fails unless the screenshot (xwd of a 24- or 32-bit screen) shows the
picture's pixels exactly (only those of the area, in the picture's own
coordinates, with --area), with the picture's top left corner at X, Y. On a
mismatch it reports how many pixels differ and where, and with DIFF.png
writes the screen's part side by side with the picture. The second form
writes a part of the screenshot as a PNG file."""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    at, idat = 8, b""
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                sys.exit(f"{path}: only 8-bit RGB or RGBA is read here")
        elif kind == b"IDAT":
            idat += body
        at += 12 + size
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                guess = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + guess) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def read_xwd(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line, colours = header[7], header[11], header[12], header[19]
    if bits_per_pixel not in (24, 32):
        sys.exit(f"{path}: {bits_per_pixel} bits a pixel; the check needs a 24-bit screen")
    red_mask = header[14]
    at = header_size + colours * 12
    size = bits_per_pixel // 8

    def pixel(x, y):
        p = at + y * bytes_per_line + x * size
        value = int.from_bytes(data[p:p + size], "little" if byte_order == 0 else "big")
        if red_mask == 0xFF0000:
            return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)
        return (value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF)

    return width, height, pixel


def write_png(path, width, height, rows):
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                          + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


if sys.argv[1] == "--crop":
    screen_width, screen_height, pixel = read_xwd(sys.argv[2])
    left, top, right, bottom = (int(v) for v in sys.argv[3:7])
    right, bottom = min(right, screen_width), min(bottom, screen_height)
    write_png(sys.argv[7], right - left, bottom - top,
              [[pixel(x, y) for x in range(left, right)] for y in range(top, bottom)])
    sys.exit(0)

arguments = sys.argv[1:]
area = None
if "--area" in arguments:
    at = arguments.index("--area")
    area = [int(v) for v in arguments[at + 1:at + 5]]
    del arguments[at:at + 5]
shot, left, top, picture = arguments[0], int(arguments[1]), int(arguments[2]), arguments[3]
difference = arguments[4] if len(arguments) > 4 else None
width, height, expected = read_png(picture)
screen_width, screen_height, pixel = read_xwd(shot)
if left < 0 or top < 0 or left + width > screen_width or top + height > screen_height:
    sys.exit(f"the picture at {left},{top} does not fit the {screen_width}x{screen_height} screen")
seen = [[pixel(left + x, top + y) for x in range(width)] for y in range(height)]
x0, y0, x1, y1 = area if area else (0, 0, width, height)
wrong = [(x, y) for y in range(y0, y1) for x in range(x0, x1) if seen[y][x] != expected[y][x]]
if wrong:
    xs, ys = [x for x, _ in wrong], [y for _, y in wrong]
    print(f"{len(wrong)} of {(x1 - x0) * (y1 - y0)} pixels differ, within x {min(xs)}..{max(xs)}, y {min(ys)}..{max(ys)}")
    if difference:
        write_png(difference, width * 2, height, [seen[y] + expected[y] for y in range(height)])
    sys.exit(1)
print(f"the screen shows the picture's {(x1 - x0) * (y1 - y0)} pixels exactly")
