#!/usr/bin/env python3
"""Makes the program icon, a Windows .ico file:

    python3 make_icon.py PIXEL_MAP DRAWING OUTPUT.ico

PIXEL_MAP (quelvane_icon.txt) holds the 16-colour images: 16 "colour LETTER
RR GG BB" lines (the palette, in order) and "image SIZE" blocks of SIZE lines
of SIZE letters, top line first, "." for a transparent pixel; "#" starts a
comment line.  Each becomes a 4-bit bitmap with its transparency mask.

DRAWING (quelvane_icon.svg) is an SVG sheet that holds one drawing for each
size in SIZES, each a nested <svg> whose width, height and viewBox are that
size in pixels, so that every whole coordinate is a pixel edge: the small
sizes are drawn on their own pixel grid rather than scaled down, and stay
crisp.  Only what these drawings need is read, as any browser shows it: <rect>
(x, y, width, height, rx, fill, fill-opacity) and <linearGradient> in the
sheet's <defs> (x1, y1, x2, y2 over the filled rectangle; <stop> offset,
stop-color, stop-opacity); a fill is "#rrggbb" or "url(#id)".  Anything else
is refused, so that what a browser shows is what the icon holds.  Each
drawing becomes a 32-bit image with alpha, the 256 one PNG-compressed.

Windows chooses an image by the directory alone, the nearest size first, then
the depth that suits the display, among equals the one listed first, and
reads only the image it chose.  So the output lists the 16-colour images
first, in the map's order (32 before 16: a program that asks for the icon's
own size gets 32 x 32), then the 32-bit bitmaps from the largest down (a size
between two gets the larger one, shrunk, not the smaller one stretched), and
the PNG last: Windows before Vista cannot read it, and a bitmap is nearer to
every size up to 160 pixels, so those never choose it.

Only the standard library is used, and nothing in the file depends on the
time, the paths or the tools' versions but zlib's: the same sources give the
same bytes.  Bad input is refused with its file and line, and OUTPUT then
stays as it was.
"""

import os
import struct
import sys
import xml.parsers.expat
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PNG_SIZES = (256,)
SAMPLES = 16  # per pixel side where a rounded corner crosses a pixel


class BadInput(Exception):
    pass


# ---------------------------------------------------------------- 16 colours


def read_pixel_map(path):
    """[(size, bitmap)] of the map's images, each a 4-bit DIB with its mask."""
    palette, index, images = [], {}, []

    def fail(line, message):
        raise BadInput(f"{path}:{line}: {message}")

    def component(text, line):
        if len(text) != 2 or any(c not in "0123456789abcdefABCDEF" for c in text):
            fail(line, f'colour component "{text}" is not two hex digits')
        return int(text, 16)

    try:
        with open(path, encoding="utf-8") as file:
            lines = file.read().split("\n")
    except UnicodeDecodeError as error:
        raise BadInput(f"{path}: not UTF-8 text ({error.reason} at byte {error.start})")
    if lines and lines[-1] == "":
        lines.pop()
    for number, text in enumerate(lines, 1):
        fields = text.split()
        if not fields or fields[0].startswith("#"):
            continue
        if fields[0] == "colour":
            if images:
                fail(number, "colours must come before the first image")
            if len(fields) < 5 or len(fields[1]) != 1 or fields[1] == ".":
                fail(number, "expected: colour LETTER RR GG BB")
            if fields[1] in index:
                fail(number, f'colour letter "{fields[1]}" is used twice')
            if len(palette) == 16:
                fail(number, "more than 16 colours")
            index[fields[1]] = len(palette)
            palette.append(tuple(component(c, number) for c in fields[2:5]))
        elif fields[0] == "image":
            if len(palette) != 16:
                fail(number, f"the palette needs exactly 16 colours before the first image, not {len(palette)}")
            if images and len(images[-1][1]) != images[-1][0]:
                fail(number, f"image {len(images)} has {len(images[-1][1])} lines, not {images[-1][0]}")
            if len(fields) != 2 or not fields[1].isdigit() or not 1 <= int(fields[1]) <= 255:
                fail(number, "expected: image SIZE (1 to 255)")
            images.append((int(fields[1]), []))
        else:
            if not images:
                fail(number, 'pixel line before the first "image" line')
            size, rows = images[-1]
            if len(text) != size:
                fail(number, f"line of {len(text)} pixels in an image of size {size}")
            if len(rows) == size:
                fail(number, f"more than {size} lines in image {len(images)}")
            for c in text:
                if c != "." and c not in index:
                    fail(number, f'pixel "{c}" is neither "." nor a palette letter')
            rows.append(text)
    if not images:
        raise BadInput(f"{path}: no image")
    if len(images[-1][1]) != images[-1][0]:
        raise BadInput(f"{path}: image {len(images)} has {len(images[-1][1])} lines, not {images[-1][0]}")
    return [(size, four_bit_bitmap(size, rows, palette, index)) for size, rows in images]


