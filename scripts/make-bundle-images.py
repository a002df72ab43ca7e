#!/usr/bin/env python3
"""Draws the settings bundle's images (PNG) into preferences/resources/.

The images are our own: simple shapes in the product's colours, drawn pixel by pixel so that
nothing but the standard library is needed. Run again after changing a shape."""
import math
import struct
import zlib
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "preferences" / "resources"
NAV = (88, 86, 214)
WHITE = (255, 255, 255)


def png(path, width, height, pixel):
    rows = b""
    for y in range(height):
        rows += b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    path.write_bytes(data)


def rgba(color, alpha=255):
    return (*color, alpha)


def nav(x, y):
    # A fine diagonal weave that tiles without seams in either direction.
    shade = 0.96 if (x + y) % 8 < 4 else 1.0
    return rgba(tuple(int(c * shade) for c in NAV))


def circle_icon(inner):
    def pixel(x, y):
        cx = cy = 29.5
        d = math.hypot(x - cx, y - cy)
        if d > 29:
            return (0, 0, 0, 0)
        return rgba(WHITE) if inner(x - cx, y - cy) else rgba(NAV)
    return pixel


def bubble(dx, dy):
    # A speech bubble with a tail: the share glyph.
    return (dx / 17) ** 2 + (dy / 12) ** 2 <= 1 or (4 < dy < 17 and -12 < dx < -4 and dy - 4 > -(dx + 4))


def envelope(dx, dy):
    if abs(dx) > 18 or abs(dy) > 12:
        return False
    edge = abs(dx) > 16 or abs(dy) > 10
    fold = abs(dy + 10 - abs(dx) * 0.6) < 1.6
    return edge or fold


def gear(dx, dy):
    r = math.hypot(dx, dy)
    teeth = 15 + 3 * (math.cos(8 * math.atan2(dy, dx)) > 0.3)
    return 7 < r < teeth


def moon(dx, dy):
    return math.hypot(dx, dy) < 16 and math.hypot(dx - 8, dy - 6) > 13


def title(x, y):
    # "Hushline" stands as a crescent and three bars fading towards the right.
    if math.hypot(x - 16, y - 16) < 13 and math.hypot(x - 22, y - 11) > 11:
        return rgba(WHITE)
    for i, length in enumerate((70, 56, 42)):
        if 34 <= x < 34 + length and 8 + 7 * i <= y < 12 + 7 * i:
            return rgba(WHITE, 255 - 60 * i)
    return (0, 0, 0, 0)


def main():
    png(OUT / "nav.png", 8, 8, nav)
    png(OUT / "twitter.png", 60, 60, circle_icon(bubble))
    png(OUT / "email.png", 60, 60, circle_icon(envelope))
    png(OUT / "Misc.png", 60, 60, circle_icon(gear))
    png(OUT / "Profile.png", 60, 60, circle_icon(moon))
    png(OUT / "StatusBar.png", 60, 60, circle_icon(moon))
    png(OUT / "Hushline.png", 110, 32, title)


if __name__ == "__main__":
    main()
