#!/usr/bin/env python3
"""check_icon.py ICON.ico: fails unless it lists, in this order, the 16-colour 32 and 16, 32-bit bitmaps of 64
down to 16 pixels with alpha and a mask that hides alpha 0, and a 256 PNG of IHDR, IDAT and IEND alone."""
import struct
import sys
EXPECTED = ["32 4-bit", "16 4-bit"] + [f"{side} 32-bit" for side in (64, 48, 40, 32, 24, 20, 16)] + ["256 PNG"]
data = open(sys.argv[1], "rb").read()
found, offences = [], []
for n in range(struct.unpack_from("<H", data, 4)[0]):
    side, _, _, _, _, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
    image, side = data[offset:offset + length], side or 256
    if image.startswith(b"\x89PNG\r\n\x1a\n"):
        chunks, at = [], 8
        while at < len(image):
            chunks.append(image[at + 4:at + 8])
            at += 12 + struct.unpack_from(">I", image, at)[0]
        width, height, depth, colour = struct.unpack_from(">IIBB", image, 16)
        found.append(f"{width} PNG" if (height, depth, colour, bits, side) == (width, 8, 6, 32, width) else "bad PNG")
        if chunks != [b"IHDR", b"IDAT", b"IEND"]:
            offences.append(f"image {n + 1}, a PNG, holds the chunks {chunks}")
        continue
    _, width, height, _, depth = struct.unpack_from("<IiiHH", image)
    row, mask_row = (width * depth + 31) // 32 * 4, (width + 31) // 32 * 4
    mask = image[40 + (64 if depth == 4 else 0) + width * row:]
    right = (height, depth, side, len(mask)) == (2 * width, bits, width, width * mask_row)
    found.append(f"{width} {depth}-bit" if right else f"{width} {depth}-bit, not as its entry or length says")
    alpha = image[43:40 + width * row:4] if depth == 32 else b"\xff"
    if not any(alpha):
        offences.append(f"image {n + 1} has no alpha: Windows XP would draw it opaque")
    hidden = [mask[p // width * mask_row + p % width // 8] & 0x80 >> p % width % 8 for p in range(len(alpha))]
    if any(a == 0 and not h for a, h in zip(alpha, hidden)):
        offences.append(f"image {n + 1}: its mask shows pixels of alpha 0, which Windows 2000 would draw")
if found != EXPECTED:
    offences.append(f"the images are {', '.join(found)}; expected {', '.join(EXPECTED)}")
sys.exit("\n".join([f"check_icon: {sys.argv[1]}"] + offences) if offences else 0)
