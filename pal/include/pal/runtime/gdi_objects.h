// Graphics objects of a process: bitmaps, icons and cursors, image lists (and whatever other
// GDI object kinds derive from GdiObject). Their handles (HBITMAP, HICON, HIMAGELIST, HGDIOBJ)
// are values of the process's GdiObjectTable, distinct from kernel handles.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "pal/runtime/components.h"
#include "pal/types.h"

namespace pal {

class Process;

class GdiObject {
public:
    virtual ~GdiObject() = default;
    // GetObject: writes the object's description into `out` (at most `size` bytes) and returns
    // the bytes written, or the size needed when `out` is null; 0 when the buffer is too small
    // or the kind has no description.
    virtual int Describe(int size, void* out) const {
        (void)size;
        (void)out;
        return 0;
    }
    // GetObjectA: the same in the ANSI form for kinds that have one (fonts: LOGFONTA).
    virtual int DescribeAnsi(int size, void* out) const { return Describe(size, out); }
    // Whether DeleteObject may delete it (bitmaps, fonts, brushes; not icons or image lists).
    virtual bool IsDeletable() const { return false; }
};

// Pixels in rows from the top, each a COLORREF (0x00BBGGRR).
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> colours;
    COLORREF At(int x, int y) const { return colours[static_cast<size_t>(y) * width + x]; }
};

class Bitmap : public GdiObject {
public:
    explicit Bitmap(Pixels pixels) : m_pixels(std::move(pixels)) {}
    const Pixels& Image() const { return m_pixels; }
    // A BITMAP of a 32-bit device-dependent bitmap.
    int Describe(int size, void* out) const override;
    bool IsDeletable() const override { return true; }

private:
    Pixels m_pixels;
};

// An icon or cursor: the group image chosen from its resource and that image's bytes
// (BITMAPINFOHEADER and bits, or PNG), kept as stored.
class Icon : public GdiObject {
public:
    bool cursor = false;
    bool shared = false;
    int width = 0;
    int height = 0;
    WORD bitCount = 0;
    WORD resourceId = 0;  // the RT_ICON / RT_CURSOR ordinal of the image
    POINT hotspot{};      // cursors only
    std::vector<BYTE> bits;
};

class ImageList : public GdiObject {
public:
    ImageList(int cx, int cy, COLORREF mask) : m_cx(cx), m_cy(cy), m_mask(mask) {}
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    // The transparent colour, or CLR_NONE (0xFFFFFFFF) for an unmasked list.
    COLORREF MaskColour() const { return m_mask; }
    const std::vector<Pixels>& Images() const { return m_images; }
    void Add(Pixels image) { m_images.push_back(std::move(image)); }

private:
    int m_cx;
    int m_cy;
    COLORREF m_mask;
    std::vector<Pixels> m_images;
};

class GdiObjectTable : public Component {
public:
    explicit GdiObjectTable(Process& process) { (void)process; }
    // A new handle value, never null and never a kernel handle value.
    void* Add(std::shared_ptr<GdiObject> object);
    std::shared_ptr<GdiObject> Get(const void* handle) const;
    template <class T>
    std::shared_ptr<T> GetAs(const void* handle) const {
        return std::dynamic_pointer_cast<T>(Get(handle));
    }
    // Removes the handle; false when it is unknown.
    bool Remove(const void* handle);
    size_t Count() const;

private:
    mutable std::mutex m_lock;
    std::map<const void*, std::shared_ptr<GdiObject>> m_objects;
    ULONG_PTR m_next = 0x00C00000;
};

}  // namespace pal
