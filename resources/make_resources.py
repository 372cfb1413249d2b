#!/usr/bin/env python3
"""Draws the program's bitmaps, cursor and icon into the given directory (run by the build).

Everything is drawn from code, byte for byte the same on every run:
  CR.bmp, CRS.bmp, CRL.bmp  line-end glyphs (a return arrow), 24 bits per pixel, strokes in
                            0x000080 on white. The editor re-colours them with flood fills seeded
                            at (10, 4) and (4, 10), so both points lie on a stroke in every size,
                            and fills the background from (1, 1), so all white is connected to it.
  RevCursor.cur             a reversed arrow pointing up-right, hot spot at its tip (row margin).
  OpenHand.cur              an open hand, hot spot in its palm (dragging the print preview's page).
  MainIcon.ico              a 'V' on a page, 32x32.
  FirstPage.bmp, PrevPage.bmp, NextPage.bmp, LastPage.bmp
                            the print preview's page buttons, 16x16: triangles, with a bar for the
                            first and last page.
  PrintGlyph.bmp            a printer, 16x16, for the print dialog's Print button.
  PreviewGlyph.bmp          a page under a magnifying glass, 16x16, for its Preview button.
  Printing.bmp              the printer at 32x32, shown while a job is sent.
  The glyphs are 24 bits per pixel on fuchsia, the colour their bottom-left pixel gives: buttons
  and images draw that colour as transparent.
"""
import struct
import sys
from collections import deque
from pathlib import Path

WHITE = (255, 255, 255)
STROKE = (0x80, 0, 0)  # RGB of the colour 0x000080 (0x00BBGGRR)


