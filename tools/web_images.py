#!/usr/bin/env python3
"""Draws the images of the management pages (web/images/*.gif): the banner
logo, the tab backgrounds and separators, the help button, the corners, the
sub-menu markers and the label background. Pure Python, no imaging library:
shapes are drawn at four times the size and averaged down, so edges and
letters come out smooth; the result is written as GIF89a.

    tools/web_images.py [output folder, default web/images]
"""

import os
import sys

BANNER = (0x04, 0x16, 0x8C)
PAGE = (0xB6, 0xB6, 0xFF)
TITLE_ROW = (0x2E, 0x64, 0x8F)
ITEM_ROW = (0xEE, 0xF5, 0xFF)
WHITE = (255, 255, 255)
AMBER = (0xFF, 0xB8, 0x1C)
SKY = (0x8F, 0xB8, 0xFF)
TAB = (0x1E, 0x3C, 0xB4)        # an ordinary tab
TAB_LIT = (0x3D, 0x7C, 0xC8)    # the current tab
TAB_EDGE = (0x6F, 0x8F, 0xE6)
SCALE = 4                       # drawing resolution per output pixel
TAB_TOP = 9                     # tabs start this many pixels below the row's top

# 5 x 7 letters, one string of five characters a row ("#" set).
FONT = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "a": ["     ", "     ", " ### ", "    #", " ####", "#   #", " ####"],
    "c": ["     ", "     ", " ### ", "#    ", "#    ", "#    ", " ### "],
    "e": ["     ", "     ", " ### ", "#   #", "#####", "#    ", " ### "],
    "g": ["     ", " ####", "#   #", "#   #", " ####", "    #", " ### "],
    "i": ["  #  ", "     ", " ##  ", "  #  ", "  #  ", "  #  ", " ### "],
    "n": ["     ", "     ", "#### ", "#   #", "#   #", "#   #", "#   #"],
    "r": ["     ", "     ", "# ## ", "##  #", "#    ", "#    ", "#    "],
    "v": ["     ", "     ", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "?": [" ### ", "#   #", "    #", "   # ", "  #  ", "     ", "  #  "],
    " ": ["     "] * 7,
}


