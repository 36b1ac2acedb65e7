#!/usr/bin/python3
"""Renders a tmux screen capture with colours (capture-pane -e) as a PNG.

Usage: render_screen.py capture.txt out.png [first_line last_line]
Needs Debian's python3-pil and fonts-dejavu-core.
"""
import re
import sys

from PIL import Image, ImageDraw, ImageFont

COLOURS = {30: (0, 0, 0), 31: (205, 49, 49), 32: (13, 188, 121), 33: (229, 229, 16),
           34: (36, 114, 200), 35: (188, 63, 188), 36: (17, 168, 205), 37: (229, 229, 229),
           90: (102, 102, 102), 91: (241, 76, 76), 92: (35, 209, 139), 97: (255, 255, 255)}
DEFAULT = (204, 204, 204)
BACKGROUND = (12, 12, 12)


def parse(line):
    """Yields (text, colour) runs of one captured line."""
    colour = DEFAULT
    for piece in re.split(r'(\x1b\[[0-9;]*m)', line):
        if piece.startswith('\x1b['):
            codes = [int(c) for c in piece[2:-1].split(';') if c] or [0]
            for code in codes:
                if code in (0, 39):
                    colour = DEFAULT
                elif code in COLOURS:
                    colour = COLOURS[code]
        elif piece:
            yield piece, colour


def main():
    lines = open(sys.argv[1], encoding='utf-8', errors='replace').read().rstrip('\n').split('\n')
    if len(sys.argv) > 4:
        lines = lines[int(sys.argv[3]):int(sys.argv[4])]
    font = ImageFont.truetype('/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf', 14)
    cell_w = font.getlength('M')
    cell_h = 18
    width = max(len(re.sub(r'\x1b\[[0-9;]*m', '', l)) for l in lines) + 2
    image = Image.new('RGB', (int(width * cell_w), (len(lines) + 1) * cell_h), BACKGROUND)
    draw = ImageDraw.Draw(image)
    for row, line in enumerate(lines):
        column = 1
        for text, colour in parse(line):
            for character in text:  # one cell each, so columns line up
                draw.text((column * cell_w, row * cell_h + cell_h // 2), character, font=font, fill=colour)
                column += 1
    image.save(sys.argv[2])


if __name__ == '__main__':
    main()
