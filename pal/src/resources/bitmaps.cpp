// Decoding of bitmap resources into pixels.
#include "byte_reader.h"
#include "images.h"
#include "module_resources.h"
#include "pal/errors.h"

namespace pal {

namespace {

constexpr DWORD kUncompressed = 0;  // BI_RGB

COLORREF FromBgr(BYTE blue, BYTE green, BYTE red) {
    return static_cast<COLORREF>(red | (green << 8) | (blue << 16));
}

}  // namespace

Pixels DecodeDib(std::span<const BYTE> dib) {
    ByteReader reader(dib, "bitmap");
    DWORD headerSize = reader.Dword();
    LONG width = static_cast<LONG>(reader.Dword());
    LONG height = static_cast<LONG>(reader.Dword());
    reader.Word();  // planes
    WORD bits = reader.Word();
    DWORD compression = reader.Dword();
    reader.Bytes(12);  // image size, resolution
    DWORD used = reader.Dword();
    if (headerSize < 40) reader.Fail("not a BITMAPINFOHEADER");
    if (compression != kUncompressed) reader.Fail("compressed bitmaps are not supported");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        reader.Fail("unsupported bits per pixel");
    bool topDown = height < 0;
    LONG rows = topDown ? -height : height;
    if (width <= 0 || rows <= 0 || width > 0x8000 || rows > 0x8000) reader.Fail("bad size");
    reader.Seek(headerSize);
    std::vector<COLORREF> palette;
    if (bits <= 8) {
        DWORD entries = used ? used : 1u << bits;
        for (DWORD i = 0; i < entries; ++i) {
            auto quad = reader.Bytes(4);
            palette.push_back(FromBgr(quad[0], quad[1], quad[2]));
        }
    }
    size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    Pixels pixels{width, rows, std::vector<COLORREF>(static_cast<size_t>(width) * rows)};
    for (LONG row = 0; row < rows; ++row) {
        auto line = reader.Bytes(stride);
        LONG y = topDown ? row : rows - 1 - row;
        for (LONG x = 0; x < width; ++x) {
            COLORREF colour = 0;
            if (bits <= 8) {
                size_t bit = static_cast<size_t>(x) * bits;
                unsigned index = (line[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= palette.size()) reader.Fail("colour index beyond the table");
                colour = palette[index];
            } else if (bits == 16) {
                unsigned value = line[2 * x] | (line[2 * x + 1] << 8);
                colour = FromBgr(static_cast<BYTE>((value & 0x1F) << 3),
                                 static_cast<BYTE>(((value >> 5) & 0x1F) << 3),
                                 static_cast<BYTE>(((value >> 10) & 0x1F) << 3));
            } else {
                size_t at = static_cast<size_t>(x) * (bits / 8);
                colour = FromBgr(line[at], line[at + 1], line[at + 2]);
            }
            pixels.colours[static_cast<size_t>(y) * width + x] = colour;
        }
    }
    return pixels;
}

Pixels Resample(const Pixels& source, int cx, int cy) {
    Pixels result{cx, cy, std::vector<COLORREF>(static_cast<size_t>(cx) * cy)};
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            result.colours[static_cast<size_t>(y) * cx + x] =
                source.At(x * source.width / cx, y * source.height / cy);
    return result;
}

std::shared_ptr<Bitmap> LoadBitmapResource(const ResourceData& data, const ResourceId& name, int cx,
                                           int cy) {
    const ResourceEntry* entry = FindEntry(data, ResourceId(2), name);
    if (!entry) return nullptr;
    try {
        Pixels pixels = DecodeDib(entry->data);
        int width = cx > 0 ? cx : pixels.width;
        int height = cy > 0 ? cy : pixels.height;
        if (width != pixels.width || height != pixels.height)
            pixels = Resample(pixels, width, height);
        return std::make_shared<Bitmap>(std::move(pixels));
    } catch (const ResourceFormatError&) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
}

}  // namespace pal
