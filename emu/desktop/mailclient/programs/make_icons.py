#!/usr/bin/env python3
"""Writes the icons of the mail client's two programs: a 32x32 and a 16x16 image each.

The mail program's icon is an envelope (white on blue), the address book's a card (dark on
yellow). Run it from this folder; the files it writes are committed beside it.
"""
import struct


def image(size, paint):
    """A 32-bit BITMAPINFOHEADER icon image; paint(x, y) gives (r, g, b), y from the top."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''
    for y in reversed(range(size)):
        rows += b''.join(struct.pack('<BBBB', b, g, r, 255)
                         for (r, g, b) in (paint(x, y, size) for x in range(size)))
    mask = b'\0' * (((size + 31) // 32) * 4) * size
    return header + rows + mask


def icon_file(paint):
    images = [(32, image(32, paint)), (16, image(16, paint))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b'', b''
    for size, data in images:
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return out + entries + blobs


def envelope(x, y, size):
    edge = size // 8
    inside = edge <= x < size - edge and size // 4 <= y < size - size // 4
    flap = inside and abs(x - size // 2) == y - size // 4
    return (0, 0, 160) if flap or not inside else (255, 255, 255)


def card(x, y, size):
    edge = size // 8
    inside = edge <= x < size - edge and edge <= y < size - edge
    line = inside and y % (size // 4) == 0
    return (60, 60, 60) if line or not inside else (250, 220, 60)


with open('mail.ico', 'wb') as f:
    f.write(icon_file(envelope))
with open('addressbook.ico', 'wb') as f:
    f.write(icon_file(card))
