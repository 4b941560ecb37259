#!/usr/bin/env python3
"""Writes the provider library's icons, cursor and contacts-list bitmap.

Run it from this folder; the files it writes are committed beside it.
provider.ico / contacts.ico: 16x16 and 32x32, 32-bit. pointer.cur: 32x32 monochrome, hot spot
at (1, 1). contacts.bmp: a 32x16 strip of two 16x16 images (entries outside folders, a folder)
whose top-left pixel is the mask colour.
"""
import struct


def dib(size, pixel):
    """A 32-bit icon image: BITMAPINFOHEADER with doubled height, colour rows, empty AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''
    for y in reversed(range(size)):
        rows += b''.join(struct.pack('<BBBB', *reversed(pixel(x, y, size)), 255) for x in range(size))
    mask = b'\0' * (((size + 31) // 32) * 4) * size
    return header + rows + mask


def mono_dib(size):
    """A 1-bit cursor image: an arrow-like triangle in the XOR bits, AND mask clear."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 0, 0)
    palette = struct.pack('<BBBBBBBB', 0, 0, 0, 0, 255, 255, 255, 0)
    row_bytes = ((size + 31) // 32) * 4
    rows = b''
    for y in reversed(range(size)):
        bits = 0
        for x in range(size):
            if x <= y and y < size // 2:
                bits |= 1 << (size - 1 - x)
        rows += bits.to_bytes(row_bytes, 'big')
    return header + palette + rows + b'\0' * row_bytes * size


def directory(kind, images, hotspot=(0, 0)):
    out = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b'', b''
    for size, bits, data in images:
        planes, count = (1, bits) if kind == 1 else hotspot
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, planes, count,
                               len(data), offset)
        blobs += data
        offset += len(data)
    return out + entries + blobs


def icon(colour):
    def pixel(x, y, size):
        edge = x in (0, size - 1) or y in (0, size - 1)
        return (0, 0, 0) if edge else colour
    return directory(1, [(16, 32, dib(16, pixel)), (32, 32, dib(32, pixel))])


def bitmap(width, height, pixel):
    row_bytes = ((width * 24 + 31) // 32) * 4
    rows = b''
    for y in reversed(range(height)):
        row = b''.join(struct.pack('<BBB', *reversed(pixel(x, y))) for x in range(width))
        rows += row + b'\0' * (row_bytes - len(row))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return head + info + rows


MASK = (255, 0, 255)


def contacts_pixel(x, y):
    if x % 16 == 0 or y == 0:
        return MASK
    return (40, 120, 200) if x < 16 else (230, 180, 60)


with open('provider.ico', 'wb') as f:
    f.write(icon((30, 110, 180)))
with open('contacts.ico', 'wb') as f:
    f.write(icon((230, 180, 60)))
with open('pointer.cur', 'wb') as f:
    f.write(directory(2, [(32, 1, mono_dib(32))], hotspot=(1, 1)))
with open('contacts.bmp', 'wb') as f:
    f.write(bitmap(32, 16, contacts_pixel))