def four_bit_bitmap(size, rows, palette, index):
    colour_row = (size * 4 + 31) // 32 * 4
    mask_row = (size + 31) // 32 * 4
    out = bytearray(bitmap_header(size, 4, (colour_row + mask_row) * size))
    for red, green, blue in palette:
        out += bytes((blue, green, red, 0))
    for row in reversed(rows):  # bottom line first, two pixels a byte, high nibble left
        line = bytearray(colour_row)
        for x, c in enumerate(row):
            if c != ".":
                line[x // 2] |= index[c] << (4 if x % 2 == 0 else 0)
        out += line
    for row in reversed(rows):
        out += mask_line([c == "." for c in row], mask_row)
    return bytes(out)


def bitmap_header(size, bits, image_bytes):
    # BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, image_bytes, 0, 0, 0, 0)


def mask_line(transparent, length):
    """One line of the AND mask: one bit a pixel, leftmost highest, set = transparent."""
    line = bytearray(length)
    for x, clear in enumerate(transparent):
        if clear:
            line[x // 8] |= 0x80 >> (x % 8)
    return line


# ---------------------------------------------------------------- the drawing


class Element:
    def __init__(self, tag, attributes, line):
        self.tag, self.attributes, self.line, self.children = tag, attributes, line, []


def read_svg(path):
    with open(path, "rb") as file:
        data = file.read()
    parser = xml.parsers.expat.ParserCreate()
    stack, roots = [], []

    def start(tag, attributes):
        element = Element(tag, attributes, parser.CurrentLineNumber)
        (stack[-1].children if stack else roots).append(element)
        stack.append(element)

    parser.StartElementHandler = start
    parser.EndElementHandler = lambda tag: stack.pop()
    try:
        parser.Parse(data, True)
    except xml.parsers.expat.ExpatError as error:
        raise BadInput(f"{path}:{error.lineno}: not well-formed XML: {xml.parsers.expat.ErrorString(error.code)}")
    return roots[0]


def read_drawing(path):
    """{size: [rectangle]} from the SVG sheet; a rectangle is (x0, y0, x1, y1, radius, paint)."""
    root = read_svg(path)

    def fail(element, message):
        raise BadInput(f"{path}:{element.line}: <{element.tag}>: {message}")

    def allow(element, names):
        for name in element.attributes:
            if name not in names:
                fail(element, f'the attribute "{name}" is not one this drawing may use')

    def number(element, name, default=None, percent=False):
        text = element.attributes.get(name)
        if text is None:
            if default is None:
                fail(element, f'"{name}" is missing')
            return default
        scale = 1.0
        if percent and text.endswith("%"):
            text, scale = text[:-1], 0.01
        try:
            return float(text) * scale
        except ValueError:
            fail(element, f'"{name}" is "{text}", not a number')

    def colour(element, name):
        text = element.attributes.get(name, "#000000")
        if len(text) != 7 or text[0] != "#" or any(c not in "0123456789abcdefABCDEF" for c in text[1:]):
            fail(element, f'"{name}" is "{text}", not #rrggbb')
        return tuple(int(text[i:i + 2], 16) / 255 for i in (1, 3, 5))

    def opacity(element, name):
        value = number(element, name, 1.0)
        if not 0 <= value <= 1:
            fail(element, f'"{name}" is {value}, not between 0 and 1')
        return value

    if root.tag != "svg":
        fail(root, "the drawing must be an <svg> sheet")
    allow(root, {"xmlns", "version", "width", "height", "viewBox"})
    gradients, drawings = {}, {}
    for child in root.children:
        if child.tag in ("title", "desc"):
            continue
        if child.tag == "defs":
            allow(child, set())
            for gradient in child.children:
                if gradient.tag != "linearGradient":
                    fail(gradient, "only <linearGradient> may stand in <defs>")
                allow(gradient, {"id", "x1", "y1", "x2", "y2"})
                vector = tuple(number(gradient, name, default, True)
                               for name, default in (("x1", 0.0), ("y1", 0.0), ("x2", 1.0), ("y2", 0.0)))
                stops = []
                for stop in gradient.children:
                    if stop.tag != "stop":
                        fail(stop, "only <stop> may stand in a <linearGradient>")
                    allow(stop, {"offset", "stop-color", "stop-opacity"})
                    offset = number(stop, "offset", percent=True)
                    if not 0 <= offset <= 1 or (stops and offset < stops[-1][0]):
                        fail(stop, "offsets must rise from 0 to 1")
                    stops.append((offset, colour(stop, "stop-color"), opacity(stop, "stop-opacity")))
                if not stops or "id" not in gradient.attributes:
                    fail(gradient, "a gradient needs an id and at least one <stop>")
                gradients[gradient.attributes["id"]] = (vector, stops)
        elif child.tag == "svg":
            allow(child, {"x", "y", "width", "height", "viewBox"})
            size = child.attributes.get("width", "")
            if not size.isdigit() or int(size) not in SIZES:
                fail(child, f'a drawing\'s width is one of {", ".join(map(str, SIZES))}, not "{size}"')
            if child.attributes.get("height") != size or child.attributes.get("viewBox") != f"0 0 {size} {size}":
                fail(child, f'a drawing of {size} px needs height="{size}" and viewBox="0 0 {size} {size}"')
            if int(size) in drawings:
                fail(child, f"a second drawing of {size} px")
            shapes = []
            for rect in child.children:
                if rect.tag == "title":
                    continue
                if rect.tag != "rect":
                    fail(rect, "a drawing holds only <rect> elements")
                allow(rect, {"x", "y", "width", "height", "rx", "fill", "fill-opacity"})
                x, y = number(rect, "x", 0.0), number(rect, "y", 0.0)
                width, height = number(rect, "width"), number(rect, "height")
                if width <= 0 or height <= 0:
                    fail(rect, "width and height must be above 0")
                radius = min(number(rect, "rx", 0.0), width / 2, height / 2)
                fill = rect.attributes.get("fill", "#000000")
                if fill.startswith("url(#") and fill.endswith(")"):
                    if fill[5:-1] not in gradients:
                        fail(rect, f'no gradient "{fill[5:-1]}" in the <defs> above')
                    vector, stops = gradients[fill[5:-1]]
                    paint = (vector, [(o, c, a * opacity(rect, "fill-opacity")) for o, c, a in stops])
                else:
                    paint = colour(rect, "fill") + (opacity(rect, "fill-opacity"),)
                shapes.append((x, y, x + width, y + height, radius, paint))
            drawings[int(size)] = shapes
        else:
            fail(child, "the sheet holds only <title>, <desc>, <defs> and a <svg> for each size")
    missing = [str(size) for size in SIZES if size not in drawings]
    if missing:
        raise BadInput(f"{path}: no drawing of {', '.join(missing)} px")
    return drawings


def coverage(shape, px, py):
    """How much of pixel (px, py) the rectangle covers, 0 to 1."""
    x0, y0, x1, y1, radius, _ = shape
    width = min(px + 1, x1) - max(px, x0)
    height = min(py + 1, y1) - max(py, y0)
    if width <= 0 or height <= 0:
        return 0.0
    near_side = px < x0 + radius or px + 1 > x1 - radius
    near_top_or_bottom = py < y0 + radius or py + 1 > y1 - radius
    if radius <= 0 or not (near_side and near_top_or_bottom):
        return width * height
    # The pixel meets a rounded corner: count the points of a grid in it that
    # lie in the rectangle and, in a corner's square, within its arc.
    inside = 0
    for i in range(SAMPLES):
        sy = py + (i + 0.5) / SAMPLES
        cy = y0 + radius if sy < y0 + radius else y1 - radius if sy > y1 - radius else None
        for j in range(SAMPLES):
            sx = px + (j + 0.5) / SAMPLES
            if not (x0 <= sx < x1 and y0 <= sy < y1):
                continue
            cx = x0 + radius if sx < x0 + radius else x1 - radius if sx > x1 - radius else None
            if cx is None or cy is None or (sx - cx) ** 2 + (sy - cy) ** 2 <= radius * radius:
                inside += 1
    return inside / (SAMPLES * SAMPLES)


def paint_at(shape, px, py):
    """(red, green, blue, alpha) of the rectangle's fill at the centre of pixel (px, py)."""
    x0, y0, x1, y1, _, paint = shape
    if len(paint) == 4:
        return paint
    (gx1, gy1, gx2, gy2), stops = paint
    u, v = (px + 0.5 - x0) / (x1 - x0), (py + 0.5 - y0) / (y1 - y0)
    length = (gx2 - gx1) ** 2 + (gy2 - gy1) ** 2
    t = ((u - gx1) * (gx2 - gx1) + (v - gy1) * (gy2 - gy1)) / length if length else 1.0
    t = min(max(t, 0.0), 1.0)
    if t <= stops[0][0]:
        return stops[0][1] + (stops[0][2],)
    for (o0, c0, a0), (o1, c1, a1) in zip(stops, stops[1:]):
        if t <= o1:
            f = (t - o0) / (o1 - o0) if o1 > o0 else 1.0
            return tuple(p + (q - p) * f for p, q in zip(c0 + (a0,), c1 + (a1,)))
    return stops[-1][1] + (stops[-1][2],)


def render(size, shapes):
    """The drawing as straight (not premultiplied) RGBA bytes, top line first."""
    pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]  # premultiplied
    for shape in shapes:
        x0, y0, x1, y1 = (int(v) for v in shape[:4])
        for py in range(max(y0, 0), min(y1 + 1, size)):
            for px in range(max(x0, 0), min(x1 + 1, size)):
                covered = coverage(shape, px, py)
                if covered:
                    red, green, blue, alpha = paint_at(shape, px, py)
                    alpha *= covered
                    pixel = pixels[py * size + px]
                    for i, value in enumerate((red * alpha, green * alpha, blue * alpha, alpha)):
                        pixel[i] = value + pixel[i] * (1 - alpha)
    out = bytearray()
    for red, green, blue, alpha in pixels:
        if alpha <= 0:
            out += b"\0\0\0\0"
        else:
            out += bytes(min(255, int(c / alpha * 255 + 0.5)) for c in (red, green, blue))
            out.append(min(255, int(alpha * 255 + 0.5)))
    return bytes(out)


def alpha_bitmap(size, rgba):
    """A 32-bit DIB with alpha, and the mask that Windows 2000 draws it with.

    Windows 2000 reads a 32-bit image as 0RGB and draws it through its AND
    mask, as every Windows does for DrawIconEx's DI_MASK and DI_IMAGE: the
    mask marks the pixels less than half opaque, and those carry black, so
    that the XOR of the colour bitmap leaves the background as it was.  They
    are the shadow and the rim of the rounded corners, dark anyway, and
    Windows XP and later blend them by their alpha as before.
    """
    mask_row = (size + 31) // 32 * 4
    lines = [rgba[y * size * 4:(y + 1) * size * 4] for y in range(size)]
    out = bytearray(bitmap_header(size, 32, (size * 4 + mask_row) * size))
    for line in reversed(lines):  # bottom line first, BGRA
        for x in range(size):
            red, green, blue, alpha = line[x * 4:x * 4 + 4]
            out += bytes((blue, green, red, alpha)) if alpha >= 128 else bytes((0, 0, 0, alpha))
    for line in reversed(lines):
        out += mask_line([line[x * 4 + 3] < 128 for x in range(size)], mask_row)
    return bytes(out)


def png(size, rgba):
    """RGBA PNG: IHDR, IDAT and IEND only, so no time, path or tool's text."""

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    stride = size * 4
    raw, previous = bytearray(), bytes(stride)
    for y in range(size):
        line = rgba[y * stride:(y + 1) * stride]
        # Each line takes the filter whose output looks smallest (the sum of
        # its bytes as signed values), as libpng does.
        candidates = [bytes([0]) + line, bytes([1]) + bytes((line[i] - (line[i - 4] if i >= 4 else 0)) & 255
                                                            for i in range(stride)),
                      bytes([2]) + bytes((line[i] - previous[i]) & 255 for i in range(stride))]
        raw += min(candidates, key=lambda c: sum(b if b < 128 else 256 - b for b in c[1:]))
        previous = line
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8 bits, RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


# ---------------------------------------------------------------- the file


def icon_file(entries):
    """The .ico of [(size, bits, colours, image)], in that order."""
    directory = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, bits, colours, image in entries:
        side = 0 if size == 256 else size  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
    return directory + b"".join(image for *_, image in entries)


def main(arguments):
    if len(arguments) != 3:
        print("usage: make_icon.py PIXEL_MAP DRAWING OUTPUT.ico", file=sys.stderr)
        return 2
    pixel_map, drawing, output = arguments
    try:
        entries = [(size, 4, 16, image) for size, image in read_pixel_map(pixel_map)]
        drawings = read_drawing(drawing)
        for size in sorted(SIZES, key=lambda size: (size in PNG_SIZES, -size)):
            rgba = render(size, drawings[size])
            entries.append((size, 32, 0, png(size, rgba) if size in PNG_SIZES else alpha_bitmap(size, rgba)))
    except (BadInput, OSError) as error:
        print(f"make_icon.py: {error}", file=sys.stderr)
        return 1
    partial = f"{output}.partial.{os.getpid()}"
    try:
        with open(partial, "wb") as file:
            file.write(icon_file(entries))
        os.replace(partial, output)
    except OSError as error:
        print(f"make_icon.py: cannot write {output}: {error}", file=sys.stderr)
        if os.path.exists(partial):
            os.remove(partial)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
