#!/bin/bash
# Makes a Windows icon file from a text pixel map:
#
#   make_icon.sh MAP OUTPUT.ico
#
# MAP holds 16 "colour LETTER RR GG BB" lines (the palette, in order) and one
# or more "image SIZE" blocks of SIZE lines of SIZE letters, top line first,
# "." for a transparent pixel; "#" starts a comment line (see quelvane_icon.txt).
# Every image becomes a 4-bit, 16-colour bitmap with its transparency mask.
#
# Needs only bash and awk (gawk or mawk), so the icon is made the same way on
# any build machine.  A map with a mistake is refused with its line number,
# and OUTPUT then stays as it was.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 MAP OUTPUT.ico" >&2
    exit 2
fi
map=$1
output=$2

# awk writes the file as printf escapes (\ooo, one per byte): awk itself
# cannot be trusted to write a NUL byte, bash's printf can.
escapes=$(awk '
function fail(message) {
    printf "%s:%d: %s\n", FILENAME, FNR, message | "cat 1>&2"
    failed = 1
    exit 1
}
function hex(text,    value, i, digit) {
    if (text !~ /^[0-9A-Fa-f][0-9A-Fa-f]$/) fail("colour component \"" text "\" is not two hex digits")
    value = 0
    for (i = 1; i <= 2; i++) {
        digit = index("0123456789ABCDEF", toupper(substr(text, i, 1))) - 1
        value = value * 16 + digit
    }
    return value
}
function byte(value) { out = out sprintf("\\%03o", value % 256) }
function le16(value) { byte(value % 256); byte(int(value / 256)) }
function le32(value) { le16(value % 65536); le16(int(value / 65536)) }
function pixel(image, x, y) { return substr(rows[image, y], x, 1) }

/^[ \t]*(#|$)/ { next }

$1 == "colour" {
    if (images) fail("colours must come before the first image")
    if (NF < 5 || length($2) != 1 || $2 == ".") fail("expected: colour LETTER RR GG BB")
    if ($2 in paletteIndex) fail("colour letter \"" $2 "\" is used twice")
    if (colours == 16) fail("more than 16 colours")
    paletteIndex[$2] = colours
    red[colours] = hex($3); green[colours] = hex($4); blue[colours] = hex($5)
    colours++
    next
}

$1 == "image" {
    if (colours != 16) fail("the palette needs exactly 16 colours before the first image, not " colours)
    if (images && lines[images] != sizes[images])
        fail("image " images " has " lines[images] " lines, not " sizes[images])
    if (NF != 2 || $2 !~ /^[0-9]+$/ || $2 < 1 || $2 > 255) fail("expected: image SIZE (1 to 255)")
    sizes[++images] = $2 + 0
    lines[images] = 0
    next
}

{
    if (!images) fail("pixel line before the first \"image\" line")
    if (length($0) != sizes[images]) fail("line of " length($0) " pixels in an image of size " sizes[images])
    if (lines[images] == sizes[images]) fail("more than " sizes[images] " lines in image " images)
    for (x = 1; x <= length($0); x++) {
        c = substr($0, x, 1)
        if (c != "." && !(c in paletteIndex)) fail("pixel \"" c "\" is neither \".\" nor a palette letter")
    }
    rows[images, ++lines[images]] = $0
}

END {
    if (failed) exit 1
    if (!images) { printf "%s: no image\n", FILENAME | "cat 1>&2"; exit 1 }
    if (lines[images] != sizes[images]) {
        printf "%s: image %d has %d lines, not %d\n", FILENAME, images, lines[images], sizes[images] | "cat 1>&2"
        exit 1
    }

    # Icon directory, then one entry per image.
    le16(0); le16(1); le16(images)
    offset = 6 + 16 * images
    for (i = 1; i <= images; i++) {
        size = sizes[i]
        colourRow[i] = int((size * 4 + 31) / 32) * 4   # rows are padded to four bytes
        maskRow[i] = int((size + 31) / 32) * 4
        length_[i] = 40 + 16 * 4 + (colourRow[i] + maskRow[i]) * size
        byte(size == 256 ? 0 : size); byte(size == 256 ? 0 : size); byte(16); byte(0)
        le16(1); le16(4); le32(length_[i]); le32(offset)
        offset += length_[i]
    }

    for (i = 1; i <= images; i++) {
        size = sizes[i]
        # BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
        le32(40); le32(size); le32(2 * size); le16(1); le16(4); le32(0)
        le32((colourRow[i] + maskRow[i]) * size); le32(0); le32(0); le32(0); le32(0)
        for (c = 0; c < 16; c++) { byte(blue[c]); byte(green[c]); byte(red[c]); byte(0) }

        # Colour bitmap, bottom line first, two pixels a byte, high nibble left.
        for (y = size; y >= 1; y--) {
            written = 0
            for (x = 1; x <= size; x += 2) {
                left = pixel(i, x, y); right = x + 1 <= size ? pixel(i, x + 1, y) : "."
                high = left == "." ? 0 : paletteIndex[left]
                low = right == "." ? 0 : paletteIndex[right]
                byte(high * 16 + low); written++
            }
            for (; written < colourRow[i]; written++) byte(0)
        }

        # Transparency mask, bottom line first, one bit a pixel, set = transparent.
        for (y = size; y >= 1; y--) {
            written = 0
            for (x = 1; x <= size; x += 8) {
                bits = 0
                for (k = 0; k < 8; k++) {
                    bits *= 2
                    if (x + k <= size && pixel(i, x + k, y) == ".") bits += 1
                }
                byte(bits); written++
            }
            for (; written < maskRow[i]; written++) byte(0)
        }
    }
    printf "%s", out
}
' "$map")

partial="$output.partial.$$"
trap 'rm -f "$partial"' EXIT
# The escapes are the whole format: no "%" can occur in them.
# shellcheck disable=SC2059
printf "$escapes" >"$partial"
mv -f "$partial" "$output"
trap - EXIT
