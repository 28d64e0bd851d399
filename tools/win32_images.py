#!/usr/bin/env python3
"""Draws upskeeper's Windows artwork: the program icon (128), the tray icons
for "all is well" (130, green) and "look at me" (131, amber), and the splash
picture (135). A plug over a battery, in pure Python: shapes are sampled at
four times the size and averaged, and written as .ico (16 and 32 pixels,
32-bit with alpha) and as a 24-bit .bmp.

    tools/win32_images.py [output folder, default src/service/core]
"""

import os
import struct
import sys

SCALE = 4
NAVY, WHITE = (0x04, 0x16, 0x8C), (255, 255, 255)
GREEN, AMBER = (0x2E, 0xA0, 0x43), (0xFF, 0xB8, 0x1C)


def battery(x, y, fill):
    """The symbol in unit coordinates (0..1): a battery with a bolt, or None."""
    if 0.40 <= x <= 0.60 and 0.06 <= y <= 0.16:
        return NAVY                                    # the terminal
    if 0.22 <= x <= 0.78 and 0.14 <= y <= 0.94:
        if 0.28 <= x <= 0.72 and 0.20 <= y <= 0.88:
            # the bolt: two slanted halves
            if (0.35 <= y <= 0.56 and abs(x - (0.62 - (y - 0.35) * 0.8)) < 0.07) or \
               (0.50 <= y <= 0.76 and abs(x - (0.58 - (y - 0.50) * 0.8)) < 0.07) or \
               (0.50 <= y <= 0.56 and 0.40 <= x <= 0.60):
                return WHITE
            return fill
        return NAVY                                    # the case
    return None


def render(size, draw):
    """size x size pixels of (r, g, b, a), top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SCALE):
                for sx in range(SCALE):
                    c = draw((px + (sx + 0.5) / SCALE) / size, (py + (sy + 0.5) / SCALE) / size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = SCALE * SCALE
            row.append((r // a, g // a, b // a, 255 * a // n) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(rows):
    """A 32-bit icon image: header (double height), BGRA bottom-up, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)


def write_icon(path, fill):
    images = [dib(render(size, lambda x, y: battery(x, y, fill))) for size in (16, 32)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((16, 32), images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(directory + b"".join(images))


def write_splash(path, width=300, height=240):
    """Navy, a large green battery on the left, light bands on the right."""
    def draw(x, y):
        u = x * width / height
        symbol = battery(u - 0.05, y, GREEN) if u < 1.05 else None
        if symbol:
            return symbol
        if 0.45 <= x <= 0.92 and any(abs(y - b) < 0.035 for b in (0.35, 0.5, 0.65)):
            return (0xB6, 0xB6, 0xFF)
        return NAVY
    rows = render(width, lambda x, y: draw(x, y * width / height))[:height]
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(bytes(c for (r, g, b, _) in row for c in (b, g, r)).ljust(stride, b"\0")
                      for row in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54) + info + pixels)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src", "service", "core")
    write_icon(os.path.join(folder, "upskeeper.ico"), (0x8F, 0xB8, 0xFF))
    write_icon(os.path.join(folder, "tray_normal.ico"), GREEN)
    write_icon(os.path.join(folder, "tray_alarm.ico"), AMBER)
    write_splash(os.path.join(folder, "splash.bmp"))


if __name__ == "__main__":
    main()
