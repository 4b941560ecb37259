// The process's graphics object table, GetObject and DeleteObject.
#include "pal/runtime/gdi_objects.h"

#include <cstring>

#include "pal/resources.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

namespace pal {

int Bitmap::Describe(int size, void* out) const {
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP info{};
    info.bmWidth = m_pixels.width;
    info.bmHeight = m_pixels.height;
    info.bmWidthBytes = m_pixels.width * 4;
    info.bmPlanes = 1;
    info.bmBitsPixel = 32;
    std::memcpy(out, &info, sizeof(info));
    return sizeof(BITMAP);
}

void* GdiObjectTable::Add(std::shared_ptr<GdiObject> object) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_next += 4;
    auto handle = reinterpret_cast<const void*>(m_next);
    m_objects[handle] = std::move(object);
    return const_cast<void*>(handle);
}

std::shared_ptr<GdiObject> GdiObjectTable::Get(const void* handle) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto found = m_objects.find(handle);
    return found == m_objects.end() ? nullptr : found->second;
}

bool GdiObjectTable::Remove(const void* handle) {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_objects.erase(handle) > 0;
}

size_t GdiObjectTable::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_objects.size();
}

}  // namespace pal

namespace {

int Describe(HGDIOBJ h, int c, LPVOID pv, bool unicode) {
    auto object = pal::CurrentProcess().Get<pal::GdiObjectTable>().Get(h);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return unicode ? object->Describe(c, pv) : object->DescribeAnsi(c, pv);
}

}  // namespace

int GetObjectA(HGDIOBJ h, int c, LPVOID pv) { return Describe(h, c, pv, false); }

int GetObjectW(HGDIOBJ h, int c, LPVOID pv) { return Describe(h, c, pv, true); }

BOOL DeleteObject(HGDIOBJ ho) {
    auto& table = pal::CurrentProcess().Get<pal::GdiObjectTable>();
    auto object = table.Get(ho);
    if (!object || !object->IsDeletable()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    table.Remove(ho);
    return TRUE;
}