def bmp24(pixels):
    """A bottom-up 24-bit BMP of rows of (r, g, b)."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + bytes(stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + bytes(data)


def return_arrow(width, height, thickness, head_length, top):
    """A return arrow: a vertical stroke from `top` down at x = 10, turning left at y = 10 into a
    horizontal stroke that ends in a filled arrowhead with its tip at x = 1."""
    px = [[WHITE] * width for _ in range(height)]
    t = thickness
    right = 10 + t - 1
    bottom = 10 + t - 1
    for y in range(top, bottom + 1):
        for x in range(10, right + 1):
            px[y][x] = STROKE
    tip = 1
    for y in range(10, bottom + 1):
        for x in range(tip, right + 1):
            px[y][x] = STROKE
    centre = 10 + (t - 1) / 2
    for x in range(tip, tip + head_length + 1):
        half = (x - tip) + (t - 1) / 2
        for y in range(height):
            if abs(y - centre) <= half:
                px[y][x] = STROKE
    check_glyph(px)
    return px


def check_glyph(px):
    """The fills the editor runs must work on the glyph."""
    assert px[4][10] == STROKE and px[10][4] == STROKE, 'fill seeds must lie on the strokes'
    assert px[1][1] == WHITE, 'background seed must be white'
    height, width = len(px), len(px[0])
    seen = {(1, 1)}
    todo = deque(seen)
    while todo:
        x, y = todo.popleft()
        for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if 0 <= nx < width and 0 <= ny < height and (nx, ny) not in seen and px[ny][nx] == WHITE:
                seen.add((nx, ny))
                todo.append((nx, ny))
    whites = sum(row.count(WHITE) for row in px)
    assert whites == len(seen), 'every white pixel must be reachable from (1, 1)'


# The classic arrow, drawn by us: B outline, W fill, '.' transparent. Tip at the top left.
ARROW = [
    'B',
    'BB',
    'BWB',
    'BWWB',
    'BWWWB',
    'BWWWWB',
    'BWWWWWB',
    'BWWWWWWB',
    'BWWWWWWWB',
    'BWWWWWWWWB',
    'BWWWWWWWWWB',
    'BWWWWWWBBBBB',
    'BWWWBWWB',
    'BWWBBWWB',
    'BWB..BWWB',
    'BB...BWWB',
    'B.....BWWB',
    '......BWWB',
    '.......BB',
]


def reversed_arrow_cursor():
    """32x32 monochrome cursor: the arrow mirrored, so it points up and to the right."""
    size = 32
    tip_x, tip_y = 30, 1
    grid = [['.'] * size for _ in range(size)]
    for dy, row in enumerate(ARROW):
        for dx, c in enumerate(row):
            if c != '.':
                grid[tip_y + dy][tip_x - dx] = c
    xor_rows, and_rows = [], []
    for row in grid:
        xor_bits = and_bits = 0
        for x, c in enumerate(row):
            bit = 1 << (31 - x)
            if c == 'W':
                xor_bits |= bit
            elif c == '.':
                and_bits |= bit
        xor_rows.append(struct.pack('>I', xor_bits))
        and_rows.append(struct.pack('>I', and_bits))
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = (struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0) + palette
             + b''.join(reversed(xor_rows)) + b''.join(reversed(and_rows)))
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', size, size, 2, 0, tip_x, tip_y, len(image), 6 + 16)
    return directory + entry + image


OPEN_HAND = [
    '......BB........',
    '...BB.BWB.BB....',
    '..BWWBBWBBWWB...',
    '..BWWBBWBBWWB.B.',
    '...BWWBWBWWB.BWB',
    '...BWWBWBWWBBWWB',
    '.BB.BWWWWWWBBWB.',
    'BWWBBWWWWWWWWWB.',
    'BWWWBWWWWWWWWWB.',
    '.BWWWWWWWWWWWB..',
    '..BWWWWWWWWWWB..',
    '..BWWWWWWWWWB...',
    '...BWWWWWWWWB...',
    '....BWWWWWWB....',
    '.....BWWWWWB....',
    '.....BBBBBBB....',
]


def cursor_from_grid(grid, hot_x, hot_y):
    """32x32 monochrome cursor from rows of 'B' (black), 'W' (white) and '.' (clear)."""
    size = 32
    xor_rows, and_rows = [], []
    for y in range(size):
        row = grid[y] if y < len(grid) else ''
        xor_bits = 0
        and_bits = 0xFFFFFFFF
        for x, c in enumerate(row):
            bit = 1 << (31 - x)
            if c == 'W':
                xor_bits |= bit
            if c != '.':
                and_bits &= ~bit
        xor_rows.append(struct.pack('>I', xor_bits))
        and_rows.append(struct.pack('>I', and_bits))
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = (struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0) + palette
             + b''.join(reversed(xor_rows)) + b''.join(reversed(and_rows)))
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', size, size, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    return directory + entry + image


def main_icon():
    """32x32, 32 bits per pixel: a white page with a folded corner and a navy 'V'."""
    size = 32
    clear = (0, 0, 0, 0)
    page, edge, flap = (255, 255, 255, 255), (64, 64, 64, 255), (208, 208, 208, 255)
    navy = (0, 0, 128, 255)
    left, top, right, bottom, fold = 5, 2, 26, 29, 7

    def on_page(x, y):
        return left <= x <= right and top <= y <= bottom and (x - (right - fold)) <= (y - top)

    px = [[clear] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if not on_page(x, y):
                continue
            border = not all(on_page(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            px[y][x] = edge if border else page
    # The folded-over corner.
    for y in range(top, top + fold + 1):
        for x in range(right - fold, right + 1):
            if (x - (right - fold)) <= (y - top):
                on_fold_edge = x == right - fold or y == top + fold or (x - (right - fold)) == (y - top)
                px[y][x] = edge if on_fold_edge else flap

    def near_segment(x, y, ax, ay, bx, by, r):
        vx, vy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
        dx, dy = x - (ax + t * vx), y - (ay + t * vy)
        return dx * dx + dy * dy <= r * r

    for y in range(size):
        for x in range(size):
            if near_segment(x, y, 9.5, 11, 15.5, 25, 1.7) or near_segment(x, y, 21.5, 11, 15.5, 25, 1.7):
                px[y][x] = navy

    xor = bytearray()
    for row in reversed(px):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = bytearray()
    for row in reversed(px):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack('>I', bits)
    image = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image += bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


# Glyphs: one letter a pixel. '.' is the transparent background.
GLYPH_BACK = (255, 0, 255)
GLYPH_COLOURS = {
    '.': GLYPH_BACK,
    'K': (0, 0, 0),
    'G': (128, 128, 128),
    'L': (192, 192, 192),
    'W': (255, 255, 255),
    'C': (160, 224, 255),
    'E': (0, 160, 0),
}


def glyph_pixels(rows):
    width = len(rows[0])
    assert all(len(r) == width for r in rows), 'glyph rows must be equally long'
    px = [[GLYPH_COLOURS[c] for c in r] for r in rows]
    assert px[-1][0] == GLYPH_BACK, 'the bottom-left pixel gives the transparent colour'
    assert any(c != GLYPH_BACK for row in px for c in row), 'a glyph must show something'
    return px


def page_button(bar, right):
    """A triangle pointing left (or right), with a bar in front of its tip for the first (last) page."""
    size = 16
    grid = [['.'] * size for _ in range(size)]
    tip = 7 if bar else 5
    for y in range(size):
        d = abs(y - 7.5)
        if d > 5:
            continue
        w = int(6 - d)
        for x in range(tip + 5 - w, tip + 5):
            grid[y][x] = 'K'
        if bar:
            for x in (tip - 3, tip - 2):
                grid[y][x] = 'K'
    rows = [''.join(r) for r in grid]
    if right:
        rows = [r[::-1] for r in rows]
    return glyph_pixels(rows)


PRINTER = [
    '................',
    '....KKKKKKKK....',
    '....KWWWWWWK....',
    '....KWWWWWWK....',
    '..KKKKKKKKKKKK..',
    '.KLLLLLLLLLLLLK.',
    '.KWLLLLLLLLEELK.',
    '.KLLLLLLLLLLLLK.',
    '.KGGGGGGGGGGGGK.',
    '.KKKKKKKKKKKKKK.',
    '...KWWWWWWWWK...',
    '...KWGGGGGGWK...',
    '...KWWWWWWWWK...',
    '...KWGGGGWWWK...',
    '...KKKKKKKKKK...',
    '................',
]

PREVIEW = [
    '.KKKKKKKKKK.....',
    '.KWWWWWWWWK.....',
    '.KWWWWWWWWK.....',
    '.KWGGGGGGWK.....',
    '.KWWWWWWWWK.....',
    '.KWGGGGWKKKK....',
    '.KWWWWWKKWCKK...',
    '.KWGGGKKWCCCKK..',
    '.KWWWWKCCCCCCK..',
    '.KWGGGKCCCCCCK..',
    '.KWWWWKKCCCCKK..',
    '.KWGGGGKKCCKK...',
    '.KWWWWWWKKKKKK..',
    '.KWWWWWWWWK.KKK.',
    '.KKKKKKKKKK..KKK',
    '..............KK',
]


def doubled(px):
    """Each pixel as a 2x2 block."""
    out = []
    for row in px:
        wide = [c for c in row for _ in range(2)]
        out += [wide, list(wide)]
    return out


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    files = {
        'CRS.bmp': bmp24(return_arrow(13, 13, 1, 2, 1)),
        'CR.bmp': bmp24(return_arrow(16, 16, 2, 4, 2)),
        'CRL.bmp': bmp24(return_arrow(20, 20, 3, 5, 2)),
        'RevCursor.cur': reversed_arrow_cursor(),
        'OpenHand.cur': cursor_from_grid(OPEN_HAND, 8, 9),
        'MainIcon.ico': main_icon(),
        'FirstPage.bmp': bmp24(page_button(True, False)),
        'PrevPage.bmp': bmp24(page_button(False, False)),
        'NextPage.bmp': bmp24(page_button(False, True)),
        'LastPage.bmp': bmp24(page_button(True, True)),
        'PrintGlyph.bmp': bmp24(glyph_pixels(PRINTER)),
        'PreviewGlyph.bmp': bmp24(glyph_pixels(PREVIEW)),
        'Printing.bmp': bmp24(doubled(glyph_pixels(PRINTER))),
    }
    for name, data in files.items():
        (out / name).write_bytes(data)


if __name__ == '__main__':
    main()