class Canvas:
    """An RGB picture drawn at SCALE times its size; alpha 0 marks the
    transparent pixels of a picture that has them."""

    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.w, self.h = width * SCALE, height * SCALE
        self.pixels = [[fill] * self.w for _ in range(self.h)]

    def put(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills [x0, x1) x [y0, y1) in output pixels (fractions allowed)."""
        for y in range(int(y0 * SCALE), int(y1 * SCALE)):
            for x in range(int(x0 * SCALE), int(x1 * SCALE)):
                self.put(x, y, colour)

    def vertical_gradient(self, x0, y0, x1, y1, top, bottom):
        rows = int((y1 - y0) * SCALE)
        for i in range(rows):
            colour = blend(top, bottom, i / max(rows - 1, 1))
            for x in range(int(x0 * SCALE), int(x1 * SCALE)):
                self.put(x, int(y0 * SCALE) + i, colour)

    def polygon(self, points, colour):
        """Fills a polygon given in output pixels (even-odd rule)."""
        pts = [(px * SCALE, py * SCALE) for px, py in points]
        for y in range(self.h):
            cy = y + 0.5
            crossings = []
            for (ax, ay), (bx, by) in zip(pts, pts[1:] + pts[:1]):
                if (ay <= cy < by) or (by <= cy < ay):
                    crossings.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            crossings.sort()
            for left, right in zip(crossings[::2], crossings[1::2]):
                for x in range(int(left + 0.5), int(right + 0.5)):
                    self.put(x, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(self.h):
            for x in range(self.w):
                if ((x + 0.5) / SCALE - cx) ** 2 + ((y + 0.5) / SCALE - cy) ** 2 <= r * r:
                    self.pixels[y][x] = colour

    def shaded_disc(self, cx, cy, r, light, dark):
        """A ball lit from the upper left."""
        for y in range(self.h):
            for x in range(self.w):
                dx, dy = (x + 0.5) / SCALE - cx, (y + 0.5) / SCALE - cy
                if dx * dx + dy * dy <= r * r:
                    lx, ly = dx + r * 0.35, dy + r * 0.45
                    t = min(1.0, (lx * lx + ly * ly) ** 0.5 / (1.5 * r))
                    self.pixels[y][x] = blend(light, dark, t)

    def text(self, x, y, string, size, colour, bold=0.0):
        """Writes string with its top left at (x, y); size is the height of
        one font pixel in output pixels. Returns the width written."""
        advance = 6 * size
        for i, char in enumerate(string):
            glyph = FONT[char]
            for row, bits in enumerate(glyph):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        gx = x + i * advance + col * size
                        gy = y + row * size
                        self.rect(gx, gy, gx + size + bold, gy + size, colour)
        return len(string) * advance - size

    def downsample(self):
        """The picture at its real size, each pixel the mean of its block;
        None for a block that is mostly transparent."""
        out = []
        for oy in range(self.height):
            row = []
            for ox in range(self.width):
                block = [self.pixels[oy * SCALE + j][ox * SCALE + i]
                         for j in range(SCALE) for i in range(SCALE)]
                solid = [c for c in block if c is not None]
                if len(solid) * 2 < len(block):
                    row.append(None)
                else:
                    row.append(tuple(round(sum(c[k] for c in solid) / len(solid))
                                     for k in range(3)))
            out.append(row)
        return out


def blend(a, b, t):
    return tuple(round(a[k] + (b[k] - a[k]) * t) for k in range(3))


def quantise(colour, step):
    """Fewer colours, so every picture fits a 256-colour table."""
    return tuple(min(255, (c + step // 2) // step * step) for c in colour)


def lzw(indices, min_code_size):
    """GIF's variable-width LZW, packed little-endian into sub-blocks."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    width = min_code_size + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    bits = bitcount = 0
    out = bytearray()

    def emit(code):
        nonlocal bits, bitcount
        bits |= code << bitcount
        bitcount += width
        while bitcount >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            bitcount -= 8

    emit(clear)
    current = ()
    for index in indices:
        candidate = current + (index,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            width = min_code_size + 1
        current = (index,)
    if current:
        emit(table[current])
    emit(end)
    if bitcount:
        out.append(bits & 0xFF)
    blocks = bytearray()
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks.append(len(chunk))
        blocks += chunk
    return bytes(blocks) + b"\0"


def write_gif(path, pixels):
    height, width = len(pixels), len(pixels[0])
    transparent = any(c is None for row in pixels for c in row)
    # The finest colour steps that fit the table.
    for step in range(2, 64, 2):
        rows = [[None if c is None else quantise(c, step) for c in row] for row in pixels]
        colours = sorted({c for row in rows for c in row if c is not None})
        if len(colours) + transparent <= 256:
            break
    palette = colours + ([(255, 255, 255)] if transparent else [])
    size_bits = max(1, (len(palette) - 1).bit_length())
    palette += [(0, 0, 0)] * ((1 << size_bits) - len(palette))
    index = {c: i for i, c in enumerate(colours)}
    clear_index = len(colours)
    indices = [clear_index if c is None else index[c] for row in rows for c in row]
    data = bytearray(b"GIF89a")
    data += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    data += bytes([0x80 | ((size_bits - 1) << 4) | (size_bits - 1), 0, 0])
    for c in palette:
        data += bytes(c)
    if transparent:
        data += bytes([0x21, 0xF9, 4, 1, 0, 0, clear_index, 0])
    data += b"\x2C" + bytes(4) + width.to_bytes(2, "little") + height.to_bytes(2, "little")
    data += b"\0"
    min_code_size = max(2, size_bits)
    data += bytes([min_code_size]) + lzw(indices, min_code_size)
    data += b"\x3B"
    with open(path, "wb") as f:
        f.write(data)


def logo(lit):
    """207 x 57: a power emblem and the product name on the banner."""
    c = Canvas(207, 57, BANNER)
    ring = AMBER if lit else SKY
    c.shaded_disc(29, 28.5, 20, blend(ring, WHITE, 0.45), blend(ring, BANNER, 0.35))
    c.disc(29, 28.5, 15.5, BANNER)
    # A lightning bolt through the ring.
    c.polygon([(32, 14), (21, 31), (28, 31), (25, 43), (37, 25), (30, 25), (34, 14)], WHITE)
    c.text(58, 13, "KELVANE", 3, WHITE, bold=0.5)
    c.rect(58, 38, 58 + 122, 39, blend(ring, BANNER, 0.3))
    c.text(58, 43, "Device Manager", 1.4, blend(SKY, WHITE, 0.4), bold=0.3)
    return c.downsample()


def tab_background(colour):
    """The tile behind a tab's text: banner colour above the tab's top."""
    c = Canvas(8, 38, BANNER)
    c.vertical_gradient(0, TAB_TOP, 8, 38, blend(colour, WHITE, 0.35), colour)
    c.rect(0, TAB_TOP, 8, TAB_TOP + 1, blend(colour, WHITE, 0.6))
    return c.downsample()


def separator(left, right):
    """22 x 38 between two tabs: the left tab's slanted right side, the right
    tab's slanted left side, each None for no tab there (the banner shows)."""
    c = Canvas(22, 38, BANNER)
    if left is not None:
        c.polygon([(0, TAB_TOP), (3, TAB_TOP), (11, 38), (0, 38)], left)
    if right is not None:
        c.polygon([(19, TAB_TOP), (22, TAB_TOP), (22, 38), (11, 38)], right)
    # Shade each side from light at its top to its own colour at the bottom.
    for y in range(c.h):
        t = max(0.0, (y / SCALE - TAB_TOP) / (38 - TAB_TOP))
        for x in range(c.w):
            p = c.pixels[y][x]
            if p is not None and p in (left, right):
                c.pixels[y][x] = blend(blend(p, WHITE, 0.35), p, t)
    if left is not None:
        c.polygon([(3, TAB_TOP), (4, TAB_TOP), (12, 38), (11, 38)], TAB_EDGE)
    if right is not None:
        c.polygon([(18, TAB_TOP), (19, TAB_TOP), (11, 38), (10, 38)], TAB_EDGE)
    return c.downsample()


def help_button():
    c = Canvas(28, 28, None)
    c.shaded_disc(14, 14, 13, (0xF4, 0xF8, 0xFF), TAB_LIT)
    c.text(14 - 5 * 1.9 / 2, 14 - 7 * 1.9 / 2, "?", 1.9, BANNER, bold=0.5)
    return c.downsample()


def corner(top):
    """13 x 12: the banner's rounded right end, above (top) or below the
    page; the page colour shows outside the curve."""
    c = Canvas(13, 12, PAGE)
    cy = 0 if top else 12
    c.disc(0, cy, 12.5, BANNER)
    return c.downsample()


def marker(open_):
    """16 x 16 sub-menu marker: a ball with an arrow, pointing down when open."""
    c = Canvas(16, 16, ITEM_ROW)
    c.shaded_disc(8, 8, 6.5, blend(TAB_LIT, WHITE, 0.5) if open_ else (0xC8, 0xD4, 0xF0),
                  AMBER if open_ else TAB)
    if open_:
        c.polygon([(4.5, 6), (11.5, 6), (8, 11)], WHITE)
    else:
        c.polygon([(6, 4.5), (11, 8), (6, 11.5)], WHITE)
    return c.downsample()


def label_background():
    c = Canvas(200, 4, ITEM_ROW)
    for x in range(c.w):
        colour = blend((0xD4, 0xDC, 0xFF), ITEM_ROW, x / c.w)
        for y in range(c.h):
            c.pixels[y][x] = colour
    return c.downsample()


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "web", "images")
    os.makedirs(folder, exist_ok=True)
    filler = Canvas(8, 38, BANNER).downsample()
    images = {
        "logo0.gif": logo(False),
        "logo1.gif": logo(True),
        "spacer.gif": [[None]],
        "menu0.gif": tab_background(TAB),
        "menu1.gif": tab_background(TAB_LIT),
        "menu00.gif": separator(TAB, TAB),
        "menu01.gif": separator(TAB, TAB_LIT),
        "menu10.gif": separator(TAB_LIT, TAB),
        "menu02.gif": separator(TAB, None),
        "menu12.gif": separator(TAB_LIT, None),
        "menu2.gif": filler,
        "help.gif": help_button(),
        "topright.gif": corner(True),
        "btmright.gif": corner(False),
        "open.gif": marker(True),
        "close.gif": marker(False),
        "item_bg.gif": label_background(),
    }
    for name, pixels in images.items():
        write_gif(os.path.join(folder, name), pixels)
        print(f"{name}: {len(pixels[0])} x {len(pixels)}")


if __name__ == "__main__":
    main()
